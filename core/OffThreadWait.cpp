#include "core/OffThreadWait.h"

#include <QEventLoop>
#include <condition_variable>
#include <mutex>
#include <thread>

// A thread that runs one piece of work after another. One whose work was
// left behind by stop() is not given more: the next run gets a new one.
struct OffThreadWorker {
    std::mutex mutex;
    std::condition_variable changed;
    std::function<void()> work;
    bool busy = false;
    bool quit = false;

    static void start(const std::shared_ptr<OffThreadWorker>& self)
    {
        std::thread([self] {
            std::unique_lock<std::mutex> lock(self->mutex);
            for (;;) {
                self->changed.wait(lock, [&] { return self->quit || self->work; });
                if (!self->work)
                    return;
                std::function<void()> work = std::move(self->work);
                self->work = nullptr;
                lock.unlock();
                work();
                work = nullptr;
                lock.lock();
                self->busy = false;
            }
        }).detach();
    }
};

OffThreadWait::OffThreadWait()
    : m_alive(std::make_shared<bool>(true))
{
}

OffThreadWait::~OffThreadWait()
{
    *m_alive = false;
    stop();
    if (m_worker) {
        std::lock_guard<std::mutex> lock(m_worker->mutex);
        m_worker->quit = true;
        m_worker->changed.notify_all();
    }
}

bool OffThreadWait::run(std::function<void()> work)
{
    // What the work and the waiting caller share; the work may outlive the wait.
    struct State {
        std::mutex mutex;
        bool done = false;
        QEventLoop* loop = nullptr; // cleared under the mutex before the loop goes
    };
    auto state = std::make_shared<State>();
    QEventLoop loop;
    state->loop = &loop;
    auto job = [state, work = std::move(work)] {
        work();
        std::lock_guard<std::mutex> lock(state->mutex);
        state->done = true;
        if (state->loop)
            QMetaObject::invokeMethod(state->loop, "quit", Qt::QueuedConnection);
    };
    {
        bool fresh = !m_worker;
        if (m_worker) {
            std::lock_guard<std::mutex> lock(m_worker->mutex);
            fresh = m_worker->busy;
            if (fresh) {
                // Still on work a stop left behind: it ends by itself.
                m_worker->quit = true;
                m_worker->changed.notify_all();
            }
        }
        if (fresh) {
            m_worker = std::make_shared<OffThreadWorker>();
            OffThreadWorker::start(m_worker);
        }
        std::lock_guard<std::mutex> lock(m_worker->mutex);
        m_worker->work = std::move(job);
        m_worker->busy = true;
        m_worker->changed.notify_all();
    }
    const std::shared_ptr<bool> alive = m_alive;
    QEventLoop* outer = m_loop;
    m_loop = &loop;
    loop.exec();
    if (*alive)
        m_loop = outer;
    std::lock_guard<std::mutex> lock(state->mutex);
    state->loop = nullptr;
    return state->done;
}

void OffThreadWait::stop()
{
    if (m_loop)
        m_loop->quit();
}
