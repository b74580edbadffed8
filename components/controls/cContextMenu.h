#pragma once
// The popup-menu object: every item carries a caption, an icon, a key and its
// check/enabled/visible marks, and is addressed by a 1-based index (0 is
// "none"). A group is an item with parent 0; its children, in the order
// added, form one popup. Popups are real QMenus built when they are shown.
#include <QFont>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QVector>

class cImageList;

class cContextMenu : public QObject {
    Q_OBJECT
public:
    explicit cContextMenu(QObject* parent = nullptr);
    ~cContextMenu() override;

    struct Item {
        QString caption;
        QString helpText;
        long itemData = 0;
        int parent = 0; // index of the group, 0 for a group
        int icon = -1;  // position in the image list, -1 for none
        bool checked = false;
        bool enabled = true;
        bool visible = true;
        QString key;
    };

    // The window that owns the popups (their position is taken relative to it).
    void AttachMenuWindow(QWidget* window);
    QWidget* MenuWindow() const { return m_window; }
    void setXPStyle(bool b);
    bool XPStyle() const { return m_xpStyle; }
    void setMenuFont(const QFont& font);
    QFont MenuFont() const { return m_font; }
    void setImageList(cImageList* list) { m_imageList = list; }
    cImageList* ImageList() const { return m_imageList; }
    void setMenuBuilt(bool b) { m_built = b; }
    bool MenuBuilt() const { return m_built; }

    // Adds an item and returns its index (never 0). The caption "-" makes a separator.
    int AddMenuItem(const QString& caption, const QString& helpText, long itemData, int parentIndex, int iconIndex,
                    bool checked, bool enabled, const QString& key);

    // The first item that bears the key; 0 when none does.
    int MenuIndexForKey(const QString& key) const;
    // Key and caption of an item; empty for an index that names no item.
    QString ItemKey(int index) const;
    QString ItemCaption(int index) const;
    void setItemCaption(int index, const QString& caption);
    bool ItemChecked(int index) const;
    void setItemChecked(int index, bool checked);
    bool ItemVisible(int index) const;
    void setItemVisible(int index, bool visible);
    bool ItemEnabled(int index) const;
    void setItemEnabled(int index, bool enabled);
    int ItemIcon(int index) const;
    int ItemParent(int index) const;
    int Count() const { return int(m_items.size()); }
    const Item* item(int index) const;

    // The indexes of the popup that holds the item: the item and its
    // siblings, in the order added (hidden ones included).
    QVector<int> PopupItems(int itemIndex) const;

    // Shows the popup that holds itemIndex at (x, y), twips relative to the
    // attached window's client area, and returns the chosen index (0 when
    // dismissed). The choice is also raised as Click, after this returns.
    int ShowPopupMenu(double x, double y, double x2, double y2, long a, long b, bool c, int itemIndex);
    // The same at a point of the screen, in pixels.
    int ShowPopupMenuAt(int screenX, int screenY, int itemIndex, bool c);

    // The popup that is open at the moment (null when none), for tests.
    QMenu* ActivePopup() const { return m_active; }

signals:
    // The user chose an item of a popup.
    void Click(int ItemNumber);

private:
    QMenu* buildPopup(int groupIndex, QWidget* parent);
    int execAt(const QPoint& globalPos, int itemIndex);

    QVector<Item> m_items;
    QPointer<QWidget> m_window;
    QPointer<QMenu> m_active;
    cImageList* m_imageList = nullptr;
    QFont m_font;
    bool m_xpStyle = false;
    bool m_built = false;
};
