#include "settings/frmOptions.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "components/audio/cAudioGraph.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cTabControl.h"
#include "components/controls/cTreeView.h"
#include "core/CommonLook.h"
#include "core/Dialogs.h"
#include "core/Edition.h"
#include "core/Formats.h"
#include "core/ItemsListText.h"
#include "core/MainWindowServices.h"
#include "core/PathNames.h"
#include "core/RunOnStart.h"
#include "core/Startup.h"
#include "core/TextFiles.h"
#include "core/ToolFrameServices.h"
#include "core/WindowHelpers.h"
#include "platform/Colors.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "platform/Shell.h"
#include "platform/Sound.h"
#include "settings/AppState.h"
#include "settings/Options.h"
#include "settings/SettingsWidgets.h"
#include "settings/StoredValues.h"
#include "settings/frmAudioProp.h"

namespace {

QPointer<FrmOptions>& ref()
{
    static QPointer<FrmOptions> p;
    return p;
}

QCheckBox* newCheck(const char* name, const QString& caption, QWidget* parent)
{
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

QLabel* newLabel(const char* name, const QString& caption, QWidget* parent)
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

LinkLabel* newLink(const char* name, const QString& caption, QWidget* parent)
{
    auto* l = new LinkLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

QPushButton* newButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QLineEdit* newText(const char* name, QWidget* parent)
{
    auto* t = new QLineEdit(parent);
    t->setObjectName(QString::fromLatin1(name));
    return t;
}

QFrame* newPage(const char* name, const QString& heading, QWidget* parent)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    auto* v = new QVBoxLayout(f);
    v->setContentsMargins(0, 0, 0, 0);
    auto* h = new QLabel(heading, f);
    QFont bold = h->font();
    bold.setBold(true);
    h->setFont(bold);
    v->addWidget(h);
    return f;
}

QString defaultListsFolderText() { return AppPath() + "/Main/"; }
QString defaultSoundPath() { return AppPath() + "/sound/notify.wav"; }

// The node after the first in tree order: the first list under the lists root.
cTreeNode secondNode(cTreeView* tree)
{
    cTreeNode first = tree->Nodes().NodeItem(1);
    if (!first)
        return {};
    if (first.ChildNodes().NodeCount() > 0)
        return first.ChildNodes().NodeItem(1);
    return tree->Nodes().NodeItem(2);
}

} // namespace

FrmOptions::FrmOptions(QWidget* parent)
    : QDialog(parent)
{
    setObjectName("frmOptions");
    setWindowTitle("Options");
    setModal(true);
    buildControls();
}

FrmOptions::~FrmOptions() = default;

QStringList FrmOptions::pageKeys() { return {"General", "Events", "View", "ID3 Tags", "Advanced"}; }

void FrmOptions::buildControls()
{
    auto* root = new QVBoxLayout(this);

    picTitle = new QWidget(this);
    picTitle->setObjectName("picTitle");
    picTitle->setAutoFillBackground(true);
    picTitle->setMinimumHeight(25);
    auto* titleRow = new QHBoxLayout(picTitle);
    titleRow->setContentsMargins(8, 4, 8, 4);
    lblTitle = newLabel("lblTitle", "General", picTitle);
    QFont tf = lblTitle->font();
    tf.setBold(true);
    tf.setPointSizeF(9.75);
    lblTitle->setFont(tf);
    titleRow->addWidget(lblTitle);
    titleRow->addStretch();
    root->addWidget(picTitle);

    auto* body = new QHBoxLayout;
    cTreeView1 = new cTreeView(this);
    cTreeView1->setObjectName("cTreeView1");
    cTreeView1->setFixedWidth(150);
    body->addWidget(cTreeView1);
    body->addSpacing(TwipsToPixels(200));
    auto* pages = new QGridLayout;
    body->addLayout(pages, 1);
    root->addLayout(body, 1);

    // General
    froGeneral = newPage("froGeneral", "General Properties:", this);
    {
        auto* v = static_cast<QVBoxLayout*>(froGeneral->layout());
        v->addWidget(new QLabel("Default File Name Format:", froGeneral));
        auto* row = new QHBoxLayout;
        cboFileName = new QComboBox(froGeneral);
        cboFileName->setObjectName("cboFileName");
        cboFileName->addItems(DesignFileNameTemplates());
        cboFileName->setCurrentIndex(-1);
        row->addWidget(cboFileName, 1);
        lblParameters = newLink("lblParameters", "Parameters", froGeneral);
        row->addWidget(lblParameters);
        v->addLayout(row);
        v->addWidget(new QLabel("Default Audio Format:", froGeneral));
        row = new QHBoxLayout;
        cboTargetFormat = new QComboBox(froGeneral);
        cboTargetFormat->setObjectName("cboTargetFormat");
        row->addWidget(cboTargetFormat, 1);
        cmdEditTargetFormat = newButton("cmdEditTargetFormat", "Edit", froGeneral);
        cmdEditTargetFormat->setToolTip("Edit Target Audio Formats");
        row->addWidget(cmdEditTargetFormat);
        v->addLayout(row);
        chkGoToNextItem = newCheck("chkGoToNextItem", "Go to next item when done playing an item", froGeneral);
        chkClearOnExit = newCheck("chkClearOnExit", "Clear the 'Items List' on exit", froGeneral);
        chkSelectTheLastItem = newCheck("chkSelectTheLastItem", "Auto select the last Item", froGeneral);
        chkAutoFreeDB = newCheck("chkAutoFreeDB", "Open the FreeDB service automatically", froGeneral);
        chkAutoFreeDB->setVisible(false);
        for (QWidget* w : {chkGoToNextItem, chkClearOnExit, chkSelectTheLastItem, chkAutoFreeDB})
            v->addWidget(w);
        lblMoreAdvancedOptions = newLink("lblMoreAdvancedOptions", "More advanced options...", froGeneral);
        v->addWidget(lblMoreAdvancedOptions);
        v->addStretch();
    }

    // Events
    froEvents = newPage("froEvents", "Default Events When Done:", this);
    {
        auto* v = static_cast<QVBoxLayout*>(froEvents->layout());
        chkPlaySound = newCheck("chkPlaySound", "Play sound", froEvents);
        v->addWidget(chkPlaySound);
        auto* row = new QHBoxLayout;
        txtPlayAtEnd = newText("txtPlayAtEnd", froEvents);
        txtPlayAtEnd->setReadOnly(true);
        row->addWidget(txtPlayAtEnd, 1);
        cmdAddSound = newButton("cmdAddSound", "Add", froEvents);
        cmdTestSound = newButton("cmdTestSound", "Test", froEvents);
        row->addWidget(cmdAddSound);
        row->addWidget(cmdTestSound);
        v->addLayout(row);
        chkNoticeApp = newCheck("chkNoticeApp", "Execute external application", froEvents);
        v->addWidget(chkNoticeApp);
        txtAppNotice = new QPlainTextEdit(froEvents);
        txtAppNotice->setObjectName("txtAppNotice");
        txtAppNotice->setMaximumHeight(60);
        v->addWidget(txtAppNotice);
        row = new QHBoxLayout;
        lblNoticParameters = newLink("lblNoticParameters", "Parameters", froEvents);
        row->addWidget(lblNoticParameters);
        row->addStretch();
        cmdTestApp = newButton("cmdTestApp", "Test", froEvents);
        row->addWidget(cmdTestApp);
        v->addLayout(row);
        chkOpenDestFolder = newCheck("chkOpenDestFolder", "Open the destination folder", froEvents);
        chkTurnOffComputer = newCheck("chkTurnOffComputer", "Turn off computer", froEvents);
        v->addWidget(chkOpenDestFolder);
        v->addWidget(chkTurnOffComputer);
        v->addStretch();
    }

    // View
    froView = newPage("froView", "Program View:", this);
    {
        auto* v = static_cast<QVBoxLayout*>(froView->layout());
        auto* grid = new QGridLayout;
        chkDisplayTitle = newCheck("chkDisplayTitle", "Display Title", froView);
        chkDisplayPlayer = newCheck("chkDisplayPlayer", "Display player", froView);
        chkDisplayAudioGraph = newCheck("chkDisplayAudioGraph", "Display the 'Audio Graph'", froView);
        chkDisplayGridHotTrack = newCheck("chkDisplayGridHotTrack", "Display grid hot track", froView);
        chkDisplayGridLine = newCheck("chkDisplayGridLine", "Display grid lines", froView);
        chkMenuXPStyle = newCheck("chkMenuXPStyle", "Advanced menus style", froView);
        grid->addWidget(chkDisplayTitle, 0, 0);
        grid->addWidget(chkDisplayPlayer, 1, 0);
        grid->addWidget(chkDisplayAudioGraph, 2, 0);
        grid->addWidget(chkDisplayGridHotTrack, 0, 1);
        grid->addWidget(chkDisplayGridLine, 1, 1);
        grid->addWidget(chkMenuXPStyle, 2, 1);
        v->addLayout(grid);
        auto* colours = new QGridLayout;
        lblAppColor = newLabel("lblAppColor", "Application Color", froView);
        lblFontColor = newLabel("lblFontColor", "Text Color", froView);
        picColor = new ColorBox(froView);
        picColor->setObjectName("picColor");
        picTextColor = new ColorBox(froView);
        picTextColor->setObjectName("picTextColor");
        for (ColorBox* b : {picColor, picTextColor})
            b->setFixedSize(60, 24);
        colours->addWidget(lblAppColor, 0, 0);
        colours->addWidget(picColor, 1, 0);
        colours->addWidget(lblFontColor, 0, 1);
        colours->addWidget(picTextColor, 1, 1);
        colours->setColumnStretch(2, 1);
        v->addLayout(colours);
        v->addStretch();
    }

    // Default ID3 Tags
    froTags = newPage("froTags", "Default ID3 Tags:", this);
    {
        auto* v = static_cast<QVBoxLayout*>(froTags->layout());
        auto* row = new QHBoxLayout;
        chkCopyID3FromSource = newCheck("chkCopyID3FromSource", "Copy the ID3 tags from source file", froTags);
        row->addWidget(chkCopyID3FromSource);
        row->addStretch();
        lblID3TagParameters = newLink("lblID3TagParameters", "Parameters", froTags);
        row->addWidget(lblID3TagParameters);
        v->addLayout(row);
        auto* grid = new QGridLayout;
        lblTagArtist = newLabel("lblTagArtist", "Artist:", froTags);
        txtTagArtist = newText("txtTagArtist", froTags);
        lblTagSong = newLabel("lblTagSong", "Song:", froTags);
        txtTagSong = newText("txtTagSong", froTags);
        lblTagAlbum = newLabel("lblTagAlbum", "Album:", froTags);
        txtTagAlbum = newText("txtTagAlbum", froTags);
        lblTagGenre = newLabel("lblTagGenre", "Genre:", froTags);
        txtTagGenre = newText("txtTagGenre", froTags);
        lblTagTrack = newLabel("lblTagTrack", "Track:", froTags);
        txtTagTrack = newText("txtTagTrack", froTags);
        lblTagYear = newLabel("lblTagYear", "Year:", froTags);
        txtTagYear = newText("txtTagYear", froTags);
        lblTagComment = newLabel("lblTagComment", "Comment:", froTags);
        txtTagComment = new QPlainTextEdit(froTags);
        txtTagComment->setObjectName("txtTagComment");
        grid->addWidget(lblTagArtist, 0, 0, 1, 2);
        grid->addWidget(txtTagArtist, 1, 0, 1, 2);
        grid->addWidget(lblTagSong, 2, 0);
        grid->addWidget(lblTagAlbum, 2, 1);
        grid->addWidget(txtTagSong, 3, 0);
        grid->addWidget(txtTagAlbum, 3, 1);
        grid->addWidget(lblTagGenre, 4, 0);
        grid->addWidget(lblTagTrack, 4, 1);
        grid->addWidget(txtTagGenre, 5, 0);
        grid->addWidget(txtTagTrack, 5, 1);
        grid->addWidget(lblTagYear, 6, 0);
        grid->addWidget(txtTagYear, 7, 0);
        grid->addWidget(lblTagComment, 8, 0, 1, 2);
        grid->addWidget(txtTagComment, 9, 0, 1, 2);
        v->addLayout(grid, 1);
    }

    // Advanced
    froAdvanced = newPage("froAdvanced", "Advanced Properties:", this);
    {
        auto* v = static_cast<QVBoxLayout*>(froAdvanced->layout());
        v->addWidget(new QLabel("Items List Main Directory:", froAdvanced));
        auto* row = new QHBoxLayout;
        txtToPath = new QComboBox(froAdvanced);
        txtToPath->setObjectName("txtToPath");
        txtToPath->setEditable(true);
        txtToPath->setInsertPolicy(QComboBox::NoInsert);
        row->addWidget(txtToPath, 1);
        cmdSelectPath = newButton("cmdSelectPath", "...", froAdvanced);
        cmdSelectPath->setToolTip("Select a new directory");
        cmdSelectPath->setFixedWidth(32);
        row->addWidget(cmdSelectPath);
        v->addLayout(row);
        lblOpenDestinationDestinationFolder =
            newLink("lblOpenDestinationDestinationFolder", "Open destination folder", froAdvanced);
        v->addWidget(lblOpenDestinationDestinationFolder);
        chkDisplayMSGWhenErase =
            newCheck("chkDisplayMSGWhenErase", "Display a confirmation message when erasing an item", froAdvanced);
        chkDisplayMSGWhenExit =
            newCheck("chkDisplayMSGWhenExit", "Display a confirmation message when exiting the program", froAdvanced);
        chkSaveLogWhenExit =
            newCheck("chkSaveLogWhenExit", "Save the 'Log' to a text file when exiting the program", froAdvanced);
        chkRunWhenWinStarts =
            newCheck("chkRunWhenWinStarts", "Run this program when windows is started", froAdvanced);
        chkAutoUpdate = newCheck("chkAutoUpdate", "Auto check for new updates", froAdvanced);
        chkDisplayLiveUpdateWindow =
            newCheck("chkDisplayLiveUpdateWindow", "Display the Live Update window", froAdvanced);
        chkAutoUpdate->setVisible(false);
        chkDisplayLiveUpdateWindow->setVisible(false);
        for (QWidget* w : {static_cast<QWidget*>(chkDisplayMSGWhenErase), static_cast<QWidget*>(chkDisplayMSGWhenExit),
                           static_cast<QWidget*>(chkSaveLogWhenExit), static_cast<QWidget*>(chkRunWhenWinStarts),
                           static_cast<QWidget*>(chkAutoUpdate), static_cast<QWidget*>(chkDisplayLiveUpdateWindow)})
            v->addWidget(w);
        v->addStretch();
    }

    for (QFrame* f : {froGeneral, froEvents, froView, froTags, froAdvanced}) {
        pages->addWidget(f, 0, 0);
        f->setVisible(false);
    }
    froGeneral->setVisible(true);

    // The device list has no entries; it only carries its stored value.
    cboDevices = new QComboBox(this);
    cboDevices->setObjectName("cboDevices");
    cboDevices->setVisible(false);
    lblAudioDevice = newLabel("lblAudioDevice", "Record From:", this);
    lblAudioDevice->setVisible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    cmdCancel = newButton("cmdCancel", "Cancel", this);
    cmdOk = newButton("cmdOk", "OK", this);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdOk);
    root->addLayout(buttons);
    resize(620, 440);

    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdAddSound, &QPushButton::clicked, this, [this] { cmdAddSound_Click(); });
    connect(cmdTestSound, &QPushButton::clicked, this, [this] { cmdTestSound_Click(); });
    connect(cmdTestApp, &QPushButton::clicked, this, [this] { cmdTestApp_Click(); });
    connect(lblNoticParameters, &LinkLabel::clicked, this, [this] { lblNoticParameters_Click(); });
    connect(lblParameters, &LinkLabel::clicked, this, [this] { lblParameters_Click(); });
    connect(lblID3TagParameters, &LinkLabel::clicked, this, [this] { lblID3TagParameters_Click(); });
    connect(lblMoreAdvancedOptions, &LinkLabel::clicked, this, [this] { lblMoreAdvancedOptions_Click(); });
    connect(cmdEditTargetFormat, &QPushButton::clicked, this, [this] { cmdEditTargetFormat_Click(); });
    connect(cmdSelectPath, &QPushButton::clicked, this, [this] { cmdSelectPath_Click(); });
    connect(lblOpenDestinationDestinationFolder, &LinkLabel::clicked, this,
            [this] { lblOpenDestinationDestinationFolder_Click(); });
    connect(picColor, &ColorBox::clicked, this, [this] { picColor_Click(); });
    connect(picTextColor, &ColorBox::clicked, this, [this] { picTextColor_Click(); });
    // The enable rules follow every change of their box, by the user or by GetOptions.
    connect(chkPlaySound, &QCheckBox::stateChanged, this, [this] { EnablePlaySoundBoxes(); });
    connect(chkNoticeApp, &QCheckBox::stateChanged, this, [this] { EnableNoticeAppBoxes(); });
    connect(chkCopyID3FromSource, &QCheckBox::stateChanged, this, [this] { EnableTagBoxes(); });
}

void FrmOptions::Form_Load()
{
    // 1. View colours.
    bool ok = false;
    const qint64 back = g_sViewBackColor.trimmed().toLongLong(&ok);
    if (ok && back >= 0 && back <= 0xFFFFFF) {
        const quint32 c = quint32(back);
        SetBackColor(this, c);
        // The check boxes are transparent: they show their page's colour.
        for (QWidget* w : {froGeneral, froEvents, froView, froTags, froAdvanced})
            SetBackColor(w, c);
    }
    chkAutoFreeDB->setVisible(g_lAppIncCDRipper == 1);
    // 2. View pictures.
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(froGeneral),
                       static_cast<QWidget*>(froEvents), static_cast<QWidget*>(froView),
                       static_cast<QWidget*>(froTags), static_cast<QWidget*>(froAdvanced)})
        SetViewPicture(w, g_sViewFormPicture);
    SetViewPicture(picTitle, g_sViewTitlePicture);
    // 3. Icon.
    SetFormIcon(this, "gears", true);
    // 4. The store's registry object.
    m_reg.setHkey(HKEY_LOCAL_MACHINE);
    m_reg.setKeyRoot(MachineKeyRoot());
    // 6 to 8.
    LoadFileNameFormats();
    LoadPathHistory(txtToPath);
    if (txtToPath->currentText().isEmpty())
        txtToPath->setEditText(defaultListsFolderText());
    // 9, 10.
    SetOptionsTree();
    FillDestinationFormats(cboTargetFormat);
    // 11 to 13.
    GetOptions();
    cTreeView1_NodeClick(cTreeView1->Nodes().NodeItem(1));
    EnablePlaySoundBoxes();
    EnableNoticeAppBoxes();
    EnableTagBoxes();
}

void FrmOptions::LoadFileNameFormats()
{
    if (LoadFileNameTemplates(cboFileName))
        cboFileName->setCurrentIndex(-1);
}

void FrmOptions::SetOptionsTree()
{
    struct PageNode {
        const char* key;
        const char* text;
        int icon;
        QStyle::StandardPixmap picture;
    };
    static const PageNode nodes[] = {{"General", "General", 9, QStyle::SP_FileDialogDetailedView},
                                     {"Events", "Events", 10, QStyle::SP_MessageBoxInformation},
                                     {"View", "View", 11, QStyle::SP_DesktopIcon},
                                     {"ID3 Tags", "Default ID3 Tags", 6, QStyle::SP_FileIcon},
                                     {"Advanced", "Advanced", 59, QStyle::SP_ComputerIcon}};
    imgMenu = new cImageList(this);
    imgMenu->setObjectName("imgMenu");
    QStyle* st = style();
    for (const PageNode& n : nodes)
        imgMenu->setImage(n.icon, st->standardIcon(n.picture));
    cTreeView1->setImageList(imgMenu);
    bool first = true;
    for (const PageNode& n : nodes) {
        cTreeView1->Nodes().AddNode(cTreeNode(), first ? 0 : 2, n.key, n.text, n.icon, -1);
        first = false;
    }
    connect(cTreeView1, &cTreeView::NodeClick, this, [this](const cTreeNode& node) { cTreeView1_NodeClick(node); });
    connect(cTreeView1, &cTreeView::NodeSelectionChange, this, [this] { cTreeView1_NodeSelectionChange(); });
}

QFrame* FrmOptions::pageForKey(const QString& key) const
{
    if (key == "General") return froGeneral;
    if (key == "Events") return froEvents;
    if (key == "View") return froView;
    if (key == "ID3 Tags") return froTags;
    if (key == "Advanced") return froAdvanced;
    return nullptr;
}

void FrmOptions::HideOptionPages()
{
    for (QFrame* f : {froGeneral, froEvents, froView, froTags, froAdvanced})
        f->setVisible(false);
}

void FrmOptions::cTreeView1_NodeClick(cTreeNode node)
{
    if (!node)
        return;
    HideOptionPages();
    if (QFrame* page = pageForKey(node.NodeKey()))
        page->setVisible(true);
    node.setNodeSelected(true);
    lblTitle->setText(node.NodeText());
}

void FrmOptions::cTreeView1_NodeSelectionChange()
{
    if (cTreeNode node = cTreeView1->SelectedNode())
        cTreeView1_NodeClick(node);
}

void FrmOptions::ShowPage(const QString& key)
{
    cTreeNode node = cTreeView1->Nodes().NodeItem(key);
    if (!node)
        return;
    node.setNodeSelected(true);
    cTreeView1_NodeClick(node);
}

void FrmOptions::setPlayAtEnd(const QString& path)
{
    txtPlayAtEnd->setProperty("Tag", path);
    txtPlayAtEnd->setText(GetFileNameFromPath(path));
    txtPlayAtEnd->setToolTip(path);
}

void FrmOptions::defaultListsFolder()
{
    txtToPath->setEditText(defaultListsFolderText());
    if (!QFileInfo(txtToPath->currentText()).isDir())
        CreateFolderPath(txtToPath->currentText());
    SavePathHistory(txtToPath);
    LoadPathHistory(txtToPath);
}

void FrmOptions::GetOptions()
{
    const auto value = [this](const char* name) { return m_reg.GetRegistryValue(QString::fromLatin1(name)); };
    const auto check = [&](QCheckBox* box, bool& variable) {
        stored::setCheckValue(box, value(box->objectName().toLatin1().constData()));
        variable = stored::checkValue(box) != 0;
    };

    m_reg.setSubkey("General");
    // 1. The device list has no entries: only -1 can be taken.
    stored::setPosition(cboDevices, value("cboDevices"));
    g_lDeviceIndex = cboDevices->currentIndex();
    // 2.
    const QString target = value("cboTargetFormat").toString();
    if (!target.isEmpty()) {
        stored::selectEntry(cboTargetFormat, target);
        g_sTargetFormat = cboTargetFormat->currentText();
    }
    // 3, 4.
    txtToPath->setEditText(value("txtToPath").toString());
    check(chkSelectTheLastItem, g_bSelectTheLastItem);
    check(chkAutoFreeDB, g_bAutoFreeDB);
    // 5, 6.
    if (txtToPath->currentText().isEmpty())
        defaultListsFolder();
    g_sItemsListDir = txtToPath->currentText();
    // 7.
    stored::selectEntry(cboFileName, value("cboFileName").toString());
    g_sFileNameFormat = cboFileName->currentText();
    // 8.
    check(chkSaveLogWhenExit, g_bSaveLogWhenExit);
    check(chkDisplayMSGWhenExit, g_bDisplayMSGWhenExit);
    check(chkDisplayMSGWhenErase, g_bDisplayMSGWhenErase);
    check(chkGoToNextItem, g_bGoToNextItem);
    check(chkDisplayPlayer, g_bDisplayPlayer);
    check(chkClearOnExit, g_bClearOnExit);
    check(chkDisplayAudioGraph, g_bDisplayAudioGraph);
    check(chkMenuXPStyle, g_bMenuXPStyle);
    check(chkDisplayGridHotTrack, g_bDisplayGridHotTrack);
    check(chkDisplayTitle, g_bDisplayTitle);
    check(chkDisplayGridLine, g_bDisplayGridLine);
    // 9.
    if (const auto c = stored::toColor(value("picColor")))
        picColor->setBackColor(*c);
    g_lAppColor = picColor->BackColor();
    if (const auto c = stored::toColor(value("picTextColor")))
        picTextColor->setBackColor(*c);
    g_lTextColor = picTextColor->BackColor();
    SetBackColor(picTitle, picColor->BackColor());
    SetForeColor(lblTitle, g_lTextColor);
    // 10, 11.
    chkRunWhenWinStarts->setChecked(IsRunOnStart());
    check(chkDisplayLiveUpdateWindow, g_bDisplayLiveUpdateWindow);
    check(chkAutoUpdate, g_bAutoUpdate);

    m_reg.setSubkey("Events");
    // 12.
    check(chkOpenDestFolder, g_bOpenDestFolder);
    check(chkTurnOffComputer, g_bTurnOffComputer);
    check(chkPlaySound, g_bPlaySound);
    // 13.
    setPlayAtEnd(value("txtPlayAtEnd").toString());
    if (txtPlayAtEnd->text().isEmpty())
        setPlayAtEnd(defaultSoundPath());
    g_sPlayAtEnd = txtPlayAtEnd->property("Tag").toString();
    // 14.
    check(chkNoticeApp, g_bNoticeApp);
    txtAppNotice->setPlainText(value("txtAppNotice").toString());
    g_sAppNotice = txtAppNotice->toPlainText();

    m_reg.setSubkey("ID3 Tags");
    // 15. Copying the source's tags is the default.
    const QVariant copy = value("chkCopyID3FromSource");
    if (copy.toString().isEmpty())
        chkCopyID3FromSource->setCheckState(Qt::Checked);
    else
        stored::setCheckValue(chkCopyID3FromSource, copy);
    g_bCopyID3FromSource = stored::checkValue(chkCopyID3FromSource) != 0;
    // 16.
    const std::pair<QLineEdit*, QString*> tags[] = {
        {txtTagArtist, &g_sTagArtist}, {txtTagSong, &g_sTagSong},   {txtTagAlbum, &g_sTagAlbum},
        {txtTagTrack, &g_sTagTrack},   {txtTagGenre, &g_sTagGenre}, {txtTagYear, &g_sTagYear},
    };
    for (const auto& [box, variable] : tags) {
        box->setText(value(box->objectName().toLatin1().constData()).toString());
        *variable = box->text();
    }
    txtTagComment->setPlainText(value("txtTagComment").toString());
    g_sTagComment = txtTagComment->toPlainText();
}

void FrmOptions::storeValue(const QString& name, const QString& text)
{
    if (!m_reg.SetRegistryValue(name, text, REG_SZ)) {
        const QString key = m_reg.keyPath();
        if (!m_failedWrites.contains(key))
            m_failedWrites << key;
    }
}

void FrmOptions::reportFailedWrites()
{
    MsgBox("The options could not be saved. These settings keys cannot be written:\r\n\r\n" +
               m_failedWrites.join("\r\n") +
               "\r\n\r\nYour changes are still in the Options dialog: press OK to try again, or Cancel to "
               "go back to the saved options.",
           vbExclamation | vbOKOnly, QString(), this);
}

void FrmOptions::cmdOk_Click()
{
    // The default tags go into list records: a text holding list markup
    // would not read back as typed, so it is refused here, nothing stored.
    const std::pair<QWidget*, QString> typedTags[] = {
        {txtTagArtist, txtTagArtist->text()}, {txtTagSong, txtTagSong->text()},
        {txtTagAlbum, txtTagAlbum->text()},   {txtTagGenre, txtTagGenre->text()},
        {txtTagTrack, txtTagTrack->text()},   {txtTagYear, txtTagYear->text()},
        {txtTagComment, txtTagComment->toPlainText()},
    };
    for (const auto& [box, text] : typedTags)
        if (!CheckItemsListText(text, this)) {
            ShowPage(QStringLiteral("ID3 Tags"));
            box->setFocus();
            return;
        }
    m_failedWrites.clear();
    const auto putCheck = [this](QCheckBox* box) { storeValue(box->objectName(), stored::checkText(box)); };

    // A lists folder is compared and used only in its complete form: never
    // empty, always ending with "/".
    if (txtToPath->currentText().isEmpty())
        defaultListsFolder();
    else if (!txtToPath->currentText().endsWith('/'))
        txtToPath->setEditText(txtToPath->currentText() + '/');

    m_reg.setSubkey("General");
    // 1, 2.
    for (QCheckBox* box : {chkClearOnExit, chkDisplayAudioGraph, chkMenuXPStyle, chkSelectTheLastItem, chkAutoFreeDB,
                           chkDisplayPlayer, chkDisplayGridHotTrack, chkDisplayTitle, chkDisplayGridLine})
        putCheck(box);
    storeValue("picColor", QString::number(picColor->BackColor()));
    storeValue("picTextColor", QString::number(picTextColor->BackColor()));
    storeValue("cboDevices", QString::number(cboDevices->currentIndex()));
    storeValue("cboTargetFormat", cboTargetFormat->currentText());
    // 3. A new lists folder rebuilds the tree and selects its first list.
    MainWindowServices* main = mainWindow();
    if (txtToPath->currentText() != g_sItemsListDir) {
        g_sItemsListDir = txtToPath->currentText();
        if (main) {
            main->setTree();
            if (main->cTreeView1) {
                secondNode(main->cTreeView1).setNodeSelected(true);
                // The grid must show the list now selected, or edits made
                // there would be written to the wrong list.
                main->LoadSelectedNode();
            }
        }
    } else {
        g_sItemsListDir = txtToPath->currentText();
    }
    // 4.
    storeValue("txtToPath", txtToPath->currentText());
    storeValue("cboFileName", cboFileName->currentText());
    // 5. Every OK rewrites or removes the start-at-logon entry.
    const bool run = chkRunWhenWinStarts->isChecked();
    const long result = SetRunOnStart(run);
    if (run ? result != 1 : (result != 0 && result != 2))
        m_failedWrites << RunOnStartFile();
    // 6.
    for (QCheckBox* box : {chkSaveLogWhenExit, chkDisplayMSGWhenExit, chkDisplayMSGWhenErase, chkGoToNextItem,
                           chkDisplayLiveUpdateWindow, chkAutoUpdate})
        putCheck(box);
    // 7.
    m_reg.setSubkey("Events");
    putCheck(chkOpenDestFolder);
    putCheck(chkTurnOffComputer);
    putCheck(chkPlaySound);
    storeValue("txtPlayAtEnd", txtPlayAtEnd->property("Tag").toString());
    putCheck(chkNoticeApp);
    storeValue("txtAppNotice", txtAppNotice->toPlainText());
    // 8.
    m_reg.setSubkey("ID3 Tags");
    putCheck(chkCopyID3FromSource);
    for (QLineEdit* box : {txtTagArtist, txtTagSong, txtTagAlbum, txtTagGenre, txtTagTrack, txtTagYear})
        storeValue(box->objectName(), box->text());
    storeValue("txtTagComment", txtTagComment->toPlainText());

    if (!m_failedWrites.isEmpty()) {
        // Re-reading now would throw the user's edits away.
        reportFailedWrites();
        return;
    }
    // 9 to 12.
    GetOptions();
    g_sItemsListDir = txtToPath->currentText();
    if (main) {
        main->Form_Resize();
        if (main->cGrid1) {
            main->cGrid1->setHotTrack(g_bDisplayGridHotTrack);
            main->cGrid1->setGridLines(g_bDisplayGridLine);
        }
    }
    // 13.
    close();
}

void FrmOptions::cmdCancel_Click()
{
    GetOptions();
    close();
}

void FrmOptions::reject()
{
    // Escape acts as the close box: nothing stored, nothing re-read.
    close();
}

void FrmOptions::closeEvent(QCloseEvent* event)
{
    platform::stopSound();
    if (!g_bAppClosing) {
        event->ignore();
        hide();
        return;
    }
    QDialog::closeEvent(event);
}

void FrmOptions::Form_Resize()
{
    cmdOk->setFocus();
}

void FrmOptions::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    Form_Resize();
}

void FrmOptions::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Form_Resize();
}

void FrmOptions::EnablePlaySoundBoxes()
{
    const bool on = chkPlaySound->checkState() == Qt::Checked;
    for (QWidget* w : {static_cast<QWidget*>(txtPlayAtEnd), static_cast<QWidget*>(cmdAddSound),
                       static_cast<QWidget*>(cmdTestSound)})
        w->setEnabled(on);
}

void FrmOptions::EnableNoticeAppBoxes()
{
    const bool on = chkNoticeApp->checkState() == Qt::Checked;
    txtAppNotice->setEnabled(on);
    cmdTestApp->setEnabled(on);
}

void FrmOptions::EnableTagBoxes()
{
    const bool copying = chkCopyID3FromSource->checkState() == Qt::Checked;
    for (QWidget* w : {static_cast<QWidget*>(lblTagArtist), static_cast<QWidget*>(txtTagArtist),
                       static_cast<QWidget*>(lblTagSong), static_cast<QWidget*>(txtTagSong),
                       static_cast<QWidget*>(lblTagAlbum), static_cast<QWidget*>(txtTagAlbum),
                       static_cast<QWidget*>(lblTagGenre), static_cast<QWidget*>(txtTagGenre),
                       static_cast<QWidget*>(lblTagTrack), static_cast<QWidget*>(txtTagTrack),
                       static_cast<QWidget*>(lblTagYear), static_cast<QWidget*>(txtTagYear),
                       static_cast<QWidget*>(lblTagComment), static_cast<QWidget*>(txtTagComment)})
        w->setEnabled(!copying);
}

// ---- Pickers, tests and links ----

void FrmOptions::cmdAddSound_Click()
{
    g_OpenFileName.lpstrFilter = QStringLiteral("media files (*.wav; *.mp3)") + QChar(0) + "*.wav; *.mp3" + QChar(0) +
                                 "mp3 (*.mp3)" + QChar(0) + "*.mp3" + QChar(0) + "wav (*.wav)" + QChar(0) + "*.wav" +
                                 QChar(0);
    g_OpenFileName.lpstrTitle = QStringLiteral("Select files");
    const FileDialogResult r = ShowOpen(this, true);
    if (r.bCanceled || r.iFileCount < 1)
        return;
    QString folder = r.sFolder;
    if (!folder.endsWith('/'))
        folder += '/';
    setPlayAtEnd(folder + r.sFiles.value(1));
}

void FrmOptions::cmdTestSound_Click()
{
    platform::playSoundAsync(txtPlayAtEnd->property("Tag").toString());
}

void FrmOptions::cmdTestApp_Click()
{
    // The command line runs as typed, placeholders and all; no shell is involved.
    const QStringList parts = QProcess::splitCommand(txtAppNotice->toPlainText());
    if (parts.isEmpty())
        return;
    platform::startProgram(parts.first(), parts.mid(1));
}

void FrmOptions::lblNoticParameters_Click() { ShowProgParameters(0, this); }
void FrmOptions::lblID3TagParameters_Click() { ShowProgParameters(1, this); }
void FrmOptions::lblParameters_Click() { ShowProgParameters(2, this); }

void FrmOptions::lblMoreAdvancedOptions_Click()
{
    cTreeView1_NodeClick(cTreeView1->Nodes().NodeItem(QStringLiteral("Advanced")));
}

void FrmOptions::cmdEditTargetFormat_Click()
{
    FrmAudioProp* formats = g_frmAudioProp();
    const QString key = cboTargetFormat->currentText().left(3);
    formats->cTabControl1->SelectTab(key);
    formats->cTabControl1_TabClick(formats->cTabControl1->TabIndexForKey(key));
    formats->exec();
}

void FrmOptions::cmdSelectPath_Click() { ChoosePathHistoryFolder(txtToPath, this); }

void FrmOptions::lblOpenDestinationDestinationFolder_Click()
{
    if (!txtToPath->currentText().endsWith('/'))
        txtToPath->setEditText(txtToPath->currentText() + '/');
    if (OpenFolderOfferingToCreate(txtToPath->currentText(), QString(), this)) {
        SavePathHistory(txtToPath);
        LoadPathHistory(txtToPath);
    }
}

void FrmOptions::picColor_Click() { pickColor(picColor, false); }

void FrmOptions::picTextColor_Click() { pickColor(picTextColor, true); }

void FrmOptions::pickColor(ColorBox* box, bool textColor)
{
    const qint64 color = ShowColor(this, false);
    if (color == -1)
        return;
    const quint32 bgr = quint32(color) & 0xFFFFFF;
    box->setBackColor(bgr);
    if (textColor)
        SetForeColor(lblTitle, bgr);
    else
        SetBackColor(picTitle, bgr);
    m_reg.setSubkey("Display");
    if (!m_reg.SetRegistryValue(box->objectName(), QString::number(bgr), REG_SZ))
        MsgBox("The colour could not be saved: the settings key " + m_reg.keyPath() + " cannot be written.",
               vbExclamation | vbOKOnly, QString(), this);
    // The main window takes the colour at once: its title strip and both graphs.
    if (MainWindowServices* main = mainWindow()) {
        if (textColor)
            SetForeColor(main->lblTitle, bgr);
        else
            SetBackColor(main->picTitle, bgr);
        for (cAudioGraph* graph : {main->cAudioGraphAmp, main->cAudioGraphFreq}) {
            if (!graph)
                continue;
            if (textColor)
                graph->setGraphTextColor(long(bgr));
            else
                graph->setGraphBackColor(long(bgr));
        }
    }
}

// ---- The single instance ----

FrmOptions* frmOptions()
{
    if (!ref()) {
        ref() = new FrmOptions;
        ref()->Form_Load();
    }
    return ref();
}

bool frmOptionsLoaded() { return !ref().isNull(); }

void UnloadOptions()
{
    if (FrmOptions* w = ref().data()) {
        platform::stopSound();
        delete w;
    }
}
