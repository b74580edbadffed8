// The audio editor component on a 60-minute 44.1 kHz stereo 16-bit WAV:
// opening it until the whole waveform is drawn against `sox FILE -n stat`
// reading the same file, the memory that costs, a full-width repaint, and
// saving a 10-minute range against `sox FILE OUT trim S L`.
//
// What each side pays: sox is one process started per run (its start-up is
// in its time) reading on one thread; the editor runs in this process, reads
// with up to four worker threads and draws in the GUI thread. Both read the
// file from the page cache, warmed before the first run.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <cstdio>

#include "bench/BenchAudio.h"
#include "components/cAudioEditor.h"

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

double runSox(const QStringList& args)
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start("sox", args);
    p.waitForFinished(-1);
    if (p.exitCode() != 0)
        std::fprintf(stderr, "sox failed: %s\n", p.readAllStandardError().constData());
    return t.nsecsElapsed() / 1e6;
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
    std::vector<double> soxOpen, ours;
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
            QElapsedTimer t;
            t.start();
            editor.LoadWaveFile(wav);
            while (!editor.IsWaveformReady())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            editor.repaint();
            ours.push_back(t.nsecsElapsed() / 1e6);
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
        std::printf("open 60 min until drawn: editor %.0f ms, sox stat %.0f ms, ratio %.2f (limit 1.5)\n",
                    bench::median(ours), bench::median(soxOpen), bench::median(ours) / bench::median(soxOpen));
        std::printf("resident memory for the file: %.1f MB over the empty window (limit 64 MB)\n",
                    (rssLoaded - rssEmpty) / 1024.0);
        std::printf("full-width repaint (1000 px, whole hour): median of 100 %.2f ms (limit 16 ms)\n",
                    bench::median(paints));
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
    std::vector<double> soxSave, save;
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
            QElapsedTimer t;
            t.start();
            editor.SetInputFile(wav);
            editor.setOutputFile(ourOut);
            editor.setRangeStart(1200000);
            editor.setRangeLength(600000);
            editor.SaveRange();
            while (!ended)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            save.push_back(t.nsecsElapsed() / 1e6);
            QObject::disconnect(c1);
            QObject::disconnect(c2);
        }
    }
    std::printf("save 10 min range: editor %.0f ms, sox trim %.0f ms, ratio %.2f (limit 1.0)\n", bench::median(save),
                bench::median(soxSave), bench::median(save) / bench::median(soxSave));
    std::printf("same size out: %s\n",
                QFileInfo(ourOut).size() == QFileInfo(soxOut).size() ? "yes" : "no (headers differ)");
    QFile::remove(soxOut);
    QFile::remove(ourOut);
    return 0;
}
