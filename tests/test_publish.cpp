// The conversion's progress window and the GIF preview, driven as a user
// would: messages from the conversion, clicks, answers to the boxes and the
// save dialog; real conversions of fixture clips and GIFs written here.

#include "ConvertSupport.h"
#include "GifPlayer.h"
#include "GifRead.h"
#include "TestSupport.h"

#include "FFDecoder.h"
#include "GifWriter.h"
#include "PreviewFrm.h"
#include "PublishFrm.h"
#include "TzelButton.h"
#include "VGApp.h"
#include "VGConfig.h"
#include "VGProj.h"
#include "ZelColorEdit.h"
#include "ZelImage.h"
#include "ZelMessages.h"
#include "ZelPanel.h"
#include "ZelProgressBar.h"
#include "ZelWindow.h"
#include "Zelfunction.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const QString kLimitText =
    QStringLiteral("Reached \"Max frame count\" limitation!\r\nYou can go to <Options> to modify it.");
const QString kStopText = QStringLiteral("Stop conversion now?");
const QString kCloseText = QStringLiteral("Close without saving gif file?");

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!App)
            gApp = new TApp(QStringLiteral(GANTERLY_BIN_DIR "/"));
    }
    static void TearDownTestSuite()
    {
        delete gApp;
        gApp = nullptr;
    }
    void SetUp() override
    {
        TestMsgBox::Install();
        TestMsgBox::Clear();
    }
    void TearDown() override
    {
        TestMsgBox::Install();
        SetSaveDialogHandler({});
        SetOpenUrlHandler({});
    }
    static int Count(const QString& text)
    {
        int n = 0;
        for (const auto& s : TestMsgBox::Seen())
            n += s.text == text;
        return n;
    }
    static inline TApp* gApp = nullptr;
};

// Posts a message as the conversion thread does.
void Post(TPublishForm& form, int msg, intptr_t wParam, intptr_t lParam = 0, const QString& text = {})
{
    CheckPostMessage(form.Receiver(), msg, wParam, lParam, text);
}

// A modal run of the window while `during` runs once its loop is up.
int RunModal(TBaseForm& form, const std::function<void()>& during)
{
    QTimer::singleShot(0, &form, during);
    return form.ShowModal();
}

// A GIF of w x h whose frames are filled with the given colours.
void WriteGif(const QString& path, int w, int h, const QList<QRgb>& colours, const QList<int>& delaysCs, int loop = -1)
{
    TGifWriter gw;
    ASSERT_TRUE(gw.Open(path, w, h, loop)) << gw.LastError().toStdString();
    for (int i = 0; i < colours.size(); ++i) {
        TGifFrame f;
        f.Width = w;
        f.Height = h;
        const QRgb c = colours[i];
        f.Palette = {uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c)), 0, 0, 0};
        f.DelayCs = delaysCs.value(i, 10);
        f.Pixels.assign(size_t(w) * h, 0);
        ASSERT_TRUE(gw.PutFrame(f)) << gw.LastError().toStdString();
    }
    ASSERT_TRUE(gw.Close());
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

// ---- the progress window -----------------------------------------------------------

using PublishTest = WindowTest;

TEST_F(PublishTest, LooksAsDesignedAndTakesThePercentFromTheLowWord)
{
    TPublishForm form;
    EXPECT_EQ(form.size(), QSize(398, 94));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Converting...please wait..."));
    EXPECT_EQ(form.lblWait->text(), QStringLiteral("Converting...please wait..."));
    EXPECT_TRUE(form.lblWait->font().bold());
    EXPECT_TRUE(form.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(form.btnMin->Caption(), QStringLiteral("Minimize"));
    EXPECT_EQ(form.btnCancel->Caption(), QStringLiteral("Cancel"));
    EXPECT_EQ(form.ProgressBar->Percent(), 0);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    // Both buttons at the bottom right, inside the panel.
    for (QWidget* b : {static_cast<QWidget*>(form.btnMin), static_cast<QWidget*>(form.btnCancel)}) {
        EXPECT_TRUE(form.rect().contains(b->geometry()));
        EXPECT_GT(b->x(), form.width() / 2);
        EXPECT_GT(b->y(), form.ProgressBar->y());
    }
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(form.ProgressBar);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->role(), QAccessible::ProgressBar);

    Post(form, WM_CONVERTPROGRESS, 0x10032);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.ProgressBar->Percent(), 50);
    Post(form, WM_CONVERTPROGRESS, 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.ProgressBar->Percent(), 100);
    Post(form, WM_CONVERTPROGRESS, 7);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.ProgressBar->Percent(), 7);
}

TEST_F(PublishTest, FinishEndsWithOkAndTellsWhenTheFrameLimitWasReached)
{
    struct Case { int written, limit; bool box; };
    for (const Case c : {Case{1000, 1000, true}, Case{999, 1000, false}, Case{0, 0, true}, Case{12, 0, true},
                         Case{1001, 1000, true}}) {
        TestMsgBox::Clear();
        TPublishForm form;
        const int result = RunModal(form, [&] { Post(form, WM_CONVERTFINISH, c.written, c.limit); });
        EXPECT_EQ(result, mrOk) << c.written << "/" << c.limit;
        ASSERT_EQ(TestMsgBox::Seen().size(), c.box ? 1 : 0) << c.written << "/" << c.limit;
        if (c.box) {
            EXPECT_EQ(TestMsgBox::Seen()[0].text, kLimitText);
            EXPECT_EQ(TestMsgBox::Seen()[0].buttons, 1);
            EXPECT_EQ(TestMsgBox::Seen()[0].icon, 1);
        }
        EXPECT_FALSE(form.isVisible());
    }
}

TEST_F(PublishTest, ErrorShowsTheConvertersTextAndEndsWithCancel)
{
    TPublishForm form;
    const QString text = QStringLiteral("Cannot open \"/no/such.mp4\": No such file or directory");
    const int result = RunModal(form, [&] {
        Post(form, WM_CONVERTERROR, 0, 0, text);
        // Whatever comes after the ending is not heard.
        Post(form, WM_CONVERTFINISH, 1000, 1000);
    });
    EXPECT_EQ(result, mrCancel);
    QCoreApplication::processEvents();
    ASSERT_EQ(TestMsgBox::Seen().size(), 1);
    EXPECT_EQ(TestMsgBox::Seen()[0].text, text);
    EXPECT_EQ(TestMsgBox::Seen()[0].icon, 3);
}

// The question is a modal box: the thread's finish arrives while it is open
// and is dealt with after the answer.
TEST_F(PublishTest, CancelAsksAndAFinishDuringTheQuestionFollowsTheAnswer)
{
    for (const int answer : {IDNO, IDYES}) {
        for (const bool limitReached : {false, true}) {
            QList<QString> asked;
            TPublishForm form;
            SetMsgBoxHandler([&](const QString& text, const QString&, int buttons, int icon) {
                asked << text;
                if (text != kStopText)
                    return IDOK;
                EXPECT_EQ(buttons, 3);
                EXPECT_EQ(icon, 2);
                Post(form, WM_CONVERTFINISH, limitReached ? 1000 : 10, 1000);
                QElapsedTimer t;
                t.start();
                while (t.elapsed() < 50)
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
                EXPECT_TRUE(form.isVisible()) << "the finish must wait for the answer";
                return answer;
            });
            const int result = RunModal(form, [&] { QTest::mouseClick(form.btnCancel, Qt::LeftButton); });
            if (answer == IDYES) {
                EXPECT_EQ(result, mrCancel);
                EXPECT_EQ(asked, QList<QString>{kStopText});
            } else {
                EXPECT_EQ(result, mrOk);
                EXPECT_EQ(asked, limitReached ? QList<QString>({kStopText, kLimitText}) : QList<QString>{kStopText});
            }
        }
    }
}

TEST_F(PublishTest, NoToTheQuestionKeepsTheConversionRunning)
{
    TPublishForm form;
    TestMsgBox::Answer(IDNO);
    bool visibleAfterNo = false, visibleAfterClose = false;
    const int result = RunModal(form, [&] {
        QTest::mouseClick(form.btnCancel, Qt::LeftButton);
        visibleAfterNo = form.isVisible();
        // Closing by the window system, and Esc, ask the same question.
        form.close();
        QTest::keyClick(&form, Qt::Key_Escape);
        visibleAfterClose = form.isVisible();
        QTimer::singleShot(0, &form, [&] { Post(form, WM_CONVERTFINISH, 5, 1000); });
    });
    EXPECT_TRUE(visibleAfterNo);
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(Count(kStopText), 3);
}

// ---- real conversions behind the window ----------------------------------------------

namespace {
bool OpenProject(TVGProj& proj, const TClip& clip, const QString& gif)
{
    TFFDecoder dec;
    if (!dec.LoadFile(clip.Video.Path))
        return false;
    proj.VideoFileName = clip.Video.Path;
    proj.GifFileName = gif;
    proj.TempFolder = clip.Dir;
    proj.LoadStreamInfo(&dec);
    proj.CropRect = {0, 0, proj.VideoWidth, proj.VideoHeight};
    proj.StartPTS = 0;
    proj.EndPTS = proj.Duration;
    proj.SizeStyle = ssOriginal;
    proj.GifFPS = 25;
    proj.GifLoop = -1;
    return proj.HasVideo();
}
}  // namespace

TEST_F(PublishTest, ShowPublishFormConvertsTheClipAndAnswersTrue)
{
    const TClip clip = MakeClip(QStringLiteral("publish-real"), QStringLiteral("clip.mp4"),
                                [](TFixtureVideo& v) { v.FrameCount = 12; });
    REQUIRE_CLIP(clip);
    TVGProj proj;
    const QString gif = clip.Dir + QStringLiteral("preview.gif");
    ASSERT_TRUE(OpenProject(proj, clip, gif));
    QWidget over;
    over.setGeometry(100, 80, 600, 400);
    over.show();
    QRect shownAt;
    QTimer::singleShot(0, [&] {
        if (QWidget* w = ShownWindow<TPublishForm>())
            shownAt = w->geometry();
    });
    EXPECT_TRUE(ShowPublishForm(&proj, &over));
    EXPECT_TRUE(TestMsgBox::Seen().isEmpty());
    EXPECT_EQ(GifIndexes(gif), Seq(0, 12));
    // Centred on the window it was shown over.
    if (shownAt.isValid()) {
        EXPECT_LE((shownAt.center() - over.frameGeometry().center()).manhattanLength(), 1);
    }
}

TEST_F(PublishTest, AConversionThatFailsShowsItsTextAndAnswersFalse)
{
    TVGProj proj;
    const QString dir = MakeTempDir(QStringLiteral("publish-fail"));
    proj.VideoFileName = dir + QStringLiteral("missing.mp4");
    proj.GifFileName = dir + QStringLiteral("preview.gif");
    proj.TempFolder = dir;
    proj.StartPTS = 0;
    proj.EndPTS = 1000000;
    proj.VideoWidth = 160;
    proj.VideoHeight = 120;
    proj.CropRect = {0, 0, 160, 120};
    proj.GifFPS = 10;
    EXPECT_FALSE(ShowPublishForm(&proj));
    ASSERT_EQ(TestMsgBox::Seen().size(), 1);
    EXPECT_TRUE(TestMsgBox::Seen()[0].text.contains(QStringLiteral("missing.mp4")))
        << TestMsgBox::Seen()[0].text.toStdString();
    EXPECT_EQ(TestMsgBox::Seen()[0].icon, 3);
    EXPECT_FALSE(ShowPublishForm(nullptr));
}

TEST_F(PublishTest, YesStopsARunningConversionPromptly)
{
    const TClip clip = MakeClip(QStringLiteral("publish-cancel"), QStringLiteral("long.mp4"), [](TFixtureVideo& v) {
        v.Width = 320;
        v.Height = 240;
        v.FrameCount = 400;
    });
    REQUIRE_CLIP(clip);
    TVGProj proj;
    ASSERT_TRUE(OpenProject(proj, clip, clip.Dir + QStringLiteral("preview.gif")));
    TestMsgBox::Answer(IDYES);
    QElapsedTimer t;
    QTimer::singleShot(300, [&] {
        if (auto* f = ShownWindow<TPublishForm>()) {
            t.start();
            QTest::mouseClick(f->btnCancel, Qt::LeftButton);
        }
    });
    EXPECT_FALSE(ShowPublishForm(&proj));
    ASSERT_TRUE(t.isValid()) << "the window was not showing";
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_EQ(Count(kStopText), 1);
    EXPECT_EQ(Count(kLimitText), 0);
}

// ---- what the preview reads from a GIF --------------------------------------------------

TEST(GifInfo, SizeFramesPlayTimeAndTextAsPlayed)
{
    const QString dir = MakeTempDir(QStringLiteral("gifinfo"));
    const QString gif = dir + QStringLiteral("a.gif");
    // 0 and 1 centisecond play as 100 ms, as browsers show them.
    WriteGif(gif, 40, 30, {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(9, 9, 9)}, {0, 1, 5, 20});
    const TGifInfo info = ReadGifInfo(gif);
    ASSERT_TRUE(info.Valid) << info.Error.toStdString();
    EXPECT_EQ(info.Width, 40);
    EXPECT_EQ(info.Height, 30);
    EXPECT_EQ(info.Frames, 4);
    EXPECT_EQ(info.PlayTimeMs, 100 + 100 + 50 + 200);
    EXPECT_EQ(info.FileSize, QFileInfo(gif).size());
    EXPECT_EQ(info.Frames, ParseGif(gif).Delays.size());
    EXPECT_EQ(GifInfoText(info), QStringLiteral("40 x 30 \u00B7 4 frames \u00B7 0.45 s \u00B7 %1 B").arg(info.FileSize));
    EXPECT_EQ(FileSizeText(1536), QStringLiteral("1.5 KB"));
    {
        // FFmpeg's reader lengthens short delays by the same rule.
        REQUIRE_INDEPENDENT_TOOL(ffprobe, "ffprobe");
        QProcess p;
        p.start(ffprobe, {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                          QStringLiteral("packet=duration_time"), QStringLiteral("-of"), QStringLiteral("csv=p=0"), gif});
        ASSERT_TRUE(p.waitForFinished(30000));
        const QStringList lines = QString::fromLatin1(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        double total = 0;
        for (const QString& l : lines)
            total += l.trimmed().toDouble();
        EXPECT_EQ(lines.size(), info.Frames);
        EXPECT_NEAR(total * 1000, double(info.PlayTimeMs), 1.0);
    }
    EXPECT_EQ(FileSizeText(1258291), QStringLiteral("1.2 MB"));

    // Cut in the middle of its third frame: the frames before the cut.
    const QByteArray whole = ReadAll(gif);
    const QString cut = dir + QStringLiteral("cut.gif");
    WriteText(cut, whole.left(whole.size() - 30));
    const TGifInfo c = ReadGifInfo(cut);
    EXPECT_TRUE(c.Valid);
    EXPECT_GE(c.Frames, 2);
    EXPECT_LT(c.Frames, 4);
    // Not a GIF at all, and no file.
    WriteText(dir + QStringLiteral("text.gif"), "hello, this is no picture");
    EXPECT_FALSE(ReadGifInfo(dir + QStringLiteral("text.gif")).Valid);
    EXPECT_FALSE(ReadGifInfo(dir + QStringLiteral("none.gif")).Valid);
    EXPECT_TRUE(GifInfoText(ReadGifInfo(dir + QStringLiteral("none.gif"))).isEmpty());
}

TEST(GifPlayer, PlaysEveryFrameAndHonoursTheLoopCount)
{
    const QString dir = MakeTempDir(QStringLiteral("gifplayer"));
    const QString forever = dir + QStringLiteral("forever.gif");
    WriteGif(forever, 8, 8, {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)}, {2, 2, 2});
    TGifPlayer player;
    ASSERT_TRUE(player.Open(forever)) << player.Error().toStdString();
    EXPECT_EQ(player.Size(), QSize(8, 8));
    EXPECT_EQ(player.FrameIndex(), 0);
    QSet<QRgb> seen;
    QObject::connect(&player, &TGifPlayer::FrameChanged, [&] { seen.insert(player.Image().pixel(4, 4) & 0xFFFFFF); });
    player.Start();
    EXPECT_TRUE(PumpUntil([&] { return player.Plays() >= 3; }, 5000));
    EXPECT_TRUE(player.IsRunning());
    EXPECT_EQ(seen, (QSet<QRgb>{0xFF0000, 0x00FF00, 0x0000FF}));
    player.Stop();

    // No looping extension: one pass, then the last frame stays.
    const QString once = dir + QStringLiteral("once.gif");
    WriteGif(once, 8, 8, {qRgb(255, 0, 0), qRgb(0, 255, 0)}, {2, 2}, 0);
    ASSERT_TRUE(player.Open(once));
    player.Start();
    EXPECT_TRUE(PumpUntil([&] { return !player.IsRunning(); }, 3000));
    EXPECT_EQ(player.Plays(), 1);
    EXPECT_EQ(player.Image().pixel(4, 4) & 0xFFFFFF, 0x00FF00u);

    // A file cut inside its last frame plays what it has, pass after pass.
    const QByteArray whole = ReadAll(forever);
    const QString cut = dir + QStringLiteral("cut.gif");
    WriteText(cut, whole.left(whole.size() - 12));
    ASSERT_TRUE(player.Open(cut));
    player.Start();
    EXPECT_TRUE(PumpUntil([&] { return player.Plays() >= 3; }, 5000));
    player.Stop();

    // A single picture does not run; garbage does not open.
    const QString still = dir + QStringLiteral("still.gif");
    WriteGif(still, 8, 8, {qRgb(1, 2, 3)}, {0});
    ASSERT_TRUE(player.Open(still));
    player.Start();
    EXPECT_FALSE(player.IsRunning());
    WriteText(dir + QStringLiteral("bad.gif"), "GIF89a but nothing after");
    EXPECT_FALSE(player.Open(dir + QStringLiteral("bad.gif")));
    EXPECT_FALSE(player.Error().isEmpty());
}

// ---- the preview window ----------------------------------------------------------------

namespace {
class PreviewTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        dir = MakeTempDir(QStringLiteral("preview"));
        proj.VideoFileName = dir + QStringLiteral("videos/My clip.mp4");
        QDir().mkpath(dir + QStringLiteral("videos"));
        proj.GifFileName = dir + QStringLiteral("preview.gif");
    }
    // The preview loaded and shown as ShowPreviewForm does, without its modal run.
    std::unique_ptr<TPreviewForm> Open()
    {
        auto form = std::make_unique<TPreviewForm>();
        form->SetProj(&proj);
        EXPECT_TRUE(form->LoadGif());
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return form;
    }
    QString dir;
    TVGProj proj;
};
}  // namespace

TEST_F(PreviewTest, ASmallGifKeepsTheDesignSizeAndIsCentred)
{
    WriteGif(proj.GifFileName, 100, 80, {qRgb(200, 30, 30), qRgb(30, 30, 200)}, {10, 10});
    auto form = Open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Preview GIF"));
    EXPECT_EQ(form->size(), QSize(624, 447));
    EXPECT_EQ(form->minimumWidth(), 486);
    EXPECT_FALSE(form->btnMax->isHidden());
    EXPECT_EQ(form->GifWidth(), 100);
    EXPECT_EQ(form->GifHeight(), 80);
    EXPECT_EQ(form->Image1->size(), QSize(100, 80));
    EXPECT_EQ(form->Image1->pos(), QPoint((form->pnlGIF->width() - 100) / 2, (form->pnlGIF->height() - 80) / 2));
    EXPECT_EQ(form->btnOkMe->Caption(), QStringLiteral("Save GIF File"));
    EXPECT_EQ(form->btnFolder->Caption(), QStringLiteral("Open Output Folder"));
    EXPECT_FALSE(form->btnFolder->isEnabled());
    EXPECT_EQ(form->btnCancelMe->Caption(), QStringLiteral("Close"));
    EXPECT_EQ(form->Label1->text(), QStringLiteral("BK Color"));
    EXPECT_TRUE(form->lblInfo->toolTip().startsWith(QStringLiteral("100 x 80 \u00B7 2 frames \u00B7 0.20 s")))
        << form->lblInfo->toolTip().toStdString();
    // Every bottom control inside the window, none overlapping the next.
    const QList<QWidget*> row = {form->Label1, form->ceBK, form->lblInfo, form->btnOkMe, form->btnFolder,
                                 form->btnCancelMe};
    for (int i = 0; i < row.size(); ++i) {
        EXPECT_TRUE(form->rect().contains(row[i]->geometry())) << row[i]->objectName().toStdString();
        if (i > 0) {
            EXPECT_LE(row[i - 1]->geometry().right(), row[i]->x()) << row[i]->objectName().toStdString();
        }
    }
    // Every control says what it is.
    for (QWidget* w : {static_cast<QWidget*>(form->ceBK), static_cast<QWidget*>(form->btnFolder),
                       static_cast<QWidget*>(form->btnOkMe), static_cast<QWidget*>(form->lblInfo),
                       static_cast<QWidget*>(form->Image1)}) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << w->objectName().toStdString();
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form->ceBK)->text(QAccessible::Name), QStringLiteral("BK Color"));
    // It plays: both colours show in the picture within a few frames.
    QSet<QRgb> seen;
    EXPECT_TRUE(PumpUntil([&] {
        const QImage img = form->Image1->Picture().toImage();
        if (!img.isNull())
            seen.insert(img.pixel(img.width() / 2, img.height() / 2) & 0xFFFFFF);
        return seen.size() >= 2;
    }, 3000));
    // Minimised it rests; shown again it plays on.
    EXPECT_TRUE(form->Player()->IsRunning());
    form->showMinimized();
    EXPECT_FALSE(form->Player()->IsRunning());
    form->showNormal();
    EXPECT_TRUE(form->Player()->IsRunning());
    // The colour behind the picture follows the colour box.
    form->ceBK->SetSelectedColor(QColor(10, 20, 30));
    EXPECT_EQ(form->pnlGIF->Color(), QColor(10, 20, 30));
    form->btnFolder->setEnabled(true);  // nothing asked on the way out
}

TEST_F(PreviewTest, ABigGifGrowsTheWindowWithinTheWorkAreaAndShrinksToFit)
{
    // Wider than the work area, and tall enough to grow the window.
    const QRect area = TPreviewForm().GetWorkArea();
    const int w = area.width(), h = std::max(400, area.height() - 300);
    WriteGif(proj.GifFileName, w, h, {qRgb(0, 128, 0)}, {10});
    auto form = std::make_unique<TPreviewForm>();
    form->SetProj(&proj);
    ASSERT_TRUE(form->LoadGif());
    EXPECT_EQ(form->width(), area.width());
    EXPECT_EQ(form->height(), std::min(h + 159, area.height()));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_TRUE(area.contains(form->geometry())) << area.width() << "x" << area.height();
    const QSize room = form->pnlGIF->size() - QSize(48, 48);
    const QSize shown = form->Image1->size();
    EXPECT_TRUE(shown.width() == room.width() || shown.height() == room.height())
        << shown.width() << "x" << shown.height() << " in " << room.width() << "x" << room.height();
    EXPECT_LE(shown.width(), room.width());
    EXPECT_LE(shown.height(), room.height());
    EXPECT_NEAR(double(shown.width()) / shown.height(), double(w) / h, 0.02);
    // Maximised and restored, the picture follows the panel.
    form->Maximize();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->Image1->pos(), QPoint((form->pnlGIF->width() - form->Image1->width()) / 2,
                                          (form->pnlGIF->height() - form->Image1->height()) / 2));
    form->Restore();
    form->btnFolder->setEnabled(true);
}

TEST_F(PreviewTest, ClosingUnsavedAsksAndAfterASaveItDoesNot)
{
    WriteGif(proj.GifFileName, 60, 40, {qRgb(1, 2, 3)}, {10});
    auto form = Open();
    TestMsgBox::Answer(IDCANCEL);
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_TRUE(form->isVisible());
    QTest::mouseClick(form->btnCancelMe, Qt::LeftButton);
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(Count(kCloseText), 2);
    EXPECT_EQ(TestMsgBox::Seen()[0].buttons, 2);
    EXPECT_EQ(TestMsgBox::Seen()[0].icon, 2);

    const QString target = dir + QStringLiteral("out/saved.gif");
    QDir().mkpath(dir + QStringLiteral("out"));
    SetSaveDialogHandler([&](QWidget*, const QString&, const QString&, const QString&, const QString&) { return target; });
    QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
    EXPECT_TRUE(form->isVisible()) << "saving keeps the window open";
    EXPECT_TRUE(form->btnFolder->isEnabled());
    EXPECT_EQ(ReadAll(target), ReadAll(proj.GifFileName));
    TestMsgBox::Clear();
    QTest::mouseClick(form->btnCancelMe, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(TestMsgBox::Seen().isEmpty());

    // OK to the question closes an unsaved window.
    auto again = Open();
    TestMsgBox::Answer(IDOK);
    QTest::mouseClick(again->btnCloseMe, Qt::LeftButton);
    EXPECT_FALSE(again->isVisible());
    EXPECT_EQ(Count(kCloseText), 1);
}

TEST_F(PreviewTest, TheSaveDialogProposesTheVideosNameInItsFolder)
{
    WriteGif(proj.GifFileName, 60, 40, {qRgb(1, 2, 3)}, {10});
    auto form = Open();
    QString filter, folder, name, ext;
    int asked = 0;
    SetSaveDialogHandler([&](QWidget*, const QString& f, const QString& d, const QString& n, const QString& e) {
        ++asked;
        filter = f, folder = d, name = n, ext = e;
        return QString();  // cancelled
    });
    QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(filter, QStringLiteral("GIF files|*.gif"));
    EXPECT_EQ(ext, QStringLiteral(".gif"));
    EXPECT_EQ(folder, dir + QStringLiteral("videos/"));
    EXPECT_EQ(name, dir + QStringLiteral("videos/My clip.gif"));
    EXPECT_FALSE(form->btnFolder->isEnabled()) << "a cancelled dialog changes nothing";
    EXPECT_TRUE(TestMsgBox::Seen().isEmpty());

    // After a save the next one starts where that one went, and the folder
    // button opens that folder.
    const QString target = dir + QStringLiteral("elsewhere/Other.gif");
    QDir().mkpath(dir + QStringLiteral("elsewhere"));
    SetSaveDialogHandler([&](QWidget*, const QString&, const QString& d, const QString& n, const QString&) {
        folder = d, name = n;
        return target;
    });
    QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
    QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
    EXPECT_EQ(folder, dir + QStringLiteral("elsewhere/"));
    EXPECT_EQ(name, target);
    QStringList opened;
    SetOpenUrlHandler([&](const QString& url) { opened << url; return true; });
    QTest::mouseClick(form->btnFolder, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{QUrl::fromLocalFile(QDir::cleanPath(dir + QStringLiteral("elsewhere"))).toString()});
}

TEST_F(PreviewTest, AFailedSaveNamesTheFileAndKeepsTheFolderButtonDisabled)
{
    WriteGif(proj.GifFileName, 60, 40, {qRgb(1, 2, 3)}, {10});
    auto form = Open();
    QString target;
    SetSaveDialogHandler([&](QWidget*, const QString&, const QString&, const QString&, const QString&) { return target; });
    QStringList targets = {dir + QStringLiteral("no/such/folder/x.gif")};
    // A folder by the chosen name: even the superuser cannot put a file there.
    QDir().mkpath(dir + QStringLiteral("taken.gif/inside"));
    targets << dir + QStringLiteral("taken.gif");
    // A read-only folder stops everyone but the superuser.
    const QString locked = dir + QStringLiteral("locked/");
    QDir().mkpath(locked);
    if (::geteuid() != 0) {
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        targets << locked + QStringLiteral("x.gif");
    }
    for (const QString& t : targets) {
        target = t;
        TestMsgBox::Clear();
        QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
        ASSERT_EQ(TestMsgBox::Seen().size(), 1) << t.toStdString();
        EXPECT_TRUE(TestMsgBox::Seen()[0].text.contains(QLatin1Char('"') + t + QLatin1Char('"')))
            << TestMsgBox::Seen()[0].text.toStdString();
        EXPECT_EQ(TestMsgBox::Seen()[0].icon, 4);
        EXPECT_FALSE(form->btnFolder->isEnabled());
        EXPECT_TRUE(form->isVisible());
    }
    EXPECT_TRUE(QFileInfo(dir + QStringLiteral("taken.gif/inside")).isDir());
    EXPECT_EQ(QDir(dir).entryList({QStringLiteral("*.tmp*")}, QDir::Files | QDir::Hidden).size(), 0);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // The converted GIF gone from under the window: the box names it.
    const QByteArray gif = ReadAll(proj.GifFileName);
    QFile::remove(proj.GifFileName);
    target = dir + QStringLiteral("fine.gif");
    TestMsgBox::Clear();
    QTest::mouseClick(form->btnOkMe, Qt::LeftButton);
    ASSERT_EQ(TestMsgBox::Seen().size(), 1);
    EXPECT_TRUE(TestMsgBox::Seen()[0].text.contains(proj.GifFileName));
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_FALSE(form->btnFolder->isEnabled());
    WriteText(proj.GifFileName, gif);
    form->btnFolder->setEnabled(true);
}

TEST_F(PreviewTest, SavingOverAnExistingGifReplacesItWhole)
{
    const TClip clip = MakeClip(QStringLiteral("preview-real"), QStringLiteral("clip.mp4"),
                                [](TFixtureVideo& v) { v.FrameCount = 6; });
    REQUIRE_CLIP(clip);
    TVGProj real;
    ASSERT_TRUE(OpenProject(real, clip, clip.Dir + QStringLiteral("preview.gif")));
    ASSERT_TRUE(ShowPublishForm(&real));
    TPreviewForm form;
    form.SetProj(&real);
    ASSERT_TRUE(form.LoadGif());
    form.show();
    EXPECT_EQ(form.lblInfo->toolTip().section(QStringLiteral(" \u00B7 "), 1, 1), QStringLiteral("6 frames"));

    // An older, longer GIF of the same name, read-only for its owner.
    const QString target = clip.Dir + QStringLiteral("clip.gif");
    WriteText(target, QByteArray(1 << 20, 'x'));
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    SetSaveDialogHandler([&](QWidget*, const QString&, const QString& d, const QString& n, const QString&) {
        EXPECT_EQ(d, clip.Dir);
        return n;
    });
    QTest::mouseClick(form.btnOkMe, Qt::LeftButton);
    EXPECT_TRUE(TestMsgBox::Seen().isEmpty());
    EXPECT_EQ(ReadAll(target), ReadAll(real.GifFileName));
    EXPECT_EQ(GifIndexes(target), Seq(0, 6));
    EXPECT_EQ(QFile::permissions(target) & (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                            | QFileDevice::ReadOther),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    EXPECT_TRUE(form.btnFolder->isEnabled());
    EXPECT_TRUE(QDir(clip.Dir).entryList({QStringLiteral("*.tmp*")}, QDir::Files | QDir::Hidden).isEmpty());
    // Saving onto the converted file itself leaves it as it is.
    const QByteArray before = ReadAll(real.GifFileName);
    SetSaveDialogHandler([&](QWidget*, const QString&, const QString&, const QString&, const QString&) {
        return real.GifFileName;
    });
    QTest::mouseClick(form.btnOkMe, Qt::LeftButton);
    EXPECT_EQ(ReadAll(real.GifFileName), before);
    EXPECT_TRUE(TestMsgBox::Seen().isEmpty());
}

TEST_F(PreviewTest, ShowPreviewFormRunsUntilClosedAfterASave)
{
    WriteGif(proj.GifFileName, 60, 40, {qRgb(1, 2, 3), qRgb(3, 2, 1)}, {10, 10});
    const QString target = dir + QStringLiteral("videos/My clip.gif");
    SetSaveDialogHandler([&](QWidget*, const QString&, const QString&, const QString& n, const QString&) { return n; });
    bool shown = false;
    QTimer::singleShot(0, [&] {
        if (auto* f = ShownWindow<TPreviewForm>()) {
            shown = true;
            EXPECT_TRUE(f->Player()->IsRunning());
            QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
            QTest::keyClick(f, Qt::Key_Escape);
        }
    });
    ShowPreviewForm(&proj);
    EXPECT_TRUE(shown);
    EXPECT_EQ(ReadAll(target), ReadAll(proj.GifFileName));
    EXPECT_EQ(Count(kCloseText), 0);
}

TEST_F(PreviewTest, AnUnreadableGifIsReportedAndTheWindowDoesNotOpen)
{
    WriteText(proj.GifFileName, "not a picture");
    ShowPreviewForm(&proj);
    ASSERT_EQ(TestMsgBox::Seen().size(), 1);
    EXPECT_TRUE(TestMsgBox::Seen()[0].text.contains(proj.GifFileName));
    QFile::remove(proj.GifFileName);
    TestMsgBox::Clear();
    ShowPreviewForm(&proj);
    EXPECT_EQ(TestMsgBox::Seen().size(), 1);
    ShowPreviewForm(nullptr);
}
