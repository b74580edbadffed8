#pragma once
// How the settings dialogs turn stored texts into control states and back.
// Every reader reports whether the control could take the text; a text it
// cannot take leaves the control as it was.
#include <QString>
#include <QVariant>
#include <optional>

class QCheckBox;
class QComboBox;
class QRadioButton;
class QAbstractSlider;

namespace stored {

// A stored text as a whole number: a missing value or an empty text is 0,
// blanks around the digits are ignored, fractions round half to even.
// Anything else is no number.
std::optional<qint64> toNumber(const QVariant& value);
// "True"/"False" in any letter case, or a number (non-zero is true);
// a missing value or an empty text is false.
std::optional<bool> toBoolean(const QVariant& value);

// Check boxes hold 0 (clear), 1 (ticked) or 2 (greyed).
int checkValue(const QCheckBox* box);
bool setCheckValue(QCheckBox* box, const QVariant& stored);
QString checkText(const QCheckBox* box);

// Selects the entry whose text equals `text` exactly; false (selection left
// as it was) when no entry has that text.
bool selectEntry(QComboBox* list, const QString& text);
// Sets the selected position (-1 clears it); false for a position outside the list.
bool setPosition(QComboBox* list, const QVariant& stored);

// Option buttons of one group: choosing one clears the others, clearing the
// chosen one leaves the group without a choice.
void setChosen(QRadioButton* button, bool chosen);
bool setChosen(QRadioButton* button, const QVariant& stored);
QString choiceText(const QRadioButton* button);

bool setBarValue(QAbstractSlider* bar, const QVariant& stored);

// 0x00BBGGRR colours only.
std::optional<quint32> toColor(const QVariant& value);

} // namespace stored
