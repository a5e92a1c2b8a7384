#pragma once
// The main window driven as a user would, shared by the window's test
// programs: fixture clips whose frames show their own index, opening them
// through the open-dialog seam, reading back the still view and the strip,
// clicking thumbnails and answering pop-up menus.

#include "TestSupport.h"

#include "FFDecoder.h"
#include "FixtureVideo.h"
#include "MainFrm.h"
#include "TzelButton.h"
#include "TzelGroupView.h"
#include "VGApp.h"
#include "VGFrames.h"
#include "VGProj.h"
#include "VGUIApp.h"
#include "ZelWindow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMap>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gApp = StartWindowTestApp(); }
    static void TearDownTestSuite() { StopWindowTestApp(gApp); }
    void SetUp() override
    {
        TestMsgBox::Clear();
        form = std::make_unique<TMainForm>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override
    {
        form.reset();
        SetOpenDialogHandler({});
    }

    // A fixture clip, written once per process for each set of parameters.
    static QString Clip(int frames, int width = 160, int fpsNum = 25, int fpsDen = 1, int gop = 25)
    {
        const QString name = QStringLiteral("clip_%1_%2_%3_%4_%5.mp4").arg(frames).arg(width).arg(fpsNum).arg(fpsDen).arg(gop);
        static QMap<QString, QString> made;
        if (made.contains(name))
            return made[name];
        static const QString dir = MakeTempDir(QStringLiteral("mainwindow"));
        TFixtureVideo v;
        v.Path = dir + name;
        v.FrameCount = frames;
        v.Width = width;
        v.FrameRateNum = fpsNum;
        v.FrameRateDen = fpsDen;
        v.GopLength = gop;
        QString error;
        if (!WriteFixtureVideo(v, &error)) {
            ADD_FAILURE() << error.toStdString();
            return {};
        }
        made[name] = v.Path;
        return v.Path;
    }

    // The open command answered with `file` (empty: cancelled).
    void Open(const QString& file)
    {
        SetOpenDialogHandler([this, file](QWidget*, const QString&, const QString&, const QString&) {
            ++dialogCalls;
            return file.isEmpty() ? QStringList() : QStringList{file};
        });
        QTest::mouseClick(form->Button1, Qt::LeftButton);
    }

    TVGFrame* Frame(int photo) const { return static_cast<TVGFrame*>(form->ShotView->Photo(photo)->Data); }
    int Photos() const { return form->ShotView->PhotoCount(); }
    // The index the fixture drew into a thumbnail's frame file (-1 unreadable).
    // Files that still wait in memory are written first.
    int PhotoIndex(int photo) const
    {
        if (form->Proj())
            form->Proj()->FlushFrameFiles();
        return ReadFixtureIndex(QImage(form->ShotView->Photo(photo)->FileName()));
    }
    int StillIndex() const { return ReadFixtureIndex(form->FrameBmp()); }
    int FocusedPhoto() const
    {
        TzelPhoto* p = form->ShotView->FocusedPhoto();
        return p ? p->Index() : -1;
    }
    std::vector<int> SelectedPhotos() const
    {
        std::vector<int> rows;
        for (int i = 0; i < form->ShotView->GetSelCount(); ++i)
            rows.push_back(form->ShotView->GetSelPhoto(i)->Index());
        return rows;
    }
    // Every thumbnail shows the frame after the one before it.
    void ExpectConsecutive(int firstIndex) const
    {
        for (int i = 0; i < Photos(); ++i)
            EXPECT_EQ(PhotoIndex(i), firstIndex + i) << "thumbnail " << i;
        for (int i = 1; i < Photos(); ++i)
            EXPECT_LT(Frame(i - 1)->PTS, Frame(i)->PTS) << "thumbnail " << i;
    }

    void ClickPhoto(int photo, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        TzelPhoto* p = form->ShotView->Photo(photo);
        p->MakeVisible();
        QApplication::processEvents();
        QTest::mouseClick(form->ShotView->viewport(), Qt::LeftButton, mods, form->ShotView->PhotoRect(p).center());
    }

    // Opens a menu with `open`, lets `inspect` look at it while it is shown
    // and closes it; then triggers the item `inspect` returned, if any, as a
    // click on it would. Works whether the menu runs modally or not.
    bool RunMenu(QMenu* menu, const std::function<void()>& open, const std::function<QAction*(QMenu*)>& inspect)
    {
        bool seen = false;
        QAction* chosen = nullptr;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (seen || !menu->isVisible())
                return;
            seen = true;
            chosen = inspect(menu);
            menu->hide();
        });
        poll.start();
        open();
        const bool ok = PumpUntil([&] { return seen && !menu->isVisible(); }, 10000);
        poll.stop();
        if (chosen)
            chosen->trigger();
        return ok;
    }
    // The strip's pop-up menu, as a right click on a thumbnail opens it.
    bool RunStripMenu(QMenu* menu, int photo, const std::function<QAction*(QMenu*)>& inspect)
    {
        return RunMenu(menu, [&] {
            const QPoint pos = form->ShotView->PhotoRect(form->ShotView->Photo(photo)).center();
            QContextMenuEvent e(QContextMenuEvent::Mouse, pos, form->ShotView->viewport()->mapToGlobal(pos));
            QApplication::sendEvent(form->ShotView->viewport(), &e);
        }, inspect);
    }

    // The decoder the window owns (a child of the window).
    TFFDecoder* Decoder() const { return form->findChild<TFFDecoder*>(); }

    static inline TApp* gApp = nullptr;
    std::unique_ptr<TMainForm> form;
    int dialogCalls = 0;
};
