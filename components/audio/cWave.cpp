#include "components/audio/cWave.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "components/audio/SoundDevice.h"
#include "components/audio/WaveFileWriter.h"
#include "components/audio/cPlayer.h"

namespace {

// How much audio the device holds before the component's thread reads it. The
// sound server delivers late in proportion to it, and the level meter moves
// once per buffer, so it stays short.
constexpr int kDeviceBufferMs = 100;
// How long a stop waits for the audio the server still holds back.
constexpr int kCatchUpMs = 3000;
constexpr int kCatchUpPollMs = 20;
constexpr int kOpenTimeoutMs = 4000;

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

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The take: written on the sound thread while its stream runs, opened and
// completed by other threads before and after.
struct RecorderShared {
    WaveFileWriter writer;
    QString path;
    QString partial;
    int frameBytes = 4;
    std::atomic<bool> paused{false};
    std::atomic<bool> meter{false};
    std::atomic<qint64> frames{0};
    // Frames the take gets at most: the time recorded, set by the stop.
    std::atomic<qint64> frameLimit{-1};
    std::atomic<int> writeErrno{0};
    std::atomic<bool> failPosted{false};
    // Pauses on the steady clock, so that a stop knows how long was recorded.
    std::atomic<qint64> pausedSinceMs{-1};
    std::atomic<qint64> pausedTotalMs{0};

    // On the sound thread: one part recorded. False once writing failed.
    bool take(const char* data, qint64 bytes)
    {
        if (writeErrno || !writer.isOpen())
            return false;
        if (paused)
            return true;
        const qint64 limit = frameLimit;
        if (limit >= 0)
            bytes = qMin(bytes, qMax<qint64>(0, limit - writer.frames()) * frameBytes);
        if (bytes > 0 && (!writer.write(data, bytes) || !writer.refreshHeader())) {
            writeErrno = writer.lastErrno() ? writer.lastErrno() : EIO;
            frames = writer.frames();
            return false;
        }
        frames = writer.frames();
        return true;
    }

    // Completes the file under its name; the error and detail of the end.
    void complete(long* error, QString* detail)
    {
        const bool ok = writer.finish();
        const int err = writeErrno ? int(writeErrno) : writer.lastErrno();
        if ((!ok || writeErrno) && *error == cWave::WaveOk) {
            *error = err == ENOSPC ? cWave::WaveDiskFull : cWave::WaveWriteFailed;
            *detail = QString::fromLocal8Bit(std::strerror(err ? err : EIO));
        }
        if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) != 0
            && *error == cWave::WaveOk) {
            // The take stays under its temporary name rather than being lost.
            *error = cWave::WaveWriteFailed;
            *detail = QStringLiteral("it is kept as %1 (%2)").arg(partial, QString::fromLocal8Bit(std::strerror(errno)));
        }
    }
};

cWave::cWave(QObject* parent)
    : QObject(parent)
    , m_alive(std::make_shared<cWave*>(this))
{
    m_player = new cPlayer(this);
    connect(m_player, &cPlayer::PlayEnded, this, [this] {
        m_playingPath.clear();
        if (m_player->PlayEndedAtEndOfFile())
            emit DonePlay();
    });
    m_stream = new kvsound::Stream(this);
    connect(m_stream, &kvsound::Stream::Failed, this, [this](const QString& text) {
        if (m_recording)
            finishRecording(WaveDeviceLost, text, false);
    });
    m_catchUp = new QTimer(this);
    m_catchUp->setInterval(kCatchUpPollMs);
    connect(m_catchUp, &QTimer::timeout, this, &cWave::catchUp);
}

cWave::~cWave()
{
    ReleaseComponent();
    *m_alive = nullptr;
}

namespace {

bool listDevices(long kind, QList<kvsound::Device>* devices)
{
    return kind == cWave::WaveOutput ? kvsound::listOutputs(devices) : kvsound::listInputs(devices);
}

} // namespace

long cWave::WaveDeviceCount(long kind)
{
    QList<kvsound::Device> devices;
    listDevices(kind, &devices);
    return devices.size();
}

void cWave::WaveDeviceCaps(long& index, WaveDeviceCapsRecord& rec, long kind)
{
    QList<kvsound::Device> devices;
    listDevices(kind, &devices);
    rec = WaveDeviceCapsRecord();
    if (index < 0 || index >= devices.size())
        return;
    const kvsound::Device& d = devices.at(int(index));
    rec.DeviceName = d.description;
    rec.DeviceId = d.id;
    rec.Channels = d.channels;
    rec.DeviceNumber = qint32(index);
}

void cWave::setMeterEnabled(bool on)
{
    m_meterEnabled = on;
    m_stream->setLevelWanted(on);
    if (m_shared)
        m_shared->meter = on;
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

    // The device list and creating the file may keep the caller waiting, not past the deadline.
    struct Opened {
        bool listed = false;
        QList<kvsound::Device> inputs;
        bool created = false;
        QString error;
    };
    auto opened = std::make_shared<Opened>();
    auto sh = std::make_shared<RecorderShared>();
    sh->path = target.absoluteFilePath();
    sh->partial = partialPathFor(sh->path);
    sh->frameBytes = bits / 8 * channels;
    sh->meter = m_meterEnabled;
    const bool answered = kvsound::runWithDeadline(
        [opened, sh, rate, channels, bits] {
            opened->listed = kvsound::listInputs(&opened->inputs);
            if (opened->listed && !opened->inputs.isEmpty())
                opened->created = sh->writer.open(sh->partial, rate, channels, bits, &opened->error);
        },
        kOpenTimeoutMs, false);
    // A file made after the deadline goes again.
    auto discard = [sh] {
        std::thread([sh] {
            if (sh->writer.isOpen()) {
                sh->writer.finish(false);
                QFile::remove(sh->partial);
            }
        }).detach();
    };
    if (!answered) {
        m_lastDetail = QStringLiteral("default");
        discard();
        return WaveNoAnswer;
    }
    if (!opened->listed || opened->inputs.isEmpty())
        return WaveNoDevice;
    QString deviceId;
    QString deviceName = QStringLiteral("default");
    if (device >= 0) {
        if (device >= opened->inputs.size()) {
            discard();
            return WaveDeviceNotFound;
        }
        deviceId = opened->inputs.at(int(device)).id;
        deviceName = opened->inputs.at(int(device)).description;
    } else {
        for (const kvsound::Device& d : opened->inputs)
            if (d.isDefault)
                deviceName = d.description;
    }
    if (!opened->created) {
        m_lastDetail = opened->error;
        return sh->writer.lastErrno() == ENOSPC ? WaveDiskFull : WaveNotWritable;
    }

    // The sound system converts to the format asked for.
    kvsound::StreamFormat captureFormat;
    captureFormat.rate = rate;
    captureFormat.channels = channels;
    captureFormat.type = bits == 8 ? kvsound::SampleType::U8 : kvsound::SampleType::S16;
    kvsound::Stream* stream = m_stream;
    QString error;
    const bool started = m_stream->startCapture(
        deviceId, captureFormat, kDeviceBufferMs,
        [this, sh, stream](const void* data, size_t bytes) {
            if (!sh->take(static_cast<const char*>(data), qint64(bytes))) {
                // Writing failed: the take ends with what it holds.
                if (!sh->failPosted.exchange(true))
                    QMetaObject::invokeMethod(
                        stream, [this] { finishRecording(WaveOk, QString(), false); }, Qt::QueuedConnection);
                return;
            }
            if (sh->meter) {
                const int level = int(std::lround(stream->level() * 100));
                QMetaObject::invokeMethod(
                    stream,
                    [this, level] {
                        if (m_recording && m_meterEnabled)
                            emit MeterLevel(level);
                    },
                    Qt::QueuedConnection);
            }
        },
        &error);
    const int ready = started ? m_stream->waitReady(kOpenTimeoutMs, &error) : -1;
    if (ready <= 0) {
        m_stream->stop();
        discard();
        if (ready == 0) {
            m_lastDetail = deviceName;
            return WaveNoAnswer;
        }
        m_lastDetail = deviceName;
        return WaveDeviceBusy;
    }
    m_shared = sh;
    m_startMs = steadyMs();
    m_stopAskedMs = -1;
    m_recordRate = rate;
    ++m_generation;
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
    case WaveDeviceLost:
        return QStringLiteral("The recording stopped: %1.").arg(detail);
    case WaveWriteFailed:
        return QStringLiteral("Writing the recording failed: %1.").arg(detail);
    }
    return m_player->GetErrorText(code);
}

void cWave::StopRecording()
{
    if (!m_recording || !m_shared || m_stopAskedMs >= 0)
        return;
    // The take ends now: it gets as many frames as the time recorded, which
    // the server hands over a little late.
    const qint64 now = steadyMs();
    m_stopAskedMs = now;
    qint64 paused = m_shared->pausedTotalMs;
    const qint64 since = m_shared->pausedSinceMs;
    if (since >= 0)
        paused += now - since;
    const qint64 activeMs = qMax<qint64>(0, now - m_startMs - paused);
    m_shared->frameLimit = activeMs * m_recordRate / 1000;
    // Audio that arrives from here on was recorded before the stop.
    m_shared->paused = false;
    m_catchUp->start();
    catchUp();
}

void cWave::catchUp()
{
    if (!m_recording || !m_shared) {
        m_catchUp->stop();
        return;
    }
    if (m_shared->frames < m_shared->frameLimit && steadyMs() - m_stopAskedMs < kCatchUpMs
        && m_shared->writeErrno == 0)
        return;
    finishRecording(WaveOk, QString(), false);
}

// Ends the take: the stream stops at once; the file is completed on a thread
// of its own (or here, when the component goes) and DoneRecord follows.
void cWave::finishRecording(long error, const QString& detail, bool waitHere)
{
    if (!m_recording || !m_shared)
        return;
    m_catchUp->stop();
    m_stream->stop();
    std::shared_ptr<RecorderShared> sh = m_shared;
    const quint64 generation = m_generation;
    QString text = detail;
    if (error == WaveDeviceLost)
        text = QStringLiteral("the sound system failed (%1); the take so far is kept").arg(detail);
    if (waitHere) {
        // No DoneRecord from a component that is going.
        sh->complete(&error, &text);
        m_lastDetail = text;
        m_recordEndError = error;
        m_recording = false;
        return;
    }
    std::shared_ptr<cWave*> alive = m_alive;
    std::thread([sh, alive, generation, error, text]() mutable {
        sh->complete(&error, &text);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [alive, generation, error, text] {
                if (cWave* owner = *alive)
                    owner->recordingEnded(generation, error, text);
            },
            Qt::QueuedConnection);
    }).detach();
}

void cWave::PauseRecording()
{
    if (!m_recording || m_recordPaused || !m_shared)
        return;
    m_recordPaused = true;
    m_shared->pausedSinceMs = steadyMs();
    m_shared->paused = true;
}

void cWave::ResumeRecording()
{
    if (!m_recording || !m_recordPaused || !m_shared)
        return;
    m_recordPaused = false;
    m_shared->paused = false;
    const qint64 since = m_shared->pausedSinceMs.exchange(-1);
    if (since >= 0)
        m_shared->pausedTotalMs += steadyMs() - since;
}

qint64 cWave::RecordedFrames() const { return m_shared ? m_shared->frames.load() : 0; }

void cWave::recordingEnded(quint64 generation, long error, const QString& detail)
{
    if (generation != m_generation || !m_recording)
        return;
    m_lastDetail = detail;
    m_recording = false;
    m_recordPaused = false;
    m_recordEndError = error;
    emit DoneRecord();
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

long cWave::PlayingSeconds() const { return long(std::nearbyint(m_player->DurationSeconds())); }

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
    if (m_recording && m_shared) {
        // The take is completed before the component goes, with what the
        // server still holds back when it answers soon.
        if (m_stopAskedMs < 0)
            StopRecording();
        QElapsedTimer waited;
        waited.start();
        while (m_shared->frames < m_shared->frameLimit && m_shared->writeErrno == 0 && m_stream->isActive()
               && waited.elapsed() < kCatchUpMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        finishRecording(WaveOk, QString(), true);
    }
    m_recording = false;
    m_recordPaused = false;
    ++m_generation;
}
