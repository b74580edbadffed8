#pragma once
// The main window with a list of items whose files the test chose: a tree
// holding one list (and the two roots), and the items grid filled row by row.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QString>

#include "components/controls/cGrid.h"
#include "components/controls/cTreeView.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "mainwindow/frmMain.h"
#include "mainwindow/frmNotes.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/support/TestEnv.h"

namespace pwtest {

// The notes window goes with its test, unsaved: a window closed but not yet
// deleted, or one left open, would be the next test's notes window.
inline void unloadNotes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (g_frmNotesLoaded())
        delete g_frmNotes();
}

struct ListWindow {
    FrmMain* w = nullptr;
    cTreeNode items, list, cds, drive;

    explicit ListWindow(const std::function<void()>& adjust = {})
    {
        testenv::installMachineKeys();
        // A notes window an earlier test left open (or only closed) is not this test's.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (g_frmNotesLoaded())
            delete g_frmNotes();
        mwtest::setEdition(adjust);
        w = frmMain();
        if (w->cGrid1->ColumnIndex(COL_FILE) == 0)
            SetGrid(w->cGrid1, w->imgGrid);
        cTreeNodes nodes = w->cTreeView1->Nodes();
        nodes.ClearNodes();
        items = nodes.AddNode(cTreeNode(), 0, "##MAINITEMS" + testenv::tempRoot() + "/", "Items Lists");
        list = nodes.AddNode(items, 4, testenv::tempRoot() + "/A.flst", "A");
        cds = nodes.AddNode(items, 2, "##MAINCDSAudio CDs", "Audio CDs");
        drive = nodes.AddNode(cds, 4, "##CDX:", "X:");
        list.setNodeSelected(true);
        w->cGrid1->ClearRows();
        // No list of an earlier test counts as shown (or as read-only).
        ForgetShownList();
    }

    // Appends a row for `file`, marked or not, and returns its number.
    int add(const QString& file, bool marked = true)
    {
        cGrid* g = w->cGrid1;
        const int row = g->RowCount() + 1;
        g->SetCell(row, g->ColumnIndex(COL_ITEM_NAME), QFileInfo(file).fileName());
        g->SetCell(row, g->ColumnIndex(COL_FILE), file);
        g->SetCell(row, g->ColumnIndex(COL_INC), QString(), cGrid::kIconCellFormat, marked ? kIconMarked : kIconUnmarked);
        return row;
    }

    void select(int row) { w->cGrid1->setSelectedRow(row); }

    bool rowBold(int row) const { return w->cGrid1->CellFont(row, w->cGrid1->ColumnIndex(COL_ITEM_NAME)).bold(); }

    void click(const QString& playerButton)
    {
        cToolbar* t = w->tlbrPlayButtons;
        t->ButtonWidget(t->ButtonIndex(playerButton))->click();
    }
};

} // namespace pwtest
