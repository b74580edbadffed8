#include "components/cAudioConverter.h"

#include "components/AudioSource.h"
#include "components/AudioTags.h"

using namespace kvaudio;

struct cAudioConverter::Impl {
    AudioSource source;
    int sourceStatus = -1;
    TagTexts tags;
};

cAudioConverter::cAudioConverter(QObject* parent) : QObject(parent), d(std::make_unique<Impl>()) {}

cAudioConverter::~cAudioConverter()
{
    ReleaseComponent();
}

int cAudioConverter::OpenSourceFile(const QString& path)
{
    d->sourceStatus = d->source.open(path);
    return d->sourceStatus;
}

void cAudioConverter::CloseSourceFile()
{
    d->source.close();
    d->sourceStatus = -1;
}

int cAudioConverter::DurationMs() const
{
    return d->source.isOpen() ? int(qMin<int64_t>(d->source.info().durationMs, INT32_MAX)) : 0;
}

// Without an open file the format is CD audio's, the usual source.
int cAudioConverter::SampleRate() const { return d->source.isOpen() ? d->source.info().sampleRate : 44100; }
int cAudioConverter::Channels() const { return d->source.isOpen() ? d->source.info().channels : 2; }
int cAudioConverter::BitsPerSample() const { return d->source.isOpen() ? d->source.info().bitsPerSample : 16; }

QString cAudioConverter::SecondsToTime(int seconds) const
{
    if (seconds < 0)
        seconds = 0;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void cAudioConverter::ReadTags(const QString& path)
{
    AudioSource::readTags(path, &d->tags);
}

QString cAudioConverter::TagAlbum() const { return d->tags.album; }
QString cAudioConverter::TagArtist() const { return d->tags.artist; }
QString cAudioConverter::TagComment() const { return d->tags.comment; }
QString cAudioConverter::TagGenre() const { return d->tags.genre; }
QString cAudioConverter::TagTitle() const { return d->tags.title; }
QString cAudioConverter::TagTrack() const { return d->tags.track; }
QString cAudioConverter::TagYear() const { return d->tags.year; }
void cAudioConverter::setTagAlbum(const QString& s) { d->tags.album = s; }
void cAudioConverter::setTagArtist(const QString& s) { d->tags.artist = s; }
void cAudioConverter::setTagComment(const QString& s) { d->tags.comment = s; }
void cAudioConverter::setTagGenre(const QString& s) { d->tags.genre = s; }
void cAudioConverter::setTagTitle(const QString& s) { d->tags.title = s; }
void cAudioConverter::setTagTrack(const QString& s) { d->tags.track = s; }
void cAudioConverter::setTagYear(const QString& s) { d->tags.year = s; }

void cAudioConverter::ReleaseComponent()
{
    d->source.close();
    d->sourceStatus = -1;
}
