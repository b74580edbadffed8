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
#include <QElapsedTimer>
#include <QRegularExpression>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cdtools/frmDataBurner3.h"
#include "components/disc/cAudioDataBurner.h"
#include "components/disc/cBurner.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "core/Shutdown.h"
#include "platform/UserSettings.h"
#include "settings/SettingsWidgets.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/audiotools/AudioToolsTestSupport.h"
#include "tests/components/disc/IsoReadBack.h"
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
        // Either engine's entry for the writer, whichever was stored.
        int z = w->cboDrv->findText("Z: stdio:" + target);
        if (z < 0)
            z = w->cboDrv->findText("Z: - stdio:" + target);
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
    EXPECT_EQ(iso.isoVolumeId, "ROAD_TRIP");
    EXPECT_EQ(iso.jolietVolumeId, "Road-Trip");
    EXPECT_EQ(iso.isoPublisherId, "PUBLISHER");
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

// Each choice of file systems, read back by readers that are not ours: UDF
// through udfinfo and 7z, ISO 9660 and Joliet through their descriptors and libisofs.
TEST_F(DataBurnerWindowTest, TheSecondEngineWritesEachFileSystemChoiceReadableFromOutside)
{
    const QByteArray bytesA = QByteArray(300000, 'a') + "end", bytesB = QByteArray(7000, 'b');
    const QString longName = QString(110, 'L') + ".mp3";
    const QString a = fixtures::writeBytes(audio + QString::fromUtf8("Café = Bar.mp3"), bytesA);
    const QString b = fixtures::writeBytes(audio + longName, bytesB);
    const QString cutName = QString(99, 'L') + ".mp3";
    struct Case {
        const char* what;
        bool iso, joliet, udf;
    } cases[] = {
        {"UDF alone", false, false, true},
        {"ISO, Joliet and UDF", true, true, true},
        {"ISO and Joliet", true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(target);
        open({whole(a), whole(b)}, "MP3", QString::fromUtf8("Straße Mix"));
        w->cmbEngine->setCurrentIndex(1);
        w->chkDoNotConvertSource->setChecked(true);
        w->chkISO->setChecked(c.iso);
        w->chkJOLIET->setChecked(c.joliet);
        w->chkUDF->setChecked(c.udf);
        testenv::ScriptedMessageBoxes boxes;
        boxes.answer(vbOK);
        run();
        const QStringList lines = log();
        ASSERT_TRUE(lines.contains("BurnerEnd.")) << lines.join("\n").toStdString();
        EXPECT_EQ(lines.last(), "Done.");
        EXPECT_TRUE(lines.contains("Name on the disc: " + cutName + " (was " + longName + ")"));

        const IsoContents iso = ReadIsoImage(target);
        ASSERT_TRUE(iso.ok) << iso.error.toStdString();
        EXPECT_EQ(iso.isoVolumeId, "STRA_E_MIX");
        EXPECT_EQ(iso.isoPublisherId, "PUBLISHER");
        EXPECT_EQ(iso.hasJoliet, c.joliet);
        if (c.joliet) {
            EXPECT_EQ(iso.jolietVolumeId, QString::fromUtf8("Straße Mix"));
            EXPECT_EQ(iso.rootFiles.keys(), QStringList({QString::fromUtf8("Café = Bar.mp3"), cutName}));
        }
        // Whatever names the ISO side has, its bytes are the files'.
        QList<QByteArray> isoBytes = iso.rootFiles.values();
        std::sort(isoBytes.begin(), isoBytes.end());
        EXPECT_EQ(isoBytes, QList<QByteArray>({bytesA, bytesB}));

        const UdfContents udf = ReadUdfImage(target);
        EXPECT_EQ(udf.ok, c.udf) << udf.error.toStdString();
        if (c.udf) {
            EXPECT_EQ(udf.label, QString::fromUtf8("Straße Mix"));
            EXPECT_EQ(udf.fileCount, 2);
            ASSERT_EQ(udf.rootFiles.keys(), QStringList({QString::fromUtf8("Café = Bar.mp3"), cutName}));
            EXPECT_EQ(udf.rootFiles.value(QString::fromUtf8("Café = Bar.mp3")), bytesA);
            EXPECT_EQ(udf.rootFiles.value(cutName), bytesB);
        }
        w->close();
        main->cGrid1->ClearRows();
    }
}

// Both engines look at the disc before a row is copied or converted.
TEST_F(DataBurnerWindowTest, EachEngineNamesTheCauseWhenTheTargetCannotTakeADiscBeforeAnythingIsPrepared)
{
    const QString a = fixtures::writeBytes(audio + "a.mp3", "abc");
    const struct {
        int engine;
        bool fifo; // else the target holds data
    } cases[] = {{0, true}, {0, false}, {1, true}, {1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.engine) + (c.fifo ? " fifo" : " holding data"));
        QFile::remove(target);
        if (c.fifo)
            ASSERT_EQ(mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        else
            fixtures::writeBytes(target, "data");
        open({whole(a)});
        w->cmbEngine->setCurrentIndex(c.engine);
        w->cboDrv->setCurrentIndex(w->cboDrv->findText(c.engine == 0 ? "Z: stdio:" + target : "Z: - stdio:" + target));
        w->chkDoNotConvertSource->setChecked(true);
        testenv::ScriptedMessageBoxes boxes;
        boxes.answer(vbOK);
        run();
        EXPECT_EQ(boxes.prompts(), QStringList({"Please insert an empty media into drive: Z:"}));
        const QStringList cause = c.fifo ? QStringList({"The CD drive 'Z:' is not ready.", "The target is not a regular file."})
                                         : QStringList({"The CD drive 'Z:' is not empty."});
        EXPECT_EQ(log(), QStringList({"Preparing to burn: 1 tracks."}) + cause + QStringList({"Aborted."}));
        EXPECT_TRUE(attest::filesIn(temp()).isEmpty()) << "nothing copied";
        EXPECT_TRUE(w->cmdExit->isEnabled());
        if (!c.fifo) {
            EXPECT_EQ(fixtures::readAll(target), QByteArray("data"));
        }
        w->close();
        main->cGrid1->ClearRows();
    }
    QFile::remove(target);
}

// Whatever way a burn ends, the caption says what the status line says.
TEST_F(DataBurnerWindowTest, TheCaptionAtTheEndOfABurnAgreesWithTheStatus)
{
    const QString a = fixtures::writeBytes(audio + "a.mp3", "abc");
    const struct {
        int engine;
        bool fails;
        QString status;
    } cases[] = {
        {0, false, "Done."},
        {1, false, "Done."},
        {0, true, "The disc is not empty."},
        {1, true, "The disc is not empty. (202)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.engine) + (c.fails ? " failing" : " good"));
        QFile::remove(target);
        open({whole(a)});
        w->cmbEngine->setCurrentIndex(c.engine);
        w->cboDrv->setCurrentIndex(w->cboDrv->findText(c.engine == 0 ? "Z: stdio:" + target : "Z: - stdio:" + target));
        w->chkDoNotConvertSource->setChecked(true);
        // At the burn question the disc gets written by someone else.
        auto previous = platform::setMessageBoxHandler([&](const platform::MessageBoxRequest& r) {
            if (r.prompt == kBurnQuestion && c.fails)
                fixtures::writeBytes(target, "data");
            return int(vbOK);
        });
        run();
        platform::setMessageBoxHandler(previous);
        EXPECT_EQ(w->lblCurrentTrack->text(), c.status);
        EXPECT_EQ(w->windowTitle(), c.status);
        w->close();
        main->cGrid1->ClearRows();
    }
}

// Abort while a big file is copied: the copy stops at once, and neither it
// nor the rows copied before stay in the temporary folder.
TEST_F(DataBurnerWindowTest, AbortDuringTheCopyEndsAtOnceAndLeavesNoCopy)
{
    qputenv("KELVANE_DATA_WRITERS", (target + "=4G").toLocal8Bit()); // a disc the big file fits
    const QString small = fixtures::writeBytes(audio + "a_small.mp3", "abc");
    const QString big = audio + "b_big.wav";
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(qint64(1024) * 1024 * 1024));
    }
    open({whole(small), whole(big)});
    w->chkDoNotConvertSource->setChecked(true);
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbYes); // "Abort operation?"

    // The copy of the big file holds after its first step until Abort has been answered.
    std::promise<void> abortAnswered;
    std::shared_future<void> answered = abortAnswered.get_future().share();
    std::atomic<int> stepsOfBig{0}, stepsAfterAbort{0};
    std::atomic<bool> aborted{false};
    QElapsedTimer sinceAbort;
    auto previous = FrmDataBurner3::setCopyStepWatch([&](qint64, qint64 size) {
        if (size != QFileInfo(big).size())
            return;
        if (aborted)
            ++stepsAfterAbort;
        if (++stepsOfBig == 1) {
            QMetaObject::invokeMethod(w, [&] {
                sinceAbort.start();
                w->cmdAbort->click();
                aborted = true;
                abortAnswered.set_value();
            });
            answered.wait();
        }
    });
    run();
    FrmDataBurner3::setCopyStepWatch(previous);

    EXPECT_LT(sinceAbort.elapsed(), 1000);
    EXPECT_EQ(stepsAfterAbort, 0) << "the copy went on after Abort";
    EXPECT_TRUE(boxes.prompts().value(0).startsWith("Abort operation?"));
    EXPECT_EQ(boxes.prompts().size(), 1u) << "no burn question";
    EXPECT_EQ(log().last(), "Aborted.");
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_EQ(w->windowTitle(), "Aborted.");
    EXPECT_TRUE(QDir(temp()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(target));
}

// A file of the layout removed or cut short while the burn reads it: the
// burn fails naming it and the disc is blank.
TEST_F(DataBurnerWindowTest, AFileThatChangesDuringTheBurnFailsItAndLeavesTheDiscBlank)
{
    const struct {
        int engine;
        bool remove;
    } cases[] = {{0, true}, {0, false}, {1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.engine) + (c.remove ? " removed" : " truncated"));
        const QString big = audio + "a_big.wav", victim = audio + "z_victim.mp3";
        fixtures::writeBytes(victim, QByteArray(100000, 'v'));
        {
            QFile f(big);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_TRUE(f.resize(qint64(64) * 1024 * 1024));
        }
        open({whole(big), whole(victim)});
        w->cmbEngine->setCurrentIndex(c.engine);
        w->cboDrv->setCurrentIndex(w->cboDrv->findText(c.engine == 0 ? "Z: stdio:" + target : "Z: - stdio:" + target));
        w->chkDoNotConvertSource->setChecked(true);
        testenv::ScriptedMessageBoxes boxes;
        boxes.answer(vbOK);
        const QString copied = w->GetTempFolder() + "z_victim.mp3";
        bool erased = true;
        auto change = [&] {
            if (c.remove) {
                QFile::remove(copied);
            } else {
                QFile f(copied);
                f.open(QIODevice::ReadWrite);
                f.resize(10);
            }
            // The link cannot empty the folder under the running burn.
            boxes.answer(vbOK);
            w->lblErasetempfilesnow->click();
            erased = attest::filesIn(w->GetTempFolder()).isEmpty();
        };
        QMetaObject::Connection conn =
            c.engine == 0 ? QObject::connect(w->cAudioDataBurner1, &cAudioDataBurner::BurnStarted, w, change)
                          : QObject::connect(w->cBurner1, &cBurner::StartBurning, w, change);
        run();
        QObject::disconnect(conn);
        EXPECT_FALSE(erased);
        EXPECT_EQ(boxes.prompts().last(), "The temporary files are in use until the job ends.");
        const QString lastLine = log().last();
        EXPECT_TRUE(lastLine.contains(copied) && lastLine.contains(c.remove ? "removed" : "changed"))
            << lastLine.toStdString();
        EXPECT_FALSE(log().contains("Done."));
        EXPECT_FALSE(QFileInfo::exists(target)) << "the disc is blank";
        EXPECT_TRUE(QDir(discs).entryList(QDir::Files | QDir::Hidden).isEmpty()) << "no partial image beside it";
        w->close();
        main->cGrid1->ClearRows();
    }
}

TEST_F(DataBurnerWindowTest, ACopyOnlyDiscLargerThanACdIsRefusedBeforeAnythingIsWritten)
{
    QStringList sources;
    for (const char* name : {"one.wav", "two.wav"}) {
        QFile f(audio + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(qint64(423) * 1000 * 1000));
        sources << f.fileName();
    }
    for (int engine : {0, 1}) {
        open({whole(sources[0]), whole(sources[1])});
        w->cmbEngine->setCurrentIndex(engine);
        w->chkDoNotConvertSource->setChecked(true);
        testenv::ScriptedMessageBoxes boxes;
        run();
        ASSERT_EQ(boxes.prompts().size(), 1u) << engine;
        EXPECT_EQ(boxes.prompts()[0], "The files need 808 MB, more than the 703 MB the disc holds.");
        EXPECT_EQ(log().last(), "Aborted.");
        EXPECT_TRUE(attest::filesIn(temp()).isEmpty()) << "nothing copied";
        EXPECT_FALSE(QFileInfo::exists(target));
        w->close();
        main->cGrid1->ClearRows();
    }
}

// Converted files are only known once converted: they are measured before the question.
TEST_F(DataBurnerWindowTest, ConvertedFilesTooBigForTheDiscAreRefusedBeforeTheBurnQuestion)
{
    qputenv("KELVANE_DATA_WRITERS", (target + "=1M").toLocal8Bit());
    const QString a = fixtures::writeToneWav(audio + "alpha.wav", 1.0);
    open({whole(a)});
    testenv::ScriptedMessageBoxes boxes;
    run();
    EXPECT_EQ(boxes.prompts(), QStringList({"The files need 2 MB, more than the 1 MB the disc holds."}));
    EXPECT_EQ(log().mid(log().size() - 2),
              QStringList({"The files need 2 MB, more than the 1 MB the disc holds.", "Aborted."}));
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(DataBurnerWindowTest, OpeningTheToolClearsWhatABurnThatNeverEndedLeft)
{
    QDir().mkpath(testenv::programDir() + "/datacdtmp");
    fixtures::writeBytes(testenv::programDir() + "/datacdtmp/left.mp3", "x");
    const QString part = discs + ".disc.iso.burning";
    fixtures::writeBytes(part, QByteArray(4096, 'p'));
    open({});
    EXPECT_TRUE(attest::filesIn(temp()).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(part));
    EXPECT_FALSE(QFileInfo::exists(target));
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
