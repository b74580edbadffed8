// The audio CD maker over image writers: the writer, speed and disc texts,
// a burn of the grid's items read back from the written image, and how a
// refused, failed or aborted burn ends.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QTest>
#include <gtest/gtest.h>

#include "cdtools/WriterDrives.h"
#include "cdtools/frmCDBurner.h"
#include "components/disc/CdWriters.h"
#include "components/disc/cAudioBurner.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "core/Shutdown.h"
#include "lists/ItemRow.h"
#include "tests/cdtools/PowerOffFixture.h"
#include "tests/components/disc/BurnFixture.h"
#include "tests/support/TestEnv.h"
#include "tests/toolframe/ToolFrameTestSupport.h"

namespace {

using namespace burnfixture;

QStringList logMessages(const QPlainTextEdit* log)
{
    QStringList out;
    for (QString line : log->toPlainText().split('\n')) {
        line.remove('\r');
        int colon = -1;
        for (int i = 0; i < 3 && !line.isEmpty(); ++i)
            colon = line.indexOf(':', colon + 1);
        out << (line.isEmpty() ? QString() : line.mid(colon + 1));
    }
    while (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}

class CDBurnerWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testenv::installMachineKeys();
        root = testenv::tempRoot() + "/burner/";
        QDir(root).removeRecursively();
        QDir().mkpath(root + "disc");
        QDir().mkpath(root + "items");
        cue = root + "disc/out.cue";
        qputenv("KELVANE_CD_WRITERS", cue.toLocal8Bit());
        main = std::make_unique<tftest::FakeMain>(&services);
    }
    void TearDown() override
    {
        if (g_frmCDBurnerLoaded() && w->cmdConvert->isEnabled())
            w->close();
        qunsetenv("KELVANE_CD_WRITERS");
    }

    FrmCDBurner* open(const QStringList& files)
    {
        for (const QString& f : files)
            main->addRow(true, {{"Item Name", QFileInfo(f).fileName()}, {"COL_FILE", f}, {"COL_RANGE_ALL", "1"}});
        w = g_frmCDBurner();
        CopyGridRows(main->cGrid1, w->cGrid1, true);
        for (QCheckBox* box : {w->chkPlaySound, w->chkOpenDestFolder, w->chkNoticeApp, w->chkOpenCDdrive})
            box->setChecked(false);
        w->chkTurnOffComputer->setChecked(true);
        services.cancelTurnOffWhenShown();
        return w;
    }
    void burn()
    {
        w->cmdConvert->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return w->cmdConvert->isEnabled(); }, 60000));
    }
    QStringList log() const { return logMessages(w->txtLog); }
    bool turnedOff() const { return services.events.filter("turnoff").size() > 0; }

    tftest::ServiceLog services;
    std::unique_ptr<tftest::FakeMain> main;
    testenv::ScriptedMessageBoxes boxes;
    FrmCDBurner* w = nullptr;
    QString root, cue;
};

TEST(WriterTexts, SpeedsAndCapacityReadAsTheUserSeesThem)
{
    const std::pair<int, const char*> speeds[] = {
        {1411, "1411 KB/s (8x)"}, {1764, "1764 KB/s (10x)"}, {7056, "7056 KB/s (40x)"}, {175, "175 KB/s (0x)"}};
    for (const auto& [kbs, text] : speeds)
        EXPECT_EQ(SpeedEntryText(kbs), text) << kbs;
    const std::pair<qint64, const char*> capacities[] = {
        {736968000, "80 Min"}, {736704000, "80 Min"}, {23030250, "2 Min"}, {32242350, "4 Min"}, {0, "0 Min"}};
    for (const auto& [capacity, text] : capacities)
        EXPECT_EQ(CapacityMinutesText(capacity), text) << capacity;
}

TEST_F(CDBurnerWindowTest, WritersShowTheirSpeedsAndDiscState)
{
    const QString used = root + "disc/used.cue";
    QFile u(used);
    ASSERT_TRUE(u.open(QIODevice::WriteOnly));
    u.close();
    qputenv("KELVANE_CD_WRITERS", (cue + ":" + used).toLocal8Bit());
    open({});
    ASSERT_GE(w->cboDrv->count(), 2);
    EXPECT_TRUE(w->cboDrv->itemText(0).endsWith("out.cue"));
    QStringList speeds;
    for (int i = 0; i < w->cboSpeed->count(); ++i)
        speeds << w->cboSpeed->itemText(i) + "=" + w->cboSpeed->itemData(i).toString();
    EXPECT_EQ(speeds, QStringList({"1764 KB/s (10x)=1764", "3528 KB/s (20x)=3528", "7056 KB/s (40x)=7056", "Max.=65535"}));
    EXPECT_EQ(w->cboSpeed->currentText(), "Max.");
    EXPECT_EQ(w->lblDiskCapacity->text(), "80 Min");
    EXPECT_EQ(w->lblState->text(), "OK - Ready to be burn.");
    EXPECT_EQ(w->lblState->palette().color(QPalette::WindowText), QColor(0, 0x80, 0));
    EXPECT_FALSE(w->lblState->font().bold());

    w->cboDrv->setCurrentIndex(1);
    EXPECT_EQ(w->lblState->text(), "The disc is not blank.");
    EXPECT_EQ(w->lblState->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_TRUE(w->lblState->font().bold());
}

TEST_F(CDBurnerWindowTest, WithoutWritersTheListsStayEmpty)
{
    qputenv("KELVANE_CD_WRITERS", "");
    open({});
    if (w->cboDrv->count() > 0)
        GTEST_SKIP() << "this machine has a CD writer";
    EXPECT_EQ(w->cboSpeed->count(), 0);
    EXPECT_EQ(w->lblDiskCapacity->text(), "Disk Capacity");
    EXPECT_EQ(w->lblState->text(), "State");
}

TEST_F(CDBurnerWindowTest, BurnsTheReadableItemsAndSaysWhatItLeftOut)
{
    const Item items[] = {makeItem(root + "items/one.wav", 4.5, 440), makeItem(root + "items/two.mp3", 5.2, 660),
                          makeItem(root + "items/three.wma", 4.2, 880)};
    for (const Item& i : items)
        ASSERT_FALSE(i.path.isEmpty());
    const QString bad = root + "items/bad.mp3";
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("no audio in here");
    f.close();
    open({items[0].path, bad, items[1].path, items[2].path});

    burn();
    EXPECT_EQ(log(), QStringList({"Preparing to burn: 4 tracks.", "List the files to burn...", "Cannot add bad.mp3",
                                  "Writing track...", "Closing track...", "Writing track...", "Closing track...",
                                  "Writing track...", "Closing track...", "Closing session...", "Finished.", "Done."}));
    EXPECT_EQ(w->lblCurrentTrack->text(), "Done.");
    EXPECT_EQ(w->lblFilesToConvert->text(), "Files: 3/4");
    EXPECT_EQ(w->prgTotal->ProgressValue(), 3);
    EXPECT_EQ(main->balloons.filter("Done.").size(), 1);
    EXPECT_TRUE(turnedOff());
    const ReadBack rb = readImage(cue);
    ASSERT_TRUE(rb.ok) << rb.why.toStdString();
    ASSERT_EQ(rb.tracks.size(), 3u);
    for (int t = 0; t < 3; ++t)
        EXPECT_TRUE(rb.tracks[size_t(t)] == padToSectors(items[t].pcm)) << "track " << t + 1;
    // The window shows the disc as it is now.
    EXPECT_EQ(w->lblState->text(), "The disc is not blank.");

    // A second burn counts from 1 again, after one empty line; the used disc
    // refuses it, and a failed burn neither says "Done." nor turns off.
    services.events.clear();
    main->balloons.clear();
    services.cancelTurnOffWhenShown();
    burn();
    const QStringList second = log().mid(log().indexOf(QString()));
    EXPECT_EQ(second, QStringList({"", "Preparing to burn: 4 tracks.", "List the files to burn...", "Cannot add bad.mp3",
                                   "Error:The disc is not blank.(71)"}));
    EXPECT_EQ(w->lblCurrentTrack->text(), "Error:The disc is not blank.(71)");
    EXPECT_FALSE(turnedOff());
    EXPECT_TRUE(main->balloons.filter("Done.").isEmpty());
}

TEST_F(CDBurnerWindowTest, NothingReadableMeansNothingToBurn)
{
    const QString a = root + "items/a.mp3", b = root + "items/b.wav";
    for (const QString& p : {a, b}) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("text");
    }
    open({a, b});
    burn();
    EXPECT_EQ(log(), QStringList({"Preparing to burn: 2 tracks.", "List the files to burn...", "Cannot add a.mp3",
                                  "Cannot add b.wav", "Nothing to burn."}));
    EXPECT_EQ(boxes.prompts(), QStringList{"Nothing to burn."});
    EXPECT_EQ(w->lblCurrentTrack->text(), "Nothing to burn.");
    EXPECT_FALSE(QFileInfo::exists(cue));
    EXPECT_FALSE(turnedOff());
}

TEST_F(CDBurnerWindowTest, AbortAndCloseDuringABurnAskFirst)
{
    const Item a = makeItem(root + "items/a.wav", 30.0, 440);
    const Item b = makeItem(root + "items/b.wav", 30.0, 550);
    ASSERT_FALSE(a.path.isEmpty());
    ASSERT_FALSE(b.path.isEmpty());
    open({a.path, b.path});

    // Abort while idle asks nothing.
    w->cmdAbort->click();
    EXPECT_TRUE(boxes.prompts().isEmpty());

    // Closing during the burn asks to abort; No keeps both the burn and the window.
    boxes.answer(vbNo);
    bool asked = false;
    auto c = QObject::connect(w->cAudioBurner1, &cAudioBurner::TrackProgress, w, [&](int, int) {
        if (asked)
            return;
        asked = true;
        w->close();
        EXPECT_TRUE(g_frmCDBurnerLoaded());
        EXPECT_FALSE(w->cmdConvert->isEnabled());
    });
    burn();
    QObject::disconnect(c);
    EXPECT_EQ(boxes.prompts(), QStringList{"Abort operation?" + QString(38, ' ')});
    EXPECT_EQ(w->lblCurrentTrack->text(), "Done.");
    EXPECT_TRUE(turnedOff());

    // Yes stops it: "Aborted.", nothing on the disc, no turn-off.
    QFile::remove(cue);
    QFile::remove(root + "disc/out.bin");
    boxes.clear();
    services.events.clear();
    services.cancelTurnOffWhenShown();
    boxes.answer(vbYes);
    bool clicked = false;
    c = QObject::connect(w->cAudioBurner1, &cAudioBurner::TrackProgress, w, [&](int, int) {
        if (!clicked) {
            clicked = true;
            w->cmdAbort->click();
        }
    });
    burn();
    QObject::disconnect(c);
    EXPECT_EQ(log().last(), "Aborted.");
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_EQ(main->balloons.filter("Aborted.").size(), 1);
    EXPECT_TRUE(main->balloons.filter("Done.").size() == 1); // only the first burn's
    EXPECT_FALSE(turnedOff());
    EXPECT_TRUE(QDir(root + "disc").entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(w->lblState->text(), "OK - Ready to be burn.");
    // Nothing was written: the bars do not claim otherwise.
    EXPECT_EQ(w->prgCurrnet->ProgressValue(), w->prgCurrnet->ProgressMin());
    EXPECT_EQ(w->prgTotal->ProgressValue(), w->prgTotal->ProgressMin());
}

// "Turn off computer" at the end of a burn: the countdown comes once the
// burn has ended, so the exit finds no running job and the power-off request
// goes out to the login manager.
TEST_F(CDBurnerWindowTest, TurnOffAtTheEndPowersOffOnceTheBurnHasEnded)
{
    poweroff::StandInLogind logind;
    ASSERT_TRUE(logind.Problem().isEmpty()) << logind.Problem().toStdString();
    main.reset();
    main = std::make_unique<poweroff::ExitCheckingMain>(&services);
    const Item a = makeItem(root + "items/a.wav", 4.2);
    ASSERT_FALSE(a.path.isEmpty());
    open({a.path});
    services.polls.clear();
    const auto press = poweroff::PressShutdownNowWhenShown(&services);

    burn();
    EXPECT_EQ(services.events.filter(QRegularExpression("^(turnoff|exit)")),
              QStringList({"turnoff 30", "exit question", "exit"}))
        << services.events.join("|").toStdString();
    EXPECT_EQ(logind.Calls(), QStringList({"CanPowerOff", "PowerOff(false)"})) << logind.Calls().join("|").toStdString();
    EXPECT_TRUE(boxes.prompts().isEmpty()) << boxes.prompts().join("|").toStdString();
    EXPECT_EQ(log().mid(log().size() - 2), QStringList({"Finished.", "Done."}));
}

// Abort asked while the list is being added: the adding waits for the
// answer, and after Yes no later question of the job appears.
TEST_F(CDBurnerWindowTest, AnAbortAskedWhileAddingIsTheOnlyQuestion)
{
    QStringList files;
    for (int i = 0; i < 5; ++i) {
        files << root + QStringLiteral("items/%1.mp3").arg(i);
        QFile f(files.last());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("no audio in here"); // would end in "Nothing to burn."
    }
    open(files);
    QStringList asked;
    struct Boxes {
        platform::MessageBoxHandler previous;
        ~Boxes() { platform::setMessageBoxHandler(previous); }
    } scripted{platform::setMessageBoxHandler([&](const platform::MessageBoxRequest& r) {
        asked << r.prompt;
        // The user reads the question until the job's next step has come
        // due: it waits for the answer, or the job ran on to its end.
        if (r.prompt.startsWith("Abort operation?")) {
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return w->JobSteps().waiting() > 0 || w->cmdConvert->isEnabled() || asked.size() > 1; },
                30000));
        }
        return int(vbYes);
    })};
    QTimer::singleShot(0, w, [this] { w->cmdAbort->click(); });
    burn();
    EXPECT_EQ(asked, QStringList{"Abort operation?" + QString(38, ' ')});
    EXPECT_EQ(log().last(), "Aborted.");
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_FALSE(turnedOff());
}

TEST_F(CDBurnerWindowTest, TheChosenSpeedReachesTheWriter)
{
    const Item a = makeItem(root + "items/a.wav", 4.2);
    ASSERT_FALSE(a.path.isEmpty());
    open({a.path});
    w->chkTurnOffComputer->setChecked(false);
    QList<int> asked;
    struct Watch {
        cdwrite::RequestWatch previous;
        ~Watch() { cdwrite::setRequestWatch(previous); }
    } watch{cdwrite::setRequestWatch([&](const cdwrite::Request& r) { asked << r.speedKBs; })};

    // "Max." leaves the speed to the drive: its fastest.
    const std::pair<QString, int> cases[] = {{"1764 KB/s (10x)", 1764}, {"7056 KB/s (40x)", 7056}, {"Max.", 0}};
    for (const auto& [entry, kbs] : cases) {
        SCOPED_TRACE(entry.toStdString());
        QFile::remove(cue);
        QFile::remove(root + "disc/out.bin");
        w->cboDrv_Click();
        const int index = w->cboSpeed->findText(entry);
        ASSERT_GE(index, 0);
        w->cboSpeed->setCurrentIndex(index);
        asked.clear();
        burn();
        EXPECT_EQ(asked, QList<int>{kbs});
        EXPECT_EQ(w->lblCurrentTrack->text(), "Done.");
    }
}

} // namespace
