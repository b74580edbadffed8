// The window, help and program commands, and the command line.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include "components/controls/cStatusBar.h"
#include "core/Edition.h"
#include "mainwindow/frmNotes.h"
#include "components/controls/cTreeView.h"
#include "platform/ProgramDir.h"
#include "settings/frmOptions.h"
#include "tests/mainwindow/PlayerWindowSupport.h"

using pwtest::ListWindow;

namespace {
struct Unload {
    Unload() { pwtest::unloadNotes(); }
    ~Unload()
    {
        pwtest::unloadNotes();
        UnloadMain();
    }
};
} // namespace

TEST(WindowCommands, CommandLineRunsItsSwitchesInAnyLetterCase)
{
    struct Case {
        QString line;
        bool addsFiles;
    };
    const Case cases[] = {
        {"-addfiles", true},  {"-AddFiles", true},          {"-ADDFILES", true},
        {" -addfiles", false}, {"-addfiles -st", false},    {"-st", false},
        {"", false},          {"addfiles", false},         {"-addaudiocd", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        Unload unload;
        ListWindow lw;
        FrmMain* w = lw.w;
        int adds = 0;
        w->setCommand("Add Files", [&](int) {
            ++adds;
            return true;
        });
        w->ProcessCommandLine(c.line);
        EXPECT_EQ(adds, c.addsFiles ? 1 : 0);
    }
}

TEST(WindowCommands, AddAudioCdWithoutADiscKeepsTheSelection)
{
    Unload unload;
    ListWindow lw;
    lw.w->ProcessCommandLine("-AddAudioCD");
    EXPECT_EQ(lw.w->cTreeView1->SelectedNode(), lw.list);
}

TEST(WindowCommands, ProgramsAndPagesStartedByTheCommands)
{
    Unload unload;
    ListWindow lw;
    FrmMain* w = lw.w;
    testenv::RecordingShell shell;
    struct Case {
        const char* key;
        platform::ShellRequest::Kind kind;
        QString target;
    };
    const QString item = testenv::tempRoot() + "/song.mp3";
    const Case cases[] = {
        {"Master Volume", platform::ShellRequest::Start, "pavucontrol"},
        {"HelpTopic", platform::ShellRequest::Open, AppPath() + "/Help.html"},
        {"Support", platform::ShellRequest::Open, g_sAppSupportPage},
        {"Open Default Player", platform::ShellRequest::Open, item},
    };
    lw.add(item);
    lw.select(1);
    const QString help = AppPath() + "/Help.html";
    {
        QFile page(help);
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
        page.write("<html></html>");
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const size_t before = shell.requests().size();
        w->SendCommand(c.key);
        ASSERT_EQ(shell.requests().size(), before + 1);
        EXPECT_EQ(shell.requests().back().kind, c.kind);
        EXPECT_EQ(shell.requests().back().target, c.target);
    }

    // With no rows, the item's player opens nothing; without its page, help opens nothing.
    w->cGrid1->ClearRows();
    ASSERT_TRUE(QFile::remove(help));
    const size_t before = shell.requests().size();
    w->SendCommand("Open Default Player");
    w->SendCommand("HelpTopic");
    EXPECT_EQ(shell.requests().size(), before);
}

TEST(WindowCommands, MasterVolumeStartsTheVolumeControlOrSaysNoneCan)
{
    Unload unload;
    ListWindow lw;
    FrmMain* w = lw.w;
    testenv::ScriptedMessageBoxes boxes;
    // The program is looked up on PATH: a folder holding only a stand-in
    // that leaves a mark when it starts.
    const QString bin = testenv::tempRoot() + "/volume-bin";
    const QString mark = testenv::tempRoot() + "/volume-started";
    QDir(bin).removeRecursively();
    QFile::remove(mark);
    ASSERT_TRUE(QDir().mkpath(bin));
    {
        QFile script(bin + "/pavucontrol");
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(("#!/bin/sh\necho started > '" + mark + "'\n").toUtf8());
        script.close();
        ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.toLocal8Bit());

    w->cStatusBar1_PanelClick(4); // "Master Volume"
    QDeadlineTimer deadline(10000);
    while (!QFile::exists(mark) && !deadline.hasExpired())
        QThread::msleep(20);
    EXPECT_TRUE(QFile::exists(mark)) << "the panel starts the volume control";
    EXPECT_TRUE(boxes.shown().empty());

    // No volume control to start: one message says so.
    QFile::remove(bin + "/pavucontrol");
    w->SendCommand("Master Volume");
    qputenv("PATH", path);
    ASSERT_EQ(boxes.prompts(),
              QStringList{"No volume control could be started: install pavucontrol (PulseAudio Volume Control)."});
    EXPECT_EQ(boxes.shown()[0].icon(), int(vbInformation));
}

TEST(WindowCommands, FreeDBWantsRowsOfACdDrive)
{
    Unload unload;
    ListWindow lw([] { SetAllToolsOn(); }); // an edition with the CD database
    FrmMain* w = lw.w;
    testenv::ScriptedMessageBoxes boxes;

    // An empty grid: nothing, not even a message.
    w->SendCommand("FreeDB");
    EXPECT_TRUE(boxes.shown().empty());

    // Rows of a list, not of a drive.
    lw.add(testenv::tempRoot() + "/a.mp3");
    w->SendCommand("FreeDB");
    ASSERT_EQ(boxes.prompts(),
              QStringList{"Select the CD drive to get the information about." + QString(18, QLatin1Char(' '))});
    EXPECT_EQ(boxes.shown()[0].icon(), int(vbInformation));
}

TEST(WindowCommands, NotesPanelOpensTheNotesWindowAndMainPanelRunsNothing)
{
    Unload unload;
    ListWindow lw;
    FrmMain* w = lw.w;
    int refreshes = 0;
    w->RefreshInformation = [&] { ++refreshes; };
    w->cStatusBar1_PanelClick(1); // "Main"
    EXPECT_EQ(refreshes, 0);
    EXPECT_FALSE(g_frmNotesLoaded());
    w->cStatusBar1_PanelClick(3); // "Notes"
    ASSERT_TRUE(g_frmNotesLoaded());
    EXPECT_TRUE(g_frmNotes()->isVisible());
    EXPECT_EQ(refreshes, 1);
    g_frmNotes()->close();
}

TEST(WindowCommands, AboutOpensModallyAndReleasesTheTopmostState)
{
    Unload unload;
    ListWindow lw;
    FrmMain* w = lw.w;
    w->show();
    w->SetOnTop(true);
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            shown = dialog->objectName();
            dialog->reject();
        }
    });
    w->SendCommand("About");
    EXPECT_EQ(shown, "frmAbout");
    EXPECT_FALSE(w->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST(WindowCommands, OptionsCommandsOpenTheDialogOnTheirPage)
{
    Unload unload;
    frmOptions();
    ListWindow lw;
    FrmMain* w = lw.w;
    for (const char* key : {"General", "Events", "View", "ID3 Tags", "Advanced"}) {
        SCOPED_TRACE(key);
        QString page;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<FrmOptions*>(QApplication::activeModalWidget())) {
                modal = true;
                page = dialog->cTreeView1->SelectedNode().NodeKey();
                dialog->reject();
            }
        });
        w->SendCommand(key);
        EXPECT_TRUE(modal);
        EXPECT_EQ(page, QString::fromLatin1(key));
        EXPECT_TRUE(frmOptionsLoaded()) << "closing the dialog only hides it";
    }
    UnloadOptions();
}
