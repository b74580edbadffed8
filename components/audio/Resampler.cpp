#include "components/audio/Resampler.h"

#include <QtGlobal>
#include <cmath>
#include <vector>

#include "components/audio/FFmpegUtil.h"

namespace kvaudio {

bool setNormalisedMix(SwrContext* swr, const AVChannelLayout& in, const AVChannelLayout& out)
{
    const int ins = in.nb_channels, outs = out.nb_channels;
    if (ins <= 0 || outs <= 0)
        return false;
    if (av_channel_layout_compare(&in, &out) == 0)
        return true;
    // Rows are output channels, columns input channels. The library's own
    // scaling steps past the rows it was given: it gets room for its largest
    // matrix and a limit it never reaches, and the scaling is done here.
    std::vector<double> m(size_t(64) * 64, 0.0);
    const bool built = swr_build_matrix2(&in, &out, M_SQRT1_2, M_SQRT1_2, 0.0, 1e9, 1.0, m.data(), ins,
                                         AV_MATRIX_ENCODING_NONE, nullptr)
                       >= 0;
    m.resize(size_t(ins) * outs);
    double fullest = 0;
    for (int o = 0; built && o < outs; ++o) {
        double sum = 0;
        for (int i = 0; i < ins; ++i)
            sum += std::fabs(m[size_t(o) * ins + i]);
        fullest = qMax(fullest, sum);
    }
    if (!built || fullest <= 0) {
        // Channels the library cannot place: each output takes the mean of all.
        std::fill(m.begin(), m.end(), 1.0);
        fullest = ins;
    }
    for (double& c : m)
        c /= fullest;
    return swr_set_matrix(swr, m.data(), ins) >= 0;
}

Resampler::~Resampler() { close(); }

void Resampler::close()
{
    if (m_swr)
        swr_free(&m_swr);
    m_in = m_out = 0;
}

int Resampler::open(const AVChannelLayout& in, AVSampleFormat inFormat, int inRate, const AVChannelLayout& out,
                    AVSampleFormat outFormat, int outRate)
{
    close();
    initFFmpeg();
    // The library only reads the layouts.
    int r = swr_alloc_set_opts2(&m_swr, const_cast<AVChannelLayout*>(&out), outFormat, outRate,
                                const_cast<AVChannelLayout*>(&in), inFormat, inRate, 0, nullptr);
    if (r >= 0 && !setNormalisedMix(m_swr, in, out))
        r = AVERROR(EINVAL);
    if (r >= 0)
        r = swr_init(m_swr);
    if (r < 0) {
        close();
        return r;
    }
    m_inRate = inRate;
    m_outRate = outRate;
    m_outFormat = outFormat;
    m_outChannels = out.nb_channels;
    m_outFrameBytes = av_get_bytes_per_sample(outFormat) * out.nb_channels;
    return 0;
}

int Resampler::room(int frames) const
{
    return qMax(0, swr_get_out_samples(m_swr, qMax(0, frames))) + 16;
}

int Resampler::convert(uint8_t* out, int room, const uint8_t* const* in, int frames)
{
    if (frames <= 0)
        return 0; // no input would read as the end of the stream
    uint8_t* dst = out;
    const int got = swr_convert(m_swr, &dst, room, const_cast<const uint8_t**>(in), frames);
    if (got >= 0) {
        m_in += frames;
        m_out += got;
    }
    return got;
}

int Resampler::owed() const
{
    if (!m_swr || m_in <= 0)
        return 0;
    const int64_t exact = qMax<int64_t>(1, (m_in * m_outRate * 2 + m_inRate) / (int64_t(m_inRate) * 2));
    return int(qMax<int64_t>(0, exact - m_out));
}

int Resampler::drain(uint8_t* out)
{
    const int want = owed();
    if (want <= 0)
        return 0;
    // The library's own flush ends the signal smoothly, but holds back the
    // last frames of a stream shorter than its filter; silence after the
    // end pushes them out.
    uint8_t* dst = out;
    int total = swr_convert(m_swr, &dst, want, nullptr, 0);
    if (total < 0)
        return total;
    static const uint8_t zeros[64] = {};
    const uint8_t* noInput[64];
    std::fill(std::begin(noInput), std::end(noInput), zeros);
    for (int round = 0; round < 8 && total < want; ++round) {
        const int64_t inputFrames = av_rescale_rnd(want - total, m_inRate, m_outRate, AV_ROUND_UP) + 256;
        int r = swr_inject_silence(m_swr, int(qMin<int64_t>(inputFrames, 1 << 20)));
        if (r < 0)
            return r;
        dst = out + size_t(total) * m_outFrameBytes;
        r = swr_convert(m_swr, &dst, want - total, noInput, 0);
        if (r < 0)
            return r;
        total += r;
    }
    if (total < want) {
        dst = out + size_t(total) * m_outFrameBytes;
        av_samples_set_silence(&dst, 0, want - total, m_outChannels, m_outFormat);
        total = want;
    }
    m_out += total;
    return total;
}

} // namespace kvaudio
