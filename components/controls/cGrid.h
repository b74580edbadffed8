#pragma once
// The grid: keyed columns, rows numbered from 1, cells holding a value, an
// icon index and a font. It sits on a table model with one flat record per
// row, so lists of many thousands of rows stay cheap to fill and to show.
//
// Convention: a property X is read with X() and written with setX(value);
// methods and events (Qt signals) keep their names. Rows and columns are
// 1-based; 0 means "none". Invalid rows, columns or keys are ignored by
// writers and read back as empty, so callers never need to guard.
//
// Screen positions in events are in twips (15 per pixel), relative to the grid.
#include <QFont>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <optional>
#include <vector>

class QMimeData;
class QTableView;
class cGrid;
#include "components/controls/cImageList.h"

namespace components::detail {
class GridModel;
class GridView;
}

// A row made ahead of time, on any thread, then appended whole with
// AppendRows: a long fill costs the window's thread next to nothing.
class cGridRow {
public:
    // A row of `columns` empty cells (the grid's column count).
    explicit cGridRow(int columns = 0) : m_cells(size_t(std::max(0, columns))) {}
    int ColumnCount() const { return int(m_cells.size()); }
    // As SetCell: 1-based; a column outside the row is ignored; an omitted
    // icon leaves the cell's icon as it is.
    void setCell(int col, const QVariant& value, std::optional<int> icon = std::nullopt)
    {
        if (col < 1 || col > ColumnCount())
            return;
        Cell& c = m_cells[size_t(col - 1)];
        c.value = value;
        if (icon)
            c.icon = *icon;
    }
    QVariant CellValue(int col) const
    {
        return col >= 1 && col <= ColumnCount() ? m_cells[size_t(col - 1)].value : QVariant();
    }

    // How the grid keeps a cell.
    struct Cell {
        QVariant value;
        qint32 icon = -1;
        quint16 font = 0; // index into the grid's fonts; 0 is the grid's own font
    };

private:
    friend class cGrid;
    friend class components::detail::GridModel;
    std::vector<Cell> m_cells;
    long m_data = 0;
};

// A handle on one cell, as Cell(row, column) hands it out. It stays usable
// while the grid lives; a cell outside the grid reads as empty and ignores writes.
class cGridCell {
public:
    cGridCell() = default;
    cGridCell(cGrid* grid, int row, int col) : m_grid(grid), m_row(row), m_col(col) {}

    // The value as text (dates as "yyyy-MM-dd HH:mm:ss").
    QString CellText() const;
    // The value as it was written (text, number or date).
    QVariant CellValue() const;
    void setCellText(const QVariant& value);
    // -1 when the cell has no icon.
    int CellIcon() const;
    void setCellIcon(int icon);
    // The cell's row is part of the selection.
    bool CellSelected() const;

private:
    QPointer<cGrid> m_grid;
    int m_row = 0;
    int m_col = 0;
};

class cGrid : public QWidget {
    Q_OBJECT
public:
    // Text format of icon cells: single line, word ellipsis.
    static constexpr int kIconCellFormat = 0x40020;

    explicit cGrid(QWidget* parent = nullptr);
    ~cGrid() override;

    // --- columns ---
    // Appends a column; the two fixed arguments are accepted and have no effect.
    // A width below 0 keeps the default width. Returns the new column's index,
    // or 0 when the key is already taken.
    int AddColumn(const QString& key, const QString& header, int reserved0 = 0, int reservedMinus1 = -1,
                  int width = -1, bool bShown = true);
    int ColumnCount() const;
    // 0 when no column has that key (keys compare exactly).
    int ColumnIndex(const QString& key) const;
    QString ColumnKey(int col) const;
    QString ColumnHeader(int col) const;
    int ColumnWidth(int col) const;
    bool ColumnVisible(int col) const;

    // --- rows and cells ---
    int RowCount() const;
    cGridCell Cell(int row, int col) { return cGridCell(this, row, col); }
    // Writes a cell. Writing into row RowCount() + 1 appends that row; any other
    // row outside the grid is ignored (false). The text format is accepted for
    // compatibility; an omitted icon leaves the cell's icon as it is.
    bool SetCell(int row, int col, const QVariant& text = QVariant(), int textFormat = 0,
                 std::optional<int> icon = std::nullopt);
    // Appends the rows in order, as writing their cells into row RowCount() + 1
    // would; a row whose width is not the grid's is left out. The rows are
    // taken (moved from). Returns the number appended.
    int AppendRows(std::vector<cGridRow>& rows);
    void ClearRows();
    // Removes one row; the rows below move up. The current row stays on a
    // remaining row and is 0 only when none remains.
    void RemoveRow(int row);
    long RowData(int row) const;
    void setRowData(int row, long data);

    QString CellText(int row, int col) const;
    QVariant CellValue(int row, int col) const;
    void setCellText(int row, int col, const QVariant& value);
    int CellIcon(int row, int col) const;
    void setCellIcon(int row, int col, int icon);
    bool CellSelected(int row, int col) const;
    QFont CellFont(int row, int col) const;
    void setCellFont(int row, int col, const QFont& font);

    // --- current row and column, selection ---
    int SelectedRow() const { return m_currentRow; }
    // Makes the row current and the only selected row.
    void setSelectedRow(int row);
    int SelectedCol() const { return m_currentCol; }
    void setSelectedCol(int col);

    // --- painting and display ---
    bool Redraw() const { return m_redraw; }
    // False holds back painting, the view's updates and RowChange during bulk
    // changes; True shows every change made meanwhile at once.
    void setRedraw(bool bRedraw);
    int RowHeight() const;
    void setRowHeight(int height);
    cImageList* ImageList() const { return m_imageList; }
    void setImageList(cImageList* list);
    bool GridLines() const;
    void setGridLines(bool on);
    bool HotTrack() const { return m_hotTrack; }
    void setHotTrack(bool on);
    // Fixed display settings of the set-up code; kept, without visible effect.
    void setDisplaySwitchA(bool on) { m_switches[0] = on; }
    void setDisplaySwitchB(bool on) { m_switches[1] = on; }
    void setDisplaySwitchC(bool on) { m_switches[2] = on; }
    void setDisplaySwitchD(bool on) { m_switches[3] = on; }
    void setDisplaySwitchE(bool on) { m_switches[4] = on; }
    // Text colour of the cells (0x00BBGGRR or a system colour).
    void setDisplayColour(quint32 colour);
    void setBackColor(quint32 colour);
    void setGridBackgroundPicture(const QPixmap& picture);
    // The column whose icon is a mark box: accessibility reads the cell as
    // checked while it shows markedIcon (0: no such column).
    void setMarkColumn(int col, int markedIcon)
    {
        m_markColumn = col;
        m_markedIcon = markedIcon;
    }

    // The table view inside (tests drive the mouse through it).
    QTableView* tableView() const;

    // Local file paths of a drop, in the drop's order; other URLs are left out.
    static QStringList LocalFilesFromMime(const QMimeData* data);

signals:
    // The current row changed (by the user, setSelectedRow, RemoveRow or
    // ClearRows). While Redraw is off the changes are summed up in one event
    // raised when painting resumes.
    void RowChange(int row, int col);
    // Button: 1 left, 2 right, 4 middle. Shift: 1 shift, 2 ctrl, 4 alt.
    void GridMouseUp(int Button, int Shift, double x, double y);
    void GridDblClick(int row, int col);
    // Delete, Space, Return or Enter pressed without a modifier (a Qt key code).
    void GridKeyDown(int key, int Shift);
    // Painting was asked for while Redraw is off; the owner answers setRedraw(true).
    void RedrawNeeded(int reserved);
    // Files were dropped: their local paths in order (Data(1) is Data[0]).
    void GridOLEDragDrop(const QStringList& Data, int Effect, int Button, int Shift, double x, double y);
    // A control dragged with components::startControlDrag was dropped here.
    void DragDrop(QObject* Source, double x, double y);

private:
    friend class components::detail::GridModel;
    friend class components::detail::GridView;
    void syncCurrentFromView();
    void setCurrent(int row, int col, bool bSelectRow);
    void applyCurrentToView();
    void flushPending();
    void schedulePendingFlush();
    void viewPaintedWhileHeld();
    void reportRowChange();

    components::detail::GridModel* m_model = nullptr;
    components::detail::GridView* m_view = nullptr;
    QPointer<cImageList> m_imageList;
    int m_currentRow = 0;
    int m_currentCol = 0;
    bool m_redraw = true;
    bool m_hotTrack = false;
    int m_markColumn = 0;
    int m_markedIcon = 1;
    bool m_flushQueued = false;
    bool m_redrawNeededSent = false;
    bool m_syncingView = false;
    bool m_rowChangeHeld = false;  // RowChange owed for when painting resumes
    bool m_currentPending = false; // current row set while held, not yet shown
    bool m_switches[5] = {};
};
