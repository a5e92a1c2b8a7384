// The conversion thread. One thread decodes, resamples and transforms; the
// encoder quantises on its own small pool and writes in order. Frames kept
// for reverse and ping-pong order go to a file, so memory stays bounded
// whatever the clip's length.
#include "VGConvert.h"
#include "VGFrameSource.h"

#include "FFDecoder.h"
#include "GifEncoder.h"
#include "VideoColour.h"
#include "ZelFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

using namespace VGConvertPlan;

namespace {

struct AVFrameFree { void operator()(AVFrame* f) const { av_frame_free(&f); } };
using TAVFramePtr = std::unique_ptr<AVFrame, AVFrameFree>;
struct SwsFree { void operator()(SwsContext* c) const { sws_freeContext(c); } };
using TSwsPtr = std::unique_ptr<SwsContext, SwsFree>;

std::atomic<int> GTempCounter{0};

QString UniqueSibling(const QString& path, const QString& ext)
{
    return QStringLiteral("%1.%2-%3%4").arg(path).arg(QCoreApplication::applicationPid())
        .arg(GTempCounter.fetch_add(1)).arg(ext);
}

void RemoveFile(const QString& path)
{
    std::error_code ec;
    std::filesystem::remove(path.toStdString(), ec);
}

// Displayed picture rectangle → the same pixels in the picture before a
// display rotation of rot degrees clockwise, rw x rh.
TVGCropRect Unturn(const TVGCropRect& c, int rot, int rw, int rh)
{
    switch (rot) {
    case 90: return {c.Top, rh - c.Right, c.Bottom, rh - c.Left};
    case 180: return {rw - c.Right, rh - c.Bottom, rw - c.Left, rh - c.Top};
    case 270: return {rw - c.Bottom, c.Left, rw - c.Top, c.Right};
    default: return c;
    }
}

// One edge of a rectangle in a picture `shown` wide at the same place in one
// `raw` wide; exact when the two are equal.
int32_t Rescaled(int32_t v, int raw, int shown)
{
    return raw == shown ? v : int32_t((int64_t(v) * raw * 2 + shown) / (int64_t(shown) * 2));
}

// Displayed picture rectangle → the same pixels in the decoder's raw frame
// of rw x rh. The player stretches the raw frame to uw x uh (square pixels),
// turns it by rot degrees clockwise, then mirrors it when asked; this goes
// back through the three.
TVGCropRect ToRaw(TVGCropRect c, bool mirror, int rot, int uw, int uh, int rw, int rh)
{
    const bool sideways = rot == 90 || rot == 270;
    if (mirror) {
        const int shownW = sideways ? uh : uw;
        c = {shownW - c.Right, c.Top, shownW - c.Left, c.Bottom};
    }
    c = Unturn(c, rot, uw, uh);
    TVGCropRect r{Rescaled(c.Left, rw, uw), Rescaled(c.Top, rh, uh), Rescaled(c.Right, rw, uw), Rescaled(c.Bottom, rh, uh)};
    // A sliver narrower than a raw pixel still covers one.
    if (r.Right <= r.Left)
        r.Right = std::min(r.Left + 1, rw), r.Left = r.Right - 1;
    if (r.Bottom <= r.Top)
        r.Bottom = std::min(r.Top + 1, rh), r.Top = r.Bottom - 1;
    return r;
}

QImage Rotated(const QImage& img, int degrees)
{
    if (degrees == 0)
        return img;
    return img.transformed(QTransform().rotate(degrees));  // clockwise on screen
}

// Raw RGB frames of one size in a file beside the other temporary files; a
// ring of capacity frames, so only the last ones are kept.
class TFrameStore {
public:
    ~TFrameStore()
    {
        FFile.Close();
        if (!FPath.isEmpty())
            RemoveFile(FPath);
    }
    QString Open(const QString& path, qsizetype frameBytes, int64_t capacity)
    {
        FBytes = frameBytes;
        FCapacity = capacity;
        FPath = path;
        if (!FFile.Create(path, true))
            return QStringLiteral("Cannot create the temporary frame file \"%1\": %2").arg(path, FFile.ErrorText());
        return {};
    }
    // Straight to the system, so its own reason for a failure (a full disk,
    // a file size limit) is the one reported.
    QString Put(int64_t index, const QImage& img)
    {
        if (!FFile.WriteAt((index % FCapacity) * FBytes, img.constBits(), size_t(FBytes)))
            return QStringLiteral("Cannot write the temporary frame file \"%1\": %2").arg(FPath, FFile.ErrorText());
        return {};
    }
    QString Get(int64_t index, QImage& img)
    {
        if (!FFile.ReadAt((index % FCapacity) * FBytes, img.bits(), size_t(FBytes)))
            return QStringLiteral("Cannot read the temporary frame file \"%1\": %2").arg(FPath, FFile.ErrorText());
        return {};
    }
private:
    TRawFile FFile;
    QString FPath;
    qsizetype FBytes = 0;
    int64_t FCapacity = 1;
};

}  // namespace

// ---- the picture pipeline ------------------------------------------------------
struct TVGFrameSource::Impl {
    const TVGConvertFlag& F;
    TVGFrameSource& S;
    TFFDecoder Dec;
    TVideoStreamInfo Info;
    int FPS = 1;
    double Speed = 1.0;
    int MaxFrames = 1;
    int Sequence = 0;
    int DisplayRot = 0;       // the video's own rotation, degrees clockwise
    bool DisplayMirror = false;  // the video's own mirror, after its rotation
    QSize Shown;              // the video's frame with square pixels, before its rotation
    int UserRot = 0;          // degrees clockwise
    QSize Out;                // after crop and scale, before rotation
    QSize Final;              // as written
    TVGCropRect Crop;         // in displayed pixels

    // Scaler state, rebuilt when the source format or its colours change.
    TSwsPtr Sws;
    TSwsPtr SwsFull;          // the slow path's full-frame conversion
    int SwsW = -1, SwsH = -1, SwsFmt = -1, SwsMatrix = -1, SwsFullRange = -1;
    bool FastPath = true;

    Impl(const TVGConvertFlag& f, TVGFrameSource& s) : F(f), S(s) {}

    bool Stopped() const { return S.Stopped(); }

    // swscale's vector code may write a little past the last line of its
    // output, so its destinations get spare rows behind the picture.
    static QImage PaddedRGB888(int w, int h)
    {
        const qsizetype bpl = (qsizetype(w) * 3 + 3) & ~qsizetype(3);  // as QImage lays out its rows
        auto* buf = static_cast<uchar*>(std::malloc(size_t(bpl) * size_t(h + 4) + 64));
        if (!buf)
            return {};
        return QImage(buf, w, h, bpl, QImage::Format_RGB888, [](void* p) { std::free(p); }, buf);
    }

    // Crop and scale one decoded frame into an upright RGB picture of size Out.
    QString Scale(const AVFrame* src, QImage& out)
    {
        const int rw = src->width, rh = src->height;
        const TVGCropRect raw = ToRaw(Crop, DisplayMirror, DisplayRot, Shown.width(), Shown.height(), rw, rh);
        const bool sideways = DisplayRot == 90 || DisplayRot == 270;
        const int tw = sideways ? Out.height() : Out.width();
        const int th = sideways ? Out.width() : Out.height();
        if (raw.Width() < 1 || raw.Height() < 1 || raw.Right > rw || raw.Bottom > rh)
            return QStringLiteral("The crop area does not fit the video picture of %1 x %2.").arg(rw).arg(rh);
        const int flags = SWS_LANCZOS;

        QImage scaled = PaddedRGB888(tw, th);
        if (scaled.isNull())
            return QStringLiteral("Not enough memory for frames of %1 x %2 pixels.").arg(tw).arg(th);
        uint8_t* dst[4] = {scaled.bits(), nullptr, nullptr, nullptr};
        int dstStride[4] = {int(scaled.bytesPerLine()), 0, 0, 0};

        const TVideoColour colour = VideoColourOf(src);
        const bool changed = SwsW != rw || SwsH != rh || SwsFmt != colour.Format || SwsMatrix != colour.Matrix
                             || SwsFullRange != int(colour.FullRange);
        auto remember = [&] {
            SwsW = rw; SwsH = rh; SwsFmt = colour.Format;
            SwsMatrix = colour.Matrix; SwsFullRange = int(colour.FullRange);
        };
        if (FastPath) {
            // Crop by moving the plane pointers, then one conversion does
            // colour, chroma and size together.
            TAVFramePtr view(av_frame_clone(src));
            if (!view)
                return QStringLiteral("Not enough memory to convert a frame.");
            view->crop_left = size_t(raw.Left);
            view->crop_top = size_t(raw.Top);
            view->crop_right = size_t(rw - raw.Right);
            view->crop_bottom = size_t(rh - raw.Bottom);
            if (av_frame_apply_cropping(view.get(), AV_FRAME_CROP_UNALIGNED) >= 0 &&
                view->width == raw.Width() && view->height == raw.Height()) {
                if (!Sws || changed) {
                    Sws.reset(sws_getContext(view->width, view->height, AVPixelFormat(colour.Format), tw, th,
                                             AV_PIX_FMT_RGB24, flags, nullptr, nullptr, nullptr));
                    remember();
                    // The untagged rule looks at the whole coded picture, not the crop.
                    if (Sws)
                        ApplyVideoColour(Sws.get(), colour);
                }
                if (Sws) {
                    sws_scale(Sws.get(), view->data, view->linesize, 0, view->height, dst, dstStride);
                    out = Displayed(scaled);
                    return {};
                }
            }
            FastPath = false;
            Sws.reset();
            SwsW = SwsH = SwsFmt = -1;
        }

        // Formats whose planes cannot be cropped by pointers: convert the whole
        // frame first, then crop and scale the RGB picture.
        if (!SwsFull || changed) {
            SwsFull.reset(sws_getContext(rw, rh, AVPixelFormat(colour.Format), rw, rh, AV_PIX_FMT_RGB24,
                                         SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
            Sws.reset(sws_getContext(raw.Width(), raw.Height(), AV_PIX_FMT_RGB24, tw, th, AV_PIX_FMT_RGB24, flags,
                                     nullptr, nullptr, nullptr));
            remember();
            if (SwsFull)
                ApplyVideoColour(SwsFull.get(), colour);
        }
        if (!SwsFull)
            return QStringLiteral("The picture format %1 cannot be converted.")
                .arg(QString::fromUtf8(av_get_pix_fmt_name(AVPixelFormat(src->format))));
        if (!Sws)
            return QStringLiteral("The scaler cannot turn pictures of %1 x %2 into %3 x %4.")
                .arg(raw.Width()).arg(raw.Height()).arg(tw).arg(th);
        QImage full = PaddedRGB888(rw, rh);
        if (full.isNull())
            return QStringLiteral("Not enough memory to convert a frame.");
        uint8_t* fdst[4] = {full.bits(), nullptr, nullptr, nullptr};
        int fstride[4] = {int(full.bytesPerLine()), 0, 0, 0};
        sws_scale(SwsFull.get(), src->data, src->linesize, 0, rh, fdst, fstride);
        const uint8_t* csrc[4] = {full.constBits() + raw.Top * full.bytesPerLine() + raw.Left * 3, nullptr, nullptr, nullptr};
        int cstride[4] = {int(full.bytesPerLine()), 0, 0, 0};
        sws_scale(Sws.get(), csrc, cstride, 0, raw.Height(), dst, dstStride);
        out = Displayed(scaled);
        return {};
    }

    // The scaled picture, still in the raw frame's orientation, as the
    // player shows it.
    QImage Displayed(const QImage& scaled) const
    {
        QImage img = Rotated(scaled, DisplayRot);
        return DisplayMirror ? img.mirrored(true, false) : img;
    }

    // The whole geometry: crop, scale, overlays, rotation, flips.
    QString Transform(const AVFrame* src, QImage& out)
    {
        QImage img;
        QString err = Scale(src, img);
        if (!err.isEmpty())
            return err;
        if (F.OnDrawOverlay) {
            QPainter p(&img);
            F.OnDrawOverlay(&p, img.width(), img.height());
        }
        img = Rotated(img, UserRot);
        const bool fh = F.Flip & 1, fv = F.Flip & 2;
        if (fh || fv)
            img = img.mirrored(fh, fv);
        out = std::move(img);
        return {};
    }

    QString Open();
    QString Read(int64_t from, int64_t to, int64_t limit, int64_t repeatLimit, const TSink& sink,
                 const std::function<void(int64_t)>& progress, TPass& pass);
};

QString TVGFrameSource::Impl::Open()
{
    FPS = EffectiveFPS(F.GifFPS);
    Speed = EffectiveSpeed(F.GifSpeed);
    MaxFrames = EffectiveMaxFrames(F.MaxFrameCount);
    Sequence = F.Sequence <= 2 ? F.Sequence : 0;
    UserRot = (F.Rotation % 4) * 90;

    if (F.StartPTS == AV_NOPTS_VALUE || F.EndPTS == AV_NOPTS_VALUE || F.StartPTS >= F.EndPTS)
        return QStringLiteral("The clip range %1 - %2 is empty.").arg(FormatPTS(F.StartPTS), FormatPTS(F.EndPTS));

    Dec.LoadAVLib(F.LibFolder);
    Dec.SetBitmapBitsPixel(24);
    if (!Dec.LoadFile(F.VideoFileName))
        return QStringLiteral("Cannot open the video file \"%1\": %2").arg(F.VideoFileName, Dec.LastError());
    if (Dec.VideoStreamIndex() < 0)
        return QStringLiteral("\"%1\" has no video stream.").arg(F.VideoFileName);
    Info = Dec.GetVideoStreamInfo();
    DisplayRot = ((Info.Rotation % 360) + 360) % 360;
    if (DisplayRot % 90 != 0)
        DisplayRot = 0;
    DisplayMirror = Info.Mirrored;
    Shown = DisplayRot == 90 || DisplayRot == 270 ? QSize(Info.Height, Info.Width) : QSize(Info.Width, Info.Height);

    Crop = ClipCrop(F, Info.Width, Info.Height);
    if (Crop.Width() < 1 || Crop.Height() < 1)
        return QStringLiteral("The crop area (%1, %2) - (%3, %4) lies outside the video picture of %5 x %6.")
            .arg(F.CropRect.Left).arg(F.CropRect.Top).arg(F.CropRect.Right).arg(F.CropRect.Bottom)
            .arg(Info.Width).arg(Info.Height);
    Out = OutputSize(F, Info.Width, Info.Height);
    if (QString err = CheckOutputSize(Out); !err.isEmpty())
        return err;
    Final = WrittenSize(F, Info.Width, Info.Height);
    if (int64_t(Final.width()) * Final.height() > (int64_t(1) << 28))
        return QStringLiteral("The output size %1 x %2 is too large to convert.").arg(Final.width()).arg(Final.height());
    return {};
}

QString TVGFrameSource::Impl::Read(int64_t from, int64_t to, int64_t limit, int64_t repeatLimit, const TSink& sink,
                                   const std::function<void(int64_t)>& progress, TPass& pass)
{
    pass = {};
    pass.End = to;
    // The hint of an earlier stretch must not outlive its picker.
    Dec.SetSkipHint({});
    struct THintGuard {
        TFFDecoder& D;
        ~THintGuard() { D.SetSkipHint({}); }
    } hintGuard{Dec};

    if (!LocateVideoPTSCallback(&Dec, from, [this] { return !Stopped(); })) {
        if (Stopped())
            return {};
        return QStringLiteral("No frame of \"%1\" could be read at %2: %3")
            .arg(F.VideoFileName, FormatPTS(from), Dec.LastError());
    }

    TTimeline timeline(from);
    TFramePicker picker(FPS, Speed);
    if (repeatLimit > 0)
        picker.SetRepeatLimit(repeatLimit);
    TAVFramePtr prev;                            // the last kept candidate, not yet settled
    int64_t shownIndex = -1;
    QImage shown;
    QString failure;

    auto take = [&](int64_t k, int64_t candidate) -> bool {
        if (Stopped())
            return false;
        if (candidate != shownIndex) {
            failure = Transform(prev.get(), shown);
            if (!failure.isEmpty())
                return false;
            shownIndex = candidate;
        }
        if (!sink(k, shown)) {
            pass.SinkStopped = true;
            return false;
        }
        if (++pass.Given >= limit) {
            pass.Full = true;
            return false;
        }
        return true;
    };

    bool any = false;
    // A kept source frame: cut from the timeline when deleted, else a candidate.
    auto handle = [&](int64_t pts, const AVFrame* frame) -> bool {
        if (F.OnFrameDeleted && F.OnFrameDeleted(pts)) {
            timeline.Delete(pts);
            ++pass.Deleted;
            return true;
        }
        if (!picker.Add(timeline.Keep(pts), take))
            return false;
        prev.reset(av_frame_clone(frame));
        if (!prev) {
            failure = QStringLiteral("Not enough memory to convert a frame.");
            return false;
        }
        any = true;
        return true;
    };

    // The frame on show at the start may begin before it; it counts when it
    // still shows at the start, which the next frame or its duration tells.
    TAVFramePtr early;
    int64_t earlyPts = 0, earlyDuration = 0;
    bool first = true, stopped = false, more = true, reachedEnd = false;
    // The last source frame and its length: a video that ends before `to`
    // (audio longer than the picture, a range past the end) ends the clip
    // with its last frame instead of holding that frame to `to`.
    // Containers often do not know the last frame's length, so it lasts at
    // least as long as the longest gap between frames seen.
    int64_t lastPts = AV_NOPTS_VALUE, lastDuration = 0, longestGap = 0;
    // A frame that a later one replaces in the same output slot is never
    // shown, so it need not be decoded when nothing refers to it: at half
    // the source's frame rate that saves about a fifth of the CPU time on
    // camera footage with B-frames. Deleted
    // frames move the slots, so the hint is only used without them.
    if (!F.OnFrameDeleted) {
        Dec.SetSkipHint([&picker, from, to](int64_t t, int64_t later) {
            return later < to && picker.Slot(t - from) == picker.Slot(later - from);
        });
    }
    int64_t skippedBefore = Dec.SkippedFrames();
    while (more && !Stopped()) {
        const int64_t pts = Dec.CurrentPTS();
        if (pts != AV_NOPTS_VALUE) {
            if (pts >= to) {
                if (early)
                    earlyDuration = pts - earlyPts;
                reachedEnd = true;
                break;
            }
            if (first && pts < from) {
                early.reset(av_frame_clone(Dec.CurrentAVFrame()));
                earlyPts = pts;
                earlyDuration = Dec.CurrentDuration();
            } else {
                if (early) {
                    earlyDuration = pts - earlyPts;
                    const bool ok = handle(earlyPts, early.get());
                    early.reset();
                    if (!ok) { stopped = true; break; }
                    lastPts = earlyPts;
                }
                if (!handle(pts, Dec.CurrentAVFrame())) { stopped = true; break; }
                // Gaps left by frames skipped on purpose say nothing about the frame length.
                if (lastPts != AV_NOPTS_VALUE && Dec.SkippedFrames() == skippedBefore)
                    longestGap = std::max(longestGap, pts - lastPts);
                skippedBefore = Dec.SkippedFrames();
                lastPts = pts;
                lastDuration = Dec.CurrentDuration();
            }
            first = false;
            if (progress)
                progress(pts);
        }
        more = Dec.Decode();
    }
    if (early && !stopped && !Stopped() && earlyPts + earlyDuration > from) {
        handle(earlyPts, early.get());
        lastPts = earlyPts;
        lastDuration = earlyDuration;
    }
    early.reset();
    int64_t endPTS = to;
    if (!reachedEnd && lastPts != AV_NOPTS_VALUE) {
        if (lastDuration <= 0 && Info.FrameRateNum > 0 && Info.FrameRateDen > 0)
            lastDuration = int64_t(Unit_Nano) * Info.FrameRateDen / Info.FrameRateNum;
        lastDuration = std::max(lastDuration, longestGap);
        if (lastDuration > 0)
            endPTS = std::min(endPTS, lastPts + lastDuration);
    }
    pass.End = endPTS;
    pass.Candidates = picker.Candidates();
    pass.Emitted = picker.Emitted();
    if (!failure.isEmpty())
        return failure;
    if (Stopped() || pass.SinkStopped)
        return {};
    if (!pass.Full) {
        if (!any)
            return QStringLiteral("There is no frame to convert between %1 and %2 in \"%3\".")
                .arg(FormatPTS(from), FormatPTS(to), F.VideoFileName);
        picker.Finish(timeline.Length(endPTS), take);
        pass.Emitted = picker.Emitted();
        if (!failure.isEmpty())
            return failure;
    }
    return {};
}

TVGFrameSource::TVGFrameSource(const TVGConvertFlag& flag, const std::atomic<bool>* cancel)
    : d(std::make_unique<Impl>(flag, *this)), FCancel(cancel)
{
}

TVGFrameSource::~TVGFrameSource() = default;

QString TVGFrameSource::Open() { return d->Open(); }
void TVGFrameSource::SetDecoderThreads(int threads) { d->Dec.SetDecoderThreads(threads); }
int TVGFrameSource::FPS() const { return d->FPS; }
double TVGFrameSource::Speed() const { return d->Speed; }
int TVGFrameSource::MaxFrames() const { return d->MaxFrames; }
int TVGFrameSource::Sequence() const { return d->Sequence; }
QSize TVGFrameSource::Size() const { return d->Final; }
TGifEncoderOptions TVGFrameSource::EncoderOptions() const
{
    TGifEncoderOptions opt;
    opt.Width = d->Final.width();
    opt.Height = d->Final.height();
    opt.Loop = d->F.GifLoop < 0 ? -1 : d->F.GifLoop;
    return opt;
}
int64_t TVGFrameSource::VideoEnd() const { return std::max<int64_t>(0, d->Info.Duration); }
int64_t TVGFrameSource::TimeOffset() const { return d->Dec.GetFileStreamInfo().TimeOffset; }
int TVGFrameSource::VideoStream() const { return d->Dec.VideoStreamIndex(); }

QString TVGFrameSource::Read(int64_t from, int64_t to, int64_t limit, int64_t repeatLimit, const TSink& sink,
                             const std::function<void(int64_t)>& progress, TPass& pass)
{
    return d->Read(from, to, limit, repeatLimit, sink, progress, pass);
}

// ---- the conversion ------------------------------------------------------------
struct TVideo2GifThread::Impl {
    TVideo2GifThread& T;
    const TVGConvertFlag& F;
    int LastPercent = -1;

    Impl(TVideo2GifThread& t) : T(t), F(t.FFlag) {}

    bool Stopped() const { return T.Terminated(); }

    void Progress(int percent)
    {
        percent = std::clamp(percent, 0, 100);
        if (percent <= LastPercent)
            return;
        LastPercent = percent;
        CheckPostMessage(F.NotifyWnd, int(F.ProgressMsg), percent, 0);
    }

    QString Run(int& written);
};

QString TVideo2GifThread::Impl::Run(int& written)
{
    written = 0;
    Progress(0);

    if (F.StartPTS == AV_NOPTS_VALUE || F.EndPTS == AV_NOPTS_VALUE || F.StartPTS >= F.EndPTS)
        return QStringLiteral("The clip range %1 - %2 is empty.").arg(FormatPTS(F.StartPTS), FormatPTS(F.EndPTS));

    // Writing over the video would destroy what is being read.
    if (IsSameFile(F.VideoFileName, F.GifFileName))
        return QStringLiteral("The GIF file \"%1\" is the video being converted; choose another name for the GIF.")
            .arg(F.GifFileName);

    TVGFrameSource src(F, &T.FTerminated);
    if (QString err = src.Open(); !err.isEmpty())
        return err;
    const int FPS = src.FPS();
    const int MaxFrames = src.MaxFrames();
    const int Sequence = src.Sequence();
    const QSize Final = src.Size();

    // Written to a sibling and renamed at the end, so a failed conversion
    // never leaves a broken GIF under the real name.
    const QString partName = UniqueSibling(F.GifFileName, QStringLiteral(".part"));
    struct TPartGuard {
        QString Name; bool Keep = false;
        ~TPartGuard() { if (!Keep) RemoveFile(Name); }
    } partGuard{partName};

    TGifEncoder enc;
    if (!enc.Open(partName, src.EncoderOptions()))
        return QStringLiteral("Cannot write the GIF file \"%1\": %2").arg(F.GifFileName, enc.LastError());
    {
        std::lock_guard lock(T.FCancelLock);
        T.FCancelHook = [&enc] { enc.Cancel(); };
    }
    struct THookGuard {
        TVideo2GifThread& T;
        ~THookGuard() { std::lock_guard lock(T.FCancelLock); T.FCancelHook = nullptr; }
    } hookGuard{T};
    if (Stopped())
        return {};

    auto encoderError = [&] {
        return QStringLiteral("Cannot write the GIF file \"%1\": %2").arg(F.GifFileName, enc.LastError());
    };

    TFrameStore store;
    if (Sequence != 0) {
        // Never beside the output: a stopped run must not leave working files there.
        const QString folder = F.TempFolder.isEmpty() ? QDir::tempPath() + '/' : F.TempFolder;
        QImage probe(Final, QImage::Format_RGB888);
        const int64_t capacity = Sequence == 1 ? MaxFrames : int64_t(MaxFrames) + 1;
        if (QString err = store.Open(UniqueSibling(folder + QStringLiteral("frames"), QStringLiteral(".rgb")),
                                     probe.sizeInBytes(), capacity);
            !err.isEmpty())
            return err;
    }

    // Forward pass: pick frames on the GIF's time grid and either encode them
    // at once (original order) or keep them in the store.
    const bool direct = Sequence != 1;           // ping-pong plays its forward half at once
    const int decodeShare = Sequence == 0 ? 99 : 50;
    const int64_t range = F.EndPTS - F.StartPTS;
    QString failure;
    auto sink = [&](int64_t k, const QImage& shown) -> bool {
        if (direct) {
            if (!enc.AddFrame(shown, DelayCs(k, FPS))) {
                if (!enc.Cancelled())
                    failure = encoderError();
                return false;
            }
            ++written;
        }
        if (Sequence != 0) {
            failure = store.Put(k, shown);
            if (!failure.isEmpty())
                return false;
        }
        return true;
    };
    TVGFrameSource::TPass pass;
    // Reverse order keeps only the last MaxFrames output frames: once the
    // ring is full of one picture, a very slow speed need not write it again.
    const QString readError = src.Read(
        F.StartPTS, F.EndPTS, direct ? MaxFrames : INT64_MAX, Sequence == 1 ? MaxFrames : 0, sink,
        [&](int64_t pts) { Progress(int(decodeShare * double(pts - F.StartPTS) / double(range))); }, pass);
    if (!failure.isEmpty())
        return failure;
    if (!readError.isEmpty())
        return readError;
    if (Stopped())
        return {};

    // Backward pass from the store.
    if (Sequence != 0) {
        const int64_t n = Sequence == 1 ? pass.Emitted : pass.Given;
        const int64_t total = std::min<int64_t>(SequenceLength(n, Sequence), MaxFrames);
        const int64_t firstPos = Sequence == 2 ? std::min<int64_t>(n, total) : 0;
        // Reverse order: only the last MaxFrames kept frames are in the ring.
        QImage img(Final, QImage::Format_RGB888);
        for (int64_t pos = firstPos; pos < total; ++pos) {
            if (Stopped())
                return {};
            const int64_t index = SequenceIndex(pos, n, Sequence);
            if (QString err = store.Get(index, img); !err.isEmpty())
                return err;
            if (!enc.AddFrame(img, DelayCs(pos, FPS)))
                return enc.Cancelled() ? QString() : encoderError();
            ++written;
            // Ping-pong starts this pass at the turn; the percent follows this pass alone.
            Progress(50 + int(49.0 * double(pos - firstPos + 1) / double(total - firstPos)));
        }
    }

    if (!enc.Finish())
        return enc.Cancelled() ? QString() : encoderError();
    if (Stopped())
        return {};
    std::error_code ec;
    std::filesystem::rename(partName.toStdString(), F.GifFileName.toStdString(), ec);
    if (ec)
        return QStringLiteral("Cannot write the GIF file \"%1\": %2").arg(F.GifFileName, QString::fromStdString(ec.message()));
    partGuard.Keep = true;
    Progress(100);
    return {};
}

// ---- the thread ------------------------------------------------------------------
TVideo2GifThread::TVideo2GifThread(const TVGConvertFlag& flag) : FFlag(flag) {}

TVideo2GifThread::~TVideo2GifThread()
{
    Terminate();
    wait();
}

void TVideo2GifThread::Resume()
{
    if (!isRunning() && !isFinished())
        start();
}

void TVideo2GifThread::Terminate()
{
    FTerminated.store(true, std::memory_order_release);
    std::lock_guard lock(FCancelLock);
    if (FCancelHook)
        FCancelHook();
}

void TVideo2GifThread::run()
{
    Impl impl(*this);
    int written = 0;
    QString error;
    try {
        error = impl.Run(written);
    } catch (const std::bad_alloc&) {
        error = QStringLiteral("Not enough memory to convert \"%1\".").arg(FFlag.VideoFileName);
    } catch (const std::exception& e) {
        error = QStringLiteral("Converting \"%1\" failed: %2").arg(FFlag.VideoFileName, QString::fromUtf8(e.what()));
    }
    // A real failure is reported even when a cancel came after it; a cancel
    // alone posts nothing, since the window no longer waits.
    if (!error.isEmpty())
        CheckPostMessage(FFlag.NotifyWnd, int(FFlag.ErrorMsg), 0, 0, error);
    else if (!Terminated())
        CheckPostMessage(FFlag.NotifyWnd, int(FFlag.FinishMsg), written, FFlag.MaxFrameCount);
}
