#pragma once
// A date/time picker that holds a time of day: the editor shows it in a
// custom format ("HH:mm:ss" unless told otherwise) and reports the user's
// changes. The value is handed out with the zero date (30 December 1899), so
// that it reads as a duration from midnight.
//
// Convention: a property X is read with X() and written with setX(value).
#include <QDateTime>
#include <QWidget>

class QTimeEdit;

class cDateTimePick : public QWidget {
    Q_OBJECT
public:
    explicit cDateTimePick(QWidget* parent = nullptr);

    // The time shown, on the zero date. Setting it raises no PickerChange.
    QDateTime PickerDate() const;
    void setPickerDate(const QDateTime& value);
    void setPickerTime(const QTime& time);
    QTime PickerTime() const;

    bool PickerEnabled() const;
    void setPickerEnabled(bool bEnabled);

    QString CustomFormat() const;
    void setCustomFormat(const QString& format);

    // The editor inside (tests type into it).
    QTimeEdit* timeEdit() const { return m_edit; }

signals:
    // The user changed the time; the argument is the new value.
    void PickerChange(const QDateTime& value);

private:
    QTimeEdit* m_edit = nullptr;
    bool m_programmatic = false;
};
