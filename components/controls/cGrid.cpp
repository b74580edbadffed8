#include "components/controls/cGrid.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <vector>

#include "components/controls/ControlDrag.h"
#include "components/controls/OleColor.h"
#include "components/controls/cImageList.h"

namespace {
constexpr double kTwipsPerPixel = 15.0;

int vbButton(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

int vbButtons(Qt::MouseButtons b)
{
    int r = 0;
    if (b & Qt::LeftButton) r |= 1;
    if (b & Qt::RightButton) r |= 2;
    if (b & Qt::MiddleButton) r |= 4;
    return r;
}

int vbShift(Qt::KeyboardModifiers m)
{
    int r = 0;
    if (m & Qt::ShiftModifier) r |= 1;
    if (m & Qt::ControlModifier) r |= 2;
    if (m & Qt::AltModifier) r |= 4;
    return r;
}

QString valueText(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::UnknownType: return QString();
    case QMetaType::QDateTime: return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::QDate: return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime: return v.toTime().toString(QStringLiteral("HH:mm:ss"));
    default: return v.toString();
    }
}
} // namespace

namespace components::detail {

using GridCellData = cGridRow::Cell;

struct GridColumnData {
    QString key;
    QString header;
    int width = -1;
    bool shown = true;
};

// Holds every row. The view is told about appended rows in batches
// ("announced" rows): appends cost nothing on the view's side until the next
// flush, which happens before any other structural change, when painting is
// switched back on, or from the event loop.
class GridModel : public QAbstractTableModel {
public:
    explicit GridModel(cGrid* grid) : QAbstractTableModel(grid), m_grid(grid) { fonts.push_back(QFont()); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : announced;
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(columns.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        const GridCellData* c = cell(index.row() + 1, index.column() + 1);
        if (!c)
            return QVariant();
        switch (role) {
        case Qt::DisplayRole:
            return valueText(c->value);
        case Qt::DecorationRole:
            if (c->icon >= 0 && m_grid->ImageList())
                return m_grid->ImageList()->ImagePixmap(c->icon);
            return QVariant();
        case Qt::FontRole:
            if (c->font > 0)
                return fonts[c->font];
            return QVariant();
        case Qt::ForegroundRole:
            if (textColour.isValid())
                return textColour;
            return QVariant();
        case Qt::CheckStateRole:
            // Read by accessibility only; the delegate draws the icon, not a check box.
            if (index.column() + 1 == m_grid->m_markColumn)
                return c->icon == m_grid->m_markedIcon ? Qt::Checked : Qt::Unchecked;
            return QVariant();
        default:
            return QVariant();
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < int(columns.size()))
            return columns[size_t(section)].header;
        return QVariant();
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        if (index.column() + 1 == m_grid->m_markColumn)
            return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }

    GridCellData* cell(int row, int col)
    {
        if (row < 1 || row > int(rows.size()) || col < 1 || col > int(columns.size()))
            return nullptr;
        return &rows[size_t(row - 1)].m_cells[size_t(col - 1)];
    }
    const GridCellData* cell(int row, int col) const { return const_cast<GridModel*>(this)->cell(row, col); }

    // Tells the view about appended rows and about cells changed while painting was held.
    void flush()
    {
        if (announced < int(rows.size())) {
            beginInsertRows(QModelIndex(), announced, int(rows.size()) - 1);
            announced = int(rows.size());
            endInsertRows();
        }
        if (dirtyFirst >= 0) {
            const int last = std::min(dirtyLast, announced - 1);
            if (dirtyFirst <= last && !columns.empty())
                emit dataChanged(index(dirtyFirst, 0), index(last, int(columns.size()) - 1));
            dirtyFirst = dirtyLast = -1;
        }
    }

    // A cell of a row the view knows changed.
    void cellChanged(int row, int col, bool bImmediate)
    {
        const int r = row - 1;
        if (r >= announced)
            return; // the view sees it when the row is announced
        if (bImmediate) {
            const QModelIndex i = index(r, col - 1);
            emit dataChanged(i, i);
            return;
        }
        if (dirtyFirst < 0) {
            dirtyFirst = dirtyLast = r;
        } else {
            dirtyFirst = std::min(dirtyFirst, r);
            dirtyLast = std::max(dirtyLast, r);
        }
    }

    void appendColumn(const GridColumnData& c)
    {
        const int n = int(columns.size());
        beginInsertColumns(QModelIndex(), n, n);
        columns.push_back(c);
        keyIndex.insert(c.key, n + 1);
        for (auto& r : rows)
            r.m_cells.resize(columns.size());
        endInsertColumns();
    }

    void appendRow() { rows.emplace_back(int(columns.size())); }

    void removeRowAt(int row)
    {
        flush();
        beginRemoveRows(QModelIndex(), row - 1, row - 1);
        rows.erase(rows.begin() + (row - 1));
        announced = int(rows.size());
        endRemoveRows();
    }

    void clearRows()
    {
        beginResetModel();
        rows.clear();
        rows.shrink_to_fit();
        announced = 0;
        dirtyFirst = dirtyLast = -1;
        endResetModel();
    }

    quint16 fontIndex(const QFont& f)
    {
        for (int i = 1; i < fonts.size(); ++i)
            if (fonts[i] == f && fonts[i].resolveMask() == f.resolveMask())
                return quint16(i);
        if (fonts.size() >= 0xFFFF)
            return 0;
        fonts.push_back(f);
        return quint16(fonts.size() - 1);
    }

    void refreshAll()
    {
        if (announced > 0 && !columns.empty())
            emit dataChanged(index(0, 0), index(announced - 1, int(columns.size()) - 1));
    }

    std::vector<GridColumnData> columns;
    QHash<QString, int> keyIndex;
    std::vector<cGridRow> rows;
    QVector<QFont> fonts;
    QColor textColour;
    int announced = 0;
    int dirtyFirst = -1;
    int dirtyLast = -1;

private:
    cGrid* m_grid;
};

class GridView : public QTableView {
public:
    explicit GridView(cGrid* grid) : QTableView(grid), m_grid(grid)
    {
        setAcceptDrops(true);
        viewport()->setAcceptDrops(true);
        setDragDropMode(QAbstractItemView::DropOnly);
        // Tab moves on to the next control rather than from cell to cell.
        setTabKeyNavigation(false);
    }

    int hoverRow = -1; // row under the mouse while hot tracking, -1 none

protected:
    void mouseMoveEvent(QMouseEvent* e) override
    {
        QTableView::mouseMoveEvent(e);
        if (m_grid->HotTrack())
            setHoverRow(rowAt(int(e->position().y())));
    }

    void leaveEvent(QEvent* e) override
    {
        QTableView::leaveEvent(e);
        setHoverRow(-1);
    }

    void setHoverRow(int row)
    {
        if (row == hoverRow)
            return;
        const int old = hoverRow;
        hoverRow = row;
        for (int r : {old, row})
            if (r >= 0)
                viewport()->update(QRect(0, rowViewportPosition(r), viewport()->width(), rowHeight(r)));
    }

    void mouseReleaseEvent(QMouseEvent* e) override
    {
        QTableView::mouseReleaseEvent(e);
        const QPointF p = viewport()->mapTo(m_grid, e->position());
        emit m_grid->GridMouseUp(vbButton(e->button()), vbShift(e->modifiers()), p.x() * kTwipsPerPixel,
                                 p.y() * kTwipsPerPixel);
    }

    void keyPressEvent(QKeyEvent* e) override
    {
        // The keys the owner acts on; with a modifier they keep their selection meaning.
        const bool plain = (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        switch (e->key()) {
        case Qt::Key_Delete:
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (plain) {
                e->accept();
                emit m_grid->GridKeyDown(e->key(), 0);
                return;
            }
            break;
        default:
            break;
        }
        QTableView::keyPressEvent(e);
    }

    void mouseDoubleClickEvent(QMouseEvent* e) override
    {
        QTableView::mouseDoubleClickEvent(e);
        const QModelIndex i = indexAt(e->position().toPoint());
        if (i.isValid())
            emit m_grid->GridDblClick(i.row() + 1, i.column() + 1);
    }

    void paintEvent(QPaintEvent* e) override
    {
        if (!m_grid->Redraw())
            m_grid->viewPaintedWhileHeld();
        QTableView::paintEvent(e);
    }

    bool acceptable(const QMimeData* d) const
    {
        return components::isControlDrag(d) || !cGrid::LocalFilesFromMime(d).isEmpty();
    }

    void dragEnterEvent(QDragEnterEvent* e) override
    {
        if (acceptable(e->mimeData())) {
            e->setDropAction(components::isControlDrag(e->mimeData()) ? Qt::MoveAction : Qt::CopyAction);
            e->accept();
        } else {
            e->ignore();
        }
    }

    void dragMoveEvent(QDragMoveEvent* e) override
    {
        if (acceptable(e->mimeData())) {
            e->setDropAction(components::isControlDrag(e->mimeData()) ? Qt::MoveAction : Qt::CopyAction);
            e->accept();
        } else {
            e->ignore();
        }
    }

    void dropEvent(QDropEvent* e) override
    {
        const QPointF p = viewport()->mapTo(m_grid, e->position());
        const double x = p.x() * kTwipsPerPixel;
        const double y = p.y() * kTwipsPerPixel;
        if (components::isControlDrag(e->mimeData())) {
            e->setDropAction(Qt::MoveAction);
            e->accept();
            emit m_grid->DragDrop(e->source(), x, y);
            return;
        }
        const QStringList files = cGrid::LocalFilesFromMime(e->mimeData());
        if (files.isEmpty()) {
            e->ignore();
            return;
        }
        e->setDropAction(Qt::CopyAction);
        e->accept();
        emit m_grid->GridOLEDragDrop(files, 1, vbButtons(e->buttons()), vbShift(e->modifiers()), x, y);
    }

private:
    cGrid* m_grid;
};

// Shades the row under the mouse when hot tracking is on.
class GridDelegate : public QStyledItemDelegate {
public:
    GridDelegate(cGrid* grid, GridView* view) : QStyledItemDelegate(view), m_grid(grid), m_view(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (m_grid->HotTrack() && index.row() == m_view->hoverRow && !(option.state & QStyle::State_Selected)) {
            QColor c = option.palette.color(QPalette::Highlight);
            c.setAlpha(48);
            painter->fillRect(option.rect, c);
        }
        QStyledItemDelegate::paint(painter, option, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        // The mark column shows its icon; its check state is for accessibility.
        option->features.setFlag(QStyleOptionViewItem::HasCheckIndicator, false);
    }

    bool editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&) override
    {
        return false; // no check box to click: the owner flips marks itself
    }

private:
    cGrid* m_grid;
    GridView* m_view;
};

} // namespace components::detail

using components::detail::GridCellData;
using components::detail::GridDelegate;
using components::detail::GridModel;
using components::detail::GridView;

// ---------------------------------------------------------------- cGridCell

QString cGridCell::CellText() const { return m_grid ? m_grid->CellText(m_row, m_col) : QString(); }
QVariant cGridCell::CellValue() const { return m_grid ? m_grid->CellValue(m_row, m_col) : QVariant(); }
void cGridCell::setCellText(const QVariant& value)
{
    if (m_grid)
        m_grid->setCellText(m_row, m_col, value);
}
int cGridCell::CellIcon() const { return m_grid ? m_grid->CellIcon(m_row, m_col) : -1; }
void cGridCell::setCellIcon(int icon)
{
    if (m_grid)
        m_grid->setCellIcon(m_row, m_col, icon);
}
bool cGridCell::CellSelected() const { return m_grid && m_grid->CellSelected(m_row, m_col); }

// ---------------------------------------------------------------- cGrid

cGrid::cGrid(QWidget* parent)
    : QWidget(parent)
{
    m_model = new GridModel(this);
    m_view = new GridView(this);
    m_view->setModel(m_model);
    m_view->setItemDelegate(new GridDelegate(this, m_view));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->setTextElideMode(Qt::ElideRight);
    m_view->setShowGrid(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setMinimumSectionSize(1);
    m_view->horizontalHeader()->setHighlightSections(false);
    m_view->horizontalHeader()->setSectionsClickable(false);
    m_view->setCornerButtonEnabled(false);
    m_view->setAutoScroll(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);

    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex&, const QModelIndex&) { syncCurrentFromView(); });
    // A model reset replaces the selection model's state, not the object.
}

cGrid::~cGrid()
{
    // The view and model go after this object's own part is gone: they must
    // not report back into it while they are taken down.
    m_view->selectionModel()->disconnect(this);
    m_view->disconnect(this);
}

QTableView* cGrid::tableView() const { return m_view; }

int cGrid::AddColumn(const QString& key, const QString& header, int, int, int width, bool bShown)
{
    if (m_model->keyIndex.contains(key))
        return 0;
    m_model->appendColumn({key, header, width, bShown});
    const int c = int(m_model->columns.size());
    if (width >= 0)
        m_view->setColumnWidth(c - 1, width);
    m_view->setColumnHidden(c - 1, !bShown);
    return c;
}

int cGrid::ColumnCount() const { return int(m_model->columns.size()); }

int cGrid::ColumnIndex(const QString& key) const { return m_model->keyIndex.value(key, 0); }

QString cGrid::ColumnKey(int col) const
{
    return (col >= 1 && col <= ColumnCount()) ? m_model->columns[size_t(col - 1)].key : QString();
}

QString cGrid::ColumnHeader(int col) const
{
    return (col >= 1 && col <= ColumnCount()) ? m_model->columns[size_t(col - 1)].header : QString();
}

int cGrid::ColumnWidth(int col) const
{
    if (col < 1 || col > ColumnCount())
        return 0;
    return m_view->isColumnHidden(col - 1) ? m_model->columns[size_t(col - 1)].width : m_view->columnWidth(col - 1);
}

bool cGrid::ColumnVisible(int col) const
{
    return col >= 1 && col <= ColumnCount() && !m_view->isColumnHidden(col - 1);
}

int cGrid::RowCount() const { return int(m_model->rows.size()); }

bool cGrid::SetCell(int row, int col, const QVariant& text, int, std::optional<int> icon)
{
    if (col < 1 || col > ColumnCount() || row < 1 || row > RowCount() + 1)
        return false;
    if (row == RowCount() + 1) {
        m_model->appendRow();
        if (m_redraw)
            schedulePendingFlush();
    }
    GridCellData* c = m_model->cell(row, col);
    c->value = text;
    if (icon)
        c->icon = *icon;
    m_model->cellChanged(row, col, m_redraw);
    return true;
}

int cGrid::AppendRows(std::vector<cGridRow>& rows)
{
    const int before = RowCount();
    // As with SetCell, a grid without columns takes no rows.
    for (cGridRow& r : rows)
        if (r.ColumnCount() == ColumnCount() && ColumnCount() > 0)
            m_model->rows.push_back(std::move(r));
    rows.clear();
    const int added = RowCount() - before;
    if (added > 0 && m_redraw)
        schedulePendingFlush();
    return added;
}

void cGrid::ClearRows()
{
    const int before = m_currentRow;
    m_syncingView = true;
    m_model->clearRows();
    m_syncingView = false;
    m_currentRow = 0;
    m_currentPending = false;
    if (before != 0)
        reportRowChange();
}

void cGrid::RemoveRow(int row)
{
    if (row < 1 || row > RowCount())
        return;
    const int before = m_currentRow;
    int after = before;
    if (before == row)
        after = std::min(row, RowCount() - 1);
    else if (before > row)
        after = before - 1;

    if (m_currentPending) {
        m_currentPending = false;
        flushPending();
        applyCurrentToView();
    }
    m_syncingView = true;
    m_model->removeRowAt(row);
    m_currentRow = after;
    if (m_currentRow >= 1) {
        // Move the current mark without touching the selection: a caller that
        // removes the selected rows one by one still sees the others selected.
        const int col = std::max(1, m_currentCol);
        m_view->selectionModel()->setCurrentIndex(m_model->index(m_currentRow - 1, col - 1),
                                                  QItemSelectionModel::NoUpdate);
    }
    m_syncingView = false;
    if (before != after || before == row)
        reportRowChange();
}

long cGrid::RowData(int row) const
{
    return (row >= 1 && row <= RowCount()) ? m_model->rows[size_t(row - 1)].m_data : 0;
}

void cGrid::setRowData(int row, long data)
{
    if (row >= 1 && row <= RowCount())
        m_model->rows[size_t(row - 1)].m_data = data;
}

QString cGrid::CellText(int row, int col) const
{
    const GridCellData* c = m_model->cell(row, col);
    return c ? valueText(c->value) : QString();
}

QVariant cGrid::CellValue(int row, int col) const
{
    const GridCellData* c = m_model->cell(row, col);
    return c ? c->value : QVariant();
}

void cGrid::setCellText(int row, int col, const QVariant& value)
{
    if (GridCellData* c = m_model->cell(row, col)) {
        c->value = value;
        m_model->cellChanged(row, col, m_redraw);
    }
}

int cGrid::CellIcon(int row, int col) const
{
    const GridCellData* c = m_model->cell(row, col);
    return c ? c->icon : -1;
}

void cGrid::setCellIcon(int row, int col, int icon)
{
    if (GridCellData* c = m_model->cell(row, col)) {
        c->icon = icon;
        m_model->cellChanged(row, col, m_redraw);
    }
}

bool cGrid::CellSelected(int row, int col) const
{
    if (!m_model->cell(row, col))
        return false;
    if (row > m_model->announced)
        return m_currentPending && row == m_currentRow;
    return m_view->selectionModel()->isRowSelected(row - 1, QModelIndex());
}

QFont cGrid::CellFont(int row, int col) const
{
    const GridCellData* c = m_model->cell(row, col);
    if (c && c->font > 0)
        return m_model->fonts[c->font];
    return m_view->font();
}

void cGrid::setCellFont(int row, int col, const QFont& font)
{
    if (GridCellData* c = m_model->cell(row, col)) {
        // The grid's own font is stored as "none", so the cell keeps following the grid.
        c->font = font == m_view->font() ? 0 : m_model->fontIndex(font);
        m_model->cellChanged(row, col, m_redraw);
    }
}

void cGrid::setSelectedRow(int row)
{
    if (row < 1 || row > RowCount())
        return;
    setCurrent(row, std::max(1, m_currentCol), true);
}

void cGrid::setSelectedCol(int col)
{
    if (col < 1 || col > ColumnCount())
        return;
    m_currentCol = col;
    if (m_currentRow >= 1)
        applyCurrentToView();
}

void cGrid::setCurrent(int row, int col, bool bSelectRow)
{
    const int before = m_currentRow;
    m_currentRow = row;
    m_currentCol = col;
    if (bSelectRow)
        applyCurrentToView();
    if (before != row)
        reportRowChange();
}

void cGrid::applyCurrentToView()
{
    m_currentPending = false;
    if (!m_redraw && m_currentRow > m_model->announced) {
        // The row is not shown yet: select it when painting resumes, so that a
        // bulk fill that moves the current row does not announce rows one by one.
        m_currentPending = true;
        return;
    }
    flushPending();
    if (m_currentRow < 1 || m_currentRow > m_model->announced)
        return;
    const QModelIndex i = m_model->index(m_currentRow - 1, std::max(1, m_currentCol) - 1);
    m_syncingView = true;
    m_view->selectionModel()->setCurrentIndex(
        i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_syncingView = false;
    if (m_redraw)
        m_view->scrollTo(i);
}

void cGrid::syncCurrentFromView()
{
    if (m_syncingView)
        return;
    const QModelIndex i = m_view->selectionModel()->currentIndex();
    const int before = m_currentRow;
    if (i.isValid()) {
        m_currentRow = i.row() + 1;
        m_currentCol = i.column() + 1;
    } else {
        m_currentRow = 0;
    }
    if (before != m_currentRow)
        reportRowChange();
}

void cGrid::reportRowChange()
{
    if (!m_redraw) {
        m_rowChangeHeld = true;
        return;
    }
    emit RowChange(m_currentRow, m_currentCol);
}

void cGrid::setRedraw(bool bRedraw)
{
    m_redraw = bRedraw;
    if (bRedraw) {
        m_redrawNeededSent = false;
        flushPending();
        if (m_currentPending)
            applyCurrentToView();
        else if (m_currentRow >= 1)
            m_view->scrollTo(m_model->index(m_currentRow - 1, std::max(1, m_currentCol) - 1));
        m_view->viewport()->update();
        if (m_rowChangeHeld) {
            m_rowChangeHeld = false;
            emit RowChange(m_currentRow, m_currentCol);
        }
    }
}

void cGrid::flushPending()
{
    m_model->flush();
}

void cGrid::schedulePendingFlush()
{
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_flushQueued = false;
        if (m_redraw)
            flushPending();
    });
}

void cGrid::viewPaintedWhileHeld()
{
    if (m_redrawNeededSent)
        return;
    m_redrawNeededSent = true;
    QMetaObject::invokeMethod(this, [this] {
        if (!m_redraw)
            emit RedrawNeeded(0);
    }, Qt::QueuedConnection);
}

int cGrid::RowHeight() const { return m_view->verticalHeader()->defaultSectionSize(); }

void cGrid::setRowHeight(int height)
{
    if (height > 0)
        m_view->verticalHeader()->setDefaultSectionSize(height);
}

void cGrid::setImageList(cImageList* list)
{
    if (m_imageList)
        disconnect(m_imageList, nullptr, this, nullptr);
    m_imageList = list;
    if (list) {
        connect(list, &cImageList::Changed, this, [this] { m_model->refreshAll(); });
        m_view->setIconSize(list->ImageSize());
    }
    m_model->refreshAll();
}

bool cGrid::GridLines() const { return m_view->showGrid(); }
void cGrid::setGridLines(bool on) { m_view->setShowGrid(on); }

void cGrid::setHotTrack(bool on)
{
    m_hotTrack = on;
    m_view->setMouseTracking(on);
    m_view->viewport()->setAttribute(Qt::WA_Hover, on);
}

void cGrid::setDisplayColour(quint32 colour)
{
    m_model->textColour = components::oleColour(colour, m_view->palette());
    m_model->refreshAll();
}

void cGrid::setBackColor(quint32 colour)
{
    QPalette p = m_view->palette();
    p.setColor(QPalette::Base, components::oleColour(colour, p));
    m_view->setPalette(p);
}

void cGrid::setGridBackgroundPicture(const QPixmap& picture)
{
    QPalette p = m_view->palette();
    if (picture.isNull())
        p.setBrush(QPalette::Base, palette().brush(QPalette::Base));
    else
        p.setBrush(QPalette::Base, QBrush(picture));
    m_view->setPalette(p);
}

QStringList cGrid::LocalFilesFromMime(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& u : data->urls())
        if (u.isLocalFile() && !u.toLocalFile().isEmpty())
            files << u.toLocalFile();
    return files;
}
