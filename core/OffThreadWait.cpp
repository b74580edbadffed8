#include "core/OffThreadWait.h"

#include <QEventLoop>
#include <mutex>
#include <thread>

OffThreadWait::OffThreadWait()
    : m_alive(std::make_shared<bool>(true))
{
}

OffThreadWait::~OffThreadWait()
{
    *m_alive = false;
    stop();
}

bool OffThreadWait::run(std::function<void()> work)
{
    // What the worker and the waiting caller share; the worker may outlive the wait.
    struct State {
        std::mutex mutex;
        bool done = false;
        QEventLoop* loop = nullptr; // cleared under the mutex before the loop goes
    };
    auto state = std::make_shared<State>();
    QEventLoop loop;
    state->loop = &loop;
    std::thread([state, work = std::move(work)] {
        work();
        std::lock_guard<std::mutex> lock(state->mutex);
        state->done = true;
        if (state->loop)
            QMetaObject::invokeMethod(state->loop, "quit", Qt::QueuedConnection);
    }).detach();
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
