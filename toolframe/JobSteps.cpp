#include "toolframe/JobSteps.h"

#include <QFileInfo>
#include <QPointer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <QLocale>
#include "components/controls/cGrid.h"
#include "core/Edition.h"
#include "core/ItemsListText.h"
#include "core/PathNames.h"
#include "toolframe/ToolWindow.h"
#include "components/controls/cProgressBar.h"
#include "core/TextFiles.h"
#include "platform/MessageBox.h"

void StartLogSection(QPlainTextEdit* log)
{
    if (log->document()->isEmpty())
        return;
    QTextCursor cursor(log->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\r\n"));
}

bool FileAtOutputPath(const QString& path)
{
    const QFileInfo fi(path);
    return (fi.exists() || fi.isSymLink()) && !fi.isDir();
}

int AskOverwrite(const QString& path, QPlainTextEdit* log, QWidget* owner)
{
    AddLogLine(QStringLiteral("File already exists."), log);
    const int answer = MsgBox("The file: '" + path + "' already exists.\r\n\r\nOverwrite it?",
                              vbYesNoCancel | vbInformation, QString(), owner);
    if (answer == vbYes) {
        AddLogLine(QStringLiteral("Overwrite it..."), log);
        return vbYes;
    }
    return answer == vbNo ? vbNo : vbCancel;
}

bool ConfirmAbort(QWidget* owner)
{
    return MsgBox("Abort operation?" + QString(38, QLatin1Char(' ')), vbYesNo | vbInformation, QString(), owner) ==
           vbYes;
}

// ---------------------------------------------------------------------------
// The row-by-row job

void SetJobButtonsEnabled(ToolWindow* w, bool enabled)
{
    w->cmdConvert->setEnabled(enabled);
    w->cmdExit->setEnabled(enabled);
}

bool PrepareRowJob(ToolWindow* w, const QString& verb)
{
    // The destination goes to the top of the history; the sub-folder is made.
    if (!w->PrepareOutputFolder())
        return false;
    StartLogSection(w->txtLog);
    AddLogLine("Preparing to " + verb + ": " + QString::number(w->cGrid1->RowCount()) + " tracks.", w->txtLog);
    w->SetDestination();
    w->ResetJobState();
    w->ShowLogTab();
    return true;
}

namespace {

QString appTitle() { return g_sAppName + " " + g_sAppVersion; }

long& runningRow(ToolWindow* w)
{
    return w->m_rowJob.row ? *w->m_rowJob.row : w->m_lCurrentRow;
}

} // namespace

bool StartNextRow(ToolWindow* w, long* result, const std::function<bool(long)>& skip)
{
    const long rows = w->cGrid1->RowCount();
    for (long row = w->m_lCurrentRow; row <= rows; ++row) {
        w->m_lCurrentRow = row;
        if (w->m_rowJob.busyCursor)
            w->setCursor(Qt::WaitCursor);
        if (skip && skip(row))
            continue;
        *result = w->ConvertTask(w->m_lCurrentRow);
        if (*result == 0)
            return true;
        if (*result == 2) {
            AddLogLine(QStringLiteral("Aborted."), w->txtLog);
            break;
        }
    }
    return false;
}

void RunRowJob(ToolWindow* w, const std::function<bool(long)>& skip)
{
    w->prgTotal->setProgressMax(w->cGrid1->RowCount() * 100);
    SetJobButtonsEnabled(w, false);
    if (w->Timer1)
        w->Timer1->start();
    long result = 0;
    if (StartNextRow(w, &result, skip))
        return;
    EndRowJob(w, result);
}

void EndRowJob(ToolWindow* w, long lastResult)
{
    // No row left to start, the last rows skipped, or the job cancelled.
    const RowJobLook& look = w->m_rowJob;
    SetJobButtonsEnabled(w, true);
    if (look.busyCursor)
        w->unsetCursor();
    if (!look.jobCaption)
        w->setWindowTitle(appTitle());
    if (lastResult == 2) {
        ShowJobCancelled(w);
        return;
    }
    const long rows = w->cGrid1->RowCount();
    if (look.jobCaption)
        w->setWindowTitle(w->DoneText());
    w->prgTotal->setProgressValue((rows - 1) * 100 + 100);
    w->prgCurrnet->setProgressValue(100);
    if (w->Timer1)
        w->Timer1->stop();
    w->FinishJobDone();
}

void ShowJobCancelled(ToolWindow* w)
{
    w->lblCurrentTrack->setText(QStringLiteral("Aborted."));
    w->setWindowTitle(w->lblCurrentTrack->text());
    w->ShowJobBalloon(QStringLiteral("Aborted."));
}

void ShowRowProgress(ToolWindow* w, int percent)
{
    ShowRowProgress(w, percent, runningRow(w));
}

void ShowRowProgress(ToolWindow* w, int percent, long row)
{
    if (percent < 1)
        return;
    const RowJobLook& look = w->m_rowJob;
    if (look.busyCursor)
        w->unsetCursor();
    w->prgCurrnet->setProgressValue(percent);
    long total = (row - 1) * 100 + percent;
    if (look.clampTotal)
        total = qMin<long>(total, w->prgTotal->ProgressMax());
    w->prgTotal->setProgressValue(total);
    w->setWindowTitle(look.jobCaption ? ConvertingCaption(w->prgCurrnet->ProgressValue(), w->prgTotal->ProgressValue(),
                                                          w->prgTotal->ProgressMax())
                                      : appTitle());
    if (look.timeLeft)
        w->NoteRowProgress(percent);
}

void NoteRowJobDone(ToolWindow* w)
{
    if (w->m_rowJob.doneShown)
        w->LogStep(QStringLiteral("Done."));
    if (w->m_rowJob.timeLeft)
        w->NoteRowDone();
    ++runningRow(w);
}

void NoteRowJobError(ToolWindow* w, int code, const QString& text)
{
    const RowJobLook& look = w->m_rowJob;
    w->NoteRowError();
    const QString line = "Error: " + text + "(" + QString::number(code) + ")";
    AddLogLine(line, w->txtLog);
    if (look.errorInLabel)
        w->lblCurrentTrack->setText(line);
    if (look.jobCaption)
        w->setWindowTitle(line);
    SetJobButtonsEnabled(w, true);
    if (look.perRow)
        ++runningRow(w);
}

void RowJobDone(ToolWindow* w)
{
    NoteRowJobDone(w);
    w->ConvertTracks();
}

void RowJobError(ToolWindow* w, int code, const QString& text)
{
    NoteRowJobError(w, code, text);
    w->ConvertTracks();
    if (w->m_rowJob.busyCursor)
        w->unsetCursor();
}

void ShowRowJobAborted(ToolWindow* w)
{
    SetJobButtonsEnabled(w, true);
    w->LogStep(QStringLiteral("Aborted."));
    if (w->m_rowJob.busyCursor)
        w->unsetCursor();
    if (w->m_rowJob.jobCaption)
        w->setWindowTitle(w->lblCurrentTrack->text());
}

bool AbortRowJob(ToolWindow* w, const std::function<void()>& abortComponent)
{
    if (!w->JobRunning())
        return false;
    QPointer<ToolWindow> self(w);
    const bool yes = ConfirmAbort(w);
    // The job went on while the question was open; once it has ended, or its
    // window has gone, there is nothing left to abort.
    if (!yes || !self || !w->JobRunning())
        return false;
    abortComponent();
    w->ShowJobBalloon(QStringLiteral("Aborted."));
    if (w->Timer1)
        w->Timer1->stop();
    return true;
}

QString ConvertingCaption(long filePercent, long totalValue, long totalMax)
{
    const double share = totalMax != 0 ? double(totalValue) / double(totalMax) * 100.0 : 0.0;
    return QStringLiteral("Converting... [ ") + QString::number(filePercent) + QStringLiteral("% / ") +
           QLocale::c().toString(share, 'g', 15) + QStringLiteral("% ]");
}

long AskRowOverwrite(const QString& output, QPlainTextEdit* log, QWidget* owner)
{
    const int answer = AskOverwrite(output, log, owner);
    return answer == vbNo ? 1 : answer == vbCancel ? 2 : 0;
}

RowRange ItemRowRange(cGrid* grid, long row)
{
    auto cell = [&](const QString& key) { return GridCell(grid, row, key); };
    if (cell(COL_RANGE_ALL) == QLatin1String("1"))
        return {};
    return {true, int(cell(COL_RANGE_START_TIME).toLong()), int(cell(COL_RANGE_LENGTH_TIME).toLong())};
}

long StartJobRow(ToolWindow* w, const JobRow& row, const RowComponentCalls& calls)
{
    if (row.gridRow) {
        w->cGrid1->setSelectedRow(int(row.row));
        w->m_ltmrItemSecs = w->RowSeconds(row.row);
        w->m_ltmrItemSecsDone = 0;
    }
    if (row.tags)
        w->SetID3Tags(row.row);

    w->lblCurrentTrack->setText(GetFileNameFromPath(row.source));
    if (row.gridRow)
        w->lblFilesToConvert->setText("Files: " + QString::number(row.row) + "/" +
                                      QString::number(w->cGrid1->RowCount()));
    const QString line = "Start to " + row.verb + ": " + w->lblCurrentTrack->text() + "...";
    if (row.labelShowsStart)
        w->LogStep(line);
    else
        AddLogLine(line, w->txtLog);
    if (calls.setInput)
        calls.setInput(row.source);

    if (!row.problem.isEmpty()) {
        // The row fails the way a component error does.
        QTimer::singleShot(0, w, [fail = calls.fail, code = row.problemCode, problem = row.problem] {
            fail(code, problem);
        });
        return 0;
    }
    // Only a file is offered for overwriting. A folder at that path, or the
    // source itself, is refused by the component and fails the row.
    if (!CheckTicked(w->chkOverWrite) && FileAtOutputPath(row.output) &&
        !(row.sourceMayBeOutput && SameFile(row.source, row.output))) {
        if (const long answer = AskRowOverwrite(row.output, w->txtLog, w); answer != 0)
            return answer;
    }
    if (const RowRange range = row.gridRow ? ItemRowRange(w->cGrid1, row.row) : row.range; range.set)
        calls.setRange(range.start, range.length);
    calls.start(row.output);
    return 0;
}

JobRow TemplateJobRow(ToolWindow* w, long lRow)
{
    JobRow row;
    row.row = lRow;
    row.output = w->OutputFileForRow(lRow, &row.problem);
    row.source = GridCell(w->cGrid1, lRow, COL_FILE);
    return row;
}
