// Real-time playback of 1080p30 H.264 through the playback thread, with a
// consumer that only counts: how many frames came later than one frame
// period, and the CPU time per second of video.
//
//   bench_playback [SECONDS]
#include "FixtureVideo.h"
#include "decode/DecodePlayer.h"
#include "outside/FFDecoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {
double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class EndReceiver : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == static_cast<QEvent::Type>(WM_PLAYEND)) {
            ++Ends;
            QCoreApplication::quit();
            return true;
        }
        return QObject::event(e);
    }
    int Ends = 0;
};
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;

    TFixtureVideo clip;
    clip.Path = QDir::tempPath() + QStringLiteral("/ganterly-bench-play-%1.mp4").arg(seconds);
    clip.Width = 1920;
    clip.Height = 1080;
    clip.FrameRateNum = 30;
    clip.FrameCount = seconds * 30;
    clip.GopLength = 60;
    clip.BFrames = 2;
    if (!QFile::exists(clip.Path)) {
        QString error;
        if (!WriteFixtureVideo(clip, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }

    TFFDecoder decoder;
    if (!decoder.LoadFile(clip.Path) || !LocateVideoPTS(&decoder, 0)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(clip.Path));
        return 1;
    }
    const int64_t period = Unit_Nano * clip.FrameRateDen / clip.FrameRateNum;
    EndReceiver receiver;
    int frames = 0, late = 0;
    int64_t worstLateUs = 0;
    QElapsedTimer wall;
    const double cpu0 = CpuSeconds();

    TSafeThreadPtr<TDecodePlayThread> play(new TDecodePlayThread);
    play->Decoder = &decoder;
    play->NotifyWnd = &receiver;
    play->StartPTS = decoder.CurrentPTS();
    play->OnFrame = [&](TFFDecoder* d, QImage&) {
        if (frames == 0)
            wall.start();
        const int64_t due = d->CurrentPTS() - play->StartPTS;
        const int64_t shown = wall.nsecsElapsed() / 1000;
        if (shown - due > period) {
            ++late;
            worstLateUs = std::max(worstLateUs, shown - due);
        }
        ++frames;
    };
    play->Resume();
    QTimer::singleShot((seconds + 30) * 1000, &app, &QCoreApplication::quit);  // never hang
    app.exec();
    const double elapsed = wall.isValid() ? double(wall.nsecsElapsed()) / 1e9 : 0;
    play.reset();
    const double cpu = CpuSeconds() - cpu0;

    std::printf("1920x1080 H.264 30 fps, %d s: %d frames shown in %.2f s, %d later than one frame period (worst %.1f ms), "
                "end messages %d, CPU %.2f s per second of video\n",
                seconds, frames, elapsed, late, double(worstLateUs) / 1000.0, receiver.Ends, cpu / seconds);
    return 0;
}
