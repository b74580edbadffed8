// The tree: node order by relationship, keys, selection, removal, images,
// clicks and in-place editing with the after-edit answer.
#include <QApplication>
#include <QDropEvent>
#include <QHelpEvent>
#include <QToolTip>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "components/controls/ControlDrag.h"
#include "components/controls/cImageList.h"
#include "components/controls/cTreeView.h"

namespace {

QStringList texts(cTreeNodes nodes)
{
    QStringList out;
    for (int i = 1; i <= nodes.NodeCount(); ++i)
        out << nodes.NodeItem(i).NodeText();
    return out;
}

// A tree like the main window's: a lists root with three lists and a CD root with a drive.
struct ListsTree {
    cTreeView tree;
    cTreeNode items, cds;
    ListsTree()
    {
        cTreeNodes top = tree.Nodes();
        items = top.AddNode({}, 0, "##MAINITEMS/lists/", "Items Lists", 17, 17);
        cds = top.AddNode({}, 2, "##MAINCDSAudio CDs", "Audio CDs", 71, 71);
        for (const char* name : {"Rock", "Jazz", "Folk"})
            top.AddNode(items, 4, QString("/lists/%1.flst").arg(name), name, 42, 43);
        top.AddNode(cds, 4, "##CDE: DVD-RW", "E:", 25, 25);
    }
};

} // namespace

TEST(TreeView, NodesGoWhereTheirRelationshipSays)
{
    struct Case {
        const char* what;
        int relationship;
        const char* relativeKey; // nullptr: no relative node
        QStringList topAfter;
        QStringList childrenOfBAfter;
    };
    // Start: top level A, B, C; B has children b1, b2.
    const Case cases[] = {
        {"first, no relative", 0, nullptr, {"N", "A", "B", "C"}, {"b1", "b2"}},
        {"next, no relative: last", 2, nullptr, {"A", "B", "C", "N"}, {"b1", "b2"}},
        {"child of B: after its children", 4, "B", {"A", "B", "C"}, {"b1", "b2", "N"}},
        {"first sibling of b2", 0, "b2", {"A", "B", "C"}, {"N", "b1", "b2"}},
        {"last sibling of A", 1, "A", {"A", "B", "C", "N"}, {"b1", "b2"}},
        {"next after A", 2, "A", {"A", "N", "B", "C"}, {"b1", "b2"}},
        {"previous of C", 3, "C", {"A", "B", "N", "C"}, {"b1", "b2"}},
    };
    for (const Case& c : cases) {
        cTreeView tree;
        cTreeNodes top = tree.Nodes();
        top.AddNode({}, 0, "A", "A");
        cTreeNode b = top.AddNode({}, 2, "B", "B");
        top.AddNode({}, 2, "C", "C");
        top.AddNode(b, 4, "b1", "b1");
        top.AddNode(b, 4, "b2", "b2");
        const cTreeNode rel = c.relativeKey ? top.NodeItem(QString(c.relativeKey)) : cTreeNode();
        const cTreeNode added = top.AddNode(rel, c.relationship, "N", "N");
        ASSERT_TRUE(added) << c.what;
        EXPECT_EQ(texts(tree.Nodes()), c.topAfter) << c.what;
        EXPECT_EQ(texts(b.ChildNodes()), c.childrenOfBAfter) << c.what;
    }

    // Adding through a node's children collection without a relative adds a child.
    cTreeView tree;
    cTreeNode root = tree.Nodes().AddNode({}, 0, "r", "root");
    root.ChildNodes().AddNode({}, 4, "c1", "one");
    root.ChildNodes().AddNode(root, 4, "c2", "two");
    EXPECT_EQ(texts(root.ChildNodes()), QStringList({"one", "two"}));
    EXPECT_EQ(root.ChildNodes().NodeItem(2).ParentNode(), root);
}

TEST(TreeView, KeysFindNodesAnywhereAndStayUnique)
{
    ListsTree t;
    cTreeNodes top = t.tree.Nodes();
    EXPECT_EQ(top.NodeCount(), 2);
    EXPECT_EQ(t.items.ChildNodes().NodeCount(), 3);
    EXPECT_EQ(top.NodeItem("/lists/Jazz.flst").NodeText(), "Jazz") << "the top collection finds any node by key";
    EXPECT_FALSE(top.NodeItem("/lists/jazz.flst")) << "keys compare exactly";
    EXPECT_EQ(t.items.ChildNodes().NodeItem("/lists/Folk.flst"), t.items.ChildNodes().NodeItem(3));
    EXPECT_FALSE(t.cds.ChildNodes().NodeItem("/lists/Folk.flst")) << "a node's children hold only its descendants";
    EXPECT_FALSE(top.NodeItem(0));
    EXPECT_FALSE(top.NodeItem(3));

    // A taken key adds nothing.
    EXPECT_FALSE(top.AddNode(t.items, 4, "/lists/Rock.flst", "dup"));
    EXPECT_EQ(t.items.ChildNodes().NodeCount(), 3);

    // A rename moves the key; renaming onto another node's key is refused.
    cTreeNode rock = top.NodeItem("/lists/Rock.flst");
    rock.setNodeKey("/lists/Metal.flst");
    rock.setNodeText("Metal");
    EXPECT_FALSE(top.NodeItem("/lists/Rock.flst"));
    EXPECT_EQ(top.NodeItem("/lists/Metal.flst"), rock);
    rock.setNodeKey("/lists/Jazz.flst");
    EXPECT_EQ(rock.NodeKey(), "/lists/Metal.flst");
    EXPECT_EQ(top.AddNode(t.items, 4, "/lists/Rock.flst", "Rock again").NodeText(), "Rock again")
        << "the old key is free again";

    // Removing a node removes its children; handles on removed nodes read empty and ignore writes.
    cTreeNode drive = top.NodeItem("##CDE: DVD-RW");
    t.cds.RemoveNode();
    EXPECT_EQ(top.NodeCount(), 1);
    EXPECT_FALSE(t.cds);
    EXPECT_FALSE(drive);
    EXPECT_EQ(drive.NodeKey(), "");
    drive.setNodeText("x");
    drive.setNodeSelected(true);
    EXPECT_FALSE(top.NodeItem("##CDE: DVD-RW"));
    EXPECT_EQ(top.AddNode({}, 2, "##CDE: DVD-RW", "E:").NodeText(), "E:");

    // ClearNodes on a node's children, then on the whole tree.
    t.items.ChildNodes().ClearNodes();
    EXPECT_EQ(t.items.ChildNodes().NodeCount(), 0);
    EXPECT_FALSE(top.NodeItem("/lists/Jazz.flst"));
    top.ClearNodes();
    EXPECT_EQ(top.NodeCount(), 0);
    EXPECT_FALSE(t.items);
    EXPECT_FALSE(t.tree.SelectedNode());
}

TEST(TreeView, SelectionExpansionBoldAndImages)
{
    ListsTree t;
    cImageList images;
    stockimages::FillTreeImages(&images);
    t.tree.setImageList(&images);
    QSignalSpy change(&t.tree, &cTreeView::NodeSelectionChange);
    QSignalSpy click(&t.tree, &cTreeView::NodeClick);

    EXPECT_FALSE(t.tree.SelectedNode());
    cTreeNode jazz = t.tree.Nodes().NodeItem("/lists/Jazz.flst");
    jazz.setNodeSelected(true);
    EXPECT_EQ(t.tree.SelectedNode(), jazz);
    EXPECT_TRUE(jazz.NodeSelected());
    EXPECT_EQ(change.size(), 1);
    EXPECT_EQ(click.size(), 0) << "selecting in code is no click";

    t.items.setNodeSelected(false);
    EXPECT_EQ(t.tree.SelectedNode(), jazz) << "another node's False leaves the selection";
    jazz.setNodeSelected(false);
    EXPECT_FALSE(t.tree.SelectedNode());
    EXPECT_EQ(change.size(), 2);

    t.items.setNodeShowChildren(true);
    t.cds.setNodeExpanded(true);
    EXPECT_TRUE(t.items.NodeExpanded());
    EXPECT_TRUE(t.cds.NodeExpanded());
    t.cds.setNodeExpanded(false);
    EXPECT_FALSE(t.cds.NodeExpanded());

    jazz.setNodeBold(true);
    EXPECT_TRUE(jazz.NodeBold());
    jazz.setNodeBold(false);
    EXPECT_FALSE(jazz.NodeBold());

    EXPECT_EQ(jazz.NodeImage(), 42);
    EXPECT_EQ(jazz.NodeSelectedImage(), 43);
    QTreeWidgetItem* item = t.tree.treeWidget()->topLevelItem(0)->child(1);
    const QIcon icon = item->icon(0);
    ASSERT_FALSE(icon.isNull());
    // The selected picture differs from the normal one.
    EXPECT_NE(icon.pixmap(16, QIcon::Normal).toImage(), icon.pixmap(16, QIcon::Selected).toImage());
    EXPECT_FALSE(t.tree.treeWidget()->topLevelItem(1)->icon(0).isNull());

    // Nodes added without images, or with an index the list lacks, show none.
    cTreeNode plain = t.tree.Nodes().AddNode({}, 2, "plain", "plain");
    EXPECT_EQ(plain.NodeImage(), -1);
    EXPECT_TRUE(t.tree.treeWidget()->topLevelItem(2)->icon(0).isNull());
}

TEST(TreeView, ClicksAndKeyboardMovesRaiseNodeClick)
{
    ListsTree t;
    t.items.setNodeExpanded(true);
    t.tree.resize(300, 300);
    t.tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&t.tree));
    QTreeWidget* tw = t.tree.treeWidget();
    QSignalSpy click(&t.tree, &cTreeView::NodeClick);

    QTreeWidgetItem* folk = tw->topLevelItem(0)->child(2);
    QTest::mouseClick(tw->viewport(), Qt::LeftButton, Qt::NoModifier, tw->visualItemRect(folk).center());
    ASSERT_EQ(click.size(), 1);
    EXPECT_EQ(click[0][0].value<cTreeNode>().NodeKey(), "/lists/Folk.flst");
    EXPECT_EQ(t.tree.SelectedNode().NodeText(), "Folk");

    tw->setFocus();
    QTest::keyClick(tw, Qt::Key_Up);
    ASSERT_EQ(click.size(), 2);
    EXPECT_EQ(click[1][0].value<cTreeNode>().NodeText(), "Jazz");
    EXPECT_EQ(t.tree.SelectedNode().NodeText(), "Jazz");
}

namespace {
// Opens the editor on a node, types a text and ends the edit with a key.
void editTo(cTreeView& tree, cTreeNode node, const QString& text, Qt::Key endKey = Qt::Key_Return)
{
    node.StartLabelEdit();
    QCoreApplication::processEvents();
    auto* editor = qobject_cast<QLineEdit*>(tree.labelEditor());
    ASSERT_NE(editor, nullptr);
    editor->clear();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, endKey);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}
} // namespace

TEST(TreeView, AfterLabelEditDecidesTheNewText)
{
    struct Case {
        const char* what;
        QString typed;
        bool cancel;
        QString rewrite; // non-empty: the handler changes NewString
        QString textAfter;
    };
    const Case cases[] = {
        {"accepted", "Blues", false, "", "Blues"},
        {"cancelled", "Bad:Name", true, "", "Jazz"},
        {"rewritten by the handler", "  Soul ", false, "Soul", "Soul"},
        {"empty text reaches the handler", "", true, "", "Jazz"},
    };
    for (const Case& c : cases) {
        ListsTree t;
        t.items.setNodeExpanded(true);
        t.tree.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&t.tree));
        cTreeNode jazz = t.tree.Nodes().NodeItem("/lists/Jazz.flst");
        QStringList seen;
        QObject::connect(&t.tree, &cTreeView::AfterLabelEdit, &t.tree, [&](cTreeNode node, QString& s, bool& cancel) {
            seen << node.NodeKey() + "|" + s;
            EXPECT_EQ(node.NodeText(), "Jazz") << "the node keeps its text while the handler runs";
            cancel = c.cancel;
            if (!c.rewrite.isEmpty())
                s = c.rewrite;
        });
        editTo(t.tree, jazz, c.typed);
        EXPECT_EQ(seen, QStringList({"/lists/Jazz.flst|" + c.typed})) << c.what;
        EXPECT_EQ(jazz.NodeText(), c.textAfter) << c.what;
        EXPECT_EQ(t.tree.labelEditor(), nullptr) << c.what;
    }
}

TEST(TreeView, EscapeEndsTheEditWithoutAnswerAndARefusedEditCanReopen)
{
    ListsTree t;
    t.items.setNodeExpanded(true);
    t.tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&t.tree));
    cTreeNode rock = t.tree.Nodes().NodeItem("/lists/Rock.flst");
    int events = 0;
    QObject::connect(&t.tree, &cTreeView::AfterLabelEdit, &t.tree, [&](cTreeNode node, QString& s, bool& cancel) {
        ++events;
        if (s.isEmpty()) { // refuse and put the node back into editing
            node.StartLabelEdit();
            cancel = true;
        }
    });

    editTo(t.tree, rock, "Other", Qt::Key_Escape);
    EXPECT_EQ(events, 0);
    EXPECT_EQ(rock.NodeText(), "Rock");

    editTo(t.tree, rock, "");
    EXPECT_EQ(events, 1);
    QCoreApplication::processEvents();
    auto* editor = qobject_cast<QLineEdit*>(t.tree.labelEditor());
    ASSERT_NE(editor, nullptr) << "the handler reopened the editor";
    EXPECT_EQ(editor->text(), "Rock");
    editor->setText("Punk");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(events, 2);
    EXPECT_EQ(rock.NodeText(), "Punk");
}

TEST(TreeView, LabelEditGovernsEditingByTheUser)
{
    ListsTree t;
    t.items.setNodeExpanded(true);
    t.tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&t.tree));
    QTreeWidget* tw = t.tree.treeWidget();
    t.tree.Nodes().NodeItem("/lists/Folk.flst").setNodeSelected(true);
    tw->setFocus();

    QTest::keyClick(tw, Qt::Key_F2);
    EXPECT_EQ(t.tree.labelEditor(), nullptr) << "off by default";
    t.tree.setLabelEdit(true);
    QTest::keyClick(tw, Qt::Key_F2);
    EXPECT_NE(t.tree.labelEditor(), nullptr);
}

TEST(TreeView, AcceptsDroppedControlsOnly)
{
    ListsTree t;
    t.tree.resize(200, 300);
    t.tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&t.tree));
    QWidget* vp = t.tree.treeWidget()->viewport();
    QSignalSpy spy(&t.tree, &cTreeView::DragDrop);
    auto drop = [&](QMimeData* data) {
        QDragEnterEvent enter(QPoint(40, 60), Qt::MoveAction, data, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &enter);
        QDropEvent ev(QPointF(40, 60), Qt::MoveAction, data, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &ev);
        return enter.isAccepted();
    };
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/tmp/a.mp3")});
    EXPECT_FALSE(drop(&files));
    EXPECT_EQ(spy.size(), 0);

    QMimeData splitter;
    splitter.setData(components::controlDragFormat(), "picResizer");
    EXPECT_TRUE(drop(&splitter));
    ASSERT_EQ(spy.size(), 1);
    const QPoint inTree = vp->mapTo(&t.tree, QPoint(40, 60));
    EXPECT_DOUBLE_EQ(spy[0][1].toDouble(), inTree.x() * 15.0);
    EXPECT_DOUBLE_EQ(spy[0][2].toDouble(), inTree.y() * 15.0);
}

TEST(TreeView, ANameCutOffByThePaneShowsWholeAsToolTip)
{
    cTreeView tree;
    cTreeNodes top = tree.Nodes();
    const QString longName = "Songs for the long drive to the coast, second disc";
    cTreeNode root = top.AddNode({}, 0, "##MAINITEMS/lists/", "Items Lists");
    top.AddNode(root, 4, "/lists/a.flst", "Rock");
    top.AddNode(root, 4, "/lists/b.flst", longName);
    root.setNodeExpanded(true);
    tree.resize(140, 200);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    QTreeWidget* tw = tree.treeWidget();

    auto tipOver = [&](QTreeWidgetItem* item) {
        const QPoint at = tw->visualItemRect(item).center();
        QHelpEvent help(QEvent::ToolTip, at, tw->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(tw->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipOver(tw->topLevelItem(0)->child(0)), QString()) << "a name that fits has no tip";
    EXPECT_EQ(tipOver(tw->topLevelItem(0)->child(1)), longName);
    QToolTip::hideText();
}
