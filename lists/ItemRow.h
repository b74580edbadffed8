#pragma once
// The item row: one row of any items grid, its cells addressed by column key.
// Every items grid has these nineteen columns in this order, because rows are
// copied between grids by column index. Also the set-up of the main window's
// items grid and information grid, the list summary in the status bar, the
// totals and the row copy.
#include <QString>
#include <QtGlobal>

#include "core/ItemsListText.h"

class cGrid;
class cImageList;

constexpr int kItemColumnCount = 19;

struct ItemColumn {
    const char* key;
    const char* header;
    int width;
    bool shown;
};
// The nineteen columns of the main grid, with their headers, widths and visibility.
const ItemColumn& ItemColumnAt(int index); // 0-based

// The seven tag columns, in the order lists store them.
const QString& TagColumnKey(int index); // 0 to 6
constexpr int kTagColumnCount = 7;

// Icons of the two icon cells (the grid's image list: 0 not marked, 1 marked,
// 3 audio item, 4 data track of a CD).
constexpr int kIconUnmarked = 0;
constexpr int kIconMarked = 1;
constexpr int kIconAudio = 3;
constexpr int kIconData = 4;
// Text format of the icon cells: single line, word ellipsis.
constexpr int kIconCellFormat = 0x40020;

// "Data" gives the data-track icon, "Audio" the audio icon, anything else 0.
int GetTrackTypeImage(const QString& sType);

// Whole seconds as "HH:MM:SS" (hours not wrapped: 90000 gives "25:00:00").
QString TimeCellText(qint64 seconds);
// Seconds of a "HH:MM:SS" cell; the general time reading for any other text.
qint64 TimeCellSeconds(const QString& text);
// Rounds to the nearest whole number, halves to the even neighbour.
qint64 RoundHalfEven(double value);
// The Range cell of a row with a range: start and end as "HH:MM:SS" joined by " - ".
QString RangeCellText(qint64 startSeconds, double lengthSeconds);

// Sets up an items grid: row height, image list (null: the main window's
// imgGrid), the nineteen columns and the display settings.
void SetGrid(cGrid* grid, cImageList* imageList = nullptr);
// Sets up the information grid (null: the main window's cGridInfo).
void SetGridInfo(cGrid* grid = nullptr);

// Refills the main window's information grid for the current row of its items
// grid. The row's own cells go in at once; the file's format (samples,
// bitrate, channels) follows when the main window's file probe has read it.
void GetFileInfoToGridInfo();
// The main window's file probe, made on first use.
class AudioFileProbe;
AudioFileProbe* ItemFileProbe();
// Rewrites the list summary in the status panel "Items List Properties".
void DisplayGridInfoStatusBar();
// The summary text of a grid, e.g. "3 Items, 1.95 MB, 00:05:30".
QString GridSummaryText(cGrid* grid);

// Total seconds of all rows (or of the marked ones) as decimal text, ranges
// honoured. grid null: the main window's items grid.
QString GetTotalTime(bool bMarkedOnly, cGrid* grid = nullptr);
// Total bytes of the same rows as a size text ("0", "1.95 MB" ...). The total
// is 64-bit: no row is ever left out of it.
QString GetTotalSize(bool bMarkedOnly, cGrid* grid = nullptr);
qint64 TotalBytes(bool bMarkedOnly, cGrid* grid = nullptr);
// Rows whose mark icon is 1.
long GetMarkedCount(cGrid* grid = nullptr);

// Copies rows by column index, from the second column on: the marked rows
// (their mark cells stay empty in the copy) or all rows with their marks.
void CopyGridRows(cGrid* source, cGrid* destination, bool bMarkedOnly);

// Row fonts: the playing row is bold.
void SetRowBold(int lRow, bool bBold, cGrid* grid = nullptr);
void SetRowUnBold(cGrid* grid = nullptr);
