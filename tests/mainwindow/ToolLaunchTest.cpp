// The tool launch of the router, end to end: "Audio Converter" over the
// marked items of a list writes the converted files.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTreeView.h"
#include "core/TimeText.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/ListTree.h"
#include "settings/FormatSettings.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/support/TestEnv.h"
#include "toolframe/frmConverter.h"
#include "audiotools/frmACMConverter.h"
#include "audiotools/frmJoiner.h"
#include "audiotools/frmSplitter.h"
#include "tests/lists/ListRecords.h"

namespace {

QStringList logMessages(const QPlainTextEdit* log)
{
    QStringList out;
    for (QString line : log->toPlainText().split('\n', Qt::SkipEmptyParts)) {
        line.remove('\r');
        int colon = -1;
        for (int i = 0; i < 3; ++i)
            colon = line.indexOf(':', colon + 1);
        out << line.mid(colon + 1);
    }
    return out;
}

class ToolLaunchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testenv::installMachineKeys();
        dir = testenv::tempRoot() + "/Lists/";
        audio = testenv::tempRoot() + "/audio/";
        dest = testenv::tempRoot() + "/dest/";
        // Empty folders: files of an earlier test would raise questions nobody answers.
        for (const QString& d : {dir, audio, dest}) {
            QDir(d).removeRecursively();
            QDir().mkpath(d);
        }
        UnloadOptions();
        UnloadAudioProp();
        mwtest::setEdition();
        frmOptions();
        g_frmAudioProp();
        g_sItemsListDir = dir;
        g_bCopyID3FromSource = false;
        g_bDisplayMSGWhenExit = false;
        g_lMP3Bitrate = 128;
        g_lMP3Samplerate = 44100;
    }
    void TearDown() override { UnloadMain(); }

    // Runs `inside` once the tool window shows, then the command returns
    // when the window has closed.
    void sendWithWindow(const QString& key, const std::function<void(FrmConverter*)>& inside)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(QTest::qWaitFor([] { return g_frmConverterLoaded() && g_frmConverter()->isVisible(); }));
            ran = true;
            FrmConverter* tool = g_frmConverter();
            inside(tool);
            if (g_frmConverterLoaded())
                tool->close();
        });
        w->SendCommand(key);
        EXPECT_TRUE(ran);
        EXPECT_FALSE(g_frmConverterLoaded());
    }

    FrmMain* w = nullptr;
    QString dir, audio, dest;
};

TEST_F(ToolLaunchTest, AudioConverterConvertsTheMarkedItemsIntoTheListsFolder)
{
    const QString a = fixtures::writeToneWav(audio + "alpha.wav", 3.0);
    const QString b = fixtures::writeToneWav(audio + "beta.wav", 5.0);
    const QString c = audio + "gamma.mp3";
    ASSERT_TRUE(fixtures::runFfmpeg({"-f", "lavfi", "-i", "sine=f=330:d=4", "-ac", "2", "-c:a", "libmp3lame", c}));
    const QString d = fixtures::writeToneWav(audio + "delta.wav", 1.0);
    QString text;
    text += listrec::itemRecord({{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", "alpha.wav"}, {"COL_FILE", a},
                    {"COL_RANGE_ALL", "1"}, {"COL_TAG_ARTIST", "Ann"}, {"COL_TAG_TITLE", "First"},
                    {"COL_TAG_ALBUM", "Trip"}, {"COL_TAG_TRACK", "[TRACK_NUM]"}});
    text += listrec::itemRecord({{"Inc", "0"}, {"Type", "Audio"}, {"Item Name", "delta.wav"}, {"COL_FILE", d},
                    {"COL_RANGE_ALL", "1"}});
    text += listrec::itemRecord({{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", "beta.wav"}, {"COL_FILE", b},
                    {"COL_RANGE_ALL", "0"}, {"COL_RANGE_START_TIME", "1"}, {"COL_RANGE_LENGTH_TIME", "2"},
                    {"COL_TAG_ARTIST", "Bob"}, {"COL_TAG_TITLE", "Second"}, {"COL_TAG_TRACK", "[TRACK_NUM]"}});
    text += listrec::itemRecord({{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", "gamma.mp3"}, {"COL_FILE", c},
                    {"COL_RANGE_ALL", "1"}, {"COL_TAG_ARTIST", "Cy"}, {"COL_TAG_TITLE", "Third"},
                    {"COL_TAG_TRACK", "[TRACK_NUM]"}});
    ASSERT_TRUE(WriteItemsListFile(dir + "Road Trip.flst", text + "\r\n"));
    w = frmMain();
    w->cTreeView1_NodeClick(w->cTreeView1->Nodes().NodeItem(dir + "Road Trip.flst"));
    ASSERT_EQ(w->cGrid1->RowCount(), 4);
    const QString totalSize = GetTotalSize(true, w->cGrid1);
    w->tmrCDs->start();

    QStringList log;
    sendWithWindow("Audio Converter", [&](FrmConverter* tool) {
        EXPECT_EQ(QApplication::activeModalWidget(), tool);
        EXPECT_FALSE(w->tmrCDs->isActive());
        EXPECT_EQ(tool->lblFilesToConvert->text(), "3 items to convert.");
        // 3 s, the 2 s range of the 5 s file, and 4 s.
        EXPECT_EQ(tool->g_ltmrItemSecsTotal, 9);
        EXPECT_EQ(tool->cStatusBar1->PanelText(QStringLiteral("Total Time")), "Total Time: 0:00:09");
        EXPECT_EQ(tool->cStatusBar1->PanelText(QStringLiteral("Total Size")), "Total Size: " + totalSize);
        EXPECT_EQ(tool->txtUndeForlder->text(), "Road-Trip");
        ASSERT_EQ(tool->cGrid1->RowCount(), 3);
        EXPECT_EQ(tool->cGrid1->CellText(3, tool->cGrid1->ColumnIndex(COL_ITEM_NAME)), "gamma.mp3");

        tool->txtToPath->setEditText(dest);
        tool->chkCreateSubFolder->setChecked(true);
        for (int i = 0; i < tool->cboTargetFormat->count(); ++i)
            if (tool->cboTargetFormat->itemText(i).startsWith("MP3"))
                tool->cboTargetFormat->setCurrentIndex(i);
        tool->cboFileName->setCurrentIndex(tool->cboFileName->findText("[file_name]_[123].[dest_extension]"));
        for (QCheckBox* box : {tool->chkPlaySound, tool->chkOpenDestFolder, tool->chkTurnOffComputer,
                               tool->chkNoticeApp})
            box->setChecked(false);
        tool->cmdConvert->click();
        ASSERT_TRUE(QTest::qWaitFor([tool] { return tool->cmdConvert->isEnabled(); }, 120000));
        log = logMessages(tool->txtLog);
    });

    EXPECT_EQ(log, QStringList({"Preparing to convert: 3 tracks.", "Destination format: MP3",
                                "Start to convert: alpha.wav...", "Done.", "Start to convert: beta.wav...", "Done.",
                                "Start to convert: gamma.mp3...", "Done."}));
    const QString folder = dest + "Road-Trip/";
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name),
              QStringList({"alpha_1.mp3", "beta_2.mp3", "gamma_3.mp3"}));
    const struct {
        const char* name;
        double seconds;
        const char* artist;
        const char* title;
        const char* track;
    } outputs[] = {{"alpha_1.mp3", 3.0, "Ann", "First", "1"},
                   {"beta_2.mp3", 2.0, "Bob", "Second", "2"},
                   {"gamma_3.mp3", 4.0, "Cy", "Third", "3"}};
    for (const auto& o : outputs) {
        SCOPED_TRACE(o.name);
        const fixtures::Probe p = fixtures::probe(folder + o.name);
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(p.container, "mp3");
        EXPECT_EQ(p.codec, "mp3");
        EXPECT_NEAR(p.seconds, o.seconds, 0.1);
        EXPECT_EQ(p.tags.value("artist"), o.artist);
        EXPECT_EQ(p.tags.value("title"), o.title);
        EXPECT_TRUE(p.tags.value("track").startsWith(o.track)) << p.tags.value("track").toStdString();
    }
    EXPECT_EQ(fixtures::probe(folder + "alpha_1.mp3").tags.value("album"), "Trip");
    // The list and its file are as they were; polling stays off on a list.
    EXPECT_EQ(w->cGrid1->RowCount(), 4);
    EXPECT_FALSE(w->tmrCDs->isActive());
}

TEST_F(ToolLaunchTest, DiscPollingResumesAfterTheToolOnlyOnACDDrive)
{
    fixtures::writeToneWav(audio + "one.wav", 1.0);
    ASSERT_TRUE(WriteItemsListFile(dir + "Plain.flst",
                                   listrec::itemRecord({{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", "one.wav"},
                                           {"COL_FILE", audio + "one.wav"}, {"COL_RANGE_ALL", "1"}}) +
                                       "\r\n"));
    w = frmMain();
    for (bool drive : {false, true}) {
        SCOPED_TRACE(drive ? "drive" : "list");
        if (drive) {
            cTreeNode node = w->cTreeView1->Nodes().AddNode(cTreeNode(), cTreeNodes::tvwLast, "##CDE: DRIVE", "E:");
            node.setNodeSelected(true);
            // The drive's tracks as the disc listing leaves them.
            w->cGrid1->ClearRows();
            w->cGrid1->SetCell(1, w->cGrid1->ColumnIndex(COL_INC), QString(), cGrid::kIconCellFormat, 1);
            w->cGrid1->SetCell(1, w->cGrid1->ColumnIndex(COL_ITEM_NAME), "Track01.cda");
        } else {
            w->cTreeView1_NodeClick(w->cTreeView1->Nodes().NodeItem(dir + "Plain.flst"));
        }
        w->tmrCDs->start();
        sendWithWindow("Audio Converter", [&](FrmConverter* tool) {
            EXPECT_FALSE(w->tmrCDs->isActive());
            EXPECT_EQ(tool->txtUndeForlder->text(), drive ? "E-" : "Plain");
            EXPECT_EQ(tool->lblFilesToConvert->text(), "1 items to convert.");
        });
        EXPECT_EQ(w->tmrCDs->isActive(), drive);
        EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
    }
}

TEST_F(ToolLaunchTest, SplitterJoinerAndACMConverterOpenOverTheirRows)
{
    const QString a = fixtures::writeToneWav(audio + "a.wav", 2.0);
    const QString b = fixtures::writeToneWav(audio + "b.wav", 3.0, 8000, 1, 16);
    const QString c = fixtures::writeToneWav(audio + "c.wav", 4.0);
    QString text;
    text += listrec::itemRecord({{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", "Alpha"}, {"Time", "00:00:02"},
                                 {"COL_FILE", a}, {"COL_RANGE_ALL", "1"}, {"COL_BYTES_SIZE", "2048"}});
    text += listrec::itemRecord({{"Inc", "0"}, {"Type", "Audio"}, {"Item Name", "Beta"}, {"Time", "00:00:03"},
                                 {"COL_FILE", b}, {"COL_RANGE_ALL", "1"}, {"COL_BYTES_SIZE", "4096"}});
    text += listrec::itemRecord({{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", "Gamma"}, {"Time", "00:00:04"},
                                 {"COL_FILE", c}, {"COL_RANGE_ALL", "1"}});
    ASSERT_TRUE(WriteItemsListFile(dir + "Mix Tape.flst", text + "\r\n"));
    w = frmMain();
    w->cTreeView1_NodeClick(w->cTreeView1->Nodes().NodeItem(dir + "Mix Tape.flst"));
    ASSERT_EQ(w->cGrid1->RowCount(), 3);
    // The splitter and the ACM converter follow the selected row, marked or not.
    w->cGrid1->setSelectedRow(2);

    // Opens the window by its command, checks it, and closes it.
    auto launch = [&](const QString& key, const char* name, const std::function<void(ToolWindow*)>& inside) {
        SCOPED_TRACE(key.toStdString());
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ToolWindow* tool = nullptr;
            ASSERT_TRUE(QTest::qWaitFor([&] {
                tool = qobject_cast<ToolWindow*>(QApplication::activeModalWidget());
                return tool && tool->objectName() == name;
            }));
            ran = true;
            EXPECT_EQ(tool->txtUndeForlder->text(), "Mix-Tape");
            inside(tool);
            tool->close();
        });
        w->SendCommand(key);
        EXPECT_TRUE(ran);
    };

    launch("Audio Splitter", "g_frmSplitter", [&](ToolWindow* tool) {
        auto* splitter = static_cast<FrmSplitter*>(tool);
        EXPECT_EQ(splitter->lblFilesToConvert->text(), "Split: Beta");
        EXPECT_EQ(splitter->g_sFileToSplit, b);
        ASSERT_EQ(splitter->cGrid1->RowCount(), 1);
        EXPECT_EQ(splitter->cGrid1->CellText(1, splitter->cGrid1->ColumnIndex(COL_FILE)), b);
        EXPECT_EQ(splitter->cStatusBar1->PanelText("Total Time"), "Total Time: 00:00:03");
        EXPECT_EQ(splitter->cStatusBar1->PanelText("Total Size"), "Total Size: " + FormatFileSize(QFileInfo(b).size()));
    });
    EXPECT_FALSE(g_frmSplitterLoaded());

    launch("Audio Joiner", "g_frmJoiner", [&](ToolWindow* tool) {
        EXPECT_EQ(tool->lblFilesToConvert->text(), "2 items to join.");
        EXPECT_EQ(tool->cGrid1->RowCount(), 2);
        EXPECT_EQ(tool->g_ltmrItemSecsTotal, 0);
        EXPECT_EQ(tool->cStatusBar1->PanelText("Total Time"), "Total Time: 0:00:06");
    });
    EXPECT_FALSE(g_frmJoinerLoaded());

    launch("ACM Converter", "g_frmACMConverter", [&](ToolWindow* tool) {
        auto* acm = static_cast<FrmACMConverter*>(tool);
        EXPECT_EQ(acm->lblFilesToConvert->text(), "2 items to convert.");
        EXPECT_EQ(acm->g_ltmrItemSecsTotal, 6);
        ASSERT_EQ(acm->cboBestAccordItem->count(), 4);
        EXPECT_EQ(acm->cboBestAccordItem->itemText(0), "All ACM Codecs");
        EXPECT_EQ(acm->cboBestAccordItem->itemText(2), b);
        // The selected item, 8 kHz mono, chose the codecs before the window showed.
        EXPECT_EQ(acm->cboBestAccordItem->currentText(), b);
        // The selected row's format is read off the window's thread.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !acm->ItemPending(); }));
        EXPECT_NE(acm->cboTags->findText("GSM 6.10"), -1);
        EXPECT_EQ(acm->cboTags->currentText(), "PCM");
    });
    EXPECT_FALSE(g_frmACMConverterLoaded());
}

} // namespace
