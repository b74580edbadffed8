#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QScrollBar>
#include <gtest/gtest.h>

#include "settings/StoredValues.h"

TEST(StoredValues, NumbersReadAsTheClassicIntegerConversion)
{
    const struct {
        QVariant stored;
        std::optional<qint64> expected;
    } cases[] = {
        {QVariant(), 0},                 // missing value
        {QString(""), 0},                // empty text
        {QString(" 7 "), 7},             // blanks around the digits
        {QString("-1"), -1},
        {QString("16777215"), 16777215},
        {QString("1.5"), 2},             // halves round to even
        {QString("2.5"), 2},
        {QString("abc"), std::nullopt},
        {QString("1 2"), std::nullopt},
        {QString("1e99"), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stored::toNumber(c.stored), c.expected) << qPrintable(c.stored.toString());
}

TEST(StoredValues, CheckBoxTakesOnlyItsThreeStates)
{
    QCheckBox box;
    box.setChecked(true);
    struct {
        const char* text;
        bool taken;
        int state;
    } cases[] = {{"0", true, 0}, {"2", true, 2}, {"1", true, 1}, {"3", false, 1}, {"-1", false, 1},
                 {"yes", false, 1}, {"", true, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(stored::setCheckValue(&box, QString(c.text)), c.taken) << c.text;
        EXPECT_EQ(stored::checkValue(&box), c.state) << c.text;
        EXPECT_EQ(stored::checkText(&box), QString::number(c.state)) << c.text;
    }
}

TEST(StoredValues, ListEntriesMatchExactlyAndPositionsStayInside)
{
    QComboBox list;
    list.addItems({"5 ", "7 ", "128"});
    list.setCurrentIndex(0);
    EXPECT_FALSE(stored::selectEntry(&list, "7"));   // the blank is part of the entry
    EXPECT_EQ(list.currentIndex(), 0);
    EXPECT_FALSE(stored::selectEntry(&list, ""));
    EXPECT_EQ(list.currentIndex(), 0);
    EXPECT_TRUE(stored::selectEntry(&list, "7 "));
    EXPECT_EQ(list.currentIndex(), 1);

    EXPECT_FALSE(stored::setPosition(&list, QString("3")));
    EXPECT_FALSE(stored::setPosition(&list, QString("x")));
    EXPECT_EQ(list.currentIndex(), 1);
    EXPECT_TRUE(stored::setPosition(&list, QString("")));  // empty reads as 0
    EXPECT_EQ(list.currentIndex(), 0);
    EXPECT_TRUE(stored::setPosition(&list, QString("-1")));
    EXPECT_EQ(list.currentIndex(), -1);
}

TEST(StoredValues, OptionButtonsOfOneGroup)
{
    QWidget page;
    auto* quality = new QRadioButton(&page);
    auto* bitrate = new QRadioButton(&page);
    quality->setChecked(true);
    EXPECT_TRUE(stored::setChosen(bitrate, QString("True")));
    EXPECT_FALSE(quality->isChecked());
    EXPECT_TRUE(stored::setChosen(bitrate, QString("False")));
    EXPECT_FALSE(bitrate->isChecked());
    EXPECT_FALSE(quality->isChecked()); // no choice left in the group
    EXPECT_FALSE(stored::setChosen(quality, QString("maybe")));
    EXPECT_TRUE(stored::setChosen(quality, QString("true")));
    EXPECT_EQ(stored::choiceText(quality), "True");
    EXPECT_EQ(stored::choiceText(bitrate), "False");
}

TEST(StoredValues, BarAndColourRanges)
{
    QScrollBar bar;
    bar.setRange(0, 100);
    bar.setValue(50);
    EXPECT_FALSE(stored::setBarValue(&bar, QString("101")));
    EXPECT_EQ(bar.value(), 50);
    EXPECT_TRUE(stored::setBarValue(&bar, QVariant()));
    EXPECT_EQ(bar.value(), 0);

    EXPECT_EQ(stored::toColor(QString("16777215")), 0xFFFFFFu);
    EXPECT_EQ(stored::toColor(QString("16777216")), std::nullopt);
    EXPECT_EQ(stored::toColor(QString("-5")), std::nullopt);
    EXPECT_EQ(stored::toColor(QVariant()), 0u);
}
