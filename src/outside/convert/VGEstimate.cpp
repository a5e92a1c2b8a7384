#include "VGEstimate.h"

// Placeholder until the sampling estimate lands: it answers "no estimate".
TGifEstimate EstimateGifSize(const TVGConvertFlag&, const std::atomic<bool>*)
{
    TGifEstimate e;
    e.Error = QStringLiteral("not available");
    return e;
}

struct TGifSizeEstimator::Impl {};

TGifSizeEstimator::TGifSizeEstimator(QObject* parent) : QObject(parent), FImpl(new Impl) {}
TGifSizeEstimator::~TGifSizeEstimator() { delete FImpl; }
void TGifSizeEstimator::Request(const TVGConvertFlag& flag)
{
    Q_EMIT Ready(EstimateGifSize(flag));
}
bool TGifSizeEstimator::Busy() const { return false; }
