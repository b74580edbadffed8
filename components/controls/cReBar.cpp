#include "components/controls/cReBar.h"

#include <QEvent>
#include <QHBoxLayout>

cReBar::cReBar(QWidget* parent)
    : QWidget(parent)
{
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(4);
    m_layout->addStretch(1);
}

void cReBar::CreateRebar(QWidget* container)
{
    if (!container)
        return;
    if (m_container)
        m_container->removeEventFilter(this);
    m_container = container;
    setParent(container);
    setGeometry(container->rect());
    container->installEventFilter(this);
    show();
}

int cReBar::AddBand(QWidget* child, const QString&, bool, bool, const QString& key)
{
    if (!m_container || !child)
        return 0;
    m_layout->insertWidget(m_layout->count() - 1, child, 0, Qt::AlignLeft | Qt::AlignVCenter);
    child->show();
    m_keys << key;
    m_children << child;
    return int(m_keys.size());
}

QString cReBar::BandKey(int index) const
{
    return index >= 1 && index <= m_keys.size() ? m_keys[index - 1] : QString();
}

QWidget* cReBar::BandChild(int index) const
{
    return index >= 1 && index <= m_children.size() ? m_children[index - 1] : nullptr;
}

bool cReBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_container && event->type() == QEvent::Resize)
        setGeometry(m_container->rect());
    return QWidget::eventFilter(watched, event);
}
