#include "core/TwipsGeometry.h"

#include <QVariant>
#include <QWidget>
#include <cmath>

namespace {
const char* kProperty = "kvTwipsGeometry";

int px(long long twips) { return int(std::llround(double(twips) / 15.0)); }

QRect stored(const QWidget* w)
{
    const QVariant v = w->property(kProperty);
    if (v.isValid()) {
        const QRect t = v.toRect();
        if (twips::toPixels(t) == w->geometry())
            return t;
    }
    const QRect g = w->geometry();
    return QRect(g.x() * 15, g.y() * 15, g.width() * 15, g.height() * 15);
}

void apply(QWidget* w, const QRect& t)
{
    w->setProperty(kProperty, t);
    w->setGeometry(twips::toPixels(t));
}
} // namespace

namespace twips {

QRect toPixels(const QRect& t)
{
    const int l = px(t.x());
    const int top = px(t.y());
    const int r = px(qint64(t.x()) + t.width());
    const int b = px(qint64(t.y()) + t.height());
    return QRect(l, top, qMax(r - l, 0), qMax(b - top, 0));
}

int Left(const QWidget* w) { return w ? stored(w).x() : 0; }
int Top(const QWidget* w) { return w ? stored(w).y() : 0; }
int Width(const QWidget* w) { return w ? stored(w).width() : 0; }
int Height(const QWidget* w) { return w ? stored(w).height() : 0; }
QRect Geometry(const QWidget* w) { return w ? stored(w) : QRect(); }

void setLeft(QWidget* w, int left)
{
    if (!w)
        return;
    QRect t = stored(w);
    t.moveLeft(left);
    apply(w, t);
}

void setTop(QWidget* w, int top)
{
    if (!w)
        return;
    QRect t = stored(w);
    t.moveTop(top);
    apply(w, t);
}

bool setWidth(QWidget* w, int width)
{
    if (!w || width < 0)
        return false;
    QRect t = stored(w);
    t.setWidth(width);
    apply(w, t);
    return true;
}

bool setHeight(QWidget* w, int height)
{
    if (!w || height < 0)
        return false;
    QRect t = stored(w);
    t.setHeight(height);
    apply(w, t);
    return true;
}

bool setGeometry(QWidget* w, int left, int top, int width, int height)
{
    if (!w || width < 0 || height < 0)
        return false;
    apply(w, QRect(left, top, width, height));
    return true;
}

} // namespace twips
