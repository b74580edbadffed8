#pragma once
// The worker both data burner components run their burns and drive checks
// on, so the GUI thread never waits on a disc. Events reach the owner queued.
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "components/disc/DataDiscBurn.h"

class DataBurnWorker {
public:
    // Events are queued to `owner`'s thread; none arrives after the worker is gone.
    explicit DataBurnWorker(QObject* owner);
    ~DataBurnWorker();

    bool Running() const { return m_running.load(); }
    // Starts the burn; the callbacks run on the owner's thread, `ended` exactly once.
    bool Start(const QString& address, const datadisc::ImageLayout& layout, int speedKBs,
               std::function<void()> started, std::function<void(int)> progress, std::function<void()> closing,
               std::function<void(const datadisc::BurnResult&)> ended);
    // Asks the running burn to stop; it ends with ErrCancelled.
    void Cancel();
    // Cancels a running burn and waits for it; no event follows.
    void Stop();

private:
    QObject* m_owner;
    std::unique_ptr<QObject> m_context; // receives the queued calls; deleted first to drop late ones
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_running{false};
};

// Runs `work` on a worker thread while the caller's thread keeps painting and
// delivering events (a local event loop, without user input unless asked
// for), and returns when it has ended.
void RunOffThread(const std::function<void()>& work, bool userInput = false);
datadisc::DriveState ProbeDriveOffThread(const QString& address);
// Whether the drive is ready and, with `blank`, holds a blank disc; *why
// says why not (empty when it is).
bool CheckDriveOffThread(const QString& address, bool blank, QString* why);
