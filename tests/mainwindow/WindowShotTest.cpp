#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <gtest/gtest.h>

#include "components/cGrid.h"
#include "components/cImageList.h"
#include "components/cStatusBar.h"
#include "components/cTreeView.h"
#include "core/CommonLook.h"
#include "platform/ProgramDir.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/support/TestEnv.h"

// The whole window at its default size, drawn as it starts on an empty lists
// folder. KELVANE_SCREENSHOT names a file to keep the picture in.
class MainWindowShot : public mwtest::FreshMainWindow {};

TEST_F(MainWindowShot, DefaultWindowDrawsEveryPane)
{
    testenv::installMachineKeys();
    mwtest::setEdition([] {
        g_sItemsListDir = AppPath() + "/Main/";
        g_lAppColor = 0x8C5A2B; // a blue strip with white text, as a user picks them
        g_lTextColor = 0xFFFFFF;
    });
    FrmMain* w = frmMain();
    w->show();
    QApplication::processEvents();
    ASSERT_EQ(w->Width(), 13140);
    ASSERT_EQ(w->Height(), 7440);

    // The tree with its root and the first list, made on the empty folder.
    ASSERT_EQ(w->cTreeView1->Nodes().NodeCount(), 1);
    cTreeNode root = w->cTreeView1->Nodes().NodeItem(1);
    EXPECT_EQ(root.NodeText(), "Items Lists");
    EXPECT_EQ(root.ChildNodes().NodeCount(), 1);
    EXPECT_EQ(w->cTreeView1->SelectedNode().NodeText(), "New Items List 1");
    // The grid with its columns, the information grid, the empty-list message.
    EXPECT_EQ(w->cGrid1->ColumnCount(), 19);
    EXPECT_EQ(w->cGridInfo->ColumnCount(), 2);
    EXPECT_TRUE(w->picEmptyMsg->isVisible());
    EXPECT_TRUE(w->cGridInfo->isVisible());
    EXPECT_EQ(w->lblTitle->text(), "Kelvane 1.2");
    EXPECT_EQ(w->cStatusBar1->PanelText(QStringLiteral("Main")), "Ready.");

    const QImage shot = w->grab().toImage();
    const QByteArray keep = qgetenv("KELVANE_SCREENSHOT");
    const QString path = keep.isEmpty() ? testenv::tempRoot() + "/frmMain.png" : QString::fromLocal8Bit(keep);
    ASSERT_TRUE(shot.save(path));
    // The title strip is drawn in the application colour.
    const QPoint inStrip = w->picTitle->mapTo(w, QPoint(w->picTitle->width() - 4, 4));
    EXPECT_EQ(QColor(shot.pixel(inStrip)), QColor(0x2B, 0x5A, 0x8C));
}
