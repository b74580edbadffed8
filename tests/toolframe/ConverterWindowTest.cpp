#include <QCheckBox>
#include <QCoreApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <gtest/gtest.h>

#include "components/audio/cAudioConverter.h"
#include "components/controls/cImageList.h"
#include "components/controls/cGrid.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTabControl.h"
#include "core/Edition.h"
#include "core/Formats.h"
#include "core/Startup.h"
#include "lists/ItemRow.h"
#include "platform/ProgramDir.h"
#include "platform/SettingsStore.h"
#include "settings/FormatSettings.h"
#include "settings/Options.h"
#include "settings/SettingsWidgets.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "tests/support/TestEnv.h"
#include "tests/toolframe/ToolFrameTestSupport.h"
#include "toolframe/NameMacros.h"
#include "toolframe/frmConverter.h"
#include "toolframe/JobSteps.h"

using platform::Hive;
using platform::SettingsStore;

namespace {

const QString kWAV = "WAV - Waveform Audio Format (*.wav)";
const QString kACM = "ACM - Waveform ACM Codecs (*.wav)";
const QString kMP3 = "MP3 - MPEG-1 Audio Layer 3 (*.mp3)";
const QString kWMA = "WMA - Windows Media Audio files (*.wma)";

QString generalKey() { return MachineKeyRoot() + "\\General"; }

void storeGeneral(const QString& name, const QString& value)
{
    ASSERT_TRUE(SettingsStore::setValue(Hive::LocalMachine, generalKey(), name, value));
}

QString storedGeneral(const QString& name)
{
    return SettingsStore::value(Hive::LocalMachine, generalKey(), name).value_or("<missing>");
}

// The program as it stands when a tool opens: the settings dialogs loaded
// with the stored options.
void startProgram()
{
    SetAppModes();
    testenv::installMachineKeys();
    frmOptions();
    g_frmAudioProp();
}

QStringList shownPages(ToolWindow* w)
{
    QStringList shown;
    for (QWidget* page : {w->TabSettings, w->TabEvents, w->TabLog})
        if (!page->isHidden())
            shown << page->objectName();
    return shown;
}

// What the main window's launch does with the marked rows.
void copyMarkedRows(cGrid* from, cGrid* to)
{
    CopyGridRows(from, to, true);
}

QMap<QString, QString> itemRow(const QString& file, const QString& item)
{
    return {{"Type", "WAV"},
            {"Item Name", item},
            {"Size", "1.00 MB"},
            {"Time", "00:03:25"},
            {"Created", "2010-11-10 14:05:33"},
            {"Range", "All"},
            {"COL_FILE", file},
            {"COL_RANGE_ALL", "1"},
            {"COL_RANGE_START_TIME", "0"},
            {"COL_RANGE_LENGTH_TIME", "0"},
            {"COL_BYTES_SIZE", "1048576"}};
}

} // namespace

class ConverterWindow : public tftest::FreshToolWindows {};

TEST_F(ConverterWindow, LoadsWithItsTabsGridAndStartingState)
{
    startProgram();
    tftest::FakeMain main;
    g_lAppColor = 0x0000FF; // stored as 0x00BBGGRR: red
    g_lTextColor = 0xFF0000; // blue
    FrmConverter* w = g_frmConverter();
    EXPECT_EQ(w->picTitle->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_EQ(w->lblTitle->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    for (QWidget* painted : {static_cast<QWidget*>(w), w->TabSettings, w->TabEvents, w->TabLog,
                             static_cast<QWidget*>(w->chkPlaySound), static_cast<QWidget*>(w->chkOverWrite),
                             static_cast<QWidget*>(w->chkCreateSubFolder)})
        EXPECT_EQ(painted->palette().color(painted->backgroundRole()), QColor(255, 255, 255))
            << qPrintable(painted->objectName());
    ASSERT_TRUE(g_frmConverterLoaded());
    EXPECT_EQ(w->objectName(), "g_frmConverter");
    EXPECT_EQ(w->windowTitle(), "Audio Converter");
    EXPECT_EQ(w->lblTitle->text(), "Audio Converter");

    cTabControl* tabs = w->cTabControl1;
    ASSERT_EQ(tabs->TabCount(), 3);
    EXPECT_EQ(tabs->ImageList(), main.imgMenu);
    const QStringList keys = {"Settings", "Events", "Log"};
    const QStringList captions = {"Converter        ", "Events        ", "Log             "};
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(tabs->TabKey(i), keys[i - 1]);
        EXPECT_EQ(tabs->TabCaption(i), captions[i - 1]);
    }
    EXPECT_EQ(shownPages(w), QStringList{"TabSettings"});

    // The grid: nineteen columns in the item row's order, seven of them shown.
    cGrid* g = w->cGrid1;
    ASSERT_EQ(g->ColumnCount(), 19);
    EXPECT_EQ(g->RowCount(), 0);
    EXPECT_EQ(g->ImageList(), main.imgMenu);
    const QStringList itemKeys = tftest::ItemKeys();
    const QStringList headers = {"", "Type", "Item Name", "Size", "Time-Length", "Created", "Range"};
    const int widths[] = {20, 40, 160, 80, 80, 140, 120};
    for (int c = 1; c <= 19; ++c) {
        EXPECT_EQ(g->ColumnKey(c), itemKeys[c - 1]);
        EXPECT_EQ(g->ColumnVisible(c), c <= 7) << c;
        if (c <= 7) {
            EXPECT_EQ(g->ColumnHeader(c), headers[c - 1]);
            // The mark column is narrower than the grid's least width, which wins.
            if (c > 1)
                EXPECT_EQ(g->ColumnWidth(c), widths[c - 1]) << c;
        } else {
            EXPECT_EQ(g->ColumnHeader(c), itemKeys[c - 1]);
        }
    }
    EXPECT_EQ(g->ColumnIndex("Inc"), 1);
    EXPECT_EQ(g->ColumnIndex("COL_TAG_TRACK"), 19);
    EXPECT_EQ(g->RowHeight(), 24);
    EXPECT_TRUE(g->GridLines());
    EXPECT_TRUE(g->HotTrack());

    EXPECT_EQ(w->lblCurrentTrack->text(), "Ready.");
    EXPECT_EQ(w->lblFilesToConvert->text(), "Files: 0/15");
    EXPECT_EQ(w->lblTimeLeft->text(), "Time Left: 00:00:00");
    EXPECT_FALSE(w->Timer1->isActive());
    EXPECT_EQ(w->Timer1->interval(), 1000);
    EXPECT_EQ(w->cmdConvert->text(), "Convert");
    EXPECT_TRUE(w->cmdConvert->isEnabled() && w->cmdAbort->isEnabled() && w->cmdExit->isEnabled());
    EXPECT_FALSE(w->chkOverWrite->isChecked());
    EXPECT_FALSE(w->chkCreateSubFolder->isChecked());
    EXPECT_FALSE(w->txtUndeForlder->isEnabled());
    EXPECT_EQ(w->chkNoticeApp->text(), "Execute external program ");
    EXPECT_EQ(w->lblEventsSettings->text(), "Events Options...");

    ASSERT_EQ(w->cStatusBar1->PanelCount(), 2);
    EXPECT_EQ(w->cStatusBar1->PanelKey(1), "Total Size");
    EXPECT_EQ(w->cStatusBar1->PanelKey(2), "Total Time");
    EXPECT_EQ(w->cStatusBar1->PanelText("Total Size"), "");
    for (long v : {w->g_ltmrItemSecsTotal, w->m_ltmrItemSecsDone, w->m_ltmrSecsElapsed, w->m_ltmrItemSecs,
                   w->m_ltmrDoneItemsSecs})
        EXPECT_EQ(v, 0);

    // Pages follow the selected tab's key, whatever index the handler gets.
    tabs->tabBar()->setCurrentIndex(1); // the user clicks "Events"
    EXPECT_EQ(shownPages(w), QStringList{"TabEvents"});
    tabs->SelectTab("Log");
    w->cTabControl1_TabClick(tabs->TabIndexForKey("Events"));
    EXPECT_EQ(shownPages(w), QStringList{"TabLog"});
    w->ShowLogTab();
    EXPECT_EQ(shownPages(w), QStringList{"TabLog"});
    tabs->SelectTab("Settings");
    w->cTabControl1_TabClick(0);
    EXPECT_EQ(shownPages(w), QStringList{"TabSettings"});
}

TEST_F(ConverterWindow, MarkedRowsCopiedByPositionLandUnderTheirKeys)
{
    startProgram();
    tftest::FakeMain main;
    main.addRow(true, itemRow("/music/one.wav", "One"));
    main.addRow(false, itemRow("/music/two.wav", "Two"));
    QMap<QString, QString> third = itemRow("/music/three.mp3", "Three");
    third["COL_TAG_TRACK"] = "[TRACK_NUM]";
    third["COL_TAG_ARTIST"] = "Artist";
    main.addRow(true, third);

    FrmConverter* w = g_frmConverter();
    copyMarkedRows(main.cGrid1, w->cGrid1);
    cGrid* g = w->cGrid1;
    ASSERT_EQ(g->RowCount(), 2);
    EXPECT_EQ(g->SelectedRow(), 1);
    EXPECT_EQ(g->CellText(1, g->ColumnIndex("COL_FILE")), "/music/one.wav");
    EXPECT_EQ(g->CellText(2, g->ColumnIndex("COL_FILE")), "/music/three.mp3");
    EXPECT_EQ(g->CellText(2, g->ColumnIndex("Item Name")), "Three");
    EXPECT_EQ(g->CellText(2, g->ColumnIndex("Time")), "00:03:25");
    EXPECT_EQ(g->CellText(2, g->ColumnIndex("COL_TAG_TRACK")), "[TRACK_NUM]");
    EXPECT_EQ(g->CellText(2, g->ColumnIndex("COL_TAG_ARTIST")), "Artist");
    // The mark column is not copied: no icon shows in the tool grid.
    EXPECT_EQ(g->CellIcon(1, 1), -1);
}

TEST_F(ConverterWindow, RefusesToCloseWhileAJobRunsAndLoadsAfreshAfterwards)
{
    startProgram();
    tftest::FakeMain main;
    QPointer<FrmConverter> w = g_frmConverter();
    w->show();
    w->g_ltmrItemSecsTotal = 600;
    w->m_ltmrDoneItemsSecs = 300;
    w->cmdConvert->setEnabled(false); // a job runs
    w->cmdExit->setEnabled(false);

    EXPECT_FALSE(w->close());
    w->reject(); // Escape
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(g_frmConverterLoaded());

    w->cmdConvert->setEnabled(true); // the job ended
    w->cmdExit->setEnabled(true);
    w->cmdExit->click();
    EXPECT_FALSE(g_frmConverterLoaded());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());

    // The next opening is a new window in its load state.
    FrmConverter* again = g_frmConverter();
    EXPECT_EQ(again->g_ltmrItemSecsTotal, 0);
    EXPECT_EQ(again->m_ltmrDoneItemsSecs, 0);
    EXPECT_EQ(again->cGrid1->RowCount(), 0);
}

TEST_F(ConverterWindow, EventBoxesStartFromTheOptionDefaults)
{
    startProgram();
    tftest::FakeMain main;
    const struct {
        bool sound, folder, turnOff, notice;
    } cases[] = {{true, false, true, false}, {false, true, false, true}};
    for (const auto& c : cases) {
        g_bPlaySound = c.sound;
        g_bOpenDestFolder = c.folder;
        g_bTurnOffComputer = c.turnOff;
        g_bNoticeApp = c.notice;
        FrmConverter* w = g_frmConverter();
        EXPECT_EQ(w->chkPlaySound->checkState() == Qt::Checked, c.sound);
        EXPECT_EQ(w->chkOpenDestFolder->checkState() == Qt::Checked, c.folder);
        EXPECT_EQ(w->chkTurnOffComputer->checkState() == Qt::Checked, c.turnOff);
        EXPECT_EQ(w->chkNoticeApp->checkState() == Qt::Checked, c.notice);
        w->close();
    }
    EXPECT_EQ(FlagToCheckValue(-1), 1);
    EXPECT_EQ(FlagToCheckValue(5), 1);
    EXPECT_EQ(FlagToCheckValue(0), 0);
}

TEST_F(ConverterWindow, TargetFormatStartsOnTheOptionsDefaultAndSetAsDefaultStoresIt)
{
    // The default edition's formats, whichever edition this build is; the
    // build's own table is put back after the test.
    struct DefaultEditionFormats {
        std::array<int, 6> built{};
        DefaultEditionFormats()
        {
            SetSupportedDestinations();
            built = {g_lDestWAV, g_lDestACM, g_lDestMP3, g_lDestWMA, g_lDestOGG, g_lDestAPE};
            SetDestinationTable(DefaultEditionDestinations());
        }
        ~DefaultEditionFormats()
        {
            SetDestinationTable(built);
            SetSupportedDestinations();
        }
    } formats;
    SetAppModes();
    testenv::installMachineKeys();
    storeGeneral("cboTargetFormat", kMP3);
    frmOptions();
    g_frmAudioProp();
    tftest::FakeMain main;
    ASSERT_EQ(g_sTargetFormat, kMP3);

    FrmConverter* w = g_frmConverter();
    EXPECT_EQ(w->cboTargetFormat->count(), 4); // the formats the default edition offers
    EXPECT_EQ(w->cboTargetFormat->currentText(), kMP3);
    EXPECT_FALSE(w->lblSetAsDefaultFormat->isEnabled());
    w->cboTargetFormat->setCurrentText(kWAV);
    EXPECT_TRUE(w->lblSetAsDefaultFormat->isEnabled());
    w->cboTargetFormat->setCurrentText(kMP3);
    EXPECT_FALSE(w->lblSetAsDefaultFormat->isEnabled());

    w->cboTargetFormat->setCurrentText(kWMA);
    w->lblSetAsDefaultFormat->click();
    EXPECT_EQ(storedGeneral("cboTargetFormat"), kWMA);
    EXPECT_EQ(g_sTargetFormat, kWMA);
    EXPECT_EQ(frmOptions()->cboTargetFormat->currentText(), kWMA);
    EXPECT_FALSE(w->lblSetAsDefaultFormat->isEnabled());
    // The destination and the template are not stored by it.
    EXPECT_EQ(storedGeneral("cboFileName"), "<missing>");
    w->close();

    FrmConverter* next = g_frmConverter();
    EXPECT_EQ(next->cboTargetFormat->currentText(), kWMA);
    EXPECT_FALSE(next->lblSetAsDefaultFormat->isEnabled());
}

TEST_F(ConverterWindow, EditOpensTheFormatDialogOnThatFormatAndTakesItsChoice)
{
    SetAppModes();
    testenv::installMachineKeys();
    storeGeneral("cboTargetFormat", kWAV);
    frmOptions();
    g_frmAudioProp();
    tftest::FakeMain main;
    FrmConverter* w = g_frmConverter();
    w->cboTargetFormat->setCurrentText(kACM);

    // OK on the WMA page.
    QString openedOn;
    QTimer::singleShot(0, [&] {
        FrmAudioProp* d = g_frmAudioProp();
        openedOn = d->cTabControl1->TabKey(d->cTabControl1->SelectedTab());
        d->cTabControl1->SelectTab("WMA");
        d->cmdOk_Click();
    });
    w->cmdEditTargetFormat->click();
    EXPECT_EQ(openedOn, "ACM");
    EXPECT_EQ(w->cboTargetFormat->currentText(), kWMA);
    EXPECT_EQ(storedGeneral("cboTargetFormat"), kWMA);
    EXPECT_EQ(g_sTargetFormat, kWMA);
    EXPECT_FALSE(w->lblSetAsDefaultFormat->isEnabled());

    // Exit: the window takes the Options dialog's format, stored as default.
    w->cboTargetFormat->setCurrentText(kMP3);
    QTimer::singleShot(0, [&] { g_frmAudioProp()->cmdExit_Click(); });
    w->cmdEditTargetFormat->click();
    EXPECT_EQ(w->cboTargetFormat->currentText(), kWMA);
    EXPECT_EQ(storedGeneral("cboTargetFormat"), kWMA);
}

TEST_F(ConverterWindow, TemplateBoxStartsOnTheStoredDefaultOrTheSecondEntry)
{
    startProgram();
    tftest::FakeMain main;
    g_sFileNameFormat.clear();
    FrmConverter* w = g_frmConverter();
    EXPECT_EQ(w->cboFileName->count(), 6);
    EXPECT_EQ(w->cboFileName->itemText(0), "[file_name].[dest_extension]");
    EXPECT_EQ(w->cboFileName->currentText(), "[file_name].[source_extension].[dest_extension]");
    EXPECT_TRUE(w->lblSetAsDefaultFileName->isEnabled());
    w->close();

    g_sFileNameFormat = "[123].[dest_extension]";
    w = g_frmConverter();
    EXPECT_EQ(w->cboFileName->currentText(), "[123].[dest_extension]");
    EXPECT_FALSE(w->lblSetAsDefaultFileName->isEnabled());
    w->cboFileName->setCurrentIndex(0);
    EXPECT_TRUE(w->lblSetAsDefaultFileName->isEnabled());
    w->cboFileName->setCurrentText("[123].[dest_extension]");
    EXPECT_FALSE(w->lblSetAsDefaultFileName->isEnabled());
    w->close();

    // A default that is no longer offered leaves the box without a choice.
    g_sFileNameFormat = "[gone]";
    w = g_frmConverter();
    EXPECT_EQ(w->cboFileName->currentIndex(), -1);
}

TEST_F(ConverterWindow, FileNameFormatsFileReplacesTheDesignTemplates)
{
    startProgram();
    tftest::FakeMain main;
    g_sFileNameFormat.clear();
    {
        QFile f(AppPath() + "/FileNameFormats.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[item_name]_[date].[dest_extension]\r\n\r\n  [123] spaced.[dest_extension]\r\n");
    }
    FrmConverter* w = g_frmConverter();
    ASSERT_EQ(w->cboFileName->count(), 2);
    EXPECT_EQ(w->cboFileName->itemText(0), "[item_name]_[date].[dest_extension]");
    EXPECT_EQ(w->cboFileName->itemText(1), "  [123] spaced.[dest_extension]");
    EXPECT_EQ(w->cboFileName->currentIndex(), 1);
    w->close();

    // One template and no default: there is no second entry to start on.
    {
        QFile f(AppPath() + "/FileNameFormats.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[file_name].[dest_extension]\r\n");
    }
    w = g_frmConverter();
    EXPECT_EQ(w->cboFileName->count(), 1);
    EXPECT_EQ(w->cboFileName->currentIndex(), -1);
}

TEST_F(ConverterWindow, TemplateSetAsDefaultStoresItForTheNextWindow)
{
    startProgram();
    tftest::FakeMain main;
    FrmConverter* w = g_frmConverter();
    w->cboFileName->setCurrentIndex(3);
    ASSERT_TRUE(w->lblSetAsDefaultFileName->isEnabled());
    w->lblSetAsDefaultFileName->click();
    const QString chosen = "[file_name]_[123].[source_extension].[dest_extension]";
    EXPECT_EQ(storedGeneral("cboFileName"), chosen);
    EXPECT_EQ(g_sFileNameFormat, chosen);
    EXPECT_EQ(frmOptions()->cboFileName->currentText(), chosen);
    EXPECT_FALSE(w->lblSetAsDefaultFileName->isEnabled());
    w->close();

    w = g_frmConverter();
    EXPECT_EQ(w->cboFileName->currentText(), chosen);
    EXPECT_FALSE(w->lblSetAsDefaultFileName->isEnabled());
}

TEST_F(ConverterWindow, OutputFilesOfRowsFollowTemplateFolderAndFormat)
{
    startProgram();
    tftest::FakeMain main;
    FrmConverter* w = g_frmConverter();
    w->txtToPath->setEditText("/out"); // typed without the separator
    w->cboTargetFormat->setCurrentText(kMP3);
    for (int i = 1; i <= 3; ++i)
        main.addRow(true, itemRow(QString("/music/Track%1.wav").arg(i, 2, 10, QChar('0')), "Blue Sky.WAV"));
    main.addRow(true, itemRow("/music/x.wav", ".."));
    copyMarkedRows(main.cGrid1, w->cGrid1);

    w->cboFileName->setCurrentText("[file_name]_[123].[source_extension].[dest_extension]");
    EXPECT_EQ(w->ExpandFileNameTemplate(3), "Track03_3.wav.mp3");
    EXPECT_EQ(w->OutputFileForRow(3), "/out/Track03_3.wav.mp3");
    w->chkCreateSubFolder->setChecked(true);
    w->txtUndeForlder->setText("My-List");
    EXPECT_EQ(w->OutputFileForRow(1), "/out/My-List/Track01_1.wav.mp3");

    // A name that would leave the destination fails its row.
    w->cboFileName->setCurrentText("[file_name].[dest_extension]");
    QString problem;
    EXPECT_TRUE(w->OutputFileForRow(4, &problem).endsWith("/x.mp3"));
    EXPECT_TRUE(problem.isEmpty());
    {
        QFile f(AppPath() + "/FileNameFormats.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[item_name]\r\n");
    }
    w->close();
    w = g_frmConverter();
    copyMarkedRows(main.cGrid1, w->cGrid1);
    w->cboFileName->setCurrentIndex(0);
    EXPECT_EQ(w->OutputFileForRow(4, &problem), "");
    EXPECT_FALSE(problem.isEmpty());
}

TEST_F(ConverterWindow, SetDestinationAndTagsReachTheComponent)
{
    startProgram();
    tftest::FakeMain main;
    FrmConverter* w = g_frmConverter();
    QMap<QString, QString> first = itemRow("/music/song.wav", "Song [YEAR]");
    first["Range"] = "00:00:10 - 00:00:40";
    first["COL_TAG_ALBUM"] = "[PROG_NAME] sampler";
    first["COL_TAG_ARTIST"] = "Artist";
    first["COL_TAG_COMMENT"] = "[SOURCE_NAME] / [ITEM_NAME] / [RANGE]";
    first["COL_TAG_GEN"] = "Rock";
    first["COL_TAG_TITLE"] = "[track_num] title";
    first["COL_TAG_TRACK"] = "[TRACK_NUM]";
    first["COL_TAG_YEAR"] = "[YEAR]";
    main.addRow(true, first);
    main.addRow(true, itemRow("/music/other.wav", "Other")); // no tags at all
    copyMarkedRows(main.cGrid1, w->cGrid1);

    w->cboTargetFormat->setCurrentText(kMP3);
    EXPECT_EQ(w->SetDestination(), 0);
    EXPECT_EQ(w->cAudioConverter1->OutputFormat(), 3);
    EXPECT_TRUE(w->txtLog->toPlainText().contains(":Destination format: MP3"));
    w->cboTargetFormat->setCurrentIndex(-1);
    w->SetDestination();
    EXPECT_EQ(w->cAudioConverter1->OutputFormat(), 1);
    EXPECT_TRUE(w->txtLog->toPlainText().contains(":Destination format: WAV"));

    const QString year = QString::number(QDate::currentDate().year());
    w->m_lCurrentRow = 1;
    w->cGrid1->setSelectedRow(1);
    w->SetID3Tags(1);
    cAudioConverter* c = w->cAudioConverter1;
    EXPECT_EQ(c->TagAlbum(), g_sAppName + " sampler");
    EXPECT_EQ(c->TagArtist(), "Artist");
    EXPECT_EQ(c->TagComment(), "song.wav / Song " + year + " / 00:00:10 - 00:00:40");
    EXPECT_EQ(c->TagGenre(), "Rock");
    EXPECT_EQ(c->TagTitle(), "[track_num] title");
    EXPECT_EQ(c->TagTrack(), "1");
    EXPECT_EQ(c->TagYear(), year);

    // The next row sets all seven again, empty ones included.
    w->m_lCurrentRow = 2;
    w->cGrid1->setSelectedRow(2);
    w->SetID3Tags(2);
    for (const QString& tag : {c->TagAlbum(), c->TagArtist(), c->TagComment(), c->TagGenre(), c->TagTitle(),
                               c->TagTrack(), c->TagYear()})
        EXPECT_EQ(tag, "");
    EXPECT_EQ(w->CreateID3TagsString("[TRACK_NUM]/[ITEM_NAME]/[RANGE]"), "2/Other/All");
}

TEST_F(ConverterWindow, TimeLeftTickShowsTheEstimateAndStopsAfterTheJob)
{
    startProgram();
    tftest::FakeMain main;
    FrmConverter* w = g_frmConverter();
    main.addRow(true, itemRow("/music/a.wav", "a"));
    copyMarkedRows(main.cGrid1, w->cGrid1);
    w->g_ltmrItemSecsTotal = 600;
    w->cmdConvert->setEnabled(false);
    w->ResetJobState();
    w->m_ltmrItemSecs = w->RowSeconds(1);
    EXPECT_EQ(w->m_ltmrItemSecs, 205);
    w->m_ltmrItemSecs = 300;
    w->Timer1->start();

    for (int i = 0; i < 9; ++i)
        w->Timer1_Timer(); // no progress yet: the label keeps its text
    EXPECT_EQ(w->lblTimeLeft->text(), "Time Left: 00:00:00");
    w->NoteRowProgress(0);
    EXPECT_EQ(w->m_ltmrItemSecsDone, 0);
    w->NoteRowProgress(10);
    EXPECT_EQ(w->m_ltmrItemSecsDone, 30);
    w->Timer1_Timer(); // the tenth tick: counter 11
    EXPECT_EQ(w->m_ltmrSecsElapsed, 11);
    EXPECT_EQ(w->lblTimeLeft->text(), "Time Left: 00:03:29");
    EXPECT_TRUE(w->Timer1->isActive());

    w->NoteRowDone();
    EXPECT_EQ(w->m_ltmrDoneItemsSecs, 300);
    w->cmdConvert->setEnabled(true); // the job has ended
    w->Timer1_Timer();
    EXPECT_FALSE(w->Timer1->isActive());
    EXPECT_EQ(w->lblTimeLeft->text(), "Time Left: 00:00:00");

    // A second job counts its finished rows from zero again, and nothing of
    // the last job's error stays in the status line or the caption.
    NoteRowJobError(w, 7, "The file cannot be read.");
    ASSERT_EQ(w->lblCurrentTrack->text(), "Error: The file cannot be read.(7)");
    w->ResetJobState();
    EXPECT_EQ(w->lblCurrentTrack->text(), "");
    EXPECT_EQ(w->windowTitle(), w->design().caption);
    EXPECT_EQ(w->m_ltmrDoneItemsSecs, 0);
    EXPECT_EQ(w->m_ltmrSecsElapsed, 1);
    EXPECT_FALSE(w->m_bJobError);
}
