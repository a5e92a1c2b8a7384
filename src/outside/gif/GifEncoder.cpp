#include "GifEncoder.h"

#include "GifQuantizer.h"
#include "GifWriter.h"

#include <algorithm>
#include <cmath>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {
constexpr int kMaxSide = 65535;
constexpr int kMinDelayCs = 2;
constexpr int kMaxDelayCs = 65535;

// One GIF frame on its way from AddFrame to the file.
struct TJob {
    int Index = 0;
    int FirstInput = 0;            // the AddFrame call that began it
    int Left = 0, Top = 0, Width = 0, Height = 0;
    std::vector<uint8_t> Rgba;     // the changed rectangle; alpha 0 = keep what is shown
    int64_t DelayCs = 0;
    bool Sealed = false;           // the delay is final
    bool Taken = false;            // a worker has it
    bool Done = false;             // quantised
    TGifFrame Frame;
    double Mse = 0;                // of the palette, per channel
    float SlackPerMse = 0;         // for this frame, after the noise adjustment
    bool MayReuse = false;         // grainy footage: the previous palette may do
    bool Cut = false;              // redraws most of a still picture
    int MaxColours = 256;
    bool Seed = false;             // Rgba is the whole picture to take as shown; nothing is written
};
} // namespace

struct TGifEncoder::TImpl {
    TGifEncoderOptions Options;
    QString Path;
    TGifWriter Writer;

    // Serial state of the writer: the picture a viewer shows.
    std::vector<uint32_t> Displayed;

    // Serial state of the producer side.
    std::vector<uint32_t> Shown;   // per pixel: the original colour it was last drawn from
    std::vector<uint32_t> Current;
    std::vector<uint32_t> Previous; // the source frame before Current
    std::deque<double> NoiseHistory;
    std::deque<double> ContrastHistory;
    double Noise = 0;               // smoothed grain estimate of the recent frames
    std::deque<double> RecentShares; // share of the picture each recent frame drew
    double RecentDrawn = 1.0;        // the largest of them
    void NoteDrawn(double share)
    {
        RecentShares.push_back(share);
        if (RecentShares.size() > 3) RecentShares.pop_front();
        RecentDrawn = *std::max_element(RecentShares.begin(), RecentShares.end());
    }
    bool HaveFirst = false;
    int NextIndex = 0;
    int Encoded = 0;                 // jobs that write a frame

    std::mutex M;
    std::condition_variable CvSpace, CvWork, CvDone;
    std::deque<std::shared_ptr<TJob>> InFlight;
    bool InputDone = false;
    std::atomic<bool> Stop{false};
    bool Cancelled = false;
    QString Error;
    int MaxInFlight = 0;
    std::vector<TGifFrameBytes> Sizes;

    std::vector<std::thread> Workers;
    std::thread WriterThread;
    bool Opened = false;
    bool Finished = false;

    std::atomic<int> FramesAdded{0};
    std::atomic<int> FramesWritten{0};
    std::atomic<int64_t> Bytes{0};

    void SetError(const QString& text)
    {
        {
            std::lock_guard lock(M);
            if (Error.isEmpty()) Error = text;
            Stop = true;
        }
        CvSpace.notify_all();
        CvWork.notify_all();
        CvDone.notify_all();
    }

    QString CurrentError()
    {
        std::lock_guard lock(M);
        if (!Error.isEmpty()) return Error;
        return Cancelled ? QStringLiteral("cancelled") : QString();
    }

    void WorkerLoop();
    void WriterLoop();
    bool Submit(int delayCs, bool seed = false);
    bool Enqueue(std::shared_ptr<TJob> job);
    bool LoadCurrent(const QImage& image);
    bool Open(const QString* path, const TGifEncoderOptions& options);
    bool WriteJob(TJob& job);
    void Join();
};

TGifEncoder::TGifEncoder() : FImpl(std::make_unique<TImpl>()) {}

TGifEncoder::~TGifEncoder()
{
    if (FImpl->Opened && !FImpl->Finished) {
        Cancel();
        FImpl->Join();
        FImpl->Writer.Close();
    }
}

bool TGifEncoder::Open(const QString& path, const TGifEncoderOptions& options)
{
    return FImpl->Open(&path, options);
}

bool TGifEncoder::OpenCounting(const TGifEncoderOptions& options)
{
    return FImpl->Open(nullptr, options);
}

// A null file path counts the bytes instead of writing them.
bool TGifEncoder::TImpl::Open(const QString* file, const TGifEncoderOptions& options)
{
    TImpl& d = *this;
    const QString path = file ? *file : QStringLiteral("(counted GIF)");
    if (d.Opened) {
        d.SetError(QStringLiteral("cannot open %1: the encoder is already in use").arg(path));
        return false;
    }
    d.Options = options;
    d.Path = path;
    if (options.Width < 1 || options.Height < 1 || options.Width > kMaxSide || options.Height > kMaxSide) {
        d.SetError(QStringLiteral("cannot create %1: a GIF must be 1 x 1 to 65535 x 65535 pixels, not %2 x %3")
                       .arg(path).arg(options.Width).arg(options.Height));
        return false;
    }
    if (!(file ? d.Writer.Open(path, options.Width, options.Height, options.Loop)
               : d.Writer.OpenCounting(options.Width, options.Height, options.Loop))) {
        d.SetError(d.Writer.LastError());
        return false;
    }
    const size_t n = size_t(options.Width) * size_t(options.Height);
    try {
        d.Shown.assign(n, 0);
        d.Current.assign(n, 0);
    } catch (const std::bad_alloc&) {
        d.SetError(QStringLiteral("cannot create %1: not enough memory for %2 x %3 frames")
                       .arg(path).arg(options.Width).arg(options.Height));
        d.Writer.Close();
        return false;
    }
    d.Opened = true;
    const int threads = std::clamp(options.Threads, 1, 16);
    for (int i = 0; i < threads; ++i) d.Workers.emplace_back([&d] { d.WorkerLoop(); });
    d.WriterThread = std::thread([&d] { d.WriterLoop(); });
    return true;
}

bool TGifEncoder::AddFrame(const QImage& image, int delayCs)
{
    TImpl& d = *FImpl;
    if (!d.Opened || d.Finished || d.Stop) return false;
    return d.LoadCurrent(image) && d.Submit(delayCs);
}

bool TGifEncoder::SeedFrame(const QImage& image)
{
    TImpl& d = *FImpl;
    if (!d.Opened || d.Finished || d.Stop) return false;
    return d.LoadCurrent(image) && d.Submit(kMinDelayCs, true);
}

// The picture into Current, as opaque 0xAABBGGRR pixels.
bool TGifEncoder::TImpl::LoadCurrent(const QImage& image)
{
    if (image.width() != Options.Width || image.height() != Options.Height) {
        SetError(QStringLiteral("cannot write %1: frame %2 is %3 x %4 pixels, not %5 x %6")
                     .arg(Path).arg(FramesAdded + 1).arg(image.width()).arg(image.height())
                     .arg(Options.Width).arg(Options.Height));
        return false;
    }
    const int w = Options.Width, h = Options.Height;
    const QImage::Format f = image.format();
    if (f == QImage::Format_RGB888) {
        for (int y = 0; y < h; ++y) {
            const uint8_t* s = image.constScanLine(y);
            uint32_t* o = Current.data() + size_t(y) * w;
            for (int x = 0; x < w; ++x, s += 3)
                o[x] = uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 | 0xFF000000u;
        }
    } else if (f == QImage::Format_RGB32 || f == QImage::Format_ARGB32) {
        for (int y = 0; y < h; ++y) {
            const QRgb* s = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            uint32_t* o = Current.data() + size_t(y) * w;
            for (int x = 0; x < w; ++x)
                o[x] = uint32_t(qRed(s[x])) | uint32_t(qGreen(s[x])) << 8 | uint32_t(qBlue(s[x])) << 16 | 0xFF000000u;
        }
    } else {
        return LoadCurrent(image.convertToFormat(QImage::Format_RGB888));
    }
    return true;
}

bool TGifEncoder::AddFrameRGB(const uint8_t* rgb, int stride, int delayCs)
{
    TImpl& d = *FImpl;
    if (!d.Opened || d.Finished || d.Stop || !rgb) return false;
    const int w = d.Options.Width, h = d.Options.Height;
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = rgb + size_t(y) * size_t(stride);
        uint32_t* o = d.Current.data() + size_t(y) * w;
        for (int x = 0; x < w; ++x, s += 3)
            o[x] = uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 | 0xFF000000u;
    }
    return d.Submit(delayCs);
}

// The grain of the source: how much the change from one source frame to the
// next differs between neighbouring pixels in the flattest quarter of the
// picture (median, in levels of the green channel, interpolated). Motion
// changes flat areas little and smoothly, a fade or a light change shifts
// them all alike; what is left is sensor or film grain: about 0 on clean
// footage, 2 and more on noisy camera footage.
static double FrameNoise(const std::vector<uint32_t>& cur, const std::vector<uint32_t>& prev, int w, int h)
{
    if (w < 5 || h < 3 || prev.size() != cur.size()) return 0;
    auto g = [](uint32_t v) { return int(v >> 8 & 0xFF); };
    std::vector<std::pair<uint16_t, uint16_t>> samples;  // spatial gradient, grain
    samples.reserve(size_t(w / 2) * size_t(h / 2));
    for (int y = 1; y < h - 1; y += 2) {
        const uint32_t* c = cur.data() + size_t(y) * w;
        const uint32_t* p = prev.data() + size_t(y) * w;
        for (int x = 2; x < w - 2; x += 2) {
            const int grad = std::abs(g(c[x + 1]) - g(c[x - 1])) + std::abs(g(c[x + w]) - g(c[x - w]));
            const int d0 = g(c[x]) - g(p[x]), dl = g(c[x - 1]) - g(p[x - 1]), dr = g(c[x + 1]) - g(p[x + 1]);
            samples.push_back({uint16_t(grad), uint16_t(std::abs(2 * d0 - dl - dr))});
        }
    }
    if (samples.size() < 16) return 0;
    const size_t q = samples.size() / 4;
    std::nth_element(samples.begin(), samples.begin() + q, samples.end(),
                     [](auto a, auto b) { return a.first < b.first; });
    uint32_t hist[1024] = {};
    for (size_t i = 0; i < q; ++i) hist[std::min<int>(samples[i].second, 1023)]++;
    // Median with linear interpolation inside its bin, so 1.5 and 2.4 differ;
    // halved, so the figure reads about as the per-pixel change.
    const double half = double(q) / 2;
    double below = 0;
    for (int v = 0; v < 1024; ++v) {
        if (below + hist[v] >= half) return (v + (hist[v] ? (half - below) / hist[v] : 0) - 0.5) / 2;
        below += hist[v];
    }
    return 511;
}

// The spread of the picture: standard deviation of the green channel over
// a sparse grid, in levels.
static double FrameContrast(const std::vector<uint32_t>& cur, int w, int h)
{
    double sum = 0, sum2 = 0;
    int64_t n = 0;
    for (int y = 1; y < h; y += 4) {
        const uint32_t* c = cur.data() + size_t(y) * w;
        for (int x = 1; x < w; x += 4, ++n) {
            const double g = double(c[x] >> 8 & 0xFF);
            sum += g, sum2 += g * g;
        }
    }
    if (n == 0) return 0;
    const double mean = sum / double(n);
    return std::sqrt(std::max(0.0, sum2 / double(n) - mean * mean));
}

// More than tol apart in some channel.
static bool Differs(uint32_t a, uint32_t b, int tol)
{
    if (a == b) return false;
    const int dr = std::abs(int(a & 0xFF) - int(b & 0xFF));
    const int dg = std::abs(int(a >> 8 & 0xFF) - int(b >> 8 & 0xFF));
    const int db = std::abs(int(a >> 16 & 0xFF) - int(b >> 16 & 0xFF));
    return std::max({dr, dg, db}) > tol;
}

// Decides which pixels change against what is shown, crops them and queues
// the rectangle. A pixel stays transparent while its original colour is within
// the tolerance of the original it was last drawn from, so the shown picture
// never drifts further than that from the source.
bool TGifEncoder::TImpl::Submit(int delayCs, bool seed)
{
    const int w = Options.Width, h = Options.Height;
    // Grain that changes every frame is not worth drawing: the tolerance and
    // the keep-shown slack grow with it. A scene cut reads as one noisy frame,
    // so the estimate is the median of the last few.
    if (Options.TolerancePerNoise > 0 || Options.SlackPerNoise > 0) {
        if (HaveFirst) {
            NoiseHistory.push_back(std::max(0.0, FrameNoise(Current, Previous, w, h)));
            if (NoiseHistory.size() > 5) NoiseHistory.pop_front();
            std::vector<double> sorted(NoiseHistory.begin(), NoiseHistory.end());
            std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
            Noise = sorted[sorted.size() / 2];
        }
        Previous = Current;
    }
    const double grain = std::max(0.0, Noise - Options.NoiseFloor);
    double share = 1.0;
    if (Options.ContrastFull > 0) {
        // A cut to a dark scene changes it at once; a single flash does not.
        ContrastHistory.push_back(FrameContrast(Current, w, h));
        if (ContrastHistory.size() > 3) ContrastHistory.pop_front();
        std::vector<double> sorted(ContrastHistory.begin(), ContrastHistory.end());
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        share = std::clamp(sorted[sorted.size() / 2] / double(Options.ContrastFull),
                           double(std::clamp(Options.ContrastMinShare, 0.0f, 1.0f)), 1.0);
    }
    const int tol = int(std::lround(
        (std::max(0, Options.Tolerance) + Options.TolerancePerNoise * grain) * share));
    const float slackPerMse = Options.KeepSlackPerMse * float(1.0 + Options.SlackPerNoise * grain);
    delayCs = std::clamp(delayCs, kMinDelayCs, kMaxDelayCs);
    int x0 = w, y0 = h, x1 = -1, y1 = -1;
    if (seed) {
        // What would have been drawn, for the cut rule; then all of it is shown.
        int64_t changed = 0;
        for (size_t i = 0; i < Current.size(); ++i) {
            changed += Differs(Current[i], Shown[i], tol);
        }
        Shown = Current;
        auto job = std::make_shared<TJob>();
        job->Seed = true;
        job->Width = w, job->Height = h;
        job->Taken = job->Done = true;
        job->Rgba.resize(Current.size() * 4);
        std::memcpy(job->Rgba.data(), Current.data(), job->Rgba.size());
        FramesAdded++;
        job->FirstInput = FramesAdded - 1;
        NoteDrawn(HaveFirst ? double(changed) / (double(w) * h) : 1.0);
        HaveFirst = true;
        return Enqueue(std::move(job));
    }
    if (!HaveFirst) {
        Shown = Current;
        x0 = 0, y0 = 0, x1 = w - 1, y1 = h - 1;
    } else {
        for (int y = 0; y < h; ++y) {
            const uint32_t* c = Current.data() + size_t(y) * w;
            uint32_t* s = Shown.data() + size_t(y) * w;
            int first = -1, last = -1;
            for (int x = 0; x < w; ++x) {
                if (!Differs(c[x], s[x], tol)) continue;
                if (first < 0) first = x;
                last = x;
            }
            if (first < 0) continue;
            x0 = std::min(x0, first), x1 = std::max(x1, last);
            y0 = std::min(y0, y), y1 = y;
        }
    }
    FramesAdded++;
    std::unique_lock lock(M);
    if (Stop) return false;
    if (x1 < 0) {
        // Nothing visible changes: the shown frame just stays longer (a seed
        // stands for frames that are not written, and so does this one).
        if (!InFlight.empty() && !InFlight.back()->Sealed) InFlight.back()->DelayCs += delayCs;
        NoteDrawn(0);
        return true;
    }
    lock.unlock();

    auto job = std::make_shared<TJob>();
    job->Left = x0, job->Top = y0, job->Width = x1 - x0 + 1, job->Height = y1 - y0 + 1;
    job->DelayCs = delayCs;
    job->FirstInput = FramesAdded - 1;
    job->SlackPerMse = slackPerMse;
    job->MayReuse = grain > 0;
    // Small against the picture too: a small GIF's whole frames keep every colour.
    const int64_t rect = int64_t(job->Width) * job->Height;
    job->MaxColours = rect < Options.SmallPixels && 2 * rect <= int64_t(w) * h
                          ? std::min(Options.MaxColours, Options.SmallColours) : Options.MaxColours;
    job->Rgba.resize(size_t(job->Width) * job->Height * 4);
    uint32_t* out = reinterpret_cast<uint32_t*>(job->Rgba.data());
    int64_t drawn = 0;
    for (int y = y0; y <= y1; ++y) {
        const uint32_t* c = Current.data() + size_t(y) * w;
        uint32_t* s = Shown.data() + size_t(y) * w;
        for (int x = x0; x <= x1; ++x, ++out) {
            const uint32_t a = c[x];
            if (!HaveFirst || Differs(a, s[x], tol)) {
                s[x] = a;
                *out = a;
                ++drawn;
            } else {
                *out = 0;
            }
        }
    }
    // A cut after stillness: most of the picture drawn anew while the last
    // few frames drew little of it.
    const double drawnShare = double(drawn) / (double(w) * h);
    job->Cut = grain <= 0 && (!HaveFirst || (drawnShare >= 0.5 && RecentDrawn < 0.2));
    NoteDrawn(drawnShare);
    HaveFirst = true;
    return Enqueue(std::move(job));
}

// Waits for room, then queues the job behind the others; the one before it
// can grow its delay no more.
bool TGifEncoder::TImpl::Enqueue(std::shared_ptr<TJob> job)
{
    std::unique_lock lock(M);
    CvSpace.wait(lock, [&] { return Stop || int(InFlight.size()) < std::max(1, Options.QueueFrames); });
    if (Stop) return false;
    job->Index = NextIndex++;
    if (!job->Seed) ++Encoded;
    if (!InFlight.empty()) InFlight.back()->Sealed = true;
    const bool work = !job->Taken;
    InFlight.push_back(std::move(job));
    MaxInFlight = std::max(MaxInFlight, int(InFlight.size()));
    lock.unlock();
    if (work) CvWork.notify_one();
    CvDone.notify_all();
    return true;
}

void TGifEncoder::TImpl::WorkerLoop()
{
    TGifQuantizerOptions qo;
    qo.Quality = Options.Quality;
    qo.Speed = Options.Speed;
    qo.CleanSpeed = Options.CleanSpeed;
    qo.CutSpeed = Options.CutSpeed;
    qo.CutQuality = Options.CutQuality;
    qo.SearchSubsample = Options.SearchSubsample;
    qo.SubsampleFrom = Options.SubsampleFrom;
    qo.Dither = Options.Dither;
    qo.MaxColours = Options.MaxColours;
    qo.ReuseRatio = Options.ReuseRatio;
    qo.ReuseSlack = Options.ReuseSlack;
    TGifQuantizer::ShareCores(std::clamp(Options.Threads, 1, 16));
    TGifQuantizer quantizer(qo, &Stop);
    for (;;) {
        std::shared_ptr<TJob> job;
        {
            std::unique_lock lock(M);
            CvWork.wait(lock, [&] {
                if (Stop || InputDone) return true;
                return std::any_of(InFlight.begin(), InFlight.end(), [](auto& j) { return !j->Taken; });
            });
            if (Stop) return;
            for (auto& j : InFlight)
                if (!j->Taken) { job = j; break; }
            if (!job) return; // input done and nothing left
            job->Taken = true;
        }
        TGifFrame& f = job->Frame;
        f.Left = job->Left, f.Top = job->Top, f.Width = job->Width, f.Height = job->Height;
        if (!quantizer.Run(job->Rgba.data(), job->Width, job->Height, job->Index > 0, job->MayReuse, job->MaxColours,
                           job->Cut, f.Palette, f.Transparent, f.Pixels)) {
            if (!Stop)
                SetError(QStringLiteral("cannot write %1: frame %2: %3")
                             .arg(Path).arg(job->Index + 1).arg(quantizer.LastError()));
            return;
        }
        job->Mse = quantizer.LastMse();
        {
            std::lock_guard lock(M);
            job->Done = true;
        }
        CvDone.notify_all();
    }
}

void TGifEncoder::TImpl::WriterLoop()
{
    for (;;) {
        std::shared_ptr<TJob> job;
        {
            std::unique_lock lock(M);
            CvDone.wait(lock, [&] {
                if (Stop) return true;
                if (InFlight.empty()) return InputDone;
                return InFlight.front()->Done && InFlight.front()->Sealed;
            });
            if (Stop || InFlight.empty()) return;
            job = InFlight.front();
        }
        if (!WriteJob(*job)) {
            SetError(Writer.LastError());
            return;
        }
        {
            std::lock_guard lock(M);
            InFlight.pop_front();
        }
        CvSpace.notify_all();
    }
}

// Keeps the shown colour wherever it is about as close to the source as the
// new palette's colour (the gain in transparency costs nothing visible), then
// crops the frame to what is left.
static void Refine(TJob& job, std::vector<uint32_t>& displayed, int width, int slack)
{
    TGifFrame& f = job.Frame;
    const uint32_t* src = reinterpret_cast<const uint32_t*>(job.Rgba.data());
    const uint8_t* pal = f.Palette.data();
    const int t = f.Transparent;
    int x0 = f.Width, y0 = f.Height, x1 = -1, y1 = -1;
    for (int y = 0; y < f.Height; ++y) {
        uint32_t* disp = displayed.data() + size_t(job.Top + y) * width + job.Left;
        uint8_t* idx = f.Pixels.data() + size_t(y) * f.Width;
        const uint32_t* s = src + size_t(y) * f.Width;
        for (int x = 0; x < f.Width; ++x) {
            if (idx[x] == t) continue;
            const uint32_t o = s[x], d = disp[x];
            const uint8_t* n = pal + idx[x] * 3;
            const int or_ = int(o & 0xFF), og = int(o >> 8 & 0xFF), ob = int(o >> 16 & 0xFF);
            if (t >= 0) {
                const int er = or_ - int(d & 0xFF), eg = og - int(d >> 8 & 0xFF), eb = ob - int(d >> 16 & 0xFF);
                const int fr = or_ - n[0], fg = og - n[1], fb = ob - n[2];
                const int keep = er * er + eg * eg + eb * eb, fresh = fr * fr + fg * fg + fb * fb;
                if (keep <= fresh + slack) {
                    idx[x] = uint8_t(t);
                    continue;
                }
            }
            disp[x] = uint32_t(n[0]) | uint32_t(n[1]) << 8 | uint32_t(n[2]) << 16;
            x0 = std::min(x0, x), x1 = std::max(x1, x);
            y0 = std::min(y0, y), y1 = y;
        }
    }
    if (x1 < 0) x0 = y0 = 0, x1 = y1 = 0; // nothing left: one transparent pixel
    if (x0 == 0 && y0 == 0 && x1 == f.Width - 1 && y1 == f.Height - 1) return;
    const int w = x1 - x0 + 1, h = y1 - y0 + 1;
    for (int y = 0; y < h; ++y)
        std::memmove(f.Pixels.data() + size_t(y) * w, f.Pixels.data() + size_t(y + y0) * f.Width + x0, size_t(w));
    f.Pixels.resize(size_t(w) * h);
    f.Left += x0, f.Top += y0, f.Width = w, f.Height = h;
}

bool TGifEncoder::TImpl::WriteJob(TJob& job)
{
    if (Displayed.empty()) Displayed.assign(size_t(Options.Width) * Options.Height, 0);
    if (job.Seed) {
        const uint32_t* src = reinterpret_cast<const uint32_t*>(job.Rgba.data());
        for (size_t i = 0; i < Displayed.size(); ++i) Displayed[i] = src[i] & 0xFFFFFFu;
        return true;
    }
    const int slack = Options.KeepSlack + int(job.SlackPerMse * job.Mse);
    Refine(job, Displayed, Options.Width, job.Index > 0 ? slack : -1);
    std::vector<uint8_t>().swap(job.Rgba);
    const int64_t before = Writer.BytesOut();
    int64_t delay = job.DelayCs;
    job.Frame.DelayCs = int(std::min<int64_t>(delay, kMaxDelayCs));
    if (!Writer.PutFrame(job.Frame)) return false;
    delay -= job.Frame.DelayCs;
    // Delays beyond the field's range go on invisible 1 x 1 frames.
    while (delay > 0) {
        TGifFrame pad;
        pad.Width = pad.Height = 1;
        pad.Palette = {0, 0, 0, 0, 0, 0};
        pad.Transparent = 0;
        pad.Pixels = {0};
        pad.DelayCs = int(std::min<int64_t>(delay, kMaxDelayCs));
        delay -= pad.DelayCs;
        if (!Writer.PutFrame(pad)) return false;
    }
    FramesWritten++;
    Bytes = Writer.BytesWritten();
    std::lock_guard lock(M);
    Sizes.push_back({job.FirstInput, Writer.BytesOut() - before});
    return true;
}

void TGifEncoder::TImpl::Join()
{
    {
        std::lock_guard lock(M);
        InputDone = true;
    }
    CvWork.notify_all();
    CvDone.notify_all();
    for (auto& t : Workers)
        if (t.joinable()) t.join();
    Workers.clear();
    if (WriterThread.joinable()) WriterThread.join();
}

bool TGifEncoder::Finish()
{
    TImpl& d = *FImpl;
    if (!d.Opened) return false;
    if (d.Finished) return d.CurrentError().isEmpty();
    {
        std::lock_guard lock(d.M);
        if (!d.InFlight.empty()) d.InFlight.back()->Sealed = true;
        if (d.Encoded == 0 && d.Error.isEmpty() && !d.Cancelled)
            d.Error = QStringLiteral("cannot write %1: no frames to write").arg(d.Path);
    }
    d.Join();
    d.Finished = true;
    const bool closed = d.Writer.Close();
    if (!closed) d.SetError(d.Writer.LastError());
    d.Bytes = d.Writer.BytesWritten();
    return d.CurrentError().isEmpty();
}

void TGifEncoder::Cancel()
{
    TImpl& d = *FImpl;
    {
        std::lock_guard lock(d.M);
        if (d.Error.isEmpty()) d.Cancelled = true;
        d.Stop = true;
    }
    d.CvSpace.notify_all();
    d.CvWork.notify_all();
    d.CvDone.notify_all();
}

QString TGifEncoder::LastError() const { return FImpl->CurrentError(); }
bool TGifEncoder::Cancelled() const
{
    std::lock_guard lock(FImpl->M);
    return FImpl->Cancelled && FImpl->Error.isEmpty();
}
int TGifEncoder::FramesAdded() const { return FImpl->FramesAdded; }
int TGifEncoder::FramesWritten() const { return FImpl->FramesWritten; }
int64_t TGifEncoder::BytesWritten() const { return FImpl->Bytes; }
std::vector<TGifFrameBytes> TGifEncoder::FrameBytes() const
{
    std::lock_guard lock(FImpl->M);
    return FImpl->Sizes;
}
int TGifEncoder::MaxInFlight() const
{
    std::lock_guard lock(FImpl->M);
    return FImpl->MaxInFlight;
}
