#include "components/cContextMenu.h"

cContextMenu::cContextMenu(QObject* parent)
    : QObject(parent)
{
}

int cContextMenu::AddItem(const QString& caption, const QString& key, int parentIndex)
{
    m_items.push_back(Item{key, caption, parentIndex});
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

QString cContextMenu::ItemCaption(int index) const
{
    const Item* it = item(index);
    return it ? it->caption : QString();
}

void cContextMenu::setItemCaption(int index, const QString& caption)
{
    if (index >= 1 && index <= m_items.size())
        m_items[index - 1].caption = caption;
}

QString cContextMenu::ItemKey(int index) const
{
    const Item* it = item(index);
    return it ? it->key : QString();
}
