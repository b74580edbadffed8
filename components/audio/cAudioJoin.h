#pragma once
// The audio joiner component: joins the files of its join list (each whole or
// a range of it) into one output file on a worker thread.
#include <QObject>
#include <QString>
#include <memory>

#include "components/audio/EncoderJobSettings.h"

class cAudioJoin : public QObject, public EncoderJobSettings {
    Q_OBJECT
public:
    explicit cAudioJoin(QObject* parent = nullptr);
    ~cAudioJoin() override;

    // ---- The join list, 1-based. Start and length in whole seconds; -1 and
    // -1 mean the whole file.
    int JoinFileCount() const;
    void AddJoinFile(const QString& path, int start, int length);
    void RemoveJoinFile(int index);
    // The entry's path, with its start and length; empty for no such entry.
    QString JoinFileEntry(int index, int& start, int& length) const;

    void setOutputFile(const QString& path);
    QString OutputFile() const;

    // Starts the join and returns at once; its events follow.
    void StartJoin();
    // The running join ends with JobAborted; nothing happens when none runs.
    void AbortJob();
    // Ready for a new join: the join list is emptied.
    void ResetJoin();
    // A running join stops without events and leaves no output.
    void ReleaseComponent();

signals:
    // fileIndex: the 1-based join-list entry being joined; percent of that file.
    void JobProgress(int fileIndex, int percent);
    void JobDone();
    void JobAborted();
    void JobError(int code, const QString& text);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
