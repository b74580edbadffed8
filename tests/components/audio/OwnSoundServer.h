#pragma once
// A sound server of the test's own: one null sink, reached only through its
// own socket and runtime folder. From its start on, this process talks to
// that server only (PULSE_SERVER), so a test may kill or stop it and no other.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <csignal>

#include "components/audio/SoundDevice.h"
#include "tests/components/audio/PlayerFixtures.h"

namespace playerfx {

class OwnSoundServer {
public:
    explicit OwnSoundServer(const QString& dir)
        : m_dir(dir)
    {
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        m_socket = dir + "/native";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", dir);
        env.insert("HOME", dir);
        env.remove("PULSE_SERVER");
        m_proc.setProcessEnvironment(env);
        m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_proc.setStandardOutputFile(QProcess::nullDevice());
        m_proc.start("pulseaudio", {"-n", "--daemonize=no", "--system=false", "--exit-idle-time=-1", "--disallow-exit",
                                    "--use-pid-file=no", "--log-level=0",
                                    "--load=module-null-sink sink_name=ownsink",
                                    "--load=module-native-protocol-unix auth-anonymous=1 socket=" + m_socket});
        if (!m_proc.waitForStarted(5000))
            return;
        // From here on this process reaches this server only.
        qputenv("PULSE_SERVER", ("unix:" + m_socket).toUtf8());
        m_ok = waitFor(
            [&] {
                QList<kvsound::Device> outputs;
                return kvsound::listOutputs(&outputs) && outputs.size() == 1 && outputs[0].id == "ownsink";
            },
            10000);
    }
    ~OwnSoundServer() { kill(); }
    bool ok() const { return m_ok; }
    void kill()
    {
        if (m_proc.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_proc.processId()), SIGCONT);
        m_proc.kill();
        m_proc.waitForFinished(5000);
    }
    void hang() { ::kill(pid_t(m_proc.processId()), SIGSTOP); }

private:
    QString m_dir;
    QString m_socket;
    QProcess m_proc;
    bool m_ok = false;
};

} // namespace playerfx
