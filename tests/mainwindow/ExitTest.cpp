// The exit: the question, the refusal while a job runs, and the teardown.
#include <QCoreApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "components/controls/cSysTray.h"
#include "core/RegistryRoutines.h"
#include "core/Shutdown.h"
#include "core/Startup.h"
#include "core/ToolFrameServices.h"
#include "lists/ListFile.h"
#include "mainwindow/frmNotes.h"
#include "platform/ProgramDir.h"
#include "settings/AppState.h"
#include "settings/frmOptions.h"
#include "tests/mainwindow/PlayerWindowSupport.h"

using pwtest::ListWindow;

namespace {

const QString kRecord = "<ITEM><FILE>/music/a.mp3</FILE></ITEM>\r\n";

QString question() { return "Are you sure you want to exit '" + g_sAppName + " " + g_sAppVersion + "' ?"; }

QString storedSize(const char* name)
{
    RegistryRoutines r;
    r.setHkey(HKEY_LOCAL_MACHINE);
    r.setKeyRoot(MachineKeyRoot());
    r.setSubkey("General");
    return r.GetRegistryValue(name, "missing").toString();
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Lets the closed window go.
bool gone()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return !frmMainLoaded();
}

} // namespace

TEST(Exit, AnsweringNoKeepsEverythingAsItWas)
{
    ListWindow lw;
    FrmMain* w = lw.w;
    w->show();
    frmOptions()->show(); // loading it reads the options: set the one this test needs after
    g_bDisplayMSGWhenExit = true;
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbNo);
    int refreshes = 0;
    w->RefreshInformation = [&] { ++refreshes; };

    w->SendCommand("Exit");
    ASSERT_EQ(boxes.prompts(), QStringList{question()});
    EXPECT_EQ(boxes.shown()[0].buttons(), int(vbYesNo));
    EXPECT_EQ(boxes.shown()[0].icon(), int(vbInformation));
    EXPECT_EQ(boxes.shown()[0].title, g_sAppName + " " + g_sAppVersion);
    EXPECT_FALSE(gone());
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(g_bAppClosing);
    EXPECT_EQ(refreshes, 1) << "a cancelled exit refreshes like any command";
    EXPECT_TRUE(w->cSysTray1->TrayIconAdded());

    // The Options dialog still only hides when closed.
    frmOptions()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(frmOptionsLoaded());
    UnloadMain();
    UnloadOptions();
}

TEST(Exit, ExitTearsDownInOrderAndStoresTheSize)
{
    QPointer<FrmOptions> options = frmOptions(); // loaded first: it reads the options
    ListWindow lw([] {
        g_bDisplayMSGWhenExit = false;
        g_bClearOnExit = false;
    });
    FrmMain* w = lw.w;
    w->setWidth(12000);
    w->setHeight(8000);
    w->show();
    const QString editor = AppPath() + "/tmpeditor.wav";
    const QString tts = AppPath() + "/tmptts.wav";
    writeFile(editor, "RIFF");
    writeFile(tts, "RIFF");
    FrmNotes* notes = g_frmNotes();
    notes->show();
    notes->Text1->setPlainText("saved at exit");
    cSysTray* tray = w->cSysTray1;
    bool trayRemoved = false;
    QObject::connect(tray, &QObject::destroyed, [&] { trayRemoved = true; });
    testenv::ScriptedMessageBoxes boxes;

    w->SendCommand("RC Exit");
    EXPECT_TRUE(boxes.shown().empty()) << "no question without the option";
    EXPECT_FALSE(tray->TrayIconAdded());
    EXPECT_TRUE(g_bAppClosing);
    EXPECT_FALSE(QFile::exists(editor));
    EXPECT_FALSE(QFile::exists(tts));
    EXPECT_EQ(fileBytes(NotesFilePath()), "saved at exit\r\n") << "the notes window saves as it unloads";
    EXPECT_EQ(storedSize("lWidth"), "12000");
    EXPECT_EQ(storedSize("lHeight"), "8000");
    EXPECT_TRUE(gone());
    EXPECT_TRUE(options.isNull()) << "the settings dialogs really unload at exit";
    EXPECT_FALSE(g_frmNotesLoaded());
    g_bAppClosing = false;

    // Without the temporary files the exit says nothing either.
    ListWindow again([] { g_bDisplayMSGWhenExit = false; });
    again.w->close();
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_TRUE(gone());
    g_bAppClosing = false;
}

TEST(Exit, ClearOnExitEmptiesOnlyAnItemsList)
{
    enum Selected { List, ItemsRoot, CDsRoot, Drive };
    struct Case {
        const char* name;
        bool option;
        Selected selected;
        bool emptied;
    };
    const Case cases[] = {
        {"a list", true, List, true},
        {"option off", false, List, false},
        {"the Items Lists root", true, ItemsRoot, false},
        {"the Audio CDs root", true, CDsRoot, false},
        {"a CD drive", true, Drive, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListWindow lw([&] {
            g_bDisplayMSGWhenExit = false;
            g_bClearOnExit = c.option;
        });
        const QString file = lw.list.NodeKey();
        writeFile(file, kRecord.toUtf8());
        const cTreeNode nodes[] = {lw.list, lw.items, lw.cds, lw.drive};
        cTreeNode(nodes[c.selected]).setNodeSelected(true);
        testenv::ScriptedMessageBoxes boxes;
        ASSERT_TRUE(lw.w->close());
        EXPECT_TRUE(boxes.shown().empty()) << "nothing is asked";
        EXPECT_EQ(fileBytes(file).contains("<ITEM>"), !c.emptied);
        EXPECT_TRUE(gone());
        g_bAppClosing = false;
    }
}

TEST(Exit, RefusedWhileAToolJobRuns)
{
    ListWindow lw([] { g_bDisplayMSGWhenExit = true; });
    FrmMain* w = lw.w;
    w->show();
    testenv::ScriptedMessageBoxes boxes;
    SetToolJobRunning(true);
    EXPECT_FALSE(w->close());
    EXPECT_FALSE(w->ConfirmExit());
    w->ExitWithoutAsking();
    ASSERT_EQ(boxes.shown().size(), 3u);
    for (const auto& box : boxes.shown()) {
        EXPECT_TRUE(box.prompt.contains("job is still running"));
        EXPECT_EQ(box.icon(), int(vbExclamation));
    }
    EXPECT_FALSE(g_bAppClosing);
    EXPECT_FALSE(gone());
    EXPECT_TRUE(w->cSysTray1->TrayIconAdded());

    // Once the job has ended the exit goes ahead.
    SetToolJobRunning(false);
    boxes.answer(vbYes);
    EXPECT_TRUE(w->close());
    EXPECT_EQ(boxes.prompts().last(), question());
    EXPECT_TRUE(gone());
    g_bAppClosing = false;
}

TEST(Exit, TheShutdownCountdownAsksOnceThenExits)
{
    ListWindow lw([] { g_bDisplayMSGWhenExit = true; });
    FrmMain* w = lw.w;
    w->show();
    testenv::ScriptedMessageBoxes boxes;

    // No: the program goes on.
    boxes.answer(vbNo);
    EXPECT_FALSE(w->ConfirmExit());
    EXPECT_FALSE(g_bAppClosing);

    // Yes: the exit that follows does not ask again.
    boxes.answer(vbYes);
    ASSERT_TRUE(w->ConfirmExit());
    w->ExitWithoutAsking();
    EXPECT_EQ(boxes.prompts(), QStringList({question(), question()}));
    EXPECT_TRUE(gone());
    g_bAppClosing = false;
}

// Powering off after a job: the list cleared on exit, the notes and the window
// size are on disk when the request goes out.
TEST(Exit, ThePowerOffRequestFollowsTheExitsSaves)
{
    struct WatchingPower : testenv::RecordingPower {
        std::function<void()> onPowerOff;
        platform::PowerReply powerOff() override
        {
            if (onPowerOff)
                onPowerOff();
            return RecordingPower::powerOff();
        }
    } power;
    ListWindow lw([] {
        g_bDisplayMSGWhenExit = false;
        g_bClearOnExit = true;
    });
    FrmMain* w = lw.w;
    w->setWidth(11000);
    w->setHeight(7000);
    w->show();
    const QString file = lw.list.NodeKey();
    writeFile(file, kRecord.toUtf8());
    FrmNotes* notes = g_frmNotes();
    notes->show();
    notes->Text1->setPlainText("before power-off");
    testenv::ScriptedMessageBoxes boxes;

    QByteArray listAtRequest, notesAtRequest;
    QString heightAtRequest;
    power.onPowerOff = [&] {
        listAtRequest = fileBytes(file);
        notesAtRequest = fileBytes(NotesFilePath());
        heightAtRequest = storedSize("lHeight");
    };
    QTimer::singleShot(0, [] { g_frmTurnOff()->cmdTurnOffNow->click(); });
    ShowTurnOffWindow(30);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    EXPECT_EQ(power.powerOffRequests, 1);
    EXPECT_FALSE(listAtRequest.contains("<ITEM>")) << listAtRequest.toStdString();
    EXPECT_EQ(notesAtRequest, "before power-off\r\n");
    EXPECT_EQ(heightAtRequest, "7000");
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_TRUE(gone());
    g_bAppClosing = false;
}
