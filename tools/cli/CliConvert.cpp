// ganterly-cli convert: a GIF from a stretch of a video, through the clip
// project and the conversion thread exactly as the program runs them.
#include "Cli.h"

#include "app/VGApp.h"
#include "model/VGConfig.h"
#include "model/VGProj.h"
#include "outside/FFDecoder.h"
#include "outside/VGConvert.h"
#include "outside/ZelMessages.h"
#include "outside/Zelfunction.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

namespace {

const char* const Usage =
    "convert IN OUT.gif [--start T] [--end T | --duration S] [--size original|half|quarter|WxH]"
    " [--crop X,Y,W,H] [--fps N] [--speed X] [--loop N] [--rotate 0|90|180|270] [--flip h|v|hv]"
    " [--order original|reverse|pingpong] [--max-frames N] [--delete T ...]"
    " [--text TEXT --text-at X,Y [--font NAME --font-size N --color RRGGBB --align left|center|right] ...]"
    " [--logo FILE --logo-rect X,Y,W,H]";

struct TTextArg {
    QString Text;
    int X = 0, Y = 0;
    bool HasAt = false;
    QString Font;
    int FontSize = -1;
    int Color = -1;           // 0x00BBGGRR
    int Align = -1;
};

struct TConvertArgs {
    QString In, Out;
    QString Start, End, Duration;
    QString Size;
    QString Crop;
    int Fps = -1;
    double Speed = -1;
    bool HasLoop = false;
    int Loop = 0;
    int Rotate = -1;
    int Flip = -1;
    int Order = -1;
    int MaxFrames = -1;
    QStringList Deletes;
    QList<TTextArg> Texts;
    QString Logo, LogoRect;
};

bool ToInt(const QString& s, int& v)
{
    bool ok = false;
    v = s.toInt(&ok);
    return ok;
}

// "a,b,c,d" with exactly n integers.
bool ToInts(const QString& s, int n, int* v)
{
    const QStringList parts = s.split(QLatin1Char(','));
    if (parts.size() != n)
        return false;
    for (int i = 0; i < n; ++i)
        if (!ToInt(parts[i].trimmed(), v[i]))
            return false;
    return true;
}

// Answers an empty text when the arguments are understood, else the reason.
QString Parse(const QStringList& args, TConvertArgs& a)
{
    QStringList pos;
    for (int i = 0; i < args.size(); ++i) {
        const QString& opt = args[i];
        if (!opt.startsWith(QLatin1String("--"))) {
            pos << opt;
            continue;
        }
        auto value = [&](QString& v) -> bool {
            if (i + 1 >= args.size())
                return false;
            v = args[++i];
            return true;
        };
        QString v;
        if (opt == QLatin1String("--delete")) {
            // One or more times, also as repeated --delete options.
            int taken = 0;
            while (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--"))) {
                a.Deletes << args[++i];
                ++taken;
            }
            if (taken == 0)
                return QStringLiteral("--delete needs a time");
            continue;
        }
        if (!value(v))
            return QStringLiteral("%1 needs a value").arg(opt);
        auto needText = [&]() -> TTextArg* { return a.Texts.isEmpty() ? nullptr : &a.Texts.last(); };
        if (opt == QLatin1String("--start")) a.Start = v;
        else if (opt == QLatin1String("--end")) a.End = v;
        else if (opt == QLatin1String("--duration")) a.Duration = v;
        else if (opt == QLatin1String("--size")) a.Size = v;
        else if (opt == QLatin1String("--crop")) a.Crop = v;
        else if (opt == QLatin1String("--fps")) { if (!ToInt(v, a.Fps) || a.Fps < 1) return QStringLiteral("bad --fps: ") + v; }
        else if (opt == QLatin1String("--speed")) { bool ok; a.Speed = v.toDouble(&ok); if (!ok || a.Speed <= 0) return QStringLiteral("bad --speed: ") + v; }
        else if (opt == QLatin1String("--loop")) { a.HasLoop = true; if (!ToInt(v, a.Loop) || a.Loop < -1) return QStringLiteral("bad --loop: ") + v; }
        else if (opt == QLatin1String("--rotate")) {
            int deg = 0;
            if (!ToInt(v, deg) || deg % 90 != 0 || deg < 0 || deg > 270) return QStringLiteral("bad --rotate: ") + v;
            a.Rotate = deg / 90;
        }
        else if (opt == QLatin1String("--flip")) {
            if (v == QLatin1String("h")) a.Flip = 1;
            else if (v == QLatin1String("v")) a.Flip = 2;
            else if (v == QLatin1String("hv") || v == QLatin1String("vh")) a.Flip = 3;
            else if (v == QLatin1String("none")) a.Flip = 0;
            else return QStringLiteral("bad --flip: ") + v;
        }
        else if (opt == QLatin1String("--order")) {
            const QStringList names{QStringLiteral("original"), QStringLiteral("reverse"), QStringLiteral("pingpong")};
            a.Order = int(names.indexOf(v));
            if (a.Order < 0) return QStringLiteral("bad --order: ") + v;
        }
        else if (opt == QLatin1String("--max-frames")) { if (!ToInt(v, a.MaxFrames)) return QStringLiteral("bad --max-frames: ") + v; }
        else if (opt == QLatin1String("--text")) { a.Texts.append(TTextArg{}); a.Texts.last().Text = v; }
        else if (opt == QLatin1String("--text-at") || opt == QLatin1String("--font") || opt == QLatin1String("--font-size") ||
                 opt == QLatin1String("--color") || opt == QLatin1String("--align")) {
            TTextArg* t = needText();
            if (!t) return opt + QStringLiteral(" must follow a --text");
            if (opt == QLatin1String("--text-at")) {
                int xy[2];
                if (!ToInts(v, 2, xy)) return QStringLiteral("bad --text-at: ") + v;
                t->X = xy[0]; t->Y = xy[1]; t->HasAt = true;
            } else if (opt == QLatin1String("--font")) {
                t->Font = v;
            } else if (opt == QLatin1String("--font-size")) {
                if (!ToInt(v, t->FontSize) || t->FontSize < 1) return QStringLiteral("bad --font-size: ") + v;
            } else if (opt == QLatin1String("--color")) {
                bool ok = false;
                const uint rgb = QString(v).remove(QLatin1Char('#')).toUInt(&ok, 16);
                if (!ok || v.size() < 6 || rgb > 0xFFFFFF) return QStringLiteral("bad --color: ") + v;
                t->Color = int(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
            } else {
                if (v == QLatin1String("left")) t->Align = int(VG::taLeftJustify);
                else if (v == QLatin1String("right")) t->Align = int(VG::taRightJustify);
                else if (v == QLatin1String("center") || v == QLatin1String("centre")) t->Align = int(VG::taCenter);
                else return QStringLiteral("bad --align: ") + v;
            }
        }
        else if (opt == QLatin1String("--logo")) a.Logo = v;
        else if (opt == QLatin1String("--logo-rect")) a.LogoRect = v;
        else return QStringLiteral("unknown option ") + opt;
    }
    if (pos.size() != 2)
        return QStringLiteral("convert needs IN and OUT.gif");
    a.In = pos[0];
    a.Out = pos[1];
    if (!a.End.isEmpty() && !a.Duration.isEmpty())
        return QStringLiteral("give --end or --duration, not both");
    for (const TTextArg& t : a.Texts)
        if (!t.HasAt)
            return QStringLiteral("--text \"%1\" needs --text-at X,Y").arg(t.Text);
    if (!a.Logo.isEmpty() && a.LogoRect.isEmpty())
        return QStringLiteral("--logo needs --logo-rect X,Y,W,H");
    return {};
}

// Collects the conversion thread's messages on the main thread.
class TReceiver : public QObject {
public:
    QEventLoop Loop;
    bool Finished = false;
    bool Failed = false;
    int Frames = 0;
    int Limit = 0;
    QString Error;
    int LastPercent = -1;

    bool event(QEvent* e) override
    {
        const int type = int(e->type());
        if (type != WM_CONVERTPROGRESS && type != WM_CONVERTFINISH && type != WM_CONVERTERROR)
            return QObject::event(e);
        auto* m = static_cast<TMessageEvent*>(e);
        if (type == WM_CONVERTPROGRESS) {
            const int percent = int(m->WParam & 0xFFFF);
            if (percent != LastPercent) {
                LastPercent = percent;
                std::fprintf(stderr, "\rconverting %3d%%", percent);
                std::fflush(stderr);
            }
        } else if (type == WM_CONVERTFINISH) {
            Finished = true;
            Frames = int(m->WParam);
            Limit = int(m->LParam);
            Loop.quit();
        } else {
            Failed = true;
            Error = m->Text;
            Loop.quit();
        }
        return true;
    }
};

}  // namespace

namespace {

int Fail(const QString& text)
{
    CliErr(QStringLiteral("convert: ") + text);
    return 1;
}

int64_t ParseTime(const QString& text, bool& ok)
{
    const int64_t t = StrToPTS(text, 3);
    ok = t != AV_NOPTS_VALUE && t >= 0;
    return t;
}

int RunConvert(const QStringList& args)
{
    TConvertArgs a;
    if (QString err = Parse(args, a); !err.isEmpty())
        return Fail(err);

    // The settings' defaults, as a fresh installation has them.
    std::unique_ptr<TVGConfig> config;
    if (!VGConfig) {
        config = std::make_unique<TVGConfig>();
        VGConfig = config.get();
    }
    struct TReset { std::unique_ptr<TVGConfig>& C; ~TReset() { if (C) VGConfig = nullptr; } } reset{config};
    if (a.MaxFrames >= 0)
        VGConfig->GifMaxFrame = a.MaxFrames;

    // Open the video as the main window does.
    TFFDecoder dec;
    dec.SetBitmapBitsPixel(24);
    if (!dec.LoadFile(a.In))
        return Fail(QStringLiteral("cannot open \"%1\": %2").arg(a.In, dec.LastError()));
    TVGProj proj;
    proj.VideoFileName = a.In;
    proj.GifFileName = QFileInfo(a.Out).absoluteFilePath();
    proj.LoadStreamInfo(&dec);
    if (!proj.HasVideo())
        return Fail(QStringLiteral("\"%1\" is not a valid video file.").arg(a.In));
    proj.CropRect = {0, 0, proj.VideoWidth, proj.VideoHeight};
    proj.StartPTS = 0;
    proj.EndPTS = proj.Duration;

    bool ok = true;
    if (!a.Start.isEmpty() && (proj.StartPTS = ParseTime(a.Start, ok), !ok))
        return Fail(QStringLiteral("bad --start: ") + a.Start);
    if (!a.End.isEmpty() && (proj.EndPTS = ParseTime(a.End, ok), !ok))
        return Fail(QStringLiteral("bad --end: ") + a.End);
    if (!a.Duration.isEmpty()) {
        const int64_t d = ParseTime(a.Duration, ok);
        if (!ok || d <= 0)
            return Fail(QStringLiteral("bad --duration: ") + a.Duration);
        proj.EndPTS = proj.StartPTS + d;
    }
    if (!proj.HasValidRange())
        return Fail(QStringLiteral("the clip range %1 - %2 is empty").arg(FormatPTS(proj.StartPTS), FormatPTS(proj.EndPTS)));

    if (!a.Crop.isEmpty()) {
        int v[4];
        if (!ToInts(a.Crop, 4, v) || v[2] < 1 || v[3] < 1)
            return Fail(QStringLiteral("bad --crop: ") + a.Crop);
        proj.UseCrop = true;
        proj.CropRect = {v[0], v[1], v[0] + v[2], v[1] + v[3]};
    }
    if (!a.Size.isEmpty()) {
        if (a.Size == QLatin1String("original")) proj.SizeStyle = ssOriginal;
        else if (a.Size == QLatin1String("half")) proj.SizeStyle = ssHalf;
        else if (a.Size == QLatin1String("quarter")) proj.SizeStyle = ssQuarter;
        else {
            const QStringList wh = a.Size.split(QLatin1Char('x'));
            int w = 0, h = 0;
            if (wh.size() != 2 || !ToInt(wh[0], w) || !ToInt(wh[1], h) || (w == -1 && h == -1) || w == 0 || h == 0 ||
                w < -1 || h < -1)
                return Fail(QStringLiteral("bad --size: ") + a.Size);
            // -1 keeps the aspect of the cropped (or whole) picture.
            const int bw = proj.UseCrop ? proj.CropRect.Width() : proj.VideoWidth;
            const int bh = proj.UseCrop ? proj.CropRect.Height() : proj.VideoHeight;
            if (w == -1) w = std::max(1, int(std::lround(double(h) * bw / bh)));
            if (h == -1) h = std::max(1, int(std::lround(double(w) * bh / bw)));
            proj.SizeStyle = ssCustom;
            proj.CustomWidth = w;
            proj.CustomHeight = h;
        }
    }
    if (a.Fps > 0) proj.GifFPS = a.Fps;
    if (a.Speed > 0) proj.GifSpeed = a.Speed;
    if (a.HasLoop) proj.GifLoop = a.Loop;
    if (a.Rotate >= 0) proj.Rotation = uint8_t(a.Rotate);
    if (a.Flip >= 0) proj.Flip = uint8_t(a.Flip);
    if (a.Order >= 0) proj.Sequence = uint8_t(a.Order);

    // Deleted frames: the frame on show at each time, by its exact time.
    for (const QString& t : a.Deletes) {
        const int64_t pts = ParseTime(t, ok);
        if (!ok)
            return Fail(QStringLiteral("bad --delete: ") + t);
        if (!LocateVideoPTS(&dec, pts))
            return Fail(QStringLiteral("no frame at %1 to delete").arg(t));
        proj.Frames.AddFrame(QString(), dec.CurrentPTS())->Deleted = true;
    }
    dec.CloseFile();

    for (const TTextArg& t : a.Texts) {
        TTextObj* obj = proj.Texts.Add();
        int color = 0;
        VGConfig->ApplyDefaultFont(obj->FontName, obj->FontSize, obj->FontStyles, color);
        obj->FontColor = uint32_t(color);
        obj->Text = t.Text;
        obj->X = t.X;
        obj->Y = t.Y;
        if (!t.Font.isEmpty()) obj->FontName = t.Font;
        if (t.FontSize > 0) obj->FontSize = t.FontSize;
        if (t.Color >= 0) obj->FontColor = uint32_t(t.Color);
        if (t.Align >= 0) obj->Alignment = TAlignment(t.Align);
    }
    if (!a.Logo.isEmpty()) {
        int v[4];
        if (!ToInts(a.LogoRect, 4, v) || v[2] < 1 || v[3] < 1)
            return Fail(QStringLiteral("bad --logo-rect: ") + a.LogoRect);
        if (!QFileInfo::exists(a.Logo))
            return Fail(QStringLiteral("logo file \"%1\" not found").arg(a.Logo));
        proj.Logo.Enabled = true;
        proj.Logo.ImageFileName = a.Logo;
        proj.Logo.X = v[0];
        proj.Logo.Y = v[1];
        proj.Logo.Width = v[2];
        proj.Logo.Height = v[3];
    }

    TReceiver rec;
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<TVideo2GifThread> thread(proj.StartConversion(&rec));
    rec.Loop.exec();
    thread.reset();
    std::fprintf(stderr, "\n");
    if (rec.Failed)
        return Fail(rec.Error);
    const double seconds = timer.elapsed() / 1000.0;
    CliOut(QStringLiteral("frames written: %1%2, file size: %3 bytes, seconds: %4")
               .arg(rec.Frames)
               .arg(rec.Frames >= rec.Limit ? QStringLiteral(" (frame limit reached)") : QString())
               .arg(GetFileSize(proj.GifFileName))
               .arg(seconds, 0, 'f', 2));
    return 0;
}

CliCommand reg("convert", Usage, RunConvert);

}  // namespace
