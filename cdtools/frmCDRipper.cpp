#include "cdtools/frmCDRipper.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "audiotools/JobSteps.h"
#include "components/audio/AudioJobErrors.h"
#include "components/disc/cAudioCDRipper.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "core/CommonLook.h"
#include "core/PathNames.h"
#include "core/TextFiles.h"
#include "lists/ItemRow.h"
#include "platform/MessageBox.h"
#include "toolframe/NameMacros.h"

namespace {

QPointer<FrmCDRipper>& windowRef()
{
    static QPointer<FrmCDRipper> p;
    return p;
}

// What most file systems take as one name.
constexpr int kMaxNameBytes = 255;

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || u == 0x7F || (u >= 0x80 && u <= 0x9F);
}

// One step of a path, cut to kMaxNameBytes of UTF-8 on a character boundary;
// a short extension stays.
QString fitNameStep(const QString& step)
{
    if (step.toUtf8().size() <= kMaxNameBytes)
        return step;
    const int dot = step.lastIndexOf('.');
    QString ext = dot > 0 ? step.mid(dot) : QString();
    if (ext.toUtf8().size() > 32)
        ext.clear();
    QString base = step.left(step.size() - ext.size());
    const int room = kMaxNameBytes - int(ext.toUtf8().size());
    while (!base.isEmpty() && base.toUtf8().size() > room)
        base.chop(base.size() >= 2 && base.back().isLowSurrogate() && base.at(base.size() - 2).isHighSurrogate() ? 2 : 1);
    return base + ext;
}

} // namespace

// The name a track is ripped to: server texts may hold control characters and
// be longer than a file name can be.
QString RipFileName(const QString& name)
{
    QString clean;
    clean.reserve(name.size());
    for (const QChar c : name)
        if (!isControl(c))
            clean += c;
    QStringList steps = clean.split('/');
    for (QString& step : steps)
        step = fitNameStep(step);
    return steps.join('/');
}

// A track row's item name without the ".cda" of the CD listing.
QString TrackItemName(const QString& itemName)
{
    return itemName.endsWith(QLatin1String(".cda"), Qt::CaseInsensitive) ? itemName.chopped(4) : itemName;
}

ToolFrameDesign FrmCDRipper::Design()
{
    ToolFrameDesign d;
    d.objectName = QStringLiteral("g_frmCDRipper");
    d.caption = QStringLiteral("Audio CD Ripper");
    d.iconResource = QStringLiteral("cd_music");
    d.startCaption = QStringLiteral("Rip");
    d.settingsTabCaption = QStringLiteral("Ripper Options    ");
    d.gridImages = true; // every track comes with its mark
    d.destination = true;
    d.targetFormat = true;
    d.fileNameTemplate = true;
    d.overwrite = true;
    d.parametersLink = true;
    d.timeLeft = true;
    d.settingsTabIcon = 25;
    return d;
}

FrmCDRipper::FrmCDRipper(QWidget* parent) : ToolWindow(Design(), parent)
{
    LayOutStandardSettings();

    lblDevices = new QLabel(QStringLiteral("CD Device:"), TabSettings);
    lblDevices->setObjectName("lblDevices");
    cboDevices = new QComboBox(TabSettings);
    cboDevices->setObjectName("cboDevices");
    cboDevices->setAccessibleName(lblDevices->text());
    lblDevices->setBuddy(cboDevices);
    cmdOpenCD = new QPushButton(QStringLiteral("Open"), TabSettings);
    cmdOpenCD->setObjectName("cmdOpenCD");
    cmdOpenCD->setAccessibleName(cmdOpenCD->text());
    lblCDStatus = new QLabel(QStringLiteral("Ready."), TabSettings);
    lblCDStatus->setObjectName("lblCDStatus");
    lblCDStatus->setAccessibleName(QStringLiteral("CD status"));
    if (auto* grid = qobject_cast<QGridLayout*>(TabSettings->layout())) {
        const int row = grid->rowCount();
        grid->setRowStretch(row - 1, 0);
        auto* devices = new QHBoxLayout;
        devices->addWidget(cboDevices, 1);
        devices->addWidget(cmdOpenCD);
        grid->addWidget(lblDevices, row, 0);
        grid->addLayout(devices, row, 1);
        grid->addWidget(lblCDStatus, row + 1, 1);
        grid->setRowStretch(row + 2, 1);
    }
    AddOpenCDdriveBox(QStringLiteral("Eject the CD door"), false);

    cAudioCDRipper1 = new cAudioCDRipper(this);
    cAudioCDRipper1->setObjectName("cAudioCDRipper1");
    m_target.setComponent(cAudioCDRipper1);
    connect(cAudioCDRipper1, &cAudioCDRipper::JobProgress, this, [this](int p) { cAudioCDRipper1_JobProgress(p); });
    connect(cAudioCDRipper1, &cAudioCDRipper::JobDone, this, [this] { cAudioCDRipper1_JobDone(); });
    connect(cAudioCDRipper1, &cAudioCDRipper::JobAborted, this, [this] { cAudioCDRipper1_JobAborted(); });
    connect(cAudioCDRipper1, &cAudioCDRipper::JobError, this,
            [this](int code, const QString& text) { cAudioCDRipper1_JobError(code, text); });

    connect(cboDevices, &QComboBox::currentIndexChanged, this, [this](int) { cboDevices_Click(); });
    connect(cmdOpenCD, &QPushButton::clicked, this, [this] { cmdOpenCD_Click(); });
}

FrmCDRipper::~FrmCDRipper() = default;

void FrmCDRipper::LoadOwnTail()
{
    // The user's own templates may hold neither the default nor a second
    // entry: the box never opens without a template to rip with.
    if (cboFileName && cboFileName->currentIndex() < 0 && cboFileName->count() > 0)
        cboFileName->setCurrentIndex(cboFileName->count() > 1 ? 1 : 0);
    CheckUnderFolderEna();
    ResetTimeFields();
    lblCurrentTrack->setText(QStringLiteral("Ready."));
    FillDeviceList();
}

void FrmCDRipper::UnloadOwnSteps()
{
    if (cAudioCDRipper1)
        cAudioCDRipper1->ReleaseComponent();
}

void FrmCDRipper::EjectTrayAtEnd()
{
    cAudioCDRipper1->EjectTray();
}

// ---------------------------------------------------------------------------
// Devices

void FrmCDRipper::FillDeviceList()
{
    const QSignalBlocker quiet(cboDevices);
    cboDevices->clear();
    for (int i = 0; i < cAudioCDRipper1->DeviceCount(); ++i)
        cboDevices->addItem(cAudioCDRipper1->DeviceName(i));
    if (cboDevices->count() > 0) {
        cboDevices->setCurrentIndex(0);
        cboDevices_Click();
    }
}

void FrmCDRipper::ShowCDStatus(const QString& text, bool ok)
{
    m_bCDOk = ok;
    lblCDStatus->setText(text);
    SetForeColor(lblCDStatus, ok ? 0 : 255); // black, or red
}

void FrmCDRipper::cboDevices_Click()
{
    const QString d = cboDevices->currentText().left(2);
    if (!cAudioCDRipper1->SelectDevice(cboDevices->currentIndex()))
        ShowCDStatus("Cannot select '" + d + "\\' as an Audio CD.", false);
    else if (!cAudioCDRipper1->IsAudioCD()) {
        // A refused image says why; an empty drive or a data disc is simply no audio CD.
        const QString refusal = cAudioCDRipper1->DiscRefusal();
        ShowCDStatus(refusal.isEmpty() ? "'" + d + "\\' is not an Audio CD." : refusal, false);
    } else if (cAudioCDRipper1->TrackCount() < 1)
        ShowCDStatus("'" + d + "\\' has no CDA tracks.", false);
    else
        ShowCDStatus("OK: " + QString::number(cAudioCDRipper1->TrackCount()) + " CDA tracks", true);
}

void FrmCDRipper::cmdOpenCD_Click()
{
    cAudioCDRipper1->EjectTray();
}

// ---------------------------------------------------------------------------
// The job

void FrmCDRipper::cmdConvert_Click()
{
    if (JobRunning())
        return;
    // The disc may have changed since the list was shown: check it again, and
    // rip nothing from a drive that holds no audio CD.
    if (cboDevices->currentIndex() >= 0)
        cboDevices_Click();
    if (!m_bCDOk) {
        const QString why = cboDevices->currentIndex() >= 0 ? lblCDStatus->text()
                                                            : QStringLiteral("There is no CD device to rip from.");
        MsgBox(why, vbExclamation, QString(), this);
        return;
    }
    if (!PrepareRowJob(this, QStringLiteral("rip")))
        return;
    cAudioCDRipper1->setRipDevice(cboDevices->currentIndex());
    ConvertTracks();
}

void FrmCDRipper::ConvertTracks()
{
    // Only the marked tracks are ripped.
    const int incCol = cGrid1->ColumnIndex(COL_INC);
    RunRowJob(this, [this, incCol](long row) { return cGrid1->CellIcon(int(row), incCol) != kIconMarked; });
}

QString FrmCDRipper::RipOutputFile(long lRow, QString* problem)
{
    const QString itemName = GridCell(cGrid1, lRow, COL_ITEM_NAME);
    FileNameTemplateInput in;
    in.sTemplate = cboFileName ? cboFileName->currentText() : QString();
    // The source extension is the item's own ("cda"), though the name drops it.
    in.sTemplate.replace("[source_extension]", GetLastExtension(itemName).toLower().replace('/', '-'));
    in.lRow = lRow;
    in.sSourcePath = GridCell(cGrid1, lRow, COL_FILE);
    in.sItemName = TrackItemName(itemName);
    in.sDestExtension = DestExtension();
    const QString name = RipFileName(::ExpandFileNameTemplate(in));
    *problem = OutputNameProblem(name);
    return problem->isEmpty() ? JoinFolderAndName(OutputFolder(), name) : QString();
}

long FrmCDRipper::ConvertTask(long lRow)
{
    JobRow row;
    row.row = lRow;
    row.output = RipOutputFile(lRow, &row.problem);
    row.source = GridCell(cGrid1, lRow, COL_FILE);
    row.verb = QStringLiteral("rip");
    row.sourceMayBeOutput = false; // a track, not a file
    RowComponentCalls calls = ComponentRowCalls(
        cAudioCDRipper1, [](cAudioCDRipper* ripper) { ripper->StartRip(); },
        [this](int code, const QString& text) { cAudioCDRipper1_JobError(code, text); });
    calls.setInput = [this, lRow](const QString&) { cAudioCDRipper1->setRipTrack(int(lRow)); };
    return StartJobRow(this, row, calls);
}

void FrmCDRipper::cAudioCDRipper1_JobProgress(int percent)
{
    ShowRowProgress(this, percent);
}

void FrmCDRipper::cAudioCDRipper1_JobDone()
{
    RowJobDone(this);
}

void FrmCDRipper::cAudioCDRipper1_JobError(int code, const QString& text)
{
    RowJobError(this, code, text);
}

void FrmCDRipper::cAudioCDRipper1_JobAborted()
{
    ShowRowJobAborted(this);
}

void FrmCDRipper::cmdAbort_Click()
{
    AbortRowJob(this, [this] { cAudioCDRipper1->AbortJob(); });
}

FrmCDRipper* g_frmCDRipper()
{
    if (!windowRef() || windowRef()->Unloaded()) {
        windowRef() = new FrmCDRipper(nullptr);
        windowRef()->Form_Load();
    }
    return windowRef();
}

bool g_frmCDRipperLoaded()
{
    return windowRef() && !windowRef()->Unloaded();
}
