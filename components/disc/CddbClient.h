#pragma once
// The CDDB protocol spoken over a plain TCP socket on a worker thread, with one
// deadline for the whole exchange and caps on what a server may send, and a
// cancel handle that wakes a blocked wait at once. Kept apart from cFreeDB so
// the entry parsing can be tested on its own.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QString>
#include <atomic>
#include <vector>

namespace cddb {

// What one exchange may read before the server is taken for a broken one.
struct Limits {
    int maxLineBytes = 64 * 1024;
    qint64 maxReplyBytes = 4 * 1024 * 1024; // everything read in one lookup
    int maxMatches = 1000;
};

// The disc id of a table of contents: track start offsets in frames (the two
// seconds before track 1 included) and the disc's length in seconds.
quint32 discId(const std::vector<int>& offsets, int discSeconds);

struct Entry {
    QString artist, album, genre, year;
    struct Track {
        QString artist; // the disc's artist, unless a compilation's title names its own ("Artist / Title")
        QString title;
    };
    std::vector<Track> tracks; // track n is tracks[n - 1]; a track without a title has an empty one
};

// A text of the server: UTF-8, or Latin-1 when the bytes are no valid UTF-8.
QString decodeText(const QByteArray& bytes);

// The entry lines as read (no line ends, no terminating "."). A value spread
// over several lines with the same key is joined whole; trackCount tracks
// are reported whether or not the entry names them all. A track title is
// split at " / " into artist and title only on a compilation: a disc artist
// "Various" or "Various Artists", or every titled track so written.
Entry parseEntry(const QList<QByteArray>& lines, int trackCount);

// Wakes the socket waits of one lookup from another thread.
class CancelHandle {
public:
    CancelHandle();
    ~CancelHandle();
    CancelHandle(const CancelHandle&) = delete;
    CancelHandle& operator=(const CancelHandle&) = delete;
    void cancel();
    bool cancelled() const { return m_cancelled.load(); }
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
    std::atomic<bool> m_cancelled{false};
};

// One connection. Each call fails with a text naming the reason; Status says
// whether the reason was the deadline, a cancel or anything else.
class Connection {
public:
    enum Status { Ok, Failed, TimedOut, Cancelled };

    Connection(const CancelHandle& cancel, QDeadlineTimer deadline, Limits limits = {});
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Status connectTo(const QString& host, int port, QString* why);
    Status sendLine(const QByteArray& line, QString* why);
    // One line without its line end.
    Status readLine(QByteArray* line, QString* why);

private:
    Status wait(short events, QString* why);

    const CancelHandle& m_cancel;
    QDeadlineTimer m_deadline;
    Limits m_limits;
    int m_fd = -1;
    QByteArray m_buffer;
    qint64 m_readTotal = 0;
};

} // namespace cddb
