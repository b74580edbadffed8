#include "settings/StoredValues.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <cmath>
#include <limits>

namespace stored {

std::optional<qint64> toNumber(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return 0;
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const qint64 whole = text.toLongLong(&ok);
    if (ok)
        return whole;
    const double d = text.toDouble(&ok);
    if (!ok || !std::isfinite(d) || std::fabs(d) > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return qint64(std::nearbyint(d)); // the default rounding mode rounds halves to even
}

std::optional<bool> toBoolean(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return false;
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return false;
    if (text.compare("True", Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare("False", Qt::CaseInsensitive) == 0)
        return false;
    const auto n = toNumber(text);
    if (!n)
        return std::nullopt;
    return *n != 0;
}

int checkValue(const QCheckBox* box)
{
    switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
    }
}

bool setCheckValue(QCheckBox* box, const QVariant& stored)
{
    const auto n = toNumber(stored);
    if (!n || *n < 0 || *n > 2)
        return false;
    box->setCheckState(*n == 1 ? Qt::Checked : *n == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
    return true;
}

QString checkText(const QCheckBox* box) { return QString::number(checkValue(box)); }

bool selectEntry(QComboBox* list, const QString& text)
{
    if (text.isEmpty())
        return false;
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i) == text) {
            list->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

bool setPosition(QComboBox* list, const QVariant& stored)
{
    const auto n = toNumber(stored);
    if (!n || *n < -1 || *n >= list->count())
        return false;
    list->setCurrentIndex(int(*n));
    return true;
}

void setChosen(QRadioButton* button, bool chosen)
{
    if (chosen) {
        button->setChecked(true);
        return;
    }
    // An exclusive group never lets its chosen button go by itself.
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(exclusive);
}

bool setChosen(QRadioButton* button, const QVariant& stored)
{
    const auto b = toBoolean(stored);
    if (!b)
        return false;
    setChosen(button, *b);
    return true;
}

QString choiceText(const QRadioButton* button) { return button->isChecked() ? "True" : "False"; }

bool setBarValue(QAbstractSlider* bar, const QVariant& stored)
{
    const auto n = toNumber(stored);
    if (!n || *n < bar->minimum() || *n > bar->maximum())
        return false;
    bar->setValue(int(*n));
    return true;
}

std::optional<quint32> toColor(const QVariant& value)
{
    const auto n = toNumber(value);
    if (!n || *n < 0 || *n > 0xFFFFFF)
        return std::nullopt;
    return quint32(*n);
}

} // namespace stored
