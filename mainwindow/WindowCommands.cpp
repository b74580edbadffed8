// The router's window, help and program commands, the status-bar panels and
// the command line.
#include <QApplication>
#include <QFileInfo>
#include <QPointer>

#include "cdtools/frmFreeDB.h"

#include "components/disc/cAudioCDRipper.h"
#include "components/controls/cGrid.h"
#include "components/controls/cTreeView.h"
#include "core/Edition.h"
#include "core/WindowHelpers.h"
#include "core/frmAbout.h"
#include "lists/CdDrives.h"
#include "lists/ItemRow.h"
#include "lists/ListTree.h"
#include "mainwindow/frmMain.h"
#include "mainwindow/frmMP3TagsEditor.h"
#include "mainwindow/frmNotes.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "platform/Shell.h"
#include "settings/frmOptions.h"

bool FrmMain::CmdFreeDB(int)
{
    SetFormOnTop(this, false);
    if (cGrid1->RowCount() == 0)
        return false;
    if (!IsCDNode(cTreeView1->SelectedNode().NodeKey())) {
        MsgBox(QStringLiteral("Select the CD drive to get the information about.") + QString(18, QLatin1Char(' ')),
               vbInformation | vbOKOnly, QString(), this);
        return false;
    }
    setCursor(Qt::WaitCursor);
    QPointer<FrmFreeDB> lookup = g_frmFreeDB();
    if (lookup->GetFreeDB() && lookup && !lookup->Unloaded())
        lookup->exec(); // until the lookup hides or unloads the window
    unsetCursor();
    return true;
}

bool FrmMain::CmdMasterVolume(int)
{
    SetFormOnTop(this, false);
    // The desktop's volume control for the sound server. Without it the
    // command and the status panel would seem dead, so that is said.
    if (!platform::startProgram(QStringLiteral("pavucontrol")))
        MsgBox(QStringLiteral("No volume control could be started: install pavucontrol (PulseAudio Volume Control)."),
               vbInformation | vbOKOnly, QString(), this);
    return true;
}

bool FrmMain::CmdBurnFromList(int) { return true; }
bool FrmMain::CmdBurnFromFiles(int) { return true; }
bool FrmMain::CmdLiveUpdate(int) { return true; }

bool FrmMain::CmdAbout(int)
{
    SetFormOnTop(this, false);
    frmAbout()->exec();
    return true;
}

bool FrmMain::CmdMP3TagsEditor(int)
{
    SetFormOnTop(this, false);
    setCursor(Qt::WaitCursor);
    FrmMP3TagsEditor* editor = g_frmMP3TagsEditor();
    unsetCursor();
    if (!editor->isVisible())
        PlaceBesideOwner(editor, this);
    editor->show();
    editor->raise();
    return true;
}

bool FrmMain::CmdNotes(int)
{
    SetFormOnTop(this, false);
    FrmNotes* notes = g_frmNotes();
    if (!notes->isVisible())
        notes->PlaceOver(this);
    notes->show();
    notes->raise();
    return true;
}

bool FrmMain::CmdHelpTopic(int)
{
    // The desktop's browser shows the help page; a missing page is not
    // reported, and checking first keeps the desktop from reporting it either.
    const QString help = AppPath() + "/Help.html";
    if (QFileInfo(help).isFile())
        platform::shellOpen(help);
    return true;
}

bool FrmMain::CmdSupport(int)
{
    platform::shellOpen(g_sAppSupportPage);
    return true;
}

bool FrmMain::CmdOpenDefaultPlayer(int)
{
    SetFormOnTop(this, false);
    if (cGrid1->RowCount() == 0)
        return true;
    const QString file = cGrid1->CellText(cGrid1->SelectedRow(), cGrid1->ColumnIndex(COL_FILE));
    if (!file.isEmpty())
        platform::shellOpen(file);
    return true;
}

void FrmMain::ProcessCommandLine(const QString& commandLine)
{
    // The whole command line, in any letter case; anything more matches nothing.
    const QString c = commandLine.toLower();
    if (c == QLatin1String("-addfiles"))
        SendCommand(QStringLiteral("Add Files"));
    else if (c == QLatin1String("-addaudiocd"))
        SelectFirstAudioCD();
}

void FrmMain::SelectFirstAudioCD()
{
    // The CD drive nodes know which drive holds an audio CD.
    ::SelectFirstAudioCD();
}

// The Options dialog, loaded since start-up, shown modally on the page of the key.
bool FrmMain::ShowOptionsPage(const QString& key)
{
    SetFormOnTop(this, false);
    FrmOptions* options = frmOptions();
    const cTreeNode node = options->cTreeView1->Nodes().NodeItem(key);
    cTreeNode(node).setNodeSelected(true);
    options->cTreeView1_NodeClick(node);
    options->exec();
    return true;
}

bool FrmMain::CmdGeneral(int) { return ShowOptionsPage(QStringLiteral("General")); }
bool FrmMain::CmdEvents(int) { return ShowOptionsPage(QStringLiteral("Events")); }
bool FrmMain::CmdView(int) { return ShowOptionsPage(QStringLiteral("View")); }
bool FrmMain::CmdID3Tags(int) { return ShowOptionsPage(QStringLiteral("ID3 Tags")); }
bool FrmMain::CmdAdvanced(int) { return ShowOptionsPage(QStringLiteral("Advanced")); }
