#pragma once
// Raw file access for the tag classes: POSIX descriptors, whole reads and
// writes at an offset, and the safe replacement of a file by a rewritten copy.
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
};

// Replaces the file at path (open as `original`) with `head` followed by the
// original's bytes from offset `keepFrom` to its end. The new file is written
// beside the original in the same folder, flushed, given the original's
// permissions and renamed over it. On failure the original is untouched, no
// temporary file remains and the errno of the failing step is returned;
// 0 on success.
int replaceWithNewHead(File& original, const QString& path, const QByteArray& head, qint64 keepFrom);

// Tests make the final rename fail through this; it returns the previous function.
using RenameFunction = int (*)(const char* from, const char* to);
RenameFunction setRenameFunction(RenameFunction fn);
// Tests make the flush to disk fail through this; it returns the previous function.
using SyncFunction = int (*)(int fd);
SyncFunction setSyncFunction(SyncFunction fn);

} // namespace tagio
