#include "Shots.h"

#include "AboutFrm.h"
#include "BaseUIFrm.h"
#include "MHintWindow.h"
#include "TzelButton.h"
#include "WidgetShots.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <functional>

namespace {

int gFailed = 0;

// Shows the window off screen, lets it settle, and grabs its client area.
void Shoot(QWidget* w, const QString& path)
{
    w->show();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const QPixmap shot = w->grab();
    if (shot.isNull() || !shot.save(path)) {
        std::fprintf(stderr, "ganterly-shots: cannot save %s\n", qPrintable(path));
        ++gFailed;
    } else {
        std::printf("%s %dx%d\n", qPrintable(path), shot.width(), shot.height());
    }
    w->hide();
}

// A plain dialog of the base class, with OK and Cancel.
class TSampleDialog : public TBaseUIForm {
public:
    TSampleDialog()
    {
        SetCaption(QStringLiteral("Dialog"));
        resize(360, 240);
        btnMax->show();
        auto* text = new QLabel(QStringLiteral("A dialog of the program: caption bar, frame, OK and Cancel."), this);
        text->setWordWrap(true);
        text->setGeometry(24, 52, 312, 40);
        FormCreate();
    }
};

}  // namespace

int TakeShots(const QString& folder, const QString& suffix)
{
    auto file = [&](const char* name) { return folder + QLatin1String(name) + suffix + QStringLiteral(".png"); };
    {
        TSampleDialog dialog;
        Shoot(&dialog, file("TBaseUIForm"));
    }
    {
        TAboutForm about;
        Shoot(&about, file("TAboutForm"));
    }
    {
        TMHint hint;
        const QString text = QStringLiteral("Start: 00:00:01.250\nEnd: 00:00:04.000\nFrames: 33");
        hint.ShowHintAt(QPoint(0, 0), text);
        Shoot(hint.Window(), file("TMHint"));
        hint.HideHint();
    }
    gFailed += DrawWidgetShots(folder, suffix);
    return gFailed;
}
