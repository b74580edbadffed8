#include "tests/player/PlayerFixtures.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cmath>

#include "components/SoundDevice.h"
#include "tests/audiocomponents/AudioFixtures.h"

namespace playerfx {

QString writeSine(const QString& path, double seconds, double hz, int rate, int channels)
{
    const qint64 frames = qint64(seconds * rate);
    const quint32 dataLen = quint32(frames * channels * 2);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    QDataStream out(&f);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataLen);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(channels) << quint32(rate) << quint32(rate * channels * 2)
        << quint16(channels * 2) << quint16(16);
    out.writeRawData("data", 4);
    out << dataLen;
    for (qint64 i = 0; i < frames; ++i) {
        const qint16 s = qint16(0.5 * 32767 * std::sin(2 * M_PI * hz * double(i) / rate));
        for (int c = 0; c < channels; ++c)
            out << s;
    }
    return path;
}

QString writeSineMp3(const QString& path, double seconds, double hz)
{
    const QString wav = path + ".src.wav";
    if (writeSine(wav, seconds, hz).isEmpty())
        return QString();
    const bool ok = fixtures::runFfmpeg({"-i", wav, "-c:a", "libmp3lame", "-b:a", "128k", path});
    QFile::remove(wav);
    return ok ? path : QString();
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void pump(int ms)
{
    waitFor([] { return false; }, ms);
}

bool haveOutput()
{
    QList<kvsound::Device> outputs;
    return kvsound::listOutputs(&outputs) && !outputs.isEmpty();
}

} // namespace playerfx
