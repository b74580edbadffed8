// The tray icon and the window's modes: on top, transparent, minimized, in the tray.
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>

#include "components/controls/cSysTray.h"
#include "tests/mainwindow/PlayerWindowSupport.h"

using pwtest::ListWindow;

namespace {

QString openCaption(FrmMain* w) { return w->m_cMenu->ItemCaption(w->m_cMenu->MenuIndexForKey("RC Open")); }
bool marked(FrmMain* w, const char* key) { return w->m_cMenu->ItemChecked(w->m_cMenu->MenuIndexForKey(key)); }
bool topmost(FrmMain* w) { return w->windowFlags() & Qt::WindowStaysOnTopHint; }

struct Unload {
    ~Unload() { UnloadMain(); }
};

} // namespace

TEST(TrayAndModes, TrayClickSendsTheWindowToTheTrayAndBringsItBackNormal)
{
    struct Case {
        const char* name;
        Qt::WindowState start;
        // how the toggle is asked for: the tray icon, or the tray menu's item through the router
        bool throughRouter;
    };
    const Case cases[] = {
        {"normal, tray icon", Qt::WindowNoState, false},
        {"maximized, tray icon", Qt::WindowMaximized, false},
        {"minimized to the taskbar, tray icon", Qt::WindowMinimized, false},
        {"maximized, the tray item", Qt::WindowMaximized, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Unload unload;
        ListWindow lw;
        FrmMain* w = lw.w;
        w->show();
        w->setWindowState(c.start);
        ASSERT_EQ(openCaption(w), "Hide");
        auto toggle = [&] {
            if (c.throughRouter)
                w->SendCommand("RC Open");
            else
                emit w->cSysTray1->TrayMouse(1);
        };

        toggle();
        EXPECT_FALSE(w->isVisible());
        EXPECT_TRUE(w->windowState() & Qt::WindowMinimized);
        EXPECT_EQ(openCaption(w), "Show");
        EXPECT_TRUE(w->m_bInTray);

        toggle();
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized), Qt::WindowNoState)
            << "it comes back in the normal state";
        EXPECT_EQ(openCaption(w), "Hide");
        EXPECT_FALSE(w->m_bInTray);
    }
}

TEST(TrayAndModes, StartInTheTrayAndMinimize)
{
    Unload unload;
    ListWindow lw;
    FrmMain* w = lw.w;
    // As the start in the tray leaves it.
    w->show();
    w->GoSysTray();
    ASSERT_FALSE(w->isVisible());
    emit w->cSysTray1->TrayMouse(1);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(openCaption(w), "Hide");

    // "Minimize" leaves the window in the taskbar; the tray item still reads "Hide".
    w->SendCommand("Minimize");
    EXPECT_TRUE(w->windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(openCaption(w), "Hide");
    EXPECT_FALSE(w->m_bInTray);
}

// A desktop without a tray: the window goes to the task bar, never out of
// reach, and the user hears why once.
TEST(TrayAndModes, WithoutATrayTheWindowStaysReachable)
{
    struct Restore {
        ~Restore() { cSysTray::setTrayAvailableOverride(1); }
    } restore;
    cSysTray::setTrayAvailableOverride(0);
    Unload unload;
    ListWindow lw;
    FrmMain* w = lw.w;
    w->show();
    testenv::ScriptedMessageBoxes boxes;
    w->SendCommand("GoSysTray");
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(w->m_bInTray);
    w->showNormal();
    emit w->cSysTray1->TrayMouse(1);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(boxes.prompts().size(), 1);
}

TEST(TrayAndModes, TheTrayMenuOpensAtTheCursor)
{
    Unload unload;
    ListWindow lw;
    FrmMain* w = lw.w;
    w->show();
    QStringList captions;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions())
                captions << (a->isSeparator() ? QStringLiteral("-") : a->text().trimmed());
            menu->close();
        }
    });
    emit w->cSysTray1->TrayMouse(2);
    EXPECT_EQ(captions, QStringList({"Exit", "-", "Hide"}));
    // Any other type does nothing.
    emit w->cSysTray1->TrayMouse(3);
    EXPECT_TRUE(w->isVisible());
}

TEST(TrayAndModes, TransparentTwiceIsOpaqueAgain)
{
    Unload unload;
    ListWindow lw;
    FrmMain* w = lw.w;
    w->show();
    w->SendCommand("Transparent");
    EXPECT_NEAR(w->windowOpacity(), 90.0 / 255.0, 0.01);
    EXPECT_TRUE(marked(w, "Transparent"));
    w->SendCommand("Transparent");
    EXPECT_DOUBLE_EQ(w->windowOpacity(), 1.0);
    EXPECT_FALSE(marked(w, "Transparent"));
}

TEST(TrayAndModes, OpeningAnotherWindowReleasesTheTopmostStateButNotItsMark)
{
    Unload unload;
    ListWindow lw;
    FrmMain* w = lw.w;
    w->show();
    w->SendCommand("On Top");
    EXPECT_TRUE(topmost(w));
    EXPECT_TRUE(marked(w, "On Top"));

    w->SendCommand("Notes"); // opens a window beside the main one
    EXPECT_FALSE(topmost(w));
    EXPECT_TRUE(marked(w, "On Top"));

    // The mark is set, so the next "On Top" clears it; the one after sets both again.
    w->SendCommand("On Top");
    EXPECT_FALSE(topmost(w));
    EXPECT_FALSE(marked(w, "On Top"));
    w->SendCommand("On Top");
    EXPECT_TRUE(topmost(w));
    EXPECT_TRUE(marked(w, "On Top"));
}
