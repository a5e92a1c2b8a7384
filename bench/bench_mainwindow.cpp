// The main window driven as a user would, on the offscreen platform, each
// figure against its reference in the same run:
//   open    open command to the still view and the strip painted, against
//           loading the file and decoding the same 30 frames alone;
//   play    10 s of 1080p30 and of 4K30 played by the window (thread, frame
//           display, painting): frames shown late and CPU per second of
//           video, against plain decoding of the same frames;
//   scrub   the track bar dragged at 60 moves a second while playing, across
//           a 720p clip with 250-frame GOPs, against the FFmpeg command line
//           for one exact frame;
//   click   a click on a thumbnail until the still view has painted, against
//           reading the frame's bitmap file alone;
//   memory  open a 1080p clip, page 20 groups on: peak RSS and the temporary
//           folder against its budget (a second run with a 200 MB budget).
// Without an argument every part runs in a process of its own (peak RSS is
// per process).
//
//   bench_mainwindow [open|play [LINES]|scrub|click|memory [BUDGET_MB]]
#include "BenchSupport.h"
#include "FFDecoder.h"
#include "FixtureVideo.h"
#include "MainFrm.h"
#include "TzelButton.h"
#include "TzelGroupView.h"
#include "VGApp.h"
#include "VGConfig.h"
#include "VGUIApp.h"
#include "VGFrames.h"
#include "VGProj.h"
#include "VideoPicture.h"
#include "ZelTrackBar.h"
#include "ZelWindow.h"
#include "Zelfunction.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <sys/resource.h>
#include <vector>

namespace {

double Max(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

double CpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}
double PeakRssMB()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_maxrss) / 1024.0;
}

// Serves events until pred holds or ms have passed. Sleeps between events
// (a tick every 2 ms looks at pred): a busy loop would count as the window's CPU.
bool PumpUntil(const std::function<bool()>& pred, int ms)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.start(2);
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The clips are slow to write: they stay in the temporary folder between runs.
TFixtureVideo Clip1080(int frames)
{
    TFixtureVideo clip;
    clip.Width = 1920;
    clip.Height = 1080;
    clip.FrameRateNum = 30;
    clip.FrameCount = frames;
    clip.GopLength = 60;
    clip.BFrames = 2;
    clip.Path = QDir::tempPath() + QStringLiteral("/ganterly-bench-mainwindow-1080p30-%1.mp4").arg(frames);
    return clip;
}

// Paints of the player and the still view, as they happen. During a paint of
// the player the decoder holds the frame being shown: the thread waits for
// the window to take it.
class TPaintProbe : public QObject {
public:
    struct TShown { double ms; int64_t pts; double cpu; };
    TMainForm* Form = nullptr;
    QElapsedTimer Clock;
    bool Recording = false;
    std::vector<TShown> Player;
    int ShotPaints = 0;
    double LastShotMs = 0;

    explicit TPaintProbe(TMainForm* form) : Form(form)
    {
        Clock.start();
        form->pnlPlayer->installEventFilter(this);
        form->pnlShot->installEventFilter(this);
    }
    double Ms() const { return double(Clock.nsecsElapsed()) / 1e6; }
    TFFDecoder* Decoder() const { return Form->findChild<TFFDecoder*>(); }

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint) {
            if (o == Form->pnlShot) {
                ++ShotPaints;
                LastShotMs = Ms();
            } else if (o == Form->pnlPlayer && Recording) {
                TFFDecoder* d = Decoder();
                const TShown shown{Ms(), d ? d->CurrentPTS() : AV_NOPTS_VALUE, CpuSeconds()};
                // Showing the panel paints the picture before the first frame
                // of the thread: a frame counts when it is painted last.
                if (!Player.empty() && Player.back().pts == shown.pts)
                    Player.back() = shown;
                else
                    Player.push_back(shown);
            }
        }
        return false;
    }
};

class TBench {
public:
    TBench()
    {
        SetMsgBoxHandler([](const QString& text, const QString&, int, int) {
            std::printf("message box: %s\n", qPrintable(text));
            return 1;
        });
        Form = std::make_unique<TMainForm>();
        Form->show();
        if (!QTest::qWaitForWindowExposed(Form.get()))
            std::fprintf(stderr, "the window was not exposed\n");
        Probe = std::make_unique<TPaintProbe>(Form.get());
    }
    ~TBench()
    {
        Probe.reset();
        Form.reset();
        SetOpenDialogHandler({});
    }
    bool Open(const QString& file)
    {
        SetOpenDialogHandler([file](QWidget*, const QString&, const QString&, const QString&) { return QStringList{file}; });
        QTest::mouseClick(Form->Button1, Qt::LeftButton);
        if (!Form->Proj() || Form->ShotView->PhotoCount() == 0) {
            std::fprintf(stderr, "the window did not open %s\n", qPrintable(file));
            return false;
        }
        return true;
    }
    int VisiblePhotos() const
    {
        const QRect area = Form->ShotView->viewport()->rect();
        int n = 0;
        for (int i = 0; i < Form->ShotView->PhotoCount(); ++i)
            if (Form->ShotView->PhotoRect(Form->ShotView->Photo(i)).intersects(area))
                ++n;
        return n;
    }
    // Paints whatever the window has pending now, as the next frame of the
    // screen would, and waits until the still view and every visible
    // thumbnail have been painted since `shotPaints`.
    bool PaintStillAndStrip(int shotPaints)
    {
        Form->pnlShot->repaint();
        Form->ShotView->viewport()->repaint();
        const int visible = VisiblePhotos();
        return PumpUntil([&] { return Probe->ShotPaints > shotPaints && Form->ShotView->PaintedPhotos() >= visible; }, 5000);
    }

    std::unique_ptr<TMainForm> Form;
    std::unique_ptr<TPaintProbe> Probe;
};

// ---- open --------------------------------------------------------------------------------

// A frame's picture: its file, or while that waits in memory, the picture
// it will hold.
QImage FramePicture(const TBench& b, const TVGFrame* frame)
{
    if (const TVideoPicture* waiting = b.Form->Proj()->WaitingPicture(frame))
        return waiting->ToImage();
    return QImage(frame->BitmapFile);
}

// LoadFile and 30 frames into bitmaps, as the window's first group needs them.
double DecodeAloneMs(const QString& file, int frames)
{
    QElapsedTimer t;
    t.start();
    TFFDecoder decoder;
    decoder.SetBitmapBitsPixel(24);
    if (!decoder.LoadFile(file) || !LocateVideoPTS(&decoder, 0))
        return -1;
    QImage bitmap;
    for (int i = 0; i < frames; ++i) {
        if (i > 0 && !decoder.Decode(-1))
            return -1;
        decoder.CopyToBitmap(bitmap);
    }
    return double(t.nsecsElapsed()) / 1e6;
}

// The same 30 frames as the project's group decode makes them: each picture
// also written as the frame bitmap file the window's design keeps of it.
double GroupDecodeMs(const QString& file, int frames)
{
    QTemporaryDir dir;
    QElapsedTimer t;
    t.start();
    TFFDecoder decoder;
    decoder.SetBitmapBitsPixel(24);
    if (!decoder.LoadFile(file))
        return -1;
    TVGProj proj;
    proj.TempFolder = dir.path() + QLatin1Char('/');
    QList<TVGFrame*> list;
    proj.DecodeForward(&decoder, frames, nullptr, list, 0);
    return list.size() == frames ? double(t.nsecsElapsed()) / 1e6 : -1;
}

int OpenRounds(const TFixtureVideo& clip, const char* what);

int RunOpen()
{
    // The plain fixture decodes in about 2 ms a frame, so writing the frame
    // files weighs most; the textured one (a detailed picture panning, x264
    // veryfast with CABAC and deblocking) costs what camera footage costs.
    TFixtureVideo textured = Clip1080(90);
    textured.Textured = true;
    textured.Preset = QStringLiteral("veryfast");
    textured.Path = QDir::tempPath() + QStringLiteral("/ganterly-bench-mainwindow-1080p30-textured.mp4");
    const TFixtureVideo plain = Clip1080(660);
    // Camera footage: 4:4:4 H.264 with B-frames and a panning, grainy picture,
    // as a phone or camera writes it (decoding weighs most here).
    TFixtureVideo camera =
        CameraLikeClip(QDir::tempPath() + QStringLiteral("/ganterly-bench-mainwindow-1080p-camera.mp4"), 1920, 1080, 90, 0);
    camera.Textured = true;
    if (!EnsureClip(plain) || !EnsureClip(textured) || !EnsureClip(camera))
        return 1;
    const int a = OpenRounds(plain, "plain, x264 ultrafast");
    const int b = OpenRounds(textured, "textured, x264 veryfast");
    const int c = OpenRounds(camera, "camera-like, 4:4:4 with B-frames");
    return a | b | c;
}

int OpenRounds(const TFixtureVideo& clip, const char* what)
{
    TBench b;
    // A first open loads the decoder libraries and warms the file cache.
    if (!b.Open(clip.Path) || DecodeAloneMs(clip.Path, 30) < 0)
        return 1;
    const int rounds = 5;
    std::vector<double> alone, usable, allThumbs, ratios, group;
    bool right = true;
    for (int r = 0; r < rounds; ++r) {
        const double ref = DecodeAloneMs(clip.Path, 30);
        group.push_back(GroupDecodeMs(clip.Path, 30));
        b.Form->ShotView->ResetPaintedPhotos();
        const int shots = b.Probe->ShotPaints;
        SetOpenDialogHandler([&](QWidget*, const QString&, const QString&, const QString&) { return QStringList{clip.Path}; });
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(b.Form->Button1, Qt::LeftButton);
        const bool painted = b.PaintStillAndStrip(shots);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        // The rest of the strip, read page by page as the user scrolls.
        TzelGroupView* view = b.Form->ShotView;
        for (int pos = 0;; pos += view->viewport()->width()) {
            view->SetScrollPos(pos);
            view->viewport()->repaint();
            if (view->ScrollPos() >= view->ScrollMax())
                break;
        }
        const double all = double(t.nsecsElapsed()) / 1e6;
        view->SetScrollPos(0);
        const int count = view->PhotoCount();
        const bool ok = painted && count == 30 && ReadFixtureIndex(b.Form->FrameBmp()) == 0 &&
                        ReadFixtureIndex(FramePicture(b, static_cast<TVGFrame*>(view->Photo(29)->Data))) == 29;
        right = right && ok;
        alone.push_back(ref);
        usable.push_back(ms);
        allThumbs.push_back(all);
        ratios.push_back(ms / ref);
        std::printf("round %d: decode alone %.0f ms, window %.0f ms (%d visible thumbnails), all 30 thumbnails %.0f ms%s\n",
                    r + 1, ref, ms, b.VisiblePhotos(), all, ok ? "" : "  WRONG PICTURES");
    }
    std::printf("open 1080p (%s, %s): decode 30 frames alone median %.0f ms; open to still view and strip painted median "
                "%.0f ms = %.2fx (median of rounds %.2fx, target at most 1.5x); with all 30 thumbnails read %.0f ms = %.2fx\n",
                what, qPrintable(QFileInfo(clip.Path).fileName()), Median(alone), Median(usable), Median(usable) / Median(alone),
                Median(ratios), Median(allThumbs), Median(allThumbs) / Median(alone));
    std::printf("  the project's group decode of the same 30 frames (frame files written) median %.0f ms: the window "
                "takes %.2fx of it\n",
                Median(group), Median(usable) / Median(group));
    return right ? 0 : 1;
}

// ---- play --------------------------------------------------------------------------------

struct TPlayFigures { int shown = 0, late = 0; double maxLateMs = 0, meanLateMs = 0, firstMs = 0, cpuPerSec = 0, refCpuPerSec = 0; };

// CPU seconds per second of video for decoding `frames` frames into bitmaps.
double PlainDecodeCpuPerSecond(const TFixtureVideo& clip, int frames)
{
    TFFDecoder decoder;
    decoder.SetBitmapBitsPixel(24);
    if (!decoder.LoadFile(clip.Path) || !LocateVideoPTS(&decoder, 0))
        return -1;
    QImage bitmap;
    const double cpu0 = CpuSeconds();
    for (int i = 0; i < frames; ++i) {
        if (i > 0 && !decoder.Decode(-1))
            break;
        decoder.CopyToBitmap(bitmap);
    }
    return (CpuSeconds() - cpu0) / (double(frames) * clip.FrameRateDen / clip.FrameRateNum);
}

bool PlayInWindow(const TFixtureVideo& clip, int frames, TPlayFigures& f)
{
    f.refCpuPerSec = PlainDecodeCpuPerSecond(clip, frames);
    TBench b;
    if (!b.Open(clip.Path))
        return false;
    TPaintProbe& probe = *b.Probe;
    const double periodMs = 1000.0 * clip.FrameRateDen / clip.FrameRateNum;
    probe.Player.clear();
    probe.Recording = true;
    const double start = probe.Ms(), cpu0 = CpuSeconds();
    QTest::mouseClick(b.Form->btnPlay, Qt::LeftButton);
    const int timeout = int(frames * periodMs) + 30000;
    PumpUntil([&] { return int(probe.Player.size()) >= frames || !b.Form->IsPlaying(); }, timeout);
    probe.Recording = false;
    if (b.Form->IsPlaying())
        QTest::mouseClick(b.Form->btnPause, Qt::LeftButton);
    const auto& shown = probe.Player;
    f.shown = int(shown.size());
    if (shown.size() < 2)
        return false;
    // The thread paces from its first frame: frame i is due at its time after it.
    double sum = 0;
    for (size_t i = 1; i < shown.size(); ++i) {
        const double late = (shown[i].ms - shown[0].ms) - double(shown[i].pts - shown[0].pts) / 1000.0;
        f.maxLateMs = std::max(f.maxLateMs, late);
        sum += std::max(0.0, late);
        if (late > periodMs)
            ++f.late;
    }
    f.meanLateMs = sum / double(shown.size() - 1);
    f.firstMs = shown[0].ms - start;
    const double videoSeconds = double(shown.back().pts - shown[0].pts) / 1e6 + periodMs / 1000.0;
    f.cpuPerSec = (shown.back().cpu - cpu0) / videoSeconds;
    return true;
}

int RunPlay(int lines)
{
    bool ok = true;
    std::vector<std::pair<int, int>> sizes{{1920, 1080}, {3840, 2160}};
    if (lines > 0)
        sizes = {{lines * 16 / 9, lines}};
    for (const auto& [w, h] : sizes) {
        TFixtureVideo clip = Clip1080(660);
        if (w != 1920) {
            clip.Width = w, clip.Height = h, clip.FrameCount = 300;
            clip.Path = QDir::tempPath() + QStringLiteral("/ganterly-bench-mainwindow-%1x%2p30.mp4").arg(w).arg(h);
        }
        if (!EnsureClip(clip))
            return 1;
        TPlayFigures f;
        if (!PlayInWindow(clip, 300, f)) {
            std::printf("play %dx%d: the window showed %d frames\n", w, h, f.shown);
            ok = false;
            continue;
        }
        std::printf("play %dx%d at 30 fps in the window, 10 s: %d frames shown, %d more than one frame period late (target 0), "
                    "lateness max %.1f ms mean %.2f ms, first frame %.0f ms after the click; %.3f CPU s per s of video "
                    "(plain decoding %.3f, %.2fx)\n",
                    w, h, f.shown, f.late, f.maxLateMs, f.meanLateMs, f.firstMs, f.cpuPerSec, f.refCpuPerSec,
                    f.refCpuPerSec > 0 ? f.cpuPerSec / f.refCpuPerSec : 0.0);
        ok = ok && f.shown >= 300;
    }
    return ok ? 0 : 1;
}

// ---- scrub -------------------------------------------------------------------------------

int RunScrub()
{
    // The clip of bench_scrub.
    TFixtureVideo clip;
    clip.Path = QDir::tempPath() + "/ganterly-bench-scrub.mp4";
    clip.Width = 1280;
    clip.Height = 720;
    clip.FrameRateNum = 30;
    clip.GopLength = 250;
    clip.BFrames = 3;
    clip.FrameCount = 20 * clip.FrameRateNum;
    if (!EnsureClip(clip))
        return 1;
    std::vector<int64_t> frameTimes;
    for (int i = 0; i < clip.FrameCount; ++i)
        frameTimes.push_back(FixtureFrameTimeUs(clip, i));
    // The frame shown at a time: the last one starting at or before it.
    auto frameAt = [&](int64_t t) {
        auto it = std::upper_bound(frameTimes.begin(), frameTimes.end(), t);
        return it == frameTimes.begin() ? frameTimes.front() : *(it - 1);
    };

    TBench b;
    if (!b.Open(clip.Path))
        return 1;
    TPaintProbe& probe = *b.Probe;
    QTest::mouseClick(b.Form->btnPlay, Qt::LeftButton);
    probe.Recording = true;
    PumpUntil([&] { return probe.Player.size() >= 10; }, 10000);
    TzelTrackBar* bar = b.Form->TrackBar;
    const int64_t duration = b.Form->Proj()->Duration;
    auto timeOf = [&](int pos) { return int64_t(std::llround(double(pos) / bar->maximum() * double(duration))); };
    const int y = bar->height() / 2;

    // Press on the thumb, then a move every 1/60 s, to the end and half way back.
    const int dragSeconds = 8, requests = dragSeconds * 60;
    std::map<int64_t, double> askedAt;   // exact frame -> ms of its latest request
    std::vector<double> toExact;
    probe.Player.clear();
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(int(bar->ThumbCenterX(bar->Position())), y));
    const double start = probe.Ms();
    size_t seen = 0;
    auto match = [&] {
        for (; seen < probe.Player.size(); ++seen) {
            const auto it = askedAt.find(probe.Player[seen].pts);
            if (it != askedAt.end()) {
                toExact.push_back(probe.Player[seen].ms - it->second);
                askedAt.erase(it);
            }
        }
    };
    const double x0 = bar->ThumbCenterX(0), x1 = bar->ThumbCenterX(bar->maximum());
    for (int i = 1; i <= requests; ++i) {
        PumpUntil([&] { return probe.Ms() - start >= i * 1000.0 / 60; }, 1000);
        const double phase = double(i) / requests * 1.5;
        const double x = x0 + (phase <= 1.0 ? phase : 2.0 - phase) * (x1 - x0) * 0.95;
        QTest::mouseMove(bar, QPoint(int(std::lround(x)), y));
        match();
        askedAt[frameAt(timeOf(bar->Position()))] = probe.Ms();
    }
    PumpUntil([&] { match(); return false; }, 1000);
    const double dragMs = probe.Ms() - start;
    const size_t dragFrames = probe.Player.size();
    const double release = probe.Ms();
    const int64_t releaseTime = frameAt(timeOf(bar->Position()));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(int(bar->ThumbCenterX(bar->Position())), y));
    PumpUntil([&] { return probe.Player.size() > dragFrames + 5; }, 5000);
    probe.Recording = false;
    const double resumeMs = probe.Player.size() > dragFrames ? probe.Player[dragFrames].ms - release : -1;
    const int64_t resumePts = probe.Player.size() > dragFrames ? probe.Player[dragFrames].pts : AV_NOPTS_VALUE;
    b.Form->StopPlay();

    std::vector<double> cli;
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    for (int s = 1; !ffmpeg.isEmpty() && s < 11; ++s)
        cli.push_back(CliMs(ffmpeg, clip.Path, s - 0.5));
    std::printf("scrub in the window (720p, GOP 250, 3 B-frames, %d moves in %.1f s): %zu frames shown = %.1f per second, "
                "%zu moves reached their exact frame, median %.1f ms (max %.1f ms) from the move to it; "
                "ffmpeg -ss T -i F -frames:v 1 median %.1f ms; ratio %.2f (target at most 0.5); "
                "after the release playback showed its first frame in %.0f ms at %s (released at %s)\n",
                requests, dragMs / 1000, dragFrames, dragFrames / (dragMs / 1000), toExact.size(), Median(toExact),
                Max(toExact), Median(cli), Median(cli) > 0 ? Median(toExact) / Median(cli) : 0.0, resumeMs,
                qPrintable(FormatPTS(resumePts, 3)), qPrintable(FormatPTS(releaseTime, 3)));
    return toExact.empty() ? 1 : 0;
}

// ---- click -------------------------------------------------------------------------------

int RunClick()
{
    const TFixtureVideo clip = Clip1080(660);
    if (!EnsureClip(clip))
        return 1;
    TBench b;
    if (!b.Open(clip.Path) || !b.PaintStillAndStrip(-1))
        return 1;
    TzelGroupView* view = b.Form->ShotView;
    const int visible = b.VisiblePhotos();
    std::vector<double> clickMs, readMs;
    bool right = true;
    for (int k = 0; k < 40; ++k) {
        // Another visible thumbnail each time, so the still view changes.
        TzelPhoto* photo = view->Photo(1 + k % std::max(1, visible - 2));
        if (photo == view->FocusedPhoto())
            photo = view->Photo(0);
        const int shots = b.Probe->ShotPaints;
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->PhotoRect(photo).center());
        const bool painted = PumpUntil([&] { return b.Probe->ShotPaints > shots; }, 2000);
        clickMs.push_back(double(t.nsecsElapsed()) / 1e6);
        const auto* frame = static_cast<TVGFrame*>(photo->Data);
        right = right && painted && b.Form->CurFrame() == frame && ReadFixtureIndex(b.Form->FrameBmp()) == photo->Index();
        t.restart();
        const QImage alone(frame->BitmapFile);
        readMs.push_back(double(t.nsecsElapsed()) / 1e6);
        QTest::qWait(30);   // clicks a person could make, not a double click
    }
    std::printf("click on a thumbnail to the still view painted (1080p, %zu clicks): median %.1f ms, max %.1f ms "
                "(target at most 30 ms); reading the frame's bitmap file alone median %.1f ms%s\n",
                clickMs.size(), Median(clickMs), Max(clickMs), Median(readMs), right ? "" : "  WRONG PICTURES");
    return right ? 0 : 1;
}

// ---- memory ------------------------------------------------------------------------------

int64_t FolderBytes(const QString& folder)
{
    int64_t sum = 0;
    QDirIterator it(folder, QDir::Files);
    while (it.hasNext()) {
        it.next();
        sum += it.fileInfo().size();
    }
    return sum;
}

int RunMemory(int64_t budgetMB)
{
    const int groups = 20;
    const TFixtureVideo clip = Clip1080(660);   // 30 + 20 * 29 = 610 frames are needed
    if (!EnsureClip(clip))
        return 1;
    const double rssBefore = PeakRssMB();
    TBench b;
    if (!b.Open(clip.Path))
        return 1;
    TVGProj* proj = b.Form->Proj();
    if (budgetMB > 0)
        proj->FileBudget = budgetMB << 20;
    const QString folder = proj->TempFolder;
    const int64_t budget = proj->FrameFileBudget();
    int64_t maxFolder = FolderBytes(folder), maxFrames = proj->FrameFileBytes();
    std::vector<double> pageMs;
    for (int g = 0; g < groups; ++g) {
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(b.Form->btnNextMore, Qt::LeftButton);
        b.PaintStillAndStrip(b.Probe->ShotPaints);
        pageMs.push_back(double(t.nsecsElapsed()) / 1e6);
        maxFolder = std::max(maxFolder, FolderBytes(folder));
        maxFrames = std::max(maxFrames, proj->FrameFileBytes());
    }
    TzelGroupView* view = b.Form->ShotView;
    const int photos = view->PhotoCount();
    const int lastIndex = ReadFixtureIndex(b.Form->FrameBmp());
    // The first thumbnail's file is the one dropped first: the still view
    // must make it again, exactly.
    view->SetScrollPos(0);
    view->viewport()->repaint();
    const int shots = b.Probe->ShotPaints;
    QElapsedTimer t;
    t.start();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->PhotoRect(view->Photo(0)).center());
    PumpUntil([&] { return b.Probe->ShotPaints > shots; }, 5000);
    const double backMs = double(t.nsecsElapsed()) / 1e6;
    const int firstIndex = ReadFixtureIndex(b.Form->FrameBmp());
    maxFolder = std::max(maxFolder, FolderBytes(folder));
    const double rss = PeakRssMB();
    // The same again after a second open: the replaced project's files must
    // not stay on top of the new one's.
    bool reopened = b.Open(clip.Path);
    if (reopened && budgetMB > 0)
        b.Form->Proj()->FileBudget = budgetMB << 20;
    for (int g = 0; reopened && g < groups; ++g) {
        QTest::mouseClick(b.Form->btnNextMore, Qt::LeftButton);
        maxFolder = std::max(maxFolder, FolderBytes(folder));
    }
    const bool ok = photos == 30 + groups * 29 && lastIndex == photos - 1 && firstIndex == 0 && maxFolder <= budget &&
                    rss < 300 && reopened;
    std::printf("memory, 1080p, %d groups paged (%d thumbnails, still view at frame %d): peak RSS %.0f MB (%.0f MB "
                "before the window; target under 300 MB); frame files at most %.0f MB, folder at most %.0f MB, "
                "budget %.0f MB%s (both across a second open and paging); a page took median %.0f ms, max %.0f ms; back to the first frame %.0f ms (frame %d)%s\n",
                groups, photos, lastIndex, rss, rssBefore, maxFrames / 1048576.0, maxFolder / 1048576.0,
                budget / 1048576.0, budgetMB > 0 ? " (set)" : "", Median(pageMs), Max(pageMs), backMs, firstIndex,
                ok ? "" : "  TARGET MISSED OR WRONG PICTURES");
    return ok ? 0 : 1;
}

int RunAll(const QString& self)
{
    int failed = 0;
    for (const QStringList& args : {QStringList{"open"}, QStringList{"play"}, QStringList{"scrub"}, QStringList{"click"},
                                    QStringList{"memory"}, QStringList{"memory", "200"}}) {
        std::fflush(stdout);
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(self, args);
        p.waitForFinished(-1);
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            std::printf("%s: FAILED\n", qPrintable(args.join(' ')));
            ++failed;
        }
    }
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString part = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    // A private data folder: the frame files of the run go there and with it.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/ganterly-bench-home-XXXXXX"));
    if (!part.isEmpty())
        qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    QApplication qapp(argc, argv);
    if (part.isEmpty())
        return RunAll(QCoreApplication::applicationFilePath());
    // The objects of the program's own start-up, with the built program folder.
    const QString exeFolder = QStringLiteral(GANTERLY_BIN_DIR "/");
    TUIApp uiApp(exeFolder);
    UIApp = &uiApp;
    TVGConfig config;
    VGConfig = &config;
    TApp app(exeFolder);
    App = &app;
    int code = 2;
    if (part == QLatin1String("open"))
        code = RunOpen();
    else if (part == QLatin1String("play"))
        code = RunPlay(argc > 2 ? std::atoi(argv[2]) : 0);
    else if (part == QLatin1String("scrub"))
        code = RunScrub();
    else if (part == QLatin1String("click"))
        code = RunClick();
    else if (part == QLatin1String("memory"))
        code = RunMemory(argc > 2 ? std::atoll(argv[2]) : 0);
    else
        std::fprintf(stderr, "usage: bench_mainwindow [open|play [LINES]|scrub|click|memory [BUDGET_MB]]\n");
    std::fflush(stdout);
    app.EmptyTempFolder();
    App = nullptr;
    VGConfig = nullptr;
    UIApp = nullptr;
    return code;
}
