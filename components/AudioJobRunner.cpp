#include "components/AudioJobRunner.h"

#include "components/AudioEncoder.h"
#include "components/AudioJobErrors.h"

namespace kvaudio {

struct AudioJobRunner::Unit {
    std::shared_ptr<std::atomic<bool>> abort = std::make_shared<std::atomic<bool>>(false);
    std::mutex mutex;
    JobOutcome outcome; // set by the worker at its end
};

void JobContext::progress(int a, int b)
{
    if (a == m_lastA && b == m_lastB)
        return;
    m_lastA = a;
    m_lastB = b;
    if (m_post)
        m_post(a, b);
}

AudioJobRunner::AudioJobRunner(QObject* owner, Events events) : m_owner(owner), m_events(std::move(events)) {}

AudioJobRunner::~AudioJobRunner()
{
    release();
}

void AudioJobRunner::failLater(int code, const QString& text)
{
    const quint64 gen = m_generation;
    QMetaObject::invokeMethod(
        m_owner,
        [this, gen, code, text] {
            if (gen == m_generation)
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
    m_thread = std::thread([this, owner, unit, gen, abortFlag, work = std::move(work)] {
        JobContext ctx;
        ctx.m_abort = abortFlag;
        ctx.m_post = [this, owner, gen, abortFlag](int a, int b) {
            QMetaObject::invokeMethod(
                owner,
                [this, gen, abortFlag, a, b] {
                    if (gen == m_generation && m_running && !abortFlag->load())
                        m_events.progress(a, b);
                },
                Qt::QueuedConnection);
        };
        JobOutcome outcome = work(ctx);
        {
            std::lock_guard<std::mutex> lock(unit->mutex);
            unit->outcome = std::move(outcome);
        }
        QMetaObject::invokeMethod(owner, [this, gen] { finishUnit(gen); }, Qt::QueuedConnection);
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

void AudioJobRunner::abort()
{
    if (m_running && m_unit)
        m_unit->abort->store(true);
}

void AudioJobRunner::release()
{
    ++m_generation; // pending events of earlier units are dropped on arrival
    if (m_unit)
        m_unit->abort->store(true);
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
