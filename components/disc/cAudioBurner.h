#pragma once
// The audio CD burner component: writes audio files to a blank CD as audio
// tracks, one track per file, session at once. Drives are addressed by their
// letter (the first character of DriveName), drives and speeds are 1-based.
//
// Writers are the machine's CD writers (libburn) and image writers: each path
// in KELVANE_CD_WRITERS is a drive whose disc is the cue/bin pair written
// there, blank while neither file exists.
//
// BurnToDrive blocks its caller until the burn has ended, but not the GUI:
// the work runs on a worker thread while the call waits in a local event
// loop, so the events arrive (queued, in order) and a window's Abort button
// works meanwhile. The end event (BurnFinished or BurnError) is raised right
// before the call returns; an aborted burn raises neither and returns
// ResultAborted.
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace cdwrite {
struct Writer;
struct DiscStatus;
}

class cAudioBurner : public QObject {
    Q_OBJECT
public:
    // Codes of BurnError.
    enum ErrorCode {
        ErrNoDrive = 70,   // no writer with that letter
        ErrNotBlank = 71,  // the disc is not blank (or there is none)
        ErrTooBig = 72,    // the tracks do not fit on the disc
        ErrDecode = 73,    // a track could not be decoded during the burn
        ErrWrite = 74,     // the disc or image could not be written
        ErrNoTracks = 75,  // nothing was added
    };
    // Results of BurnToDrive.
    enum BurnResult { ResultDone = 0, ResultError = 1, ResultAborted = 2, ResultBusy = 3 };

    // The text of ErrTooBig.
    static QString TooBigText();
    // Sectors on an 80-minute disc, and the capacity unit per second of audio.
    static constexpr qint64 kDiscSectors = 80LL * 60 * 75;
    static constexpr qint64 kCapacityPerSecond = 153535;
    static constexpr int kSectorBytes = 2352;

    explicit cAudioBurner(QObject* parent = nullptr);
    ~cAudioBurner() override;

    int DriveCount() const;
    QString DriveName(int index) const; // 1-based
    int SpeedCount(const QString& drive);
    int SpeedKBs(int index) const; // 1-based, of the drive SpeedCount asked last
    qint64 DiscSize(const QString& drive);     // bytes of audio the blank disc takes
    qint64 DiscCapacity(const QString& drive); // seconds × 153535
    QString DiscState(const QString& drive);   // "" when a blank disc is ready
    // The folder that shows what a drive wrote ("" when there is none to open).
    QString DriveFolder(const QString& drive) const;

    bool AddTrack(const QString& path);
    // A file read as a track: the sectors it is estimated to take, nothing
    // when it does not open or its first block does not decode. Opens the
    // file, so a window calls it on a worker; safe on any thread.
    static std::optional<qint64> ReadTrack(const QString& path);
    // Adds a file ReadTrack read, with what it read.
    bool AddReadTrack(const QString& path, qint64 estimatedSectors);
    int TrackCount() const;
    bool BurnOption = false;

    long BurnToDrive(const QString& drive, long speed);
    void ResetBurner();
    void AbortJob();
    void EjectTray(const QString& drive);
    void CloseTray(const QString& drive);
    void ReleaseComponent();

    // True while BurnToDrive runs.
    bool Burning() const { return m_burning; }

signals:
    void TrackProgress(int percent, int track);
    void CurrentProgress(int percent, int unused);
    void ClosingSession();
    void ClosingTrack(int unused);
    void CachingTrack();
    void WritingTrack();
    void BurnFinished();
    void BurnError(int code, const QString& text);

private:
    struct TrackEntry {
        QString path;
        qint64 estimatedSectors = 0;
    };
    const cdwrite::Writer* writerFor(const QString& drive) const;
    const cdwrite::DiscStatus& statusOf(const cdwrite::Writer& w);
    void forgetStatus();

    std::vector<cdwrite::Writer> m_writers;
    std::vector<TrackEntry> m_tracks;
    std::vector<int> m_speeds;
    bool m_burning = false;
    std::shared_ptr<std::atomic<bool>> m_abort;
    std::unique_ptr<cdwrite::DiscStatus> m_status;
    QString m_statusOf;
    QElapsedTimer m_statusAge;
};
