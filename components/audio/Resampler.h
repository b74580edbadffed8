#pragma once
// libswresample behind the readers and writers: changes rate, channel layout
// and sample format, mixing channels with one normalised matrix, and at the
// end of a stream gives out exactly as many frames as the input lasted.
// Internal to components/audio/: include only from .cpp files.
#include <cstdint>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

struct SwrContext;

namespace kvaudio {

// Sets the channel mix of an allocated, not yet initialised resampler whose
// layouts differ: the library's mix (centre and surrounds at -3 dB, LFE left
// out), scaled so that the fullest output channel takes its inputs at a total
// weight of 1. Nothing clips, and channels that carry the same signal keep
// their level: stereo to mono is (L+R)/2, mono to stereo the same samples twice.
bool setNormalisedMix(SwrContext* swr, const AVChannelLayout& in, const AVChannelLayout& out);

class Resampler {
public:
    Resampler() = default;
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // The output format must be interleaved. Returns 0 or FFmpeg's error.
    int open(const AVChannelLayout& in, AVSampleFormat inFormat, int inRate, const AVChannelLayout& out,
             AVSampleFormat outFormat, int outRate);
    void close();
    bool isOpen() const { return m_swr != nullptr; }

    // Frames of room the output of `frames` more input frames needs at most.
    int room(int frames) const;
    // Converts `frames` input frames (one pointer per plane); returns the
    // frames written to out, or FFmpeg's error.
    int convert(uint8_t* out, int room, const uint8_t* const* in, int frames);
    // Frames the end of the stream still owes.
    int owed() const;
    // Ends the stream: writes the owed frames (out has room for owed()) and
    // returns their number, or FFmpeg's error. The stream then holds
    // round(frames in x out rate / in rate) frames, at least one when
    // anything went in.
    int drain(uint8_t* out);

private:
    SwrContext* m_swr = nullptr;
    int m_inRate = 0, m_outRate = 0, m_outChannels = 0, m_outFrameBytes = 0;
    AVSampleFormat m_outFormat = AV_SAMPLE_FMT_NONE;
    int64_t m_in = 0, m_out = 0;
};

} // namespace kvaudio
