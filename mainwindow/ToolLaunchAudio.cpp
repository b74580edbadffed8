// The launch commands of the splitter, the joiner and the ACM converter.
#include <QLabel>

#include "audiotools/frmACMConverter.h"
#include "audiotools/frmJoiner.h"
#include "audiotools/frmSplitter.h"
#include "components/controls/cGrid.h"
#include "components/controls/cStatusBar.h"
#include "core/TimeText.h"
#include "lists/ItemRow.h"
#include "mainwindow/frmMain.h"

bool FrmMain::CmdAudioJoiner(int)
{
    ToolLaunch launch;
    launch.load = [] { return static_cast<ToolWindow*>(g_frmJoiner()); };
    launch.countText = QStringLiteral(" items to join.");
    launch.totalSeconds = false;
    return LaunchBatchTool(launch);
}

// The splitter works on the selected row, marked or not: its grid holds that
// row alone and its totals are that file's.
bool FrmMain::CmdAudioSplitter(int)
{
    ToolLaunch launch;
    launch.load = [] { return static_cast<ToolWindow*>(g_frmSplitter()); };
    launch.totalSeconds = false;
    launch.fill = [this](ToolWindow* tool) {
        auto* splitter = static_cast<FrmSplitter*>(tool);
        const int row = cGrid1->SelectedRow();
        auto text = [this, row](const QString& key) { return cGrid1->CellText(row, cGrid1->ColumnIndex(key)); };
        splitter->lblFilesToConvert->setText("Split: " + text(COL_ITEM_NAME));
        splitter->cStatusBar1->setPanelText(QStringLiteral("Total Size"),
                                            "Total Size: " + FormatFileSize(text(COL_BYTES_SIZE).toDouble()));
        splitter->cStatusBar1->setPanelText(QStringLiteral("Total Time"), "Total Time: " + text(COL_TIME));
        splitter->g_sFileToSplit = text(COL_FILE);
        splitter->cGrid1->ClearRows();
        for (int col = 2; col <= cGrid1->ColumnCount(); ++col)
            splitter->cGrid1->SetCell(1, col, cGrid1->CellText(row, col));
        splitter->cGrid1->setSelectedRow(1);
    };
    return LaunchBatchTool(launch);
}

bool FrmMain::CmdACMConverter(int)
{
    ToolLaunch launch;
    launch.load = [] { return static_cast<ToolWindow*>(g_frmACMConverter()); };
    launch.countText = QStringLiteral(" items to convert.");
    // The codec list follows the selected item's format; every item of the
    // list can be chosen instead.
    launch.fill = [this](ToolWindow* tool) {
        QStringList files;
        const int file = cGrid1->ColumnIndex(COL_FILE);
        for (int row = 1; row <= cGrid1->RowCount(); ++row)
            files << cGrid1->CellText(row, file);
        static_cast<FrmACMConverter*>(tool)->FillBestAccordItem(files, cGrid1->CellText(cGrid1->SelectedRow(), file));
    };
    return LaunchBatchTool(launch);
}
