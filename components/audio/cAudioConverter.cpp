#include "components/audio/cAudioConverter.h"

#include "components/audio/AudioCodecLists.h"
#include "components/audio/AudioJobRunner.h"
#include "components/audio/AudioJobWork.h"
#include "components/audio/AudioSource.h"
#include "components/audio/AudioTags.h"

using namespace kvaudio;

struct cAudioConverter::Impl {
    explicit Impl(cAudioConverter* q)
        : runner(q, AudioJobRunner::Events{[q](int a, int) { emit q->JobProgress(a); }, [q] { emit q->JobDone(); },
                                            [q] { emit q->JobAborted(); },
                                            [q](int code, const QString& text) { emit q->JobError(code, text); }})
    {
    }
    AudioSource source;
    int sourceStatus = -1;
    QString input, output;
    bool rangeStartSet = false, rangeLengthSet = false;
    int rangeStart = 0, rangeLength = 0;
    AudioJobRunner runner;
};

cAudioConverter::cAudioConverter(QObject* parent) : QObject(parent), d(std::make_unique<Impl>(this)) {}

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
    AudioSource::readTags(path, &m_settings.tags);
}

QString cAudioConverter::TagAlbum() const { return m_settings.tags.album; }
QString cAudioConverter::TagArtist() const { return m_settings.tags.artist; }
QString cAudioConverter::TagComment() const { return m_settings.tags.comment; }
QString cAudioConverter::TagGenre() const { return m_settings.tags.genre; }
QString cAudioConverter::TagTitle() const { return m_settings.tags.title; }
QString cAudioConverter::TagTrack() const { return m_settings.tags.track; }
QString cAudioConverter::TagYear() const { return m_settings.tags.year; }
void cAudioConverter::setInputFile(const QString& path) { d->input = path; }
QString cAudioConverter::InputFile() const { return d->input; }
void cAudioConverter::setOutputFile(const QString& path) { d->output = path; }
QString cAudioConverter::OutputFile() const { return d->output; }

void cAudioConverter::setRangeStart(int seconds)
{
    d->rangeStart = seconds;
    d->rangeStartSet = true;
}

void cAudioConverter::setRangeLength(int seconds)
{
    d->rangeLength = seconds;
    d->rangeLengthSet = true;
}

void cAudioConverter::StartConvert()
{
    ConvertUnit unit;
    unit.input = d->input;
    unit.output = d->output;
    unit.settings = m_settings;
    unit.ranged = d->rangeStartSet || d->rangeLengthSet;
    unit.rangeStart = d->rangeStartSet ? d->rangeStart : 0;
    unit.rangeLength = d->rangeLengthSet ? d->rangeLength : 0;
    // A range belongs to this unit alone.
    d->rangeStartSet = d->rangeLengthSet = false;
    d->rangeStart = d->rangeLength = 0;
    d->runner.start([unit](JobContext& ctx) { return runConvert(unit, ctx); });
}

void cAudioConverter::AbortJob() { d->runner.abort(); }

void cAudioConverter::EnumACMFormatTags(int formatTag, int sampleRate, int channels, int bitsPerSample, int flags)
{
    constexpr int kConvertOnly = 0x100000;
    if (formatTag != 1 || sampleRate <= 0 || channels <= 0 || bitsPerSample <= 0)
        return;
    for (const AcmCodec& c : acmCodecs())
        if (!(flags & kConvertOnly) || c.convertsFrom(sampleRate, channels, bitsPerSample))
            emit ACMFormatTagFound(c.name);
}

void cAudioConverter::EnumACMFormats(const QString& formatTagName)
{
    if (const AcmCodec* c = findAcmCodec(formatTagName))
        for (const PcmShape& f : c->formats)
            emit ACMFormatFound(acmFormatName(f));
}

int cAudioConverter::WMACodecCount() const { return int(wmaCodecs().size()); }

QString cAudioConverter::WMACodecName(int codecIndex) const
{
    return codecIndex >= 0 && codecIndex < wmaCodecs().size() ? wmaCodecs()[codecIndex].name : QString();
}

int cAudioConverter::WMAFormatCount(int codecIndex) const
{
    return codecIndex >= 0 && codecIndex < wmaCodecs().size() ? int(wmaFormats().size()) : 0;
}

QString cAudioConverter::WMAFormatName(int codecIndex, int formatIndex) const
{
    if (codecIndex < 0 || codecIndex >= wmaCodecs().size() || formatIndex < 0 || formatIndex >= wmaFormats().size())
        return QString();
    return wmaFormatName(wmaFormats()[formatIndex]);
}

void cAudioConverter::ReleaseComponent()
{
    d->runner.release();
    d->source.close();
    d->sourceStatus = -1;
}
