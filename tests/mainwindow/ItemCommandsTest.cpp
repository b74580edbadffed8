// The router's list and item commands inside the main window, and the grid's
// editing events reaching the lists.
#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTreeView.h"
#include "core/FileCopy.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/ListLoader.h"
#include "lists/ListTree.h"
#include "lists/frmDirProperties.h"
#include "lists/frmItem.h"
#include "platform/MessageBox.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"
#include "tests/lists/ListRecords.h"

namespace {

using testenv::readBytes;
using testenv::writeBytes;
using listrec::record;

class ItemCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testenv::tempRoot() + "/Lists/";
        audio = testenv::tempRoot() + "/audio/";
        // Empty folders, as in a process of its own.
        QDir(dir).removeRecursively();
        QDir(audio).removeRecursively();
        QDir().mkpath(dir);
        QDir().mkpath(audio);
        g_sItemsListDir = dir;
        g_bCopyID3FromSource = false;
        g_bSelectTheLastItem = false;
        g_bDisplayMSGWhenErase = false;
        g_bDisplayMSGWhenExit = false;
    }
    void TearDown() override { UnloadMain(); }

    QString wav(const QString& name) { return fixtures::writeToneWav(audio + name, 1.0, 44100, 2, 16); }
    // The list "Four" with items A to D (A and C marked), shown in the window.
    FrmMain* loadFour()
    {
        QString text;
        int i = 0;
        for (const char* n : {"A", "B", "C", "D"}) {
            text += record(QString::fromLatin1(n), wav(QString::fromLatin1(n) + ".wav"),
                           {{"Inc", i % 2 == 0 ? "1" : "0"}});
            ++i;
        }
        writeBytes(dir + "Four.flst", (text + "\r\n").toUtf8());
        writeBytes(dir + "Other.flst", QByteArray());
        mwtest::setEdition();
        w = frmMain();
        w->cTreeView1_NodeClick(w->cTreeView1->Nodes().NodeItem(dir + "Four.flst"));
        return w;
    }
    QStringList names()
    {
        QStringList out;
        for (int r = 1; r <= w->cGrid1->RowCount(); ++r)
            out << w->cGrid1->CellText(r, w->cGrid1->ColumnIndex(COL_ITEM_NAME));
        return out;
    }
    QStringList namesInFile(const QString& path)
    {
        QString text;
        ReadItemsListFile(path, text);
        QStringList out;
        for (const QString& piece : text.split("<ITEM>"))
            if (!piece.trimmed().isEmpty())
                out << GetItemField("Item Name", piece);
        return out;
    }
    void selectDrive()
    {
        cTreeNode drive = w->cTreeView1->Nodes().AddNode(cTreeNode(), cTreeNodes::tvwLast, "##CDE: DRIVE", "E:");
        w->cTreeView1_NodeClick(drive);
    }

    FrmMain* w = nullptr;
    QString dir, audio;
};

TEST_F(ItemCommandsTest, MovesSwapWithTheTargetRowAndAlwaysRewriteTheList)
{
    const struct {
        const char* command;
        int selected;
        const char* order;
        int after;
    } cases[] = {
        {"Move To First", 3, "C B A D", 1}, {"Move To First", 1, "A B C D", 1}, {"Move To Last", 2, "A D C B", 4},
        {"Move To Last", 4, "A B C D", 4},  {"Move Up", 1, "A B C D", 1},       {"Move Up", 3, "A C B D", 2},
        {"Move Down", 4, "A B C D", 4},     {"Move Down", 2, "A C B D", 3},
    };
    loadFour();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " from " + std::to_string(c.selected));
        w->cTreeView1_NodeClick(w->cTreeView1->Nodes().NodeItem(dir + "Four.flst"));
        w->cGrid1->setSelectedRow(c.selected);
        // Even a move that moves nothing writes the file.
        writeBytes(dir + "Four.flst", readBytes(dir + "Four.flst") + " ");
        w->SendCommand(QString::fromLatin1(c.command));
        EXPECT_EQ(names().join(' '), QString::fromLatin1(c.order));
        EXPECT_EQ(w->cGrid1->SelectedRow(), c.after);
        EXPECT_EQ(namesInFile(dir + "Four.flst").join(' '), QString::fromLatin1(c.order));
        EXPECT_FALSE(readBytes(dir + "Four.flst").endsWith(" "));
        // Back to the first order for the next case.
        QString text;
        int i = 0;
        for (const char* n : {"A", "B", "C", "D"})
            text += record(QString::fromLatin1(n), audio + n + ".wav", {{"Inc", i++ % 2 == 0 ? "1" : "0"}});
        writeBytes(dir + "Four.flst", (text + "\r\n").toUtf8());
    }
}

TEST_F(ItemCommandsTest, MarkUnmarkAllAndTheMarkClickReachTheListFile)
{
    loadFour();
    w->SendCommand("MarkUnmark All");
    EXPECT_FALSE(readBytes(dir + "Four.flst").contains("<Inc>1</Inc>"));
    w->SendCommand("MarkUnmark All");
    EXPECT_FALSE(readBytes(dir + "Four.flst").contains("<Inc>0</Inc>"));

    // A real click on the mark cell of row 2.
    w->show();
    QTableView* view = w->cGrid1->tableView();
    const QRect r = view->visualRect(view->model()->index(1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    EXPECT_EQ(w->cGrid1->CellIcon(2, 1), 0);
    EXPECT_EQ(readBytes(dir + "Four.flst").count("<Inc>0</Inc>"), 1);
}

TEST_F(ItemCommandsTest, RemoveItemWaitsForTheTimerAndIsRefusedOnADrive)
{
    loadFour();
    w->cGrid1->setSelectedRow(2);
    w->SendCommand("Remove Item");
    EXPECT_EQ(w->cGrid1->RowCount(), 4);
    EXPECT_TRUE(w->tmrRemove->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(w->cGrid1->RowCount(), 3, 2000);
    EXPECT_FALSE(w->tmrRemove->isActive());
    EXPECT_EQ(namesInFile(dir + "Four.flst"), QStringList({"A", "C", "D"}));

    selectDrive();
    testenv::ScriptedMessageBoxes boxes;
    w->SendCommand("Remove Item");
    EXPECT_EQ(boxes.prompts(), QStringList({"Cannot remove items from Audio CD." + QString(20, ' ')}));
    EXPECT_FALSE(w->tmrRemove->isActive());
}

TEST_F(ItemCommandsTest, AddFilesNeedsAListAndDropsOnTheEmptyListPictureAddFiles)
{
    loadFour();
    w->cTreeView1_NodeClick(w->cTreeView1->Nodes().NodeItem(dir + "Other.flst"));
    ASSERT_FALSE(w->picEmptyMsg->isHidden());
    const QString e = wav("E.wav"), f = wav("F.wav");
    {
        testenv::ScriptedDialogs dialogs;
        dialogs.choose({e});
        w->SendCommand("Add Files");
        EXPECT_EQ(namesInFile(dir + "Other.flst"), QStringList({"E.wav"}));
    }
    // Files dropped from a file manager on the empty-list picture.
    w->cTreeView1_NodeClick(w->cTreeView1->Nodes().NodeItem(dir + "Four.flst"));
    w->SendCommand("Clear the List");
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbYes);
    QTRY_COMPARE_WITH_TIMEOUT(w->cGrid1->RowCount(), 0, 2000);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(e), QUrl::fromLocalFile(f)});
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w->lblAddorDrag, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w->lblAddorDrag, &drop);
    EXPECT_EQ(names(), QStringList({"E.wav", "F.wav"}));
    EXPECT_EQ(namesInFile(dir + "Four.flst"), QStringList({"E.wav", "F.wav"}));
    EXPECT_TRUE(w->picEmptyMsg->isHidden());

    // A drive refuses with its message, a root quietly.
    testenv::ScriptedDialogs dialogs;
    boxes.clear();
    selectDrive();
    w->SendCommand("Add Files");
    EXPECT_EQ(boxes.prompts(),
              QStringList({"Adding new items to the Audio CD List is not possible." + QString(20, ' ')}));
    g_nodItemsLists.setNodeSelected(true);
    w->SendCommand("Add Files");
    EXPECT_TRUE(dialogs.requests().empty());
}

TEST_F(ItemCommandsTest, SaveAsCopiesTheItemsFileAndRefusesTheFileItself)
{
    loadFour();
    w->cGrid1->setSelectedRow(2);
    w->cGrid1->setCellText(2, w->cGrid1->ColumnIndex(COL_ITEM_NAME), "Bee");
    const QString source = audio + "B.wav";
    const QByteArray original = readBytes(source);
    const QString copy = testenv::tempRoot() + "/copy.wav";
    {
        testenv::ScriptedDialogs dialogs;
        dialogs.choose({copy});
        w->SendCommand("Save As");
        ASSERT_EQ(dialogs.requests().size(), 1u);
        EXPECT_EQ(dialogs.requests()[0].title, "Save As");
        EXPECT_EQ(dialogs.requests()[0].initialFile, "Bee");
        EXPECT_EQ(dialogs.requests()[0].nameFilters, QStringList({"Audio Files (*.wav) (*.wav)"}));
        EXPECT_EQ(dialogs.requests()[0].defaultSuffix, "wav");
        EXPECT_EQ(readBytes(copy), original);
        EXPECT_FALSE(g_frmFileCopyLoaded());
    }
    testenv::ScriptedDialogs dialogs;
    testenv::ScriptedMessageBoxes boxes;
    dialogs.choose({source});
    w->SendCommand("Save As");
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_TRUE(boxes.prompts()[0].startsWith("A file cannot be copied onto itself"));
    EXPECT_EQ(readBytes(source), original);

    boxes.clear();
    selectDrive();
    w->SendCommand("Save As");
    EXPECT_EQ(boxes.prompts(), QStringList({"Nothing to save." + QString(20, ' ')}));
}

TEST_F(ItemCommandsTest, ListPropertiesOpenForListsAndTheTitleClickAndNeverForARoot)
{
    loadFour();
    w->SendCommand("Items List Properties");
    ASSERT_TRUE(g_frmDirPropertiesLoaded());
    EXPECT_EQ(g_frmDirProperties()->txtFolderName->text(), "Four");
    g_frmDirProperties()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QTest::mouseClick(w->lblListName, Qt::LeftButton);
    ASSERT_TRUE(g_frmDirPropertiesLoaded());
    g_frmDirProperties()->txtFolderName->setText("Five");
    g_frmDirProperties()->cmdOk_Click();
    EXPECT_TRUE(QFile::exists(dir + "Five.flst"));
    EXPECT_EQ(w->lblListName->text(), "Five");

    w->SendCommand("Rename Items List");
    ASSERT_TRUE(g_frmDirPropertiesLoaded());
    g_frmDirProperties()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    g_nodItemsLists.setNodeSelected(true);
    for (const char* command : {"Items List Properties", "Rename Items List"}) {
        w->SendCommand(QString::fromLatin1(command));
        EXPECT_FALSE(g_frmDirPropertiesLoaded()) << command;
    }
    QTest::mouseClick(w->lblListName, Qt::LeftButton);
    EXPECT_FALSE(g_frmDirPropertiesLoaded());
}

TEST_F(ItemCommandsTest, OpenDestinationFolderOpensTheFolderOfTheNode)
{
    loadFour();
    testenv::RecordingShell shell;
    testenv::ScriptedMessageBoxes boxes;
    w->SendCommand("Open Destination Folder");
    g_nodItemsLists.setNodeSelected(true);
    w->SendCommand("Open Destination Folder");
    selectDrive();
    w->SendCommand("Open Destination Folder");
    EXPECT_TRUE(boxes.prompts().isEmpty());
    ASSERT_EQ(shell.requests().size(), 2u);
    EXPECT_EQ(shell.requests()[0].target, dir);
    EXPECT_EQ(shell.requests()[1].target, dir);
}

TEST_F(ItemCommandsTest, RenameItemAndADoubleClickOpenTheItemDialogOnTheRow)
{
    loadFour();
    QStringList seen;
    auto closeSoon = [&] {
        QTimer::singleShot(0, [&] {
            if (g_frmItemLoaded()) {
                seen << g_frmItem()->txtItemName->text();
                g_frmItem()->cmdExit_Click();
            }
        });
    };
    w->cGrid1->setSelectedRow(3);
    closeSoon();
    w->SendCommand("Rename Item");
    closeSoon();
    emit w->cGrid1->GridDblClick(2, 3);
    w->cGrid1->setSelectedRow(4);
    closeSoon();
    emit w->cGridInfo->GridDblClick(1, 1);
    EXPECT_EQ(seen, QStringList({"C", "B", "D"}));
}

TEST_F(ItemCommandsTest, TheGridsKeysDoWhatTheMouseAndTheRemoveCommandDo)
{
    g_bDisplayMSGWhenErase = true;
    loadFour();
    w->show();
    QTableView* view = w->cGrid1->tableView();
    view->setFocus();
    testenv::ScriptedMessageBoxes boxes;

    // Space flips the selected row's mark, and the list file keeps it.
    w->cGrid1->setSelectedRow(2);
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_EQ(w->cGrid1->CellIcon(2, 1), kIconMarked);
    EXPECT_EQ(readBytes(dir + "Four.flst").count("<Inc>1</Inc>"), 3);
    // A screen reader hears the mark box checked.
    QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(view)->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->cellAt(1, 0)->state().checked);
    EXPECT_FALSE(table->cellAt(3, 0)->state().checked);
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_EQ(w->cGrid1->CellIcon(2, 1), kIconUnmarked);
    EXPECT_EQ(w->cGrid1->SelectedRow(), 2) << "Space leaves the selection alone";

    // Enter opens Item Properties on the selected row.
    QStringList seen;
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        QTimer::singleShot(0, [&] {
            if (g_frmItemLoaded()) {
                seen << g_frmItem()->txtItemName->text();
                g_frmItem()->cmdExit_Click();
            }
        });
        QTest::keyClick(view, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    }
    EXPECT_EQ(seen, QStringList({"B", "B"}));

    // Delete asks the remove command's question: No keeps the row, Yes removes it.
    // The removal runs from a timer: once it has asked and stopped, nothing
    // more is due, and the answer has been acted on.
    boxes.answer(vbNo);
    QTest::keyClick(view, Qt::Key_Delete);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.shown().empty() && !w->tmrRemove->isActive(); }, 30000));
    EXPECT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(w->cGrid1->RowCount(), 4);
    boxes.answer(vbYes);
    QTest::keyClick(view, Qt::Key_Delete);
    QTRY_COMPARE_WITH_TIMEOUT(w->cGrid1->RowCount(), 3, 2000);
    ASSERT_EQ(boxes.prompts().size(), 2);
    EXPECT_TRUE(boxes.prompts()[1].startsWith("This operation will erase the B under the 'Four'."));
    EXPECT_EQ(namesInFile(dir + "Four.flst"), QStringList({"A", "C", "D"}));

    // Tab leaves the grid for the next control.
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_NE(w->focusWidget(), static_cast<QWidget*>(view));
    EXPECT_EQ(w->cGrid1->SelectedRow(), 2);
}

} // namespace
