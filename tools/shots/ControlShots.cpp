#include "ControlShots.h"

#include "TzelButton.h"
#include "TzelDrawCrop.h"
#include "TzelGroupView.h"
#include "VGApp.h"
#include "VGUIApp.h"
#include "ZelImage.h"
#include "ZelWindow.h"

#include <QApplication>
#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>
#include <cstdio>

namespace {

int gFailed = 0;

void Save(QWidget& w, const QString& path)
{
    w.show();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    if (!w.grab().save(path)) {
        std::fprintf(stderr, "ganterly-shots: cannot save %s\n", qPrintable(path));
        ++gFailed;
    } else {
        std::printf("%s\n", qPrintable(path));
    }
    w.hide();
}

// A small landscape whose sun moves with the index, so neighbouring frames differ.
QImage Scene(int index, QSize size)
{
    QImage img(size, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width(), h = size.height(), t = (index % 40) / 40.0;
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor::fromHsvF(0.58 - 0.08 * t, 0.55, 0.95));
    sky.setColorAt(1, QColor::fromHsvF(0.08, 0.35 + 0.3 * t, 1.0));
    p.fillRect(img.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 236, 170));
    p.drawEllipse(QPointF(w * (0.15 + 0.7 * t), h * (0.25 + 0.25 * t)), h * 0.11, h * 0.11);
    QPainterPath far;
    far.moveTo(0, h * 0.62);
    far.cubicTo(w * 0.25, h * 0.45, w * 0.55, h * 0.70, w, h * 0.52);
    far.lineTo(w, h);
    far.lineTo(0, h);
    p.setBrush(QColor(84, 122, 140));
    p.drawPath(far);
    QPainterPath near;
    near.moveTo(0, h * 0.80);
    near.cubicTo(w * 0.35, h * 0.66, w * 0.65, h * 0.92, w, h * 0.74);
    near.lineTo(w, h);
    near.lineTo(0, h);
    p.setBrush(QColor(46, 82, 74));
    p.drawPath(near);
    return img;
}

}  // namespace

int DrawControlShots(const QString& folder, const QString& suffix)
{
    auto file = [&](const char* name) { return folder + QLatin1String(name) + suffix + QStringLiteral(".png"); };
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(15);

    // The strip as the main window shows it: 40 frames with their times, a
    // few deleted, the clip's frames marked, three selected, one focused.
    {
        QTemporaryDir dir;
        QWidget host;
        host.resize(742, 121);
        QPalette pal = host.palette();
        pal.setColor(QPalette::Window, Qt::white);
        host.setPalette(pal);
        TzelGroupView view(&host);
        view.setGeometry(0, 0, 742, 121);
        view.setFont(tahoma);
        view.SetShowCaption(false);
        static int deleted[40] = {};
        for (int i : {6, 7, 9})
            deleted[i] = 1;
        for (int i = 0; i < 40; ++i) {
            const QString f = dir.path() + QStringLiteral("/%1.bmp").arg(i);
            Scene(i, {320, 180}).save(f, "BMP");
            view.AddPhoto(f)->Data = &deleted[i];
        }
        const QImage del = UIApp ? UIApp->DeleteFlagImage() : QImage();
        const QImage in = UIApp ? UIApp->SelectFlagImage() : QImage();
        QObject::connect(&view, &TzelGroupView::OnDrawPhoto,
                         [&](TzelPhoto* photo, QPainter* p, const QRectF& text, const QRectF& image) {
            const int i = photo->Index();
            p->drawText(text.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                        QStringLiteral("00:00:%1.%2").arg(i / 25, 2, 10, QChar('0')).arg(i % 25 * 40, 3, 10, QChar('0')));
            if (*static_cast<int*>(photo->Data) && !del.isNull())
                p->drawImage(QPointF(image.right() - del.width() - 2, image.bottom() - del.height() - 2), del);
            if (i >= 3 && i <= 12 && !in.isNull())
                p->drawImage(QPointF(image.left() + 2, image.bottom() - in.height() - 2), in);
        });
        view.UpdatePhotos();
        for (int i : {4, 5, 6})
            view.Photo(i)->SetSelected(true);
        view.SetFocusedPhoto(view.Photo(6));
        view.SetScrollPos(2 * view.CellSize().width() + 40);
        host.show();
        view.setFocus();
        Save(host, file("TzelGroupView"));
    }

    // The crop editor over a frame, placed as the crop dialog places it.
    {
        QWidget panel;
        panel.resize(610, 343);
        const QSize fit = QSize(1280, 720).scaled(panel.width() - 36, panel.height() - 36, Qt::KeepAspectRatio);
        const QRect display(QPoint((panel.width() - fit.width()) / 2, (panel.height() - fit.height()) / 2), fit);
        auto* picture = new TzelImage(&panel);
        picture->SetStretch(true);
        picture->SetPicture(QPixmap::fromImage(Scene(14, {1280, 720})));
        picture->setGeometry(display);
        QPalette pal = panel.palette();
        pal.setColor(QPalette::Window, QColor(0xF4, 0xF5, 0xF7));
        panel.setPalette(pal);
        panel.setAutoFillBackground(true);
        TzelDrawCrop crop;
        crop.SetLineColor(ColorFromBGR(255));
        crop.SetDragPointColor(ColorFromBGR(255));
        crop.SetDragPointFrame(ColorFromBGR(255));
        crop.SetLineColor2(Qt::white);
        crop.SetSolidColor(Qt::blue);
        crop.SetSolidTransValue(80);
        crop.Restricts().LoadRc(display);
        crop.SetCropRect(QRect(display.left() + 120, display.top() + 50, 260, 170));
        crop.SetControl(&panel);
        Save(panel, file("TzelDrawCrop"));
    }

    // Buttons: flat in each state, then from the skin's pictures.
    {
        QWidget host;
        host.resize(470, 90);
        QPalette pal = host.palette();
        pal.setColor(QPalette::Window, Qt::white);
        host.setPalette(pal);
        host.setAutoFillBackground(true);
        QFont bold(QStringLiteral("Arial"));
        bold.setPixelSize(12);
        bold.setBold(true);
        const char* const captions[] = {"Open", "Play", "Pause", "Convert"};
        for (int s = 0; s < 4; ++s) {
            auto* b = new TzelButton(QString::fromLatin1(captions[s]), &host);
            b->setFont(bold);
            b->setGeometry(16 + 92 * s, 12, 82, 32);
            if (s == 1)
                b->setAttribute(Qt::WA_UnderMouse);
            if (s == 2)
                b->setDown(true);
            if (s == 3)
                b->setEnabled(false);
        }
        const QString skin = App ? App->SkinFolder() : QString();
        const qreal dpr = host.devicePixelRatioF();
        const char* const states[] = {"Up", "Hot", "Down"};
        for (int s = 0; s < 3; ++s) {
            auto* b = new TzelButton(QStringLiteral("OK"), &host);
            b->SetPictures(LoadSkinPicture(skin + QStringLiteral("ButtonUp.png"), dpr),
                           LoadSkinPicture(skin + QStringLiteral("ButtonHot.png"), dpr),
                           LoadSkinPicture(skin + QStringLiteral("ButtonDown.png"), dpr));
            b->SetStretch(true);
            QPalette bp = b->palette();
            bp.setColor(QPalette::ButtonText, Qt::white);
            b->setPalette(bp);
            b->setGeometry(16 + 92 * s, 56, 71, 23);
            if (s == 1)
                b->setAttribute(Qt::WA_UnderMouse);
            if (s == 2)
                b->setDown(true);
            b->setToolTip(QString::fromLatin1(states[s]));
        }
        Save(host, file("TzelButton"));
    }
    return gFailed;
}
