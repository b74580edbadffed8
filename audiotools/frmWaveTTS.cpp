#include "audiotools/frmWaveTTS.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include "audiotools/frmAudioEditorProc.h"
#include "components/controls/cImageList.h"
#include "components/controls/cSlider.h"
#include "components/controls/cTabControl.h"
#include "components/audio/cWaveTTS.h"
#include "core/CommonLook.h"
#include "core/Dialogs.h"
#include "core/Edition.h"
#include "core/Formats.h"
#include "core/MainWindowServices.h"
#include "core/WindowHelpers.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/frmStat.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "platform/UserSettings.h"
#include "settings/Options.h"
#include "settings/SettingsWidgets.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "toolframe/NameMacros.h"

namespace {

QPointer<FrmWaveTTS>& windowRef()
{
    static QPointer<FrmWaveTTS> p;
    return p;
}

const char* const kSection = "TTS";
const char* const kDefaultFormat = "SAFT22kHz16BitMono";
const char* const kSampleText = "This sample shows you how to use the 'Text To Speech'.";

QPushButton* newButton(const char* name, const QString& caption, const QString& tip, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(caption);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

QComboBox* newList(const char* name, const QString& caption, QWidget* parent)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setAccessibleName(caption);
    return c;
}

QLabel* newLabel(const char* name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

QString tempSpeechFile() { return AppPath() + QStringLiteral("/tmptts.wav"); }

} // namespace

FrmWaveTTS::FrmWaveTTS(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("g_frmWaveTTS"));
    setWindowTitle(QStringLiteral("Text To Speech"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    BuildTitleStrip(this, QStringLiteral("Text To Speech"), picTitle, lblTitle);
    outer->addWidget(picTitle);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(10, 4, 10, 10);
    outer->addLayout(body);

    auto* textRow = new QHBoxLayout;
    textRow->addWidget(newLabel("lblText", QStringLiteral("Text:"), this));
    textRow->addStretch(1);
    lblClearText = new LinkLabel(QStringLiteral("Clear Text"), this);
    lblClearText->setObjectName(QStringLiteral("lblClearText"));
    lblClearText->setToolTip(QStringLiteral("Clear Text"));
    textRow->addWidget(lblClearText);
    body->addLayout(textRow);
    txtSpeak = new QPlainTextEdit(this);
    txtSpeak->setObjectName(QStringLiteral("txtSpeak"));
    txtSpeak->setAccessibleName(QStringLiteral("Text:"));
    txtSpeak->setMinimumHeight(120);
    body->addWidget(txtSpeak, 1);

    auto* grid = new QGridLayout;
    body->addLayout(grid);
    cboVoices = newList("cboVoices", QStringLiteral("Voices:"), this);
    cboAudioOutputs = newList("cboAudioOutputs", QStringLiteral("Audio Outputs:"), this);
    cboFormats = newList("cboFormats", QStringLiteral("Formats:"), this);
    grid->addWidget(newLabel("lblVoices", QStringLiteral("Voices:"), this), 0, 0);
    grid->addWidget(cboVoices, 0, 1, 1, 2);
    grid->addWidget(newLabel("lblOutputs", QStringLiteral("Audio Outputs:"), this), 1, 0);
    grid->addWidget(cboAudioOutputs, 1, 1, 1, 2);
    grid->addWidget(newLabel("lblFormats", QStringLiteral("Formats:"), this), 2, 0);
    grid->addWidget(cboFormats, 2, 1, 1, 2);
    sldRate = new cSlider(this);
    sldRate->setObjectName(QStringLiteral("sldRate"));
    sldRate->setAccessibleName(QStringLiteral("Rate:"));
    sldRate->setRange(-10, 10);
    lblRateVal = newLabel("lblRateVal", QStringLiteral("0"), this);
    grid->addWidget(newLabel("lblRate", QStringLiteral("Rate:"), this), 3, 0);
    grid->addWidget(sldRate, 3, 1);
    grid->addWidget(lblRateVal, 3, 2);
    sldVolume = new cSlider(this);
    sldVolume->setObjectName(QStringLiteral("sldVolume"));
    sldVolume->setAccessibleName(QStringLiteral("Volume:"));
    sldVolume->setRange(0, 100);
    lblValumeVal = newLabel("lblValumeVal", QStringLiteral("50"), this);
    grid->addWidget(newLabel("lblVolume", QStringLiteral("Volume:"), this), 4, 0);
    grid->addWidget(sldVolume, 4, 1);
    grid->addWidget(lblValumeVal, 4, 2);

    // Pictures beside the buttons, without actions of their own: shown to
    // assistive technology as pictures, never as buttons that do nothing.
    const char* const iconTips[4] = {"Say it", "Stop", "Save 'Text To Speech' as a wav file.", "Add to items list."};
    for (int i = 0; i < 4; ++i) {
        cmdToolsIcon[i] = new QLabel(this);
        cmdToolsIcon[i]->setObjectName(QStringLiteral("cmdToolsIcon%1").arg(i));
        cmdToolsIcon[i]->setToolTip(QString::fromLatin1(iconTips[i]));
        cmdToolsIcon[i]->setAccessibleName(QString::fromLatin1(iconTips[i]));
        cmdToolsIcon[i]->setFixedSize(20, 20);
        cmdToolsIcon[i]->setAlignment(Qt::AlignCenter);
    }
    cmdSay = newButton("cmdSay", QStringLiteral("Say It"), QStringLiteral("Say it"), this);
    cmdStop = newButton("cmdStop", QStringLiteral("Stop"), QStringLiteral("Stop"), this);
    cmdSaveAs = newButton("cmdSaveAs", QStringLiteral("Save As..."), QStringLiteral("Save 'Text To Speech' as..."), this);
    cmdAdd = newButton("cmdAdd", QStringLiteral("Add to Items List"), QStringLiteral("Add to items list."), this);
    auto* actions = new QHBoxLayout;
    QPushButton* buttons[4] = {cmdSay, cmdStop, cmdSaveAs, cmdAdd};
    for (int i = 0; i < 4; ++i) {
        actions->addWidget(cmdToolsIcon[i]);
        actions->addWidget(buttons[i]);
    }
    actions->addStretch(1);
    body->addLayout(actions);

    auto* dest = new QHBoxLayout;
    dest->addWidget(newLabel("lblAudioFormat", QStringLiteral("Destination Format:"), this));
    cboTargetFormat = newList("cboTargetFormat", QStringLiteral("Destination Format:"), this);
    dest->addWidget(cboTargetFormat, 1);
    cmdEditTargetFormat =
        newButton("cmdEditTargetFormat", QStringLiteral("Edit"), QStringLiteral("Edit Target Audio Formats"), this);
    dest->addWidget(cmdEditTargetFormat);
    lblID3Tags = new LinkLabel(QStringLiteral("ID3Tags"), this);
    lblID3Tags->setObjectName(QStringLiteral("lblID3Tags"));
    lblID3Tags->setToolTip(QStringLiteral("Set the ID3 tags"));
    dest->addWidget(lblID3Tags);
    body->addLayout(dest);

    cWaveTTS1 = new cWaveTTS(this);
    cWaveTTS1->setObjectName(QStringLiteral("cWaveTTS1"));

    connect(cmdSay, &QPushButton::clicked, this, &FrmWaveTTS::cmdSay_Click);
    connect(cmdStop, &QPushButton::clicked, this, &FrmWaveTTS::cmdStop_Click);
    connect(cmdSaveAs, &QPushButton::clicked, this, &FrmWaveTTS::cmdSaveAs_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &FrmWaveTTS::cmdAdd_Click);
    connect(cmdEditTargetFormat, &QPushButton::clicked, this, &FrmWaveTTS::cmdEditTargetFormat_Click);
    connect(lblClearText, &LinkLabel::clicked, this, &FrmWaveTTS::lblClearText_Click);
    connect(lblID3Tags, &LinkLabel::clicked, this, &FrmWaveTTS::lblID3Tags_Click);
    connect(txtSpeak, &QPlainTextEdit::textChanged, this, &FrmWaveTTS::txtSpeak_Change);
    connect(sldRate, &QSlider::valueChanged, this, &FrmWaveTTS::sldRate_SliderChange);
    connect(sldVolume, &QSlider::valueChanged, this, &FrmWaveTTS::sldVolume_SliderChange);
    // Direct: the formats are found while InitSpeech runs.
    connect(cWaveTTS1, &cWaveTTS::SpeechFormatFound, this, &FrmWaveTTS::cWaveTTS1_SpeechFormatFound,
            Qt::DirectConnection);
    connect(cWaveTTS1, &cWaveTTS::WordPosition, this, &FrmWaveTTS::cWaveTTS1_WordPosition);
    connect(cWaveTTS1, &cWaveTTS::SpeakDone, this, &FrmWaveTTS::cWaveTTS1_SpeakDone);
    resize(560, 480);
}

FrmWaveTTS::~FrmWaveTTS() { Form_Unload(); }

void FrmWaveTTS::Form_Load()
{
    if (m_bLoaded)
        return;
    m_bLoaded = true;
    SetFormIcon(this, QStringLiteral("speech"), true);
    if (MainWindowServices* main = mainWindow(); main && main->imgMenu) {
        const int images[4] = {84, 41, 47, 3};
        for (int i = 0; i < 4; ++i)
            cmdToolsIcon[i]->setPixmap(main->imgMenu->Image(images[i]).pixmap(16, 16));
    }
    ApplyCommonLook(this, picTitle, lblTitle);
    bool ok = false;
    const qint64 back = g_sViewBackColor.toLongLong(&ok);
    if (ok) {
        sldRate->setSliderBackColor(long(back));
        sldVolume->setSliderBackColor(long(back));
    }

    FillVoiceList();
    FillOutputList();
    cWaveTTS1->InitSpeech();
    // Filling selects nothing: only the stored format does.
    cboFormats->setCurrentIndex(-1);

    // A stored choice the component no longer offers leaves the selection as it is.
    const int format = cboFormats->findText(GetSetting(g_sAppName, kSection, "Format", kDefaultFormat));
    if (format >= 0)
        cboFormats->setCurrentIndex(format);
    const int voice = cboVoices->findText(GetSetting(g_sAppName, kSection, "Voice", QString()));
    if (voice >= 0)
        cboVoices->setCurrentIndex(voice);

    sldVolume->setSliderValue(50);
    sldRate->setSliderValue(0);
    sldRate_SliderChange();
    sldVolume_SliderChange();
    txtSpeak->setPlainText(QString::fromLatin1(kSampleText));
    txtSpeak_Change();

    FillDestinationFormats(cboTargetFormat);
    cboTargetFormat->setCurrentIndex(frmOptions()->cboTargetFormat->currentIndex());
}

void FrmWaveTTS::Form_Unload()
{
    if (m_bUnloaded)
        return;
    m_bUnloaded = true;
    cWaveTTS1->ReleaseComponent();
    if (m_bLoaded) {
        SaveSetting(g_sAppName, kSection, "Format", cboFormats->currentText());
        SaveSetting(g_sAppName, kSection, "Voice", cboVoices->currentText());
    }
}

void FrmWaveTTS::closeEvent(QCloseEvent* event)
{
    // Closed while a file is spoken: the speaking stops at once and the
    // window closes as soon as the call that waits for it has returned.
    if (m_bSpeakingToFile) {
        m_bCloseAfterFile = true;
        cWaveTTS1->StopSpeaking();
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void FrmWaveTTS::reject() { close(); }

void FrmWaveTTS::FillVoiceList()
{
    cboVoices->clear();
    const long n = cWaveTTS1->VoiceCount();
    for (long i = 1; i <= n; ++i)
        cboVoices->addItem(cWaveTTS1->VoiceName(i));
    if (cboVoices->count() > 0)
        cboVoices->setCurrentIndex(0);
}

void FrmWaveTTS::FillOutputList()
{
    cboAudioOutputs->clear();
    const long n = cWaveTTS1->AudioOutputCount();
    for (long i = 1; i <= n; ++i)
        cboAudioOutputs->addItem(cWaveTTS1->AudioOutputName(i));
    if (cboAudioOutputs->count() > 0)
        cboAudioOutputs->setCurrentIndex(0);
}

void FrmWaveTTS::cWaveTTS1_SpeechFormatFound(QString& name, long& code)
{
    cboFormats->insertItem(cboFormats->count(), name, QVariant::fromValue<qlonglong>(code));
}

void FrmWaveTTS::cmdSay_Click()
{
    const QString text = txtSpeak->toPlainText();
    if (text.trimmed().isEmpty()) {
        long code = cWaveTTS::TtsEmptyText;
        MsgBox(cWaveTTS1->GetErrorText(code), vbInformation | vbOKOnly, QString(), this);
        return;
    }
    if (!cWaveTTS1->IsSpeaking()) {
        cWaveTTS1->setSpeechOutput(cboAudioOutputs->currentIndex());
        cWaveTTS1->setSpeechVoice(cboVoices->currentIndex());
        cWaveTTS1->setSpeechRate(sldRate->SliderValue());
        cWaveTTS1->setSpeechVolume(sldVolume->SliderValue());
        cWaveTTS1->setSpeechOptions(11);
        if (cboFormats->currentIndex() >= 0)
            cWaveTTS1->setSpeechFormat(long(cboFormats->currentData().toLongLong()));
    }
    cWaveTTS1->Speak(text);
}

void FrmWaveTTS::cmdStop_Click() { cWaveTTS1->StopSpeaking(); }

void FrmWaveTTS::cWaveTTS1_WordPosition(long start, long length)
{
    QTextCursor cursor(txtSpeak->document());
    const int size = txtSpeak->document()->characterCount() - 1;
    cursor.setPosition(qBound(0, int(start), size));
    cursor.setPosition(qBound(0, int(start + length), size), QTextCursor::KeepAnchor);
    txtSpeak->setTextCursor(cursor);
}

void FrmWaveTTS::cWaveTTS1_SpeakDone()
{
    txtSpeak->selectAll();
    // Cut short by the sound system (lost, or no output at all): said, not silent.
    if (const long code = cWaveTTS1->SpeakEndError())
        MsgBox(cWaveTTS1->GetErrorText(code), vbExclamation | vbOKOnly, QString(), this);
}

void FrmWaveTTS::sldRate_SliderChange() { lblRateVal->setText(QString::number(sldRate->SliderValue())); }

void FrmWaveTTS::sldVolume_SliderChange() { lblValumeVal->setText(QString::number(sldVolume->SliderValue())); }

void FrmWaveTTS::txtSpeak_Change() { lblClearText->setEnabled(!txtSpeak->toPlainText().isEmpty()); }

void FrmWaveTTS::lblClearText_Click()
{
    if (!lblClearText->isEnabled())
        return;
    if (MsgBox(QStringLiteral("This action will clear the Text-Box, continue?"), vbYesNo | vbInformation, QString(),
               this)
        == vbYes)
        txtSpeak->clear();
}

void FrmWaveTTS::lblID3Tags_Click()
{
    FrmOptions* options = frmOptions();
    options->ShowPage(QStringLiteral("ID3 Tags"));
    options->exec();
}

QString FrmWaveTTS::targetExtension() const { return cboTargetFormat->currentText().left(3).toLower(); }

bool FrmWaveTTS::SpeakToWaveFile(const QString& path)
{
    cWaveTTS1->setSpeechOutput(cboAudioOutputs->currentIndex());
    cWaveTTS1->setSpeechVoice(cboVoices->currentIndex());
    cWaveTTS1->setSpeechRate(0);
    cWaveTTS1->setSpeechVolume(100);
    cWaveTTS1->setSpeechOptions(11);
    if (cboFormats->currentIndex() >= 0)
        cWaveTTS1->setSpeechFormat(long(cboFormats->currentData().toLongLong()));
    // No second command while the file is being spoken.
    for (QWidget* w : {static_cast<QWidget*>(cmdSay), static_cast<QWidget*>(cmdSaveAs), static_cast<QWidget*>(cmdAdd)})
        w->setEnabled(false);
    m_bSpeakingToFile = true;
    long code = cWaveTTS1->SpeakToFile(txtSpeak->toPlainText(), path);
    m_bSpeakingToFile = false;
    if (m_bCloseAfterFile) {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return false;
    }
    for (QWidget* w : {static_cast<QWidget*>(cmdSay), static_cast<QWidget*>(cmdSaveAs), static_cast<QWidget*>(cmdAdd)})
        w->setEnabled(true);
    // A failed speaking converts nothing: an old or half file would pass for the text.
    if (code != 0) {
        MsgBox(cWaveTTS1->GetErrorText(code), vbExclamation | vbOKOnly, QString(), this);
        return false;
    }
    return true;
}

void FrmWaveTTS::ConvertSpeech(const QString& dest)
{
    setCursor(Qt::WaitCursor);
    FrmAudioEditorProc* proc = g_frmAudioEditorProc();
    proc->g_sConvertToTarget = cboTargetFormat->currentText();
    proc->g_bConvertTo = true;
    proc->ConvertFile(tempSpeechFile(), dest);
    unsetCursor();
    proc->exec();
}

void FrmWaveTTS::cmdAdd_Click()
{
    QString name = QStringLiteral("TTS_") + CreateFileName(g_sFileNameFormat, cboTargetFormat->currentText());
    name = name.left(name.size() - 3) + targetExtension();
    if (!SpeakToWaveFile(tempSpeechFile()))
        return;
    const QString dest = AppPath() + QStringLiteral("/") + name;
    ConvertSpeech(dest);
    if (MainWindowServices* main = mainWindow(); main && main->cGrid1) {
        FrmStat* stat = g_frmStat();
        stat->AddFilesToList(QStringList{dest}, main->cGrid1, main->Form(), false);
        UnloadStat();
        SaveGridToFile();
        DisplayGridInfoStatusBar();
        main->LoadSelectedNode();
    }
    close();
}

void FrmWaveTTS::cmdSaveAs_Click()
{
    const QString ext = targetExtension();
    g_OpenFileName.lpstrFilter = "Audio Files (*." + ext + ")" + QChar(0) + "*." + ext;
    g_OpenFileName.lpstrTitle = QStringLiteral("Save As");
    g_OpenFileName.lpstrDefExt = ext;
    const FileDialogResult result = ShowSave(this, QString(), true);
    if (result.bCanceled || result.sFiles.size() < 2)
        return;
    if (!SpeakToWaveFile(tempSpeechFile()))
        return;
    ConvertSpeech(result.sFiles.at(1));
}

void FrmWaveTTS::cmdEditTargetFormat_Click()
{
    const QString key = cboTargetFormat->currentText().left(3);
    FrmAudioProp* prop = g_frmAudioProp();
    prop->cTabControl1->SelectTab(key);
    prop->cTabControl1_TabClick(prop->cTabControl1->TabIndexForKey(key));
    prop->exec();
    cboTargetFormat->setCurrentIndex(frmOptions()->cboTargetFormat->currentIndex());
}

FrmWaveTTS* g_frmWaveTTS()
{
    if (!windowRef() || windowRef()->Unloaded()) {
        windowRef() = new FrmWaveTTS(nullptr);
        windowRef()->Form_Load();
    }
    return windowRef();
}

bool g_frmWaveTTSLoaded() { return windowRef() && !windowRef()->Unloaded(); }
