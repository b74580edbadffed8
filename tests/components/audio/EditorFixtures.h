#pragma once
// Files that must not hold the audio editor's window: a named pipe nobody
// writes to, and a WAV whose sound lies behind millions of empty chunks.
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace editorfixtures {

// The WAV `wav` with `chunks` empty chunks put in before its first chunk.
inline QByteArray withManyChunks(QByteArray wav, int chunks)
{
    QByteArray junk;
    junk.reserve(qsizetype(chunks) * 8);
    for (int i = 0; i < chunks; ++i)
        junk.append("JUNK\0\0\0\0", 8);
    wav.insert(12, junk);
    const quint32 riff = quint32(wav.size() - 8);
    for (int i = 0; i < 4; ++i)
        wav[4 + i] = char((riff >> (8 * i)) & 0xFF);
    return wav;
}

// A named pipe that nobody writes to. A reader that opens it blocking is let
// go after `releaseMs`, so that a fault shows as a slow call, not a hung test.
class Fifo {
public:
    explicit Fifo(const QString& path, int releaseMs = 2500) : m_path(path)
    {
        QFile::remove(path);
        m_ok = ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
        m_writer = std::thread([this, releaseMs] {
            QElapsedTimer t;
            t.start();
            while (!m_stop && t.elapsed() < releaseMs)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            // Opens once a reader waits, then closes: the reader sees an empty file.
            while (!m_stop && t.elapsed() < releaseMs + 5000) {
                const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    ::close(fd);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~Fifo()
    {
        m_stop = true;
        m_writer.join();
        QFile::remove(m_path);
    }
    Fifo(const Fifo&) = delete;
    Fifo& operator=(const Fifo&) = delete;
    bool ok() const { return m_ok; }
    QString path() const { return m_path; }

private:
    QString m_path;
    bool m_ok = false;
    std::atomic<bool> m_stop{false};
    std::thread m_writer;
};

} // namespace editorfixtures
