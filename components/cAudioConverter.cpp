#include "components/cAudioConverter.h"

#include "components/AudioCodecLists.h"
#include "components/AudioJobRunner.h"
#include "components/AudioJobWork.h"
#include "components/AudioSource.h"
#include "components/AudioTags.h"

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
    TagTexts tags;
    EncoderSettings settings;
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

void cAudioConverter::setOutputFormat(int code) { d->settings.outputFormat = code; }
int cAudioConverter::OutputFormat() const { return d->settings.outputFormat; }
void cAudioConverter::SetWAVSettings(const WAVSettings& s) { d->settings.wav = s; }
void cAudioConverter::SetMP3Settings(const MP3Settings& s) { d->settings.mp3 = s; }
void cAudioConverter::SetWMASettings(const WMASettings& s) { d->settings.wma = s; }
void cAudioConverter::SetOGGSettings(const OGGSettings& s) { d->settings.ogg = s; }
void cAudioConverter::SetACMFormat(const QString& formatTag, const QString& format)
{
    d->settings.acmTag = formatTag;
    d->settings.acmFormat = format;
}
void cAudioConverter::SetAPESettings(int level) { d->settings.apeLevel = level; }
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
    unit.settings = d->settings;
    unit.settings.tags = d->tags;
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
