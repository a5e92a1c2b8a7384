#include "GifQuantizer.h"

#include <algorithm>
#include <cstring>
#include <libimagequant.h>
#include <memory>
#ifdef GANTERLY_HAVE_OPENMP
#include <omp.h>
#endif

namespace {
struct TLiqFree {
    void operator()(liq_image* p) const { liq_image_destroy(p); }
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};
} // namespace

TGifQuantizer::TGifQuantizer(const TGifQuantizerOptions& options, const std::atomic<bool>* stop)
    : FOptions(options), FStop(stop)
{
    auto make = [this](int speed, int quality) {
        liq_attr* a = liq_attr_create();
        if (!a) return a;
        liq_set_max_colors(a, std::clamp(FOptions.MaxColours, 2, 256));
        liq_set_quality(a, 0, std::clamp(quality, 1, 100));
        liq_set_speed(a, std::clamp(speed, 1, 10));
        liq_attr_set_progress_callback(a, &TGifQuantizer::Progress, this);
        return a;
    };
    FAttr = make(FOptions.Speed, FOptions.Quality);
    if (FAttr && FOptions.CleanSpeed > 0 && FOptions.CleanSpeed != FOptions.Speed) {
        FAttrClean = make(FOptions.CleanSpeed, FOptions.Quality);
        if (!FAttrClean) {
            liq_attr_destroy(FAttr);
            FAttr = nullptr;
        }
    }
    // Without its own settings a cut takes the usual ones.
    if (FAttr && FOptions.CutSpeed > 0)
        FAttrCut = make(FOptions.CutSpeed, FOptions.CutQuality > 0 ? FOptions.CutQuality : FOptions.Quality);
}

TGifQuantizer::~TGifQuantizer()
{
    if (FAttrCut) liq_attr_destroy(FAttrCut);
    if (FAttrClean) liq_attr_destroy(FAttrClean);
    if (FAttr) liq_attr_destroy(FAttr);
}

void TGifQuantizer::ShareCores(int workers)
{
#ifdef GANTERLY_HAVE_OPENMP
    // The processors this process may run on (its affinity), as the
    // library's own default team counts them.
    const int cores = std::max(1, omp_get_num_procs());
    omp_set_num_threads(std::max(1, cores / std::max(1, workers)));
#else
    (void)workers;
#endif
}

void TGifQuantizer::TResultFree::operator()(liq_result* r) const { liq_result_destroy(r); }

int TGifQuantizer::Progress(float, void* user)
{
    auto* self = static_cast<TGifQuantizer*>(user);
    return self->FStop && self->FStop->load(std::memory_order_relaxed) ? 0 : 1;
}

bool TGifQuantizer::Run(const uint8_t* rgba, int width, int height, bool withTransparent, bool mayReuse,
                        int maxColours, bool cut, std::vector<uint8_t>& palette, int& transparent,
                        std::vector<uint8_t>& pixels)
{
    FError.clear();
    if (!FAttr) {
        FError = QStringLiteral("out of memory");
        return false;
    }
    std::unique_ptr<liq_image, TLiqFree> image(liq_image_create_rgba(FAttr, rgba, width, height, 0));
    if (!image) {
        FError = QStringLiteral("cannot prepare the picture");
        return false;
    }
    pixels.resize(size_t(width) * size_t(height));
    // Neighbouring frames of a clip mostly share their colours: remapping with
    // the last palette skips the search when it fits this picture about as
    // well as it fitted its own.
    if (mayReuse && FOptions.ReuseRatio > 0 && FPrev && (FPrevTransparent || !withTransparent)) {
        liq_result_set_progress_callback(FPrev.get(), &TGifQuantizer::Progress, this);
        if (liq_write_remapped_image(FPrev.get(), image.get(), pixels.data(), pixels.size()) == LIQ_OK) {
            ReadPalette(FPrev.get(), withTransparent, palette, transparent);
            const double err = RemapError(rgba, pixels, palette);
            if (err <= FPrevRemapMse * FOptions.ReuseRatio + FOptions.ReuseSlack) {
                FMse = FPrevMse;
                return true;
            }
        }
        if (FStop && FStop->load(std::memory_order_relaxed))
            return false;
    }
    liq_attr* attr = cut && FAttrCut ? FAttrCut : !mayReuse && FAttrClean ? FAttrClean : FAttr;
    // Room for a transparent entry of our own when the picture has none.
    liq_set_max_colors(attr, std::clamp(std::min(maxColours, FOptions.MaxColours), 2, 256) - (withTransparent ? 1 : 0));
    liq_result* raw = nullptr;
    // A large clean picture's palette is searched on every other pixel of
    // every other row: a quarter of the work, and the picture is still
    // remapped whole. Grainy pictures keep the whole search: there the
    // sample's palette fitted worse and the files grew.
    std::vector<uint8_t> sample;
    std::unique_ptr<liq_image, TLiqFree> sampled;
    if (FOptions.SearchSubsample > 1 && !cut && !mayReuse && int64_t(width) * height >= FOptions.SubsampleFrom) {
        const int step = FOptions.SearchSubsample;
        const int sw = (width + step - 1) / step, sh = (height + step - 1) / step;
        sample.resize(size_t(sw) * sh * 4);
        uint8_t* out = sample.data();
        for (int y = 0; y < height; y += step)
            for (int x = 0; x < width; x += step, out += 4)
                std::memcpy(out, rgba + (size_t(y) * width + x) * 4, 4);
        sampled.reset(liq_image_create_rgba(attr, sample.data(), sw, sh, 0));
    }
    const liq_error qe = liq_image_quantize(sampled ? sampled.get() : image.get(), attr, &raw);
    std::unique_ptr<liq_result, TLiqFree> result(raw);
    if (qe != LIQ_OK || !result) {
        if (qe != LIQ_ABORTED) FError = QStringLiteral("palette search failed (%1)").arg(int(qe));
        return false;
    }
    liq_set_dithering_level(result.get(), std::clamp(FOptions.Dither, 0.0f, 1.0f));
    liq_result_set_progress_callback(result.get(), &TGifQuantizer::Progress, this);
    const liq_error re = liq_write_remapped_image(result.get(), image.get(), pixels.data(), pixels.size());
    if (re != LIQ_OK) {
        if (re != LIQ_ABORTED) FError = QStringLiteral("remapping failed (%1)").arg(int(re));
        return false;
    }
    FMse = std::max(0.0, liq_get_quantization_error(result.get()));
    const bool hasTransparent = ReadPalette(result.get(), withTransparent, palette, transparent);
    // A palette searched on a sample may have met none of the pixels that
    // keep what is shown: they go to the transparent entry all the same.
    if (sampled && transparent >= 0)
        for (size_t i = 0; i < pixels.size(); ++i)
            if (rgba[i * 4 + 3] == 0)
                pixels[i] = uint8_t(transparent);
    if (FOptions.ReuseRatio > 0) {
        FPrevMse = FMse;
        FPrevRemapMse = RemapError(rgba, pixels, palette);
        FPrevTransparent = hasTransparent;
        FPrev.reset(result.release());
    }
    return true;
}

// Mean squared error per channel of the remapped opaque pixels against the source.
double TGifQuantizer::RemapError(const uint8_t* rgba, const std::vector<uint8_t>& pixels,
                                 const std::vector<uint8_t>& palette)
{
    uint64_t sum = 0, n = 0;
    const size_t colours = palette.size() / 3;
    for (size_t i = 0; i < pixels.size(); ++i, rgba += 4) {
        if (rgba[3] < 128 || pixels[i] >= colours)
            continue;
        const uint8_t* p = palette.data() + size_t(pixels[i]) * 3;
        const int dr = int(rgba[0]) - p[0], dg = int(rgba[1]) - p[1], db = int(rgba[2]) - p[2];
        sum += uint64_t(dr * dr + dg * dg + db * db);
        ++n;
    }
    return n ? double(sum) / double(3 * n) : 0.0;
}

// The palette as RGB triples; true when the library gave it a transparent entry.
bool TGifQuantizer::ReadPalette(liq_result* result, bool withTransparent, std::vector<uint8_t>& palette,
                                int& transparent)
{
    const liq_palette* pal = liq_get_palette(result);
    transparent = -1;
    palette.resize(size_t(pal->count) * 3);
    for (unsigned i = 0; i < pal->count; ++i) {
        palette[i * 3] = pal->entries[i].r;
        palette[i * 3 + 1] = pal->entries[i].g;
        palette[i * 3 + 2] = pal->entries[i].b;
        if (pal->entries[i].a < 128 && transparent < 0) transparent = int(i);
    }
    const bool own = transparent >= 0;
    if (withTransparent && transparent < 0 && pal->count < 256) {
        transparent = int(pal->count);
        palette.insert(palette.end(), {0, 0, 0});
    }
    return own;
}
