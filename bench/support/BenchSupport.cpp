#include "BenchSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cstdio>

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

bool EnsureClip(const TFixtureVideo& clip)
{
    // A clip cached by a run with other arguments (another length) would
    // measure something else: its settings are kept beside it.
    const QByteArray settings = QStringLiteral("%1 %2x%3 %4/%5 %6 frames, gop %7, b %8, %9 %10 %11 %12 %13 %14")
                                    .arg(clip.Encoder).arg(clip.Width).arg(clip.Height).arg(clip.FrameRateNum)
                                    .arg(clip.FrameRateDen).arg(clip.FrameCount).arg(clip.GopLength).arg(clip.BFrames)
                                    .arg(clip.PixelFormat, clip.Preset).arg(clip.FalseSyncEvery).arg(clip.FlashEvery)
                                    .arg(int(clip.IFramesAsSync)).arg(int(clip.Textured))
                                    .toUtf8();
    QFile stamp(clip.Path + QStringLiteral(".settings"));
    if (QFile::exists(clip.Path) && stamp.open(QIODevice::ReadOnly) && stamp.readAll() == settings)
        return true;
    stamp.close();
    QFile::remove(clip.Path);
    std::printf("writing %s (%dx%d, %d frames) ...\n", qPrintable(clip.Path), clip.Width, clip.Height, clip.FrameCount);
    std::fflush(stdout);
    QString error;
    if (WriteFixtureVideo(clip, &error)) {
        if (stamp.open(QIODevice::WriteOnly | QIODevice::Truncate))
            stamp.write(settings);
        return true;
    }
    QFile::remove(clip.Path);
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return false;
}

double CliMs(const QString& ffmpeg, const QString& file, double t)
{
    QElapsedTimer timer;
    timer.start();
    QProcess p;
    p.start(ffmpeg, {"-v", "error", "-ss", QString::number(t, 'f', 3), "-i", file, "-frames:v", "1", "-f", "null", "-"});
    p.waitForFinished(60000);
    return double(timer.nsecsElapsed()) / 1e6;
}
