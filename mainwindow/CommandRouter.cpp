// The command router: every menu and toolbar command of the window arrives
// here as the index of an m_cMenu item and runs by that item's key.
#include <QPointer>

#include "components/controls/cContextMenu.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cTreeView.h"
#include "lists/ItemRow.h"
#include "lists/ListLoader.h"
#include "lists/ListTree.h"
#include "mainwindow/frmMain.h"
#include "platform/MessageBox.h"

namespace {

QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

void inform(QWidget* owner, const QString& text) { MsgBox(text, vbInformation | vbOKOnly, QString(), owner); }

} // namespace

// The table of command keys, in the order the router compares them. A row
// names its command once the command is built; until then the key runs
// nothing but the router's own steps. A command is a member
// `bool FrmMain::Cmd<Key>(int ItemNumber)` (declared in frmMain.h, defined in
// the file of the part of the window it belongs to) named in its row here; it
// returns false when it ended early. The checks of a tool row run before it.
void FrmMain::SetCommandRows()
{
    using Run = bool (FrmMain::*)(int);
    auto row = [this](const char* key, Run run = nullptr, ToolChecks checks = NoChecks,
                      const char* markMessage = nullptr) {
        CommandRow r;
        r.key = QString::fromLatin1(key);
        r.checks = checks;
        if (markMessage)
            r.markMessage = QString::fromLatin1(markMessage) + blanks(29);
        if (run)
            r.run = [this, run](int ItemNumber) { return (this->*run)(ItemNumber); };
        m_commandRows.push_back(r);
    };

    row("Audio Converter", &FrmMain::CmdAudioConverter, ListChecks, "Mark the items to convert.");
    row("MP3 CD Maker", &FrmMain::CmdMP3CDMaker, ListChecks, "Mark the items to burn.");
    row("WMA CD Maker", &FrmMain::CmdWMACDMaker, ListChecks, "Mark the items to burn.");
    row("Audio CD Duplicator", &FrmMain::CmdAudioCDDuplicator);
    row("Audio CD Ripper", &FrmMain::CmdAudioCDRipper, RipperChecks, "Mark the items to rip.");
    row("ACM Converter", &FrmMain::CmdACMConverter, ListChecks, "Mark the items to convert.");
    row("Audio Joiner", &FrmMain::CmdAudioJoiner, JoinChecks, "Mark the items to join.");
    row("Audio Splitter", &FrmMain::CmdAudioSplitter, ListChecks, "Mark the items to split.");
    row("Audio CD Maker", &FrmMain::CmdAudioCDMaker, ListChecks, "Mark the items to burn.");
    row("Audio Analyser", &FrmMain::CmdAudioAnalyser, ListChecks, "Mark the item to edit.");
    row("Audio Recorder", &FrmMain::CmdAudioRecorder);
    row("Text To Speech", &FrmMain::CmdTextToSpeech);
    row("Add Files");
    row("Add Directories"); // does nothing
    row("New Items List");
    row("Rename Items List");
    row("Remove Items List");
    row("Items List Properties");
    row("Open Destination Folder");
    row("Save As");
    row("Rename Item");
    row("MarkUnmark All");
    row("Remove Item");
    row("Clear the List");
    row("Move Up");
    row("Move Down");
    row("Move To First");
    row("Move To Last");
    row("Transparent", &FrmMain::CmdTransparent);
    row("Minimize", &FrmMain::CmdMinimize);
    row("GoSysTray", &FrmMain::CmdGoSysTray);
    row("Exit", &FrmMain::CmdExit);
    row("FreeDB", &FrmMain::CmdFreeDB);
    row("On Top", &FrmMain::CmdOnTop);
    row("Master Volume", &FrmMain::CmdMasterVolume);
    row("Burn From List", &FrmMain::CmdBurnFromList);   // does nothing
    row("Burn From Files", &FrmMain::CmdBurnFromFiles); // does nothing
    row("Events", &FrmMain::CmdEvents);
    row("View", &FrmMain::CmdView);
    row("General", &FrmMain::CmdGeneral);
    row("ID3 Tags", &FrmMain::CmdID3Tags);
    row("Advanced", &FrmMain::CmdAdvanced);
    row("About", &FrmMain::CmdAbout);
    row("MP3 Tags Editor", &FrmMain::CmdMP3TagsEditor);
    row("Notes", &FrmMain::CmdNotes);
    row("Live Update", &FrmMain::CmdLiveUpdate); // does nothing
    row("HelpTopic", &FrmMain::CmdHelpTopic);
    row("Support", &FrmMain::CmdSupport);
    row("RC Exit", &FrmMain::CmdRCExit);
    row("RC Open", &FrmMain::CmdRCOpen);
    row("Open Default Player", &FrmMain::CmdOpenDefaultPlayer);
}

bool FrmMain::setCommand(const QString& key, std::function<bool(int)> run)
{
    for (CommandRow& r : m_commandRows)
        if (r.key == key) {
            r.run = std::move(run);
            return true;
        }
    return false;
}

void FrmMain::m_cMenu_Click(int ItemNumber)
{
    // Any command, and even none, stops the item that plays.
    if (StopPlayingItem)
        StopPlayingItem();
    if (ItemNumber == 0 || !m_cMenu)
        return;

    const QString key = m_cMenu->ItemKey(ItemNumber);
    QPointer<FrmMain> self(this);
    bool refresh = true;
    for (const CommandRow& r : m_commandRows) {
        if (r.key != key)
            continue;
        // The row is copied: a command may reconnect rows while it runs.
        const CommandRow row = r;
        if (row.checks != NoChecks && !RunToolChecks(row))
            refresh = false;
        else if (row.run)
            refresh = row.run(ItemNumber);
        break;
    }
    // A command that closed the window leaves nothing to refresh.
    if (!self || !refresh)
        return;
    if (RefreshInformation)
        RefreshInformation();
}

// The checks of the tool commands. A failed check ends the command, and the
// router's refresh with it.
bool FrmMain::RunToolChecks(const CommandRow& row)
{
    const cTreeNode selected = cTreeView1->SelectedNode();
    const QString nodeKey = selected.NodeKey();

    if (IsMainNode(nodeKey)) {
        inform(this, (row.checks == RipperChecks ? QStringLiteral("Select the Items List of the CD.")
                                                 : QStringLiteral("Select the Items List.")) +
                         blanks(40));
        const cTreeNode first = selected.ChildNodes().NodeItem(1);
        if (first)
            cTreeView1_NodeClick(first);
        return false;
    }

    if (row.checks == RipperChecks) {
        if (!IsCDNode(nodeKey)) {
            inform(this, QStringLiteral("Select the the Audio CD device to rip from.") + blanks(40));
            cTreeNode cds = g_nodAudioCDs;
            if (cds) {
                cds.setNodeExpanded(true);
                const cTreeNode drive = cds.ChildNodes().NodeItem(1);
                if (drive)
                    cTreeView1_NodeClick(drive);
            }
            return false;
        }
    } else if (cGrid1->RowCount() == 0) {
        // Nothing to work on yet: ask for files instead.
        SendCommand(QStringLiteral("Add Files"));
        return false;
    }

    const long marked = GetMarkedCount(cGrid1);
    if (marked == 0) {
        inform(this, row.markMessage);
        return false;
    }
    if (row.checks == JoinChecks && marked < 2) {
        inform(this, QStringLiteral("Nothing to join.") + blanks(55) + QStringLiteral("\r\n\r\n"));
        return false;
    }
    return true;
}

void FrmMain::cTreeView1_NodeClick(const cTreeNode& node)
{
    ::cTreeView1_NodeClick(node);
}

// --- the window-mode rows built so far ---

bool FrmMain::CmdGoSysTray(int)
{
    GoSysTray();
    return false;
}

bool FrmMain::CmdRCOpen(int)
{
    ToggleFromTray();
    return true;
}
