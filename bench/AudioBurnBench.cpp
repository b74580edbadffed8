// Burning 20 one-minute MP3 items to an image writer (cue/bin) through the
// audio CD burner, against the ffmpeg command line decoding the same items to
// raw 44.1 kHz 16-bit stereo PCM in the same run.
//
// What each side pays: ours runs in this process (no process start) and
// counts AddTrack (each item opened and one block decoded to check it) plus
// the whole burn: decoding on one worker thread, writing the bin, the cue,
// and committing both. The reference is one ffmpeg process decoding all
// items through its concat demuxer into one raw file (one process start,
// ffmpeg's default threads); the budget is judged against it, as the peer
// that pays the least. One ffmpeg process per item, one after another (20
// process starts), is timed too and its ratio printed. Medians of 5 runs,
// alternated so both see the same load. Budget: ours / ffmpeg ≤ 1.2.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

#include "bench/BenchAudio.h"
#include "components/disc/cAudioBurner.h"

namespace {

using bench::median;

bool ffmpeg(const QStringList& args)
{
    QProcess p;
    p.start("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-nostdin", "-y"} + args);
    return p.waitForFinished(-1) && p.exitCode() == 0;
}

double timeOurs(const QStringList& items, const QString& cue)
{
    QFile::remove(cue);
    QFile::remove(QString(cue).replace(".cue", ".bin"));
    qputenv("KELVANE_CD_WRITERS", cue.toLocal8Bit());
    cAudioBurner burner;
    QString letter;
    for (int i = 1; i <= burner.DriveCount(); ++i)
        if (burner.DriveName(i).endsWith("out.cue"))
            letter = burner.DriveName(i).left(1);
    QElapsedTimer t;
    t.start();
    for (const QString& item : items)
        if (!burner.AddTrack(item))
            return -1;
    QString error;
    QObject::connect(&burner, &cAudioBurner::BurnError, [&](int, const QString& text) { error = text; });
    const long result = burner.BurnToDrive(letter, 65535);
    const double s = t.nsecsElapsed() / 1e9;
    if (result != 0)
        std::fprintf(stderr, "burn failed: %s\n", qPrintable(error));
    return result == 0 ? s : -1;
}

double timeFfmpegEach(const QStringList& items, const QString& outDir)
{
    QElapsedTimer t;
    t.start();
    int n = 0;
    for (const QString& item : items)
        if (!ffmpeg({"-i", item, "-f", "s16le", "-ar", "44100", "-ac", "2", QStringLiteral("%1/%2.raw").arg(outDir).arg(n++)}))
            return -1;
    return t.nsecsElapsed() / 1e9;
}

double timeFfmpegOnce(const QString& list, const QString& out)
{
    QElapsedTimer t;
    t.start();
    if (!ffmpeg({"-f", "concat", "-safe", "0", "-i", list, "-f", "s16le", "-ar", "44100", "-ac", "2", out}))
        return -1;
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const int count = 20;
    std::printf("Writing %d one-minute MP3 items (128 kbit/s, 44.1 kHz stereo)...\n", count);
    QStringList items;
    QString concat;
    for (int i = 0; i < count; ++i) {
        const QString wav = QStringLiteral("%1/src%2.wav").arg(dir.path()).arg(i);
        const QString mp3 = QStringLiteral("%1/item%2.mp3").arg(dir.path()).arg(i);
        bench::writeMusicWav(wav, 60, unsigned(i + 1));
        if (!ffmpeg({"-i", wav, "-c:a", "libmp3lame", "-b:a", "128k", mp3})) {
            std::fprintf(stderr, "ffmpeg could not make the items\n");
            return 2;
        }
        QFile::remove(wav);
        items << mp3;
        concat += "file '" + mp3 + "'\n";
    }
    const QString list = dir.path() + "/list.txt";
    {
        QFile f(list);
        f.open(QIODevice::WriteOnly);
        f.write(concat.toUtf8());
    }
    QDir().mkpath(dir.path() + "/disc");
    QDir().mkpath(dir.path() + "/raw");
    const QString cue = dir.path() + "/disc/out.cue";

    const int runs = 5;
    std::vector<double> ours, each, once;
    for (int r = 0; r < runs; ++r) {
        ours.push_back(timeOurs(items, cue));
        each.push_back(timeFfmpegEach(items, dir.path() + "/raw"));
        once.push_back(timeFfmpegOnce(list, dir.path() + "/raw/all.raw"));
        std::printf("run %d: ours %.2f s  ffmpeg per item %.2f s  ffmpeg one process %.2f s\n", r + 1, ours.back(),
                    each.back(), once.back());
    }
    const double mo = median(ours), me = median(each), m1 = median(once);
    const double ratio = mo / me, ratioOnce = mo / m1;
    const bool ok = mo > 0 && m1 > 0 && ratioOnce <= 1.2;
    std::printf("%-48s ours %.2f s  ffmpeg %.2f s  ratio %.3f\n", "20 x 1 min MP3 -> image writer vs one ffmpeg", mo,
                m1, ratioOnce);
    std::printf("%-48s ours %.2f s  ffmpeg %.2f s  ratio %.3f\n", "  against ffmpeg once per item (20 starts)", mo, me,
                ratio);
    // The disc's audio against the peer's: the bin holds 16-bit stereo at 44.1 kHz.
    const qint64 binFrames = QFileInfo(QString(cue).replace(".cue", ".bin")).size() / 4;
    const qint64 rawFrames = QFileInfo(dir.path() + "/raw/all.raw").size() / 4;
    bench::Goals goals;
    goals.judge("audio CD burn, ours / one ffmpeg process wall time", QString::number(ratioOnce, 'f', 3), "at most 1.2",
                ok);
    // Each track is padded to whole CD sectors (588 frames).
    goals.judge("frames on the disc against ffmpeg's decode", QString::number(binFrames - rawFrames),
                "within one sector (588) a track", rawFrames > 0 && std::llabs(binFrames - rawFrames) <= 588 * count);
    return goals.finish();
}
