#include "components/controls/cImageList.h"

#include <QPainter>
#include <QPainterPath>

cImageList::cImageList(QObject* parent)
    : QObject(parent)
{
}

void cImageList::setImageSize(const QSize& size)
{
    if (size.isEmpty() || size == m_size)
        return;
    m_size = size;
    emit Changed();
}

void cImageList::setImage(int index, const QIcon& icon)
{
    if (index < 0)
        return;
    if (index >= m_icons.size())
        m_icons.resize(index + 1);
    m_icons[index] = icon;
    emit Changed();
}

QIcon cImageList::Image(int index) const
{
    return (index >= 0 && index < m_icons.size()) ? m_icons[index] : QIcon();
}

QPixmap cImageList::ImagePixmap(int index) const
{
    const QIcon icon = Image(index);
    return icon.isNull() ? QPixmap() : icon.pixmap(m_size);
}

void cImageList::Clear()
{
    m_icons.clear();
    emit Changed();
}

namespace stockimages {
namespace {

// Draws at 32 x 32 logical units; QIcon scales to the size asked.
template <typename Paint>
QIcon drawn(Paint paint)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    p.end();
    return QIcon(pm);
}

void checkBox(QPainter& p, bool bTicked)
{
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(5, 5, 22, 22), 3, 3);
    if (bTicked) {
        p.setPen(QPen(QColor(20, 130, 40), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath tick;
        tick.moveTo(9, 16);
        tick.lineTo(14, 22);
        tick.lineTo(24, 9);
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    }
}

void disc(QPainter& p, const QRectF& r, const QColor& tint)
{
    p.setPen(QPen(QColor(90, 90, 100), 1.5));
    p.setBrush(tint);
    p.drawEllipse(r);
    p.setBrush(Qt::white);
    const QPointF c = r.center();
    p.drawEllipse(c, r.width() / 8, r.height() / 8);
}

void listSheet(QPainter& p, const QRectF& r, const QColor& fill)
{
    p.setPen(QPen(QColor(70, 70, 90), 1.5));
    p.setBrush(fill);
    p.drawRect(r);
    p.setPen(QPen(QColor(70, 70, 90), 1.5));
    for (qreal y = r.top() + 5; y < r.bottom() - 2; y += 5)
        p.drawLine(QPointF(r.left() + 4, y), QPointF(r.right() - 4, y));
}
} // namespace

QIcon Unmarked() { return drawn([](QPainter& p) { checkBox(p, false); }); }
QIcon Marked() { return drawn([](QPainter& p) { checkBox(p, true); }); }

QIcon AudioItem()
{
    return drawn([](QPainter& p) {
        const QColor ink(30, 70, 160);
        p.setPen(QPen(ink, 3));
        p.drawLine(QPointF(13, 24), QPointF(13, 6));
        p.drawLine(QPointF(13, 6), QPointF(25, 4));
        p.drawLine(QPointF(25, 4), QPointF(25, 21));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawEllipse(QPointF(9, 24), 5, 4);
        p.drawEllipse(QPointF(21, 21), 5, 4);
    });
}

QIcon DataTrack()
{
    return drawn([](QPainter& p) {
        disc(p, QRectF(3, 3, 26, 26), QColor(200, 200, 210));
        p.setPen(QPen(QColor(120, 60, 20), 2));
        p.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("01"));
    });
}

QIcon ItemsRoot()
{
    return drawn([](QPainter& p) {
        listSheet(p, QRectF(10, 3, 18, 20), QColor(235, 235, 200));
        listSheet(p, QRectF(4, 9, 18, 20), QColor(255, 250, 210));
    });
}

QIcon ListNode(bool bOpen)
{
    return drawn([bOpen](QPainter& p) {
        listSheet(p, QRectF(6, 3, 20, 26), bOpen ? QColor(210, 230, 255) : QColor(255, 250, 210));
    });
}

QIcon CDRoot()
{
    return drawn([](QPainter& p) {
        disc(p, QRectF(9, 2, 21, 21), QColor(190, 200, 230));
        disc(p, QRectF(2, 9, 21, 21), QColor(210, 220, 245));
    });
}

QIcon CDDrive()
{
    return drawn([](QPainter& p) {
        p.setPen(QPen(QColor(70, 70, 70), 1.5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRoundedRect(QRectF(2, 16, 28, 12), 2, 2);
        disc(p, QRectF(8, 2, 16, 16), QColor(210, 220, 245));
        p.setBrush(QColor(40, 180, 60));
        p.drawEllipse(QPointF(25, 22), 1.5, 1.5);
    });
}

void FillGridImages(cImageList* list)
{
    if (!list)
        return;
    list->setImage(0, Unmarked());
    list->setImage(1, Marked());
    list->setImage(3, AudioItem());
    list->setImage(4, DataTrack());
}

void FillTreeImages(cImageList* list)
{
    if (!list)
        return;
    list->setImage(17, ItemsRoot());
    list->setImage(25, CDDrive());
    list->setImage(42, ListNode(false));
    list->setImage(43, ListNode(true));
    list->setImage(71, CDRoot());
}

} // namespace stockimages
