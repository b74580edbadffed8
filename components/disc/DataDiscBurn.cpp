#include "components/disc/DataDiscBurn.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <thread>

// libisofs declares struct burn_source at global scope; libburn defines it in
// its namespace. The two are the same layout, so the image's source is handed
// over with a cast.
#include <libisofs/libisofs.h>
#include <libburn/libburn.h>

using namespace burn;

namespace datadisc {
namespace {

// libburn's drive lists and grabs are process-wide: one caller at a time.
std::recursive_mutex& libraryLock()
{
    static std::recursive_mutex m;
    return m;
}

// The last queued message; *busy tells whether libburn refused because an
// earlier operation on the drive had not ended yet.
QString lastLibburnMessage(bool* busy = nullptr)
{
    QString text;
    int code = 0, osErrno = 0;
    char msg[BURN_MSGS_MESSAGE_LEN];
    char severity[80];
    char minSeverity[] = "SORRY";
    while (burn_msgs_obtain(minSeverity, &code, msg, &osErrno, severity) == 1) {
        text = QString::fromLocal8Bit(msg).trimmed();
        if (busy && text.contains(QLatin1String("operation is still going on")))
            *busy = true;
    }
    return text;
}

void discardLibburnMessages()
{
    int code = 0, osErrno = 0;
    char msg[BURN_MSGS_MESSAGE_LEN];
    char severity[80];
    char never[] = "NEVER";
    burn_msgs_obtain(never, &code, msg, &osErrno, severity);
}

QString isoErrorText(int err)
{
    const char* t = iso_error_to_msg(err);
    return t ? QString::fromLocal8Bit(t) : QStringLiteral("image error");
}

bool isStdio(const QString& address) { return address.startsWith(QLatin1String("stdio:")); }

// Capacities that writer entries name, by address.
std::mutex capacityLock;
std::map<QString, qint64>& namedCapacities()
{
    static std::map<QString, qint64> m;
    return m;
}

// What a stdio writer holds: what its entry names, else a CD.
qint64 stdioCapacity(const QString& address)
{
    std::lock_guard<std::mutex> lock(capacityLock);
    const auto it = namedCapacities().find(address);
    return it == namedCapacities().end() ? kCdCapacityBytes : it->second;
}

QString stdioPath(const QString& address) { return address.mid(6); }

// Why a stdio writer cannot take a disc (empty when it can); *holdsData
// tells whether its file already holds one. libburn counts any regular file
// as a blank disc and would write over it, and "stdio:" alone is its null
// drive, which swallows a burn.
QString stdioProblem(const QString& address, bool* holdsData)
{
    *holdsData = false;
    if (stdioPath(address).trimmed().isEmpty())
        return QStringLiteral("The writer names no file to write the disc to.");
    const QFileInfo fi(StdioTargetPath(address));
    if (fi.exists()) {
        if (fi.isDir())
            return QStringLiteral("The target is a folder.");
        if (!fi.isFile())
            return QStringLiteral("The target is not a regular file.");
        *holdsData = fi.size() > 0;
    } else if (fi.isSymLink()) {
        return QStringLiteral("The target is a link that leads nowhere it can be written.");
    }
    if (!QFileInfo(fi.absolutePath()).isDir())
        return QStringLiteral("The folder of the target does not exist.");
    return QString();
}

QString discStatusProblem(burn_disc_status s)
{
    switch (s) {
    case BURN_DISC_BLANK:
        return QString();
    case BURN_DISC_EMPTY:
        return QStringLiteral("No disc in the drive.");
    case BURN_DISC_APPENDABLE:
    case BURN_DISC_FULL:
        return QStringLiteral("The disc is not empty.");
    default:
        return QStringLiteral("The disc cannot be used.");
    }
}

// Both libraries keep their message queues and settings process-wide, and
// another start of either in this process (the audio burner, a reader of
// images) puts back its own: a queue that keeps nothing would hide every
// error. So each use sets them again.
void applyLibrarySettings()
{
    char queue[] = "SORRY", print[] = "NEVER", id[] = "libburn: ";
    burn_msgs_set_severities(queue, print, id);
    // Names and labels are handed over as UTF-8 whatever the locale.
    char utf8[] = "UTF-8";
    iso_set_local_charset(utf8, 0);
    // A file that cannot be read is queued as an error that fails the burn.
    char iqueue[] = "SORRY", iprint[] = "NEVER", iid[] = "";
    iso_set_msgs_severities(iqueue, iprint, iid);
    char abortAt[] = "MISHAP";
    iso_set_abort_severity(abortAt);
}

// A grabbed drive, released (and its info freed) when it goes.
struct GrabbedDrive {
    burn_drive_info* info = nullptr;
    burn_drive* drive = nullptr;

    bool grab(const QString& address, bool load, QString* why)
    {
        QByteArray adr = address.toLocal8Bit();
        if (adr.size() >= BURN_DRIVE_ADR_LEN) {
            if (why)
                *why = QStringLiteral("The drive address is too long.");
            return false;
        }
        applyLibrarySettings();
        discardLibburnMessages();
        if (burn_drive_scan_and_grab(&info, adr.data(), load ? 1 : 0) != 1 || !info) {
            info = nullptr;
            if (why) {
                *why = lastLibburnMessage();
                if (why->isEmpty())
                    *why = QStringLiteral("The drive cannot be used.");
            }
            return false;
        }
        drive = info[0].drive;
        return true;
    }

    void release(bool eject = false)
    {
        if (drive)
            burn_drive_release(drive, eject ? 1 : 0);
        if (info)
            burn_drive_info_free(info);
        drive = nullptr;
        info = nullptr;
    }

    ~GrabbedDrive() { release(); }

    burn_disc_status discStatus() const
    {
        burn_disc_status s = burn_disc_get_status(drive);
        for (int i = 0; i < 100 && s == BURN_DISC_UNREADY; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            s = burn_disc_get_status(drive);
        }
        return s;
    }
};

} // namespace

bool LibrariesReady()
{
    static const bool ready = [] {
        if (!burn_initialize() || iso_init() < 0)
            return false;
        applyLibrarySettings();
        return true;
    }();
    return ready;
}

std::vector<Writer> EnumerateWriters()
{
    std::vector<Writer> out;
    if (!LibrariesReady())
        return out;

    // A scan needs every drive idle, so the machine's drives are read once per run.
    static std::vector<QString> realDrives;
    static bool scanned = false;
    {
        std::lock_guard<std::recursive_mutex> lock(libraryLock());
        if (!scanned) {
            realDrives.clear();
            burn_drive_info* infos = nullptr;
            unsigned int count = 0;
            // The scan runs in the background until a call returns non-zero.
            int scanned_ = 0;
            while ((scanned_ = burn_drive_scan(&infos, &count)) == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (scanned_ > 0 && infos) {
                for (unsigned int i = 0; i < count; ++i) {
                    char adr[BURN_DRIVE_ADR_LEN] = {};
                    if (burn_drive_get_adr(&infos[i], adr) > 0)
                        realDrives.push_back(QString::fromLocal8Bit(adr));
                }
                burn_drive_info_free(infos);
            }
            scanned = true;
        }
    }

    char letter = 'D';
    for (const QString& adr : realDrives) {
        if (letter > 'Z')
            break;
        out.push_back({QStringLiteral("%1: %2").arg(QChar(letter)).arg(adr), adr, false});
        ++letter;
    }
    char pseudoLetter = 'Z';
    const QStringList files = qEnvironmentVariable("KELVANE_DATA_WRITERS").split(':', Qt::SkipEmptyParts);
    // An entry may name its disc's capacity: "path=4700M" (K, M or G of 1024).
    static const QRegularExpression sized(QStringLiteral("^(.+)=([0-9]{1,15})([KMG]?)$"),
                                          QRegularExpression::CaseInsensitiveOption);
    for (const QString& entry : files) {
        if (pseudoLetter < letter)
            break;
        QString f = entry.trimmed();
        qint64 capacity = 0;
        if (const QRegularExpressionMatch m = sized.match(f); m.hasMatch()) {
            f = m.captured(1);
            const QString unit = m.captured(3).toUpper();
            capacity = m.captured(2).toLongLong() *
                       (unit == "K" ? 1024LL : unit == "M" ? 1024LL * 1024 : unit == "G" ? 1024LL * 1024 * 1024 : 1);
        }
        const QString abs = QFileInfo(f).absoluteFilePath();
        const QString adr = QStringLiteral("stdio:") + abs;
        {
            std::lock_guard<std::mutex> lock(capacityLock);
            if (capacity > 0)
                namedCapacities()[adr] = capacity;
            else
                namedCapacities().erase(adr);
        }
        out.push_back({QStringLiteral("%1: %2").arg(QChar(pseudoLetter)).arg(adr), adr, true});
        --pseudoLetter;
    }
    return out;
}

DriveState ProbeDrive(const QString& address)
{
    DriveState st;
    if (!LibrariesReady()) {
        st.why = QStringLiteral("The disc writing library did not start.");
        return st;
    }
    if (isStdio(address)) {
        // A file stands for the disc: nothing to grab, and a FIFO is never opened.
        bool holdsData = false;
        st.why = stdioProblem(address, &holdsData);
        st.ready = st.why.isEmpty();
        st.blank = st.ready && !holdsData;
        st.capacityBytes = st.ready ? stdioCapacity(address) : 0;
        return st;
    }
    std::lock_guard<std::recursive_mutex> lock(libraryLock());
    GrabbedDrive g;
    if (!g.grab(address, true, &st.why))
        return st;
    const burn_disc_status s = g.discStatus();
    st.ready = s == BURN_DISC_BLANK || s == BURN_DISC_APPENDABLE || s == BURN_DISC_FULL;
    st.blank = s == BURN_DISC_BLANK;
    if (!st.ready)
        st.why = discStatusProblem(s);
    if (st.blank) {
        const off_t space = burn_disc_available_space(g.drive, nullptr);
        st.capacityBytes = space > 0 ? qint64(space) : 0;
    }

    burn_speed_descriptor* list = nullptr;
    if (burn_drive_get_speedlist(g.drive, &list) > 0 && list) {
        for (burn_speed_descriptor* d = list; d; d = d->next) {
            if (d->write_speed > 0 && std::find(st.writeSpeedsKBs.begin(), st.writeSpeedsKBs.end(), d->write_speed) ==
                                          st.writeSpeedsKBs.end())
                st.writeSpeedsKBs.push_back(d->write_speed);
        }
        burn_drive_free_speedlist(&list);
    }
    std::sort(st.writeSpeedsKBs.begin(), st.writeSpeedsKBs.end());
    return st;
}

namespace {

// The name kept whole up to the limit; a longer one loses the end of its
// base name, not its extension, and takes the tag before the extension.
QString cutName(const QString& name, int limit, const QString& tag = QString())
{
    if (tag.isEmpty() && name.size() <= limit)
        return name;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString ext = (dot > 0 && name.size() - dot <= 16) ? name.mid(dot) : QString();
    QString base = name.left(std::min<qsizetype>(name.size() - ext.size(), limit - ext.size() - tag.size()));
    if (!base.isEmpty() && base.back().isHighSurrogate())
        base.chop(1);
    return base + tag + ext;
}

QString mapChars(const QString& text, int limit, const char* allowed)
{
    QString out;
    for (int i = 0; i < text.size() && out.size() < limit; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size())
            ++i; // one character, one '_'
        const char a = c.unicode() < 128 ? char(QChar(c).toUpper().unicode()) : '\0';
        const bool ok = (a >= 'A' && a <= 'Z') || (a >= '0' && a <= '9') || a == '_' || (a && std::strchr(allowed, a));
        out += ok ? QChar::fromLatin1(a) : QLatin1Char('_');
    }
    return out;
}

} // namespace

QStringList DiscNames(const QStringList& files)
{
    QStringList own, names;
    for (const QString& path : files)
        own << QFileInfo(path).fileName();
    for (const QString& name : own) {
        // A cut name must not meet a name already given or another file's own name.
        auto taken = [&](const QString& n) { return names.contains(n) || (n != name && own.contains(n)); };
        QString disc = cutName(name, kJolietNameLimit);
        for (int n = 1; taken(disc); ++n)
            disc = cutName(name, kJolietNameLimit, QStringLiteral("~%1").arg(n));
        names << disc;
    }
    return names;
}

QString IsoVolumeId(const QString& label) { return mapChars(label, 32, ""); }

QString JolietVolumeId(const QString& label)
{
    QString out = label.left(16);
    if (!out.isEmpty() && out.back().isHighSurrogate())
        out.chop(1);
    return out;
}

QString IsoPublisherId(const QString& text) { return mapChars(text, 128, " !\"%&'()*+,-./:;<=>?"); }

qint64 LayoutBytes(const QStringList& files)
{
    // Descriptors, path tables, directories and the UDF structures of a
    // small disc stay well under 1 MB.
    qint64 bytes = 1024 * 1024;
    for (const QString& f : files) {
        const QFileInfo fi(f);
        if (fi.isFile())
            bytes += (fi.size() + 2047) / 2048 * 2048 + 2048;
    }
    return bytes;
}

QString StdioTargetPath(const QString& address)
{
    QString path = stdioPath(address);
    if (path.isEmpty())
        return path;
    path = QFileInfo(path).absoluteFilePath();
    // Follow links (a missing destination too), a bounded number of steps.
    for (int i = 0; i < 40; ++i) {
        const QFileInfo fi(path);
        if (!fi.isSymLink())
            break;
        const QString next = fi.symLinkTarget();
        if (next.isEmpty())
            break;
        path = next;
    }
    return path;
}

QString StdioPartPath(const QString& address)
{
    const QFileInfo fi(StdioTargetPath(address));
    return fi.absolutePath() + QStringLiteral("/.") + fi.fileName() + QStringLiteral(".burning");
}

void ClearStaleUdfImages()
{
    const QDir tmp(QDir::tempPath());
    for (const QString& name : tmp.entryList({QStringLiteral("kelvane-udf-*")}, QDir::Dirs | QDir::NoSymLinks)) {
        bool ok = false;
        const qint64 pid = name.section(QLatin1Char('-'), 2, 2).toLongLong(&ok);
        // Only the folders of processes that are gone.
        if (ok && pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QDir(tmp.filePath(name)).removeRecursively();
    }
}

void ClearStaleImage(const QString& address)
{
    if (!isStdio(address) || stdioPath(address).trimmed().isEmpty())
        return;
    const QString part = StdioPartPath(address);
    const QFileInfo fi(part);
    if (fi.isFile() && !fi.isSymLink())
        QFile::remove(part);
}

namespace {

// The label as genisoimage takes it: at most 32 bytes of UTF-8, cut on a character boundary.
QString cutToUtf8Bytes(const QString& text, int limit)
{
    QString out;
    int bytes = 0;
    for (int i = 0; i < text.size();) {
        const int len = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QString ch = text.mid(i, len);
        const int chBytes = int(ch.toUtf8().size());
        if (bytes + chBytes > limit)
            break;
        out += ch;
        bytes += chBytes;
        i += len;
    }
    return out;
}

QString cutToChars(const QString& text, int limit)
{
    QString out = text.left(limit);
    if (!out.isEmpty() && out.back().isHighSurrogate())
        out.chop(1);
    return out;
}

QString graftEscaped(QString s)
{
    s.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    s.replace(QLatin1Char('='), QLatin1String("\\="));
    return s;
}

// Writes the ISO 9660 volume id and publisher into the primary volume
// descriptor of an image, as d- and a-characters padded with blanks.
bool patchPrimaryDescriptor(const QString& image, const QString& volumeId, const QString& publisher)
{
    QFile f(image);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(16 * 2048))
        return false;
    const QByteArray head = f.read(6);
    if (head.size() != 6 || head.at(0) != 1 || head.mid(1, 5) != "CD001")
        return false;
    const QByteArray vol = volumeId.toLatin1().leftJustified(32, ' ', true);
    const QByteArray pub = publisher.toLatin1().leftJustified(128, ' ', true);
    return f.seek(16 * 2048 + 40) && f.write(vol) == 32 && f.seek(16 * 2048 + 318) && f.write(pub) == 128 && f.flush();
}

// The first message of at least SORRY that libisofs queued; the queue is emptied.
QString takeIsoProblem()
{
    QString first;
    int code = 0, imgid = 0;
    char msg[ISO_MSGS_MESSAGE_LEN];
    char severity[80];
    char minSeverity[] = "SORRY";
    while (iso_obtain_msgs(minSeverity, &code, &imgid, msg, severity) == 1)
        if (first.isEmpty())
            first = QString::fromLocal8Bit(msg).trimmed();
    return first;
}

void discardIsoMessages()
{
    int code = 0, imgid = 0;
    char msg[ISO_MSGS_MESSAGE_LEN];
    char severity[80];
    char never[] = "NEVER";
    iso_obtain_msgs(never, &code, &imgid, msg, severity);
}

// libisofs asks a file's stream for one 2 KB block per call; read from the
// file one by one, a gigabyte costs half a million system calls. This
// stream reads the file in large chunks and hands the blocks out of memory.
// It reports its own read problems naming the file, which libisofs cannot
// for a stream it does not know.
namespace chunked {

constexpr size_t kChunkBytes = 1 << 20;
// Tells these streams' files from those of other file systems libisofs knows.
constexpr unsigned int kFileSystemId = 0x4b56;

struct File {
    QByteArray path; // local encoding
    off_t size = 0;  // what the layout was planned with
    dev_t dev = 0;
    ino_t ino = 0;
    int fd = -1;
    std::unique_ptr<char[]> chunk;
    size_t have = 0; // bytes in chunk
    size_t at = 0;   // bytes of chunk handed out
    off_t done = 0;  // bytes handed out
    bool reported = false;
};

// The layout of libisofs' struct iso_stream, whose member name C++ cannot spell.
struct Stream {
    IsoStreamIface* iface;
    int refcount;
    void* data;
};

File* fileOf(IsoStream* s) { return static_cast<File*>(reinterpret_cast<Stream*>(s)->data); }

void report(File* f, const QString& what)
{
    if (f->reported)
        return;
    f->reported = true;
    QByteArray text = (what + QStringLiteral(": ") + QFile::decodeName(f->path)).toLocal8Bit();
    char sorry[] = "SORRY";
    iso_msgs_submit(int(ISO_FILE_CANT_WRITE), text.data(), 0, sorry, 0);
}

int openStream(IsoStream* s)
{
    File* f = fileOf(s);
    // Not blocking: a FIFO put in the file's place must not hang the image.
    f->fd = ::open(f->path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (f->fd < 0 || ::fstat(f->fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        report(f, QStringLiteral("The file cannot be read"));
        if (f->fd >= 0)
            ::close(f->fd);
        f->fd = -1;
        return int(ISO_FILE_ACCESS_DENIED);
    }
    ::posix_fadvise(f->fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    f->chunk.reset(new char[kChunkBytes]);
    f->have = f->at = 0;
    f->done = 0;
    if (st.st_size == f->size)
        return 1;
    report(f, QStringLiteral("The file changed its size"));
    return st.st_size > f->size ? 2 : 3;
}

int closeStream(IsoStream* s)
{
    File* f = fileOf(s);
    if (f->fd >= 0)
        ::close(f->fd);
    f->fd = -1;
    f->chunk.reset();
    return 1;
}

off_t streamSize(IsoStream* s) { return fileOf(s)->size; }

int readStream(IsoStream* s, void* buf, size_t count)
{
    File* f = fileOf(s);
    if (f->fd < 0)
        return int(ISO_FILE_NOT_OPENED);
    size_t got = 0;
    while (got < count) {
        if (f->at == f->have) {
            ssize_t n;
            do
                n = ::read(f->fd, f->chunk.get(), kChunkBytes);
            while (n < 0 && errno == EINTR);
            if (n < 0) {
                report(f, QStringLiteral("The file cannot be read"));
                return int(ISO_FILE_READ_ERROR);
            }
            if (n == 0) {
                if (f->done < f->size)
                    report(f, QStringLiteral("The file ended early"));
                break;
            }
            f->have = size_t(n);
            f->at = 0;
        }
        const size_t n = std::min(count - got, f->have - f->at);
        std::memcpy(static_cast<char*>(buf) + got, f->chunk.get() + f->at, n);
        f->at += n;
        got += n;
        f->done += off_t(n);
    }
    return int(got);
}

int isRepeatable(IsoStream*) { return 1; }

void getId(IsoStream* s, unsigned int* fsId, dev_t* devId, ino_t* inoId)
{
    const File* f = fileOf(s);
    *fsId = kFileSystemId;
    *devId = f->dev;
    *inoId = f->ino;
}

void freeData(IsoStream* s)
{
    File* f = fileOf(s);
    closeStream(s);
    delete f;
}

int updateSize(IsoStream* s)
{
    File* f = fileOf(s);
    struct stat st {};
    if (::stat(f->path.constData(), &st) != 0)
        return int(ISO_FILE_ERROR);
    f->size = st.st_size;
    return 1;
}

IsoStream* inputStream(IsoStream*, int) { return nullptr; }

int make(const QByteArray& path, const struct stat& st, IsoStream** out);

int cloneStream(IsoStream* old, IsoStream** copy, int flag)
{
    if (flag)
        return int(ISO_STREAM_NO_CLONE);
    const File* f = fileOf(old);
    struct stat st {};
    st.st_size = f->size;
    st.st_dev = f->dev;
    st.st_ino = f->ino;
    return make(f->path, st, copy);
}

IsoStreamIface kClass = {4, {'u', 's', 'e', 'r'}, openStream, closeStream, streamSize, readStream, isRepeatable, getId, freeData,
                         updateSize, inputStream, nullptr, cloneStream};

int make(const QByteArray& path, const struct stat& st, IsoStream** out)
{
    auto* f = new File;
    f->path = path;
    f->size = st.st_size;
    f->dev = st.st_dev;
    f->ino = st.st_ino;
    auto* s = static_cast<Stream*>(std::malloc(sizeof(Stream)));
    if (!s) {
        delete f;
        return int(ISO_OUT_OF_MEM);
    }
    s->iface = &kClass;
    s->refcount = 1;
    s->data = f;
    *out = reinterpret_cast<IsoStream*>(s);
    return 1;
}

// Adds the file under `name` with the attributes of the file itself.
int addFile(IsoDir* dir, const char* name, const QByteArray& path)
{
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return int(ISO_FILE_DOESNT_EXIST);
    if (!S_ISREG(st.st_mode))
        return int(ISO_FILE_ERROR);
    IsoStream* stream = nullptr;
    int r = make(path, st, &stream);
    if (r < 0)
        return r;
    IsoFile* file = nullptr;
    r = iso_tree_add_new_file(dir, name, stream, &file); // takes the stream's reference
    if (r < 0) {
        iso_stream_unref(stream);
        return r;
    }
    IsoNode* node = reinterpret_cast<IsoNode*>(file);
    iso_node_set_permissions(node, st.st_mode & 07777);
    iso_node_set_uid(node, st.st_uid);
    iso_node_set_gid(node, st.st_gid);
    iso_node_set_atime(node, st.st_atime);
    iso_node_set_mtime(node, st.st_mtime);
    iso_node_set_ctime(node, st.st_ctime);
    return r;
}

} // namespace chunked

// libburn takes one sector per call from the image's source, and libisofs
// hands each call through its ring buffer under a lock. This source takes
// the image from there in large pieces and gives libburn its sectors out of
// memory. A read never asks beyond the image's end: libisofs answers a read
// it cannot fill whole as the end of the image.
namespace pieces {

constexpr int kPieceBytes = 1 << 20;

struct Feed {
    burn::burn_source* inner = nullptr;
    off_t taken = 0;
    std::unique_ptr<unsigned char[]> piece{new unsigned char[kPieceBytes]};
    int have = 0;
    int at = 0;
    bool failed = false;
};

Feed* feedOf(burn::burn_source* s) { return static_cast<Feed*>(s->data); }

bool innerIsV1(const burn::burn_source* s) { return s->read == nullptr && s->version >= 1; }

int innerRead(burn::burn_source* s, unsigned char* buf, int size)
{
    return innerIsV1(s) ? s->read_xt(s, buf, size) : s->read(s, buf, size);
}

int readPieces(burn::burn_source* s, unsigned char* out, int size)
{
    Feed* f = feedOf(s);
    int got = 0;
    while (got < size) {
        if (f->at == f->have) {
            const off_t left = f->inner->get_size(f->inner) - f->taken;
            if (f->failed || left <= 0)
                break;
            const int n = innerRead(f->inner, f->piece.get(), int(std::min<off_t>(kPieceBytes, left)));
            if (n <= 0) {
                f->failed = n < 0;
                break;
            }
            f->taken += n;
            f->have = n;
            f->at = 0;
        }
        const int n = std::min(size - got, f->have - f->at);
        std::memcpy(out + got, f->piece.get() + f->at, size_t(n));
        f->at += n;
        got += n;
    }
    return got == 0 && f->failed ? -1 : got;
}

off_t getSize(burn::burn_source* s) { return feedOf(s)->inner->get_size(feedOf(s)->inner); }

int setSize(burn::burn_source* s, off_t size)
{
    burn::burn_source* inner = feedOf(s)->inner;
    return inner->set_size ? inner->set_size(inner, size) : 0;
}

void freeData(burn::burn_source* s)
{
    Feed* f = feedOf(s);
    burn_source_free(f->inner);
    delete f;
}

int cancel(burn::burn_source* s)
{
    burn::burn_source* inner = feedOf(s)->inner;
    return innerIsV1(inner) && inner->cancel ? inner->cancel(inner) : 1;
}

// A source over `inner`, holding a reference of its own to it.
burn::burn_source* over(burn::burn_source* inner)
{
    auto* s = static_cast<burn::burn_source*>(std::calloc(1, sizeof(burn::burn_source)));
    if (!s)
        return nullptr;
    auto* f = new Feed;
    f->inner = inner;
    ++inner->refcount;
    s->refcount = 1;
    s->read = nullptr;
    s->get_size = getSize;
    s->set_size = setSize;
    s->free_data = freeData;
    s->data = f;
    s->version = 1;
    s->read_xt = readPieces;
    s->cancel = cancel;
    return s;
}

} // namespace pieces

// What a file of the layout was when the burn began.
struct FileStamp {
    QString path;
    qint64 size = 0;
    QDateTime modified;
};

// Says which file is no longer what it was; empty when none.
QString changedFile(const std::vector<FileStamp>& stamps)
{
    for (const FileStamp& st : stamps) {
        const QFileInfo fi(st.path);
        if (!fi.isFile())
            return QStringLiteral("The file %1 was removed while it was burned.").arg(st.path);
        if (fi.size() != st.size || fi.lastModified() != st.modified)
            return QStringLiteral("The file %1 changed while it was burned.").arg(st.path);
    }
    return QString();
}

// Everything one burn holds, freed in reverse order of making.
struct BurnJob {
    IsoImage* image = nullptr;
    IsoWriteOpts* isoOpts = nullptr;
    burn::burn_source* imageSource = nullptr;
    burn::burn_source* feed = nullptr; // what libburn reads: the image in large pieces
    burn_disc* disc = nullptr;
    burn_session* session = nullptr;
    burn_track* track = nullptr;
    burn_write_opts* writeOpts = nullptr;
    std::unique_ptr<QTemporaryDir> udfFolder; // holds genisoimage's image

    BurnJob() = default;
    BurnJob(const BurnJob&) = delete;
    BurnJob& operator=(const BurnJob&) = delete;
    ~BurnJob() { clear(); }

    void clear()
    {
        if (writeOpts)
            burn_write_opts_free(writeOpts);
        if (track)
            burn_track_free(track);
        if (session)
            burn_session_free(session);
        if (disc)
            burn_disc_free(disc);
        if (feed)
            burn_source_free(feed);
        if (imageSource)
            burn_source_free(imageSource);
        if (isoOpts)
            iso_write_opts_free(isoOpts);
        if (image)
            iso_image_unref(image);
        image = nullptr;
        isoOpts = nullptr;
        imageSource = nullptr;
        feed = nullptr;
        disc = nullptr;
        session = nullptr;
        track = nullptr;
        writeOpts = nullptr;
        udfFolder.reset();
    }

    qint64 imageBytes() const { return imageSource ? qint64(imageSource->get_size(imageSource)) : 0; }

    BurnResult makeIsoImage(const ImageLayout& layout, const QStringList& names)
    {
        // libisofs maps the ISO 9660 label to d-characters itself and gives
        // Joliet the first 16 characters as typed.
        const QByteArray vol = cutToChars(layout.volumeLabel, 32).toUtf8();
        int r = iso_image_new(vol.constData(), &image);
        if (r < 0)
            return {ErrImage, isoErrorText(r)};
        iso_image_set_ignore_aclea(image, 1 | 2 | 4 | 8); // no ACLs, xattrs or inode numbers
        iso_image_set_application_id(image, cutToChars(layout.applicationId, 128).toUtf8().constData());
        iso_image_set_data_preparer_id(image, cutToChars(layout.preparerId, 128).toUtf8().constData());
        iso_image_set_publisher_id(image, cutToChars(layout.publisherId, 128).toUtf8().constData());
        IsoDir* root = iso_image_get_root(image);
        for (int i = 0; i < layout.files.size(); ++i) {
            const QString& path = layout.files.at(i);
            const QByteArray name = names.at(i).toUtf8();
            r = chunked::addFile(root, name.constData(), QFile::encodeName(path));
            if (r < 0)
                return {ErrImage, QStringLiteral("Couldn't add the file ") + path + " (" + isoErrorText(r) + ")"};
        }
        r = iso_write_opts_new(&isoOpts, 0);
        if (r < 0)
            return {ErrImage, isoErrorText(r)};
        iso_write_opts_set_iso_level(isoOpts, 3); // files over 4 GiB are split into extents, not refused
        iso_write_opts_set_joliet(isoOpts, layout.joliet ? 1 : 0);
        iso_write_opts_set_joliet_long_names(isoOpts, 1);
        r = iso_image_create_burn_source(image, isoOpts, reinterpret_cast<::burn_source**>(&imageSource));
        if (r < 0)
            return {ErrImage, isoErrorText(r)};
        return {};
    }

    // genisoimage writes the ISO 9660 / UDF bridge image into a temporary
    // folder; libburn then writes that file.
    BurnResult makeUdfImage(const ImageLayout& layout, const QStringList& names, const std::atomic<bool>& cancel)
    {
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("genisoimage"));
        if (tool.isEmpty())
            return {ErrNoTool, QStringLiteral("UDF discs are made by genisoimage, which is not installed.")};
        // The process id in the name tells a later start whose folder it finds.
        udfFolder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kelvane-udf-%1-XXXXXX")
                                                                           .arg(QCoreApplication::applicationPid()));
        if (!udfFolder->isValid())
            return {ErrImage, QStringLiteral("No folder for the disc image: ") + udfFolder->errorString()};
        const QString out = udfFolder->filePath(QStringLiteral("disc.iso"));
        QStringList args{QStringLiteral("-quiet"), QStringLiteral("-o"), out, QStringLiteral("-input-charset"),
                         QStringLiteral("utf-8"), QStringLiteral("-iso-level"), QStringLiteral("3"),
                         QStringLiteral("-udf")};
        if (layout.joliet)
            args << QStringLiteral("-J") << QStringLiteral("-joliet-long");
        args << QStringLiteral("-V") << cutToUtf8Bytes(layout.volumeLabel, 32);
        if (!layout.publisherId.isEmpty())
            args << QStringLiteral("-publisher") << cutToUtf8Bytes(layout.publisherId, 128);
        if (!layout.applicationId.isEmpty())
            args << QStringLiteral("-A") << cutToUtf8Bytes(layout.applicationId, 128);
        if (!layout.preparerId.isEmpty())
            args << QStringLiteral("-p") << cutToUtf8Bytes(layout.preparerId, 128);
        args << QStringLiteral("-graft-points");
        for (int i = 0; i < layout.files.size(); ++i)
            args << graftEscaped(names.at(i)) + QLatin1Char('=') + graftEscaped(layout.files.at(i));

        QProcess p;
        p.setProgram(tool);
        p.setArguments(args);
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardInputFile(QProcess::nullDevice());
        p.start();
        if (!p.waitForStarted(30000))
            return {ErrNoTool, QStringLiteral("genisoimage could not be started: ") + p.errorString()};
        QByteArray errors;
        while (p.state() != QProcess::NotRunning) {
            if (cancel.load()) {
                p.kill();
                p.waitForFinished(10000);
                return {ErrCancelled, QStringLiteral("Canceled.")};
            }
            p.waitForFinished(100);
            errors += p.readAllStandardError();
            if (errors.size() > 256 * 1024)
                errors = errors.right(64 * 1024);
        }
        errors += p.readAllStandardError();
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            const QStringList lines = QString::fromLocal8Bit(errors).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            const QString last =
                lines.mid(std::max<qsizetype>(0, lines.size() - 3)).join(QLatin1Char(' ')).simplified();
            const QString how = p.exitStatus() == QProcess::NormalExit ? QString::number(p.exitCode())
                                                                       : QStringLiteral("crashed");
            return {ErrImage, QStringLiteral("genisoimage failed (%1)").arg(how) +
                                  (last.isEmpty() ? QString() : QStringLiteral(": ") + last)};
        }
        if (!patchPrimaryDescriptor(out, IsoVolumeId(layout.volumeLabel), IsoPublisherId(layout.publisherId)))
            return {ErrImage, QStringLiteral("The disc image genisoimage wrote cannot be read.")};
        const QByteArray local = QFile::encodeName(out);
        imageSource = burn_file_source_new(local.constData(), nullptr);
        if (!imageSource)
            return {ErrImage, QStringLiteral("The disc image genisoimage wrote cannot be read.")};
        return {};
    }

    BurnResult compose(burn_drive* drive)
    {
        disc = burn_disc_create();
        session = burn_session_create();
        track = burn_track_create();
        if (!disc || !session || !track)
            return {ErrWrite, QStringLiteral("Out of memory.")};
        burn_disc_add_session(disc, session, BURN_POS_END);
        burn_track_define_data(track, 0, 0, 1, BURN_MODE1);
        // The image goes to libburn in large pieces straight from libisofs'
        // ring buffer; a libburn fifo of 2 KB chunks in between made the
        // burn three times slower.
        feed = pieces::over(imageSource);
        if (!feed || burn_track_set_source(track, feed) != BURN_SOURCE_OK)
            return {ErrWrite, QStringLiteral("The image cannot be read.")};
        burn_session_add_track(session, track, BURN_POS_END);
        writeOpts = burn_write_opts_new(drive);
        if (!writeOpts)
            return {ErrWrite, QStringLiteral("Out of memory.")};
        burn_write_opts_set_perform_opc(writeOpts, 0);
        burn_write_opts_set_multi(writeOpts, 0);
        burn_write_opts_set_underrun_proof(writeOpts, 1);
        // A file standing for a disc is synced once, at its end, not every 16 MB.
        burn_write_opts_set_stdio_fsync(writeOpts, 1);
        char reasons[BURN_REASONS_LEN] = {};
        if (burn_write_opts_auto_write_type(writeOpts, disc, reasons, 0) == BURN_WRITE_NONE)
            return {ErrWrite, QString::fromLocal8Bit(reasons).trimmed()};
        return {};
    }
};

// What is needed rounds up, what the disc holds down.
QString megabytesUp(qint64 bytes) { return QString::number((bytes + 1024 * 1024 - 1) / (1024 * 1024)); }
QString megabytesDown(qint64 bytes) { return QString::number(bytes / (1024 * 1024)); }

QStringList ownNames(const QStringList& files)
{
    QStringList own;
    for (const QString& f : files)
        own << QFileInfo(f).fileName();
    return own;
}

} // namespace

BurnResult BurnImage(const QString& address, const ImageLayout& layout, int speedKBs, const std::atomic<bool>& cancel,
                     const BurnEvents& events)
{
    if (!LibrariesReady())
        return {ErrLibrary, QStringLiteral("The disc writing library did not start.")};
    if (layout.files.isEmpty())
        return {ErrNoFiles, QStringLiteral("Nothing to burn.")};
    const bool stdio = isStdio(address);
    QString writeAddress = address, target, part;
    if (stdio) {
        bool holdsData = false;
        const QString why = stdioProblem(address, &holdsData);
        if (!why.isEmpty())
            return {ErrNoWriter, why};
        if (holdsData)
            return {ErrNotBlank, QStringLiteral("The disc is not empty.")};
        target = StdioTargetPath(address);
        part = StdioPartPath(address);
        QFile::remove(part);
        writeAddress = QStringLiteral("stdio:") + part;
    }

    std::vector<FileStamp> stamps;
    for (const QString& f : layout.files) {
        const QFileInfo fi(f);
        if (!fi.isFile() || !fi.isReadable())
            return {ErrRead, QStringLiteral("The file %1 cannot be read.").arg(f)};
        stamps.push_back({f, fi.size(), fi.lastModified()});
    }
    QStringList names = layout.names;
    if (names.size() != layout.files.size())
        names = (layout.joliet || layout.udf) ? DiscNames(layout.files) : ownNames(layout.files);

    GrabbedDrive g;
    {
        std::lock_guard<std::recursive_mutex> lock(libraryLock());
        QString why;
        if (!g.grab(writeAddress, true, &why))
            return {ErrNoWriter, why};
    }
    const burn_disc_status status = g.discStatus();
    if (status != BURN_DISC_BLANK) {
        std::lock_guard<std::recursive_mutex> lock(libraryLock());
        g.release();
        const bool written = status == BURN_DISC_APPENDABLE || status == BURN_DISC_FULL;
        return {written ? ErrNotBlank : ErrNoWriter, discStatusProblem(status)};
    }

    BurnJob job;
    BurnResult r;
    if (cancel.load())
        r = {ErrCancelled, QStringLiteral("Canceled.")};
    if (r.code == Ok) {
        discardIsoMessages();
        r = layout.udf ? job.makeUdfImage(layout, names, cancel) : job.makeIsoImage(layout, names);
    }
    if (r.code == Ok)
        r = job.compose(g.drive);
    if (r.code == Ok) {
        const qint64 need = job.imageBytes();
        const qint64 space = stdio ? stdioCapacity(address) : qint64(burn_disc_available_space(g.drive, job.writeOpts));
        if (space > 0 && need > space)
            r = {ErrTooBig, QStringLiteral("The files need %1 MB, more than the %2 MB the disc holds.")
                                .arg(megabytesUp(need), megabytesDown(space))};
    }

    bool started = false, closing = false, cancelled = false;
    int lastPercent = -1;
    QString message, isoProblem;
    bool wroteWell = false;
    const qint64 imageBytes = job.imageBytes();
    if (r.code == Ok) {
        burn_drive_set_speed(g.drive, 0, (speedKBs <= 0 || speedKBs >= 65535) ? 0 : speedKBs);
        burn_progress p{};
        // libburn lets a finished write thread linger a moment after its drive
        // went idle, and refuses a new write on that drive meanwhile: wait it out.
        for (int attempt = 0;; ++attempt) {
            discardLibburnMessages();
            burn_disc_write(job.writeOpts, job.disc);
            burn_drive_status s;
            while ((s = burn_drive_get_status(g.drive, &p)) == BURN_DRIVE_SPAWNING)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            while (s != BURN_DRIVE_IDLE) {
                if (cancel.load() && !cancelled) {
                    burn_drive_cancel(g.drive);
                    cancelled = true;
                }
                if (s == BURN_DRIVE_WRITING) {
                    if (!started) {
                        started = true;
                        if (events.started)
                            events.started();
                    }
                    const int percent =
                        p.sectors > 0 ? int(std::min<int64_t>(100, int64_t(p.sector) * 100 / p.sectors)) : 0;
                    if (percent != lastPercent && events.progress) {
                        lastPercent = percent;
                        events.progress(percent);
                    }
                } else if ((s == BURN_DRIVE_CLOSING_TRACK || s == BURN_DRIVE_CLOSING_SESSION) && !closing) {
                    closing = true;
                    if (events.closing)
                        events.closing();
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                s = burn_drive_get_status(g.drive, &p);
            }
            bool busy = false;
            message = lastLibburnMessage(&busy);
            if (!busy || started || attempt >= 250 || cancel.load())
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        wroteWell = burn_drive_wrote_well(g.drive) == 1;
        isoProblem = takeIsoProblem();
    }
    // libburn holds the drive until the job's objects are gone.
    job.clear();
    {
        std::lock_guard<std::recursive_mutex> lock(libraryLock());
        g.release();
    }

    // A file that went away or changed names the cause better than what followed from it.
    const QString changed = changedFile(stamps);
    if (r.code == Ok) {
        if (cancelled || cancel.load())
            r = {ErrCancelled, QStringLiteral("Canceled.")};
        else if (!changed.isEmpty())
            r = {ErrRead, changed};
        else if (!isoProblem.isEmpty())
            r = {ErrRead, isoProblem};
        else if (!wroteWell)
            r = {ErrWrite, message.isEmpty() ? QStringLiteral("The disc could not be written.") : message};
        else if (stdio && QFileInfo(part).size() < imageBytes)
            r = {ErrWrite, QStringLiteral("The disc holds less than its image.")};
    } else if (r.code != ErrCancelled && r.code != ErrTooBig && !changed.isEmpty()) {
        r = {ErrRead, changed};
    }
    if (stdio && r.code == Ok &&
        std::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) != 0)
        r = {ErrWrite, QStringLiteral("The disc file %1 could not be written: %2")
                           .arg(target, QString::fromLocal8Bit(std::strerror(errno)))};
    if (stdio && r.code != Ok)
        QFile::remove(part);
    if (r.code == Ok) {
        if (!started && events.started)
            events.started();
        if (lastPercent < 100 && events.progress)
            events.progress(100);
        if (!closing && events.closing)
            events.closing();
    }
    return r;
}

void MoveTray(const QString& address, bool open)
{
    if (address.isEmpty() || isStdio(address) || !LibrariesReady())
        return;
    std::lock_guard<std::recursive_mutex> lock(libraryLock());
    GrabbedDrive g;
    if (!g.grab(address, !open, nullptr))
        return;
    g.release(open);
}

} // namespace datadisc
