// Recording 10 s of 44.1 kHz 16-bit stereo from the loop-back source into a
// WAV: processor time of this process (the recorder component's thread, the
// sound system's client thread and the idle event loop) against parecord
// recording the same source for the same 10 s (its process start included).
// Also checks that the take holds 10 s +- 50 ms. Medians of 3 runs; the
// ratio is ours / parecord (1.0 or less is as good or better).
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
#include "components/cWave.h"

namespace {

constexpr int kSeconds = 10;

double cpuSeconds(int who)
{
    rusage r{};
    getrusage(who, &r);
    return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Ours: processor seconds and the take's length in seconds.
bool recordOurs(const QString& path, double& cpu, double& seconds)
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
    waitMs(kSeconds * 1000);
    const double recorded = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer stopClock;
    stopClock.start();
    wave.StopRecording();
    while (!done)
        waitMs(20);
    const qint64 stopMs = stopClock.elapsed();
    cpu = cpuSeconds(RUSAGE_SELF) - before;
    std::printf("  ours: start %.3f s CPU, 10 s %.3f s CPU, stop %.3f s CPU in %lld ms\n", started - before,
                recorded - started, cpuSeconds(RUSAGE_SELF) - recorded, (long long)stopMs);
    seconds = double(wave.RecordedFrames()) / 44100.0;
    return true;
}

bool recordParecord(const QString& path, double& cpu, double& seconds)
{
    const double before = cpuSeconds(RUSAGE_CHILDREN);
    QProcess p;
    p.start(QStringLiteral("parecord"), {"--rate=44100", "--channels=2", "--format=s16le", "--file-format=wav", path});
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
    std::vector<double> ours, theirs, oursLen, theirLen;
    for (int run = 0; run < 3; ++run) {
        double cpu = 0, len = 0;
        if (!recordOurs(dir.filePath(QStringLiteral("ours%1.wav").arg(run)), cpu, len))
            return 1;
        ours.push_back(cpu);
        oursLen.push_back(len);
        if (!recordParecord(dir.filePath(QStringLiteral("parecord%1.wav").arg(run)), cpu, len))
            return 1;
        theirs.push_back(cpu);
        theirLen.push_back(len);
        std::printf("run %d: ours %.3f s CPU (%.3f s recorded), parecord %.3f s CPU (%.3f s in its file)\n", run,
                    ours.back(), oursLen.back(), theirs.back(), theirLen.back());
    }
    const double a = bench::median(ours), b = bench::median(theirs);
    std::printf("10 s recording, processor time: ours %.3f s, parecord %.3f s, ratio %.2f\n", a, b, b > 0 ? a / b : 0);
    bool lengthOk = true;
    for (double l : oursLen)
        lengthOk = lengthOk && std::abs(l - kSeconds) <= 0.05;
    std::printf("takes hold %d s +- 50 ms: %s\n", kSeconds, lengthOk ? "yes" : "NO");
    return lengthOk ? 0 : 2;
}
