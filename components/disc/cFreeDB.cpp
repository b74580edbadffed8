#include "components/disc/cFreeDB.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QTimer>
#include <functional>
#include <mutex>
#include <thread>

#include "components/disc/CdDrives.h"
#include "components/disc/CddbClient.h"

namespace {

constexpr int kDefaultTimeoutSecs = 30;
// Lines of one reply: a real entry has a few hundred at most.
constexpr int kMaxReplyLines = 20000;

struct Request {
    QString drive, host, user, helloHost, client, version;
    int port = 8880;
    QDeadlineTimer deadline;
};

struct Answer {
    cddb::Entry entry;
    QString category;
};

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

// A server's line as shown in a message: decoded, on one line, not endless.
QString shown(const QByteArray& line)
{
    QString s = cddb::decodeText(line.left(200)).simplified();
    if (s.size() > 80)
        s = s.left(80) + "...";
    return s;
}

int replyCode(const QByteArray& line)
{
    if (line.size() < 3)
        return 0;
    bool ok = false;
    const int code = line.left(3).toInt(&ok);
    return ok && (line.size() == 3 || line.at(3) == ' ' || line.at(3) == '-') ? code : 0;
}

// The whole lookup, on the worker. Returns "" with the answer filled, or the
// reason it failed; a cancelled lookup returns "" with nothing filled.
QString runLookup(const Request& r, const std::function<void(const QString&)>& state,
                  const cddb::CancelHandle& cancel, Answer* answer)
{
    state("Reading the disc in " + r.drive + "...");
    cddrives::Device device;
    if (!findDevice(r.drive, &device))
        return "There is no CD drive " + r.drive + ".";
    const cddrives::Disc disc = cddrives::readDisc(device);
    // An image the program refuses says why, as the tree and the tools do.
    if (!disc.refusal.isEmpty())
        return disc.refusal;
    if (!disc.present || disc.tracks.empty())
        return "There is no disc in the drive " + r.drive + ".";
    if (!disc.hasAudio())
        return "The disc in the drive " + r.drive + " is not an Audio CD.";
    if (cancel.cancelled())
        return {};

    // Offsets count the two seconds before the first track (150 frames).
    std::vector<int> offsets;
    for (const cddrives::Track& t : disc.tracks)
        offsets.push_back(t.firstSector + 150);
    const int seconds = (disc.tracks.back().lastSector + 1 + 150) / 75;
    const QString id = QStringLiteral("%1").arg(cddb::discId(offsets, seconds), 8, 16, QLatin1Char('0'));
    QByteArray query = "cddb query " + id.toLatin1() + " " + QByteArray::number(int(offsets.size()));
    for (int o : offsets)
        query += " " + QByteArray::number(o);
    query += " " + QByteArray::number(seconds);

    const QString server = r.host + ":" + QString::number(r.port);
    const QString prefix = "The CD database server " + server + " ";
    state("Asking " + server + " about disc " + id + "...");

    cddb::Connection c(cancel, r.deadline);
    QString why;
    QByteArray line;
    // Any failed step ends the lookup; a cancel ends it without a word.
    auto failed = [&](cddb::Connection::Status s) { return s != cddb::Connection::Ok; };
    auto failure = [&](cddb::Connection::Status s) {
        return s == cddb::Connection::Cancelled ? QString() : prefix + why + ".";
    };
    auto command = [&](const QByteArray& text) {
        cddb::Connection::Status s = c.sendLine(text, &why);
        if (!failed(s))
            s = c.readLine(&line, &why);
        return s;
    };
    auto unusable = [&] { return prefix + "gave no usable answer: " + shown(line) + "."; };

    cddb::Connection::Status s = c.connectTo(r.host, r.port, &why);
    if (!failed(s))
        s = c.readLine(&line, &why);
    if (failed(s))
        return failure(s);
    if (replyCode(line) != 200 && replyCode(line) != 201)
        return prefix + "refused the connection: " + shown(line) + ".";

    s = command("cddb hello " + r.user.toUtf8() + " " + r.helloHost.toUtf8() + " " + r.client.toUtf8() + " " +
                r.version.toUtf8());
    if (failed(s))
        return failure(s);
    if (replyCode(line) != 200 && replyCode(line) != 402)
        return unusable();
    // Level 6 sends UTF-8; a server that cannot still answers in Latin-1.
    if (failed(s = command("proto 6")))
        return failure(s);

    if (failed(s = command(query)))
        return failure(s);
    QByteArray category, discid;
    int matches = 0;
    switch (replyCode(line)) {
    case 200: {
        const QList<QByteArray> w = line.split(' ');
        category = w.value(1);
        discid = w.value(2);
        matches = 1;
        break;
    }
    case 210:
    case 211:
        for (int lines = 0;; ++lines) {
            if (failed(s = c.readLine(&line, &why)))
                return failure(s);
            if (line == ".")
                break;
            if (lines >= kMaxReplyLines || matches >= 1000)
                return prefix + "listed more than 1000 matches.";
            const QList<QByteArray> w = line.simplified().split(' ');
            if (w.size() < 2)
                continue;
            if (matches++ == 0) {
                category = w.value(0);
                discid = w.value(1);
            }
        }
        break;
    case 202:
        return QStringLiteral("The CD database has no entry for this disc.");
    default:
        return unusable();
    }
    if (category.isEmpty() || discid.isEmpty())
        return matches == 0 ? QStringLiteral("The CD database has no entry for this disc.") : unusable();
    state(matches == 1 ? QStringLiteral("1 match found; reading it...")
                       : QString::number(matches) + " matches found; reading the first...");

    if (failed(s = command("cddb read " + category + " " + discid)))
        return failure(s);
    if (replyCode(line) != 210)
        return unusable();
    QList<QByteArray> entry;
    for (;;) {
        if (failed(s = c.readLine(&line, &why)))
            return failure(s);
        if (line == ".")
            break;
        if (entry.size() >= kMaxReplyLines)
            return prefix + "sent an entry of more than " + QString::number(kMaxReplyLines) + " lines.";
        if (!line.isEmpty())
            entry << line;
    }
    c.sendLine("quit", &why); // the answer is in; how the server takes leave does not matter

    answer->category = cddb::decodeText(category);
    answer->entry = cddb::parseEntry(entry, int(disc.tracks.size()));
    bool named = !answer->entry.artist.isEmpty() || !answer->entry.album.isEmpty();
    for (const cddb::Entry::Track& t : answer->entry.tracks)
        named = named || !t.title.isEmpty();
    if (!named)
        return QStringLiteral("The CD database's entry for this disc holds no names.");
    return {};
}

} // namespace

struct cFreeDB::Lookup {
    std::mutex mutex;
    cFreeDB* owner = nullptr; // null once cancelled or released
    cddb::CancelHandle cancel;

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
    // Lets go of the lookup and wakes its worker out of any wait on the server.
    void detach()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            owner = nullptr;
        }
        cancel.cancel();
    }
};

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

cFreeDB::cFreeDB(QObject* parent) : QObject(parent) {}

cFreeDB::~cFreeDB()
{
    CancelQuery();
}

bool cFreeDB::IsConnected()
{
    if (m_server.isEmpty() || m_port < 1 || m_port > 65535)
        return false;
    // A server on this machine needs no network; any other needs an interface
    // that is up and has an address beyond the loop-back. Whether the server
    // itself answers is the lookup's to find out and tell.
    const QHostAddress address(m_server);
    if (address.isLoopback() || m_server.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
            (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& e : i.addressEntries())
            if (!e.ip().isLoopback() && !e.ip().isLinkLocal())
                return true;
    }
    return false;
}

void cFreeDB::Query()
{
    CancelQuery();
    auto lookup = std::make_shared<Lookup>();
    lookup->owner = this;
    m_lookup = lookup;

    const int timeoutMs = (m_timeout > 0 ? m_timeout : kDefaultTimeoutSecs) * 1000;
    Request r;
    r.drive = m_drive;
    r.host = m_server;
    r.port = m_port;
    r.deadline = QDeadlineTimer(timeoutMs);
    r.user = m_helloUser.isEmpty() ? QStringLiteral("user") : m_helloUser;
    r.helloHost = m_helloHost.isEmpty() ? QStringLiteral("localhost") : m_helloHost;
    r.client = m_helloClient.isEmpty() ? QStringLiteral("Kelvane") : m_helloClient;
    r.version = m_helloVersion.isEmpty() ? QStringLiteral("1.0") : m_helloVersion;
    // CDDB words are blank-separated: a blank inside one would shift the rest.
    for (QString* w : {&r.user, &r.helloHost, &r.client, &r.version})
        w->replace(' ', '_');

    // The worker keeps to the deadline in every wait on the server; this ends
    // the lookup on time even when it is stuck elsewhere (a name look-up).
    const QString server = m_server + ":" + QString::number(m_port);
    QTimer::singleShot(timeoutMs + 500, this, [this, lookup, server] {
        if (m_lookup != lookup)
            return;
        CancelQuery();
        emit LookupError(ErrLookupFailed, "The CD database server " + server + " did not answer in time.");
    });

    // Cancelled, the worker wakes at once, closes its socket and posts nothing.
    std::thread([lookup, r] {
        Answer answer;
        const QString error = runLookup(
            r, [&](const QString& s) { lookup->post(lookup, [s](cFreeDB* o) { emit o->LookupState(s); }); },
            lookup->cancel, &answer);
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
            const cddb::Entry& e = answer.entry;
            emit o->ArtistFound(e.artist);
            if (o->m_lookup)
                emit o->AlbumFound(e.album);
            if (o->m_lookup)
                emit o->GenreFound(e.genre.isEmpty() ? answer.category : e.genre);
            for (size_t i = 0; i < e.tracks.size(); ++i) {
                // A handler may have cancelled the lookup or released the component.
                if (!o->m_lookup)
                    return;
                // An entry without this track's title names nothing.
                if (!e.tracks[i].title.isEmpty())
                    emit o->TrackFound(e.tracks[i].artist, int(i + 1), e.tracks[i].title);
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
