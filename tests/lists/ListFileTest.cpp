// The list file: the bytes the writer produces, the field reader, values that
// would break a record, and when a save is refused.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <functional>
#include <iterator>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>

#include "lists/ListFile.h"
#include "lists/ListLoader.h"
#include "tests/lists/ListsWindow.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"

namespace {

using testenv::readBytes;
using testenv::writeBytes;

// A lists folder with one list selected and shown (loaded from its empty file).
struct ShownList {
    ListsWindow w;
    QString dir = testenv::tempRoot() + "/Lists/";
    QString path = dir + "Rock.flst";
    cTreeNode node;

    ShownList()
    {
        // A fresh lists folder, whatever ran before.
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        writeBytes(path, "");
        g_sItemsListDir = dir;
        g_bCopyID3FromSource = false;
        setTree();
        node = cTreeView1().Nodes().NodeItem(path);
        cTreeView1_NodeClick(node);
    }
    cTreeView& cTreeView1() { return *w.cTreeView1; }
};

TEST(ListFileTest, OneRowSavesToTheExactRecordAndNoRowsToALineEnd)
{
    ShownList s;
    TestRow row{1, "intro", "/music/intro.mp3"};
    row.tags[1] = "Band";
    addTestRow(s.w.cGrid1, row);
    ASSERT_TRUE(SaveGridToFile());
    EXPECT_EQ(readBytes(s.path),
              QByteArray("<ITEM><Inc>1</Inc><Type>Audio</Type><Item Name>intro</Item Name><COL_FILE>/music/intro.mp3"
                         "</COL_FILE><COL_RANGE_ALL>1</COL_RANGE_ALL><COL_RANGE_START_TIME></COL_RANGE_START_TIME>"
                         "<COL_RANGE_LENGTH_TIME></COL_RANGE_LENGTH_TIME><COL_TAG_ALBUM></COL_TAG_ALBUM>"
                         "<COL_TAG_ARTIST>Band</COL_TAG_ARTIST><COL_TAG_COMMENT></COL_TAG_COMMENT><COL_TAG_GEN>"
                         "</COL_TAG_GEN><COL_TAG_YEAR></COL_TAG_YEAR><COL_TAG_TITLE></COL_TAG_TITLE><COL_TAG_TRACK>"
                         "</COL_TAG_TRACK></ITEM>\r\n"));

    // Two rows are two records on the one line, in row order; a data-track
    // icon is still written as "Audio", an unmarked row as 0, a range as it is.
    TestRow second{0, "ü-näme", "/music/b.wav", "00:01:00", 10, "0", "30", "60"};
    addTestRow(s.w.cGrid1, second);
    s.w.cGrid1->setCellIcon(2, 2, kIconData);
    ASSERT_TRUE(SaveGridToFile());
    const QString text = QString::fromUtf8(readBytes(s.path));
    EXPECT_EQ(text.count("<ITEM>"), 2);
    EXPECT_EQ(text.count("\r\n"), 1);
    EXPECT_TRUE(text.endsWith("</ITEM>\r\n"));
    EXPECT_TRUE(text.contains("<ITEM><Inc>0</Inc><Type>Audio</Type><Item Name>ü-näme</Item Name>"));
    EXPECT_TRUE(text.contains("<COL_RANGE_ALL>0</COL_RANGE_ALL><COL_RANGE_START_TIME>30</COL_RANGE_START_TIME>"
                              "<COL_RANGE_LENGTH_TIME>60</COL_RANGE_LENGTH_TIME>"));

    s.w.cGrid1->ClearRows();
    ASSERT_TRUE(SaveGridToFile());
    EXPECT_EQ(readBytes(s.path), QByteArray("\r\n"));
}

TEST(ListFileTest, FieldReaderTable)
{
    const QString rec = "<Inc>1</Inc><Type>Audio</Type><Item Name>a</Item Name><COL_FILE>/x.wav</COL_FILE>"
                        "<COL_TAG_ARTIST>first</COL_TAG_ARTIST><COL_TAG_ARTIST>second</COL_TAG_ARTIST></ITEM>";
    struct Case {
        const char* key;
        QString record;
        const char* value;
    };
    const Case cases[] = {
        {"Inc", rec, "1"},
        {"Item Name", rec, "a"},
        {"COL_FILE", rec, "/x.wav"},
        {"COL_TAG_ARTIST", rec, "first"},                    // the first occurrence wins
        {"COL_TAG_ALBUM", rec, ""},                          // missing field
        {"col_file", rec, ""},                               // tags are case-sensitive
        {"COL_FILE", "<COL_FILE>/y.wav", ""},                // no closing tag
        {"COL_FILE", "/y.wav</COL_FILE>", ""},               // no opening tag
        {"COL_FILE", "</COL_FILE><COL_FILE>/z.wav</COL_FILE>", "/z.wav"}, // a stray closing tag before it
        {"COL_FILE", "<COL_FILE></COL_FILE>", ""},
        {"Item Name", "<Item Name>two\r\nlines</Item Name>", "two\r\nlines"},
        {"Item Name", "<Type>Audio</Type>junk<Item Name>b</Item Name><Extra>x</Extra>", "b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetItemField(c.key, c.record), c.value) << c.key << " in " << c.record.toStdString();
}

TEST(ListFileTest, ValuesThatWouldBreakARecordAreRefusedOrWrittenHarmless)
{
    testenv::ScriptedMessageBoxes boxes;
    struct Case {
        const char* value;
        const char* markup;
    };
    const Case cases[] = {
        {"plain name", ""},
        {"a <b> c", ""},
        {"<item>", ""},
        {"x<ITEM>y", "<ITEM>"},
        {"Best </COL_FILE> ever", "</COL_FILE>"},
        {"<Item Name>", "<Item Name>"},
        {"<Inc>", "<Inc>"},
        {"</ITEM>", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindItemsListMarkup(c.value), c.markup) << c.value;
        EXPECT_EQ(CheckItemsListText(c.value), QString(c.markup).isEmpty()) << c.value;
        if (QString(c.markup).isEmpty())
            EXPECT_EQ(ItemsListSafeText(c.value), c.value);
        else
            EXPECT_TRUE(FindItemsListMarkup(ItemsListSafeText(c.value)).isEmpty()) << c.value;
    }
    ASSERT_EQ(boxes.prompts().size(), 4);
    EXPECT_EQ(boxes.prompts()[0], "The text \"<ITEM>\" cannot be part of an item's name or tags: items lists use it "
                                  "to mark their items.");
    EXPECT_EQ(boxes.shown()[0].icon(), vbInformation);

    // A row that already holds such texts (read from an audio file's own tags)
    // still saves to one record per row, every other field intact.
    ShownList s;
    TestRow evil{1, "name<ITEM>split", "/music/a.wav"};
    evil.tags[0] = "</COL_TAG_ALBUM><COL_TAG_ARTIST>fake";
    evil.tags[1] = "real artist";
    addTestRow(s.w.cGrid1, evil);
    addTestRow(s.w.cGrid1, {0, "next", "/music/b.wav"});
    ASSERT_TRUE(SaveGridToFile());
    const QString text = QString::fromUtf8(readBytes(s.path));
    const QStringList pieces = text.split("<ITEM>");
    ASSERT_EQ(pieces.size(), 3);
    EXPECT_EQ(GetItemField("Item Name", pieces[1]), QString("name") + QChar(0xFF1C) + "ITEM>split");
    EXPECT_EQ(GetItemField("COL_FILE", pieces[1]), "/music/a.wav");
    EXPECT_EQ(GetItemField("COL_TAG_ARTIST", pieces[1]), "real artist");
    EXPECT_EQ(GetItemField("COL_TAG_ALBUM", pieces[1]),
              QChar(0xFF1C) + QString("/COL_TAG_ALBUM>") + QChar(0xFF1C) + "COL_TAG_ARTIST>fake");
    EXPECT_EQ(GetItemField("Item Name", pieces[2]), "next");
}

TEST(ListFileTest, ReadingJoinsLinesAndTellsAnUnreadableFile)
{
    const QString dir = testenv::tempRoot() + "/";
    struct Case {
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {"", ""},
        {"\r\n", "\r\n"},
        {"\n", "\r\n"},
        {"<ITEM>a</ITEM>\r\n", "<ITEM>a</ITEM>"},
        {"<ITEM>a</ITEM>", "<ITEM>a</ITEM>"},
        {"<ITEM>a\r\nb</ITEM>\r\n", "<ITEM>a\r\nb</ITEM>"},
        {"<ITEM>a\nb</ITEM>\n", "<ITEM>a\r\nb</ITEM>"},
        {"<ITEM>\xC3\xBC</ITEM>\r\n", QString("<ITEM>") + QChar(0xFC) + "</ITEM>"},
        // Not UTF-8: read byte for byte rather than lost.
        {"<ITEM>\xFC</ITEM>\r\n", QString("<ITEM>") + QChar(0xFC) + "</ITEM>"},
        {"<ITEM>long ascii run\xF0\x9F\x8E\xB5 and more ascii</ITEM>",
         "<ITEM>long ascii run" + QString::fromUtf8("\xF0\x9F\x8E\xB5") + " and more ascii</ITEM>"},
        {"\xEF\xBB\xBF<ITEM>a</ITEM>", "<ITEM>a</ITEM>"}, // a UTF-8 mark at the start is no text
        {"<ITEM>cut short at the end \xC3", "<ITEM>cut short at the end " + QString(QChar(0xC3))},
        {"<ITEM>\xC3<\xBC</ITEM>", QString("<ITEM>") + QChar(0xC3) + "<" + QChar(0xBC) + "</ITEM>"},
        {"<ITEM>overlong \xC0\xAF</ITEM>", "<ITEM>overlong " + QString(QChar(0xC0)) + QChar(0xAF) + "</ITEM>"},
        {"<ITEM>surrogate \xED\xA0\x80</ITEM>",
         "<ITEM>surrogate " + QString(QChar(0xED)) + QChar(0xA0) + QChar(0x80) + "</ITEM>"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString path = dir + QString::number(++n) + ".flst";
        writeBytes(path, c.bytes);
        QString text = "old";
        EXPECT_TRUE(ReadItemsListFile(path, text));
        EXPECT_EQ(text, c.text) << n;
    }
    QString text = "old";
    EXPECT_TRUE(ReadItemsListFile(dir + "missing.flst", text));
    EXPECT_EQ(text, "");
    QDir().mkpath(dir + "folder.flst");
    EXPECT_FALSE(ReadItemsListFile(dir + "folder.flst", text));
}

TEST(ListFileTest, SavesGoOnlyToTheWholeListOfTheShownFile)
{
    ShownList s;
    addTestRow(s.w.cGrid1, {1, "a", "/music/a.wav"});
    ASSERT_TRUE(SaveGridToFile());
    const QByteArray saved = readBytes(s.path);

    // Another list selected without being loaded (the tree rebuilt for a new
    // folder, say): the rows on show belong to Rock, never to it.
    writeBytes(s.dir + "Jazz.flst", "<ITEM><Inc>1</Inc></ITEM>\r\n");
    setTree();
    cTreeNode jazz = s.w.cTreeView1->Nodes().NodeItem(s.dir + "Jazz.flst");
    jazz.setNodeSelected(true);
    EXPECT_FALSE(SaveGridToFile());
    EXPECT_EQ(readBytes(s.dir + "Jazz.flst"), QByteArray("<ITEM><Inc>1</Inc></ITEM>\r\n"));

    // A root or nothing selected: nothing is written.
    g_nodItemsLists.setNodeSelected(true);
    EXPECT_FALSE(SaveGridToFile());
    s.w.cTreeView1->SelectedNode().setNodeSelected(false);
    EXPECT_FALSE(SaveGridToFile());

    // Rock selected again with its rows: saves again.
    s.w.cTreeView1->Nodes().NodeItem(s.path).setNodeSelected(true);
    EXPECT_TRUE(SaveGridToFile());
    EXPECT_EQ(readBytes(s.path), saved);

    // While a list loads, nothing is saved.
    setListLoading(true);
    EXPECT_FALSE(SaveGridToFile());
    setListLoading(false);
}

TEST(ListFileTest, AFailedWriteLeavesTheOldFileWhole)
{
    ShownList s;
    for (int i = 0; i < 20; ++i)
        addTestRow(s.w.cGrid1, {1, QStringLiteral("item %1").arg(i), QStringLiteral("/music/%1.wav").arg(i)});
    ASSERT_TRUE(SaveGridToFile());
    const QByteArray before = readBytes(s.path);
    addTestRow(s.w.cGrid1, {1, "one more", "/music/x.wav"});

    // A disk that fills up half way through the write.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    testenv::ScriptedMessageBoxes boxes;
    const bool saved = SaveGridToFile();
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_FALSE(saved);
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_TRUE(boxes.prompts()[0].contains(s.path));
    // The message names the cause the system gave.
    EXPECT_TRUE(boxes.prompts()[0].contains(QString::fromLocal8Bit(std::strerror(EFBIG))))
        << boxes.prompts()[0].toStdString();
    EXPECT_EQ(s.w.statusPanel("Main"), "Items list not saved.");
    EXPECT_EQ(readBytes(s.path), before);
    EXPECT_EQ(QDir(s.dir).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // The next save that works stores the list and takes the note away.
    ASSERT_TRUE(SaveGridToFile());
    EXPECT_EQ(s.w.statusPanel("Main"), "Ready.");
    EXPECT_EQ(QString::fromUtf8(readBytes(s.path)).count("<ITEM>"), 21);
}

// Runs body on a thread of its own on which every write() of exactly `count`
// bytes fails as on a full disk; false when the system allows no such filter.
// The filter goes with the thread.
bool onThreadWithFullDisk(unsigned count, const std::function<void()>& body)
{
#if defined(__x86_64__)
    bool installed = false;
    std::thread t([&] {
        sock_filter code[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_write, 0, 3),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])), // the count's low half
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, count, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSPC),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            return;
        installed = true;
        body();
    });
    t.join();
    return installed;
#else
    Q_UNUSED(count);
    Q_UNUSED(body);
    return false;
#endif
}

// The disk fills up during the write: the kernel writes what fits, and the
// write of the rest fails. The error names that cause.
TEST(ListFileTest, AWriteCutShortByAFullDiskNamesTheCause)
{
    const QString dir = testenv::tempRoot() + "/Full/";
    QDir().mkpath(dir);
    const QString path = dir + "Full.flst";
    writeBytes(path, "<ITEM>old</ITEM>\r\n");
    const QString text = "<ITEM>" + QString(5000, 'x') + "</ITEM>";
    const unsigned fits = 1000;
    const unsigned rest = unsigned(text.toUtf8().size() + 2) - fits;

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = fits;
    bool written = true;
    QString error;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool filtered = onThreadWithFullDisk(rest, [&] { written = WriteItemsListFile(path, text, &error); });
    setrlimit(RLIMIT_FSIZE, &old);
    if (!filtered)
        GTEST_SKIP() << "no system call filter on this system";

    EXPECT_FALSE(written);
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(ENOSPC)));
    EXPECT_EQ(readBytes(path), QByteArray("<ITEM>old</ITEM>\r\n"));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

} // namespace
