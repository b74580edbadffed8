#pragma once
// One rip, run on the ripper's worker thread: read the sectors of a track (or
// of a range of it) with libcdio-paranoia and encode them into a temporary
// file beside the target. The caller renames the file on success.
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

#include "components/AudioFormatRecords.h"
#include "components/CdDrives.h"
#include "components/cAudioCDRipper.h"

namespace cdrip {

struct Request {
    cddrives::Device device;
    bool deviceValid = false;
    int track = 0;
    bool hasRange = false;
    int rangeStart = 0;  // seconds
    int rangeLength = -1; // seconds, -1 = to the end of the track
    int format = 1;
    WAVSettings wav{};
    MP3Settings mp3{};
    WMASettings wma{};
    OGGSettings ogg{};
    QString acmTag, acmFormat;
    int apeLevel = 0;
    cAudioCDRipper::Tags tags;
    QString outputFile;
};

class RipOutput;

struct Result {
    enum Outcome { Done, Aborted, Error };
    Outcome outcome = Error;
    int code = 0;
    QString text;
    // Done: the finished file under its temporary name. Committing it is the
    // caller's; dropping it removes the file.
    std::shared_ptr<RipOutput> output;
};

// progress(percent) is called from the worker thread whenever the percent grows.
Result run(const Request& request, const std::atomic<bool>& abort,
           const std::function<void(int)>& progress);

// Gives the finished file the target's name; false and errorText() when it cannot.
bool commit(RipOutput& output);
QString errorText(const RipOutput& output);

} // namespace cdrip
