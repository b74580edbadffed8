#include "toolframe/ToolWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <iterator>

#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTabControl.h"
#include "core/CommonLook.h"
#include "core/Dialogs.h"
#include "core/Edition.h"
#include "core/Formats.h"
#include "core/MainWindowServices.h"
#include "core/PathNames.h"
#include "core/RegistryRoutines.h"
#include "core/Shutdown.h"
#include "core/TextFiles.h"
#include "core/TimeText.h"
#include "core/WindowHelpers.h"
#include "lists/ItemRow.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "platform/Shell.h"
#include "platform/Sound.h"
#include "settings/Options.h"
#include "settings/SettingsWidgets.h"
#include "toolframe/JobParameters.h"
#include "toolframe/NameMacros.h"
#include "toolframe/OptionsAccess.h"
#include "toolframe/TimeLeft.h"
#include "toolframe/frmProgParameters.h"

namespace {

// The frame's size and the places of its parts, in pixels.
constexpr int kWidth = 640;
constexpr int kHeight = 610;
constexpr int kTitleHeight = 30;
constexpr int kGridTop = 36;
constexpr int kGridHeight = 170;
constexpr int kTabTop = kGridTop + kGridHeight + 6;
constexpr int kTabHeight = 250;

// The tool grid's columns: the item row's keys in the item row's order (rows
// are copied into it by position), with the tool windows' headers and widths.
struct ToolColumn {
    const QString& key;
    const char* header; // null: a hidden column, headed by its key
    int width;
};
const ToolColumn kToolColumns[] = {
    {COL_INC, "", 20},
    {COL_TYPE, "Type", 40},
    {COL_ITEM_NAME, "Item Name", 160},
    {COL_SIZE, "Size", 80},
    {COL_TIME, "Time-Length", 80},
    {COL_CREATED, "Created", 140},
    {COL_RANGE, "Range", 120},
    {COL_FILE, nullptr, -1},
    {COL_RANGE_ALL, nullptr, -1},
    {COL_RANGE_START_TIME, nullptr, -1},
    {COL_RANGE_LENGTH_TIME, nullptr, -1},
    {COL_BYTES_SIZE, nullptr, -1},
    {COL_TAG_ALBUM, nullptr, -1},
    {COL_TAG_ARTIST, nullptr, -1},
    {COL_TAG_COMMENT, nullptr, -1},
    {COL_TAG_GEN, nullptr, -1},
    {COL_TAG_YEAR, nullptr, -1},
    {COL_TAG_TITLE, nullptr, -1},
    {COL_TAG_TRACK, nullptr, -1},
};
static_assert(std::size(kToolColumns) == kItemColumnCount);

// The system colour "window text" in the grid's colour form (high bit set).
constexpr quint32 kSysColorWindowText = 0x80000008u;

QString appTitle()
{
    return g_sAppName + " " + g_sAppVersion;
}

template <class T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(name);
    return widget;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption)
{
    return named(new QCheckBox(caption, parent), name);
}

LinkLabel* link(QWidget* parent, const char* name, const QString& caption, const QString& tip)
{
    auto* l = named(new LinkLabel(caption, parent), name);
    l->setToolTip(tip);
    l->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    return l;
}

} // namespace

int FlagToCheckValue(bool flag)
{
    return flag ? 1 : 0;
}

int FlagToCheckValue(int flag)
{
    return flag != 0 ? 1 : 0;
}

bool CheckTicked(const QCheckBox* box)
{
    return box && box->checkState() == Qt::Checked;
}

// ---------------------------------------------------------------------------
// Construction: the design of the frame. Form_Load then fills it.

ToolWindow::ToolWindow(const ToolFrameDesign& design, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_design(design)
{
    setObjectName(design.objectName);
    setWindowTitle(design.caption);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kWidth, kHeight);
    buildFrame();
    buildSettingsParts();
}

ToolWindow::~ToolWindow() = default;

void ToolWindow::buildFrame()
{
    BuildTitleStrip(this, m_design.caption, picTitle, lblTitle);
    picTitle->setGeometry(0, 0, kWidth, kTitleHeight);

    cGrid1 = named(new cGrid(this), "cGrid1");
    QFont gf = cGrid1->font();
    gf.setPointSizeF(8.25);
    cGrid1->setFont(gf);
    cGrid1->setGeometry(8, kGridTop, kWidth - 16, kGridHeight);

    cTabControl1 = named(new cTabControl(this), "cTabControl1");
    cTabControl1->setGeometry(8, kTabTop, kWidth - 16, kTabHeight);
    TabSettings = named(new QWidget(this), "TabSettings");
    TabEvents = named(new QWidget(this), "TabEvents");
    TabLog = named(new QWidget(this), "TabLog");

    txtLog = named(new QPlainTextEdit(TabLog), "txtLog");
    txtLog->setReadOnly(true);

    // Events page: the heading, the boxes, the link at the foot.
    auto* events = new QVBoxLayout(TabEvents);
    events->setContentsMargins(16, 10, 16, 10);
    lblEventsWhenDone = named(new QLabel(QStringLiteral("Events When Done:"), TabEvents), "lblEventsWhenDone");
    QFont hf = lblEventsWhenDone->font();
    hf.setBold(true);
    lblEventsWhenDone->setFont(hf);
    events->addWidget(lblEventsWhenDone);
    m_eventsBoxes = new QVBoxLayout;
    m_eventsBoxes->setContentsMargins(12, 4, 0, 4);
    chkPlaySound = checkBox(TabEvents, "chkPlaySound", m_design.playSoundCaption);
    chkOpenDestFolder = checkBox(TabEvents, "chkOpenDestFolder", m_design.openDestFolderCaption);
    chkTurnOffComputer = checkBox(TabEvents, "chkTurnOffComputer", QStringLiteral("Turn off computer"));
    chkNoticeApp = checkBox(TabEvents, "chkNoticeApp", m_design.noticeAppCaption);
    for (QCheckBox* box : {chkPlaySound, chkOpenDestFolder, chkTurnOffComputer, chkNoticeApp})
        m_eventsBoxes->addWidget(box);
    events->addLayout(m_eventsBoxes);
    events->addStretch(1);
    lblEventsSettings = link(TabEvents, "lblEventsSettings", QStringLiteral("Events Options..."), QStringLiteral("Parameters"));
    events->addWidget(lblEventsSettings);
    connect(lblEventsSettings, &LinkLabel::clicked, this, [this] { lblEventsSettings_Click(); });

    // Below the tabs: the state, the two bars, the buttons and the status bar.
    const int belowTabs = kTabTop + kTabHeight + 4;
    lblCurrentTrack = named(new QLabel(QStringLiteral("Ready."), this), "lblCurrentTrack");
    lblCurrentTrack->setGeometry(8, belowTabs, kWidth - 230, 18);
    lblFilesToConvert = named(new QLabel(QStringLiteral("Files: 0/15"), this), "lblFilesToConvert");
    lblFilesToConvert->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblFilesToConvert->setGeometry(kWidth - 218, belowTabs, 210, 18);
    prgCurrnet = named(new XP_ProgressBar(this), "prgCurrnet");
    prgCurrnet->setGeometry(8, belowTabs + 22, kWidth - 16, 16);
    prgTotal = named(new XP_ProgressBar(this), "prgTotal");
    prgTotal->setGeometry(8, belowTabs + 42, kWidth - 16, 16);
    if (m_design.timeLeft) {
        lblTimeLeft = named(new QLabel(TimeLeftZeroText(), this), "lblTimeLeft");
        lblTimeLeft->setGeometry(8, belowTabs + 66, 240, 18);
        Timer1 = named(new QTimer(this), "Timer1");
        Timer1->setInterval(1000);
        connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    }

    const int buttonsTop = belowTabs + 64;
    constexpr int bw = 96;
    cmdConvert = named(new QPushButton(m_design.startCaption, this), "cmdConvert");
    cmdAbort = named(new QPushButton(QStringLiteral("Abort"), this), "cmdAbort");
    cmdExit = named(new QPushButton(QStringLiteral("Exit"), this), "cmdExit");
    cmdExit->setGeometry(kWidth - 8 - bw, buttonsTop, bw, 28);
    cmdAbort->setGeometry(kWidth - 8 - 2 * bw - 6, buttonsTop, bw, 28);
    cmdConvert->setGeometry(kWidth - 8 - 3 * bw - 12, buttonsTop, bw, 28);
    cmdConvert->setDefault(true);
    cmdConvert->setEnabled(!m_design.startDisabled);
    connect(cmdConvert, &QPushButton::clicked, this, [this] { cmdConvert_Click(); });
    connect(cmdAbort, &QPushButton::clicked, this, [this] { cmdAbort_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });

    cStatusBar1 = named(new cStatusBar(this), "cStatusBar1");
    cStatusBar1->setSizeGripEnabled(false);
    cStatusBar1->setGeometry(0, kHeight - 24, kWidth, 24);

    connect(cTabControl1, &cTabControl::TabClick, this, [this](int lTab) { cTabControl1_TabClick(lTab); });
}

void ToolWindow::buildSettingsParts()
{
    QWidget* page = TabSettings;
    if (m_design.destination) {
        Label4 = named(new QLabel(QStringLiteral("Destination:"), page), "Label4");
        txtToPath = named(new QComboBox(page), "txtToPath");
        txtToPath->setEditable(true);
        // Typed text is the destination as it stands; it never joins the list.
        txtToPath->setInsertPolicy(QComboBox::NoInsert);
        txtToPath->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        cmdSelectPath = named(new QPushButton(QStringLiteral("..."), page), "cmdSelectPath");
        cmdSelectPath->setToolTip(QStringLiteral("Select a new directory"));
        cmdSelectPath->setAutoDefault(false);
        cmdSelectPath->setFixedWidth(32);
        lblSetAsDefaultDestination = link(page, "lblSetAsDefaultDestination", QStringLiteral("Set as default"),
                                          QStringLiteral("Set as default destination"));
        lblOpenDestinationDestinationFolder =
            link(page, "lblOpenDestinationDestinationFolder", QStringLiteral("Open destination folder"),
                 QStringLiteral("Open destination folder"));
        imgOpenDestFolder = named(new QLabel(page), "imgOpenDestFolder");
        imgOpenDestFolder->setPixmap(style()->standardIcon(QStyle::SP_DirIcon).pixmap(16, 16));
        chkCreateSubFolder = checkBox(page, "chkCreateSubFolder", QStringLiteral("Under a new directory name:"));
        txtUndeForlder = named(new QLineEdit(page), "txtUndeForlder");

        connect(cmdSelectPath, &QPushButton::clicked, this, [this] { cmdSelectPath_Click(); });
        connect(txtToPath, &QComboBox::currentIndexChanged, this, [this] { txtToPath_Click(); });
        connect(lblSetAsDefaultDestination, &LinkLabel::clicked, this, [this] { lblSetAsDefaultDestination_Click(); });
        connect(chkCreateSubFolder, &QCheckBox::stateChanged, this, [this] { chkCreateSubFolder_Click(); });
        connect(lblOpenDestinationDestinationFolder, &LinkLabel::clicked, this,
                [this] { lblOpenDestinationDestinationFolder_Click(); });
    }
    if (m_design.overwrite)
        chkOverWrite = checkBox(page, "chkOverWrite", QStringLiteral("Overwrite existing files"));
    if (m_design.targetFormat) {
        Label5 = named(new QLabel(QStringLiteral("Audio Format:"), page), "Label5");
        cboTargetFormat = named(new QComboBox(page), "cboTargetFormat");
        cboTargetFormat->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        cmdEditTargetFormat = named(new QPushButton(QStringLiteral("Edit"), page), "cmdEditTargetFormat");
        cmdEditTargetFormat->setToolTip(QStringLiteral("Edit Target Audio Formats"));
        cmdEditTargetFormat->setAutoDefault(false);
        connect(cboTargetFormat, &QComboBox::currentIndexChanged, this, [this] { cboTargetFormat_Click(); });
        connect(cmdEditTargetFormat, &QPushButton::clicked, this, [this] { cmdEditTargetFormat_Click(); });
        if (m_design.formatDefaultLink) {
            lblSetAsDefaultFormat = link(page, "lblSetAsDefaultFormat", QStringLiteral("Set as default"),
                                         QStringLiteral("Set as default format"));
            connect(lblSetAsDefaultFormat, &LinkLabel::clicked, this, [this] { lblSetAsDefaultFormat_Click(); });
        }
    }
    if (m_design.fileNameTemplate) {
        Label21 = named(new QLabel(QStringLiteral("File Name Format:"), page), "Label21");
        cboFileName = named(new QComboBox(page), "cboFileName");
        cboFileName->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        cboFileName->addItems(DesignFileNameTemplates());
        if (!m_design.templateAlwaysFirst) {
            lblSetAsDefaultFileName = link(page, "lblSetAsDefaultFileName", QStringLiteral("Set as default"),
                                           QStringLiteral("Set as default file name format"));
            connect(lblSetAsDefaultFileName, &LinkLabel::clicked, this, [this] { lblSetAsDefaultFileName_Click(); });
        }
        connect(cboFileName, &QComboBox::currentIndexChanged, this, [this] { cboFileName_Click(); });
    }
    if (m_design.parametersLink) {
        lblParameters = link(page, "lblParameters", QStringLiteral("Parameters"), QStringLiteral("Parameters"));
        connect(lblParameters, &LinkLabel::clicked, this, [this] { lblParameters_Click(); });
    }
}

void ToolWindow::LayOutStandardSettings()
{
    auto* grid = new QGridLayout(TabSettings);
    grid->setContentsMargins(14, 10, 14, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(5);
    int row = 0;
    if (txtToPath) {
        grid->addWidget(Label4, row, 0);
        auto* path = new QHBoxLayout;
        path->addWidget(txtToPath, 1);
        path->addWidget(cmdSelectPath);
        grid->addLayout(path, row, 1);
        ++row;
        auto* links = new QHBoxLayout;
        links->addWidget(lblSetAsDefaultDestination);
        links->addSpacing(16);
        links->addWidget(imgOpenDestFolder);
        links->addWidget(lblOpenDestinationDestinationFolder);
        links->addStretch(1);
        grid->addLayout(links, row, 1);
        ++row;
        auto* sub = new QHBoxLayout;
        sub->addWidget(chkCreateSubFolder);
        sub->addWidget(txtUndeForlder, 1);
        grid->addLayout(sub, row, 0, 1, 2);
        ++row;
    }
    if (chkOverWrite) {
        grid->addWidget(chkOverWrite, row, 0, 1, 2);
        ++row;
    }
    if (cboTargetFormat) {
        grid->addWidget(Label5, row, 0);
        auto* format = new QHBoxLayout;
        format->addWidget(cboTargetFormat, 1);
        format->addWidget(cmdEditTargetFormat);
        if (lblSetAsDefaultFormat)
            format->addWidget(lblSetAsDefaultFormat);
        grid->addLayout(format, row, 1);
        ++row;
    }
    if (cboFileName) {
        auto* caption = new QHBoxLayout;
        caption->addWidget(Label21);
        caption->addStretch(1);
        grid->addLayout(caption, row, 0);
        auto* names = new QHBoxLayout;
        names->addWidget(cboFileName, 1);
        if (lblSetAsDefaultFileName)
            names->addWidget(lblSetAsDefaultFileName);
        if (lblParameters) {
            names->addSpacing(10);
            names->addWidget(lblParameters);
        }
        grid->addLayout(names, row, 1);
        ++row;
    } else if (lblParameters) {
        grid->addWidget(lblParameters, row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
}

// ---------------------------------------------------------------------------
// Load and unload

void ToolWindow::Form_Load()
{
    if (m_bLoaded)
        return;
    m_bLoaded = true;
    MainWindowServices* main = mainWindow();

    if (!m_design.iconResource.isEmpty())
        SetFormIcon(this, m_design.iconResource, true);
    LoadStepAfterIcon();

    SetBackColor(picTitle, g_lAppColor);
    SetForeColor(lblTitle, g_lTextColor);

    bool ok = false;
    const qint64 back = g_sViewBackColor.toLongLong(&ok);
    if (ok) {
        QWidgetList painted = {this, TabSettings, TabEvents, TabLog, chkPlaySound, chkOpenDestFolder,
                               chkTurnOffComputer, chkNoticeApp};
        if (chkCreateSubFolder)
            painted << chkCreateSubFolder;
        if (chkOverWrite)
            painted << chkOverWrite;
        if (chkOpenCDdrive)
            painted << chkOpenCDdrive;
        painted << OwnBackColorControls();
        for (QWidget* w : painted) {
            SetBackColor(w, quint32(back));
            // Check boxes and option buttons fill with the button colour
            // unless told to use their own background.
            if (qobject_cast<QAbstractButton*>(w))
                w->setBackgroundRole(QPalette::Window);
        }
    }

    prgCurrnet->setBarColor(g_lAppColor);
    prgTotal->setBarColor(g_lAppColor);

    if (!g_sViewFormPicture.isEmpty())
        for (QWidget* w : {static_cast<QWidget*>(this), TabSettings, TabEvents, TabLog})
            SetViewPicture(w, g_sViewFormPicture);
    SetViewPicture(picTitle, g_sViewTitlePicture);
    LoadStepBeforeTabs();

    cTabControl1->setImageList(main ? main->imgMenu : nullptr);
    cTabControl1->AddTab(m_design.settingsTabCaption, m_design.settingsTabIcon, true, QStringLiteral("Settings"));
    cTabControl1->AddTab(QStringLiteral("Events        "), 10, true, QStringLiteral("Events"));
    cTabControl1->AddTab(QStringLiteral("Log             "), 36, true, QStringLiteral("Log"));

    placePages();
    HideTabPages();
    TabSettings->show();

    SetGrid(cGrid1);

    if (txtToPath) {
        LoadPathHistory(txtToPath);
        if (txtToPath->currentText().isEmpty())
            txtToPath->setEditText(AppPath() + "/Main/");
    }

    if (cboFileName) {
        LoadFileNameFormats();
        if (m_design.templateAlwaysFirst)
            selectEntry(cboFileName, 0);
        else if (g_sFileNameFormat.isEmpty())
            selectEntry(cboFileName, 1);
        else
            selectEntry(cboFileName, cboFileName->findText(g_sFileNameFormat, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }

    if (cboTargetFormat) {
        FillDestinationFormats(cboTargetFormat);
        selectEntry(cboTargetFormat,
                    cboTargetFormat->findText(OptionsTargetFormatText(), Qt::MatchExactly | Qt::MatchCaseSensitive));
    }

    LoadEventBoxes();

    cStatusBar1->AddPanel(0, QString(), QString(), -1, 200, false, false, 0, QStringLiteral("Total Size"));
    cStatusBar1->AddPanel(0, QString(), QString(), -1, 64, false, false, 0, QStringLiteral("Total Time"));

    LoadOwnTail();
}

QCheckBox* ToolWindow::AddOpenCDdriveBox(const QString& caption, bool ticked)
{
    chkOpenCDdrive = checkBox(TabEvents, "chkOpenCDdrive", caption);
    QFont f = chkOpenCDdrive->font();
    f.setBold(true);
    chkOpenCDdrive->setFont(f);
    chkOpenCDdrive->setChecked(ticked);
    m_eventsBoxes->addWidget(chkOpenCDdrive);
    return chkOpenCDdrive;
}

void ToolWindow::LoadEventBoxes()
{
    chkNoticeApp->setCheckState(FlagToCheckValue(g_bNoticeApp) == 1 ? Qt::Checked : Qt::Unchecked);
    chkOpenDestFolder->setCheckState(FlagToCheckValue(g_bOpenDestFolder) == 1 ? Qt::Checked : Qt::Unchecked);
    chkPlaySound->setCheckState(FlagToCheckValue(g_bPlaySound) == 1 ? Qt::Checked : Qt::Unchecked);
    chkTurnOffComputer->setCheckState(FlagToCheckValue(g_bTurnOffComputer) == 1 ? Qt::Checked : Qt::Unchecked);
}

void ToolWindow::selectEntry(QComboBox* combo, int index)
{
    // A choice made here runs the box's handler like the user's choice,
    // even when the entry was already the current one.
    {
        const QSignalBlocker block(combo);
        combo->setCurrentIndex(-1);
    }
    if (index >= 0 && index < combo->count())
        combo->setCurrentIndex(index);
}

void ToolWindow::placePages()
{
    const int left = TwipsToPixels(cTabControl1->ClientLeft() - 50);
    const int top = TwipsToPixels(cTabControl1->ClientTop());
    const int width = TwipsToPixels(cTabControl1->ClientWidth() + 50);
    const int height = TwipsToPixels(cTabControl1->ClientHeight());
    for (QWidget* page : {TabSettings, TabEvents, TabLog}) {
        page->setGeometry(left, top, width, height);
        page->raise();
    }
    txtLog->setGeometry(TwipsToPixels(100), TwipsToPixels(100), TabLog->width() - TwipsToPixels(200),
                        TabLog->height() - TwipsToPixels(200));
}

void ToolWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    placePages();
}

void ToolWindow::SetGrid(cGrid* grid)
{
    MainWindowServices* main = mainWindow();
    grid->setRowHeight(24);
    grid->setImageList(main ? (m_design.gridImages ? main->imgGrid : main->imgMenu) : nullptr);
    for (const ToolColumn& c : kToolColumns) {
        if (c.header)
            grid->AddColumn(c.key, QString::fromLatin1(c.header), 0, -1, c.width);
        else
            grid->AddColumn(c.key, c.key, 0, -1, -1, false);
    }
    grid->setDisplaySwitchA(true);
    grid->setGridLines(true);
    grid->setDisplaySwitchB(true);
    grid->setDisplaySwitchC(true);
    grid->setDisplaySwitchD(false);
    grid->setDisplayColour(kSysColorWindowText);
    grid->setHotTrack(true);
    grid->setDisplaySwitchE(false);
}

void ToolWindow::Form_Unload(int& Cancel)
{
    if (JobRunning()) {
        Cancel = 1;
        return;
    }
    if (m_bUnloaded)
        return;
    m_bUnloaded = true;
    UnloadOwnSteps();
}

void ToolWindow::closeEvent(QCloseEvent* event)
{
    int cancel = 0;
    Form_Unload(cancel);
    if (cancel != 0) {
        event->ignore();
        return;
    }
    event->accept();
}

void ToolWindow::reject()
{
    close();
}

void ToolWindow::cmdExit_Click()
{
    close();
}

bool ToolWindow::JobRunning() const
{
    return !cmdConvert->isEnabled();
}

// ---------------------------------------------------------------------------
// Tabs

void ToolWindow::HideTabPages()
{
    TabSettings->hide();
    TabEvents->hide();
    TabLog->hide();
}

void ToolWindow::cTabControl1_TabClick(int lTab)
{
    Q_UNUSED(lTab);
    HideTabPages();
    const QString key = cTabControl1->TabKey(cTabControl1->SelectedTab());
    if (key == QLatin1String("Settings"))
        TabSettings->show();
    else if (key == QLatin1String("Events"))
        TabEvents->show();
    else if (key == QLatin1String("Log"))
        TabLog->show();
}

void ToolWindow::ShowLogTab()
{
    cTabControl1->SelectTab(QStringLiteral("Log"));
    cTabControl1_TabClick(cTabControl1->TabIndexForKey(QStringLiteral("Log")));
}

// ---------------------------------------------------------------------------
// Destination folder

QString ToolWindow::GetSubFolderPart() const
{
    if (!CheckTicked(chkCreateSubFolder) || !txtUndeForlder)
        return QString("");
    const QString name = txtUndeForlder->text();
    if (name.isEmpty())
        return QString("");
    return name.endsWith('/') ? name : name + "/";
}

QString ToolWindow::OutputFolder() const
{
    const QString destination = txtToPath ? txtToPath->currentText() : QString();
    const QString sub = GetSubFolderPart();
    if (destination.isEmpty())
        return sub;
    QString folder = JoinFolderAndName(destination, sub);
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

void ToolWindow::CheckUnderFolderEna()
{
    if (!chkCreateSubFolder || !txtUndeForlder)
        return;
    if (CheckTicked(chkCreateSubFolder)) {
        txtUndeForlder->setEnabled(true);
        txtUndeForlder->setFocus();
        txtUndeForlder->setSelection(0, int(txtUndeForlder->text().size()));
    } else {
        txtUndeForlder->setEnabled(false);
    }
}

void ToolWindow::chkCreateSubFolder_Click()
{
    CheckUnderFolderEna();
}

void ToolWindow::txtToPath_Click()
{
    lblSetAsDefaultDestination->setEnabled(false);
    if (txtToPath->currentIndex() >= 1)
        lblSetAsDefaultDestination->setEnabled(true);
}

void ToolWindow::lblSetAsDefaultDestination_Click()
{
    SavePathHistory(txtToPath);
    LoadPathHistory(txtToPath);
    lblSetAsDefaultDestination->setEnabled(false);
}

void ToolWindow::cmdSelectPath_Click() { ChoosePathHistoryFolder(txtToPath, this); }

void ToolWindow::lblOpenDestinationDestinationFolder_Click()
{
    QString destination = txtToPath->currentText();
    if (!destination.endsWith('/')) {
        destination += '/';
        txtToPath->setEditText(destination);
    }
    if (OpenFolderOfferingToCreate(OutputFolder(), appTitle(), this)) {
        SavePathHistory(txtToPath);
        LoadPathHistory(txtToPath);
    }
}

// The settings tab as the window shows it ("Joiner Options", "Converter" ...).
QString ToolWindow::settingsPageName() const
{
    return QLatin1Char('"') + m_design.settingsTabCaption.simplified() + QLatin1Char('"');
}

bool ToolWindow::PrepareOutputFolder()
{
    // Without a format the names would keep "[dest_extension]" and the files
    // would be written as nothing the user asked for.
    if (cboTargetFormat && cboTargetFormat->currentText().trimmed().isEmpty()) {
        MsgBox(QStringLiteral("No audio format is chosen.\r\n\r\nChoose the format of the new files in the "
                              "\"Audio Format:\" box first."),
               vbExclamation, appTitle(), this);
        cboTargetFormat->setFocus();
        return false;
    }
    if (!txtToPath)
        return true;
    if (txtToPath->currentText().trimmed().isEmpty()) {
        MsgBox(QStringLiteral("There is no destination folder.\r\n\r\nChoose the folder for the new files on the ") +
                   settingsPageName() + QStringLiteral(" page."),
               vbExclamation, appTitle(), this);
        return false;
    }
    SavePathHistory(txtToPath);
    LoadPathHistory(txtToPath);
    if (CheckTicked(chkCreateSubFolder)) {
        QString folder = OutputFolder();
        if (folder.size() > 1 && folder.endsWith('/'))
            folder.chop(1);
        CreateFolderPath(folder);
    }
    // A typed folder that is missing is made; one that cannot be made gets
    // one message here rather than a "does not exist" error for every row.
    const QString folder = OutputFolder();
    if (!QFileInfo(folder).isDir())
        CreateFolderPath(folder.size() > 1 && folder.endsWith('/') ? folder.chopped(1) : folder);
    if (!QFileInfo(folder).isDir()) {
        MsgBox(QStringLiteral("The destination folder ") + folder +
                   QStringLiteral(" does not exist and cannot be created.\r\n\r\nChoose another folder on the ") +
                   settingsPageName() + QStringLiteral(" page."),
               vbExclamation, appTitle(), this);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Target format and output names

void ToolWindow::cboTargetFormat_Click()
{
    if (!lblSetAsDefaultFormat)
        return;
    lblSetAsDefaultFormat->setEnabled(false);
    if (cboTargetFormat->currentText() != g_sTargetFormat)
        lblSetAsDefaultFormat->setEnabled(true);
}

void ToolWindow::lblSetAsDefaultFormat_Click()
{
    const QString text = cboTargetFormat->currentText();
    RegistryRoutines reg;
    reg.setHkey(HKEY_LOCAL_MACHINE);
    reg.setKeyRoot("SOFTWARE\\" + g_sAppCompany + "\\" + g_sAppName);
    reg.setSubkey(QStringLiteral("General"));
    reg.SetRegistryValue(QStringLiteral("cboTargetFormat"), text, REG_SZ);
    SetOptionsTargetFormatText(text);
    g_sTargetFormat = text;
    if (lblSetAsDefaultFormat)
        lblSetAsDefaultFormat->setEnabled(false);
}

void ToolWindow::cmdEditTargetFormat_Click()
{
    ShowAudioFormatDialogOn(cboTargetFormat->currentText().left(3));
    selectEntry(cboTargetFormat, OptionsTargetFormatIndex());
    if (lblSetAsDefaultFormat)
        lblSetAsDefaultFormat_Click();
}

void ToolWindow::cboFileName_Click()
{
    if (!lblSetAsDefaultFileName)
        return;
    lblSetAsDefaultFileName->setEnabled(false);
    if (cboFileName->currentText() != g_sFileNameFormat)
        lblSetAsDefaultFileName->setEnabled(true);
}

void ToolWindow::lblSetAsDefaultFileName_Click()
{
    const QString text = cboFileName->currentText();
    RegistryRoutines reg;
    reg.setHkey(HKEY_LOCAL_MACHINE);
    reg.setKeyRoot("SOFTWARE\\" + g_sAppCompany + "\\" + g_sAppName);
    reg.setSubkey(QStringLiteral("General"));
    reg.SetRegistryValue(QStringLiteral("cboFileName"), text, REG_SZ);
    SetOptionsFileNameText(text);
    g_sFileNameFormat = text;
    lblSetAsDefaultFileName->setEnabled(false);
}

void ToolWindow::LoadFileNameFormats()
{
    // Without a template in the user's file the built-in list stays, so the
    // box always offers one that names files.
    LoadFileNameTemplates(cboFileName);
}

QString ToolWindow::DestExtension() const
{
    return cboTargetFormat ? DestExtensionOf(cboTargetFormat->currentText()) : QString();
}

QString ToolWindow::ExpandFileNameTemplate(long lRow)
{
    FileNameTemplateInput in;
    in.sTemplate = cboFileName ? cboFileName->currentText() : QString();
    in.lRow = lRow;
    in.sSourcePath = GridCell(cGrid1, lRow, COL_FILE);
    in.sItemName = GridCell(cGrid1, lRow, COL_ITEM_NAME);
    in.sDestExtension = DestExtension();
    return ::ExpandFileNameTemplate(in);
}

QString ToolWindow::OutputFileForRow(long lRow, QString* sProblem)
{
    const QString name = ExpandFileNameTemplate(lRow);
    const QString problem = OutputNameProblem(name);
    if (sProblem)
        *sProblem = problem;
    if (!problem.isEmpty())
        return QString();
    return JoinFolderAndName(OutputFolder(), name);
}

// ---------------------------------------------------------------------------
// Job parameters

long ToolWindow::SetDestination()
{
    const int index = GetDestinationFormatIndex(cboTargetFormat ? cboTargetFormat->currentText() : QString());
    if (AudioJobTarget* target = JobTarget())
        ApplyDestinationFormat(*target, index);
    AddLogLine(DestinationFormatLogLine(index), txtLog);
    return 0;
}

void ToolWindow::SetID3Tags(long lRow)
{
    AudioJobTarget* target = JobTarget();
    if (!target)
        return;
    target->setTagAlbum(CreateID3TagsString(GridCell(cGrid1, lRow, COL_TAG_ALBUM)));
    target->setTagArtist(CreateID3TagsString(GridCell(cGrid1, lRow, COL_TAG_ARTIST)));
    target->setTagComment(CreateID3TagsString(GridCell(cGrid1, lRow, COL_TAG_COMMENT)));
    target->setTagGenre(CreateID3TagsString(GridCell(cGrid1, lRow, COL_TAG_GEN)));
    target->setTagTitle(CreateID3TagsString(GridCell(cGrid1, lRow, COL_TAG_TITLE)));
    target->setTagTrack(CreateID3TagsString(GridCell(cGrid1, lRow, COL_TAG_TRACK)));
    target->setTagYear(CreateID3TagsString(GridCell(cGrid1, lRow, COL_TAG_YEAR)));
}

QString ToolWindow::CreateID3TagsString(const QString& sStr)
{
    TagMacroValues values;
    values.lTrackNum = cGrid1->SelectedRow();
    return ExpandTagMacros(sStr, values);
}

// ---------------------------------------------------------------------------
// Events page and the end of a job

void ToolWindow::lblEventsSettings_Click()
{
    ShowOptionsEventsPage();
    LoadEventBoxes();
}

void ToolWindow::lblParameters_Click()
{
    OpenProgParameters(2);
}

void ToolWindow::DoEndEvents()
{
    if (CheckTicked(chkPlaySound))
        platform::playSoundAsync(g_sPlayAtEnd);
    if (CheckTicked(chkOpenDestFolder)) {
        const QString folder = EndFolderToOpen();
        if (!folder.isEmpty())
            ShellOpen(this, folder);
    }
    if (CheckTicked(chkNoticeApp)) {
        QString program;
        QStringList arguments;
        if (NoticeAppCommand(program, arguments))
            platform::startProgram(program, arguments);
    }
    if (CheckTicked(chkOpenCDdrive))
        EjectTrayAtEnd();
    if (!m_bJobError && CheckTicked(chkTurnOffComputer))
        ShowTurnOffWindow(30);
}

void ToolWindow::ShowJobBalloon(const QString& sText)
{
    // Every job ends here ("Done.", "Done with errors.", "Aborted."): nothing
    // is left to wait for.
    if (Timer1)
        Timer1->stop();
    if (lblTimeLeft)
        lblTimeLeft->setText(TimeLeftZeroText());
    if (MainWindowServices* main = mainWindow())
        main->ShowTrayBalloon(sText, appTitle(), 1, 30);
}

QString ToolWindow::DoneText() const
{
    return m_lFailedRows > 0 ? QStringLiteral("Done with errors.") : QStringLiteral("Done.");
}

void ToolWindow::FinishJobDone()
{
    if (m_lFailedRows > 0)
        AddLogLine(QStringLiteral("Rows with errors: %1 of %2.").arg(m_lFailedRows).arg(cGrid1->RowCount()), txtLog);
    const QString text = DoneText();
    // Full bars would claim work that was not done.
    if (cGrid1 && m_lFailedRows >= cGrid1->RowCount()) {
        for (XP_ProgressBar* bar : {prgTotal, prgCurrnet})
            if (bar)
                bar->setProgressValue(bar->ProgressMin());
    }
    ShowJobBalloon(text);
    lblCurrentTrack->setText(text);
    DoEndEvents();
}

// ---------------------------------------------------------------------------
// Job state and the time-left estimate

void ToolWindow::ResetJobState()
{
    // Nothing of the last job's feedback may pass for this one's.
    for (XP_ProgressBar* bar : {prgTotal, prgCurrnet})
        if (bar)
            bar->setProgressValue(bar->ProgressMin());
    if (lblCurrentTrack)
        lblCurrentTrack->setText(QString());
    // The caption may still show the last job's end or error.
    setWindowTitle(m_design.caption);
    if (lblTimeLeft)
        lblTimeLeft->setText(TimeLeftZeroText());
    m_lCurrentRow = 1;
    m_bJobError = false;
    m_lFailedRows = 0;
    m_ltmrDoneItemsSecs = 0;
    m_ltmrItemSecsDone = 0;
    m_ltmrSecsElapsed = 1;
}

long ToolWindow::RowSeconds(long lRow)
{
    if (GridCell(cGrid1, lRow, COL_RANGE_ALL) == QLatin1String("1"))
        return TimeTextToSeconds(GridCell(cGrid1, lRow, COL_TIME));
    return GridCell(cGrid1, lRow, COL_RANGE_LENGTH_TIME).toLong();
}

void ToolWindow::NoteRowProgress(long lPercent)
{
    if (lPercent < 1)
        return;
    m_ltmrItemSecsDone = long(RoundHalfToEven(double(lPercent) / 100.0 * double(m_ltmrItemSecs)));
}

void ToolWindow::NoteRowDone()
{
    m_ltmrDoneItemsSecs += m_ltmrItemSecs;
}

void ToolWindow::LogStep(const QString& text)
{
    AddLogLine(text, txtLog);
    lblCurrentTrack->setText(text);
}

void ToolWindow::NoteRowError()
{
    m_bJobError = true;
    ++m_lFailedRows;
}

void ToolWindow::ResetTimeFields()
{
    g_ltmrItemSecsTotal = 0;
    m_ltmrItemSecsDone = 0;
    m_ltmrSecsElapsed = 0;
    m_ltmrItemSecs = 0;
    m_ltmrDoneItemsSecs = 0;
}

QString ToolWindow::TimeLeftZeroText()
{
    return QStringLiteral("Time Left: 00:00:00");
}

void ToolWindow::Timer1_Timer()
{
    ++m_ltmrSecsElapsed;
    const qint64 left =
        EstimateSecondsLeft(m_ltmrSecsElapsed, m_ltmrItemSecsDone, m_ltmrDoneItemsSecs, g_ltmrItemSecsTotal);
    if (left == 0 || !lblTimeLeft)
        return;
    lblTimeLeft->setText(TimeLeftText(left));
    if (!JobRunning()) {
        if (Timer1)
            Timer1->stop();
        lblTimeLeft->setText(TimeLeftZeroText());
    }
}

QString GridCell(cGrid* grid, long lRow, const QString& key)
{
    return grid ? grid->CellText(int(lRow), grid->ColumnIndex(key)) : QString();
}
