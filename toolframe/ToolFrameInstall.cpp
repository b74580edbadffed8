#include "toolframe/ToolFrameInstall.h"

#include <QApplication>

#include "core/ToolFrameServices.h"
#include "toolframe/ToolWindow.h"
#include "toolframe/frmProgParameters.h"

void InstallToolFrameServices()
{
    // The help window opens without an owner, over whatever is modal.
    setProgParametersOpener([](int section, QWidget*) { OpenProgParameters(section); });
    // A job runs while a tool window's start button is disabled; the main
    // window's exit asks before it tears anything down.
    setToolJobQuery([] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* tool = qobject_cast<ToolWindow*>(w); tool && tool->JobRunning())
                return true;
        return false;
    });
}
