// The frame list: sorted insertion, lookups by time, links between frames,
// and the project's group decoding into it.

#include "TestSupport.h"

#include "FixtureVideo.h"
#include "app/VGApp.h"
#include "model/VGFrames.h"
#include "model/VGProj.h"
#include "outside/FFDecoder.h"
#include "outside/ZelMessages.h"
#include "outside/Zellog.h"

#include <QFile>
#include <QFileInfo>
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

// Collects the log lines written while it exists.
struct LogCapture {
    QString File = MakeTempDir("log") + "Log.txt";
    TLog Log{File, "MX_Vexmora_Log"};
    LogCapture() { SetLogObj(&Log); }
    ~LogCapture() { SetLogObj(nullptr); }
    QString Text() const { return ReadText(File); }
};

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

TEST(FrameList, LinksInTheWrongOrderAreLoggedAndSetAnyway)
{
    TVGFrames frames;
    AddTimes(frames, {1000000, 2000000});
    TVGFrame* early = frames[0];
    TVGFrame* late = frames[1];
    LogCapture log;
    early->SetNext(late);
    late->SetPrior(early);
    late->SetNext(nullptr);
    EXPECT_FALSE(log.Text().contains("error")) << log.Text().toStdString();

    late->SetNext(early);
    early->SetPrior(late);
    late->SetNext(late);
    EXPECT_EQ(late->Next, late);
    EXPECT_EQ(early->Prior, late);
    const QString text = log.Text();
    EXPECT_TRUE(text.contains("error next frame?! 00:00:02.000->00:00:01.000")) << text.toStdString();
    EXPECT_TRUE(text.contains("error prior frame?! 00:00:02.000<-00:00:01.000")) << text.toStdString();
    EXPECT_TRUE(text.contains("error next frame?! 00:00:02.000->00:00:02.000")) << text.toStdString();
}

// ---- group decoding on a generated video ---------------------------------------

namespace {

struct Progress {
    intptr_t WParam, LParam;
    bool operator==(const Progress&) const = default;
};

class ProgressReceiver : public QObject {
public:
    std::vector<Progress> Seen;
    std::vector<intptr_t> WParams() const
    {
        std::vector<intptr_t> v;
        for (const auto& p : Seen)
            v.push_back(p.WParam);
        return v;
    }
protected:
    bool event(QEvent* e) override
    {
        if (e->type() == static_cast<QEvent::Type>(WM_DECODEPROGRESS)) {
            auto* m = static_cast<TMessageEvent*>(e);
            Seen.push_back({m->WParam, m->LParam});
            return true;
        }
        return QObject::event(e);
    }
};

class FrameGroups : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        gApp = new TApp(MakeTempDir("exe"));
        App = gApp;
        gClip.Path = MakeTempDir("clip") + "count.mp4";
        gClip.FrameCount = 50;
        if (!FixtureEncoderAvailable(gClip.Encoder))
            gClip.Encoder = "mpeg4";
        QString error;
        gWritten = WriteFixtureVideo(gClip, &error);
        if (!gWritten)
            ADD_FAILURE() << error.toStdString();
    }
    static void TearDownTestSuite()
    {
        App = nullptr;
        delete gApp;
        gApp = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(gWritten);
        ASSERT_TRUE(Decoder.LoadFile(gClip.Path));
        Decoder.SetBitmapBitsPixel(24);
        Proj.LoadStreamInfo(&Decoder);
    }
    static int64_t Time(int index) { return FixtureFrameTimeUs(gClip, index); }
    // Indexes shown by the frames' bitmap files.
    static std::vector<int> Indexes(const QList<TVGFrame*>& list)
    {
        std::vector<int> v;
        for (TVGFrame* f : list)
            v.push_back(ReadFixtureIndex(QImage(f->BitmapFile)));
        return v;
    }
    static std::vector<int> Range(int from, int to)
    {
        std::vector<int> v;
        for (int i = from; i <= to; ++i)
            v.push_back(i);
        return v;
    }
    static void ExpectChained(const QList<TVGFrame*>& list)
    {
        for (int i = 1; i < list.count(); ++i) {
            EXPECT_EQ(list[i - 1]->Next, list[i]);
            EXPECT_EQ(list[i]->Prior, list[i - 1]);
            EXPECT_LT(list[i - 1]->PTS, list[i]->PTS);
        }
    }

    static inline TApp* gApp = nullptr;
    static inline TFixtureVideo gClip;
    static inline bool gWritten = false;
    TFFDecoder Decoder;
    TVGProj Proj;
    ProgressReceiver Wnd;
};

}  // namespace

TEST_F(FrameGroups, StreamInfo)
{
    EXPECT_TRUE(Proj.HasVideo());
    EXPECT_EQ(Proj.VideoWidth, 160);
    EXPECT_EQ(Proj.VideoHeight, 120);
    EXPECT_DOUBLE_EQ(Proj.FrameRate, 25.0);
    EXPECT_NEAR(Proj.Duration, 2000000, 40000);
    EXPECT_EQ(FrameDuration(&Decoder), 40000);
}

TEST_F(FrameGroups, ForwardGivesConsecutiveFramesAndReportsEach)
{
    QList<TVGFrame*> list;
    Proj.DecodeForward(&Decoder, 5, &Wnd, list, Time(10));
    EXPECT_EQ(Indexes(list), Range(10, 14));
    ExpectChained(list);
    EXPECT_EQ(Wnd.Seen, (std::vector<Progress>{{0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}}));
    EXPECT_EQ(Proj.Frames.Count(), 5);
    for (TVGFrame* f : list)
        EXPECT_TRUE(QFileInfo(f->BitmapFile).isFile());
    EXPECT_EQ(Decoder.CurrentPTS(), list.last()->PTS);  // left on the last frame of the group
}

TEST_F(FrameGroups, CountOneOrLessGivesOneFrame)
{
    for (int count : {1, 0, -3}) {
        Wnd.Seen.clear();
        QList<TVGFrame*> list;
        Proj.DecodeForward(&Decoder, count, &Wnd, list, Time(3));
        EXPECT_EQ(Indexes(list), std::vector<int>{3}) << count;
        EXPECT_EQ(Wnd.WParams(), (std::vector<intptr_t>{0, 1})) << count;
    }
    EXPECT_EQ(Proj.Frames.Count(), 1);  // found again, not made again
}

TEST_F(FrameGroups, WalkingADecodedStretchFollowsLinksThenCatchesUp)
{
    QList<TVGFrame*> first;
    Proj.DecodeForward(&Decoder, 5, &Wnd, first, Time(10));
    ASSERT_EQ(first.count(), 5);

    QList<TVGFrame*> second;
    Proj.DecodeForward(&Decoder, 10, &Wnd, second, Time(8));
    // Frames 10..14 come from the links; the decoder then moves past all of
    // them, so the next new frame is 15, not 11.
    EXPECT_EQ(Indexes(second), Range(8, 17));
    ExpectChained(second);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(second[2 + i], first[i]);
    EXPECT_EQ(Proj.Frames.Count(), 10);
}

TEST_F(FrameGroups, ForwardStopsAtTheEnd)
{
    QList<TVGFrame*> list;
    Proj.DecodeForward(&Decoder, 10, &Wnd, list, Time(46));
    EXPECT_EQ(Indexes(list), Range(46, 49));
    EXPECT_EQ(Wnd.Seen.back(), (Progress{4, 10}));
}

TEST_F(FrameGroups, BackwardGivesTheFramesBeforeTheTime)
{
    QList<TVGFrame*> list;
    Proj.DecodeBackward(&Decoder, 5, &Wnd, list, Time(20));
    // From 5 frame lengths back up to the frame at the time itself.
    EXPECT_EQ(Indexes(list), Range(15, 20));
    ExpectChained(list);
    EXPECT_EQ(Wnd.Seen.front(), (Progress{0, 5}));
    EXPECT_EQ(Wnd.Seen.back(), (Progress{6, 5}));

    Wnd.Seen.clear();
    list.clear();
    Proj.DecodeBackward(&Decoder, 5, &Wnd, list, 0);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(Wnd.WParams(), std::vector<intptr_t>{0});
    EXPECT_EQ(Proj.Frames.Count(), 6);
}

TEST_F(FrameGroups, NewFramesSnapTheRange)
{
    Proj.StartPTS = Time(12) / 1000 * 1000;  // the millisecond as typed
    Proj.EndPTS = Proj.Duration;
    QList<TVGFrame*> list;
    Proj.DecodeForward(&Decoder, 3, &Wnd, list, Time(11));
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(Proj.StartPTS, list[1]->PTS);
}

TEST_F(FrameGroups, AnUnwritableBitmapGivesNoFrame)
{
    const QString blocker = MakeTempDir("blocked") + "file";
    {
        QFile f(blocker);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString saved = App->TempFolder;
    App->TempFolder = blocker + "/temp/";  // a folder below a file cannot be made
    LogCapture log;
    QList<TVGFrame*> list;
    Proj.DecodeForward(&Decoder, 5, &Wnd, list, Time(5));
    App->TempFolder = saved;
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(Proj.Frames.IsEmpty());
    EXPECT_TRUE(log.Text().contains("cannot write the frame bitmap")) << log.Text().toStdString();

    Proj.DecodeForward(&Decoder, 2, &Wnd, list, Time(5));  // and recovers once it can write
    EXPECT_EQ(Indexes(list), Range(5, 6));
}
