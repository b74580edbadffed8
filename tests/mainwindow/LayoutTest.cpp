#include <QApplication>
#include <QFile>
#include <QTableView>
#include <QTreeWidget>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <gtest/gtest.h>

#include "components/controls/ControlDrag.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cSlider.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cToolbarHost.h"
#include "components/controls/cTreeView.h"
#include "core/RegistryRoutines.h"
#include "core/Startup.h"
#include "core/TwipsGeometry.h"
#include "platform/ProgramDir.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/support/TestEnv.h"

using namespace twips;

namespace {

void storeSize(const char* name, const QString& value)
{
    RegistryRoutines r;
    r.setHkey(HKEY_LOCAL_MACHINE);
    r.setKeyRoot(MachineKeyRoot());
    r.setSubkey("General");
    ASSERT_TRUE(r.SetRegistryValue(name, value));
}

// Drops the splitter bar on a control at x (pixels, relative to the control),
// as the drag and drop machinery delivers it.
bool dropBarOn(QWidget* target, int x)
{
    QMimeData data;
    data.setData(components::controlDragFormat(), QByteArray("picResizer"));
    const QPointF at(x, 3);
    QDragEnterEvent enter(at.toPoint(), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

struct Panes {
    int titleWidth, hostWidth, treeLeft, treeWidth, resizerLeft, gridLeft, gridWidth, infoLeft;
};

Panes panesOf(FrmMain* w)
{
    return {Width(w->picTitle),  Width(w->cToolbarHost1), Left(w->cTreeView1), Width(w->cTreeView1),
            Left(w->picResizer), Left(w->cGrid1),         Width(w->cGrid1),     Left(w->cGridInfo)};
}

} // namespace

class MainWindowLayout : public mwtest::FreshMainWindow {};

TEST_F(MainWindowLayout, StoredAndMissingWindowSizes)
{
    struct Case {
        const char* width;  // nullptr: not stored
        const char* height; // nullptr: not stored
        int expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        // 0: a stored size too small for the panes opens at the window's minimum.
        {nullptr, nullptr, 13140, 7440}, {"2999", "999", 13740, 7440}, {"3000", "1000", 0, 0},
        {"15000", "9000", 15000, 9000},  {"abc", "", 13740, 7440},     {" 12000 ", "8000.4", 12000, 8000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.width ? c.width : "-") + " x " + (c.height ? c.height : "-"));
        testenv::installMachineKeys();
        RegistryRoutines r;
        r.setHkey(HKEY_LOCAL_MACHINE);
        r.setKeyRoot(MachineKeyRoot());
        r.setSubkey("General");
        r.DeleteValue("lWidth");
        r.DeleteValue("lHeight");
        if (c.width)
            storeSize("lWidth", c.width);
        if (c.height)
            storeSize("lHeight", c.height);
        mwtest::setEdition();
        FrmMain w;
        w.Form_Load();
        EXPECT_EQ(w.Width(), c.expectedWidth ? c.expectedWidth : w.minimumWidth() * 15);
        EXPECT_EQ(w.Height(), c.expectedHeight ? c.expectedHeight : w.minimumHeight() * 15);
        EXPECT_EQ(w.m_cRegistry.keyPath(), "SOFTWARE\\Quorvex\\Kelvane\\General");
    }
}

TEST_F(MainWindowLayout, MissingSettingsKeyGivesTheDefaultSize)
{
    mwtest::setEdition();
    FrmMain w;
    w.Form_Load();
    EXPECT_EQ(w.Width(), 13140);
    EXPECT_EQ(w.Height(), 7440);
}

TEST_F(MainWindowLayout, DefaultSizePlacesThePanesAsDesigned)
{
    mwtest::setEdition();
    FrmMain* w = frmMain();
    w->show();
    ASSERT_EQ(w->Width(), 13140);
    const Panes p = panesOf(w);
    EXPECT_EQ(p.titleWidth, 12790);
    EXPECT_EQ(p.hostWidth, 12790);
    EXPECT_EQ(p.treeLeft, 120);
    EXPECT_EQ(p.treeWidth, 2535);
    EXPECT_EQ(p.resizerLeft, 2675);
    EXPECT_EQ(p.gridLeft, 2715);
    EXPECT_EQ(p.gridWidth, 6660);
    EXPECT_EQ(p.infoLeft, 9375);
    EXPECT_EQ(Width(w->cGridInfo), 3495);
    EXPECT_EQ(Left(w->picPlayer), 9375);
    EXPECT_EQ(Width(w->picPlayer), 3495);
    EXPECT_EQ(Top(w->picPlayer), Top(w->cGridInfo) + Height(w->cGridInfo));
    EXPECT_EQ(Height(w->cGridInfo), Height(w->cGrid1) - 1215);
    // The strips under and over the grid share its left edge and span grid and information grid.
    for (QWidget* strip : {w->picTitleList, w->picList, static_cast<QWidget*>(w->froControl)}) {
        EXPECT_EQ(Left(strip), 2715);
        EXPECT_EQ(Width(strip), 6660 + 3495);
    }
    // Vertical placement from the top: title 120 + 375, toolbar host 40 below it and 740 high.
    EXPECT_EQ(Top(w->cToolbarHost1), 535);
    EXPECT_EQ(Top(w->picTitleProject), 1275);
    EXPECT_EQ(Top(w->cGrid1), 1550);
    EXPECT_EQ(Top(w->cTreeView1), 1550);
    const int gridHeight = 7440 - 1155 - Height(w->tlbrList) - 740 - 375 - Height(w->cStatusBar1) - 255 - 600;
    EXPECT_EQ(Height(w->cGrid1), gridHeight);
    EXPECT_EQ(Height(w->cTreeView1), gridHeight + 1155 - 60);
    EXPECT_EQ(Top(w->picList), 1550 + gridHeight);
    EXPECT_EQ(Top(w->froControl), 1550 + gridHeight + 400);
    EXPECT_EQ(Top(w->froTreeControl), 1550 + gridHeight + 1095 - 40);
    EXPECT_EQ(Width(w->froTreeControl), 2535);
    EXPECT_EQ(Left(w->cSlider1), 100);
    EXPECT_EQ(Width(w->cSlider1), 3495 - 200);
    // The empty-list message is centred over the grid and keeps its top.
    EXPECT_NEAR(Left(w->picEmptyMsg) + Width(w->picEmptyMsg) / 2.0, 2715 + 6660 / 2.0, 1.0);
    EXPECT_EQ(Top(w->picEmptyMsg), 2400);
    // The panes lie on whole pixels that meet: the grid ends where the information grid starts.
    EXPECT_EQ(w->cGrid1->geometry().right() + 1, w->cGridInfo->geometry().left());
}

TEST_F(MainWindowLayout, ViewOptionsAndTheEditionMoveThePanes)
{
    mwtest::setEdition();
    FrmMain* w = frmMain();
    const int gridTop = Top(w->cGrid1);
    const int gridHeight = Height(w->cGrid1);
    const int gridWidth = Width(w->cGrid1);

    // No title strip: everything below moves up by 375 and the grid gains that height.
    g_bDisplayTitle = false;
    w->Form_Resize();
    EXPECT_FALSE(w->picTitle->isVisibleTo(w));
    EXPECT_EQ(Top(w->cToolbarHost1), 160);
    EXPECT_EQ(Top(w->cGrid1), gridTop - 375);
    EXPECT_EQ(Height(w->cGrid1), gridHeight + 375);

    // No player side: the grid widens by 3495 and the information grid and player go.
    g_bDisplayPlayer = false;
    w->Form_Resize();
    EXPECT_FALSE(w->cGridInfo->isVisibleTo(w));
    EXPECT_FALSE(w->picPlayer->isVisibleTo(w));
    EXPECT_EQ(Width(w->cGrid1), gridWidth + 3495);

    // Both back.
    g_bDisplayTitle = g_bDisplayPlayer = true;
    w->Form_Resize();
    EXPECT_EQ(Top(w->cGrid1), gridTop);
    EXPECT_EQ(Width(w->cGrid1), gridWidth);
    EXPECT_TRUE(w->cGridInfo->isVisibleTo(w));

    // No tree pane in the edition: tree and splitter go with width 0 and the grid starts at 80.
    g_lAppIncTreeView = 0;
    w->Form_Resize();
    EXPECT_FALSE(w->cTreeView1->isVisibleTo(w));
    EXPECT_FALSE(w->picResizer->isVisibleTo(w));
    EXPECT_EQ(Width(w->cTreeView1), 0);
    EXPECT_EQ(Left(w->cGrid1), 80);
    EXPECT_EQ(Width(w->cGrid1), gridWidth + 2535);
    g_lAppIncTreeView = 1;
    w->Form_Resize();
    EXPECT_TRUE(w->cTreeView1->isVisibleTo(w));
    EXPECT_EQ(Width(w->cTreeView1), 2535);
    EXPECT_EQ(Left(w->cGrid1), 2715);
}

TEST_F(MainWindowLayout, SplitterDropsSetTheTreeWidth)
{
    mwtest::setEdition();
    FrmMain* w = frmMain();
    w->show();
    struct Case {
        const char* name;
        bool onTree;
        double x;
        int treeWidth;
    };
    const Case cases[] = {
        {"tree, x 600", true, 600, 1000},
        {"tree, x 1800", true, 1800, 1800},
        {"grid, x 300 with the tree 2535 wide", false, 300, 2895},
        {"grid, x -900", false, -900, 1695},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setWidth(w->cTreeView1, 2535);
        w->Form_Resize();
        if (c.onTree)
            w->cTreeView1_DragDrop(w->picResizer, c.x, 0);
        else
            w->cGrid1_DragDrop(w->picResizer, c.x, 0);
        EXPECT_EQ(Width(w->cTreeView1), c.treeWidth);
        EXPECT_EQ(Left(w->picResizer), 120 + c.treeWidth + 20);
        EXPECT_EQ(Left(w->cGrid1), 120 + c.treeWidth + 100 - 40);
        EXPECT_EQ(Width(w->cGrid1), 12790 - c.treeWidth - 3495 - 100);
        EXPECT_EQ(Width(w->picTitleProject), c.treeWidth);
    }
    // Resizing keeps the width the last drop chose.
    w->setWidth(15000);
    EXPECT_EQ(Width(w->cTreeView1), 1695);
    EXPECT_EQ(Width(w->picTitle), 15000 - 350);

    // A drop so far right that the grid's width would go negative leaves it as it was.
    const int gridWidth = Width(w->cGrid1);
    w->cGrid1_DragDrop(w->picResizer, 20000, 0);
    EXPECT_EQ(Width(w->cGrid1), gridWidth);
}

TEST_F(MainWindowLayout, DropsReachTheSplitterHandlersThroughTheControls)
{
    mwtest::setEdition();
    FrmMain* w = frmMain();
    w->show();
    enum Side { Tree, Grid, Nothing };
    struct Case {
        const char* name;
        QWidget* target;  // where the drop lands
        QWidget* control; // the control the drop point is relative to
        Side side;
    };
    QWidget* gridView = w->cGrid1->tableView()->viewport();
    QWidget* treeView = w->cTreeView1->treeWidget()->viewport();
    const Case cases[] = {
        {"the tree", treeView, w->cTreeView1, Tree},
        {"the lists title", w->picTitleProject, w->picTitleProject, Tree},
        {"the lists label", w->lblProjects, w->lblProjects, Tree},
        {"the lists toolbar host", w->tlbrProjectsHost, w->tlbrProjectsHost, Tree},
        {"the grid", gridView, w->cGrid1, Grid},
        {"the list title", w->picTitleList, w->picTitleList, Grid},
        {"the list name", w->lblListName, w->lblListName, Grid},
        {"the strip under the grid", w->picList, w->picList, Grid},
        {"the tools frame", w->froControl, w->froControl, Grid},
        {"the tools host", w->cToolbarHostRecorder, w->cToolbarHostRecorder, Grid},
        {"the slider", w->cSlider1, w->cSlider1, Grid},
        {"the information grid", w->cGridInfo->tableView()->viewport(), w->cGridInfo, Nothing},
        {"the title strip", w->picTitle, w->picTitle, Nothing},
        {"the top toolbar host", w->cToolbarHost1, w->cToolbarHost1, Nothing},
        {"the lists toolbar", w->tlbrProjects, w->tlbrProjects, Nothing},
        {"the list toolbar", w->tlbrList, w->tlbrList, Nothing},
        {"the tools toolbar", w->tlbrRecorder, w->tlbrRecorder, Nothing},
        {"the player panel", w->picPlayer, w->picPlayer, Nothing},
    };
    const int tree = 2535;
    for (int px : {20, 90}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(px));
            setWidth(w->cTreeView1, tree);
            w->Form_Resize();
            const double x = c.target->mapTo(c.control, QPoint(px, 3)).x() * 15.0;
            dropBarOn(c.target, px);
            int expected = tree;
            if (c.side == Tree)
                expected = x < 1000 ? 1000 : int(120 + x - 120);
            else if (c.side == Grid)
                expected = int(120 + x + tree - 60);
            EXPECT_EQ(Width(w->cTreeView1), expected);
        }
    }
}

TEST_F(MainWindowLayout, MinimisedWindowMovesNothingAndRestoreLaysOut)
{
    mwtest::setEdition();
    FrmMain* w = frmMain();
    w->show();
    const QRect grid = w->cGrid1->geometry();
    w->setWindowState(Qt::WindowMinimized);
    g_bDisplayPlayer = false;
    w->Form_Resize();
    EXPECT_EQ(w->cGrid1->geometry(), grid);
    w->setWindowState(Qt::WindowNoState);
    EXPECT_EQ(Width(w->cGrid1), 6660 + 3495);
}

TEST_F(MainWindowLayout, ToolbarHostsHaveTheirHeights)
{
    mwtest::setEdition();
    FrmMain* w = frmMain();
    EXPECT_EQ(Height(w->cToolbarHost1), 740);
    EXPECT_EQ(Height(w->cToolbarHostRecorder), 760);
    EXPECT_EQ(Height(w->cToolbarHostPlayer), 500);
    EXPECT_EQ(w->cToolbarHost1->AttachedToolbar(), w->tlbrTop);
    // Without a toolbar picture in the edition, no background file is written.
    EXPECT_FALSE(QFile::exists(AppPath() + "/tbbg.bmp"));
    EXPECT_TRUE(w->cToolbarHost1->BackgroundPicture().isEmpty());
}
