#include "audiotools/frmMicRecorder.h"

#include <QCloseEvent>
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
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cSlider.h"
#include "components/controls/cStatusBar.h"
#include "core/CommonLook.h"
#include "core/Dialogs.h"
#include "core/Edition.h"
#include "core/MainWindowServices.h"
#include "core/PathNames.h"
#include "core/TextFiles.h"
#include "core/WindowHelpers.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/frmStat.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "settings/SettingsWidgets.h"

namespace {

QPointer<FrmMicRecorder>& windowRef()
{
    static QPointer<FrmMicRecorder> p;
    return p;
}

// The recording limit: a take stops by itself after this many timer ticks.
constexpr long kRecordLimitSeconds = 30;

QLabel* newLabel(const QString& text, QWidget* parent, const char* name = nullptr)
{
    auto* l = new QLabel(text, parent);
    if (name)
        l->setObjectName(QString::fromLatin1(name));
    return l;
}

QPushButton* newButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(caption);
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

QString absolute(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

} // namespace

FrmMicRecorder::FrmMicRecorder(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("g_frmMicRecorder"));
    setWindowTitle(QStringLiteral("Audio Recorder"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(6);
    BuildTitleStrip(this, QStringLiteral("Audio Recorder"), picTitle, lblTitle);
    outer->addWidget(picTitle);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(10, 4, 10, 4);
    outer->addLayout(body);

    // Recorder half.
    body->addWidget(newLabel(QStringLiteral("Recorder:"), this, "Label4"));
    auto* grid = new QGridLayout;
    body->addLayout(grid);
    cboDevices = newList("cboDevices", QStringLiteral("Devices:"), this);
    cboBitPerSample = newList("cboBitPerSample", QStringLiteral("Bits per sample:"), this);
    cboSamplesPerSec = newList("cboSamplesPerSec", QStringLiteral("Samples per second:"), this);
    cboChannels = newList("cboChannels", QStringLiteral("Channels:"), this);
    grid->addWidget(newLabel(QStringLiteral("Devices:"), this, "lblDevices"), 0, 0);
    grid->addWidget(cboDevices, 0, 1, 1, 3);
    grid->addWidget(newLabel(QStringLiteral("Bits per sample:"), this, "Label1"), 1, 0);
    grid->addWidget(cboBitPerSample, 1, 1);
    grid->addWidget(newLabel(QStringLiteral("Samples per second:"), this, "Label2"), 1, 2);
    grid->addWidget(cboSamplesPerSec, 1, 3);
    grid->addWidget(newLabel(QStringLiteral("Channels:"), this, "Label3"), 2, 0);
    grid->addWidget(cboChannels, 2, 1);

    auto* fileRow = new QHBoxLayout;
    body->addLayout(fileRow);
    fileRow->addWidget(newLabel(QStringLiteral("Destination Wave File:"), this, "lblWaveFile"));
    txtAudioFile = new QLineEdit(QDir::homePath() + QStringLiteral("/wave_file.wav"), this);
    txtAudioFile->setObjectName(QStringLiteral("txtAudioFile"));
    txtAudioFile->setAccessibleName(QStringLiteral("Destination Wave File:"));
    fileRow->addWidget(txtAudioFile, 1);
    cmdPath = newButton("cmdPath", QStringLiteral("..."), this);
    fileRow->addWidget(cmdPath);

    auto* recRow = new QHBoxLayout;
    body->addLayout(recRow);
    cmdRecord = newButton("cmdRecord", QStringLiteral("Record"), this);
    cmdStopRec = newButton("cmdStopRec", QStringLiteral("Stop"), this);
    cmdPauseIn = newButton("cmdPauseIn", QStringLiteral("Pause Record"), this);
    cmdUnPauseIn = newButton("cmdUnPauseIn", QStringLiteral("Unpause Record"), this);
    for (QPushButton* b : {cmdRecord, cmdStopRec, cmdPauseIn, cmdUnPauseIn})
        recRow->addWidget(b);
    recRow->addStretch(1);
    lblRecTime = newLabel(QStringLiteral("0:00:00"), this, "lblRecTime");
    Label6 = newLabel(QStringLiteral("0:00:30"), this, "Label6");
    recRow->addWidget(lblRecTime);
    recRow->addWidget(newLabel(QStringLiteral("/"), this));
    recRow->addWidget(Label6);

    auto* meterRow = new QHBoxLayout;
    body->addLayout(meterRow);
    meterRow->addWidget(newLabel(QStringLiteral("In:"), this, "lblMeterIn"));
    prgMeter = new XP_ProgressBar(this);
    prgMeter->setObjectName(QStringLiteral("prgMeter"));
    prgMeter->setAccessibleName(QStringLiteral("Input level"));
    prgMeter->setFixedHeight(14);
    meterRow->addWidget(prgMeter, 1);

    // Player half.
    body->addWidget(newLabel(QStringLiteral("Player:"), this, "Label5"));
    auto* playRow = new QHBoxLayout;
    body->addLayout(playRow);
    cmdPlay = newButton("cmdPlay", QStringLiteral("Play"), this);
    cmdStop = newButton("cmdStop", QStringLiteral("Stop"), this);
    cmdPauseOut = newButton("cmdPauseOut", QStringLiteral("Pause Play"), this);
    cmdUnPauseOut = newButton("cmdUnPauseOut", QStringLiteral("Unpause Play"), this);
    for (QPushButton* b : {cmdPlay, cmdStop, cmdPauseOut, cmdUnPauseOut})
        playRow->addWidget(b);
    playRow->addStretch(1);
    auto* sliderRow = new QHBoxLayout;
    body->addLayout(sliderRow);
    lblCurrentPositionSec = newLabel(QStringLiteral("0:00:00"), this, "lblCurrentPositionSec");
    cSlider1 = new cSlider(this);
    cSlider1->setObjectName(QStringLiteral("cSlider1"));
    cSlider1->setAccessibleName(QStringLiteral("Play position"));
    // The component reports the position in percent of the file.
    cSlider1->setSliderMax(100);
    lbTotalLengthSec = newLabel(QStringLiteral("0:00:00"), this, "lbTotalLengthSec");
    sliderRow->addWidget(lblCurrentPositionSec);
    sliderRow->addWidget(cSlider1, 1);
    sliderRow->addWidget(lbTotalLengthSec);

    txtResults = new QPlainTextEdit(this);
    txtResults->setObjectName(QStringLiteral("txtResults"));
    txtResults->setAccessibleName(QStringLiteral("Log"));
    txtResults->setReadOnly(true);
    txtResults->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtResults->setMinimumHeight(110);
    body->addWidget(txtResults, 1);

    auto* notice = new QWidget(this);
    notice->setObjectName(QStringLiteral("Picture1"));
    auto* noticeRow = new QHBoxLayout(notice);
    noticeRow->setContentsMargins(0, 0, 0, 0);
    noticeRow->addWidget(newLabel(QStringLiteral("Recordings are added to the items list shown in the main window."),
                                  notice, "Label7"));
    lblNoticParameters = new LinkLabel(QStringLiteral("More..."), notice);
    lblNoticParameters->setObjectName(QStringLiteral("lblNoticParameters"));
    lblNoticParameters->setToolTip(QStringLiteral("Open the web page"));
    noticeRow->addWidget(lblNoticParameters);
    noticeRow->addStretch(1);
    body->addWidget(notice);

    auto* buttons = new QHBoxLayout;
    body->addLayout(buttons);
    buttons->addStretch(1);
    cmdAdd = newButton("cmdAdd", QStringLiteral("Add"), this);
    cmdExit = newButton("cmdExit", QStringLiteral("Exit"), this);
    buttons->addWidget(cmdAdd);
    buttons->addWidget(cmdExit);

    cStatusBar1 = new cStatusBar(this);
    cStatusBar1->setObjectName(QStringLiteral("cStatusBar1"));
    outer->addWidget(cStatusBar1);

    tmrRec = new QTimer(this);
    tmrRec->setObjectName(QStringLiteral("tmrRec"));
    tmrRec->setInterval(1000);
    tmSlider = new QTimer(this);
    tmSlider->setObjectName(QStringLiteral("tmSlider"));
    tmSlider->setInterval(100);

    cWave1 = new cWave(this);
    cWave1->setObjectName(QStringLiteral("cWave1"));

    connect(cmdPath, &QPushButton::clicked, this, &FrmMicRecorder::cmdPath_Click);
    connect(cmdRecord, &QPushButton::clicked, this, &FrmMicRecorder::cmdRecord_Click);
    connect(cmdStopRec, &QPushButton::clicked, this, &FrmMicRecorder::cmdStopRec_Click);
    connect(cmdPauseIn, &QPushButton::clicked, this, &FrmMicRecorder::cmdPauseIn_Click);
    connect(cmdUnPauseIn, &QPushButton::clicked, this, &FrmMicRecorder::cmdUnPauseIn_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &FrmMicRecorder::cmdAdd_Click);
    connect(cmdExit, &QPushButton::clicked, this, &FrmMicRecorder::cmdExit_Click);
    connect(cmdPlay, &QPushButton::clicked, this, &FrmMicRecorder::cmdPlay_Click);
    connect(cmdStop, &QPushButton::clicked, this, &FrmMicRecorder::cmdStop_Click);
    connect(cmdPauseOut, &QPushButton::clicked, this, &FrmMicRecorder::cmdPauseOut_Click);
    connect(cmdUnPauseOut, &QPushButton::clicked, this, &FrmMicRecorder::cmdUnPauseOut_Click);
    connect(lblNoticParameters, &LinkLabel::clicked, this, &FrmMicRecorder::lblNoticParameters_Click);
    connect(tmrRec, &QTimer::timeout, this, &FrmMicRecorder::tmrRec_Timer);
    connect(tmSlider, &QTimer::timeout, this, &FrmMicRecorder::tmSlider_Timer);
    connect(cWave1, &cWave::DoneRecord, this, &FrmMicRecorder::cWave1_DoneRecord);
    connect(cWave1, &cWave::MeterLevel, this, &FrmMicRecorder::cWave1_MeterLevel);
    connect(cWave1, &cWave::DonePlay, this, &FrmMicRecorder::cWave1_DonePlay);
    resize(560, 560);
}

FrmMicRecorder::~FrmMicRecorder() { Form_Unload(); }

void FrmMicRecorder::Form_Load()
{
    if (m_bLoaded)
        return;
    m_bLoaded = true;
    SetFormIcon(this, QStringLiteral("microphone"), true);
    ApplyCommonLook(this, picTitle, lblTitle);
    bool ok = false;
    const qint64 back = g_sViewBackColor.toLongLong(&ok);
    if (ok) {
        cSlider1->setBarColor(long(back));
        prgMeter->setProgressBackColor(quint32(back));
    }
    prgMeter->setBarColor(g_lAppColor);
    if (!g_sViewFormPicture.isEmpty()) {
        const QPixmap picture(AppPath() + QStringLiteral("/View/") + g_sViewFormPicture);
        if (!picture.isNull())
            prgMeter->setProgressPicture(picture);
    }
    prgMeter->setProgressMax(100);

    cboBitPerSample->addItems({QStringLiteral("8"), QStringLiteral("16")});
    cboBitPerSample->setCurrentText(QStringLiteral("16"));
    cboSamplesPerSec->addItems(
        {QStringLiteral("8000"), QStringLiteral("11025"), QStringLiteral("22050"), QStringLiteral("44100")});
    cboSamplesPerSec->setCurrentText(QStringLiteral("44100"));
    cboChannels->addItems({QStringLiteral("Mono"), QStringLiteral("Stereo")});
    cboChannels->setCurrentText(QStringLiteral("Stereo"));

    cWave1->setMeterEnabled(true);
    log(QStringLiteral(": MeterIn=True."));

    computeRecordingFormat();

    const long n = cWave1->WaveDeviceCount(cWave::WaveInput);
    for (long i = 0; i < n; ++i) {
        WaveDeviceCapsRecord rec;
        cWave1->WaveDeviceCaps(i, rec, cWave::WaveInput);
        cboDevices->addItem(QString::number(i) + " - " + rec.DeviceName + " - " + QString::number(rec.DeviceNumber));
    }
    cboDevices->setCurrentIndex(cboDevices->count() > 0 ? 0 : -1);
}

void FrmMicRecorder::Form_Unload()
{
    if (m_bUnloaded)
        return;
    m_bUnloaded = true;
    tmrRec->stop();
    tmSlider->stop();
    cWave1->StopPlayback();
    cWave1->StopRecording();
    // Completes a take still running before the component goes.
    cWave1->ReleaseComponent();
}

void FrmMicRecorder::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void FrmMicRecorder::reject() { close(); }

void FrmMicRecorder::computeRecordingFormat()
{
    RecordingFormat = WAVEFORMATEX();
    RecordingFormat.wFormatTag = 1;
    RecordingFormat.nChannels = cboChannels->currentText() == QLatin1String("Stereo") ? 2 : 1;
    RecordingFormat.nSamplesPerSec = cboSamplesPerSec->currentText().toInt();
    RecordingFormat.wBitsPerSample = quint16(cboBitPerSample->currentText().toInt());
    RecordingFormat.nBlockAlign =
        quint16(std::lround(RecordingFormat.wBitsPerSample / 8.0 * RecordingFormat.nChannels));
    RecordingFormat.nAvgBytesPerSec = RecordingFormat.nBlockAlign * RecordingFormat.nSamplesPerSec;
    RecordingFormat.cbSize = 0;
}

void FrmMicRecorder::log(const QString& literal)
{
    // The literals begin with ": "; the shared log line puts the ":" itself.
    AddLogLine(literal.mid(1), txtResults);
}

void FrmMicRecorder::cmdPath_Click()
{
    g_OpenFileName.lpstrFilter = QStringLiteral("Audio Wav File (*.wav)") + QChar(0) + QStringLiteral("*.wav");
    g_OpenFileName.lpstrTitle = QStringLiteral("Save as WAV file");
    g_OpenFileName.lpstrDefExt = QStringLiteral("wav");
    const FileDialogResult result = ShowSave(this, QString(), true);
    if (result.bCanceled || result.iFileCount < 1 || result.sFiles.size() < 2)
        return;
    const QString path = result.sFiles.at(1);
    if (QFileInfo::exists(path)) {
        const int answer = MsgBox("The file " + path + " is already exists, overwrite it?", vbYesNo | vbInformation,
                                  QString(), this);
        if (answer != vbYes)
            return;
        m_mayReplace.insert(absolute(path));
    }
    txtAudioFile->setText(path);
}

void FrmMicRecorder::cmdRecord_Click()
{
    cWave1->setMeterEnabled(true);
    log(QStringLiteral(": MeterIn=True."));
    cWave1->StopMonitor();
    log(QStringLiteral(": PreScreenClose."));
    computeRecordingFormat();

    long device = cboDevices->currentIndex();
    const QString path = txtAudioFile->text();
    // Only a file the user confirmed, or one recorded here, is ever replaced.
    if (!path.isEmpty() && QFileInfo::exists(path) && !m_mayReplace.contains(absolute(path))) {
        log(QStringLiteral(": Error RecordStart .") + QStringLiteral("The file ") + path +
            QStringLiteral(" already exists; choose it with \"...\" to replace it."));
        return;
    }
    long code = cWave1->StartRecording(device, path, RecordingFormat, 1600);
    if (code != 0) {
        log(QStringLiteral(": Error RecordStart .") + cWave1->GetErrorText(code));
        return;
    }
    m_mayReplace.insert(absolute(path));
    ElapsedSeconds = 0;
    tmrRec->start();
    cmdRecord->setEnabled(false);
    log(QStringLiteral(": RecordStart Success."));
}

void FrmMicRecorder::cmdStopRec_Click()
{
    cWave1->StopRecording();
    log(QStringLiteral(": RecordStop Success."));
}

void FrmMicRecorder::cmdPauseIn_Click()
{
    cWave1->PauseRecording();
    log(QStringLiteral(": RecordPause."));
}

void FrmMicRecorder::cmdUnPauseIn_Click()
{
    if (!cWave1->IsRecordingPaused())
        return;
    cWave1->ResumeRecording();
    log(QStringLiteral(": RecordUnPause."));
}

void FrmMicRecorder::tmrRec_Timer()
{
    cmdRecord->setEnabled(false);
    ++ElapsedSeconds;
    lblRecTime->setText(cWave::SecondsToTime(ElapsedSeconds));
    if (ElapsedSeconds >= kRecordLimitSeconds) {
        cmdStopRec_Click();
        ElapsedSeconds = 0;
        tmrRec->stop();
        cmdRecord->setEnabled(true);
    }
}

void FrmMicRecorder::cWave1_DoneRecord()
{
    // A take cut short (a full disk) says so; what was recorded is kept.
    long error = cWave1->RecordEndError();
    if (error != 0)
        log(QStringLiteral(": Error Record .") + cWave1->GetErrorText(error));
    log(QStringLiteral(": DoneRecord Event."));
    cmdRecord->setEnabled(true);
    tmrRec->stop();
}

void FrmMicRecorder::cWave1_MeterLevel(int level) { prgMeter->setProgressValue(level); }

void FrmMicRecorder::cmdAdd_Click()
{
    const QString path = txtAudioFile->text();
    // The file is complete only once the recording has ended.
    if (cWave1->IsRecording()) {
        MsgBox(QStringLiteral("The recording is still running. Stop it before adding the file."),
               vbInformation | vbOKOnly, QString(), this);
        return;
    }
    const QFileInfo fi(path);
    if (path.isEmpty() || !fi.isFile()) {
        // A pipe or a folder in the take's place is there, but is no file.
        const bool there = !path.isEmpty() && fi.exists();
        MsgBox("The file:" + path + (there ? " is not a regular file." : " was not found."),
               vbInformation | vbOKOnly, QString(), this);
        return;
    }
    if (fi.size() <= 64) {
        MsgBox("The file:" + path + " is empty.", vbInformation | vbOKOnly, QString(), this);
        return;
    }
    MainWindowServices* main = mainWindow();
    if (main && main->cGrid1) {
        FrmStat* stat = g_frmStat();
        stat->AddFilesToList(QStringList{path}, main->cGrid1, main->Form(), false);
        UnloadStat();
        SaveGridToFile();
        DisplayGridInfoStatusBar();
    }
    close();
}

void FrmMicRecorder::cmdExit_Click() { close(); }

void FrmMicRecorder::lblNoticParameters_Click() { ShellOpen(this, g_sAppHomePage); }

void FrmMicRecorder::cmdPlay_Click()
{
    const QString path = txtAudioFile->text();
    // Only a missing file is refused here: whatever else is there (a pipe, a
    // folder) the player refuses while it opens the file off this thread.
    if (!QFileInfo::exists(path)) {
        MsgBox("The audio file " + path + " doesn't exists", vbInformation | vbOKOnly, QString(), this);
        return;
    }
    if (cWave1->IsPlaying())
        return;
    QPointer<FrmMicRecorder> self(this); // the window may go while the file opens
    long code = cWave1->PlayWaveFile(path, cboDevices->currentIndex(), 8000);
    if (!self)
        return;
    if (code != 0) {
        log(QStringLiteral(": Error Play Start:") + cWave1->GetErrorText(code));
        return;
    }
    lbTotalLengthSec->setText(cWave::SecondsToTime(cWave1->PlayingSeconds()));
    tmSlider->start();
    QTextCursor cursor(txtResults->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\r\n"));
    log(QStringLiteral(": PlayeStart Success."));
}

void FrmMicRecorder::tmSlider_Timer()
{
    cSlider1->setSliderValue(int(cWave1->PlayPosition()));
    lblCurrentPositionSec->setText(cWave::SecondsToTime(cWave1->PlayedSeconds()));
}

void FrmMicRecorder::cmdStop_Click()
{
    long code = cWave1->StopPlayback();
    if (code != 0)
        log(QStringLiteral(": Error PlayStop .") + cWave1->GetErrorText(code));
    tmSlider->stop();
    cSlider1->setSliderValue(0);
    log(QStringLiteral(": PlayStop Success."));
}

void FrmMicRecorder::cmdPauseOut_Click()
{
    cWave1->PausePlayback();
    log(QStringLiteral(": PlayPause."));
}

void FrmMicRecorder::cmdUnPauseOut_Click()
{
    cWave1->ResumePlayback();
    log(QStringLiteral(": PlayUnPause."));
}

void FrmMicRecorder::cWave1_DonePlay() { log(QStringLiteral(": DonePlay Event.")); }

FrmMicRecorder* g_frmMicRecorder()
{
    if (!windowRef() || windowRef()->Unloaded()) {
        windowRef() = new FrmMicRecorder(nullptr);
        windowRef()->Form_Load();
    }
    return windowRef();
}

bool g_frmMicRecorderLoaded() { return windowRef() && !windowRef()->Unloaded(); }
