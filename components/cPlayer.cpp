#include "components/cPlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QMediaDevices>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <future>
#include <mutex>
#include <vector>

#include "components/AudioSource.h"

using kvaudio::AudioSource;
using kvaudio::SourceInfo;

namespace {

// How much audio the device may hold ahead of what is heard. Playing starts
// as soon as the first part is in, and a stop or seek drops the rest, so this
// costs no delay; much less than this and the sound server (the null sink
// in particular) stops asking for more in time.
constexpr int kDeviceBufferMs = 500;
// How often the player's thread tops the device up.
constexpr int kFeedIntervalMs = 10;
// How long a call waits for the device to open before it gives up on it.
constexpr int kOpenTimeoutMs = 4000;
// How long the release waits for the thread before it lets it go.
constexpr int kReleaseWaitMs = 500;
// How much audio the graphs can look back on, and how much they get.
constexpr int kHistorySeconds = 2;
constexpr int kGraphFrames = 4096;

} // namespace

// What the player's thread and the window's thread both see.
struct PlayerShared {
    std::atomic<qint64> positionMs{0};
    // Set when the window's side gave up waiting on this thread, or went.
    std::atomic<bool> abandoned{false};

    std::mutex ownerMutex;
    cPlayer* owner = nullptr;

    mutable std::mutex historyMutex;
    int rate = 0;
    std::vector<float> ring; // mono, kHistorySeconds long
    qint64 ringEnd = 0;      // frames stored since the last (re)start
    qint64 heardFrame = 0;   // frame heard now, counted the same way
};

// Lives on the player's thread: owns the reader and the device.
class PlayerWorker : public QObject {
public:
    PlayerWorker(std::shared_ptr<PlayerShared> shared)
        : m_shared(std::move(shared))
    {
    }
    ~PlayerWorker() override { closeDevice(); }

    struct StartResult {
        long code = cPlayer::PlayOk;
        QString detail;
        SourceInfo info;
    };

    void start(const QString& path, const QAudioDevice& device, quint64 generation, int volume, StartResult* r)
    {
        stop();
        if (!m_timer) {
            m_timer = new QTimer(this);
            m_timer->setTimerType(Qt::PreciseTimer);
            m_timer->setInterval(kFeedIntervalMs);
            QObject::connect(m_timer, &QTimer::timeout, this, [this] { tick(); });
        }
        QString error;
        const int status = m_source.open(path, &error);
        if (status != kvaudio::SourceOk) {
            r->code = status;
            r->detail = error;
            return;
        }
        r->info = m_source.info();
        m_device = device;
        m_generation = generation;
        m_volume = volume;

        m_format = QAudioFormat();
        m_format.setSampleRate(m_source.outputRate());
        m_format.setChannelCount(m_source.outputChannels());
        m_format.setSampleFormat(QAudioFormat::Float);
        if (!device.isFormatSupported(m_format)) {
            // The device's own rate and channels; the reader converts.
            const QAudioFormat pref = device.preferredFormat();
            if (pref.sampleRate() > 0)
                m_format.setSampleRate(pref.sampleRate());
            if (pref.channelCount() > 0)
                m_format.setChannelCount(qMin(pref.channelCount(), 2));
            m_source.setOutputFormat(m_format.sampleRate(), m_format.channelCount());
            if (!device.isFormatSupported(m_format)) {
                m_source.close();
                r->code = cPlayer::PlayDeviceBusy;
                r->detail = QStringLiteral("The audio device \"%1\" cannot play this kind of audio.")
                                .arg(device.description());
                return;
            }
        }
        {
            std::lock_guard<std::mutex> lock(m_shared->historyMutex);
            m_shared->rate = m_format.sampleRate();
            m_shared->ring.assign(size_t(m_format.sampleRate()) * kHistorySeconds, 0.0f);
        }
        if (!openDevice(0, &r->detail)) {
            m_source.close();
            r->code = cPlayer::PlayDeviceBusy;
            return;
        }
        if (m_shared->abandoned) {
            // Nobody waits for this start any more.
            stop();
            return;
        }
        m_active = true;
        m_paused = false;
        m_timer->start();
    }

    void stop()
    {
        m_active = false;
        m_paused = false;
        m_pendingSeekMs = -1;
        if (m_timer)
            m_timer->stop();
        closeDevice();
        m_source.close();
        m_shared->positionMs = 0;
    }

    void pause()
    {
        if (!m_active || m_paused)
            return;
        m_paused = true;
        if (m_sink)
            m_sink->suspend();
        m_timer->stop();
    }

    void resume()
    {
        if (!m_active || !m_paused)
            return;
        m_paused = false;
        if (m_pendingSeekMs >= 0) {
            const qint64 ms = m_pendingSeekMs;
            m_pendingSeekMs = -1;
            seekNow(ms);
        } else if (m_sink) {
            m_sink->resume();
        }
        m_timer->start();
    }

    void seek(qint64 ms)
    {
        if (!m_active)
            return;
        m_shared->positionMs = ms;
        if (m_paused) {
            // Heard only once playing goes on.
            m_pendingSeekMs = ms;
            return;
        }
        seekNow(ms);
    }

    void setVolume(int percent)
    {
        m_volume = percent;
        if (m_sink)
            m_sink->setVolume(percent / 100.0);
    }

private:
    bool openDevice(qint64 baseMs, QString* detail)
    {
        closeDevice();
        m_baseMs = baseMs;
        m_audioFrames = 0;
        m_eof = false;
        m_lastHeard = -1;
        {
            std::lock_guard<std::mutex> lock(m_shared->historyMutex);
            std::fill(m_shared->ring.begin(), m_shared->ring.end(), 0.0f);
            m_shared->ringEnd = 0;
            m_shared->heardFrame = 0;
        }
        m_sink = new QAudioSink(m_device, m_format);
        const int bytesPerFrame = m_format.bytesPerFrame();
        m_sink->setBufferSize(qsizetype(m_format.sampleRate()) * kDeviceBufferMs / 1000 * bytesPerFrame);
        m_sink->setVolume(m_volume / 100.0);
        m_io = m_sink->start();
        if (!m_io || m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState) {
            if (detail)
                *detail = QStringLiteral("The audio device \"%1\" cannot be opened; another program may be using "
                                         "it.")
                              .arg(m_device.description());
            closeDevice();
            return false;
        }
        feed();
        return true;
    }

    // The device goes through deleteLater: its destructor runs queued
    // events, which must never happen inside one of these steps.
    void closeDevice()
    {
        if (m_sink) {
            QAudioSink* sink = m_sink;
            m_sink = nullptr;
            sink->stop();
            sink->deleteLater();
        }
        m_io = nullptr;
    }

    void seekNow(qint64 ms)
    {
        m_source.seekMs(ms);
        if (!openDevice(ms, nullptr))
            finish();
    }

    // Tops the device up; past the end of the audio it feeds silence so that
    // the device plays out what it holds.
    void feed()
    {
        if (!m_sink || !m_io)
            return;
        const int ch = m_format.channelCount();
        const int bytesPerFrame = m_format.bytesPerFrame();
        for (int guard = 0; guard < 64; ++guard) {
            const qsizetype freeFrames = m_sink->bytesFree() / bytesPerFrame;
            if (freeFrames < 64)
                break;
            m_buffer.resize(size_t(freeFrames) * ch);
            int got = 0;
            if (!m_eof) {
                got = m_source.read(m_buffer.data(), int(freeFrames), nullptr);
                if (got <= 0) {
                    // The end, or audio that cannot be decoded further: play what came.
                    m_eof = true;
                    got = 0;
                }
            }
            if (got > 0) {
                remember(m_buffer.data(), got, ch);
                m_audioFrames += got;
            } else {
                got = int(freeFrames);
                std::fill(m_buffer.begin(), m_buffer.begin() + qsizetype(got) * ch, 0.0f);
            }
            const qint64 bytes = qint64(got) * bytesPerFrame;
            if (m_io->write(reinterpret_cast<const char*>(m_buffer.data()), bytes) < bytes)
                break;
        }
    }

    void remember(const float* frames, int n, int ch)
    {
        std::lock_guard<std::mutex> lock(m_shared->historyMutex);
        auto& ring = m_shared->ring;
        if (ring.empty())
            return;
        const size_t size = ring.size();
        for (int i = 0; i < n; ++i) {
            float v = 0;
            for (int c = 0; c < ch; ++c)
                v += frames[size_t(i) * ch + c];
            ring[size_t(m_shared->ringEnd % qint64(size))] = v / ch;
            ++m_shared->ringEnd;
        }
    }

    void tick()
    {
        if (!m_active || m_paused || !m_sink)
            return;
        feed();
        const int rate = m_format.sampleRate();
        qint64 heard = m_sink->processedUSecs() * rate / 1000000;
        heard = qBound<qint64>(0, heard, m_audioFrames);
        {
            std::lock_guard<std::mutex> lock(m_shared->historyMutex);
            m_shared->heardFrame = heard;
        }
        m_shared->positionMs = m_baseMs + heard * 1000 / rate;

        if (heard != m_lastHeard) {
            m_lastHeard = heard;
            m_stall.restart();
        }
        // Done once everything has been heard, or when the device stopped
        // moving a while after the last audio went in.
        if (m_eof && (heard >= m_audioFrames || m_stall.elapsed() > 3000 + kDeviceBufferMs))
            finish();
    }

    void finish()
    {
        const quint64 generation = m_generation;
        stop();
        std::lock_guard<std::mutex> lock(m_shared->ownerMutex);
        if (cPlayer* owner = m_shared->owner)
            QMetaObject::invokeMethod(
                owner, [owner, generation] { owner->workerEnded(generation); }, Qt::QueuedConnection);
    }

    friend class cPlayer;

    std::shared_ptr<PlayerShared> m_shared;
    AudioSource m_source;
    QAudioDevice m_device;
    QAudioFormat m_format;
    QAudioSink* m_sink = nullptr;
    QIODevice* m_io = nullptr;
    QTimer* m_timer = nullptr;
    std::vector<float> m_buffer;
    QElapsedTimer m_stall;
    quint64 m_generation = 0;
    int m_volume = 100;
    bool m_active = false;
    bool m_paused = false;
    bool m_eof = false;
    qint64 m_baseMs = 0;
    qint64 m_audioFrames = 0;
    qint64 m_lastHeard = -1;
    qint64 m_pendingSeekMs = -1;
};

cPlayer::cPlayer(QObject* parent)
    : QObject(parent)
{
}

cPlayer::~cPlayer() { ReleaseComponent(); }

bool cPlayer::ensureWorker()
{
    if (m_worker)
        return true;
    if (m_released)
        return false;
    m_shared = std::make_shared<PlayerShared>();
    m_shared->owner = this;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("cPlayer"));
    m_worker = new PlayerWorker(m_shared);
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
    return true;
}

// The player's thread hangs inside the sound system: let it go and never
// hear from it again. A later play starts a fresh thread.
void cPlayer::abandonWorker()
{
    if (!m_worker)
        return;
    m_shared->abandoned = true;
    {
        std::lock_guard<std::mutex> lock(m_shared->ownerMutex);
        m_shared->owner = nullptr;
    }
    QThread* thread = m_thread;
    thread->quit();
    // The thread deletes itself once (if ever) it comes back.
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_thread = nullptr;
    m_worker = nullptr;
    m_shared.reset();
}

long cPlayer::PlayFile(const QString& path, long device)
{
    if (m_openLoop) {
        // Called again while the last file still opens (from a timer of the window).
        return PlayBusy;
    }
    m_lastPath = path;
    m_lastDetail.clear();
    if (m_released)
        return PlayReleased;
    if (m_playing)
        StopPlayback();

    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    if (outputs.isEmpty())
        return PlayNoDevice;
    QAudioDevice chosen;
    if (device < 0) {
        chosen = QMediaDevices::defaultAudioOutput();
        if (chosen.isNull())
            chosen = outputs.first();
    } else if (device < outputs.size()) {
        chosen = outputs.at(int(device));
    } else {
        return PlayDeviceNotFound;
    }

    if (!ensureWorker())
        return PlayReleased;
    const quint64 generation = ++m_generation;
    auto result = std::make_shared<PlayerWorker::StartResult>();
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ready = done->get_future();
    PlayerWorker* worker = m_worker;
    std::shared_ptr<PlayerShared> shared = m_shared;
    const int volume = m_volume;
    QMetaObject::invokeMethod(
        worker,
        [worker, shared, path, chosen, generation, volume, result, done] {
            worker->start(path, chosen, generation, volume, result.get());
            done->set_value();
            std::lock_guard<std::mutex> lock(shared->ownerMutex);
            if (cPlayer* owner = shared->owner)
                QMetaObject::invokeMethod(
                    owner, [owner, generation] { owner->openAnswered(generation); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);

    // The window goes on painting and running its timers while the file and
    // the device open; its clicks wait until then.
    QPointer<cPlayer> self(this);
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    m_openLoop = &loop;
    m_openGeneration = generation;
    timeout.start(kOpenTimeoutMs);
    if (ready.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!self)
        return PlayReleased; // gone with its window meanwhile
    m_openLoop = nullptr;
    if (ready.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        if (m_released)
            return PlayReleased;
        m_lastDetail = QStringLiteral("The audio device \"%1\" does not answer.").arg(chosen.description());
        abandonWorker();
        return PlayDeviceNoAnswer;
    }
    if (m_released)
        return PlayReleased;
    if (result->code != PlayOk) {
        m_lastDetail = result->detail;
        return result->code;
    }
    takeFormat(path, result->info.sampleRate, result->info.channels, result->info.durationMs);
    m_playingLengthMs = result->info.durationMs;
    m_playing = true;
    m_paused = false;
    return PlayOk;
}

QString cPlayer::GetErrorText(long code) const
{
    if (code == PlayOk)
        return QString();
    if (!m_lastDetail.isEmpty())
        return m_lastDetail;
    switch (code) {
    case PlayNoDevice:
        return QStringLiteral("No audio output device is available. Check that the sound system is running.");
    case PlayDeviceNotFound:
        return QStringLiteral("The chosen audio output device does not exist.");
    case PlayDeviceBusy:
        return QStringLiteral("The audio output device cannot be opened; another program may be using it.");
    case PlayDeviceNoAnswer:
        return QStringLiteral("The audio output device does not answer.");
    case PlayReleased:
        return QStringLiteral("The player has been closed.");
    case PlayBusy:
        return QStringLiteral("The player is still opening another file.");
    }
    if (code >= PlayFileMissing && code <= PlayFileEmpty)
        return AudioSource::statusText(int(code), m_lastPath);
    return QStringLiteral("The file cannot be played.");
}

long cPlayer::ReadFileInfo(const QString& path)
{
    m_lastPath = path;
    m_lastDetail.clear();
    AudioSource source;
    QString error;
    const int status = source.open(path, &error);
    if (status != kvaudio::SourceOk) {
        m_lastDetail = error;
        return status;
    }
    takeFormat(path, source.info().sampleRate, source.info().channels, source.info().durationMs);
    return PlayOk;
}

void cPlayer::takeFormat(const QString& path, int sampleRate, int channels, qint64 durationMs)
{
    m_durationSeconds = durationMs / 1000.0;
    m_sampleRate = sampleRate;
    m_channels = channels;
    m_bitrate = durationMs > 0 ? int(std::lround(double(QFileInfo(path).size()) * 8.0 / double(durationMs))) : 0;
}

QString cPlayer::SecondsToTime(long seconds)
{
    if (seconds < 0)
        seconds = 0;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

double cPlayer::PlayPosition() const
{
    if (!m_playing || !m_shared)
        return 0;
    return m_shared->positionMs / 1000.0;
}

void cPlayer::Seek(long seconds)
{
    if (!m_playing || !m_worker)
        return;
    // The length of the file that plays: reading another file's facts meanwhile changes DurationSeconds.
    const qint64 ms = qBound<qint64>(0, qint64(seconds) * 1000, qMax<qint64>(0, m_playingLengthMs));
    m_shared->positionMs = ms;
    PlayerWorker* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, ms] { worker->seek(ms); }, Qt::QueuedConnection);
}

void cPlayer::PausePlayback()
{
    if (!m_playing || m_paused)
        return;
    m_paused = true;
    PlayerWorker* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { worker->pause(); }, Qt::QueuedConnection);
}

void cPlayer::ResumePlayback()
{
    if (!m_playing || !m_paused)
        return;
    m_paused = false;
    PlayerWorker* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { worker->resume(); }, Qt::QueuedConnection);
}

void cPlayer::StopPlayback()
{
    if (!m_playing)
        return;
    m_playing = false;
    m_paused = false;
    ++m_generation; // an end already on its way is not this stop's
    if (m_worker) {
        PlayerWorker* worker = m_worker;
        QMetaObject::invokeMethod(worker, [worker] { worker->stop(); }, Qt::QueuedConnection);
    }
    // Never from inside this call: the caller finishes its own stopping first.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_endedAtEnd = false;
            emit PlayEnded();
        },
        Qt::QueuedConnection);
}

void cPlayer::setVolume(int percent)
{
    m_volume = qBound(0, percent, 100);
    if (m_worker) {
        PlayerWorker* worker = m_worker;
        const int v = m_volume;
        QMetaObject::invokeMethod(worker, [worker, v] { worker->setVolume(v); }, Qt::QueuedConnection);
    }
}

cAudioData cPlayer::AudioData() const
{
    cAudioData data;
    if (!m_playing || !m_shared)
        return data;
    std::lock_guard<std::mutex> lock(m_shared->historyMutex);
    const auto& ring = m_shared->ring;
    if (ring.empty() || m_shared->rate <= 0)
        return data;
    const qint64 size = qint64(ring.size());
    const qint64 end = qMin(m_shared->heardFrame, m_shared->ringEnd);
    const qint64 begin = std::max({qint64(0), end - kGraphFrames, m_shared->ringEnd - size});
    if (end <= begin)
        return data;
    data.sampleRate = m_shared->rate;
    data.samples.resize(int(end - begin));
    for (qint64 i = begin; i < end; ++i)
        data.samples[int(i - begin)] = ring[size_t(i % size)];
    return data;
}

void cPlayer::workerEnded(quint64 generation)
{
    if (generation != m_generation || !m_playing)
        return;
    m_playing = false;
    m_paused = false;
    m_endedAtEnd = true;
    emit PlayEnded();
}

void cPlayer::openAnswered(quint64 generation)
{
    if (m_openLoop && generation == m_openGeneration)
        m_openLoop->quit();
}

void cPlayer::ReleaseComponent()
{
    if (m_released)
        return;
    m_released = true;
    if (m_openLoop)
        m_openLoop->quit();
    m_playing = false;
    m_paused = false;
    ++m_generation;
    if (!m_worker)
        return;
    {
        std::lock_guard<std::mutex> lock(m_shared->ownerMutex);
        m_shared->owner = nullptr;
    }
    // The thread ends right after the stop, so nothing queued behind it is left.
    PlayerWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [worker] {
            worker->stop();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    if (m_thread->wait(kReleaseWaitMs)) {
        delete m_thread;
        m_thread = nullptr;
        m_worker = nullptr;
        m_shared.reset();
    } else {
        abandonWorker();
    }
}
