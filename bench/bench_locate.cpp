// Exact locates in a long-GOP H.264 clip with B-frames, and in a camera-like
// clip whose later sync samples are I-frames the next pictures refer past,
// against the time the FFmpeg command line needs to reach the same frame.
//
//   bench_locate [SECONDS] [LOCATES]
#include "BenchSupport.h"
#include "FixtureVideo.h"
#include "FFDecoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {
// Locate figures for one clip, the command line's beside them.
int Measure(TFixtureVideo clip, const char* title, int seconds, int count)
{
    clip.FrameCount = seconds * clip.FrameRateNum;
    if (!EnsureClip(clip))
        return 1;

    std::mt19937 rng(7);
    std::uniform_real_distribution<double> when(0.0, seconds - 0.5);
    std::vector<double> times(count);
    for (double& t : times)
        t = when(rng);

    std::vector<double> ours, ahead;
    int wrong = 0;
    for (double t : times) {
        // A fresh decoder per locate: nothing decoded before helps.
        TFFDecoder decoder;
        decoder.LoadFile(clip.Path);
        QElapsedTimer timer;
        timer.start();
        const int64_t target = int64_t(t * Unit_Nano);
        bool ok = LocateVideoPTS(&decoder, target);
        ours.push_back(double(timer.nsecsElapsed()) / 1e6);
        QImage picture;
        // The frame shown at t, by the index it draws.
        const int want = int(target * clip.FrameRateNum / Unit_Nano);
        if (!ok || decoder.CurrentPTS() > target || !decoder.CopyToBitmap(picture) || ReadFixtureIndex(picture) != want)
            ++wrong;
    }
    {
        TFFDecoder decoder;
        decoder.LoadFile(clip.Path);
        LocateVideoPTS(&decoder, 0);
        for (int s = 1; s < seconds; ++s) {
            QElapsedTimer timer;
            timer.start();
            LocateVideoPTS(&decoder, int64_t(s) * Unit_Nano);
            ahead.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }

    std::printf("clip: %s, %d s\n", title, seconds);
    std::printf("random exact locate (fresh decoder): median %.1f ms, p95 %.1f ms, failures %d of %d\n",
                Median(ours), Percentile(ours, 0.95), wrong, count);
    std::printf("next second ahead: median %.1f ms\n", Median(ahead));

    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    if (ffmpeg.isEmpty()) {
        std::printf("ffmpeg command line not found: no comparison\n");
        return 0;
    }
    std::vector<double> cli;
    for (double t : times)
        cli.push_back(CliMs(ffmpeg, clip.Path, t));
    std::vector<double> cliAhead;
    for (int s = 1; s < std::min(seconds, 10); ++s)
        cliAhead.push_back(CliMs(ffmpeg, clip.Path, s));
    std::printf("ffmpeg -ss T -i FILE -frames:v 1: median %.1f ms, p95 %.1f ms\n", Median(cli), Percentile(cli, 0.95));
    std::printf("ratio random locate / command line: %.2f (target <= 0.5)\n", Median(ours) / Median(cli));
    std::printf("ratio next second / command line: %.2f (target <= 0.2)\n\n", Median(ahead) / Median(cliAhead));
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int count = argc > 2 ? std::atoi(argv[2]) : 30;

    TFixtureVideo clip;
    clip.Path = QDir::tempPath() + "/ganterly-bench-locate.mp4";
    clip.Width = 1280;
    clip.Height = 720;
    clip.FrameRateNum = 30;
    clip.GopLength = 250;
    clip.BFrames = 3;
    int ret = Measure(clip, "1280x720 H.264, GOP 250, 3 B-frames", seconds, count);

    // 720p 4:4:4 at 20 fps, B-frames, four references, audio, index at the
    // end; a flash every 4 s is an I-frame written as a sync sample, and the
    // picture after it refers back past it.
    const TFixtureVideo camera = CameraLikeClip(QDir::tempPath() + "/ganterly-bench-locate-camera.mp4", 1280, 720, 300, 80);
    ret |= Measure(camera, "1280x720 H.264 4:4:4, 20 fps, 3 B-frames, I-frame sync samples every 4 s that are no clean start",
                   seconds, count);
    return ret;
}
