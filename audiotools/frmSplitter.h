#pragma once
// "Audio Splitter": cuts one file into consecutive parts, a given number of
// parts or parts of a given number of seconds, each written by the converter
// component in the target format as "Part_<n>_<name>.<format>".
#include "core/OffThreadWait.h"
#include "toolframe/JobParameters.h"
#include "toolframe/ToolWindow.h"

class QRadioButton;
class cAudioConverter;

class FrmSplitter : public ToolWindow {
    Q_OBJECT
public:
    explicit FrmSplitter(QWidget* parent = nullptr);
    ~FrmSplitter() override;

    enum TaskResult : long {
        PartStarted = 0,
        PartDeclined = 1,  // the output exists and the user said No
        PartCancelled = 2, // ... and the user said Cancel
    };

    void cmdConvert_Click() override;
    void cmdAbort_Click() override;
    // Starts the next part, or ends the job.
    void ConvertTracks() override;
    // Prepares and starts the current part (m_lPartNumber).
    long ConvertTask(long lRow = 1) override;
    // The output name of the current part: the source's name without its
    // extension, after "Part_<n>_", and "." with the format's key.
    QString GetPartFileName(const QString& sPath) const;
    // The parts box enabled in "parts" mode, the seconds box otherwise.
    void CheckSplitModeEna();

    void cAudioConverter1_JobProgress(int percent);
    void cAudioConverter1_JobDone();
    void cAudioConverter1_JobAborted();
    void cAudioConverter1_JobError(int code, const QString& text);

    cAudioConverter* cAudioConverter1 = nullptr;
    QRadioButton* ptnSplitByParts = nullptr;
    QRadioButton* ptnSplitBySecs = nullptr;
    QLineEdit* txtSplitParts = nullptr;
    QLineEdit* txtSplitSecs = nullptr;

    QString g_sFileToSplit;    // set by the main window
    qint64 m_lSourceLengthMs = 0;
    long m_lPartNumber = 0;    // 1-based part being made
    long m_lPartCount = 0;     // parts of this job
    long m_lPartStart = 0;     // whole second the part starts at
    long m_lPartLength = 0;    // its length in whole seconds; 0 runs to the end

    static ToolFrameDesign Design();

protected:
    AudioJobTarget* JobTarget() override { return &m_target; }
    QWidgetList OwnBackColorControls() const override;
    void LoadOwnTail() override;
    void UnloadOwnSteps() override;

private:
    // Reads the mode and its box; false (after a message) when the job
    // cannot run on this source.
    bool PlanParts();
    void RefuseTooSmall();
    void SetPartRange();

    bool m_bByParts = true;
    long m_lSplitParts = 0;
    double m_dSplitSecs = 0;
    ComponentJobTarget<cAudioConverter> m_target;
    OffThreadWait m_sourceRead; // the source's length, read before the parts are planned
};

FrmSplitter* g_frmSplitter();
bool g_frmSplitterLoaded();
