#include "components/disc/cAudioDataBurner.h"

#include <QFileInfo>
#include <QTimer>

#include "components/disc/DataBurnWorker.h"

namespace {

// The name a file gets on the disc; two files of one name cannot both be there.
bool SameDiscName(const QStringList& files, const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    for (const QString& f : files)
        if (QFileInfo(f).fileName() == name)
            return true;
    return false;
}

} // namespace

cAudioDataBurner::cAudioDataBurner(QObject* parent)
    : QObject(parent), m_worker(std::make_unique<DataBurnWorker>(this))
{
}

cAudioDataBurner::~cAudioDataBurner() = default;

void cAudioDataBurner::refreshWriters()
{
    if (Burning() && m_writersRead)
        return;
    // The first call scans the machine's drives, which may take a while.
    std::vector<datadisc::Writer> writers;
    RunOffThread([&writers] { writers = datadisc::EnumerateWriters(); });
    m_writers = std::move(writers);
    m_writersRead = true;
}

int cAudioDataBurner::DriveCount()
{
    refreshWriters();
    return int(m_writers.size());
}

QString cAudioDataBurner::DriveName(int drive) const
{
    if (drive < 1 || drive > int(m_writers.size()))
        return QString();
    return m_writers[size_t(drive - 1)].name;
}

QString cAudioDataBurner::addressOf(const QString& driveLetter) const
{
    if (driveLetter.isEmpty())
        return QString();
    for (const auto& w : m_writers)
        if (w.name.at(0).toUpper() == driveLetter.at(0).toUpper())
            return w.address;
    return QString();
}

int cAudioDataBurner::SpeedCount(const QString& driveLetter)
{
    if (!m_writersRead)
        refreshWriters();
    m_speeds.clear();
    const QString adr = addressOf(driveLetter);
    if (adr.isEmpty() || Burning())
        return 0;
    m_speeds = ProbeDriveOffThread(adr).writeSpeedsKBs;
    return int(m_speeds.size());
}

int cAudioDataBurner::SpeedKBs(int speed) const
{
    if (speed < 1 || speed > int(m_speeds.size()))
        return 0;
    return m_speeds[size_t(speed - 1)];
}

bool cAudioDataBurner::IsDriveReady(const QString& driveLetter) { return CheckDrive(driveLetter, false); }

bool cAudioDataBurner::IsDiscEmpty(const QString& driveLetter) { return CheckDrive(driveLetter, true); }

bool cAudioDataBurner::CheckDrive(const QString& driveLetter, bool blank)
{
    if (!m_writersRead)
        refreshWriters();
    const QString adr = addressOf(driveLetter);
    if (adr.isEmpty() || Burning()) {
        m_driveProblem = adr.isEmpty() ? "No writer drive " + driveLetter.left(1) + ":"
                                       : QStringLiteral("A burn is running.");
        return false;
    }
    return CheckDriveOffThread(adr, blank, &m_driveProblem);
}

qint64 cAudioDataBurner::DiscCapacity(const QString& driveLetter)
{
    if (!m_writersRead)
        refreshWriters();
    const QString adr = addressOf(driveLetter);
    if (adr.isEmpty() || Burning())
        return 0;
    return ProbeDriveOffThread(adr).capacityBytes;
}

void cAudioDataBurner::ClearStaleImages()
{
    if (!m_writersRead)
        refreshWriters();
    for (const auto& w : m_writers)
        if (w.pseudo)
            datadisc::ClearStaleImage(w.address);
    datadisc::ClearStaleUdfImages();
}

bool cAudioDataBurner::AddDiscFile(const QString& path)
{
    const QFileInfo fi(path);
    if (path.isEmpty() || !fi.isFile() || !fi.isReadable() || SameDiscName(m_files, path))
        return false;
    m_files << fi.absoluteFilePath();
    return true;
}

void cAudioDataBurner::BurnToDrive(const QString& driveLetter, long speed)
{
    if (!m_writersRead)
        refreshWriters();
    const QString adr = addressOf(driveLetter);
    auto stopLater = [this](long code, const QString& text) {
        QTimer::singleShot(0, this, [this, code, text] { emit BurnStopped(code, text); });
    };
    if (Burning()) {
        stopLater(datadisc::ErrBusy, QStringLiteral("A burn is already running."));
        return;
    }
    if (adr.isEmpty()) {
        stopLater(datadisc::ErrNoWriter, "No writer drive " + driveLetter.left(1) + ":");
        return;
    }
    datadisc::ImageLayout layout;
    layout.files = m_files;
    layout.volumeLabel = m_volumeLabel;
    layout.joliet = true;
    layout.applicationId = m_identity1;
    layout.preparerId = m_identity2;
    layout.publisherId = m_publisher;
    layout.names = datadisc::DiscNames(layout.files);
    m_files.clear();
    for (int i = 0; i < layout.files.size(); ++i) {
        if (layout.names.at(i) != QFileInfo(layout.files.at(i)).fileName()) {
            const QString path = layout.files.at(i), name = layout.names.at(i);
            QTimer::singleShot(0, this, [this, path, name] { emit FileRenamed(path, name); });
        }
    }
    m_worker->Start(
        adr, layout, int(speed), [this] { emit BurnStarted(); }, [this](int p) { emit BurnProgress(p); },
        [this] { emit ClosingSession(); },
        [this](const datadisc::BurnResult& r) {
            if (r.code == datadisc::Ok)
                emit BurnFinished();
            else if (r.code == datadisc::ErrCancelled)
                emit BurnStopped(r.code, QStringLiteral("Aborted."));
            else
                emit BurnStopped(r.code, r.text);
        });
}

bool cAudioDataBurner::Burning() const { return m_worker->Running(); }

void cAudioDataBurner::CancelBurn() { m_worker->Cancel(); }

void cAudioDataBurner::EjectTray(const QString& driveLetter)
{
    const QString adr = addressOf(driveLetter);
    if (!Burning())
        RunOffThread([adr] { datadisc::MoveTray(adr, true); });
}

void cAudioDataBurner::CloseTray(const QString& driveLetter)
{
    const QString adr = addressOf(driveLetter);
    if (!Burning())
        RunOffThread([adr] { datadisc::MoveTray(adr, false); });
}

void cAudioDataBurner::ReleaseComponent()
{
    m_worker->Stop();
    m_files.clear();
    m_speeds.clear();
}
