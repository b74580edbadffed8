#pragma once
// Converts interleaved PCM from one rate, channel count and sample format to
// another (libswresample), for a device that cannot record the format asked for.
#include <QByteArray>
#include <memory>

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
    // Ends the stream: appends its last frames, so that it holds
    // round(frames in x out rate / in rate) frames in all.
    bool flush(QByteArray& out);
    static int bytesPerSample(Sample s) { return s == U8 ? 1 : s == S16 ? 2 : 4; }

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
