#include "components/cWave.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMediaDevices>
#include <QStorageInfo>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <future>
#include <mutex>

#include "components/SampleConverter.h"
#include "components/WaveFileWriter.h"
#include "components/cPlayer.h"

namespace {

// How much audio the device holds before the component's thread reads it. The
// sound server delivers late in proportion to it, and the level meter moves
// once per buffer, so it stays short.
constexpr int kDeviceBufferMs = 100;
// How long a stop waits for the audio the server still holds back.
constexpr int kCatchUpMs = 5000;
constexpr int kOpenTimeoutMs = 4000;
constexpr int kMeterIntervalMs = 50;
// How often the thread takes what the device gathered, besides its own signal.
constexpr int kDrainIntervalMs = 250;

SampleConverter::Sample sampleOf(QAudioFormat::SampleFormat f)
{
    switch (f) {
    case QAudioFormat::UInt8:
        return SampleConverter::U8;
    case QAudioFormat::Int16:
        return SampleConverter::S16;
    case QAudioFormat::Int32:
        return SampleConverter::S32;
    default:
        return SampleConverter::Float;
    }
}

// The recording is written beside its destination under this name and renamed
// when it ends; a crash leaves it there, playable.
QString partialPathFor(const QString& path)
{
    const QFileInfo fi(path);
    const QString base = fi.dir().filePath(fi.completeBaseName() + QStringLiteral(".recording"));
    QString candidate = base + QStringLiteral(".wav");
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = base + QStringLiteral("-%1.wav").arg(n);
    return candidate;
}

bool samePath(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo fa(a), fb(b);
    const QString ca = fa.canonicalFilePath(), cb = fb.canonicalFilePath();
    if (!ca.isEmpty() && !cb.isEmpty())
        return ca == cb;
    return fa.absoluteFilePath() == fb.absoluteFilePath();
}

} // namespace

// What the component's thread and the window's thread both see.
struct RecorderShared {
    std::mutex ownerMutex;
    cWave* owner = nullptr;
    std::atomic<bool> paused{false};
    std::atomic<bool> meter{false};
    std::atomic<bool> abandoned{false};
    std::atomic<qint64> frames{0};
    // Pauses on the steady clock, so that a stop knows how long was recorded.
    std::atomic<qint64> pausedSinceMs{-1};
    std::atomic<qint64> pausedTotalMs{0};
};

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Lives on the component's thread: owns the input device and the file.
class RecorderWorker : public QObject {
public:
    explicit RecorderWorker(std::shared_ptr<RecorderShared> shared)
        : m_shared(std::move(shared))
    {
        m_chunk.resize(64 * 1024);
    }
    ~RecorderWorker() override { stop(); }

    struct StartResult {
        long code = cWave::WaveOk;
        QString detail;
    };

    struct StartRequest {
        QAudioDevice device;
        QAudioFormat captureFormat;
        QString path;
        int rate = 0;
        int channels = 0;
        int bits = 0;
        quint64 generation = 0;
    };

    void start(const StartRequest& q, StartResult* r)
    {
        stop();
        m_path = q.path;
        m_partial = partialPathFor(q.path);
        m_generation = q.generation;
        m_error = cWave::WaveOk;
        m_errorDetail.clear();
        m_shared->frames = 0;
        m_bits = q.bits;
        m_channels = q.channels;

        const QAudioFormat& cf = q.captureFormat;
        if (cf.sampleRate() != q.rate || cf.channelCount() != q.channels
            || cf.sampleFormat() != (q.bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16)) {
            if (!m_converter.open(cf.sampleRate(), cf.channelCount(), sampleOf(cf.sampleFormat()), q.rate, q.channels,
                                  q.bits == 8 ? SampleConverter::U8 : SampleConverter::S16)) {
                r->code = cWave::WaveFormatUnsupported;
                return;
            }
        }

        QString error;
        if (!m_writer.open(m_partial, q.rate, q.channels, q.bits, &error)) {
            r->code = m_writer.lastErrno() == ENOSPC ? cWave::WaveDiskFull : cWave::WaveNotWritable;
            r->detail = error;
            m_converter.close();
            return;
        }

        m_source = new QAudioSource(q.device, cf);
        m_source->setBufferSize(qsizetype(cf.sampleRate()) * kDeviceBufferMs / 1000 * cf.bytesPerFrame());
        m_io = m_source->start();
        if (!m_io || m_source->error() != QAudio::NoError || m_source->state() == QAudio::StoppedState) {
            r->code = cWave::WaveDeviceBusy;
            r->detail = q.device.description();
            discard();
            return;
        }
        QObject::connect(m_io, &QIODevice::readyRead, this, [this] { drain(); });
        if (!m_drainTimer) {
            m_drainTimer = new QTimer(this);
            m_drainTimer->setInterval(kDrainIntervalMs);
            QObject::connect(m_drainTimer, &QTimer::timeout, this, [this] { drain(); });
        }
        m_drainTimer->start();
        m_meterClock.start();
        m_startMs = steadyMs();
        m_frameLimit = -1;
        m_rate = q.rate;
        m_active = true;
    }

    // Ends the recording as of `stopMs` on the steady clock (now when -1),
    // completes the file under its name and tells the owner.
    void stop(qint64 stopMs = -1)
    {
        if (!m_active)
            return;
        catchUp(stopMs < 0 ? steadyMs() : stopMs);
        m_active = false;
        closeSource();
        if (m_converter.isOpen()) {
            QByteArray tail;
            m_converter.flush(tail);
            if (!tail.isEmpty())
                writeOut(tail.constData(), tail.size());
            m_converter.close();
        }
        const bool ok = m_writer.finish();
        if (!ok && m_error == cWave::WaveOk)
            fail();
        if (std::rename(QFile::encodeName(m_partial).constData(), QFile::encodeName(m_path).constData()) != 0
            && m_error == cWave::WaveOk) {
            // The take stays under its temporary name rather than being lost.
            m_error = cWave::WaveWriteFailed;
            m_errorDetail = QStringLiteral("it is kept as %1 (%2)").arg(m_partial, QString::fromLocal8Bit(std::strerror(errno)));
        }
        const quint64 generation = m_generation;
        const long error = m_error;
        const QString detail = m_errorDetail;
        std::lock_guard<std::mutex> lock(m_shared->ownerMutex);
        if (cWave* owner = m_shared->owner)
            QMetaObject::invokeMethod(
                owner,
                [owner, generation, error, detail] {
                    owner->m_lastDetail = detail;
                    owner->workerEnded(generation, error);
                },
                Qt::QueuedConnection);
    }

    void take(const char* data, qint64 bytes)
    {
        if (!m_active || m_shared->paused)
            return;
        if (m_converter.isOpen()) {
            m_converted.clear();
            m_converter.convert(data, bytes, m_converted);
            writeOut(m_converted.constData(), m_converted.size());
        } else {
            writeOut(data, bytes);
        }
    }

private:
    // The file gets as many frames as the time recorded holds: the server
    // hands audio over late, so this waits for what it still holds back.
    void catchUp(qint64 now)
    {
        qint64 paused = m_shared->pausedTotalMs;
        const qint64 since = m_shared->pausedSinceMs;
        if (since >= 0)
            paused += now - since;
        const qint64 activeMs = qMax<qint64>(0, now - m_startMs - paused);
        m_frameLimit = activeMs * m_rate / 1000;
        // Audio that arrives from here on was recorded before the stop.
        m_shared->paused = false;
        QElapsedTimer waited;
        waited.start();
        while (m_io && m_writer.isOpen() && m_writer.frames() < m_frameLimit && waited.elapsed() < kCatchUpMs) {
            drain();
            if (m_writer.frames() < m_frameLimit)
                QThread::msleep(20);
        }
    }

    // Takes everything the device has gathered.
    void drain()
    {
        if (!m_io || !m_active)
            return;
        for (int guard = 0; guard < 64; ++guard) {
            const qint64 got = m_io->read(m_chunk.data(), m_chunk.size());
            if (got <= 0)
                break;
            take(m_chunk.constData(), got);
            if (!m_io)
                break;
        }
    }

    void writeOut(const char* data, qint64 bytes)
    {
        if (bytes <= 0 || !m_writer.isOpen())
            return;
        if (m_frameLimit >= 0) {
            const int frameBytes = m_bits / 8 * m_channels;
            bytes = qMin(bytes, qMax<qint64>(0, m_frameLimit - m_writer.frames()) * frameBytes);
            if (bytes <= 0)
                return;
        }
        if (!m_writer.write(data, bytes) || !m_writer.refreshHeader()) {
            fail();
            // Keep what was written; the end comes back as usual.
            m_shared->frames = m_writer.frames();
            QMetaObject::invokeMethod(this, [this] { stop(); }, Qt::QueuedConnection);
            return;
        }
        m_shared->frames = m_writer.frames();
        if (m_shared->meter && m_meterClock.elapsed() >= kMeterIntervalMs) {
            m_meterClock.restart();
            sendMeter(peakOf(data, bytes));
        }
    }

    void fail()
    {
        if (m_error != cWave::WaveOk)
            return;
        m_error = m_writer.lastErrno() == ENOSPC ? cWave::WaveDiskFull : cWave::WaveWriteFailed;
        m_errorDetail = QString::fromLocal8Bit(std::strerror(m_writer.lastErrno() ? m_writer.lastErrno() : EIO));
        closeSource();
    }

    int peakOf(const char* data, qint64 bytes) const
    {
        int peak = 0;
        if (m_bits == 8) {
            const auto* p = reinterpret_cast<const unsigned char*>(data);
            for (qint64 i = 0; i < bytes; ++i)
                peak = qMax(peak, std::abs(int(p[i]) - 128) * 256);
        } else {
            const auto* p = reinterpret_cast<const qint16*>(data);
            for (qint64 i = 0; i < bytes / 2; ++i)
                peak = qMax(peak, std::abs(int(p[i])));
        }
        return qMin(100, peak * 100 / 32767);
    }

    void sendMeter(int level)
    {
        std::lock_guard<std::mutex> lock(m_shared->ownerMutex);
        if (cWave* owner = m_shared->owner)
            QMetaObject::invokeMethod(owner, [owner, level] { owner->meterFromWorker(level); }, Qt::QueuedConnection);
    }

    // The device goes through deleteLater: its destructor may run queued events.
    void closeSource()
    {
        if (m_source) {
            QAudioSource* source = m_source;
            m_source = nullptr;
            source->stop();
            source->deleteLater();
        }
        m_io = nullptr;
        if (m_drainTimer)
            m_drainTimer->stop();
    }

    // A start that failed leaves nothing behind.
    void discard()
    {
        closeSource();
        m_writer.finish();
        QFile::remove(m_partial);
        m_converter.close();
    }

    std::shared_ptr<RecorderShared> m_shared;
    QAudioSource* m_source = nullptr;
    QIODevice* m_io = nullptr;
    QTimer* m_drainTimer = nullptr;
    QByteArray m_chunk;
    WaveFileWriter m_writer;
    SampleConverter m_converter;
    QByteArray m_converted;
    QElapsedTimer m_meterClock;
    QString m_path;
    QString m_partial;
    quint64 m_generation = 0;
    long m_error = cWave::WaveOk;
    QString m_errorDetail;
    int m_bits = 16;
    int m_channels = 2;
    bool m_active = false;
    qint64 m_startMs = 0;
    qint64 m_frameLimit = -1;
    int m_rate = 0;
};

cWave::cWave(QObject* parent)
    : QObject(parent)
{
    m_player = new cPlayer(this);
    connect(m_player, &cPlayer::PlayEnded, this, [this] {
        m_playingPath.clear();
        if (m_player->PlayEndedAtEndOfFile())
            emit DonePlay();
    });
}

cWave::~cWave() { ReleaseComponent(); }

long cWave::WaveDeviceCount(long kind)
{
    return kind == WaveOutput ? QMediaDevices::audioOutputs().size() : QMediaDevices::audioInputs().size();
}

void cWave::WaveDeviceCaps(long& index, WaveDeviceCapsRecord& rec, long kind)
{
    const QList<QAudioDevice> devices = kind == WaveOutput ? QMediaDevices::audioOutputs() : QMediaDevices::audioInputs();
    rec = WaveDeviceCapsRecord();
    if (index < 0 || index >= devices.size())
        return;
    const QAudioDevice& d = devices.at(int(index));
    rec.DeviceName = d.description();
    rec.DeviceId = QString::fromUtf8(d.id());
    rec.Channels = d.maximumChannelCount();
    rec.DeviceNumber = qint32(index);
}

void cWave::setMeterEnabled(bool on)
{
    m_meterEnabled = on;
    if (m_shared)
        m_shared->meter = on;
}

bool cWave::ensureWorker()
{
    if (m_worker)
        return true;
    if (m_released)
        return false;
    m_shared = std::make_shared<RecorderShared>();
    m_shared->owner = this;
    m_shared->meter = m_meterEnabled;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("cWave"));
    m_worker = new RecorderWorker(m_shared);
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
    return true;
}

// The thread hangs inside the sound system: let it go; a later start makes a new one.
void cWave::abandonWorker()
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
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_thread = nullptr;
    m_worker = nullptr;
    m_shared.reset();
}

long cWave::StartRecording(long& device, const QString& path, WAVEFORMATEX& format, int)
{
    m_lastDetail.clear();
    m_recordPath = path;
    if (m_released)
        return WaveReleased;
    if (m_recording)
        return WaveAlreadyRecording;
    const int bits = format.wBitsPerSample;
    const int channels = format.nChannels;
    const int rate = format.nSamplesPerSec;
    if (format.wFormatTag != 1 || (bits != 8 && bits != 16) || channels < 1 || channels > 2 || rate < 1000
        || rate > 384000 || format.nBlockAlign != bits / 8 * channels)
        return WaveBadFormat;

    if (path.trimmed().isEmpty())
        return WaveNoPath;
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir())
        return WaveFolderMissing;
    if (target.isDir() || !folder.isWritable() || (target.exists() && !target.isWritable()))
        return WaveNotWritable;
    if (!m_playingPath.isEmpty() && m_player->IsPlaying() && samePath(m_playingPath, path))
        return WaveFileInUse;
    const QStorageInfo storage(folder.absoluteFilePath());
    if (storage.isValid() && storage.bytesAvailable() >= 0
        && storage.bytesAvailable() < qint64(format.nAvgBytesPerSec) + 44)
        return WaveDiskFull;

    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    if (inputs.isEmpty())
        return WaveNoDevice;
    QAudioDevice chosen;
    if (device < 0)
        chosen = QMediaDevices::defaultAudioInput();
    else if (device < inputs.size())
        chosen = inputs.at(int(device));
    if (chosen.isNull())
        return WaveDeviceNotFound;

    QAudioFormat wanted;
    wanted.setSampleRate(rate);
    wanted.setChannelCount(channels);
    wanted.setSampleFormat(bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    QAudioFormat capture = wanted;
    if (!chosen.isFormatSupported(capture)) {
        capture = chosen.preferredFormat();
        if (!chosen.isFormatSupported(capture)) {
            m_lastDetail = chosen.description();
            return WaveFormatUnsupported;
        }
    }

    if (!ensureWorker())
        return WaveReleased;
    RecorderWorker::StartRequest q;
    q.device = chosen;
    q.captureFormat = capture;
    q.path = target.absoluteFilePath();
    q.rate = rate;
    q.channels = channels;
    q.bits = bits;
    q.generation = ++m_generation;
    m_shared->paused = false;
    m_shared->pausedSinceMs = -1;
    m_shared->pausedTotalMs = 0;
    auto result = std::make_shared<RecorderWorker::StartResult>();
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ready = done->get_future();
    RecorderWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [worker, q, result, done] {
            worker->start(q, result.get());
            done->set_value();
        },
        Qt::QueuedConnection);
    if (ready.wait_for(std::chrono::milliseconds(kOpenTimeoutMs)) != std::future_status::ready) {
        m_lastDetail = chosen.description();
        abandonWorker();
        return WaveNoAnswer;
    }
    if (result->code != WaveOk) {
        m_lastDetail = result->detail;
        return result->code;
    }
    m_recording = true;
    m_recordPaused = false;
    m_recordEndError = 0;
    return WaveOk;
}

QString cWave::GetErrorText(long& code) const
{
    const QString detail = m_lastDetail;
    const QString folder = QFileInfo(m_recordPath).absolutePath();
    switch (code) {
    case WaveOk:
        return QString();
    case WaveNoDevice:
        return QStringLiteral("No sound input device is available. Check that an input is connected and the sound "
                              "system is running.");
    case WaveDeviceNotFound:
        return QStringLiteral("The chosen input device does not exist. Choose another device.");
    case WaveDeviceBusy:
        return QStringLiteral("The input device \"%1\" cannot be opened; another program may be using it.").arg(detail);
    case WaveFormatUnsupported:
        return QStringLiteral("The input device \"%1\" cannot record in this format.").arg(detail);
    case WaveBadFormat:
        return QStringLiteral("This recording format is not supported: choose 8 or 16 bits, mono or stereo.");
    case WaveNoPath:
        return QStringLiteral("No destination file is given.");
    case WaveFolderMissing:
        return QStringLiteral("The folder %1 does not exist.").arg(QDir::toNativeSeparators(folder));
    case WaveNotWritable:
        return detail.isEmpty()
                   ? QStringLiteral("The file %1 cannot be written here.").arg(m_recordPath)
                   : QStringLiteral("The file %1 cannot be written: %2.").arg(m_recordPath, detail);
    case WaveDiskFull:
        return QStringLiteral("The disk is full: there is no room for the recording in %1.").arg(folder);
    case WaveAlreadyRecording:
        return QStringLiteral("A recording is already running.");
    case WaveFileInUse:
        return QStringLiteral("The file %1 is being played; stop the play-back before recording into it.")
            .arg(m_recordPath);
    case WaveNoAnswer:
        return QStringLiteral("The input device \"%1\" does not answer.").arg(detail);
    case WaveReleased:
        return QStringLiteral("The recorder has been closed.");
    case WaveWriteFailed:
        return QStringLiteral("Writing the recording failed: %1.").arg(detail);
    }
    return m_player->GetErrorText(code);
}

void cWave::StopRecording()
{
    if (!m_recording || !m_worker)
        return;
    // The take ends now, not when the thread gets to it.
    const qint64 at = steadyMs();
    RecorderWorker* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, at] { worker->stop(at); }, Qt::QueuedConnection);
}

void cWave::PauseRecording()
{
    if (!m_recording)
        return;
    if (m_recordPaused)
        return;
    m_recordPaused = true;
    m_shared->pausedSinceMs = steadyMs();
    m_shared->paused = true;
}

void cWave::ResumeRecording()
{
    if (!m_recording)
        return;
    if (!m_recordPaused)
        return;
    m_recordPaused = false;
    m_shared->paused = false;
    const qint64 since = m_shared->pausedSinceMs.exchange(-1);
    if (since >= 0)
        m_shared->pausedTotalMs += steadyMs() - since;
}

qint64 cWave::RecordedFrames() const { return m_shared ? m_shared->frames.load() : 0; }

void cWave::workerEnded(quint64 generation, long error)
{
    if (generation != m_generation || !m_recording)
        return;
    m_recording = false;
    m_recordPaused = false;
    m_recordEndError = error;
    emit DoneRecord();
}

void cWave::meterFromWorker(int level)
{
    if (m_recording && m_meterEnabled)
        emit MeterLevel(level);
}

QString cWave::SecondsToTime(long seconds) { return cPlayer::SecondsToTime(seconds); }

bool cWave::IsPlaying() const { return m_player->IsPlaying(); }

long cWave::WaveFileInfo(const QString& path, WaveFileInfoRecord& rec)
{
    rec = WaveFileInfoRecord();
    const QFileInfo fi(path);
    rec.FileName = fi.fileName();
    rec.FilePath = fi.absolutePath();
    const long code = m_player->ReadFileInfo(path);
    if (code != 0)
        return code;
    rec.wFormatTag = 1;
    rec.nChannels = quint16(m_player->Channels());
    rec.nSamplesPerSec = m_player->SampleRate();
    // Whole seconds to the nearest, as every other time text shows them.
    rec.SecondsLength = qint32(std::nearbyint(m_player->DurationSeconds()));
    return 0;
}

long cWave::PlayWaveFile(const QString& path, int, int)
{
    if (m_released)
        return cPlayer::PlayReleased;
    const long code = m_player->PlayFile(path, -1);
    if (code == 0) {
        m_playingPath = path;
        m_playLengthMs = long(std::lround(m_player->DurationSeconds() * 1000));
    }
    return code;
}

long cWave::PlayPosition() const
{
    if (!m_player->IsPlaying() || m_playLengthMs <= 0)
        return 0;
    return qBound(0L, long(std::lround(m_player->PlayPosition() * 100000.0 / double(m_playLengthMs))), 100L);
}

long cWave::PlayedSeconds() const { return long(std::nearbyint(m_player->PlayPosition())); }

long cWave::StopPlayback()
{
    m_player->StopPlayback();
    return 0;
}

void cWave::PausePlayback() { m_player->PausePlayback(); }

void cWave::ResumePlayback() { m_player->ResumePlayback(); }

void cWave::ReleaseComponent()
{
    if (m_released)
        return;
    m_released = true;
    m_player->ReleaseComponent();
    m_recording = false;
    m_recordPaused = false;
    ++m_generation;
    if (!m_worker)
        return;
    {
        std::lock_guard<std::mutex> lock(m_shared->ownerMutex);
        m_shared->owner = nullptr;
    }
    // The recording is completed on the thread before it ends.
    RecorderWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [worker] {
            worker->stop();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    if (m_thread->wait(kCatchUpMs + kOpenTimeoutMs)) {
        delete m_thread;
        m_thread = nullptr;
        m_worker = nullptr;
    } else {
        abandonWorker();
    }
}
