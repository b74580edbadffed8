// The launch of the CD ripper over the selected drive's tracks.
#include <QComboBox>
#include <QPushButton>

#include "cdtools/frmCDRipper.h"
#include "components/controls/cTreeView.h"
#include "lists/ListTree.h"
#include "mainwindow/frmMain.h"

// Every track comes along with its mark, so grid row n stays track n; the
// ripper is set to the drive of the node and kept there.
bool FrmMain::CmdAudioCDRipper(int)
{
    ToolLaunch launch;
    launch.load = [] { return static_cast<ToolWindow*>(g_frmCDRipper()); };
    launch.countText = QStringLiteral(" items to convert.");
    launch.markedOnly = false;
    launch.fill = [this](ToolWindow* tool) {
        auto* ripper = static_cast<FrmCDRipper*>(tool);
        const QString drive = GetCDNameNode(cTreeView1->SelectedNode().NodeKey());
        for (int i = 0; i < ripper->cboDevices->count(); ++i) {
            if (!ripper->cboDevices->itemText(i).startsWith(drive))
                continue;
            ripper->cboDevices->setCurrentIndex(i);
            ripper->cboDevices->setEnabled(false);
            ripper->cmdOpenCD->setEnabled(false);
        }
    };
    return LaunchBatchTool(launch);
}
