// The copy-only data CD maker's whole job on 1 GB of MP3 items, large enough
// that writing the image dominates: every item copied into the job's
// temporary folder (as the job does, 1 MB chunks, on this thread), then the
// ISO 9660 + Joliet image of those copies burned to a stdio: writer; against
// `xorriso -as mkisofs -J -o OUT.iso FOLDER` writing the image of the same
// files in the same run (it needs no copy: it reads the items where they are).
// What each side pays: ours runs in this process (the copy on this thread,
// then the burner component's worker, libisofs' image thread and libburn's
// write thread), with no process start; xorriso pays its process start.
// Wall and processor time for both; medians of 3 alternating runs; the
// budget is 1.2. Both images are read back with isoinfo and must list every
// item at its size. The goals and verdicts come last.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

#include "bench/BenchAudio.h"
#include "components/disc/cAudioDataBurner.h"
#include "core/FileCopy.h"

namespace {

bool run(const QString& program, const QStringList& args)
{
    return bench::runProcess(program, args).ok();
}

// The whole copy-only job: the items copied into `temp`, then burned onto
// the stdio writer `target`.
bench::Cost burnOurs(const QStringList& files, const QString& temp, const QString& target)
{
    QFile::remove(target);
    QDir(temp).removeRecursively();
    QDir().mkpath(temp);
    const double c0 = bench::cpuSelf();
    QElapsedTimer t;
    t.start();
    QStringList copies;
    for (const QString& f : files) {
        FileCopyClass copier;
        copier.setCacheSize(1 << 20);
        const QString copy = temp + "/" + QFileInfo(f).fileName();
        copier.Copy(f, copy);
        if (!copier.Sucessfull())
            return {};
        copies << copy;
    }
    cAudioDataBurner burner;
    burner.DriveCount();
    for (const QString& f : copies)
        burner.AddDiscFile(f);
    burner.setVolumeLabel("Bench");
    bool ended = false, ok = false;
    QObject::connect(&burner, &cAudioDataBurner::BurnFinished, [&] { ended = ok = true; });
    QObject::connect(&burner, &cAudioDataBurner::BurnStopped, [&](long, const QString& text) {
        std::fprintf(stderr, "burn stopped: %s\n", qPrintable(text));
        ended = true;
    });
    burner.BurnToDrive("Z", 65535);
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return {ok ? t.nsecsElapsed() / 1e9 : -1, bench::cpuSelf() - c0};
}

bench::Cost burnXorriso(const QString& folder, const QString& out)
{
    QFile::remove(out);
    return bench::runProcess("xorriso", {"-as", "mkisofs", "-quiet", "-J", "-o", out, folder});
}

// Every item listed in the image's Joliet tree at its size.
bool imageHolds(const QString& iso, const QStringList& files)
{
    QProcess p;
    p.start("isoinfo", {"-J", "-l", "-i", iso});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return false;
    const QString listing = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString& f : files) {
        const QString size = QString::number(QFileInfo(f).size());
        const QRegularExpression line(QStringLiteral("\\s%1\\s.*\\s%2(;1)?\\s*$")
                                          .arg(size, QRegularExpression::escape(QFileInfo(f).fileName())),
                                      QRegularExpression::MultilineOption);
        if (!line.match(listing).hasMatch())
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (QStandardPaths::findExecutable("xorriso").isEmpty() || QStandardPaths::findExecutable("ffmpeg").isEmpty()) {
        std::printf("xorriso or ffmpeg is missing (scripts/deps.sh test installs them)\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString folder = dir.filePath("items");
    QDir().mkpath(folder);

    // One real 5-minute MP3 at 320 kbit/s (about 12 MB), copied to 1 GB.
    const QString first = folder + "/track01.mp3";
    if (!run("ffmpeg", {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                        "sine=f=440:d=300", "-ac", "2", "-c:a", "libmp3lame", "-b:a", "320k", first})) {
        std::printf("ffmpeg could not make the MP3 item\n");
        return 1;
    }
    QStringList files{first};
    qint64 total = QFile(first).size();
    for (int i = 2; total < 1000LL * 1000 * 1000; ++i) {
        const QString copy = folder + QString::asprintf("/track%02d.mp3", i);
        QFile::copy(first, copy);
        files << copy;
        total += QFile(copy).size();
    }
    std::printf("items: %lld files, %.1f MB\n", static_cast<long long>(files.size()), total / 1e6);

    const QString ourTarget = dir.filePath("ours.iso");
    const QString peerTarget = dir.filePath("xorriso.iso");
    const QString temp = dir.filePath("datacdtmp");
    // A writer whose medium takes the whole image (a DVD's capacity).
    qputenv("KELVANE_DATA_WRITERS", (ourTarget + "=4482M").toLocal8Bit());

    std::vector<bench::Cost> ours, peer;
    for (int round = 0; round < 3; ++round) {
        peer.push_back(burnXorriso(folder, peerTarget));
        ours.push_back(burnOurs(files, temp, ourTarget));
        std::printf("run %d: ours %.2f s (%.2f s CPU)  xorriso %.2f s (%.2f s CPU)\n", round + 1, ours.back().wall,
                    ours.back().cpu, peer.back().wall, peer.back().cpu);
    }
    const bench::Cost mo = bench::medianCost(ours), mp = bench::medianCost(peer);
    std::printf("image sizes: ours %.1f MB, xorriso %.1f MB\n", QFile(ourTarget).size() / 1e6,
                QFile(peerTarget).size() / 1e6);
    std::printf("ours, whole job (copy on this thread, then worker + image + write threads, no process start): "
                "%.3f s, %.3f s CPU\n",
                mo.wall, mo.cpu);
    std::printf("xorriso -as mkisofs -J -o (one process, its start included): %.3f s, %.3f s CPU\n", mp.wall, mp.cpu);
    bench::Goals goals;
    const bool ran = bench::allOk(ours) && bench::allOk(peer);
    goals.judge("copy-only data disc of 1 GB, whole job, ours / xorriso wall time",
                ran ? QString::number(mo.wall / mp.wall, 'f', 2) : "a run failed", "at most 1.2",
                ran && mo.wall <= 1.2 * mp.wall);
    const bool oursRight = imageHolds(ourTarget, files), peerRight = imageHolds(peerTarget, files);
    goals.judge("images read back by isoinfo, ours / xorriso",
                QStringLiteral("%1 / %2").arg(oursRight ? "every item" : "items missing",
                                              peerRight ? "every item" : "items missing"),
                "every item at its size in both", oursRight && peerRight);
    return goals.finish();
}
