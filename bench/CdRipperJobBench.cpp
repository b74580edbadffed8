// The CD ripper job end to end (window and component, headless) on a
// 3-track, 15-minute cue/bin image to MP3 at 128 kbit/s, against one ffmpeg
// process encoding the same bin read as raw s16le 44.1 kHz stereo. Ours runs
// in this process (the window built before the clock, encoding on the
// component's worker thread); ffmpeg pays its process start. Wall and
// processor time for both. Prints the medians of 3 runs and the ratio
// (ours / ffmpeg); the budget is 1.1; the verdicts come last.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

#include "bench/BenchAudio.h"
#include "cdtools/frmCDRipper.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "core/Edition.h"
#include "lists/ItemRow.h"
#include "settings/FormatSettings.h"

namespace {

using bench::median;

void emptyFolder(const QString& dir)
{
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
}

// A cue/bin image of three 5-minute tracks of music-like material.
bool writeImage(const QString& dir)
{
    const QString wav = dir + "/music.wav";
    bench::writeMusicWav(wav, 15 * 60, 3);
    QFile in(wav), out(dir + "/disc.bin");
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    in.seek(44);
    while (!in.atEnd())
        out.write(in.read(1 << 20));
    out.close();
    QFile::remove(wav);
    QFile cue(dir + "/disc.cue");
    if (!cue.open(QIODevice::WriteOnly))
        return false;
    cue.write("FILE \"disc.bin\" BINARY\r\n"
              "  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
              "  TRACK 02 AUDIO\r\n    INDEX 01 05:00:00\r\n"
              "  TRACK 03 AUDIO\r\n    INDEX 01 10:00:00\r\n");
    return true;
}

bench::Cost timeOurs(const QString& outDir)
{
    emptyFolder(outDir);
    FrmCDRipper* w = g_frmCDRipper();
    cGrid* grid = w->cGrid1;
    for (int t = 1; t <= 3; ++t) {
        grid->SetCell(t, grid->ColumnIndex(COL_INC), QVariant(), cGrid::kIconCellFormat, kIconMarked);
        grid->SetCell(t, grid->ColumnIndex(COL_ITEM_NAME), QStringLiteral("Track%1.cda").arg(t, 2, 10, QLatin1Char('0')));
        grid->SetCell(t, grid->ColumnIndex(COL_TIME), QStringLiteral("00:05:00"));
        grid->SetCell(t, grid->ColumnIndex(COL_FILE), QStringLiteral("Z:/Track%1.cda").arg(t, 2, 10, QLatin1Char('0')));
        grid->SetCell(t, grid->ColumnIndex(COL_RANGE_ALL), QStringLiteral("1"));
    }
    w->txtToPath->setEditText(outDir);
    for (int i = 0; i < w->cboTargetFormat->count(); ++i)
        if (w->cboTargetFormat->itemText(i).startsWith(QLatin1String("MP3")))
            w->cboTargetFormat->setCurrentIndex(i);
    w->cboFileName->setCurrentIndex(0); // "[file_name].[dest_extension]"
    for (QCheckBox* box :
         {w->chkPlaySound, w->chkOpenDestFolder, w->chkTurnOffComputer, w->chkNoticeApp, w->chkOpenCDdrive})
        box->setChecked(false);

    const double c0 = bench::cpuSelf();
    QElapsedTimer t;
    t.start();
    w->cmdConvert->click();
    while (!w->cmdConvert->isEnabled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    bench::Cost c{t.nsecsElapsed() / 1e9, bench::cpuSelf() - c0};
    if (w->m_lFailedRows != 0 || QDir(outDir).entryList(QDir::Files).size() != 3)
        c.wall = -1;
    w->close();
    return c;
}

bench::Cost timeFfmpeg(const QString& bin, const QString& outDir)
{
    emptyFolder(outDir);
    return bench::runFfmpeg({"-f", "s16le", "-ar", "44100", "-ac", "2", "-i", bin, "-c:a", "libmp3lame", "-b:a",
                             "128k", "-compression_level", "5", outDir + "/disc.mp3"});
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("KELVANE_PROGRAM_DIR", (dir.path() + "/program").toUtf8());
    qputenv("KELVANE_REGISTRY_ROOT", (dir.path() + "/registry").toUtf8());
    QDir().mkpath(dir.path() + "/program/Main");
    std::printf("Writing a 3-track, 15-minute cue/bin image...\n");
    if (!writeImage(dir.path())) {
        std::printf("could not write the image\n");
        return 1;
    }
    qputenv("KELVANE_CD_IMAGES", (dir.path() + "/disc.cue").toUtf8());
    QApplication app(argc, argv);
    SetAppModes();
    g_lMP3Bitrate = 128;
    g_lMP3Samplerate = 44100;
    g_lMP3Mode = 1; // joint stereo, the command line's default
    g_lMP3Quality = 5;

    const int runs = 3;
    std::vector<bench::Cost> ours, ref;
    for (int r = 0; r < runs; ++r) {
        ours.push_back(timeOurs(dir.path() + "/ours"));
        ref.push_back(timeFfmpeg(dir.path() + "/disc.bin", dir.path() + "/ref"));
        std::printf("run %d: ours %.2f s  ffmpeg %.2f s\n", r + 1, ours.back().wall, ref.back().wall);
    }
    const bench::Cost mo = bench::medianCost(ours), mr = bench::medianCost(ref);
    std::printf("CD ripper job, 15 min to MP3: ours %.2f s (%.2f s CPU)  ffmpeg %.2f s (%.2f s CPU)\n", mo.wall,
                mo.cpu, mr.wall, mr.cpu);
    bench::Goals goals;
    const bool ran = bench::allOk(ours) && bench::allOk(ref);
    goals.judge("CD ripper job, ours / ffmpeg wall time", ran ? QString::number(mo.wall / mr.wall, 'f', 3) : "a run failed",
                "at most 1.1", ran && mo.wall <= 1.1 * mr.wall);
    qint64 frames = 0;
    bool formatOk = true;
    for (const QString& name : QDir(dir.path() + "/ours").entryList({"*.mp3"}, QDir::Files)) {
        const bench::Decoded d = bench::decode(dir.path() + "/ours/" + name);
        formatOk = formatOk && d.ok() && d.codec == "mp3" && d.rate == 44100 && d.channels == 2;
        frames += d.frames;
    }
    goals.judge("the three ripped tracks decoded, frames off the disc's 15 min", QString::number(frames - 15LL * 60 * 44100),
                "MP3 44.1 kHz stereo, within one frame (1152) a track",
                formatOk && std::llabs(frames - 15LL * 60 * 44100) <= 3 * 1152);
    return goals.finish();
}
