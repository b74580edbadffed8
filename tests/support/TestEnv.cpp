#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "core/InstallStep.h"

namespace testenv {

QString programDir() { return tempRoot() + "/program"; }
QString registryRoot() { return tempRoot() + "/registry"; }

void installMachineKeys()
{
    CreateMachineKeys();
}

QString testDataDir()
{
    QStringList candidates;
    const QByteArray env = qgetenv("KELVANE_TESTDATA");
    if (!env.isEmpty())
        candidates << QString::fromLocal8Bit(env);
    candidates << QStringLiteral(KELVANE_SOURCE_DIR "/../shared/testdata") << QStringLiteral("/work/shared/testdata");
    for (const QString& c : candidates)
        if (QFileInfo(c + "/taglib").isDir())
            return QDir::cleanPath(c);
    return QString();
}

ScriptedMessageBoxes::ScriptedMessageBoxes()
{
    m_previous = platform::setMessageBoxHandler([this](const platform::MessageBoxRequest& r) {
        m_shown.push_back(r);
        if (m_answers.empty())
            return int(vbOK);
        const int a = m_answers.front();
        m_answers.pop_front();
        return a;
    });
}

ScriptedMessageBoxes::~ScriptedMessageBoxes() { platform::setMessageBoxHandler(std::move(m_previous)); }

QStringList ScriptedMessageBoxes::prompts() const
{
    QStringList out;
    for (const auto& r : m_shown)
        out << r.prompt;
    return out;
}

ScriptedDialogs::ScriptedDialogs()
{
    m_previous = platform::setDialogHandler([this](const platform::DialogRequest& r) {
        m_requests.push_back(r);
        if (m_answers.empty())
            return platform::DialogAnswer{};
        platform::DialogAnswer a = m_answers.front();
        m_answers.pop_front();
        return a;
    });
}

ScriptedDialogs::~ScriptedDialogs() { platform::setDialogHandler(std::move(m_previous)); }

RecordingShell::RecordingShell()
{
    m_previous = platform::setShellHandler([this](const platform::ShellRequest& r) {
        m_requests.push_back(r);
        return true;
    });
}

RecordingShell::~RecordingShell() { platform::setShellHandler(std::move(m_previous)); }

RecordingSound::RecordingSound()
{
    m_previous = platform::setSoundHandler([this](const platform::SoundRequest& r) { m_requests.push_back(r); });
}

RecordingSound::~RecordingSound() { platform::setSoundHandler(std::move(m_previous)); }

QStringList RecordingSound::played() const
{
    QStringList out;
    for (const auto& r : m_requests)
        if (r.kind == platform::SoundRequest::Play)
            out << r.file;
    return out;
}

int RecordingSound::stops() const
{
    int n = 0;
    for (const auto& r : m_requests)
        n += r.kind == platform::SoundRequest::Stop;
    return n;
}

RecordingPower::RecordingPower()
{
    m_previous = platform::setPowerService(this);
}

RecordingPower::~RecordingPower() { platform::setPowerService(m_previous); }

platform::PowerReply RecordingPower::canPowerOff()
{
    calls << "CanPowerOff";
    platform::PowerReply r;
    r.busAvailable = busAvailable;
    r.ok = busAvailable;
    r.value = canAnswer;
    if (!busAvailable)
        r.error = QStringLiteral("no system bus");
    return r;
}

platform::PowerReply RecordingPower::powerOff()
{
    calls << "PowerOff";
    ++powerOffRequests;
    platform::PowerReply r;
    r.ok = accept;
    if (!accept)
        r.error = refusal;
    return r;
}

namespace {
class RefusingPower : public platform::PowerService {
public:
    platform::PowerReply canPowerOff() override { return refuse(); }
    platform::PowerReply powerOff() override { return refuse(); }

private:
    static platform::PowerReply refuse()
    {
        platform::PowerReply r;
        r.error = QStringLiteral("tests never power off");
        return r;
    }
};
} // namespace

platform::PowerService& refusingPower()
{
    static RefusingPower p;
    return p;
}

bool runSystemPython(const QString& script, const QStringList& args, QByteArray* out, QString* why)
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFile::exists(python)) {
        *why = QStringLiteral("no /usr/bin/python3");
        return false;
    }
    QProcess p;
    p.start(python, QStringList{"-c", script} + args);
    if (!p.waitForFinished(60000)) {
        *why = QStringLiteral("python did not finish");
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *why = QString::fromLocal8Bit(p.readAllStandardError());
        return false;
    }
    if (out)
        *out = p.readAllStandardOutput();
    return true;
}

} // namespace testenv
