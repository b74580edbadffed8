#include "components/controls/cToolbar.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionToolButton>
#include <QToolButton>
#include <cmath>
#include <functional>

#include "components/controls/ImageListIcons.h"

namespace {

// A button with a drop-down arrow at its right edge: the arrow raises the
// drop-down event, the body the click.
class DropDownButton : public QToolButton {
public:
    explicit DropDownButton(QWidget* parent)
        : QToolButton(parent)
    {
    }
    std::function<void()> onDropDown;

    QSize sizeHint() const override
    {
        QSize s = QToolButton::sizeHint();
        return {s.width() + kArrow, s.height()};
    }

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && e->position().x() >= width() - kArrow) {
            setDown(true);
            repaint();
            if (onDropDown)
                onDropDown();
            setDown(false);
            return;
        }
        QToolButton::mousePressEvent(e);
    }
    void paintEvent(QPaintEvent* e) override
    {
        QToolButton::paintEvent(e);
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(isEnabled() ? palette().color(QPalette::ButtonText) : palette().color(QPalette::Mid));
        const double cx = width() - kArrow / 2.0 - 1;
        const double cy = height() / 2.0;
        const QPointF tri[3] = {{cx - 3.5, cy - 1.5}, {cx + 3.5, cy - 1.5}, {cx, cy + 2.5}};
        p.drawPolygon(tri, 3);
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(QPointF(width() - kArrow - 1, 4), QPointF(width() - kArrow - 1, height() - 4));
    }

private:
    static constexpr int kArrow = 12;
};

} // namespace

cToolbar::cToolbar(QWidget* parent)
    : QWidget(parent)
{
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(2, 2, 2, 2);
    m_layout->setSpacing(1);
    m_layout->addStretch(1);
}

void cToolbar::SetImageList(cImageList* list)
{
    m_imageList = list;
    for (Button& b : m_buttons)
        refreshButtonLook(b);
}

void cToolbar::CreateToolbar(int buttonSize, bool, bool, bool)
{
    m_buttonSize = buttonSize > 0 ? buttonSize : 16;
    m_created = true;
}

void cToolbar::setToolbarListOption(bool b)
{
    m_listOption = b;
    for (Button& btn : m_buttons)
        refreshButtonLook(btn);
    relayout();
}

void cToolbar::setToolbarIndexOption(int, bool) {}

int cToolbar::AddButton(const QString& toolTip, int icon, int insertBefore, int width, const QString& caption,
                        int style, const QString& key)
{
    if (!m_created)
        return 0;
    Button b;
    b.toolTip = toolTip;
    b.caption = caption;
    b.key = key;
    b.icon = icon;
    b.style = style;
    if (style == StyleSeparator) {
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Sunken);
        line->setFixedWidth(6);
        b.widget = line;
    } else {
        QToolButton* tb = nullptr;
        if (style == StyleDropDown) {
            auto* dd = new DropDownButton(this);
            dd->onDropDown = [this, dd] {
                for (int i = 0; i < m_buttons.size(); ++i)
                    if (m_buttons[i].widget == dd)
                        emit ButtonDropDown(i + 1);
            };
            tb = dd;
        } else {
            tb = new QToolButton(this);
        }
        tb->setAutoRaise(true);
        tb->setCheckable(style == StyleCheck);
        tb->setFocusPolicy(Qt::NoFocus);
        if (width > 0)
            tb->setMinimumWidth(width);
        connect(tb, &QToolButton::clicked, this, [this, tb] {
            for (int i = 0; i < m_buttons.size(); ++i)
                if (m_buttons[i].widget == tb)
                    emit ButtonClick(i + 1);
        });
        b.widget = tb;
    }
    int pos = (insertBefore >= 1 && insertBefore <= m_buttons.size()) ? insertBefore - 1 : int(m_buttons.size());
    m_buttons.insert(pos, b);
    refreshButtonLook(m_buttons[pos]);
    refreshAccessibleNames();
    m_layout->insertWidget(pos, b.widget);
    relayout();
    return pos + 1;
}

void cToolbar::refreshButtonLook(Button& b)
{
    auto* tb = qobject_cast<QToolButton*>(b.widget);
    if (!tb)
        return;
    tb->setToolTip(b.toolTip);
    tb->setText(b.caption);
    const QIcon icon = imageListIcon(m_imageList, b.icon);
    tb->setIcon(icon);
    tb->setIconSize(QSize(m_buttonSize, m_buttonSize));
    if (b.caption.isEmpty())
        tb->setToolButtonStyle(Qt::ToolButtonIconOnly);
    else if (icon.isNull())
        tb->setToolButtonStyle(Qt::ToolButtonTextOnly);
    else if (m_listOption || m_style != 2)
        tb->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    else
        tb->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
}

void cToolbar::refreshAccessibleNames()
{
    // What a screen reader says: the caption, or the tool tip where the
    // caption says nothing or does not tell the button from another one.
    for (const Button& b : m_buttons) {
        auto* tb = qobject_cast<QToolButton*>(b.widget);
        if (!tb)
            continue;
        const QString caption = b.caption.trimmed();
        bool shared = false;
        for (const Button& other : m_buttons)
            shared = shared || (&other != &b && other.widget != b.widget && !caption.isEmpty() &&
                                other.caption.trimmed() == caption);
        tb->setAccessibleName((caption.isEmpty() || shared) && !b.toolTip.isEmpty() ? b.toolTip : caption);
    }
}

void cToolbar::relayout()
{
    adjustSize();
    resize(sizeHint());
}

const cToolbar::Button* cToolbar::button(int index) const
{
    if (index < 1 || index > m_buttons.size())
        return nullptr;
    return &m_buttons[index - 1];
}

QString cToolbar::ButtonKey(int index) const
{
    const Button* b = button(index);
    return b ? b->key : QString();
}

int cToolbar::ButtonIndex(const QString& key) const
{
    if (key.isEmpty())
        return 0;
    for (int i = 0; i < m_buttons.size(); ++i)
        if (m_buttons[i].key == key)
            return i + 1;
    return 0;
}

bool cToolbar::ButtonChecked(const QString& key) const
{
    const Button* b = button(ButtonIndex(key));
    auto* ab = b ? qobject_cast<QAbstractButton*>(b->widget) : nullptr;
    return ab && ab->isChecked();
}

void cToolbar::setButtonChecked(const QString& key, bool checked)
{
    const Button* b = button(ButtonIndex(key));
    if (auto* ab = b ? qobject_cast<QAbstractButton*>(b->widget) : nullptr) {
        if (ab->isCheckable())
            ab->setChecked(checked);
    }
}

bool cToolbar::ButtonEnabled(const QString& key) const
{
    const Button* b = button(ButtonIndex(key));
    return b && b->widget->isEnabled();
}

void cToolbar::setButtonEnabled(const QString& key, bool enabled)
{
    if (const Button* b = button(ButtonIndex(key)))
        b->widget->setEnabled(enabled);
}

QString cToolbar::ButtonToolTip(int index) const
{
    const Button* b = button(index);
    return b ? b->toolTip : QString();
}

QString cToolbar::ButtonCaption(int index) const
{
    const Button* b = button(index);
    return b ? b->caption : QString();
}

int cToolbar::ButtonStyle(int index) const
{
    const Button* b = button(index);
    return b ? b->style : -1;
}

int cToolbar::ButtonIcon(int index) const
{
    const Button* b = button(index);
    return b ? b->icon : -1;
}

void cToolbar::ButtonPosition(int index, double& x, double& y) const
{
    const Button* b = button(index);
    if (!b)
        return;
    QWidget* top = b->widget->window();
    const QPoint p = b->widget->mapTo(top, QPoint(0, b->widget->height()));
    x = p.x() * 15.0;
    y = p.y() * 15.0;
}

QAbstractButton* cToolbar::ButtonWidget(int index) const
{
    const Button* b = button(index);
    return b ? qobject_cast<QAbstractButton*>(b->widget) : nullptr;
}
