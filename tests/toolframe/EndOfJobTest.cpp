#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include "components/controls/cTreeView.h"
#include "core/Edition.h"
#include "settings/Options.h"
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

void tickAll(ToolWindow* w, bool on)
{
    for (QCheckBox* box : {w->chkPlaySound, w->chkOpenDestFolder, w->chkTurnOffComputer, w->chkNoticeApp})
        box->setChecked(on);
}

} // namespace

class EndOfJob : public tftest::FreshToolWindows {};

TEST_F(EndOfJob, ActionsRunInOrderWithTheTurnOffLast)
{
    startProgram();
    tftest::ServiceLog log;
    tftest::FakeMain main(&log);
    main.addRow(true, {{"Item Name", "last.wav"}});
    FrmConverter* w = g_frmConverter();
    w->txtToPath->setEditText("/out");
    w->chkCreateSubFolder->setChecked(true);
    w->txtUndeForlder->setText("List");
    g_sPlayAtEnd = "/snd/notify.wav";
    g_sAppNotice = "/usr/bin/notify \"[FILE_RECORDED] done\"";
    tickAll(w, true);

    log.cancelTurnOffWhenShown();
    w->DoEndEvents();
    EXPECT_EQ(log.events, QStringList({"sound /snd/notify.wav", "open /out/List/", "start /usr/bin/notify|last.wav done",
                                       "turnoff 30"}));

    // The normal end of a job: the balloon and status first, then the actions.
    log.events.clear();
    log.cancelTurnOffWhenShown();
    w->FinishJobDone();
    EXPECT_EQ(log.events, QStringList({"balloon Done.", "sound /snd/notify.wav", "open /out/List/",
                                       "start /usr/bin/notify|last.wav done", "turnoff 30"}));
    EXPECT_EQ(main.balloons.last(), "Done.|" + g_sAppName + " " + g_sAppVersion + "|1|30");
    EXPECT_EQ(w->lblCurrentTrack->text(), "Done.");
}

TEST_F(EndOfJob, AnErrorKeepsTheComputerOnAndIsReportedAsDoneWithErrors)
{
    startProgram();
    tftest::ServiceLog log;
    tftest::FakeMain main(&log);
    FrmConverter* w = g_frmConverter();
    w->txtToPath->setEditText("/out/");
    g_sPlayAtEnd = "/snd/notify.wav";
    g_sAppNotice = "";
    tickAll(w, true);
    w->cGrid1->SetCell(1, 3, "a");
    w->cGrid1->SetCell(2, 3, "b");
    w->cGrid1->SetCell(3, 3, "c");

    w->ResetJobState();
    w->NoteRowError();
    w->NoteRowError();
    EXPECT_TRUE(w->m_bJobError);
    w->FinishJobDone();
    // No program (empty command line), no countdown after an error.
    EXPECT_EQ(log.events, QStringList({"balloon Done with errors.", "sound /snd/notify.wav", "open /out/"}));
    EXPECT_EQ(w->lblCurrentTrack->text(), "Done with errors.");
    EXPECT_TRUE(w->txtLog->toPlainText().contains(":Rows with errors: 2 of 3."));
    EXPECT_FALSE(g_frmTurnOffLoaded());

    // Nothing ticked: nothing happens.
    log.events.clear();
    tickAll(w, false);
    w->ResetJobState();
    w->DoEndEvents();
    EXPECT_TRUE(log.events.isEmpty());

    // A new job forgets the errors of the last one.
    EXPECT_FALSE(w->m_bJobError);
    EXPECT_EQ(w->DoneText(), "Done.");
}

TEST_F(EndOfJob, EventsOptionsLinkReloadsTheBoxesFromTheStoredDefaults)
{
    startProgram();
    tftest::FakeMain main;
    g_bPlaySound = true;
    g_bOpenDestFolder = false;
    g_bTurnOffComputer = false;
    g_bNoticeApp = false;
    FrmConverter* w = g_frmConverter();
    w->chkPlaySound->setChecked(false);
    w->chkTurnOffComputer->setChecked(true);

    QString page;
    bool shown = false;
    QTimer::singleShot(0, [&] {
        FrmOptions* o = frmOptions();
        shown = o->isVisible();
        page = o->froEvents->isHidden() ? "other" : "Events";
        o->cmdCancel_Click();
    });
    w->lblEventsSettings->click();
    EXPECT_TRUE(shown);
    EXPECT_EQ(page, "Events");
    // Cancel re-read the stored options; the boxes follow them again.
    EXPECT_EQ(w->chkPlaySound->isChecked(), g_bPlaySound);
    EXPECT_EQ(w->chkTurnOffComputer->isChecked(), g_bTurnOffComputer);
    EXPECT_EQ(w->chkOpenDestFolder->isChecked(), g_bOpenDestFolder);
    EXPECT_EQ(w->chkNoticeApp->isChecked(), g_bNoticeApp);
}
