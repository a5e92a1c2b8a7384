#include "VideoPicture.h"

#include "BitmapFile.h"
#include "FFDecoder.h"
#include "VideoColour.h"
#include "ZelMemory.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/macros.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

QString NoConversion(const AVFrame* f)
{
    const char* name = av_get_pix_fmt_name(AVPixelFormat(f->format));
    return QStringLiteral("no conversion from %1 to RGB").arg(QString::fromUtf8(name ? name : "an unknown format"));
}

// swscale's fast paths write a few bytes past a line's end: it converts into
// a padded buffer and the lines are copied out.
QImage ConvertPadded(TColourConverter& sws, const AVFrame* f, int dstFormat, QImage::Format format, int bpp, int outW, int outH,
                     int flags)
{
    const int stride = FFALIGN(outW * bpp, 64);
    thread_local std::vector<uint8_t> buffer;
    const size_t need = size_t(stride) * size_t(outH + 1) + 256;
    if (buffer.size() < need)
        buffer.resize(need);
    if (!sws.Convert(f, dstFormat, outW, outH, flags, buffer.data(), stride))
        return {};
    QImage image(outW, outH, format);
    if (image.isNull())
        return {};
    for (int y = 0; y < outH; ++y)
        std::memcpy(image.scanLine(y), buffer.data() + size_t(y) * size_t(stride), size_t(outW) * size_t(bpp));
    return image;
}

// Picture memory kept from picture to picture, for the whole program: the
// decoder's own buffers come zeroed and fresh whenever its pool grows (a
// held picture makes it grow), and faulting fresh pages in costs more than
// decoding a cheap frame. A copy into a kept block costs a fraction of that.
class TPictureBlocks {
public:
    static TPictureBlocks& Instance()
    {
        static TPictureBlocks* blocks = new TPictureBlocks;   // outlives every picture
        return *blocks;
    }
    void* Take(size_t bytes)
    {
        {
            const std::lock_guard<std::mutex> lock(FLock);
            for (size_t i = 0; i < FFree.size(); ++i)
                if (FFree[i].Bytes == bytes) {
                    void* p = FFree[i].Data;
                    FHeld -= bytes;
                    FFree.erase(FFree.begin() + std::ptrdiff_t(i));
                    return p;
                }
        }
        return AllocLargeBuffer(bytes);
    }
    void Give(void* p, size_t bytes)
    {
        {
            const std::lock_guard<std::mutex> lock(FLock);
            // Blocks of another size are of another video: they make room.
            while (FHeld + bytes > kKeepBytes && !FFree.empty()) {
                const auto other = std::find_if(FFree.begin(), FFree.end(), [&](const TBlock& b) { return b.Bytes != bytes; });
                const auto victim = other != FFree.end() ? other : FFree.begin();
                FreeLargeBuffer(victim->Data, victim->Bytes);
                FHeld -= victim->Bytes;
                FFree.erase(victim);
            }
            if (FHeld + bytes <= kKeepBytes) {
                FFree.push_back({p, bytes});
                FHeld += bytes;
                return;
            }
        }
        FreeLargeBuffer(p, bytes);
    }

private:
    // As much as the main window lets pictures wait, and a little more.
    static constexpr size_t kKeepBytes = size_t(112) << 20;
    struct TBlock {
        void* Data;
        size_t Bytes;
    };
    std::mutex FLock;
    std::vector<TBlock> FFree;
    size_t FHeld = 0;
};

void GiveBlock(void* opaque, uint8_t* data)
{
    TPictureBlocks::Instance().Give(data, reinterpret_cast<size_t>(opaque));
}

}  // namespace

TVideoPicture::TVideoPicture(const AVFrame* frame, const TPictureShape& shape) : FShape(shape)
{
    if (!frame || frame->width <= 0 || frame->height <= 0 || !frame->data[0])
        return;
    const AVPixelFormat format = AVPixelFormat(frame->format);
    const int bytes = av_image_get_buffer_size(format, frame->width, frame->height, 64);
    if (bytes <= 0)
        return;
    FFrame = av_frame_alloc();
    if (!FFrame)
        return;
    void* block = TPictureBlocks::Instance().Take(size_t(bytes));
    FFrame->buf[0] = block ? av_buffer_create(static_cast<uint8_t*>(block), size_t(bytes), GiveBlock,
                                              reinterpret_cast<void*>(size_t(bytes)), 0)
                           : nullptr;
    if (!FFrame->buf[0]) {
        if (block)
            TPictureBlocks::Instance().Give(block, size_t(bytes));
        av_frame_free(&FFrame);
        return;
    }
    FFrame->format = frame->format;
    FFrame->width = frame->width;
    FFrame->height = frame->height;
    if (av_image_fill_arrays(FFrame->data, FFrame->linesize, FFrame->buf[0]->data, format, frame->width, frame->height, 64) < 0
        || av_frame_copy(FFrame, frame) < 0 || av_frame_copy_props(FFrame, frame) < 0)
        av_frame_free(&FFrame);
}

TVideoPicture::~TVideoPicture() { av_frame_free(&FFrame); }

int TVideoPicture::DisplayWidthBeforeTurn() const
{
    return DisplayWidth(FFrame->width, FShape.SampleAspectNum, FShape.SampleAspectDen);
}

bool TVideoPicture::IsPlain() const
{
    return FShape.Rotation == 0 && !FShape.Mirrored && DisplayWidthBeforeTurn() == FFrame->width;
}

QSize TVideoPicture::DisplaySize() const
{
    if (!FFrame)
        return {};
    const int w = DisplayWidthBeforeTurn(), h = FFrame->height;
    return FShape.Rotation == 90 || FShape.Rotation == 270 ? QSize(h, w) : QSize(w, h);
}

int64_t TVideoPicture::Bytes() const
{
    if (!FFrame)
        return 0;
    int64_t sum = 0;
    for (const AVBufferRef* b : FFrame->buf)
        if (b)
            sum += int64_t(b->size);
    for (int i = 0; i < FFrame->nb_extended_buf; ++i)
        sum += int64_t(FFrame->extended_buf[i]->size);
    return sum;
}

bool TVideoPicture::ToBitmapRows(TBitmapRows& rows, QString* error) const
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!FFrame)
        return fail(QStringLiteral("no picture"));
    if (!IsPlain()) {
        // Stretched, turned or mirrored pictures are rare: through an image.
        const QImage image = ToImage();
        if (image.isNull())
            return fail(NoConversion(FFrame));
        return ImageToBitmapRows(image, rows) || fail(QStringLiteral("out of memory"));
    }
    if (!rows.Resize(FFrame->width, FFrame->height))
        return fail(QStringLiteral("no room for a %1x%2 picture").arg(FFrame->width).arg(FFrame->height));
    // Blue first, as the file stores it, with the decoder's own flags: the
    // same bytes whether the file is written now or later.
    thread_local TColourConverter toRows;
    if (!toRows.Convert(FFrame, AV_PIX_FMT_BGR24, FFrame->width, FFrame->height, ConvertFlags(FFrame->width, FFrame->width),
                        rows.Data.data(), rows.Stride))
        return fail(NoConversion(FFrame));
    rows.ClearPadding();
    return true;
}

QImage TVideoPicture::ToImage() const
{
    if (!FFrame)
        return {};
    if (IsPlain()) {
        // Through the file's rows, so the still view shows what the file will hold.
        thread_local TBitmapRows rows;
        if (!ToBitmapRows(rows))
            return {};
        return QImage(rows.Data.data(), rows.Width, rows.Height, rows.Stride, QImage::Format_BGR888)
            .convertToFormat(QImage::Format_RGB32);
    }
    const int outW = DisplayWidthBeforeTurn();
    thread_local TColourConverter toImage;
    QImage image = ConvertPadded(toImage, FFrame, AV_PIX_FMT_RGB24, QImage::Format_RGB888, 3, outW, FFrame->height,
                                 ConvertFlags(FFrame->width, outW));
    if (image.isNull())
        return {};
    if (FShape.Rotation || FShape.Mirrored) {
        QImage turned;
        if (!OrientPicture(image, turned, FShape.Rotation, FShape.Mirrored))
            return {};
        image = turned;
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage TVideoPicture::Thumbnail(QSize box) const
{
    if (!FFrame || box.isEmpty())
        return {};
    const QSize shown = DisplaySize();
    const QSize fit = shown.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    const bool sideways = FShape.Rotation == 90 || FShape.Rotation == 270;
    const int outW = sideways ? fit.height() : fit.width(), outH = sideways ? fit.width() : fit.height();
    // An area filter down from the planes: every source pixel counts, so
    // fine detail neither shimmers nor aliases.
    thread_local TColourConverter toThumb;
    QImage thumb = ConvertPadded(toThumb, FFrame, AV_PIX_FMT_RGB32, QImage::Format_RGB32, 4, outW, outH, SWS_AREA);
    if (thumb.isNull() || (!FShape.Rotation && !FShape.Mirrored))
        return thumb;
    QImage turned;
    return OrientPicture(thumb, turned, FShape.Rotation, FShape.Mirrored) ? turned : QImage();
}

bool OrientPicture(const QImage& src, QImage& dst, int rotation, bool mirror)
{
    const int w = src.width(), h = src.height();
    const bool sideways = rotation == 90 || rotation == 270;
    const int dw = sideways ? h : w, dh = sideways ? w : h;
    if (dst.width() != dw || dst.height() != dh || dst.format() != src.format())
        dst = QImage(dw, dh, src.format());
    if (dst.isNull())
        return false;
    const int bpp = src.depth() / 8;
    for (int y = 0; y < h; ++y) {
        const uchar* s = src.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            int dx, dy;
            if (rotation == 90) { dx = h - 1 - y; dy = x; }
            else if (rotation == 180) { dx = w - 1 - x; dy = h - 1 - y; }
            else if (rotation == 270) { dx = y; dy = w - 1 - x; }
            else { dx = x; dy = y; }
            if (mirror)
                dx = dw - 1 - dx;
            std::memcpy(dst.scanLine(dy) + dx * bpp, s + x * bpp, size_t(bpp));
        }
    }
    return true;
}
