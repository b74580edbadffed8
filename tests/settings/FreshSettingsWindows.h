#pragma once
// Each test loads the settings windows afresh: a window left loaded keeps
// what an earlier test gave it, and the variables its load set. The
// destination switches are the default edition's, whichever edition this
// build is, and the build's own table is put back after the test.
#include <gtest/gtest.h>

#include <array>

#include "core/Formats.h"
#include "settings/Options.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"

namespace settingstest {

class FreshSettingsWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        UnloadOptions();
        UnloadAudioProp();
        g_sTargetFormat.clear();
        SetSupportedDestinations();
        m_destinations = {g_lDestWAV, g_lDestACM, g_lDestMP3, g_lDestWMA, g_lDestOGG, g_lDestAPE};
        SetDestinationTable(DefaultEditionDestinations());
        SetSupportedDestinations();
    }
    void TearDown() override
    {
        UnloadOptions();
        UnloadAudioProp();
        SetDestinationTable(m_destinations);
        SetSupportedDestinations();
    }
    std::array<int, 6> m_destinations{};
};

} // namespace settingstest
