#include "components/audio/AudioFileProbe.h"

#include <QFileInfo>
#include <cmath>
#include <mutex>
#include <thread>

#include "components/audio/AudioSource.h"

// What a read thread and the probe both see; the probe may go first.
struct ProbeShared {
    std::mutex mutex;
    AudioFileProbe* owner = nullptr;
};

namespace {

// Enough for every row a user clicks through; the oldest half goes past it.
constexpr int kCacheLimit = 4096;

AudioFileFacts readFacts(const QString& path)
{
    AudioFileFacts facts;
    kvaudio::AudioSource source;
    facts.status = source.open(path);
    if (!facts.ok())
        return facts;
    const kvaudio::SourceInfo& info = source.info();
    facts.sampleRate = info.sampleRate;
    facts.channels = info.channels;
    facts.durationMs = info.durationMs;
    if (info.durationMs > 0)
        facts.bitrate = int(std::lround(double(QFileInfo(path).size()) * 8.0 / double(info.durationMs)));
    return facts;
}

} // namespace

AudioFileProbe::AudioFileProbe(QObject* parent)
    : QObject(parent)
    , m_shared(std::make_shared<ProbeShared>())
{
    m_shared->owner = this;
}

AudioFileProbe::~AudioFileProbe()
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->owner = nullptr;
}

bool AudioFileProbe::cached(const QString& path, AudioFileFacts* facts) const
{
    const auto it = m_cache.constFind(path);
    if (it == m_cache.constEnd())
        return false;
    if (facts)
        *facts = *it;
    return true;
}

void AudioFileProbe::request(const QString& path)
{
    if (path.isEmpty() || m_pending.contains(path))
        return;
    m_pending.insert(path);
    ++m_readsStarted;
    std::thread([shared = m_shared, path] {
        const AudioFileFacts facts = readFacts(path);
        std::lock_guard<std::mutex> lock(shared->mutex);
        if (AudioFileProbe* owner = shared->owner)
            QMetaObject::invokeMethod(
                owner, [owner, path, facts] { owner->answer(path, facts); }, Qt::QueuedConnection);
    }).detach();
}

void AudioFileProbe::answer(const QString& path, const AudioFileFacts& facts)
{
    m_pending.remove(path);
    if (m_cache.size() >= kCacheLimit)
        m_cache.clear();
    m_cache.insert(path, facts);
    emit factsRead(path, facts);
}
