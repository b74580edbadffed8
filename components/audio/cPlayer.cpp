#include "components/audio/cPlayer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

#include "components/audio/AudioSource.h"
#include "components/audio/SoundDevice.h"

using kvaudio::AudioSource;
using kvaudio::SourceInfo;

namespace {

// How much audio the device may hold ahead of what is heard. Playing starts
// as soon as the first part is in, and a stop or seek drops the rest, so this
// costs no delay, and a long buffer wakes the sound thread seldom.
constexpr int kDeviceBufferMs = 500;
// How long a call waits for the file and the device to open before it gives up on them.
constexpr int kOpenTimeoutMs = 4000;
// How much audio the graphs can look back on, and how much they get.
constexpr int kHistorySeconds = 2;
constexpr int kGraphFrames = 4096;

} // namespace

// The file that plays: the sound thread reads it while a stream runs, the
// window's thread only between streams.
struct PlayerShared {
    AudioSource source;
    int rate = 0;
    int channels = 0;
    std::atomic<bool> eof{false};
    std::atomic<qint64> seekMs{-1}; // done by the next read

    mutable std::mutex historyMutex;
    std::vector<float> ring; // mono, kHistorySeconds long
    qint64 ringEnd = 0;      // frames stored since the last (re)start

    void remember(const float* frames, int n)
    {
        std::lock_guard<std::mutex> lock(historyMutex);
        if (ring.empty())
            return;
        const size_t size = ring.size();
        for (int i = 0; i < n; ++i) {
            float v = 0;
            for (int c = 0; c < channels; ++c)
                v += frames[size_t(i) * channels + c];
            ring[size_t(ringEnd % qint64(size))] = v / channels;
            ++ringEnd;
        }
    }

    // On the sound thread: the next part of the file, nothing at its end.
    size_t fill(void* dst, size_t bytes)
    {
        const qint64 to = seekMs.exchange(-1);
        if (to >= 0)
            source.seekMs(to);
        const size_t got = eof ? 0 : source.readForStream(dst, bytes);
        if (got == 0) {
            eof = true;
            return 0;
        }
        remember(static_cast<const float*>(dst), int(got / (sizeof(float) * size_t(channels))));
        return got;
    }
};

cPlayer::cPlayer(QObject* parent)
    : QObject(parent)
{
}

cPlayer::~cPlayer() { ReleaseComponent(); }

bool cPlayer::startStream(qint64 fromMs, QString* error)
{
    if (!m_stream) {
        m_stream = new kvsound::Stream(this);
        connect(m_stream, &kvsound::Stream::Drained, this, [this] { ended(PlayOk, QString()); });
        connect(m_stream, &kvsound::Stream::Failed, this, [this](const QString& text) { ended(PlayDeviceLost, text); });
    }
    m_stream->stop();
    std::shared_ptr<PlayerShared> sh = m_shared;
    {
        std::lock_guard<std::mutex> lock(sh->historyMutex);
        std::fill(sh->ring.begin(), sh->ring.end(), 0.0f);
        sh->ringEnd = 0;
    }
    sh->eof = false;
    m_baseMs = fromMs;
    kvsound::StreamFormat format;
    format.rate = sh->rate;
    format.channels = sh->channels;
    format.type = kvsound::SampleType::F32;
    m_stream->setVolume(m_volume / 100.0);
    return m_stream->startPlayback(
        m_deviceId, format, kDeviceBufferMs, [sh](void* dst, size_t bytes) { return sh->fill(dst, bytes); }, error);
}

long cPlayer::PlayFile(const QString& path, long device)
{
    if (m_opening) {
        // Called again while the last file still opens (from a timer of the window).
        return PlayBusy;
    }
    m_lastPath = path;
    m_lastDetail.clear();
    if (m_released)
        return PlayReleased;
    if (m_playing)
        StopPlayback();

    // The device list and the file may both keep the caller waiting: the
    // window goes on painting and running its timers meanwhile (its clicks wait).
    struct Opened {
        bool listed = false;
        QList<kvsound::Device> outputs;
        int status = kvaudio::SourceOk;
        QString error;
    };
    auto sh = std::make_shared<PlayerShared>();
    auto opened = std::make_shared<Opened>();
    QPointer<cPlayer> self(this);
    m_opening = true;
    const bool answered = kvsound::runWithDeadline(
        [sh, opened, path] {
            opened->listed = kvsound::listOutputs(&opened->outputs);
            if (opened->listed && !opened->outputs.isEmpty())
                opened->status = sh->source.open(path, &opened->error);
        },
        kOpenTimeoutMs, true, &m_openLoop);
    if (!self)
        return PlayReleased; // gone with its window meanwhile
    m_openLoop = nullptr;
    m_opening = false;
    if (m_released)
        return PlayReleased;
    if (!answered) {
        m_lastDetail = QStringLiteral("The audio output device or the file does not answer.");
        return PlayDeviceNoAnswer;
    }
    if (!opened->listed || opened->outputs.isEmpty())
        return PlayNoDevice;
    QString deviceName = QStringLiteral("default");
    if (device >= 0) {
        if (device >= opened->outputs.size())
            return PlayDeviceNotFound;
        m_deviceId = opened->outputs.at(int(device)).id;
        deviceName = opened->outputs.at(int(device)).description;
    } else {
        m_deviceId.clear();
        for (const kvsound::Device& d : opened->outputs)
            if (d.isDefault)
                deviceName = d.description;
    }
    if (opened->status != kvaudio::SourceOk) {
        m_lastDetail = opened->error;
        return opened->status;
    }
    // More channels than the sound system maps are mixed down by the reader.
    if (sh->source.outputChannels() > 8)
        sh->source.setOutputFormat(sh->source.outputRate(), 2);
    sh->rate = sh->source.outputRate();
    sh->channels = sh->source.outputChannels();
    sh->ring.assign(size_t(sh->rate) * kHistorySeconds, 0.0f);
    const SourceInfo info = sh->source.info();
    m_shared = sh;

    QString error;
    if (m_stream)
        m_stream->setPaused(false);
    if (!startStream(0, &error)) {
        m_shared.reset();
        m_lastDetail = QStringLiteral("The audio device \"%1\" cannot be opened: %2").arg(deviceName, error);
        return PlayDeviceBusy;
    }
    // Waits for the server to take the stream, painting meanwhile.
    if (m_stream->waitReady(0) == 0) {
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(m_stream, &kvsound::Stream::Ready, &loop, &QEventLoop::quit);
        connect(m_stream, &kvsound::Stream::Failed, &loop, &QEventLoop::quit);
        timeout.start(kOpenTimeoutMs);
        m_opening = true;
        m_openLoop = &loop;
        if (m_stream->waitReady(0) == 0)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (!self)
            return PlayReleased;
        m_openLoop = nullptr;
        m_opening = false;
    }
    if (m_released)
        return PlayReleased;
    const int ready = m_stream->waitReady(0, &error);
    if (ready <= 0) {
        m_stream->stop();
        m_shared.reset();
        if (ready == 0) {
            m_lastDetail = QStringLiteral("The audio device \"%1\" does not answer.").arg(deviceName);
            return PlayDeviceNoAnswer;
        }
        m_lastDetail = QStringLiteral("The audio device \"%1\" cannot be opened: %2").arg(deviceName, error);
        return PlayDeviceBusy;
    }
    takeFormat(path, info.sampleRate, info.channels, info.durationMs);
    m_playingLengthMs = info.durationMs;
    m_playing = true;
    m_paused = false;
    m_endError = 0;
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
    case PlayDeviceLost:
        return QStringLiteral("Playing stopped: the sound system failed.");
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
    if (!m_playing || !m_shared || !m_stream || m_shared->rate <= 0)
        return 0;
    return (m_baseMs + m_stream->position() * 1000 / m_shared->rate) / 1000.0;
}

void cPlayer::Seek(long seconds)
{
    if (!m_playing || !m_shared)
        return;
    // The length of the file that plays: reading another file's facts meanwhile changes DurationSeconds.
    const qint64 ms = qBound<qint64>(0, qint64(seconds) * 1000, qMax<qint64>(0, m_playingLengthMs));
    // A new stream drops what the device holds; paused, it starts corked.
    m_stream->stop();
    m_shared->seekMs = ms;
    QString error;
    if (!startStream(ms, &error))
        QMetaObject::invokeMethod(
            this, [this, error] { ended(PlayDeviceLost, error); }, Qt::QueuedConnection);
}

void cPlayer::PausePlayback()
{
    if (!m_playing || m_paused)
        return;
    m_paused = true;
    m_stream->setPaused(true);
}

void cPlayer::ResumePlayback()
{
    if (!m_playing || !m_paused)
        return;
    m_paused = false;
    m_stream->setPaused(false);
}

void cPlayer::StopPlayback()
{
    if (!m_playing)
        return;
    m_playing = false;
    m_paused = false;
    m_stream->stop();
    m_shared.reset();
    // Never from inside this call: the caller finishes its own stopping first.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_endedAtEnd = false;
            m_endError = 0;
            emit PlayEnded();
        },
        Qt::QueuedConnection);
}

void cPlayer::setVolume(int percent)
{
    m_volume = qBound(0, percent, 100);
    if (m_stream)
        m_stream->setVolume(m_volume / 100.0);
}

cAudioData cPlayer::AudioData() const
{
    cAudioData data;
    if (!m_playing || !m_shared || !m_stream)
        return data;
    const qint64 heard = m_stream->position();
    std::lock_guard<std::mutex> lock(m_shared->historyMutex);
    const auto& ring = m_shared->ring;
    if (ring.empty() || m_shared->rate <= 0)
        return data;
    const qint64 size = qint64(ring.size());
    const qint64 end = qMin(heard, m_shared->ringEnd);
    const qint64 begin = std::max({qint64(0), end - kGraphFrames, m_shared->ringEnd - size});
    if (end <= begin)
        return data;
    data.sampleRate = m_shared->rate;
    data.samples.resize(int(end - begin));
    for (qint64 i = begin; i < end; ++i)
        data.samples[int(i - begin)] = ring[size_t(i % size)];
    return data;
}

// The device played everything out, or the sound system failed.
void cPlayer::ended(long error, const QString& detail)
{
    if (!m_playing)
        return;
    m_stream->stop();
    m_shared.reset();
    m_playing = false;
    m_paused = false;
    m_endedAtEnd = error == PlayOk;
    m_endError = error;
    if (error != PlayOk)
        m_lastDetail = QStringLiteral("Playing stopped: the sound system failed (%1).").arg(detail);
    emit PlayEnded();
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
    if (m_stream)
        m_stream->stop();
    m_shared.reset();
}
