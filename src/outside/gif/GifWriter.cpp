#include "GifWriter.h"

#include <QFile>
#include <cstring>
#include <gif_lib.h>

namespace {
constexpr size_t kBufferSize = 1 << 16;

int PaletteBits(int colours)
{
    int bits = 1;
    while ((1 << bits) < colours) ++bits;
    return bits;
}
} // namespace

TGifWriter::~TGifWriter()
{
    if (FGif) {
        int err = 0;
        EGifCloseFile(FGif, &err);
        FGif = nullptr;
    }
}

bool TGifWriter::Open(const QString& path, int width, int height, int loop)
{
    FPath = path;
    FError.clear();
    FCounting = false;
    if (!FFile.Create(path)) {
        FError = QStringLiteral("cannot create %1: %2").arg(path, FFile.ErrorText());
        return false;
    }
    FBuffer.reserve(kBufferSize);
    return Start(width, height, loop);
}

bool TGifWriter::OpenCounting(int width, int height, int loop)
{
    FPath = QStringLiteral("(counted GIF)");
    FError.clear();
    FCounting = true;
    return Start(width, height, loop);
}

bool TGifWriter::Start(int width, int height, int loop)
{
    int err = 0;
    FGif = EGifOpen(this, &TGifWriter::Output, &err);
    if (!FGif) return Fail(QStringLiteral("open"), err);
    EGifSetGifVersion(FGif, true);
    if (EGifPutScreenDesc(FGif, width, height, 8, 0, nullptr) == GIF_ERROR)
        return Fail(QStringLiteral("header"), FGif->Error);
    if (loop != 0) {
        const int count = loop < 0 ? 0 : std::min(loop, 65535);
        const uint8_t app[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        const uint8_t sub[] = {1, uint8_t(count & 0xFF), uint8_t(count >> 8)};
        if (EGifPutExtensionLeader(FGif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR
            || EGifPutExtensionBlock(FGif, sizeof app, app) == GIF_ERROR
            || EGifPutExtensionBlock(FGif, sizeof sub, sub) == GIF_ERROR
            || EGifPutExtensionTrailer(FGif) == GIF_ERROR)
            return Fail(QStringLiteral("looping extension"), FGif->Error);
    }
    return true;
}

bool TGifWriter::PutFrame(const TGifFrame& frame)
{
    if (!FGif) return false;
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSE_DO_NOT;
    gcb.UserInputFlag = false;
    gcb.DelayTime = std::clamp(frame.DelayCs, 0, 65535);
    gcb.TransparentColor = frame.Transparent < 0 ? NO_TRANSPARENT_COLOR : frame.Transparent;
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    if (EGifPutExtension(FGif, GRAPHICS_EXT_FUNC_CODE, sizeof ext, ext) == GIF_ERROR)
        return Fail(QStringLiteral("frame %1").arg(FFrames + 1), FGif->Error);

    const int colours = std::max<int>(1, int(frame.Palette.size() / 3));
    const int bits = PaletteBits(colours);
    ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
    if (!map) {
        FError = QStringLiteral("cannot write %1: out of memory").arg(FPath);
        return false;
    }
    std::memset(map->Colors, 0, sizeof(GifColorType) * size_t(1 << bits));
    std::memcpy(map->Colors, frame.Palette.data(), std::min<size_t>(frame.Palette.size(), size_t(colours) * 3));
    const bool ok = EGifPutImageDesc(FGif, frame.Left, frame.Top, frame.Width, frame.Height, false, map) != GIF_ERROR
        && EGifPutLine(FGif, const_cast<GifPixelType*>(frame.Pixels.data()), frame.Width * frame.Height) != GIF_ERROR;
    GifFreeMapObject(map);
    if (!ok) return Fail(QStringLiteral("frame %1").arg(FFrames + 1), FGif->Error);
    ++FFrames;
    return true;
}

bool TGifWriter::Close()
{
    if (!FGif) return FError.isEmpty();
    int err = 0;
    const bool closed = EGifCloseFile(FGif, &err) != GIF_ERROR;
    FGif = nullptr;
    if (!closed && FError.isEmpty()) Fail(QStringLiteral("trailer"), err);
    if (FError.isEmpty()) Flush();
    if (FFile.IsOpen() && !FFile.Close() && FError.isEmpty())
        FError = QStringLiteral("cannot write %1: %2").arg(FPath, FFile.ErrorText());
    return FError.isEmpty();
}

int TGifWriter::Output(GifFileType* gif, const uint8_t* data, int len)
{
    auto* self = static_cast<TGifWriter*>(gif->UserData);
    if (!self->FError.isEmpty()) return 0;
    if (self->FCounting) {
        self->FBytes += len;
        return len;
    }
    if (self->FBuffer.size() + size_t(len) > kBufferSize && !self->Flush()) return 0;
    self->FBuffer.insert(self->FBuffer.end(), data, data + len);
    return len;
}

bool TGifWriter::Flush()
{
    if (FCounting) return true;
    if (!FFile.Write(FBuffer.data(), FBuffer.size())) {
        FError = QStringLiteral("cannot write %1: %2").arg(FPath, FFile.ErrorText());
        return false;
    }
    FBytes += int64_t(FBuffer.size());
    FBuffer.clear();
    return true;
}

bool TGifWriter::Fail(const QString& stage, int gifError)
{
    if (FError.isEmpty()) {
        const char* why = GifErrorString(gifError);
        FError = QStringLiteral("cannot write %1 (%2): %3").arg(FPath, stage, QString::fromLatin1(why ? why : "GIF error"));
    }
    return false;
}
