#pragma once
// A status bar of panels, left to right in the order added, addressed by key
// or by 1-based index. Panel widths are in pixels.
#include <QStatusBar>
#include <QString>
#include <QVector>

class QLabel;
class cImageList;

class cStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit cStatusBar(QWidget* parent = nullptr);

    void setImageList(cImageList* list);
    cImageList* ImageList() const { return m_imageList; }
    // A colour as 0x00BBGGRR.
    void setStatusBackColor(long color);
    long StatusBackColor() const { return m_backColor; }

    // Appends a panel; returns its 1-based index.
    int AddPanel(int style, const QString& text, const QString& toolTip, int icon, int width, bool a, bool b,
                 long c, const QString& key);

    int PanelCount() const { return int(m_panels.size()); }
    // The first panel with the key; 0 when none.
    int PanelIndex(const QString& key) const;
    QString PanelKey(int index) const;
    // By key; an unknown key reads empty and writes nothing.
    QString PanelText(const QString& key) const;
    void setPanelText(const QString& key, const QString& text);
    // By 1-based index.
    QString PanelText(int index) const;
    void setPanelText(int index, const QString& text);
    int PanelIcon(const QString& key) const;
    void setPanelIcon(const QString& key, int icon);
    QString PanelToolTip(int index) const;
    // The width the panel was added with; a panel whose text needs more is drawn wider.
    int PanelWidth(int index) const;
    // The panel's widget, for tests and layout.
    QLabel* PanelWidget(int index) const;

signals:
    void PanelClick(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Panel {
        QString key;
        QString text;
        int icon = -1;
        int width = 0;
        QLabel* label = nullptr;
    };
    void refresh(Panel& p);

    QVector<Panel> m_panels;
    cImageList* m_imageList = nullptr;
    long m_backColor = -1;
};
