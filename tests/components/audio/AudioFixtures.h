#pragma once
// Audio files made by the tests themselves, and a libavformat probe to check
// what the components wrote.
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

namespace fixtures {

// A 16-bit PCM WAV with a sine tone (a different pitch per channel).
QString writeToneWav(const QString& path, double seconds, int rate = 44100, int channels = 2, int bits = 16);
// Runs the ffmpeg command line; returns true when it succeeded.
bool runFfmpeg(const QStringList& args);
// Copies the first `bytes` bytes of a file.
QString writeTruncated(const QString& from, const QString& to, qint64 bytes);
QString writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readAll(const QString& path);

// A 16-bit PCM WAV whose channels all carry the same sine, peaking at `peak` (full scale 1).
QString writeSineWav(const QString& path, double seconds, int rate, int channels, double peak, double hz = 1000);

// A WAV of `seconds` of tone with `holeBytes` zero bytes written sparse
// (cheap at any size) in one of these places. Read as chunks, zeros are empty
// chunks with a null name, holeBytes / 8 of them.
enum class WavHole {
    BeforeData,  // between the format and the data chunk
    AfterData,   // after the data chunk
    InListChunk, // the body of a LIST/INFO chunk before the data
    InJunkChunk, // the body of a "junk" chunk before the data (skipped by any reader)
};
QString writeWavWithHole(const QString& path, double seconds, qint64 holeBytes, WavHole where);

// The samples of a 16-bit PCM WAV, interleaved; no channels when it is not one.
struct Pcm16 {
    int rate = 0, channels = 0;
    QVector<qint16> samples;
    qint64 frames() const { return channels ? samples.size() / channels : 0; }
};
Pcm16 readPcm16(const QString& path);

// The chunks of a RIFF WAVE file as written, in order.
struct RiffChunk {
    QByteArray id, data;
};
QList<RiffChunk> riffChunks(const QString& path);
QByteArray riffChunk(const QString& path, const QByteArray& id);
// The texts of the LIST/INFO chunk, keyed by their ids ("INAM", "IART" ...).
QMap<QString, QString> riffInfo(const QString& path);

// What the command-line tools read from a file: the sample frames ffmpeg
// decodes (-1 when it fails) and the tags ffprobe shows, keys in lower case.
qint64 ffmpegDecodedFrames(const QString& path);
QMap<QString, QString> ffprobeTags(const QString& path);

struct Probe {
    bool ok = false;
    QString container, codec;
    int sampleRate = 0, channels = 0;
    double seconds = 0;
    QMap<QString, QString> tags; // container and stream metadata, keys in lower case
};
Probe probe(const QString& path);

} // namespace fixtures
