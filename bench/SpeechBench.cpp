// Speaking a 10,000-word text into a WAV file: the speech component
// (SpeakToFile, default voice, rate 0 = 175 words a minute, volume 100,
// 22,050 Hz 16-bit mono) against `espeak-ng -w OUT.wav -f TEXT` with the same
// voice and rate, in the same run. Ours runs in this process on the
// component's thread (the engine loaded once); espeak-ng pays its process
// start and data loading each time. Prints medians of 3 runs and the ratio
// ours / espeak-ng (1.0 or less is as fast or faster).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

#include "bench/BenchAudio.h"
#include "components/cWaveTTS.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    static const char* const words[] = {"the", "river", "runs", "quietly", "under", "seven", "old", "bridges",
                                        "while", "morning", "light", "falls", "on", "stone", "and", "water"};
    QString text;
    for (int i = 0; i < 10000; ++i) {
        text += QString::fromLatin1(words[(i * 7 + i / 16) % 16]);
        text += (i % 14 == 13) ? QStringLiteral(". ") : QStringLiteral(" ");
    }
    const QString textFile = dir.filePath(QStringLiteral("text.txt"));
    {
        QFile f(textFile);
        f.open(QIODevice::WriteOnly);
        f.write(text.toUtf8());
    }
    cWaveTTS tts;
    tts.setSpeechVoice(-1);
    tts.setSpeechRate(0);
    tts.setSpeechVolume(100);
    tts.setSpeechFormat(8);
    std::vector<double> ours, theirs;
    qint64 oursSize = 0, theirSize = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        const QString a = dir.filePath(QStringLiteral("ours%1.wav").arg(run));
        t.start();
        const long code = tts.SpeakToFile(text, a);
        ours.push_back(t.elapsed() / 1000.0);
        if (code != 0) {
            std::fprintf(stderr, "speaking failed: %s\n", qPrintable(tts.GetErrorText(code)));
            return 1;
        }
        oursSize = QFileInfo(a).size();
        const QString b = dir.filePath(QStringLiteral("espeak%1.wav").arg(run));
        t.restart();
        QProcess p;
        p.start(QStringLiteral("espeak-ng"), {"-v", "en", "-s", "175", "-w", b, "-f", textFile});
        p.waitForFinished(600000);
        theirs.push_back(t.elapsed() / 1000.0);
        theirSize = QFileInfo(b).size();
        std::printf("run %d: ours %.2f s, espeak-ng %.2f s\n", run, ours.back(), theirs.back());
    }
    const double a = bench::median(ours), b = bench::median(theirs);
    std::printf("10,000 words to WAV: ours %.2f s (%.1f MB), espeak-ng %.2f s (%.1f MB), ratio %.2f\n", a,
                oursSize / 1e6, b, theirSize / 1e6, b > 0 ? a / b : 0);
    return 0;
}
