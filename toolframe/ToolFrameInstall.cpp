#include "toolframe/ToolFrameInstall.h"

#include "core/ToolFrameServices.h"
#include "toolframe/frmProgParameters.h"

void InstallToolFrameServices()
{
    // The help window opens without an owner, over whatever is modal.
    setProgParametersOpener([](int section, QWidget*) { OpenProgParameters(section); });
}
