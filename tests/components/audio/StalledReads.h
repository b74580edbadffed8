#pragma once
// Makes audio work stall, as on a dead mount or drive: the code behind a test
// hook (every audio open by default, or the start of every job's worker)
// waits on a pipe nobody writes to, until this object goes. Such a wait on
// the window's thread would freeze the window: it is counted instead, and
// goes on.
#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <unistd.h>

#include "components/audio/AudioSource.h"

class StalledReads {
public:
    using HookSetter = void (*)(std::function<void()>);

    explicit StalledReads(HookSetter setHook = kvaudio::setSourceOpenHook)
        : m_setHook(setHook)
    {
        if (::pipe(m_fds) != 0)
            m_fds[0] = m_fds[1] = -1;
        stall();
    }
    ~StalledReads()
    {
        letThrough();
        // Let the stalled reads go their way; they report to nobody by now.
        for (int i = 0; i < 64; ++i)
            [[maybe_unused]] const ssize_t n = ::write(m_fds[1], "x", 1);
        QTest::qWait(100);
        ::close(m_fds[1]);
        ::close(m_fds[0]);
    }
    StalledReads(const StalledReads&) = delete;
    StalledReads& operator=(const StalledReads&) = delete;

    bool ready() const { return m_fds[0] >= 0; }
    // What starts from now on stalls again / goes through.
    void stall()
    {
        m_setHook([this] {
            if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
                ++m_onWindowThread;
                return;
            }
            ++m_stalled;
            char c;
            [[maybe_unused]] const ssize_t n = ::read(m_fds[0], &c, 1);
        });
    }
    void letThrough() { m_setHook({}); }
    // Lets one read that stalls now (or the next one to stall) go on.
    void releaseOne() { [[maybe_unused]] const ssize_t n = ::write(m_fds[1], "x", 1); }

    // Runs act, which waits for a read in a local loop, while a window timer
    // ticks; once a read has stalled and `ticks` ticks came through it,
    // onHeld runs (by default the read goes on). Returns the ticks counted
    // while a read was held: fewer than `ticks` means the window froze.
    int whileHeld(const std::function<void()>& act, const std::function<void()>& onHeld = {}, int ticks = 5)
    {
        int held = 0;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (stalled() == 0 || ++held != ticks)
                return;
            if (onHeld) {
                onHeld();
            } else {
                letThrough();
                releaseOne();
            }
        });
        ticker.start();
        act();
        return held;
    }

    int stalled() const { return m_stalled; }
    int onWindowThread() const { return m_onWindowThread; }

private:
    HookSetter m_setHook;
    int m_fds[2] = {-1, -1};
    std::atomic<int> m_stalled{0};
    std::atomic<int> m_onWindowThread{0};
};
