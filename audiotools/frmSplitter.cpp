#include "audiotools/frmSplitter.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QComboBox>
#include <cmath>

#include "audiotools/ConverterEvents.h"
#include "audiotools/JobSteps.h"
#include "components/audio/AudioJobErrors.h"
#include "components/audio/cAudioConverter.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "core/Edition.h"
#include "core/Formats.h"
#include "core/PathNames.h"
#include "core/TextFiles.h"
#include "lists/NameBox.h"
#include "platform/MessageBox.h"
#include "toolframe/NameMacros.h"
#include "toolframe/TimeLeft.h"

namespace {

QPointer<FrmSplitter>& windowRef()
{
    static QPointer<FrmSplitter> p;
    return p;
}

QString appTitle() { return g_sAppName + " " + g_sAppVersion; }

// A number as the user typed it, in the system's or the C form.
bool ReadNumber(const QString& text, double* value)
{
    bool ok = false;
    *value = QLocale::system().toDouble(text.trimmed(), &ok);
    if (!ok)
        *value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(*value);
}

const QString kTooSmall = QStringLiteral("Source file length is to small.       ");

} // namespace

ToolFrameDesign FrmSplitter::Design()
{
    ToolFrameDesign d;
    d.objectName = QStringLiteral("g_frmSplitter");
    d.caption = QStringLiteral("Audio Splitter");
    d.iconResource = QStringLiteral("cut");
    d.startCaption = QStringLiteral("Split");
    d.settingsTabCaption = QStringLiteral("Settings        ");
    d.settingsTabIcon = 9;
    d.destination = true;
    d.targetFormat = true;
    d.overwrite = true;
    return d;
}

FrmSplitter::FrmSplitter(QWidget* parent) : ToolWindow(Design(), parent)
{
    LayOutStandardSettings();
    ptnSplitByParts = new QRadioButton(QStringLiteral("Split to                         parts"), TabSettings);
    ptnSplitByParts->setObjectName("ptnSplitByParts");
    ptnSplitBySecs = new QRadioButton(QStringLiteral("Split each                    seconds"), TabSettings);
    ptnSplitBySecs->setObjectName("ptnSplitBySecs");
    txtSplitParts = new QLineEdit(QStringLiteral("6"), TabSettings);
    txtSplitParts->setObjectName("txtSplitParts");
    txtSplitParts->setAccessibleName(QStringLiteral("Parts"));
    txtSplitSecs = new QLineEdit(QStringLiteral("10"), TabSettings);
    txtSplitSecs->setObjectName("txtSplitSecs");
    txtSplitSecs->setAccessibleName(QStringLiteral("Seconds"));
    ptnSplitByParts->setChecked(true);
    if (auto* grid = qobject_cast<QGridLayout*>(TabSettings->layout())) {
        int row = grid->rowCount();
        for (auto [option, box] : {std::pair{ptnSplitByParts, txtSplitParts}, std::pair{ptnSplitBySecs, txtSplitSecs}}) {
            box->setFixedWidth(48);
            auto* line = new QHBoxLayout;
            line->addWidget(option);
            line->addWidget(box);
            line->addStretch(1);
            grid->addLayout(line, row++, 0, 1, 2);
        }
        grid->setRowStretch(row, 1);
    }
    // The boxes refuse only the characters a file name cannot hold, with the tip.
    for (QLineEdit* box : {txtSplitParts, txtSplitSecs})
        new NameKeyFilter(box);
    connect(ptnSplitByParts, &QRadioButton::toggled, this, [this] { CheckSplitModeEna(); });

    cAudioConverter1 = new cAudioConverter(this);
    cAudioConverter1->setObjectName("cAudioConverter1");
    m_target.setComponent(cAudioConverter1);
    ConnectConverterEvents(cAudioConverter1, this);
    // The job's rows are the parts of one file; the caption keeps the app's
    // title and a failed part is only logged.
    m_rowJob.jobCaption = false;
    m_rowJob.busyCursor = false;
    m_rowJob.errorInLabel = false;
    m_rowJob.timeLeft = false;
    m_rowJob.clampTotal = true;
    m_rowJob.row = &m_lPartNumber;
}

FrmSplitter::~FrmSplitter() = default;

QWidgetList FrmSplitter::OwnBackColorControls() const
{
    return {ptnSplitByParts, ptnSplitBySecs};
}

void FrmSplitter::LoadOwnTail()
{
    CheckSplitModeEna();
    CheckUnderFolderEna();
}

void FrmSplitter::UnloadOwnSteps()
{
    if (cAudioConverter1)
        cAudioConverter1->ReleaseComponent();
}

void FrmSplitter::CheckSplitModeEna()
{
    const bool byParts = ptnSplitByParts->isChecked();
    txtSplitParts->setEnabled(byParts);
    txtSplitSecs->setEnabled(!byParts);
}

QString FrmSplitter::GetPartFileName(const QString& sPath) const
{
    static const char* const keys[] = {"WAV", "ACM", "MP3", "WMA", "OGG", "APE"};
    QString name = GetFileNameFromPath(sPath);
    const int dot = name.lastIndexOf('.');
    if (dot > 0)
        name.truncate(dot);
    const int index = GetDestinationFormatIndex(cboTargetFormat->currentText());
    return "Part_" + QString::number(m_lPartNumber) + "_" + name + "." + QLatin1String(keys[index]);
}

bool FrmSplitter::PlanParts()
{
    m_bByParts = ptnSplitByParts->isChecked();
    double value = 0;
    if (m_bByParts) {
        if (!ReadNumber(txtSplitParts->text(), &value) || value < 1 || value != std::floor(value) || value > 100000) {
            MsgBox(QStringLiteral("Enter the number of parts: a whole number, 1 or more."), vbExclamation | vbOKOnly,
                   appTitle(), this);
            return false;
        }
        m_lSplitParts = long(value);
    } else if (!ReadNumber(txtSplitSecs->text(), &value) || value < 1 || value > 1e7) {
        MsgBox(QStringLiteral("Enter the length of a part: a number of seconds, 1 or more."),
               vbExclamation | vbOKOnly, appTitle(), this);
        return false;
    } else {
        m_dSplitSecs = value;
        m_lPartLength = long(RoundHalfToEven(value));
    }
    return true;
}

// The log's "Preparing" and format lines get their outcome before the message.
void FrmSplitter::RefuseTooSmall()
{
    LogStep(kTooSmall.trimmed());
    MsgBox(kTooSmall, vbInformation | vbOKOnly, QString(), this);
}

void FrmSplitter::cmdConvert_Click()
{
    if (JobRunning())
        return;
    // A bad number starts nothing.
    if (!PlanParts())
        return;
    if (!PrepareOutputFolder())
        return;
    StartLogSection(txtLog);
    const QString name = GetFileNameFromPath(g_sFileToSplit);
    AddLogLine("Preparing to split: " + name + "..", txtLog);
    SetDestination();
    ResetJobState();
    ShowLogTab();

    // The source is read away from the window's thread: a slow disk or a
    // damaged file never holds the window. The job's buttons are off
    // meanwhile, so the window neither starts twice nor closes, and Abort ends
    // the wait (the read then finishes with a converter of its own).
    struct SourceFacts {
        int status = -1;
        qint64 lengthMs = 0;
    };
    auto facts = std::make_shared<SourceFacts>();
    QPointer<FrmSplitter> self(this);
    SetJobButtonsEnabled(this, false);
    const bool read = m_sourceRead.run([facts, source = g_sFileToSplit] {
        cAudioConverter probe;
        facts->status = probe.OpenSourceFile(source);
        facts->lengthMs = facts->status == 0 ? probe.DurationMs() : 0;
        probe.CloseSourceFile();
    });
    if (!self)
        return;
    SetJobButtonsEnabled(this, true);
    if (!read) {
        AddLogLine(QStringLiteral("Aborted."), txtLog);
        return;
    }
    const int status = facts->status;
    m_lSourceLengthMs = facts->lengthMs;
    if (status != 0) {
        const QString line = "Error: The file '" + name + "' cannot be read.(" +
                             QString::number(kvaudio::ErrSourceUnreadable) + ")";
        LogStep(line);
        return;
    }

    const qint64 d = m_lSourceLengthMs;
    if (m_bByParts) {
        // Every part at least a second long.
        if (d < qint64(m_lSplitParts) * 1000) {
            RefuseTooSmall();
            return;
        }
        m_lPartCount = m_lSplitParts;
    } else {
        if (m_dSplitSecs * 1000.0 >= double(d)) {
            RefuseTooSmall();
            return;
        }
        const qint64 step = qint64(m_lPartLength) * 1000;
        m_lPartCount = long((d + step - 1) / step);
    }
    m_lPartNumber = 1;
    m_lPartStart = 0;
    prgTotal->setProgressMax(m_lPartCount * 100);
    ConvertTracks();
}

// The current part's start and length. A split into N parts cuts at the
// whole seconds i * D / N; the last part of either mode runs to the end.
void FrmSplitter::SetPartRange()
{
    if (m_bByParts) {
        const qint64 parts = m_lPartCount;
        m_lPartStart = long((m_lPartNumber - 1) * m_lSourceLengthMs / (parts * 1000));
        m_lPartLength = m_lPartNumber < parts ? long(m_lPartNumber * m_lSourceLengthMs / (parts * 1000)) - m_lPartStart : 0;
    } else {
        m_lPartStart = long((m_lPartNumber - 1) * qint64(m_lPartLength));
    }
}

void FrmSplitter::ConvertTracks()
{
    SetJobButtonsEnabled(this, false);
    long result = PartStarted;
    if (m_lPartNumber <= m_lPartCount) {
        result = ConvertTask();
        if (result == PartStarted)
            return;
        if (result == PartCancelled)
            AddLogLine(QStringLiteral("Aborted."), txtLog);
    }
    SetJobButtonsEnabled(this, true);
    if (result == PartStarted) {
        prgCurrnet->setProgressValue(100);
        prgTotal->setProgressValue(prgTotal->ProgressMax());
        if (m_lFailedRows > 0)
            AddLogLine(QStringLiteral("Parts with errors: %1 of %2.").arg(m_lFailedRows).arg(m_lPartCount), txtLog);
        ShowJobBalloon(DoneText());
        lblCurrentTrack->setText(DoneText());
        DoEndEvents();
        return;
    }
    lblCurrentTrack->setText(QStringLiteral("Aborted."));
    ShowJobBalloon(QStringLiteral("Aborted."));
}

long FrmSplitter::ConvertTask(long)
{
    SetPartRange();
    JobRow part;
    part.row = 1; // the tags are the source's
    part.source = g_sFileToSplit;
    part.output = JoinFolderAndName(OutputFolder(), GetPartFileName(g_sFileToSplit));
    part.verb = QStringLiteral("split");
    part.gridRow = false;
    part.range = {true, int(m_lPartStart), int(m_lPartLength)};
    if (SameFile(g_sFileToSplit, part.output)) {
        // The part would replace its own source: that part fails, the source stays.
        part.problem = "The part would replace the source '" + part.output + "'.";
        part.problemCode = kvaudio::ErrOutputIsInput;
    }
    // The source goes to the converter only for a part that starts.
    RowComponentCalls calls = ConverterRowCalls(cAudioConverter1, this);
    calls.setInput = nullptr;
    calls.start = [this, start = calls.start](const QString& output) {
        cAudioConverter1->setInputFile(g_sFileToSplit);
        start(output);
    };
    return StartJobRow(this, part, calls);
}

void FrmSplitter::cAudioConverter1_JobProgress(int percent)
{
    ShowRowProgress(this, percent);
}

void FrmSplitter::cAudioConverter1_JobDone()
{
    RowJobDone(this);
}

void FrmSplitter::cAudioConverter1_JobError(int code, const QString& text)
{
    RowJobError(this, code, text);
}

void FrmSplitter::cAudioConverter1_JobAborted()
{
    ShowRowJobAborted(this);
}

void FrmSplitter::cmdAbort_Click()
{
    AbortRowJob(this, [this] {
        m_sourceRead.stop();
        cAudioConverter1->AbortJob();
    });
}

FrmSplitter* g_frmSplitter()
{
    if (!windowRef() || windowRef()->Unloaded()) {
        windowRef() = new FrmSplitter(nullptr);
        windowRef()->Form_Load();
    }
    return windowRef();
}

bool g_frmSplitterLoaded()
{
    return windowRef() && !windowRef()->Unloaded();
}
