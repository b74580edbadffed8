#include "components/controls/cProgressBar.h"

#include <algorithm>

#include "components/controls/OleColor.h"

namespace {
// The bar works in ints; keep the shown fraction when the numbers are larger.
constexpr long kSteps = 1000000;
} // namespace

cProgressBar::cProgressBar(QWidget* parent)
    : QProgressBar(parent)
{
    setTextVisible(false);
    updateBar();
}

void cProgressBar::setProgressMin(long value)
{
    m_min = value;
    updateBar();
}

void cProgressBar::setProgressMax(long value)
{
    m_max = value;
    updateBar();
}

void cProgressBar::setProgressValue(long value)
{
    m_value = value;
    updateBar();
}

void cProgressBar::setBarColor(quint32 colour)
{
    QPalette p = palette();
    p.setColor(QPalette::Highlight, components::oleColour(colour, p));
    setPalette(p);
}

void cProgressBar::setProgressBackColor(quint32 colour)
{
    m_backColour = colour;
    m_hasBackColour = true;
    updateBackground();
}

void cProgressBar::setProgressPicture(const QPixmap& picture)
{
    m_picture = picture;
    updateBackground();
}

// Styles paint the groove with the base brush; plain ones fill the window brush.
void cProgressBar::updateBackground()
{
    QPalette p = palette();
    QBrush brush = m_hasBackColour ? QBrush(components::oleColour(m_backColour, p)) : QBrush(p.color(QPalette::Base));
    if (!m_picture.isNull())
        brush.setTexture(m_picture);
    p.setBrush(QPalette::Base, brush);
    p.setBrush(QPalette::Window, brush);
    setPalette(p);
    setAutoFillBackground(true);
}

void cProgressBar::updateBar()
{
    int shown = 0;
    if (m_max > m_min) {
        const long v = std::clamp(m_value, m_min, m_max);
        const double fraction = double(v - m_min) / double(m_max - m_min);
        shown = int(fraction * kSteps + 0.5);
    }
    setRange(0, int(kSteps));
    setValue(shown);
}
