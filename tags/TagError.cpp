#include "tags/TagError.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>

#include "platform/ProgramDir.h"

namespace tagerr {

QString description(qint32 number)
{
    switch (number) {
    case InvalidProcedureCall: return QStringLiteral("Invalid procedure call or argument");
    case Overflow: return QStringLiteral("Overflow");
    case SubscriptOutOfRange: return QStringLiteral("Subscript out of range");
    case TypeMismatch: return QStringLiteral("Type mismatch");
    case BadFileNameOrNumber: return QStringLiteral("Bad file name or number");
    case FileNotFound: return QStringLiteral("File not found");
    case DeviceIOError: return QStringLiteral("Device I/O error");
    case DiskFull: return QStringLiteral("Disk full");
    case PermissionDenied: return QStringLiteral("Permission denied");
    case PathFileAccessError: return QStringLiteral("Path/File access error");
    case PathNotFound: return QStringLiteral("Path not found");
    default: return QString();
    }
}

QString source(const char* className)
{
    QString program = platform::programName();
    if (program.isEmpty())
        program = QStringLiteral("Kelvane");
    return program + QLatin1Char('.') + QLatin1String(className);
}

TagError make(qint32 number, const char* className)
{
    return TagError{number, source(className), description(number)};
}

TagError fromErrno(int err, const QString& path, const char* className)
{
    qint32 number = DeviceIOError;
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        // A missing folder is told apart from a missing file.
        number = QFileInfo(path).absoluteDir().exists() ? FileNotFound : PathNotFound;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EBUSY:
        number = PermissionDenied;
        break;
    case EISDIR:
    case ELOOP:
    case ENXIO:
    case ENODEV:
        number = PathFileAccessError;
        break;
    case ENAMETOOLONG:
    case EINVAL:
        number = BadFileNameOrNumber;
        break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        number = DiskFull;
        break;
    default:
        number = DeviceIOError;
        break;
    }
    return make(number, className);
}

TagError notValidMP3(const QString& path, const char* className)
{
    return TagError{NotValidMP3, source(className), path + QStringLiteral(" is not a valid MP3 file.")};
}

TagError fromTagWriteOpen(int err, const QString& path, const char* className)
{
    if (err == ENOENT && !path.isEmpty())
        return notValidMP3(path, className);
    return fromErrno(err, path, className);
}

} // namespace tagerr
