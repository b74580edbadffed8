#include "components/controls/cSysTray.h"

#include <QFileInfo>
#include <QSystemTrayIcon>

cSysTray::cSysTray(QObject* parent)
    : QObject(parent)
{
}

cSysTray::~cSysTray() { RemoveTrayIcon(); }

namespace {
int g_trayOverride = -1;
}

void cSysTray::setTrayAvailableOverride(int available) { g_trayOverride = available; }

bool cSysTray::TrayAvailable() const
{
    return g_trayOverride >= 0 ? g_trayOverride == 1 : QSystemTrayIcon::isSystemTrayAvailable();
}

void cSysTray::setIconFile(const QString& path)
{
    m_iconFile = path;
    m_fileIcon = QFileInfo::exists(path) ? QIcon(path) : QIcon();
    if (!m_fileIcon.isNull() && m_fileIcon.availableSizes().isEmpty() && m_fileIcon.pixmap(16).isNull())
        m_fileIcon = QIcon();
    apply();
}

void cSysTray::setFallbackIcon(const QIcon& icon)
{
    m_fallback = icon;
    apply();
}

void cSysTray::setTrayTipText(const QString& text)
{
    m_tip = text;
    apply();
}

QIcon cSysTray::currentIcon() const { return m_fileIcon.isNull() ? m_fallback : m_fileIcon; }

void cSysTray::AddTrayIcon()
{
    m_added = true;
    if (!m_icon) {
        m_icon = new QSystemTrayIcon(this);
        connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
                emit TrayMouse(1);
            else if (reason == QSystemTrayIcon::Context)
                emit TrayMouse(2);
        });
    }
    apply();
}

void cSysTray::RemoveTrayIcon()
{
    m_added = false;
    if (m_icon) {
        m_icon->hide();
        delete m_icon;
    }
}

void cSysTray::apply()
{
    if (!m_icon)
        return;
    m_icon->setToolTip(m_tip);
    const QIcon icon = currentIcon();
    if (!icon.isNull())
        m_icon->setIcon(icon);
    // Showing needs a notification area and a picture; without them the icon stays a state only.
    if (m_added && !icon.isNull() && TrayAvailable())
        m_icon->show();
}

void cSysTray::ShowBalloon(const QString& text, const QString& title, int icon, int time)
{
    m_lastBalloonText = text;
    m_lastBalloonTitle = title;
    if (!m_icon || !m_icon->isVisible() || !QSystemTrayIcon::supportsMessages())
        return;
    QSystemTrayIcon::MessageIcon kind = QSystemTrayIcon::NoIcon;
    switch (icon) {
    case 1: kind = QSystemTrayIcon::Information; break;
    case 2: kind = QSystemTrayIcon::Warning; break;
    case 3: kind = QSystemTrayIcon::Critical; break;
    default: break;
    }
    m_icon->showMessage(title, text, kind, qMax(time, 1) * 1000);
}
