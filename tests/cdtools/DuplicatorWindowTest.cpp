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
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "cdtools/frmAudioCDDuplicator.h"
#include "components/disc/CdWriters.h"
#include "components/disc/cAudioBurner.h"
#include "components/disc/cAudioCDRipper.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "lists/ItemRow.h"
#include "platform/ProgramDir.h"
#include "tests/cdtools/PowerOffFixture.h"
#include "tests/components/disc/BurnFixture.h"
#include "tests/components/disc/CdImageFixture.h"
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

// A source image that is there but refused says why, and nothing is copied.
TEST_F(DuplicatorWindowTest, ARefusedSourceImageSaysWhy)
{
    cdimage::padCuePastOneMegabyte(source.cue);
    open();
    EXPECT_EQ(w->lblCDStatus->text(), "The cue sheet " + source.cue + " is too large (over 1 MB).");
    EXPECT_EQ(w->lblCDStatus->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_FALSE(w->cmdConvert->isEnabled());
    EXPECT_EQ(w->cGrid1->RowCount(), 0);
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

// "Turn off computer" at the end of a copy: the countdown comes once the job
// has ended, so the exit finds no running job and the power-off request goes
// out to the login manager.
TEST_F(DuplicatorWindowTest, TurnOffAtTheEndPowersOffAfterTheCopy)
{
    poweroff::StandInLogind logind;
    ASSERT_TRUE(logind.Problem().isEmpty()) << logind.Problem().toStdString();
    main.reset();
    main = std::make_unique<poweroff::ExitCheckingMain>(&services);
    open();
    services.polls.clear();
    const auto press = poweroff::PressShutdownNowWhenShown(&services);
    QPointer<FrmAudioCDDuplicator> guard(w);
    w->cmdConvert->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !guard || guard->Unloaded(); }, 60000));

    EXPECT_EQ(services.events.filter(QRegularExpression("^(turnoff|exit)")),
              QStringList({"turnoff 30", "exit question", "exit"}))
        << services.events.join("|").toStdString();
    EXPECT_EQ(logind.Calls(), QStringList({"CanPowerOff", "PowerOff(false)"})) << logind.Calls().join("|").toStdString();
    EXPECT_EQ(boxes.prompts(), QStringList{"Done." + QString(19, ' ')});
    EXPECT_EQ(burnfixture::readImage(cue).tracks.size(), 3u);
}

// Every event is handled in its turn: the log keeps the order of the rip
// and of the burn, and the caption's share of the job only grows.
TEST_F(DuplicatorWindowTest, TheRipAndTheBurnReportInTheirOrder)
{
    open();
    QStringList titles, logAtFinish;
    QObject::connect(w, &QWidget::windowTitleChanged, w, [&](const QString& t) { titles << t; });
    QObject::connect(w->cAudioBurner1, &cAudioBurner::BurnFinished, w,
                     [&] { logAtFinish = logMessages(w->txtLog); });
    QPointer<FrmAudioCDDuplicator> guard(w);
    w->cmdConvert->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !guard || guard->Unloaded(); }, 60000));

    EXPECT_EQ(logAtFinish.mid(2),
              QStringList({"Start to rip: Track01.cda...", "Done.", "Start to rip: Track02.cda...", "Done.",
                           "Start to rip: Track03.cda...", "Done.", "Writing track...", "Closing track...",
                           "Writing track...", "Closing track...", "Writing track...", "Closing track...",
                           "Closing session, please wait...", "Finished."}));
    const QRegularExpression caption(R"(^Converting\.\.\. \[ (\d+)% / ([0-9.e+-]+)% \]$)");
    double last = 0;
    int shown = 0;
    for (const QString& t : titles) {
        const auto m = caption.match(t);
        if (!m.hasMatch())
            continue;
        ++shown;
        const double share = m.captured(2).toDouble();
        EXPECT_LE(share, 100.0) << t.toStdString();
        EXPECT_GE(share, last) << t.toStdString();
        last = share;
    }
    EXPECT_GT(shown, 0);
    ASSERT_TRUE(titles.contains("Done."));
    EXPECT_TRUE(titles.mid(titles.indexOf("Done.")).filter("Converting").isEmpty()) << titles.join("|").toStdString();
}

// Abort asked while the last track is still being ripped: the user reads
// the question while the rip ends. The job then ends there: no question of
// the burn opens over it or after it, and nothing stale is shown.
TEST_F(DuplicatorWindowTest, AnAbortAskedDuringTheRipIsTheOnlyQuestion)
{
    {
        QFile used(cue); // the burn would ask for an empty disc
        ASSERT_TRUE(used.open(QIODevice::WriteOnly));
    }
    open();
    bool lastTrackEnded = false, clicked = false;
    QObject::connect(w->cAudioCDRipper1, &cAudioCDRipper::JobDone, w, [&] { lastTrackEnded = w->m_lCurrentRow > 3; });
    QObject::connect(w->cAudioCDRipper1, &cAudioCDRipper::JobProgress, w, [&](int) {
        if (!clicked && w->m_lCurrentRow == 3) {
            clicked = true;
            w->cmdAbort->click();
        }
    });
    QStringList asked;
    struct Boxes {
        platform::MessageBoxHandler previous;
        ~Boxes() { platform::setMessageBoxHandler(previous); }
    } scripted{platform::setMessageBoxHandler([&](const platform::MessageBoxRequest& r) {
        asked << r.prompt;
        if (!r.prompt.startsWith("Abort operation?"))
            return int(vbCancel);
        EXPECT_TRUE(QTest::qWaitFor([&] { return lastTrackEnded; }, 20000));
        // ... and on until the step after it has come due: it waits for the
        // answer, or the job went on to the burn.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return w->JobSteps().waiting() > 0 || !w->JobRunning() || asked.size() > 1; }, 30000));
        return int(vbYes);
    })};

    w->cmdConvert->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicked && !w->JobRunning(); }, 60000));
    // What the job's end queued has been handled.
    bool drained = false;
    QTimer::singleShot(0, w, [&] { drained = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return drained; }, 30000));
    EXPECT_EQ(asked, QStringList{"Abort operation?" + QString(38, ' ')});
    EXPECT_EQ(logMessages(w->txtLog).last(), "Aborted.");
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_EQ(w->windowTitle(), "Aborted.");
    EXPECT_EQ(w->prgCurrnet->ProgressValue(), w->prgCurrnet->ProgressMin());
    EXPECT_EQ(w->prgTotal->ProgressValue(), w->prgTotal->ProgressMin());
    EXPECT_EQ(QFileInfo(cue).size(), 0);
    EXPECT_FALSE(turnedOff());
    EXPECT_TRUE(w->cmdConvert->isEnabled());
}

// OK at the empty-media question looks at the disc again: a blank one is
// burned, at the speed chosen; the same used one is asked about again.
TEST_F(DuplicatorWindowTest, OkAtTheEmptyMediaQuestionLooksAtTheDiscAgain)
{
    const struct { const char* name; bool blankAfterFirst; int questions; QString end; } cases[] = {
        {"a blank disc put in", true, 1, "Done."},
        {"the used disc left in", false, 2, "Aborted."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(cue);
        QFile::remove(cdwrite::imageBinPath(cue));
        {
            QFile used(cue);
            ASSERT_TRUE(used.open(QIODevice::WriteOnly));
        }
        open();
        const int speed = w->cboSpeed->findText("3528 KB/s (20x)");
        ASSERT_GE(speed, 0);
        w->cboSpeed->setCurrentIndex(speed);
        QList<int> speeds;
        struct Watch {
            cdwrite::RequestWatch previous;
            ~Watch() { cdwrite::setRequestWatch(previous); }
        } watch{cdwrite::setRequestWatch([&](const cdwrite::Request& r) { speeds << r.speedKBs; })};
        int questions = 0;
        struct Boxes {
            platform::MessageBoxHandler previous;
            ~Boxes() { platform::setMessageBoxHandler(previous); }
        } scripted{platform::setMessageBoxHandler([&](const platform::MessageBoxRequest& r) {
            if (!r.prompt.startsWith("Insert an empty media to drive "))
                return int(vbOK);
            ++questions;
            if (questions == 1) {
                if (c.blankAfterFirst)
                    QFile::remove(cue);
                return int(vbOK);
            }
            return int(vbCancel);
        })};

        QPointer<FrmAudioCDDuplicator> guard(w);
        w->cmdConvert->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !guard || guard->Unloaded() || !guard->JobRunning(); }, 60000));
        EXPECT_EQ(questions, c.questions);
        if (c.blankAfterFirst) {
            EXPECT_TRUE(!guard || guard->Unloaded());
            EXPECT_EQ(burnfixture::readImage(cue).tracks.size(), 3u);
            EXPECT_EQ(speeds, QList<int>{3528});
        } else {
            ASSERT_TRUE(guard);
            EXPECT_EQ(w->lblCurrentTrack->text(), c.end);
            EXPECT_TRUE(speeds.isEmpty());
            EXPECT_EQ(QFileInfo(cue).size(), 0);
            w->close();
        }
    }
}

} // namespace
