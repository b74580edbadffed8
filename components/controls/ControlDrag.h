#pragma once
// Dragging a control itself (a splitter bar) onto another control: the drag
// carries this format, and the controls that accept it raise DragDrop
// (source control, x, y) with the point in twips relative to themselves.
#include <QDrag>
#include <QMimeData>
#include <QString>
#include <QWidget>

namespace components {

inline QString controlDragFormat() { return QStringLiteral("application/x-kelvane-control"); }

// Starts a drag of the widget itself; returns when the drop (or cancel) is done.
inline Qt::DropAction startControlDrag(QWidget* source)
{
    auto* drag = new QDrag(source);
    auto* data = new QMimeData;
    data->setData(controlDragFormat(), source->objectName().toUtf8());
    drag->setMimeData(data);
    return drag->exec(Qt::MoveAction);
}

inline bool isControlDrag(const QMimeData* data)
{
    return data && data->hasFormat(controlDragFormat());
}

} // namespace components
