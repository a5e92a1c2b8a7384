// The planning rules of the conversion: which source frame each GIF frame
// shows, how long it stays, in which order, at which size.
#include "VGConvert.h"

#include <algorithm>
#include <cmath>

namespace VGConvertPlan {

int EffectiveFPS(int gifFPS)
{
    // Browsers stretch delays below 2 cs to 10 cs, so 50 fps is the fastest
    // rate that plays right; faster clips drop frames instead.
    return std::clamp(gifFPS, 1, 50);
}

double EffectiveSpeed(double speed)
{
    return (speed > 0 && std::isfinite(speed)) ? speed : 1.0;
}

int EffectiveMaxFrames(int maxFrames) { return std::max(maxFrames, 1); }

int RoundHalfEven(double v)
{
    return static_cast<int>(std::nearbyint(v));  // default rounding mode: half to even
}

TVGCropRect ClipCrop(const TVGConvertFlag& flag, int w, int h)
{
    if (!flag.UseCrop)
        return {0, 0, w, h};
    TVGCropRect r;
    r.Left = std::clamp(flag.CropRect.Left, 0, w);
    r.Top = std::clamp(flag.CropRect.Top, 0, h);
    r.Right = std::clamp(flag.CropRect.Right, r.Left, w);
    r.Bottom = std::clamp(flag.CropRect.Bottom, r.Top, h);
    return r;
}

QSize OutputSize(const TVGConvertFlag& flag, int w, int h)
{
    if (flag.ScaleFactor < 0)
        return {flag.CustomWidth, flag.CustomHeight};
    const TVGCropRect base = ClipCrop(flag, w, h);
    return {RoundHalfEven(base.Width() * flag.ScaleFactor), RoundHalfEven(base.Height() * flag.ScaleFactor)};
}

QSize WrittenSize(const TVGConvertFlag& flag, int w, int h)
{
    const QSize out = OutputSize(flag, w, h);
    return flag.Rotation % 2 ? out.transposed() : out;
}

QString CheckOutputSize(QSize size)
{
    if (size.width() < 1 || size.height() < 1)
        return QStringLiteral("The output size %1 x %2 is too small: a GIF needs at least 1 x 1 pixels.")
            .arg(size.width()).arg(size.height());
    if (size.width() > 65535 || size.height() > 65535)
        return QStringLiteral("The output size %1 x %2 is too large: a GIF can be at most 65535 x 65535 pixels.")
            .arg(size.width()).arg(size.height());
    return {};
}

// Times past the int64 range stand at its end: a clip sped up beyond all
// measure shows its one frame, slowed down to nothing it shows its first.
constexpr int64_t kTimeTop = 9'200'000'000'000'000'000;  // below INT64_MAX, exact in a long double

static int64_t Saturated(long double v)
{
    if (!(v > -static_cast<long double>(kTimeTop)))
        return v != v ? 0 : -kTimeTop;
    if (!(v < static_cast<long double>(kTimeTop)))
        return kTimeTop;
    return std::llround(v);
}

int64_t MomentOf(int64_t k, int fps, double speed)
{
    return Saturated(static_cast<long double>(k) * EffectiveSpeed(speed) * 1000000.0L / std::max(fps, 1));
}

static int64_t CsAt(int64_t k, int fps)
{
    return (k * 200 + fps) / (2 * static_cast<int64_t>(fps));  // round(k * 100 / fps), half up
}

int DelayCs(int64_t k, int fps)
{
    return static_cast<int>(CsAt(k + 1, fps) - CsAt(k, fps));
}

int64_t SequenceLength(int64_t n, int sequence)
{
    if (sequence == 2 && n > 1)
        return 2 * n - 2;
    return n;
}

int64_t SequenceIndex(int64_t pos, int64_t n, int sequence)
{
    switch (sequence) {
    case 1: return n - 1 - pos;
    case 2: return pos < n ? pos : 2 * n - 2 - pos;
    default: return pos;
    }
}

// ---- TTimeline ----------------------------------------------------------------
int64_t TTimeline::Keep(int64_t pts)
{
    if (FPendingDelete != INT64_MIN) {
        FShift += std::max<int64_t>(pts - FPendingDelete, 0);
        FPendingDelete = INT64_MIN;
    }
    return pts - FStart - FShift;
}

void TTimeline::Delete(int64_t pts)
{
    // A run of deleted frames is cut from the first one's time to the next kept frame.
    if (FPendingDelete == INT64_MIN)
        FPendingDelete = std::max(pts, FStart);
}

int64_t TTimeline::Length(int64_t endPTS) const
{
    int64_t shift = FShift;
    if (FPendingDelete != INT64_MIN)
        shift += std::max<int64_t>(endPTS - FPendingDelete, 0);
    return endPTS - FStart - shift;
}

// ---- TFramePicker ---------------------------------------------------------------
int64_t TFramePicker::Slot(int64_t t) const
{
    // The output frame whose moment t rounds to, halves away from zero, as
    // the usual fps resampling filter rounds a timestamp into its time base.
    // Times here are whole microseconds, so a frame exactly half-way (every
    // other frame of 30 fps shown at 15 fps) may sit a microsecond or two
    // either side of the half; such a frame counts as half-way.
    const long double perSlot = static_cast<long double>(EffectiveSpeed(FSpeed)) * 1000000.0L / std::max(FFPS, 1);  // microseconds
    const long double x = static_cast<long double>(t) / perSlot;
    const long double eps = 2.0L / perSlot;
    return x >= 0 ? Saturated(std::floor(x + 0.5L + eps)) : -Saturated(std::floor(-x + 0.5L + eps));
}

bool TFramePicker::Run(int64_t end, const std::function<bool(int64_t, int64_t)>& emit)
{
    int64_t repeats = 0;
    while (FNext < end) {
        if (FRepeatLimit > 0 && repeats >= FRepeatLimit) {
            // The receiver holds enough copies of this frame: the rest of its
            // run is only counted, however long a slow speed makes it.
            FNext = end;
            break;
        }
        if (!emit(FNext, FCount - 1))
            return false;
        ++FNext;
        ++repeats;
    }
    return true;
}

bool TFramePicker::Add(int64_t t, const std::function<bool(int64_t, int64_t)>& emit)
{
    // Output frame k shows the last candidate whose time rounds to k or
    // earlier; the previous candidate takes every slot before the new one's.
    const int64_t slot = Slot(t);
    if (FCount > 0 && !Run(slot, emit))
        return false;
    ++FCount;
    return true;
}

int64_t TFramePicker::FirstMomentFrom(int64_t length) const
{
    // Estimated from the slot length, then set right by the exact rule.
    const long double perSlot = static_cast<long double>(EffectiveSpeed(FSpeed)) * 1000000.0L / std::max(FFPS, 1);
    int64_t k = std::max(FNext, Saturated(std::ceil(static_cast<long double>(length) / perSlot)));
    while (k > FNext && MomentOf(k - 1, FFPS, FSpeed) >= length)
        --k;
    while (k < kTimeTop && MomentOf(k, FFPS, FSpeed) < length)
        ++k;
    return k;
}

bool TFramePicker::Finish(int64_t length, const std::function<bool(int64_t, int64_t)>& emit)
{
    if (FCount == 0)
        return true;
    return Run(FirstMomentFrom(length), emit);
}

}  // namespace VGConvertPlan
