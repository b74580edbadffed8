#pragma once
// The CD database client: identifies the disc in a drive by its table of
// contents and asks a CDDB-protocol server for its artist, title and track
// titles. Query returns at once; the disc is read and the server asked on a
// worker thread, and the results arrive as queued events. Each Query ends
// with exactly one LookupEnded or LookupError, unless it was cancelled; a
// cancelled or replaced query raises nothing more.
//
// Several matches: the first one the server lists is read. A track the entry
// gives no title is not reported; on a compilation (a disc of "Various"
// artists, or every titled track so written) a title "Artist / Title" names
// the track's own artist, elsewhere " / " is part of the title. Texts are
// UTF-8 or, where a line is not, Latin-1, on one line without control
// characters; whoever makes a file name of one fits it there.
// The whole lookup ends by its time-out, and a server that sends more than
// an entry can hold is cut off with an error.
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

    // Whether the network the server is on can be reached: true for a server
    // on this machine, else when an interface is up with an address. Whether
    // the server answers is the lookup's to tell, naming it and the reason.
    bool IsConnected();
    // The drive whose disc the next Query looks up ("D:").
    void SelectDrive(const QString& drive) { m_drive = drive; }

    // Seconds the whole lookup may take, from Query to its end event (30
    // when not above 0).
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
    // The disc's genre, or the database's category when the entry names none.
    void GenreFound(const QString& genre);
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
