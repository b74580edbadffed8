#pragma once
// Steps the tool windows' jobs share: the log's section break, what lies at
// an output path, the overwrite and abort questions.
#include <QString>
#include <functional>

#include "core/FileCopy.h" // SameFile: the output would replace a source

class QPlainTextEdit;
class QWidget;

// An empty line between this job and the last one (nothing for an empty log).
void StartLogSection(QPlainTextEdit* log);
// Anything but a folder at the path: a file, a hidden one, or a link even
// when it leads nowhere. Such a path is offered for overwriting.
bool FileAtOutputPath(const QString& path);
// Logs "File already exists.", asks whether to overwrite the file and logs
// "Overwrite it..." on Yes. Returns vbYes, vbNo or vbCancel (closing the box
// counts as Cancel).
int AskOverwrite(const QString& path, QPlainTextEdit* log, QWidget* owner);
// "Abort operation?"; true on Yes.
bool ConfirmAbort(QWidget* owner);

// ---- The row-by-row job of a tool window (one component run per grid row).
// The window's job calls these from its own ConvertTracks and component
// event handlers, so every such job reports alike.
class ToolWindow;

// Rip/Convert and Exit follow whether a job may start.
void SetJobButtonsEnabled(ToolWindow* w, bool enabled);
// The end of the loop over the rows: "Aborted." after a Cancel (lastResult
// 2), otherwise the job ran through and ends done, with its end actions.
void EndRowJob(ToolWindow* w, long lastResult);
// A progress event of the current row (percent below 1 changes nothing):
// bars, caption and the time-left figures.
void ShowRowProgress(ToolWindow* w, int percent);
// The current row is done: logged, its seconds counted, the next row is current.
void NoteRowJobDone(ToolWindow* w);
// The current row failed: logged and shown; the next row is current.
void NoteRowJobError(ToolWindow* w, int code, const QString& text);
// The component stopped the row on Abort.
void ShowRowJobAborted(ToolWindow* w);
// Abort: asks, then stops the component when the job still runs.
void AbortRowJob(ToolWindow* w, const std::function<void()>& abortComponent);

// The window caption while a row converts: the current file's percent and
// the whole job's share, e.g. "Converting... [ 40% / 46.6666666666667% ]".
QString ConvertingCaption(long filePercent, long totalValue, long totalMax);

class cGrid;

// The overwrite question of a row whose output exists, as a row result:
// 0 to go on (Yes), 1 to skip the row (No), 2 to stop the job (Cancel).
long AskRowOverwrite(const QString& output, QPlainTextEdit* log, QWidget* owner);

// The part of its item a row covers: nothing to set when it is the whole item.
struct RowRange {
    bool set = false;
    int start = 0;
    int length = 0;
};
RowRange ItemRowRange(cGrid* grid, long row);
