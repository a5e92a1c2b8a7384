// The frame list: sorted insertion, lookups by time, links between frames,
// and the project's group decoding into it.

#include "TestSupport.h"

#include "FixtureVideo.h"
#include "VGApp.h"
#include "VGFrames.h"
#include "VGProj.h"
#include "BitmapFile.h"
#include "FFDecoder.h"
#include "VideoPicture.h"
#include "ZelMessages.h"
#include "Zellog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <algorithm>
#include <csignal>
#include <random>
#include <set>
#include <sys/resource.h>

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

namespace {

// The bytes a 24-bit bottom-up bitmap file of the picture must hold, built
// the plain way: header, then rows from the bottom, blue first, zero-padded.
QByteArray ExpectedBitmapFile(const QImage& picture)
{
    const QImage img = picture.convertToFormat(QImage::Format_RGB32);
    const int w = img.width(), h = img.height(), row = (w * 3 + 3) / 4 * 4;
    QByteArray out(54 + row * h, '\0');
    auto put = [&out](int at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    out[0] = 'B';
    out[1] = 'M';
    put(2, uint32_t(out.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, uint32_t(w), 4);
    put(22, uint32_t(h), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, uint32_t(row * h), 4);
    put(38, 2835, 4);
    put(42, 2835, 4);
    for (int y = 0; y < h; ++y) {
        const auto* px = reinterpret_cast<const QRgb*>(img.constScanLine(h - 1 - y));
        char* p = out.data() + 54 + y * row;
        for (int x = 0; x < w; ++x, p += 3) {
            p[0] = char(qBlue(px[x]));
            p[1] = char(qGreen(px[x]));
            p[2] = char(qRed(px[x]));
        }
    }
    return out;
}

QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QImage NoisePicture(int w, int h, QImage::Format format, std::mt19937& rng)
{
    QImage img(w, h, format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(rng() % 256, rng() % 256, rng() % 256));
    return img;
}

// Lowers the process's file size limit while it exists: writes past it fail
// with EFBIG instead of raising SIGXFSZ.
struct FileSizeLimit {
    rlimit Saved{};
    void (*SavedHandler)(int) = nullptr;
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &Saved);
        SavedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = Saved;
        lower.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &Saved);
        std::signal(SIGXFSZ, SavedHandler);
    }
};

QStringList BitmapsIn(const QString& folder) { return QDir(folder).entryList({"*.bmp"}, QDir::Files); }

}  // namespace

TEST(FrameBitmap, FilesAreByteExactForEveryRowPadding)
{
    const QString dir = MakeTempDir("bmp");
    std::mt19937 rng(3);
    TBitmapRows reused;  // shrinking pictures through one buffer: old bytes must not leak into the padding
    for (QImage::Format format : {QImage::Format_RGB888, QImage::Format_RGB32, QImage::Format_ARGB32}) {
        for (int w : {64, 7, 6, 5, 4, 3, 2, 1}) {
            const QImage img = NoisePicture(w, 3, format, rng);
            const QString file = dir + QString("f%1-%2.bmp").arg(int(format)).arg(w);
            ASSERT_TRUE(SaveBitmapFile(img, file));
            EXPECT_EQ(FileBytes(file), ExpectedBitmapFile(img)) << "format " << format << " width " << w;
            QImage back(file);
            ASSERT_FALSE(back.isNull());
            EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), img.convertToFormat(QImage::Format_RGB32))
                << "format " << format << " width " << w;

            std::fill(reused.Data.begin(), reused.Data.end(), uint8_t(0xA5));
            ASSERT_TRUE(ImageToBitmapRows(img, reused));
            const QString again = dir + QString("r%1-%2.bmp").arg(int(format)).arg(w);
            ASSERT_TRUE(WriteBitmapFile(reused, again));
            EXPECT_EQ(FileBytes(again), ExpectedBitmapFile(img)) << "reused buffer, format " << format << " width " << w;
        }
    }
    EXPECT_FALSE(SaveBitmapFile(QImage(4, 4, QImage::Format_RGB888), dir + "no/such/folder/f.bmp"));
    EXPECT_FALSE(SaveBitmapFile(QImage(), dir + "empty.bmp"));
    TBitmapRows none;
    QString error;
    EXPECT_FALSE(WriteBitmapFile(none, dir + "none.bmp", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir + "none.bmp"));
    EXPECT_FALSE(none.Resize(0, 10));
    EXPECT_FALSE(none.Resize(70000, 70000));
}

TEST(FrameBitmap, AFailedWriteSaysWhyAndLeavesNoFile)
{
    const QString dir = MakeTempDir("bmpfail");
    std::mt19937 rng(5);
    TBitmapRows rows;
    ASSERT_TRUE(ImageToBitmapRows(NoisePicture(200, 100, QImage::Format_RGB888, rng), rows));
    QString error;
    EXPECT_FALSE(WriteBitmapFile(rows, dir + "missing/f.bmp", &error));
    EXPECT_TRUE(error.contains("No such file")) << error.toStdString();
    {
        FileSizeLimit limit(20000);  // the header and some rows get out, the rest fails
        error.clear();
        EXPECT_FALSE(WriteBitmapFile(rows, dir + "short.bmp", &error));
    }
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir + "short.bmp"));
    // A failed write through a link to something that is not a plain file
    // removes nothing: only a file of our own making is ours to delete.
    if (QFileInfo::exists("/dev/full")) {
        ASSERT_TRUE(QFile::link("/dev/full", dir + "full.bmp"));
        EXPECT_FALSE(WriteBitmapFile(rows, dir + "full.bmp", &error));
        EXPECT_TRUE(QFileInfo(dir + "full.bmp").isSymLink());
    }
    EXPECT_TRUE(WriteBitmapFile(rows, dir + "fine.bmp"));
    EXPECT_EQ(QFileInfo(dir + "fine.bmp").size(), rows.FileSize());
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

// The main window's adapter, as the window will use it.
class ProgressReceiver : public TPlayerEvents {
public:
    ProgressReceiver()
    {
        connect(this, &TPlayerEvents::DecodeProgress, [this](int done, int asked) { Seen.push_back({done, asked}); });
    }
    std::vector<Progress> Seen;
    std::vector<intptr_t> WParams() const
    {
        std::vector<intptr_t> v;
        for (const auto& p : Seen)
            v.push_back(p.WParam);
        return v;
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
        Proj.TempFolder = gApp->TempFolder;
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
    Proj.TempFolder = blocker + "/temp/";  // a folder below a file cannot be made
    LogCapture log;
    QList<TVGFrame*> list;
    Proj.DecodeForward(&Decoder, 5, &Wnd, list, Time(5));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(Proj.Frames.IsEmpty());
    EXPECT_TRUE(log.Text().contains("cannot write the frame bitmap")) << log.Text().toStdString();

    Proj.TempFolder = gApp->TempFolder;
    Proj.DecodeForward(&Decoder, 2, &Wnd, list, Time(5));  // and recovers once it can write
    EXPECT_EQ(Indexes(list), Range(5, 6));
}

// Every file is the decoder's own picture byte for byte, whatever the
// decoder's RGB depth, the row padding or the stored orientation.
TEST_F(FrameGroups, FilesHoldTheDecodersPictureExactly)
{
    struct Case {
        QString Name, Ext, Encoder;
        int Width, Height, Rotation;
    };
    const std::vector<Case> cases = {
        {"no-padding", "mp4", "libx264", 160, 120, 0},
        {"padding-2", "mp4", "libx264", 162, 120, 0},
        {"padding-1-odd-height", "webm", "libvpx-vp9", 161, 121, 0},
        {"padding-3", "webm", "libvpx-vp9", 163, 121, 0},
        {"turned", "mp4", "libx264", 162, 96, 90},
    };
    const QString dir = MakeTempDir("exact");
    for (const Case& c : cases) {
        if (!FixtureEncoderAvailable(c.Encoder)) {
            ADD_FAILURE() << "encoder missing: " << c.Encoder.toStdString();
            continue;
        }
        TFixtureVideo clip;
        clip.Path = dir + c.Name + "." + c.Ext;
        clip.Encoder = c.Encoder;
        clip.Width = c.Width;
        clip.Height = c.Height;
        clip.Rotation = c.Rotation;
        clip.FrameCount = 8;
        QString error;
        ASSERT_TRUE(WriteFixtureVideo(clip, &error)) << error.toStdString();
        for (int bits : {24, 32}) {
            SCOPED_TRACE(c.Name.toStdString() + " " + std::to_string(bits) + "-bit");
            TFFDecoder dec;
            ASSERT_TRUE(dec.LoadFile(clip.Path));
            dec.SetBitmapBitsPixel(bits);
            TVGProj proj;
            proj.LoadStreamInfo(&dec);
            proj.TempFolder = gApp->TempFolder;
            QList<TVGFrame*> list;
            proj.DecodeForward(&dec, 3, &Wnd, list, FixtureFrameTimeUs(clip, 2));
            ASSERT_EQ(list.count(), 3);
            TFFDecoder check;
            ASSERT_TRUE(check.LoadFile(clip.Path));
            check.SetBitmapBitsPixel(bits);
            for (int i = 0; i < list.count(); ++i) {
                const QString file = list[i]->BitmapFile;
                EXPECT_EQ(ReadFixtureIndex(QImage(file)), 2 + i);
                ASSERT_TRUE(LocateVideoPTS(&check, list[i]->PTS));
                QImage picture;
                ASSERT_TRUE(check.CopyToBitmap(picture));
                ASSERT_EQ(picture.size(), QSize(c.Width, c.Height));
                EXPECT_TRUE(FileBytes(file) == ExpectedBitmapFile(picture)) << "frame " << i;
            }
        }
    }
}

// A write that fails part-way gives no frame, a log line and no file left behind.
// Frame files stay within the disk budget: the least recently used go first,
// never the frame last shown, and a dropped file is made again exactly.
TEST_F(FrameGroups, FrameFilesStayWithinTheBudgetAndComeBackExactly)
{
    Proj.TempFolder = MakeTempDir("budget");
    QList<TVGFrame*> list;
    Proj.DecodeForward(&Decoder, 2, &Wnd, list, Time(5));
    ASSERT_EQ(Indexes(list), Range(5, 6));
    TVGFrame* five = list[0];
    TVGFrame* six = list[1];
    const int64_t oneFile = five->FileBytes;
    ASSERT_GT(oneFile, 0);
    QFile original(five->BitmapFile);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray fiveBytes = original.readAll();
    original.close();

    Proj.FileBudget = 3 * oneFile;
    Proj.UseFrame(six);   // on show in the still view
    QList<TVGFrame*> more;
    Proj.DecodeForward(&Decoder, 8, &Wnd, more, Time(7));
    ASSERT_EQ(more.size(), 8);
    EXPECT_EQ(more.first()->PTS, Time(7));
    EXPECT_EQ(more.last()->PTS, Time(14));
    EXPECT_LE(Proj.FrameFileBytes(), 3 * oneFile);
    EXPECT_EQ(BitmapsIn(Proj.TempFolder).size(), 3);
    EXPECT_FALSE(six->BitmapFile.isEmpty());          // the shown frame stays
    EXPECT_TRUE(QFileInfo::exists(six->BitmapFile));
    EXPECT_TRUE(five->BitmapFile.isEmpty());           // the oldest went first
    EXPECT_FALSE(more.last()->BitmapFile.isEmpty());   // the newest stays
    EXPECT_EQ(ReadFixtureIndex(QImage(more.last()->BitmapFile)), 14);
    EXPECT_TRUE(more.first()->BitmapFile.isEmpty());

    // The still view asks for frame 5 again: decoded anew at its exact time.
    ASSERT_TRUE(Proj.EnsureFrameFile(five, &Decoder));
    QFile again(five->BitmapFile);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), fiveBytes);
    EXPECT_LE(Proj.FrameFileBytes(), 3 * oneFile);
    EXPECT_EQ(BitmapsIn(Proj.TempFolder).size(), 3);
    // A frame whose file is there is only marked as used.
    const QString kept = five->BitmapFile;
    ASSERT_TRUE(Proj.EnsureFrameFile(five, &Decoder));
    EXPECT_EQ(five->BitmapFile, kept);
}

// Files may wait in memory: the first of a group is written at once, the
// rest when flushed, byte for byte what writing at once gives; the budget
// drops a waiting file without ever writing it; a full disk at flush time
// costs every waiting file (made again on demand) and says so once.
TEST_F(FrameGroups, WaitingFramesFilesAreWrittenLaterOrNeverExactly)
{
    const QString direct = MakeTempDir("direct");
    QList<TVGFrame*> reference;
    {
        TVGProj proj;
        proj.LoadStreamInfo(&Decoder);
        proj.TempFolder = direct;
        proj.DecodeForward(&Decoder, 6, &Wnd, reference, Time(5));
        ASSERT_EQ(reference.size(), 6);
        QStringList bytes;
        for (TVGFrame* f : reference) {
            QFile file(f->BitmapFile);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            bytes << QString::fromLatin1(file.readAll().toBase64());
        }
        Proj.TempFolder = MakeTempDir("waiting");
        const int64_t oneFile = reference[0]->FileBytes;
        // Room for three of the decoder's pictures.
        const std::unique_ptr<TVideoPicture> one = Decoder.TakePicture();
        ASSERT_TRUE(one);
        Proj.PictureCacheBytes = 3 * one->Bytes();
        QList<TVGFrame*> list;
        Proj.DecodeForward(&Decoder, 6, &Wnd, list, Time(5));
        ASSERT_EQ(list.size(), 6);
        EXPECT_FALSE(Proj.IsFileWaiting(list[0]));   // the first tells whether the folder takes files
        EXPECT_TRUE(QFileInfo::exists(list[0]->BitmapFile));
        for (int i = 1; i <= 3; ++i) {
            ASSERT_TRUE(Proj.IsFileWaiting(list[i])) << i;
            EXPECT_FALSE(QFileInfo::exists(list[i]->BitmapFile));
            const TVideoPicture* picture = Proj.WaitingPicture(list[i]);
            ASSERT_NE(picture, nullptr);
            EXPECT_EQ(ReadFixtureIndex(picture->ToImage()), 5 + i);
            EXPECT_EQ(list[i]->FileBytes, oneFile);   // the budget counts it at its file's size
        }
        EXPECT_FALSE(Proj.IsFileWaiting(list[4]));   // beyond the cache: written at once
        EXPECT_EQ(BitmapsIn(Proj.TempFolder).size(), 3);
        // Asked for by the still view: written now.
        ASSERT_TRUE(Proj.EnsureFrameFile(list[2], &Decoder));
        EXPECT_FALSE(Proj.IsFileWaiting(list[2]));
        EXPECT_FALSE(Proj.FlushFrameFiles(1) && Proj.FlushFrameFiles(1));
        EXPECT_FALSE(Proj.HasWaitingFiles());
        for (int i = 0; i < 6; ++i) {
            QFile file(list[i]->BitmapFile);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << i;
            EXPECT_EQ(QString::fromLatin1(file.readAll().toBase64()), bytes[i]) << i;
            EXPECT_EQ(list[i]->FileBytes, oneFile);
        }
    }

    // The budget drops a waiting file: nothing is written for it.
    TVGProj proj;
    proj.LoadStreamInfo(&Decoder);
    proj.TempFolder = MakeTempDir("waitbudget");
    QList<TVGFrame*> first;
    proj.DecodeForward(&Decoder, 1, &Wnd, first, Time(20));
    ASSERT_EQ(first.size(), 1);
    const int64_t oneFile = first[0]->FileBytes;
    proj.PictureCacheBytes = 10 * oneFile;
    proj.FileBudget = 3 * oneFile;
    QList<TVGFrame*> list;
    proj.DecodeForward(&Decoder, 6, &Wnd, list, Time(21));
    ASSERT_EQ(list.size(), 6);
    EXPECT_LE(proj.FrameFileBytes(), 3 * oneFile);
    proj.FlushFrameFiles();
    EXPECT_LE(BitmapsIn(proj.TempFolder).size(), 3);
    EXPECT_TRUE(list[1]->BitmapFile.isEmpty());
    ASSERT_TRUE(proj.EnsureFrameFile(list[1], &Decoder));
    EXPECT_EQ(ReadFixtureIndex(QImage(list[1]->BitmapFile)), 22);

    // The folder goes away before the flush: one error, no waiting file left.
    proj.FileBudget = 0;
    QList<TVGFrame*> later;
    proj.DecodeForward(&Decoder, 4, &Wnd, later, Time(30));
    ASSERT_EQ(later.size(), 4);
    ASSERT_TRUE(proj.HasWaitingFiles());
    const QString folder = proj.TempFolder;
    QDir(folder).removeRecursively();
    WriteText(folder.chopped(1), "a file where the folder was");
    proj.FrameFileError.clear();
    EXPECT_FALSE(proj.FlushFrameFiles(1));
    EXPECT_FALSE(proj.HasWaitingFiles());
    EXPECT_FALSE(proj.FrameFileError.isEmpty());
    for (int i = 1; i < 4; ++i) {
        EXPECT_TRUE(later[i]->BitmapFile.isEmpty()) << i;
        EXPECT_EQ(later[i]->FileBytes, 0) << i;
    }
    QFile::remove(folder.chopped(1));
    QDir().mkpath(folder);
    ASSERT_TRUE(proj.EnsureFrameFile(later[2], &Decoder));
    EXPECT_EQ(ReadFixtureIndex(QImage(later[2]->BitmapFile)), 32);
}

TEST_F(FrameGroups, AFreedProjectTakesItsFrameFilesAlong)
{
    const QString folder = MakeTempDir("freed");
    const QString other = folder + QStringLiteral("not-a-frame.bmp");
    WriteText(other, "kept");
    QStringList files;
    {
        TVGProj proj;
        proj.LoadStreamInfo(&Decoder);
        proj.TempFolder = folder;
        QList<TVGFrame*> list;
        proj.DecodeForward(&Decoder, 3, &Wnd, list, Time(0));
        ASSERT_EQ(Indexes(list), Range(0, 2));
        for (TVGFrame* f : list)
            files << f->BitmapFile;
        // A frame listed with a file the project did not write stays the owner's.
        proj.Frames.AddFrame(other, Time(40));
        EXPECT_EQ(BitmapsIn(folder).size(), 4);
    }
    for (const QString& f : files)
        EXPECT_FALSE(QFileInfo::exists(f)) << f.toStdString();
    EXPECT_TRUE(QFileInfo::exists(other));
}

TEST_F(FrameGroups, AShortWriteGivesNoFrameAndLeavesNoFile)
{
    Proj.TempFolder = MakeTempDir("shortwrite");
    LogCapture log;
    QList<TVGFrame*> list;
    {
        FileSizeLimit limit(20000);  // below one 160x120 bitmap, above the log's few lines
        Proj.DecodeForward(&Decoder, 4, &Wnd, list, Time(5));
    }
    const QString folder = Proj.TempFolder;
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(Proj.Frames.IsEmpty());
    EXPECT_TRUE(BitmapsIn(folder).isEmpty()) << BitmapsIn(folder).join(' ').toStdString();
    EXPECT_TRUE(log.Text().contains("cannot write the frame bitmap")) << log.Text().toStdString();
    EXPECT_TRUE(log.Text().contains("File too large")) << log.Text().toStdString();
}

// Groups in a clip whose later sync samples are I-frames the next pictures
// refer past: each group starts from a seek and still shows its own frames.
TEST_F(FrameGroups, GroupsAfterSyncSamplesThatAreNoCleanStart)
{
    const TFixtureVideo c = CameraLikeClip(MakeTempDir("clip") + "camera.mp4", 192, 108, 60, 20);
    QString error;
    ASSERT_TRUE(WriteFixtureVideo(c, &error)) << error.toStdString();
    for (const bool forward : {true, false}) {
        SCOPED_TRACE(forward ? "forward" : "backward");
        TFFDecoder dec;
        ASSERT_TRUE(dec.LoadFile(c.Path));
        dec.SetBitmapBitsPixel(24);
        TVGProj proj;
        proj.LoadStreamInfo(&dec);
        proj.TempFolder = gApp->TempFolder;
        QList<TVGFrame*> list;
        if (forward) {
            proj.DecodeForward(&dec, 10, &Wnd, list, FixtureFrameTimeUs(c, 41));
            EXPECT_EQ(Indexes(list), Range(41, 50));
        } else {
            proj.DecodeBackward(&dec, 5, &Wnd, list, FixtureFrameTimeUs(c, 45));
            EXPECT_EQ(Indexes(list), Range(40, 45));
        }
        ExpectChained(list);
    }
}
