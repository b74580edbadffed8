#include "components/disc/cAudioCDRipper.h"

#include <QFile>
#include <QMetaObject>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include <cdio/cdio.h>

#include "components/audio/AudioJobRunner.h"
#include "components/disc/CdDrives.h"
#include "components/disc/CdRipWorker.h"

namespace {
// How long an aborted rip may take to come back before it is let go and
// reported aborted, and how long a release waits for it.
constexpr int kAbandonAfterAbortMs = 1000;
constexpr auto kReleaseWait = std::chrono::milliseconds(600);
} // namespace

struct cAudioCDRipper::Job {
    quint64 id = 0;
    std::atomic<bool> abort{false};
    bool abortRequested = false; // GUI side: the end event must be JobAborted
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;  // the worker has posted its end
    bool abandoned = false; // the GUI side let go: the worker posts nothing and drops its file
};

cAudioCDRipper::cAudioCDRipper(QObject* parent)
    : QObject(parent), m_devices(cddrives::enumerateDevices()), m_disc(std::make_unique<cddrives::Disc>())
{
}

cAudioCDRipper::~cAudioCDRipper()
{
    if (m_job) {
        m_job->abort = true;
        letGoUnlessEnded(kReleaseWait);
    }
    joinWorker();
    // An end event still queued dies with us, and with it its unfinished file.
}

// A worker stuck in a read that never returns (a dead drive) is let go: it
// posts nothing and drops its file should it ever come back. False when it
// ended within the wait.
bool cAudioCDRipper::letGoUnlessEnded(std::chrono::milliseconds wait)
{
    std::shared_ptr<Job> job = m_job;
    {
        std::unique_lock<std::mutex> lock(job->mutex);
        if (job->ended.wait_for(lock, wait, [&] { return job->finished; }))
            return false;
        job->abandoned = true;
    }
    if (m_worker.joinable())
        m_worker.detach();
    m_job.reset();
    return true;
}

int cAudioCDRipper::DeviceCount() const
{
    return int(m_devices.size());
}

QString cAudioCDRipper::DeviceName(int index) const
{
    if (index < 0 || index >= DeviceCount())
        return {};
    return m_devices[size_t(index)].name;
}

bool cAudioCDRipper::SelectDevice(int index)
{
    m_signature.clear();
    *m_disc = cddrives::Disc{};
    if (index < 0 || index >= DeviceCount()) {
        // Never keep showing the previous drive's disc.
        m_current = -1;
        return false;
    }
    const cddrives::Device& dev = m_devices[size_t(index)];
    if (dev.kind == cddrives::Device::Drive) {
        // A drive node that cannot even be opened is not usable.
        const QByteArray path = QFile::encodeName(dev.source);
        CdIo_t* probe = cdio_open(path.constData(), DRIVER_DEVICE);
        if (!probe) {
            m_current = -1;
            return false;
        }
        cdio_destroy(probe);
    }
    m_current = index;
    refreshDisc();
    return true;
}

// Image drives are looked at again whenever their files change, so a replaced
// or removed image shows at the next query without a new SelectDevice.
void cAudioCDRipper::refreshDisc()
{
    if (m_current < 0)
        return;
    const cddrives::Device& dev = m_devices[size_t(m_current)];
    // A drive's disc is read once per SelectDevice; an image's whenever its files change.
    const QString sig = dev.kind == cddrives::Device::Image ? cddrives::imageSignature(dev.source)
                                                            : QStringLiteral("drive");
    if (sig == m_signature)
        return;
    m_signature = sig;
    *m_disc = cddrives::readDisc(dev);
}

bool cAudioCDRipper::IsAudioCD()
{
    refreshDisc();
    return m_disc->present && m_disc->hasAudio();
}

QString cAudioCDRipper::DiscRefusal()
{
    refreshDisc();
    return m_disc->refusal;
}

int cAudioCDRipper::TrackCount()
{
    refreshDisc();
    return m_disc->present ? int(m_disc->tracks.size()) : 0;
}

int cAudioCDRipper::TrackLength(int track)
{
    refreshDisc();
    if (!m_disc->present || track < 1 || track > int(m_disc->tracks.size()))
        return 0;
    const int sectors = m_disc->tracks[size_t(track - 1)].sectorCount();
    return (sectors + CDIO_CD_FRAMES_PER_SEC / 2) / CDIO_CD_FRAMES_PER_SEC;
}

int cAudioCDRipper::QueryTrack(int track)
{
    refreshDisc();
    if (!m_disc->present || track < 1 || track > int(m_disc->tracks.size()))
        return 0;
    return m_disc->tracks[size_t(track - 1)].audio ? 1 : 2;
}

void cAudioCDRipper::EjectTray()
{
    if (m_current < 0 || m_devices[size_t(m_current)].kind != cddrives::Device::Drive)
        return; // an image has no tray
    cdio_eject_media_drive(QFile::encodeName(m_devices[size_t(m_current)].source).constData());
    *m_disc = cddrives::Disc{};
    m_signature.clear();
}

void cAudioCDRipper::CloseTray()
{
    if (m_current < 0 || m_devices[size_t(m_current)].kind != cddrives::Device::Drive)
        return;
    driver_id_t driver = DRIVER_DEVICE;
    cdio_close_tray(QFile::encodeName(m_devices[size_t(m_current)].source).constData(), &driver);
    *m_disc = cddrives::Disc{};
    m_signature.clear();
}

int cAudioCDRipper::TrackFromCdaName(const QString& name, QString* drive)
{
    return cddrives::cdaTrackNumber(name, drive);
}

void cAudioCDRipper::setRangeStart(int seconds)
{
    if (!m_rangeSet)
        m_rangeLength = -1;
    m_rangeSet = true;
    m_rangeStart = seconds;
}

void cAudioCDRipper::setRangeLength(int seconds)
{
    if (!m_rangeSet)
        m_rangeStart = 0;
    m_rangeSet = true;
    m_rangeLength = seconds;
}

void cAudioCDRipper::postError(int code, const QString& text)
{
    // A later start never drops it; only a release does.
    const quint64 releases = m_releases;
    QMetaObject::invokeMethod(
        this,
        [this, releases, code, text] {
            if (releases == m_releases)
                emit JobError(code, text);
        },
        Qt::QueuedConnection);
}

void cAudioCDRipper::joinWorker()
{
    if (m_worker.joinable())
        m_worker.join();
}

void cAudioCDRipper::StartRip()
{
    cdrip::Request rq;
    rq.deviceValid = m_ripDevice >= 0 && m_ripDevice < DeviceCount();
    if (rq.deviceValid)
        rq.device = m_devices[size_t(m_ripDevice)];
    rq.track = m_ripTrack;
    rq.hasRange = m_rangeSet;
    rq.rangeStart = m_rangeStart;
    rq.rangeLength = m_rangeLength;
    rq.settings = m_settings;
    rq.outputFile = m_outputFile;

    if (m_job) {
        // One rip at a time; the running one goes on and ends on its own,
        // and the range set for the refused one waits for the next start.
        postError(ErrBusy, QStringLiteral("A rip is already running."));
        return;
    }
    m_rangeSet = false; // a range is for this rip only
    m_rangeStart = 0;
    m_rangeLength = -1;
    // The previous worker has posted its end already; it is about to return.
    joinWorker();

    auto job = std::make_shared<Job>();
    job->id = m_nextJobId++;
    m_job = job;

    m_worker = std::thread([this, job, rq, hook = kvaudio::jobStartHook(), endHook = kvaudio::jobEndHook()] {
        if (hook)
            hook();
        auto progress = [this, job](int percent) {
            const quint64 id = job->id;
            {
                std::lock_guard<std::mutex> lock(job->mutex);
                if (job->abandoned)
                    return;
                QMetaObject::invokeMethod(
                    this,
                    [this, id, percent] {
                        if (m_job && m_job->id == id && !m_job->abortRequested)
                            emit JobProgress(percent);
                    },
                    Qt::QueuedConnection);
            }
            kvaudio::runProgressHook(percent, -1, job->abort);
        };
        auto result = std::make_shared<cdrip::Result>(cdrip::run(rq, job->abort, progress));
        const quint64 id = job->id;
        {
            std::lock_guard<std::mutex> lock(job->mutex);
            if (job->abandoned) {
                result->output.reset(); // its unfinished file goes with it
                return;
            }
            job->finished = true;
            job->ended.notify_all();
            // Should the component go before this arrives, the result (and with
            // it the unfinished file) is dropped.
            QMetaObject::invokeMethod(
                this, [this, id, result] { finishJob(id, result); }, Qt::QueuedConnection);
        }
        if (endHook)
            endHook();
    });
}

// Runs on the GUI thread: the one place where a rip's end is decided, so an
// abort asked for before it can never be followed by JobDone.
void cAudioCDRipper::finishJob(quint64 id, const std::shared_ptr<cdrip::Result>& result)
{
    if (!m_job || m_job->id != id)
        return;
    std::shared_ptr<Job> job = std::move(m_job);
    m_job.reset();
    if (job->abortRequested || result->outcome == cdrip::Result::Aborted) {
        result->output.reset();
        emit JobAborted();
        return;
    }
    if (result->outcome == cdrip::Result::Error) {
        emit JobError(result->code, result->text);
        return;
    }
    const bool committed = result->output->commit();
    const int code = result->output->errorCode();
    const QString why = result->output->errorText();
    result->output.reset();
    if (!committed) {
        emit JobError(code, why);
        return;
    }
    emit JobDone();
}

void cAudioCDRipper::AbortJob()
{
    if (!m_job)
        return;
    m_job->abortRequested = true;
    m_job->abort = true;
    // A rip that does not come back still ends, and the window with it.
    const quint64 id = m_job->id;
    QTimer::singleShot(kAbandonAfterAbortMs, this, [this, id] {
        if (!m_job || m_job->id != id || !letGoUnlessEnded(std::chrono::milliseconds(0)))
            return;
        emit JobAborted();
    });
}

void cAudioCDRipper::ReleaseComponent()
{
    if (m_job) {
        m_job->abortRequested = true;
        m_job->abort = true;
        letGoUnlessEnded(kReleaseWait);
    }
    joinWorker();
    // Released means silent: the worker's queued end finds no job to report,
    // and a refusal still queued is dropped.
    m_job.reset();
    ++m_releases;
    *m_disc = cddrives::Disc{};
    m_signature.clear();
}
