// Placing the panes for the window's size, the view options and the tree's
// width, and the two splitter drops that change that width.
#include <QLabel>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "components/audio/cAudioGraph.h"
#include "components/controls/cContextMenu.h"
#include "components/controls/cReBar.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cSlider.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cToolbar.h"
#include "components/controls/cToolbarHost.h"
#include "components/controls/cTreeView.h"
#include "core/Edition.h"
#include "core/TwipsGeometry.h"
#include "mainwindow/frmMain.h"
#include "settings/Options.h"


void FrmMain::Form_Resize()
{
    if (windowState() & Qt::WindowMinimized)
        return;

    // The tree pane follows the edition; a width set by the splitter survives.
    if (cTreeView1->isVisibleTo(this) && g_lAppIncTreeView == 0) {
        twips::setWidth(cTreeView1, 0);
        twips::setWidth(picResizer, 0);
        cTreeView1->hide();
        picResizer->hide();
    } else if (!cTreeView1->isVisibleTo(this) && g_lAppIncTreeView == 1) {
        twips::setWidth(cTreeView1, 2535);
        twips::setWidth(picResizer, 100);
        cTreeView1->show();
        picResizer->show();
    }

    if (cAudioGraphAmp && cAudioGraphFreq) {
        cAudioGraphAmp->setVisible(g_bDisplayAudioGraph);
        cAudioGraphFreq->setVisible(g_bDisplayAudioGraph);
    }

    if (m_cMenu)
        m_cMenu->setXPStyle(g_bMenuXPStyle);

    if (g_bDisplayTitle) {
        twips::setHeight(picTitle, 375);
        picTitle->show();
    } else {
        twips::setHeight(picTitle, 0);
        picTitle->hide();
    }

    if (g_bDisplayPlayer) {
        twips::setWidth(cGridInfo, 3495);
        twips::setWidth(picPlayer, 3495);
        cGridInfo->show();
        picPlayer->show();
    } else {
        twips::setWidth(cGridInfo, 0);
        twips::setWidth(picPlayer, 0);
        cGridInfo->hide();
        picPlayer->hide();
    }

    // Vertical placement; every value is read back as the steps before left it.
    twips::setTop(cToolbarHost1, twips::Top(picTitle) + twips::Height(picTitle) + 40);
    twips::setTop(picTitleProject, twips::Top(cToolbarHost1) + twips::Height(cToolbarHost1));
    twips::setTop(picTitleList, twips::Top(cToolbarHost1) + twips::Height(cToolbarHost1));
    twips::setTop(cGrid1, twips::Top(cToolbarHost1) + twips::Height(cToolbarHost1) + twips::Height(picTitleList) + 20);
    twips::setTop(cTreeView1, twips::Top(cGrid1));
    // The formula reads the outer height; where a window manager's frame is
    // taller than the margin it leaves, the panes stop at the status bar.
    const int formulaHeight = Height() - twips::Height(froControl) - twips::Height(tlbrList) -
                              twips::Height(cToolbarHost1) - twips::Height(picTitle) - twips::Height(cStatusBar1) -
                              twips::Height(picTitleList) - 600;
    twips::setHeight(cGrid1, qMin(formulaHeight, UsableHeight() - twips::Top(cGrid1) - twips::Height(picList) -
                                                     twips::Height(froControl)));
    twips::setHeight(cTreeView1, twips::Height(cGrid1) + twips::Height(froControl) - 60);
    twips::setTop(picList, twips::Top(cGrid1) + twips::Height(cGrid1));
    twips::setTop(froTreeControl, twips::Top(cTreeView1) + twips::Height(cTreeView1) - 40);
    twips::setWidth(froTreeControl, twips::Width(cTreeView1));
    twips::setTop(froControl, twips::Top(picList) + twips::Height(picList));

    // Horizontal placement.
    twips::setLeft(picTitle, 100);
    twips::setWidth(picTitle, Width() - 350);
    twips::setWidth(cToolbarHost1, twips::Width(picTitle));
    twips::setLeft(cTreeView1, twips::Left(picTitle) + 20);
    twips::setLeft(cGrid1, twips::Left(cTreeView1) + twips::Width(cTreeView1) + twips::Width(picResizer) - 40);
    twips::setLeft(picResizer, twips::Left(cTreeView1) + twips::Width(cTreeView1) + 20);
    twips::setWidth(picTitleProject, twips::Width(cTreeView1));
    twips::setLeft(picTitleList, twips::Left(cGrid1));
    twips::setLeft(picList, twips::Left(cGrid1));
    twips::setLeft(froControl, twips::Left(cGrid1));
    twips::setTop(cGridInfo, twips::Top(cGrid1));
    twips::setHeight(cGridInfo, twips::Height(cGrid1) - twips::Height(picPlayer));
    twips::setWidth(cGrid1, twips::Width(cToolbarHost1) - twips::Width(cTreeView1) - twips::Width(cGridInfo) - 100);
    twips::setLeft(cGridInfo, twips::Left(cGrid1) + twips::Width(cGrid1));
    twips::setTop(picPlayer, twips::Top(cGridInfo) + twips::Height(cGridInfo));
    twips::setLeft(picPlayer, twips::Left(cGridInfo));
    const int listWidth = twips::Width(cGridInfo) + twips::Width(cGrid1);
    twips::setWidth(picList, listWidth);
    twips::setWidth(froControl, listWidth);
    twips::setWidth(picTitleList, listWidth);
    twips::setLeft(cSlider1, 100);
    twips::setWidth(cSlider1, twips::Width(picPlayer) - twips::Left(cSlider1) - 100);
    twips::setLeft(picEmptyMsg, twips::Left(cGrid1) + twips::Width(cGrid1) / 2 - twips::Width(picEmptyMsg) / 2);

    UpdateMinimumSize();
}

int FrmMain::UsableHeight() const
{
    const int statusBar = cStatusBar1 && cStatusBar1->isVisibleTo(this) ? cStatusBar1->sizeHint().height() : 0;
    return (height() - statusBar) * 15;
}

void FrmMain::UpdateMinimumSize()
{
    // The smallest window in which the panes keep apart: the grids keep a few
    // rows and columns, each toolbar fits its strip, the status bar its panels.
    // The tree counts at the width the splitter left it, but the minimum never
    // grows past the screen.
    constexpr int kMinGridWidth = 1800;
    constexpr int kMinGridHeight = 1500;
    constexpr int kMinInfoHeight = 900;
    const int tree = cTreeView1->isVisibleTo(this) ? twips::Width(cTreeView1) : 0;
    const int info = cGridInfo->isVisibleTo(this) ? twips::Width(cGridInfo) : 0;
    const int player = picPlayer->isVisibleTo(this) ? twips::Height(picPlayer) : 0;
    auto needs = [](const QWidget* w) { return w ? w->sizeHint().width() * 15 : 0; };

    const int belowGrid = std::max({twips::Left(cToolbarHostRecorder) + twips::Width(cToolbarHostRecorder),
                                needs(rbrList), needs(tlbrList)});
    const int outerWidth = std::max({350 + tree + info + 100 + kMinGridWidth, 350 + tree + 100 + belowGrid,
                                 350 + needs(tlbrTop)});
    const int gridHeight = qMax(kMinGridHeight, player > 0 ? player + kMinInfoHeight : 0);
    const int outerHeight = gridHeight + twips::Height(froControl) + twips::Height(tlbrList) +
                            twips::Height(cToolbarHost1) + twips::Height(picTitle) + twips::Height(cStatusBar1) +
                            twips::Height(picTitleList) + 600;
    const int paneBottom = twips::Top(cGrid1) + gridHeight + twips::Height(picList) + twips::Height(froControl);

    const int frameWidth = frameGeometry().width() - geometry().width();
    const int frameHeight = frameGeometry().height() - geometry().height();
    const int statusBar = cStatusBar1->isVisibleTo(this) ? cStatusBar1->sizeHint().height() : 0;
    QSize least(qMax(int(std::ceil(outerWidth / 15.0)) - frameWidth, cStatusBar1->minimumSizeHint().width()),
                qMax(int(std::ceil(outerHeight / 15.0)) - frameHeight, int(std::ceil(paneBottom / 15.0)) + statusBar));
    if (const QScreen* s = screen())
        least = least.boundedTo(s->availableGeometry().size());
    if (least == minimumSize())
        return;
    const QSize before = size();
    setMinimumSize(least);
    // A shown window lays out again from its resize event; a hidden one here.
    if (size() != before && !isVisible())
        Form_Resize();
}

void FrmMain::cTreeView1_DragDrop(QObject*, double x, double)
{
    if (x < 1000)
        twips::setWidth(cTreeView1, 1000);
    else
        twips::setWidth(cTreeView1, int(twips::Left(cTreeView1) + x - 120));
    Form_Resize();
}

void FrmMain::cGrid1_DragDrop(QObject*, double x, double)
{
    twips::setWidth(cTreeView1, int(twips::Left(cTreeView1) + x + twips::Width(cTreeView1) - 60));
    Form_Resize();
}
