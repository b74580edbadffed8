#include "components/controls/cContextMenu.h"

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <cmath>

#include "components/controls/ImageListIcons.h"

namespace {
const char* kIndexProperty = "kvMenuIndex";

// The advanced drawing: a tinted icon column and a soft selection.
const char* kXPStyleSheet =
    "QMenu { background: #fbfbfb; border: 1px solid #8a8a8a; }"
    "QMenu::item { padding: 4px 24px 4px 28px; }"
    "QMenu::item:selected { background: #c6daf5; color: black; }"
    "QMenu::item:disabled { color: #9a9a9a; }"
    "QMenu::separator { height: 1px; background: #d0d0d0; margin: 3px 4px 3px 28px; }"
    "QMenu::icon { padding-left: 4px; }";
} // namespace

cContextMenu::cContextMenu(QObject* parent)
    : QObject(parent)
{
}

cContextMenu::~cContextMenu() = default;

void cContextMenu::AttachMenuWindow(QWidget* window) { m_window = window; }

void cContextMenu::setXPStyle(bool b) { m_xpStyle = b; }

void cContextMenu::setMenuFont(const QFont& font) { m_font = font; }

int cContextMenu::AddMenuItem(const QString& caption, const QString& helpText, long itemData, int parentIndex,
                              int iconIndex, bool checked, bool enabled, const QString& key)
{
    Item it;
    it.caption = caption;
    it.helpText = helpText;
    it.itemData = itemData;
    it.parent = item(parentIndex) ? parentIndex : 0;
    it.icon = iconIndex;
    it.checked = checked;
    it.enabled = enabled;
    it.key = key;
    m_items.push_back(it);
    return int(m_items.size());
}

int cContextMenu::MenuIndexForKey(const QString& key) const
{
    for (int i = 0; i < m_items.size(); ++i)
        if (m_items[i].key == key)
            return i + 1;
    return 0;
}

const cContextMenu::Item* cContextMenu::item(int index) const
{
    if (index < 1 || index > m_items.size())
        return nullptr;
    return &m_items[index - 1];
}

QString cContextMenu::ItemKey(int index) const
{
    const Item* it = item(index);
    return it ? it->key : QString();
}

QString cContextMenu::ItemCaption(int index) const
{
    const Item* it = item(index);
    return it ? it->caption : QString();
}

void cContextMenu::setItemCaption(int index, const QString& caption)
{
    if (item(index))
        m_items[index - 1].caption = caption;
}

bool cContextMenu::ItemChecked(int index) const
{
    const Item* it = item(index);
    return it && it->checked;
}

void cContextMenu::setItemChecked(int index, bool checked)
{
    if (item(index))
        m_items[index - 1].checked = checked;
}

bool cContextMenu::ItemVisible(int index) const
{
    const Item* it = item(index);
    return it && it->visible;
}

void cContextMenu::setItemVisible(int index, bool visible)
{
    if (item(index))
        m_items[index - 1].visible = visible;
}

bool cContextMenu::ItemEnabled(int index) const
{
    const Item* it = item(index);
    return it && it->enabled;
}

void cContextMenu::setItemEnabled(int index, bool enabled)
{
    if (item(index))
        m_items[index - 1].enabled = enabled;
}

int cContextMenu::ItemIcon(int index) const
{
    const Item* it = item(index);
    return it ? it->icon : -1;
}

int cContextMenu::ItemParent(int index) const
{
    const Item* it = item(index);
    return it ? it->parent : 0;
}

QVector<int> cContextMenu::PopupItems(int itemIndex) const
{
    QVector<int> out;
    const Item* it = item(itemIndex);
    if (!it)
        return out;
    const int group = it->parent;
    for (int i = 1; i <= m_items.size(); ++i)
        if (m_items[i - 1].parent == group)
            out << i;
    return out;
}

QMenu* cContextMenu::buildPopup(int groupIndex, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->setFont(m_font);
    if (m_xpStyle)
        menu->setStyleSheet(QString::fromLatin1(kXPStyleSheet));
    for (int i = 1; i <= m_items.size(); ++i) {
        const Item& it = m_items[i - 1];
        if (it.parent != groupIndex || !it.visible)
            continue;
        if (it.caption == QLatin1String("-")) {
            menu->addSeparator();
            continue;
        }
        bool hasChildren = false;
        for (const Item& other : m_items)
            if (other.parent == i) {
                hasChildren = true;
                break;
            }
        QAction* action = nullptr;
        if (hasChildren && groupIndex != 0) {
            QMenu* sub = buildPopup(i, menu);
            sub->setTitle(it.caption);
            action = menu->addMenu(sub);
        } else {
            action = menu->addAction(it.caption);
            action->setProperty(kIndexProperty, i);
        }
        action->setIcon(imageListIcon(m_imageList, it.icon));
        action->setToolTip(it.helpText);
        action->setEnabled(it.enabled);
        if (it.checked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
    }
    return menu;
}

int cContextMenu::execAt(const QPoint& globalPos, int itemIndex)
{
    const Item* it = item(itemIndex);
    if (!it || m_active)
        return 0;
    QMenu* menu = buildPopup(it->parent, m_window);
    m_active = menu;
    QAction* chosen = menu->exec(globalPos);
    const int index = chosen ? chosen->property(kIndexProperty).toInt() : 0;
    menu->deleteLater();
    m_active = nullptr;
    if (index > 0) {
        // Raised from the event loop, never inside the call that showed the popup.
        QTimer::singleShot(0, this, [this, index] { emit Click(index); });
    }
    return index;
}

int cContextMenu::ShowPopupMenu(double x, double y, double, double, long, long, bool, int itemIndex)
{
    // 15 twips per pixel.
    QPoint local(int(std::lround(x / 15.0)), int(std::lround(y / 15.0)));
    QPoint global = m_window ? m_window->mapToGlobal(local) : local;
    return execAt(global, itemIndex);
}

int cContextMenu::ShowPopupMenuAt(int screenX, int screenY, int itemIndex, bool)
{
    return execAt(QPoint(screenX, screenY), itemIndex);
}
