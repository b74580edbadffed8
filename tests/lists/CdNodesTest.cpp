// CD drive nodes over generated cue/bin images standing in for drives: the
// tree's drive nodes, the track rows, the disc polling, the first-audio-CD
// selection and the ripper's error box.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTest>
#include <sys/stat.h>

#include "components/disc/cAudioCDRipper.h"
#include "components/controls/cContextMenu.h"
#include "core/Edition.h"
#include "core/TimeText.h"
#include "lists/CdDrives.h"
#include "lists/ListFile.h"
#include "lists/ListLoader.h"
#include "tests/components/disc/CdImageFixture.h"
#include "tests/lists/ListsWindow.h"
#include "tests/support/TestEnv.h"

using namespace cdimage;

namespace {

// The lists' window with the ripper in it, a router that records the
// commands it is asked to run, and a menu that knows "FreeDB".
class CdWindow : public ListsWindow {
public:
    CdWindow()
    {
        cAudioCDRipper1 = new cAudioCDRipper(&form);
        m_cMenu = new cContextMenu(&form);
        m_cMenu->AddMenuItem("FreeDB", QString(), 0, 0, -1, false, true, "FreeDB");
    }
    void m_cMenu_Click(int ItemNumber) override { commands << m_cMenu->ItemKey(ItemNumber); }
    QStringList commands;
};

class CdNodesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        lists = dir.path() + "/Lists/";
        QDir().mkpath(lists);
        QFile(lists + "Mix.flst").open(QIODevice::WriteOnly);
        g_sItemsListDir = lists;
        g_bSelectTheLastItem = false;
        g_bAutoFreeDB = false;
    }

    // Image drives for these cue files (Z: for the first, Y: for the next ...),
    // then the window with its tree built.
    void open(const QStringList& cues, bool withCDRoot = true)
    {
        qputenv("KELVANE_CD_IMAGES", cues.join(':').toLocal8Bit());
        w.reset(); // the window goes before the next one registers
        w = std::make_unique<CdWindow>();
        g_lAppIncCDRipper = withCDRoot ? 1 : 0;
        setTree();
    }
    QString cue(const QString& base) const { return dir.path() + "/" + base + ".cue"; }

    cTreeNode drive(const QString& letter) const
    {
        const cTreeNodes drives = g_nodAudioCDs.ChildNodes();
        for (int i = 1; i <= drives.NodeCount(); ++i)
            if (GetCDNameNode(drives.NodeItem(i).NodeKey()) == letter)
                return drives.NodeItem(i);
        return {};
    }
    cTreeNode listNode() const { return g_nodItemsLists.ChildNodes().NodeItem(1); }
    void show(const QString& letter)
    {
        const cTreeNode node = drive(letter);
        ASSERT_TRUE(node) << letter.toStdString();
        cTreeView1_NodeClick(node);
    }

    cGrid* grid() const { return w->cGrid1; }
    QString cell(int row, const QString& key) const { return grid()->CellText(row, grid()->ColumnIndex(key)); }
    int icon(int row, const QString& key) const { return grid()->CellIcon(row, grid()->ColumnIndex(key)); }
    QStringList names() const
    {
        QStringList out;
        for (int row = 1; row <= grid()->RowCount(); ++row)
            out << cell(row, COL_ITEM_NAME) + " " + cell(row, COL_TIME);
        return out;
    }
    bool showsInsertHint() const
    {
        return grid()->RowCount() == 0 && !w->picEmptyMsg->isHidden() &&
               w->lblAddorDrag->text() == "Insert an Audio CD to the CD drive.";
    }

    QTemporaryDir dir;
    QString lists;
    testenv::ScriptedMessageBoxes boxes;
    std::unique_ptr<CdWindow> w;
};

TEST_F(CdNodesTest, DriveNodesFollowTheDevicesWhenTheRipperIsPartOfTheEdition)
{
    writeImage(dir.path(), "album", {{2 * kSecond}}, 1);
    open({cue("album"), cue("absent")});

    ASSERT_TRUE(g_nodAudioCDs);
    EXPECT_EQ(g_nodAudioCDs.NodeText(), "Audio CDs");
    const cTreeNodes drives = g_nodAudioCDs.ChildNodes();
    ASSERT_EQ(drives.NodeCount(), w->cAudioCDRipper1->DeviceCount());
    for (int i = 1; i <= drives.NodeCount(); ++i) {
        const QString name = w->cAudioCDRipper1->DeviceName(i - 1);
        EXPECT_EQ(drives.NodeItem(i).NodeKey(), "##CD" + name);
        EXPECT_EQ(drives.NodeItem(i).NodeText(), name.left(2));
        EXPECT_EQ(drives.NodeItem(i).NodeImage(), 25);
        EXPECT_TRUE(IsCDNode(drives.NodeItem(i).NodeKey()));
    }
    EXPECT_TRUE(drive("Z:"));
    EXPECT_TRUE(drive("Y:"));
    EXPECT_TRUE(g_nodAudioCDs.NodeExpanded());

    // This edition leaves the ripper out: no root, no drives.
    open({cue("album")}, false);
    EXPECT_FALSE(g_nodAudioCDs);
    EXPECT_EQ(w->cTreeView1->Nodes().NodeCount(), 1);
}

TEST_F(CdNodesTest, DiscListsOneRowPerTrackWithTimesSizesMarksAndRippableNames)
{
    // Three audio tracks and a data track; the third length has a fraction of a second.
    writeImage(dir.path(), "mixed", {{3 * kSecond}, {65 * kSecond}, {kSecond + 20}, {2 * kSecond, false}}, 2);
    g_sTagAlbum = "<Album>";
    g_sTagArtist = "Band";
    g_sTagSong = "<Title>";
    open({cue("mixed")});
    w->lblListName->setText("Mix");
    show("Z:");

    EXPECT_EQ(names(), QStringList({"Track01.cda 00:00:03", "Track02.cda 00:01:05", "Track03.cda 00:00:01",
                                    "Track04.cda 00:00:02"}));
    const int seconds[] = {3, 65, 1, 2};
    for (int row = 1; row <= 4; ++row) {
        SCOPED_TRACE(row);
        const bool audio = row < 4;
        EXPECT_EQ(icon(row, COL_INC), audio ? 1 : 0);
        EXPECT_EQ(icon(row, COL_TYPE), audio ? 3 : 4);
        const qint64 bytes = 176400LL * seconds[row - 1];
        EXPECT_EQ(grid()->CellValue(row, grid()->ColumnIndex(COL_BYTES_SIZE)).toLongLong(), bytes);
        EXPECT_EQ(cell(row, COL_SIZE), FormatFileSize(double(bytes)));
        // A name the ripper takes the drive and track from, not a file.
        const QString file = cell(row, COL_FILE);
        EXPECT_EQ(file, QStringLiteral("Z:/Track%1.cda").arg(row, 2, 10, QChar('0')));
        QString driveOf;
        EXPECT_EQ(cAudioCDRipper::TrackFromCdaName(file, &driveOf), row);
        EXPECT_EQ(driveOf, "Z:");
        EXPECT_EQ(cell(row, COL_RANGE), "All");
        EXPECT_EQ(cell(row, COL_RANGE_ALL), "1");
        EXPECT_TRUE(cell(row, COL_RANGE_START_TIME).isEmpty());
        EXPECT_EQ(cell(row, COL_TAG_ALBUM), "<Album>");
        EXPECT_EQ(cell(row, COL_TAG_ARTIST), "Band");
        EXPECT_EQ(cell(row, COL_TAG_TITLE), "<Title>");
        // No file to date: the time of the listing.
        const QDateTime created = grid()->CellValue(row, grid()->ColumnIndex(COL_CREATED)).toDateTime();
        const QDateTime now = QDateTime::currentDateTime();
        EXPECT_LE(qAbs(created.secsTo(QDateTime(now.date(), now.time(), Qt::UTC))), 60);
    }
    EXPECT_EQ(w->lblListName->text(), "Z:");
    EXPECT_TRUE(w->picEmptyMsg->isHidden());
    EXPECT_TRUE(w->prgStatus->isHidden());
    EXPECT_TRUE(w->tmrCDs->isActive());
    EXPECT_EQ(grid()->SelectedRow(), 1);
    EXPECT_EQ(w->statusPanel("Main"), "Ready.");
    EXPECT_EQ(w->statusPanel("Items List Properties"), GridSummaryText(grid()));
    EXPECT_TRUE(w->commands.isEmpty());
    EXPECT_TRUE(boxes.shown().empty());

    // The last row current on request; a list node takes the polling away.
    g_bSelectTheLastItem = true;
    show("Z:");
    EXPECT_EQ(grid()->SelectedRow(), 4);
    cTreeView1_NodeClick(listNode());
    EXPECT_FALSE(w->tmrCDs->isActive());
}

TEST_F(CdNodesTest, DriveWithoutAnAudioCDShowsTheInsertHint)
{
    writeImage(dir.path(), "album", {{2 * kSecond}, {3 * kSecond}}, 3);
    writeImage(dir.path(), "data", {{4 * kSecond, false}}, 4);
    open({cue("album"), cue("data"), cue("absent")});
    // A drive node that no device answers to (its device went away).
    cTreeNode stray = w->cTreeView1->Nodes().AddNode(g_nodAudioCDs, cTreeNodes::tvwChild, "##CDQ: gone", "Q:", 25, 25);
    ASSERT_TRUE(stray);

    struct Case {
        const char* what;
        cTreeNode node;
    } cases[] = {{"data-only disc", drive("Y:")}, {"no image", drive("X:")}, {"no device", stray}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        show("Z:");
        ASSERT_EQ(grid()->RowCount(), 2);
        w->lblAddorDrag->setText("Add or Drag and Drop audio items to here.");
        cTreeView1_NodeClick(c.node);
        EXPECT_TRUE(showsInsertHint());
        EXPECT_TRUE(w->prgStatus->isHidden());
        EXPECT_TRUE(w->tmrCDs->isActive());
        EXPECT_EQ(w->statusPanel("Items List Properties"), GridSummaryText(grid()));
    }
    EXPECT_EQ(GetCDDriveIndex("Q:"), -1);
    EXPECT_TRUE(boxes.shown().empty());

    // The automatic CD database lookup follows a listing with tracks only.
    g_bAutoFreeDB = true;
    cTreeView1_NodeClick(drive("Y:"));
    cTreeView1_NodeClick(drive("X:"));
    EXPECT_TRUE(w->commands.isEmpty());
    show("Z:");
    EXPECT_EQ(w->commands, QStringList({"FreeDB"}));
}

// A disc image that is there but refused shows why in place of the hint,
// and the polling follows the reason as the image changes.
TEST_F(CdNodesTest, ARefusedImageShowsWhyInPlaceOfTheInsertHint)
{
    const QString fifo = dir.path() + "/pipe.cue";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const Image big = writeImage(dir.path(), "big", {{kSecond}}, 3);
    padCuePastOneMegabyte(big.cue);
    open({fifo, big.cue, cue("absent")});
    const QString tooLarge = "The cue sheet " + big.cue + " is too large (over 1 MB).";
    struct Case {
        const char* letter;
        QString text;
    } cases[] = {
        {"Z:", "The cue sheet " + fifo + " is not a regular file."},
        {"Y:", tooLarge},
        {"X:", "Insert an Audio CD to the CD drive."}, // no image there: an empty drive
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.letter);
        show(c.letter);
        EXPECT_EQ(grid()->RowCount(), 0);
        EXPECT_FALSE(w->picEmptyMsg->isHidden());
        EXPECT_EQ(w->lblAddorDrag->text(), c.text);
    }
    EXPECT_TRUE(boxes.shown().empty());

    // The shown drive's image turns up too large, then is mended.
    ASSERT_TRUE(QFile::copy(big.cue, cue("absent")));
    tmrCDs_Timer();
    EXPECT_EQ(w->lblAddorDrag->text(), "The cue sheet " + cue("absent") + " is too large (over 1 MB).");
    QFile::remove(cue("absent"));
    writeImage(dir.path(), "absent", {{2 * kSecond}}, 4);
    tmrCDs_Timer();
    EXPECT_EQ(names(), QStringList({"Track01.cda 00:00:02"}));
}

TEST_F(CdNodesTest, PollingReloadsTheShownDriveWhenItsDiscComesGoesOrChanges)
{
    // Z: is shown and starts empty; Y: holds a disc and is not shown.
    writeImage(dir.path(), "other", {{2 * kSecond}}, 5);
    open({cue("disc"), cue("other")});
    show("Z:");
    ASSERT_TRUE(showsInsertHint());

    // A tick that reloads sets the label to the node's text again.
    auto tick = [&] {
        w->lblListName->setText("-");
        tmrCDs_Timer();
        return w->lblListName->text() != "-";
    };
    EXPECT_FALSE(tick()) << "nothing changed";
    cTreeNode z = drive("Z:"), y = drive("Y:");

    writeImage(dir.path(), "disc", {{3 * kSecond}, {4 * kSecond}, {5 * kSecond}}, 6);
    EXPECT_TRUE(tick()) << "disc arrived";
    EXPECT_EQ(names(), QStringList({"Track01.cda 00:00:03", "Track02.cda 00:00:04", "Track03.cda 00:00:05"}));
    EXPECT_TRUE(w->picEmptyMsg->isHidden());

    grid()->setSelectedRow(2);
    EXPECT_FALSE(tick()) << "same disc";
    EXPECT_EQ(grid()->SelectedRow(), 2);

    // The database named both drives; a disc swapped between two ticks loses its name.
    z.setNodeText("Band - Album");
    y.setNodeText("Other - Album");
    writeImage(dir.path(), "disc", {{7 * kSecond}, {kSecond}}, 7);
    EXPECT_TRUE(tick()) << "disc replaced";
    EXPECT_EQ(names(), QStringList({"Track01.cda 00:00:07", "Track02.cda 00:00:01"}));
    EXPECT_EQ(z.NodeText(), "Z:");
    EXPECT_EQ(w->lblListName->text(), "Z:");
    EXPECT_EQ(y.NodeText(), "Other - Album");

    // The other drive's disc leaves: its name goes, the shown drive stays as it is.
    QFile::remove(cue("other"));
    EXPECT_FALSE(tick());
    EXPECT_EQ(y.NodeText(), "Y:");
    EXPECT_EQ(grid()->RowCount(), 2);

    z.setNodeText("Band - Album");
    QFile::remove(cue("disc"));
    EXPECT_TRUE(tick()) << "disc left";
    EXPECT_TRUE(showsInsertHint());
    EXPECT_EQ(z.NodeText(), "Z:");
    EXPECT_FALSE(tick()) << "still empty";

    // A disc of data tracks lists nothing: no reload on every tick.
    writeImage(dir.path(), "disc", {{3 * kSecond, false}}, 8);
    EXPECT_TRUE(tick()) << "data disc arrived";
    EXPECT_TRUE(showsInsertHint());
    EXPECT_FALSE(tick());
    EXPECT_FALSE(tick());

    // A list shown: the drives are polled, the grid is left alone.
    writeImage(dir.path(), "disc", {{3 * kSecond}}, 9);
    cTreeView1_NodeClick(listNode());
    EXPECT_FALSE(tick());
    EXPECT_EQ(grid()->RowCount(), 0);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(CdNodesTest, DiscGoingWhileListedEndsTheListingWithNoCDMessage)
{
    const Image img = writeImage(dir.path(), "disc", {{kSecond}, {kSecond}, {kSecond}}, 15);
    open({cue("disc")});
    // The disc goes as the second track is reached.
    const auto hook = QObject::connect(w->prgStatus, &QProgressBar::valueChanged, [&] {
        if (w->prgStatus->ProgressValue() == 2)
            QFile::remove(img.bin);
    });
    show("Z:");

    EXPECT_EQ(names(), QStringList({"Track01.cda 00:00:01"}));
    EXPECT_FALSE(w->picEmptyMsg->isHidden());
    EXPECT_EQ(w->lblAddorDrag->text(), "Insert an Audio CD to the CD drive.");
    EXPECT_TRUE(w->prgStatus->isHidden());
    EXPECT_FALSE(IsListLoading());
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].prompt, "There is no CD in the drive.");
    EXPECT_EQ(boxes.shown()[0].icon(), vbInformation);

    // Back again: the next tick lists it whole.
    QObject::disconnect(hook);
    writeImage(dir.path(), "disc", {{kSecond}, {kSecond}, {kSecond}}, 15);
    tmrCDs_Timer();
    EXPECT_EQ(grid()->RowCount(), 3);
}

TEST_F(CdNodesTest, PollingRunsOnTheTimerEveryFiveSeconds)
{
    open({cue("disc")});
    QObject::connect(w->tmrCDs, &QTimer::timeout, [] { tmrCDs_Timer(); });
    show("Z:");
    EXPECT_EQ(w->tmrCDs->interval(), 5000);
    ASSERT_TRUE(w->tmrCDs->isActive());
    w->tmrCDs->setInterval(50); // the same polling, sooner
    writeImage(dir.path(), "disc", {{2 * kSecond}}, 10);
    EXPECT_TRUE(QTest::qWaitFor([&] { return grid()->RowCount() == 1; }, 5000));
}

TEST_F(CdNodesTest, AddAudioCDSelectsTheFirstDriveHoldingAnAudioCD)
{
    writeImage(dir.path(), "data", {{3 * kSecond, false}}, 11);
    writeImage(dir.path(), "album", {{2 * kSecond}, {3 * kSecond}}, 12);
    writeImage(dir.path(), "second", {{kSecond}}, 13);

    struct Case {
        const char* what;
        QStringList cues;
        bool cdRoot;
        QString expected; // the drive loaded, "" for none
    } cases[] = {
        {"after a data disc and an empty drive", {cue("data"), cue("absent"), cue("album"), cue("second")}, true, "X:"},
        {"no audio CD anywhere", {cue("data"), cue("absent")}, true, ""},
        {"no CD root in this edition", {cue("album")}, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open(c.cues, c.cdRoot);
        cTreeView1_NodeClick(listNode());
        w->lblListName->setText("Mix");
        SelectFirstAudioCD();
        if (c.expected.isEmpty()) {
            EXPECT_EQ(w->cTreeView1->SelectedNode(), listNode());
            EXPECT_EQ(w->lblListName->text(), "Mix");
        } else {
            EXPECT_EQ(w->cTreeView1->SelectedNode(), drive(c.expected));
            EXPECT_EQ(w->lblListName->text(), c.expected);
            EXPECT_EQ(grid()->RowCount(), 2);
        }
    }
}

TEST_F(CdNodesTest, RipperErrorShowsTextThenCodeWithOkOnly)
{
    open({});
    cAudioCDRipper1_JobError(5, "Read failed");
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].prompt, "Read failed (5)");
    EXPECT_EQ(boxes.shown()[0].style, vbOKOnly);
}

TEST_F(CdNodesTest, TrackRowRipsBitExactThroughItsName)
{
    const Image img = writeImage(dir.path(), "disc", {{kSecond}, {3 * kSecond + 11}, {kSecond}}, 14);
    open({cue("disc")});
    show("Z:");
    ASSERT_EQ(grid()->RowCount(), 3);

    // As a ripper window would: the drive and track from the row's name, its own component.
    QString driveOf;
    const int track = cAudioCDRipper::TrackFromCdaName(cell(2, COL_FILE), &driveOf);
    cAudioCDRipper ripper;
    ripper.setRipDevice(int(GetCDDriveIndex(driveOf)));
    ripper.setRipTrack(track);
    ripper.setOutputFormat(1);
    const QString out = dir.path() + "/Track02.wav";
    ripper.setOutputFile(out);
    QStringList ends;
    QObject::connect(&ripper, &cAudioCDRipper::JobDone, [&] { ends << "done"; });
    QObject::connect(&ripper, &cAudioCDRipper::JobError, [&](int code, const QString& text) {
        ends << QStringLiteral("error %1 %2").arg(code).arg(text);
    });
    ripper.StartRip();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ends.isEmpty(); }, 30000));
    EXPECT_EQ(ends, QStringList({"done"}));
    EXPECT_EQ(wavPcm(out), img.track(2));
}

} // namespace
