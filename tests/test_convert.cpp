// The conversion: the planning rules on their own, then whole conversions of
// fixture videos whose frames show their own index, decoded back.
#include "outside/VGConvert.h"

#include <gtest/gtest.h>

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

TEST(ConvertPlan, ResamplesToTheGifRateAndSpeed)
{
    const auto src = Times(90, 33333);  // 30 fps for 3 s
    // 10 fps: every third frame, for the moments before the end.
    EXPECT_EQ(Pick(src, 0, 2000000, 10, 1.0), Range(0, 60, 3));
    // Twice the speed: every sixth frame, half the frames.
    EXPECT_EQ(Pick(src, 0, 2000000, 10, 2.0), Range(0, 60, 6));
    // Half the speed: the nearest frame to every 50 ms.
    const auto slow = Pick(src, 0, 1000000, 10, 0.5);
    ASSERT_EQ(slow.size(), 20u);
    for (size_t k = 0; k < slow.size(); ++k)
        EXPECT_EQ(slow[k], int(std::lround(k * 50000.0 / 33333.0))) << k;
    // A start inside the video counts moments from the start.
    EXPECT_EQ(Pick(src, 1000000 - 1, 2000000 - 1, 10, 1.0), Range(30, 60, 3));
}

TEST(ConvertPlan, FasterGifThanSourceRepeatsTheNearestFrameTiesToTheEarlier)
{
    const auto src = Times(10, 100000);  // 10 fps, 1 s
    // At 20 fps every frame is shown twice; the moment between two frames
    // is a tie and takes the earlier one.
    const auto out = Pick(src, 0, 1000000, 20, 1.0);
    std::vector<int> expected;
    for (int i = 0; i < 10; ++i)
        expected.insert(expected.end(), {i, i});
    EXPECT_EQ(out, expected);
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
