#include "GifRead.h"

#include <QFile>
#include <QImageReader>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

TGifBlocks ParseGif(const QString& path)
{
    TGifBlocks r;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return r;
    const QByteArray b = f.readAll();
    auto u8 = [&](qsizetype i) { return i < b.size() ? int(uint8_t(b[i])) : -1; };
    auto u16 = [&](qsizetype i) { return u8(i) | u8(i + 1) << 8; };
    if (!b.startsWith("GIF89a") || b.size() < 13) return r;
    r.Width = u16(6), r.Height = u16(8);
    qsizetype p = 13;
    if (u8(10) & 0x80) p += 3 * (1 << ((u8(10) & 7) + 1));
    auto skipSubBlocks = [&] {
        while (p < b.size() && u8(p) > 0) p += u8(p) + 1;
        ++p;
    };
    int delay = 0, transparent = -1;
    while (p < b.size()) {
        const int tag = u8(p++);
        if (tag == 0x3B) { r.Valid = true; break; }
        if (tag == 0x21) {
            const int label = u8(p++);
            if (label == 0xF9 && u8(p) == 4) {
                delay = u16(p + 2);
                transparent = (u8(p + 1) & 1) ? u8(p + 4) : -1;
            } else if (label == 0xFF && u8(p) == 11 && b.mid(p + 1, 11) == "NETSCAPE2.0") {
                r.LoopCount = u16(p + 14);
            }
            skipSubBlocks();
        } else if (tag == 0x2C) {
            r.Rects.append(QRect(u16(p), u16(p + 2), u16(p + 4), u16(p + 6)));
            const int flags = u8(p + 8);
            r.Colours.append(flags & 0x80 ? 1 << ((flags & 7) + 1) : 0);
            p += 9;
            if (flags & 0x80) p += 3 * (1 << ((flags & 7) + 1));
            ++p; // LZW minimum code size
            skipSubBlocks();
            r.Delays.append(delay);
            r.Transparent.append(transparent);
            delay = 0, transparent = -1;
        } else {
            return r;
        }
    }
    return r;
}

QList<QImage> ReadWithQt(const QString& path, QList<int>* delaysMs)
{
    QList<QImage> frames;
    QImageReader reader(path, "gif");
    for (;;) {
        QImage img = reader.read();
        if (img.isNull()) break;
        frames.append(img.convertToFormat(QImage::Format_RGB888));
        if (delaysMs) delaysMs->append(reader.nextImageDelay());
    }
    return frames;
}

int QtLoopCount(const QString& path)
{
    QImageReader reader(path, "gif");
    return reader.loopCount();
}

QList<QImage> ReadWithFFmpeg(const QString& path, int64_t* durationCs, int* decodeErrors, QList<int64_t>* timesUs)
{
    QList<QImage> frames;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) return frames;
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> fmtGuard(fmt, [](AVFormatContext* p) { avformat_close_input(&p); });
    if (avformat_find_stream_info(fmt, nullptr) < 0) return frames;
    const AVCodec* codec = nullptr;
    const int si = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (si < 0) return frames;
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> dec(avcodec_alloc_context3(codec), [](AVCodecContext* p) { avcodec_free_context(&p); });
    avcodec_parameters_to_context(dec.get(), fmt->streams[si]->codecpar);
    if (avcodec_open2(dec.get(), codec, nullptr) < 0) return frames;
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> pkt(av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); });
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(), [](AVFrame* p) { av_frame_free(&p); });
    const AVRational tb = fmt->streams[si]->time_base;
    int64_t total = 0;
    int errors = 0;
    auto receive = [&] {
        for (;;) {
            const int rc = avcodec_receive_frame(dec.get(), frame.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) break;
            if (rc < 0) { ++errors; break; }
            QImage img(frame->width, frame->height, QImage::Format_RGB888);
            SwsContext* sws = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                             frame->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
            uint8_t* dst[1] = {img.bits()};
            int dstStride[1] = {int(img.bytesPerLine())};
            sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
            sws_freeContext(sws);
            frames.append(img);
            if (timesUs)
                timesUs->append(av_rescale_q(frame->best_effort_timestamp, tb, AVRational{1, 1000000}));
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(fmt, pkt.get()) >= 0) {
        if (pkt->stream_index == si) {
            total += av_rescale_q(pkt->duration, tb, AVRational{1, 100});
            if (avcodec_send_packet(dec.get(), pkt.get()) >= 0) receive();
            else ++errors;
        }
        av_packet_unref(pkt.get());
    }
    avcodec_send_packet(dec.get(), nullptr);
    receive();
    if (durationCs) *durationCs = total;
    if (decodeErrors) *decodeErrors = errors;
    return frames;
}

