#pragma once
// Writes a PCM WAV file as the audio arrives. The header's sizes are brought
// up to date (and the data pushed to the disk) at least once a second while
// writing, so the file plays whole up to that point even if the program dies.
#include <QString>
#include <QtGlobal>
#include <cstdio>

class WaveFileWriter {
public:
    WaveFileWriter() = default;
    ~WaveFileWriter();
    WaveFileWriter(const WaveFileWriter&) = delete;
    WaveFileWriter& operator=(const WaveFileWriter&) = delete;

    // Creates `path` (failing when it exists) with a header for the format.
    bool open(const QString& path, int sampleRate, int channels, int bitsPerSample, QString* error);
    // Appends whole frames; false on a write failure (the file keeps what came before).
    bool write(const char* data, qint64 bytes);
    // Updates the header when the last update is `intervalMs` old.
    bool refreshHeader(qint64 intervalMs = 1000);
    // Final header, flushed and closed; `sync` also waits for the disk.
    bool finish(bool sync = true);
    bool isOpen() const { return m_file != nullptr; }
    qint64 dataBytes() const { return m_dataBytes; }
    qint64 frames() const { return m_blockAlign ? m_dataBytes / m_blockAlign : 0; }
    // errno of the last failure (ENOSPC for a full disk), 0 when none.
    int lastErrno() const { return m_errno; }

private:
    bool writeHeader();

    std::FILE* m_file = nullptr;
    int m_sampleRate = 0;
    int m_channels = 0;
    int m_bits = 0;
    int m_blockAlign = 0;
    qint64 m_dataBytes = 0;
    qint64 m_lastRefreshMs = 0;
    int m_errno = 0;
};
