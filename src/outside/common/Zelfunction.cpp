#include "Zelfunction.h"

#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QGuiApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>
#include <QMutex>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>
#include <unistd.h>
#include <QUuid>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

// ---- errors ---------------------------------------------------------------

void RaiseError(const QString& text) { throw EZelError(text); }

// ---- message boxes ----------------------------------------------------------

namespace {
QMutex gMsgBoxLock;
TMsgBoxHandler gMsgBoxHandler;

// Without a window system nobody can answer: the question goes to the log and
// stderr, and the answer is the one that changes nothing (Cancel, No).
int HeadlessMsgBox(const QString& text, const QString& caption, int buttons, int icon)
{
    const QString line = (caption.isEmpty() ? QString() : caption + QStringLiteral(": ")) + text;
    MsgOut(QStringLiteral("Message: ") + line);
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    switch (buttons) {
    case 2: return IDCANCEL;
    case 3: return IDNO;
    default: return IDOK;
    }
}
}  // namespace

void SetMsgBoxHandler(TMsgBoxHandler handler)
{
    QMutexLocker lock(&gMsgBoxLock);
    gMsgBoxHandler = std::move(handler);
}

TMsgBoxHandler GetMsgBoxHandler()
{
    QMutexLocker lock(&gMsgBoxLock);
    return gMsgBoxHandler;
}

int MsgBox(const QString& text, int buttons, int icon, int /*flag*/, const QString& caption)
{
    TMsgBoxHandler handler = GetMsgBoxHandler();
    if (!handler)
        return HeadlessMsgBox(text, caption, buttons, icon);
    return handler(text, caption, buttons, icon);
}

// ---- folders and files ----------------------------------------------------------

QString IncludeTrailingSlash(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

QString GetAppDataPath()
{
    return IncludeTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

QString GetExeFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return IncludeTrailingSlash(QDir::currentPath());
    return IncludeTrailingSlash(QFileInfo(QString::fromStdString(exe.string())).absolutePath());
}

QString GetRuntimePath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return IncludeTrailingSlash(dir);
}

void FindDirFile(const QString& pattern, QStringList& list, bool recursive)
{
    const QFileInfo fi(pattern);
    const QString dir = fi.absolutePath();
    const QStringList filters{fi.fileName()};
    if (!recursive) {
        // Name order, the order callers see on every run.
        const QStringList names = QDir(dir).entryList(filters, QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
        for (const QString& n : names)
            list.append(IncludeTrailingSlash(dir) + n);
        return;
    }
    QStringList found;
    QDirIterator it(dir, filters, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(it.next());
    found.sort(Qt::CaseInsensitive);
    list.append(found);
}

QString PureFileName(const QString& path) { return QFileInfo(path).completeBaseName(); }

int64_t GetFileSize(const QString& path)
{
    const QFileInfo fi(path);
    return fi.isFile() ? fi.size() : -1;
}

bool CopyFileEx(const QString& from, const QString& to)
{
    std::error_code ec;
    std::filesystem::copy_file(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(),
                               std::filesystem::copy_options::overwrite_existing, ec);
    if (ec)
        MsgOut(QStringLiteral("Copy \"%1\" to \"%2\" failed: %3").arg(from, to, QString::fromStdString(ec.message())));
    return !ec;
}

// The desktop services need a GUI application; a tool without one gets false.
static bool HasDesktop() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

namespace {
std::function<bool(const QString&)> gOpenUrlHandler;
}

bool OpenFileDir(const QString& path)
{
    const QFileInfo fi(path);
    const QString dir = fi.isDir() ? fi.absoluteFilePath() : fi.absolutePath();
    const QUrl url = QUrl::fromLocalFile(dir);
    if (gOpenUrlHandler)
        return gOpenUrlHandler(url.toString());
    return HasDesktop() && QDesktopServices::openUrl(url);
}

bool StdErrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void SetOpenUrlHandler(std::function<bool(const QString&)> handler) { gOpenUrlHandler = std::move(handler); }

bool OpenUrl(const QString& url)
{
    if (gOpenUrlHandler)
        return gOpenUrlHandler(url);
    return HasDesktop() && QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
}

int EmptyFolder(const QString& folder)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path root(QFile::encodeName(folder).toStdString());
    if (!fs::is_directory(root, ec))
        return 0;
    // Listed first: removing entries while a directory is being read may
    // skip or repeat entries.
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    int failed = 0;
    for (const fs::path& p : entries) {
        std::error_code rm;
        // remove_all removes a link itself, never what it points to.
        fs::remove_all(p, rm);
        if (rm) {
            ++failed;
            MsgOut(QStringLiteral("Delete \"%1\" failed: %2")
                       .arg(QFile::decodeName(p.c_str()), QString::fromStdString(rm.message())));
        }
    }
    return failed;
}

// ---- system information -------------------------------------------------------------

QString GetWindowsVersion(bool, bool) { return QSysInfo::prettyProductName(); }

QString GetWindowsVerNum() { return QSysInfo::kernelVersion(); }

bool IsWin64() { return QSysInfo::currentCpuArchitecture().contains(QLatin1String("64")); }

// full: always four numbers (major.minor.patch.build), as file versions are given.
QString GetProVersion(bool full)
{
    QString v = QStringLiteral(GANTERLY_VERSION);
    if (full)
        while (v.count(QLatin1Char('.')) < 3)
            v += QStringLiteral(".0");
    return v;
}

namespace {
// Windows language identifiers: primary language in the low ten bits, the
// sub-language (country) above them.
struct TLangEntry { const char* name; unsigned id; };
constexpr TLangEntry kLocaleIds[] = {
    {"en_US", 0x409}, {"en_GB", 0x809}, {"en_AU", 0xC09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409}, {"en_IE", 0x1809},
    {"en_IN", 0x4009},
    {"zh_CN", 0x804}, {"zh_TW", 0x404}, {"zh_HK", 0xC04}, {"zh_SG", 0x1004}, {"zh_MO", 0x1404},
    {"ja_JP", 0x411}, {"ko_KR", 0x412}, {"ru_RU", 0x419}, {"de_DE", 0x407}, {"de_CH", 0x807}, {"de_AT", 0xC07},
    {"fr_FR", 0x40C}, {"fr_BE", 0x80C}, {"fr_CA", 0xC0C}, {"fr_CH", 0x100C},
    {"es_ES", 0xC0A}, {"es_MX", 0x80A}, {"es_AR", 0x2C0A}, {"it_IT", 0x410}, {"it_CH", 0x810},
    {"pt_BR", 0x416}, {"pt_PT", 0x816}, {"nl_NL", 0x413}, {"nl_BE", 0x813},
    {"pl_PL", 0x415}, {"tr_TR", 0x41F}, {"sv_SE", 0x41D}, {"da_DK", 0x406}, {"fi_FI", 0x40B}, {"nb_NO", 0x414},
    {"cs_CZ", 0x405}, {"el_GR", 0x408}, {"hu_HU", 0x40E}, {"he_IL", 0x40D}, {"ar_SA", 0x401}, {"ar_EG", 0xC01},
    {"uk_UA", 0x422}, {"th_TH", 0x41E}, {"vi_VN", 0x42A}, {"id_ID", 0x421}, {"hi_IN", 0x439}, {"ro_RO", 0x418},
    {"sk_SK", 0x41B}, {"bg_BG", 0x402}, {"hr_HR", 0x41A}, {"ms_MY", 0x43E}, {"fa_IR", 0x429},
};
constexpr TLangEntry kPrimaryIds[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06}, {"de", 0x07}, {"el", 0x08},
    {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C}, {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10},
    {"ja", 0x11}, {"ko", 0x12}, {"nl", 0x13}, {"nb", 0x14}, {"no", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"ro", 0x18},
    {"ru", 0x19}, {"hr", 0x1A}, {"sk", 0x1B}, {"sq", 0x1C}, {"sv", 0x1D}, {"th", 0x1E}, {"tr", 0x1F}, {"ur", 0x20},
    {"id", 0x21}, {"uk", 0x22}, {"be", 0x23}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27}, {"fa", 0x29},
    {"vi", 0x2A}, {"hy", 0x2B}, {"eu", 0x2D}, {"mk", 0x2F}, {"af", 0x36}, {"ka", 0x37}, {"hi", 0x39}, {"ms", 0x3E},
    {"kk", 0x3F}, {"sw", 0x41}, {"bn", 0x45}, {"ta", 0x49}, {"te", 0x4A}, {"mr", 0x4E}, {"gl", 0x56},
};
}  // namespace

unsigned LanguageIdForLocale(const QString& localeName)
{
    // "de_DE.UTF-8@euro" and "de-DE" name the same locale as "de_DE".
    QString name = localeName.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    if (name.isEmpty() || name == QLatin1String("C") || name == QLatin1String("POSIX"))
        return 0x409;  // the C locale is US English
    for (const auto& e : kLocaleIds)
        if (name.compare(QLatin1String(e.name), Qt::CaseInsensitive) == 0)
            return e.id;
    const QString lang = name.section(QLatin1Char('_'), 0, 0).toLower();
    for (const auto& e : kPrimaryIds)
        if (lang == QLatin1String(e.name))
            return e.id;
    return 0;  // LANG_NEUTRAL
}

unsigned SystemLanguageId() { return LanguageIdForLocale(QLocale::system().name()); }

// ---- numbers and text --------------------------------------------------------------

QString DeleteEnd(const QString& s, int n) { return n <= 0 ? s : s.left(std::max<qsizetype>(0, s.size() - n)); }

QString CreateNewGUID() { return QUuid::createUuid().toString(QUuid::WithBraces).toUpper(); }

// ---- geometry -------------------------------------------------------------------------

// flag: a picture smaller than the area keeps its own size instead of growing.
QSize GetFillSize(int areaW, int areaH, int picW, int picH, bool flag)
{
    if (areaW <= 0 || areaH <= 0 || picW <= 0 || picH <= 0)
        return QSize(0, 0);
    if (flag && picW <= areaW && picH <= areaH)
        return QSize(picW, picH);
    // Compare the two aspect ratios exactly in integers before rounding.
    if (int64_t(areaW) * picH <= int64_t(areaH) * picW) {
        const int h = static_cast<int>(std::lround(double(areaW) * picH / picW));
        return QSize(areaW, std::clamp(h, 1, areaH));
    }
    const int w = static_cast<int>(std::lround(double(areaH) * picW / picH));
    return QSize(std::clamp(w, 1, areaW), areaH);
}

// mode 0: every coordinate times factor; otherwise the size is scaled about
// the rectangle's centre.
QRect ScaleRect(const QRect& r, double factor, int mode)
{
    if (mode == 0) {
        const int l = static_cast<int>(std::lround(r.left() * factor));
        const int t = static_cast<int>(std::lround(r.top() * factor));
        const int w = static_cast<int>(std::lround(r.width() * factor));
        const int h = static_cast<int>(std::lround(r.height() * factor));
        return QRect(l, t, w, h);
    }
    const int w = static_cast<int>(std::lround(r.width() * factor));
    const int h = static_cast<int>(std::lround(r.height() * factor));
    const QPointF c = QRectF(r).center();
    return QRect(static_cast<int>(std::lround(c.x() - w / 2.0)), static_cast<int>(std::lround(c.y() - h / 2.0)), w, h);
}

QRect Intersection(const QRect& a, const QRect& b)
{
    const QRect r = a.intersected(b);
    return r.isValid() ? r : QRect();
}

bool IsValidRect(const QRect& r) { return r.width() > 0 && r.height() > 0; }

// ---- bitmaps ----------------------------------------------------------------------------

QImage ScanLineCopyBmpBit24(const QImage& src)
{
    if (src.isNull())
        return QImage();
    if (src.format() == QImage::Format_RGB888)
        return src.copy();
    return src.convertToFormat(QImage::Format_RGB888);
}

QImage MakeBitmapCopy(const QImage& src) { return src.copy(); }

// flag: a translucent picture is laid on white; otherwise its alpha is dropped.
QImage Bitmap32to24(const QImage& src, bool flag)
{
    if (src.isNull())
        return QImage();
    if (flag && src.hasAlphaChannel()) {
        QImage argb = src.convertToFormat(QImage::Format_ARGB32);
        QImage out(argb.size(), QImage::Format_RGB888);
        for (int y = 0; y < argb.height(); ++y) {
            const QRgb* s = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            uchar* d = out.scanLine(y);
            for (int x = 0; x < argb.width(); ++x) {
                const int a = qAlpha(s[x]);
                d[3 * x + 0] = static_cast<uchar>((qRed(s[x]) * a + 255 * (255 - a) + 127) / 255);
                d[3 * x + 1] = static_cast<uchar>((qGreen(s[x]) * a + 255 * (255 - a) + 127) / 255);
                d[3 * x + 2] = static_cast<uchar>((qBlue(s[x]) * a + 255 * (255 - a) + 127) / 255);
            }
        }
        return out;
    }
    return ScanLineCopyBmpBit24(src.hasAlphaChannel() ? src.convertToFormat(QImage::Format_RGB32) : src);
}

void BmpBitBlt24(QImage& dst, int dx, int dy, int w, int h, const QImage& src, int sx, int sy)
{
    if (dst.isNull() || src.isNull())
        return;
    if (dst.format() != QImage::Format_RGB888)
        dst = dst.convertToFormat(QImage::Format_RGB888);
    const QImage s = src.format() == QImage::Format_RGB888 ? src : src.convertToFormat(QImage::Format_RGB888);
    // Clip against both pictures; a negative origin moves the other side too.
    if (sx < 0) { dx -= sx; w += sx; sx = 0; }
    if (sy < 0) { dy -= sy; h += sy; sy = 0; }
    if (dx < 0) { sx -= dx; w += dx; dx = 0; }
    if (dy < 0) { sy -= dy; h += dy; dy = 0; }
    w = std::min({w, s.width() - sx, dst.width() - dx});
    h = std::min({h, s.height() - sy, dst.height() - dy});
    if (w <= 0 || h <= 0)
        return;
    for (int y = 0; y < h; ++y)
        std::memcpy(dst.scanLine(dy + y) + 3 * dx, s.constScanLine(sy + y) + 3 * sx, static_cast<size_t>(3 * w));
}

void ScanLineFillBmpBit24(QImage& dst, uint32_t rgb)
{
    if (dst.isNull())
        return;
    if (dst.format() != QImage::Format_RGB888)
        dst = dst.convertToFormat(QImage::Format_RGB888);
    dst.fill(QColor(qRed(rgb), qGreen(rgb), qBlue(rgb)));
}

QImage RotateBitmap24(const QImage& src, int index)
{
    const QImage s = ScanLineCopyBmpBit24(src);
    if (s.isNull() || index < 1 || index > 3)
        return s;
    const int w = s.width(), h = s.height();
    QImage out = index == 2 ? QImage(w, h, QImage::Format_RGB888) : QImage(h, w, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        const uchar* p = s.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            int nx, ny;
            switch (index) {
            case 1: nx = h - 1 - y; ny = x; break;          // 90 clockwise
            case 2: nx = w - 1 - x; ny = h - 1 - y; break;  // 180
            default: nx = y; ny = w - 1 - x; break;         // 270 clockwise
            }
            std::memcpy(out.scanLine(ny) + 3 * nx, p + 3 * x, 3);
        }
    }
    return out;
}

void FlipHorizontal24(QImage& img) { img.mirror(true, false); }

void FlipVertical24(QImage& img) { img.mirror(false, true); }

uint32_t Color2ARGB(uint32_t colorBGR, uint8_t alpha)
{
    const uint32_t r = colorBGR & 0xFF, g = (colorBGR >> 8) & 0xFF, b = (colorBGR >> 16) & 0xFF;
    return (uint32_t(alpha) << 24) | (r << 16) | (g << 8) | b;
}

QPointF MakePointF(double x, double y) { return QPointF(x, y); }

QSize GPImageSize(const QString& file)
{
    QImageReader reader(file);
    QSize size = reader.size();
    if (size.isEmpty())
        size = reader.read().size();
    return size.isEmpty() ? QSize() : size;
}
