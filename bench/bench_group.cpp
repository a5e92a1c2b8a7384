// A group of 30 frames at 1920x1080 with a bitmap file per frame, against
// decoding the same 30 frames alone.
//
//   bench_group [ROUNDS]
#include "FixtureVideo.h"
#include "outside/FFDecoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int GroupSize = 30;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Locates t and decodes the group; with a folder, writes each frame as a bitmap.
double GroupMs(TFFDecoder& dec, int64_t t, const QString& folder, bool convert = false)
{
    QElapsedTimer timer;
    timer.start();
    if (!LocateVideoPTS(&dec, t))
        return -1;
    QImage bitmap;
    for (int i = 0; i < GroupSize; ++i) {
        if (i > 0 && !dec.Decode(-1))
            return -1;
        if (convert && folder.isEmpty())
            dec.CopyToBitmap(bitmap);
        if (!folder.isEmpty()) {
            dec.CopyToBitmap(bitmap);
            bitmap.save(folder + QStringLiteral("f%1.bmp").arg(i), "BMP");
        }
    }
    return double(timer.nsecsElapsed()) / 1e6;
}
}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QTemporaryDir tmp;
    TFixtureVideo clip;
    clip.Path = tmp.path() + "/group1080.mp4";
    clip.Width = 1920;
    clip.Height = 1080;
    clip.FrameCount = 100;
    clip.GopLength = 50;
    clip.BFrames = 2;
    QString err;
    if (!WriteFixtureVideo(clip, &err)) {
        std::fprintf(stderr, "%s\n", err.toLocal8Bit().constData());
        return 1;
    }
    const QString folder = tmp.path() + "/frames/";
    QDir().mkpath(folder);
    TFFDecoder dec;
    if (!dec.LoadFile(clip.Path)) {
        std::fprintf(stderr, "%s\n", dec.LastError().toLocal8Bit().constData());
        return 1;
    }
    dec.SetBitmapBitsPixel(24);
    std::vector<double> alone, withBitmaps, converted;
    for (int r = 0; r < rounds; ++r) {
        // The same stretch each way; alternate the order so caches favour neither.
        const int64_t t = FixtureFrameTimeUs(clip, 10 + (r % 3) * 20);
        if (r % 2) {
            withBitmaps.push_back(GroupMs(dec, t, folder));
            alone.push_back(GroupMs(dec, t, {}));
        } else {
            alone.push_back(GroupMs(dec, t, {}));
            withBitmaps.push_back(GroupMs(dec, t, folder));
        }
        converted.push_back(GroupMs(dec, t, {}, true));
    }
    const double c = Median(converted);
    const double a = Median(alone), b = Median(withBitmaps);
    std::printf("group of %d frames at 1920x1080, %d rounds\n", GroupSize, rounds);
    std::printf("decode alone:          median %.1f ms (%.2f ms/frame)\n", a, a / GroupSize);
    std::printf("with RGB conversion:   median %.1f ms (%.2f ms/frame)\n", c, c / GroupSize);
    std::printf("with bitmap files:     median %.1f ms (%.2f ms/frame)\n", b, b / GroupSize);
    std::printf("ratio: %.2fx (target <= 1.5x)\n", a > 0 ? b / a : 0.0);
    return 0;
}
