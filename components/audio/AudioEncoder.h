#pragma once
// Writes one audio file from PCM frames, in any of the output formats the
// components offer. Used by the converter, the joiner and the CD ripper.
//
// The file is written under a temporary name beside the target. commit()
// gives it the target's name (replacing a file there); discard(), an error
// or destroying the encoder removes it, so an unfinished job never leaves a
// half file behind nor harms an existing one.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "components/audio/AudioFormatRecords.h"
#include "components/audio/AudioTags.h"

namespace kvaudio {

struct EncoderSettings {
    int outputFormat = 1; // 1 WAV, 2 ACM WAV, 3 MP3, 4 WMA, 5 OGG, 6 APE
    WAVSettings wav{44100, 2, 16};
    QString acmTag = QStringLiteral("PCM");
    QString acmFormat = QStringLiteral("44100 Hz, 16 bit, Stereo");
    MP3Settings mp3 = defaultMp3();
    WMASettings wma{};
    OGGSettings ogg{0, 0, 50};
    int apeLevel = 0;
    TagTexts tags;

    static MP3Settings defaultMp3()
    {
        MP3Settings m;
        m.Bitrate = 128;
        m.ABRBitrate = 128;
        m.Mode = 1;
        m.SampleRate = 44100;
        m.Quality = 5;
        m.VBRQuality = 5;
        m.MinBitrate = 9;
        m.MaxBitrate = 11;
        return m;
    }
};

// For tests: runs on the encoding thread when a file is complete, before it
// is read back, with its temporary path; stands in for a writer that leaves a
// damaged file. Empty for none.
void setWrittenOutputHook(std::function<void(const QString&)> hook);

class AudioEncoder {
public:
    AudioEncoder();
    ~AudioEncoder();
    AudioEncoder(const AudioEncoder&) = delete;
    AudioEncoder& operator=(const AudioEncoder&) = delete;

    // inputRate and inputChannels describe the PCM that write() gets. On an
    // error, errorCode (a JobErrorCode) and errorText say why.
    bool open(const QString& target, const EncoderSettings& settings, int inputRate, int inputChannels);

    // The rate and channels the file will hold; feeding PCM of this shape
    // spares a conversion.
    int outputRate() const;
    int outputChannels() const;

    // Interleaved samples in the input shape; floats run from -1 to 1.
    bool write(const float* interleaved, int frames);
    bool writeS16(const int16_t* interleaved, int frames);

    // Flushes the encoder, completes the temporary file and reads it back:
    // a file that got no audio or does not decode is an error, not a result.
    bool finish();
    // Moves the finished file to the target.
    bool commit();
    // Removes the temporary file.
    void discard();

    QString temporaryPath() const;
    int errorCode() const;
    QString errorText() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kvaudio
