#pragma once
// Makes every audio open stall, as on a dead mount: opens on other threads
// wait on a pipe nobody writes to, until the object goes; an open on the
// window's thread is counted instead (it would freeze the window) and goes on.
#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <unistd.h>

#include "components/AudioSource.h"

class StalledOpens {
public:
    StalledOpens()
    {
        if (::pipe(m_fds) != 0)
            m_fds[0] = m_fds[1] = -1;
        stall();
    }
    ~StalledOpens()
    {
        kvaudio::setSourceOpenHook({});
        // Let the stalled opens go their way; they report to nobody by now.
        for (int i = 0; i < 64; ++i)
            [[maybe_unused]] const ssize_t n = ::write(m_fds[1], "x", 1);
        QTest::qWait(100);
        ::close(m_fds[1]);
        ::close(m_fds[0]);
    }
    StalledOpens(const StalledOpens&) = delete;
    StalledOpens& operator=(const StalledOpens&) = delete;

    bool ready() const { return m_fds[0] >= 0; }
    // Opens that start from now on stall again / go through.
    void stall()
    {
        kvaudio::setSourceOpenHook([this] {
            if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
                ++m_onWindowThread;
                return;
            }
            ++m_stalled;
            char c;
            [[maybe_unused]] const ssize_t n = ::read(m_fds[0], &c, 1);
        });
    }
    void letThrough() { kvaudio::setSourceOpenHook({}); }

    int stalled() const { return m_stalled; }
    int onWindowThread() const { return m_onWindowThread; }

private:
    int m_fds[2] = {-1, -1};
    std::atomic<int> m_stalled{0};
    std::atomic<int> m_onWindowThread{0};
};
