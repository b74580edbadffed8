#pragma once
// A null sink and a source recording it, loaded for one test process under
// names of its own, so that what a test plays into it is all it records
// (other tests play into the shared sink at the same time). Holds a lock
// shared by all test processes while it lives.
#include <QByteArray>
#include <QString>

#include "components/audio/cWave.h"

namespace recfx {

class PrivateSink {
public:
    PrivateSink();
    ~PrivateSink();
    bool ok() const { return m_ok; }
    QString sinkName() const { return m_sink; }
    QString sourceName() const { return m_source; }
    // The position of the source among the recorder's inputs, -1 when it does not show up.
    long inputIndex(int waitMs = 5000) const;
    // Plays a WAV file into the sink in the background (paplay); stopPlaying ends it.
    bool startPlaying(const QString& wav);
    void stopPlaying();

private:
    QString m_sink;
    QString m_source;
    QString m_sinkModule;
    QString m_sourceModule;
    qint64 m_player = -1;
    bool m_ok = false;
    int m_lock = -1;
};

// A canonical 44-byte-header PCM WAV as read back.
struct WavFile {
    bool valid = false;
    quint32 riffSize = 0;
    quint16 formatTag = 0;
    quint16 channels = 0;
    quint32 rate = 0;
    quint32 byteRate = 0;
    quint16 blockAlign = 0;
    quint16 bits = 0;
    quint32 dataSize = 0;
    qint64 fileSize = 0;
    QByteArray data;
    double seconds() const { return blockAlign && rate ? double(dataSize / blockAlign) / rate : 0; }
};
WavFile readWav(const QString& path);
// The PCM format record of bits, rate and channels.
WAVEFORMATEX pcmFormat(int bits, int rate, int channels);
// The frequency of the first channel from its zero crossings.
double dominantHz(const WavFile& wav);

} // namespace recfx
