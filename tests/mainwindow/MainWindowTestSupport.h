#pragma once
// Building the main window for a test, with the edition and options the test sets first.
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>

#include "components/controls/cContextMenu.h"
#include "components/controls/cToolbar.h"
#include "core/Edition.h"
#include "mainwindow/frmMain.h"
#include "settings/Options.h"
#include "settings/frmOptions.h"

namespace mwtest {

// Each test builds its own main window and leaves none behind: the next test
// would get this one, with this test's handlers (and their dangling
// captures) in it. The options window goes too, and with it the lists
// folder it chose, as in a process of its own.
class FreshMainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        UnloadMain();
        UnloadOptions();
        g_sItemsListDir.clear();
    }
    void TearDown() override
    {
        UnloadMain();
        UnloadOptions();
    }
};

// The default edition's block, whichever edition this build is, and the
// view options shown (title, player, graphs).
inline void setEdition(const std::function<void()>& adjust = {})
{
    SetAppModes();
    SetDefaultEditionTools();
    g_bDisplayTitle = true;
    g_bDisplayPlayer = true;
    g_bDisplayAudioGraph = true;
    if (adjust)
        adjust();
}

inline void allToolsOff()
{
    for (int* flag : {&g_lAppIncConverter, &g_lAppIncJoin, &g_lAppIncSplit, &g_lAppIncMicRec, &g_lAppIncEditor,
                      &g_lAppIncAudioBurner, &g_lAppIncCDRipper, &g_lAppIncMP3TagsEditor, &g_lAppIncMP3Burner,
                      &g_lAppIncWMABurner, &g_lAppIncACMConverter, &g_lAppIncTTS, &g_lAppIncCDDuplicator})
        *flag = 0;
}

// "caption|key" of each item, "-" for a separator.
inline QStringList popupOf(cContextMenu* menu, const QString& childKey)
{
    QStringList out;
    for (int i : menu->PopupItems(menu->MenuIndexForKey(childKey))) {
        const QString caption = menu->ItemCaption(i);
        out << (caption == QLatin1String("-") ? QStringLiteral("-") : caption + "|" + menu->ItemKey(i));
    }
    return out;
}

// "key|caption|tool tip|icon|style" of each button, "-" for a separator.
inline QStringList buttonsOf(cToolbar* t)
{
    QStringList out;
    for (int i = 1; i <= t->ButtonCount(); ++i) {
        if (t->ButtonStyle(i) == 1)
            out << QStringLiteral("-");
        else
            out << QStringLiteral("%1|%2|%3|%4|%5")
                       .arg(t->ButtonKey(i), t->ButtonCaption(i), t->ButtonToolTip(i))
                       .arg(t->ButtonIcon(i))
                       .arg(t->ButtonStyle(i));
    }
    return out;
}

} // namespace mwtest
