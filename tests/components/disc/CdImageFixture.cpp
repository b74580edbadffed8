#include "tests/components/disc/CdImageFixture.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace cdimage {

QString msf(int sector)
{
    return QStringLiteral("%1:%2:%3")
        .arg(sector / kSecond / 60, 2, 10, QChar('0'))
        .arg(sector / kSecond % 60, 2, 10, QChar('0'))
        .arg(sector % kSecond, 2, 10, QChar('0'));
}

Image writeImage(const QString& dir, const QString& base, const std::vector<TrackSpec>& tracks, quint32 seed,
                 const QString& binName)
{
    Image img;
    img.cue = dir + "/" + base + ".cue";
    img.bin = dir + "/" + (binName.isEmpty() ? base + ".bin" : binName);
    quint32 x = seed;
    QString cue = QStringLiteral("FILE \"%1\" BINARY\r\n").arg(QFileInfo(img.bin).fileName());
    int sector = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const TrackSpec& t = tracks[i];
        cue += QStringLiteral("  TRACK %1 %2\r\n").arg(int(i) + 1, 2, 10, QChar('0')).arg(t.audio ? "AUDIO" : "MODE1/2352");
        if (t.pregap > 0)
            cue += QStringLiteral("    INDEX 00 %1\r\n").arg(msf(sector));
        sector += t.pregap;
        cue += QStringLiteral("    INDEX 01 %1\r\n").arg(msf(sector));
        img.starts.push_back(sector);
        sector += t.sectors;
    }
    img.starts.push_back(sector);
    img.data.resize(qsizetype(sector) * kSector);
    for (char& c : img.data) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    QFile b(img.bin);
    EXPECT_TRUE(b.open(QIODevice::WriteOnly));
    b.write(img.data);
    b.close();
    QFile c(img.cue);
    EXPECT_TRUE(c.open(QIODevice::WriteOnly));
    c.write(cue.toUtf8());
    return img;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The audio of a canonical 44.1 kHz 16-bit stereo PCM WAV file; fails the test otherwise.
QByteArray wavPcm(const QString& path)
{
    const QByteArray w = readFile(path);
    auto u32 = [&](int at) { return quint32(uchar(w[at])) | quint32(uchar(w[at + 1])) << 8 | quint32(uchar(w[at + 2])) << 16 | quint32(uchar(w[at + 3])) << 24; };
    auto u16 = [&](int at) { return quint16(uchar(w[at]) | uchar(w[at + 1]) << 8); };
    if (w.size() < 44 || w.left(4) != "RIFF" || w.mid(8, 4) != "WAVE") {
        ADD_FAILURE() << "not a WAV file: " << path.toStdString();
        return {};
    }
    QByteArray pcm;
    bool fmtOk = false;
    for (int at = 12; at + 8 <= w.size();) {
        const QByteArray id = w.mid(at, 4);
        const quint32 len = u32(at + 4);
        if (id == "fmt ")
            fmtOk = u16(at + 8) == 1 && u16(at + 10) == 2 && u32(at + 12) == 44100 && u16(at + 22) == 16;
        if (id == "data")
            pcm = w.mid(at + 8, len);
        at += 8 + int(len) + int(len & 1);
    }
    EXPECT_TRUE(fmtOk) << "not 44.1 kHz 16-bit stereo PCM";
    return pcm;
}

void padCuePastOneMegabyte(const QString& cuePath)
{
    QFile c(cuePath);
    ASSERT_TRUE(c.open(QIODevice::Append)) << cuePath.toStdString();
    const QByteArray remark = "REM " + QByteArray(1000, 'x') + "\r\n";
    for (int i = 0; i < 1100; ++i)
        ASSERT_EQ(c.write(remark), remark.size());
}

} // namespace cdimage
