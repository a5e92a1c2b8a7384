// A group of 30 frames at 1920x1080 with a bitmap file per frame, through the
// project's own group decoding (TVGProj::DecodeForward), against decoding the
// same 30 frames alone.
//
//   bench_group [ROUNDS] [--temp FOLDER] [--painter] [--keep-clip PATH]
//
// The clip is camera-like: with ffmpeg on PATH and the shared media present,
// a panning, shaking still of real footage with temporal noise (x264 medium,
// crf 20), as bench/README.md makes its 720p clip; otherwise a painted
// photo-like picture, moving and noisy, from the fixture generator (x264
// veryfast, crf 20). Both GOP 50 with 2 B-frames. --painter forces the second.
//
// The bitmap files go to the application's own temporary folder (or FOLDER),
// whose file system is printed: page-cache writes on tmpfs and ext4 differ.
#include "BenchSupport.h"
#include "FixtureVideo.h"
#include "VGApp.h"
#include "VGProj.h"
#include "FFDecoder.h"
#include "ZelMessages.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/vfs.h>
#include <vector>

namespace {
constexpr int GroupSize = 30;
constexpr int ClipWidth = 1920, ClipHeight = 1080;
constexpr int ClipFrames = 100;

double Ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// CPU time of the whole process (all threads), in ms: the work done, whatever
// share of the shared machine the process got.
double CpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

struct TRun {
    double Wall = -1;
    double Cpu = -1;
};

// ---- the clip ---------------------------------------------------------------------

// A smooth, photo-like picture larger than the frame: sky and ground
// gradients, soft shapes and fine texture, so that panning over it moves real
// detail across every block.
QImage MakeBackdrop(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB888);
    uint32_t seed = 12345;
    std::vector<float> grain(size_t(w) * 2);
    for (auto& g : grain) {
        seed = seed * 1664525u + 1013904223u;
        g = float((seed >> 24) & 0xFF) / 255.0f - 0.5f;
    }
    for (int y = 0; y < h; ++y) {
        uchar* p = img.scanLine(y);
        const double v = double(y) / h;
        for (int x = 0; x < w; ++x, p += 3) {
            const double u = double(x) / w;
            const double horizon = 0.45 + 0.05 * std::sin(u * 9.0) + 0.02 * std::sin(u * 41.0);
            double r, g, b;
            if (v < horizon) {
                r = 90 + 120 * v;
                g = 140 + 80 * v;
                b = 220 - 40 * v;
            } else {
                r = 110 + 60 * std::sin(u * 23.0 + v * 7.0);
                g = 100 + 50 * std::sin(u * 17.0 - v * 13.0);
                b = 60 + 30 * std::sin(u * 31.0 + v * 29.0);
            }
            // Soft round shapes, like trees or people at a distance.
            const double blob = std::sin(u * 60.0) * std::sin(v * 35.0);
            if (blob > 0.6) {
                r *= 0.6;
                g *= 0.8;
                b *= 0.6;
            }
            const double fine = 18.0 * grain[size_t((x * 7 + y * 13) % (w * 2))]
                                + 10.0 * std::sin(x * 0.9 + std::sin(y * 0.37) * 3.0);
            p[0] = uchar(std::clamp(r + fine, 0.0, 255.0));
            p[1] = uchar(std::clamp(g + fine, 0.0, 255.0));
            p[2] = uchar(std::clamp(b + fine, 0.0, 255.0));
        }
    }
    return img;
}

// Frame `index`: a moving, shaking window over the backdrop with fresh noise.
void PaintCameraFrame(const QImage& backdrop, QImage& picture, int index)
{
    const double t = index / 25.0;
    const int x0 = int(200 + t * 60 + 6 * std::sin(t * 7));
    const int y0 = int(100 + t * 25 + 5 * std::sin(t * 5.3));
    uint32_t seed = 0x9E3779B9u * uint32_t(index + 1);
    const int w = picture.width(), h = picture.height();
    for (int y = 0; y < h; ++y) {
        const uchar* in = backdrop.constScanLine(y0 + y) + size_t(x0) * 3;
        uchar* out = picture.scanLine(y);
        for (int i = 0; i < w * 3; ++i) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            const int noise = int(seed % 17) - 8;
            out[i] = uchar(std::clamp(int(in[i]) + noise, 0, 255));
        }
    }
}

bool PaintedClip(const QString& path, QString* how)
{
    const QImage backdrop = MakeBackdrop(ClipWidth + 600, ClipHeight + 300);
    TFixtureVideo clip;
    clip.Path = path;
    clip.Width = ClipWidth;
    clip.Height = ClipHeight;
    clip.FrameCount = ClipFrames;
    clip.GopLength = 50;
    clip.BFrames = 2;
    clip.Quality = 20;
    clip.Preset = "veryfast";
    clip.Painter = [&backdrop](QImage& picture, int index) { PaintCameraFrame(backdrop, picture, index); };
    QString err;
    if (!WriteFixtureVideo(clip, &err)) {
        std::fprintf(stderr, "%s\n", err.toLocal8Bit().constData());
        return false;
    }
    *how = QStringLiteral("painted photo-like pan with noise, libx264 veryfast crf 20, GOP 50, 2 B-frames, 25 fps");
    return true;
}

bool RunFfmpeg(const QString& ffmpeg, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(ffmpeg, QStringList{"-nostdin", "-hide_banner", "-loglevel", "error", "-y"} + args);
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "ffmpeg failed: %s\n", p.readAll().constData());
        return false;
    }
    return true;
}

// The camera-like clip of bench/README.md at 1080p: the still is taken larger
// so that the 1920x1080 window can pan over it.
bool FfmpegClip(const QString& folder, const QString& path, QString* how)
{
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    const QString media = QStringLiteral(GANTERLY_SHARED_MEDIA) + "oa4_launch.webm";
    if (ffmpeg.isEmpty() || !QFileInfo(media).isFile())
        return false;
    const QString still = folder + "/still.png";
    if (!RunFfmpeg(ffmpeg, {"-ss", "4", "-i", media, "-frames:v", "1", "-vf", "scale=3200:1800:flags=lanczos", still}))
        return false;
    if (!RunFfmpeg(ffmpeg, {"-loop", "1", "-framerate", "30", "-i", still, "-frames:v", QString::number(ClipFrames),
                            "-vf",
                            "crop=1920:1080:x='400+t*60+6*sin(t*7)':y='200+t*25+5*sin(t*5.3)',"
                            "noise=alls=8:allf=t,format=yuv420p",
                            "-c:v", "libx264", "-preset", "medium", "-crf", "20", "-g", "50", "-bf", "2",
                            "-sc_threshold", "0", path}))
        return false;
    *how = QStringLiteral("ffmpeg camera-like pan over a still of oa4_launch.webm with temporal noise, "
                          "libx264 medium crf 20, GOP 50, 2 B-frames, 30 fps");
    return true;
}

// ---- where the files go -------------------------------------------------------------

QString FileSystemOf(const QString& folder)
{
    const QString path = QFileInfo(folder).canonicalFilePath();
    QString best, type, device;
    QFile mounts("/proc/mounts");
    if (mounts.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : mounts.readAll().split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() < 3)
                continue;
            const QString point = QString::fromUtf8(f[1]).replace("\\040", " ");
            const bool under = path == point || path.startsWith(point.endsWith('/') ? point : point + '/');
            if (under && point.size() >= best.size()) {
                best = point;
                device = QString::fromUtf8(f[0]);
                type = QString::fromUtf8(f[2]);
            }
        }
    }
    struct statfs st {};
    QString magic;
    if (statfs(QFile::encodeName(path).constData(), &st) == 0)
        magic = QStringLiteral("statfs f_type 0x%1").arg(qulonglong(st.f_type), 0, 16);
    return QStringLiteral("%1 (%2 on %3, %4)").arg(type.isEmpty() ? "unknown" : type, device, best, magic);
}

// ---- the runs -------------------------------------------------------------------------

class ProgressCounter : public QObject {
public:
    int Seen = 0;
protected:
    bool event(QEvent* e) override
    {
        if (e->type() == static_cast<QEvent::Type>(WM_DECODEPROGRESS)) {
            ++Seen;
            return true;
        }
        return QObject::event(e);
    }
};

// Locate + the rest of the group, optionally converting each picture to RGB.
TRun DecodeMs(TFFDecoder& dec, int64_t t, bool convert)
{
    QImage bitmap;
    QElapsedTimer timer;
    const double cpu = CpuMs();
    timer.start();
    if (!LocateVideoPTS(&dec, t))
        return {};
    for (int i = 0; i < GroupSize; ++i) {
        if (i > 0 && !dec.Decode(-1))
            return {};
        if (convert && !dec.CopyToBitmap(bitmap))
            return {};
    }
    return {Ms(timer), CpuMs() - cpu};
}

struct TForward {
    double ReturnMs = -1;
    double Cpu = -1;
    // Until every file is complete. DecodeForward lists a frame only once its
    // file is written, so this is ReturnMs once the sizes check out.
    double CompleteMs = -1;
};

// The real group decoding into a fresh project, so no frame is found from an
// earlier round. The files are checked afterwards, outside the timing, and
// stay until the end like a session's frames do: removing them at once would
// hand their just-freed page-cache memory to the next round, which is not
// what a new group's files get (on this VM, fresh page-cache pages cost ten
// times as much to fill).
TForward ForwardMs(TFFDecoder& dec, int64_t t, QStringList& files)
{
    TForward out;
    TVGProj proj;
    proj.LoadStreamInfo(&dec);
    proj.TempFolder = App->TempFolder;
    ProgressCounter wnd;
    QList<TVGFrame*> list;
    QElapsedTimer timer;
    const double cpu = CpuMs();
    timer.start();
    proj.DecodeForward(&dec, GroupSize, &wnd, list, t);
    out.ReturnMs = Ms(timer);
    out.Cpu = CpuMs() - cpu;
    const qint64 expected = 54 + qint64((proj.VideoWidth * 3 + 3) & ~3) * proj.VideoHeight;
    bool complete = list.count() == GroupSize && wnd.Seen == GroupSize + 1;
    for (TVGFrame* f : list)
        complete = complete && QFileInfo(f->BitmapFile).size() == expected;
    if (complete)
        out.CompleteMs = out.ReturnMs;
    else
        std::fprintf(stderr, "DecodeForward gave %d frames, %d reports, not all files complete\n",
                     int(list.count()), wnd.Seen);
    for (TVGFrame* f : list)
        files.append(f->BitmapFile);
    return out;
}
}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    int rounds = 7;
    bool painter = false;
    QString tempFolder, keepClip;
    const QStringList args = qapp.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--temp" && i + 1 < args.size())
            tempFolder = args[++i];
        else if (args[i] == "--painter")
            painter = true;
        else if (args[i] == "--keep-clip" && i + 1 < args.size())
            keepClip = args[++i];
        else if (args[i].toInt() > 0)
            rounds = args[i].toInt();
        else {
            std::fprintf(stderr, "usage: bench_group [ROUNDS] [--temp FOLDER] [--painter] [--keep-clip PATH]\n");
            return 2;
        }
    }

    // An application object of our own for TempFileName, as the tests make
    // one; its program folder is a scratch folder, its data folder the real one.
    QTemporaryDir exeDir;
    TApp app(exeDir.path() + "/");
    App = &app;
    if (!tempFolder.isEmpty())
        app.TempFolder = QDir(tempFolder).absolutePath() + "/";
    QDir().mkpath(app.TempFolder);

    QTemporaryDir tmp;
    QString clipPath = keepClip.isEmpty() ? tmp.path() + "/group1080.mp4" : keepClip;
    QString how;
    if (!keepClip.isEmpty() && QFileInfo(keepClip).isFile())
        how = QStringLiteral("kept clip ") + keepClip;
    else if ((painter || !FfmpegClip(tmp.path(), clipPath, &how)) && !PaintedClip(clipPath, &how))
        return 1;

    TFFDecoder dec;
    if (!dec.LoadFile(clipPath)) {
        std::fprintf(stderr, "%s\n", dec.LastError().toLocal8Bit().constData());
        return 1;
    }
    dec.SetBitmapBitsPixel(24);
    const TVideoStreamInfo info = dec.GetVideoStreamInfo();
    const int64_t frameUs = FrameDuration(&dec);

    QFile load("/proc/loadavg");
    const QByteArray loadAvg = load.open(QIODevice::ReadOnly) ? load.readAll().trimmed() : QByteArray("?");
    std::printf("clip: %s (%dx%d, %s)\n", how.toLocal8Bit().constData(), info.Width, info.Height,
                QFileInfo(clipPath).size() > 0
                    ? QString("%1 kbit/s").arg(QFileInfo(clipPath).size() * 8 / 1000 * info.FrameRateNum
                                                / std::max(1, info.FrameRateDen) / ClipFrames)
                          .toLocal8Bit().constData()
                    : "?");
    std::printf("bitmap folder: %s\n  on %s\n", app.TempFolder.toLocal8Bit().constData(),
                FileSystemOf(app.TempFolder).toLocal8Bit().constData());
    std::printf("load average at start: %s\n", loadAvg.constData());

    QStringList files;
    std::vector<double> alone, converted, forward, complete, cpuAlone, cpuConverted, cpuForward, paired;
    for (int r = 0; r < rounds; ++r) {
        // Three stretches, each past a keyframe by a different amount; the
        // order rotates so that caches and load favour none of the runs.
        const int64_t t = (10 + (r % 3) * 20) * frameUs + frameUs / 2;
        TRun a, c;
        TForward f;
        for (int k = 0; k < 3; ++k) {
            switch ((r + k) % 3) {
            case 0: a = DecodeMs(dec, t, false); break;
            case 1: c = DecodeMs(dec, t, true); break;
            default: f = ForwardMs(dec, t, files);
            }
        }
        if (a.Wall < 0 || c.Wall < 0 || f.ReturnMs < 0 || f.CompleteMs < 0) {
            std::fprintf(stderr, "a run failed\n");
            for (const QString& file : files)
                QFile::remove(file);
            return 1;
        }
        alone.push_back(a.Wall);
        converted.push_back(c.Wall);
        forward.push_back(f.ReturnMs);
        complete.push_back(f.CompleteMs);
        cpuAlone.push_back(a.Cpu);
        cpuConverted.push_back(c.Cpu);
        cpuForward.push_back(f.Cpu);
        // Runs of one round follow each other closely: their ratio is less
        // at the mercy of the machine's changing load than a ratio of medians.
        paired.push_back(f.CompleteMs / a.Wall);
    }
    const double a = Median(alone), c = Median(converted), f = Median(forward), d = Median(complete);
    const double ca = Median(cpuAlone), cc = Median(cpuConverted), cf = Median(cpuForward);
    std::printf("group of %d frames at %dx%d, %d rounds, medians (wall, then CPU of all threads):\n", GroupSize,
                info.Width, info.Height, rounds);
    std::printf("  decode alone:                 %7.1f ms (%5.2f ms/frame)         CPU %7.1f ms\n", a,
                a / GroupSize, ca);
    std::printf("  decode + RGB conversion:      %7.1f ms (%5.2f ms/frame) %.2fx   CPU %7.1f ms %.2fx\n", c,
                c / GroupSize, c / a, cc, cc / ca);
    std::printf("  DecodeForward, until return:  %7.1f ms (%5.2f ms/frame) %.2fx   CPU %7.1f ms %.2fx\n", f,
                f / GroupSize, f / a, cf, cf / ca);
    if (d != f)
        std::printf("  until all files complete:     %7.1f ms  %.2fx\n", d, d / a);
    else
        std::printf("  every bitmap file complete (size checked) when DecodeForward returns\n");
    std::printf("ratio DecodeForward / decode alone: %.2fx of medians, %.2fx median of rounds (target <= 1.5x)\n",
                d / a, Median(paired));
    for (const QString& file : files)
        QFile::remove(file);
    App = nullptr;
    return 0;
}
