// APE files through our own encoder (ApeCodec). Frames are coded in
// parallel and each one is decoded again by FFmpeg's APE decoder, CRC check
// included, before it is kept: a file that would not give back the exact
// samples is a failed job, never a success.
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <climits>
#include <cmath>
#include <thread>
#include <vector>

#include "components/audio/ApeCodec.h"
#include "components/audio/AudioEncoderBackends.h"
#include "components/audio/FFmpegUtil.h"
#include "components/audio/PartFiles.h"

extern "C" {
#include <libavutil/intreadwrite.h>
}

namespace kvaudio {
namespace {

// Decodes one stored frame with FFmpeg and compares it with its input.
bool decodesToInput(const QByteArray& stored, const int16_t* pcm, int blocks, int channels, int rate, int level)
{
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_APE);
    if (!codec)
        return false;
    AVCodecContext* c = avcodec_alloc_context3(codec);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool ok = c && pkt && frame;
    if (ok) {
        c->sample_rate = rate;
        av_channel_layout_uninit(&c->ch_layout);
        c->ch_layout = defaultLayout(channels);
        c->bits_per_coded_sample = 16;
        c->err_recognition = AV_EF_CRCCHECK | AV_EF_EXPLODE;
        c->extradata = static_cast<uint8_t*>(av_mallocz(6 + AV_INPUT_BUFFER_PADDING_SIZE));
        ok = c->extradata != nullptr;
    }
    if (ok) {
        c->extradata_size = 6;
        AV_WL16(c->extradata, ape::kFileVersion);
        AV_WL16(c->extradata + 2, level);
        AV_WL16(c->extradata + 4, ape::kFlagCreateWavHeader);
        AVDictionary* opts = nullptr;
        av_dict_set_int(&opts, "max_samples", INT_MAX, 0);
        ok = avcodec_open2(c, codec, &opts) >= 0;
        av_dict_free(&opts);
    }
    if (ok)
        ok = av_new_packet(pkt, 8 + int(stored.size())) >= 0;
    int got = 0;
    if (ok) {
        AV_WL32(pkt->data, uint32_t(blocks));
        AV_WL32(pkt->data + 4, 0);
        memcpy(pkt->data + 8, stored.constData(), size_t(stored.size()));
        ok = avcodec_send_packet(c, pkt) >= 0;
        while (ok) {
            const int r = avcodec_receive_frame(c, frame);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                break;
            if (r < 0 || frame->format != AV_SAMPLE_FMT_S16P || got + frame->nb_samples > blocks) {
                ok = false;
                break;
            }
            for (int ch = 0; ch < channels && ok; ++ch) {
                const auto* plane = reinterpret_cast<const int16_t*>(frame->extended_data[ch]);
                for (int i = 0; i < frame->nb_samples; ++i)
                    if (plane[i] != pcm[size_t(got + i) * channels + ch]) {
                        ok = false;
                        break;
                    }
            }
            got += frame->nb_samples;
            av_frame_unref(frame);
        }
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&c);
    return ok && got == blocks;
}

class ApeBackend : public EncoderBackend {
public:
    ApeBackend(int positionLevel, int rate, int channels, const TagTexts& tags) : m_tags(tags)
    {
        m_rate = rate;
        m_channels = channels;
        m_level = ape::compressionLevelForPosition(positionLevel);
        m_blocksPerFrame = ape::blocksPerFrame(m_level);
        m_batch = std::clamp(int(std::thread::hardware_concurrency()), 1, 8);
    }

    bool open(const QString& path, QString* error) override
    {
        initFFmpeg();
        if (m_channels < 1 || m_channels > 2)
            return fail(error, QStringLiteral("APE files are written with 1 or 2 channels, not %1.").arg(m_channels));
        if (!avcodec_find_decoder(AV_CODEC_ID_APE))
            return fail(error, QStringLiteral("The APE decoder that checks the written frames is missing."));
        m_path = path;
        // The frames wait in a spool beside the output until their count,
        // and so the seek table at the head of the file, is known.
        m_spool.setFileTemplate(QFileInfo(path).absolutePath() + QStringLiteral("/.kvape-XXXXXX"));
        if (!m_spool.open())
            return fail(error, QStringLiteral("The output file cannot be created: %1.").arg(m_spool.errorString()));
        // Read back through its own handle only: a sweep that took it for dead costs nothing.
        LockAsPartFile(int(m_spool.handle()));
        return true;
    }

    bool write(const float* interleaved, int frames, QString* error) override
    {
        const size_t n = size_t(frames) * m_channels;
        const size_t at = m_pending.size();
        m_pending.resize(at + n);
        for (size_t i = 0; i < n; ++i)
            m_pending[at + i] = int16_t(std::clamp(std::lrint(double(interleaved[i]) * 32768.0), -32768L, 32767L));
        const size_t batchSamples = size_t(m_blocksPerFrame) * m_channels * m_batch;
        if (m_pending.size() >= batchSamples)
            return flushFrames(false, error);
        return true;
    }

    bool finish(QString* error) override
    {
        if (!flushFrames(true, error))
            return false;
        if (m_totalBlocks == 0)
            return fail(error, QStringLiteral("There is no audio to write."));

        ape::StreamInfo info;
        info.compressionLevel = m_level;
        info.channels = m_channels;
        info.sampleRate = m_rate;
        info.blocksPerFrame = uint32_t(m_blocksPerFrame);
        info.totalFrames = uint32_t(m_frameSizes.size());
        info.finalFrameBlocks = uint32_t(m_totalBlocks - uint64_t(m_blocksPerFrame) * (m_frameSizes.size() - 1));

        QFile out(m_path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail(error, QStringLiteral("The output file cannot be created: %1.").arg(out.errorString()));
        bool ok = out.write(ape::buildFileHead(info, m_frameSizes)) >= 0 && m_spool.seek(0);
        std::vector<char> buf(1 << 20);
        while (ok) {
            const qint64 r = m_spool.read(buf.data(), qint64(buf.size()));
            if (r < 0)
                ok = false;
            if (r <= 0)
                break;
            ok = out.write(buf.data(), r) == r;
        }
        const QByteArray tag = ape::buildApeTag(m_tags);
        if (ok && !tag.isEmpty())
            ok = out.write(tag) == tag.size();
        ok = ok && out.flush();
        if (!ok)
            return fail(error, QStringLiteral("The output file cannot be written: %1.").arg(out.errorString()));
        out.close();
        m_spool.close();
        return true;
    }

private:
    bool flushFrames(bool last, QString* error)
    {
        const size_t frameSamples = size_t(m_blocksPerFrame) * m_channels;
        size_t count = m_pending.size() / frameSamples;
        if (last && m_pending.size() % frameSamples)
            ++count;
        if (count == 0)
            return true;

        std::vector<QByteArray> stored(count);
        std::vector<char> good(count, 0);
        auto work = [&](size_t first, size_t step) {
            for (size_t f = first; f < count; f += step) {
                const int16_t* pcm = m_pending.data() + f * frameSamples;
                const int blocks = int(std::min(frameSamples, m_pending.size() - f * frameSamples) / m_channels);
                stored[f] = ape::encodeFrame(pcm, blocks, m_channels, m_level);
                good[f] = decodesToInput(stored[f], pcm, blocks, m_channels, m_rate, m_level);
            }
        };
        const size_t threads = std::min<size_t>(count, size_t(m_batch));
        std::vector<std::thread> pool;
        for (size_t t = 1; t < threads; ++t)
            pool.emplace_back(work, t, threads);
        work(0, threads);
        for (auto& t : pool)
            t.join();

        for (size_t f = 0; f < count; ++f) {
            if (!good[f])
                return fail(error, QStringLiteral("The APE encoder wrote a frame that does not decode to its samples."));
            if (m_spool.write(stored[f]) != stored[f].size())
                return fail(error, QStringLiteral("The output file cannot be written: %1.").arg(m_spool.errorString()));
            m_frameSizes.push_back(uint32_t(stored[f].size()));
        }
        const size_t used = std::min(count * frameSamples, m_pending.size());
        m_totalBlocks += used / m_channels;
        m_pending.erase(m_pending.begin(), m_pending.begin() + std::ptrdiff_t(used));
        return true;
    }

    bool fail(QString* error, const QString& text)
    {
        if (error)
            *error = text;
        return false;
    }

    TagTexts m_tags;
    int m_level = 1000, m_blocksPerFrame = 73728, m_batch = 1;
    QString m_path;
    QTemporaryFile m_spool;
    std::vector<int16_t> m_pending;
    std::vector<uint32_t> m_frameSizes;
    uint64_t m_totalBlocks = 0;
};

} // namespace

std::unique_ptr<EncoderBackend> makeApeBackend(int level, int rate, int channels, const TagTexts& tags)
{
    return std::make_unique<ApeBackend>(level, rate, channels, tags);
}

} // namespace kvaudio
