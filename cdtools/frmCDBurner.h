#pragma once
// "Audio CD Maker": burns the items of its grid, in grid order, as the tracks
// of an audio CD through its burner component. The burn call returns when
// the burn has ended; the window's controls come back only then.
#include "cdtools/AudioBurnerWindow.h"

class QLabel;
class QPushButton;
class cProgressBar;
class LinkLabel;

class FrmCDBurner : public AudioBurnerWindow {
    Q_OBJECT
public:
    explicit FrmCDBurner(QWidget* parent = nullptr);
    ~FrmCDBurner() override;

    static ToolFrameDesign Design();

    void BurnDisk() override;
    void cmdConvert_Click() override;
    void lblOpenDestinationDestinationFolder_Click();

    void cAudioBurner1_TrackProgress(int percent, int track) override;
    void cAudioBurner1_ClosingSession() override;
    void cAudioBurner1_BurnFinished() override;

    QLabel* lblDrive = nullptr;
    QLabel* lblSpeed = nullptr;
    QPushButton* cmdOpenCD = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdIsReady = nullptr;
    QPushButton* cmdDiskSize = nullptr;
    QPushButton* cmdDiskCapacity = nullptr;
    QLabel* lblDataSize = nullptr;
    cProgressBar* prgSize = nullptr;
    LinkLabel* lblBrowseDrive = nullptr;

    // The track number TrackProgress reported last.
    long m_lLastTrack = 0;

protected:
    void LoadOwnTail() override;
    void UnloadOwnSteps() override;
    QString EndFolderToOpen() const override;
    void EjectTrayAtEnd() override;

private:
    void SetBurning(bool burning);
    // Adds the next grid row to the burner; after the last one, the burn.
    void AddNextTrack();

    long m_lNextRow = 0;
};

// The audio CD maker, created on first use (running its Form_Load) and
// destroyed when it closes.
FrmCDBurner* g_frmCDBurner();
bool g_frmCDBurnerLoaded();
