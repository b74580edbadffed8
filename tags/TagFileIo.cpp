#include "tags/TagFileIo.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tagio {
namespace {
RenameFunction g_rename = &::rename;
SyncFunction g_fsync = &::fsync;

bool writeAll(int fd, qint64 offset, const char* data, qint64 n)
{
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, data, size_t(n), off_t(offset));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (w == 0) {
            errno = ENOSPC;
            return false;
        }
        data += w;
        offset += w;
        n -= w;
    }
    return true;
}
} // namespace

RenameFunction setRenameFunction(RenameFunction fn)
{
    RenameFunction previous = g_rename;
    g_rename = fn ? fn : &::rename;
    return previous;
}

SyncFunction setSyncFunction(SyncFunction fn)
{
    SyncFunction previous = g_fsync;
    g_fsync = fn ? fn : &::fsync;
    return previous;
}

bool File::open(const QString& path, int flags)
{
    close();
    m_errno = 0;
    if (path.isEmpty()) {
        m_errno = EINVAL;
        return false;
    }
    const QByteArray native = QFile::encodeName(path);
    // Non-blocking so that a FIFO given as the path cannot hang the open.
    int fd;
    do {
        fd = ::open(native.constData(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_errno = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        m_errno = errno;
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        m_errno = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
        ::close(fd);
        return false;
    }
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0)
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    m_fd = fd;
    m_size = st.st_size;
    m_mode = st.st_mode;
    m_uid = st.st_uid;
    m_gid = st.st_gid;
    return true;
}

bool File::openRead(const QString& path) { return open(path, O_RDONLY); }
bool File::openReadWrite(const QString& path) { return open(path, O_RDWR); }

void File::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

qint64 File::readUpTo(qint64 offset, char* data, qint64 n)
{
    qint64 done = 0;
    while (done < n) {
        const ssize_t r = ::pread(m_fd, data + done, size_t(n - done), off_t(offset + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            m_errno = errno;
            return -1;
        }
        if (r == 0)
            break;
        done += r;
    }
    return done;
}

bool File::readAt(qint64 offset, char* data, qint64 n)
{
    const qint64 r = readUpTo(offset, data, n);
    if (r < 0)
        return false;
    if (r < n) {
        m_errno = EIO;
        return false;
    }
    return true;
}

bool File::writeAt(qint64 offset, const char* data, qint64 n)
{
    if (!writeAll(m_fd, offset, data, n)) {
        m_errno = errno;
        return false;
    }
    if (offset + n > m_size)
        m_size = offset + n;
    return true;
}

bool File::truncate(qint64 length)
{
    if (::ftruncate(m_fd, off_t(length)) != 0) {
        m_errno = errno;
        return false;
    }
    m_size = length;
    return true;
}

bool File::sync()
{
    if (g_fsync(m_fd) != 0) {
        m_errno = errno;
        return false;
    }
    return true;
}

int replaceWithNewHead(File& original, const QString& path, const QByteArray& head, qint64 keepFrom)
{
    // Write beside the real file, so that the rename stays inside one file
    // system and a link given as the path keeps pointing at the new content.
    QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        target = QFileInfo(path).absoluteFilePath();
    const QFileInfo targetInfo(target);
    QByteArray tmpl =
        QFile::encodeName(targetInfo.absolutePath() + QStringLiteral("/.") + targetInfo.fileName() + QStringLiteral(".kvtag-XXXXXX"));
    const int tfd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (tfd < 0)
        return errno;

    int err = 0;
    auto fail = [&](int e) {
        err = e ? e : EIO;
        ::close(tfd);
        ::unlink(tmpl.constData());
        return err;
    };

    // The original's owner (where allowed) and permissions.
    if (::fchown(tfd, original.owner(), original.group()) != 0) {
        // Only the group may be ours to give; the owner stays the writer.
        (void)::fchown(tfd, uid_t(-1), original.group());
    }
    if (::fchmod(tfd, original.mode() & 07777) != 0)
        return fail(errno);

    if (!writeAll(tfd, 0, head.constData(), head.size()))
        return fail(errno);
    qint64 out = head.size();
    std::vector<char> buffer(1 << 20);
    for (qint64 in = keepFrom; in < original.size();) {
        const qint64 want = std::min<qint64>(qint64(buffer.size()), original.size() - in);
        const qint64 got = original.readUpTo(in, buffer.data(), want);
        if (got < 0)
            return fail(original.error());
        if (got == 0)
            break;
        if (!writeAll(tfd, out, buffer.data(), got))
            return fail(errno);
        in += got;
        out += got;
    }
    if (g_fsync(tfd) != 0)
        return fail(errno);
    if (::close(tfd) != 0) {
        err = errno;
        ::unlink(tmpl.constData());
        return err ? err : EIO;
    }
    errno = 0;
    if (g_rename(tmpl.constData(), QFile::encodeName(target).constData()) != 0) {
        err = errno ? errno : EIO;
        ::unlink(tmpl.constData());
        return err;
    }
    // Make the rename itself durable.
    const int dfd = ::open(QFile::encodeName(targetInfo.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        (void)::fsync(dfd);
        ::close(dfd);
    }
    original.close();
    return 0;
}

} // namespace tagio
