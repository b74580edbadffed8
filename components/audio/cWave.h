#pragma once
// Records from a sound input or an output's monitor into a PCM WAV file and
// plays WAV files back. Capturing and writing run on the sound thread; the
// calls below return at once and the ends come back as queued events. A recording goes
// into a file beside the destination that takes the destination's name only
// when the recording ends, so an existing file stands until then; its header
// is brought up to date every second, so a crash leaves a playable file.
#include <QObject>
#include <QString>
#include <memory>

class cPlayer;
class QTimer;
struct RecorderShared;
namespace kvsound {
class Stream;
}

// The PCM format record of a recording (field order and widths of the
// classic wave format structure).
struct WAVEFORMATEX {
    quint16 wFormatTag = 1;
    quint16 nChannels = 0;
    qint32 nSamplesPerSec = 0;
    qint32 nAvgBytesPerSec = 0;
    quint16 nBlockAlign = 0;
    quint16 wBitsPerSample = 0;
    quint16 cbSize = 0;
};

struct WaveDeviceCapsRecord {
    QString DeviceName;
    QString DeviceId;      // the sound system's own name of the device
    qint32 Channels = 0;   // the most channels the device offers
    qint32 DeviceNumber = 0; // its position in the system's list
};

struct WaveFileInfoRecord {
    quint16 wFormatTag = 0;
    quint16 nChannels = 0;
    qint32 nSamplesPerSec = 0;
    qint32 nAvgBytesPerSec = 0;
    quint16 nBlockAlign = 0;
    quint16 wBitsPerSample = 0;
    quint16 cbSize = 0;
    QString FileName;
    QString FilePath;
    qint32 SecondsLength = 0;
};

class cWave : public QObject {
    Q_OBJECT
public:
    // Which devices the device calls count.
    enum DeviceKind { WaveOutput = 1, WaveInput = 2 };
    // Results besides 0; the play-back results are those of cPlayer.
    enum WaveResult {
        WaveOk = 0,
        WaveNoDevice = 60,        // no input device at all
        WaveDeviceNotFound = 61,  // the index names no device
        WaveDeviceBusy = 62,      // the device refused to open
        WaveFormatUnsupported = 63,
        WaveBadFormat = 64,       // the record is not a PCM format we write
        WaveNoPath = 65,
        WaveFolderMissing = 66,
        WaveNotWritable = 67,
        WaveDiskFull = 68,
        WaveAlreadyRecording = 69,
        WaveFileInUse = 70,       // the file is being played
        WaveNoAnswer = 71,
        WaveReleased = 72,
        WaveWriteFailed = 73,
        WaveDeviceLost = 74,      // the sound system failed while recording
    };

    explicit cWave(QObject* parent = nullptr);
    ~cWave() override;

    long WaveDeviceCount(long kind);
    // Fills rec for device `index` of the kind; an index out of range leaves it empty.
    void WaveDeviceCaps(long& index, WaveDeviceCapsRecord& rec, long kind);

    // While true, MeterLevel events report the input level of a recording.
    bool MeterEnabled() const { return m_meterEnabled; }
    void setMeterEnabled(bool on);
    // The meter only runs with a recording; there is no separate monitor to stop.
    void StopMonitor() {}

    // Starts recording input device `device` (its position in the list of
    // inputs, where the outputs' monitors follow the inputs) into `path` in the format `format` (8 or 16 bits, any rate and
    // 1 or 2 channels); a device that cannot take the format as such is
    // recorded in its own and converted by the sound system. 0 = recording; DoneRecord follows
    // its end. `bufferHint` is accepted and not used: the component sizes
    // the device buffer itself.
    long StartRecording(long& device, const QString& path, WAVEFORMATEX& format, int bufferHint);
    // A sentence for the user about any result of this component.
    QString GetErrorText(long& code) const;
    // Ends the recording; the file is complete when DoneRecord arrives.
    void StopRecording();
    void PauseRecording();
    void ResumeRecording();
    bool IsRecording() const { return m_recording; }
    bool IsRecordingPaused() const { return m_recording && m_recordPaused; }
    // Inside DoneRecord: 0, or why the recording ended early (disk full, the
    // sound system gone); the take so far is kept.
    long RecordEndError() const { return m_recordEndError; }
    // Frames the last recording wrote (its length in the file).
    qint64 RecordedFrames() const;

    // 3725 -> "1:02:05".
    static QString SecondsToTime(long seconds);

    bool IsPlaying() const;
    // Fills rec from the file's header; 0 = read.
    long WaveFileInfo(const QString& path, WaveFileInfoRecord& rec);
    // Plays on the default output. `device` (an input's position) and
    // `bufferHint` are accepted and not used.
    long PlayWaveFile(const QString& path, int device, int bufferHint);
    // The length of the file PlayWaveFile started, in whole seconds to the
    // nearest: read with the file's opening, away from the window's thread.
    long PlayingSeconds() const;
    // The position heard, in percent of the file's length.
    long PlayPosition() const;
    long PlayedSeconds() const;
    long StopPlayback();
    void PausePlayback();
    void ResumePlayback();

    // Ends a recording (completing its file) and any play-back; the
    // component records and plays no more.
    void ReleaseComponent();

signals:
    void DoneRecord();
    // Input level, 0 (silence) to 100 (full scale).
    void MeterLevel(int level);
    // The file played to its end.
    void DonePlay();

private:
    void recordingEnded(quint64 generation, long error, const QString& detail);
    void catchUp();
    void finishRecording(long error, const QString& detail, bool waitHere);

    kvsound::Stream* m_stream = nullptr;
    QTimer* m_catchUp = nullptr;
    std::shared_ptr<RecorderShared> m_shared;
    std::shared_ptr<cWave*> m_alive; // cleared when the component goes
    qint64 m_startMs = 0;
    qint64 m_stopAskedMs = -1;
    int m_recordRate = 0;
    cPlayer* m_player = nullptr;

    bool m_meterEnabled = false;
    bool m_recording = false;
    bool m_recordPaused = false;
    bool m_released = false;
    quint64 m_generation = 0;
    long m_recordEndError = 0;
    QString m_recordPath;
    QString m_lastDetail;
    QString m_playingPath;
    long m_playLengthMs = 0;
};
