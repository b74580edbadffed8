// The popup-menu object: every command of the window is an item of it, found
// again by its key.
#include <QApplication>

#include "components/controls/cContextMenu.h"
#include "core/Edition.h"
#include "mainwindow/frmMain.h"
#include "settings/Options.h"

namespace {

struct Row {
    const char* caption; // "-" for a separator
    const char* key;
    int icon;            // -1: none
    bool present;
};

bool on(int flag) { return flag == 1; }

} // namespace

void FrmMain::SetMenus()
{
    // Where the design names its menu font, the system font stands in.
    QFont font = QApplication::font();

    m_cMenu = new cContextMenu(this);
    m_cMenu->setObjectName("m_cMenu");
    m_cMenu->AttachMenuWindow(this);
    m_cMenu->setXPStyle(false);
    m_cMenu->setMenuFont(font);
    m_cMenu->setXPStyle(g_bMenuXPStyle);
    m_cMenu->setImageList(imgMenu);
    connect(m_cMenu, &cContextMenu::Click, this, [this](int ItemNumber) { m_cMenu_Click(ItemNumber); });

    auto group = [this](const char* caption, const char* key) {
        return m_cMenu->AddMenuItem(QString::fromLatin1(caption), QString(), 0, 0, -1, false, true,
                                    QString::fromLatin1(key));
    };
    auto children = [this](int parent, std::initializer_list<Row> rows) {
        for (const Row& r : rows)
            if (r.present)
                m_cMenu->AddMenuItem(QString::fromLatin1(r.caption), QString(), 0, parent, r.icon, false, true,
                                     QString::fromLatin1(r.key));
    };
    auto hideGroup = [this](const char* key) {
        m_cMenu->setItemVisible(m_cMenu->MenuIndexForKey(QString::fromLatin1(key)), false);
    };

    children(group("File", "mnuFileTop"), {
        {"Remove", "Remove", 4, true},
        {"-", "mnuFile(4)", -1, true},
        {"Exit", "Exit", -1, true},
    });

    group("Edit", "mnuEditTop");

    children(group("Tools", "Tools"), {
        {"-", "mnuFile(4)", -1, on(g_lAppIncConverter) || on(g_lAppIncACMConverter)},
        {"Audio Converter", "Audio Converter", 60, on(g_lAppIncConverter)},
        {"ACM Converter", "ACM Converter", 61, on(g_lAppIncACMConverter)},
        {"-", "mnuFile(4)", -1, on(g_lAppIncJoin) || on(g_lAppIncSplit)},
        {"Audio Joiner", "Audio Joiner", 64, on(g_lAppIncJoin)},
        {"Audio Splitter", "Audio Splitter", 63, on(g_lAppIncSplit)},
        {"-", "mnuFile(4)", -1, on(g_lAppIncEditor) || on(g_lAppIncMicRec)},
        {"Audio Analyser", "Audio Analyser", 62, on(g_lAppIncEditor)},
        {"Audio Recorder", "Audio Recorder", 70, on(g_lAppIncMicRec)},
        // The duplicator's flag alone does not bring the separator.
        {"-", "mnuFile(4)", -1, on(g_lAppIncAudioBurner) || on(g_lAppIncCDRipper)},
        {"Audio CD Duplicator", "Audio CD Duplicator", 83, on(g_lAppIncCDDuplicator)},
        {"Audio CD Maker", "Audio CD Maker", 73, on(g_lAppIncAudioBurner)},
        {"Audio CD Ripper", "Audio CD Ripper", 25, on(g_lAppIncCDRipper)},
        {"-", "mnuFile(4)", -1, on(g_lAppIncMP3Burner) || on(g_lAppIncWMABurner)},
        {"MP3 CD Maker", "MP3 CD Maker", 72, on(g_lAppIncMP3Burner)},
        {"WMA CD Maker", "WMA CD Maker", 72, on(g_lAppIncWMABurner)},
        {"-", "mnuFile(4)", -1, true},
        {"MP3 Tags Editor", "MP3 Tags Editor", 6, on(g_lAppIncMP3TagsEditor)},
        {"-", "mnuFile(4)", -1, true},
        {"Text To Speech", "Text To Speech", 82, on(g_lAppIncTTS)},
        {"-", "mnuFile(4)", -1, on(g_lAppIncTTS)},
        {"Master Volume", "Master Volume", 79, true},
        {"-", "mnuFile(4)", -1, true},
        {"Notes", "Notes", 8, true},
    });

    group("Options", "mnuOptionsTop");

    children(group("Mode", "Mode"), {
        {"Transparent", "Transparent", 11, true},
        {"On Top", "On Top", 53, true},
        {"-", "mnuFile(4)", -1, true},
        {"Minimize", "Minimize", 76, true},
        {"Go to SysTray", "GoSysTray", 77, true},
        {"-", "mnuFile(4)", -1, true},
        {"Exit", "Exit", 78, true},
    });

    children(group("Options", "Options"), {
        {"General                     ", "General", 9, true},
        {"-", "Options Line1", -1, true},
        {"Events", "Events", 10, true},
        {"View", "View", 11, true},
        {"-", "Options Line2", -1, true},
        {"ID3 Tags", "ID3 Tags", 18, true},
        {"-", "Options Line2", -1, true},
        {"Advanced", "Advanced", 59, true},
    });
    hideGroup("Options");

    children(group("Help", "Help"), {
        {"Help Topics     ", "HelpTopic", 12, true},
        {"Support", "Support", -1, true},
        {"-", "mnuFile(4)", -1, true},
        {"About", "About", 22, true},
    });
    hideGroup("Help");

    children(group("mnuSysTry", "mnuSysTry"), {
        {"Exit                      ", "RC Exit", 27, true},
        {"-", "st1", -1, true},
        {"Hide", "RC Open", -1, true},
    });
    hideGroup("mnuSysTry");

    children(group("Player", "Player"), {
        {"System Player", "Open Default Player", 38, true},
    });
    hideGroup("Player");

    children(group("mnuProjects", "mnuProjects"), {
        {"New Items List", "New Items List", 48, true},
        {"Rename Items List", "Rename Items List", 49, true},
        {"Remove Items List", "Remove Items List", 50, true},
        {"-", "st4", -1, true},
        {"Items List Properties", "Items List Properties", 51, true},
        {"Open Destination Folder", "Open Destination Folder", 4, true},
    });
    hideGroup("mnuProjects");

    children(group("mnuFilesList", "mnuFilesList"), {
        {"Mark/Unmark All", "MarkUnmark All", 74, true},
        {"-", "st1", -1, true},
        {"Move Up", "Move Up", 0, true},
        {"Move Down", "Move Down", 1, true},
        {"-", "st1", -1, true},
        {"Move To First", "Move To First", 80, true},
        {"Move To Last", "Move To Last", 81, true},
        {"-", "st1", -1, true},
        {"Edit", "Rename Item", 32, true},
        {"Save As...", "Save As", 5, true},
        {"-", "st1", -1, true},
        {"Audio Analyser", "Audio Analyser", 62, on(g_lAppIncEditor)},
        {"-", "st1", -1, on(g_lAppIncEditor)},
        {"Remove Item", "Remove Item", 3, true},
        {"-", "ClearLine", -1, true},
        {"Remove All", "Clear the List", 27, true},
        {"-", "st1", -1, on(g_lAppIncCDRipper)},
        {"FreeDB", "FreeDB", 22, on(g_lAppIncCDRipper)},
    });
    hideGroup("mnuFilesList");

    children(group("mnuAdd", "mnuAdd"), {
        {"Add Files", "Add Files", 39, true},
        {"-", "st1", -1, true},
        {"Add Directories", "Add Directories", 4, true},
    });
    hideGroup("mnuAdd");

    m_cMenu->setMenuBuilt(true);
}
