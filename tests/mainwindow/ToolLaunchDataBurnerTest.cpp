// "MP3 CD Maker" and "WMA CD Maker" from the router: the window they open
// over the marked items, and a WMA disc written to a stdio: writer.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "cdtools/frmDataBurner3.h"
#include "components/controls/cGrid.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTreeView.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/ListTree.h"
#include "platform/UserSettings.h"
#include "settings/FormatSettings.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/components/disc/IsoReadBack.h"
#include "tests/lists/ListRecords.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/support/TestEnv.h"

namespace {

class DataBurnerLaunchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testenv::installMachineKeys();
        dir = testenv::tempRoot() + "/Lists/";
        audio = testenv::tempRoot() + "/audio/";
        discs = testenv::tempRoot() + "/discs/";
        for (const QString& d : {dir, audio, discs}) {
            QDir(d).removeRecursively();
            QDir().mkpath(d);
        }
        // The default edition leaves the data CD makers out.
        mwtest::setEdition([] { SetAllToolsOn(); });
        frmOptions();
        g_frmAudioProp();
        g_sItemsListDir = dir;
        g_bCopyID3FromSource = false;
        g_bDisplayMSGWhenExit = false;
        target = discs + "disc.iso";
        qputenv("KELVANE_DATA_WRITERS", target.toLocal8Bit());
        SaveSetting(g_sAppName, "BurnerEngine", "cmbEngine", "0");
    }
    void TearDown() override
    {
        UnloadMain();
        qunsetenv("KELVANE_DATA_WRITERS");
    }

    // A list of three items, the middle one unmarked, selected in the tree.
    void openList()
    {
        const QString a = fixtures::writeToneWav(audio + "alpha.wav", 1.0);
        const QString b = fixtures::writeToneWav(audio + "beta.wav", 1.0);
        const QString c = fixtures::writeToneWav(audio + "gamma.wav", 2.0);
        QString text;
        text += listrec::itemRecord({{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", "alpha.wav"}, {"COL_FILE", a},
                                     {"COL_RANGE_ALL", "1"}, {"Time", "00:00:01"}});
        text += listrec::itemRecord({{"Inc", "0"}, {"Type", "Audio"}, {"Item Name", "beta.wav"}, {"COL_FILE", b},
                                     {"COL_RANGE_ALL", "1"}, {"Time", "00:00:01"}});
        text += listrec::itemRecord({{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", "gamma.wav"}, {"COL_FILE", c},
                                     {"COL_RANGE_ALL", "1"}, {"Time", "00:00:02"}});
        ASSERT_TRUE(WriteItemsListFile(dir + "Road Trip.flst", text + "\r\n"));
        w = frmMain();
        w->cTreeView1_NodeClick(w->cTreeView1->Nodes().NodeItem(dir + "Road Trip.flst"));
    }

    // Runs `inside` once the window shows; the command returns when it has
    // closed. The window's load waits for its drives in a local event loop,
    // so the test polls instead of waiting inside a single timer call.
    void sendWithWindow(const QString& key, const std::function<void(FrmDataBurner3*)>& inside)
    {
        bool ran = false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (ran || !g_frmDataBurner3Loaded() || !g_frmDataBurner3()->isVisible())
                return;
            ran = true;
            poll.stop();
            FrmDataBurner3* tool = g_frmDataBurner3();
            inside(tool);
            if (g_frmDataBurner3Loaded())
                tool->close();
        });
        poll.start();
        w->SendCommand(key);
        EXPECT_TRUE(ran);
        EXPECT_FALSE(g_frmDataBurner3Loaded());
    }

    FrmMain* w = nullptr;
    QString dir, audio, discs, target;
};

TEST_F(DataBurnerLaunchTest, BothCommandsOpenTheWindowInTheirModeOverTheMarkedItems)
{
    openList();
    testenv::ScriptedMessageBoxes boxes;
    const struct {
        const char* key;
        const char* format;
    } cases[] = {{"MP3 CD Maker", "MP3 - MPEG-1 Audio Layer 3 (*.mp3)"},
                 {"WMA CD Maker", "WMA - Windows Media Audio files (*.wma)"}};
    for (const auto& c : cases) {
        sendWithWindow(c.key, [&](FrmDataBurner3* tool) {
            EXPECT_EQ(tool->lblTitle->text(), c.key);
            EXPECT_EQ(tool->windowTitle(), c.key);
            EXPECT_EQ(tool->cboTargetFormat->currentText(), c.format);
            EXPECT_EQ(tool->txtCDName->text(), "Road-Trip");
            EXPECT_EQ(tool->lblFilesToConvert->text(), "2 items to burn.");
            EXPECT_EQ(tool->g_ltmrItemSecsTotal, 3);
            EXPECT_EQ(tool->cStatusBar1->PanelText(QStringLiteral("Total Time")), "Total Time: 0:00:03");
            ASSERT_EQ(tool->cGrid1->RowCount(), 2);
            EXPECT_EQ(tool->cGrid1->CellText(2, tool->cGrid1->ColumnIndex(COL_ITEM_NAME)), "gamma.wav");
        });
    }
    EXPECT_TRUE(boxes.prompts().isEmpty()) << boxes.prompts().join("|").toStdString();
}

TEST_F(DataBurnerLaunchTest, WmaCdMakerWritesWmaFilesOnTheDisc)
{
    openList();
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbOK); // "Burn CD?"
    sendWithWindow("WMA CD Maker", [&](FrmDataBurner3* tool) {
        tool->cboDrv->setCurrentIndex(tool->cboDrv->findText("Z: stdio:" + target));
        for (QCheckBox* box : {tool->chkPlaySound, tool->chkOpenDestFolder, tool->chkTurnOffComputer, tool->chkNoticeApp})
            box->setChecked(false);
        tool->cmdConvert->click();
        ASSERT_TRUE(QTest::qWaitFor([tool] { return tool->cmdConvert->isEnabled() && !tool->Burning(); }, 120000));
        EXPECT_EQ(tool->lblCurrentTrack->text(), "Done.");
    });

    const IsoContents iso = ReadIsoImage(target);
    ASSERT_TRUE(iso.ok) << iso.error.toStdString();
    EXPECT_EQ(iso.isoVolumeId, "ROAD_TRIP");
    EXPECT_EQ(iso.jolietVolumeId, "Road-Trip");
    ASSERT_EQ(iso.rootFiles.keys(), QStringList({"alpha.wma", "gamma.wma"}));
    for (const QString& name : iso.rootFiles.keys()) {
        const QString copy = discs + name;
        fixtures::writeBytes(copy, iso.rootFiles.value(name));
        const fixtures::Probe p = fixtures::probe(copy);
        EXPECT_TRUE(p.ok) << name.toStdString();
        EXPECT_EQ(p.container, "asf") << name.toStdString();
        EXPECT_TRUE(p.codec.startsWith("wma")) << p.codec.toStdString();
    }
}

} // namespace
