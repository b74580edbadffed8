#pragma once
// Items to burn (made by the tests), what a decode of them must give, and a
// reader of the tracks an image writer wrote, through libcdio as a reader
// would see the disc.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace burnfixture {

constexpr int kSector = 2352;

struct Item {
    QString path;
    QByteArray pcm; // the item decoded by the ffmpeg tool: 44.1 kHz 16-bit stereo little-endian
};

// A tone of the given seconds in the format the extension names (wav, mp3,
// wma), and its reference decode. An empty path means the tool failed.
Item makeItem(const QString& path, double seconds, int pitch = 440);

// PCM padded with silence to whole sectors (and to the four-second minimum).
QByteArray padToSectors(const QByteArray& pcm);

struct ReadBack {
    bool ok = false;
    QString why;
    std::vector<QByteArray> tracks; // the audio of each track, in order
};
ReadBack readImage(const QString& cuePath);

} // namespace burnfixture
