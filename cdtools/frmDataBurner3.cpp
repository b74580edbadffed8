#include "cdtools/frmDataBurner3.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "audiotools/ConverterEvents.h"
#include "audiotools/ConverterJob.h"
#include "audiotools/JobSteps.h"
#include "components/audio/AudioJobErrors.h"
#include "components/disc/DataBurnWorker.h"
#include "components/disc/DataDiscBurn.h"
#include "components/audio/cAudioConverter.h"
#include "components/disc/cAudioDataBurner.h"
#include "components/disc/cBurner.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "core/Edition.h"
#include "core/FileCopy.h"
#include "core/PathNames.h"
#include "core/TextFiles.h"
#include "lists/ItemRow.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "platform/UserSettings.h"
#include "settings/SettingsWidgets.h"
#include "toolframe/NameMacros.h"

namespace {

QPointer<FrmDataBurner3>& windowRef()
{
    static QPointer<FrmDataBurner3> p;
    return p;
}

QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

template <class T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(name);
    return widget;
}

QLabel* caption(QWidget* parent, const char* name, const QString& text)
{
    return named(new QLabel(text, parent), name);
}

LinkLabel* link(QWidget* parent, const char* name, const QString& text, const QString& tip)
{
    auto* l = named(new LinkLabel(text, parent), name);
    l->setToolTip(tip);
    l->setAccessibleName(text);
    l->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    return l;
}

const QString kEngine0 = QStringLiteral("IMAPI V1 - CDs only.");
const QString kEngine1 = QStringLiteral("IMAPI V2 - CDs / DVDs");

} // namespace

ToolFrameDesign FrmDataBurner3::Design()
{
    ToolFrameDesign d;
    d.objectName = QStringLiteral("g_frmDataBurner3");
    d.caption = QStringLiteral("Audio Data Burner");
    d.iconResource = QStringLiteral("cd_music");
    d.startCaption = QStringLiteral("Burn");
    d.settingsTabCaption = QStringLiteral("Options        ");
    d.settingsTabIcon = 72;
    d.openDestFolderCaption = QStringLiteral("Open destination folder");
    d.noticeAppCaption = QStringLiteral("Execute external program ");
    d.targetFormat = true;
    d.formatDefaultLink = false;
    d.fileNameTemplate = true;
    d.templateAlwaysFirst = true;
    d.parametersLink = true;
    d.timeLeft = true;
    return d;
}

FrmDataBurner3::FrmDataBurner3(QWidget* parent) : ToolWindow(Design(), parent)
{
    QWidget* page = TabSettings;
    lblEngine = caption(page, "lblEngine", QStringLiteral("Burning Engine:"));
    cmbEngine = named(new QComboBox(page), "cmbEngine");
    cmbEngine->addItems({kEngine0, kEngine1});
    cmbEngine->setCurrentIndex(-1);
    lblDrv = caption(page, "lblDrv", QStringLiteral("Destination CD:"));
    cboDrv = named(new QComboBox(page), "cboDrv");
    lblCDStatus = caption(page, "lblCDStatus", QStringLiteral("Ready."));
    lblRefreshCDInfo = link(page, "lblRefreshCDInfo", QStringLiteral("Refresh"), QStringLiteral("Refresh CD Information"));
    lblOpenCDDoor = link(page, "lblOpenCDDoor", QStringLiteral("Open"), QStringLiteral("Open CD"));
    lblCloseCDDoor = link(page, "lblCloseCDDoor", QStringLiteral("Close"), QStringLiteral("Close CD"));
    lblSpeed = caption(page, "lblSpeed", QStringLiteral("Speeds:"));
    cboSpeed = named(new QComboBox(page), "cboSpeed");
    lblCDName = caption(page, "lblCDName", QStringLiteral("CD Name:"));
    txtCDName = named(new QLineEdit(page), "txtCDName");
    lblPublisherID = caption(page, "lblPublisherID", QStringLiteral("Publisher ID:"));
    PublisherID = named(new QLineEdit(QStringLiteral("Publisher"), page), "PublisherID");
    lblFileSys = caption(page, "lblFileSys", QStringLiteral("File Sytem:"));
    chkISO = named(new QCheckBox(QStringLiteral("ISO"), page), "chkISO");
    chkJOLIET = named(new QCheckBox(QStringLiteral("JOLIET"), page), "chkJOLIET");
    chkUDF = named(new QCheckBox(QStringLiteral("UDF"), page), "chkUDF");
    chkISO->setChecked(true);
    chkJOLIET->setChecked(true);
    chkDoNotConvertSource = named(
        new QCheckBox(QStringLiteral("Do not convert the source files - Burn the files with the same format as they are."),
                      page),
        "chkDoNotConvertSource");
    lblCDFormat = Label5;
    lblCDFormat->setObjectName(QStringLiteral("lblCDFormat"));
    lblCDFormat->setText(QStringLiteral("CD / DVD Format:"));
    Label5 = nullptr;

    // The boxes are named by the labels beside them.
    cmbEngine->setAccessibleName(lblEngine->text());
    cboDrv->setAccessibleName(lblDrv->text());
    cboSpeed->setAccessibleName(lblSpeed->text());
    txtCDName->setAccessibleName(lblCDName->text());
    PublisherID->setAccessibleName(lblPublisherID->text());
    cboTargetFormat->setAccessibleName(lblCDFormat->text());
    cboFileName->setAccessibleName(Label21->text());

    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(14, 8, 14, 6);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    int row = 0;
    grid->addWidget(lblEngine, row, 0);
    grid->addWidget(cmbEngine, row++, 1);
    grid->addWidget(lblDrv, row, 0);
    auto* drive = new QHBoxLayout;
    drive->addWidget(cboDrv, 1);
    drive->addWidget(lblCDStatus);
    drive->addWidget(lblRefreshCDInfo);
    drive->addWidget(lblOpenCDDoor);
    drive->addWidget(lblCloseCDDoor);
    grid->addLayout(drive, row++, 1);
    grid->addWidget(lblSpeed, row, 0);
    auto* speed = new QHBoxLayout;
    speed->addWidget(cboSpeed, 1);
    speed->addWidget(lblFileSys);
    speed->addWidget(chkISO);
    speed->addWidget(chkJOLIET);
    speed->addWidget(chkUDF);
    grid->addLayout(speed, row++, 1);
    grid->addWidget(lblCDName, row, 0);
    auto* name = new QHBoxLayout;
    name->addWidget(txtCDName, 1);
    name->addWidget(lblPublisherID);
    name->addWidget(PublisherID, 1);
    grid->addLayout(name, row++, 1);
    grid->addWidget(chkDoNotConvertSource, row++, 0, 1, 2);
    grid->addWidget(lblCDFormat, row, 0);
    auto* format = new QHBoxLayout;
    format->addWidget(cboTargetFormat, 1);
    format->addWidget(cmdEditTargetFormat);
    grid->addLayout(format, row++, 1);
    grid->addWidget(Label21, row, 0);
    auto* names = new QHBoxLayout;
    names->addWidget(cboFileName, 1);
    names->addSpacing(10);
    names->addWidget(lblParameters);
    grid->addLayout(names, row++, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);

    AddOpenCDdriveBox(QStringLiteral("Eject the CD door"), true);
    chkEraseTempfiles = named(new QCheckBox(QStringLiteral("Erase Temp files"), TabEvents), "chkEraseTempfiles");
    chkEraseTempfiles->setChecked(true);
    QFont bold = chkEraseTempfiles->font();
    bold.setBold(true);
    chkEraseTempfiles->setFont(bold);
    if (auto* boxes = qobject_cast<QBoxLayout*>(TabEvents->layout()))
        boxes->insertWidget(2, chkEraseTempfiles);
    lblErasetempfilesnow = link(TabEvents, "lblErasetempfilesnow", QStringLiteral("Erase temp files now."),
                                QStringLiteral("Erase temp files now."));
    if (auto* boxes = qobject_cast<QBoxLayout*>(TabEvents->layout()))
        boxes->insertWidget(3, lblErasetempfilesnow);

    cAudioConverter1 = new cAudioConverter(this);
    cAudioConverter1->setObjectName("cAudioConverter1");
    m_target.setComponent(cAudioConverter1);
    ConnectConverterEvents(cAudioConverter1, this);
    // A converted row is only a file to burn: it is not logged on its own.
    m_rowJob.doneShown = false;

    cAudioDataBurner1 = new cAudioDataBurner(this);
    cAudioDataBurner1->setObjectName("cAudioDataBurner1");
    connect(cAudioDataBurner1, &cAudioDataBurner::BurnStarted, this, [this] { cAudioDataBurner1_BurnStarted(); });
    connect(cAudioDataBurner1, &cAudioDataBurner::BurnProgress, this,
            [this](int p) { cAudioDataBurner1_BurnProgress(p); });
    connect(cAudioDataBurner1, &cAudioDataBurner::ClosingSession, this, [this] { cAudioDataBurner1_ClosingSession(); });
    connect(cAudioDataBurner1, &cAudioDataBurner::BurnFinished, this, [this] { cAudioDataBurner1_BurnFinished(); });
    connect(cAudioDataBurner1, &cAudioDataBurner::BurnStopped, this,
            [this](long code, const QString& text) { cAudioDataBurner1_BurnStopped(code, text); });
    connect(cAudioDataBurner1, &cAudioDataBurner::FileRenamed, this,
            [this](const QString& path, const QString& name) { LogDiscName(path, name); });

    cBurner1 = new cBurner(this);
    cBurner1->setObjectName("cBurner1");
    connect(cBurner1, &cBurner::BurnerInitializing, this, [this] { cBurner1_BurnerInitializing(); });
    connect(cBurner1, &cBurner::BurnerAdding, this, [this](const QString& p) { cBurner1_BurnerAdding(p); });
    connect(cBurner1, &cBurner::BurnerFileCount, this, [this](long f, long d) { cBurner1_BurnerFileCount(f, d); });
    connect(cBurner1, &cBurner::StartBurning, this, [this] { cBurner1_StartBurning(); });
    connect(cBurner1, &cBurner::BurnerProgress, this, [this](long p) { cBurner1_BurnerProgress(p); });
    connect(cBurner1, &cBurner::BurnerFinalization, this, [this] { cBurner1_BurnerFinalization(); });
    connect(cBurner1, &cBurner::BurnerCompleted, this, [this] { cBurner1_BurnerCompleted(); });
    connect(cBurner1, &cBurner::BurnerDoneBurn, this, [this] { cBurner1_BurnerDoneBurn(); });
    connect(cBurner1, &cBurner::BurnerCanceled, this, [this] { cBurner1_BurnerCanceled(); });
    connect(cBurner1, &cBurner::BurnerMessage, this,
            [this](const QString& a, const QString& b) { cBurner1_BurnerMessage(a, b); });
    connect(cBurner1, &cBurner::BurnerEnd, this, [this] { cBurner1_BurnerEnd(); });
    connect(cBurner1, &cBurner::FileRenamed, this,
            [this](const QString& path, const QString& name) { LogDiscName(path, name); });

    connect(cmbEngine, &QComboBox::currentIndexChanged, this, [this] { cmbEngine_Click(); });
    connect(cboDrv, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0)
            cboDrv_Click();
    });
    connect(chkDoNotConvertSource, &QCheckBox::stateChanged, this, [this] { chkDoNotConvertSource_Click(); });
    connect(lblRefreshCDInfo, &LinkLabel::clicked, this, [this] { lblRefreshCDInfo_Click(); });
    connect(lblOpenCDDoor, &LinkLabel::clicked, this, [this] { lblOpenCDDoor_Click(); });
    connect(lblCloseCDDoor, &LinkLabel::clicked, this, [this] { lblCloseCDDoor_Click(); });
    connect(lblErasetempfilesnow, &LinkLabel::clicked, this, [this] { lblErasetempfilesnow_Click(); });
}

FrmDataBurner3::~FrmDataBurner3() = default;

QWidgetList FrmDataBurner3::OwnBackColorControls() const
{
    return {chkDoNotConvertSource, chkEraseTempfiles, chkISO, chkUDF, chkJOLIET};
}

// ---------------------------------------------------------------------------
// Load and unload

void FrmDataBurner3::LoadStepAfterIcon() { FillDriveList(); }

void FrmDataBurner3::LoadStepBeforeTabs()
{
    const QString stored = GetSetting(g_sAppName, QStringLiteral("BurnerEngine"), QStringLiteral("cmbEngine"),
                                      QStringLiteral("0"));
    // The number at the start of the text; none gives 0.
    int i = 0;
    while (i < stored.size() && (stored.at(i).isDigit() || (i == 0 && (stored.at(i) == '-' || stored.at(i) == '+'))))
        ++i;
    bool ok = false;
    const long index = stored.left(i).toLong(&ok);
    const int engine = ok ? int(index) : 0;
    if (engine == 0 || engine == 1)
        cmbEngine->setCurrentIndex(engine);
}

void FrmDataBurner3::LoadOwnTail()
{
    // What a burn that never ended left behind.
    DeleteFolderFiles();
    cAudioDataBurner1->ClearStaleImages();
    ResetTimeFields();
    CheckDoNotConvertEna();
    lblCurrentTrack->setText(QStringLiteral("Ready."));
}

void FrmDataBurner3::UnloadOwnSteps()
{
    DeleteFolderFiles();
    SaveSetting(g_sAppName, QStringLiteral("BurnerEngine"), QStringLiteral("cmbEngine"),
                QString::number(cmbEngine->currentIndex()));
    cAudioConverter1->ReleaseComponent();
    cAudioDataBurner1->ReleaseComponent();
    cBurner1->ReleaseComponent();
}

// ---------------------------------------------------------------------------
// Settings page

void FrmDataBurner3::CheckDoNotConvertEna()
{
    const bool copyOnly = CheckTicked(chkDoNotConvertSource);
    cboTargetFormat->setEnabled(!copyOnly);
    cmdEditTargetFormat->setEnabled(!copyOnly);
    lblCDFormat->setEnabled(!copyOnly);
}

void FrmDataBurner3::chkDoNotConvertSource_Click() { CheckDoNotConvertEna(); }

void FrmDataBurner3::cmbEngine_Click()
{
    if (cmbEngine->currentIndex() < 0)
        return;
    const bool second = cmbEngine->currentIndex() != 0;
    for (QWidget* w : {static_cast<QWidget*>(chkJOLIET), static_cast<QWidget*>(chkISO),
                       static_cast<QWidget*>(chkUDF), static_cast<QWidget*>(lblFileSys)})
        w->setVisible(second);
    if (!second) {
        FillDriveList();
        return;
    }
    if (CheckImapi2Installed())
        FillImapiDriveList();
    else
        cmbEngine->setCurrentIndex(0);
}

QString FrmDataBurner3::GetTempFolder() const { return AppPath() + QStringLiteral("/datacdtmp/"); }

void FrmDataBurner3::DeleteFolderFiles()
{
    const QDir dir(GetTempFolder());
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(GetTempFolder() + name);
}

void FrmDataBurner3::lblErasetempfilesnow_Click()
{
    // The running job reads and writes these files.
    if (JobRunning() || m_bBurning || m_bChecking) {
        MsgBox(QStringLiteral("The temporary files are in use until the job ends."), vbExclamation | vbOKOnly,
               QString(), this);
        return;
    }
    DeleteFolderFiles();
    MsgBox("Done." + blanks(28), vbInformation, QString(), this);
}

QString FrmDataBurner3::RowFileName(long lRow)
{
    FileNameTemplateInput in;
    in.sTemplate = cboFileName->currentText();
    in.lRow = lRow;
    in.sSourcePath = GridCell(cGrid1, lRow, COL_FILE);
    in.sItemName = GridCell(cGrid1, lRow, COL_ITEM_NAME);
    in.sDestExtension = CheckTicked(chkDoNotConvertSource) ? GetLastExtension(GetFileNameFromPath(in.sSourcePath))
                                                           : DestExtension();
    return ::ExpandFileNameTemplate(in);
}

QString FrmDataBurner3::DriveLetter() const { return cboDrv->currentText().left(1); }

QString FrmDataBurner3::CreateID3TagsString(const QString& sStr)
{
    TagMacroValues values;
    values.lTrackNum = cGrid1->SelectedRow();
    values.bRowMacros = true;
    const int row = int(m_lCurrentRow);
    values.bRowKnown = row >= 1 && row <= cGrid1->RowCount();
    if (values.bRowKnown) {
        values.sSourceName = GetFileNameFromPath(GridCell(cGrid1, row, COL_FILE));
        values.sItemName = GridCell(cGrid1, row, COL_ITEM_NAME);
        values.sRange = GridCell(cGrid1, row, COL_RANGE);
    }
    return ExpandTagMacros(sStr, values);
}

// ---------------------------------------------------------------------------
// The job

void FrmDataBurner3::LogDiscName(const QString& path, const QString& discName)
{
    AddLogLine("Name on the disc: " + discName + " (was " + GetFileNameFromPath(path) + ")", txtLog);
}

void FrmDataBurner3::LogAndLabel(const QString& text)
{
    LogStep(text);
}

void FrmDataBurner3::cmdConvert_Click()
{
    if (JobRunning() || m_bChecking)
        return;
    StartLogSection(txtLog);
    m_bAbortRequested = false;
    prgCurrnet->setProgressValue(0);
    prgTotal->setProgressValue(0);
    AddLogLine("Preparing to burn: " + QString::number(cGrid1->RowCount()) + " tracks.", txtLog);

    if (!DriveTakesTheDisc())
        return;
    if (CheckTicked(chkDoNotConvertSource)) {
        // The copies are as big as their sources: a disc they cannot fit is
        // refused before anything is copied.
        QStringList sources;
        for (long n = 1; n <= cGrid1->RowCount(); ++n)
            sources << GridCell(cGrid1, n, COL_FILE);
        if (!LayoutFits(sources))
            return;
    }

    SetDestination();
    CreateFolderPath(GetTempFolder().chopped(1));
    ResetJobState();
    ShowLogTab();
    m_bFirstCall = true;
    ConvertTracks();
}

void FrmDataBurner3::ConvertTracks()
{
    const long rows = cGrid1->RowCount();
    SetJobButtonsEnabled(this, false);
    Timer1->start();
    lblCurrentTrack->setText(QStringLiteral("Ready."));
    if (m_bFirstCall) {
        m_bFirstCall = false;
        DeleteFolderFiles();
    }

    long result = RowStarted;
    if (CheckTicked(chkDoNotConvertSource)) {
        prgTotal->setProgressMax(rows);
        for (long n = 1; n <= rows; ++n) {
            if (m_bAbortRequested) {
                DeleteFolderFiles();
                result = RowCancelled;
                AddLogLine(QStringLiteral("Aborted."), txtLog);
                break;
            }
            const QString name = RowFileName(n);
            const QString problem = OutputNameProblem(name);
            const QString source = GridCell(cGrid1, n, COL_FILE);
            const QString target = GetTempFolder() + name;
            bool copy = problem.isEmpty();
            if (!problem.isEmpty()) {
                NoteRowError();
                AddLogLine("Error: " + problem + "(" + QString::number(kvaudio::ErrOutputPath) + ")", txtLog);
            } else if (FileAtOutputPath(target)) {
                const int answer =
                    MsgBox("The file name " + name + " is already existed in the list to be burn. \r\n\r\nOverwtie it?",
                           vbYesNoCancel | vbInformation, QString(), this);
                if (answer == vbCancel)
                    break;
                copy = answer == vbYes;
            }
            QString why;
            if (copy && !CopyRowFile(source, target, &why) && !m_bAbortRequested) {
                NoteRowError();
                AddLogLine("Error: " + why.simplified() + "(" + QString::number(kvaudio::ErrWrite) + ")", txtLog);
            }
            prgTotal->setProgressValue(n);
            lblFilesToConvert->setText("Files: " + QString::number(n) + "/" + QString::number(rows));
        }
        // An Abort clicked during the last copy still ends the job.
        if (result != RowCancelled && m_bAbortRequested) {
            DeleteFolderFiles();
            result = RowCancelled;
            AddLogLine(QStringLiteral("Aborted."), txtLog);
        }
    } else {
        prgTotal->setProgressMax(rows * 100);
        if (StartNextRow(this, &result))
            return; // the converter's events go on from here
        if (result == RowSkipped)
            result = RowStarted;
    }

    SetJobButtonsEnabled(this, true);
    unsetCursor();
    if (result == RowCancelled) {
        ShowJobCancelled(this);
        return;
    }
    lblCurrentTrack->setText(QStringLiteral("Ready."));
    setWindowTitle(lblCurrentTrack->text());
    prgTotal->setProgressValue(prgTotal->ProgressMax());
    prgCurrnet->setProgressValue(100);
    Timer1->stop();
    prgTotal->setProgressValue(0);

    bool anyFile = false;
    for (long n = 1; n <= rows && !anyFile; ++n)
        anyFile = FileExists(GetTempFolder() + RowFileName(n));
    if (!anyFile) {
        EndWithoutBurn(QStringLiteral("Nothing to burn."));
        return;
    }
    QStringList prepared;
    for (long n = 1; n <= rows; ++n)
        prepared << GetTempFolder() + RowFileName(n);
    if (!LayoutFits(prepared)) {
        lblCurrentTrack->setText(QStringLiteral("Aborted."));
        setWindowTitle(lblCurrentTrack->text());
        return;
    }
    if (MsgBox("Burn CD?" + blanks(46), vbOKCancel, QString(), this) != vbOK)
        return;
    if (cmbEngine->currentIndex() == 0)
        BurnWithDataBurner();
    else
        BurnWithImapi2();
}

bool FrmDataBurner3::DriveTakesTheDisc()
{
    // Both engines check the disc before anything is prepared.
    const bool first = cmbEngine->currentIndex() == 0;
    const QString letter = DriveLetter();
    const long drive = cboDrv->currentIndex();
    const QString driveText = cboDrv->currentText().left(2);
    m_bChecking = true;
    const bool ready = first ? cAudioDataBurner1->IsDriveReady(letter) : cBurner1->IsDriveReady(drive);
    const bool empty = ready && (first ? cAudioDataBurner1->IsDiscEmpty(letter) : cBurner1->IsDiscEmpty(drive));
    m_bChecking = false;
    if (ready && empty)
        return true;
    const QString problem = first ? cAudioDataBurner1->DriveProblem() : cBurner1->DriveProblem();
    AddLogLine("The CD drive '" + driveText + (ready ? "' is not empty." : "' is not ready."), txtLog);
    if (!ready && !problem.isEmpty())
        AddLogLine(problem, txtLog);
    MsgBox("Please insert an empty media into drive: " + driveText, vbInformation | vbOKOnly, QString(), this);
    AddLogLine(QStringLiteral("Aborted."), txtLog);
    return false;
}

bool FrmDataBurner3::LayoutFits(const QStringList& files)
{
    const qint64 capacity = cmbEngine->currentIndex() == 0 ? cAudioDataBurner1->DiscCapacity(DriveLetter())
                                                           : cBurner1->DiscCapacity(cboDrv->currentIndex());
    QStringList unique;
    for (const QString& f : files)
        if (!unique.contains(f))
            unique << f;
    const qint64 need = datadisc::LayoutBytes(unique);
    if (capacity <= 0 || need <= capacity)
        return true;
    // What is needed rounds up, what the disc holds down.
    const QString text = QStringLiteral("The files need %1 MB, more than the %2 MB the disc holds.")
                             .arg((need + 1024 * 1024 - 1) / (1024 * 1024))
                             .arg(capacity / (1024 * 1024));
    AddLogLine(text, txtLog);
    MsgBox(text, vbExclamation | vbOKOnly, QString(), this);
    AddLogLine(QStringLiteral("Aborted."), txtLog);
    return false;
}

namespace {
FrmDataBurner3::CopyStepWatch& copyStepWatch()
{
    static FrmDataBurner3::CopyStepWatch watch;
    return watch;
}
} // namespace

FrmDataBurner3::CopyStepWatch FrmDataBurner3::setCopyStepWatch(CopyStepWatch watch)
{
    CopyStepWatch old = std::move(copyStepWatch());
    copyStepWatch() = std::move(watch);
    return old;
}

bool FrmDataBurner3::CopyRowFile(const QString& source, const QString& target, QString* why)
{
    m_copyStop = false;
    bool copied = false;
    const CopyStepWatch watch = copyStepWatch();
    // The Abort button stays live while the file is copied.
    RunOffThread(
        [&] {
            copied = CopyWholeFile(
                source, target,
                [&](qint64 done, qint64 size) {
                    if (watch)
                        watch(done, size);
                    return !m_copyStop.load();
                },
                why);
        },
        true);
    return copied;
}

void FrmDataBurner3::CaptionAsStatus() { setWindowTitle(lblCurrentTrack->text()); }

void FrmDataBurner3::EndWithoutBurn(const QString& text)
{
    LogAndLabel(text);
    setWindowTitle(text);
    ShowJobBalloon(text);
}

long FrmDataBurner3::ConvertTask(long lRow)
{
    JobRow row;
    row.row = lRow;
    const QString name = RowFileName(lRow);
    row.problem = OutputNameProblem(name);
    row.output = GetTempFolder() + name;
    row.source = GridCell(cGrid1, lRow, COL_FILE);
    row.labelShowsStart = true;
    row.sourceMayBeOutput = false; // the output is a copy in the temporary folder
    return StartJobRow(this, row, ConverterRowCalls(cAudioConverter1, this));
}

void FrmDataBurner3::cAudioConverter1_JobProgress(int percent)
{
    ShowRowProgress(this, percent);
}

void FrmDataBurner3::cAudioConverter1_JobDone()
{
    if (!JobRunning())
        return;
    RowJobDone(this);
}

void FrmDataBurner3::cAudioConverter1_JobError(int code, const QString& text)
{
    RowJobError(this, code, text);
}

void FrmDataBurner3::cAudioConverter1_JobAborted()
{
    ShowRowJobAborted(this);
}

void FrmDataBurner3::cmdAbort_Click()
{
    // A burn is cancelled; it ends through the engine's own end event.
    const bool aborted = AbortRowJob(this, [this] {
        if (!m_bBurning) {
            cAudioConverter1->AbortJob();
            m_copyStop = true;
        } else if (cmbEngine->currentIndex() == 0) {
            cAudioDataBurner1->CancelBurn();
        } else {
            cBurner1->CancelBurn();
        }
    });
    if (aborted)
        m_bAbortRequested = true;
}

void FrmDataBurner3::DoEndEvents()
{
    if (CheckTicked(chkEraseTempfiles)) {
        AddLogLine(QStringLiteral("Erase temp files..."), txtLog);
        DeleteFolderFiles();
    }
    ToolWindow::DoEndEvents();
}

void FrmDataBurner3::FinishBurn()
{
    m_bBurning = false;
    SetJobButtonsEnabled(this, true);
    FinishJobDone();
    AddLogLine(DoneText(), txtLog);
    CaptionAsStatus();
}

QString FrmDataBurner3::EndFolderToOpen() const
{
    // A stdio writer's disc is a file: its folder is what there is to open.
    const QString text = cboDrv->currentText();
    const int at = text.indexOf(QLatin1String("stdio:"));
    if (at < 0)
        return QString();
    return GetFolderOfFile(text.mid(at + 6));
}

void FrmDataBurner3::EjectTrayAtEnd() { cAudioDataBurner1->EjectTray(DriveLetter()); }

// ---------------------------------------------------------------------------
// First engine

void FrmDataBurner3::FillDriveList()
{
    cboDrv->clear();
    const int n = cAudioDataBurner1->DriveCount();
    for (int i = 1; i <= n; ++i)
        cboDrv->addItem(cAudioDataBurner1->DriveName(i));
    if (n > 0) {
        const QSignalBlocker block(cboDrv);
        cboDrv->setCurrentIndex(0);
    }
    if (n > 0)
        cboDrv_Click();
}

void FrmDataBurner3::cboDrv_Click()
{
    if (cmbEngine->currentIndex() == 0)
        FillSpeedList();
    if (UpdateCDInfo())
        lblCDStatus->setText(QStringLiteral("Ready."));
}

void FrmDataBurner3::FillSpeedList()
{
    const QString letter = DriveLetter();
    const int n = cAudioDataBurner1->SpeedCount(letter);
    cboSpeed->clear();
    for (int i = 1; i <= n; ++i) {
        const int s = cAudioDataBurner1->SpeedKBs(i);
        cboSpeed->addItem(QString::number(s) + " KB/s (" + QString::number(s / 176) + "x)", s);
    }
    cboSpeed->addItem(QStringLiteral("Max."), 65535);
    cboSpeed->setCurrentIndex(cboSpeed->count() - 1);
}

bool FrmDataBurner3::UpdateCDInfo() { return false; }

void FrmDataBurner3::lblRefreshCDInfo_Click() { UpdateCDInfo(); }

void FrmDataBurner3::lblOpenCDDoor_Click() { cAudioDataBurner1->EjectTray(DriveLetter()); }

void FrmDataBurner3::lblCloseCDDoor_Click() { cAudioDataBurner1->CloseTray(DriveLetter()); }

void FrmDataBurner3::BurnWithDataBurner()
{
    SetJobButtonsEnabled(this, false);
    AddLogLine(QStringLiteral("Add files to burn."), txtLog);
    QStringList added;
    for (long n = 1; n <= cGrid1->RowCount(); ++n) {
        const QString path = GetTempFolder() + RowFileName(n);
        // Rows whose names agree share one file: it goes on the disc once.
        if (added.contains(path))
            continue;
        added << path;
        if (!cAudioDataBurner1->AddDiscFile(path)) {
            MsgBox("Couldn't add the file " + path, vbExclamation, QStringLiteral("Error"), this);
            AddLogLine("Couldn't add the file " + GetFileNameFromPath(path), txtLog);
        }
    }
    for (XP_ProgressBar* bar : {prgCurrnet, prgTotal}) {
        bar->setProgressMin(0);
        bar->setProgressMax(100);
        bar->setProgressValue(0);
    }
    cAudioDataBurner1->setVolumeLabel(txtCDName->text());
    cAudioDataBurner1->setFileSystem(QStringLiteral("CDFS"));
    cAudioDataBurner1->setIdentityText1(g_sAppName);
    cAudioDataBurner1->setIdentityText2(g_sAppName);
    cAudioDataBurner1->setBurnFlag(false);
    cAudioDataBurner1->setPublisherID(PublisherID->text());
    m_bBurning = true;
    cAudioDataBurner1->BurnToDrive(DriveLetter(), cboSpeed->currentData().isValid() ? cboSpeed->currentData().toLongLong()
                                                                                     : 65535);
}

void FrmDataBurner3::cAudioDataBurner1_BurnStarted() { LogAndLabel(QStringLiteral("Start the burning process...")); }

void FrmDataBurner3::cAudioDataBurner1_BurnProgress(int percent)
{
    prgTotal->setProgressValue(percent);
    prgCurrnet->setProgressValue(percent);
    lblCurrentTrack->setText(QString::number(percent) + "%");
}

void FrmDataBurner3::cAudioDataBurner1_ClosingSession() { LogAndLabel(QStringLiteral("Closing session...")); }

void FrmDataBurner3::cAudioDataBurner1_BurnFinished()
{
    LogAndLabel(QStringLiteral("Finished"));
    FinishBurn();
}

void FrmDataBurner3::cAudioDataBurner1_BurnStopped(long /*code*/, const QString& text)
{
    m_bBurning = false;
    m_bJobError = true;
    SetJobButtonsEnabled(this, true);
    LogAndLabel(text);
    CaptionAsStatus();
}

// ---------------------------------------------------------------------------
// Second engine

bool FrmDataBurner3::CheckImapi2Installed()
{
    if (cBurner::Available())
        return true;
    MsgBox(QStringLiteral("The disc writing library could not be started, so this engine cannot burn."),
           vbInformation | vbOKOnly, QString(), this);
    return false;
}

void FrmDataBurner3::FillImapiDriveList()
{
    cboDrv->clear();
    const int n = cBurner1->DriveCount();
    for (int i = 0; i < n; ++i)
        cboDrv->addItem(cBurner1->DrivePath(i) + " - " + cBurner1->DriveName(i));
    if (n > 0)
        cboDrv->setCurrentIndex(0);
}

void FrmDataBurner3::EnableBurnControls(bool bEnable)
{
    cmdConvert->setEnabled(bEnable);
    cmdExit->setEnabled(bEnable);
    lblOpenCDDoor->setEnabled(bEnable);
    lblCloseCDDoor->setEnabled(bEnable);
}

void FrmDataBurner3::BurnWithImapi2()
{
    if (!CheckImapi2Installed())
        return;
    cBurner1->NewDiscImage();
    cBurner1->setUseISO9660(false);
    cBurner1->setUseJoliet(false);
    cBurner1->setUseUDF(false);
    if (CheckTicked(chkISO))
        cBurner1->setUseISO9660(true);
    if (CheckTicked(chkJOLIET))
        cBurner1->setUseJoliet(true);
    if (CheckTicked(chkUDF))
        cBurner1->setUseUDF(true);
    cBurner1->setVolumeLabel(txtCDName->text());
    cBurner1->setPublisherID(PublisherID->text());
    for (long n = 1; n <= cGrid1->RowCount(); ++n)
        cBurner1->AddDiscFile(GetTempFolder() + RowFileName(n));
    for (XP_ProgressBar* bar : {prgCurrnet, prgTotal}) {
        bar->setProgressMin(0);
        bar->setProgressMax(100);
        bar->setProgressValue(0);
    }
    EnableBurnControls(false);
    cmdAbort->setEnabled(true);
    m_bBurning = true;
    cBurner1->BurnToDrive(cboDrv->currentIndex());
}

void FrmDataBurner3::cBurner1_BurnerInitializing() { LogAndLabel(QStringLiteral("BurnerInitializing...")); }

void FrmDataBurner3::cBurner1_BurnerAdding(const QString& path) { LogAndLabel("Adding:" + GetFileNameFromPath(path)); }

void FrmDataBurner3::cBurner1_BurnerFileCount(long files, long folders)
{
    AddLogLine(QString::number(files) + " files to burn.\r\n" + QString::number(folders) + " dirs to burn.", txtLog);
}

void FrmDataBurner3::cBurner1_StartBurning()
{
    EnableBurnControls(false);
    // Abort stays available: it cancels the burn.
    LogAndLabel(QStringLiteral("StartBurning..."));
}

void FrmDataBurner3::cBurner1_BurnerProgress(long percent)
{
    prgTotal->setProgressValue(percent);
    prgCurrnet->setProgressValue(percent);
    lblCurrentTrack->setText(QString::number(percent) + "%");
}

void FrmDataBurner3::cBurner1_BurnerFinalization()
{
    AddLogLine(QStringLiteral("BurnerFinalization - Please wait..."), txtLog);
    lblCurrentTrack->setText(QStringLiteral("BurnerFinalization"));
}

void FrmDataBurner3::cBurner1_BurnerCompleted() { LogAndLabel(QStringLiteral("BurnerCompleted.")); }

void FrmDataBurner3::cBurner1_BurnerDoneBurn() { LogAndLabel(QStringLiteral("BurnerDoneBurn.")); }

void FrmDataBurner3::cBurner1_BurnerCanceled()
{
    LogAndLabel(QStringLiteral("BurnerCanceled..."));
    m_bBurning = false;
    m_bJobError = true;
    EnableBurnControls(true);
    LogAndLabel(QStringLiteral("Aborted."));
    CaptionAsStatus();
}

void FrmDataBurner3::cBurner1_BurnerMessage(const QString& first, const QString& second)
{
    LogAndLabel(second + " (" + first + ")");
    m_bBurning = false;
    m_bJobError = true;
    EnableBurnControls(true);
    CaptionAsStatus();
}

void FrmDataBurner3::cBurner1_BurnerEnd()
{
    LogAndLabel(QStringLiteral("BurnerEnd."));
    EnableBurnControls(true);
    FinishBurn();
}

// ---------------------------------------------------------------------------

FrmDataBurner3* g_frmDataBurner3()
{
    if (!windowRef() || windowRef()->Unloaded()) {
        windowRef() = new FrmDataBurner3(nullptr);
        windowRef()->Form_Load();
    }
    return windowRef();
}

bool g_frmDataBurner3Loaded() { return windowRef() && !windowRef()->Unloaded(); }
