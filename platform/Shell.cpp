#include "platform/Shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace platform {
namespace {
ShellHandler& handlerRef()
{
    static ShellHandler h;
    return h;
}
} // namespace

ShellHandler setShellHandler(ShellHandler handler)
{
    ShellHandler old = std::move(handlerRef());
    handlerRef() = std::move(handler);
    return old;
}

bool shellOpen(const QString& target)
{
    if (handlerRef())
        return handlerRef()({ShellRequest::Open, target, {}});
    if (target.isEmpty())
        return false;
    QUrl url;
    if (QFileInfo::exists(target) || target.startsWith('/'))
        url = QUrl::fromLocalFile(target);
    else
        url = QUrl::fromUserInput(target);
    return QDesktopServices::openUrl(url);
}

bool startProgram(const QString& program, const QStringList& arguments)
{
    if (handlerRef())
        return handlerRef()({ShellRequest::Start, program, arguments});
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments);
}

} // namespace platform
