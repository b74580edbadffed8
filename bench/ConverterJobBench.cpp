// The converter job end to end (window and component, headless) against the
// ffmpeg command line converting the same files one after another: 20
// one-minute WAV files to MP3 at 128 kbit/s.
// What each side pays, start-up counted on both: ours is timed from building
// the converter window (its form load, the rows put in, the job, until the
// window says it has ended), in this process with one encoding thread;
// ffmpeg pays its 20 process starts (their cost alone, 20 runs on 10 ms of
// silence, is printed) and encodes on one thread. Wall and processor time
// for both. Every output is decoded by ffmpeg: MP3, stereo, 44.1 kHz, one
// minute within one frame. Medians of 3 runs; the budget is 1.1; the goals
// and verdicts come last.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "audiotools/AudioTools.h"
#include "components/controls/cImageList.h"
#include "components/controls/cGrid.h"
#include "core/Edition.h"
#include "lists/ItemRow.h"
#include "settings/FormatSettings.h"
#include "toolframe/frmConverter.h"
#include "bench/BenchAudio.h"

namespace {

using bench::median;

void emptyFolder(const QString& dir)
{
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
}

// The whole job in the converter window, from building it: rows in its
// grid, MP3, Convert, until the window says the job has ended.
bench::Cost timeOurs(const QStringList& inputs, const QString& outDir)
{
    emptyFolder(outDir);
    const double c0 = bench::cpuSelf();
    QElapsedTimer t;
    t.start();
    FrmConverter* w = g_frmConverter();
    cGrid* grid = w->cGrid1;
    for (int i = 0; i < inputs.size(); ++i) {
        const int row = i + 1;
        grid->SetCell(row, grid->ColumnIndex(COL_ITEM_NAME), QFileInfo(inputs[i]).fileName());
        grid->SetCell(row, grid->ColumnIndex(COL_TIME), QStringLiteral("00:01:00"));
        grid->SetCell(row, grid->ColumnIndex(COL_FILE), inputs[i]);
        grid->SetCell(row, grid->ColumnIndex(COL_RANGE_ALL), QStringLiteral("1"));
    }
    w->txtToPath->setEditText(outDir);
    for (int i = 0; i < w->cboTargetFormat->count(); ++i)
        if (w->cboTargetFormat->itemText(i).startsWith(QLatin1String("MP3")))
            w->cboTargetFormat->setCurrentIndex(i);
    w->cboFileName->setCurrentIndex(0); // "[file_name].[dest_extension]"
    for (QCheckBox* box : {w->chkPlaySound, w->chkOpenDestFolder, w->chkTurnOffComputer, w->chkNoticeApp})
        box->setChecked(false);
    w->cmdConvert->click();
    while (!w->cmdConvert->isEnabled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    bench::Cost c{t.nsecsElapsed() / 1e9, bench::cpuSelf() - c0};
    if (w->m_lFailedRows != 0 || QDir(outDir).entryList(QDir::Files).size() != inputs.size())
        c.wall = -1;
    w->close();
    return c;
}

bench::Cost timeFfmpeg(const QStringList& inputs, const QString& outDir)
{
    emptyFolder(outDir);
    bench::Cost total{0, 0};
    for (const QString& in : inputs) {
        const bench::Cost c = bench::runFfmpeg({"-i", in, "-c:a", "libmp3lame", "-b:a", "128k", "-compression_level",
                                                "5", outDir + "/" + QFileInfo(in).completeBaseName() + ".mp3"});
        if (!c.ok())
            return {};
        total.wall += c.wall;
        total.cpu += c.cpu;
    }
    return total;
}

// Every output an MP3 of one minute, stereo, 44.1 kHz.
bool outputsRight(const QString& outDir, int count)
{
    const QStringList names = QDir(outDir).entryList({"*.mp3"}, QDir::Files);
    if (names.size() != count)
        return false;
    for (const QString& name : names) {
        const bench::Decoded d = bench::decode(outDir + "/" + name);
        if (!d.ok() || d.codec != "mp3" || d.rate != 44100 || d.channels != 2 ||
            std::llabs(d.frames - 60LL * 44100) > 1152) {
            std::printf("%s: %s %d Hz %d ch, %lld frames\n", qPrintable(name), qPrintable(d.codec), d.rate, d.channels,
                        (long long)d.frames);
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    // A program folder and settings store of the bench's own.
    qputenv("KELVANE_PROGRAM_DIR", (dir.path() + "/program").toUtf8());
    qputenv("KELVANE_REGISTRY_ROOT", (dir.path() + "/registry").toUtf8());
    QDir().mkpath(dir.path() + "/program/Main");
    QApplication app(argc, argv);
    SetAppModes();
    InstallAudioTools();
    g_lMP3Bitrate = 128;
    g_lMP3Samplerate = 44100;
    g_lMP3Mode = 1; // joint stereo, the command line's default
    g_lMP3Quality = 5;

    const int files = 20, runs = 3;
    std::printf("Writing %d one-minute 44.1 kHz stereo WAV files...\n", files);
    QStringList inputs;
    QDir().mkpath(dir.path() + "/in");
    for (int i = 0; i < files; ++i) {
        const QString path = QStringLiteral("%1/in/track%2.wav").arg(dir.path()).arg(i + 1, 2, 10, QLatin1Char('0'));
        bench::writeMusicWav(path, 60, unsigned(i + 1));
        inputs << path;
    }

    std::vector<bench::Cost> ours, ref;
    for (int r = 0; r < runs; ++r) {
        // Alternate, so that both see the same machine load.
        ours.push_back(timeOurs(inputs, dir.path() + "/ours"));
        ref.push_back(timeFfmpeg(inputs, dir.path() + "/ref"));
        std::printf("run %d: ours %.2f s  ffmpeg %.2f s\n", r + 1, ours.back().wall, ref.back().wall);
    }
    std::vector<bench::Cost> starts;
    for (int i = 0; i < 20; ++i)
        starts.push_back(bench::runFfmpeg({"-f", "lavfi", "-i", "anullsrc", "-t", "0.01", "-f", "null", "-"}));
    bench::Cost startup{0, 0};
    for (const bench::Cost& c : starts) {
        startup.wall += c.wall;
        startup.cpu += c.cpu;
    }
    const bench::Cost mo = bench::medianCost(ours), mr = bench::medianCost(ref);
    std::printf("Converter job, 20 x 1 min to MP3:\n");
    std::printf("  ours   %.2f s (%.2f s CPU): window built, one job, one encoding thread, no process start\n",
                mo.wall, mo.cpu);
    std::printf("  ffmpeg %.2f s (%.2f s CPU): 20 processes, one encoding thread each; their starts alone %.2f s "
                "(%.2f s CPU)\n",
                mr.wall, mr.cpu, startup.wall, startup.cpu);
    bench::Goals goals;
    const bool ran = bench::allOk(ours) && bench::allOk(ref);
    goals.judge("converter job, ours / ffmpeg wall time", ran ? QString::number(mo.wall / mr.wall, 'f', 3) : "a run failed",
                "at most 1.1", ran && mo.wall <= 1.1 * mr.wall);
    const bool oursRight = outputsRight(dir.path() + "/ours", files), refRight = outputsRight(dir.path() + "/ref", files);
    goals.judge("outputs decoded (MP3, 44.1 kHz stereo, 1 min +- 1 frame), ours / ffmpeg",
                QStringLiteral("%1 / %2").arg(oursRight ? "right" : "wrong", refRight ? "right" : "wrong"),
                "both right", oursRight && refRight);
    return goals.finish();
}
