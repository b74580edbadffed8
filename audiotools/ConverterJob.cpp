#include "audiotools/ConverterJob.h"

#include "audiotools/ConverterEvents.h"
#include "audiotools/JobSteps.h"
#include "components/audio/cAudioConverter.h"

ConverterJobWindow::ConverterJobWindow(QWidget* parent) : FrmConverter(parent)
{
    ConnectConverterEvents(cAudioConverter1, this);
}

ConverterJobWindow::~ConverterJobWindow() = default;

void ConverterJobWindow::cmdConvert_Click()
{
    if (JobRunning() || !PrepareRowJob(this, QStringLiteral("convert")))
        return;
    ConvertTracks();
}

void ConverterJobWindow::ConvertTracks()
{
    RunRowJob(this);
}

long ConverterJobWindow::ConvertTask(long lRow)
{
    return StartJobRow(this, TemplateJobRow(this, lRow), ConverterRowCalls(cAudioConverter1, this));
}

void ConverterJobWindow::cAudioConverter1_JobProgress(int percent)
{
    ShowRowProgress(this, percent);
}

void ConverterJobWindow::cAudioConverter1_JobDone()
{
    RowJobDone(this);
}

void ConverterJobWindow::cAudioConverter1_JobError(int code, const QString& text)
{
    RowJobError(this, code, text);
}

void ConverterJobWindow::cAudioConverter1_JobAborted()
{
    ShowRowJobAborted(this);
}

void ConverterJobWindow::cmdAbort_Click()
{
    AbortRowJob(this, [this] { cAudioConverter1->AbortJob(); });
}
