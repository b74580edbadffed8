#include "components/audio/cAudioJoin.h"

#include "components/audio/AudioJobRunner.h"
#include "components/audio/AudioJobWork.h"

using namespace kvaudio;

struct cAudioJoin::Impl {
    explicit Impl(cAudioJoin* q)
        : runner(q, AudioJobRunner::Events{[q](int a, int b) { emit q->JobProgress(a, b); }, [q] { emit q->JobDone(); },
                                            [q] { emit q->JobAborted(); },
                                            [q](int code, const QString& text) { emit q->JobError(code, text); }})
    {
    }
    QVector<JoinEntry> entries;
    QString output;
    AudioJobRunner runner;
};

cAudioJoin::cAudioJoin(QObject* parent) : QObject(parent), d(std::make_unique<Impl>(this)) {}

cAudioJoin::~cAudioJoin()
{
    ReleaseComponent();
}

int cAudioJoin::JoinFileCount() const { return int(d->entries.size()); }

void cAudioJoin::AddJoinFile(const QString& path, int start, int length)
{
    d->entries.push_back({path, start, length});
}

void cAudioJoin::RemoveJoinFile(int index)
{
    if (index >= 1 && index <= d->entries.size())
        d->entries.remove(index - 1);
}

QString cAudioJoin::JoinFileEntry(int index, int& start, int& length) const
{
    if (index < 1 || index > d->entries.size())
        return QString();
    const JoinEntry& e = d->entries[index - 1];
    start = e.start;
    length = e.length;
    return e.path;
}

void cAudioJoin::setOutputFile(const QString& path) { d->output = path; }
QString cAudioJoin::OutputFile() const { return d->output; }

void cAudioJoin::StartJoin()
{
    JoinUnit unit;
    unit.entries = d->entries;
    unit.output = d->output;
    unit.settings = m_settings;
    d->runner.start([unit](JobContext& ctx) { return runJoin(unit, ctx); });
}

void cAudioJoin::AbortJob() { d->runner.abort(); }

void cAudioJoin::ResetJoin() { d->entries.clear(); }

void cAudioJoin::ReleaseComponent() { d->runner.release(); }
