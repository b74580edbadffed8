// APE encoding through the converter component: speed at the fastest level
// (times real time) and the sizes of the fastest and the slowest level
// against FLAC levels 5 and 8 from the ffmpeg command line on the same WAV.
// What each side pays: ours runs in this process on one worker thread per
// core (each frame is also decoded again to check it), so its processor time
// is printed beside its wall time; ffmpeg encodes FLAC on one thread and pays
// its process start. Medians of 3 runs per side. Every output is decoded by
// ffmpeg and must give back the source's samples exactly. The goals and
// verdicts come last.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

#include "bench/BenchAudio.h"
#include "components/audio/cAudioConverter.h"

namespace {

bench::Cost encodeApe(const QString& in, const QString& out, int level)
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
    const double c0 = bench::cpuSelf();
    QElapsedTimer t;
    t.start();
    conv.StartConvert();
    loop.exec();
    return {ok ? t.nsecsElapsed() / 1e9 : -1, bench::cpuSelf() - c0};
}

bench::Cost flac(const QString& in, const QString& out, int level)
{
    return bench::runFfmpeg({"-i", in, "-c:a", "flac", "-compression_level", QString::number(level), out});
}

template <typename F>
bench::Cost median3(F run)
{
    std::vector<bench::Cost> runs;
    for (int i = 0; i < 3; ++i)
        runs.push_back(run());
    return bench::allOk(runs) ? bench::medianCost(runs) : bench::Cost{};
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
    const bench::Cost tFast = median3([&] { return encodeApe(wav, fast, 0); });
    const bench::Cost tSlow = median3([&] { return encodeApe(wav, slow, 4); });
    const bench::Cost tFlac5 = median3([&] { return flac(wav, flac5, 5); });
    const bench::Cost tFlac8 = median3([&] { return flac(wav, flac8, 8); });
    if (!tFast.ok() || !tSlow.ok() || !tFlac5.ok() || !tFlac8.ok()) {
        std::printf("a run failed\n");
        return 1;
    }
    const double sFast = QFileInfo(fast).size(), sSlow = QFileInfo(slow).size();
    const double sFlac5 = QFileInfo(flac5).size(), sFlac8 = QFileInfo(flac8).size();
    std::printf("APE fastest level: %.2f s (%.2f s CPU), %.1fx real time\n", tFast.wall, tFast.cpu,
                seconds / tFast.wall);
    std::printf("APE slowest level: %.2f s (%.2f s CPU), %.1fx real time\n", tSlow.wall, tSlow.cpu,
                seconds / tSlow.wall);
    std::printf("FLAC level 5 (ffmpeg): %.2f s (%.2f s CPU); FLAC level 8: %.2f s (%.2f s CPU)\n", tFlac5.wall,
                tFlac5.cpu, tFlac8.wall, tFlac8.cpu);
    std::printf("processor time APE fastest / FLAC 5: %.2f; APE slowest / FLAC 8: %.2f\n", tFast.cpu / tFlac5.cpu,
                tSlow.cpu / tFlac8.cpu);

    const QByteArray source = bench::decode(wav).pcmHash;
    bench::Goals goals;
    goals.judge("APE fastest level speed", QStringLiteral("%1x real time").arg(seconds / tFast.wall, 0, 'f', 1),
                "at least 20x", seconds / tFast.wall >= 20);
    goals.judge("size fastest APE / FLAC 5", QString::number(sFast / sFlac5, 'f', 3), "at most 1.05",
                sFast / sFlac5 <= 1.05);
    goals.judge("size slowest APE / FLAC 8", QString::number(sSlow / sFlac8, 'f', 3), "at most 1.0",
                sSlow / sFlac8 <= 1.0);
    for (const QString& out : {fast, slow, flac5, flac8}) {
        const bench::Decoded d = bench::decode(out);
        goals.judge(QStringLiteral("%1 decoded by ffmpeg").arg(QFileInfo(out).fileName()),
                    d.ok() && d.pcmHash == source ? "the source's samples" : "differs", "the source's samples",
                    d.ok() && !source.isEmpty() && d.pcmHash == source);
    }
    return goals.finish();
}
