#include "lists/ListLoader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
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
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

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

// The columns of the grid a row is made for.
struct RowColumns {
    int count, inc, type, name, size, time, created, range, file, rangeAll, start, length, bytes;
    int tags[kTagColumnCount];
    explicit RowColumns(cGrid* g)
    {
        count = g->ColumnCount();
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

// One record of a list file: its row as far as the record tells, and the
// audio file the rest comes from.
struct Record {
    QByteArrayView piece; // the record's bytes, without its leading "<ITEM>"
    bool usable = false;  // its fields make a row
    int file = -1;        // its audio file, among the list's distinct files
    cGridRow row;
};

// What was learnt of one audio file. Every record naming the file shares it,
// so a file listed many times is opened once per load.
struct FileFacts {
    bool ok = false;
    QString timeText;
    QString sizeText;
    qint64 bytes = 0;
    QDateTime created;
    bool hasTags = false; // the file holds at least one tag text
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

// The opening and closing tags of the fields a record is read by.
struct RecordTags {
    ItemFieldTags inc{COL_INC}, type{COL_TYPE}, name{COL_ITEM_NAME}, file{COL_FILE}, rangeAll{COL_RANGE_ALL},
        start{COL_RANGE_START_TIME}, length{COL_RANGE_LENGTH_TIME};
    std::vector<ItemFieldTags> tags;
    RecordTags()
    {
        for (int i = 0; i < kTagColumnCount; ++i)
            tags.emplace_back(TagColumnKey(i));
    }
};

// Reads a record; a usable one gets its row, with all but what its audio
// file (path) tells.
Record readRecord(QByteArrayView piece, bool bUtf8, const RowColumns& c, QString& path)
{
    static const RecordTags keys;
    auto field = [&](const ItemFieldTags& tags) { return GetItemField(tags, piece, bUtf8); };
    Record r;
    r.piece = piece;
    qint64 inc = 0;
    // The mark is 0 or 1; any other value is no record of ours, and is kept
    // as it was rather than shown as a third state.
    if (!wholeNumber(field(keys.inc), inc) || (inc != 0 && inc != 1))
        return r;
    cGridRow row(c.count);
    path = field(keys.file);
    row.setCell(c.inc, QVariant(), int(inc));
    row.setCell(c.type, QString(), GetTrackTypeImage(field(keys.type)));
    row.setCell(c.name, field(keys.name));
    row.setCell(c.file, path);
    if (field(keys.rangeAll) == QLatin1String("0")) {
        const QString start = field(keys.start);
        const QString length = field(keys.length);
        qint64 startSeconds = 0;
        if (!wholeNumber(start, startSeconds))
            return r;
        bool ok = false;
        double lengthSeconds = length.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(lengthSeconds))
            lengthSeconds = 0;
        row.setCell(c.rangeAll, QStringLiteral("0"));
        row.setCell(c.start, start);
        row.setCell(c.length, length);
        row.setCell(c.range, RangeCellText(startSeconds, lengthSeconds));
    } else {
        row.setCell(c.rangeAll, QStringLiteral("1"));
        row.setCell(c.range, QStringLiteral("All"));
    }
    for (int i = 0; i < kTagColumnCount; ++i)
        row.setCell(c.tags[i], field(keys.tags[size_t(i)]));
    r.row = std::move(row);
    r.usable = true;
    return r;
}

// What the audio file adds to a record's row.
void addFacts(cGridRow& row, const RowColumns& c, const FileFacts& f, bool bTagsFromFile)
{
    row.setCell(c.time, f.timeText);
    row.setCell(c.size, f.sizeText);
    row.setCell(c.created, f.created);
    row.setCell(c.bytes, f.bytes);
    // A file without any tag text has nothing to give: the item keeps its own.
    if (bTagsFromFile && f.hasTags)
        for (int i = 0; i < kTagColumnCount; ++i)
            row.setCell(c.tags[i], f.tags[i]);
}

void probeFile(cAudioConverter& converter, const QString& path, bool bTagsFromFile, FileFacts& f)
{
    if (!FileExists(path) || converter.OpenSourceFile(path) != 0)
        return;
    f.timeText = TimeCellText(RoundHalfEven(converter.DurationMs() / 1000.0));
    f.bytes = QFileInfo(path).size();
    f.sizeText = FormatFileSize(double(f.bytes));
    f.created = GetFileCreatedDate(path);
    if (bTagsFromFile) {
        converter.ReadTags(path);
        const QString tags[kTagColumnCount] = {converter.TagAlbum(), converter.TagArtist(), converter.TagComment(),
                                               converter.TagGenre(), converter.TagYear(),   converter.TagTitle(),
                                               converter.TagTrack()};
        for (int i = 0; i < kTagColumnCount; ++i) {
            f.tags[i] = tags[i];
            f.hasTags = f.hasTags || !tags[i].isEmpty();
        }
    }
    converter.CloseSourceFile();
    f.ok = true;
}

// A piece of the file that holds no record at all (the text before the first
// mark, or blank lines between records).
bool blankPiece(QByteArrayView piece, bool bUtf8)
{
    for (const char c : piece) {
        if (uchar(c) >= 0x80) {
            for (const QChar ch : DecodeItemsListBytes(piece, bUtf8))
                if (!ch.isSpace())
                    return false;
            return true;
        }
        if (!QChar::isSpace(uchar(c)))
            return false;
    }
    return true;
}

// The window's thread comes first: the threads of a load leave it the
// processor when the machine is busy, so the window keeps answering.
void lowerThisThreadsPriority()
{
    const id_t self = id_t(::gettid());
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, self);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, self, std::min(nice + 5, 19));
}

// Reads a list file and all that its rows need on threads of its own: the
// file is read and cut into records, then the threads read records, a chunk
// at a time, and open each distinct audio file once as soon as a record
// names it. The window's thread only waits for the row it shows next.
class ListReader {
public:
    static constexpr size_t kChunk = 256;      // records read in one go
    static constexpr size_t kFileBlock = 1024; // files kept in one allocation

    struct FileEntry {
        QString path;
        FileFacts facts;
        std::atomic<bool> ready{false};
    };

    struct Shared {
        Shared(const QString& p, bool tags, const RowColumns& c) : path(p), bTagsFromFile(tags), columns(c) {}
        const QString path;
        const bool bTagsFromFile;
        const RowColumns columns;
        std::atomic<bool> stop{false};
        std::atomic<bool> finished{false};
        std::mutex m;
        std::condition_variable cv;

        // Set before `cut`, constant after.
        std::atomic<bool> cut{false};
        bool readOk = false;
        bool bUtf8 = true;
        QByteArray bytes;
        std::vector<QByteArrayView> pieces; // cut at each "<ITEM>"
        std::vector<Record> records;        // one per piece
        size_t chunks = 0;
        std::unique_ptr<std::atomic<bool>[]> chunkRead;

        // The distinct audio files, in the order the records name them.
        std::mutex filesMutex;
        QHash<QString, size_t> fileIndex;
        std::vector<std::unique_ptr<FileEntry[]>> fileBlocks;
        std::atomic<size_t> fileCount{0};

        std::atomic<size_t> nextChunk{0};
        std::atomic<size_t> chunksDone{0};
        std::atomic<size_t> nextFile{0};

        FileEntry& file(size_t i) { return fileBlocks[i / kFileBlock][i % kFileBlock]; }
        bool chunkDone(size_t record) const { return chunkRead[record / kChunk].load(std::memory_order_acquire); }
    };

    ListReader(const QString& path, bool bTagsFromFile, const RowColumns& columns)
        : m_s(std::make_shared<Shared>(path, bTagsFromFile, columns))
    {
        m_lead = std::thread([s = m_s] {
            lowerThisThreadsPriority();
            run(*s);
            announce(*s, s->finished);
        });
    }

    // A reader left before all was read stops. When it was abandoned, a file
    // that never answers must not hold the window: its threads then end on
    // their own, keeping alive what they use.
    ~ListReader()
    {
        m_s->stop.store(true);
        if (m_abandoned && !m_s->finished.load())
            m_lead.detach();
        else
            m_lead.join();
    }
    void abandon() { m_abandoned = true; }

    Shared& shared() { return *m_s; }

    // Waits up to ms for pred (called under the lock).
    template <typename Pred> void waitFor(Pred pred, int ms)
    {
        std::unique_lock<std::mutex> lock(m_s->m);
        m_s->cv.wait_for(lock, std::chrono::milliseconds(ms), pred);
    }

private:
    static void announce(Shared& s, std::atomic<bool>& flag)
    {
        {
            std::lock_guard<std::mutex> lock(s.m);
            flag.store(true, std::memory_order_release);
        }
        s.cv.notify_all();
    }

    static void run(Shared& s)
    {
        s.readOk = ReadItemsListBytes(s.path, s.bytes, s.bUtf8);
        const QByteArrayView all(s.bytes);
        qsizetype from = 0;
        for (qsizetype at; (at = all.indexOf("<ITEM>", from)) >= 0; from = at + 6)
            s.pieces.push_back(all.sliced(from, at - from));
        s.pieces.push_back(all.sliced(from));
        s.records.resize(s.pieces.size());
        s.chunks = (s.pieces.size() + kChunk - 1) / kChunk;
        s.chunkRead = std::make_unique<std::atomic<bool>[]>(s.chunks);
        s.fileBlocks.resize(s.pieces.size() / kFileBlock + 1);
        announce(s, s.cut);

        const size_t threads = std::min<size_t>(std::max(1, QThread::idealThreadCount()), 8);
        std::vector<std::thread> helpers;
        for (size_t i = 1; i < threads; ++i)
            helpers.emplace_back([&s] {
                lowerThisThreadsPriority();
                work(s);
            });
        work(s);
        for (std::thread& t : helpers)
            t.join();
    }

    // Each thread opens the files the rows wait on first, and reads the next
    // chunk of records when there is none.
    static void work(Shared& s)
    {
        cAudioConverter converter;
        while (!s.stop.load(std::memory_order_relaxed)) {
            size_t f = s.nextFile.load();
            bool took = false;
            while (!took && f < s.fileCount.load(std::memory_order_acquire))
                took = s.nextFile.compare_exchange_weak(f, f + 1);
            if (took) {
                FileEntry& e = s.file(f);
                probeFile(converter, e.path, s.bTagsFromFile, e.facts);
                announce(s, e.ready);
                continue;
            }
            const size_t chunk = s.nextChunk.fetch_add(1);
            if (chunk < s.chunks) {
                readChunk(s, chunk);
                s.chunksDone.fetch_add(1);
                announce(s, s.chunkRead[chunk]);
                continue;
            }
            // Nothing to take now: the work is over once every chunk is read
            // (no more files can come) and every file is taken.
            if (s.chunksDone.load() == s.chunks && s.nextFile.load() >= s.fileCount.load())
                return;
            std::unique_lock<std::mutex> lock(s.m);
            s.cv.wait_for(lock, std::chrono::milliseconds(2));
        }
    }

    static void readChunk(Shared& s, size_t chunk)
    {
        const size_t first = chunk * kChunk;
        const size_t end = std::min(s.pieces.size(), first + kChunk);
        std::vector<std::pair<size_t, QString>> named; // record, its file
        // The first piece is the text before the first record.
        for (size_t i = std::max<size_t>(first, 1); i < end; ++i) {
            if (blankPiece(s.pieces[i], s.bUtf8))
                continue;
            QString path;
            s.records[i] = readRecord(s.pieces[i], s.bUtf8, s.columns, path);
            if (s.records[i].usable)
                named.emplace_back(i, path);
        }
        std::lock_guard<std::mutex> lock(s.filesMutex);
        for (auto& [i, path] : named) {
            const auto it = s.fileIndex.constFind(path);
            if (it != s.fileIndex.constEnd()) {
                s.records[i].file = int(it.value());
                continue;
            }
            const size_t f = s.fileCount.load();
            if (!s.fileBlocks[f / kFileBlock])
                s.fileBlocks[f / kFileBlock] = std::make_unique<FileEntry[]>(kFileBlock);
            s.file(f).path = path;
            s.fileIndex.insert(path, f);
            s.records[i].file = int(f);
            s.fileCount.store(f + 1, std::memory_order_release);
        }
    }

    std::shared_ptr<Shared> m_s;
    std::thread m_lead;
    bool m_abandoned = false;
};

// Lets the window paint and its timers run during a long load, at least every
// few milliseconds. Clicks and keys wait until the load is over, so nothing
// can change the list meanwhile.
class WindowPacer {
public:
    explicit WindowPacer(QPointer<XP_ProgressBar> progress) : m_progress(progress) { m_since.start(); }
    void yieldIfDue(long done)
    {
        if (m_since.elapsed() < kSliceMs)
            return;
        if (m_progress)
            m_progress->setProgressValue(done);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        m_since.restart();
    }

private:
    static constexpr int kSliceMs = 8;
    QPointer<XP_ProgressBar> m_progress;
    QElapsedTimer m_since;
};

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
    const bool bTagsFromFile = g_bCopyID3FromSource;
    const RowColumns cols(grid);
    bool bComplete = false;
    WindowPacer pace(progress);
    long done = 0;
    {
        ListReader reader(path, bTagsFromFile, cols);
        ListReader::Shared& s = reader.shared();
        // Waits, with the window going, until ready() holds; false when the
        // grid went meanwhile.
        auto waitUntil = [&](const auto& ready) {
            while (!ready()) {
                reader.waitFor(ready, 4);
                pace.yieldIfDue(done);
                if (!grid)
                    return false;
            }
            return true;
        };

        if (waitUntil([&] { return s.cut.load(std::memory_order_acquire); })) {
            if (progress) {
                progress->setProgressMax(s.bytes.isEmpty() ? -1 : long(s.pieces.size()) - 1);
                progress->setProgressValue(0);
            }
            if (!blankPiece(s.pieces.front(), s.bUtf8))
                KeepShownPreamble(DecodeItemsListBytes(s.pieces.front(), s.bUtf8));
        }
        if (grid && s.readOk) {
            std::vector<cGridRow> batch;
            int rows = 0;
            size_t i = 0;
            for (; i < s.records.size(); ++i) {
                if (!waitUntil([&] { return s.chunkDone(i); }))
                    break;
                Record& r = s.records[i];
                ListReader::FileEntry* file = r.usable ? &s.file(size_t(r.file)) : nullptr;
                if (file && !waitUntil([&] { return file->ready.load(std::memory_order_acquire); }))
                    break;
                if (file && file->facts.ok) {
                    addFacts(r.row, cols, file->facts, bTagsFromFile);
                    batch.push_back(std::move(r.row));
                    ++rows;
                } else if (!r.piece.isEmpty()) {
                    // Not shown today, still part of the list.
                    KeepShownRecord(rows, DecodeItemsListBytes(r.piece, s.bUtf8));
                }
                done = long(i) + 1;
                if (batch.size() >= 1024)
                    grid->AppendRows(batch);
                pace.yieldIfDue(done);
                if (!grid)
                    break;
            }
            if (grid) {
                grid->AppendRows(batch);
                bComplete = i == s.records.size();
            }
        }
        // The threads end once nothing is left to take; on a busy machine that
        // can take a while, which the window spends handling its events.
        if (!grid || !waitUntil([&] { return s.finished.load(); }))
            reader.abandon();
    }
    EndShownList(bComplete);

    // Still loading: the steps that walk every row let the window go on
    // between them.
    auto step = [&](const auto& body) {
        if (grid)
            body();
        pace.yieldIfDue(done);
    };
    step([&] {
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
    });
    step([] { GetFileInfoToGridInfo(); });
    step([] { DisplayGridInfoStatusBar(); });
    setListLoading(false);
    if (!grid)
        return;
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
