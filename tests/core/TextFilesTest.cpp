#include <QComboBox>
#include <csignal>
#include <sys/resource.h>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "core/TextFiles.h"
#include "platform/ProgramDir.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"

namespace {

using testenv::readBytes;
using testenv::writeBytes;
QStringList items(const QComboBox& box)
{
    QStringList out;
    for (int i = 0; i < box.count(); ++i)
        out << box.itemText(i);
    return out;
}
QByteArray historyOf(const QStringList& lines)
{
    QByteArray out;
    for (const QString& l : lines)
        out += (l + "\r\n").toUtf8();
    return out;
}
} // namespace

TEST(TextFiles, ReadTextFile)
{
    QTemporaryDir dir;
    const struct { QByteArray bytes; QString text; } cases[] = {
        {"A\r\nB\r\n", "A\r\nB"},
        {"A\nB\n", "A\r\nB"},     // LF-only files read too
        {"A\r\nB", "A\r\nB"},     // a last line without an end
        {"A", "A"},
        {"", ""},
        {"\r\n", "\r\n"},         // one empty line: two characters are not cut
        {"\r\n\r\n", "\r\n"},
        {"Gr\xc3\xbc\xc3\x9f" "e\r\n", QString::fromUtf8("Gr\u00fc\u00dfe")},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.toStdString());
        const QString path = dir.filePath(QString::number(n++));
        writeBytes(path, c.bytes);
        EXPECT_EQ(ReadTextFile(path), c.text);
    }
    EXPECT_EQ(ReadTextFile(dir.filePath("missing")), "");
    EXPECT_EQ(ReadTextFile(dir.path()), "") << "a folder reads as nothing";
}

TEST(TextFiles, WriteTextFileReplacesTheWholeFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("notes");
    writeBytes(path, QByteArray(500, 'z'));
    WriteTextFile("A\r\nB", path);
    EXPECT_EQ(readBytes(path), QByteArray("A\r\nB\r\n"));
    WriteTextFile("", path);
    EXPECT_EQ(readBytes(path), QByteArray("\r\n"));
    WriteTextFile(QString::fromUtf8("\u00e9t\u00e9"), path);
    EXPECT_EQ(readBytes(path), QByteArray("\xc3\xa9t\xc3\xa9\r\n"));
    EXPECT_EQ(ReadTextFile(path), QString::fromUtf8("\u00e9t\u00e9"));

    WriteTextFile("x", dir.filePath("no/such/folder/file"));
    EXPECT_FALSE(QFile::exists(dir.filePath("no/such/folder/file")));
}

TEST(TextFiles, AWriteCutShortByAFullDiskLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("notes");
    writeBytes(path, "old text\r\n");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    WriteTextFile(QString(5000, 'n'), path);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(readBytes(path), QByteArray("old text\r\n"));
}

TEST(TextFiles, FillComboSkipsEmptyLines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("FileNameFormats.txt");
    writeBytes(path, "[ARTIST] - [TITLE]\r\n\r\n[TRACK]. [TITLE]\r\n");
    QComboBox box;
    box.addItem("old");
    FillComboFromTextFile(path, &box);
    EXPECT_EQ(items(box), QStringList({"[ARTIST] - [TITLE]", "[TRACK]. [TITLE]"}));
    // A file saved by an editor that ends its lines LF alone.
    writeBytes(path, "[ARTIST] - [TITLE]\n\n[TRACK]. [TITLE]\r\n[TITLE]");
    FillComboFromTextFile(path, &box);
    EXPECT_EQ(items(box), QStringList({"[ARTIST] - [TITLE]", "[TRACK]. [TITLE]", "[TITLE]"}));
    FillComboFromTextFile(dir.filePath("missing"), &box);
    EXPECT_EQ(box.count(), 0);
}

// Blank lines are no templates. A file without a template leaves the
// built-in list in the box; a template keeps its own blanks.
TEST(TextFiles, FileNameTemplatesAreTheFilesNonBlankLines)
{
    const QString path = FileNameFormatsFile();
    const QStringList builtIn = {"[file_name].[dest_extension]", "[123].[dest_extension]"};
    struct Case {
        const char* what;
        const char* bytes; // null: no file
        QStringList entries;
    } cases[] = {
        {"no file", nullptr, builtIn},
        {"an empty file", "", builtIn},
        {"blank lines only", "  \r\n\t\r\n\r\n \t ", builtIn},
        {"blank lines around templates", " \r\n  [123] mine.[dest_extension]\r\n\t\r\n[item_name]\r\n",
         {"  [123] mine.[dest_extension]", "[item_name]"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path);
        if (c.bytes)
            writeBytes(path, c.bytes);
        QComboBox box;
        box.addItems(builtIn);
        EXPECT_EQ(LoadFileNameTemplates(&box), c.entries != builtIn);
        EXPECT_EQ(items(box), c.entries);
    }
    QFile::remove(path);
}

TEST(PathHistory, MissingFileIsCreatedEmpty)
{
    const QString file = AppPath() + "/PathHistory";
    // Other tests of this run may have made one.
    QFile::remove(file);
    QComboBox box;
    box.setEditable(true);
    LoadPathHistory(&box);
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(readBytes(file), QByteArray());
    EXPECT_EQ(box.count(), 0);
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(PathHistoryFile(), file);
}

TEST(PathHistory, UsedFolderMovesToTheTopAndTheBoxSelectsIt)
{
    const QString file = PathHistoryFile();
    writeBytes(file, historyOf({"/d/A/", "/c/Out/"}));
    QComboBox box;
    box.setEditable(true);
    int selections = 0;
    QStringList seenWhenSelected;
    QObject::connect(&box, &QComboBox::currentIndexChanged, [&](int) {
        ++selections;
        seenWhenSelected = items(box);
    });
    box.setEditText("/c/Out/");
    SavePathHistory(&box);
    EXPECT_EQ(readBytes(file), historyOf({"/c/Out/", "/d/A/"}));
    selections = 0;
    LoadPathHistory(&box);
    EXPECT_EQ(items(box), QStringList({"/c/Out/", "/d/A/"}));
    EXPECT_EQ(box.currentIndex(), 0);
    EXPECT_EQ(box.currentText(), "/c/Out/");
    EXPECT_EQ(selections, 1) << "the selection handler runs once, on the finished list";
    EXPECT_EQ(seenWhenSelected, items(box));
}

TEST(PathHistory, KeepsSixteenNewestUniqueLines)
{
    QComboBox box;
    box.setEditable(true);
    QStringList expected;
    for (int i = 1; i <= 17; ++i) {
        box.setEditText(QString("/f%1/").arg(i));
        SavePathHistory(&box);
        expected.prepend(QString("/f%1/").arg(i));
    }
    expected.removeLast(); // the oldest, /f1/, is dropped
    EXPECT_EQ(readBytes(PathHistoryFile()), historyOf(expected));

    // Letter case makes a different folder; the same text only moves.
    box.setEditText("/F17/");
    SavePathHistory(&box);
    box.setEditText("/f10/");
    SavePathHistory(&box);
    LoadPathHistory(&box);
    const QStringList now = items(box);
    ASSERT_EQ(now.size(), 16);
    EXPECT_EQ(now.mid(0, 3), QStringList({"/f10/", "/F17/", "/f17/"}));
    EXPECT_EQ(now.count("/f10/"), 1);
    EXPECT_FALSE(now.contains("/f2/"));
}

TEST(PathHistory, DuplicateLinesInTheFileDoNotStopTheHistory)
{
    writeBytes(PathHistoryFile(), historyOf({"/a/", "/b/", "/a/"}));
    QComboBox box;
    box.setEditable(true);
    box.setEditText("/c/");
    SavePathHistory(&box);
    EXPECT_EQ(readBytes(PathHistoryFile()), historyOf({"/c/", "/a/", "/b/"}));
}

TEST(PathHistory, EmptyTextIsStoredAsItIs)
{
    writeBytes(PathHistoryFile(), historyOf({"/a/"}));
    QComboBox box;
    box.setEditable(true);
    box.setEditText("");
    SavePathHistory(&box);
    EXPECT_EQ(readBytes(PathHistoryFile()), QByteArray("\r\n/a/\r\n"));
    LoadPathHistory(&box);
    EXPECT_EQ(items(box), QStringList({"", "/a/"}));
}

TEST(LogLine, AppendsTimeMessageAndLineEndAndScrolls)
{
    QPlainTextEdit log;
    log.setPlainText("earlier line\n");
    log.moveCursor(QTextCursor::Start);
    AddLogLine("Done.", &log);
    AddLogLine("Error: 12: a:b", &log);
    const QStringList lines = log.toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "earlier line");
    const QRegularExpression time("^\\d{1,2}:\\d{2}:\\d{2}$");
    EXPECT_TRUE(time.match(lines[1].left(lines[1].size() - QString(":Done.").size())).hasMatch()) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(":Done."));
    EXPECT_TRUE(lines[2].endsWith(":Error: 12: a:b"));
    EXPECT_EQ(lines[3], "") << "every line ends with a line end";
    EXPECT_EQ(log.textCursor().position(), log.document()->characterCount() - 1);
    EXPECT_TRUE(time.match(LogTimeText()).hasMatch());
}

// A history that cannot be written is told once, with its path, until a save
// works again; the box keeps the text the user gave.
TEST(PathHistory, AFailedSaveIsToldOnceUntilASaveWorksAgain)
{
    writeBytes(PathHistoryFile(), historyOf({"/a/"}));
    QComboBox box;
    box.setEditable(true);
    testenv::ScriptedMessageBoxes boxes;
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 8;
    setrlimit(RLIMIT_FSIZE, &small);
    box.setEditText("/a rather long folder name/");
    const bool first = SavePathHistory(&box);
    box.setEditText("/another long folder name/");
    const bool second = SavePathHistory(&box);
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_TRUE(boxes.prompts()[0].contains(PathHistoryFile())) << boxes.prompts()[0].toStdString();
    EXPECT_EQ(box.currentText(), "/another long folder name/");
    EXPECT_EQ(readBytes(PathHistoryFile()), historyOf({"/a/"}));

    // Working again: saved, and a later failure is told again.
    EXPECT_TRUE(SavePathHistory(&box));
    EXPECT_EQ(readBytes(PathHistoryFile()), historyOf({"/another long folder name/", "/a/"}));
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_FALSE(SavePathHistory(&box));
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(boxes.prompts().size(), 2);
    EXPECT_TRUE(SavePathHistory(&box));
}

TEST(TextFiles, WriteTextFileSaysWhetherItWrote)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_TRUE(WriteTextFile("x", dir.filePath("ok"), &error));
    EXPECT_FALSE(WriteTextFile("x", dir.filePath("no/such/folder/file"), &error));
    EXPECT_FALSE(error.isEmpty());
}
