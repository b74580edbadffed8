#pragma once
// One running program per user and settings store: a second start hands its
// wish to be seen to the first one and leaves, so no two processes ever
// write the same list files. The store's folder counts by its canonical path,
// however it is spelled. The lock is a file lock in the runtime folder, with
// a local socket beside it that wakes the running program; a socket left
// behind by a crashed run is taken over.
#include <QObject>
#include <QString>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // key: what makes two starts "the same program" (the settings store's folder).
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the one that runs; false when another
    // one runs (it has been asked to come to the front).
    bool claim();
    QString serverName() const { return m_name; }

signals:
    // Another start asked the running program to come to the front.
    void activationRequested();

private:
    // Asks the running program to come to the front; false when none answers.
    bool wake() const;

    QString m_name;
    QLocalServer* m_server = nullptr;
    int m_lock = -1; // the lock file, locked while this process runs
};
