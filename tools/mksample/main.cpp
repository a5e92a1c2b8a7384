// Writes the program's Sample.mp4: a few seconds of a calm synthetic
// animation (drifting colour gradient, orbiting discs), H.264 640x360.
//
//   ganterly-mksample OUT.mp4
#include "FixtureVideo.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

namespace {
constexpr int Fps = 25;
constexpr int Seconds = 6;

void Paint(QImage& img, int index)
{
    const double t = double(index) / Fps;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, img.width(), img.height());
    sky.setColorAt(0, QColor::fromHsvF(std::fmod(0.55 + t * 0.02, 1.0), 0.55, 0.35));
    sky.setColorAt(1, QColor::fromHsvF(std::fmod(0.75 + t * 0.02, 1.0), 0.65, 0.20));
    p.fillRect(img.rect(), sky);
    const QPointF centre(img.width() / 2.0, img.height() / 2.0);
    for (int k = 0; k < 7; ++k) {
        const double a = t * (0.6 + 0.1 * k) + k * 0.9;
        const double r = 40 + 18 * k;
        const QPointF c = centre + QPointF(std::cos(a) * r * 1.6, std::sin(a) * r * 0.8);
        const double size = 22 + 6 * std::sin(t * 2 + k);
        QRadialGradient g(c, size);
        g.setColorAt(0, QColor::fromHsvF(std::fmod(k / 7.0 + t * 0.05, 1.0), 0.5, 1.0, 0.95));
        g.setColorAt(1, QColor::fromHsvF(std::fmod(k / 7.0 + t * 0.05, 1.0), 0.8, 0.6, 0.0));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(c, size, size);
    }
}
}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ganterly-mksample OUT.mp4\n");
        return 2;
    }
    TFixtureVideo clip;
    clip.Path = QString::fromLocal8Bit(argv[1]);
    clip.Width = 640;
    clip.Height = 360;
    clip.FrameRateNum = Fps;
    clip.FrameCount = Fps * Seconds;
    clip.GopLength = Fps * 2;
    clip.BFrames = 2;
    clip.Quality = 20;
    clip.Painter = Paint;
    QString err;
    if (!WriteFixtureVideo(clip, &err)) {
        std::fprintf(stderr, "%s\n", err.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
