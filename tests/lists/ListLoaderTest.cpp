// The list loader over real audio files, and clearing a list.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>
#include <csignal>
#include <sys/resource.h>

#include "core/TimeText.h"
#include "lists/ListFile.h"
#include "lists/ListLoader.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/lists/ListsWindow.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"
#include "tests/lists/ListRecords.h"
#include "tests/lists/StalledOpens.h"

namespace {

using testenv::readBytes;
using testenv::writeBytes;
using listrec::record;

class ListLoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testenv::tempRoot() + "/Lists/";
        audio = testenv::tempRoot() + "/audio/";
        QDir().mkpath(dir);
        QDir().mkpath(audio);
        g_sItemsListDir = dir;
        g_bCopyID3FromSource = false;
        g_bSelectTheLastItem = false;
    }

    // Writes the list file and shows it.
    cTreeNode show(const QString& name, const QByteArray& bytes)
    {
        writeBytes(dir + name, bytes);
        setTree();
        cTreeNode n = w.cTreeView1->Nodes().NodeItem(dir + name);
        cTreeView1_NodeClick(n);
        return n;
    }
    QString wav(const QString& name, double seconds)
    {
        return fixtures::writeToneWav(audio + name, seconds, 44100, 2, 16);
    }
    QString cell(int row, const QString& key) { return w.cGrid1->CellText(row, w.cGrid1->ColumnIndex(key)); }
    QVariant value(int row, const QString& key) { return w.cGrid1->CellValue(row, w.cGrid1->ColumnIndex(key)); }

    ListsWindow w;
    QString dir, audio;
};

TEST_F(ListLoaderTest, ShowsOnlyItemsWhoseFileOpensAndKeepsTheOthers)
{
    const QString a = wav("a.wav", 2.5);
    const QString b = audio + "b.mp3";
    ASSERT_TRUE(fixtures::runFfmpeg({"-i", wav("b-src.wav", 3.5), "-c:a", "libmp3lame", "-b:a", "128k", b}));
    const QString text = audio + "text.wav";
    writeBytes(text, "this is no audio at all, only some words that pretend to be a wave file");

    const QString missing = record("gone", audio + "missing.wav");
    const QString noAudio = record("text", text);
    const QString badMark = record("bad mark", a, {{"Inc", "x"}});
    const QString file = record("first", a, {{"COL_TAG_ARTIST", "Band"}}) + missing +
                         record("second", b, {{"Inc", "0"}}) + noAudio + badMark;
    const cTreeNode n = show("Mix.flst", (file + "\r\n").toUtf8());

    ASSERT_EQ(w.cGrid1->RowCount(), 2);
    EXPECT_EQ(cell(1, COL_ITEM_NAME), "first");
    EXPECT_EQ(cell(1, COL_TIME), "00:00:02"); // 2,500 ms: halves go to the even neighbour
    EXPECT_EQ(value(1, COL_BYTES_SIZE).toLongLong(), QFileInfo(a).size());
    EXPECT_EQ(cell(1, COL_SIZE), FormatFileSize(double(QFileInfo(a).size())));
    EXPECT_EQ(value(1, COL_CREATED).toDateTime(), GetFileCreatedDate(a));
    EXPECT_TRUE(value(1, COL_CREATED).toDateTime().isValid());
    EXPECT_EQ(cell(1, COL_RANGE), "All");
    EXPECT_EQ(cell(1, COL_TAG_ARTIST), "Band");
    EXPECT_EQ(w.cGrid1->CellIcon(1, 1), 1);
    EXPECT_EQ(w.cGrid1->CellIcon(1, 2), 3);
    EXPECT_EQ(cell(2, COL_ITEM_NAME), "second");
    EXPECT_EQ(cell(2, COL_TIME), "00:00:04"); // 3,500 ms plus the encoder's padding
    EXPECT_EQ(w.cGrid1->CellIcon(2, 1), 0);

    EXPECT_EQ(w.lblListName->text(), "Mix");
    EXPECT_FALSE(w.picEmptyMsg->isVisibleTo(&w.form));
    EXPECT_EQ(w.statusPanel("Main"), "Ready.");
    EXPECT_EQ(w.cGrid1->SelectedRow(), 1);
    EXPECT_EQ(w.cGridInfo->RowCount(), 9);
    EXPECT_TRUE(w.statusPanel("Items List Properties").startsWith("2 Items, "));
    EXPECT_FALSE(w.prgStatus->isVisibleTo(&w.form));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // A change of the shown rows is saved with the hidden records in their places.
    w.cGrid1->setCellIcon(2, 1, 1);
    ASSERT_TRUE(SaveGridToFile());
    const QString saved = QString::fromUtf8(readBytes(dir + "Mix.flst"));
    const QString expected = record("first", a, {{"COL_TAG_ARTIST", "Band"}}) + missing + record("second", b) +
                             noAudio + badMark + "\r\n";
    EXPECT_EQ(saved, expected);
    EXPECT_EQ(n.NodeKey(), dir + "Mix.flst");
}

TEST_F(ListLoaderTest, RangesAndMarksAreReadAsTheRecordsSay)
{
    const QString a = wav("a.wav", 1);
    const QString file =
        record("range", a, {{"COL_RANGE_ALL", "0"}, {"COL_RANGE_START_TIME", "30"}, {"COL_RANGE_LENGTH_TIME", "60"}}) +
        record("whole", a, {{"COL_RANGE_ALL", "1"}, {"COL_RANGE_START_TIME", "30"}, {"COL_RANGE_LENGTH_TIME", "60"}}) +
        record("odd", a, {{"COL_RANGE_ALL", "yes"}}) +
        record("bad start", a, {{"COL_RANGE_ALL", "0"}, {"COL_RANGE_START_TIME", "soon"}}) +
        record("data", a, {{"Type", "Data"}}) + record("twice", a) + record("twice", a) +
        "<ITEM><Inc>1</Inc><col_file>" + a + "</col_file></ITEM>" +
        "<ITEM><COL_FILE>" + a + "</COL_FILE><Extra>x</Extra><Item Name>shuffled</Item Name><Inc>0</Inc></ITEM>";
    show("R.flst", (file + "\r\n").toUtf8());

    ASSERT_EQ(w.cGrid1->RowCount(), 7);
    EXPECT_EQ(cell(1, COL_RANGE), "00:00:30 - 00:01:30");
    EXPECT_EQ(cell(1, COL_RANGE_ALL), "0");
    EXPECT_EQ(cell(1, COL_RANGE_START_TIME), "30");
    EXPECT_EQ(cell(1, COL_RANGE_LENGTH_TIME), "60");
    for (int row : {2, 3}) {
        EXPECT_EQ(cell(row, COL_RANGE), "All");
        EXPECT_EQ(cell(row, COL_RANGE_ALL), "1");
        EXPECT_EQ(cell(row, COL_RANGE_START_TIME), "");
        EXPECT_EQ(cell(row, COL_RANGE_LENGTH_TIME), "");
    }
    EXPECT_EQ(cell(4, COL_ITEM_NAME), "data");
    EXPECT_EQ(w.cGrid1->CellIcon(4, 2), 4);
    EXPECT_EQ(cell(5, COL_ITEM_NAME), "twice");
    EXPECT_EQ(cell(6, COL_ITEM_NAME), "twice");
    EXPECT_EQ(cell(7, COL_ITEM_NAME), "shuffled");
    EXPECT_EQ(w.cGrid1->CellIcon(7, 1), 0);
    // The record with a start that is no number, and the one whose file tag
    // is in the wrong case, are kept for the file.
    EXPECT_EQ(ShownListKeptRecords().size(), 2);
}

TEST_F(ListLoaderTest, ASavedListLoadsAndSavesToTheSameBytes)
{
    const QString a = wav("a.wav", 1);
    const QString b = wav("b.wav", 2);
    QMap<QString, QString> full{{"COL_RANGE_ALL", "0"},          {"COL_RANGE_START_TIME", "12"},
                                {"COL_RANGE_LENGTH_TIME", "34"},  {"COL_TAG_ALBUM", "Album ü"},
                                {"COL_TAG_ARTIST", "Artist <b>"}, {"COL_TAG_COMMENT", "Line 1\r\nLine 2"},
                                {"COL_TAG_GEN", "Rock"},          {"COL_TAG_YEAR", "1999"},
                                {"COL_TAG_TITLE", "Title & co"},  {"COL_TAG_TRACK", "7/12"}};
    const QByteArray bytes =
        (record("Nämé", a, full) + record("plain", b, {{"Inc", "0"}}) + "\r\n").toUtf8();
    show("Round.flst", bytes);
    ASSERT_EQ(w.cGrid1->RowCount(), 2);
    EXPECT_EQ(cell(1, COL_TAG_COMMENT), "Line 1\r\nLine 2");
    EXPECT_EQ(cell(1, COL_RANGE), "00:00:12 - 00:00:46");
    ASSERT_TRUE(SaveGridToFile());
    // The one change: the comment's line break is now kept as references,
    // so the record stays on the file's one line.
    full["COL_TAG_COMMENT"] = "Line 1&#13;&#10;Line 2";
    const QByteArray saved = (record("Nämé", a, full) + record("plain", b, {{"Inc", "0"}}) + "\r\n").toUtf8();
    EXPECT_EQ(readBytes(dir + "Round.flst"), saved);
    show("Round.flst", saved);
    EXPECT_EQ(cell(1, COL_TAG_COMMENT), "Line 1\r\nLine 2");
    ASSERT_TRUE(SaveGridToFile());
    EXPECT_EQ(readBytes(dir + "Round.flst"), saved);
}

// What the loader does not show goes back into the file as it stood: text
// before the first record, and a record whose mark is neither 0 nor 1 (never
// a third mark state in the grid).
TEST_F(ListLoaderTest, KeptTextIsWrittenBackExactly)
{
    const QString a = wav("a.wav", 1);
    const struct {
        const char* name;
        QString preamble;
        QString inc;
        int rows;
    } cases[] = {
        {"text before the first record", "written by hand\r\n", "1", 2},
        {"a mark of 2", "", "2", 1},
        {"a mark of -1", "", "-1", 1},
        {"a mark of 7 after text", "x", "7", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString odd = record("odd", a, {{"Inc", c.inc}});
        const QString file = c.preamble + record("first", a) + odd + "\r\n";
        show("Kept.flst", file.toUtf8());
        ASSERT_EQ(w.cGrid1->RowCount(), c.rows);
        for (int row = 1; row <= c.rows; ++row)
            EXPECT_EQ(w.cGrid1->CellIcon(row, 1), 1);
        w.cGrid1->setCellIcon(1, 1, 0);
        ASSERT_TRUE(SaveGridToFile());
        EXPECT_EQ(QString::fromUtf8(readBytes(dir + "Kept.flst")),
                  c.preamble + record("first", a, {{"Inc", "0"}}) + odd + "\r\n");
    }
}

TEST_F(ListLoaderTest, EmptyListFilesShowTheEmptyListPicture)
{
    for (const QByteArray& bytes : {QByteArray(), QByteArray("\r\n")}) {
        w.picEmptyMsg->hide();
        w.lblAddorDrag->setText("Add or Drag and Drop audio files to here.");
        show("Empty.flst", bytes);
        EXPECT_EQ(w.cGrid1->RowCount(), 0);
        EXPECT_TRUE(w.picEmptyMsg->isVisibleTo(&w.form));
        EXPECT_EQ(w.lblEmptylist->text(), "Empty list.");
        EXPECT_EQ(w.lblAddorDrag->text(), "Add or Drag and Drop audio items to here.");
        EXPECT_EQ(w.statusPanel("Items List Properties"), "0 Items, 0 KB, 00:00:00");
        EXPECT_EQ(w.cGridInfo->RowCount(), 0);
        EXPECT_TRUE(w.cGrid1->Redraw());
        EXPECT_TRUE(ShownListKeptRecords().isEmpty());
        ASSERT_TRUE(SaveGridToFile());
        EXPECT_EQ(readBytes(dir + "Empty.flst"), QByteArray("\r\n"));
    }
}

TEST_F(ListLoaderTest, TheOptionsChooseTheCurrentRowAndWhereTagsComeFrom)
{
    const QString src = wav("src.wav", 1);
    const QString tagged = audio + "tagged.mp3";
    ASSERT_TRUE(fixtures::runFfmpeg({"-i", src, "-c:a", "libmp3lame", "-metadata", "artist=File Artist", "-metadata",
                                     "title=File Title", "-metadata", "album=File Album", tagged}));
    QString file;
    for (int i = 1; i <= 5; ++i)
        file += record(QString::number(i), tagged, {{"COL_TAG_ARTIST", "List Artist"}, {"COL_TAG_YEAR", "1970"}});

    g_bSelectTheLastItem = true;
    g_bCopyID3FromSource = true;
    show("Tags.flst", file.toUtf8());
    ASSERT_EQ(w.cGrid1->RowCount(), 5);
    EXPECT_EQ(w.cGrid1->SelectedRow(), 5);
    EXPECT_EQ(cell(1, COL_TAG_ARTIST), "File Artist");
    EXPECT_EQ(cell(1, COL_TAG_TITLE), "File Title");
    EXPECT_EQ(cell(1, COL_TAG_ALBUM), "File Album");
    EXPECT_EQ(cell(1, COL_TAG_YEAR), "");

    g_bSelectTheLastItem = false;
    g_bCopyID3FromSource = false;
    cTreeView1_NodeClick(w.cTreeView1->SelectedNode());
    EXPECT_EQ(w.cGrid1->SelectedRow(), 1);
    EXPECT_EQ(cell(1, COL_TAG_ARTIST), "List Artist");
    EXPECT_EQ(cell(1, COL_TAG_YEAR), "1970");
}

// With tags taken from the files, a file holding no tag text at all (a WAV
// without tags) has nothing to give: the item keeps the texts typed for it,
// on show, after a save and at the next load.
TEST_F(ListLoaderTest, AFileWithoutTagTextsLeavesTheItemItsOwnTexts)
{
    const QString plain = wav("plain.wav", 1);
    const QMap<QString, QString> typed{{"COL_TAG_ARTIST", "Typed Artist"}, {"COL_TAG_TITLE", "Typed Title"},
                                       {"COL_TAG_YEAR", "2001"}};
    const QByteArray bytes = (record("plain", plain, typed) + "\r\n").toUtf8();
    g_bCopyID3FromSource = true;
    show("Typed.flst", bytes);
    ASSERT_EQ(w.cGrid1->RowCount(), 1);
    EXPECT_EQ(cell(1, COL_TAG_ARTIST), "Typed Artist");
    EXPECT_EQ(cell(1, COL_TAG_TITLE), "Typed Title");
    EXPECT_EQ(cell(1, COL_TAG_YEAR), "2001");

    // An edit saves the list: the texts stay in it, and come back at the next load.
    w.cGrid1->setCellIcon(1, 1, 0);
    ASSERT_TRUE(SaveGridToFile());
    QMap<QString, QString> unmarked = typed;
    unmarked["Inc"] = "0";
    EXPECT_EQ(QString::fromUtf8(readBytes(dir + "Typed.flst")), record("plain", plain, unmarked) + "\r\n");
    cTreeView1_NodeClick(w.cTreeView1->SelectedNode());
    EXPECT_EQ(cell(1, COL_TAG_ARTIST), "Typed Artist");
}

TEST_F(ListLoaderTest, ARootEmptiesTheGridOnlyAndAPlayingItemStopsFirst)
{
    const QString a = wav("a.wav", 1);
    const cTreeNode list = show("A.flst", (record("a", a) + "\r\n").toUtf8());
    ASSERT_EQ(w.cGrid1->RowCount(), 1);
    w.picEmptyMsg->hide();

    cTreeView1_NodeClick(g_nodItemsLists);
    EXPECT_EQ(w.cGrid1->RowCount(), 0);
    EXPECT_EQ(w.lblListName->text(), "A");
    EXPECT_FALSE(w.picEmptyMsg->isVisibleTo(&w.form));
    // The emptied grid is not the list: it is never saved over it.
    cTreeNode(list).setNodeSelected(true);
    EXPECT_FALSE(SaveGridToFile());
    EXPECT_EQ(readBytes(dir + "A.flst"), (record("a", a) + "\r\n").toUtf8());

    w.playing = true;
    cTreeView1_NodeClick(list);
    EXPECT_EQ(w.stops, 1);
    EXPECT_EQ(w.cGrid1->RowCount(), 1);

    // While a load runs, another one returns at once.
    setListLoading(true);
    cTreeView1_NodeClick(g_nodItemsLists);
    EXPECT_EQ(w.cGrid1->RowCount(), 1);
    setListLoading(false);
}

// While a load waits on an audio file that does not answer (a stalled mount),
// the window goes on: its timers run, its progress bar shows the records
// passed so far, and saves are refused, so the file stays as it was.
TEST_F(ListLoaderTest, ALongLoadKeepsTheWindowGoingAndSavesNothingMeanwhile)
{
    const QString a = wav("a.wav", 0.5);
    QString file;
    // Records that open no file come first: the load passes them, then waits.
    for (int i = 0; i < 1500; ++i)
        file += record(QString::number(i), a, {{"Inc", "x"}});
    for (int i = 0; i < 1500; ++i)
        file += record(QString::number(i), a);
    writeBytes(dir + "Long.flst", (file + "\r\n").toUtf8());
    setTree();

    StalledOpens stalled;
    int ticks = 0;
    int refusedSaves = 0;
    long progressSeen = 0;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!IsListLoading() || stalled.waited() == 0 || stalled.released())
            return;
        ++ticks;
        refusedSaves += SaveGridToFile() ? 0 : 1;
        progressSeen = std::max(progressSeen, w.prgStatus->ProgressValue());
        // The bar has come up to the record that waits: the file answers.
        if (ticks >= 3 && progressSeen >= 1500)
            stalled.release();
    });
    timer.start();
    cTreeView1_NodeClick(w.cTreeView1->Nodes().NodeItem(dir + "Long.flst"));
    timer.stop();

    EXPECT_EQ(w.cGrid1->RowCount(), 1500);
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(refusedSaves, ticks);
    EXPECT_GE(progressSeen, 1500);
    EXPECT_EQ(w.prgStatus->ProgressMax(), 3000);
    EXPECT_EQ(stalled.onWindowThread(), 0);
    EXPECT_EQ(readBytes(dir + "Long.flst"), (file + "\r\n").toUtf8());
}

TEST_F(ListLoaderTest, ClearingAsksThenLeavesALineEnd)
{
    testenv::ScriptedMessageBoxes boxes;
    const QString a = wav("a.wav", 1);
    const QByteArray bytes = (record("a", a) + record("gone", audio + "gone.wav") + "\r\n").toUtf8();
    show("Clear.flst", bytes);
    ASSERT_EQ(w.cGrid1->RowCount(), 1);

    boxes.answer(vbNo);
    ClearTheList();
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_EQ(boxes.prompts()[0],
              "This operation will erase all the items under the 'Clear' list.\r\n\r\nAre you sure?");
    EXPECT_EQ(boxes.shown()[0].style, vbExclamation + vbYesNo);
    EXPECT_EQ(readBytes(dir + "Clear.flst"), bytes);
    EXPECT_EQ(w.cGrid1->RowCount(), 1);

    boxes.answer(vbYes);
    ClearTheList();
    EXPECT_EQ(readBytes(dir + "Clear.flst"), QByteArray("\r\n"));
    EXPECT_EQ(w.cGrid1->RowCount(), 0);
    EXPECT_TRUE(w.picEmptyMsg->isVisibleTo(&w.form));

    // An empty grid: no question at all.
    boxes.clear();
    ClearTheList();
    EXPECT_TRUE(boxes.prompts().isEmpty());
}

TEST_F(ListLoaderTest, ClearingWhileAnItemPlaysStopsItOrGivesUp)
{
    testenv::ScriptedMessageBoxes boxes;
    const QString a = wav("a.wav", 1);
    const QByteArray bytes = (record("a", a) + "\r\n").toUtf8();
    show("P.flst", bytes);
    SetRowBold(1, true);

    // The player will not stop: nothing is asked or cleared.
    w.playing = true;
    w.keepsPlaying = true;
    ClearTheList();
    EXPECT_EQ(w.stops, 1);
    EXPECT_TRUE(boxes.prompts().isEmpty());
    EXPECT_EQ(readBytes(dir + "P.flst"), bytes);

    w.keepsPlaying = false;
    boxes.answer(vbYes);
    ClearTheList();
    EXPECT_EQ(w.stops, 2);
    EXPECT_EQ(boxes.prompts().size(), 1);
    EXPECT_EQ(readBytes(dir + "P.flst"), QByteArray("\r\n"));
}

TEST_F(ListLoaderTest, AClearThatCannotBeWrittenKeepsTheItems)
{
    const QString a = wav("a.wav", 1);
    const QByteArray bytes = (record("a", a) + "\r\n").toUtf8();
    show("Keep.flst", bytes);
    ASSERT_EQ(w.cGrid1->RowCount(), 1);

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit none = old;
    none.rlim_cur = 0;
    testenv::ScriptedMessageBoxes boxes;
    setrlimit(RLIMIT_FSIZE, &none);
    DoClearTheList();
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_EQ(readBytes(dir + "Keep.flst"), bytes);
    EXPECT_EQ(w.cGrid1->RowCount(), 1);
    // The user hears of it, with the file.
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_TRUE(boxes.prompts()[0].contains(dir + "Keep.flst")) << boxes.prompts()[0].toStdString();
}

} // namespace
