#pragma once
// The writers behind AudioEncoder. Internal to components/audio/.
#include <QString>
#include <memory>

#include "components/audio/AudioEncoder.h"

namespace kvaudio {

class EncoderBackend {
public:
    virtual ~EncoderBackend() = default;
    // Opens `path` for writing. Samples arrive as interleaved floats at
    // rate() and channels().
    virtual bool open(const QString& path, QString* error) = 0;
    virtual bool write(const float* interleaved, int frames, QString* error) = 0;
    virtual bool finish(QString* error) = 0;
    int rate() const { return m_rate; }
    int channels() const { return m_channels; }

protected:
    int m_rate = 0, m_channels = 0;
};

struct FFOutputFormat {
    const char* container = "wav"; // wav, asf, ogg
    const char* encoder = "pcm_s16le";
    int rate = 44100;
    int channels = 2;
    int64_t bitRate = 0;        // bit/s, 0: the codec's own choice
    double vorbisQuality = -99; // 0..10 when set
    bool writeTags = false;
};

std::unique_ptr<EncoderBackend> makeFFBackend(const FFOutputFormat& outFormat, const TagTexts& tags);
std::unique_ptr<EncoderBackend> makeLameBackend(const MP3Settings& settings, int rate, int channels,
                                                const TagTexts& tags);
// APE at the format store's level position (0 fastest … 4 smallest), at the
// input's rate and channels.
std::unique_ptr<EncoderBackend> makeApeBackend(int level, int rate, int channels, const TagTexts& tags);
// ID3v2.3 tag holding the texts; empty when every text is empty.
QByteArray buildId3v2Tag(const TagTexts& tags);

} // namespace kvaudio
