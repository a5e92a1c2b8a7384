#pragma once
// The GIF's size before converting: a spread sample of the clip's output
// frames is encoded with the real engine and the result extrapolated.

#include "VGConvert.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>

struct TGifEstimate {
    bool Ok = false;
    int64_t Bytes = 0;          // the whole GIF, extrapolated
    int64_t Frames = 0;         // output frames of the whole GIF
    QString Error;              // why there is no estimate
};

// Runs on the caller's thread; polls cancel (may be null) between frames.
// The flag's NotifyWnd and GifFileName are not used.
TGifEstimate EstimateGifSize(const TVGConvertFlag& flag, const std::atomic<bool>* cancel = nullptr);

// Estimates in the background for a dialog: each Request replaces the one
// before and runs 300 ms after the last; Ready reports on the owner's thread.
class TGifSizeEstimator : public QObject {
    Q_OBJECT
public:
    explicit TGifSizeEstimator(QObject* parent = nullptr);
    ~TGifSizeEstimator() override;
    void Request(const TVGConvertFlag& flag);
    bool Busy() const;
Q_SIGNALS:
    void Ready(const TGifEstimate& estimate);
private:
    struct Impl;
    Impl* FImpl;
};
