#include "tests/components/audio/PlayerFixtures.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cmath>

#include "components/audio/SoundDevice.h"
#include "tests/components/audio/AudioFixtures.h"

namespace playerfx {

QString writeSine(const QString& path, double seconds, double hz, int rate, int channels)
{
    return fixtures::writeSineWav(path, seconds, rate, channels, 0.5, hz);
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
