// The tree of lists: building it from the lists folder, node keys, renaming,
// removing, new names and the rule that a command needs a list.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <unistd.h>

#include "lists/ListFile.h"
#include "lists/ListLoader.h"
#include "lists/ListTree.h"
#include "tests/lists/ListsWindow.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"

namespace {

using testenv::readBytes;
using testenv::writeBytes;

// "key|text|image|selected image" of each child of a node.
QStringList childrenOf(const cTreeNode& node)
{
    QStringList out;
    const cTreeNodes kids = node.ChildNodes();
    for (int i = 1; i <= kids.NodeCount(); ++i) {
        const cTreeNode n = kids.NodeItem(i);
        out << QStringLiteral("%1|%2|%3|%4").arg(n.NodeKey(), n.NodeText()).arg(n.NodeImage()).arg(n.NodeSelectedImage());
    }
    return out;
}

class ListTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testenv::tempRoot() + "/Lists/";
        // Every test starts from an empty lists folder, whatever ran before it.
        QDir(dir).removeRecursively();
        g_sItemsListDir = dir;
        g_bCopyID3FromSource = false;
    }
    void makeLists(const QStringList& names)
    {
        QDir().mkpath(dir);
        for (const QString& n : names)
            writeBytes(dir + n, "");
    }
    cTreeNode node(const QString& name) { return w.cTreeView1->Nodes().NodeItem(dir + name); }
    // Ends an in-place edit as the tree does: the handler, then the text.
    bool edit(cTreeNode n, const QString& text)
    {
        QString newString = text;
        bool cancel = false;
        cTreeView1_AfterLabelEdit(n, newString, cancel);
        if (!cancel)
            n.setNodeText(newString);
        return cancel;
    }

    ListsWindow w;
    QString dir;
};

TEST_F(ListTreeTest, AnEmptyOrMissingFolderGetsTheFirstNewList)
{
    for (const bool exists : {false, true}) {
        QDir(dir).removeRecursively();
        if (exists)
            QDir().mkpath(dir);
        setTree();
        const QString first = dir + "New Items List 1.flst";
        ASSERT_TRUE(QFileInfo(first).isFile());
        EXPECT_EQ(QFileInfo(first).size(), 0);
        ASSERT_TRUE(g_nodItemsLists);
        EXPECT_EQ(g_nodItemsLists.NodeKey(), "##MAINITEMS" + dir);
        EXPECT_EQ(g_nodItemsLists.NodeText(), "Items Lists");
        EXPECT_EQ(g_nodItemsLists.NodeImage(), 17);
        EXPECT_EQ(childrenOf(g_nodItemsLists), QStringList{first + "|New Items List 1|42|43"});
        EXPECT_EQ(w.cTreeView1->ImageList(), w.imgMenu);
        EXPECT_EQ(w.cTreeView1->Nodes().NodeCount(), 1);
    }
}

TEST_F(ListTreeTest, ListsAreTheFilesWhoseNameHoldsTheExtension)
{
    makeLists({"b.flst", "A.flst", "songs.flst.bak", "songs.FLST", "notes.txt", ".hidden.flst"});
    QDir().mkpath(dir + "folder.flst");
    setTree();
    EXPECT_EQ(childrenOf(g_nodItemsLists), (QStringList{dir + "A.flst|A|42|43", dir + "b.flst|b|42|43",
                                                        dir + "songs.flst.bak|songs.flst|42|43"}));
    EXPECT_TRUE(g_nodItemsLists.NodeExpanded());
    EXPECT_FALSE(g_nodAudioCDs);
    // Nothing was created in a folder that has files.
    EXPECT_FALSE(QFileInfo::exists(dir + "New Items List 1.flst"));
    // Roots are no lists: their names cannot be edited, the lists' can.
    EXPECT_FALSE(g_nodItemsLists.NodeEditable());
    EXPECT_TRUE(node("A.flst").NodeEditable());

    // A folder of other files only: no list, no child, label editing on.
    QDir(dir).removeRecursively();
    makeLists({"readme.txt"});
    w.cTreeView1->setLabelEdit(false);
    setTree();
    EXPECT_EQ(g_nodItemsLists.ChildNodes().NodeCount(), 0);
    EXPECT_TRUE(w.cTreeView1->LabelEdit());
    EXPECT_FALSE(QFileInfo::exists(dir + "New Items List 1.flst"));
}

// A file name that is not valid UTF-8 cannot be a node's key (no path made
// from it would name the file again), but the list is never silently missing:
// the user is told of it, by its name decoded as far as it goes.
TEST_F(ListTreeTest, AListWhoseNameIsNotUtf8IsNamedToTheUser)
{
    makeLists({"ok.flst"});
    // Made and removed by their bytes: Qt's own file calls cannot name them.
    const QByteArray raw[] = {"caf\xE9.flst" /* Latin-1 */, "notes\xFF.txt" /* no list */};
    struct Unlink {
        QByteArray folder;
        const QByteArray* names;
        ~Unlink()
        {
            for (int i = 0; i < 2; ++i)
                ::unlink((folder + names[i]).constData());
        }
    } cleanUp{QFile::encodeName(dir), raw};
    for (const QByteArray& name : raw) {
        const int fd = ::open((cleanUp.folder + name).constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }

    testenv::ScriptedMessageBoxes boxes;
    setTree();
    EXPECT_EQ(childrenOf(g_nodItemsLists), QStringList{dir + "ok.flst|ok|42|43"});
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_EQ(boxes.prompts()[0], "This items list cannot be shown: its file name is not valid UTF-8.\r\n\r\n" + dir +
                                      "caf" + QChar(0xFFFD) + ".flst\r\n\r\nRename the file to show the list.");
    EXPECT_EQ(boxes.shown()[0].icon(), vbExclamation);

    // The only list in the folder: the folder is not empty, no new list is made.
    QFile::remove(dir + "ok.flst");
    boxes.clear();
    setTree();
    EXPECT_EQ(g_nodItemsLists.ChildNodes().NodeCount(), 0);
    EXPECT_FALSE(QFileInfo::exists(dir + "New Items List 1.flst"));
    EXPECT_EQ(boxes.prompts().size(), 1);
}

TEST_F(ListTreeTest, TheCDRootFollowsTheItemsRootWhenTheRipperIsIn)
{
    makeLists({"a.flst"});
    g_lAppIncCDRipper = 1;
    setTree();
    ASSERT_TRUE(g_nodAudioCDs);
    EXPECT_EQ(w.cTreeView1->Nodes().NodeCount(), 2);
    EXPECT_EQ(w.cTreeView1->Nodes().NodeItem(2), g_nodAudioCDs);
    EXPECT_EQ(g_nodAudioCDs.NodeKey(), "##MAINCDSAudio CDs");
    EXPECT_EQ(g_nodAudioCDs.NodeText(), "Audio CDs");
    EXPECT_EQ(g_nodAudioCDs.NodeImage(), 71);
    EXPECT_FALSE(g_nodAudioCDs.NodeEditable());

    g_lAppIncItemsLists = 0;
    setTree();
    EXPECT_FALSE(g_nodItemsLists);
    EXPECT_EQ(w.cTreeView1->Nodes().NodeCount(), 1);
    EXPECT_EQ(w.cTreeView1->Nodes().NodeItem(1), g_nodAudioCDs);
}

TEST_F(ListTreeTest, NodeKeysTellRootsDrivesAndLists)
{
    struct Case {
        const char* key;
        bool main;
        bool cd;
        const char* drive;
    };
    const Case cases[] = {
        {"##MAINITEMS/home/u/Main/", true, false, "IN"},
        {"##MAINCDSAudio CDs", true, false, "IN"},
        {"##CDE: DVD-RW", false, true, "E:"},
        {"##CD/dev/sr0", false, true, "/d"},
        {"/home/u/Main/Rock.flst", false, false, "e/"},
        {"##cdE:", false, false, "E:"},
        {"", false, false, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsMainNode(c.key), c.main) << c.key;
        EXPECT_EQ(IsCDNode(c.key), c.cd) << c.key;
        EXPECT_EQ(GetCDNameNode(c.key), c.drive) << c.key;
    }
}

TEST_F(ListTreeTest, NewNamesFillTheFirstGap)
{
    QDir().mkpath(dir);
    EXPECT_EQ(GetNewListName(dir), "New Items List 1.flst");
    makeLists({"New Items List 1.flst", "New Items List 3.flst"});
    EXPECT_EQ(GetNewListName(dir), "New Items List 2.flst");
    QDir().mkpath(dir + "New Items List 2.flst");
    EXPECT_EQ(GetNewListName(dir), "New Items List 4.flst");
}

TEST_F(ListTreeTest, RenamingANodeRenamesItsFileAndKey)
{
    makeLists({"Rock.flst"});
    setTree();
    cTreeNode rock = node("Rock.flst");
    cTreeView1_NodeClick(rock);
    addTestRow(w.cGrid1, {1, "a", "/music/a.wav"});

    EXPECT_FALSE(edit(rock, "Classic Rock"));
    const QString renamed = dir + "Classic Rock.flst";
    EXPECT_FALSE(QFileInfo::exists(dir + "Rock.flst"));
    EXPECT_TRUE(QFileInfo::exists(renamed));
    EXPECT_EQ(rock.NodeKey(), renamed);
    EXPECT_EQ(rock.NodeText(), "Classic Rock");
    EXPECT_EQ(w.lblListName->text(), "Classic Rock");
    EXPECT_EQ(w.cTreeView1->SelectedNode(), rock);
    // The shown list is the renamed file: later changes are saved to it.
    EXPECT_EQ(ShownListPath(), renamed);
    addTestRow(w.cGrid1, {1, "b", "/music/b.wav"});
    EXPECT_TRUE(SaveGridToFile());
    EXPECT_TRUE(readBytes(renamed).contains("/music/b.wav"));
}

TEST_F(ListTreeTest, RefusedNamesChangeNothing)
{
    testenv::ScriptedMessageBoxes boxes;
    makeLists({"Rock.flst", "Jazz.flst"});
    setTree();
    cTreeNode rock = node("Rock.flst");
    cTreeView1_NodeClick(rock);

    struct Case {
        const char* name;
        bool message;
    };
    for (const Case c : {Case{"Jazz", true}, Case{"a:b", false}, Case{"", false}, Case{"x/y", false}}) {
        boxes.clear();
        EXPECT_TRUE(edit(rock, c.name)) << c.name;
        EXPECT_EQ(rock.NodeKey(), dir + "Rock.flst");
        EXPECT_EQ(rock.NodeText(), "Rock");
        EXPECT_EQ(w.lblListName->text(), "Rock");
        EXPECT_TRUE(QFileInfo::exists(dir + "Rock.flst"));
        EXPECT_EQ(boxes.prompts().size(), c.message ? 1 : 0) << c.name;
    }
    boxes.clear();
    edit(rock, "Jazz");
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_EQ(boxes.prompts()[0], "The Items List 'Jazz' already exists. Please select a different name.");
    EXPECT_EQ(boxes.shown()[0].icon(), vbInformation);

    // The same text is no rename at all.
    boxes.clear();
    EXPECT_FALSE(edit(rock, "Rock"));
    EXPECT_TRUE(boxes.prompts().isEmpty());

    // A list whose file went meanwhile: the system's reason, and nothing changes.
    QFile::remove(dir + "Rock.flst");
    EXPECT_TRUE(edit(rock, "Blues"));
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_EQ(boxes.prompts()[0], "No such file or directory (2)." + QString(28, ' '));
    EXPECT_EQ(rock.NodeKey(), dir + "Rock.flst");
    EXPECT_EQ(rock.NodeText(), "Rock");
    EXPECT_FALSE(QFileInfo::exists(dir + "Blues.flst"));

    // Roots keep their names; a drive keeps the text it was given and no file moves.
    boxes.clear();
    EXPECT_TRUE(edit(g_nodItemsLists, "Mine"));
    EXPECT_EQ(g_nodItemsLists.NodeText(), "Items Lists");
    cTreeNode drive = w.cTreeView1->Nodes().AddNode(cTreeNode(), 1, "##CDE: DVD", "E:");
    EXPECT_FALSE(edit(drive, "Artist - Album"));
    EXPECT_EQ(drive.NodeText(), "Artist - Album");
    EXPECT_EQ(drive.NodeKey(), "##CDE: DVD");
    EXPECT_TRUE(boxes.prompts().isEmpty());
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList{"Jazz.flst"});
}

TEST_F(ListTreeTest, RemovingAListKeepsTheLastAndAsksWhenItHoldsItems)
{
    testenv::ScriptedMessageBoxes boxes;
    makeLists({"a.flst", "b.flst", "c.flst"});
    writeBytes(dir + "b.flst", "<ITEM><Inc>1</Inc><COL_FILE>/gone.wav</COL_FILE></ITEM>\r\n");
    setTree();

    // A list with records: No keeps it.
    cTreeView1_NodeClick(node("b.flst"));
    boxes.answer(vbNo);
    RemoveItemsList();
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_EQ(boxes.prompts()[0], "This operation will erase all the items under the 'b.flst', are you sure?");
    EXPECT_EQ(boxes.shown()[0].style, vbInformation + vbYesNo);
    EXPECT_TRUE(QFileInfo::exists(dir + "b.flst"));
    EXPECT_EQ(g_nodItemsLists.ChildNodes().NodeCount(), 3);

    // Yes removes it; the last list of the tree is shown, not a neighbour.
    boxes.answer(vbYes);
    RemoveItemsList();
    EXPECT_FALSE(QFileInfo::exists(dir + "b.flst"));
    EXPECT_FALSE(node("b.flst"));
    EXPECT_EQ(w.cTreeView1->SelectedNode(), node("c.flst"));
    EXPECT_EQ(w.lblListName->text(), "c");

    // An empty list goes without a question.
    boxes.clear();
    cTreeView1_NodeClick(node("a.flst"));
    RemoveItemsList();
    EXPECT_TRUE(boxes.prompts().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir + "a.flst"));

    // The only list left stays.
    RemoveItemsList();
    EXPECT_TRUE(QFileInfo::exists(dir + "c.flst"));
    EXPECT_EQ(g_nodItemsLists.ChildNodes().NodeCount(), 1);
}

TEST_F(ListTreeTest, ANodeGoesOnlyWithItsFile)
{
    makeLists({"a.flst", "b.flst"});
    setTree();
    cTreeView1_NodeClick(node("a.flst"));
    // The file cannot be deleted (here: a folder took its place).
    QFile::remove(dir + "a.flst");
    QDir().mkpath(dir + "a.flst/x");
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbYes);
    RemoveItemsList();
    EXPECT_TRUE(node("a.flst"));
    EXPECT_EQ(g_nodItemsLists.ChildNodes().NodeCount(), 2);

    // A file already gone from outside: the node goes.
    QDir(dir + "a.flst").removeRecursively();
    RemoveItemsList();
    EXPECT_FALSE(node("a.flst"));
}

TEST_F(ListTreeTest, ARootSelectedMeansNoList)
{
    testenv::ScriptedMessageBoxes boxes;
    makeLists({"a.flst", "b.flst"});
    setTree();
    cTreeView1_NodeClick(node("b.flst"));
    EXPECT_FALSE(CheckRootSelected());
    EXPECT_TRUE(boxes.prompts().isEmpty());

    g_nodItemsLists.setNodeSelected(true);
    EXPECT_TRUE(CheckRootSelected());
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_EQ(boxes.prompts()[0], "Select the Items List." + QString(40, ' '));
    EXPECT_EQ(boxes.shown()[0].icon(), vbInformation);
    EXPECT_EQ(w.cTreeView1->SelectedNode(), node("a.flst"));
    EXPECT_EQ(w.lblListName->text(), "a");
}

TEST_F(ListTreeTest, ANewListIsCreatedEmptyShownAndOpenForItsName)
{
    makeLists({"New Items List 1.flst", "New Items List 3.flst"});
    setTree();
    w.form.show();
    const cTreeNode created = NewItemsList();
    ASSERT_TRUE(created);
    const QString path = dir + "New Items List 2.flst";
    EXPECT_TRUE(QFileInfo(path).isFile());
    EXPECT_EQ(QFileInfo(path).size(), 0);
    EXPECT_EQ(created.NodeKey(), path);
    EXPECT_EQ(created.NodeText(), "New Items List 2");
    EXPECT_EQ(created.ParentNode(), g_nodItemsLists);
    EXPECT_EQ(w.cTreeView1->SelectedNode(), created);
    EXPECT_EQ(ShownListPath(), path);
    EXPECT_TRUE(w.cTreeView1->LabelEdit());
    QCoreApplication::processEvents();
    EXPECT_NE(w.cTreeView1->labelEditor(), nullptr);

    // Not while a CD drive is shown.
    cTreeNode drive = w.cTreeView1->Nodes().AddNode(cTreeNode(), 1, "##CDE: DVD", "E:");
    cTreeView1_NodeClick(drive);
    EXPECT_FALSE(NewItemsList());

    // An edition without lists: no list appears under the CD root.
    g_lAppIncItemsLists = 0;
    g_lAppIncCDRipper = 1;
    setTree();
    g_nodAudioCDs.setNodeSelected(true);
    const int drives = g_nodAudioCDs.ChildNodes().NodeCount();
    EXPECT_FALSE(NewItemsList());
    EXPECT_EQ(g_nodAudioCDs.ChildNodes().NodeCount(), drives);
    EXPECT_FALSE(QFileInfo::exists(dir + "New Items List 4.flst"));
}

} // namespace

// A lists folder or a new list file that cannot be made is told with its
// path and the reason, and no node appears without its file.
TEST_F(ListTreeTest, AFolderOrListThatCannotBeCreatedIsTold)
{
    testenv::ScriptedMessageBoxes boxes;
    // A file where a folder of the path should be.
    const QString blocker = testenv::tempRoot() + "/blocker";
    writeBytes(blocker, "x");
    g_sItemsListDir = blocker + "/Lists/";
    setTree();
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_TRUE(boxes.prompts()[0].contains(blocker + "/Lists/")) << boxes.prompts()[0].toStdString();
    EXPECT_EQ(g_nodItemsLists.ChildNodes().NodeCount(), 0);
    QFile::remove(blocker);

    // The folder goes away after the tree was built: "New Items List" cannot make its file.
    g_sItemsListDir = dir;
    makeLists({"Mine.flst"});
    setTree();
    ASSERT_EQ(boxes.prompts().size(), 1);
    QDir(dir).removeRecursively();
    EXPECT_FALSE(NewItemsList());
    ASSERT_EQ(boxes.prompts().size(), 2);
    EXPECT_TRUE(boxes.prompts()[1].contains(dir + "New Items List 1.flst")) << boxes.prompts()[1].toStdString();
    EXPECT_EQ(g_nodItemsLists.ChildNodes().NodeCount(), 1);
}
