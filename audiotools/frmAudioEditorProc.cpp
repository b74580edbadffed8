#include "audiotools/frmAudioEditorProc.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "audiotools/ConverterEvents.h"
#include "components/audio/cAudioConverter.h"
#include "components/controls/cProgressBar.h"
#include "core/CommonLook.h"
#include "core/Edition.h"
#include "core/MainWindowServices.h"
#include "core/WindowHelpers.h"
#include "settings/Options.h"
#include "toolframe/NameMacros.h"

namespace {

QPointer<FrmAudioEditorProc>& windowRef()
{
    static QPointer<FrmAudioEditorProc> p;
    return p;
}

} // namespace

FrmAudioEditorProc::FrmAudioEditorProc(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("g_frmAudioEditorProc"));
    setWindowTitle(QStringLiteral("Preparing Audio Analyzer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(420, 110);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    lblCurrentTrack = new QLabel(QStringLiteral("Preparing..."), this);
    lblCurrentTrack->setObjectName(QStringLiteral("lblCurrentTrack"));
    layout->addWidget(lblCurrentTrack);
    prgCurrnet = new XP_ProgressBar(this);
    prgCurrnet->setObjectName(QStringLiteral("prgCurrnet"));
    prgCurrnet->setFixedHeight(16);
    layout->addWidget(prgCurrnet);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdAbort = new QPushButton(QStringLiteral("Abort"), this);
    cmdAbort->setObjectName(QStringLiteral("cmdAbort"));
    cmdAbort->setAutoDefault(false);
    buttons->addWidget(cmdAbort);
    layout->addLayout(buttons);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(10);

    cAudioConverter1 = new cAudioConverter(this);
    cAudioConverter1->setObjectName(QStringLiteral("cAudioConverter1"));
    m_target.setComponent(cAudioConverter1);

    connect(cmdAbort, &QPushButton::clicked, this, [this] { cmdAbort_Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    ConnectConverterEvents(cAudioConverter1, this);
}

FrmAudioEditorProc::~FrmAudioEditorProc()
{
    // Destroyed without closing (the program ends): still nothing half done.
    int cancel = 0;
    Form_Unload(cancel);
}

void FrmAudioEditorProc::Form_Load()
{
    if (m_bLoaded)
        return;
    m_bLoaded = true;
    bool ok = false;
    const qint64 back = g_sViewBackColor.toLongLong(&ok);
    if (ok)
        SetBackColor(this, quint32(back));
    prgCurrnet->setBarColor(g_lAppColor);
    SetViewPicture(this, g_sViewFormPicture);
    SetFormIcon(this, QStringLiteral("document_pulse"), true);
}

void FrmAudioEditorProc::Form_Unload(int& Cancel)
{
    Cancel = 0;
    if (m_bUnloaded)
        return;
    m_bUnloaded = true;
    Timer1->stop();
    // Closed before the conversion ended: the component drops the unfinished
    // output, and the caller must not use the file.
    if (m_bConverting) {
        m_bConverting = false;
        ReportNoResult();
    }
    cAudioConverter1->ReleaseComponent();
}

void FrmAudioEditorProc::closeEvent(QCloseEvent* event)
{
    int cancel = 0;
    Form_Unload(cancel);
    event->accept();
}

void FrmAudioEditorProc::reject()
{
    close();
}

void FrmAudioEditorProc::ReportNoResult()
{
    if (MainWindowServices* main = mainWindow())
        main->g_bAbortedAudioEditor = true;
}

void FrmAudioEditorProc::ConvertFile(const QString& sSource, const QString& sDest)
{
    m_sSourceFile = sSource;
    m_sDestFile = sDest;
    Timer1->start();
}

void FrmAudioEditorProc::Timer1_Timer()
{
    ConvertX();
}

void FrmAudioEditorProc::ConvertX()
{
    // One ConvertFile gives one conversion.
    Timer1->stop();
    if (g_bConvertTo) {
        SetDestination();
        SetID3Tags();
    } else {
        cAudioConverter1->setOutputFormat(1);
        cAudioConverter1->SetWAVSettings(MakeWAVSettings());
    }
    cAudioConverter1->setInputFile(m_sSourceFile);
    cAudioConverter1->setOutputFile(m_sDestFile);
    m_bConverting = true;
    cAudioConverter1->StartConvert();
}

void FrmAudioEditorProc::SetDestination()
{
    SetDestinationForTarget(m_target, g_sConvertToTarget);
}

void FrmAudioEditorProc::SetID3Tags()
{
    cAudioConverter1->setTagAlbum(CreateID3TagsString(g_sTagAlbum));
    cAudioConverter1->setTagArtist(CreateID3TagsString(g_sTagArtist));
    cAudioConverter1->setTagComment(CreateID3TagsString(g_sTagComment));
    cAudioConverter1->setTagGenre(CreateID3TagsString(g_sTagGenre));
    cAudioConverter1->setTagTitle(CreateID3TagsString(g_sTagSong));
    cAudioConverter1->setTagTrack(CreateID3TagsString(g_sTagTrack));
    cAudioConverter1->setTagYear(CreateID3TagsString(g_sTagYear));
}

QString FrmAudioEditorProc::CreateID3TagsString(const QString& sStr)
{
    TagMacroValues values;
    values.lTrackNum = 1;
    return ExpandTagMacros(sStr, values);
}

void FrmAudioEditorProc::cmdAbort_Click()
{
    cAudioConverter1->AbortJob();
}

void FrmAudioEditorProc::cAudioConverter1_JobProgress(int percent)
{
    if (percent >= 1)
        prgCurrnet->setProgressValue(percent);
}

void FrmAudioEditorProc::cAudioConverter1_JobDone()
{
    m_bConverting = false;
    lblCurrentTrack->setText(QStringLiteral("Done."));
    Timer1->stop();
    g_bConvertTo = false;
    close();
}

void FrmAudioEditorProc::cAudioConverter1_JobAborted()
{
    m_bConverting = false;
    lblCurrentTrack->setText(QStringLiteral("Aborted."));
    Timer1->stop();
    ReportNoResult();
    g_bConvertTo = false;
    close();
}

void FrmAudioEditorProc::cAudioConverter1_JobError(int code, const QString& text)
{
    m_bConverting = false;
    lblCurrentTrack->setText(text + "(" + QString::number(code) + ")");
    g_bConvertTo = false;
    Timer1->stop();
    // No file came out: the caller must not go on with whatever is at the path.
    ReportNoResult();
}

FrmAudioEditorProc* g_frmAudioEditorProc()
{
    if (!windowRef() || windowRef()->Unloaded()) {
        windowRef() = new FrmAudioEditorProc(nullptr);
        windowRef()->Form_Load();
    }
    return windowRef();
}

bool g_frmAudioEditorProcLoaded()
{
    return windowRef() && !windowRef()->Unloaded();
}
