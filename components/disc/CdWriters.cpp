#include "components/disc/CdWriters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>
#include <cstdint>

#include "components/audio/AudioSource.h"
#include "components/disc/cAudioBurner.h"

namespace cdwrite {

namespace {

constexpr int kBlockFrames = 4096;
// Image writers report the speeds of a common writer.
const std::vector<int> kImageSpeeds = {1764, 3528, 7056};

QString msf(qint64 sector)
{
    return QStringLiteral("%1:%2:%3")
        .arg(sector / (60 * kSectorsPerSecond), 2, 10, QLatin1Char('0'))
        .arg(sector / kSectorsPerSecond % 60, 2, 10, QLatin1Char('0'))
        .arg(sector % kSectorsPerSecond, 2, 10, QLatin1Char('0'));
}

inline int16_t toS16(float x)
{
    // The conversion FFmpeg's resampler makes, so a decode here and one by
    // the ffmpeg tool agree sample for sample.
    const long v = std::lrintf(x * 32768.0f);
    return int16_t(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
}

qint64 paddedSectors(qint64 bytes)
{
    const qint64 sectors = (bytes + kSectorBytes - 1) / kSectorBytes;
    return std::max(sectors, kMinTrackSectors);
}

Outcome fail(int code, const QString& text)
{
    return {Outcome::Error, code, text};
}

// An image writer: the bin is written beside the target under a temporary
// name, the cue after it, and both are committed only when every track is in.
Outcome burnImage(const Request& rq, const std::atomic<bool>& abort, const std::function<void(const Event&)>& post)
{
    const QString cuePath = rq.writer.source;
    const QString binPath = imageBinPath(cuePath);
    if (QFileInfo::exists(cuePath) || QFileInfo::exists(binPath))
        return fail(cAudioBurner::ErrNotBlank, QStringLiteral("The disc is not blank."));

    QSaveFile bin(binPath);
    bin.setDirectWriteFallback(false);
    if (!bin.open(QIODevice::WriteOnly))
        return fail(cAudioBurner::ErrWrite, QStringLiteral("Cannot write the disc image '%1': %2").arg(binPath, bin.errorString()));

    std::vector<qint64> starts;
    qint64 written = 0; // sectors
    const int count = int(rq.files.size());
    QString why;
    static const QByteArray silence(kSectorBytes * kSectorsPerSecond, '\0');
    for (int t = 1; t <= count; ++t) {
        post({Event::WritingTrack});
        starts.push_back(written);
        qint64 trackBytes = 0;
        bool tooBig = false;
        const qint64 bytes = decodeToCdPcm(
            rq.files[t - 1],
            [&](const char* data, qint64 n) {
                if ((written * kSectorBytes + trackBytes + n) > rq.capacitySectors * kSectorBytes) {
                    tooBig = true;
                    return false;
                }
                if (bin.write(data, n) != n)
                    return false;
                trackBytes += n;
                return true;
            },
            [&](int percent) { post({Event::TrackProgress, percent, t}); }, abort, &why);
        if (abort)
            return Outcome{Outcome::Aborted, 0, QString()};
        if (tooBig)
            return fail(cAudioBurner::ErrTooBig, QString());
        if (bytes < 0)
            return fail(cAudioBurner::ErrDecode, why);
        if (bin.error() != QFileDevice::NoError)
            return fail(cAudioBurner::ErrWrite, QStringLiteral("Cannot write the disc image '%1': %2").arg(binPath, bin.errorString()));
        qint64 pad = paddedSectors(trackBytes) * kSectorBytes - trackBytes;
        if (written + paddedSectors(trackBytes) > rq.capacitySectors)
            return fail(cAudioBurner::ErrTooBig, QString());
        while (pad > 0) {
            const qint64 n = std::min<qint64>(pad, silence.size());
            if (bin.write(silence.constData(), n) != n)
                return fail(cAudioBurner::ErrWrite, QStringLiteral("Cannot write the disc image '%1': %2").arg(binPath, bin.errorString()));
            pad -= n;
        }
        written += paddedSectors(trackBytes);
        post({Event::TrackProgress, 100, t});
        post({Event::ClosingTrack, 0, t});
    }

    post({Event::ClosingSession});
    QByteArray cue = "FILE \"" + QFileInfo(binPath).fileName().toUtf8() + "\" BINARY\r\n";
    for (int t = 1; t <= count; ++t) {
        cue += QStringLiteral("  TRACK %1 AUDIO\r\n").arg(t, 2, 10, QLatin1Char('0')).toLatin1();
        cue += "    INDEX 01 " + msf(starts[size_t(t - 1)]).toLatin1() + "\r\n";
    }
    QSaveFile cueFile(cuePath);
    cueFile.setDirectWriteFallback(false);
    if (abort)
        return Outcome{Outcome::Aborted, 0, QString()};
    if (!cueFile.open(QIODevice::WriteOnly) || cueFile.write(cue) != cue.size())
        return fail(cAudioBurner::ErrWrite, QStringLiteral("Cannot write the disc image '%1': %2").arg(cuePath, cueFile.errorString()));
    if (!bin.commit())
        return fail(cAudioBurner::ErrWrite, QStringLiteral("Cannot write the disc image '%1': %2").arg(binPath, bin.errorString()));
    if (!cueFile.commit()) {
        // Half a pair would read as a used disc that holds nothing.
        QFile::remove(binPath);
        return fail(cAudioBurner::ErrWrite, QStringLiteral("Cannot write the disc image '%1': %2").arg(cuePath, cueFile.errorString()));
    }
    post({Event::CurrentProgress, 100, 0});
    return Outcome{Outcome::Done, 0, QString()};
}

} // namespace

QString imageBinPath(const QString& cuePath)
{
    const QFileInfo fi(cuePath);
    return fi.absoluteDir().filePath(fi.completeBaseName() + QStringLiteral(".bin"));
}

std::vector<Writer> enumerateWriters()
{
    static const std::vector<drive::Found> drives = drive::scan();
    std::vector<Writer> out;
    char letter = 'D';
    for (const drive::Found& d : drives) {
        if (letter > 'V')
            break;
        out.push_back({Writer::Drive, QStringLiteral("%1: %2").arg(QChar(letter)).arg(d.title), d.address});
        ++letter;
    }
    const char lastDriveLetter = char(letter - 1);
    char imageLetter = 'W';
    for (const QString& path : qEnvironmentVariable("KELVANE_CD_WRITERS").split(':', Qt::SkipEmptyParts)) {
        if (imageLetter <= lastDriveLetter)
            break;
        const QString abs = QFileInfo(path.trimmed()).absoluteFilePath();
        out.push_back({Writer::Image, QStringLiteral("%1: %2").arg(QChar(imageLetter)).arg(QFileInfo(abs).fileName()),
                       abs});
        --imageLetter;
    }
    return out;
}

DiscStatus inspect(const Writer& writer)
{
    if (writer.kind == Writer::Drive)
        return drive::inspect(writer.source);
    DiscStatus s;
    s.speeds = kImageSpeeds;
    const QFileInfo folder(QFileInfo(writer.source).absolutePath());
    if (!folder.isDir() || !folder.isWritable()) {
        s.state = QStringLiteral("No disc in the drive.");
        return s;
    }
    if (QFileInfo::exists(writer.source) || QFileInfo::exists(imageBinPath(writer.source))) {
        s.state = QStringLiteral("The disc is not blank.");
        return s;
    }
    s.sectors = 80LL * 60 * kSectorsPerSecond;
    return s;
}

void eject(const Writer& writer)
{
    if (writer.kind == Writer::Drive)
        drive::eject(writer.source);
}

void closeTray(const Writer& writer)
{
    if (writer.kind == Writer::Drive)
        drive::closeTray(writer.source);
}

qint64 decodeToCdPcm(const QString& path, const std::function<bool(const char*, qint64)>& sink,
                     const std::function<void(int)>& progress, const std::atomic<bool>& abort, QString* why)
{
    kvaudio::AudioSource src;
    if (src.open(path, why) != kvaudio::SourceOk)
        return -1;
    src.setOutputFormat(44100, 2);
    const qint64 expected = qMax<qint64>(1, src.info().durationMs * 44100 / 1000);
    std::vector<float> in(size_t(kBlockFrames) * 2);
    std::vector<int16_t> out(size_t(kBlockFrames) * 2);
    qint64 frames = 0;
    int lastPercent = -1;
    while (!abort) {
        const int n = src.read(in.data(), kBlockFrames, why);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        for (int i = 0; i < n * 2; ++i)
            out[size_t(i)] = toS16(in[size_t(i)]);
        if (!sink(reinterpret_cast<const char*>(out.data()), qint64(n) * 4)) {
            if (why && why->isEmpty())
                *why = QStringLiteral("The audio could not be written.");
            return -1;
        }
        frames += n;
        const int percent = int(std::min<qint64>(99, frames * 100 / expected));
        if (percent != lastPercent) {
            lastPercent = percent;
            progress(percent);
        }
    }
    return frames * 4;
}

bool probeItem(const QString& path, qint64* estimatedSectors)
{
    kvaudio::AudioSource src;
    if (src.open(path) != kvaudio::SourceOk)
        return false;
    src.setOutputFormat(44100, 2);
    // One block must decode: a file whose header reads well but whose audio
    // does not is refused here, not halfway through the burn.
    std::vector<float> block(size_t(kBlockFrames) * 2);
    QString why;
    if (src.read(block.data(), kBlockFrames, &why) <= 0)
        return false;
    *estimatedSectors = paddedSectors(src.info().durationMs * 44100 / 1000 * 4);
    return true;
}

namespace {
RequestWatch& requestWatch()
{
    static RequestWatch w;
    return w;
}
} // namespace

RequestWatch setRequestWatch(RequestWatch watch)
{
    RequestWatch old = std::move(requestWatch());
    requestWatch() = std::move(watch);
    return old;
}

Outcome burn(const Request& request, const std::atomic<bool>& abort, const std::function<void(const Event&)>& post)
{
    if (requestWatch())
        requestWatch()(request);
    if (request.writer.kind == Writer::Drive)
        return drive::burn(request, abort, post);
    return burnImage(request, abort, post);
}

} // namespace cdwrite
