#pragma once
// The audio CD writers the burner sees and the burn itself, kept out of
// cAudioBurner.h so that libburn and FFmpeg stay private to components/disc/.
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <vector>

namespace cdwrite {

constexpr int kSectorBytes = 2352;
constexpr int kSectorsPerSecond = 75;
// Players want a track of at least four seconds; shorter ones are padded with silence.
constexpr qint64 kMinTrackSectors = 4 * kSectorsPerSecond;

struct Writer {
    enum Kind { Drive, Image };
    Kind kind = Image;
    QString name;   // "D: <vendor product>", "W: out.cue": the first character is the letter
    QString source; // libburn drive address, or the absolute cue path of an image
};

// The machine's writers (D:, E:, ... in libburn's order, scanned once per
// run), then the images of KELVANE_CD_WRITERS (W:, V:, ... in list order).
std::vector<Writer> enumerateWriters();

struct DiscStatus {
    QString state;          // "" when a blank disc is ready
    qint64 sectors = 0;     // what the blank disc holds
    std::vector<int> speeds; // write speeds in KB/s, slowest first
};
DiscStatus inspect(const Writer& writer);
void eject(const Writer& writer);
void closeTray(const Writer& writer);

// The bin file of an image writer's cue path.
QString imageBinPath(const QString& cuePath);

struct Event {
    enum Type { TrackProgress, CurrentProgress, ClosingSession, ClosingTrack, CachingTrack, WritingTrack };
    Type type;
    int a = 0; // percent
    int b = 0; // track number
};

struct Request {
    Writer writer;
    QStringList files;
    int speedKBs = 0; // 0: the drive's fastest
    qint64 capacitySectors = 0;
};

struct Outcome {
    enum Kind { Done, Error, Aborted };
    Kind kind = Error;
    int code = 0;
    QString text;
};

// Sees each burn request as the writers get it, on the worker thread (an
// image writer has no use for the speed: tests read it here). Returns the
// previous watch.
using RequestWatch = std::function<void(const Request&)>;
RequestWatch setRequestWatch(RequestWatch watch);

// Runs on the worker thread; post is called there for every event.
Outcome burn(const Request& request, const std::atomic<bool>& abort, const std::function<void(const Event&)>& post);

// Decodes one item to 44.1 kHz 16-bit stereo little-endian PCM, handing
// blocks to sink (false from sink stops it) and the percent done to
// progress. Returns the bytes handed out, or -1 (why says the reason).
// The caller pads to whole sectors.
qint64 decodeToCdPcm(const QString& path, const std::function<bool(const char*, qint64)>& sink,
                     const std::function<void(int)>& progress, const std::atomic<bool>& abort, QString* why);

// Whether a file can be decoded, and its length in sectors as its header gives it.
bool probeItem(const QString& path, qint64* estimatedSectors);

// The machine's writers through libburn (CdBurnDrive.cpp).
namespace drive {
struct Found {
    QString address;
    QString title;
};
std::vector<Found> scan();
DiscStatus inspect(const QString& address);
void eject(const QString& address);
void closeTray(const QString& address);
Outcome burn(const Request& request, const std::atomic<bool>& abort, const std::function<void(const Event&)>& post);
} // namespace drive

} // namespace cdwrite
