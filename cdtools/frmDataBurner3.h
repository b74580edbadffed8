#pragma once
// "MP3 CD Maker" / "WMA CD Maker": turns the grid's rows into files of a
// temporary folder (a copy of the source, or a conversion through the
// converter component) and, once the user agrees, burns that folder's files
// as a data disc through one of two engines: the data burner component
// (engine 0) or the burner component (engine 1), which also writes DVDs.
#include <atomic>
#include <functional>

#include "toolframe/JobParameters.h"
#include "toolframe/ToolWindow.h"

class cAudioConverter;
class cAudioDataBurner;
class cBurner;

class FrmDataBurner3 : public ToolWindow {
    Q_OBJECT
public:
    explicit FrmDataBurner3(QWidget* parent = nullptr);
    ~FrmDataBurner3() override;

    static ToolFrameDesign Design();

    // What ConvertTask made of a row.
    enum TaskResult : long { RowStarted = 0, RowSkipped = 1, RowCancelled = 2 };

    // ---- The job
    void cmdConvert_Click() override;
    void cmdAbort_Click() override;
    void ConvertTracks() override;
    long ConvertTask(long lRow) override;
    QString CreateID3TagsString(const QString& sStr) override;
    void DoEndEvents() override;
    void chkDoNotConvertSource_Click();
    void CheckDoNotConvertEna();
    void cmbEngine_Click();
    void lblErasetempfilesnow_Click();
    // The program folder's "datacdtmp/".
    QString GetTempFolder() const;
    void DeleteFolderFiles();
    // The name of a row's file in the temporary folder. Copy-only keeps the
    // source's own extension for "[dest_extension]".
    QString RowFileName(long lRow);

    // ---- First engine
    void FillDriveList();
    void FillSpeedList();
    void cboDrv_Click();
    bool UpdateCDInfo();
    void lblRefreshCDInfo_Click();
    void lblOpenCDDoor_Click();
    void lblCloseCDDoor_Click();
    void BurnWithDataBurner();
    void cAudioDataBurner1_BurnStarted();
    void cAudioDataBurner1_BurnProgress(int percent);
    void cAudioDataBurner1_ClosingSession();
    void cAudioDataBurner1_BurnFinished();
    void cAudioDataBurner1_BurnStopped(long code, const QString& text);

    // ---- Second engine
    bool CheckImapi2Installed();
    void FillImapiDriveList();
    void BurnWithImapi2();
    void EnableBurnControls(bool bEnable);
    void cBurner1_BurnerInitializing();
    void cBurner1_BurnerAdding(const QString& path);
    void cBurner1_BurnerFileCount(long files, long folders);
    void cBurner1_StartBurning();
    void cBurner1_BurnerProgress(long percent);
    void cBurner1_BurnerFinalization();
    void cBurner1_BurnerCompleted();
    void cBurner1_BurnerDoneBurn();
    void cBurner1_BurnerCanceled();
    void cBurner1_BurnerMessage(const QString& first, const QString& second);
    void cBurner1_BurnerEnd();

    // ---- Converter events
    void cAudioConverter1_JobProgress(int percent);
    void cAudioConverter1_JobDone();
    void cAudioConverter1_JobAborted();
    void cAudioConverter1_JobError(int code, const QString& text);

    // True from the start of a burn until its end event.
    bool Burning() const { return m_bBurning; }

    // Tests: called on the copying thread after each step of a row's copy
    // (bytes copied, the file's size). Returns the previous watch.
    using CopyStepWatch = std::function<void(qint64 copied, qint64 size)>;
    static CopyStepWatch setCopyStepWatch(CopyStepWatch watch);

    cAudioConverter* cAudioConverter1 = nullptr;
    cAudioDataBurner* cAudioDataBurner1 = nullptr;
    cBurner* cBurner1 = nullptr;

    // Settings page
    QLabel* lblEngine = nullptr;
    QComboBox* cmbEngine = nullptr;
    QLabel* lblDrv = nullptr;
    QComboBox* cboDrv = nullptr;
    QLabel* lblCDStatus = nullptr;
    LinkLabel* lblRefreshCDInfo = nullptr;
    LinkLabel* lblOpenCDDoor = nullptr;
    LinkLabel* lblCloseCDDoor = nullptr;
    QLabel* lblSpeed = nullptr;
    QComboBox* cboSpeed = nullptr;
    QLabel* lblCDName = nullptr;
    QLineEdit* txtCDName = nullptr;
    QLabel* lblPublisherID = nullptr;
    QLineEdit* PublisherID = nullptr;
    QLabel* lblFileSys = nullptr;
    QCheckBox* chkISO = nullptr;
    QCheckBox* chkJOLIET = nullptr;
    QCheckBox* chkUDF = nullptr;
    QCheckBox* chkDoNotConvertSource = nullptr;
    QLabel* lblCDFormat = nullptr; // the frame's format label, renamed
    // Events page
    QCheckBox* chkEraseTempfiles = nullptr;
    LinkLabel* lblErasetempfilesnow = nullptr;

    bool m_bAbortRequested = false;

protected:
    AudioJobTarget* JobTarget() override { return &m_target; }
    QWidgetList OwnBackColorControls() const override;
    void LoadStepAfterIcon() override;
    void LoadStepBeforeTabs() override;
    void LoadOwnTail() override;
    void UnloadOwnSteps() override;
    QString EndFolderToOpen() const override;
    void EjectTrayAtEnd() override;

private:
    QString DriveLetter() const;
    // Nothing left to burn or an end without a burn: the job ends here.
    void EndWithoutBurn(const QString& text);
    void FinishBurn();
    void LogAndLabel(const QString& text);
    void LogDiscName(const QString& path, const QString& discName);
    // True when the files fit the disc in the chosen drive; otherwise says so.
    bool LayoutFits(const QStringList& files);
    // True when the chosen drive holds a blank disc; otherwise says so and the job stops.
    bool DriveTakesTheDisc();
    // Copies a row's file off the window's thread while the window stays
    // live; Abort stops it between two steps, leaving no partial copy.
    bool CopyRowFile(const QString& source, const QString& target, QString* why);
    // The caption follows the status line when the job ends.
    void CaptionAsStatus();

    ComponentJobTarget<cAudioConverter> m_target;
    bool m_bFirstCall = false;
    bool m_bBurning = false;
    bool m_bChecking = false;
    std::atomic<bool> m_copyStop{false};
};

// The data CD maker window, created on first use (running its Form_Load) and
// destroyed when it closes.
FrmDataBurner3* g_frmDataBurner3();
bool g_frmDataBurner3Loaded();
