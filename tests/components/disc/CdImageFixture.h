#pragma once
// Generated audio CD images (cue/bin) for the tests that need a disc in a
// drive, and a reader of the PCM in a ripped WAV file.
#include <QByteArray>
#include <QString>
#include <vector>

namespace cdimage {

constexpr int kSector = 2352;
constexpr int kSecond = 75; // sectors

struct TrackSpec {
    int sectors;
    bool audio = true;
    int pregap = 0; // sectors of INDEX 00 before this track's INDEX 01
};

// A cue/bin pair whose bin holds pseudo-random samples, so that a wrong
// offset or byte order cannot go unnoticed.
struct Image {
    QString cue, bin;
    QByteArray data;         // the whole bin
    std::vector<int> starts; // INDEX 01 of each track, then the end of the bin
    QByteArray sectors(int first, int count) const { return data.mid(qsizetype(first) * kSector, qsizetype(count) * kSector); }
    // What a rip of track n must give: from its INDEX 01 to the next track's start.
    QByteArray track(int n) const { return sectors(starts[n - 1], starts[n] - starts[n - 1]); }
};

// "MM:SS:FF" of a sector number.
QString msf(int sector);

// Writes <dir>/<base>.cue and its bin (<base>.bin unless binName is given).
Image writeImage(const QString& dir, const QString& base, const std::vector<TrackSpec>& tracks, quint32 seed,
                 const QString& binName = {});

QByteArray readFile(const QString& path);

// Pads a cue sheet with remarks past 1 MB, the size no cue sheet is read at.
void padCuePastOneMegabyte(const QString& cuePath);

// The audio of a canonical 44.1 kHz 16-bit stereo PCM WAV file; fails the test otherwise.
QByteArray wavPcm(const QString& path);

} // namespace cdimage
