#pragma once
// A small CDDB-protocol server on 127.0.0.1 (a free port) for the CD database
// tests: greeting, hello, proto, query and read with a canned entry, and the
// ways a server goes wrong.
#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTcpServer>

class CddbTestServer : public QObject {
    Q_OBJECT
public:
    enum Mode {
        OneMatch,
        ThreeMatches,  // three exact matches; only the first has the entry
        NoMatch,
        CloseAtQuery,  // drops the connection when the query comes
        Silent,        // accepts and never says a word
        Garbage,       // answers the query with a line no server sends
    };
    explicit CddbTestServer(Mode mode, QObject* parent = nullptr);

    quint16 port() const { return m_server.serverPort(); }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
    // The command lines the clients sent, in order.
    QStringList commands;

    // The entry's texts (the disc's tracks are named in order).
    QString artist = QStringLiteral("Ann Artist");
    QString album = QStringLiteral("Night Album");
    QStringList titles = {QStringLiteral("First Song"), QStringLiteral("Either/Or"), QStringLiteral("Last One")};

private:
    void serve(QTcpSocket* socket);
    QByteArray entry(const QString& discid) const;

    Mode m_mode;
    QTcpServer m_server;
};
