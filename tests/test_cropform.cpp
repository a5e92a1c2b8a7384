// The crop dialog driven with the mouse and the keyboard: the picture fitted
// into its panel, drags read back in video pixels, typed rectangles clipped
// to the video, switching the crop, OK and Cancel, and resizing.

#include "TestSupport.h"

#include "CropFrm.h"
#include "TzelButton.h"
#include "TzelDrawCrop.h"
#include "VGConfig.h"
#include "VGProj.h"
#include "ZelCheckBox.h"
#include "ZelNumEdit.h"
#include "Zelfunction.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Four quadrants of distinct colours: where the picture lands can be read
// back from the panel's pixels.
QImage Quadrants(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(0, 0, w / 2, h / 2, QColor(255, 0, 0));
    p.fillRect(w / 2, 0, w - w / 2, h / 2, QColor(0, 255, 0));
    p.fillRect(0, h / 2, w / 2, h - h / 2, QColor(0, 0, 255));
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, QColor(255, 255, 0));
    return img;
}

class CropFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestMsgBox::Clear();
        TestMsgBox::Answer(1);
        proj = std::make_unique<TVGProj>();
        proj->VideoWidth = 640;
        proj->VideoHeight = 480;
        proj->CropRect = {0, 0, 640, 480};
        frame = Quadrants(640, 480);
    }

    // The dialog as ShowCropForm sets it up, shown but not modal.
    std::unique_ptr<TCropForm> Open()
    {
        auto f = std::make_unique<TCropForm>();
        f->Bind(proj.get(), &frame);
        f->LoadFromProject();
        f->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(f.get()));
        return f;
    }

    static void Drag(QWidget* w, QPoint from, QPoint to)
    {
        QTest::mousePress(w, Qt::LeftButton, {}, from);
        for (int i = 1; i <= 5; ++i)
            QTest::mouseMove(w, from + (to - from) * i / 5);
        QTest::mouseRelease(w, Qt::LeftButton, {}, to);
    }

    static void Type(TzelNumericEdit* e, const QString& text)
    {
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
    }

    static QRect Edits(const TCropForm& f)
    {
        return QRect(int(f.edtCropX->Value()), int(f.edtCropY->Value()), int(f.edtCropW->Value()), int(f.edtCropH->Value()));
    }

    // The editor's rectangle taken back to video pixels, as the dialog does.
    static QRect EditorInVideo(const TCropForm& f, int videoW)
    {
        const QRect d = f.GetDisplayRect();
        return ScaleRect(f.dcCrop->CropRect().translated(-d.topLeft()), double(videoW) / d.width(), 0);
    }

    static void ExpectNear(const QRect& a, const QRect& b, int tolerance)
    {
        EXPECT_NEAR(a.left(), b.left(), tolerance) << "left";
        EXPECT_NEAR(a.top(), b.top(), tolerance) << "top";
        EXPECT_NEAR(a.width(), b.width(), tolerance) << "width";
        EXPECT_NEAR(a.height(), b.height(), tolerance) << "height";
    }

    std::unique_ptr<TVGProj> proj;
    QImage frame;
};

}  // namespace

TEST_F(CropFormTest, FormAsDesignedAndNamedForAccessibility)
{
    auto f = Open();
    EXPECT_EQ(f->Caption(), QStringLiteral("Crop Video"));
    EXPECT_EQ(f->size(), QSize(655, 484));
    EXPECT_EQ(f->minimumSize(), QSize(570, 430));
    EXPECT_TRUE(f->btnMin->isVisible());
    EXPECT_TRUE(f->btnMax->isVisible());
    // OK above Cancel, right of the edit group.
    EXPECT_EQ(f->btnOkMe->x(), f->btnCancelMe->x());
    EXPECT_LT(f->btnOkMe->geometry().bottom(), f->btnCancelMe->y());
    EXPECT_GE(f->btnOkMe->x(), f->rbGroup->geometry().right());
    EXPECT_EQ(f->edtCropX->accessibleName(), QStringLiteral("X"));
    EXPECT_EQ(f->edtCropY->accessibleName(), QStringLiteral("Y"));
    EXPECT_EQ(f->edtCropW->accessibleName(), QStringLiteral("Width"));
    EXPECT_EQ(f->edtCropH->accessibleName(), QStringLiteral("Height"));
    EXPECT_EQ(f->cbxCrop->text(), QStringLiteral("Use crop"));
    // The keyboard goes through the edits, the rectangle, then OK and Cancel.
    proj->UseCrop = true;
    f->LoadFromProject();
    f->edtCropH->setFocus();
    QTest::keyClick(f->edtCropH, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), f->dcCrop->Overlay());
    // Ctrl+Left pulls the right side in by one panel pixel: 640/409 video pixels.
    QTest::keyClick(f->dcCrop->Overlay(), Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(Edits(*f), QRect(0, 0, 638, 480));
    QTest::keyClick(f->dcCrop->Overlay(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), f->btnOkMe);
    QTest::keyClick(f->btnOkMe, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), f->btnCancelMe);
    // Resizable from its borders: 8 at the sides, 4 at the top.
    EXPECT_EQ(f->HitTest(QPoint(3, 200)), HTLEFT);
    EXPECT_EQ(f->HitTest(QPoint(f->width() - 3, 200)), HTRIGHT);
    EXPECT_EQ(f->HitTest(QPoint(300, 2)), HTTOP);
    EXPECT_EQ(f->HitTest(QPoint(300, 6)), HTCLIENT);
    EXPECT_EQ(f->HitTest(QPoint(f->width() - 5, f->height() - 5)), HTBOTTOMRIGHT);
}

TEST_F(CropFormTest, PictureIsFittedIntoThePanelLess36AndCentredInTheWholePanel)
{
    auto f = Open();
    ASSERT_EQ(f->pnlShot->size(), QSize(610, 343));
    // 640 x 480 into 574 x 307: height-bound, 409 x 307, centred in 610 x 343.
    const QRect d = f->GetDisplayRect();
    EXPECT_EQ(d, QRect(100, 18, 409, 307));

    const QImage shot = f->pnlShot->grab().toImage().scaled(f->pnlShot->size());
    auto at = [&](int x, int y) { return QColor(shot.pixel(x, y)); };
    EXPECT_EQ(at(d.left() + 5, d.top() + 5), QColor(255, 0, 0));
    EXPECT_EQ(at(d.left() + d.width() - 6, d.top() + 5), QColor(0, 255, 0));
    EXPECT_EQ(at(d.left() + 5, d.top() + d.height() - 6), QColor(0, 0, 255));
    EXPECT_EQ(at(d.left() + d.width() - 6, d.top() + d.height() - 6), QColor(255, 255, 0));
    // Outside the picture the panel keeps its own colour.
    EXPECT_EQ(at(d.left() - 20, 170), f->pnlShot->Color());
    EXPECT_EQ(at(d.left() + d.width() + 20, 170), f->pnlShot->Color());

    // A wide video is bound by the width instead.
    proj->VideoWidth = 1920;
    proj->VideoHeight = 400;
    EXPECT_EQ(f->GetDisplayRect(), QRect(18, 111, 574, 120));
}

TEST_F(CropFormTest, DraggingAtAScaleWritesVideoPixelsWithoutFeedingBack)
{
    proj->UseCrop = true;
    auto f = Open();
    ASSERT_NE(f->dcCrop->Overlay(), nullptr);
    const QRect d = f->GetDisplayRect();
    ASSERT_EQ(f->dcCrop->CropRect(), d);   // the whole frame
    EXPECT_EQ(Edits(*f), QRect(0, 0, 640, 480));

    QSignalSpy typed(f->edtCropX, &QLineEdit::textChanged);
    // The top-left point 82 x 41 panel pixels inwards: 640/409 video pixels each.
    Drag(f->dcCrop->Overlay(), d.topLeft(), d.topLeft() + QPoint(82, 41));
    EXPECT_EQ(f->dcCrop->CropRect(), QRect(182, 59, 327, 266));
    EXPECT_EQ(Edits(*f), QRect(128, 64, 512, 416));
    // The edits were written quietly: the rectangle was not set again from them.
    EXPECT_EQ(typed.count(), 0);
    EXPECT_EQ(f->dcCrop->CropRect(), QRect(182, 59, 327, 266));

    // Moving the body to the far corner stops at the picture's edge, not the panel's.
    Drag(f->dcCrop->Overlay(), QPoint(300, 200), QPoint(900, 900));
    EXPECT_EQ(f->dcCrop->CropRect(), QRect(182, 59, 327, 266));
    Drag(f->dcCrop->Overlay(), QPoint(300, 200), QPoint(200, 180));
    const QRect moved = Edits(*f);
    EXPECT_GE(moved.left(), 0);
    EXPECT_LE(moved.left() + moved.width(), 640);
    EXPECT_LE(moved.top() + moved.height(), 480);

    QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
    EXPECT_EQ(f->ModalResult(), mrOk);
    EXPECT_TRUE(proj->UseCrop);
    const TRect stored = proj->CropRect;
    EXPECT_EQ(QRect(stored.Left, stored.Top, stored.Width(), stored.Height()), moved);
}

TEST_F(CropFormTest, TypedRectanglesAreClippedToTheVideo)
{
    proj->UseCrop = true;
    auto f = Open();
    const double scale = 409.0 / 640.0;
    Type(f->edtCropX, QStringLiteral("600"));
    Type(f->edtCropW, QStringLiteral("100"));
    // The editor shows 600..640: the clipped rectangle, scaled and offset.
    const QRect shown = f->dcCrop->CropRect();
    EXPECT_EQ(shown.left(), 100 + int(std::lround(600 * scale)));
    EXPECT_EQ(shown.left() + shown.width(), 100 + int(std::lround(600 * scale)) + int(std::lround(40 * scale)));
    EXPECT_EQ(f->ReadCropEdits(), QRect(600, 0, 40, 480));
    // The edits keep what was typed until a drag.
    EXPECT_EQ(f->edtCropW->text(), QStringLiteral("100"));

    // Negative and huge numbers clip the same way, without overflow.
    Type(f->edtCropY, QStringLiteral("-50"));
    Type(f->edtCropH, QStringLiteral("999999999999"));
    EXPECT_EQ(f->ReadCropEdits(), QRect(600, 0, 40, 480));
    Type(f->edtCropH, QStringLiteral("250"));
    EXPECT_EQ(f->ReadCropEdits(), QRect(600, 0, 40, 200));
    // Letters do not get in; an emptied edit reads 0.
    Type(f->edtCropX, QStringLiteral("abc"));
    EXPECT_EQ(f->edtCropX->text(), QString());
    EXPECT_EQ(f->ReadCropEdits(), QRect(0, 0, 100, 200));
    Type(f->edtCropX, QStringLiteral("600"));

    QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
    EXPECT_EQ(f->ModalResult(), mrOk);
    EXPECT_EQ(proj->CropRect, (TRect{600, 0, 640, 200}));
}

TEST_F(CropFormTest, ARectangleWhollyOffTheVideoIsRefusedOnOkAndNothingIsLost)
{
    proj->UseCrop = true;
    proj->CropRect = {10, 20, 110, 220};
    auto f = Open();
    Type(f->edtCropX, QStringLiteral("700"));
    EXPECT_TRUE(f->ReadCropEdits().isEmpty());
    QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
    ASSERT_EQ(TestMsgBox::Seen().size(), 1);
    EXPECT_TRUE(TestMsgBox::Seen()[0].text.contains(QStringLiteral("640 x 480")));
    EXPECT_EQ(f->ModalResult(), mrNone);
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(proj->CropRect, (TRect{10, 20, 110, 220}));
    // Mended, it goes through.
    Type(f->edtCropX, QStringLiteral("500"));
    QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
    EXPECT_EQ(f->ModalResult(), mrOk);
    EXPECT_EQ(proj->CropRect, (TRect{500, 20, 600, 220}));

    // Switched off, the crop is stored whatever the rectangle.
    TestMsgBox::Clear();
    proj->CropRect = {10, 20, 110, 220};
    auto g = Open();
    QTest::mouseClick(g->cbxCrop, Qt::LeftButton);
    Type(g->edtCropX, QStringLiteral("700"));   // disabled: nothing typed
    QTest::mouseClick(g->btnOkMe, Qt::LeftButton);
    EXPECT_TRUE(TestMsgBox::Seen().isEmpty());
    EXPECT_EQ(g->ModalResult(), mrOk);
    EXPECT_FALSE(proj->UseCrop);
    EXPECT_EQ(proj->CropRect, (TRect{10, 20, 110, 220}));
}

TEST_F(CropFormTest, TurningTheCropOffHidesTheRectangleAndOnShowsTheEdits)
{
    proj->UseCrop = true;
    proj->CropRect = {64, 48, 320, 240};
    auto f = Open();
    ASSERT_NE(f->dcCrop->Overlay(), nullptr);
    EXPECT_TRUE(f->rbGroup->isEnabled());

    QTest::mouseClick(f->cbxCrop, Qt::LeftButton);
    EXPECT_FALSE(f->cbxCrop->isChecked());
    EXPECT_EQ(f->dcCrop->Overlay(), nullptr);
    EXPECT_FALSE(f->rbGroup->isEnabled());
    EXPECT_FALSE(f->edtCropX->isEnabled());
    // No overlay: a drag over the picture changes nothing.
    Drag(f->pnlShot, QPoint(200, 100), QPoint(260, 160));
    EXPECT_EQ(Edits(*f), QRect(64, 48, 256, 192));

    QTest::mouseClick(f->cbxCrop, Qt::LeftButton);
    ASSERT_NE(f->dcCrop->Overlay(), nullptr);
    EXPECT_TRUE(f->edtCropX->isEnabled());
    ExpectNear(EditorInVideo(*f, 640), QRect(64, 48, 256, 192), 1);

    // Off again and OK: the switch is stored with the rectangle of the edits.
    QTest::mouseClick(f->cbxCrop, Qt::LeftButton);
    QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
    EXPECT_FALSE(proj->UseCrop);
    EXPECT_EQ(proj->CropRect, (TRect{64, 48, 320, 240}));
}

TEST_F(CropFormTest, LoadedWithoutCropTheEditorIsDetached)
{
    proj->UseCrop = false;
    proj->CropRect = {1, 2, 301, 202};
    auto f = Open();
    EXPECT_FALSE(f->cbxCrop->isChecked());
    EXPECT_EQ(f->dcCrop->Overlay(), nullptr);
    EXPECT_FALSE(f->rbGroup->isEnabled());
    EXPECT_EQ(Edits(*f), QRect(1, 2, 300, 200));
}

TEST_F(CropFormTest, CancelCloseAndEscLeaveTheProject)
{
    proj->UseCrop = true;
    proj->CropRect = {64, 48, 320, 240};
    for (int how = 0; how < 3; ++how) {
        auto f = Open();
        Drag(f->dcCrop->Overlay(), f->dcCrop->CropRect().center(), f->dcCrop->CropRect().center() + QPoint(30, 30));
        Type(f->edtCropW, QStringLiteral("50"));
        QTest::mouseClick(f->cbxCrop, Qt::LeftButton);
        if (how == 0)
            QTest::mouseClick(f->btnCancelMe, Qt::LeftButton);
        else if (how == 1)
            QTest::mouseClick(f->btnCloseMe, Qt::LeftButton);
        else
            QTest::keyClick(f.get(), Qt::Key_Escape);
        EXPECT_NE(f->ModalResult(), mrOk) << how;
        EXPECT_FALSE(f->isVisible()) << how;
        EXPECT_TRUE(proj->UseCrop) << how;
        EXPECT_EQ(proj->CropRect, (TRect{64, 48, 320, 240})) << how;
    }
}

TEST_F(CropFormTest, ResizingAndMaximisingKeepTheRectangleOnTheSamePartOfThePicture)
{
    proj->UseCrop = true;
    proj->CropRect = {160, 120, 480, 360};
    auto f = Open();
    const QRect before = f->dcCrop->CropRect();
    ExpectNear(EditorInVideo(*f, 640), QRect(160, 120, 320, 240), 1);

    f->resize(900, 700);
    QApplication::processEvents();
    EXPECT_NE(f->dcCrop->CropRect(), before);   // rescaled with the picture
    EXPECT_TRUE(f->GetDisplayRect().contains(f->dcCrop->CropRect()));
    EXPECT_EQ(f->dcCrop->Restricts().Rect(), f->GetDisplayRect());
    ExpectNear(EditorInVideo(*f, 640), QRect(160, 120, 320, 240), 1);
    const QRect atBig = f->dcCrop->CropRect();

    f->Maximize();
    QApplication::processEvents();
    ExpectNear(EditorInVideo(*f, 640), QRect(160, 120, 320, 240), 1);
    f->Restore();
    QApplication::processEvents();
    EXPECT_EQ(f->size(), QSize(900, 700));
    EXPECT_EQ(f->dcCrop->CropRect(), atBig);
    // The edits were never touched by the rescaling.
    EXPECT_EQ(Edits(*f), QRect(160, 120, 320, 240));

    // At the smallest size the picture still shows and the rectangle follows.
    f->resize(f->minimumSize());
    QApplication::processEvents();
    EXPECT_FALSE(f->GetDisplayRect().isEmpty());
    ExpectNear(EditorInVideo(*f, 640), QRect(160, 120, 320, 240), 2);
}

TEST_F(CropFormTest, EditorTakesTheSettingsColours)
{
    TVGConfig config;
    config.CropRcColor = 0x00FF00;   // green, as 0x00BBGGRR
    TVGConfig* saved = VGConfig;
    VGConfig = &config;
    auto f = Open();
    VGConfig = saved;
    EXPECT_EQ(f->dcCrop->LineColor(), QColor(0, 255, 0));
    EXPECT_EQ(f->dcCrop->DragPointColor(), QColor(0, 255, 0));
    EXPECT_EQ(f->dcCrop->DragPointFrame(), QColor(0, 255, 0));
}

TEST_F(CropFormTest, ShowCropFormAnswersOkOrCancelAndRefusesAProjectWithoutVideo)
{
    auto drive = [](bool ok, QRect typed) {
        QTimer::singleShot(0, [ok, typed] {
            TCropForm* f = ShownWindow<TCropForm>();
            ASSERT_NE(f, nullptr);
            if (!typed.isNull()) {
                if (!f->cbxCrop->isChecked())
                    QTest::mouseClick(f->cbxCrop, Qt::LeftButton);
                Type(f->edtCropX, QString::number(typed.x()));
                Type(f->edtCropY, QString::number(typed.y()));
                Type(f->edtCropW, QString::number(typed.width()));
                Type(f->edtCropH, QString::number(typed.height()));
            }
            QTest::mouseClick(ok ? f->btnOkMe : f->btnCancelMe, Qt::LeftButton);
        });
    };
    drive(true, QRect(10, 10, 100, 50));
    EXPECT_TRUE(ShowCropForm(proj.get(), &frame));
    EXPECT_TRUE(proj->UseCrop);
    EXPECT_EQ(proj->CropRect, (TRect{10, 10, 110, 60}));

    drive(false, QRect(20, 20, 30, 30));
    EXPECT_FALSE(ShowCropForm(proj.get(), &frame));
    EXPECT_EQ(proj->CropRect, (TRect{10, 10, 110, 60}));

    // Without a picture the dialog still works.
    drive(true, QRect());
    EXPECT_TRUE(ShowCropForm(proj.get(), nullptr));

    TVGProj empty;
    EXPECT_FALSE(ShowCropForm(&empty, &frame));
    EXPECT_FALSE(ShowCropForm(nullptr, &frame));
}
