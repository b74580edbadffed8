#pragma once
// A strip that carries one toolbar, with a back colour and an optional
// background picture drawn behind it.
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

class cToolbar;

class cToolbarHost : public QWidget {
    Q_OBJECT
public:
    explicit cToolbarHost(QWidget* parent = nullptr);

    // Places the toolbar inside the host, at its top left.
    void AttachToolbar(cToolbar* toolbar);
    cToolbar* AttachedToolbar() const { return m_toolbar; }

    // A picture file drawn behind the toolbar; a path that gives no picture draws none.
    void setBackgroundPicture(const QString& path);
    QString BackgroundPicture() const { return m_picturePath; }
    // A colour as 0x00BBGGRR.
    void setHostBackColor(long color);
    long HostBackColor() const { return m_backColor; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void placeToolbar();

    QPointer<cToolbar> m_toolbar;
    QString m_picturePath;
    QPixmap m_picture;
    long m_backColor = -1;
};
