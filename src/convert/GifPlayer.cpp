#include "GifPlayer.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>
#include <QTimer>
#include <algorithm>
#include <cstring>

namespace {
// A buffered walk over the file's bytes; every read is checked, so a cut or
// damaged file ends the walk instead of reading past it.
class TBlockReader {
public:
    explicit TBlockReader(QFile& f) : FFile(f) {}
    bool Read(uint8_t* data, qint64 n) { return FFile.read(reinterpret_cast<char*>(data), n) == n; }
    bool Byte(uint8_t& b) { return Read(&b, 1); }
    bool Skip(qint64 n)
    {
        const qint64 to = FFile.pos() + n;
        return to <= FFile.size() && FFile.seek(to);
    }
    // Data sub-blocks up to their terminator; the first one's bytes to first.
    bool SubBlocks(uint8_t* first = nullptr, int* firstSize = nullptr)
    {
        bool isFirst = true;
        for (;;) {
            uint8_t size = 0;
            if (!Byte(size))
                return false;
            if (size == 0)
                return true;
            if (isFirst && first) {
                if (!Read(first, size))
                    return false;
                *firstSize = size;
            } else if (!Skip(size)) {
                return false;
            }
            isFirst = false;
        }
    }

private:
    QFile& FFile;
};

int Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
}  // namespace

int PlayedDelayMs(int delayMs) { return delayMs < 20 ? 100 : delayMs; }

TGifInfo ReadGifInfo(const QString& path)
{
    TGifInfo info;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        info.Error = f.errorString();
        return info;
    }
    info.FileSize = f.size();
    TBlockReader r(f);
    uint8_t head[13];
    if (!r.Read(head, 13) || std::memcmp(head, "GIF", 3) != 0) {
        info.Error = QStringLiteral("not a GIF file");
        return info;
    }
    info.Width = Le16(head + 6);
    info.Height = Le16(head + 8);
    if (info.Width <= 0 || info.Height <= 0) {
        info.Error = QStringLiteral("the picture has no size");
        return info;
    }
    info.Valid = true;
    if ((head[10] & 0x80) && !r.Skip(3 * (2 << (head[10] & 7))))
        return info;
    int delayCs = 0;
    for (;;) {
        uint8_t b = 0;
        if (!r.Byte(b) || b == 0x3B)
            break;
        if (b == 0x21) {
            uint8_t label = 0, data[256];
            int size = 0;
            if (!r.Byte(label) || !r.SubBlocks(data, &size))
                break;
            if (label == 0xF9 && size >= 4)
                delayCs = Le16(data + 1);
        } else if (b == 0x2C) {
            uint8_t desc[9], codeSize = 0;
            if (!r.Read(desc, 9))
                break;
            if ((desc[8] & 0x80) && !r.Skip(3 * (2 << (desc[8] & 7))))
                break;
            if (!r.Byte(codeSize) || !r.SubBlocks())
                break;
            ++info.Frames;
            info.PlayTimeMs += PlayedDelayMs(delayCs * 10);
            delayCs = 0;
        } else {
            break;  // not a block: the rest is damaged
        }
    }
    return info;
}

QString FileSizeText(int64_t bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(double(bytes) / 1024, 0, 'f', bytes < 10 * 1024 ? 1 : 0);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
}

QStringList GifInfoParts(const TGifInfo& info)
{
    if (!info.Valid)
        return {};
    return {QStringLiteral("%1 x %2").arg(info.Width).arg(info.Height),
            info.Frames == 1 ? QStringLiteral("1 frame") : QStringLiteral("%1 frames").arg(info.Frames),
            QStringLiteral("%1 s").arg(double(info.PlayTimeMs) / 1000.0, 0, 'f', 2), FileSizeText(info.FileSize)};
}

QString GifInfoText(const TGifInfo& info) { return GifInfoParts(info).join(QStringLiteral(" \u00B7 ")); }

// ---- the player ---------------------------------------------------------------------

TGifPlayer::TGifPlayer(QObject* parent) : QObject(parent), FTimer(new QTimer(this))
{
    FTimer->setSingleShot(true);
    FTimer->setTimerType(Qt::PreciseTimer);
    connect(FTimer, &QTimer::timeout, this, [this] { Next(); });
}

TGifPlayer::~TGifPlayer() = default;

void TGifPlayer::Close()
{
    FTimer->stop();
    FReader.reset();
    FImage = QImage();
    FSize = QSize();
    FIndex = -1;
    FPlays = 0;
}

bool TGifPlayer::Open(const QString& path)
{
    Close();
    FPath = path;
    FError.clear();
    FReader = std::make_unique<QImageReader>(path, QByteArray("gif"));
    FReader->setDecideFormatFromContent(false);
    if (!FReader->canRead()) {
        FError = FReader->errorString();
        FReader.reset();
        return false;
    }
    FSize = FReader->size();
    const int count = FReader->imageCount();
    FSingle = count == 1;
    const int loops = FReader->loopCount();
    FLoops = loops < 0 ? -1 : loops + 1;
    if (!ReadFrame()) {
        FError = FReader->errorString();
        FReader.reset();
        return false;
    }
    FPlays = 1;
    if (FSize.isEmpty())
        FSize = FImage.size();
    return true;
}

bool TGifPlayer::ReadFrame()
{
    QImage img;
    if (!FReader->read(&img) || img.isNull())
        return false;
    FImage = std::move(img);
    FDelayMs = PlayedDelayMs(FReader->nextImageDelay());
    ++FIndex;
    Q_EMIT FrameChanged();
    return true;
}

void TGifPlayer::Start()
{
    if (!FReader || FSingle || FTimer->isActive())
        return;
    FClock.start();
    FDueMs = FDelayMs;
    FTimer->start(FDelayMs);
}

void TGifPlayer::Stop() { FTimer->stop(); }

bool TGifPlayer::IsRunning() const { return FTimer->isActive(); }

void TGifPlayer::Next()
{
    if (!FReader)
        return;
    if (!ReadFrame()) {
        // The end of a pass (or a damaged frame): start the next pass, if
        // the file asks for one, from a fresh reader.
        if (FIndex <= 0 || (FLoops >= 0 && FPlays >= FLoops))
            return;
        FReader = std::make_unique<QImageReader>(FPath, QByteArray("gif"));
        FReader->setDecideFormatFromContent(false);
        FIndex = -1;
        if (!ReadFrame())
            return;
        ++FPlays;
    }
    // Due times follow the file's clock, so decoding time does not add up.
    FDueMs += FDelayMs;
    const int64_t now = FClock.elapsed();
    if (FDueMs < now - 1000)
        FDueMs = now + FDelayMs;  // held up for long (a modal box): no catching up at full speed
    FTimer->start(int(std::max<int64_t>(0, FDueMs - FClock.elapsed())));
}
