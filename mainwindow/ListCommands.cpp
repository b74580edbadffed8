// The main window's side of the items lists: the tree and grid events, the
// first list at load, and the list commands of the router.
#include <QTimer>

#include "components/controls/cContextMenu.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cTreeView.h"
#include "core/Edition.h"
#include "lists/GridEditing.h"
#include "lists/ItemRow.h"
#include "lists/ListLoader.h"
#include "lists/ListTree.h"
#include "mainwindow/frmMain.h"

void FrmMain::setTree() { ::setTree(); }

void FrmMain::LoadSelectedNode()
{
    if (const cTreeNode node = cTreeView1->SelectedNode())
        cTreeView1_NodeClick(node);
}

void FrmMain::ConnectLists()
{
    connect(cTreeView1, &cTreeView::NodeClick, this, [this](cTreeNode node) { cTreeView1_NodeClick(node); });
    // Direct: the handler writes the new text and the cancel flag back.
    connect(
        cTreeView1, &cTreeView::AfterLabelEdit, this,
        [](cTreeNode node, QString& NewString, bool& Cancel) { cTreeView1_AfterLabelEdit(node, NewString, Cancel); },
        Qt::DirectConnection);
    connect(cGrid1, &cGrid::RowChange, this, [this] {
        GetFileInfoToGridInfo();
        LoadItemToPlayer();
    });
    connect(cGrid1, &cGrid::RedrawNeeded, this, [this] { cGrid1->setRedraw(true); });
    connect(tmrRemove, &QTimer::timeout, this, &FrmMain::tmrRemove_Timer);
    RefreshInformation = [] { GetFileInfoToGridInfo(); };

    setCommand(QStringLiteral("New Items List"), [this](int) {
        if (IsCDNode(cTreeView1->SelectedNode().NodeKey()))
            return false;
        NewItemsList();
        return true;
    });
    setCommand(QStringLiteral("Remove Items List"), [this](int) {
        const QString key = cTreeView1->SelectedNode().NodeKey();
        if (key.isEmpty() || IsMainNode(key) || IsCDNode(key))
            return false;
        RemoveItemsList();
        return true;
    });
    setCommand(QStringLiteral("Clear the List"), [this](int) {
        if (cGrid1->RowCount() == 0)
            return false;
        m_sRemoveKind = QStringLiteral("All");
        tmrRemove->start();
        return true;
    });
}

void FrmMain::FirstSelection()
{
    if (g_lAppIncItemsLists == 1) {
        const cTreeNodes lists = g_nodItemsLists.ChildNodes();
        if (lists.NodeCount() > 0)
            cTreeView1_NodeClick(lists.NodeItem(1));
        else
            SendCommand(QStringLiteral("New Items List"));
    } else if (g_nodAudioCDs && g_nodAudioCDs.ChildNodes().NodeCount() > 0) {
        cTreeView1_NodeClick(g_nodAudioCDs.ChildNodes().NodeItem(1));
    }
}

void FrmMain::tmrRemove_Timer()
{
    tmrRemove->stop();
    RunPendingRemoval(m_sRemoveKind);
}
