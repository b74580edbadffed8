#include "tests/cdtools/CddbTestServer.h"

#include <QTcpSocket>

CddbTestServer::CddbTestServer(Mode mode, QObject* parent) : QObject(parent), m_mode(mode)
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = m_server.nextPendingConnection())
            serve(s);
    });
}

QByteArray CddbTestServer::entry(const QString& discid) const
{
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

void CddbTestServer::serve(QTcpSocket* socket)
{
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
                case OneMatch:
                    socket->write("200 rock " + id + " Ann Artist / Night Album\r\n");
                    break;
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
                case Silent:
                    break;
                }
            } else if (cmd == "cddb read") {
                if (w.value(2) == "rock")
                    socket->write("210 rock " + w.value(3).toUtf8() +
                                  " CD database entry follows (until terminating `.')\r\n" + entry(w.value(3)));
                else
                    socket->write("401 " + w.value(2).toUtf8() + " " + w.value(3).toUtf8() + " No such CD entry in database.\r\n");
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
