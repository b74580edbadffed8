#include "tests/components/audio/PrivateSink.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QtEndian>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "components/audio/SoundDevice.h"
#include "tests/components/audio/PlayerFixtures.h"

namespace recfx {

namespace {

QString pactl(const QStringList& args, bool* ok = nullptr)
{
    QProcess p;
    p.start(QStringLiteral("pactl"), args);
    const bool done = p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok)
        *ok = done;
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

} // namespace

PrivateSink::PrivateSink()
{
    // One private sink at a time across test processes: loading and unloading
    // sources renumbers the inputs that another test is about to pick.
    const QByteArray lockPath = qgetenv("XDG_RUNTIME_DIR").isEmpty()
                                    ? QByteArray("/tmp/kelvane-private-sink.lock")
                                    : qgetenv("XDG_RUNTIME_DIR") + "/kelvane-private-sink.lock";
    m_lock = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lock >= 0)
        ::flock(m_lock, LOCK_EX);
    static std::atomic<int> counter{0};
    const QString tag = QStringLiteral("kvrec%1_%2").arg(::getpid()).arg(counter++);
    m_sink = tag + QStringLiteral("_sink");
    m_source = tag + QStringLiteral("_mic");
    bool ok = false;
    m_sinkModule = pactl({"load-module", "module-null-sink", "sink_name=" + m_sink}, &ok);
    if (!ok)
        return;
    m_sourceModule = pactl(
        {"load-module", "module-remap-source", "master=" + m_sink + ".monitor", "source_name=" + m_source}, &ok);
    m_ok = ok;
}

PrivateSink::~PrivateSink()
{
    stopPlaying();
    if (!m_sourceModule.isEmpty())
        pactl({"unload-module", m_sourceModule});
    if (!m_sinkModule.isEmpty())
        pactl({"unload-module", m_sinkModule});
    if (m_lock >= 0)
        ::close(m_lock);
}

long PrivateSink::inputIndex(int waitMs) const
{
    long found = -1;
    playerfx::waitFor(
        [&] {
            QList<kvsound::Device> inputs;
            kvsound::listInputs(&inputs);
            for (int i = 0; i < inputs.size(); ++i)
                if (inputs.at(i).id == m_source)
                    found = i;
            return found >= 0;
        },
        waitMs);
    return found;
}

bool PrivateSink::startPlaying(const QString& wav)
{
    stopPlaying();
    qint64 pid = -1;
    if (!QProcess::startDetached(QStringLiteral("paplay"), {"--device=" + m_sink, wav}, QString(), &pid))
        return false;
    m_player = pid;
    return true;
}

void PrivateSink::stopPlaying()
{
    if (m_player > 0) {
        ::kill(pid_t(m_player), SIGTERM);
        m_player = -1;
    }
}

WAVEFORMATEX pcmFormat(int bits, int rate, int channels)
{
    WAVEFORMATEX f;
    f.nChannels = quint16(channels);
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = quint16(bits);
    f.nBlockAlign = quint16(bits / 8 * channels);
    f.nAvgBytesPerSec = f.nBlockAlign * rate;
    return f;
}

WavFile readWav(const QString& path)
{
    WavFile w;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return w;
    const QByteArray all = f.readAll();
    w.fileSize = all.size();
    if (all.size() < 44 || !all.startsWith("RIFF") || all.mid(8, 8) != "WAVEfmt " || all.mid(36, 4) != "data")
        return w;
    const auto* p = reinterpret_cast<const uchar*>(all.constData());
    w.riffSize = qFromLittleEndian<quint32>(p + 4);
    w.formatTag = qFromLittleEndian<quint16>(p + 20);
    w.channels = qFromLittleEndian<quint16>(p + 22);
    w.rate = qFromLittleEndian<quint32>(p + 24);
    w.byteRate = qFromLittleEndian<quint32>(p + 28);
    w.blockAlign = qFromLittleEndian<quint16>(p + 32);
    w.bits = qFromLittleEndian<quint16>(p + 34);
    w.dataSize = qFromLittleEndian<quint32>(p + 40);
    w.data = all.mid(44);
    w.valid = true;
    return w;
}

double dominantHz(const WavFile& wav)
{
    if (!wav.valid || wav.blockAlign == 0 || wav.rate == 0)
        return 0;
    const qint64 frames = qMin<qint64>(wav.dataSize, wav.data.size()) / wav.blockAlign;
    auto sample = [&](qint64 i) {
        const char* p = wav.data.constData() + i * wav.blockAlign;
        return wav.bits == 8 ? double(uchar(p[0])) - 128.0 : double(qFromLittleEndian<qint16>(p));
    };
    // Crossings of a small band around zero, so that noise on silence counts nothing.
    int crossings = 0;
    int side = 0;
    qint64 first = -1, last = -1;
    const double band = wav.bits == 8 ? 4 : 1000;
    for (qint64 i = 0; i < frames; ++i) {
        const double s = sample(i);
        const int now = s > band ? 1 : s < -band ? -1 : 0;
        if (now != 0 && side != 0 && now != side) {
            ++crossings;
            if (first < 0)
                first = i;
            last = i;
        }
        if (now != 0)
            side = now;
    }
    if (crossings < 2 || last <= first)
        return 0;
    return double(crossings - 1) / 2.0 / (double(last - first) / wav.rate);
}

} // namespace recfx
