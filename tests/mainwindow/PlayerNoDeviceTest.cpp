// Without a sound system, "Play" says why and the window goes on working.
#include <gtest/gtest.h>

#include "components/audio/cPlayer.h"
#include "components/controls/cStatusBar.h"
#include "tests/mainwindow/PlayerWindowSupport.h"
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
