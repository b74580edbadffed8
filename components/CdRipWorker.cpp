#include "components/CdRipWorker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace cdrip {

namespace {

constexpr int kSectorBytes = CDIO_CD_FRAMESIZE_RAW; // 2352: 588 stereo frames of 16 bits
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

// Creates an empty file beside the target under a name nobody else uses.
QString reserveTempFile(const QString& target, QString* why)
{
    const QFileInfo fi(target);
    const QString dir = fi.absolutePath();
    for (int attempt = 0; attempt < 32; ++attempt) {
        const QString name = QStringLiteral(".%1.%2.part")
                                 .arg(fi.fileName())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0'));
        const QString path = QDir(dir).filePath(name);
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) {
            *why = QString::fromLocal8Bit(std::strerror(errno));
            return {};
        }
    }
    *why = QStringLiteral("no free temporary name");
    return {};
}

bool sameFile(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

} // namespace

// The file a rip writes: CD audio as 44.1 kHz 16-bit stereo PCM WAV, under a
// temporary name beside the target until commit(). Destroying it unfinished
// or uncommitted removes the temporary file.
class RipOutput {
public:
    ~RipOutput() { discard(); }

    bool open(const QString& target, const Request& rq)
    {
        if (rq.format != 1)
            return setError(Err::ErrFormat, QStringLiteral("Output format %1 is not available.").arg(rq.format));
        const WAVSettings& w = rq.wav;
        // A zeroed record asks for nothing in particular: keep the CD's format.
        const bool cdFormat = (w.SampleRate == 0 || w.SampleRate == 44100) && (w.Channels == 0 || w.Channels == 2)
                              && (w.BitsPerSample == 0 || w.BitsPerSample == 16);
        if (!cdFormat)
            return setError(Err::ErrFormat, QStringLiteral("WAV %1 Hz, %2 channel(s), %3 bits is not available.")
                                                .arg(w.SampleRate)
                                                .arg(w.Channels)
                                                .arg(w.BitsPerSample));
        QString why;
        m_target = target;
        m_temp = reserveTempFile(target, &why);
        if (m_temp.isEmpty())
            return setError(Err::ErrOutput, QStringLiteral("Cannot write into %1: %2").arg(QFileInfo(target).absolutePath(), why));
        m_file.setFileName(m_temp);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !writeHeader(0))
            return setError(Err::ErrOutput, QStringLiteral("Cannot write %1: %2").arg(target, m_file.errorString()));
        return true;
    }

    bool writeS16(const int16_t* interleaved, int frames)
    {
        const qint64 bytes = qint64(frames) * 4;
        if (m_file.write(reinterpret_cast<const char*>(interleaved), bytes) != bytes)
            return setError(Err::ErrEncode, QStringLiteral("Cannot write %1: %2").arg(m_target, m_file.errorString()));
        m_dataBytes += bytes;
        return true;
    }

    bool finish()
    {
        if (!m_file.seek(0) || !writeHeader(m_dataBytes) || !m_file.flush())
            return setError(Err::ErrEncode, QStringLiteral("Cannot write %1: %2").arg(m_target, m_file.errorString()));
        m_file.close();
        if (m_file.error() != QFileDevice::NoError)
            return setError(Err::ErrEncode, QStringLiteral("Cannot write %1: %2").arg(m_target, m_file.errorString()));
        return true;
    }

    // Replaces a file of the target's name in one step.
    bool commit()
    {
        if (::rename(QFile::encodeName(m_temp).constData(), QFile::encodeName(m_target).constData()) != 0)
            return setError(Err::ErrOutput,
                            QStringLiteral("Cannot write %1: %2").arg(m_target, QString::fromLocal8Bit(std::strerror(errno))));
        m_temp.clear();
        return true;
    }

    void discard()
    {
        m_file.close();
        if (!m_temp.isEmpty())
            QFile::remove(m_temp);
        m_temp.clear();
    }

    int errorCode() const { return m_code; }
    QString errorText() const { return m_text; }

private:
    bool setError(int code, const QString& text)
    {
        m_code = code;
        m_text = text;
        return false;
    }

    bool writeHeader(qint64 dataBytes)
    {
        auto le32 = [](QByteArray& b, quint32 v) {
            for (int i = 0; i < 4; ++i)
                b.append(char((v >> (8 * i)) & 0xFF));
        };
        auto le16 = [](QByteArray& b, quint16 v) {
            b.append(char(v & 0xFF));
            b.append(char(v >> 8));
        };
        QByteArray h;
        h += "RIFF";
        le32(h, quint32(36 + dataBytes));
        h += "WAVEfmt ";
        le32(h, 16);
        le16(h, 1);         // PCM
        le16(h, 2);         // channels
        le32(h, 44100);     // sample rate
        le32(h, 44100 * 4); // byte rate
        le16(h, 4);         // block align
        le16(h, 16);        // bits per sample
        h += "data";
        le32(h, quint32(dataBytes));
        return m_file.write(h) == h.size();
    }

    QFile m_file;
    QString m_target, m_temp;
    qint64 m_dataBytes = 0;
    int m_code = 0;
    QString m_text;
};

bool commit(RipOutput& output)
{
    return output.commit();
}

QString errorText(const RipOutput& output)
{
    return output.errorText();
}

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
    const QFileInfo targetInfo(target);
    if (target.isEmpty() || target.endsWith('/'))
        return fail(Err::ErrOutput, QStringLiteral("No output file was given."));
    if (!QFileInfo(targetInfo.absolutePath()).isDir())
        return fail(Err::ErrOutput, QStringLiteral("The folder %1 does not exist.").arg(targetInfo.absolutePath()));
    if (targetInfo.isDir())
        return fail(Err::ErrOutput, QStringLiteral("%1 is a folder.").arg(target));
    for (const QString& src : opened->sourceFiles())
        if (sameFile(src, target))
            return fail(Err::ErrOwnInput, QStringLiteral("%1 is the disc image being read.").arg(target));

    auto output = std::make_shared<RipOutput>();
    if (!output->open(target, rq))
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
        if (!output->writeS16(samples, kSectorBytes / 4)) {
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
