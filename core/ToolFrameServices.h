#pragma once
// The tool window frame as the layers below it see it. The frame lives above
// the settings and the items lists, so it hands its services down by
// registering them here when it is built; until then they do nothing.
#include <functional>

class QWidget;

// Opens the placeholder help window g_frmProgParameters modally over `owner`
// on one section: 0 "Execute external application", 1 "ID3 Audio Tags",
// 2 "File Name Format".
using ProgParametersOpener = std::function<void(int section, QWidget* owner)>;
void setProgParametersOpener(ProgParametersOpener opener);
void ShowProgParameters(int section, QWidget* owner);

// Whether a tool window's job runs now; the main window refuses to exit while
// one does. The frame either registers a question that looks at its windows,
// or sets the flag when a job starts and clears it when the job has ended.
using ToolJobQuery = std::function<bool()>;
void setToolJobQuery(ToolJobQuery query);
void SetToolJobRunning(bool running);
bool ToolJobRunning();
