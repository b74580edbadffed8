#pragma once
// A small CDDB-protocol server on 127.0.0.1 (a free port) for the CD database
// tests: greeting, hello, proto, query and read with a canned entry, and the
// ways a server goes wrong.
#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <functional>

class CddbTestServer : public QObject {
    Q_OBJECT
public:
    enum Mode {
        OneMatch,
        ThreeMatches,   // three exact matches; only the first has the entry
        NoMatch,
        CloseAtQuery,   // drops the connection when the query comes
        Silent,         // accepts and never says a word
        Garbage,        // answers the query with a line no server sends
        FloodEntry,     // an entry that never ends, sent as fast as it goes
        TrickleEntry,   // an entry that never ends, a line every 50 ms
        MillionMatches, // lists 1,000,000 matches
        ManyMatches,    // lists matchCount matches, the first one with the entry
        EndlessLine,    // answers the query with one line that never ends
        SlowEntry,      // the entry one line every 150 ms, then its end
    };
    explicit CddbTestServer(Mode mode, QObject* parent = nullptr);

    quint16 port() const { return m_server.serverPort(); }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
    // The command lines the clients sent, in order.
    QStringList commands;
    // Connections accepted, those that have ended (either side closing), and
    // bytes sent in all.
    int connections = 0;
    int closedConnections = 0;
    qint64 bytesSent = 0;

    // The entry's texts (the disc's tracks are named in order).
    QString artist = QStringLiteral("Ann Artist");
    QString album = QStringLiteral("Night Album");
    QStringList titles = {QStringLiteral("First Song"), QStringLiteral("Either/Or"), QStringLiteral("Last One")};
    // When set, the entry's lines as sent, bytes as they are, instead of the above.
    QByteArray entryBody;
    // The matches ManyMatches lists.
    int matchCount = 0;

private:
    void serve(QTcpSocket* socket);
    QByteArray entry(const QString& discid) const;
    // Sends what next() gives, as the socket takes it, until it gives nothing.
    void stream(QTcpSocket* socket, std::function<QByteArray()> next, int intervalMs = 0);

    Mode m_mode;
    QTcpServer m_server;
};
