#pragma once
// Palette and dithered remap of one RGBA rectangle with libimagequant.
// Pixels with alpha 0 map to a transparent palette entry.

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

struct liq_attr;

struct TGifQuantizerOptions {
    int Quality = 90;     // 1..100
    int Speed = 6;        // 1..10
    // Effort for pictures that may not reuse a palette (clean footage), 0 =
    // Speed. Flat, clean pictures lose nothing measurable one step faster.
    int CleanSpeed = 0;
    // Effort for a picture that will be seen long (Run's `cut`), 0 = as usual.
    int CutSpeed = 0;
    int CutQuality = 0;   // 0 = Quality
    // The palette of a picture of at least SubsampleFrom pixels is searched
    // on every SearchSubsample-th pixel of every such row; 0 or 1 = all.
    int SearchSubsample = 0;
    int SubsampleFrom = 65536;
    float Dither = 1.0f;  // 0..1
    int MaxColours = 256; // 2..256
    // The previous palette is used again while remapping with it costs no
    // more than this factor times the error it had on its own picture
    // (plus ReuseSlack); 0 searches a new palette for every picture.
    float ReuseRatio = 0.0f;
    float ReuseSlack = 0.0f;
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
    // keeps a transparent entry even when no pixel is transparent. mayReuse
    // lets the previous palette serve when it fits (see ReuseRatio); at most
    // maxColours colours; cut asks for the CutSpeed effort.
    bool Run(const uint8_t* rgba, int width, int height, bool withTransparent, bool mayReuse, int maxColours,
             bool cut, std::vector<uint8_t>& palette, int& transparent, std::vector<uint8_t>& pixels);
    // The palette library runs its loops on teams of threads of its own; on
    // a thread of `workers` that quantise side by side, the teams share the
    // cores the workers leave: on two cores and two workers, none. Larger
    // teams only took turns with the workers (a tenth more CPU time, and
    // slower). For the calling thread.
    static void ShareCores(int workers);
    const QString& LastError() const { return FError; }
    // Mean squared error per channel of the last palette, as the library reports it.
    double LastMse() const { return FMse; }

private:
    static int Progress(float percent, void* user);
    static double RemapError(const uint8_t* rgba, const std::vector<uint8_t>& pixels,
                             const std::vector<uint8_t>& palette);
    static bool ReadPalette(struct liq_result* result, bool withTransparent, std::vector<uint8_t>& palette,
                            int& transparent);

    TGifQuantizerOptions FOptions;
    const std::atomic<bool>* FStop;
    liq_attr* FAttr = nullptr;
    liq_attr* FAttrClean = nullptr;   // CleanSpeed's, when it differs
    liq_attr* FAttrCut = nullptr;     // CutSpeed's
    QString FError;
    double FMse = 0;
    struct TResultFree { void operator()(struct liq_result* r) const; };
    std::unique_ptr<struct liq_result, TResultFree> FPrev;  // the palette kept for the next picture
    double FPrevMse = 0;
    double FPrevRemapMse = 0;
    bool FPrevTransparent = false;
};
