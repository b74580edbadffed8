#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTreeView.h"
#include "lists/ListTree.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/support/TestEnv.h"

namespace {

QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

// Records what reaches the router: every command key of the table, the
// player stops and the refreshes of the information grid.
struct RouterProbe {
    QStringList commands;
    int stops = 0;
    int refreshes = 0;

    explicit RouterProbe(FrmMain* w, bool commandsSucceed = true)
    {
        w->StopPlayingItem = [this] { ++stops; };
        w->RefreshInformation = [this] { ++refreshes; };
        for (const FrmMain::CommandRow& r : w->CommandRows()) {
            const QString key = r.key;
            w->setCommand(key, [this, key, commandsSucceed](int) {
                commands << key;
                return commandsSucceed;
            });
        }
    }
};

FrmMain* loadWindow(const std::function<void()>& adjust = {})
{
    mwtest::setEdition(adjust);
    return frmMain();
}

// The next popup that opens: its captions are recorded and the item with the
// caption chosen (or the popup dismissed when the caption is empty).
struct PopupChoice {
    QStringList captions;
    bool shown = false;

    void arm(const QString& choose)
    {
        QTimer::singleShot(0, [this, choose] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            shown = true;
            QAction* pick = nullptr;
            for (QAction* a : menu->actions()) {
                captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
                if (!a->isSeparator() && a->text() == choose)
                    pick = a;
            }
            if (pick) {
                menu->setActiveAction(pick);
                QTest::keyClick(menu, Qt::Key_Return);
            } else {
                menu->close();
            }
        });
    }
};

// A tree with both roots, two lists and a drive, and a grid with the mark
// column: the state the items lists leave.
struct Fixture {
    FrmMain* w;
    cTreeNode items, listA, listB, cds, drive;

    explicit Fixture(FrmMain* window)
        : w(window)
    {
        cTreeNodes nodes = w->cTreeView1->Nodes();
        nodes.ClearNodes();
        items = nodes.AddNode(cTreeNode(), 0, "##MAINITEMS/lists/", "Items Lists");
        listA = nodes.AddNode(items, 4, "/lists/A.flst", "A");
        listB = nodes.AddNode(items, 4, "/lists/B.flst", "B");
        cds = nodes.AddNode(items, 2, "##MAINCDSAudio CDs", "Audio CDs");
        drive = nodes.AddNode(cds, 4, "##CDD:", "D:");
        g_nodItemsLists = items;
        g_nodAudioCDs = cds;
        if (w->cGrid1->ColumnIndex("Inc") == 0)
            w->cGrid1->AddColumn("Inc", "Inc", 0, -1, 26);
        if (w->cGrid1->ColumnIndex("Item Name") == 0)
            w->cGrid1->AddColumn("Item Name", "Item Name", 0, -1, 200);
        w->cGrid1->ClearRows();
    }

    void select(cTreeNode node) { node.setNodeSelected(true); }

    // A state in which the key's checks pass: marked rows of a list, or of a drive for the ripper.
    void readyFor(const QString& key)
    {
        select(key == QLatin1String("Audio CD Ripper") ? drive : listA);
        rows({true, true});
    }

    void rows(std::initializer_list<bool> marks)
    {
        w->cGrid1->ClearRows();
        const int inc = w->cGrid1->ColumnIndex("Inc");
        int row = 1;
        for (bool m : marks) {
            w->cGrid1->SetCell(row, w->cGrid1->ColumnIndex("Item Name"), QString("item %1").arg(row));
            w->cGrid1->SetCell(row, inc, QString(), cGrid::kIconCellFormat, m ? 1 : 0);
            ++row;
        }
        w->cGrid1->setSelectedRow(1);
    }
};

} // namespace

class MainWindowRouter : public mwtest::FreshMainWindow {};

TEST_F(MainWindowRouter, EveryMenuItemReachesTheRouterWithItsKey)
{
    FrmMain* w = loadWindow([] { SetAllToolsOn(); });
    RouterProbe probe(w);
    Fixture f(w);
    cContextMenu* m = w->m_cMenu;
    QStringList keys;
    for (const FrmMain::CommandRow& r : w->CommandRows())
        keys << r.key;
    int items = 0;
    for (int i = 1; i <= m->Count(); ++i) {
        if (m->ItemParent(i) == 0 || m->ItemCaption(i) == QLatin1String("-"))
            continue;
        ++items;
        SCOPED_TRACE(m->ItemKey(i).toStdString());
        probe.commands.clear();
        const int refreshes = probe.refreshes;
        f.readyFor(m->ItemKey(i));
        emit m->Click(i);
        // Every item is a command of the table, except "Remove", which runs nothing.
        if (m->ItemKey(i) == QLatin1String("Remove")) {
            EXPECT_TRUE(probe.commands.isEmpty());
        } else {
            EXPECT_TRUE(keys.contains(m->ItemKey(i)));
            EXPECT_EQ(probe.commands, QStringList{m->ItemKey(i)});
        }
        EXPECT_EQ(probe.refreshes, refreshes + 1);
    }
    EXPECT_EQ(items, 51);
    EXPECT_EQ(probe.stops, items);
}

TEST_F(MainWindowRouter, EveryToolbarButtonButThePlayersReachesTheRouterWithItsKey)
{
    FrmMain* w = loadWindow([] { SetAllToolsOn(); });
    w->show();
    RouterProbe probe(w);
    Fixture f(w);
    auto sentFor = [](cToolbar* t, const QString& key) -> QString {
        if (key == QLatin1String("Add") && t->objectName() == QLatin1String("tlbrTop"))
            return QStringLiteral("Add Files");
        return key;
    };
    for (cToolbar* t : {w->tlbrTop, w->tlbrList, w->tlbrProjects, w->tlbrRecorder}) {
        for (int i = 1; i <= t->ButtonCount(); ++i) {
            if (t->ButtonStyle(i) == 1 || t->ButtonStyle(i) == 8)
                continue;
            SCOPED_TRACE((t->objectName() + " " + t->ButtonKey(i)).toStdString());
            probe.commands.clear();
            f.readyFor(t->ButtonKey(i));
            QTest::mouseClick(t->ButtonWidget(i), Qt::LeftButton);
            EXPECT_EQ(probe.commands, QStringList{sentFor(t, t->ButtonKey(i))});
        }
    }
    // The player's buttons are the player panel's own: they send nothing.
    // ("Play" on a row without a file only says so.)
    testenv::ScriptedMessageBoxes boxes;
    probe.commands.clear();
    const int stops = probe.stops;
    for (int i = 1; i <= w->tlbrPlayButtons->ButtonCount(); ++i)
        QTest::mouseClick(w->tlbrPlayButtons->ButtonWidget(i), Qt::LeftButton);
    EXPECT_TRUE(probe.commands.isEmpty());
    EXPECT_EQ(probe.stops, stops);
}

TEST_F(MainWindowRouter, DropDownButtonsShowTheirPopupsAndTheChoiceReachesTheRouter)
{
    FrmMain* w = loadWindow();
    w->show();
    RouterProbe probe(w);
    struct Case {
        QString button;
        QStringList popup;
        QString choose; // caption; its key reaches the router
        QString key;
    };
    const std::vector<Case> cases = {
        {"Mode",
         {"Transparent", "On Top", "-", "Minimize", "Go to SysTray", "-", "Exit"},
         "Minimize",
         "Minimize"},
        {"Tools",
         {"-", "Audio Converter", "ACM Converter", "-", "Audio Joiner", "Audio Splitter", "-", "Audio Analyser",
          "Audio Recorder", "-", "MP3 Tags Editor", "-", "Master Volume", "-", "Notes"},
         "Notes",
         "Notes"},
        {"Options",
         {"General" + blanks(21), "-", "Events", "View", "-", "ID3 Tags", "-", "Advanced"},
         "View",
         "View"},
        {"Help", {"Help Topics" + blanks(5), "Support", "-", "About"}, "About", "About"},
        {"Items List",
         {"Mark/Unmark All", "-", "Move Up", "Move Down", "-", "Move To First", "Move To Last", "-", "Edit",
          "Save As...", "-", "Audio Analyser", "-", "Remove Item", "-", "Remove All"},
         "Remove All",
         "Clear the List"},
    };
    for (const Case& c : cases) {
        const int index = w->tlbrTop->ButtonIndex(c.button);
        ASSERT_GT(index, 0);
        for (bool arrow : {false, true}) {
            SCOPED_TRACE((c.button + (arrow ? " arrow" : " body")).toStdString());
            probe.commands.clear();
            PopupChoice choice;
            choice.arm(c.choose);
            QAbstractButton* b = w->tlbrTop->ButtonWidget(index);
            if (arrow)
                QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->width() - 4, b->height() / 2));
            else
                QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
            QTest::qWait(20);
            EXPECT_TRUE(choice.shown);
            EXPECT_EQ(choice.captions, c.popup);
            EXPECT_EQ(probe.commands, QStringList{c.key});
        }
    }
    // Dismissing a popup runs nothing.
    probe.commands.clear();
    const int stops = probe.stops;
    PopupChoice none;
    none.arm(QString());
    w->tlbrTop_ButtonDropDown(w->tlbrTop->ButtonIndex("Mode"));
    QTest::qWait(20);
    EXPECT_TRUE(none.shown);
    EXPECT_TRUE(probe.commands.isEmpty());
    EXPECT_EQ(probe.stops, stops);
}

TEST_F(MainWindowRouter, FrameStopsThePlayerAndRefreshesAfterCommands)
{
    FrmMain* w = loadWindow();
    RouterProbe probe(w);
    cContextMenu* m = w->m_cMenu;

    // Index 0: the player stops and nothing else happens.
    w->m_cMenu_Click(0);
    EXPECT_EQ(probe.stops, 1);
    EXPECT_EQ(probe.refreshes, 0);

    // A key that no command has (a separator's, a group's, "Remove"): only the frame runs.
    for (const char* key : {"mnuFile(4)", "Tools", "Remove", "st1"}) {
        SCOPED_TRACE(key);
        probe.commands.clear();
        const int refreshes = probe.refreshes;
        w->m_cMenu_Click(m->MenuIndexForKey(key));
        EXPECT_TRUE(probe.commands.isEmpty());
        EXPECT_EQ(probe.refreshes, refreshes + 1);
    }
    // A key in another letter case reaches no item at all.
    EXPECT_EQ(m->MenuIndexForKey("audio converter"), 0);

    // A command that ends early leaves the refresh out.
    w->setCommand("Notes", [](int) { return false; });
    const int refreshes = probe.refreshes;
    w->m_cMenu_Click(m->MenuIndexForKey("Notes"));
    EXPECT_EQ(probe.refreshes, refreshes);
    EXPECT_FALSE(w->setCommand("No Such Command", [](int) { return true; }));
}

TEST_F(MainWindowRouter, GoingToTheTrayEndsWithoutRefresh)
{
    FrmMain* w = loadWindow();
    w->show();
    w->StopPlayingItem = nullptr;
    int refreshes = 0;
    w->RefreshInformation = [&] { ++refreshes; };
    w->m_cMenu_Click(w->m_cMenu->MenuIndexForKey("GoSysTray"));
    EXPECT_EQ(refreshes, 0);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->m_bInTray);
    EXPECT_EQ(w->m_cMenu->ItemCaption(w->m_cMenu->MenuIndexForKey("RC Open")), "Show");
    // The tray item brings it back, and that command refreshes.
    w->m_cMenu_Click(w->m_cMenu->MenuIndexForKey("RC Open"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->m_bInTray);
    EXPECT_EQ(refreshes, 1);
}

TEST_F(MainWindowRouter, ToolChecksGiveTheirMessages)
{
    testenv::ScriptedMessageBoxes boxes;
    FrmMain* w = loadWindow([] { SetAllToolsOn(); });
    RouterProbe probe(w);
    Fixture f(w);
    auto send = [&](const QString& key) { w->m_cMenu_Click(w->m_cMenu->MenuIndexForKey(key)); };
    const QStringList listTools = {"Audio Converter", "MP3 CD Maker", "WMA CD Maker", "ACM Converter",
                                   "Audio Joiner",    "Audio Splitter", "Audio CD Maker", "Audio Analyser"};

    // A root selected: the message, then the first list under it opens.
    for (const QString& tool : listTools) {
        SCOPED_TRACE(tool.toStdString());
        boxes.clear();
        probe.commands.clear();
        const int refreshes = probe.refreshes;
        f.select(f.items);
        send(tool);
        EXPECT_EQ(boxes.prompts(), QStringList{"Select the Items List." + blanks(40)});
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].style, vbInformation | vbOKOnly);
        EXPECT_EQ(boxes.shown()[0].title, "Kelvane 1.2");
        EXPECT_EQ(w->cTreeView1->SelectedNode(), f.listA);
        EXPECT_TRUE(probe.commands.isEmpty());
        EXPECT_EQ(probe.refreshes, refreshes);
    }
    // The ripper: its own text, and the first child of the selected root.
    boxes.clear();
    f.select(f.cds);
    send("Audio CD Ripper");
    EXPECT_EQ(boxes.prompts(), QStringList{"Select the Items List of the CD." + blanks(40)});
    EXPECT_EQ(w->cTreeView1->SelectedNode(), f.drive);

    // A list selected: the ripper wants a drive and opens the first one.
    boxes.clear();
    f.cds.setNodeExpanded(false);
    f.select(f.listB);
    send("Audio CD Ripper");
    EXPECT_EQ(boxes.prompts(), QStringList{"Select the the Audio CD device to rip from." + blanks(40)});
    EXPECT_EQ(w->cTreeView1->SelectedNode(), f.drive);
    EXPECT_TRUE(f.cds.NodeExpanded());

    // An empty list: "Add Files" instead, through a nested call that refreshes once.
    for (const QString& tool : listTools) {
        SCOPED_TRACE(tool.toStdString());
        boxes.clear();
        probe.commands.clear();
        const int refreshes = probe.refreshes;
        const int stops = probe.stops;
        f.select(f.listA);
        f.rows({});
        send(tool);
        EXPECT_TRUE(boxes.shown().empty());
        EXPECT_EQ(probe.commands, QStringList{"Add Files"});
        EXPECT_EQ(probe.refreshes, refreshes + 1);
        EXPECT_EQ(probe.stops, stops + 2);
    }

    // Rows without marks: each tool's own text.
    const std::vector<std::pair<QString, QString>> markTexts = {
        {"Audio Converter", "Mark the items to convert."}, {"MP3 CD Maker", "Mark the items to burn."},
        {"WMA CD Maker", "Mark the items to burn."},       {"ACM Converter", "Mark the items to convert."},
        {"Audio Joiner", "Mark the items to join."},       {"Audio Splitter", "Mark the items to split."},
        {"Audio CD Maker", "Mark the items to burn."},     {"Audio Analyser", "Mark the item to edit."},
        {"Audio CD Ripper", "Mark the items to rip."},
    };
    for (const auto& [tool, text] : markTexts) {
        SCOPED_TRACE(tool.toStdString());
        boxes.clear();
        probe.commands.clear();
        f.select(tool == QLatin1String("Audio CD Ripper") ? f.drive : f.listA);
        f.rows({false, false});
        send(tool);
        EXPECT_EQ(boxes.prompts(), QStringList{text + blanks(29)});
        EXPECT_TRUE(probe.commands.isEmpty());
    }
    // A drive without tracks: the ripper has no empty-grid step and asks for marks.
    boxes.clear();
    f.select(f.drive);
    f.rows({});
    send("Audio CD Ripper");
    EXPECT_EQ(boxes.prompts(), QStringList{"Mark the items to rip." + blanks(29)});

    // One marked row is not enough to join.
    boxes.clear();
    probe.commands.clear();
    f.select(f.listA);
    f.rows({false, true});
    send("Audio Joiner");
    EXPECT_EQ(boxes.prompts(), QStringList{"Nothing to join." + blanks(55) + "\r\n\r\n"});
    EXPECT_TRUE(probe.commands.isEmpty());

    // Checks passed: the command runs and the router refreshes.
    for (const QString& tool : listTools + QStringList{"Audio CD Ripper"}) {
        SCOPED_TRACE(tool.toStdString());
        boxes.clear();
        probe.commands.clear();
        const int refreshes = probe.refreshes;
        f.select(tool == QLatin1String("Audio CD Ripper") ? f.drive : f.listA);
        f.rows({true, true});
        send(tool);
        EXPECT_TRUE(boxes.shown().empty());
        EXPECT_EQ(probe.commands, QStringList{tool});
        EXPECT_EQ(probe.refreshes, refreshes + 1);
    }

    // The tools that take no items run whatever is selected.
    for (const char* tool : {"Audio CD Duplicator", "Audio Recorder", "Text To Speech"}) {
        SCOPED_TRACE(tool);
        boxes.clear();
        probe.commands.clear();
        f.select(f.items);
        f.rows({});
        send(tool);
        EXPECT_TRUE(boxes.shown().empty());
        EXPECT_EQ(probe.commands, QStringList{tool});
    }
}

TEST_F(MainWindowRouter, RootWithoutChildOnlyShowsTheMessage)
{
    testenv::ScriptedMessageBoxes boxes;
    FrmMain* w = loadWindow();
    RouterProbe probe(w);
    cTreeNodes nodes = w->cTreeView1->Nodes();
    nodes.ClearNodes();
    cTreeNode root = nodes.AddNode(cTreeNode(), 0, "##MAINITEMS/empty/", "Items Lists");
    root.setNodeSelected(true);
    w->m_cMenu_Click(w->m_cMenu->MenuIndexForKey("Audio Converter"));
    EXPECT_EQ(boxes.prompts(), QStringList{"Select the Items List." + blanks(40)});
    EXPECT_EQ(w->cTreeView1->SelectedNode(), root);
}

TEST_F(MainWindowRouter, StatusPanelsSendTheirKeys)
{
    FrmMain* w = loadWindow();
    w->show();
    RouterProbe probe(w);
    const std::vector<std::pair<QString, QStringList>> cases = {
        {"Main", {}},
        {"Items List Properties", {"Items List Properties"}},
        {"Notes", {"Notes"}},
        {"Master Volume", {"Master Volume"}},
    };
    for (const auto& [panel, sent] : cases) {
        SCOPED_TRACE(panel.toStdString());
        probe.commands.clear();
        const int stops = probe.stops;
        QTest::mouseClick(w->cStatusBar1->PanelWidget(w->cStatusBar1->PanelIndex(panel)), Qt::LeftButton);
        EXPECT_EQ(probe.commands, sent);
        // Even the panel without a command stops the player.
        EXPECT_EQ(probe.stops, stops + 1);
    }
}

TEST_F(MainWindowRouter, ListToolbarsEndTheOnTopMode)
{
    FrmMain* w = loadWindow();
    w->show();
    RouterProbe probe(w);
    cContextMenu* m = w->m_cMenu;
    for (cToolbar* t : {w->tlbrList, w->tlbrProjects}) {
        SCOPED_TRACE(t->objectName().toStdString());
        w->SetOnTop(true);
        EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_TRUE(m->ItemChecked(m->MenuIndexForKey("On Top")));
        probe.commands.clear();
        QTest::mouseClick(t->ButtonWidget(t->ButtonIndex(t == w->tlbrList ? "Move Up" : "New Items List")),
                          Qt::LeftButton);
        EXPECT_FALSE(w->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_FALSE(m->ItemChecked(m->MenuIndexForKey("On Top")));
        EXPECT_EQ(probe.commands.size(), 1);
    }
    // The top toolbar has no "On Top" button, so its clicks keep the mode.
    w->SetOnTop(true);
    QTest::mouseClick(w->tlbrTop->ButtonWidget(w->tlbrTop->ButtonIndex("Add")), Qt::LeftButton);
    EXPECT_TRUE(m->ItemChecked(m->MenuIndexForKey("On Top")));
    EXPECT_EQ(w->tlbrTop->ButtonIndex("On Top"), 0);
    EXPECT_FALSE(w->tlbrTop->ButtonChecked("On Top"));
}
