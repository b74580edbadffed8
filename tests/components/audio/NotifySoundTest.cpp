// The end-of-job sound plays through the program's own sound layer: through
// the platform's sound service as the program installs it, into a sound
// server of the test's own, whose sink's monitor hears what plays.
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

#include "components/audio/NotifySound.h"
#include "components/audio/SoundDevice.h"
#include "platform/Sound.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/components/audio/OwnSoundServer.h"
#include "tests/components/audio/PlayerFixtures.h"
#include "tests/components/audio/StalledReads.h"
#include "tests/support/TestEnv.h"

using kvaudio::NotifySound;
using playerfx::waitFor;

namespace {

constexpr int kRate = 44100;

// Hears the own sink through its monitor: mono samples as they come.
class Monitor {
public:
    bool start()
    {
        kvsound::StreamFormat f;
        f.rate = kRate;
        f.channels = 1;
        f.type = kvsound::SampleType::S16;
        return m_stream.startCapture(QStringLiteral("ownsink.monitor"), f, 20,
                                     [this](const void* data, size_t bytes) {
                                         std::lock_guard<std::mutex> lock(m_mutex);
                                         m_pcm.append(static_cast<const char*>(data), qsizetype(bytes));
                                     },
                                     nullptr)
               && m_stream.waitReady(3000) > 0;
    }
    std::vector<int> samples()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<int> out(size_t(m_pcm.size() / 2));
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = reinterpret_cast<const qint16*>(m_pcm.constData())[i];
        return out;
    }
    // Seconds that carried sound, and the pitch of what did (from its zero crossings).
    void measure(double* loudSeconds, double* hz)
    {
        const std::vector<int> s = samples();
        qint64 loud = 0, crossings = 0;
        int side = 0;
        for (int v : s) {
            const int now = v > 1000 ? 1 : v < -1000 ? -1 : 0;
            if (now != 0) {
                ++loud;
                if (side != 0 && now != side)
                    ++crossings;
                side = now;
            }
        }
        // A sine spends about 96 % of its time beyond 1000 of 16383.
        *loudSeconds = double(loud) / kRate / 0.96;
        *hz = *loudSeconds > 0 ? crossings / 2.0 / *loudSeconds : 0;
    }

private:
    kvsound::Stream m_stream;
    std::mutex m_mutex;
    QByteArray m_pcm;
};

class NotifySoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testenv::tempRoot() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        server = std::make_unique<playerfx::OwnSoundServer>(dir + "/server");
        if (!server->ok())
            GTEST_SKIP() << "no private sound server could be started";
        previous = platform::setSoundHandler({});
        kvaudio::InstallNotifySound();
    }
    void TearDown() override
    {
        NotifySound::instance()->stop();
        platform::setSoundHandler(previous);
        server.reset();
    }
    std::unique_ptr<playerfx::OwnSoundServer> server;
    platform::SoundHandler previous;
    QString dir;
};

TEST_F(NotifySoundTest, TheSoundIsHeardAtTheSinkWholeAndEnds)
{
    const QString tone = playerfx::writeSine(dir + "/notify.wav", 0.6, 880, kRate, 1);
    Monitor monitor;
    ASSERT_TRUE(monitor.start());
    QSignalSpy finished(NotifySound::instance(), &NotifySound::Finished);
    QSignalSpy failed(NotifySound::instance(), &NotifySound::Failed);

    // The call returns while the file is still being opened, away from this thread.
    StalledReads opens;
    platform::playSoundAsync(tone);
    ASSERT_TRUE(waitFor([&] { return opens.stalled() == 1; }, 5000));
    EXPECT_EQ(opens.onWindowThread(), 0);
    EXPECT_TRUE(NotifySound::instance()->isPlaying());
    opens.letThrough();
    opens.releaseOne();

    ASSERT_TRUE(waitFor([&] { return finished.count() == 1; }, 5000));
    EXPECT_EQ(failed.count(), 0);
    EXPECT_FALSE(NotifySound::instance()->isPlaying());
    double seconds = 0, hz = 0;
    monitor.measure(&seconds, &hz);
    EXPECT_NEAR(seconds, 0.6, 0.1);
    EXPECT_NEAR(hz, 880, 20);
}

TEST_F(NotifySoundTest, StopEndsTheSoundWithoutAnEnd)
{
    const QString tone = playerfx::writeSine(dir + "/long.wav", 10, 440, kRate, 1);
    Monitor monitor;
    ASSERT_TRUE(monitor.start());
    QSignalSpy finished(NotifySound::instance(), &NotifySound::Finished);
    platform::playSoundAsync(tone);
    double seconds = 0, hz = 0;
    ASSERT_TRUE(waitFor([&] { monitor.measure(&seconds, &hz); return seconds > 0.3; }, 5000));
    platform::stopSound();
    EXPECT_FALSE(NotifySound::instance()->isPlaying());
    // Half a second more from the monitor: silence, but for what was on its way.
    monitor.measure(&seconds, &hz);
    const double atStop = seconds;
    const size_t heardAtStop = monitor.samples().size();
    ASSERT_TRUE(waitFor([&] { return monitor.samples().size() > heardAtStop + kRate / 2; }, 5000));
    monitor.measure(&seconds, &hz);
    EXPECT_LT(seconds - atStop, 0.15);
    EXPECT_LT(seconds, 3.0);
    EXPECT_EQ(finished.count(), 0);
}

// A file that cannot be played, or no sound system at all: the beep sounds
// instead, nothing reaches the sink, and the player stays usable.
TEST_F(NotifySoundTest, WhatCannotBePlayedSoundsTheBeepInstead)
{
    Monitor monitor;
    ASSERT_TRUE(monitor.start());
    const QString tone = playerfx::writeSine(dir + "/ok.wav", 0.3, 660, kRate, 1);
    const struct {
        const char* name;
        QString file;
    } cases[] = {
        {"missing", dir + "/gone.wav"},
        {"no audio", fixtures::writeBytes(dir + "/text.wav", "not a sound")},
        {"folder", dir},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QSignalSpy failed(NotifySound::instance(), &NotifySound::Failed);
        platform::playSoundAsync(c.file);
        ASSERT_TRUE(waitFor([&] { return failed.count() == 1; }, 5000));
        EXPECT_FALSE(NotifySound::instance()->isPlaying());
    }
    double seconds = 0, hz = 0;
    monitor.measure(&seconds, &hz);
    EXPECT_EQ(seconds, 0);

    QSignalSpy finished(NotifySound::instance(), &NotifySound::Finished);
    platform::playSoundAsync(tone);
    ASSERT_TRUE(waitFor([&] { return finished.count() == 1; }, 5000));

    server->kill();
    QSignalSpy failed(NotifySound::instance(), &NotifySound::Failed);
    platform::playSoundAsync(tone);
    ASSERT_TRUE(waitFor([&] { return failed.count() == 1; }, 8000));
    EXPECT_TRUE(failed.first().at(0).toString().contains("sound system")) << failed.first().at(0).toString().toStdString();
}

} // namespace
