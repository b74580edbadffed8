#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QRegularExpression>
#include <iterator>
#include <gtest/gtest.h>
#include <memory>

#include "components/controls/cReBar.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cToolbarHost.h"
#include "core/TwipsGeometry.h"
#include "platform/ProgramDir.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/support/TestEnv.h"

using mwtest::buttonsOf;
using mwtest::popupOf;

namespace {

std::unique_ptr<FrmMain> loadWindow(const std::function<void()>& adjust = {})
{
    mwtest::setEdition(adjust);
    auto w = std::make_unique<FrmMain>();
    w->Form_Load();
    return w;
}

const QStringList kThisEditionTools = {
    "-",
    "Audio Converter|Audio Converter",
    "ACM Converter|ACM Converter",
    "-",
    "Audio Joiner|Audio Joiner",
    "Audio Splitter|Audio Splitter",
    "-",
    "Audio Analyser|Audio Analyser",
    "Audio Recorder|Audio Recorder",
    "-",
    "MP3 Tags Editor|MP3 Tags Editor",
    "-",
    "Master Volume|Master Volume",
    "-",
    "Notes|Notes",
};

const QStringList kAllTools = {
    "-",
    "Audio Converter|Audio Converter",
    "ACM Converter|ACM Converter",
    "-",
    "Audio Joiner|Audio Joiner",
    "Audio Splitter|Audio Splitter",
    "-",
    "Audio Analyser|Audio Analyser",
    "Audio Recorder|Audio Recorder",
    "-",
    "Audio CD Duplicator|Audio CD Duplicator",
    "Audio CD Maker|Audio CD Maker",
    "Audio CD Ripper|Audio CD Ripper",
    "-",
    "MP3 CD Maker|MP3 CD Maker",
    "WMA CD Maker|WMA CD Maker",
    "-",
    "MP3 Tags Editor|MP3 Tags Editor",
    "-",
    "Text To Speech|Text To Speech",
    "-",
    "Master Volume|Master Volume",
    "-",
    "Notes|Notes",
};

struct EditionCase {
    const char* name;
    std::function<void()> adjust;
    QStringList toolsPopup;
    QStringList toolsToolbar; // "key|caption|icon", "-" for a separator
    int hostWidth;
};

QStringList toolsToolbarOf(cToolbar* t)
{
    QStringList out;
    for (int i = 1; i <= t->ButtonCount(); ++i) {
        if (t->ButtonStyle(i) == 1) {
            out << "-";
            continue;
        }
        EXPECT_EQ(t->ButtonToolTip(i), t->ButtonKey(i));
        EXPECT_EQ(t->ButtonStyle(i), 0);
        out << QStringLiteral("%1|%2|%3").arg(t->ButtonKey(i), t->ButtonCaption(i)).arg(t->ButtonIcon(i));
    }
    return out;
}

} // namespace

class MainWindowMenus : public mwtest::FreshMainWindow {};
class MainWindowStatusBar : public mwtest::FreshMainWindow {};

TEST_F(MainWindowMenus, ToolsPopupAndToolsToolbarFollowTheEdition)
{
    const std::vector<EditionCase> cases = {
        {"this edition", {}, kThisEditionTools,
         {"Audio Converter|Convert|19", "ACM Converter|Convert|21", "-", "Audio Joiner|Join|23",
          "Audio Splitter|Splitter|22", "-", "Audio Analyser|Analyser|20", "Audio Recorder|Recorder|24"},
         8675},
        {"every tool", [] { SetAllToolsOn(); }, kAllTools,
         {"Audio Converter|Convert|19", "ACM Converter|Convert|21", "-", "Audio Joiner|Join|23",
          "Audio Splitter|Splitter|22", "-", "Audio Analyser|Analyser|20", "Audio Recorder|Recorder|24", "-",
          "Audio CD Ripper|CD Ripper|25", "Audio CD Maker|CD Burner|27", "Audio CD Duplicator|CD Duplicator|29", "-",
          "MP3 CD Maker|Burn MP3|26", "WMA CD Maker|Burn WMA|26", "Text To Speech|TTS|28"},
         15775},
        {"no tool", [] { mwtest::allToolsOff(); }, {"-", "-", "Master Volume|Master Volume", "-", "Notes|Notes"}, {},
         1575},
        {"only the duplicator among the CD tools",
         [] {
             mwtest::allToolsOff();
             g_lAppIncEditor = g_lAppIncMicRec = g_lAppIncCDDuplicator = 1;
         },
         {"-", "Audio Analyser|Audio Analyser", "Audio Recorder|Audio Recorder",
          "Audio CD Duplicator|Audio CD Duplicator", "-", "-", "Master Volume|Master Volume", "-", "Notes|Notes"},
         {"-", "Audio Analyser|Analyser|20", "Audio Recorder|Recorder|24", "Audio CD Duplicator|CD Duplicator|29"},
         1575 + 100 + 3000},
        {"only the duplicator",
         [] {
             mwtest::allToolsOff();
             g_lAppIncCDDuplicator = 1;
         },
         {"Audio CD Duplicator|Audio CD Duplicator", "-", "-", "Master Volume|Master Volume", "-", "Notes|Notes"},
         {"Audio CD Duplicator|CD Duplicator|29"}, 2575},
        {"only joiner and splitter",
         [] {
             mwtest::allToolsOff();
             g_lAppIncJoin = g_lAppIncSplit = 1;
         },
         {"-", "Audio Joiner|Audio Joiner", "Audio Splitter|Audio Splitter", "-", "-", "Master Volume|Master Volume",
          "-", "Notes|Notes"},
         {"-", "Audio Joiner|Join|23", "Audio Splitter|Splitter|22"}, 4575},
        {"speech only",
         [] {
             mwtest::allToolsOff();
             g_lAppIncTTS = 1;
         },
         {"-", "-", "Text To Speech|Text To Speech", "-", "Master Volume|Master Volume", "-", "Notes|Notes"},
         {"Text To Speech|TTS|28"}, 2575},
    };
    for (const EditionCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto w = loadWindow(c.adjust);
        EXPECT_EQ(popupOf(w->m_cMenu, "Notes"), c.toolsPopup);
        EXPECT_EQ(toolsToolbarOf(w->tlbrRecorder), c.toolsToolbar);
        EXPECT_EQ(twips::Width(w->cToolbarHostRecorder), c.hostWidth);
        EXPECT_EQ(twips::Height(w->cToolbarHostRecorder), 760);
        EXPECT_EQ(w->cToolbarHostRecorder->AttachedToolbar(), w->tlbrRecorder);
    }
}

TEST_F(MainWindowMenus, TopToolbarHoldsItsButtonsInOrder)
{
    const QStringList tail = {"Tools|Tools|Tools|19|8", "-", "Options|Options|Options|9|8", "-",
                              "Mode|Mode|Modes|45|8", "Help|Help|Help|12|8"};
    const QStringList head = {"Add|  Add File(s)  |Add Files(s) to The Items List|2|0", "-",
                              "Items List|Items List|Items List|39|8", "-"};
    {
        auto w = loadWindow();
        EXPECT_EQ(buttonsOf(w->tlbrTop), head + QStringList{"Audio Analyser|Editor|Audio Analyser|62|0"} + tail);
    }
    {
        // Every tool on changes nothing here: the mode key alone picks the main-tool button.
        auto w = loadWindow([] { SetAllToolsOn(); });
        EXPECT_EQ(buttonsOf(w->tlbrTop), head + QStringList{"Audio Analyser|Editor|Audio Analyser|62|0"} + tail);
    }
    {
        // No matching mode key and no items lists: neither "Add" nor the main-tool button.
        auto w = loadWindow([] {
            g_sAppModeKey = "lAppIncSomething";
            g_lAppIncItemsLists = 0;
        });
        EXPECT_EQ(buttonsOf(w->tlbrTop), QStringList({"Items List|Items List|Items List|39|8", "-"}) + tail);
    }
    struct Mode {
        const char* modeKey;
        QString button;
    };
    const Mode modes[] = {
        {"lAppIncConverter", "Audio Converter|Convert|Audio Converter|7|0"},
        {"lAppIncJoin", "Audio Joiner|Join|Audio Joiner|64|0"},
        {"lAppIncSplit", "Audio Splitter|Splitter|Audio Splitter|63|0"},
        {"lAppIncMicRec", "Audio Recorder|Recorder|Audio Recorder|70|0"},
        {"lAppIncAudioBurner", "Audio CD Maker|Burn|Audio CD Maker|73|0"},
        {"lAppIncCDRipper", "Audio CD Ripper|CD Ripper|Audio CD Ripper|25|0"},
        {"lAppIncACMConverter", "ACM Converter|Converter|ACM Converter|61|0"},
        {"lAppIncMP3Burner", "MP3 CD Maker|Burn MP3|MP3 CD Maker|72|0"},
        {"lAppIncWMABurner", "WMA CD Maker|Burn WMA|WMA CD Maker|72|0"},
        {"lAppIncTTS", "Text To Speech|TTS|Text To Speech|82|0"},
        {"lappinceditor", QString()}, // compared with case
    };
    for (const Mode& m : modes) {
        SCOPED_TRACE(m.modeKey);
        // The tool's own flag is not consulted.
        auto w = loadWindow([&] {
            mwtest::allToolsOff();
            g_sAppModeKey = m.modeKey;
        });
        const QStringList buttons = buttonsOf(w->tlbrTop);
        ASSERT_GE(buttons.size(), 5);
        EXPECT_EQ(buttons[4], m.button.isEmpty() ? tail[0] : m.button);
    }
}

TEST_F(MainWindowMenus, ListProjectsAndPlayerToolbars)
{
    const QStringList list = {"MarkUnmark All||Mark/Unmark All|74|0", "-", "Move Up||Move Item Up|0|0",
                              "Move Down||Move Item Down|1|0", "-", "Move To First||Move Item To First|80|0",
                              "Move To Last||Move Item To Last|81|0", "-", "Rename Item||Edit Item|32|0", "-",
                              "Save As||Save Item As|5|0", "-", "Remove Item||Remove Item|3|0",
                              "Clear the List||Remove All|27|0"};
    const QStringList add = {"Add Files||Add File(s)|2|0", "-"};
    const QStringList freeDB = {"-", "FreeDB||Get FreeDB Information About CD|22|0"};
    {
        auto w = loadWindow();
        EXPECT_EQ(buttonsOf(w->tlbrList), add + list);
        EXPECT_EQ(buttonsOf(w->tlbrProjects),
                  QStringList({"New Items List||New Items List|48|0", "Rename Items List||Rename Items List|49|0",
                               "Remove Items List||Remove Items List|50|0", "-",
                               "Items List Properties||Items List Properties|51|0"}));
        EXPECT_EQ(buttonsOf(w->tlbrPlayButtons),
                  QStringList({"Play||Play|0|0", "Pause||Pause|1|2", "Stop||Stop|2|0"}));
        EXPECT_EQ(w->tlbrProjectsHost->AttachedToolbar(), w->tlbrProjects);
        EXPECT_EQ(w->tlbrList->parentWidget(), static_cast<QWidget*>(w->rbrList));
    }
    {
        auto w = loadWindow([] { SetAllToolsOn(); });
        EXPECT_EQ(buttonsOf(w->tlbrList), add + list + freeDB);
    }
    {
        auto w = loadWindow([] { g_lAppIncItemsLists = 0; });
        EXPECT_EQ(buttonsOf(w->tlbrList), list);
    }
}

TEST_F(MainWindowMenus, HelpPageNamesOnlyCommandsTheWindowOffers)
{
    auto w = loadWindow([] { SetAllToolsOn(); });
    QStringList captions;
    for (int i = 1; i <= w->m_cMenu->Count(); ++i)
        captions << w->m_cMenu->ItemCaption(i).trimmed();
    for (cToolbar* t : {w->tlbrTop, w->tlbrList, w->tlbrProjects})
        for (int i = 1; i <= t->ButtonCount(); ++i)
            captions << t->ButtonCaption(i).trimmed();

    QFile page(QStringLiteral(KELVANE_SOURCE_DIR) + "/app/help/Help.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    // Bold names that are no command: the grid's mark column, the tree's
    // root, and two links of the tool windows.
    const QStringList notCommands = {"Inc", "Items Lists", "Parameters", "Set as default"};
    static const QRegularExpression bold(QStringLiteral("<strong>(.*?)</strong>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    int commands = 0;
    for (auto it = bold.globalMatch(html); it.hasNext();) {
        const QString name = it.next().captured(1).simplified();
        if (notCommands.contains(name))
            continue;
        ++commands;
        EXPECT_TRUE(captions.contains(name)) << name.toStdString();
    }
    EXPECT_GE(commands, 20);
}

TEST_F(MainWindowMenus, EveryToolbarButtonHasANameThatTellsItApart)
{
    auto w = loadWindow([] { SetAllToolsOn(); });
    auto nameOf = [](QWidget* button) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(button);
        return a ? a->text(QAccessible::Name) : QString();
    };
    for (cToolbar* t : {w->tlbrTop, w->tlbrList, w->tlbrProjects, w->tlbrPlayButtons, w->tlbrRecorder}) {
        SCOPED_TRACE(t->objectName().toStdString());
        QStringList names;
        for (int i = 1; i <= t->ButtonCount(); ++i) {
            if (t->ButtonStyle(i) == 1)
                continue;
            const QString name = nameOf(t->ButtonWidget(i));
            EXPECT_FALSE(name.trimmed().isEmpty()) << t->ButtonKey(i).toStdString();
            EXPECT_FALSE(names.contains(name)) << name.toStdString() << " names two buttons";
            names << name;
        }
    }
    // Icon-only buttons read their tool tips; the two "Convert" buttons their tools.
    const std::pair<cToolbar*, const char*> named[] = {
        {w->tlbrList, "Move Up"}, {w->tlbrList, "Clear the List"}, {w->tlbrPlayButtons, "Play"},
        {w->tlbrRecorder, "Audio Converter"}, {w->tlbrRecorder, "ACM Converter"}};
    const QStringList expected = {"Move Item Up", "Remove All", "Play", "Audio Converter", "ACM Converter"};
    for (size_t i = 0; i < std::size(named); ++i) {
        cToolbar* t = named[i].first;
        EXPECT_EQ(nameOf(t->ButtonWidget(t->ButtonIndex(named[i].second))), expected[int(i)]);
    }
    EXPECT_EQ(nameOf(w->tlbrRecorder->ButtonWidget(w->tlbrRecorder->ButtonIndex("Audio Joiner"))), "Join");
    // And the two converters look different.
    auto picture = [&](const char* key) {
        return w->tlbrRecorder->ButtonWidget(w->tlbrRecorder->ButtonIndex(key))->icon().pixmap(26, 26).toImage();
    };
    EXPECT_NE(picture("Audio Converter"), picture("ACM Converter"));
}

TEST_F(MainWindowMenus, GroupsItemsAndLookups)
{
    auto w = loadWindow();
    cContextMenu* m = w->m_cMenu;
    EXPECT_TRUE(m->MenuBuilt());
    EXPECT_EQ(m->MenuIndexForKey("No Such Command"), 0);
    EXPECT_EQ(m->MenuIndexForKey("audio converter"), 0);
    EXPECT_EQ(m->ItemKey(0), QString());
    EXPECT_EQ(m->ItemKey(m->Count() + 1), QString());

    // Groups in order, with the ones shown only through their children hidden.
    QStringList groups;
    for (int i = 1; i <= m->Count(); ++i)
        if (m->ItemParent(i) == 0)
            groups << m->ItemCaption(i) + "|" + m->ItemKey(i) + (m->ItemVisible(i) ? "" : "|hidden");
    EXPECT_EQ(groups, QStringList({"File|mnuFileTop", "Edit|mnuEditTop", "Tools|Tools", "Options|mnuOptionsTop",
                                   "Mode|Mode", "Options|Options|hidden", "Help|Help|hidden",
                                   "mnuSysTry|mnuSysTry|hidden", "Player|Player|hidden",
                                   "mnuProjects|mnuProjects|hidden", "mnuFilesList|mnuFilesList|hidden",
                                   "mnuAdd|mnuAdd|hidden"}));

    EXPECT_EQ(popupOf(m, "Exit"), QStringList({"Remove|Remove", "-", "Exit|Exit"}));
    EXPECT_EQ(popupOf(m, "Transparent"),
              QStringList({"Transparent|Transparent", "On Top|On Top", "-", "Minimize|Minimize",
                           "Go to SysTray|GoSysTray", "-", "Exit|Exit"}));
    EXPECT_EQ(popupOf(m, "ID3 Tags"),
              QStringList({"General                     |General", "-", "Events|Events", "View|View", "-",
                           "ID3 Tags|ID3 Tags", "-", "Advanced|Advanced"}));
    EXPECT_EQ(popupOf(m, "About"),
              QStringList({"Help Topics     |HelpTopic", "Support|Support", "-", "About|About"}));
    EXPECT_EQ(popupOf(m, "RC Open"), QStringList({"Exit                      |RC Exit", "-", "Hide|RC Open"}));
    EXPECT_EQ(popupOf(m, "Open Default Player"), QStringList({"System Player|Open Default Player"}));
    EXPECT_EQ(popupOf(m, "Open Destination Folder"),
              QStringList({"New Items List|New Items List", "Rename Items List|Rename Items List",
                           "Remove Items List|Remove Items List", "-",
                           "Items List Properties|Items List Properties",
                           "Open Destination Folder|Open Destination Folder"}));
    EXPECT_EQ(popupOf(m, "Add Files"), QStringList({"Add Files|Add Files", "-", "Add Directories|Add Directories"}));
    const QStringList filesHead = {"Mark/Unmark All|MarkUnmark All", "-", "Move Up|Move Up", "Move Down|Move Down",
                                   "-", "Move To First|Move To First", "Move To Last|Move To Last", "-",
                                   "Edit|Rename Item", "Save As...|Save As", "-"};
    const QStringList filesTail = {"Remove Item|Remove Item", "-", "Remove All|Clear the List"};
    EXPECT_EQ(popupOf(m, "Save As"), filesHead + QStringList({"Audio Analyser|Audio Analyser", "-"}) + filesTail);
    // Icons by position, and every item created unchecked and enabled.
    EXPECT_EQ(m->ItemIcon(m->MenuIndexForKey("Remove")), 4);
    EXPECT_EQ(m->ItemIcon(m->MenuIndexForKey("Support")), -1);
    EXPECT_EQ(m->ItemIcon(m->MenuIndexForKey("Clear the List")), 27);
    for (int i = 1; i <= m->Count(); ++i) {
        EXPECT_FALSE(m->ItemChecked(i));
        EXPECT_TRUE(m->ItemEnabled(i));
    }

    auto cd = loadWindow([] {
        g_lAppIncEditor = 0;
        g_lAppIncCDRipper = 1;
    });
    EXPECT_EQ(popupOf(cd->m_cMenu, "Save As"), filesHead + filesTail + QStringList({"-", "FreeDB|FreeDB"}));
}

TEST_F(MainWindowStatusBar, PanelsCarryTheirKeysAndFirstTexts)
{
    auto w = loadWindow();
    cStatusBar* sb = w->cStatusBar1;
    ASSERT_EQ(sb->PanelCount(), 4);
    struct Panel {
        QString key, text, tip;
        int icon, width;
    };
    const Panel panels[] = {
        {"Main", "Ready.", "", 47, 120},
        {"Items List Properties", "", "", -1, 180},
        {"Notes", "Notes [ Empty ]", "Notes", 8, 250},
        {"Master Volume", "Master Volume", "", 79, 64},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(panels[i].key.toStdString());
        EXPECT_EQ(sb->PanelKey(i + 1), panels[i].key);
        EXPECT_EQ(sb->PanelText(panels[i].key), panels[i].text);
        EXPECT_EQ(sb->PanelToolTip(i + 1), panels[i].tip);
        EXPECT_EQ(sb->PanelIcon(panels[i].key), panels[i].icon);
        EXPECT_EQ(sb->PanelWidth(i + 1), panels[i].width);
    }
    EXPECT_EQ(sb->PanelText("No Such Panel"), QString());
    EXPECT_EQ(sb->PanelKey(5), QString());
}

TEST_F(MainWindowStatusBar, PanelsAreWideEnoughForTheirTextsAtTheDefaultSize)
{
    mwtest::setEdition();
    FrmMain* w = frmMain();
    w->show();
    QApplication::processEvents();
    ASSERT_EQ(w->Width(), 13140);
    cStatusBar* sb = w->cStatusBar1;
    sb->setPanelText("Items List Properties", "1234 Items, 5678.90 MB, 123:45:06");
    QApplication::processEvents();
    for (int i = 1; i <= sb->PanelCount(); ++i) {
        SCOPED_TRACE(sb->PanelKey(i).toStdString());
        QLabel* panel = sb->PanelWidget(i);
        const int room = panel->contentsRect().width() - 6 - (sb->PanelIcon(sb->PanelKey(i)) >= 0 ? 20 : 0);
        EXPECT_GE(room, panel->fontMetrics().horizontalAdvance(sb->PanelText(i)));
        EXPECT_GE(panel->width(), sb->PanelWidth(i)) << "never narrower than asked";
        EXPECT_LE(panel->mapTo(w, QPoint(panel->width(), 0)).x(), w->width()) << "off the window's edge";
    }
    UnloadMain();
}

TEST_F(MainWindowStatusBar, NotesPanelSummarisesTheNotesFile)
{
    struct Case {
        const char* name;
        QByteArray file; // empty name below: no file
        bool exists;
        QString summary;
    };
    const QString n36(36, QLatin1Char('n'));
    const QString n37 = n36 + "x";
    const std::vector<Case> cases = {
        {"no file", {}, false, "Notes [ Empty ]"},
        {"empty file", "", true, "Notes [ Empty ]"},
        {"one empty line", "\r\n", true, "Notes [ Empty ]"},
        {"36 characters", (n36 + "\r\n").toUtf8(), true, "Notes [ " + n36 + " ]"},
        {"37 characters", (n37 + "\r\n").toUtf8(), true, "Notes [ " + n36.left(35) + "... ]"},
        {"two lines joined by a blank", "buy milk\r\ncall Ann\r\n", true, "Notes [ buy milk call Ann ]"},
        {"blanks are a note", "   \r\n", true, "Notes [     ]"},
        {"lines ending LF", "a\nb\n", true, "Notes [ a b ]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = AppPath() + "/Notes";
        QFile::remove(path);
        if (c.exists) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.file);
        }
        auto w = loadWindow();
        EXPECT_EQ(w->cStatusBar1->PanelText(QStringLiteral("Notes")), c.summary);
        EXPECT_EQ(w->GetNotesToStatus(), c.summary);
    }
}
