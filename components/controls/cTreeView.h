#pragma once
// The tree view: nodes with a unique key, a text, an image and a selected
// image, reached through node collections. Nodes are handed out as small
// handles (cTreeNode); a handle whose node was removed reads as empty and
// ignores writes, and a default handle stands for "no node".
//
// Convention: a property X is read with X() and written with setX(value);
// methods and events (Qt signals) keep their names. Collection indexes are
// 1-based. Keys compare exactly (case matters) and are unique in the tree.
#include <QHash>
#include <QMetaType>
#include <QPointer>
#include <QString>
#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;
class cImageList;
class cTreeNodes;
class cTreeView;

namespace components::detail {
class TreeWidget;
class TreeDelegate;
}

class cTreeNode {
public:
    cTreeNode() = default;

    bool isNull() const;
    explicit operator bool() const { return !isNull(); }
    bool operator==(const cTreeNode& other) const;
    bool operator!=(const cTreeNode& other) const { return !(*this == other); }

    QString NodeKey() const;
    // Refused (the key stays) when another node already has the new key.
    void setNodeKey(const QString& key);
    QString NodeText() const;
    void setNodeText(const QString& text);
    int NodeImage() const;
    int NodeSelectedImage() const;
    cTreeNodes ChildNodes() const;
    cTreeNode ParentNode() const;
    bool NodeSelected() const;
    // True makes the node the tree's selected node; False takes the selected
    // node out of the selection, so that no node is selected.
    void setNodeSelected(bool bSelected);
    bool NodeExpanded() const;
    void setNodeExpanded(bool bExpanded);
    // True shows the node's children under it (opens the node).
    void setNodeShowChildren(bool bShow);
    bool NodeBold() const;
    void setNodeBold(bool bBold);
    // Whether the node's text may be edited in place at all (true unless set);
    // a node that may not is never put into editing.
    bool NodeEditable() const;
    void setNodeEditable(bool bEditable);
    // Puts the node's text into in-place editing (whatever LabelEdit says).
    void StartLabelEdit();
    // Removes the node with its children.
    void RemoveNode();

private:
    friend class cTreeView;
    friend class cTreeNodes;
    cTreeNode(cTreeView* tree, quint64 id) : m_tree(tree), m_id(id) {}
    QTreeWidgetItem* item() const;

    QPointer<cTreeView> m_tree;
    quint64 m_id = 0;
};
Q_DECLARE_METATYPE(cTreeNode)

// The top-level nodes of a tree (cTreeView::Nodes) or the children of a node.
class cTreeNodes {
public:
    // Relationship of AddNode, to the relative node.
    enum { tvwFirst = 0, tvwLast = 1, tvwNext = 2, tvwPrevious = 3, tvwChild = 4 };

    cTreeNodes() = default;

    // Adds a node. With a relative node: 0 first and 1 last among its siblings,
    // 2 right after it, 3 right before it, 4 its last child. Without one: 0
    // first in this collection, any other value last. An image of -1 means
    // none; a selected image of -1 means the image. A key already in the tree
    // adds nothing and gives a null node.
    cTreeNode AddNode(const cTreeNode& relative, int relationship, const QString& key, const QString& text,
                      int image = -1, int selectedImage = -1);
    void ClearNodes();
    int NodeCount() const;
    // By position from 1 in this collection.
    cTreeNode NodeItem(int index) const;
    // By key: anywhere in the tree for the top collection, among the
    // descendants for a node's children.
    cTreeNode NodeItem(const QString& key) const;

private:
    friend class cTreeView;
    friend class cTreeNode;
    cTreeNodes(cTreeView* tree, quint64 parentId) : m_tree(tree), m_parentId(parentId) {}

    QPointer<cTreeView> m_tree;
    quint64 m_parentId = 0; // 0: the top level
};

class cTreeView : public QWidget {
    Q_OBJECT
public:
    explicit cTreeView(QWidget* parent = nullptr);
    ~cTreeView() override;

    cTreeNode SelectedNode() const;
    cTreeNodes Nodes() { return cTreeNodes(this, 0); }
    bool LabelEdit() const { return m_labelEdit; }
    // True lets the user edit a node's text in place (F2, or a click on the selected node).
    void setLabelEdit(bool bOn);
    cImageList* ImageList() const { return m_imageList; }
    void setImageList(cImageList* list);

    // The tree widget inside (tests drive the mouse and editor through it).
    QTreeWidget* treeWidget() const;
    // The node shown by an item of treeWidget(); null for none.
    cTreeNode nodeFromItem(QTreeWidgetItem* item) const;
    // The in-place editor while one is open, else null.
    QWidget* labelEditor() const;

signals:
    // A node was clicked, or reached with the keyboard.
    void NodeClick(cTreeNode node);
    // In-place editing ended with a text (Escape ends it without this event).
    // Cancel = true keeps the old text; otherwise the node takes NewString.
    // Connect directly: the two references are written back.
    void AfterLabelEdit(cTreeNode node, QString& NewString, bool& Cancel);
    // The selected node changed, by the user or by code.
    void NodeSelectionChange(cTreeNode node, cTreeNode previous);
    // A control dragged with components::startControlDrag was dropped here (x, y in twips).
    void DragDrop(QObject* Source, double x, double y);

private:
    friend class cTreeNode;
    friend class cTreeNodes;
    friend class components::detail::TreeWidget;
    friend class components::detail::TreeDelegate;

    QTreeWidgetItem* itemById(quint64 id) const { return id ? m_items.value(id, nullptr) : nullptr; }
    QTreeWidgetItem* itemByKey(const QString& key) const { return m_keys.value(key, nullptr); }
    quint64 idOf(const QTreeWidgetItem* item) const;
    cTreeNode addNode(quint64 collectionParent, const cTreeNode& relative, int relationship, const QString& key,
                      const QString& text, int image, int selectedImage);
    void forget(QTreeWidgetItem* item);
    void removeItem(QTreeWidgetItem* item);
    void clearCollection(quint64 parentId);
    void refreshIcon(QTreeWidgetItem* item);
    void refreshAllIcons();
    bool renameKey(QTreeWidgetItem* item, const QString& key);
    void startEdit(QTreeWidgetItem* item);
    // The editor committed a text. AfterLabelEdit is raised once the editor has
    // closed, so that its handler may show boxes or reopen the editor.
    void editCommitted(QTreeWidgetItem* item, const QString& text);

    components::detail::TreeWidget* m_tree = nullptr;
    components::detail::TreeDelegate* m_delegate = nullptr;
    QPointer<cImageList> m_imageList;
    QHash<quint64, QTreeWidgetItem*> m_items;
    QHash<QString, QTreeWidgetItem*> m_keys;
    quint64 m_nextId = 1;
    bool m_labelEdit = false;
    bool m_keyboardMove = false;
};
