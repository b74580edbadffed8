// The audio editor component on a 60-minute 44.1 kHz stereo 16-bit WAV:
// opening it until the whole waveform is drawn against `sox FILE -n stat`
// reading the same file, the memory that costs, a full-width repaint, and
// saving a 10-minute range against `sox FILE OUT trim S L`.
//
// What each side pays: sox is one process started per run (its start-up is
// in its time) reading on one thread; the editor runs in this process, reads
// with up to four worker threads and draws in the GUI thread, so processor
// time is printed beside wall time for both. Both read the file from the
// page cache, warmed before the first run. Medians of 3 runs; the saved
// range is decoded and must hold sox's samples. The goals and verdicts come
// last.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <cstdio>

#include "bench/BenchAudio.h"
#include "components/audio/cAudioEditor.h"

namespace {

long rssKb()
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Milliseconds of wall and processor time.
bench::Cost runSox(const QStringList& args)
{
    bench::Cost c = bench::runProcess(QStringLiteral("sox"), args);
    return {c.wall * 1000, c.cpu * 1000};
}

void warm(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    std::vector<char> buf(1 << 22);
    while (f.read(buf.data(), qint64(buf.size())) > 0) {
    }
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = QDir::tempPath() + "/kelvane-editor-bench/";
    QDir().mkpath(dir);
    const QString wav = dir + "hour.wav";
    if (QFileInfo(wav).size() != 44 + 3600LL * 44100 * 4) {
        std::printf("writing a 60-minute WAV...\n");
        bench::writeMusicWav(wav, 3600);
    }
    warm(wav);
    const int runs = 3;

    // Opening until drawn.
    std::vector<bench::Cost> soxOpen, ours;
    bench::Goals goals;
    for (int i = 0; i < runs; ++i)
        soxOpen.push_back(runSox({wav, "-n", "stat"}));
    long rssEmpty = 0, rssLoaded = 0;
    {
        cAudioEditor editor;
        editor.resize(1000, 300);
        editor.show();
        editor.repaint();
        rssEmpty = rssKb();
        for (int i = 0; i < runs; ++i) {
            const double c0 = bench::cpuSelf();
            QElapsedTimer t;
            t.start();
            editor.LoadWaveFile(wav);
            while (!editor.IsWaveformReady())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            editor.repaint();
            ours.push_back({t.nsecsElapsed() / 1e6, (bench::cpuSelf() - c0) * 1000});
        }
        rssLoaded = rssKb();

        // Full-width repaints from the summaries.
        std::vector<double> paints;
        for (int i = 0; i < 100; ++i) {
            QElapsedTimer t;
            t.start();
            editor.repaint();
            paints.push_back(t.nsecsElapsed() / 1e6);
        }
        const bench::Cost o = bench::medianCost(ours), x = bench::medianCost(soxOpen);
        std::printf("open 60 min until drawn: editor %.0f ms (%.0f ms CPU, up to 4 threads), sox stat %.0f ms (%.0f ms "
                    "CPU, one thread, process start included), ratio %.2f\n",
                    o.wall, o.cpu, x.wall, x.cpu, o.wall / x.wall);
        goals.judge("open 60 min until drawn, editor / sox stat wall time", QString::number(o.wall / x.wall, 'f', 2),
                    "at most 1.5", bench::allOk(soxOpen) && o.wall <= 1.5 * x.wall);
        const double mb = (rssLoaded - rssEmpty) / 1024.0;
        goals.judge("resident memory for the file over the empty window", QStringLiteral("%1 MB").arg(mb, 0, 'f', 1),
                    "at most 64 MB", mb <= 64);
        const double paint = bench::median(paints);
        goals.judge("full-width repaint (1000 px, whole hour), median of 100",
                    QStringLiteral("%1 ms").arg(paint, 0, 'f', 2), "at most 16 ms", paint <= 16);
        editor.SelectFrames(44100LL * 1200, 44100LL * 1800);
        editor.ZoomSelection();
        paints.clear();
        for (int i = 0; i < 100; ++i) {
            QElapsedTimer t;
            t.start();
            editor.repaint();
            paints.push_back(t.nsecsElapsed() / 1e6);
        }
        std::printf("full-width repaint zoomed to 10 min: median of 100 %.2f ms\n", bench::median(paints));
    }

    // Saving 10 minutes from minute 20.
    std::vector<bench::Cost> soxSave, save;
    const QString soxOut = dir + "sox-cut.wav", ourOut = dir + "editor-cut.wav";
    for (int i = 0; i < runs; ++i) {
        QFile::remove(soxOut);
        soxSave.push_back(runSox({wav, soxOut, "trim", "1200", "600"}));
    }
    {
        cAudioEditor editor;
        for (int i = 0; i < runs; ++i) {
            QFile::remove(ourOut);
            bool ended = false;
            auto c1 = QObject::connect(&editor, &cAudioEditor::EditorSaveDone, [&] { ended = true; });
            auto c2 = QObject::connect(&editor, &cAudioEditor::EditorError, [&](long, const QString& text) {
                std::fprintf(stderr, "save failed: %s\n", qPrintable(text));
                ended = true;
            });
            const double c0 = bench::cpuSelf();
            QElapsedTimer t;
            t.start();
            editor.SetInputFile(wav);
            editor.setOutputFile(ourOut);
            editor.setRangeStart(1200000);
            editor.setRangeLength(600000);
            editor.SaveRange();
            while (!ended)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            save.push_back({t.nsecsElapsed() / 1e6, (bench::cpuSelf() - c0) * 1000});
            QObject::disconnect(c1);
            QObject::disconnect(c2);
        }
    }
    const bench::Cost o = bench::medianCost(save), x = bench::medianCost(soxSave);
    std::printf("save 10 min range: editor %.0f ms (%.0f ms CPU), sox trim %.0f ms (%.0f ms CPU), ratio %.2f\n", o.wall,
                o.cpu, x.wall, x.cpu, o.wall / x.wall);
    goals.judge("save a 10 min range, editor / sox trim wall time", QString::number(o.wall / x.wall, 'f', 2),
                "at most 1.0", bench::allOk(soxSave) && o.wall <= x.wall);
    const bench::Decoded a = bench::decode(ourOut), b = bench::decode(soxOut);
    goals.judge("the saved range, decoded", a.ok() && a.pcmHash == b.pcmHash ? "sox's samples" : "differs",
                "the same samples as sox trim", a.ok() && b.ok() && a.pcmHash == b.pcmHash);
    QFile::remove(soxOut);
    QFile::remove(ourOut);
    return goals.finish();
}
