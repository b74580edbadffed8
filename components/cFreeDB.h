#pragma once
// The CD database client: identifies the disc in a drive by its table of
// contents and asks a CDDB-protocol server for its artist, title and track
// titles. Query returns at once; the disc is read and the server asked on a
// worker thread, and the results arrive as queued events. Each Query ends
// with exactly one LookupEnded or LookupError, unless it was cancelled; a
// cancelled or replaced query raises nothing more.
//
// Several matches: the first one the server lists is read. A track the entry
// gives no title is not reported. Texts pass as the
// server gives them; whoever makes a file name of one cleans it there.
#include <QObject>
#include <QString>
#include <memory>

class cFreeDB : public QObject {
    Q_OBJECT
public:
    // The codes of LookupError. Every error ends the lookup; the text says why.
    enum ErrorCode {
        ErrLookupFailed = 2, // no disc, no server, time-out, no match or a reply that makes no sense
    };

    // Where the server is: a stored "host:port" (or "host"), with the
    // environment's KELVANE_CDDB_SERVER over it, and a public server when
    // neither names one.
    struct Server {
        QString host;
        int port = 8880;
    };
    static Server ConfiguredServer(const QString& storedValue);
    static QString DefaultServerHost();

    explicit cFreeDB(QObject* parent = nullptr);
    ~cFreeDB() override;

    // Whether the server can be reached: a TCP connection to ServerName at
    // ServerPort within the time-out. Waits in a local event loop, so the
    // windows keep painting.
    bool IsConnected();
    // The drive whose disc the next Query looks up ("D:").
    void SelectDrive(const QString& drive) { m_drive = drive; }

    // Seconds the connection and each reply may take.
    void setTimeout(int seconds) { m_timeout = seconds; }
    int Timeout() const { return m_timeout; }
    void setServerName(const QString& host) { m_server = host; }
    QString ServerName() const { return m_server; }
    void setServerPort(int port) { m_port = port; }
    int ServerPort() const { return m_port; }
    // The greeting: user@host, client and version.
    void setHelloUser(const QString& s) { m_helloUser = s; }
    void setHelloHost(const QString& s) { m_helloHost = s; }
    void setHelloClient(const QString& s) { m_helloClient = s; }
    void setHelloVersion(const QString& s) { m_helloVersion = s; }

    void Query();
    void CancelQuery();
    void ReleaseComponent() { CancelQuery(); }

signals:
    void LookupState(const QString& text);
    void ArtistFound(const QString& artist);
    void AlbumFound(const QString& album);
    void TrackFound(const QString& artist, int track, const QString& title);
    void LookupEnded();
    void LookupError(int code, const QString& text);

private:
    struct Lookup;
    std::shared_ptr<Lookup> m_lookup; // the running query, until it ends

    QString m_drive;
    int m_timeout = 20;
    QString m_server;
    int m_port = 8880;
    QString m_helloUser, m_helloHost, m_helloClient, m_helloVersion;
};
