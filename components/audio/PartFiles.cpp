#include "components/audio/PartFiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvaudio {
namespace {

// The names our jobs give their partial files, and nothing else.
bool isPartFileName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.kv(?:[0-9a-f]{16}\\.part|ape-[A-Za-z0-9]{6})$"));
    return pattern.match(name).hasMatch();
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

} // namespace

bool LockAsPartFile(int fd)
{
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

int RemoveDeadPartFiles(const QString& dir)
{
    int removed = 0;
    const QStringList names = QDir(dir).entryList({QStringLiteral(".kv*")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        if (!isPartFileName(name))
            continue;
        const QByteArray path = QFile::encodeName(QDir(dir).filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
        if (fd < 0)
            continue;
        struct stat held {}, named {};
        // A writer holds its lock until its file is renamed or removed: one
        // that can be had belongs to nobody. The name must still be that file.
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::lstat(path.constData(), &named) == 0 && sameFile(held, named) && ::unlink(path.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

bool PartFile::create(const QString& dir)
{
    release();
    RemoveDeadPartFiles(dir);
    for (int i = 0; i < 100; ++i) {
        const QString p = QDir(dir).filePath(
            QStringLiteral(".kv%1.part").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
        const QByteArray name = QFile::encodeName(p);
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        // Another job's sweep may have taken the file for dead before it was
        // locked, and removed it: then another name.
        struct stat held {}, named {};
        if (LockAsPartFile(fd) && ::fstat(fd, &held) == 0 && ::lstat(name.constData(), &named) == 0
            && sameFile(held, named)) {
            m_path = p;
            m_fd = fd;
            return true;
        }
        ::close(fd);
    }
    return false;
}

void PartFile::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

} // namespace kvaudio
