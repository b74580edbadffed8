#include "components/cFreeDB.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <mutex>
#include <thread>

#include <cddb/cddb.h>

#include "components/CdDrives.h"

namespace {

struct Request {
    QString drive, host, user, helloHost, client, version;
    int port = 8880;
    int timeout = 20;
};

struct Answer {
    QString artist, album;
    struct Track {
        QString artist, title;
        int number = 0;
    };
    std::vector<Track> tracks;
};

QString text(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

// The device of a drive: the last one whose name begins with it, as the
// drive nodes of the main window pick it.
bool findDevice(const QString& drive, cddrives::Device* out)
{
    bool found = false;
    for (const cddrives::Device& d : cddrives::enumerateDevices())
        if (!drive.isEmpty() && d.name.startsWith(drive)) {
            *out = d;
            found = true;
        }
    return found;
}

// libcddb's connection and disc, released on every path.
struct CddbHandles {
    cddb_conn_t* conn = nullptr;
    cddb_disc_t* disc = nullptr;
    ~CddbHandles()
    {
        if (disc)
            cddb_disc_destroy(disc);
        if (conn)
            cddb_destroy(conn);
    }
};

// libcddb reports a time-out as a failed read: a call that took the whole
// time-out is taken for one.
QString connError(cddb_conn_t* conn, const QString& server, bool timedOut)
{
    if (timedOut)
        return "The CD database server " + server + " did not answer in time.";
    const cddb_error_t e = cddb_errno(conn);
    switch (e) {
    case CDDB_ERR_UNKNOWN_HOST_NAME:
    case CDDB_ERR_CONNECT:
        return "The CD database server " + server + " cannot be reached.";
    default:
        return "The CD database server " + server + " gave no usable answer: " + text(cddb_error_str(e)) + ".";
    }
}

} // namespace

struct cFreeDB::Lookup {
    std::mutex mutex;
    cFreeDB* owner = nullptr; // null once cancelled or released

    // Runs f on the GUI thread, unless this lookup has been let go by then.
    template <class F>
    void post(const std::shared_ptr<Lookup>& self, F f)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!owner)
            return;
        QMetaObject::invokeMethod(
            owner,
            [self, f] {
                cFreeDB* o = nullptr;
                {
                    std::lock_guard<std::mutex> l(self->mutex);
                    o = self->owner;
                }
                if (o && o->m_lookup == self)
                    f(o);
            },
            Qt::QueuedConnection);
    }
    bool cancelled()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return owner == nullptr;
    }
    void detach()
    {
        std::lock_guard<std::mutex> lock(mutex);
        owner = nullptr;
    }
};

namespace {

// The whole lookup, on the worker. Returns "" with the answer filled, or the
// reason it failed.
QString runLookup(const Request& r, const std::function<void(const QString&)>& state,
                  const std::function<bool()>& cancelled, Answer* answer)
{
    state("Reading the disc in " + r.drive + "...");
    cddrives::Device device;
    if (!findDevice(r.drive, &device))
        return "There is no CD drive " + r.drive + ".";
    const cddrives::Disc disc = cddrives::readDisc(device);
    if (!disc.present || disc.tracks.empty())
        return "There is no disc in the drive " + r.drive + ".";
    if (!disc.hasAudio())
        return "The disc in the drive " + r.drive + " is not an Audio CD.";
    if (cancelled())
        return {};

    const QString server = r.host + ":" + QString::number(r.port);
    CddbHandles h;
    h.conn = cddb_new();
    h.disc = cddb_disc_new();
    if (!h.conn || !h.disc)
        return QStringLiteral("The CD database client could not start.");
    cddb_cache_disable(h.conn);
    cddb_http_disable(h.conn);
    cddb_set_server_name(h.conn, r.host.toUtf8().constData());
    cddb_set_server_port(h.conn, r.port);
    cddb_set_timeout(h.conn, unsigned(qMax(1, r.timeout)));
    cddb_set_client(h.conn, r.client.toUtf8().constData(), r.version.toUtf8().constData());
    cddb_set_email_address(h.conn, (r.user + "@" + r.helloHost).toUtf8().constData());

    // Offsets count the two seconds before the first track (150 frames).
    for (const cddrives::Track& t : disc.tracks) {
        cddb_track_t* track = cddb_track_new();
        cddb_track_set_frame_offset(track, t.firstSector + 150);
        cddb_disc_add_track(h.disc, track);
    }
    cddb_disc_set_length(h.disc, unsigned((disc.tracks.back().lastSector + 1 + 150) / 75));
    cddb_disc_calc_discid(h.disc);

    state("Asking " + server + " about disc " +
          QStringLiteral("%1").arg(cddb_disc_get_discid(h.disc), 8, 16, QLatin1Char('0')) + "...");
    const int timeoutMs = qMax(1, r.timeout) * 1000;
    QElapsedTimer clock;
    clock.start();
    const int matches = cddb_query(h.conn, h.disc);
    if (cancelled())
        return {};
    if (matches < 0)
        return connError(h.conn, server, clock.elapsed() >= timeoutMs - 100);
    if (matches == 0)
        return QStringLiteral("The CD database has no entry for this disc.");
    state(matches == 1 ? QStringLiteral("1 match found; reading it...")
                       : QString::number(matches) + " matches found; reading the first...");
    clock.restart();
    if (cddb_read(h.conn, h.disc) != 1)
        return cancelled() ? QString() : connError(h.conn, server, clock.elapsed() >= timeoutMs - 100);

    answer->artist = text(cddb_disc_get_artist(h.disc));
    answer->album = text(cddb_disc_get_title(h.disc));
    for (cddb_track_t* t = cddb_disc_get_track_first(h.disc); t; t = cddb_disc_get_track_next(h.disc))
        answer->tracks.push_back({text(cddb_track_get_artist(t)), text(cddb_track_get_title(t)),
                                  cddb_track_get_number(t)});
    bool named = !answer->artist.isEmpty() || !answer->album.isEmpty();
    for (const Answer::Track& t : answer->tracks)
        named = named || !t.title.isEmpty();
    if (!named)
        return QStringLiteral("The CD database's entry for this disc holds no names.");
    return {};
}

} // namespace

cFreeDB::Server cFreeDB::ConfiguredServer(const QString& storedValue)
{
    QString value = storedValue.trimmed();
    const QString env = qEnvironmentVariable("KELVANE_CDDB_SERVER").trimmed();
    if (!env.isEmpty())
        value = env;
    Server s;
    s.host = DefaultServerHost();
    if (value.isEmpty())
        return s;
    const int colon = value.lastIndexOf(':');
    bool ok = false;
    const int port = colon > 0 ? value.mid(colon + 1).toInt(&ok) : 0;
    if (colon > 0 && ok && port > 0 && port < 65536) {
        s.host = value.left(colon);
        s.port = port;
    } else if (colon < 0) {
        s.host = value;
    }
    return s;
}

QString cFreeDB::DefaultServerHost()
{
    return QStringLiteral("gnudb.gnudb.org");
}

cFreeDB::cFreeDB(QObject* parent) : QObject(parent)
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { cddb_log_set_level(CDDB_LOG_NONE); });
}

cFreeDB::~cFreeDB()
{
    CancelQuery();
}

bool cFreeDB::IsConnected()
{
    if (m_server.isEmpty() || m_port < 1 || m_port > 65535)
        return false;
    QTcpSocket socket;
    QEventLoop loop;
    bool connected = false;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&socket, &QTcpSocket::connected, &loop, [&] {
        connected = true;
        loop.quit();
    });
    connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    timer.start(qMax(1, m_timeout) * 1000);
    socket.connectToHost(m_server, quint16(m_port));
    if (socket.state() != QAbstractSocket::UnconnectedState)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    socket.abort();
    return connected;
}

void cFreeDB::Query()
{
    CancelQuery();
    auto lookup = std::make_shared<Lookup>();
    lookup->owner = this;
    m_lookup = lookup;

    Request r;
    r.drive = m_drive;
    r.host = m_server;
    r.port = m_port;
    r.timeout = m_timeout;
    r.user = m_helloUser.isEmpty() ? QStringLiteral("user") : m_helloUser;
    r.helloHost = m_helloHost.isEmpty() ? QStringLiteral("localhost") : m_helloHost;
    r.client = m_helloClient;
    r.version = m_helloVersion;

    // A stuck server holds the worker until its time-out; nobody waits for it.
    std::thread([lookup, r] {
        Answer answer;
        const QString error = runLookup(
            r, [&](const QString& s) { lookup->post(lookup, [s](cFreeDB* o) { emit o->LookupState(s); }); },
            [&] { return lookup->cancelled(); }, &answer);
        if (lookup->cancelled())
            return;
        if (!error.isEmpty()) {
            lookup->post(lookup, [error](cFreeDB* o) {
                o->m_lookup.reset();
                emit o->LookupError(ErrLookupFailed, error);
            });
            return;
        }
        lookup->post(lookup, [answer](cFreeDB* o) {
            emit o->ArtistFound(answer.artist);
            if (o->m_lookup)
                emit o->AlbumFound(answer.album);
            for (const Answer::Track& t : answer.tracks) {
                // A handler may have cancelled the lookup or released the component.
                if (!o->m_lookup)
                    return;
                // An entry without this track's title names nothing.
                if (!t.title.isEmpty())
                    emit o->TrackFound(t.artist, t.number, t.title);
            }
            if (!o->m_lookup)
                return;
            o->m_lookup.reset();
            emit o->LookupEnded();
        });
    }).detach();
}

void cFreeDB::CancelQuery()
{
    if (m_lookup) {
        m_lookup->detach();
        m_lookup.reset();
    }
}
