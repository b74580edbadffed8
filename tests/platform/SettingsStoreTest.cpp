#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>

#include "platform/SettingsStore.h"

using platform::Hive;
using platform::SettingsStore;

namespace {
const QString kKey = QStringLiteral("SOFTWARE\\Test\\App\\General");
}

TEST(SettingsStore, MissingKeyOrValueReadsAsNothing)
{
    EXPECT_FALSE(SettingsStore::keyExists(Hive::LocalMachine, kKey));
    EXPECT_FALSE(SettingsStore::value(Hive::LocalMachine, kKey, "x").has_value());
    ASSERT_TRUE(SettingsStore::createKey(Hive::LocalMachine, kKey));
    EXPECT_TRUE(SettingsStore::keyExists(Hive::LocalMachine, kKey));
    EXPECT_FALSE(SettingsStore::value(Hive::LocalMachine, kKey, "x").has_value());
    // The hives are apart.
    EXPECT_FALSE(SettingsStore::keyExists(Hive::CurrentUser, kKey));
}

TEST(SettingsStore, SetUnderMissingKeyFailsAndCreatesNothing)
{
    const QString before = SettingsStore::rootFolder();
    EXPECT_FALSE(SettingsStore::setValue(Hive::LocalMachine, "SOFTWARE\\Nope\\Sub", "v", "1"));
    EXPECT_FALSE(SettingsStore::keyExists(Hive::LocalMachine, "SOFTWARE\\Nope"));
    EXPECT_FALSE(QFileInfo::exists(SettingsStore::keyFolder(Hive::LocalMachine, "SOFTWARE")));
    EXPECT_EQ(before, SettingsStore::rootFolder());
}

TEST(SettingsStore, AnyStringRoundTrips)
{
    ASSERT_TRUE(SettingsStore::createKey(Hive::CurrentUser, kKey));
    const QStringList values = {
        "",
        "plain",
        "line one\r\nline two\nthree",
        "a=b=c; [section] \"quoted\" 'single' \\back\\slash",
        QString::fromUtf8("Ψυχή — 日本語 — ملف — 🎵"),
        QString("nul") + QChar(0) + "inside",
        QString(5000, 'x'),
        "5 ",
    };
    int i = 0;
    for (const QString& v : values) {
        const QString name = QStringLiteral("v%1 with = and \n").arg(i++);
        ASSERT_TRUE(SettingsStore::setValue(Hive::CurrentUser, kKey, name, v));
        const auto back = SettingsStore::value(Hive::CurrentUser, kKey, name);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, v);
    }
}

TEST(SettingsStore, KeyNamesWithSlashesStayOneKey)
{
    const QString key = "Software\\Pelmora\\a/b\\..";
    ASSERT_TRUE(SettingsStore::createKey(Hive::CurrentUser, key));
    ASSERT_TRUE(SettingsStore::setValue(Hive::CurrentUser, key, "k", "v"));
    EXPECT_EQ(SettingsStore::subKeys(Hive::CurrentUser, "Software\\Pelmora"), QStringList{"a/b"});
    EXPECT_EQ(SettingsStore::value(Hive::CurrentUser, key, "k").value_or(""), "v");
}

TEST(SettingsStore, FailedWriteKeepsOldValue)
{
    ASSERT_TRUE(SettingsStore::createKey(Hive::LocalMachine, kKey));
    ASSERT_TRUE(SettingsStore::setValue(Hive::LocalMachine, kKey, "v", "old"));
    // A file-size limit makes the write fail half way, whatever our rights.
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool wrote = SettingsStore::setValue(Hive::LocalMachine, kKey, "v", QString(20000, 'n'));
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(wrote);
    EXPECT_EQ(SettingsStore::value(Hive::LocalMachine, kKey, "v").value_or(""), "old");
    const QStringList left = QDir(SettingsStore::keyFolder(Hive::LocalMachine, kKey)).entryList(QDir::Files);
    EXPECT_EQ(left, QStringList{"values.json"});
}

TEST(SettingsStore, CorruptValuesFileIsNeverOverwritten)
{
    ASSERT_TRUE(SettingsStore::createKey(Hive::LocalMachine, kKey));
    QFile f(SettingsStore::keyFolder(Hive::LocalMachine, kKey) + "/values.json");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{ not json");
    f.close();
    EXPECT_FALSE(SettingsStore::setValue(Hive::LocalMachine, kKey, "v", "x"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("{ not json"));
}

TEST(SettingsStore, DeleteValueAndKey)
{
    ASSERT_TRUE(SettingsStore::createKey(Hive::CurrentUser, kKey));
    EXPECT_EQ(SettingsStore::deleteValue(Hive::CurrentUser, kKey, "missing"), 2);
    ASSERT_TRUE(SettingsStore::setValue(Hive::CurrentUser, kKey, "v", "1"));
    EXPECT_EQ(SettingsStore::deleteValue(Hive::CurrentUser, kKey, "v"), 0);
    EXPECT_FALSE(SettingsStore::value(Hive::CurrentUser, kKey, "v").has_value());
    EXPECT_EQ(SettingsStore::deleteKey(Hive::CurrentUser, "SOFTWARE\\Test"), 5); // has sub-keys
    EXPECT_EQ(SettingsStore::deleteKey(Hive::CurrentUser, kKey), 0);
    EXPECT_FALSE(SettingsStore::keyExists(Hive::CurrentUser, kKey));
    EXPECT_EQ(SettingsStore::deleteKey(Hive::CurrentUser, kKey), 2);
}
