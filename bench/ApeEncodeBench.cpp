// APE encoding through the converter component: speed at the fastest level
// (times real time) and the sizes of the fastest and the slowest level
// against FLAC levels 5 and 8 from the ffmpeg command line on the same WAV.
// Ours runs in this process on one worker thread per core (each frame is
// also decoded again to check it); ffmpeg pays its process start.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

#include "bench/BenchAudio.h"
#include "components/cAudioConverter.h"

namespace {

double encodeApe(const QString& in, const QString& out, int level)
{
    cAudioConverter conv;
    conv.setOutputFormat(6);
    conv.SetAPESettings(level);
    conv.setInputFile(in);
    conv.setOutputFile(out);
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&conv, &cAudioConverter::JobDone, [&] { ok = true; loop.quit(); });
    QObject::connect(&conv, &cAudioConverter::JobError, [&](int, const QString& text) {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
        loop.quit();
    });
    QElapsedTimer t;
    t.start();
    conv.StartConvert();
    loop.exec();
    return ok ? t.nsecsElapsed() / 1e9 : -1;
}

double flac(const QString& in, const QString& out, int level)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start("ffmpeg", {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-i", in, "-c:a", "flac",
                       "-compression_level", QString::number(level), out});
    p.waitForFinished(-1);
    return p.exitCode() == 0 ? t.nsecsElapsed() / 1e9 : -1;
}

} // namespace

// An optional argument names a WAV to use instead of the generated one.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QString wav = app.arguments().value(1);
    double seconds = 600;
    if (wav.isEmpty()) {
        wav = dir.path() + "/ten-minutes.wav";
        std::printf("Writing a 10-minute 44.1 kHz stereo WAV...\n");
        bench::writeMusicWav(wav, 600);
    } else {
        seconds = double(QFileInfo(wav).size() - 44) / 176400.0;
    }
    const QString fast = dir.path() + "/fast.ape", slow = dir.path() + "/slow.ape";
    const QString flac5 = dir.path() + "/l5.flac", flac8 = dir.path() + "/l8.flac";
    const double tFast = encodeApe(wav, fast, 0);
    const double tSlow = encodeApe(wav, slow, 4);
    const double tFlac5 = flac(wav, flac5, 5);
    const double tFlac8 = flac(wav, flac8, 8);
    if (tFast < 0 || tSlow < 0 || tFlac5 < 0 || tFlac8 < 0) {
        std::printf("a run failed\n");
        return 1;
    }
    const double sFast = QFileInfo(fast).size(), sSlow = QFileInfo(slow).size();
    const double sFlac5 = QFileInfo(flac5).size(), sFlac8 = QFileInfo(flac8).size();
    std::printf("APE fastest level: %.2f s, %.1fx real time (goal: at least 20x)\n", tFast, seconds / tFast);
    std::printf("APE slowest level: %.2f s, %.1fx real time\n", tSlow, seconds / tSlow);
    std::printf("FLAC level 5 (ffmpeg): %.2f s; FLAC level 8: %.2f s\n", tFlac5, tFlac8);
    std::printf("size fastest APE / FLAC 5: %.0f / %.0f bytes = %.3f (goal: at most 1.05)\n", sFast, sFlac5, sFast / sFlac5);
    std::printf("size slowest APE / FLAC 8: %.0f / %.0f bytes = %.3f (goal: at most 1.0)\n", sSlow, sFlac8, sSlow / sFlac8);
    return 0;
}
