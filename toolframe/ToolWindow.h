#pragma once
// The frame every batch tool window is built on: the items grid, the
// Settings, Events and Log pages under one tab strip, the destination folder
// with its history and sub-folder, the target format and output name
// template, the job parameters handed to an audio component, the time-left
// estimate, the log and the end-of-job actions.
//
// A tool window derives from ToolWindow, gives its differences in a
// ToolFrameDesign, lays out its own Settings page, and overrides the hooks
// of its job. Its accessor creates it and runs Form_Load; closing it unloads
// it (refused while a job runs) and the next use builds it afresh.
#include <QDialog>
#include <QString>
#include <QWidgetList>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QVBoxLayout;
class LinkLabel;
class XP_ProgressBar;
class cGrid;
class cStatusBar;
class cTabControl;
class AudioJobTarget;

struct ToolFrameDesign {
    QString objectName;         // the accessor's name, e.g. "g_frmConverter"
    QString caption;            // window caption and title text
    QString iconResource;       // empty: the window keeps its design icon
    QString startCaption;       // caption of cmdConvert
    bool startDisabled = false; // cmdConvert opens disabled
    QString settingsTabCaption; // caption of the "Settings" tab, blanks included
    int settingsTabIcon = 9;
    bool gridImages = false;    // the grid shows the main grid's mark icons (imgGrid), not imgMenu

    QString playSoundCaption = QStringLiteral("Play a sound");
    QString openDestFolderCaption = QStringLiteral("Open the destination folder");
    QString noticeAppCaption = QStringLiteral("Execute external program");

    // Which parts of the Settings page the window has.
    bool destination = false;     // destination box, browse, history, sub-folder, open link
    bool targetFormat = false;    // target format box with "Edit"
    bool formatDefaultLink = true; // and its "Set as default" link
    bool fileNameTemplate = false; // template box with its "Set as default" link
    bool templateAlwaysFirst = false; // start on entry 0 instead of the stored default (else entry 1)
    bool overwrite = false;       // "Overwrite existing files"
    bool parametersLink = false;  // "Parameters", the template help
    bool timeLeft = false;        // lblTimeLeft and Timer1
};

// How a window's row job shows itself (the shared job steps read it). The
// defaults are the audio converter's; a window that shows its job otherwise
// sets its own in its constructor.
// The text of a row's cell in the column of the given key (none without a grid).
QString GridCell(cGrid* grid, long lRow, const QString& key);

struct RowJobLook {
    // The caption follows the job: "Converting... [ … ]" while a row runs, an
    // error line, "Aborted.", "Done.". Otherwise it shows the app's title
    // while rows run and at the end.
    bool jobCaption = true;
    // A wait cursor while rows are being started; progress and the end clear it.
    bool busyCursor = true;
    // A failed row's line is also shown in the current-track label.
    bool errorInLabel = true;
    // A finished row is logged and shown as "Done.".
    bool doneShown = true;
    // Progress and finished rows feed the time-left estimate.
    bool timeLeft = true;
    // The total bar never passes its maximum.
    bool clampTotal = false;
    // Each row is a run of its own: a failed row moves on to the next one.
    // Off for a job that is one component run.
    bool perRow = true;
    // The number of the running row; null: m_lCurrentRow.
    long* row = nullptr;
};

class ToolWindow : public QDialog {
    Q_OBJECT
public:
    ~ToolWindow() override;

    // Runs once per load, right after construction (the accessor calls it).
    void Form_Load();
    // Cancel is set to 1 while a job runs: the window stays open.
    void Form_Unload(int& Cancel);
    // True once the window has unloaded (its accessor then builds a new one).
    bool Unloaded() const { return m_bUnloaded; }

    // ---- Members other windows and the jobs call
    // Shows the page of the selected tab ("Settings", "Events", "Log"); the
    // argument is not read.
    virtual void cTabControl1_TabClick(int lTab);
    // The sub-folder name box follows its check box.
    virtual void CheckUnderFolderEna();
    // Output format and settings to the component, one log line; returns 0.
    virtual long SetDestination();
    // The seven tag texts of the row, macros expanded, to the component.
    virtual void SetID3Tags(long lRow);
    virtual QString CreateID3TagsString(const QString& sStr);
    // The end-of-job actions ticked on the Events page.
    virtual void DoEndEvents();
    // The job of the window; a window overrides the ones it has.
    virtual void ConvertTracks() {}
    virtual long ConvertTask(long lRow) { return 0; }
    virtual void JoinFiles() {}
    virtual void BurnDisk() {}

    // ---- Destination and names
    // The sub-folder name and "/" when the switch is ticked and the name is
    // not empty, else "".
    QString GetSubFolderPart() const;
    // The destination text, one "/", and the sub-folder part.
    QString OutputFolder() const;
    // The output name of a grid row from the template box.
    QString ExpandFileNameTemplate(long lRow);
    // The output folder joined with the row's name. When the name cannot be
    // used, returns "" and sets *sProblem to the reason (the row fails).
    QString OutputFileForRow(long lRow, QString* sProblem = nullptr);
    // The job start's preparation of the output folder: an empty destination
    // is refused with a message (false); otherwise the destination goes to
    // the top of the path history and, with the switch ticked, the output
    // folder is created.
    bool PrepareOutputFolder();

    // ---- Job state helpers
    // True while a job runs: cmdConvert is disabled.
    virtual bool JobRunning() const;
    // A new job: row 1, no errors, no finished seconds, tick counter 1.
    void ResetJobState();
    // Selects the "Log" tab and shows its page.
    void ShowLogTab();
    // A step of the job: a line in the log and the same text in the status label.
    void LogStep(const QString& text);
    // A row's seconds: its Time cell for a whole file, its range length otherwise.
    long RowSeconds(long lRow);
    // A progress report of the current row (percent of 1 or more counts).
    void NoteRowProgress(long lPercent);
    // The current row finished: its seconds count as done.
    void NoteRowDone();
    // The current row failed: no turn-off at the end, one more failed row.
    void NoteRowError();
    // "Done." or, after failed rows, "Done with errors.".
    QString DoneText() const;
    // The tray balloon of a job's end, titled with the product and version.
    void ShowJobBalloon(const QString& sText);
    // The normal end of a job: the failed rows are logged, the balloon and
    // the status label say DoneText(), then the end-of-job actions run.
    void FinishJobDone();
    // The time-left tick.
    void Timer1_Timer();
    void ResetTimeFields();
    // The stock text of the time-left label.
    static QString TimeLeftZeroText();

    // ---- Window variables
    long g_ltmrItemSecsTotal = 0; // total seconds of the job's rows, set by the main window
    long m_ltmrItemSecsDone = 0;
    long m_ltmrSecsElapsed = 0;
    long m_ltmrItemSecs = 0;
    long m_ltmrDoneItemsSecs = 0;
    long m_lCurrentRow = 0;
    bool m_bJobError = false;
    long m_lFailedRows = 0;
    RowJobLook m_rowJob;

    // ---- Controls
    QWidget* picTitle = nullptr;
    QLabel* lblTitle = nullptr;
    cGrid* cGrid1 = nullptr;
    cTabControl* cTabControl1 = nullptr;
    QWidget* TabSettings = nullptr;
    QWidget* TabEvents = nullptr;
    QWidget* TabLog = nullptr;
    QPlainTextEdit* txtLog = nullptr;
    XP_ProgressBar* prgCurrnet = nullptr;
    XP_ProgressBar* prgTotal = nullptr;
    QLabel* lblFilesToConvert = nullptr;
    QLabel* lblCurrentTrack = nullptr;
    QLabel* lblTimeLeft = nullptr; // windows with the estimate only
    QTimer* Timer1 = nullptr;      // windows with the estimate only
    cStatusBar* cStatusBar1 = nullptr;
    QPushButton* cmdConvert = nullptr;
    QPushButton* cmdAbort = nullptr;
    QPushButton* cmdExit = nullptr;

    // Events page
    QLabel* lblEventsWhenDone = nullptr;
    QCheckBox* chkPlaySound = nullptr;
    QCheckBox* chkOpenDestFolder = nullptr;
    QCheckBox* chkTurnOffComputer = nullptr;
    QCheckBox* chkNoticeApp = nullptr;
    QCheckBox* chkOpenCDdrive = nullptr; // the CD windows add it
    LinkLabel* lblEventsSettings = nullptr;

    // Settings page, the parts the design asks for
    QLabel* Label4 = nullptr; // "Destination:"
    QComboBox* txtToPath = nullptr;
    QPushButton* cmdSelectPath = nullptr;
    LinkLabel* lblSetAsDefaultDestination = nullptr;
    LinkLabel* lblOpenDestinationDestinationFolder = nullptr;
    QLabel* imgOpenDestFolder = nullptr;
    QCheckBox* chkCreateSubFolder = nullptr;
    QLineEdit* txtUndeForlder = nullptr;
    QCheckBox* chkOverWrite = nullptr;
    QLabel* Label5 = nullptr; // "Audio Format:"
    QComboBox* cboTargetFormat = nullptr;
    QPushButton* cmdEditTargetFormat = nullptr;
    LinkLabel* lblSetAsDefaultFormat = nullptr;
    QLabel* Label21 = nullptr; // "File Name Format:"
    QComboBox* cboFileName = nullptr;
    LinkLabel* lblSetAsDefaultFileName = nullptr;
    LinkLabel* lblParameters = nullptr;

    // ---- Handlers (the links and buttons call them; tests may too)
    void cmdSelectPath_Click();
    void txtToPath_Click();
    void lblSetAsDefaultDestination_Click();
    void chkCreateSubFolder_Click();
    void lblOpenDestinationDestinationFolder_Click();
    void cboTargetFormat_Click();
    void lblSetAsDefaultFormat_Click();
    void cmdEditTargetFormat_Click();
    void cboFileName_Click();
    void lblSetAsDefaultFileName_Click();
    void lblEventsSettings_Click();
    void lblParameters_Click();
    void cmdExit_Click();
    virtual void cmdConvert_Click() {}
    virtual void cmdAbort_Click() {}

    const ToolFrameDesign& design() const { return m_design; }
    // The name of the settings tab, quoted, for messages that send the user there.
    QString settingsPageName() const;

public slots:
    // Escape and the close box go through the unload guard.
    void reject() override;

protected:
    explicit ToolWindow(const ToolFrameDesign& design, QWidget* parent = nullptr);

    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

    // The component the job parameters go to (null: none).
    virtual AudioJobTarget* JobTarget() { return nullptr; }
    // The extension macros of the output names; by default from cboTargetFormat.
    virtual QString DestExtension() const;
    // Check boxes and option buttons of the window's own that take the back colour.
    virtual QWidgetList OwnBackColorControls() const { return {}; }
    // Load steps of the window's own: right after the icon, right before the
    // tabs, and at the end.
    virtual void LoadStepAfterIcon() {}
    virtual void LoadStepBeforeTabs() {}
    virtual void LoadOwnTail() {}
    // The unload's steps after the guard: release the components.
    virtual void UnloadOwnSteps() {}
    // The folder "Open the destination folder" opens at the end of a job;
    // "" for none.
    virtual QString EndFolderToOpen() const { return OutputFolder(); }
    // The CD windows open the drive tray when chkOpenCDdrive is ticked.
    virtual void EjectTrayAtEnd() {}

    // Lays out the Settings page parts the design has, one row each.
    void LayOutStandardSettings();
    // The CD windows' fifth Events box, in bold under the other four.
    QCheckBox* AddOpenCDdriveBox(const QString& caption, bool ticked);
    // Sets the four common Events boxes from the option defaults.
    void LoadEventBoxes();

private:
    void buildFrame();
    void buildSettingsParts();
    void placePages();
    void HideTabPages();
    void SetGrid(cGrid* grid);
    void LoadFileNameFormats();
    void selectEntry(QComboBox* combo, int index);

    ToolFrameDesign m_design;
    QVBoxLayout* m_eventsBoxes = nullptr;
    bool m_bUnloaded = false;
    bool m_bLoaded = false;
};

// 1 for a set flag, 0 for a clear one: the value of a check box.
int FlagToCheckValue(bool flag);
int FlagToCheckValue(int flag);
// A check box counts as ticked only when fully checked.
bool CheckTicked(const QCheckBox* box);
