#pragma once
// A toolbar of buttons addressed by 1-based index (separators count) and by
// key. Styles: 0 button, 1 separator, 2 check button, 8 button with a
// drop-down arrow.
#include <QString>
#include <QVector>
#include <QWidget>

class QAbstractButton;
class QHBoxLayout;
class cImageList;

class cToolbar : public QWidget {
    Q_OBJECT
public:
    explicit cToolbar(QWidget* parent = nullptr);

    enum ButtonStyle { StyleButton = 0, StyleSeparator = 1, StyleCheck = 2, StyleDropDown = 8 };

    // Display settings made before creation. Style 2 puts captions under the
    // icons; the list option (after the buttons) puts them beside the icons.
    void setToolbarStyle(int style) { m_style = style; }
    int ToolbarStyle() const { return m_style; }
    void setToolbarStyleEx(int style) { m_styleEx = style; }
    int ToolbarStyleEx() const { return m_styleEx; }
    void setToolbarOption(bool b) { m_option = b; }
    bool ToolbarOption() const { return m_option; }
    void setToolbarListOption(bool b);
    bool ToolbarListOption() const { return m_listOption; }
    void setToolbarIndexOption(int index, bool b);

    void SetImageList(cImageList* list);
    // The icon size in pixels; the three switches are kept as given.
    void CreateToolbar(int buttonSize, bool a, bool b, bool c);
    bool Created() const { return m_created; }

    // Appends (or inserts before the 1-based button insertBefore) a button;
    // returns its index, or 0 before CreateToolbar.
    int AddButton(const QString& toolTip, int icon, int insertBefore = 0, int width = 0,
                  const QString& caption = QString(), int style = StyleButton, const QString& key = QString());

    // The toolbar itself, for a host or a rebar band.
    QWidget* ToolbarHwnd() { return this; }
    QWidget* ToolbarHandle() { return this; }

    int ButtonCount() const { return int(m_buttons.size()); }
    QString ButtonKey(int index) const;
    // 0 for a key no button carries.
    int ButtonIndex(const QString& key) const;
    // False, and setting does nothing, for a key no button carries.
    bool ButtonChecked(const QString& key) const;
    void setButtonChecked(const QString& key, bool checked);
    bool ButtonEnabled(const QString& key) const;
    void setButtonEnabled(const QString& key, bool enabled);
    QString ButtonToolTip(int index) const;
    QString ButtonCaption(int index) const;
    int ButtonStyle(int index) const;
    int ButtonIcon(int index) const;
    // A point just under the button, in twips of its window's client area
    // (what cContextMenu::ShowPopupMenu takes).
    void ButtonPosition(int index, double& x, double& y) const;

    // The widget of a button (null for a separator), for tests and layout.
    QAbstractButton* ButtonWidget(int index) const;

signals:
    void ButtonClick(int index);
    void ButtonDropDown(int index);

private:
    struct Button {
        QString toolTip;
        QString caption;
        QString key;
        int icon = -1;
        int style = StyleButton;
        QWidget* widget = nullptr; // a QAbstractButton, or a separator line
    };
    const Button* button(int index) const;
    void refreshButtonLook(Button& b);
    void refreshAccessibleNames();
    void relayout();

    QVector<Button> m_buttons;
    QHBoxLayout* m_layout = nullptr;
    cImageList* m_imageList = nullptr;
    int m_style = 0;
    int m_styleEx = 0;
    bool m_option = false;
    bool m_listOption = false;
    bool m_created = false;
    int m_buttonSize = 16;
};
