// The router's commands of the audio CD maker and the CD duplicator.
#include <QLabel>
#include <QTimer>
#include <cmath>

#include "cdtools/frmAudioCDDuplicator.h"
#include "cdtools/frmCDBurner.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTreeView.h"
#include "lists/ItemRow.h"
#include "lists/ListTree.h"
#include "mainwindow/frmMain.h"
#include "toolframe/TimeLeft.h"

bool FrmMain::CmdAudioCDMaker(int)
{
    ToolLaunch launch;
    launch.load = [] { return static_cast<ToolWindow*>(g_frmCDBurner()); };
    launch.totalSeconds = false;
    launch.subFolderName = false;
    launch.fill = [this](ToolWindow* tool) {
        auto* burner = static_cast<FrmCDBurner*>(tool);
        // The marked items measured in minutes of an 80-minute disc.
        const double total = GetTotalTime(true, cGrid1).toDouble();
        const double seconds = std::isfinite(total) && total > 0 ? std::floor(total) : 0;
        const qint64 minutes = RoundHalfToEven(seconds / 60.0);
        const QString n = QString::number(GetMarkedCount(cGrid1));
        const QString m = QString::number(minutes);
        burner->lblFilesToConvert->setText(n + " items to burn (" + m + " minutes).");
        burner->cStatusBar1->setPanelText(QStringLiteral("Total Size"), m + " Min / " + "80" + " Min.");
        burner->cStatusBar1->setPanelText(QStringLiteral("Total Time"), QString());
        burner->prgSize->setProgressMin(0);
        burner->prgSize->setProgressMax(83);
        burner->prgSize->setProgressValue(long(minutes));
        QFont f = burner->lblDataSize->font();
        if (seconds / 60.0 > 80) {
            burner->prgSize->setBarColor(255);
            burner->lblDataSize->setText(QStringLiteral("Data is to big (more then 80 min). Please remove some tracks."));
            f.setBold(true);
        } else {
            burner->lblDataSize->setText("Data Size: " + n + " files, " + m + " Min / " + "80" + " Min.");
            f.setBold(false);
        }
        burner->lblDataSize->setFont(f);
    };
    return LaunchBatchTool(launch);
}

bool FrmMain::CmdAudioCDDuplicator(int)
{
    if (tmrCDs)
        tmrCDs->stop();
    setCursor(Qt::WaitCursor);
    FrmAudioCDDuplicator* duplicator = g_frmAudioCDDuplicator();
    duplicator->exec(); // unloads itself when it closes
    unsetCursor();
    if (tmrCDs && IsCDNode(cTreeView1->SelectedNode().NodeKey()))
        tmrCDs->start();
    return true;
}
