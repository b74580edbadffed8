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
#include "components/cGrid.h"
#include "components/cTreeView.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "tests/lists/ListRecords.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/player/PlayerFixtures.h"
#include "tests/player/PrivateSink.h"
#include "tests/support/TestEnv.h"

namespace {

class AudioIOLaunchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testenv::installMachineKeys();
        dir = testenv::tempRoot() + "/Lists/";
        audio = testenv::tempRoot() + "/audio/";
        for (const QString& d : {dir, audio})
            QDir().mkpath(d);
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

} // namespace
