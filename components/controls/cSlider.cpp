#include "components/controls/cSlider.h"

#include "platform/Colors.h"

cSlider::cSlider(QWidget* parent)
    : QSlider(Qt::Horizontal, parent)
{
    setRange(0, 0);
    connect(this, &QSlider::sliderPressed, this, &cSlider::SlideStart);
    connect(this, &QSlider::sliderReleased, this, &cSlider::SlideEnd);
}

void cSlider::setBarColor(long color)
{
    m_barColor = color;
    QPalette pal = palette();
    pal.setColor(QPalette::Highlight, platform::colorFromBgr(quint32(color)));
    setPalette(pal);
}

void cSlider::setSliderBackColor(long color)
{
    m_backColor = color;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, platform::colorFromBgr(quint32(color)));
    setPalette(pal);
    setAutoFillBackground(true);
}
