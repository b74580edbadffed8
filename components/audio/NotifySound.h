#pragma once
// The end-of-job sound (and the Options' "Test"): one file at a time, played
// on the default output through the sound-device layer. Both calls return at
// once: the file is opened away from the caller's thread and decoded on the
// sound thread. A file that cannot be played, or no sound system, sounds the
// desktop's beep instead. One player serves the process; the program hands
// it to the platform's sound service at its start.
#include <QObject>
#include <QString>
#include <memory>

namespace kvsound {
class Stream;
}

namespace kvaudio {

class NotifySound : public QObject {
    Q_OBJECT
public:
    // The process's player, owned by the application object.
    static NotifySound* instance();

    // Starts playing file, replacing a sound still playing.
    void play(const QString& file);
    // Stops a sound still playing; nothing when none plays.
    void stop();
    bool isPlaying() const { return m_playing; }

signals:
    // Queued, once per play that did not end by stop() or a later play.
    void Finished();
    // The file or the sound system refused; the beep sounded instead.
    void Failed(const QString& text);

private:
    explicit NotifySound(QObject* parent);
    ~NotifySound() override;
    void opened(quint64 generation, std::shared_ptr<struct NotifyShared> shared, const QString& error);
    void fail(const QString& text);
    void end();

    kvsound::Stream* m_stream = nullptr;
    std::shared_ptr<struct NotifyOwner> m_owner;
    quint64 m_generation = 0;
    bool m_playing = false;
};

// Makes the platform's sound service play through the player above.
void InstallNotifySound();

} // namespace kvaudio
