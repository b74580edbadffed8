#pragma once
// One rip, run on the ripper's worker thread: read the sectors of a track (or
// of a range of it) with libcdio-paranoia and encode them into a temporary
// file beside the target. The caller commits the file on success.
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

#include "components/audio/AudioEncoder.h"
#include "components/disc/CdDrives.h"
#include "components/disc/cAudioCDRipper.h"

namespace cdrip {

struct Request {
    cddrives::Device device;
    bool deviceValid = false;
    int track = 0;
    bool hasRange = false;
    int rangeStart = 0;  // seconds
    int rangeLength = -1; // seconds, -1 = to the end of the track
    kvaudio::EncoderSettings settings;
    QString outputFile;
};

struct Result {
    enum Outcome { Done, Aborted, Error };
    Outcome outcome = Error;
    int code = 0;
    QString text;
    // Done: the finished file under its temporary name. Committing it is the
    // caller's; dropping it removes the file.
    std::shared_ptr<kvaudio::AudioEncoder> output;
};

// progress(percent) is called from the worker thread whenever the percent grows.
Result run(const Request& request, const std::atomic<bool>& abort,
           const std::function<void(int)>& progress);

} // namespace cdrip
