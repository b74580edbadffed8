#pragma once
// WAV files of every shape real writers make (8 to 64 bits, float, mu-law,
// 20 bits in 24, plain or WAVE_FORMAT_EXTENSIBLE headers, 1 to 6 channels,
// a handful of frames), and a decoder of our own to read back what the
// components wrote.
#include <QString>
#include <QVector>

namespace shapes {

enum class Sample { U8, S16, S24, S20in24, S32, F32, F64, MuLaw };
const char* sampleName(Sample s);

struct WavShape {
    int rate = 44100;
    int channels = 2;
    qint64 frames = 44100;
    Sample sample = Sample::S16;
    bool extensible = false; // WAVE_FORMAT_EXTENSIBLE with a channel mask
    double peak = 0.5;       // of the sine, full scale 1
    bool sameInAll = false;  // every channel the same sine; else a pitch per channel
};
// Writes the file; returns the path, or an empty string.
QString writeWav(const QString& path, const WavShape& shape);

// A whole decode through libavformat/libavcodec, trimming what the container
// says to trim (an MP3's encoder delay and padding from its Info frame).
struct Decoded {
    bool ok = false;
    QString error;
    int rate = 0, channels = 0;
    qint64 frames = 0;
};
Decoded decodeFile(const QString& path);

} // namespace shapes
