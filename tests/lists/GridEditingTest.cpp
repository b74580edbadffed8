// Editing the shown list in the grid: marks, moves, removal, drops, and the
// rule that a CD drive's rows are never written to any list file.
#include <QItemSelectionModel>
#include <QProcess>
#include <QTableView>

#include "lists/GridEditing.h"
#include "lists/frmStat.h"
#include "tests/lists/EditingFixture.h"

using namespace editing;

namespace {

class GridEditingTest : public EditingTest {
protected:
    // Four items A to D, A and C marked.
    void showFour()
    {
        QString text;
        int i = 0;
        for (const char* name : {"A", "B", "C", "D"}) {
            const QString f = wav(QString::fromLatin1(name) + ".wav");
            text += record(QString::fromLatin1(name), f, {{"Inc", i % 2 == 0 ? "1" : "0"}, {"COL_TAG_ARTIST", name}});
            ++i;
        }
        writeBytes(listFile("Four"), (text + "\r\n").toUtf8());
        setTree();
        cTreeView1_NodeClick(w.cTreeView1->Nodes().NodeItem(listFile("Four")));
        ASSERT_EQ(w.cGrid1->RowCount(), 4);
    }
    QString marksInFile()
    {
        QString text, out;
        ReadItemsListFile(listFile("Four"), text);
        for (const QString& piece : text.split("<ITEM>"))
            if (!piece.trimmed().isEmpty())
                out += GetItemField("Inc", piece);
        return out;
    }
    QString marks()
    {
        QString out;
        for (int r = 1; r <= w.cGrid1->RowCount(); ++r)
            out += QString::number(icon(r, COL_INC));
        return out;
    }
    void selectRows(const QList<int>& rows)
    {
        w.cGrid1->setSelectedRow(rows.first());
        QItemSelectionModel* sel = w.cGrid1->tableView()->selectionModel();
        for (int r : rows)
            sel->select(w.cGrid1->tableView()->model()->index(r - 1, 0),
                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
};

TEST_F(GridEditingTest, ALeftClickInTheMarkColumnFlipsTheMarkAndRewritesTheFile)
{
    showFour();
    w.cGrid1->setSelectedRow(2);
    w.cGrid1->setSelectedCol(1);
    cGrid1_GridMouseUp(1, 0, 100, 10);
    EXPECT_EQ(marks(), "1110");
    EXPECT_EQ(marksInFile(), "1110");
    cGrid1_GridMouseUp(1, 0, 100, 10);
    EXPECT_EQ(marks(), "1010");

    // Right of the mark column, or another column, or a data track: nothing changes.
    const QByteArray before = readBytes(listFile("Four"));
    cGrid1_GridMouseUp(1, 0, 301, 10);
    w.cGrid1->setSelectedCol(3);
    cGrid1_GridMouseUp(1, 0, 100, 10);
    w.cGrid1->setSelectedCol(1);
    w.cGrid1->setCellIcon(2, w.cGrid1->ColumnIndex(COL_TYPE), kIconData);
    cGrid1_GridMouseUp(1, 0, 100, 10);
    EXPECT_EQ(marks(), "1010");
    EXPECT_EQ(readBytes(listFile("Four")), before);
}

TEST_F(GridEditingTest, MarkUnmarkAllWritesEveryMark)
{
    showFour();
    EXPECT_TRUE(IsAnyRowMarked());
    MarkAllRows(false);
    EXPECT_EQ(marks(), "0000");
    EXPECT_FALSE(IsAnyRowMarked());
    EXPECT_FALSE(readBytes(listFile("Four")).contains("<Inc>1</Inc>"));
    MarkAllRows(true);
    EXPECT_EQ(marks(), "1111");
    EXPECT_FALSE(readBytes(listFile("Four")).contains("<Inc>0</Inc>"));
}

// The exchanges the move commands make: a swap with the target row, the
// moved item staying selected, its mark, type and cells travelling with it.
TEST_F(GridEditingTest, ReplaceRowSwapsTheCurrentRowWithItsTarget)
{
    const struct {
        int current;
        long move;
        const char* order;
        const char* marks;
        int selected;
    } cases[] = {
        {3, 1 - 3, "C B A D", "1010", 1}, // to first
        {2, 4 - 2, "A D C B", "1010", 4}, // to last
        {2, -1, "B A C D", "0110", 1},    // up
        {3, 1, "A B D C", "1001", 4},     // down
        {1, 0, "A B C D", "1010", 1},     // to first from the first row
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.order);
        showFour();
        const int type = w.cGrid1->ColumnIndex(COL_TYPE);
        w.cGrid1->setCellIcon(c.current, type, kIconData);
        w.cGrid1->setSelectedRow(c.current);
        ReplaceRow(c.move);
        EXPECT_EQ(gridNames().join(' '), QString::fromLatin1(c.order));
        EXPECT_EQ(marks(), QString::fromLatin1(c.marks));
        EXPECT_EQ(w.cGrid1->SelectedRow(), c.selected);
        // The type icon and every other cell went along with the item.
        EXPECT_EQ(w.cGrid1->CellIcon(c.selected, type), kIconData);
        EXPECT_EQ(cell(c.selected, COL_TAG_ARTIST), cell(c.selected, COL_ITEM_NAME));
        EXPECT_TRUE(cell(c.selected, COL_FILE).endsWith(cell(c.selected, COL_ITEM_NAME) + ".wav"));
    }
}

TEST_F(GridEditingTest, RemovalAsksWhenTheOptionSaysSoAndKeepsEveryRowOnNo)
{
    showFour();
    selectRows({2, 3});
    g_bDisplayMSGWhenErase = true;
    {
        testenv::ScriptedMessageBoxes boxes;
        boxes.answer(vbNo);
        RemoveItems();
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].prompt, "This operation will erase the B under the 'Four'.\r\n\r\nContinue?");
        EXPECT_EQ(boxes.shown()[0].style, vbInformation + vbYesNo);
        EXPECT_EQ(gridNames(), QStringList({"A", "B", "C", "D"}));
    }
    {
        testenv::ScriptedMessageBoxes boxes;
        boxes.answer(vbYes);
        RemoveItems();
        EXPECT_EQ(gridNames(), QStringList({"A", "D"}));
        EXPECT_EQ(namesInFile(listFile("Four")), QStringList({"A", "D"}));
        EXPECT_EQ(w.statusPanel("Items List Properties"), GridSummaryText(w.cGrid1));
    }
    // Without the option there is no question.
    g_bDisplayMSGWhenErase = false;
    testenv::ScriptedMessageBoxes boxes;
    selectRows({1, 2});
    RemoveItems();
    EXPECT_TRUE(boxes.prompts().isEmpty());
    EXPECT_EQ(w.cGrid1->RowCount(), 0);
    EXPECT_FALSE(w.picEmptyMsg->isHidden());
    EXPECT_EQ(readBytes(listFile("Four")), "\r\n");
}

TEST_F(GridEditingTest, RemovalStopsThePlayerFirstAndKeepsRecordsTheGridDoesNotShowInPlace)
{
    const QString a = wav("a.wav"), c = wav("c.wav");
    QString text = record("A", a) + record("B", audio + "offline.wav") + record("C", c);
    writeBytes(listFile("Mine"), (text + "\r\n").toUtf8());
    setTree();
    cTreeView1_NodeClick(w.cTreeView1->Nodes().NodeItem(listFile("Mine")));
    ASSERT_EQ(gridNames(), QStringList({"A", "C"}));
    w.playing = true;
    selectRows({1});
    RemoveItems();
    EXPECT_EQ(w.stops, 1);
    EXPECT_EQ(gridNames(), QStringList({"C"}));
    // The item whose file is offline stays in the list, still before C.
    EXPECT_EQ(namesInFile(listFile("Mine")), QStringList({"B", "C"}));
}

TEST_F(GridEditingTest, DroppedFilesJoinTheListAndFoldersAndEmptyFilesAreLeftOut)
{
    const QString a = wav("a.wav"), b = wav("b.wav");
    const QString empty = audio + "empty.wav";
    writeBytes(empty, QByteArray());
    show("Mine", {});
    testenv::ScriptedMessageBoxes boxes;
    cGrid1_GridOLEDragDrop({a, audio, empty, b});
    EXPECT_TRUE(boxes.prompts().isEmpty());
    EXPECT_EQ(gridNames(), QStringList({"a.wav", "b.wav"}));
    EXPECT_EQ(namesInFile(listFile("Mine")), QStringList({"a.wav", "b.wav"}));
    EXPECT_EQ(w.statusPanel("Items List Properties"), GridSummaryText(w.cGrid1));
}

// A CD drive's tracks, or a root, are no list: drops do nothing there, and
// marks and moves change the view only.
TEST_F(GridEditingTest, CdDriveAndRootRowsAreNeverWrittenToAListFile)
{
    showFour();
    const QByteArray before = readBytes(listFile("Four"));
    cTreeNode drive = w.cTreeView1->Nodes().AddNode(cTreeNode(), cTreeNodes::tvwLast, "##CDE: DRIVE", "E:");
    cTreeView1_NodeClick(drive);
    ASSERT_TRUE(w.cTreeView1->SelectedNode() == drive);
    for (int i = 0; i < 3; ++i)
        addTestRow(w.cGrid1, TestRow(0, QStringLiteral("Track %1").arg(i + 1), wav(QStringLiteral("t%1.wav").arg(i))));

    w.cGrid1->setSelectedRow(1);
    w.cGrid1->setSelectedCol(1);
    cGrid1_GridMouseUp(1, 0, 10, 10);
    EXPECT_EQ(marks(), "100");
    MarkAllRows(true);
    w.cGrid1->setSelectedRow(1);
    ReplaceRow(2);
    cGrid1_GridOLEDragDrop({wav("x.wav")});
    EXPECT_EQ(gridNames(), QStringList({"Track 3", "Track 2", "Track 1"}));
    EXPECT_EQ(marks(), "111");

    g_nodItemsLists.setNodeSelected(true);
    cGrid1_GridOLEDragDrop({wav("y.wav")});
    EXPECT_EQ(w.cGrid1->RowCount(), 3);

    EXPECT_EQ(readBytes(listFile("Four")), before);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList({"Four.flst"}));
}

// A list whose folder refuses writes: the user hears of it once, with the
// path, and the status bar says so; once writes work again the file and the
// grid agree.
TEST_F(GridEditingTest, AFailedSaveIsReportedOnceAndTheNextGoodSaveCatchesUp)
{
    const QString a = wav("a.wav"), b = wav("b.wav");
    show("Locked", {a, b});
    auto lock = [&](bool on) {
        return QProcess::execute("chattr", {on ? "+i" : "-i", dir}) == 0;
    };
    if (!lock(true))
        GTEST_SKIP() << "chattr cannot make the folder read-only here";
    testenv::ScriptedMessageBoxes boxes;
    const int inc = w.cGrid1->ColumnIndex(COL_INC);
    w.cGrid1->setCellIcon(1, inc, kIconUnmarked);
    const bool first = SaveGridToFile();
    w.cGrid1->setCellIcon(2, inc, kIconUnmarked);
    const bool second = SaveGridToFile();
    lock(false);
    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_TRUE(boxes.prompts()[0].contains(listFile("Locked"))) << boxes.prompts()[0].toStdString();
    EXPECT_EQ(w.statusPanel("Main"), "Items list not saved.");

    EXPECT_TRUE(SaveGridToFile());
    cTreeView1_NodeClick(w.cTreeView1->Nodes().NodeItem(listFile("Locked")));
    ASSERT_EQ(w.cGrid1->RowCount(), 2);
    EXPECT_EQ(w.cGrid1->CellIcon(1, inc), kIconUnmarked);
    EXPECT_EQ(w.cGrid1->CellIcon(2, inc), kIconUnmarked);
    Q_UNUSED(b);
}

// A list whose file could not be read says so, and takes no edit that a save
// could never store; once the file reads again the list is editable again.
TEST_F(GridEditingTest, AListThatCouldNotBeReadIsReadOnlyWithANote)
{
    const QString a = wav("a.wav"), b = wav("b.wav");
    show("Good", {a}, {"Broken"});
    // The file turns into something that cannot be read as the list loads.
    QFile::remove(listFile("Broken"));
    ASSERT_TRUE(QDir().mkpath(listFile("Broken")));
    cTreeView1_NodeClick(w.cTreeView1->Nodes().NodeItem(listFile("Broken")));
    EXPECT_EQ(w.lblAddorDrag->text(), ReadOnlyListNote());
    EXPECT_EQ(w.statusPanel("Main"), ReadOnlyListNote());
    EXPECT_TRUE(w.picEmptyMsg->isVisibleTo(&w.form));

    testenv::ScriptedMessageBoxes boxes;
    cGrid1_GridOLEDragDrop({b});
    EXPECT_EQ(w.cGrid1->RowCount(), 0);
    g_frmStat()->AddFilesToList({b}, w.cGrid1, &w.form, false);
    UnloadStat();
    EXPECT_EQ(w.cGrid1->RowCount(), 0);
    EXPECT_EQ(w.statusPanel("Main"), ReadOnlyListNote());
    DoClearTheList();
    EXPECT_TRUE(QFileInfo(listFile("Broken")).isDir());

    QDir(listFile("Broken")).removeRecursively();
    writeBytes(listFile("Broken"), (record("a.wav", a) + "\r\n").toUtf8());
    cTreeView1_NodeClick(w.cTreeView1->Nodes().NodeItem(listFile("Broken")));
    EXPECT_NE(w.lblAddorDrag->text(), ReadOnlyListNote());
    cGrid1_GridOLEDragDrop({b});
    EXPECT_EQ(namesInFile(listFile("Broken")), QStringList({"a.wav", "b.wav"}));
}

// Tag texts of several lines come back from the list file exactly, after
// another list was shown and after the list file is read anew.
TEST_F(GridEditingTest, MultiLineTextsSurviveTheListFile)
{
    const QString a = wav("a.wav");
    show("Other", {});
    show("Notes", {a}, {"Other"});
    const int comment = w.cGrid1->ColumnIndex(TagColumnKey(2));
    const int title = w.cGrid1->ColumnIndex(TagColumnKey(5));
    const QString texts[] = {QString("line one\nline two"), QString("crlf\r\nand lone\rcr"), QString("\nleading and trailing\n")};
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        w.cGrid1->SetCell(1, comment, text);
        w.cGrid1->SetCell(1, title, "t " + text);
        ASSERT_TRUE(SaveGridToFile());
        cTreeView1_NodeClick(w.cTreeView1->Nodes().NodeItem(listFile("Other")));
        cTreeView1_NodeClick(w.cTreeView1->Nodes().NodeItem(listFile("Notes")));
        ASSERT_EQ(w.cGrid1->RowCount(), 1);
        EXPECT_EQ(w.cGrid1->CellText(1, comment), text);
        EXPECT_EQ(w.cGrid1->CellText(1, title), "t " + text);
        // An unrelated edit saves the list again: still the same texts.
        w.cGrid1->setCellIcon(1, w.cGrid1->ColumnIndex(COL_INC), kIconUnmarked);
        ASSERT_TRUE(SaveGridToFile());
        cTreeView1_NodeClick(w.cTreeView1->Nodes().NodeItem(listFile("Notes")));
        EXPECT_EQ(w.cGrid1->CellText(1, comment), text);
    }
}

// The status bar's totals follow a change that is saved, not only the next add.
TEST_F(GridEditingTest, TotalsFollowEverySavedChange)
{
    const QString a = wav("a.wav", 2.0), b = wav("b.wav", 3.0);
    show("Totals", {a, b});
    const QString before = w.statusPanel("Items List Properties");
    // A range of one second on the second item.
    w.cGrid1->SetCell(2, w.cGrid1->ColumnIndex(COL_RANGE_ALL), "0");
    w.cGrid1->SetCell(2, w.cGrid1->ColumnIndex(COL_RANGE_START_TIME), "0");
    w.cGrid1->SetCell(2, w.cGrid1->ColumnIndex(COL_RANGE_LENGTH_TIME), "1");
    ASSERT_TRUE(SaveGridToFile());
    EXPECT_NE(w.statusPanel("Items List Properties"), before);
    EXPECT_EQ(w.statusPanel("Items List Properties"), GridSummaryText(w.cGrid1));
}

} // namespace

