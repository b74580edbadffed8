#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "core/Edition.h"
#include "core/ToolFrameServices.h"
#include "settings/SettingsWidgets.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "tests/support/TestEnv.h"
#include "tests/toolframe/ToolFrameTestSupport.h"
#include "toolframe/ToolFrameInstall.h"
#include "toolframe/frmConverter.h"
#include "toolframe/frmProgParameters.h"

namespace {

QStringList shownFrames(FrmProgParameters* w)
{
    QStringList shown;
    for (QFrame* f : {w->fraAppNotic, w->fraID3Tags, w->fraExt})
        if (!f->isHidden())
            shown << f->objectName();
    return shown;
}

QStringList macrosOf(QFrame* frame)
{
    QStringList out;
    for (QLineEdit* e : frame->findChildren<QLineEdit*>("txtParameter"))
        out << e->text();
    return out;
}

// Opens the window the way the callers do and reports what it showed.
QStringList openAndLook(const std::function<void()>& open)
{
    QStringList seen;
    QTimer::singleShot(0, [&] {
        FrmProgParameters* w = g_frmProgParameters();
        seen << w->cboSections->currentText() << shownFrames(w);
        w->cmdOk->click();
    });
    open();
    return seen;
}

} // namespace

TEST(ProgParameters, ShowsOneSectionAtATime)
{
    SetAppModes();
    FrmProgParameters* w = g_frmProgParameters();
    EXPECT_EQ(w->windowTitle(), "Parameters");
    EXPECT_EQ(w->lblTitle->text(), "Parameters");
    EXPECT_EQ(w->cboSections->count(), 3);
    EXPECT_TRUE(shownFrames(w).isEmpty());
    EXPECT_EQ(macrosOf(w->fraAppNotic), QStringList({"[PROG_NAME]", "[PROG_VERSION]", "[FILE_RECORDED]", "[FILE_SIZE]",
                                                     "[FILE_TIME_LENGTH]", "[FILE_CREATED]"}));
    EXPECT_EQ(macrosOf(w->fraID3Tags), QStringList({"[PROG_NAME]", "[PROG_VERSION]", "[DATE]", "[TIME]", "[TRACK_NUM]",
                                                    "[YEAR]", "[SOURCE_NAME]", "[ITEM_NAME]", "[RANGE]"}));
    EXPECT_EQ(macrosOf(w->fraExt), QStringList({"[file_name]", "[date]", "[time]", "[123]", "[source_extension]",
                                                "[dest_extension]", "[item_name]"}));
    // The frames share one spot under the section box.
    EXPECT_EQ(w->fraAppNotic->pos(), w->fraExt->pos());
    EXPECT_GT(w->fraAppNotic->y(), w->cboSections->y() + w->cboSections->height());

    const struct {
        int index;
        QString frame;
    } cases[] = {{2, "fraExt"}, {1, "fraID3Tags"}, {0, "fraAppNotic"}, {-1, ""}};
    for (const auto& c : cases) {
        w->cboSections->setCurrentIndex(c.index);
        EXPECT_EQ(shownFrames(w), c.frame.isEmpty() ? QStringList() : QStringList{c.frame}) << c.index;
    }
}

TEST(ProgParameters, InstalledOpenerServesTheLowerLayersOnTheirSection)
{
    SetAppModes();
    InstallToolFrameServices();
    EXPECT_EQ(openAndLook([] { ShowProgParameters(1, nullptr); }), QStringList({"ID3 Audio Tags", "fraID3Tags"}));
    EXPECT_FALSE(g_frmProgParametersLoaded());
    EXPECT_EQ(openAndLook([] { ShowProgParameters(0, nullptr); }),
              QStringList({"Execute external application", "fraAppNotic"}));
    EXPECT_EQ(openAndLook([] { OpenProgParameters(2); }), QStringList({"File Name Format", "fraExt"}));
}

TEST(ProgParameters, ToolParametersLinkOpensTheFileNameSection)
{
    SetAppModes();
    testenv::installMachineKeys();
    frmOptions();
    g_frmAudioProp();
    tftest::FakeMain main;
    FrmConverter* tool = g_frmConverter();
    EXPECT_EQ(tool->lblParameters->text(), "Parameters");
    EXPECT_EQ(openAndLook([&] { tool->lblParameters->click(); }), QStringList({"File Name Format", "fraExt"}));
    EXPECT_FALSE(g_frmProgParametersLoaded());
}
