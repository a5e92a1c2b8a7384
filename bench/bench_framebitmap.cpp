// Writing frame bitmaps: every decoded frame of a group costs one full-size
// file. Compares the frame writer with Qt's general image writer on 1080p
// frames, in the same run.

#include "BenchSupport.h"
#include "VGProj.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
double TimeMs(const std::function<void()>& fn)
{
    QElapsedTimer t;
    t.start();
    fn();
    return t.nsecsElapsed() / 1e6;
}
}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    QImage frame(1920, 1080, QImage::Format_RGB888);
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            frame.setPixel(x, y, qRgb(x & 255, y & 255, (x ^ y) & 255));
    const QString folder = dir.path() + "/";
    constexpr int runs = 40;
    for (const auto format : {QImage::Format_RGB888, QImage::Format_RGB32}) {
        const QImage img = frame.convertToFormat(format);
        // Alternating, so that both see the same load of a shared machine.
        std::vector<double> own, qt;
        for (int i = 0; i < runs; ++i) {
            own.push_back(TimeMs([&] { SaveBitmapFile(img, folder + QString("a%1.bmp").arg(i)); }));
            qt.push_back(TimeMs([&] { img.save(folder + QString("b%1.bmp").arg(i), "BMP"); }));
        }
        std::printf("1920x1080 %s: frame writer %.2f ms, Qt writer %.2f ms, ratio %.2f\n",
                    format == QImage::Format_RGB888 ? "24-bit" : "32-bit", Median(own), Median(qt),
                    Median(own) / Median(qt));
    }
    return 0;
}
