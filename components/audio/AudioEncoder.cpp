#include "components/audio/AudioEncoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "components/audio/AudioCodecLists.h"
#include "components/audio/AudioEncoderBackends.h"
#include "components/audio/AudioJobErrors.h"
#include "components/audio/FFmpegUtil.h"
#include "components/audio/OutputCheck.h"
#include "components/audio/PartFiles.h"
#include "components/audio/Resampler.h"

namespace kvaudio {

struct AudioEncoder::Impl {
    std::unique_ptr<EncoderBackend> backend;
    QString target, temp;
    const char* demuxer = "wav"; // the container written, to read it back as
    int64_t framesOut = 0;        // frames handed to the writer
    PartFile part;                // locked while temp may be written
    int inRate = 0, inChannels = 0;
    Resampler swr;
    std::vector<float> converted, fromS16;
    bool finished = false, committed = false;
    int code = 0;
    QString text;

    ~Impl()
    {
        backend.reset();
        removeTemp();
    }
    void removeTemp()
    {
        if (!temp.isEmpty() && !committed)
            QFile::remove(temp);
        temp.clear();
        part.release();
    }
    bool fail(int c, const QString& t)
    {
        code = c;
        text = t;
        backend.reset();
        removeTemp();
        return false;
    }
};

AudioEncoder::AudioEncoder() : d(std::make_unique<Impl>()) {}
AudioEncoder::~AudioEncoder() = default;

int AudioEncoder::outputRate() const { return d->backend ? d->backend->rate() : 0; }
int AudioEncoder::outputChannels() const { return d->backend ? d->backend->channels() : 0; }
QString AudioEncoder::temporaryPath() const { return d->temp; }
int AudioEncoder::errorCode() const { return d->code; }
QString AudioEncoder::errorText() const { return d->text; }

namespace {

std::mutex& hookMutex()
{
    static std::mutex m;
    return m;
}
std::function<void(const QString&)>& writtenHook()
{
    static std::function<void(const QString&)> hook;
    return hook;
}

bool isMp3Rate(int r)
{
    for (int x : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000})
        if (x == r)
            return true;
    return false;
}

} // namespace

void setWrittenOutputHook(std::function<void(const QString&)> hook)
{
    std::lock_guard<std::mutex> lock(hookMutex());
    writtenHook() = std::move(hook);
}

bool AudioEncoder::open(const QString& target, const EncoderSettings& s, int inputRate, int inputChannels)
{
    Impl& m = *d;
    if (m.backend || !m.temp.isEmpty())
        return m.fail(ErrBusy, QStringLiteral("The encoder is already in use."));
    m.code = 0;
    m.text.clear();
    m.finished = m.committed = false;
    m.framesOut = 0;
    m.demuxer = s.outputFormat == 3 ? "mp3" : s.outputFormat == 4 ? "asf" : s.outputFormat == 5 ? "ogg"
              : s.outputFormat == 6 ? "ape" : "wav";
    if (inputRate <= 0 || inputChannels <= 0)
        return m.fail(ErrSettings, QStringLiteral("The audio to encode has no valid format."));
    const int srcChannels = qMin(inputChannels, 2);
    const bool withTags = !s.tags.isEmpty();

    switch (s.outputFormat) {
    case 1: {
        FFOutputFormat outFormat;
        outFormat.rate = s.wav.SampleRate;
        outFormat.channels = s.wav.Channels;
        if (outFormat.rate < 1000 || outFormat.rate > 384000)
            return m.fail(ErrSettings, QStringLiteral("The WAV sample rate %1 Hz is not supported.").arg(outFormat.rate));
        if (outFormat.channels != 1 && outFormat.channels != 2)
            return m.fail(ErrSettings, QStringLiteral("WAV files are written with 1 or 2 channels, not %1.").arg(outFormat.channels));
        if (s.wav.BitsPerSample == 8)
            outFormat.encoder = "pcm_u8";
        else if (s.wav.BitsPerSample == 16)
            outFormat.encoder = "pcm_s16le";
        else
            return m.fail(ErrSettings, QStringLiteral("WAV files are written with 8 or 16 bits, not %1.").arg(s.wav.BitsPerSample));
        outFormat.writeTags = withTags; // a LIST/INFO chunk before the audio
        m.backend = makeFFBackend(outFormat, s.tags);
        break;
    }
    case 2: {
        const AcmCodec* codec = findAcmCodec(s.acmTag);
        if (!codec)
            return m.fail(ErrSettings, s.acmTag.isEmpty() ? QStringLiteral("No ACM codec is chosen.")
                                                          : QStringLiteral("The ACM codec '%1' is not available.").arg(s.acmTag));
        PcmShape f;
        bool listed = false;
        if (parseAcmFormatName(s.acmFormat, &f))
            for (const PcmShape& g : codec->formats)
                listed = listed || (g.rate == f.rate && g.bits == f.bits && g.channels == f.channels);
        if (!listed)
            return m.fail(ErrSettings, QStringLiteral("'%1' is not a format of the ACM codec '%2'.").arg(s.acmFormat, s.acmTag));
        FFOutputFormat outFormat;
        outFormat.encoder = codec->name == QLatin1String("PCM") ? (f.bits == 8 ? "pcm_u8" : "pcm_s16le") : codec->encoder;
        outFormat.rate = f.rate;
        outFormat.channels = f.channels;
        outFormat.writeTags = withTags;
        m.backend = makeFFBackend(outFormat, s.tags);
        break;
    }
    case 3: {
        const int rate = s.mp3.SampleRate;
        if (!isMp3Rate(rate))
            return m.fail(ErrSettings, QStringLiteral("MP3 files cannot have the sample rate %1 Hz.").arg(rate));
        const int ch = s.mp3.Mode == 3 ? 1 : s.mp3.Mode == 4 ? srcChannels : 2;
        m.backend = makeLameBackend(s.mp3, rate, ch, s.tags);
        break;
    }
    case 4: {
        const auto& codecs = wmaCodecs();
        const auto& formats = wmaFormats();
        if (s.wma.CodecIndex < 0 || s.wma.CodecIndex >= codecs.size())
            return m.fail(ErrSettings, QStringLiteral("There is no WMA codec number %1.").arg(s.wma.CodecIndex));
        if (s.wma.FormatIndex < 0 || s.wma.FormatIndex >= formats.size())
            return m.fail(ErrSettings, QStringLiteral("The WMA codec has no format number %1.").arg(s.wma.FormatIndex));
        const WmaFormat& f = formats[s.wma.FormatIndex];
        FFOutputFormat outFormat;
        outFormat.container = "asf";
        outFormat.encoder = codecs[s.wma.CodecIndex].encoder;
        outFormat.rate = f.rate;
        outFormat.channels = f.channels;
        outFormat.bitRate = int64_t(f.kbps) * 1000;
        outFormat.writeTags = withTags;
        m.backend = makeFFBackend(outFormat, s.tags);
        break;
    }
    case 5: {
        FFOutputFormat outFormat;
        outFormat.container = "ogg";
        outFormat.encoder = "libvorbis";
        // Vorbis has no mode for very low or very high rates.
        outFormat.rate = qBound(8000, inputRate, 192000);
        outFormat.channels = srcChannels;
        if (s.ogg.Mode == 2) {
            if (s.ogg.NominalBitrate <= 0)
                return m.fail(ErrSettings, QStringLiteral("The OGG bitrate %1 kbit/s is not valid.").arg(s.ogg.NominalBitrate));
            outFormat.bitRate = int64_t(s.ogg.NominalBitrate) * 1000;
        } else {
            outFormat.vorbisQuality = qBound(0, s.ogg.Quality, 100) / 10.0;
        }
        outFormat.writeTags = withTags;
        m.backend = makeFFBackend(outFormat, s.tags);
        break;
    }
    case 6:
        m.backend = makeApeBackend(s.apeLevel, inputRate, srcChannels, s.tags);
        break;
    default:
        return m.fail(ErrSettings, QStringLiteral("Unknown output format %1.").arg(s.outputFormat));
    }

    // The temporary file, beside the target.
    const QFileInfo fi(target);
    if (target.isEmpty() || fi.fileName().isEmpty())
        return m.fail(ErrOutputPath, QStringLiteral("No output file is given."));
    if (fi.isDir())
        return m.fail(ErrOutputPath, QStringLiteral("The output '%1' is a folder.").arg(target));
    const QDir dir = fi.absoluteDir();
    if (!dir.exists())
        return m.fail(ErrOutputPath, QStringLiteral("The folder '%1' does not exist.").arg(QDir::toNativeSeparators(dir.path())));
    if (!m.part.create(dir.path()))
        return m.fail(ErrOutputPath, QStringLiteral("Cannot write in the folder '%1'.").arg(dir.path()));
    m.temp = m.part.path();
    m.target = fi.absoluteFilePath();
    QString err;
    if (!m.backend->open(m.temp, &err))
        return m.fail(ErrSettings, err);

    m.inRate = inputRate;
    m.inChannels = inputChannels;
    if (inputRate != m.backend->rate() || inputChannels != m.backend->channels()) {
        AVChannelLayout in = defaultLayout(inputChannels), out = defaultLayout(m.backend->channels());
        const int r = m.swr.open(in, AV_SAMPLE_FMT_FLT, inputRate, out, AV_SAMPLE_FMT_FLT, m.backend->rate());
        av_channel_layout_uninit(&in);
        av_channel_layout_uninit(&out);
        if (r < 0)
            return m.fail(ErrSettings, QStringLiteral("The audio cannot be converted to the output format."));
    }
    return true;
}

bool AudioEncoder::write(const float* interleaved, int frames)
{
    Impl& m = *d;
    if (!m.backend || m.finished)
        return m.fail(ErrWrite, QStringLiteral("The encoder is not open."));
    if (frames <= 0)
        return true;
    QString err;
    if (!m.swr.isOpen()) {
        if (!m.backend->write(interleaved, frames, &err))
            return m.fail(ErrWrite, err);
        m.framesOut += frames;
        return true;
    }
    const int cap = m.swr.room(frames);
    m.converted.resize(size_t(cap) * m.backend->channels());
    const uint8_t* in = reinterpret_cast<const uint8_t*>(interleaved);
    const int got = m.swr.convert(reinterpret_cast<uint8_t*>(m.converted.data()), cap, &in, frames);
    if (got < 0)
        return m.fail(ErrWrite, QStringLiteral("The audio cannot be converted to the output format."));
    if (got > 0 && !m.backend->write(m.converted.data(), got, &err))
        return m.fail(ErrWrite, err);
    m.framesOut += got;
    return true;
}

bool AudioEncoder::writeS16(const int16_t* interleaved, int frames)
{
    if (frames <= 0)
        return true;
    const size_t n = size_t(frames) * d->inChannels;
    d->fromS16.resize(n);
    for (size_t i = 0; i < n; ++i)
        d->fromS16[i] = interleaved[i] / 32768.0f;
    return write(d->fromS16.data(), frames);
}

bool AudioEncoder::finish()
{
    Impl& m = *d;
    if (!m.backend)
        return m.fail(ErrWrite, QStringLiteral("The encoder is not open."));
    if (m.finished)
        return true;
    QString err;
    if (m.swr.isOpen()) {
        m.converted.resize(size_t(m.swr.owed()) * m.backend->channels());
        const int got = m.swr.drain(reinterpret_cast<uint8_t*>(m.converted.data()));
        m.swr.close();
        if (got < 0)
            return m.fail(ErrWrite, QStringLiteral("The audio cannot be converted to the output format."));
        if (got > 0 && !m.backend->write(m.converted.data(), got, &err))
            return m.fail(ErrWrite, err);
        m.framesOut += qMax(got, 0);
    }
    if (!m.backend->finish(&err))
        return m.fail(ErrWrite, err);
    m.backend.reset();
    const QString name = QFileInfo(m.target).fileName();
    if (m.framesOut == 0)
        return m.fail(ErrWrite, QStringLiteral("No audio reached the output file '%1'.").arg(name));
    std::function<void(const QString&)> hook;
    {
        std::lock_guard<std::mutex> lock(hookMutex());
        hook = writtenHook();
    }
    if (hook)
        hook(m.temp);
    const QString why = checkWrittenAudio(m.temp, m.demuxer);
    if (!why.isEmpty())
        return m.fail(ErrWrite, QStringLiteral("The output file '%1' cannot be read back: %2.").arg(name, why));
    m.finished = true;
    return true;
}

bool AudioEncoder::commit()
{
    Impl& m = *d;
    if (!m.finished || m.temp.isEmpty())
        return m.fail(ErrWrite, QStringLiteral("There is no finished output to keep."));
    const QByteArray temp = QFile::encodeName(m.temp), target = QFile::encodeName(m.target);
    // The new file takes the old one's permissions, reaches the disk before
    // it replaces the old one, and the rename itself is made durable: a
    // crash leaves either file whole, never an empty one.
    struct stat old;
    if (::stat(target.constData(), &old) == 0)
        ::chmod(temp.constData(), old.st_mode & 07777);
    const int fd = ::open(temp.constData(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!synced || ::rename(temp.constData(), target.constData()) != 0)
        return m.fail(ErrWrite, QStringLiteral("The output file '%1' cannot be written.").arg(QFileInfo(m.target).fileName()));
    const int dirFd = ::open(QFile::encodeName(QFileInfo(m.target).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    m.committed = true;
    m.temp.clear();
    m.part.release();
    return true;
}

void AudioEncoder::discard()
{
    d->backend.reset();
    d->removeTemp();
    d->finished = false;
}

} // namespace kvaudio
