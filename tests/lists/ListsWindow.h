#pragma once
// The main window's controls as the items lists use them, without the rest of
// the window: grids, tree, list-name label, empty-list picture, progress bar,
// timers, image lists, status bar and converter, plus a player to script.
#include <QDir>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "components/audio/cAudioConverter.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTreeView.h"
#include "core/Edition.h"
#include "core/MainWindowServices.h"
#include "core/TimeText.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/ListTree.h"
#include "settings/Options.h"

class ListsWindow : public MainWindowServices {
public:
    ListsWindow()
    {
        // The default edition's switches (no CD root), whichever edition this build is.
        SetAppModes();
        SetDefaultEditionTools();
        imgGrid = new cImageList(&form);
        imgMenu = new cImageList(&form);
        stockimages::FillGridImages(imgGrid);
        stockimages::FillTreeImages(imgMenu);
        cTreeView1 = new cTreeView(&form);
        cGrid1 = new cGrid(&form);
        cGridInfo = new cGrid(&form);
        lblListName = new QLabel(&form);
        picEmptyMsg = new QWidget(&form);
        lblEmptylist = new QLabel(QStringLiteral("Empty list."), picEmptyMsg);
        lblAddorDrag = new QLabel(QStringLiteral("Add or Drag and Drop audio files to here."), picEmptyMsg);
        picEmptyMsg->hide();
        prgStatus = new XP_ProgressBar(&form);
        prgStatus->hide();
        tmrCDs = new QTimer(&form);
        tmrCDs->setInterval(5000);
        tmrRemove = new QTimer(&form);
        tmrRemove->setInterval(50);
        cStatusBar1 = new cStatusBar(&form);
        for (const char* key : {"Main", "Items List Properties", "Notes", "Master Volume"})
            cStatusBar1->AddPanel(0, QString(), QString(), -1, 100, false, false, 0, QString::fromLatin1(key));
        cAudioConverter1 = new cAudioConverter(&form);
        setMainWindow(this);
        SetGrid(cGrid1);
        SetGridInfo();
        // No list of an earlier test counts as shown (or as read-only).
        ForgetShownList();
    }
    ~ListsWindow() override { setMainWindow(nullptr); }

    QWidget* Form() override { return &form; }
    void m_cMenu_Click(int) override {}
    void Form_Resize() override {}
    QString GetNotesToStatus() override { return {}; }
    void setTree() override { ::setTree(); }

    bool IsPlayerPlaying() override { return playing; }
    void PressPlayerStop() override
    {
        ++stops;
        playing = keepsPlaying;
    }

    QString statusPanel(const QString& key) const { return cStatusBar1->PanelText(key); }

    QWidget form;
    bool playing = false;
    bool keepsPlaying = false;
    int stops = 0;
};

// One row of an items grid, written as the loader and adding files write rows.
struct TestRow {
    TestRow(int inc_, QString name_, QString file_, QString time_ = QStringLiteral("00:00:01"), qint64 bytes_ = 0,
            QString rangeAll_ = QStringLiteral("1"), QString start_ = QString(), QString length_ = QString())
        : inc(inc_), name(name_), file(file_), time(time_), bytes(bytes_), rangeAll(rangeAll_), start(start_),
          length(length_)
    {
    }
    int inc;
    QString name;
    QString file;
    QString time;
    qint64 bytes;
    QString rangeAll;
    QString start, length;
    QString tags[kTagColumnCount];
};

inline void addTestRow(cGrid* g, const TestRow& r)
{
    const int row = g->RowCount() + 1;
    auto col = [&](const QString& key) { return g->ColumnIndex(key); };
    g->SetCell(row, col(COL_INC), QVariant(), kIconCellFormat, r.inc);
    g->SetCell(row, col(COL_TYPE), QString(), kIconCellFormat, kIconAudio);
    g->SetCell(row, col(COL_ITEM_NAME), r.name);
    g->SetCell(row, col(COL_TIME), r.time);
    g->SetCell(row, col(COL_SIZE), FormatFileSize(double(r.bytes)));
    g->SetCell(row, col(COL_FILE), r.file);
    g->SetCell(row, col(COL_BYTES_SIZE), r.bytes);
    g->SetCell(row, col(COL_RANGE_ALL), r.rangeAll);
    g->SetCell(row, col(COL_RANGE_START_TIME), r.start);
    g->SetCell(row, col(COL_RANGE_LENGTH_TIME), r.length);
    g->SetCell(row, col(COL_RANGE), r.rangeAll == QLatin1String("1") ? QStringLiteral("All") : QString());
    for (int i = 0; i < kTagColumnCount; ++i)
        g->SetCell(row, col(TagColumnKey(i)), r.tags[i]);
}
