// The converter job end to end (window and component, headless) against the
// ffmpeg command line converting the same files one after another: 20
// one-minute WAV files to MP3 at 128 kbit/s. Prints the medians of 3 runs
// and the ratio (ours / ffmpeg); the budget is 1.1.
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
#include "components/cImageList.h"
#include "components/cGrid.h"
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

// The whole job in the converter window: rows in its grid, MP3, Convert,
// until the window says the job has ended. -1 when a row failed.
double timeOurs(const QStringList& inputs, const QString& outDir)
{
    emptyFolder(outDir);
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

    QElapsedTimer t;
    t.start();
    w->cmdConvert->click();
    while (!w->cmdConvert->isEnabled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double s = t.nsecsElapsed() / 1e9;
    const bool ok = w->m_lFailedRows == 0 && QDir(outDir).entryList(QDir::Files).size() == inputs.size();
    w->close();
    return ok ? s : -1;
}

double timeFfmpeg(const QStringList& inputs, const QString& outDir)
{
    emptyFolder(outDir);
    QElapsedTimer t;
    t.start();
    for (const QString& in : inputs) {
        QProcess p;
        p.start("ffmpeg", {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-i", in, "-c:a", "libmp3lame",
                           "-b:a", "128k", "-compression_level", "5",
                           outDir + "/" + QFileInfo(in).completeBaseName() + ".mp3"});
        p.waitForFinished(-1);
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return -1;
    }
    return t.nsecsElapsed() / 1e9;
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

    std::vector<double> ours, ref;
    for (int r = 0; r < runs; ++r) {
        // Alternate, so that both see the same machine load.
        ours.push_back(timeOurs(inputs, dir.path() + "/ours"));
        ref.push_back(timeFfmpeg(inputs, dir.path() + "/ref"));
        std::printf("run %d: ours %.2f s  ffmpeg %.2f s\n", r + 1, ours.back(), ref.back());
    }
    const double mo = median(ours), mr = median(ref);
    const double ratio = mo / mr;
    const bool ok = mo > 0 && mr > 0 && ratio <= 1.1;
    std::printf("%-34s ours %.2f s  ffmpeg %.2f s  ratio %.3f (budget 1.1)  %s\n",
                "Converter job, 20 x 1 min to MP3", mo, mr, ratio, ok ? "ok" : "SLOWER");
    return ok ? 0 : 1;
}
