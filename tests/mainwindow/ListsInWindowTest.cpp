// The items lists inside the main window: the first list at load, clicks and
// in-place renames in the tree, and the list commands of the router.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTreeView.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/ListTree.h"
#include "settings/frmOptions.h"
#include "tests/lists/StalledOpens.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"

namespace {

using testenv::readBytes;
using testenv::writeBytes;

// A WAV of silence, 8 kHz mono 16-bit, with that many bytes of sound.
void writeSilence(const QString& path, quint32 bytes)
{
    auto le32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
    auto le16 = [](quint16 v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); };
    writeBytes(path, "RIFF" + le32(36 + bytes) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(8000) +
                         le32(16000) + le16(2) + le16(16) + "data" + le32(bytes) + QByteArray(int(bytes), '\0'));
}

class ListsInWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testenv::tempRoot() + "/Lists/";
        QDir(dir).removeRecursively();
        m_previousDir = g_sItemsListDir;
        m_previousCopyID3 = g_bCopyID3FromSource;
        g_sItemsListDir = dir;
        g_bCopyID3FromSource = false;
        UnloadMain();
    }
    // The options window keeps the folder it was given; the next main window would load it.
    void TearDown() override
    {
        UnloadMain();
        UnloadOptions();
        g_sItemsListDir = m_previousDir;
        g_bCopyID3FromSource = m_previousCopyID3;
    }
    FrmMain* load()
    {
        mwtest::setEdition();
        return frmMain();
    }
    QString dir;
    QString m_previousDir;
    bool m_previousCopyID3 = false;
};

TEST_F(ListsInWindowTest, AnEmptyListsFolderStartsWithANewListShownAndSelected)
{
    FrmMain* w = load();
    const QString first = dir + "New Items List 1.flst";
    ASSERT_TRUE(QFileInfo(first).isFile());
    EXPECT_EQ(QFileInfo(first).size(), 0);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList{"New Items List 1.flst"});
    const cTreeNode selected = w->cTreeView1->SelectedNode();
    EXPECT_EQ(selected.NodeKey(), first);
    EXPECT_EQ(selected.NodeText(), "New Items List 1");
    EXPECT_EQ(w->lblListName->text(), "New Items List 1");
    EXPECT_EQ(w->cGrid1->ColumnCount(), 19);
    EXPECT_EQ(w->cGridInfo->ColumnCount(), 2);
    EXPECT_FALSE(w->picEmptyMsg->isHidden());
    EXPECT_EQ(w->cStatusBar1->PanelText(QStringLiteral("Items List Properties")), "0 Items, 0 KB, 00:00:00");
    UnloadMain();
}

TEST_F(ListsInWindowTest, TheFirstListLoadsAndAClickedOneReplacesIt)
{
    QDir().mkpath(dir);
    writeBytes(dir + "A.flst", "");
    writeBytes(dir + "B.flst", "<ITEM><Inc>1</Inc><COL_FILE>/nowhere.wav</COL_FILE></ITEM>\r\n");
    FrmMain* w = load();
    EXPECT_EQ(w->cTreeView1->SelectedNode().NodeKey(), dir + "A.flst");
    EXPECT_EQ(w->lblListName->text(), "A");
    EXPECT_FALSE(QFileInfo::exists(dir + "New Items List 1.flst"));

    w->show();
    QTreeWidget* tw = w->cTreeView1->treeWidget();
    const cTreeNode b = w->cTreeView1->Nodes().NodeItem(dir + "B.flst");
    QTreeWidgetItem* item = nullptr;
    for (QTreeWidgetItemIterator it(tw); *it; ++it)
        if (w->cTreeView1->nodeFromItem(*it) == b)
            item = *it;
    ASSERT_NE(item, nullptr);
    QTest::mouseClick(tw->viewport(), Qt::LeftButton, {}, tw->visualItemRect(item).center());
    EXPECT_EQ(w->lblListName->text(), "B");
    EXPECT_EQ(ShownListPath(), dir + "B.flst");
    // Its one record names no file here: hidden, and kept by the next save.
    EXPECT_EQ(w->cGrid1->RowCount(), 0);
    EXPECT_TRUE(SaveGridToFile());
    EXPECT_EQ(readBytes(dir + "B.flst"), QByteArray("<ITEM><Inc>1</Inc><COL_FILE>/nowhere.wav</COL_FILE></ITEM>\r\n"));
    UnloadMain();
}

TEST_F(ListsInWindowTest, AnotherListsFolderFromOptionsLoadsItsFirstListIntoTheGrid)
{
    QDir().mkpath(dir);
    writeBytes(dir + "A.flst", "");
    const QString wav = testenv::tempRoot() + "/one.wav";
    writeSilence(wav, 16000); // 1 s
    const QString other = testenv::tempRoot() + "/Other/";
    QDir().mkpath(other);
    writeBytes(other + "C.flst", "<ITEM><Inc>1</Inc><COL_FILE>" + wav.toUtf8() + "</COL_FILE></ITEM>\r\n");
    testenv::ScriptedMessageBoxes boxes;
    FrmMain* w = load();
    ASSERT_EQ(w->lblListName->text(), "A");
    FrmOptions* f = frmOptions();
    f->txtToPath->setEditText(other);
    f->cmdOk_Click();
    EXPECT_EQ(w->cTreeView1->SelectedNode().NodeKey(), other + "C.flst");
    EXPECT_EQ(w->lblListName->text(), "C");
    EXPECT_EQ(ShownListPath(), other + "C.flst");
    EXPECT_EQ(w->cGrid1->RowCount(), 1);
    UnloadMain();
}

TEST_F(ListsInWindowTest, NewRenameAndRemoveThroughTheRouter)
{
    QDir().mkpath(dir);
    writeBytes(dir + "New Items List 1.flst", "");
    writeBytes(dir + "New Items List 3.flst", "");
    FrmMain* w = load();
    w->show();

    w->SendCommand(QStringLiteral("New Items List"));
    const QString created = dir + "New Items List 2.flst";
    ASSERT_TRUE(QFileInfo::exists(created));
    EXPECT_EQ(w->cTreeView1->SelectedNode().NodeKey(), created);
    QCoreApplication::processEvents();

    // The name is typed in place; the file follows it.
    auto* editor = qobject_cast<QLineEdit*>(w->cTreeView1->labelEditor());
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "Party");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFileInfo::exists(created));
    EXPECT_TRUE(QFileInfo::exists(dir + "Party.flst"));
    EXPECT_EQ(w->cTreeView1->SelectedNode().NodeKey(), dir + "Party.flst");
    EXPECT_EQ(w->cTreeView1->SelectedNode().NodeText(), "Party");
    EXPECT_EQ(w->lblListName->text(), "Party");

    // An empty list goes without a question, and the last list is shown.
    testenv::ScriptedMessageBoxes boxes;
    w->SendCommand(QStringLiteral("Remove Items List"));
    EXPECT_TRUE(boxes.prompts().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir + "Party.flst"));
    EXPECT_EQ(w->cTreeView1->SelectedNode().NodeKey(), dir + "New Items List 3.flst");

    // The roots are no list: nothing is removed.
    g_nodItemsLists.setNodeSelected(true);
    w->SendCommand(QStringLiteral("Remove Items List"));
    EXPECT_EQ(g_nodItemsLists.ChildNodes().NodeCount(), 2);
    UnloadMain();
}

TEST_F(ListsInWindowTest, ClearTheListAsksOnceTheMenuHasClosed)
{
    QDir().mkpath(dir);
    const QString wav = testenv::tempRoot() + "/a.wav";
    writeSilence(wav, 1600); // 0.1 s
    writeBytes(dir + "L.flst", ("<ITEM><Inc>1</Inc><Type>Audio</Type><Item Name>a</Item Name><COL_FILE>" + wav +
                                "</COL_FILE><COL_RANGE_ALL>1</COL_RANGE_ALL></ITEM>\r\n")
                                   .toUtf8());
    FrmMain* w = load();
    ASSERT_EQ(w->cGrid1->RowCount(), 1);

    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbYes);
    w->SendCommand(QStringLiteral("Clear the List"));
    EXPECT_TRUE(boxes.prompts().isEmpty());
    EXPECT_EQ(w->m_sRemoveKind, "All");
    EXPECT_TRUE(w->tmrRemove->isActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w->tmrRemove->isActive(); }, 10000));
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_EQ(readBytes(dir + "L.flst"), QByteArray("\r\n"));
    EXPECT_EQ(w->cGrid1->RowCount(), 0);
    UnloadMain();
}

// Loading a list opens its audio files only away from the window's thread: a
// file on a mount that stalls holds the load, never the window, which goes
// on handling its events (and refusing saves) until the file answers.
TEST_F(ListsInWindowTest, ALoadOpensAudioFilesOnlyAwayFromTheWindowsThread)
{
    QDir().mkpath(dir);
    QString records;
    for (int i = 0; i < 3; ++i) {
        const QString wav = testenv::tempRoot() + QStringLiteral("/stall%1.wav").arg(i);
        writeSilence(wav, 1600);
        for (int copy = 0; copy < 2; ++copy)
            records += "<ITEM><Inc>1</Inc><Item Name>x</Item Name><COL_FILE>" + wav + "</COL_FILE></ITEM>";
    }
    writeBytes(dir + "A.flst", (records + "\r\n").toUtf8());

    StalledOpens stalled;

    // While the load waits on the stalled file, the window's timers still
    // run: a few ticks, then the file answers.
    int ticksWhileStalled = 0;
    int refusedSaves = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!IsListLoading() || stalled.waited() == 0 || stalled.released())
            return;
        refusedSaves += SaveGridToFile() ? 0 : 1;
        if (++ticksWhileStalled == 3)
            stalled.release();
    });
    ticker.start();
    FrmMain* w = load();
    ticker.stop();

    EXPECT_EQ(ticksWhileStalled, 3);
    EXPECT_EQ(refusedSaves, 3);
    EXPECT_EQ(w->cGrid1->RowCount(), 6);
    EXPECT_EQ(w->cGrid1->CellText(6, w->cGrid1->ColumnIndex(COL_TIME)), "00:00:00");
    // What follows the load (the information grid, the player's length) reads
    // the selected file away from the window's thread too.
    w->cGrid1->setSelectedRow(4);
    QCoreApplication::processEvents();
    EXPECT_EQ(stalled.onWindowThread(), 0);
    UnloadMain();
}

} // namespace
