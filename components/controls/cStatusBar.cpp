#include "components/controls/cStatusBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "components/controls/ImageListIcons.h"
#include "platform/Colors.h"

namespace {

// A panel: icon and text, with the text shortened to the panel's width.
class PanelLabel : public QLabel {
public:
    explicit PanelLabel(QWidget* parent)
        : QLabel(parent)
    {
    }
    QString fullText;
    QIcon icon;

protected:
    void paintEvent(QPaintEvent* e) override
    {
        QFrame::paintEvent(e);
        QPainter p(this);
        QRect r = contentsRect().adjusted(3, 0, -3, 0);
        if (!icon.isNull()) {
            const int s = qMin(16, r.height());
            icon.paint(&p, QRect(r.left(), r.top() + (r.height() - s) / 2, s, s));
            r.setLeft(r.left() + s + 4);
        }
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(r, Qt::AlignVCenter | Qt::AlignLeft,
                   fontMetrics().elidedText(fullText, Qt::ElideRight, r.width()));
    }
};

} // namespace

cStatusBar::cStatusBar(QWidget* parent)
    : QStatusBar(parent)
{
    setSizeGripEnabled(true);
}

void cStatusBar::setImageList(cImageList* list)
{
    m_imageList = list;
    for (Panel& p : m_panels)
        refresh(p);
}

void cStatusBar::setStatusBackColor(long color)
{
    m_backColor = color;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, platform::colorFromBgr(quint32(color)));
    setPalette(pal);
    setAutoFillBackground(true);
}

int cStatusBar::AddPanel(int, const QString& text, const QString& toolTip, int icon, int width, bool, bool, long,
                         const QString& key)
{
    Panel p;
    p.key = key;
    p.text = text;
    p.icon = icon;
    auto* label = new PanelLabel(this);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setToolTip(toolTip);
    label->setMinimumHeight(18);
    label->installEventFilter(this);
    p.label = label;
    p.width = qMax(width, 1);
    m_panels.push_back(p);
    refresh(m_panels.back());
    addWidget(label, 0);
    return int(m_panels.size());
}

void cStatusBar::refresh(Panel& p)
{
    auto* label = static_cast<PanelLabel*>(p.label);
    label->fullText = p.text;
    label->icon = imageListIcon(m_imageList, p.icon);
    label->setAccessibleName(p.text);
    // The panel keeps its width, widened where its text (and icon) would be cut off.
    const int frame = label->frameWidth() * 2;
    const int iconRoom = label->icon.isNull() ? 0 : 16 + 4;
    const int needed = frame + 6 + iconRoom + label->fontMetrics().horizontalAdvance(p.text) + 2;
    label->setFixedWidth(qMax(p.width, needed));
    label->update();
}

int cStatusBar::PanelIndex(const QString& key) const
{
    for (int i = 0; i < m_panels.size(); ++i)
        if (m_panels[i].key == key)
            return i + 1;
    return 0;
}

QString cStatusBar::PanelKey(int index) const
{
    return index >= 1 && index <= m_panels.size() ? m_panels[index - 1].key : QString();
}

QString cStatusBar::PanelText(const QString& key) const { return PanelText(PanelIndex(key)); }

void cStatusBar::setPanelText(const QString& key, const QString& text) { setPanelText(PanelIndex(key), text); }

QString cStatusBar::PanelText(int index) const
{
    return index >= 1 && index <= m_panels.size() ? m_panels[index - 1].text : QString();
}

void cStatusBar::setPanelText(int index, const QString& text)
{
    if (index < 1 || index > m_panels.size())
        return;
    m_panels[index - 1].text = text;
    refresh(m_panels[index - 1]);
}

int cStatusBar::PanelIcon(const QString& key) const
{
    const int i = PanelIndex(key);
    return i ? m_panels[i - 1].icon : -1;
}

void cStatusBar::setPanelIcon(const QString& key, int icon)
{
    const int i = PanelIndex(key);
    if (!i)
        return;
    m_panels[i - 1].icon = icon;
    refresh(m_panels[i - 1]);
}

QString cStatusBar::PanelToolTip(int index) const
{
    return index >= 1 && index <= m_panels.size() ? m_panels[index - 1].label->toolTip() : QString();
}

int cStatusBar::PanelWidth(int index) const
{
    return index >= 1 && index <= m_panels.size() ? m_panels[index - 1].width : 0;
}

QLabel* cStatusBar::PanelWidget(int index) const
{
    return index >= 1 && index <= m_panels.size() ? m_panels[index - 1].label : nullptr;
}

bool cStatusBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton) {
            for (int i = 0; i < m_panels.size(); ++i)
                if (m_panels[i].label == watched && m_panels[i].label->rect().contains(me->position().toPoint())) {
                    emit PanelClick(i + 1);
                    return true;
                }
        }
    }
    return QStatusBar::eventFilter(watched, event);
}
