// The tool commands of the router: each opens its tool window modally over
// the rows of the selected list, once the router's checks have passed.
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <cmath>

#include "components/controls/cImageList.h"
#include "components/controls/cGrid.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTreeView.h"
#include "core/PathNames.h"
#include "core/TimeText.h"
#include "lists/ItemRow.h"
#include "lists/ListTree.h"
#include "mainwindow/frmMain.h"
#include "toolframe/ToolWindow.h"
#include "toolframe/frmConverter.h"

bool FrmMain::LaunchBatchTool(const ToolLaunch& launch)
{
    setCursor(Qt::WaitCursor);
    QPointer<ToolWindow> tool = launch.load ? launch.load() : nullptr;
    if (!tool) {
        unsetCursor();
        return false;
    }

    const long marked = GetMarkedCount(cGrid1);
    const double total = GetTotalTime(true, cGrid1).toDouble();
    const long seconds = std::isfinite(total) && total > 0 ? long(std::floor(total)) : 0;
    if (tool->lblFilesToConvert)
        tool->lblFilesToConvert->setText(QString::number(marked) + launch.countText);
    if (launch.totalSeconds)
        tool->g_ltmrItemSecsTotal = seconds;
    if (tool->cStatusBar1) {
        tool->cStatusBar1->setPanelText(QStringLiteral("Total Size"), "Total Size: " + GetTotalSize(true, cGrid1));
        tool->cStatusBar1->setPanelText(QStringLiteral("Total Time"), "Total Time: " + SecondsToTimeText(int(seconds)));
    }
    if (launch.subFolderName && tool->txtUndeForlder)
        tool->txtUndeForlder->setText(CleanFileName(cTreeView1->SelectedNode().NodeText()));
    CopyGridRows(cGrid1, tool->cGrid1, launch.markedOnly);
    if (launch.fill)
        launch.fill(tool);
    unsetCursor();

    // No disc polling while a tool works over the rows.
    if (tmrCDs)
        tmrCDs->stop();
    tool->exec(); // the tool unloads itself when it closes
    if (tmrCDs && IsCDNode(cTreeView1->SelectedNode().NodeKey()))
        tmrCDs->start();
    unsetCursor();
    return true;
}

bool FrmMain::CmdAudioConverter(int)
{
    ToolLaunch launch;
    launch.load = [] { return static_cast<ToolWindow*>(g_frmConverter()); };
    launch.countText = QStringLiteral(" items to convert.");
    return LaunchBatchTool(launch);
}
