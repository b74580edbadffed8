#include "lists/ItemRow.h"

#include <QFont>
#include <cmath>

#include "components/audio/AudioFileProbe.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cStatusBar.h"
#include "core/MainWindowServices.h"
#include "core/PathNames.h"
#include "core/TimeText.h"

namespace {

const ItemColumn kColumns[kItemColumnCount] = {
    {"Inc", "Inc", 26, true},
    {"Type", "Type", 40, true},
    {"Item Name", "Item Name", 200, true},
    {"Size", "Size", 80, false},
    {"Time", "Time-Length", 80, false},
    {"Created", "Created", 140, false},
    {"Range", "Range", 120, true},
    {"COL_FILE", "COL_FILE", -1, false},
    {"COL_RANGE_ALL", "COL_RANGE_ALL", -1, false},
    {"COL_RANGE_START_TIME", "COL_RANGE_START_TIME", -1, false},
    {"COL_RANGE_LENGTH_TIME", "COL_RANGE_LENGTH_TIME", -1, false},
    {"COL_BYTES_SIZE", "COL_BYTES_SIZE", -1, false},
    {"COL_TAG_ALBUM", "COL_TAG_ALBUM", -1, false},
    {"COL_TAG_ARTIST", "COL_TAG_ARTIST", -1, false},
    {"COL_TAG_COMMENT", "COL_TAG_COMMENT", -1, false},
    {"COL_TAG_GEN", "COL_TAG_GEN", -1, false},
    {"COL_TAG_YEAR", "COL_TAG_YEAR", -1, false},
    {"COL_TAG_TITLE", "COL_TAG_TITLE", -1, false},
    {"COL_TAG_TRACK", "COL_TAG_TRACK", -1, false},
};

// The window-text system colour.
constexpr quint32 kWindowTextColour = 0x80000008;

cGrid* itemsGrid(cGrid* grid)
{
    if (grid)
        return grid;
    MainWindowServices* w = mainWindow();
    return w ? w->cGrid1 : nullptr;
}

// A cell that should hold a number; false when it holds none.
bool cellNumber(const QVariant& value, double& number)
{
    bool ok = false;
    number = value.toString().trimmed().toDouble(&ok);
    return ok && std::isfinite(number);
}

bool rowCounts(cGrid* grid, int row, int incCol, bool bMarkedOnly)
{
    return !bMarkedOnly || grid->CellIcon(row, incCol) == kIconMarked;
}

} // namespace

qint64 TimeCellSeconds(const QString& text)
{
    const qsizetype n = text.size();
    if (n >= 8 && text.at(n - 3) == QLatin1Char(':') && text.at(n - 6) == QLatin1Char(':')) {
        qint64 hours = 0;
        bool digits = true;
        for (qsizetype i = 0; i < n - 6 && digits; ++i) {
            digits = text.at(i).isDigit() && text.at(i).unicode() < 128;
            hours = hours * 10 + (text.at(i).unicode() - '0');
        }
        auto two = [&](qsizetype i) {
            const QChar a = text.at(i), b = text.at(i + 1);
            return (a >= QLatin1Char('0') && a <= QLatin1Char('5') && b >= QLatin1Char('0') && b <= QLatin1Char('9'))
                       ? (a.unicode() - '0') * 10 + (b.unicode() - '0')
                       : -1;
        };
        const int minutes = two(n - 5), seconds = two(n - 2);
        if (digits && n - 6 <= 9 && minutes >= 0 && seconds >= 0)
            return hours * 3600 + minutes * 60 + seconds;
    }
    return TimeTextToSeconds(text);
}

const ItemColumn& ItemColumnAt(int index) { return kColumns[index]; }

const QString& TagColumnKey(int index)
{
    static const QString* const keys[kTagColumnCount] = {&COL_TAG_ALBUM, &COL_TAG_ARTIST, &COL_TAG_COMMENT,
                                                          &COL_TAG_GEN,   &COL_TAG_YEAR,   &COL_TAG_TITLE,
                                                          &COL_TAG_TRACK};
    return *keys[index];
}

int GetTrackTypeImage(const QString& sType)
{
    if (sType == QLatin1String("Data"))
        return kIconData;
    if (sType == QLatin1String("Audio"))
        return kIconAudio;
    return 0;
}

qint64 RoundHalfEven(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double r = std::nearbyint(value); // the default rounding mode: ties to even
    if (r >= 9.2e18 || r <= -9.2e18)
        return 0;
    return qint64(r);
}

QString TimeCellText(qint64 seconds)
{
    const bool negative = seconds < 0;
    const qint64 s = negative ? -seconds : seconds;
    return QStringLiteral("%1%2:%3:%4")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString RangeCellText(qint64 startSeconds, double lengthSeconds)
{
    return TimeCellText(startSeconds) + QStringLiteral(" - ") + TimeCellText(RoundHalfEven(startSeconds + lengthSeconds));
}

void SetGrid(cGrid* grid, cImageList* imageList)
{
    if (!grid)
        return;
    if (!imageList && mainWindow())
        imageList = mainWindow()->imgGrid;
    grid->setRowHeight(24);
    // The rows' font (the playing row in bold); rows added later take it too.
    QFont font = grid->font();
    font.setPointSize(8);
    grid->setFont(font);
    grid->setImageList(imageList);
    for (const ItemColumn& c : kColumns) {
        grid->AddColumn(QString::fromLatin1(c.key), QString::fromLatin1(c.header), 0, -1, c.width, c.shown);
    }
    grid->setMarkColumn(grid->ColumnIndex(COL_INC), kIconMarked);
    grid->setDisplaySwitchA(true);
    grid->setGridLines(true);
    grid->setDisplaySwitchB(true);
    grid->setDisplaySwitchC(true);
    grid->setDisplaySwitchD(false);
    grid->setDisplayColour(kWindowTextColour);
    grid->setHotTrack(true);
    grid->setDisplaySwitchE(false);
}

void SetGridInfo(cGrid* grid)
{
    if (!grid && mainWindow())
        grid = mainWindow()->cGridInfo;
    if (!grid)
        return;
    grid->setRowHeight(20);
    grid->AddColumn(QStringLiteral("Name"), QStringLiteral("Name"), 0, -1, 70);
    grid->AddColumn(QStringLiteral("Value"), QStringLiteral("Value"), 0, -1, 130);
    grid->setDisplaySwitchA(true);
    grid->setGridLines(true);
    grid->setDisplaySwitchB(true);
    grid->setDisplaySwitchD(false);
}

namespace {

// Rows of the information grid that the file probe fills.
constexpr int kInfoSamplesRow = 6;
constexpr int kInfoBitrateRow = 7;
constexpr int kInfoChannelsRow = 8;

QString channelsText(int channels) { return channels == 1 ? QStringLiteral("MONO") : QStringLiteral("STEREO"); }

void showFileFacts(cGrid* info, const AudioFileFacts& facts)
{
    // A file that cannot be read shows no format rather than another file's.
    info->SetCell(kInfoSamplesRow, 2, QString::number(facts.ok() ? facts.sampleRate : 0));
    info->SetCell(kInfoBitrateRow, 2, QString::number(facts.ok() ? facts.bitrate : 0));
    info->SetCell(kInfoChannelsRow, 2, channelsText(facts.ok() ? facts.channels : 0));
}

// The file the information grid describes now, or empty.
QString describedFile(MainWindowServices* w)
{
    if (!w || !w->cGridInfo || !w->cGrid1 || w->cGridInfo->RowCount() < kInfoChannelsRow ||
        w->cGrid1->RowCount() == 0)
        return QString();
    cGrid* grid = w->cGrid1;
    return grid->CellText(grid->SelectedRow(), grid->ColumnIndex(COL_FILE));
}

} // namespace

AudioFileProbe* ItemFileProbe()
{
    MainWindowServices* w = mainWindow();
    if (!w)
        return nullptr;
    if (!w->cFileProbe) {
        w->cFileProbe = new AudioFileProbe(w->Form());
        QObject::connect(w->cFileProbe, &AudioFileProbe::factsRead, w->cFileProbe,
                         [](const QString& path, const AudioFileFacts& facts) {
                             MainWindowServices* now = mainWindow();
                             if (!now)
                                 return;
                             if (describedFile(now) == path)
                                 showFileFacts(now->cGridInfo, facts);
                             now->ItemFileFactsRead(path, facts);
                         });
    }
    return w->cFileProbe;
}

void GetFileInfoToGridInfo()
{
    MainWindowServices* w = mainWindow();
    if (!w || !w->cGridInfo || !w->cGrid1)
        return;
    cGrid* info = w->cGridInfo;
    cGrid* grid = w->cGrid1;
    info->ClearRows();
    if (grid->RowCount() == 0)
        return;
    info->setRedraw(false);

    const int row = grid->SelectedRow();
    auto cell = [&](const QString& key) { return grid->CellValue(row, grid->ColumnIndex(key)); };
    const QString file = cell(COL_FILE).toString();

    const QVariant lines[9][2] = {
        {QStringLiteral("File Name"), cell(COL_ITEM_NAME)},
        {QStringLiteral("Total Time"), cell(COL_TIME)},
        {QStringLiteral("File Size"), cell(COL_SIZE)},
        {QStringLiteral("Created"), cell(COL_CREATED)},
        {QStringLiteral("Format"), GetExtension(file).toUpper()},
        {QStringLiteral("Samples"), QString()},
        {QStringLiteral("Bitrate"), QString()},
        {QStringLiteral("Channels"), QString()},
        {QStringLiteral("Item"), QString::number(row)},
    };
    for (int i = 0; i < 9; ++i) {
        info->SetCell(i + 1, 1, lines[i][0]);
        info->SetCell(i + 1, 2, lines[i][1]);
    }
    // The file is read on the probe's thread (a slow or dead disk must not
    // hold the window); what was read of it before shows meanwhile.
    if (file.isEmpty()) {
        showFileFacts(info, AudioFileFacts());
    } else if (AudioFileProbe* probe = ItemFileProbe()) {
        AudioFileFacts facts;
        if (probe->cached(file, &facts))
            showFileFacts(info, facts);
        probe->request(file);
    }
    info->setRedraw(true);
}

QString GridSummaryText(cGrid* grid)
{
    if (!grid || grid->RowCount() == 0)
        return QStringLiteral("0 Items, 0 KB, 00:00:00");
    const double seconds = GetTotalTime(false, grid).toDouble();
    return QString::number(grid->RowCount()) + QStringLiteral(" Items, ") + GetTotalSize(false, grid) +
           QStringLiteral(", ") + TimeCellText(RoundHalfEven(seconds));
}

void DisplayGridInfoStatusBar()
{
    MainWindowServices* w = mainWindow();
    if (!w || !w->cStatusBar1)
        return;
    w->cStatusBar1->setPanelText(QStringLiteral("Items List Properties"), GridSummaryText(w->cGrid1));
}

QString GetTotalTime(bool bMarkedOnly, cGrid* grid)
{
    grid = itemsGrid(grid);
    if (!grid)
        return QStringLiteral("0");
    const int incCol = grid->ColumnIndex(COL_INC);
    const int allCol = grid->ColumnIndex(COL_RANGE_ALL);
    const int timeCol = grid->ColumnIndex(COL_TIME);
    const int lengthCol = grid->ColumnIndex(COL_RANGE_LENGTH_TIME);
    double total = 0;
    for (int row = 1; row <= grid->RowCount(); ++row) {
        if (!rowCounts(grid, row, incCol, bMarkedOnly))
            continue;
        if (grid->CellText(row, allCol) == QLatin1String("1")) {
            total += double(TimeCellSeconds(grid->CellText(row, timeCol)));
        } else {
            double length = 0;
            if (cellNumber(grid->CellValue(row, lengthCol), length))
                total += length;
        }
    }
    return QString::number(total, 'g', 17);
}

qint64 TotalBytes(bool bMarkedOnly, cGrid* grid)
{
    grid = itemsGrid(grid);
    if (!grid)
        return 0;
    const int incCol = grid->ColumnIndex(COL_INC);
    const int bytesCol = grid->ColumnIndex(COL_BYTES_SIZE);
    qint64 total = 0;
    for (int row = 1; row <= grid->RowCount(); ++row) {
        if (!rowCounts(grid, row, incCol, bMarkedOnly))
            continue;
        const QVariant v = grid->CellValue(row, bytesCol);
        bool ok = false;
        const qint64 bytes = v.typeId() == QMetaType::QString ? v.toString().trimmed().toLongLong(&ok)
                                                               : v.toLongLong(&ok);
        if (ok && bytes > 0)
            total += bytes;
    }
    return total;
}

QString GetTotalSize(bool bMarkedOnly, cGrid* grid) { return FormatByteCount(double(TotalBytes(bMarkedOnly, grid))); }

long GetMarkedCount(cGrid* grid)
{
    grid = itemsGrid(grid);
    if (!grid)
        return 0;
    const int incCol = grid->ColumnIndex(COL_INC);
    long n = 0;
    for (int row = 1; row <= grid->RowCount(); ++row)
        if (grid->CellIcon(row, incCol) == kIconMarked)
            ++n;
    return n;
}

void CopyGridRows(cGrid* source, cGrid* destination, bool bMarkedOnly)
{
    if (!source || !destination || source->RowCount() == 0)
        return;
    destination->setRedraw(false);
    const int columns = source->ColumnCount();
    int n = 0;
    for (int i = 1; i <= source->RowCount(); ++i) {
        if (bMarkedOnly) {
            if (source->CellIcon(i, 1) != kIconMarked)
                continue;
        } else {
            destination->SetCell(i, 1, QVariant(), kIconCellFormat, source->CellIcon(i, 1));
        }
        ++n;
        for (int col = 2; col <= columns; ++col)
            destination->SetCell(n, col, source->CellValue(i, col));
        if (bMarkedOnly)
            destination->setSelectedRow(1);
    }
    if (!bMarkedOnly)
        destination->setSelectedRow(1);
    destination->setRedraw(true);
}

// Rows take the grid's own font (bold for the playing row), so rows added
// later look like the rows a play has touched.
void SetRowBold(int lRow, bool bBold, cGrid* grid)
{
    grid = itemsGrid(grid);
    if (!grid)
        return;
    QFont font = grid->font();
    font.setBold(bBold);
    for (int col = 1; col <= grid->ColumnCount(); ++col)
        grid->setCellFont(lRow, col, font);
}

void SetRowUnBold(cGrid* grid)
{
    grid = itemsGrid(grid);
    if (!grid)
        return;
    grid->setRedraw(false);
    for (int row = 1; row <= grid->RowCount(); ++row)
        for (int col = 1; col <= grid->ColumnCount(); ++col)
            grid->setCellFont(row, col, grid->font());
    grid->setRedraw(true);
}
