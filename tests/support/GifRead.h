#pragma once
// Reading the GIFs we write: the file's own blocks, Qt's GIF reader and
// FFmpeg's GIF demuxer and decoder.
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <cstdint>

// What the file's own blocks say.
struct TGifBlocks {
    bool Valid = false;
    int Width = 0, Height = 0;
    int LoopCount = -2;           // -2: no looping extension
    QList<int> Delays;            // per image, centiseconds
    QList<QRect> Rects;           // per image
    QList<int> Transparent;       // per image, -1 none
    QList<int> Colours;           // per image: its local colour table's size, 0 none
};

TGifBlocks ParseGif(const QString& path);
// Every composed frame as RGB888; delays in milliseconds as Qt reports them.
QList<QImage> ReadWithQt(const QString& path, QList<int>* delaysMs = nullptr);
// The loop count Qt's reader answers: -1 forever, 0 without the extension, else the count.
int QtLoopCount(const QString& path);
// Every composed frame FFmpeg's decoder gives, as RGB888; the summed packet
// durations in centiseconds; decodeErrors counts packets or frames it refused;
// timesUs the time of each frame in microseconds.
QList<QImage> ReadWithFFmpeg(const QString& path, int64_t* durationCs = nullptr, int* decodeErrors = nullptr,
                             QList<int64_t>* timesUs = nullptr);
