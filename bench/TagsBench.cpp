// Reads the tags of many MP3 files with Kelvane's tag classes and with
// TagLib in the same run, and prints the time ratio (Kelvane / TagLib).
// Then updates one field of a large file whose tag has room and prints the
// bytes written, which must be the changed part of the tag area and its undo
// copy alone.
//   bench_tags [file count, default 10000]
#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "bench/BenchAudio.h"
#include "tags/cMP3ID3v1.h"
#include "tags/cMP3ID3v2.h"

namespace {

QByteArray synchsafe(quint32 v)
{
    QByteArray b(4, '\0');
    b[0] = char((v >> 21) & 0x7F);
    b[1] = char((v >> 14) & 0x7F);
    b[2] = char((v >> 7) & 0x7F);
    b[3] = char(v & 0x7F);
    return b;
}

QByteArray frame(int version, const QByteArray& id, const QByteArray& data)
{
    const quint32 n = quint32(data.size());
    const char plain[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    const QByteArray size = version == 4 ? synchsafe(n) : QByteArray(plain, 4);
    return id + size + QByteArray(2, '\0') + data;
}

QByteArray utf16(const QString& s)
{
    QByteArray out("\x01\xFF\xFE", 3);
    for (const QChar c : s)
        out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return out;
}

QByteArray audio(int frames, quint32 seed)
{
    QByteArray out;
    quint32 x = seed;
    for (int f = 0; f < frames; ++f) {
        out.append("\xFF\xFB\x90\x00", 4);
        for (int i = 4; i < 417; ++i) {
            x = x * 1103515245u + 12345u;
            out.append(char(x >> 16));
        }
    }
    return out;
}

// Three kinds of file in turn: a plain 2.3 tag, a 2.4 tag in UTF-8, and a
// 2.3 tag in UTF-16 with a cover picture; each with an ID3v1 block.
QByteArray makeFile(int i)
{
    const QByteArray n = QByteArray::number(i);
    const int kind = i % 3;
    const int version = kind == 1 ? 4 : 3;
    QByteArray frames;
    if (kind == 2) {
        frames += frame(3, "TIT2", utf16(QString::fromUtf8("Titel \xc3\xbc ") + QString::number(i)));
        frames += frame(3, "TPE1", utf16(QString::fromUtf8("K\xc3\xbcnstler ") + QString::number(i % 97)));
        frames += frame(3, "APIC", QByteArray("\0image/jpeg\0\x03\0", 13) + audio(10, quint32(i)).left(4000));
    } else {
        const char enc = kind == 1 ? '\x03' : '\0';
        frames += frame(version, "TIT2", QByteArray(1, enc) + "Title " + n);
        frames += frame(version, "TPE1", QByteArray(1, enc) + "Artist " + QByteArray::number(i % 97));
    }
    frames += frame(version, "TALB", QByteArray(1, '\0') + "Album " + QByteArray::number(i % 13));
    frames += frame(version, version == 4 ? "TDRC" : "TYER", QByteArray(1, '\0') + "2001");
    frames += frame(version, "TRCK", QByteArray(1, '\0') + QByteArray::number(i % 20 + 1));
    frames += frame(version, "TCON", QByteArray(1, '\0') + "(17)");
    frames += frame(version, "COMM", QByteArray("\0eng\0Comment ", 13) + n);
    const int padding = 1024;
    QByteArray tag = QByteArray("ID3") + char(version) + QByteArray(2, '\0') + synchsafe(quint32(frames.size() + padding));
    tag += frames + QByteArray(padding, '\0');
    QByteArray v1("TAG");
    v1 += ("Title " + n).leftJustified(30, '\0') + QByteArray("Artist").leftJustified(30, '\0') +
          QByteArray("Album").leftJustified(30, '\0') + "2001" + QByteArray(28, '\0') + '\0' + char(i % 20) + char(17);
    return tag + audio(8, quint32(i)) + v1;
}

qint64 bytesWritten()
{
    QFile io("/proc/self/io");
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("wchar:"))
            return line.mid(6).trimmed().toLongLong();
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    QTemporaryDir dir;
    std::vector<QString> paths;
    std::vector<QByteArray> nativePaths;
    for (int i = 0; i < count; ++i) {
        const QString p = dir.path() + QStringLiteral("/%1.mp3").arg(i, 5, 10, QLatin1Char('0'));
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(p));
            return 2;
        }
        f.write(makeFile(i));
        paths.push_back(p);
        nativePaths.push_back(QFile::encodeName(p));
    }

    qint64 best[2] = {-1, -1};
    size_t check[2] = {0, 0};
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer clock;
        clock.start();
        size_t sum = 0;
        for (const QString& p : paths) {
            cMP3ID3v1 v1;
            v1.setMP3File(p);
            cMP3ID3v2 v2;
            v2.setMP3File(p);
            sum += size_t(v1.Title().size() + v2.Title().size() + v2.Artist().size() + v2.Comment().size());
        }
        const qint64 kelvane = clock.nsecsElapsed();
        check[0] = sum;

        clock.restart();
        sum = 0;
        for (const QByteArray& p : nativePaths) {
            TagLib::MPEG::File f(p.constData(), false);
            if (TagLib::ID3v1::Tag* t1 = f.ID3v1Tag())
                sum += t1->title().size();
            if (TagLib::ID3v2::Tag* t2 = f.ID3v2Tag())
                sum += t2->title().size() + t2->artist().size() + t2->comment().size();
        }
        const qint64 taglib = clock.nsecsElapsed();
        check[1] = sum;
        if (round > 0) { // the first round warms the page cache
            best[0] = best[0] < 0 ? kelvane : std::min(best[0], kelvane);
            best[1] = best[1] < 0 ? taglib : std::min(best[1], taglib);
        }
    }
    const double ratio = double(best[0]) / double(best[1]);
    std::printf("read tags of %d files: Kelvane %.1f ms, TagLib %.1f ms, ratio %.3f (both in this process, one "
                "thread, best of 2 warm rounds)\n",
                count, best[0] / 1e6, best[1] / 1e6, ratio);
    bench::Goals goals;
    goals.judge("reading tags, Kelvane / TagLib", QString::number(ratio, 'f', 3), "at most 1.0", ratio <= 1.0);
    goals.judge("text read, Kelvane / TagLib (characters in all)", QStringLiteral("%1 / %2").arg(check[0]).arg(check[1]),
                "the same", check[0] == check[1]);

    // One field of a 32 MB file whose tag has room.
    const QString big = dir.path() + "/big.mp3";
    {
        QFile f(big);
        f.open(QIODevice::WriteOnly);
        f.write(makeFile(0));
        const QByteArray chunk = audio(2000, 9);
        while (f.size() < (32 << 20))
            f.write(chunk);
    }
    const qint64 size = QFile(big).size();
    cMP3ID3v2 t;
    t.setMP3File(big);
    t.setTitle("A new title");
    const qint64 before = bytesWritten();
    QElapsedTimer clock;
    clock.start();
    const bool ok = t.Update();
    const qint64 written = bytesWritten() - before;
    const double ms = clock.nsecsElapsed() / 1e6;
    QFile f(big);
    f.open(QIODevice::ReadOnly);
    const QByteArray head = f.read(10);
    const qint64 space = 10 + ((qint64(head[6]) << 21) | (qint64(head[7]) << 14) | (qint64(head[8]) << 7) | head[9]);
    // The changed bytes of the tag, and the same bytes saved first to undo a
    // write cut short: never the audio.
    const bool inPlace = ok && written > 0 && written <= 2 * space + 4096;
    std::printf("update one field of a %.0f MB file: %lld bytes written (tag area %lld), %.2f ms\n", size / 1048576.0,
                static_cast<long long>(written), static_cast<long long>(space), ms);
    goals.judge("bytes written to update one field", QString::number(written),
                "at most twice the tag area (the change and its undo copy)", inPlace);
    return goals.finish();
}
