// The conversion's planning rules on their own, without the thread: which
// source frame each output frame shows, the delays, the orders, the size.
// Whole conversions are in test_convert_e2e.cpp.
#include "VGConvert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <vector>

using namespace VGConvertPlan;

namespace {

// Runs the picker and the timeline over source frames at the given times, as
// the conversion does; answers the source frame shown by each output frame.
std::vector<int> Pick(const std::vector<int64_t>& times, int64_t start, int64_t end, int fps, double speed,
                      const std::set<int>& deleted = {}, int64_t limit = 1 << 30)
{
    TTimeline timeline(start);
    TFramePicker picker(fps, speed);
    std::vector<int> candidates;  // source index of each candidate
    std::vector<int> out;
    auto take = [&](int64_t k, int64_t c) {
        EXPECT_EQ(k, int64_t(out.size()));
        out.push_back(candidates[size_t(c)]);
        return int64_t(out.size()) < limit;
    };
    for (size_t i = 0; i < times.size(); ++i) {
        if (times[i] >= end)
            break;
        if (deleted.count(int(i))) {
            timeline.Delete(times[i]);
            continue;
        }
        if (!picker.Add(timeline.Keep(times[i]), take))
            return out;
        candidates.push_back(int(i));
    }
    picker.Finish(timeline.Length(end), take);
    return out;
}

std::vector<int64_t> Times(int n, int64_t period, int64_t first = 0)
{
    std::vector<int64_t> t;
    for (int i = 0; i < n; ++i)
        t.push_back(first + i * period);
    return t;
}

std::vector<int> Range(int from, int to, int step = 1)
{
    std::vector<int> r;
    for (int i = from; i < to; i += step)
        r.push_back(i);
    return r;
}

}  // namespace

// Frame times as a decoder gives them: whole microseconds, rounded.
static std::vector<int64_t> TimesAt(int n, double rate, int64_t first = 0)
{
    std::vector<int64_t> t;
    for (int i = 0; i < n; ++i)
        t.push_back(first + std::llround(i * 1e6 / rate));
    return t;
}

static std::vector<int> Prefix(const std::vector<int>& v, size_t n) { return {v.begin(), v.begin() + long(std::min(n, v.size()))}; }

TEST(ConvertPlan, ResamplesAsTheFpsFilterDoes)
{
    // Each list is what the fps filter of the FFmpeg command line shows for
    // the first output frames (read back from its output by frame checksums).
    struct Case { double rate; int fps; double speed; std::vector<int> expected; };
    const std::vector<Case> cases = {
        {30, 10, 1.0, {1, 4, 7, 10, 13, 16, 19, 22, 25, 28}},
        // Every odd frame lies half-way between two output moments, a
        // microsecond either side after rounding: all count as half-way.
        {30, 15, 1.0, {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30}},
        {24, 15, 1.0, {0, 2, 3, 5, 7, 8, 10, 11, 13, 15, 16, 18, 19, 21, 23, 24}},
        {25, 15, 1.0, {0, 2, 4, 5, 7, 9, 10, 12, 14, 15, 17, 19, 20, 22, 24, 25}},
        // A faster GIF than the source repeats frames.
        {10, 20, 1.0, {0, 0, 1, 1, 2, 2, 3, 3, 4, 4}},
        // Speed 2 plays 30 fps as 60 fps would play, speed 0.5 as 15 fps.
        {30, 10, 2.0, {2, 8, 14, 20, 26, 32, 38, 44, 50, 56}},
        {30, 10, 0.5, {0, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17}},
    };
    for (const Case& c : cases) {
        const auto src = TimesAt(200, c.rate);
        EXPECT_EQ(Prefix(Pick(src, 0, 3000000, c.fps, c.speed), c.expected.size()), c.expected)
            << c.rate << " fps source, " << c.fps << " fps GIF, speed " << c.speed;
    }
    // Every moment before the end gets a frame: 2 s at 10 fps and speed 1, 2, 0.5.
    const auto src = TimesAt(90, 30);
    EXPECT_EQ(Pick(src, 0, 2000000, 10, 1.0), Range(1, 60, 3));
    EXPECT_EQ(Pick(src, 0, 2000000, 10, 2.0).size(), 10u);
    EXPECT_EQ(Pick(src, 0, 1000000, 10, 0.5).size(), 20u);
    // A start inside the video counts moments from the start.
    EXPECT_EQ(Pick(src, src[30], 2000000, 10, 1.0), Range(31, 60, 3));
    // Moments before the first frame show the first frame.
    EXPECT_EQ(Pick(Times(5, 100000, 150000), 0, 650000, 10, 1.0), (std::vector<int>{0, 0, 0, 1, 2, 3, 4}));
}

TEST(ConvertPlan, DeletedFramesAreCutOutOfTheTimeline)
{
    const auto src = Times(20, 100000);  // 10 fps, 2 s
    // At the source rate one frame fewer per deleted frame, none of them shown.
    std::vector<int> expected = Range(0, 5);
    for (int i = 7; i < 20; ++i)
        expected.push_back(i);
    EXPECT_EQ(Pick(src, 0, 2000000, 10, 1.0, {5, 6}), expected);
    // Deleted at the start and at the end.
    EXPECT_EQ(Pick(src, 0, 2000000, 10, 1.0, {0, 18, 19}), Range(1, 18));
    // All deleted: nothing to show.
    std::set<int> all;
    for (int i = 0; i < 20; ++i)
        all.insert(i);
    EXPECT_TRUE(Pick(src, 0, 2000000, 10, 1.0, all).empty());
    // At half the rate the following frames move up by the cut durations.
    EXPECT_EQ(Pick(src, 0, 2000000, 5, 1.0, {1}), (std::vector<int>{0, 3, 5, 7, 9, 11, 13, 15, 17, 19}));
}

TEST(ConvertPlan, StopsAtTheFrameLimit)
{
    EXPECT_EQ(Pick(Times(100, 100000), 0, 10000000, 10, 1.0, {}, 7), Range(0, 7));
    EXPECT_EQ(EffectiveMaxFrames(0), 1);
    EXPECT_EQ(EffectiveMaxFrames(-5), 1);
    EXPECT_EQ(EffectiveMaxFrames(1000), 1000);
}

TEST(ConvertPlan, DelaysCarryTheRoundingErrorAndNeverGoBelowTwo)
{
    for (int fps : {1, 3, 7, 10, 15, 24, 30, 33, 50}) {
        int64_t sum = 0;
        for (int k = 0; k < fps * 4; ++k) {
            const int d = DelayCs(k, fps);
            EXPECT_GE(d, 2) << fps;
            EXPECT_LE(std::abs(d * fps - 100), fps) << fps;  // within a centisecond of 100/fps
            sum += d;
        }
        EXPECT_EQ(sum, 400) << fps;                           // four seconds exactly
    }
    EXPECT_EQ(EffectiveFPS(0), 1);
    EXPECT_EQ(EffectiveFPS(-3), 1);
    EXPECT_EQ(EffectiveFPS(25), 25);
    EXPECT_EQ(EffectiveFPS(60), 50);  // drops frames instead of 1 cs delays
    EXPECT_EQ(EffectiveSpeed(0), 1.0);
    EXPECT_EQ(EffectiveSpeed(-2), 1.0);
    EXPECT_EQ(EffectiveSpeed(1.5), 1.5);
}

TEST(ConvertPlan, PlayTimeMatchesTheRangeOverTheSpeed)
{
    // 30 fps source, range 1.25 s to 4.9 s, 15 fps at 1.5x: plays (3.65 s / 1.5)
    // to within one output period.
    const auto src = Times(200, 33333);
    const int fps = 15;
    const double speed = 1.5;
    const auto out = Pick(src, 1250000, 4900000, fps, speed);
    int cs = 0;
    for (size_t k = 0; k < out.size(); ++k)
        cs += DelayCs(int64_t(k), fps);
    EXPECT_NEAR(cs / 100.0, 3.65 / speed, 1.0 / fps);
}

TEST(ConvertPlan, ExtremeSpeedsNeitherOverflowNorRunAway)
{
    const auto src = Times(20, 100000);  // 10 fps, 2 s
    // Fast beyond the clip's length: every frame rounds to the first output
    // frame, which shows the last of them, once.
    for (double speed : {1e7, 1e15, 1e300, std::numeric_limits<double>::max()})
        EXPECT_EQ(Pick(src, 0, 2000000, 10, speed), std::vector<int>{19}) << speed;
    // Slow beyond measure: the first frame on every output frame up to the limit.
    for (double speed : {1e-9, 1e-300, std::numeric_limits<double>::denorm_min()})
        EXPECT_EQ(Pick(src, 0, 2000000, 50, speed, {}, 40), std::vector<int>(40, 0)) << speed;
    // Moments and slots stay ordered and inside the range of a time.
    EXPECT_EQ(MomentOf(0, 1, 1e300), 0);
    EXPECT_GT(MomentOf(1, 1, 1e300), int64_t(9e18));
    EXPECT_EQ(MomentOf(std::numeric_limits<int64_t>::max(), 50, 1e300), MomentOf(1, 1, 1e300));
    EXPECT_EQ(MomentOf(1000, 25, std::numeric_limits<double>::infinity()), 40000000);  // counts as speed 1
    EXPECT_EQ(MomentOf(1000, 25, std::nan("")), 40000000);
    EXPECT_EQ(MomentOf(1000, 0, 1.0), 1000000000);                                  // counts as 1 fps
    TFramePicker slow(50, 1e-300);
    EXPECT_GT(slow.Slot(1), int64_t(9e18));
    EXPECT_LT(slow.Slot(-1), -int64_t(9e18));
    EXPECT_EQ(slow.Slot(std::numeric_limits<int64_t>::max()), slow.Slot(1));
    EXPECT_EQ(TFramePicker(50, 1e300).Slot(std::numeric_limits<int64_t>::max()), 0);
    EXPECT_EQ(TFramePicker(25, std::numeric_limits<double>::infinity()).Slot(40000), 1);

    // With a repeat limit, a long run of one candidate reaches emit only
    // that often, and the rest is counted: the reverse order's ring.
    TFramePicker picker(50, 1e-3);
    std::vector<int64_t> emitted;
    auto take = [&](int64_t k, int64_t c) { emitted.push_back(k * 100 + c); return true; };
    picker.SetRepeatLimit(3);
    for (int64_t t : {int64_t(0), int64_t(100000), int64_t(200000)})
        ASSERT_TRUE(picker.Add(t, take));
    ASSERT_TRUE(picker.Finish(300000, take));
    // 100 ms at a thousandth of the speed is 5000 output frames per candidate.
    EXPECT_EQ(picker.Emitted(), 15000);
    EXPECT_EQ(emitted, (std::vector<int64_t>{0, 100, 200, 500001, 500101, 500201, 1000002, 1000102, 1000202}));
}

TEST(ConvertPlan, SequenceOrders)
{
    auto order = [](int64_t n, int seq) {
        std::vector<int64_t> r;
        for (int64_t p = 0; p < SequenceLength(n, seq); ++p)
            r.push_back(SequenceIndex(p, n, seq));
        return r;
    };
    EXPECT_EQ(order(4, 0), (std::vector<int64_t>{0, 1, 2, 3}));
    EXPECT_EQ(order(4, 1), (std::vector<int64_t>{3, 2, 1, 0}));
    EXPECT_EQ(order(4, 2), (std::vector<int64_t>{0, 1, 2, 3, 2, 1}));
    EXPECT_EQ(order(2, 2), (std::vector<int64_t>{0, 1}));
    EXPECT_EQ(order(1, 2), (std::vector<int64_t>{0}));
    EXPECT_EQ(order(1, 1), (std::vector<int64_t>{0}));
}

TEST(ConvertPlan, OutputSizeAndCrop)
{
    TVGConvertFlag f;
    f.ScaleFactor = 0.5;
    f.UseCrop = true;
    f.CropRect = {10, 20, 651, 379};  // 641 x 359
    EXPECT_EQ(OutputSize(f, 1280, 720), QSize(320, 180));  // halves round to even
    f.CropRect = {0, 0, 643, 100};
    EXPECT_EQ(OutputSize(f, 1280, 720), QSize(322, 50));
    // A crop reaching past the frame is clipped to it.
    f.CropRect = {-10, 600, 2000, 900};
    const TVGCropRect c = ClipCrop(f, 1280, 720);
    EXPECT_EQ(c.Left, 0);
    EXPECT_EQ(c.Top, 600);
    EXPECT_EQ(c.Right, 1280);
    EXPECT_EQ(c.Bottom, 720);
    EXPECT_EQ(OutputSize(f, 1280, 720), QSize(640, 60));
    f.UseCrop = false;
    f.ScaleFactor = 0.25;
    EXPECT_EQ(OutputSize(f, 1280, 720), QSize(320, 180));
    f.ScaleFactor = -1;
    f.CustomWidth = 333;
    f.CustomHeight = 77;
    EXPECT_EQ(OutputSize(f, 1280, 720), QSize(333, 77));

    EXPECT_TRUE(CheckOutputSize({1, 1}).isEmpty());
    EXPECT_TRUE(CheckOutputSize({65535, 10}).isEmpty());
    EXPECT_TRUE(CheckOutputSize({0, 10}).contains(QLatin1String("too small")));
    EXPECT_TRUE(CheckOutputSize({10, -4}).contains(QLatin1String("too small")));
    EXPECT_TRUE(CheckOutputSize({65536, 10}).contains(QLatin1String("65535")));
}
