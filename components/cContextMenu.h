#pragma once
// The popup-menu object: items addressed by index (1-based) and by key.
#include <QObject>
#include <QString>
#include <QVector>

class cContextMenu : public QObject {
    Q_OBJECT
public:
    explicit cContextMenu(QObject* parent = nullptr);

    struct Item {
        QString key;
        QString caption;
        int parent = 0; // index of the popup the item belongs to, 0 for a top-level popup
        bool enabled = true;
        bool checked = false;
        bool visible = true;
    };

    // Adds an item and returns its index (1-based).
    int AddItem(const QString& caption, const QString& key, int parentIndex = 0);
    // 0 when no item bears the key.
    int MenuIndexForKey(const QString& key) const;
    QString ItemCaption(int index) const;
    void setItemCaption(int index, const QString& caption);
    QString ItemKey(int index) const;
    int Count() const { return int(m_items.size()); }
    const Item* item(int index) const;

signals:
    void Click(int ItemNumber);

protected:
    QVector<Item> m_items;
};
