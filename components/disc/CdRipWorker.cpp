#include "components/disc/CdRipWorker.h"

#include <QFileInfo>

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <memory>

namespace cdrip {

namespace {

constexpr int kFramesPerSector = CDIO_CD_FRAMESIZE_RAW / 4; // 2352 bytes: 588 stereo frames of 16 bits
constexpr int kCdRate = 44100;
constexpr int kCdChannels = 2;
constexpr int kSectorsPerSecond = CDIO_CD_FRAMES_PER_SEC;
constexpr int kReadRetries = 20;

using Err = cAudioCDRipper::ErrorCode;

Result fail(int code, const QString& text)
{
    Result r;
    r.outcome = Result::Error;
    r.code = code;
    r.text = text;
    return r;
}

// Paranoia's callback has no user pointer; each worker thread counts its own.
thread_local int t_skips = 0;
void paranoiaCallback(long, paranoia_cb_mode_t mode)
{
    if (mode == PARANOIA_CB_SKIP)
        ++t_skips;
}

bool sameFile(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

} // namespace

Result run(const Request& rq, const std::atomic<bool>& abort, const std::function<void(int)>& progress)
{
    if (!rq.deviceValid)
        return fail(Err::ErrNoDevice, QStringLiteral("There is no CD device with this number."));

    QString why;
    auto opened = cddrives::OpenedDisc::open(rq.device, &why);
    if (!opened)
        return fail(Err::ErrNoDisc, why);
    const cddrives::Disc& disc = opened->disc();
    if (rq.track < 1 || rq.track > int(disc.tracks.size()))
        return fail(Err::ErrNoTrack, QStringLiteral("The disc has no track %1.").arg(rq.track));
    const cddrives::Track& track = disc.tracks[rq.track - 1];
    if (!track.audio)
        return fail(Err::ErrNoTrack, QStringLiteral("Track %1 is a data track.").arg(rq.track));

    int first = track.firstSector;
    int last = track.lastSector;
    if (rq.hasRange) {
        if (rq.rangeStart < 0 || rq.rangeLength == 0 || rq.rangeLength < -1
            || qint64(rq.rangeStart) * kSectorsPerSecond > last - first)
            return fail(Err::ErrBadRange, QStringLiteral("The range lies outside track %1.").arg(rq.track));
        first += rq.rangeStart * kSectorsPerSecond;
        if (rq.rangeLength > 0)
            last = int(qMin<qint64>(last, first + qint64(rq.rangeLength) * kSectorsPerSecond - 1));
    }

    const QString target = rq.outputFile;
    for (const QString& src : opened->sourceFiles())
        if (sameFile(src, target))
            return fail(Err::ErrOwnInput, QStringLiteral("The output '%1' is the disc image being read.").arg(target));

    auto output = std::make_shared<kvaudio::AudioEncoder>();
    if (!output->open(target, rq.settings, kCdRate, kCdChannels))
        return fail(output->errorCode(), output->errorText());

    cdrom_drive_t* drive = cdio_cddap_identify_cdio(opened->cdio(), CDDA_MESSAGE_FORGETIT, nullptr);
    if (!drive)
        return fail(Err::ErrRead, QStringLiteral("The disc cannot be read as audio."));
    // Drives deliver CD audio little-endian; paranoia would otherwise guess the
    // byte order from the samples, which a quiet or synthetic track can fool.
    drive->bigendianp = 0;
    if (cdio_cddap_open(drive) != 0) {
        cdio_cddap_close_no_free_cdio(drive);
        return fail(Err::ErrRead, QStringLiteral("The disc cannot be read as audio."));
    }
    cdrom_paranoia_t* par = cdio_paranoia_init(drive);
    cdio_paranoia_modeset(par, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    cdio_paranoia_seek(par, first, SEEK_SET);
    auto closeReader = [&] {
        cdio_paranoia_free(par);
        cdio_cddap_close_no_free_cdio(drive);
    };

    t_skips = 0;
    const qint64 total = qint64(last) - first + 1;
    int lastPercent = -1;
    for (int s = first; s <= last; ++s) {
        if (abort.load()) {
            closeReader();
            Result r;
            r.outcome = Result::Aborted;
            return r;
        }
        const int16_t* samples = cdio_paranoia_read_limited(par, paranoiaCallback, kReadRetries);
        if (!samples || t_skips > 0) {
            closeReader();
            const int at = s - track.firstSector;
            return fail(Err::ErrRead, QStringLiteral("Read error in track %1 at %2:%3.")
                                                  .arg(rq.track)
                                                  .arg(at / kSectorsPerSecond / 60, 2, 10, QChar('0'))
                                                  .arg(at / kSectorsPerSecond % 60, 2, 10, QChar('0')));
        }
        if (!output->writeS16(samples, kFramesPerSector)) {
            closeReader();
            return fail(output->errorCode(), output->errorText());
        }
        const int percent = int((qint64(s) - first + 1) * 100 / total);
        if (percent > lastPercent && percent > 0) {
            lastPercent = percent;
            progress(percent);
        }
    }
    closeReader();
    if (!output->finish())
        return fail(output->errorCode(), output->errorText());

    Result r;
    r.outcome = Result::Done;
    r.output = std::move(output);
    return r;
}

} // namespace cdrip
