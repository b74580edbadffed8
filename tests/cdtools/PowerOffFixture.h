#pragma once
// The power-off at the end of a CD job as the program sends it: through the
// login manager's interface on the system bus, here a private bus of the
// test process with a stand-in login manager on it. And a main window whose
// exit check is the program's: a running tool job refuses the exit.
#include <QStringList>
#include <QTimer>
#include <memory>

#include "tests/toolframe/ToolFrameTestSupport.h"

namespace poweroff {

// While it lives, power requests go to the stand-in over D-Bus. The first
// one starts the private bus, which then serves the whole process: the
// system bus connection is made once per process.
class StandInLogind {
public:
    StandInLogind();
    ~StandInLogind();
    // Empty when the bus and the stand-in are up, else why not.
    QString Problem() const;
    // What the stand-in was asked since this object was made, e.g.
    // "CanPowerOff", "PowerOff(false)".
    QStringList Calls() const;

private:
    int m_firstCall = 0;
};

// The exit check of the program's main window: the exit question is
// refused while a tool job runs. The exit itself only notes itself.
class ExitCheckingMain : public tftest::FakeMain {
public:
    explicit ExitCheckingMain(tftest::ServiceLog* log);
    ~ExitCheckingMain() override;
    bool ConfirmExit() override;
    bool ExitWithoutAsking() override;

private:
    tftest::ServiceLog* m_log;
};

// Notes the countdown and presses "Shutdown Now" as soon as it shows; the
// watch ends with the returned timer.
std::unique_ptr<QTimer> PressShutdownNowWhenShown(tftest::ServiceLog* log);

} // namespace poweroff
