#pragma once
// Counts the job workers (audio units, rips) that have posted their end, and
// waits for them without running the event loop: the ends stay queued, so a
// test can act in the moment between a worker's end and its handling, on a
// fast machine as on a loaded one.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "components/audio/AudioJobRunner.h"

class PostedEnds {
public:
    PostedEnds() : m_state(std::make_shared<State>())
    {
        kvaudio::setJobEndHook([state = m_state] {
            std::lock_guard<std::mutex> lock(state->mutex);
            ++state->posted;
            state->wake.notify_all();
        });
    }
    ~PostedEnds() { kvaudio::setJobEndHook({}); }
    PostedEnds(const PostedEnds&) = delete;
    PostedEnds& operator=(const PostedEnds&) = delete;

    // Blocks this thread (events are not handled) until n ends have been posted.
    bool waitPosted(int n = 1, int ms = 30000) const
    {
        std::unique_lock<std::mutex> lock(m_state->mutex);
        return m_state->wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_state->posted >= n; });
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        int posted = 0;
    };
    std::shared_ptr<State> m_state;
};
