#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// One spelling for one folder: a trailing slash, "." or ".." parts, a relative
// path or a symbolic link name the same store.
QString canonicalKey(const QString& key)
{
    const QFileInfo info(key);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent)
{
    const QByteArray hash =
        QCryptographicHash::hash(canonicalKey(key).toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    m_name = folder + QStringLiteral("/kelvane-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

SingleInstance::~SingleInstance()
{
    if (m_lock >= 0)
        ::close(m_lock);
}

bool SingleInstance::wake() const
{
    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (!probe.waitForConnected(1000))
        return false;
    probe.write("show\n");
    probe.waitForBytesWritten(1000);
    probe.disconnectFromServer();
    return true;
}

bool SingleInstance::claim()
{
    // The running program holds the lock for its whole life, and the system
    // lets go of it when the program ends, however it ends: two starts at the
    // same moment cannot both get it, nor can a start that finds the running
    // program's socket file gone.
    const int lock = ::open(QFile::encodeName(m_name + QStringLiteral(".lock")).constData(),
                            O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock >= 0 && ::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        ::close(lock);
        wake();
        return false;
    }
    m_lock = lock;
    // Without a lock file the socket alone tells whether another one runs.
    if (m_lock < 0 && wake())
        return false;
    // Whatever socket file is there is a crashed run's.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name))
        return true; // no socket to be had; running beats refusing to start
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = m_server->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            emit activationRequested();
        }
    });
    return true;
}
