#pragma once
// The program's one way to the sound server (PulseAudio, or PipeWire's
// PulseAudio server): device lists, and playback and capture streams. One
// connection and one sound thread serve the whole process. Audio is handed
// over in callbacks that run on that thread; state changes reach the stream's
// owner as queued events on the owner's thread. Nothing here waits on the
// server without a deadline, and stopping a stream never waits at all, so a
// server that hangs or goes away leaves the windows usable.
#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>

class QEventLoop;
struct pa_stream;
struct pa_operation;

namespace kvsound {

enum class SampleType { U8, S16, F32 };

struct StreamFormat {
    int rate = 44100;
    int channels = 2;
    SampleType type = SampleType::S16;
    int bytesPerSample() const { return type == SampleType::U8 ? 1 : type == SampleType::S16 ? 2 : 4; }
    int bytesPerFrame() const { return bytesPerSample() * channels; }
};

struct Device {
    QString id;          // the server's name of the device
    QString description; // the name the server shows users
    int channels = 0;
    int rate = 0;
    bool isDefault = false;
    bool isMonitor = false; // what an output plays
};

// Outputs in the server's order. False with *error set when no server answers.
bool listOutputs(QList<Device>* out, QString* error = nullptr);
// Inputs in the server's order, then the outputs' monitors in theirs: a
// position stored before monitors were listed keeps naming the same input.
bool listInputs(QList<Device>* out, QString* error = nullptr);

// Runs `work` on a thread of its own and waits up to timeoutMs for it; with
// `pumpEvents` the caller's timers and painting go on meanwhile (not its
// input), and `*running` names the wait so that the caller may end it early
// (the caller clears it after).
// False when it did not finish in time: it then finishes unattended.
bool runWithDeadline(std::function<void()> work, int timeoutMs, bool pumpEvents,
                     QEventLoop** running = nullptr);

class Stream : public QObject {
    Q_OBJECT
public:
    // Playback: called on the sound thread for up to `bytes` bytes; returns
    // how many it wrote (whole frames). 0 means the end: what was written
    // plays out and Drained follows.
    using Fill = std::function<size_t(void* dst, size_t bytes)>;
    // Capture: called on the sound thread with each part recorded.
    using Take = std::function<void(const void* data, size_t bytes)>;

    explicit Stream(QObject* parent = nullptr);
    ~Stream() override; // stops

    // Starts a stream on device `id` (empty: the server's default). The
    // device holds about `latencyMs` of audio. Returns at once: false with
    // *error for what fails at once, else Ready or Failed follows. A playback
    // stream without `fill` takes what write() hands it and plays as soon as
    // anything is in.
    bool startPlayback(const QString& id, const StreamFormat& format, int latencyMs, Fill fill, QString* error);
    bool startCapture(const QString& id, const StreamFormat& format, int latencyMs, Take take, QString* error);
    // Waits up to timeoutMs for the server to accept the stream: 1 ready,
    // 0 no answer, -1 refused (*error says why).
    int waitReady(int timeoutMs, QString* error = nullptr);
    // A playback stream without fill: queues what the device has room for
    // (whole frames), returns the bytes taken.
    qint64 write(const void* data, qint64 bytes);
    // Ends the stream at once; no callback runs after this returns.
    void stop();

    bool isActive() const { return m_stream != nullptr; }
    // Corks the stream; set before a start, the stream starts corked.
    void setPaused(bool paused);
    // Playback gain, 0..1, applied to what Fill writes.
    void setVolume(double gain) { m_gain = float(gain); }
    // Frames heard (playback) or taken (capture) since the start.
    qint64 position() const;
    // Peak of the last part recorded, 0..1, while asked for.
    void setLevelWanted(bool on) { m_levelWanted = on; }
    float level() const { return m_level; }
    const StreamFormat& format() const { return m_format; }

signals:
    void Ready();
    // The server refused the stream, lost it or went away.
    void Failed(const QString& text);
    // A playback stream played out everything after Fill returned 0.
    void Drained();

private:
    struct Callbacks;
    friend struct Callbacks;
    bool start(bool playback, const QString& id, const StreamFormat& format, int latencyMs, QString* error);
    void post(int what, const QString& text = QString());

    pa_stream* m_stream = nullptr;
    StreamFormat m_format;
    Fill m_fill;
    Take m_take;
    std::atomic<float> m_gain{1.0f};
    std::atomic<float> m_level{0.0f};
    std::atomic<bool> m_levelWanted{false};
    std::atomic<int> m_state{0}; // 0 connecting, 1 ready, -1 failed
    std::atomic<qint64> m_taken{0};
    mutable std::atomic<qint64> m_heard{0};
    std::atomic<quint64> m_generation{0};
    std::atomic<bool> m_paused{false};
    bool m_draining = false;
    pa_operation* m_drain = nullptr;
    QString m_failText; // under the sound thread's lock
};

} // namespace kvsound
