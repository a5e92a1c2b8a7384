// The clip project: output size and scale rules, clip range, overlay drawing
// and hit testing, fonts.

#include "TestSupport.h"

#include "VGConfig.h"
#include "VGProj.h"
#include "FFDecoder.h"

#include <QFile>
#include <QPainter>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

namespace {

const QString kFont = QStringLiteral("DejaVu Sans");
const QRgb kBlack = qRgb(0, 0, 0);

QImage BlackImage(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(kBlack);
    return img;
}

// Bounding box of every pixel that is not black.
QRect InkBox(const QImage& img)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != kBlack)
                box |= QRect(x, y, 1, 1);
    return box;
}

QString SolidPicture(const QString& folder, QRgb color, int w = 100, int h = 100)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    const QString file = folder + "logo.png";
    EXPECT_TRUE(img.save(file));
    return file;
}

TTextObj* AddText(TVGProj& proj, int x, int y, const QString& text, int size = 14,
                  TAlignment align = VG::taLeftJustify)
{
    TTextObj* t = proj.Texts.Add();
    t->X = x;
    t->Y = y;
    t->Text = text;
    t->FontName = kFont;
    t->FontSize = size;
    t->Alignment = align;
    t->FontColor = 0xFFFFFF;
    return t;
}

QImage DrawOutput(TVGProj& proj)
{
    const QSize size = proj.GetOutputSize();
    QImage img = BlackImage(size.width(), size.height());
    QPainter p(&img);
    proj.DrawOverlays(&p, size.width(), size.height());
    p.end();
    return img;
}

}  // namespace

TEST(ProjectSize, OutputSizeRoundsHalvesToEven)
{
    TVGProj proj;
    proj.VideoWidth = 1280;
    proj.VideoHeight = 720;
    proj.UseCrop = true;
    proj.CropRect = {10, 20, 651, 379};  // 641 x 359
    proj.SizeStyle = ssHalf;
    EXPECT_EQ(proj.GetOutputSize(), QSize(320, 180));
    proj.CropRect = {0, 0, 643, 361};
    EXPECT_EQ(proj.GetOutputSize(), QSize(322, 180));
    proj.SizeStyle = ssQuarter;  // 160.75 x 90.25
    EXPECT_EQ(proj.GetOutputSize(), QSize(161, 90));
    proj.SizeStyle = ssOriginal;
    EXPECT_EQ(proj.GetOutputSize(), QSize(643, 361));
    proj.UseCrop = false;  // the crop is kept but not used
    EXPECT_EQ(proj.GetOutputSize(), QSize(1280, 720));
    proj.SizeStyle = ssCustom;
    proj.CustomWidth = 333;
    proj.CustomHeight = 77;
    EXPECT_EQ(proj.GetOutputSize(), QSize(333, 77));
}

TEST(ProjectSize, ScaleFactorsFollowTheSizeRule)
{
    TVGProj proj;
    proj.VideoWidth = 1000;
    proj.VideoHeight = 800;
    proj.SizeStyle = ssQuarter;
    EXPECT_DOUBLE_EQ(proj.GetScaleFactor(), 0.25);
    EXPECT_DOUBLE_EQ(proj.GetScaleX(), 0.25);
    EXPECT_DOUBLE_EQ(proj.GetScaleY(), 0.25);

    proj.SizeStyle = ssCustom;
    proj.CustomWidth = 320;
    proj.CustomHeight = 100;
    EXPECT_DOUBLE_EQ(proj.GetScaleFactor(), -1.0);
    EXPECT_DOUBLE_EQ(proj.GetScaleX(), 0.32);   // against the video size
    EXPECT_DOUBLE_EQ(proj.GetScaleY(), 0.125);
    proj.UseCrop = true;
    proj.CropRect = {20, 20, 660, 420};          // 640 x 400
    EXPECT_DOUBLE_EQ(proj.GetScaleX(), 0.5);
    EXPECT_DOUBLE_EQ(proj.GetScaleY(), 0.25);

    // No base size: no infinities for the drawing to choke on.
    proj.CropRect = {};
    EXPECT_EQ(proj.GetScaleX(), 0.0);
    EXPECT_EQ(proj.GetScaleY(), 0.0);
    QImage img = BlackImage(320, 100);
    proj.Logo.Enabled = true;
    proj.Logo.Width = proj.Logo.Height = 10;
    AddText(proj, 5, 5, "x");
    QPainter p(&img);
    proj.DrawOverlays(&p, 320, 100);
    p.end();
    EXPECT_TRUE(InkBox(img).isNull());
}

TEST(ProjectRange, InRangeAndValidRange)
{
    TVGProj proj;
    EXPECT_FALSE(proj.HasValidRange());
    proj.StartPTS = 1000;
    EXPECT_TRUE(proj.InRange(1000));     // the start alone, end not set
    EXPECT_FALSE(proj.InRange(1001));
    EXPECT_FALSE(proj.InRange(AV_NOPTS_VALUE));
    proj.EndPTS = 1000;                  // empty range: only its ends
    EXPECT_FALSE(proj.HasValidRange());
    EXPECT_FALSE(proj.InRange(999));
    proj.EndPTS = 5000;
    EXPECT_TRUE(proj.HasValidRange());
    EXPECT_TRUE(proj.InRange(3000));
    EXPECT_TRUE(proj.InRange(5000));
    EXPECT_FALSE(proj.InRange(5001));
    EXPECT_FALSE(proj.InRange(999));
    proj.StartPTS = 6000;                // reversed: only the two ends
    EXPECT_TRUE(proj.InRange(6000));
    EXPECT_TRUE(proj.InRange(5000));
    EXPECT_FALSE(proj.InRange(5500));
}

TEST(ProjectRange, SamePTSNeedsTheSameMillisecondText)
{
    EXPECT_TRUE(SamePTS(5123000, 5123000));
    EXPECT_TRUE(SamePTS(5123000, 5123999));
    EXPECT_FALSE(SamePTS(5123000, 5124000));
    EXPECT_FALSE(SamePTS(5123999, 5124001));    // under a millisecond, different text
    EXPECT_FALSE(SamePTS(AV_NOPTS_VALUE, 0));
    EXPECT_FALSE(SamePTS(INT64_MAX, INT64_MIN + 1));
    EXPECT_TRUE(SamePTS(AV_NOPTS_VALUE, AV_NOPTS_VALUE));
}

TEST(ProjectRange, SnapRangeTakesDecodedFramesOfTheSameMillisecond)
{
    TVGProj proj;
    proj.StartPTS = 5123000;
    proj.EndPTS = 9000000;
    TVGFrame* late = proj.Frames.AddFrame("b.bmp", 5124000);
    proj.SnapRange(late);
    EXPECT_EQ(proj.StartPTS, 5123000);
    TVGFrame* same = proj.Frames.AddFrame("a.bmp", 5123400);
    proj.SnapRange(same);
    EXPECT_EQ(proj.StartPTS, 5123400);

    // Without a frame: every frame of the list, end included.
    proj.StartPTS = 5123000;
    proj.Frames.AddFrame("c.bmp", 9000700);
    proj.SnapRange();
    EXPECT_EQ(proj.StartPTS, 5123400);
    EXPECT_EQ(proj.EndPTS, 9000700);

    // An unset time stays unset.
    proj.EndPTS = AV_NOPTS_VALUE;
    proj.SnapRange();
    EXPECT_EQ(proj.EndPTS, AV_NOPTS_VALUE);
}

TEST(ProjectRange, DeletedFrames)
{
    TVGProj proj;
    proj.StartPTS = 100;
    proj.EndPTS = 300;
    proj.Frames.AddFrame("a", 50)->Deleted = true;
    proj.Frames.AddFrame("b", 200);
    proj.Frames.AddFrame("c", 400)->Deleted = true;
    EXPECT_FALSE(proj.HasDeletedInRange());
    EXPECT_TRUE(proj.IsFrameDeleted(50));
    EXPECT_FALSE(proj.IsFrameDeleted(200));
    EXPECT_FALSE(proj.IsFrameDeleted(51));
    proj.Frames.FindFrame(200)->Deleted = true;
    EXPECT_TRUE(proj.HasDeletedInRange());
}

TEST(ProjectOverlay, LogoOnCroppedCustomOutput)
{
    const QString dir = MakeTempDir("logo");
    TVGProj proj;
    proj.VideoWidth = 700;
    proj.VideoHeight = 500;
    proj.UseCrop = true;
    proj.CropRect = {20, 20, 660, 420};
    proj.SizeStyle = ssCustom;
    proj.CustomWidth = 320;
    proj.CustomHeight = 100;
    proj.Logo.Enabled = true;
    proj.Logo.ImageFileName = SolidPicture(dir, qRgb(255, 0, 0));
    proj.Logo.X = 40;
    proj.Logo.Y = 40;
    proj.Logo.Width = 100;
    proj.Logo.Height = 100;

    const QImage img = DrawOutput(proj);
    // (10, 5), 50 x 50: both sides by the horizontal factor.
    EXPECT_EQ(InkBox(img), QRect(10, 5, 50, 50));
    EXPECT_EQ(img.pixel(10, 5), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(59, 54), qRgb(255, 0, 0));

    proj.Logo.Enabled = false;
    EXPECT_TRUE(InkBox(DrawOutput(proj)).isNull());
}

TEST(ProjectOverlay, LogoFileComesAndGoes)
{
    const QString dir = MakeTempDir("logo2");
    TVGProj proj;
    proj.VideoWidth = 200;
    proj.VideoHeight = 200;
    proj.Logo.Enabled = true;
    proj.Logo.ImageFileName = dir + "logo.png";
    proj.Logo.Width = proj.Logo.Height = 20;

    QImage img = BlackImage(200, 200);
    proj.DrawPreviewOverlays(img);          // missing file: nothing, no complaint
    EXPECT_TRUE(InkBox(img).isNull());

    SolidPicture(dir, qRgb(0, 255, 0));     // tried again on the next drawing
    proj.DrawPreviewOverlays(img);
    EXPECT_EQ(img.pixel(10, 10), qRgb(0, 255, 0));

    SolidPicture(dir, qRgb(0, 0, 255));     // kept until dropped
    img = BlackImage(200, 200);
    proj.DrawPreviewOverlays(img);
    EXPECT_EQ(img.pixel(10, 10), qRgb(0, 255, 0));
    proj.ResetLogoImage();
    proj.DrawPreviewOverlays(img);
    EXPECT_EQ(img.pixel(10, 10), qRgb(0, 0, 255));
}

TEST(ProjectOverlay, TextsAreHalfSizeOnHalfOutput)
{
    TVGProj proj;
    proj.VideoWidth = 640;
    proj.VideoHeight = 400;
    AddText(proj, 100, 100, "Hello", 20);

    QImage preview = BlackImage(640, 400);
    proj.DrawPreviewOverlays(preview);
    const QRect full = InkBox(preview);
    ASSERT_FALSE(full.isNull());

    proj.SizeStyle = ssHalf;
    const QRect half = InkBox(DrawOutput(proj));
    ASSERT_FALSE(half.isNull());
    EXPECT_NEAR(half.width(), full.width() / 2.0, 2.0);
    EXPECT_NEAR(half.height(), full.height() / 2.0, 2.0);
    EXPECT_NEAR(half.left(), full.left() / 2.0, 1.5);
    EXPECT_NEAR(half.top(), full.top() / 2.0, 1.5);

    // A fractional em size (2 x 20 x 0.37 = 14.8 px) is drawn at that size,
    // not at the next whole pixel size.
    proj.SizeStyle = ssCustom;
    proj.CustomWidth = static_cast<int>(640 * 0.37);
    proj.CustomHeight = 400;
    const double sx = proj.GetScaleX();
    const QRect odd = InkBox(DrawOutput(proj));
    EXPECT_NEAR(odd.width(), full.width() * sx, 2.0);
}

TEST(ProjectOverlay, TextAlignmentAndLineBreaks)
{
    TVGProj proj;
    proj.VideoWidth = 600;
    proj.VideoHeight = 300;
    TTextObj* t = AddText(proj, 300, 50, "Wide text", 16);

    auto ink = [&] {
        QImage img = BlackImage(600, 300);
        proj.DrawPreviewOverlays(img);
        return InkBox(img);
    };
    const QRect left = ink();
    EXPECT_NEAR(left.left(), 300, 4);
    EXPECT_GE(left.top(), 50);
    t->Alignment = VG::taCenter;
    const QRect centre = ink();
    EXPECT_NEAR(centre.center().x(), 300, 3);
    t->Alignment = VG::taRightJustify;
    const QRect right = ink();
    EXPECT_NEAR(right.right(), 300, 4);
    EXPECT_NEAR(right.width(), left.width(), 1);

    // Both line break styles give two lines, each aligned on its own.
    for (const QString& text : {QStringLiteral("Wide text\nab"), QStringLiteral("Wide text\r\nab")}) {
        t->Text = text;
        const QRect two = ink();
        EXPECT_GT(two.height(), left.height() * 1.7) << text.toStdString();
        EXPECT_NEAR(two.right(), 300, 4);
    }
}

TEST(ProjectOverlay, PreviewPutsTheLogoOnTopOutputTheTexts)
{
    const QString dir = MakeTempDir("order");
    TVGProj proj;
    proj.VideoWidth = 300;
    proj.VideoHeight = 200;
    TTextObj* t = AddText(proj, 10, 10, "MMMM", 40);
    t->FontStyles = fsBold;
    t->FontColor = 0x00FF00;  // green, as 0x00BBGGRR

    QImage textOnly = BlackImage(300, 200);
    proj.DrawPreviewOverlays(textOnly);
    const QRect ink = InkBox(textOnly);
    ASSERT_FALSE(ink.isNull());
    // A fully inked pixel of the text.
    QPoint hit(-1, -1);
    for (int y = ink.top(); y <= ink.bottom() && hit.x() < 0; ++y)
        for (int x = ink.left(); x <= ink.right(); ++x)
            if (textOnly.pixel(x, y) == qRgb(0, 255, 0)) {
                hit = QPoint(x, y);
                break;
            }
    ASSERT_GE(hit.x(), 0);

    proj.Logo.Enabled = true;
    proj.Logo.ImageFileName = SolidPicture(dir, qRgb(255, 0, 0));
    proj.Logo.X = hit.x() - 2;
    proj.Logo.Y = hit.y() - 2;
    proj.Logo.Width = proj.Logo.Height = 5;

    QImage preview = BlackImage(300, 200);
    proj.DrawPreviewOverlays(preview);
    EXPECT_EQ(preview.pixel(hit), qRgb(255, 0, 0));
    const QImage output = DrawOutput(proj);
    EXPECT_EQ(output.pixel(hit), qRgb(0, 255, 0));
}

TEST(ProjectOverlay, PreviewOnA24BitFrame)
{
    TVGProj proj;
    AddText(proj, 5, 5, "Frame", 12);
    QImage img(200, 100, QImage::Format_RGB888);
    img.fill(Qt::black);
    proj.DrawPreviewOverlays(img);
    EXPECT_EQ(img.format(), QImage::Format_RGB888);
    EXPECT_FALSE(InkBox(img.convertToFormat(QImage::Format_RGB32)).isNull());
}

TEST(ProjectOverlay, DrawOverlaysFromSeveralThreads)
{
    const QString dir = MakeTempDir("threads");
    TVGProj proj;
    proj.VideoWidth = 320;
    proj.VideoHeight = 240;
    proj.SizeStyle = ssHalf;
    proj.Logo.Enabled = true;
    proj.Logo.ImageFileName = SolidPicture(dir, qRgb(255, 0, 0), 8, 8);
    proj.Logo.X = proj.Logo.Y = 100;
    proj.Logo.Width = proj.Logo.Height = 40;
    AddText(proj, 20, 20, "Threads", 10);
    const QImage expected = DrawOutput(proj);
    proj.ResetLogoImage();  // as before a conversion: the first drawing loads it

    std::vector<QImage> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&proj, &result] {
            for (int i = 0; i < 5; ++i)
                result = DrawOutput(proj);
        });
    for (auto& t : threads)
        t.join();
    for (const auto& result : results)
        EXPECT_EQ(result, expected);
}

// The conversion thread draws and asks from a copy: what the main thread does
// to the project afterwards (edits, frees) does not reach it.
TEST(ProjectOverlay, SnapshotOutlivesChangesToTheProject)
{
    const QString dir = MakeTempDir("snapshot");
    auto proj = std::make_unique<TVGProj>();
    proj->VideoWidth = 320;
    proj->VideoHeight = 240;
    proj->SizeStyle = ssHalf;
    proj->UseCrop = true;
    proj->CropRect = {20, 10, 320, 240};
    proj->StartPTS = 0;
    proj->EndPTS = 1000000;
    proj->Logo.Enabled = true;
    proj->Logo.ImageFileName = SolidPicture(dir, qRgb(255, 0, 0), 8, 8);
    proj->Logo.X = proj->Logo.Y = 100;
    proj->Logo.Width = proj->Logo.Height = 40;
    AddText(*proj, 40, 30, "Snapshot", 10);
    for (int i = 0; i < 5; ++i)
        proj->Frames.AddFrame(QString(), i * 200000)->Deleted = (i == 1 || i == 3);
    proj->Frames.AddFrame(QString(), 2000000)->Deleted = true;   // outside the range
    const QImage expected = DrawOutput(*proj);

    const auto snap = proj->TakeSnapshot();
    proj->Texts.Clear();
    proj->Logo.Enabled = false;
    QFile::remove(proj->Logo.ImageFileName);
    proj->ResetLogoImage();
    proj->Frames.Clear();
    proj.reset();

    const QSize size = expected.size();
    QImage drawn = BlackImage(size.width(), size.height());
    QPainter p(&drawn);
    snap->Draw(p);
    p.end();
    EXPECT_EQ(drawn, expected);
    EXPECT_FALSE(InkBox(drawn).isNull());
    EXPECT_TRUE(snap->HasOverlays());
    EXPECT_TRUE(snap->HasDeleted());
    EXPECT_TRUE(snap->IsFrameDeleted(200000));
    EXPECT_TRUE(snap->IsFrameDeleted(600000));
    EXPECT_FALSE(snap->IsFrameDeleted(400000));
    EXPECT_FALSE(snap->IsFrameDeleted(2000000));
}

TEST(ProjectHit, LogoFirstEvenWhenDisabledStrictEdges)
{
    TVGProj proj;
    proj.Logo.X = 40;
    proj.Logo.Y = 40;
    proj.Logo.Width = 100;
    proj.Logo.Height = 50;
    TTextObj* t = AddText(proj, 30, 30, "Under the logo", 30);
    ASSERT_FALSE(proj.Logo.Enabled);
    EXPECT_EQ(proj.ElementAt({41, 41}), &proj.Logo);
    EXPECT_EQ(proj.ElementAt({139.5, 89.5}), &proj.Logo);
    EXPECT_EQ(proj.ElementAt({40, 60}), t);      // on the logo's edge: the text below
    EXPECT_NE(proj.ElementAt({140, 60}), &proj.Logo);
    EXPECT_NE(proj.ElementAt({60, 90}), &proj.Logo);
    EXPECT_EQ(proj.ElementAt({500, 500}), nullptr);
}

TEST(ProjectHit, TextsFromTheLastWithTheDrawnBox)
{
    TVGProj proj;
    proj.VideoWidth = 400;
    proj.VideoHeight = 200;
    TTextObj* first = AddText(proj, 200, 50, "First text", 14, VG::taCenter);
    TTextObj* second = AddText(proj, 200, 50, "Second", 14, VG::taRightJustify);
    EXPECT_EQ(proj.ElementAt({190, 60}), second);
    EXPECT_EQ(proj.ElementAt({210, 60}), first);

    // The box measured for hits holds every drawn pixel.
    proj.Texts.Delete(1);
    const QRectF box = first->MeasureText(2.0 * first->FontSize, QPointF(first->X, first->Y));
    QImage img = BlackImage(400, 200);
    proj.DrawPreviewOverlays(img);
    const QRect ink = InkBox(img);
    EXPECT_TRUE(box.adjusted(-1, -1, 1, 1).contains(QRectF(ink))) << "box and drawing disagree";

    // Strict insides.
    EXPECT_EQ(proj.ElementAt(box.center()), first);
    EXPECT_EQ(proj.ElementAt({box.left(), box.center().y()}), nullptr);
    EXPECT_EQ(proj.ElementAt({box.center().x(), box.bottom()}), nullptr);
    EXPECT_EQ(proj.ElementAt({box.center().x(), box.top() + 0.01}), first);
}

TEST(ProjectText, FontRoundTrip)
{
    TTextObj t;
    t.FontName = kFont;
    t.FontSize = 14;
    t.FontStyles = fsBold | fsUnderline;
    t.FontColor = 0x0000FF;  // red
    QFont font;
    QColor color;
    t.AssignToFont(font, color);
    EXPECT_EQ(font.family(), kFont);
    EXPECT_EQ(font.pixelSize(), 28);  // the em size drawn on the source frame
    EXPECT_TRUE(font.bold());
    EXPECT_FALSE(font.italic());
    EXPECT_TRUE(font.underline());
    EXPECT_EQ(color, QColor(255, 0, 0));

    font.setItalic(true);
    font.setUnderline(false);
    font.setStrikeOut(true);
    font.setPixelSize(33);
    TTextObj back;
    back.AssignFromFont(font, QColor(1, 2, 3));
    EXPECT_EQ(back.FontSize, 17);
    EXPECT_EQ(back.FontStyles, fsBold | fsItalic | fsStrikeOut);
    EXPECT_EQ(back.FontColor, 0x030201u);

    QFont points(kFont);
    points.setPointSize(12);  // 16 px at 96 dpi
    back.AssignFromFont(points, Qt::white);
    EXPECT_EQ(back.FontSize, 8);
}

TEST(ProjectText, TextListOwnsItsItems)
{
    TTextList list;
    TTextObj* a = list.Add();
    TTextObj* b = list.Add(new TTextObj);
    EXPECT_EQ(list.Add(b), b);  // already listed: not twice
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.IndexOf(b), 1);
    EXPECT_TRUE(list.Remove(a));
    EXPECT_FALSE(list.Remove(a));
    EXPECT_EQ(list[0], b);
    list.Delete(5);  // out of range: nothing
    EXPECT_EQ(list.Count(), 1);
}

TEST(ProjectStream, NoFileNoVideo)
{
    TFFDecoder decoder;
    TVGProj proj;
    proj.VideoWidth = 5;
    proj.FrameRate = 3;
    proj.LoadStreamInfo(&decoder);
    EXPECT_FALSE(proj.HasVideo());
    EXPECT_EQ(proj.VideoWidth, 0);
    EXPECT_EQ(proj.FrameRate, 0.0);
    EXPECT_EQ(FrameDuration(&decoder), 0);
    EXPECT_EQ(FrameDuration(nullptr), 0);
}

TEST(ProjectLifecycle, NewProject)
{
    TVGProj proj;
    EXPECT_EQ(proj.StartPTS, AV_NOPTS_VALUE);
    EXPECT_EQ(proj.EndPTS, AV_NOPTS_VALUE);
    EXPECT_FALSE(proj.UseCrop);
    EXPECT_TRUE(proj.CropRect.IsEmpty());
    EXPECT_FALSE(proj.Logo.Enabled);
    EXPECT_EQ(proj.Logo.Width, 0);
    EXPECT_TRUE(proj.Texts.IsEmpty());
    EXPECT_TRUE(proj.Frames.IsEmpty());
    EXPECT_EQ(proj.Flip + proj.Rotation + proj.Sequence, 0);
    EXPECT_EQ(TRect::FromQRect(QRect(3, 4, 10, 20)), (TRect{3, 4, 13, 24}));
    EXPECT_EQ((TRect{3, 4, 13, 24}).ToQRect(), QRect(3, 4, 10, 20));
}

TEST(ProjectDefaults, ApplyDefaultsSetsEveryTextsFontOnly)
{
    TVGConfig config;
    config.GifFPS = 12;
    config.GifSpeed = 1.5;
    config.GifLoop = 3;
    config.SizeStyle = ssQuarter;
    config.FontName = kFont;
    config.FontSize = 22;
    config.FontStyles = fsBold | fsItalic;
    config.FontColor = 0x123456;
    TVGConfig* saved = VGConfig;
    VGConfig = &config;

    TVGProj proj;  // a new clip takes the defaults
    EXPECT_EQ(proj.GifFPS, 12);
    EXPECT_EQ(proj.SizeStyle, ssQuarter);
    proj.GifFPS = 5;
    proj.CustomWidth = 99;
    proj.Logo.X = 7;
    for (int i = 0; i < 3; ++i) {
        TTextObj* t = AddText(proj, 10 * i, 20 * i, QString("text %1").arg(i), 8, VG::taCenter);
        t->FontName = "Other";
        t->FontColor = 0;
    }
    proj.ApplyDefaults();
    VGConfig = saved;

    EXPECT_EQ(proj.GifFPS, 12);
    EXPECT_DOUBLE_EQ(proj.GifSpeed, 1.5);
    EXPECT_EQ(proj.GifLoop, 3);
    EXPECT_EQ(proj.CustomWidth, 99);
    EXPECT_EQ(proj.Logo.X, 7);
    for (int i = 0; i < 3; ++i) {
        const TTextObj* t = proj.Texts[i];
        EXPECT_EQ(t->FontName, kFont);
        EXPECT_EQ(t->FontSize, 22);
        EXPECT_EQ(t->FontStyles, fsBold | fsItalic);
        EXPECT_EQ(t->FontColor, 0x123456u);
        EXPECT_EQ(t->X, 10 * i);
        EXPECT_EQ(t->Y, 20 * i);
        EXPECT_EQ(t->Alignment, VG::taCenter);
        EXPECT_EQ(t->Text, QString("text %1").arg(i));
    }
}
