#pragma once
// Progress bars: a value shown against a minimum and a maximum. Any numbers
// are accepted: a value outside the range shows as an empty or full bar, and
// a maximum below the minimum shows an empty bar; the numbers read back as set.
//
// Convention: a property X is read with X() and written with setX(value).
#include <QPixmap>
#include <QProgressBar>

class cProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit cProgressBar(QWidget* parent = nullptr);

    long ProgressMin() const { return m_min; }
    void setProgressMin(long value);
    long ProgressMax() const { return m_max; }
    void setProgressMax(long value);
    long ProgressValue() const { return m_value; }
    void setProgressValue(long value);
    // 0x00BBGGRR or a system colour.
    void setBarColor(quint32 colour);
    // The colour behind the bar, 0x00BBGGRR or a system colour.
    quint32 ProgressBackColor() const { return m_backColour; }
    void setProgressBackColor(quint32 colour);
    // A picture behind the bar, over the back colour; a null picture removes it.
    QPixmap ProgressPicture() const { return m_picture; }
    void setProgressPicture(const QPixmap& picture);

private:
    void updateBackground();
    void updateBar();

    long m_min = 0;
    long m_max = 100;
    long m_value = 0;
    quint32 m_backColour = 0;
    bool m_hasBackColour = false;
    QPixmap m_picture;
};

// The second progress bar component; the same bar, starting at 0 of 100.
class XP_ProgressBar : public cProgressBar {
    Q_OBJECT
public:
    explicit XP_ProgressBar(QWidget* parent = nullptr) : cProgressBar(parent) {}
};
