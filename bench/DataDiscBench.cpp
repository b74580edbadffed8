// The copy-only data CD maker's whole job on 1 GB of MP3 items: every item
// copied into the job's temporary folder with the job's own copy, then the
// ISO 9660 + Joliet image of those copies burned by the data burner
// component to a stdio: writer; against `xorriso -as mkisofs -J -o OUT.iso
// FOLDER` writing the image of the same files in the same run (it needs no
// copy: it reads the items where they are).
// What each side pays, both timed from start to end:
// - ours runs in this process, no process start: the copies one after the
//   other (the window runs each on a worker thread while it waits), then the
//   burner component's worker, libisofs' image thread and libburn's write
//   thread; the image file is synced to the disk once at its end;
// - xorriso pays its process start; libisofs' image thread and libburn's
//   write thread; it does not sync its image.
// Before each timed run the disk is synced, untimed, so that neither side
// pays for writing back what was written before it (the items, the other
// side's image, the last copies).
// Wall and processor time for both; medians of 5 alternating runs after
// one untimed round of each; the budget is 1.2. Outside the timed part both
// images are read back: isoinfo lists each item's extent and size, and the
// bytes there must be the item's byte for byte. The goals and verdicts come
// last.
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
#include <unistd.h>
#include <vector>

#include "bench/BenchAudio.h"
#include "components/disc/cAudioDataBurner.h"
#include "core/FileCopy.h"

namespace {

bool run(const QString& program, const QStringList& args)
{
    return bench::runProcess(program, args).ok();
}

constexpr int kRounds = 5;

struct JobCost {
    bench::Cost copy, burn, whole;
};

// The whole copy-only job: the items copied into `temp`, then burned onto
// the stdio writer `target`.
JobCost burnOurs(const QStringList& files, const QString& temp, const QString& target)
{
    QFile::remove(target);
    QDir(temp).removeRecursively();
    QDir().mkpath(temp);
    JobCost cost;
    const double c0 = bench::cpuSelf();
    QElapsedTimer t;
    t.start();
    QStringList copies;
    for (const QString& f : files) {
        const QString copy = temp + "/" + QFileInfo(f).fileName();
        QString why;
        if (!CopyWholeFile(f, copy, {}, &why)) {
            std::fprintf(stderr, "copy failed: %s\n", qPrintable(why));
            return cost;
        }
        copies << copy;
    }
    const double copied = t.nsecsElapsed() / 1e9, c1 = bench::cpuSelf();
    cost.copy = {copied, c1 - c0};

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
    const double whole = t.nsecsElapsed() / 1e9, c2 = bench::cpuSelf();
    if (!ok)
        return cost;
    cost.burn = {whole - copied, c2 - c1};
    cost.whole = {whole, c2 - c0};
    return cost;
}

bench::Cost burnXorriso(const QString& folder, const QString& out)
{
    QFile::remove(out);
    return bench::runProcess("xorriso", {"-as", "mkisofs", "-quiet", "-J", "-o", out, folder});
}

// Every item listed in the image's Joliet tree at its size, and the bytes at
// its extent equal to the item's.
QString imageProblem(const QString& iso, const QStringList& files)
{
    QProcess p;
    p.start("isoinfo", {"-J", "-l", "-i", iso});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return "isoinfo cannot read it";
    const QString listing = QString::fromUtf8(p.readAllStandardOutput());
    QFile image(iso);
    if (!image.open(QIODevice::ReadOnly))
        return "it cannot be opened";
    for (const QString& f : files) {
        const QString name = QFileInfo(f).fileName();
        const QRegularExpression line(QStringLiteral("\\s(\\d+)\\s+\\w{3}\\s+\\d+\\s+\\d{4}\\s+\\[\\s*(\\d+)\\s+\\d+\\]\\s+%1(;1)?\\s*$")
                                          .arg(QRegularExpression::escape(name)),
                                      QRegularExpression::MultilineOption);
        const QRegularExpressionMatch m = line.match(listing);
        QFile item(f);
        if (!m.hasMatch() || m.captured(1).toLongLong() != item.size())
            return name + " is not listed at its size";
        if (!item.open(QIODevice::ReadOnly) || !image.seek(m.captured(2).toLongLong() * 2048))
            return name + " cannot be read";
        for (qint64 left = item.size(); left > 0;) {
            const qint64 n = std::min<qint64>(left, 4 << 20);
            if (item.read(n) != image.read(n))
                return name + " differs from the item";
            left -= n;
        }
    }
    return QString();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    for (const char* tool : {"xorriso", "ffmpeg", "isoinfo"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            std::printf("%s is missing (scripts/deps.sh test installs it)\n", tool);
            return 1;
        }
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

    std::vector<bench::Cost> ours, copies, burns, peer;
    // One round untimed first: the first writes of a fresh machine (or
    // virtual machine) fault its memory in, and would fall on one side only.
    burnXorriso(folder, peerTarget);
    burnOurs(files, temp, ourTarget);
    for (int round = 0; round < kRounds; ++round) {
        // Neither side pays for writing back what the other left unsynced.
        ::sync();
        peer.push_back(burnXorriso(folder, peerTarget));
        ::sync();
        const JobCost job = burnOurs(files, temp, ourTarget);
        ours.push_back(job.whole);
        copies.push_back(job.copy);
        burns.push_back(job.burn);
        std::printf("run %d: ours %.2f s (%.2f s CPU; copy %.2f s, burn %.2f s)  xorriso %.2f s (%.2f s CPU)\n",
                    round + 1, job.whole.wall, job.whole.cpu, job.copy.wall, job.burn.wall, peer.back().wall,
                    peer.back().cpu);
    }
    const bench::Cost mo = bench::medianCost(ours), mc = bench::medianCost(copies), mb = bench::medianCost(burns),
                      mp = bench::medianCost(peer);
    std::printf("image sizes: ours %.1f MB, xorriso %.1f MB\n", QFile(ourTarget).size() / 1e6,
                QFile(peerTarget).size() / 1e6);
    std::printf("ours, whole job (in this process, no process start; image synced at its end): %.3f s, %.3f s CPU\n",
                mo.wall, mo.cpu);
    std::printf("  of which the copies (the job's copy, one file after the other): %.3f s, %.3f s CPU\n", mc.wall,
                mc.cpu);
    std::printf("  and the burn (component worker, libisofs image thread, libburn write thread): %.3f s, %.3f s CPU\n",
                mb.wall, mb.cpu);
    std::printf("xorriso -as mkisofs -J -o (one process, its start included, image not synced): %.3f s, %.3f s CPU\n",
                mp.wall, mp.cpu);
    bench::Goals goals;
    const bool ran = bench::allOk(ours) && bench::allOk(peer);
    goals.judge("copy-only data disc of 1 GB, whole job, ours / xorriso wall time",
                ran ? QString::number(mo.wall / mp.wall, 'f', 2) : "a run failed", "at most 1.2",
                ran && mo.wall <= 1.2 * mp.wall);
    const QString oursWrong = imageProblem(ourTarget, files), peerWrong = imageProblem(peerTarget, files);
    goals.judge("images read back byte for byte, ours / xorriso",
                QStringLiteral("%1 / %2").arg(oursWrong.isEmpty() ? "every item" : oursWrong,
                                              peerWrong.isEmpty() ? "every item" : peerWrong),
                "every item at its size and with its bytes in both", oursWrong.isEmpty() && peerWrong.isEmpty());
    return goals.finish();
}
