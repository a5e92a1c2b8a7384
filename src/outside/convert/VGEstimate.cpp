// The size estimate: runs of consecutive output frames, spread evenly over
// the part of the clip the GIF shows, go through the conversion's own picture
// pipeline and its encoder (counting instead of writing). A GIF frame's size
// depends mostly on how it differs from the one before, so each run begins
// with a few frames that are encoded but not counted; the counted frames then
// cost what they cost in the real file, and their mean is extrapolated.
#include "VGEstimate.h"

#include "FFDecoder.h"
#include "GifEncoder.h"
#include "VGFrameSource.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

using namespace VGConvertPlan;

namespace {

// Output frames of the forward pass for a clip of `length` µs: those whose
// moment falls before its end.
int64_t FramesIn(int64_t length, int fps, double speed)
{
    if (length <= 0)
        return 0;
    const long double perFrame = static_cast<long double>(speed) * 1000000.0L / fps;
    int64_t k = std::max<int64_t>(0, int64_t(std::ceil(static_cast<long double>(length) / perFrame)));
    while (k > 0 && MomentOf(k - 1, fps, speed) >= length)
        --k;
    while (MomentOf(k, fps, speed) < length)
        ++k;
    return k;
}

struct TRunPlan {
    int64_t First = 0;   // output frame of the forward pass
    int64_t Count = 0;
    int WarmUp = 0;
};

TGifEstimate Estimate(const TVGConvertFlag& given, const std::atomic<bool>* cancel, const TGifEstimateOptions& o)
{
    QElapsedTimer clock;
    clock.start();
    TGifEstimate e;
    auto stopped = [cancel] { return cancel && cancel->load(std::memory_order_acquire); };
    auto fail = [&](const QString& why) {
        e.Ok = false;
        e.Error = why;
        e.Seconds = double(clock.nsecsElapsed()) / 1e9;
        return e;
    };
    auto cancelled = [&] { return fail(QStringLiteral("The estimate was cancelled.")); };

    TVGConvertFlag flag = given;
    flag.NotifyWnd = nullptr;
    TVGFrameSource src(flag, cancel);
    if (QString err = src.Open(); !err.isEmpty())
        return fail(err);
    if (stopped())
        return cancelled();

    const int fps = src.FPS();
    const double speed = src.Speed();
    const int64_t maxFrames = src.MaxFrames();
    const int sequence = src.Sequence();
    int64_t end = flag.EndPTS;
    if (src.VideoEnd() > flag.StartPTS)
        end = std::min(end, src.VideoEnd());
    const int64_t n = std::max<int64_t>(1, FramesIn(end - flag.StartPTS, fps, speed));

    // The forward frames the GIF shows: the first ones, or the last ones in reverse.
    const int64_t shown = std::min(n, maxFrames);
    const int64_t spanFirst = sequence == 1 ? n - shown : 0;
    const int64_t span = shown;

    const int runFrames = std::max(1, o.RunFrames);
    const int warmUp = std::max(0, o.WarmUp);
    std::vector<TRunPlan> plan;
    int runs = int(std::clamp<double>(std::ceil(double(span) * o.Share / runFrames), std::max(1, o.MinRuns),
                                      std::max(1, o.MaxRuns)));
    if (int64_t(runs) * (runFrames + warmUp) >= span) {
        // A short clip: all of it, as the conversion would.
        plan.push_back({spanFirst, span, 0});
    } else {
        const int64_t length = runFrames + warmUp;
        for (int r = 0; r < runs; ++r) {
            const int64_t centre = spanFirst + int64_t((r + 0.5) * double(span) / runs);
            const int64_t first = std::clamp<int64_t>(centre - length / 2, spanFirst, spanFirst + span - length);
            plan.push_back({first, length, warmUp});
        }
    }

    TGifEncoder enc;
    TGifEncoderOptions opt;
    const QSize size = src.Size();
    opt.Width = size.width();
    opt.Height = size.height();
    opt.Loop = flag.GifLoop < 0 ? -1 : flag.GifLoop;
    if (!enc.OpenCounting(opt))
        return fail(QStringLiteral("Cannot estimate the GIF: %1").arg(enc.LastError()));

    std::vector<char> counted;   // per AddFrame call
    int64_t deleted = 0, kept = 0;
    QString encodeError;
    for (const TRunPlan& run : plan) {
        if (stopped())
            return cancelled();
        const int64_t from = flag.StartPTS + MomentOf(run.First, fps, speed);
        const int64_t to = std::min(end, flag.StartPTS + MomentOf(run.First + run.Count, fps, speed));
        if (from >= to)
            continue;
        auto sink = [&](int64_t k, const QImage& picture) -> bool {
            if (!enc.AddFrame(picture, DelayCs(run.First + k, fps))) {
                encodeError = enc.LastError();
                return false;
            }
            counted.push_back(k >= run.WarmUp ? 1 : 0);
            return true;
        };
        TVGFrameSource::TPass pass;
        const QString err = src.Read(from, to, run.Count, 0, sink, {}, pass);
        if (stopped())
            return cancelled();
        if (!encodeError.isEmpty())
            return fail(QStringLiteral("Cannot estimate the GIF: %1").arg(encodeError));
        if (!err.isEmpty())
            return fail(err);
        deleted += pass.Deleted;
        kept += pass.Candidates;
    }
    if (counted.empty())
        return fail(QStringLiteral("There is no frame to convert between %1 and %2 in \"%3\".")
                        .arg(FormatPTS(flag.StartPTS), FormatPTS(flag.EndPTS), flag.VideoFileName));
    if (!enc.Finish())
        return stopped() ? cancelled() : fail(QStringLiteral("Cannot estimate the GIF: %1").arg(enc.LastError()));

    // The first frame is drawn whole; every later one only where it changes.
    const std::vector<TGifFrameBytes> frames = enc.FrameBytes();
    int64_t frameSum = 0, countedBytes = 0;
    for (const TGifFrameBytes& f : frames) {
        frameSum += f.Bytes;
        if (f.FirstInput > 0 && size_t(f.FirstInput) < counted.size() && counted[size_t(f.FirstInput)])
            countedBytes += f.Bytes;
    }
    const int64_t countedFrames = std::count(counted.begin() + 1, counted.end(), 1);
    const int64_t overhead = enc.BytesWritten() - frameSum;   // header and trailer
    const int64_t firstBytes = frames.empty() ? 0 : frames.front().Bytes;

    // Deleted frames shorten the clip by their share of the source frames.
    int64_t forward = n;
    if (deleted > 0 && deleted + kept > 0)
        forward = std::max<int64_t>(1, std::llround(double(n) * double(kept) / double(deleted + kept)));
    const int64_t total = std::min<int64_t>(SequenceLength(forward, sequence), maxFrames);
    const double perFrame = countedFrames > 0 ? double(countedBytes) / double(countedFrames) : 0.0;

    e.Ok = true;
    e.Frames = total;
    e.Bytes = overhead + firstBytes + std::llround(perFrame * double(std::max<int64_t>(0, total - 1)));
    e.SampledFrames = int64_t(counted.size());
    e.Seconds = double(clock.nsecsElapsed()) / 1e9;
    return e;
}

}  // namespace

TGifEstimate EstimateGifSize(const TVGConvertFlag& flag, const std::atomic<bool>* cancel,
                             const TGifEstimateOptions& options)
{
    try {
        return Estimate(flag, cancel, options);
    } catch (const std::bad_alloc&) {
        TGifEstimate e;
        e.Error = QStringLiteral("Not enough memory to estimate the GIF of \"%1\".").arg(flag.VideoFileName);
        return e;
    } catch (const std::exception& ex) {
        TGifEstimate e;
        e.Error = QStringLiteral("Estimating the GIF of \"%1\" failed: %2")
                      .arg(flag.VideoFileName, QString::fromUtf8(ex.what()));
        return e;
    }
}

TGifEstimate EstimateGifSize(const TVGConvertFlag& flag, const std::atomic<bool>* cancel)
{
    return EstimateGifSize(flag, cancel, TGifEstimateOptions{});
}

// ---- the background estimator ------------------------------------------------------
namespace {
constexpr int kQuietMs = 300;

struct TRun {
    std::atomic<bool> Cancel{false};
    std::atomic<bool> Done{false};       // the thread has ended
    std::atomic<bool> Delivered{false};  // the owner has heard the result
    std::thread Thread;
};
}  // namespace

struct TGifSizeEstimator::Impl {
    QTimer Timer;
    TVGConvertFlag Pending;
    std::vector<std::shared_ptr<TRun>> Runs;   // the newest last; older ones cancelled

    void CancelAll()
    {
        for (auto& r : Runs)
            r->Cancel.store(true, std::memory_order_release);
    }
    // Threads that have ended are joined at once; running ones stay listed.
    void Reap()
    {
        std::erase_if(Runs, [](const std::shared_ptr<TRun>& r) {
            if (!r->Done.load(std::memory_order_acquire))
                return false;
            if (r->Thread.joinable())
                r->Thread.join();
            return true;
        });
    }
};

TGifSizeEstimator::TGifSizeEstimator(QObject* parent) : QObject(parent), FImpl(new Impl)
{
    FImpl->Timer.setSingleShot(true);
    FImpl->Timer.setInterval(kQuietMs);
    connect(&FImpl->Timer, &QTimer::timeout, this, [this] {
        Impl& d = *FImpl;
        d.Reap();
        auto run = std::make_shared<TRun>();
        d.Runs.push_back(run);
        // The owner outlives the thread (its destruction joins it).
        run->Thread = std::thread([run, flag = d.Pending, owner = this] {
            const TGifEstimate e = EstimateGifSize(flag, &run->Cancel);
            // Delivered on the owner's thread; a run replaced meanwhile says nothing.
            if (!run->Cancel.load(std::memory_order_acquire)) {
                QMetaObject::invokeMethod(owner, [run, e, owner] {
                    run->Delivered.store(true, std::memory_order_release);
                    if (!run->Cancel.load(std::memory_order_acquire))
                        Q_EMIT owner->Ready(e);
                }, Qt::QueuedConnection);
            }
            run->Done.store(true, std::memory_order_release);
        });
    });
}

TGifSizeEstimator::~TGifSizeEstimator()
{
    // A cancelled run stops within a frame; it may still be calling the
    // flag's callbacks into the project, so it is waited for.
    FImpl->Timer.stop();
    FImpl->CancelAll();
    for (auto& r : FImpl->Runs)
        if (r->Thread.joinable())
            r->Thread.join();
    delete FImpl;
}

void TGifSizeEstimator::Request(const TVGConvertFlag& flag)
{
    FImpl->CancelAll();
    FImpl->Reap();
    FImpl->Pending = flag;
    FImpl->Timer.start();
}

bool TGifSizeEstimator::Busy() const
{
    if (FImpl->Timer.isActive())
        return true;
    return std::any_of(FImpl->Runs.begin(), FImpl->Runs.end(), [](const std::shared_ptr<TRun>& r) {
        return !r->Delivered.load(std::memory_order_acquire) && !r->Cancel.load(std::memory_order_acquire);
    });
}
