#pragma once
// Plays one audio file at a time on an output device. Decoding and feeding the
// device run on the sound thread; the calls below return at once and the end
// of playing comes back as the queued PlayEnded event.
#include <QObject>
#include <QString>
#include <QVector>
#include <memory>

// A snapshot of the audio that is being heard, for the graphs: the most
// recent frames before the play position, mixed to one channel.
struct cAudioData {
    int sampleRate = 0;
    QVector<float> samples;
    bool isEmpty() const { return sampleRate <= 0 || samples.isEmpty(); }
};

namespace kvsound {
class Stream;
}

class cPlayer : public QObject {
    Q_OBJECT
public:
    // Results of PlayFile and ReadFileInfo besides 0 (success). The file
    // codes 1-6 are those of the audio reader.
    enum PlayResult {
        PlayOk = 0,
        PlayFileMissing = 1,
        PlayFileUnreadable = 2,
        PlayFileNotAudio = 3,
        PlayFileMislabelled = 4,
        PlayFileTruncated = 5,
        PlayFileEmpty = 6,
        PlayNoDevice = 20,        // no output device at all (no sound server)
        PlayDeviceNotFound = 21,  // the device number names no device
        PlayDeviceBusy = 22,      // the device refused to open
        PlayDeviceNoAnswer = 23,  // the device did not answer in time
        PlayReleased = 24,        // the component has been released
        PlayBusy = 25,            // another file is still being opened
        PlayDeviceLost = 26,      // the sound system failed while playing
    };

    explicit cPlayer(QObject* parent = nullptr);
    ~cPlayer() override;

    // Starts playing path on output device `device` (its position in the
    // system's list of outputs; a negative number is the default output).
    // 0 means that playing has started. A file that plays already is stopped
    // first, with its own PlayEnded. While the file and the device open, the
    // caller's thread goes on with its timers and painting (not its input).
    long PlayFile(const QString& path, long device);
    // A sentence for the user about a PlayFile or ReadFileInfo result.
    QString GetErrorText(long code) const;
    // Reads the format and length of a file without playing it; 0 = read.
    long ReadFileInfo(const QString& path);
    // Length of the last file played or read, in seconds.
    double DurationSeconds() const { return m_durationSeconds; }
    // Format of the last file played or read: samples per second, average
    // bitrate in kbit/s, channels.
    int SampleRate() const { return m_sampleRate; }
    int Bitrate() const { return m_bitrate; }
    int Channels() const { return m_channels; }
    // 3725 -> "1:02:05".
    static QString SecondsToTime(long seconds);

    // The position heard now, in seconds from the start of the file.
    double PlayPosition() const;
    // Playing goes on from `seconds` (kept inside the file).
    void Seek(long seconds);

    bool IsPlaying() const { return m_playing; }
    bool IsPlaybackPaused() const { return m_playing && m_paused; }
    void PausePlayback();
    void ResumePlayback();
    void StopPlayback();

    // Output volume in percent, 0-100; kept across files.
    int Volume() const { return m_volume; }
    void setVolume(int percent);

    cAudioData AudioData() const;

    // Stops playing; the player plays no more.
    void ReleaseComponent();

    // Inside a PlayEnded handler: true when the file played to its end,
    // false when StopPlayback stopped it.
    bool PlayEndedAtEndOfFile() const { return m_endedAtEnd; }
    // Inside a PlayEnded handler: 0, or PlayDeviceLost when the sound system
    // failed or went away while playing (GetErrorText says more).
    long PlayEndError() const { return m_endError; }

signals:
    // Playing has stopped: the file reached its end or StopPlayback was
    // called. Always queued, once per file started.
    void PlayEnded();

private:
    void ended(long error, const QString& detail);
    bool startStream(qint64 fromMs, QString* error);
    void takeFormat(const QString& path, int sampleRate, int channels, qint64 durationMs);

    kvsound::Stream* m_stream = nullptr;
    std::shared_ptr<struct PlayerShared> m_shared;
    QString m_deviceId;
    qint64 m_baseMs = 0;
    long m_endError = 0;

    bool m_playing = false;
    bool m_paused = false;
    bool m_released = false;
    bool m_opening = false; // while PlayFile waits for the file and the device
    class QEventLoop* m_openLoop = nullptr;
    int m_volume = 100;
    double m_durationSeconds = 0;
    qint64 m_playingLengthMs = 0;
    int m_sampleRate = 0;
    int m_bitrate = 0;
    int m_channels = 0;
    bool m_endedAtEnd = false;
    QString m_lastPath;
    QString m_lastDetail;
};
