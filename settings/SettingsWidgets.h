#pragma once
// Small controls of the settings dialogs: link labels and colour boxes.
#include <QFrame>
#include <QLabel>

// A blue label with a hand pointer that reports clicks. Tab reaches it and
// Space or Enter presses it, as a button; screen readers meet a link.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);
    // Acts as a mouse click does (keyboard and tests).
    void click();

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

// A framed box that shows one colour and reports clicks.
class ColorBox : public QFrame {
    Q_OBJECT
public:
    explicit ColorBox(QWidget* parent = nullptr);
    quint32 BackColor() const { return m_color; } // 0x00BBGGRR
    void setBackColor(quint32 color);
    void click();

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    quint32 m_color = 0;
};
