#pragma once
// Converts interleaved PCM from one rate, channel count and sample format to
// another (libswresample), for a device that cannot record the format asked for.
#include <QByteArray>
#include <memory>

struct SwrContext;

namespace kvaudio {
// Sets the channel mix of an allocated, not yet initialised resampler where
// one and two channels meet: mono is (L+R)/2, and stereo carries the mono
// samples unchanged in both channels. Nothing clips and identical channels
// keep their level. Other channel counts keep the library's mix.
bool setPlainChannelMix(SwrContext* swr, int inChannels, int outChannels);
} // namespace kvaudio

class SampleConverter {
public:
    enum Sample { U8, S16, S32, Float };

    SampleConverter();
    ~SampleConverter();

    bool open(int inRate, int inChannels, Sample inSample, int outRate, int outChannels, Sample outSample);
    bool isOpen() const;
    void close();
    // Appends the converted frames of `bytes` bytes of input to `out`.
    bool convert(const char* in, qint64 bytes, QByteArray& out);
    // Appends what the resampler still holds.
    bool flush(QByteArray& out);
    static int bytesPerSample(Sample s) { return s == U8 ? 1 : s == S16 ? 2 : 4; }

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
