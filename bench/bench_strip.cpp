// The thumbnail strip with 1000 photos of 1080p frame files (BMP, 6 MB each),
// scrolled from one end to the other: time per repaint while thumbnails are
// read from the files (each once), then with all of them in memory.
//
//   bench_strip [PHOTOS] [DISTINCT_FILES]
#include "BenchSupport.h"
#include "TzelGroupView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
struct Pass { double totalMs = 0, medianMs = 0, maxMs = 0; int repaints = 0, painted = 0; };

// Scrolls from the start to the far end in steps of `step` pixels.
Pass Scroll(TzelGroupView& view, int step)
{
    std::vector<double> times;
    view.ResetPaintedPhotos();
    QElapsedTimer total;
    total.start();
    for (int pos = 0;; pos += step) {
        QElapsedTimer t;
        t.start();
        view.SetScrollPos(pos);
        view.viewport()->repaint();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
        if (view.ScrollPos() >= view.ScrollMax())
            break;
    }
    Pass p;
    p.totalMs = double(total.nsecsElapsed()) / 1e6;
    p.medianMs = Median(times);
    p.maxMs = *std::max_element(times.begin(), times.end());
    p.repaints = int(times.size());
    p.painted = view.PaintedPhotos();
    return p;
}

void Print(const char* name, const Pass& p)
{
    std::printf("%-34s %5d repaints  total %8.1f ms  median %6.2f ms  max %6.2f ms  photos painted %d\n", name, p.repaints,
                p.totalMs, p.medianMs, p.maxMs, p.painted);
}
}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int photos = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int distinct = argc > 2 ? std::atoi(argv[2]) : 40;

    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < distinct; ++i) {
        QImage img(1920, 1080, QImage::Format_RGB888);
        QPainter p(&img);
        p.fillRect(img.rect(), QColor::fromHsv((i * 37) % 360, 160, 220));
        p.setFont(QFont("Arial", 300));
        p.drawText(img.rect(), Qt::AlignCenter, QString::number(i));
        p.end();
        files << QDir(dir.path()).filePath(QString("%1.bmp").arg(i));
        img.save(files.back(), "BMP");
    }

    TzelGroupView view;
    view.resize(742, 121);
    int loads = 0;
    double loadMs = 0;
    view.SetThumbLoader([&](const QString& f, const QSize& box) {
        QElapsedTimer t;
        t.start();
        QImage img = TzelGroupView::LoadThumbnail(f, box);
        loadMs += double(t.nsecsElapsed()) / 1e6;
        ++loads;
        return img;
    });
    QElapsedTimer fill;
    fill.start();
    for (int i = 0; i < photos; ++i)
        view.AddPhoto(files[i % distinct]);
    view.UpdatePhotos();
    const double fillMs = double(fill.nsecsElapsed()) / 1e6;
    view.show();
    QApplication::processEvents();

    const int page = view.viewport()->width();
    std::printf("%d photos of %d x %d BMP files, strip %d x %d, scroll range %d px\n", photos, 1920, 1080, view.width(),
                view.height(), view.ScrollMax());
    std::printf("%-34s %8.1f ms\n", "adding the photos + layout", fillMs);
    const Pass cold = Scroll(view, page);
    Print("end to end, a page a step (cold)", cold);
    std::printf("%-34s %5d reads, %.2f ms each\n", "  thumbnails read from files", loads, loads ? loadMs / loads : 0.0);
    Print("end to end, a page a step (warm)", Scroll(view, page));
    Print("end to end, a wheel notch a step", Scroll(view, view.CellSize().width()));
    Print("end to end, 10 px a step", Scroll(view, 10));
    qint64 bytes = 0;
    for (int i = 0; i < view.PhotoCount(); ++i)
        bytes += view.Photo(i)->Thumbnail().sizeInBytes();
    std::printf("%-34s %8.1f MB (%d reads in all)\n", "thumbnails held", double(bytes) / 1048576.0, loads);
    return 0;
}
