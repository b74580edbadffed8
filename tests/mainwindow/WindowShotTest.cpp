#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <functional>
#include <vector>
#include <gtest/gtest.h>

#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cReBar.h"
#include "components/controls/cToolbarHost.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTreeView.h"
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

namespace {

// A widget's rectangle in the window's coordinates.
QRect inWindow(QWidget* window, QWidget* w) { return QRect(w->mapTo(window, QPoint(0, 0)), w->size()); }

// What each pane of the window must keep apart from the others, read from the
// widgets' geometry. The splitter bar lies under the panes and the empty-list
// message over the grid by design; under the tree the frame's own toolbar
// host stands for the frame, whose top edge tucks under the tree's border.
void expectPanesApart(FrmMain* w)
{
    const std::vector<std::pair<const char*, QWidget*>> panes = {
        {"title", w->picTitle},           {"top toolbar", w->cToolbarHost1},   {"lists title", w->picTitleProject},
        {"list title", w->picTitleList},  {"tree", w->cTreeView1},             {"grid", w->cGrid1},
        {"information", w->cGridInfo},    {"player", w->picPlayer},            {"lists toolbar", w->tlbrProjectsHost},
        {"list toolbar", w->picList},     {"tools toolbar", w->froControl},    {"status bar", w->cStatusBar1},
    };
    const QRect window = w->rect();
    for (size_t i = 0; i < panes.size(); ++i) {
        if (!panes[i].second->isVisible())
            continue;
        const QRect a = inWindow(w, panes[i].second);
        EXPECT_FALSE(a.isEmpty()) << panes[i].first;
        EXPECT_TRUE(window.contains(a)) << panes[i].first << " leaves the window";
        for (size_t j = i + 1; j < panes.size(); ++j)
            if (panes[j].second->isVisible())
                EXPECT_FALSE(a.intersects(inWindow(w, panes[j].second)))
                    << panes[i].first << " overlaps " << panes[j].first;
    }
    // Every toolbar lies whole inside its strip.
    const std::vector<std::pair<QWidget*, QWidget*>> inside = {
        {w->tlbrTop, w->cToolbarHost1},  {w->tlbrList, w->picList},          {w->rbrList, w->picList},
        {w->tlbrRecorder, w->froControl}, {w->tlbrProjects, w->froTreeControl}, {w->tlbrPlayButtons, w->picPlayer},
    };
    for (const auto& [bar, strip] : inside)
        if (bar->isVisible())
            EXPECT_TRUE(inWindow(w, strip).contains(inWindow(w, bar)))
                << bar->objectName().toStdString() << " outside " << strip->objectName().toStdString();
    // The grids keep rows to show, the status panels their room.
    EXPECT_GE(w->cGrid1->height(), 90);
    EXPECT_GE(w->cGrid1->width(), 110);
    if (w->cGridInfo->isVisible())
        EXPECT_GE(w->cGridInfo->height(), 55);
    for (int i = 1; i <= w->cStatusBar1->PanelCount(); ++i)
        EXPECT_TRUE(inWindow(w, w->cStatusBar1).contains(inWindow(w, w->cStatusBar1->PanelWidget(i))))
            << w->cStatusBar1->PanelKey(i).toStdString();
}

} // namespace

TEST_F(MainWindowShot, PanesKeepApartFromTheMinimumSizeUp)
{
    struct Case {
        const char* name;
        std::function<void()> edition;
    };
    const Case cases[] = {
        {"this edition", {}},
        {"no player side, no title", [] { g_bDisplayPlayer = g_bDisplayTitle = false; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testenv::installMachineKeys();
        mwtest::setEdition(c.edition);
        FrmMain* w = frmMain();
        w->show();
        QApplication::processEvents();
        // Asked for less, the window stops at its minimum.
        w->resize(40, 40);
        QApplication::processEvents();
        ASSERT_EQ(w->size(), w->minimumSize());
        {
            SCOPED_TRACE("minimum size");
            expectPanesApart(w);
        }
        w->resize(1600, 1100);
        QApplication::processEvents();
        {
            SCOPED_TRACE("large size");
            expectPanesApart(w);
        }
        UnloadMain();
    }
}
