// The tab strip: keys and indexes, which selections raise TabClick, and the
// client area the windows lay their pages over.
#include <QApplication>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <gtest/gtest.h>

#include "components/controls/cImageList.h"
#include "components/controls/cTabControl.h"

TEST(TabControl, TabsAreFoundByKeyAndIndex)
{
    cImageList images;
    images.setImage(10, stockimages::Marked());
    cTabControl tabs;
    tabs.setImageList(&images);
    EXPECT_EQ(tabs.SelectedTab(), 0) << "no tab yet";
    EXPECT_EQ(tabs.AddTab("Settings", 83, -1, "Settings"), 1);
    EXPECT_EQ(tabs.AddTab("Events", 10, true, "Events"), 2);
    EXPECT_EQ(tabs.AddTab("Log", -1, -1, "Log"), 3);
    EXPECT_EQ(tabs.TabCount(), 3);
    EXPECT_EQ(tabs.TabIndexForKey("Events"), 2);
    EXPECT_EQ(tabs.TabIndexForKey("events"), 0);
    EXPECT_EQ(tabs.TabKey(3), "Log");
    EXPECT_EQ(tabs.TabKey(0), "");
    EXPECT_EQ(tabs.TabKey(4), "");
    EXPECT_EQ(tabs.TabCaption(1), "Settings");
    EXPECT_EQ(tabs.SelectedTab(), 1) << "the first tab starts selected";
    EXPECT_FALSE(tabs.tabBar()->tabIcon(1).isNull());
    EXPECT_TRUE(tabs.tabBar()->tabIcon(0).isNull()) << "an image the list lacks shows none";
    EXPECT_TRUE(tabs.tabBar()->tabIcon(2).isNull());
}

TEST(TabControl, OnlyTheUsersChoiceRaisesTabClick)
{
    cTabControl tabs;
    tabs.resize(400, 300);
    QSignalSpy spy(&tabs, &cTabControl::TabClick);
    for (const char* k : {"General", "Advanced", "Lyrics"})
        tabs.AddTab(k, -1, -1, k);
    tabs.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tabs));

    tabs.SelectTab("Lyrics");
    EXPECT_EQ(tabs.SelectedTab(), 3);
    tabs.SelectTab("missing");
    EXPECT_EQ(tabs.SelectedTab(), 3);
    EXPECT_EQ(spy.size(), 0) << "selecting in code raises nothing";

    // The handler reads the selection, which is already the clicked tab.
    QString keyInHandler;
    QObject::connect(&tabs, &cTabControl::TabClick, &tabs,
                     [&](int) { keyInHandler = tabs.TabKey(tabs.SelectedTab()); });
    QTabBar* bar = tabs.tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(1).center());
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy[0][0].toInt(), 2);
    EXPECT_EQ(keyInHandler, "Advanced");
}

TEST(TabControl, ClientAreaLiesUnderTheTabsInTheParentsTwips)
{
    QWidget window;
    window.resize(600, 500);
    auto* tabs = new cTabControl(&window);
    tabs->setGeometry(16, 48, 489, 281);
    tabs->AddTab("Information", 18, -1, "Information");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    const QRect bar = tabs->tabBar()->geometry();
    const QRect client = tabs->clientRect();
    EXPECT_GT(client.top(), bar.bottom()) << "below the tabs";
    EXPECT_TRUE(QRect(QPoint(0, 0), tabs->size()).contains(client)) << "inside the strip";
    EXPECT_GT(client.width(), 400);
    EXPECT_GT(client.height(), 150);
    EXPECT_EQ(tabs->ClientLeft(), (16 + client.x()) * 15);
    EXPECT_EQ(tabs->ClientTop(), (48 + client.y()) * 15);
    EXPECT_EQ(tabs->ClientWidth(), client.width() * 15);
    EXPECT_EQ(tabs->ClientHeight(), client.height() * 15);

    // The area follows the strip's size.
    tabs->resize(300, 200);
    EXPECT_EQ(tabs->ClientWidth(), tabs->clientRect().width() * 15);
    EXPECT_LT(tabs->clientRect().width(), 300);
}
