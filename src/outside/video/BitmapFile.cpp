#include "BitmapFile.h"

#include "ZelFile.h"

#include <QFile>
#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace {
constexpr int HeaderSize = 14 + 40;
// Slack after the last row for converters that write past a row's end.
constexpr size_t RowSlack = 256;

void PutLE(uint8_t* p, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
}

}  // namespace

bool TBitmapRows::Resize(int width, int height)
{
    // The file's size field has 32 bits; nothing near that is a video frame.
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535
        || int64_t((width * 3 + 3) & ~3) * height > int64_t(UINT32_MAX) - HeaderSize) {
        Width = Height = Stride = 0;
        return false;
    }
    const int stride = (((width * 3 + 3) & ~3) + 63) & ~63;
    const size_t need = size_t(stride) * size_t(height) + size_t(stride) + RowSlack;
    try {
        if (Data.size() < need)
            Data.resize(need);
    } catch (const std::bad_alloc&) {
        Width = Height = Stride = 0;
        return false;
    }
    Width = width;
    Height = height;
    Stride = stride;
    return true;
}

int64_t TBitmapRows::FileSize() const { return HeaderSize + int64_t(FileRowBytes()) * std::max(0, Height); }

int64_t BitmapFileSize(QSize size)
{
    return HeaderSize + int64_t((std::max(0, size.width()) * 3 + 3) & ~3) * std::max(0, size.height());
}

void TBitmapRows::ClearPadding()
{
    const int used = Width * 3, row = FileRowBytes();
    if (row == used)
        return;
    for (int y = 0; y < Height; ++y)
        std::memset(Row(y) + used, 0, size_t(row - used));
}

void TBitmapRows::Swap(TBitmapRows& other) noexcept
{
    std::swap(Width, other.Width);
    std::swap(Height, other.Height);
    std::swap(Stride, other.Stride);
    Data.swap(other.Data);
}

bool ImageToBitmapRows(const QImage& image, TBitmapRows& rows)
{
    if (image.isNull())
        return false;
    QImage src = image;
    if (src.format() != QImage::Format_RGB888 && src.format() != QImage::Format_RGB32)
        src = src.convertToFormat(QImage::Format_RGB888);
    if (src.isNull() || !rows.Resize(src.width(), src.height()))
        return false;
    const int w = src.width();
    const bool rgb32 = src.format() == QImage::Format_RGB32;
    for (int y = 0; y < src.height(); ++y) {
        const uchar* in = src.constScanLine(y);
        uint8_t* out = rows.Row(y);
        if (rgb32) {
            const auto* px = reinterpret_cast<const QRgb*>(in);
            for (int x = 0; x < w; ++x, out += 3) {
                out[0] = static_cast<uint8_t>(qBlue(px[x]));
                out[1] = static_cast<uint8_t>(qGreen(px[x]));
                out[2] = static_cast<uint8_t>(qRed(px[x]));
            }
        } else {
            for (int x = 0; x < w; ++x, in += 3, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        }
    }
    rows.ClearPadding();
    return true;
}

bool WriteBitmapFile(const TBitmapRows& rows, const QString& fileName, QString* error)
{
    if (rows.IsEmpty() || rows.Data.size() < size_t(rows.Stride) * size_t(rows.Height)
        || rows.Stride < rows.FileRowBytes()) {
        if (error)
            *error = QStringLiteral("no picture");
        return false;
    }
    const uint32_t dataSize = uint32_t(rows.FileRowBytes()) * uint32_t(rows.Height);
    uint8_t header[HeaderSize] = {};
    header[0] = 'B';
    header[1] = 'M';
    PutLE(header + 2, HeaderSize + dataSize, 4);
    PutLE(header + 10, HeaderSize, 4);
    PutLE(header + 14, 40, 4);
    PutLE(header + 18, static_cast<uint32_t>(rows.Width), 4);
    PutLE(header + 22, static_cast<uint32_t>(rows.Height), 4);  // positive: bottom-up
    PutLE(header + 26, 1, 2);
    PutLE(header + 28, 24, 2);
    PutLE(header + 34, dataSize, 4);
    PutLE(header + 38, 2835, 4);  // 72 dpi
    PutLE(header + 42, 2835, 4);

    // The header, then the rows bottom-up, each straight from the buffer, a
    // few rows per call.
    std::vector<TRawFile::TPiece> pieces(size_t(rows.Height) + 1);
    pieces[0] = {header, HeaderSize};
    for (int i = 0; i < rows.Height; ++i)
        pieces[size_t(i) + 1] = {rows.Row(rows.Height - 1 - i), size_t(rows.FileRowBytes())};

    TRawFile file;
    if (!file.Create(fileName)) {
        if (error)
            *error = file.ErrorText();
        return false;
    }
    // Only a plain file is ours to remove after a failure, never a device or
    // pipe that the name happens to lead to.
    const bool plain = file.IsPlainFile();
    const bool ok = file.WriteGather(pieces.data(), int(pieces.size())) && file.Close();
    if (!ok) {
        if (error)
            *error = file.ErrorText();
        file.Close();
        if (plain)
            QFile::remove(fileName);
    }
    return ok;
}
