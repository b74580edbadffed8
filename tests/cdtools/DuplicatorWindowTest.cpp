// The CD duplicator from an image drive to an image writer: the source check
// and its poll, a whole copy read back track for track, and the ends of a
// job that does not write a disc.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "cdtools/frmAudioCDDuplicator.h"
#include "components/cAudioBurner.h"
#include "components/cAudioCDRipper.h"
#include "components/cGrid.h"
#include "components/cProgressBar.h"
#include "lists/ItemRow.h"
#include "platform/ProgramDir.h"
#include "tests/components/BurnFixture.h"
#include "tests/components/CdImageFixture.h"
#include "tests/support/TestEnv.h"
#include "tests/toolframe/ToolFrameTestSupport.h"

namespace {

QStringList logMessages(const QPlainTextEdit* log)
{
    QStringList out;
    for (QString line : log->toPlainText().split('\n', Qt::SkipEmptyParts)) {
        line.remove('\r');
        int colon = -1;
        for (int i = 0; i < 3; ++i)
            colon = line.indexOf(':', colon + 1);
        out << line.mid(colon + 1);
    }
    return out;
}

class DuplicatorWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testenv::installMachineKeys();
        root = testenv::tempRoot() + "/dup/";
        QDir(root).removeRecursively();
        QDir().mkpath(root + "src");
        QDir().mkpath(root + "disc");
        temp = AppPath() + "/duptmp/";
        QDir(temp).removeRecursively();
        source = cdimage::writeImage(root + "src", "album", {{380}, {450}, {400}}, 7);
        cue = root + "disc/copy.cue";
        qputenv("KELVANE_CD_IMAGES", source.cue.toLocal8Bit());
        qputenv("KELVANE_CD_WRITERS", cue.toLocal8Bit());
        main = std::make_unique<tftest::FakeMain>(&services);
    }
    void TearDown() override
    {
        if (g_frmAudioCDDuplicatorLoaded() && !w->JobRunning())
            w->close();
        qunsetenv("KELVANE_CD_IMAGES");
        qunsetenv("KELVANE_CD_WRITERS");
    }

    FrmAudioCDDuplicator* open()
    {
        w = g_frmAudioCDDuplicator();
        // The image drive comes after any real drive.
        w->cboDevices->setCurrentIndex(w->cboDevices->count() - 1);
        for (QCheckBox* box : {w->chkPlaySound, w->chkNoticeApp, w->chkOpenCDdrive})
            box->setChecked(false);
        w->chkTurnOffComputer->setChecked(true);
        services.cancelTurnOffWhenShown();
        return w;
    }
    bool turnedOff() const { return !services.events.filter("turnoff").isEmpty(); }
    QStringList tempFiles() const { return QDir(temp).entryList(QDir::Files | QDir::Hidden); }

    tftest::ServiceLog services;
    std::unique_ptr<tftest::FakeMain> main;
    testenv::ScriptedMessageBoxes boxes;
    FrmAudioCDDuplicator* w = nullptr;
    QString root, temp, cue;
    cdimage::Image source;
};

TEST_F(DuplicatorWindowTest, CopiesEveryTrackBitForBitAndEmptiesItsTemporaryFolder)
{
    open();
    EXPECT_EQ(w->lblCDStatus->text(), "OK: 3 CDA tracks");
    EXPECT_EQ(w->lblFilesToConvert->text(), "OK: 3 CDA tracks");
    ASSERT_EQ(w->cGrid1->RowCount(), 3);
    EXPECT_EQ(w->cGrid1->CellText(1, w->cGrid1->ColumnIndex(COL_ITEM_NAME)), "Track01.cda");
    EXPECT_TRUE(w->cGrid1->CellText(3, w->cGrid1->ColumnIndex(COL_FILE)).endsWith("/Track03.cda"));
    EXPECT_TRUE(w->cmdConvert->isEnabled());
    EXPECT_EQ(w->cboSpeed->currentText(), "Max.");

    QStringList logAtFinish;
    QObject::connect(w->cAudioBurner1, &cAudioBurner::BurnFinished, w,
                     [&] { logAtFinish = logMessages(w->txtLog); });
    QPointer<FrmAudioCDDuplicator> guard(w);
    w->cmdConvert->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !guard || guard->Unloaded(); }, 60000));

    ASSERT_GE(logAtFinish.size(), 4);
    EXPECT_EQ(logAtFinish.mid(0, 2), QStringList({"Preparing to copy: 3 tracks.", "Destination format: PCM WAV 44100 16 Stereo."}));
    EXPECT_EQ(logAtFinish.filter("Start to rip: ").size(), 3);
    EXPECT_EQ(logAtFinish[2], "Start to rip: Track01.cda...");
    EXPECT_EQ(logAtFinish.last(), "Finished.");
    EXPECT_EQ(boxes.prompts(), QStringList{"Done." + QString(19, ' ')});
    EXPECT_TRUE(turnedOff());

    const burnfixture::ReadBack rb = burnfixture::readImage(cue);
    ASSERT_TRUE(rb.ok) << rb.why.toStdString();
    ASSERT_EQ(rb.tracks.size(), 3u);
    for (int t = 1; t <= 3; ++t)
        EXPECT_TRUE(rb.tracks[size_t(t - 1)] == source.track(t)) << "track " << t;
    EXPECT_TRUE(tempFiles().isEmpty()) << tempFiles().join(",").toStdString();
}

// The disc's tracks come with their lengths, and the rip shows the time it
// still needs from them.
TEST_F(DuplicatorWindowTest, TheTimeLeftFollowsTheRipOfTheDiscsTracks)
{
    open();
    ASSERT_EQ(w->cGrid1->RowCount(), 3);
    QStringList times;
    for (int row = 1; row <= 3; ++row)
        times << w->cGrid1->CellText(row, w->cGrid1->ColumnIndex(COL_TIME));
    EXPECT_EQ(times, QStringList({"00:00:05", "00:00:06", "00:00:05"}));
    EXPECT_FALSE(w->lblTimeLeft->isHidden());
    EXPECT_EQ(w->lblTimeLeft->text(), "Time Left: 00:00:00");

    long total = -1;
    QString shown;
    QObject::connect(w->cAudioCDRipper1, &cAudioCDRipper::JobProgress, w, [&](int percent) {
        if (!shown.isEmpty() || percent < 20)
            return;
        total = w->g_ltmrItemSecsTotal;
        w->Timer1_Timer();
        shown = w->lblTimeLeft->text();
    });
    QPointer<FrmAudioCDDuplicator> guard(w);
    w->cmdConvert->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !guard || guard->Unloaded(); }, 60000));
    EXPECT_EQ(total, 16);
    EXPECT_TRUE(shown.startsWith("Time Left: 00:00:")) << shown.toStdString();
    EXPECT_NE(shown, "Time Left: 00:00:00");
}

TEST_F(DuplicatorWindowTest, TheSourcePollFollowsTheDisc)
{
    open();
    ASSERT_TRUE(w->cmdConvert->isEnabled());
    ASSERT_TRUE(QFile::remove(source.cue));
    // One poll (three seconds) at most.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->cmdConvert->isEnabled(); }, 3600));
    EXPECT_EQ(w->cGrid1->RowCount(), 0);
    EXPECT_TRUE(w->lblCDStatus->text().endsWith("\\' is not an Audio CD.")) << w->lblCDStatus->text().toStdString();
    EXPECT_EQ(w->lblCDStatus->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    // Abort asks nothing while no job runs, and the window closes normally.
    w->cmdAbort->click();
    EXPECT_TRUE(boxes.prompts().isEmpty());
    QPointer<FrmAudioCDDuplicator> guard(w);
    w->cmdExit->click();
    EXPECT_TRUE(!guard || guard->Unloaded());
}

TEST_F(DuplicatorWindowTest, AUsedDiscCancelledOrAnAbortedBurnKeepsTheRippedTracks)
{
    // A used destination: the question comes, Cancel ends the job without "Done.".
    {
        QFile used(cue);
        ASSERT_TRUE(used.open(QIODevice::WriteOnly));
    }
    open();
    boxes.answer(vbCancel);
    w->cmdConvert->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->JobRunning(); }, 60000));
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_TRUE(boxes.prompts()[0].startsWith("Insert an empty media to drive "));
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_TRUE(main->balloons.filter("Done.").isEmpty());
    EXPECT_FALSE(turnedOff());
    EXPECT_EQ(logMessages(w->txtLog).last(), "The ripped tracks are kept in " + temp);
    EXPECT_EQ(tempFiles(), QStringList({"1.wav", "2.wav", "3.wav"}));
    EXPECT_TRUE(w->cmdConvert->isEnabled());

    // A blank disc, and Abort pressed during the burn.
    ASSERT_TRUE(QFile::remove(cue));
    boxes.clear();
    boxes.answer(vbYes);
    bool clicked = false;
    QObject::connect(w->cAudioBurner1, &cAudioBurner::TrackProgress, w, [&](int, int) {
        if (!clicked) {
            clicked = true;
            w->cmdAbort->click();
        }
    });
    w->cmdConvert->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicked && !w->JobRunning(); }, 60000));
    EXPECT_EQ(boxes.prompts(), QStringList{"Abort operation?" + QString(38, ' ')});
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_FALSE(turnedOff());
    EXPECT_FALSE(QFileInfo::exists(cue));
    EXPECT_EQ(tempFiles(), QStringList({"1.wav", "2.wav", "3.wav"}));
    EXPECT_TRUE(g_frmAudioCDDuplicatorLoaded());
}

TEST_F(DuplicatorWindowTest, AbortDuringTheRipEndsTheJobAndKeepsTheWindowOpen)
{
    open();
    boxes.answer(vbYes);
    bool clicked = false;
    QObject::connect(w->cAudioCDRipper1, &cAudioCDRipper::JobProgress, w, [&](int) {
        if (!clicked) {
            clicked = true;
            w->cmdAbort->click();
        }
    });
    w->cmdConvert->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicked && !w->JobRunning(); }, 60000));
    EXPECT_EQ(logMessages(w->txtLog).last(), "Aborted.");
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_EQ(w->windowTitle(), "Aborted.");
    EXPECT_TRUE(w->cmdConvert->isEnabled());
    EXPECT_TRUE(w->cboDevices->isEnabled());
    EXPECT_EQ(main->balloons.filter("Aborted.").size(), 1);
    EXPECT_TRUE(logMessages(w->txtLog).filter("Start to rip: Track02").isEmpty());
    EXPECT_FALSE(QFileInfo::exists(cue));
    EXPECT_FALSE(turnedOff());
    EXPECT_TRUE(g_frmAudioCDDuplicatorLoaded());
}

} // namespace
