// CD drive nodes inside the main window: the drives in its tree, its disc
// polling timer and the error box of its CD ripper.
#include <QDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "components/cAudioCDRipper.h"
#include "components/cGrid.h"
#include "components/cTreeView.h"
#include "lists/ListLoader.h"
#include "lists/ListTree.h"
#include "tests/components/CdImageFixture.h"
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
    qputenv("KELVANE_CD_IMAGES", (dir.path() + "/disc.cue").toLocal8Bit());
    testenv::ScriptedMessageBoxes boxes;
    mwtest::setEdition([] { g_lAppIncCDRipper = 1; });
    FrmMain* w = frmMain();

    ASSERT_TRUE(g_nodAudioCDs);
    const cTreeNode z = g_nodAudioCDs.ChildNodes().NodeItem("##CD" + w->cAudioCDRipper1->DeviceName(0));
    ASSERT_TRUE(z);
    EXPECT_EQ(z.NodeText(), "Z:");
    cTreeView1_NodeClick(z);
    EXPECT_EQ(w->cGrid1->RowCount(), 2);
    ASSERT_TRUE(w->tmrCDs->isActive());
    EXPECT_EQ(w->tmrCDs->interval(), 5000);

    // The window's own timer notices the replaced disc (polled sooner here).
    w->tmrCDs->setInterval(50);
    writeImage(dir.path(), "disc", {{kSecond}, {kSecond}, {kSecond}}, 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->cGrid1->RowCount() == 3; }, 5000));

    emit w->cAudioCDRipper1->JobError(5, "Read failed");
    ASSERT_EQ(boxes.prompts(), QStringList({"Read failed (5)"}));
    UnloadMain();
}

} // namespace
