#pragma once
// Holds audio work mid-way: a worker that reports progress of at least
// `fromPercent` waits at that report until the test lets it go, or until its
// work is aborted (a close, an abort, a release). Or, AtStart, a job's worker
// waits before its work, until the test lets it go. The moment a test looks
// at then lasts as long as it looks, on a fast machine as on a loaded one.
#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "components/audio/AudioEncoder.h"
#include "components/audio/AudioJobRunner.h"

class HeldWork {
public:
    enum Where { AtProgress, AtStart };

    // A report holds when its percent (the second number where it has two,
    // as a join's part and percent) is at least fromPercent.
    explicit HeldWork(int fromPercent = 1, Where where = AtProgress)
        : HeldWork(where, [fromPercent](int a, int b) { return (b < 0 ? a : b) >= fromPercent; })
    {
    }
    // A report (a, b) holds when `when` says so.
    HeldWork(Where where, std::function<bool(int a, int b)> when) : m_where(where), m_state(std::make_shared<State>())
    {
        m_state->when = std::move(when);
        if (where == AtStart)
            kvaudio::setJobStartHook([state = m_state] { state->wait(1, -1, nullptr); });
        else
            kvaudio::setProgressHook([state = m_state](int a, int b, const std::atomic<bool>& aborted) {
                state->wait(a, b, &aborted);
            });
    }
    ~HeldWork()
    {
        letGo();
        if (m_where == AtStart)
            kvaudio::setJobStartHook({});
        else
            kvaudio::setProgressHook({});
    }
    HeldWork(const HeldWork&) = delete;
    HeldWork& operator=(const HeldWork&) = delete;

    // Workers held now, and reports from now on, go their way.
    void letGo()
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->holding = false;
        m_state->wake.notify_all();
    }
    // Reports from now on are held again.
    void hold()
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->holding = true;
    }
    int held() const { return m_state->waiting; }
    // Runs the event loop until a worker waits at the gate; what it posted
    // before it stopped (its report) has then been handled.
    bool waitHeld(int ms = 30000) const
    {
        if (!QTest::qWaitFor([this] { return held() > 0; }, ms))
            return false;
        QCoreApplication::sendPostedEvents();
        return true;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        bool holding = true;
        std::function<bool(int, int)> when;
        std::atomic<int> waiting{0};

        // aborted: null where the work cannot be aborted at this point.
        void wait(int a, int b, const std::atomic<bool>* aborted)
        {
            std::unique_lock<std::mutex> lock(mutex);
            // Work already aborted (one a release let go of, say) is never counted.
            if (!holding || !when(a, b) || (aborted && *aborted))
                return;
            ++waiting;
            // The abort flag has no one to signal this wait: it is looked at often.
            while (holding && !(aborted && *aborted))
                wake.wait_for(lock, std::chrono::milliseconds(5));
            --waiting;
        }
    };
    Where m_where;
    std::shared_ptr<State> m_state;
};
