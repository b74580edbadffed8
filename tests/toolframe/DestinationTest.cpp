#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include "core/Edition.h"
#include "core/TextFiles.h"
#include "platform/ProgramDir.h"
#include "settings/SettingsWidgets.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "tests/support/TestEnv.h"
#include "tests/toolframe/ToolFrameTestSupport.h"
#include "toolframe/frmConverter.h"

namespace {

void startProgram()
{
    SetAppModes();
    testenv::installMachineKeys();
    frmOptions();
    g_frmAudioProp();
}

void writeHistory(const QStringList& lines)
{
    QFile f(PathHistoryFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (const QString& l : lines)
        f.write((l + "\r\n").toUtf8());
}

QStringList history()
{
    QStringList lines = ReadTextFile(PathHistoryFile()).split("\r\n");
    if (lines == QStringList{""})
        lines.clear();
    return lines;
}

QStringList entries(QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

QString scratch(const QString& name) { return testenv::tempRoot() + "/" + name; }

} // namespace

class Destination : public tftest::FreshToolWindows {};

TEST_F(Destination, StartsAtTheNewestHistoryLineElseTheProgramsMainFolder)
{
    startProgram();
    tftest::FakeMain main;
    writeHistory({});
    FrmConverter* w = g_frmConverter();
    EXPECT_EQ(w->txtToPath->currentText(), AppPath() + "/Main/");
    EXPECT_EQ(w->txtToPath->count(), 0);
    EXPECT_TRUE(w->lblSetAsDefaultDestination->isEnabled());
    EXPECT_TRUE(history().isEmpty()); // the default is not written at load
    w->close();

    writeHistory({"/a/", "/b/", "/c/"});
    w = g_frmConverter();
    EXPECT_EQ(w->txtToPath->currentText(), "/a/");
    EXPECT_EQ(entries(w->txtToPath), QStringList({"/a/", "/b/", "/c/"}));
    EXPECT_FALSE(w->lblSetAsDefaultDestination->isEnabled());
}

TEST_F(Destination, ChoosingAndSetAsDefaultMoveAFolderToTheTopOfEveryWindowsList)
{
    startProgram();
    tftest::FakeMain main;
    writeHistory({"/a/", "/b/", "/c/"});
    FrmConverter* w = g_frmConverter();
    w->txtToPath->setCurrentIndex(2);
    EXPECT_TRUE(w->lblSetAsDefaultDestination->isEnabled());
    w->txtToPath->setCurrentIndex(0);
    EXPECT_FALSE(w->lblSetAsDefaultDestination->isEnabled());
    w->txtToPath->setCurrentIndex(2);
    w->lblSetAsDefaultDestination->click();
    EXPECT_EQ(history(), QStringList({"/c/", "/a/", "/b/"}));
    EXPECT_EQ(entries(w->txtToPath), history());
    EXPECT_EQ(w->txtToPath->currentText(), "/c/");
    EXPECT_FALSE(w->lblSetAsDefaultDestination->isEnabled());

    // A typed folder joins the top; the list keeps 16 lines without duplicates.
    QStringList sixteen;
    for (int i = 1; i <= 16; ++i)
        sixteen << QString("/f%1/").arg(i);
    writeHistory(sixteen);
    w->txtToPath->setEditText("/typed/");
    w->lblSetAsDefaultDestination->click();
    const QStringList h = history();
    ASSERT_EQ(h.size(), 16);
    EXPECT_EQ(h.first(), "/typed/");
    EXPECT_EQ(h.last(), "/f15/");
    EXPECT_EQ(w->txtToPath->count(), 16); // typing never added an entry by itself
    w->close();

    // The next window starts there.
    EXPECT_EQ(g_frmConverter()->txtToPath->currentText(), "/typed/");
}

TEST_F(Destination, BrowsingEndsTheFolderWithOneSeparatorAndSavesIt)
{
    startProgram();
    tftest::FakeMain main;
    writeHistory({"/a/"});
    testenv::ScriptedDialogs dialogs;
    FrmConverter* w = g_frmConverter();

    dialogs.cancel();
    w->cmdSelectPath->click();
    EXPECT_EQ(w->txtToPath->currentText(), "/a/");
    ASSERT_EQ(dialogs.requests().size(), 1u);
    EXPECT_EQ(dialogs.requests()[0].kind, platform::DialogRequest::Folder);
    EXPECT_EQ(dialogs.requests()[0].title, "Select a new directory");

    for (const auto& [chosen, shown] : {std::pair<QString, QString>{"/music/new", "/music/new/"}, {"/", "/"}}) {
        dialogs.choose({chosen});
        w->cmdSelectPath->click();
        EXPECT_EQ(w->txtToPath->currentText(), shown);
        EXPECT_EQ(history().first(), shown);
        EXPECT_FALSE(w->lblSetAsDefaultDestination->isEnabled());
    }
}

TEST_F(Destination, SubFolderPartAndOutputFolder)
{
    startProgram();
    tftest::FakeMain main;
    FrmConverter* w = g_frmConverter();
    const struct {
        QString destination;
        bool ticked;
        QString name;
        QString part;
        QString folder;
    } cases[] = {
        {"/out/", true, "sub", "sub/", "/out/sub/"},
        {"/out/", true, "", "", "/out/"},
        {"/out/", false, "sub", "", "/out/"},
        {"/out", true, "sub", "sub/", "/out/sub/"},
        {"/out/", true, "a/b", "a/b/", "/out/a/b/"},
        {"/out/", true, "a/", "a/", "/out/a/"},
    };
    for (const auto& c : cases) {
        w->txtToPath->setEditText(c.destination);
        w->chkCreateSubFolder->setChecked(c.ticked);
        w->txtUndeForlder->setText(c.name);
        EXPECT_EQ(w->GetSubFolderPart(), c.part) << qPrintable(c.name);
        EXPECT_EQ(w->OutputFolder(), c.folder) << qPrintable(c.destination + "|" + c.name);
    }

    // The switch drives the name box; unticking keeps the name.
    w->show();
    w->txtUndeForlder->setText("My-List");
    w->chkCreateSubFolder->setChecked(false);
    EXPECT_FALSE(w->txtUndeForlder->isEnabled());
    EXPECT_EQ(w->txtUndeForlder->text(), "My-List");
    w->chkCreateSubFolder->setChecked(true);
    EXPECT_TRUE(w->txtUndeForlder->isEnabled());
    EXPECT_EQ(w->txtUndeForlder->selectedText(), "My-List");
}

TEST_F(Destination, OpenDestinationFolderAsksBeforeCreatingAMissingOne)
{
    startProgram();
    tftest::FakeMain main;
    testenv::ScriptedMessageBoxes boxes;
    testenv::RecordingShell shell;
    FrmConverter* w = g_frmConverter();
    const QString missing = scratch("out/new");
    QDir(missing).removeRecursively(); // made by an earlier run in this process
    const QString folder = missing + "/";

    // Typed without the separator: the box gains it. No: nothing happens.
    w->txtToPath->setEditText(missing);
    boxes.answer(vbNo);
    w->lblOpenDestinationDestinationFolder->click();
    EXPECT_EQ(w->txtToPath->currentText(), folder);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].prompt, "The folder " + folder + " does not exist." + QString(44, ' ') +
                                           "\r\n\r\nWould you like to create it?");
    EXPECT_EQ(boxes.shown()[0].style, vbYesNo | vbInformation);
    EXPECT_EQ(boxes.shown()[0].title, g_sAppName + " " + g_sAppVersion);
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_TRUE(shell.requests().empty());

    // Yes: created (with the sub-folder), the destination saved, then opened.
    w->chkCreateSubFolder->setChecked(true);
    w->txtUndeForlder->setText("sub");
    boxes.clear();
    boxes.answer(vbYes);
    w->lblOpenDestinationDestinationFolder->click();
    EXPECT_TRUE(QFileInfo(folder + "sub").isDir());
    EXPECT_EQ(history().first(), folder);
    ASSERT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(shell.requests()[0].target, folder + "sub/");

    // An existing folder opens without a question.
    boxes.clear();
    w->lblOpenDestinationDestinationFolder->click();
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(shell.requests().size(), 2u);

    // A folder that cannot be created is reported, and the shell still asked.
    QFile blocker(scratch("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    w->chkCreateSubFolder->setChecked(false);
    w->txtToPath->setEditText(scratch("file/below/"));
    boxes.clear();
    boxes.answer(vbYes);
    w->lblOpenDestinationDestinationFolder->click();
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].prompt, "The path: " + scratch("file/below/") + " cannot be created.");
    EXPECT_EQ(shell.requests().size(), 3u);
}

TEST_F(Destination, JobStartRefusesAnEmptyDestinationAndCreatesTheSubFolder)
{
    startProgram();
    tftest::FakeMain main;
    testenv::ScriptedMessageBoxes boxes;
    writeHistory({"/a/"});
    FrmConverter* w = g_frmConverter();

    // No format chosen: nothing starts, the box is pointed out.
    w->cboTargetFormat->setCurrentIndex(-1);
    w->txtToPath->setEditText(scratch("jobs/"));
    EXPECT_FALSE(w->PrepareOutputFolder());
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.shown()[0].prompt.contains("No audio format is chosen"));
    boxes.clear();
    w->cboTargetFormat->setCurrentIndex(w->cboTargetFormat->findText("MP3", Qt::MatchStartsWith));

    w->txtToPath->setEditText("  ");
    EXPECT_FALSE(w->PrepareOutputFolder());
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.shown()[0].prompt.contains("no destination folder"));
    EXPECT_TRUE(boxes.shown()[0].prompt.endsWith("on the \"Converter\" page.")) << boxes.shown()[0].prompt.toStdString();
    EXPECT_EQ(history(), QStringList{"/a/"});

    const QString dest = scratch("jobs/");
    w->txtToPath->setEditText(dest);
    w->chkCreateSubFolder->setChecked(true);
    w->txtUndeForlder->setText("a/b");
    EXPECT_TRUE(w->PrepareOutputFolder());
    EXPECT_TRUE(QFileInfo(dest + "a/b").isDir());
    EXPECT_EQ(history().first(), dest);

    // Unticked: a missing destination is made; one that cannot be made is
    // said once and nothing starts.
    const QString other = scratch("other/");
    w->txtToPath->setEditText(other);
    w->chkCreateSubFolder->setChecked(false);
    EXPECT_TRUE(w->PrepareOutputFolder());
    EXPECT_TRUE(QFileInfo(other).isDir());
    EXPECT_EQ(history().first(), other);
    boxes.clear();
    const QString blocked = scratch("afile");
    QFile f(blocked);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    w->txtToPath->setEditText(blocked + "/inside/");
    EXPECT_FALSE(w->PrepareOutputFolder());
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.shown()[0].prompt.contains("cannot be created"));
    EXPECT_TRUE(boxes.shown()[0].prompt.endsWith("on the \"Converter\" page.")) << boxes.shown()[0].prompt.toStdString();
}
