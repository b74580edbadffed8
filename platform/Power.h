#pragma once
// Powering the computer off through systemd-logind on the system bus. Tests
// replace the service; the test main installs one that refuses everything,
// so no test can ever power a machine off.
#include <QString>

namespace platform {

struct PowerReply {
    bool ok = false;           // the call went through
    bool busAvailable = true;  // false: the system bus could not be reached
    QString value;             // CanPowerOff: "yes", "no", "challenge" or "na"
    QString error;             // why the call failed
};

class PowerService {
public:
    virtual ~PowerService() = default;
    // org.freedesktop.login1.Manager.CanPowerOff()
    virtual PowerReply canPowerOff() = 0;
    // org.freedesktop.login1.Manager.PowerOff(interactive = false)
    virtual PowerReply powerOff() = 0;
};

// The service in use: logind unless replaced.
PowerService& powerService();
// Installs a service (not owned) and returns the previous one; null restores logind.
PowerService* setPowerService(PowerService* service);

} // namespace platform
