// Scrubbing: the track bar dragged across a 720p H.264 clip with 250-frame
// GOPs, one seek request every 1/60 s, served by the seek thread with the
// newest request winning. Prints the frames shown per second and the time
// from a request to its exact frame (for the requests that got theirs),
// against the FFmpeg command line reaching one exact frame.
//
//   bench_scrub [SECONDS_OF_VIDEO] [SECONDS_OF_DRAG]
#include "BenchSupport.h"
#include "DecodePlayer.h"
#include "FixtureVideo.h"
#include "FFDecoder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>


int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int dragSeconds = argc > 2 ? std::atoi(argv[2]) : 8;

    TFixtureVideo clip;
    clip.Path = QDir::tempPath() + "/ganterly-bench-scrub.mp4";
    clip.Width = 1280;
    clip.Height = 720;
    clip.FrameRateNum = 30;
    clip.GopLength = 250;
    clip.BFrames = 3;
    clip.FrameCount = seconds * clip.FrameRateNum;
    if (!EnsureClip(clip))
        return 1;
    TFFDecoder decoder;
    if (!decoder.LoadFile(clip.Path)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(clip.Path));
        return 1;
    }
    LocateVideoPTS(&decoder, 0);

    // The frame of each request, and when it was asked for.
    const int64_t period = Unit_Nano / clip.FrameRateNum;
    std::map<int64_t, double> askedAt;   // exact frame time -> ms of its latest request
    std::vector<double> toExact;
    int shown = 0, exact = 0;
    QElapsedTimer clock;

    TDecoderSeek seek;
    seek.Decoder = &decoder;
    seek.OnFrame = [&](TFFDecoder* dec, QImage&) {
        ++shown;
        const auto it = askedAt.find(dec->CurrentPTS());
        if (it != askedAt.end()) {
            toExact.push_back(double(clock.nsecsElapsed()) / 1e6 - it->second);
            askedAt.erase(it);
            ++exact;
        }
    };
    seek.Resume();

    // Requests at 60 per second, sweeping the clip forth and back like a hand.
    clock.start();
    const int requests = dragSeconds * 60;
    const int64_t span = int64_t(seconds - 1) * Unit_Nano;
    for (int i = 0; i < requests; ++i) {
        while (clock.nsecsElapsed() < int64_t(i) * 1000000000 / 60)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const double phase = double(i) / requests * 2.0;   // there and back
        const int64_t t = int64_t((phase <= 1.0 ? phase : 2.0 - phase) * double(span));
        const int64_t frameTime = FixtureFrameTimeUs(clip, int(t / period));
        askedAt[frameTime] = double(clock.nsecsElapsed()) / 1e6;
        seek.PostSeek(frameTime);
    }
    // Let the last request finish.
    QElapsedTimer tail;
    tail.start();
    while (tail.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    seek.Terminate();
    seek.wait();

    std::printf("clip: 1280x720 H.264, 30 fps, GOP 250, 3 B-frames, %d s; drag %d s at 60 requests/s (%d requests)\n",
                seconds, dragSeconds, requests);
    std::printf("frames shown: %d (%.1f per second), requests served to their exact frame: %d (taken %d, replaced %d)\n",
                shown, shown / wall, exact, seek.TakenCount(), seek.DroppedCount());
    std::printf("request to its exact frame: median %.1f ms\n", Median(toExact));

    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    if (ffmpeg.isEmpty()) {
        std::printf("ffmpeg command line not found: no comparison\n");
        return 0;
    }
    std::vector<double> cli;
    for (int s = 1; s < std::min(seconds, 11); ++s)
        cli.push_back(CliMs(ffmpeg, clip.Path, s - 0.5));
    std::printf("ffmpeg -ss T -i F -frames:v 1: median %.1f ms; ours / command line: %.2f (target at most 0.5)\n",
                Median(cli), Median(toExact) / std::max(1e-9, Median(cli)));
    return 0;
}
