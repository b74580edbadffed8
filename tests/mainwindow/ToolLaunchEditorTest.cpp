// "Audio Analyser" end to end: a WAV item opens in the editor, any other
// item through "tmpeditor.wav", an aborted conversion opens nothing, and
// "Add Selection" puts the saved piece into the list and its file.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "audiotools/frmAudioEditor.h"
#include "audiotools/frmAudioEditorProc.h"
#include "components/audio/cAudioEditor.h"
#include "components/controls/cGrid.h"
#include "components/controls/cTreeView.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/ListTree.h"
#include "platform/ProgramDir.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/components/audio/HeldWork.h"
#include "tests/lists/ListRecords.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/support/TestEnv.h"

namespace {

class ToolLaunchEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testenv::installMachineKeys();
        dir = testenv::tempRoot() + "/EditorLists/";
        audio = testenv::tempRoot() + "/editoraudio/";
        QDir(dir).removeRecursively();
        QDir(audio).removeRecursively();
        QDir().mkpath(dir);
        QDir().mkpath(audio);
        QFile::remove(platform::programDir() + "/tmpeditor.wav");
        mwtest::setEdition();
        frmOptions();
        g_frmAudioProp();
        g_sItemsListDir = dir;
        g_bDisplayMSGWhenExit = false;
    }
    void TearDown() override
    {
        if (g_frmAudioEditorLoaded())
            g_frmAudioEditor()->close();
        UnloadMain();
    }

    // A list of one marked item, shown in the main window.
    void showList(const QString& file)
    {
        const QString name = QFileInfo(file).fileName();
        ASSERT_TRUE(WriteItemsListFile(dir + "Edit.flst",
                                       listrec::itemRecord({{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", name},
                                                            {"COL_FILE", file}, {"COL_RANGE_ALL", "1"}}) +
                                           "\r\n"));
        w = frmMain();
        w->cTreeView1_NodeClick(w->cTreeView1->Nodes().NodeItem(dir + "Edit.flst"));
        ASSERT_EQ(w->cGrid1->RowCount(), 1);
        w->cGrid1->setSelectedRow(1);
    }

    // Sends the command; `inside` runs once the editor shows (it must close it).
    bool sendWithEditor(const std::function<void(FrmAudioEditor*)>& inside)
    {
        bool shown = false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!shown && g_frmAudioEditorLoaded() && g_frmAudioEditor()->isVisible()) {
                shown = true;
                poll.stop();
                inside(g_frmAudioEditor());
                if (g_frmAudioEditorLoaded() && g_frmAudioEditor()->isVisible())
                    g_frmAudioEditor()->close();
            }
        });
        poll.start();
        w->SendCommand("Audio Analyser");
        return shown;
    }

    testenv::ScriptedMessageBoxes boxes;
    testenv::ScriptedDialogs dialogs;
    FrmMain* w = nullptr;
    QString dir, audio;
};

TEST_F(ToolLaunchEditorTest, AWavItemOpensAndAddSelectionPutsThePieceIntoTheListFile)
{
    const QString src = fixtures::writeToneWav(audio + "voice.wav", 3.0);
    showList(src);
    const bool shown = sendWithEditor([&](FrmAudioEditor* ed) {
        EXPECT_EQ(ed->windowTitle(), "voice.wav");
        EXPECT_EQ(ed->txtWavFile->text(), src);
        ASSERT_TRUE(QTest::qWaitFor([&] { return ed->lblInfoSamples->text() == "44100"; }, 10000));
        ed->cAudioEditor1->SelectFrames(44100, 88200);

        dialogs.cancel();
        ed->cmdAddSelection->click();
        QTest::qWait(50);
        EXPECT_EQ(w->cGrid1->RowCount(), 1);
        EXPECT_TRUE(ed->isVisible());

        dialogs.choose({audio + "piece.wav"});
        ed->cmdAddSelection->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !g_frmAudioEditorLoaded(); }, 30000));
    });
    ASSERT_TRUE(shown);
    ASSERT_EQ(w->cGrid1->RowCount(), 2);
    EXPECT_EQ(w->cGrid1->CellText(2, w->cGrid1->ColumnIndex(COL_FILE)), audio + "piece.wav");
    QString text;
    ASSERT_TRUE(ReadItemsListFile(dir + "Edit.flst", text));
    EXPECT_TRUE(text.contains(audio + "piece.wav"));
    EXPECT_TRUE(boxes.shown().empty()) << boxes.prompts().join("|").toStdString();
}

TEST_F(ToolLaunchEditorTest, OtherItemsOpenThroughTheTemporaryWavAndAnAbortedConversionOpensNothing)
{
    const QString mp3 = audio + "talk.mp3";
    ASSERT_TRUE(fixtures::runFfmpeg({"-f", "lavfi", "-i", "sine=f=440:d=2", "-ac", "2", "-c:a", "libmp3lame", mp3}));
    showList(mp3);
    const QString work = platform::programDir() + "/tmpeditor.wav";
    const bool shown = sendWithEditor([&](FrmAudioEditor* ed) {
        EXPECT_EQ(ed->windowTitle(), "talk.mp3");
        EXPECT_EQ(ed->txtWavFile->text(), work);
        EXPECT_TRUE(QTest::qWaitFor([&] { return ed->lblInfoSamples->text() == "44100"; }, 10000));
        EXPECT_EQ(ed->lblLength->text(), "0:00:02");
    });
    EXPECT_TRUE(shown);

    // An item aborted while it converts: the conversion is held mid-way.
    const QString longMp3 = audio + "long.mp3";
    ASSERT_TRUE(
        fixtures::runFfmpeg({"-f", "lavfi", "-i", "sine=f=440:d=5", "-ac", "2", "-c:a", "libmp3lame", longMp3}));
    HeldWork held;
    UnloadMain();
    showList(longMp3);
    QTimer abort;
    abort.setInterval(5);
    bool aborted = false;
    QObject::connect(&abort, &QTimer::timeout, [&] {
        if (g_frmAudioEditorProcLoaded() && g_frmAudioEditorProc()->Converting()) {
            aborted = true;
            abort.stop();
            g_frmAudioEditorProc()->cmdAbort->click();
        }
    });
    abort.start();
    EXPECT_FALSE(sendWithEditor([](FrmAudioEditor*) {}));
    EXPECT_TRUE(aborted);
    EXPECT_TRUE(w->g_bAbortedAudioEditor);
}

} // namespace
