#include <gtest/gtest.h>

#include "core/RegistryRoutines.h"
#include "platform/SettingsStore.h"

namespace {
RegistryRoutines aimedAt(qint64 hive, const QString& root, const QString& sub)
{
    RegistryRoutines r;
    r.setHkey(hive);
    r.setKeyRoot(root);
    r.setSubkey(sub);
    return r;
}
} // namespace

TEST(RegistryRoutines, ReadsWritesAndDefaults)
{
    auto reg = aimedAt(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quorvex\\Kelvane", "General");
    EXPECT_FALSE(reg.KeyExists());
    EXPECT_EQ(reg.GetRegistryValue("x", "dflt").toString(), "dflt");
    EXPECT_FALSE(reg.GetRegistryValue("x").isValid()); // Empty
    EXPECT_EQ(reg.GetRegistryValue("x").toString(), "");
    EXPECT_EQ(reg.GetRegistryValue("x").toInt(), 0);
    EXPECT_FALSE(reg.SetRegistryValue("x", "1", REG_SZ));
    EXPECT_FALSE(reg.KeyExists());

    ASSERT_EQ(reg.CreateKey(), "0");
    EXPECT_TRUE(reg.KeyExists());
    EXPECT_TRUE(reg.SetRegistryValue("empty", "", REG_SZ));
    EXPECT_EQ(reg.GetRegistryValue("empty", "dflt").toString(), ""); // a stored empty text is not the default
    const QString longText(2000, 'k');
    EXPECT_TRUE(reg.SetRegistryValue("long", longText, REG_SZ));
    EXPECT_EQ(reg.GetRegistryValue("long").toString(), longText);
    EXPECT_EQ(reg.DeleteValue("missing"), 2);
    EXPECT_EQ(reg.DeleteValue("long"), 0);
    EXPECT_FALSE(reg.SetRegistryValue("x", "1", 99)); // unknown type writes nothing
    EXPECT_EQ(reg.GetRegistryValue("x", "d").toString(), "d");
}

TEST(RegistryRoutines, EmptySubkeyAimsAtKeyRoot)
{
    auto reg = aimedAt(HKEY_CURRENT_USER, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "");
    ASSERT_EQ(reg.CreateKey(), "0");
    EXPECT_TRUE(reg.SetRegistryValue("Kelvane", "\"/opt/k/kelvane\" -st", REG_SZ));
    EXPECT_EQ(platform::SettingsStore::value(platform::Hive::CurrentUser,
                                             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Kelvane")
                  .value_or(""),
              "\"/opt/k/kelvane\" -st");
}

TEST(RegistryRoutines, TrimNullCutsAtFirstNul)
{
    QString s = QString("abc") + QChar(0) + "def";
    EXPECT_EQ(RegistryRoutines::TrimNull(s), "abc");
    EXPECT_EQ(s, "abc");
}
