// The frame list: sorted insertion, lookups by time, links between frames,
// and the project's group decoding into it.

#include "TestSupport.h"

#include "model/VGFrames.h"
#include "model/VGProj.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <set>

namespace {

void AddTimes(TVGFrames& frames, std::initializer_list<int64_t> times)
{
    for (int64_t t : times)
        frames.AddFrame(QString::number(t), t);
}

}  // namespace

TEST(FrameList, InsertIndexAndFindFrame)
{
    TVGFrames frames;
    EXPECT_EQ(frames.InsertIndex(5), 0);
    EXPECT_EQ(frames.FindFrame(5), nullptr);
    AddTimes(frames, {30, 10, 20});
    EXPECT_EQ(frames.InsertIndex(5), 0);
    EXPECT_EQ(frames.InsertIndex(10), 0);
    EXPECT_EQ(frames.InsertIndex(15), 1);
    EXPECT_EQ(frames.InsertIndex(20), 1);
    EXPECT_EQ(frames.InsertIndex(30), 2);
    EXPECT_EQ(frames.InsertIndex(35), 3);
    EXPECT_EQ(frames.FindFrame(25), nullptr);
    EXPECT_EQ(frames.FindFrame(20)->BitmapFile, "20");
    EXPECT_EQ(frames.FindFrame(10), frames[0]);
    EXPECT_EQ(frames.FindFrame(30), frames[2]);
    EXPECT_EQ(frames.InsertIndex(INT64_MIN), 0);
    EXPECT_EQ(frames.FindFrame(INT64_MAX), nullptr);
}

// Against a plain linear search, over many list sizes and times.
TEST(FrameList, SearchesAgreeWithALinearScan)
{
    std::mt19937 rng(7);
    for (int size = 0; size < 40; ++size) {
        TVGFrames frames;
        std::set<int64_t> times;
        while (static_cast<int>(times.size()) < size)
            times.insert(static_cast<int64_t>(rng() % 200) - 50);
        std::vector<int64_t> shuffled(times.begin(), times.end());
        std::shuffle(shuffled.begin(), shuffled.end(), rng);
        for (int64_t t : shuffled)
            frames.AddFrame({}, t);
        ASSERT_EQ(frames.Count(), size);
        for (int i = 1; i < frames.Count(); ++i)
            ASSERT_LT(frames[i - 1]->PTS, frames[i]->PTS);
        for (int64_t t = -52; t < 152; ++t) {
            int expected = 0;
            while (expected < frames.Count() && frames[expected]->PTS < t)
                ++expected;
            ASSERT_EQ(frames.InsertIndex(t), expected) << "size " << size << " time " << t;
            TVGFrame* found = frames.FindFrame(t);
            ASSERT_EQ(found != nullptr, times.count(t) == 1) << "size " << size << " time " << t;
            if (found) {
                ASSERT_EQ(found->PTS, t);
            }
        }
    }
}

TEST(FrameList, AddFrameKeepsOneFramePerTime)
{
    TVGFrames frames;
    TVGFrame* a = frames.AddFrame("a.bmp", 40);
    EXPECT_FALSE(a->Deleted);
    EXPECT_EQ(a->Next, nullptr);
    EXPECT_EQ(a->Prior, nullptr);
    EXPECT_EQ(frames.AddFrame("again.bmp", 40), a);
    EXPECT_EQ(frames.Count(), 1);
    EXPECT_EQ(a->BitmapFile, "a.bmp");
}

TEST(FrameList, RemovalLeavesNoDanglingLinks)
{
    TVGFrames frames;
    AddTimes(frames, {10, 20, 30, 40});
    TVGFrame* a = frames[0];
    TVGFrame* b = frames[1];
    TVGFrame* c = frames[2];
    TVGFrame* d = frames[3];
    a->SetNext(b);
    b->SetPrior(a);
    b->SetNext(c);
    c->SetPrior(b);
    // A later run relinked c's prior side: a one-sided link from d to b remains.
    d->SetPrior(b);

    EXPECT_TRUE(frames.Remove(b));
    EXPECT_EQ(frames.Count(), 3);
    EXPECT_EQ(a->Next, nullptr);
    EXPECT_EQ(c->Prior, nullptr);
    EXPECT_EQ(d->Prior, nullptr);
    EXPECT_EQ(frames.IndexOf(b), -1);

    // A neighbour linked to some other frame keeps that link.
    a->SetNext(d);
    d->SetPrior(a);
    c->SetNext(d);
    frames.Delete(frames.IndexOf(c));
    EXPECT_EQ(a->Next, d);
    EXPECT_EQ(d->Prior, a);

    frames.Delete(99);  // out of range: nothing
    EXPECT_FALSE(frames.Remove(nullptr));
    frames.Clear();
    EXPECT_TRUE(frames.IsEmpty());
}

TEST(FrameBitmap, FilesReadBackExactly)
{
    const QString dir = MakeTempDir("bmp");
    std::mt19937 rng(3);
    for (QImage::Format format : {QImage::Format_RGB888, QImage::Format_RGB32, QImage::Format_ARGB32}) {
        for (int w : {1, 5, 7, 64}) {
            QImage img(w, 3, format);
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < w; ++x)
                    img.setPixel(x, y, qRgb(rng() % 256, rng() % 256, rng() % 256));
            const QString file = dir + QString("f%1-%2.bmp").arg(int(format)).arg(w);
            ASSERT_TRUE(SaveBitmapFile(img, file));
            QImage back(file);
            ASSERT_FALSE(back.isNull());
            EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), img.convertToFormat(QImage::Format_RGB32))
                << "format " << format << " width " << w;
        }
    }
    EXPECT_FALSE(SaveBitmapFile(QImage(4, 4, QImage::Format_RGB888), dir + "no/such/folder/f.bmp"));
    EXPECT_FALSE(SaveBitmapFile(QImage(), dir + "empty.bmp"));
}
