#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolTip>
#include <gtest/gtest.h>

#include "core/PathNames.h"
#include "tests/support/TestEnv.h"

namespace {
void touch(const QString& path, const QByteArray& data = "x")
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}
} // namespace

TEST(PathNames, TakesPathsApart)
{
    const struct { const char* path; const char* name; const char* folder; const char* folderOfFile; } cases[] = {
        {"/a/b.wav", "b.wav", "/a/", "/a/"},
        {"b.wav", "b.wav", "", ""},
        {"/a/", "", "/a/", ""},
        {"", "", "", ""},
        {"/b.wav", "b.wav", "/", "/"},
        {"a/b/c.wav", "c.wav", "a/b/", "a/b/"},
        // An empty element neither discards the gathered folders nor the root.
        {"/a//b.wav", "b.wav", "/a/", "/a//"},
        {"//srv/share/f.wav", "f.wav", "/srv/share/", "//srv/share/"},
        // The file name also appears earlier in the path.
        {"/x/b/b", "b", "/x/b/", "/x/b/"},
        {"/music/ab/b", "b", "/music/ab/", "/music/ab/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(GetFileNameFromPath(c.path), c.name);
        EXPECT_EQ(GetFolderFromPath(c.path), c.folder);
        EXPECT_EQ(GetFolderOfFile(c.path), c.folderOfFile);
    }
}

TEST(PathNames, Extensions)
{
    const struct { const char* name; const char* ext; const char* last; const char* without; } cases[] = {
        {"song.wav", "wav", "wav", "song"},
        {"a.flac", "flac", "flac", "a"},
        {"x.abcdefghijklmnop", "abcdefghijkl", "abcdefghijklmnop", "x"},
        {"a.b.wav", "wav", "wav", "a.b"},
        {"My List.flst", "flst", "flst", "My List"},
        {"noext", "", "", "noext"},
        {"", "", "", ""},
        {"/a.b/c", "b/c", "b/c", "/a"},
        {"trailing.", "", "", "trailing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetExtension(c.name), c.ext);
        EXPECT_EQ(GetLastExtension(c.name), c.last);
        EXPECT_EQ(RemoveExtension(c.name), c.without);
    }
}

TEST(PathNames, CleanAndValidNames)
{
    const struct { QString name; QString clean; bool valid; } cases[] = {
        {"My List (2)", "My-List--2-", true},
        {"Rock & Roll: Live!", "Rock---Roll--Live-", false},
        {"a.b_c-d", "a.b_c-d", true},
        {"what?", "what-", false},
        {"", "", true},
        {"x/y", "x-y", false},
        {"a|b", "a-b", false},
        {"\"q\"", "-q-", false},
        {QString::fromUtf8("Caf\u00e9 \u20ac5 \u00bd"), QString::fromUtf8("Caf\u00e9--5--"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(CleanFileName(c.name), c.clean);
        EXPECT_EQ(IsValidFileName(c.name), c.valid);
    }
    const QString all = QString::fromUtf8("!/\\;:, $+&[](){}?*|<>\u05D6\uF893\u20AC@\u00A8~\u00B4`=%\u00BD#\u00A3'\"\u05D9");
    ASSERT_EQ(all.size(), 37);
    EXPECT_EQ(CleanFileName(all), QString(37, '-'));
    for (QChar c : QString("/\\:?*<>\"|"))
        EXPECT_FALSE(IsValidFileName(QString("a") + c)) << QString(c).toStdString();
}

TEST(PathNames, IllegalNameKeyShowsTheTipAndDropsTheKey)
{
    EXPECT_EQ(IllegalNameTipText(), QString("Illegal name.\r\n\r\nThe chars:   /\\:?*<>\"|   are not legal."));
    QLineEdit box;
    box.show();
    int key = 'a';
    FilterIllegalNameKey(&box, key);
    EXPECT_EQ(key, 'a');
    EXPECT_FALSE(QToolTip::isVisible());

    key = '*';
    FilterIllegalNameKey(&box, key);
    EXPECT_EQ(key, 0);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), IllegalNameTipText());
}

TEST(PathNames, FilesAndFoldersAreTakenLiterally)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    touch(d + "/a.wav");
    EXPECT_TRUE(FileExists(d + "/a.wav"));
    EXPECT_FALSE(IsFolder(d + "/a.wav"));
    EXPECT_FALSE(FileExists(d)) << "a folder is no file";
    EXPECT_TRUE(IsFolder(d));
    EXPECT_FALSE(IsFolder(d + "/missing"));
    EXPECT_FALSE(FileExists(""));

    // Patterns are names like any other, never wildcards.
    EXPECT_FALSE(FileExists(d + "/*.wav"));
    EXPECT_FALSE(RemoveFile(d + "/*.wav"));
    EXPECT_TRUE(QFile::exists(d + "/a.wav"));
    touch(d + "/*.wav");
    EXPECT_TRUE(FileExists(d + "/*.wav"));
    EXPECT_TRUE(RemoveFile(d + "/*.wav"));
    EXPECT_FALSE(QFile::exists(d + "/*.wav"));
    EXPECT_TRUE(QFile::exists(d + "/a.wav"));

    EXPECT_FALSE(RemoveFile(d + "/missing.wav"));
    EXPECT_FALSE(RemoveFile(d)) << "folders are not removed";
    EXPECT_TRUE(QDir(d).exists());
    EXPECT_TRUE(RemoveFile(d + "/a.wav"));
    EXPECT_FALSE(QFile::exists(d + "/a.wav"));
}

TEST(PathNames, CreateFolderPath)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    EXPECT_EQ(CreateFolderPath(d + "/x/y/"), 0);
    EXPECT_TRUE(QDir(d + "/x/y").exists());
    EXPECT_EQ(CreateFolderPath(d + "/x/y/"), 0) << "again: nothing to do";
    EXPECT_EQ(CreateFolderPath(d + "/p/q"), 0) << "without the final separator";
    EXPECT_TRUE(QDir(d + "/p/q").exists());
    EXPECT_EQ(CreateFolderPath(""), 0);

    // A file in the way: an error number, and the folders made before it stay.
    EXPECT_EQ(CreateFolderPath(d + "/m/n/"), 0);
    touch(d + "/m/n/file", "");
    EXPECT_NE(CreateFolderPath(d + "/m/n/file/deeper/"), 0);
    EXPECT_TRUE(QDir(d + "/m/n").exists());
    EXPECT_FALSE(QDir(d + "/m/n/file/deeper").exists());
}

TEST(PathNames, CreateFolderPathReportsAFolderNobodyMayMake)
{
    // Nobody, not even root, makes folders inside /proc.
    EXPECT_NE(CreateFolderPath("/proc/kelvane-test/a/"), 0);
    EXPECT_FALSE(QDir("/proc/kelvane-test").exists());
}

TEST(PathNames, ShellOpenGoesToTheShellService)
{
    testenv::RecordingShell shell;
    ShellOpen(nullptr, "/music/out/");
    ShellOpen(nullptr, "https://www.quorvex.example/");
    ASSERT_EQ(shell.requests().size(), 2u);
    EXPECT_EQ(shell.requests()[0].kind, platform::ShellRequest::Open);
    EXPECT_EQ(shell.requests()[0].target, "/music/out/");
    EXPECT_EQ(shell.requests()[1].target, "https://www.quorvex.example/");
}
