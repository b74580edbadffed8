// The player against the sound server's own tools, both heard through the
// null sink's monitor:
//  - from the play command to the first sound reaching the sink, for a WAV
//    (reference: paplay) and an MP3 (reference: ffplay -nodisp);
//  - processor time while a file plays with both graphs fed every 100 ms
//    (reference: ffplay -nodisp playing the same MP3).
// What each side pays: start-up counts on both sides. Ours is timed from
// before the player component (and, for the processor time, its two graphs)
// is built, in this process, so no process start; the references are timed
// from their process start (paplay: libpulse connection; ffplay: SDL and
// FFmpeg start-up).
// Prints medians (5 runs for the first sound, 3 for processor time) and
// ratios (ours / reference); the goals and verdicts come last. Needs the
// null sink (source scripts/pulse.sh).
#include <QApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

#include "components/audio/SoundDevice.h"
#include "components/audio/cAudioGraph.h"
#include "components/audio/cPlayer.h"
#include "bench/BenchAudio.h"

namespace {

using bench::median;

QElapsedTimer g_clock;

using bench::cpuSeconds;

void pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

// Listens to the null sink's monitor (the default input) and notes when sound first comes.
class Listener {
public:
    bool start()
    {
        kvsound::StreamFormat fmt;
        fmt.rate = 44100;
        fmt.channels = 2;
        fmt.type = kvsound::SampleType::S16;
        // 10 ms pieces; the sound thread looks at each.
        if (!m_stream.startCapture(QString(), fmt, 10, [this](const void* data, size_t bytes) { take(data, bytes); },
                                   nullptr))
            return false;
        return m_stream.waitReady(3000) > 0;
    }
    void stop() { m_stream.stop(); }
    // Waits until the sink has been silent for a while.
    void waitForSilence()
    {
        QElapsedTimer t;
        t.start();
        m_heardAt = -1;
        qint64 quietSince = g_clock.elapsed();
        while (t.elapsed() < 5000) {
            pump(20);
            if (m_heardAt >= 0) {
                m_heardAt = -1;
                quietSince = g_clock.elapsed();
            } else if (g_clock.elapsed() - quietSince > 300) {
                return;
            }
        }
    }
    void arm() { m_heardAt = -1; }
    qint64 heardAt() const { return m_heardAt; }

private:
    void take(const void* data, size_t bytes)
    {
        const auto* s = static_cast<const qint16*>(data);
        for (size_t i = 0; i < bytes / 2; ++i)
            if (std::abs(int(s[i])) > 1000) {
                qint64 none = -1;
                m_heardAt.compare_exchange_strong(none, g_clock.elapsed());
                return;
            }
    }
    kvsound::Stream m_stream;
    std::atomic<qint64> m_heardAt{-1};
};

double waitHeard(Listener& l, qint64 t0)
{
    QElapsedTimer t;
    t.start();
    while (l.heardAt() < 0 && t.elapsed() < 3000)
        pump(1);
    return l.heardAt() < 0 ? -1 : double(l.heardAt() - t0);
}

double ourFirstSound(Listener& l, const QString& file)
{
    l.waitForSilence();
    l.arm();
    const qint64 t0 = g_clock.elapsed();
    cPlayer player;
    if (player.PlayFile(file, -1) != 0)
        return -1;
    const double ms = waitHeard(l, t0);
    player.StopPlayback();
    return ms;
}

double referenceFirstSound(Listener& l, const QString& program, const QStringList& args)
{
    l.waitForSilence();
    l.arm();
    QProcess p;
    const qint64 t0 = g_clock.elapsed();
    p.start(program, args);
    const double ms = waitHeard(l, t0);
    p.kill();
    p.waitForFinished(3000);
    return ms;
}

struct CpuRun {
    double cpu = 0;
    double wall = 0;
};

CpuRun ourCpu(const QString& file)
{
    const double c0 = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer wall;
    wall.start();
    cAudioGraph amp(cAudioGraph::AmplitudeGraph);
    cAudioGraph freq(cAudioGraph::FrequencyGraph);
    amp.resize(60, 34);
    freq.resize(60, 34);
    amp.show();
    freq.show();
    cPlayer player;
    bool ended = false;
    QObject::connect(&player, &cPlayer::PlayEnded, [&] { ended = true; });
    QTimer feed;
    feed.setInterval(100);
    QObject::connect(&feed, &QTimer::timeout, [&] {
        if (!player.IsPlaying())
            return;
        for (cAudioGraph* g : {&amp, &freq}) {
            g->DrawData(player.AudioData());
            g->RefreshGraph();
        }
    });
    if (player.PlayFile(file, -1) != 0)
        return {};
    feed.start();
    QEventLoop loop;
    QObject::connect(&player, &cPlayer::PlayEnded, &loop, &QEventLoop::quit);
    loop.exec();
    feed.stop();
    return {cpuSeconds(RUSAGE_SELF) - c0, wall.elapsed() / 1000.0};
}

CpuRun referenceCpu(const QString& file)
{
    const double c0 = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer wall;
    wall.start();
    QProcess p;
    p.start(QStringLiteral("ffplay"), {"-nodisp", "-autoexit", "-loglevel", "quiet", file});
    p.waitForFinished(60000);
    return {cpuSeconds(RUSAGE_CHILDREN) - c0, wall.elapsed() / 1000.0};
}

} // namespace

int run(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    g_clock.start();
    QList<kvsound::Device> outputs;
    if (!kvsound::listOutputs(&outputs) || outputs.isEmpty()) {
        std::fprintf(stderr, "no audio output: source scripts/pulse.sh first\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString wav = dir.filePath("bench.wav");
    const QString mp3 = dir.filePath("bench.mp3");
    // A chord that moves, so that every part of the file is loud enough to hear.
    bench::writeWav(wav, 10 * 44100, [](qint64 i, int) {
        const double t = double(i) / 44100;
        const double f0 = 220.0 * std::pow(2.0, std::floor(std::fmod(t * 2, 12.0)) / 12.0);
        return 0.4 * std::sin(2 * M_PI * f0 * t) + 0.2 * std::sin(2 * M_PI * f0 * 1.5 * t);
    });
    QProcess enc;
    enc.start("ffmpeg", {"-hide_banner", "-loglevel", "error", "-y", "-i", wav, "-b:a", "192k", mp3});
    if (!enc.waitForFinished(60000) || enc.exitCode() != 0) {
        std::fprintf(stderr, "ffmpeg could not make the MP3\n");
        return 1;
    }

    Listener listener;
    if (!listener.start()) {
        std::fprintf(stderr, "cannot listen to the sink's monitor\n");
        return 1;
    }
    pump(300);

    const int runs = 5;
    bench::Goals goals;
    std::printf("First sound at the sink after the play command (median of %d, ms; heard through the monitor):\n",
                runs);
    struct Latency {
        const char* name;
        QString file;
        QString program;
        QStringList args;
    };
    const Latency cases[] = {
        {"WAV", wav, "paplay", {wav}},
        {"MP3", mp3, "ffplay", {"-nodisp", "-autoexit", "-loglevel", "quiet", mp3}},
    };
    for (const Latency& c : cases) {
        std::vector<double> ours, ref;
        for (int i = 0; i < runs; ++i) {
            ours.push_back(ourFirstSound(listener, c.file));
            ref.push_back(referenceFirstSound(listener, c.program, c.args));
        }
        const double o = median(ours), r = median(ref);
        std::printf("  %-4s Kelvane %7.1f   %-7s %7.1f   ratio %.2f\n", c.name, o, qPrintable(c.program), r,
                    r > 0 ? o / r : 0.0);
        // The listener hears in 10 ms pieces: a difference below one piece is not measured.
        goals.judge(QStringLiteral("first sound of the %1, ours / %2").arg(c.name, c.program),
                    QStringLiteral("%1 ms / %2 ms").arg(o, 0, 'f', 1).arg(r, 0, 'f', 1),
                    QStringLiteral("no later than %1 + 10 ms").arg(c.program), o >= 0 && r >= 0 && o <= r + 10);
    }
    listener.stop();

    std::printf("Processor time while playing the 10 s MP3 (%% of one core, median of 3):\n");
    std::vector<double> oursPct, refPct, oursCpu, refCpu;
    for (int i = 0; i < 3; ++i) {
        const CpuRun o = ourCpu(mp3);
        const CpuRun r = referenceCpu(mp3);
        oursCpu.push_back(o.cpu);
        refCpu.push_back(r.cpu);
        oursPct.push_back(o.wall > 0 ? 100 * o.cpu / o.wall : 0);
        refPct.push_back(r.wall > 0 ? 100 * r.cpu / r.wall : 0);
    }
    const double op = median(oursPct), rp = median(refPct);
    std::printf("  Kelvane with both graphs %5.2f %% (%.3f s CPU; component and graphs built inside the count, no "
                "process start)\n",
                op, median(oursCpu));
    std::printf("  ffplay -nodisp           %5.2f %% (%.3f s CPU; its process start and SDL start-up included)\n", rp,
                median(refCpu));
    goals.judge("processor time playing with both graphs, ours / ffplay -nodisp",
                QString::number(rp > 0 ? op / rp : 0, 'f', 2), "at most 1.0", rp > 0 && op > 0 && op <= rp);
    return goals.finish();
}

int main(int argc, char** argv)
{
    const int rc = run(argc, argv);
    // The sound server's client library can abort in its teardown at exit.
    std::fflush(nullptr);
    std::_Exit(rc);
}
