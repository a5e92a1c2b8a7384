// The video decoder on FFmpeg: demuxing, the send/receive decode loop, RGB
// conversion with swscale, seeking and exact-frame location.
#include "FFDecoder.h"
#include "VideoColour.h"
#include "VideoPicture.h"

#include "BitmapFile.h"
#include "ZelTime.h"
#include "Zelfunction.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <set>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

struct InputFree { void operator()(AVFormatContext* f) const { avformat_close_input(&f); } };
struct CodecCtxFree { void operator()(AVCodecContext* c) const { avcodec_free_context(&c); } };
struct FrameFree { void operator()(AVFrame* f) const { av_frame_free(&f); } };
struct PacketFree { void operator()(AVPacket* p) const { av_packet_free(&p); } };
struct SwsFree { void operator()(SwsContext* s) const { sws_freeContext(s); } };
using InputPtr = std::unique_ptr<AVFormatContext, InputFree>;
using CodecCtxPtr = std::unique_ptr<AVCodecContext, CodecCtxFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;

constexpr AVRational MicroBase{1, int(Unit_Nano)};
// The longest wait before the first video frame still counted as the usual
// audio/video skew rather than a delayed video start.
constexpr int64_t MaxVideoLeadUs = 1000000;

QString AvErr(int err)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return QString::fromUtf8(buf);
}

// Packets read while the frame rate is measured; later decoded first.
constexpr int ProbePackets = 48;
constexpr int ProbeReadLimit = 2000;
// Without a picture after this many packets the stream is taken as broken.
constexpr int PacketsWithoutPicture = 600;
// After a seek or damage, frames are dropped until a keyframe, but not forever.
constexpr int ResyncDropLimit = 400;
// Targets this close ahead are reached by decoding on, without a seek.
constexpr int64_t ForwardReach = 2 * Unit_Nano;

bool IsKeyFrame(const AVFrame* f) { return f->key_frame || f->pict_type == AV_PICTURE_TYPE_I; }

bool IsDamaged(const AVFrame* f) { return (f->flags & AV_FRAME_FLAG_CORRUPT) || f->decode_error_flags; }

// Common frame rates, so a measured 29.97 comes out as 30000/1001.
AVRational SnapRate(double fps)
{
    static const AVRational known[] = {{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}, {48, 1},
                                       {50, 1}, {60000, 1001}, {60, 1}, {100, 1}, {120, 1}, {15, 1},
                                       {12, 1}, {10, 1}, {8, 1}, {5, 1}, {1, 1}, {144, 1}, {240, 1}};
    for (const AVRational& r : known)
        if (std::fabs(av_q2d(r) - fps) <= av_q2d(r) * 0.004)
            return r;
    return av_d2q(fps, 100000);
}

// Pixel shapes beyond these are taken for broken tags rather than video.
constexpr int MaxAspectStretch = 8;

bool PlausibleAspect(AVRational r)
{
    return r.num > 0 && r.den > 0 && int64_t(r.num) * MaxAspectStretch >= r.den
        && int64_t(r.den) * MaxAspectStretch >= r.num;
}

// How a display matrix places the stored picture: a clockwise turn by a
// multiple of 90 degrees, then a left-right mirror when it reverses
// orientation (front cameras). The matrix maps a stored pixel (p, q), y
// downwards, to p' = a p + c q, q' = b p + d q; undoing the mirror (negating
// p') leaves a rotation whose first column (the image of the x axis) gives
// the angle. Angles between the quarter turns go to the nearest one.
struct TOrientation { int rotation = 0; bool mirror = false; };

TOrientation OrientationOf(const int32_t* m)
{
    const double a = m[0] / 65536.0, b = m[1] / 65536.0, c = m[3] / 65536.0, d = m[4] / 65536.0;
    const double det = a * d - b * c;
    TOrientation o;
    if (!(std::fabs(det) > 1e-9))
        return o;  // singular: says nothing about the picture
    o.mirror = det < 0;
    const double angle = std::atan2(b, o.mirror ? -a : a) * 180.0 / M_PI;
    o.rotation = ((int(std::lround(angle / 90.0)) * 90) % 360 + 360) % 360;
    return o;
}

// Errors a decoder logs, counted for the decoder: a picture decoded with a
// reference that is missing (after a seek to an I-frame the later pictures
// look past) comes out flagged as whole, and only the log says otherwise.
// The codec context and its thread copies carry the counter as their opaque
// pointer; the registry tells our counters from any other opaque value.
std::mutex& CodecErrorLock()
{
    static std::mutex lock;
    return lock;
}

std::set<const void*>& CodecErrorCounters()
{
    static std::set<const void*> counters;
    return counters;
}

void CountCodecError(void* avcl, int level)
{
    if (level > AV_LOG_ERROR || !avcl || *static_cast<const AVClass* const*>(avcl) != avcodec_get_class())
        return;
    const void* tag = static_cast<const AVCodecContext*>(avcl)->opaque;
    if (!tag)
        return;
    std::lock_guard<std::mutex> guard(CodecErrorLock());
    if (CodecErrorCounters().count(tag))
        ++*static_cast<std::atomic<int>*>(const_cast<void*>(tag));
}

// FFmpeg's warnings and errors reach our log, a line repeated at once only
// counted. Decoders on several threads log through the one sink; anything
// quieter than a warning is dropped before it is formatted.
struct TAvLogSink {
    std::mutex lock;
    std::string pending;   // the start of a line not yet ended
    std::string last;
    int repeats = 0;
    int prefix = 1;        // av_log_format_line2's state: a line starts next

    void Line(const std::string& text)
    {
        if (text == last) {
            ++repeats;
            return;
        }
        if (repeats)
            MsgOut(QStringLiteral("FFmpeg: the message before repeated %1 more times").arg(repeats));
        repeats = 0;
        last = text;
        MsgOut(QStringLiteral("FFmpeg: ") + QString::fromUtf8(text.data(), int(text.size())));
    }
};

TAvLogSink& AvLogSink()
{
    static TAvLogSink sink;
    return sink;
}

void AvLogToMsgOut(void* avcl, int level, const char* fmt, va_list vl)
{
    CountCodecError(avcl, level);
    if (level > AV_LOG_WARNING)
        return;
    TAvLogSink& sink = AvLogSink();
    char text[1024];
    std::lock_guard<std::mutex> guard(sink.lock);
    av_log_format_line2(avcl, level, fmt, vl, text, int(sizeof text), &sink.prefix);
    sink.pending += text;
    size_t nl;
    while ((nl = sink.pending.find('\n')) != std::string::npos) {
        const std::string line = sink.pending.substr(0, nl);
        sink.pending.erase(0, nl + 1);
        if (!line.empty())
            sink.Line(line);
    }
    if (sink.pending.size() > 4096) {  // a line that never ends
        sink.Line(sink.pending);
        sink.pending.clear();
    }
}

}  // namespace

int DisplayWidth(int width, int num, int den)
{
    if (width <= 0 || num == den || !PlausibleAspect(AVRational{num, den}))
        return width;
    // Nearest even width: round(width * num / den / 2) * 2, halves up.
    const int64_t half = av_rescale_rnd(width, num, int64_t(den) * 2, AV_ROUND_NEAR_INF);
    return int(std::max<int64_t>(1, half) * 2);
}

// Where the file's streams really end, from the packets of its last stretch,
// read through a second demuxer so the main one stays at the start. Header
// durations are not always end minus start: the Matroska demuxer, for one,
// reports the end time as the duration, and a truncated file still claims its
// full length. Microseconds on the container's clock; false when unknown.
struct TStreamEnds {
    int64_t fileEndUs = AV_NOPTS_VALUE, videoEndUs = AV_NOPTS_VALUE;
    int64_t videoLastUs = AV_NOPTS_VALUE;   // the time of the last picture
};

static bool ScanStreamEnds(const QByteArray& path, const AVInputFormat* ifmt, const AVFormatContext* main,
                           int vindex, TStreamEnds& out)
{
    // Formats whose streams only appear while reading have their end read by
    // libavformat itself; the stream numbers of a second demuxer could differ.
    if (main->ctx_flags & AVFMTCTX_NOHEADER)
        return false;
    if (!main->pb || !(main->pb->seekable & AVIO_SEEKABLE_NORMAL))
        return false;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.constData(), ifmt, nullptr) < 0)
        return false;
    InputPtr fmt(raw);
    if (fmt->nb_streams != main->nb_streams || fmt->streams[vindex]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
        return false;
    const AVStream* vst = fmt->streams[vindex];
    const int64_t headerEnd = main->duration != AV_NOPTS_VALUE && main->duration > 0
        ? (main->start_time != AV_NOPTS_VALUE ? main->start_time : 0) + main->duration
        : INT64_MAX / 2;
    const int64_t target = av_rescale_q(headerEnd, AVRational{1, AV_TIME_BASE}, vst->time_base);
    if (avformat_seek_file(fmt.get(), vindex, INT64_MIN, target, target, 0) < 0)
        return false;
    PacketPtr pkt(av_packet_alloc());
    constexpr int MaxPackets = 20000;  // a long GOP with its audio; beyond that the header stands
    int64_t fileEnd = AV_NOPTS_VALUE, videoEnd = AV_NOPTS_VALUE, videoLast = AV_NOPTS_VALUE;
    int n = 0;
    for (; n < MaxPackets && av_read_frame(fmt.get(), pkt.get()) >= 0; ++n) {
        const AVStream* st = fmt->streams[pkt->stream_index];
        if (pkt->pts != AV_NOPTS_VALUE) {
            const int64_t end = av_rescale_q(pkt->pts + std::max<int64_t>(pkt->duration, 0), st->time_base,
                                             AVRational{1, AV_TIME_BASE});
            fileEnd = fileEnd == AV_NOPTS_VALUE ? end : std::max(fileEnd, end);
            if (pkt->stream_index == vindex) {
                videoEnd = videoEnd == AV_NOPTS_VALUE ? end : std::max(videoEnd, end);
                const int64_t at = av_rescale_q(pkt->pts, st->time_base, AVRational{1, AV_TIME_BASE});
                videoLast = videoLast == AV_NOPTS_VALUE ? at : std::max(videoLast, at);
            }
        }
        av_packet_unref(pkt.get());
    }
    if (n >= MaxPackets || videoEnd == AV_NOPTS_VALUE)
        return false;
    out.fileEndUs = fileEnd;
    out.videoEndUs = videoEnd;
    out.videoLastUs = videoLast;
    return true;
}

// Errors logged by one decoder's codec; registered while it lives.
struct TCodecErrorCount {
    std::atomic<int> count{0};
    TCodecErrorCount()
    {
        std::lock_guard<std::mutex> guard(CodecErrorLock());
        CodecErrorCounters().insert(&count);
    }
    ~TCodecErrorCount()
    {
        std::lock_guard<std::mutex> guard(CodecErrorLock());
        CodecErrorCounters().erase(&count);
    }
    TCodecErrorCount(const TCodecErrorCount&) = delete;
    TCodecErrorCount& operator=(const TCodecErrorCount&) = delete;
};

struct TFFDecoder::Impl {
    TFFDecoder* owner = nullptr;
    InputPtr fmt;
    TCodecErrorCount codecErrors;  // outlives dec, whose threads may log
    CodecCtxPtr dec;
    AVStream* vst = nullptr;
    int vindex = -1;
    int64_t startTs = 0;          // stream time base
    int64_t timeOffsetUs = 0;
    int64_t reorderTicks = 0;     // how far frame times run behind, for files without presentation times
    TVideoStreamInfo video;
    TFileStreamInfo file;

    std::deque<PacketPtr> probed; // read ahead while measuring the frame rate
    std::function<bool(int64_t, int64_t)> skipHint;
    int64_t recentPts[16] = {};   // packet times last read, for the skip hint
    int recentCount = 0, recentNext = 0;
    int64_t skipped = 0;
    int64_t sent = 0;       // packets given to the codec
    PacketPtr pkt;
    FramePtr cur, prev, ahead;    // current frame, the one before, one decoded ahead
    int64_t curPts = AV_NOPTS_VALUE, prevPts = AV_NOPTS_VALUE, aheadPts = AV_NOPTS_VALUE;
    bool hasCur = false, hasPrev = false, hasAhead = false;
    int64_t lastOutPts = AV_NOPTS_VALUE;  // for frames without a time
    bool flushing = false;        // end of input sent to the codec
    bool atEnd = false;
    bool damaged = false;         // last Decode failed on damage
    int64_t damagedPts = AV_NOPTS_VALUE;  // time of the damaged picture, when known
    bool resync = false;          // dropping frames until a clean keyframe
    int resyncDropped = 0;
    bool fromFileStart = true;    // no seek since the file was opened
    // Decoding has run from the first byte without a seek: damage now is in
    // the file, not the price of starting at a keyframe that is no clean start.
    bool cleanRun = true;
    bool pictureDamage = false;   // the last damage was a damaged picture
    int64_t seekTs = AV_NOPTS_VALUE;  // where the last seek asked to go, stream time base
    int64_t landUs = AV_NOPTS_VALUE;  // time of the first packet read after it
    int errorsAtSeek = 0;         // codecErrors when the last seek was made
    int64_t firstPts = AV_NOPTS_VALUE;  // first frame of the file, once seen

    TColourConverter toImage, toRows;   // for CopyToBitmap and CopyToBitmapRows
    QImage rgb;                   // coded-orientation picture for turned or mirrored video
    QImage turned;                // turned, mirrored or stretched picture on its way to file rows
    std::vector<uint8_t> rgbBuf;  // swscale's output

    int64_t ToUs(int64_t ts) const
    {
        return ts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : av_rescale_q(ts - startTs, vst->time_base, MicroBase);
    }
    int64_t FromUs(int64_t us) const { return av_rescale_q(us, MicroBase, vst->time_base) + startTs; }

    int64_t FrameDurationUs() const
    {
        if (video.FrameRateNum > 0 && video.FrameRateDen > 0)
            return av_rescale(Unit_Nano, video.FrameRateDen, video.FrameRateNum);
        return 0;
    }

    void ResetFrames()
    {
        for (FramePtr* f : {&cur, &prev, &ahead})
            av_frame_unref(f->get());
        hasCur = hasPrev = hasAhead = false;
        curPts = prevPts = aheadPts = AV_NOPTS_VALUE;
        lastOutPts = AV_NOPTS_VALUE;
    }

    // Next video packet, from the probed ones first. False at the end of input.
    int ReadPacket()
    {
        av_packet_unref(pkt.get());
        if (!probed.empty()) {
            av_packet_move_ref(pkt.get(), probed.front().get());
            probed.pop_front();
            return 0;
        }
        for (;;) {
            const int ret = av_read_frame(fmt.get(), pkt.get());
            if (ret < 0)
                return ret;
            if (pkt->stream_index == vindex) {
                if (!cleanRun && landUs == AV_NOPTS_VALUE && pkt->pts != AV_NOPTS_VALUE)
                    landUs = ToUs(pkt->pts);
                return 0;
            }
            av_packet_unref(pkt.get());
        }
    }

    void MeasureFrameRate()
    {
        std::vector<int64_t> pts;
        for (int reads = 0; reads < ProbeReadLimit && int(probed.size()) < ProbePackets; ++reads) {
            PacketPtr p(av_packet_alloc());
            if (av_read_frame(fmt.get(), p.get()) < 0)
                break;
            if (p->stream_index != vindex)
                continue;
            if (p->pts != AV_NOPTS_VALUE)
                pts.push_back(p->pts);
            probed.push_back(std::move(p));
        }
        std::sort(pts.begin(), pts.end());
        pts.erase(std::unique(pts.begin(), pts.end()), pts.end());
        const double tb = av_q2d(vst->time_base);
        double measured = 0;  // seconds per frame
        if (pts.size() >= 3) {
            std::vector<int64_t> deltas;
            for (size_t i = 1; i < pts.size(); ++i)
                deltas.push_back(pts[i] - pts[i - 1]);
            std::vector<int64_t> sorted = deltas;
            std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
            const int64_t median = sorted[sorted.size() / 2];
            // Average over the regular deltas, so rounded container times
            // (33, 34, 33 ms) give 29.97 and not 30.3.
            int64_t sum = 0, n = 0;
            for (int64_t dlt : deltas)
                if (dlt > 0 && dlt <= median + median / 2 + 1) {
                    sum += dlt;
                    ++n;
                }
            if (n)
                measured = double(sum) / double(n) * tb;
        }
        AVRational rate{0, 1};
        if (measured > 0) {
            // The header's rates count only when the frames agree with them.
            const double tol = std::max(measured * 0.05, 1.5 * tb);
            for (AVRational cand : {vst->avg_frame_rate, vst->r_frame_rate})
                if (cand.num > 0 && cand.den > 0 && std::fabs(1.0 / av_q2d(cand) - measured) <= tol) {
                    rate = cand;
                    break;
                }
            if (!rate.num)
                rate = SnapRate(1.0 / measured);
        } else {
            for (AVRational cand : {vst->avg_frame_rate, vst->r_frame_rate})
                if (cand.num > 0 && cand.den > 0 && av_q2d(cand) < 500) {
                    rate = cand;
                    break;
                }
        }
        video.FrameRateNum = rate.num;
        video.FrameRateDen = rate.num ? rate.den : 0;
    }

    // Containers that store decoding times only (AVI) leave the decoder to
    // time each frame by the packet that pushed it out, which with B-frames
    // is a few packets later than the frame's own: every picture would run
    // that many frame periods late. The delay is measured once, on a decoder
    // of the same set-up fed with the first packets.
    void MeasureReorderDelay()
    {
        reorderTicks = 0;
        if (probed.empty())
            return;
        for (const PacketPtr& p : probed)
            if (p->pts != AV_NOPTS_VALUE)
                return;
        const int64_t firstDts = probed.front()->dts;
        if (firstDts == AV_NOPTS_VALUE)
            return;
        CodecCtxPtr probe(avcodec_alloc_context3(dec->codec));
        if (!probe || avcodec_parameters_to_context(probe.get(), vst->codecpar) < 0)
            return;
        probe->pkt_timebase = vst->time_base;
        probe->thread_count = dec->thread_count;
        if (avcodec_open2(probe.get(), dec->codec, nullptr) < 0)
            return;
        FramePtr f(av_frame_alloc());
        auto firstFrame = [&]() -> bool {
            return avcodec_receive_frame(probe.get(), f.get()) == 0;
        };
        bool got = false;
        for (const PacketPtr& p : probed) {
            if (avcodec_send_packet(probe.get(), p.get()) < 0)
                return;
            if ((got = firstFrame()))
                break;
        }
        if (!got) {
            avcodec_send_packet(probe.get(), nullptr);
            got = firstFrame();
        }
        if (got && f->best_effort_timestamp != AV_NOPTS_VALUE && f->best_effort_timestamp > firstDts)
            reorderTicks = f->best_effort_timestamp - firstDts;
    }

    // Asks the hint about the packet about to be decoded. Frames decode in
    // an order where the pictures a frame depends on come first, so the
    // packets already read often hold a later picture that makes this one
    // needless; only frames nothing refers to may then be dropped.
    void ApplySkipHint()
    {
        AVDiscard want = AVDISCARD_DEFAULT;
        if (pkt->pts != AV_NOPTS_VALUE && !(pkt->flags & AV_PKT_FLAG_KEY)) {
            int64_t later = AV_NOPTS_VALUE;
            for (int i = 0; i < recentCount; ++i)
                if (recentPts[i] > pkt->pts && (later == AV_NOPTS_VALUE || recentPts[i] < later))
                    later = recentPts[i];
            if (later != AV_NOPTS_VALUE && skipHint(ToUs(pkt->pts), ToUs(later)))
                want = AVDISCARD_NONREF;
        }
        if (pkt->pts != AV_NOPTS_VALUE) {
            recentPts[recentNext] = pkt->pts;
            recentNext = (recentNext + 1) % int(std::size(recentPts));
            recentCount = std::min(recentCount + 1, int(std::size(recentPts)));
        }
        if (want == AVDISCARD_NONREF)
            ++skipped;  // counted as asked; a referenced frame is decoded anyway
        dec->skip_frame = want;
    }

    // A new hint; without one every frame is decoded again, whatever the
    // last packet asked of the codec.
    void SetHint(std::function<bool(int64_t, int64_t)> hint)
    {
        skipHint = std::move(hint);
        recentCount = recentNext = 0;
        if (!skipHint && dec)
            dec->skip_frame = AVDISCARD_DEFAULT;
    }

    void SendFlush()
    {
        if (!flushing) {
            avcodec_send_packet(dec.get(), nullptr);
            flushing = true;
        }
    }

    enum class Got { Frame, End, Damage };

    // One decoded frame into `out`, the decode loop of FFmpeg's examples.
    Got DecodeInto(AVFrame* out)
    {
        int fruitless = 0;
        for (;;) {
            int ret = avcodec_receive_frame(dec.get(), out);
            if (ret == 0) {
                if (IsDamaged(out)) {
                    damagedPts = TimeOf(out);
                    av_frame_unref(out);
                    // After a seek, pictures shown before the keyframe may
                    // refer to what came before it (open GOPs); a damaged one
                    // at or after it says the keyframe is no clean start.
                    const bool leading = landUs != AV_NOPTS_VALUE && damagedPts < landUs;
                    if (resync && (cleanRun || leading) && ++resyncDropped < ResyncDropLimit)
                        continue;
                    resync = true;
                    resyncDropped = 0;
                    pictureDamage = true;
                    owner->Fail(QStringLiteral("decoding"), QStringLiteral("damaged picture after %1").arg(FormatPTS(lastOutPts)));
                    return Got::Damage;
                }
                if (!cleanRun && codecErrors.count.load() != errorsAtSeek) {
                    // The codec complained since the seek: this picture may
                    // be made from stand-ins for references it never saw.
                    damagedPts = TimeOf(out);
                    av_frame_unref(out);
                    resync = true;
                    resyncDropped = 0;
                    pictureDamage = true;
                    owner->Fail(QStringLiteral("decoding"), QStringLiteral("missing references after %1").arg(FormatPTS(lastOutPts)));
                    return Got::Damage;
                }
                if (resync) {
                    // After a seek or damage only a keyframe is a clean start.
                    if (!IsKeyFrame(out) && ++resyncDropped < ResyncDropLimit) {
                        av_frame_unref(out);
                        continue;
                    }
                    resync = false;
                }
                return Got::Frame;
            }
            if (ret == AVERROR_EOF)
                return Got::End;
            if (ret != AVERROR(EAGAIN)) {
                owner->Fail(QStringLiteral("decoding"), AvErr(ret));
                return Got::Damage;
            }
            if (flushing)
                return Got::End;
            if (++fruitless > PacketsWithoutPicture) {
                owner->Fail(QStringLiteral("decoding"), QStringLiteral("no picture in %1 packets").arg(PacketsWithoutPicture));
                SendFlush();
                return Got::Damage;
            }
            ret = ReadPacket();
            if (ret < 0) {
                if (ret != AVERROR_EOF)
                    owner->Fail(QStringLiteral("reading"), AvErr(ret));
                SendFlush();
                continue;
            }
            if (pkt->flags & AV_PKT_FLAG_CORRUPT) {
                // A packet cut short by the end of a truncated file: the
                // frames before it are good, it is not.
                owner->Fail(QStringLiteral("reading"), QStringLiteral("incomplete packet"));
                SendFlush();
                continue;
            }
            if (skipHint)
                ApplySkipHint();
            ret = avcodec_send_packet(dec.get(), pkt.get());
            if (ret >= 0)
                ++sent;
            if (ret < 0 && ret != AVERROR(EAGAIN)) {
                if (ret == AVERROR_EOF)
                    return Got::End;
                owner->Fail(QStringLiteral("decoding"), AvErr(ret));
                resync = true;
                resyncDropped = 0;
                return Got::Damage;
            }
        }
    }

    int64_t TimeOf(const AVFrame* f)
    {
        int64_t us = f->best_effort_timestamp == AV_NOPTS_VALUE ? AV_NOPTS_VALUE
                                                                 : ToUs(f->best_effort_timestamp - reorderTicks);
        if (us == AV_NOPTS_VALUE)
            us = ToUs(f->pts);
        if (us == AV_NOPTS_VALUE)
            us = lastOutPts == AV_NOPTS_VALUE ? 0 : lastOutPts + std::max<int64_t>(FrameDurationUs(), 1);
        return us;
    }

    bool Next()
    {
        damaged = false;
        damagedPts = AV_NOPTS_VALUE;
        if (hasAhead) {
            std::swap(prev, cur);
            std::swap(prevPts, curPts);
            hasPrev = hasCur;
            std::swap(cur, ahead);
            curPts = aheadPts;
            hasCur = true;
            av_frame_unref(ahead.get());
            hasAhead = false;
            return true;
        }
        if (atEnd)
            return false;
        av_frame_unref(prev.get());
        hasPrev = false;
        pictureDamage = false;
        const QString errorBefore = owner->FLastError;
        Got got = DecodeInto(prev.get());
        if (got == Got::Damage && pictureDamage && !cleanRun) {
            got = Backtrack(prev.get());
            if (got != Got::Damage)
                owner->FLastError = errorBefore;  // the damage was ours, not the file's
        }
        if (got != Got::Frame) {
            atEnd = got == Got::End;
            damaged = got == Got::Damage;
            return false;
        }
        // prev now holds the new frame: rotate the roles.
        std::swap(prev, cur);
        prevPts = curPts;
        hasPrev = hasCur;
        curPts = TimeOf(cur.get());
        lastOutPts = curPts;
        hasCur = true;
        // Containers may give a duration that ends at the last frame's start.
        if (curPts >= file.Duration || curPts >= video.Duration) {
            const int64_t end = curPts + std::max<int64_t>(FrameDurationUs(), 1);
            file.Duration = std::max(file.Duration, end);
            video.Duration = std::max(video.Duration, end);
        }
        if (fromFileStart) {
            if (firstPts == AV_NOPTS_VALUE)
                firstPts = curPts;
            fromFileStart = false;
        }
        return true;
    }

    // Damage after a seek: the keyframe decoding started from is no clean
    // start (an I-frame the following pictures look past, a sync sample that
    // is none). Decodes again from the keyframe before it, and when that is
    // no better from the start of the file, up to where decoding was; `out`
    // receives the next frame, the current one stays current. Damage seen
    // from the start of the file is real.
    Got Backtrack(AVFrame* out)
    {
        const bool hadCur = hasCur;
        // The next frame to hand out comes after this time.
        const int64_t after = hasCur ? curPts : landUs != AV_NOPTS_VALUE ? landUs - 1 : INT64_MIN;
        const int64_t from = seekTs;
        for (int step = 0; step < 2; ++step) {
            bool placed = false;
            if (step == 0 && from != AV_NOPTS_VALUE) {
                // The index entry the seek landed on, then the one before it.
                int idx = av_index_search_timestamp(vst, from, AVSEEK_FLAG_BACKWARD);
                const AVIndexEntry* e = idx >= 0 ? avformat_index_get_entry(vst, idx) : nullptr;
                idx = e ? av_index_search_timestamp(vst, e->timestamp - 1, AVSEEK_FLAG_BACKWARD) : -1;
                e = idx >= 0 ? avformat_index_get_entry(vst, idx) : nullptr;
                placed = e && e->timestamp > startTs && SeekTs(e->timestamp, AVSEEK_FLAG_BACKWARD);
            }
            if (!placed) {
                if (!Reopen())
                    return Got::Damage;
                step = 1;
            }
            for (;;) {
                pictureDamage = false;
                const Got got = DecodeInto(out);
                if (got == Got::End)
                    return got;
                if (got == Got::Damage) {
                    if (!cleanRun && pictureDamage)
                        break;  // no clean start either: from the start of the file
                    if (cleanRun && pictureDamage && damagedPts <= after)
                        continue;  // damage on the way, not where we were: resync past it
                    return got;
                }
                const int64_t t = TimeOf(out);
                if (fromFileStart) {
                    if (firstPts == AV_NOPTS_VALUE)
                        firstPts = t;
                    fromFileStart = false;
                }
                if (t > after)
                    return Got::Frame;
                lastOutPts = t;
                if (hadCur) {
                    av_frame_unref(cur.get());
                    av_frame_move_ref(cur.get(), out);
                    curPts = t;
                    hasCur = true;
                } else {
                    av_frame_unref(out);
                }
            }
        }
        return Got::Damage;
    }

    // Makes the frame before the current one current again, keeping the
    // current one to be handed out by the next Decode.
    void StepBack()
    {
        std::swap(ahead, cur);
        aheadPts = curPts;
        hasAhead = true;
        std::swap(cur, prev);
        curPts = prevPts;
        hasCur = hasPrev;
        av_frame_unref(prev.get());
        hasPrev = false;
    }

    bool SeekTs(int64_t ts, int flags)
    {
        const int ret = av_seek_frame(fmt.get(), vindex, ts, flags);
        if (ret < 0)
            return false;
        avcodec_flush_buffers(dec.get());
        recentCount = recentNext = 0;  // times from before the seek say nothing about what follows
        probed.clear();
        ResetFrames();
        flushing = false;
        atEnd = false;
        damaged = false;
        resync = true;
        resyncDropped = 0;
        fromFileStart = false;
        cleanRun = false;
        seekTs = (flags & AVSEEK_FLAG_BYTE) ? AV_NOPTS_VALUE : ts;
        landUs = AV_NOPTS_VALUE;
        errorsAtSeek = codecErrors.count.load();
        return true;
    }

    // Opens the file again and reads from its first byte: the one way back to
    // the first frame that every container supports.
    bool Reopen()
    {
        AVFormatContext* raw = nullptr;
        const AVInputFormat* ifmt = fmt->iformat;
        if (avformat_open_input(&raw, QFile::encodeName(owner->FileName()).constData(), ifmt, nullptr) < 0)
            return false;
        InputPtr fresh(raw);
        if (avformat_find_stream_info(fresh.get(), nullptr) < 0 || int(fresh->nb_streams) <= vindex)
            return false;
        AVStream* st = fresh->streams[vindex];
        if (st->codecpar->codec_id != vst->codecpar->codec_id)
            return false;
        for (unsigned i = 0; i < fresh->nb_streams; ++i)
            if (int(i) != vindex)
                fresh->streams[i]->discard = AVDISCARD_ALL;
        st->time_base = vst->time_base;
        fmt = std::move(fresh);
        vst = st;
        avcodec_flush_buffers(dec.get());
        recentCount = recentNext = 0;
        probed.clear();
        ResetFrames();
        flushing = atEnd = damaged = resync = false;
        resyncDropped = 0;
        fromFileStart = true;
        cleanRun = true;
        seekTs = landUs = AV_NOPTS_VALUE;
        return true;
    }
};

// ---- TFFDecoder ---------------------------------------------------------------------

TFFDecoder::TFFDecoder(QObject* owner) : QObject(owner), d(std::make_unique<Impl>())
{
    d->owner = this;
    static std::once_flag logOnce;
    std::call_once(logOnce, [] {
        av_log_set_level(AV_LOG_WARNING);
        av_log_set_callback(AvLogToMsgOut);
    });
}

TFFDecoder::~TFFDecoder() = default;

bool TFFDecoder::LoadAVLib(const QString& folder)
{
    FLibFolder = folder;
    return true;
}

bool TFFDecoder::Fail(const QString& stage, const QString& detail)
{
    FLastError = QStringLiteral("%1: %2%3").arg(QFileInfo(FFileName).fileName(), stage,
                                               detail.isEmpty() ? QString() : QStringLiteral(": ") + detail);
    return false;
}

bool TFFDecoder::FailOpen(const QString& stage, const QString& detail)
{
    Fail(stage, detail);
    const QString error = FLastError;
    const QString name = FFileName;
    CloseFile();
    FFileName = name;
    FLastError = error;
    return false;
}

void TFFDecoder::CloseFile()
{
    auto fresh = std::make_unique<Impl>();
    fresh->owner = this;
    d = std::move(fresh);
}

bool TFFDecoder::LoadFile(const QString& fileName, const QString& formatName)
{
    CloseFile();
    FFileName = fileName;
    FLastError.clear();
    Impl& m = *d;
    m.pkt.reset(av_packet_alloc());
    m.cur.reset(av_frame_alloc());
    m.prev.reset(av_frame_alloc());
    m.ahead.reset(av_frame_alloc());

    const AVInputFormat* ifmt = nullptr;
    if (!formatName.isEmpty()) {
        ifmt = av_find_input_format(formatName.toUtf8().constData());
        if (!ifmt)
            return Fail(QStringLiteral("opening"), QStringLiteral("unknown format ") + formatName);
    }
    AVFormatContext* raw = nullptr;
    int ret = avformat_open_input(&raw, QFile::encodeName(fileName).constData(), ifmt, nullptr);
    if (ret < 0)
        return Fail(QStringLiteral("opening"), AvErr(ret));
    m.fmt.reset(raw);
    ret = avformat_find_stream_info(m.fmt.get(), nullptr);
    if (ret < 0)
        return Fail(QStringLiteral("reading stream information"), AvErr(ret));

    m.file.FormatName = QString::fromUtf8(m.fmt->iformat->name);
    m.file.StreamCount = int(m.fmt->nb_streams);

    // A real video stream: has a size and a decoder, and is not cover art.
    const int best = av_find_best_stream(m.fmt.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    auto usable = [&](int i) {
        const AVStream* st = m.fmt->streams[i];
        return st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC)
            && st->codecpar->width > 0 && st->codecpar->height > 0 && avcodec_find_decoder(st->codecpar->codec_id);
    };
    int vi = best >= 0 && usable(best) ? best : -1;
    for (unsigned i = 0; vi < 0 && i < m.fmt->nb_streams; ++i)
        if (usable(int(i)))
            vi = int(i);

    const int64_t fileStart = m.fmt->start_time != AV_NOPTS_VALUE ? m.fmt->start_time : 0;
    if (vi < 0) {
        m.timeOffsetUs = fileStart;
        m.file.TimeOffset = fileStart;
        m.file.Duration = m.fmt->duration != AV_NOPTS_VALUE ? m.fmt->duration : 0;
        return Fail(QStringLiteral("finding the video stream"), QStringLiteral("no video stream"));
    }
    m.vindex = vi;
    m.vst = m.fmt->streams[vi];
    for (unsigned i = 0; i < m.fmt->nb_streams; ++i)
        if (int(i) != vi)
            m.fmt->streams[i]->discard = AVDISCARD_ALL;

    // Times count from the start of the file, as players and the command line
    // count them, so the usual small skew between audio and video (a few
    // milliseconds to some hundreds) leaves the video's times as they play. A
    // video that starts much later than the container counts from its own
    // first frame instead, so the clip does not open on a long still.
    const int64_t fileStartTs = av_rescale_q(fileStart, AVRational{1, AV_TIME_BASE}, m.vst->time_base);
    m.startTs = fileStartTs;
    if (m.vst->start_time != AV_NOPTS_VALUE) {
        const int64_t lead = av_rescale_q(m.vst->start_time - fileStartTs, m.vst->time_base, MicroBase);
        if (lead < 0 || lead > MaxVideoLeadUs)
            m.startTs = m.vst->start_time;
    }
    m.timeOffsetUs = av_rescale_q(m.startTs, m.vst->time_base, MicroBase);
    m.file.TimeOffset = m.timeOffsetUs;

    // A codec that will not open (damaged headers) leaves nothing usable:
    // every call then answers as for a file without video.
    const AVCodec* codec = avcodec_find_decoder(m.vst->codecpar->codec_id);
    CodecCtxPtr dec(avcodec_alloc_context3(codec));
    if (!dec)
        return FailOpen(QStringLiteral("setting up the %1 decoder").arg(QString::fromUtf8(codec->name)),
                        QStringLiteral("out of memory"));
    ret = avcodec_parameters_to_context(dec.get(), m.vst->codecpar);
    if (ret < 0)
        return FailOpen(QStringLiteral("setting up the %1 decoder").arg(QString::fromUtf8(codec->name)), AvErr(ret));
    dec->pkt_timebase = m.vst->time_base;
    dec->thread_count = FThreads;
    dec->opaque = &m.codecErrors.count;  // before the open, which copies it to the threads
    ret = avcodec_open2(dec.get(), codec, nullptr);
    if (ret < 0)
        return FailOpen(QStringLiteral("opening the %1 decoder").arg(QString::fromUtf8(codec->name)),
                        ret == AVERROR(EPERM) || ret == AVERROR_INVALIDDATA ? QStringLiteral("damaged codec headers")
                                                                             : AvErr(ret));
    m.dec = std::move(dec);

    TVideoStreamInfo& v = m.video;
    const AVCodecParameters* par = m.vst->codecpar;
    size_t matrixSize = 0;
    if (const uint8_t* sd = av_stream_get_side_data(m.vst, AV_PKT_DATA_DISPLAYMATRIX, &matrixSize);
        sd && matrixSize >= 9 * sizeof(int32_t)) {
        int32_t matrix[9];
        std::memcpy(matrix, sd, sizeof matrix);
        const TOrientation o = OrientationOf(matrix);
        v.Rotation = o.rotation;
        v.Mirrored = o.mirror;
    }
    // The pixel shape: the container's, else the codec's; players ignore
    // implausible ones, and so does the decoder.
    AVRational sar{0, 1};
    for (const AVRational r : {m.vst->sample_aspect_ratio, par->sample_aspect_ratio}) {
        if (r.num == 0)
            continue;
        if (PlausibleAspect(r)) {
            sar = r;
            break;
        }
        MsgOut(QStringLiteral("%1: sample aspect ratio %2:%3 ignored")
                   .arg(QFileInfo(fileName).fileName()).arg(r.num).arg(r.den));
    }
    if (sar.num > 0)
        av_reduce(&sar.num, &sar.den, sar.num, sar.den, INT_MAX);
    else
        sar = AVRational{1, 1};
    v.SampleAspectNum = sar.num;
    v.SampleAspectDen = sar.den;
    const int shownW = DisplayWidth(par->width, sar.num, sar.den);
    const bool swap = v.Rotation == 90 || v.Rotation == 270;
    v.Width = swap ? par->height : shownW;
    v.Height = swap ? shownW : par->height;
    v.CodecName = QString::fromUtf8(codec->name);
    const char* pf = av_get_pix_fmt_name(AVPixelFormat(par->format));
    v.PixelFormat = pf ? QString::fromUtf8(pf) : QString();
    const TVideoColour colour = VideoColourOf(par->format, par->color_space, par->color_range, par->width, par->height);
    v.FullRange = colour.FullRange;
    v.ColorMatrix = VideoMatrixName(colour.Matrix);
    v.FrameCount = m.vst->nb_frames;

    int64_t fileEnd = m.fmt->duration != AV_NOPTS_VALUE ? fileStart + m.fmt->duration : AV_NOPTS_VALUE;
    TStreamEnds ends;
    const bool scanned = ScanStreamEnds(QFile::encodeName(fileName), ifmt, m.fmt.get(), vi, ends);
    if (scanned)
        fileEnd = ends.fileEndUs;
    m.file.Duration = fileEnd != AV_NOPTS_VALUE ? std::max<int64_t>(0, fileEnd - m.timeOffsetUs) : 0;
    if (scanned)
        v.Duration = std::max<int64_t>(0, ends.videoEndUs - m.timeOffsetUs);
    else if (m.vst->duration != AV_NOPTS_VALUE && m.vst->duration > 0)
        v.Duration = av_rescale_q(m.vst->duration, m.vst->time_base, MicroBase);
    else
        v.Duration = m.file.Duration;
    if (m.file.Duration <= 0)
        m.file.Duration = v.Duration;

    m.MeasureFrameRate();
    // The last picture shows for a frame period whatever its packet says
    // (Matroska's often say nothing, or 1 ms), as when decoding reaches it.
    if (scanned && ends.videoLastUs != AV_NOPTS_VALUE && m.FrameDurationUs() > 0) {
        m.video.Duration = std::max(m.video.Duration, ends.videoLastUs - m.timeOffsetUs + m.FrameDurationUs());
        m.file.Duration = std::max(m.file.Duration, m.video.Duration);
    }
    m.MeasureReorderDelay();
    return true;
}

int TFFDecoder::VideoStreamIndex() const { return d->vindex; }

TVideoStreamInfo TFFDecoder::GetVideoStreamInfos(int index) const
{
    if (index == d->vindex && index >= 0)
        return d->video;
    TVideoStreamInfo info;
    if (!d->fmt || index < 0 || index >= int(d->fmt->nb_streams))
        return info;
    const AVStream* st = d->fmt->streams[index];
    info.Width = st->codecpar->width;
    info.Height = st->codecpar->height;
    info.FrameRateNum = st->avg_frame_rate.num;
    info.FrameRateDen = st->avg_frame_rate.den;
    if (st->duration != AV_NOPTS_VALUE)
        info.Duration = av_rescale_q(st->duration, st->time_base, MicroBase);
    info.FrameCount = st->nb_frames;
    if (const AVCodecDescriptor* desc = avcodec_descriptor_get(st->codecpar->codec_id))
        info.CodecName = QString::fromUtf8(desc->name);
    return info;
}

TVideoStreamInfo TFFDecoder::GetVideoStreamInfo() const { return d->vindex >= 0 ? d->video : TVideoStreamInfo{}; }

TFileStreamInfo TFFDecoder::GetFileStreamInfo() const { return d->file; }

void TFFDecoder::SetBitmapBitsPixel(int bits) { FBitsPixel = bits == 32 ? 32 : 24; }

bool TFFDecoder::Decode(int streamIndex)
{
    if (!d->dec || (streamIndex >= 0 && streamIndex != d->vindex))
        return false;
    return d->Next();
}

bool TFFDecoder::LastDecodeDamaged() const { return d->damaged; }

void TFFDecoder::SetSkipHint(std::function<bool(int64_t, int64_t)> superseded)
{
    d->SetHint(std::move(superseded));
}

int64_t TFFDecoder::SkippedFrames() const { return d->skipped; }
int64_t TFFDecoder::PacketsSent() const { return d->sent; }

// The current picture converted by swscale into dst (rows `stride` apart),
// with the context kept in `conv` for the next picture of the same kind.
// Pictures of non-square pixels are stretched to outW square ones in the same
// pass, with a filter fit for resampling; square-pixel video keeps the plain
// conversion.
bool TFFDecoder::ConvertCurrent(TColourConverter& conv, int dstFormat, int outW, uint8_t* dst, int stride)
{
    const AVFrame* f = d->cur.get();
    if (conv.Convert(f, dstFormat, outW, f->height, ConvertFlags(f->width, outW), dst, stride))
        return true;
    const char* name = av_get_pix_fmt_name(AVPixelFormat(VideoColourOf(f).Format));
    return Fail(QStringLiteral("converting to RGB"), QStringLiteral("no conversion from %1").arg(QString::fromUtf8(name)));
}

bool TFFDecoder::CopyToBitmap(QImage& bitmap)
{
    Impl& m = *d;
    if (!m.hasCur)
        return false;
    const AVFrame* f = m.cur.get();
    const bool rgb32 = FBitsPixel == 32;
    const AVPixelFormat dst = rgb32 ? AV_PIX_FMT_RGB32 : AV_PIX_FMT_RGB24;
    const QImage::Format qfmt = rgb32 ? QImage::Format_RGB32 : QImage::Format_RGB888;
    const int outW = DisplayWidth(f->width, m.video.SampleAspectNum, m.video.SampleAspectDen);
    // swscale's fast paths write a few bytes past the end of a line, so it
    // converts into a padded buffer of ours and the lines are copied out.
    const int bpp = rgb32 ? 4 : 3;
    const int stride = FFALIGN(outW * bpp, 64);
    const size_t need = size_t(stride) * size_t(f->height + 1) + 256;
    if (m.rgbBuf.size() < need)
        m.rgbBuf.assign(need, 0);
    if (!ConvertCurrent(m.toImage, dst, outW, m.rgbBuf.data(), stride))
        return false;

    const int rotation = m.video.Rotation;
    const bool mirror = m.video.Mirrored;
    QImage& target = rotation || mirror ? m.rgb : bitmap;
    if (target.width() != outW || target.height() != f->height || target.format() != qfmt)
        target = QImage(outW, f->height, qfmt);
    if (target.isNull())
        return Fail(QStringLiteral("converting to RGB"), QStringLiteral("out of memory"));
    const size_t lineBytes = size_t(outW) * size_t(bpp);
    for (int y = 0; y < f->height; ++y)
        std::memcpy(target.scanLine(y), m.rgbBuf.data() + size_t(y) * size_t(stride), lineBytes);
    if ((rotation || mirror) && !OrientPicture(m.rgb, bitmap, rotation, mirror))
        return Fail(QStringLiteral("converting to RGB"), QStringLiteral("out of memory"));
    return true;
}

bool TFFDecoder::CopyToBitmapRows(TBitmapRows& rows)
{
    Impl& m = *d;
    if (!m.hasCur)
        return false;
    const AVFrame* f = m.cur.get();
    if (m.video.Rotation || m.video.Mirrored
        || DisplayWidth(f->width, m.video.SampleAspectNum, m.video.SampleAspectDen) != f->width) {
        // Turned, mirrored or stretched pictures are rare: the general path, then into file rows.
        if (!CopyToBitmap(m.turned))
            return false;
        if (!ImageToBitmapRows(m.turned, rows))
            return Fail(QStringLiteral("converting to RGB"), QStringLiteral("out of memory"));
        return true;
    }
    if (!rows.Resize(f->width, f->height))
        return Fail(QStringLiteral("converting to RGB"),
                    QStringLiteral("no room for a %1x%2 picture").arg(f->width).arg(f->height));
    // Blue first, as the file stores it, at the same padded row distance as
    // CopyToBitmap uses: swscale takes the same path and gives the same colours.
    if (!ConvertCurrent(m.toRows, AV_PIX_FMT_BGR24, f->width, rows.Data.data(), rows.Stride))
        return false;
    rows.ClearPadding();
    return true;
}

bool TFFDecoder::Seek(int64_t pts, TSeekFlags flags)
{
    if (!d->dec)
        return false;
    const int ffFlags = int(flags & (AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_BYTE | AVSEEK_FLAG_ANY));
    const int64_t ts = (flags & sfByte) ? pts : d->FromUs(pts);
    if (!d->SeekTs(ts, ffFlags))
        return Fail(QStringLiteral("seeking"), QStringLiteral("to ") + FormatPTS(pts));
    return true;
}

int64_t TFFDecoder::CurrentPTS() const { return d->hasCur ? d->curPts : AV_NOPTS_VALUE; }

int64_t TFFDecoder::CurrentDuration() const
{
    if (!d->hasCur)
        return 0;
    if (d->hasAhead && d->aheadPts > d->curPts)
        return d->aheadPts - d->curPts;
    const int64_t dur = d->cur->pkt_duration;
    if (dur > 0)
        return av_rescale_q(dur, d->vst->time_base, MicroBase);
    return d->FrameDurationUs();
}

bool TFFDecoder::HasFrame() const { return d->hasCur; }

const AVFrame* TFFDecoder::CurrentAVFrame() const { return d->hasCur ? d->cur.get() : nullptr; }

std::unique_ptr<TVideoPicture> TFFDecoder::TakePicture() const
{
    if (!d->hasCur)
        return nullptr;
    const TPictureShape shape{d->video.SampleAspectNum, d->video.SampleAspectDen, d->video.Rotation, d->video.Mirrored};
    auto picture = std::make_unique<TVideoPicture>(d->cur.get(), shape);
    return picture->IsNull() ? nullptr : std::move(picture);
}

// ---- exact location ---------------------------------------------------------------------

namespace {

enum class Walk { Found, Failed, Cancelled };

// From the current frame (at or before pts), decodes on until the next frame
// would be after pts, and leaves the decoder on the last one that is not.
Walk WalkTo(TFFDecoder* dec, TFFDecoder::Impl& m, int64_t pts, const std::function<bool()>& go)
{
    while (true) {
        if (m.hasAhead) {
            if (m.aheadPts > pts)
                return Walk::Found;
        }
        if (go && !go())
            return Walk::Cancelled;
        if (!dec->Decode(-1)) {
            // The end of the stream: the last frame is the one shown. Damage
            // after the target leaves the clean current frame standing.
            if (!m.damaged)
                return Walk::Found;
            return m.hasCur && m.damagedPts != AV_NOPTS_VALUE && m.damagedPts > pts ? Walk::Found : Walk::Failed;
        }
        if (m.curPts > pts) {
            if (!m.hasPrev)
                return Walk::Found;  // only the first frame can be after pts
            m.StepBack();
            return Walk::Found;
        }
    }
}

// Index entries say where the keyframes are: the last one at or before toUs,
// AV_NOPTS_VALUE when the index lists none (some containers read their index
// only on the first seek).
int64_t KeyframeBefore(TFFDecoder::Impl& m, int64_t toUs)
{
    const int idx = av_index_search_timestamp(m.vst, m.FromUs(toUs), AVSEEK_FLAG_BACKWARD);
    if (idx < 0)
        return AV_NOPTS_VALUE;
    const AVIndexEntry* e = avformat_index_get_entry(m.vst, idx);
    return e ? m.ToUs(e->timestamp) : AV_NOPTS_VALUE;
}

}  // namespace

bool LocateVideoPTSCallback(TFFDecoder* decoder, int64_t pts, const std::function<bool()>& continueFn)
{
    if (!decoder || decoder->VideoStreamIndex() < 0 || pts == AV_NOPTS_VALUE)
        return false;
    TFFDecoder::Impl& m = *decoder->Internals();
    // On the way to the target, a frame that a later one not after the target
    // follows is never the answer: when nothing refers to it, it need not be
    // decoded. The caller's own hint comes back afterwards.
    struct THintGuard {
        TFFDecoder::Impl& M;
        std::function<bool(int64_t, int64_t)> Saved;
        ~THintGuard() { M.SetHint(std::move(Saved)); }
    } guard{m, m.skipHint};
    m.SetHint([pts](int64_t, int64_t later) { return later <= pts; });

    // Already there, or close enough ahead to decode on.
    if (m.hasCur && !m.damaged && m.curPts <= pts) {
        if (m.curPts == pts || (m.hasAhead && m.aheadPts > pts) || (m.atEnd && !m.hasAhead))
            return true;
        const int64_t gap = pts - m.curPts;
        // Decoding on pays for every frame on the way, a seek only for those
        // from the keyframe before the target: within reach decoding on wins,
        // unless a keyframe lies far along the way (a sample's next stretch).
        // A short step (playing, stepping) decodes on without asking the index.
        const int64_t key = gap > ForwardReach / 8 ? KeyframeBefore(m, pts) : AV_NOPTS_VALUE;
        const bool keyBetween = key != AV_NOPTS_VALUE && key > m.curPts;
        const bool keyFarAlong = keyBetween && (pts - key) * 4 < gap;
        if (!keyBetween || (gap <= ForwardReach && !keyFarAlong)) {
            const Walk w = WalkTo(decoder, m, pts, continueFn);
            if (w != Walk::Failed)
                return w == Walk::Found;
        }
    }

    // Seek to a keyframe before the target; when that lands after it (B-frames,
    // open GOPs, coarse indexes), seek further back.
    int64_t seekUs = pts;
    int64_t back = Unit_Nano / 2;
    bool endChecked = false;
    for (int attempt = 0; attempt < 12; ++attempt) {
        if (continueFn && !continueFn())
            return false;
        bool fromStart = seekUs <= 0;
        bool reopened = false;
        if (!m.SeekTs(fromStart ? m.startTs : m.FromUs(seekUs), AVSEEK_FLAG_BACKWARD)) {
            if (!fromStart) {
                seekUs = 0;
                continue;
            }
            if (!m.Reopen())
                return decoder->Fail(QStringLiteral("seeking"), QStringLiteral("to the start"));
            reopened = true;
        }
        if (!decoder->Decode(-1)) {
            if (!fromStart && !m.damaged) {
                seekUs = std::max<int64_t>(0, seekUs - back);
                back *= 2;
                continue;
            }
            return false;
        }
        if (m.curPts > pts && !fromStart) {
            seekUs = std::min(seekUs, m.curPts) - back;
            back *= 2;
            if (seekUs < 0)
                seekUs = 0;
            continue;
        }
        if (m.curPts > pts) {
            // Before the first frame the first frame is shown, but only a
            // read from the first byte proves that this is the first frame
            // (some containers seek only roughly).
            if (m.firstPts == AV_NOPTS_VALUE || m.curPts > m.firstPts) {
                if (reopened)
                    return true;
                if (!m.Reopen() || !decoder->Decode(-1))
                    return false;
                if (m.curPts > pts)
                    return true;
            } else {
                return true;
            }
        }
        // Right after an open-GOP keyframe at the end of a stream FFmpeg can
        // lose the last frames, so an end reached from a seek is checked once
        // by starting from a keyframe further back.
        const int64_t landed = m.curPts;
        const Walk w = WalkTo(decoder, m, pts, continueFn);
        if (w == Walk::Found && !fromStart && !endChecked && m.atEnd && !m.hasAhead && attempt < 11) {
            endChecked = true;
            seekUs = std::max<int64_t>(0, std::min(seekUs, landed) - back);
            back *= 2;
            continue;
        }
        return w == Walk::Found;
    }
    return false;
}

bool LocateVideoPTS(TFFDecoder* decoder, int64_t pts)
{
    return LocateVideoPTSCallback(decoder, pts, {});
}

// ---- time text ---------------------------------------------------------------------------

QString FormatPTS(int64_t pts, int digits) { return TimeToText(pts, digits); }

int64_t StrToPTS(const QString& text, int digits)
{
    Q_UNUSED(digits);
    const int64_t t = TextToTime(text);
    return t == NoTimeValue ? AV_NOPTS_VALUE : t;
}
