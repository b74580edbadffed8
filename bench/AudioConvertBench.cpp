// Conversion speed against the ffmpeg command line doing the same conversion,
// and the cost of opening many short files. Prints medians of 5 runs and the
// ratios (ours / reference; 1.0 or less is as fast or faster).
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

#include "components/cAudioConverter.h"
#include "bench/BenchAudio.h"

namespace {

using bench::median;

double timeOurs(const QString& in, const QString& out, int format)
{
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
    QElapsedTimer t;
    t.start();
    conv.StartConvert();
    loop.exec();
    const double s = t.nsecsElapsed() / 1e9;
    return ok ? s : -1;
}

double timeFfmpeg(const QStringList& args)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-nostdin", "-y"} + args);
    p.waitForFinished(-1);
    const double s = t.nsecsElapsed() / 1e9;
    return p.exitCode() == 0 ? s : -1;
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
    bool allOk = true;

    struct Case {
        const char* key;
        const char* name;
        int format;
        const char* ext;
        QStringList ffmpegCodec;
    };
    const Case cases[] = {
        {"mp3", "MP3 128 kbit/s CBR", 3, "mp3", {"-c:a", "libmp3lame", "-b:a", "128k", "-compression_level", "5"}},
        {"ogg", "OGG quality 5", 5, "ogg", {"-c:a", "libvorbis", "-q:a", "5"}},
    };
    for (const Case& c : cases) {
        if (!wanted(c.key))
            continue;
        std::vector<double> ours, ref;
        for (int i = 0; i < runs; ++i) {
            // Alternate, so that both see the same machine load.
            ours.push_back(timeOurs(wav, dir.path() + "/ours." + c.ext, c.format));
            ref.push_back(timeFfmpeg(QStringList{"-i", wav} + c.ffmpegCodec + QStringList{dir.path() + "/ref." + c.ext}));
        }
        const double mo = median(ours), mr = median(ref);
        const double ratio = mo / mr;
        allOk = allOk && mo > 0 && mr > 0 && ratio <= 1.0;
        std::printf("%-20s ours %.2f s  ffmpeg %.2f s  ratio %.3f  %s\n", c.name, mo, mr, ratio,
                    ratio <= 1.0 ? "ok" : "SLOWER");
    }

    if (!wanted("open"))
        return allOk ? 0 : 1;
    // Opening 1,000 short MP3 files and reading their length.
    const QString mp3Dir = dir.path() + "/many";
    QDir().mkpath(mp3Dir);
    const QString one = mp3Dir + "/one.mp3";
    timeFfmpeg({"-f", "lavfi", "-i", "sine=f=440:d=4", "-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k", one});
    for (int i = 0; i < 1000; ++i)
        QFile::copy(one, QStringLiteral("%1/f%2.mp3").arg(mp3Dir).arg(i, 4, 10, QLatin1Char('0')));
    std::vector<double> opens;
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
        if (total != 1000LL * 4000 && std::llabs(total - 1000LL * 4000) > 1000 * 60)
            std::printf("unexpected total length %lld ms\n", static_cast<long long>(total));
    }
    const double mo = median(opens);
    allOk = allOk && mo < 2.0;
    std::printf("%-20s %.3f s for 1,000 files  ratio to the 2 s budget %.3f  %s\n", "Open + length", mo, mo / 2.0,
                mo < 2.0 ? "ok" : "SLOWER");
    return allOk ? 0 : 1;
}
