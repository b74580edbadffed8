#include "platform/ProgramDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace platform {
namespace {
QString& overrideRef()
{
    static QString s;
    return s;
}
QString clean(QString folder)
{
    folder = QDir::cleanPath(folder);
    return folder;
}
} // namespace

void setProgramDir(const QString& folder) { overrideRef() = folder.isEmpty() ? QString() : clean(folder); }

QString programDir()
{
    if (!overrideRef().isEmpty())
        return overrideRef();
    const QByteArray env = qgetenv("KELVANE_PROGRAM_DIR");
    if (!env.isEmpty())
        return clean(QString::fromLocal8Bit(env));
    if (QCoreApplication::instance())
        return clean(QCoreApplication::applicationDirPath());
    return clean(QDir::currentPath());
}

QString programName()
{
    if (QCoreApplication::instance())
        return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return QStringLiteral("kelvane");
}

} // namespace platform
