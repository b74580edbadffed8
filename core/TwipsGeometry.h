#pragma once
// Placing controls in twips (15 per pixel). A control remembers the twips it
// was given, so a value reads back exactly as written while the control has
// not been moved in pixels since; otherwise it reads as its pixels times 15.
// Pixel edges are rounded separately, so panes that meet in twips meet on screen.
#include <QRect>

class QWidget;

namespace twips {

int Left(const QWidget* w);
int Top(const QWidget* w);
int Width(const QWidget* w);
int Height(const QWidget* w);
QRect Geometry(const QWidget* w); // x, y, width, height in twips

void setLeft(QWidget* w, int left);
void setTop(QWidget* w, int top);
// A negative size cannot be applied: nothing changes and false is returned.
bool setWidth(QWidget* w, int width);
bool setHeight(QWidget* w, int height);
bool setGeometry(QWidget* w, int left, int top, int width, int height);

// The pixel rectangle that a twips rectangle occupies.
QRect toPixels(const QRect& twipsRect);

} // namespace twips
