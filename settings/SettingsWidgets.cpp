#include "settings/SettingsWidgets.h"

#include <QMouseEvent>

#include "platform/Colors.h"

LinkLabel::LinkLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(pal);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
}

void LinkLabel::click() { emit clicked(); }

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

ColorBox::ColorBox(QWidget* parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    setCursor(Qt::PointingHandCursor);
    setBackColor(0);
}

void ColorBox::setBackColor(quint32 color)
{
    m_color = color & 0xFFFFFF;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, platform::colorFromBgr(m_color));
    setPalette(pal);
}

void ColorBox::click() { emit clicked(); }

void ColorBox::mouseReleaseEvent(QMouseEvent* event)
{
    QFrame::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}
