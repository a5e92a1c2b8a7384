#include "Shots.h"

#include "AboutFrm.h"
#include "CropFrm.h"
#include "OptionFrm.h"
#include "GifWriter.h"
#include "PreviewFrm.h"
#include "PublishFrm.h"
#include "ZelProgressBar.h"
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
#include <QFile>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>
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

// A 640 x 360 picture for the crop dialog when no video is at hand.
QImage SamplePicture()
{
    QImage img(640, 360, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 640, 360);
    g.setColorAt(0, QColor(0x2E, 0x6F, 0x9E));
    g.setColorAt(1, QColor(0xE8, 0xB0, 0x5A));
    p.fillRect(img.rect(), g);
    p.setPen(Qt::white);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(64);
    p.setFont(f);
    p.drawText(img.rect(), Qt::AlignCenter, QStringLiteral("Frame 42"));
    return img;
}

TVGProj* SampleProject()
{
    static TVGProj proj;
    proj.VideoWidth = 640;
    proj.VideoHeight = 360;
    proj.UseCrop = true;
    proj.CropRect = {120, 60, 480, 300};
    return &proj;
}

// A small animated GIF to preview: a sun rising over a hill, in colours of
// the 6 x 6 x 6 cube so no dithering is needed.
QString SampleGif()
{
    const QString file = QStandardPaths::writableLocation(QStandardPaths::TempLocation) + QStringLiteral("/ganterly-shots-sample.gif");
    const int w = 240, h = 135;
    TGifWriter gw;
    if (!gw.Open(file, w, h, -1))
        return QString();
    std::vector<uint8_t> palette;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                palette.insert(palette.end(), {uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51)});
    palette.resize(256 * 3, 0);
    for (int i = 0; i < 12; ++i) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(QColor(51, 153, 255));
        QPainter p(&img);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 204, 51));
        p.drawEllipse(QPointF(150, 100 - i * 5), 18, 18);
        p.setBrush(QColor(51, 102, 51));
        p.drawEllipse(QPointF(70, h + 60), 170, 110);
        p.end();
        TGifFrame f;
        f.Width = w;
        f.Height = h;
        f.Palette = palette;
        f.DelayCs = 8;
        f.Pixels.resize(size_t(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb c = img.pixel(x, y);
                f.Pixels[size_t(y) * w + x] =
                    uint8_t((qRed(c) + 25) / 51 * 36 + (qGreen(c) + 25) / 51 * 6 + (qBlue(c) + 25) / 51);
            }
        if (!gw.PutFrame(f))
            return QString();
    }
    return gw.Close() ? file : QString();
}

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
    else if (className == QLatin1String("TOptionForm")) {
        auto f = std::make_unique<TOptionForm>();
        f->LoadFromConfig();
        w = std::move(f);
    } else if (className == QLatin1String("TCropForm")) {
        static const QImage picture = SamplePicture();
        auto f = std::make_unique<TCropForm>();
        f->Bind(SampleProject(), &picture);
        f->LoadFromProject();
        w = std::move(f);
    } else if (className == QLatin1String("TPublishForm")) {
        auto publish = std::make_unique<TPublishForm>();
        publish->ProgressBar->SetPercent(62);
        w = std::move(publish);
    } else if (className == QLatin1String("TPreviewForm")) {
        static TVGProj proj;
        proj.GifFileName = SampleGif();
        proj.VideoFileName = QStringLiteral("/tmp/Sample.mp4");
        auto preview = std::make_unique<TPreviewForm>();
        preview->SetProj(&proj);
        preview->LoadGif();
        w = std::move(preview);
    }
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
            // The crop dialog over the sample's frame, with a rectangle.
            const QImage& frame = mainForm.FrameBmp().isNull() ? mainForm.ShotImage() : mainForm.FrameBmp();
            const bool useCrop = proj->UseCrop;
            const TRect cropRect = proj->CropRect;
            proj->UseCrop = true;
            proj->CropRect = {proj->VideoWidth / 6, proj->VideoHeight / 5, proj->VideoWidth * 5 / 6, proj->VideoHeight * 4 / 5};
            {
                TCropForm crop;
                crop.Bind(proj, &frame);
                crop.LoadFromProject();
                Shoot(&crop, file("TCropForm-sample"));
            }
            proj->UseCrop = useCrop;
            proj->CropRect = cropRect;
        } else {
            std::fprintf(stderr, "cannot open %s\n", qPrintable(sample));
            ++gFailed;
        }
    }
    {
        TOptionForm options;
        options.LoadFromConfig();
        Shoot(&options, file("TOptionForm"));
    }
    {
        // Cropping off: the bare picture; then a typed rectangle over it.
        const QImage picture = SamplePicture();
        TVGProj* proj = SampleProject();
        proj->UseCrop = false;
        TCropForm off;
        off.Bind(proj, &picture);
        off.LoadFromProject();
        Shoot(&off, file("TCropForm-off"));
        proj->UseCrop = true;
        TCropForm crop;
        crop.Bind(proj, &picture);
        crop.LoadFromProject();
        Shoot(&crop, file("TCropForm"));
        crop.resize(900, 640);
        Shoot(&crop, file("TCropForm-large"));
    }
    {
        TPublishForm publish;
        publish.ProgressBar->SetPercent(62);
        Shoot(&publish, file("TPublishForm"));
    }
    {
        TVGProj proj;
        proj.GifFileName = SampleGif();
        proj.VideoFileName = QStringLiteral("/tmp/Sample.mp4");
        TPreviewForm preview;
        preview.SetProj(&proj);
        if (preview.LoadGif()) {
            preview.btnFolder->setEnabled(true);  // closing asks nothing
            Shoot(&preview, file("TPreviewForm"));
        } else {
            ++gFailed;
        }
        QFile::remove(proj.GifFileName);
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
