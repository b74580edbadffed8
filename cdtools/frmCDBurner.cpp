#include "cdtools/frmCDBurner.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

#include "cdtools/WriterDrives.h"
#include "components/disc/cAudioBurner.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "core/Edition.h"
#include "core/PathNames.h"
#include "core/TextFiles.h"
#include "lists/ItemRow.h"
#include "platform/MessageBox.h"
#include "platform/UserSettings.h"
#include "settings/SettingsWidgets.h"
#include "toolframe/JobSteps.h"

namespace {

QPointer<FrmCDBurner>& windowRef()
{
    static QPointer<FrmCDBurner> p;
    return p;
}

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(name);
    return widget;
}

} // namespace

ToolFrameDesign FrmCDBurner::Design()
{
    ToolFrameDesign d;
    d.objectName = QStringLiteral("g_frmCDBurner");
    d.caption = QStringLiteral("Audio CD Burner");
    d.iconResource = QStringLiteral("cd_music");
    d.startCaption = QStringLiteral("Burn");
    d.settingsTabCaption = QStringLiteral("Burner Options   ");
    d.settingsTabIcon = 73;
    return d;
}

FrmCDBurner::FrmCDBurner(QWidget* parent) : AudioBurnerWindow(Design(), parent)
{
    QWidget* page = TabSettings;
    lblDrive = named(new QLabel(QStringLiteral("CD Drive:"), page), "lblDrive");
    cboDrv = named(new QComboBox(page), "cboDrv");
    cboDrv->setAccessibleName(QStringLiteral("CD Drive:"));
    cboDrv->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    lblSpeed = named(new QLabel(QStringLiteral("Speed:"), page), "lblSpeed");
    cboSpeed = named(new QComboBox(page), "cboSpeed");
    cboSpeed->setAccessibleName(QStringLiteral("Speed:"));
    cmdOpenCD = named(new QPushButton(QStringLiteral("Open CD"), page), "cmdOpenCD");
    cmdClose = named(new QPushButton(QStringLiteral("Close CD"), page), "cmdClose");
    cmdIsReady = named(new QPushButton(QStringLiteral("Is Ready?"), page), "cmdIsReady");
    cmdDiskSize = named(new QPushButton(QStringLiteral("Disk SIze"), page), "cmdDiskSize");
    cmdDiskCapacity = named(new QPushButton(QStringLiteral("Disk Capacity"), page), "cmdDiskCapacity");
    lblState = named(new QLabel(QStringLiteral("State"), page), "lblState");
    lblDiskSize = named(new QLabel(QStringLiteral("Disk Size"), page), "lblDiskSize");
    lblDiskCapacity = named(new QLabel(QStringLiteral("Disk Capacity"), page), "lblDiskCapacity");
    lblDataSize = named(new QLabel(page), "lblDataSize");
    prgSize = named(new cProgressBar(page), "prgSize");
    prgSize->setAccessibleName(QStringLiteral("Data Size"));
    lblBrowseDrive = named(new LinkLabel(QStringLiteral("Browse with explorer"), page), "lblOpenDestinationDestinationFolder");
    lblOpenDestinationDestinationFolder = lblBrowseDrive;

    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(14, 10, 14, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(5);
    grid->addWidget(lblDrive, 0, 0);
    auto* drive = new QHBoxLayout;
    drive->addWidget(cboDrv, 1);
    drive->addWidget(cmdOpenCD);
    drive->addWidget(cmdClose);
    grid->addLayout(drive, 0, 1);
    grid->addWidget(lblSpeed, 1, 0);
    grid->addWidget(cboSpeed, 1, 1, Qt::AlignLeft);
    grid->addWidget(cmdIsReady, 2, 0);
    grid->addWidget(lblState, 2, 1);
    grid->addWidget(cmdDiskSize, 3, 0);
    grid->addWidget(lblDiskSize, 3, 1);
    grid->addWidget(cmdDiskCapacity, 4, 0);
    grid->addWidget(lblDiskCapacity, 4, 1);
    grid->addWidget(lblDataSize, 5, 0, 1, 2);
    grid->addWidget(prgSize, 6, 0, 1, 2);
    grid->addWidget(lblBrowseDrive, 7, 1, Qt::AlignLeft);
    grid->setRowStretch(8, 1);
    grid->setColumnStretch(1, 1);

    connect(lblBrowseDrive, &LinkLabel::clicked, this, [this] { lblOpenDestinationDestinationFolder_Click(); });
    SetUpWriter(cmdOpenCD, cmdClose, QStringLiteral("Open the CD drive"), false);
}

FrmCDBurner::~FrmCDBurner() = default;

void FrmCDBurner::LoadOwnTail()
{
    FillDriveList();
    const QString stored = GetSetting(g_sAppName, QStringLiteral("General"), QStringLiteral("chkOpenCDdrive"),
                                      QStringLiteral("0"));
    chkOpenCDdrive->setChecked(stored.trimmed() == QLatin1String("1"));
}

void FrmCDBurner::UnloadOwnSteps()
{
    ReleaseWriter();
    SaveSetting(g_sAppName, QStringLiteral("General"), QStringLiteral("chkOpenCDdrive"),
                QString::number(chkOpenCDdrive->isChecked() ? 1 : 0));
}

void FrmCDBurner::SetBurning(bool burning)
{
    for (QWidget* w : {static_cast<QWidget*>(cmdConvert), static_cast<QWidget*>(cboDrv),
                       static_cast<QWidget*>(cboSpeed), static_cast<QWidget*>(cmdOpenCD),
                       static_cast<QWidget*>(cmdClose)})
        w->setEnabled(!burning);
}

void FrmCDBurner::cmdConvert_Click()
{
    if (JobRunning())
        return;
    StartLogSection(txtLog);
    AddLogLine("Preparing to burn: " + QString::number(cGrid1->RowCount()) + " tracks.", txtLog);
    ResetJobState();
    m_lLastTrack = 0;
    m_bAbortRequested = false;
    ShowLogTab();
    AddLogLine(QStringLiteral("List the files to burn..."), txtLog);
    // No second burn and no other drive while the list is being added.
    SetBurning(true);
    cAudioBurner1->ResetBurner();
    m_lNextRow = 1;
    m_steps.post([this] { AddNextTrack(); });
}

void FrmCDBurner::AddNextTrack()
{
    if (m_bAbortRequested || m_lNextRow > cGrid1->RowCount()) {
        BurnDisk();
        return;
    }
    QPointer<FrmCDBurner> self(this);
    AddGridTrack(m_lNextRow);
    if (!self)
        return;
    ++m_lNextRow;
    m_steps.post([this] { AddNextTrack(); });
}

void FrmCDBurner::BurnDisk()
{
    if (m_bAbortRequested) {
        cAudioBurner1->ResetBurner();
        LogStep(QStringLiteral("Aborted."));
        ClearProgress();
        SetBurning(false);
        return;
    }
    if (cAudioBurner1->TrackCount() < 1) {
        SetBurning(false);
        LogStep(QStringLiteral("Nothing to burn."));
        MsgBox(QStringLiteral("Nothing to burn."), vbInformation | vbOKOnly, QString(), this);
        return;
    }
    SetBurning(true);
    const std::optional<long> burnt = BurnAddedTracks(true);
    if (!burnt)
        return;
    const long result = *burnt;
    if (result == cAudioBurner::ResultAborted) {
        LogStep(QStringLiteral("Aborted."));
        ClearProgress();
    }
    SetBurning(false);
    // The disc has changed: show what the drive holds now.
    cboDrv_Click();
    if (result != cAudioBurner::ResultDone)
        return;
    AddLogLine(QStringLiteral("Done."), txtLog);
    // Only now has the job ended: a power-off chosen for its end must not
    // meet a job that still runs.
    FinishJobDone();
}

QString FrmCDBurner::EndFolderToOpen() const
{
    return cAudioBurner1->DriveFolder(WriterLetter(cboDrv));
}

void FrmCDBurner::EjectTrayAtEnd()
{
    EjectWriterTray();
}

void FrmCDBurner::lblOpenDestinationDestinationFolder_Click()
{
    const QString folder = EndFolderToOpen();
    if (!folder.isEmpty())
        ShellOpen(this, folder);
}

void FrmCDBurner::cAudioBurner1_TrackProgress(int percent, int track)
{
    AudioBurnerWindow::cAudioBurner1_TrackProgress(percent, track);
    if (track != m_lLastTrack) {
        lblFilesToConvert->setText("Files: " + QString::number(m_lLastTrack + 1) + "/" +
                                   QString::number(cGrid1->RowCount()));
        m_lLastTrack = track;
    }
}

void FrmCDBurner::cAudioBurner1_ClosingSession()
{
    LogStep(QStringLiteral("Closing session..."));
}

void FrmCDBurner::cAudioBurner1_BurnFinished()
{
    AddLogLine(QStringLiteral("Finished."), txtLog);
    AudioBurnerWindow::cAudioBurner1_BurnFinished();
}

FrmCDBurner* g_frmCDBurner()
{
    if (!windowRef() || windowRef()->Unloaded()) {
        windowRef() = new FrmCDBurner(nullptr);
        windowRef()->Form_Load();
    }
    return windowRef();
}

bool g_frmCDBurnerLoaded()
{
    return windowRef() && !windowRef()->Unloaded();
}
