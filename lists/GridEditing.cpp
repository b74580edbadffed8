#include "lists/GridEditing.h"

#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QTimer>

#include "components/controls/cContextMenu.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cTreeView.h"
#include "core/Dialogs.h"
#include "core/Formats.h"
#include "core/MainWindowServices.h"
#include "core/PathNames.h"
#include "core/WindowHelpers.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/ListLoader.h"
#include "lists/ListTree.h"
#include "lists/frmItem.h"
#include "lists/frmStat.h"
#include "platform/MessageBox.h"
#include "settings/Options.h"

namespace {

cGrid* itemsGrid()
{
    MainWindowServices* w = mainWindow();
    return w ? w->cGrid1 : nullptr;
}

QString selectedKey()
{
    MainWindowServices* w = mainWindow();
    return w && w->cTreeView1 ? w->cTreeView1->SelectedNode().NodeKey() : QString();
}

// A plain file with at least one byte that a listing of its folder shows:
// hidden files and folders are not offered.
bool listableFile(const QString& path)
{
    const QFileInfo fi(path);
    return fi.isFile() && !fi.isHidden() && fi.size() > 0;
}

// Runs the adding window over the paths, then saves the list and its summary.
void addPaths(const QStringList& paths)
{
    MainWindowServices* w = mainWindow();
    if (!w || !w->cGrid1 || RefuseReadOnlyListEdit())
        return;
    if (AddFilesRunning()) {
        // Never cancel the running add behind the user's back: say so instead.
        MsgBox(QStringLiteral("Files are still being added. Drop these files again when that is done."),
               vbInformation | vbOKOnly, QString(), w->Form());
        return;
    }
    FrmStat* stat = g_frmStat();
    stat->AddFilesToList(paths, w->cGrid1, w->Form(), false);
    UnloadStat();
    // The grid shows another list now, loaded whole from its own file:
    // nothing of this add may be saved into it.
    if (ListChangedDuringAdd())
        return;
    SaveGridToFile();
    DisplayGridInfoStatusBar();
}

} // namespace

void AddFiles()
{
    MainWindowServices* w = mainWindow();
    if (!w)
        return;
    SetFormOnTop(w->Form(), false);
    g_OpenFileName.lpstrFilter = GetAudioFilesFilter();
    g_OpenFileName.lpstrTitle = QStringLiteral("Add audio files");
    const FileDialogResult result = ShowOpen(w->Form(), true);
    if (result.bCanceled)
        return;
    QStringList paths;
    for (int i = 1; i <= result.iFileCount && i < result.sFiles.size(); ++i) {
        QString path = result.sFolder;
        if (!path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
        path += result.sFiles.at(i);
        if (listableFile(path))
            paths << path;
    }
    addPaths(paths);
}

void cGrid1_GridMouseUp(int Button, int Shift, double x, double y)
{
    Q_UNUSED(Shift);
    MainWindowServices* w = mainWindow();
    cGrid* grid = itemsGrid();
    if (!w || !grid)
        return;
    if (Button == 2) {
        if (grid->RowCount() > 0 && w->m_cMenu) {
            const QPoint at = grid->mapTo(w->Form(), QPoint(0, 0));
            w->m_cMenu->ShowPopupMenu(PixelsToTwips(at.x()) + x, PixelsToTwips(at.y()) + y, x, y, 0, 0, true,
                                      w->m_cMenu->MenuIndexForKey(QStringLiteral("MarkUnmark All")));
        }
        return;
    }
    if (x > 300)
        return;
    w->LoadItemToPlayer();
    const int row = grid->SelectedRow();
    if (row < 1 || row > grid->RowCount())
        return;
    if (grid->CellIcon(row, grid->ColumnIndex(COL_TYPE)) == kIconData)
        return;
    if (grid->SelectedCol() == 1)
        ToggleRowMark(row);
}

void ToggleRowMark(int row)
{
    cGrid* grid = itemsGrid();
    if (!grid || row < 1 || row > grid->RowCount())
        return;
    if (grid->CellIcon(row, grid->ColumnIndex(COL_TYPE)) == kIconData)
        return;
    if (RefuseReadOnlyListEdit())
        return;
    const int inc = grid->ColumnIndex(COL_INC);
    grid->setCellIcon(row, inc, grid->CellIcon(row, inc) == kIconMarked ? kIconUnmarked : kIconMarked);
    SaveGridToFile();
}

void cGrid1_GridOLEDragDrop(const QStringList& Data, int, int, int, double, double)
{
    const QString key = selectedKey();
    if (IsCDNode(key) || IsMainNode(key) || key.isEmpty())
        return;
    QStringList paths;
    for (const QString& path : Data)
        if (QFileInfo(path).isFile() && QFileInfo(path).size() > 0)
            paths << path;
    addPaths(paths);
}

void ShowItemProperties(int row, int column)
{
    Q_UNUSED(column);
    MainWindowServices* w = mainWindow();
    cGrid* grid = itemsGrid();
    if (!w || !grid || row < 1 || row > grid->RowCount() || RefuseReadOnlyListEdit())
        return;
    if (grid->CellIcon(row, grid->ColumnIndex(COL_TYPE)) == kIconData) {
        MsgBox(QStringLiteral("Cannot edit a data track.") + QString(36, QLatin1Char(' ')), vbInformation | vbOKOnly,
               QString(), w->Form());
        return;
    }
    // The dialog shows the grid's current row.
    if (grid->SelectedRow() != row)
        grid->setSelectedRow(row);
    ShowItemDialog();
}

void RunPendingRemoval(const QString& sRemoveKind)
{
    if (sRemoveKind == QLatin1String("All"))
        ClearTheList();
    else if (sRemoveKind == QLatin1String("Item"))
        RemoveItems();
}

void RemoveItems()
{
    MainWindowServices* w = mainWindow();
    cGrid* grid = itemsGrid();
    if (!w || !grid || IsListLoading() || RefuseReadOnlyListEdit())
        return;
    if (w->IsPlayerPlaying()) {
        w->PressPlayerStop();
        SetRowUnBold();
    }
    if (g_bDisplayMSGWhenErase) {
        const int current = grid->SelectedRow();
        const QString name = grid->CellText(current, grid->ColumnIndex(COL_ITEM_NAME));
        const QString listName = w->cTreeView1 ? w->cTreeView1->SelectedNode().NodeText() : QString();
        if (MsgBox(QStringLiteral("This operation will erase the ") + name + QStringLiteral(" under the '") +
                       listName + QStringLiteral("'.") + QStringLiteral("\r\n\r\n") + QStringLiteral("Continue?"),
                   vbInformation + vbYesNo, QString(), w->Form()) != vbYes)
            return;
    }

    grid->setRedraw(false);
    const int n = grid->RowCount();
    int removed = 0;
    for (int i = 1; i <= n; ++i) {
        const int row = i - removed;
        if (grid->CellSelected(row, 1)) {
            grid->RemoveRow(row);
            ShownListRowRemoved(row);
            ++removed;
        }
    }
    if (grid->SelectedRow() < 1)
        grid->ClearRows();
    else
        grid->setSelectedRow(grid->SelectedRow());
    SaveGridToFile();
    DisplayGridInfoStatusBar();
    grid->setRedraw(true);
    if (w->picEmptyMsg)
        w->picEmptyMsg->setVisible(grid->RowCount() == 0);
}

bool IsAnyRowMarked()
{
    cGrid* grid = itemsGrid();
    if (!grid)
        return false;
    const int inc = grid->ColumnIndex(COL_INC);
    for (int row = 1; row <= grid->RowCount(); ++row)
        if (grid->CellIcon(row, inc) == kIconMarked)
            return true;
    return false;
}

void MarkAllRows(bool bMark)
{
    cGrid* grid = itemsGrid();
    if (!grid || RefuseReadOnlyListEdit())
        return;
    grid->setRedraw(false);
    const int inc = grid->ColumnIndex(COL_INC);
    for (int row = 1; row <= grid->RowCount(); ++row)
        grid->setCellIcon(row, inc, bMark ? kIconMarked : kIconUnmarked);
    grid->setRedraw(true);
    SaveGridToFile();
}

void ReplaceRow(long lMove)
{
    cGrid* grid = itemsGrid();
    if (!grid || RefuseReadOnlyListEdit())
        return;
    const int c = grid->SelectedRow();
    const long t = long(c) + lMove;
    if (c < 1 || c > grid->RowCount() || t < 1 || t > grid->RowCount())
        return;
    const int target = int(t);
    grid->setRedraw(false);
    for (int col = 2; col <= grid->ColumnCount(); ++col) {
        const QVariant saved = grid->CellValue(target, col);
        grid->setCellText(target, col, grid->CellValue(c, col));
        grid->setCellText(c, col, saved);
    }
    // The type and mark icons travel with their rows.
    for (const QString& key : {COL_TYPE, COL_INC}) {
        const int col = grid->ColumnIndex(key);
        const int saved = grid->CellIcon(target, col);
        grid->setCellIcon(target, col, grid->CellIcon(c, col));
        grid->setCellIcon(c, col, saved);
    }
    grid->setSelectedRow(target);
    grid->setRedraw(true);
}
