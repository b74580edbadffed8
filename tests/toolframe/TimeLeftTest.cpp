#include <gtest/gtest.h>

#include "toolframe/TimeLeft.h"

TEST(TimeLeft, EstimatesAsTheWorkedExamplesShow)
{
    const struct {
        qint64 elapsed, itemDone, doneItems, total, left;
        QString text;
    } cases[] = {
        {11, 30, 0, 600, 209, "Time Left: 00:03:29"},
        {5, 2, 0, 3, 2, "Time Left: 00:00:02"}, // 2.5: a half goes to the even neighbour
        {61, 100, 200, 1200, 183, "Time Left: 00:03:03"},
        {10, 30, 0, 120, 30, "Time Left: 00:00:30"},
        {7, 0, 300, 600, 0, ""},   // the current row has reported nothing yet
        {10, 50, 100, 100, 0, ""}, // more done than the total: never negative
        {10, 30, 0, 0, 0, ""},     // no total given
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EstimateSecondsLeft(c.elapsed, c.itemDone, c.doneItems, c.total), c.left) << c.elapsed;
        if (c.left > 0)
            EXPECT_EQ(TimeLeftText(c.left), c.text);
    }
    EXPECT_EQ(TimeLeftText(3725), "Time Left: 01:02:05");
    EXPECT_EQ(TimeLeftText(90000), "Time Left: 25:00:00");
    EXPECT_EQ(RoundHalfToEven(2.5), 2);
    EXPECT_EQ(RoundHalfToEven(3.5), 4);
    EXPECT_EQ(RoundHalfToEven(0.49), 0);
}
