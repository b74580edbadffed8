#pragma once
// Raw file access for the tag classes: POSIX descriptors, whole reads and
// writes at an offset. TagChange.h writes a change crash-safely through it.
#include <QByteArray>
#include <QString>
#include <sys/types.h>

namespace tagio {

class File {
public:
    File() = default;
    ~File() { close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Open an existing regular file; a FIFO or device is refused (EISDIR,
    // ENXIO ...) rather than blocked on. False with error() set on failure.
    bool openRead(const QString& path);
    bool openReadWrite(const QString& path);
    void close();

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    qint64 size() const { return m_size; }
    mode_t mode() const { return m_mode; }
    uid_t owner() const { return m_uid; }
    gid_t group() const { return m_gid; }
    dev_t device() const { return m_dev; }
    ino_t inode() const { return m_ino; }
    int error() const { return m_errno; }

    // Exactly n bytes at offset, or false (a short file counts as a failure).
    bool readAt(qint64 offset, char* data, qint64 n);
    // Up to n bytes at offset; the number read, or -1.
    qint64 readUpTo(qint64 offset, char* data, qint64 n);
    bool writeAt(qint64 offset, const char* data, qint64 n);
    bool truncate(qint64 length);
    bool sync();

private:
    bool open(const QString& path, int flags);
    int m_fd = -1;
    int m_errno = 0;
    qint64 m_size = 0;
    mode_t m_mode = 0;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    dev_t m_dev = 0;
    ino_t m_ino = 0;
};

// pwrite until all n bytes are written; false with errno set.
bool writeAll(int fd, qint64 offset, const char* data, qint64 n);
// The rename that puts a rewritten file in place and the flush of every tag
// write, through the test hooks below.
int renameFile(const char* from, const char* to);
int syncFile(int fd);
// Flushes a folder's entries (a rename or an unlink in it).
void syncFolder(const QString& folder);

// Tests make the final rename fail through this; it returns the previous function.
using RenameFunction = int (*)(const char* from, const char* to);
RenameFunction setRenameFunction(RenameFunction fn);
// Tests make the flush to disk fail through this; it returns the previous function.
using SyncFunction = int (*)(int fd);
SyncFunction setSyncFunction(SyncFunction fn);

} // namespace tagio
