#include "components/audio/WavFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "components/audio/AudioJobErrors.h"

namespace kvaudio {

namespace {

uint32_t le32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(u[0]) | uint32_t(u[1]) << 8 | uint32_t(u[2]) << 16 | uint32_t(u[3]) << 24;
}

uint16_t le16(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return uint16_t(u[0] | u[1] << 8);
}

uint64_t le64(const char* p)
{
    return uint64_t(le32(p)) | uint64_t(le32(p + 4)) << 32;
}

void put16(QByteArray& b, uint16_t v)
{
    b.append(char(v & 0xFF)).append(char(v >> 8));
}

void put32(QByteArray& b, uint32_t v)
{
    put16(b, uint16_t(v & 0xFFFF));
    put16(b, uint16_t(v >> 16));
}

void put64(QByteArray& b, uint64_t v)
{
    put32(b, uint32_t(v & 0xFFFFFFFFu));
    put32(b, uint32_t(v >> 32));
}

int fail(QString* text, int code, const QString& message)
{
    if (text)
        *text = message;
    return code;
}

// Checks the fmt chunk body and fills the format fields from it.
int takeFormat(const QByteArray& body, WavFormat* f, QString* reason)
{
    if (body.size() < 16) {
        *reason = QStringLiteral("its format chunk is too short");
        return ErrWavUnsupported;
    }
    const char* p = body.constData();
    int tag = le16(p);
    f->channels = le16(p + 2);
    f->sampleRate = int(le32(p + 4));
    f->blockAlign = le16(p + 12);
    f->bitsPerSample = le16(p + 14);
    if (tag == 0xFFFE) {
        // The extensible form names the real format in its sub-format GUID.
        if (body.size() < 40) {
            *reason = QStringLiteral("its extended format chunk is too short");
            return ErrWavUnsupported;
        }
        tag = le16(p + 24);
    }
    if (tag != 1 && tag != 3) {
        *reason = QStringLiteral("it holds compressed audio (format %1); only PCM and float samples can be edited")
                      .arg(tag);
        return ErrWavUnsupported;
    }
    f->isFloat = tag == 3;
    if (f->channels < 1 || f->channels > 2) {
        *reason = QStringLiteral("it has %1 channels; mono and stereo files can be edited").arg(f->channels);
        return ErrWavUnsupported;
    }
    const int bits = f->bitsPerSample;
    const bool bitsOk = f->isFloat ? (bits == 32 || bits == 64) : (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    if (!bitsOk) {
        *reason = QStringLiteral("its samples are %1-bit %2").arg(bits).arg(f->isFloat ? "float" : "PCM");
        return ErrWavUnsupported;
    }
    if (f->sampleRate <= 0 || f->blockAlign != f->channels * bits / 8) {
        *reason = QStringLiteral("its format chunk contradicts itself");
        return ErrWavUnsupported;
    }
    return 0;
}

} // namespace

int OpenRegularFile(const QString& path, QFile* file, QString* text, bool* notRegular)
{
    if (notRegular)
        *notRegular = false;
    const QString shown = QStringLiteral("\"%1\"").arg(path);
    if (path.isEmpty())
        return fail(text, ErrSourceMissing, QStringLiteral("The file %1 does not exist.").arg(shown));
    // Non-blocking, so that a pipe without a writer cannot hold the open.
    int fd;
    do {
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR
                   ? fail(text, ErrSourceMissing, QStringLiteral("The file %1 does not exist.").arg(shown))
                   : fail(text, ErrSourceUnreadable, QStringLiteral("The file %1 cannot be read.").arg(shown));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (notRegular)
            *notRegular = true;
        return fail(text, ErrSourceUnreadable,
                    QStringLiteral("The file %1 cannot be read: it is not a regular file.").arg(shown));
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(text, ErrSourceUnreadable, QStringLiteral("The file %1 cannot be read.").arg(shown));
    }
    return 0;
}

WavWalkEnd WalkWavChunks(QFile& file, const std::function<bool(const WavChunk&)>& visit, QByteArray* form)
{
    const int64_t size = file.size();
    if (!file.seek(0))
        return WavWalkEnd::CutShort;
    const QByteArray head = file.read(12);
    const QByteArray kind = head.left(4);
    if (form)
        *form = kind;
    const bool bigEndian = kind == "RIFX";
    const bool ds64Form = kind == "RF64" || kind == "BW64";
    if (kind != "RIFF" && !bigEndian && !ds64Form)
        return WavWalkEnd::NotWav;
    if (head.size() < 12)
        return WavWalkEnd::CutShort;
    if (head.mid(8, 4) != "WAVE")
        return WavWalkEnd::NotWav;
    auto size32 = [bigEndian](const char* p) {
        if (!bigEndian)
            return le32(p);
        const auto* u = reinterpret_cast<const unsigned char*>(p);
        return uint32_t(u[0]) << 24 | uint32_t(u[1]) << 16 | uint32_t(u[2]) << 8 | uint32_t(u[3]);
    };
    uint64_t ds64Data = 0;
    int64_t pos = 12;
    for (int visited = 0;; ++visited) {
        if (size - pos < 8 || !file.seek(pos))
            return WavWalkEnd::FileEnd;
        const QByteArray header = file.read(8);
        if (header.size() < 8)
            return WavWalkEnd::FileEnd;
        // Real files hold a handful; a walk through millions is no WAV worth reading.
        if (visited == kMaxWavChunks)
            return WavWalkEnd::TooManyChunks;
        WavChunk chunk;
        chunk.id = header.left(4);
        chunk.offset = pos + 8;
        chunk.size = size32(header.constData() + 4);
        if (ds64Form && chunk.id == "ds64") {
            const QByteArray d = file.read(24);
            if (d.size() < 24)
                return WavWalkEnd::CutShort;
            ds64Data = le64(d.constData() + 8);
        } else if (ds64Form && chunk.id == "data" && chunk.size == 0xFFFFFFFFu) {
            chunk.size = ds64Data;
        }
        if (!visit(chunk))
            return WavWalkEnd::Stopped;
        // A body that runs past the end leaves no chunk after it.
        if (chunk.size >= uint64_t(size - chunk.offset))
            return WavWalkEnd::FileEnd;
        pos = chunk.offset + int64_t(chunk.size) + int64_t(chunk.size & 1);
    }
}

int ReadWavHeader(const QString& path, WavFormat* format, QString* text)
{
    WavFormat f;
    const QString shown = QStringLiteral("\"%1\"").arg(path);
    QFile file;
    if (const int rc = OpenRegularFile(path, &file, text))
        return rc;
    const int64_t size = file.size();
    if (size == 0)
        return fail(text, ErrSourceEmpty, QStringLiteral("The file %1 is empty.").arg(shown));

    const QString truncatedHeader =
        QStringLiteral("The file %1 is truncated: it ends inside its header.").arg(shown);
    QByteArray form;
    bool haveFmt = false, haveData = false;
    int rc = 0;
    QString message;
    const WavWalkEnd end = WalkWavChunks(
        file,
        [&](const WavChunk& c) {
            // The editor reads little-endian RIFF and RF64 files only.
            if (form != "RIFF" && form != "RF64")
                return false;
            const uint64_t len = c.size;
            if (c.id == "fmt ") {
                if (len > 4096) {
                    rc = ErrWavUnsupported;
                    message = QStringLiteral("The file %1 is a WAV that cannot be edited: its format chunk is %2 "
                                             "bytes long.")
                                  .arg(shown)
                                  .arg(len);
                    return false;
                }
                const QByteArray b = file.seek(c.offset) ? file.read(qint64(len)) : QByteArray();
                if (b.size() < qint64(len)) {
                    rc = ErrWavTruncated;
                    message = truncatedHeader;
                    return false;
                }
                QString reason;
                if ((rc = takeFormat(b, &f, &reason))) {
                    message = QStringLiteral("The file %1 is a WAV that cannot be edited: %2.").arg(shown, reason);
                    return false;
                }
                f.fmtChunk = b;
                haveFmt = true;
            } else if (c.id == "data") {
                // A cut file and a wrong size look alike from here.
                if (len > uint64_t(size - c.offset)) {
                    rc = ErrWavTruncated;
                    message = QStringLiteral("The file %1 is truncated or damaged: its data chunk claims %2 bytes, "
                                             "but only %3 follow.")
                                  .arg(shown)
                                  .arg(len)
                                  .arg(size - c.offset);
                    return false;
                }
                f.dataOffset = c.offset;
                f.dataBytes = int64_t(len);
                haveData = true;
            } else if (len > uint64_t(size - c.offset)) {
                rc = ErrWavChunkTooLarge;
                message = QStringLiteral("The file %1 is damaged: its \"%2\" chunk claims %3 bytes, more than the "
                                         "file holds.")
                              .arg(shown, QString::fromLatin1(c.id))
                              .arg(len);
                return false;
            }
            return !(haveFmt && haveData);
        },
        &form);
    if (rc)
        return fail(text, rc, message);
    if (end == WavWalkEnd::NotWav || (form != "RIFF" && form != "RF64"))
        return fail(text, ErrNotWav, QStringLiteral("The file %1 is not a WAV file.").arg(shown));
    if (end == WavWalkEnd::TooManyChunks)
        return fail(text, ErrWavTooManyChunks,
                    QStringLiteral("The file %1 is damaged or not a WAV file the editor can read: more than %2 "
                                   "chunks come before its sound.")
                        .arg(shown)
                        .arg(kMaxWavChunks));
    if (!(haveFmt && haveData))
        return fail(text, ErrWavTruncated, truncatedHeader);
    f.frames = f.dataBytes / f.blockAlign;
    f.dataBytes = f.frames * f.blockAlign;
    *format = f;
    if (text)
        text->clear();
    return 0;
}

void DecodeWavSamples(const char* src, int64_t frames, const WavFormat& f, float* dst)
{
    const int64_t n = frames * f.channels;
    const auto* u = reinterpret_cast<const unsigned char*>(src);
    if (f.isFloat) {
        if (f.bitsPerSample == 32) {
            std::memcpy(dst, src, size_t(n) * 4);
        } else {
            for (int64_t i = 0; i < n; ++i) {
                double d;
                std::memcpy(&d, src + i * 8, 8);
                dst[i] = float(d);
            }
        }
        return;
    }
    switch (f.bitsPerSample) {
    case 8:
        for (int64_t i = 0; i < n; ++i)
            dst[i] = (int(u[i]) - 128) * (1.0f / 128);
        break;
    case 16:
        for (int64_t i = 0; i < n; ++i) {
            int16_t s;
            std::memcpy(&s, src + i * 2, 2);
            dst[i] = s * (1.0f / 32768);
        }
        break;
    case 24:
        for (int64_t i = 0; i < n; ++i) {
            const unsigned char* p = u + i * 3;
            const int32_t s = int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8;
            dst[i] = float(s) * (1.0f / 8388608);
        }
        break;
    case 32:
        for (int64_t i = 0; i < n; ++i) {
            int32_t s;
            std::memcpy(&s, src + i * 4, 4);
            dst[i] = float(s) * (1.0f / 2147483648.0f);
        }
        break;
    }
}

QByteArray MakeWavHeader(const WavFormat& f, int64_t dataBytes)
{
    QByteArray fmt = f.fmtChunk;
    if (fmt.size() & 1)
        fmt.append('\0');
    const uint64_t pad = uint64_t(dataBytes & 1);
    // RIFF size: "WAVE", the fmt chunk and the data chunk with their headers.
    const uint64_t riffRiff = 4 + 8 + uint64_t(fmt.size()) + 8 + uint64_t(dataBytes) + pad;
    const bool big = riffRiff + 36 > 0xFFFFFFFFull;
    QByteArray h;
    h.append(big ? "RF64" : "RIFF");
    put32(h, big ? 0xFFFFFFFFu : uint32_t(riffRiff));
    h.append("WAVE");
    if (big) {
        h.append("ds64");
        put32(h, 28);
        put64(h, riffRiff + 36);
        put64(h, uint64_t(dataBytes));
        put64(h, f.blockAlign > 0 ? uint64_t(dataBytes / f.blockAlign) : 0);
        put32(h, 0); // no table of other chunk sizes
    }
    h.append("fmt ");
    put32(h, uint32_t(f.fmtChunk.size()));
    h.append(fmt);
    h.append("data");
    put32(h, big ? 0xFFFFFFFFu : uint32_t(dataBytes));
    return h;
}

} // namespace kvaudio
