#pragma once
// The tab strip: tabs with a caption, an image and a key, and a framed
// client area under them. The pages are not children of the strip: each
// window places its page containers over the client area itself, using
// ClientLeft/Top/Width/Height, which are in twips (15 per pixel) in the
// coordinates of the strip's parent widget.
//
// Convention: a property X is read with X() and written with setX(value);
// methods and events (Qt signals) keep their names. Tab indexes are 1-based;
// 0 means "none".
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVector>
#include <QWidget>

class QTabBar;
#include "components/controls/cImageList.h"

class cTabControl : public QWidget {
    Q_OBJECT
public:
    explicit cTabControl(QWidget* parent = nullptr);
    ~cTabControl() override;

    cImageList* ImageList() const { return m_imageList; }
    void setImageList(cImageList* list);

    // Appends a tab and returns its index. The third argument is accepted and
    // has no effect; an image of -1 means none.
    int AddTab(const QString& caption, int image = -1, bool reserved = true, const QString& key = QString());
    // Removes every tab, without raising TabClick.
    void ClearTabs();
    // Selects the tab with that key, without raising TabClick.
    void SelectTab(const QString& key);
    // 0 when no tab has that key (keys compare exactly).
    int TabIndexForKey(const QString& key) const;
    QString TabKey(int index) const;
    QString TabCaption(int index) const;
    int TabCount() const;
    int SelectedTab() const;

    int ClientLeft() const;
    int ClientTop() const;
    int ClientWidth() const;
    int ClientHeight() const;
    // The client area in pixels, in the strip's own coordinates.
    QRect clientRect() const;

    QTabBar* tabBar() const { return m_bar; }
    QSize sizeHint() const override;

signals:
    // The user chose a tab (click or keyboard); the argument is its index.
    void TabClick(int lTab);

protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void refreshIcons();
    void layoutBar();

    QTabBar* m_bar = nullptr;
    QPointer<cImageList> m_imageList;
    QVector<int> m_images; // image index of each tab
    bool m_programmatic = false;
};
