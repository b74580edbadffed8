#include "core/RunOnStart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "core/Edition.h"
#include "core/TextFiles.h"
#include "platform/ProgramDir.h"

namespace {

// The Exec key's own quoting: inside double quotes `"`, "`", "$" and "\"
// take a backslash, "%" is doubled, and the key's value escapes "\" again.
QString execValue(const QString& command)
{
    QString out;
    for (QChar c : command) {
        if (c == '%')
            out += "%%";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

QString quotedProgram()
{
    QString program = platform::programDir();
    if (!program.endsWith('/'))
        program += '/';
    program += platform::programName();
    QString quoted;
    for (QChar c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted;
}

QString productName()
{
    return g_sAppName.isEmpty() ? QStringLiteral("Kelvane") : g_sAppName;
}

// The Exec value of the entry, as stored; empty when there is none.
bool storedExec(QString& exec)
{
    QFile f(RunOnStartFile());
    if (!f.open(QIODevice::ReadOnly))
        return false;
    bool inEntry = false;
    for (QByteArray raw : f.readAll().split('\n')) {
        QString line = QString::fromUtf8(raw);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith('[')) {
            inEntry = (line == "[Desktop Entry]");
            continue;
        }
        if (inEntry && line.startsWith("Exec=")) {
            exec = line.mid(5);
            return true;
        }
    }
    return false;
}

} // namespace

QString RunOnStartCommand()
{
    return "\"" + quotedProgram() + "\" -st";
}

QString RunOnStartFile()
{
    QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (config.isEmpty())
        config = QDir::homePath() + "/.config";
    return config + "/autostart/" + productName() + ".desktop";
}

long SetRunOnStart(bool bRun)
{
    const QString file = RunOnStartFile();
    if (!bRun) {
        if (!QFileInfo::exists(file))
            return 2;
        return QFile::remove(file) ? 0 : (errno ? errno : 5);
    }
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return 0;
    const QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=") + productName() +
                          "\nExec=" + execValue(RunOnStartCommand()) + "\nTerminal=false\n";
    return WriteFileAtomically(file, entry.toUtf8()) ? 1 : 0;
}

bool IsRunOnStart()
{
    QString exec;
    if (!storedExec(exec))
        return false;
    return exec == execValue(RunOnStartCommand());
}
