#include "tests/cdtools/PowerOffFixture.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QMutex>
#include <QProcess>
#include <QThread>
#include <sys/prctl.h>
#include <csignal>

#include "core/Shutdown.h"
#include "core/ToolFrameServices.h"
#include "platform/MessageBox.h"
#include "platform/Power.h"
#include "tests/support/TestEnv.h"
#include "toolframe/ToolFrameInstall.h"

namespace poweroff {

namespace {

QMutex g_callsLock;
QStringList g_calls;

void record(const QString& call)
{
    QMutexLocker lock(&g_callsLock);
    g_calls << call;
}

} // namespace

// The two methods of org.freedesktop.login1.Manager the program calls. It
// answers on a thread of its own: the program's call blocks its thread.
class LogindManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public slots:
    QString CanPowerOff()
    {
        record(QStringLiteral("CanPowerOff"));
        return QStringLiteral("yes");
    }
    void PowerOff(bool interactive)
    {
        record(QStringLiteral("PowerOff(%1)").arg(interactive ? "true" : "false"));
    }
};

namespace {

struct PrivateBus {
    QProcess daemon;
    QThread thread;
    LogindManager* manager = nullptr;
    QString problem;
};

void stopBus();

PrivateBus* startBus()
{
    auto* bus = new PrivateBus;
    const QString socket = testenv::tempRoot() + "/system_bus_socket";
    bus->daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    bus->daemon.start(QStringLiteral("dbus-daemon"),
                      {"--session", "--nofork", "--print-address=1", "--address=unix:path=" + socket});
    if (!bus->daemon.waitForStarted(10000) || !bus->daemon.waitForReadyRead(10000)) {
        bus->problem = "dbus-daemon did not start: " + bus->daemon.errorString();
        return bus;
    }
    const QString address = QString::fromLocal8Bit(bus->daemon.readLine()).trimmed();
    // Read by the program's system bus connection when it is first made.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toLocal8Bit());

    QDBusConnection conn = QDBusConnection::connectToBus(address, QStringLiteral("stand-in-logind"));
    bus->manager = new LogindManager;
    bus->manager->moveToThread(&bus->thread);
    bus->thread.start();
    if (!conn.isConnected() || !conn.registerService(QStringLiteral("org.freedesktop.login1"))
        || !conn.registerObject(QStringLiteral("/org/freedesktop/login1"), bus->manager,
                                QDBusConnection::ExportAllSlots))
        bus->problem = "the stand-in cannot serve on " + address + ": " + conn.lastError().message();
    qAddPostRoutine(stopBus);
    return bus;
}

PrivateBus* theBus()
{
    static PrivateBus* bus = startBus();
    return bus;
}

void stopBus()
{
    PrivateBus* b = theBus();
    QDBusConnection::disconnectFromBus(QStringLiteral("stand-in-logind"));
    QMetaObject::invokeMethod(b->manager, &QObject::deleteLater);
    b->thread.quit();
    b->thread.wait();
    b->daemon.kill();
    b->daemon.waitForFinished(5000);
}

platform::PowerService* g_previous = nullptr;

} // namespace

StandInLogind::StandInLogind()
{
    theBus();
    QMutexLocker lock(&g_callsLock);
    m_firstCall = int(g_calls.size());
    // The program's own service, the one that talks to the login manager.
    g_previous = platform::setPowerService(nullptr);
}

StandInLogind::~StandInLogind()
{
    platform::setPowerService(g_previous);
}

QString StandInLogind::Problem() const
{
    return theBus()->problem;
}

QStringList StandInLogind::Calls() const
{
    QMutexLocker lock(&g_callsLock);
    return g_calls.mid(m_firstCall);
}

ExitCheckingMain::ExitCheckingMain(tftest::ServiceLog* log) : tftest::FakeMain(log), m_log(log)
{
    // The program's answer to "does a tool job run?".
    InstallToolFrameServices();
}

ExitCheckingMain::~ExitCheckingMain()
{
    setToolJobQuery({});
}

bool ExitCheckingMain::ConfirmExit()
{
    if (m_log)
        m_log->events << "exit question";
    if (ToolJobRunning()) {
        if (m_log)
            m_log->events << "exit refused: a job runs";
        MsgBox(QStringLiteral("A job is still running. Stop it, or wait until it has finished, and then exit."),
               vbExclamation | vbOKOnly);
        return false;
    }
    return true;
}

bool ExitCheckingMain::ExitWithoutAsking()
{
    if (m_log)
        m_log->events << "exit";
    return true;
}

std::unique_ptr<QTimer> PressShutdownNowWhenShown(tftest::ServiceLog* log)
{
    auto poll = std::make_unique<QTimer>();
    poll->setInterval(5);
    QTimer* t = poll.get();
    QObject::connect(t, &QTimer::timeout, t, [log, t] {
        if (g_frmTurnOffLoaded() && g_frmTurnOff()->isVisible()) {
            log->events << "turnoff " + g_frmTurnOff()->lblSecToShutDown->text();
            t->stop();
            g_frmTurnOff()->cmdTurnOffNow->click();
        }
    });
    t->start();
    return poll;
}

} // namespace poweroff

#include "PowerOffFixture.moc"
