#include "components/audio/OutputCheck.h"

#include "components/audio/FFmpegUtil.h"

namespace kvaudio {
namespace {

// Enough for the first second or so of any of our formats, and for the last
// seconds after the seek; a file of any length costs about the same.
constexpr int kHeadPackets = 64;
constexpr int kTailPackets = 1024;
constexpr int64_t kTailMs = 2000;

struct ReadBack {
    AVFormatContext* fmt = nullptr;
    AVCodecContext* dec = nullptr;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int stream = -1;
    bool ended = false;

    ~ReadBack()
    {
        av_frame_free(&frame);
        av_packet_free(&pkt);
        avcodec_free_context(&dec);
        avformat_close_input(&fmt);
    }

    // Samples the decoder gives for the next `packets` packets of the stream
    // (to the end when it comes first), or -1 when the audio does not decode.
    int64_t decode(int packets)
    {
        int64_t samples = 0;
        auto take = [&] {
            int r;
            while ((r = avcodec_receive_frame(dec, frame)) >= 0) {
                samples += frame->nb_samples;
                av_frame_unref(frame);
            }
            return r == AVERROR(EAGAIN) || r == AVERROR_EOF;
        };
        for (int n = 0; n < packets && !ended;) {
            const int r = av_read_frame(fmt, pkt);
            if (r == AVERROR_EOF || (r == AVERROR(EIO) && avio_feof(fmt->pb))) {
                ended = true;
                if (avcodec_send_packet(dec, nullptr) < 0 || !take())
                    return -1;
                break;
            }
            if (r < 0)
                return -1;
            if (pkt->stream_index == stream) {
                ++n;
                const int sent = avcodec_send_packet(dec, pkt);
                av_packet_unref(pkt);
                if (sent < 0 || !take())
                    return -1;
            } else {
                av_packet_unref(pkt);
            }
        }
        return samples;
    }
};

} // namespace

QString checkWrittenAudio(const QString& path, const char* demuxer)
{
    initFFmpeg();
    ReadBack rb;
    const AVInputFormat* format = av_find_input_format(demuxer);
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "protocol_whitelist", "file", 0);
    const int opened = format ? avformat_open_input(&rb.fmt, ffFileUrl(path).constData(), format, &opts) : -1;
    av_dict_free(&opts);
    if (opened < 0)
        return QStringLiteral("it does not open as %1").arg(QString::fromLatin1(demuxer).toUpper());
    const AVCodec* codec = nullptr;
    if (avformat_find_stream_info(rb.fmt, nullptr) >= 0)
        rb.stream = av_find_best_stream(rb.fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (rb.stream < 0 || !codec)
        return QStringLiteral("it holds no audio stream");
    const AVStream* st = rb.fmt->streams[rb.stream];
    rb.dec = avcodec_alloc_context3(codec);
    if (!rb.dec || avcodec_parameters_to_context(rb.dec, st->codecpar) < 0)
        return QStringLiteral("its audio cannot be decoded");
    rb.dec->pkt_timebase = st->time_base;
    if (avcodec_open2(rb.dec, codec, nullptr) < 0)
        return QStringLiteral("its audio cannot be decoded");

    const QString damaged = QStringLiteral("its audio does not decode");
    const int64_t head = rb.decode(kHeadPackets);
    if (head < 0)
        return damaged;
    int64_t tail = 0;
    if (!rb.ended) {
        int64_t durationMs = -1;
        if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
            durationMs = av_rescale_q(st->duration, st->time_base, AVRational{1, 1000});
        else if (rb.fmt->duration != AV_NOPTS_VALUE && rb.fmt->duration > 0)
            durationMs = av_rescale(rb.fmt->duration, 1000, AV_TIME_BASE);
        const int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
        const int64_t target = start + av_rescale_q(qMax<int64_t>(0, durationMs - kTailMs), AVRational{1, 1000}, st->time_base);
        if (durationMs > 0 && av_seek_frame(rb.fmt, rb.stream, target, AVSEEK_FLAG_BACKWARD) >= 0) {
            avcodec_flush_buffers(rb.dec);
            tail = rb.decode(kTailPackets);
            if (tail < 0)
                return damaged;
        }
    }
    if (head + tail <= 0)
        return QStringLiteral("it holds no audio");
    return QString();
}

} // namespace kvaudio
