#include "core/WindowHelpers.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWidget>
#include <cmath>

int TwipsToPixels(double twips)
{
    return static_cast<int>(std::nearbyint(twips / 15.0));
}

double PixelsToTwips(int pixels)
{
    return pixels * 15.0;
}

QString SetFormOnTop(QWidget* window, bool bOnTop)
{
    if (!window)
        return QString();
    const QRect geo = window->geometry();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, bOnTop);
    window->setAttribute(Qt::WA_ShowWithoutActivating, true);
    // Changing the flags re-creates the native window: keep its place, and
    // show it as the platform call did, without activating it.
    window->setGeometry(geo);
    window->show();
    window->setAttribute(Qt::WA_ShowWithoutActivating, false);
    return QString();
}

long SetWindowTransparency(QWidget* window, int alpha)
{
    if (alpha < 0 || alpha > 255)
        return 1;
    if (!window)
        return 2;
    window->setWindowOpacity(alpha / 255.0);
    return 0;
}

long RemoveWindowTransparency(QWidget* window)
{
    if (!window)
        return 2;
    window->setWindowOpacity(1.0);
    return 0;
}

namespace {

// Each icon group is drawn here: a rounded tile in the group's colour with a
// simple glyph, so the program carries no bitmaps of anyone else's.
struct IconStyle {
    QColor tile;
    QString glyph;
};

const QHash<QString, IconStyle>& iconStyles()
{
    static const QHash<QString, IconStyle> styles = {
        {"aaa", {QColor(0x2b, 0x6c, 0xb0), QString::fromUtf8("\u266B")}},
        {"cd_music", {QColor(0x6a, 0x4c, 0x9c), QString::fromUtf8("\u25CE")}},
        {"colors", {QColor(0xd0, 0x6a, 0x1c), QString::fromUtf8("\u2261")}},
        {"cut", {QColor(0xb0, 0x30, 0x30), QString::fromUtf8("\u2702")}},
        {"document_music", {QColor(0x2e, 0x8b, 0x57), QString::fromUtf8("\u266A")}},
        {"document_pulse", {QColor(0x1f, 0x7a, 0x8c), QString::fromUtf8("\u223F")}},
        {"gears", {QColor(0x55, 0x5f, 0x6b), QString::fromUtf8("\u2699")}},
        {"microphone2", {QColor(0x8c, 0x2f, 0x6b), QString::fromUtf8("\u25CF")}},
        {"replace2", {QColor(0x1e, 0x6f, 0x3f), QString::fromUtf8("\u21C4")}},
        {"1", {QColor(0x2b, 0x6c, 0xb0), QString::fromUtf8("\u266B")}},
    };
    return styles;
}

QPixmap drawIcon(const IconStyle& style, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 5.0, size / 5.0);
    p.fillPath(path, style.tile);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(std::max(8, size * 2 / 3));
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, style.glyph);
    return pm;
}

} // namespace

QIcon ProgramIcon(const QString& name)
{
    static QHash<QString, QIcon> cache;
    const QString key = name.toLower();
    const auto cached = cache.constFind(key);
    if (cached != cache.constEnd())
        return *cached;
    const auto it = iconStyles().constFind(key);
    QIcon icon;
    if (it != iconStyles().constEnd()) {
        for (int size : {16, 24, 32, 48})
            icon.addPixmap(drawIcon(*it, size));
    }
    cache.insert(key, icon);
    return icon;
}

void SetFormIcon(QWidget* window, const QString& iconName, bool bSetOwner)
{
    if (!window)
        return;
    const QIcon icon = ProgramIcon(iconName);
    if (bSetOwner) {
        QWidget* owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
        while (owner && owner->parentWidget())
            owner = owner->parentWidget()->window();
        if (owner && owner != window)
            owner->setWindowIcon(icon);
    }
    window->setWindowIcon(icon);
}

QString GetCursorPosition(long& x, long& y)
{
    const QPoint pos = QCursor::pos();
    x = pos.x();
    y = pos.y();
    return QString();
}

WaitCursor::WaitCursor()
{
    m_on = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    if (m_on)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() { restore(); }

void WaitCursor::restore()
{
    if (m_on)
        QGuiApplication::restoreOverrideCursor();
    m_on = false;
}

QRect KeepInside(QRect r, const QRect& area)
{
    if (!area.isValid())
        return r;
    r.moveRight(qMin(r.right(), area.right()));
    r.moveBottom(qMin(r.bottom(), area.bottom()));
    r.moveLeft(qMax(r.left(), area.left()));
    r.moveTop(qMax(r.top(), area.top()));
    return r;
}

void PlaceBesideOwner(QWidget* window, const QWidget* owner)
{
    if (!window || !owner)
        return;
    const QWidget* top = owner->window();
    const QRect o = top->frameGeometry();
    const QScreen* screen = top->screen();
    const QRect avail = screen ? screen->availableGeometry() : QRect();
    // A window not yet shown has no frame: it will get one like its owner's.
    QSize size = window->frameGeometry().size();
    if (!window->isVisible())
        size = window->size() + (o.size() - top->geometry().size());
    QRect r(QPoint(o.right() + 1, o.top()), size);
    if (avail.isValid() && r.right() > avail.right() && o.left() - r.width() >= avail.left())
        r.moveLeft(o.left() - r.width());
    window->move(KeepInside(r, avail).topLeft());
}
