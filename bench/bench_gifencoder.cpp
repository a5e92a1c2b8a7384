// Drives TGifEncoder from an FFmpeg decode + "fps,scale" filter chain, with the
// argument form of the converter, so the reference script can time it:
//   bench_gifencoder IN OUT.gif --start S --duration D --size WxH --fps F
//                    [--quality Q] [--speed S] [--dither D] [--tolerance T] [--threads N]
// Prints frames written, size, seconds and peak memory on stderr.

#include "GifEncoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

namespace {
struct TFmtFree { void operator()(AVFormatContext* p) const { avformat_close_input(&p); } };
struct TCodecFree { void operator()(AVCodecContext* p) const { avcodec_free_context(&p); } };
struct TGraphFree { void operator()(AVFilterGraph* p) const { avfilter_graph_free(&p); } };
struct TFrameFree { void operator()(AVFrame* p) const { av_frame_free(&p); } };
struct TPacketFree { void operator()(AVPacket* p) const { av_packet_free(&p); } };

int Fail(const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    return 1;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) return Fail("usage: bench_gifencoder IN OUT.gif --start S --duration D --size WxH --fps F");
    const QString in = args[0], out = args[1];
    double start = 0, duration = 1e9;
    int width = 480, height = -1, fps = 15;
    TGifEncoderOptions opt;
    for (int i = 2; i + 1 < args.size(); i += 2) {
        const QString& k = args[i];
        const QString& v = args[i + 1];
        if (k == "--start") start = v.toDouble();
        else if (k == "--duration") duration = v.toDouble();
        else if (k == "--size") { width = v.section('x', 0, 0).toInt(); height = v.section('x', 1, 1).toInt(); }
        else if (k == "--fps") fps = v.toInt();
        else if (k == "--quality") opt.Quality = v.toInt();
        else if (k == "--speed") opt.Speed = v.toInt();
        else if (k == "--clean-speed") opt.CleanSpeed = v.toInt();
        else if (k == "--contrast-full") opt.ContrastFull = v.toFloat();
        else if (k == "--contrast-share") opt.ContrastMinShare = v.toFloat();
        else if (k == "--dither") opt.Dither = v.toFloat();
        else if (k == "--tolerance") opt.Tolerance = v.toInt();
        else if (k == "--threads") opt.Threads = v.toInt();
        else if (k == "--reuse") opt.ReuseRatio = v.toFloat();
        else if (k == "--noise-floor") opt.NoiseFloor = v.toFloat();
        else if (k == "--tol-noise") opt.TolerancePerNoise = v.toFloat();
        else if (k == "--slack-noise") opt.SlackPerNoise = v.toFloat();
        else if (k == "--reuse-slack") opt.ReuseSlack = v.toFloat();
        else if (k == "--colours") opt.MaxColours = v.toInt();
        else if (k == "--small-pixels") opt.SmallPixels = v.toInt();
        else if (k == "--small-colours") opt.SmallColours = v.toInt();
        else if (k == "--cut-speed") opt.CutSpeed = v.toInt();
        else if (k == "--subsample") opt.SearchSubsample = v.toInt();
        else if (k == "--cut-quality") opt.CutQuality = v.toInt();
        else if (k == "--slack") opt.KeepSlack = v.toInt();
        else if (k == "--slack-mse") opt.KeepSlackPerMse = v.toFloat();
        else return Fail("unknown option " + k);
    }
    QElapsedTimer timer;
    timer.start();

    AVFormatContext* rawFmt = nullptr;
    if (avformat_open_input(&rawFmt, in.toLocal8Bit().constData(), nullptr, nullptr) < 0)
        return Fail("cannot open " + in);
    std::unique_ptr<AVFormatContext, TFmtFree> fmt(rawFmt);
    if (avformat_find_stream_info(fmt.get(), nullptr) < 0) return Fail("cannot read the streams of " + in);
    const AVCodec* codec = nullptr;
    const int si = av_find_best_stream(fmt.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (si < 0) return Fail("no video stream in " + in);
    AVStream* st = fmt->streams[si];
    std::unique_ptr<AVCodecContext, TCodecFree> dec(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(dec.get(), st->codecpar);
    dec->thread_count = 0;
    if (avcodec_open2(dec.get(), codec, nullptr) < 0) return Fail("cannot open the decoder of " + in);
    const AVRational tb = st->time_base;
    // Like the ffmpeg command line: times count from the container's start.
    const int64_t startTs = av_rescale_q(int64_t(start * AV_TIME_BASE)
        + (fmt->start_time == AV_NOPTS_VALUE ? 0 : fmt->start_time), AV_TIME_BASE_Q, tb);
    const int64_t durTs = av_rescale_q(int64_t(duration * AV_TIME_BASE), AV_TIME_BASE_Q, tb);
    if (start > 0) av_seek_frame(fmt.get(), si, startTs, AVSEEK_FLAG_BACKWARD);

    std::unique_ptr<AVFilterGraph, TGraphFree> graph(avfilter_graph_alloc());
    AVFilterContext *src = nullptr, *sink = nullptr;
    const QString srcArgs = QString("video_size=%1x%2:pix_fmt=%3:time_base=%4/%5:pixel_aspect=%6/%7")
        .arg(dec->width).arg(dec->height).arg(int(dec->pix_fmt)).arg(tb.num).arg(tb.den)
        .arg(std::max(1, dec->sample_aspect_ratio.num)).arg(std::max(1, dec->sample_aspect_ratio.den));
    if (avfilter_graph_create_filter(&src, avfilter_get_by_name("buffer"), "in", srcArgs.toLatin1().constData(), nullptr, graph.get()) < 0
        || avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph.get()) < 0)
        return Fail("cannot build the filters");
    AVFilterInOut* outs = avfilter_inout_alloc();
    AVFilterInOut* ins = avfilter_inout_alloc();
    outs->name = av_strdup("in"); outs->filter_ctx = src; outs->pad_idx = 0; outs->next = nullptr;
    ins->name = av_strdup("out"); ins->filter_ctx = sink; ins->pad_idx = 0; ins->next = nullptr;
    const QString chain = QString("fps=%1,scale=%2:%3:flags=lanczos,format=rgb24").arg(fps).arg(width).arg(height);
    const int pr = avfilter_graph_parse_ptr(graph.get(), chain.toLatin1().constData(), &ins, &outs, nullptr);
    avfilter_inout_free(&ins);
    avfilter_inout_free(&outs);
    if (pr < 0 || avfilter_graph_config(graph.get(), nullptr) < 0) return Fail("cannot configure " + chain);
    const int outW = av_buffersink_get_w(sink), outH = av_buffersink_get_h(sink);

    opt.Width = outW;
    opt.Height = outH;
    TGifEncoder enc;
    if (!enc.Open(out, opt)) return Fail(enc.LastError());

    std::unique_ptr<AVFrame, TFrameFree> frame(av_frame_alloc()), rgb(av_frame_alloc());
    std::unique_ptr<AVPacket, TPacketFree> pkt(av_packet_alloc());
    int64_t outIndex = 0;
    auto drain = [&]() -> bool {
        for (;;) {
            const int r = av_buffersink_get_frame(sink, rgb.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
            if (r < 0) return false;
            // Delays in centiseconds with the rounding error carried on.
            const int64_t t0 = (outIndex * 100 + fps / 2) / fps, t1 = ((outIndex + 1) * 100 + fps / 2) / fps;
            ++outIndex;
            const bool ok = enc.AddFrameRGB(rgb->data[0], rgb->linesize[0], int(t1 - t0));
            av_frame_unref(rgb.get());
            if (!ok) return false;
        }
    };
    bool done = false, ok = true;
    auto feed = [&](AVFrame* f) -> bool {
        if (f) {
            const int64_t pts = f->best_effort_timestamp;
            if (pts < startTs) return true;
            if (pts >= startTs + durTs) { done = true; return true; }
            f->pts = pts - startTs;
        }
        if (f ? av_buffersrc_add_frame(src, f) < 0 : av_buffersrc_close(src, durTs, 0) < 0) return false;
        return drain();
    };
    while (ok && !done && av_read_frame(fmt.get(), pkt.get()) >= 0) {
        if (pkt->stream_index == si && avcodec_send_packet(dec.get(), pkt.get()) >= 0) {
            while (ok && !done && avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
                ok = feed(frame.get());
                av_frame_unref(frame.get());
            }
        }
        av_packet_unref(pkt.get());
    }
    if (ok && !done) {
        avcodec_send_packet(dec.get(), nullptr);
        while (ok && !done && avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
            ok = feed(frame.get());
            av_frame_unref(frame.get());
        }
    }
    if (ok) ok = feed(nullptr);
    if (!ok || !enc.Finish()) return Fail(enc.LastError().isEmpty() ? "conversion failed" : enc.LastError());
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::fprintf(stderr, "%d frames (%d in), %.1f KB, %.2f s, peak RSS %.1f MB, %dx%d\n", enc.FramesWritten(),
                 enc.FramesAdded(), enc.BytesWritten() / 1024.0, timer.elapsed() / 1000.0, ru.ru_maxrss / 1024.0, outW, outH);
    return 0;
}
