#include <QCursor>
#include <QDialog>
#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

#include "core/CommonLook.h"
#include "core/Edition.h"
#include "core/WindowHelpers.h"

TEST(WindowHelpers, TwipsToPixelsRoundsHalvesToEven)
{
    const struct { double twips; int pixels; } cases[] = {
        {1500, 100}, {1507, 100}, {1508, 101}, {7.5, 0}, {22.5, 2}, {0, 0}, {4020, 268},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TwipsToPixels(c.twips), c.pixels) << c.twips;
}

TEST(WindowHelpers, TransparencyOutOfRangeChangesNothing)
{
    QWidget w;
    w.show();
    EXPECT_EQ(SetWindowTransparency(&w, 128), 0);
    const double before = w.windowOpacity();
    EXPECT_NEAR(before, 128 / 255.0, 0.01);
    for (int alpha : {256, -1, 1000}) {
        EXPECT_EQ(SetWindowTransparency(&w, alpha), 1) << alpha;
        EXPECT_DOUBLE_EQ(w.windowOpacity(), before);
    }
    EXPECT_EQ(SetWindowTransparency(&w, 0), 0);
    EXPECT_DOUBLE_EQ(w.windowOpacity(), 0.0);
    EXPECT_TRUE(w.isVisible()) << "fully transparent, but still there";
    EXPECT_EQ(RemoveWindowTransparency(&w), 0);
    EXPECT_DOUBLE_EQ(w.windowOpacity(), 1.0);

    EXPECT_EQ(SetWindowTransparency(nullptr, 90), 2);
    EXPECT_EQ(RemoveWindowTransparency(nullptr), 2);
}

TEST(WindowHelpers, OnTopShowsAHiddenWindowAndKeepsItsPlace)
{
    QWidget w;
    w.setGeometry(40, 50, 200, 100);
    ASSERT_FALSE(w.isVisible());
    SetFormOnTop(&w, true);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w.size(), QSize(200, 100));
    SetFormOnTop(&w, false);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w.size(), QSize(200, 100));
}

TEST(WindowHelpers, IconGoesToTheWindowAndItsTopMostOwner)
{
    QWidget top;
    QDialog middle(&top);
    QDialog leaf(&middle);
    SetFormIcon(&middle, "gears", false);
    const qint64 gears = middle.windowIcon().cacheKey();

    SetFormIcon(&leaf, "CUT", true);
    ASSERT_FALSE(leaf.windowIcon().isNull());
    EXPECT_EQ(leaf.windowIcon().cacheKey(), ProgramIcon("cut").cacheKey()) << "names ignore letter case";
    EXPECT_EQ(top.windowIcon().cacheKey(), leaf.windowIcon().cacheKey());
    EXPECT_EQ(middle.windowIcon().cacheKey(), gears) << "only the top-most owner takes it";

    // A name without an icon resource leaves both without an icon.
    SetFormIcon(&leaf, "text_align_left", true);
    EXPECT_TRUE(leaf.windowIcon().isNull());
    EXPECT_TRUE(top.windowIcon().isNull());

    for (const char* name : {"aaa", "cd_music", "colors", "cut", "document_music", "document_pulse", "gears",
                             "microphone2", "replace2"})
        EXPECT_FALSE(ProgramIcon(name).isNull()) << name;
}

TEST(WindowHelpers, CursorPosition)
{
    QCursor::setPos(37, 41);
    long x = -1, y = -1;
    GetCursorPosition(x, y);
    EXPECT_EQ(x, 37);
    EXPECT_EQ(y, 41);
}

TEST(CommonLook, TitleStripAndWindowTakeTheColours)
{
    QWidget window;
    QWidget strip(&window);
    QLabel title(&strip);
    g_lAppColor = 0x0000FF;  // red, as 0x00BBGGRR
    g_lTextColor = 0xFF0000; // blue
    g_sViewBackColor = "65280"; // green
    ApplyCommonLook(&window, &strip, &title);
    EXPECT_EQ(strip.palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_EQ(title.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor(0, 255, 0));

    QWidget plain;
    const QColor before = plain.palette().color(QPalette::Window);
    g_sViewBackColor.clear();
    ApplyCommonLook(&plain, nullptr, nullptr);
    EXPECT_EQ(plain.palette().color(QPalette::Window), before) << "an empty back colour keeps the design colour";
}
