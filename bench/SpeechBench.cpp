// Speaking a 10,000-word text into a WAV file: the speech component
// (SpeakToFile, default voice, rate 0 = 175 words a minute, volume 100,
// 22,050 Hz 16-bit mono) against `espeak-ng -w OUT.wav -f TEXT` with the same
// voice and rate, in the same run. Ours runs in this process on the
// component's thread (the engine loaded once); espeak-ng pays its process
// start and data loading each time. Both outputs are decoded from outside:
// each must be a 22,050 Hz mono 16-bit WAV, and ours must hold the same
// speech length as espeak-ng's within 2 %. Prints medians of 3 runs (wall
// and processor time) and the ratio ours / espeak-ng; the goal is 1.0 or
// less; the verdicts come last.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench/BenchAudio.h"
#include "components/audio/cWaveTTS.h"

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
    std::vector<bench::Cost> ours, theirs;
    bench::Decoded oursOut, theirOut;
    for (int run = 0; run < 3; ++run) {
        const QString a = dir.filePath(QStringLiteral("ours%1.wav").arg(run));
        const double c0 = bench::cpuSelf();
        QElapsedTimer t;
        t.start();
        const long code = tts.SpeakToFile(text, a);
        ours.push_back({t.elapsed() / 1000.0, bench::cpuSelf() - c0});
        if (code != 0) {
            std::fprintf(stderr, "speaking failed: %s\n", qPrintable(tts.GetErrorText(code)));
            return 1;
        }
        const QString b = dir.filePath(QStringLiteral("espeak%1.wav").arg(run));
        theirs.push_back(bench::runProcess(QStringLiteral("espeak-ng"), {"-v", "en", "-s", "175", "-w", b, "-f", textFile}));
        std::printf("run %d: ours %.2f s (%.2f s CPU), espeak-ng %.2f s (%.2f s CPU)\n", run, ours.back().wall,
                    ours.back().cpu, theirs.back().wall, theirs.back().cpu);
        if (run == 0) {
            oursOut = bench::decode(a);
            theirOut = bench::decode(b);
        }
    }
    const bench::Cost a = bench::medianCost(ours), b = bench::medianCost(theirs);
    std::printf("10,000 words to WAV: ours %.2f s (%.2f s CPU, %.1f s of speech), espeak-ng %.2f s (%.2f s CPU, %.1f s "
                "of speech), ratio %.2f\n",
                a.wall, a.cpu, oursOut.rate > 0 ? double(oursOut.frames) / oursOut.rate : 0.0, b.wall, b.cpu,
                theirOut.rate > 0 ? double(theirOut.frames) / theirOut.rate : 0.0, b.wall > 0 ? a.wall / b.wall : 0);
    bench::Goals goals;
    const bool ran = bench::allOk(theirs);
    goals.judge("speaking 10,000 words to WAV, ours / espeak-ng wall time",
                ran ? QString::number(a.wall / b.wall, 'f', 2) : "espeak-ng failed", "at most 1.0",
                ran && a.wall <= b.wall);
    auto format = [](const bench::Decoded& d) {
        return QStringLiteral("%1 %2 Hz %3 ch").arg(d.codec).arg(d.rate).arg(d.channels);
    };
    const bool formatsOk = oursOut.ok() && theirOut.ok() && format(oursOut) == "pcm_s16le 22050 Hz 1 ch" &&
                           format(theirOut) == format(oursOut);
    goals.judge("output formats, ours / espeak-ng", format(oursOut) + " / " + format(theirOut),
                "both pcm_s16le 22050 Hz 1 ch", formatsOk);
    const double diff = theirOut.frames > 0 ? double(oursOut.frames - theirOut.frames) / double(theirOut.frames) : 1;
    goals.judge("speech length, ours against espeak-ng", QStringLiteral("%1 %").arg(100 * diff, 0, 'f', 2),
                "within 2 %", oursOut.ok() && theirOut.ok() && std::abs(diff) <= 0.02);
    return goals.finish();
}
