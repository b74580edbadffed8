#include "mainwindow/frmMain.h"

#include <QPointer>

#include "components/cContextMenu.h"
#include "core/Edition.h"
#include "core/WindowHelpers.h"

namespace {
QPointer<FrmMain>& ref()
{
    static QPointer<FrmMain> p;
    return p;
}
} // namespace

FrmMain::FrmMain(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName("frmMain");
    // The program runs as long as the main window is loaded, also while it sits in the tray.
    setAttribute(Qt::WA_DeleteOnClose);
}

FrmMain::~FrmMain() = default;

void FrmMain::Form_Load()
{
    SetFormIcon(this, QStringLiteral("aaa"), true);
    m_cMenu = new cContextMenu(this);
    m_cMenu->AddItem(QStringLiteral("Exit"), QStringLiteral("RC Exit"));
    m_cMenu->AddItem(QStringLiteral("Hide"), QStringLiteral("RC Open"));
    setWindowTitle(g_sAppName + " " + g_sAppVersion);
}

void FrmMain::setOpenCaption(const QString& caption)
{
    m_cMenu->setItemCaption(m_cMenu->MenuIndexForKey(QStringLiteral("RC Open")), caption);
}

void FrmMain::GoSysTray()
{
    setWindowState(windowState() | Qt::WindowMinimized);
    hide();
    setOpenCaption(QStringLiteral("Show"));
    m_bInTray = true;
}

void FrmMain::ToggleFromTray()
{
    const bool minimized = windowState() & Qt::WindowMinimized;
    if (minimized && m_bInTray) {
        show();
        setWindowState(windowState() & ~Qt::WindowMinimized);
        setOpenCaption(QStringLiteral("Hide"));
        m_bInTray = false;
    } else if (!minimized) {
        setWindowState(windowState() | Qt::WindowMinimized);
        hide();
        setOpenCaption(QStringLiteral("Show"));
        m_bInTray = true;
    } else {
        hide();
        setWindowState(windowState() | Qt::WindowMinimized);
        setOpenCaption(QStringLiteral("Show"));
        m_bInTray = true;
    }
}

FrmMain* frmMain()
{
    if (!ref()) {
        ref() = new FrmMain;
        ref()->Form_Load();
    }
    return ref();
}

bool frmMainLoaded() { return !ref().isNull(); }

void UnloadMain()
{
    delete ref().data();
}
