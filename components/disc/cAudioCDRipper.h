#pragma once
// The CD ripper component: lists CD devices and the tracks of the disc in the
// current one, and rips one track (or part of it) into an audio file on a
// worker thread. Devices are 0-based, tracks 1-based.
//
// Job contract, shared with the converter: StartRip returns at once; every
// event arrives queued, never inside the call that caused it; each start ends
// with exactly one of JobDone, JobAborted or JobError and nothing follows it.
// The output is written beside the target under a temporary name and renamed
// only on success, so an error or abort leaves no half file and keeps an
// existing one.
#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "components/audio/AudioEncoder.h"
#include "components/audio/AudioFormatRecords.h"
#include "components/audio/AudioJobErrors.h"
#include "components/audio/EncoderJobSettings.h"

namespace cddrives {
struct Device;
struct Disc;
}
namespace cdrip {
struct Result;
}

class cAudioCDRipper : public QObject, public EncoderJobSettings {
    Q_OBJECT
public:
    // Codes of JobError: the audio components' codes (the encoder's own pass
    // through unchanged), and those only a disc can give.
    enum ErrorCode {
        ErrFormat = kvaudio::ErrFormatUnavailable,
        ErrOutput = kvaudio::ErrOutputPath,
        ErrOwnInput = kvaudio::ErrOutputIsInput, // the output would overwrite the image being read
        ErrBadRange = kvaudio::ErrRange,          // the range lies outside the track
        ErrBusy = kvaudio::ErrBusy,               // a rip is already running on this instance
        ErrNoDevice = 60,                         // RipDevice names no device
        ErrNoDisc = 61,                           // no readable disc in the device
        ErrNoTrack = 62,                          // no such track, or a data track
        ErrRead = 63,                             // the disc could not be read
    };

    explicit cAudioCDRipper(QObject* parent = nullptr);
    ~cAudioCDRipper() override;

    // Devices and the disc in the current one.
    int DeviceCount() const;
    QString DeviceName(int index) const;
    bool SelectDevice(int index);
    bool IsAudioCD();
    // Why the current device's disc image was refused (its cue sheet too
    // large, say), for the user to read in place of a plain "no audio CD";
    // empty for a disc, an empty drive or a missing image.
    QString DiscRefusal();
    int TrackCount();
    int TrackLength(int track); // whole seconds, rounded
    int QueryTrack(int track);  // 1 audio, 2 data, 0 no such track
    void EjectTray();
    void CloseTray();

    // The track number in a track row's name ("D:/Track03.cda" → 3), 0 when
    // the name is not of that form. The drive part goes to *drive when asked.
    static int TrackFromCdaName(const QString& name, QString* drive = nullptr);

    // Job parameters; they stay in force for later rips, except the range,
    // which applies only to the next StartRip.
    void setRipDevice(int index) { m_ripDevice = index; }
    int RipDevice() const { return m_ripDevice; }
    void setRipTrack(int track) { m_ripTrack = track; }
    int RipTrack() const { return m_ripTrack; }
    void setRangeStart(int seconds);
    void setRangeLength(int seconds);
    void setOutputFile(const QString& path) { m_outputFile = path; }
    QString OutputFile() const { return m_outputFile; }

    void StartRip();
    void AbortJob();
    // Stops a running rip (its JobAborted still follows) and lets go of the
    // drives; the component stays usable.
    void ReleaseComponent();

signals:
    void JobProgress(int percent);
    void JobDone();
    void JobAborted();
    void JobError(int code, const QString& text);

private:
    struct Job;
    void refreshDisc();
    void postError(int code, const QString& text);
    void finishJob(quint64 id, const std::shared_ptr<cdrip::Result>& result);
    void joinWorker();
    bool letGoUnlessEnded(std::chrono::milliseconds wait);

    std::vector<cddrives::Device> m_devices;
    int m_current = -1;
    std::unique_ptr<cddrives::Disc> m_disc;
    QString m_signature; // of the current image drive's files

    int m_ripDevice = 0;
    int m_ripTrack = 1;
    bool m_rangeSet = false;
    int m_rangeStart = 0;
    int m_rangeLength = 0;
    QString m_outputFile;

    std::shared_ptr<Job> m_job; // the running job, until its end event
    quint64 m_nextJobId = 1;
    quint64 m_releases = 0;
    std::thread m_worker;
};
