#include "tags/TagFileIo.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tagio {
namespace {
RenameFunction g_rename = &::rename;
SyncFunction g_fsync = &::fsync;
} // namespace

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

int renameFile(const char* from, const char* to) { return g_rename(from, to); }

int syncFile(int fd) { return g_fsync(fd); }

void syncFolder(const QString& folder)
{
    const int dfd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        (void)::fsync(dfd);
        ::close(dfd);
    }
}

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
    m_dev = st.st_dev;
    m_ino = st.st_ino;
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

} // namespace tagio
