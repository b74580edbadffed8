#pragma once
// The audio converter's job: every row of the window's grid becomes one
// output file, written by the window's converter component. The job prepares
// a row, starts it and returns; the component's events move it on to the next
// row, so the window stays responsive (time left, Abort) in between.
#include "toolframe/frmConverter.h"

class ConverterJobWindow : public FrmConverter {
    Q_OBJECT
public:
    explicit ConverterJobWindow(QWidget* parent = nullptr);
    ~ConverterJobWindow() override;

    // What ConvertTask made of a row.
    enum TaskResult : long {
        RowStarted = 0,   // the component works on it
        RowSkipped = 1,   // its output exists and the user said No
        RowCancelled = 2, // the user said Cancel: the job stops
    };

    void cmdConvert_Click() override;
    void cmdAbort_Click() override;
    // Starts rows from m_lCurrentRow until one runs; ends the job when none is left.
    void ConvertTracks() override;
    // Prepares row lRow (1-based) and starts it on the component.
    long ConvertTask(long lRow) override;

    // The component's events.
    void cAudioConverter1_JobProgress(int percent);
    void cAudioConverter1_JobDone();
    void cAudioConverter1_JobAborted();
    void cAudioConverter1_JobError(int code, const QString& text);
};

#include "toolframe/JobSteps.h" // ConvertingCaption
