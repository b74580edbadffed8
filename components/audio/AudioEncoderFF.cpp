// WAV, ACM WAV, WMA and OGG files through FFmpeg's encoders and muxers.
#include <vector>

#include "components/audio/AudioEncoderBackends.h"
#include "components/audio/FFmpegUtil.h"

extern "C" {
#include <libavutil/audio_fifo.h>
}

namespace kvaudio {
namespace {

class FFBackend : public EncoderBackend {
public:
    FFBackend(const FFOutputFormat& outFormat, const TagTexts& tags) : m_spec(outFormat), m_tags(tags)
    {
        m_rate = outFormat.rate;
        m_channels = outFormat.channels;
    }
    ~FFBackend() override { cleanup(); }

    bool open(const QString& path, QString* error) override
    {
        initFFmpeg();
        const AVCodec* codec = avcodec_find_encoder_by_name(m_spec.encoder);
        if (!codec)
            return fail(error, QStringLiteral("The encoder %1 is missing.").arg(QString::fromLatin1(m_spec.encoder)));
        if (avformat_alloc_output_context2(&m_oc, nullptr, m_spec.container, nullptr) < 0 || !m_oc)
            return fail(error, QStringLiteral("The container %1 is missing.").arg(QString::fromLatin1(m_spec.container)));
        m_oc->flags |= AVFMT_FLAG_BITEXACT;
        // A WAV past 4 GB needs the 64-bit header, or its sizes wrap.
        if (QByteArray(m_spec.container) == "wav")
            av_opt_set(m_oc->priv_data, "rf64", "auto", 0);
        m_st = avformat_new_stream(m_oc, nullptr);
        if (!m_st)
            return fail(error, QStringLiteral("Out of memory."));

        AVSampleFormat sf = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        int r = -1;
        if (m_spec.bitRate > 0 && m_spec.vorbisQuality < -1 && QByteArray(m_spec.encoder) == "libvorbis") {
            // Vorbis serves a nominal bitrate only within a range that depends on
            // the rate and channels; take the nearest one it serves.
            for (int step = 0; step <= 64 && r < 0; ++step) {
                for (int sign : {1, -1}) {
                    const int64_t br = m_spec.bitRate + sign * int64_t(step) * 8000;
                    if (br < 8000 || (step == 0 && sign < 0))
                        continue;
                    if (openCodec(codec, sf, br) >= 0) {
                        r = 0;
                        break;
                    }
                }
            }
        } else {
            r = openCodec(codec, sf, m_spec.bitRate);
        }
        if (r < 0)
            return fail(error, QStringLiteral("The encoder does not accept %1 Hz, %2 channel(s)%3.")
                                   .arg(m_rate)
                                   .arg(m_channels)
                                   .arg(m_spec.bitRate > 0 ? QStringLiteral(" at %1 kbit/s").arg(m_spec.bitRate / 1000)
                                                           : QString()));
        if (avcodec_parameters_from_context(m_st->codecpar, m_enc) < 0)
            return fail(error, QStringLiteral("Out of memory."));
        m_st->time_base = AVRational{1, m_rate};

        if (m_spec.writeTags) {
            auto set = [&](const char* key, const QString& v) {
                if (!v.isEmpty())
                    av_dict_set(&m_oc->metadata, key, v.toUtf8().constData(), 0);
            };
            set("title", m_tags.title);
            set("artist", m_tags.artist);
            set("album", m_tags.album);
            set("genre", m_tags.genre);
            set("date", m_tags.year);
            set("track", m_tags.track);
            set("comment", m_tags.comment);
        }
        AVDictionary* io = nullptr;
        av_dict_set(&io, "protocol_whitelist", "file", 0);
        r = avio_open2(&m_oc->pb, ffFileUrl(path).constData(), AVIO_FLAG_WRITE, nullptr, &io);
        av_dict_free(&io);
        if (r < 0)
            return fail(error, QStringLiteral("The output file cannot be created: %1.").arg(ffErrorText(r)));
        r = avformat_write_header(m_oc, nullptr);
        if (r < 0)
            return fail(error, QStringLiteral("The output file cannot be written: %1.").arg(ffErrorText(r)));
        m_headerWritten = true;

        AVChannelLayout lay = defaultLayout(m_channels);
        r = swr_alloc_set_opts2(&m_swr, &lay, m_enc->sample_fmt, m_rate, &lay, AV_SAMPLE_FMT_FLT, m_rate, 0, nullptr);
        av_channel_layout_uninit(&lay);
        if (r < 0 || swr_init(m_swr) < 0)
            return fail(error, QStringLiteral("The audio cannot be converted to the output format."));
        m_frameSize = (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || m_enc->frame_size <= 0
                          ? 4096
                          : m_enc->frame_size;
        m_smallLast = (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || m_enc->frame_size <= 0
                      || (codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
        m_padsLast = !m_smallLast && !(codec->capabilities & AV_CODEC_CAP_DELAY);
        m_fifo = av_audio_fifo_alloc(m_enc->sample_fmt, m_channels, m_frameSize * 2);
        m_frame = av_frame_alloc();
        m_pkt = av_packet_alloc();
        if (!m_fifo || !m_frame || !m_pkt)
            return fail(error, QStringLiteral("Out of memory."));
        return true;
    }

    bool write(const float* interleaved, int frames, QString* error) override
    {
        // Convert to the codec's sample format, then hand out whole frames.
        if (frames > m_convCap) {
            if (m_conv[0])
                av_freep(&m_conv[0]);
            if (av_samples_alloc(m_conv, nullptr, m_channels, frames, m_enc->sample_fmt, 0) < 0)
                return fail(error, QStringLiteral("Out of memory."));
            m_convCap = frames;
        }
        const uint8_t* in = reinterpret_cast<const uint8_t*>(interleaved);
        const int got = swr_convert(m_swr, m_conv, frames, &in, frames);
        if (got < 0 || av_audio_fifo_write(m_fifo, reinterpret_cast<void**>(m_conv), got) != got)
            return fail(error, QStringLiteral("The audio cannot be converted to the output format."));
        while (av_audio_fifo_size(m_fifo) >= m_frameSize)
            if (!encodeFromFifo(m_frameSize, error))
                return false;
        return true;
    }

    bool finish(QString* error) override
    {
        const int rest = av_audio_fifo_size(m_fifo);
        if (rest > 0 && !encodeFromFifo(rest, error))
            return false;
        if (!encode(nullptr, error))
            return false;
        int r = av_write_trailer(m_oc);
        m_headerWritten = false;
        if (r < 0 || m_oc->pb->error < 0)
            return fail(error, QStringLiteral("The output file cannot be written: %1.").arg(ffErrorText(r < 0 ? r : m_oc->pb->error)));
        r = avio_closep(&m_oc->pb);
        if (r < 0)
            return fail(error, QStringLiteral("The output file cannot be written: %1.").arg(ffErrorText(r)));
        cleanup();
        return true;
    }

private:
    int openCodec(const AVCodec* codec, AVSampleFormat sf, int64_t bitRate)
    {
        if (m_enc)
            avcodec_free_context(&m_enc);
        m_enc = avcodec_alloc_context3(codec);
        if (!m_enc)
            return AVERROR(ENOMEM);
        m_enc->sample_fmt = sf;
        m_enc->sample_rate = m_rate;
        av_channel_layout_uninit(&m_enc->ch_layout);
        m_enc->ch_layout = defaultLayout(m_channels);
        m_enc->time_base = AVRational{1, m_rate};
        m_enc->flags |= AV_CODEC_FLAG_BITEXACT;
        if (m_spec.vorbisQuality >= 0) {
            m_enc->flags |= AV_CODEC_FLAG_QSCALE;
            m_enc->global_quality = int(m_spec.vorbisQuality * FF_QP2LAMBDA);
        } else if (bitRate > 0) {
            m_enc->bit_rate = bitRate;
        }
        if (m_oc->oformat->flags & AVFMT_GLOBALHEADER)
            m_enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        return avcodec_open2(m_enc, codec, nullptr);
    }

    bool encodeFromFifo(int n, QString* error)
    {
        const int size = m_smallLast ? n : m_frameSize;
        // One frame buffer serves every call: the encoder has copied the
        // samples by the time send_frame returns, so it is writable again.
        if (!m_frame->buf[0] || m_frame->nb_samples != size) {
            av_frame_unref(m_frame);
            m_frame->nb_samples = size;
            m_frame->format = m_enc->sample_fmt;
            m_frame->sample_rate = m_rate;
            av_channel_layout_copy(&m_frame->ch_layout, &m_enc->ch_layout);
            if (av_frame_get_buffer(m_frame, 0) < 0)
                return fail(error, QStringLiteral("Out of memory."));
        } else if (av_frame_make_writable(m_frame) < 0) {
            return fail(error, QStringLiteral("Out of memory."));
        }
        if (size > n) // the codec wants whole frames: pad the last one with silence
            av_samples_set_silence(m_frame->extended_data, n, size - n, m_channels, m_enc->sample_fmt);
        if (av_audio_fifo_read(m_fifo, reinterpret_cast<void**>(m_frame->extended_data), n) != n)
            return fail(error, QStringLiteral("Out of memory."));
        m_frame->pts = m_pts;
        m_pts += size;
        m_audioSamples += n;
        return encode(m_frame, error);
    }

    bool encode(AVFrame* frame, QString* error)
    {
        int r = avcodec_send_frame(m_enc, frame);
        if (r < 0)
            return fail(error, QStringLiteral("Encoding failed: %1.").arg(ffErrorText(r)));
        while (true) {
            r = avcodec_receive_packet(m_enc, m_pkt);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return true;
            if (r < 0)
                return fail(error, QStringLiteral("Encoding failed: %1.").arg(ffErrorText(r)));
            // The silence that fills a codec's last block is not audio: the
            // packet's duration ends with the real samples, so that the
            // container's sample count (a WAV's fact chunk) is the source's.
            if (m_padsLast && m_pkt->pts != AV_NOPTS_VALUE && m_pkt->pts + m_pkt->duration > m_audioSamples)
                m_pkt->duration = qMax<int64_t>(0, m_audioSamples - m_pkt->pts);
            m_pkt->stream_index = m_st->index;
            av_packet_rescale_ts(m_pkt, m_enc->time_base, m_st->time_base);
            r = av_interleaved_write_frame(m_oc, m_pkt);
            if (r < 0)
                return fail(error, QStringLiteral("The output file cannot be written: %1.").arg(ffErrorText(r)));
        }
    }

    bool fail(QString* error, const QString& text)
    {
        if (error)
            *error = text;
        cleanup();
        return false;
    }

    void cleanup()
    {
        if (m_oc && m_oc->pb)
            avio_closep(&m_oc->pb);
        if (m_oc)
            avformat_free_context(m_oc);
        m_oc = nullptr;
        if (m_enc)
            avcodec_free_context(&m_enc);
        if (m_swr)
            swr_free(&m_swr);
        if (m_fifo)
            av_audio_fifo_free(m_fifo);
        m_fifo = nullptr;
        if (m_frame)
            av_frame_free(&m_frame);
        if (m_pkt)
            av_packet_free(&m_pkt);
        if (m_conv[0])
            av_freep(&m_conv[0]);
        m_convCap = 0;
    }

    FFOutputFormat m_spec;
    TagTexts m_tags;
    AVFormatContext* m_oc = nullptr;
    AVStream* m_st = nullptr;
    AVCodecContext* m_enc = nullptr;
    SwrContext* m_swr = nullptr;
    AVAudioFifo* m_fifo = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_pkt = nullptr;
    uint8_t* m_conv[8] = {};
    int m_convCap = 0;
    int m_frameSize = 4096;
    bool m_smallLast = true;
    bool m_padsLast = false; // whole blocks only, each packet at its frame's time
    int64_t m_audioSamples = 0; // real samples handed to the encoder
    bool m_headerWritten = false;
    int64_t m_pts = 0;
};

} // namespace

std::unique_ptr<EncoderBackend> makeFFBackend(const FFOutputFormat& outFormat, const TagTexts& tags)
{
    return std::make_unique<FFBackend>(outFormat, tags);
}

} // namespace kvaudio
