#pragma once
// The conversion thread: reads a stretch of a video with a decoder of its own,
// resamples it to the GIF's frame rate, crops, scales, draws the overlays,
// rotates and flips every frame, and feeds the GIF encoder. Reports to a
// receiver by posted TMessageEvents (progress, then one finish or one error).

#include "ZelMessages.h"

#include <QObject>
#include <QSize>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

class QPainter;

// Crop area in pixels of the upright video frame; Right and Bottom exclusive.
struct TVGCropRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    // Saturated, so that rectangles from anywhere are measured without overflow.
    int32_t Width() const { return Span(Left, Right); }
    int32_t Height() const { return Span(Top, Bottom); }
    static int32_t Span(int32_t from, int32_t to)
    {
        const int64_t d = int64_t(to) - from;
        return d > INT32_MAX ? INT32_MAX : d < INT32_MIN ? INT32_MIN : int32_t(d);
    }
};

// Everything the conversion needs, copied by the thread's constructor.
struct TVGConvertFlag {
    QString VideoFileName;
    QString GifFileName;
    int64_t StartPTS = 0;
    int64_t EndPTS = 0;
    TVGCropRect CropRect;
    bool UseCrop = false;
    double ScaleFactor = 1.0;          // 1, 0.5, 0.25, or -1 for the custom size
    int32_t CustomWidth = 0;
    int32_t CustomHeight = 0;
    int32_t MaxFrameCount = 0;         // below 1 counts as 1
    int32_t GifFPS = 0;                // below 1 counts as 1
    int32_t Reserved = 0;
    double GifSpeed = 1.0;             // 0 or less counts as 1.0
    int32_t GifLoop = -1;              // -1 forever, 0 once, N: once and N replays
    uint8_t Flip = 0;                  // bit 1 horizontally, bit 2 vertically
    uint8_t Rotation = 0;              // 1..3: 90, 180, 270 degrees clockwise
    uint8_t Sequence = 0;              // 0 original, 1 reverse, 2 ping-pong
    // Called on the conversion thread with a painter on each output frame
    // (after crop and scale, before rotation and flips) and its size.
    std::function<void(QPainter*, int w, int h)> OnDrawOverlay;
    // Called on the conversion thread with each source frame's exact time;
    // true leaves the frame out. Empty when no frame of the range is deleted.
    std::function<bool(int64_t)> OnFrameDeleted;
    QString LibFolder;
    // Working files (the frame store of reversed orders) go here; empty means
    // the system's temporary folder. Ends in '/'.
    QString TempFolder;
    QObject* NotifyWnd = nullptr;
    uint32_t FinishMsg = WM_CONVERTFINISH;
    uint32_t ProgressMsg = WM_CONVERTPROGRESS;
    uint32_t ErrorMsg = WM_CONVERTERROR;
};

class TVideo2GifThread : public QThread {
    Q_OBJECT
public:
    explicit TVideo2GifThread(const TVGConvertFlag& flag);
    // Asks the conversion to stop and waits for the thread.
    ~TVideo2GifThread() override;

    void Resume();                     // starts the conversion
    void Terminate();                  // asks it to stop; honoured within a frame
    bool Terminated() const { return FTerminated.load(std::memory_order_acquire); }

    const TVGConvertFlag& Flag() const { return FFlag; }

    struct Impl;
protected:
    void run() override;

private:
    TVGConvertFlag FFlag;
    std::atomic<bool> FTerminated{false};
    std::mutex FCancelLock;            // guards FCancelHook against the thread's own exit
    std::function<void()> FCancelHook; // wakes a stage that is waiting
    friend struct Impl;
};

// ---- the planning rules, free of decoding and encoding ----------------------
namespace VGConvertPlan {

int EffectiveFPS(int gifFPS);          // 1..50: above 50 fps frames are dropped
double EffectiveSpeed(double speed);   // 1.0 for 0 or less
int EffectiveMaxFrames(int maxFrames); // at least 1

// Round half to even, as the output size rule asks.
int RoundHalfEven(double v);

// The crop rectangle clipped to a frame of w x h; the whole frame without crop.
TVGCropRect ClipCrop(const TVGConvertFlag& flag, int w, int h);
// The one output size rule, for an upright source of w x h: the clipped
// crop, then the custom size or the scale factor with halves rounded to
// even. Before the rotation; the project, the conversion and the command
// line all ask here.
QSize OutputSize(const TVGConvertFlag& flag, int w, int h);
// The GIF's size as written: the output size turned by the rotation.
QSize WrittenSize(const TVGConvertFlag& flag, int w, int h);
// Empty when the size can be written, else the reason.
QString CheckOutputSize(QSize size);

// The time of output frame k measured from the start of the (compacted) clip, µs.
int64_t MomentOf(int64_t k, int fps, double speed);

// Centisecond delays with the rounding error carried forward: frame k lasts
// from round(k*100/fps) to round((k+1)*100/fps).
int DelayCs(int64_t k, int fps);

// Length of the output order for n kept frames, and the kept frame shown at
// position pos (0-based): original 0..n-1, reverse n-1..0, ping-pong 0..n-1,
// n-2..1.
int64_t SequenceLength(int64_t n, int sequence);
int64_t SequenceIndex(int64_t pos, int64_t n, int sequence);

// Cuts deleted frames out of the clip's timeline: fed every source frame in
// time order, it answers the frame's time in the compacted timeline (frames
// after deleted ones move up by the deleted frames' durations).
class TTimeline {
public:
    explicit TTimeline(int64_t startPTS) : FStart(startPTS) {}
    // Compacted time of a kept frame at pts, relative to the start.
    int64_t Keep(int64_t pts);
    void Delete(int64_t pts);
    // The compacted length of the range that ends at endPTS.
    int64_t Length(int64_t endPTS) const;
private:
    int64_t FStart;
    int64_t FShift = 0;
    int64_t FPendingDelete = INT64_MIN;
};

// Picks, for every output moment before the end, the candidate frame to show:
// the last one whose time rounds to that output frame or an earlier one (to
// the nearest output frame period, halves away from zero), which is what the
// common fps resampling filters show, so reference frames made that way match.
// Moments before the first candidate show it. Fed candidates in time order;
// Emit is called for each output frame with the number of the candidate to show.
class TFramePicker {
public:
    TFramePicker(int fps, double speed) : FFPS(fps), FSpeed(speed) {}
    // A new candidate at compacted time t; emits the moments the previous
    // candidate wins. Answers false when emit asked to stop.
    bool Add(int64_t t, const std::function<bool(int64_t k, int64_t candidate)>& emit);
    // The end of the clip: the last candidate takes every remaining moment before length.
    bool Finish(int64_t length, const std::function<bool(int64_t k, int64_t candidate)>& emit);
    int64_t Emitted() const { return FNext; }
    int64_t Candidates() const { return FCount; }
    // The output frame a candidate at compacted time t rounds to; of several
    // candidates in one slot only the last is ever shown.
    int64_t Slot(int64_t t) const;
    // After this many output frames in a row of one candidate, the rest of
    // its run is counted in Emitted() without calling emit; 0: no limit.
    void SetRepeatLimit(int64_t n) { FRepeatLimit = n; }
private:
    bool Run(int64_t end, const std::function<bool(int64_t k, int64_t candidate)>& emit);
    // The first output frame whose moment is not before length.
    int64_t FirstMomentFrom(int64_t length) const;
    int FFPS;
    double FSpeed;
    int64_t FNext = 0;      // next output moment
    int64_t FCount = 0;     // candidates seen
    int64_t FRepeatLimit = 0;
};

}  // namespace VGConvertPlan
