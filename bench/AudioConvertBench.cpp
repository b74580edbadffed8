// Conversion speed against the ffmpeg command line doing the same conversion,
// and the cost of opening many short files. What each side pays: ours runs
// in this process (the component built inside the clock, one encoding
// thread, no process start); ffmpeg pays its process start and encodes on
// one thread. Wall and processor time for both. Both outputs are decoded by
// ffmpeg and must hold the source's format and length (within one frame of
// the codec). Prints medians of 5 runs and the ratios (ours / reference;
// 1.0 or less is as fast or faster); the goals and verdicts come last.
#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "components/audio/cAudioConverter.h"
#include "bench/BenchAudio.h"

namespace {

using bench::median;

bench::Cost timeOurs(const QString& in, const QString& out, int format)
{
    const double c0 = bench::cpuSelf();
    QElapsedTimer t;
    t.start();
    cAudioConverter conv;
    conv.setOutputFormat(format);
    MP3Settings m{};
    m.Bitrate = 128;
    m.Mode = 1; // joint stereo, as the command line's default
    m.SampleRate = 44100;
    m.Quality = 5;
    conv.SetMP3Settings(m);
    conv.SetOGGSettings({0, 0, 50});
    conv.setInputFile(in);
    conv.setOutputFile(out);
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&conv, &cAudioConverter::JobDone, [&] { ok = true; loop.quit(); });
    QObject::connect(&conv, &cAudioConverter::JobError, [&](int, const QString& text) {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
        loop.quit();
    });
    conv.StartConvert();
    loop.exec();
    return {ok ? t.nsecsElapsed() / 1e9 : -1, bench::cpuSelf() - c0};
}

} // namespace

// Arguments pick the parts to run: mp3, ogg, open (all when none is given).
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList only = app.arguments().mid(1);
    auto wanted = [&](const char* key) { return only.isEmpty() || only.contains(QLatin1String(key)); };
    QTemporaryDir dir;
    const QString wav = dir.path() + "/ten-minutes.wav";
    std::printf("Writing a 10-minute 44.1 kHz stereo WAV...\n");
    bench::writeMusicWav(wav, 600);
    const int runs = 5;
    bench::Goals goals;

    struct Case {
        const char* key;
        const char* name;
        int format;
        const char* ext;
        const char* codecName;
        QStringList ffmpegCodec;
    };
    const Case cases[] = {
        {"mp3", "MP3 128 kbit/s CBR", 3, "mp3", "mp3", {"-c:a", "libmp3lame", "-b:a", "128k", "-compression_level", "5"}},
        {"ogg", "OGG quality 5", 5, "ogg", "vorbis", {"-c:a", "libvorbis", "-q:a", "5"}},
    };
    const qint64 sourceFrames = 600LL * 44100;
    for (const Case& c : cases) {
        if (!wanted(c.key))
            continue;
        std::vector<bench::Cost> ours, ref;
        const QString oursOut = dir.path() + "/ours." + c.ext, refOut = dir.path() + "/ref." + c.ext;
        for (int i = 0; i < runs; ++i) {
            // Alternate, so that both see the same machine load.
            ours.push_back(timeOurs(wav, oursOut, c.format));
            ref.push_back(bench::runFfmpeg(QStringList{"-i", wav} + c.ffmpegCodec + QStringList{refOut}));
        }
        const bench::Cost mo = bench::medianCost(ours), mr = bench::medianCost(ref);
        const bool ran = bench::allOk(ours) && bench::allOk(ref);
        std::printf("%-20s ours %.2f s (%.2f s CPU)  ffmpeg %.2f s (%.2f s CPU)  ratio %.3f\n", c.name, mo.wall, mo.cpu,
                    mr.wall, mr.cpu, mo.wall / mr.wall);
        goals.judge(QStringLiteral("%1, ours / ffmpeg wall time").arg(c.name),
                    ran ? QString::number(mo.wall / mr.wall, 'f', 3) : "a run failed", "at most 1.0",
                    ran && mo.wall <= mr.wall);
        const bench::Decoded a = bench::decode(oursOut), b = bench::decode(refOut);
        std::printf("  decoded: ours %s %d Hz %d ch %+lld frames, ffmpeg %s %d Hz %d ch %+lld frames\n",
                    qPrintable(a.codec), a.rate, a.channels, (long long)(a.frames - sourceFrames), qPrintable(b.codec),
                    b.rate, b.channels, (long long)(b.frames - sourceFrames));
        const qint64 frame = c.format == 3 ? 1152 : 2048; // an MP3 frame; a Vorbis long block
        auto right = [&](const bench::Decoded& d) {
            return d.ok() && d.codec == c.codecName && d.rate == 44100 && d.channels == 2 &&
                   std::llabs(d.frames - sourceFrames) <= frame;
        };
        goals.judge(QStringLiteral("%1 outputs decoded, ours / ffmpeg").arg(c.name),
                    QStringLiteral("%1 / %2").arg(right(a) ? "right" : "wrong", right(b) ? "right" : "wrong"),
                    QStringLiteral("%1, 44.1 kHz stereo, 10 min within %2 frames").arg(c.codecName).arg(frame),
                    right(a) && right(b));
    }

    if (!wanted("open"))
        return goals.finish();
    // Opening 1,000 short MP3 files and reading their length.
    const QString mp3Dir = dir.path() + "/many";
    QDir().mkpath(mp3Dir);
    const QString one = mp3Dir + "/one.mp3";
    bench::runFfmpeg({"-f", "lavfi", "-i", "sine=f=440:d=4", "-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k", one});
    for (int i = 0; i < 1000; ++i)
        QFile::copy(one, QStringLiteral("%1/f%2.mp3").arg(mp3Dir).arg(i, 4, 10, QLatin1Char('0')));
    std::vector<double> opens;
    qint64 lastTotal = 0;
    for (int r = 0; r < runs; ++r) {
        cAudioConverter conv;
        QElapsedTimer t;
        t.start();
        qint64 total = 0;
        for (int i = 0; i < 1000; ++i) {
            if (conv.OpenSourceFile(QStringLiteral("%1/f%2.mp3").arg(mp3Dir).arg(i, 4, 10, QLatin1Char('0'))) == 0)
                total += conv.DurationMs();
            conv.CloseSourceFile();
        }
        opens.push_back(t.nsecsElapsed() / 1e9);
        lastTotal = total;
    }
    const double mo = median(opens);
    std::printf("%-20s %.3f s for 1,000 files\n", "Open + length", mo);
    goals.judge("opening 1,000 short MP3 files and reading their length", QStringLiteral("%1 s").arg(mo, 0, 'f', 3),
                "under 2 s", mo < 2.0);
    // Each file is 4 s; a length read from the frame count may be off by a frame.
    goals.judge("their lengths, in all", QStringLiteral("%1 ms").arg(lastTotal), "4,000,000 ms +- 60 ms a file",
                std::llabs(lastTotal - 1000LL * 4000) <= 1000 * 60);
    return goals.finish();
}
