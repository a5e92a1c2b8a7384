// The one colour rule for decoded pictures.
#include "VideoColour.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {

// JPEG pixel formats carry full range in their name; swscale wants the plain
// format with the range given separately.
AVPixelFormat PlainFormat(AVPixelFormat f, bool& full)
{
    switch (f) {
    case AV_PIX_FMT_YUVJ420P: full = true; return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: full = true; return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: full = true; return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: full = true; return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P: full = true; return AV_PIX_FMT_YUV411P;
    default: return f;
    }
}

}  // namespace

TVideoColour VideoColourOf(int pixelFormat, int colorSpace, int colorRange, int width, int height)
{
    TVideoColour c;
    bool full = colorRange == AVCOL_RANGE_JPEG;
    c.Format = PlainFormat(AVPixelFormat(pixelFormat), full);
    c.FullRange = full;
    switch (AVColorSpace(colorSpace)) {
    case AVCOL_SPC_BT709: c.Matrix = SWS_CS_ITU709; break;
    case AVCOL_SPC_FCC: c.Matrix = SWS_CS_FCC; break;
    case AVCOL_SPC_BT470BG: case AVCOL_SPC_SMPTE170M: c.Matrix = SWS_CS_ITU601; break;
    case AVCOL_SPC_SMPTE240M: c.Matrix = SWS_CS_SMPTE240M; break;
    case AVCOL_SPC_BT2020_NCL: case AVCOL_SPC_BT2020_CL: c.Matrix = SWS_CS_BT2020; break;
    default:
        c.Matrix = height >= 720 || width >= 1280 ? SWS_CS_ITU709 : SWS_CS_ITU601;
        break;
    }
    return c;
}

TVideoColour VideoColourOf(const AVFrame* frame)
{
    return VideoColourOf(frame->format, frame->colorspace, frame->color_range, frame->width, frame->height);
}

void ApplyVideoColour(SwsContext* context, const TVideoColour& colour)
{
    // Output is always full-range RGB; swscale ignores the range of RGB inputs.
    sws_setColorspaceDetails(context, sws_getCoefficients(colour.Matrix), colour.FullRange ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
}

QString VideoMatrixName(int matrix)
{
    switch (matrix) {
    case SWS_CS_ITU709: return QStringLiteral("bt709");
    case SWS_CS_FCC: return QStringLiteral("fcc");
    case SWS_CS_SMPTE240M: return QStringLiteral("smpte240m");
    case SWS_CS_BT2020: return QStringLiteral("bt2020");
    default: return QStringLiteral("bt601");
    }
}

TColourConverter::~TColourConverter() { sws_freeContext(FSws); }

bool TColourConverter::Convert(const AVFrame* f, int dstFormat, int outW, int outH, int flags, uint8_t* dst, int stride)
{
    const TVideoColour colour = VideoColourOf(f);
    const AVPixelFormat src = AVPixelFormat(colour.Format);
    SwsContext* next = sws_getCachedContext(FSws, f->width, f->height, src, outW, outH, AVPixelFormat(dstFormat), flags,
                                            nullptr, nullptr, nullptr);
    if (!next) {
        FSws = nullptr;   // the failed call freed the old context
        return false;
    }
    // A context rebuilt for a new size may come back at the old address, so
    // the colour details follow what it was made for, not its pointer.
    if (next != FSws || colour.Matrix != FMatrix || int(colour.FullRange) != FFull || f->width != FW || f->height != FH
        || outW != FOutW || outH != FOutH || int(src) != FSrc || dstFormat != FDst || flags != FFlags) {
        FSws = next;
        FMatrix = colour.Matrix;
        FFull = colour.FullRange;
        FW = f->width;
        FH = f->height;
        FOutW = outW;
        FOutH = outH;
        FSrc = int(src);
        FDst = dstFormat;
        FFlags = flags;
        ApplyVideoColour(FSws, colour);
    }
    uint8_t* dstData[4] = {dst, nullptr, nullptr, nullptr};
    const int dstStride[4] = {stride, 0, 0, 0};
    sws_scale(FSws, f->data, f->linesize, 0, f->height, dstData, dstStride);
    return true;
}

int ConvertFlags(int width, int outW)
{
    return outW == width ? SWS_BILINEAR : SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT;
}
