#pragma once
// Colours are stored as the decimal of 0x00BBGGRR; convert only at the boundary.
#include <QColor>

namespace platform {
inline QColor colorFromBgr(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}
inline quint32 colorToBgr(const QColor& c)
{
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}
} // namespace platform
