#include "WidgetShots.h"

#include "TzelEdit.h"
#include "ZelCheckBox.h"
#include "ZelColorEdit.h"
#include "ZelComboBox.h"
#include "ZelFontCombo.h"
#include "ZelMaskEdit.h"
#include "ZelNumEdit.h"
#include "ZelPanel.h"
#include "ZelPopupMenu.h"
#include "VGApp.h"
#include "ZelImage.h"
#include "ZelProgressBar.h"
#include "ZelSeparator.h"
#include "ZelTrackBar.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {

int gWidgetFailed = 0;

void Save(const QPixmap& shot, const QString& path)
{
    if (shot.isNull() || !shot.save(path)) {
        std::fprintf(stderr, "ganterly-shots: cannot save %s\n", qPrintable(path));
        ++gWidgetFailed;
    } else {
        std::printf("%s %dx%d\n", qPrintable(path), shot.width(), shot.height());
    }
}

// A white card in the dialogs' font holding a few instances of one control.
struct TCard {
    QWidget w;
    explicit TCard(int width, int height)
    {
        w.resize(width, height);
        w.setAutoFillBackground(true);
        QPalette pal = w.palette();
        pal.setColor(QPalette::Window, Qt::white);
        pal.setColor(QPalette::WindowText, QColor(0x46, 0x46, 0x46));
        w.setPalette(pal);
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(12);
        w.setFont(f);
    }
    void Shoot(const QString& path)
    {
        w.show();
        // No control focused: each shows its resting look.
        w.setFocusPolicy(Qt::StrongFocus);
        w.setFocus();
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
        if (QWidget* f = QApplication::focusWidget())
            f->clearFocus();
        Save(w.grab(), path);
        w.hide();
    }
};

QLabel* Caption(QWidget* parent, const QString& text, int x, int y)
{
    auto* l = new QLabel(text, parent);
    l->move(x, y);
    return l;
}

}  // namespace

int DrawWidgetShots(const QString& folder, const QString& suffix)
{
    gWidgetFailed = 0;
    auto file = [&](const char* name) { return folder + QLatin1String(name) + suffix + QStringLiteral(".png"); };
    {
        TCard card(250, 70);
        auto* a = new TzelTimeEdit(&card.w);
        a->setGeometry(12, 12, 90, 22);
        a->SetTime(83456000);
        auto* b = new TzelTimeEdit(&card.w);
        b->setGeometry(12, 40, 90, 22);
        auto* c = new TzelTimeEdit(&card.w);
        c->setGeometry(120, 12, 90, 22);
        c->SetTime(3723456000);
        c->setEnabled(false);
        Caption(&card.w, QStringLiteral("empty: no time"), 112, 44);
        card.Shoot(file("TzelTimeEdit"));
    }
    {
        TCard card(250, 44);
        auto* a = new TzelNumericEdit(&card.w);
        a->setGeometry(12, 11, 70, 22);
        a->SetValue(1280.4);
        auto* b = new TzelNumericEdit(&card.w);
        b->setGeometry(92, 11, 70, 22);
        b->SetValue(720);
        auto* c = new TzelNumericEdit(&card.w);
        c->setGeometry(172, 11, 66, 22);
        c->setEnabled(false);
        card.Shoot(file("TzelNumericEdit"));
    }
    {
        TCard card(250, 44);
        Caption(&card.w, QStringLiteral("Size"), 12, 14);
        auto* a = new TzelEdit(&card.w);
        a->setGeometry(48, 11, 60, 22);
        a->SetValue(480);
        Caption(&card.w, QStringLiteral("x"), 114, 14);
        auto* b = new TzelEdit(&card.w);
        b->setGeometry(126, 11, 60, 22);
        b->setText(QString());
        card.Shoot(file("TzelEdit"));
    }
    {
        TCard card(250, 72);
        auto* a = new TzelColorEdit(&card.w);
        a->setGeometry(12, 12, 120, 22);
        a->SetSelectedColorBGR(3092271);
        auto* b = new TzelColorEdit(&card.w);
        b->setGeometry(12, 40, 120, 22);
        b->SetSelectedColor(Qt::white);
        auto* c = new TzelColorEdit(&card.w);
        c->setGeometry(142, 12, 106, 22);
        c->SetSelectedColor(QColor(0x1F, 0xB5, 0xA8));
        c->setEnabled(false);
        card.Shoot(file("TzelColorEdit"));
    }
    {
        TCard card(260, 72);
        auto* a = new TzelComboBox(&card.w);
        a->addItems({QStringLiteral("Keep Original"), QStringLiteral("20%"), QStringLiteral("50%")});
        a->setGeometry(12, 12, 120, 22);
        auto* b = new TzelComboBox(&card.w, TzelComboBox::csDropDown);
        b->addItems({QStringLiteral("4"), QStringLiteral("8"), QStringLiteral("12"), QStringLiteral("15")});
        b->setCurrentIndex(3);
        b->setGeometry(12, 40, 80, 22);
        auto* c = new TzelComboBox(&card.w);
        c->addItems({QStringLiteral("Infinite")});
        c->setGeometry(142, 12, 106, 22);
        c->setEnabled(false);
        card.Shoot(file("TzelComboBox"));
    }
    {
        TCard card(260, 44);
        auto* a = new TzelFontComboBox(&card.w);
        a->setGeometry(12, 11, 236, 22);
        a->SetFontName(QStringLiteral("Liberation Serif"));
        card.Shoot(file("TzelFontComboBox"));
    }
    {
        TCard card(260, 76);
        auto* a = new TzelCheckBox(QStringLiteral("Use crop"), &card.w);
        a->setGeometry(12, 10, 110, 20);
        a->setChecked(true);
        auto* b = new TzelCheckBox(QStringLiteral("Show crop area"), &card.w);
        b->setGeometry(12, 30, 120, 20);
        auto* c = new TzelCheckBox(QStringLiteral("Flip Vertically"), &card.w);
        c->setGeometry(140, 10, 116, 20);
        c->setChecked(true);
        c->setEnabled(false);
        auto* d = new TzelCheckBox(QStringLiteral("Disabled"), &card.w);
        d->setGeometry(140, 30, 116, 20);
        d->setEnabled(false);
        auto* e = new TzelCheckBox(QStringLiteral("Partly"), &card.w);
        e->setGeometry(12, 50, 110, 20);
        e->setTristate(true);
        e->setCheckState(Qt::PartiallyChecked);
        card.Shoot(file("TzelCheckBox"));
    }
    {
        TCard card(260, 60);
        auto* a = new TzelRadioButton(QStringLiteral("Original"), &card.w);
        a->setGeometry(12, 10, 110, 20);
        auto* b = new TzelRadioButton(QStringLiteral("Reverse Order"), &card.w);
        b->setGeometry(12, 30, 120, 20);
        b->setChecked(true);
        auto* holder = new QWidget(&card.w);
        holder->setGeometry(140, 10, 116, 40);
        auto* c = new TzelRadioButton(QStringLiteral("Disabled"), holder);
        c->setGeometry(0, 0, 116, 20);
        c->setEnabled(false);
        auto* d = new TzelRadioButton(QStringLiteral("Chosen"), holder);
        d->setGeometry(0, 20, 116, 20);
        d->setChecked(true);
        d->setEnabled(false);
        card.Shoot(file("TzelRadioButton"));
    }
    {
        TCard card(240, 110);
        auto* g = new TzelRadioGroup(&card.w);
        g->setTitle(QStringLiteral("Sequence"));
        g->setGeometry(10, 8, 220, 94);
        g->SetItems({QStringLiteral("Original"), QStringLiteral("Reverse Order"), QStringLiteral("Ping-Pong Seamless Loop")});
        g->SetItemIndex(2);
        card.Shoot(file("TzelRadioGroup"));
    }
    {
        TCard card(300, 64);
        auto* a = new TzelTrackBar(&card.w);
        a->setGeometry(8, 10, 284, 16);
        a->SetMax(a->width() - TzelTrackBar::ThumbSize);
        a->SetPosition(a->maximum() * 2 / 5);
        auto* b = new TzelTrackBar(&card.w);
        b->setGeometry(8, 38, 284, 16);
        b->setEnabled(false);
        card.Shoot(file("TzelTrackBar"));
    }
    {
        TCard card(300, 110);
        auto* a = new TzelPanel(&card.w);
        a->setGeometry(10, 10, 130, 90);
        a->SetColorBGR(15987699);
        a->SetBorderBGR(1, 14671839);
        auto* b = new TzelPanel(&card.w);
        b->setGeometry(160, 10, 130, 90);
        b->SetColor(Qt::black);
        b->SetBorder(1, Qt::black);
        b->SetRadius(6);
        card.Shoot(file("TzelPanel"));
    }
    {
        TCard card(320, 110);
        auto* a = new TzelGroupBox(QStringLiteral("Output size"), &card.w);
        a->setGeometry(10, 8, 150, 92);
        Caption(a, QStringLiteral("Size"), 12, 30);
        auto* b = new TzelGroupBox(&card.w);
        b->setGeometry(170, 16, 140, 84);
        b->SetFrameColorBGR(12371657);
        card.Shoot(file("TzelGroupBox"));
    }
    {
        TCard card(260, 40);
        auto* a = new TzelProgressBar(&card.w);
        a->setGeometry(12, 10, 236, 8);
        a->SetPercent(62);
        auto* b = new TzelProgressBar(&card.w);
        b->setGeometry(12, 26, 236, 8);
        b->SetPercent(3);
        card.Shoot(file("TzelProgressBar"));
    }
    {
        TCard card(160, 52);
        auto* a = new TzelSeparator(&card.w, Qt::Horizontal);
        a->setGeometry(10, 10, 100, 1);
        auto* b = new TzelSeparator(&card.w, Qt::Vertical);
        b->setGeometry(130, 10, 1, 32);
        card.Shoot(file("TzelSeparator"));
    }
    {
        // The strip's menu as the main window builds it, with the skin's
        // images (the list's first place is unused, as in the menus' numbering).
        TzelPopupMenu menu;
        const QString skin = App ? App->SkinFolder() : QString();
        QList<QPixmap> images{QPixmap()};
        for (int i = 1; i <= 4; ++i)
            images << LoadSkinPicture(skin + QStringLiteral("Menu%1.png").arg(i), menu.devicePixelRatioF());
        menu.SetImages(images);
        menu.AddItem(QStringLiteral("Delete"), 4);
        menu.AddItem(QStringLiteral("Restore"))->setEnabled(false);
        menu.addSeparator();
        menu.AddItem(QStringLiteral("Set as start frame"), 1);
        menu.AddItem(QStringLiteral("Set as end frame"), 2);
        TzelPopupMenu* more = menu.AddSubMenu(QStringLiteral("Play"));
        more->SetImages(images);
        more->AddItem(QStringLiteral("Play selection"), 3);
        menu.popup(QPoint(0, 0));
        menu.setActiveAction(menu.actions().value(1));
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
        Save(menu.grab(), file("TzelPopupMenu"));
        menu.close();
    }
    return gWidgetFailed;
}
