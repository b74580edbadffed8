#pragma once
// Reads the format and length of audio files away from the window's thread,
// so that a slow disk or a dead mount never freezes the window that asks.
// Each read runs on a thread of its own; one that never comes back is left
// behind and holds nothing up.
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <memory>

struct AudioFileFacts {
    int status = -1; // the audio reader's open result; 0 = read
    int sampleRate = 0;
    int channels = 0;
    qint64 durationMs = 0;
    int bitrate = 0; // the file's average, in kbit/s
    bool ok() const { return status == 0; }
};

class AudioFileProbe : public QObject {
    Q_OBJECT
public:
    explicit AudioFileProbe(QObject* parent = nullptr);
    ~AudioFileProbe() override;

    // The facts last read for path, without touching the file; false when
    // it has not been read yet.
    bool cached(const QString& path, AudioFileFacts* facts) const;
    // Reads path again; factsRead follows (queued). A read of the same path
    // still under way is not started twice.
    void request(const QString& path);
    // Reads started so far, each on a thread of its own.
    int readsStarted() const { return m_readsStarted; }

signals:
    void factsRead(const QString& path, const AudioFileFacts& facts);

private:
    void answer(const QString& path, const AudioFileFacts& facts);

    std::shared_ptr<struct ProbeShared> m_shared;
    QHash<QString, AudioFileFacts> m_cache;
    QSet<QString> m_pending;
    int m_readsStarted = 0;
};
