#pragma once
// What the audio CD maker and the duplicator share as windows that burn audio
// tracks: the burner component and the writer controls each window lays out
// on its own page (drive and speed lists, disc labels, tray buttons), their
// wiring, the burner's events both treat alike, the abort question and the
// guard that keeps a running job's window open. Each window keeps its own
// texts and steps in its overrides.
#include <optional>

#include "cdtools/WriterDrives.h"
#include "core/OffThreadWait.h"
#include "toolframe/ToolWindow.h"

class QComboBox;
class QLabel;
class QPushButton;
class cAudioBurner;

class AudioBurnerWindow : public ToolWindow {
    Q_OBJECT
public:
    // The writer's controls, laid out by the window.
    QComboBox* cboDrv = nullptr;
    QComboBox* cboSpeed = nullptr;
    QLabel* lblDiskSize = nullptr;
    QLabel* lblDiskCapacity = nullptr;
    QLabel* lblState = nullptr;

    // The burner and its events.
    virtual void cAudioBurner1_TrackProgress(int percent, int track);
    void cAudioBurner1_CurrentProgress(int percent, int unused);
    virtual void cAudioBurner1_ClosingSession() = 0;
    void cAudioBurner1_ClosingTrack(int unused);
    void cAudioBurner1_CachingTrack();
    void cAudioBurner1_WritingTrack();
    virtual void cAudioBurner1_BurnFinished();
    virtual void cAudioBurner1_BurnError(int code, const QString& text);
    cAudioBurner* cAudioBurner1 = nullptr;

    // The writers, their speeds, the disc of the chosen one and its tray.
    void FillDriveList();
    void FillSpeedList();
    void cboDrv_Click();
    void EjectWriterTray();
    void CloseWriterTray();

    void cmdAbort_Click() override;
    // Abort was confirmed while the job ran.
    bool m_bAbortRequested = false;
    // The job's next steps, held while Abort is asked (tests look at them).
    const JobStepQueue& JobSteps() const { return m_steps; }

protected:
    using ToolWindow::ToolWindow;

    // Called once the window has laid out its writer controls: makes the
    // burner, wires the drive list and the tray buttons (a null closeTray
    // button has no action) and adds the Events page's tray box.
    void SetUpWriter(QPushButton* openTray, QPushButton* closeTray, const QString& trayBoxCaption,
                     bool trayBoxTicked);
    // The burner lets go of its tracks and its drive.
    void ReleaseWriter();
    // Adds the file of a grid row as the next track; one the burner refuses
    // is logged and left out. The file is read on a worker while the window
    // goes on answering, so the window may have gone on return; an abort ends
    // the wait and leaves the row out unlogged.
    void AddGridTrack(long lRow);
    // Burns the added tracks to the chosen writer at the chosen speed and
    // empties the burner. Returns the burner's result, nothing when the
    // window was destroyed meanwhile.
    std::optional<long> BurnAddedTracks(bool burnOption);
    void ClearProgress();
    static QString BurnErrorLine(int code, const QString& text);
    // The components an abort reaches; the duplicator adds its ripper.
    virtual void AbortComponents();

    void closeEvent(QCloseEvent* event) override;

    JobStepQueue m_steps{this};

private:
    OffThreadWait m_trackRead;
};
