// The launch commands of the splitter, the joiner and the ACM converter.
#include <QLabel>

#include "audiotools/frmJoiner.h"
#include "mainwindow/frmMain.h"

bool FrmMain::CmdAudioJoiner(int)
{
    ToolLaunch launch;
    launch.load = [] { return static_cast<ToolWindow*>(g_frmJoiner()); };
    launch.countText = QStringLiteral(" items to join.");
    launch.totalSeconds = false;
    return LaunchBatchTool(launch);
}
