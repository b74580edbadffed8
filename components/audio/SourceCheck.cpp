#include "components/audio/SourceCheck.h"

#include <QByteArray>
#include <QFile>
#include <cstdint>
#include <cstring>

#include "components/audio/WavFile.h"

namespace kvaudio {
namespace {

uint32_t le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint64_t le64(const unsigned char* p) { return le32(p) | (uint64_t(le32(p + 4)) << 32); }
uint32_t be32(const unsigned char* p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

QByteArray readAt(QFile& f, qint64 pos, qint64 len)
{
    if (pos < 0 || !f.seek(pos))
        return {};
    return f.read(len);
}

// ---- WAV: the data chunk must fit in the file and hold something.
SourceVerdict checkWav(QFile& f)
{
    QByteArray form;
    bool found = false;
    WavChunk data;
    WalkWavChunks(
        f,
        [&](const WavChunk& c) {
            if (c.id != "data")
                return true;
            found = true;
            data = c;
            return false;
        },
        &form);
    if ((form != "RIFF" && form != "RF64") || !found)
        return SourceVerdict::NotAudio;
    if (form == "RIFF" && data.size == 0xFFFFFFFFu)
        return SourceVerdict::Fine; // written by a streaming writer: the length is unknown
    if (data.size == 0)
        return SourceVerdict::Empty;
    if (data.size > uint64_t(f.size() - data.offset))
        return SourceVerdict::Truncated;
    return SourceVerdict::Fine;
}

// ---- MP3: frame headers must chain; the last frame must be whole, and a
// Xing/Info or VBRI header's byte count must be present.
struct MpegHeader {
    int version = 0; // 1 MPEG-1, 2 MPEG-2, 25 MPEG-2.5
    int layer = 0;
    int sampleRate = 0;
    int length = 0;
    bool mono = false;
    uint32_t family = 0; // bits that stay the same over a stream
};

bool parseMpegHeader(const unsigned char* b, MpegHeader* out)
{
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0)
        return false;
    const int verBits = (b[1] >> 3) & 3, layerBits = (b[1] >> 1) & 3;
    const int brIdx = b[2] >> 4, srIdx = (b[2] >> 2) & 3, pad = (b[2] >> 1) & 1;
    if (verBits == 1 || layerBits == 0 || brIdx == 0 || brIdx == 15 || srIdx == 3)
        return false;
    static const int rates[3] = {44100, 48000, 32000};
    static const int br[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    MpegHeader h;
    h.version = verBits == 3 ? 1 : verBits == 2 ? 2 : 25;
    h.layer = 4 - layerBits;
    h.sampleRate = rates[srIdx] / (h.version == 1 ? 1 : h.version == 2 ? 2 : 4);
    const int kbps = br[h.version == 1 ? 0 : 1][h.layer - 1][brIdx];
    if (h.layer == 1)
        h.length = (12 * kbps * 1000 / h.sampleRate + pad) * 4;
    else if (h.layer == 3 && h.version != 1)
        h.length = 72 * kbps * 1000 / h.sampleRate + pad;
    else
        h.length = 144 * kbps * 1000 / h.sampleRate + pad;
    h.mono = ((b[3] >> 6) & 3) == 3;
    h.family = (uint32_t(b[1]) << 8 | (b[2] & 0x0C));
    if (h.length < 21)
        return false;
    *out = h;
    return true;
}

SourceVerdict checkMp3(QFile& f)
{
    const qint64 size = f.size();
    qint64 start = 0;
    // One or more ID3v2 tags may stand before the audio.
    for (int n = 0; n < 8; ++n) {
        const QByteArray t = readAt(f, start, 10);
        if (t.size() < 10 || !t.startsWith("ID3"))
            break;
        const auto* p = reinterpret_cast<const unsigned char*>(t.constData());
        if ((p[6] | p[7] | p[8] | p[9]) & 0x80)
            break;
        const qint64 len = (qint64(p[6]) << 21) | (p[7] << 14) | (p[8] << 7) | p[9];
        start += 10 + len + ((p[5] & 0x10) ? 10 : 0);
    }
    // Tags at the end are not audio.
    qint64 end = size;
    for (int n = 0; n < 4; ++n) {
        if (end - 128 >= start && readAt(f, end - 128, 3) == "TAG") {
            end -= 128;
            continue;
        }
        const QByteArray ape = readAt(f, end - 32, 32);
        if (ape.size() == 32 && ape.startsWith("APETAGEX")) {
            const auto* p = reinterpret_cast<const unsigned char*>(ape.constData());
            const qint64 tagSize = le32(p + 12);
            const bool hasHeader = le32(p + 20) & 0x80000000u;
            if (tagSize >= 32 && end - tagSize - (hasHeader ? 32 : 0) >= start) {
                end -= tagSize + (hasHeader ? 32 : 0);
                continue;
            }
        }
        break;
    }
    if (end <= start)
        return SourceVerdict::Empty;
    qint64 firstFrameHint = -1;

    // Finds a frame at which a chain of frames starts inside buf (file offset
    // base). Without `like` it wants three frames in a row, or a chain that
    // ends exactly at the end of the audio. With `like` (the stream's first
    // frame) it follows a chain of that stream to the end of the audio and
    // tells whether the last frame runs past it. Returns -1 when none is found.
    auto findChain = [&](const QByteArray& buf, qint64 base, const MpegHeader* like, MpegHeader* first,
                         bool* partialEnd) -> qint64 {
        const auto* b = reinterpret_cast<const unsigned char*>(buf.constData());
        const qint64 n = buf.size();
        for (qint64 i = 0; i + 4 <= n; ++i) {
            MpegHeader h0;
            if (b[i] != 0xFF || !parseMpegHeader(b + i, &h0))
                continue;
            if (like && h0.family != like->family)
                continue;
            qint64 pos = i;
            int frames = 0;
            MpegHeader h = h0;
            bool ok = false, partial = false;
            while (true) {
                const qint64 next = pos + h.length;
                ++frames;
                if (base + next == end) {
                    ok = true;
                    break;
                }
                if (base + next > end) {
                    partial = true;
                    ok = frames >= 3 || base + i == firstFrameHint;
                    break;
                }
                if (!like && frames >= 3) {
                    ok = true;
                    break;
                }
                if (next + 4 > n) {
                    ok = like != nullptr && frames >= 3; // a few stray bytes before the end
                    break;
                }
                MpegHeader hn;
                if (!parseMpegHeader(b + next, &hn) || hn.family != h0.family)
                    break;
                pos = next;
                h = hn;
            }
            if (ok) {
                *first = h0;
                *partialEnd = partial;
                return base + i;
            }
        }
        return -1;
    };

    const qint64 headLen = qMin<qint64>(end - start, 512 * 1024);
    const QByteArray head = readAt(f, start, headLen);
    MpegHeader first;
    bool partial = false;
    const qint64 firstPos = findChain(head, start, nullptr, &first, &partial);
    if (firstPos < 0)
        return SourceVerdict::NotAudio;
    firstFrameHint = firstPos;

    // Xing/Info or VBRI: the byte count the encoder wrote.
    const qint64 rel = firstPos - start;
    const auto* fb = reinterpret_cast<const unsigned char*>(head.constData()) + rel;
    const qint64 avail = head.size() - rel;
    const int side = first.version == 1 ? (first.mono ? 17 : 32) : (first.mono ? 9 : 17);
    qint64 declaredBytes = 0;
    if (avail >= 4 + side + 16 && (memcmp(fb + 4 + side, "Xing", 4) == 0 || memcmp(fb + 4 + side, "Info", 4) == 0)) {
        const unsigned char* x = fb + 4 + side;
        const uint32_t flags = be32(x + 4);
        int off = 8;
        if (flags & 1)
            off += 4;
        if ((flags & 2) && avail >= 4 + side + off + 4)
            declaredBytes = be32(x + off);
    } else if (avail >= 36 + 14 && memcmp(fb + 36, "VBRI", 4) == 0) {
        declaredBytes = be32(fb + 36 + 10);
    }
    // Some encoders count the tags in too: measured against the whole file.
    if (declaredBytes > 0 && firstPos + declaredBytes > size + first.length)
        return SourceVerdict::Truncated;

    // The end: the chain that reaches it must not stop inside a frame.
    const qint64 tailStart = qMax(firstPos, end - 64 * 1024);
    const QByteArray tail = readAt(f, tailStart, end - tailStart + 4);
    bool tailPartial = false;
    MpegHeader tailFirst;
    if (findChain(tail, tailStart, &first, &tailFirst, &tailPartial) >= 0 && tailPartial)
        return SourceVerdict::Truncated;
    return SourceVerdict::Fine;
}

// ---- Ogg: pages must run to the end of the file, the last one ending the stream.
SourceVerdict checkOgg(QFile& f)
{
    const qint64 size = f.size();
    if (readAt(f, 0, 4) != "OggS")
        return SourceVerdict::NotAudio;
    const qint64 tailStart = qMax<qint64>(0, size - 96 * 1024);
    const QByteArray tail = readAt(f, tailStart, size - tailStart);
    const auto* b = reinterpret_cast<const unsigned char*>(tail.constData());
    const qint64 n = tail.size();
    auto pageLen = [&](qint64 i) -> qint64 {
        if (i + 27 > n || memcmp(b + i, "OggS", 4) != 0 || b[i + 4] != 0)
            return -1;
        const int segs = b[i + 26];
        if (i + 27 + segs > n)
            return -2; // the page header itself is cut
        qint64 len = 27 + segs;
        for (int s = 0; s < segs; ++s)
            len += b[i + 27 + s];
        return len;
    };
    for (qint64 i = 0; i + 4 <= n; ++i) {
        if (memcmp(b + i, "OggS", 4) != 0)
            continue;
        qint64 pos = i, last = -1;
        int pages = 0;
        while (pos < n) {
            const qint64 len = pageLen(pos);
            if (len == -2 || (len > 0 && pos + len > n))
                return pages > 0 || i == 0 ? SourceVerdict::Truncated : SourceVerdict::Fine;
            if (len < 0)
                break;
            last = pos;
            pos += len;
            ++pages;
        }
        if (pos == n && last >= 0)
            return (b[last + 5] & 0x04) ? SourceVerdict::Fine : SourceVerdict::Truncated;
        // Not a page boundary after all: look further.
    }
    return SourceVerdict::Fine;
}

// ---- ASF: the data object must fit in the file.
SourceVerdict checkAsf(QFile& f)
{
    static const unsigned char header[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    static const unsigned char data[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                           0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    const qint64 size = f.size();
    const QByteArray h = readAt(f, 0, 24);
    if (h.size() < 24 || memcmp(h.constData(), header, 16) != 0)
        return SourceVerdict::NotAudio;
    const uint64_t headerLen = le64(reinterpret_cast<const unsigned char*>(h.constData()) + 16);
    if (headerLen > uint64_t(size))
        return SourceVerdict::Truncated;
    const QByteArray d = readAt(f, qint64(headerLen), 24);
    if (d.size() < 24 || memcmp(d.constData(), data, 16) != 0)
        return headerLen == uint64_t(size) ? SourceVerdict::Empty : SourceVerdict::Fine;
    const uint64_t dataLen = le64(reinterpret_cast<const unsigned char*>(d.constData()) + 16);
    if (dataLen >= 50 && headerLen + dataLen > uint64_t(size))
        return SourceVerdict::Truncated;
    return SourceVerdict::Fine;
}

} // namespace

SourceVerdict checkSourceStructure(const QString& path, const QString& container)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return SourceVerdict::NotAudio;
    if (f.size() == 0)
        return SourceVerdict::Empty;
    if (container == QLatin1String("wav"))
        return checkWav(f);
    if (container == QLatin1String("mp3"))
        return checkMp3(f);
    if (container == QLatin1String("ogg"))
        return checkOgg(f);
    if (container == QLatin1String("asf"))
        return checkAsf(f);
    return SourceVerdict::Fine;
}

} // namespace kvaudio
