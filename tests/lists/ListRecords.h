#pragma once
// Items list records as the list writer lays them out, for list file fixtures.
#include <QMap>
#include <QString>

#include "lists/ListFile.h"

namespace listrec {

// Every field in the writer's order; fields not given are empty.
inline QString itemRecord(const QMap<QString, QString>& fields)
{
    QString r = "<ITEM>";
    for (const QString& key : ItemFieldKeys())
        r += "<" + key + ">" + fields.value(key) + "</" + key + ">";
    return r + "</ITEM>";
}

// A marked whole-file audio item; fields given override those defaults.
inline QString record(const QString& name, const QString& file, const QMap<QString, QString>& fields = {})
{
    QMap<QString, QString> v{{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", name}, {"COL_FILE", file},
                             {"COL_RANGE_ALL", "1"}};
    for (auto it = fields.begin(); it != fields.end(); ++it)
        v[it.key()] = it.value();
    return itemRecord(v);
}

} // namespace listrec
