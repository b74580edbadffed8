// The main window's side of editing a list: the grid's mouse, double-click
// and file-drop events, the list title's click, and the router's commands
// that add, mark, move, remove, edit and copy items and open a list's
// properties or folder.
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>

#include "components/controls/cContextMenu.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cTreeView.h"
#include "core/Dialogs.h"
#include "core/FileCopy.h"
#include "core/PathNames.h"
#include "core/WindowHelpers.h"
#include "lists/GridEditing.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/ListTree.h"
#include "lists/frmDirProperties.h"
#include "mainwindow/frmMain.h"
#include "platform/MessageBox.h"

namespace {

QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

void inform(QWidget* owner, const QString& text) { MsgBox(text, vbInformation | vbOKOnly, QString(), owner); }

// Files dropped from a file manager onto a control that stands for the grid.
class FileDropFilter : public QObject {
public:
    explicit FileDropFilter(QWidget* target) : QObject(target), m_target(target)
    {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_target)
            return false;
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* e = static_cast<QDragMoveEvent*>(event);
            if (cGrid::LocalFilesFromMime(e->mimeData()).isEmpty())
                return false;
            e->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            auto* e = static_cast<QDropEvent*>(event);
            const QStringList files = cGrid::LocalFilesFromMime(e->mimeData());
            if (files.isEmpty())
                return false;
            e->acceptProposedAction();
            const QPointF p = e->position();
            cGrid1_GridOLEDragDrop(files, 1, 1, 0, p.x() * 15.0, p.y() * 15.0);
            return true;
        }
        return false;
    }

private:
    QWidget* m_target;
};

// A left click on the list title.
class ClickFilter : public QObject {
public:
    explicit ClickFilter(QWidget* target) : QObject(target), m_target(target) { target->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_target && event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            lblListName_Click();
        return false;
    }

private:
    QWidget* m_target;
};

} // namespace

void FrmMain::ConnectItemEditing()
{
    connect(cGrid1, &cGrid::GridMouseUp, this,
            [](int Button, int Shift, double x, double y) { cGrid1_GridMouseUp(Button, Shift, x, y); });
    connect(cGrid1, &cGrid::GridDblClick, this, [](int row, int col) { ShowItemProperties(row, col); });
    // The keyboard's way to what the mouse does on a row.
    connect(cGrid1, &cGrid::GridKeyDown, this, [this](int key, int) {
        if (cGrid1->RowCount() == 0)
            return;
        if (key == Qt::Key_Delete)
            SendCommand(QStringLiteral("Remove Item"));
        else if (key == Qt::Key_Space)
            ToggleRowMark(cGrid1->SelectedRow());
        else
            ShowItemProperties(cGrid1->SelectedRow(), cGrid1->SelectedCol());
    });
    connect(cGridInfo, &cGrid::GridDblClick, this,
            [this](int, int) { ShowItemProperties(cGrid1->SelectedRow(), cGrid1->SelectedCol()); });
    connect(cGrid1, &cGrid::GridOLEDragDrop, this,
            [](const QStringList& Data, int Effect, int Button, int Shift, double x, double y) {
                cGrid1_GridOLEDragDrop(Data, Effect, Button, Shift, x, y);
            });
    for (QWidget* w : {picEmptyMsg, static_cast<QWidget*>(lblAddorDrag), static_cast<QWidget*>(lblEmptylist)})
        if (w)
            new FileDropFilter(w);
    if (lblListName)
        new ClickFilter(lblListName);

    auto key = [this] { return cTreeView1->SelectedNode().NodeKey(); };
    auto empty = [this] { return cGrid1->RowCount() == 0; };
    // A command that needs a list or a drive refuses a root, and also no node at all.
    auto isRoot = [](const QString& k) { return k.isEmpty() || IsMainNode(k); };

    setCommand(QStringLiteral("Add Files"), [this, key, isRoot](int) {
        const QString k = key();
        if (IsCDNode(k)) {
            inform(this, QStringLiteral("Adding new items to the Audio CD List is not possible.") + blanks(20));
            return false;
        }
        if (isRoot(k))
            return false;
        AddFiles();
        activateWindow();
        setFocus();
        return true;
    });
    setCommand(QStringLiteral("Rename Items List"), [this, key, isRoot](int) {
        // Roots are told apart by key: a list may be called "Items Lists".
        if (isRoot(key()))
            return false;
        SendCommand(QStringLiteral("Items List Properties"));
        return true;
    });
    setCommand(QStringLiteral("Items List Properties"), [this, key, isRoot](int) {
        if (isRoot(key()))
            return false;
        ShowListProperties(cTreeView1->SelectedNode());
        return true;
    });
    setCommand(QStringLiteral("Open Destination Folder"), [this, key](int) {
        OpenDestFolder(FolderOfNodeKey(key()));
        return true;
    });
    setCommand(QStringLiteral("Save As"), [this, key, empty](int) {
        const QString k = key();
        if (k.isEmpty() || IsCDNode(k)) {
            inform(this, QStringLiteral("Nothing to save.") + blanks(20));
            return false;
        }
        if (empty())
            return false;
        SaveItemAs();
        return true;
    });
    setCommand(QStringLiteral("Rename Item"), [this, empty](int) {
        if (empty())
            return false;
        SetFormOnTop(this, false);
        ShowItemProperties(cGrid1->SelectedRow(), cGrid1->SelectedCol());
        return true;
    });
    setCommand(QStringLiteral("MarkUnmark All"), [](int) {
        MarkAllRows(!IsAnyRowMarked());
        return true;
    });
    setCommand(QStringLiteral("Remove Item"), [this, key, empty](int) {
        if (IsCDNode(key())) {
            inform(this, QStringLiteral("Cannot remove items from Audio CD.") + blanks(20));
            return false;
        }
        if (empty())
            return false;
        m_sRemoveKind = QStringLiteral("Item");
        tmrRemove->start();
        return true;
    });

    // The moves: an exchange with the target row, then the list is written
    // even when nothing moved.
    auto move = [this, empty](const char* command, std::function<long(int row, int rows)> target) {
        setCommand(QString::fromLatin1(command), [this, empty, target](int) {
            if (empty())
                return false;
            const long lMove = target(cGrid1->SelectedRow(), cGrid1->RowCount());
            if (lMove != 0)
                ReplaceRow(lMove);
            SaveGridToFile();
            return true;
        });
    };
    move("Move Up", [](int row, int) { return row > 1 ? -1L : 0L; });
    move("Move Down", [](int row, int rows) { return row < rows ? 1L : 0L; });
    move("Move To First", [](int row, int rows) { return rows > 1 ? long(1 - row) : 0L; });
    move("Move To Last", [](int row, int rows) { return rows > 1 && row < rows ? long(rows - row) : 0L; });
}

void FrmMain::OpenDestFolder(const QString& sDir) { ::OpenDestFolder(sDir, this); }

void FrmMain::SaveItemAs()
{
    const int row = cGrid1->SelectedRow();
    const QString name = cGrid1->CellText(row, cGrid1->ColumnIndex(COL_ITEM_NAME));
    const QString source = cGrid1->CellText(row, cGrid1->ColumnIndex(COL_FILE));
    // The item's name may have lost its extension: the file's own one is offered.
    const QString ext = GetExtension(GetFileNameFromPath(source));
    g_OpenFileName.lpstrFilter =
        QStringLiteral("Audio Files (*.") + ext + QStringLiteral(")") + QChar(0) + QStringLiteral("*.") + ext + QChar(0);
    g_OpenFileName.lpstrTitle = QStringLiteral("Save As");
    g_OpenFileName.lpstrDefExt = ext;
    const FileDialogResult result = ShowSave(this, name, true);
    if (result.bCanceled || result.sFiles.size() < 2)
        return;
    const QString dest = result.sFiles.at(1);
    if (SameFile(source, dest)) {
        inform(this, QStringLiteral("A file cannot be copied onto itself:") + QStringLiteral("\r\n") + dest);
        return;
    }
    FrmFileCopy* copy = g_frmFileCopy();
    copy->g_sSourceFile = source;
    copy->g_sDestFile = dest;
    copy->lblFrom->setText(source);
    copy->lblTo->setText(dest);
    copy->tmrStart->start();
    copy->exec();
}
