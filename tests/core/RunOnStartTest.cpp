#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "core/Edition.h"
#include "core/RunOnStart.h"
#include "platform/ProgramDir.h"
#include "tests/support/TestEnv.h"

namespace {
QString autostartFile()
{
    return QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/autostart/Kelvane.desktop";
}
QString execLine()
{
    QFile f(autostartFile());
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("Exec="))
            return QString::fromUtf8(line.mid(5));
    return "<no Exec>";
}
void rewriteExec(const QString& exec)
{
    QFile f(autostartFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(("[Desktop Entry]\nType=Application\nName=Kelvane\nExec=" + exec + "\n").toUtf8());
}
struct RunOnStart : ::testing::Test {
    void SetUp() override { SetAppModes(); }
    void TearDown() override { platform::setProgramDir(QString()); }
};
} // namespace

TEST_F(RunOnStart, WritesTheProgramQuotedWithTheTraySwitch)
{
    testenv::ScriptedMessageBoxes boxes;
    EXPECT_FALSE(IsRunOnStart());
    EXPECT_EQ(SetRunOnStart(true), 1);
    EXPECT_EQ(RunOnStartFile(), autostartFile());
    const QString expected = "\"" + testenv::programDir() + "/" + platform::programName() + "\" -st";
    EXPECT_EQ(RunOnStartCommand(), expected);
    EXPECT_EQ(execLine(), expected);
    EXPECT_TRUE(IsRunOnStart());

    EXPECT_EQ(SetRunOnStart(false), 0);
    EXPECT_FALSE(QFile::exists(autostartFile()));
    EXPECT_FALSE(IsRunOnStart());
    EXPECT_EQ(SetRunOnStart(false), 2) << "nothing to remove";
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(RunOnStart, ComparesExactly)
{
    ASSERT_EQ(SetRunOnStart(true), 1);
    const QString stored = execLine();

    rewriteExec(stored.toUpper());
    EXPECT_FALSE(IsRunOnStart()) << "the same path in other letter case";
    rewriteExec(stored + " ");
    EXPECT_FALSE(IsRunOnStart());
    rewriteExec(stored);
    EXPECT_TRUE(IsRunOnStart());

    // The program moved: the entry no longer matches until it is written again.
    const QString moved = testenv::tempRoot() + "/moved";
    QDir().mkpath(moved);
    platform::setProgramDir(moved);
    EXPECT_FALSE(IsRunOnStart());
    EXPECT_EQ(SetRunOnStart(true), 1);
    EXPECT_TRUE(IsRunOnStart());
    EXPECT_TRUE(execLine().startsWith("\"" + moved + "/"));
}

TEST_F(RunOnStart, FolderWithCharactersTheEntryMustEscape)
{
    const QString odd = testenv::tempRoot() + "/my $dir \"100%\" back\\slash";
    ASSERT_TRUE(QDir().mkpath(odd));
    platform::setProgramDir(odd);
    ASSERT_EQ(SetRunOnStart(true), 1);
    EXPECT_TRUE(IsRunOnStart());
    // The stored text follows the entry's quoting rules.
    EXPECT_TRUE(execLine().contains("my \\\\$dir \\\\\"100%%\\\\\" back\\\\\\\\slash")) << execLine().toStdString();
}
