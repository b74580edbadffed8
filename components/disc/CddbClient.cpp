#include "components/disc/CddbClient.h"

#include <QHash>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace cddb {

namespace {

int digitSum(int n)
{
    int s = 0;
    for (; n > 0; n /= 10)
        s += n % 10;
    return s;
}

// CDDB escapes in values: \n, \t and \\.
QString unescape(const QString& s)
{
    if (!s.contains('\\'))
        return s;
    QString out;
    out.reserve(s.size());
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const QChar c = s[i + 1];
            if (c == 'n' || c == 't' || c == '\\') {
                out += c == 'n' ? QChar('\n') : c == 't' ? QChar('\t') : QChar('\\');
                ++i;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// A name shown on one line: line breaks and tabs become blanks, other
// control characters go.
QString oneLine(const QString& s)
{
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u == '\t' || u == '\n' || u == '\r')
            out += QChar(' ');
        else if (u >= 0x20 && u != 0x7F && !(u >= 0x80 && u <= 0x9F))
            out += c;
    }
    return out.trimmed();
}

// "Artist / Title": the artist and the rest; no separator gives no artist.
bool splitArtist(const QString& s, QString* artist, QString* rest)
{
    const int at = s.indexOf(QLatin1String(" / "));
    if (at < 0)
        return false;
    *artist = s.left(at).trimmed();
    *rest = s.mid(at + 3).trimmed();
    return true;
}

// A disc artist that names no one artist but many: "Various", "Various
// Artists", in any letter case.
bool namesVariousArtists(const QString& artist)
{
    const QString a = artist.simplified();
    return a.compare(QLatin1String("Various"), Qt::CaseInsensitive) == 0
        || a.compare(QLatin1String("Various Artists"), Qt::CaseInsensitive) == 0;
}

} // namespace

quint32 discId(const std::vector<int>& offsets, int discSeconds)
{
    int n = 0;
    for (int o : offsets)
        n += digitSum(o / 75);
    const int first = offsets.empty() ? 0 : offsets.front() / 75;
    const quint32 t = quint32(qMax(0, discSeconds - first));
    return (quint32(n % 0xff) << 24) | (t << 8) | quint32(offsets.size() & 0xff);
}

QString decodeText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString s = utf8.decode(bytes);
    if (!utf8.hasError())
        return s;
    return QString::fromLatin1(bytes);
}

Entry parseEntry(const QList<QByteArray>& lines, int trackCount)
{
    // Every fragment of a key in order: a long value comes in several lines.
    QHash<QByteArray, QList<QByteArray>> values;
    for (const QByteArray& line : lines) {
        if (line.startsWith('#'))
            continue;
        const int eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        values[line.left(eq).trimmed().toUpper()] << line.mid(eq + 1);
    }
    auto value = [&](const QByteArray& key) {
        const QList<QByteArray> parts = values.value(key);
        if (parts.isEmpty())
            return QString();
        // Joined first, so a character cut between two lines stays whole; a
        // server that mixes encodings is decoded line by line.
        const QByteArray joined = parts.join();
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString s = utf8.decode(joined);
        if (utf8.hasError()) {
            s.clear();
            for (const QByteArray& p : parts)
                s += decodeText(p);
        }
        return oneLine(unescape(s));
    };

    Entry e;
    const QString dtitle = value("DTITLE");
    if (!splitArtist(dtitle, &e.artist, &e.album))
        e.artist = e.album = dtitle;
    e.year = value("DYEAR");
    e.genre = value("DGENRE");
    e.tracks.resize(size_t(qMax(0, trackCount)));
    struct Split {
        QString title, artist, rest;
        bool named = false; // "Artist / Title" with both parts
    };
    std::vector<Split> titles(e.tracks.size());
    bool everyTitleNamed = true;
    for (size_t i = 0; i < titles.size(); ++i) {
        Split& t = titles[i];
        t.title = value("TTITLE" + QByteArray::number(qulonglong(i)));
        t.named = splitArtist(t.title, &t.artist, &t.rest) && !t.artist.isEmpty() && !t.rest.isEmpty();
        if (!t.title.isEmpty() && !t.named)
            everyTitleNamed = false;
    }
    // The " / " of a track title is an artist's only on a compilation: a disc
    // of various artists, or one whose every titled track names its own. On
    // any other disc it is part of the title ("Intro / Overture").
    const bool ownArtists = namesVariousArtists(e.artist) || everyTitleNamed;
    for (size_t i = 0; i < titles.size(); ++i) {
        const Split& t = titles[i];
        const bool split = ownArtists && t.named;
        e.tracks[i].artist = split ? t.artist : e.artist;
        e.tracks[i].title = split ? t.rest : t.title;
    }
    return e;
}

CancelHandle::CancelHandle() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CancelHandle::~CancelHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void CancelHandle::cancel()
{
    m_cancelled = true;
    if (m_fd >= 0) {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
    }
}

Connection::Connection(const CancelHandle& cancel, QDeadlineTimer deadline, Limits limits)
    : m_cancel(cancel), m_deadline(deadline), m_limits(limits)
{
}

Connection::~Connection()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Connection::Status Connection::wait(short events, QString* why)
{
    for (;;) {
        if (m_cancel.cancelled())
            return Cancelled;
        const qint64 left = m_deadline.remainingTime();
        if (left == 0) {
            *why = QStringLiteral("did not answer in time");
            return TimedOut;
        }
        pollfd fds[2] = {{m_fd, events, 0}, {m_cancel.fd(), POLLIN, 0}};
        const int n = ::poll(fds, m_cancel.fd() >= 0 ? 2 : 1, left < 0 ? 1000 : int(qMin<qint64>(left, 1000)));
        if (n < 0 && errno != EINTR) {
            *why = QString::fromLocal8Bit(std::strerror(errno));
            return Failed;
        }
        if (m_cancel.cancelled())
            return Cancelled;
        if (n > 0 && fds[0].revents)
            return Ok;
    }
}

Connection::Status Connection::connectTo(const QString& host, int port, QString* why)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.toUtf8().constData(), QByteArray::number(port).constData(), &hints, &found);
    if (m_cancel.cancelled()) {
        if (found)
            ::freeaddrinfo(found);
        return Cancelled;
    }
    if (rc != 0 || !found) {
        *why = "cannot be reached: " + QString::fromLocal8Bit(::gai_strerror(rc));
        return Failed;
    }
    QString last = QStringLiteral("no address");
    Status status = Failed;
    for (addrinfo* a = found; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            last = QString::fromLocal8Bit(std::strerror(errno));
            continue;
        }
        m_fd = fd;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
            status = Ok;
            break;
        }
        if (errno == EINPROGRESS) {
            status = wait(POLLOUT, why);
            if (status == Ok) {
                int err = 0;
                socklen_t len = sizeof err;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0)
                    break;
                last = QString::fromLocal8Bit(std::strerror(err ? err : errno));
                status = Failed;
            } else if (status != Failed) {
                break; // out of time, or cancelled
            } else {
                last = *why;
            }
        } else {
            last = QString::fromLocal8Bit(std::strerror(errno));
        }
        ::close(fd);
        m_fd = -1;
    }
    ::freeaddrinfo(found);
    if (status == Failed)
        *why = "cannot be reached: " + last;
    return status;
}

Connection::Status Connection::sendLine(const QByteArray& line, QString* why)
{
    const QByteArray data = line + "\r\n";
    qsizetype sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(m_fd, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (const Status s = wait(POLLOUT, why); s != Ok)
                return s;
            continue;
        }
        *why = "closed the connection: " + QString::fromLocal8Bit(std::strerror(errno));
        return Failed;
    }
    return Ok;
}

Connection::Status Connection::readLine(QByteArray* line, QString* why)
{
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n');
        if (end >= 0) {
            if (end > m_limits.maxLineBytes)
                break;
            *line = m_buffer.left(end);
            if (line->endsWith('\r'))
                line->chop(1);
            m_buffer.remove(0, end + 1);
            return Ok;
        }
        if (m_buffer.size() > m_limits.maxLineBytes)
            break;
        if (const Status s = wait(POLLIN, why); s != Ok)
            return s;
        char chunk[16384];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (n <= 0) {
            *why = n == 0 ? QStringLiteral("closed the connection")
                          : "closed the connection: " + QString::fromLocal8Bit(std::strerror(errno));
            return Failed;
        }
        m_readTotal += n;
        if (m_readTotal > m_limits.maxReplyBytes) {
            *why = QStringLiteral("sent more than %1 KB").arg(m_limits.maxReplyBytes / 1024);
            return Failed;
        }
        m_buffer.append(chunk, n);
    }
    *why = QStringLiteral("sent a line longer than %1 KB").arg(m_limits.maxLineBytes / 1024);
    return Failed;
}

} // namespace cddb
