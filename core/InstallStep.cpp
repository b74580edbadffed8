#include "core/InstallStep.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <cmath>

#include "core/Edition.h"
#include "core/Startup.h"
#include "core/TextFiles.h"
#include "core/WindowHelpers.h"
#include "platform/SettingsStore.h"

QStringList MachineSubKeys()
{
    return {"General", "Events", "ID3 Tags", "Display", "Formats\\WAV", "Formats\\ACM",
            "Formats\\MP3", "Formats\\WMA", "Formats\\OGG", "Formats\\APE"};
}

bool CreateMachineKeys()
{
    if (g_sAppName.isEmpty())
        SetAppModes();
    bool ok = true;
    for (const QString& sub : MachineSubKeys())
        ok = platform::SettingsStore::createKey(platform::Hive::LocalMachine, MachineKeyRoot() + "\\" + sub) && ok;
    return ok;
}

namespace {

// A short two-note chime, 16-bit mono PCM.
QByteArray notifyWav()
{
    const int rate = 22050;
    QByteArray pcm;
    QDataStream out(&pcm, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const double notes[] = {880.0, 1318.5};
    for (double freq : notes) {
        const int n = rate * 18 / 100;
        for (int i = 0; i < n; ++i) {
            const double t = double(i) / rate;
            const double env = std::exp(-6.0 * t) * std::min(1.0, i / 200.0);
            out << qint16(std::lround(9000.0 * env * std::sin(2 * M_PI * freq * t)));
        }
    }
    QByteArray wav;
    QDataStream w(&wav, QIODevice::WriteOnly);
    w.setByteOrder(QDataStream::LittleEndian);
    w.writeRawData("RIFF", 4);
    w << quint32(36 + pcm.size());
    w.writeRawData("WAVEfmt ", 8);
    w << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2) << quint16(2) << quint16(16);
    w.writeRawData("data", 4);
    w << quint32(pcm.size());
    wav += pcm;
    return wav;
}

bool writeIfMissing(const QString& path, const QByteArray& data)
{
    if (QFile::exists(path))
        return true;
    return WriteFileAtomically(path, data);
}

} // namespace

bool LayOutProgramFolder(const QString& folder)
{
    QDir dir(folder);
    bool ok = dir.mkpath("Main") && dir.mkpath("View") && dir.mkpath("SysIcon") && dir.mkpath("sound");
    ok = writeIfMissing(dir.filePath("sound/notify.wav"), notifyWav()) && ok;
    const QString ico = dir.filePath("SysIcon/systrayicon.ico");
    if (!QFile::exists(ico)) {
        const QImage img = ProgramIcon(QStringLiteral("aaa")).pixmap(32, 32).toImage();
        QImageWriter writer(ico, "ico");
        ok = writer.write(img) && ok;
    }
    return ok;
}
