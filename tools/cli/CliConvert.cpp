// ganterly-cli convert: a clip of a video to a GIF along the program's own
// path (a project built as the main window builds it, then its conversion
// thread), reporting progress on stderr.
#include "Cli.h"

#include "VGConfig.h"
#include "VGProj.h"
#include "FFDecoder.h"
#include "VGConvert.h"
#include "VGEstimate.h"
#include "ZelFile.h"
#include "ZelMessages.h"
#include "ZelSignals.h"
#include "Zelfunction.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QObject>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

// Collects the conversion thread's messages and ends the event loop on the
// finish or the error.
// What the conversion thread reports, through the typed adapter a window uses.
class TConvertReceiver : public TConvertEvents {
public:
    TConvertReceiver()
    {
        connect(this, &TConvertEvents::Progress, this, [this](int p) {
            if (p != Percent && ShowProgress) {
                Percent = p;
                std::fprintf(stderr, "\rconverting: %3d%%", p);
                std::fflush(stderr);
            }
        });
        connect(this, &TConvertEvents::Finished, this, [this](int written, int limit) {
            Finished = true;
            Written = written;
            Limit = limit;
            Loop.quit();
        });
        connect(this, &TConvertEvents::Failed, this, [this](const QString& error) {
            Error = error.isEmpty() ? QStringLiteral("The conversion failed.") : error;
            Loop.quit();
        });
    }
    QEventLoop Loop;
    int Percent = -1;
    bool ShowProgress = false;
    bool Finished = false;
    int Written = 0;
    int Limit = 0;
    QString Error;
};

bool ParseInts(const QString& text, int count, std::vector<int>& out)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != count)
        return false;
    out.clear();
    for (const QString& p : parts) {
        bool ok = false;
        const int v = p.trimmed().toInt(&ok);
        if (!ok)
            return false;
        out.push_back(v);
    }
    return true;
}

bool ParseTime(const QString& text, int64_t& pts)
{
    pts = StrToPTS(text);
    return pts != AV_NOPTS_VALUE && pts >= 0;
}

int Fail(const QString& text)
{
    CliErr(text);
    return 1;
}

struct TTextArgs {
    QString Text;
    bool HasAt = false;
    int X = 0, Y = 0;
    QString Font;
    int FontSize = 0;
    std::optional<uint32_t> Color;  // 0x00BBGGRR
    TAlignment Align = VG::taLeftJustify;
};

const QString kCommand = QStringLiteral("convert");

int Usage(const QString& text) { return CliUsageError(kCommand, text); }

int RunConvert(const TCliArgs& args)
{
    const bool estimate = args.Has(QStringLiteral("estimate"));
    // An estimate writes nothing, so the GIF's name may be left out.
    if (args.Files.size() != 2 && !(estimate && args.Files.size() == 1))
        return Usage(QStringLiteral("needs IN and OUT.gif, got %1 file name%2")
                         .arg(args.Files.size()).arg(args.Files.size() == 1 ? "" : "s"));
    const QString in = args.Files[0];
    const QString out = args.Files.size() == 2 ? QFileInfo(args.Files[1]).absoluteFilePath() : QString();

    QString startText, endText, durationText, sizeText, cropText, fpsText, speedText, loopText;
    QString rotateText, flipText, orderText, maxText, logoFile, logoRectText;
    QStringList deletes;
    std::vector<TTextArgs> texts;
    bool quiet = false;

    // In the order given: the text settings belong to the --text before them;
    // of other options given twice the last one counts.
    for (const auto& [opt, v] : args.Options) {
        if (opt == QLatin1String("start")) startText = v;
        else if (opt == QLatin1String("end")) endText = v;
        else if (opt == QLatin1String("duration")) durationText = v;
        else if (opt == QLatin1String("size")) sizeText = v;
        else if (opt == QLatin1String("crop")) cropText = v;
        else if (opt == QLatin1String("fps")) fpsText = v;
        else if (opt == QLatin1String("speed")) speedText = v;
        else if (opt == QLatin1String("loop")) loopText = v;
        else if (opt == QLatin1String("rotate")) rotateText = v;
        else if (opt == QLatin1String("flip")) flipText = v;
        else if (opt == QLatin1String("order")) orderText = v;
        else if (opt == QLatin1String("max-frames")) maxText = v;
        else if (opt == QLatin1String("logo")) logoFile = v;
        else if (opt == QLatin1String("logo-rect")) logoRectText = v;
        else if (opt == QLatin1String("quiet")) quiet = true;
        else if (opt == QLatin1String("estimate")) continue;
        else if (opt == QLatin1String("delete")) deletes << v;
        else if (opt == QLatin1String("text")) {
            TTextArgs t;
            t.Text = v;
            texts.push_back(t);
        } else {
            if (texts.empty())
                return Usage(QStringLiteral("--%1 must follow a --text").arg(opt));
            TTextArgs& t = texts.back();
            bool ok = true;
            if (opt == QLatin1String("text-at")) {
                std::vector<int> xy;
                if (!ParseInts(v, 2, xy))
                    return Usage(QStringLiteral("--text-at needs X,Y, not \"%1\"").arg(v));
                t.HasAt = true;
                t.X = xy[0];
                t.Y = xy[1];
            } else if (opt == QLatin1String("font")) {
                t.Font = v;
            } else if (opt == QLatin1String("font-size")) {
                t.FontSize = v.toInt(&ok);
                if (!ok || t.FontSize < 1)
                    return Usage(QStringLiteral("--font-size needs a positive number, not \"%1\"").arg(v));
            } else if (opt == QLatin1String("color")) {
                QString hex = v.startsWith(QLatin1Char('#')) ? v.mid(1) : v;
                const uint rgb = hex.toUInt(&ok, 16);
                if (!ok || hex.size() != 6)
                    return Usage(QStringLiteral("--color needs RRGGBB, not \"%1\"").arg(v));
                t.Color = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
            } else {
                if (v == QLatin1String("left")) t.Align = VG::taLeftJustify;
                else if (v == QLatin1String("right")) t.Align = VG::taRightJustify;
                else if (v == QLatin1String("center") || v == QLatin1String("centre")) t.Align = VG::taCenter;
                else return Usage(QStringLiteral("--align needs left, center or right, not \"%1\"").arg(v));
            }
        }
    }
    if (!endText.isEmpty() && !durationText.isEmpty())
        return Usage(QStringLiteral("give --end or --duration, not both"));

    // Everything the words alone decide is checked before the video is
    // opened, so a usage error is one whatever the files are.
    // The settings' defaults, as a new clip gets them.
    std::unique_ptr<TVGConfig> ownConfig;
    if (!VGConfig) {
        ownConfig = std::make_unique<TVGConfig>();
        VGConfig = ownConfig.get();
    }
    struct TConfigGuard {
        std::unique_ptr<TVGConfig>& Own;
        ~TConfigGuard() { if (Own && VGConfig == Own.get()) VGConfig = nullptr; }
    } configGuard{ownConfig};
    TVGProj proj;
    int maxFrames = 0;
    if (!maxText.isEmpty()) {
        bool ok = false;
        maxFrames = maxText.toInt(&ok);
        if (!ok || maxFrames < 1)
            return Usage(QStringLiteral("--max-frames needs a positive number, not \"%1\"").arg(maxText));
    }
    int64_t startPTS = 0, endPTS = 0, durationUs = 0;
    if (!startText.isEmpty() && !ParseTime(startText, startPTS))
        return Usage(QStringLiteral("--start needs a time (hh:mm:ss.mmm or seconds), not \"%1\"").arg(startText));
    if (!endText.isEmpty() && !ParseTime(endText, endPTS))
        return Usage(QStringLiteral("--end needs a time (hh:mm:ss.mmm or seconds), not \"%1\"").arg(endText));
    if (!durationText.isEmpty()) {
        bool ok = false;
        const double s = durationText.toDouble(&ok);
        if (!ok || !(s > 0) || s > 1e9)
            return Usage(QStringLiteral("--duration needs a positive number of seconds, not \"%1\"").arg(durationText));
        durationUs = int64_t(std::llround(s * 1e6));
    }
    if (!startText.isEmpty() && !endText.isEmpty() && endPTS <= startPTS)
        return Usage(QStringLiteral("--end %1 is not after --start %2").arg(endText, startText));

    if (!cropText.isEmpty()) {
        std::vector<int> c;
        if (!ParseInts(cropText, 4, c) || c[2] < 1 || c[3] < 1)
            return Usage(QStringLiteral("--crop needs X,Y,W,H with W and H positive, not \"%1\"").arg(cropText));
        if (int64_t(c[0]) + c[2] > INT32_MAX || int64_t(c[1]) + c[3] > INT32_MAX)
            return Usage(QStringLiteral("--crop X,Y,W,H must end within %1 pixels (X+W and Y+H), not \"%2\"")
                             .arg(INT32_MAX).arg(cropText));
        proj.CropRect = {c[0], c[1], c[0] + c[2], c[1] + c[3]};
        proj.UseCrop = true;
    }

    int aspectHeight = 0;  // -1 or -2: the height follows the picture's aspect
    if (!sizeText.isEmpty()) {
        if (sizeText == QLatin1String("original")) proj.SizeStyle = ssOriginal;
        else if (sizeText == QLatin1String("half")) proj.SizeStyle = ssHalf;
        else if (sizeText == QLatin1String("quarter")) proj.SizeStyle = ssQuarter;
        else {
            const QStringList wh = sizeText.toLower().split(QLatin1Char('x'));
            bool okW = false, okH = false;
            const int w = wh.size() == 2 ? wh[0].toInt(&okW) : 0;
            const int h = wh.size() == 2 ? wh[1].toInt(&okH) : 0;
            if (!okW || !okH || w < 1 || (h < 1 && h != -1 && h != -2))
                return Usage(QStringLiteral("--size needs original, half, quarter or WxH, not \"%1\"").arg(sizeText));
            if (h < 0)
                aspectHeight = h;
            proj.SizeStyle = ssCustom;
            proj.CustomWidth = w;
            proj.CustomHeight = h;
        }
    }
    if (!fpsText.isEmpty()) {
        bool ok = false;
        proj.GifFPS = fpsText.toInt(&ok);
        if (!ok || proj.GifFPS < 1)
            return Usage(QStringLiteral("--fps needs a positive number, not \"%1\"").arg(fpsText));
    }
    if (!speedText.isEmpty()) {
        bool ok = false;
        proj.GifSpeed = speedText.toDouble(&ok);
        if (!ok || !std::isfinite(proj.GifSpeed) || !(proj.GifSpeed > 0))
            return Usage(QStringLiteral("--speed needs a positive number, not \"%1\"").arg(speedText));
    }
    if (!loopText.isEmpty()) {
        bool ok = false;
        proj.GifLoop = loopText.toInt(&ok);
        if (!ok || proj.GifLoop < -1 || proj.GifLoop > 65535)
            return Usage(QStringLiteral("--loop needs -1 (forever), 0 (once) or a count up to 65535, not \"%1\"").arg(loopText));
    }
    if (!rotateText.isEmpty()) {
        bool ok = false;
        const int deg = rotateText.toInt(&ok);
        if (!ok || deg < 0 || deg > 270 || deg % 90 != 0)
            return Usage(QStringLiteral("--rotate needs 0, 90, 180 or 270, not \"%1\"").arg(rotateText));
        proj.Rotation = uint8_t(deg / 90);
    }
    if (!flipText.isEmpty()) {
        if (flipText == QLatin1String("h")) proj.Flip = 1;
        else if (flipText == QLatin1String("v")) proj.Flip = 2;
        else if (flipText == QLatin1String("hv") || flipText == QLatin1String("vh")) proj.Flip = 3;
        else if (flipText == QLatin1String("none")) proj.Flip = 0;
        else return Usage(QStringLiteral("--flip needs h, v or hv, not \"%1\"").arg(flipText));
    }
    if (!orderText.isEmpty()) {
        if (orderText == QLatin1String("original")) proj.Sequence = 0;
        else if (orderText == QLatin1String("reverse")) proj.Sequence = 1;
        else if (orderText == QLatin1String("pingpong")) proj.Sequence = 2;
        else return Usage(QStringLiteral("--order needs original, reverse or pingpong, not \"%1\"").arg(orderText));
    }
    for (const TTextArgs& t : texts)
        if (!t.HasAt)
            return Usage(QStringLiteral("--text \"%1\" needs --text-at X,Y").arg(t.Text));
    std::vector<int> logoRect;
    if (!logoFile.isEmpty()) {
        if (logoRectText.isEmpty() || !ParseInts(logoRectText, 4, logoRect) || logoRect[2] < 1 || logoRect[3] < 1)
            return Usage(QStringLiteral("--logo needs --logo-rect X,Y,W,H with W and H positive"));
    } else if (!logoRectText.isEmpty()) {
        return Usage(QStringLiteral("--logo-rect needs --logo FILE"));
    }
    std::vector<int64_t> deleteTimes;
    for (const QString& d : deletes) {
        int64_t pts = 0;
        if (!ParseTime(d, pts))
            return Usage(QStringLiteral("--delete needs times (hh:mm:ss.mmm or seconds), not \"%1\"").arg(d));
        deleteTimes.push_back(pts);
    }

    CliStartApp();
    // The output must never be the video itself, whatever names lead to it.
    if (!out.isEmpty() && IsSameFile(in, out))
        return Fail(QStringLiteral("The GIF file \"%1\" is the video \"%2\" itself; choose another name for the GIF.")
                        .arg(args.Files[1], in));

    if (maxFrames > 0)
        VGConfig->GifMaxFrame = maxFrames;

    // The project as the main window makes it when a video is opened.
    TFFDecoder dec;
    dec.SetBitmapBitsPixel(24);
    if (!dec.LoadFile(in))
        return Fail(QStringLiteral("Cannot open the video file \"%1\": %2").arg(in, dec.LastError()));
    proj.VideoFileName = in;
    proj.GifFileName = out;
    proj.LoadStreamInfo(&dec);
    if (!proj.HasVideo())
        return Fail(QStringLiteral("\"%1\" has no video stream.").arg(in));
    if (!proj.UseCrop)
        proj.CropRect = {0, 0, proj.VideoWidth, proj.VideoHeight};
    proj.StartPTS = startPTS;
    proj.EndPTS = !endText.isEmpty() ? endPTS : durationUs > 0 ? startPTS + durationUs : proj.Duration;
    if (!proj.HasValidRange())
        return Fail(QStringLiteral("The clip range %1 - %2 is empty.").arg(FormatPTS(proj.StartPTS), FormatPTS(proj.EndPTS)));

    if (aspectHeight < 0) {
        // Keep the aspect of the (cropped) picture; -2 rounds to an even height.
        // The crop as the conversion clips it to the picture.
        const int w = proj.CustomWidth;
        const int bw = proj.BaseSize().width();
        const int bh = proj.BaseSize().height();
        const double exact = double(w) * bh / std::max(1, bw);
        proj.CustomHeight = aspectHeight == -2 ? std::max(2, 2 * int(std::lround(exact / 2)))
                                               : std::max(1, int(std::lround(exact)));
    }

    for (const TTextArgs& t : texts) {
        TTextObj* obj = proj.Texts.Add();
        int color = 0;
        VGConfig->ApplyDefaultFont(obj->FontName, obj->FontSize, obj->FontStyles, color);
        obj->FontColor = uint32_t(color);
        obj->Text = t.Text;
        obj->X = t.X;
        obj->Y = t.Y;
        obj->Alignment = t.Align;
        if (!t.Font.isEmpty())
            obj->FontName = t.Font;
        if (t.FontSize > 0)
            obj->FontSize = t.FontSize;
        if (t.Color)
            obj->FontColor = *t.Color;
    }
    if (!logoFile.isEmpty()) {
        if (!QFileInfo::exists(logoFile))
            return Fail(QStringLiteral("The logo file \"%1\" does not exist.").arg(logoFile));
        proj.Logo.Enabled = true;
        proj.Logo.ImageFileName = logoFile;
        proj.Logo.X = logoRect[0];
        proj.Logo.Y = logoRect[1];
        proj.Logo.Width = logoRect[2];
        proj.Logo.Height = logoRect[3];
        if (proj.LogoImage().isNull())
            return Fail(QStringLiteral("The logo file \"%1\" is not a picture.").arg(logoFile));
    }

    // Deleted frames are marked on the frames the decoder shows at those
    // times, with their exact times, as the frame strip marks them.
    for (const int64_t pts : deleteTimes) {
        if (!LocateVideoPTS(&dec, pts) || dec.CurrentPTS() == AV_NOPTS_VALUE)
            return Fail(QStringLiteral("No frame of \"%1\" could be read at %2: %3").arg(in, FormatPTS(pts), dec.LastError()));
        proj.Frames.AddFrame(QString(), dec.CurrentPTS())->Deleted = true;
    }
    dec.CloseFile();

    // Nothing is announced that will not be written.
    if (proj.UseCrop && proj.BaseSize().isEmpty())
        return Fail(QStringLiteral("The crop area (%1, %2) - (%3, %4) lies outside the video picture of %5 x %6.")
                        .arg(proj.CropRect.Left).arg(proj.CropRect.Top).arg(proj.CropRect.Right)
                        .arg(proj.CropRect.Bottom).arg(proj.VideoWidth).arg(proj.VideoHeight));
    if (const QString err = VGConvertPlan::CheckOutputSize(proj.GetOutputSize()); !err.isEmpty())
        return Fail(err);
    const QSize size = proj.GetGifSize();  // as written, after the crop is clipped and the picture turned
    if (estimate) {
        if (!quiet)
            CliErr(QStringLiteral("estimating %1 (%2 - %3) as %4 x %5 at %6 fps, speed %7")
                       .arg(in, FormatPTS(proj.StartPTS), FormatPTS(proj.EndPTS))
                       .arg(size.width()).arg(size.height()).arg(proj.GifFPS).arg(proj.GifSpeed));
        // An interrupt stops the estimate within a frame.
        std::atomic<bool> cancel{false};
        int endSignal = 0;
        TEndSignals signals([&](int sig) {
            if (endSignal == 0)
                endSignal = sig;
            cancel.store(true);
        });
        const TGifEstimate e = EstimateGifSize(proj.ConversionFlag(), &cancel);
        if (endSignal != 0) {
            CliErr(QStringLiteral("ganterly-cli convert: stopped by signal %1").arg(endSignal));
            return 128 + endSignal;
        }
        if (!e.Ok)
            return Fail(e.Error);
        CliOut(QStringLiteral("estimate: %1 bytes, %2 frames, %3 s (%4 frames sampled)")
                   .arg(e.Bytes).arg(e.Frames).arg(e.Seconds, 0, 'f', 2).arg(e.SampledFrames));
        return 0;
    }
    if (!quiet)
        CliErr(QStringLiteral("converting %1 (%2 - %3) to %4 x %5 at %6 fps, speed %7")
                   .arg(in, FormatPTS(proj.StartPTS), FormatPTS(proj.EndPTS))
                   .arg(size.width()).arg(size.height()).arg(proj.GifFPS).arg(proj.GifSpeed));

    TConvertReceiver receiver;
    // A progress line redrawn with carriage returns only makes sense on a terminal.
    receiver.ShowProgress = !quiet && StdErrIsTerminal();
    QElapsedTimer timer;
    timer.start();
    // An interrupt or a kill stops the thread, which removes its partial GIF
    // and working files before it ends; then the exit code tells the signal.
    // Caught from before the thread starts, so none can cut it short.
    std::unique_ptr<TVideo2GifThread> thread;
    int endSignal = 0;
    TEndSignals signals([&](int sig) {
        if (endSignal == 0)
            endSignal = sig;
        if (thread)
            thread->Terminate();
        receiver.Loop.quit();
    });
    thread.reset(proj.StartConversion(&receiver));
    receiver.Loop.exec();
    thread.reset();  // waits for the thread
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (receiver.Percent >= 0)
        std::fprintf(stderr, "\n");

    if (endSignal != 0 && !receiver.Finished) {
        CliErr(QStringLiteral("ganterly-cli convert: stopped by signal %1; nothing written").arg(endSignal));
        return 128 + endSignal;
    }
    if (!receiver.Finished)
        return Fail(receiver.Error);
    const qint64 bytes = QFileInfo(out).size();
    CliOut(QStringLiteral("%1 frames written, %2 bytes, %3 s").arg(receiver.Written).arg(bytes).arg(seconds, 0, 'f', 2));
    if (receiver.Written >= receiver.Limit)
        CliErr(QStringLiteral("The frame limit of %1 was reached.").arg(receiver.Limit));
    return 0;
}

bool IsTime(const QString& word) { return StrToPTS(word) != AV_NOPTS_VALUE; }

const std::vector<TCliOption> kOptions = [] {
    std::vector<TCliOption> o;
    for (const char* name : {"start", "end", "duration", "size", "crop", "fps", "speed", "loop", "rotate", "flip",
                             "order", "max-frames", "logo", "logo-rect", "text", "text-at", "font", "font-size",
                             "color", "align"})
        o.push_back({QString::fromLatin1(name), TCliOption::Value, {}});
    // Several times may follow one --delete.
    o.push_back({QStringLiteral("delete"), TCliOption::List, IsTime});
    o.push_back({QStringLiteral("quiet"), TCliOption::Flag, {}});
    o.push_back({QStringLiteral("estimate"), TCliOption::Flag, {}});
    return o;
}();

CliCommand reg(
    "convert",
    "convert IN OUT.gif [options]\n"
    "convert IN [OUT.gif] --estimate [options]\n"
    "Converts a stretch of the video IN to the GIF OUT.gif as the program does. Options, before or after the\n"
    "file names, as --opt VALUE or --opt=VALUE (times as hh:mm:ss.mmm or seconds):\n"
    "  --start T, --end T | --duration S   the clip range (default: the whole video)\n"
    "  --size original|half|quarter|WxH    W x H, or W x -1 / W x -2 for the picture's aspect (-2: even height)\n"
    "  --crop X,Y,W,H                      the part of the picture to convert\n"
    "  --fps N, --speed X, --loop N        frame rate, playing speed, replays (-1 forever, 0 once)\n"
    "  --rotate 0|90|180|270, --flip h|v|hv|none, --order original|reverse|pingpong\n"
    "  --max-frames N                      the most frames the GIF may hold (default 1000)\n"
    "  --delete T [T ...]                  leaves out the frames on show at these times (the words after it\n"
    "                                      that read as times; -- ends the list)\n"
    "  --text TEXT --text-at X,Y [--font NAME] [--font-size N] [--color RRGGBB] [--align left|center|right]\n"
    "  --logo FILE --logo-rect X,Y,W,H     a picture drawn over every frame\n"
    "  --quiet                             no settings line and no progress\n"
    "  --estimate                          writes no GIF: prints its predicted size from a sample of its frames\n"
    "                                      encoded as the conversion would (\"estimate: BYTES bytes, FRAMES frames,\n"
    "                                      SECONDS s (N frames sampled)\")\n"
    "Exit codes: 0 done, 1 the conversion failed, 2 a usage error, 128+N stopped by signal N.",
    kOptions, RunConvert);

}  // namespace
