#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLabel>
#include <gtest/gtest.h>

#include "components/controls/cContextMenu.h"
#include "core/Edition.h"
#include "core/Startup.h"
#include "core/frmSplash.h"
#include "mainwindow/frmMain.h"
#include "platform/SettingsStore.h"
#include "tests/support/TestEnv.h"

namespace {

QStringList storeContents()
{
    QStringList out;
    QDirIterator it(testenv::registryRoot(), QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    return out;
}

struct Recorded {
    QStringList statuses;
};

StartupWindows realWindows(Recorded& rec)
{
    auto status = [&rec] {
        rec.statuses << (g_frmSplashLoaded() ? g_frmSplash()->lblStat->text() : QString("<no splash>"));
    };
    StartupWindows w;
    w.loadOptions = status;
    w.loadAudioProp = status;
    w.loadMain = [status] {
        status();
        frmMain();
    };
    w.showMain = [] { frmMain()->show(); };
    w.startMainInTray = [] {
        frmMain()->show();
        frmMain()->GoSysTray();
    };
    return w;
}

bool anyVisibleWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            return true;
    return false;
}

const QString kBrokenInstall = QStringLiteral(
    "This program cannot run, please reinstall the software or connect to the sofrware aurhor.\r\n\r\n"
    "The main reistry key doesn't existed.");

// Each start begins, and ends, with no window of an earlier one: the next
// start would find it loaded and shown.
void unloadStartupWindows()
{
    UnloadMain();
    if (g_frmSplashLoaded())
        UnloadSplash();
}

} // namespace

class Startup : public ::testing::Test {
protected:
    void SetUp() override { unloadStartupWindows(); }
    void TearDown() override { unloadStartupWindows(); }
};

TEST_F(Startup, RefusesWithoutMachineKey)
{
    testenv::ScriptedMessageBoxes boxes;
    Recorded rec;
    const QStringList before = storeContents();
    EXPECT_FALSE(Main({}, realWindows(rec)));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].prompt, kBrokenInstall);
    EXPECT_EQ(boxes.shown()[0].title, "Kelvane");
    EXPECT_EQ(boxes.shown()[0].style, 64);
    EXPECT_TRUE(rec.statuses.isEmpty());
    EXPECT_FALSE(frmMainLoaded());
    EXPECT_FALSE(anyVisibleWindow());
    EXPECT_EQ(storeContents(), before);
}

TEST_F(Startup, RefusesWhenGeneralSubKeyIsMissing)
{
    testenv::installMachineKeys();
    ASSERT_EQ(platform::SettingsStore::deleteKey(platform::Hive::LocalMachine, "SOFTWARE\\Quorvex\\Kelvane\\General"), 0);
    testenv::ScriptedMessageBoxes boxes;
    Recorded rec;
    const QStringList before = storeContents();
    EXPECT_FALSE(Main({}, realWindows(rec)));
    EXPECT_EQ(boxes.prompts(), QStringList{kBrokenInstall});
    EXPECT_FALSE(anyVisibleWindow());
    EXPECT_EQ(storeContents(), before);
}

TEST_F(Startup, SplashStatusesInOrderThenMainWindowShown)
{
    testenv::installMachineKeys();
    testenv::ScriptedMessageBoxes boxes;
    Recorded rec;
    ASSERT_TRUE(Main({}, realWindows(rec)));
    EXPECT_EQ(rec.statuses,
              (QStringList{"Loading options...", "Loading audio properties...", "Loading GUI..."}));
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_FALSE(g_frmSplashLoaded());
    ASSERT_TRUE(frmMainLoaded());
    EXPECT_TRUE(frmMain()->isVisible());
    EXPECT_EQ(frmMain()->windowTitle(), "Kelvane 1.2");
}

TEST_F(Startup, SplashReadsLoadingUntilFirstStatusAndFadesToOpaque)
{
    SetAppModes();
    FrmSplash* s = g_frmSplash();
    EXPECT_EQ(s->lblStat->text(), "Loading...");
    EXPECT_EQ(s->lblAppTitle->text(), "Kelvane 1.2");
    EXPECT_EQ(s->lblVersion->text(), "Version 1.2.0");
    EXPECT_EQ(s->width(), 268);
    EXPECT_EQ(s->height(), 83);
    g_bSplashShown = false;
    SetSplashStatus("ignored");
    EXPECT_EQ(s->lblStat->text(), "Loading...");
    s->show();
    QElapsedTimer t;
    t.start();
    s->FadeIn();
    EXPECT_GE(t.elapsed(), 26 * 5);
    EXPECT_DOUBLE_EQ(s->windowOpacity(), 1.0);
    UnloadSplash();
}

class StartInTray : public ::testing::TestWithParam<std::tuple<QStringList, bool>> {
protected:
    void SetUp() override { unloadStartupWindows(); }
    void TearDown() override { unloadStartupWindows(); }
};

TEST_P(StartInTray, OnlyExactDashStStartsHidden)
{
    const auto& [args, inTray] = GetParam();
    testenv::installMachineKeys();
    testenv::ScriptedMessageBoxes boxes;
    Recorded rec;
    ASSERT_TRUE(Main(args, realWindows(rec)));
    FrmMain* w = frmMain();
    const QString open = w->m_cMenu->ItemCaption(w->m_cMenu->MenuIndexForKey("RC Open"));
    if (inTray) {
        EXPECT_FALSE(w->isVisible());
        EXPECT_TRUE(w->isMinimized());
        EXPECT_TRUE(w->m_bInTray);
        EXPECT_EQ(open, "Show");
        // One click on the tray icon brings it back.
        w->ToggleFromTray();
        EXPECT_TRUE(w->isVisible());
        EXPECT_FALSE(w->m_bInTray);
        EXPECT_EQ(w->m_cMenu->ItemCaption(w->m_cMenu->MenuIndexForKey("RC Open")), "Hide");
    } else {
        EXPECT_TRUE(w->isVisible());
        EXPECT_FALSE(w->m_bInTray);
        EXPECT_EQ(open, "Hide");
    }
}

INSTANTIATE_TEST_SUITE_P(CommandLines, StartInTray,
                         ::testing::Values(std::make_tuple(QStringList{"-st"}, true),
                                           std::make_tuple(QStringList{"-ST"}, false),
                                           std::make_tuple(QStringList{"-st", "x"}, false),
                                           std::make_tuple(QStringList{" -st"}, false),
                                           std::make_tuple(QStringList{}, false)));
