#include "lists/CdDrives.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QLabel>

#include "components/disc/cAudioCDRipper.h"
#include "components/controls/cContextMenu.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTreeView.h"
#include "core/MainWindowServices.h"
#include "core/TimeText.h"
#include "core/WindowHelpers.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/ListLoader.h"
#include "lists/ListTree.h"
#include "platform/MessageBox.h"
#include "settings/Options.h"

namespace {

// Bytes of one second of CD audio: 44,100 frames of two 16-bit samples.
constexpr qint64 kCDBytesPerSecond = 176400;

const QString kInsertHint = QStringLiteral("Insert an Audio CD to the CD drive.");

// What the shown drive held when it was listed, so that the polling can tell
// a different disc from the same one.
struct ShownDisc {
    QString device; // the device name, "" when no drive was listed
    QString print;
};
ShownDisc g_shownDisc;

// What the polling saw in each drive at its last tick, by device name.
QHash<QString, QString> g_seenDiscs;

// The disc of the current device as far as the rows show it: its tracks,
// their kinds and lengths. "" for no disc.
QString discPrint(cAudioCDRipper* r)
{
    const int count = r->TrackCount();
    // A refused image is told by its reason, so that another reason shows too.
    if (count < 1)
        return r->DiscRefusal();
    QString print = QString::number(count);
    for (int t = 1; t <= count; ++t)
        print += (r->QueryTrack(t) == 1 ? QStringLiteral(" a") : QStringLiteral(" d")) +
                 QString::number(r->TrackLength(t));
    return print;
}

// The hint, or the reason a disc image in the drive was refused.
void showEmptyPicture(MainWindowServices* w, const QString& refusal = QString())
{
    if (w->lblAddorDrag)
        w->lblAddorDrag->setText(refusal.isEmpty() ? kInsertHint : refusal);
    if (w->picEmptyMsg)
        w->picEmptyMsg->show();
}

// Local wall-clock time, carried as the date cells carry dates.
QDateTime nowAsDate()
{
    const QDateTime now = QDateTime::currentDateTime();
    return QDateTime(now.date(), now.time(), Qt::UTC);
}

cTreeNode selectedNode(MainWindowServices* w)
{
    return w && w->cTreeView1 ? w->cTreeView1->SelectedNode() : cTreeNode();
}

} // namespace

long GetCDDriveIndex(const QString& drive)
{
    MainWindowServices* w = mainWindow();
    cAudioCDRipper* r = w ? w->cAudioCDRipper1 : nullptr;
    if (!r)
        return -1;
    // No device of that drive: no index at all, so that no other drive's
    // disc is ever shown under this one's name.
    long index = -1;
    for (int i = 0; i < r->DeviceCount(); ++i)
        if (r->DeviceName(i).left(2) == drive)
            index = i;
    return index;
}

void ShowCDTracks(QString drive)
{
    MainWindowServices* w = mainWindow();
    if (!w || !w->cGrid1)
        return;
    cGrid* grid = w->cGrid1;
    cAudioCDRipper* r = w->cAudioCDRipper1;
    XP_ProgressBar* progress = w->prgStatus;
    WaitCursor hourglass;

    const long d = GetCDDriveIndex(drive);
    grid->ClearRows();
    grid->setRedraw(false);
    g_shownDisc = {};

    const bool selected = r && r->SelectDevice(int(d));
    bool discGone = false;
    if (selected) {
        g_shownDisc.device = r->DeviceName(int(d));
        if (r->IsAudioCD()) {
            setListLoading(true);
            const int count = r->TrackCount();
            if (progress) {
                progress->show();
                progress->setProgressMax(count);
            }
            const int incCol = grid->ColumnIndex(COL_INC);
            const int typeCol = grid->ColumnIndex(COL_TYPE);
            const int nameCol = grid->ColumnIndex(COL_ITEM_NAME);
            const int timeCol = grid->ColumnIndex(COL_TIME);
            const int sizeCol = grid->ColumnIndex(COL_SIZE);
            const int fileCol = grid->ColumnIndex(COL_FILE);
            const int createdCol = grid->ColumnIndex(COL_CREATED);
            const int rangeCol = grid->ColumnIndex(COL_RANGE);
            const int rangeAllCol = grid->ColumnIndex(COL_RANGE_ALL);
            const int bytesCol = grid->ColumnIndex(COL_BYTES_SIZE);
            const QString tags[kTagColumnCount] = {g_sTagAlbum, g_sTagArtist, g_sTagComment, g_sTagGenre,
                                                   g_sTagYear,  g_sTagSong,   g_sTagTrack};
            QString print = QString::number(count);
            for (int t = 1; t <= count; ++t) {
                if (progress)
                    progress->setProgressValue(t);
                const int kind = r->QueryTrack(t);
                if (kind == 0) {
                    // The disc went while it was being listed.
                    discGone = true;
                    break;
                }
                const bool audio = kind == 1;
                const int seconds = r->TrackLength(t);
                print += (audio ? QStringLiteral(" a") : QStringLiteral(" d")) + QString::number(seconds);
                const QString name = QStringLiteral("Track%1.cda").arg(t, 2, 10, QLatin1Char('0'));
                // Not a file: the name the ripper takes a track number from.
                const QString path = drive + QLatin1Char('/') + name;
                const qint64 bytes = kCDBytesPerSecond * seconds;

                grid->SetCell(t, incCol, QVariant(), kIconCellFormat, audio ? kIconMarked : kIconUnmarked);
                grid->SetCell(t, typeCol, QString(), kIconCellFormat,
                              GetTrackTypeImage(audio ? QStringLiteral("Audio") : QStringLiteral("Data")));
                grid->SetCell(t, nameCol, name);
                grid->SetCell(t, timeCol, TimeCellText(seconds));
                grid->SetCell(t, sizeCol, FormatFileSize(double(bytes)));
                grid->SetCell(t, fileCol, path);
                const QDateTime created = GetFileCreatedDate(path);
                grid->SetCell(t, createdCol, created == ZeroDate() ? nowAsDate() : created);
                grid->SetCell(t, rangeCol, QStringLiteral("All"));
                grid->SetCell(t, rangeAllCol, QStringLiteral("1"));
                grid->SetCell(t, bytesCol, bytes);
                for (int i = 0; i < kTagColumnCount; ++i)
                    grid->SetCell(t, grid->ColumnIndex(TagColumnKey(i)), tags[i]);
            }
            if (!discGone)
                g_shownDisc.print = print;
            grid->setRedraw(true);
            setListLoading(false);
        } else {
            g_shownDisc.print = discPrint(r);
            grid->ClearRows();
            showEmptyPicture(w, r->DiscRefusal());
        }
    }

    if (discGone) {
        // The listing ends here: the rows so far stay, the user hears why.
        hourglass.restore();
        if (progress)
            progress->hide();
        showEmptyPicture(w);
        DisplayGridInfoStatusBar();
        MsgBox(QStringLiteral("There is no CD in the drive."), vbInformation, QString(), w->Form());
        return;
    }

    if (grid->RowCount() > 0) {
        ShowLoadedRows(w, grid);
        DisplayGridInfoStatusBar();
        if (g_bAutoFreeDB && w->m_cMenu) {
            const int item = w->m_cMenu->MenuIndexForKey(QStringLiteral("FreeDB"));
            if (item != 0)
                w->m_cMenu_Click(item);
        }
    } else {
        grid->setRedraw(true);
        showEmptyPicture(w, selected ? r->DiscRefusal() : QString());
    }
    DisplayGridInfoStatusBar();
    if (progress)
        progress->hide();
}

void tmrCDs_Timer()
{
    // A reload's message box runs the timers on: no tick inside a tick.
    static bool busy = false;
    MainWindowServices* w = mainWindow();
    if (busy || !w || !w->cGrid1 || !g_nodAudioCDs)
        return;
    cAudioCDRipper* r = w->cAudioCDRipper1;
    if (!r)
        return;
    busy = true;
    const cTreeNodes drives = g_nodAudioCDs.ChildNodes();
    for (int i = 1; i <= drives.NodeCount(); ++i) {
        if (!r->SelectDevice(i - 1))
            continue;
        const QString name = r->DeviceName(i - 1);
        const int count = r->TrackCount();
        const QString print = discPrint(r);

        // A disc that left, or was swapped for another between two ticks, takes
        // the text the CD database gave the drive with it.
        const auto seen = g_seenDiscs.constFind(name);
        const bool swapped = seen != g_seenDiscs.constEnd() && *seen != print;
        g_seenDiscs.insert(name, print);
        cTreeNode node = drives.NodeItem(i);
        if (count < 1 || swapped)
            node.setNodeText(name.left(2));

        if (selectedNode(w).NodeKey() != QStringLiteral("##CD") + name)
            continue;
        const int rows = w->cGrid1->RowCount();
        const QString shown = g_shownDisc.device == name ? g_shownDisc.print : QString();
        // A disc of data tracks only lists no rows: without the audio test, an
        // empty grid beside it would be reloaded on every tick.
        const bool arrived = count >= 1 && rows == 0 && r->IsAudioCD();
        const bool left = count < 1 && rows > 0;
        // Another disc (or an image replaced) in place of the listed one.
        const bool replaced = print != shown;
        if (arrived || left || replaced)
            cTreeView1_NodeClick(node);
    }
    busy = false;
}

void SelectFirstAudioCD()
{
    MainWindowServices* w = mainWindow();
    cAudioCDRipper* r = w ? w->cAudioCDRipper1 : nullptr;
    if (!r || !g_nodAudioCDs)
        return;
    const cTreeNodes drives = g_nodAudioCDs.ChildNodes();
    for (int i = 1; i <= drives.NodeCount(); ++i) {
        // A disc of data tracks only has tracks too, but nothing to add.
        if (r->SelectDevice(i - 1) && r->TrackCount() >= 1 && r->IsAudioCD()) {
            cTreeView1_NodeClick(drives.NodeItem(i));
            return;
        }
    }
}

void cAudioCDRipper1_JobError(int code, const QString& text)
{
    MainWindowServices* w = mainWindow();
    MsgBox(text + QStringLiteral(" (") + QString::number(code) + QStringLiteral(")"), vbOKOnly, QString(),
           w ? w->Form() : nullptr);
}
