// Image lists, progress bars and status panels.
#include <QLabel>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "components/controls/cImageList.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cStatusBar.h"

TEST(ImageList, PicturesByIndexWithGaps)
{
    cImageList list;
    QSignalSpy changed(&list, &cImageList::Changed);
    stockimages::FillGridImages(&list);
    EXPECT_EQ(list.ImageCount(), 5);
    for (int i : {0, 1, 3, 4})
        EXPECT_FALSE(list.Image(i).isNull()) << i;
    for (int i : {-1, 2, 5, 99})
        EXPECT_TRUE(list.Image(i).isNull()) << i;
    EXPECT_EQ(list.ImagePixmap(1).size(), QSize(16, 16));
    EXPECT_NE(list.ImagePixmap(0).toImage(), list.ImagePixmap(1).toImage()) << "marked differs from not marked";
    EXPECT_GT(changed.size(), 0);

    stockimages::FillTreeImages(&list);
    for (int i : {17, 25, 42, 43, 71})
        EXPECT_FALSE(list.Image(i).isNull()) << i;
    list.setImageSize(QSize(24, 24));
    EXPECT_EQ(list.ImagePixmap(42).size(), QSize(24, 24));
}

TEST(ProgressBar, AnyNumbersShowAsAFractionAndReadBackAsSet)
{
    struct Case {
        long min, max, value;
        double shown; // fraction of the bar
    };
    const Case cases[] = {
        {0, 100, 50, 0.5},
        {1, 4, 3, 2.0 / 3.0},  // a range from 1 to 4, at 3
        {0, 83, 83, 1.0},      // a value equal to the maximum: full
        {0, 83, 120, 1.0},     // past the maximum
        {0, 10, -5, 0.0},      // below the minimum
        {0, -1, 0, 0.0},       // an empty list's maximum of count minus one
        {5, 5, 5, 0.0},        // no range
        {0, 4000000000L, 1000000000L, 0.25}, // beyond an int
    };
    for (const Case& c : cases) {
        cProgressBar bar;
        bar.setProgressMin(c.min);
        bar.setProgressMax(c.max);
        bar.setProgressValue(c.value);
        EXPECT_EQ(bar.ProgressMin(), c.min);
        EXPECT_EQ(bar.ProgressMax(), c.max);
        EXPECT_EQ(bar.ProgressValue(), c.value);
        const double fraction = double(bar.value() - bar.minimum()) / double(bar.maximum() - bar.minimum());
        EXPECT_NEAR(fraction, c.shown, 1e-5) << c.min << ".." << c.max << " at " << c.value;
    }

    XP_ProgressBar xp;
    EXPECT_EQ(xp.ProgressMax(), 100);
    xp.setProgressValue(100);
    EXPECT_EQ(xp.value(), xp.maximum());
    xp.setBarColor(0x0000FF); // red, stored as 0x00BBGGRR
    EXPECT_EQ(xp.palette().color(QPalette::Highlight), QColor(255, 0, 0));
}

TEST(StatusBar, APanelWidensToShowItsWholeTextAndNeverNarrowsBelowItsWidth)
{
    cStatusBar bar;
    bar.AddPanel(0, QString(), QString(), -1, 200, false, false, 0, "Total Size");
    bar.AddPanel(0, QString(), QString(), -1, 64, false, false, 0, "Total Time");
    bar.resize(800, 24);
    bar.show();
    const struct {
        const char* key;
        QString text;
    } cases[] = {
        {"Total Time", "Total Time: 0:05:07"},
        {"Total Time", "Total Time: 123:45:06"},
        {"Total Time", ""},
        {"Total Size", "Total Size: 1.95 MB"},
        {"Total Size", "63 Min / 80 Min."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        bar.setPanelText(c.key, c.text);
        QLabel* panel = bar.PanelWidget(bar.PanelIndex(c.key));
        EXPECT_GE(panel->contentsRect().width() - 6, panel->fontMetrics().horizontalAdvance(c.text));
        EXPECT_GE(panel->width(), bar.PanelWidth(bar.PanelIndex(c.key)));
    }
    EXPECT_EQ(bar.PanelWidth(2), 64) << "the width asked for reads back";
    bar.setPanelText("Total Time", "");
    EXPECT_EQ(bar.PanelWidget(2)->width(), 64);
}
