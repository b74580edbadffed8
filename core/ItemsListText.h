#pragma once
// The texts an items list file is made of: the column keys its records carry,
// and the check that keeps a typed name or tag from breaking a record. Here,
// below the lists and the settings, so that every place where such a text is
// typed (item properties, the default tags of the options) can check it.
#include <QString>
#include <QStringList>

class QWidget;

// Column keys, in column order.
inline const QString COL_INC = QStringLiteral("Inc");
inline const QString COL_TYPE = QStringLiteral("Type");
inline const QString COL_ITEM_NAME = QStringLiteral("Item Name");
inline const QString COL_SIZE = QStringLiteral("Size");
inline const QString COL_TIME = QStringLiteral("Time");
inline const QString COL_CREATED = QStringLiteral("Created");
inline const QString COL_RANGE = QStringLiteral("Range");
inline const QString COL_FILE = QStringLiteral("COL_FILE");
inline const QString COL_RANGE_ALL = QStringLiteral("COL_RANGE_ALL");
inline const QString COL_RANGE_START_TIME = QStringLiteral("COL_RANGE_START_TIME");
inline const QString COL_RANGE_LENGTH_TIME = QStringLiteral("COL_RANGE_LENGTH_TIME");
inline const QString COL_BYTES_SIZE = QStringLiteral("COL_BYTES_SIZE");
inline const QString COL_TAG_ALBUM = QStringLiteral("COL_TAG_ALBUM");
inline const QString COL_TAG_ARTIST = QStringLiteral("COL_TAG_ARTIST");
inline const QString COL_TAG_COMMENT = QStringLiteral("COL_TAG_COMMENT");
inline const QString COL_TAG_GEN = QStringLiteral("COL_TAG_GEN");
inline const QString COL_TAG_YEAR = QStringLiteral("COL_TAG_YEAR");
inline const QString COL_TAG_TITLE = QStringLiteral("COL_TAG_TITLE");
inline const QString COL_TAG_TRACK = QStringLiteral("COL_TAG_TRACK");

// The fourteen field keys of a record, in their order.
const QStringList& ItemFieldKeys();

// The first text in value that would break a record when read back (the
// record mark "<ITEM>" or a field's opening or closing tag); empty when none.
QString FindItemsListMarkup(const QString& value);
// The check of the places where names and tag texts are typed: true when the
// value can be stored in a list; otherwise says why in a message box and
// returns false.
bool CheckItemsListText(const QString& value, QWidget* owner = nullptr);
// The text a value is written as: a value holding a record or field mark has
// its "<" turned into a full-width "＜" there, so that it can never split
// its record. Every other value is written exactly.
QString ItemsListSafeText(const QString& value);
