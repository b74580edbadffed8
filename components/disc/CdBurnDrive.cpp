// The machine's CD writers through libburn. The drives are scanned once per
// run and kept; each use grabs its drive and releases it again, so nothing
// holds a drive between two calls. libburn calls are serialised.
#include <cstdint>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <mutex>
#include <thread>

// The header puts everything in namespace burn itself.
#include <libburn/libburn.h>

#include "components/disc/CdWriters.h"
#include "components/disc/cAudioBurner.h"

namespace cdwrite::drive {

namespace {

std::recursive_mutex& lock()
{
    static std::recursive_mutex m;
    return m;
}

struct Scan {
    burn::burn_drive_info* infos = nullptr;
    unsigned count = 0;
};

Scan& scanned()
{
    static Scan s = [] {
        Scan out;
        if (burn::burn_initialize() != 1)
            return out;
        char none[] = "NEVER", sorry[] = "SORRY", prefix[] = "kelvane: ";
        burn::burn_msgs_set_severities(none, sorry, prefix);
        while (burn::burn_drive_scan(&out.infos, &out.count) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return out;
    }();
    return s;
}

QString addressOf(burn::burn_drive* d)
{
    char adr[BURN_DRIVE_ADR_LEN] = {};
    if (burn::burn_drive_d_get_adr(d, adr) <= 0)
        return {};
    return QString::fromLocal8Bit(adr);
}

burn::burn_drive* driveAt(const QString& address)
{
    Scan& s = scanned();
    for (unsigned i = 0; i < s.count; ++i)
        if (addressOf(s.infos[i].drive) == address)
            return s.infos[i].drive;
    return nullptr;
}

// A drive grabbed for the length of one use.
class Grab {
public:
    Grab(const QString& address, bool load) : m_drive(driveAt(address))
    {
        if (m_drive && burn::burn_drive_grab(m_drive, load ? 1 : 0) != 1)
            m_drive = nullptr;
    }
    ~Grab()
    {
        if (m_drive)
            burn::burn_drive_release(m_drive, m_eject ? 1 : 0);
    }
    burn::burn_drive* drive() const { return m_drive; }
    void ejectOnRelease() { m_eject = true; }

private:
    burn::burn_drive* m_drive = nullptr;
    bool m_eject = false;
};

Outcome fail(int code, const QString& text)
{
    return {Outcome::Error, code, text};
}

} // namespace

std::vector<Found> scan()
{
    std::lock_guard<std::recursive_mutex> guard(lock());
    std::vector<Found> out;
    Scan& s = scanned();
    for (unsigned i = 0; i < s.count; ++i) {
        const burn::burn_drive_info& info = s.infos[i];
        // Audio needs a CD writer.
        if (!info.write_cdr && !info.write_cdrw)
            continue;
        const QString title = QStringLiteral("%1 %2").arg(QString::fromLatin1(info.vendor).trimmed(),
                                                          QString::fromLatin1(info.product).trimmed());
        out.push_back({addressOf(info.drive), title});
    }
    return out;
}

DiscStatus inspect(const QString& address)
{
    std::lock_guard<std::recursive_mutex> guard(lock());
    DiscStatus s;
    Grab g(address, false);
    if (!g.drive()) {
        s.state = QStringLiteral("The drive is busy.");
        return s;
    }
    burn::burn_speed_descriptor* list = nullptr;
    if (burn::burn_drive_get_speedlist(g.drive(), &list) > 0) {
        for (burn::burn_speed_descriptor* d = list; d; d = d->next)
            if (d->write_speed > 0 && std::find(s.speeds.begin(), s.speeds.end(), d->write_speed) == s.speeds.end())
                s.speeds.push_back(d->write_speed);
        burn::burn_drive_free_speedlist(&list);
        std::sort(s.speeds.begin(), s.speeds.end());
    }
    switch (burn::burn_disc_get_status(g.drive())) {
    case burn::BURN_DISC_BLANK:
        break;
    case burn::BURN_DISC_EMPTY:
        s.state = QStringLiteral("No disc in the drive.");
        return s;
    case burn::BURN_DISC_APPENDABLE:
    case burn::BURN_DISC_FULL:
        s.state = QStringLiteral("The disc is not blank.");
        return s;
    default:
        s.state = QStringLiteral("The disc cannot be written.");
        return s;
    }
    int start = 0, end = 0;
    if (burn::burn_drive_get_start_end_lba(g.drive(), &start, &end, 0) == 1 && end > 0)
        s.sectors = end;
    else
        s.sectors = burn::burn_disc_available_space(g.drive(), nullptr) / 2048;
    return s;
}

void eject(const QString& address)
{
    std::lock_guard<std::recursive_mutex> guard(lock());
    Grab g(address, false);
    g.ejectOnRelease();
}

void closeTray(const QString& address)
{
    std::lock_guard<std::recursive_mutex> guard(lock());
    Grab g(address, true);
}

Outcome burn(const Request& rq, const std::atomic<bool>& abort, const std::function<void(const Event&)>& post)
{
    // The tracks are decoded first: a session-at-once burn needs every
    // track's size before it starts, and a steady stream while it runs.
    QTemporaryDir cache;
    if (!cache.isValid())
        return fail(cAudioBurner::ErrWrite, QStringLiteral("Cannot create a folder for the decoded tracks."));
    std::vector<QString> pcm;
    qint64 total = 0;
    const int count = int(rq.files.size());
    for (int t = 1; t <= count; ++t) {
        post({Event::CachingTrack});
        QFile f(cache.filePath(QStringLiteral("%1.pcm").arg(t)));
        if (!f.open(QIODevice::WriteOnly))
            return fail(cAudioBurner::ErrWrite, QStringLiteral("Cannot write the decoded track: %1").arg(f.errorString()));
        QString why;
        const qint64 bytes = decodeToCdPcm(
            rq.files[t - 1], [&](const char* d, qint64 n) { return f.write(d, n) == n; },
            [&](int p) { post({Event::CurrentProgress, p, 0}); }, abort, &why);
        if (abort)
            return Outcome{Outcome::Aborted, 0, QString()};
        if (bytes < 0)
            return fail(cAudioBurner::ErrDecode, why);
        const qint64 sectors = std::max((bytes + kSectorBytes - 1) / kSectorBytes, kMinTrackSectors);
        const QByteArray pad(int(sectors * kSectorBytes - bytes), '\0');
        if (f.write(pad) != pad.size() || !f.flush())
            return fail(cAudioBurner::ErrWrite, QStringLiteral("Cannot write the decoded track: %1").arg(f.errorString()));
        total += sectors;
        pcm.push_back(f.fileName());
    }
    if (total > rq.capacitySectors)
        return fail(cAudioBurner::ErrTooBig, cAudioBurner::TooBigText());

    std::lock_guard<std::recursive_mutex> guard(lock());
    Grab g(rq.writer.source, true);
    if (!g.drive())
        return fail(cAudioBurner::ErrNoDrive, QStringLiteral("The drive cannot be used."));
    if (burn::burn_disc_get_status(g.drive()) != burn::BURN_DISC_BLANK)
        return fail(cAudioBurner::ErrNotBlank, QStringLiteral("The disc is not blank."));

    burn::burn_disc* disc = burn::burn_disc_create();
    burn::burn_session* session = burn::burn_session_create();
    burn::burn_disc_add_session(disc, session, BURN_POS_END);
    std::vector<burn::burn_track*> tracks;
    std::vector<burn::burn_source*> sources;
    bool ok = true;
    for (const QString& path : pcm) {
        burn::burn_track* track = burn::burn_track_create();
        burn::burn_track_define_data(track, 0, 0, 1, BURN_AUDIO);
        burn::burn_source* src = burn::burn_file_source_new(QFile::encodeName(path).constData(), nullptr);
        if (!src || burn::burn_track_set_source(track, src) != burn::BURN_SOURCE_OK)
            ok = false;
        burn::burn_session_add_track(session, track, BURN_POS_END);
        tracks.push_back(track);
        if (src)
            sources.push_back(src);
    }
    Outcome outcome{Outcome::Done, 0, QString()};
    if (!ok) {
        outcome = fail(cAudioBurner::ErrWrite, QStringLiteral("The decoded tracks cannot be read."));
    } else {
        burn::burn_write_opts* opts = burn::burn_write_opts_new(g.drive());
        burn::burn_write_opts_set_write_type(opts, burn::BURN_WRITE_SAO, burn::BURN_BLOCK_SAO);
        burn::burn_write_opts_set_underrun_proof(opts, 1);
        burn::burn_drive_set_speed(g.drive(), 0, rq.speedKBs);
        char reasons[BURN_REASONS_LEN] = {};
        if (burn::burn_precheck_write(opts, disc, reasons, 0) <= 0) {
            outcome = fail(cAudioBurner::ErrWrite, QString::fromLocal8Bit(reasons).trimmed());
        } else {
            post({Event::WritingTrack});
            burn::burn_disc_write(opts, disc);
            burn::burn_progress p{};
            bool cancelled = false;
            int lastTrack = -1;
            burn::burn_drive_status st;
            while ((st = burn::burn_drive_get_status(g.drive(), &p)) == burn::BURN_DRIVE_SPAWNING)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            burn::burn_drive_status lastStatus = st;
            while ((st = burn::burn_drive_get_status(g.drive(), &p)) != burn::BURN_DRIVE_IDLE) {
                if (abort && !cancelled) {
                    burn::burn_drive_cancel(g.drive());
                    cancelled = true;
                }
                if (st != lastStatus) {
                    if (st == burn::BURN_DRIVE_CLOSING_TRACK)
                        post({Event::ClosingTrack, 0, p.track + 1});
                    else if (st == burn::BURN_DRIVE_CLOSING_SESSION)
                        post({Event::ClosingSession});
                    lastStatus = st;
                }
                if (p.sectors > 0 && st == burn::BURN_DRIVE_WRITING) {
                    if (p.track != lastTrack && lastTrack >= 0)
                        post({Event::WritingTrack});
                    lastTrack = p.track;
                    post({Event::TrackProgress, int(qint64(p.sector) * 100 / p.sectors), p.track + 1});
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
            }
            if (cancelled)
                outcome = Outcome{Outcome::Aborted, 0, QString()};
            else if (!burn::burn_drive_wrote_well(g.drive()))
                outcome = fail(cAudioBurner::ErrWrite, QStringLiteral("The drive reported a failed burn."));
        }
        burn::burn_write_opts_free(opts);
    }
    for (burn::burn_source* s : sources)
        burn::burn_source_free(s);
    for (burn::burn_track* t : tracks)
        burn::burn_track_free(t);
    burn::burn_session_free(session);
    burn::burn_disc_free(disc);
    return outcome;
}

} // namespace cdwrite::drive
