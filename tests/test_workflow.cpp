// The whole road a user takes, through the real windows with mouse and keys:
// open a clip, mark a range, delete a frame, crop, choose half size, two
// texts, a logo, a quarter turn, a horizontal flip and ping-pong, convert,
// watch the preview, save. The saved GIF is decoded and every frame matched
// to the fixture picture it must show.

#include "MainWindowFixture.h"

#include "ConvertSupport.h"
#include "CropFrm.h"
#include "GifRead.h"
#include "PreviewFrm.h"
#include "PublishFrm.h"
#include "SettingFrm.h"
#include "TzelEdit.h"
#include "ZelButtonEdit.h"
#include "ZelCheckBox.h"
#include "ZelComboBox.h"
#include "ZelMaskEdit.h"
#include "ZelNumEdit.h"
#include "ZelPageControl.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTransform>

namespace {

// Runs `act` on the first shown top-level window of type T, once, from
// inside whatever modal loop shows it.
template <class T>
class TWhenShown {
public:
    explicit TWhenShown(std::function<void(T*)> act) : FAct(std::move(act))
    {
        FPoll.setInterval(20);
        QObject::connect(&FPoll, &QTimer::timeout, [this] {
            if (T* t = ShownWindow<T>()) {
                FPoll.stop();
                Seen = true;
                FAct(t);
            }
        });
        FPoll.start();
    }
    bool Seen = false;

private:
    std::function<void(T*)> FAct;
    QTimer FPoll;
};

void TypeInto(QLineEdit* edit, const QString& text)
{
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Tab);
}

class WorkflowTest : public MainWindowTest {};

TEST_F(WorkflowTest, FromAClipToASavedGifThroughEveryWindow)
{
    // 320 x 240 at 25 fps: frame i starts at i * 40 ms.
    TFixtureVideo video;
    video.Path = MakeTempDir(QStringLiteral("workflow-clip")) + QStringLiteral("road.mp4");
    video.FrameCount = 50;
    video.Width = 320;
    video.Height = 240;
    video.Quality = 16;
    QString error;
    ASSERT_TRUE(WriteFixtureVideo(video, &error)) << error.toStdString();
    const QString clip = video.Path;
    Open(clip);
    ASSERT_NE(form->Proj(), nullptr);
    ASSERT_EQ(Photos(), 30);
    TVGProj* proj = form->Proj();

    // The range, typed: frames 10 to 20.
    TypeInto(form->edtStart, QStringLiteral("00:00:00.400"));
    TypeInto(form->edtEnd, QStringLiteral("00:00:00.800"));
    // Frame 13 deleted from the strip with the Delete key.
    ClickPhoto(13);
    QTest::keyClick(form->ShotView, Qt::Key_Delete);
    ASSERT_TRUE(Frame(13)->Deleted);

    // Crop, typed into the crop dialog: 240 x 200 from (40, 20).
    TWhenShown<TCropForm> crop([](TCropForm* f) {
        if (!f->cbxCrop->isChecked())
            QTest::mouseClick(f->cbxCrop, Qt::LeftButton, {}, QPoint(6, f->cbxCrop->height() / 2));
        TypeInto(f->edtCropX, QStringLiteral("40"));
        TypeInto(f->edtCropY, QStringLiteral("20"));
        TypeInto(f->edtCropW, QStringLiteral("240"));
        TypeInto(f->edtCropH, QStringLiteral("200"));
        QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
    });
    QTest::mouseClick(form->btnCrop, Qt::LeftButton);
    ASSERT_TRUE(crop.Seen);
    ASSERT_TRUE(proj->UseCrop);
    EXPECT_EQ(proj->CropRect.Left, 40);
    EXPECT_EQ(proj->CropRect.Top, 20);
    EXPECT_EQ(proj->CropRect.Right, 280);
    EXPECT_EQ(proj->CropRect.Bottom, 220);

    // The output settings: half size at the clip's own rate, two texts in
    // their own colours, a blue logo, a quarter turn, a horizontal flip, ping-pong.
    const QString logo = MakeTempDir(QStringLiteral("workflow")) + QStringLiteral("logo.png");
    QImage blue(20, 20, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 255));
    ASSERT_TRUE(blue.save(logo));
    SetOpenDialogHandler([&](QWidget*, const QString&, const QString&, const QString&) { return QStringList{logo}; });
    QList<QColor> colours{QColor(255, 0, 0), QColor(0, 255, 0)};
    SetFontDialogHandler([&](QFont& font, QColor& colour, QWidget*) {
        font.setPixelSize(30);
        font.setBold(true);
        colour = colours.takeFirst();
        return true;
    });
    TWhenShown<TSettingForm> setting([](TSettingForm* f) {
        f->cbSize->setCurrentIndex(1);
        f->cbFrameRate->setCurrentText(QStringLiteral("25"));
        f->PageControl1->setCurrentIndex(1);
        // The first text, at (60, 40) of the video.
        f->mmText->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(f->mmText, QStringLiteral("HH"));
        TypeInto(f->edtTextX, QStringLiteral("60"));
        TypeInto(f->edtTextY, QStringLiteral("40"));
        QTest::mouseClick(f->btnTextFont, Qt::LeftButton);
        // The second, at (200, 30).
        QTest::mouseClick(f->btnAddText, Qt::LeftButton);
        f->mmText->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(f->mmText, QStringLiteral("HH"));
        TypeInto(f->edtTextX, QStringLiteral("200"));
        TypeInto(f->edtTextY, QStringLiteral("30"));
        QTest::mouseClick(f->btnTextFont, Qt::LeftButton);
        // The logo, 80 x 80 at (100, 100).
        f->PageControl1->setCurrentIndex(2);
        QTest::mouseClick(f->cbxLogo, Qt::LeftButton, {}, QPoint(6, f->cbxLogo->height() / 2));
        QTest::mouseClick(f->edtLogo->Button(), Qt::LeftButton);
        TypeInto(f->edtLogoW, QStringLiteral("80"));
        TypeInto(f->edtLogoH, QStringLiteral("80"));
        TypeInto(f->edtLogoX, QStringLiteral("100"));
        TypeInto(f->edtLogoY, QStringLiteral("100"));
        f->PageControl1->setCurrentIndex(3);
        f->cbRotate->setCurrentIndex(1);
        QTest::mouseClick(f->cbxFlipH, Qt::LeftButton, {}, QPoint(6, f->cbxFlipH->height() / 2));
        f->PageControl1->setCurrentIndex(4);
        QTest::mouseClick(f->rbPingPong, Qt::LeftButton, {}, QPoint(6, f->rbPingPong->height() / 2));
        QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
    });
    QTest::mouseClick(form->btnSetting, Qt::LeftButton);
    SetFontDialogHandler({});
    ASSERT_TRUE(setting.Seen);
    ASSERT_EQ(proj->Texts.Count(), 2);
    EXPECT_EQ(proj->SizeStyle, ssHalf);
    EXPECT_EQ(proj->GifFPS, 25);
    EXPECT_EQ(proj->Rotation, 1);
    EXPECT_EQ(proj->Flip, 1);
    EXPECT_EQ(proj->Sequence, 2);
    EXPECT_TRUE(proj->Logo.Enabled);

    // Convert: the progress window, then the preview, saved under a name of ours.
    const QString saved = MakeTempDir(QStringLiteral("workflow-out")) + QStringLiteral("road.gif");
    SetSaveDialogHandler([&](QWidget*, const QString&, const QString&, const QString&, const QString&) { return saved; });
    bool folderEnabled = false;
    TWhenShown<TPreviewForm> preview([&](TPreviewForm* f) {
        EXPECT_FALSE(f->btnFolder->isEnabled());
        QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
        folderEnabled = f->btnFolder->isEnabled();
        QTest::mouseClick(f->btnCancelMe, Qt::LeftButton);
    });
    TWhenShown<TPublishForm> publish([](TPublishForm*) {});
    TestMsgBox::Clear();
    QTest::mouseClick(form->btnConvert, Qt::LeftButton);
    SetSaveDialogHandler({});
    EXPECT_TRUE(publish.Seen);
    ASSERT_TRUE(preview.Seen);
    EXPECT_TRUE(folderEnabled);
    EXPECT_TRUE(TestMsgBox::Seen().isEmpty()) << TestMsgBox::Seen().value(0).text.toStdString();

    // The GIF: 240 x 200 halved and turned, so 100 x 120.
    const QList<QImage> frames = ReadWithQt(saved);
    ASSERT_GE(frames.size(), 10);
    // Each frame turned back and matched to the nearest fixture picture cut the same way.
    QList<QImage> refs;
    for (int i = 0; i < 50; ++i)
        refs << FixtureFramePicture(video, i).copy(40, 20, 240, 200).scaled(120, 100, Qt::IgnoreAspectRatio,
                                                                          Qt::SmoothTransformation);
    QList<int> shown;
    QList<QImage> upright;
    for (const QImage& f : frames) {
        ASSERT_EQ(f.size(), QSize(100, 120));
        const QImage back = f.convertToFormat(QImage::Format_RGB32).mirrored(true, false).transformed(QTransform().rotate(-90));
        upright << back;
        int best = -1;
        double bestDiff = 1e9;
        for (int i = 0; i < refs.size(); ++i) {
            const double d = MeanDiff(back, refs[i].convertToFormat(QImage::Format_RGB32));
            if (d < bestDiff) {
                bestDiff = d;
                best = i;
            }
        }
        shown << best;
    }
    // Frames 10 to 19 (or 20) without 13, then back again without repeating the ends.
    QList<int> forward;
    for (int i = 10; i <= 20; ++i)
        if (i != 13)
            forward << i;
    const int n = (frames.size() + 2) / 2;
    ASSERT_TRUE(n == 9 || n == 10) << frames.size();
    QList<int> expected = forward.mid(0, n);
    for (int i = n - 2; i >= 1; --i)
        expected << forward[i];
    EXPECT_EQ(shown, expected);

    // The overlays at their places in the cropped, halved picture: the logo
    // at (30, 40) 40 x 40, red text from (10, 10), green text from (80, 5).
    auto near = [](QRgb px, QColor c) {
        return std::abs(qRed(px) - c.red()) < 60 && std::abs(qGreen(px) - c.green()) < 60 && std::abs(qBlue(px) - c.blue()) < 60;
    };
    auto count = [&](const QImage& img, QRect r, QColor c) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += near(img.pixel(x, y), c);
        return n;
    };
    for (int k = 0; k < upright.size(); ++k) {
        const QImage& img = upright[k];
        EXPECT_TRUE(near(img.pixel(50, 60), QColor(0, 0, 255))) << "frame " << k;
        EXPECT_TRUE(near(img.pixel(33, 43), QColor(0, 0, 255))) << "frame " << k;
        EXPECT_FALSE(near(img.pixel(26, 60), QColor(0, 0, 255))) << "frame " << k;
        EXPECT_GT(count(img, QRect(10, 10, 40, 25), QColor(255, 0, 0)), 20) << "frame " << k;
        EXPECT_GT(count(img, QRect(80, 5, 38, 25), QColor(0, 255, 0)), 20) << "frame " << k;
        EXPECT_EQ(count(img, QRect(0, 50, 25, 50), QColor(255, 0, 0)), 0) << "frame " << k;
    }
}

}  // namespace
