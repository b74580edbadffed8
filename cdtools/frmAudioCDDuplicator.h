#pragma once
// "Audio CD Duplicator": copies a whole audio CD. Every track of the source
// disc is ripped to a PCM WAV file in the temporary folder, one after the
// other, then the files are burned as the tracks of a new disc. The source
// is checked again every three seconds while the window is idle.
#include <QStringList>

#include "cdtools/AudioBurnerWindow.h"
#include "toolframe/JobParameters.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class cAudioCDRipper;

class FrmAudioCDDuplicator : public AudioBurnerWindow {
    Q_OBJECT
public:
    explicit FrmAudioCDDuplicator(QWidget* parent = nullptr);
    ~FrmAudioCDDuplicator() override;

    static ToolFrameDesign Design();

    // The job.
    void cmdConvert_Click() override;
    void ConvertTracks() override;
    long ConvertTask(long lRow) override;
    void BurnDisk() override;
    long SetDestination() override;
    bool DoOnFly() const;
    void SetOnTheFly() {}
    bool JobRunning() const override { return m_bJobRunning; }

    // The drives.
    void FillDeviceList();
    void cboDevices_Click();
    void ListCDTracks(const QString& drive);
    void tmrState_Timer();
    void cmdOpenCD_Click();
    void cmdCloseCD_Click();

    void cAudioCDRipper1_JobProgress(int percent);
    void cAudioCDRipper1_JobDone();
    void cAudioCDRipper1_JobAborted();
    void cAudioCDRipper1_JobError(int code, const QString& text);
    void cAudioBurner1_TrackProgress(int percent, int track) override;
    void cAudioBurner1_ClosingSession() override;
    void cAudioBurner1_BurnFinished() override;
    void cAudioBurner1_BurnError(int code, const QString& text) override;

    // Deletes the files of a folder; one that cannot be deleted is skipped.
    static void DeleteFolderFiles(const QString& folder);

    cAudioCDRipper* cAudioCDRipper1 = nullptr;
    QTimer* tmrState = nullptr;
    QComboBox* txtToPath = nullptr; // hidden: the temporary folder

    QLabel* Label1 = nullptr;
    QComboBox* cboDevices = nullptr;
    QPushButton* cmdOpenCD = nullptr;
    QPushButton* cmdCloseCD = nullptr;
    QLabel* lblCDStatus = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label10 = nullptr;
    QPushButton* cmdOpenDestCD = nullptr;
    QPushButton* cmdClose = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label8 = nullptr;
    QCheckBox* chkOnTheFly = nullptr;

    QStringList m_colRippedFiles;

protected:
    AudioJobTarget* JobTarget() override { return &m_target; }
    void LoadOwnTail() override;
    void UnloadOwnSteps() override;
    QString EndFolderToOpen() const override { return {}; }
    void EjectTrayAtEnd() override;
    void AbortComponents() override;

private:
    void EnableJobControls(bool bEnable);
    void FillGridFromRippedFiles();
    void EndJob(const QString& text);
    // The step after a track's end: the next track, the burn, or the end of
    // an aborted job.
    void NextTrackStep();
    QString TempFolder() const;

    ComponentJobTarget<cAudioCDRipper> m_target;
    bool m_bJobRunning = false;
    // How the burn ended: "" when the disc was written, otherwise the text
    // the job ends with ("Aborted.", the error, "Nothing to burn.").
    QString m_sBurnEnd;
    // The ripped files stay for the user after a burn that did not end well.
    bool m_bKeepTempFiles = false;
};

// The duplicator, created on first use (running its Form_Load) and
// destroyed when it closes.
FrmAudioCDDuplicator* g_frmAudioCDDuplicator();
bool g_frmAudioCDDuplicatorLoaded();
