// The orderly exit: the question, then the teardown in its fixed order.
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QPointer>

#include "components/disc/cAudioCDRipper.h"
#include "components/audio/cAudioConverter.h"
#include "components/audio/cAudioGraph.h"
#include "components/audio/cPlayer.h"
#include "components/controls/cSysTray.h"
#include "core/Edition.h"
#include "core/Startup.h"
#include "core/ToolFrameServices.h"
#include "core/WindowHelpers.h"
#include "lists/ListLoader.h"
#include "lists/ListTree.h"
#include "mainwindow/frmMain.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "settings/AppState.h"
#include "settings/Options.h"

namespace {

// A job that runs would be cut off half-way, its output left unfinished.
bool refuseWhileToolJobRuns(QWidget* owner)
{
    if (!ToolJobRunning())
        return false;
    MsgBox(QStringLiteral("A job is still running. Stop it, or wait until it has finished, and then exit."),
           vbExclamation | vbOKOnly, QString(), owner);
    return true;
}

bool askExit(QWidget* owner)
{
    return MsgBox("Are you sure you want to exit '" + g_sAppName + " " + g_sAppVersion + "' ?",
                  vbYesNo | vbInformation, QString(), owner) != vbNo;
}

// Every other window of the program: the windows without a parent.
void unloadOtherWindows(QWidget* main)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w == main || w->parentWidget())
            continue;
        const QString name = w->objectName();
        if (!name.startsWith(QLatin1String("frm")) && !name.startsWith(QLatin1String("g_frm")))
            continue;
        QPointer<QWidget> window(w);
        window->close(); // its own unload handling runs here
        if (window)
            window->deleteLater();
    }
}

} // namespace

void FrmMain::closeEvent(QCloseEvent* e)
{
    int Cancel = 0;
    Form_Unload(Cancel);
    if (Cancel) {
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
}

void FrmMain::Form_Unload(int& Cancel)
{
    if (refuseWhileToolJobRuns(this)) {
        Cancel = 1;
        return;
    }

    // 1.-2. The question.
    g_bAppClosing = true;
    if (g_bDisplayMSGWhenExit && !m_bExitConfirmed && !askExit(this)) {
        Cancel = 1;
        g_bAppClosing = false;
        return;
    }

    // 3. Off the topmost level; the menu's marks stay as they are.
    SetFormOnTop(this, false);

    // 4. Playback stops as the "Stop" button stops it.
    if (cPlayer1->IsPlaybackPaused())
        cPlayer1->ResumePlayback();
    if (cPlayer1->IsPlaying())
        StopPlay();

    // 5. The shown list, when it is a list, is emptied if the option says so.
    const QString key = cTreeView1->SelectedNode().NodeKey();
    if (g_bClearOnExit && !key.isEmpty() && !IsMainNode(key) && !IsCDNode(key))
        DoClearTheList();

    // 6. Every other window.
    unloadOtherWindows(this);

    // 7. The temporary audio files.
    QFile::remove(AppPath() + "/tmpeditor.wav");
    QFile::remove(AppPath() + "/tmptts.wav");

    // 8. The hosted components.
    cPlayer1->ReleaseComponent();
    cAudioGraphAmp->ReleaseComponent();
    cAudioGraphFreq->ReleaseComponent();
    if (cAudioConverter1)
        cAudioConverter1->ReleaseComponent();
    if (cAudioCDRipper1)
        cAudioCDRipper1->ReleaseComponent();

    // 9. The window size, height first.
    m_cRegistry.setSubkey(QStringLiteral("General"));
    m_cRegistry.SetRegistryValue(QStringLiteral("lHeight"), QString::number(Height()), REG_SZ);
    m_cRegistry.SetRegistryValue(QStringLiteral("lWidth"), QString::number(Width()), REG_SZ);

    // 10. The tray icon.
    cSysTray1->RemoveTrayIcon();
}

void FrmMain::Form_Terminate() { SetNoGPFaultErrorMode(); }

bool FrmMain::ConfirmExit()
{
    if (refuseWhileToolJobRuns(this))
        return false;
    return !g_bDisplayMSGWhenExit || askExit(this);
}

bool FrmMain::ExitWithoutAsking()
{
    QPointer<FrmMain> self(this);
    m_bExitConfirmed = true;
    const bool closed = close();
    if (self)
        m_bExitConfirmed = false;
    return closed;
}

bool FrmMain::CmdExit(int)
{
    // A completed exit leaves nothing to refresh.
    return !close();
}

bool FrmMain::CmdRCExit(int ItemNumber) { return CmdExit(ItemNumber); }
