#include "tags/TagChange.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "tags/TagFileIo.h"

namespace tagio {
namespace {

// Large writes go in pieces, each one a step a test can stop at.
constexpr qint64 kPiece = 1 << 20;
// A write inside one page of the page cache is never split by a kill.
constexpr qint64 kPage = 4096;
constexpr quint32 kJournalMagic = 0x4B56544A;
constexpr quint32 kJournalVersion = 1;
constexpr int kCheckSize = 4;
const char kJournalSuffix[] = ".kvtag-journal";
// A journal still being written: nothing was changed under its guard yet.
const char kUnfinishedSuffix[] = ".kvtag-journal-new";

enum JournalKind : quint8 { UndoInPlace = 1, RewriteBeside = 2 };

StepHook g_stepHook = nullptr;

void stepDone()
{
    if (g_stepHook)
        g_stepHook();
}

int lastError() { return errno ? errno : EIO; }

bool lockFile(int fd, bool wait)
{
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool unlinked(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) != 0 || st.st_nlink == 0;
}

// A piece of the file a change writes in place: the new bytes at offset and
// the bytes the file held there (longer when the file gets shorter, shorter
// when it grows).
struct Edit {
    qint64 offset = 0;
    QByteArray bytes;
    QByteArray old;
};

// What a journal holds: the target, and for an in-place write the bytes to put back.
struct JournalData {
    quint8 kind = 0;
    QByteArray target;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 oldLength = 0;
    qint64 newLength = 0;
    std::vector<std::pair<qint64, QByteArray>> undo;
};

quint32 checksum(quint32 crc, const char* data, qint64 n)
{
    for (qint64 at = 0; at < n; at += 1 << 30)
        crc = quint32(::crc32(crc, reinterpret_cast<const Bytef*>(data + at), uInt(std::min<qint64>(1 << 30, n - at))));
    return crc;
}

// A journal: a header (the target, the lengths, and the offset and size of
// each saved piece), the saved bytes one after the other, and a CRC-32 of all
// that. The saved bytes are written from where they lie, never copied.
QByteArray journalHeader(const JournalData& j)
{
    QByteArray header;
    QDataStream out(&header, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kJournalMagic << kJournalVersion << j.kind << j.target << j.device << j.inode << j.oldLength
        << j.newLength << quint32(j.undo.size());
    for (const auto& [offset, bytes] : j.undo)
        out << offset << qint64(bytes.size());
    return header;
}

bool writeJournal(int fd, const JournalData& j)
{
    const QByteArray header = journalHeader(j);
    quint32 crc = checksum(0, header.constData(), header.size());
    qint64 at = header.size();
    if (!writeAll(fd, 0, header.constData(), header.size()))
        return false;
    for (const auto& [offset, bytes] : j.undo) {
        if (!writeAll(fd, at, bytes.constData(), bytes.size()))
            return false;
        crc = checksum(crc, bytes.constData(), bytes.size());
        at += bytes.size();
    }
    const char tail[kCheckSize] = {char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
    return writeAll(fd, at, tail, kCheckSize);
}

std::optional<JournalData> decodeJournal(const QByteArray& all)
{
    const qint64 body = all.size() - kCheckSize;
    if (body < 0)
        return std::nullopt;
    const auto* tail = reinterpret_cast<const uchar*>(all.constData() + body);
    if (checksum(0, all.constData(), body) !=
        (quint32(tail[0]) << 24 | quint32(tail[1]) << 16 | quint32(tail[2]) << 8 | quint32(tail[3])))
        return std::nullopt;
    QDataStream in(all);
    in.setVersion(QDataStream::Qt_6_0);
    JournalData j;
    quint32 magic = 0, version = 0, count = 0;
    in >> magic >> version >> j.kind >> j.target >> j.device >> j.inode >> j.oldLength >> j.newLength >> count;
    if (magic != kJournalMagic || version != kJournalVersion)
        return std::nullopt;
    std::vector<std::pair<qint64, qint64>> pieces;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        qint64 offset = 0, size = 0;
        in >> offset >> size;
        pieces.emplace_back(offset, size);
    }
    if (in.status() != QDataStream::Ok)
        return std::nullopt;
    qint64 at = in.device()->pos();
    for (const auto& [offset, size] : pieces) {
        if (size < 0 || offset < 0 || size > body - at)
            return std::nullopt;
        j.undo.emplace_back(offset, all.mid(at, size));
        at += size;
    }
    return j;
}

QByteArray readAllOf(int fd)
{
    QByteArray all;
    char buffer[65536];
    for (qint64 at = 0;;) {
        const ssize_t r = ::pread(fd, buffer, sizeof buffer, off_t(at));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        all.append(buffer, r);
        at += r;
    }
    return all;
}

// The journal of one write, locked while the write is under way: a journal
// nobody holds locked belongs to a write that ended without removing it.
class Journal {
public:
    Journal() = default;
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;
    ~Journal()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    // Writes the journal under its final name. False (nothing left behind) on
    // failure. An undo journal is flushed before the file it guards is
    // touched; a copy's journal only helps a clean-up and is not.
    bool begin(const JournalData& data)
    {
        m_durable = data.kind == UndoInPlace;
        const QString folder = pendingWritesFolder();
        if (!QDir().mkpath(folder))
            return false;
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QByteArray name = QFile::encodeName(folder) + "/XXXXXX" + kUnfinishedSuffix;
        m_fd = ::mkostemps(name.data(), int(std::strlen(kUnfinishedSuffix)), O_CLOEXEC);
        if (m_fd < 0)
            return false;
        QByteArray final = name;
        final.chop(int(std::strlen(kUnfinishedSuffix)));
        final += kJournalSuffix;
        // A clean-up that took the unfinished journal first leaves it unlinked.
        if (!lockFile(m_fd, true) || unlinked(m_fd) || !writeJournal(m_fd, data) ||
            (m_durable && syncFile(m_fd) != 0) || ::rename(name.constData(), final.constData()) != 0) {
            ::unlink(name.constData());
            ::close(m_fd);
            m_fd = -1;
            return false;
        }
        if (m_durable)
            syncFolder(folder);
        m_path = final;
        stepDone();
        return true;
    }

    // The write is complete or undone: the journal goes, and its lock with it.
    void finish()
    {
        if (m_fd < 0)
            return;
        ::unlink(m_path.constData());
        // A finished write is not rolled back after a power loss.
        if (m_durable)
            syncFolder(pendingWritesFolder());
        ::close(m_fd);
        m_fd = -1;
    }

    // The write could not be undone here: the journal stays for the next recovery.
    void keep()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    bool m_durable = false;
    QByteArray m_path;
};

// The canonical path of the file a write replaces: a symbolic link given as
// the path keeps pointing at the new content.
QString realTarget(const QString& path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    return target.isEmpty() ? QFileInfo(path).absoluteFilePath() : target;
}

// Deletes a file of ours nobody holds locked; a symbolic link or another
// user's file is left alone.
void removeIfStale(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return;
    struct stat st {}, now {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && lockFile(fd, false) &&
        ::lstat(native.constData(), &now) == 0 && now.st_ino == st.st_ino && now.st_dev == st.st_dev)
        ::unlink(native.constData());
    ::close(fd);
}

// The hidden copies of killed rewrites in a folder: ".<name>.kvtag-XXXXXX",
// only those of one file when name is given.
void removeStaleCopies(const QString& folder, const QString& name = QString())
{
    static const QRegularExpression copy(QStringLiteral("^\\.(.+)\\.kvtag-[A-Za-z0-9]{6}$"));
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        const auto m = copy.match(entry);
        if (m.hasMatch() && (name.isEmpty() || m.captured(1) == name))
            removeIfStale(folder + QLatin1Char('/') + entry);
    }
}

// Puts back the bytes an in-place write replaced. False when the file could
// not be written: the journal then stays for another try. A file that is no
// longer the one written (gone, replaced, or changed in length since) is left alone.
bool rollBack(const JournalData& j)
{
    File f;
    if (!f.openReadWrite(QFile::decodeName(j.target)))
        return f.error() == ENOENT || f.error() == ENOTDIR || f.error() == EISDIR || f.error() == ENXIO;
    if (quint64(f.device()) != j.device || quint64(f.inode()) != j.inode ||
        f.size() < std::min(j.oldLength, j.newLength) || f.size() > std::max(j.oldLength, j.newLength))
        return true;
    for (const auto& [offset, bytes] : j.undo)
        if (!f.writeAt(offset, bytes.constData(), bytes.size()))
            return false;
    return f.truncate(j.oldLength) && f.sync();
}

// One journal left in the folder. waitFor: the file about to be read or
// written, whose write still under way is waited for rather than skipped.
void recoverJournal(const QString& path, const struct stat* waitFor)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return;
    if (!lockFile(fd, false)) {
        const auto busy = waitFor ? decodeJournal(readAllOf(fd)) : std::nullopt;
        if (!busy || busy->device != quint64(waitFor->st_dev) || busy->inode != quint64(waitFor->st_ino) ||
            !lockFile(fd, true)) {
            ::close(fd);
            return;
        }
    }
    if (unlinked(fd)) { // its write ended while we waited
        ::close(fd);
        return;
    }
    const auto j = decodeJournal(readAllOf(fd));
    if (j && j->kind == UndoInPlace && !rollBack(*j)) {
        ::close(fd);
        return;
    }
    if (j) {
        const QFileInfo target(QFile::decodeName(j->target));
        removeStaleCopies(target.absolutePath(), target.fileName());
    }
    ::unlink(QFile::encodeName(path).constData());
    syncFolder(QFileInfo(path).absolutePath());
    ::close(fd);
}

void recoverJournals(const struct stat* waitFor)
{
    const QString folder = pendingWritesFolder();
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        const QString path = folder + QLatin1Char('/') + entry;
        if (entry.endsWith(QLatin1String(kUnfinishedSuffix)))
            removeIfStale(path);
        else if (entry.endsWith(QLatin1String(kJournalSuffix)))
            recoverJournal(path, waitFor);
    }
}

// The part of an edit that differs from what the file holds.
Edit trimmed(qint64 offset, const QByteArray& bytes, const QByteArray& old)
{
    const char* b = bytes.constData();
    const char* o = old.constData();
    const qint64 common = std::min(bytes.size(), old.size());
    const qint64 from = std::mismatch(b, b + common, o).first - b;
    qint64 to = bytes.size();
    qint64 oldTo = old.size();
    if (bytes.size() == old.size()) {
        const auto back = std::mismatch(std::make_reverse_iterator(b + to), std::make_reverse_iterator(b + from),
                                        std::make_reverse_iterator(o + to));
        to = back.first.base() - b;
        oldTo = to;
    }
    return Edit{offset + from, bytes.mid(from, to - from), old.mid(from, oldTo - from)};
}

// write(at, n) for each piece of n bytes in turn.
template <class Write> bool inPieces(qint64 n, Write write)
{
    for (qint64 at = 0; at < n; at += kPiece) {
        if (!write(at, std::min(kPiece, n - at)))
            return false;
        stepDone();
    }
    return true;
}

bool undoEdits(File& file, const std::vector<Edit>& edits, qint64 length)
{
    for (const Edit& e : edits)
        if (!file.writeAt(e.offset, e.old.constData(), e.old.size()))
            return false;
    // A write that failed part way may have grown the file unseen.
    return file.truncate(length) && file.sync();
}

JournalData journalFor(quint8 kind, const File& file, const QString& target, qint64 newLength)
{
    JournalData data;
    data.kind = kind;
    data.target = QFile::encodeName(target);
    data.device = quint64(file.device());
    data.inode = quint64(file.inode());
    data.oldLength = file.size();
    data.newLength = newLength;
    return data;
}

// The parts of the file a change that keeps the layout writes: the ID3v2
// tag's space and the end, each trimmed to the bytes that differ.
std::optional<std::vector<Edit>> editsOf(File& file, const TagChange& c, qint64 tailFrom)
{
    QByteArray oldHead(c.keepFrom, Qt::Uninitialized);
    QByteArray oldTail(file.size() - tailFrom, Qt::Uninitialized);
    if (!file.readAt(0, oldHead.data(), oldHead.size()) || !file.readAt(tailFrom, oldTail.data(), oldTail.size()))
        return std::nullopt;
    std::vector<Edit> edits;
    for (Edit e : {trimmed(0, c.head, oldHead), trimmed(tailFrom, c.tailFrom < 0 ? oldTail : c.tail, oldTail)})
        if (!e.bytes.isEmpty() || !e.old.isEmpty())
            edits.push_back(std::move(e));
    return edits;
}

// The edits of a change that keeps the file's length as one edit, when they
// all lie within one page.
std::optional<Edit> onePage(File& file, const std::vector<Edit>& edits)
{
    const qint64 from = edits.front().offset;
    const qint64 to = edits.back().offset + edits.back().bytes.size();
    if (to - from > kPage || from / kPage != (to - 1) / kPage)
        return std::nullopt;
    Edit span{from, QByteArray(to - from, Qt::Uninitialized), QByteArray()};
    if (!file.readAt(from, span.bytes.data(), span.bytes.size()))
        return std::nullopt;
    span.old = span.bytes;
    for (const Edit& e : edits)
        span.bytes.replace(e.offset - from, e.bytes.size(), e.bytes);
    return span;
}

// One write of at most a page, inside that page: the kernel copies it into
// the page cache whole, so a kill leaves the file all old or all new and no
// journal is needed.
int writeOnePage(File& file, const Edit& e)
{
    if (!file.writeAt(e.offset, e.bytes.constData(), e.bytes.size())) {
        const int err = file.error() ? file.error() : EIO;
        (void)file.writeAt(e.offset, e.old.constData(), e.old.size());
        return err;
    }
    stepDone();
    if (!file.sync()) {
        const int err = file.error() ? file.error() : EIO;
        if (file.writeAt(e.offset, e.old.constData(), e.old.size()))
            (void)file.sync();
        return err;
    }
    stepDone();
    return 0;
}

// The edits written over the file, their old bytes saved first in an undo
// journal. std::nullopt when no journal can be kept.
std::optional<int> writeInPlace(File& file, const QString& target, const std::vector<Edit>& edits, qint64 newLength)
{
    const qint64 length = file.size();
    JournalData data = journalFor(UndoInPlace, file, target, newLength);
    for (const Edit& e : edits)
        data.undo.emplace_back(e.offset, e.old);
    Journal journal;
    if (!journal.begin(data))
        return std::nullopt;
    int err = 0;
    for (const Edit& e : edits) {
        if (!inPieces(e.bytes.size(), [&](qint64 at, qint64 n) {
                return file.writeAt(e.offset + at, e.bytes.constData() + at, n);
            })) {
            err = file.error() ? file.error() : EIO;
            break;
        }
    }
    if (!err && newLength < length) {
        if (file.truncate(newLength))
            stepDone();
        else
            err = file.error() ? file.error() : EIO;
    }
    if (!err && !file.sync())
        err = file.error() ? file.error() : EIO;
    if (err) {
        if (undoEdits(file, edits, length))
            journal.finish();
        else
            journal.keep();
        return err;
    }
    stepDone();
    journal.finish();
    return 0;
}

// n bytes of one file copied into another, inside the kernel where the
// filesystem allows it (on btrfs or XFS by sharing the blocks), otherwise
// through a buffer. False with errno set.
bool copyBytes(int from, qint64 in, int to, qint64 out, qint64 n)
{
    bool inKernel = true;
    std::vector<char> buffer;
    while (n > 0) {
        const qint64 piece = std::min(kPiece, n);
        qint64 done = 0;
        if (inKernel) {
            loff_t i = in, o = out;
            const ssize_t r = ::copy_file_range(from, &i, to, &o, size_t(piece), 0);
            if (r < 0 && errno == EINTR)
                continue;
            // Not offered here (another filesystem, an old kernel): the buffer
            // then copies the rest, and meets any real failure itself.
            if (r <= 0) {
                inKernel = false;
                continue;
            }
            done = r;
        } else {
            buffer.resize(size_t(kPiece));
            const ssize_t r = ::pread(from, buffer.data(), size_t(piece), off_t(in));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0) {
                errno = r < 0 ? errno : EIO;
                return false;
            }
            if (!writeAll(to, out, buffer.data(), r))
                return false;
            done = r;
        }
        in += done;
        out += done;
        n -= done;
        stepDone();
    }
    return true;
}

// The whole new file written beside the old one, flushed, and renamed over
// it in one step; on failure the old file stands and the copy is gone.
// journalOtherwise: the change keeps the layout and could be written in place
// under a journal; then a copy that cannot be made in the folder, or that
// would not keep the file's owner and group, sets cannotStandIn and writes
// nothing.
int writeCopy(File& original, const QString& target, const TagChange& c, qint64 tailFrom, qint64 newLength,
              bool journalOtherwise, bool& cannotStandIn)
{
    cannotStandIn = false;
    // Without the journal the copy of a killed write is still found at the
    // next open of its folder.
    Journal journal;
    journal.begin(journalFor(RewriteBeside, original, target, newLength));

    const QFileInfo targetInfo(target);
    QByteArray copy = QFile::encodeName(targetInfo.absolutePath() + QStringLiteral("/.") + targetInfo.fileName() +
                                        QStringLiteral(".kvtag-XXXXXX"));
    const int fd = ::mkostemp(copy.data(), O_CLOEXEC);
    if (fd < 0) {
        const int err = lastError();
        cannotStandIn = journalOtherwise;
        journal.finish();
        return err;
    }
    auto fail = [&](int err) {
        ::unlink(copy.constData());
        ::close(fd);
        journal.finish();
        return err ? err : EIO;
    };
    // Locked while it is written: a clean-up deletes only copies nobody holds.
    if (!lockFile(fd, true))
        return fail(errno);
    if (unlinked(fd))
        return fail(ENOENT);
    stepDone();

    // The original's owner (where allowed) and permissions.
    if (::fchown(fd, original.owner(), original.group()) != 0) {
        // Only the group may be ours to give; the owner stays the writer.
        (void)::fchown(fd, uid_t(-1), original.group());
    }
    struct stat st {};
    if (journalOtherwise &&
        (::fstat(fd, &st) != 0 || st.st_uid != original.owner() || st.st_gid != original.group())) {
        cannotStandIn = true;
        return fail(EPERM);
    }
    if (::fchmod(fd, original.mode() & 07777) != 0)
        return fail(errno);

    qint64 out = 0;
    auto put = [&](const char* data, qint64 n) {
        const bool ok = inPieces(n, [&](qint64 at, qint64 len) { return writeAll(fd, out + at, data + at, len); });
        out += n;
        return ok;
    };
    if (!put(c.head.constData(), c.head.size()))
        return fail(errno);
    if (!copyBytes(original.fd(), c.keepFrom, fd, out, tailFrom - c.keepFrom))
        return fail(errno);
    out += tailFrom - c.keepFrom;
    if ((c.tailFrom >= 0 && !put(c.tail.constData(), c.tail.size())) || out != newLength)
        return fail(errno);
    if (syncFile(fd) != 0)
        return fail(errno);
    stepDone();
    errno = 0;
    if (renameFile(copy.constData(), QFile::encodeName(target).constData()) != 0)
        return fail(errno);
    // The rename itself made durable.
    syncFolder(targetInfo.absolutePath());
    stepDone();
    ::close(fd);
    original.close();
    journal.finish();
    return 0;
}

} // namespace

QString pendingWritesFolder()
{
    QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/kelvane/tag-writes");
}

StepHook setStepHook(StepHook hook)
{
    const StepHook previous = g_stepHook;
    g_stepHook = hook;
    return previous;
}

int writeChange(File& file, const QString& path, const TagChange& c)
{
    const qint64 length = file.size();
    if (c.keepFrom < 0 || c.keepFrom > length)
        return EINVAL;
    // A block the ID3v1 writer found inside the ID3v2 tag's space is not the
    // end of the file: a new one is added.
    const qint64 tailFrom = c.tailFrom < c.keepFrom ? length : std::min(c.tailFrom, length);
    const qint64 newLength = c.head.size() + (tailFrom - c.keepFrom) + (c.tailFrom < 0 ? 0 : c.tail.size());
    const QString target = realTarget(path);

    std::vector<Edit> edits;
    const bool layoutKept = c.head.size() == c.keepFrom;
    if (layoutKept) {
        auto found = editsOf(file, c, tailFrom);
        if (!found)
            return file.error() ? file.error() : EIO;
        edits = std::move(*found);
        if (edits.empty())
            return 0;
        if (newLength == length)
            if (const auto span = onePage(file, edits))
                return writeOnePage(file, *span);
    }

    // Anything larger is written whole into a copy renamed over the file, so
    // that the file is never seen half written, not even before the next
    // recovery. The journal stands in only where a copy cannot: a file with
    // hard links (a copy would part them), a folder where no copy can be
    // made, or an owner or group the copy could not be given.
    struct stat st {};
    if (layoutKept && ::fstat(file.fd(), &st) == 0 && st.st_nlink > 1)
        if (const auto done = writeInPlace(file, target, edits, newLength))
            return *done;
    bool cannotStandIn = false;
    const int err = writeCopy(file, target, c, tailFrom, newLength, layoutKept, cannotStandIn);
    if (!cannotStandIn)
        return err;
    if (const auto done = writeInPlace(file, target, edits, newLength))
        return *done;
    // No journal either: a copy that can be made is written even so.
    return writeCopy(file, target, c, tailFrom, newLength, false, cannotStandIn);
}

void recoverPendingWrites() { recoverJournals(nullptr); }

void recoverPendingWrites(const QString& path)
{
    struct stat st {};
    const QString target = realTarget(path);
    const bool exists = ::stat(QFile::encodeName(target).constData(), &st) == 0;
    recoverJournals(exists ? &st : nullptr);
    removeStaleCopies(QFileInfo(target).absolutePath());
}

} // namespace tagio
