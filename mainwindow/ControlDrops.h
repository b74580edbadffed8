#pragma once
// The splitter bar is dragged as a control: pressing on it and moving starts
// a drag of the bar itself, and the control it is dropped on raises DragDrop
// with the drop point in twips relative to that control.
#include <QWidget>
#include <functional>

using ControlDropHandler = std::function<void(QObject* source, double x, double y)>;

// The bar between the tree and the items grid.
class ResizerBar : public QWidget {
    Q_OBJECT
public:
    explicit ResizerBar(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    QPoint m_pressPos;
    bool m_pressed = false;
};

// Lets a control take drops of a dragged control and hands them to the handler.
void acceptControlDrops(QWidget* w, ControlDropHandler handler);
// Makes a drop of a dragged control on this control do nothing (rather than reach its container).
void refuseControlDrops(QWidget* w);
