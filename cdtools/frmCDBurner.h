#pragma once
// "Audio CD Maker": burns the items of its grid, in grid order, as the tracks
// of an audio CD through its burner component. The burn call returns when
// the burn has ended; the window's controls come back only then.
#include "cdtools/WriterDrives.h"
#include "toolframe/ToolWindow.h"

class QComboBox;
class QLabel;
class QPushButton;
class cAudioBurner;
class cProgressBar;
class LinkLabel;

class FrmCDBurner : public ToolWindow {
    Q_OBJECT
public:
    explicit FrmCDBurner(QWidget* parent = nullptr);
    ~FrmCDBurner() override;

    static ToolFrameDesign Design();

    void BurnDisk() override;
    void FillDriveList();
    void FillSpeedList();
    void cboDrv_Click();
    void cmdConvert_Click() override;
    void cmdAbort_Click() override;
    void cmdOpenCD_Click();
    void cmdClose_Click();
    void lblOpenDestinationDestinationFolder_Click();

    void cAudioBurner1_TrackProgress(int percent, int track);
    void cAudioBurner1_CurrentProgress(int percent, int unused);
    void cAudioBurner1_ClosingSession();
    void cAudioBurner1_ClosingTrack(int unused);
    void cAudioBurner1_CachingTrack();
    void cAudioBurner1_WritingTrack();
    void cAudioBurner1_BurnFinished();
    void cAudioBurner1_BurnError(int code, const QString& text);

    cAudioBurner* cAudioBurner1 = nullptr;
    QLabel* lblDrive = nullptr;
    QComboBox* cboDrv = nullptr;
    QLabel* lblSpeed = nullptr;
    QComboBox* cboSpeed = nullptr;
    QPushButton* cmdOpenCD = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdIsReady = nullptr;
    QPushButton* cmdDiskSize = nullptr;
    QPushButton* cmdDiskCapacity = nullptr;
    QLabel* lblState = nullptr;
    QLabel* lblDiskSize = nullptr;
    QLabel* lblDiskCapacity = nullptr;
    QLabel* lblDataSize = nullptr;
    cProgressBar* prgSize = nullptr;
    LinkLabel* lblBrowseDrive = nullptr;

    // The track number TrackProgress reported last.
    long m_lLastTrack = 0;
    // Abort was confirmed while the list was being added or burned.
    bool m_bAbortRequested = false;

protected:
    void LoadOwnTail() override;
    void UnloadOwnSteps() override;
    QString EndFolderToOpen() const override;
    void EjectTrayAtEnd() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void SetBurning(bool burning);
    // Adds the next grid row to the burner; after the last one, the burn.
    void AddNextTrack();
    void ClearProgress();

    JobStepQueue m_steps{this};
    long m_lNextRow = 0;
};

// The audio CD maker, created on first use (running its Form_Load) and
// destroyed when it closes.
FrmCDBurner* g_frmCDBurner();
bool g_frmCDBurnerLoaded();
