// Without a sound system, "Play" says why and the window goes on working;
// a sound system that goes while an item plays is told too.
#include <gtest/gtest.h>

#include "components/audio/cPlayer.h"
#include "components/controls/cStatusBar.h"
#include "tests/mainwindow/PlayerWindowSupport.h"
#include "tests/components/audio/OwnSoundServer.h"
#include "tests/components/audio/PlayerFixtures.h"

TEST(PlayerPanelNoDevice, PlayWithoutASoundServerGivesAClearMessage)
{
    // Before anything in this process reaches the sound system.
    qputenv("PULSE_SERVER", QByteArray("unix:") + (testenv::tempRoot() + "/no-such-server").toLocal8Bit());
    qputenv("PULSE_AUTOSPAWN", "no");
    pwtest::ListWindow lw;
    FrmMain* w = lw.w;
    const QString tone = playerfx::writeSine(testenv::tempRoot() + "/t.wav", 3, 440);
    lw.add(tone);
    lw.select(1);
    testenv::ScriptedMessageBoxes boxes;
    lw.click("Play");
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.prompts()[0].contains("No audio output device")) << boxes.prompts()[0].toStdString();
    EXPECT_FALSE(w->cPlayer1->IsPlaying());
    EXPECT_EQ(w->cStatusBar1->PanelText(QStringLiteral("Main")), "Ready.");
    EXPECT_FALSE(lw.rowBold(1));

    // The window still works: the item's length is read without a device.
    w->LoadItemToPlayer();
    EXPECT_TRUE(playerfx::waitFor([&] { return w->lbTotalLengthSec->text() == "0:00:03"; }, 5000))
        << w->lbTotalLengthSec->text().toStdString();
    UnloadMain();
}

TEST(PlayerPanelNoDevice, TheSoundSystemGoingWhileAnItemPlaysIsTold)
{
    playerfx::OwnSoundServer server(testenv::tempRoot() + "/own-server");
    if (!server.ok())
        GTEST_SKIP() << "no private sound server could be started";
    pwtest::ListWindow lw;
    FrmMain* w = lw.w;
    lw.add(playerfx::writeSine(testenv::tempRoot() + "/long.wav", 20, 440));
    lw.select(1);
    testenv::ScriptedMessageBoxes boxes;
    lw.click("Play");
    ASSERT_TRUE(w->cPlayer1->IsPlaying());
    ASSERT_TRUE(playerfx::waitFor([&] { return w->cPlayer1->PlayPosition() > 0.3; }, 3000));
    server.kill();
    ASSERT_TRUE(playerfx::waitFor([&] { return !boxes.shown().empty(); }, 4000));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.prompts()[0].contains("sound system failed")) << boxes.prompts()[0].toStdString();
    // The panel is reset as after any end.
    EXPECT_FALSE(w->cPlayer1->IsPlaying());
    EXPECT_EQ(w->cStatusBar1->PanelText(QStringLiteral("Main")), "Ready.");
    EXPECT_FALSE(lw.rowBold(1));
    UnloadMain();
}
