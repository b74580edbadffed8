// The item row, the main grid's set-up, the totals, the status summary, the
// information grid and the row copy.
#include <gtest/gtest.h>

#include <QFile>
#include <QTest>
#include <memory>

#include "components/audio/AudioFileProbe.h"
#include "lists/ItemRow.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/components/audio/StalledReads.h"
#include "tests/lists/ListsWindow.h"
#include "tests/support/TestEnv.h"

namespace {

struct Column {
    const char* key;
    const char* header;
    int width;
    bool shown;
};

TEST(ItemRowTest, MainGridHasTheNineteenColumnsInOrder)
{
    ListsWindow w;
    const Column expected[] = {
        {"Inc", "Inc", 26, true},
        {"Type", "Type", 40, true},
        {"Item Name", "Item Name", 200, true},
        {"Size", "Size", 80, false},
        {"Time", "Time-Length", 80, false},
        {"Created", "Created", 140, false},
        {"Range", "Range", 120, true},
        {"COL_FILE", "COL_FILE", -1, false},
        {"COL_RANGE_ALL", "COL_RANGE_ALL", -1, false},
        {"COL_RANGE_START_TIME", "COL_RANGE_START_TIME", -1, false},
        {"COL_RANGE_LENGTH_TIME", "COL_RANGE_LENGTH_TIME", -1, false},
        {"COL_BYTES_SIZE", "COL_BYTES_SIZE", -1, false},
        {"COL_TAG_ALBUM", "COL_TAG_ALBUM", -1, false},
        {"COL_TAG_ARTIST", "COL_TAG_ARTIST", -1, false},
        {"COL_TAG_COMMENT", "COL_TAG_COMMENT", -1, false},
        {"COL_TAG_GEN", "COL_TAG_GEN", -1, false},
        {"COL_TAG_YEAR", "COL_TAG_YEAR", -1, false},
        {"COL_TAG_TITLE", "COL_TAG_TITLE", -1, false},
        {"COL_TAG_TRACK", "COL_TAG_TRACK", -1, false},
    };
    cGrid* g = w.cGrid1;
    ASSERT_EQ(g->ColumnCount(), 19);
    for (int i = 0; i < 19; ++i) {
        SCOPED_TRACE(expected[i].key);
        EXPECT_EQ(g->ColumnKey(i + 1), expected[i].key);
        EXPECT_EQ(g->ColumnHeader(i + 1), expected[i].header);
        EXPECT_EQ(g->ColumnVisible(i + 1), expected[i].shown);
        if (expected[i].width > 0) {
            EXPECT_EQ(g->ColumnWidth(i + 1), expected[i].width);
        }
    }
    EXPECT_EQ(g->RowHeight(), 24);
    EXPECT_EQ(g->ImageList(), w.imgGrid);
    EXPECT_TRUE(g->GridLines());
    EXPECT_TRUE(g->HotTrack());

    cGrid* info = w.cGridInfo;
    ASSERT_EQ(info->ColumnCount(), 2);
    EXPECT_EQ(info->ColumnKey(1), "Name");
    EXPECT_EQ(info->ColumnKey(2), "Value");
    EXPECT_EQ(info->ColumnWidth(1), 70);
    EXPECT_EQ(info->ColumnWidth(2), 130);
    EXPECT_EQ(info->RowHeight(), 20);
}

TEST(ItemRowTest, TotalsHonourRangesMarksAndLargeFiles)
{
    ListsWindow w;
    cGrid* g = w.cGrid1;
    // Whole file of 2:00, a 90 s range of a 10-minute file, an unmarked whole file of 1:00.
    addTestRow(g, {1, "a", "/a.wav", "00:02:00", 1024000});
    addTestRow(g, {1, "b", "/b.wav", "00:10:00", 1000000, "0", "30", "90"});
    addTestRow(g, {0, "c", "/c.wav", "00:01:00", 24000});

    EXPECT_EQ(GetTotalTime(false), "270");
    EXPECT_EQ(GetTotalTime(true), "210");
    EXPECT_EQ(GetTotalSize(false), "1.95 MB");
    EXPECT_EQ(GetMarkedCount(), 2);
    EXPECT_EQ(GridSummaryText(g), "3 Items, 1.95 MB, 00:04:30");
    DisplayGridInfoStatusBar();
    EXPECT_EQ(w.statusPanel("Items List Properties"), "3 Items, 1.95 MB, 00:04:30");

    // A range without a length counts nothing; nothing marked counts nothing.
    ListsWindow w2;
    addTestRow(w2.cGrid1, {0, "d", "/d.wav", "00:05:00", 0, "0", "10", ""});
    EXPECT_EQ(GetTotalTime(false), "0");
    EXPECT_EQ(GetTotalTime(true), "0");
    EXPECT_EQ(GetMarkedCount(), 0);
    // Zero bytes in all: the size reads "0", not "0 KB".
    EXPECT_EQ(GridSummaryText(w2.cGrid1), "1 Items, 0, 00:00:00");

    // Sizes past 2 GB in all still count every row.
    ListsWindow w3;
    for (int i = 0; i < 3; ++i)
        addTestRow(w3.cGrid1, {1, "big", "/big.wav", "10:00:00", 1500000000LL});
    EXPECT_EQ(TotalBytes(false), 4500000000LL);
    EXPECT_EQ(GetTotalSize(false), "4.19 GB");
    // Thirty hours in all are shown as such.
    EXPECT_EQ(GridSummaryText(w3.cGrid1), "3 Items, 4.19 GB, 30:00:00");
}

TEST(ItemRowTest, StatusSummaryOfTheExampleAndOfAnEmptyList)
{
    ListsWindow w;
    DisplayGridInfoStatusBar();
    EXPECT_EQ(w.statusPanel("Items List Properties"), "0 Items, 0 KB, 00:00:00");
    addTestRow(w.cGrid1, {1, "a", "/a.wav", "00:01:50", 1000000});
    addTestRow(w.cGrid1, {1, "b", "/b.wav", "00:02:00", 1000000});
    addTestRow(w.cGrid1, {1, "c", "/c.wav", "00:01:40", 48000});
    DisplayGridInfoStatusBar();
    EXPECT_EQ(w.statusPanel("Items List Properties"), "3 Items, 1.95 MB, 00:05:30");
}

// The information grid's rows; the format rows come from the file itself.
QStringList infoValues(cGrid* info)
{
    QStringList values;
    for (int row = 1; row <= info->RowCount(); ++row)
        values << info->CellText(row, 2);
    return values;
}

bool waitForFormat(cGrid* info)
{
    return QTest::qWaitFor([info] { return info->RowCount() == 9 && !info->CellText(6, 2).isEmpty(); }, 10000);
}

TEST(ItemRowTest, InformationGridDescribesTheCurrentRow)
{
    ListsWindow w;
    GetFileInfoToGridInfo();
    EXPECT_EQ(w.cGridInfo->RowCount(), 0);

    const QString dir = testenv::tempRoot() + "/";
    addTestRow(w.cGrid1, {1, "intro", dir + "missing.mp3", "00:03:25", 3280000});
    const QDateTime created(QDate(2021, 3, 4), QTime(5, 6, 7), Qt::UTC);
    struct Case {
        int channels;
        const char* bitrate; // 1 s of 22,050 Hz 16-bit PCM and its header, in kbit/s
        const char* shown;
    };
    for (const Case c : {Case{1, "353", "MONO"}, Case{2, "706", "STEREO"}, Case{6, "2117", "STEREO"}}) {
        SCOPED_TRACE(c.channels);
        const QString file = fixtures::writeToneWav(dir + QString("outro%1.wav").arg(c.channels), 1, 22050, c.channels);
        addTestRow(w.cGrid1, {1, "outro", file, "00:00:10", 1764044});
        const int row = w.cGrid1->RowCount();
        w.cGrid1->SetCell(row, w.cGrid1->ColumnIndex(COL_CREATED), created);
        w.cGrid1->setSelectedRow(row);
        GetFileInfoToGridInfo();
        cGrid* info = w.cGridInfo;
        ASSERT_EQ(info->RowCount(), 9);
        const QStringList labels{"File Name", "Total Time", "File Size", "Created", "Format",
                                 "Samples",   "Bitrate",    "Channels",  "Item"};
        for (int i = 1; i <= 9; ++i)
            EXPECT_EQ(info->CellText(i, 1), labels[i - 1]);
        // The row's own cells at once; the file's format once it has been read.
        EXPECT_EQ(infoValues(info), (QStringList{"outro", "00:00:10", "1.68 MB", "2021-03-04 05:06:07", "WAV", "",
                                                 "", "", QString::number(row)}));
        ASSERT_TRUE(waitForFormat(info));
        EXPECT_EQ(infoValues(info), (QStringList{"outro", "00:00:10", "1.68 MB", "2021-03-04 05:06:07", "WAV",
                                                 "22050", c.bitrate, c.shown, QString::number(row)}));
    }

    // A file that cannot be read shows no format, not the last file's.
    w.cGrid1->setSelectedRow(1);
    GetFileInfoToGridInfo();
    ASSERT_TRUE(waitForFormat(w.cGridInfo));
    EXPECT_EQ(infoValues(w.cGridInfo).mid(4), (QStringList{"MP3", "0", "0", "STEREO", "1"}));

    // Back on a row read before: its format shows at once.
    w.cGrid1->setSelectedRow(2);
    GetFileInfoToGridInfo();
    EXPECT_EQ(infoValues(w.cGridInfo).mid(5, 3), (QStringList{"22050", "353", "MONO"}));
}

// A disk that stalls (here: every read of the probe waits on a pipe nobody
// writes to) never holds the window: no file is opened on its thread, other
// rows still show, and the window goes at once.
TEST(ItemRowTest, InformationGridNeverWaitsOnTheFile)
{
    const QString dir = testenv::tempRoot() + "/";
    const QString slow = fixtures::writeToneWav(dir + "slow.wav", 1, 8000, 1);
    const QString quick = fixtures::writeToneWav(dir + "quick.wav", 1, 11025, 2);
    auto w = std::make_unique<ListsWindow>();
    addTestRow(w->cGrid1, {1, "slow", slow, "00:00:01", 8044});
    addTestRow(w->cGrid1, {1, "quick", quick, "00:00:01", 44144});

    StalledReads opens;
    ASSERT_TRUE(opens.ready());
    w->cGrid1->setSelectedRow(1);
    EXPECT_FALSE(opens.callWaitedForThem([] { GetFileInfoToGridInfo(); }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return opens.stalled() > 0; }, 5000));
    EXPECT_EQ(w->cGridInfo->CellText(1, 2), "slow");
    EXPECT_EQ(w->cGridInfo->CellText(6, 2), "");

    // Another row while the first read hangs; asking again for the hung file
    // starts no second read of it.
    opens.letThrough();
    w->cGrid1->setSelectedRow(2);
    GetFileInfoToGridInfo();
    ASSERT_TRUE(waitForFormat(w->cGridInfo));
    EXPECT_EQ(infoValues(w->cGridInfo).mid(5, 3), (QStringList{"11025", "353", "STEREO"}));
    // A second read would start within the call: counted there, not waited for.
    opens.stall();
    w->cGrid1->setSelectedRow(1);
    const int reads = ItemFileProbe()->readsStarted();
    GetFileInfoToGridInfo();
    EXPECT_EQ(ItemFileProbe()->readsStarted(), reads);
    EXPECT_EQ(opens.waiting(), 1);
    EXPECT_EQ(w->cGridInfo->CellText(6, 2), "");

    // The window goes with the read still hung.
    EXPECT_FALSE(opens.callWaitedForThem([&] { w.reset(); }));
    EXPECT_EQ(opens.waiting(), 1);
    EXPECT_EQ(opens.onWindowThread(), 0);
}

TEST(ItemRowTest, CopyGridRowsTakesMarkedRowsOrAllWithTheirMarks)
{
    ListsWindow w;
    for (int i = 1; i <= 5; ++i)
        addTestRow(w.cGrid1, {(i == 2 || i == 5) ? 1 : 0, QStringLiteral("item%1").arg(i),
                              QStringLiteral("/m/%1.wav").arg(i)});
    const QDateTime created(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC);
    w.cGrid1->SetCell(5, w.cGrid1->ColumnIndex(COL_CREATED), created);

    cGrid marked;
    SetGrid(&marked, w.imgGrid);
    CopyGridRows(w.cGrid1, &marked, true);
    ASSERT_EQ(marked.RowCount(), 2);
    EXPECT_EQ(marked.CellText(1, 3), "item2");
    EXPECT_EQ(marked.CellText(2, 3), "item5");
    EXPECT_EQ(marked.CellIcon(1, 1), -1);
    EXPECT_EQ(marked.CellIcon(2, 1), -1);
    EXPECT_EQ(marked.CellValue(2, marked.ColumnIndex(COL_CREATED)).toDateTime(), created);
    for (int col = 2; col <= 19; ++col)
        EXPECT_EQ(marked.CellText(2, col), w.cGrid1->CellText(5, col)) << col;
    EXPECT_EQ(marked.SelectedRow(), 1);

    cGrid all;
    SetGrid(&all, w.imgGrid);
    CopyGridRows(w.cGrid1, &all, false);
    ASSERT_EQ(all.RowCount(), 5);
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(all.CellIcon(i, 1), w.cGrid1->CellIcon(i, 1));
        EXPECT_EQ(all.CellText(i, 8), w.cGrid1->CellText(i, 8));
    }

    cGrid none;
    SetGrid(&none, w.imgGrid);
    ListsWindow empty;
    CopyGridRows(empty.cGrid1, &none, false);
    EXPECT_EQ(none.RowCount(), 0);
}

TEST(ItemRowTest, TextsOfTimesRangesAndTrackTypes)
{
    EXPECT_EQ(TimeCellText(0), "00:00:00");
    EXPECT_EQ(TimeCellText(330), "00:05:30");
    EXPECT_EQ(TimeCellText(90000), "25:00:00");
    EXPECT_EQ(RangeCellText(30, 60), "00:00:30 - 00:01:30");
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(GetTrackTypeImage("Audio"), 3);
    EXPECT_EQ(GetTrackTypeImage("Data"), 4);
    EXPECT_EQ(GetTrackTypeImage("audio"), 0);
    EXPECT_EQ(GetTrackTypeImage(""), 0);
}

TEST(ItemRowTest, RowFontsFollowThePlayingRow)
{
    ListsWindow w;
    addTestRow(w.cGrid1, {1, "a", "/a.wav"});
    addTestRow(w.cGrid1, {1, "b", "/b.wav"});
    SetRowBold(2, true);
    EXPECT_TRUE(w.cGrid1->CellFont(2, 1).bold());
    EXPECT_TRUE(w.cGrid1->CellFont(2, 19).bold());
    EXPECT_FALSE(w.cGrid1->CellFont(1, 1).bold());
    SetRowUnBold();
    EXPECT_FALSE(w.cGrid1->CellFont(2, 1).bold());
    EXPECT_EQ(w.cGrid1->CellFont(2, 1).pointSize(), 8);
}

} // namespace
