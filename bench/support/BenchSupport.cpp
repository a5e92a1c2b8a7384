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
    if (QFile::exists(clip.Path))
        return true;
    std::printf("writing %s (%dx%d, %d frames) ...\n", qPrintable(clip.Path), clip.Width, clip.Height, clip.FrameCount);
    std::fflush(stdout);
    QString error;
    if (WriteFixtureVideo(clip, &error))
        return true;
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
