#include "components/controls/cTreeView.h"

#include <QDragEnterEvent>
#include <QHelpEvent>
#include <QToolTip>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "components/controls/ControlDrag.h"
#include "components/controls/cImageList.h"

namespace {
constexpr int kIdRole = Qt::UserRole;
constexpr int kKeyRole = Qt::UserRole + 1;
constexpr int kImageRole = Qt::UserRole + 2;
constexpr int kSelectedImageRole = Qt::UserRole + 3;
constexpr double kTwipsPerPixel = 15.0;
} // namespace

namespace components::detail {

class TreeWidget : public QTreeWidget {
public:
    explicit TreeWidget(cTreeView* owner) : QTreeWidget(owner), m_owner(owner)
    {
        setAcceptDrops(true);
        viewport()->setAcceptDrops(true);
    }
    using QTreeWidget::indexFromItem;
    using QTreeWidget::itemFromIndex;

    bool isEditing() const { return state() == QAbstractItemView::EditingState; }

    QWidget* openEditor() const
    {
        if (state() != QAbstractItemView::EditingState)
            return nullptr;
        for (QLineEdit* e : viewport()->findChildren<QLineEdit*>())
            if (e->isVisible())
                return e;
        return nullptr;
    }

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        m_owner->m_keyboardMove = true;
        QTreeWidget::keyPressEvent(e);
        m_owner->m_keyboardMove = false;
    }

    static void acceptControlsOnly(QDropEvent* e)
    {
        if (components::isControlDrag(e->mimeData())) {
            e->setDropAction(Qt::MoveAction);
            e->accept();
        } else {
            e->ignore();
        }
    }
    void dragEnterEvent(QDragEnterEvent* e) override { acceptControlsOnly(e); }
    void dragMoveEvent(QDragMoveEvent* e) override { acceptControlsOnly(e); }
    void dropEvent(QDropEvent* e) override
    {
        if (!components::isControlDrag(e->mimeData())) {
            e->ignore();
            return;
        }
        e->setDropAction(Qt::MoveAction);
        e->accept();
        const QPointF p = viewport()->mapTo(m_owner, e->position());
        emit m_owner->DragDrop(e->source(), p.x() * kTwipsPerPixel, p.y() * kTwipsPerPixel);
    }

private:
    cTreeView* m_owner;
};

// Hands the edited text to the tree instead of writing it into the item:
// the AfterLabelEdit handler decides whether the node takes it.
class TreeDelegate : public QStyledItemDelegate {
public:
    TreeDelegate(cTreeView* owner, TreeWidget* tree) : QStyledItemDelegate(tree), m_owner(owner), m_tree(tree) {}

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line || !m_owner)
            return;
        if (QTreeWidgetItem* item = m_tree->itemFromIndex(index))
            m_owner->editCommitted(item, line->text());
    }

    // The tree is going: an editor still open commits nothing.
    void detach() { m_owner = nullptr; }

    // A name cut off by the pane's edge shows whole as the node's tool tip.
    bool helpEvent(QHelpEvent* e, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        if (e->type() == QEvent::ToolTip && index.isValid()) {
            const int right = option.rect.left() + sizeHint(option, index).width();
            const int visibleRight = qMin(option.rect.right() + 1, view->viewport()->width());
            if (right > visibleRight) {
                QToolTip::showText(e->globalPos(), index.data(Qt::DisplayRole).toString(), view->viewport(),
                                   option.rect);
                return true;
            }
        }
        return QStyledItemDelegate::helpEvent(e, view, option, index);
    }

private:
    cTreeView* m_owner;
    TreeWidget* m_tree;
};

} // namespace components::detail

using components::detail::TreeDelegate;
using components::detail::TreeWidget;

// ---------------------------------------------------------------- cTreeNode

QTreeWidgetItem* cTreeNode::item() const { return m_tree ? m_tree->itemById(m_id) : nullptr; }

bool cTreeNode::isNull() const { return item() == nullptr; }

bool cTreeNode::operator==(const cTreeNode& other) const
{
    const bool a = isNull();
    const bool b = other.isNull();
    if (a || b)
        return a == b;
    return m_tree == other.m_tree && m_id == other.m_id;
}

QString cTreeNode::NodeKey() const
{
    QTreeWidgetItem* i = item();
    return i ? i->data(0, kKeyRole).toString() : QString();
}

void cTreeNode::setNodeKey(const QString& key)
{
    if (QTreeWidgetItem* i = item())
        m_tree->renameKey(i, key);
}

QString cTreeNode::NodeText() const
{
    QTreeWidgetItem* i = item();
    return i ? i->text(0) : QString();
}

void cTreeNode::setNodeText(const QString& text)
{
    if (QTreeWidgetItem* i = item())
        i->setText(0, text);
}

int cTreeNode::NodeImage() const
{
    QTreeWidgetItem* i = item();
    return i ? i->data(0, kImageRole).toInt() : -1;
}

int cTreeNode::NodeSelectedImage() const
{
    QTreeWidgetItem* i = item();
    return i ? i->data(0, kSelectedImageRole).toInt() : -1;
}

cTreeNodes cTreeNode::ChildNodes() const
{
    if (!item())
        return cTreeNodes();
    return cTreeNodes(m_tree, m_id);
}

cTreeNode cTreeNode::ParentNode() const
{
    QTreeWidgetItem* i = item();
    return i ? m_tree->nodeFromItem(i->parent()) : cTreeNode();
}

bool cTreeNode::NodeSelected() const
{
    QTreeWidgetItem* i = item();
    return i && i->isSelected();
}

void cTreeNode::setNodeSelected(bool bSelected)
{
    QTreeWidgetItem* i = item();
    if (!i)
        return;
    QTreeWidget* tw = m_tree->treeWidget();
    if (bSelected) {
        tw->setCurrentItem(i);
        i->setSelected(true);
        tw->scrollToItem(i);
    } else if (i->isSelected() || tw->currentItem() == i) {
        tw->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
        tw->clearSelection();
    }
}

bool cTreeNode::NodeExpanded() const
{
    QTreeWidgetItem* i = item();
    return i && i->isExpanded();
}

void cTreeNode::setNodeExpanded(bool bExpanded)
{
    if (QTreeWidgetItem* i = item())
        i->setExpanded(bExpanded);
}

void cTreeNode::setNodeShowChildren(bool bShow)
{
    if (QTreeWidgetItem* i = item())
        i->setExpanded(bShow);
}

bool cTreeNode::NodeBold() const
{
    QTreeWidgetItem* i = item();
    return i && i->font(0).bold();
}

void cTreeNode::setNodeBold(bool bBold)
{
    if (QTreeWidgetItem* i = item()) {
        QFont f = i->font(0);
        f.setBold(bBold);
        i->setFont(0, f);
    }
}

bool cTreeNode::NodeEditable() const
{
    QTreeWidgetItem* i = item();
    return i && (i->flags() & Qt::ItemIsEditable);
}

void cTreeNode::setNodeEditable(bool bEditable)
{
    if (QTreeWidgetItem* i = item())
        i->setFlags(bEditable ? (i->flags() | Qt::ItemIsEditable) : (i->flags() & ~Qt::ItemIsEditable));
}

void cTreeNode::StartLabelEdit()
{
    if (QTreeWidgetItem* i = item())
        m_tree->startEdit(i);
}

void cTreeNode::RemoveNode()
{
    if (QTreeWidgetItem* i = item())
        m_tree->removeItem(i);
}

// ---------------------------------------------------------------- cTreeNodes

cTreeNode cTreeNodes::AddNode(const cTreeNode& relative, int relationship, const QString& key, const QString& text,
                              int image, int selectedImage)
{
    if (!m_tree)
        return cTreeNode();
    return m_tree->addNode(m_parentId, relative, relationship, key, text, image, selectedImage);
}

void cTreeNodes::ClearNodes()
{
    if (m_tree)
        m_tree->clearCollection(m_parentId);
}

int cTreeNodes::NodeCount() const
{
    if (!m_tree)
        return 0;
    if (m_parentId == 0)
        return m_tree->treeWidget()->topLevelItemCount();
    QTreeWidgetItem* p = m_tree->itemById(m_parentId);
    return p ? p->childCount() : 0;
}

cTreeNode cTreeNodes::NodeItem(int index) const
{
    if (!m_tree || index < 1)
        return cTreeNode();
    QTreeWidgetItem* i = nullptr;
    if (m_parentId == 0) {
        i = m_tree->treeWidget()->topLevelItem(index - 1);
    } else if (QTreeWidgetItem* p = m_tree->itemById(m_parentId)) {
        i = p->child(index - 1);
    }
    return m_tree->nodeFromItem(i);
}

cTreeNode cTreeNodes::NodeItem(const QString& key) const
{
    if (!m_tree)
        return cTreeNode();
    QTreeWidgetItem* i = m_tree->itemByKey(key);
    if (!i)
        return cTreeNode();
    if (m_parentId != 0) {
        QTreeWidgetItem* p = m_tree->itemById(m_parentId);
        if (!p)
            return cTreeNode();
        QTreeWidgetItem* a = i->parent();
        while (a && a != p)
            a = a->parent();
        if (!a)
            return cTreeNode();
    }
    return m_tree->nodeFromItem(i);
}

// ---------------------------------------------------------------- cTreeView

cTreeView::cTreeView(QWidget* parent)
    : QWidget(parent)
{
    m_tree = new TreeWidget(this);
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_delegate = new TreeDelegate(this, m_tree);
    m_tree->setItemDelegate(m_delegate);
    m_tree->setIconSize(QSize(16, 16));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree);
    setFocusProxy(m_tree);

    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
        const cTreeNode n = nodeFromItem(item);
        if (n)
            emit NodeClick(n);
    });
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
                const cTreeNode now = nodeFromItem(current);
                emit NodeSelectionChange(now, nodeFromItem(previous));
                if (m_keyboardMove && now)
                    emit NodeClick(now);
            });
}

cTreeView::~cTreeView()
{
    m_delegate->detach();
    m_tree->disconnect(this);
    // The widget's items go with it; nothing may look them up meanwhile.
    m_items.clear();
    m_keys.clear();
}

QTreeWidget* cTreeView::treeWidget() const { return m_tree; }

QWidget* cTreeView::labelEditor() const { return m_tree->openEditor(); }

quint64 cTreeView::idOf(const QTreeWidgetItem* item) const
{
    return item ? item->data(0, kIdRole).toULongLong() : 0;
}

cTreeNode cTreeView::nodeFromItem(QTreeWidgetItem* item) const
{
    const quint64 id = idOf(item);
    if (!id || m_items.value(id, nullptr) != item)
        return cTreeNode();
    return cTreeNode(const_cast<cTreeView*>(this), id);
}

cTreeNode cTreeView::SelectedNode() const
{
    QTreeWidgetItem* i = m_tree->currentItem();
    if (!i || !i->isSelected())
        return cTreeNode();
    return nodeFromItem(i);
}

void cTreeView::setLabelEdit(bool bOn)
{
    m_labelEdit = bOn;
    m_tree->setEditTriggers(bOn ? (QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked)
                                : QAbstractItemView::NoEditTriggers);
}

void cTreeView::setImageList(cImageList* list)
{
    if (m_imageList)
        disconnect(m_imageList, nullptr, this, nullptr);
    m_imageList = list;
    if (list) {
        connect(list, &cImageList::Changed, this, [this] { refreshAllIcons(); });
        m_tree->setIconSize(list->ImageSize());
    }
    refreshAllIcons();
}

cTreeNode cTreeView::addNode(quint64 collectionParent, const cTreeNode& relative, int relationship,
                             const QString& key, const QString& text, int image, int selectedImage)
{
    if (!key.isEmpty() && m_keys.contains(key))
        return cTreeNode();

    QTreeWidgetItem* parent = nullptr;
    int pos = 0;
    QTreeWidgetItem* rel = (relative.m_tree == this) ? relative.item() : nullptr;
    auto siblingCount = [this](QTreeWidgetItem* p) { return p ? p->childCount() : m_tree->topLevelItemCount(); };
    auto indexIn = [this](QTreeWidgetItem* p, QTreeWidgetItem* c) {
        return p ? p->indexOfChild(c) : m_tree->indexOfTopLevelItem(c);
    };
    if (rel) {
        if (relationship == cTreeNodes::tvwChild) {
            parent = rel;
            pos = rel->childCount();
        } else {
            parent = rel->parent();
            switch (relationship) {
            case cTreeNodes::tvwFirst: pos = 0; break;
            case cTreeNodes::tvwNext: pos = indexIn(parent, rel) + 1; break;
            case cTreeNodes::tvwPrevious: pos = indexIn(parent, rel); break;
            default: pos = siblingCount(parent); break;
            }
        }
    } else {
        if (collectionParent != 0) {
            parent = itemById(collectionParent);
            if (!parent)
                return cTreeNode();
        }
        pos = (relationship == cTreeNodes::tvwFirst) ? 0 : siblingCount(parent);
    }

    auto* item = new QTreeWidgetItem;
    const quint64 id = m_nextId++;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    item->setText(0, text);
    item->setData(0, kIdRole, QVariant::fromValue<quint64>(id));
    item->setData(0, kKeyRole, key);
    item->setData(0, kImageRole, image);
    item->setData(0, kSelectedImageRole, selectedImage);
    m_items.insert(id, item);
    if (!key.isEmpty())
        m_keys.insert(key, item);
    if (parent)
        parent->insertChild(pos, item);
    else
        m_tree->insertTopLevelItem(pos, item);
    refreshIcon(item);
    return cTreeNode(this, id);
}

void cTreeView::forget(QTreeWidgetItem* item)
{
    for (int c = 0; c < item->childCount(); ++c)
        forget(item->child(c));
    m_items.remove(idOf(item));
    const QString key = item->data(0, kKeyRole).toString();
    if (!key.isEmpty() && m_keys.value(key) == item)
        m_keys.remove(key);
}

void cTreeView::removeItem(QTreeWidgetItem* item)
{
    forget(item);
    delete item;
}

void cTreeView::clearCollection(quint64 parentId)
{
    if (parentId == 0) {
        m_items.clear();
        m_keys.clear();
        m_tree->clear();
        return;
    }
    QTreeWidgetItem* p = itemById(parentId);
    if (!p)
        return;
    const auto children = p->takeChildren();
    for (QTreeWidgetItem* c : children) {
        forget(c);
        delete c;
    }
}

bool cTreeView::renameKey(QTreeWidgetItem* item, const QString& key)
{
    const QString old = item->data(0, kKeyRole).toString();
    if (old == key)
        return true;
    if (!key.isEmpty() && m_keys.contains(key))
        return false;
    if (!old.isEmpty())
        m_keys.remove(old);
    if (!key.isEmpty())
        m_keys.insert(key, item);
    item->setData(0, kKeyRole, key);
    return true;
}

void cTreeView::refreshIcon(QTreeWidgetItem* item)
{
    const int image = item->data(0, kImageRole).toInt();
    int selected = item->data(0, kSelectedImageRole).toInt();
    if (selected < 0)
        selected = image;
    if (!m_imageList || image < 0) {
        item->setIcon(0, QIcon());
        return;
    }
    // The view draws the icon in its selected mode for a selected node.
    QIcon icon;
    const QPixmap normal = m_imageList->ImagePixmap(image);
    const QPixmap sel = m_imageList->ImagePixmap(selected);
    if (!normal.isNull())
        icon.addPixmap(normal, QIcon::Normal);
    if (!sel.isNull())
        icon.addPixmap(sel, QIcon::Selected);
    item->setIcon(0, icon);
}

void cTreeView::refreshAllIcons()
{
    for (QTreeWidgetItem* item : std::as_const(m_items))
        refreshIcon(item);
}

void cTreeView::startEdit(QTreeWidgetItem* item)
{
    if (!(item->flags() & Qt::ItemIsEditable))
        return;
    m_tree->scrollToItem(item);
    if (m_tree->isEditing()) {
        // An editor is still closing: reopen once it is gone.
        const quint64 id = idOf(item);
        QTimer::singleShot(0, this, [this, id] {
            if (QTreeWidgetItem* i = itemById(id))
                m_tree->editItem(i, 0);
        });
        return;
    }
    m_tree->editItem(item, 0);
}

void cTreeView::editCommitted(QTreeWidgetItem* item, const QString& text)
{
    const cTreeNode node = nodeFromItem(item);
    if (!node)
        return;
    QTimer::singleShot(0, this, [this, node, text] {
        if (!node)
            return;
        QString newString = text;
        bool cancel = false;
        emit AfterLabelEdit(node, newString, cancel);
        if (!cancel && node)
            node.item()->setText(0, newString);
    });
}
