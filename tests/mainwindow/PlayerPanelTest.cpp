// The player panel of the main window, playing into the null sink.
#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "components/audio/cAudioGraph.h"
#include "components/audio/cPlayer.h"
#include "components/controls/cSlider.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cToolbar.h"
#include "settings/AppState.h"
#include "settings/Options.h"
#include "tests/components/audio/StalledReads.h"
#include "tests/mainwindow/PlayerWindowSupport.h"
#include "tests/components/audio/PlayerFixtures.h"

using namespace playerfx;
using pwtest::ListWindow;

namespace {

class PlayerPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(haveOutput()) << "no audio output: start the null sink first (source scripts/pulse.sh)";
        dir = testenv::tempRoot() + "/";
    }
    void TearDown() override { UnloadMain(); }
    QString dir;
};

QString panelText(FrmMain* w) { return w->cStatusBar1->PanelText(QStringLiteral("Main")); }
int panelIcon(FrmMain* w) { return w->cStatusBar1->PanelIcon(QStringLiteral("Main")); }

} // namespace

TEST_F(PlayerPanel, PlayPauseResumeAndStopWithTheSliderFollowing)
{
    ListWindow lw;
    FrmMain* w = lw.w;
    lw.add(writeSine(dir + "a.wav", 6, 440));
    lw.add(writeSine(dir + "b.wav", 2, 440));
    lw.select(1);
    QSignalSpy ended(w->cPlayer1, &cPlayer::PlayEnded);

    lw.click("Play");
    ASSERT_TRUE(w->cPlayer1->IsPlaying());
    EXPECT_EQ(panelText(w), "Playing");
    EXPECT_EQ(panelIcon(w), 38);
    EXPECT_EQ(w->cSlider1->SliderMax(), 6);
    EXPECT_EQ(w->lbTotalLengthSec->text(), "0:00:06");
    EXPECT_TRUE(lw.rowBold(1));
    EXPECT_FALSE(lw.rowBold(2));
    EXPECT_TRUE(lw.list.NodeBold());

    // The slider and the position label follow what is heard.
    ASSERT_TRUE(waitFor([&] { return w->cSlider1->SliderValue() >= 1; }, 4000));
    EXPECT_EQ(w->lblCurrentPositionSec->text(), "0:00:0" + QString::number(w->cSlider1->SliderValue()));

    // Pause holds the position; unchecking the button goes on.
    lw.click("Pause");
    EXPECT_TRUE(w->cPlayer1->IsPlaybackPaused());
    EXPECT_TRUE(w->tlbrPlayButtons->ButtonChecked("Pause"));
    pump(300);
    const double held = w->cPlayer1->PlayPosition();
    pump(600);
    EXPECT_NEAR(w->cPlayer1->PlayPosition(), held, 0.05);
    lw.click("Pause");
    EXPECT_FALSE(w->cPlayer1->IsPlaybackPaused());
    ASSERT_TRUE(waitFor([&] { return w->cPlayer1->PlayPosition() > held + 0.3; }, 3000));

    // "Play" while paused resumes and clears the check.
    lw.click("Pause");
    ASSERT_TRUE(w->cPlayer1->IsPlaybackPaused());
    lw.click("Play");
    EXPECT_FALSE(w->cPlayer1->IsPlaybackPaused());
    EXPECT_FALSE(w->tlbrPlayButtons->ButtonChecked("Pause"));

    // "Stop" while paused resumes, then stops; the end event resets the panel.
    lw.click("Pause");
    lw.click("Stop");
    EXPECT_FALSE(w->cPlayer1->IsPlaying());
    EXPECT_FALSE(w->tlbrPlayButtons->ButtonChecked("Pause"));
    EXPECT_FALSE(lw.list.NodeBold());
    ASSERT_TRUE(waitFor([&] { return ended.count() == 1; }, 2000));
    EXPECT_EQ(w->cSlider1->SliderValue(), 0);
    EXPECT_EQ(w->lblCurrentPositionSec->text(), "0:00:00");
    EXPECT_EQ(w->lbTotalLengthSec->text(), "0:00:06") << "the length of the item stays";
    EXPECT_EQ(panelText(w), "Ready.");
    EXPECT_EQ(panelIcon(w), 47);
    EXPECT_FALSE(lw.rowBold(1));
    EXPECT_FALSE(w->tmSlider->isActive());
    EXPECT_FALSE(w->tmrAudioData->isActive());

    // "Pause" with nothing playing leaves the button unchecked.
    lw.click("Pause");
    EXPECT_FALSE(w->tlbrPlayButtons->ButtonChecked("Pause"));
    pump(200);
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(PlayerPanel, TheNaturalEndAloneMovesToTheNextMarkedRow)
{
    const QString shortTone = writeSine(dir + "short.wav", 0.6, 440);
    const QString longTone = writeSine(dir + "long.wav", 8, 440);
    enum How { NaturalEnd, StopButton, RouterStop };
    struct Case {
        const char* name;
        bool option;
        std::vector<bool> marks; // the rows; the first one plays
        int selectWhilePlaying;  // 0: keep the playing row selected
        How how;
        int expectedRow;
    };
    const Case cases[] = {
        {"next marked row after an unmarked one", true, {true, false, true}, 0, NaturalEnd, 3},
        {"option off", false, {true, true}, 0, NaturalEnd, 1},
        {"no marked row after the selection", true, {true, false, false}, 0, NaturalEnd, 1},
        {"searched from the row selected meanwhile", true, {true, true, false, true}, 2, NaturalEnd, 4},
        {"selection already on the last row", true, {true, true}, 2, NaturalEnd, 2},
        {"the Stop button", true, {true, true}, 0, StopButton, 1},
        {"a command stops the item", true, {true, true}, 0, RouterStop, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListWindow lw([&] { g_bGoToNextItem = c.option; });
        FrmMain* w = lw.w;
        const QString first = c.how == NaturalEnd ? shortTone : longTone;
        for (size_t i = 0; i < c.marks.size(); ++i)
            lw.add(i == 0 ? first : shortTone, c.marks[i]);
        lw.select(1);
        QSignalSpy ended(w->cPlayer1, &cPlayer::PlayEnded);
        lw.click("Play");
        ASSERT_TRUE(w->cPlayer1->IsPlaying());
        if (c.selectWhilePlaying)
            lw.select(c.selectWhilePlaying);
        if (c.how == StopButton) {
            pump(300);
            lw.click("Stop");
        } else if (c.how == RouterStop) {
            pump(300);
            w->m_cMenu_Click(0);
        }
        ASSERT_TRUE(waitFor([&] { return ended.count() > 0; }, 5000));
        pump(300);
        EXPECT_EQ(ended.count(), 1);
        EXPECT_EQ(w->cGrid1->SelectedRow(), c.expectedRow);
        EXPECT_FALSE(w->cPlayer1->IsPlaying()) << "playing does not go on by itself";
        EXPECT_FALSE(lw.list.NodeBold());
        UnloadMain();
    }
}

TEST_F(PlayerPanel, PlayWhilePlayingRestartsTheSelectedRowAfterTheDelay)
{
    ListWindow lw;
    FrmMain* w = lw.w;
    lw.add(writeSine(dir + "a.wav", 8, 440));
    lw.add(writeSine(dir + "b.wav", 5, 440));
    lw.select(1);
    lw.click("Play");
    ASSERT_TRUE(waitFor([&] { return w->cPlayer1->PlayPosition() > 0.5; }, 3000));

    lw.select(2);
    lw.click("Play");
    EXPECT_FALSE(w->cPlayer1->IsPlaying());
    EXPECT_TRUE(w->tmrPlayer->isActive());
    ASSERT_TRUE(waitFor([&] { return w->cPlayer1->IsPlaying(); }, 2000));
    EXPECT_FALSE(w->tmrPlayer->isActive());
    EXPECT_EQ(w->lbTotalLengthSec->text(), "0:00:05");
    pump(300);
    EXPECT_TRUE(lw.rowBold(2)) << "the end event of the first item must not undo the second";
    EXPECT_FALSE(lw.rowBold(1));
    EXPECT_EQ(panelText(w), "Playing");
    EXPECT_LT(w->cPlayer1->PlayPosition(), 1.5) << "started again from the beginning";
}

TEST_F(PlayerPanel, GraphsAreFedWhilePlayingAndClearedAfter)
{
    ListWindow lw;
    FrmMain* w = lw.w;
    lw.add(writeSine(dir + "a.wav", 5, 1000));
    lw.select(1);
    EXPECT_FALSE(w->tmrAudioData->isActive());
    lw.click("Play");
    EXPECT_TRUE(w->tmrAudioData->isActive());
    EXPECT_EQ(w->tmrAudioData->interval(), 100);
    ASSERT_TRUE(waitFor([&] { return w->cAudioGraphAmp->HasData() && w->cAudioGraphFreq->HasData(); }, 3000));
    lw.click("Stop");
    EXPECT_FALSE(w->cAudioGraphAmp->HasData());
    EXPECT_FALSE(w->cAudioGraphFreq->HasData());
}

TEST_F(PlayerPanel, SliderSeeksOnlyWhilePlaying)
{
    ListWindow lw;
    FrmMain* w = lw.w;
    lw.add(writeSine(dir + "a.wav", 20, 440));
    lw.select(1);

    // Nothing plays: the slider stays where it is dropped.
    emit w->cSlider1->SlideStart();
    w->cSlider1->setSliderMax(20);
    w->cSlider1->setSliderValue(7);
    emit w->cSlider1->SlideEnd();
    EXPECT_EQ(w->cSlider1->SliderValue(), 7);
    EXPECT_FALSE(w->cPlayer1->IsPlaying());

    lw.click("Play");
    ASSERT_TRUE(w->cPlayer1->IsPlaying());
    emit w->cSlider1->SlideStart();
    EXPECT_FALSE(w->tmSlider->isActive()) << "the slider is not written while the user holds it";
    w->cSlider1->setSliderValue(12);
    emit w->cSlider1->SlideEnd();
    EXPECT_TRUE(w->tmSlider->isActive());
    ASSERT_TRUE(waitFor([&] { return w->lblCurrentPositionSec->text() == "0:00:12"; }, 2000));
    EXPECT_GE(w->cPlayer1->PlayPosition(), 12.0);
}

TEST_F(PlayerPanel, ShortItemsMissingFilesAndEmptyLists)
{
    ListWindow lw;
    FrmMain* w = lw.w;
    testenv::ScriptedMessageBoxes boxes;

    // An empty list: nothing happens.
    lw.click("Play");
    EXPECT_FALSE(w->cPlayer1->IsPlaying());
    EXPECT_TRUE(boxes.shown().empty());

    // A file removed after it was added, or something else in its place (a
    // folder, a pipe): the message names which, nothing plays.
    const QString folder = dir + "folder.wav", pipe = dir + "pipe.wav";
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile::remove(pipe); // the folder is the whole run's
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const std::pair<QString, QString> gone[] = {
        {dir + "gone.wav", dir + "gone.wav is not existed."},
        {folder, folder + " is not a regular file."},
        {pipe, pipe + " is not a regular file."},
    };
    for (const auto& [path, message] : gone) {
        SCOPED_TRACE(path.toStdString());
        boxes.clear();
        w->cGrid1->ClearRows();
        lw.add(path);
        lw.select(1);
        lw.click("Play");
        EXPECT_FALSE(w->cPlayer1->IsPlaying());
        ASSERT_EQ(boxes.prompts(), QStringList{message});
        EXPECT_EQ(boxes.shown()[0].style & 0x70, int(vbInformation));
    }

    // A file shorter than a second: the slider's maximum is 1.
    w->cGrid1->ClearRows();
    lw.add(writeSine(dir + "blip.wav", 0.3, 440));
    lw.select(1);
    lw.click("Play");
    ASSERT_TRUE(w->cPlayer1->IsPlaying());
    EXPECT_EQ(w->cSlider1->SliderMax(), 1);
    EXPECT_EQ(w->lbTotalLengthSec->text(), "0:00:00");
}

TEST_F(PlayerPanel, SelectingAnItemShowsItsLengthWithoutPlaying)
{
    ListWindow lw;
    FrmMain* w = lw.w;
    lw.add(writeSine(dir + "a.wav", 3.4, 440));
    lw.add(writeSine(dir + "b.wav", 8, 440));
    const int gone = lw.add(dir + "missing.wav");
    w->cGrid1->setCellText(gone, w->cGrid1->ColumnIndex(COL_TIME), "00:01:05");
    const int bare = lw.add(dir + "missing too.wav");

    // Whatever selects a row shows its length: the file's, or the row's own
    // time when its file cannot be read.
    const std::pair<int, const char*> rows[] = {
        {1, "0:00:03"}, {2, "0:00:08"}, {gone, "0:01:05"}, {bare, "0:00:00"}, {1, "0:00:03"}};
    for (const auto& [row, length] : rows) {
        SCOPED_TRACE(row);
        lw.select(row);
        EXPECT_TRUE(waitFor([&] { return w->lbTotalLengthSec->text() == length; }, 5000))
            << w->lbTotalLengthSec->text().toStdString();
        EXPECT_EQ(w->lblCurrentPositionSec->text(), "0:00:00");
    }
    EXPECT_FALSE(w->cPlayer1->IsPlaying());

    // While an item plays, the labels stay the playing item's; once it stops
    // they show the row selected meanwhile.
    QSignalSpy ended(w->cPlayer1, &cPlayer::PlayEnded);
    lw.click("Play");
    ASSERT_TRUE(w->cPlayer1->IsPlaying());
    lw.select(2);
    w->LoadItemToPlayer();
    EXPECT_EQ(w->lbTotalLengthSec->text(), "0:00:03");
    lw.click("Stop");
    ASSERT_TRUE(waitFor([&] { return ended.count() == 1; }, 2000));
    EXPECT_TRUE(waitFor([&] { return w->lbTotalLengthSec->text() == "0:00:08"; }, 5000))
        << w->lbTotalLengthSec->text().toStdString();

    // An emptied list shows no length.
    w->cGrid1->ClearRows();
    EXPECT_EQ(w->lbTotalLengthSec->text(), "0:00:00");
}

TEST_F(PlayerPanel, RowsAddedAfterAPlayAreDrawnInTheGridsFont)
{
    ListWindow lw;
    FrmMain* w = lw.w;
    cGrid* g = w->cGrid1;
    QFont gridFont("Serif", 11);
    g->setFont(gridFont);
    lw.add(writeSine(dir + "a.wav", 0.5, 440));
    lw.select(1);
    QSignalSpy ended(w->cPlayer1, &cPlayer::PlayEnded);
    lw.click("Play");
    ASSERT_TRUE(w->cPlayer1->IsPlaying());
    EXPECT_TRUE(lw.rowBold(1));
    ASSERT_TRUE(waitFor([&] { return ended.count() == 1; }, 4000));
    const int second = lw.add(writeSine(dir + "b.wav", 0.5, 440));
    for (int col = 1; col <= g->ColumnCount(); ++col) {
        SCOPED_TRACE(col);
        EXPECT_EQ(g->CellFont(1, col), g->CellFont(second, col));
        EXPECT_EQ(g->CellFont(1, col).family(), g->font().family());
        EXPECT_EQ(g->CellFont(1, col).pointSize(), 11);
    }
    // The cells follow a later change of the grid's font.
    g->setFont(QFont("Serif", 13));
    EXPECT_EQ(g->CellFont(1, 3).pointSize(), 13);
}

TEST_F(PlayerPanel, ExitStopsAPlayingOrPausedItemAndReleasesThePlayer)
{
    const QString tone = writeSine(dir + "a.wav", 8, 440);
    for (bool paused : {false, true}) {
        SCOPED_TRACE(paused ? "paused" : "playing");
        ListWindow lw([] { g_bDisplayMSGWhenExit = false; });
        FrmMain* w = lw.w;
        lw.add(tone);
        lw.select(1);
        lw.click("Play");
        ASSERT_TRUE(w->cPlayer1->IsPlaying());
        if (paused)
            lw.click("Pause");
        cPlayer* player = w->cPlayer1;
        ASSERT_TRUE(w->close());
        EXPECT_FALSE(player->IsPlaying());
        EXPECT_FALSE(lw.list.NodeBold());
        EXPECT_EQ(player->PlayFile(tone, -1), cPlayer::PlayReleased);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(frmMainLoaded());
        g_bAppClosing = false;
    }
}

// A disk that stalls never holds the main window: choosing rows reads their
// files elsewhere, and the window closes at once while "Play" waits on one.
TEST_F(PlayerPanel, AStalledDiskNeverHoldsTheWindow)
{
    const QString a = writeSine(dir + "a.wav", 2, 440);
    const QString b = writeSine(dir + "b.wav", 3, 440);
    ListWindow lw([] { g_bDisplayMSGWhenExit = false; });
    FrmMain* w = lw.w;
    lw.add(a);
    lw.add(b);
    StalledReads opens;
    ASSERT_TRUE(opens.ready());
    EXPECT_FALSE(opens.callWaitedForThem([&] {
        for (const int row : {1, 2, 1})
            lw.select(row);
    }));
    ASSERT_TRUE(waitFor([&] { return opens.stalled() >= 2; }, 5000));
    EXPECT_EQ(w->cGridInfo->CellText(1, 2), "a.wav");

    // Closed once Play's open hangs; a timer started then marks a moment well
    // before the open's own deadline (4 s from the click).
    const int before = opens.stalled();
    const int stuck = opens.waiting();
    bool closing = false, closed = false;
    QTimer afterClose;
    afterClose.setSingleShot(true);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (closing || opens.stalled() <= before)
            return;
        closing = true;
        afterClose.start(1500);
        closed = w->close();
    });
    watch.start(10);
    EXPECT_FALSE(opens.callWaitedForThem([&] { lw.click("Play"); }));
    watch.stop();
    ASSERT_TRUE(closing);
    // Back with the open still hung: the close waited neither for it nor for
    // its deadline.
    EXPECT_GT(opens.waiting(), stuck);
    EXPECT_TRUE(afterClose.isActive()) << "the close waited for the open's deadline";
    afterClose.stop();
    EXPECT_TRUE(closed);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(frmMainLoaded());
    EXPECT_EQ(opens.onWindowThread(), 0);
    g_bAppClosing = false;
}
