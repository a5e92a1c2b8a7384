#include "ConvertSupport.h"

#include "GifRead.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <cmath>

TClip MakeClip(const QString& tag, const QString& fileName, const std::function<void(TFixtureVideo&)>& setup)
{
    TClip c;
    c.Dir = MakeTempDir(tag);
    c.Video.Path = c.Dir + fileName;
    if (setup)
        setup(c.Video);
    c.Ok = WriteFixtureVideo(c.Video, &c.Error);
    return c;
}

const TClip& IndexClip()
{
    static const TClip clip = MakeClip(QStringLiteral("conv-index"), QStringLiteral("index.mp4"),
                                       [](TFixtureVideo& v) { v.Quality = 16; });
    return clip;
}

TVGConvertFlag ClipFlag(const TClip& clip, const QString& gifName, int from, int to)
{
    const TFixtureVideo& v = clip.Video;
    TVGConvertFlag f;
    f.VideoFileName = v.Path;
    f.GifFileName = clip.Dir + gifName;
    f.TempFolder = clip.Dir;
    f.StartPTS = FixtureFrameTimeUs(v, from);
    f.EndPTS = to >= 0 && to < v.FrameCount ? FixtureFrameTimeUs(v, to)
                                            : FixtureFrameTimeUs(v, v.FrameCount - 1) + FixtureFrameDurationUs(v, v.FrameCount - 1);
    f.CropRect = {0, 0, v.Width, v.Height};
    f.ScaleFactor = 1.0;
    f.MaxFrameCount = 1000;
    f.GifFPS = std::max(1, int(std::lround(double(v.FrameRateNum) / v.FrameRateDen)));
    f.GifSpeed = 1.0;
    f.GifLoop = -1;
    return f;
}

TConvertRecorder::TConvertRecorder(QObject* parent) : TConvertEvents(parent)
{
    connect(this, &TConvertEvents::Progress, this, [this](int percent) { R.Percents.append(percent); });
    connect(this, &TConvertEvents::Finished, this, [this](int written, int limit) {
        ++R.Finishes;
        R.Written = written;
        R.Limit = limit;
    });
    connect(this, &TConvertEvents::Failed, this, [this](const QString& error) {
        ++R.Errors;
        R.Error = error;
    });
}

TConvertRun DriveConversion(TConvertRecorder& recv, std::unique_ptr<TVideo2GifThread> thread, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!thread->isFinished() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    recv.R.TimedOut = !thread->isFinished();
    thread.reset();
    QCoreApplication::sendPostedEvents(&recv);
    return recv.R;
}

TConvertRun RunConversion(TVGConvertFlag flag)
{
    TConvertRecorder recv;
    flag.NotifyWnd = &recv;
    auto thread = std::make_unique<TVideo2GifThread>(flag);
    thread->Resume();
    return DriveConversion(recv, std::move(thread));
}

void ExpectFinished(const TConvertRun& r)
{
    EXPECT_FALSE(r.TimedOut);
    EXPECT_EQ(r.Errors, 0) << r.Error.toStdString();
    EXPECT_EQ(r.Finishes, 1);
    ASSERT_FALSE(r.Percents.isEmpty());
    for (int i = 1; i < r.Percents.size(); ++i)
        EXPECT_GE(r.Percents[i], r.Percents[i - 1]) << "progress went down at message " << i;
    EXPECT_EQ(r.Percents.first(), 0);
    EXPECT_EQ(r.Percents.last(), 100);
}

void ExpectFailed(const TConvertRun& r, const QString& mentions)
{
    EXPECT_FALSE(r.TimedOut);
    EXPECT_EQ(r.Finishes, 0);
    EXPECT_EQ(r.Errors, 1);
    EXPECT_TRUE(r.Error.contains(mentions)) << r.Error.toStdString() << " should mention " << mentions.toStdString();
}

QList<int> Indexes(const QList<QImage>& frames)
{
    QList<int> r;
    for (const QImage& f : frames)
        r.append(ReadFixtureIndex(f));
    return r;
}

QList<int> Seq(int from, int to, int step)
{
    QList<int> r;
    for (int i = from; step > 0 ? i < to : i > to; i += step)
        r.append(i);
    return r;
}

QList<int> GifIndexes(const QString& path)
{
    int ffErrors = 0;
    const QList<int> qt = Indexes(ReadWithQt(path));
    const QList<int> ff = Indexes(ReadWithFFmpeg(path, nullptr, &ffErrors));
    EXPECT_EQ(ffErrors, 0);
    EXPECT_EQ(qt, ff) << "Qt and FFmpeg disagree on " << path.toStdString();
    return qt;
}

int GifPlayTimeCs(const QString& path)
{
    int s = 0;
    for (int d : ParseGif(path).Delays)
        s += d;
    return s;
}

double MeanDiff(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    int64_t sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 3; ++i)
            sum += std::abs(int(p[i]) - int(q[i]));
    }
    return double(sum) / (double(x.width()) * x.height() * 3);
}

QStringList LeftoverFiles(const QString& dir)
{
    return QDir(dir).entryList({QStringLiteral("*.rgb"), QStringLiteral("*.part")}, QDir::Files);
}
