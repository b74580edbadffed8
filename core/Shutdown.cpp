#include "core/Shutdown.h"

#include <QCloseEvent>
#include <QShowEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>

#include "core/Edition.h"
#include "core/MainWindowServices.h"
#include "core/WindowHelpers.h"
#include "platform/MessageBox.h"
#include "platform/Power.h"
#include "platform/ProgramDir.h"

namespace {

ShutdownError& lastError()
{
    static ShutdownError e;
    return e;
}

void raise(quint32 number, const QString& description)
{
    lastError() = ShutdownError{number, platform::programName() + ".mShutDown", description};
}

struct NtCache {
    bool computed = false;
    bool answer = false;
};
NtCache& ntCache()
{
    static NtCache c;
    return c;
}

QString refusalText(const QString& answer)
{
    if (answer == "challenge")
        return QStringLiteral("Powering off needs a password here.");
    if (answer == "no")
        return QStringLiteral("This user may not power the computer off.");
    if (answer == "na")
        return QStringLiteral("Powering off is not available on this system.");
    return "The login manager answers \"" + answer + "\".";
}

} // namespace

const ShutdownError& LastShutdownError()
{
    return lastError();
}

void ClearShutdownError()
{
    lastError() = ShutdownError{};
}

bool IsWindowsNT()
{
    // Powering off is a right of the session: it is always checked first.
    if (!ntCache().computed) {
        ntCache().answer = true;
        ntCache().computed = true;
    }
    return ntCache().answer;
}

QString GetSystemErrorText(long code)
{
    if (code < 0 || code > 0xFFFF)
        return QString();
    const char* text = ::strerrordesc_np(int(code));
    return text ? QString::fromLocal8Bit(text) : QString();
}

bool EnableShutdownPrivilege()
{
    const platform::PowerReply reply = platform::powerService().canPowerOff();
    if (!reply.busAvailable) {
        raise(ERR_NO_CURRENT_PROCESS, "Can't enable shutdown: Can't determine the current process. [" + reply.error + "]");
        return false;
    }
    if (!reply.ok) {
        raise(ERR_NO_PRIVILEGE_VALUE,
              "Can't enable shutdown: Can't find the SE_SHUTDOWN_NAME privilege value. [" + reply.error + "]");
        return false;
    }
    if (reply.value != "yes") {
        raise(ERR_NO_PRIVILEGE, QStringLiteral("Can't enable shutdown: You do not have the privileges to ") +
                                    "shutdown this system. [" + refusalText(reply.value) + "]");
        return false;
    }
    return true;
}

namespace {
// The request itself, once the right to power off was checked.
bool requestPowerOff(long flags)
{
    if (!(flags & (EWX_SHUTDOWN | EWX_POWEROFF))) {
        // Only powering off is offered; logging off or restarting is never asked for.
        raise(ERR_SHUTDOWN_FAILED, "ShutdownSystem failed: " + GetSystemErrorText(EOPNOTSUPP));
        return false;
    }
    const platform::PowerReply reply = platform::powerService().powerOff();
    if (!reply.ok) {
        raise(ERR_SHUTDOWN_FAILED, "ShutdownSystem failed: " + reply.error);
        return false;
    }
    return true;
}
} // namespace

bool ShutdownSystem(long flags)
{
    if (flags < 0 || flags > 31) {
        raise(ERR_INVALID_PARAMETER, "Invalid parameter to ShutdownSystem: " + QString::number(flags));
        return false;
    }
    if (IsWindowsNT() && !EnableShutdownPrivilege())
        return false;
    return requestPowerOff(flags);
}

// ---------------------------------------------------------------------------

namespace {
QPointer<FrmTurnOff>& windowRef()
{
    static QPointer<FrmTurnOff> p;
    return p;
}
} // namespace

FrmTurnOff::FrmTurnOff(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName("g_frmTurnOff");
    setWindowTitle(QStringLiteral("Turn Off Computer"));
    setAttribute(Qt::WA_DeleteOnClose);
    // It comes up while the user may be typing elsewhere: it never takes the
    // keyboard, and a key that reaches it anyway lands on Cancel.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    setFixedSize(TwipsToPixels(5235), TwipsToPixels(1560));

    auto* root = new QHBoxLayout(this);
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setPixmap(ProgramIcon(QStringLiteral("aaa")).pixmap(32, 32));
    Image1->setAlignment(Qt::AlignTop);
    root->addWidget(Image1);

    auto* column = new QVBoxLayout;
    auto* countRow = new QHBoxLayout;
    lblStatus = new QLabel(QStringLiteral("Computer will shutdown in"), this);
    lblStatus->setObjectName("lblStatus");
    lblSecToShutDown = new QLabel(QStringLiteral("100"), this);
    lblSecToShutDown->setObjectName("lblSecToShutDown");
    QFont big = lblSecToShutDown->font();
    big.setBold(true);
    lblSecToShutDown->setFont(big);
    lblSeconds = new QLabel(QStringLiteral("Seconds"), this);
    lblSeconds->setObjectName("lblSeconds");
    countRow->addWidget(lblStatus);
    countRow->addWidget(lblSecToShutDown);
    countRow->addWidget(lblSeconds);
    countRow->addStretch(1);
    column->addLayout(countRow);

    lblApplInfo = new QLabel(this);
    lblApplInfo->setObjectName("lblApplInfo");
    column->addWidget(lblApplInfo);
    column->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdTurnOffNow = new QPushButton(QStringLiteral("Shutdown Now"), this);
    cmdTurnOffNow->setObjectName("cmdTurnOffNow");
    // Reached by a deliberate Tab only, never by the first key pressed; once
    // there, Enter presses it.
    cmdTurnOffNow->setFocusPolicy(Qt::TabFocus);
    cmdTurnOffNow->setAutoDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName("cmdCancel");
    cmdCancel->setAutoDefault(false);
    cmdCancel->setDefault(true);
    buttons->addWidget(cmdTurnOffNow);
    buttons->addWidget(cmdCancel);
    setTabOrder(cmdCancel, cmdTurnOffNow);
    cmdCancel->setFocus();
    column->addLayout(buttons);
    root->addLayout(column, 1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &FrmTurnOff::Timer1_Timer);

    connect(cmdTurnOffNow, &QPushButton::clicked, this, [this] {
        Timer1->stop();
        lNumOfSecToShutDown = 0;
        lblSecToShutDown->setText(QStringLiteral("0"));
        ShutDown();
    });
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        Timer1->stop();
        unload();
    });

    Form_Load();
}

void FrmTurnOff::Form_Load()
{
    lblApplInfo->setText(g_sAppName + " " + g_sAppVersion);
}

void FrmTurnOff::StartShutDown(long lNumOfSec)
{
    lNumOfSecToShutDown = lNumOfSec;
    lblSecToShutDown->setText(QString::number(lNumOfSec));
    Timer1->start();
    Timer1_Timer();
}

void FrmTurnOff::Timer1_Timer()
{
    lblSecToShutDown->setText(QString::number(lNumOfSecToShutDown));
    if (lNumOfSecToShutDown > 0) {
        --lNumOfSecToShutDown;
    } else {
        Timer1->stop();
        ShutDown();
    }
}

void FrmTurnOff::ShutDown()
{
    Timer1->stop();
    // Gone before any question or refusal, which would open behind it.
    unload();
    MainWindowServices* main = mainWindow();
    // The exit question comes first: answering No must not leave a power-off
    // request behind a program that keeps running.
    if (main && !main->ConfirmExit())
        return;
    ClearShutdownError();
    // A right that is missing is known before anything ends: the program
    // keeps running as it was.
    if (IsWindowsNT() && !EnableShutdownPrivilege()) {
        MsgBox(LastShutdownError().Description, vbExclamation | vbOKOnly);
        return;
    }
    // The exit's saves (the list cleared on exit, the window size, the
    // notes) are on disk before the request goes out, not raced by it.
    if ((main = mainWindow()) && !main->ExitWithoutAsking())
        return;
    if (!requestPowerOff(EWX_SHUTDOWN))
        MsgBox(LastShutdownError().Description, vbExclamation | vbOKOnly);
}

void FrmTurnOff::unload()
{
    m_bUnloaded = true;
    close();
}

void FrmTurnOff::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    cmdCancel->setFocus(Qt::OtherFocusReason);
}

void FrmTurnOff::closeEvent(QCloseEvent* event)
{
    Timer1->stop();
    m_bUnloaded = true;
    event->accept();
}

void FrmTurnOff::reject()
{
    // Escape or the close box: as "Cancel".
    Timer1->stop();
    unload();
}

void ShowTurnOffWindow(long seconds)
{
    QPointer<FrmTurnOff> w = g_frmTurnOff();
    w->StartShutDown(seconds);
    // A count of 0 may already have ended the window.
    if (w && !w->m_bUnloaded)
        w->exec();
}

FrmTurnOff* g_frmTurnOff()
{
    if (!windowRef())
        windowRef() = new FrmTurnOff(nullptr);
    return windowRef();
}

bool g_frmTurnOffLoaded()
{
    return !windowRef().isNull();
}
