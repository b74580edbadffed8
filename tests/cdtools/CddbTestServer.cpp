#include "tests/cdtools/CddbTestServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

CddbTestServer::CddbTestServer(Mode mode, QObject* parent) : QObject(parent), m_mode(mode)
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = m_server.nextPendingConnection()) {
            ++connections;
            serve(s);
        }
    });
}

QByteArray CddbTestServer::entry(const QString& discid) const
{
    if (!entryBody.isEmpty())
        return entryBody + ".\r\n";
    QByteArray e = "# xmcd\r\n#\r\n# Track frame offsets:\r\n#\t150\r\n#\r\n# Disc length: 10 seconds\r\n#\r\n"
                   "# Revision: 3\r\n# Submitted via: test 1.0\r\n#\r\n";
    e += "DISCID=" + discid.toUtf8() + "\r\n";
    e += "DTITLE=" + (artist.isEmpty() && album.isEmpty() ? QByteArray() : artist.toUtf8() + " / " + album.toUtf8()) +
         "\r\n";
    e += "DYEAR=2001\r\nDGENRE=Test\r\n";
    for (int i = 0; i < titles.size(); ++i)
        e += "TTITLE" + QByteArray::number(i) + "=" + titles[i].toUtf8() + "\r\n";
    e += "EXTD=\r\n";
    for (int i = 0; i < titles.size(); ++i)
        e += "EXTT" + QByteArray::number(i) + "=\r\n";
    e += "PLAYORDER=\r\n.\r\n";
    return e;
}

void CddbTestServer::stream(QTcpSocket* socket, std::function<QByteArray()> next, int intervalMs)
{
    QPointer<QTcpSocket> s(socket);
    auto send = [this, s, next] {
        if (!s || s->state() != QAbstractSocket::ConnectedState)
            return false;
        const QByteArray chunk = next();
        if (chunk.isEmpty())
            return false;
        bytesSent += chunk.size();
        s->write(chunk);
        return true;
    };
    if (intervalMs > 0) {
        auto* timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [timer, send] {
            if (!send())
                timer->stop();
        });
        timer->start(intervalMs);
        return;
    }
    // As fast as the client takes it, never much more than it took.
    auto refill = [s, send] {
        while (s && s->bytesToWrite() < 256 * 1024)
            if (!send())
                return;
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, refill);
    refill();
}

void CddbTestServer::serve(QTcpSocket* socket)
{
    connect(socket, &QTcpSocket::disconnected, this, [this] { ++closedConnections; });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    if (m_mode == Silent)
        return;
    socket->write("201 test CDDBP server v1.5PL0 ready at Thu Dec 10 00:00:00 2026\r\n");
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        while (socket->canReadLine()) {
            const QString line = QString::fromUtf8(socket->readLine()).trimmed();
            commands << line;
            const QStringList w = line.split(' ', Qt::SkipEmptyParts);
            const QString cmd = w.value(0).toLower() + ' ' + w.value(1).toLower();
            if (cmd == "cddb hello") {
                socket->write("200 Hello and welcome " + w.value(2).toUtf8() + "@" + w.value(3).toUtf8() + ".\r\n");
            } else if (w.value(0).toLower() == "proto") {
                socket->write("201 OK, CDDB protocol level now: " + w.value(1).toUtf8() + "\r\n");
            } else if (cmd == "cddb query") {
                const QByteArray id = w.value(2).toUtf8();
                switch (m_mode) {
                case ThreeMatches:
                    socket->write("210 Found exact matches, list follows (until terminating `.')\r\n"
                                  "rock " + id + " Ann Artist / Night Album\r\n"
                                  "jazz " + id + " Other / Disc\r\n"
                                  "misc " + id + " Third / Disc\r\n.\r\n");
                    break;
                case NoMatch:
                    socket->write("202 No match found\r\n");
                    break;
                case CloseAtQuery:
                    socket->disconnectFromHost();
                    return;
                case Garbage:
                    socket->write("hello there, this is no reply\r\n");
                    break;
                case MillionMatches:
                case ManyMatches: {
                    socket->write("211 Found inexact matches, list follows (until terminating `.')\r\n");
                    const int total = m_mode == ManyMatches ? matchCount : 1000000;
                    auto n = std::make_shared<int>(0);
                    stream(socket, [n, id, total] {
                        QByteArray chunk;
                        for (int i = 0; i < 1000 && *n < total; ++i, ++*n)
                            chunk += "rock " + id + " Artist " + QByteArray::number(*n) + " / Album\r\n";
                        if (*n == total && chunk.isEmpty()) {
                            ++*n;
                            return QByteArray(".\r\n");
                        }
                        return chunk;
                    });
                    break;
                }
                case EndlessLine:
                    socket->write("200 rock " + id + " ");
                    stream(socket, [] { return QByteArray(64 * 1024, 'x'); });
                    break;
                default:
                    socket->write("200 rock " + id + " Ann Artist / Night Album\r\n");
                    break;
                }
            } else if (cmd == "cddb read") {
                if (w.value(2) != "rock") {
                    socket->write("401 " + w.value(2).toUtf8() + " " + w.value(3).toUtf8() +
                                  " No such CD entry in database.\r\n");
                    continue;
                }
                socket->write("210 rock " + w.value(3).toUtf8() + " CD database entry follows (until terminating `.')\r\n");
                if (m_mode == FloodEntry) {
                    stream(socket, [] {
                        QByteArray chunk;
                        for (int i = 0; i < 64; ++i)
                            chunk += "EXTD=" + QByteArray(1000, 'x') + "\r\n";
                        return chunk;
                    });
                } else if (m_mode == TrickleEntry) {
                    stream(socket, [] { return QByteArray("EXTD=still more\r\n"); }, 50);
                } else if (m_mode == SlowEntry) {
                    auto lines = std::make_shared<QList<QByteArray>>(entry(w.value(3)).split('\n'));
                    lines->removeLast(); // after the last line end
                    stream(socket, [lines] { return lines->isEmpty() ? QByteArray() : lines->takeFirst() + "\n"; }, 150);
                } else {
                    socket->write(entry(w.value(3)));
                }
            } else if (w.value(0).toLower() == "quit") {
                socket->write("230 test Closing connection.  Goodbye.\r\n");
                socket->disconnectFromHost();
                return;
            } else {
                socket->write("500 Unrecognized command.\r\n");
            }
        }
    });
}
