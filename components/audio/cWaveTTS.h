#pragma once
// Speaks text aloud or into a WAV file with the eSpeak NG engine. Speaking
// runs on the component's own thread: Speak returns at once, the word being
// heard comes back as WordPosition and the end as SpeakDone (both queued).
// SpeakToFile returns when the file is complete, keeping the caller's window
// responsive meanwhile. Long texts are spoken in pieces, so a stop takes
// effect within a fraction of a second whatever the length.
//
// Scales: SpeechRate -10..10 maps onto the engine's 80..450 words a minute,
// piecewise linear through 175 (its normal pace) at 0: -10 gives 80, 10
// gives 450. SpeechVolume 0..100 is the engine's 0..100 (its normal
// loudness at 100), values outside are clamped.
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QThread;
class TtsWorker;
struct TtsShared;

class cWaveTTS : public QObject {
    Q_OBJECT
public:
    enum TtsResult {
        TtsOk = 0,
        TtsNoEngine = 80,    // the engine or its data cannot be loaded
        TtsEmptyText = 81,
        TtsNoDevice = 82,    // no audio output to speak on
        TtsDeviceBusy = 83,
        TtsWriteFailed = 84, // the file cannot be written
        TtsStopped = 85,     // StopSpeaking ended the speaking
        TtsReleased = 86,
        TtsBusy = 87,        // speaking to a file already
        TtsDeviceLost = 88,  // the sound system failed or went while speaking
    };

    explicit cWaveTTS(QObject* parent = nullptr);
    ~cWaveTTS() override;

    // Voices: the engine's default voice first, then the others by name.
    long VoiceCount();
    QString VoiceName(long& number); // from 1
    long AudioOutputCount();
    QString AudioOutputName(long& number); // from 1

    // Raises SpeechFormatFound for every format offered before it returns.
    void InitSpeech();
    bool IsSpeaking() const { return m_speaking; }

    // List positions from 0; -1 is the default voice / output.
    void setSpeechOutput(long position) { m_output = position; }
    void setSpeechVoice(long position) { m_voice = position; }
    void setSpeechRate(long rate) { m_rate = rate; }
    void setSpeechVolume(long volume) { m_volume = volume; }
    // Kept for the caller; no option changes how the engine speaks.
    void setSpeechOptions(long options) { m_options = options; }
    // A code of SpeechFormatFound; an unknown code keeps the current format.
    void setSpeechFormat(long code);
    long SpeechFormat() const { return m_format; }
    long SpeechOptions() const { return m_options; }

    // Speaks on the chosen output. While speaking, the text is spoken after
    // what is being spoken; one SpeakDone ends them all.
    void Speak(const QString& text);
    void StopSpeaking();
    // Writes the whole text as a WAV file in the speech format; 0 = written.
    // An existing file at path is removed first, so a failure never leaves
    // an old file standing in for the new one.
    long SpeakToFile(const QString& text, const QString& path);
    QString GetErrorText(long code) const;
    // Inside a SpeakDone handler: 0 when the text was spoken or stopped, else
    // why speaking ended early (no output, the output refused, the sound
    // system lost); GetErrorText says more.
    long SpeakEndError() const { return m_endError; }

    void ReleaseComponent();

    // The engine's own rate and volume for the component's scales.
    static int EngineRate(long rate);
    static int EngineVolume(long volume);

signals:
    void SpeechFormatFound(QString& name, long& code);
    // The word being heard, as a range of the text passed to Speak (UTF-16 positions).
    void WordPosition(long start, long length);
    void SpeakDone();

private:
    friend class TtsWorker;
    bool ensureWorker();
    void workerDone(quint64 generation, long code, const QString& detail);
    void workerWord(quint64 generation, long start, long length);

    QThread* m_thread = nullptr;
    TtsWorker* m_worker = nullptr;
    std::shared_ptr<TtsShared> m_shared;
    long m_output = -1;
    long m_voice = -1;
    long m_rate = 0;
    long m_volume = 100;
    long m_options = 0;
    long m_format = 8;
    bool m_speaking = false;
    bool m_released = false;
    bool m_fileBusy = false;
    quint64 m_generation = 0;
    long m_endError = TtsOk;
    QString m_lastDetail;
};
