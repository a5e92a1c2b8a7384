// The widget library driven with real mouse and key events: the time edit
// read against the decoder's own time functions, the numeric and integer
// edits, the colour edit through its dialog seam, the track bar, the combo
// boxes, the pop-up menu, values set without any signal, and what each
// control reports to the accessibility interface.
#include "TestSupport.h"

#include "FFDecoder.h"
#include "TzelEdit.h"
#include "ZelAccessible.h"
#include "ZelCheckBox.h"
#include "ZelColorEdit.h"
#include "ZelComboBox.h"
#include "ZelFontCombo.h"
#include "ZelMaskEdit.h"
#include "ZelNoChange.h"
#include "ZelNumEdit.h"
#include "ZelPanel.h"
#include "ZelPopupMenu.h"
#include "ZelProgressBar.h"
#include "ZelSeparator.h"
#include "ZelTrackBar.h"
#include "ZelWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A shown top-level holder, so focus and mouse events reach its children.
struct THost {
    QWidget w;
    THost()
    {
        w.resize(400, 300);
        w.show();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
    }
};

void Focus(QWidget* w)
{
    w->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
}

// Every signal the object can send, counted: "fires nothing" means none.
struct TAllSignals {
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    explicit TAllSignals(QObject* o)
    {
        const QMetaObject* m = o->metaObject();
        for (int i = 0; i < m->methodCount(); ++i) {
            const QMetaMethod mm = m->method(i);
            if (mm.methodType() == QMetaMethod::Signal && mm.name() != "destroyed" && mm.name() != "objectNameChanged")
                spies.push_back(std::make_unique<QSignalSpy>(o, mm));
        }
    }
    int Count() const
    {
        int n = 0;
        for (auto& s : spies)
            n += int(s->count());
        return n;
    }
};

QColor Pixel(QWidget* w, int x, int y) { return w->grab().toImage().pixelColor(x, y); }

}  // namespace

// ---- time edit -----------------------------------------------------------------------------

TEST(TimeEdit, EmptyMeansNoTime)
{
    TzelTimeEdit e;
    EXPECT_EQ(TzelTimeEdit::NoTime, AV_NOPTS_VALUE);
    EXPECT_EQ(e.Text(), QString("  :  :  .   "));
    EXPECT_EQ(e.displayText(), QString("__:__:__.___"));
    EXPECT_EQ(e.maxLength(), 12);
    EXPECT_TRUE(e.IsEmpty());
    EXPECT_EQ(e.Time(), TzelTimeEdit::NoTime);
    e.SetTime(1250000);
    EXPECT_FALSE(e.IsEmpty());
    e.SetText("  :  :  .   ");
    EXPECT_EQ(e.Time(), TzelTimeEdit::NoTime);
    e.SetTime(TzelTimeEdit::NoTime);
    EXPECT_EQ(e.displayText(), QString("__:__:__.___"));
}

TEST(TimeEdit, TypingOverwritesDigitsAndSkipsSeparators)
{
    THost host;
    auto* e = new TzelTimeEdit(&host.w);
    e->setGeometry(10, 10, 90, 22);
    e->show();
    Focus(e);
    QTest::keyClick(e, Qt::Key_Home);
    QTest::keyClicks(e, "000001250");
    EXPECT_EQ(e->Text(), QString("00:00:01.250"));
    EXPECT_EQ(e->Time(), 1250000);
    // Letters take no place.
    QTest::keyClick(e, Qt::Key_Home);
    QTest::keyClicks(e, "ab1");
    EXPECT_EQ(e->Text(), QString("10:00:01.250"));
    // Overwrite in the middle: the cursor after "10:" types the minutes.
    QTest::keyClick(e, Qt::Key_Home);
    QTest::keyClicks(e, "0002");
    EXPECT_EQ(e->Text(), QString("00:02:01.250"));
    EXPECT_EQ(e->Time(), 121250000);
}

TEST(TimeEdit, BackspaceAndDeleteBlankADigit)
{
    THost host;
    auto* e = new TzelTimeEdit(&host.w);
    e->setGeometry(10, 10, 90, 22);
    e->show();
    e->SetTime(3723456000);  // 01:02:03.456
    ASSERT_EQ(e->Text(), QString("01:02:03.456"));
    Focus(e);
    QTest::keyClick(e, Qt::Key_End);
    QTest::keyClick(e, Qt::Key_Backspace);
    EXPECT_EQ(e->Text(), QString("01:02:03.45 "));
    EXPECT_EQ(e->Time(), StrToPTS(e->Text(), 3));
    QTest::keyClick(e, Qt::Key_Home);
    QTest::keyClick(e, Qt::Key_Delete);
    EXPECT_EQ(e->Text(), QString(" 1:02:03.45 "));
    EXPECT_EQ(e->Time(), StrToPTS(e->Text(), 3));
    // Emptied place by place, it means no time again.
    QTest::keyClick(e, Qt::Key_End);
    for (int i = 0; i < 12; ++i)
        QTest::keyClick(e, Qt::Key_Backspace);
    EXPECT_TRUE(e->IsEmpty());
    EXPECT_EQ(e->Time(), TzelTimeEdit::NoTime);
}

TEST(TimeEdit, RoundTripMatchesTheDecodersTimeText)
{
    TzelTimeEdit e;
    for (int64_t t : {int64_t(0), int64_t(999), int64_t(1000), int64_t(1250000), int64_t(59999999), int64_t(3599999999),
                      int64_t(3723456789), int64_t(99) * 3600 * Unit_Nano + 59 * 60 * Unit_Nano + 59999999}) {
        e.SetTime(t);
        EXPECT_EQ(e.Text(), FormatPTS(t, 3)) << t;
        EXPECT_EQ(e.Time(), StrToPTS(FormatPTS(t, 3), 3)) << t;
        EXPECT_EQ(e.Time(), t / 1000 * 1000) << t;
    }
    // What two hour digits cannot hold shows as the largest time, not a
    // mangled one; a negative time as zero, as the decoder shows it.
    e.SetTime(int64_t(100) * 3600 * Unit_Nano);
    EXPECT_EQ(e.Text(), QString("99:59:59.999"));
    e.SetTime(-5);
    EXPECT_EQ(e.Text(), QString("00:00:00.000"));
    // Text with places that cannot hold its characters leaves them empty.
    e.SetText("ab:1x:22.3y4");
    EXPECT_EQ(e.Text(), QString("  :1 :22.3 4"));
    for (const char* s : {"  :  :  .   ", "01:02:03.456", "1 :  :  .   ", "  :  :05.   ", "  :  :  .5  ", "12:34:56.7 9", "99:99:99.999",
                          "00:00:00.000", "7:8", "::.", ""})
        EXPECT_EQ(TzelTimeEdit::ParseTime(s), StrToPTS(s, 3)) << s;
}

// ---- numeric and integer edits --------------------------------------------------------------

TEST(NumericEdit, ShowsItsValueInTheDisplayFormat)
{
    THost host;
    auto* e = new TzelNumericEdit(&host.w);
    e->setGeometry(10, 10, 80, 22);
    e->show();
    EXPECT_EQ(e->text(), QString("0"));
    EXPECT_TRUE(e->alignment() & Qt::AlignRight);
    e->SetValue(12.6);
    EXPECT_EQ(e->text(), QString("13"));
    e->SetValue(2.5);
    EXPECT_EQ(e->text(), QString("3"));
    e->SetValue(-2.5);
    EXPECT_EQ(e->text(), QString("-3"));
    e->SetValue(-0.2);
    EXPECT_EQ(e->text(), QString("0"));
    e->SetValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(e->text(), QString("0"));

    Focus(e);
    e->selectAll();
    QTest::keyClicks(e, "4x5.6");
    EXPECT_EQ(e->text(), QString("45.6"));
    EXPECT_DOUBLE_EQ(e->Value(), 45.6);
    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_EQ(e->text(), QString("46"));
    e->SetRange(0, 40);
    EXPECT_EQ(e->text(), QString("40"));
    e->SetDisplayFormat("#0.00");
    e->SetValue(1.005);
    EXPECT_EQ(e->Decimals(), 2);
    EXPECT_EQ(e->text(), e->FormatValue(1.005));
    e->setText("garbage");
    EXPECT_EQ(e->Value(), 0);
}

TEST(IntegerEdit, DigitsOnlyZeroWhenEmptyAndWithinRange)
{
    THost host;
    auto* e = new TzelEdit(&host.w);
    auto* other = new QLineEdit(&host.w);
    e->setGeometry(10, 10, 80, 22);
    other->setGeometry(10, 40, 80, 22);
    e->show();
    other->show();
    EXPECT_TRUE(e->alignment() & Qt::AlignRight);
    EXPECT_EQ(e->text(), QString("0"));
    Focus(e);
    e->selectAll();
    QTest::keyClicks(e, "-1a2.3");
    EXPECT_EQ(e->text(), QString("123"));
    EXPECT_EQ(e->Value(), 123);
    e->SetMax(100);
    EXPECT_EQ(e->text(), QString("100"));
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
    EXPECT_EQ(e->Value(), 0);
    Focus(other);
    EXPECT_EQ(e->text(), QString("0"));
    e->SetMin(-50);
    Focus(e);
    e->selectAll();
    QTest::keyClicks(e, "-70");
    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_EQ(e->Value(), -50);
    EXPECT_EQ(e->text(), QString("-50"));
    // Eleven digits do not overflow: the value stays within the range.
    e->setText("99999999999");
    EXPECT_EQ(e->Value(), 100);
}

// ---- colour edit ----------------------------------------------------------------------------

TEST(ColorEdit, PicksThroughTheDialogSeam)
{
    THost host;
    auto* e = new TzelColorEdit(&host.w);
    e->setGeometry(10, 10, 120, 22);
    e->show();
    e->SetSelectedColorBGR(16777215);
    QColor asked;
    bool answer = true;
    int calls = 0;
    SetColorDialogHandler([&](QColor& c, QWidget*) {
        ++calls;
        asked = c;
        if (answer)
            c = QColor(47, 47, 47);
        return answer;
    });
    QSignalSpy changed(e, &TzelColorEdit::ColorChanged);
    QTest::mouseClick(e, Qt::LeftButton, {}, QPoint(60, 11));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(asked, QColor(Qt::white));
    EXPECT_EQ(e->SelectedColorBGR(), 3092271);
    EXPECT_EQ(changed.count(), 1);
    // Cancelled: nothing changes, nothing is signalled.
    answer = false;
    Focus(e);
    QTest::keyClick(e, Qt::Key_Space);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(e->SelectedColorBGR(), 3092271);
    EXPECT_EQ(changed.count(), 1);
    // The swatch shows the colour.
    EXPECT_EQ(Pixel(e, 12, 11), QColor(47, 47, 47));
    SetColorDialogHandler({});
}

// ---- track bar ------------------------------------------------------------------------------

TEST(TrackBar, ClickOnTheTrackJumpsThereAndDragsFromThere)
{
    THost host;
    auto* t = new TzelTrackBar(&host.w);
    t->setGeometry(8, 10, 120, 16);
    t->SetMax(t->width() - TzelTrackBar::ThumbSize);  // one step a pixel
    t->show();
    QStringList order;
    QObject::connect(t, &TzelTrackBar::OnMouseDown, [&](Qt::MouseButton, const QPoint&) { order << "down"; });
    QObject::connect(t, &QSlider::valueChanged, [&](int v) { order << QString::number(v); });
    QObject::connect(t, &TzelTrackBar::OnMouseUp, [&](Qt::MouseButton, const QPoint&) { order << "up"; });

    QTest::mousePress(t, Qt::LeftButton, {}, QPoint(60, 8));
    EXPECT_EQ(t->Position(), 50);
    EXPECT_TRUE(t->Dragging());
    QTest::mouseMove(t, QPoint(75, 8));
    QTest::mouseMove(t, QPoint(200, 8));
    QTest::mouseRelease(t, Qt::LeftButton, {}, QPoint(200, 8));
    EXPECT_FALSE(t->Dragging());
    EXPECT_EQ(order, QStringList({"down", "50", "65", "100", "up"}));

    // Taken by the thumb off its centre, it does not jump.
    order.clear();
    t->SetPosition(20);
    order.clear();
    QTest::mousePress(t, Qt::LeftButton, {}, QPoint(34, 8));
    EXPECT_EQ(t->Position(), 20);
    QTest::mouseMove(t, QPoint(44, 8));
    EXPECT_EQ(t->Position(), 30);
    QTest::mouseRelease(t, Qt::LeftButton, {}, QPoint(44, 8));

    // Other buttons report but do not move it.
    order.clear();
    QTest::mouseClick(t, Qt::RightButton, {}, QPoint(100, 8));
    EXPECT_EQ(t->Position(), 30);
    EXPECT_EQ(order, QStringList({"down", "up"}));
}

TEST(TrackBar, KeysStepAndJump)
{
    THost host;
    auto* t = new TzelTrackBar(&host.w);
    t->setGeometry(8, 10, 120, 16);
    t->SetMax(100);
    t->show();
    Focus(t);
    QTest::keyClick(t, Qt::Key_Right);
    EXPECT_EQ(t->Position(), 1);
    QTest::keyClick(t, Qt::Key_PageUp);
    EXPECT_EQ(t->Position(), 11);
    QTest::keyClick(t, Qt::Key_End);
    EXPECT_EQ(t->Position(), 100);
    QTest::keyClick(t, Qt::Key_Left);
    EXPECT_EQ(t->Position(), 99);
    QTest::keyClick(t, Qt::Key_Home);
    EXPECT_EQ(t->Position(), 0);
    // Disabled, as at start: the mouse does nothing.
    t->setEnabled(false);
    QTest::mouseClick(t, Qt::LeftButton, {}, QPoint(60, 8));
    EXPECT_EQ(t->Position(), 0);
}

// ---- buttons that check ---------------------------------------------------------------------

TEST(CheckAndRadio, TheCaptionTakesTheClickAndGroupsKeepOne)
{
    THost host;
    auto* c = new TzelCheckBox("Use crop", &host.w);
    c->setGeometry(10, 10, 120, 20);
    c->show();
    QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(80, 10));
    EXPECT_TRUE(c->isChecked());

    auto* g = new TzelRadioGroup(&host.w);
    g->setTitle("Sequence");
    g->setGeometry(10, 40, 200, 100);
    g->SetItems({"Original", "Reverse Order", "Ping-Pong Seamless Loop"});
    g->show();
    EXPECT_EQ(g->ItemIndex(), -1);
    QSignalSpy changed(g, &TzelRadioGroup::ItemIndexChanged);
    QTest::mouseClick(g->Button(2), Qt::LeftButton, {}, QPoint(60, 8));
    EXPECT_EQ(g->ItemIndex(), 2);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toInt(), 2);
    g->SetItemIndex(-1);
    EXPECT_EQ(g->ItemIndex(), -1);
    g->SetItemIndex(7);
    EXPECT_EQ(g->ItemIndex(), -1);
    g->SetItemIndex(0);
    EXPECT_EQ(g->ItemIndex(), 0);
}

// ---- combo boxes ----------------------------------------------------------------------------

TEST(ComboBoxes, ListEditableAndFontWithPreview)
{
    THost host;
    auto* list = new TzelComboBox(&host.w);
    list->addItems({"Keep Original", "20%", "50%"});
    EXPECT_FALSE(list->isEditable());
    auto* edit = new TzelComboBox(&host.w, TzelComboBox::csDropDown);
    edit->addItems({"4", "8", "12"});
    edit->setGeometry(10, 40, 80, 22);
    edit->show();
    Focus(edit);
    edit->lineEdit()->selectAll();
    QTest::keyClicks(edit->lineEdit(), "17");
    EXPECT_EQ(edit->Text(), QString("17"));

    auto* font = new TzelFontComboBox(&host.w);
    font->setGeometry(10, 70, 160, 22);
    font->show();
    EXPECT_FALSE(font->isEditable());
    const QString family = QFontDatabase::families().value(0);
    ASSERT_FALSE(family.isEmpty());
    QSignalSpy changed(font, &QFontComboBox::currentFontChanged);
    font->SetFontName(family);
    EXPECT_EQ(font->FontName(), family);
    // Keys choose the next family.
    Focus(font);
    const int before = font->currentIndex();
    QTest::keyClick(font, Qt::Key_Down);
    if (font->count() > before + 1) {
        EXPECT_EQ(font->currentIndex(), before + 1);
        EXPECT_EQ(changed.count(), 2);
    }
}

// ---- pop-up menu ----------------------------------------------------------------------------

TEST(PopupMenu, ShowsRunsAnItemAndCloses)
{
    TzelPopupMenu menu;
    QPixmap img(16, 16);
    img.fill(Qt::red);
    menu.SetImages({img});
    QAction* first = menu.AddItem("Start time", 0);
    menu.addSeparator();
    QAction* off = menu.AddItem("Disabled");
    off->setEnabled(false);
    QAction* check = menu.AddItem("Checked");
    check->setCheckable(true);
    check->setChecked(true);
    QAction* last = menu.AddItem("Play selection");
    EXPECT_FALSE(first->icon().isNull());

    // Closed by a timer while exec blocks.
    QTimer::singleShot(200, &menu, [&] { menu.close(); });
    EXPECT_EQ(menu.exec(QPoint(50, 50)), nullptr);
    EXPECT_FALSE(menu.isVisible());

    // Keys walk past the separator and the disabled item both ways: up to
    // the last, the checked one, the first; down to the checked one.
    QTimer::singleShot(200, &menu, [&] {
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(&menu, Qt::Key_Up);
        EXPECT_EQ(menu.activeAction(), first);
        QTest::keyClick(&menu, Qt::Key_Down);
        QTest::keyClick(&menu, Qt::Key_Return);
    });
    QAction* chosen = menu.exec(QPoint(50, 50));
    EXPECT_EQ(chosen, check) << (chosen ? qPrintable(chosen->text()) : "none");
    EXPECT_NE(chosen, last);

    // Drawn: menu colour 16251129 at the right, the image column's gradient
    // at the left, the red image in it.
    menu.popup(QPoint(40, 40));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    const QImage shot = menu.grab().toImage();
    const QRect firstRect = menu.actionGeometry(first);
    EXPECT_EQ(shot.pixelColor(shot.width() - 6, menu.actionGeometry(check).center().y()), ColorFromBGR(16251129));
    EXPECT_NE(shot.pixelColor(3, 60), shot.pixelColor(TzelMenuStyle::ColumnWidth - 2, 60));
    EXPECT_EQ(shot.pixelColor(15, firstRect.center().y()), QColor(Qt::red));
    menu.close();
}

// ---- containers and lines ---------------------------------------------------------------------

TEST(Containers, ColoursAsTheFormsGiveThem)
{
    THost host;
    auto* panel = new TzelPanel(&host.w);
    panel->setGeometry(0, 0, 100, 50);
    panel->SetColorBGR(15987699);
    panel->SetBorderBGR(1, 14671839);
    panel->show();
    EXPECT_EQ(Pixel(panel, 50, 25), QColor(243, 243, 243));
    EXPECT_EQ(Pixel(panel, 0, 25), ColorFromBGR(14671839));
    panel->SetRadius(6);
    EXPECT_NE(Pixel(panel, 0, 0), ColorFromBGR(14671839));

    auto* group = new TzelGroupBox(&host.w);
    group->setGeometry(0, 60, 100, 50);
    group->SetFrameColorBGR(12371657);
    group->show();
    EXPECT_EQ(Pixel(group, 0, 25), ColorFromBGR(12371657));

    auto* bar = new TzelProgressBar(&host.w);
    bar->setGeometry(0, 120, 100, 10);
    bar->SetPercent(150);
    EXPECT_EQ(bar->Percent(), 100);
    bar->SetPercent(50);
    EXPECT_FALSE(bar->isTextVisible());
    EXPECT_NE(Pixel(bar, 25, 5), Pixel(bar, 75, 5));

    auto* sep = new TzelSeparator(&host.w, Qt::Vertical);
    sep->setGeometry(0, 140, 1, 32);
    sep->SetColorBGR(3092271);
    EXPECT_EQ(Pixel(sep, 0, 10), QColor(47, 47, 47));
}

// ---- values set without signals ---------------------------------------------------------------

TEST(SetNoChange, EveryKindTakesTheValueAndFiresNothing)
{
    THost host;
    QWidget* p = &host.w;
    auto expectQuiet = [](QObject* o, const QVariant& v) {
        TAllSignals all(o);
        EXPECT_TRUE(SetNoChange(o, v)) << o->metaObject()->className();
        EXPECT_EQ(all.Count(), 0) << o->metaObject()->className();
    };
    auto* time = new TzelTimeEdit(p);
    expectQuiet(time, QString("00:00:01.250"));
    EXPECT_EQ(time->Time(), 1250000);
    expectQuiet(time, QVariant::fromValue<qlonglong>(2000000));
    EXPECT_EQ(time->Text(), QString("00:00:02.000"));
    expectQuiet(time, QString("  :  :  .   "));
    EXPECT_EQ(time->Time(), TzelTimeEdit::NoTime);

    auto* track = new TzelTrackBar(p);
    expectQuiet(track, 42);
    EXPECT_EQ(track->Position(), 42);

    auto* list = new TzelComboBox(p);
    list->addItems({"Keep Original", "20%", "50%"});
    expectQuiet(list, 2);
    EXPECT_EQ(list->currentIndex(), 2);
    expectQuiet(list, QString("20%"));
    EXPECT_EQ(list->currentIndex(), 1);
    auto* editable = new TzelComboBox(p, TzelComboBox::csDropDown);
    editable->addItems({"4", "8"});
    expectQuiet(editable, QString("17"));
    EXPECT_EQ(editable->Text(), QString("17"));

    auto* check = new TzelCheckBox("Use crop", p);
    expectQuiet(check, true);
    EXPECT_TRUE(check->isChecked());

    auto* holder = new QWidget(p);
    auto* r1 = new TzelRadioButton("Original", holder);
    auto* r2 = new TzelRadioButton("Reverse Order", holder);
    r1->setChecked(true);
    TAllSignals sibling(r1);
    expectQuiet(r2, true);
    EXPECT_TRUE(r2->isChecked());
    EXPECT_FALSE(r1->isChecked());
    EXPECT_EQ(sibling.Count(), 0);

    auto* font = new TzelFontComboBox(p);
    const QString family = QFontDatabase::families().value(1, QFontDatabase::families().value(0));
    expectQuiet(font, family);
    EXPECT_EQ(font->FontName(), family);

    auto* color = new TzelColorEdit(p);
    expectQuiet(color, 3092271);
    EXPECT_EQ(color->SelectedColor(), QColor(47, 47, 47));
    expectQuiet(color, QColor(1, 2, 3));
    EXPECT_EQ(color->SelectedColorBGR(), 0x030201);

    auto* group = new TzelRadioGroup(p);
    group->SetItems({"a", "b", "c"});
    group->SetItemIndex(0);
    expectQuiet(group, 2);
    EXPECT_EQ(group->ItemIndex(), 2);

    auto* num = new TzelNumericEdit(p);
    expectQuiet(num, 12.6);
    EXPECT_EQ(num->text(), QString("13"));

    auto* integer = new TzelEdit(p);
    integer->SetMax(100);
    expectQuiet(integer, 250);
    EXPECT_EQ(integer->Value(), 100);
    EXPECT_EQ(integer->text(), QString("100"));

    // A kind nobody knows is refused, not guessed at.
    QLabel label;
    EXPECT_FALSE(SetNoChange(&label, 1));
    EXPECT_FALSE(SetNoChange(nullptr, 1));
}

// ---- accessibility --------------------------------------------------------------------------

TEST(Accessible, EveryControlReportsItsRoleAndAName)
{
    THost host;
    QWidget* p = &host.w;
    struct TCase {
        QWidget* w;
        QAccessible::Role role;
        QString name;
    };
    auto named = [](QWidget* w, const char* objectName) {
        w->setObjectName(objectName);
        return w;
    };
    auto* time = new TzelTimeEdit(p);
    time->setObjectName("edtStart");
    time->SetHint("Start time");
    auto* check = new TzelCheckBox("Use &crop", p);
    auto* group = new TzelGroupBox("Output size", p);
    auto* integer = new TzelEdit(p);
    integer->setObjectName("edtCropX");
    auto* menu = new TzelPopupMenu(p);
    menu->setObjectName("pmShotView");
    const std::vector<TCase> cases = {
        {time, QAccessible::EditableText, "Start time"},
        {named(new TzelNumericEdit(p), "edtMax"), QAccessible::EditableText, "Max"},
        {integer, QAccessible::EditableText, ControlDisplayName({}, {}, "edtCropX")},
        {named(new TzelColorEdit(p), "ceCrop"), QAccessible::Button, "Crop"},
        {named(new TzelComboBox(p), "cbFrameRate"), QAccessible::ComboBox, "Frame rate"},
        {named(new TzelFontComboBox(p), "cbFont"), QAccessible::ComboBox, "Font"},
        {check, QAccessible::CheckBox, "Use crop"},
        {new TzelRadioButton("Reverse Order", p), QAccessible::RadioButton, "Reverse Order"},
        {named(new TzelRadioGroup(p), "rbSequence"), QAccessible::Grouping, "Sequence"},
        {named(new TzelTrackBar(p), "TrackBar"), QAccessible::Slider, "Track bar"},
        {named(new TzelPanel(p), "pnlPlayer"), QAccessible::Pane, "Player"},
        {group, QAccessible::Grouping, "Output size"},
        {named(new TzelProgressBar(p), "pbConvert"), QAccessible::ProgressBar, "Convert"},
        {named(new TzelSeparator(p, Qt::Vertical), "spToolbar"), QAccessible::Separator, "Toolbar"},
        {menu, QAccessible::PopupMenu, "Shot view"},
    };
    for (const TCase& c : cases) {
        c.w->show();
        QApplication::processEvents();
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c.w);
        ASSERT_NE(a, nullptr) << c.w->metaObject()->className();
        EXPECT_EQ(a->role(), c.role) << c.w->metaObject()->className();
        // Qt on Linux reports a combo box's current text as its name and
        // leaves the label to a relation; the name we give stands beside it.
        if (a->role() == QAccessible::ComboBox)
            EXPECT_EQ(c.w->accessibleName(), c.name) << c.w->metaObject()->className();
        else
            EXPECT_EQ(a->text(QAccessible::Name), c.name) << c.w->metaObject()->className();
    }
    // A name the form gives itself stays.
    time->setAccessibleName("Clip start");
    time->update();
    QApplication::processEvents();
    EXPECT_EQ(QAccessible::queryAccessibleInterface(time)->text(QAccessible::Name), QString("Clip start"));
    menu->hide();
}
