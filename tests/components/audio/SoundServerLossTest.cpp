// The player, the recorder, speech and the audio editor when the sound server
// goes away or hangs mid-play and mid-take. Each test starts a sound server
// of its own (its own socket and runtime folder) and kills or stops that one
// only; this process talks to no other.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "audiotools/frmMicRecorder.h"
#include "audiotools/frmWaveTTS.h"
#include "components/audio/SoundDevice.h"
#include "components/audio/cAudioEditor.h"
#include "components/audio/cPlayer.h"
#include "components/audio/cWave.h"
#include "components/audio/cWaveTTS.h"
#include "tests/audiotools/AudioToolsTestSupport.h"
#include "tests/components/audio/OwnSoundServer.h"
#include "tests/components/audio/PlayerFixtures.h"
#include "tests/components/audio/PrivateSink.h"
#include "tests/support/TestEnv.h"

using playerfx::pump;
using playerfx::waitFor;

namespace {

class SoundServerLossTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = testenv::tempRoot() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        QDir(m_dir).removeRecursively();
        QDir().mkpath(m_dir);
        server = std::make_unique<playerfx::OwnSoundServer>(m_dir + "/server");
        if (!server->ok())
            GTEST_SKIP() << "no private sound server could be started";
        tone = playerfx::writeSine(m_dir + "/tone.wav", 20, 440);
    }
    void TearDown() override { server.reset(); }

    std::unique_ptr<playerfx::OwnSoundServer> server;
    QString m_dir;
    QString tone;
};

TEST_F(SoundServerLossTest, PlayingEndsWithAnErrorAndThePlayerStaysUsable)
{
    cPlayer player;
    QSignalSpy ended(&player, &cPlayer::PlayEnded);
    long endError = -1;
    bool atEnd = true;
    QObject::connect(&player, &cPlayer::PlayEnded, [&] {
        endError = player.PlayEndError();
        atEnd = player.PlayEndedAtEndOfFile();
    });
    ASSERT_EQ(player.PlayFile(tone, -1), 0);
    ASSERT_TRUE(waitFor([&] { return player.PlayPosition() > 0.3; }, 3000));
    server->kill();
    ASSERT_TRUE(waitFor([&] { return ended.count() == 1; }, 3000));
    EXPECT_EQ(endError, cPlayer::PlayDeviceLost);
    EXPECT_FALSE(atEnd);
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_TRUE(player.GetErrorText(endError).contains("sound system")) << player.GetErrorText(endError).toStdString();

    // With no server at all, a new play is refused at once.
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(player.PlayFile(tone, -1), cPlayer::PlayNoDevice);
    EXPECT_LT(t.elapsed(), 1500);
}

TEST_F(SoundServerLossTest, RecordingEndsWithAnErrorAndKeepsAValidTake)
{
    cWave wave;
    QSignalSpy done(&wave, &cWave::DoneRecord);
    long endError = -1;
    QString text;
    QObject::connect(&wave, &cWave::DoneRecord, [&] {
        endError = wave.RecordEndError();
        text = wave.GetErrorText(endError);
    });
    const QString path = m_dir + "/take.wav";
    long device = -1;
    WAVEFORMATEX f = recfx::pcmFormat(16, 44100, 2);
    // Something plays into the sink, as the null sink's monitor gives sound only then.
    cPlayer player;
    ASSERT_EQ(player.PlayFile(tone, -1), 0);
    ASSERT_EQ(wave.StartRecording(device, path, f, 1600), 0);
    pump(3000);
    server->kill();
    ASSERT_TRUE(waitFor([&] { return done.count() == 1; }, 3000));
    EXPECT_EQ(endError, cWave::WaveDeviceLost);
    EXPECT_TRUE(text.contains("take so far is kept")) << text.toStdString();
    const recfx::WavFile w = recfx::readWav(path);
    ASSERT_TRUE(w.valid);
    EXPECT_EQ(qint64(w.dataSize), w.fileSize - 44);
    EXPECT_EQ(w.rate, 44100u);
    EXPECT_GT(w.seconds(), 1.0);
    EXPECT_LT(w.seconds(), 3.2);
    EXPECT_FALSE(wave.IsRecording());
}

// A server that stops answering: stopping returns at once, the ends still
// come, and the take holds what arrived.
TEST_F(SoundServerLossTest, AHungServerNeitherHoldsTheWindowNorLosesTheTake)
{
    cPlayer player;
    cWave wave;
    cWaveTTS tts;
    // The speech engine is loaded first: loading it opens a connection of its own.
    ASSERT_GT(tts.VoiceCount(), 0);
    QSignalSpy ended(&player, &cPlayer::PlayEnded);
    QSignalSpy done(&wave, &cWave::DoneRecord);
    ASSERT_EQ(player.PlayFile(tone, -1), 0);
    const QString path = m_dir + "/hung.wav";
    long device = -1;
    WAVEFORMATEX f = recfx::pcmFormat(16, 44100, 2);
    ASSERT_EQ(wave.StartRecording(device, path, f, 1600), 0);
    pump(3000);
    server->hang();
    pump(200);

    QElapsedTimer t;
    t.start();
    player.StopPlayback();
    wave.StopRecording();
    player.PausePlayback();
    EXPECT_LT(t.elapsed(), 100) << "a stop waited on the server";
    ASSERT_TRUE(waitFor([&] { return ended.count() == 1 && done.count() == 1; }, 6000));
    const recfx::WavFile w = recfx::readWav(path);
    ASSERT_TRUE(w.valid);
    EXPECT_EQ(qint64(w.dataSize), w.fileSize - 44);
    EXPECT_GT(w.seconds(), 0.5);

    // The editor's play and speaking on a hung server: stopping returns at once too.
    cAudioEditor editor;
    QSignalSpy loaded(&editor, &cAudioEditor::WaveformReady);
    editor.LoadWaveFile(tone);
    ASSERT_TRUE(waitFor([&] { return loaded.count() == 1; }, 5000));
    t.restart();
    editor.StartPlayback();
    editor.StopPlayback();
    tts.Speak(QStringLiteral("one two three"));
    tts.StopSpeaking();
    tts.ReleaseComponent();
    EXPECT_LT(t.elapsed(), 4500);
}

TEST_F(SoundServerLossTest, EditorAndSpeechEndWhenTheServerGoes)
{
    cAudioEditor editor;
    QSignalSpy loaded(&editor, &cAudioEditor::WaveformReady);
    QSignalSpy errors(&editor, &cAudioEditor::EditorError);
    QSignalSpy ended(&editor, &cAudioEditor::EditorPlayEnded);
    editor.LoadWaveFile(tone);
    ASSERT_TRUE(waitFor([&] { return loaded.count() == 1; }, 5000));
    ASSERT_EQ(editor.StartPlayback(), 0);
    ASSERT_TRUE(waitFor([&] { return editor.PlayCursor() > 4410; }, 3000));

    cWaveTTS tts;
    QSignalSpy spoken(&tts, &cWaveTTS::SpeakDone);
    tts.Speak(QString("word ").repeated(400));
    pump(500);
    ASSERT_TRUE(tts.IsSpeaking());

    server->kill();
    ASSERT_TRUE(waitFor([&] { return ended.count() == 1 && spoken.count() == 1; }, 3000));
    ASSERT_GE(errors.count(), 1);
    EXPECT_TRUE(errors.last().at(1).toString().contains("sound system")) << errors.last().at(1).toString().toStdString();
    EXPECT_FALSE(editor.IsPlaying());
    EXPECT_FALSE(tts.IsSpeaking());
}

// The recorder window lists the only source there is, the sink's monitor,
// and logs the loss when its server goes; the window stays usable.
TEST_F(SoundServerLossTest, TheRecorderWindowLogsTheLossAndKeepsTheTake)
{
    attest::startProgram();
    FrmMicRecorder* w = g_frmMicRecorder();
    ASSERT_EQ(w->cboDevices->count(), 1);
    EXPECT_TRUE(w->cboDevices->itemText(0).contains("Monitor of")) << w->cboDevices->itemText(0).toStdString();
    cPlayer player;
    ASSERT_EQ(player.PlayFile(tone, -1), 0);
    const QString path = m_dir + "/window.wav";
    w->txtAudioFile->setText(path);
    w->cmdRecord->click();
    ASSERT_FALSE(w->cmdRecord->isEnabled());
    pump(3000);
    server->kill();
    ASSERT_TRUE(waitFor([&] { return w->cmdRecord->isEnabled(); }, 4000));
    const QStringList log = attest::logMessages(w->txtResults);
    ASSERT_GE(log.size(), 2);
    EXPECT_TRUE(log.at(log.size() - 2).startsWith(" Error Record .")) << log.join('|').toStdString();
    EXPECT_TRUE(log.at(log.size() - 2).contains("sound system")) << log.join('|').toStdString();
    EXPECT_EQ(log.last(), " DoneRecord Event.");
    const recfx::WavFile take = recfx::readWav(path);
    ASSERT_TRUE(take.valid);
    EXPECT_EQ(qint64(take.dataSize), take.fileSize - 44);
    EXPECT_GT(take.seconds(), 1.0);
    w->close();
    pump(20);
}

// The speech window says when the sound system goes while it speaks, and
// when there is none to speak on; it stays usable.
TEST_F(SoundServerLossTest, TheSpeechWindowSaysWhenTheSoundSystemGoes)
{
    attest::startProgram();
    FrmWaveTTS* w = g_frmWaveTTS();
    testenv::ScriptedMessageBoxes boxes;
    QSignalSpy words(w->cWaveTTS1, &cWaveTTS::WordPosition);
    w->txtSpeak->setPlainText(QString("word ").repeated(400));
    w->cmdSay->click();
    ASSERT_TRUE(waitFor([&] { return words.count() > 1; }, 5000));
    server->kill();
    ASSERT_TRUE(waitFor([&] { return !boxes.shown().empty(); }, 4000));
    EXPECT_TRUE(boxes.prompts().last().contains("sound system failed")) << boxes.prompts().last().toStdString();
    EXPECT_FALSE(w->cWaveTTS1->IsSpeaking());

    // No sound system at all: "Say It" says so rather than nothing.
    boxes.clear();
    w->cmdSay->click();
    ASSERT_TRUE(waitFor([&] { return !boxes.shown().empty(); }, 8000));
    EXPECT_TRUE(boxes.prompts().last().contains("sound system")) << boxes.prompts().last().toStdString();
    EXPECT_FALSE(w->cWaveTTS1->IsSpeaking());
    w->close();
    pump(20);
}

} // namespace
