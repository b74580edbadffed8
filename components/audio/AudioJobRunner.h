#pragma once
// Runs one unit of audio work of a component on a worker thread and turns
// its course into the component's queued events: any number of progress
// reports, then exactly one of done, error or aborted. Internal to components/audio/.
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "components/audio/ProgressHook.h"

namespace kvaudio {

class AudioEncoder;

// What a unit ended with, as the worker saw it.
struct JobOutcome {
    enum Kind { Done, Error, Aborted } kind = Done;
    int code = 0;
    QString text;
    std::unique_ptr<AudioEncoder> output; // Done: the finished file, not yet in place
    static JobOutcome error(int code, const QString& text)
    {
        JobOutcome o;
        o.kind = Error;
        o.code = code;
        o.text = text;
        return o;
    }
    static JobOutcome aborted()
    {
        JobOutcome o;
        o.kind = Aborted;
        return o;
    }
};

class JobContext {
public:
    bool aborted() const { return m_abort->load(); }
    const std::atomic<bool>* abortFlag() const { return m_abort.get(); }
    // Reports progress; only changes reach the component.
    void progress(int a, int b = -1);

private:
    friend class AudioJobRunner;
    std::shared_ptr<std::atomic<bool>> m_abort;
    std::function<void(int, int)> m_post;
    int m_lastA = INT32_MIN, m_lastB = INT32_MIN;
};

// For tests: runs on each job's worker (of these units and of the CD ripper)
// before its work, standing in for a read that stalls (a dead mount).
// Empty for none; a job takes the hook in force when it starts.
void setJobStartHook(std::function<void()> hook);
std::function<void()> jobStartHook();
// For tests: runs on each job's worker (as above) once it has posted its end
// (not when it was let go),
// so that a test can act while that end is still queued. Same terms.
void setJobEndHook(std::function<void()> hook);
std::function<void()> jobEndHook();

class AudioJobRunner {
public:
    struct Events {
        std::function<void(int, int)> progress;
        std::function<void()> done;
        std::function<void()> aborted;
        std::function<void(int, const QString&)> error;
    };

    AudioJobRunner(QObject* owner, Events events);
    ~AudioJobRunner();

    // True from start() until the unit's end event has been raised.
    bool running() const { return m_running; }
    // Starts work on a worker thread; returns at once. While a unit runs, the
    // new one ends at once with a (queued) busy error.
    void start(std::function<JobOutcome(JobContext&)> work);
    // The running unit ends with the aborted event, whatever the worker got to;
    // a worker that does not come back within a second is let go.
    void abort();
    // Stops the worker, drops every pending event and removes unfinished
    // output. A worker that does not come back at once is let go: it posts
    // nothing and removes its own output should it ever return.
    void release();
    // Raises an error event for a unit that cannot start, queued like any other.
    void failLater(int code, const QString& text);

private:
    struct Unit;
    void finishUnit(quint64 generation);
    // False when the worker has finished already (its end is on its way).
    bool letGoOfWorker();

    QObject* m_owner;
    Events m_events;
    std::thread m_thread;
    std::shared_ptr<Unit> m_unit;
    quint64 m_generation = 0; // of the unit started last
    quint64 m_releases = 0;
    bool m_running = false;
};

} // namespace kvaudio
