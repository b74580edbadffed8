#pragma once
// The key filter of the boxes where a list or an item gets its name: a
// character that no file name may hold is dropped as it is typed, with the
// illegal-name tip at the box.
#include <QObject>

class QWidget;

class NameKeyFilter : public QObject {
public:
    explicit NameKeyFilter(QWidget* box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_box;
};
