// Recording 10 s of 44.1 kHz 16-bit stereo from the loop-back source into a
// WAV: processor time of this process (the recorder component's thread, the
// sound system's client thread and the idle event loop) against parecord
// recording the same source for the same 10 s (its process start included).
// Ours syncs the take to disk every second; parecord never syncs.
// The ratio is taken against parecord with the recorder's own latency
// (the sound server hands audio over in 100 ms parts to both); parecord's
// default latency (2 s parts, and it loses what it holds when stopped) is
// printed beside it. What each side pays: ours is measured from before the
// recorder opens its stream (the component is built before the clock, no
// process start); parecord pays its process start and connection. Also
// checks that the take holds the time recorded, +- 50 ms, and that both
// files are 44.1 kHz stereo 16-bit WAVs. Medians of 5 runs; the goal is
// 1.0 or less; the verdicts come last.
// Needs the loop-back source (source scripts/pulse.sh).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

#include "bench/BenchAudio.h"
#include "components/audio/cWave.h"

namespace {

constexpr int kSeconds = 10;
constexpr int kRuns = 5;
// The recorder component's device buffer.
constexpr int kRecorderLatencyMs = 100;

using bench::cpuSeconds;

// A precise timer: a coarse one may end a 10 s wait half a second early.
void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Ours: processor seconds, the take's length and the time between the start
// and the stop, in seconds.
bool recordOurs(const QString& path, double& cpu, double& seconds, double& wall)
{
    cWave wave;
    WAVEFORMATEX f;
    f.nChannels = 2;
    f.nSamplesPerSec = 44100;
    f.wBitsPerSample = 16;
    f.nBlockAlign = 4;
    f.nAvgBytesPerSec = 176400;
    long device = -1; // the default input: the loop-back source
    const double before = cpuSeconds(RUSAGE_SELF);
    bool done = false;
    QObject::connect(&wave, &cWave::DoneRecord, [&] { done = true; });
    long code = wave.StartRecording(device, path, f, 1600);
    if (code != 0) {
        std::fprintf(stderr, "recording failed: %s\n", qPrintable(wave.GetErrorText(code)));
        return false;
    }
    const double started = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer between;
    between.start();
    waitMs(kSeconds * 1000);
    const double recorded = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer stopClock;
    stopClock.start();
    wave.StopRecording();
    wall = between.nsecsElapsed() / 1e9;
    while (!done)
        waitMs(20);
    const qint64 stopMs = stopClock.elapsed();
    cpu = cpuSeconds(RUSAGE_SELF) - before;
    std::printf("  ours: start %.3f s CPU, 10 s %.3f s CPU, stop %.3f s CPU in %lld ms\n", started - before,
                recorded - started, cpuSeconds(RUSAGE_SELF) - recorded, (long long)stopMs);
    seconds = double(wave.RecordedFrames()) / 44100.0;
    return true;
}

// latencyMs 0: parecord's default.
bool recordParecord(const QString& path, int latencyMs, double& cpu, double& seconds)
{
    const double before = cpuSeconds(RUSAGE_CHILDREN);
    QProcess p;
    QStringList args{"--rate=44100", "--channels=2", "--format=s16le", "--file-format=wav"};
    if (latencyMs > 0)
        args << QStringLiteral("--latency-msec=%1").arg(latencyMs);
    p.start(QStringLiteral("parecord"), args << path);
    if (!p.waitForStarted())
        return false;
    waitMs(kSeconds * 1000);
    ::kill(pid_t(p.processId()), SIGINT);
    p.waitForFinished(10000);
    cpu = cpuSeconds(RUSAGE_CHILDREN) - before;
    seconds = double(QFileInfo(path).size() - 44) / 176400.0;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    std::vector<double> ours, same, deflt;
    bool lengthOk = true;
    for (int run = 0; run < kRuns; ++run) {
        double cpu = 0, len = 0, wall = 0, sameCpu = 0, sameLen = 0, defCpu = 0, defLen = 0;
        if (!recordOurs(dir.filePath(QStringLiteral("ours%1.wav").arg(run)), cpu, len, wall))
            return 1;
        if (!recordParecord(dir.filePath(QStringLiteral("same%1.wav").arg(run)), kRecorderLatencyMs, sameCpu, sameLen)
            || !recordParecord(dir.filePath(QStringLiteral("default%1.wav").arg(run)), 0, defCpu, defLen))
            return 1;
        ours.push_back(cpu);
        same.push_back(sameCpu);
        deflt.push_back(defCpu);
        lengthOk = lengthOk && std::abs(len - wall) <= 0.05;
        std::printf("run %d: ours %.3f s CPU (%.3f s recorded of %.3f s), parecord at %d ms %.3f s CPU (%.3f s in its "
                    "file), parecord by default %.3f s CPU (%.3f s in its file)\n",
                    run, cpu, len, wall, kRecorderLatencyMs, sameCpu, sameLen, defCpu, defLen);
    }
    const double a = bench::median(ours), b = bench::median(same), c = bench::median(deflt);
    std::printf("10 s recording, processor time: ours %.3f s, parecord at the same latency %.3f s, ratio %.2f\n", a, b,
                b > 0 ? a / b : 0);
    std::printf("  parecord at its default latency %.3f s (ratio %.2f), which loses the audio it still holds at the "
                "stop\n",
                c, c > 0 ? a / c : 0);
    bool formatsOk = true;
    for (int run = 0; run < kRuns; ++run)
        for (const char* name : {"ours", "same"}) {
            const bench::Decoded d = bench::decode(dir.filePath(QStringLiteral("%1%2.wav").arg(name).arg(run)));
            formatsOk = formatsOk && d.ok() && d.codec == "pcm_s16le" && d.rate == 44100 && d.channels == 2;
        }
    bench::Goals goals;
    goals.judge("recording 10 s, processor time ours / parecord at 100 ms", QString::number(b > 0 ? a / b : 0, 'f', 2),
                "at most 1.0", b > 0 && a <= b);
    goals.judge("every take holds the time between start and stop", lengthOk ? "yes" : "no", "within 50 ms",
                lengthOk);
    goals.judge("both sides' files are 44.1 kHz stereo 16-bit WAV", formatsOk ? "yes" : "no", "yes", formatsOk);
    return goals.finish();
}
