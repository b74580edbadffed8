// The layers below the tool windows can tell whether a job runs (the main
// window's exit asks before it tears anything down).
#include <QPushButton>
#include <gtest/gtest.h>

#include "core/Edition.h"
#include "core/ToolFrameServices.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "tests/support/TestEnv.h"
#include "tests/toolframe/ToolFrameTestSupport.h"
#include "toolframe/ToolFrameInstall.h"
#include "toolframe/frmConverter.h"

TEST(ToolJobGuard, AToolWindowWhoseJobRunsIsSeenFromBelow)
{
    SetAppModes();
    testenv::installMachineKeys();
    frmOptions();
    g_frmAudioProp();
    tftest::FakeMain main;
    InstallToolFrameServices();
    EXPECT_FALSE(ToolJobRunning());

    FrmConverter* w = g_frmConverter();
    w->show();
    EXPECT_FALSE(ToolJobRunning()) << "an open window is not a running job";
    w->cmdConvert->setEnabled(false); // a job runs
    EXPECT_TRUE(ToolJobRunning());
    w->cmdConvert->setEnabled(true); // it has ended
    EXPECT_FALSE(ToolJobRunning());
    w->close();
}
