// The size estimate: runs of consecutive output frames, spread evenly over
// the part of the clip the GIF shows, go through the conversion's own picture
// pipeline and its encoder (counting instead of writing). A GIF frame's size
// depends mostly on how it differs from the one before, so each run begins
// with a few frames that are not counted (the first taken as shown, the rest
// encoded); the counted frames then cost what they cost in the real file,
// and their mean is extrapolated.
#include "VGEstimate.h"

#include "FFDecoder.h"
#include "GifEncoder.h"
#include "VGFrameSource.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/packet.h>
#include <libavformat/avformat.h>
}

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

struct AVFormatClose { void operator()(AVFormatContext* c) const { avformat_close_input(&c); } };
struct AVPacketFree { void operator()(AVPacket* p) const { av_packet_free(&p); } };

struct TPacket {
    int64_t Time = 0;    // source time, µs
    int Size = 0;
    bool Key = false;
    // The earliest the picture may show what the packet brings: B-frames
    // decoded after it but shown before it may draw on it, so a cut coded as
    // B-frames shows at the first of them while its bytes sit in this packet.
    int64_t Shown = 0;
};

// The video's packets from `from` to `to` as the container lists them, read
// without decoding: their sizes show where the picture changes a lot (cuts,
// flashes) and where the keyframes are. Empty when the container will not say.
std::vector<TPacket> ScanPackets(const QString& file, int stream, int64_t offsetUs, int64_t from, int64_t to,
                                 const std::atomic<bool>* cancel)
{
    std::vector<TPacket> out;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, file.toUtf8().constData(), nullptr, nullptr) < 0)
        return out;
    std::unique_ptr<AVFormatContext, AVFormatClose> fmt(raw);
    // The stream list and time bases come from the header where there is
    // one; looking further would decode frames again, which the decoder has
    // done already.
    const bool listed = !(fmt->ctx_flags & AVFMTCTX_NOHEADER) && stream >= 0 && stream < int(fmt->nb_streams) &&
                        fmt->streams[stream]->time_base.num > 0 && fmt->streams[stream]->time_base.den > 0;
    if (!listed && avformat_find_stream_info(fmt.get(), nullptr) < 0)
        return out;
    if (stream < 0 || stream >= int(fmt->nb_streams))
        return out;
    AVStream* st = fmt->streams[stream];
    for (unsigned i = 0; i < fmt->nb_streams; ++i)
        if (int(i) != stream)
            fmt->streams[i]->discard = AVDISCARD_ALL;
    const AVRational micro{1, 1000000};
    if (from > 0)
        av_seek_frame(fmt.get(), stream, av_rescale_q(from + offsetUs, micro, st->time_base), AVSEEK_FLAG_BACKWARD);
    std::unique_ptr<AVPacket, AVPacketFree> pkt(av_packet_alloc());
    if (!pkt)
        return out;
    // Packets come in decoding order: read on a little past the end for the
    // pictures shown before it.
    const int64_t stopAt = to + 2 * int64_t(Unit_Nano);
    for (int n = 0; av_read_frame(fmt.get(), pkt.get()) >= 0; ++n) {
        struct TUnref { AVPacket* P; ~TUnref() { av_packet_unref(P); } } unref{pkt.get()};
        if ((n & 255) == 0 && cancel && cancel->load(std::memory_order_acquire))
            return {};
        if (pkt->stream_index != stream)
            continue;
        const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        if (ts == AV_NOPTS_VALUE)
            continue;
        const int64_t t = av_rescale_q(ts, st->time_base, micro) - offsetUs;
        if (pkt->dts != AV_NOPTS_VALUE && av_rescale_q(pkt->dts, st->time_base, micro) - offsetUs > stopAt)
            break;
        out.push_back({t, pkt->size, (pkt->flags & AV_PKT_FLAG_KEY) != 0, t});
    }
    for (size_t i = 0; i < out.size(); ++i)
        for (size_t j = i + 1; j < out.size() && out[j].Time < out[i].Time; ++j)
            out[i].Shown = std::min(out[i].Shown, out[j].Time);
    std::erase_if(out, [&](const TPacket& p) { return p.Time < from || p.Time >= to; });
    std::sort(out.begin(), out.end(), [](const TPacket& a, const TPacket& b) { return a.Time < b.Time; });
    return out;
}

// Packets far larger than those around them: a picture that changes much
// more than its neighbours (a cut, a flash, or a keyframe, which the sample
// then prices too).
std::vector<char> Events(const std::vector<TPacket>& p, double ratio)
{
    std::vector<char> ev(p.size(), 0);
    constexpr int kReach = 12;
    std::vector<int> near;
    for (size_t i = 0; i < p.size(); ++i) {
        near.clear();
        for (size_t j = i >= kReach ? i - kReach : 0; j < std::min(p.size(), i + kReach + 1); ++j)
            if (j != i)
                near.push_back(p[j].Size);
        if (near.size() < 4)
            continue;
        std::nth_element(near.begin(), near.begin() + near.size() / 2, near.end());
        const double median = std::max(64, near[near.size() / 2]);
        ev[i] = p[i].Size > ratio * median ? 1 : 0;
    }
    return ev;
}

struct TRunPlan {
    int64_t First = 0;   // output frame of the forward pass
    int64_t Count = 0;
    int WarmUp = 0;
    bool Event = false;  // prices one big change; may be left out
    bool Keep = false;   // ... unless it is the largest, which the price depends on most
    bool Fixed = false;  // stays where it is, however far it is to decode
};

// Long stretches without a keyframe must be decoded whole to reach a frame
// in them. Walks the plan in time order with an allowance of packets to
// decode on the way (budget x the clip's packets, shared out per run): a run
// too far to reach moves to a keyframe in its stratum, or as far ahead as
// the allowance reaches; an event run too far is left out.
std::vector<TRunPlan> WithinBudget(const std::vector<TRunPlan>& plan, const std::vector<TPacket>& packets,
                                   double budget, const std::function<int64_t(int64_t)>& timeOf,
                                   const std::function<int64_t(int64_t)>& frameAt)
{
    std::vector<int64_t> times, keys;
    for (const TPacket& p : packets) {
        times.push_back(p.Time);
        if (p.Key)
            keys.push_back(p.Time);
    }
    // Packets with times in [a, b).
    auto between = [&](int64_t a, int64_t b) {
        return b <= a ? 0
                      : int64_t(std::lower_bound(times.begin(), times.end(), b) -
                                std::lower_bound(times.begin(), times.end(), a));
    };
    auto keyBefore = [&](int64_t t) {
        auto it = std::upper_bound(keys.begin(), keys.end(), t);
        return it == keys.begin() ? times.front() : *(it - 1);
    };
    // Where decoding starts to reach t from pos: on from pos, or a keyframe after it.
    auto startFor = [&](int64_t pos, int64_t t) {
        const int64_t kb = keyBefore(t);
        return pos <= t && pos >= kb ? pos : kb;
    };
    const double share = budget * double(times.size()) / double(std::max<size_t>(1, plan.size()));
    std::vector<TRunPlan> out;
    double allowance = 0;
    int64_t pos = INT64_MIN, reached = INT64_MIN;   // decoder time; the first output frame not yet read
    for (const TRunPlan& run : plan) {
        allowance += share;
        int64_t first = std::max(run.First, reached == INT64_MIN ? run.First : reached);
        if (out.empty()) {
            // Any reading starts here; the conversion pays the same.
            out.push_back(run);
            pos = timeOf(run.First + run.Count);
            reached = run.First + run.Count;
            continue;
        }
        const int64_t t = timeOf(first);
        int64_t cost = between(startFor(pos, t), t);
        if (double(cost) > allowance) {
            if (run.Event && !run.Keep)
                continue;
            if (run.Event || run.Fixed) {
                allowance -= double(cost);
                out.push_back(run);
                pos = timeOf(run.First + run.Count);
                reached = run.First + run.Count;
                continue;
            }
            // A keyframe not far before the run's place, at or after where reading stands.
            const int64_t kb = keyBefore(t);
            const int64_t kFrame = frameAt(kb);
            if (kb > pos && kFrame >= reached && kFrame <= first) {
                first = kFrame;
            } else if (pos != INT64_MIN) {
                // As far on as the allowance reaches.
                auto it = std::lower_bound(times.begin(), times.end(), pos);
                const int64_t steps = std::min<int64_t>(int64_t(std::max(0.0, allowance)), times.end() - it - 1);
                first = std::clamp<int64_t>(frameAt(*(it + std::max<int64_t>(0, steps))), reached, first);
            }
            cost = between(startFor(pos, timeOf(first)), timeOf(first));
        }
        allowance -= double(cost);
        TRunPlan moved = run;
        moved.First = first;
        out.push_back(moved);
        pos = timeOf(first + run.Count);
        reached = first + run.Count;
    }
    return out;
}

// Where each AddFrame call counts. Unmarked: a big change the packets did not show.
enum : char { kWarmUp = 0, kOrdinary = 1, kEvent = 2, kUnmarked = 3 };

// Some changes hide from the packet sizes: a cut coded as a B-frame keeps
// its bytes in the packet after it, so the output frame that shows the cut
// looks ordinary and the marked one after it costs little. Priced as
// ordinary, its GIF bytes against its few video bytes would make every
// ordinary frame many times too dear. An ordinary frame costing more than
// kOutlier x the median of its run is such a change: among the frames that
// may show a marked change (see TPacket::Shown) it is that change's own, as
// is a warm-up frame that may show a change counted in its run, costing that
// much against the ordinary frames; elsewhere it is unmarked.
void MarkHiddenChanges(const std::vector<TGifFrameBytes>& frames, const std::vector<int>& runOf,
                       const std::vector<int64_t>& shownAt, const std::vector<TRunPlan>& plan,
                       const std::vector<int64_t>& events, const std::vector<int64_t>& leadFrom,
                       std::vector<char>& role)
{
    constexpr double kOutlier = 4.0;
    constexpr int64_t kSmall = 256;   // below this no frame is a big change
    std::vector<std::pair<int, int64_t>> at;   // AddFrame call, bytes
    std::vector<int64_t> all;                  // every ordinary frame's bytes
    for (const TGifFrameBytes& f : frames)
        if (f.FirstInput > 0 && size_t(f.FirstInput) < role.size()) {
            at.push_back({f.FirstInput, f.Bytes});
            if (role[size_t(f.FirstInput)] == kOrdinary)
                all.push_back(f.Bytes);
        }
    auto median = [](std::vector<int64_t> v) {
        if (v.empty())
            return 0.0;
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return double(v[v.size() / 2]);
    };
    auto big = [&](int64_t bytes, double m) { return bytes > kSmall && m > 0 && double(bytes) > kOutlier * m; };
    // Frame j may show the change of the next marked frame.
    auto leadsIn = [&](int64_t j) {
        const auto it = std::upper_bound(events.begin(), events.end(), j);
        return it != events.end() && leadFrom[size_t(it - events.begin())] <= j;
    };
    const double allMedian = median(all);
    std::vector<int64_t> sizes;
    for (size_t i = 0; i < at.size();) {
        const int run = runOf[size_t(at[i].first)];
        size_t j = i;
        sizes.clear();
        for (; j < at.size() && runOf[size_t(at[j].first)] == run; ++j)
            if (role[size_t(at[j].first)] == kOrdinary)
                sizes.push_back(at[j].second);
        // Warm-up frames past the run's first are drawn against the frame
        // before, as in the GIF: one with a marked change is that change,
        // priced like the rest (a cut among a change run's lead-in frames),
        // unless the change may show on the run's first frame, which is
        // taken as shown; and one that shows a change counted later in its
        // run (a cut coded as B-frames shows before its packet) is part of it.
        const TRunPlan& p = plan[size_t(run)];
        auto counted = [&](int64_t e) {
            const auto it = std::lower_bound(events.begin(), events.end(), e);
            return it != events.end() && *it == e && e < p.First + p.Count &&
                   (e >= p.First + p.WarmUp || leadFrom[size_t(it - events.begin())] > p.First);
        };
        for (size_t m = i; m < j; ++m) {
            const size_t call = size_t(at[m].first);
            if (role[call] == kWarmUp && runOf[call - 1] == run && counted(shownAt[call]))
                role[call] = kEvent;
        }
        for (size_t m = i; m < j; ++m) {
            const size_t call = size_t(at[m].first);
            const auto next = std::upper_bound(events.begin(), events.end(), shownAt[call]);
            if (role[call] == kWarmUp && runOf[call - 1] == run && next != events.end() && leadsIn(shownAt[call]) &&
                counted(*next) && big(at[m].second, allMedian))
                role[call] = kEvent;
        }
        if (!p.Event && sizes.size() >= 3) {
            const double m = median(sizes);
            for (size_t q = i; q < j; ++q) {
                const size_t call = size_t(at[q].first);
                if (role[call] == kOrdinary && big(at[q].second, m))
                    role[call] = leadsIn(shownAt[call]) ? kEvent : kUnmarked;
            }
        }
        i = j;
    }
}

// Stretches of a clip whose video spends bytes at rates far apart: a cut
// between unlike kinds of picture (a fine texture, flat colours, grain)
// changes what a GIF byte costs in video bytes by up to 50 times, so each
// such stretch is priced from a run of its own. Per output frame of the span,
// the regime it belongs to (the video's bytes around it, smoothed over the
// B- and P-frames, fall in one band of levels); one regime when the levels
// run on without a gap.
std::vector<int> Regimes(const std::vector<int64_t>& videoBytes, int minFrames)
{
    constexpr size_t kReach = 6;       // frames either side of the level's median
    constexpr double kGap = 4.0;       // levels this many times apart are different regimes
    constexpr size_t kMost = 4;
    const size_t n = videoBytes.size();
    std::vector<double> level(n, 0.0);
    std::vector<int64_t> near;
    for (size_t i = 0; i < n; ++i) {
        near.clear();
        for (size_t j = i >= kReach ? i - kReach : 0; j < std::min(n, i + kReach + 1); ++j)
            if (videoBytes[j] > 0)
                near.push_back(videoBytes[j]);
        if (near.empty())
            continue;
        std::nth_element(near.begin(), near.begin() + near.size() / 2, near.end());
        level[i] = double(near[near.size() / 2]);
    }
    std::vector<double> sorted;
    for (double l : level)
        if (l > 0)
            sorted.push_back(std::log(l));
    std::sort(sorted.begin(), sorted.end());
    // Band limits: where the sorted levels jump by kGap, largest jumps first,
    // each band keeping at least minFrames frames.
    std::vector<std::pair<double, size_t>> jumps;   // size of the jump, index after it
    for (size_t i = 1; i < sorted.size(); ++i)
        if (sorted[i] - sorted[i - 1] > std::log(kGap))
            jumps.push_back({sorted[i] - sorted[i - 1], i});
    std::sort(jumps.rbegin(), jumps.rend());
    std::vector<size_t> cuts;
    for (const auto& [size, at] : jumps) {
        if (cuts.size() + 1 >= kMost)
            break;
        std::vector<size_t> with = cuts;
        with.push_back(at);
        std::sort(with.begin(), with.end());
        bool roomy = true;
        for (size_t c = 0, from = 0; c <= with.size(); ++c) {
            const size_t to = c < with.size() ? with[c] : sorted.size();
            roomy = roomy && to - from >= size_t(minFrames);
            from = to;
        }
        if (roomy)
            cuts = with;
    }
    std::vector<int> regime(n, 0);
    if (cuts.empty())
        return regime;
    std::vector<double> limits;   // lowest log level of each regime but the first
    for (size_t c : cuts)
        limits.push_back(0.5 * (sorted[c - 1] + sorted[c]));
    for (size_t i = 0; i < n; ++i)
        if (level[i] > 0)
            regime[i] = int(std::upper_bound(limits.begin(), limits.end(), std::log(level[i])) - limits.begin());
    return regime;
}

constexpr double kWholeShare = 0.32;   // a sample of at least this share of the frames: all of them
constexpr double kSteadyShare = 0.05;   // below this share of big changes in the frames ...
constexpr double kSteadyBudget = 0.33;  // ... this much of the decode allowance
constexpr double kRepeatShare = 0.9;    // fewer frames than this share showing something new: see `shows`
constexpr double kSpread = 2.0;         // runs priced this many times apart saw unlike pictures
// A whole stretch in reverse or ping-pong order is held in memory up to this
// size, so that the encoder sees its frames in the GIF's own order; past it
// the forward frames are encoded and their mean stands for the rest.
constexpr int64_t kHoldBytes = int64_t(128) << 20;

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
    // For the range asked for, as the conversion says it: a run would name its own.
    auto noFrame = [&] {
        return fail(QStringLiteral("There is no frame to convert between %1 and %2 in \"%3\".")
                        .arg(FormatPTS(given.StartPTS), FormatPTS(given.EndPTS), given.VideoFileName));
    };

    TVGConvertFlag flag = given;
    flag.NotifyWnd = nullptr;
    TVGFrameSource src(flag, cancel);
    // The sample decodes a few short stretches: one decoding thread fills
    // one set of frame pools instead of one per thread (a tenth to a
    // quarter of the estimate's CPU time), and on two busy cores more
    // threads buy no time for some 20 frames.
    src.SetDecoderThreads(1);
    if (QString err = src.Open(); !err.isEmpty())
        return fail(err);
    if (stopped())
        return cancelled();

    const int fps = src.FPS();
    const double speed = src.Speed();
    const int64_t maxFrames = src.MaxFrames();
    const int sequence = src.Sequence();
    if (src.VideoEnd() > 0 && src.VideoEnd() <= flag.StartPTS)
        return noFrame();
    int64_t end = flag.EndPTS;
    if (src.VideoEnd() > flag.StartPTS)
        end = std::min(end, src.VideoEnd());
    const int64_t n = std::max<int64_t>(1, FramesIn(end - flag.StartPTS, fps, speed));
    // The output frame that first shows a source frame of time t.
    const TFramePicker grid(fps, speed);
    auto outputOf = [&](int64_t t) { return grid.Slot(t - flag.StartPTS); };

    // The forward frames the GIF shows: the first ones, or the last ones in reverse.
    const int64_t span = std::min(n, maxFrames);
    const int64_t spanFirst = sequence == 1 ? n - span : 0;
    const int64_t spanEnd = spanFirst + span;

    const int runFrames = std::max(1, o.RunFrames);
    const int warmUp = std::max(0, o.WarmUp);
    const int64_t length = runFrames + warmUp;
    std::vector<TRunPlan> plan;
    std::vector<int64_t> events;   // output frames of the span that start with a big change
    std::vector<int64_t> leadFrom;   // for each of them, the first output frame that may show it
    std::vector<std::pair<int64_t, int>> bySize;   // the same with their packet sizes, smallest first
    // Video bytes of the source frames each output frame of the span first
    // shows: how much the picture changes there, as the video's encoder saw it.
    std::vector<int64_t> videoBytes;
    std::vector<int> regime;   // per output frame of the span; see Regimes
    int regimes = 1;
    // The runs for a stretch of `frames` frames that show something, and
    // whether it is short enough to encode whole instead. A short stretch is
    // encoded whole: a sample would encode a third of it or more and, with
    // so few frames to spread over, still missed by up to 55 % (a 3 s stretch
    // of a slide show whose one cut no run reached; 5 s at 15 fps of real
    // footage by 29 %, and where unlike pictures alternate by 47-55 %), while
    // the whole stretch costs about what its conversion does (75 frames:
    // 0.3-2.4 s on the footage measured) and the sample already cost a
    // quarter to three fifths of that.
    int runs = 0;
    bool whole = false;
    auto planFor = [&](int64_t frames) {
        runs = int(std::clamp<double>(std::ceil(double(frames) * o.Share / runFrames), std::max(1, o.MinRuns),
                                      std::max(1, o.MaxRuns)));
        whole = int64_t(runs) * length >= frames ||
                (o.SampleShare > 0 && double(frames) * kWholeShare <= double(o.MinSample));
    };
    planFor(span);
    std::vector<TPacket> packets;
    // The output frames of the span that show a new picture, when a source
    // slower than the GIF (or one that holds its pictures) leaves many
    // repeating the one before: those cost the GIF nothing (it lengthens the
    // frame before), so the sample is measured in the frames that show
    // something. Empty: every frame counts.
    std::vector<int64_t> shows;
    int64_t shown = span;
    if (!whole) {
        packets = ScanPackets(flag.VideoFileName, src.VideoStream(), src.TimeOffset(), flag.StartPTS, end, cancel);
        if (stopped())
            return cancelled();
        if (!packets.empty()) {
            videoBytes.assign(size_t(span), 0);
            for (const TPacket& p : packets) {
                const int64_t k = outputOf(p.Time);
                if (k >= spanFirst && k < spanEnd)
                    videoBytes[size_t(k - spanFirst)] += p.Size;
            }
            for (int64_t k = spanFirst; k < spanEnd; ++k)
                if (k == spanFirst || videoBytes[size_t(k - spanFirst)] > 0)
                    shows.push_back(k);
        }
        if (!shows.empty() && double(shows.size()) < kRepeatShare * double(span)) {
            shown = int64_t(shows.size());
            planFor(shown);
        } else {
            shows.clear();
        }
    }
    // Where a run of `count` shown frames from the i-th shown one starts, and
    // how many output frames it spans.
    auto shownRun = [&](int64_t i, int64_t count) {
        if (shows.empty() || count <= 0)
            return std::pair{spanFirst + i, std::max<int64_t>(0, count)};
        const int64_t first = shows[size_t(std::clamp<int64_t>(i, 0, shown - 1))];
        const int64_t past = i + count < shown ? shows[size_t(std::max<int64_t>(0, i + count))] : spanEnd;
        return std::pair{first, std::max<int64_t>(1, past - first)};
    };
    if (whole) {
        // A short clip: all of it, as the conversion would.
        plan.push_back({spanFirst, span, 0});
    } else {
        const std::vector<char> big = Events(packets, o.EventRatio);
        std::vector<int> eventSize;   // per entry of events, its packet size
        struct TSized { int64_t Frame; int Size; int64_t Lead; };
        std::vector<TSized> sized;
        for (size_t i = 0; i < packets.size(); ++i) {
            const int64_t k = outputOf(packets[i].Time);
            if (big[i] && k > spanFirst && k < spanEnd)
                sized.push_back({k, packets[i].Size,
                                 std::clamp<int64_t>(outputOf(std::max(flag.StartPTS, packets[i].Shown)), spanFirst + 1, k)});
        }
        std::sort(sized.begin(), sized.end(), [](const TSized& a, const TSized& b) {
            return a.Frame != b.Frame ? a.Frame < b.Frame : a.Size < b.Size;
        });
        // One per output frame, the largest change in it.
        for (size_t i = 0; i < sized.size(); ++i) {
            if (i + 1 < sized.size() && sized[i + 1].Frame == sized[i].Frame)
                continue;
            events.push_back(sized[i].Frame);
            leadFrom.push_back(std::max(sized[i].Lead, events.size() > 1 ? events[events.size() - 2] + 1 : spanFirst + 1));
            bySize.push_back({sized[i].Frame, sized[i].Size});
            eventSize.push_back(sized[i].Size);
        }
        std::sort(bySize.begin(), bySize.end(), [](auto a, auto b) { return a.second < b.second; });

        // The sample's share of the encoding: runs give way first (their
        // prices mostly agree), then change runs.
        int eventRuns = int(std::min<size_t>(bySize.size(), size_t(std::max(0, o.EventRuns))));
        if (o.SampleShare > 0) {
            // Of the frames shown going forward: ping-pong encodes them twice
            // but decodes them once, and decoding costs the sample as much.
            const double cap = std::max(double(o.MinSample), o.SampleShare * double(shown));
            auto cost = [&] { return double(runs * length + eventRuns * (warmUp + 1)); };
            for (const auto& [minRuns, minEvents] : {std::pair{3, 2}, std::pair{2, 1}}) {
                while (cost() > cap && runs > minRuns)
                    --runs;
                while (cost() > cap && eventRuns > minEvents)
                    --eventRuns;
            }
        }
        // One run in each of `runs` equal strata, at a place of its own in
        // each (a golden-ratio sequence), so that nothing periodic in the
        // clip lines up with the sample.
        const double stratum = double(shown) / runs;
        for (int r = 0; r < runs; ++r) {
            // The first run starts with the GIF's own first frame, which is
            // drawn whole and so costs the most.
            const double u = r == 0 && sequence != 1 ? 0.0 : std::fmod((r + 1) * 0.6180339887498949, 1.0);
            const int64_t i = std::clamp<int64_t>(int64_t(r * stratum + u * std::max(0.0, stratum - double(length))), 0,
                                                  shown - length);
            const auto [first, count] = shownRun(i, length);
            plan.push_back({first, count, int(shownRun(i, warmUp).second)});
        }
        // Every regime gets a run the decode allowance does not move: in the
        // longest stretch of it the runs above left out, two frames in (a
        // cut between kinds of picture mostly brings a keyframe, so decoding
        // starts near).
        if (!videoBytes.empty())
            regime = Regimes(videoBytes, int(2 * length));
        regimes = regime.empty() ? 1 : *std::max_element(regime.begin(), regime.end()) + 1;
        for (int g = 0; g < regimes && regimes > 1; ++g) {
            auto in = [&](int64_t k) { return regime[size_t(k - spanFirst)] == g; };
            const bool sampled = std::any_of(plan.begin(), plan.end(), [&](const TRunPlan& p) {
                int64_t hits = 0;
                for (int64_t k = p.First + p.WarmUp; k < p.First + p.Count; ++k)
                    hits += in(k) ? 1 : 0;
                return 2 * hits > p.Count - p.WarmUp;
            });
            if (sampled)
                continue;
            int64_t best = -1, bestLength = 0;
            for (int64_t k = spanFirst + 1; k < spanEnd;) {
                int64_t e = k;
                while (e < spanEnd && in(e))
                    ++e;
                if (e - k > bestLength) {
                    best = k;
                    bestLength = e - k;
                }
                k = std::max(e, k + 1);
            }
            if (bestLength >= length) {
                plan.push_back({best + std::min<int64_t>((bestLength - length) / 2, 2), length, warmUp, false, false, true});
                ++runs;
            }
        }
        // Big changes are rare and costly: a sample of them, each after the
        // frames that lead up to it, spread over their sizes from small to
        // large so that it prices every kind of change in its share.
        const size_t picks = size_t(eventRuns);
        for (size_t i = 0; i < picks; ++i) {
            const auto [k, size] = bySize[size_t((i + 0.5) * double(bySize.size()) / double(picks))];
            const int64_t lead = leadFrom[size_t(std::lower_bound(events.begin(), events.end(), k) - events.begin())];
            const auto covering = std::find_if(plan.begin(), plan.begin() + runs, [&](const TRunPlan& p) {
                return lead >= p.First + p.WarmUp && k < p.First + p.Count;
            });
            const bool inRun = covering != plan.begin() + runs;
            // The run that samples the largest pick stands in for its change
            // run, which would have stayed however far it is to decode: so
            // must the run, or the decode allowance moves it off the change.
            if (inRun && i + 1 == picks)
                covering->Fixed = true;
            int64_t first = std::max(spanFirst, lead - warmUp);
            if (!shows.empty()) {
                const int64_t at = std::lower_bound(shows.begin(), shows.end(), lead) - shows.begin();
                first = std::min(lead, shows[size_t(std::max<int64_t>(0, at - warmUp))]);
            }
            // A change shortly after a larger one (the refining frames after
            // a cut) may warm up over it, and the first warm-up frame is
            // taken as shown without being encoded: the run starts before the
            // larger change instead, so that it is counted, up to a run's length.
            auto showsALargerChange = [&](int64_t j) {
                const auto it = std::lower_bound(events.begin(), events.end(), j);
                return it != events.end() && (*it == j || leadFrom[size_t(it - events.begin())] <= j) &&
                       eventSize[size_t(it - events.begin())] > size;
            };
            while (first > spanFirst && first < lead && k - first + 1 < length && showsALargerChange(first))
                --first;
            if (!inRun)
                plan.push_back({first, k - first + 1, int(k - first), true, i + 1 == picks});
        }
        // In time order, so the decoder mostly reads on.
        std::sort(plan.begin(), plan.end(), [](const TRunPlan& a, const TRunPlan& b) { return a.First < b.First; });
        // Steady content (few big changes) prices alike wherever it is
        // sampled, so it is not worth decoding far to spread the runs.
        const bool steady = double(events.size()) < kSteadyShare * double(shown);
        if (o.DecodeBudget >= 0 && !packets.empty())
            plan = WithinBudget(plan, packets, o.DecodeBudget * (steady ? kSteadyBudget : 1.0), [&](int64_t k) { return flag.StartPTS + MomentOf(k, fps, speed); },
                                [&](int64_t t) { return FramesIn(t - flag.StartPTS, fps, speed); });
    }

    TGifEncoder enc;
    if (!enc.OpenCounting(src.EncoderOptions()))
        return fail(QStringLiteral("Cannot estimate the GIF: %1").arg(enc.LastError()));

    std::vector<char> role;   // per AddFrame call
    std::vector<int64_t> shownAt;   // per AddFrame call: its output frame
    std::vector<int> runOf;         // per AddFrame call: its place in the plan
    int64_t deleted = 0, kept = 0;
    QString encodeError;
    // A whole stretch the GIF shows in another order: its frames, to encode
    // in that order after the read (reverse order encodes none before).
    const QSize shape = src.Size();   // of the GIF's frames
    const bool hold = whole && sequence != 0 &&
                      int64_t(shape.width()) * shape.height() * 4 * span <= kHoldBytes;
    std::vector<QImage> held;
    // Encodes a frame as the GIF's frame `pos` (seeds: taken as shown) and records it.
    auto add = [&](const QImage& picture, bool seed, int64_t pos, int64_t shownFrame, char r, int runIndex) {
        if (!(seed ? enc.SeedFrame(picture) : enc.AddFrame(picture, DelayCs(pos, fps)))) {
            encodeError = enc.LastError();
            return false;
        }
        role.push_back(r);
        shownAt.push_back(shownFrame);
        runOf.push_back(runIndex);
        return true;
    };
    for (size_t runIndex = 0; runIndex < plan.size(); ++runIndex) {
        const TRunPlan& run = plan[runIndex];
        if (stopped())
            return cancelled();
        const int64_t from = flag.StartPTS + MomentOf(run.First, fps, speed);
        const int64_t to = std::min(end, flag.StartPTS + MomentOf(run.First + run.Count, fps, speed));
        if (from >= to)
            continue;
        const int64_t seeds = run.First > spanFirst ? std::min<int64_t>(run.WarmUp, std::max(0, o.SeedFrames)) : 0;
        auto sink = [&](int64_t k, const QImage& picture) -> bool {
            if (hold) {
                held.push_back(picture.copy());
                if (held.back().isNull()) {
                    encodeError = QStringLiteral("not enough memory for the frames");
                    return false;
                }
                if (sequence == 1)
                    return true;
            }
            char r = kWarmUp;
            if (k >= run.WarmUp)
                r = std::binary_search(events.begin(), events.end(), run.First + k) ? kEvent : kOrdinary;
            return add(picture, k < seeds, run.First + k, run.First + k, r, int(runIndex));
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
    // The held frames in the GIF's order, as the conversion's second pass
    // gives them: reverse from the last, ping-pong back from the turn
    // without repeating either end.
    const int64_t heldFrames = int64_t(held.size());
    const int64_t sequenceFrames = std::min<int64_t>(SequenceLength(heldFrames, sequence), maxFrames);
    for (int64_t pos = sequence == 2 ? std::min(heldFrames, sequenceFrames) : 0; hold && pos < sequenceFrames; ++pos) {
        if (stopped())
            return cancelled();
        const int64_t index = SequenceIndex(pos, heldFrames, sequence);
        if (!add(held[size_t(index)], false, pos, spanFirst + index, kOrdinary, 0))
            return fail(QStringLiteral("Cannot estimate the GIF: %1").arg(encodeError));
        held[size_t(index)] = QImage();   // each is used once here
    }
    held.clear();
    if (role.empty())
        return noFrame();
    if (!enc.Finish())
        return stopped() ? cancelled() : fail(QStringLiteral("Cannot estimate the GIF: %1").arg(enc.LastError()));

    // The first frame is drawn whole; every later one only where it changes.
    const std::vector<TGifFrameBytes> frames = enc.FrameBytes();
    if (!whole)
        MarkHiddenChanges(frames, runOf, shownAt, plan, events, leadFrom, role);
    int64_t frameSum = 0, bytes[4] = {0, 0, 0, 0}, count[4] = {0, 0, 0, 0};
    for (const TGifFrameBytes& f : frames) {
        frameSum += f.Bytes;
        if (f.FirstInput > 0 && size_t(f.FirstInput) < role.size())
            bytes[int(role[size_t(f.FirstInput)])] += f.Bytes;
    }
    for (size_t i = 1; i < role.size(); ++i)
        ++count[int(role[i])];
    const int64_t overhead = enc.BytesWritten() - frameSum;   // header and trailer
    const int64_t firstBytes = frames.empty() ? 0 : frames.front().Bytes;

    // Deleted frames shorten the clip by their share of the source frames.
    int64_t forward = n;
    if (deleted > 0 && deleted + kept > 0)
        forward = std::max<int64_t>(1, std::llround(double(n) * double(kept) / double(deleted + kept)));
    // Held frames were encoded in the GIF's order: every frame it holds.
    const int64_t total = hold ? int64_t(role.size()) : std::min<int64_t>(SequenceLength(forward, sequence), maxFrames);
    const int64_t rest = std::max<int64_t>(0, total - 1);
    // The rest of the frames: ordinary ones at their sampled mean, the big
    // changes at theirs, in the share the packets showed.
    double extrapolated = 0;
    if (whole) {
        extrapolated = double(bytes[kOrdinary] + bytes[kEvent]) * double(rest) /
                       double(std::max<int64_t>(1, count[kOrdinary] + count[kEvent]));
    } else {
        // Per kind of frame, the GIF bytes the sample cost per video byte,
        // times the video bytes of all frames of that kind: where the sample
        // could not go (keyframes far apart), the video's own bytes say how
        // much more or less changes there. The plain mean when the container
        // gave no packets.
        // Per AddFrame call, the GIF bytes of the frame it starts (none for
        // one the frame before was lengthened by).
        std::vector<double> gifAt(role.size(), 0.0);
        for (const TGifFrameBytes& f : frames)
            if (f.FirstInput > 0 && size_t(f.FirstInput) < role.size())
                gifAt[size_t(f.FirstInput)] = double(f.Bytes);
        double gifBytes[4] = {0, 0, 0, 0}, sampledVideo[4] = {0, 0, 0, 0}, allVideo[3] = {0, 0, 0}, all[3] = {0, 0, 0};
        auto videoAt = [&](int64_t k) {
            return videoBytes.empty() || k < spanFirst || k >= spanEnd ? 0.0 : double(videoBytes[size_t(k - spanFirst)]);
        };
        for (size_t i = 1; i < role.size(); ++i) {
            gifBytes[int(role[i])] += gifAt[i];
            sampledVideo[int(role[i])] += videoAt(shownAt[i]);
        }
        for (int64_t k = spanFirst + 1; k < spanEnd; ++k) {
            const int c = std::binary_search(events.begin(), events.end(), k) ? kEvent : kOrdinary;
            allVideo[c] += videoAt(k);
            all[c] += 1;
        }
        double forwardBytes = 0;
        // No GIF frame holds more than every pixel coded alone (12-bit codes)
        // and a palette: a price per video byte must stop there where the
        // video spends far more than where it was sampled.
        const double frameCap = 1.52 * double(shape.width()) * double(shape.height()) + 1024;
        // Big changes, from the sampled ones (each with the lead-in frames
        // that showed it) by their packet sizes. A cut costs the GIF about
        // the same whether the video coded it as a keyframe or from the
        // picture before, which the video's bytes do not say (a keyframe's
        // are several times larger): sizes above the largest sampled one
        // count as that. Two prices from the sample, averaged: each change
        // at the cost of the sampled one nearest in size (follows what each
        // kind of change costs), and GIF bytes per packet byte over all of
        // them (steadier with few samples); either alone missed by 20-25 %
        // on a kind where the mean stays within 15 %.
        std::vector<std::pair<int, double>> priced;   // packet size, GIF bytes
        for (size_t i = 1; i < role.size(); ++i) {
            if (role[i] != kEvent || !std::binary_search(events.begin(), events.end(), shownAt[i]))
                continue;
            // With the change's own lead-in frames when those showed it.
            double lead = 0;
            for (size_t j = i - 1; j > 0 && runOf[j] == runOf[i] && role[j] == kEvent &&
                                   !std::binary_search(events.begin(), events.end(), shownAt[j]); --j)
                lead += gifAt[j];
            const auto it = std::find_if(bySize.begin(), bySize.end(), [&](auto p) { return p.first == shownAt[i]; });
            if (it != bySize.end())
                priced.push_back({it->second, gifAt[i] + lead});
        }
        // The GIF's first frame, drawn whole from a keyframe, is what a
        // cut to a new picture costs: priced as one more sampled change,
        // it keeps cuts from the price of the small changes around them
        // when the change runs found only those (a slide show's 3 cuts
        // among 20-30 refining frames).
        for (const TPacket& p : packets)
            if (!priced.empty() && p.Key && outputOf(p.Time) == spanFirst && firstBytes > 0) {
                priced.push_back({p.Size, double(firstBytes)});
                break;
            }
        std::sort(priced.begin(), priced.end());
        if (!priced.empty() && all[kEvent] > 0) {
            const double cap = double(priced.back().first);
            double g = 0, v = 0, allV = 0, nearest = 0;
            for (const auto& [size, bytes] : priced) {
                g += bytes;
                v += double(size);
            }
            for (const auto& [k, size] : bySize) {
                allV += std::min(cap, double(size));
                auto it = std::lower_bound(priced.begin(), priced.end(), std::make_pair(size, 0.0));
                if (it == priced.end() || (it != priced.begin() && std::log(double(size)) - std::log(double((it - 1)->first)) <
                                                                         std::log(double(it->first)) - std::log(double(size))))
                    --it;
                nearest += it->second;
            }
            forwardBytes += 0.5 * (nearest + g / v * allV);
        }
        for (int c : {int(kOrdinary), int(kEvent)}) {
            if (c == kEvent && !priced.empty())
                continue;
            if (all[c] == 0)
                continue;
            if (sampledVideo[c] > 0 && allVideo[c] > 0) {
                // Each regime at its own price; one the sample missed at the clip's.
                std::vector<double> rate(size_t(regimes), gifBytes[c] / sampledVideo[c]);
                auto regimeAt = [&](int64_t k) { return regimes > 1 ? size_t(regime[size_t(k - spanFirst)]) : 0; };
                if (c == kOrdinary && regimes > 1) {
                    std::vector<double> g(size_t(regimes), 0.0), sv(size_t(regimes), 0.0);
                    for (size_t i = 1; i < role.size(); ++i)
                        if (role[i] == kOrdinary) {
                            g[regimeAt(shownAt[i])] += gifAt[i];
                            sv[regimeAt(shownAt[i])] += videoAt(shownAt[i]);
                        }
                    for (size_t r = 0; r < size_t(regimes); ++r)
                        if (sv[r] > 0)
                            rate[r] = g[r] / sv[r];
                }
                // Ordinary runs whose GIF bytes per video byte differ by
                // kSpread or more saw unlike kinds of picture at video levels
                // too close for bands (a test card, then a fractal zoom, at
                // 0.8 and 3.2): each ordinary frame is then priced halfway
                // between the rate of the nearest run with no marked change
                // between them and the pooled rate. Neither alone: a run's
                // rate drifts across its stretch (a zoom's video bytes grow
                // fourfold while its GIF frames hardly do).
                struct TLocal { double Centre = 0, Gif = 0, Video = 0; int Frames = 0; };
                std::vector<TLocal> local(plan.size());
                bool unlike = false;
                if (c == kOrdinary) {
                    for (size_t i = 1; i < role.size(); ++i)
                        if (role[i] == kOrdinary) {
                            TLocal& l = local[size_t(runOf[i])];
                            l.Centre += double(shownAt[i]);
                            l.Gif += gifAt[i];
                            l.Video += videoAt(shownAt[i]);
                            ++l.Frames;
                        }
                    double lo = 0, hi = 0;
                    for (size_t r = 0; r < plan.size(); ++r) {
                        TLocal& l = local[r];
                        if (plan[r].Event || l.Frames < 3 || l.Video <= 0) {
                            l.Frames = 0;
                            continue;
                        }
                        l.Centre /= l.Frames;
                        const double at = l.Gif / l.Video;
                        lo = lo > 0 ? std::min(lo, at) : at;
                        hi = std::max(hi, at);
                    }
                    unlike = lo > 0 && hi >= kSpread * lo;
                }
                auto between = [&](int64_t k) { return std::upper_bound(events.begin(), events.end(), k) - events.begin(); };
                auto rateAt = [&](int64_t k) {
                    const double pooled = rate[regimeAt(k)];
                    if (!unlike)
                        return pooled;
                    double nearest = -1, distance = 0;
                    for (const TLocal& l : local) {
                        const int64_t centre = std::llround(l.Centre);
                        if (l.Frames > 0 && regimeAt(centre) == regimeAt(k) && between(centre) == between(k) &&
                            (nearest < 0 || std::abs(l.Centre - double(k)) < distance)) {
                            nearest = l.Gif / l.Video;
                            distance = std::abs(l.Centre - double(k));
                        }
                    }
                    return nearest < 0 ? pooled : 0.5 * (nearest + pooled);
                };
                for (int64_t k = spanFirst + 1; k < spanEnd; ++k)
                    if ((std::binary_search(events.begin(), events.end(), k) ? kEvent : kOrdinary) == c)
                        forwardBytes += std::min(frameCap, rateAt(k) * videoAt(k));
            } else if (count[c] > 0)
                forwardBytes += gifBytes[c] / double(count[c]) * all[c];
            else if (count[kOrdinary] > 0)   // no change of this kind sampled
                forwardBytes += gifBytes[kOrdinary] / double(count[kOrdinary]) * all[c];
        }
        // Unmarked changes at the rate they came among the ordinary frames:
        // their video bytes say nothing of what they cost.
        if (count[kUnmarked] > 0)
            forwardBytes += gifBytes[kUnmarked] / double(count[kOrdinary] + count[kUnmarked]) * all[kOrdinary];
        // The GIF's frames after the first in the span's proportion (twice over in ping-pong).
        extrapolated = forwardBytes * double(rest) / double(std::max<int64_t>(1, span - 1));
    }

    e.Ok = true;
    e.Frames = total;
    e.Bytes = overhead + firstBytes + std::llround(extrapolated);
    e.SampledFrames = int64_t(role.size());
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
