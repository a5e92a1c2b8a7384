#pragma once
// The conversion's picture pipeline on its own: reads a stretch of the clip
// with a decoder of its own, resamples it to the GIF's frame rate, and hands
// out every output frame cropped, scaled, drawn on, rotated and flipped. The
// conversion thread and the size estimate both read through it, so the
// estimate follows whatever the conversion does to a frame.

#include "GifEncoder.h"
#include "VGConvert.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class TVGFrameSource {
public:
    // The flag must outlive the source; cancel (may be null) is polled often.
    TVGFrameSource(const TVGConvertFlag& flag, const std::atomic<bool>* cancel);
    ~TVGFrameSource();
    TVGFrameSource(const TVGFrameSource&) = delete;
    TVGFrameSource& operator=(const TVGFrameSource&) = delete;

    // Checks the range, opens the video and works out the output size; the
    // reason when that fails, else empty.
    QString Open();
    // Decoding threads (0: the codec's choice); before Open.
    void SetDecoderThreads(int threads);
    bool Stopped() const { return FCancel && FCancel->load(std::memory_order_acquire); }

    int FPS() const;               // effective values of the flag
    double Speed() const;
    int MaxFrames() const;
    int Sequence() const;
    QSize Size() const;            // of the frames as written
    // The encoder settings of the GIF: one place for the conversion and the estimate.
    TGifEncoderOptions EncoderOptions() const;
    // Where the video's pictures end (stream duration), 0 when unknown.
    int64_t VideoEnd() const;
    // The container's time of the source's time 0, µs, and the video stream
    // read: how the container's own packet times map onto the source's.
    int64_t TimeOffset() const;
    int VideoStream() const;

    // What a Read went through.
    struct TPass {
        int64_t Emitted = 0;       // output frames counted by the picker
        int64_t Given = 0;         // frames handed to the sink
        int64_t Candidates = 0;    // source frames kept
        int64_t Deleted = 0;       // source frames left out as deleted
        int64_t End = 0;           // end of the stretch: `to`, or earlier where the video ends
        bool Full = false;         // the limit was reached
        bool SinkStopped = false;  // the sink answered false
    };
    // Output frame k of the stretch (from 0) and its picture; false stops.
    using TSink = std::function<bool(int64_t k, const QImage& picture)>;
    // Reads the source stretch [from, to) and gives its output frames in
    // order, at most `limit` of them. repeatLimit: see TFramePicker. progress
    // (may be empty) hears each source frame's time. An error text, or empty
    // when the stretch was read, stopped by the sink or cancelled.
    QString Read(int64_t from, int64_t to, int64_t limit, int64_t repeatLimit, const TSink& sink,
                 const std::function<void(int64_t pts)>& progress, TPass& pass);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    const std::atomic<bool>* FCancel;
};
