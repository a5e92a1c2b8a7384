#include "DecodePlayer.h"

#include <QThread>
#include <chrono>
#include <cmath>

int64_t GetTickCountMs()
{
    using namespace std::chrono;
    // Offset by one so that no reading is ever 0.
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() + 1;
}

// ---- playback ------------------------------------------------------------------

TDecodePlayThread::TDecodePlayThread() = default;

void TDecodePlayThread::SleepSliced(int64_t ms)
{
    constexpr int64_t Slice = 100;
    while (ms > Slice && !Terminated()) {
        QThread::msleep(Slice);
        ms -= Slice;
    }
    if (ms > 0 && !Terminated())
        QThread::msleep(static_cast<unsigned long>(ms));
}

void TDecodePlayThread::SafeExecute()
{
    if (!Decoder) {
        FAtEnd.store(true, std::memory_order_release);
        CheckPostMessage(NotifyWnd, EndMessage, 0, 0);
        return;
    }
    while (!Terminated()) {
        Decoder->CopyToBitmap(Bitmap);
        if (StartTick == 0) {
            StartTick = GetTickCountMs();  // the first frame is not delayed
        } else {
            const int64_t due = std::llround(static_cast<double>(Decoder->CurrentPTS() - StartPTS) / 1000.0);
            const int64_t wait = due - (GetTickCountMs() - StartTick);
            if (wait > 0)
                SleepSliced(wait);
        }
        if (Terminated())
            break;
        Synchronize([this] {
            LastPTS = Decoder->CurrentPTS();
            if (OnFrame)
                OnFrame(Decoder, Bitmap);
        });
        if (!Decoder->Decode(-1)) {
            FAtEnd.store(true, std::memory_order_release);
            CheckPostMessage(NotifyWnd, EndMessage, 0, 0);
            break;
        }
    }
}

void TDecodePlayThread::SafeDestroy()
{
    Bitmap = QImage();
    TSafeThread::SafeDestroy();
}

// ---- seeking -------------------------------------------------------------------

TDecoderSeek::TDecoderSeek() = default;

void TDecoderSeek::PostSeek(int64_t pts)
{
    auto request = std::make_unique<TSeekObj>(pts);
    std::unique_ptr<TSeekObj> dropped;
    {
        std::lock_guard<std::mutex> lock(FLock);
        dropped = std::move(FPending);
        FPending = std::move(request);
        FCurrent.store(false, std::memory_order_release);
    }
    if (dropped)
        ++FDroppedCount;
}

std::unique_ptr<TSeekObj> TDecoderSeek::TakeRequest()
{
    std::lock_guard<std::mutex> lock(FLock);
    std::unique_ptr<TSeekObj> request = std::move(FPending);
    if (request) {
        FCurrent.store(true, std::memory_order_release);
        ++FTakenCount;
    }
    return request;
}

bool TDecoderSeek::SeekNear(int64_t pts)
{
    // Plain seek first, then backward, then to any frame.
    const TSeekFlags attempts[] = {0, sfBackward, sfAny};
    for (TSeekFlags flags : attempts) {
        if (!IsCurrent())
            return false;
        if (Decoder->Seek(pts, flags))
            return Decoder->Decode(-1);
    }
    return false;
}

int64_t TDecoderSeek::ShowFrame()
{
    Decoder->CopyToBitmap(Bitmap);
    if (!FCurrent.load(std::memory_order_acquire))
        return AV_NOPTS_VALUE;
    const int64_t pts = Decoder->CurrentPTS();
    bool shown = false;
    Synchronize([&] {
        // Requests are posted on the main thread too, so this check is exact:
        // a request replaced meanwhile shows nothing more.
        if (!FCurrent.load(std::memory_order_acquire))
            return;
        shown = true;
        if (OnFrame)
            OnFrame(Decoder, Bitmap);
    });
    return shown ? pts : AV_NOPTS_VALUE;
}

void TDecoderSeek::SafeExecute()
{
    while (!Terminated()) {
        std::unique_ptr<TSeekObj> request = TakeRequest();
        if (!request) {
            QThread::msleep(10);
            continue;
        }
        const int64_t shown = (Decoder && SeekNear(request->PTS)) ? ShowFrame() : AV_NOPTS_VALUE;
        if (shown != AV_NOPTS_VALUE
            && LocateVideoPTSCallback(Decoder, request->PTS, [this] { return IsCurrent(); })
            && Decoder->CurrentPTS() != shown)
            ShowFrame();
    }
}

void TDecoderSeek::SafeDestroy()
{
    Bitmap = QImage();
    {
        std::lock_guard<std::mutex> lock(FLock);
        FPending.reset();
    }
    TSafeThread::SafeDestroy();
}
