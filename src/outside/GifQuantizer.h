#pragma once
// Palette and dithered remap of one RGBA rectangle with libimagequant.
// Pixels with alpha 0 map to a transparent palette entry.

#include <QString>
#include <atomic>
#include <cstdint>
#include <vector>

struct liq_attr;

struct TGifQuantizerOptions {
    int Quality = 90;     // 1..100
    int Speed = 6;        // 1..10
    float Dither = 1.0f;  // 0..1
    int MaxColours = 256; // 2..256
};

class TGifQuantizer {
public:
    // stop: checked during the work; a set flag aborts it (Run answers false, no error).
    TGifQuantizer(const TGifQuantizerOptions& options, const std::atomic<bool>* stop);
    ~TGifQuantizer();
    TGifQuantizer(const TGifQuantizer&) = delete;
    TGifQuantizer& operator=(const TGifQuantizer&) = delete;

    // rgba: width * height pixels, 4 bytes each. Fills palette (RGB triples),
    // the transparent index (or -1) and one index per pixel. withTransparent
    // keeps a transparent entry even when no pixel is transparent.
    bool Run(const uint8_t* rgba, int width, int height, bool withTransparent, std::vector<uint8_t>& palette,
             int& transparent, std::vector<uint8_t>& pixels);
    const QString& LastError() const { return FError; }
    // Mean squared error per channel of the last palette, as the library reports it.
    double LastMse() const { return FMse; }

private:
    static int Progress(float percent, void* user);

    TGifQuantizerOptions FOptions;
    const std::atomic<bool>* FStop;
    liq_attr* FAttr = nullptr;
    QString FError;
    double FMse = 0;
};
