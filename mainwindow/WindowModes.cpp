// The window's modes besides its ordinary state: on top, transparent,
// minimized, and hidden in the tray with only its icon left.
#include <QCursor>

#include "components/controls/cContextMenu.h"
#include "components/controls/cToolbar.h"
#include "core/WindowHelpers.h"
#include "mainwindow/frmMain.h"

namespace {
// The one transparency level, on the 0-255 scale where 255 is opaque.
constexpr int kTransparentAlpha = 90;
} // namespace

void FrmMain::SetTransparent(bool bVal)
{
    // The marks follow the request even where the window system refuses it.
    if (bVal)
        SetWindowTransparency(this, kTransparentAlpha);
    else
        RemoveWindowTransparency(this);
    tlbrTop->setButtonChecked(QStringLiteral("Transparent"), bVal);
    if (m_cMenu)
        m_cMenu->setItemChecked(m_cMenu->MenuIndexForKey(QStringLiteral("Transparent")), bVal);
}

void FrmMain::cSysTray1_TrayMouse(int type)
{
    if (type == 1) {
        ToggleFromTray();
    } else if (type == 2) {
        raise();
        activateWindow();
        const QPoint at = QCursor::pos();
        if (m_cMenu)
            m_cMenu->ShowPopupMenuAt(at.x(), at.y(), m_cMenu->MenuIndexForKey(QStringLiteral("RC Open")), true);
    }
}

bool FrmMain::CmdOnTop(int ItemNumber)
{
    SetOnTop(!m_cMenu->ItemChecked(ItemNumber));
    return true;
}

bool FrmMain::CmdTransparent(int ItemNumber)
{
    SetTransparent(!m_cMenu->ItemChecked(ItemNumber));
    return true;
}

bool FrmMain::CmdMinimize(int)
{
    setWindowState(windowState() | Qt::WindowMinimized);
    return true;
}
