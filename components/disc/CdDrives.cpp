#include "components/disc/CdDrives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace cddrives {

namespace {

// Sectors between the audio session and the data session of a CD-Extra disc
// (lead-out, lead-in and pregap); the TOC counts them into the last audio track.
constexpr int kCdExtraGap = 11400;
constexpr qint64 kMaxCueBytes = 1 << 20;

void dropLog(cdio_log_level_t level, const char* message)
{
    // Probing absent or bogus images every few seconds must not flood stderr.
    if (level >= CDIO_LOG_ASSERT)
        qWarning("libcdio: %s", message);
}

struct CueFile {
    QString path; // absolute
    QString type; // upper case: BINARY, MOTOROLA, WAVE ...
};

enum class CueRead { Ok, Missing, NotAFile, TooLarge, Unreadable, Bad };

// The bytes of a cue sheet. Only a regular file is read, and it is opened
// without blocking, so a FIFO or a device in its place cannot hang a caller.
CueRead readCueBytes(const QString& cuePath, QByteArray* bytes)
{
    const int fd = ::open(QFile::encodeName(cuePath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT ? CueRead::Missing : CueRead::Unreadable;
    struct stat st {};
    CueRead result = CueRead::Ok;
    if (::fstat(fd, &st) != 0)
        result = CueRead::Unreadable;
    else if (!S_ISREG(st.st_mode))
        result = CueRead::NotAFile;
    else if (st.st_size > kMaxCueBytes)
        result = CueRead::TooLarge;
    if (result == CueRead::Ok) {
        bytes->resize(qsizetype(st.st_size));
        qsizetype got = 0;
        while (got < bytes->size()) {
            const ssize_t n = ::read(fd, bytes->data() + got, size_t(bytes->size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        bytes->truncate(got);
        // Grown since the size was taken: still too large for a cue sheet.
        char more = 0;
        if (got == st.st_size && ::read(fd, &more, 1) > 0)
            result = CueRead::TooLarge;
    }
    ::close(fd);
    return result;
}

// The FILE lines of a cue sheet, paths resolved against the cue's folder.
CueRead readCueFiles(const QString& cuePath, std::vector<CueFile>* files)
{
    QByteArray bytes;
    if (const CueRead r = readCueBytes(cuePath, &bytes); r != CueRead::Ok)
        return r;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QDir base = QFileInfo(cuePath).absoluteDir();
    for (const QString& raw : QString::fromUtf8(bytes).split('\n')) {
        const QString line = raw.trimmed();
        if (!line.startsWith(QLatin1String("FILE "), Qt::CaseInsensitive))
            continue;
        const QString rest = line.mid(5).trimmed();
        QString name, type;
        if (rest.startsWith('"')) {
            const int close = rest.indexOf('"', 1);
            if (close < 0)
                return CueRead::Bad;
            name = rest.mid(1, close - 1);
            type = rest.mid(close + 1).trimmed();
        } else {
            const int sp = rest.lastIndexOf(' ');
            if (sp < 0)
                return CueRead::Bad;
            name = rest.left(sp).trimmed();
            type = rest.mid(sp + 1).trimmed();
        }
        if (name.isEmpty())
            return CueRead::Bad;
        files->push_back({QDir::cleanPath(base.absoluteFilePath(name)), type.toUpper()});
    }
    return CueRead::Ok;
}

QString statText(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("-");
    return QStringLiteral("%1:%2:%3:%4.%5")
        .arg(qulonglong(st.st_dev))
        .arg(qulonglong(st.st_ino))
        .arg(qlonglong(st.st_size))
        .arg(qlonglong(st.st_mtim.tv_sec))
        .arg(qlonglong(st.st_mtim.tv_nsec));
}

bool readToc(CdIo_t* p, bool realDrive, Disc* disc)
{
    const track_t first = cdio_get_first_track_num(p);
    const track_t count = cdio_get_num_tracks(p);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0)
        return false;
    std::vector<int> starts;
    for (int i = 0; i <= count; ++i) {
        const lsn_t lsn = cdio_get_track_lsn(p, i == count ? track_t(CDIO_CDROM_LEADOUT_TRACK) : track_t(first + i));
        if (lsn == CDIO_INVALID_LSN || lsn < 0 || (!starts.empty() && lsn < starts.back()))
            return false;
        starts.push_back(lsn);
    }
    lsn_t lastSession = 0;
    if (!realDrive || cdio_get_last_session(p, &lastSession) != DRIVER_OP_SUCCESS)
        lastSession = 0;

    disc->tracks.clear();
    for (int i = 0; i < count; ++i) {
        Track t;
        t.firstSector = starts[i];
        t.lastSector = starts[i + 1] - 1;
        t.audio = cdio_get_track_format(p, track_t(first + i)) == TRACK_FORMAT_AUDIO;
        disc->tracks.push_back(t);
    }
    // A CD-Extra disc: the audio session ends well before the data track of
    // the second session starts.
    for (int i = 0; i + 1 < count; ++i) {
        Track& t = disc->tracks[i];
        const Track& next = disc->tracks[i + 1];
        if (t.audio && !next.audio && lastSession > 0 && next.firstSector == lastSession
            && next.firstSector - kCdExtraGap > t.firstSector)
            t.lastSector = next.firstSector - kCdExtraGap - 1;
    }
    disc->present = true;
    return true;
}

} // namespace

bool Disc::hasAudio() const
{
    for (const Track& t : tracks)
        if (t.audio)
            return true;
    return false;
}

void quietLibraryLogs()
{
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler(dropLog); });
}

std::vector<Device> enumerateDevices()
{
    quietLibraryLogs();
    // The machine's drives are listed once per run, so every component
    // instance numbers them alike.
    static const QStringList drives = [] {
        QStringList list;
        char** devs = cdio_get_devices(DRIVER_DEVICE);
        if (devs) {
            for (char** d = devs; *d; ++d)
                list << QString::fromLocal8Bit(*d);
            cdio_free_device_list(devs);
        }
        return list;
    }();

    std::vector<Device> out;
    char letter = 'D';
    for (const QString& d : drives) {
        if (letter > 'Z')
            break;
        out.push_back({Device::Drive, QStringLiteral("%1: %2").arg(QChar(letter)).arg(d), d});
        ++letter;
    }
    const char lastDriveLetter = char(letter - 1);
    char imageLetter = 'Z';
    const QStringList images =
        qEnvironmentVariable("KELVANE_CD_IMAGES").split(':', Qt::SkipEmptyParts);
    for (const QString& img : images) {
        if (imageLetter <= lastDriveLetter)
            break;
        const QString abs = QFileInfo(img.trimmed()).absoluteFilePath();
        out.push_back({Device::Image,
                       QStringLiteral("%1: %2").arg(QChar(imageLetter)).arg(QFileInfo(abs).fileName()),
                       abs});
        --imageLetter;
    }
    return out;
}

OpenedDisc::~OpenedDisc()
{
    if (m_cdio)
        cdio_destroy(m_cdio);
}

std::unique_ptr<OpenedDisc> OpenedDisc::open(const Device& device, QString* why, bool* refused)
{
    if (refused)
        *refused = false;
    // An image that is there but cannot be taken as a disc.
    auto refuse = [&](const QString& text) {
        *why = text;
        if (refused)
            *refused = true;
        return std::unique_ptr<OpenedDisc>();
    };
    quietLibraryLogs();
    std::unique_ptr<OpenedDisc> d(new OpenedDisc);
    const QByteArray source = QFile::encodeName(device.source);
    if (device.kind == Device::Drive) {
        d->m_cdio = cdio_open(source.constData(), DRIVER_DEVICE);
        if (!d->m_cdio) {
            *why = QStringLiteral("Cannot open the drive %1.").arg(device.source);
            return nullptr;
        }
    } else {
        std::vector<CueFile> files;
        switch (readCueFiles(device.source, &files)) {
        case CueRead::Ok:
            break;
        case CueRead::TooLarge:
            return refuse(QStringLiteral("The cue sheet %1 is too large (over 1 MB).").arg(device.source));
        case CueRead::Unreadable:
            return refuse(QStringLiteral("The cue sheet %1 cannot be read.").arg(device.source));
        case CueRead::Bad:
            return refuse(QStringLiteral("The cue sheet %1 names its files in a way that cannot be read.").arg(device.source));
        case CueRead::NotAFile:
            return refuse(QStringLiteral("The cue sheet %1 is not a regular file.").arg(device.source));
        case CueRead::Missing:
            *why = QStringLiteral("No disc image at %1.").arg(device.source);
            return nullptr;
        }
        // libcdio reads a single data file, little-endian audio.
        if (files.size() != 1 || files[0].type != QLatin1String("BINARY"))
            return refuse(QStringLiteral("The image %1 is not a cue sheet with one binary file.").arg(device.source));
        // A bin not (or no longer) there is a disc being swapped, not a refused one.
        if (!QFileInfo(files[0].path).isFile()) {
            *why = QStringLiteral("The image %1 is not a cue sheet with one binary file.").arg(device.source);
            return nullptr;
        }
        const QString bin = files[0].path;
        d->m_files << device.source << bin;
        QString openPath = device.source;
        char* expected = cdio_is_cuefile(source.constData());
        const QString expectedBin = expected ? QFile::decodeName(expected) : QString();
        if (expected)
            cdio_free(expected);
        if (expectedBin.isEmpty()
            || QFileInfo(expectedBin).canonicalFilePath() != QFileInfo(bin).canonicalFilePath()) {
            d->m_linkDir = std::make_unique<QTemporaryDir>();
            if (!d->m_linkDir->isValid()
                || !QFile::copy(device.source, d->m_linkDir->filePath("image.cue"))
                || !QFile::link(bin, d->m_linkDir->filePath("image.bin"))) {
                *why = QStringLiteral("Cannot prepare the image %1 for reading.").arg(device.source);
                return nullptr;
            }
            openPath = d->m_linkDir->filePath("image.cue");
        }
        d->m_cdio = cdio_open_cue(QFile::encodeName(openPath).constData());
        if (!d->m_cdio)
            return refuse(QStringLiteral("The image %1 cannot be read.").arg(device.source));
    }
    if (!readToc(d->m_cdio, device.kind == Device::Drive, &d->m_disc)) {
        *why = QStringLiteral("There is no disc in %1.").arg(device.name.left(2));
        return nullptr;
    }
    return d;
}

Disc readDisc(const Device& device)
{
    QString why;
    bool refused = false;
    auto opened = OpenedDisc::open(device, &why, &refused);
    if (opened)
        return opened->disc();
    Disc none;
    if (refused)
        none.refusal = why;
    return none;
}

QString imageSignature(const QString& cuePath)
{
    QString sig = statText(cuePath);
    std::vector<CueFile> files;
    if (readCueFiles(cuePath, &files) == CueRead::Ok)
        for (const CueFile& f : files)
            sig += '|' + f.path + '=' + statText(f.path);
    return sig;
}

int cdaTrackNumber(const QString& path, QString* drive)
{
    static const QRegularExpression re(QStringLiteral("^(?:(.*)[/\\\\])?track(\\d{1,3})\\.cda$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(path.trimmed());
    if (!m.hasMatch())
        return 0;
    const int n = m.captured(2).toInt();
    if (n < 1 || n > 99)
        return 0;
    if (drive)
        *drive = m.captured(1);
    return n;
}

} // namespace cddrives
