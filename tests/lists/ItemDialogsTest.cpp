// The Item Properties dialog (name, range, tags, stepping through the list)
// and the Items List Properties dialog (renaming a list, its folder link).
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>

#include <QTest>
#include <QTimer>
#include <sys/stat.h>

#include "components/controls/cDateTimePick.h"
#include "components/controls/cTreeView.h"
#include "core/ToolFrameServices.h"
#include "settings/frmOptions.h"
#include "settings/SettingsWidgets.h"
#include "lists/GridEditing.h"
#include "lists/frmDirProperties.h"
#include "lists/frmItem.h"
#include "tests/components/audio/StalledReads.h"
#include "tests/lists/EditingFixture.h"

using namespace editing;

namespace {

class ItemDialogTest : public EditingTest {
protected:
    // Three items; the second has the range 60 + 90 seconds of a 200 s file.
    void showThree()
    {
        const QString a = wav("a.wav", 3), b = wav("b.wav", 200, 1), c = wav("c.wav", 3);
        const QString text = record("A", a, {{"COL_TAG_ARTIST", " spaced "}}) +
                             record("B", b, {{"COL_RANGE_ALL", "0"}, {"COL_RANGE_START_TIME", "60"},
                                             {"COL_RANGE_LENGTH_TIME", "90"}, {"COL_TAG_TITLE", "Bee"}}) +
                             record("C", c);
        writeBytes(listFile("Three"), (text + "\r\n").toUtf8());
        setTree();
        cTreeView1_NodeClick(w.cTreeView1->Nodes().NodeItem(listFile("Three")));
        ASSERT_EQ(w.cGrid1->RowCount(), 3);
    }
    FrmItem* open(int row)
    {
        w.cGrid1->setSelectedRow(row);
        return g_frmItem();
    }
    // Waits for the read of the shown file's format.
    static bool formatRead(FrmItem* d)
    {
        return QTest::qWaitFor([d] { return !d->FileFormatPending(); }, 30000);
    }
    static QStringList formatLabels(FrmItem* d)
    {
        return {d->lblSamples->text(), d->lblBitrate->text(), d->lblChannels->text()};
    }
    QString picker(cDateTimePick* p) { return p->PickerTime().toString("HH:mm:ss"); }
};

TEST_F(ItemDialogTest, ARangeOpensByTimeAndAppliesUnchangedAsItWas)
{
    showThree();
    FrmItem* d = open(2);
    EXPECT_EQ(d->txtItemName->text(), "B");
    EXPECT_EQ(d->lblTitle->text(), "B");
    EXPECT_EQ(d->lblFileName->text(), "b.wav");
    EXPECT_EQ(d->lblPath->text(), audio);
    EXPECT_EQ(d->lblFormat->text(), "WAV");
    ASSERT_TRUE(formatRead(d));
    EXPECT_EQ(d->lblSamples->text(), "44100");
    EXPECT_EQ(d->lblBitrate->text(), "16");
    EXPECT_EQ(d->lblChannels->text(), "MONO");
    EXPECT_EQ(d->lblTotalTime->text(), "00:03:20");
    EXPECT_TRUE(d->ptnConvertByTime->isChecked());
    EXPECT_EQ(picker(d->dtStartAfter), "00:01:00");
    EXPECT_EQ(picker(d->dtUntil), "00:02:30");
    EXPECT_TRUE(d->dtStartAfter->PickerEnabled());
    EXPECT_TRUE(d->cmdGoToEnd->isEnabled());
    EXPECT_EQ(d->txtTagSong->text(), "Bee");

    // Apply with nothing changed still writes the row, "Range" included, and the file.
    w.cGrid1->setCellText(2, w.cGrid1->ColumnIndex(COL_RANGE), "stale");
    writeBytes(listFile("Three"), "stale");
    EXPECT_EQ(d->ApplyItemChanges(), 0);
    EXPECT_EQ(cell(2, COL_RANGE_ALL), "0");
    EXPECT_EQ(cell(2, COL_RANGE_START_TIME), "60");
    EXPECT_EQ(cell(2, COL_RANGE_LENGTH_TIME), "90");
    EXPECT_EQ(cell(2, COL_RANGE), "00:01:00 - 00:02:30");
    EXPECT_EQ(namesInFile(listFile("Three")), QStringList({"A", "B", "C"}));
    EXPECT_TRUE(readBytes(listFile("Three")).contains("<COL_RANGE_START_TIME>60</COL_RANGE_START_TIME>"));
    d->close();
}

TEST_F(ItemDialogTest, AWholeFileRowOpensWithTheRangeControlsOff)
{
    showThree();
    FrmItem* d = open(1);
    EXPECT_TRUE(d->ptnAllFile->isChecked());
    for (QWidget* c : std::initializer_list<QWidget*>{d->cmdGoTSoStart, d->cmdGoToEnd, d->Label20, d->Label21})
        EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
    EXPECT_FALSE(d->dtStartAfter->PickerEnabled());
    EXPECT_FALSE(d->dtUntil->PickerEnabled());
    EXPECT_EQ(picker(d->dtStartAfter), "00:00:00");
    EXPECT_EQ(picker(d->dtUntil), "00:00:03");
    // Choosing "by time" opens them; a pick past the file's length snaps back to it.
    d->ptnConvertByTime->click();
    EXPECT_TRUE(d->dtUntil->PickerEnabled());
    d->dtUntil->timeEdit()->setTime(QTime(0, 5, 0));
    EXPECT_EQ(picker(d->dtUntil), "00:00:03");
    d->dtStartAfter->timeEdit()->setTime(QTime(0, 0, 2));
    d->cmdGoTSoStart->click();
    EXPECT_EQ(picker(d->dtStartAfter), "00:00:00");
    d->dtUntil->timeEdit()->setTime(QTime(0, 0, 1));
    d->cmdGoToEnd->click();
    EXPECT_EQ(picker(d->dtUntil), "00:00:03");
    d->close();
}

// Refused applies: the first failing check speaks, nothing is written, and
// the dialog stays open.
TEST_F(ItemDialogTest, RefusedAppliesChangeNothing)
{
    const struct {
        const char* name;
        const char* start;
        const char* until;
        const char* message;
        int status;
    } cases[] = {
        {"   ", "00:00:01", "00:00:02", "Empty Item Name.", -1},
        {"a?b", "00:00:02", "00:00:01", "Illegal Item Name.", -1}, // both wrong: only the name speaks
        {"ok", "00:00:02", "00:00:01", "'Start after' field is more or an equel to the 'Until' field.", 1},
        {"ok", "00:00:02", "00:00:02", "'Start after' field is more or an equel to the 'Until' field.", 1},
    };
    showThree();
    const QByteArray file = readBytes(listFile("Three"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FrmItem* d = open(1);
        d->show();
        d->txtItemName->setText(QString::fromLatin1(c.name));
        d->ptnConvertByTime->click();
        d->dtStartAfter->setPickerTime(QTime::fromString(c.start, "HH:mm:ss"));
        d->dtUntil->setPickerTime(QTime::fromString(c.until, "HH:mm:ss"));
        d->txtTagAlbum->setText("changed");
        testenv::ScriptedMessageBoxes boxes;
        QPointer<FrmItem> guard(d);
        d->cmdOk->click();
        ASSERT_EQ(boxes.shown().size(), 1u);
        const int blanks = c.status == 1 ? 9 : 42;
        EXPECT_EQ(boxes.shown()[0].prompt, QString::fromLatin1(c.message) + QString(blanks, ' '));
        EXPECT_EQ(boxes.shown()[0].style, vbInformation);
        EXPECT_TRUE(guard && d->isVisible());
        EXPECT_EQ(cell(1, COL_ITEM_NAME), "A");
        EXPECT_EQ(cell(1, COL_TAG_ALBUM), "");
        EXPECT_EQ(cell(1, COL_RANGE_ALL), "1");
        EXPECT_EQ(readBytes(listFile("Three")), file);
        d->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// List markup typed into a tag box would not read back as typed: it is
// refused where it is typed, and nothing is stored.
TEST_F(ItemDialogTest, ListMarkupInATypedTextIsRefused)
{
    showThree();
    const QByteArray file = readBytes(listFile("Three"));
    FrmItem* d = open(1);
    d->show();
    d->txtTagComment->setPlainText("before <ITEM> after");
    testenv::ScriptedMessageBoxes boxes;
    d->cmdApply->click();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.shown()[0].prompt.contains("<ITEM>"));
    EXPECT_EQ(cell(1, COL_TAG_COMMENT), "");
    EXPECT_EQ(readBytes(listFile("Three")), file);
    d->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ItemDialogTest, OkStoresTheTrimmedNameTheUntrimmedTagsAndTheWholeFile)
{
    showThree();
    FrmItem* d = open(2);
    d->show();
    d->txtItemName->setText("  New name  ");
    d->txtTagArtist->setText("  Artist  ");
    d->txtTagComment->setPlainText("two\nlines");
    d->ptnAllFile->click();
    QPointer<FrmItem> guard(d);
    d->cmdOk->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(cell(2, COL_ITEM_NAME), "New name");
    EXPECT_EQ(cell(2, COL_TAG_ARTIST), "  Artist  ");
    EXPECT_EQ(cell(2, COL_TAG_COMMENT), "two\nlines");
    EXPECT_EQ(cell(2, COL_RANGE_ALL), "1");
    EXPECT_EQ(cell(2, COL_RANGE_START_TIME), "");
    EXPECT_EQ(cell(2, COL_RANGE), "All");
    EXPECT_EQ(namesInFile(listFile("Three")), QStringList({"A", "New name", "C"}));
}

TEST_F(ItemDialogTest, NextAndBackStepEnableAndDropUnappliedEdits)
{
    showThree();
    FrmItem* d = open(1);
    EXPECT_FALSE(d->cmdBack->isEnabled());
    EXPECT_TRUE(d->cmdNext->isEnabled());
    const QByteArray file = readBytes(listFile("Three"));
    d->txtItemName->setText("edited");
    d->cmdNext->click();
    EXPECT_EQ(d->lItem, 2);
    EXPECT_EQ(w.cGrid1->SelectedRow(), 2);
    EXPECT_EQ(d->txtItemName->text(), "B");
    EXPECT_TRUE(d->ptnConvertByTime->isChecked());
    EXPECT_TRUE(d->cmdBack->isEnabled() && d->cmdNext->isEnabled());
    d->cmdNext->click();
    EXPECT_EQ(w.cGrid1->SelectedRow(), 3);
    EXPECT_FALSE(d->cmdNext->isEnabled());
    EXPECT_TRUE(d->ptnAllFile->isChecked());
    d->cmdBack->click();
    d->cmdBack->click();
    EXPECT_EQ(w.cGrid1->SelectedRow(), 1);
    EXPECT_EQ(d->txtItemName->text(), "A");
    EXPECT_EQ(d->txtTagArtist->text(), " spaced ");
    EXPECT_EQ(cell(1, COL_ITEM_NAME), "A");
    EXPECT_EQ(readBytes(listFile("Three")), file);
    d->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // A list of one row: neither button.
    show("One", {wav("only.wav")});
    d = open(1);
    EXPECT_FALSE(d->cmdBack->isEnabled());
    EXPECT_FALSE(d->cmdNext->isEnabled());
    d->close();
}

TEST_F(ItemDialogTest, TheLinksOpenTheFileAndItsFolderShownNormally)
{
    showThree();
    FrmItem* d = open(1);
    testenv::RecordingShell shell;
    d->lblFileName_Click();
    d->lblPath_Click();
    ASSERT_EQ(shell.requests().size(), 2u);
    EXPECT_EQ(shell.requests()[0].target, audio + "a.wav");
    EXPECT_EQ(shell.requests()[1].target, audio);
    d->close();
}

TEST_F(ItemDialogTest, TheTagLinksOpenTheDefaultTagsPageAndTheTagMacros)
{
    showThree();
    FrmItem* d = open(1);
    QList<int> sections;
    setProgParametersOpener([&](int section, QWidget*) { sections << section; });
    d->lblID3TagParameters_Click();
    setProgParametersOpener(nullptr);
    EXPECT_EQ(sections, QList<int>({1}));

    QString page;
    QTimer::singleShot(0, [&] {
        page = frmOptions()->cTreeView1->SelectedNode().NodeKey();
        frmOptions()->close();
    });
    d->lblDefaultID3Tags_Click();
    EXPECT_EQ(page, "ID3 Tags");
    EXPECT_EQ(d->txtTagArtist->text(), " spaced ");
    d->close();
}

// The file's format is read away from the dialog's thread, as on a stalled
// mount: Next comes back while the read is held, the labels keep the last
// file's format meanwhile and Exit answers; released, the labels show the
// new file's format. A pipe in the file's place is refused once read, and
// the labels stay as they were.
TEST_F(ItemDialogTest, TheFileIsReadWithTheDialogAnswering)
{
    showThree();
    const QString pipe = audio + "pipe.wav";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QStringList stereo = {"44100", "16", "STEREO"};
    struct Case {
        const char* name;
        bool piped; // the second row's file is the pipe
        bool exitWhileHeld;
        QStringList labels; // once released
    };
    const Case cases[] = {
        {"a mono file", false, false, {"44100", "16", "MONO"}},
        {"a pipe", true, false, stereo},
        {"Exit while held", false, true, stereo},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w.cGrid1->setCellText(2, w.cGrid1->ColumnIndex(COL_FILE), c.piped ? pipe : audio + "b.wav");
        QPointer<FrmItem> d = open(1);
        ASSERT_TRUE(formatRead(d));
        ASSERT_EQ(formatLabels(d), stereo);

        StalledReads opens;
        d->cmdNext->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return opens.stalled() == 1; }, 10000));
        EXPECT_EQ(opens.onWindowThread(), 0) << "the file was opened on the dialog's thread";
        EXPECT_EQ(d->txtItemName->text(), "B");
        EXPECT_TRUE(d->FileFormatPending());
        EXPECT_EQ(formatLabels(d), stereo);
        if (c.exitWhileHeld) {
            d->cmdExit->click();
            EXPECT_FALSE(g_frmItemLoaded());
        }
        opens.letThrough();
        opens.releaseOne();
        if (c.exitWhileHeld) {
            // The late answer finds the dialog gone and changes nothing.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_TRUE(d.isNull());
            continue;
        }
        ASSERT_TRUE(formatRead(d));
        EXPECT_EQ(formatLabels(d), c.labels);
        d->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(ItemDialogTest, ADataTrackIsNotOpened)
{
    showThree();
    w.cGrid1->setCellIcon(2, w.cGrid1->ColumnIndex(COL_TYPE), kIconData);
    testenv::ScriptedMessageBoxes boxes;
    ShowItemProperties(2, 1);
    EXPECT_EQ(boxes.prompts(), QStringList({"Cannot edit a data track." + QString(36, ' ')}));
    EXPECT_FALSE(g_frmItemLoaded());
}

// --- Items List Properties

class ListPropertiesTest : public EditingTest {};

TEST_F(ListPropertiesTest, RenamesTheListFileItsNodeAndTheTitle)
{
    const cTreeNode rock = show("Rock", {wav("a.wav")}, {"Jazz"});
    w.lblListName->setText("Rock");
    w.cStatusBar1->setPanelText("Items List Properties", "1 Items, 1 KB, 00:00:01");
    ShowListProperties(rock);
    FrmDirProperties* d = g_frmDirProperties();
    ASSERT_TRUE(d->isVisible());
    EXPECT_FALSE(d->isModal());
    EXPECT_EQ(d->txtFolderName->text(), "Rock");
    EXPECT_EQ(d->lblContain->text(), "1 Items, 1 KB, 00:00:01");
    EXPECT_EQ(d->txtPath->text(), listFile("Rock"));
    const QByteArray content = readBytes(listFile("Rock"));

    d->txtFolderName->setText("  Blues ");
    d->cmdOk->click();
    EXPECT_FALSE(g_frmDirPropertiesLoaded());
    EXPECT_FALSE(QFile::exists(listFile("Rock")));
    EXPECT_EQ(readBytes(listFile("Blues")), content);
    EXPECT_EQ(rock.NodeKey(), listFile("Blues"));
    EXPECT_EQ(rock.NodeText(), "Blues");
    EXPECT_EQ(w.lblListName->text(), "Blues");
    // Later saves go to the new file.
    MarkAllRows(false);
    EXPECT_TRUE(readBytes(listFile("Blues")).contains("<Inc>0</Inc>"));
    EXPECT_FALSE(QFile::exists(listFile("Rock")));
}

TEST_F(ListPropertiesTest, RefusedNamesAndAFailedRenameChangeNothing)
{
    const cTreeNode rock = show("Rock", {}, {"Jazz"});
    const struct {
        const char* name;
        const char* message;
        int blanks;
    } cases[] = {
        {"  ", "Empty Item Name.", 42},
        {"a:b", "Illegal Item Name.", 42},
        {"Jazz", "Folder name already exists, please select a different name.", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ShowListProperties(rock);
        FrmDirProperties* d = g_frmDirProperties();
        d->txtFolderName->setText(QString::fromLatin1(c.name));
        testenv::ScriptedMessageBoxes boxes;
        d->cmdOk->click();
        EXPECT_EQ(boxes.prompts(), QStringList({QString::fromLatin1(c.message) + QString(c.blanks, ' ')}));
        EXPECT_TRUE(g_frmDirPropertiesLoaded());
        EXPECT_EQ(rock.NodeKey(), listFile("Rock"));
        EXPECT_EQ(rock.NodeText(), "Rock");
        EXPECT_TRUE(QFile::exists(listFile("Rock")));
        d->close();
    }

    // The file went away behind the program's back: the rename fails, and the
    // node keeps its name and key.
    ShowListProperties(rock);
    FrmDirProperties* d = g_frmDirProperties();
    QFile::remove(listFile("Rock"));
    d->txtFolderName->setText("Pop");
    testenv::ScriptedMessageBoxes boxes;
    d->cmdOk->click();
    EXPECT_EQ(boxes.prompts().size(), 1);
    EXPECT_EQ(rock.NodeKey(), listFile("Rock"));
    EXPECT_EQ(rock.NodeText(), "Rock");
    EXPECT_FALSE(QFile::exists(listFile("Pop")));
    d->close();
}

TEST_F(ListPropertiesTest, OkActsOnTheNodeTheDialogWasOpenedFor)
{
    const cTreeNode rock = show("Rock", {}, {"Jazz"});
    ShowListProperties(rock);
    FrmDirProperties* d = g_frmDirProperties();
    const cTreeNode jazz = w.cTreeView1->Nodes().NodeItem(listFile("Jazz"));
    cTreeView1_NodeClick(jazz);
    w.lblListName->setText("Jazz");
    d->txtFolderName->setText("Soul");
    d->cmdOk->click();
    EXPECT_EQ(rock.NodeText(), "Soul");
    EXPECT_TRUE(QFile::exists(listFile("Soul")));
    EXPECT_EQ(jazz.NodeText(), "Jazz");
    EXPECT_TRUE(QFile::exists(listFile("Jazz")));
    EXPECT_EQ(w.lblListName->text(), "Jazz");
}

TEST_F(ListPropertiesTest, RootsAreToldApartByKeyAndDrivesOnlyChangeTheirText)
{
    show("Items Lists", {}, {"Other"});
    // A list may bear the root's name.
    ShowListProperties(w.cTreeView1->Nodes().NodeItem(listFile("Items Lists")));
    EXPECT_TRUE(g_frmDirPropertiesLoaded());
    g_frmDirProperties()->close();
    ShowListProperties(g_nodItemsLists);
    EXPECT_FALSE(g_frmDirPropertiesLoaded());

    const QStringList files = QDir(dir).entryList(QDir::Files);
    cTreeNode drive = w.cTreeView1->Nodes().AddNode(cTreeNode(), cTreeNodes::tvwLast, "##CDE: DRIVE", "E:");
    ShowListProperties(drive);
    FrmDirProperties* d = g_frmDirProperties();
    d->txtFolderName->setText("My Disc");
    d->cmdOk->click();
    EXPECT_EQ(drive.NodeText(), "My Disc");
    EXPECT_EQ(drive.NodeKey(), "##CDE: DRIVE");
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), files);
}

TEST_F(ListPropertiesTest, TheFolderLinkOpensTheFolderHoldingTheList)
{
    const cTreeNode rock = show("Rock", {});
    ShowListProperties(rock);
    testenv::RecordingShell shell;
    testenv::ScriptedMessageBoxes boxes;
    g_frmDirProperties()->lblOpenDestinationDestinationFolder_Click();
    EXPECT_TRUE(boxes.prompts().isEmpty());
    ASSERT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(shell.requests()[0].target, dir);
    g_frmDirProperties()->close();
}

TEST_F(ListPropertiesTest, OpenDestFolderOffersToCreateAMissingFolder)
{
    const QString missing = testenv::tempRoot() + "/new/folder";
    QDir(testenv::tempRoot() + "/new").removeRecursively(); // a repeat of this test made it
    testenv::RecordingShell shell;
    {
        testenv::ScriptedMessageBoxes boxes;
        boxes.answer(vbNo);
        OpenDestFolder(missing, nullptr);
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].prompt, "The folder " + missing + "/ does not exist." + QString(44, ' ') +
                                               "\r\n\r\nWould you like to create it?");
        EXPECT_EQ(boxes.shown()[0].style, vbInformation + vbYesNo);
        EXPECT_TRUE(shell.requests().empty());
        EXPECT_FALSE(QDir(missing).exists());
    }
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbYes);
    OpenDestFolder(missing + "/", nullptr);
    EXPECT_TRUE(QDir(missing).exists());
    ASSERT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(shell.requests()[0].target, missing + "/");
    EXPECT_EQ(FolderOfNodeKey("##CDE: DRIVE"), "");
    EXPECT_EQ(FolderOfNodeKey("##MAINITEMS" + dir), dir);
    EXPECT_EQ(FolderOfNodeKey(dir + "Rock.flst"), dir);
}

} // namespace
