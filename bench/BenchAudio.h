#pragma once
// Generated 16-bit stereo WAV material, timed runs of peer programs, and
// the goals each benchmark judges, shared by the benchmarks.
#include <QCryptographicHash>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <sys/resource.h>
#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace bench {

// Writes a 44.1 kHz 16-bit stereo WAV of `frames` frames; sample(i, c) gives
// each sample in -1..1.
inline void writeWav(const QString& path, qint64 frames, const std::function<double(qint64, int)>& sample)
{
    const int rate = 44100, ch = 2;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return;
    QDataStream out(&f);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 dataLen = quint32(frames * ch * 2);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataLen);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(ch) << quint32(rate) << quint32(rate * ch * 2) << quint16(ch * 2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << dataLen;
    std::vector<qint16> buf;
    buf.reserve(size_t(rate) * ch);
    for (qint64 i = 0; i < frames; ++i) {
        for (int c = 0; c < ch; ++c)
            buf.push_back(qint16(32767 * std::clamp(sample(i, c), -1.0, 1.0)));
        if (buf.size() >= size_t(rate) * ch) {
            out.writeRawData(reinterpret_cast<const char*>(buf.data()), int(buf.size() * 2));
            buf.clear();
        }
    }
    out.writeRawData(reinterpret_cast<const char*>(buf.data()), int(buf.size() * 2));
}

// Music-like material: a few tones that move, plus some noise; other seeds
// give other keys and noise.
inline void writeMusicWav(const QString& path, int seconds, unsigned seed = 1)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    const double shift = (seed - 1) % 7;
    double base = 0;
    writeWav(path, qint64(seconds) * 44100, [&](qint64 i, int c) {
        if (c == 0) {
            const double t = double(i) / 44100;
            const double f0 = 220.0 * std::pow(2.0, (std::floor(std::fmod(t * 2, 12.0)) + shift) / 12.0);
            base = 0.3 * std::sin(2 * M_PI * f0 * t) + 0.15 * std::sin(2 * M_PI * f0 * 1.5 * t) +
                   0.1 * std::sin(2 * M_PI * f0 * 2.01 * t);
        }
        return base + 0.05 * noise(rng) + (c ? 0.02 : 0.0);
    });
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Processor seconds (user + system) of this process, or of its waited-for
// children.
inline double cpuSeconds(int who)
{
    rusage r{};
    getrusage(who, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}
inline double cpuSelf() { return cpuSeconds(RUSAGE_SELF); }
inline double cpuChildren() { return cpuSeconds(RUSAGE_CHILDREN); }

// Wall and processor time of one side of a comparison.
struct Cost {
    double wall = -1; // seconds; negative when the run failed
    double cpu = 0;   // seconds
    bool ok() const { return wall >= 0; }
};

// Runs a peer program to its end: its wall time (process start included)
// and its processor time.
inline Cost runProcess(const QString& program, const QStringList& args)
{
    const double c0 = cpuChildren();
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(program, args);
    const bool finished = p.waitForFinished(-1);
    Cost c;
    c.cpu = cpuChildren() - c0;
    if (finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        c.wall = double(t.nsecsElapsed()) / 1e9;
    else
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
    return c;
}

inline Cost runFfmpeg(const QStringList& args)
{
    return runProcess(QStringLiteral("ffmpeg"), QStringList{"-hide_banner", "-loglevel", "error", "-nostdin", "-y"} + args);
}

// Medians of wall and processor time over runs (failed runs make the wall
// median negative when they are the majority).
inline Cost medianCost(const std::vector<Cost>& runs)
{
    std::vector<double> wall, cpu;
    for (const Cost& c : runs) {
        wall.push_back(c.wall);
        cpu.push_back(c.cpu);
    }
    return {median(wall), median(cpu)};
}

inline bool allOk(const std::vector<Cost>& runs)
{
    return !runs.empty() && std::all_of(runs.begin(), runs.end(), [](const Cost& c) { return c.ok(); });
}

// What an output file holds, read from outside by ffprobe and decoded whole
// by ffmpeg (gapless headers honoured): the first audio stream's codec, rate
// and channels, the decoded frames, and a hash of the 16-bit samples.
struct Decoded {
    QString codec;
    int rate = 0;
    int channels = 0;
    qint64 frames = -1;
    QByteArray pcmHash;
    bool ok() const { return frames >= 0; }
};

inline Decoded decode(const QString& path)
{
    Decoded d;
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                            "stream=codec_name,sample_rate,channels", "-of", "csv=p=0", path});
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
        return d;
    const QStringList f = QString::fromUtf8(probe.readAllStandardOutput()).trimmed().split(QLatin1Char(','));
    if (f.size() < 3)
        return d;
    d.codec = f[0];
    d.rate = f[1].toInt();
    d.channels = f[2].toInt();
    QProcess dec;
    dec.start(QStringLiteral("ffmpeg"), {"-hide_banner", "-loglevel", "error", "-nostdin", "-i", path, "-map", "0:a:0",
                                         "-f", "s16le", "-acodec", "pcm_s16le", "-"});
    QCryptographicHash hash(QCryptographicHash::Sha1);
    qint64 bytes = 0;
    while (dec.state() != QProcess::NotRunning || dec.bytesAvailable() > 0) {
        if (dec.bytesAvailable() == 0 && !dec.waitForReadyRead(60000) && dec.state() != QProcess::NotRunning)
            break;
        const QByteArray chunk = dec.readAllStandardOutput();
        bytes += chunk.size();
        hash.addData(chunk);
    }
    dec.waitForFinished(60000);
    if (dec.exitStatus() == QProcess::NormalExit && dec.exitCode() == 0 && d.channels > 0) {
        d.frames = bytes / (2 * d.channels);
        d.pcmHash = hash.result();
    }
    return d;
}

// The goals a benchmark judges. Each is printed last, one line per goal,
// with its figure and "met" or "MISSED"; exitCode() is non-zero when any
// goal is missed.
class Goals {
public:
    bool judge(const QString& what, const QString& figure, const QString& goal, bool met)
    {
        m_lines.push_back({what, figure, goal, met});
        m_missed = m_missed || !met;
        return met;
    }
    // Prints the verdict lines and gives the exit code.
    int finish() const
    {
        std::printf("\nGoals:\n");
        for (const Line& l : m_lines)
            std::printf("  %s: %s (goal: %s) %s\n", qPrintable(l.what), qPrintable(l.figure), qPrintable(l.goal),
                        l.met ? "met" : "MISSED");
        std::fflush(stdout);
        return m_missed || m_lines.empty() ? 1 : 0;
    }

private:
    struct Line {
        QString what, figure, goal;
        bool met;
    };
    std::vector<Line> m_lines;
    bool m_missed = false;
};

} // namespace bench
