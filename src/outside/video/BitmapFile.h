#pragma once
// 24-bit bottom-up bitmap files for the frame strip. A picture is held as the
// file's own rows (blue, green, red; each row padded with zeros to a multiple
// of 4 bytes) in a buffer that is reused from picture to picture, and is
// written with a header and gathering writes straight from that buffer: no
// per-pixel pass and no second copy on the way to the file.

#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <vector>

#include "ZelMemory.h"

struct TBitmapRows {
    int Width = 0;
    int Height = 0;
    // Bytes between rows in Data: FileRowBytes() rounded up to 64, so that
    // converters may write a little past a row's end.
    int Stride = 0;
    std::vector<uint8_t, TLargeBufferAllocator<uint8_t>> Data;   // top row first

    // Sizes the buffer for a picture, keeping its memory when it is large
    // enough (fresh pages cost more to fault in than the conversion).
    // False for an empty or absurd size, or when memory runs out.
    bool Resize(int width, int height);
    bool IsEmpty() const { return Width <= 0 || Height <= 0; }
    int FileRowBytes() const { return (Width * 3 + 3) & ~3; }
    int64_t FileSize() const;
    uint8_t* Row(int y) { return Data.data() + size_t(y) * size_t(Stride); }
    const uint8_t* Row(int y) const { return Data.data() + size_t(y) * size_t(Stride); }
    // Zeroes the padding at the end of every file row, which converters
    // writing past the picture's width may have touched.
    void ClearPadding();
    void Swap(TBitmapRows& other) noexcept;
};

// The size of the bitmap file of a picture of that size.
int64_t BitmapFileSize(QSize size);

// Any picture into bitmap rows (converting formats as needed).
bool ImageToBitmapRows(const QImage& image, TBitmapRows& rows);

// Writes the rows as a bitmap file, replacing what is there. False with the
// cause in *error when the file could not be written completely; the
// incomplete file is then removed.
bool WriteBitmapFile(const TBitmapRows& rows, const QString& fileName, QString* error = nullptr);
