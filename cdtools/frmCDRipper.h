#pragma once
// "Audio CD Ripper": rips the marked tracks of the disc in the chosen drive,
// one track at a time in grid order, into files of the target format named
// from the template and tagged from the rows. Each rip runs on the ripper
// component; its events move the job on to the next marked row.
#include "toolframe/JobParameters.h"
#include "toolframe/ToolWindow.h"

class cAudioCDRipper;

class FrmCDRipper : public ToolWindow {
    Q_OBJECT
public:
    explicit FrmCDRipper(QWidget* parent = nullptr);
    ~FrmCDRipper() override;

    // What ConvertTask made of a row.
    enum TaskResult : long {
        RowStarted = 0,   // the component rips it
        RowSkipped = 1,   // its output exists and the user said No
        RowCancelled = 2, // the user said Cancel: the job stops
    };

    // The devices of the component, the first one selected and checked.
    void FillDeviceList();
    // The CD check of the selected device, shown in lblCDStatus.
    void cboDevices_Click();
    // True when the last CD check found an audio CD with tracks.
    bool CDCheckPassed() const { return m_bCDOk; }

    void cmdConvert_Click() override;
    void cmdAbort_Click() override;
    void cmdOpenCD_Click();
    // Rips the marked rows from m_lCurrentRow on; ends the job when none is left.
    void ConvertTracks() override;
    // Prepares row lRow (1-based, track lRow of the disc) and starts its rip.
    long ConvertTask(long lRow) override;
    // The output file of row lRow from the template, its item name without
    // ".cda"; "" and *problem set when the name cannot be used.
    QString RipOutputFile(long lRow, QString* problem);

    // The component's events.
    void cAudioCDRipper1_JobProgress(int percent);
    void cAudioCDRipper1_JobDone();
    void cAudioCDRipper1_JobAborted();
    void cAudioCDRipper1_JobError(int code, const QString& text);

    cAudioCDRipper* cAudioCDRipper1 = nullptr;
    QLabel* lblDevices = nullptr;
    QComboBox* cboDevices = nullptr;
    QPushButton* cmdOpenCD = nullptr;
    QLabel* lblCDStatus = nullptr;

    static ToolFrameDesign Design();

protected:
    AudioJobTarget* JobTarget() override { return &m_target; }
    void LoadOwnTail() override;
    void UnloadOwnSteps() override;
    void EjectTrayAtEnd() override;

private:
    void ShowCDStatus(const QString& text, bool ok);

    ComponentJobTarget<cAudioCDRipper> m_target;
    bool m_bCDOk = false;
};

// A file name made from texts of a disc or a server: no control characters,
// and each step of the path cut to 255 bytes on a character boundary, with a
// short extension kept.
QString RipFileName(const QString& name);
// A track row's item name without the ".cda" of the CD listing.
QString TrackItemName(const QString& itemName);

// The ripper window, created on first use (running its Form_Load) and
// destroyed when it closes.
FrmCDRipper* g_frmCDRipper();
bool g_frmCDRipperLoaded();
