#include "platform/Power.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

namespace platform {
namespace {

class LogindPower : public PowerService {
public:
    PowerReply canPowerOff() override { return call(QStringLiteral("CanPowerOff"), {}); }
    PowerReply powerOff() override { return call(QStringLiteral("PowerOff"), {QVariant(false)}); }

private:
    static PowerReply call(const QString& method, const QList<QVariant>& args)
    {
        PowerReply r;
        QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected()) {
            r.busAvailable = false;
            r.error = bus.lastError().message();
            if (r.error.isEmpty())
                r.error = QStringLiteral("The system bus cannot be reached.");
            return r;
        }
        QDBusMessage msg = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), method);
        msg.setArguments(args);
        const QDBusMessage reply = bus.call(msg, QDBus::Block, 25000);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            r.error = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
            if (r.error.isEmpty())
                r.error = QStringLiteral("No answer from the login manager.");
            return r;
        }
        r.ok = true;
        if (!reply.arguments().isEmpty())
            r.value = reply.arguments().constFirst().toString();
        return r;
    }
};

LogindPower& logind()
{
    static LogindPower p;
    return p;
}

PowerService*& current()
{
    static PowerService* p = nullptr;
    return p;
}

} // namespace

PowerService& powerService()
{
    return current() ? *current() : logind();
}

PowerService* setPowerService(PowerService* service)
{
    PowerService* old = current();
    current() = service;
    return old;
}

} // namespace platform
