#pragma once
// A decoded picture kept as the decoder made it: its planes copied as they
// are, no conversion (half the memory of RGB for 4:2:0 video). It is
// converted only when something needs it: the rows of its bitmap file, a
// thumbnail, or the whole picture for the still view.

#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>

struct AVFrame;
struct TBitmapRows;

// How a stored picture is shown: stretched to square pixels, turned, mirrored.
struct TPictureShape {
    int SampleAspectNum = 1;
    int SampleAspectDen = 1;
    int Rotation = 0;      // clockwise: 0, 90, 180, 270
    bool Mirrored = false;
};

class TVideoPicture {
public:
    // Copies `frame`; IsNull() when there is none or no memory for it.
    TVideoPicture(const AVFrame* frame, const TPictureShape& shape);
    ~TVideoPicture();
    TVideoPicture(const TVideoPicture&) = delete;
    TVideoPicture& operator=(const TVideoPicture&) = delete;

    bool IsNull() const { return FFrame == nullptr; }
    QSize DisplaySize() const;   // as a player shows it
    int64_t Bytes() const;       // the memory it keeps alive
    // The rows of its bitmap file, the same bytes the decoder's own
    // CopyToBitmapRows gives for this picture. False with the cause in *error.
    bool ToBitmapRows(TBitmapRows& rows, QString* error = nullptr) const;
    // The whole picture as shown, Format_RGB32; null when it cannot be made.
    QImage ToImage() const;
    // Fitted into `box` keeping its shape, filtered down from the decoded
    // planes in one pass; Format_RGB32.
    QImage Thumbnail(QSize box) const;

private:
    AVFrame* FFrame = nullptr;
    TPictureShape FShape;
    int DisplayWidthBeforeTurn() const;
    bool IsPlain() const;
};

// Copies src into dst turned clockwise by `rotation` (0, 90, 180, 270), then
// mirrored left to right when `mirror`. False when out of memory.
bool OrientPicture(const QImage& src, QImage& dst, int rotation, bool mirror);
