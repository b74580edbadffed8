#include "cdtools/frmAudioCDDuplicator.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <tuple>

#include "cdtools/WriterDrives.h"
#include "components/disc/cAudioBurner.h"
#include "components/disc/cAudioCDRipper.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "core/CommonLook.h"
#include "core/Edition.h"
#include "core/PathNames.h"
#include "core/TextFiles.h"
#include "lists/ItemRow.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "toolframe/JobSteps.h"

namespace {

QPointer<FrmAudioCDDuplicator>& windowRef()
{
    static QPointer<FrmAudioCDDuplicator> p;
    return p;
}

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(name);
    return widget;
}

QLabel* label(QWidget* page, const char* name, const QString& caption)
{
    return named(new QLabel(caption, page), name);
}

QPushButton* button(QWidget* page, const char* name, const QString& caption)
{
    return named(new QPushButton(caption, page), name);
}

} // namespace

ToolFrameDesign FrmAudioCDDuplicator::Design()
{
    ToolFrameDesign d;
    d.objectName = QStringLiteral("g_frmAudioCDDuplicator");
    d.caption = QStringLiteral("Audio CD Duplicator");
    d.iconResource = QStringLiteral("cd_music");
    d.startCaption = QStringLiteral("Duplicate");
    d.startDisabled = true;
    d.settingsTabCaption = QStringLiteral("Duplicator Options    ");
    d.settingsTabIcon = 83;
    d.timeLeft = true;
    return d;
}

FrmAudioCDDuplicator::FrmAudioCDDuplicator(QWidget* parent) : AudioBurnerWindow(Design(), parent)
{
    QWidget* page = TabSettings;
    txtToPath = named(new QComboBox(page), "txtToPath");
    txtToPath->setEditable(true);
    txtToPath->hide();

    Label1 = label(page, "Label1", QStringLiteral("Source Audio CD:"));
    cboDevices = named(new QComboBox(page), "cboDevices");
    cboDevices->setAccessibleName(Label1->text());
    cboDevices->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    cmdOpenCD = button(page, "cmdOpenCD", QStringLiteral("Open"));
    cmdCloseCD = button(page, "cmdCloseCD", QStringLiteral("Close"));
    lblCDStatus = label(page, "lblCDStatus", QStringLiteral("Ready."));
    Label2 = label(page, "Label2", QStringLiteral("Destination Audio CD:"));
    cboDrv = named(new QComboBox(page), "cboDrv");
    cboDrv->setAccessibleName(Label2->text());
    cboDrv->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    Label10 = label(page, "Label10", QStringLiteral("Speeds:"));
    cboSpeed = named(new QComboBox(page), "cboSpeed");
    cboSpeed->setAccessibleName(Label10->text());
    cmdOpenDestCD = button(page, "cmdOpenDestCD", QStringLiteral("Open CD"));
    cmdClose = button(page, "cmdClose", QStringLiteral("Close CD"));
    Label9 = label(page, "Label9", QStringLiteral("Disk Size"));
    Label6 = label(page, "Label6", QStringLiteral("-"));
    lblDiskSize = label(page, "lblDiskSize", QStringLiteral("Disk Size"));
    Label4 = label(page, "Label4", QStringLiteral("Disk Capacity"));
    Label7 = label(page, "Label7", QStringLiteral("-"));
    lblDiskCapacity = label(page, "lblDiskCapacity", QStringLiteral("Disk Capacity"));
    Label5 = label(page, "Label5", QStringLiteral("Disk State"));
    Label8 = label(page, "Label8", QStringLiteral("-"));
    lblState = label(page, "lblState", QStringLiteral("State"));
    for (QWidget* hidden : {static_cast<QWidget*>(Label5), static_cast<QWidget*>(Label8),
                            static_cast<QWidget*>(lblState)})
        hidden->hide();
    chkOnTheFly = named(new QCheckBox(QStringLiteral("On The Fly - Duplicate without using a temp folder"), page),
                        "chkOnTheFly");
    chkOnTheFly->hide();

    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(14, 10, 14, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(5);
    grid->addWidget(Label1, 0, 0, 1, 3);
    auto* source = new QHBoxLayout;
    source->addWidget(cboDevices, 1);
    source->addWidget(cmdOpenCD);
    source->addWidget(cmdCloseCD);
    grid->addLayout(source, 1, 0, 1, 3);
    grid->addWidget(lblCDStatus, 2, 0, 1, 3);
    grid->addWidget(Label2, 3, 0, 1, 3);
    auto* dest = new QHBoxLayout;
    dest->addWidget(cboDrv, 1);
    dest->addWidget(cmdOpenDestCD);
    dest->addWidget(cmdClose);
    grid->addLayout(dest, 4, 0, 1, 3);
    auto* speed = new QHBoxLayout;
    speed->addWidget(Label10);
    speed->addWidget(cboSpeed);
    speed->addStretch(1);
    grid->addLayout(speed, 5, 0, 1, 3);
    int row = 6;
    for (auto [caption, dash, value] : {std::tuple{Label9, Label6, lblDiskSize}, std::tuple{Label4, Label7, lblDiskCapacity},
                                        std::tuple{Label5, Label8, lblState}}) {
        grid->addWidget(caption, row, 0);
        grid->addWidget(dash, row, 1);
        grid->addWidget(value, row, 2);
        ++row;
    }
    grid->addWidget(chkOnTheFly, row++, 0, 1, 3);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(2, 1);

    tmrState = named(new QTimer(this), "tmrState");
    tmrState->setInterval(3000);
    connect(tmrState, &QTimer::timeout, this, [this] { tmrState_Timer(); });

    cAudioCDRipper1 = new cAudioCDRipper(this);
    cAudioCDRipper1->setObjectName("cAudioCDRipper1");
    m_target.setComponent(cAudioCDRipper1);
    connect(cAudioCDRipper1, &cAudioCDRipper::JobProgress, this, [this](int p) { cAudioCDRipper1_JobProgress(p); });
    connect(cAudioCDRipper1, &cAudioCDRipper::JobDone, this, [this] { cAudioCDRipper1_JobDone(); });
    connect(cAudioCDRipper1, &cAudioCDRipper::JobAborted, this, [this] { cAudioCDRipper1_JobAborted(); });
    connect(cAudioCDRipper1, &cAudioCDRipper::JobError, this,
            [this](int code, const QString& text) { cAudioCDRipper1_JobError(code, text); });

    connect(cboDevices, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            cboDevices_Click();
    });
    connect(cmdOpenCD, &QPushButton::clicked, this, [this] { cmdOpenCD_Click(); });
    connect(cmdCloseCD, &QPushButton::clicked, this, [this] { cmdCloseCD_Click(); });
    // The destination's "Close CD" has no action.
    SetUpWriter(cmdOpenDestCD, nullptr, QStringLiteral("Eject the CD door"), true);
}

FrmAudioCDDuplicator::~FrmAudioCDDuplicator() = default;

void FrmAudioCDDuplicator::LoadOwnTail()
{
    ResetTimeFields();
    txtToPath->setEditText(AppPath() + QStringLiteral("/duptmp/"));
    FillDriveList();
    FillDeviceList();
    tmrState->start();
}

void FrmAudioCDDuplicator::UnloadOwnSteps()
{
    tmrState->stop();
    cAudioCDRipper1->ReleaseComponent();
    ReleaseWriter();
    if (!m_bKeepTempFiles)
        DeleteFolderFiles(TempFolder());
}

QString FrmAudioCDDuplicator::TempFolder() const
{
    return txtToPath->currentText();
}

bool FrmAudioCDDuplicator::DoOnFly() const
{
    return chkOnTheFly->isEnabled() && chkOnTheFly->isChecked();
}

void FrmAudioCDDuplicator::EjectTrayAtEnd()
{
    cAudioCDRipper1->EjectTray();
}

void FrmAudioCDDuplicator::AbortComponents()
{
    cAudioCDRipper1->AbortJob();
    AudioBurnerWindow::AbortComponents();
}

// ---------------------------------------------------------------------------
// The drives

void FrmAudioCDDuplicator::FillDeviceList()
{
    for (int i = 0; i < cAudioCDRipper1->DeviceCount(); ++i)
        cboDevices->addItem(cAudioCDRipper1->DeviceName(i));
    if (cboDevices->count() > 0) {
        cboDevices->setCurrentIndex(-1);
        cboDevices->setCurrentIndex(0);
    }
}

void FrmAudioCDDuplicator::cboDevices_Click()
{
    const QString drive = cboDevices->currentText().left(2);
    cGrid1->ClearRows();
    QString failure;
    if (!cAudioCDRipper1->SelectDevice(cboDevices->currentIndex()))
        failure = "Cannot select '" + drive + "\\' as an Audio CD.";
    else if (!cAudioCDRipper1->IsAudioCD()) {
        // A refused image says why; an empty drive or a data disc is simply no audio CD.
        failure = cAudioCDRipper1->DiscRefusal();
        if (failure.isEmpty())
            failure = "'" + drive + "\\' is not an Audio CD.";
    } else if (cAudioCDRipper1->TrackCount() < 1)
        failure = "'" + drive + "\\' has no CDA tracks.";
    if (!failure.isEmpty()) {
        cmdConvert->setEnabled(false);
        SetForeColor(lblCDStatus, 255);
        lblCDStatus->setText(failure);
    } else {
        SetForeColor(lblCDStatus, 0);
        lblCDStatus->setText("OK: " + QString::number(cAudioCDRipper1->TrackCount()) + " CDA tracks");
        cmdConvert->setEnabled(true);
        ListCDTracks(drive);
    }
    lblFilesToConvert->setText(lblCDStatus->text());
    SetOnTheFly();
}

void FrmAudioCDDuplicator::ListCDTracks(const QString& drive)
{
    const int index = cboDevices->currentIndex();
    cGrid1->ClearRows();
    if (cAudioCDRipper1->SelectDevice(index)) {
        if (cAudioCDRipper1->IsAudioCD()) {
            const int count = cAudioCDRipper1->TrackCount();
            for (int n = 1; n <= count; ++n) {
                const QString name = QStringLiteral("Track%1.cda").arg(n, 2, 10, QLatin1Char('0'));
                cGrid1->SetCell(n, cGrid1->ColumnIndex(COL_ITEM_NAME), name);
                cGrid1->SetCell(n, cGrid1->ColumnIndex(COL_FILE), drive + "/" + name);
                // Whole tracks with their lengths, which the time-left estimate reads.
                cGrid1->SetCell(n, cGrid1->ColumnIndex(COL_TIME), TimeCellText(cAudioCDRipper1->TrackLength(n)));
                cGrid1->SetCell(n, cGrid1->ColumnIndex(COL_RANGE_ALL), QStringLiteral("1"));
            }
        } else {
            cGrid1->ClearRows();
            lblCDStatus->setText(QStringLiteral("Insert an Audio CD to the CD drive."));
        }
    }
    if (cGrid1->RowCount() == 0)
        lblCDStatus->setText(QStringLiteral("Insert an Audio CD to the CD drive."));
    else
        cGrid1->setSelectedRow(1);
}

void FrmAudioCDDuplicator::tmrState_Timer()
{
    // The list is the job's working list: it is left alone while a job runs.
    if (!JobRunning())
        cboDevices_Click();
}

void FrmAudioCDDuplicator::cmdOpenCD_Click()
{
    cAudioCDRipper1->EjectTray();
}

void FrmAudioCDDuplicator::cmdCloseCD_Click()
{
    cAudioCDRipper1->CloseTray();
}

// ---------------------------------------------------------------------------
// The job

void FrmAudioCDDuplicator::EnableJobControls(bool bEnable)
{
    for (QWidget* w : {static_cast<QWidget*>(cmdExit), static_cast<QWidget*>(cmdConvert),
                       static_cast<QWidget*>(cboDevices), static_cast<QWidget*>(cmdOpenCD),
                       static_cast<QWidget*>(cmdCloseCD), static_cast<QWidget*>(cboDrv),
                       static_cast<QWidget*>(cboSpeed), static_cast<QWidget*>(cmdOpenDestCD),
                       static_cast<QWidget*>(cmdClose)})
        w->setEnabled(bEnable);
}

long FrmAudioCDDuplicator::SetDestination()
{
    cAudioCDRipper1->setOutputFormat(1);
    WAVSettings wav;
    wav.SampleRate = 44100;
    wav.Channels = 2;
    wav.BitsPerSample = 16;
    cAudioCDRipper1->SetWAVSettings(wav);
    AddLogLine(QStringLiteral("Destination format: PCM WAV 44100 16 Stereo."), txtLog);
    return 0;
}

void FrmAudioCDDuplicator::cmdConvert_Click()
{
    if (JobRunning())
        return;
    StartLogSection(txtLog);
    AddLogLine("Preparing to copy: " + QString::number(cGrid1->RowCount()) + " tracks.", txtLog);
    SetDestination();
    QString folder = TempFolder();
    if (folder.endsWith('/'))
        folder.chop(1);
    CreateFolderPath(folder);
    ResetJobState();
    m_lCurrentRow = 1;
    m_bJobError = false;
    m_bJobRunning = true;
    m_bAbortRequested = false;
    m_bKeepTempFiles = false;
    m_sBurnEnd.clear();
    ShowLogTab();
    m_ltmrSecsElapsed = 1;
    // No launch hands this window its total: the disc's tracks are the job.
    g_ltmrItemSecsTotal = 0;
    for (int row = 1; row <= cGrid1->RowCount(); ++row)
        g_ltmrItemSecsTotal += RowSeconds(row);
    m_colRippedFiles.clear();
    cAudioCDRipper1->setRipDevice(cboDevices->currentIndex());
    tmrState->stop();
    if (DoOnFly())
        BurnDisk();
    else
        ConvertTracks();
}

void FrmAudioCDDuplicator::ConvertTracks()
{
    const long rows = cGrid1->RowCount();
    prgTotal->setProgressMax(rows * 100);
    EnableJobControls(false);
    if (Timer1)
        Timer1->start();
    if (m_lCurrentRow <= rows) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ConvertTask(m_lCurrentRow);
        return;
    }

    lblCurrentTrack->setText(QStringLiteral("Done."));
    setWindowTitle(QStringLiteral("Done."));
    prgTotal->setProgressValue(rows * 100);
    prgCurrnet->setProgressValue(100);
    if (Timer1)
        Timer1->stop();
    FillGridFromRippedFiles();
    QPointer<FrmAudioCDDuplicator> self(this);
    BurnDisk();
    if (!self)
        return;
    if (!m_sBurnEnd.isEmpty()) {
        // The disc was not written: the window stays with the ripped tracks
        // kept, and says why.
        EndJob(m_sBurnEnd);
        return;
    }
    ShowJobBalloon(QStringLiteral("Done."));
    m_bJobRunning = false;
    EnableJobControls(true);
    // The end actions come once the job has ended (a power-off meets no
    // running job) and before the closing message, which would hold an
    // unattended power-off back.
    DoEndEvents();
    if (!self || Unloaded())
        return;
    MsgBox(QStringLiteral("Done.") + QString(19, QLatin1Char(' ')), vbInformation | vbOKOnly, QString(), this);
    if (!self || Unloaded())
        return;
    close();
}

// A job that did not end in a written disc.
void FrmAudioCDDuplicator::EndJob(const QString& text)
{
    m_bJobRunning = false;
    if (m_bKeepTempFiles)
        AddLogLine("The ripped tracks are kept in " + TempFolder(), txtLog);
    lblCurrentTrack->setText(text);
    ShowJobBalloon(text);
    if (text == QLatin1String("Aborted."))
        ClearProgress();
    EnableJobControls(true);
    tmrState->start();
    cboDevices_Click();
}

long FrmAudioCDDuplicator::ConvertTask(long lRow)
{
    const QString name = QString::number(lRow) + QStringLiteral(".wav");
    cGrid1->setSelectedRow(int(lRow));
    m_ltmrItemSecs = RowSeconds(lRow);
    m_ltmrItemSecsDone = 0;
    cAudioCDRipper1->setRipTrack(int(lRow));
    SetID3Tags(lRow);
    lblCurrentTrack->setText(GetFileNameFromPath(cGrid1->CellText(int(lRow), cGrid1->ColumnIndex(COL_FILE))));
    lblFilesToConvert->setText("Files: " + QString::number(lRow) + "/" + QString::number(cGrid1->RowCount()));
    AddLogLine("Start to rip: " + lblCurrentTrack->text() + "...", txtLog);
    const QString output = TempFolder() + name;
    cAudioCDRipper1->setOutputFile(output);
    m_colRippedFiles << output;
    cAudioCDRipper1->StartRip();
    return 0;
}

void FrmAudioCDDuplicator::cAudioCDRipper1_JobProgress(int percent)
{
    if (percent < 1 || DoOnFly() || !m_bJobRunning)
        return;
    QApplication::restoreOverrideCursor();
    prgCurrnet->setProgressValue(percent);
    prgTotal->setProgressValue((m_lCurrentRow - 1) * 100 + percent);
    const double whole = double(prgTotal->ProgressValue()) / double(prgTotal->ProgressMax()) * 100.0;
    setWindowTitle("Converting... [ " + QString::number(prgCurrnet->ProgressValue()) + "% / " +
                   QString::number(whole, 'g', 15) + "% ]");
    NoteRowProgress(percent);
}

void FrmAudioCDDuplicator::cAudioCDRipper1_JobDone()
{
    QApplication::restoreOverrideCursor();
    LogStep(QStringLiteral("Done."));
    NoteRowDone();
    ++m_lCurrentRow;
    m_steps.post([this] { NextTrackStep(); });
}

void FrmAudioCDDuplicator::NextTrackStep()
{
    // The track ended before the abort reached the ripper: the job ends here.
    if (m_bAbortRequested) {
        cAudioCDRipper1_JobAborted();
        return;
    }
    ConvertTracks();
}

void FrmAudioCDDuplicator::cAudioCDRipper1_JobAborted()
{
    QApplication::restoreOverrideCursor();
    m_bJobRunning = false;
    EnableJobControls(true);
    ClearProgress();
    LogStep(QStringLiteral("Aborted."));
    setWindowTitle(QStringLiteral("Aborted."));
}

void FrmAudioCDDuplicator::cAudioCDRipper1_JobError(int code, const QString& text)
{
    QApplication::restoreOverrideCursor();
    m_bJobError = true;
    const QString message = "Error: " + text + "(" + QString::number(code) + ")";
    LogStep(message);
    setWindowTitle(message);
    ++m_lCurrentRow;
    m_steps.post([this] { NextTrackStep(); });
}

void FrmAudioCDDuplicator::FillGridFromRippedFiles()
{
    cGrid1->ClearRows();
    int row = 0;
    for (const QString& path : m_colRippedFiles) {
        const QFileInfo fi(path);
        if (!fi.isFile() || fi.size() <= 0)
            continue;
        ++row;
        cGrid1->SetCell(row, cGrid1->ColumnIndex(COL_ITEM_NAME), GetFileNameFromPath(path));
        cGrid1->SetCell(row, cGrid1->ColumnIndex(COL_FILE), path);
    }
}

void FrmAudioCDDuplicator::BurnDisk()
{
    QPointer<FrmAudioCDDuplicator> self(this);
    m_sBurnEnd.clear();
    for (;;) {
        cAudioCDRipper1->ReleaseComponent();
        const QString letter = WriterLetter(cboDrv);
        if (m_bAbortRequested) {
            m_sBurnEnd = QStringLiteral("Aborted.");
            break;
        }
        if (cAudioBurner1->DiscState(letter).isEmpty())
            break;
        EjectWriterTray();
        const int answer = MsgBox("Insert an empty media to drive " + letter +
                                      " then click on 'OK'.\r\n\r\nClick on cancel in order to cancel the burn proccess.",
                                  vbOKCancel | vbInformation, QString(), this);
        if (!self)
            return;
        if (answer != vbOK) {
            m_sBurnEnd = QStringLiteral("Aborted.");
            AddLogLine(m_sBurnEnd, txtLog);
            break;
        }
    }
    m_bKeepTempFiles = !m_sBurnEnd.isEmpty();
    if (!m_sBurnEnd.isEmpty())
        return;

    const long rows = cGrid1->RowCount();
    cAudioBurner1->ResetBurner();
    for (long row = 1; row <= rows && !m_bAbortRequested; ++row) {
        AddGridTrack(row);
        if (!self)
            return;
    }
    if (m_bAbortRequested) {
        cAudioBurner1->ResetBurner();
        m_bKeepTempFiles = true;
        m_sBurnEnd = QStringLiteral("Aborted.");
        AddLogLine(m_sBurnEnd, txtLog);
        return;
    }
    if (cAudioBurner1->TrackCount() < 1) {
        EnableJobControls(true);
        m_sBurnEnd = QStringLiteral("Nothing to burn.");
        AddLogLine(m_sBurnEnd, txtLog);
        MsgBox(m_sBurnEnd, vbInformation | vbOKOnly, QString(), this);
        m_bKeepTempFiles = true;
        return;
    }
    const std::optional<long> burnt = BurnAddedTracks(false);
    if (!burnt)
        return;
    const long result = *burnt;
    cAudioBurner1->ReleaseComponent();
    if (result == cAudioBurner::ResultDone) {
        EjectWriterTray();
        DeleteFolderFiles(TempFolder());
        return;
    }
    m_bKeepTempFiles = true;
    if (result == cAudioBurner::ResultAborted) {
        m_sBurnEnd = QStringLiteral("Aborted.");
        AddLogLine(m_sBurnEnd, txtLog);
    } else if (m_sBurnEnd.isEmpty()) {
        m_sBurnEnd = lblCurrentTrack->text();
    }
}

void FrmAudioCDDuplicator::cAudioBurner1_TrackProgress(int percent, int track)
{
    AudioBurnerWindow::cAudioBurner1_TrackProgress(percent, track);
    tmrState->stop();
    lblFilesToConvert->setText("Files: " + QString::number(track) + "/" + QString::number(cGrid1->RowCount()));
}

void FrmAudioCDDuplicator::cAudioBurner1_ClosingSession()
{
    LogStep(QStringLiteral("Closing session, please wait..."));
    prgCurrnet->setProgressValue(prgCurrnet->ProgressMax());
    prgTotal->setProgressValue(prgTotal->ProgressMax());
}

void FrmAudioCDDuplicator::cAudioBurner1_BurnFinished()
{
    AudioBurnerWindow::cAudioBurner1_BurnFinished();
    LogStep(QStringLiteral("Finished."));
}

void FrmAudioCDDuplicator::cAudioBurner1_BurnError(int code, const QString& text)
{
    AudioBurnerWindow::cAudioBurner1_BurnError(code, text);
    m_sBurnEnd = BurnErrorLine(code, text);
}

void FrmAudioCDDuplicator::DeleteFolderFiles(const QString& folder)
{
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(dir.filePath(name));
}

FrmAudioCDDuplicator* g_frmAudioCDDuplicator()
{
    if (!windowRef() || windowRef()->Unloaded()) {
        windowRef() = new FrmAudioCDDuplicator(nullptr);
        windowRef()->Form_Load();
    }
    return windowRef();
}

bool g_frmAudioCDDuplicatorLoaded()
{
    return windowRef() && !windowRef()->Unloaded();
}
