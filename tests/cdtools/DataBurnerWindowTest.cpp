// The data CD maker window end to end over stdio: writers: rows turned into
// files of the temporary folder (converted or copied), the burn question, and
// the disc image both engines write, read back.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "cdtools/frmDataBurner3.h"
#include "components/cAudioDataBurner.h"
#include "components/cGrid.h"
#include "components/cProgressBar.h"
#include "core/Shutdown.h"
#include "platform/UserSettings.h"
#include "settings/SettingsWidgets.h"
#include "tests/audiocomponents/AudioFixtures.h"
#include "tests/audiotools/AudioToolsTestSupport.h"
#include "tests/components/IsoReadBack.h"
#include "tests/toolframe/ToolFrameTestSupport.h"

namespace {

using Cells = QMap<QString, QString>;

const QString kBurnQuestion = "Burn CD?" + QString(46, ' ');

class DataBurnerWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        attest::startProgram();
        audio = testenv::tempRoot() + "/audio/";
        discs = testenv::tempRoot() + "/discs/";
        for (const QString& d : {audio, discs}) {
            QDir(d).removeRecursively();
            QDir().mkpath(d);
        }
        target = discs + "disc.iso";
        qputenv("KELVANE_DATA_WRITERS", target.toLocal8Bit());
        SaveSetting(g_sAppName, "BurnerEngine", "cmbEngine", "0");
        main = std::make_unique<tftest::FakeMain>(&services);
    }
    void TearDown() override
    {
        if (g_frmDataBurner3Loaded() && w && w->cmdConvert->isEnabled())
            w->close();
        qunsetenv("KELVANE_DATA_WRITERS");
    }

    static Cells whole(const QString& path, int seconds = 1)
    {
        return {{"Item Name", QFileInfo(path).fileName()},
                {"Time", TimeCellText(seconds)},
                {"COL_FILE", path},
                {"COL_RANGE_ALL", "1"}};
    }
    // The window over the rows, on the stdio writer, with the end actions
    // that reach outside the test switched off.
    FrmDataBurner3* open(const QList<Cells>& rows, const QString& format = "MP3", const QString& label = "Road-Trip")
    {
        for (const Cells& r : rows)
            main->addRow(true, r);
        w = g_frmDataBurner3();
        CopyGridRows(main->cGrid1, w->cGrid1, true);
        attest::chooseFormat(w, format);
        w->txtCDName->setText(label);
        for (QCheckBox* box : {w->chkPlaySound, w->chkOpenDestFolder, w->chkTurnOffComputer, w->chkNoticeApp})
            box->setChecked(false);
        const int z = w->cboDrv->findText("Z: stdio:" + target);
        EXPECT_GE(z, 0);
        w->cboDrv->setCurrentIndex(z);
        return w;
    }
    // Clicks Burn and waits until neither the rows nor a burn are at work.
    void run()
    {
        w->cmdConvert->click();
        ASSERT_TRUE(QTest::qWaitFor([this] { return w->cmdConvert->isEnabled() && !w->Burning(); }, 120000));
        QTest::qWait(50);
    }
    QStringList log() const { return attest::logMessages(w->txtLog); }
    QString temp() const { return w->GetTempFolder(); }

    tftest::ServiceLog services;
    std::unique_ptr<tftest::FakeMain> main;
    FrmDataBurner3* w = nullptr;
    QString audio, discs, target;
};

TEST_F(DataBurnerWindowTest, ConvertsTwoRowsAndBurnsThemUnderTheListsName)
{
    const QString a = fixtures::writeToneWav(audio + "alpha.wav", 1.0);
    const QString b = fixtures::writeToneWav(audio + "beta.wav", 2.0);
    open({whole(a), whole(b, 2)});
    w->chkEraseTempfiles->setChecked(false); // keep the converted files to compare with the disc
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbOK);

    run();

    EXPECT_EQ(boxes.prompts(), QStringList({kBurnQuestion}));
    EXPECT_EQ(boxes.shown()[0].style, vbOKCancel);
    EXPECT_EQ(log(), QStringList({"Preparing to burn: 2 tracks.", "Destination format: MP3",
                                  "Start to convert: alpha.wav...", "Start to convert: beta.wav...",
                                  "Add files to burn.", "Start the burning process...", "Closing session...",
                                  "Finished", "Done."}));
    EXPECT_EQ(w->lblCurrentTrack->text(), "Done.");
    EXPECT_EQ(main->balloons, QStringList({"Done.|" + g_sAppName + " " + g_sAppVersion + "|1|30"}));

    ASSERT_EQ(attest::filesIn(temp()), QStringList({"alpha.mp3", "beta.mp3"}));
    for (const char* name : {"alpha.mp3", "beta.mp3"})
        EXPECT_EQ(fixtures::probe(temp() + name).codec, "mp3") << name;
    const IsoContents iso = ReadIsoImage(target);
    ASSERT_TRUE(iso.ok) << iso.error.toStdString();
    EXPECT_EQ(iso.volumeId, "Road-Trip");
    EXPECT_TRUE(iso.hasJoliet);
    ASSERT_EQ(iso.rootFiles.keys(), QStringList({"alpha.mp3", "beta.mp3"}));
    for (const QString& name : iso.rootFiles.keys())
        EXPECT_EQ(iso.rootFiles.value(name), fixtures::readAll(temp() + name)) << name.toStdString();

    // The written target is no blank disc for the next job.
    boxes.clear();
    run();
    EXPECT_EQ(boxes.prompts(), QStringList({"Please insert an empty media into drive: Z:"}));
}

TEST_F(DataBurnerWindowTest, ATargetHoldingDataStopsTheJobBeforeAnythingIsPrepared)
{
    const QString a = fixtures::writeToneWav(audio + "alpha.wav", 1.0);
    fixtures::writeBytes(target, QByteArray(5000, 'x'));
    open({whole(a)});
    testenv::ScriptedMessageBoxes boxes;

    run();

    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].prompt, "Please insert an empty media into drive: Z:");
    EXPECT_EQ(boxes.shown()[0].style, vbInformation | vbOKOnly);
    EXPECT_EQ(log(), QStringList({"Preparing to burn: 1 tracks.", "The CD drive 'Z:' is not empty.", "Aborted."}));
    EXPECT_TRUE(attest::filesIn(temp()).isEmpty());
    EXPECT_EQ(fixtures::readAll(target), QByteArray(5000, 'x'));
}

TEST_F(DataBurnerWindowTest, CopyOnlyKeepsEachSourceAndAFailedMiddleRowKeepsTheComputerOn)
{
    const QString a = audio + "a.wma";
    ASSERT_TRUE(fixtures::runFfmpeg({"-f", "lavfi", "-i", "sine=f=440:d=1", "-c:a", "wmav2", a}));
    const QString c = audio + "c.mp3";
    ASSERT_TRUE(fixtures::runFfmpeg({"-f", "lavfi", "-i", "sine=f=330:d=1", "-c:a", "libmp3lame", c}));
    open({whole(a), whole(audio + "missing.mp3"), whole(c)});
    w->chkDoNotConvertSource->setChecked(true);
    EXPECT_FALSE(w->cboTargetFormat->isEnabled());
    w->chkTurnOffComputer->setChecked(true);
    services.cancelTurnOffWhenShown();
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbOK);

    run();

    const QStringList lines = log();
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.mid(0, 2), QStringList({"Preparing to burn: 3 tracks.", "Destination format: MP3"}));
    EXPECT_TRUE(QRegularExpression("^Error: .+\\(32\\)$").match(lines[2]).hasMatch()) << lines[2].toStdString();
    EXPECT_EQ(lines.mid(3), QStringList({"Add files to burn.", "Couldn't add the file missing.mp3",
                                         "Start the burning process...", "Closing session...", "Finished",
                                         "Rows with errors: 1 of 3.", "Erase temp files...", "Done with errors."}));
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].prompt, "Couldn't add the file " + temp() + "missing.mp3");
    EXPECT_EQ(boxes.shown()[1].title, "Error");

    const IsoContents iso = ReadIsoImage(target);
    ASSERT_TRUE(iso.ok) << iso.error.toStdString();
    ASSERT_EQ(iso.rootFiles.keys(), QStringList({"a.wma", "c.mp3"}));
    EXPECT_EQ(iso.rootFiles.value("a.wma"), fixtures::readAll(a));
    EXPECT_EQ(iso.rootFiles.value("c.mp3"), fixtures::readAll(c));
    EXPECT_TRUE(w->m_bJobError);
    EXPECT_FALSE(g_frmTurnOffLoaded());
    EXPECT_FALSE(services.events.join(",").contains("turnoff"));
    EXPECT_TRUE(attest::filesIn(temp()).isEmpty()) << "the temporary files go after a good burn";
}

TEST_F(DataBurnerWindowTest, CopyOnlyAsksBeforeASecondRowReplacesAnEqualName)
{
    QDir().mkpath(audio + "one");
    QDir().mkpath(audio + "two");
    const QString first = fixtures::writeBytes(audio + "one/song.mp3", "first row's bytes");
    const QString second = fixtures::writeBytes(audio + "two/song.mp3", "second row's bytes");
    const struct {
        int answer;
        QString kept;
    } cases[] = {{vbYes, second}, {vbNo, first}};
    for (const auto& c : cases) {
        QFile::remove(target);
        open({whole(first), whole(second)});
        w->chkDoNotConvertSource->setChecked(true);
        testenv::ScriptedMessageBoxes boxes;
        boxes.answer(c.answer);
        boxes.answer(vbOK); // "Burn CD?"
        run();
        ASSERT_EQ(boxes.shown().size(), 2u);
        EXPECT_EQ(boxes.shown()[0].prompt,
                  "The file name song.mp3 is already existed in the list to be burn. \r\n\r\nOverwtie it?");
        EXPECT_EQ(boxes.shown()[0].style, vbYesNoCancel | vbInformation);
        const IsoContents iso = ReadIsoImage(target);
        ASSERT_TRUE(iso.ok);
        EXPECT_EQ(iso.rootFiles.value("song.mp3"), fixtures::readAll(c.kept)) << c.answer;
        w->close();
        main->cGrid1->ClearRows();
    }
}

TEST_F(DataBurnerWindowTest, NoRowFileMeansNothingToBurnAndNoQuestion)
{
    open({whole(audio + "gone1.wav"), whole(audio + "gone2.wav")});
    testenv::ScriptedMessageBoxes boxes;
    run();
    EXPECT_TRUE(boxes.prompts().isEmpty()) << boxes.prompts().join("|").toStdString();
    EXPECT_EQ(log().last(), "Nothing to burn.");
    EXPECT_EQ(w->lblCurrentTrack->text(), "Nothing to burn.");
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(DataBurnerWindowTest, CancelAtTheQuestionKeepsThePreparedFilesUntilTheNextBurn)
{
    const QString a = fixtures::writeToneWav(audio + "alpha.wav", 1.0);
    open({whole(a)});
    fixtures::writeBytes(temp() + "stale.bin", "old");
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbCancel);
    run();
    EXPECT_EQ(boxes.prompts(), QStringList({kBurnQuestion}));
    EXPECT_EQ(attest::filesIn(temp()), QStringList({"alpha.mp3"})) << "the job starts from an empty folder";
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(log().last(), "Start to convert: alpha.wav...");

    // "Erase temp files now." empties the folder and says so.
    boxes.clear();
    w->lblErasetempfilesnow->click();
    EXPECT_EQ(boxes.prompts(), QStringList({"Done." + QString(28, ' ')}));
    EXPECT_TRUE(attest::filesIn(temp()).isEmpty());

    // Closing the window empties it too.
    fixtures::writeBytes(temp() + "left.mp3", "x");
    w->close();
    EXPECT_FALSE(g_frmDataBurner3Loaded());
    EXPECT_TRUE(QDir(testenv::programDir() + "/datacdtmp").entryList(QDir::Files).isEmpty());
    w = nullptr;
}

// A burn that is still writing when Abort is answered Yes.
TEST_F(DataBurnerWindowTest, AbortDuringTheBurnCancelsItAndTheWindowCanClose)
{
    const QString a = fixtures::writeToneWav(audio + "alpha.wav", 1.0);
    open({whole(a)});
    // At the burn question the prepared file grows (sparsely) so that the
    // burn takes long enough to be cancelled.
    std::vector<QString> prompts;
    auto previous = platform::setMessageBoxHandler([&](const platform::MessageBoxRequest& r) {
        prompts.push_back(r.prompt);
        if (r.prompt == kBurnQuestion) {
            QFile f(temp() + "alpha.mp3");
            f.open(QIODevice::ReadWrite);
            f.resize(qint64(400) * 1024 * 1024);
            return int(vbOK);
        }
        return int(vbYes); // "Abort operation?"
    });
    QObject::connect(w->cAudioDataBurner1, &cAudioDataBurner::BurnStarted, w, [this] { w->cmdAbort->click(); });

    run();
    platform::setMessageBoxHandler(previous);

    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_TRUE(prompts[1].startsWith("Abort operation?"));
    EXPECT_EQ(log().mid(log().size() - 2), QStringList({"Start the burning process...", "Aborted."}));
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_FALSE(QFileInfo::exists(target)) << "the cancelled disc is blank again";
    w->cmdExit->click();
    EXPECT_FALSE(g_frmDataBurner3Loaded());
}

TEST_F(DataBurnerWindowTest, TheSecondEngineBurnsWithItsFileSystemsAndRefusesUdfAlone)
{
    const QString a = fixtures::writeToneWav(audio + "alpha.wav", 1.0);
    open({whole(a)});
    w->cmbEngine->setCurrentIndex(1);
    EXPECT_FALSE(w->chkUDF->isHidden());
    EXPECT_EQ(w->cboDrv->currentText(), "Z: - stdio:" + target);

    // UDF alone: refused before any row is converted.
    w->chkISO->setChecked(false);
    w->chkJOLIET->setChecked(false);
    w->chkUDF->setChecked(true);
    {
        testenv::ScriptedMessageBoxes boxes;
        run();
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_TRUE(boxes.shown()[0].prompt.startsWith("UDF discs cannot be written here."));
        EXPECT_EQ(log().last(), "Aborted.");
        EXPECT_TRUE(attest::filesIn(temp()).isEmpty());
    }

    // ISO without Joliet.
    w->chkISO->setChecked(true);
    w->chkUDF->setChecked(false);
    w->txtLog->clear();
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbOK);
    run();
    EXPECT_EQ(log(), QStringList({"Preparing to burn: 1 tracks.", "Destination format: MP3",
                                  "Start to convert: alpha.wav...", "BurnerInitializing...", "Adding:alpha.mp3",
                                  "1 files to burn.", "0 dirs to burn.", "StartBurning...",
                                  "BurnerFinalization - Please wait...", "BurnerCompleted.", "BurnerDoneBurn.",
                                  "BurnerEnd.", "Erase temp files...", "Done."}));
    const IsoContents iso = ReadIsoImage(target);
    ASSERT_TRUE(iso.ok);
    EXPECT_FALSE(iso.hasJoliet);
    EXPECT_EQ(iso.volumeId, "Road-Trip");
    EXPECT_EQ(iso.rootFiles.size(), 1);

    // A written target ends the second engine's burn with its message.
    w->txtLog->clear();
    boxes.answer(vbOK);
    run();
    EXPECT_EQ(log().last(), QStringLiteral("The disc is not empty. (202)"));
    EXPECT_TRUE(w->cmdExit->isEnabled());
}

TEST_F(DataBurnerWindowTest, TheEngineChoiceIsStoredAndRestoredAndItsControlsFollowIt)
{
    struct Case {
        const char* stored;
        int index;
        bool fileSystems;
    } cases[] = {{"1", 1, true}, {"0", 0, false}, {"abc", 0, false}, {"7", -1, true}};
    for (const Case& c : cases) {
        SaveSetting(g_sAppName, "BurnerEngine", "cmbEngine", c.stored);
        w = g_frmDataBurner3();
        EXPECT_EQ(w->cmbEngine->currentIndex(), c.index) << c.stored;
        EXPECT_EQ(!w->chkISO->isHidden(), c.fileSystems) << c.stored;
        EXPECT_EQ(w->cboFileName->currentIndex(), 0);
        // The first engine lists the speeds; a stdio writer reports none, so
        // "Max." alone stands, the fastest.
        if (c.index == 0) {
            EXPECT_EQ(w->cboSpeed->count(), 1);
            EXPECT_EQ(w->cboSpeed->currentText(), "Max.");
            EXPECT_EQ(w->cboSpeed->currentData().toInt(), 65535);
        }
        w->close();
        EXPECT_EQ(GetSetting(g_sAppName, "BurnerEngine", "cmbEngine"), QString::number(c.index)) << c.stored;
    }
    w = nullptr;
}

} // namespace
