// Adding audio files to the shown list: the tests every path passes, the
// rows written, refusals, Cancel and closing the window, and the open dialog.
#include <QFileInfo>
#include <QPushButton>
#include <QApplication>
#include <sys/stat.h>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeWidget>

#include "core/Dialogs.h"
#include "lists/GridEditing.h"
#include "lists/frmStat.h"
#include "platform/UserSettings.h"
#include "tests/components/audio/StalledReads.h"
#include "tests/lists/EditingFixture.h"

using namespace editing;

namespace {

class AddFilesTest : public EditingTest {};

TEST_F(AddFilesTest, UsableFilesBecomeMarkedRowsAndEveryUnreadableFileIsReported)
{
    show("Mine", {});
    const QString good = wav("My:Song?.wav", 2.6);
    const QString folder = audio + "folder.wav";
    QDir().mkpath(folder);
    const QString empty = audio + "empty.wav";
    writeBytes(empty, QByteArray());
    const QString corrupt = audio + "corrupt.mp3";
    writeBytes(corrupt, QByteArray("this is no audio at all, only text that claims to be an mp3 file").repeated(20));
    const QString unsupported = audio + "tone.ogg";
    writeBytes(unsupported, readBytes(good));
    const QString missing = audio + "gone.wav";
    g_sTagArtist = "  Band [DATE] ";
    g_sTagSong = "Song";

    testenv::ScriptedMessageBoxes boxes;
    FrmStat* stat = g_frmStat();
    QPointer<FrmStat> guard(stat);
    stat->AddFilesToList({good, folder, empty, corrupt, unsupported, missing}, w.cGrid1, w.Form(), true);

    // Every path that cannot become a row is reported; only extensions the filter lacks pass by without a word.
    EXPECT_EQ(boxes.prompts(), QStringList({"Cannot add " + folder, "Cannot add " + empty, "Cannot add " + corrupt,
                                            "Cannot add " + missing}));
    ASSERT_EQ(w.cGrid1->RowCount(), 1);
    EXPECT_EQ(icon(1, COL_INC), kIconMarked);
    EXPECT_EQ(icon(1, COL_TYPE), kIconAudio);
    EXPECT_EQ(cell(1, COL_ITEM_NAME), "MySong.wav");
    EXPECT_EQ(cell(1, COL_FILE), good);
    EXPECT_EQ(cell(1, COL_TIME), "00:00:03");
    EXPECT_EQ(cell(1, COL_RANGE), "All");
    EXPECT_EQ(cell(1, COL_RANGE_ALL), "1");
    EXPECT_EQ(cell(1, COL_RANGE_START_TIME), "");
    EXPECT_EQ(cell(1, COL_BYTES_SIZE), QString::number(QFileInfo(good).size()));
    EXPECT_EQ(cell(1, COL_SIZE), FormatFileSize(double(QFileInfo(good).size())));
    EXPECT_EQ(cell(1, COL_TAG_ARTIST), "  Band [DATE] ");
    EXPECT_EQ(cell(1, COL_TAG_TITLE), "Song");
    EXPECT_EQ(w.cGrid1->SelectedRow(), 1);
    EXPECT_EQ(w.cGrid1->SelectedCol(), 2);
    EXPECT_FALSE(w.picEmptyMsg->isVisible());
    EXPECT_EQ(w.statusPanel("Main"), "Ready.");
    // Every path moves the progress, skipped ones too: 6 of a range from 1 to 7.
    EXPECT_EQ(stat->cProgressBar1->ProgressMin(), 1);
    EXPECT_EQ(stat->cProgressBar1->ProgressMax(), 7);
    EXPECT_EQ(stat->cProgressBar1->ProgressValue(), 6);
    EXPECT_FALSE(g_frmStatLoaded());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
}

TEST_F(AddFilesTest, TagsComeFromTheFileWhenTheOptionSaysSo)
{
    show("Mine", {});
    const QString source = wav("src.wav", 1);
    const QString tagged = audio + "tagged.mp3";
    ASSERT_TRUE(fixtures::runFfmpeg({"-y", "-loglevel", "error", "-i", source, "-metadata", "artist=The Band",
                                     "-metadata", "title=First", "-metadata", "album=Live", tagged}));
    g_bCopyID3FromSource = true;
    g_sTagArtist = "default artist";
    testenv::ScriptedMessageBoxes boxes;
    g_frmStat()->AddFilesToList({tagged}, w.cGrid1, w.Form(), false);
    ASSERT_EQ(w.cGrid1->RowCount(), 1);
    EXPECT_EQ(cell(1, COL_TAG_ARTIST), "The Band");
    EXPECT_EQ(cell(1, COL_TAG_TITLE), "First");
    EXPECT_EQ(cell(1, COL_TAG_ALBUM), "Live");
}

TEST_F(AddFilesTest, RowsFollowTheExistingOnesWithoutGapsAndTheSelectionFollowsTheOption)
{
    const QString a = wav("a.wav"), b = wav("b.wav"), c = wav("c.wav");
    show("Mine", {a});
    g_bSelectTheLastItem = true;
    testenv::ScriptedMessageBoxes boxes;
    // The same file twice gives two rows; a refused middle path leaves no gap.
    g_frmStat()->AddFilesToList({b, audio + "nothing.wav", c, c}, w.cGrid1, w.Form(), false);
    EXPECT_EQ(gridNames(), QStringList({"a.wav", "b.wav", "c.wav", "c.wav"}));
    EXPECT_EQ(w.cGrid1->SelectedRow(), 4);
    EXPECT_EQ(boxes.prompts().size(), 1);
}

TEST_F(AddFilesTest, AnEmptyCollectionStillUpdatesTheEmptyListPicture)
{
    show("Mine", {});
    w.picEmptyMsg->hide();
    g_frmStat()->AddFilesToList({}, w.cGrid1, w.Form(), false);
    EXPECT_EQ(w.cGrid1->RowCount(), 0);
    EXPECT_FALSE(w.picEmptyMsg->isHidden());
}

// Cancel, or closing the window, while a file is being added: that file's row
// is completed and no further file is read.
TEST_F(AddFilesTest, CancelAndClosingStopAtTheNextPath)
{
    for (const bool bClose : {false, true}) {
        SCOPED_TRACE(bClose ? "close" : "cancel");
        show("Mine", {});
        QStringList paths;
        for (int i = 1; i <= 5; ++i)
            paths << wav(QStringLiteral("f%1.wav").arg(i));
        // The second path cannot be read: while its box is up, the user stops the work.
        paths[1] = audio + "missing.wav";
        QPointer<FrmStat> stat = g_frmStat();
        QStringList prompts;
        platform::MessageBoxHandler previous = platform::setMessageBoxHandler([&](const platform::MessageBoxRequest& r) {
            prompts << r.prompt;
            if (bClose)
                stat->close();
            else
                stat->cmdCancel->click();
            return int(vbOK);
        });
        stat->AddFilesToList(paths, w.cGrid1, w.Form(), false);
        platform::setMessageBoxHandler(previous);
        EXPECT_EQ(prompts.size(), 1);
        EXPECT_EQ(gridNames(), QStringList({"f1.wav"}));
        EXPECT_FALSE(g_frmStatLoaded());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(stat.isNull());
    }
}

TEST_F(AddFilesTest, SupportedExtensionsAreASubstringTestOverTheFilterText)
{
    FrmStat* stat = g_frmStat();
    const struct {
        const char* path;
        bool supported;
    } cases[] = {
        {"/m/song.mp3", true},   {"/m/SONG.MP3", true},       {"/m/a.wav", true},     {"/m/a.wma", true},
        {"/m/a.au", true},       {"/m/a.mpeg", true},         {"/m/noext", true},     {"/m/a.ogg", false},
        {"/m/a.flac", false},    {"/My.Music/song", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stat->SupportAudioFile(QString::fromUtf8(c.path)), c.supported) << c.path;
    UnloadStat();
}

TEST_F(AddFilesTest, LegalNamesLoseTheFirstOfEachForbiddenCharacterOnly)
{
    FrmStat* stat = g_frmStat();
    const std::pair<const char*, const char*> cases[] = {
        {"a:b:c.wav", "ab:c.wav"},
        {"?<>\\/*|x.mp3", "x.mp3"},
        {"he said \"hi\".wav", "he said \"hi\".wav"},
        {"plain.wav", "plain.wav"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(stat->getLegaName(QString::fromUtf8(in)), QString::fromUtf8(out));
    UnloadStat();
}

TEST_F(AddFilesTest, TheOpenDialogsChoiceIsAddedAndTheListFileHoldsTheNewRows)
{
    const QString a = wav("a.wav"), b = wav("b.wav");
    const QString hidden = wav(".hidden.wav");
    const QString empty = audio + "empty.wav";
    writeBytes(empty, QByteArray());
    show("Mine", {});
    testenv::ScriptedDialogs dialogs;
    dialogs.choose({a, hidden, empty, b});
    testenv::ScriptedMessageBoxes boxes;
    AddFiles();

    ASSERT_EQ(dialogs.requests().size(), 1u);
    EXPECT_EQ(dialogs.requests()[0].title, "Add audio files");
    EXPECT_TRUE(dialogs.requests()[0].multiSelect);
    // Hidden and empty files are not handed on, and nothing is said about them.
    EXPECT_TRUE(boxes.prompts().isEmpty());
    EXPECT_EQ(gridNames(), QStringList({"a.wav", "b.wav"}));
    EXPECT_EQ(namesInFile(listFile("Mine")), QStringList({"a.wav", "b.wav"}));
    EXPECT_EQ(GetSetting("Pelmora", "path", "last_path", ""), QDir::cleanPath(audio));
    EXPECT_EQ(w.statusPanel("Items List Properties"), GridSummaryText(w.cGrid1));

    // Cancelled: nothing changes.
    dialogs.cancel();
    const QByteArray before = readBytes(listFile("Mine"));
    AddFiles();
    EXPECT_EQ(readBytes(listFile("Mine")), before);
    EXPECT_EQ(w.cGrid1->RowCount(), 2);
}

// Another list shown while files are added: a click cannot do it (the add
// window is modal); should the program show one, the add stops unsaved.
// Either way the other list's file is untouched.
TEST_F(AddFilesTest, ShowingAnotherListDuringAnAddNeverWritesIntoIt)
{
    for (const bool bByClick : {true, false}) {
        SCOPED_TRACE(bByClick ? "the user works on" : "other list shown by the program");
        const QString b1 = wav("b1.wav"), b2 = wav("b2.wav"), b3 = wav("b3.wav");
        const QString n1 = wav("new1.wav"), n2 = wav("new2.wav");
        show("B", {b1, b2, b3});
        const QByteArray bBefore = readBytes(listFile("B"));
        show("A", {}, {});
        // show() rewrote B's file empty: restore it as it was.
        writeBytes(listFile("B"), bBefore);
        setTree();
        cTreeView1_NodeClick(w.cTreeView1->Nodes().NodeItem(listFile("A")));
        const QByteArray aBefore = readBytes(listFile("A"));
        QMetaObject::Connection c = QObject::connect(w.cTreeView1, &cTreeView::NodeClick,
                                                     [](cTreeNode n) { cTreeView1_NodeClick(n); });
        w.Form()->show();

        testenv::ScriptedDialogs dialogs;
        dialogs.choose({n1, n2});
        testenv::ScriptedMessageBoxes boxes;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            // Clicks on the main window cannot reach it while the add window is modal.
            modal = QApplication::activeModalWidget() && QApplication::activeModalWidget()->objectName() == "g_frmStat";
            if (!bByClick)
                cTreeView1_NodeClick(w.cTreeView1->Nodes().NodeItem(listFile("B")));
        });
        AddFiles();
        QObject::disconnect(c);

        EXPECT_EQ(readBytes(listFile("B")), bBefore);
        EXPECT_TRUE(modal);
        if (bByClick) {
            EXPECT_EQ(namesInFile(listFile("A")), QStringList({"new1.wav", "new2.wav"}));
        } else {
            EXPECT_EQ(readBytes(listFile("A")), aBefore);
            EXPECT_EQ(gridNames(), QStringList({"b1.wav", "b2.wav", "b3.wav"}));
        }
        EXPECT_FALSE(AddFilesRunning());
    }
}

// A named pipe never reaches the audio reader: opening one without a writer
// would block for ever. Added, it is reported like a folder; as a list item,
// the list still loads and keeps its record.
TEST_F(AddFilesTest, APipeIsReportedAndNeverOpened)
{
    const QString good = wav("good.wav");
    const QString pipe = audio + "pipe.wav";
    QFile::remove(pipe);
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    show("Mine", {});
    testenv::ScriptedMessageBoxes boxes;
    g_frmStat()->AddFilesToList({pipe, good}, w.cGrid1, w.Form(), false);
    EXPECT_EQ(boxes.prompts(), QStringList({"Cannot add " + pipe}));
    EXPECT_EQ(gridNames(), QStringList({"good.wav"}));

    show("Piped", {pipe, good});
    EXPECT_EQ(gridNames(), QStringList({"good.wav"}));
    EXPECT_EQ(namesInFile(listFile("Piped")), QStringList({"pipe.wav", "good.wav"}));
}

// A WAV with 12.5 million empty chunks before its sound once froze the add
// for most of a minute. It is refused at once now, and no file is read on the
// window's thread: the read is held until the window's timer has ticked
// through it, then the refusal must follow within a second.
TEST_F(AddFilesTest, AWavOfMillionsOfChunksIsRefusedAtOnceWithTheWindowAnswering)
{
    show("Mine", {});
    const QString chunky =
        fixtures::writeWavWithHole(audio + "chunky.wav", 1, 100'000'000, fixtures::WavHole::BeforeData);
    ASSERT_FALSE(chunky.isEmpty());
    const QString good = wav("good.wav");

    StalledReads opens;
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0, releasedAt = -1, refusedAt = -1;
    int ticksWhileHeld = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
        if (opens.stalled() > 0 && releasedAt < 0 && ++ticksWhileHeld == 5) {
            opens.letThrough();
            opens.releaseOne();
            releasedAt = clock.elapsed();
        }
    });
    QStringList prompts;
    platform::MessageBoxHandler previous = platform::setMessageBoxHandler([&](const platform::MessageBoxRequest& r) {
        prompts << r.prompt;
        if (refusedAt < 0)
            refusedAt = clock.elapsed();
        return int(vbOK);
    });
    ticker.start();
    last = clock.elapsed();
    g_frmStat()->AddFilesToList({chunky, good}, w.cGrid1, w.Form(), false);
    ticker.stop();
    platform::setMessageBoxHandler(previous);

    EXPECT_EQ(opens.onWindowThread(), 0) << "a file was opened on the window's thread";
    EXPECT_EQ(ticksWhileHeld, 5) << "the window did not answer while the file was read";
    ASSERT_GE(releasedAt, 0);
    EXPECT_EQ(prompts, QStringList({"Cannot add " + chunky}));
    EXPECT_LT(refusedAt - releasedAt, 1000);
    // Loaded machines and sanitizers leave room above the goal of 100 ms.
    EXPECT_LT(longest, 250);
    EXPECT_EQ(gridNames(), QStringList({"good.wav"}));
}

// Cancel clicked while a file's read is held (a dead mount): the add ends
// while the read still hangs, without that file's row.
TEST_F(AddFilesTest, CancelAnswersWhileAFileIsBeingRead)
{
    show("Mine", {});
    const QString a = wav("a.wav"), b = wav("b.wav");
    StalledReads opens;
    QPointer<FrmStat> stat = g_frmStat();
    QTimer clicker;
    clicker.setInterval(5);
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (opens.stalled() > 0 && stat)
            stat->cmdCancel->click();
    });
    clicker.start();
    testenv::ScriptedMessageBoxes boxes;
    stat->AddFilesToList({a, b}, w.cGrid1, w.Form(), false);
    clicker.stop();
    EXPECT_EQ(opens.stalled(), 1);
    EXPECT_EQ(opens.onWindowThread(), 0);
    EXPECT_EQ(w.cGrid1->RowCount(), 0);
    EXPECT_TRUE(boxes.prompts().isEmpty());
    EXPECT_FALSE(AddFilesRunning());
}

} // namespace
