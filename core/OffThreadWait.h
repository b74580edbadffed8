#pragma once
// Runs a piece of work on a thread of its own while the caller waits in a
// local event loop: the window paints, runs its timers and takes the user's
// input meanwhile (a window that must refuse input is modal, or disables its
// controls). stop() ends a wait early; work still running then finishes
// unattended, so it may hold only what it owns (copies, shared state).
// The thread is kept for the next run: a run per file costs no thread start.
#include <functional>
#include <memory>

class QEventLoop;

class OffThreadWait {
public:
    OffThreadWait();
    // Ends a wait under way (its owner may go while it waits); the thread
    // ends once its work is done.
    ~OffThreadWait();
    OffThreadWait(const OffThreadWait&) = delete;
    OffThreadWait& operator=(const OffThreadWait&) = delete;

    // True when the work finished; false when stop() came first.
    bool run(std::function<void()> work);
    // Ends the wait under way, if any.
    void stop();
    bool waiting() const { return m_loop != nullptr; }

private:
    QEventLoop* m_loop = nullptr;
    std::shared_ptr<bool> m_alive;
    std::shared_ptr<struct OffThreadWorker> m_worker;
};
