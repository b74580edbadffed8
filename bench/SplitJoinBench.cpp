// The joiner and the splitter end to end (window and component, headless)
// against the ffmpeg command line on the same input and settings, MP3 at
// 128 kbit/s:
//  - joining 20 one-minute WAV files into one MP3, against one ffmpeg run of
//    the concat demuxer;
//  - splitting a 60-minute WAV into 6 MP3 parts, against six ffmpeg runs
//    with -ss and -t over the same boundaries.
// Both sides encode on one thread; ffmpeg also pays a process start per run.
// The cut itself must be sample-exact: the same split written as WAV parts
// puts back the source's length to the sample. The MP3 parts, decoded end to
// end, are reported against one MP3 frame (1152 samples) per part. Prints the
// medians and the ratios (ours / ffmpeg); the budget is 1.0.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

#include "audiotools/AudioTools.h"
#include "audiotools/frmJoiner.h"
#include "audiotools/frmSplitter.h"
#include "bench/BenchAudio.h"
#include "components/AudioSource.h"
#include "components/cGrid.h"
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

// Everything a tool window needs to write MP3 files into outDir and nothing else.
void prepare(ToolWindow* w, const QString& outDir)
{
    w->txtToPath->setEditText(outDir);
    for (int i = 0; i < w->cboTargetFormat->count(); ++i)
        if (w->cboTargetFormat->itemText(i).startsWith(QLatin1String("MP3")))
            w->cboTargetFormat->setCurrentIndex(i);
    for (QCheckBox* box : {w->chkPlaySound, w->chkOpenDestFolder, w->chkTurnOffComputer, w->chkNoticeApp})
        box->setChecked(false);
}

double runToEnd(ToolWindow* w)
{
    QElapsedTimer t;
    t.start();
    w->cmdConvert->click();
    while (!w->cmdConvert->isEnabled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return t.nsecsElapsed() / 1e9;
}

double timeProcess(const QStringList& args)
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-nostdin", "-y"} + args);
    p.waitForFinished(-1);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return -1;
    return t.nsecsElapsed() / 1e9;
}

const QStringList kMp3 = {"-c:a", "libmp3lame", "-b:a", "128k", "-compression_level", "5"};

double joinOurs(const QStringList& inputs, const QString& outDir)
{
    emptyFolder(outDir);
    FrmJoiner* w = g_frmJoiner();
    cGrid* grid = w->cGrid1;
    for (int i = 0; i < inputs.size(); ++i) {
        grid->SetCell(i + 1, grid->ColumnIndex(COL_FILE), inputs[i]);
        grid->SetCell(i + 1, grid->ColumnIndex(COL_RANGE_ALL), QStringLiteral("1"));
    }
    prepare(w, outDir);
    w->txtJoinedFileName->setText("joined.mp3");
    const double s = runToEnd(w);
    const bool ok = !w->m_bJobError && QFile::exists(outDir + "/joined.mp3");
    w->close();
    return ok ? s : -1;
}

double joinFfmpeg(const QStringList& inputs, const QString& outDir)
{
    emptyFolder(outDir);
    QFile list(outDir + "/list.txt");
    if (!list.open(QIODevice::WriteOnly))
        return -1;
    for (const QString& in : inputs)
        list.write(("file '" + in + "'\n").toUtf8());
    list.close();
    return timeProcess(QStringList{"-f", "concat", "-safe", "0", "-i", list.fileName()} + kMp3 +
                       QStringList{outDir + "/joined.mp3"});
}

double splitOurs(const QString& input, const QString& outDir, const char* format = "MP3")
{
    emptyFolder(outDir);
    FrmSplitter* w = g_frmSplitter();
    w->g_sFileToSplit = input;
    w->cGrid1->SetCell(1, w->cGrid1->ColumnIndex(COL_FILE), input);
    prepare(w, outDir);
    for (int i = 0; i < w->cboTargetFormat->count(); ++i)
        if (w->cboTargetFormat->itemText(i).startsWith(QLatin1String(format)))
            w->cboTargetFormat->setCurrentIndex(i);
    w->ptnSplitByParts->setChecked(true);
    w->txtSplitParts->setText("6");
    const double s = runToEnd(w);
    const bool ok = !w->m_bJobError && QDir(outDir).entryList(QDir::Files).size() == 6;
    if (!ok)
        std::printf("split failed:\n%s\n", qPrintable(w->txtLog->toPlainText()));
    w->close();
    return ok ? s : -1;
}

double splitFfmpeg(const QString& input, const QString& outDir, int seconds)
{
    emptyFolder(outDir);
    double total = 0;
    for (int i = 0; i < 6; ++i) {
        const int start = i * seconds / 6, next = (i + 1) * seconds / 6;
        QStringList args = {"-ss", QString::number(start), "-i", input};
        if (i < 5)
            args << "-t" << QString::number(next - start);
        const double s = timeProcess(args + kMp3 + QStringList{QStringLiteral("%1/part%2.mp3").arg(outDir).arg(i + 1)});
        if (s < 0)
            return -1;
        total += s;
    }
    return total;
}

// Frames of a file decoded whole (-1 when it cannot be read).
qint64 decodedFrames(const QString& path)
{
    kvaudio::AudioSource src;
    if (src.open(path) != 0)
        return -1;
    std::vector<float> buf(size_t(8192) * 2);
    qint64 frames = 0;
    QString err;
    for (;;) {
        const int got = src.read(buf.data(), 8192, &err);
        if (got <= 0)
            break;
        frames += got;
    }
    return frames;
}

qint64 partsFrames(const QString& dir)
{
    qint64 sum = 0;
    for (const QString& name : QDir(dir).entryList({"*.mp3", "*.MP3", "*.WAV"}, QDir::Files))
        sum += decodedFrames(dir + "/" + name);
    return sum;
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
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
    // The WAV parts of the exactness check: CD audio, like the source.
    g_lSamplesWAV = 44100;
    g_lBitrateWAV = 16;
    g_lChannelsWAV = 1;

    bool allOk = true;

    // Optional: the source's minutes for the split alone (a quick check).
    const int splitMinutes = argc > 1 ? QString(argv[1]).toInt() : 0;
    const int files = splitMinutes > 0 ? 0 : 20, joinRuns = splitMinutes > 0 ? 0 : 3;
    std::printf("Writing %d one-minute 44.1 kHz stereo WAV files...\n", files);
    QStringList inputs;
    QDir().mkpath(dir.path() + "/in");
    for (int i = 0; i < files; ++i) {
        const QString path = QStringLiteral("%1/in/track%2.wav").arg(dir.path()).arg(i + 1, 2, 10, QLatin1Char('0'));
        bench::writeMusicWav(path, 60, unsigned(i + 1));
        inputs << path;
    }
    std::vector<double> ours, ref;
    for (int r = 0; r < joinRuns; ++r) {
        ours.push_back(joinOurs(inputs, dir.path() + "/join-ours"));
        ref.push_back(joinFfmpeg(inputs, dir.path() + "/join-ref"));
        std::printf("join run %d: ours %.2f s  ffmpeg %.2f s\n", r + 1, ours.back(), ref.back());
    }
    if (joinRuns > 0) {
        const double mo = median(ours), mr = median(ref), ratio = mo / mr;
        const bool ok = mo > 0 && mr > 0 && ratio <= 1.0;
        allOk = allOk && ok;
        std::printf("%-40s ours %.2f s  ffmpeg %.2f s  ratio %.3f (budget 1.0)  %s\n", "Join 20 x 1 min to one MP3", mo,
                    mr, ratio, ok ? "ok" : "SLOWER");
    }
    for (const QString& in : inputs)
        QFile::remove(in);

    const int seconds = splitMinutes > 0 ? splitMinutes * 60 : 3600, splitRuns = splitMinutes > 0 ? 1 : 3;
    std::printf("Writing a 60-minute 44.1 kHz stereo WAV file...\n");
    const QString source = dir.path() + "/in/long.wav";
    bench::writeMusicWav(source, seconds, 7);
    const qint64 sourceFrames = qint64(seconds) * 44100;
    ours.clear();
    ref.clear();
    for (int r = 0; r < splitRuns; ++r) {
        ours.push_back(splitOurs(source, dir.path() + "/split-ours"));
        ref.push_back(splitFfmpeg(source, dir.path() + "/split-ref", seconds));
        std::printf("split run %d: ours %.2f s  ffmpeg %.2f s\n", r + 1, ours.back(), ref.back());
    }
    const qint64 oursFrames = partsFrames(dir.path() + "/split-ours");
    const qint64 refFrames = partsFrames(dir.path() + "/split-ref");
    std::printf("MP3 parts end to end: source %lld frames, ours %+lld, ffmpeg %+lld (one frame per part: %d)\n",
                (long long)sourceFrames, (long long)(oursFrames - sourceFrames), (long long)(refFrames - sourceFrames),
                6 * 1152);
    splitOurs(source, dir.path() + "/split-wav", "WAV");
    const qint64 wavFrames = partsFrames(dir.path() + "/split-wav");
    const bool exact = wavFrames == sourceFrames;
    std::printf("WAV parts end to end: ours %+lld frames  %s\n", (long long)(wavFrames - sourceFrames),
                exact ? "sample-exact" : "NOT EXACT");
    {
        const double mo = median(ours), mr = median(ref), ratio = mo / mr;
        const bool ok = mo > 0 && mr > 0 && ratio <= 1.0;
        allOk = allOk && ok && exact;
        std::printf("%-40s ours %.2f s  ffmpeg %.2f s  ratio %.3f (budget 1.0)  %s\n", "Split 60 min into 6 MP3 parts",
                    mo, mr, ratio, ok ? "ok" : "SLOWER");
    }
    return allOk ? 0 : 1;
}
