#pragma once
// Common functions every subsystem uses. Everything that touches the
// operating system lives in src/outside/, so a port only replaces this layer.

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <stdexcept>

// ---- errors -------------------------------------------------------------
class EZelError : public std::runtime_error {
public:
    explicit EZelError(const QString& msg) : std::runtime_error(msg.toStdString()), Message(msg) {}
    QString Message;
};
[[noreturn]] void RaiseError(const QString& text);

// ---- message boxes --------------------------------------------------------
// Buttons: 1 OK, 2 OK+Cancel, 3 Yes+No. Icons: 1 information, 2 question,
// 3 warning, 4 error. Answers 1 OK, 2 Cancel, 6 Yes, 7 No.
constexpr int IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7;
// Without a handler (no window system) the text goes to the log and stderr
// and the answer is the one that changes nothing: OK, Cancel or No.
int MsgBox(const QString& text, int buttons = 1, int icon = 1, int flag = 1, const QString& caption = {});

// The one seam through which every message box passes. The GUI installs a
// handler that shows a real box; tests install one that answers.
using TMsgBoxHandler = std::function<int(const QString& text, const QString& caption, int buttons, int icon)>;
void SetMsgBoxHandler(TMsgBoxHandler handler);
TMsgBoxHandler GetMsgBoxHandler();

// ---- log -------------------------------------------------------------------
// A line in the process log; nothing when no log object exists.
void MsgOut(const QString& text);

// ---- folders and files -----------------------------------------------------
QString GetAppDataPath();                       // ends in '/'
QString GetExeFolder();                         // the running program's folder, ends in '/'
QString GetRuntimePath();                       // the user's runtime folder, ends in '/'
void FindDirFile(const QString& pattern, QStringList& list, bool recursive = false);
QString PureFileName(const QString& path);      // name without folder and extension
int64_t GetFileSize(const QString& path);       // -1 when missing
bool CopyFileEx(const QString& from, const QString& to);
bool OpenFileDir(const QString& path);           // the folder of a file, or the folder itself
bool OpenUrl(const QString& url);
// Whether the process's standard error goes to a terminal (a person watching).
bool StdErrIsTerminal();
// Where OpenUrl and OpenFileDir (as a file:// address of the folder) send
// addresses instead of the desktop (tests record them); an empty handler
// restores the desktop.
void SetOpenUrlHandler(std::function<bool(const QString&)> handler);
QString IncludeTrailingSlash(const QString& folder);
// Deletes everything inside folder (never following links); the folder stays.
// Answers the number of entries that could not be removed.
int EmptyFolder(const QString& folder);

// ---- installer's record ------------------------------------------------------
constexpr uintptr_t HKEY_CURRENT_USER = 0x80000001u;
constexpr uintptr_t HKEY_LOCAL_MACHINE = 0x80000002u;
// Reads ExeFolder + "registry.ini" (see RegistryFile); empty when absent.
QString ReadRegString(uintptr_t root, const QString& key, const QString& name);
QString RegistryFile();                          // path of that file
void SetRegistryFile(const QString& path);       // tests and the application object
bool WriteRegString(uintptr_t root, const QString& key, const QString& name, const QString& value);

// ---- system information -----------------------------------------------------
QString GetWindowsVersion(bool a = false, bool b = false);
QString GetWindowsVerNum();
bool IsWin64();
QString GetProVersion(bool full = false);         // "1.0.0"; full: "1.0.0.0"
unsigned SystemLanguageId();                     // e.g. 0x409 for en_US
unsigned LanguageIdForLocale(const QString& localeName);

// ---- numbers and text -----------------------------------------------------------
double StrToFloatDefEx(const QString& text, double def);
QString FloatToStrSys(double value);             // shortest form, system decimal separator
QString DeleteEnd(const QString& s, int n);
QString CreateNewGUID();                         // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"

// ---- geometry ----------------------------------------------------------------
// flag: a picture smaller than the area keeps its size instead of growing.
QSize GetFillSize(int areaW, int areaH, int picW, int picH, bool flag = false);
// mode 0: every coordinate times factor; else scaled about the centre.
QRect ScaleRect(const QRect& r, double factor, int mode = 0);
QRect Intersection(const QRect& a, const QRect& b);
bool IsValidRect(const QRect& r);

// ---- bitmaps (QImage: 24 bit = Format_RGB888, 32 bit = Format_RGB32) --------------
QImage ScanLineCopyBmpBit24(const QImage& src);
QImage MakeBitmapCopy(const QImage& src);
// flag: a translucent picture is laid on white; otherwise alpha is dropped.
QImage Bitmap32to24(const QImage& src, bool flag = false);
void BmpBitBlt24(QImage& dst, int dx, int dy, int w, int h, const QImage& src, int sx, int sy);
void ScanLineFillBmpBit24(QImage& dst, uint32_t rgb);   // rgb: 0x00RRGGBB (QRgb)
// Index 1..3 turns the picture by 90, 180, 270 degrees clockwise.
QImage RotateBitmap24(const QImage& src, int index);
void FlipHorizontal24(QImage& img);
void FlipVertical24(QImage& img);
uint32_t Color2ARGB(uint32_t colorBGR, uint8_t alpha = 255);  // 0x00BBGGRR -> 0xAARRGGBB
QPointF MakePointF(double x, double y);
QSize GPImageSize(const QString& file);           // invalid size when unreadable
