#include "tests/tags/TagTestUtil.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include "tests/support/TestEnv.h"

namespace tagtest {

QByteArray mpegAudio(int frames, quint32 seed)
{
    QByteArray out;
    quint32 x = seed * 2654435761u + 12345u;
    for (int f = 0; f < frames; ++f) {
        out.append("\xFF\xFB\x90\x00", 4);
        for (int i = 4; i < 417; ++i) {
            x = x * 1103515245u + 12345u;
            out.append(char((x >> 16) & 0xFF));
        }
    }
    return out;
}

QByteArray synchsafe(quint32 v)
{
    QByteArray b(4, '\0');
    b[0] = char((v >> 21) & 0x7F);
    b[1] = char((v >> 14) & 0x7F);
    b[2] = char((v >> 7) & 0x7F);
    b[3] = char(v & 0x7F);
    return b;
}

QByteArray be32(quint32 v)
{
    QByteArray b(4, '\0');
    b[0] = char(v >> 24);
    b[1] = char(v >> 16);
    b[2] = char(v >> 8);
    b[3] = char(v);
    return b;
}

QByteArray frame(int version, const QByteArray& id, const QByteArray& data, quint16 flags)
{
    QByteArray out = id;
    if (version == 2) {
        const quint32 n = quint32(data.size());
        out.append(char(n >> 16)).append(char(n >> 8)).append(char(n));
    } else {
        out.append(version == 4 ? synchsafe(quint32(data.size())) : be32(quint32(data.size())));
        out.append(char(flags >> 8)).append(char(flags & 0xFF));
    }
    return out + data;
}

QByteArray tag(int version, const QByteArray& frames, int padding, quint8 headerFlags)
{
    QByteArray out("ID3");
    out.append(char(version)).append('\0').append(char(headerFlags));
    out.append(synchsafe(quint32(frames.size() + padding)));
    out.append(frames);
    out.append(QByteArray(padding, '\0'));
    return out;
}

QByteArray latin1Text(const QByteArray& text) { return QByteArray(1, '\0') + text; }

QByteArray utf16Text(const QString& text, bool bigEndianBom)
{
    QByteArray out(1, '\x01');
    out.append(bigEndianBom ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2));
    for (const QChar c : text) {
        const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
        if (bigEndianBom)
            out.append(hi).append(lo);
        else
            out.append(lo).append(hi);
    }
    return out;
}

QByteArray v1Block(const QByteArray& title, const QByteArray& artist, const QByteArray& album,
                   const QByteArray& year, const QByteArray& comment30, quint8 genre)
{
    auto field = [](const QByteArray& s, int w) { return s.left(w) + QByteArray(w - qMin(w, int(s.size())), '\0'); };
    QByteArray b("TAG");
    b += field(title, 30) + field(artist, 30) + field(album, 30) + field(year, 4) + field(comment30, 30);
    b.append(char(genre));
    return b;
}

QString tempFolder()
{
    const QString dir = testenv::tempRoot() + QStringLiteral("/files");
    QDir().mkpath(dir);
    return dir;
}

QString writeFile(const QString& name, const QByteArray& bytes)
{
    const QString path = tempFolder() + QLatin1Char('/') + name;
    // Rewritten without truncating to zero first: that makes ext4 flush on close.
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return QString();
    f.write(bytes);
    f.resize(bytes.size());
    return path;
}

QByteArray readFile(const QString& path)
{
    if (path.isEmpty())
        return QByteArray();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

RawTag readV23(const QByteArray& file)
{
    RawTag t;
    if (file.size() < 10 || !file.startsWith("ID3"))
        return t;
    t.found = true;
    t.version = quint8(file[3]);
    t.flags = quint8(file[5]);
    t.size = (quint32(quint8(file[6])) << 21) | (quint32(quint8(file[7])) << 14) | (quint32(quint8(file[8])) << 7) |
             quint8(file[9]);
    const qint64 end = qMin<qint64>(10 + t.size, file.size());
    qint64 pos = 10;
    while (pos + 10 <= end && file[int(pos)] != 0) {
        RawFrame f;
        f.id = file.mid(int(pos), 4);
        const quint32 size = (quint32(quint8(file[int(pos + 4)])) << 24) | (quint32(quint8(file[int(pos + 5)])) << 16) |
                             (quint32(quint8(file[int(pos + 6)])) << 8) | quint8(file[int(pos + 7)]);
        f.flags = quint16((quint8(file[int(pos + 8)]) << 8) | quint8(file[int(pos + 9)]));
        if (pos + 10 + size > end)
            break;
        f.data = file.mid(int(pos + 10), int(size));
        t.frames.push_back(f);
        pos += 10 + size;
    }
    return t;
}

std::vector<RawFrame> framesWithId(const RawTag& t, const QByteArray& id)
{
    std::vector<RawFrame> out;
    for (const auto& f : t.frames)
        if (f.id == id)
            out.push_back(f);
    return out;
}

} // namespace tagtest
