#include "VGProj.h"

#include "VGConfig.h"
#include "BitmapFile.h"
#include "FFDecoder.h"
#include "VideoPicture.h"
#include "VGConvert.h"
#include "ZelMessages.h"
#include "Zelfunction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QMutexLocker>
#include <QPainter>
#include <QStorageInfo>
#include <algorithm>
#include <cmath>


// ---- text overlays --------------------------------------------------------------

void TVGConfig::ApplyDefaultFont(TTextObj* Text) const
{
    if (!Text)
        return;
    Text->FontName = FontName;
    Text->FontSize = FontSize;
    Text->FontStyles = FontStyles;
    Text->FontColor = static_cast<uint32_t>(FontColor) & 0xFFFFFF;
}

void TTextObj::AssignToFont(QFont& font, QColor& color) const
{
    font = MakeFont(2.0 * FontSize);
    color = QColor(FontColor & 0xFF, (FontColor >> 8) & 0xFF, (FontColor >> 16) & 0xFF);
}

void TTextObj::AssignFromFont(const QFont& font, const QColor& color)
{
    FontName = font.family();
    double pixels = font.pixelSize();
    if (pixels <= 0)
        pixels = font.pointSizeF() * 96.0 / 72.0;
    FontSize = std::max(1, static_cast<int>(std::lround(pixels / 2.0)));
    TFontStyles styles;
    if (font.bold())
        styles |= fsBold;
    if (font.italic())
        styles |= fsItalic;
    if (font.underline())
        styles |= fsUnderline;
    if (font.strikeOut())
        styles |= fsStrikeOut;
    FontStyles = styles;
    FontColor = static_cast<uint32_t>(color.red()) | (static_cast<uint32_t>(color.green()) << 8)
                | (static_cast<uint32_t>(color.blue()) << 16);
}

QFont TTextObj::MakeFont(double emPixels, double* scale) const
{
    QFont font(FontName);
    const int whole = std::max(1, static_cast<int>(std::ceil(emPixels - 1e-9)));
    font.setPixelSize(whole);
    font.setBold(FontStyles.testFlag(fsBold));
    font.setItalic(FontStyles.testFlag(fsItalic));
    font.setUnderline(FontStyles.testFlag(fsUnderline));
    font.setStrikeOut(FontStyles.testFlag(fsStrikeOut));
    if (scale)
        *scale = emPixels > 0 ? emPixels / whole : 0.0;
    return font;
}

namespace {
// Line breaks as typed in a memo ("\r\n") become what the text layout breaks on.
QString LayoutText(const QString& text)
{
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

int HorizontalFlag(TAlignment alignment)
{
    switch (alignment) {
    case VG::taRightJustify: return Qt::AlignRight;
    case VG::taCenter: return Qt::AlignHCenter;
    default: return Qt::AlignLeft;
    }
}

// The text's box in the font's own pixels, the anchor at (0, 0).
QRectF LocalBox(const QFont& font, const QString& text, TAlignment alignment)
{
    const QSizeF size = QFontMetricsF(font).size(0, text);
    double left = 0;
    if (alignment == VG::taCenter)
        left = -size.width() / 2;
    else if (alignment == VG::taRightJustify)
        left = -size.width();
    return QRectF(QPointF(left, 0), size);
}
}  // namespace

QRectF TTextObj::MeasureText(double emPixels, QPointF origin) const
{
    double scale = 0;
    const QFont font = MakeFont(emPixels, &scale);
    const QRectF box = LocalBox(font, LayoutText(Text), Alignment);
    return QRectF(origin + box.topLeft() * scale, box.size() * scale);
}

void TTextObj::DrawText(QPainter& painter, double emPixels, QPointF origin) const
{
    if (!(emPixels > 0) || Text.isEmpty())
        return;
    double scale = 0;
    const QFont font = MakeFont(emPixels, &scale);
    const QString text = LayoutText(Text);
    const QRectF box = LocalBox(font, text, Alignment);
    painter.save();
    painter.translate(origin);
    if (scale != 1.0)
        painter.scale(scale, scale);
    painter.setFont(font);
    painter.setPen(QColor(FontColor & 0xFF, (FontColor >> 8) & 0xFF, (FontColor >> 16) & 0xFF));
    painter.drawText(box, HorizontalFlag(Alignment) | Qt::AlignTop | Qt::TextDontClip, text);
    painter.restore();
}

int TTextList::IndexOf(const TTextObj* text) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == text)
            return static_cast<int>(i);
    return -1;
}

TTextObj* TTextList::Add() { return Add(new TTextObj); }

TTextObj* TTextList::Add(TTextObj* text)
{
    if (text && IndexOf(text) < 0)
        FItems.emplace_back(text);
    return text;
}

void TTextList::Delete(int index)
{
    if (index >= 0 && index < Count())
        FItems.erase(FItems.begin() + index);
}

bool TTextList::Remove(TTextObj* text)
{
    const int index = IndexOf(text);
    Delete(index);
    return index >= 0;
}

void TTextList::Clear() { FItems.clear(); }

// ---- unit functions ------------------------------------------------------------

bool SamePTS(int64_t a, int64_t b)
{
    if (a == b)
        return true;
    if (a == AV_NOPTS_VALUE || b == AV_NOPTS_VALUE)
        return false;
    // Unsigned difference: no overflow for times far apart.
    const uint64_t diff = a > b ? static_cast<uint64_t>(a) - static_cast<uint64_t>(b)
                                : static_cast<uint64_t>(b) - static_cast<uint64_t>(a);
    return diff < static_cast<uint64_t>(Unit_Nano / 1000) && FormatPTS(a, 3) == FormatPTS(b, 3);
}

int32_t FrameDuration(TFFDecoder* decoder)
{
    if (!decoder)
        return 0;
    const TVideoStreamInfo info = decoder->GetVideoStreamInfo();
    if (info.FrameRateNum <= 0 || info.FrameRateDen <= 0)
        return 0;
    return static_cast<int32_t>(
        std::llround(static_cast<double>(Unit_Nano) * info.FrameRateDen / info.FrameRateNum));
}

// ---- project --------------------------------------------------------------------

// The buffer frame pictures go through on their way to a file outlives the
// project that used it: a fresh one costs more to fault in than to convert a
// picture into. Main thread only, as the groups are.
namespace {
std::unique_ptr<TBitmapRows>& SpareRows()
{
    static std::unique_ptr<TBitmapRows> spare;
    return spare;
}
}  // namespace

TVGProj::TVGProj() : StartPTS(AV_NOPTS_VALUE), EndPTS(AV_NOPTS_VALUE) { ApplyDefaults(); }

// The frame files are the project's own working files: a project replaced by
// the next open leaves none behind, or every open would add up to a whole
// budget to the temporary folder until the program ends.
TVGProj::~TVGProj()
{
    if (!SpareRows())
        SpareRows() = std::move(FFrameRows);
    for (int i = 0; i < Frames.Count(); ++i)
        if (Frames[i]->FileBytes > 0 && !Frames[i]->BitmapFile.isEmpty())
            QFile::remove(Frames[i]->BitmapFile);
}

void TVGProj::LoadStreamInfo(TFFDecoder* decoder)
{
    VideoWidth = 0;
    VideoHeight = 0;
    FrameRate = 0;
    Duration = 0;
    if (!decoder)
        return;
    const int index = decoder->VideoStreamIndex();
    if (index >= 0) {
        const TVideoStreamInfo info = decoder->GetVideoStreamInfos(index);
        VideoWidth = info.Width;
        VideoHeight = info.Height;
        FrameRate = info.FrameRateDen > 0 ? static_cast<double>(info.FrameRateNum) / info.FrameRateDen : 0.0;
    }
    Duration = decoder->GetFileStreamInfo().Duration;
}

void TVGProj::ApplyDefaults()
{
    if (!VGConfig)
        return;
    GifFPS = VGConfig->GifFPS;
    GifSpeed = VGConfig->GifSpeed;
    GifLoop = VGConfig->GifLoop;
    SizeStyle = VGConfig->SizeStyle;
    for (int i = 0; i < Texts.Count(); ++i)
        VGConfig->ApplyDefaultFont(Texts[i]);
}

void TVGProj::FillGeometry(TVGConvertFlag& flag) const
{
    flag.CropRect = {CropRect.Left, CropRect.Top, CropRect.Right, CropRect.Bottom};
    flag.UseCrop = UseCrop;
    flag.ScaleFactor = GetScaleFactor();
    flag.CustomWidth = CustomWidth;
    flag.CustomHeight = CustomHeight;
    flag.Rotation = Rotation;
}

TRect TVGProj::OutputCrop() const
{
    TVGConvertFlag flag;
    FillGeometry(flag);
    const TVGCropRect c = VGConvertPlan::ClipCrop(flag, VideoWidth, VideoHeight);
    return {c.Left, c.Top, c.Right, c.Bottom};
}

QSize TVGProj::BaseSize() const
{
    const TRect c = OutputCrop();
    return QSize(c.Width(), c.Height());
}

QSize TVGProj::GetOutputSize() const
{
    TVGConvertFlag flag;
    FillGeometry(flag);
    return VGConvertPlan::OutputSize(flag, VideoWidth, VideoHeight);
}

QSize TVGProj::GetGifSize() const
{
    TVGConvertFlag flag;
    FillGeometry(flag);
    return VGConvertPlan::WrittenSize(flag, VideoWidth, VideoHeight);
}

double TVGProj::ScaleFactorOf(TSizeStyle style)
{
    switch (style) {
    case ssHalf: return 0.5;
    case ssQuarter: return 0.25;
    case ssCustom: return -1.0;
    default: return 1.0;
    }
}

double TVGProj::GetScaleFactor() const { return ScaleFactorOf(SizeStyle); }

// With no base size there is nothing to scale; 0 keeps infinities out of the drawing.
double TVGProj::CustomScale(int custom, int base) const
{
    const double f = GetScaleFactor();
    if (f != -1.0)
        return f;
    return base > 0 ? static_cast<double>(custom) / base : 0.0;
}

double TVGProj::GetScaleX() const { return CustomScale(CustomWidth, BaseSize().width()); }
double TVGProj::GetScaleY() const { return CustomScale(CustomHeight, BaseSize().height()); }

// ---- clip range -----------------------------------------------------------------

bool TVGProj::HasValidRange() const
{
    return StartPTS != AV_NOPTS_VALUE && EndPTS != AV_NOPTS_VALUE && StartPTS < EndPTS;
}

bool TVGProj::InRange(int64_t pts) const
{
    // An unset time is not a time: it must not match an unset start or end.
    if (pts == AV_NOPTS_VALUE)
        return false;
    if (pts == StartPTS || pts == EndPTS)
        return true;
    return HasValidRange() && StartPTS <= pts && pts <= EndPTS;
}

void TVGProj::SnapRange(const TVGFrame* frame)
{
    if (!frame) {
        for (int i = 0; i < Frames.Count(); ++i)
            SnapRange(Frames[i]);
        return;
    }
    if (StartPTS != AV_NOPTS_VALUE && SamePTS(StartPTS, frame->PTS))
        StartPTS = frame->PTS;
    if (EndPTS != AV_NOPTS_VALUE && SamePTS(EndPTS, frame->PTS))
        EndPTS = frame->PTS;
}

bool TVGProj::HasDeletedInRange() const
{
    for (int i = 0; i < Frames.Count(); ++i)
        if (Frames[i]->Deleted && InRange(Frames[i]->PTS))
            return true;
    return false;
}

bool TVGProj::IsFrameDeleted(int64_t pts) const
{
    const TVGFrame* frame = Frames.FindFrame(pts);
    return frame && frame->Deleted;
}

// ---- overlays -------------------------------------------------------------------

QImage TVGProj::LogoImage()
{
    QMutexLocker lock(&FLogoLock);
    if (FLogoImage.isNull() && !Logo.ImageFileName.isEmpty() && QFileInfo(Logo.ImageFileName).isFile()) {
        // A file that is there but unreadable is retried on the next drawing, like a missing one.
        FLogoImage.load(Logo.ImageFileName);
    }
    return FLogoImage;
}

void TVGProj::ResetLogoImage()
{
    QMutexLocker lock(&FLogoLock);
    FLogoImage = QImage();
}

namespace {

// Overlays are placed in source pixels; on an output frame they move by the
// crop's corner and scale by the output factors.
struct TOverlayPlace {
    QPointF Offset;      // subtracted before scaling
    double ScaleX = 1.0;
    double ScaleY = 1.0;
};

void PaintLogo(QPainter& painter, const TVGLogo& logo, const QImage& image, const TOverlayPlace& at)
{
    if (image.isNull())
        return;
    // Both sides by the horizontal factor: the logo keeps its proportions.
    const double w = logo.Width * at.ScaleX, h = logo.Height * at.ScaleX;
    if (!(w > 0) || !(h > 0))
        return;
    const double x = (logo.X - at.Offset.x()) * at.ScaleX, y = (logo.Y - at.Offset.y()) * at.ScaleY;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(x, y, w, h), image);
    painter.restore();
}

void PaintText(QPainter& painter, const TTextObj& text, const TOverlayPlace& at)
{
    const QPointF origin((text.X - at.Offset.x()) * at.ScaleX, (text.Y - at.Offset.y()) * at.ScaleY);
    text.DrawText(painter, 2.0 * text.FontSize * at.ScaleX, origin);
}

}  // namespace

void TOverlaySnapshot::Draw(QPainter& painter) const
{
    const TOverlayPlace at{FOffset, FScaleX, FScaleY};
    if (FLogoEnabled)
        PaintLogo(painter, FLogo, FLogoImage, at);
    for (const TTextObj& text : FTexts)
        PaintText(painter, text, at);
}

bool TOverlaySnapshot::IsFrameDeleted(int64_t pts) const
{
    return std::binary_search(FDeleted.begin(), FDeleted.end(), pts);
}

std::shared_ptr<const TOverlaySnapshot> TVGProj::MakeSnapshot(const std::vector<const TTextObj*>& texts,
                                                               const TVGLogo& logo, const QImage& logoImage,
                                                               double scaleX, double scaleY)
{
    auto snap = std::make_shared<TOverlaySnapshot>();
    snap->FTexts.reserve(texts.size());
    for (const TTextObj* text : texts)
        snap->FTexts.push_back(*text);
    snap->FLogoEnabled = logo.Enabled;
    snap->FLogo = logo;
    if (logo.Enabled)
        snap->FLogoImage = logoImage;
    if (UseCrop) {
        const TRect crop = OutputCrop();   // as the conversion clips it
        snap->FOffset = QPointF(crop.Left, crop.Top);
    }
    snap->FScaleX = scaleX;
    snap->FScaleY = scaleY;
    for (int i = 0; i < Frames.Count(); ++i)
        if (Frames[i]->Deleted && InRange(Frames[i]->PTS))
            snap->FDeleted.push_back(Frames[i]->PTS);
    std::sort(snap->FDeleted.begin(), snap->FDeleted.end());
    return snap;
}

std::shared_ptr<const TOverlaySnapshot> TVGProj::TakeSnapshot()
{
    std::vector<const TTextObj*> texts;
    texts.reserve(static_cast<size_t>(Texts.Count()));
    for (int i = 0; i < Texts.Count(); ++i)
        texts.push_back(Texts[i]);
    return MakeSnapshot(texts, Logo, Logo.Enabled ? LogoImage() : QImage(), GetScaleX(), GetScaleY());
}

void TVGProj::DrawPreviewOverlays(QImage& bitmap)
{
    if ((Texts.IsEmpty() && !Logo.Enabled) || bitmap.isNull())
        return;
    // QPainter cannot paint on palette pictures.
    if (bitmap.format() == QImage::Format_Indexed8 || bitmap.format() == QImage::Format_Mono
        || bitmap.format() == QImage::Format_MonoLSB)
        bitmap = bitmap.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&bitmap);
    const TOverlayPlace at;
    for (int i = 0; i < Texts.Count(); ++i)
        PaintText(painter, *Texts[i], at);
    if (Logo.Enabled)
        PaintLogo(painter, Logo, LogoImage(), at);
}

void TVGProj::DrawOverlays(QPainter* painter, int width, int height)
{
    if (!painter || (Texts.IsEmpty() && !Logo.Enabled))
        return;
    TakeSnapshot()->Draw(*painter);
}

TVGElement* TVGProj::ElementAt(QPointF point)
{
    const double px = point.x(), py = point.y();
    if (Logo.X < px && px < double(Logo.X) + Logo.Width && Logo.Y < py && py < double(Logo.Y) + Logo.Height)
        return &Logo;
    for (int i = Texts.Count() - 1; i >= 0; --i) {
        TTextObj* t = Texts[i];
        const QRectF box = t->MeasureText(2.0 * t->FontSize, QPointF(t->X, t->Y));
        if (box.left() < px && px < box.right() && box.top() < py && py < box.bottom())
            return t;
    }
    return nullptr;
}

// ---- frame groups ---------------------------------------------------------------

// A 24-bit bottom-up bitmap file; false when the file cannot be written completely.
bool SaveBitmapFile(const QImage& image, const QString& fileName)
{
    TBitmapRows rows;
    return ImageToBitmapRows(image, rows) && WriteBitmapFile(rows, fileName);
}

bool TVGProj::CaptureFramePicture(TFFDecoder* decoder)
{
    // Converted straight into the file's layout in a buffer kept from frame
    // to frame, and written from there.
    if (!decoder->CopyToBitmapRows(FrameRows())) {
        MsgOut(QStringLiteral("MakeFrame: no picture at ") + FormatPTS(decoder->CurrentPTS(), 3) + QStringLiteral(" in \"")
               + decoder->FileName() + QStringLiteral("\": ") + decoder->LastError());
        return false;
    }
    return true;
}

QString TVGProj::NewFrameFileName()
{
    if (TempFolder.isEmpty()) {
        MsgOut(QStringLiteral("MakeFrame: the project has no temporary folder"));
        FrameFileError = QStringLiteral("No folder for the frame pictures.");
        return {};
    }
    // The folder is made again if something removed it while the program ran.
    if (!QFileInfo(TempFolder).isDir())
        QDir().mkpath(TempFolder);
    return TempFolder + CreateNewGUID() + QStringLiteral(".bmp");
}

bool TVGProj::WriteFramePicture(const TBitmapRows& rows, const QString& file, int64_t* bytes)
{
    QString error = QStringLiteral("no file name");
    if (file.isEmpty() || !WriteBitmapFile(rows, file, &error)) {
        MsgOut(QStringLiteral("MakeFrame: cannot write the frame bitmap \"") + file + QStringLiteral("\": ") + error);
        FrameFileError = QStringLiteral("Cannot write the frame picture \"%1\": %2").arg(QDir::toNativeSeparators(file), error);
        if (!file.isEmpty())
            QFile::remove(file);
        return false;
    }
    *bytes = QFileInfo(file).size();
    FGroupWritten = true;
    return true;
}

QString TVGProj::WriteFrameFile(TFFDecoder* decoder, int64_t* bytes)
{
    if (TempFolder.isEmpty()) {
        NewFrameFileName();   // tells why
        return {};
    }
    if (!CaptureFramePicture(decoder))
        return {};
    const QString file = NewFrameFileName();
    return WriteFramePicture(*FFrameRows, file, bytes) ? file : QString();
}

// The decoder's current picture as a new frame of the list, its bitmap in the
// temporary folder. A picture that cannot be had or saved gives no frame
// (logged), so no frame ever points at a missing file.
TVGFrame* TVGProj::MakeFrame(TFFDecoder* decoder)
{
    if (!decoder)
        return nullptr;
    if (TempFolder.isEmpty()) {
        NewFrameFileName();   // tells why
        return nullptr;
    }
    // The decoder's picture is kept as decoded (a copy of its planes) while
    // its file waits, or for the thumbnail: converted only when written.
    std::unique_ptr<TVideoPicture> picture;
    if (PictureCacheBytes > 0 || OnFramePicture) {
        picture = decoder->TakePicture();
        if (!picture) {
            MsgOut(QStringLiteral("MakeFrame: no picture at ") + FormatPTS(decoder->CurrentPTS(), 3)
                   + QStringLiteral(" in \"") + decoder->FileName() + QStringLiteral("\""));
            return nullptr;
        }
    }
    const QString file = NewFrameFileName();
    const int64_t held = picture ? picture->Bytes() : 0;
    const bool wait = picture && FGroupWritten && FWaitingBytes + held <= PictureCacheBytes;
    int64_t bytes = 0;
    if (!wait && (!CaptureFramePicture(decoder) || !WriteFramePicture(*FFrameRows, file, &bytes)))
        return nullptr;
    TVGFrame* frame = Frames.AddFrame(file, decoder->CurrentPTS());
    frame->LastUse = ++FUseClock;
    // A waiting file counts at the size it will have, so the budget sees it.
    frame->FileBytes = wait ? BitmapFileSize(picture->DisplaySize()) : bytes;
    if (OnFramePicture)
        OnFramePicture(frame, *picture);
    if (wait) {
        FWaitingBytes += held;
        FWaiting.push_back({frame, std::move(picture)});
    }
    SnapRange(frame);
    KeepWithinBudget();
    return frame;
}

int64_t TVGProj::FrameFileBudget() const
{
    if (FileBudget > 0)
        return FileBudget;
    constexpr int64_t Most = int64_t(2) << 30;
    const QStorageInfo disk(TempFolder);
    const int64_t free = disk.isValid() ? disk.bytesAvailable() : -1;
    return free > 0 ? std::min(Most, free / 4) : Most;
}

int64_t TVGProj::FrameFileBytes() const
{
    int64_t sum = 0;
    for (int i = 0; i < Frames.Count(); ++i)
        sum += Frames[i]->FileBytes;
    return sum;
}

void TVGProj::UseFrame(TVGFrame* frame)
{
    if (!frame)
        return;
    frame->LastUse = ++FUseClock;
    FShownPTS = frame->PTS;
}

// Drops the files of the frames used least recently until the rest fit.
void TVGProj::KeepWithinBudget()
{
    const int64_t budget = FrameFileBudget();
    int64_t onDisk = FrameFileBytes();
    if (onDisk <= budget)
        return;
    std::vector<TVGFrame*> withFiles;
    for (int i = 0; i < Frames.Count(); ++i)
        if (Frames[i]->FileBytes > 0 && Frames[i]->PTS != FShownPTS)
            withFiles.push_back(Frames[i]);
    std::sort(withFiles.begin(), withFiles.end(), [](const TVGFrame* a, const TVGFrame* b) { return a->LastUse < b->LastUse; });
    // The newest frame stays too: its file was made to be used.
    if (!withFiles.empty())
        withFiles.pop_back();
    for (TVGFrame* frame : withFiles) {
        if (onDisk <= budget)
            break;
        bool waited = false;
        for (size_t i = 0; i < FWaiting.size(); ++i)
            if (FWaiting[i].Frame == frame) {
                ForgetWaiting(i);   // never written: nothing to remove
                waited = true;
                break;
            }
        if (!waited)
            QFile::remove(frame->BitmapFile);
        onDisk -= frame->FileBytes;
        frame->BitmapFile.clear();
        frame->FileBytes = 0;
    }
}

bool TVGProj::EnsureFrameFile(TVGFrame* frame, TFFDecoder* decoder)
{
    if (!frame)
        return false;
    if (IsFileWaiting(frame) && FlushFrameFile(frame)) {
        UseFrame(frame);
        return true;
    }
    if (!frame->BitmapFile.isEmpty() && QFileInfo::exists(frame->BitmapFile)) {
        UseFrame(frame);
        return true;
    }
    if (!decoder || !LocateVideoPTS(decoder, frame->PTS) || decoder->CurrentPTS() != frame->PTS) {
        MsgOut(QStringLiteral("EnsureFrameFile: no frame at ") + FormatPTS(frame->PTS, 3)
               + (decoder ? QStringLiteral(": ") + decoder->LastError() : QString()));
        return false;
    }
    int64_t bytes = 0;
    const QString file = WriteFrameFile(decoder, &bytes);
    if (file.isEmpty())
        return false;
    frame->BitmapFile = file;
    frame->FileBytes = bytes;
    if (OnFramePicture)
        if (const std::unique_ptr<TVideoPicture> picture = decoder->TakePicture())
            OnFramePicture(frame, *picture);
    UseFrame(frame);
    KeepWithinBudget();
    return true;
}

TBitmapRows& TVGProj::FrameRows()
{
    if (!FFrameRows)
        FFrameRows = SpareRows() ? std::move(SpareRows()) : std::make_unique<TBitmapRows>();
    return *FFrameRows;
}

bool TVGProj::IsFileWaiting(const TVGFrame* frame) const { return WaitingPicture(frame) != nullptr; }

const TVideoPicture* TVGProj::WaitingPicture(const TVGFrame* frame) const
{
    for (const TWaitingFile& w : FWaiting)
        if (w.Frame == frame)
            return w.Picture.get();
    return nullptr;
}

void TVGProj::ForgetWaiting(size_t index)
{
    FWaitingBytes -= FWaiting[index].Picture->Bytes();
    FWaiting.erase(FWaiting.begin() + std::ptrdiff_t(index));
}

bool TVGProj::FlushFrameFile(TVGFrame* frame)
{
    for (size_t i = 0; i < FWaiting.size(); ++i) {
        if (FWaiting[i].Frame != frame)
            continue;
        int64_t bytes = 0;
        QString error;
        bool ok = FWaiting[i].Picture->ToBitmapRows(FrameRows(), &error);
        if (!ok) {
            MsgOut(QStringLiteral("FlushFrameFile: no picture at ") + FormatPTS(frame->PTS, 3) + QStringLiteral(": ") + error);
            FrameFileError = QStringLiteral("Cannot make the frame picture at %1: %2").arg(FormatPTS(frame->PTS, 3), error);
        }
        ok = ok && WriteFramePicture(*FFrameRows, frame->BitmapFile, &bytes);
        ForgetWaiting(i);
        if (ok) {
            frame->FileBytes = bytes;
            return true;
        }
        // The disk is full or gone: no other waiting file is tried, each is
        // made again when it is needed.
        frame->BitmapFile.clear();
        frame->FileBytes = 0;
        while (!FWaiting.empty()) {
            FWaiting.front().Frame->BitmapFile.clear();
            FWaiting.front().Frame->FileBytes = 0;
            ForgetWaiting(0);
        }
        return false;
    }
    return false;
}

bool TVGProj::FlushFrameFiles(int max)
{
    for (int n = 0; n < max && !FWaiting.empty(); ++n)
        FlushFrameFile(FWaiting.front().Frame);
    return !FWaiting.empty();
}

TVGFrame* TVGProj::FindOrMakeFrame(TFFDecoder* decoder)
{
    if (TVGFrame* frame = Frames.FindFrame(decoder->CurrentPTS()))
        return frame;
    return MakeFrame(decoder);
}

// skip counts the frames taken from links since the decoder last decoded; the
// caller starts it at 0. When the links run out, the decoder is moved past all
// of those frames before the next one is taken from it.
TVGFrame* TVGProj::NextFrame(TFFDecoder* decoder, TVGFrame* frame, int& skip)
{
    if (frame && frame->Next) {
        ++skip;
        return frame->Next;
    }
    if (!decoder)
        return nullptr;
    if (skip >= 0) {
        for (int i = 0; i <= skip; ++i)
            if (!decoder->Decode(-1))
                return nullptr;
    }
    skip = 0;
    return FindOrMakeFrame(decoder);
}

// One more frame of a group: taken, linked to the previous one, listed and
// reported. A frame that is not later than the previous one (timestamps going
// back or repeating in a damaged file) ends the group: linking it would make a
// cycle that a later walk over the links would never leave.
TVGFrame* TVGProj::GroupStep(TFFDecoder* decoder, TVGFrame* frame, int& skip, TGroupSink& sink)
{
    TVGFrame* next = NextFrame(decoder, frame, skip);
    if (!next)
        return nullptr;
    if (next->PTS <= frame->PTS) {
        MsgOut(QStringLiteral("frame group ends: ") + FormatPTS(frame->PTS, 3) + QStringLiteral(" followed by ")
               + FormatPTS(next->PTS, 3));
        return nullptr;
    }
    next->SetPrior(frame);
    frame->SetNext(next);
    sink.Add(next);
    return next;
}

void TVGProj::TGroupSink::Add(TVGFrame* frame)
{
    List.append(frame);
    SendMessageTo(Wnd, WM_DECODEPROGRESS, List.count(), Count);
}

void TVGProj::DecodeForward(TFFDecoder* decoder, int count, QObject* wnd, QList<TVGFrame*>& list, int64_t time)
{
    TGroupSink sink{wnd, list, count};
    StopGroup = false;
    FGroupWritten = false;
    SendMessageTo(wnd, WM_DECODEPROGRESS, 0, count);
    if (!decoder || StopGroup || !LocateVideoPTS(decoder, time))
        return;
    TVGFrame* frame = FindOrMakeFrame(decoder);
    if (!frame)
        return;
    sink.Add(frame);
    int skip = 0;
    for (int i = 1; i < count && frame && !StopGroup; ++i)
        frame = GroupStep(decoder, frame, skip, sink);
}

void TVGProj::DecodeBackward(TFFDecoder* decoder, int count, QObject* wnd, QList<TVGFrame*>& list, int64_t time)
{
    TGroupSink sink{wnd, list, count};
    StopGroup = false;
    FGroupWritten = false;
    SendMessageTo(wnd, WM_DECODEPROGRESS, 0, count);
    if (!decoder || StopGroup || time == AV_NOPTS_VALUE)
        return;
    const int64_t span = static_cast<int64_t>(count) * FrameDuration(decoder);
    const int64_t target = std::max<int64_t>(0, time - span);
    if (!LocateVideoPTS(decoder, target) || decoder->CurrentPTS() >= time)
        return;
    TVGFrame* frame = FindOrMakeFrame(decoder);
    if (!frame)
        return;
    sink.Add(frame);
    int skip = 0;
    while (frame && frame->PTS < time && !StopGroup)
        frame = GroupStep(decoder, frame, skip, sink);
}

// ---- conversion -------------------------------------------------------------------

TVGConvertFlag TVGProj::ConversionFlag(QObject* wnd)
{
    TVGConvertFlag flag;
    flag.VideoFileName = VideoFileName;
    flag.GifFileName = GifFileName;
    flag.StartPTS = StartPTS;
    flag.EndPTS = EndPTS;
    FillGeometry(flag);
    flag.MaxFrameCount = VGConfig ? VGConfig->GifMaxFrame : 1000;
    flag.GifFPS = GifFPS;
    flag.Reserved = 0;
    flag.GifSpeed = GifSpeed;
    flag.GifLoop = GifLoop;
    flag.Flip = Flip;
    flag.Sequence = Sequence;
    // The thread draws and asks from a copy taken now: the main thread may
    // edit or free the project while the conversion runs.
    std::shared_ptr<const TOverlaySnapshot> snap = TakeSnapshot();
    if (snap->HasOverlays())
        flag.OnDrawOverlay = [snap](QPainter* painter, int, int) { snap->Draw(*painter); };
    if (snap->HasDeleted())
        flag.OnFrameDeleted = [snap](int64_t pts) { return snap->IsFrameDeleted(pts); };
    flag.LibFolder = LibFolder;
    flag.TempFolder = TempFolder;
    flag.NotifyWnd = wnd;
    flag.FinishMsg = WM_CONVERTFINISH;
    flag.ProgressMsg = WM_CONVERTPROGRESS;
    flag.ErrorMsg = WM_CONVERTERROR;
    return flag;
}

TOutputChoice TVGProj::OutputChoice() const
{
    TOutputChoice c;
    c.SizeStyle = SizeStyle;
    c.CustomWidth = CustomWidth;
    c.CustomHeight = CustomHeight;
    c.GifFPS = GifFPS;
    c.GifSpeed = GifSpeed;
    c.GifLoop = GifLoop;
    c.Texts.reserve(static_cast<size_t>(Texts.Count()));
    for (int i = 0; i < Texts.Count(); ++i)
        c.Texts.push_back(*Texts[i]);
    c.Logo = Logo;
    c.Flip = Flip;
    c.Rotation = Rotation;
    c.Sequence = Sequence;
    return c;
}

TVGConvertFlag TVGProj::ConversionFlag(const TOutputChoice& choice, QObject* wnd)
{
    TVGConvertFlag flag = ConversionFlag(wnd);
    flag.ScaleFactor = ScaleFactorOf(choice.SizeStyle);
    flag.CustomWidth = choice.CustomWidth;
    flag.CustomHeight = choice.CustomHeight;
    flag.Rotation = choice.Rotation;
    flag.GifFPS = choice.GifFPS;
    flag.GifSpeed = choice.GifSpeed;
    flag.GifLoop = choice.GifLoop;
    flag.Flip = choice.Flip;
    flag.Sequence = choice.Sequence;

    const QSize base = BaseSize();
    auto scale = [&](int custom, int side) {
        if (flag.ScaleFactor != -1.0)
            return flag.ScaleFactor;
        return side > 0 ? static_cast<double>(custom) / side : 0.0;
    };
    // A logo file other than the project's is read here: the cached picture
    // belongs to the project's file.
    QImage logoImage;
    if (choice.Logo.Enabled) {
        if (!choice.LogoImage.isNull())
            logoImage = choice.LogoImage;
        else if (choice.Logo.ImageFileName == Logo.ImageFileName)
            logoImage = LogoImage();
        else if (QFileInfo(choice.Logo.ImageFileName).isFile())
            logoImage.load(choice.Logo.ImageFileName);
    }
    std::vector<const TTextObj*> texts;
    for (const TTextObj& text : choice.Texts)
        texts.push_back(&text);
    std::shared_ptr<const TOverlaySnapshot> snap = MakeSnapshot(
        texts, choice.Logo, logoImage, scale(choice.CustomWidth, base.width()), scale(choice.CustomHeight, base.height()));
    flag.OnDrawOverlay = nullptr;
    if (snap->HasOverlays())
        flag.OnDrawOverlay = [snap](QPainter* painter, int, int) { snap->Draw(*painter); };
    return flag;
}

TVideo2GifThread* TVGProj::StartConversion(QObject* wnd)
{
    ResetLogoImage();
    auto* thread = new TVideo2GifThread(ConversionFlag(wnd));
    thread->Resume();
    return thread;
}
