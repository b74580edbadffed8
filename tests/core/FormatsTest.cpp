#include <QComboBox>
#include <gtest/gtest.h>

#include "core/Formats.h"

namespace {
QStringList items(const QComboBox& box)
{
    QStringList out;
    for (int i = 0; i < box.count(); ++i)
        out << box.itemText(i);
    return out;
}
const QStringList kAll = {
    "WAV - Waveform Audio Format (*.wav)", "ACM - Waveform ACM Codecs (*.wav)",
    "MP3 - MPEG-1 Audio Layer 3 (*.mp3)",  "WMA - Windows Media Audio files (*.wma)",
    "OGG - Ogg Media Format (*.ogg)",      "APE - Monkey 's Audio (*.ape)",
};
} // namespace


// The build-time table of destination formats, put back after each test.
class Formats : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetSupportedDestinations();
        m_table = {g_lDestWAV, g_lDestACM, g_lDestMP3, g_lDestWMA, g_lDestOGG, g_lDestAPE};
    }
    void TearDown() override
    {
        SetDestinationTable(m_table);
        SetSupportedDestinations();
    }
    std::array<int, 6> m_table{};
};

TEST_F(Formats, InputFilterIsFivePairsEachPartEndedByNul)
{
    const QString filter = GetAudioFilesFilter();
    EXPECT_EQ(filter.count(QChar(0)), 10);
    EXPECT_TRUE(filter.endsWith(QChar(0)));
    const QStringList parts = filter.split(QChar(0));
    EXPECT_EQ(parts, QStringList({"All supported audio files (*.acm;*.wav;*.mp3;*.wma)",
                                  "*.acm;*.wav;*.mp3;*.wma",
                                  "Windows legacy audio components (*.acm;*.wav)", "*.acm;*.wav",
                                  "MPEG-1 Audio Layer 3 (MP3) (*.mp3)", "*.mp3",
                                  "Waveform audio format (*.wav)", "*.wav",
                                  "Windows Media Audio files (*.wma)", "*.wma", ""}));
}

TEST_F(Formats, ComboOffersTheSwitchedOnFormatsInOrder)
{
    QComboBox box;
    box.addItem("stale");
    FillDestinationFormats(&box);
#ifdef KELVANE_ALL_TOOLS
    EXPECT_EQ(items(box), kAll);
#else
    EXPECT_EQ(items(box), kAll.mid(0, 4));
    EXPECT_EQ(g_lDestOGG, 0);
    EXPECT_EQ(g_lDestAPE, 0);
#endif
    EXPECT_EQ(g_lDestWAV, 1);
    EXPECT_EQ(g_lDestWMA, 1);
    EXPECT_EQ(box.currentIndex(), -1) << "no entry is selected";
    EXPECT_EQ(DestinationFormatTexts(), kAll);
}

TEST_F(Formats, TestsCanSwitchFormatsOn)
{
    QComboBox box;
    SetAllDestinationsOn();
    FillDestinationFormats(&box);
    EXPECT_EQ(items(box), kAll);
    EXPECT_EQ(g_lDestAPE, 1);

    SetDestinationTable({0, 0, 1, 0, 1, 0});
    FillDestinationFormats(&box);
    EXPECT_EQ(items(box), QStringList({kAll[2], kAll[4]}));
    EXPECT_EQ(g_lDestWAV, 0);
    EXPECT_EQ(g_lDestOGG, 1);

    // The default edition's four, whichever edition this build is.
    SetDestinationTable(DefaultEditionDestinations());
    FillDestinationFormats(&box);
    EXPECT_EQ(items(box), kAll.mid(0, 4));
}

TEST_F(Formats, DestinationFormatIndex)
{
    for (int i = 0; i < kAll.size(); ++i)
        EXPECT_EQ(GetDestinationFormatIndex(kAll[i]), i) << kAll[i].toStdString();
    const struct { const char* text; int index; } cases[] = {
        {"wma - windows media audio files (*.wma)", 3},
        {"OGG anything", 4}, // although OGG is not offered
        {"Ape", 5},
        {"", 0},
        {"XYZ", 0},
        {"MP", 0},
        {" MP3", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetDestinationFormatIndex(c.text), c.index) << c.text;
}
