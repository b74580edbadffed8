#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "components/controls/cImageList.h"
#include "components/controls/cTabControl.h"
#include "core/CommonLook.h"
#include "core/Edition.h"
#include "core/Startup.h"
#include "core/TextFiles.h"
#include "core/ToolFrameServices.h"
#include "platform/Colors.h"
#include "platform/SettingsStore.h"
#include "settings/AppState.h"
#include "settings/Options.h"
#include "settings/SettingsWidgets.h"
#include "settings/frmAudioProp.h"
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

QString shownPage(FrmOptions* f)
{
    QStringList shown;
    for (QFrame* page : {f->froGeneral, f->froEvents, f->froView, f->froTags, f->froAdvanced})
        if (!page->isHidden())
            shown << page->objectName();
    return shown.join(",");
}

QList<QWidget*> tagBoxes(FrmOptions* f)
{
    return {f->lblTagArtist, f->txtTagArtist, f->lblTagSong,  f->txtTagSong,  f->lblTagAlbum,
            f->txtTagAlbum,  f->lblTagGenre,  f->txtTagGenre, f->lblTagTrack, f->txtTagTrack,
            f->lblTagYear,   f->txtTagYear,   f->lblTagComment, f->txtTagComment};
}

QColor background(QWidget* w) { return w->palette().color(QPalette::Window); }
QColor foreground(QWidget* w) { return w->palette().color(QPalette::WindowText); }

} // namespace

class OptionsDialog : public settingstest::FreshSettingsWindows {};

TEST_F(OptionsDialog, PagesOpenByKeyWithTheirTitles)
{
    install();
    FrmOptions* f = frmOptions();
    EXPECT_EQ(shownPage(f), "froGeneral");
    EXPECT_EQ(f->lblTitle->text(), "General");
    EXPECT_EQ(f->cTreeView1->Nodes().NodeCount(), 5);

    const struct {
        const char* key;
        const char* page;
        const char* title;
    } pages[] = {{"ID3 Tags", "froTags", "Default ID3 Tags"},
                 {"Events", "froEvents", "Events"},
                 {"View", "froView", "View"},
                 {"Advanced", "froAdvanced", "Advanced"},
                 {"General", "froGeneral", "General"}};
    for (const auto& p : pages) {
        f->ShowPage(p.key);
        EXPECT_EQ(shownPage(f), p.page) << p.key;
        EXPECT_EQ(f->lblTitle->text(), p.title) << p.key;
        EXPECT_EQ(f->cTreeView1->SelectedNode().NodeKey(), p.key);
    }
    // A click in the tree switches the page the same way.
    f->cTreeView1->Nodes().NodeItem("View").setNodeSelected(true);
    EXPECT_EQ(shownPage(f), "froView");
    // "More advanced options..." leads to the Advanced page.
    f->lblMoreAdvancedOptions->click();
    EXPECT_EQ(shownPage(f), "froAdvanced");
    EXPECT_EQ(f->cTreeView1->SelectedNode().NodeKey(), "Advanced");
}

TEST_F(OptionsDialog, EnableRulesFollowTheirBoxes)
{
    install();
    store("ID3 Tags", "chkCopyID3FromSource", "1");
    store("Events", "chkPlaySound", "0");
    store("Events", "chkNoticeApp", "1");
    FrmOptions* f = frmOptions();
    for (QWidget* w : tagBoxes(f))
        EXPECT_FALSE(w->isEnabled()) << qPrintable(w->objectName());
    EXPECT_FALSE(f->txtPlayAtEnd->isEnabled());
    EXPECT_FALSE(f->cmdAddSound->isEnabled());
    EXPECT_FALSE(f->cmdTestSound->isEnabled());
    EXPECT_TRUE(f->txtAppNotice->isEnabled());
    EXPECT_TRUE(f->cmdTestApp->isEnabled());

    f->ShowPage("ID3 Tags");
    f->chkCopyID3FromSource->click();
    for (QWidget* w : tagBoxes(f))
        EXPECT_TRUE(w->isEnabled()) << qPrintable(w->objectName());
    f->chkPlaySound->click();
    EXPECT_TRUE(f->txtPlayAtEnd->isEnabled() && f->cmdAddSound->isEnabled() && f->cmdTestSound->isEnabled());
    f->chkNoticeApp->click();
    EXPECT_FALSE(f->txtAppNotice->isEnabled() || f->cmdTestApp->isEnabled());
    // A greyed box counts as "not checked" for the rules.
    f->chkCopyID3FromSource->setCheckState(Qt::PartiallyChecked);
    EXPECT_TRUE(f->txtTagYear->isEnabled());
}

TEST_F(OptionsDialog, CancelRestoresTheStoredValuesWhileTheCloseBoxKeepsEdits)
{
    install();
    store("ID3 Tags", "txtTagArtist", "Stored");
    FrmOptions* f = frmOptions();
    f->ShowPage("ID3 Tags");
    f->show();

    // Close box: hidden, nothing stored, nothing re-read.
    f->chkCopyID3FromSource->setChecked(false);
    f->txtTagArtist->setText("Edited");
    f->close();
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(frmOptions(), f); // still loaded
    EXPECT_EQ(stored("ID3 Tags", "txtTagArtist"), "Stored");
    EXPECT_EQ(g_sTagArtist, "Stored");
    f = frmOptions();
    f->show();
    EXPECT_EQ(f->txtTagArtist->text(), "Edited");
    EXPECT_FALSE(f->chkCopyID3FromSource->isChecked());
    EXPECT_EQ(shownPage(f), "froTags"); // the page last shown stays

    // Cancel: the stored values come back.
    f->cmdCancel_Click();
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(f->txtTagArtist->text(), "Stored");
    EXPECT_TRUE(f->chkCopyID3FromSource->isChecked());
    EXPECT_FALSE(f->txtTagArtist->isEnabled());
    EXPECT_TRUE(g_bCopyID3FromSource);

    // Escape behaves as the close box.
    f->show();
    f->txtTagArtist->setText("Escaped");
    f->reject();
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(f->txtTagArtist->text(), "Escaped");

    // At exit the dialog really goes.
    g_bAppClosing = true;
    f->close();
    UnloadOptions();
    EXPECT_FALSE(frmOptionsLoaded());
    g_bAppClosing = false;
}

TEST_F(OptionsDialog, FileNameTemplatesComeFromTheProgramFolderFile)
{
    install();
    WriteTextFile("[file_name].[dest_extension]\r\n\r\nmine_[123].[dest_extension]",
                  testenv::programDir() + "/FileNameFormats.txt");
    store("General", "cboFileName", "[123].[dest_extension]"); // not in the file
    FrmOptions* f = frmOptions();
    QStringList entries;
    for (int i = 0; i < f->cboFileName->count(); ++i)
        entries << f->cboFileName->itemText(i);
    EXPECT_EQ(entries, (QStringList{"[file_name].[dest_extension]", "mine_[123].[dest_extension]"}));
    EXPECT_EQ(f->cboFileName->currentIndex(), -1);
    EXPECT_EQ(g_sFileNameFormat, "");
}

TEST_F(OptionsDialog, FreeDbBoxIsHiddenWithoutTheRipperButStillStored)
{
    install();
    store("General", "chkAutoFreeDB", "1");
    FrmOptions* f = frmOptions();
    EXPECT_TRUE(f->chkAutoFreeDB->isHidden());
    EXPECT_TRUE(g_bAutoFreeDB);
    f->chkAutoFreeDB->setChecked(false);
    f->cmdOk_Click();
    EXPECT_EQ(stored("General", "chkAutoFreeDB"), "0");

    // An edition with the ripper shows it.
    UnloadOptions();
    g_lAppIncCDRipper = 1;
    EXPECT_FALSE(frmOptions()->chkAutoFreeDB->isHidden());
    SetDefaultEditionTools();
}

TEST_F(OptionsDialog, SoundPickerTakesTheFirstFileAndTestPlaysTheKeptPath)
{
    install();
    FrmOptions* f = frmOptions();
    testenv::ScriptedDialogs dialogs;
    testenv::RecordingSound sound;

    dialogs.cancel();
    f->cmdAddSound_Click();
    EXPECT_EQ(f->txtPlayAtEnd->text(), "notify.wav");
    ASSERT_EQ(dialogs.requests().size(), 1u);
    EXPECT_EQ(dialogs.requests()[0].title, "Select files");
    EXPECT_EQ(dialogs.requests()[0].kind, platform::DialogRequest::OpenFile);

    dialogs.choose({"/music/b.wav", "/music/a.mp3"});
    f->cmdAddSound_Click();
    EXPECT_EQ(f->txtPlayAtEnd->property("Tag").toString(), "/music/b.wav");
    EXPECT_EQ(f->txtPlayAtEnd->text(), "b.wav");
    EXPECT_EQ(f->txtPlayAtEnd->toolTip(), "/music/b.wav");
    EXPECT_EQ(g_sPlayAtEnd, testenv::programDir() + "/sound/notify.wav"); // stored only by OK

    f->cmdTestSound_Click();
    EXPECT_EQ(sound.played(), QStringList{"/music/b.wav"});
    // Hiding the dialog stops a sound still playing.
    f->close();
    EXPECT_EQ(sound.stops(), 1);

    f->cmdOk_Click();
    EXPECT_EQ(stored("Events", "txtPlayAtEnd"), "/music/b.wav");
    EXPECT_EQ(g_sPlayAtEnd, "/music/b.wav");
}

TEST_F(OptionsDialog, ProgramTestRunsTheCommandLineUnexpanded)
{
    install();
    FrmOptions* f = frmOptions();
    testenv::RecordingShell shell;
    const struct {
        const char* line;
        const char* program;
        QStringList arguments;
    } cases[] = {
        {"notify-send \"[dest_folder] done\" [PROG_NAME]", "notify-send", {"[dest_folder] done", "[PROG_NAME]"}},
        {"/opt/my tool/run", "/opt/my", {"tool/run"}},
        {"\"/opt/my tool/run\"", "/opt/my tool/run", {}},
    };
    for (const auto& c : cases) {
        f->txtAppNotice->setPlainText(c.line);
        f->cmdTestApp_Click();
        ASSERT_FALSE(shell.requests().empty());
        EXPECT_EQ(shell.requests().back().kind, platform::ShellRequest::Start);
        EXPECT_EQ(shell.requests().back().target, c.program) << c.line;
        EXPECT_EQ(shell.requests().back().arguments, c.arguments) << c.line;
    }
    const size_t before = shell.requests().size();
    f->txtAppNotice->setPlainText("   ");
    f->cmdTestApp_Click();
    EXPECT_EQ(shell.requests().size(), before);
}

TEST_F(OptionsDialog, ParameterLinksOpenTheirHelpSections)
{
    install();
    FrmOptions* f = frmOptions();
    QList<int> sections;
    setProgParametersOpener([&](int section, QWidget* owner) {
        EXPECT_EQ(owner, f);
        sections << section;
    });
    f->lblNoticParameters->click();
    f->lblID3TagParameters->click();
    f->lblParameters->click();
    setProgParametersOpener({});
    EXPECT_EQ(sections, (QList<int>{0, 1, 2}));
}

TEST_F(OptionsDialog, LinksAreReachedWithTabAndPressedWithSpaceOrEnter)
{
    install();
    FrmOptions* f = frmOptions();
    QList<int> sections;
    setProgParametersOpener([&](int section, QWidget*) { sections << section; });
    f->show();
    QApplication::setActiveWindow(f);
    ASSERT_TRUE(QTest::qWaitForWindowActive(f));

    const struct {
        const char* page;
        LinkLabel* link;
        Qt::Key key;
        int section;
    } cases[] = {{"General", f->lblParameters, Qt::Key_Space, 2},
                 {"Events", f->lblNoticParameters, Qt::Key_Return, 0},
                 {"ID3 Tags", f->lblID3TagParameters, Qt::Key_Enter, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        f->ShowPage(c.page);
        sections.clear();
        // Tab from the page's tree goes round the window and passes the link.
        f->cTreeView1->setFocus();
        bool reached = false;
        for (int i = 0; i < 100 && !reached; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached = QApplication::focusWidget() == c.link;
        }
        ASSERT_TRUE(reached);
        QTest::keyClick(c.link, c.key);
        EXPECT_EQ(sections, QList<int>{c.section});
        EXPECT_TRUE(f->isVisible()) << "the key reached the dialog's buttons";

        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c.link);
        ASSERT_TRUE(a);
        EXPECT_EQ(a->role(), QAccessible::Link);
        EXPECT_EQ(a->text(QAccessible::Name), "Parameters");
        EXPECT_TRUE(a->state().focusable);
        ASSERT_TRUE(a->actionInterface());
        a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(sections.size(), 2);
    }
    setProgParametersOpener({});
    f->hide();
}

TEST_F(OptionsDialog, FolderBrowserPutsTheChoiceOnTopOfTheHistory)
{
    install();
    FrmOptions* f = frmOptions();
    testenv::ScriptedDialogs dialogs;
    const QString before = f->txtToPath->currentText();

    dialogs.cancel();
    f->cmdSelectPath_Click();
    EXPECT_EQ(f->txtToPath->currentText(), before);
    ASSERT_EQ(dialogs.requests().size(), 1u);
    EXPECT_EQ(dialogs.requests()[0].title, "Select a new directory");
    EXPECT_EQ(dialogs.requests()[0].kind, platform::DialogRequest::Folder);

    for (const QString& chosen : {QString("/data/lists"), QString("/")}) {
        dialogs.choose({chosen});
        f->cmdSelectPath_Click();
        const QString expected = chosen.endsWith('/') ? chosen : chosen + "/";
        EXPECT_EQ(f->txtToPath->currentText(), expected);
        EXPECT_EQ(ReadTextFile(PathHistoryFile()).split("\r\n").value(0), expected);
        EXPECT_EQ(f->txtToPath->itemText(0), expected);
    }
    EXPECT_EQ(g_sItemsListDir, before); // stored only by OK
}

TEST_F(OptionsDialog, OpeningAMissingListsFolderAsksBeforeCreatingIt)
{
    install();
    FrmOptions* f = frmOptions();
    testenv::ScriptedMessageBoxes boxes;
    testenv::RecordingShell shell;
    const QString missing = testenv::tempRoot() + "/new/lists";
    QDir(testenv::tempRoot() + "/new").removeRecursively(); // made by an earlier run in this process
    const QString question = "The folder " + missing + "/ does not exist." + QString(44, ' ') +
                             "\r\n\r\nWould you like to create it?";

    // No: nothing is created or opened; the box keeps its added "/".
    f->txtToPath->setEditText(missing);
    boxes.answer(vbNo);
    f->lblOpenDestinationDestinationFolder->click();
    ASSERT_EQ(boxes.prompts(), QStringList{question});
    EXPECT_EQ(boxes.shown()[0].style, vbInformation | vbYesNo);
    EXPECT_TRUE(shell.requests().empty());
    EXPECT_FALSE(QFileInfo(missing).exists());
    EXPECT_EQ(f->txtToPath->currentText(), missing + "/");

    // Yes: created, put on top of the history, and opened.
    boxes.clear();
    boxes.answer(vbYes);
    f->lblOpenDestinationDestinationFolder->click();
    EXPECT_EQ(boxes.prompts(), QStringList{question});
    EXPECT_TRUE(QFileInfo(missing).isDir());
    EXPECT_EQ(ReadTextFile(PathHistoryFile()).split("\r\n").value(0), missing + "/");
    ASSERT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(shell.requests()[0].kind, platform::ShellRequest::Open);
    EXPECT_EQ(QDir::cleanPath(shell.requests()[0].target), missing);

    // An existing folder opens without a question.
    boxes.clear();
    f->lblOpenDestinationDestinationFolder->click();
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(shell.requests().size(), 2u);

    // A folder that cannot be created is reported, and the open is still tried.
    QFile blocker(testenv::tempRoot() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    f->txtToPath->setEditText(testenv::tempRoot() + "/file/sub/");
    boxes.answer(vbYes);
    f->lblOpenDestinationDestinationFolder->click();
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].prompt, "The path: " + testenv::tempRoot() + "/file/sub/ cannot be created.");
    EXPECT_EQ(boxes.shown()[1].style, vbOKOnly);
    EXPECT_EQ(shell.requests().size(), 3u);
}

TEST_F(OptionsDialog, ColourPickRecoloursAtOnceAndCancelKeepsTheMainWindow)
{
    install();
    store("General", "picColor", "0");
    store("General", "picTextColor", "0");
    FakeMainWindow window;
    FrmOptions* f = frmOptions();
    testenv::ScriptedDialogs dialogs;

    dialogs.cancel();
    f->picColor->click();
    EXPECT_EQ(stored("Display", "picColor"), "<missing>");

    const quint32 red = 0x0000FF, blue = 0xFF0000;
    dialogs.answer({true, {}, red, 0});
    f->picColor->click();
    dialogs.answer({true, {}, blue, 0});
    f->picTextColor->click();
    EXPECT_EQ(dialogs.requests().back().kind, platform::DialogRequest::Color);

    EXPECT_EQ(f->picColor->BackColor(), red);
    EXPECT_EQ(background(f->picTitle), platform::colorFromBgr(red));
    EXPECT_EQ(foreground(f->lblTitle), platform::colorFromBgr(blue));
    EXPECT_EQ(background(window.picTitle), platform::colorFromBgr(red));
    EXPECT_EQ(foreground(window.lblTitle), platform::colorFromBgr(blue));
    for (cAudioGraph* graph : {window.cAudioGraphAmp, window.cAudioGraphFreq}) {
        EXPECT_EQ(graph->GraphBackColor(), long(red));
        EXPECT_EQ(graph->GraphTextColor(), long(blue));
    }
    EXPECT_EQ(stored("Display", "picColor"), QString::number(red));
    EXPECT_EQ(stored("Display", "picTextColor"), QString::number(blue));
    EXPECT_EQ(stored("General", "picColor"), "0");
    EXPECT_EQ(g_lAppColor, 0u);

    f->cmdCancel_Click();
    EXPECT_EQ(f->picColor->BackColor(), 0u);
    EXPECT_EQ(background(f->picTitle), platform::colorFromBgr(0));
    EXPECT_EQ(background(window.picTitle), platform::colorFromBgr(red));
    EXPECT_EQ(window.cAudioGraphFreq->GraphBackColor(), long(red));
    EXPECT_EQ(stored("Display", "picColor"), QString::number(red));
    EXPECT_EQ(g_lAppColor, 0u);
}

TEST_F(OptionsDialog, EditOpensTheAudioFormatDialogOnTheDefaultFormatsTab)
{
    install();
    FrmOptions* f = frmOptions();
    g_frmAudioProp(); // its load yields to the event loop: load it before a timer waits there
    const struct {
        int entry;
        const char* tab;
    } cases[] = {{3, "WMA"}, {0, "WAV"}, {2, "MP3"}};
    for (const auto& c : cases) {
        f->cboTargetFormat->setCurrentIndex(c.entry);
        QString seenTab, seenTitle;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            FrmAudioProp* a = g_frmAudioProp();
            seenTab = a->cTabControl1->TabKey(a->cTabControl1->SelectedTab());
            seenTitle = a->lblTitle->text();
            modal = a->isVisible() && a->isModal();
            a->cmdExit_Click();
        });
        f->cmdEditTargetFormat_Click();
        EXPECT_EQ(seenTab, c.tab);
        EXPECT_EQ(seenTitle, QString(c.tab == QString("WAV") ? "WAV -" : QString(c.tab) + " -"));
        EXPECT_TRUE(modal);
    }
}


// A default tag holding list markup would not read back from a list as typed:
// OK refuses it with the reason, shows the tags page and stores nothing; any
// other text (a lone "<", a look-alike tag) is stored as typed.
TEST_F(OptionsDialog, DefaultTagsWithListMarkupAreRefusedWhereTyped)
{
    install();
    store("ID3 Tags", "txtTagAlbum", "Stored");
    store("ID3 Tags", "txtTagComment", "Stored");
    FrmOptions* f = frmOptions();
    f->show();
    const struct {
        QLineEdit* line;
        QString text;
        bool refused;
    } cases[] = {
        {f->txtTagAlbum, "Best of <ITEM> volume 2", true},
        {f->txtTagAlbum, "a </COL_TAG_ALBUM> b", true},
        {f->txtTagAlbum, "<Item Name>", true},
        {f->txtTagAlbum, "1 < 2 <b>bold</b>", false},
        {nullptr, "line\n<COL_FILE>x", true},
        {nullptr, "a <comment>", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        testenv::ScriptedMessageBoxes boxes;
        f->ShowPage("General");
        f->txtTagAlbum->setText("Stored");
        f->txtTagComment->setPlainText("Stored");
        if (c.line)
            c.line->setText(c.text);
        else
            f->txtTagComment->setPlainText(c.text);
        f->cmdOk_Click();
        if (c.refused) {
            ASSERT_EQ(boxes.prompts().size(), 1);
            EXPECT_TRUE(boxes.prompts()[0].contains("cannot be part of an item's name or tags"));
            EXPECT_EQ(shownPage(f), "froTags");
            EXPECT_EQ(stored("ID3 Tags", c.line ? "txtTagAlbum" : "txtTagComment"), "Stored");
        } else {
            EXPECT_TRUE(boxes.prompts().isEmpty());
            EXPECT_EQ(stored("ID3 Tags", c.line ? "txtTagAlbum" : "txtTagComment"), c.text);
        }
    }
    f->close();
}
