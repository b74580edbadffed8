#pragma once
// A horizontal position slider.
#include <QSlider>

class cSlider : public QSlider {
    Q_OBJECT
public:
    explicit cSlider(QWidget* parent = nullptr);

    int SliderValue() const { return value(); }
    void setSliderValue(int v) { setValue(v); }
    void setSliderMax(int max) { setMaximum(max); }
    int SliderMax() const { return maximum(); }
    // Colours as 0x00BBGGRR.
    void setBarColor(long color);
    void setSliderBackColor(long color);
    long BarColor() const { return m_barColor; }
    long SliderBackColor() const { return m_backColor; }

signals:
    // The user takes the thumb, and lets it go.
    void SlideStart();
    void SlideEnd();

private:
    long m_barColor = -1;
    long m_backColor = -1;
};
