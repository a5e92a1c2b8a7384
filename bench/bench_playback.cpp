// Playback of 10 s of 1080p30 H.264 through the playback thread, with a frame
// callback that only counts. Prints how many frames came more than one frame
// period late and the CPU seconds spent per second of video, against plain
// decoding of the same frames in the same run.
#include "BenchSupport.h"
#include "DecodePlayer.h"
#include "FixtureVideo.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

class TEndReceiver : public QObject {
public:
    QEventLoop* Loop = nullptr;
    bool event(QEvent* e) override
    {
        if (e->type() == static_cast<QEvent::Type>(WM_PLAYEND)) {
            Loop->quit();
            return true;
        }
        return QObject::event(e);
    }
};

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);

    TFixtureVideo clip;
    clip.Width = 1920;
    clip.Height = 1080;
    clip.FrameRateNum = 30;
    clip.FrameCount = 300;
    clip.GopLength = 60;
    clip.BFrames = 2;
    // Writing 1080p takes a while: keep the clip between runs.
    clip.Path = QDir::tempPath() + "/ganterly-bench-playback-1080p30.mp4";
    if (!EnsureClip(clip))
        return 1;
    const double videoSeconds = double(clip.FrameCount) * clip.FrameRateDen / clip.FrameRateNum;
    const double periodMs = 1000.0 * clip.FrameRateDen / clip.FrameRateNum;

    TFFDecoder decoder;
    decoder.SetBitmapBitsPixel(24);
    if (!decoder.LoadFile(clip.Path)) {
        std::fprintf(stderr, "%s\n", qPrintable(decoder.LastError()));
        return 1;
    }

    // Reference: the same frames decoded and converted as fast as possible.
    QImage bitmap;
    if (!LocateVideoPTS(&decoder, 0)) {
        std::fprintf(stderr, "cannot locate the first frame\n");
        return 1;
    }
    double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    int decoded = 0;
    do {
        decoder.CopyToBitmap(bitmap);
        ++decoded;
    } while (decoder.Decode(-1));
    const double refCpu = CpuSeconds() - cpu0;
    const double refWall = wall.elapsed() / 1000.0;

    // Playback in real time.
    if (!LocateVideoPTS(&decoder, 0)) {
        std::fprintf(stderr, "cannot locate the first frame\n");
        return 1;
    }
    QEventLoop loop;
    TEndReceiver wnd;
    wnd.Loop = &loop;
    int shown = 0, late = 0;
    double maxLateMs = 0, sumLateMs = 0;
    int64_t firstPTS = 0;
    QElapsedTimer sinceFirst;
    TSafeThreadPtr<TDecodePlayThread> play(new TDecodePlayThread);
    play->Decoder = &decoder;
    play->NotifyWnd = &wnd;
    play->StartPTS = decoder.CurrentPTS();
    play->OnFrame = [&](TFFDecoder* d, QImage&) {
        if (shown++ == 0) {
            sinceFirst.start();
            firstPTS = d->CurrentPTS();
            return;
        }
        const double lateMs = sinceFirst.nsecsElapsed() / 1e6 - (d->CurrentPTS() - firstPTS) / 1000.0;
        maxLateMs = std::max(maxLateMs, lateMs);
        sumLateMs += std::max(0.0, lateMs);
        if (lateMs > periodMs)
            ++late;
    };
    QTimer::singleShot(int(videoSeconds * 1000) + 30000, &loop, &QEventLoop::quit);  // never hang
    cpu0 = CpuSeconds();
    wall.restart();
    play->Resume();
    loop.exec();
    const double playCpu = CpuSeconds() - cpu0;
    const double playWall = wall.elapsed() / 1000.0;
    play.reset();

    std::printf("video: %dx%d, %d frames, %.1f s at %.3g fps\n", clip.Width, clip.Height, clip.FrameCount,
                videoSeconds, clip.FrameRateNum / double(clip.FrameRateDen));
    std::printf("plain decoding: %d frames, %.2f s wall, %.2f CPU s = %.3f CPU s per s of video\n", decoded,
                refWall, refCpu, refCpu / videoSeconds);
    std::printf("playback: %d frames shown in %.2f s wall\n", shown, playWall);
    std::printf("frames more than one frame period (%.1f ms) late: %d (target 0)\n", periodMs, late);
    std::printf("lateness: max %.1f ms, mean %.2f ms\n", maxLateMs, shown > 1 ? sumLateMs / (shown - 1) : 0.0);
    std::printf("CPU: %.2f s = %.3f CPU s per s of video (%.2fx plain decoding)\n", playCpu,
                playCpu / videoSeconds, refCpu > 0 ? playCpu / refCpu : 0.0);
    return shown == clip.FrameCount ? 0 : 1;
}
