// ganterly-cli convert: a clip of a video to a GIF along the program's own
// path (a project built as the main window builds it, then its conversion
// thread), reporting progress on stderr.
#include "Cli.h"

#include "VGConfig.h"
#include "VGProj.h"
#include "FFDecoder.h"
#include "VGConvert.h"
#include "ZelMessages.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QObject>
#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

// Collects the conversion thread's messages and ends the event loop on the
// finish or the error.
class TConvertReceiver : public QObject {
public:
    QEventLoop Loop;
    int Percent = -1;
    bool Finished = false;
    int Written = 0;
    int Limit = 0;
    QString Error;

protected:
    bool event(QEvent* e) override
    {
        const int type = int(e->type());
        if (type != WM_CONVERTPROGRESS && type != WM_CONVERTFINISH && type != WM_CONVERTERROR)
            return QObject::event(e);
        auto* m = static_cast<TMessageEvent*>(e);
        if (type == WM_CONVERTPROGRESS) {
            const int p = int(m->WParam & 0xFFFF);
            if (p != Percent) {
                Percent = p;
                std::fprintf(stderr, "\rconverting: %3d%%", p);
                std::fflush(stderr);
            }
        } else if (type == WM_CONVERTFINISH) {
            Finished = true;
            Written = int(m->WParam);
            Limit = int(m->LParam);
            Loop.quit();
        } else {
            Error = m->Text.isEmpty() ? QStringLiteral("The conversion failed.") : m->Text;
            Loop.quit();
        }
        return true;
    }
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

int RunConvert(const QStringList& args)
{
    if (args.size() < 2)
        return Fail(QStringLiteral("usage: convert IN OUT.gif [options]; see ganterly-cli without arguments"));
    const QString in = args[0];
    const QString out = QFileInfo(args[1]).absoluteFilePath();

    QString startText, endText, durationText, sizeText, cropText, fpsText, speedText, loopText;
    QString rotateText, flipText, orderText, maxText, logoFile, logoRectText;
    QStringList deletes;
    std::vector<TTextArgs> texts;

    for (int i = 2; i < args.size(); ++i) {
        const QString opt = args[i];
        auto value = [&](QString& to) -> bool {
            if (i + 1 >= args.size())
                return false;
            to = args[++i];
            return true;
        };
        QString v;
        bool ok = true;
        if (opt == QLatin1String("--start")) ok = value(startText);
        else if (opt == QLatin1String("--end")) ok = value(endText);
        else if (opt == QLatin1String("--duration")) ok = value(durationText);
        else if (opt == QLatin1String("--size")) ok = value(sizeText);
        else if (opt == QLatin1String("--crop")) ok = value(cropText);
        else if (opt == QLatin1String("--fps")) ok = value(fpsText);
        else if (opt == QLatin1String("--speed")) ok = value(speedText);
        else if (opt == QLatin1String("--loop")) ok = value(loopText);
        else if (opt == QLatin1String("--rotate")) ok = value(rotateText);
        else if (opt == QLatin1String("--flip")) ok = value(flipText);
        else if (opt == QLatin1String("--order")) ok = value(orderText);
        else if (opt == QLatin1String("--max-frames")) ok = value(maxText);
        else if (opt == QLatin1String("--logo")) ok = value(logoFile);
        else if (opt == QLatin1String("--logo-rect")) ok = value(logoRectText);
        else if (opt == QLatin1String("--delete")) {
            // Several times may follow one --delete.
            if (i + 1 >= args.size())
                ok = false;
            while (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--")))
                deletes << args[++i];
        } else if (opt == QLatin1String("--text")) {
            if ((ok = value(v))) {
                TTextArgs t;
                t.Text = v;
                texts.push_back(t);
            }
        } else if (opt == QLatin1String("--text-at") || opt == QLatin1String("--font") ||
                   opt == QLatin1String("--font-size") || opt == QLatin1String("--color") ||
                   opt == QLatin1String("--align")) {
            if (texts.empty())
                return Fail(QStringLiteral("%1 must follow a --text").arg(opt));
            if (!(ok = value(v)))
                break;
            TTextArgs& t = texts.back();
            if (opt == QLatin1String("--text-at")) {
                std::vector<int> xy;
                if (!ParseInts(v, 2, xy))
                    return Fail(QStringLiteral("--text-at needs X,Y, not \"%1\"").arg(v));
                t.HasAt = true;
                t.X = xy[0];
                t.Y = xy[1];
            } else if (opt == QLatin1String("--font")) {
                t.Font = v;
            } else if (opt == QLatin1String("--font-size")) {
                t.FontSize = v.toInt(&ok);
                if (!ok || t.FontSize < 1)
                    return Fail(QStringLiteral("--font-size needs a positive number, not \"%1\"").arg(v));
            } else if (opt == QLatin1String("--color")) {
                QString hex = v.startsWith(QLatin1Char('#')) ? v.mid(1) : v;
                const uint rgb = hex.toUInt(&ok, 16);
                if (!ok || hex.size() != 6)
                    return Fail(QStringLiteral("--color needs RRGGBB, not \"%1\"").arg(v));
                t.Color = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
            } else {
                if (v == QLatin1String("left")) t.Align = VG::taLeftJustify;
                else if (v == QLatin1String("right")) t.Align = VG::taRightJustify;
                else if (v == QLatin1String("center") || v == QLatin1String("centre")) t.Align = VG::taCenter;
                else return Fail(QStringLiteral("--align needs left, center or right, not \"%1\"").arg(v));
            }
        } else {
            return Fail(QStringLiteral("unknown option: %1").arg(opt));
        }
        if (!ok)
            return Fail(QStringLiteral("%1 needs a value").arg(opt));
    }
    if (!endText.isEmpty() && !durationText.isEmpty())
        return Fail(QStringLiteral("give --end or --duration, not both"));

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

    if (!maxText.isEmpty()) {
        bool ok = false;
        VGConfig->GifMaxFrame = maxText.toInt(&ok);
        if (!ok)
            return Fail(QStringLiteral("--max-frames needs a number, not \"%1\"").arg(maxText));
    }

    // The project as the main window makes it when a video is opened.
    TVGProj proj;
    TFFDecoder dec;
    dec.SetBitmapBitsPixel(24);
    if (!dec.LoadFile(in))
        return Fail(QStringLiteral("Cannot open the video file \"%1\": %2").arg(in, dec.LastError()));
    proj.VideoFileName = in;
    proj.GifFileName = out;
    proj.LoadStreamInfo(&dec);
    if (!proj.HasVideo())
        return Fail(QStringLiteral("\"%1\" has no video stream.").arg(in));
    proj.CropRect = {0, 0, proj.VideoWidth, proj.VideoHeight};
    proj.StartPTS = 0;
    proj.EndPTS = proj.Duration;

    if (!startText.isEmpty() && !ParseTime(startText, proj.StartPTS))
        return Fail(QStringLiteral("--start needs a time (hh:mm:ss.mmm or seconds), not \"%1\"").arg(startText));
    if (!endText.isEmpty() && !ParseTime(endText, proj.EndPTS))
        return Fail(QStringLiteral("--end needs a time (hh:mm:ss.mmm or seconds), not \"%1\"").arg(endText));
    if (!durationText.isEmpty()) {
        bool ok = false;
        const double s = durationText.toDouble(&ok);
        if (!ok || !(s > 0) || s > 1e9)
            return Fail(QStringLiteral("--duration needs a positive number of seconds, not \"%1\"").arg(durationText));
        proj.EndPTS = proj.StartPTS + int64_t(std::llround(s * 1e6));
    }
    if (!proj.HasValidRange())
        return Fail(QStringLiteral("The clip range %1 - %2 is empty.").arg(FormatPTS(proj.StartPTS), FormatPTS(proj.EndPTS)));

    if (!cropText.isEmpty()) {
        std::vector<int> c;
        if (!ParseInts(cropText, 4, c) || c[2] < 1 || c[3] < 1)
            return Fail(QStringLiteral("--crop needs X,Y,W,H with W and H positive, not \"%1\"").arg(cropText));
        if (int64_t(c[0]) + c[2] > INT32_MAX || int64_t(c[1]) + c[3] > INT32_MAX)
            return Fail(QStringLiteral("--crop X,Y,W,H must end within %1 pixels (X+W and Y+H), not \"%2\"")
                            .arg(INT32_MAX).arg(cropText));
        proj.CropRect = {c[0], c[1], c[0] + c[2], c[1] + c[3]};
        proj.UseCrop = true;
    }

    if (!sizeText.isEmpty()) {
        if (sizeText == QLatin1String("original")) proj.SizeStyle = ssOriginal;
        else if (sizeText == QLatin1String("half")) proj.SizeStyle = ssHalf;
        else if (sizeText == QLatin1String("quarter")) proj.SizeStyle = ssQuarter;
        else {
            const QStringList wh = sizeText.toLower().split(QLatin1Char('x'));
            bool okW = false, okH = false;
            const int w = wh.size() == 2 ? wh[0].toInt(&okW) : 0;
            int h = wh.size() == 2 ? wh[1].toInt(&okH) : 0;
            if (!okW || !okH || w < 1 || (h < 1 && h != -1 && h != -2))
                return Fail(QStringLiteral("--size needs original, half, quarter or WxH, not \"%1\"").arg(sizeText));
            if (h < 0) {
                // Keep the aspect of the (cropped) picture; -2 rounds to an even height.
                const int bw = proj.BaseSize().width();
                const int bh = proj.BaseSize().height();
                const double exact = double(w) * bh / std::max(1, bw);
                h = h == -2 ? std::max(2, 2 * int(std::lround(exact / 2))) : std::max(1, int(std::lround(exact)));
            }
            proj.SizeStyle = ssCustom;
            proj.CustomWidth = w;
            proj.CustomHeight = h;
        }
    }
    if (!fpsText.isEmpty()) {
        bool ok = false;
        proj.GifFPS = fpsText.toInt(&ok);
        if (!ok || proj.GifFPS < 1)
            return Fail(QStringLiteral("--fps needs a positive number, not \"%1\"").arg(fpsText));
    }
    if (!speedText.isEmpty()) {
        bool ok = false;
        proj.GifSpeed = speedText.toDouble(&ok);
        if (!ok || !(proj.GifSpeed > 0))
            return Fail(QStringLiteral("--speed needs a positive number, not \"%1\"").arg(speedText));
    }
    if (!loopText.isEmpty()) {
        bool ok = false;
        proj.GifLoop = loopText.toInt(&ok);
        if (!ok || proj.GifLoop < -1 || proj.GifLoop > 65535)
            return Fail(QStringLiteral("--loop needs -1 (forever), 0 (once) or a count up to 65535, not \"%1\"").arg(loopText));
    }
    if (!rotateText.isEmpty()) {
        bool ok = false;
        const int deg = rotateText.toInt(&ok);
        if (!ok || deg < 0 || deg > 270 || deg % 90 != 0)
            return Fail(QStringLiteral("--rotate needs 0, 90, 180 or 270, not \"%1\"").arg(rotateText));
        proj.Rotation = uint8_t(deg / 90);
    }
    if (!flipText.isEmpty()) {
        if (flipText == QLatin1String("h")) proj.Flip = 1;
        else if (flipText == QLatin1String("v")) proj.Flip = 2;
        else if (flipText == QLatin1String("hv") || flipText == QLatin1String("vh")) proj.Flip = 3;
        else if (flipText == QLatin1String("none")) proj.Flip = 0;
        else return Fail(QStringLiteral("--flip needs h, v or hv, not \"%1\"").arg(flipText));
    }
    if (!orderText.isEmpty()) {
        if (orderText == QLatin1String("original")) proj.Sequence = 0;
        else if (orderText == QLatin1String("reverse")) proj.Sequence = 1;
        else if (orderText == QLatin1String("pingpong")) proj.Sequence = 2;
        else return Fail(QStringLiteral("--order needs original, reverse or pingpong, not \"%1\"").arg(orderText));
    }

    for (const TTextArgs& t : texts) {
        if (!t.HasAt)
            return Fail(QStringLiteral("--text \"%1\" needs --text-at X,Y").arg(t.Text));
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
        std::vector<int> r;
        if (logoRectText.isEmpty() || !ParseInts(logoRectText, 4, r) || r[2] < 1 || r[3] < 1)
            return Fail(QStringLiteral("--logo needs --logo-rect X,Y,W,H with W and H positive"));
        if (!QFileInfo::exists(logoFile))
            return Fail(QStringLiteral("The logo file \"%1\" does not exist.").arg(logoFile));
        proj.Logo.Enabled = true;
        proj.Logo.ImageFileName = logoFile;
        proj.Logo.X = r[0];
        proj.Logo.Y = r[1];
        proj.Logo.Width = r[2];
        proj.Logo.Height = r[3];
        if (proj.LogoImage().isNull())
            return Fail(QStringLiteral("The logo file \"%1\" is not a picture.").arg(logoFile));
    } else if (!logoRectText.isEmpty()) {
        return Fail(QStringLiteral("--logo-rect needs --logo FILE"));
    }

    // Deleted frames are marked on the frames the decoder shows at those
    // times, with their exact times, as the frame strip marks them.
    for (const QString& d : deletes) {
        int64_t pts = 0;
        if (!ParseTime(d, pts))
            return Fail(QStringLiteral("--delete needs times (hh:mm:ss.mmm or seconds), not \"%1\"").arg(d));
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
    CliErr(QStringLiteral("converting %1 (%2 - %3) to %4 x %5 at %6 fps, speed %7")
               .arg(in, FormatPTS(proj.StartPTS), FormatPTS(proj.EndPTS))
               .arg(size.width()).arg(size.height()).arg(proj.GifFPS).arg(proj.GifSpeed));

    TConvertReceiver receiver;
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<TVideo2GifThread> thread(proj.StartConversion(&receiver));
    receiver.Loop.exec();
    thread.reset();  // waits for the thread
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::fprintf(stderr, "\n");

    if (!receiver.Finished)
        return Fail(receiver.Error);
    const qint64 bytes = QFileInfo(out).size();
    CliOut(QStringLiteral("%1 frames written, %2 bytes, %3 s").arg(receiver.Written).arg(bytes).arg(seconds, 0, 'f', 2));
    if (receiver.Written >= receiver.Limit)
        CliErr(QStringLiteral("The frame limit of %1 was reached.").arg(receiver.Limit));
    return 0;
}

static CliCommand reg(
    "convert",
    "convert IN OUT.gif [--start T] [--end T | --duration S] [--size original|half|quarter|WxH] "
    "[--crop X,Y,W,H] [--fps N] [--speed X] [--loop N] [--rotate 0|90|180|270] [--flip h|v|hv] "
    "[--order original|reverse|pingpong] [--max-frames N] [--delete T ...] "
    "[--text TEXT --text-at X,Y [--font NAME --font-size N --color RRGGBB --align left|center|right] ...] "
    "[--logo FILE --logo-rect X,Y,W,H]",
    RunConvert);

}  // namespace
