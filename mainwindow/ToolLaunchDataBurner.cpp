// "MP3 CD Maker" and "WMA CD Maker": one data CD maker window in two modes,
// told apart by its title and the format it starts on.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "cdtools/frmDataBurner3.h"
#include "components/controls/cTreeView.h"
#include "core/PathNames.h"
#include "mainwindow/frmMain.h"

namespace {

FrmMain::ToolLaunch DataBurnerLaunch(FrmMain* main, const QString& key, const QString& format)
{
    FrmMain::ToolLaunch launch;
    launch.load = [key] {
        FrmDataBurner3* w = g_frmDataBurner3();
        w->lblTitle->setText(key);
        w->setWindowTitle(w->lblTitle->text());
        return static_cast<ToolWindow*>(w);
    };
    launch.countText = QStringLiteral(" items to burn.");
    launch.subFolderName = false;
    const QString name = CleanFileName(main->cTreeView1->SelectedNode().NodeText());
    launch.fill = [format, name](ToolWindow* tool) {
        auto* w = static_cast<FrmDataBurner3*>(tool);
        const int index = w->cboTargetFormat->findText(format, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0)
            w->cboTargetFormat->setCurrentIndex(index);
        w->txtCDName->setText(name);
    };
    return launch;
}

} // namespace

bool FrmMain::CmdMP3CDMaker(int)
{
    return LaunchBatchTool(DataBurnerLaunch(this, QStringLiteral("MP3 CD Maker"),
                                            QStringLiteral("MP3 - MPEG-1 Audio Layer 3 (*.mp3)")));
}

bool FrmMain::CmdWMACDMaker(int)
{
    return LaunchBatchTool(DataBurnerLaunch(this, QStringLiteral("WMA CD Maker"),
                                            QStringLiteral("WMA - Windows Media Audio files (*.wma)")));
}
