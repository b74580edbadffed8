// The router's commands of the audio CD maker and the duplicator: the maker
// opens over the marked items with the disc usage in minutes of an 80-minute
// disc; the duplicator opens over nothing, with the disc polling off.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "cdtools/frmAudioCDDuplicator.h"
#include "cdtools/frmCDBurner.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTreeView.h"
#include "core/Edition.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/ListTree.h"
#include "mainwindow/frmMain.h"
#include "platform/ProgramDir.h"
#include "settings/frmOptions.h"
#include "tests/lists/ListRecords.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/support/TestEnv.h"

namespace {

QString hms(int seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// A tenth of a second of silence: the list loader wants real audio.
void writeShortWav(const QString& path)
{
    const quint32 data = 4410 * 4;
    QByteArray b("RIFF");
    auto u32 = [&](quint32 v) { for (int i = 0; i < 4; ++i) b.append(char(v >> (8 * i))); };
    auto u16 = [&](quint16 v) { b.append(char(v)); b.append(char(v >> 8)); };
    u32(36 + data);
    b.append("WAVEfmt ");
    u32(16); u16(1); u16(2); u32(44100); u32(44100 * 4); u16(4); u16(16);
    b.append("data");
    u32(data);
    b.append(QByteArray(int(data), '\0'));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(b);
}

class CdLaunchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testenv::installMachineKeys();
        dir = testenv::tempRoot() + "/CdLists/";
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        mwtest::setEdition([] {
            g_lAppIncAudioBurner = 1;
            g_lAppIncCDDuplicator = 1;
        });
        for (const char* name : {"one.wav", "skipped.wav", "two.wav"})
            writeShortWav(dir + name);
        frmOptions();
        g_sItemsListDir = dir;
        g_bDisplayMSGWhenExit = false;
        qputenv("KELVANE_CD_WRITERS", (testenv::tempRoot() + "/nowhere/out.cue").toLocal8Bit());
    }
    void TearDown() override
    {
        UnloadMain();
        qunsetenv("KELVANE_CD_WRITERS");
    }

    // Sends the command; `inside` runs once the window named shows, then it is closed.
    void launch(const QString& key, const char* name, const std::function<void(ToolWindow*)>& inside)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ToolWindow* tool = nullptr;
            ASSERT_TRUE(QTest::qWaitFor([&] {
                tool = qobject_cast<ToolWindow*>(QApplication::activeModalWidget());
                return tool && tool->objectName() == name;
            }));
            ran = true;
            inside(tool);
            tool->close();
        });
        w->SendCommand(key);
        EXPECT_TRUE(ran) << key.toStdString();
    }

    FrmMain* w = nullptr;
    QString dir;
};

TEST_F(CdLaunchTest, TheMakerShowsTheMarkedItemsInMinutesOfAnEightyMinuteDisc)
{
    struct Case {
        int seconds; // of the two marked rows together
        QString count, panel, label;
        long bar;
        bool warned;
    } cases[] = {
        {150, "2 items to burn (2 minutes).", "2 Min / 80 Min.", "Data Size: 2 files, 2 Min / 80 Min.", 2, false},
        {4800, "2 items to burn (80 minutes).", "80 Min / 80 Min.", "Data Size: 2 files, 80 Min / 80 Min.", 80, false},
        {4801, "2 items to burn (80 minutes).", "80 Min / 80 Min.", "", 80, true},
        {4830, "2 items to burn (80 minutes).", "80 Min / 80 Min.", "", 80, true},
    };
    const QString warning = "Data is to big (more then 80 min). Please remove some tracks.";
    // One list; each case gives its marked rows their lengths.
    QString text;
    text += listrec::itemRecord({{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", "one"}, {"COL_FILE", dir + "one.wav"},
                                 {"COL_RANGE_ALL", "1"}});
    text += listrec::itemRecord({{"Inc", "0"}, {"Type", "Audio"}, {"Item Name", "skipped"},
                                 {"COL_FILE", dir + "skipped.wav"}, {"COL_RANGE_ALL", "1"}});
    text += listrec::itemRecord({{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", "two"}, {"COL_FILE", dir + "two.wav"},
                                 {"COL_RANGE_ALL", "1"}});
    ASSERT_TRUE(WriteItemsListFile(dir + "Disc.flst", text + "\r\n"));
    w = frmMain();
    w->cTreeView1_NodeClick(w->cTreeView1->Nodes().NodeItem(dir + "Disc.flst"));
    ASSERT_EQ(w->cGrid1->RowCount(), 3);
    const int time = w->cGrid1->ColumnIndex(COL_TIME);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        w->cGrid1->SetCell(1, time, hms(c.seconds - 60));
        w->cGrid1->SetCell(2, time, "00:30:00");
        w->cGrid1->SetCell(3, time, "00:01:00");
        launch("Audio CD Maker", "g_frmCDBurner", [&](ToolWindow* tool) {
            auto* maker = static_cast<FrmCDBurner*>(tool);
            EXPECT_EQ(maker->lblFilesToConvert->text(), c.count);
            EXPECT_EQ(maker->cStatusBar1->PanelText("Total Size"), c.panel);
            EXPECT_EQ(maker->cStatusBar1->PanelText("Total Time"), "");
            EXPECT_EQ(maker->prgSize->ProgressMax(), 83);
            EXPECT_EQ(maker->prgSize->ProgressValue(), c.bar);
            EXPECT_EQ(maker->lblDataSize->text(), c.warned ? warning : c.label);
            EXPECT_EQ(maker->lblDataSize->font().bold(), c.warned);
            if (c.warned) {
                EXPECT_EQ(maker->prgSize->palette().color(QPalette::Highlight), QColor(255, 0, 0));
            }
            EXPECT_EQ(maker->cGrid1->RowCount(), 2);
            EXPECT_FALSE(w->tmrCDs->isActive());
        });
        EXPECT_FALSE(g_frmCDBurnerLoaded());
    }
}

TEST_F(CdLaunchTest, TheDuplicatorOpensOverNothingWithTheDiscPollingOff)
{
    w = frmMain();
    w->tmrCDs->start();
    launch("Audio CD Duplicator", "g_frmAudioCDDuplicator", [&](ToolWindow* tool) {
        EXPECT_FALSE(w->tmrCDs->isActive());
        EXPECT_EQ(tool->windowTitle(), "Audio CD Duplicator");
        EXPECT_EQ(static_cast<FrmAudioCDDuplicator*>(tool)->txtToPath->currentText(), AppPath() + "/duptmp/");
    });
    EXPECT_FALSE(g_frmAudioCDDuplicatorLoaded());
}

} // namespace
