#pragma once
#include <QMainWindow>
#include <QString>
#include <QVector>
#include <functional>

#include "components/controls/cImageList.h"
#include "components/controls/cTreeView.h"
#include "core/MainWindowServices.h"
#include "core/RegistryRoutines.h"

class QFrame;
class cReBar;
class cSlider;
class cToolbarHost;
class ToolWindow;

// The main window: a single instance built by Form_Load, shown by the start
// procedure. Its controls are public members named as the design names them
// (the ones lower layers use are in MainWindowServices).
class FrmMain : public QMainWindow, public MainWindowServices {
    Q_OBJECT
public:
    explicit FrmMain(QWidget* parent = nullptr);
    ~FrmMain() override;

    // --- MainWindowServices ---
    QWidget* Form() override { return this; }
    void m_cMenu_Click(int ItemNumber) override;
    void Form_Resize() override;
    // The client height the panes may use, above the status bar, in twips.
    int UsableHeight() const;
    // Keeps the window from shrinking below the size at which its panes fit apart.
    void UpdateMinimumSize();
    QString GetNotesToStatus() override;
    // The tree of lists (ListCommands.cpp).
    void setTree() override;
    void LoadSelectedNode() override;

    // Builds the window's furniture, in its fixed order; run once, before the window shows.
    void Form_Load();

    // The window's outer size in twips (the client size where the platform
    // reports no frame). Setting it keeps the position.
    int Width() const;
    int Height() const;
    void setWidth(int twips);
    void setHeight(int twips);
    // The outer size of the normal (neither maximised nor minimised) window, in twips.
    int NormalWidth() const;
    int NormalHeight() const;

    // The window's in-tray mark: set when it went to the tray, so that one
    // click on the tray icon brings it back.
    bool m_bInTray = false;
    // The state the "GoSysTray" command leaves, also used by the "-st" start.
    void GoSysTray();
    // Hides the window into the tray; true when there is one to come back from.
    bool HideToTray();
    bool m_bToldNoTray = false;
    // A click on the tray icon or the tray item "RC Open".
    void ToggleFromTray();

    // Takes the window off (or puts it on) the topmost level, with its marks.
    void SetOnTop(bool bVal);

    // --- toolbar events ---
    void tlbrTop_ButtonClick(int index);
    void tlbrTop_ButtonDropDown(int index);
    void tlbrList_ButtonClick(int index);
    void tlbrProjects_ButtonClick(int index);
    void tlbrRecorder_ButtonClick(int index);
    void cStatusBar1_PanelClick(int index);

    // --- splitter drops (x and y in twips, relative to the control dropped on) ---
    void cTreeView1_DragDrop(QObject* Source, double x, double y);
    void cGrid1_DragDrop(QObject* Source, double x, double y);

    // --- commands of the router ---
    // One member per command key; the router's table (CommandRouter.cpp) names
    // the member of each key once it is built. A command returns false when it
    // ended early (a check failed, it redirected, or the window is gone), which
    // leaves out the router's closing refresh. ItemNumber is the chosen item.
    bool CmdAudioConverter(int ItemNumber); // "Audio Converter"
    bool CmdMP3CDMaker(int ItemNumber); // "MP3 CD Maker"
    bool CmdWMACDMaker(int ItemNumber); // "WMA CD Maker"
    bool CmdAudioCDDuplicator(int ItemNumber); // "Audio CD Duplicator"
    bool CmdAudioCDRipper(int ItemNumber); // "Audio CD Ripper"
    bool CmdACMConverter(int ItemNumber); // "ACM Converter"
    bool CmdAudioJoiner(int ItemNumber); // "Audio Joiner"
    bool CmdAudioSplitter(int ItemNumber); // "Audio Splitter"
    bool CmdAudioCDMaker(int ItemNumber); // "Audio CD Maker"
    bool CmdAudioAnalyser(int ItemNumber); // "Audio Analyser"
    bool CmdAudioRecorder(int ItemNumber); // "Audio Recorder"
    bool CmdTextToSpeech(int ItemNumber); // "Text To Speech"
    bool CmdAddFiles(int ItemNumber); // "Add Files"
    bool CmdAddDirectories(int ItemNumber); // "Add Directories"
    bool CmdNewItemsList(int ItemNumber); // "New Items List"
    bool CmdRenameItemsList(int ItemNumber); // "Rename Items List"
    bool CmdRemoveItemsList(int ItemNumber); // "Remove Items List"
    bool CmdItemsListProperties(int ItemNumber); // "Items List Properties"
    bool CmdOpenDestinationFolder(int ItemNumber); // "Open Destination Folder"
    bool CmdSaveAs(int ItemNumber); // "Save As"
    bool CmdRenameItem(int ItemNumber); // "Rename Item"
    bool CmdMarkUnmarkAll(int ItemNumber); // "MarkUnmark All"
    bool CmdRemoveItem(int ItemNumber); // "Remove Item"
    bool CmdCleartheList(int ItemNumber); // "Clear the List"
    bool CmdMoveUp(int ItemNumber); // "Move Up"
    bool CmdMoveDown(int ItemNumber); // "Move Down"
    bool CmdMoveToFirst(int ItemNumber); // "Move To First"
    bool CmdMoveToLast(int ItemNumber); // "Move To Last"
    bool CmdTransparent(int ItemNumber); // "Transparent"
    bool CmdMinimize(int ItemNumber); // "Minimize"
    bool CmdGoSysTray(int ItemNumber); // "GoSysTray"
    bool CmdExit(int ItemNumber); // "Exit"
    bool CmdFreeDB(int ItemNumber); // "FreeDB"
    bool CmdOnTop(int ItemNumber); // "On Top"
    bool CmdMasterVolume(int ItemNumber); // "Master Volume"
    bool CmdBurnFromList(int ItemNumber); // "Burn From List"
    bool CmdBurnFromFiles(int ItemNumber); // "Burn From Files"
    bool CmdEvents(int ItemNumber); // "Events"
    bool CmdView(int ItemNumber); // "View"
    bool CmdGeneral(int ItemNumber); // "General"
    bool CmdID3Tags(int ItemNumber); // "ID3 Tags"
    bool CmdAdvanced(int ItemNumber); // "Advanced"
    bool CmdAbout(int ItemNumber); // "About"
    bool CmdMP3TagsEditor(int ItemNumber); // "MP3 Tags Editor"
    bool CmdNotes(int ItemNumber); // "Notes"
    bool CmdLiveUpdate(int ItemNumber); // "Live Update"
    bool CmdHelpTopic(int ItemNumber); // "HelpTopic"
    bool CmdSupport(int ItemNumber); // "Support"
    bool CmdRCExit(int ItemNumber); // "RC Exit"
    bool CmdRCOpen(int ItemNumber); // "RC Open"
    bool CmdOpenDefaultPlayer(int ItemNumber); // "Open Default Player"

    // Sends a command by key: MenuIndexForKey, then the router.
    void SendCommand(const QString& key);

    // How a batch tool opens over the selected list's rows (ToolLaunch.cpp).
    struct ToolLaunch {
        // Loads the tool window (its accessor).
        std::function<ToolWindow*()> load;
        // Follows the number of marked rows in the count label: " items to convert.".
        QString countText;
        // Hands the marked rows' total seconds to the time-left estimate.
        bool totalSeconds = true;
        // Puts the list's name, cleaned like a file name, in the sub-folder box.
        bool subFolderName = true;
        // Copies the marked rows only (false: every row with its mark).
        bool markedOnly = true;
        // The tool's own inputs, set after the rows are copied.
        std::function<void(ToolWindow*)> fill;
    };
    // The launch of a batch tool once the router's checks have passed: loads
    // the window, fills it from the main grid, and shows it modally with the
    // disc polling off, which resumes afterwards when a CD drive is selected.
    // False when the window could not be loaded.
    bool LaunchBatchTool(const ToolLaunch& launch);

    // The checks a tool command passes before its window opens.
    enum ToolChecks {
        NoChecks = 0,
        ListChecks,   // a list or drive (not a root), rows, marked rows
        JoinChecks,   // ListChecks and at least two marked rows
        RipperChecks, // a CD drive (not a root, not a list), marked tracks
    };
    // One row of the router's table: the key, the checks that run before the
    // command, the message when nothing is marked, and the command itself
    // (empty while the command is not part of the build).
    struct CommandRow {
        QString key;
        ToolChecks checks = NoChecks;
        QString markMessage;
        std::function<bool(int ItemNumber)> run;
    };
    const QVector<CommandRow>& CommandRows() const { return m_commandRows; }
    // Connects the command of a key of the table; false for a key the table lacks.
    bool setCommand(const QString& key, std::function<bool(int ItemNumber)> run);

    // The router's first and last steps: stopping the item that plays, and
    // refilling the information grid from the selected row. The player panel
    // and the items lists provide them.
    std::function<void()> StopPlayingItem;
    std::function<void()> RefreshInformation;

    // The tree's node click: selects the node and loads it into the grid.
    void cTreeView1_NodeClick(const cTreeNode& node);
    // The deferred removal that "Remove Item" and "Clear the List" arm.
    void tmrRemove_Timer();
    // Opens a folder with the desktop, offering to create it when missing.
    void OpenDestFolder(const QString& sDir);
    // "Save As": copies the selected item's file to a path the user chooses.
    void SaveItemAs();

    // --- controls (besides those of MainWindowServices) ---
    QWidget* picResizer = nullptr;
    QWidget* picTitleProject = nullptr;
    QLabel* lblProjects = nullptr;
    QWidget* picTitleList = nullptr;
    QWidget* picPlayer = nullptr;
    QFrame* froTreeControl = nullptr;
    QWidget* picList = nullptr;
    QFrame* froControl = nullptr;
    QLabel* picToolBarJPGPicHolder = nullptr;

    cToolbarHost* cToolbarHost1 = nullptr;
    cToolbarHost* tlbrProjectsHost = nullptr;
    cToolbarHost* cToolbarHostRecorder = nullptr;
    cToolbarHost* cToolbarHostPlayer = nullptr;
    cReBar* rbrList = nullptr;
    cToolbar* tlbrTop = nullptr;
    cToolbar* tlbrProjects = nullptr;
    cToolbar* tlbrList = nullptr;
    cToolbar* tlbrPlayButtons = nullptr;
    cSlider* cSlider1 = nullptr;

    cImageList* imgPlayer = nullptr;
    // imgGeneral(0): the tools toolbar's pictures.
    cImageList* imgGeneral0 = nullptr;

    // The window's own view on the machine-wide settings key.
    RegistryRoutines m_cRegistry;

    // The edition's view; its result is always empty.
    QString SetAppView();

    // --- the player panel (PlayerPanel.cpp) ---
    QLabel* lbTotalLengthSec = nullptr;
    QLabel* lblCurrentPositionSec = nullptr;
    QTimer* tmrPlayer = nullptr;    // 200 ms: the delayed start after a stop
    QTimer* tmSlider = nullptr;     // 200 ms: slider and position label
    QTimer* tmrAudioData = nullptr; // 100 ms: feeds the graphs
    // The list node that was selected when the playing item started.
    cTreeNode m_cPlayingNode;
    // Starts the selected row, resumes a paused item, or stops the playing
    // item and schedules a restart.
    void StartPlay();
    void StopPlay();
    void LoadItemToPlayer() override;
    void tlbrPlayButtons_ButtonClick(int index);
    void cPlayer1_PlayEnded();
    void cSlider1_SlideStart();
    void cSlider1_SlideEnd();
    void tmrPlayer_Timer();
    void tmSlider_Timer();
    void tmrAudioData_Timer();
    void ItemFileFactsRead(const QString& path, const AudioFileFacts& facts) override;
    bool IsPlayerPlaying() override;
    void PressPlayerStop() override;

    // --- tray icon and window modes (WindowModes.cpp) ---
    void SetTransparent(bool bVal);
    // 1: toggle between shown and the tray; 2: the tray menu at the cursor.
    void cSysTray1_TrayMouse(int type);

    // --- exit (Exit.cpp) ---
    // The unload of the window: may ask, then tears the program down. Cancel
    // set to 1 keeps the window.
    void Form_Unload(int& Cancel);
    void Form_Terminate();
    bool ConfirmExit() override;
    bool ExitWithoutAsking() override;

    // --- the command line (WindowCommands.cpp) ---
    // Runs once, from the message loop, after start-up has shown the window.
    void ProcessCommandLine(const QString& commandLine);
    // Loads the first CD drive node whose disc has tracks.
    void SelectFirstAudioCD();
    // Shows the Options dialog modally on the page of that key.
    bool ShowOptionsPage(const QString& key);

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool event(QEvent* e) override;

private:
    void CreatePlayerPanel();
    // Set while the shutdown countdown runs the exit it has already confirmed.
    bool m_bExitConfirmed = false;
    void CreateControls();
    void SetMenus();
    void SetToolsToolbar();
    void BuildTopToolbar();
    void BuildProjectsToolbar();
    void BuildListToolbar();
    void BuildPlayerToolbar();
    void SetToolbarBackground(cToolbarHost* host);
    void LoadWindowSize();
    void FirstSelection();
    // Connects the tree, the grids and the list commands to the items lists.
    void ConnectLists();
    // Connects the grid's editing events and the item commands (ItemCommands.cpp).
    void ConnectItemEditing();
    void ShowPopupUnderButton(cToolbar* toolbar, int index, const QString& targetKey);
    void setOpenCaption(const QString& caption);
    void applyPendingOuterSize();

    void SetCommandRows();
    bool RunToolChecks(const CommandRow& row);
    QVector<CommandRow> m_commandRows;

    bool m_bLoaded = false;
    // An outer size asked for before the window's frame was known.
    int m_pendingOuterWidth = -1;
    int m_pendingOuterHeight = -1;
    // The outer size last set, in twips (-1: none).
    int m_twWidth = -1;
    int m_twHeight = -1;
};

FrmMain* frmMain();
bool frmMainLoaded();
void UnloadMain();
