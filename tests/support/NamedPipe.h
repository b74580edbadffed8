#pragma once
// A named pipe nobody writes to: a blocking open of it waits for ever, which
// is the fault the tests look for. Should a reader still be waiting on it when
// the test has run for `rescueAfterMs` (it hangs there), the pipe is opened
// from the other end to let the reader go, and that is remembered: the fault
// then fails the test instead of hanging it, however slow the machine is.
#include <QFile>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace testenv {

class NamedPipe {
public:
    explicit NamedPipe(const QString& path, int rescueAfterMs = 20000) : m_path(path)
    {
        QFile::remove(path);
        m_ok = ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
        m_rescuer = std::thread([this, rescueAfterMs] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_wake.wait_for(lock, std::chrono::milliseconds(rescueAfterMs), [this] { return m_stop; }))
                return;
            // Past any fair time: whoever has the pipe open now is stuck on it.
            while (!m_stop) {
                const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    m_heldAReader = true;
                    ::close(fd);
                }
                m_wake.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_stop; });
            }
        });
    }
    ~NamedPipe()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_rescuer.join();
        QFile::remove(m_path);
    }
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    bool ok() const { return m_ok; }
    QString path() const { return m_path; }
    // True when a reader was stuck on the pipe and had to be let go.
    bool heldAReader() const { return m_heldAReader; }

private:
    QString m_path;
    bool m_ok = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::atomic<bool> m_heldAReader{false};
    std::thread m_rescuer;
};

} // namespace testenv
