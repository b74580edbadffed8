#pragma once
// Audio files made by the tests themselves, and a libavformat probe to check
// what the components wrote.
#include <QMap>
#include <QString>
#include <QStringList>

namespace fixtures {

// A 16-bit PCM WAV with a sine tone (a different pitch per channel).
QString writeToneWav(const QString& path, double seconds, int rate = 44100, int channels = 2, int bits = 16);
// Runs the ffmpeg command line; returns true when it succeeded.
bool runFfmpeg(const QStringList& args);
// Copies the first `bytes` bytes of a file.
QString writeTruncated(const QString& from, const QString& to, qint64 bytes);
QString writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readAll(const QString& path);

struct Probe {
    bool ok = false;
    QString container, codec;
    int sampleRate = 0, channels = 0;
    double seconds = 0;
    QMap<QString, QString> tags; // container and stream metadata, keys in lower case
};
Probe probe(const QString& path);

} // namespace fixtures
