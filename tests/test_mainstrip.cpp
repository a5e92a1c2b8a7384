// The main window's frame strip and still view, driven with the mouse and the
// keyboard: group paging, frame stepping across group edges and its
// auto-repeat, deleting and restoring frames with their marks, dragging an
// overlay in the still view, and the disk budget for frame files. The
// fixture clips show their own frame index, which is the oracle throughout.

#include "MainWindowFixture.h"

#include "ZelMaskEdit.h"
#include "ZelPopupMenu.h"
#include "Zelfunction.h"

#include <QFileInfo>
#include <QLabel>
#include <cmath>

namespace {

class MainStripTest : public MainWindowTest {
protected:
    // Share of the mark's opaque pixels found unchanged at `corner` of the
    // strip's picture (best over one pixel of rounding either way).
    static double MarkScore(const QImage& strip, const QImage& mark, QPointF corner)
    {
        double best = 0;
        const QImage m = mark.convertToFormat(QImage::Format_ARGB32);
        for (int oy = -1; oy <= 1; ++oy)
            for (int ox = -1; ox <= 1; ++ox) {
                const int x0 = int(std::lround(corner.x())) + ox, y0 = int(std::lround(corner.y())) + oy;
                int opaque = 0, same = 0;
                for (int y = 0; y < m.height(); ++y)
                    for (int x = 0; x < m.width(); ++x) {
                        const QRgb c = m.pixel(x, y);
                        if (qAlpha(c) != 255)
                            continue;
                        ++opaque;
                        if (!strip.rect().contains(x0 + x, y0 + y))
                            continue;
                        const QRgb s = strip.pixel(x0 + x, y0 + y);
                        if (std::abs(qRed(s) - qRed(c)) <= 8 && std::abs(qGreen(s) - qGreen(c)) <= 8
                            && std::abs(qBlue(s) - qBlue(c)) <= 8)
                            ++same;
                    }
                if (opaque > 0)
                    best = std::max(best, double(same) / opaque);
            }
        return best;
    }
    QImage GrabStrip() const { return form->ShotView->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    bool HasDeleteMark(const QImage& strip, int photo) const
    {
        const QImage& mark = UIApp->DeleteFlagImage();
        const QRectF r = form->ShotView->ImageRect(form->ShotView->Photo(photo));
        return MarkScore(strip, mark, QPointF(r.right() - mark.width(), r.bottom() - mark.height())) > 0.9;
    }
    bool HasInClipMark(const QImage& strip, int photo) const
    {
        const QImage& mark = UIApp->SelectFlagImage();
        const QRectF r = form->ShotView->ImageRect(form->ShotView->Photo(photo));
        return MarkScore(strip, mark, QPointF(r.left(), r.bottom() - mark.height())) > 0.9;
    }
    QMap<QString, bool> MenuState(QMenu* menu)
    {
        QMap<QString, bool> state;
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                state[a->text()] = a->isEnabled();
        return state;
    }
};

TEST_F(MainStripTest, NextGroupsAppendUntilTheEndOfTheVideo)
{
    Open(Clip(100));
    ASSERT_EQ(Photos(), 30);

    // Before the first frame there is nothing: the strip stays, the first is picked.
    QTest::mouseClick(form->btnPriorMore, Qt::LeftButton);
    EXPECT_EQ(Photos(), 30);
    EXPECT_EQ(SelectedPhotos(), std::vector<int>{0});
    EXPECT_EQ(StillIndex(), 0);

    // The first frame decoded again is the strip's last one: 29 new frames.
    QTest::mouseClick(form->btnNextMore, Qt::LeftButton);
    ASSERT_EQ(Photos(), 59);
    ExpectConsecutive(0);
    EXPECT_EQ(SelectedPhotos(), std::vector<int>{58});
    EXPECT_EQ(FocusedPhoto(), 58);
    EXPECT_EQ(StillIndex(), 58);
    EXPECT_EQ(form->CurFrame(), Frame(58));
    EXPECT_GT(form->ShotView->ScrollMax(), 0);
    EXPECT_EQ(form->ShotView->ScrollPos(), form->ShotView->ScrollMax());
    EXPECT_FALSE(form->lblProgress->isVisible());

    QTest::mouseClick(form->btnNextMore, Qt::LeftButton);
    QTest::mouseClick(form->btnNextMore, Qt::LeftButton);
    ASSERT_EQ(Photos(), 100);
    ExpectConsecutive(0);
    EXPECT_EQ(StillIndex(), 99);

    // At the end of the video neither paging nor stepping adds anything.
    QTest::mouseClick(form->btnNextMore, Qt::LeftButton);
    QTest::mouseClick(form->btnNextFrame, Qt::LeftButton);
    EXPECT_EQ(Photos(), 100);
    EXPECT_EQ(SelectedPhotos(), std::vector<int>{99});
    EXPECT_EQ(StillIndex(), 99);
    EXPECT_TRUE(TestMsgBox::Seen().isEmpty());
}

TEST_F(MainStripTest, PriorGroupsPrependTheFramesBeforeTheStrip)
{
    Open(Clip(100));
    ASSERT_NE(form->Proj(), nullptr);
    // Pause somewhere past the first second so that there is a group before.
    QTest::mouseClick(form->btnPlay, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return form->CurPos() >= 1300000; }, 20000));
    QTest::mouseClick(form->btnPause, Qt::LeftButton);
    const int paused = StillIndex();
    ASSERT_GE(paused, 32);
    ASSERT_LE(paused, 70) << "paused too late for this clip";
    ExpectConsecutive(paused);

    QTest::mouseClick(form->btnPriorMore, Qt::LeftButton);
    ASSERT_EQ(Photos(), 60);
    ExpectConsecutive(paused - 30);
    EXPECT_EQ(SelectedPhotos(), std::vector<int>{0});
    EXPECT_EQ(StillIndex(), paused - 30);
    EXPECT_EQ(form->ShotView->ScrollPos(), 0);

    QTest::mouseClick(form->btnPriorMore, Qt::LeftButton);
    ExpectConsecutive(std::max(0, paused - 60));
    if (paused <= 60) {
        EXPECT_EQ(Photos(), paused + 30);
        // At frame 0, stepping back does nothing.
        QTest::mouseClick(form->btnPriorFrame, Qt::LeftButton);
        EXPECT_EQ(Photos(), paused + 30);
        EXPECT_EQ(StillIndex(), 0);
        EXPECT_EQ(SelectedPhotos(), std::vector<int>{0});
    }
}

TEST_F(MainStripTest, SteppingCrossesGroupEdges)
{
    Open(Clip(100));
    ASSERT_EQ(Photos(), 30);
    QTest::mouseClick(form->btnPriorFrame, Qt::LeftButton);
    EXPECT_EQ(StillIndex(), 0);
    EXPECT_EQ(Photos(), 30);

    QTest::mouseClick(form->btnNextFrame, Qt::LeftButton);
    EXPECT_EQ(StillIndex(), 1);
    EXPECT_EQ(SelectedPhotos(), std::vector<int>{1});

    ClickPhoto(29);
    ASSERT_EQ(StillIndex(), 29);
    // Stepping on from the last thumbnail decodes the next group and moves to its first new frame.
    QTest::mouseClick(form->btnNextFrame, Qt::LeftButton);
    ASSERT_EQ(Photos(), 59);
    ExpectConsecutive(0);
    EXPECT_EQ(StillIndex(), 30);
    EXPECT_EQ(SelectedPhotos(), std::vector<int>{30});
    EXPECT_EQ(FocusedPhoto(), 30);
    EXPECT_TRUE(form->ShotView->viewport()->rect().intersects(form->ShotView->PhotoRect(form->ShotView->Photo(30))));

    QTest::mouseClick(form->btnPriorFrame, Qt::LeftButton);
    EXPECT_EQ(StillIndex(), 29);
    EXPECT_EQ(Photos(), 59);
}

TEST_F(MainStripTest, HoldingAStepButtonRepeatsAfterHalfASecond)
{
    Open(Clip(100));
    ASSERT_EQ(Photos(), 30);
    QElapsedTimer held;
    QTest::mousePress(form->btnNextFrame, Qt::LeftButton);
    held.start();
    EXPECT_EQ(FocusedPhoto(), 0) << "a press alone does not step";
    ASSERT_NE(form->tmAutoNext, nullptr);
    EXPECT_TRUE(form->tmAutoNext->isActive());

    ASSERT_TRUE(PumpUntil([&] { return FocusedPhoto() >= 1; }, 10000));
    const qint64 first = held.elapsed();
    EXPECT_GE(first, 450) << "the first repeat comes after 500 ms";
    ASSERT_TRUE(PumpUntil([&] { return FocusedPhoto() >= 6; }, 10000));
    const qint64 sixth = held.elapsed();
    EXPECT_GE(sixth - first, 200) << "then one step every 50 ms";
    EXPECT_EQ(StillIndex(), FocusedPhoto());

    const int before = FocusedPhoto();
    QTest::mouseRelease(form->btnNextFrame, Qt::LeftButton);
    EXPECT_EQ(FocusedPhoto(), before + 1) << "the release makes one step of its own";
    EXPECT_FALSE(form->tmAutoNext->isActive());
    QTest::qWait(300);
    EXPECT_EQ(FocusedPhoto(), before + 1);
    EXPECT_EQ(StillIndex(), before + 1);
    EXPECT_EQ(SelectedPhotos(), std::vector<int>{before + 1});

    // A quick click steps once, backwards too.
    QTest::mouseClick(form->btnPriorFrame, Qt::LeftButton);
    QTest::qWait(100);
    EXPECT_EQ(FocusedPhoto(), before);
    EXPECT_FALSE(form->tmAutoNext->isActive());
}

TEST_F(MainStripTest, DeleteRestoreAndClipBoundsFromTheStripWithTheirMarks)
{
    ASSERT_FALSE(UIApp->DeleteFlagImage().isNull());
    ASSERT_FALSE(UIApp->SelectFlagImage().isNull());
    Open(Clip(50));
    ASSERT_EQ(Photos(), 30);
    QImage strip = GrabStrip();
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(HasDeleteMark(strip, i)) << i;
        EXPECT_TRUE(HasInClipMark(strip, i)) << "the whole video is the clip: " << i;
    }

    ClickPhoto(1);
    ClickPhoto(3, Qt::ShiftModifier);
    ASSERT_EQ(SelectedPhotos(), (std::vector<int>{1, 2, 3}));
    QTest::keyClick(form->ShotView, Qt::Key_Backspace);
    for (int i = 0; i < Photos(); ++i)
        EXPECT_FALSE(Frame(i)->Deleted) << "only the Delete key deletes: " << i;
    QTest::keyClick(form->ShotView, Qt::Key_Delete);
    for (int i = 0; i < Photos(); ++i)
        EXPECT_EQ(Frame(i)->Deleted, i >= 1 && i <= 3) << i;
    strip = GrabStrip();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(HasDeleteMark(strip, i), i >= 1 && i <= 3) << i;

    // The menu on three deleted frames offers Restore only.
    ASSERT_NE(form->pmShotView, nullptr);
    ASSERT_TRUE(RunStripMenu(form->pmShotView, 2, [&](QMenu*) -> QAction* {
        EXPECT_FALSE(form->pmiDelete->isEnabled());
        EXPECT_TRUE(form->pmiRestore->isEnabled());
        EXPECT_FALSE(form->pmiStartTime->isEnabled());
        EXPECT_FALSE(form->pmiEndTime->isEnabled());
        return form->pmiRestore;
    }));
    for (int i = 0; i < Photos(); ++i)
        EXPECT_FALSE(Frame(i)->Deleted) << i;
    strip = GrabStrip();
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(HasDeleteMark(strip, i)) << i;

    // One frame: Delete, and the clip's bounds from the menu.
    ClickPhoto(4);
    ASSERT_TRUE(RunStripMenu(form->pmShotView, 4, [&](QMenu*) -> QAction* {
        EXPECT_TRUE(form->pmiDelete->isEnabled());
        EXPECT_FALSE(form->pmiRestore->isEnabled());
        EXPECT_TRUE(form->pmiStartTime->isEnabled());
        EXPECT_TRUE(form->pmiEndTime->isEnabled());
        return form->pmiDelete;
    }));
    EXPECT_TRUE(Frame(4)->Deleted);
    ASSERT_TRUE(RunStripMenu(form->pmShotView, 4, [&](QMenu*) { return form->pmiStartTime; }));
    EXPECT_EQ(form->Proj()->StartPTS, Frame(4)->PTS);
    EXPECT_EQ(form->edtStart->Text(), FormatPTS(Frame(4)->PTS, 3));
    strip = GrabStrip();
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(HasInClipMark(strip, i), i >= 4) << i;

    // An end before the start is taken; the bounds keep their marks.
    ClickPhoto(2);
    ASSERT_TRUE(RunStripMenu(form->pmShotView, 2, [&](QMenu*) { return form->pmiEndTime; }));
    EXPECT_EQ(form->Proj()->EndPTS, Frame(2)->PTS);
    EXPECT_FALSE(form->Proj()->HasValidRange());
    strip = GrabStrip();
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(HasInClipMark(strip, i), i == 2 || i == 4) << i;

    // Two selected frames: no bound can be taken from them.
    ClickPhoto(5, Qt::ControlModifier);
    ASSERT_EQ(SelectedPhotos(), (std::vector<int>{2, 5}));
    ASSERT_TRUE(RunStripMenu(form->pmShotView, 5, [&](QMenu*) -> QAction* {
        EXPECT_TRUE(form->pmiDelete->isEnabled());
        EXPECT_FALSE(form->pmiStartTime->isEnabled());
        EXPECT_FALSE(form->pmiEndTime->isEnabled());
        return nullptr;
    }));
    EXPECT_EQ(form->Proj()->StartPTS, Frame(4)->PTS);
    form->pmiStartTime->trigger();
    EXPECT_EQ(form->Proj()->StartPTS, Frame(4)->PTS) << "two thumbnails selected: the start stays";
}

TEST_F(MainStripTest, DraggingATextInTheStillViewPassesTwoPixelsFirst)
{
    Open(Clip(50));
    TVGProj* proj = form->Proj();
    ASSERT_NE(proj, nullptr);
    TTextObj* text = proj->Texts.Add();
    text->Text = QStringLiteral("Drag me");
    text->FontName = QStringLiteral("Arial");
    text->FontSize = 10;
    text->FontColor = 0xFFFFFF;
    text->X = 40;
    text->Y = 30;

    const int pw = form->pnlShot->width(), ph = form->pnlShot->height();
    const QSize fit = GetFillSize(pw, ph, proj->VideoWidth, proj->VideoHeight, false);
    const double sx = double(fit.width()) / proj->VideoWidth, sy = double(fit.height()) / proj->VideoHeight;
    const QPointF centre = text->MeasureText(2.0 * text->FontSize, QPointF(text->X, text->Y)).center();
    const QPoint down(int((pw - fit.width()) / 2 + centre.x() * sx), int((ph - fit.height()) / 2 + centre.y() * sy));
    ASSERT_EQ(proj->ElementAt(QPointF((down.x() - (pw - fit.width()) / 2) / sx, (down.y() - (ph - fit.height()) / 2) / sy)), text);

    // A press beside the text drags nothing.
    QTest::mousePress(form->pnlShot, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseMove(form->pnlShot, QPoint(40, 30));
    QTest::mouseRelease(form->pnlShot, Qt::LeftButton, {}, QPoint(40, 30));
    EXPECT_EQ(text->X, 40);
    EXPECT_EQ(text->Y, 30);

    QTest::mousePress(form->pnlShot, Qt::LeftButton, {}, down);
    QTest::mouseMove(form->pnlShot, down + QPoint(1, 1));
    EXPECT_EQ(QPoint(text->X, text->Y), QPoint(40, 30)) << "one pixel does not move it";
    QTest::mouseMove(form->pnlShot, down + QPoint(2, 0));
    EXPECT_EQ(QPoint(text->X, text->Y), QPoint(40, 30)) << "two pixels do not either";
    QTest::mouseMove(form->pnlShot, down + QPoint(3, 0));
    EXPECT_EQ(text->X, 40 + int(std::floor(3 / sx)));
    EXPECT_EQ(text->Y, 30);
    // Once moving, every pixel counts, in video pixels, also upwards and off the picture.
    QTest::mouseMove(form->pnlShot, down + QPoint(25, -11));
    EXPECT_EQ(text->X, 40 + int(std::floor(25 / sx)));
    EXPECT_EQ(text->Y, 30 + int(std::floor(-11 / sy)));
    QTest::mouseMove(form->pnlShot, down + QPoint(-200, 0));
    EXPECT_EQ(text->X, 40 + int(std::floor(-200 / sx)));
    QTest::mouseRelease(form->pnlShot, Qt::LeftButton, {}, down + QPoint(-200, 0));
    const QPoint dropped(text->X, text->Y);
    QTest::mouseMove(form->pnlShot, down + QPoint(60, 60));
    EXPECT_EQ(QPoint(text->X, text->Y), dropped) << "released: the text stays";

    // The right button drags nothing.
    const QPoint at = down + QPoint(int(std::floor(-200 / sx) * sx), 0);
    QTest::mousePress(form->pnlShot, Qt::RightButton, {}, at);
    QTest::mouseMove(form->pnlShot, at + QPoint(30, 30));
    QTest::mouseRelease(form->pnlShot, Qt::RightButton, {}, at + QPoint(30, 30));
    EXPECT_EQ(QPoint(text->X, text->Y), dropped);
    EXPECT_EQ(StillIndex(), 0);
}

TEST_F(MainStripTest, DroppedFrameFilesAreDecodedAgainExactly)
{
    // A budget above one group, and one below it.
    for (const int files : {35, 6}) {
        SCOPED_TRACE(files);
        Open(Clip(100));
        TVGProj* proj = form->Proj();
        ASSERT_NE(proj, nullptr);
        ASSERT_EQ(Photos(), 30);
        const int64_t fileSize = QFileInfo(Frame(0)->BitmapFile).size();
        ASSERT_GT(fileSize, 0);
        proj->FileBudget = files * fileSize;

        QTest::mouseClick(form->btnNextMore, Qt::LeftButton);
        QTest::mouseClick(form->btnNextMore, Qt::LeftButton);
        ASSERT_EQ(Photos(), 88);
        EXPECT_LE(proj->FrameFileBytes(), proj->FileBudget);
        proj->FlushFrameFiles();
        EXPECT_EQ(StillIndex(), 87);
        int onDisk = 0, dropped = -1;
        for (int i = 0; i < Photos(); ++i) {
            const bool there = !Frame(i)->BitmapFile.isEmpty() && QFileInfo::exists(Frame(i)->BitmapFile);
            onDisk += there;
            if (!there && dropped < 0 && i > 0)
                dropped = i;
        }
        EXPECT_LE(onDisk, files);
        ASSERT_GT(dropped, 0) << "the budget dropped no file";
        ASSERT_LT(dropped, 30) << "the budget dropped no early frame";

        // Picking a thumbnail whose file went shows exactly its frame again.
        form->ShotView->SetScrollPos(0);
        ClickPhoto(dropped);
        EXPECT_EQ(form->CurFrame(), Frame(dropped));
        EXPECT_EQ(StillIndex(), dropped);
        ASSERT_FALSE(Frame(dropped)->BitmapFile.isEmpty());
        EXPECT_EQ(ReadFixtureIndex(QImage(Frame(dropped)->BitmapFile)), dropped);
        EXPECT_LE(proj->FrameFileBytes(), proj->FileBudget);
        ClickPhoto(40);
        EXPECT_EQ(StillIndex(), 40);
        QTest::mouseClick(form->btnNextFrame, Qt::LeftButton);
        EXPECT_EQ(StillIndex(), 41);
        EXPECT_LE(proj->FrameFileBytes(), proj->FileBudget);
        EXPECT_TRUE(TestMsgBox::Seen().isEmpty());

        // What the user sees does not change: every thumbnail keeps its picture.
        for (int i = 0; i < Photos(); ++i) {
            const QImage& thumb = form->ShotView->Photo(i)->Thumbnail();
            EXPECT_FALSE(thumb.isNull()) << "thumbnail " << i << " lost its picture";
            if (!thumb.isNull()) {
                EXPECT_EQ(ReadFixtureIndex(thumb), i) << "thumbnail " << i << " shows another frame";
            }
        }
    }
}

}  // namespace

namespace {
// Closing the window while a group decodes ends the group after the frame in
// hand: the strip keeps what it had, the window is gone, nothing waits.
TEST_F(MainStripTest, ClosingDuringAGroupEndsItPromptly)
{
    Open(Clip(100));
    ASSERT_EQ(Photos(), 30);
    // Close from inside the decoding, as a click on the close button would.
    bool clicked = false;
    QTimer::singleShot(0, form.get(), [&] {
        clicked = true;
        EXPECT_TRUE(form->IsDecoding());
        QTest::mouseClick(form->btnClose, Qt::LeftButton);
    });
    QTest::mouseClick(form->btnNextMore, Qt::LeftButton);
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->IsDecoding());
    EXPECT_GE(Photos(), 30);
    EXPECT_LT(Photos(), 59) << "the group ran to its end";
    form->Proj()->FlushFrameFiles();
    for (int i = 0; i < Photos(); ++i)
        ASSERT_EQ(ReadFixtureIndex(QImage(Frame(i)->BitmapFile)), i);
}

// While a group decodes, clicks on other controls wait: no command starts inside it.
TEST_F(MainStripTest, OtherInputWaitsWhileAGroupDecodes)
{
    Open(Clip(100));
    ASSERT_EQ(Photos(), 30);
    int dialogs = 0;
    SetOpenDialogHandler([&](QWidget*, const QString&, const QString&, const QString&) {
        ++dialogs;
        return QStringList();
    });
    bool clicked = false;
    QTimer::singleShot(0, form.get(), [&] {
        clicked = true;
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QTest::keyClick(form->ShotView, Qt::Key_Right);
    });
    QTest::mouseClick(form->btnNextMore, Qt::LeftButton);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(Photos(), 59);
    EXPECT_EQ(StillIndex(), 58);
    // Afterwards the window answers again.
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(dialogs, 1);
}
}  // namespace
