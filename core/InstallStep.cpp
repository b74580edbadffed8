#include "core/InstallStep.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageWriter>
#include <cmath>

#include "components/audio/AudioCodecLists.h"
#include "core/Edition.h"
#include "core/Formats.h"
#include "core/Startup.h"
#include "core/TextFiles.h"
#include "core/WindowHelpers.h"
#include "platform/Colors.h"
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

QList<FirstRunValue> FirstRunValues(const QString& programDir)
{
    const QString off = QStringLiteral("0");
    const QString on = QStringLiteral("1");
    // White on a mid-blue strip: a contrast of about 7:1.
    const QString appColor = QString::number(platform::colorToBgr(QColor(0x2B, 0x5A, 0x8C)));
    const QString textColor = QString::number(platform::colorToBgr(QColor(Qt::white)));
    QList<FirstRunValue> values = {
        {"General", "cboDevices", "-1"},
        {"General", "cboTargetFormat", DestinationFormatTexts().at(2)},
        {"General", "chkSelectTheLastItem", off},
        {"General", "chkAutoFreeDB", off},
        {"General", "cboFileName", DesignFileNameTemplates().at(0)},
        {"General", "chkSaveLogWhenExit", off},
        {"General", "chkDisplayMSGWhenExit", off},
        {"General", "chkDisplayMSGWhenErase", off},
        {"General", "chkGoToNextItem", off},
        {"General", "chkDisplayPlayer", on},
        {"General", "chkClearOnExit", off},
        {"General", "chkDisplayAudioGraph", on},
        {"General", "chkMenuXPStyle", off},
        {"General", "chkDisplayGridHotTrack", off},
        {"General", "chkDisplayTitle", on},
        {"General", "chkDisplayGridLine", off},
        {"General", "picColor", appColor},
        {"General", "picTextColor", textColor},
        {"General", "chkDisplayLiveUpdateWindow", off},
        {"General", "chkAutoUpdate", off},
        {"Display", "picColor", appColor},
        {"Display", "picTextColor", textColor},
        {"Events", "chkOpenDestFolder", off},
        {"Events", "chkTurnOffComputer", off},
        {"Events", "chkPlaySound", off},
        {"Events", "chkNoticeApp", off},
        {"Events", "txtAppNotice", QString()},
        {"ID3 Tags", "chkCopyID3FromSource", on},
    };
    // The format settings as the Audio Format dialog shows them before it
    // reads a store, written out in its own stored forms; PCM is CD audio.
    const QString wav = "Formats\\WAV", acm = "Formats\\ACM", mp3 = "Formats\\MP3", wma = "Formats\\WMA",
                  ogg = "Formats\\OGG", ape = "Formats\\APE";
    values += QList<FirstRunValue>{
        {wav, "cboSamplesWAV", "44100"},
        {wav, "cboBitrateWAV", "16"},
        {wav, "cboChannelsWAV", "1"}, // position of "Stereo"
        {acm, "cboTags", "PCM"},
        {acm, "cboFormats", kvaudio::acmFormatName({44100, 16, 2})},
        {mp3, "cboMP3Bitrate", "128"},
        {mp3, "cboMP3Quality", "5 "},
        {mp3, "cboMP3Samplerate", "44100"},
        {mp3, "cboMP3Mode", "0"},
        {mp3, "chkMP3ErrorProtect", off},
        {mp3, "chkMP3Original", on},
        {mp3, "chkMP3Copyright", on},
        {mp3, "chkMP3StrictISO", off},
        {mp3, "cboMP3VBRQuality", "5 "},
        {mp3, "cboMP3MinBitrate", "96"},
        {mp3, "cboMP3MaxBitrate", "128"},
        {mp3, "chkMP3VBRTag", on},
        {mp3, "chkMP3VBRForceMinBitrate", off},
        {mp3, "chkMP3ABR", off},
        {mp3, "cboMP3ABRBitrate", "96"},
        {mp3, "lblMP3Advanced", "Advanced..."},
        {wma, "cboWMACodecs", "0"},
        {wma, "cboWMAFormat", "0"},
        {ogg, "ptnQualityOGG", "True"},
        {ogg, "sldOGG", "50"},
        {ogg, "optOggBit", "False"},
        {ogg, "cboOggBitNom", "32"},
        {ape, "cboAPELevel", "0"},
    };
    for (const char* tag : {"txtTagArtist", "txtTagSong", "txtTagAlbum", "txtTagTrack", "txtTagGenre", "txtTagYear",
                            "txtTagComment"})
        values.append({"ID3 Tags", QString::fromLatin1(tag), QString()});
    // The lists folder is left to the program, which also puts it into the path history.
    if (!programDir.isEmpty())
        values.append({"Events", "txtPlayAtEnd", QDir(programDir).absoluteFilePath("sound/notify.wav")});
    return values;
}

bool WriteFirstRunValues(const QString& programDir)
{
    if (g_sAppName.isEmpty())
        SetAppModes();
    bool ok = true;
    for (const FirstRunValue& v : FirstRunValues(programDir)) {
        const QString key = MachineKeyRoot() + "\\" + v.subKey;
        if (platform::SettingsStore::value(platform::Hive::LocalMachine, key, v.name))
            continue;
        ok = platform::SettingsStore::setValue(platform::Hive::LocalMachine, key, v.name, v.value) && ok;
    }
    return ok;
}

namespace {

// One argument of an Exec line: quoted when it holds a reserved character,
// then escaped for the entry's string type.
QString execArgument(const QString& arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = arg.isEmpty();
    for (QChar c : arg)
        quote = quote || reserved.contains(c);
    QString out;
    for (QChar c : arg) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += '\\';
        out += c;
    }
    if (quote)
        out = '"' + out + '"';
    out.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    out.replace(QLatin1String("%"), QLatin1String("%%"));
    return out;
}

} // namespace

QByteArray DesktopEntryText(const QString& programDir)
{
    const QString exe = QDir(programDir).absoluteFilePath(QStringLiteral("kelvane"));
    QString text;
    text += "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=Kelvane\n";
    text += "GenericName=Audio Toolbox\n";
    text += "Comment=Audio toolbox for lists of audio files\n";
    text += "Exec=" + execArgument(exe) + "\n";
    text += "Icon=kelvane\n";
    text += "Terminal=false\n";
    text += "Categories=AudioVideo;Audio;\n";
    text += "StartupNotify=true\n";
    return text.toUtf8();
}

bool InstallDesktopEntry(const QString& shareDir, const QString& programDir)
{
    QDir share(shareDir);
    bool ok = share.mkpath("applications");
    ok = ok && WriteFileAtomically(share.filePath("applications/kelvane.desktop"), DesktopEntryText(programDir));
    const QIcon icon = ProgramIcon(QStringLiteral("aaa"));
    for (int size : {16, 24, 32, 48}) {
        const QString sub = QStringLiteral("icons/hicolor/%1x%1/apps").arg(size);
        if (!share.mkpath(sub)) {
            ok = false;
            continue;
        }
        ok = icon.pixmap(size, size).toImage().save(share.filePath(sub + "/kelvane.png"), "PNG") && ok;
    }
    return ok;
}
