#include "components/audio/cWaveTTS.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include <espeak-ng/speak_lib.h>

#include "components/audio/ProgressHook.h"
#include "components/audio/SampleConverter.h"
#include "components/audio/SoundDevice.h"
#include "components/audio/WaveFileWriter.h"

namespace {

// The engine's own output: 16-bit mono at the rate it reports (22050 Hz).
int g_engineRate = 0;
std::mutex g_engineMutex; // the engine is one per process and not reentrant

struct VoiceEntry {
    QString name;
    QByteArray engineName;
};

// Pieces a text is spoken in: short ones aloud (so a stop and the next
// piece come quickly), long ones into files (fewer engine calls).
constexpr int kAloudPiece = 400;
constexpr int kFilePiece = 20000;
// How far ahead of what is heard the speaking runs.
constexpr int kAheadMs = 1500;
constexpr int kTickMs = 20;
constexpr int kDeviceBufferMs = 300;
// How long the speaking thread waits for the sound system to take its stream.
constexpr int kOpenTimeoutMs = 4000;

struct SpeechFormatEntry {
    long code;
    const char* name;
    int rate;
    int bits;
    int channels;
};
constexpr SpeechFormatEntry kFormats[] = {
    {1, "SAFT8kHz8BitMono", 8000, 8, 1},       {2, "SAFT8kHz16BitMono", 8000, 16, 1},
    {3, "SAFT11kHz8BitMono", 11025, 8, 1},     {4, "SAFT11kHz16BitMono", 11025, 16, 1},
    {5, "SAFT16kHz8BitMono", 16000, 8, 1},     {6, "SAFT16kHz16BitMono", 16000, 16, 1},
    {7, "SAFT22kHz8BitMono", 22050, 8, 1},     {8, "SAFT22kHz16BitMono", 22050, 16, 1},
    {9, "SAFT22kHz16BitStereo", 22050, 16, 2}, {10, "SAFT44kHz16BitMono", 44100, 16, 1},
    {11, "SAFT44kHz16BitStereo", 44100, 16, 2}, {12, "SAFT48kHz16BitStereo", 48000, 16, 2},
};

const SpeechFormatEntry* formatFor(long code)
{
    for (const SpeechFormatEntry& f : kFormats)
        if (f.code == code)
            return &f;
    return nullptr;
}

bool engineReady()
{
    if (g_engineRate <= 0)
        g_engineRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 500, nullptr, espeakINITIALIZE_DONT_EXIT);
    return g_engineRate > 0;
}

// The voices, default first; read once. Voices that need another synthesizer
// (mbrola) are left out: they cannot speak here.
const std::vector<VoiceEntry>& voices()
{
    static std::vector<VoiceEntry> list;
    static std::atomic<bool> read{false};
    // Once read, the list is never written again: no wait for a speaking in progress.
    if (read)
        return list;
    std::lock_guard<std::mutex> lock(g_engineMutex);
    if (read || !engineReady())
        return list;
    const espeak_VOICE** all = espeak_ListVoices(nullptr);
    for (int i = 0; all && all[i]; ++i) {
        const espeak_VOICE* v = all[i];
        if (!v->name || !v->identifier || std::strncmp(v->identifier, "mb/", 3) == 0)
            continue;
        list.push_back({QString::fromUtf8(v->name).replace(QLatin1Char('_'), QLatin1Char(' ')), QByteArray(v->name)});
    }
    std::sort(list.begin(), list.end(), [](const VoiceEntry& a, const VoiceEntry& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    // The engine's default voice heads the list.
    const espeak_VOICE* current = espeak_GetCurrentVoice();
    QByteArray preferred = current && current->name ? QByteArray(current->name) : QByteArray();
    auto it = std::find_if(list.begin(), list.end(), [&](const VoiceEntry& e) {
        return e.engineName == preferred || e.name.compare(QLatin1String("English (Great Britain)"), Qt::CaseInsensitive) == 0;
    });
    if (it != list.end())
        std::rotate(list.begin(), it, it + 1);
    read = true;
    return list;
}

// One synthesis call's receiver.
struct SynthContext {
    std::function<bool(const short*, int)> audio; // false stops
    std::function<void(int textPos, int length, int audioMs)> word;
    const std::atomic<bool>* stop = nullptr;
};

int synthCallback(short* wav, int numSamples, espeak_EVENT* events)
{
    SynthContext* ctx = nullptr;
    for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        ctx = static_cast<SynthContext*>(e->user_data);
        if (ctx && e->type == espeakEVENT_WORD && ctx->word)
            ctx->word(e->text_position, e->length, e->audio_position);
    }
    if (!ctx && events)
        ctx = static_cast<SynthContext*>(events->user_data);
    if (!ctx)
        return 0;
    if (ctx->stop && ctx->stop->load())
        return 1;
    if (wav && numSamples > 0 && ctx->audio && !ctx->audio(wav, numSamples))
        return 1;
    return (ctx->stop && ctx->stop->load()) ? 1 : 0;
}

// Speaks one piece with the voice, rate and volume; false when the engine failed.
bool synthesize(const QByteArray& utf8, const QByteArray& voice, int rate, int volume, SynthContext* ctx)
{
    std::lock_guard<std::mutex> lock(g_engineMutex);
    if (!engineReady())
        return false;
    espeak_SetSynthCallback(synthCallback);
    // Loading a voice costs; the engine keeps the last one.
    static QByteArray current;
    const QByteArray wanted = voice.isEmpty() ? QByteArray("en") : voice;
    if (current != wanted) {
        if (espeak_SetVoiceByName(wanted.constData()) != EE_OK)
            espeak_SetVoiceByName("en");
        current = wanted;
    }
    espeak_SetParameter(espeakRATE, rate, 0);
    espeak_SetParameter(espeakVOLUME, volume, 0);
    const espeak_ERROR err = espeak_Synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                                          espeakCHARS_UTF8, nullptr, ctx);
    espeak_Synchronize();
    return err == EE_OK;
}

// Splits a text into pieces of about `size` characters, at a sentence end or
// at least a blank where there is one.
std::vector<std::pair<int, int>> pieces(const QString& text, int size)
{
    std::vector<std::pair<int, int>> out;
    int at = 0;
    const int n = int(text.size());
    while (at < n) {
        int end = qMin(n, at + size);
        if (end < n) {
            int cut = -1;
            for (int i = end - 1; i > at + size / 2 && cut < 0; --i) {
                const QChar c = text.at(i);
                if ((c == QLatin1Char('.') || c == QLatin1Char('!') || c == QLatin1Char('?') || c == QLatin1Char('\n'))
                    && i + 1 < n && text.at(i + 1).isSpace())
                    cut = i + 1;
            }
            for (int i = end - 1; i > at && cut < 0; --i)
                if (text.at(i).isSpace())
                    cut = i + 1;
            if (cut > at)
                end = cut;
            // Never split a surrogate pair.
            if (end < n && text.at(end).isLowSurrogate())
                ++end;
        }
        out.emplace_back(at, end - at);
        at = end;
    }
    return out;
}

// UTF-16 offset of each code point of a piece (the engine counts code points, from 1).
std::vector<int> codePointOffsets(const QString& piece)
{
    std::vector<int> offsets;
    for (int i = 0; i < piece.size(); ++i) {
        offsets.push_back(i);
        if (piece.at(i).isHighSurrogate() && i + 1 < piece.size())
            ++i;
    }
    offsets.push_back(int(piece.size()));
    return offsets;
}

} // namespace

struct TtsShared {
    std::atomic<bool> stop{false};
    std::mutex ownerMutex;
    cWaveTTS* owner = nullptr;
};

// Lives on the component's thread: speaks pieces ahead of the device and
// reports each word when the device plays it.
class TtsWorker : public QObject {
public:
    explicit TtsWorker(std::shared_ptr<TtsShared> shared)
        : m_shared(std::move(shared))
    {
    }
    ~TtsWorker() override { stopNow(false); }

    struct Settings {
        QByteArray voice;
        int rate = 175;
        int volume = 100;
        long output = -1; // position in the list of outputs; -1 the default
        const SpeechFormatEntry* format = nullptr;
    };
    struct Result {
        long code = cWaveTTS::TtsOk;
        QString detail;
    };

    // Adds a text to what is spoken aloud; starts the device when silent.
    void speak(const QString& text, const Settings& s, quint64 generation, Result* r)
    {
        if (!m_active) {
            m_settings = s;
            m_generation = generation;
            if (!openDevice(r))
                return;
            m_active = true;
        }
        Job job;
        job.text = text;
        job.pieces = pieces(text, kAloudPiece);
        m_jobs.push_back(std::move(job));
        if (!m_timer) {
            m_timer = new QTimer(this);
            m_timer->setTimerType(Qt::PreciseTimer);
            m_timer->setInterval(kTickMs);
            QObject::connect(m_timer, &QTimer::timeout, this, [this] { tick(); });
        }
        m_timer->start();
        tick();
    }

    // Ends speaking aloud at once; the owner hears SpeakDone when `report`,
    // with the reason when the speaking was cut short.
    void stopNow(bool report, long code = cWaveTTS::TtsOk, const QString& detail = QString())
    {
        if (m_timer)
            m_timer->stop();
        if (m_stream)
            m_stream->stop();
        m_jobs.clear();
        m_pcm.clear();
        m_words.clear();
        const bool wasActive = m_active;
        m_active = false;
        if (report && wasActive)
            tellDone(code, detail);
    }

    long toFile(const QString& text, const QString& path, const Settings& s, QString* detail)
    {
        const SpeechFormatEntry* f = s.format ? s.format : formatFor(8);
        if (QFileInfo::exists(path) && !QFile::remove(path)) {
            *detail = QStringLiteral("the old file %1 cannot be removed").arg(path);
            return cWaveTTS::TtsWriteFailed;
        }
        const QString partial = path + QStringLiteral(".part");
        QFile::remove(partial);
        WaveFileWriter writer;
        QString error;
        if (!writer.open(partial, f->rate, f->channels, f->bits, &error)) {
            *detail = QStringLiteral("%1: %2").arg(path, error);
            return cWaveTTS::TtsWriteFailed;
        }
        SampleConverter converter;
        const bool convert = f->rate != g_engineRate || f->bits != 16 || f->channels != 1;
        if (convert)
            converter.open(g_engineRate, 1, SampleConverter::S16, f->rate, f->channels,
                           f->bits == 8 ? SampleConverter::U8 : SampleConverter::S16);
        QByteArray out;
        bool writeOk = true;
        SynthContext ctx;
        ctx.stop = &m_shared->stop;
        ctx.audio = [&](const short* wav, int n) {
            const char* bytes = reinterpret_cast<const char*>(wav);
            if (convert) {
                out.clear();
                converter.convert(bytes, qint64(n) * 2, out);
                writeOk = writer.write(out.constData(), out.size());
            } else {
                writeOk = writer.write(bytes, qint64(n) * 2);
            }
            return writeOk;
        };
        bool engineOk = true;
        for (const auto& [at, len] : pieces(text, kFilePiece)) {
            if (m_shared->stop || !writeOk)
                break;
            engineOk = synthesize(text.mid(at, len).toUtf8(), s.voice, s.rate, s.volume, &ctx);
            if (!engineOk)
                break;
            kvaudio::runProgressHook(int(qint64(at + len) * 100 / std::max<qsizetype>(1, text.size())), -1, m_shared->stop);
        }
        if (convert && writeOk && !m_shared->stop) {
            out.clear();
            converter.flush(out);
            writeOk = writer.write(out.constData(), out.size());
        }
        const int writeErrno = writer.lastErrno();
        // A speech file is made again from its text: no wait for the disk.
        const bool finished = writer.finish(false);
        long code = cWaveTTS::TtsOk;
        if (m_shared->stop)
            code = cWaveTTS::TtsStopped;
        else if (!engineOk)
            code = cWaveTTS::TtsNoEngine;
        else if (!writeOk || !finished) {
            code = cWaveTTS::TtsWriteFailed;
            *detail = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(writeErrno ? writeErrno : EIO)));
        } else if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) != 0) {
            code = cWaveTTS::TtsWriteFailed;
            *detail = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        }
        if (code != cWaveTTS::TtsOk)
            QFile::remove(partial);
        return code;
    }

private:
    struct Job {
        QString text;
        std::vector<std::pair<int, int>> pieces;
        size_t next = 0;
    };
    struct Word {
        qint64 frame; // in the device's frames from the start
        long start;
        long length;
    };

    // The sound system converts the engine's own format for the device.
    bool openDevice(Result* r)
    {
        m_format.rate = g_engineRate;
        m_format.channels = 1;
        m_format.type = kvsound::SampleType::S16;
        if (!m_stream) {
            m_stream = new kvsound::Stream(this);
            // The sound system failed or went: speaking ends as a stop does, and says why.
            QObject::connect(m_stream, &kvsound::Stream::Failed, this,
                             [this](const QString& text) { stopNow(true, cWaveTTS::TtsDeviceLost, text); });
        }
        // Looked up here: the sound server never keeps the caller of Speak waiting.
        QList<kvsound::Device> outputs;
        QString error;
        if (!kvsound::listOutputs(&outputs, &error) || outputs.isEmpty()) {
            r->code = cWaveTTS::TtsNoDevice;
            r->detail = error;
            return false;
        }
        const long at = m_settings.output;
        const QString id = at >= 0 && at < outputs.size() ? outputs.at(int(at)).id : QString();
        const QString name = at >= 0 && at < outputs.size() ? outputs.at(int(at)).description : QStringLiteral("default");
        if (!m_stream->startPlayback(id, m_format, kDeviceBufferMs, nullptr, &error)
            || m_stream->waitReady(kOpenTimeoutMs, &error) <= 0) {
            m_stream->stop();
            r->code = cWaveTTS::TtsDeviceBusy;
            r->detail = error.isEmpty() ? name : name + QStringLiteral(": ") + error;
            return false;
        }
        m_fedFrames = 0;
        m_queuedFrames = 0;
        m_stall.start();
        m_lastHeard = -1;
        return true;
    }

    qint64 heardFrames() const
    {
        if (!m_stream)
            return 0;
        return qMin(m_fedFrames, m_stream->position());
    }

    // Speaks the next piece of the first job with text left.
    bool speakNextPiece()
    {
        while (!m_jobs.empty() && m_jobs.front().next >= m_jobs.front().pieces.size())
            m_jobs.pop_front();
        if (m_jobs.empty())
            return false;
        Job& job = m_jobs.front();
        const auto [at, len] = job.pieces[job.next++];
        const QString piece = job.text.mid(at, len);
        const std::vector<int> offsets = codePointOffsets(piece);
        const qint64 base = m_queuedFrames; // device frames before this piece
        qint64 engineFrames = 0;
        SynthContext ctx;
        ctx.stop = &m_shared->stop;
        ctx.audio = [&](const short* wav, int n) {
            const char* bytes = reinterpret_cast<const char*>(wav);
            engineFrames += n;
            m_pcm.append(bytes, qsizetype(n) * 2);
            m_queuedFrames += n;
            return true;
        };
        ctx.word = [&](int textPos, int length, int audioMs) {
            // The engine counts characters from 1.
            const int first = qBound(0, textPos - 1, int(offsets.size()) - 1);
            const int last = qBound(first, textPos - 1 + length, int(offsets.size()) - 1);
            const qint64 frame = base + qint64(double(audioMs) * g_engineRate / 1000.0);
            m_words.push_back({frame, long(at + offsets[size_t(first)]), long(offsets[size_t(last)] - offsets[size_t(first)])});
        };
        synthesize(piece.toUtf8(), m_settings.voice, m_settings.rate, m_settings.volume, &ctx);
        return true;
    }

    void tick()
    {
        if (!m_active || !m_stream || !m_stream->isActive())
            return;
        // Keep the speaking ahead of the device, one piece a tick.
        if (m_queuedFrames - heardFrames() < qint64(m_format.rate) * kAheadMs / 1000)
            speakNextPiece();
        feed();
        const qint64 heard = heardFrames();
        while (!m_words.empty() && m_words.front().frame <= heard) {
            const Word w = m_words.front();
            m_words.pop_front();
            tellWord(w.start, w.length);
        }
        if (heard != m_lastHeard) {
            m_lastHeard = heard;
            m_stall.restart();
        }
        const bool allSpoken = m_jobs.empty() || (m_jobs.size() == 1 && m_jobs.front().next >= m_jobs.front().pieces.size());
        if (allSpoken && m_pcm.isEmpty() && (heard >= m_fedFrames || m_stall.elapsed() > 3000)) {
            for (const Word& w : m_words)
                tellWord(w.start, w.length);
            m_words.clear();
            stopNow(true);
        }
    }

    void feed()
    {
        if (!m_stream || m_pcm.isEmpty())
            return;
        const int frameBytes = m_format.bytesPerFrame();
        const qint64 put = m_stream->write(m_pcm.constData(), m_pcm.size());
        if (put > 0) {
            const qint64 whole = put - put % frameBytes;
            m_pcm.remove(0, whole);
            m_fedFrames += whole / frameBytes;
        }
    }

    void tellWord(long start, long length)
    {
        const quint64 generation = m_generation;
        std::lock_guard<std::mutex> lock(m_shared->ownerMutex);
        if (cWaveTTS* owner = m_shared->owner)
            QMetaObject::invokeMethod(
                owner, [owner, generation, start, length] { owner->workerWord(generation, start, length); },
                Qt::QueuedConnection);
    }

    void tellDone(long code, const QString& detail)
    {
        const quint64 generation = m_generation;
        std::lock_guard<std::mutex> lock(m_shared->ownerMutex);
        if (cWaveTTS* owner = m_shared->owner)
            QMetaObject::invokeMethod(
                owner, [owner, generation, code, detail] { owner->workerDone(generation, code, detail); },
                Qt::QueuedConnection);
    }

    std::shared_ptr<TtsShared> m_shared;
    Settings m_settings;
    kvsound::StreamFormat m_format;
    kvsound::Stream* m_stream = nullptr;
    QTimer* m_timer = nullptr;
    std::deque<Job> m_jobs;
    std::deque<Word> m_words;
    QByteArray m_pcm;
    qint64 m_fedFrames = 0;
    qint64 m_queuedFrames = 0;
    qint64 m_lastHeard = -1;
    QElapsedTimer m_stall;
    quint64 m_generation = 0;
    bool m_active = false;
};

cWaveTTS::cWaveTTS(QObject* parent)
    : QObject(parent)
{
}

cWaveTTS::~cWaveTTS() { ReleaseComponent(); }

int cWaveTTS::EngineRate(long rate)
{
    rate = qBound(-10L, rate, 10L);
    if (rate < 0)
        return espeakRATE_NORMAL + int(rate * (espeakRATE_NORMAL - espeakRATE_MINIMUM) / 10);
    return espeakRATE_NORMAL + int(rate * (espeakRATE_MAXIMUM - espeakRATE_NORMAL) / 10);
}

int cWaveTTS::EngineVolume(long volume) { return int(qBound(0L, volume, 100L)); }

long cWaveTTS::VoiceCount() { return long(voices().size()); }

QString cWaveTTS::VoiceName(long& number)
{
    const auto& list = voices();
    if (number < 1 || number > long(list.size()))
        return QString();
    return list[size_t(number - 1)].name;
}

long cWaveTTS::AudioOutputCount()
{
    QList<kvsound::Device> outputs;
    kvsound::listOutputs(&outputs);
    return outputs.size();
}

QString cWaveTTS::AudioOutputName(long& number)
{
    QList<kvsound::Device> outputs;
    kvsound::listOutputs(&outputs);
    if (number < 1 || number > outputs.size())
        return QString();
    return outputs.at(int(number - 1)).description;
}

void cWaveTTS::InitSpeech()
{
    for (const SpeechFormatEntry& f : kFormats) {
        QString name = QString::fromLatin1(f.name);
        long code = f.code;
        emit SpeechFormatFound(name, code);
    }
}

void cWaveTTS::setSpeechFormat(long code)
{
    if (formatFor(code))
        m_format = code;
}

bool cWaveTTS::ensureWorker()
{
    if (m_worker)
        return true;
    if (m_released)
        return false;
    m_shared = std::make_shared<TtsShared>();
    m_shared->owner = this;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("cWaveTTS"));
    m_worker = new TtsWorker(m_shared);
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
    return true;
}

void cWaveTTS::Speak(const QString& text)
{
    m_lastDetail.clear();
    // A scan, not a trimmed copy: a text of megabytes must not hold the caller.
    const bool blank = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); });
    if (m_released || blank || !ensureWorker())
        return;
    const auto& list = voices();
    if (list.empty())
        return;
    TtsWorker::Settings s;
    if (m_voice >= 0 && m_voice < long(list.size()))
        s.voice = list[size_t(m_voice)].engineName;
    s.rate = EngineRate(m_rate);
    s.volume = EngineVolume(m_volume);
    s.output = m_output;
    if (!m_speaking) {
        ++m_generation;
        m_shared->stop = false;
        m_endError = TtsOk;
    }
    m_speaking = true;
    const quint64 generation = m_generation;
    TtsWorker* worker = m_worker;
    auto result = std::make_shared<TtsWorker::Result>();
    QMetaObject::invokeMethod(
        worker,
        [worker, text, s, generation, result, shared = m_shared] {
            if (shared->stop)
                return;
            worker->speak(text, s, generation, result.get());
            if (result->code != cWaveTTS::TtsOk)
                worker->stopNow(false);
            if (result->code != cWaveTTS::TtsOk) {
                std::lock_guard<std::mutex> lock(shared->ownerMutex);
                if (cWaveTTS* owner = shared->owner)
                    QMetaObject::invokeMethod(
                        owner,
                        [owner, generation, code = result->code, detail = result->detail] {
                            owner->workerDone(generation, code, detail);
                        },
                        Qt::QueuedConnection);
            }
        },
        Qt::QueuedConnection);
}

void cWaveTTS::StopSpeaking()
{
    if (!m_worker)
        return;
    // The engine sees the flag between its buffers; the device stops at once.
    m_shared->stop = true;
    TtsWorker* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { worker->stopNow(true); }, Qt::QueuedConnection);
}

long cWaveTTS::SpeakToFile(const QString& text, const QString& path)
{
    m_lastDetail.clear();
    if (m_released)
        return TtsReleased;
    if (m_fileBusy)
        return TtsBusy;
    if (path.isEmpty()) {
        m_lastDetail = QStringLiteral("no file is given");
        return TtsWriteFailed;
    }
    if (text.trimmed().isEmpty())
        return TtsEmptyText;
    const auto& list = voices();
    if (list.empty() || !ensureWorker())
        return TtsNoEngine;
    TtsWorker::Settings s;
    if (m_voice >= 0 && m_voice < long(list.size()))
        s.voice = list[size_t(m_voice)].engineName;
    s.rate = EngineRate(m_rate);
    s.volume = EngineVolume(m_volume);
    s.format = formatFor(m_format);
    m_shared->stop = false;
    m_fileBusy = true;
    auto code = std::make_shared<long>(TtsOk);
    auto detail = std::make_shared<QString>();
    auto done = std::make_shared<std::atomic<bool>>(false);
    TtsWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [worker, text, path, s, code, detail, done] {
            *code = worker->toFile(text, path, s, detail.get());
            done->store(true);
        },
        Qt::QueuedConnection);
    // Waits for the worker while the window keeps painting.
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done->load())
            loop.quit();
    });
    poll.start();
    loop.exec();
    m_fileBusy = false;
    m_lastDetail = *detail;
    return *code;
}

QString cWaveTTS::GetErrorText(long code) const
{
    switch (code) {
    case TtsOk:
        return QString();
    case TtsNoEngine:
        return QStringLiteral("The speech engine cannot be loaded; check that eSpeak NG and its voices are installed.");
    case TtsEmptyText:
        return QStringLiteral("There is no text to speak.");
    case TtsNoDevice:
        // The sound system's own words, when it was the one that did not answer.
        return m_lastDetail.isEmpty() ? QStringLiteral("No audio output device is available.")
                                      : QStringLiteral("No audio output device is available. %1").arg(m_lastDetail);
    case TtsDeviceBusy:
        return QStringLiteral("The audio output \"%1\" cannot be opened.").arg(m_lastDetail);
    case TtsWriteFailed:
        return QStringLiteral("The speech file cannot be written (%1).").arg(m_lastDetail);
    case TtsStopped:
        return QStringLiteral("The speaking was stopped.");
    case TtsReleased:
        return QStringLiteral("The speech component has been closed.");
    case TtsBusy:
        return QStringLiteral("A text is being spoken into a file already.");
    case TtsDeviceLost:
        return QStringLiteral("Speaking stopped: the sound system failed (%1).").arg(m_lastDetail);
    }
    return QStringLiteral("The text cannot be spoken.");
}

void cWaveTTS::workerDone(quint64 generation, long code, const QString& detail)
{
    if (generation != m_generation || !m_speaking)
        return;
    m_speaking = false;
    m_endError = code;
    if (code != TtsOk)
        m_lastDetail = detail;
    emit SpeakDone();
}

void cWaveTTS::workerWord(quint64 generation, long start, long length)
{
    if (generation == m_generation && m_speaking)
        emit WordPosition(start, length);
}

void cWaveTTS::ReleaseComponent()
{
    if (m_released)
        return;
    m_released = true;
    m_speaking = false;
    ++m_generation;
    if (!m_worker)
        return;
    m_shared->stop = true;
    {
        std::lock_guard<std::mutex> lock(m_shared->ownerMutex);
        m_shared->owner = nullptr;
    }
    TtsWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [worker] {
            worker->stopNow(false);
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    if (m_thread->wait(5000)) {
        delete m_thread;
    } else {
        QThread* thread = m_thread;
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    }
    m_thread = nullptr;
    m_worker = nullptr;
}
