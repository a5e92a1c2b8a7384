#pragma once
// Animated GIF encoder: per-frame palettes with error-diffusion dithering,
// only the changed rectangle of each frame stored (unchanged pixels
// transparent), quantisation on a small thread pool, frames written in order.
// Memory stays bounded: AddFrame blocks while QueueFrames frames are in flight.

#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

struct TGifEncoderOptions {
    int Width = 0;               // 1..65535
    int Height = 0;              // 1..65535
    // -1 plays forever (looping extension, count 0); 0 plays once (no looping
    // extension); N >= 1 plays once and replays N times (count N).
    int Loop = -1;
    int Threads = 2;             // quantise/remap workers
    int QueueFrames = 4;         // frames accepted but not yet written, at most

    // Quality knobs; the defaults are the measured best quality per byte.
    int Quality = 90;            // palette quality target 1..100
    int Speed = 6;               // palette search effort 1 (slow) .. 10 (fast)
    // The effort on clean footage (no grain measured; 0 = Speed): one step
    // faster cost flat and synthetic pictures no measurable quality and a
    // quarter of their CPU time; grainy footage keeps Speed, where the
    // quicker search lost up to 0.5 dB.
    int CleanSpeed = 7;
    // Error diffusion strength 0..1. Off by default: with a palette of its
    // own per frame, every clip measured gave equal or higher PSNR and SSIM
    // in a smaller file without it, 7-13 % faster; grain dithers by itself.
    float Dither = 0.0f;
    // A pixel within this distance (per channel, 0..255) of the original
    // colour it was last drawn from stays transparent. 0 = lossless diffing.
    int Tolerance = 3;
    // On low-contrast pictures (dark or washed-out footage) the same step is
    // a larger share of what there is to see: below this spread of the
    // green channel (standard deviation, levels) the tolerance shrinks in
    // proportion, to no less than ContrastMinShare of itself. 0 = off.
    float ContrastFull = 32.0f;
    float ContrastMinShare = 0.6f;
    int MaxColours = 256;        // palette size limit 2..256
    // A changed rectangle of fewer pixels than this, and no more than half
    // the picture, gets at most SmallColours colours: there a whole palette
    // and wider codes cost more than the colours return (a screen
    // recording's typing, cursor and inset).
    int SmallPixels = 40000;
    int SmallColours = 128;
    // The effort for a frame that redraws most of a picture which then
    // stays (a cut after stillness, and the first frame) on clean footage:
    // its palette is seen for as long as the picture stays, and a few such
    // frames cost little. 0 = the usual effort.
    int CutSpeed = 3;
    int CutQuality = 100;        // the palette quality target of such a frame, 0 = Quality
    // Palettes of rectangles of at least SubsampleFrom pixels on clean
    // footage are searched on every SearchSubsample-th pixel and row (cuts
    // excepted): a third less CPU on clean camera footage at the same size
    // and quality; 0 = all.
    int SearchSubsample = 2;
    int SubsampleFrom = 65536;
    // A drawn pixel keeps the shown colour when that is no more than this
    // (squared RGB distance) worse than the new palette's colour.
    int KeepSlack = 0;
    // Added to KeepSlack per unit of the frame's quantisation error, so noisy
    // footage (where the palette is coarse anyway) saves more.
    float KeepSlackPerMse = 8.0f;
    // On grainy footage (see NoiseFloor) a worker remaps with its previous
    // palette instead of searching a new one while that costs at most
    // ReuseRatio x (+ ReuseSlack) the error the palette had on its own frame;
    // 0 searches every frame. On clean footage it would cost visible quality.
    float ReuseRatio = 1.3f;
    float ReuseSlack = 0.0f;
    // Noisy footage: per unit of measured grain above NoiseFloor (the median
    // frame-to-frame change of flat areas, in levels), the tolerance grows by
    // TolerancePerNoise and the keep-shown slack by SlackPerNoise x itself.
    float NoiseFloor = 0.5f;
    float TolerancePerNoise = 1.33f;
    float SlackPerNoise = 0.8f;
};

// One frame as written: the AddFrame call (from 0) that began it, and its
// bytes in the file (later calls equal to it only lengthen its delay).
struct TGifFrameBytes {
    int FirstInput = 0;
    int64_t Bytes = 0;
};

class TGifEncoder {
public:
    TGifEncoder();
    ~TGifEncoder();              // cancels and waits when not finished
    TGifEncoder(const TGifEncoder&) = delete;
    TGifEncoder& operator=(const TGifEncoder&) = delete;

    // Creates the file and writes the header. False with LastError on a bad
    // size ("... 65535 ...") or an unwritable path.
    bool Open(const QString& path, const TGifEncoderOptions& options);
    // Encodes exactly as Open does but writes no file: BytesWritten and
    // FrameBytes tell what the file would hold.
    bool OpenCounting(const TGifEncoderOptions& options);
    // One frame of exactly Width x Height (any QImage format; RGB888 and
    // RGB32 are taken without conversion) shown for delayCs centiseconds
    // (at least 2). A frame equal to what is shown merges into the previous
    // frame's delay. May block while the queue is full. False after an
    // error or Cancel.
    bool AddFrame(const QImage& image, int delayCs);
    // The same from packed 24-bit RGB rows, stride in bytes.
    bool AddFrameRGB(const uint8_t* rgb, int stride, int delayCs);
    // Takes the picture as what is shown, without encoding it: the next
    // frame is drawn against it as if it had been drawn exactly. For a
    // sample that starts mid-clip, in place of the frames before it; writes
    // nothing and counts as an AddFrame call.
    bool SeedFrame(const QImage& image);
    // Writes the last frame and the trailer, closes the file. False with
    // LastError when anything failed, was cancelled, or no frame was added.
    bool Finish();
    // Thread-safe and fast: blocked and later calls return false soon.
    void Cancel();

    // The first error ("cannot write <file>: <reason>", ...) wins over
    // "cancelled"; empty when all went well.
    QString LastError() const;
    bool Cancelled() const;
    int FramesAdded() const;     // AddFrame calls accepted
    int FramesWritten() const;   // GIF frames written so far (after merging)
    int64_t BytesWritten() const;
    // Every frame written so far, in order; the rest of BytesWritten after
    // Finish is the header and the trailer.
    std::vector<TGifFrameBytes> FrameBytes() const;
    // Largest number of frames ever held in flight (for checks of the bound).
    int MaxInFlight() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};
