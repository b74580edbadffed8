#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "core/Edition.h"
#include "core/MainWindowServices.h"
#include "core/Shutdown.h"
#include "platform/ProgramDir.h"
#include "tests/support/TestEnv.h"

namespace {

// The main window as the countdown sees it; the exit question and the exit
// sequence go into the same log as the power requests.
struct FakeMainWindow : MainWindowServices {
    explicit FakeMainWindow(QStringList& log) : log(log) { setMainWindow(this); }
    ~FakeMainWindow() override { setMainWindow(nullptr); }
    QWidget* Form() override { return &window; }
    void m_cMenu_Click(int) override {}
    void Form_Resize() override {}
    QString GetNotesToStatus() override { return {}; }
    bool ConfirmExit() override
    {
        log << "ConfirmExit";
        countdownShownAtQuestion = g_frmTurnOffLoaded() && g_frmTurnOff()->isVisible();
        return answerYes;
    }
    bool ExitWithoutAsking() override
    {
        log << "Exit";
        return exits;
    }

    QStringList& log;
    QWidget window;
    bool answerYes = true;
    bool exits = true;
    bool countdownShownAtQuestion = false;
};

struct Shutdown : ::testing::Test {
    void SetUp() override
    {
        SetAppModes();
        ClearShutdownError();
    }
    void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

} // namespace

TEST_F(Shutdown, CountdownStartsAtThirtyAndCancelAsksForNothing)
{
    testenv::RecordingPower power;
    FakeMainWindow main(power.calls);
    QString shown, title, info, status, seconds, now, cancel;
    long left = -1;
    QTimer::singleShot(0, [&] {
        FrmTurnOff* w = g_frmTurnOff();
        shown = w->lblSecToShutDown->text();
        left = w->lNumOfSecToShutDown;
        title = w->windowTitle();
        info = w->lblApplInfo->text();
        status = w->lblStatus->text();
        seconds = w->lblSeconds->text();
        now = w->cmdTurnOffNow->text();
        cancel = w->cmdCancel->text();
        EXPECT_TRUE(w->Timer1->isActive());
        EXPECT_EQ(w->Timer1->interval(), 1000);
        EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
        w->cmdCancel->click();
    });
    ShowTurnOffWindow(30);
    settle();
    EXPECT_EQ(shown, "30");
    EXPECT_EQ(left, 29);
    EXPECT_EQ(title, "Turn Off Computer");
    EXPECT_EQ(info, "Kelvane 1.2");
    EXPECT_EQ(status, "Computer will shutdown in");
    EXPECT_EQ(seconds, "Seconds");
    EXPECT_EQ(now, "Shutdown Now");
    EXPECT_EQ(cancel, "Cancel");
    EXPECT_TRUE(power.calls.isEmpty()) << power.calls.join(",").toStdString();
    EXPECT_FALSE(g_frmTurnOffLoaded());
}

TEST_F(Shutdown, TheTickThatShowsZeroPowersOffThenExits)
{
    testenv::RecordingPower power;
    FakeMainWindow main(power.calls);
    FrmTurnOff* w = g_frmTurnOff();
    w->StartShutDown(30);
    for (int tick = 1; tick <= 29; ++tick)
        w->Timer1_Timer();
    EXPECT_EQ(w->lblSecToShutDown->text(), "1");
    EXPECT_TRUE(power.calls.isEmpty());
    w->Timer1_Timer();
    EXPECT_EQ(w->lblSecToShutDown->text(), "0");
    EXPECT_EQ(power.calls, QStringList({"ConfirmExit", "CanPowerOff", "Exit", "PowerOff"}));
    EXPECT_FALSE(w->Timer1->isActive());
    settle();
    EXPECT_FALSE(g_frmTurnOffLoaded());
}

TEST_F(Shutdown, CountdownRunsOutOnItsOwn)
{
    testenv::RecordingPower power;
    FakeMainWindow main(power.calls);
    g_frmTurnOff()->Timer1->setInterval(5);
    ShowTurnOffWindow(3);
    settle();
    EXPECT_EQ(power.powerOffRequests, 1);
    EXPECT_EQ(power.calls.last(), "PowerOff");
    EXPECT_FALSE(g_frmTurnOffLoaded());
}

TEST_F(Shutdown, ShutdownNowAsksOnceThenRunsTheExitSequence)
{
    testenv::ScriptedMessageBoxes boxes;
    testenv::RecordingPower power;
    FakeMainWindow main(power.calls);
    QString label;
    long left = -1;
    QTimer::singleShot(0, [&] {
        FrmTurnOff* w = g_frmTurnOff();
        QObject::connect(w->cmdTurnOffNow, &QPushButton::clicked, [&, w] {
            label = w->lblSecToShutDown->text();
            left = w->lNumOfSecToShutDown;
        });
        w->cmdTurnOffNow->click();
    });
    ShowTurnOffWindow(30);
    settle();
    EXPECT_EQ(label, "0");
    EXPECT_EQ(left, 0);
    EXPECT_EQ(power.powerOffRequests, 1);
    EXPECT_EQ(power.calls, QStringList({"ConfirmExit", "CanPowerOff", "Exit", "PowerOff"}));
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(LastShutdownError().Number, 0u);
}

// The countdown comes up while the user may be typing in another window:
// no key may start the power-off. It does not take the keyboard, and a key
// that reaches it anyway lands on Cancel; only a deliberate Tab then Enter
// presses "Shutdown Now".
TEST_F(Shutdown, NoStrayKeystrokeStartsThePowerOff)
{
    QWidget other;
    auto* typing = new QLineEdit(&other);
    other.show();

    const struct { QList<int> keys; bool stillCounting; bool powersOff; } cases[] = {
        {{Qt::Key_Space}, false, false},  {{Qt::Key_Return}, false, false}, {{Qt::Key_Enter}, false, false},
        {{Qt::Key_S}, true, false},       {{Qt::Key_Escape}, false, false},
        {{Qt::Key_Tab, Qt::Key_Return}, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "keys " << QKeySequence(c.keys.first()).toString().toStdString()
                                        << " of " << c.keys.size());
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
        typing->setFocus();
        testenv::ScriptedMessageBoxes boxes;
        testenv::RecordingPower power;
        FakeMainWindow main(power.calls);
        QString focusAtShow;
        bool counting = false;
        bool keyboardStayed = false;
        QTimer::singleShot(0, [&] {
            FrmTurnOff* w = g_frmTurnOff();
            EXPECT_TRUE(w->windowFlags() & Qt::WindowDoesNotAcceptFocus);
            EXPECT_TRUE(w->testAttribute(Qt::WA_ShowWithoutActivating));
            focusAtShow = w->focusWidget() ? w->focusWidget()->objectName() : QString();
            keyboardStayed = QGuiApplication::focusWindow() == other.windowHandle();
            // As if the window manager had handed it the keyboard anyway.
            for (int key : c.keys)
                if (g_frmTurnOffLoaded() && !g_frmTurnOff()->m_bUnloaded)
                    QTest::keyClick(g_frmTurnOff()->focusWidget() ? g_frmTurnOff()->focusWidget()
                                                                 : static_cast<QWidget*>(g_frmTurnOff()),
                                    Qt::Key(key));
            counting = g_frmTurnOffLoaded() && !g_frmTurnOff()->m_bUnloaded && g_frmTurnOff()->Timer1->isActive();
            if (counting)
                g_frmTurnOff()->cmdCancel->click();
        });
        ShowTurnOffWindow(30);
        settle();
        EXPECT_TRUE(keyboardStayed);
        EXPECT_EQ(focusAtShow, "cmdCancel");
        EXPECT_EQ(counting, c.stillCounting);
        EXPECT_EQ(power.powerOffRequests, c.powersOff ? 1 : 0) << power.calls.join(",").toStdString();
        EXPECT_FALSE(g_frmTurnOffLoaded());
    }
}

TEST_F(Shutdown, NoToTheExitQuestionMeansNoPowerOff)
{
    testenv::RecordingPower power;
    FakeMainWindow main(power.calls);
    main.answerYes = false;
    QTimer::singleShot(0, [] { g_frmTurnOff()->cmdTurnOffNow->click(); });
    ShowTurnOffWindow(30);
    settle();
    EXPECT_EQ(power.calls, QStringList({"ConfirmExit"}));
    EXPECT_FALSE(main.countdownShownAtQuestion) << "the question (or a refusal) would open behind it";
    EXPECT_FALSE(g_frmTurnOffLoaded());
}

// A refusal known before the exit (no right, no bus) leaves the program
// running; the request itself goes out only after the exit's saves, so a
// refusal of it is shown as the program ends.
TEST_F(Shutdown, ARefusalIsShownAndAnEarlyOneKeepsTheProgramRunning)
{
    const struct { QString canAnswer; bool bus; bool accept; quint32 number; QString message; bool exited; } cases[] = {
        {"yes", true, false, 0x8004062Bu, "ShutdownSystem failed: Access denied", true},
        {"challenge", true, true, 0x8004062Eu,
         "Can't enable shutdown: You do not have the privileges to shutdown this system. [Powering off needs a "
         "password here.]", false},
        {"yes", false, true, 0x8004062Du,
         "Can't enable shutdown: Can't determine the current process. [no system bus]", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        testenv::ScriptedMessageBoxes boxes;
        testenv::RecordingPower power;
        power.canAnswer = c.canAnswer;
        power.busAvailable = c.bus;
        power.accept = c.accept;
        FakeMainWindow main(power.calls);
        QTimer::singleShot(0, [] { g_frmTurnOff()->cmdTurnOffNow->click(); });
        ShowTurnOffWindow(30);
        settle();
        EXPECT_EQ(power.calls.contains("Exit"), c.exited);
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].prompt, c.message);
        EXPECT_EQ(boxes.shown()[0].icon(), int(vbExclamation));
        EXPECT_EQ(LastShutdownError().Number, c.number);
        EXPECT_EQ(LastShutdownError().Source, platform::programName() + ".mShutDown");
        EXPECT_EQ(power.powerOffRequests, c.canAnswer == "yes" && c.bus ? 1 : 0);
        EXPECT_FALSE(g_frmTurnOffLoaded());
    }
}

// An exit that did not happen (the window stayed open) sends no request.
TEST_F(Shutdown, NoPowerOffWhileTheProgramStillRuns)
{
    testenv::RecordingPower power;
    FakeMainWindow main(power.calls);
    main.exits = false;
    QTimer::singleShot(0, [] { g_frmTurnOff()->cmdTurnOffNow->click(); });
    ShowTurnOffWindow(30);
    settle();
    EXPECT_EQ(power.calls, QStringList({"ConfirmExit", "CanPowerOff", "Exit"}));
    EXPECT_EQ(power.powerOffRequests, 0);
}

TEST_F(Shutdown, ShutdownSystemChecksItsFlags)
{
    testenv::RecordingPower power;
    for (long flags : {32L, -1L, 1000L}) {
        EXPECT_FALSE(ShutdownSystem(flags));
        EXPECT_EQ(LastShutdownError().Number, 0x8004062Fu);
        EXPECT_EQ(LastShutdownError().Description, "Invalid parameter to ShutdownSystem: " + QString::number(flags));
    }
    EXPECT_TRUE(power.calls.isEmpty());
    EXPECT_FALSE(ShutdownSystem(EWX_REBOOT)) << "only powering off is ever asked for";
    EXPECT_EQ(power.powerOffRequests, 0);
    EXPECT_TRUE(ShutdownSystem(EWX_SHUTDOWN));
    EXPECT_EQ(power.powerOffRequests, 1);
}

TEST_F(Shutdown, TestsNeverReachTheLoginManager)
{
    // Without a recording stand-in the test main's refusing one answers.
    EXPECT_FALSE(ShutdownSystem(EWX_SHUTDOWN));
    EXPECT_NE(LastShutdownError().Number, 0u);
}

TEST(ShutdownModule, SystemErrorTexts)
{
    EXPECT_EQ(GetSystemErrorText(2), "No such file or directory");
    EXPECT_EQ(GetSystemErrorText(99999), "");
    EXPECT_EQ(GetSystemErrorText(-5), "");
    EXPECT_TRUE(IsWindowsNT());
}
