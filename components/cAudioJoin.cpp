#include "components/cAudioJoin.h"

#include "components/AudioJobRunner.h"
#include "components/AudioJobWork.h"

using namespace kvaudio;

struct cAudioJoin::Impl {
    explicit Impl(cAudioJoin* q)
        : runner(q, AudioJobRunner::Events{[q](int a, int b) { emit q->JobProgress(a, b); }, [q] { emit q->JobDone(); },
                                            [q] { emit q->JobAborted(); },
                                            [q](int code, const QString& text) { emit q->JobError(code, text); }})
    {
    }
    EncoderSettings settings;
    QVector<JoinEntry> entries;
    QString output;
    AudioJobRunner runner;
};

cAudioJoin::cAudioJoin(QObject* parent) : QObject(parent), d(std::make_unique<Impl>(this)) {}

cAudioJoin::~cAudioJoin()
{
    ReleaseComponent();
}

void cAudioJoin::setOutputFormat(int code) { d->settings.outputFormat = code; }
int cAudioJoin::OutputFormat() const { return d->settings.outputFormat; }
void cAudioJoin::SetWAVSettings(const WAVSettings& s) { d->settings.wav = s; }
void cAudioJoin::SetMP3Settings(const MP3Settings& s) { d->settings.mp3 = s; }
void cAudioJoin::SetWMASettings(const WMASettings& s) { d->settings.wma = s; }
void cAudioJoin::SetOGGSettings(const OGGSettings& s) { d->settings.ogg = s; }
void cAudioJoin::SetACMFormat(const QString& formatTag, const QString& format)
{
    d->settings.acmTag = formatTag;
    d->settings.acmFormat = format;
}
void cAudioJoin::SetAPESettings(int level) { d->settings.apeLevel = level; }

void cAudioJoin::setTagAlbum(const QString& s) { d->settings.tags.album = s; }
void cAudioJoin::setTagArtist(const QString& s) { d->settings.tags.artist = s; }
void cAudioJoin::setTagComment(const QString& s) { d->settings.tags.comment = s; }
void cAudioJoin::setTagGenre(const QString& s) { d->settings.tags.genre = s; }
void cAudioJoin::setTagTitle(const QString& s) { d->settings.tags.title = s; }
void cAudioJoin::setTagTrack(const QString& s) { d->settings.tags.track = s; }
void cAudioJoin::setTagYear(const QString& s) { d->settings.tags.year = s; }

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
    unit.settings = d->settings;
    d->runner.start([unit](JobContext& ctx) { return runJoin(unit, ctx); });
}

void cAudioJoin::AbortJob() { d->runner.abort(); }

void cAudioJoin::ResetJoin() { d->entries.clear(); }

void cAudioJoin::ReleaseComponent() { d->runner.release(); }
