#include "components/disc/cAudioBurner.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "components/disc/CdWriters.h"

QString cAudioBurner::TooBigText()
{
    return QStringLiteral("Data is to big (more then 80 min). Please remove some tracks.");
}

cAudioBurner::cAudioBurner(QObject* parent) : QObject(parent), m_writers(cdwrite::enumerateWriters()) {}

cAudioBurner::~cAudioBurner() = default;

const cdwrite::Writer* cAudioBurner::writerFor(const QString& drive) const
{
    const QString letter = drive.left(1).toUpper();
    if (letter.isEmpty())
        return nullptr;
    for (const cdwrite::Writer& w : m_writers)
        if (w.name.left(1) == letter)
            return &w;
    return nullptr;
}

int cAudioBurner::DriveCount() const
{
    return int(m_writers.size());
}

QString cAudioBurner::DriveName(int index) const
{
    if (index < 1 || index > DriveCount())
        return {};
    return m_writers[size_t(index - 1)].name;
}

// A real drive is grabbed to be looked at, which takes time: the questions a
// window asks together about one drive share one look (a disc is not
// changed by hand within a second). An image is looked at every time.
const cdwrite::DiscStatus& cAudioBurner::statusOf(const cdwrite::Writer& w)
{
    if (!m_status || m_statusOf != w.name || w.kind != cdwrite::Writer::Drive || !m_statusAge.isValid()
        || m_statusAge.elapsed() > 1000) {
        m_status = std::make_unique<cdwrite::DiscStatus>(cdwrite::inspect(w));
        m_statusOf = w.name;
        m_statusAge.start();
    }
    return *m_status;
}

void cAudioBurner::forgetStatus()
{
    m_status.reset();
}

int cAudioBurner::SpeedCount(const QString& drive)
{
    m_speeds.clear();
    if (const cdwrite::Writer* w = writerFor(drive))
        m_speeds = statusOf(*w).speeds;
    return int(m_speeds.size());
}

int cAudioBurner::SpeedKBs(int index) const
{
    if (index < 1 || index > int(m_speeds.size()))
        return 0;
    return m_speeds[size_t(index - 1)];
}

qint64 cAudioBurner::DiscSize(const QString& drive)
{
    const cdwrite::Writer* w = writerFor(drive);
    return w ? statusOf(*w).sectors * kSectorBytes : 0;
}

qint64 cAudioBurner::DiscCapacity(const QString& drive)
{
    const cdwrite::Writer* w = writerFor(drive);
    return w ? statusOf(*w).sectors / cdwrite::kSectorsPerSecond * kCapacityPerSecond : 0;
}

QString cAudioBurner::DiscState(const QString& drive)
{
    const cdwrite::Writer* w = writerFor(drive);
    if (!w)
        return QStringLiteral("No such drive.");
    return statusOf(*w).state;
}

QString cAudioBurner::DriveFolder(const QString& drive) const
{
    const cdwrite::Writer* w = writerFor(drive);
    if (!w || w->kind != cdwrite::Writer::Image)
        return {};
    return QFileInfo(w->source).absolutePath() + QLatin1Char('/');
}

bool cAudioBurner::AddTrack(const QString& path)
{
    if (m_burning)
        return false;
    const std::optional<qint64> sectors = ReadTrack(path);
    return sectors && AddReadTrack(path, *sectors);
}

std::optional<qint64> cAudioBurner::ReadTrack(const QString& path)
{
    qint64 sectors = 0;
    if (!cdwrite::probeItem(path, &sectors))
        return std::nullopt;
    return sectors;
}

bool cAudioBurner::AddReadTrack(const QString& path, qint64 estimatedSectors)
{
    if (m_burning)
        return false;
    m_tracks.push_back(TrackEntry{path, estimatedSectors});
    return true;
}

int cAudioBurner::TrackCount() const
{
    return int(m_tracks.size());
}

long cAudioBurner::BurnToDrive(const QString& drive, long speed)
{
    if (m_burning)
        return ResultBusy;
    auto raise = [this](int code, const QString& text) {
        emit BurnError(code, text);
        return long(ResultError);
    };
    const cdwrite::Writer* w = writerFor(drive);
    if (!w)
        return raise(ErrNoDrive, QStringLiteral("There is no writer '%1'.").arg(drive.left(1)));
    if (m_tracks.empty())
        return raise(ErrNoTracks, QStringLiteral("Nothing to burn."));
    forgetStatus();
    const cdwrite::DiscStatus status = cdwrite::inspect(*w);
    if (!status.state.isEmpty())
        return raise(ErrNotBlank, status.state);
    // Refused before anything is written, on the lengths the files declare;
    // the writer checks again on the decoded audio.
    qint64 estimate = 0;
    for (const TrackEntry& t : m_tracks)
        estimate += t.estimatedSectors;
    if (estimate > status.sectors)
        return raise(ErrTooBig, TooBigText());

    cdwrite::Request rq;
    rq.writer = *w;
    for (const TrackEntry& t : m_tracks)
        rq.files << t.path;
    rq.speedKBs = speed <= 0 || speed >= 65535 ? 0 : int(speed);
    rq.capacitySectors = status.sectors;

    m_burning = true;
    auto abort = std::make_shared<std::atomic<bool>>(false);
    m_abort = abort;
    QPointer<cAudioBurner> self(this);
    QEventLoop loop;
    cdwrite::Outcome outcome;
    // The worker stays at most a few events ahead of the window, so the
    // progress shown is the burn's own and an abort lands where it was asked.
    struct Flow {
        std::mutex m;
        std::condition_variable cv;
        int pending = 0;
    };
    auto flow = std::make_shared<Flow>();
    auto post = [self, flow](const cdwrite::Event& e) {
        {
            std::unique_lock<std::mutex> lock(flow->m);
            flow->cv.wait_for(lock, std::chrono::seconds(1), [&] { return flow->pending < 4; });
            ++flow->pending;
        }
        QMetaObject::invokeMethod(
            self.data(),
            [self, flow, e] {
                {
                    std::lock_guard<std::mutex> lock(flow->m);
                    --flow->pending;
                }
                flow->cv.notify_all();
                if (!self)
                    return;
                switch (e.type) {
                case cdwrite::Event::TrackProgress:
                    emit self->TrackProgress(e.a, e.b);
                    break;
                case cdwrite::Event::CurrentProgress:
                    emit self->CurrentProgress(e.a, 0);
                    break;
                case cdwrite::Event::ClosingSession:
                    emit self->ClosingSession();
                    break;
                case cdwrite::Event::ClosingTrack:
                    emit self->ClosingTrack(e.b);
                    break;
                case cdwrite::Event::CachingTrack:
                    emit self->CachingTrack();
                    break;
                case cdwrite::Event::WritingTrack:
                    emit self->WritingTrack();
                    break;
                }
            },
            Qt::QueuedConnection);
    };
    std::thread worker([&rq, abort, post, &outcome, &loop] {
        outcome = cdwrite::burn(rq, *abort, post);
        // Queued behind every event the burn posted, so they all arrive first.
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (!self)
        return ResultAborted;
    m_abort.reset();
    m_burning = false;
    forgetStatus();

    if (outcome.kind == cdwrite::Outcome::Aborted)
        return ResultAborted;
    if (outcome.kind == cdwrite::Outcome::Error)
        return raise(outcome.code, outcome.code == ErrTooBig && outcome.text.isEmpty() ? TooBigText() : outcome.text);
    emit BurnFinished();
    return ResultDone;
}

void cAudioBurner::ResetBurner()
{
    if (!m_burning)
        m_tracks.clear();
}

void cAudioBurner::AbortJob()
{
    if (m_abort)
        *m_abort = true;
}

void cAudioBurner::EjectTray(const QString& drive)
{
    if (m_burning)
        return;
    forgetStatus();
    if (const cdwrite::Writer* w = writerFor(drive))
        cdwrite::eject(*w);
}

void cAudioBurner::CloseTray(const QString& drive)
{
    if (m_burning)
        return;
    forgetStatus();
    if (const cdwrite::Writer* w = writerFor(drive))
        cdwrite::closeTray(*w);
}

void cAudioBurner::ReleaseComponent()
{
    // Drives are held only while a call uses them; a running burn is stopped.
    AbortJob();
}
