#pragma once
// Data disc writing shared by both data burner components: an ISO 9660 +
// Joliet image of a list of files (libisofs), or with UDF an ISO 9660 / UDF
// bridge image made by genisoimage, written to a writer (libburn).
// Writers are the machine's drives and the files named in
// KELVANE_DATA_WRITERS, which libburn drives as "stdio:" pseudo-drives: the
// file is the disc, blank while it is missing or empty. A stdio disc is
// written under a temporary name beside it and renamed when the burn ends
// well, so a failed burn leaves the target as it was.
//
// Kept free of library headers: only DataDiscBurn.cpp includes libburn and
// libisofs.
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <vector>

namespace datadisc {

// Stable codes of a failed burn (the components' BurnStopped/BurnerMessage).
enum ErrorCode {
    Ok = 0,
    ErrLibrary = 200,     // libburn or libisofs did not start
    ErrNoWriter = 201,    // the drive is not there or cannot be used
    ErrNotBlank = 202,    // the disc holds data
    ErrNoFiles = 203,     // nothing was added
    ErrImage = 204,       // the image could not be made from the files
    ErrWrite = 205,       // the writer failed
    ErrCancelled = 206,   // the burn was cancelled
    ErrBusy = 207,        // a burn is already running
    ErrTooBig = 208,      // the files do not fit on the disc
    ErrRead = 209,        // a file could not be read, or changed while it was burned
    ErrNoTool = 210,      // genisoimage, which writes UDF, is missing or failed
};

// What a CD holds (80 minutes of mode 1 sectors): the capacity of a stdio writer that names none.
constexpr qint64 kCdCapacityBytes = 360000LL * 2048;

struct Writer {
    QString name;    // list text: "D: /dev/sr0", "Z: stdio:/tmp/disc.iso"; its first character is the drive letter
    QString address; // libburn address: "/dev/sr0", "stdio:/tmp/disc.iso"
    bool pseudo = false;
};

// True once libburn and libisofs have started (started on the first call).
bool LibrariesReady();

// The machine's writers first (D:, E:, ...), then KELVANE_DATA_WRITERS (Z:, Y:, ...).
// An entry "path=700M" names the capacity of its disc (K, M, G of 1024;
// plain bytes without); one without holds a CD.
std::vector<Writer> EnumerateWriters();

struct DriveState {
    bool ready = false;              // a disc (or a usable stdio file) is there
    bool blank = false;              // nothing written on it yet
    std::vector<int> writeSpeedsKBs; // write speeds the drive reports, slowest first
    qint64 capacityBytes = 0;        // what a blank disc there holds; 0 when unknown
    QString why;                     // why it is not ready
};

// Grabs the drive briefly and reads its state.
DriveState ProbeDrive(const QString& address);

struct ImageLayout {
    QStringList files;     // full paths, in disc order; each lands in the root
    QStringList names;     // their names on the disc (DiscNames); empty: worked out from the files
    QString volumeLabel;
    bool joliet = true;    // ISO 9660 is always written; Joliet adds its names
    bool udf = false;      // adds a UDF file system (through genisoimage)
    QString applicationId;
    QString preparerId;
    QString publisherId;
};

// Joliet (and UDF beside it) holds names of at most 103 characters.
constexpr int kJolietNameLimit = 103;
// The names the files get on a disc with Joliet or UDF: a longer name is
// cut to the limit keeping its extension, and made unique with "~n".
QStringList DiscNames(const QStringList& files);

// The volume label in each volume descriptor: ISO 9660 takes 32 d-characters
// (upper-case letters, digits, '_' for anything else), Joliet 16 characters as typed.
QString IsoVolumeId(const QString& label);
QString JolietVolumeId(const QString& label);
// The publisher in the ISO 9660 descriptor: 128 a-characters.
QString IsoPublisherId(const QString& text);

// Bytes a disc of these files needs (each file in whole sectors, plus the
// file system); a file that cannot be read counts 0.
qint64 LayoutBytes(const QStringList& files);

// The path of the file a stdio writer names (a link's destination, even a missing one).
QString StdioTargetPath(const QString& address);
// The temporary file a stdio disc is written to before it takes its name.
QString StdioPartPath(const QString& address);
// Removes a temporary disc file left by a burn that never ended.
void ClearStaleImage(const QString& address);
// Removes the UDF images that burns of processes no longer running left.
void ClearStaleUdfImages();

struct BurnEvents {
    std::function<void()> started;       // writing has begun
    std::function<void(int)> progress;   // percent 0..100
    std::function<void()> closing;       // the session is being closed
};

struct BurnResult {
    int code = Ok;
    QString text;
};

// Builds the image and writes it; blocks until the burn ends. Runs on a
// worker thread; `cancel` may be set from any thread. The burn fails when the
// image does not fit, when a file cannot be read or changes (size or time)
// before the burn ends, or when a library reports an error. A stdio target
// is only touched by a burn that ended well.
BurnResult BurnImage(const QString& address, const ImageLayout& layout, int speedKBs, const std::atomic<bool>& cancel,
                     const BurnEvents& events);

// Opens (eject) or closes the tray of a real drive; a stdio drive has none.
void MoveTray(const QString& address, bool open);

} // namespace datadisc
