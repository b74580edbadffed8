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
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
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
            // Counted down after the read, when this object may be gone.
            const std::shared_ptr<std::atomic<int>> waiting = m_waiting;
            ++*waiting;
            char c;
            [[maybe_unused]] const ssize_t n = ::read(m_fds[0], &c, 1);
            --*waiting;
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
    // Stalled reads that are still waiting now: the gate is shut for them.
    int waiting() const { return *m_waiting; }
    int onWindowThread() const { return m_onWindowThread; }

    // Runs call on this thread. A call that waits for a stalled read would
    // never return: should it still run after rescueAfterMs, the stalled
    // reads are let go so that it does, and true says so. The test then
    // fails instead of hanging, however slow the machine is.
    bool callWaitedForThem(const std::function<void()>& call, int rescueAfterMs = 20000)
    {
        std::mutex mutex;
        std::condition_variable wake;
        bool returned = false;
        std::atomic<bool> rescued{false};
        std::thread rescuer([&] {
            std::unique_lock<std::mutex> lock(mutex);
            if (wake.wait_for(lock, std::chrono::milliseconds(rescueAfterMs), [&] { return returned; }))
                return;
            rescued = true;
            for (int i = 0; i < 64; ++i)
                releaseOne();
        });
        call();
        {
            std::lock_guard<std::mutex> lock(mutex);
            returned = true;
        }
        wake.notify_all();
        rescuer.join();
        return rescued;
    }

private:
    HookSetter m_setHook;
    int m_fds[2] = {-1, -1};
    std::atomic<int> m_stalled{0};
    std::shared_ptr<std::atomic<int>> m_waiting = std::make_shared<std::atomic<int>>(0);
    std::atomic<int> m_onWindowThread{0};
};
