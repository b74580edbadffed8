#include "components/audio/AudioSource.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstring>
#include <mutex>
#include <vector>

#include "components/audio/AudioJobErrors.h"
#include "components/audio/FFmpegUtil.h"
#include "components/audio/Resampler.h"
#include "components/audio/SourceCheck.h"
#include "components/audio/WavFile.h"

namespace kvaudio {
namespace {

// The containers Kelvane reads, and which one each extension promises.
const char* const kAllowedDemuxers = "wav,mp3,asf,ogg";

QString expectedDemuxer(const QString& path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("wav") || ext == QLatin1String("acm"))
        return QStringLiteral("wav");
    if (ext == QLatin1String("mp3"))
        return QStringLiteral("mp3");
    if (ext == QLatin1String("wma"))
        return QStringLiteral("asf");
    if (ext == QLatin1String("ogg"))
        return QStringLiteral("ogg");
    return QString();
}

// The demuxer a file's first bytes show it was made for, when that is the one
// its extension promises. Such a file is opened with that demuxer directly:
// letting every demuxer guess at the bytes costs more than the rest of the
// opening. Other files are left to the guess (null).
const AVInputFormat* signatureFormat(const QByteArray& head, const QString& expected)
{
    if (expected.isEmpty())
        return nullptr;
    const auto* b = reinterpret_cast<const unsigned char*>(head.constData());
    bool match = false;
    if (expected == QLatin1String("wav"))
        match = head.size() >= 12 && (head.startsWith("RIFF") || head.startsWith("RF64")) && head.mid(8, 4) == "WAVE";
    else if (expected == QLatin1String("mp3"))
        match = head.startsWith("ID3") || (head.size() >= 2 && b[0] == 0xFF && (b[1] & 0xE0) == 0xE0);
    else if (expected == QLatin1String("ogg"))
        match = head.startsWith("OggS");
    else if (expected == QLatin1String("asf"))
        match = head == QByteArray::fromHex("3026B2758E66CF11A6D900AA0062CE6C");
    return match ? av_find_input_format(expected.toLatin1().constData()) : nullptr;
}

// Bytes of the chunks the WAV demuxer reads whole (tags, broadcast notes):
// more than any real file holds, less than a second of its reading.
constexpr uint64_t kMaxWavReadWholeBytes = 16u << 20;

// A file that passed the checks made before any library reads it.
struct CheckedFile {
    QString path;
    QByteArray head; // its first bytes
};

// The checks made before the demuxer sees a file: a regular file (a pipe
// would hold the open for ever), not empty, and a WAV whose chunks are few
// and small enough that the demuxer's own walk through all of them stays
// short (it reads every chunk header of the file, and some chunks whole).
// Costs one open and at most kMaxWavChunks chunk headers, whatever the file.
int checkBeforeOpening(const QString& path, CheckedFile* checked, QString* text)
{
    const QString name = QFileInfo(path).fileName();
    QFile file;
    bool notRegular = false;
    switch (OpenRegularFile(path, &file, nullptr, &notRegular)) {
    case 0:
        break;
    case ErrSourceMissing:
        return SourceMissing;
    default:
        // A folder or a pipe where the file should be: it exists, but is no file to read.
        if (notRegular && text)
            *text = QStringLiteral("The file '%1' cannot be read: it is not a regular file.").arg(name);
        return SourceUnreadable;
    }
    if (file.size() == 0)
        return SourceEmpty;
    checked->path = path;
    checked->head = file.read(16);
    const QByteArray form = checked->head.left(4);
    if (checked->head.mid(8, 4) != "WAVE" || !(form == "RIFF" || form == "RIFX" || form == "RF64" || form == "BW64"))
        return SourceOk;
    const int64_t size = file.size();
    uint64_t readWhole = 0;
    const WavWalkEnd end = WalkWavChunks(file, [&](const WavChunk& c) {
        if (c.id == "LIST" || c.id == "bext" || c.id == "id3 " || c.id == "ID3 ")
            readWhole += qMin<uint64_t>(c.size, uint64_t(size - c.offset));
        return readWhole <= kMaxWavReadWholeBytes;
    });
    if (end == WavWalkEnd::TooManyChunks) {
        if (text)
            *text = QStringLiteral("The file '%1' is damaged or no WAV file that can be read: it holds more than %2 "
                                   "chunks.")
                        .arg(name)
                        .arg(kMaxWavChunks);
        return SourceNotAudio;
    }
    if (end == WavWalkEnd::Stopped) {
        if (text)
            *text = QStringLiteral("The file '%1' is damaged or no WAV file that can be read: its tag chunks hold "
                                   "more than %2 MB.")
                        .arg(name)
                        .arg(kMaxWavReadWholeBytes >> 20);
        return SourceNotAudio;
    }
    return SourceOk;
}

// Never destroyed: a read thread still under way at exit may look at it.
struct OpenHook {
    std::mutex mutex;
    std::function<void()> hook;
};
OpenHook& openHook()
{
    static auto* h = new OpenHook;
    return *h;
}

void runOpenHook()
{
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> lock(openHook().mutex);
        hook = openHook().hook;
    }
    if (hook)
        hook();
}

int interruptWhenSet(void* flag)
{
    return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0;
}

// The one way to the demuxer: only a checked file gets there.
AVFormatContext* openContainer(const CheckedFile& file, int* err, const AVInputFormat* format = nullptr,
                               const std::atomic<bool>* interrupt = nullptr)
{
    initFFmpeg();
    AVFormatContext* fmt = nullptr;
    if (interrupt) {
        // FFmpeg gives up its waits and retries once the flag is set.
        fmt = avformat_alloc_context();
        if (!fmt) {
            *err = AVERROR(ENOMEM);
            return nullptr;
        }
        fmt->interrupt_callback.callback = interruptWhenSet;
        fmt->interrupt_callback.opaque = const_cast<std::atomic<bool>*>(interrupt);
    }
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "format_whitelist", kAllowedDemuxers, 0);
    av_dict_set(&opts, "protocol_whitelist", "file", 0);
    // A PCM WAV is taken for what its header says: sniffing its samples for
    // other codecs costs milliseconds per file, which lists of thousands of
    // items cannot afford.
    av_dict_set(&opts, "max_probe_packets", "1", 0);
    *err = avformat_open_input(&fmt, ffFileUrl(file.path).constData(), format, &opts);
    av_dict_free(&opts);
    return *err < 0 ? nullptr : fmt;
}

} // namespace

struct AudioSource::Impl {
    const std::atomic<bool>* interrupt = nullptr;
    AVFormatContext* fmt = nullptr;
    AVCodecContext* dec = nullptr;
    Resampler swr;
    AVPacket* pkt = nullptr;
    AVFrame* frame = nullptr;
    int streamIndex = -1;
    SourceInfo info;
    bool durationReliable = false;

    int outRate = 0, outChannels = 0;
    // swr's current input
    int swrInRate = 0, swrInFormat = -1;
    AVChannelLayout swrInLayout{};

    std::vector<float> pending; // converted samples not yet handed out
    size_t pendingPos = 0;       // in floats
    bool haveStashed = false;    // frame holds a decoded frame not yet converted
    bool demuxEnded = false, decoderDrained = false, swrDrained = false;

    int64_t originPts = AV_NOPTS_VALUE;
    int64_t seekTarget = -1;     // input samples from the origin; -1: none
    int64_t nextInputSample = 0; // where the next frame starts when it has no timestamp
    int64_t inputSamplesOut = 0; // decoded input samples kept (after trimming)
    bool seeked = false;

    int packets = 0, badPackets = 0;
    int64_t framesOut = 0;

    ~Impl() { reset(); }

    void reset()
    {
        swr.close();
        if (dec)
            avcodec_free_context(&dec);
        if (fmt)
            avformat_close_input(&fmt);
        if (pkt)
            av_packet_free(&pkt);
        if (frame)
            av_frame_free(&frame);
        av_channel_layout_uninit(&swrInLayout);
        streamIndex = -1;
        info = SourceInfo();
        pending.clear();
        pendingPos = 0;
        haveStashed = demuxEnded = decoderDrained = swrDrained = false;
        originPts = AV_NOPTS_VALUE;
        seekTarget = -1;
        nextInputSample = inputSamplesOut = 0;
        packets = badPackets = 0;
        framesOut = 0;
        seeked = false;
    }

    AVStream* stream() const { return fmt->streams[streamIndex]; }

    // Next decoded frame into `frame`: 1 got one, 0 end of stream, <0 error.
    int decodeNext(QString* errorText)
    {
        for (int idle = 0; idle < 100000; ++idle) {
            int r = avcodec_receive_frame(dec, frame);
            if (r >= 0)
                return 1;
            if (r == AVERROR_EOF)
                return 0;
            if (r == AVERROR_INVALIDDATA) {
                ++badPackets;
                if (tooDamaged()) {
                    if (errorText)
                        *errorText = QStringLiteral("The audio data is damaged and cannot be decoded.");
                    return -1;
                }
                continue;
            }
            if (r != AVERROR(EAGAIN)) {
                if (errorText)
                    *errorText = QStringLiteral("Decoding failed: %1.").arg(ffErrorText(r));
                return -1;
            }
            if (demuxEnded) {
                if (decoderDrained)
                    return 0;
                avcodec_send_packet(dec, nullptr);
                decoderDrained = true;
                continue;
            }
            r = av_read_frame(fmt, pkt);
            if (r == AVERROR_EOF || (r == AVERROR(EIO) && avio_feof(fmt->pb))) {
                demuxEnded = true;
                continue;
            }
            if (r < 0) {
                if (errorText)
                    *errorText = QStringLiteral("The file cannot be read: %1.").arg(ffErrorText(r));
                return -1;
            }
            if (pkt->stream_index != streamIndex) {
                av_packet_unref(pkt);
                continue;
            }
            ++packets;
            r = avcodec_send_packet(dec, pkt);
            av_packet_unref(pkt);
            if (r == AVERROR_INVALIDDATA) {
                ++badPackets;
                if (tooDamaged()) {
                    if (errorText)
                        *errorText = QStringLiteral("The audio data is damaged and cannot be decoded.");
                    return -1;
                }
            } else if (r < 0 && r != AVERROR(EAGAIN)) {
                if (errorText)
                    *errorText = QStringLiteral("Decoding failed: %1.").arg(ffErrorText(r));
                return -1;
            }
        }
        if (errorText)
            *errorText = QStringLiteral("The audio data is damaged and cannot be decoded.");
        return -1;
    }

    bool tooDamaged() const { return badPackets > 16 && badPackets * 4 > packets; }

    bool setupSwr(QString* errorText)
    {
        AVChannelLayout in{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels <= 0)
            in = defaultLayout(frame->ch_layout.nb_channels > 0 ? frame->ch_layout.nb_channels : info.channels);
        else
            av_channel_layout_copy(&in, &frame->ch_layout);
        if (swr.isOpen() && swrInRate == frame->sample_rate && swrInFormat == frame->format
            && av_channel_layout_compare(&swrInLayout, &in) == 0) {
            av_channel_layout_uninit(&in);
            return true;
        }
        // The stream changes its format: what the old resampler holds comes first.
        if (swr.isOpen() && !drainSwr(errorText)) {
            av_channel_layout_uninit(&in);
            return false;
        }
        AVChannelLayout out = defaultLayout(outChannels);
        const int r = swr.open(in, AVSampleFormat(frame->format), frame->sample_rate, out, AV_SAMPLE_FMT_FLT, outRate);
        av_channel_layout_uninit(&out);
        av_channel_layout_uninit(&swrInLayout);
        swrInLayout = in;
        swrInRate = frame->sample_rate;
        swrInFormat = frame->format;
        if (r < 0) {
            if (errorText)
                *errorText = QStringLiteral("The audio format cannot be converted: %1.").arg(ffErrorText(r));
            return false;
        }
        return true;
    }

    // Converts `frame` (less the samples before a seek target) into pending.
    bool convertFrame(QString* errorText)
    {
        if (frame->sample_rate <= 0 || frame->nb_samples <= 0)
            return true;
        const int64_t ts = frame->best_effort_timestamp;
        int64_t start = nextInputSample;
        if (ts != AV_NOPTS_VALUE && originPts != AV_NOPTS_VALUE)
            start = av_rescale_q(ts - originPts, stream()->time_base, AVRational{1, frame->sample_rate});
        int skip = 0;
        if (seekTarget >= 0) {
            if (start + frame->nb_samples <= seekTarget) {
                nextInputSample = start + frame->nb_samples;
                return true;
            }
            if (start < seekTarget)
                skip = int(seekTarget - start);
            seekTarget = -1;
        }
        nextInputSample = start + frame->nb_samples;
        if (!setupSwr(errorText))
            return false;
        const int n = frame->nb_samples - skip;
        inputSamplesOut += n;
        const uint8_t* in[AV_NUM_DATA_POINTERS] = {};
        const int bps = av_get_bytes_per_sample(AVSampleFormat(frame->format));
        const bool planar = av_sample_fmt_is_planar(AVSampleFormat(frame->format));
        const int chans = frame->ch_layout.nb_channels > 0 ? frame->ch_layout.nb_channels : info.channels;
        for (int c = 0; c < (planar ? chans : 1) && c < AV_NUM_DATA_POINTERS; ++c)
            in[c] = frame->extended_data[c] + size_t(skip) * bps * (planar ? 1 : chans);
        return runSwr(in, n, errorText);
    }

    bool runSwr(const uint8_t** in, int n, QString* errorText)
    {
        return appendSwr(swr.room(n), [&](uint8_t* out, int room) { return swr.convert(out, room, in, n); }, errorText);
    }

    // Ends the resampler's stream: its last frames go to pending.
    bool drainSwr(QString* errorText)
    {
        const bool ok = appendSwr(swr.owed(), [&](uint8_t* out, int) { return swr.drain(out); }, errorText);
        swr.close();
        return ok;
    }

    // Appends to pending what the resampler gives into room frames.
    template <class Produce> bool appendSwr(int room, Produce produce, QString* errorText)
    {
        compactPending();
        const size_t old = pending.size();
        pending.resize(old + size_t(room) * outChannels);
        const int got = produce(reinterpret_cast<uint8_t*>(pending.data() + old), room);
        if (got < 0) {
            pending.resize(old);
            if (errorText)
                *errorText = QStringLiteral("The audio format cannot be converted: %1.").arg(ffErrorText(got));
            return false;
        }
        pending.resize(old + size_t(got) * outChannels);
        return true;
    }

    void compactPending()
    {
        if (pendingPos > 0) {
            pending.erase(pending.begin(), pending.begin() + pendingPos);
            pendingPos = 0;
        }
    }
};

AudioSource::AudioSource() : d(std::make_unique<Impl>()) {}
AudioSource::~AudioSource() = default;

bool AudioSource::isOpen() const { return d->dec != nullptr; }
const SourceInfo& AudioSource::info() const { return d->info; }
int AudioSource::outputRate() const { return d->outRate; }
int AudioSource::outputChannels() const { return d->outChannels; }
int64_t AudioSource::framesRead() const { return d->framesOut; }

void AudioSource::close() { d->reset(); }

void AudioSource::setInterruptFlag(const std::atomic<bool>* flag) { d->interrupt = flag; }

QString AudioSource::statusText(int status, const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    switch (status) {
    case SourceOk:
        return QString();
    case SourceMissing:
        return QStringLiteral("The file '%1' does not exist.").arg(name);
    case SourceUnreadable:
        return QStringLiteral("The file '%1' cannot be read.").arg(name);
    case SourceNotAudio:
        return QStringLiteral("The file '%1' holds no audio that can be decoded.").arg(name);
    case SourceMislabelled:
        return QStringLiteral("The contents of '%1' do not match its extension.").arg(name);
    case SourceTruncated:
        return QStringLiteral("The file '%1' is incomplete: it ends before its audio does.").arg(name);
    case SourceEmpty:
        return QStringLiteral("The file '%1' holds no audio.").arg(name);
    }
    return QStringLiteral("The file '%1' cannot be opened.").arg(name);
}

void setSourceOpenHook(std::function<void()> hook)
{
    std::lock_guard<std::mutex> lock(openHook().mutex);
    openHook().hook = std::move(hook);
}

void runSourceOpenHook()
{
    runOpenHook();
}

int AudioSource::open(const QString& path, QString* errorText)
{
    d->reset();
    runOpenHook();
    auto fail = [&](int status) {
        d->reset();
        if (errorText)
            *errorText = statusText(status, path);
        return status;
    };
    CheckedFile checked;
    QString refusal;
    if (const int status = checkBeforeOpening(path, &checked, &refusal)) {
        d->reset();
        if (errorText)
            *errorText = refusal.isEmpty() ? statusText(status, path) : refusal;
        return status;
    }

    int err = 0;
    const QString expected = expectedDemuxer(path);
    if (const AVInputFormat* direct = signatureFormat(checked.head, expected))
        d->fmt = openContainer(checked, &err, direct, d->interrupt);
    if (!d->fmt)
        d->fmt = openContainer(checked, &err, nullptr, d->interrupt);
    if (!d->fmt)
        return fail(err == AVERROR(EACCES) ? SourceUnreadable : SourceNotAudio);
    const QString demuxer = QString::fromLatin1(d->fmt->iformat->name);
    if (!expected.isEmpty() && demuxer != expected)
        return fail(SourceMislabelled);
    switch (checkSourceStructure(path, demuxer)) {
    case SourceVerdict::Fine:
        break;
    case SourceVerdict::Truncated:
        return fail(SourceTruncated);
    case SourceVerdict::NotAudio:
        return fail(SourceNotAudio);
    case SourceVerdict::Empty:
        return fail(SourceEmpty);
    }
    if (avformat_find_stream_info(d->fmt, nullptr) < 0)
        return fail(SourceNotAudio);
    const AVCodec* codec = nullptr;
    d->streamIndex = av_find_best_stream(d->fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (d->streamIndex < 0 || !codec)
        return fail(SourceNotAudio);
    for (unsigned i = 0; i < d->fmt->nb_streams; ++i)
        if (int(i) != d->streamIndex)
            d->fmt->streams[i]->discard = AVDISCARD_ALL;
    AVStream* st = d->stream();
    const AVCodecParameters* par = st->codecpar;
    if (par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0)
        return fail(SourceNotAudio);
    d->dec = avcodec_alloc_context3(codec);
    if (!d->dec || avcodec_parameters_to_context(d->dec, par) < 0)
        return fail(SourceNotAudio);
    d->dec->pkt_timebase = st->time_base;
    if (avcodec_open2(d->dec, codec, nullptr) < 0)
        return fail(SourceNotAudio);
    d->pkt = av_packet_alloc();
    d->frame = av_frame_alloc();

    SourceInfo& in = d->info;
    in.container = demuxer;
    in.codec = QString::fromLatin1(codec->name);
    in.sampleRate = par->sample_rate;
    in.channels = par->ch_layout.nb_channels;
    const AVCodecDescriptor* desc = avcodec_descriptor_get(par->codec_id);
    const int coded = par->bits_per_coded_sample;
    if (desc && (desc->props & AV_CODEC_PROP_LOSSLESS) && coded >= 8 && coded <= 64 && coded % 8 == 0)
        in.bitsPerSample = coded;
    else if (par->bits_per_raw_sample > 0)
        in.bitsPerSample = par->bits_per_raw_sample;
    else
        in.bitsPerSample = 16;

    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        in.durationMs = av_rescale_q(st->duration, st->time_base, AVRational{1, 1000});
    else if (d->fmt->duration != AV_NOPTS_VALUE && d->fmt->duration > 0)
        in.durationMs = av_rescale(d->fmt->duration, 1000, AV_TIME_BASE);
    d->durationReliable = in.durationMs > 0 && d->fmt->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;

    d->outRate = in.sampleRate;
    d->outChannels = qMin(in.channels, 2);

    // The first frame must decode; it is kept for the first read.
    QString decodeError;
    const int r = d->decodeNext(&decodeError);
    if (r < 0)
        return fail(SourceNotAudio);
    if (r == 0) // nothing but headers, or every sample is encoder delay
        return fail(SourceEmpty);
    d->haveStashed = true;
    d->originPts = d->frame->best_effort_timestamp;

    if (in.durationMs <= 0) {
        // No length in the headers: count the packets. Only short or odd
        // files get here; the demuxer is reopened afterwards.
        AVFormatContext* scan = openContainer(checked, &err, nullptr, d->interrupt);
        if (scan && avformat_find_stream_info(scan, nullptr) >= 0 && d->streamIndex < int(scan->nb_streams)) {
            AVPacket* p = av_packet_alloc();
            int64_t end = 0;
            const AVRational tb = scan->streams[d->streamIndex]->time_base;
            const int64_t first = scan->streams[d->streamIndex]->start_time;
            while (av_read_frame(scan, p) >= 0) {
                if (p->stream_index == d->streamIndex && p->pts != AV_NOPTS_VALUE)
                    end = qMax(end, p->pts + p->duration - (first != AV_NOPTS_VALUE ? first : 0));
                av_packet_unref(p);
            }
            av_packet_free(&p);
            in.durationMs = av_rescale_q(end, tb, AVRational{1, 1000});
        }
        if (scan)
            avformat_close_input(&scan);
        if (in.durationMs <= 0)
            in.durationMs = int64_t(d->frame->nb_samples) * 1000 / in.sampleRate;
    }
    if (errorText)
        errorText->clear();
    return SourceOk;
}

void AudioSource::setOutputFormat(int sampleRate, int channels)
{
    if (sampleRate > 0)
        d->outRate = sampleRate;
    if (channels > 0)
        d->outChannels = channels;
    d->swr.close();
    d->swrInRate = 0;
}

bool AudioSource::seekMs(int64_t ms)
{
    if (!isOpen())
        return false;
    if (ms < 0)
        ms = 0;
    Impl& s = *d;
    const bool fresh = s.haveStashed && s.framesOut == 0 && !s.seeked;
    if (ms == 0 && fresh)
        return true;
    AVStream* st = s.stream();
    const int64_t origin = s.originPts != AV_NOPTS_VALUE ? s.originPts
                                                         : (st->start_time != AV_NOPTS_VALUE ? st->start_time : 0);
    // A second early, so that the decoder has settled when the target comes.
    const int64_t target = origin + av_rescale_q(qMax<int64_t>(0, ms - 1000), AVRational{1, 1000}, st->time_base);
    if (av_seek_frame(s.fmt, s.streamIndex, target, AVSEEK_FLAG_BACKWARD) < 0) {
        if (!fresh)
            return false;
        // Not seekable: decode from the start and drop what comes before.
        s.seekTarget = ms * s.info.sampleRate / 1000;
        s.seeked = true;
        return true;
    }
    avcodec_flush_buffers(s.dec);
    s.swr.close();
    s.swrInRate = 0;
    s.pending.clear();
    s.pendingPos = 0;
    s.haveStashed = false;
    s.demuxEnded = s.decoderDrained = s.swrDrained = false;
    s.seekTarget = ms * s.info.sampleRate / 1000;
    s.nextInputSample = 0;
    s.inputSamplesOut = 0;
    s.framesOut = 0;
    s.seeked = true;
    return true;
}

int AudioSource::read(float* dst, int maxFrames, QString* errorText)
{
    if (!isOpen()) {
        if (errorText)
            *errorText = QStringLiteral("No file is open.");
        return -1;
    }
    Impl& s = *d;
    const int ch = s.outChannels;
    int done = 0;
    while (done < maxFrames) {
        const size_t availFrames = (s.pending.size() - s.pendingPos) / ch;
        if (availFrames > 0) {
            const int n = int(qMin<size_t>(availFrames, size_t(maxFrames - done)));
            std::memcpy(dst + size_t(done) * ch, s.pending.data() + s.pendingPos, sizeof(float) * size_t(n) * ch);
            s.pendingPos += size_t(n) * ch;
            done += n;
            continue;
        }
        if (s.swrDrained)
            break;
        if (s.haveStashed) {
            s.haveStashed = false;
            if (!s.convertFrame(errorText))
                return -1;
            av_frame_unref(s.frame);
            continue;
        }
        const int r = s.decodeNext(errorText);
        if (r < 0)
            return -1;
        if (r > 0) {
            const bool ok = s.convertFrame(errorText);
            av_frame_unref(s.frame);
            if (!ok)
                return -1;
            continue;
        }
        // End of the stream: drain the resampler, then check that the audio
        // lasted as long as the headers said.
        s.swrDrained = true;
        if (s.swr.isOpen() && !s.drainSwr(errorText))
            return -1;
        if (!s.seeked && s.durationReliable && s.info.sampleRate > 0) {
            const int64_t gotMs = s.inputSamplesOut * 1000 / s.info.sampleRate;
            if (gotMs + 500 < s.info.durationMs && gotMs * 10 < s.info.durationMs * 9) {
                if (errorText)
                    *errorText = QStringLiteral("The audio ends early: the file is incomplete or damaged.");
                return -1;
            }
        }
        if (s.packets > 0 && s.tooDamaged()) {
            if (errorText)
                *errorText = QStringLiteral("The audio data is damaged and cannot be decoded.");
            return -1;
        }
    }
    s.framesOut += done;
    return done;
}

size_t AudioSource::readForStream(void* dst, size_t bytes)
{
    const size_t frameBytes = sizeof(float) * size_t(qMax(1, d->outChannels));
    const int frames = int(qMin<size_t>(bytes / frameBytes, size_t(INT32_MAX)));
    const int got = frames > 0 ? read(static_cast<float*>(dst), frames, nullptr) : 0;
    return got > 0 ? size_t(got) * frameBytes : 0;
}

bool AudioSource::readTags(const QString& path, TagTexts* tags)
{
    *tags = TagTexts();
    CheckedFile checked;
    if (checkBeforeOpening(path, &checked, nullptr) != SourceOk)
        return false;
    int err = 0;
    AVFormatContext* fmt = nullptr;
    if (const AVInputFormat* direct = signatureFormat(checked.head, expectedDemuxer(path)))
        fmt = openContainer(checked, &err, direct);
    if (!fmt)
        fmt = openContainer(checked, &err);
    if (!fmt)
        return false;
    auto get = [&](const char* key) -> QString {
        const AVDictionaryEntry* e = av_dict_get(fmt->metadata, key, nullptr, 0);
        for (unsigned i = 0; !e && i < fmt->nb_streams; ++i)
            e = av_dict_get(fmt->streams[i]->metadata, key, nullptr, 0);
        return e ? QString::fromUtf8(e->value) : QString();
    };
    tags->album = get("album");
    tags->artist = get("artist");
    tags->comment = get("comment");
    tags->genre = get("genre");
    tags->title = get("title");
    tags->track = get("track");
    QString year = get("date");
    if (year.isEmpty())
        year = get("year");
    static const QRegularExpression leadingYear(QStringLiteral("^(\\d{4})[-/.]"));
    const auto m = leadingYear.match(year);
    tags->year = m.hasMatch() ? m.captured(1) : year;
    avformat_close_input(&fmt);
    return true;
}

} // namespace kvaudio
