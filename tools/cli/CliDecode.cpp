// ganterly-cli info / frame / group: the decoder from the command line.
#include "Cli.h"

#include "FFDecoder.h"

#include <QFileInfo>
#include <QImage>

namespace {

// Opens the file; on failure prints why and answers false.
bool OpenVideo(TFFDecoder& dec, const QString& file)
{
    CliStartApp();
    if (!QFileInfo::exists(file)) {
        CliErr(QStringLiteral("%1: no such file").arg(file));
        return false;
    }
    dec.LoadFile(file);
    if (dec.VideoStreamIndex() < 0) {
        const QString why = dec.LastError().isEmpty() ? QStringLiteral("no video stream") : dec.LastError();
        CliErr(QStringLiteral("%1: not a video file (%2)").arg(file, why));
        return false;
    }
    return true;
}

bool ReadTime(const QString& command, const QString& text, int64_t& pts)
{
    pts = StrToPTS(text, 3);
    if (pts == AV_NOPTS_VALUE) {
        CliUsageError(command, QStringLiteral("not a time: %1 (use hh:mm:ss.mmm or seconds)").arg(text));
        return false;
    }
    return true;
}

QString TimeLine(int64_t pts) { return QStringLiteral("%1 %2").arg(pts).arg(FormatPTS(pts, 3)); }

int Info(const TCliArgs& a)
{
    const QStringList& args = a.Files;
    if (args.size() != 1)
        return CliUsageError(QStringLiteral("info"), QStringLiteral("needs one FILE"));
    TFFDecoder dec;
    if (!OpenVideo(dec, args[0]))
        return 1;
    const TVideoStreamInfo v = dec.GetVideoStreamInfo();
    const TFileStreamInfo f = dec.GetFileStreamInfo();
    const double rate = v.FrameRateDen ? double(v.FrameRateNum) / v.FrameRateDen : 0.0;
    CliOut(QStringLiteral("video_stream: %1").arg(dec.VideoStreamIndex()));
    CliOut(QStringLiteral("width: %1").arg(v.Width));
    CliOut(QStringLiteral("height: %1").arg(v.Height));
    CliOut(QStringLiteral("frame_rate: %1").arg(rate, 0, 'f', 3));
    CliOut(QStringLiteral("frame_rate_fraction: %1/%2").arg(v.FrameRateNum).arg(v.FrameRateDen));
    CliOut(QStringLiteral("duration_us: %1").arg(f.Duration));
    CliOut(QStringLiteral("duration: %1").arg(FormatPTS(f.Duration, 3)));
    CliOut(QStringLiteral("time_offset_us: %1").arg(f.TimeOffset));
    CliOut(QStringLiteral("rotation: %1").arg(v.Rotation));
    CliOut(QStringLiteral("mirrored: %1").arg(v.Mirrored ? 1 : 0));
    CliOut(QStringLiteral("sample_aspect: %1:%2").arg(v.SampleAspectNum).arg(v.SampleAspectDen));
    CliOut(QStringLiteral("codec: %1").arg(v.CodecName));
    CliOut(QStringLiteral("pixel_format: %1").arg(v.PixelFormat));
    CliOut(QStringLiteral("format: %1").arg(f.FormatName));
    return 0;
}

int Frame(const TCliArgs& a)
{
    const QStringList& args = a.Files;
    if (args.size() != 3)
        return CliUsageError(QStringLiteral("frame"), QStringLiteral("needs FILE TIME OUT.png"));
    int64_t pts = 0;
    if (!ReadTime(QStringLiteral("frame"), args[1], pts))
        return CliUsage;
    TFFDecoder dec;
    if (!OpenVideo(dec, args[0]))
        return 1;
    // The decoder shows the last frame for any later time (the player's
    // end); asked for one picture, the command line says the time is wrong.
    const int64_t duration = dec.GetFileStreamInfo().Duration;
    if (duration > 0 && pts >= duration) {
        CliErr(QStringLiteral("%1: %2 is past the end of the video (duration %3)")
                   .arg(args[0], FormatPTS(pts, 3), FormatPTS(duration, 3)));
        return 1;
    }
    QImage img;
    if (!LocateVideoPTS(&dec, pts) || !dec.CopyToBitmap(img)) {
        CliErr(QStringLiteral("%1: no frame at %2 (%3)").arg(args[0], FormatPTS(pts, 3), dec.LastError()));
        return 1;
    }
    if (!img.save(args[2], "PNG")) {
        CliErr(QStringLiteral("%1: cannot write the picture").arg(args[2]));
        return 1;
    }
    CliOut(QString::number(dec.CurrentPTS()));
    return 0;
}

// The frames a group decode gives: the located frame, then COUNT-1 decodes.
int Group(const TCliArgs& a)
{
    const QStringList& args = a.Files;
    if (args.size() != 3)
        return CliUsageError(QStringLiteral("group"), QStringLiteral("needs FILE TIME COUNT"));
    int64_t pts = 0;
    if (!ReadTime(QStringLiteral("group"), args[1], pts))
        return CliUsage;
    bool ok = false;
    const int count = args[2].toInt(&ok);
    if (!ok || count < 1)
        return CliUsageError(QStringLiteral("group"), QStringLiteral("not a count of frames: %1").arg(args[2]));
    TFFDecoder dec;
    if (!OpenVideo(dec, args[0]))
        return 1;
    if (!LocateVideoPTS(&dec, pts)) {
        CliErr(QStringLiteral("%1: no frame at %2 (%3)").arg(args[0], FormatPTS(pts, 3), dec.LastError()));
        return 1;
    }
    CliOut(TimeLine(dec.CurrentPTS()));
    for (int i = 1; i < count && dec.Decode(-1); ++i)
        CliOut(TimeLine(dec.CurrentPTS()));
    return 0;
}

CliCommand regInfo("info", "info FILE\nPrints what the decoder reads from the file's video stream.", {}, Info);
CliCommand regFrame("frame", "frame FILE TIME OUT.png\n"
                    "Writes the frame on show at TIME (hh:mm:ss.mmm or seconds) as a PNG picture and prints its time.",
                    {}, Frame);
CliCommand regGroup("group", "group FILE TIME COUNT\n"
                    "Prints the times of COUNT frames decoded one after another from the frame on show at TIME.",
                    {}, Group);

}  // namespace
