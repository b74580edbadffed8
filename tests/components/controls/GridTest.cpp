// The grid: keyed columns, the append-by-writing rule, icons, fonts, the
// current row through removals, painting held back, mouse events and drops.
#include <QAccessible>
#include <QApplication>
#include <QDateTime>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "components/controls/ControlDrag.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"

namespace {

const QStringList kItemKeys = {"Inc", "Type", "Item Name", "Size", "Time", "Created", "Range", "COL_FILE",
                               "COL_RANGE_ALL", "COL_RANGE_START_TIME", "COL_RANGE_LENGTH_TIME", "COL_BYTES_SIZE",
                               "COL_TAG_ALBUM", "COL_TAG_ARTIST", "COL_TAG_COMMENT", "COL_TAG_GEN", "COL_TAG_YEAR",
                               "COL_TAG_TITLE", "COL_TAG_TRACK"};

// The item-row columns as the main grid sets them up: seven shown, the rest hidden.
void addItemColumns(cGrid& g)
{
    const int widths[] = {26, 40, 200, 80, 80, 140, 120};
    const bool shown[] = {true, true, true, false, false, false, true};
    for (int i = 0; i < kItemKeys.size(); ++i) {
        if (i < 7)
            g.AddColumn(kItemKeys[i], kItemKeys[i], 0, -1, widths[i], shown[i]);
        else
            g.AddColumn(kItemKeys[i], kItemKeys[i], 0, -1, -1, false);
    }
}

void fillRows(cGrid& g, int n)
{
    for (int r = 1; r <= n; ++r)
        g.SetCell(r, g.ColumnIndex("Item Name"), QString("item %1").arg(r));
}

QStringList names(cGrid& g)
{
    QStringList out;
    for (int r = 1; r <= g.RowCount(); ++r)
        out << g.CellText(r, g.ColumnIndex("Item Name"));
    return out;
}

} // namespace

TEST(Grid, ColumnsAreAddressedByKeyAndHiddenColumnsKeepTheirTexts)
{
    cGrid g;
    addItemColumns(g);
    ASSERT_EQ(g.ColumnCount(), 19);
    EXPECT_EQ(g.ColumnIndex("Inc"), 1);
    EXPECT_EQ(g.ColumnIndex("COL_FILE"), 8);
    EXPECT_EQ(g.ColumnIndex("COL_TAG_TRACK"), 19);
    EXPECT_EQ(g.ColumnIndex("col_file"), 0) << "keys compare exactly";
    EXPECT_EQ(g.ColumnIndex("nope"), 0);
    EXPECT_EQ(g.AddColumn("Inc", "again"), 0) << "a taken key adds no column";
    EXPECT_EQ(g.ColumnCount(), 19);

    EXPECT_TRUE(g.ColumnVisible(3));
    EXPECT_FALSE(g.ColumnVisible(4));
    EXPECT_FALSE(g.ColumnVisible(8));
    EXPECT_TRUE(g.tableView()->isColumnHidden(7));
    EXPECT_EQ(g.ColumnWidth(3), 200);
    EXPECT_EQ(g.ColumnHeader(8), "COL_FILE");

    // Texts written by key into hidden columns read back unchanged.
    g.SetCell(1, g.ColumnIndex("Item Name"), "intro");
    g.SetCell(1, g.ColumnIndex("COL_FILE"), "/music/intro.mp3");
    g.Cell(1, g.ColumnIndex("COL_TAG_ARTIST")).setCellText("Band");
    EXPECT_EQ(g.Cell(1, 8).CellText(), "/music/intro.mp3");
    EXPECT_EQ(g.Cell(1, g.ColumnIndex("COL_TAG_ARTIST")).CellText(), "Band");
    EXPECT_EQ(g.Cell(1, g.ColumnIndex("COL_TAG_ALBUM")).CellText(), "");

    // A column added to a grid that has rows gives every row an empty cell.
    g.AddColumn("Extra", "Extra", 0, -1, 50);
    EXPECT_EQ(g.CellText(1, 20), "");
    EXPECT_TRUE(g.SetCell(1, 20, "x"));
    EXPECT_EQ(g.CellText(1, 20), "x");
}

TEST(Grid, WritingTheRowAfterTheLastAppendsExactlyOneRow)
{
    struct Case {
        const char* what;
        int row;
        int col;
        bool written;
        int rowsAfter;
    };
    // The grid starts with two rows and three columns.
    const Case cases[] = {
        {"next row, first column", 3, 1, true, 3},
        {"next row, last column", 3, 3, true, 3},
        {"existing row", 2, 2, true, 2},
        {"two past the end", 4, 1, false, 2},
        {"row 0", 0, 1, false, 2},
        {"negative row", -1, 1, false, 2},
        {"column 0 of the next row", 3, 0, false, 2},
        {"column past the last of the next row", 3, 4, false, 2},
    };
    for (const Case& c : cases) {
        cGrid g;
        g.AddColumn("a", "A");
        g.AddColumn("b", "B");
        g.AddColumn("c", "C");
        g.SetCell(1, 1, "r1");
        g.SetCell(2, 1, "r2");
        EXPECT_EQ(g.SetCell(c.row, c.col, "v"), c.written) << c.what;
        EXPECT_EQ(g.RowCount(), c.rowsAfter) << c.what;
    }

    // Filling a new row cell by cell, in any column order, adds one row.
    cGrid g;
    g.AddColumn("a", "A");
    g.AddColumn("b", "B");
    g.AddColumn("c", "C");
    for (int col : {3, 1, 2})
        g.SetCell(1, col, QString::number(col));
    EXPECT_EQ(g.RowCount(), 1);
    EXPECT_EQ(g.CellText(1, 1) + g.CellText(1, 2) + g.CellText(1, 3), "123");

    // Cells outside the grid read empty and ignore writes.
    g.Cell(5, 1).setCellText("lost");
    g.Cell(1, 9).setCellIcon(3);
    EXPECT_EQ(g.RowCount(), 1);
    EXPECT_EQ(g.Cell(5, 1).CellText(), "");
    EXPECT_EQ(g.Cell(1, 9).CellIcon(), -1);
}

TEST(Grid, IconsMarksAndValues)
{
    cImageList images;
    stockimages::FillGridImages(&images);
    cGrid g;
    g.setImageList(&images);
    addItemColumns(g);
    const int inc = g.ColumnIndex("Inc");
    const int type = g.ColumnIndex("Type");

    g.SetCell(1, inc, QVariant(), cGrid::kIconCellFormat, 1);
    g.SetCell(1, type, "", cGrid::kIconCellFormat, 3);
    g.SetCell(1, g.ColumnIndex("Item Name"), "song");
    EXPECT_EQ(g.Cell(1, inc).CellIcon(), 1);
    EXPECT_EQ(g.Cell(1, type).CellIcon(), 3);
    EXPECT_EQ(g.Cell(1, inc).CellText(), "");
    EXPECT_EQ(g.Cell(1, g.ColumnIndex("Item Name")).CellIcon(), -1) << "no icon unless one is written";

    // A text written without an icon keeps the icon; the icon is changed on its own.
    g.SetCell(1, type, "");
    EXPECT_EQ(g.CellIcon(1, type), 3);
    g.Cell(1, inc).setCellIcon(0);
    EXPECT_EQ(g.CellIcon(1, inc), 0);

    // Icons are drawn from the image list; an index the list has no picture for draws nothing.
    QAbstractItemModel* m = g.tableView()->model();
    QCoreApplication::processEvents();
    EXPECT_FALSE(m->data(m->index(0, inc - 1), Qt::DecorationRole).value<QPixmap>().isNull());
    g.setCellIcon(1, inc, 2);
    EXPECT_TRUE(m->data(m->index(0, inc - 1), Qt::DecorationRole).value<QPixmap>().isNull());

    // Any value may be stored: numbers and dates read back as text and as themselves.
    g.SetCell(1, g.ColumnIndex("COL_BYTES_SIZE"), qint64(2048000));
    g.SetCell(1, g.ColumnIndex("Created"), QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)));
    EXPECT_EQ(g.CellText(1, g.ColumnIndex("COL_BYTES_SIZE")), "2048000");
    EXPECT_EQ(g.CellValue(1, g.ColumnIndex("COL_BYTES_SIZE")).toLongLong(), 2048000);
    EXPECT_EQ(g.CellText(1, g.ColumnIndex("Created")), "2024-03-05 14:07:09");
    EXPECT_EQ(g.CellValue(1, g.ColumnIndex("Created")).toDateTime().date(), QDate(2024, 3, 5));

    g.setRowData(1, 77);
    EXPECT_EQ(g.RowData(1), 77);
    EXPECT_EQ(g.RowData(2), 0);
}

TEST(Grid, RowFontsMakeTheRowBoldAndRegularAgain)
{
    cGrid g;
    addItemColumns(g);
    fillRows(g, 3);
    QFont bold("Sans", 8);
    bold.setBold(true);
    for (int c = 1; c <= g.ColumnCount(); ++c)
        g.setCellFont(2, c, bold);
    QAbstractItemModel* m = g.tableView()->model();
    QCoreApplication::processEvents();
    for (int c = 1; c <= g.ColumnCount(); ++c) {
        EXPECT_TRUE(g.CellFont(2, c).bold()) << c;
        EXPECT_FALSE(g.CellFont(1, c).bold()) << c;
        EXPECT_FALSE(g.CellFont(3, c).bold()) << c;
    }
    EXPECT_TRUE(m->data(m->index(1, 2), Qt::FontRole).value<QFont>().bold());

    QFont regular("Sans", 8);
    for (int r = 1; r <= g.RowCount(); ++r)
        for (int c = 1; c <= g.ColumnCount(); ++c)
            g.setCellFont(r, c, regular);
    EXPECT_FALSE(g.CellFont(2, 5).bold());
    EXPECT_EQ(g.CellFont(2, 5).pointSize(), 8);
}

TEST(Grid, CurrentRowStaysOnARemainingRowThroughRemovals)
{
    struct Case {
        int rows;
        int current;
        int removed;
        int currentAfter;
        bool rowChange;
    };
    const Case cases[] = {
        {5, 3, 3, 3, true},  // the row below moves into its place
        {5, 5, 5, 4, true},  // the last row: the new last one
        {5, 2, 4, 2, false}, // a row below the current one
        {5, 4, 1, 3, true},  // a row above: the same row, one number less
        {1, 1, 1, 0, true},  // no row remains
    };
    for (const Case& c : cases) {
        cGrid g;
        addItemColumns(g);
        fillRows(g, c.rows);
        g.setSelectedRow(c.current);
        const QString currentName = g.CellText(c.current, 3);
        QSignalSpy spy(&g, &cGrid::RowChange);
        g.RemoveRow(c.removed);
        EXPECT_EQ(g.RowCount(), c.rows - 1);
        EXPECT_EQ(g.SelectedRow(), c.currentAfter) << c.rows << " " << c.current << " " << c.removed;
        EXPECT_EQ(spy.size() > 0, c.rowChange) << c.current << " " << c.removed;
        if (c.removed != c.current) {
            EXPECT_EQ(g.CellText(g.SelectedRow(), 3), currentName) << "the same row stays current";
        }
    }

    // ClearRows leaves no current row; rows written afterwards start at 1.
    cGrid g;
    addItemColumns(g);
    fillRows(g, 4);
    g.setSelectedRow(2);
    g.ClearRows();
    EXPECT_EQ(g.RowCount(), 0);
    EXPECT_EQ(g.SelectedRow(), 0);
    fillRows(g, 2);
    EXPECT_EQ(names(g), QStringList({"item 1", "item 2"}));
}

TEST(Grid, RemovingTheSelectedRowsOneByOneKeepsTheOtherSelections)
{
    cGrid g;
    addItemColumns(g);
    fillRows(g, 6);
    g.show();
    g.setRedraw(true);
    QItemSelectionModel* sel = g.tableView()->selectionModel();
    g.setSelectedRow(2);
    for (int r : {4, 5})
        sel->select(g.tableView()->model()->index(r - 1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_TRUE(g.Cell(2, 1).CellSelected());
    EXPECT_FALSE(g.Cell(3, 1).CellSelected());

    // The removal walk of the list: row i - r, where r rows are gone already.
    QSignalSpy change(&g, &cGrid::RowChange);
    g.setRedraw(false);
    const int n = g.RowCount();
    int removed = 0;
    for (int i = 1; i <= n; ++i) {
        if (g.Cell(i - removed, 1).CellSelected()) {
            g.RemoveRow(i - removed);
            ++removed;
        }
    }
    EXPECT_EQ(change.size(), 0) << "held while painting is off";
    g.setRedraw(true);
    EXPECT_EQ(change.size(), 1) << "one event for the whole walk";
    EXPECT_EQ(names(g), QStringList({"item 1", "item 3", "item 6"}));
    EXPECT_GE(g.SelectedRow(), 1);
    EXPECT_LE(g.SelectedRow(), 3);
}

TEST(Grid, SettingTheSelectedRowSelectsOnlyThatRowAndRaisesRowChange)
{
    cGrid g;
    addItemColumns(g);
    fillRows(g, 5);
    QSignalSpy spy(&g, &cGrid::RowChange);
    g.setSelectedRow(4);
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy[0][0].toInt(), 4);
    EXPECT_EQ(g.SelectedRow(), 4);
    EXPECT_TRUE(g.Cell(4, 1).CellSelected());
    g.setSelectedRow(2);
    EXPECT_FALSE(g.Cell(4, 1).CellSelected());
    EXPECT_TRUE(g.Cell(2, 1).CellSelected());
    g.setSelectedRow(2);
    EXPECT_EQ(spy.size(), 2) << "setting the same row again is no change";
    g.setSelectedRow(9);
    g.setSelectedRow(0);
    EXPECT_EQ(g.SelectedRow(), 2) << "rows outside the grid are ignored";
}

TEST(Grid, RowsAddedWhilePaintingIsHeldReachTheViewAtOnce)
{
    cGrid g;
    addItemColumns(g);
    g.resize(400, 300);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    QAbstractItemModel* m = g.tableView()->model();
    QSignalSpy inserted(m, &QAbstractItemModel::rowsInserted);

    g.setRedraw(false);
    fillRows(g, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(g.RowCount(), 500);
    EXPECT_EQ(m->rowCount(), 0) << "the view hears of held rows only when painting resumes";
    g.setSelectedRow(500);
    EXPECT_EQ(g.SelectedRow(), 500);
    EXPECT_TRUE(g.Cell(500, 1).CellSelected());
    EXPECT_EQ(m->rowCount(), 0) << "moving the current row while held announces nothing";
    g.setRedraw(true);
    EXPECT_TRUE(g.tableView()->selectionModel()->isRowSelected(499, QModelIndex()));
    EXPECT_EQ(g.tableView()->currentIndex().row(), 499);
    EXPECT_EQ(m->rowCount(), 500);
    EXPECT_LE(inserted.size(), 2) << "one batch, not one notice per row";

    // With painting on, appended rows reach the view by the next pass of the event loop.
    fillRows(g, 510);
    QCoreApplication::processEvents();
    EXPECT_EQ(m->rowCount(), 510);
    EXPECT_EQ(m->data(m->index(509, 2)).toString(), "item 510");
}

// Rows made ahead (on another thread) and appended whole read back as rows
// written cell by cell; a row made for another width is left out.
TEST(Grid, RowsMadeAheadAppendAsIfWrittenCellByCell)
{
    cGrid g;
    addItemColumns(g);
    g.SetCell(1, 3, "written");
    std::vector<cGridRow> rows;
    std::thread maker([&] {
        for (int i = 0; i < 3; ++i) {
            cGridRow r(i == 1 ? 18 : 19);
            r.setCell(1, QVariant(), i);
            r.setCell(3, QString("made %1").arg(i));
            r.setCell(12, qint64(1000 + i));
            r.setCell(20, "outside the row");
            rows.push_back(std::move(r));
        }
    });
    maker.join();
    g.setRedraw(false);
    EXPECT_EQ(g.AppendRows(rows), 2);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(names(g), QStringList({"written", "made 0", "made 2"}));
    EXPECT_EQ(g.CellIcon(2, 1), 0);
    EXPECT_EQ(g.CellIcon(3, 1), 2);
    EXPECT_EQ(g.CellIcon(3, 2), -1);
    EXPECT_EQ(g.CellValue(3, 12), QVariant(qint64(1002)));
    EXPECT_EQ(g.tableView()->model()->rowCount(), 0) << "held rows reach the view when painting resumes";
    g.setRedraw(true);
    EXPECT_EQ(g.tableView()->model()->rowCount(), 3);

    // With painting on, they reach the view by the next pass of the event loop.
    rows.emplace_back(19);
    rows.back().setCell(3, "late");
    g.AppendRows(rows);
    EXPECT_EQ(g.RowCount(), 4);
    QCoreApplication::processEvents();
    EXPECT_EQ(g.tableView()->model()->rowCount(), 4);
}

TEST(Grid, PaintingWhileHeldAsksForRedraw)
{
    cGrid g;
    addItemColumns(g);
    fillRows(g, 3);
    g.resize(300, 200);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    QSignalSpy spy(&g, &cGrid::RedrawNeeded);
    g.setRedraw(false);
    g.tableView()->viewport()->repaint();
    g.tableView()->viewport()->repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.size(), 1) << "once per held period, after the paint";
    g.setRedraw(true);
    g.tableView()->viewport()->repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.size(), 1);
}

TEST(Grid, HundredThousandItemRowsFillQuickly)
{
    cGrid g;
    addItemColumns(g);
    g.resize(600, 400);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    const int n = 100000;
    QElapsedTimer t;
    t.start();
    for (int r = 1; r <= n; ++r) {
        g.SetCell(r, 1, QVariant(), cGrid::kIconCellFormat, 1);
        g.SetCell(r, 2, "", cGrid::kIconCellFormat, 3);
        for (int c = 3; c <= 19; ++c)
            g.SetCell(r, c, QStringLiteral("cell text"));
    }
    QCoreApplication::processEvents();
    g.setSelectedRow(n);
    QCoreApplication::processEvents();
    const qint64 ms = t.elapsed();
    EXPECT_EQ(g.RowCount(), n);
    EXPECT_EQ(g.tableView()->model()->rowCount(), n);
    // Loose bound: well under a second in an optimised build, a few under sanitizers.
    EXPECT_LT(ms, 8000) << ms << " ms";
    std::printf("100000 rows x 19 cells, painting on: %lld ms\n", static_cast<long long>(ms));

    t.restart();
    g.ClearRows();
    QCoreApplication::processEvents();
    EXPECT_LT(t.elapsed(), 2000);
}

TEST(Grid, MouseEventsReportButtonsCellsAndTwips)
{
    cGrid g;
    addItemColumns(g);
    fillRows(g, 4);
    g.resize(500, 300);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    QCoreApplication::processEvents();
    QTableView* v = g.tableView();

    QSignalSpy up(&g, &cGrid::GridMouseUp);
    QSignalSpy change(&g, &cGrid::RowChange);
    QSignalSpy dbl(&g, &cGrid::GridDblClick);

    const QRect cell = v->visualRect(v->model()->index(2, 0)); // row 3, column 1
    QTest::mouseClick(v->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_EQ(g.SelectedRow(), 3);
    EXPECT_EQ(g.SelectedCol(), 1);
    ASSERT_EQ(change.size(), 1);
    ASSERT_EQ(up.size(), 1);
    EXPECT_EQ(up[0][0].toInt(), 1);
    const QPoint inGrid = v->viewport()->mapTo(&g, cell.center());
    EXPECT_DOUBLE_EQ(up[0][2].toDouble(), inGrid.x() * 15.0);
    EXPECT_DOUBLE_EQ(up[0][3].toDouble(), inGrid.y() * 15.0);
    EXPECT_LT(up[0][2].toDouble(), 300.0) << "the mark column lies within 300 twips";

    const QRect name = v->visualRect(v->model()->index(1, 2)); // row 2, column 3
    QTest::mouseClick(v->viewport(), Qt::RightButton, Qt::ShiftModifier, name.center());
    ASSERT_EQ(up.size(), 2);
    EXPECT_EQ(up[1][0].toInt(), 2);
    EXPECT_EQ(up[1][1].toInt(), 1);

    QTest::mouseDClick(v->viewport(), Qt::LeftButton, Qt::NoModifier, name.center());
    ASSERT_EQ(dbl.size(), 1);
    EXPECT_EQ(dbl[0][0].toInt(), 2);
    EXPECT_EQ(dbl[0][1].toInt(), 3);
}

TEST(Grid, DroppedFilesBecomeTheirLocalPathsInOrder)
{
    QTemporaryDir dir;
    const QString a = dir.filePath("b song.mp3");
    const QString b = dir.filePath("a song.wav");
    cGrid g;
    addItemColumns(g);
    g.resize(300, 200);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    QWidget* vp = g.tableView()->viewport();
    QSignalSpy files(&g, &cGrid::GridOLEDragDrop);
    QSignalSpy control(&g, &cGrid::DragDrop);

    auto drop = [&](QMimeData* data) {
        const QPointF at(10, 12);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &enter);
        QDropEvent ev(at, Qt::CopyAction, data, Qt::NoButton, Qt::ControlModifier);
        QCoreApplication::sendEvent(vp, &ev);
        return std::make_pair(enter.isAccepted(), ev.isAccepted());
    };

    QMimeData mixed;
    mixed.setUrls({QUrl::fromLocalFile(a), QUrl("https://example.org/x.mp3"), QUrl::fromLocalFile(b)});
    EXPECT_EQ(drop(&mixed), std::make_pair(true, true));
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files[0][0].toStringList(), QStringList({a, b}));
    EXPECT_EQ(files[0][3].toInt(), 2) << "ctrl";
    const QPoint inGrid = vp->mapTo(&g, QPoint(10, 12));
    EXPECT_DOUBLE_EQ(files[0][4].toDouble(), inGrid.x() * 15.0);

    QMimeData remote;
    remote.setUrls({QUrl("https://example.org/x.mp3")});
    QMimeData text;
    text.setText("/not/a/url");
    EXPECT_EQ(drop(&remote), std::make_pair(false, false));
    EXPECT_EQ(drop(&text), std::make_pair(false, false));
    EXPECT_EQ(files.size(), 1) << "nothing local, no event";

    QMimeData splitter;
    splitter.setData(components::controlDragFormat(), "picResizer");
    drop(&splitter);
    EXPECT_EQ(files.size(), 1);
    ASSERT_EQ(control.size(), 1);
    EXPECT_DOUBLE_EQ(control[0][1].toDouble(), inGrid.x() * 15.0);
}

TEST(Grid, TheMarkColumnReportsItsBoxesCheckedStateToAccessibility)
{
    cGrid g;
    addItemColumns(g);
    fillRows(g, 2);
    g.setMarkColumn(1, 1);
    g.setCellIcon(1, 1, 1);
    g.setCellIcon(2, 1, 0);
    g.show();
    QCoreApplication::processEvents();
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(g.tableView());
    ASSERT_NE(view, nullptr);
    QAccessibleTableInterface* table = view->tableInterface();
    ASSERT_NE(table, nullptr);
    auto state = [&](int row, int col) { return table->cellAt(row - 1, col - 1)->state(); };
    EXPECT_TRUE(state(1, 1).checkable);
    EXPECT_TRUE(state(1, 1).checked);
    EXPECT_TRUE(state(2, 1).checkable);
    EXPECT_FALSE(state(2, 1).checked);
    EXPECT_FALSE(state(1, 2).checkable) << "only the mark column holds boxes";
    g.setCellIcon(2, 1, 1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(state(2, 1).checked);
}

TEST(Grid, TabLeavesTheGridAndItsOwnKeysGoToTheOwner)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* g = new cGrid(&window);
    auto* after = new QLineEdit(&window);
    layout->addWidget(g);
    layout->addWidget(after);
    addItemColumns(*g);
    fillRows(*g, 3);
    window.show();
    QCoreApplication::processEvents();
    g->setSelectedRow(2);
    QTableView* view = g->tableView();
    view->setFocus();
    QSignalSpy keys(g, &cGrid::GridKeyDown);
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Delete})
        QTest::keyClick(view, key);
    QTest::keyClick(view, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_EQ(keys.size(), 3) << "with a modifier a key keeps its selection meaning";
    EXPECT_EQ(keys[0][0].toInt(), int(Qt::Key_Space));
    EXPECT_EQ(keys[1][0].toInt(), int(Qt::Key_Return));
    EXPECT_EQ(keys[2][0].toInt(), int(Qt::Key_Delete));
    EXPECT_EQ(g->SelectedRow(), 2);

    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_EQ(window.focusWidget(), static_cast<QWidget*>(after));
    EXPECT_EQ(g->SelectedRow(), 2);
}
