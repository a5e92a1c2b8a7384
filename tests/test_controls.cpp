// The controls package driven with real mouse and key events: the skinned
// button, the thumbnail strip (thumbnails are fixture pictures that show their
// own index, read back from what the strip painted) and the crop editor.
#include "TestSupport.h"

#include "FixtureVideo.h"
#include "TzelButton.h"
#include "TzelDrawCrop.h"
#include "TzelGroupView.h"
#include "ZelAccessible.h"
#include "ZelWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <climits>
#include <map>
#include <set>

namespace {
// Fixture pictures as BMP files: photo i shows index i.
QStringList WriteFrames(const QString& dir, int count, int w = 160, int h = 90)
{
    TFixtureVideo clip;
    clip.Width = w;
    clip.Height = h;
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString f = QDir(dir).filePath(QString("frame%1.bmp").arg(i));
        if (!QFile::exists(f)) {
            EXPECT_TRUE(FixtureFramePicture(clip, i).save(f, "BMP"));
        }
        files << f;
    }
    return files;
}

QString FramesDir()
{
    static const QString dir = MakeTempDir("controls");
    return dir;
}

// The index a painted photo shows, read from a grab of the viewport.
int PaintedIndex(TzelGroupView& view, TzelPhoto* photo)
{
    const QImage shot = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB888);
    const QRect r = view.ImageRect(photo).toAlignedRect().intersected(shot.rect());
    return r.isEmpty() ? -1 : ReadFixtureIndex(shot.copy(r));
}

std::set<int> SelectedIndices(const TzelGroupView& view)
{
    std::set<int> out;
    for (int i = 0; i < view.GetSelCount(); ++i)
        out.insert(view.GetSelPhoto(i)->Index());
    return out;
}

QPoint PhotoCentre(TzelGroupView& view, int i) { return view.PhotoRect(view.Photo(i)).center(); }

struct Strip {
    TzelGroupView view;
    QStringList files;
    explicit Strip(int count, int w = 160, int h = 90)
    {
        files = WriteFrames(FramesDir() + QString("/%1x%2").arg(w).arg(h), count, w, h);
        view.resize(742, 121);
        for (const QString& f : files)
            view.AddPhoto(f);
        view.UpdatePhotos();
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
};

void Click(QWidget* w, const QPoint& p, Qt::KeyboardModifiers mods = {}, Qt::MouseButton b = Qt::LeftButton)
{
    QTest::mouseClick(w, b, mods, p);
}
}  // namespace

// ---- strip ------------------------------------------------------------------

TEST(GroupView, PaintsEachPhotoInPlaceAndScrollsToBothEnds)
{
    QDir().mkpath(FramesDir() + "/160x90");
    Strip s(20);
    EXPECT_EQ(s.view.PhotoCount(), 20);
    for (int i : {0, 1, 4})
        EXPECT_EQ(PaintedIndex(s.view, s.view.Photo(i)), i);

    const int max = s.view.ScrollMax();
    EXPECT_GT(max, 0);
    s.view.SetScrollPos(INT_MAX);
    EXPECT_EQ(s.view.ScrollPos(), max);
    EXPECT_EQ(s.view.horizontalScrollBar()->value(), max);
    const QRect last = s.view.PhotoRect(s.view.Photo(19));
    EXPECT_LE(last.right(), s.view.viewport()->width() - 1);
    EXPECT_GE(last.left(), 0);
    EXPECT_EQ(PaintedIndex(s.view, s.view.Photo(19)), 19);

    s.view.SetScrollPos(0);
    EXPECT_EQ(s.view.ScrollPos(), 0);
    s.view.SetScrollPos(-7);
    EXPECT_EQ(s.view.ScrollPos(), 0);

    // Grown by a group after it was shown: the far end is the new one, at once.
    for (int i = 0; i < 5; ++i)
        s.view.AddPhoto(s.files[i]);
    s.view.UpdatePhotos();
    s.view.SetScrollPos(INT_MAX);
    EXPECT_EQ(s.view.ScrollPos(), max + 5 * s.view.CellSize().width());

    // Fewer photos than room: nothing to scroll.
    s.view.Clear();
    s.view.AddPhoto(s.files[0]);
    s.view.UpdatePhotos();
    s.view.SetScrollPos(INT_MAX);
    EXPECT_EQ(s.view.ScrollPos(), 0);
    EXPECT_EQ(s.view.FocusedPhoto(), nullptr);
}

TEST(GroupView, ReadsEachThumbnailOnceAndOnlyWhenVisible)
{
    Strip s(0);
    const QStringList files = WriteFrames(FramesDir() + "/160x90", 200);
    std::map<QString, int> reads;
    s.view.SetThumbLoader([&](const QString& f, const QSize& box) {
        ++reads[f];
        return TzelGroupView::LoadThumbnail(f, box);
    });
    for (const QString& f : files)
        s.view.AddPhoto(f);
    s.view.UpdatePhotos();
    s.view.viewport()->repaint();
    const int visible = s.view.viewport()->width() / s.view.CellSize().width() + 1;
    EXPECT_LE(int(reads.size()), visible + 1);
    EXPECT_GE(int(reads.size()), visible - 1);

    // End to end and back, a page at a time.
    for (int pass = 0; pass < 2; ++pass) {
        for (int pos = 0; pos <= s.view.ScrollMax(); pos += s.view.viewport()->width() / 2) {
            s.view.SetScrollPos(pos);
            s.view.viewport()->repaint();
        }
        s.view.SetScrollPos(INT_MAX);
        s.view.viewport()->repaint();
    }
    EXPECT_EQ(int(reads.size()), 200);
    for (const auto& [file, n] : reads)
        EXPECT_EQ(n, 1) << file.toStdString();
    // Only the thumbnail is kept, at the box size.
    EXPECT_LE(s.view.Photo(3)->Thumbnail().width(), 128);
    EXPECT_LE(s.view.Photo(3)->Thumbnail().height(), 72);

    // The files may go away: the strip paints what it read.
    const QString dir = MakeTempDir("controls-gone");
    for (int i = 0; i < 3; ++i)
        QFile::copy(files[i], dir + QString("/%1.bmp").arg(i));
    s.view.Clear();
    for (int i = 0; i < 3; ++i)
        s.view.AddPhoto(dir + QString("/%1.bmp").arg(i));
    s.view.UpdatePhotos();
    s.view.viewport()->repaint();
    for (int i = 0; i < 3; ++i)
        QFile::remove(dir + QString("/%1.bmp").arg(i));
    s.view.viewport()->repaint();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(PaintedIndex(s.view, s.view.Photo(i)), i);
}

namespace {
double MeanDiff(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    if (x.size() != y.size())
        return 1e9;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int i = 0; i < x.width() * 3; ++i)
            sum += std::abs(int(x.constScanLine(row)[i]) - int(y.constScanLine(row)[i]));
    return sum / (x.width() * x.height() * 3);
}

// A bitmap file written by hand: 24 or 32 bits, rows top-down or bottom-up.
QByteArray BitmapBytes(const QImage& src, int bpp, bool topDown)
{
    const QImage img = src.convertToFormat(QImage::Format_RGB32);
    const int rowBytes = (img.width() * bpp / 8 + 3) & ~3;
    QByteArray out(54, '\0');
    auto put32 = [&](int at, uint32_t v) { for (int i = 0; i < 4; ++i) out[at + i] = char((v >> (8 * i)) & 0xFF); };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, uint32_t(54 + rowBytes * img.height()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(img.width()));
    put32(22, uint32_t(topDown ? -img.height() : img.height()));
    out[26] = 1;
    out[28] = char(bpp);
    for (int r = 0; r < img.height(); ++r) {
        const int y = topDown ? r : img.height() - 1 - r;
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            const int at = x * bpp / 8;
            row[at] = char(qBlue(c));
            row[at + 1] = char(qGreen(c));
            row[at + 2] = char(qRed(c));
        }
        out += row;
    }
    return out;
}
}  // namespace

TEST(GroupView, BitmapThumbnailsMatchAFullSmoothScale)
{
    TFixtureVideo clip;
    clip.Width = 1280;
    clip.Height = 720;
    const QString dir = MakeTempDir("controls-bmp");
    for (int index : {5, 1234}) {
        const QImage picture = FixtureFramePicture(clip, index);
        const QImage reference = picture.scaled(128, 72, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        struct Variant { const char* name; int bpp; bool topDown; };
        for (const Variant v : {Variant{"24 bottom-up", 24, false}, Variant{"24 top-down", 24, true}, Variant{"32 bottom-up", 32, false}}) {
            SCOPED_TRACE(v.name);
            const QString f = dir + QString("/%1-%2-%3.bmp").arg(index).arg(v.bpp).arg(v.topDown);
            WriteText(f, BitmapBytes(picture, v.bpp, v.topDown));
            const QImage thumb = TzelGroupView::LoadThumbnail(f, QSize(128, 72));
            ASSERT_EQ(thumb.size(), QSize(128, 72));
            EXPECT_EQ(ReadFixtureIndex(thumb), index);
            EXPECT_LT(MeanDiff(thumb, reference), 6.0);
        }
        // Qt's own writer, as the frame files are laid out.
        const QString q = dir + QString("/%1-qt.bmp").arg(index);
        ASSERT_TRUE(picture.save(q, "BMP"));
        EXPECT_LT(MeanDiff(TzelGroupView::LoadThumbnail(q, QSize(128, 72)), reference), 6.0);
        // A portrait box: fitted by height.
        EXPECT_EQ(TzelGroupView::LoadThumbnail(q, QSize(40, 100)).size(), QSize(40, 22));
    }
    // Cut short: no thumbnail from the rows that are missing, and no crash.
    const QString cut = dir + "/cut.bmp";
    WriteText(cut, BitmapBytes(FixtureFramePicture(clip, 7), 24, false).left(54 + 3840 * 100));
    const QImage partial = TzelGroupView::LoadThumbnail(cut, QSize(128, 72));
    EXPECT_TRUE(partial.isNull() || partial.width() <= 128);
    // A header that claims an absurd size.
    QByteArray huge = BitmapBytes(QImage(8, 8, QImage::Format_RGB32), 24, false);
    huge[18] = char(0xFF);
    huge[19] = char(0xFF);
    huge[20] = char(0xFF);
    huge[21] = char(0x7F);
    WriteText(dir + "/huge.bmp", huge);
    EXPECT_TRUE(TzelGroupView::LoadThumbnail(dir + "/huge.bmp", QSize(128, 72)).isNull());
}

TEST(GroupView, UnreadableFilesPaintAPlaceholderAndAreNotRetried)
{
    Strip s(0);
    const QString dir = MakeTempDir("controls-bad");
    WriteText(dir + "/text.bmp", "not a picture");
    WriteText(dir + "/empty.bmp", "");
    int loads = 0;
    s.view.SetThumbLoader([&](const QString& f, const QSize& box) {
        ++loads;
        return TzelGroupView::LoadThumbnail(f, box);
    });
    s.view.AddPhoto(dir + "/text.bmp");
    s.view.AddPhoto(dir + "/empty.bmp");
    s.view.AddPhoto(dir + "/missing.bmp");
    s.view.AddPhoto(QString());
    s.view.UpdatePhotos();
    s.view.viewport()->repaint();
    s.view.viewport()->repaint();
    EXPECT_EQ(loads, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(s.view.Photo(i)->ThumbnailLoaded());
        EXPECT_TRUE(s.view.Photo(i)->Thumbnail().isNull());
        EXPECT_EQ(s.view.ImageRect(s.view.Photo(i)).size(), QSizeF(128, 72));
    }
}

TEST(GroupView, DrawPhotoGetsTheTextBandAndTheFittedImage)
{
    // 4:3 frames in the 16:9 box: 96 x 72, centred.
    QDir().mkpath(FramesDir() + "/160x120");
    Strip s(12, 160, 120);
    struct Call { TzelPhoto* photo; QRectF text, image; };
    std::vector<Call> calls;
    QObject::connect(&s.view, &TzelGroupView::OnDrawPhoto, [&](TzelPhoto* p, QPainter* painter, const QRectF& text, const QRectF& image) {
        ASSERT_NE(painter, nullptr);
        calls.push_back({p, text, image});
    });
    s.view.ResetPaintedPhotos();
    s.view.viewport()->repaint();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(int(calls.size()), s.view.PaintedPhotos());
    EXPECT_LE(int(calls.size()), s.view.viewport()->width() / s.view.CellSize().width() + 2);
    for (const Call& c : calls) {
        const QRect cell = s.view.PhotoRect(c.photo);
        EXPECT_DOUBLE_EQ(c.image.width(), 96);
        EXPECT_DOUBLE_EQ(c.image.height(), 72);
        EXPECT_DOUBLE_EQ(c.image.left(), cell.left() + TzelGroupView::CellPadding + 16);
        EXPECT_DOUBLE_EQ(c.text.top(), cell.top() + TzelGroupView::CellPadding + 72);
        EXPECT_DOUBLE_EQ(c.text.height(), 20);
        EXPECT_DOUBLE_EQ(c.text.width(), 128);
        EXPECT_EQ(c.image, s.view.ImageRect(c.photo));
    }
    EXPECT_EQ(PaintedIndex(s.view, s.view.Photo(2)), 2);
}

TEST(GroupView, MouseSelectionFiresOncePerChange)
{
    Strip s(12);
    int changes = 0;
    QObject::connect(&s.view, &TzelGroupView::OnSelectedChange, [&] { ++changes; });
    QWidget* vp = s.view.viewport();

    Click(vp, PhotoCentre(s.view, 2));
    EXPECT_EQ(SelectedIndices(s.view), (std::set<int>{2}));
    EXPECT_EQ(s.view.FocusedPhoto(), s.view.Photo(2));
    EXPECT_EQ(changes, 1);

    Click(vp, PhotoCentre(s.view, 2));   // nothing changes
    EXPECT_EQ(changes, 1);

    Click(vp, PhotoCentre(s.view, 5), Qt::ShiftModifier);
    EXPECT_EQ(SelectedIndices(s.view), (std::set<int>{2, 3, 4, 5}));
    EXPECT_EQ(s.view.FocusedPhoto(), s.view.Photo(5));
    EXPECT_EQ(changes, 2);

    Click(vp, PhotoCentre(s.view, 3), Qt::ControlModifier);
    EXPECT_EQ(SelectedIndices(s.view), (std::set<int>{2, 4, 5}));
    Click(vp, PhotoCentre(s.view, 0), Qt::ControlModifier);
    EXPECT_EQ(SelectedIndices(s.view), (std::set<int>{0, 2, 4, 5}));
    EXPECT_EQ(changes, 4);
    // In strip order, whatever the order of the clicks.
    EXPECT_EQ(s.view.GetSelPhoto(0), s.view.Photo(0));
    EXPECT_EQ(s.view.GetSelPhoto(3), s.view.Photo(5));
    EXPECT_EQ(s.view.GetSelPhoto(4), nullptr);
    EXPECT_EQ(s.view.GetSelPhoto(-1), nullptr);

    // A plain click on one of several selected photos keeps only it.
    Click(vp, PhotoCentre(s.view, 4));
    EXPECT_EQ(SelectedIndices(s.view), (std::set<int>{4}));
    EXPECT_EQ(changes, 5);

    // The interface's own changes do not fire.
    s.view.ClearSelected();
    s.view.Photo(7)->SetSelected(true);
    s.view.Photo(8)->SetSelected(true);
    s.view.SetFocusedPhoto(s.view.Photo(8));
    s.view.Photo(8)->MakeVisible();
    EXPECT_EQ(SelectedIndices(s.view), (std::set<int>{7, 8}));
    EXPECT_TRUE(s.view.Photo(7)->Selected());
    s.view.Photo(7)->SetSelected(false);
    EXPECT_EQ(s.view.GetSelCount(), 1);
    s.view.Clear();
    EXPECT_EQ(s.view.GetSelCount(), 0);
    EXPECT_EQ(changes, 5);

    // Clicking empty space after the last photo clears the selection: a change.
    for (int i = 0; i < 2; ++i)
        s.view.AddPhoto(s.files[i]);
    s.view.UpdatePhotos();
    Click(vp, PhotoCentre(s.view, 1));
    EXPECT_EQ(changes, 6);
    Click(vp, QPoint(vp->width() - 5, 20));
    EXPECT_EQ(s.view.GetSelCount(), 0);
    EXPECT_EQ(changes, 7);
}

TEST(GroupView, SingleSelectionIgnoresModifiers)
{
    Strip s(6);
    s.view.SetMultiSelect(false);
    Click(s.view.viewport(), PhotoCentre(s.view, 1));
    Click(s.view.viewport(), PhotoCentre(s.view, 3), Qt::ControlModifier);
    EXPECT_EQ(SelectedIndices(s.view), (std::set<int>{3}));
    Click(s.view.viewport(), PhotoCentre(s.view, 5), Qt::ShiftModifier);
    EXPECT_EQ(SelectedIndices(s.view), (std::set<int>{5}));
    s.view.Photo(0)->SetSelected(true);
    EXPECT_EQ(SelectedIndices(s.view), (std::set<int>{0}));
}

TEST(GroupView, KeyboardMovesFocusSelectionAndScroll)
{
    Strip s(30);
    int changes = 0;
    QObject::connect(&s.view, &TzelGroupView::OnSelectedChange, [&] { ++changes; });
    s.view.setFocus();
    s.view.SetFocusedPhoto(s.view.Photo(0));
    s.view.Photo(0)->SetSelected(true);
    EXPECT_EQ(changes, 0);

    QTest::keyClick(&s.view, Qt::Key_Right);
    EXPECT_EQ(s.view.FocusedPhoto(), s.view.Photo(1));
    EXPECT_EQ(SelectedIndices(s.view), (std::set<int>{1}));
    EXPECT_EQ(changes, 1);
    QTest::keyClick(&s.view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&s.view, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(SelectedIndices(s.view), (std::set<int>{1, 2, 3}));
    EXPECT_EQ(changes, 3);
    QTest::keyClick(&s.view, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(SelectedIndices(s.view), (std::set<int>{1, 2}));

    QTest::keyClick(&s.view, Qt::Key_End);
    EXPECT_EQ(s.view.FocusedPhoto(), s.view.Photo(29));
    EXPECT_EQ(SelectedIndices(s.view), (std::set<int>{29}));
    EXPECT_LE(s.view.PhotoRect(s.view.Photo(29)).right(), s.view.viewport()->width() - 1);
    EXPECT_GE(s.view.PhotoRect(s.view.Photo(29)).left(), 0);
    QTest::keyClick(&s.view, Qt::Key_Right);   // at the end: no change
    EXPECT_EQ(s.view.FocusedPhoto(), s.view.Photo(29));
    const int before = changes;
    QTest::keyClick(&s.view, Qt::Key_Home);
    EXPECT_EQ(s.view.FocusedPhoto(), s.view.Photo(0));
    EXPECT_EQ(s.view.ScrollPos(), 0);
    EXPECT_EQ(changes, before + 1);

    QTest::keyClick(&s.view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(s.view.GetSelCount(), 30);
    EXPECT_EQ(changes, before + 2);

    // The owner sees every key first; one it accepts goes no further.
    std::vector<int> keys;
    QObject::connect(&s.view, &TzelGroupView::OnKeyDown, [&](QKeyEvent* e) {
        keys.push_back(e->key());
        if (e->key() == Qt::Key_Delete || e->key() == Qt::Key_Right)
            e->accept();
    });
    QTest::keyClick(&s.view, Qt::Key_Delete);
    QTest::keyClick(&s.view, Qt::Key_Right);
    EXPECT_EQ(keys, (std::vector<int>{Qt::Key_Delete, Qt::Key_Right}));
    EXPECT_EQ(s.view.FocusedPhoto(), s.view.Photo(0));
    EXPECT_EQ(s.view.GetSelCount(), 30);
    EXPECT_EQ(changes, before + 2);
}

TEST(GroupView, WheelScrollsAlongTheStrip)
{
    Strip s(30);
    const int cell = s.view.CellSize().width();
    auto wheel = [&](QPoint angle, QPoint pixels = {}) {
        const QPointF pos(50, 40);
        QWheelEvent e(pos, s.view.viewport()->mapToGlobal(pos), pixels, angle, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(s.view.viewport(), &e);
        return e.isAccepted();
    };
    EXPECT_TRUE(wheel({0, -120}));
    EXPECT_EQ(s.view.ScrollPos(), cell);
    wheel({0, -240});
    EXPECT_EQ(s.view.ScrollPos(), 3 * cell);
    wheel({120, 0});   // a sideways wheel works too
    EXPECT_EQ(s.view.ScrollPos(), 2 * cell);
    wheel({}, {0, -30});   // touchpad pixels
    EXPECT_EQ(s.view.ScrollPos(), 2 * cell + 30);
    s.view.SetScrollPos(0);
    EXPECT_FALSE(wheel({0, 120}));   // at the start: passed on to the parent
    EXPECT_EQ(s.view.ScrollPos(), 0);
    for (int i = 0; i < 100; ++i)
        wheel({0, -120});
    EXPECT_EQ(s.view.ScrollPos(), s.view.ScrollMax());
}

TEST(GroupView, InsertKeepsOrderLinksAndDataPointers)
{
    Strip s(0);
    const QStringList files = WriteFrames(FramesDir() + "/160x90", 6);
    int tags[6] = {0, 1, 2, 3, 4, 5};
    for (int i = 3; i < 6; ++i)
        s.view.AddPhoto(files[i])->Data = &tags[i];
    for (int i = 2; i >= 0; --i)   // the prior group, last frame first
        s.view.InsertPhoto(files[i], 0)->Data = &tags[i];
    s.view.UpdatePhotos();
    s.view.viewport()->repaint();
    ASSERT_EQ(s.view.PhotoCount(), 6);
    for (int i = 0; i < 6; ++i) {
        TzelPhoto* p = s.view.Photo(i);
        EXPECT_EQ(p->Index(), i);
        EXPECT_EQ(p->Data, &tags[i]);
        EXPECT_EQ(p->FileName(), files[i]);
        EXPECT_EQ(p->NextPhoto(), s.view.Photo(i + 1));
        EXPECT_EQ(p->PrevPhoto(), i ? s.view.Photo(i - 1) : nullptr);
        if (i < 5) {
            EXPECT_EQ(PaintedIndex(s.view, p), i);   // the ones in view
        }
    }
    EXPECT_EQ(s.view.Photo(5)->NextPhoto(), nullptr);
    EXPECT_EQ(s.view.Photo(6), nullptr);
    // A selection survives an insert in front of it.
    s.view.Photo(1)->SetSelected(true);
    s.view.InsertPhoto(files[0], 0);
    EXPECT_EQ(s.view.GetSelPhoto(0), s.view.Photo(2));
    EXPECT_EQ(s.view.InsertPhoto(files[0], 99)->Index(), 7);   // out of range: appended
}

TEST(GroupView, RightClickSelectsAndShowsThePopupMenu)
{
    Strip s(8);
    int changes = 0, popups = 0;
    QObject::connect(&s.view, &TzelGroupView::OnSelectedChange, [&] { ++changes; });
    QMenu menu;
    menu.addAction("Delete");
    bool shown = false;
    QObject::connect(&menu, &QMenu::aboutToShow, [&] {
        shown = true;
        EXPECT_EQ(SelectedIndices(s.view), (std::set<int>{3}));   // the owner sees the new selection
        QTimer::singleShot(0, &menu, &QMenu::close);
    });
    QObject::connect(&s.view, &TzelGroupView::OnPopup, [&](const QPoint& p) {
        ++popups;
        EXPECT_EQ(s.view.PhotoAt(p), s.view.Photo(3));
    });
    s.view.SetPopupMenu(&menu);
    const QPoint at = PhotoCentre(s.view, 3);
    QTest::mousePress(s.view.viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(s.view.viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent ev(QContextMenuEvent::Mouse, at, s.view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(s.view.viewport(), &ev);
    EXPECT_TRUE(shown);
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(changes, 1);
}

TEST(GroupView, IsAnAccessibleListOfNamedPhotos)
{
    Strip s(4);
    s.view.Photo(1)->SetCaption("00:00:00.040");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&s.view);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::List);
    ASSERT_EQ(a->childCount(), 4);
    std::vector<QString> names;
    for (int i = 0; i < a->childCount(); ++i)
        names.push_back(a->child(i)->text(QAccessible::Name));
    EXPECT_EQ(names[0], "Photo 1");
    EXPECT_EQ(names[1], "00:00:00.040");
    EXPECT_EQ(a->child(0)->role(), QAccessible::ListItem);
}

// ---- crop editor --------------------------------------------------------------

namespace {
struct CropBench {
    QWidget panel;
    TzelDrawCrop crop;
    const QRect bounds{60, 40, 300, 200};   // deliberately not at (0, 0)
    const QRect start{120, 90, 100, 60};
    std::vector<QRect> changes;
    CropBench()
    {
        panel.resize(420, 300);
        panel.setAutoFillBackground(true);
        QPalette pal = panel.palette();
        pal.setColor(QPalette::Window, Qt::white);
        panel.setPalette(pal);
        QObject::connect(&crop, &TzelDrawCrop::OnRectChanged, [this](const QRect& r) { changes.push_back(r); });
        crop.SetControl(&panel);
        crop.Restricts().LoadRc(bounds);
        crop.SetCropRect(start);
        panel.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&panel));
    }
    QWidget* overlay() { return crop.Overlay(); }
    void Drag(QPoint from, QPoint to)
    {
        QTest::mousePress(overlay(), Qt::LeftButton, {}, from);
        for (int i = 1; i <= 4; ++i)
            QTest::mouseMove(overlay(), from + (to - from) * i / 4);
        QTest::mouseRelease(overlay(), Qt::LeftButton, {}, to);
    }
};

bool Inside(const QRect& r, const QRect& bounds)
{
    return r.left() >= bounds.left() && r.top() >= bounds.top() && r.left() + r.width() <= bounds.left() + bounds.width() &&
           r.top() + r.height() <= bounds.top() + bounds.height();
}
}  // namespace

TEST(DrawCrop, SettingTheRectangleIsNotAUserChange)
{
    CropBench b;
    EXPECT_EQ(b.crop.CropRect(), b.start);
    EXPECT_TRUE(b.changes.empty());
    EXPECT_EQ(b.crop.Restricts().Left(), 60);
    EXPECT_EQ(b.crop.Restricts().Top(), 40);
    EXPECT_EQ(b.crop.Restricts().Right(), 360);
    EXPECT_EQ(b.crop.Restricts().Bottom(), 240);

    // Outside the restriction, it is clipped to it; still no signal.
    b.crop.SetCropRect(QRect(0, 0, 1000, 1000));
    EXPECT_EQ(b.crop.CropRect(), b.bounds);
    b.crop.SetCropRect(QRect(300, 200, 100, 100));
    EXPECT_EQ(b.crop.CropRect(), QRect(300, 200, 60, 40));
    b.crop.Restricts().LoadRc(QRect(70, 50, 250, 160));
    EXPECT_EQ(b.crop.CropRect(), QRect(300, 200, 20, 10));
    EXPECT_TRUE(b.changes.empty());

    // The overlay follows the control's size.
    b.panel.resize(500, 350);
    EXPECT_EQ(b.overlay()->geometry(), QRect(0, 0, 500, 350));
}

TEST(DrawCrop, BodyDragsStayInsideTheRestriction)
{
    CropBench b;
    const QPoint mid = b.start.center();
    b.Drag(mid, mid + QPoint(15, 7));
    EXPECT_EQ(b.crop.CropRect(), b.start.translated(15, 7));
    ASSERT_FALSE(b.changes.empty());
    EXPECT_EQ(b.changes.back(), b.crop.CropRect());

    b.Drag(b.crop.CropRect().center(), b.crop.CropRect().center() + QPoint(900, 900));
    EXPECT_EQ(b.crop.CropRect(), QRect(260, 180, 100, 60));   // right 360, bottom 240
    b.Drag(b.crop.CropRect().center(), b.crop.CropRect().center() - QPoint(900, 900));
    EXPECT_EQ(b.crop.CropRect(), QRect(60, 40, 100, 60));
    for (const QRect& r : b.changes) {
        EXPECT_TRUE(Inside(r, b.bounds)) << r.x() << "," << r.y();
        EXPECT_EQ(r.size(), b.start.size());
    }
}

TEST(DrawCrop, EveryHandleResizesWithinTheRestrictionAndKeepsTheMinimum)
{
    const int L = 120, T = 90, R = 220, B = 150;   // the start, right and bottom exclusive
    struct Handle { const char* name; QPoint at; int sx, sy; };
    const Handle handles[] = {
        {"top-left", {L, T}, -1, -1}, {"top", {(L + R - 1) / 2, T}, 0, -1}, {"top-right", {R - 1, T}, 1, -1},
        {"right", {R - 1, (T + B - 1) / 2}, 1, 0}, {"bottom-right", {R - 1, B - 1}, 1, 1},
        {"bottom", {(L + R - 1) / 2, B - 1}, 0, 1}, {"bottom-left", {L, B - 1}, -1, 1}, {"left", {L, (T + B - 1) / 2}, -1, 0},
    };
    for (const Handle& h : handles) {
        SCOPED_TRACE(h.name);
        // Outwards past every border: each grabbed side stops at the restriction.
        {
            CropBench b;
            b.Drag(h.at, h.at + QPoint(h.sx * 800, h.sy * 800));
            const QRect r = b.crop.CropRect();
            EXPECT_EQ(r.left(), h.sx < 0 ? 60 : L);
            EXPECT_EQ(r.top(), h.sy < 0 ? 40 : T);
            EXPECT_EQ(r.left() + r.width(), h.sx > 0 ? 360 : R);
            EXPECT_EQ(r.top() + r.height(), h.sy > 0 ? 240 : B);
            EXPECT_FALSE(b.changes.empty());
        }
        // Inwards past the opposite side: the minimum size, the opposite side fixed.
        {
            CropBench b;
            b.Drag(h.at, h.at - QPoint(h.sx * 800, h.sy * 800));
            const QRect r = b.crop.CropRect();
            const QSize min = b.crop.MinSize();
            EXPECT_EQ(r.width(), h.sx ? min.width() : R - L);
            EXPECT_EQ(r.height(), h.sy ? min.height() : B - T);
            // The side opposite a grabbed one stays.
            EXPECT_EQ(r.left() + r.width(), h.sx < 0 ? R : r.left() + r.width());
            EXPECT_EQ(r.left(), h.sx > 0 ? L : r.left());
            EXPECT_EQ(r.top() + r.height(), h.sy < 0 ? B : r.top() + r.height());
            EXPECT_EQ(r.top(), h.sy > 0 ? T : r.top());
            for (const QRect& c : b.changes)
                EXPECT_TRUE(Inside(c, b.bounds));
        }
        // A small move follows the mouse exactly.
        {
            CropBench b;
            b.Drag(h.at, h.at + QPoint(h.sx * 5, h.sy * 3));
            const QRect r = b.crop.CropRect();
            EXPECT_EQ(r.width(), R - L + std::abs(h.sx) * 5);
            EXPECT_EQ(r.height(), B - T + std::abs(h.sy) * 3);
        }
    }
}

TEST(DrawCrop, GrabAreasAreLargerThanThePointsAndSetTheCursor)
{
    CropBench b;
    // Four pixels beside the painted point (radius 3) still grabs the corner.
    EXPECT_EQ(b.crop.HitTest(QPoint(120 - 6, 90 - 6)), TzelDrawCrop::htLeft | TzelDrawCrop::htTop);
    EXPECT_EQ(b.crop.HitTest(QPoint(120 - 9, 90 - 9)), TzelDrawCrop::htNone);
    EXPECT_EQ(b.crop.HitTest(QPoint(219 + 5, 120)), TzelDrawCrop::htRight);
    EXPECT_EQ(b.crop.HitTest(QPoint(140, 149 + 2)), TzelDrawCrop::htBottom);   // along the side, off the point
    EXPECT_EQ(b.crop.HitTest(QPoint(160, 120)), TzelDrawCrop::htMove);

    QTest::mouseMove(b.overlay(), QPoint(114, 84));
    EXPECT_EQ(b.overlay()->cursor().shape(), Qt::SizeFDiagCursor);
    QTest::mouseMove(b.overlay(), QPoint(219, 90));
    EXPECT_EQ(b.overlay()->cursor().shape(), Qt::SizeBDiagCursor);
    QTest::mouseMove(b.overlay(), QPoint(170, 90));
    EXPECT_EQ(b.overlay()->cursor().shape(), Qt::SizeVerCursor);
    QTest::mouseMove(b.overlay(), QPoint(120, 120));
    EXPECT_EQ(b.overlay()->cursor().shape(), Qt::SizeHorCursor);
    QTest::mouseMove(b.overlay(), QPoint(160, 120));
    EXPECT_EQ(b.overlay()->cursor().shape(), Qt::SizeAllCursor);
    QTest::mouseMove(b.overlay(), QPoint(10, 10));
    EXPECT_EQ(b.overlay()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(b.changes.empty());

    // A press outside the rectangle and a drag change nothing.
    b.Drag(QPoint(20, 20), QPoint(200, 200));
    EXPECT_EQ(b.crop.CropRect(), b.start);
    EXPECT_TRUE(b.changes.empty());
}

TEST(DrawCrop, ArrowKeysNudgeWithinTheRestriction)
{
    CropBench b;
    b.overlay()->setFocus();
    QTest::keyClick(b.overlay(), Qt::Key_Right);
    QTest::keyClick(b.overlay(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(b.crop.CropRect(), b.start.translated(1, 10));
    EXPECT_EQ(b.changes.size(), 2u);
    QTest::keyClick(b.overlay(), Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(b.crop.CropRect().size(), b.start.size() + QSize(1, 0));
    for (int i = 0; i < 40; ++i)
        QTest::keyClick(b.overlay(), Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(b.crop.CropRect().left(), 60);
    const size_t n = b.changes.size();
    QTest::keyClick(b.overlay(), Qt::Key_Left);   // already at the border: no change, no signal
    EXPECT_EQ(b.changes.size(), n);
}

TEST(DrawCrop, PaintsTheTintOutsideAndTheLineInItsColours)
{
    CropBench b;
    b.crop.SetLineColor(ColorFromBGR(255));
    b.crop.SetDragPointColor(ColorFromBGR(255));
    b.crop.SetDragPointFrame(ColorFromBGR(255));
    b.crop.SetSolidColor(ColorFromBGR(0xFF0000));
    b.crop.SetSolidTransValue(80);
    const QImage img = b.panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(QColor(img.pixel(10, 10)), QColor(Qt::white));       // outside the restriction
    EXPECT_EQ(QColor(img.pixel(160, 120)), QColor(Qt::white));     // inside the rectangle
    const QColor tint = img.pixel(80, 60);                           // blue at 80 of 255 over white
    EXPECT_NEAR(tint.red(), 255 - 80, 2);
    EXPECT_NEAR(tint.green(), 255 - 80, 2);
    EXPECT_EQ(tint.blue(), 255);
    EXPECT_EQ(QColor(img.pixel(160, 90)), QColor(Qt::red));        // the top line
    EXPECT_EQ(QColor(img.pixel(219, 120 + 12)), QColor(Qt::red));  // the right line
}

TEST(DrawCrop, DetachedItNeitherShowsNorEdits)
{
    CropBench b;
    QPointer<QWidget> overlay = b.overlay();
    b.crop.SetControl(nullptr);
    EXPECT_TRUE(overlay.isNull());
    EXPECT_EQ(b.crop.Overlay(), nullptr);
    const QImage img = b.panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(QColor(img.pixel(80, 60)), QColor(Qt::white));
    QTest::mousePress(&b.panel, Qt::LeftButton, {}, b.start.center());
    QTest::mouseRelease(&b.panel, Qt::LeftButton, {}, b.start.center() + QPoint(20, 0));
    EXPECT_EQ(b.crop.CropRect(), b.start);
    EXPECT_TRUE(b.changes.empty());
    // Attached again: the same rectangle is back and editable.
    b.crop.SetControl(&b.panel);
    b.Drag(b.start.center(), b.start.center() + QPoint(3, 0));
    EXPECT_EQ(b.crop.CropRect(), b.start.translated(3, 0));

    // The control going away first leaves the editor usable.
    auto* other = new QWidget;
    other->resize(100, 100);
    b.crop.SetControl(other);
    delete other;
    EXPECT_EQ(b.crop.Overlay(), nullptr);
    b.crop.SetCropRect(QRect(1, 1, 5, 5));
    b.crop.SetControl(nullptr);
}

TEST(DrawCrop, IsAnAccessibleNamedCanvas)
{
    CropBench b;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b.overlay());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Canvas);
    EXPECT_EQ(a->text(QAccessible::Name), "Crop rectangle");
    EXPECT_EQ(a->text(QAccessible::Value), "120, 90, 100 x 60");
}

// ---- button -----------------------------------------------------------------

namespace {
struct ButtonBench {
    QWidget host;
    TzelButton* btn;
    int clicks = 0;
    std::vector<Qt::MouseButton> downs, ups;
    ButtonBench()
    {
        host.resize(200, 100);
        btn = new TzelButton("Open", &host);
        btn->setGeometry(20, 20, 82, 50);
        QObject::connect(btn, &QAbstractButton::clicked, [this] { ++clicks; });
        QObject::connect(btn, &TzelButton::OnMouseDown, [this](Qt::MouseButton b) { downs.push_back(b); });
        QObject::connect(btn, &TzelButton::OnMouseUp, [this](Qt::MouseButton b) { ups.push_back(b); });
        host.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&host));
    }
};

QPixmap Solid(QColor c, QSize s = {10, 10})
{
    QPixmap p(s);
    p.fill(c);
    return p;
}
}  // namespace

TEST(Button, ClicksOnReleaseInsideOnly)
{
    ButtonBench b;
    QTest::mousePress(b.btn, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(b.clicks, 0);
    EXPECT_EQ(b.downs, (std::vector<Qt::MouseButton>{Qt::LeftButton}));
    EXPECT_TRUE(b.btn->isDown());
    EXPECT_EQ(b.btn->PaintState(), 2);
    QTest::mouseRelease(b.btn, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(b.clicks, 1);
    EXPECT_EQ(b.ups, (std::vector<Qt::MouseButton>{Qt::LeftButton}));

    // Released outside: no click, but the owner still hears the release.
    QTest::mousePress(b.btn, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(b.btn, QPoint(150, 10));
    QTest::mouseRelease(b.btn, Qt::LeftButton, {}, QPoint(150, 10));
    EXPECT_EQ(b.clicks, 1);
    EXPECT_EQ(b.ups.size(), 2u);

    // Every button is reported; only the left one clicks.
    QTest::mouseClick(b.btn, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(b.downs.back(), Qt::RightButton);
    EXPECT_EQ(b.ups.back(), Qt::RightButton);
    EXPECT_EQ(b.clicks, 1);

    // The keyboard clicks too.
    b.btn->setFocus();
    QTest::keyClick(b.btn, Qt::Key_Space);
    EXPECT_EQ(b.clicks, 2);
}

TEST(Button, RepeatsWhileHeld)
{
    ButtonBench b;
    QTest::mousePress(b.btn, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::qWait(250);
    QTest::mouseRelease(b.btn, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(b.clicks, 1);   // no repeat unless asked

    b.clicks = 0;
    b.btn->SetRepeat(true, 100, 30);
    QTest::mousePress(b.btn, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::qWait(60);
    EXPECT_EQ(b.clicks, 0);   // not before the delay
    EXPECT_TRUE(PumpUntil([&] { return b.clicks >= 3; }, 2000));
    const int held = b.clicks;
    QTest::mouseRelease(b.btn, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(b.clicks, held + 1);   // and once more on release
    QTest::qWait(100);
    EXPECT_EQ(b.clicks, held + 1);
    EXPECT_EQ(b.downs.size(), 2u);   // one down and one up per press, however long
    EXPECT_EQ(b.ups.size(), 2u);
}

TEST(Button, DisabledDoesNothing)
{
    ButtonBench b;
    b.btn->setEnabled(false);
    QTest::mouseClick(b.btn, Qt::LeftButton, {}, QPoint(10, 10));
    b.btn->setFocus();
    QTest::keyClick(b.btn, Qt::Key_Space);
    EXPECT_EQ(b.clicks, 0);
    EXPECT_TRUE(b.downs.empty());
    EXPECT_TRUE(b.ups.empty());
    EXPECT_EQ(b.btn->PaintState(), 3);
}

TEST(Button, PaintsTheSkinPictureOfItsState)
{
    ButtonBench b;
    b.btn->SetCaption(QString());
    b.btn->SetPictures(Solid(Qt::red), Solid(Qt::green), Solid(Qt::blue));
    b.btn->SetStretch(true);
    auto at = [&](QPoint p) { return QColor(b.btn->grab().toImage().pixel(p)); };
    EXPECT_EQ(at({1, 1}), QColor(Qt::red));
    EXPECT_EQ(at({80, 48}), QColor(Qt::red));   // stretched over the whole button
    b.btn->setDown(true);
    EXPECT_EQ(at({1, 1}), QColor(Qt::blue));
    b.btn->setDown(false);
    b.btn->setEnabled(false);   // no disabled picture: the up picture, faded
    const QColor faded = at({41, 25});
    EXPECT_NE(faded, QColor(Qt::red));
    EXPECT_GT(faded.red(), faded.green());
    b.btn->setEnabled(true);

    b.btn->SetStretch(false);   // at its own size, centred
    EXPECT_NE(at({1, 1}), QColor(Qt::red));
    EXPECT_EQ(at({41, 25}), QColor(Qt::red));
    EXPECT_EQ(b.btn->sizeHint(), QSize(10, 10));

    // Without pictures the flat button has a border and a lighter inside.
    TzelButton flat("OK", &b.host);
    flat.resize(71, 23);
    const QImage img = flat.grab().toImage();
    EXPECT_NE(QColor(img.pixel(35, 0)), QColor(img.pixel(35, 11)));
}

namespace {
// Where a colour was painted: the bounding box of the pixels of exactly that colour.
QRect PaintedBox(const QImage& img, QColor c)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (QColor(img.pixel(x, y)) == c)
                box |= QRect(x, y, 1, 1);
    return box;
}

bool HasDarkPixelIn(const QImage& img, const QRect& r)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(img.pixel(x, y)) < 110)
                return true;
    return false;
}
}  // namespace

TEST(Button, DrawsItsGlyphAboveTheCaptionOrCentredAlone)
{
    ButtonBench b;   // 82 x 50, flat, "Open"
    const QColor blue(0x20, 0x40, 0xC0);
    b.btn->SetGlyph(Solid(blue, {12, 12}));
    auto shot = [&] { return b.btn->grab().toImage(); };

    // With a caption: centred across, the two as one block down the middle,
    // the caption under the glyph and nothing of it above.
    QImage img = shot();
    const QRect withText = PaintedBox(img, blue);
    EXPECT_EQ(withText.size(), QSize(12, 12));
    EXPECT_EQ(withText.left(), 35);
    EXPECT_LT(withText.bottom(), 25);
    EXPECT_GE(withText.top(), 5);
    EXPECT_TRUE(HasDarkPixelIn(img, QRect(10, withText.bottom() + 1, 62, 50 - withText.bottom() - 4)));
    EXPECT_FALSE(HasDarkPixelIn(img, QRect(10, 3, 62, withText.top() - 3)));
    // Pressed, the whole block moves down a pixel.
    b.btn->setDown(true);
    EXPECT_EQ(PaintedBox(shot(), blue), withText.translated(0, 1));
    b.btn->setDown(false);

    // Alone: in the middle of the button.
    b.btn->SetCaption(QString());
    EXPECT_EQ(PaintedBox(shot(), blue), QRect(35, 19, 12, 12));

    // Disabled: faded to a grey lighter than the glyph yet still visible on the face.
    b.btn->setEnabled(false);
    img = shot();
    EXPECT_TRUE(PaintedBox(img, blue).isNull());
    const QColor faded(img.pixel(41, 25)), face(img.pixel(30, 25));
    EXPECT_LE(std::abs(faded.red() - faded.blue()), 2);
    EXPECT_GT(faded.lightness(), blue.lightness());
    EXPECT_LT(faded.lightness(), face.lightness() - 30);
    b.btn->setEnabled(true);

    // A high-resolution picture draws at its device-independent size.
    QPixmap twice = Solid(blue, {24, 24});
    twice.setDevicePixelRatio(2.0);
    b.btn->SetGlyph(twice);
    EXPECT_EQ(PaintedBox(shot(), blue), QRect(35, 19, 12, 12));

    // On a skin picture too; and a null glyph takes it away.
    b.btn->SetPictures(Solid(Qt::white, {82, 50}), QPixmap(), QPixmap());
    EXPECT_EQ(PaintedBox(shot(), blue), QRect(35, 19, 12, 12));
    b.btn->SetGlyph(QPixmap());
    EXPECT_TRUE(PaintedBox(shot(), blue).isNull());
    EXPECT_EQ(QColor(shot().pixel(41, 25)), QColor(Qt::white));
}

TEST(Button, AccessibleRoleAndName)
{
    ButtonBench b;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b.btn);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Button);
    EXPECT_EQ(a->text(QAccessible::Name), "Open");

    b.btn->SetCaption(QString());
    b.btn->SetHint("Next frame");
    EXPECT_EQ(a->text(QAccessible::Name), "Next frame");
    b.btn->SetHint(QString());
    b.btn->setObjectName("btnPriorMore");
    EXPECT_EQ(a->text(QAccessible::Name), "Prior more");
    b.btn->SetCaption("&Convert");
    EXPECT_EQ(a->text(QAccessible::Name), "Convert");

    // Pressing through the accessibility interface clicks.
    ASSERT_NE(a->actionInterface(), nullptr);
    a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(PumpUntil([&] { return b.clicks == 1; }, 2000));
}

TEST(Controls, NamesAndColours)
{
    EXPECT_EQ(ShortNameFromObjectName("btnNextFrame"), "Next frame");
    EXPECT_EQ(ShortNameFromObjectName("ShotView"), "Shot view");
    EXPECT_EQ(ShortNameFromObjectName("edtCropX"), "Crop x");
    EXPECT_EQ(ShortNameFromObjectName("photos"), "Photos");
    EXPECT_EQ(ShortNameFromObjectName(""), "");
    EXPECT_EQ(ControlDisplayName("  ", "Hint", "btnA"), "Hint");
    EXPECT_EQ(ColorFromBGR(255), QColor(255, 0, 0));
    EXPECT_EQ(ColorFromBGR(3092271), QColor(47, 47, 47));
    EXPECT_EQ(ColorFromBGR(15987699), QColor(243, 243, 243));
    EXPECT_EQ(ColorFromBGR(16251129), QColor(0xF9, 0xF8, 0xF7));
    EXPECT_EQ(ColorFromBGR(0x12345678), QColor(0x78, 0x56, 0x34));   // the top byte is not a colour
}
