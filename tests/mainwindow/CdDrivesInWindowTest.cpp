// CD drive nodes inside the main window: the drives in its tree, its disc
// polling timer and the error box of its CD ripper.
#include <QLabel>
#include <QDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "components/disc/cAudioCDRipper.h"
#include "components/controls/cGrid.h"
#include "components/controls/cTreeView.h"
#include "lists/ListLoader.h"
#include "lists/ListTree.h"
#include "tests/components/disc/CdImageFixture.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/support/TestEnv.h"

using namespace cdimage;

namespace {

TEST(CdDrivesInWindow, DrivesListPollAndReportThroughTheWindow)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    g_sItemsListDir = dir.path() + "/Lists/";
    writeImage(dir.path(), "disc", {{2 * kSecond}, {3 * kSecond}}, 1);
    writeImage(dir.path(), "data", {{2 * kSecond, false}}, 3);
    writeImage(dir.path(), "audio", {{2 * kSecond}}, 4);
    qputenv("KELVANE_CD_IMAGES", QStringList({dir.path() + "/data.cue", dir.path() + "/audio.cue",
                                              dir.path() + "/disc.cue"}).join(':').toLocal8Bit());
    testenv::ScriptedMessageBoxes boxes;
    mwtest::setEdition([] { g_lAppIncCDRipper = 1; });
    FrmMain* w = frmMain();

    ASSERT_TRUE(g_nodAudioCDs);
    ASSERT_EQ(g_nodAudioCDs.ChildNodes().NodeCount(), 3);
    const cTreeNode x = g_nodAudioCDs.ChildNodes().NodeItem("##CD" + w->cAudioCDRipper1->DeviceName(2));
    ASSERT_TRUE(x);
    EXPECT_EQ(x.NodeText(), "X:");
    cTreeView1_NodeClick(x);
    EXPECT_EQ(w->cGrid1->RowCount(), 2);
    ASSERT_TRUE(w->tmrCDs->isActive());
    EXPECT_EQ(w->tmrCDs->interval(), 5000);

    // The window's own timer notices the replaced disc (polled sooner here).
    w->tmrCDs->setInterval(50);
    writeImage(dir.path(), "disc", {{kSecond}, {kSecond}, {kSecond}}, 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->cGrid1->RowCount() == 3; }, 5000));

    // "-addaudiocd" loads the drive with the audio CD, not the data disc before it.
    cTreeView1_NodeClick(g_nodItemsLists.ChildNodes().NodeItem(1));
    w->ProcessCommandLine("-AddAudioCD");
    EXPECT_EQ(w->cTreeView1->SelectedNode(), g_nodAudioCDs.ChildNodes().NodeItem(2));
    EXPECT_EQ(w->lblListName->text(), "Y:");

    emit w->cAudioCDRipper1->JobError(5, "Read failed");
    ASSERT_EQ(boxes.prompts(), QStringList({"Read failed (5)"}));
    UnloadMain();
}

} // namespace
