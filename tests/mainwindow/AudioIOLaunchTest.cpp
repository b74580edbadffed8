// The router's record and speech commands, from the main window to a new
// row in the shown list.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "audiotools/frmMicRecorder.h"
#include "audiotools/frmWaveTTS.h"
#include "components/audio/cWaveTTS.h"
#include "platform/ProgramDir.h"
#include "tests/components/audio/AudioFixtures.h"
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QDate>
#include "components/controls/cGrid.h"
#include "components/controls/cTreeView.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "tests/lists/ListRecords.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/components/audio/PlayerFixtures.h"
#include "tests/components/audio/PrivateSink.h"
#include "tests/support/TestEnv.h"

namespace {

class AudioIOLaunchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testenv::installMachineKeys();
        dir = testenv::tempRoot() + "/Lists/";
        audio = testenv::tempRoot() + "/audio/";
        // Empty folders: files of an earlier test would raise questions nobody answers.
        for (const QString& d : {dir, audio}) {
            QDir(d).removeRecursively();
            QDir().mkpath(d);
        }
        UnloadOptions();
        UnloadAudioProp();
        mwtest::setEdition();
        frmOptions();
        g_frmAudioProp();
        g_sItemsListDir = dir;
        g_bDisplayMSGWhenExit = false;
    }
    void TearDown() override { UnloadMain(); }

    // Opens the list with one item and shows it in the grid.
    void openList(const QString& name)
    {
        const QString a = playerfx::writeSine(audio + "first.wav", 1.0, 440);
        const QString text = listrec::itemRecord({{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", "first.wav"},
                                                  {"COL_FILE", a}, {"COL_RANGE_ALL", "1"}});
        ASSERT_TRUE(WriteItemsListFile(dir + name, text + "\r\n"));
        w = frmMain();
        w->cTreeView1_NodeClick(w->cTreeView1->Nodes().NodeItem(dir + name));
        ASSERT_EQ(w->cGrid1->RowCount(), 1);
    }

    FrmMain* w = nullptr;
    QString dir, audio;
};

TEST_F(AudioIOLaunchTest, ARecordingAddedFromTheRecorderBecomesARowOfTheShownList)
{
    recfx::PrivateSink sink;
    if (!sink.ok())
        GTEST_SKIP() << "no sound server";
    const QString tone = playerfx::writeSine(audio + "tone.wav", 30, 1000);
    openList("Takes.flst");
    const long source = sink.inputIndex();
    ASSERT_GE(source, 0);
    const QString take = audio + "take.wav";
    testenv::ScriptedMessageBoxes boxes;

    bool ran = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor([] { return g_frmMicRecorderLoaded() && g_frmMicRecorder()->isVisible(); }));
        ran = true;
        FrmMicRecorder* rec = g_frmMicRecorder();
        EXPECT_EQ(QApplication::activeModalWidget(), rec);
        rec->cboDevices->setCurrentIndex(int(source));
        rec->txtAudioFile->setText(take);
        sink.startPlaying(tone);
        rec->cmdRecord->click();
        ASSERT_FALSE(rec->cmdRecord->isEnabled());
        playerfx::pump(2000);
        rec->cmdAdd->click(); // refused: still recording
        EXPECT_EQ(boxes.prompts().size(), 1);
        EXPECT_EQ(w->cGrid1->RowCount(), 1);
        rec->cmdStopRec->click();
        ASSERT_TRUE(playerfx::waitFor([rec] { return rec->cmdRecord->isEnabled(); }, 8000));
        sink.stopPlaying();
        rec->cmdAdd->click();
        if (g_frmMicRecorderLoaded())
            rec->close();
    });
    w->SendCommand("Audio Recorder");
    ASSERT_TRUE(ran);
    EXPECT_FALSE(g_frmMicRecorderLoaded());

    ASSERT_EQ(w->cGrid1->RowCount(), 2);
    EXPECT_EQ(w->cGrid1->CellText(2, w->cGrid1->ColumnIndex(COL_FILE)), take);
    QFile list(dir + "Takes.flst");
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(list.readAll()).contains(take));
    const recfx::WavFile wav = recfx::readWav(take);
    ASSERT_TRUE(wav.valid);
    EXPECT_NEAR(wav.seconds(), 2.0, 0.4);
    EXPECT_NEAR(recfx::dominantHz(wav), 1000.0, 15.0);
}

// Runs the speech command with `inside` once its window shows.
static bool withSpeechWindow(FrmMain* w, const std::function<void(FrmWaveTTS*)>& inside)
{
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor([] { return g_frmWaveTTSLoaded() && g_frmWaveTTS()->isVisible(); }));
        ran = true;
        inside(g_frmWaveTTS());
    });
    w->SendCommand("Text To Speech");
    return ran;
}

TEST_F(AudioIOLaunchTest, AddToItemsListSpeaksAnMp3IntoTheProgramFolderAndTheList)
{
    g_lAppIncTTS = 1;
    g_sTagArtist = "Speaker";
    g_sTagSong = "Spoken [YEAR]";
    openList("Speech.flst");
    QDir(AppPath()).removeRecursively();
    QDir().mkpath(AppPath());
    const bool ran = withSpeechWindow(w, [&](FrmWaveTTS* tts) {
        EXPECT_EQ(QApplication::activeModalWidget(), tts);
        for (int i = 0; i < tts->cboTargetFormat->count(); ++i)
            if (tts->cboTargetFormat->itemText(i).startsWith("MP3"))
                tts->cboTargetFormat->setCurrentIndex(i);
        tts->txtSpeak->setPlainText("Hello from the speech tool. This is a short test.");
        tts->cmdAdd->click();
        if (g_frmWaveTTSLoaded()) {
            ADD_FAILURE() << "the window stayed open";
            tts->close();
        }
    });
    ASSERT_TRUE(ran);
    const QStringList made = QDir(AppPath()).entryList({"TTS_*"}, QDir::Files);
    ASSERT_EQ(made.size(), 1) << made.join(",").toStdString();
    EXPECT_TRUE(QRegularExpression("^TTS_\\d\\d-\\d\\d-\\d\\d_.+\\.mp3$").match(made.first()).hasMatch())
        << made.first().toStdString();
    const QString file = AppPath() + "/" + made.first();
    const fixtures::Probe p = fixtures::probe(file);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.codec, "mp3");
    EXPECT_GT(p.seconds, 2.0);
    EXPECT_EQ(p.tags.value("artist"), "Speaker");
    EXPECT_EQ(p.tags.value("title"), "Spoken " + QString::number(QDate::currentDate().year()));
    ASSERT_EQ(w->cGrid1->RowCount(), 2);
    EXPECT_EQ(w->cGrid1->CellText(2, w->cGrid1->ColumnIndex(COL_FILE)), file);
    QFile list(dir + "Speech.flst");
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(list.readAll()).contains(made.first()));
}

TEST_F(AudioIOLaunchTest, AFailedSpeakingAddsNothingAndTellsTheUser)
{
    g_lAppIncTTS = 1;
    openList("Quiet.flst");
    testenv::ScriptedMessageBoxes boxes;
    const QString temp = AppPath() + "/tmptts.wav";
    QFile::remove(temp);
    ASSERT_TRUE(QDir().mkpath(temp + "/blocked"));
    const QStringList before = QDir(AppPath()).entryList({"TTS_*"}, QDir::Files);
    const bool ran = withSpeechWindow(w, [&](FrmWaveTTS* tts) {
        // The hourglass stays over the main window while the speech window is open.
        EXPECT_EQ(w->cursor().shape(), Qt::WaitCursor);
        tts->cmdAdd->click();
        EXPECT_TRUE(g_frmWaveTTSLoaded());
        tts->close();
    });
    QDir(temp).removeRecursively();
    ASSERT_TRUE(ran);
    EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_TRUE(boxes.prompts().at(0).startsWith("The speech file cannot be written"));
    EXPECT_EQ(w->cGrid1->RowCount(), 1);
    EXPECT_EQ(QDir(AppPath()).entryList({"TTS_*"}, QDir::Files), before);
}

} // namespace
