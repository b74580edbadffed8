#pragma once
// Powering the computer off at the end of a job, after a 30-second countdown
// the user can cut short or cancel.
#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTimer;

// The numbered errors of the shutdown module (object-error base 0x80040000).
constexpr quint32 vbObjectError = 0x80040000u;
constexpr quint32 ERR_SHUTDOWN_FAILED = vbObjectError + 1579;       // the request failed
constexpr quint32 ERR_NO_PRIVILEGE_VALUE = vbObjectError + 1580;    // the right cannot be looked up
constexpr quint32 ERR_NO_CURRENT_PROCESS = vbObjectError + 1581;    // no way to reach the login manager
constexpr quint32 ERR_NO_PRIVILEGE = vbObjectError + 1582;          // the right is not granted
constexpr quint32 ERR_INVALID_PARAMETER = vbObjectError + 1583;     // flags outside 0 to 31

constexpr long EWX_LOGOFF = 0;
constexpr long EWX_SHUTDOWN = 1;
constexpr long EWX_REBOOT = 2;
constexpr long EWX_POWEROFF = 8;

// The last error the module recorded. Errors only set this record: nothing
// shows them, except the countdown window when the power-off is refused.
struct ShutdownError {
    quint32 Number = 0;
    QString Source;
    QString Description;
};
const ShutdownError& LastShutdownError();
void ClearShutdownError();

// Asks the login manager to power the computer off; true when it accepted.
bool ShutdownSystem(long flags);
// True when this session may power the computer off without asking for a password.
bool EnableShutdownPrivilege();
// Whether the right to power off must be checked first: always, here.
bool IsWindowsNT();
// The system's text for an error number, "" for a number it does not know.
QString GetSystemErrorText(long code);

// Shows the countdown window modally and returns when it closes.
void ShowTurnOffWindow(long seconds);

// "Turn Off Computer": counts down, then asks the exit question, checks the
// right to power off (a refusal is shown and the program keeps running), runs
// the main window's exit sequence with its saves, and only then requests the
// power-off. A request refused after the exit is shown as the program ends.
class FrmTurnOff : public QDialog {
    Q_OBJECT
public:
    explicit FrmTurnOff(QWidget* parent = nullptr);

    long lNumOfSecToShutDown = 0;

    void StartShutDown(long lNumOfSec);
    void ShutDown();
    // One tick of the countdown (every 1000 ms).
    void Timer1_Timer();

    QLabel* lblStatus = nullptr;
    QLabel* lblSecToShutDown = nullptr;
    QLabel* lblSeconds = nullptr;
    QLabel* lblApplInfo = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* cmdTurnOffNow = nullptr;
    QPushButton* cmdCancel = nullptr;
    QTimer* Timer1 = nullptr;

    // Set once the window has been told to close.
    bool m_bUnloaded = false;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void unload();
};

// The countdown window, created on first use and destroyed when it closes.
FrmTurnOff* g_frmTurnOff();
bool g_frmTurnOffLoaded();
