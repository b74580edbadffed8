#include "components/audio/AudioJobRunner.h"

#include <QTimer>
#include <chrono>
#include <condition_variable>

#include "components/audio/AudioEncoder.h"
#include "components/audio/AudioJobErrors.h"

namespace kvaudio {

namespace {
// How long an aborted unit may take to come back before it is let go and
// reported aborted, and how long a release waits for it.
constexpr int kAbandonAfterAbortMs = 1000;
constexpr auto kReleaseWait = std::chrono::milliseconds(600);

std::function<void()>& hookInForce()
{
    static std::function<void()> hook;
    return hook;
}
std::function<void()>& endHookInForce()
{
    static std::function<void()> hook;
    return hook;
}

// Read by workers while a test may set it: never destroyed, read under its lock.
struct ProgressHookSlot {
    std::mutex mutex;
    ProgressHook hook;
};
ProgressHookSlot& progressHookSlot()
{
    static auto* slot = new ProgressHookSlot;
    return *slot;
}
} // namespace

void setJobStartHook(std::function<void()> hook) { hookInForce() = std::move(hook); }
std::function<void()> jobStartHook() { return hookInForce(); }
void setJobEndHook(std::function<void()> hook) { endHookInForce() = std::move(hook); }
std::function<void()> jobEndHook() { return endHookInForce(); }

void setProgressHook(ProgressHook hook)
{
    std::lock_guard<std::mutex> lock(progressHookSlot().mutex);
    progressHookSlot().hook = std::move(hook);
}

void runProgressHook(int a, int b, const std::atomic<bool>& aborted)
{
    ProgressHook hook;
    {
        std::lock_guard<std::mutex> lock(progressHookSlot().mutex);
        hook = progressHookSlot().hook;
    }
    if (hook)
        hook(a, b, aborted);
}

struct AudioJobRunner::Unit {
    std::shared_ptr<std::atomic<bool>> abort = std::make_shared<std::atomic<bool>>(false);
    std::mutex mutex;
    std::condition_variable ended;
    JobOutcome outcome; // set by the worker at its end
    bool finished = false;  // the outcome is in and the end posted
    bool abandoned = false; // the GUI side let go: the worker posts nothing and drops its output
};

void JobContext::progress(int a, int b)
{
    if (a == m_lastA && b == m_lastB)
        return;
    m_lastA = a;
    m_lastB = b;
    if (m_post)
        m_post(a, b);
    runProgressHook(a, b, *m_abort);
}

AudioJobRunner::AudioJobRunner(QObject* owner, Events events) : m_owner(owner), m_events(std::move(events)) {}

AudioJobRunner::~AudioJobRunner()
{
    release();
}

void AudioJobRunner::failLater(int code, const QString& text)
{
    // Only a release silences it: a unit started meanwhile does not.
    const quint64 releases = m_releases;
    QMetaObject::invokeMethod(
        m_owner,
        [this, releases, code, text] {
            if (releases == m_releases)
                m_events.error(code, text);
        },
        Qt::QueuedConnection);
}

void AudioJobRunner::start(std::function<JobOutcome(JobContext&)> work)
{
    if (m_running) {
        failLater(ErrBusy, QStringLiteral("A job is already running on this component."));
        return;
    }
    if (m_thread.joinable())
        m_thread.join();
    m_running = true;
    auto unit = std::make_shared<Unit>();
    m_unit = unit;
    const quint64 gen = ++m_generation;
    QObject* owner = m_owner;
    auto abortFlag = unit->abort;
    std::function<void()> hook = jobStartHook();
    std::function<void()> endHook = jobEndHook();
    m_thread = std::thread([this, owner, unit, gen, abortFlag, hook, endHook, work = std::move(work)] {
        JobContext ctx;
        ctx.m_abort = abortFlag;
        ctx.m_post = [this, owner, unit, gen, abortFlag](int a, int b) {
            std::lock_guard<std::mutex> lock(unit->mutex);
            if (unit->abandoned)
                return;
            QMetaObject::invokeMethod(
                owner,
                [this, gen, abortFlag, a, b] {
                    if (gen == m_generation && m_running && !abortFlag->load())
                        m_events.progress(a, b);
                },
                Qt::QueuedConnection);
        };
        if (hook)
            hook();
        JobOutcome outcome = work(ctx);
        {
            std::lock_guard<std::mutex> lock(unit->mutex);
            if (unit->abandoned) {
                if (outcome.output)
                    outcome.output->discard();
                return;
            }
            unit->outcome = std::move(outcome);
            unit->finished = true;
            unit->ended.notify_all();
            QMetaObject::invokeMethod(owner, [this, gen] { finishUnit(gen); }, Qt::QueuedConnection);
        }
        if (endHook)
            endHook();
    });
}

void AudioJobRunner::finishUnit(quint64 generation)
{
    if (generation != m_generation || !m_unit)
        return;
    if (m_thread.joinable())
        m_thread.join();
    std::shared_ptr<Unit> unit = std::move(m_unit);
    JobOutcome outcome;
    {
        std::lock_guard<std::mutex> lock(unit->mutex);
        outcome = std::move(unit->outcome);
    }
    // An abort asked for before this point wins over whatever the worker finished.
    if (unit->abort->load())
        outcome.kind = JobOutcome::Aborted;
    if (outcome.kind == JobOutcome::Done && outcome.output && !outcome.output->commit())
        outcome = JobOutcome::error(outcome.output->errorCode(), outcome.output->errorText());
    if (outcome.output)
        outcome.output->discard(); // after an abort or error; a committed file stays
    outcome.output.reset();
    m_running = false;
    switch (outcome.kind) {
    case JobOutcome::Done:
        m_events.done();
        break;
    case JobOutcome::Aborted:
        m_events.aborted();
        break;
    case JobOutcome::Error:
        m_events.error(outcome.code, outcome.text);
        break;
    }
}

bool AudioJobRunner::letGoOfWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_unit->mutex);
        if (m_unit->finished)
            return false;
        m_unit->abandoned = true;
    }
    m_thread.detach();
    m_unit.reset();
    return true;
}

void AudioJobRunner::abort()
{
    if (!m_running || !m_unit)
        return;
    m_unit->abort->store(true);
    // A worker stuck in a read that never returns (a dead mount) must not
    // keep the job, and the window, waiting for ever.
    const quint64 gen = m_generation;
    QTimer::singleShot(kAbandonAfterAbortMs, m_owner, [this, gen] {
        if (gen != m_generation || !m_running || !m_unit || !letGoOfWorker())
            return;
        m_running = false;
        m_events.aborted();
    });
}

void AudioJobRunner::release()
{
    ++m_generation; // pending events of earlier units are dropped on arrival
    ++m_releases;
    if (m_unit) {
        m_unit->abort->store(true);
        std::unique_lock<std::mutex> lock(m_unit->mutex);
        const bool ended = m_unit->ended.wait_for(lock, kReleaseWait, [this] { return m_unit->finished; });
        lock.unlock();
        if (!ended)
            letGoOfWorker();
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_unit) {
        std::lock_guard<std::mutex> lock(m_unit->mutex);
        if (m_unit->outcome.output)
            m_unit->outcome.output->discard();
        m_unit->outcome.output.reset();
    }
    m_unit.reset();
    m_running = false;
}

} // namespace kvaudio
