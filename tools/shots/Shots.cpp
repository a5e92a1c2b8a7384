#include "Shots.h"

#include "AboutFrm.h"
#include "MainFrm.h"
#include "ControlShots.h"
#include "BaseUIFrm.h"
#include "MHintWindow.h"
#include "SettingFrm.h"
#include "ZelCheckBox.h"
#include "ZelComboBox.h"
#include "ZelPageControl.h"
#include "TzelButton.h"
#include "WidgetShots.h"

#include "TzelGroupView.h"
#include "VGFrames.h"
#include "VGConfig.h"
#include "VGProj.h"
#include "ZelMaskEdit.h"
#include "ZelNoChange.h"
#include "Zelfunction.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <memory>

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

protected:
    // Resizable like the crop dialog, so the frame can be tried by hand.
    bool GetResizeMargins(TResizeMargins& m) override
    {
        m.Left = m.Right = m.Bottom = 8;
        m.Top = 4;
        m.TopLeftW = m.TopLeftH = m.TopRightW = m.TopRightH = 12;
        m.BottomLeftW = m.BottomLeftH = m.BottomRightW = m.BottomRightH = 12;
        return true;
    }
};

}  // namespace

int ShowWindow(const QString& className)
{
    std::unique_ptr<QWidget> w;
    if (className == QLatin1String("TBaseUIForm"))
        w = std::make_unique<TSampleDialog>();
    else if (className == QLatin1String("TAboutForm"))
        w = std::make_unique<TAboutForm>();
    else if (className == QLatin1String("TSettingForm"))
        w = std::make_unique<TSettingForm>();
    else if (className == QLatin1String("TMainForm"))
        w = std::make_unique<TMainForm>();
    if (!w)
        return 2;
    w->show();
    QObject::connect(qApp, &QApplication::lastWindowClosed, qApp, &QApplication::quit);
    return QApplication::exec();
}

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
        TMainForm mainForm;
        Shoot(&mainForm, file("TMainForm"));
        // The sample video open: the still view over a full strip, with a
        // clip from 1 s to 3 s and two frames deleted, then playing.
        const QString sample = GetExeFolder() + QStringLiteral("Sample.mp4");
        mainForm.show();
        mainForm.OpenVideo(sample);
        if (mainForm.Proj()) {
            SetNoChange(mainForm.edtStart, QStringLiteral("00:00:00.080"));
            SetNoChange(mainForm.edtEnd, QStringLiteral("00:00:03.000"));
            mainForm.ApplyTimeEdits();
            for (int i : {3, 4})
                if (TzelPhoto* photo = mainForm.ShotView->Photo(i))
                    static_cast<TVGFrame*>(photo->Data)->Deleted = true;
            if (TzelPhoto* photo = mainForm.ShotView->Photo(2)) {
                mainForm.ShotView->ClearSelected();
                mainForm.ShotView->SetFocusedPhoto(photo);
                photo->SetSelected(true);
                mainForm.ShotViewSelectedChange();
            }
            Shoot(&mainForm, file("TMainForm-still"));
            // The output settings on the clip, one shot per page, with a
            // text to list and the preview turned and flipped.
            TVGProj* proj = mainForm.Proj();
            {
                TTextObj* text = proj->Texts.Add();
                text->Text = QStringLiteral("Hello");
                if (VGConfig)
                    VGConfig->ApplyDefaultFont(text);
                TSettingForm setting(&mainForm);
                setting.SetProject(proj);
                setting.PreparePreview(&mainForm.FrameBmp());
                setting.LoadFromProject();
                setting.cbRotate->setCurrentIndex(1);
                setting.cbxFlipH->click();
                const char* pages[] = {"TSettingForm", "TSettingForm-text", "TSettingForm-logo", "TSettingForm-flip",
                                       "TSettingForm-sequence"};
                for (int i = 0; i < 5; ++i) {
                    setting.PageControl1->setCurrentIndex(i);
                    Shoot(&setting, file(pages[i]));
                }
            }
            proj->Texts.Clear();
            mainForm.acPlayExecute();
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 1200)
                QApplication::processEvents(QEventLoop::AllEvents, 20);
            Shoot(&mainForm, file("TMainForm-playing"));
            mainForm.StopPlay();
        } else {
            std::fprintf(stderr, "cannot open %s\n", qPrintable(sample));
            ++gFailed;
        }
    }
    {
        TMHint hint;
        const QString text = QStringLiteral("Start: 00:00:01.250\nEnd: 00:00:04.000\nFrames: 33");
        hint.ShowHintAt(QPoint(0, 0), text);
        Shoot(hint.Window(), file("TMHint"));
        hint.HideHint();
    }
    gFailed += DrawControlShots(folder, suffix);
    gFailed += DrawWidgetShots(folder, suffix);
    return gFailed;
}
