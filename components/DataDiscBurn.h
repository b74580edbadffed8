#pragma once
// Data disc writing shared by both data burner components: an ISO 9660 +
// Joliet image of a list of files (libisofs), streamed to a writer (libburn).
// Writers are the machine's drives and the files named in
// KELVANE_DATA_WRITERS, which libburn drives as "stdio:" pseudo-drives: the
// file is the disc, blank while it is missing or empty.
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
};

struct Writer {
    QString name;    // list text: "D: /dev/sr0", "Z: stdio:/tmp/disc.iso"; its first character is the drive letter
    QString address; // libburn address: "/dev/sr0", "stdio:/tmp/disc.iso"
    bool pseudo = false;
};

// True once libburn and libisofs have started (started on the first call).
bool LibrariesReady();

// The machine's writers first (D:, E:, ...), then KELVANE_DATA_WRITERS (Z:, Y:, ...).
std::vector<Writer> EnumerateWriters();

struct DriveState {
    bool ready = false;              // a disc (or a usable stdio file) is there
    bool blank = false;              // nothing written on it yet
    std::vector<int> writeSpeedsKBs; // write speeds the drive reports, slowest first
    QString why;                     // why it is not ready
};

// Grabs the drive briefly and reads its state.
DriveState ProbeDrive(const QString& address);

struct ImageLayout {
    QStringList files;     // full paths, in disc order; each lands in the root under its own name
    QString volumeLabel;   // cut to VolumeLabelLimit
    bool joliet = true;
    QString applicationId;
    QString preparerId;
};

// The volume label as written: at most 32 bytes of UTF-8, cut on a character boundary.
QString CutVolumeLabel(const QString& label);

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
// worker thread; `cancel` may be set from any thread. A stdio target that
// did not finish is made blank again (removed when the burn created it).
BurnResult BurnImage(const QString& address, const ImageLayout& layout, int speedKBs, const std::atomic<bool>& cancel,
                     const BurnEvents& events);

// Opens (eject) or closes the tray of a real drive; a stdio drive has none.
void MoveTray(const QString& address, bool open);

} // namespace datadisc
