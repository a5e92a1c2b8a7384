// How close the size estimate comes to the real GIF, and how long it takes
// against the conversion, on footage of many kinds: clips made once with the
// FFmpeg command line (lavfi sources) into a cache folder, the camera-like
// fixture, and the real files of ../shared/media/.
//
//   bench_estimate [--cache DIR] [--only NAME] [--setting a|b]
//                  [--run N] [--warm N] [--seeds N] [--share X] [--min-runs N] [--max-runs N]
//                  [--event-ratio X] [--event-runs N] [--budget X]
//                  [--sample-share X] [--min-sample N] [--estimate-only]
//                  [--from S] [--length S]   (the clip range, seconds: how the
//                                             ratios move with the clip's length)
#include "BenchSupport.h"
#include "FFDecoder.h"
#include "FixtureVideo.h"
#include "VGConvert.h"
#include "VGEstimate.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

struct TKind {
    QString Name;
    QString What;
    QString Path;
    QStringList FFmpegArgs;     // empty: not made by the command line
};

bool RunFFmpeg(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + args);
    if (!p.waitForFinished(30 * 60 * 1000) || p.exitCode() != 0) {
        std::fprintf(stderr, "ffmpeg failed: %s\n%s\n", qPrintable(args.join(' ')),
                     p.readAllStandardError().constData());
        return false;
    }
    return true;
}

bool MakeKind(const TKind& k, const QString& cache)
{
    if (QFileInfo::exists(k.Path) || k.FFmpegArgs.isEmpty())
        return QFileInfo::exists(k.Path);
    std::fprintf(stderr, "making %s ...\n", qPrintable(k.Name));
    // A terminal's worth of text for the screen recording.
    const QString text = cache + QStringLiteral("screen.txt");
    if (!QFileInfo::exists(text)) {
        QFile f(text);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        for (int i = 0; i < 200; ++i)
            f.write(QStringLiteral("%1  int frame_%2 = decode(stream, %3); // check the result %4\n")
                        .arg(i, 4).arg(i).arg(i * 37 % 1000).arg(i * i % 97).toUtf8());
    }
    return RunFFmpeg(k.FFmpegArgs);
}

// CPU seconds of the whole process (all threads): on a machine shared with
// other work, a fairer clock than the wall.
double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct TSetting {
    QString Name;
    int Width = 480;           // 0: half size
    int FPS = 15;
    double Speed = 1.0;
    int Sequence = 0;
};

TVGConvertFlag FlagFor(const QString& path, const TSetting& s, const QString& gif, const QString& temp, double from,
                       double length)
{
    TFFDecoder dec;
    TVGConvertFlag f;
    if (!dec.LoadFile(path))
        return f;
    const TVideoStreamInfo info = dec.GetVideoStreamInfo();
    f.VideoFileName = path;
    f.GifFileName = gif;
    f.TempFolder = temp;
    const int64_t end = info.Duration > 0 ? info.Duration : int64_t(Unit_Nano) * 3600;
    f.StartPTS = std::min(end, int64_t(from * Unit_Nano));
    f.EndPTS = length > 0 ? std::min(end, f.StartPTS + int64_t(length * Unit_Nano)) : end;
    f.CropRect = {0, 0, info.Width, info.Height};
    if (s.Width > 0) {
        f.ScaleFactor = -1;
        f.CustomWidth = std::min(s.Width, info.Width);
        f.CustomHeight = std::max(2, 2 * int(std::lround(double(f.CustomWidth) * info.Height / info.Width / 2)));
    } else {
        f.ScaleFactor = 0.5;
    }
    f.MaxFrameCount = 1000;
    f.GifFPS = s.FPS;
    f.GifSpeed = s.Speed;
    f.GifLoop = -1;
    f.Sequence = uint8_t(s.Sequence);
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString cache = QDir::tempPath() + QStringLiteral("/ganterly-bench-estimate/");
    QString only, settingOnly;
    bool estimateOnly = false;   // for profiling the estimate alone
    double from = 0, length = 0;   // length 0: to the end
    TGifEstimateOptions opt;
    const QStringList a = app.arguments();
    for (int i = 1; i < a.size(); i += 2) {
        if (a[i] == "--estimate-only") {
            estimateOnly = true;
            --i;
            continue;
        }
        if (i + 1 >= a.size()) {
            std::fprintf(stderr, "%s needs a value\n", qPrintable(a[i]));
            return 2;
        }
        if (a[i] == "--cache") cache = a[i + 1].endsWith('/') ? a[i + 1] : a[i + 1] + '/';
        else if (a[i] == "--only") only = a[i + 1];
        else if (a[i] == "--setting") settingOnly = a[i + 1];
        else if (a[i] == "--run") opt.RunFrames = a[i + 1].toInt();
        else if (a[i] == "--warm") opt.WarmUp = a[i + 1].toInt();
        else if (a[i] == "--seeds") opt.SeedFrames = a[i + 1].toInt();
        else if (a[i] == "--share") opt.Share = a[i + 1].toDouble();
        else if (a[i] == "--min-runs") opt.MinRuns = a[i + 1].toInt();
        else if (a[i] == "--max-runs") opt.MaxRuns = a[i + 1].toInt();
        else if (a[i] == "--event-ratio") opt.EventRatio = a[i + 1].toDouble();
        else if (a[i] == "--event-runs") opt.EventRuns = a[i + 1].toInt();
        else if (a[i] == "--budget") opt.DecodeBudget = a[i + 1].toDouble();
        else if (a[i] == "--sample-share") opt.SampleShare = a[i + 1].toDouble();
        else if (a[i] == "--min-sample") opt.MinSample = a[i + 1].toInt();
        else if (a[i] == "--from") from = a[i + 1].toDouble();
        else if (a[i] == "--length") length = a[i + 1].toDouble();
        else {
            std::fprintf(stderr, "unknown option %s\n", qPrintable(a[i]));
            return 2;
        }
    }
    QDir().mkpath(cache);
    const QString media = QStringLiteral(GANTERLY_SHARED_MEDIA);
    const QString font = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf");
    const QString x264[] = {"-c:v", "libx264", "-preset", "veryfast", "-crf", "20", "-pix_fmt", "yuv420p"};
    auto withX264 = [&](QStringList args, const QString& out) {
        for (const QString& s : x264)
            args << s;
        return args << out;
    };

    std::vector<TKind> kinds;
    kinds.push_back({"camera", "camera-like fixture 960x540 20 fps 15 s, B-frames, flashes", cache + "camera.mp4", {}});
    kinds.push_back({"grainy", "testsrc2 + strong temporal noise 1280x720 30 fps 15 s", cache + "grainy.mp4",
                     withX264({"-f", "lavfi", "-i", "testsrc2=s=1280x720:r=30:d=15,noise=alls=25:allf=t+u"},
                              cache + "grainy.mp4")});
    kinds.push_back({"intra", "MJPEG (intra only) mandelbrot zoom 960x540 25 fps 12 s", cache + "intra.avi",
                     {"-f", "lavfi", "-i", "mandelbrot=s=960x540:r=25", "-t", "12", "-c:v", "mjpeg", "-q:v", "4",
                      "-pix_fmt", "yuvj420p", cache + "intra.avi"}});
    kinds.push_back({"screen", "screen recording: text scrolling by lines, moving cursor, 1280x720 30 fps 15 s",
                     cache + "screen.mp4",
                     withX264({"-f", "lavfi", "-i", "color=c=0xF2F2F2:s=1280x720:r=30:d=15", "-vf",
                               "drawtext=fontfile=" + font + ":textfile=" + cache +
                                   "screen.txt:fontsize=20:fontcolor=0x202020:x=30:y=h-28*floor(t*3):line_spacing=8,"
                                   "drawbox=x='600+400*sin(t*0.7)':y='360+250*cos(t*1.1)':w=10:h=16:color=black:t=fill"},
                              cache + "screen.mp4")});
    kinds.push_back({"cartoon", "flat colours: life 320x180 scaled to 1280x720 25 fps 15 s", cache + "cartoon.mp4",
                     withX264({"-f", "lavfi", "-i",
                               "life=s=320x180:r=25:mold=10:ratio=0.1:life_color=#FFCC00:death_color=#3060C0:"
                               "mold_color=#802040",
                               "-t", "15", "-vf", "scale=1280:720:flags=neighbor"},
                              cache + "cartoon.mp4")});
    kinds.push_back({"slides", "slide show: a new mandelbrot picture every 2 s, hard cuts, 1280x720 25 fps 30 s",
                     cache + "slides.mp4",
                     withX264({"-f", "lavfi", "-i", "mandelbrot=s=1280x720:r=0.5:end_pts=20", "-t", "30", "-vf",
                               "fps=25,drawtext=fontfile=" + font +
                                   ":text='Slide %{eif\\:trunc(t/2)+1\\:d}':fontsize=64:fontcolor=white:x=60:y=60"},
                              cache + "slides.mp4")});
    kinds.push_back({"oa4", "real footage: oa4_launch.webm, VP8 640x360 24 fps 8 s", media + "oa4_launch.webm", {}});
    kinds.push_back({"exo", "real camera: exoplayer-sample.mkv, H.264 1080x720 1 s", media + "exoplayer-sample.mkv", {}});
    // Kinds the sample's rules were not tuned on, to check them against.
    kinds.push_back({"xfade", "soft transitions (fade, wipe, dissolve) between four sources 960x540 25 fps 9 s",
                     cache + "xfade.mp4",
                     withX264({"-f", "lavfi", "-i", "mandelbrot=s=960x540:r=25:end_pts=5,trim=duration=3", "-f", "lavfi", "-i",
                               "testsrc2=s=960x540:r=25:d=3", "-f", "lavfi", "-i", "smptehdbars=s=960x540:r=25:d=3", "-f",
                               "lavfi", "-i",
                               "life=s=240x135:r=25:mold=10:ratio=0.1:death_color=#C83232:life_color=#00ff00,"
                               "scale=960:540:flags=neighbor,trim=duration=3",
                               "-filter_complex",
                               "[0][1]xfade=transition=fade:duration=1:offset=2[a];[a][2]xfade=transition=wipeleft:"
                               "duration=1:offset=4[b];[b][3]xfade=transition=dissolve:duration=1:offset=6"},
                              cache + "xfade.mp4")});
    kinds.push_back({"pan", "a new picture once a second (a wide picture moved on), 960x540 12 s", cache + "pan.mp4",
                     withX264({"-f", "lavfi", "-i",
                               "mandelbrot=s=2400x540:r=1:end_pts=1,trim=duration=1,loop=loop=300:size=1,"
                               "setpts=N/25/TB,crop=960:540:x='min(1400,n*4)':y=0",
                               "-t", "12"},
                              cache + "pan.mp4")});
    kinds.push_back({"cuts", "hard cuts between four kinds (test card, fractal, cellular, grain) 960x540 25 fps 12 s",
                     cache + "cuts.mp4",
                     withX264({"-f", "lavfi", "-i", "testsrc2=s=960x540:r=25:d=3", "-f", "lavfi", "-i",
                               "mandelbrot=s=960x540:r=25,trim=duration=3,setpts=PTS-STARTPTS", "-f", "lavfi", "-i",
                               "cellauto=s=960x540:r=25:rule=18,trim=duration=3,setpts=PTS-STARTPTS", "-f", "lavfi", "-i",
                               "testsrc2=s=960x540:r=25:d=3,noise=alls=20:allf=t", "-filter_complex",
                               "[0][1][2][3]concat=n=4:v=1"},
                              cache + "cuts.mp4")});
    kinds.push_back({"grad", "smooth moving gradients 960x540 25 fps 10 s", cache + "grad.mp4",
                     withX264({"-f", "lavfi", "-i", "gradients=s=960x540:r=25:speed=0.02:n=5,trim=duration=10"},
                              cache + "grad.mp4")});
    kinds.push_back({"zoom", "zooming into a test card 960x540 25 fps 10 s", cache + "zoom.mp4",
                     withX264({"-f", "lavfi", "-i", "testsrc2=s=320x180:r=25:d=10", "-vf",
                               "zoompan=z='min(zoom+0.004,2.5)':d=1:x='iw/2-(iw/zoom/2)':y='ih/2-(ih/zoom/2)':"
                               "s=960x540:fps=25"},
                              cache + "zoom.mp4")});
    kinds.push_back({"mix", "VP8: fractal, black, cellular, colour bars, light grain 960x540 25 fps 10 s",
                     cache + "mix.webm",
                     {"-f", "lavfi", "-i", "mandelbrot=s=960x540:r=25:end_pts=10,trim=duration=3,setpts=PTS-STARTPTS,format=yuv420p",
                      "-f", "lavfi", "-i", "color=c=black:s=960x540:r=25:d=1,format=yuv420p", "-f", "lavfi", "-i",
                      "life=s=960x540:r=25:ratio=0.3:mold=25,trim=duration=3,setpts=PTS-STARTPTS,format=yuv420p", "-f",
                      "lavfi", "-i", "rgbtestsrc=s=960x540:r=25:d=3,format=yuv420p", "-filter_complex",
                      "[0][1][2][3]concat=n=4:v=1,noise=alls=6:allf=t", "-c:v", "libvpx", "-b:v", "2M", "-deadline",
                      "realtime", "-cpu-used", "8", cache + "mix.webm"}});

    std::vector<TSetting> settings = {{"a: 480 wide 15 fps", 480, 15, 1.0, 0},
                                      {"b: half 10 fps ping-pong", 0, 10, 1.0, 2}};

    std::printf("| kind | setting | real KB | estimate KB | error | conversion s wall / CPU | estimate s wall / CPU "
                "| wall ratio | CPU ratio | sampled/frames |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    for (const TKind& k : kinds) {
        if (!only.isEmpty() && k.Name != only)
            continue;
        if (k.Name == "camera") {
            if (!EnsureClip(CameraLikeClip(k.Path, 960, 540, 300, 90)))
                continue;
        } else if (!MakeKind(k, cache)) {
            std::fprintf(stderr, "%s: %s is missing, skipped\n", qPrintable(k.Name), qPrintable(k.Path));
            continue;
        }
        for (const TSetting& s : settings) {
            if (!settingOnly.isEmpty() && !s.Name.startsWith(settingOnly))
                continue;
            const QString gif = cache + k.Name + ".gif";
            QFile::remove(gif);
            const TVGConvertFlag flag = FlagFor(k.Path, s, gif, cache, from, length);
            if (flag.VideoFileName.isEmpty()) {
                std::fprintf(stderr, "%s: cannot open\n", qPrintable(k.Path));
                continue;
            }
            const double cpu0 = CpuSeconds();
            const TGifEstimate e = EstimateGifSize(flag, nullptr, opt);
            const double estCpu = CpuSeconds() - cpu0;
            if (!e.Ok) {
                std::fprintf(stderr, "%s: estimate failed: %s\n", qPrintable(k.Name), qPrintable(e.Error));
                continue;
            }
            if (estimateOnly) {
                std::printf("| %s | %s | | %.0f | | | %.2f / %.2f | | | %lld/%lld |\n", qPrintable(k.Name),
                            qPrintable(s.Name), e.Bytes / 1024.0, e.Seconds, estCpu, (long long)e.SampledFrames,
                            (long long)e.Frames);
                continue;
            }
            QElapsedTimer t;
            t.start();
            const double cpu1 = CpuSeconds();
            {
                TVideo2GifThread thread(flag);
                thread.Resume();
                thread.wait();
            }
            const double conv = double(t.nsecsElapsed()) / 1e9;
            const double convCpu = CpuSeconds() - cpu1;
            const qint64 real = QFileInfo(gif).size();
            if (real <= 0) {
                std::fprintf(stderr, "%s: the conversion wrote nothing\n", qPrintable(k.Name));
                continue;
            }
            const double err = 100.0 * double(e.Bytes - real) / double(real);
            std::printf("| %s | %s | %.0f | %.0f | %+.1f %% | %.2f / %.2f | %.2f / %.2f | %.2f | %.2f | %lld/%lld |\n",
                        qPrintable(k.Name), qPrintable(s.Name), real / 1024.0, e.Bytes / 1024.0, err, conv, convCpu,
                        e.Seconds, estCpu, e.Seconds / conv, estCpu / convCpu,
                        (long long)e.SampledFrames, (long long)e.Frames);
            std::fflush(stdout);
            QFile::remove(gif);
        }
    }
    return 0;
}
