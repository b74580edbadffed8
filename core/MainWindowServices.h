#pragma once
// The main window as the layers below it see it. Settings, lists, tool
// windows and tags reach the main window's controls and services through
// this base, never by including mainwindow/. The main window derives from it,
// so these members are the window's own controls; it registers itself while
// it loads and unregisters when it goes.
//
// The control pointers are null until the main window has built them (and
// stay null for controls whose component is not part of the build yet).
#include <QString>

class QLabel;
class QTimer;
class QWidget;

class XP_ProgressBar;
class AudioFileProbe;
struct AudioFileFacts;
class cAudioCDRipper;
class cAudioConverter;
class cAudioGraph;
class cContextMenu;
class cGrid;
class cImageList;
class cPlayer;
class cStatusBar;
class cSysTray;
class cToolbar;
class cTreeView;

class MainWindowServices {
public:
    virtual ~MainWindowServices();

    // The window itself (owner of message boxes, target of SetFormOnTop).
    virtual QWidget* Form() = 0;

    // The command router: runs the command of the m_cMenu item ItemNumber
    // (0 runs nothing). Senders look the index up with m_cMenu->MenuIndexForKey.
    virtual void m_cMenu_Click(int ItemNumber) = 0;
    // Lays the panes out for the window's size and the view options.
    virtual void Form_Resize() = 0;
    // The one-line summary of the notes shown in the status panel "Notes".
    virtual QString GetNotesToStatus() = 0;
    // Builds the whole tree of lists (and CD drives) anew; the items lists
    // provide it through the main window. Nothing happens without them.
    virtual void setTree() {}
    // Loads the list or drive of the selected tree node into the grid, as a
    // click on it does.
    virtual void LoadSelectedNode() {}

    // The player as the items lists use it. IsPlayerPlaying is true while an
    // item is loaded in the player, playing or paused; PressPlayerStop
    // presses the tools toolbar's "Stop" button.
    virtual bool IsPlayerPlaying() { return false; }
    // The file probe has read path, which the selected row names.
    virtual void ItemFileFactsRead(const QString& path, const AudioFileFacts& facts) {}
    virtual void PressPlayerStop() {}
    // Shows the selected row's length in the player panel while nothing
    // plays; the items grid's mouse-up asks for it.
    virtual void LoadItemToPlayer() {}

    // A balloon at the tray icon, as the tool windows show one at the end of
    // a job (icon 1, time 30). By default through cSysTray1, when there is one.
    virtual void ShowTrayBalloon(const QString& text, const QString& title, int icon, int time);

    // The exit as the shutdown countdown runs it. ConfirmExit asks the exit
    // question when the options ask for it and returns false on No.
    // ExitWithoutAsking then runs the main window's exit sequence (and with
    // it every save the exit makes) without asking again, before the
    // power-off request goes out; false when the window stayed open. The main
    // window overrides both; the defaults ask nothing and close the window.
    virtual bool ConfirmExit() { return true; }
    virtual bool ExitWithoutAsking();

    // Grids, tree and the list-name label.
    cGrid* cGrid1 = nullptr;
    cGrid* cGridInfo = nullptr;
    cTreeView* cTreeView1 = nullptr;
    QLabel* lblListName = nullptr;

    // The empty-list message over the items grid.
    QWidget* picEmptyMsg = nullptr;
    QLabel* lblEmptylist = nullptr;
    QLabel* lblAddorDrag = nullptr;

    // The list loader's progress bar (hidden while nothing loads).
    XP_ProgressBar* prgStatus = nullptr;

    // The title strip.
    QWidget* picTitle = nullptr;
    QLabel* lblTitle = nullptr;

    // Disc polling (5000 ms) and deferred removal (50 ms); both off at load.
    QTimer* tmrCDs = nullptr;
    QTimer* tmrRemove = nullptr;
    // What tmrRemove removes: "Item", "All", or anything else for nothing.
    QString m_sRemoveKind;

    // Image lists: grid marks and types, and the menu/tree/tab icons.
    cImageList* imgGrid = nullptr;
    cImageList* imgMenu = nullptr;

    // Hosted components.
    cAudioConverter* cAudioConverter1 = nullptr;
    cAudioCDRipper* cAudioCDRipper1 = nullptr;
    cPlayer* cPlayer1 = nullptr;
    // Reads the selected item's format and length away from the window's
    // thread, for the information grid and the player panel (ItemFileProbe).
    AudioFileProbe* cFileProbe = nullptr;
    cAudioGraph* cAudioGraphAmp = nullptr;
    cAudioGraph* cAudioGraphFreq = nullptr;
    cSysTray* cSysTray1 = nullptr;

    cToolbar* tlbrRecorder = nullptr;
    cStatusBar* cStatusBar1 = nullptr;
    cContextMenu* m_cMenu = nullptr;

    // Set true by the one-file conversion window when the user aborts the
    // conversion that the audio editor command started.
    bool g_bAbortedAudioEditor = false;
};

// The loaded main window, or null while none is loaded.
MainWindowServices* mainWindow();
void setMainWindow(MainWindowServices* window);
