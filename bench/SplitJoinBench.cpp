// The joiner and the splitter end to end (window and component, headless)
// against the ffmpeg command line on the same input and settings, MP3 at
// 128 kbit/s:
//  - joining 20 one-minute WAV files into one MP3, against one ffmpeg run of
//    the concat demuxer;
//  - splitting a 60-minute WAV into 6 MP3 parts, against six ffmpeg runs
//    with -ss and -t over the same boundaries.
// What each side pays: ours runs in this process (no process start; the
// window is built before the clock, the encoding runs on one worker thread);
// ffmpeg pays one process start per run and encodes on one thread. Wall and
// processor time are printed for both.
// The cut itself must be sample-exact: the same split written as WAV parts
// puts back the source's length to the sample. Each MP3 part, decoded by
// ffmpeg (which honours the gapless header), must hold its part's length
// within one MP3 frame (1152 samples). Prints the medians of 3 runs, the
// ratios (ours / ffmpeg, budget 1.0) and, last, a verdict per goal.
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
#include "components/controls/cGrid.h"
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

bench::Cost runToEnd(ToolWindow* w)
{
    const double c0 = bench::cpuSelf();
    QElapsedTimer t;
    t.start();
    w->cmdConvert->click();
    while (!w->cmdConvert->isEnabled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return {t.nsecsElapsed() / 1e9, bench::cpuSelf() - c0};
}

const QStringList kMp3 = {"-c:a", "libmp3lame", "-b:a", "128k", "-compression_level", "5"};

bench::Cost joinOurs(const QStringList& inputs, const QString& outDir)
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
    bench::Cost c = runToEnd(w);
    if (w->m_bJobError || !QFile::exists(outDir + "/joined.mp3"))
        c.wall = -1;
    w->close();
    return c;
}

bench::Cost joinFfmpeg(const QStringList& inputs, const QString& outDir)
{
    emptyFolder(outDir);
    QFile list(outDir + "/list.txt");
    if (!list.open(QIODevice::WriteOnly))
        return {};
    for (const QString& in : inputs)
        list.write(("file '" + in + "'\n").toUtf8());
    list.close();
    return bench::runFfmpeg(QStringList{"-f", "concat", "-safe", "0", "-i", list.fileName()} + kMp3 +
                            QStringList{outDir + "/joined.mp3"});
}

bench::Cost splitOurs(const QString& input, const QString& outDir, const char* format = "MP3")
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
    bench::Cost c = runToEnd(w);
    if (w->m_bJobError || QDir(outDir).entryList(QDir::Files).size() != 6) {
        std::printf("split failed:\n%s\n", qPrintable(w->txtLog->toPlainText()));
        c.wall = -1;
    }
    w->close();
    return c;
}

bench::Cost splitFfmpeg(const QString& input, const QString& outDir, int seconds)
{
    emptyFolder(outDir);
    bench::Cost total{0, 0};
    for (int i = 0; i < 6; ++i) {
        const int start = i * seconds / 6, next = (i + 1) * seconds / 6;
        QStringList args = {"-ss", QString::number(start), "-i", input};
        if (i < 5)
            args << "-t" << QString::number(next - start);
        const bench::Cost c =
            bench::runFfmpeg(args + kMp3 + QStringList{QStringLiteral("%1/part%2.mp3").arg(outDir).arg(i + 1)});
        if (!c.ok())
            return {};
        total.wall += c.wall;
        total.cpu += c.cpu;
    }
    return total;
}

// Each part's frames, decoded from outside, in name order.
std::vector<qint64> partFrames(const QString& dir)
{
    std::vector<qint64> frames;
    for (const QString& name : QDir(dir).entryList({"*.mp3", "*.MP3", "*.wav", "*.WAV"}, QDir::Files, QDir::Name))
        frames.push_back(bench::decode(dir + "/" + name).frames);
    return frames;
}

qint64 sum(const std::vector<qint64>& v)
{
    qint64 s = 0;
    for (qint64 x : v)
        s = x < 0 || s < 0 ? -1 : s + x;
    return s;
}

// The largest distance of a part from its length, in frames.
qint64 worstPart(const std::vector<qint64>& parts, int seconds)
{
    if (parts.size() != 6)
        return -1;
    qint64 worst = 0;
    for (int i = 0; i < 6; ++i) {
        const qint64 want = qint64((i + 1) * seconds / 6 - i * seconds / 6) * 44100;
        if (parts[size_t(i)] < 0)
            return -1;
        worst = std::max(worst, std::llabs(parts[size_t(i)] - want));
    }
    return worst;
}

void printSide(const char* what, const bench::Cost& ours, const bench::Cost& ref)
{
    std::printf("%-32s ours %.2f s (%.2f s CPU)  ffmpeg %.2f s (%.2f s CPU)  ratio %.3f\n", what, ours.wall, ours.cpu,
                ref.wall, ref.cpu, ref.wall > 0 ? ours.wall / ref.wall : 0.0);
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

    bench::Goals goals;

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
    std::vector<bench::Cost> ours, ref;
    for (int r = 0; r < joinRuns; ++r) {
        ours.push_back(joinOurs(inputs, dir.path() + "/join-ours"));
        ref.push_back(joinFfmpeg(inputs, dir.path() + "/join-ref"));
        std::printf("join run %d: ours %.2f s  ffmpeg %.2f s\n", r + 1, ours.back().wall, ref.back().wall);
    }
    if (joinRuns > 0) {
        const bench::Cost mo = bench::medianCost(ours), mr = bench::medianCost(ref);
        printSide("Join 20 x 1 min to one MP3", mo, mr);
        const bool ran = bench::allOk(ours) && bench::allOk(ref);
        goals.judge("join, ours / ffmpeg wall time", ran ? QString::number(mo.wall / mr.wall, 'f', 3) : "a run failed",
                    "at most 1.0", ran && mo.wall <= mr.wall);
        const bench::Decoded joined = bench::decode(dir.path() + "/join-ours/joined.mp3");
        const qint64 want = qint64(files) * 60 * 44100;
        goals.judge("joined MP3 length, frames off the sources' total",
                    joined.ok() ? QString::number(joined.frames - want) : "unreadable", "within one frame (1152)",
                    joined.ok() && joined.codec == "mp3" && joined.channels == 2 &&
                        std::llabs(joined.frames - want) <= 1152);
    }
    for (const QString& in : inputs)
        QFile::remove(in);

    const int seconds = splitMinutes > 0 ? splitMinutes * 60 : 3600, splitRuns = splitMinutes > 0 ? 1 : 3;
    std::printf("Writing a %d-minute 44.1 kHz stereo WAV file...\n", seconds / 60);
    const QString source = dir.path() + "/in/long.wav";
    bench::writeMusicWav(source, seconds, 7);
    const qint64 sourceFrames = qint64(seconds) * 44100;
    ours.clear();
    ref.clear();
    for (int r = 0; r < splitRuns; ++r) {
        ours.push_back(splitOurs(source, dir.path() + "/split-ours"));
        ref.push_back(splitFfmpeg(source, dir.path() + "/split-ref", seconds));
        std::printf("split run %d: ours %.2f s  ffmpeg %.2f s\n", r + 1, ours.back().wall, ref.back().wall);
    }
    const std::vector<qint64> oursParts = partFrames(dir.path() + "/split-ours");
    const std::vector<qint64> refParts = partFrames(dir.path() + "/split-ref");
    std::printf("MP3 parts decoded by ffmpeg: source %lld frames, ours %+lld, ffmpeg %+lld; worst part off by ours "
                "%lld, ffmpeg %lld frames\n",
                (long long)sourceFrames, (long long)(sum(oursParts) - sourceFrames),
                (long long)(sum(refParts) - sourceFrames), (long long)worstPart(oursParts, seconds),
                (long long)worstPart(refParts, seconds));
    splitOurs(source, dir.path() + "/split-wav", "WAV");
    const qint64 wavFrames = sum(partFrames(dir.path() + "/split-wav"));
    {
        const bench::Cost mo = bench::medianCost(ours), mr = bench::medianCost(ref);
        printSide("Split 60 min into 6 MP3 parts", mo, mr);
        const bool ran = bench::allOk(ours) && bench::allOk(ref);
        goals.judge("split, ours / ffmpeg wall time", ran ? QString::number(mo.wall / mr.wall, 'f', 3) : "a run failed",
                    "at most 1.0", ran && mo.wall <= mr.wall);
    }
    const qint64 worst = worstPart(oursParts, seconds);
    goals.judge("MP3 split parts, worst part's frames off its length", QString::number(worst),
                "within one frame (1152) per part", worst >= 0 && worst <= 1152);
    goals.judge("WAV split parts, frames off the source", QString::number(wavFrames - sourceFrames), "0 (sample-exact)",
                wavFrames == sourceFrames);
    return goals.finish();
}
