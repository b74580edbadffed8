#include "components/DataDiscBurn.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>

// libisofs declares struct burn_source at global scope; libburn defines it in
// its namespace. The two are the same layout, so the image's source is handed
// over with a cast.
#include <libisofs/libisofs.h>
#include <libburn/libburn.h>

using namespace burn;

namespace datadisc {
namespace {

// libburn's drive lists and grabs are process-wide: one caller at a time.
std::recursive_mutex& libraryLock()
{
    static std::recursive_mutex m;
    return m;
}

// The last queued message; *busy tells whether libburn refused because an
// earlier operation on the drive had not ended yet.
QString lastLibburnMessage(bool* busy = nullptr)
{
    QString text;
    int code = 0, osErrno = 0;
    char msg[BURN_MSGS_MESSAGE_LEN];
    char severity[80];
    char minSeverity[] = "SORRY";
    while (burn_msgs_obtain(minSeverity, &code, msg, &osErrno, severity) == 1) {
        text = QString::fromLocal8Bit(msg).trimmed();
        if (busy && text.contains(QLatin1String("operation is still going on")))
            *busy = true;
    }
    return text;
}

void discardLibburnMessages()
{
    int code = 0, osErrno = 0;
    char msg[BURN_MSGS_MESSAGE_LEN];
    char severity[80];
    char never[] = "NEVER";
    burn_msgs_obtain(never, &code, msg, &osErrno, severity);
}

QString isoErrorText(int err)
{
    const char* t = iso_error_to_msg(err);
    return t ? QString::fromLocal8Bit(t) : QStringLiteral("image error");
}

bool isStdio(const QString& address) { return address.startsWith(QLatin1String("stdio:")); }

QString stdioPath(const QString& address) { return address.mid(6); }

// libburn counts any regular file as a blank disc and would write over it; a
// file standing for a disc is blank only while it is missing or empty.
bool stdioFileBlank(const QString& address)
{
    const QFileInfo fi(stdioPath(address));
    return !fi.exists() || (fi.isFile() && fi.size() == 0);
}

// A grabbed drive, released (and its info freed) when it goes.
struct GrabbedDrive {
    burn_drive_info* info = nullptr;
    burn_drive* drive = nullptr;

    bool grab(const QString& address, bool load, QString* why)
    {
        QByteArray adr = address.toLocal8Bit();
        if (adr.size() >= BURN_DRIVE_ADR_LEN) {
            if (why)
                *why = QStringLiteral("The drive address is too long.");
            return false;
        }
        discardLibburnMessages();
        if (burn_drive_scan_and_grab(&info, adr.data(), load ? 1 : 0) != 1 || !info) {
            info = nullptr;
            if (why) {
                *why = lastLibburnMessage();
                if (why->isEmpty())
                    *why = QStringLiteral("The drive cannot be used.");
            }
            return false;
        }
        drive = info[0].drive;
        return true;
    }

    void release(bool eject = false)
    {
        if (drive)
            burn_drive_release(drive, eject ? 1 : 0);
        if (info)
            burn_drive_info_free(info);
        drive = nullptr;
        info = nullptr;
    }

    ~GrabbedDrive() { release(); }

    burn_disc_status discStatus() const
    {
        burn_disc_status s = burn_disc_get_status(drive);
        for (int i = 0; i < 100 && s == BURN_DISC_UNREADY; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            s = burn_disc_get_status(drive);
        }
        return s;
    }
};

} // namespace

bool LibrariesReady()
{
    static const bool ready = [] {
        if (!burn_initialize())
            return false;
        char queue[] = "SORRY", print[] = "NEVER", id[] = "libburn: ";
        burn_msgs_set_severities(queue, print, id);
        if (iso_init() < 0)
            return false;
        char iqueue[] = "NEVER", iprint[] = "NEVER", iid[] = "";
        iso_set_msgs_severities(iqueue, iprint, iid);
        return true;
    }();
    return ready;
}

std::vector<Writer> EnumerateWriters()
{
    std::vector<Writer> out;
    if (!LibrariesReady())
        return out;

    // A scan needs every drive idle, so the machine's drives are read once per run.
    static std::vector<QString> realDrives;
    static bool scanned = false;
    {
        std::lock_guard<std::recursive_mutex> lock(libraryLock());
        if (!scanned) {
            realDrives.clear();
            burn_drive_info* infos = nullptr;
            unsigned int count = 0;
            // The scan runs in the background until a call returns non-zero.
            int scanned_ = 0;
            while ((scanned_ = burn_drive_scan(&infos, &count)) == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (scanned_ > 0 && infos) {
                for (unsigned int i = 0; i < count; ++i) {
                    char adr[BURN_DRIVE_ADR_LEN] = {};
                    if (burn_drive_get_adr(&infos[i], adr) > 0)
                        realDrives.push_back(QString::fromLocal8Bit(adr));
                }
                burn_drive_info_free(infos);
            }
            scanned = true;
        }
    }

    char letter = 'D';
    for (const QString& adr : realDrives) {
        if (letter > 'Z')
            break;
        out.push_back({QStringLiteral("%1: %2").arg(QChar(letter)).arg(adr), adr, false});
        ++letter;
    }
    char pseudoLetter = 'Z';
    const QStringList files = qEnvironmentVariable("KELVANE_DATA_WRITERS").split(':', Qt::SkipEmptyParts);
    for (const QString& f : files) {
        if (pseudoLetter < letter)
            break;
        const QString abs = QFileInfo(f.trimmed()).absoluteFilePath();
        const QString adr = QStringLiteral("stdio:") + abs;
        out.push_back({QStringLiteral("%1: %2").arg(QChar(pseudoLetter)).arg(adr), adr, true});
        --pseudoLetter;
    }
    return out;
}

DriveState ProbeDrive(const QString& address)
{
    DriveState st;
    if (!LibrariesReady()) {
        st.why = QStringLiteral("The disc writing library did not start.");
        return st;
    }
    if (isStdio(address) && QFileInfo(stdioPath(address)).isDir()) {
        st.why = QStringLiteral("The target is a folder.");
        return st;
    }
    std::lock_guard<std::recursive_mutex> lock(libraryLock());
    GrabbedDrive g;
    if (!g.grab(address, true, &st.why))
        return st;
    const burn_disc_status s = g.discStatus();
    st.ready = s == BURN_DISC_BLANK || s == BURN_DISC_APPENDABLE || s == BURN_DISC_FULL;
    st.blank = s == BURN_DISC_BLANK && (!isStdio(address) || stdioFileBlank(address));
    if (!st.ready)
        st.why = s == BURN_DISC_EMPTY ? QStringLiteral("No disc in the drive.") : QStringLiteral("The disc cannot be used.");

    burn_speed_descriptor* list = nullptr;
    if (burn_drive_get_speedlist(g.drive, &list) > 0 && list) {
        for (burn_speed_descriptor* d = list; d; d = d->next) {
            if (d->write_speed > 0 && std::find(st.writeSpeedsKBs.begin(), st.writeSpeedsKBs.end(), d->write_speed) ==
                                          st.writeSpeedsKBs.end())
                st.writeSpeedsKBs.push_back(d->write_speed);
        }
        burn_drive_free_speedlist(&list);
    }
    std::sort(st.writeSpeedsKBs.begin(), st.writeSpeedsKBs.end());
    return st;
}

QString CutVolumeLabel(const QString& label)
{
    QString out;
    int bytes = 0;
    for (int i = 0; i < label.size();) {
        const int len = (label.at(i).isHighSurrogate() && i + 1 < label.size()) ? 2 : 1;
        const QString ch = label.mid(i, len);
        const int chBytes = int(ch.toUtf8().size());
        if (bytes + chBytes > 32)
            break;
        out += ch;
        bytes += chBytes;
        i += len;
    }
    return out;
}

namespace {

// Everything one burn holds, freed in reverse order of making.
struct BurnJob {
    IsoImage* image = nullptr;
    IsoWriteOpts* isoOpts = nullptr;
    burn::burn_source* imageSource = nullptr;
    burn_disc* disc = nullptr;
    burn_session* session = nullptr;
    burn_track* track = nullptr;
    burn_write_opts* writeOpts = nullptr;

    BurnJob() = default;
    BurnJob(const BurnJob&) = delete;
    BurnJob& operator=(const BurnJob&) = delete;
    ~BurnJob() { clear(); }

    void clear()
    {
        if (writeOpts)
            burn_write_opts_free(writeOpts);
        if (track)
            burn_track_free(track);
        if (session)
            burn_session_free(session);
        if (disc)
            burn_disc_free(disc);
        if (imageSource)
            burn_source_free(imageSource);
        if (isoOpts)
            iso_write_opts_free(isoOpts);
        if (image)
            iso_image_unref(image);
        image = nullptr;
        isoOpts = nullptr;
        imageSource = nullptr;
        disc = nullptr;
        session = nullptr;
        track = nullptr;
        writeOpts = nullptr;
    }

    BurnResult makeImage(const ImageLayout& layout)
    {
        const QByteArray vol = CutVolumeLabel(layout.volumeLabel).toUtf8();
        int r = iso_image_new(vol.constData(), &image);
        if (r < 0)
            return {ErrImage, isoErrorText(r)};
        iso_image_set_ignore_aclea(image, 1 | 2 | 4 | 8); // no ACLs, xattrs or inode numbers
        iso_image_set_application_id(image, layout.applicationId.toUtf8().constData());
        iso_image_set_data_preparer_id(image, layout.preparerId.toUtf8().constData());
        IsoDir* root = iso_image_get_root(image);
        for (const QString& path : layout.files) {
            const QByteArray name = QFileInfo(path).fileName().toUtf8();
            const QByteArray local = QFile::encodeName(path);
            r = iso_tree_add_new_node(image, root, name.constData(), local.constData(), nullptr);
            if (r < 0)
                return {ErrImage, QStringLiteral("Couldn't add the file ") + path + " (" + isoErrorText(r) + ")"};
        }
        r = iso_write_opts_new(&isoOpts, 0);
        if (r < 0)
            return {ErrImage, isoErrorText(r)};
        iso_write_opts_set_iso_level(isoOpts, 3); // files over 4 GiB are split into extents, not refused
        iso_write_opts_set_joliet(isoOpts, layout.joliet ? 1 : 0);
        iso_write_opts_set_joliet_long_names(isoOpts, 1);
        iso_write_opts_set_relaxed_vol_atts(isoOpts, 1); // the label keeps its letters as typed
        r = iso_image_create_burn_source(image, isoOpts, reinterpret_cast<::burn_source**>(&imageSource));
        if (r < 0)
            return {ErrImage, isoErrorText(r)};
        return {};
    }

    BurnResult compose(burn_drive* drive)
    {
        disc = burn_disc_create();
        session = burn_session_create();
        track = burn_track_create();
        if (!disc || !session || !track)
            return {ErrWrite, QStringLiteral("Out of memory.")};
        burn_disc_add_session(disc, session, BURN_POS_END);
        burn_track_define_data(track, 0, 0, 1, BURN_MODE1);
        // libisofs' own ring buffer feeds the writer; a libburn fifo of 2 KB
        // chunks in between made the burn three times slower.
        if (burn_track_set_source(track, imageSource) != BURN_SOURCE_OK)
            return {ErrWrite, QStringLiteral("The image cannot be read.")};
        burn_session_add_track(session, track, BURN_POS_END);
        writeOpts = burn_write_opts_new(drive);
        if (!writeOpts)
            return {ErrWrite, QStringLiteral("Out of memory.")};
        burn_write_opts_set_perform_opc(writeOpts, 0);
        burn_write_opts_set_multi(writeOpts, 0);
        burn_write_opts_set_underrun_proof(writeOpts, 1);
        // A file standing for a disc is synced once, at its end, not every 16 MB.
        burn_write_opts_set_stdio_fsync(writeOpts, 1);
        char reasons[BURN_REASONS_LEN] = {};
        if (burn_write_opts_auto_write_type(writeOpts, disc, reasons, 0) == BURN_WRITE_NONE)
            return {ErrWrite, QString::fromLocal8Bit(reasons).trimmed()};
        return {};
    }
};

void blankStdioTarget(const QString& address, bool existed)
{
    const QString path = stdioPath(address);
    if (!existed)
        QFile::remove(path);
    else
        QFile(path).resize(0);
}

} // namespace

BurnResult BurnImage(const QString& address, const ImageLayout& layout, int speedKBs, const std::atomic<bool>& cancel,
                     const BurnEvents& events)
{
    if (!LibrariesReady())
        return {ErrLibrary, QStringLiteral("The disc writing library did not start.")};
    if (layout.files.isEmpty())
        return {ErrNoFiles, QStringLiteral("Nothing to burn.")};
    if (isStdio(address) && QFileInfo(stdioPath(address)).isDir())
        return {ErrNoWriter, QStringLiteral("The target is a folder.")};

    GrabbedDrive g;
    {
        std::lock_guard<std::recursive_mutex> lock(libraryLock());
        QString why;
        if (!g.grab(address, true, &why))
            return {ErrNoWriter, why};
    }
    if (g.discStatus() != BURN_DISC_BLANK || (isStdio(address) && !stdioFileBlank(address)))
        return {ErrNotBlank, QStringLiteral("The disc is not empty.")};
    const bool stdio = isStdio(address);
    const bool existed = stdio && QFileInfo::exists(stdioPath(address));
    if (cancel.load())
        return {ErrCancelled, QStringLiteral("Canceled.")};

    BurnJob job;
    BurnResult r = job.makeImage(layout);
    if (r.code == Ok)
        r = job.compose(g.drive);
    if (r.code != Ok)
        return r;

    burn_drive_set_speed(g.drive, 0, (speedKBs <= 0 || speedKBs >= 65535) ? 0 : speedKBs);

    burn_progress p{};
    bool started = false, closing = false, cancelled = false;
    int lastPercent = -1;
    QString message;
    // libburn lets a finished write thread linger a moment after its drive
    // went idle, and refuses a new write on that drive meanwhile: wait it out.
    for (int attempt = 0;; ++attempt) {
        discardLibburnMessages();
        burn_disc_write(job.writeOpts, job.disc);
        burn_drive_status s;
        while ((s = burn_drive_get_status(g.drive, &p)) == BURN_DRIVE_SPAWNING)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        while (s != BURN_DRIVE_IDLE) {
            if (cancel.load() && !cancelled) {
                burn_drive_cancel(g.drive);
                cancelled = true;
            }
            if (s == BURN_DRIVE_WRITING) {
                if (!started) {
                    started = true;
                    if (events.started)
                        events.started();
                }
                const int percent =
                    p.sectors > 0 ? int(std::min<int64_t>(100, int64_t(p.sector) * 100 / p.sectors)) : 0;
                if (percent != lastPercent && events.progress) {
                    lastPercent = percent;
                    events.progress(percent);
                }
            } else if ((s == BURN_DRIVE_CLOSING_TRACK || s == BURN_DRIVE_CLOSING_SESSION) && !closing) {
                closing = true;
                if (events.closing)
                    events.closing();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            s = burn_drive_get_status(g.drive, &p);
        }
        bool busy = false;
        message = lastLibburnMessage(&busy);
        if (!busy || started || attempt >= 250 || cancel.load())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const bool wroteWell = burn_drive_wrote_well(g.drive) == 1;

    if (cancelled || cancel.load()) {
        r = {ErrCancelled, QStringLiteral("Canceled.")};
    } else if (!wroteWell) {
        r = {ErrWrite, message.isEmpty() ? QStringLiteral("The disc could not be written.") : message};
    } else {
        if (!started && events.started)
            events.started();
        if (lastPercent < 100 && events.progress)
            events.progress(100);
        if (!closing && events.closing)
            events.closing();
    }
    // libburn holds the drive until the job's objects are gone.
    job.clear();
    {
        std::lock_guard<std::recursive_mutex> lock(libraryLock());
        g.release();
    }
    if (r.code != Ok && stdio)
        blankStdioTarget(address, existed);
    return r;
}

void MoveTray(const QString& address, bool open)
{
    if (address.isEmpty() || isStdio(address) || !LibrariesReady())
        return;
    std::lock_guard<std::recursive_mutex> lock(libraryLock());
    GrabbedDrive g;
    if (!g.grab(address, !open, nullptr))
        return;
    g.release(open);
}

} // namespace datadisc
