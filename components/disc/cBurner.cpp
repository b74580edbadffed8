#include "components/disc/cBurner.h"

#include <QFileInfo>
#include <QMetaObject>

#include "components/disc/DataBurnWorker.h"

cBurner::cBurner(QObject* parent) : QObject(parent), m_worker(std::make_unique<DataBurnWorker>(this)) {}

cBurner::~cBurner() = default;

bool cBurner::Available() { return datadisc::LibrariesReady(); }

int cBurner::DriveCount()
{
    if (!Burning() || m_writers.empty()) {
        std::vector<datadisc::Writer> writers;
        RunOffThread([&writers] { writers = datadisc::EnumerateWriters(); });
        m_writers = std::move(writers);
    }
    return int(m_writers.size());
}

QString cBurner::DrivePath(int drive) const
{
    if (drive < 0 || drive >= int(m_writers.size()))
        return QString();
    return m_writers[size_t(drive)].name.left(2);
}

QString cBurner::DriveName(int drive) const
{
    if (drive < 0 || drive >= int(m_writers.size()))
        return QString();
    return m_writers[size_t(drive)].address;
}

void cBurner::NewDiscImage()
{
    m_files.clear();
    m_volumeLabel.clear();
    m_publisher.clear();
}

qint64 cBurner::DiscCapacity(long drive)
{
    if (m_writers.empty())
        DriveCount();
    if (drive < 0 || drive >= long(m_writers.size()) || Burning())
        return 0;
    return ProbeDriveOffThread(m_writers[size_t(drive)].address).capacityBytes;
}

bool cBurner::IsDriveReady(long drive) { return CheckDrive(drive, false); }

bool cBurner::IsDiscEmpty(long drive) { return CheckDrive(drive, true); }

bool cBurner::CheckDrive(long drive, bool blank)
{
    if (m_writers.empty())
        DriveCount();
    if (drive < 0 || drive >= long(m_writers.size()) || Burning()) {
        m_driveProblem = Burning() ? QStringLiteral("A burn is running.") : QStringLiteral("No writer drive.");
        return false;
    }
    return CheckDriveOffThread(m_writers[size_t(drive)].address, blank, &m_driveProblem);
}

void cBurner::AddDiscFile(const QString& path) { m_files << path; }

void cBurner::BurnToDrive(long drive)
{
    // Every event is queued, in the order posted, behind the worker's.
    auto later = [this](std::function<void()> f) { QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection); };
    if (Burning()) {
        later([this] { emit BurnerMessage(QString::number(datadisc::ErrBusy), QStringLiteral("A burn is already running.")); });
        return;
    }
    if (m_writers.empty())
        DriveCount();
    if (drive < 0 || drive >= long(m_writers.size())) {
        later([this] { emit BurnerMessage(QString::number(datadisc::ErrNoWriter), QStringLiteral("No writer drive.")); });
        return;
    }

    // The layout as it will be written: readable files, each name once.
    QStringList files, own;
    for (const QString& f : m_files) {
        const QFileInfo fi(f);
        if (!fi.isFile() || !fi.isReadable() || own.contains(fi.fileName()))
            continue;
        files << fi.absoluteFilePath();
        own << fi.fileName();
    }
    m_files.clear();
    const QStringList names = (m_joliet || m_udf) ? datadisc::DiscNames(files) : own;
    later([this, files, names] {
        emit BurnerInitializing();
        for (int i = 0; i < files.size(); ++i) {
            emit BurnerAdding(files.at(i));
            if (names.at(i) != QFileInfo(files.at(i)).fileName())
                emit FileRenamed(files.at(i), names.at(i));
        }
        emit BurnerFileCount(long(files.size()), 0);
    });
    if (files.isEmpty()) {
        later([this] { emit BurnerMessage(QString::number(datadisc::ErrNoFiles), QStringLiteral("Nothing to burn.")); });
        return;
    }

    datadisc::ImageLayout layout;
    layout.files = files;
    layout.volumeLabel = m_volumeLabel;
    layout.names = names;
    layout.joliet = m_joliet;
    layout.udf = m_udf;
    layout.publisherId = m_publisher;
    const QString adr = m_writers[size_t(drive)].address;
    m_worker->Start(
            adr, layout, 0, [this] { emit StartBurning(); }, [this](int p) { emit BurnerProgress(p); },
            [this] { emit BurnerFinalization(); },
            [this](const datadisc::BurnResult& r) {
                if (r.code == datadisc::Ok) {
                    emit BurnerCompleted();
                    emit BurnerDoneBurn();
                    emit BurnerEnd();
                } else if (r.code == datadisc::ErrCancelled) {
                    emit BurnerCanceled();
                } else {
                    emit BurnerMessage(QString::number(r.code), r.text);
                }
            });
}

bool cBurner::Burning() const { return m_worker->Running(); }

void cBurner::CancelBurn() { m_worker->Cancel(); }

void cBurner::ReleaseComponent()
{
    m_worker->Stop();
    m_files.clear();
}
