#pragma once
// Steps the tool windows' jobs share: the log's section break, what lies at
// an output path, the overwrite and abort questions.
#include <QString>
#include <functional>

#include "components/audio/AudioJobErrors.h"
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
// event handlers, so every such job reports alike; what a window shows
// otherwise is its RowJobLook (ToolWindow::m_rowJob).
class ToolWindow;

// Rip/Convert and Exit follow whether a job may start.
void SetJobButtonsEnabled(ToolWindow* w, bool enabled);
// The start of a job over the grid: the output folder prepared (false when
// refused), "Preparing to <verb>: <n> tracks." logged, the destination
// format set, the last job's state cleared, the log shown.
bool PrepareRowJob(ToolWindow* w, const QString& verb);
// Starts rows with the window's ConvertTask from m_lCurrentRow on, passing
// over those skip names. True once a row runs: the component's events go on
// from there. Otherwise false with the last row's result in *result, and
// "Aborted." logged after a Cancel.
bool StartNextRow(ToolWindow* w, long* result, const std::function<bool(long)>& skip = {});
// One pass of a row job: total bar, buttons and timer, the next row started,
// or the job's end when no row is left.
void RunRowJob(ToolWindow* w, const std::function<bool(long)>& skip = {});
// The end of the loop over the rows: "Aborted." after a Cancel (lastResult
// 2), otherwise the job ran through and ends done, with its end actions.
void EndRowJob(ToolWindow* w, long lastResult);
// "Aborted." in the label and the caption, and the balloon: a job stopped.
void ShowJobCancelled(ToolWindow* w);
// A progress event of the current row (percent below 1 changes nothing):
// bars, caption and the time-left figures. row: the number the total bar
// counts from (default: the running row).
void ShowRowProgress(ToolWindow* w, int percent);
void ShowRowProgress(ToolWindow* w, int percent, long row);
// The current row is done: logged, its seconds counted, the next row is current.
void NoteRowJobDone(ToolWindow* w);
// The current row failed: logged and shown; the next row is current.
void NoteRowJobError(ToolWindow* w, int code, const QString& text);
// The component's events of a row job: the row is noted, the job goes on.
void RowJobDone(ToolWindow* w);
void RowJobError(ToolWindow* w, int code, const QString& text);
// The component stopped the row on Abort.
void ShowRowJobAborted(ToolWindow* w);
// Abort: asks, then stops the component when the job still runs; true then.
bool AbortRowJob(ToolWindow* w, const std::function<void()>& abortComponent);

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

// What the window's component is told to run one row.
struct RowComponentCalls {
    std::function<void(const QString&)> setInput;       // the source; null: none
    std::function<void(int start, int length)> setRange; // the part of the source
    std::function<void(const QString&)> start;           // the output file, then the run
    std::function<void(int code, const QString&)> fail;  // the window's error handler
};

// The calls of a component with the usual range and output members; run
// starts it, fail is the window's error handler. The source is the caller's.
template <class Component, class Run, class Fail>
RowComponentCalls ComponentRowCalls(Component* component, Run run, Fail fail)
{
    RowComponentCalls calls;
    calls.setRange = [component](int start, int length) {
        component->setRangeStart(start);
        component->setRangeLength(length);
    };
    calls.start = [component, run](const QString& output) {
        component->setOutputFile(output);
        run(component);
    };
    calls.fail = fail;
    return calls;
}

// One row about to start, as its window sees it.
struct JobRow {
    long row = 0;      // the grid row (the tags' row)
    QString source;    // the input file; its name is the current track
    QString output;    // the output file, unless problem is set
    QString problem;   // why the row cannot run; it then fails with problemCode
    int problemCode = kvaudio::ErrOutputPath;
    QString verb = QStringLiteral("convert"); // "Start to <verb>: <name>..."
    // A grid row: it is selected, its seconds counted, "Files: n/m" shown,
    // and its range is the item's. Otherwise the range is the one below.
    bool gridRow = true;
    RowRange range;
    bool tags = true;               // the row's tags go to the component
    bool labelShowsStart = false;   // the label then shows the "Start to" line
    // The output may be the source file itself: the component refuses that,
    // so the row is not offered for overwriting.
    bool sourceMayBeOutput = true;
};

// Starts one row on the component: the row shown and logged, an unusable
// name failed as the component would fail it, the overwrite question (unless
// "Overwrite existing files" is ticked), then the range and the run. Returns
// a row result: 0 started (or failing), 1 skipped, 2 cancelled.
long StartJobRow(ToolWindow* w, const JobRow& row, const RowComponentCalls& calls);
// Grid row lRow with its source and its output named by the window's template.
JobRow TemplateJobRow(ToolWindow* w, long lRow);
