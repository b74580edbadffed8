#include "core/ToolFrameServices.h"

namespace {
ProgParametersOpener& opener()
{
    static ProgParametersOpener o;
    return o;
}
} // namespace

void setProgParametersOpener(ProgParametersOpener o) { opener() = std::move(o); }

void ShowProgParameters(int section, QWidget* owner)
{
    if (opener())
        opener()(section, owner);
}

namespace {
bool g_toolJobRunning = false;
ToolJobQuery& jobQuery()
{
    static ToolJobQuery q;
    return q;
}
} // namespace

void setToolJobQuery(ToolJobQuery query) { jobQuery() = std::move(query); }

void SetToolJobRunning(bool running) { g_toolJobRunning = running; }

bool ToolJobRunning() { return g_toolJobRunning || (jobQuery() && jobQuery()()); }
