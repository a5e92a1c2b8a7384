// Window chrome: the resize hit test, the work area, anchors, setting values
// without change signals, colours, the rounded outline and the hint box.

#include "TestSupport.h"

#include "AboutFrm.h"
#include "BaseFrm.h"
#include "BaseUIFrm.h"
#include "TzelButton.h"
#include "VGApp.h"
#include "ZelImage.h"
#include "ZelLinkLabel.h"
#include "Zelfunction.h"
#include "MHintWindow.h"
#include "ZelAnchors.h"
#include "ZelWindow.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QTimer>
#include <QWindow>
#include <QComboBox>
#include <QFontComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

TResizeMargins Margins()
{
    // As the resizable windows use them: edges 8, top 4, corners 12 x 12.
    TResizeMargins m;
    m.Left = 8, m.Right = 8, m.Top = 4, m.Bottom = 8;
    m.TopLeftW = m.TopLeftH = m.BottomLeftW = m.BottomLeftH = 12;
    m.TopRightW = m.TopRightH = m.BottomRightW = m.BottomRightH = 12;
    return m;
}

}  // namespace

TEST(ResizeHitTest, RegionsTheirOrderAndExcludedRightAndBottom)
{
    const QSize c(200, 100);
    const TResizeMargins m = Margins();
    struct Case { QPoint p; int hit; };
    const Case cases[] = {
        {{0, 0}, HTTOPLEFT}, {{11, 11}, HTTOPLEFT}, {{12, 0}, HTTOP}, {{0, 12}, HTLEFT},
        {{199, 99}, HTBOTTOMRIGHT}, {{188, 88}, HTBOTTOMRIGHT}, {{187, 99}, HTBOTTOM}, {{199, 87}, HTRIGHT},
        {{0, 99}, HTBOTTOMLEFT}, {{11, 88}, HTBOTTOMLEFT}, {{12, 99}, HTBOTTOM},
        {{199, 0}, HTTOPRIGHT}, {{188, 11}, HTTOPRIGHT}, {{187, 0}, HTTOP},
        {{192, 50}, HTRIGHT}, {{191, 50}, HTCLIENT}, {{7, 50}, HTLEFT}, {{8, 50}, HTCLIENT},
        {{100, 3}, HTTOP}, {{100, 4}, HTCLIENT}, {{100, 92}, HTBOTTOM}, {{100, 91}, HTCLIENT},
        // Right and bottom edges are outside the rectangles.
        {{200, 50}, HTCLIENT}, {{100, 100}, HTCLIENT}, {{-1, 50}, HTCLIENT},
    };
    for (const Case& k : cases)
        EXPECT_EQ(TBaseForm::ResizeHitTest(k.p, c, m), k.hit) << k.p.x() << "," << k.p.y();
    // Corners come before edges, right before left: in a window narrower than
    // both edges the right edge wins.
    TResizeMargins wide = m;
    wide.Left = wide.Right = 150;
    EXPECT_EQ(TBaseForm::ResizeHitTest({100, 50}, c, wide), HTRIGHT);
    // The inherited answer stands outside every region.
    EXPECT_EQ(TBaseForm::ResizeHitTest({100, 50}, c, m, HTCAPTION), HTCAPTION);
}

namespace {
class Resizable : public TBaseForm {
public:
    bool Allow = true;
protected:
    bool GetResizeMargins(TResizeMargins& m) override
    {
        m = Margins();
        return Allow;
    }
};
}  // namespace

TEST(ResizeHitTest, NotWhileMaximisedNorWithoutMargins)
{
    Resizable form;
    form.resize(300, 200);
    EXPECT_EQ(form.HitTest({0, 0}), HTTOPLEFT);
    form.Allow = false;
    EXPECT_EQ(form.HitTest({0, 0}), HTCLIENT);
    form.Allow = true;
    form.Maximize();
    EXPECT_TRUE(form.IsMaximized());
    EXPECT_EQ(form.HitTest({0, 0}), HTCLIENT);
    form.Restore();
    EXPECT_EQ(form.size(), QSize(300, 200));
    EXPECT_EQ(form.HitTest({0, 0}), HTTOPLEFT);
}

TEST(WorkArea, OnePixelFurtherAndAutoHideStrips)
{
    const QRect avail(0, 0, 1920, 1040);
    EXPECT_EQ(TBaseForm::WorkAreaOf(avail, false, 3), QRect(0, 0, 1921, 1041));
    EXPECT_EQ(TBaseForm::WorkAreaOf(avail, true, 3), QRect(0, 0, 1921, 1039));
    EXPECT_EQ(TBaseForm::WorkAreaOf(avail, true, 2), QRect(0, 0, 1919, 1041));
    EXPECT_EQ(TBaseForm::WorkAreaOf(avail, true, 1), QRect(0, 1, 1921, 1040));
    EXPECT_EQ(TBaseForm::WorkAreaOf(avail, true, 0), QRect(1, 0, 1920, 1041));
    EXPECT_EQ(TBaseForm::WorkAreaOf(avail, true, 7), QRect(0, 0, 1921, 1041));
    // The panel's edge from what the desktop leaves free.
    const QRect screen(0, 0, 1920, 1080);
    EXPECT_EQ(TaskbarAnchorOf(screen, QRect(0, 0, 1920, 1040)), 3);
    EXPECT_EQ(TaskbarAnchorOf(screen, QRect(0, 28, 1920, 1052)), 1);
    EXPECT_EQ(TaskbarAnchorOf(screen, QRect(64, 0, 1856, 1080)), 0);
    EXPECT_EQ(TaskbarAnchorOf(screen, QRect(0, 0, 1856, 1080)), 2);
    EXPECT_EQ(TaskbarAnchorOf(screen, screen), -1);
}

TEST(Anchors, ControlsKeepTheirDistancesToAnchoredSides)
{
    QWidget parent;
    parent.resize(500, 400);
    auto* tl = new QWidget(&parent);
    auto* br = new QWidget(&parent);
    auto* stretch = new QWidget(&parent);
    auto* all = new QWidget(&parent);
    auto* free = new QWidget(&parent);
    SetBounds(tl, {10, 10, 50, 20});
    SetBounds(br, {419, 367, 71, 23}, akBottomRight);
    SetBounds(stretch, {0, 0, 500, 31}, akLeftTopRight);
    SetBounds(all, {20, 40, 460, 300}, akAll);
    SetBounds(free, {225, 190, 50, 20}, 0);
    parent.show();   // a hidden widget hears of its resizes only when shown
    parent.resize(700, 300);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(tl->geometry(), QRect(10, 10, 50, 20));
    EXPECT_EQ(br->geometry(), QRect(619, 267, 71, 23));
    EXPECT_EQ(stretch->geometry(), QRect(0, 0, 700, 31));
    EXPECT_EQ(all->geometry(), QRect(20, 40, 660, 200));
    EXPECT_EQ(free->geometry().center().x(), 349);   // the centre keeps its share
    // Shrinking below a stretched control's size and back gives it back whole.
    parent.resize(100, 100);
    parent.resize(500, 400);
    EXPECT_EQ(all->geometry(), QRect(20, 40, 460, 300));
    EXPECT_EQ(br->geometry(), QRect(419, 367, 71, 23));
    // A control the form moves itself is anchored from its new place.
    br->move(300, 300);
    parent.resize(600, 400);
    EXPECT_EQ(br->geometry(), QRect(400, 300, 71, 23));
    EXPECT_EQ(AnchorsOf(br), akBottomRight);
}

TEST(NoChangeSet, SetsEveryKnownKindWithoutItsSignal)
{
    QWidget parent;
    auto* edit = new QLineEdit(&parent);
    auto* slider = new QSlider(Qt::Horizontal, &parent);
    auto* bar = new QScrollBar(Qt::Horizontal, &parent);
    auto* spin = new QSpinBox(&parent);
    auto* check = new QCheckBox(&parent);
    auto* radio = new QRadioButton(&parent);
    auto* list = new QComboBox(&parent);
    list->addItems({"Original", "Half", "Quarter"});
    auto* editable = new QComboBox(&parent);
    editable->setEditable(true);
    editable->addItems({"8", "10"});
    auto* font = new QFontComboBox(&parent);
    slider->setRange(0, 100);
    bar->setRange(0, 100);
    spin->setRange(0, 100);

    QSignalSpy s1(edit, &QLineEdit::textChanged), s2(slider, &QSlider::valueChanged),
        s3(bar, &QScrollBar::valueChanged), s4(spin, &QSpinBox::valueChanged), s5(check, &QCheckBox::toggled),
        s6(radio, &QRadioButton::toggled), s7(list, &QComboBox::currentIndexChanged),
        s8(editable, &QComboBox::editTextChanged), s9(font, &QFontComboBox::currentFontChanged);
    EXPECT_TRUE(NoChangeSet(edit, "00:00:01.000"));
    EXPECT_TRUE(NoChangeSet(slider, 42));
    EXPECT_TRUE(NoChangeSet(bar, 7));
    EXPECT_TRUE(NoChangeSet(spin, 12));
    EXPECT_TRUE(NoChangeSet(check, true));
    EXPECT_TRUE(NoChangeSet(radio, true));
    EXPECT_TRUE(NoChangeSet(list, QStringLiteral("Quarter")));   // a text picks its item
    EXPECT_TRUE(NoChangeSet(editable, QStringLiteral("12")));    // an editable one takes the text
    EXPECT_TRUE(NoChangeSet(font, QStringLiteral("DejaVu Sans")));
    EXPECT_FALSE(NoChangeSet(&parent, 1));
    EXPECT_EQ(edit->text(), "00:00:01.000");
    EXPECT_EQ(slider->value(), 42);
    EXPECT_EQ(bar->value(), 7);
    EXPECT_EQ(spin->value(), 12);
    EXPECT_TRUE(check->isChecked());
    EXPECT_TRUE(radio->isChecked());
    EXPECT_EQ(list->currentIndex(), 2);
    EXPECT_EQ(editable->currentText(), "12");
    EXPECT_TRUE(NoChangeSet(list, 1));
    EXPECT_EQ(list->currentIndex(), 1);
    for (QSignalSpy* s : {&s1, &s2, &s3, &s4, &s5, &s6, &s7, &s8, &s9})
        EXPECT_EQ(s->count(), 0);
    // The signals work again afterwards.
    slider->setValue(43);
    EXPECT_EQ(s2.count(), 1);
}

TEST(WindowHelpers, ColoursOutlineAndFitting)
{
    EXPECT_EQ(ColorFromBGR(3092271), QColor(47, 47, 47));
    EXPECT_EQ(ColorFromBGR(15987699), QColor(243, 243, 243));
    EXPECT_EQ(ColorFromBGR(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(ColorToBGR(QColor(0x12, 0x34, 0x56)), 0x563412);

    // The rounded outline: corners cut alike on all four sides, sides whole.
    const QRegion r = RoundRectRegion(100, 60, 9);
    EXPECT_FALSE(r.contains(QPoint(0, 0)));
    EXPECT_FALSE(r.contains(QPoint(99, 0)));
    EXPECT_FALSE(r.contains(QPoint(0, 59)));
    EXPECT_FALSE(r.contains(QPoint(99, 59)));
    EXPECT_TRUE(r.contains(QPoint(50, 0)));
    EXPECT_TRUE(r.contains(QPoint(0, 30)));
    EXPECT_TRUE(r.contains(QPoint(99, 30)));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool in = r.contains(QPoint(x, y));
            EXPECT_EQ(in, r.contains(QPoint(99 - x, y)));
            EXPECT_EQ(in, r.contains(QPoint(x, 59 - y)));
            EXPECT_EQ(in, r.contains(QPoint(99 - x, 59 - y)));
        }

    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(12);
    const QFontMetrics fm(f);
    const QString longText = QStringLiteral("C:/videos/a rather long folder name/and a long file name.mp4");
    const QString fitted = CompressStr(longText, fm, 120);
    EXPECT_LE(fm.horizontalAdvance(fitted), 120);
    EXPECT_TRUE(fitted.endsWith(QChar(0x2026)));
    EXPECT_EQ(CompressStr("short", fm, 120), "short");
}

TEST(HintBox, LinesSizesAndShowing)
{
    TMHint hint;
    hint.HideHint();   // before any showing: nothing
    EXPECT_FALSE(hint.IsShowing());
    const QSize one = hint.GetHintSize("00:00:01.000");
    const QSize three = hint.GetHintSize("Start: 00:00:01.000\r\nEnd: 00:00:04.000\r\nFrames: 30");
    const int lineHeight = QFontMetrics(hint.Window()->font()).lineSpacing();
    EXPECT_GT(one.width(), 0);
    EXPECT_NEAR(three.height() - one.height(), 2 * lineHeight, 2);
    const QSize huge = hint.GetHintSize(QString(2000, QLatin1Char('x')) + " " + QString(2000, QLatin1Char('y')));
    EXPECT_LE(huge.width(), hint.Window()->screen()->geometry().width());

    hint.ShowHintAt({40, 50}, "00:00:01.000");
    EXPECT_TRUE(hint.IsShowing());
    EXPECT_EQ(hint.Window()->geometry(), QRect(QPoint(40, 50), one));
    hint.ShowHintAt({70, 80}, "Start: 00:00:01.000\r\nEnd: 00:00:04.000\r\nFrames: 30");
    EXPECT_EQ(hint.Window()->geometry(), QRect(QPoint(70, 80), three));
    hint.HideHint();
    EXPECT_FALSE(hint.IsShowing());
}

// ---- skinned dialogs ------------------------------------------------------------

namespace {
class Dialog : public TBaseUIForm {
public:
    explicit Dialog(bool maximisable)
    {
        SetCaption(QStringLiteral("Test dialog"));
        if (maximisable)
            btnMax->show();
        FormCreate();
    }
    using TBaseUIForm::AdjustForDpi;
};

// Runs the dialog modally while `act` drives it from inside the loop.
int RunModal(TBaseForm& form, std::function<void()> act)
{
    QTimer::singleShot(0, &form, [&form, act] {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
        act();
    });
    return form.ShowModal();
}
}  // namespace

TEST(SkinnedDialog, EndsWithItsResult)
{
    Dialog okDialog(false);
    EXPECT_EQ(RunModal(okDialog, [&] { QTest::mouseClick(okDialog.btnOkMe, Qt::LeftButton); }), mrOk);
    Dialog cancelDialog(false);
    EXPECT_EQ(RunModal(cancelDialog, [&] { QTest::mouseClick(cancelDialog.btnCancelMe, Qt::LeftButton); }), mrCancel);
    Dialog closed(false);
    EXPECT_EQ(RunModal(closed, [&] { QTest::mouseClick(closed.btnCloseMe, Qt::LeftButton); }), mrCancel);
    EXPECT_EQ(closed.windowTitle(), "Test dialog");
}

TEST(SkinnedDialog, FreedWhileRunningModallyEndsWithCancel)
{
    auto* d = new Dialog(false);
    QTimer::singleShot(0, d, [d] { delete d; });
    EXPECT_EQ(d->ShowModal(), mrCancel);
}

TEST(SkinnedDialog, EscClosesOnlyWithoutModifiers)
{
    for (const Qt::KeyboardModifiers mods : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
        Dialog d(false);
        d.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
        QTest::keyClick(&d, Qt::Key_Escape, mods);
        EXPECT_TRUE(d.isVisible()) << int(mods);
    }
    Dialog d(false);
    EXPECT_EQ(RunModal(d, [&] { QTest::keyClick(&d, Qt::Key_Escape); }), mrCancel);
    EXPECT_FALSE(d.isVisible());
}

TEST(SkinnedDialog, CaptionDoubleClickMaximisesOnlyWithTheMaximiseButton)
{
    Dialog plain(false);
    plain.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plain));
    QTest::mouseDClick(plain.windowHandle(), Qt::LeftButton, {}, QPoint(200, 15));
    EXPECT_FALSE(plain.IsMaximized());

    Dialog big(true);
    big.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&big));
    const QRect before = big.geometry();
    QTest::mouseDClick(big.windowHandle(), Qt::LeftButton, {}, QPoint(200, 15));
    EXPECT_TRUE(big.IsMaximized());
    EXPECT_EQ(big.geometry(), big.GetWorkArea());
    EXPECT_TRUE(big.btnRestore->isVisible());
    EXPECT_FALSE(big.btnMax->isVisible());
    // The caption's buttons are not the caption: restore by its button.
    QTest::mouseClick(big.btnRestore, Qt::LeftButton);
    EXPECT_FALSE(big.IsMaximized());
    EXPECT_EQ(big.geometry(), before);
    EXPECT_TRUE(big.btnMax->isVisible());
    // And back by a double click on the caption text.
    QTest::mouseDClick(big.windowHandle(), Qt::LeftButton, {}, big.lblCaption->geometry().center());
    EXPECT_TRUE(big.IsMaximized());
}

TEST(SkinnedDialog, AnchoredButtonsFollowResizes)
{
    Dialog d(false);
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    const int okRight = d.width() - d.btnOkMe->geometry().right();
    const int okBottom = d.height() - d.btnOkMe->geometry().bottom();
    d.resize(d.width() + 120, d.height() + 80);
    EXPECT_EQ(d.width() - d.btnOkMe->geometry().right(), okRight);
    EXPECT_EQ(d.height() - d.btnOkMe->geometry().bottom(), okBottom);
    EXPECT_EQ(d.imgTop->width(), d.width());
    EXPECT_EQ(d.imgRight->geometry().right(), d.width() - 1);
    EXPECT_EQ(d.btnCloseMe->y(), 8);
}

TEST(SkinnedDialog, ControlsHaveAccessibleNames)
{
    Dialog d(true);
    for (TzelImage* img : {d.imgTop, d.imgIco, d.imgBottomRight}) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(img);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), QAccessible::Graphic);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << img->objectName().toStdString();
    }
    for (TzelButton* b : {d.btnOkMe, d.btnCancelMe, d.btnCloseMe, d.btnMax}) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), QAccessible::Button);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << b->objectName().toStdString();
    }
}

TEST(AboutBox, VersionAndSupportLink)
{
    QStringList opened;
    SetOpenUrlHandler([&opened](const QString& url) {
        opened << url;
        return true;
    });
    TApp app(QStringLiteral(GANTERLY_BIN_DIR) + '/');   // the built program folder, skin and all
    App = &app;
    TAboutForm about;
    EXPECT_EQ(about.size(), QSize(426, 329));
    EXPECT_FALSE(about.Image1->Picture().isNull());   // the banner from the skin
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_FALSE(about.btnOkMe->isVisibleTo(&about));
    EXPECT_EQ(about.lblVersion->text(), "Ver " + GetProVersion(true));
    EXPECT_FALSE(about.ulblHp->text().contains('?'));
    EXPECT_TRUE(about.ulblHp->text().startsWith("Support: "));
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(about.ulblHp, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], about.ulblHp->Url());
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(about.ulblHp);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Link);
    // Banner centred, the version inside its right part.
    EXPECT_EQ(about.Image1->x(), (about.width() - about.Image1->width()) / 2);
    EXPECT_EQ(about.lblVersion->geometry().right() + 1 + 13, about.Image1->width());
    SetOpenUrlHandler({});
    App = nullptr;
}

// Away from 96 dpi the form's layout pass puts the top bar's parts and the
// frame back where they were designed, whatever the scaling did to them.
TEST(SkinnedDialog, TheDpiPassRestoresTheTopBarAndFrame)
{
    Dialog d(true);
    d.btnMin->show();
    for (TzelButton* b : {d.btnMin, d.btnMax, d.btnRestore, d.btnCloseMe})
        b->move(b->x(), 10);   // as a 125 % scaling would leave them
    d.imgIco->move(12, 9);
    d.lblCaption->move(42, 10);
    d.imgBottomRight->move(3, 3);
    d.AdjustForDpi();
    for (TzelButton* b : {d.btnMin, d.btnMax, d.btnRestore, d.btnCloseMe})
        EXPECT_EQ(b->y(), 8) << b->objectName().toStdString();
    EXPECT_EQ(d.imgIco->pos(), QPoint(10, 7));
    EXPECT_EQ(d.lblCaption->y(), 7);
    EXPECT_EQ(d.imgBottomRight->geometry().bottomRight(), QPoint(d.width() - 1, d.height() - 1));
    EXPECT_EQ(d.imgRight->geometry().right(), d.width() - 1);
}

TEST(SystemFont, OtherLanguagesGetArialEnglishKeepsTheDesign)
{
    Dialog d(false);
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(15);
    auto* label = new QLabel(QStringLiteral("x"), &d);
    label->setFont(tahoma);
    ApplySystemFont(&d, 1033);
    EXPECT_EQ(label->font().family(), "Tahoma");
    ApplySystemFont(&d, 2052);
    EXPECT_EQ(label->font().family(), "Tahoma");
    ApplySystemFont(&d, 1041);   // Japanese
    EXPECT_EQ(label->font().family(), "Arial");
    EXPECT_EQ(label->font().pixelSize(), 15);
    EXPECT_EQ(d.lblCaption->font().family(), "Arial");
    EXPECT_TRUE(d.lblCaption->font().bold());
}
