// Without a sound system the player refuses to play and says why.
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "components/audio/cPlayer.h"
#include "tests/components/audio/PlayerFixtures.h"
#include "tests/support/TestEnv.h"

TEST(PlayerNoDevice, PlayingWithoutASoundServerIsRefusedClearly)
{
    // Before anything in this process reaches the sound system.
    qputenv("PULSE_SERVER", QByteArray("unix:") + (testenv::tempRoot() + "/no-such-server").toLocal8Bit());
    qputenv("PULSE_AUTOSPAWN", "no");
    const QString tone = playerfx::writeSine(testenv::tempRoot() + "/t.wav", 1, 440);
    cPlayer player;
    QSignalSpy ended(&player, &cPlayer::PlayEnded);
    const long code = player.PlayFile(tone, -1);
    EXPECT_EQ(code, cPlayer::PlayNoDevice);
    EXPECT_TRUE(player.GetErrorText(code).contains("No audio output device")) << player.GetErrorText(code).toStdString();
    EXPECT_FALSE(player.IsPlaying());
    // Reading a file's length needs no device.
    EXPECT_EQ(player.ReadFileInfo(tone), 0);
    playerfx::pump(100);
    EXPECT_EQ(ended.count(), 0);
}
