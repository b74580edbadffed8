#include "components/controls/cDateTimePick.h"

#include <QHBoxLayout>
#include <QTimeEdit>

namespace {
QDate zeroDate() { return QDate(1899, 12, 30); }
} // namespace

cDateTimePick::cDateTimePick(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_edit = new QTimeEdit(this);
    m_edit->setObjectName(QStringLiteral("timeEdit"));
    m_edit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    m_edit->setTime(QTime(0, 0));
    layout->addWidget(m_edit);
    setFocusProxy(m_edit);
    connect(m_edit, &QTimeEdit::timeChanged, this, [this](const QTime&) {
        if (!m_programmatic)
            emit PickerChange(PickerDate());
    });
}

QDateTime cDateTimePick::PickerDate() const { return QDateTime(zeroDate(), m_edit->time(), Qt::UTC); }

void cDateTimePick::setPickerDate(const QDateTime& value)
{
    if (value.isValid())
        setPickerTime(value.time());
}

void cDateTimePick::setPickerTime(const QTime& time)
{
    if (!time.isValid())
        return;
    m_programmatic = true;
    m_edit->setTime(time);
    m_programmatic = false;
}

QTime cDateTimePick::PickerTime() const { return m_edit->time(); }

bool cDateTimePick::PickerEnabled() const { return m_edit->isEnabled(); }

void cDateTimePick::setPickerEnabled(bool bEnabled) { m_edit->setEnabled(bEnabled); }

QString cDateTimePick::CustomFormat() const { return m_edit->displayFormat(); }

void cDateTimePick::setCustomFormat(const QString& format) { m_edit->setDisplayFormat(format); }
