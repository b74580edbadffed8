#include "settings/SettingsWidgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

#include "platform/Colors.h"

namespace {

// What assistive tools see of a link label: a link named by its text that
// can be pressed.
class LinkLabelAccessible : public QAccessibleWidget {
public:
    explicit LinkLabelAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Link) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << pressAction(); }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            static_cast<LinkLabel*>(widget())->click();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* linkLabelAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("LinkLabel") && object && object->isWidgetType())
        return new LinkLabelAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    static const bool accessibleInstalled = (QAccessible::installFactory(linkLabelAccessible), true);
    (void)accessibleInstalled;
    setFocusPolicy(Qt::StrongFocus);
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

void LinkLabel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select:
        event->accept();
        if (!event->isAutoRepeat())
            emit clicked();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void LinkLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    // A label draws no focus of its own; the keyboard user must see where Tab went.
    if (!hasFocus())
        return;
    QStylePainter p(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.backgroundColor = palette().color(backgroundRole());
    p.drawPrimitive(QStyle::PE_FrameFocusRect, option);
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
