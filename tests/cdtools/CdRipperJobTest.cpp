// The CD ripper window over image drives: the CD check, ripping marked
// tracks into named and tagged files, the overwrite question, errors,
// aborting and the end-of-job actions.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QFile>
#include <QPixmap>
#include <QTabBar>
#include <QTimer>
#include <gtest/gtest.h>


#include "cdtools/frmCDRipper.h"
#include "components/disc/cAudioCDRipper.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cTabControl.h"
#include "core/TimeText.h"
#include "lists/ItemRow.h"
#include "platform/ProgramDir.h"
#include "settings/FormatSettings.h"
#include "settings/Options.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/audiotools/AudioToolsTestSupport.h"
#include "tests/components/disc/CdImageFixture.h"
#include "tests/support/NamedPipe.h"
#include "tests/toolframe/ToolFrameTestSupport.h"

namespace {

using namespace cdimage;
using Cells = QMap<QString, QString>;

class CdRipperJobTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        attest::startProgram();
        // WAV as the disc holds it, so that a rip can be compared byte for byte.
        g_lSamplesWAV = 44100;
        g_lChannelsWAV = 1;
        g_lBitrateWAV = 16;
        discs = testenv::tempRoot() + "/discs/";
        out = testenv::tempRoot() + "/out/";
        for (const QString& d : {discs, out}) {
            QDir(d).removeRecursively();
            QDir().mkpath(d);
        }
        main = std::make_unique<tftest::FakeMain>(&services);
    }
    void TearDown() override
    {
        if (g_frmCDRipperLoaded() && w && w->cmdConvert->isEnabled())
            w->close();
        qunsetenv("KELVANE_CD_IMAGES");
    }

    // The images as drives Z:, Y:, ... in this order.
    void useImages(const QStringList& bases)
    {
        QStringList cues;
        for (const QString& b : bases)
            cues << discs + b + ".cue";
        qputenv("KELVANE_CD_IMAGES", cues.join(':').toLocal8Bit());
    }
    // One row per track of the image as the drive's listing gives it, with
    // the marks given and the tags of `tags` (the same for every row).
    void addTrackRows(const Image& img, const QList<bool>& marks, const Cells& tags = {})
    {
        for (int t = 1; t <= int(marks.size()); ++t) {
            const QString name = QStringLiteral("Track%1.cda").arg(t, 2, 10, QLatin1Char('0'));
            Cells c = {{"Item Name", name},
                       {"Time", TimeCellText((img.starts[t] - img.starts[t - 1]) / kSecond)},
                       {"COL_FILE", "Z:/" + name},
                       {"COL_RANGE_ALL", "1"}};
            for (auto it = tags.begin(); it != tags.end(); ++it)
                c.insert(it.key(), it.value());
            main->addRow(marks[t - 1], c);
        }
    }
    // The window over the main grid's rows, writing into `out` by the template.
    FrmCDRipper* open(const QString& format = "WAV", const QString& nameTemplate = "[file_name].[dest_extension]")
    {
        w = g_frmCDRipper();
        CopyGridRows(main->cGrid1, w->cGrid1, false);
        w->txtToPath->setEditText(out);
        attest::chooseFormat(w, format);
        attest::chooseTemplate(w, nameTemplate);
        w->chkCreateSubFolder->setChecked(false);
        for (QCheckBox* box :
             {w->chkPlaySound, w->chkOpenDestFolder, w->chkTurnOffComputer, w->chkNoticeApp, w->chkOpenCDdrive})
            box->setChecked(false);
        return w;
    }
    void run()
    {
        w->cmdConvert->click();
        ASSERT_TRUE(attest::waitForJobEnd(w));
    }
    QStringList log() const { return attest::logMessages(w->txtLog); }

    tftest::ServiceLog services;
    std::unique_ptr<tftest::FakeMain> main;
    FrmCDRipper* w = nullptr;
    QString discs, out;
};

TEST_F(CdRipperJobTest, TheCdCheckTellsEachDriveAndRipRefusesADiscWithoutAudio)
{
    writeImage(discs, "data", {{2 * kSecond, false}}, 2);
    // A cue sheet over 1 MB is refused, and the check says so.
    const Image big = writeImage(discs, "big", {{kSecond}}, 3);
    padCuePastOneMegabyte(big.cue);
    useImages({"audio", "data", "big", "absent"});
    const Image img = writeImage(discs, "audio", {{kSecond}, {kSecond}, {kSecond}}, 1);
    addTrackRows(img, {true, true, true});
    open();
    ASSERT_EQ(w->cboDevices->count(), 4);

    const QString tooLarge = "The cue sheet " + discs + "big.cue is too large (over 1 MB).";
    struct Case {
        int device;
        QString text;
        QColor colour;
    } cases[] = {
        {1, "'Y:\\' is not an Audio CD.", Qt::red},
        {2, tooLarge, Qt::red},
        {3, "'W:\\' is not an Audio CD.", Qt::red}, // no image there: no disc
        {0, "OK: 3 CDA tracks", Qt::black},
    };
    for (const Case& c : cases) {
        w->cboDevices->setCurrentIndex(c.device);
        EXPECT_EQ(w->lblCDStatus->text().toStdString(), c.text.toStdString()) << c.device;
        EXPECT_EQ(w->lblCDStatus->palette().color(QPalette::WindowText), c.colour) << c.device;
    }
    EXPECT_EQ(w->cboDevices->currentText().left(2), "Z:");

    // Rip from the data disc or the refused image: one message, no job, no file.
    for (auto [device, message] : {std::pair{1, QStringLiteral("'Y:\\' is not an Audio CD.")}, std::pair{2, tooLarge}}) {
        w->cboDevices->setCurrentIndex(device);
        testenv::ScriptedMessageBoxes boxes;
        w->cmdConvert->click();
        EXPECT_EQ(boxes.prompts().join('\n').toStdString(), message.toStdString());
        EXPECT_TRUE(w->cmdConvert->isEnabled());
        EXPECT_TRUE(log().isEmpty());
        EXPECT_TRUE(attest::filesIn(out).isEmpty());
    }
}

TEST_F(CdRipperJobTest, RipsTheMarkedTracksIntoNamedTaggedMp3FilesInTheSubFolder)
{
    const Image img = writeImage(discs, "disc", {{2 * kSecond}, {3 * kSecond}, {4 * kSecond}}, 7);
    useImages({"disc"});
    addTrackRows(img, {true, false, true},
                 {{"COL_TAG_ARTIST", "Ann Artist"}, {"COL_TAG_ALBUM", "Night Album"}, {"COL_TAG_TITLE", "Song"},
                  {"COL_TAG_TRACK", "[TRACK_NUM]"}});
    open("MP3", "[file_name]_[123].[dest_extension]");
    w->chkCreateSubFolder->setChecked(true);
    w->txtUndeForlder->setText("Night");
    EXPECT_EQ(w->lblCDStatus->text(), "OK: 3 CDA tracks");

    run();

    EXPECT_EQ(log(), QStringList({"Preparing to rip: 3 tracks.", "Destination format: MP3",
                                  "Start to rip: Track01.cda...", "Done.", "Start to rip: Track03.cda...", "Done."}));
    EXPECT_EQ(attest::filesIn(out + "Night/"), QStringList({"Track01_1.mp3", "Track03_3.mp3"}));
    struct Expect {
        QString file, track;
        double seconds;
    } files[] = {{"Track01_1.mp3", "1", 2.0}, {"Track03_3.mp3", "3", 4.0}};
    for (const Expect& e : files) {
        const fixtures::Probe p = fixtures::probe(out + "Night/" + e.file);
        ASSERT_TRUE(p.ok) << e.file.toStdString();
        EXPECT_EQ(p.codec, "mp3");
        EXPECT_NEAR(p.seconds, e.seconds, 0.1) << e.file.toStdString();
        EXPECT_EQ(p.tags.value("artist"), "Ann Artist");
        EXPECT_EQ(p.tags.value("album"), "Night Album");
        EXPECT_EQ(p.tags.value("title"), "Song");
        EXPECT_EQ(p.tags.value("track"), e.track) << e.file.toStdString();
    }
    EXPECT_EQ(w->lblCurrentTrack->text(), "Done.");
    EXPECT_EQ(w->windowTitle(), "Done.");
    EXPECT_EQ(w->prgTotal->ProgressValue(), 300);
    EXPECT_EQ(main->balloons.size(), 1);
    EXPECT_TRUE(main->balloons.value(0).startsWith("Done.|"));
}

TEST_F(CdRipperJobTest, WavRipsHoldTheImagesTrackBytesForWholeTracksAndRanges)
{
    const Image img = writeImage(discs, "disc", {{2 * kSecond}, {3 * kSecond, true, 40}, {4 * kSecond}}, 11);
    useImages({"disc"});
    addTrackRows(img, {true, true, true});
    // Track 3 from its second 1, for 2 seconds.
    main->cGrid1->SetCell(3, main->cGrid1->ColumnIndex(COL_RANGE_ALL), "0");
    main->cGrid1->SetCell(3, main->cGrid1->ColumnIndex(COL_RANGE_START_TIME), "1");
    main->cGrid1->SetCell(3, main->cGrid1->ColumnIndex(COL_RANGE_LENGTH_TIME), "2");
    open("WAV");

    run();

    ASSERT_EQ(attest::filesIn(out), QStringList({"Track01.wav", "Track02.wav", "Track03.wav"}));
    EXPECT_TRUE(wavPcm(out + "Track01.wav") == img.track(1));
    EXPECT_TRUE(wavPcm(out + "Track02.wav") == img.track(2));
    EXPECT_TRUE(wavPcm(out + "Track03.wav") == img.sectors(img.starts[2] + kSecond, 2 * kSecond));
}

TEST_F(CdRipperJobTest, OverwriteAnswersSkipOrCancelAndATickedBoxAsksNothing)
{
    const Image img = writeImage(discs, "disc", {{kSecond}, {kSecond}, {kSecond}}, 3);
    useImages({"disc"});
    addTrackRows(img, {true, true, true});
    for (const char* name : {"Track01.wav", "Track03.wav"})
        fixtures::writeBytes(out + name, "kept");
    open("WAV");
    w->chkPlaySound->setChecked(true);
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbNo);
    boxes.answer(vbCancel);

    run();

    EXPECT_EQ(log(), QStringList({"Preparing to rip: 3 tracks.", "Destination format: WAV",
                                  "Start to rip: Track01.cda...", "File already exists.",
                                  "Start to rip: Track02.cda...", "Done.", "Start to rip: Track03.cda...",
                                  "File already exists.", "Aborted."}));
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].prompt, "The file: '" + out + "Track01.wav' already exists.\r\n\r\nOverwrite it?");
    EXPECT_EQ(fixtures::readAll(out + "Track01.wav"), "kept");
    EXPECT_EQ(fixtures::readAll(out + "Track03.wav"), "kept");
    EXPECT_TRUE(wavPcm(out + "Track02.wav") == img.track(2));
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_EQ(w->windowTitle(), "Aborted.");
    EXPECT_TRUE(main->balloons.value(0).startsWith("Aborted.|"));
    EXPECT_FALSE(services.events.join(' ').contains("sound")); // no end-of-job actions

    // A second job in the same window, with the box ticked: no question.
    w->chkOverWrite->setChecked(true);
    run();
    EXPECT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(w->lblCurrentTrack->text(), "Done.");
    for (int t = 1; t <= 3; ++t)
        EXPECT_TRUE(wavPcm(out + QStringLiteral("Track%1.wav").arg(t, 2, 10, QLatin1Char('0'))) == img.track(t)) << t;
    EXPECT_EQ(w->m_ltmrDoneItemsSecs, 3);
}

TEST_F(CdRipperJobTest, EndOfJobActionsRunAfterACleanJobAndAFailedTrackKeepsTheComputerOn)
{
    struct Case {
        const char* name;
        bool dataTrack; // track 2 is a data track, marked: its rip fails
        QString endText;
        bool turnOff;
    } cases[] = {
        {"clean", false, "Done.", true},
        {"failed", true, "Done with errors.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Image img = writeImage(discs, c.name, {{kSecond}, {kSecond, !c.dataTrack}, {kSecond}}, 5);
        useImages({c.name});
        main.reset(); // the old one unregisters before the new one registers
        main = std::make_unique<tftest::FakeMain>(&services);
        services.events.clear();
        addTrackRows(img, {true, true, true});
        open("WAV");
        QDir().mkpath(out + c.name);
        w->txtToPath->setEditText(out + c.name + "/");
        for (QCheckBox* box : {w->chkPlaySound, w->chkOpenDestFolder, w->chkTurnOffComputer, w->chkOpenCDdrive})
            box->setChecked(true);
        if (c.turnOff)
            services.cancelTurnOffWhenShown();

        run();

        EXPECT_EQ(w->lblCurrentTrack->text(), c.endText);
        const QString events = services.events.join('\n');
        EXPECT_TRUE(events.contains("sound ")) << events.toStdString();
        EXPECT_TRUE(events.contains("open " + out + c.name + "/")) << events.toStdString();
        EXPECT_EQ(events.contains("turnoff"), c.turnOff) << events.toStdString();
        EXPECT_EQ(attest::filesIn(out + c.name).size(), c.dataTrack ? 2 : 3);
        if (c.dataTrack) {
            EXPECT_TRUE(log().contains("Rows with errors: 1 of 3."));
        }
        w->close();
        QTest::qWait(50); // the closing window lets go of the image
    }
}

TEST_F(CdRipperJobTest, AbortDuringARipEndsAbortedWithoutAPartialFile)
{
    const Image img = writeImage(discs, "disc", {{120 * kSecond}, {kSecond}}, 9);
    useImages({"disc"});
    addTrackRows(img, {true, true});
    open("MP3");
    w->chkPlaySound->setChecked(true);
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbYes);
    bool asked = false;
    QObject::connect(w->cAudioCDRipper1, &cAudioCDRipper::JobProgress, w, [&](int p) {
        if (p >= 1 && !asked) {
            asked = true;
            w->cmdAbort->click();
        }
    });

    run();

    ASSERT_TRUE(asked);
    EXPECT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(log().mid(2), QStringList({"Start to rip: Track01.cda...", "Aborted."}));
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_TRUE(attest::filesIn(out).isEmpty()) << attest::filesIn(out).join(' ').toStdString();
    EXPECT_FALSE(services.events.join(' ').contains("sound"));
}

} // namespace

namespace {

QImage iconImage(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage();
}

// Names from disc and server texts: no control characters, each step at most
// 255 bytes cut on a character boundary, a short extension kept.
TEST(RipFileNames, ControlCharactersGoAndLongStepsAreCutOnACharacter)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x8E\xB5"); // four bytes, two UTF-16 units
    struct Case {
        const char* what;
        QString name, expected;
    } cases[] = {
        {"controls", QStringLiteral("A\tB\x1b" "C\x07" "D\rE\x7f" "F\x85.mp3"), "ABCDEF.mp3"},
        {"short stays", "Song.mp3", "Song.mp3"},
        {"1,000 characters", QString(1000, 'a') + ".mp3", QString(251, 'a') + ".mp3"},
        {"two-byte characters", QString(1000, QChar(0x00e9)) + ".wav", QString(125, QChar(0x00e9)) + ".wav"},
        {"four-byte characters", emoji.repeated(100) + ".ogg", emoji.repeated(62) + ".ogg"},
        {"no extension", QString(300, 'b'), QString(255, 'b')},
        {"an extension too long to keep", "x." + QString(300, 'c'), "x." + QString(253, 'c')},
        {"each step", QString(300, 'd') + "/" + QString(300, 'e') + ".mp3",
         QString(255, 'd') + "/" + QString(251, 'e') + ".mp3"},
    };
    for (const Case& c : cases) {
        const QString got = RipFileName(c.name);
        EXPECT_EQ(got.toStdString(), c.expected.toStdString()) << c.what;
        for (const QString& step : got.split('/'))
            EXPECT_LE(step.toUtf8().size(), 255) << c.what;
    }
    EXPECT_EQ(TrackItemName("Low Hum.cda"), "Low Hum");
    EXPECT_EQ(TrackItemName("Low Hum.CDA"), "Low Hum");
    EXPECT_EQ(TrackItemName("Low Hum.wav"), "Low Hum.wav");
}

class CdRipperWindowTest : public CdRipperJobTest {
protected:
    void TearDown() override
    {
        QFile::remove(AppPath() + "/FileNameFormats.txt");
        CdRipperJobTest::TearDown();
    }
};

// The user's own templates may hold neither the default template nor a
// second entry, or none at all (blank lines are no templates): the window
// still opens with one, and the rip names its files.
TEST_F(CdRipperWindowTest, OwnTemplatesStillGiveATemplateAndTheSettingsTabItsIcon)
{
    const Image img = writeImage(discs, "disc", {{kSecond}}, 41);
    useImages({"disc"});
    struct Case {
        const char* what;
        QByteArray file;
        QString defaultTemplate, expected, fileName;
    } cases[] = {
        {"one entry", "[item_name]-[123].[dest_extension]\r\n", "", "[item_name]-[123].[dest_extension]",
         "Low Hum-1.wav"},
        {"default not listed", "[123] [item_name].[dest_extension]\r\nmine_[item_name].[dest_extension]\r\n",
         "[file_name].[dest_extension]", "mine_[item_name].[dest_extension]", "mine_Low Hum.wav"},
        {"an empty file", "", "", "[file_name].[source_extension].[dest_extension]", "Track01.cda.wav"},
        {"blank lines only", "  \r\n\t\r\n\r\n  ", "", "[file_name].[source_extension].[dest_extension]",
         "Track01.cda.wav"},
    };
    const QString saved = g_sFileNameFormat;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::writeBytes(AppPath() + "/FileNameFormats.txt", c.file);
        g_sFileNameFormat = c.defaultTemplate;
        main.reset();
        main = std::make_unique<tftest::FakeMain>(&services);
        main->addRow(true, {{"Item Name", "Low Hum.cda"},
                            {"Time", TimeCellText(1)},
                            {"COL_FILE", "Z:/Track01.cda"},
                            {"COL_RANGE_ALL", "1"}});
        // Two images the tab could show, told apart by colour.
        for (auto [index, colour] : {std::pair{9, Qt::red}, std::pair{25, Qt::blue}}) {
            QPixmap p(16, 16);
            p.fill(colour);
            main->imgMenu->setImage(index, QIcon(p));
        }
        w = g_frmCDRipper();
        EXPECT_EQ(w->cboFileName->currentText(), c.expected);
        EXPECT_EQ(iconImage(w->cTabControl1->tabBar()->tabIcon(0)), iconImage(w->cTabControl1->ImageList()->Image(25)));
        CopyGridRows(main->cGrid1, w->cGrid1, false);
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        w->txtToPath->setEditText(out);
        attest::chooseFormat(w, "WAV");
        w->chkCreateSubFolder->setChecked(false);
        for (QCheckBox* box :
             {w->chkPlaySound, w->chkOpenDestFolder, w->chkTurnOffComputer, w->chkNoticeApp, w->chkOpenCDdrive})
            box->setChecked(false);
        run();
        EXPECT_EQ(w->lblCurrentTrack->text(), "Done.") << log().join('\n').toStdString();
        EXPECT_EQ(attest::filesIn(out), QStringList({c.fileName}));
        w->close();
        QTest::qWait(50);
    }
    g_sFileNameFormat = saved;
}

// A FIFO named as a disc image: the window opens at once and the drive says why it holds no disc.
TEST_F(CdRipperWindowTest, AFifoCueOpensAtOnceAsADriveWithoutADisc)
{
    testenv::NamedPipe pipe(discs + "pipe.cue");
    ASSERT_TRUE(pipe.ok());
    const QString fifo = pipe.path();
    qputenv("KELVANE_CD_IMAGES", fifo.toLocal8Bit());
    int ticks = 0;
    QTimer painter;
    QObject::connect(&painter, &QTimer::timeout, [&] { ++ticks; });
    painter.start(20);

    w = g_frmCDRipper();
    w->show();
    // The event loop runs with the window open, and nothing waited on the FIFO for a writer.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 5; }, 30000));
    EXPECT_FALSE(pipe.heldAReader());
    EXPECT_TRUE(w->cboDevices->currentText().startsWith("Z:"));
    EXPECT_EQ(w->lblCDStatus->text(), "The cue sheet " + fifo + " is not a regular file.");
    EXPECT_FALSE(w->CDCheckPassed());
    w->close();
}

} // namespace
