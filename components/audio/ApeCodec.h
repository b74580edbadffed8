#pragma once
// The APE lossless format, encoding side. Internal to components/audio/.
//
// Files are written as format version 3.99 with 16-bit samples, mono or
// stereo at any rate (the encoder's input is 16-bit PCM, like every PCM
// output of the components; 8- and 24-bit sources are carried at 16 bits).
// Each frame is coded on its own: the stereo decorrelation, the adaptive
// predictor, the cascade of sign-LMS filters of the compression level and
// the adaptive range coder all start afresh, so frames can be coded in
// parallel. The CRC of a frame is that of its PCM bytes, shifted right by
// one bit, as decoders check it.
#include <QByteArray>
#include <cstdint>
#include <vector>

namespace kvaudio {
struct TagTexts;
}

namespace kvaudio::ape {

constexpr int kFileVersion = 3990;
constexpr uint16_t kFlagCreateWavHeader = 32;

// The five levels of the format store (0 "Fast" … 4 "Slow") are the
// format's compression levels 1000 … 5000; out-of-range positions are
// clamped.
int compressionLevelForPosition(int position);
int blocksPerFrame(int compressionLevel);

// One frame of interleaved 16-bit PCM as it is stored in the file: the
// CRC word, the range-coded residuals, padded to whole 32-bit words and
// stored word-swapped.
QByteArray encodeFrame(const int16_t* pcm, int blocks, int channels, int compressionLevel);

struct StreamInfo {
    int compressionLevel = 1000;
    int channels = 2;
    int sampleRate = 44100;
    uint32_t blocksPerFrame = 73728;
    uint32_t finalFrameBlocks = 0;
    uint32_t totalFrames = 0;
};

// Descriptor, header and seek table; frameSizes are the stored sizes of
// the frames in order. The first frame starts right after these bytes.
QByteArray buildFileHead(const StreamInfo& info, const std::vector<uint32_t>& frameSizes);

// An APEv2 tag (header, items, footer) holding the non-empty texts; empty
// when every text is empty.
QByteArray buildApeTag(const TagTexts& tags);

} // namespace kvaudio::ape
