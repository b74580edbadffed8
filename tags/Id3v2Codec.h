#pragma once
// The byte side of ID3v2 tags, without any file access: the header, the
// frames of versions 2.2, 2.3 and 2.4 as read, their texts, and the
// version 2.3 image the writer puts into a file.
#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace id3v2 {

// One tag of a frame: the value the field properties show, and for a frame
// taken from a file, the frame's data exactly as a version 2.3 tag carries it.
struct TagEntry {
    QString text;        // the value: the text of a text frame, comment, lyrics, address or counter
    QString description; // the description of COMM, USLT, WXXX and TXXX frames
    QByteArray raw;      // the frame data as read (after any unsynchronisation is undone)
    quint16 flags = 0;   // its version 2.3 frame flags
    bool kept = false;   // raw and flags are written back unchanged
    bool readable = true; // false for encrypted content and content that would not inflate
};

struct Frame {
    QString id;
    std::vector<TagEntry> tags;
};

struct Header {
    quint8 version = 0;
    quint8 revision = 0;
    quint8 flags = 0;
    quint32 size = 0; // bytes after the 10-byte header, the footer left out
    // Bytes from "ID3" to the end of the tag, footer included.
    qint64 space() const { return 10 + qint64(size) + ((version == 4 && (flags & 0x10)) ? 10 : 0); }
};

constexpr int kHeaderSize = 10;

quint32 readSynchsafe(const char* p);
void writeSynchsafe(char* p, quint32 value);

// The header at the start of a file of fileSize bytes, when those 10 bytes
// begin a valid tag: "ID3", version 2 to 4, size bytes below 0x80, and a tag
// that fits inside the file.
std::optional<Header> parseHeader(const char* first10, qint64 fileSize);

struct ReadFrame {
    QString id; // the version 2.3 identifier
    TagEntry entry;
};

// The frames of a tag, in file order. body holds the header's size bytes
// that follow the 10-byte header.
std::vector<ReadFrame> parseFrames(const Header& header, const QByteArray& body);

// Text encodings of the encoding byte.
enum Encoding : quint8 { Latin1 = 0, Utf16 = 1, Utf16BE = 2, Utf8 = 3 };

// Frames whose tags are told apart by a description.
bool hasDescription(const QString& id);

// A version 2.3 frame data for a tag that was set or added rather than read.
// False when the value cannot be written (a play counter that is no number).
bool buildFrameData(const QString& id, const TagEntry& entry, QByteArray& data);

// The version 2.3 image of a store: header (its size field left 0), every
// frame, then four zero bytes. 0 on success, else the failure's number.
qint32 buildImage(const std::vector<Frame>& store, QByteArray& image);

// Inflates a zlib stream, giving up beyond maxOut bytes.
std::optional<QByteArray> inflate(const QByteArray& in, qint64 maxOut);

} // namespace id3v2
