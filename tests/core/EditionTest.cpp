// The edition block a build fills, and the default edition's switches that
// tests set whichever edition they were built for.
#include <gtest/gtest.h>

#include "core/Edition.h"

namespace {
struct Switch {
    const char* name;
    int* flag;
    int defaultEdition;
};
const Switch kSwitches[] = {
    {"Converter", &g_lAppIncConverter, 1},         {"Join", &g_lAppIncJoin, 1},
    {"Split", &g_lAppIncSplit, 1},                 {"MicRec", &g_lAppIncMicRec, 1},
    {"Editor", &g_lAppIncEditor, 1},               {"AudioBurner", &g_lAppIncAudioBurner, 0},
    {"CDRipper", &g_lAppIncCDRipper, 0},           {"MP3TagsEditor", &g_lAppIncMP3TagsEditor, 1},
    {"MP3Burner", &g_lAppIncMP3Burner, 0},         {"WMABurner", &g_lAppIncWMABurner, 0},
    {"ACMConverter", &g_lAppIncACMConverter, 1},   {"TTS", &g_lAppIncTTS, 0},
    {"CDDuplicator", &g_lAppIncCDDuplicator, 0},   {"ItemsLists", &g_lAppIncItemsLists, 1},
    {"TreeView", &g_lAppIncTreeView, 1},
};
} // namespace

class Edition : public ::testing::Test {
protected:
    void TearDown() override { SetAppModes(); }
};

TEST_F(Edition, TheBuildFillsItsOwnEdition)
{
    for (const Switch& s : kSwitches)
        *s.flag = 7;
    SetAppModes();
    EXPECT_EQ(g_sAppName, "Kelvane");
    EXPECT_EQ(g_sAppCompany, "Quorvex");
    EXPECT_EQ(g_sAppModeKey, "lAppIncEditor");
    for (const Switch& s : kSwitches) {
#ifdef KELVANE_ALL_TOOLS
        EXPECT_EQ(*s.flag, 1) << s.name;
#else
        EXPECT_EQ(*s.flag, s.defaultEdition) << s.name;
#endif
    }
}

TEST_F(Edition, DefaultEditionSwitchesWhateverTheBuild)
{
    SetAllToolsOn();
    for (const Switch& s : kSwitches)
        EXPECT_EQ(*s.flag, 1) << s.name;
    SetDefaultEditionTools();
    for (const Switch& s : kSwitches)
        EXPECT_EQ(*s.flag, s.defaultEdition) << s.name;
}
