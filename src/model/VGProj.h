#pragma once
// The clip being edited: which video, which stretch of it, the decoded frames
// and which of them are deleted, crop, output size and timing, frame order,
// flips, rotation and the overlays (texts and one logo). It draws the
// overlays on the still view and on every output frame, answers hit tests for
// dragging them, keeps the clip range on decoded frames and decodes groups of
// frames into its frame list. It is never written to disk.

#include "VGFrames.h"
#include "VGTypes.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QObject;
class QPainter;
class TFFDecoder;
struct TBitmapRows;
class TVideoPicture;
class TVideo2GifThread;
struct TVGConvertFlag;

// A rectangle by its edges; Right and Bottom are exclusive, so the width is
// Right - Left (unlike QRect::right(), which is the last pixel inside).
// Sizes and edges saturate at the int range: crops typed or stored with
// extreme values are measured without overflow.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Saturate(int64_t(Right) - Left); }
    int Height() const { return Saturate(int64_t(Bottom) - Top); }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    // Empty rectangles give an empty QRect at the same corner.
    QRect ToQRect() const
    {
        if (IsEmpty())
            return QRect(Left, Top, 0, 0);
        return QRect(QPoint(Left, Top), QPoint(Right - 1, Bottom - 1));
    }
    static TRect FromQRect(const QRect& r)
    {
        if (r.isEmpty())
            return {r.left(), r.top(), r.left(), r.top()};
        return {r.left(), r.top(), Saturate(int64_t(r.right()) + 1), Saturate(int64_t(r.bottom()) + 1)};
    }
    static int Saturate(int64_t v) { return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int(v); }
    bool operator==(const TRect&) const = default;
};

// An overlay's position, in pixels of the full, uncropped source frame.
class TVGElement {
public:
    virtual ~TVGElement() = default;
    int X = 0;
    int Y = 0;
};

class TVGLogo : public TVGElement {
public:
    bool Enabled = false;
    QString ImageFileName;
    int Width = 0;    // drawn size in source pixels
    int Height = 0;
};

// A text overlay. (X, Y) is the anchor: the left end of the text for left
// alignment, its centre for centre, its right end for right; Y is the top of
// the first line.
//
// FontSize is drawn with an em size of 2 x FontSize pixels on the source
// frame. AssignToFont gives a QFont of exactly that pixel size, so a font
// shown or picked through QFont is the font as drawn on the source frame;
// AssignFromFont maps back with FontSize = pixel size / 2, rounded to nearest
// (a point-sized font is taken at 96 dpi). FontColor is 0x00BBGGRR.
class TTextObj : public TVGElement {
public:
    QString FontName;
    int FontSize = 0;
    TFontStyles FontStyles;
    TAlignment Alignment = VG::taLeftJustify;
    uint32_t FontColor = 0;
    QString Text;     // may hold line breaks

    void AssignToFont(QFont& font, QColor& color) const;
    void AssignFromFont(const QFont& font, const QColor& color);

    // The font drawn with an em size of emPixels. QFont sizes in whole pixels,
    // so fractional sizes come back as the next whole size and a factor
    // (<= 1) to scale the drawing by.
    QFont MakeFont(double emPixels, double* scale = nullptr) const;
    // The text's box with that em size and the anchor at origin. Drawing and
    // hit testing both go through this, so the two always agree.
    QRectF MeasureText(double emPixels, QPointF origin) const;
    void DrawText(QPainter& painter, double emPixels, QPointF origin) const;
};

// Owning list of text overlays, drawn in list order.
class TTextList {
public:
    TTextList() = default;
    TTextList(const TTextList&) = delete;
    TTextList& operator=(const TTextList&) = delete;

    int Count() const { return static_cast<int>(FItems.size()); }
    bool IsEmpty() const { return FItems.empty(); }
    TTextObj* Items(int index) const { return FItems[static_cast<size_t>(index)].get(); }
    TTextObj* operator[](int index) const { return Items(index); }
    int IndexOf(const TTextObj* text) const;

    TTextObj* Add();                       // a new, empty text
    TTextObj* Add(TTextObj* text);         // takes ownership
    void Delete(int index);                // frees the item
    bool Remove(TTextObj* text);           // frees the item
    void Clear();

private:
    std::vector<std::unique_ptr<TTextObj>> FItems;
};

// What the conversion thread needs of the project, copied when it starts:
// the overlays of output frames (cropped and scaled) and the deleted frames of
// the range. The main thread may change or free the project meanwhile.
class TOverlaySnapshot {
public:
    // The logo, then the texts, on an output frame.
    void Draw(QPainter& painter) const;
    bool HasOverlays() const { return FLogoEnabled || !FTexts.empty(); }
    bool HasDeleted() const { return !FDeleted.empty(); }
    bool IsFrameDeleted(int64_t pts) const;
private:
    friend class TVGProj;
    std::vector<TTextObj> FTexts;
    bool FLogoEnabled = false;
    TVGLogo FLogo;
    QImage FLogoImage;
    QPointF FOffset;            // the crop's corner when cropping
    double FScaleX = 1.0;
    double FScaleY = 1.0;
    std::vector<int64_t> FDeleted;   // sorted
};

// The output choices the settings dialog edits, so that the conversion's
// record can be built from values not yet stored in the project (the size
// estimate while the dialog is open).
struct TOutputChoice {
    TSizeStyle SizeStyle = ssOriginal;
    int CustomWidth = 0;
    int CustomHeight = 0;
    int GifFPS = 0;
    double GifSpeed = 1.0;
    int GifLoop = -1;
    std::vector<TTextObj> Texts;
    TVGLogo Logo;
    // The logo's picture when the caller has it already decoded; otherwise
    // it is the project's (same file) or read from the file.
    QImage LogoImage;
    uint8_t Flip = 0;
    uint8_t Rotation = 0;
    uint8_t Sequence = 0;
};

// Two times are the same when equal, or under a millisecond apart with the
// same "hh:mm:ss.mmm" text.
bool SamePTS(int64_t a, int64_t b);
// Length of one frame of the decoder's video stream, 0 when the rate is unknown.
int32_t FrameDuration(TFFDecoder* decoder);
// A frame picture as a 24-bit bitmap file; false when it was not completely written.
bool SaveBitmapFile(const QImage& image, const QString& fileName);

class TVGProj {
public:
    TVGProj();
    ~TVGProj();
    TVGProj(const TVGProj&) = delete;
    TVGProj& operator=(const TVGProj&) = delete;

    QString VideoFileName;
    QString GifFileName;
    int64_t StartPTS;
    int64_t EndPTS;
    TRect CropRect;
    bool UseCrop = false;
    TSizeStyle SizeStyle = ssOriginal;
    int CustomWidth = 0;
    int CustomHeight = 0;
    int GifFPS = 0;
    double GifSpeed = 1.0;
    int GifLoop = 0;
    TVGFrames Frames;
    int VideoWidth = 0;
    int VideoHeight = 0;
    int64_t Duration = 0;
    double FrameRate = 0;
    TTextList Texts;
    TVGLogo Logo;
    uint8_t Flip = 0;       // 1 horizontally, 2 vertically, 3 both
    uint8_t Rotation = 0;   // 1 = 90, 2 = 180, 3 = 270 degrees
    uint8_t Sequence = 0;   // 0 original, 1 reverse, 2 ping-pong

    // Given by the owner, each ending in '/': frame bitmaps and the
    // conversion's working files go to TempFolder (no frames without it);
    // LibFolder is the decoder libraries' folder handed to the conversion.
    QString TempFolder;
    QString LibFolder;

    // Frame bitmaps are kept within a disk budget: 2 GB, or a quarter of the
    // free space of TempFolder when that is less (FileBudget overrides it
    // when positive). Beyond it the files of the frames used least recently
    // are dropped, never the one last shown; EnsureFrameFile makes a frame's
    // file again, exactly, when it is needed.
    int64_t FileBudget = 0;
    int64_t FrameFileBudget() const;
    int64_t FrameFileBytes() const;   // the frames' files now on disk
    // Marks the frame as shown now (the still view): the last to be dropped.
    void UseFrame(TVGFrame* frame);
    // The frame's bitmap file, decoded again at its exact time with the
    // decoder when the budget dropped it. False (logged) when it cannot be had.
    bool EnsureFrameFile(TVGFrame* frame, TFFDecoder* decoder);
    // Why the last frame file could not be written (a full disk); the window
    // clears it before a group and tells the user once after it.
    QString FrameFileError;

    // Frame files may wait in memory, as the decoder's own pictures (no
    // conversion until written), up to this many bytes of them, and be
    // written later (FlushFrameFiles, when the window is idle) or never
    // (the budget drops them first): decoding a group then costs little more
    // than decoding. The first frame of each group is written at once, so a
    // folder that cannot be written is known during the group. 0: every file
    // is written as its frame is made.
    int64_t PictureCacheBytes = 0;
    bool IsFileWaiting(const TVGFrame* frame) const;
    // The picture of a frame whose file waits; null otherwise.
    const TVideoPicture* WaitingPicture(const TVGFrame* frame) const;
    bool HasWaitingFiles() const { return !FWaiting.empty(); }
    // Writes up to max waiting files, oldest first. A failure sets
    // FrameFileError, and that frame and every other waiting one lose their
    // file (made again on demand, as after the budget), so one full disk
    // gives one message. Answers whether files still wait.
    bool FlushFrameFiles(int max = INT32_MAX);

    void LoadStreamInfo(TFFDecoder* decoder);
    bool HasVideo() const { return VideoWidth >= 1 && VideoHeight >= 1; }
    void ApplyDefaults();

    // The clipped crop's size (the whole video without crop): what the
    // output size and the scale factors start from.
    QSize BaseSize() const;
    // The output size before rotation, by the conversion's own rule.
    QSize GetOutputSize() const;
    // The GIF's size as the conversion writes it: turned by Rotation.
    QSize GetGifSize() const;
    double GetScaleFactor() const;   // -1 for a custom size
    double GetScaleX() const;        // source pixels to output pixels
    double GetScaleY() const;

    bool HasValidRange() const;
    bool InRange(int64_t pts) const;
    void SnapRange(const TVGFrame* frame = nullptr);
    bool HasDeletedInRange() const;
    bool IsFrameDeleted(int64_t pts) const;

    // Overlays on a picture of source size: texts, then the logo.
    void DrawPreviewOverlays(QImage& bitmap);
    // Overlays on an output frame (cropped and scaled): the logo, then the
    // texts. Safe from several threads while nobody edits the project; the
    // conversion thread draws from TakeSnapshot() instead.
    void DrawOverlays(QPainter* painter, int width, int height);
    std::shared_ptr<const TOverlaySnapshot> TakeSnapshot();
    // Topmost element under a point in source pixels: the logo (enabled or
    // not), then the texts from the last; none when nothing is hit.
    TVGElement* ElementAt(QPointF point);

    // The logo picture, decoded on first use; null when the file cannot be read.
    QImage LogoImage();
    void ResetLogoImage();

    // Frame strip groups; see VGProj.cpp.
    TVGFrame* MakeFrame(TFFDecoder* decoder);
    TVGFrame* NextFrame(TFFDecoder* decoder, TVGFrame* frame, int& skip);
    void DecodeForward(TFFDecoder* decoder, int count, QObject* wnd, QList<TVGFrame*>& list, int64_t time);
    void DecodeBackward(TFFDecoder* decoder, int count, QObject* wnd, QList<TVGFrame*>& list, int64_t time);
    // Set by the receiver of the progress messages (a window being closed):
    // the group running ends after its current frame. Each group clears it.
    bool StopGroup = false;
    // Told of every frame picture made (a new frame, or one made again),
    // while the picture is in memory: the owner takes a thumbnail or a copy
    // from it instead of reading the file back.
    std::function<void(TVGFrame* frame, const TVideoPicture& picture)> OnFramePicture;

    // Starts the conversion of the clip into GifFileName; the thread, already
    // running, reports to wnd and belongs to the caller.
    TVideo2GifThread* StartConversion(QObject* wnd);
    // What StartConversion hands the thread: the clip, the output choices
    // and a copy of the overlays and deleted frames.
    TVGConvertFlag ConversionFlag(QObject* wnd = nullptr);
    // The same record with the choices in place of the project's own.
    TVGConvertFlag ConversionFlag(const TOutputChoice& choice, QObject* wnd = nullptr);
    // The project's own choices.
    TOutputChoice OutputChoice() const;
    // 1, 1/2, 1/4, or -1 for the custom size.
    static double ScaleFactorOf(TSizeStyle style);

private:
    // The output geometry (crop, size) as the conversion receives it.
    void FillGeometry(TVGConvertFlag& flag) const;
    // The overlays and deleted frames of output frames, for texts and a logo
    // scaled from source pixels by the factors.
    std::shared_ptr<const TOverlaySnapshot> MakeSnapshot(const std::vector<const TTextObj*>& texts, const TVGLogo& logo,
                                                         const QImage& logoImage, double scaleX, double scaleY);
    // The crop as the conversion applies it: clipped to the video.
    TRect OutputCrop() const;
    double CustomScale(int custom, int base) const;
    TVGFrame* FindOrMakeFrame(TFFDecoder* decoder);
    struct TGroupSink {
        QObject* Wnd;
        QList<TVGFrame*>& List;
        int Count;
        void Add(TVGFrame* frame);
    };
    TVGFrame* GroupStep(TFFDecoder* decoder, TVGFrame* frame, int& skip, TGroupSink& sink);

    // The decoded logo picture, loaded on first drawing; drawing threads may
    // load it, so it is only touched under FLogoLock.
    QImage FLogoImage;
    QMutex FLogoLock;
    // The last frame's picture in bitmap-file layout; its memory serves every frame.
    std::unique_ptr<TBitmapRows> FFrameRows;
    // The decoder's current picture into a new bitmap file; empty on failure (logged).
    QString WriteFrameFile(TFFDecoder* decoder, int64_t* bytes);
    bool CaptureFramePicture(TFFDecoder* decoder);
    QString NewFrameFileName();
    bool WriteFramePicture(const TBitmapRows& rows, const QString& file, int64_t* bytes);
    void KeepWithinBudget();
    struct TWaitingFile {
        TVGFrame* Frame;
        std::unique_ptr<TVideoPicture> Picture;
    };
    std::vector<TWaitingFile> FWaiting;      // oldest first
    int64_t FWaitingBytes = 0;
    TBitmapRows& FrameRows();               // FFrameRows, made on first use
    bool FGroupWritten = false;              // a file of this group was written
    void ForgetWaiting(size_t index);
    bool FlushFrameFile(TVGFrame* frame);
    uint64_t FUseClock = 0;
    int64_t FShownPTS = INT64_MIN;   // the frame last shown, by time: frames come and go
};
