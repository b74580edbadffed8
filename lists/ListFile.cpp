#include "lists/ListFile.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QUtf8StringView>
#include <cstring>

#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTreeView.h"
#include "core/MainWindowServices.h"
#include "core/TextFiles.h"
#include "lists/ItemRow.h"
#include "platform/MessageBox.h"

namespace {

// A list file is one line of records: line breaks inside a value are kept
// as character references ("&#13;", "&#10;"), and an "&#" of the value
// itself as "&#38;#", so that every value reads back exactly.
QString encodeLineBreaks(const QString& value)
{
    if (!value.contains(QLatin1Char('\r')) && !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1String("&#")))
        return value;
    QString out;
    out.reserve(value.size() + 16);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\r'))
            out += QLatin1String("&#13;");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("&#10;");
        else if (c == QLatin1Char('&') && i + 1 < value.size() && value[i + 1] == QLatin1Char('#'))
            out += QLatin1String("&#38;");
        else
            out += c;
    }
    return out;
}

QString decodeLineBreaks(const QString& value)
{
    if (!value.contains(QLatin1String("&#")))
        return value;
    QString out = value;
    out.replace(QLatin1String("&#13;"), QLatin1String("\r"));
    out.replace(QLatin1String("&#10;"), QLatin1String("\n"));
    out.replace(QLatin1String("&#38;"), QLatin1String("&"));
    return out;
}


// Whether the bytes are UTF-8. A list is mostly ASCII: runs of it are passed
// over a word at a time, and each run of other bytes is checked on its own
// (it holds whole characters, or the bytes are not UTF-8).
bool validUtf8(QByteArrayView bytes)
{
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (p < end) {
        for (quint64 word = 0; end - p >= 8; p += 8) {
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ULL)
                break;
        }
        while (p < end && uchar(*p) < 0x80)
            ++p;
        const char* q = p;
        while (q < end && uchar(*q) >= 0x80)
            ++q;
        if (q != p && !QUtf8StringView(p, q - p).isValidUtf8())
            return false;
        p = q;
    }
    return true;
}

const QString kItemMark = QStringLiteral("<ITEM>");
const QString kItemEnd = QStringLiteral("</ITEM>");

struct ShownList {
    QString path;
    bool complete = false;
    QString preamble;
    QVector<KeptRecord> kept;
};

ShownList& shown()
{
    static ShownList s;
    return s;
}

bool g_bListLoading = false;

// The fields written from cells (all but Inc and Type), in record order.
const QString* const kCellFields[] = {&COL_ITEM_NAME,  &COL_FILE,        &COL_RANGE_ALL,  &COL_RANGE_START_TIME,
                                      &COL_RANGE_LENGTH_TIME, &COL_TAG_ALBUM, &COL_TAG_ARTIST, &COL_TAG_COMMENT,
                                      &COL_TAG_GEN,    &COL_TAG_YEAR,    &COL_TAG_TITLE,  &COL_TAG_TRACK};
constexpr int kCellFieldCount = 12;

struct RecordColumns {
    int inc = 0;
    int cells[kCellFieldCount] = {};
    explicit RecordColumns(cGrid* grid)
    {
        inc = grid->ColumnIndex(COL_INC);
        for (int i = 0; i < kCellFieldCount; ++i)
            cells[i] = grid->ColumnIndex(*kCellFields[i]);
    }
};

void appendRecord(QString& out, cGrid* grid, int row, const RecordColumns& cols)
{
    // A mark cell without an icon is not marked.
    const int inc = qMax(0, grid->CellIcon(row, cols.inc));
    out += kItemMark;
    out += QStringLiteral("<Inc>");
    out += QString::number(inc);
    out += QStringLiteral("</Inc><Type>Audio</Type>");
    for (int i = 0; i < kCellFieldCount; ++i) {
        const QString& key = *kCellFields[i];
        out += QLatin1Char('<');
        out += key;
        out += QLatin1Char('>');
        out += encodeLineBreaks(ItemsListSafeText(grid->CellText(row, cols.cells[i])));
        out += QStringLiteral("</");
        out += key;
        out += QLatin1Char('>');
    }
    out += kItemEnd;
}

} // namespace

namespace {

// Where a field's value lies in a record: after the field's first opening
// tag, up to the next closing tag after it. False when either is missing.
template <typename View, typename Tag>
bool fieldSpan(View record, const Tag& open, const Tag& close, qsizetype& start, qsizetype& length)
{
    const qsizetype at = record.indexOf(open);
    if (at < 0)
        return false;
    start = at + open.size();
    // The closing tag is looked for after the value's start, so a stray
    // closing tag earlier in the record cannot hide the field.
    const qsizetype end = record.indexOf(close, start);
    if (end < 0)
        return false;
    length = end - start;
    return true;
}

} // namespace

QString GetItemField(const QString& key, const QString& record)
{
    const QString open = QLatin1Char('<') + key + QLatin1Char('>');
    const QString close = QStringLiteral("</") + key + QLatin1Char('>');
    qsizetype start = 0, length = 0;
    if (!fieldSpan(QStringView(record), open, close, start, length))
        return QString();
    return decodeLineBreaks(record.mid(start, length));
}

ItemFieldTags::ItemFieldTags(const QString& key)
    : open('<' + key.toLatin1() + '>'), close("</" + key.toLatin1() + '>')
{
}

QString GetItemField(const ItemFieldTags& tags, QByteArrayView record, bool bUtf8)
{
    qsizetype start = 0, length = 0;
    if (!fieldSpan(record, tags.open, tags.close, start, length))
        return QString();
    return decodeLineBreaks(DecodeItemsListBytes(record.sliced(start, length), bUtf8));
}

QString ItemRecordText(cGrid* grid, int row)
{
    QString out;
    if (grid)
        appendRecord(out, grid, row, RecordColumns(grid));
    return out;
}

bool ReadItemsListBytes(const QString& path, QByteArray& bytes, bool& bUtf8)
{
    bytes.clear();
    bUtf8 = true;
    QFile f(path);
    if (!f.exists())
        return !QFileInfo(path).isSymLink();
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return false;
    bytes = f.readAll();
    if (f.error() != QFile::NoError) {
        bytes.clear();
        return false;
    }
    bUtf8 = validUtf8(bytes);
    if (bUtf8 && bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    // The file's lines joined by CR LF (a line may end in LF alone); the final
    // line end belongs to the file, not to the text, unless it is all there is.
    if (bytes.isEmpty())
        return true;
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    if (bytes.contains('\n')) {
        QList<QByteArray> lines = bytes.split('\n');
        for (QByteArray& line : lines)
            if (line.endsWith('\r'))
                line.chop(1);
        bytes = lines.join("\r\n");
    } else if (bytes.endsWith('\r')) {
        bytes.chop(1);
    }
    if (bytes.isEmpty())
        bytes = "\r\n";
    return true;
}

QString DecodeItemsListBytes(QByteArrayView bytes, bool bUtf8)
{
    return bUtf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

bool ReadItemsListFile(const QString& path, QString& text)
{
    QByteArray bytes;
    bool bUtf8 = true;
    const bool ok = ReadItemsListBytes(path, bytes, bUtf8);
    text = DecodeItemsListBytes(bytes, bUtf8);
    return ok;
}

bool WriteItemsListFile(const QString& path, const QString& text, QString* error)
{
    return WriteFileAtomically(path, text.toUtf8() + "\r\n", error);
}

bool SaveGridToFile()
{
    MainWindowServices* w = mainWindow();
    if (!w || !w->cTreeView1 || !w->cGrid1 || g_bListLoading)
        return false;
    const QString key = w->cTreeView1->SelectedNode().NodeKey();
    if (key.isEmpty() || key.startsWith(QLatin1String("##")))
        return false;
    // Only the whole list of this very file may replace it.
    const ShownList& s = shown();
    if (key != s.path || !s.complete)
        return false;

    cGrid* grid = w->cGrid1;
    const RecordColumns cols(grid);
    const int rows = grid->RowCount();
    QString text = s.preamble;
    qsizetype k = 0;
    for (int row = 1; row <= rows; ++row) {
        for (; k < s.kept.size() && s.kept[k].afterRow < row; ++k)
            text += kItemMark + s.kept[k].text;
        appendRecord(text, grid, row, cols);
        if (row == 1)
            text.reserve(text.size() * (rows + s.kept.size()) * 5 / 4 + 64);
    }
    for (; k < s.kept.size(); ++k)
        text += kItemMark + s.kept[k].text;
    // One message per failing list: every edit saves, and a full disk or a
    // read-only folder would otherwise raise a box per click.
    static QString reportedFailure;
    // Every change of the shown list ends in a save: the totals follow here.
    DisplayGridInfoStatusBar();
    QString error;
    const QString notSaved = QStringLiteral("Items list not saved.");
    if (WriteItemsListFile(key, text, &error)) {
        if (reportedFailure == key)
            reportedFailure.clear();
        // The list is stored again: the note of an earlier failure goes.
        if (w->cStatusBar1 && w->cStatusBar1->PanelText(QStringLiteral("Main")) == notSaved)
            w->cStatusBar1->setPanelText(QStringLiteral("Main"), QStringLiteral("Ready."));
        return true;
    }
    if (w->cStatusBar1)
        w->cStatusBar1->setPanelText(QStringLiteral("Main"), notSaved);
    if (reportedFailure != key) {
        reportedFailure = key;
        MsgBox(QStringLiteral("The items list ") + key + QStringLiteral(" could not be saved: ") + error +
                   QStringLiteral("\r\n\r\nYour changes are shown but not stored until a save succeeds."),
               vbExclamation | vbOKOnly, QString(), w->Form());
    }
    return false;
}

void BeginShownList(const QString& path)
{
    ShownList& s = shown();
    s.path = path;
    s.complete = false;
    s.preamble.clear();
    s.kept.clear();
}

void KeepShownRecord(int afterRow, const QString& recordText) { shown().kept.push_back({afterRow, recordText}); }

void KeepShownPreamble(const QString& text) { shown().preamble = text; }

void EndShownList(bool bComplete) { shown().complete = bComplete; }

void ForgetShownList() { shown() = ShownList(); }

void ShownListRowRemoved(int row)
{
    for (KeptRecord& k : shown().kept)
        if (k.afterRow >= row)
            --k.afterRow;
}

void ListFileRenamed(const QString& oldPath, const QString& newPath)
{
    if (shown().path == oldPath)
        shown().path = newPath;
}

QString ShownListPath() { return shown().path; }
bool ShownListComplete() { return shown().complete; }

bool ShownListReadOnly() { return !g_bListLoading && !shown().path.isEmpty() && !shown().complete; }

QString ReadOnlyListNote()
{
    return QStringLiteral("This list's file could not be read whole: the list is shown read-only.");
}

bool RefuseReadOnlyListEdit()
{
    if (!ShownListReadOnly())
        return false;
    if (MainWindowServices* w = mainWindow()) {
        if (w->cStatusBar1)
            w->cStatusBar1->setPanelText(QStringLiteral("Main"), ReadOnlyListNote());
        if (w->lblAddorDrag)
            w->lblAddorDrag->setText(ReadOnlyListNote());
    }
    return true;
}
const QVector<KeptRecord>& ShownListKeptRecords() { return shown().kept; }

bool IsListLoading() { return g_bListLoading; }
void setListLoading(bool bLoading) { g_bListLoading = bLoading; }
