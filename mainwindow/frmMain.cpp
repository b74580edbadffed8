#include "mainwindow/frmMain.h"

#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QResizeEvent>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "audiotools/AudioTools.h"
#include "components/audio/cAudioGraph.h"
#include "components/disc/cAudioCDRipper.h"
#include "components/audio/cAudioConverter.h"
#include "components/controls/cContextMenu.h"
#include "lists/CdDrives.h"
#include "lists/ItemRow.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cReBar.h"
#include "components/controls/cSlider.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cSysTray.h"
#include "platform/MessageBox.h"
#include "components/controls/cToolbar.h"
#include "components/controls/cToolbarHost.h"
#include "components/controls/cTreeView.h"
#include "core/CommonLook.h"
#include "core/Edition.h"
#include "core/Startup.h"
#include "core/TextFiles.h"
#include "core/TwipsGeometry.h"
#include "core/WindowHelpers.h"
#include "mainwindow/ControlDrops.h"
#include "mainwindow/MainIcons.h"
#include "platform/ProgramDir.h"
#include "settings/Options.h"

namespace {
QPointer<FrmMain>& ref()
{
    static QPointer<FrmMain> p;
    return p;
}

template <typename T>
T* named(T* w, const char* name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QLabel* fillLabel(QWidget* parent, const char* name, const QString& text, int leftMargin)
{
    auto* label = named(new QLabel(text, parent), name);
    auto* layout = new QHBoxLayout(parent);
    layout->setContentsMargins(leftMargin, 0, 2, 0);
    layout->addWidget(label);
    return label;
}

// A text as the classic conversion to a Long reads it: surrounding blanks
// ignored, a fraction rounded half to even; anything else fails (false).
bool toLong(const QVariant& v, long& out)
{
    bool ok = false;
    const double d = v.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d) || d > 2147483647.0 || d < -2147483648.0)
        return false;
    out = long(std::nearbyint(d));
    return true;
}
} // namespace

FrmMain::FrmMain(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName("frmMain");
    // The program runs as long as the main window is loaded, also while it sits in the tray.
    setAttribute(Qt::WA_DeleteOnClose);
    CreateControls();
    CreatePlayerPanel();
    SetCommandRows();
    ConnectLists();
    ConnectItemEditing();
}

FrmMain::~FrmMain()
{
    Form_Terminate();
    if (mainWindow() == this)
        setMainWindow(nullptr);
}

// The controls as the window's design has them, before Form_Load dresses them.
void FrmMain::CreateControls()
{
    auto* canvas = new QWidget(this);
    canvas->setObjectName("frmMainClient");
    setCentralWidget(canvas);

    imgMenu = named(new cImageList(this), "imgMenu");
    imgPlayer = named(new cImageList(this), "imgPlayer");
    imgGrid = named(new cImageList(this), "imgGrid");
    imgGeneral0 = named(new cImageList(this), "imgGeneral");
    imgGeneral0->setImageSize(QSize(26, 26));
    mainicons::FillMenuImages(imgMenu);
    stockimages::FillTreeImages(imgMenu);
    mainicons::FillPlayerImages(imgPlayer);
    mainicons::FillToolImages(imgGeneral0);
    stockimages::FillGridImages(imgGrid);

    picTitle = named(new QFrame(canvas), "picTitle");
    picTitle->setAutoFillBackground(true);
    lblTitle = fillLabel(picTitle, "lblTitle", QString(), 8);
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    lblTitle->setFont(titleFont);
    twips::setGeometry(picTitle, 100, 120, 12790, 375);

    cToolbarHost1 = named(new cToolbarHost(canvas), "cToolbarHost1");
    twips::setGeometry(cToolbarHost1, 120, 535, 12790, 740);
    tlbrTop = named(new cToolbar(canvas), "tlbrTop");

    picTitleProject = named(new QFrame(canvas), "picTitleProject");
    lblProjects = fillLabel(picTitleProject, "lblProjects", QStringLiteral("Items Lists"), 4);
    twips::setGeometry(picTitleProject, 120, 1275, 2535, 255);

    picTitleList = named(new QFrame(canvas), "picTitleList");
    lblListName = fillLabel(picTitleList, "lblListName", QString(), 4);
    QFont bold = lblListName->font();
    bold.setBold(true);
    lblListName->setFont(bold);
    lblListName->setCursor(Qt::PointingHandCursor);
    twips::setGeometry(picTitleList, 2715, 1275, 10155, 255);

    picResizer = named(new ResizerBar(canvas), "picResizer");
    twips::setGeometry(picResizer, 2675, 1200, 100, 20000);

    cTreeView1 = named(new cTreeView(canvas), "cTreeView1");
    twips::setGeometry(cTreeView1, 120, 1550, 2535, 3600);

    cGrid1 = named(new cGrid(canvas), "cGrid1");
    twips::setGeometry(cGrid1, 2715, 1550, 6660, 3600);

    cGridInfo = named(new cGrid(canvas), "cGridInfo");
    twips::setGeometry(cGridInfo, 9375, 1550, 3495, 2400);

    picPlayer = named(new QFrame(canvas), "picPlayer");
    twips::setGeometry(picPlayer, 9375, 3950, 3495, 1215);
    cToolbarHostPlayer = named(new cToolbarHost(picPlayer), "cToolbarHostPlayer");
    twips::setGeometry(cToolbarHostPlayer, 100, 60, 1500, 500);
    tlbrPlayButtons = named(new cToolbar(picPlayer), "tlbrPlayButtons");
    cSlider1 = named(new cSlider(picPlayer), "cSlider1");
    twips::setGeometry(cSlider1, 100, 700, 3295, 375);

    froTreeControl = named(new QFrame(canvas), "froTreeControl");
    twips::setGeometry(froTreeControl, 120, 5110, 2535, 500);
    tlbrProjectsHost = named(new cToolbarHost(froTreeControl), "tlbrProjectsHost");
    {
        auto* l = new QHBoxLayout(froTreeControl);
        l->setContentsMargins(0, 3, 0, 3);
        l->addWidget(tlbrProjectsHost);
    }
    tlbrProjects = named(new cToolbar(froTreeControl), "tlbrProjects");

    picList = named(new QFrame(canvas), "picList");
    twips::setGeometry(picList, 2715, 5150, 10155, 400);
    rbrList = named(new cReBar(picList), "rbrList");
    tlbrList = named(new cToolbar(picList), "tlbrList");

    froControl = named(new QFrame(canvas), "froControl");
    twips::setGeometry(froControl, 2715, 5550, 10155, 1155);
    cToolbarHostRecorder = named(new cToolbarHost(froControl), "cToolbarHostRecorder");
    twips::setGeometry(cToolbarHostRecorder, 0, 100, 1575, 760);
    tlbrRecorder = named(new cToolbar(froControl), "tlbrRecorder");

    picEmptyMsg = named(new QFrame(canvas), "picEmptyMsg");
    {
        auto* frame = static_cast<QFrame*>(picEmptyMsg);
        frame->setFrameShape(QFrame::NoFrame);
        auto* l = new QVBoxLayout(picEmptyMsg);
        l->setContentsMargins(2, 2, 2, 2);
        l->setSpacing(2);
        lblEmptylist = named(new QLabel(QStringLiteral("Empty list."), picEmptyMsg), "lblEmptylist");
        lblEmptylist->setAlignment(Qt::AlignCenter);
        lblEmptylist->setFont(bold);
        lblAddorDrag = named(new QLabel(QStringLiteral("Add or Drag and Drop audio files to here."), picEmptyMsg),
                             "lblAddorDrag");
        lblAddorDrag->setAlignment(Qt::AlignCenter);
        lblAddorDrag->setWordWrap(true);
        l->addWidget(lblEmptylist);
        l->addWidget(lblAddorDrag);
        // Clicks and drops go through to the grid underneath.
        picEmptyMsg->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    twips::setGeometry(picEmptyMsg, 4250, 2400, 3615, 735);
    picEmptyMsg->hide();

    picToolBarJPGPicHolder = named(new QLabel(canvas), "picToolBarJPGPicHolder");
    picToolBarJPGPicHolder->hide();

    cStatusBar1 = named(new cStatusBar(this), "cStatusBar1");
    setStatusBar(cStatusBar1);
    prgStatus = named(new XP_ProgressBar(cStatusBar1), "prgStatus");
    prgStatus->setMaximumWidth(160);
    prgStatus->setMaximumHeight(16);
    cStatusBar1->addPermanentWidget(prgStatus);
    prgStatus->hide();

    cSysTray1 = named(new cSysTray(this), "cSysTray1");
    cAudioConverter1 = named(new cAudioConverter(this), "cAudioConverter1");
    cAudioCDRipper1 = named(new cAudioCDRipper(this), "cAudioCDRipper1");

    tmrCDs = named(new QTimer(this), "tmrCDs");
    tmrCDs->setInterval(5000);
    connect(tmrCDs, &QTimer::timeout, this, [] { tmrCDs_Timer(); });
    connect(cAudioCDRipper1, &cAudioCDRipper::JobError, this,
            [](int code, const QString& text) { cAudioCDRipper1_JobError(code, text); });
    tmrRemove = named(new QTimer(this), "tmrRemove");
    tmrRemove->setInterval(50);

    // The grid and its message sit over the splitter bar.
    picResizer->lower();
    picEmptyMsg->raise();

    // Splitter drops: the tree side and the grid side, and the controls that forward to them.
    connect(cTreeView1, &cTreeView::DragDrop, this, &FrmMain::cTreeView1_DragDrop);
    connect(cGrid1, &cGrid::DragDrop, this, &FrmMain::cGrid1_DragDrop);
    auto toTree = [this](QObject* s, double x, double y) { cTreeView1_DragDrop(s, x, y); };
    auto toGrid = [this](QObject* s, double x, double y) { cGrid1_DragDrop(s, x, y); };
    for (QWidget* w : {picTitleProject, static_cast<QWidget*>(lblProjects), static_cast<QWidget*>(tlbrProjectsHost)})
        acceptControlDrops(w, toTree);
    for (QWidget* w : {picTitleList, static_cast<QWidget*>(lblListName), picList, static_cast<QWidget*>(froControl),
                       static_cast<QWidget*>(cToolbarHostRecorder), static_cast<QWidget*>(cSlider1)})
        acceptControlDrops(w, toGrid);
    // These are controls of their own: a drop on them does nothing.
    for (QWidget* w : {static_cast<QWidget*>(tlbrProjects), static_cast<QWidget*>(tlbrList),
                       static_cast<QWidget*>(tlbrRecorder), static_cast<QWidget*>(rbrList)})
        refuseControlDrops(w);

    connect(tlbrTop, &cToolbar::ButtonClick, this, &FrmMain::tlbrTop_ButtonClick);
    connect(tlbrTop, &cToolbar::ButtonDropDown, this, &FrmMain::tlbrTop_ButtonDropDown);
    connect(tlbrList, &cToolbar::ButtonClick, this, &FrmMain::tlbrList_ButtonClick);
    connect(tlbrProjects, &cToolbar::ButtonClick, this, &FrmMain::tlbrProjects_ButtonClick);
    connect(tlbrRecorder, &cToolbar::ButtonClick, this, &FrmMain::tlbrRecorder_ButtonClick);
    connect(cStatusBar1, &cStatusBar::PanelClick, this, &FrmMain::cStatusBar1_PanelClick);
    connect(cSysTray1, &cSysTray::TrayMouse, this, &FrmMain::cSysTray1_TrayMouse);
}

void FrmMain::Form_Load()
{
    // The layers below reach the window from here on, also while it is being built.
    setMainWindow(this);
    // The tool windows it opens carry their jobs.
    InstallAudioTools();

    // 1. The registry object.
    m_cRegistry.setHkey(HKEY_LOCAL_MACHINE);
    m_cRegistry.setKeyRoot(MachineKeyRoot());

    // 2.-4. Colours of the title strip, the graphs and the status progress bar.
    SetBackColor(picTitle, g_lAppColor);
    SetForeColor(lblTitle, g_lTextColor);
    cAudioGraphAmp->setGraphBackColor(long(g_lAppColor));
    cAudioGraphAmp->setGraphTextColor(long(g_lTextColor));
    cAudioGraphFreq->setGraphBackColor(long(g_lAppColor));
    cAudioGraphFreq->setGraphLineColor(long(g_lTextColor));
    prgStatus->setBarColor(g_lAppColor);

    // 5. The tray icon.
    cSysTray1->setFallbackIcon(ProgramIcon(QStringLiteral("AAA")));
    cSysTray1->AddTrayIcon();
    cSysTray1->setTrayTipText(g_sAppName + " " + g_sAppVersion);
    cSysTray1->setIconFile(AppPath() + "/SysIcon/systrayicon.ico");

    // 6. The window icon.
    SetFormIcon(this, QStringLiteral("AAA"), true);

    // 7. The grids.
    SetGrid(cGrid1, imgGrid);
    SetGridInfo(cGridInfo);

    // 8. The status bar.
    cStatusBar1->setImageList(imgMenu);
    cStatusBar1->AddPanel(0, QString(), QString(), 47, 120, false, false, 0, QStringLiteral("Main"));
    cStatusBar1->AddPanel(0, QString(), QString(), -1, 180, false, false, 0, QStringLiteral("Items List Properties"));
    cStatusBar1->AddPanel(0, GetNotesToStatus(), QStringLiteral("Notes"), 8, 250, false, false, 0,
                          QStringLiteral("Notes"));
    cStatusBar1->AddPanel(0, QStringLiteral("Master Volume"), QString(), 79, 64, false, false, 0,
                          QStringLiteral("Master Volume"));
    cStatusBar1->setPanelText(QStringLiteral("Main"), QStringLiteral("Ready."));

    // 9. Menus.
    SetMenus();

    // 10. The edition's view.
    SetAppView();

    // 11. The tools toolbar.
    SetToolsToolbar();
    cToolbarHostRecorder->AttachToolbar(tlbrRecorder);
    twips::setHeight(cToolbarHostRecorder, 760);

    // 12.-15. The top, projects, list and player toolbars.
    BuildTopToolbar();
    BuildProjectsToolbar();
    BuildListToolbar();
    BuildPlayerToolbar();

    // 16. Caption.
    setWindowTitle(g_sAppName + " " + g_sAppVersion);
    lblTitle->setText(g_sAppName + " " + g_sAppVersion);

    // 17.-18. The tree and the first list.
    setTree();
    FirstSelection();

    // 19. The window size.
    m_cRegistry.setSubkey(QStringLiteral("General"));
    LoadWindowSize();

    m_bLoaded = true;
    Form_Resize();
}

void FrmMain::LoadWindowSize()
{
    long lWidth = 0;
    long lHeight = 0;
    if (!toLong(m_cRegistry.GetRegistryValue(QStringLiteral("lWidth"), 13140), lWidth))
        lWidth = 0;
    if (!toLong(m_cRegistry.GetRegistryValue(QStringLiteral("lHeight"), 7440), lHeight))
        lHeight = 0;
    setWidth(lWidth < 3000 ? 13740 : int(lWidth));
    setHeight(lHeight < 1000 ? 7440 : int(lHeight));
}

// --- the window's size in twips ---

namespace {
int pxOf(int twips) { return int(std::lround(twips / 15.0)); }
} // namespace

// The outer size in pixels, and the twips it was last set to while it still matches.
int FrmMain::Width() const
{
    const int outer = frameGeometry().width();
    return (m_twWidth >= 0 && pxOf(m_twWidth) == outer) ? m_twWidth : outer * 15;
}

int FrmMain::Height() const
{
    const int outer = frameGeometry().height();
    return (m_twHeight >= 0 && pxOf(m_twHeight) == outer) ? m_twHeight : outer * 15;
}

int FrmMain::NormalWidth() const
{
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return Width();
    const int extra = frameGeometry().width() - geometry().width();
    return (normalGeometry().width() + extra) * 15;
}

int FrmMain::NormalHeight() const
{
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return Height();
    const int extra = frameGeometry().height() - geometry().height();
    return (normalGeometry().height() + extra) * 15;
}

void FrmMain::setWidth(int tw)
{
    const int extra = frameGeometry().width() - geometry().width();
    if (!isVisible() || extra == 0)
        m_pendingOuterWidth = tw;
    m_twWidth = tw;
    resize(qMax(1, pxOf(tw) - extra), height());
}

void FrmMain::setHeight(int tw)
{
    const int extra = frameGeometry().height() - geometry().height();
    if (!isVisible() || extra == 0)
        m_pendingOuterHeight = tw;
    m_twHeight = tw;
    resize(width(), qMax(1, pxOf(tw) - extra));
}

// A size set before the window had a frame was taken as the client size; once
// the frame is known, the outer size is made what was asked for.
void FrmMain::applyPendingOuterSize()
{
    if (m_pendingOuterWidth < 0 && m_pendingOuterHeight < 0)
        return;
    const int extraW = frameGeometry().width() - geometry().width();
    const int extraH = frameGeometry().height() - geometry().height();
    if (extraW == 0 && extraH == 0)
        return;
    const int w = m_pendingOuterWidth >= 0 ? qMax(1, pxOf(m_pendingOuterWidth) - extraW) : width();
    const int h = m_pendingOuterHeight >= 0 ? qMax(1, pxOf(m_pendingOuterHeight) - extraH) : height();
    m_pendingOuterWidth = m_pendingOuterHeight = -1;
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)))
        resize(w, h);
}

bool FrmMain::event(QEvent* e)
{
    const bool r = QMainWindow::event(e);
    if (e->type() == QEvent::Move || e->type() == QEvent::Show)
        applyPendingOuterSize();
    return r;
}

void FrmMain::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    // A resize by the user after the frame is known settles the size.
    if (isVisible() && frameGeometry().size() != geometry().size() && e->spontaneous())
        m_pendingOuterWidth = m_pendingOuterHeight = -1;
    if (m_bLoaded)
        Form_Resize();
}

void FrmMain::changeEvent(QEvent* e)
{
    QMainWindow::changeEvent(e);
    // Restoring a minimised window lays it out again.
    if (e->type() == QEvent::WindowStateChange && m_bLoaded)
        Form_Resize();
}

// --- notes summary ---

QString FrmMain::GetNotesToStatus()
{
    const QString empty = QStringLiteral("Notes [ Empty ]");
    const QString path = AppPath() + "/Notes";
    if (!QFile::exists(path))
        return empty;
    QString text = ReadTextFile(path);
    if (text.isEmpty() || text == QLatin1String("\r\n"))
        return empty;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    if (text.size() < 37)
        return "Notes [ " + text + " ]";
    return "Notes [ " + text.left(35) + "..." + " ]";
}

// --- tray ---

void FrmMain::setOpenCaption(const QString& caption)
{
    m_cMenu->setItemCaption(m_cMenu->MenuIndexForKey(QStringLiteral("RC Open")), caption);
}

// Without a tray a hidden window could never be brought back: it is
// minimized to the task bar instead, and the user is told so once.
bool FrmMain::HideToTray()
{
    if (cSysTray1 && cSysTray1->TrayAvailable()) {
        hide();
        return true;
    }
    showMinimized();
    if (!m_bToldNoTray) {
        m_bToldNoTray = true;
        MsgBox(QStringLiteral("This desktop has no system tray, so the window is minimized to the task bar instead."),
               vbInformation | vbOKOnly, QString(), this);
    }
    return false;
}

void FrmMain::GoSysTray()
{
    setWindowState(windowState() | Qt::WindowMinimized);
    m_bInTray = HideToTray();
    setOpenCaption(m_bInTray ? QStringLiteral("Show") : QStringLiteral("Hide"));
}

void FrmMain::ToggleFromTray()
{
    const bool minimized = windowState() & Qt::WindowMinimized;
    if (minimized && m_bInTray) {
        show();
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        setOpenCaption(QStringLiteral("Hide"));
        m_bInTray = false;
    } else {
        setWindowState(windowState() | Qt::WindowMinimized);
        m_bInTray = HideToTray();
        setOpenCaption(m_bInTray ? QStringLiteral("Show") : QStringLiteral("Hide"));
    }
}

void FrmMain::SetOnTop(bool bVal)
{
    SetFormOnTop(this, bVal);
    tlbrTop->setButtonChecked(QStringLiteral("On Top"), bVal);
    if (m_cMenu)
        m_cMenu->setItemChecked(m_cMenu->MenuIndexForKey(QStringLiteral("On Top")), bVal);
}

// --- accessor ---

FrmMain* frmMain()
{
    if (!ref()) {
        ref() = new FrmMain;
        ref()->Form_Load();
    }
    return ref();
}

bool frmMainLoaded() { return !ref().isNull(); }

void UnloadMain()
{
    delete ref().data();
}
