#include "components/audio/NotifySound.h"

#include <QApplication>
#include <QPointer>
#include <mutex>
#include <thread>

#include "components/audio/AudioSource.h"
#include "components/audio/SoundDevice.h"
#include "platform/Sound.h"

namespace kvaudio {

// The file that plays: opened on a thread of its own, then read on the sound
// thread only.
struct NotifyShared {
    AudioSource source;
};

// What an opening thread and the player both see; the player may go first.
struct NotifyOwner {
    std::mutex mutex;
    NotifySound* player = nullptr;
};

namespace {
// The sound device holds this much ahead of what is heard.
constexpr int kDeviceBufferMs = 300;
} // namespace

NotifySound* NotifySound::instance()
{
    static QPointer<NotifySound> p;
    if (!p)
        p = new NotifySound(QCoreApplication::instance());
    return p;
}

NotifySound::NotifySound(QObject* parent)
    : QObject(parent)
    , m_owner(std::make_shared<NotifyOwner>())
{
    m_owner->player = this;
    m_stream = new kvsound::Stream(this);
    connect(m_stream, &kvsound::Stream::Drained, this, [this] { end(); });
    // The stream fails only when the sound system does (it went, or stopped
    // answering): say so, as the player does.
    connect(m_stream, &kvsound::Stream::Failed, this, [this](const QString& text) {
        if (m_playing)
            fail(QStringLiteral("Playing stopped: the sound system failed (%1).").arg(text));
    });
}

NotifySound::~NotifySound()
{
    std::lock_guard<std::mutex> lock(m_owner->mutex);
    m_owner->player = nullptr;
}

void NotifySound::play(const QString& file)
{
    stop();
    m_playing = true;
    const quint64 generation = ++m_generation;
    std::thread([owner = m_owner, generation, file] {
        auto shared = std::make_shared<NotifyShared>();
        QString error;
        if (shared->source.open(file, &error) != SourceOk)
            shared.reset();
        std::lock_guard<std::mutex> lock(owner->mutex);
        if (NotifySound* player = owner->player)
            QMetaObject::invokeMethod(
                player, [player, generation, shared, error] { player->opened(generation, shared, error); },
                Qt::QueuedConnection);
    }).detach();
}

void NotifySound::opened(quint64 generation, std::shared_ptr<NotifyShared> shared, const QString& error)
{
    if (generation != m_generation || !m_playing)
        return;
    if (!shared) {
        fail(error);
        return;
    }
    kvsound::StreamFormat format;
    format.rate = shared->source.outputRate();
    format.channels = shared->source.outputChannels();
    format.type = kvsound::SampleType::F32;
    QString streamError;
    if (!m_stream->startPlayback(
            QString(), format, kDeviceBufferMs,
            [shared](void* dst, size_t bytes) { return shared->source.readForStream(dst, bytes); },
            &streamError))
        fail(streamError);
}

void NotifySound::stop()
{
    ++m_generation;
    m_playing = false;
    m_stream->stop();
}

void NotifySound::fail(const QString& text)
{
    m_playing = false;
    m_stream->stop();
    QApplication::beep();
    emit Failed(text);
}

void NotifySound::end()
{
    if (!m_playing)
        return;
    m_playing = false;
    m_stream->stop();
    emit Finished();
}

void InstallNotifySound()
{
    platform::setSoundHandler([](const platform::SoundRequest& r) {
        if (r.kind == platform::SoundRequest::Play)
            NotifySound::instance()->play(r.file);
        else
            NotifySound::instance()->stop();
    });
}

} // namespace kvaudio
