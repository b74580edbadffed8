#include <gtest/gtest.h>

#include "platform/SettingsStore.h"
#include "platform/UserSettings.h"

TEST(UserSettings, StoredPerApplicationAndSectionInTheUserHive)
{
    EXPECT_EQ(GetSetting("Pelmora", "path", "last_path", "/"), "/");
    EXPECT_EQ(GetSetting("Pelmora", "path", "last_path"), "");
    EXPECT_TRUE(SaveSetting("Pelmora", "path", "last_path", "/music/a.mp3"));
    EXPECT_EQ(GetSetting("Pelmora", "path", "last_path", "/"), "/music/a.mp3");
    EXPECT_EQ(platform::SettingsStore::value(platform::Hive::CurrentUser, "Software\\Pelmora\\path", "last_path"),
              std::optional<QString>("/music/a.mp3"));
    EXPECT_FALSE(platform::SettingsStore::keyExists(platform::Hive::LocalMachine, "Software\\Pelmora\\path"));

    EXPECT_TRUE(SaveSetting("Kelvane", "TTS", "Voice", "en"));
    EXPECT_EQ(GetSetting("Kelvane", "TTS", "Voice"), "en");
    EXPECT_EQ(GetSetting("Kelvane", "TTS", "Format"), "");
    EXPECT_EQ(GetSetting("Pelmora", "TTS", "Voice"), "");
}
