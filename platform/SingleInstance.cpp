#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>
#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent)
{
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    m_name = folder + QStringLiteral("/kelvane-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim()
{
    {
        QLocalSocket probe;
        probe.connectToServer(m_name);
        if (probe.waitForConnected(1000)) {
            probe.write("show\n");
            probe.waitForBytesWritten(1000);
            probe.disconnectFromServer();
            return false;
        }
    }
    // Nobody answers: whatever socket file is there is a crashed run's.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name))
        return true; // no lock to be had; running beats refusing to start
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = m_server->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            emit activationRequested();
        }
    });
    return true;
}
