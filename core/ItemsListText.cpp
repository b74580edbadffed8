#include "core/ItemsListText.h"

#include <QStringView>

#include "platform/MessageBox.h"

namespace {

const QString kItemMark = QStringLiteral("<ITEM>");

// Every text that a reader looks for: the record mark and each field's tags.
const QStringList& markupTexts()
{
    static const QStringList texts = [] {
        QStringList t{kItemMark};
        for (const QString& key : ItemFieldKeys())
            t << QLatin1Char('<') + key + QLatin1Char('>') << QStringLiteral("</") + key + QLatin1Char('>');
        return t;
    }();
    return texts;
}

// The markup text that starts at position i of value, or null.
const QString* markupAt(const QString& value, qsizetype i)
{
    for (const QString& m : markupTexts())
        if (QStringView(value).mid(i).startsWith(m))
            return &m;
    return nullptr;
}

} // namespace

const QStringList& ItemFieldKeys()
{
    static const QStringList keys{COL_INC,         COL_TYPE,         COL_ITEM_NAME,        COL_FILE,
                                  COL_RANGE_ALL,   COL_RANGE_START_TIME, COL_RANGE_LENGTH_TIME, COL_TAG_ALBUM,
                                  COL_TAG_ARTIST,  COL_TAG_COMMENT,  COL_TAG_GEN,          COL_TAG_YEAR,
                                  COL_TAG_TITLE,   COL_TAG_TRACK};
    return keys;
}

QString FindItemsListMarkup(const QString& value)
{
    for (qsizetype i = value.indexOf(QLatin1Char('<')); i >= 0; i = value.indexOf(QLatin1Char('<'), i + 1))
        if (const QString* m = markupAt(value, i))
            return *m;
    return QString();
}

bool CheckItemsListText(const QString& value, QWidget* owner)
{
    const QString markup = FindItemsListMarkup(value);
    if (markup.isEmpty())
        return true;
    MsgBox(QStringLiteral("The text \"%1\" cannot be part of an item's name or tags: items lists use it to "
                          "mark their items.")
               .arg(markup),
           vbInformation, QString(), owner);
    return false;
}

QString ItemsListSafeText(const QString& value)
{
    if (!value.contains(QLatin1Char('<')))
        return value;
    QString out = value;
    for (qsizetype i = out.indexOf(QLatin1Char('<')); i >= 0; i = out.indexOf(QLatin1Char('<'), i + 1))
        if (markupAt(out, i))
            out[i] = QChar(0xFF1C);
    return out;
}

