#pragma once
// The video decoder: opens a file, decodes its video stream frame by frame,
// converts pictures to RGB, seeks and locates exact frames. Built on FFmpeg,
// which stays private to FFDecoder.cpp.
//
// Times (PTS) are microseconds counted from the start of the file: the
// container's start time is subtracted, so the first frame is at or near 0.

#include <QImage>
#include <QObject>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>

#ifndef AV_NOPTS_VALUE
#define AV_NOPTS_VALUE ((int64_t)UINT64_C(0x8000000000000000))
#endif
constexpr int64_t Unit_Nano = 1000000;  // PTS units per second

struct AVFrame;
struct SwsContext;
struct TBitmapRows;
class TVideoPicture;
class TColourConverter;

struct TVideoStreamInfo {
    int Width = 0;            // as displayed: pixel shape corrected, then rotation applied
    int Height = 0;
    int FrameRateNum = 0;     // frames per second as num/den, checked against the timestamps
    int FrameRateDen = 0;
    int64_t Duration = 0;     // of the stream, PTS units
    int64_t FrameCount = 0;   // from the container, 0 when unknown
    int Rotation = 0;         // display rotation applied: 0, 90, 180, 270 (clockwise)
    bool Mirrored = false;    // the display matrix mirrors left to right after the rotation
    int SampleAspectNum = 1;  // pixel shape of the stored picture (1:1 when untagged or implausible)
    int SampleAspectDen = 1;
    QString CodecName;
    QString PixelFormat;
    QString ColorMatrix;      // matrix used for RGB: "bt709", "bt601", "bt2020", ...
    bool FullRange = false;   // full-range (JPEG) luma
};

struct TFileStreamInfo {
    int64_t Duration = 0;     // PTS units
    int64_t TimeOffset = 0;   // subtracted from the container's times
    QString FormatName;
    int StreamCount = 0;
};

// Seek flags as a set: the values are those of FFmpeg's seek flags.
enum TSeekFlag : unsigned { sfBackward = 1, sfByte = 2, sfAny = 4 };
using TSeekFlags = unsigned;

class TFFDecoder : public QObject {
    Q_OBJECT
public:
    explicit TFFDecoder(QObject* owner = nullptr);
    ~TFFDecoder() override;

    // The libraries are linked; the folder is kept for the callers that pass it on.
    bool LoadAVLib(const QString& folder);
    QString LibFolder() const { return FLibFolder; }

    bool LoadFile(const QString& fileName, const QString& formatName = {});
    void CloseFile();
    QString FileName() const { return FFileName; }
    QString LastError() const { return FLastError; }

    int VideoStreamIndex() const;      // -1 when the file has no video stream
    TVideoStreamInfo GetVideoStreamInfos(int index) const;
    TVideoStreamInfo GetVideoStreamInfo() const;   // of the video stream
    TFileStreamInfo GetFileStreamInfo() const;

    void SetBitmapBitsPixel(int bits);  // 24 -> Format_RGB888, 32 -> Format_RGB32
    // Decoding threads for the next LoadFile; 0 lets the codec choose. Each
    // thread has frame pools of its own to fill, so a caller that decodes a
    // few short stretches pays less start-up with 1.
    void SetDecoderThreads(int threads) { FThreads = std::max(0, threads); }
    int BitmapBitsPixel() const { return FBitsPixel; }

    // Decodes the next video frame and makes it the current one; false at the
    // end of the stream or at damage (LastError() then says what). After
    // damage, further calls skip to the next clean keyframe. Pictures are not
    // converted to RGB here.
    bool Decode(int streamIndex = -1);
    // The current picture as a player shows it: stretched to square pixels,
    // turned and mirrored by the display matrix, sized Width x Height.
    // Reuses `bitmap` when it already has that size and format.
    bool CopyToBitmap(QImage& bitmap);
    // The current picture as the rows of a 24-bit bitmap file (upright,
    // displayed size), converted in one pass whatever SetBitmapBitsPixel
    // says; the same colours as CopyToBitmap. Reuses the rows' memory.
    bool CopyToBitmapRows(TBitmapRows& rows);
    // Fast seek near pts; a Decode follows to get a picture. Flushes the codec.
    bool Seek(int64_t pts, TSeekFlags flags);

    int64_t CurrentPTS() const;         // time of the current frame, AV_NOPTS_VALUE before the first
    int64_t CurrentDuration() const;    // length of the current frame, 0 when unknown
    bool HasFrame() const;
    // The current decoded frame as FFmpeg gives it: coded size and pixel
    // shape, not rotated. To show it, stretch its width by the sample aspect
    // ratio, turn it by Rotation, then mirror it when Mirrored (see
    // GetVideoStreamInfo()). Valid until the next Decode, Seek, locate or
    // LoadFile; nullptr without a current frame.
    const AVFrame* CurrentAVFrame() const;
    // The current picture kept for later, as decoded (no conversion); it
    // outlives the decoder. nullptr without a current frame.
    std::unique_ptr<TVideoPicture> TakePicture() const;
    // For a caller that will not use every frame (conversion at a lower
    // frame rate): before a frame is decoded, `superseded(t, later)` is asked
    // with the frame's time and the earliest later time among the packets
    // read so far; when it answers true and no other frame refers to this
    // one, the frame is not decoded at all. Empty: every frame is decoded.
    void SetSkipHint(std::function<bool(int64_t timeUs, int64_t laterUs)> superseded);
    int64_t SkippedFrames() const;      // packets left undecoded by the hint
    int64_t PacketsSent() const;        // packets given to the codec since the file was opened
    // True when the last Decode failed because of damage rather than the end.
    bool LastDecodeDamaged() const;

    struct Impl;
    Impl* Internals() const { return d.get(); }   // for the locate functions
    // Records "file: stage: detail" as LastError(); answers false.
    bool Fail(const QString& stage, const QString& detail = {});
private:
    // Fail, and drop everything the open had set up.
    bool FailOpen(const QString& stage, const QString& detail = {});
    bool ConvertCurrent(TColourConverter& conv, int dstFormat, int outW, uint8_t* dst, int stride);
    std::unique_ptr<Impl> d;
    QString FLibFolder;
    QString FFileName;
    QString FLastError;
    int FBitsPixel = 24;
    int FThreads = 0;
};

// Width of a picture `width` pixels wide with pixels of shape num:den, as
// players show it: rounded to an even number; `width` itself for square or
// unusable shapes.
int DisplayWidth(int width, int num, int den);

// Leaves the decoder on the frame a player shows at that time: the last frame
// whose time is not after pts (the first frame for earlier times).
bool LocateVideoPTS(TFFDecoder* decoder, int64_t pts);
bool LocateVideoPTSCallback(TFFDecoder* decoder, int64_t pts, const std::function<bool()>& continueFn);

// "hh:mm:ss.mmm"; negative times and AV_NOPTS_VALUE give "00:00:00.000".
QString FormatPTS(int64_t pts, int digits = 3);
// The reverse; also accepts plain seconds with decimals. AV_NOPTS_VALUE when unreadable.
int64_t StrToPTS(const QString& text, int digits = 3);
