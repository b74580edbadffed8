#include "audiotools/ConverterJob.h"

#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>

#include "audiotools/ConverterEvents.h"
#include "audiotools/JobSteps.h"
#include "components/audio/cAudioConverter.h"
#include "components/controls/cImageList.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "components/audio/AudioJobErrors.h"
#include "core/PathNames.h"
#include "core/TextFiles.h"
#include "lists/ItemRow.h"
#include "platform/MessageBox.h"

namespace {

QString cell(cGrid* grid, long lRow, const QString& key)
{
    return grid->CellText(int(lRow), grid->ColumnIndex(key));
}

} // namespace

ConverterJobWindow::ConverterJobWindow(QWidget* parent) : FrmConverter(parent)
{
    ConnectConverterEvents(cAudioConverter1, this);
}

ConverterJobWindow::~ConverterJobWindow() = default;

void ConverterJobWindow::cmdConvert_Click()
{
    if (JobRunning())
        return;
    // The destination goes to the top of the history; the sub-folder is made.
    if (!PrepareOutputFolder())
        return;
    StartLogSection(txtLog);
    AddLogLine("Preparing to convert: " + QString::number(cGrid1->RowCount()) + " tracks.", txtLog);
    SetDestination();
    ResetJobState();
    ShowLogTab();
    ConvertTracks();
}

void ConverterJobWindow::ConvertTracks()
{
    const long rows = cGrid1->RowCount();
    prgTotal->setProgressMax(rows * 100);
    SetJobButtonsEnabled(this, false);
    if (Timer1)
        Timer1->start();

    long result = RowStarted;
    for (long row = m_lCurrentRow; row <= rows; ++row) {
        m_lCurrentRow = row;
        setCursor(Qt::WaitCursor);
        result = ConvertTask(m_lCurrentRow);
        if (result == RowStarted)
            return; // the component's events go on from here
        if (result == RowCancelled) {
            AddLogLine(QStringLiteral("Aborted."), txtLog);
            break;
        }
    }

    EndRowJob(this, result);
}

long ConverterJobWindow::ConvertTask(long lRow)
{
    QString problem;
    const QString output = OutputFileForRow(lRow, &problem);
    cGrid1->setSelectedRow(int(lRow));
    m_ltmrItemSecs = RowSeconds(lRow);
    m_ltmrItemSecsDone = 0;
    SetID3Tags(lRow);

    const QString source = cell(cGrid1, lRow, COL_FILE);
    lblCurrentTrack->setText(GetFileNameFromPath(source));
    lblFilesToConvert->setText("Files: " + QString::number(lRow) + "/" + QString::number(cGrid1->RowCount()));
    AddLogLine("Start to convert: " + lblCurrentTrack->text() + "...", txtLog);
    cAudioConverter1->setInputFile(source);

    if (!problem.isEmpty()) {
        // No usable name: the row fails the way a component error does.
        QTimer::singleShot(0, this, [this, problem] { cAudioConverter1_JobError(kvaudio::ErrOutputPath, problem); });
        return RowStarted;
    }

    // Only a file is offered for overwriting. A folder at that path, or the
    // source itself, is refused by the component and fails the row.
    if (!CheckTicked(chkOverWrite) && FileAtOutputPath(output) && !SameFile(source, output)) {
        if (const long answer = AskRowOverwrite(output, txtLog, this); answer != RowStarted)
            return answer;
    }

    if (const RowRange range = ItemRowRange(cGrid1, lRow); range.set) {
        cAudioConverter1->setRangeStart(range.start);
        cAudioConverter1->setRangeLength(range.length);
    }
    cAudioConverter1->setOutputFile(output);
    cAudioConverter1->StartConvert();
    return RowStarted;
}

void ConverterJobWindow::cAudioConverter1_JobProgress(int percent)
{
    ShowRowProgress(this, percent);
}

void ConverterJobWindow::cAudioConverter1_JobDone()
{
    NoteRowJobDone(this);
    ConvertTracks();
}

void ConverterJobWindow::cAudioConverter1_JobError(int code, const QString& text)
{
    NoteRowJobError(this, code, text);
    ConvertTracks();
    unsetCursor();
}

void ConverterJobWindow::cAudioConverter1_JobAborted()
{
    ShowRowJobAborted(this);
}

void ConverterJobWindow::cmdAbort_Click()
{
    AbortRowJob(this, [this] { cAudioConverter1->AbortJob(); });
}
