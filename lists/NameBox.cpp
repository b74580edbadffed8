#include "lists/NameBox.h"

#include <QKeyEvent>
#include <QWidget>

#include "core/PathNames.h"

NameKeyFilter::NameKeyFilter(QWidget* box) : QObject(box), m_box(box) { box->installEventFilter(this); }

bool NameKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_box && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.size() == 1) {
            int keyAscii = text.at(0).unicode();
            FilterIllegalNameKey(m_box, keyAscii);
            if (keyAscii == 0)
                return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
