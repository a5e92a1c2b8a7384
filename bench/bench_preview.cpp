// The preview's costs on real footage: converting a clip behind the progress
// window, decoding and scaling each GIF frame as the preview shows it, the
// pace the playing preview keeps against the GIF's own delays, and the
// checked save against a plain copy.
//
//   build/bench/bench_preview [video] [width]
// (default ../shared/media/oa4_launch.webm at its own 640 px width).

#include "BenchSupport.h"
#include "FFDecoder.h"
#include "GifPlayer.h"
#include "PreviewFrm.h"
#include "PublishFrm.h"
#include "VGProj.h"
#include "ZelFile.h"
#include "ZelImage.h"
#include "Zelfunction.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    SetMsgBoxHandler([](const QString& text, const QString&, int, int) {
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
        return IDOK;
    });
    const QString video = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                   : QStringLiteral(GANTERLY_SHARED_MEDIA "oa4_launch.webm");
    const int width = argc > 2 ? std::atoi(argv[2]) : 0;
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QLatin1Char('/');

    TVGProj proj;
    TFFDecoder dec;
    if (!dec.LoadFile(video)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(video));
        return 1;
    }
    proj.VideoFileName = video;
    proj.GifFileName = dir + QStringLiteral("preview.gif");
    proj.TempFolder = dir;
    proj.LoadStreamInfo(&dec);
    dec.CloseFile();
    proj.CropRect = {0, 0, proj.VideoWidth, proj.VideoHeight};
    proj.StartPTS = 0;
    proj.EndPTS = proj.Duration;
    proj.GifFPS = 25;
    proj.GifLoop = -1;
    if (width > 0) {
        proj.SizeStyle = ssCustom;
        proj.CustomWidth = width;
        proj.CustomHeight = width * proj.VideoHeight / proj.VideoWidth;
    }

    QElapsedTimer t;
    t.start();
    if (!ShowPublishForm(&proj)) {
        std::fprintf(stderr, "conversion failed\n");
        return 1;
    }
    const double convertMs = double(t.elapsed());
    const TGifInfo info = ReadGifInfo(proj.GifFileName);
    std::printf("gif: %s (converted in %.0f ms behind the window)\n", qPrintable(GifInfoText(info)), convertMs);

    // Decoding alone, frame by frame as the player reads.
    std::vector<double> decode;
    {
        QImageReader reader(proj.GifFileName, "gif");
        QImage img;
        for (;;) {
            QElapsedTimer f;
            f.start();
            if (!reader.read(&img))
                break;
            decode.push_back(double(f.nsecsElapsed()) / 1e6);
        }
    }
    // Smooth scaling of one frame to a fitted size (half) and to twice the pixels.
    std::vector<double> half, twice;
    {
        QImageReader reader(proj.GifFileName, "gif");
        const QImage img = reader.read();
        for (int i = 0; i < 30; ++i) {
            QElapsedTimer f;
            f.start();
            volatile int w1 = img.scaled(img.size() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).width();
            half.push_back(double(f.nsecsElapsed()) / 1e6);
            f.restart();
            volatile int w2 = img.scaled(img.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).width();
            twice.push_back(double(f.nsecsElapsed()) / 1e6);
            (void)w1;
            (void)w2;
        }
    }
    std::printf("per frame: decode median %.2f ms (p90 %.2f); smooth scale to half %.2f ms, to 2x %.2f ms\n",
                Median(decode), Percentile(decode, 0.9), Median(half), Median(twice));

    // The playing preview: intervals between shown frames against the delays.
    {
        TPreviewForm form;
        form.SetProj(&proj);
        form.LoadGif();
        std::vector<double> late;
        QElapsedTimer clock;
        int64_t expected = 0;
        int frames = 0;
        const int wanted = std::min(info.Frames - 1, 100);
        QImageReader delays(proj.GifFileName, "gif");
        QImage skip;
        delays.read(&skip);
        int delay = PlayedDelayMs(delays.nextImageDelay());
        QObject::connect(form.Player(), &TGifPlayer::FrameChanged, &form, [&] {
            if (frames == 0)
                clock.start();
            else {
                expected += delay;
                late.push_back(double(clock.elapsed() - expected));
                delays.read(&skip);
                delay = PlayedDelayMs(delays.nextImageDelay());
            }
            ++frames;
        });
        form.show();
        QElapsedTimer guard;
        guard.start();
        while (frames <= wanted && guard.elapsed() < 60000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        form.hide();
        if (!late.empty())
            std::printf("playing %d frames: lateness against the GIF's clock median %.1f ms, p90 %.1f ms, last %.1f ms\n",
                        int(late.size()), Median(late), Percentile(late, 0.9), late.back());
    }

    // The checked save against a plain copy, five times each.
    std::vector<double> checked, plain;
    for (int i = 0; i < 5; ++i) {
        const QString a = dir + QStringLiteral("a.gif"), b = dir + QStringLiteral("b.gif");
        QElapsedTimer f;
        f.start();
        CopyFileAtomic(proj.GifFileName, a);
        checked.push_back(double(f.nsecsElapsed()) / 1e6);
        QFile::remove(b);
        f.restart();
        QFile::copy(proj.GifFileName, b);
        plain.push_back(double(f.nsecsElapsed()) / 1e6);
    }
    std::printf("save %s: checked copy median %.1f ms, plain copy %.1f ms\n", qPrintable(FileSizeText(info.FileSize)),
                Median(checked), Median(plain));
    return 0;
}
