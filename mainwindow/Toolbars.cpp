// The edition's view, the five toolbars and what their buttons do.
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPixmap>

#include "components/controls/cContextMenu.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cReBar.h"
#include "components/controls/cSlider.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cToolbar.h"
#include "components/controls/cToolbarHost.h"
#include "core/Edition.h"
#include "core/TwipsGeometry.h"
#include "mainwindow/frmMain.h"
#include "platform/Colors.h"
#include "platform/ProgramDir.h"

namespace {

bool on(int flag) { return flag == 1; }

void setBack(QWidget* w, quint32 colour)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, platform::colorFromBgr(colour));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

// A colour text as a number; false when it is none.
bool colourOf(const QString& text, quint32& colour)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok || v < 0 || v > 0xFFFFFFFFLL)
        return false;
    colour = quint32(v);
    return true;
}

QPixmap loadPicture(const QString& file)
{
    return QPixmap(AppPath() + "/View/" + file);
}

} // namespace

QString FrmMain::SetAppView()
{
    quint32 colour = 0;
    if (!g_sViewBackColor.isEmpty() && colourOf(g_sViewBackColor, colour)) {
        setBack(this, colour);
        setBack(froControl, colour);
        cToolbarHostRecorder->setHostBackColor(long(colour));
        cToolbarHost1->setHostBackColor(long(colour));
        tlbrProjectsHost->setHostBackColor(long(colour));
        setBack(picResizer, colour);
        setBack(froTreeControl, colour);
        cStatusBar1->setStatusBackColor(long(colour));
        cGridInfo->setBackColor(colour);
        cSlider1->setSliderBackColor(long(colour));
    }
    if (!g_sViewFormPicture.isEmpty()) {
        const QPixmap form = loadPicture(g_sViewFormPicture);
        if (!form.isNull()) {
            QPalette pal = palette();
            pal.setBrush(QPalette::Window, QBrush(form));
            setPalette(pal);
            QPalette rp = picResizer->palette();
            rp.setBrush(QPalette::Window, QBrush(form));
            picResizer->setPalette(rp);
        }
        // A toolbar picture that is not named loads the bare folder: the holder then holds none.
        picToolBarJPGPicHolder->setPixmap(g_sViewToolbarPicture.isEmpty() ? QPixmap()
                                                                           : loadPicture(g_sViewToolbarPicture));
        cGridInfo->setGridBackgroundPicture(picToolBarJPGPicHolder->pixmap());
    }
    if (!g_sViewTitlePicture.isEmpty()) {
        const QPixmap title = loadPicture(g_sViewTitlePicture);
        if (!title.isNull()) {
            QPalette pal = picTitle->palette();
            pal.setBrush(QPalette::Window, QBrush(title));
            picTitle->setPalette(pal);
        }
    }
    if (!g_sViewToolbarPicture.isEmpty()) {
        const QPixmap tb = loadPicture(g_sViewToolbarPicture);
        if (!tb.isNull())
            picToolBarJPGPicHolder->setPixmap(tb);
    }
    return QString();
}

void FrmMain::SetToolsToolbar()
{
    tlbrRecorder->setToolbarStyle(2);
    tlbrRecorder->SetImageList(imgGeneral0);
    tlbrRecorder->CreateToolbar(26, false, true, true);

    struct Row {
        const char* key; // nullptr: a separator
        const char* caption;
        int icon;
        bool present;
        int widen;
    };
    const Row rows[] = {
        {"Audio Converter", "Convert", 19, on(g_lAppIncConverter), 1000},
        {"ACM Converter", "Convert", 21, on(g_lAppIncACMConverter), 1000},
        {nullptr, nullptr, -1, on(g_lAppIncJoin) || on(g_lAppIncSplit), 1000},
        {"Audio Joiner", "Join", 23, on(g_lAppIncJoin), 1000},
        {"Audio Splitter", "Splitter", 22, on(g_lAppIncSplit), 1000},
        {nullptr, nullptr, -1, on(g_lAppIncMicRec) || on(g_lAppIncEditor), 100},
        {"Audio Analyser", "Analyser", 20, on(g_lAppIncEditor), 1000},
        {"Audio Recorder", "Recorder", 24, on(g_lAppIncMicRec), 1000},
        // The duplicator belongs to this group, but its flag alone brings no separator.
        {nullptr, nullptr, -1, on(g_lAppIncCDRipper) || on(g_lAppIncAudioBurner), 1000},
        {"Audio CD Ripper", "CD Ripper", 25, on(g_lAppIncCDRipper), 1000},
        {"Audio CD Maker", "CD Burner", 27, on(g_lAppIncAudioBurner), 1000},
        {"Audio CD Duplicator", "CD Duplicator", 29, on(g_lAppIncCDDuplicator), 1000},
        {nullptr, nullptr, -1, on(g_lAppIncMP3Burner) || on(g_lAppIncWMABurner), 100},
        {"MP3 CD Maker", "Burn MP3", 26, on(g_lAppIncMP3Burner), 1000},
        {"WMA CD Maker", "Burn WMA", 26, on(g_lAppIncWMABurner), 1000},
        {"Text To Speech", "TTS", 28, on(g_lAppIncTTS), 1000},
    };
    for (const Row& r : rows) {
        if (!r.present)
            continue;
        if (r.key)
            tlbrRecorder->AddButton(QString::fromLatin1(r.key), r.icon, 0, 0, QString::fromLatin1(r.caption), 0,
                                    QString::fromLatin1(r.key));
        else
            tlbrRecorder->AddButton(QString(), -1, 0, 0, QString(), 1, QString());
        twips::setWidth(cToolbarHostRecorder, twips::Width(cToolbarHostRecorder) + r.widen);
    }
}

void FrmMain::SetToolbarBackground(cToolbarHost* host)
{
    const QPixmap pic = picToolBarJPGPicHolder->pixmap();
    if (pic.isNull() || pic.height() <= 0)
        return;
    const QString path = AppPath() + "/tbbg.bmp";
    pic.save(path, "BMP");
    host->setBackgroundPicture(path);
}

void FrmMain::BuildTopToolbar()
{
    tlbrTop->setToolbarStyle(2);
    tlbrTop->setToolbarStyleEx(0);
    tlbrTop->setToolbarOption(true);
    tlbrTop->SetImageList(imgMenu);
    tlbrTop->CreateToolbar(16, false, true, true);

    auto button = [this](const QString& key, const QString& caption, const QString& tip, int icon, int style) {
        tlbrTop->AddButton(tip, icon, 0, 0, caption, style, key);
    };
    auto separator = [this] { tlbrTop->AddButton(QString(), -1, 0, 0, QString(), 1, QString()); };

    if (on(g_lAppIncItemsLists)) {
        button("Add", "  Add File(s)  ", "Add Files(s) to The Items List", 2, 0);
        separator();
    }
    button("Items List", "Items List", "Items List", 39, 8);
    separator();

    // The one main-tool button, chosen by the edition's mode key alone.
    struct Mode {
        const char* modeKey;
        const char* key;
        const char* caption;
        int icon;
    };
    static const Mode modes[] = {
        {"lAppIncConverter", "Audio Converter", "Convert", 7},
        {"lAppIncJoin", "Audio Joiner", "Join", 64},
        {"lAppIncSplit", "Audio Splitter", "Splitter", 63},
        {"lAppIncEditor", "Audio Analyser", "Editor", 62},
        {"lAppIncMicRec", "Audio Recorder", "Recorder", 70},
        {"lAppIncAudioBurner", "Audio CD Maker", "Burn", 73},
        {"lAppIncCDRipper", "Audio CD Ripper", "CD Ripper", 25},
        {"lAppIncACMConverter", "ACM Converter", "Converter", 61},
        {"lAppIncMP3Burner", "MP3 CD Maker", "Burn MP3", 72},
        {"lAppIncWMABurner", "WMA CD Maker", "Burn WMA", 72},
        {"lAppIncTTS", "Text To Speech", "TTS", 82},
    };
    for (const Mode& m : modes) {
        if (g_sAppModeKey == QLatin1String(m.modeKey)) {
            button(m.key, m.caption, m.key, m.icon, 0);
            break;
        }
    }

    button("Tools", "Tools", "Tools", 19, 8);
    separator();
    button("Options", "Options", "Options", 9, 8);
    separator();
    button("Mode", "Mode", "Modes", 45, 8);
    button("Help", "Help", "Help", 12, 8);
    tlbrTop->setToolbarIndexOption(0, true);

    SetToolbarBackground(cToolbarHost1);
    cToolbarHost1->AttachToolbar(tlbrTop);
    twips::setHeight(cToolbarHost1, 740);
}

void FrmMain::BuildProjectsToolbar()
{
    tlbrProjects->setToolbarStyle(2);
    tlbrProjects->setToolbarStyleEx(0);
    tlbrProjects->setToolbarOption(true);
    tlbrProjects->SetImageList(imgMenu);
    tlbrProjects->CreateToolbar(16, false, true, true);
    for (const auto& [key, icon] : {std::pair<const char*, int>{"New Items List", 48},
                                    {"Rename Items List", 49},
                                    {"Remove Items List", 50},
                                    {nullptr, -1},
                                    {"Items List Properties", 51}}) {
        if (key)
            tlbrProjects->AddButton(QString::fromLatin1(key), icon, 0, 0, QString(), 0, QString::fromLatin1(key));
        else
            tlbrProjects->AddButton(QString(), -1, 0, 0, QString(), 1, QString());
    }
    tlbrProjects->setToolbarIndexOption(0, true);
    SetToolbarBackground(tlbrProjectsHost);
    tlbrProjectsHost->AttachToolbar(tlbrProjects);
}

void FrmMain::BuildListToolbar()
{
    tlbrList->setToolbarStyle(2);
    tlbrList->setToolbarStyleEx(0);
    tlbrList->setToolbarOption(true);
    tlbrList->SetImageList(imgMenu);
    tlbrList->CreateToolbar(16, false, true, true);

    struct Row {
        const char* key; // nullptr: a separator
        const char* tip;
        int icon;
        bool present;
    };
    const Row rows[] = {
        {"Add Files", "Add File(s)", 2, on(g_lAppIncItemsLists)},
        {nullptr, nullptr, -1, on(g_lAppIncItemsLists)},
        {"MarkUnmark All", "Mark/Unmark All", 74, true},
        {nullptr, nullptr, -1, true},
        {"Move Up", "Move Item Up", 0, true},
        {"Move Down", "Move Item Down", 1, true},
        {nullptr, nullptr, -1, true},
        {"Move To First", "Move Item To First", 80, true},
        {"Move To Last", "Move Item To Last", 81, true},
        {nullptr, nullptr, -1, true},
        {"Rename Item", "Edit Item", 32, true},
        {nullptr, nullptr, -1, true},
        {"Save As", "Save Item As", 5, true},
        {nullptr, nullptr, -1, true},
        {"Remove Item", "Remove Item", 3, true},
        {"Clear the List", "Remove All", 27, true},
        {nullptr, nullptr, -1, on(g_lAppIncCDRipper)},
        {"FreeDB", "Get FreeDB Information About CD", 22, on(g_lAppIncCDRipper)},
    };
    for (const Row& r : rows) {
        if (!r.present)
            continue;
        if (r.key)
            tlbrList->AddButton(QString::fromLatin1(r.tip), r.icon, 0, 0, QString(), 0, QString::fromLatin1(r.key));
        else
            tlbrList->AddButton(QString(), -1, 0, 0, QString(), 1, QString());
    }
    tlbrList->setToolbarListOption(true);
    tlbrList->setToolbarIndexOption(0, true);

    rbrList->setRebarStyle(1);
    rbrList->CreateRebar(picList);
    rbrList->AddBand(tlbrList->ToolbarHwnd(), QString(), false, false, QStringLiteral("Toolbar1"));
    rbrList->setRebarBandOption(0);
}

void FrmMain::BuildPlayerToolbar()
{
    tlbrPlayButtons->setToolbarStyle(2);
    tlbrPlayButtons->setToolbarStyleEx(0);
    tlbrPlayButtons->SetImageList(imgPlayer);
    tlbrPlayButtons->CreateToolbar(24, false, false, true);
    tlbrPlayButtons->AddButton(QStringLiteral("Play"), 0, 0, 0, QString(), 0, QStringLiteral("Play"));
    tlbrPlayButtons->AddButton(QStringLiteral("Pause"), 1, 0, 0, QString(), 2, QStringLiteral("Pause"));
    tlbrPlayButtons->AddButton(QStringLiteral("Stop"), 2, 0, 0, QString(), 0, QStringLiteral("Stop"));
    cToolbarHostPlayer->AttachToolbar(tlbrPlayButtons);
    twips::setHeight(cToolbarHostPlayer, 500);
}

// --- what the buttons do ---

void FrmMain::SendCommand(const QString& key)
{
    if (m_cMenu)
        m_cMenu_Click(m_cMenu->MenuIndexForKey(key));
}

void FrmMain::ShowPopupUnderButton(cToolbar* toolbar, int index, const QString& targetKey)
{
    double x = 0;
    double y = 0;
    toolbar->ButtonPosition(index, x, y);
    m_cMenu->ShowPopupMenu(x, y, 0, 0, 0, 0, true, m_cMenu->MenuIndexForKey(targetKey));
}

namespace {
// The popups of the top toolbar's drop-down buttons, named by one of their items.
QString popupTargetOf(const QString& key)
{
    if (key == QLatin1String("Items List"))
        return QStringLiteral("Save As");
    if (key == QLatin1String("Tools"))
        return QStringLiteral("Notes");
    if (key == QLatin1String("Options"))
        return QStringLiteral("ID3 Tags");
    if (key == QLatin1String("Mode"))
        return QStringLiteral("Transparent");
    if (key == QLatin1String("Help"))
        return QStringLiteral("About");
    return QString();
}

bool isMainToolKey(const QString& key)
{
    static const QStringList keys = {"Audio Converter", "ACM Converter",  "Audio Joiner",    "Audio Splitter",
                                     "Audio Analyser",  "Audio Recorder", "Audio CD Maker",  "Audio CD Ripper",
                                     "MP3 CD Maker",    "WMA CD Maker",   "Text To Speech"};
    return keys.contains(key);
}
} // namespace

void FrmMain::tlbrTop_ButtonClick(int index)
{
    const QString key = tlbrTop->ButtonKey(index);
    // The top toolbar carries no "On Top" button, so this reads unchecked and keeps the mode.
    if (key != QLatin1String("On Top") && tlbrTop->ButtonChecked(QStringLiteral("On Top")))
        SetOnTop(false);
    if (key == QLatin1String("Add")) {
        SendCommand(QStringLiteral("Add Files"));
        return;
    }
    if (isMainToolKey(key)) {
        SendCommand(key);
        return;
    }
    const QString target = popupTargetOf(key);
    if (!target.isEmpty())
        ShowPopupUnderButton(tlbrTop, index, target);
}

void FrmMain::tlbrTop_ButtonDropDown(int index)
{
    const QString target = popupTargetOf(tlbrTop->ButtonKey(index));
    if (!target.isEmpty())
        ShowPopupUnderButton(tlbrTop, index, target);
}

void FrmMain::tlbrList_ButtonClick(int index)
{
    SetOnTop(false);
    SendCommand(tlbrList->ButtonKey(index));
}

void FrmMain::tlbrProjects_ButtonClick(int index)
{
    SetOnTop(false);
    SendCommand(tlbrProjects->ButtonKey(index));
}

void FrmMain::tlbrRecorder_ButtonClick(int index)
{
    static const QStringList tools = {"Audio Converter", "ACM Converter",  "Audio Joiner",        "Audio Splitter",
                                      "Audio Analyser",  "Audio Recorder", "Audio CD Ripper",     "Audio CD Maker",
                                      "Audio CD Duplicator", "MP3 CD Maker", "WMA CD Maker", "Text To Speech"};
    const QString key = tlbrRecorder->ButtonKey(index);
    if (tools.contains(key))
        SendCommand(key);
}

void FrmMain::cStatusBar1_PanelClick(int index)
{
    const QString key = cStatusBar1->PanelKey(index);
    if (!key.isEmpty())
        SendCommand(key);
}
