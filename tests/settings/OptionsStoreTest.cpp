#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <functional>
#include <gtest/gtest.h>

#include "core/Edition.h"
#include "core/RunOnStart.h"
#include "core/Startup.h"
#include "core/TextFiles.h"
#include "platform/SettingsStore.h"
#include "settings/Options.h"
#include "settings/SettingsWidgets.h"
#include "settings/frmOptions.h"
#include "tests/settings/FakeMainWindow.h"
#include "tests/support/TestEnv.h"
#include "tests/settings/FreshSettingsWindows.h"

using platform::Hive;
using platform::SettingsStore;

namespace {

QString key(const QString& sub) { return MachineKeyRoot() + "\\" + sub; }

void store(const QString& sub, const QString& name, const QString& value)
{
    ASSERT_TRUE(SettingsStore::setValue(Hive::LocalMachine, key(sub), name, value)) << qPrintable(name);
}

QString stored(const QString& sub, const QString& name)
{
    return SettingsStore::value(Hive::LocalMachine, key(sub), name).value_or("<missing>");
}

// The default edition, whichever edition this build is.
void install()
{
    SetAppModes();
    SetDefaultEditionTools();
    testenv::installMachineKeys();
}

QStringList historyLines()
{
    QString text = ReadTextFile(PathHistoryFile());
    return text.isEmpty() ? QStringList() : text.split("\r\n");
}

struct BoolOption {
    const char* sub;
    const char* name;
    bool* variable;
};

// Every check box of the store with the variable it fills.
const std::vector<BoolOption>& boolOptions()
{
    static const std::vector<BoolOption> all = {
        {"General", "chkSelectTheLastItem", &g_bSelectTheLastItem},
        {"General", "chkAutoFreeDB", &g_bAutoFreeDB},
        {"General", "chkSaveLogWhenExit", &g_bSaveLogWhenExit},
        {"General", "chkDisplayMSGWhenExit", &g_bDisplayMSGWhenExit},
        {"General", "chkDisplayMSGWhenErase", &g_bDisplayMSGWhenErase},
        {"General", "chkGoToNextItem", &g_bGoToNextItem},
        {"General", "chkDisplayPlayer", &g_bDisplayPlayer},
        {"General", "chkClearOnExit", &g_bClearOnExit},
        {"General", "chkDisplayAudioGraph", &g_bDisplayAudioGraph},
        {"General", "chkMenuXPStyle", &g_bMenuXPStyle},
        {"General", "chkDisplayGridHotTrack", &g_bDisplayGridHotTrack},
        {"General", "chkDisplayTitle", &g_bDisplayTitle},
        {"General", "chkDisplayGridLine", &g_bDisplayGridLine},
        {"General", "chkDisplayLiveUpdateWindow", &g_bDisplayLiveUpdateWindow},
        {"General", "chkAutoUpdate", &g_bAutoUpdate},
        {"Events", "chkOpenDestFolder", &g_bOpenDestFolder},
        {"Events", "chkTurnOffComputer", &g_bTurnOffComputer},
        {"Events", "chkPlaySound", &g_bPlaySound},
        {"Events", "chkNoticeApp", &g_bNoticeApp},
        {"ID3 Tags", "chkCopyID3FromSource", &g_bCopyID3FromSource},
    };
    return all;
}

} // namespace

class OptionsStore : public settingstest::FreshSettingsWindows {};

TEST_F(OptionsStore, FirstRunLoadsEveryDefault)
{
    install();
    QDir(testenv::programDir()).rmdir("Main");
    ASSERT_FALSE(QFileInfo(testenv::programDir() + "/Main").exists());

    FrmOptions* f = frmOptions();

    for (const BoolOption& o : boolOptions()) {
        const bool copy = QString(o.name) == "chkCopyID3FromSource";
        EXPECT_EQ(*o.variable, copy) << o.name;
        EXPECT_EQ(f->findChild<QCheckBox*>(o.name)->isChecked(), copy) << o.name;
    }
    EXPECT_EQ(g_lAppColor, 0u);
    EXPECT_EQ(g_lTextColor, 0u);
    EXPECT_EQ(g_lDeviceIndex, -1);
    EXPECT_EQ(g_sTargetFormat, "");
    EXPECT_EQ(f->cboTargetFormat->currentIndex(), -1);
    EXPECT_EQ(f->cboTargetFormat->count(), 4);
    EXPECT_EQ(g_sFileNameFormat, "");
    EXPECT_EQ(f->cboFileName->currentIndex(), -1);

    const QString main = testenv::programDir() + "/Main/";
    EXPECT_EQ(g_sItemsListDir, main);
    EXPECT_TRUE(QFileInfo(main).isDir());
    EXPECT_EQ(historyLines().value(0), main);

    EXPECT_EQ(g_sPlayAtEnd, testenv::programDir() + "/sound/notify.wav");
    EXPECT_EQ(f->txtPlayAtEnd->text(), "notify.wav");
    EXPECT_EQ(f->txtPlayAtEnd->toolTip(), g_sPlayAtEnd);
    EXPECT_EQ(g_sAppNotice, "");
    for (const QString* tag : {&g_sTagArtist, &g_sTagSong, &g_sTagAlbum, &g_sTagTrack, &g_sTagGenre, &g_sTagYear,
                               &g_sTagComment})
        EXPECT_EQ(*tag, "");
    EXPECT_FALSE(f->chkRunWhenWinStarts->isChecked());
    EXPECT_FALSE(f->isVisible());
}

TEST_F(OptionsStore, StoredTextsReachControlsAndVariables)
{
    install();
    // Check boxes: "1" and the greyed "2" are on; a text the box cannot take
    // leaves the box (and so the variable) as it was.
    const struct {
        const char* text;
        bool expected;
    } checks[] = {{"1", true}, {"2", true}, {"0", false}, {"x", false}, {"7", false}};
    int n = 0;
    std::vector<std::pair<const BoolOption*, bool>> expected;
    for (const BoolOption& o : boolOptions()) {
        if (QString(o.name) == "chkCopyID3FromSource")
            continue;
        const auto& c = checks[n++ % std::size(checks)];
        store(o.sub, o.name, c.text);
        expected.push_back({&o, c.expected});
    }
    store("General", "cboTargetFormat", "WMA - Windows Media Audio files (*.wma)");
    store("General", "cboFileName", "[123].[dest_extension]");
    store("General", "txtToPath", "/srv/lists/");
    store("General", "picColor", "255");
    store("General", "picTextColor", "16711680");
    store("General", "cboDevices", "3"); // the device list has no entries
    store("Events", "txtPlayAtEnd", "/usr/share/sounds/done.wav");
    store("Events", "txtAppNotice", "notify-send \"[dest_folder]\"");
    store("ID3 Tags", "chkCopyID3FromSource", "0");
    store("ID3 Tags", "txtTagArtist", "Artist [PROG_NAME]");
    store("ID3 Tags", "txtTagSong", "Song");
    store("ID3 Tags", "txtTagAlbum", "Album");
    store("ID3 Tags", "txtTagTrack", "7");
    store("ID3 Tags", "txtTagGenre", "Jazz");
    store("ID3 Tags", "txtTagYear", "1999");
    store("ID3 Tags", "txtTagComment", "line 1\nline 2");

    FrmOptions* f = frmOptions();
    for (const auto& [o, value] : expected)
        EXPECT_EQ(*o->variable, value) << o->name;
    EXPECT_EQ(g_sTargetFormat, "WMA - Windows Media Audio files (*.wma)");
    EXPECT_EQ(f->cboTargetFormat->currentIndex(), 3);
    EXPECT_EQ(g_sFileNameFormat, "[123].[dest_extension]");
    EXPECT_EQ(g_sItemsListDir, "/srv/lists/");
    EXPECT_FALSE(QFileInfo("/srv/lists/").exists()); // only the default folder is created
    EXPECT_EQ(g_lAppColor, 255u);
    EXPECT_EQ(g_lTextColor, 16711680u);
    EXPECT_EQ(g_lDeviceIndex, -1);
    EXPECT_EQ(g_sPlayAtEnd, "/usr/share/sounds/done.wav");
    EXPECT_EQ(f->txtPlayAtEnd->text(), "done.wav");
    EXPECT_EQ(g_sAppNotice, "notify-send \"[dest_folder]\"");
    EXPECT_FALSE(g_bCopyID3FromSource);
    EXPECT_EQ(g_sTagArtist, "Artist [PROG_NAME]");
    EXPECT_EQ(g_sTagSong, "Song");
    EXPECT_EQ(g_sTagAlbum, "Album");
    EXPECT_EQ(g_sTagTrack, "7");
    EXPECT_EQ(g_sTagGenre, "Jazz");
    EXPECT_EQ(g_sTagYear, "1999");
    EXPECT_EQ(g_sTagComment, "line 1\nline 2");
}

TEST_F(OptionsStore, CopyTagsFromSourceDefaultsOnOnlyWhenEmpty)
{
    const struct {
        const char* text; // null: missing
        bool expected;
    } cases[] = {{nullptr, true}, {"", true}, {"0", false}, {"1", true}};
    install();
    for (const auto& c : cases) {
        if (c.text)
            store("ID3 Tags", "chkCopyID3FromSource", c.text);
        else
            SettingsStore::deleteValue(Hive::LocalMachine, key("ID3 Tags"), "chkCopyID3FromSource");
        frmOptions()->GetOptions();
        EXPECT_EQ(g_bCopyID3FromSource, c.expected) << (c.text ? c.text : "<missing>");
    }
}

TEST_F(OptionsStore, OkWritesEveryValueAsTextAndReloadsTheSame)
{
    install();
    FrmOptions* f = frmOptions();
    int i = 0;
    for (const BoolOption& o : boolOptions())
        f->findChild<QCheckBox*>(o.name)->setChecked(i++ % 2 == 0);
    f->cboTargetFormat->setCurrentIndex(2);
    f->cboFileName->setCurrentIndex(4);
    f->picColor->setBackColor(0x123456);
    f->picTextColor->setBackColor(0xABCDEF);
    f->txtAppNotice->setPlainText("echo [dest_folder]");
    f->txtTagArtist->setText("A");
    f->txtTagComment->setPlainText("C1\nC2");
    const QString sound = testenv::programDir() + "/sound/notify.wav";

    f->cmdOk_Click();

    i = 0;
    for (const BoolOption& o : boolOptions()) {
        const bool on = i++ % 2 == 0;
        EXPECT_EQ(stored(o.sub, o.name), on ? "1" : "0") << o.name;
        EXPECT_EQ(*o.variable, on) << o.name;
    }
    EXPECT_EQ(stored("General", "cboTargetFormat"), "MP3 - MPEG-1 Audio Layer 3 (*.mp3)");
    EXPECT_EQ(stored("General", "cboFileName"), "[123].[dest_extension]");
    EXPECT_EQ(stored("General", "cboDevices"), "-1");
    EXPECT_EQ(stored("General", "picColor"), QString::number(0x123456));
    EXPECT_EQ(stored("General", "picTextColor"), QString::number(0xABCDEF));
    EXPECT_EQ(stored("General", "txtToPath"), testenv::programDir() + "/Main/");
    // The sound is stored as the full path the box keeps, not the name it shows.
    EXPECT_EQ(stored("Events", "txtPlayAtEnd"), sound);
    EXPECT_EQ(stored("Events", "txtAppNotice"), "echo [dest_folder]");
    EXPECT_EQ(stored("ID3 Tags", "txtTagArtist"), "A");
    EXPECT_EQ(stored("ID3 Tags", "txtTagSong"), "");
    EXPECT_EQ(stored("ID3 Tags", "txtTagComment"), "C1\nC2");
    EXPECT_EQ(g_lAppColor, 0x123456u);
    EXPECT_EQ(g_sTargetFormat, "MP3 - MPEG-1 Audio Layer 3 (*.mp3)");
    EXPECT_FALSE(f->isVisible());

    // A fresh dialog reads back what OK wrote.
    UnloadOptions();
    frmOptions();
    i = 0;
    for (const BoolOption& o : boolOptions())
        EXPECT_EQ(*o.variable, i++ % 2 == 0) << o.name;
    EXPECT_EQ(frmOptions()->cboFileName->currentIndex(), 4);
    EXPECT_EQ(frmOptions()->picTextColor->BackColor(), 0xABCDEFu);
    EXPECT_EQ(g_sTagComment, "C1\nC2");
}

TEST_F(OptionsStore, StartAtLogonFollowsItsCheckBox)
{
    install();
    FrmOptions* f = frmOptions();
    ASSERT_FALSE(QFile::exists(RunOnStartFile()));

    f->chkRunWhenWinStarts->setChecked(true);
    f->cmdOk_Click();
    EXPECT_TRUE(QFile::exists(RunOnStartFile()));
    EXPECT_TRUE(IsRunOnStart());
    EXPECT_TRUE(f->chkRunWhenWinStarts->isChecked());

    // The entry is the setting: a fresh dialog shows it ticked.
    UnloadOptions();
    EXPECT_TRUE(frmOptions()->chkRunWhenWinStarts->isChecked());

    frmOptions()->chkRunWhenWinStarts->setChecked(false);
    frmOptions()->cmdOk_Click();
    EXPECT_FALSE(QFile::exists(RunOnStartFile()));
    EXPECT_FALSE(frmOptions()->chkRunWhenWinStarts->isChecked());

    // Unticked with no entry: nothing to remove, and no message.
    testenv::ScriptedMessageBoxes boxes;
    frmOptions()->cmdOk_Click();
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(OptionsStore, ListsFolderIsCompletedBeforeItIsComparedOrUsed)
{
    install();
    const QString main = testenv::programDir() + "/Main/";
    const QString other = testenv::tempRoot() + "/Other/";
    const struct {
        QString typed;
        QString expected;
        bool rebuilt;
    } cases[] = {
        {main, main, false},
        {testenv::programDir() + "/Main", main, false}, // only the final "/" differs
        {other, other, true},
        {testenv::tempRoot() + "/other/", testenv::tempRoot() + "/other/", true}, // letter case counts
        {"", main, true},                                                        // back to the default
    };
    FakeMainWindow window;
    FrmOptions* f = frmOptions();
    for (const auto& c : cases) {
        const int builds = window.treeBuilds;
        f->txtToPath->setEditText(c.typed);
        f->cmdOk_Click();
        EXPECT_EQ(g_sItemsListDir, c.expected) << qPrintable(c.typed);
        EXPECT_EQ(stored("General", "txtToPath"), c.expected) << qPrintable(c.typed);
        EXPECT_EQ(f->txtToPath->currentText(), c.expected) << qPrintable(c.typed);
        EXPECT_EQ(window.treeBuilds - builds, c.rebuilt ? 1 : 0) << qPrintable(c.typed);
        if (c.rebuilt) {
            // The first list under the lists root is selected.
            EXPECT_EQ(window.cTreeView1->SelectedNode().NodeKey(), "list" + QString::number(window.treeBuilds));
        }
    }
    EXPECT_TRUE(QFileInfo(main).isDir());
    EXPECT_EQ(historyLines().value(0), main);
}

TEST_F(OptionsStore, OkAppliesTheViewToTheMainWindow)
{
    install();
    FakeMainWindow window;
    FrmOptions* f = frmOptions();
    for (bool on : {true, false}) {
        const int resizes = window.resizes;
        f->chkDisplayGridHotTrack->setChecked(on);
        f->chkDisplayGridLine->setChecked(!on);
        f->cmdOk_Click();
        EXPECT_EQ(window.resizes, resizes + 1);
        EXPECT_EQ(window.cGrid1->HotTrack(), on);
        EXPECT_EQ(window.cGrid1->GridLines(), !on);
    }
}

TEST_F(OptionsStore, FailedWriteIsReportedOnceAndKeepsTheEdits)
{
    install();
    FrmOptions* f = frmOptions();
    f->show();
    ASSERT_EQ(SettingsStore::deleteKey(Hive::LocalMachine, key("Events")), 0);
    ASSERT_EQ(SettingsStore::deleteKey(Hive::LocalMachine, key("ID3 Tags")), 0);
    f->chkPlaySound->setChecked(true);
    f->chkClearOnExit->setChecked(true);
    f->txtTagArtist->setText("Edited");

    testenv::ScriptedMessageBoxes boxes;
    f->cmdOk_Click();

    ASSERT_EQ(boxes.shown().size(), 1u);
    const QString prompt = boxes.shown()[0].prompt;
    EXPECT_TRUE(prompt.contains(key("Events"))) << qPrintable(prompt);
    EXPECT_TRUE(prompt.contains(key("ID3 Tags"))) << qPrintable(prompt);
    EXPECT_FALSE(prompt.contains(key("General"))) << qPrintable(prompt);
    EXPECT_EQ(boxes.shown()[0].icon(), int(vbExclamation));
    // The dialog stays open with the user's edits; nothing pretends to be saved.
    EXPECT_TRUE(f->isVisible());
    EXPECT_TRUE(f->chkPlaySound->isChecked());
    EXPECT_EQ(f->txtTagArtist->text(), "Edited");
    EXPECT_FALSE(g_bPlaySound);
    EXPECT_EQ(g_sTagArtist, "");
    // What could be written was written.
    EXPECT_EQ(stored("General", "chkClearOnExit"), "1");

    // Once the keys are back, the next OK stores everything and closes.
    testenv::installMachineKeys();
    f->cmdOk_Click();
    EXPECT_EQ(boxes.shown().size(), 1u);
    EXPECT_FALSE(f->isVisible());
    EXPECT_TRUE(g_bPlaySound);
    EXPECT_EQ(stored("ID3 Tags", "txtTagArtist"), "Edited");
}
