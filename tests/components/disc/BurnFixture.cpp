#include "tests/components/disc/BurnFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cdio/cdio.h>

#include "components/disc/CdDrives.h"

namespace burnfixture {

namespace {

bool ffmpeg(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{"-hide_banner", "-loglevel", "error", "-y"} + args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

Item makeItem(const QString& path, double seconds, int pitch)
{
    Item item;
    const QString ext = QFileInfo(path).suffix().toLower();
    QStringList codec;
    if (ext == "wav")
        codec = {"-c:a", "pcm_s16le", "-ar", "44100", "-ac", "2"};
    else if (ext == "mp3")
        codec = {"-c:a", "libmp3lame", "-b:a", "128k", "-ar", "44100", "-ac", "2"};
    else if (ext == "wma")
        codec = {"-c:a", "wmav2", "-b:a", "128k", "-ar", "44100", "-ac", "2"};
    const QString source = QStringLiteral("sine=frequency=%1:sample_rate=44100:duration=%2").arg(pitch).arg(seconds);
    if (!ffmpeg(QStringList{"-f", "lavfi", "-i", source, "-af", "volume=0.5"} + codec + QStringList{path}))
        return item;
    const QString raw = path + ".raw";
    if (!ffmpeg({"-i", path, "-f", "s16le", "-ar", "44100", "-ac", "2", raw}))
        return item;
    QFile f(raw);
    if (!f.open(QIODevice::ReadOnly))
        return item;
    item.pcm = f.readAll();
    f.remove();
    item.path = path;
    return item;
}

QByteArray padToSectors(const QByteArray& pcm)
{
    qsizetype sectors = (pcm.size() + kSector - 1) / kSector;
    sectors = std::max<qsizetype>(sectors, 4 * 75);
    QByteArray out = pcm;
    out.append(QByteArray(sectors * kSector - pcm.size(), '\0'));
    return out;
}

ReadBack readImage(const QString& cuePath)
{
    ReadBack rb;
    cddrives::Device dev;
    dev.kind = cddrives::Device::Image;
    dev.name = "Z: " + QFileInfo(cuePath).fileName();
    dev.source = QFileInfo(cuePath).absoluteFilePath();
    auto opened = cddrives::OpenedDisc::open(dev, &rb.why);
    if (!opened)
        return rb;
    for (const cddrives::Track& t : opened->disc().tracks) {
        if (!t.audio) {
            rb.why = "a data track";
            return rb;
        }
        QByteArray audio(qsizetype(t.sectorCount()) * kSector, '\0');
        if (t.sectorCount() > 0
            && cdio_read_audio_sectors(opened->cdio(), audio.data(), t.firstSector, t.sectorCount())
                   != DRIVER_OP_SUCCESS) {
            rb.why = "unreadable sectors";
            return rb;
        }
        rb.tracks.push_back(audio);
    }
    rb.ok = true;
    return rb;
}

} // namespace burnfixture
