#include "mainwindow/ControlDrops.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>

#include "components/controls/ControlDrag.h"

ResizerBar::ResizerBar(QWidget* parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    setMouseTracking(true);
}

void ResizerBar::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        m_pressed = true;
        m_pressPos = e->position().toPoint();
    }
    QWidget::mousePressEvent(e);
}

void ResizerBar::mouseMoveEvent(QMouseEvent* e)
{
    // The west-east sizing arrows on every move over the bar.
    setCursor(Qt::SizeHorCursor);
    if (m_pressed && (e->buttons() & Qt::LeftButton) &&
        (e->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        m_pressed = false;
        components::startControlDrag(this);
        return;
    }
    QWidget::mouseMoveEvent(e);
}

void ResizerBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
}

namespace {

class DropFilter : public QObject {
public:
    DropFilter(QWidget* target, ControlDropHandler handler)
        : QObject(target)
        , m_target(target)
        , m_handler(std::move(handler))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_target)
            return false;
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* e = static_cast<QDragMoveEvent*>(event);
            if (!components::isControlDrag(e->mimeData()))
                return false;
            // Taken here even where nothing happens, so that the control's container does not take it.
            e->setDropAction(Qt::MoveAction);
            e->accept();
            return true;
        }
        case QEvent::Drop: {
            auto* e = static_cast<QDropEvent*>(event);
            if (!components::isControlDrag(e->mimeData()))
                return false;
            e->setDropAction(Qt::MoveAction);
            e->accept();
            const QPointF p = e->position();
            if (m_handler)
                m_handler(e->source(), p.x() * 15.0, p.y() * 15.0);
            return true;
        }
        default:
            return false;
        }
    }

private:
    QWidget* m_target;
    ControlDropHandler m_handler;
};

} // namespace

void acceptControlDrops(QWidget* w, ControlDropHandler handler)
{
    if (!w)
        return;
    w->setAcceptDrops(true);
    w->installEventFilter(new DropFilter(w, std::move(handler)));
}

void refuseControlDrops(QWidget* w)
{
    if (!w)
        return;
    w->setAcceptDrops(true);
    w->installEventFilter(new DropFilter(w, nullptr));
}
