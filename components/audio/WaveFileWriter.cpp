#include "components/audio/WaveFileWriter.h"

#include <QDateTime>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// RIFF sizes are 32-bit: the data stops growing in the header past this.
constexpr qint64 kMaxDataBytes = 0xFFFFFFFFLL - 36;

void put16(unsigned char* p, quint32 v)
{
    p[0] = v & 0xFF;
    p[1] = (v >> 8) & 0xFF;
}
void put32(unsigned char* p, quint32 v)
{
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

qint64 nowMs() { return QDateTime::currentMSecsSinceEpoch(); }

} // namespace

WaveFileWriter::~WaveFileWriter()
{
    if (m_file)
        finish();
}

bool WaveFileWriter::open(const QString& path, int sampleRate, int channels, int bitsPerSample, QString* error)
{
    m_sampleRate = sampleRate;
    m_channels = channels;
    m_bits = bitsPerSample;
    m_blockAlign = bitsPerSample / 8 * channels;
    m_dataBytes = 0;
    m_errno = 0;
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_errno = errno;
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(m_errno));
        return false;
    }
    m_file = ::fdopen(fd, "wb");
    if (!m_file) {
        m_errno = errno;
        ::close(fd);
        return false;
    }
    if (!writeHeader()) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(m_errno));
        std::fclose(m_file);
        m_file = nullptr;
        return false;
    }
    m_lastRefreshMs = nowMs();
    return true;
}

bool WaveFileWriter::writeHeader()
{
    const quint32 data = quint32(qMin(m_dataBytes, kMaxDataBytes));
    unsigned char h[44];
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + data);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1);
    put16(h + 22, quint32(m_channels));
    put32(h + 24, quint32(m_sampleRate));
    put32(h + 28, quint32(m_sampleRate * m_blockAlign));
    put16(h + 32, quint32(m_blockAlign));
    put16(h + 34, quint32(m_bits));
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, data);
    if (std::fseek(m_file, 0, SEEK_SET) != 0 || std::fwrite(h, 1, 44, m_file) != 44
        || std::fseek(m_file, 0, SEEK_END) != 0) {
        m_errno = errno ? errno : EIO;
        return false;
    }
    return true;
}

bool WaveFileWriter::write(const char* data, qint64 bytes)
{
    if (!m_file)
        return false;
    bytes -= bytes % qMax(1, m_blockAlign);
    if (bytes <= 0)
        return true;
    errno = 0;
    const size_t put = std::fwrite(data, 1, size_t(bytes), m_file);
    if (put != size_t(bytes)) {
        m_errno = errno ? errno : EIO;
        // Only the whole frames that made it count.
        m_dataBytes += qint64(put) - qint64(put) % qMax(1, m_blockAlign);
        return false;
    }
    m_dataBytes += bytes;
    return true;
}

bool WaveFileWriter::refreshHeader(qint64 intervalMs)
{
    if (!m_file)
        return false;
    const qint64 now = nowMs();
    if (now - m_lastRefreshMs < intervalMs)
        return true;
    m_lastRefreshMs = now;
    errno = 0;
    if (std::fflush(m_file) != 0 || !writeHeader() || std::fflush(m_file) != 0) {
        m_errno = errno ? errno : EIO;
        return false;
    }
    ::fdatasync(::fileno(m_file));
    return true;
}

bool WaveFileWriter::finish(bool sync)
{
    if (!m_file)
        return false;
    errno = 0;
    bool ok = std::fflush(m_file) == 0 && writeHeader() && std::fflush(m_file) == 0;
    if (sync)
        ok = ::fsync(::fileno(m_file)) == 0 && ok;
    if (!ok && !m_errno)
        m_errno = errno ? errno : EIO;
    ok = std::fclose(m_file) == 0 && ok;
    m_file = nullptr;
    return ok;
}
