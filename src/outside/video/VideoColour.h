#pragma once
// How a decoded picture's YUV values become RGB. The decoder's pictures and
// thumbnails and the conversion's GIF frames all take their colours from
// here, so the same frame shows the same colours everywhere.

#include <QString>
#include <cstdint>

struct AVFrame;
struct SwsContext;

struct TVideoColour {
    int Matrix = 5;            // swscale's matrix number (SWS_CS_*), for sws_getCoefficients
    bool FullRange = false;    // luma and chroma use the whole 0..255 (JPEG) range
    int Format = -1;           // the pixel format to give swscale: JPEG (yuvj) formats as their plain twin
};

// The stream's own tags where it has them. Untagged video gets the rule the
// common players follow: BT.709 for HD (720 lines or more, or 1280 columns or
// more for wide pictures cropped below 720 lines), BT.601 below, and full
// range for the JPEG pixel formats. Width and height are the coded picture's,
// before any cropping.
TVideoColour VideoColourOf(int pixelFormat, int colorSpace, int colorRange, int width, int height);
TVideoColour VideoColourOf(const AVFrame* frame);

// Sets a context made for colour.Format (to an RGB format) to convert with
// that matrix and range into full-range RGB.
void ApplyVideoColour(SwsContext* context, const TVideoColour& colour);

// A swscale context kept from picture to picture, with the colour set-up of
// VideoColourOf: the decoder's pictures and the pictures kept from it convert
// alike. One per use and thread.
class TColourConverter {
public:
    TColourConverter() = default;
    TColourConverter(const TColourConverter&) = delete;
    TColourConverter& operator=(const TColourConverter&) = delete;
    ~TColourConverter();
    // All of f into dst (rows `stride` apart) at outW x outH in dstFormat;
    // false when swscale has no way.
    bool Convert(const AVFrame* f, int dstFormat, int outW, int outH, int flags, uint8_t* dst, int stride);

private:
    SwsContext* FSws = nullptr;
    // What the context was made for.
    int FMatrix = -1, FFull = -1, FW = -1, FH = -1, FOutW = -1, FOutH = -1, FSrc = -1, FDst = -1, FFlags = -1;
};

// The flags for a picture `width` wide shown `outW` wide: the plain
// conversion at the same size, a filter fit for resampling when stretched.
int ConvertFlags(int width, int outW);

// "bt709", "bt601", "bt2020", "fcc", "smpte240m".
QString VideoMatrixName(int matrix);
