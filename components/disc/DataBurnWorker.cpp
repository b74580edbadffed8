#include "components/disc/DataBurnWorker.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>

DataBurnWorker::DataBurnWorker(QObject* owner) : m_owner(owner), m_context(std::make_unique<QObject>()) {}

DataBurnWorker::~DataBurnWorker() { Stop(); }

bool DataBurnWorker::Start(const QString& address, const datadisc::ImageLayout& layout, int speedKBs,
                           std::function<void()> started, std::function<void(int)> progress,
                           std::function<void()> closing, std::function<void(const datadisc::BurnResult&)> ended)
{
    if (m_running.load())
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_cancel = false;
    m_running = true;
    QPointer<QObject> ctx = m_context.get();
    auto post = [ctx](std::function<void()> f) {
        if (ctx)
            QMetaObject::invokeMethod(ctx.data(), std::move(f), Qt::QueuedConnection);
    };
    m_thread = std::thread([this, address, layout, speedKBs, started, progress, closing, ended, post] {
        datadisc::BurnEvents ev;
        ev.started = [post, started] { post(started); };
        ev.progress = [post, progress](int p) { post([progress, p] { progress(p); }); };
        ev.closing = [post, closing] { post(closing); };
        const datadisc::BurnResult r = datadisc::BurnImage(address, layout, speedKBs, m_cancel, ev);
        std::atomic<bool>* running = &m_running;
        post([running, ended, r] {
            running->store(false);
            ended(r);
        });
    });
    return true;
}

void DataBurnWorker::Cancel() { m_cancel = true; }

void DataBurnWorker::Stop()
{
    m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
    // Drop the events still queued: a stopped burn reports nothing.
    m_context = std::make_unique<QObject>();
    m_running = false;
}

void RunOffThread(const std::function<void()>& work, bool userInput)
{
    QEventLoop loop;
    std::atomic<bool> done{false};
    std::thread t([&] {
        work();
        done = true;
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    if (!done.load())
        loop.exec(userInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    t.join();
}

datadisc::DriveState ProbeDriveOffThread(const QString& address)
{
    datadisc::DriveState result;
    RunOffThread([&] { result = datadisc::ProbeDrive(address); });
    return result;
}

bool CheckDriveOffThread(const QString& address, bool blank, QString* why)
{
    const datadisc::DriveState st = ProbeDriveOffThread(address);
    *why = !st.ready ? st.why : (blank && !st.blank) ? QStringLiteral("The disc is not empty.") : QString();
    return st.ready && (!blank || st.blank);
}
