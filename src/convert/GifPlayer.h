#pragma once
// Showing a GIF as it plays: what its blocks say (size, frames, play time),
// and a player that decodes one frame at a time with the file's own delays.

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

class QImageReader;
class QTimer;

// Read from the file's blocks without decoding a picture.
struct TGifInfo {
    bool Valid = false;
    int Width = 0, Height = 0;
    int Frames = 0;
    int64_t PlayTimeMs = 0;   // one pass, with the delays as they are played
    int64_t FileSize = -1;
    QString Error;            // why it is not valid
};

// A file that ends early counts the frames complete before the cut.
TGifInfo ReadGifInfo(const QString& path);
// Delays under 20 ms (0 and 1 centisecond) play as 100 ms, as browsers
// show them: such files were made for those viewers.
int PlayedDelayMs(int delayMs);
// "480 x 270", "45 frames", "3.00 s", "1.2 MB"; none for an invalid file.
QStringList GifInfoParts(const TGifInfo& info);
// The parts in one line: "480 x 270 · 45 frames · 3.00 s · 1.2 MB".
QString GifInfoText(const TGifInfo& info);
QString FileSizeText(int64_t bytes);

class TGifPlayer : public QObject {
    Q_OBJECT
public:
    explicit TGifPlayer(QObject* parent = nullptr);
    ~TGifPlayer() override;

    // Opens the file and shows its first frame; false with Error() when it
    // cannot be read as a GIF.
    bool Open(const QString& path);
    void Close();
    QString Error() const { return FError; }
    QSize Size() const { return FSize; }
    // The frame on show, composed over the earlier ones.
    const QImage& Image() const { return FImage; }
    int FrameIndex() const { return FIndex; }
    int Plays() const { return FPlays; }   // passes begun

    // Plays from the frame on show; a single picture does not run.
    void Start();
    void Stop();
    bool IsRunning() const;

Q_SIGNALS:
    void FrameChanged();

private:
    bool ReadFrame();
    void Next();

    QString FPath, FError;
    std::unique_ptr<QImageReader> FReader;
    QTimer* FTimer = nullptr;
    QElapsedTimer FClock;
    int64_t FDueMs = 0;
    QSize FSize;
    QImage FImage;
    int FIndex = -1;
    int FDelayMs = 0;
    int FLoops = -1;      // -1 forever, else the passes to play
    int FPlays = 0;
    bool FSingle = false;
};
