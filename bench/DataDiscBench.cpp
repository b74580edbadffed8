// Making the data disc image of 200 MB of MP3 items (the copy-only data CD
// maker's burn) on a stdio: writer, against
// `xorriso -as mkisofs -J -o OUT.iso FOLDER` on the same files in the same
// run. Both write an ISO 9660 + Joliet image of the folder's files into a
// file. Ours runs in this process (the burner component's worker, libisofs'
// image thread and libburn's write thread); xorriso pays a process start.
// Prints the medians of 5 alternating runs and the ratio (ours / xorriso);
// the budget is 1.2. For the whole copy-only job it also prints what copying
// the items into the temporary folder adds (the job's file copy, on this
// thread), which the peer has no counterpart for.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

#include "bench/BenchAudio.h"
#include "components/cAudioDataBurner.h"
#include "core/FileCopy.h"

namespace {

bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(-1);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Our burn of every file in `folder` onto the stdio writer `target`.
double burnOurs(const QStringList& files, const QString& target)
{
    QFile::remove(target);
    cAudioDataBurner burner;
    burner.DriveCount();
    for (const QString& f : files)
        burner.AddDiscFile(f);
    burner.setVolumeLabel("Bench");
    bool ended = false, ok = false;
    QObject::connect(&burner, &cAudioDataBurner::BurnFinished, [&] { ended = ok = true; });
    QObject::connect(&burner, &cAudioDataBurner::BurnStopped, [&](long, const QString& text) {
        std::fprintf(stderr, "burn stopped: %s\n", qPrintable(text));
        ended = true;
    });
    QElapsedTimer t;
    t.start();
    burner.BurnToDrive("Z", 65535);
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double s = t.nsecsElapsed() / 1e9;
    return ok ? s : -1;
}

double burnXorriso(const QString& folder, const QString& out)
{
    QFile::remove(out);
    QElapsedTimer t;
    t.start();
    if (!run("xorriso", {"-as", "mkisofs", "-quiet", "-J", "-o", out, folder}))
        return -1;
    return t.nsecsElapsed() / 1e9;
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

    // One real 5-minute MP3 at 320 kbit/s (about 12 MB), copied to 200 MB.
    const QString first = folder + "/track01.mp3";
    if (!run("ffmpeg", {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                        "sine=f=440:d=300", "-ac", "2", "-c:a", "libmp3lame", "-b:a", "320k", first})) {
        std::printf("ffmpeg could not make the MP3 item\n");
        return 1;
    }
    QStringList files{first};
    qint64 total = QFile(first).size();
    for (int i = 2; total < 200LL * 1000 * 1000; ++i) {
        const QString copy = folder + QString::asprintf("/track%02d.mp3", i);
        QFile::copy(first, copy);
        files << copy;
        total += QFile(copy).size();
    }
    std::printf("items: %lld files, %.1f MB\n", static_cast<long long>(files.size()), total / 1e6);

    const QString ourTarget = dir.filePath("ours.iso");
    const QString peerTarget = dir.filePath("xorriso.iso");
    qputenv("KELVANE_DATA_WRITERS", ourTarget.toLocal8Bit());

    std::vector<double> ours, peer;
    for (int round = 0; round < 5; ++round) {
        const double p = burnXorriso(folder, peerTarget);
        const double o = burnOurs(files, ourTarget);
        if (o < 0 || p < 0) {
            std::printf("a run failed\n");
            return 1;
        }
        ours.push_back(o);
        peer.push_back(p);
    }
    // The copy-only job's preparation: every item copied into a folder.
    std::vector<double> copies;
    const QString temp = dir.filePath("datacdtmp");
    for (int round = 0; round < 3; ++round) {
        QDir(temp).removeRecursively();
        QDir().mkpath(temp);
        QElapsedTimer t;
        t.start();
        for (const QString& f : files) {
            FileCopyClass copier;
            copier.setCacheSize(1 << 20);
            copier.Copy(f, temp + "/" + QFileInfo(f).fileName());
        }
        copies.push_back(t.nsecsElapsed() / 1e9);
    }

    const double mo = bench::median(ours), mp = bench::median(peer);
    std::printf("image sizes: ours %.1f MB, xorriso %.1f MB\n", QFile(ourTarget).size() / 1e6,
                QFile(peerTarget).size() / 1e6);
    std::printf("ours (in process, worker + image + write threads): %.3f s median of 5\n", mo);
    std::printf("xorriso -as mkisofs -J -o (process start included):  %.3f s median of 5\n", mp);
    std::printf("ratio ours / xorriso: %.2f (budget 1.2)\n", mo / mp);
    std::printf("copy-only preparation (copying the items, 1 MB chunks): %.3f s median of 3; whole job %.3f s\n",
                bench::median(copies), bench::median(copies) + mo);
    return mo / mp <= 1.2 ? 0 : 2;
}
