#include "components/audio/SampleConverter.h"

#include "components/audio/FFmpegUtil.h"
#include "components/audio/Resampler.h"

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

struct SampleConverter::Impl {
    kvaudio::Resampler swr;
    int inFrameBytes = 0;
    int outFrameBytes = 0;
};

SampleConverter::SampleConverter() = default;
SampleConverter::~SampleConverter() = default;

bool SampleConverter::open(int inRate, int inChannels, Sample inSample, int outRate, int outChannels,
                           Sample outSample)
{
    d = std::make_unique<Impl>();
    AVChannelLayout inLayout = kvaudio::defaultLayout(inChannels);
    AVChannelLayout outLayout = kvaudio::defaultLayout(outChannels);
    const int r = d->swr.open(inLayout, avFormat(inSample), inRate, outLayout, avFormat(outSample), outRate);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (r < 0) {
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
    const int room = d->swr.room(inFrames);
    const qsizetype start = out.size();
    out.resize(start + qsizetype(room) * d->outFrameBytes);
    auto* dst = reinterpret_cast<uint8_t*>(out.data() + start);
    const auto* src = reinterpret_cast<const uint8_t*>(in);
    const int got = d->swr.convert(dst, room, &src, inFrames);
    out.resize(start + qsizetype(qMax(got, 0)) * d->outFrameBytes);
    return got >= 0;
}

bool SampleConverter::flush(QByteArray& out)
{
    if (!d)
        return false;
    const qsizetype start = out.size();
    out.resize(start + qsizetype(d->swr.owed()) * d->outFrameBytes);
    const int got = d->swr.drain(reinterpret_cast<uint8_t*>(out.data() + start));
    out.resize(start + qsizetype(qMax(got, 0)) * d->outFrameBytes);
    return got >= 0;
}
