#include "components/audio/SampleConverter.h"

#include "components/audio/FFmpegUtil.h"

namespace {

AVSampleFormat avFormat(SampleConverter::Sample s)
{
    switch (s) {
    case SampleConverter::U8:
        return AV_SAMPLE_FMT_U8;
    case SampleConverter::S16:
        return AV_SAMPLE_FMT_S16;
    case SampleConverter::S32:
        return AV_SAMPLE_FMT_S32;
    case SampleConverter::Float:
        return AV_SAMPLE_FMT_FLT;
    }
    return AV_SAMPLE_FMT_S16;
}

} // namespace

namespace kvaudio {

bool setPlainChannelMix(SwrContext* swr, int inChannels, int outChannels)
{
    // Rows are output channels, columns input channels.
    if (inChannels == 2 && outChannels == 1) {
        const double down[2] = {0.5, 0.5};
        return swr_set_matrix(swr, down, 2) >= 0;
    }
    if (inChannels == 1 && outChannels == 2) {
        const double up[2] = {1.0, 1.0};
        return swr_set_matrix(swr, up, 1) >= 0;
    }
    return true;
}

} // namespace kvaudio

struct SampleConverter::Impl {
    SwrContext* swr = nullptr;
    int inFrameBytes = 0;
    int outFrameBytes = 0;
    ~Impl() { swr_free(&swr); }
};

SampleConverter::SampleConverter() = default;
SampleConverter::~SampleConverter() = default;

bool SampleConverter::open(int inRate, int inChannels, Sample inSample, int outRate, int outChannels,
                           Sample outSample)
{
    d = std::make_unique<Impl>();
    AVChannelLayout inLayout = kvaudio::defaultLayout(inChannels);
    AVChannelLayout outLayout = kvaudio::defaultLayout(outChannels);
    if (swr_alloc_set_opts2(&d->swr, &outLayout, avFormat(outSample), outRate, &inLayout, avFormat(inSample), inRate,
                            0, nullptr)
            < 0
        || !kvaudio::setPlainChannelMix(d->swr, inChannels, outChannels) || swr_init(d->swr) < 0) {
        d.reset();
        return false;
    }
    d->inFrameBytes = bytesPerSample(inSample) * inChannels;
    d->outFrameBytes = bytesPerSample(outSample) * outChannels;
    return true;
}

bool SampleConverter::isOpen() const { return d != nullptr; }

void SampleConverter::close() { d.reset(); }

bool SampleConverter::convert(const char* in, qint64 bytes, QByteArray& out)
{
    if (!d)
        return false;
    const int inFrames = int(bytes / d->inFrameBytes);
    const int room = swr_get_out_samples(d->swr, inFrames);
    if (room < 0)
        return false;
    const qsizetype start = out.size();
    out.resize(start + qsizetype(room) * d->outFrameBytes);
    auto* dst = reinterpret_cast<uint8_t*>(out.data() + start);
    const auto* src = reinterpret_cast<const uint8_t*>(in);
    const int got = swr_convert(d->swr, &dst, room, inFrames > 0 ? &src : nullptr, inFrames);
    out.resize(start + qsizetype(qMax(got, 0)) * d->outFrameBytes);
    return got >= 0;
}

bool SampleConverter::flush(QByteArray& out) { return convert(nullptr, 0, out); }
