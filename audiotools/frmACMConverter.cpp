#include "audiotools/frmACMConverter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <thread>

#include "audiotools/ConverterEvents.h"
#include "audiotools/JobSteps.h"
#include "components/audio/cAudioConverter.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "core/Edition.h"
#include "core/PathNames.h"
#include "core/SourceFormat.h"
#include "core/TextFiles.h"
#include "lists/ItemRow.h"
#include "platform/MessageBox.h"

namespace {

QPointer<FrmACMConverter>& windowRef()
{
    static QPointer<FrmACMConverter> p;
    return p;
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
    // The caption keeps the app's title while rows run; a failed row is only logged.
    m_rowJob.jobCaption = false;
    m_rowJob.busyCursor = false;
    m_rowJob.errorInLabel = false;
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
    // A choice made while an earlier item is still read wins over it.
    const quint64 choice = ++m_bestAccordChoice;
    if (cboBestAccordItem->currentText() == kAllCodecs) {
        m_bItemPending = false;
        ListCodecs(0);
        return;
    }
    // The item's format is read on a thread of its own, with a reader of its
    // own: a stalled file never holds the window (not even while it loads),
    // nor a running conversion. The lists keep the last choice meanwhile.
    m_bItemPending = true;
    QPointer<FrmACMConverter> self(this);
    std::thread([self, choice, path = cboBestAccordItem->currentText()] {
        const SourceFormat format = ReadSourceFormat(path);
        QMetaObject::invokeMethod(
            qApp,
            [self, choice, format] {
                if (!self || choice != self->m_bestAccordChoice)
                    return;
                self->m_bItemPending = false;
                if (format.ok()) {
                    self->m_probeRate = format.sampleRate;
                    self->m_probeChannels = format.channels;
                    self->m_probeBits = format.bitsPerSample;
                }
                self->ListCodecs(kConvertOnly);
            },
            Qt::QueuedConnection);
    }).detach();
}

void FrmACMConverter::ListCodecs(int flags)
{
    cboTags->clear();
    cboFormats->clear();
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
    if (JobRunning() || !PrepareRowJob(this, QStringLiteral("convert")))
        return;
    ConvertTracks();
}

void FrmACMConverter::ConvertTracks()
{
    RunRowJob(this);
}

long FrmACMConverter::ConvertTask(long lRow)
{
    JobRow row = TemplateJobRow(this, lRow);
    row.tags = false; // an ACM WAV file carries none
    return StartJobRow(this, row, ConverterRowCalls(cAudioConverter1, this));
}

void FrmACMConverter::cAudioConverter1_JobProgress(int percent)
{
    ShowRowProgress(this, percent);
}

void FrmACMConverter::cAudioConverter1_JobDone()
{
    RowJobDone(this);
}

void FrmACMConverter::cAudioConverter1_JobError(int code, const QString& text)
{
    RowJobError(this, code, text);
}

void FrmACMConverter::cAudioConverter1_JobAborted()
{
    ShowRowJobAborted(this);
}

void FrmACMConverter::cmdAbort_Click()
{
    AbortRowJob(this, [this] { cAudioConverter1->AbortJob(); });
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
