#pragma once
// The two worker threads behind the main window's player area. Both use the
// main window's decoder, never at the same time as anyone else, and hand
// every picture to OnFrame, which runs on the main thread; neither paints.

#include "FFDecoder.h"
#include "ZelMessages.h"
#include "Zelclasses.h"

#include <QImage>
#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// Frame callback: may draw on the bitmap, runs on the main thread.
using TDecodeFrameEvent = std::function<void(TFFDecoder* decoder, QImage& bitmap)>;

// Milliseconds of a monotonic clock, never 0 (0 means "not yet" to the threads).
int64_t GetTickCountMs();

// Plays the video in real time from the decoder's current frame, which the
// creator located and gave as StartPTS. Frames are shown at their own time
// relative to the first one; a late frame is shown late, none is skipped.
// Posts EndMessage to NotifyWnd once when no further frame can be decoded.
class TDecodePlayThread : public TSafeThread {
    Q_OBJECT
public:
    TDecodePlayThread();

    QImage Bitmap;                    // receives each picture; reused frame after frame
    int64_t StartTick = 0;            // GetTickCountMs() when the first frame was handed over; 0 = not yet
    int64_t LastPTS = 0;              // time of the frame last handed to OnFrame (written on the main thread)
    TFFDecoder* Decoder = nullptr;    // shared, not owned
    int64_t StartPTS = 0;             // time of the first frame; set before Resume
    TDecodeFrameEvent OnFrame;
    int EndMessage = WM_PLAYEND;
    QObject* NotifyWnd = nullptr;     // receiver of EndMessage; must outlive the thread
    // Set before EndMessage is posted: a receiver tells this thread's end
    // from that of a thread freed while its message was on the way.
    bool AtEnd() const { return FAtEnd.load(std::memory_order_acquire); }

protected:
    void SafeExecute() override;
    void SafeDestroy() override;
    // Sleeps ms milliseconds in slices of at most 100 ms, so a terminated
    // thread stops within about that time.
    void SleepSliced(int64_t ms);

private:
    std::atomic<bool> FAtEnd{false};
};

// One seek request.
struct TSeekObj {
    explicit TSeekObj(int64_t pts) : PTS(pts) {}
    int64_t PTS;
};

// Follows the track bar while it is dragged: serves the newest request only,
// showing the frame a fast seek lands on first and then the exact frame. A
// newer request makes every remaining step of the one being served give up.
class TDecoderSeek : public TSafeThread {
    Q_OBJECT
public:
    TDecoderSeek();

    QImage Bitmap;                    // receives the picture; reused
private:
    std::atomic<bool> FCurrent{false};  // set when a request is taken, cleared when a newer one is posted
    std::mutex FLock;                   // guards FPending and the FCurrent hand-over
    std::unique_ptr<TSeekObj> FPending; // the request waiting to be served
    std::atomic<int> FTakenCount{0};
    std::atomic<int> FDroppedCount{0};
public:
    TFFDecoder* Decoder = nullptr;    // shared, not owned
    TDecodeFrameEvent OnFrame;

    // Any thread: replaces a waiting request, which is dropped unserved.
    void PostSeek(int64_t pts);
    bool IsCurrent() const { return FCurrent.load(std::memory_order_acquire) && !Terminated(); }

    // Requests taken for serving and requests replaced before being taken.
    int TakenCount() const { return FTakenCount.load(); }
    int DroppedCount() const { return FDroppedCount.load(); }

protected:
    void SafeExecute() override;
    void SafeDestroy() override;

    std::unique_ptr<TSeekObj> TakeRequest();
    // Fast seek near pts and decode the frame it lands on.
    bool SeekNear(int64_t pts);
    // Hands the decoder's picture to OnFrame while the request is current;
    // answers the frame's time, or AV_NOPTS_VALUE when nothing was shown.
    int64_t ShowFrame();
};
