// A group of 30 frames for the frame strip at 1920x1080, bitmap files
// included, against decoding the same 30 frames alone.
#include "FixtureVideo.h"
#include "app/VGApp.h"
#include "model/VGConfig.h"
#include "model/VGProj.h"
#include "outside/FFDecoder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
}  // namespace

int main(int argc, char** argv)
{
    // GANTERLY_BENCH_HOME puts the bitmap files elsewhere (a RAM disk, say).
    QTemporaryDir home(qEnvironmentVariable("GANTERLY_BENCH_HOME", QDir::tempPath()) + "/ganterly-group-XXXXXX");
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication qapp(argc, argv);
    VGConfig = new TVGConfig;
    TApp app;
    App = &app;

    TFixtureVideo clip;
    clip.Path = QDir::tempPath() + "/ganterly-bench-group.mp4";
    clip.Width = 1920;
    clip.Height = 1080;
    clip.FrameRateNum = 30;
    clip.FrameCount = 150;
    clip.GopLength = 60;
    clip.BFrames = 2;
    if (!QFile::exists(clip.Path)) {
        QString error;
        if (!WriteFixtureVideo(clip, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }

    std::vector<double> decodeOnly, group, convert, save, rawWrite;
    const int64_t starts[] = {0, 2 * Unit_Nano, Unit_Nano, 3 * Unit_Nano};
    for (int round = 0; round < 4; ++round) {
        const int64_t start = starts[round];
        {
            TFFDecoder decoder;
            decoder.LoadFile(clip.Path);
            QElapsedTimer t;
            t.start();
            LocateVideoPTS(&decoder, start);
            for (int i = 1; i < 30; ++i)
                decoder.Decode(-1);
            QImage picture;
            decoder.CopyToBitmap(picture);  // the picture of the last one, as a player would
            decodeOnly.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        {
            TFFDecoder decoder;
            decoder.LoadFile(clip.Path);
            decoder.SetBitmapBitsPixel(24);
            TVGProj proj;  // a fresh project: no frames to reuse
            QList<TVGFrame*> list;
            QElapsedTimer t;
            t.start();
            proj.DecodeForward(&decoder, 30, nullptr, list, start);
            group.push_back(double(t.nsecsElapsed()) / 1e6);
            // Where the difference goes: the RGB conversion and the file of one frame.
            QImage picture;
            QElapsedTimer c;
            c.start();
            decoder.CopyToBitmap(picture);
            convert.push_back(double(c.nsecsElapsed()) / 1e6);
            c.restart();
            SaveBitmapFile(picture, home.path() + "/one.bmp");
            save.push_back(double(c.nsecsElapsed()) / 1e6);
            // The floor: the same number of bytes written as they are.
            QByteArray bytes(picture.sizeInBytes(), '\0');
            c.restart();
            QFile raw(home.path() + "/raw.bin");
            if (raw.open(QIODevice::WriteOnly))
                raw.write(bytes);
            raw.close();
            rawWrite.push_back(double(c.nsecsElapsed()) / 1e6);
            if (list.size() != 30)
                std::fprintf(stderr, "group of %d frames instead of 30\n", int(list.size()));
        }
    }
    std::printf("1920x1080 H.264, 30 frames: decoding alone %.0f ms, group with bitmap files %.0f ms, ratio %.2f (target <= 1.5)\n",
                Median(decodeOnly), Median(group), Median(group) / Median(decodeOnly));
    std::printf("per frame: RGB conversion %.1f ms, bitmap file %.1f ms, plain write of as many bytes %.1f ms\n",
                Median(convert), Median(save), Median(rawWrite));
    delete VGConfig;
    VGConfig = nullptr;
    App = nullptr;
    return 0;
}
