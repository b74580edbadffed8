#pragma once
// Audio files on a mount that stalls: while an object of this class lives,
// every open of an audio file waits until release(). An open on the window's
// thread is only counted, never held (holding it there would hang the test).
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "components/audio/AudioSource.h"

class StalledOpens {
public:
    StalledOpens()
    {
        // The hook may still run on another thread after this object is gone
        // (a copy of it is taken before each open): it keeps its state alive.
        kvaudio::setSourceOpenHook([s = m_s] {
            if (QThread::currentThread() == s->windowThread) {
                ++s->onWindowThread;
                return;
            }
            ++s->waited;
            std::unique_lock<std::mutex> lock(s->mutex);
            s->cv.wait(lock, [&] { return s->released; });
        });
    }
    ~StalledOpens()
    {
        release();
        kvaudio::setSourceOpenHook({});
    }
    StalledOpens(const StalledOpens&) = delete;
    StalledOpens& operator=(const StalledOpens&) = delete;

    void release()
    {
        std::lock_guard<std::mutex> lock(m_s->mutex);
        m_s->released = true;
        m_s->cv.notify_all();
    }
    bool released()
    {
        std::lock_guard<std::mutex> lock(m_s->mutex);
        return m_s->released;
    }
    // Opens held (or let through after release) away from the window's thread.
    int waited() const { return m_s->waited.load(); }
    int onWindowThread() const { return m_s->onWindowThread.load(); }

private:
    struct State {
        QThread* const windowThread = QThread::currentThread();
        std::mutex mutex;
        std::condition_variable cv;
        bool released = false;
        std::atomic<int> waited{0};
        std::atomic<int> onWindowThread{0};
    };
    std::shared_ptr<State> m_s = std::make_shared<State>();
};
