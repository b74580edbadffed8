#pragma once
// Fixtures for the tag tests: MPEG audio bytes, hand-built ID3v2 tags and
// ID3v1 blocks, files in the test's temporary folder, and an independent
// reader of the version 2.3 tags Kelvane writes.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>
#include <vector>

// Readable QString values in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tagtest {

// frames MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz, 417 bytes each) with
// a varying payload, so that audio bytes can be compared after a write.
QByteArray mpegAudio(int frames, quint32 seed = 1);

QByteArray synchsafe(quint32 v);
QByteArray be32(quint32 v);

// One frame of a tag of the given version (2, 3 or 4); flags are the frame's
// flag bytes as written (versions 3 and 4).
QByteArray frame(int version, const QByteArray& id, const QByteArray& data, quint16 flags = 0);
// A whole tag: header (size from the frames and padding), frames, padding.
QByteArray tag(int version, const QByteArray& frames, int padding = 0, quint8 headerFlags = 0);

// Text frame content: the encoding byte, then the text in that encoding.
QByteArray latin1Text(const QByteArray& text);
QByteArray utf16Text(const QString& text, bool bigEndianBom = false);

// A 128-byte ID3v1 block.
QByteArray v1Block(const QByteArray& title, const QByteArray& artist, const QByteArray& album,
                   const QByteArray& year, const QByteArray& comment30, quint8 genre);

// A file in this test process's temporary folder.
QString writeFile(const QString& name, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// The names in a folder, hidden ones included.
QStringList folderEntries(const QString& folder);
QString tempFolder();

// Frames of a version 2.3 tag at the start of bytes, read without Kelvane's code.
struct RawFrame {
    QByteArray id;
    quint16 flags = 0;
    QByteArray data;
    bool operator==(const RawFrame& o) const { return id == o.id && flags == o.flags && data == o.data; }
};
struct RawTag {
    bool found = false;
    int version = 0;
    quint8 flags = 0;
    quint32 size = 0; // header size field
    std::vector<RawFrame> frames;
    qint64 space() const { return 10 + qint64(size); }
};
RawTag readV23(const QByteArray& file);
// The frames with the given identifier, in order.
std::vector<RawFrame> framesWithId(const RawTag& t, const QByteArray& id);

} // namespace tagtest
