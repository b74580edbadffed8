#include "tags/Id3v2Codec.h"

#include <QStringList>
#include <cstring>
#include <zlib.h>

namespace id3v2 {
namespace {

quint32 be32(const char* p)
{
    return (quint32(quint8(p[0])) << 24) | (quint32(quint8(p[1])) << 16) | (quint32(quint8(p[2])) << 8) | quint8(p[3]);
}
quint32 be24(const char* p) { return (quint32(quint8(p[0])) << 16) | (quint32(quint8(p[1])) << 8) | quint8(p[2]); }
quint16 be16(const char* p) { return quint16((quint8(p[0]) << 8) | quint8(p[1])); }

void appendBe32(QByteArray& out, quint32 v)
{
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

bool isIdChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }
bool isId(const char* p, int n)
{
    for (int i = 0; i < n; ++i)
        if (!isIdChar(p[i]))
            return false;
    return true;
}

// Undoes unsynchronisation: every 0xFF 0x00 becomes 0xFF.
QByteArray resync(const QByteArray& in)
{
    const char* p = in.constData();
    const int n = in.size();
    const void* first = std::memchr(p, 0xFF, size_t(n));
    if (!first)
        return in;
    QByteArray out;
    out.reserve(n);
    for (int i = 0; i < n; ++i) {
        out.append(p[i]);
        if (quint8(p[i]) == 0xFF && i + 1 < n && p[i + 1] == 0)
            ++i;
    }
    return out;
}

// One string of the given encoding from data[pos], up to its terminator or
// the end; pos moves past the terminator. littleEndian carries the byte order
// of the last byte-order mark to strings of the same frame that have none.
QString readString(quint8 enc, const QByteArray& data, int& pos, bool& littleEndian)
{
    const char* p = data.constData();
    const int n = data.size();
    if (pos >= n)
        return QString();
    if (enc == Utf16 || enc == Utf16BE) {
        const int start = pos;
        int end = start;
        while (end + 1 < n && !(p[end] == 0 && p[end + 1] == 0))
            end += 2;
        int stop;
        if (end + 1 < n) {
            stop = end;
            pos = end + 2;
        } else {
            stop = start + ((n - start) / 2) * 2;
            pos = n;
        }
        int i = start;
        bool le = enc == Utf16 ? littleEndian : false;
        if (stop - i >= 2) {
            const quint8 b0 = quint8(p[i]), b1 = quint8(p[i + 1]);
            if (b0 == 0xFF && b1 == 0xFE) {
                le = true;
                i += 2;
            } else if (b0 == 0xFE && b1 == 0xFF) {
                le = false;
                i += 2;
            }
        }
        if (enc == Utf16)
            littleEndian = le;
        QString s((stop - i) / 2, Qt::Uninitialized);
        QChar* out = s.data();
        for (int k = 0; i + 1 < stop; i += 2, ++k) {
            const quint8 a = quint8(p[i]), b = quint8(p[i + 1]);
            out[k] = QChar(le ? char16_t(a | (b << 8)) : char16_t((a << 8) | b));
        }
        return s;
    }
    const int start = pos;
    const void* z = std::memchr(p + start, 0, size_t(n - start));
    const int stop = z ? int(static_cast<const char*>(z) - p) : n;
    pos = z ? stop + 1 : n;
    if (enc == Utf8) {
        int b = start;
        if (stop - b >= 3 && quint8(p[b]) == 0xEF && quint8(p[b + 1]) == 0xBB && quint8(p[b + 2]) == 0xBF)
            b += 3;
        return QString::fromUtf8(p + b, stop - b);
    }
    return QString::fromLatin1(p + start, stop - start);
}

// The strings of a text that runs to the end of the data, without the empty
// ones a closing terminator leaves.
QStringList readStrings(quint8 enc, const QByteArray& data, int pos, bool& littleEndian)
{
    QStringList values;
    while (pos < data.size())
        values << readString(enc, data, pos, littleEndian);
    while (!values.isEmpty() && values.last().isEmpty())
        values.removeLast();
    return values;
}

// Up to version 2.3 a text ends at its terminator; 2.4 lists several values,
// shown joined as version 2.3 joins them.
QString joinValues(const QStringList& values, int version)
{
    if (values.isEmpty())
        return QString();
    return version < 4 ? values.first() : values.join(QLatin1Char('/'));
}

quint8 encodingOf(const QByteArray& content, int& pos)
{
    const quint8 enc = quint8(content.at(0));
    if (enc <= Utf8) {
        pos = 1;
        return enc;
    }
    // No encoding byte at all: the text starts at once.
    pos = 0;
    return Latin1;
}

QString counterText(const QByteArray& c)
{
    // Base 256 to base 10, for counters of any length.
    std::vector<quint8> digits; // little-endian decimal digits
    for (const char ch : c) {
        int carry = quint8(ch);
        for (quint8& d : digits) {
            const int v = d * 256 + carry;
            d = quint8(v % 10);
            carry = v / 10;
        }
        while (carry) {
            digits.push_back(quint8(carry % 10));
            carry /= 10;
        }
    }
    if (digits.empty())
        return c.isEmpty() ? QString() : QStringLiteral("0");
    QString s;
    s.reserve(int(digits.size()));
    for (auto it = digits.rbegin(); it != digits.rend(); ++it)
        s.append(QChar('0' + *it));
    return s;
}

bool fitsLatin1(const QString& s)
{
    for (const QChar c : s)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

QByteArray encodeString(quint8 enc, const QString& s, bool terminate)
{
    QByteArray out;
    if (enc == Utf16) {
        out.reserve(2 + s.size() * 2 + 2);
        out.append(char(0xFF)).append(char(0xFE));
        for (const QChar c : s)
            out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        if (terminate)
            out.append('\0').append('\0');
        return out;
    }
    out.reserve(s.size() + 1);
    for (const QChar c : s)
        out.append(c.unicode() < 256 ? char(c.unicode()) : '?');
    if (terminate)
        out.append('\0');
    return out;
}

// Addresses are single-byte text; what Latin-1 cannot hold is percent-encoded.
QByteArray urlBytes(const QString& s)
{
    QByteArray out;
    for (const QChar c : s) {
        if (c.unicode() < 256) {
            out.append(char(c.unicode()));
        } else {
            const QByteArray u = QString(c).toUtf8();
            for (const char b : u)
                out.append('%').append(QByteArray::number(quint8(b), 16).rightJustified(2, '0').toUpper());
        }
    }
    return out;
}

quint8 pickEncoding(std::initializer_list<const QString*> texts)
{
    for (const QString* t : texts)
        if (!fitsLatin1(*t))
            return Utf16;
    return Latin1;
}

// Version 2.2 identifiers and their version 2.3 forms. Identifiers not listed
// are kept under "X" and the old identifier, the experimental range.
const char* const kV22Map[][2] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"}, {"EQU", "EQUA"},
    {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"MCI", "MCDI"}, {"MLL", "MLLT"}, {"PIC", "APIC"}, {"POP", "POPM"},
    {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"},
    {"TCM", "TCOM"}, {"TCO", "TCON"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"},
    {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"}, {"TMT", "TMED"},
    {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"}, {"TP1", "TPE1"},
    {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"},
    {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TSI", "TSIZ"}, {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"},
    {"TT3", "TIT3"}, {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"},
    {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"},
    {"WXX", "WXXX"}, {"TCP", "TCMP"}, {"TST", "TSOT"}, {"TSA", "TSOA"}, {"TSP", "TSOP"}, {"TS2", "TSO2"},
    {"TSC", "TSOC"},
};

QString mapV22(const char* id)
{
    for (const auto& m : kV22Map)
        if (std::memcmp(m[0], id, 3) == 0)
            return QLatin1String(m[1]);
    return QLatin1Char('X') + QLatin1String(id, 3);
}

// A version 2.2 picture names its format in three letters; 2.3 wants a type.
QByteArray pictureFromV22(const QByteArray& c)
{
    if (c.size() < 5)
        return c;
    const QByteArray format = c.mid(1, 3);
    QByteArray mime;
    if (format.toUpper() == "JPG")
        mime = "image/jpeg";
    else if (format.toUpper() == "PNG")
        mime = "image/png";
    else if (format == "-->")
        mime = "-->";
    else
        mime = "image/" + format.toLower();
    QByteArray out;
    out.reserve(c.size() + mime.size());
    out.append(c.at(0)).append(mime).append('\0').append(c.mid(4));
    return out;
}

struct Decoded {
    QString text;
    QString description;
};

// What the fields show of a frame's content.
Decoded decode(const QString& id, const QByteArray& c, int version)
{
    Decoded d;
    if (c.isEmpty() || id.isEmpty())
        return d;
    bool le = true;
    int pos = 0;
    if (id == QLatin1String("COMM") || id == QLatin1String("USLT")) {
        const quint8 enc = encodingOf(c, pos);
        const int start = pos;
        pos += 3; // language
        if (pos > c.size())
            return d;
        d.description = readString(enc, c, pos, le);
        d.text = readString(enc, c, pos, le);
        // Lyrics once written as the encoding byte, one zero byte and the text,
        // without language or description.
        if (id == QLatin1String("USLT") && enc == Latin1 && start == 1 && c.size() > 2 && c.at(1) == 0 &&
            !std::memchr(c.constData() + 2, 0, size_t(c.size() - 2))) {
            d.description.clear();
            d.text = QString::fromLatin1(c.constData() + 2, c.size() - 2);
        }
    } else if (id == QLatin1String("TXXX")) {
        const quint8 enc = encodingOf(c, pos);
        // Without an encoding byte the frame is no 2.4 frame of several values.
        const int rules = pos == 0 ? 3 : version;
        d.description = readString(enc, c, pos, le);
        d.text = joinValues(readStrings(enc, c, pos, le), rules);
    } else if (id == QLatin1String("WXXX")) {
        const quint8 enc = encodingOf(c, pos);
        d.description = readString(enc, c, pos, le);
        d.text = readString(Latin1, c, pos, le);
    } else if (id.at(0) == QLatin1Char('T')) {
        const quint8 enc = encodingOf(c, pos);
        d.text = joinValues(readStrings(enc, c, pos, le), pos == 0 ? 3 : version);
    } else if (id.at(0) == QLatin1Char('W')) {
        d.text = readString(Latin1, c, pos, le);
    } else if (id == QLatin1String("PCNT")) {
        d.text = counterText(c);
    }
    return d;
}

bool isDecoded(const QString& id)
{
    const QChar c0 = id.at(0);
    return c0 == QLatin1Char('T') || c0 == QLatin1Char('W') || id == QLatin1String("COMM") ||
           id == QLatin1String("USLT") || id == QLatin1String("PCNT");
}

// A version 2.4 frame in the encodings version 2.3 knows (Latin-1 or UTF-16
// with byte-order mark), with several values joined as 2.3 joins them.
// Frames that need neither, and frames of other kinds, come back unchanged.
QByteArray downgradeText(const QString& id, const QByteArray& c)
{
    if (c.isEmpty())
        return c;
    const quint8 enc0 = quint8(c.at(0));
    if (enc0 > Utf8)
        return c;
    bool le = true;
    int pos = 1;
    const bool comm = id == QLatin1String("COMM") || id == QLatin1String("USLT");
    if (comm) {
        if (enc0 < Utf16BE || c.size() < 4)
            return c;
        pos = 4;
        const QString desc = readString(enc0, c, pos, le);
        const QString text = readString(enc0, c, pos, le);
        const quint8 enc = pickEncoding({&desc, &text});
        return QByteArray(1, char(enc)) + c.mid(1, 3) + encodeString(enc, desc, true) + encodeString(enc, text, false);
    }
    if (id == QLatin1String("WXXX")) {
        if (enc0 < Utf16BE)
            return c;
        const QString desc = readString(enc0, c, pos, le);
        const quint8 enc = pickEncoding({&desc});
        return QByteArray(1, char(enc)) + encodeString(enc, desc, true) + c.mid(pos);
    }
    if (id == QLatin1String("APIC")) {
        if (enc0 < Utf16BE)
            return c;
        const char* z = static_cast<const char*>(std::memchr(c.constData() + 1, 0, size_t(c.size() - 1)));
        if (!z || z - c.constData() + 2 > c.size())
            return c;
        int p = int(z - c.constData()) + 1; // the picture type byte
        const QByteArray mimeAndType = c.mid(1, p);
        pos = p + 1;
        const QString desc = readString(enc0, c, pos, le);
        const quint8 enc = pickEncoding({&desc});
        return QByteArray(1, char(enc)) + mimeAndType + encodeString(enc, desc, true) + c.mid(pos);
    }
    if (id == QLatin1String("TXXX")) {
        const QString desc = readString(enc0, c, pos, le);
        const QStringList values = readStrings(enc0, c, pos, le);
        if (enc0 < Utf16BE && values.size() <= 1)
            return c;
        const QString text = values.join(QLatin1Char('/'));
        const quint8 enc = pickEncoding({&desc, &text});
        return QByteArray(1, char(enc)) + encodeString(enc, desc, true) + encodeString(enc, text, false);
    }
    if (id.at(0) == QLatin1Char('T')) {
        const QStringList values = readStrings(enc0, c, pos, le);
        if (enc0 < Utf16BE && values.size() <= 1)
            return c;
        const QString text = values.join(QLatin1Char('/'));
        const quint8 enc = pickEncoding({&text});
        return QByteArray(1, char(enc)) + encodeString(enc, text, false);
    }
    return c;
}

// Compressed frames are inflated for their texts only up to this size.
constexpr qint64 kMaxFieldText = 1 << 20;

// Whether the frame at pos of a version 2.4 tag begins where a frame or the
// padding may begin.
bool frameMayStartAt(const QByteArray& body, qint64 pos)
{
    if (pos == body.size())
        return true;
    if (pos > body.size())
        return false;
    if (body.at(int(pos)) == 0)
        return true;
    return pos + 4 <= body.size() && isId(body.constData() + pos, 4);
}

} // namespace

quint32 readSynchsafe(const char* p)
{
    return (quint32(quint8(p[0]) & 0x7F) << 21) | (quint32(quint8(p[1]) & 0x7F) << 14) |
           (quint32(quint8(p[2]) & 0x7F) << 7) | (quint32(quint8(p[3]) & 0x7F));
}

void writeSynchsafe(char* p, quint32 value)
{
    p[0] = char((value >> 21) & 0x7F);
    p[1] = char((value >> 14) & 0x7F);
    p[2] = char((value >> 7) & 0x7F);
    p[3] = char(value & 0x7F);
}

std::optional<Header> parseHeader(const char* h, qint64 fileSize)
{
    if (std::memcmp(h, "ID3", 3) != 0)
        return std::nullopt;
    const quint8 version = quint8(h[3]);
    if (version < 2 || version > 4 || quint8(h[4]) == 0xFF)
        return std::nullopt;
    for (int i = 6; i < 10; ++i)
        if (quint8(h[i]) & 0x80)
            return std::nullopt;
    Header header;
    header.version = version;
    header.revision = quint8(h[4]);
    header.flags = quint8(h[5]);
    header.size = readSynchsafe(h + 6);
    if (header.space() > fileSize)
        return std::nullopt;
    return header;
}

bool hasDescription(const QString& id)
{
    return id == QLatin1String("COMM") || id == QLatin1String("USLT") || id == QLatin1String("WXXX") ||
           id == QLatin1String("TXXX");
}

std::optional<QByteArray> inflate(const QByteArray& in, qint64 maxOut)
{
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    if (inflateInit(&zs) != Z_OK)
        return std::nullopt;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    zs.avail_in = uInt(in.size());
    QByteArray out;
    char buffer[16384];
    int rc;
    do {
        zs.next_out = reinterpret_cast<Bytef*>(buffer);
        zs.avail_out = sizeof buffer;
        rc = ::inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) {
            inflateEnd(&zs);
            return std::nullopt;
        }
        out.append(buffer, int(sizeof buffer - zs.avail_out));
        if (out.size() > maxOut) {
            inflateEnd(&zs);
            return std::nullopt;
        }
    } while (rc != Z_STREAM_END);
    inflateEnd(&zs);
    return out;
}

std::vector<ReadFrame> parseFrames(const Header& header, const QByteArray& tagBody)
{
    std::vector<ReadFrame> frames;
    const int version = header.version;
    // Version 2.2 announces compression of the whole tag with no scheme to undo it.
    if (version == 2 && (header.flags & 0x40))
        return frames;
    // Before 2.4 unsynchronisation covers the whole tag, extended header included.
    const QByteArray body = (version < 4 && (header.flags & 0x80)) ? resync(tagBody) : tagBody;
    const qint64 n = body.size();
    const char* p = body.constData();

    qint64 pos = 0;
    if (version >= 3 && (header.flags & 0x40)) {
        if (n < 4)
            return frames;
        // 2.3 counts the size without its own four bytes, 2.4 with them.
        const qint64 ext = version == 3 ? qint64(be32(p)) + 4 : qint64(readSynchsafe(p));
        if (ext < 6 || ext > n)
            return frames;
        pos = ext;
    }

    const int headerLen = version == 2 ? 6 : 10;
    const int idLen = version == 2 ? 3 : 4;
    while (pos + headerLen <= n) {
        const char* fh = p + pos;
        if (fh[0] == 0 || !isId(fh, idLen))
            break; // padding, or bytes that are no frame
        qint64 size;
        quint16 flags = 0;
        if (version == 2) {
            size = be24(fh + 3);
        } else if (version == 3) {
            size = be32(fh + 4);
            flags = be16(fh + 8);
        } else {
            // Some writers put plain sizes into 2.4 tags: take the reading
            // that lands on the next frame.
            const qint64 safe = readSynchsafe(fh + 4);
            const qint64 plain = be32(fh + 4);
            const bool highBits = (quint8(fh[4]) | quint8(fh[5]) | quint8(fh[6]) | quint8(fh[7])) & 0x80;
            size = safe;
            if (highBits || (safe != plain && !frameMayStartAt(body, pos + 10 + safe) &&
                             frameMayStartAt(body, pos + 10 + plain)))
                size = plain;
            flags = be16(fh + 8);
        }
        if (size > n - pos - headerLen)
            break; // the frame would run past the tag
        const QByteArray data = body.mid(int(pos + headerLen), int(size));
        pos += headerLen + size;

        ReadFrame rf;
        TagEntry& e = rf.entry;
        e.kept = true;
        QByteArray content; // what the fields decode
        bool readable = true;

        if (version == 2) {
            const char id[3] = {fh[0], fh[1], fh[2]};
            rf.id = mapV22(id);
            e.raw = rf.id == QLatin1String("APIC") ? pictureFromV22(data) : data;
            content = e.raw;
        } else if (version == 3) {
            rf.id = QString::fromLatin1(fh, 4);
            e.raw = data;
            e.flags = flags;
            const bool compressed = flags & 0x0080, encrypted = flags & 0x0040, grouped = flags & 0x0020;
            const int extra = (compressed ? 4 : 0) + (encrypted ? 1 : 0) + (grouped ? 1 : 0);
            if (encrypted || extra > data.size()) {
                readable = false;
            } else if (compressed) {
                if (isDecoded(rf.id)) {
                    const auto inflated = inflate(data.mid(extra), kMaxFieldText);
                    readable = bool(inflated);
                    if (inflated)
                        content = *inflated;
                } else {
                    readable = false;
                }
            } else {
                content = data.mid(extra);
            }
        } else {
            rf.id = QString::fromLatin1(fh, 4);
            const quint8 status = quint8(flags >> 8), format = quint8(flags);
            const bool unsync = (format & 0x02) || (header.flags & 0x80);
            const QByteArray d = unsync ? resync(data) : data;
            const bool grouped = format & 0x40, compressed = format & 0x08, encrypted = format & 0x04,
                       hasLength = format & 0x01;
            const int extra = (grouped ? 1 : 0) + (encrypted ? 1 : 0) + (hasLength ? 4 : 0);
            quint16 flags23 = quint16(((status & 0x40) ? 0x8000 : 0) | ((status & 0x20) ? 0x4000 : 0) |
                                      ((status & 0x10) ? 0x2000 : 0));
            if (extra > d.size()) {
                // Flags that promise more than the frame holds: take the bytes as content.
                content = downgradeText(rf.id, d);
                e.raw = content;
                e.flags = flags23;
            } else {
                int at = 0;
                char groupId = 0, method = 0;
                quint32 length = 0;
                if (grouped)
                    groupId = d.at(at++);
                if (encrypted)
                    method = d.at(at++);
                if (hasLength) {
                    length = readSynchsafe(d.constData() + at);
                    at += 4;
                }
                const QByteArray body4 = d.mid(at);
                QByteArray raw;
                std::optional<QByteArray> inflated;
                if (compressed && !encrypted && (!hasLength || isDecoded(rf.id)))
                    inflated = inflate(body4, kMaxFieldText);
                if (compressed) {
                    flags23 |= 0x0080;
                    // Without a stated length the frame is inflated only as far
                    // as a field may reach; one that goes further is kept raw,
                    // its length unknown (0).
                    if (!hasLength && !encrypted)
                        length = inflated ? quint32(inflated->size()) : 0;
                    appendBe32(raw, length);
                }
                if (encrypted) {
                    flags23 |= 0x0040;
                    raw.append(method);
                }
                if (grouped) {
                    flags23 |= 0x0020;
                    raw.append(groupId);
                }
                if (encrypted) {
                    readable = false;
                    raw.append(body4);
                } else if (compressed) {
                    raw.append(body4);
                    readable = isDecoded(rf.id) && inflated;
                    if (readable)
                        content = *inflated;
                } else {
                    content = downgradeText(rf.id, body4);
                    raw.append(content);
                }
                e.raw = raw;
                e.flags = flags23;
            }
        }

        e.readable = readable;
        if (readable) {
            Decoded dec = decode(rf.id, content, version);
            e.text = std::move(dec.text);
            e.description = std::move(dec.description);
        }
        frames.push_back(std::move(rf));
    }
    return frames;
}

bool buildFrameData(const QString& id, const TagEntry& e, QByteArray& out)
{
    out.clear();
    if (id == QLatin1String("COMM") || id == QLatin1String("USLT")) {
        const quint8 enc = pickEncoding({&e.text, &e.description});
        out.append(char(enc)).append("eng", 3);
        out.append(encodeString(enc, e.description, true)).append(encodeString(enc, e.text, false));
    } else if (id == QLatin1String("TXXX")) {
        const quint8 enc = pickEncoding({&e.text, &e.description});
        out.append(char(enc)).append(encodeString(enc, e.description, true)).append(encodeString(enc, e.text, false));
    } else if (id == QLatin1String("WXXX")) {
        const quint8 enc = pickEncoding({&e.description});
        out.append(char(enc)).append(encodeString(enc, e.description, true)).append(urlBytes(e.text));
    } else if (id.startsWith(QLatin1Char('W'))) {
        out = urlBytes(e.text);
    } else if (id == QLatin1String("PCNT")) {
        // A counter of at least four bytes, most significant first.
        const QString t = e.text.trimmed();
        if (t.isEmpty())
            return false;
        std::vector<quint8> bytes; // little-endian base 256
        for (const QChar c : t) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
            int carry = c.unicode() - '0';
            for (quint8& b : bytes) {
                const int v = b * 10 + carry;
                b = quint8(v & 0xFF);
                carry = v >> 8;
            }
            while (carry) {
                bytes.push_back(quint8(carry & 0xFF));
                carry >>= 8;
            }
        }
        while (bytes.size() < 4)
            bytes.push_back(0);
        for (auto it = bytes.rbegin(); it != bytes.rend(); ++it)
            out.append(char(*it));
    } else {
        const quint8 enc = pickEncoding({&e.text});
        out.append(char(enc)).append(encodeString(enc, e.text, false));
    }
    return true;
}

qint32 buildImage(const std::vector<Frame>& store, QByteArray& image)
{
    image = QByteArray("ID3\x03\x00\x00\x00\x00\x00\x00", kHeaderSize);
    QByteArray data;
    for (const Frame& f : store) {
        if (f.id.contains(QLatin1String("ID3")))
            continue;
        if (f.id.size() < 4)
            return 5; // invalid procedure call or argument
        const QByteArray id = f.id.left(4).toLatin1();
        if (!isId(id.constData(), 4))
            return 5;
        for (const TagEntry& e : f.tags) {
            const QByteArray* bytes = &e.raw;
            quint16 flags = e.flags;
            if (!e.kept) {
                if (!buildFrameData(f.id, e, data))
                    return 13; // type mismatch
                bytes = &data;
                flags = 0;
            }
            image.append(id);
            appendBe32(image, quint32(bytes->size()));
            image.append(char(flags >> 8)).append(char(flags & 0xFF));
            image.append(*bytes);
        }
    }
    image.append(QByteArray(4, '\0'));
    return 0;
}

} // namespace id3v2
