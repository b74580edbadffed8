// The player and the graphs against the sound system's null sink.
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

#include "components/audio/cAudioGraph.h"
#include "components/audio/cPlayer.h"
#include "tests/components/audio/StalledReads.h"
#include "tests/components/audio/PlayerFixtures.h"
#include "tests/support/TestEnv.h"

using namespace playerfx;

namespace {

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(haveOutput()) << "no audio output: start the null sink first (source scripts/pulse.sh)";
        dir = testenv::tempRoot() + "/";
    }
    QString dir;
};

} // namespace

TEST_F(PlayerTest, PlaysPausesResumesAndStopsWithOneQueuedEndEvent)
{
    const QString tone = writeSine(dir + "tone.wav", 6, 440);
    cPlayer player;
    QSignalSpy ended(&player, &cPlayer::PlayEnded);

    ASSERT_EQ(player.PlayFile(tone, -1), 0);
    EXPECT_TRUE(player.IsPlaying());
    EXPECT_FALSE(player.IsPlaybackPaused());
    EXPECT_NEAR(player.DurationSeconds(), 6.0, 0.01);

    // The position follows what is heard.
    ASSERT_TRUE(waitFor([&] { return player.PlayPosition() >= 0.8; }, 3000));
    EXPECT_LT(player.PlayPosition(), 3.0);

    player.PausePlayback();
    EXPECT_TRUE(player.IsPlaying());
    EXPECT_TRUE(player.IsPlaybackPaused());
    pump(150);
    const double pausedAt = player.PlayPosition();
    pump(500);
    EXPECT_NEAR(player.PlayPosition(), pausedAt, 0.05) << "the position moved while paused";

    player.ResumePlayback();
    EXPECT_FALSE(player.IsPlaybackPaused());
    ASSERT_TRUE(waitFor([&] { return player.PlayPosition() >= pausedAt + 0.4; }, 3000));

    player.StopPlayback();
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(ended.count(), 0) << "the end event came from inside StopPlayback";
    ASSERT_TRUE(waitFor([&] { return ended.count() == 1; }, 2000));
    EXPECT_FALSE(player.PlayEndedAtEndOfFile());
    pump(300);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(player.PlayPosition(), 0.0);

    // A stop with nothing playing stops nothing and raises nothing.
    player.StopPlayback();
    pump(200);
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(PlayerTest, TheEndOfTheFileRaisesTheEndEventOnceAfterItWasHeard)
{
    struct Case {
        const char* name;
        QString path;
        double seconds;
    };
    const QString mp3 = writeSineMp3(dir + "short.mp3", 1.2, 660);
    ASSERT_FALSE(mp3.isEmpty());
    const Case cases[] = {
        {"one-second WAV", writeSine(dir + "short.wav", 1.0, 440), 1.0},
        {"MP3", mp3, 1.2},
        {"a tenth of a second, shorter than the device buffer", writeSine(dir + "tiny.wav", 0.1, 440, 22050, 1), 0.1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cPlayer player;
        QSignalSpy ended(&player, &cPlayer::PlayEnded);
        QElapsedTimer t;
        t.start();
        ASSERT_EQ(player.PlayFile(c.path, -1), 0);
        ASSERT_TRUE(waitFor([&] { return ended.count() > 0; }, int(c.seconds * 1000) + 4000));
        EXPECT_GE(t.elapsed(), qint64(c.seconds * 1000 * 0.8)) << "ended before the audio was heard";
        EXPECT_FALSE(player.IsPlaying());
        EXPECT_TRUE(player.PlayEndedAtEndOfFile());
        pump(400);
        EXPECT_EQ(ended.count(), 1);
    }
}

TEST_F(PlayerTest, SeekMovesThePositionAlsoWhilePaused)
{
    const QString tone = writeSine(dir + "long.wav", 20, 440);
    cPlayer player;
    ASSERT_EQ(player.PlayFile(tone, -1), 0);
    ASSERT_TRUE(waitFor([&] { return player.PlayPosition() > 0.2; }, 3000));

    player.Seek(12);
    pump(300);
    EXPECT_GE(player.PlayPosition(), 12.0);
    EXPECT_LT(player.PlayPosition(), 13.5);

    player.PausePlayback();
    player.Seek(5);
    pump(400);
    EXPECT_TRUE(player.IsPlaybackPaused());
    EXPECT_NEAR(player.PlayPosition(), 5.0, 0.01);
    player.ResumePlayback();
    ASSERT_TRUE(waitFor([&] { return player.PlayPosition() >= 5.4; }, 3000));
    EXPECT_LT(player.PlayPosition(), 7.0);

    // Past the end: kept inside the file, which then ends.
    QSignalSpy ended(&player, &cPlayer::PlayEnded);
    player.Seek(500);
    ASSERT_TRUE(waitFor([&] { return ended.count() == 1; }, 4000));
}

TEST_F(PlayerTest, RefusedFilesLeaveThePlayerStoppedWithAReadableReason)
{
    const QString good = writeSine(dir + "good.wav", 2, 440);
    QFile::copy(good, dir + "cut.wav");
    QFile cut(dir + "cut.wav");
    ASSERT_TRUE(cut.open(QIODevice::ReadWrite));
    cut.resize(cut.size() / 3);
    cut.close();
    QFile text(dir + "notes.mp3");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(5000, 'x'));
    text.close();

    struct Case {
        QString path;
        long device;
        long code;
    };
    const Case cases[] = {
        {dir + "missing.wav", -1, cPlayer::PlayFileMissing},
        {dir + "notes.mp3", -1, cPlayer::PlayFileNotAudio},
        {dir + "cut.wav", -1, cPlayer::PlayFileTruncated},
        {good, 999, cPlayer::PlayDeviceNotFound},
    };
    cPlayer player;
    QSignalSpy ended(&player, &cPlayer::PlayEnded);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(player.PlayFile(c.path, c.device), c.code);
        EXPECT_FALSE(player.IsPlaying());
        EXPECT_FALSE(player.GetErrorText(c.code).isEmpty());
    }
    pump(200);
    EXPECT_EQ(ended.count(), 0);
    // And the player still plays afterwards.
    EXPECT_EQ(player.PlayFile(good, -1), 0);
    EXPECT_TRUE(player.IsPlaying());
}

TEST_F(PlayerTest, ReadFileInfoGivesTheLengthWithoutPlaying)
{
    cPlayer player;
    QSignalSpy ended(&player, &cPlayer::PlayEnded);
    EXPECT_EQ(player.ReadFileInfo(writeSine(dir + "a.wav", 3.5, 440)), 0);
    EXPECT_NEAR(player.DurationSeconds(), 3.5, 0.01);
    EXPECT_EQ(player.SampleRate(), 44100);
    EXPECT_EQ(player.Channels(), 2);
    EXPECT_NEAR(player.Bitrate(), 1411, 2); // kbit/s of 16-bit stereo PCM
    EXPECT_EQ(player.ReadFileInfo(writeSine(dir + "m.wav", 1, 440, 22050, 1)), 0);
    EXPECT_EQ(player.SampleRate(), 22050);
    EXPECT_EQ(player.Channels(), 1);
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(player.ReadFileInfo(dir + "none.wav"), cPlayer::PlayFileMissing);
    pump(100);
    EXPECT_EQ(ended.count(), 0);

    const std::pair<long, const char*> times[] = {{0, "0:00:00"},    {59, "0:00:59"},   {61, "0:01:01"},
                                                  {3725, "1:02:05"}, {-5, "0:00:00"},   {36000, "10:00:00"}};
    for (const auto& [secs, text] : times)
        EXPECT_EQ(cPlayer::SecondsToTime(secs), QString::fromLatin1(text)) << secs;
}

TEST_F(PlayerTest, GraphsShowTheToneBeingPlayed)
{
    const double hz = 1000;
    const QString tone = writeSine(dir + "khz.wav", 5, hz);
    cPlayer player;
    ASSERT_EQ(player.PlayFile(tone, -1), 0);
    ASSERT_TRUE(waitFor([&] { return player.AudioData().samples.size() >= 2048; }, 3000));
    const cAudioData data = player.AudioData();
    EXPECT_EQ(data.sampleRate, 44100);

    const long back = 0x000000, line = 0x00FF00;
    auto render = [&](cAudioGraph& g) {
        g.resize(256, 64);
        g.setGraphBackColor(back);
        g.setGraphLineColor(line);
        g.setGraphTextColor(0x404040);
        g.DrawData(data);
        g.RefreshGraph();
        QImage img(g.size(), QImage::Format_RGB32);
        g.render(&img);
        return img;
    };
    const QRgb lineRgb = qRgb(0, 255, 0);

    // The waveform reaches far from the centre line.
    cAudioGraph amp(cAudioGraph::AmplitudeGraph);
    const QImage a = render(amp);
    int top = a.height(), bottom = -1;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) == lineRgb) {
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
    EXPECT_GT(bottom - top, a.height() / 3) << "the amplitude graph is flat";

    // The tallest bar stands at the tone's frequency.
    cAudioGraph freq(cAudioGraph::FrequencyGraph);
    const QImage f = render(freq);
    int bestX = -1, bestHeight = 0;
    for (int x = 0; x < f.width(); ++x) {
        int h = 0;
        for (int y = f.height() - 1; y >= 0 && f.pixel(x, y) == lineRgb; --y)
            ++h;
        if (h > bestHeight) {
            bestHeight = h;
            bestX = x;
        }
    }
    EXPECT_NEAR(bestX, freq.XForFrequency(hz), 2.0);
    EXPECT_NEAR(freq.XForFrequency(hz), 1000.0 / 22050.0 * 256, 0.01);
    EXPECT_GT(bestHeight, f.height() / 2);

    // Cleared graphs hold nothing of the line colour.
    amp.ClearGraph();
    freq.ClearGraph();
    for (cAudioGraph* g : {&amp, &freq}) {
        QImage img(g->size(), QImage::Format_RGB32);
        g->render(&img);
        bool any = false;
        for (int y = 0; y < img.height() && !any; ++y)
            for (int x = 0; x < img.width() && !any; ++x)
                any = img.pixel(x, y) == lineRgb;
        EXPECT_FALSE(any);
    }

    // Stopped, the player has nothing to draw.
    player.StopPlayback();
    EXPECT_TRUE(player.AudioData().isEmpty());
}

TEST_F(PlayerTest, ReleasedPlayerStopsAndRefusesToPlay)
{
    const QString tone = writeSine(dir + "r.wav", 5, 440);
    cPlayer player;
    QSignalSpy ended(&player, &cPlayer::PlayEnded);
    ASSERT_EQ(player.PlayFile(tone, -1), 0);
    player.ReleaseComponent();
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(player.PlayFile(tone, -1), cPlayer::PlayReleased);
    pump(200);
    EXPECT_EQ(ended.count(), 0);
}

// A file that never opens (a dead mount) keeps the window's timers running
// and lets a release through at once; a second start meanwhile is refused.
TEST_F(PlayerTest, AnOpenThatHangsNeitherFreezesNorHoldsTheWindow)
{
    const QString tone = writeSine(dir + "h.wav", 3, 440);
    StalledReads opens;
    ASSERT_TRUE(opens.ready());

    {
        cPlayer player;
        // Timers due early in the wait and late in it, before its deadline
        // (4 s, set after these): both run inside the call unless the
        // window's timers stand still, however slow the machine.
        long again = -1;
        bool late = false;
        QTimer::singleShot(300, &player, [&] { again = player.PlayFile(tone, -1); });
        QTimer::singleShot(3000, Qt::PreciseTimer, &player, [&] { late = true; });
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(player.PlayFile(tone, -1), cPlayer::PlayDeviceNoAnswer);
        EXPECT_GE(t.elapsed(), 3500);
        EXPECT_EQ(again, cPlayer::PlayBusy) << "the window's timers stood still";
        EXPECT_TRUE(late) << "the window's timers stood still";
        EXPECT_FALSE(player.IsPlaying());

        // Usable again once the disk answers.
        opens.letThrough();
        ASSERT_EQ(player.PlayFile(tone, -1), 0);
        EXPECT_NEAR(player.DurationSeconds(), 3.0, 0.01);
        player.StopPlayback();
        opens.stall();
    }

    for (const bool deleted : {false, true}) {
        SCOPED_TRACE(deleted ? "deleted" : "released");
        auto player = std::make_unique<cPlayer>();
        QSignalSpy ended(player.get(), &cPlayer::PlayEnded);
        // Once the open hangs, the player is released (or goes); a timer
        // started then marks a moment well before the open's own deadline.
        const int before = opens.stalled();
        bool released = false;
        QTimer afterRelease;
        afterRelease.setSingleShot(true);
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (released || opens.stalled() <= before)
                return;
            released = true;
            afterRelease.start(1500);
            if (deleted)
                player.reset(); // as its window goes
            else
                player->ReleaseComponent();
        });
        watch.start(10);
        cPlayer* raw = player.get();
        const int stuck = opens.waiting();
        long result = -1;
        EXPECT_FALSE(opens.callWaitedForThem([&] { result = raw->PlayFile(tone, -1); }));
        EXPECT_EQ(result, cPlayer::PlayReleased);
        ASSERT_TRUE(released);
        // It returned with the open still hung: it did not wait for it, nor
        // for the open's deadline.
        EXPECT_EQ(opens.waiting(), stuck + 1);
        EXPECT_TRUE(afterRelease.isActive()) << "the release waited for the open's deadline";
        watch.stop();
        afterRelease.stop();
        pump(200);
        if (player) {
            EXPECT_FALSE(player->IsPlaying());
            EXPECT_EQ(ended.count(), 0);
        }
    }
    EXPECT_EQ(opens.onWindowThread(), 0);
}
