#include "toolframe/JobSteps.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <QLocale>
#include "components/controls/cGrid.h"
#include "core/ItemsListText.h"
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

void EndRowJob(ToolWindow* w, long lastResult)
{
    // No row left to start, the last rows skipped, or the job cancelled.
    SetJobButtonsEnabled(w, true);
    w->unsetCursor();
    if (lastResult == 2) {
        w->lblCurrentTrack->setText(QStringLiteral("Aborted."));
        w->setWindowTitle(w->lblCurrentTrack->text());
        w->ShowJobBalloon(QStringLiteral("Aborted."));
        return;
    }
    const long rows = w->cGrid1->RowCount();
    w->setWindowTitle(w->DoneText());
    w->prgTotal->setProgressValue((rows - 1) * 100 + 100);
    w->prgCurrnet->setProgressValue(100);
    if (w->Timer1)
        w->Timer1->stop();
    w->FinishJobDone();
}

void ShowRowProgress(ToolWindow* w, int percent)
{
    if (percent < 1)
        return;
    w->unsetCursor();
    w->prgCurrnet->setProgressValue(percent);
    w->prgTotal->setProgressValue((w->m_lCurrentRow - 1) * 100 + percent);
    w->setWindowTitle(
        ConvertingCaption(w->prgCurrnet->ProgressValue(), w->prgTotal->ProgressValue(), w->prgTotal->ProgressMax()));
    w->NoteRowProgress(percent);
}

void NoteRowJobDone(ToolWindow* w)
{
    AddLogLine(QStringLiteral("Done."), w->txtLog);
    w->lblCurrentTrack->setText(QStringLiteral("Done."));
    w->NoteRowDone();
    ++w->m_lCurrentRow;
}

void NoteRowJobError(ToolWindow* w, int code, const QString& text)
{
    w->NoteRowError();
    const QString line = "Error: " + text + "(" + QString::number(code) + ")";
    AddLogLine(line, w->txtLog);
    w->lblCurrentTrack->setText(line);
    w->setWindowTitle(line);
    SetJobButtonsEnabled(w, true);
    ++w->m_lCurrentRow;
}

void ShowRowJobAborted(ToolWindow* w)
{
    SetJobButtonsEnabled(w, true);
    AddLogLine(QStringLiteral("Aborted."), w->txtLog);
    w->lblCurrentTrack->setText(QStringLiteral("Aborted."));
    w->unsetCursor();
    w->setWindowTitle(w->lblCurrentTrack->text());
}

void AbortRowJob(ToolWindow* w, const std::function<void()>& abortComponent)
{
    if (!w->JobRunning())
        return;
    if (!ConfirmAbort(w))
        return;
    // The job went on while the question was open; once it has ended there
    // is nothing left to abort.
    if (!w->JobRunning())
        return;
    abortComponent();
    w->ShowJobBalloon(QStringLiteral("Aborted."));
    if (w->Timer1)
        w->Timer1->stop();
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
    auto cell = [&](const QString& key) { return grid->CellText(int(row), grid->ColumnIndex(key)); };
    if (cell(COL_RANGE_ALL) == QLatin1String("1"))
        return {};
    return {true, int(cell(COL_RANGE_START_TIME).toLong()), int(cell(COL_RANGE_LENGTH_TIME).toLong())};
}
