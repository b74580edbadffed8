#include "mainwindow/frmMain.h"

#include <QFile>
#include <QPointer>
#include <QStringList>

#include "components/cContextMenu.h"
#include "core/Edition.h"
#include "core/WindowHelpers.h"
#include "platform/ProgramDir.h"

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

FrmMain::~FrmMain()
{
    if (mainWindow() == this)
        setMainWindow(nullptr);
}

void FrmMain::Form_Load()
{
    SetFormIcon(this, QStringLiteral("aaa"), true);
    m_cMenu = new cContextMenu(this);
    m_cMenu->AddItem(QStringLiteral("Exit"), QStringLiteral("RC Exit"));
    m_cMenu->AddItem(QStringLiteral("Hide"), QStringLiteral("RC Open"));
    setWindowTitle(g_sAppName + " " + g_sAppVersion);
    setMainWindow(this);
}

void FrmMain::m_cMenu_Click(int ItemNumber)
{
}

void FrmMain::Form_Resize()
{
}

QString FrmMain::GetNotesToStatus()
{
    const QString empty = QStringLiteral("Notes [ Empty ]");
    QFile file(AppPath() + "/Notes");
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return empty;
    // The file's lines joined with CR LF, without the final one.
    QString content = QString::fromUtf8(file.readAll());
    content.replace("\r\n", "\n");
    QStringList lines = content.split('\n');
    if (content.endsWith('\n'))
        lines.removeLast();
    QString text = lines.join("\r\n") + "\r\n";
    if (text.size() > 2)
        text.chop(2);
    if (text.isEmpty() || text == "\r\n")
        return empty;
    text.replace("\r\n", " ");
    if (text.size() < 37)
        return "Notes [ " + text + " ]";
    return "Notes [ " + text.left(35) + "..." + " ]";
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
