#pragma once
// GIF89a file output through giflib: screen, looping extension, frames with a
// local colour table and a graphics control block. Every write is checked;
// the first failure is kept as "cannot write <file>: <reason>".

#include "ZelFile.h"

#include <QString>
#include <cstdint>
#include <vector>

struct GifFileType;

struct TGifFrame {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    std::vector<uint8_t> Palette;   // RGB triples, 1..256 colours
    int Transparent = -1;           // palette index, or -1
    int DelayCs = 2;                // 0..65535
    std::vector<uint8_t> Pixels;    // Width * Height indices, row by row
};

class TGifWriter {
public:
    TGifWriter() = default;
    ~TGifWriter();
    TGifWriter(const TGifWriter&) = delete;
    TGifWriter& operator=(const TGifWriter&) = delete;

    // loop: -1 forever, 0 no looping extension, N replays N times.
    bool Open(const QString& path, int width, int height, int loop);
    // The same without a file: the bytes are only counted.
    bool OpenCounting(int width, int height, int loop);
    bool PutFrame(const TGifFrame& frame);
    // Writes the trailer and closes; safe to call more than once.
    bool Close();
    bool IsOpen() const { return FGif != nullptr; }

    const QString& LastError() const { return FError; }
    int64_t BytesWritten() const { return FBytes; }
    // Including what still waits in the buffer: the GIF's size so far.
    int64_t BytesOut() const { return FBytes + int64_t(FBuffer.size()); }
    int FramesWritten() const { return FFrames; }

private:
    static int Output(GifFileType* gif, const uint8_t* data, int len);
    bool Flush();
    bool Fail(const QString& stage, int gifError);
    bool Start(int width, int height, int loop);

    QString FPath;
    QString FError;
    GifFileType* FGif = nullptr;
    TRawFile FFile;
    std::vector<uint8_t> FBuffer;
    int64_t FBytes = 0;
    int FFrames = 0;
    bool FCounting = false;
};
