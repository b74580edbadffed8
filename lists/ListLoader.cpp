#include "lists/ListLoader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "components/audio/cAudioConverter.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cStatusBar.h"
#include "core/MainWindowServices.h"
#include "core/PathNames.h"
#include "core/TimeText.h"
#include "core/WindowHelpers.h"
#include "lists/CdDrives.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/ListTree.h"
#include "platform/MessageBox.h"
#include "settings/Options.h"

namespace {

// One record of a list file, as far as its fields can be read.
struct Record {
    QString text;        // without its leading "<ITEM>"
    bool usable = false; // its fields make a row
    int inc = 0;
    int type = 0;
    QString name, file, rangeAll, start, length;
    qint64 startSeconds = 0;
    double lengthSeconds = 0;
    QString tags[kTagColumnCount];
};

// What the worker learnt of a record's audio file.
struct Probe {
    bool ok = false;
    QString timeText;
    qint64 bytes = 0;
    QDateTime created;
    QString tags[kTagColumnCount];
};

// A whole number as the loader takes it: digits, or a number rounded to one.
bool wholeNumber(const QString& text, qint64& value)
{
    const QString t = text.trimmed();
    bool ok = false;
    value = t.toLongLong(&ok);
    if (ok)
        return true;
    const double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d) || d > 2e18 || d < -2e18)
        return false;
    value = RoundHalfEven(d);
    return true;
}

Record readRecord(const QString& text)
{
    Record r;
    r.text = text;
    qint64 inc = 0;
    // The mark is 0 or 1; any other value is no record of ours, and is kept
    // as it was rather than shown as a third state.
    if (!wholeNumber(GetItemField(COL_INC, text), inc) || (inc != 0 && inc != 1))
        return r;
    r.inc = int(inc);
    r.type = GetTrackTypeImage(GetItemField(COL_TYPE, text));
    r.name = GetItemField(COL_ITEM_NAME, text);
    r.file = GetItemField(COL_FILE, text);
    r.rangeAll = GetItemField(COL_RANGE_ALL, text);
    if (r.rangeAll == QLatin1String("0")) {
        r.start = GetItemField(COL_RANGE_START_TIME, text);
        r.length = GetItemField(COL_RANGE_LENGTH_TIME, text);
        if (!wholeNumber(r.start, r.startSeconds))
            return r;
        bool ok = false;
        r.lengthSeconds = r.length.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(r.lengthSeconds))
            r.lengthSeconds = 0;
    }
    for (int i = 0; i < kTagColumnCount; ++i)
        r.tags[i] = GetItemField(TagColumnKey(i), text);
    r.usable = true;
    return r;
}

void probeFile(cAudioConverter& converter, const Record& r, bool bTagsFromFile, Probe& p)
{
    if (!FileExists(r.file) || converter.OpenSourceFile(r.file) != 0)
        return;
    const qint64 seconds = RoundHalfEven(converter.DurationMs() / 1000.0);
    p.timeText = TimeCellText(seconds);
    p.bytes = QFileInfo(r.file).size();
    p.created = GetFileCreatedDate(r.file);
    if (bTagsFromFile) {
        converter.ReadTags(r.file);
        const QString tags[kTagColumnCount] = {converter.TagAlbum(), converter.TagArtist(), converter.TagComment(),
                                               converter.TagGenre(), converter.TagYear(),   converter.TagTitle(),
                                               converter.TagTrack()};
        for (int i = 0; i < kTagColumnCount; ++i)
            p.tags[i] = tags[i];
    }
    converter.CloseSourceFile();
    p.ok = true;
}

// A piece of the file that holds no record at all (the text before the first
// mark, or blank lines between records).
bool blankPiece(const QString& piece)
{
    for (QChar ch : piece)
        if (!ch.isSpace())
            return false;
    return true;
}

// Reads and probes the records on worker threads, each with a converter of
// its own, handing the results out in record order.
class Prober {
public:
    Prober(const QStringList& pieces, bool bTagsFromFile)
        : m_pieces(pieces), m_records(size_t(pieces.size())), m_probes(size_t(pieces.size())),
          m_ready(size_t(pieces.size())), m_tags(bTagsFromFile)
    {
        for (auto& r : m_ready)
            r.store(false, std::memory_order_relaxed);
        const size_t threads = std::min<size_t>(std::max(1, QThread::idealThreadCount()), 8);
        const size_t n = std::min(threads, size_t(pieces.size()));
        for (size_t i = 0; i < n; ++i)
            m_threads.emplace_back([this] { run(); });
    }

    ~Prober()
    {
        m_stop.store(true);
        for (std::thread& t : m_threads)
            t.join();
    }

    size_t size() const { return m_records.size(); }
    // Waits up to ms for piece i; true when it is read and probed.
    bool waitFor(size_t i, int ms)
    {
        if (m_ready[i].load(std::memory_order_acquire))
            return true;
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(ms),
                             [&] { return m_ready[i].load(std::memory_order_acquire); });
    }
    const Record& record(size_t i) const { return m_records[i]; }
    const Probe& probe(size_t i) const { return m_probes[i]; }

private:
    void run()
    {
        cAudioConverter converter;
        for (;;) {
            if (m_stop.load(std::memory_order_relaxed))
                return;
            const size_t i = m_next.fetch_add(1);
            if (i >= m_records.size())
                return;
            const QString& piece = m_pieces.at(qsizetype(i));
            // The first piece is the text before the first record.
            if (i > 0 && !blankPiece(piece)) {
                m_records[i] = readRecord(piece);
                if (m_records[i].usable)
                    probeFile(converter, m_records[i], m_tags, m_probes[i]);
            }
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_ready[i].store(true, std::memory_order_release);
            }
            m_cv.notify_all();
        }
    }

    const QStringList& m_pieces;
    std::vector<Record> m_records;
    std::vector<Probe> m_probes;
    std::vector<std::atomic<bool>> m_ready;
    const bool m_tags;
    std::atomic<size_t> m_next{0};
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::thread> m_threads;
};

struct RowColumns {
    int inc, type, name, size, time, created, range, file, rangeAll, start, length, bytes;
    int tags[kTagColumnCount];
    explicit RowColumns(cGrid* g)
    {
        inc = g->ColumnIndex(COL_INC);
        type = g->ColumnIndex(COL_TYPE);
        name = g->ColumnIndex(COL_ITEM_NAME);
        size = g->ColumnIndex(COL_SIZE);
        time = g->ColumnIndex(COL_TIME);
        created = g->ColumnIndex(COL_CREATED);
        range = g->ColumnIndex(COL_RANGE);
        file = g->ColumnIndex(COL_FILE);
        rangeAll = g->ColumnIndex(COL_RANGE_ALL);
        start = g->ColumnIndex(COL_RANGE_START_TIME);
        length = g->ColumnIndex(COL_RANGE_LENGTH_TIME);
        bytes = g->ColumnIndex(COL_BYTES_SIZE);
        for (int i = 0; i < kTagColumnCount; ++i)
            tags[i] = g->ColumnIndex(TagColumnKey(i));
    }
};

void writeRow(cGrid* g, int row, const RowColumns& c, const Record& r, const Probe& p, bool bTagsFromFile)
{
    g->SetCell(row, c.inc, QVariant(), kIconCellFormat, r.inc);
    g->SetCell(row, c.type, QString(), kIconCellFormat, r.type);
    g->SetCell(row, c.name, r.name);
    g->SetCell(row, c.time, p.timeText);
    g->SetCell(row, c.size, FormatFileSize(double(p.bytes)));
    g->SetCell(row, c.file, r.file);
    g->SetCell(row, c.created, p.created);
    g->SetCell(row, c.bytes, p.bytes);
    if (r.rangeAll == QLatin1String("0")) {
        g->SetCell(row, c.rangeAll, QStringLiteral("0"));
        g->SetCell(row, c.start, r.start);
        g->SetCell(row, c.length, r.length);
        g->SetCell(row, c.range, RangeCellText(r.startSeconds, r.lengthSeconds));
    } else {
        g->SetCell(row, c.rangeAll, QStringLiteral("1"));
        g->SetCell(row, c.range, QStringLiteral("All"));
    }
    for (int i = 0; i < kTagColumnCount; ++i)
        g->SetCell(row, c.tags[i], bTagsFromFile ? p.tags[i] : r.tags[i]);
}

// Lets the window paint and its timers run during a long load. Clicks and
// keys wait until the load is over, so nothing can change the list meanwhile.
void yieldToWindow() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void loadList(MainWindowServices* w, const cTreeNode& node)
{
    QPointer<cGrid> grid = w->cGrid1;
    QPointer<XP_ProgressBar> progress = w->prgStatus;
    const QString path = node.NodeKey();
    const WaitCursor hourglass;

    grid->ClearRows();
    grid->setRedraw(false);
    grid->setRedraw(true);
    grid->setImageList(w->imgGrid);
    if (progress)
        progress->show();
    grid->setRedraw(false);

    setListLoading(true);
    BeginShownList(path);
    // A big file is read and cut into records while the window goes on.
    QString text;
    QStringList pieces;
    bool bRead = false;
    {
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        std::thread reader([&] {
            bRead = ReadItemsListFile(path, text);
            pieces = text.split(QStringLiteral("<ITEM>"));
            std::lock_guard<std::mutex> lock(m);
            done = true;
            cv.notify_all();
        });
        for (;;) {
            std::unique_lock<std::mutex> lock(m);
            if (cv.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; }))
                break;
            lock.unlock();
            yieldToWindow();
        }
        reader.join();
    }
    if (progress) {
        progress->setProgressMax(text.isEmpty() ? -1 : long(pieces.size()) - 1);
        progress->setProgressValue(0);
    }

    const bool bTagsFromFile = g_bCopyID3FromSource;
    bool bComplete = bRead;
    if (!pieces.isEmpty() && !blankPiece(pieces.first()))
        KeepShownPreamble(pieces.first());
    {
        Prober prober(pieces, bTagsFromFile);
        const RowColumns cols(grid);
        QElapsedTimer sinceYield;
        sinceYield.start();
        int rows = 0;
        for (size_t i = 0; i < prober.size(); ++i) {
            while (!prober.waitFor(i, 20)) {
                if (progress)
                    progress->setProgressValue(long(i));
                yieldToWindow();
                sinceYield.restart();
                if (!grid)
                    break;
            }
            if (!grid) {
                bComplete = false;
                break;
            }
            const Record& r = prober.record(i);
            const Probe& p = prober.probe(i);
            if (r.usable && p.ok) {
                ++rows;
                writeRow(grid, rows, cols, r, p, bTagsFromFile);
            } else if (!r.text.isEmpty()) {
                // Not shown today, still part of the list.
                KeepShownRecord(rows, r.text);
            }
            if (sinceYield.elapsed() >= 40) {
                if (progress)
                    progress->setProgressValue(long(i) + 1);
                yieldToWindow();
                sinceYield.restart();
            }
        }
    }
    EndShownList(bComplete);
    setListLoading(false);
    if (!grid)
        return;

    if (w->lblAddorDrag)
        w->lblAddorDrag->setText(bComplete ? QStringLiteral("Add or Drag and Drop audio items to here.")
                                           : ReadOnlyListNote());
    if (grid->RowCount() > 0) {
        ShowLoadedRows(w, grid);
    } else {
        if (w->picEmptyMsg)
            w->picEmptyMsg->show();
        grid->setRedraw(true);
    }
    GetFileInfoToGridInfo();
    DisplayGridInfoStatusBar();
    if (!bComplete && w->cStatusBar1)
        w->cStatusBar1->setPanelText(QStringLiteral("Main"), ReadOnlyListNote());
    if (progress)
        progress->hide();
}

} // namespace

void cTreeView1_NodeClick(cTreeNode node)
{
    MainWindowServices* w = mainWindow();
    if (!w || !w->cGrid1 || IsListLoading())
        return;
    const QString key = node.NodeKey();
    if (IsMainNode(key)) {
        w->cGrid1->ClearRows();
        ForgetShownList();
        return;
    }
    if (w->IsPlayerPlaying())
        w->PressPlayerStop();
    if (!node)
        return;

    node.setNodeSelected(true);
    if (w->lblListName)
        w->lblListName->setText(node.NodeText());
    if (w->tmrCDs)
        w->tmrCDs->stop();

    if (IsCDNode(key)) {
        if (w->tmrCDs)
            w->tmrCDs->start();
        ForgetShownList();
        ShowCDTracks(GetCDNameNode(key));
        GetFileInfoToGridInfo();
        return;
    }
    loadList(w, node);
}

void ClearTheList()
{
    MainWindowServices* w = mainWindow();
    if (!w || !w->cGrid1 || !w->cTreeView1 || w->cGrid1->RowCount() == 0 || IsListLoading() ||
        RefuseReadOnlyListEdit())
        return;
    if (w->IsPlayerPlaying()) {
        w->PressPlayerStop();
        SetRowUnBold();
    }
    if (w->IsPlayerPlaying())
        return;
    const QString name = w->cTreeView1->SelectedNode().NodeText();
    if (MsgBox(QStringLiteral("This operation will erase all the items under the '") + name +
                   QStringLiteral("' list.") + QStringLiteral("\r\n\r\n") + QStringLiteral("Are you sure?"),
               vbExclamation + vbYesNo, QString(), w->Form()) != vbYes)
        return;
    DoClearTheList();
}

void DoClearTheList()
{
    MainWindowServices* w = mainWindow();
    if (!w || !w->cGrid1 || !w->cTreeView1 || IsListLoading())
        return;
    const cTreeNode selected = w->cTreeView1->SelectedNode();
    const QString key = selected.NodeKey();
    // A file that could not be read is never replaced by an empty list.
    if (key == ShownListPath() && RefuseReadOnlyListEdit())
        return;
    // The empty list replaces the file in one step; when that fails, the file
    // keeps its items and the reload below shows them again.
    QString error;
    if (!key.isEmpty() && !IsMainNode(key) && !IsCDNode(key) && !WriteItemsListFile(key, QString(), &error))
        MsgBox(QStringLiteral("The items list ") + key + QStringLiteral(" could not be cleared: ") + error,
               vbExclamation | vbOKOnly, QString(), w->Form());
    ForgetShownList();
    w->cGrid1->ClearRows();
    w->cGrid1->setRedraw(true);
    cTreeView1_NodeClick(selected);
}

void ShowLoadedRows(MainWindowServices* w, cGrid* grid)
{
    if (w->picEmptyMsg)
        w->picEmptyMsg->hide();
    grid->setRedraw(true);
    grid->setSelectedRow(g_bSelectTheLastItem ? grid->RowCount() : 1);
    if (w->cStatusBar1)
        w->cStatusBar1->setPanelText(QStringLiteral("Main"), QStringLiteral("Ready."));
}
