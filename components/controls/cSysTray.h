#pragma once
// The notification-area icon. Everything works, and keeps its state, also
// where the desktop offers no notification area: the icon then just does not
// appear and balloons are not shown.
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

class QSystemTrayIcon;

class cSysTray : public QObject {
    Q_OBJECT
public:
    explicit cSysTray(QObject* parent = nullptr);
    ~cSysTray() override;

    // The icon's picture file; a file that gives no picture keeps the fallback icon.
    void setIconFile(const QString& path);
    QString IconFile() const { return m_iconFile; }
    // Used when the icon file gives no picture, so the icon never goes missing.
    void setFallbackIcon(const QIcon& icon);
    void setTrayTipText(const QString& text);
    QString TrayTipText() const { return m_tip; }

    void AddTrayIcon();
    void RemoveTrayIcon();
    bool TrayIconAdded() const { return m_added; }
    // Whether the desktop shows the icon at all.
    bool TrayAvailable() const;
    // 1 or 0 stands in for the desktop's answer (tests); -1 asks the desktop.
    static void setTrayAvailableOverride(int available);

    // A notification from the icon; icon 1 is information, time in seconds.
    void ShowBalloon(const QString& text, const QString& title, int icon, int time);
    // The last balloon asked for (also where none could be shown), for tests.
    QString LastBalloonText() const { return m_lastBalloonText; }
    QString LastBalloonTitle() const { return m_lastBalloonTitle; }

signals:
    // 1: toggle the window between shown and hidden (a click on the icon);
    // 2: open the tray menu (the context click).
    void TrayMouse(int type);

private:
    void apply();
    QIcon currentIcon() const;

    QPointer<QSystemTrayIcon> m_icon;
    QString m_iconFile;
    QIcon m_fileIcon;
    QIcon m_fallback;
    QString m_tip;
    QString m_lastBalloonText;
    QString m_lastBalloonTitle;
    bool m_added = false;
};
