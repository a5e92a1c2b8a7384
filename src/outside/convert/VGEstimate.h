#pragma once
// The GIF's size before converting: a spread sample of the clip's output
// frames is encoded with the real engine and the result extrapolated.

#include "VGConvert.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>

struct TGifEstimate {
    bool Ok = false;
    int64_t Bytes = 0;          // the whole GIF, extrapolated
    int64_t Frames = 0;         // output frames of the whole GIF
    QString Error;              // why there is no estimate
    int64_t SampledFrames = 0;  // output frames encoded to get it
    double Seconds = 0;         // time it took
};
Q_DECLARE_METATYPE(TGifEstimate)

// How the sample is drawn; the defaults are the measured best trade of
// accuracy against time.
struct TGifEstimateOptions {
    // Runs of consecutive output frames spread evenly over the GIF: each
    // starts with WarmUp frames encoded but not counted (they stand for the
    // frames before the run, which a real conversion has encoded already).
    int RunFrames = 6;
    int WarmUp = 2;
    // Of each run's warm-up frames (but the GIF's own first), this many at
    // its start are taken as shown without being encoded: after a gap the
    // first frame changes nearly every pixel and would cost a whole frame's
    // palette search for bytes nobody counts.
    int SeedFrames = 1;
    int MinRuns = 4;
    int MaxRuns = 24;
    // Share of the GIF's frames to count, before the run limits.
    double Share = 0.08;
    // Frames whose video packet is this many times the size of those around
    // it change much more than the rest (cuts, flashes): they are priced
    // apart, from up to EventRuns of them each with its lead-in.
    double EventRatio = 3.0;
    int EventRuns = 8;
    // Packets that may be decoded only to reach the runs, as a share of the
    // clip's packets: with keyframes far apart, runs the allowance cannot
    // reach move nearer; below 0 every run stays in place.
    double DecodeBudget = 0.3;
    // Frames encoded for the sample (warm-up frames included): about this
    // share of the frames the GIF shows going forward at most, but room for
    // MinSample. On a short clip the runs above would encode a third of what
    // the conversion does.
    // Runs give way first (down to three), then change runs (down to two),
    // then the rest down to two runs and one change run. 0 leaves the plan
    // as the limits above make it.
    double SampleShare = 0.12;
    int MinSample = 24;
};

// Runs on the caller's thread; polls cancel (may be null) between frames.
// The flag's NotifyWnd and GifFileName are not used.
TGifEstimate EstimateGifSize(const TVGConvertFlag& flag, const std::atomic<bool>* cancel = nullptr);
TGifEstimate EstimateGifSize(const TVGConvertFlag& flag, const std::atomic<bool>* cancel,
                             const TGifEstimateOptions& options);

// Estimates in the background for a dialog: each Request replaces the one
// before and runs 300 ms after the last; Ready reports on the owner's thread,
// only for the newest request. The flag's callbacks run on a worker thread
// while the dialog goes on: they must draw from what they own (a copy of the
// overlays), not from objects the dialog edits meanwhile, and stay valid
// until the estimator is destroyed, which stops a run within a frame.
class TGifSizeEstimator : public QObject {
    Q_OBJECT
public:
    explicit TGifSizeEstimator(QObject* parent = nullptr);
    ~TGifSizeEstimator() override;
    void Request(const TVGConvertFlag& flag);
    bool Busy() const;
Q_SIGNALS:
    void Ready(const TGifEstimate& estimate);
private:
    struct Impl;
    Impl* FImpl;
};
