#include "audiotools/frmACMConverter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include "audiotools/ConverterEvents.h"
#include "audiotools/JobSteps.h"
#include "components/audio/AudioJobErrors.h"
#include "components/audio/cAudioConverter.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "core/Edition.h"
#include "core/PathNames.h"
#include "core/TextFiles.h"
#include "lists/ItemRow.h"
#include "platform/MessageBox.h"

namespace {

QPointer<FrmACMConverter>& windowRef()
{
    static QPointer<FrmACMConverter> p;
    return p;
}

QString appTitle() { return g_sAppName + " " + g_sAppVersion; }

QString cell(cGrid* grid, long lRow, const QString& key)
{
    return grid->CellText(int(lRow), grid->ColumnIndex(key));
}

const QString kAllCodecs = QStringLiteral("All ACM Codecs");
constexpr int kPcmTag = 1;
constexpr int kConvertOnly = 0x100000;

} // namespace

ToolFrameDesign FrmACMConverter::Design()
{
    ToolFrameDesign d;
    d.objectName = QStringLiteral("g_frmACMConverter");
    d.caption = QStringLiteral("ACM Converter");
    d.iconResource = QStringLiteral("replace2");
    d.startCaption = QStringLiteral("Convert");
    d.settingsTabCaption = QStringLiteral("ACM Converter        ");
    d.settingsTabIcon = 61;
    d.destination = true;
    d.fileNameTemplate = true;
    d.overwrite = true;
    d.parametersLink = true;
    d.timeLeft = true;
    return d;
}

FrmACMConverter::FrmACMConverter(QWidget* parent) : ToolWindow(Design(), parent)
{
    LayOutStandardSettings();
    auto combo = [this](const char* name, const QString& caption) {
        auto* box = new QComboBox(TabSettings);
        box->setObjectName(name);
        box->setAccessibleName(caption);
        box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        return box;
    };
    cboBestAccordItem = combo("cboBestAccordItem", QStringLiteral("Best ACM Codecs According:"));
    cboTags = combo("cboTags", QStringLiteral("Target ACM Tag:"));
    cboFormats = combo("cboFormats", QStringLiteral("Target ACM Format:"));
    if (auto* grid = qobject_cast<QGridLayout*>(TabSettings->layout())) {
        int row = grid->rowCount();
        for (QComboBox* box : {cboBestAccordItem, cboTags, cboFormats}) {
            grid->addWidget(new QLabel(box->accessibleName(), TabSettings), row, 0);
            grid->addWidget(box, row++, 1);
        }
        grid->setRowStretch(row, 1);
    }
    connect(cboTags, &QComboBox::activated, this, [this] { cboTags_Click(); });
    connect(cboBestAccordItem, &QComboBox::activated, this, [this] { cboBestAccordItem_Click(); });

    cAudioConverter1 = new cAudioConverter(this);
    cAudioConverter1->setObjectName("cAudioConverter1");
    m_probe = new cAudioConverter(this);
    m_probe->setObjectName("cAudioProbe");
    m_probeRate = m_probe->SampleRate();
    m_probeChannels = m_probe->Channels();
    m_probeBits = m_probe->BitsPerSample();
    m_target.setComponent(cAudioConverter1);
    ConnectConverterEvents(cAudioConverter1, this);
    for (cAudioConverter* c : {cAudioConverter1, m_probe}) {
        connect(c, &cAudioConverter::ACMFormatTagFound, this,
                [this](const QString& name) { cAudioConverter1_ACMFormatTagFound(name); });
        connect(c, &cAudioConverter::ACMFormatFound, this,
                [this](const QString& name) { cAudioConverter1_ACMFormatFound(name); });
    }
}

FrmACMConverter::~FrmACMConverter() = default;

void FrmACMConverter::LoadOwnTail()
{
    cAudioConverter1->EnumACMFormatTags(kPcmTag, 44100, 2, 16, 0);
    if (cboTags->count() > 0) {
        cboTags->setCurrentIndex(cboTags->findText(QStringLiteral("PCM")));
        cboTags_Click();
    }
    CheckUnderFolderEna();
    ResetTimeFields();
    chkOverWrite->setChecked(false);
}

void FrmACMConverter::UnloadOwnSteps()
{
    cAudioConverter1->ReleaseComponent();
    m_probe->ReleaseComponent();
}

void FrmACMConverter::SetButtonsEnabled(bool enabled)
{
    cmdConvert->setEnabled(enabled);
    cmdExit->setEnabled(enabled);
}

// ---- Codec lists

void FrmACMConverter::cAudioConverter1_ACMFormatTagFound(const QString& name)
{
    cboTags->addItem(name);
}

void FrmACMConverter::cAudioConverter1_ACMFormatFound(const QString& name)
{
    cboFormats->addItem(name);
}

void FrmACMConverter::cboTags_Click()
{
    cboFormats->clear();
    cAudioConverter1->EnumACMFormats(cboTags->currentText());
    if (cboFormats->count() > 0)
        cboFormats->setCurrentIndex(0);
}

void FrmACMConverter::cboBestAccordItem_Click()
{
    cboTags->clear();
    cboFormats->clear();
    int flags = 0;
    if (cboBestAccordItem->currentText() != kAllCodecs) {
        // An item's format is read on a component of its own, so a running
        // conversion is never disturbed.
        if (m_probe->OpenSourceFile(cboBestAccordItem->currentText()) == 0) {
            m_probeRate = m_probe->SampleRate();
            m_probeChannels = m_probe->Channels();
            m_probeBits = m_probe->BitsPerSample();
        }
        m_probe->CloseSourceFile();
        flags = kConvertOnly;
    }
    m_probe->EnumACMFormatTags(kPcmTag, m_probeRate, m_probeChannels, m_probeBits, flags);
    if (cboTags->count() == 0)
        return;
    cboTags->setCurrentIndex(cboTags->findText(QStringLiteral("PCM")));
    cboTags_Click();
}

void FrmACMConverter::FillBestAccordItem(const QStringList& files, const QString& selected)
{
    {
        const QSignalBlocker block(cboBestAccordItem);
        cboBestAccordItem->clear();
        cboBestAccordItem->addItem(kAllCodecs);
        cboBestAccordItem->addItems(files);
        cboBestAccordItem->setCurrentIndex(-1);
    }
    const int index = cboBestAccordItem->findText(selected, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return;
    cboBestAccordItem->setCurrentIndex(index);
    cboBestAccordItem_Click();
}

// ---- The job

long FrmACMConverter::SetDestination()
{
    cAudioConverter1->setOutputFormat(2);
    cAudioConverter1->SetACMFormat(cboTags->currentText(), cboFormats->currentText());
    AddLogLine(QStringLiteral("Destination format: ACM WAV"), txtLog);
    return 0;
}

void FrmACMConverter::cmdConvert_Click()
{
    if (JobRunning())
        return;
    if (!PrepareOutputFolder())
        return;
    StartLogSection(txtLog);
    AddLogLine("Preparing to convert: " + QString::number(cGrid1->RowCount()) + " tracks.", txtLog);
    SetDestination();
    ResetJobState();
    ShowLogTab();
    ConvertTracks();
}

void FrmACMConverter::ConvertTracks()
{
    const long rows = cGrid1->RowCount();
    prgTotal->setProgressMax(rows * 100);
    SetButtonsEnabled(false);
    Timer1->start();

    long result = RowStarted;
    for (long row = m_lCurrentRow; row <= rows; ++row) {
        m_lCurrentRow = row;
        result = ConvertTask(m_lCurrentRow);
        if (result == RowStarted)
            return;
        if (result == RowCancelled) {
            AddLogLine(QStringLiteral("Aborted."), txtLog);
            break;
        }
    }

    SetButtonsEnabled(true);
    setWindowTitle(appTitle());
    lblTimeLeft->setText(TimeLeftZeroText());
    if (result == RowCancelled) {
        lblCurrentTrack->setText(QStringLiteral("Aborted."));
        setWindowTitle(lblCurrentTrack->text());
        ShowJobBalloon(QStringLiteral("Aborted."));
        return;
    }
    prgTotal->setProgressValue(rows * 100);
    prgCurrnet->setProgressValue(100);
    Timer1->stop();
    FinishJobDone();
}

long FrmACMConverter::ConvertTask(long lRow)
{
    QString problem;
    const QString output = OutputFileForRow(lRow, &problem);
    cGrid1->setSelectedRow(int(lRow));
    m_ltmrItemSecs = RowSeconds(lRow);
    m_ltmrItemSecsDone = 0;

    const QString source = cell(cGrid1, lRow, COL_FILE);
    lblCurrentTrack->setText(GetFileNameFromPath(source));
    lblFilesToConvert->setText("Files: " + QString::number(lRow) + "/" + QString::number(cGrid1->RowCount()));
    AddLogLine("Start to convert: " + lblCurrentTrack->text() + "...", txtLog);
    cAudioConverter1->setInputFile(source);

    if (!problem.isEmpty()) {
        // No usable name: the row fails the way a component error does.
        QTimer::singleShot(0, this, [this, problem] { cAudioConverter1_JobError(kvaudio::ErrOutputPath, problem); });
        return RowStarted;
    }
    // The source itself at the output path is refused by the component.
    if (!CheckTicked(chkOverWrite) && FileAtOutputPath(output) && !SameFile(source, output)) {
        if (const long answer = AskRowOverwrite(output, txtLog, this); answer != RowStarted)
            return answer;
    }
    if (const RowRange range = ItemRowRange(cGrid1, lRow); range.set) {
        cAudioConverter1->setRangeStart(range.start);
        cAudioConverter1->setRangeLength(range.length);
    }
    cAudioConverter1->setOutputFile(output);
    cAudioConverter1->StartConvert();
    return RowStarted;
}

void FrmACMConverter::cAudioConverter1_JobProgress(int percent)
{
    if (percent < 1)
        return;
    prgCurrnet->setProgressValue(percent);
    prgTotal->setProgressValue((m_lCurrentRow - 1) * 100 + percent);
    setWindowTitle(appTitle());
    NoteRowProgress(percent);
}

void FrmACMConverter::cAudioConverter1_JobDone()
{
    LogStep(QStringLiteral("Done."));
    NoteRowDone();
    ++m_lCurrentRow;
    ConvertTracks();
}

void FrmACMConverter::cAudioConverter1_JobError(int code, const QString& text)
{
    NoteRowError();
    AddLogLine("Error: " + text + "(" + QString::number(code) + ")", txtLog);
    SetButtonsEnabled(true);
    ++m_lCurrentRow;
    ConvertTracks();
}

void FrmACMConverter::cAudioConverter1_JobAborted()
{
    SetButtonsEnabled(true);
    LogStep(QStringLiteral("Aborted."));
}

void FrmACMConverter::cmdAbort_Click()
{
    if (!JobRunning())
        return;
    if (!ConfirmAbort(this))
        return;
    if (!JobRunning())
        return;
    cAudioConverter1->AbortJob();
    ShowJobBalloon(QStringLiteral("Aborted."));
    Timer1->stop();
}

FrmACMConverter* g_frmACMConverter()
{
    if (!windowRef() || windowRef()->Unloaded()) {
        windowRef() = new FrmACMConverter(nullptr);
        windowRef()->Form_Load();
    }
    return windowRef();
}

bool g_frmACMConverterLoaded()
{
    return windowRef() && !windowRef()->Unloaded();
}
