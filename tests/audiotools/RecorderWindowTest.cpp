// The recorder window over a sink of the test's own: the tone played into it
// is what the window records.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "audiotools/frmMicRecorder.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cSlider.h"
#include "components/audio/cWave.h"
#include "core/CommonLook.h"
#include "platform/ProgramDir.h"
#include "tests/audiotools/AudioToolsTestSupport.h"
#include "tests/components/audio/PlayerFixtures.h"
#include "tests/components/audio/PrivateSink.h"
#include "tests/components/audio/StalledReads.h"
#include "tests/support/TestEnv.h"

namespace {

class RecorderWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_sink = new recfx::PrivateSink;
        s_tone = testenv::tempRoot() + "/tone1k.wav";
        playerfx::writeSine(s_tone, 60, 1000);
    }
    static void TearDownTestSuite()
    {
        delete s_sink;
        s_sink = nullptr;
    }
    void SetUp() override
    {
        attest::startProgram();
        m_dir = testenv::tempRoot() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
        QDir(m_dir).removeRecursively();
        QDir().mkpath(m_dir);
        w = g_frmMicRecorder();
    }
    void TearDown() override
    {
        if (g_frmMicRecorderLoaded())
            g_frmMicRecorder()->close();
        playerfx::pump(20); // the closed window's deferred delete
        s_sink->stopPlaying();
        g_sViewBackColor.clear();
        g_sViewFormPicture.clear();
    }
    QStringList log() const { return attest::logMessages(w->txtResults); }
    // Selects the test's own source in the device list; false without a sound server.
    bool useOwnSource()
    {
        if (!s_sink->ok())
            return false;
        const long index = s_sink->inputIndex();
        if (index < 0 || index >= w->cboDevices->count())
            return false;
        w->cboDevices->setCurrentIndex(int(index));
        return true;
    }
    bool waitDone()
    {
        return playerfx::waitFor([this] { return w->cmdRecord->isEnabled(); }, 8000);
    }

    static recfx::PrivateSink* s_sink;
    static QString s_tone;
    QString m_dir;
    FrmMicRecorder* w = nullptr;
};

recfx::PrivateSink* RecorderWindowTest::s_sink = nullptr;
QString RecorderWindowTest::s_tone;

TEST_F(RecorderWindowTest, OpensWithOneLogLineTheDefaultsAndTheInputs)
{
    EXPECT_EQ(w->windowTitle(), "Audio Recorder");
    EXPECT_EQ(log(), QStringList{" MeterIn=True."});
    EXPECT_EQ(w->cboBitPerSample->currentText(), "16");
    EXPECT_EQ(w->cboSamplesPerSec->currentText(), "44100");
    EXPECT_EQ(w->cboChannels->currentText(), "Stereo");
    cWave probe;
    const long n = probe.WaveDeviceCount(cWave::WaveInput);
    ASSERT_EQ(w->cboDevices->count(), n);
    for (long i = 0; i < n; ++i) {
        WaveDeviceCapsRecord rec;
        probe.WaveDeviceCaps(i, rec, cWave::WaveInput);
        EXPECT_EQ(w->cboDevices->itemText(int(i)), QString("%1 - %2 - %3").arg(i).arg(rec.DeviceName).arg(i));
    }
    EXPECT_EQ(w->cboDevices->currentIndex(), n > 0 ? 0 : -1);
}

TEST_F(RecorderWindowTest, TheFormatRecordFollowsTheLists)
{
    struct Row {
        const char *bits, *rate, *channels;
        quint16 nChannels, nBlockAlign;
        qint32 nAvgBytesPerSec;
    } rows[] = {
        {"16", "44100", "Stereo", 2, 4, 176400},
        {"8", "8000", "Mono", 1, 1, 8000},
        {"8", "22050", "Stereo", 2, 2, 44100},
        {"16", "11025", "Mono", 1, 2, 22050},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.rate);
        w->cboBitPerSample->setCurrentText(r.bits);
        w->cboSamplesPerSec->setCurrentText(r.rate);
        w->cboChannels->setCurrentText(r.channels);
        // A start that fails still computes the record from the lists.
        w->txtAudioFile->setText(m_dir + "no/such/folder/x.wav");
        w->cmdRecord->click();
        const WAVEFORMATEX& f = w->RecordingFormat;
        EXPECT_EQ(f.wFormatTag, 1);
        EXPECT_EQ(f.nChannels, r.nChannels);
        EXPECT_EQ(f.nSamplesPerSec, QString(r.rate).toInt());
        EXPECT_EQ(f.nAvgBytesPerSec, r.nAvgBytesPerSec);
        EXPECT_EQ(f.nBlockAlign, r.nBlockAlign);
        EXPECT_EQ(f.wBitsPerSample, QString(r.bits).toInt());
        EXPECT_EQ(f.cbSize, 0);
    }
}

TEST_F(RecorderWindowTest, RefusedStartsAreLoggedAndLeaveTheWindowIdle)
{
    const QString existing = m_dir + "earlier.wav";
    playerfx::writeSine(existing, 0.5, 440);
    const QByteArray before = [&] { QFile f(existing); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    struct Row {
        const char* name;
        QString path;
        QString text;
    } rows[] = {
        {"missing folder", m_dir + "gone/take.wav", "The folder " + m_dir + "gone does not exist."},
        {"a file never confirmed", existing, "The file " + existing + " already exists; choose it with \"...\" to replace it."},
        {"no path", "", "No destination file is given."},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        w->txtResults->clear();
        w->txtAudioFile->setText(r.path);
        w->cmdRecord->click();
        EXPECT_EQ(log(), (QStringList{" MeterIn=True.", " PreScreenClose.", " Error RecordStart ." + r.text}));
        EXPECT_TRUE(w->cmdRecord->isEnabled());
        EXPECT_FALSE(w->tmrRec->isActive());
    }
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_FALSE(QDir(m_dir + "gone").exists());
}

TEST_F(RecorderWindowTest, TheSaveDialogAsksBeforeReplacingAFile)
{
    testenv::ScriptedDialogs dialogs;
    testenv::ScriptedMessageBoxes boxes;
    const QString existing = m_dir + "kept.wav";
    playerfx::writeSine(existing, 0.2, 440);
    const QString before = w->txtAudioFile->text();

    dialogs.cancel();
    w->cmdPath->click();
    EXPECT_EQ(w->txtAudioFile->text(), before);

    dialogs.choose({existing});
    boxes.answer(vbNo);
    w->cmdPath->click();
    ASSERT_EQ(boxes.prompts(), QStringList{"The file " + existing + " is already exists, overwrite it?"});
    EXPECT_EQ(boxes.shown().at(0).buttons(), vbYesNo);
    EXPECT_EQ(boxes.shown().at(0).icon(), vbInformation);
    EXPECT_EQ(w->txtAudioFile->text(), before);

    dialogs.choose({existing});
    boxes.answer(vbYes);
    w->cmdPath->click();
    EXPECT_EQ(w->txtAudioFile->text(), existing);
    ASSERT_FALSE(dialogs.requests().empty());

    const QString fresh = m_dir + "fresh.wav";
    dialogs.choose({fresh});
    boxes.clear();
    w->cmdPath->click();
    EXPECT_TRUE(boxes.prompts().isEmpty());
    EXPECT_EQ(w->txtAudioFile->text(), fresh);
    EXPECT_FALSE(QFileInfo::exists(fresh));
}

TEST_F(RecorderWindowTest, ATakeStopsByItselfAfterThirtyTicksWithTheLogInOrder)
{
    if (!useOwnSource())
        GTEST_SKIP() << "no sound server";
    const QString take = m_dir + "take.wav";
    w->txtAudioFile->setText(take);
    s_sink->startPlaying(s_tone);
    playerfx::pump(1000);
    w->txtResults->clear();
    w->cmdRecord->click();
    ASSERT_FALSE(w->cmdRecord->isEnabled());
    ASSERT_TRUE(w->tmrRec->isActive());
    w->tmrRec->stop(); // the test gives the ticks itself
    w->cmdUnPauseIn->click(); // not paused: nothing, not logged
    // Ticks count while paused too.
    for (int i = 0; i < 10; ++i)
        w->tmrRec_Timer();
    w->cmdPauseIn->click();
    playerfx::pump(500);
    for (int i = 0; i < 10; ++i)
        w->tmrRec_Timer();
    w->cmdUnPauseIn->click();
    playerfx::pump(1500);
    for (int i = 0; i < 9; ++i)
        w->tmrRec_Timer();
    EXPECT_EQ(w->lblRecTime->text(), "0:00:29");
    EXPECT_FALSE(w->cmdRecord->isEnabled());
    w->tmrRec_Timer();
    EXPECT_EQ(w->lblRecTime->text(), "0:00:30");
    EXPECT_EQ(w->ElapsedSeconds, 0);
    EXPECT_TRUE(w->cmdRecord->isEnabled());
    ASSERT_TRUE(playerfx::waitFor([this] { return log().contains(" DoneRecord Event."); }, 8000));
    EXPECT_EQ(log(), (QStringList{" MeterIn=True.", " PreScreenClose.", " RecordStart Success.", " RecordPause.",
                                  " RecordUnPause.", " RecordStop Success.", " DoneRecord Event."}));
    EXPECT_EQ(w->lblRecTime->text(), "0:00:30");
    const recfx::WavFile wav = recfx::readWav(take);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(qint64(wav.dataSize), wav.fileSize - 44);
    EXPECT_NEAR(recfx::dominantHz(wav), 1000.0, 15.0);
    EXPECT_GT(w->prgMeter->ProgressValue(), 20);

    // The take just made is this window's own: recording again replaces it.
    w->txtResults->clear();
    w->cmdRecord->click();
    EXPECT_TRUE(log().contains(" RecordStart Success."));
    w->cmdStopRec->click();
    EXPECT_TRUE(waitDone());
}

TEST_F(RecorderWindowTest, AddChecksTheFileBeforeItAddsAnything)
{
    testenv::ScriptedMessageBoxes boxes;
    const QString small = m_dir + "small.wav";
    auto writeBytes = [](const QString& path, int n) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(n, 'x'));
    };
    writeBytes(small, 64);
    const QString pipe = m_dir + "pipe.wav";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    // Only what is not there is "not found": a folder or a pipe is named for
    // what it is.
    struct Row {
        QString path, message;
    } rows[] = {
        {"", "The file: was not found."},
        {m_dir + "missing.wav", "The file:" + m_dir + "missing.wav was not found."},
        {m_dir, "The file:" + m_dir + " is not a regular file."},
        {pipe, "The file:" + pipe + " is not a regular file."},
        {small, "The file:" + small + " is empty."},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path.toStdString());
        boxes.clear();
        w->txtAudioFile->setText(r.path);
        w->cmdAdd->click();
        EXPECT_EQ(boxes.prompts(), QStringList{r.message});
        EXPECT_TRUE(g_frmMicRecorderLoaded());
    }
}

TEST_F(RecorderWindowTest, PlaysTheTakeBackWithThePlayersLog)
{
    testenv::ScriptedMessageBoxes boxes;
    w->txtAudioFile->setText(m_dir + "none.wav");
    w->cmdPlay->click();
    EXPECT_EQ(boxes.prompts(), QStringList{"The audio file " + m_dir + "none.wav doesn't exists"});

    const QString file = m_dir + "played.wav";
    playerfx::writeSine(file, 2.2, 440);
    w->txtAudioFile->setText(file);
    w->txtResults->clear();
    w->cmdPlay->click();
    EXPECT_EQ(log(), (QStringList{"", " PlayeStart Success."}));
    EXPECT_EQ(w->lbTotalLengthSec->text(), "0:00:02");
    EXPECT_TRUE(w->tmSlider->isActive());
    w->cmdPlay->click(); // playing already: nothing
    EXPECT_EQ(log().size(), 2);

    int furthest = 0;
    ASSERT_TRUE(playerfx::waitFor(
        [&] {
            furthest = qMax(furthest, w->cSlider1->SliderValue());
            return log().contains(" DonePlay Event.");
        },
        10000));
    EXPECT_GT(furthest, 30);
    EXPECT_EQ(w->lblCurrentPositionSec->text().left(5), "0:00:");
    EXPECT_TRUE(w->tmSlider->isActive());
    w->cmdUnPauseOut->click();
    w->cmdStop->click();
    EXPECT_FALSE(w->tmSlider->isActive());
    EXPECT_EQ(w->cSlider1->SliderValue(), 0);
    EXPECT_EQ(log(), (QStringList{"", " PlayeStart Success.", " DonePlay Event.", " PlayUnPause.",
                                  " PlayStop Success."}));
}

// Play opens the take only away from the window's thread, as on a stalled
// mount: held while the window's timer ticks through it, then it plays with
// its length shown. A pipe in its place is named as no regular file, never
// as missing.
TEST_F(RecorderWindowTest, PlayOpensTheTakeWithTheWindowAnswering)
{
    testenv::ScriptedMessageBoxes boxes;
    const QString file = m_dir + "played.wav";
    playerfx::writeSine(file, 2.2, 440);
    const QString pipe = m_dir + "pipe.wav";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    struct Case {
        QString path;
        bool plays;
        QString logged;
    };
    const Case cases[] = {
        {file, true, " PlayeStart Success."},
        {pipe, false, " Error Play Start:The file 'pipe.wav' cannot be read: it is not a regular file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        w->txtAudioFile->setText(c.path);
        w->txtResults->clear();
        StalledReads opens;
        const int ticksWhileHeld = opens.whileHeld([&] { w->cmdPlay->click(); });
        EXPECT_EQ(opens.onWindowThread(), 0) << "the take was opened on the window's thread";
        EXPECT_GE(ticksWhileHeld, 5) << "the window did not answer while the take was opened";
        EXPECT_TRUE(boxes.prompts().isEmpty());
        EXPECT_TRUE(log().contains(c.logged)) << log().join("|").toStdString();
        EXPECT_EQ(w->tmSlider->isActive(), c.plays);
        if (c.plays) {
            EXPECT_EQ(w->lbTotalLengthSec->text(), "0:00:02");
            w->cmdStop->click();
        }
    }
}

TEST_F(RecorderWindowTest, ClosingWhileRecordingKeepsAValidTake)
{
    if (!useOwnSource())
        GTEST_SKIP() << "no sound server";
    testenv::ScriptedMessageBoxes boxes;
    const QString take = m_dir + "closed.wav";
    w->txtAudioFile->setText(take);
    w->cboChannels->setCurrentText("Mono");
    s_sink->startPlaying(s_tone);
    w->cmdRecord->click();
    ASSERT_FALSE(w->cmdRecord->isEnabled());
    playerfx::pump(1500);
    w->cmdAdd->click();
    EXPECT_EQ(boxes.prompts(), QStringList{"The recording is still running. Stop it before adding the file."});
    EXPECT_TRUE(g_frmMicRecorderLoaded());
    w->cmdExit->click();
    EXPECT_TRUE(boxes.prompts().size() == 1);
    EXPECT_FALSE(g_frmMicRecorderLoaded());
    const recfx::WavFile wav = recfx::readWav(take);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(qint64(wav.dataSize), wav.fileSize - 44);
    EXPECT_NEAR(wav.seconds(), 1.5, 0.4);
}

// The end of a take, however it came, stops the clock: a second later
// Record is still available and the time shown has not moved.
TEST_F(RecorderWindowTest, TheClockStopsWhenTheTakeEnds)
{
    if (!useOwnSource())
        GTEST_SKIP() << "no sound server";
    w->txtAudioFile->setText(m_dir + "stopped.wav");
    s_sink->startPlaying(s_tone);
    w->cmdRecord->click();
    ASSERT_TRUE(w->tmrRec->isActive());
    ASSERT_TRUE(playerfx::waitFor([this] { return w->lblRecTime->text() == "0:00:01"; }, 4000));
    w->cmdStopRec->click();
    ASSERT_TRUE(playerfx::waitFor([this] { return log().contains(" DoneRecord Event."); }, 8000));
    EXPECT_FALSE(w->tmrRec->isActive());
    EXPECT_TRUE(w->cmdRecord->isEnabled());
    const QString shown = w->lblRecTime->text();
    const long elapsed = w->ElapsedSeconds;
    playerfx::pump(1300);
    EXPECT_TRUE(w->cmdRecord->isEnabled());
    EXPECT_EQ(w->lblRecTime->text(), shown);
    EXPECT_EQ(w->ElapsedSeconds, elapsed);
}

// The player's times are whole seconds to the nearest, as elsewhere.
TEST_F(RecorderWindowTest, ThePlayersLengthIsRoundedToTheNearestSecond)
{
    struct Row {
        double seconds;
        const char* shown;
    } rows[] = {{5.8, "0:00:06"}, {3.2, "0:00:03"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.seconds);
        const QString file = m_dir + QString::number(r.seconds) + ".wav";
        playerfx::writeSine(file, r.seconds, 440);
        w->txtAudioFile->setText(file);
        w->cmdPlay->click();
        ASSERT_TRUE(w->tmSlider->isActive()) << attest::logMessages(w->txtResults).join("|").toStdString();
        EXPECT_EQ(w->lbTotalLengthSec->text(), r.shown);
        w->cmdStop->click();
    }
}

// The level meter shows the view's back colour and form picture behind its bar.
TEST_F(RecorderWindowTest, TheMeterTakesTheViewsBackColourAndPicture)
{
    w->close();
    playerfx::pump(20);
    QDir().mkpath(AppPath() + "/View");
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(AppPath() + "/View/recorder-test.png"));
    g_sViewBackColor = "255"; // red, as 0x00BBGGRR
    g_sViewFormPicture = "recorder-test.png";
    w = g_frmMicRecorder();
    EXPECT_EQ(w->prgMeter->ProgressBackColor(), 255u);
    EXPECT_EQ(w->prgMeter->palette().brush(QPalette::Base).color(), QColor(255, 0, 0));
    EXPECT_EQ(w->prgMeter->ProgressPicture().size(), QSize(8, 6));
    EXPECT_EQ(w->prgMeter->palette().brush(QPalette::Base).texture().size(), QSize(8, 6));
    QFile::remove(AppPath() + "/View/recorder-test.png");
}

} // namespace
