#include "audiotools/frmAudioEditor.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "components/audio/cAudioEditor.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cReBar.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cToolbar.h"
#include "core/CommonLook.h"
#include "core/Dialogs.h"
#include "core/Edition.h"
#include "core/MainWindowServices.h"
#include "core/TimeText.h"
#include "core/WindowHelpers.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/frmStat.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"

namespace {

QPointer<FrmAudioEditor>& windowRef()
{
    static QPointer<FrmAudioEditor> p;
    return p;
}

const QString kWavFilter = QStringLiteral("Wav Audio Files (*.wav)") + QChar(0) + QStringLiteral("*.wav") + QChar(0);

// The property of a value label that keeps its text as designed, shown while no file is.
const char* const kDesignedText = "designedText";
const QString kDesignedCaption = QStringLiteral("Audio Editor");

// One row of a frame: caption, "-", value label.
QLabel* addRow(QGridLayout* grid, int row, const QString& caption, const QString& name, const QString& designed)
{
    auto* cap = new QLabel(caption);
    grid->addWidget(cap, row, 0);
    grid->addWidget(new QLabel(QStringLiteral("-")), row, 1);
    auto* value = new QLabel(designed);
    value->setObjectName(name);
    value->setProperty(kDesignedText, designed);
    // No fixed name: a screen reader reads the number shown, then the caption.
    value->setAccessibleDescription(caption);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(value, row, 2);
    grid->setColumnStretch(2, 1);
    return value;
}

QPushButton* makeButton(const QString& caption, const QString& name, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleName(caption);
    b->setAutoDefault(false);
    return b;
}

// The number before the first blank of a time caption.
bool leadingNumber(const QString& caption, long* value)
{
    bool ok = false;
    const long v = caption.section(QLatin1Char(' '), 0, 0).toLong(&ok);
    if (ok)
        *value = v;
    return ok;
}

} // namespace

FrmAudioEditor::FrmAudioEditor(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("g_frmAudioEditor"));
    setWindowTitle(kDesignedCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(760, 560);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    BuildTitleStrip(this, QStringLiteral("Audio Analyzer"), picTitle, lblTitle);
    layout->addWidget(picTitle);

    picList = new QWidget(this);
    picList->setObjectName(QStringLiteral("picList"));
    picList->setMinimumHeight(30);
    rbrList = new cReBar(picList);
    rbrList->setObjectName(QStringLiteral("rbrList"));
    tlbrList = new cToolbar(picList);
    tlbrList->setObjectName(QStringLiteral("tlbrList"));
    layout->addWidget(picList);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 0, 8, 8);
    layout->addLayout(body, 1);
    cAudioEditor1 = new cAudioEditor(this);
    cAudioEditor1->setObjectName(QStringLiteral("cAudioEditor1"));
    body->addWidget(cAudioEditor1, 1);

    auto* pathRow = new QHBoxLayout;
    txtWavFile = new QLineEdit(this);
    txtWavFile->setObjectName(QStringLiteral("txtWavFile"));
    txtWavFile->setAccessibleName(QStringLiteral("WAV file"));
    pathRow->addWidget(txtWavFile, 1);
    cmdSelectPath = makeButton(QStringLiteral("..."), QStringLiteral("cmdSelectPath"), this);
    pathRow->addWidget(cmdSelectPath);
    body->addLayout(pathRow);

    auto* frames = new QHBoxLayout;
    fraInfo = new QGroupBox(QStringLiteral("File Information"), this);
    fraInfo->setObjectName(QStringLiteral("fraInfo"));
    auto* info = new QGridLayout(fraInfo);
    lblInfoSamples = addRow(info, 0, "Info Samples", "lblInfoSamples", "Info Samples");
    lblInfoChannels = addRow(info, 1, "Info Channels", "lblInfoChannels", "Info Channels");
    lblInfoBits = addRow(info, 2, "Info Bits", "lblInfoBits", "Info Bits");
    lblLength = addRow(info, 3, "Time Length", "lblLength", "Length");
    lblNumOfSamples = addRow(info, 4, "Total Samples", "lblNumOfSamples", "Num Of Samples");
    frames->addWidget(fraInfo, 1);
    fraPosition = new QGroupBox(QStringLiteral("Selection Position"), this);
    fraPosition->setObjectName(QStringLiteral("fraPosition"));
    auto* pos = new QGridLayout(fraPosition);
    lblSamplesStart = addRow(pos, 0, "Samples Start", "lblSamplesStart", "Samples Start");
    lblSamplesEnd = addRow(pos, 1, "Samples End", "lblSamplesEnd", "Samples End");
    lblTimeStart = addRow(pos, 2, "Time Start", "lblTimeStart", "Time Start");
    lblTimeEnd = addRow(pos, 3, "Time End", "lblTimeEnd", "Time End");
    lblSelectedTime = addRow(pos, 4, "Selected Time", "lblSelectedTime", "Time End");
    frames->addWidget(fraPosition, 1);
    body->addLayout(frames);

    prgCurrnet = new XP_ProgressBar(this);
    prgCurrnet->setObjectName(QStringLiteral("prgCurrnet"));
    prgCurrnet->setFixedHeight(16);
    body->addWidget(prgCurrnet);

    auto* buttons = new QHBoxLayout;
    lblCurrentTrack = new QLabel(QStringLiteral("Preparing..."), this);
    lblCurrentTrack->setObjectName(QStringLiteral("lblCurrentTrack"));
    buttons->addWidget(lblCurrentTrack, 1);
    cmdAddSelection = makeButton(QStringLiteral("Add Selection"), QStringLiteral("cmdAddSelection"), this);
    cmdAbort = makeButton(QStringLiteral("Abort"), QStringLiteral("cmdAbort"), this);
    cmdExit = makeButton(QStringLiteral("Exit"), QStringLiteral("cmdExit"), this);
    buttons->addWidget(cmdAddSelection);
    buttons->addWidget(cmdAbort);
    buttons->addWidget(cmdExit);
    body->addLayout(buttons);
    cStatusBar1 = new cStatusBar(this);
    cStatusBar1->setObjectName(QStringLiteral("cStatusBar1"));
    layout->addWidget(cStatusBar1);

    connect(tlbrList, &cToolbar::ButtonClick, this, [this](int i) { tlbrList_ButtonClick(i); });
    connect(cmdSelectPath, &QPushButton::clicked, this, [this] { cmdSelectPath_Click(); });
    connect(cmdAddSelection, &QPushButton::clicked, this, [this] { cmdAddSelection_Click(); });
    connect(cmdAbort, &QPushButton::clicked, this, [this] { cmdAbort_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    connect(cAudioEditor1, &cAudioEditor::EditorFileInfo, this, &FrmAudioEditor::cAudioEditor1_EditorFileInfo);
    connect(cAudioEditor1, &cAudioEditor::SelectionChanged, this, &FrmAudioEditor::cAudioEditor1_SelectionChanged);
    connect(cAudioEditor1, &cAudioEditor::EditorProgress, this, &FrmAudioEditor::cAudioEditor1_EditorProgress);
    connect(cAudioEditor1, &cAudioEditor::EditorSaveDone, this, &FrmAudioEditor::cAudioEditor1_EditorSaveDone);
    connect(cAudioEditor1, &cAudioEditor::EditorAborted, this, &FrmAudioEditor::cAudioEditor1_EditorAborted);
    connect(cAudioEditor1, &cAudioEditor::EditorError, this, &FrmAudioEditor::cAudioEditor1_EditorError);
    connect(cAudioEditor1, &cAudioEditor::EditorPlayEnded, this, &FrmAudioEditor::cAudioEditor1_EditorPlayEnded);
}

FrmAudioEditor::~FrmAudioEditor()
{
    Form_Unload();
}

void FrmAudioEditor::Form_Load()
{
    if (m_bLoaded)
        return;
    m_bLoaded = true;
    SetFormIcon(this, QStringLiteral("document_pulse"), true);
    ApplyCommonLook(this, picTitle, lblTitle);
    bool ok = false;
    const qint64 back = g_sViewBackColor.toLongLong(&ok);
    if (ok) {
        SetBackColor(fraInfo, quint32(back));
        SetBackColor(fraPosition, quint32(back));
        SetBackColor(picList, quint32(back));
    }
    cAudioEditor1->setEditorTextColor(long(g_lTextColor));
    cAudioEditor1->setEditorBackColor(long(g_lAppColor));
    cAudioEditor1->setEditorAccentColor(long(g_lAppColor));
    prgCurrnet->setBarColor(g_lAppColor);

    tlbrList->setToolbarStyle(2);
    tlbrList->setToolbarStyleEx(0);
    tlbrList->setToolbarOption(true);
    if (MainWindowServices* main = mainWindow())
        tlbrList->SetImageList(main->imgMenu);
    tlbrList->CreateToolbar(16, false, true, true);
    struct Button {
        const char* tip;
        int icon;
        const char* caption;
        const char* key;
    };
    const Button buttons[] = {
        {"Play", 55, "Play", "Play"},
        {"Pause", 67, "Pause", "Pause"},
        {"Stop", 40, "Stop", "Stop"},
        {nullptr, 0, nullptr, nullptr},
        {"Zoom", 68, "Zoom", "Zoom"},
        {"Restore", 62, "Restore", "Restore"},
        {nullptr, 0, nullptr, nullptr},
        {"Save Selection As...", 5, "Save As", "Save Selection"},
        {nullptr, 0, nullptr, nullptr},
        {"Abort Operation", 27, "Abort", "Abort"},
    };
    for (const Button& b : buttons) {
        if (b.tip)
            tlbrList->AddButton(QString::fromLatin1(b.tip), b.icon, 0, 0, QString::fromLatin1(b.caption), 0,
                                QString::fromLatin1(b.key));
        else
            tlbrList->AddButton(QString(), -1, 0, 0, QString(), 1, QString());
    }
    tlbrList->setToolbarListOption(true);
    tlbrList->setToolbarIndexOption(0, true);
    rbrList->setRebarStyle(1);
    rbrList->CreateRebar(picList);
    rbrList->AddBand(tlbrList->ToolbarHandle(), QString(), false, false, QStringLiteral("Toolbar1"));
    rbrList->setRebarBandOption(0);
    // The strip is laid out by hand, so the window's layout must be told how
    // much it needs: every caption whole, down to the smallest window.
    tlbrList->setMinimumSize(tlbrList->sizeHint());
    picList->setMinimumSize(rbrList->minimumSizeHint().expandedTo(QSize(0, 30)));
}

void FrmAudioEditor::Form_Unload()
{
    if (m_bUnloaded)
        return;
    m_bUnloaded = true;
    // Whatever closes the window: a save still running is stopped and its
    // partial output removed before the component goes.
    cAudioEditor1->ReleaseComponent();
    // The converted copy the launch made is of no use once the window is
    // gone; nothing reads it any more.
    QFile::remove(platform::programDir() + QStringLiteral("/tmpeditor.wav"));
}

void FrmAudioEditor::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void FrmAudioEditor::reject()
{
    close();
}

QString FrmAudioEditor::TimeCaption(long ms)
{
    // Halves to the even neighbour: the default rounding mode.
    const int seconds = int(std::nearbyint(double(ms) / 1000.0));
    return QString::number(ms) + QStringLiteral(" ms [") + SecondsToTimeText(seconds) + QStringLiteral("]");
}

void FrmAudioEditor::setSaveControlsEnabled(bool enabled)
{
    cmdAddSelection->setEnabled(enabled);
    tlbrList->setButtonEnabled(QStringLiteral("Save Selection"), enabled);
}

void FrmAudioEditor::tlbrList_ButtonClick(int index)
{
    const QString key = tlbrList->ButtonKey(index);
    if (key == QLatin1String("Play")) {
        if (cAudioEditor1->StartPlayback() == 0)
            tlbrList->setButtonEnabled(QStringLiteral("Play"), false);
    } else if (key == QLatin1String("Pause")) {
        if (cAudioEditor1->IsPlaybackPaused())
            cAudioEditor1->ResumePlayback();
        else
            cAudioEditor1->PausePlayback();
    } else if (key == QLatin1String("Stop")) {
        cAudioEditor1->StopPlayback();
        tlbrList->setButtonEnabled(QStringLiteral("Play"), true);
    } else if (key == QLatin1String("Zoom")) {
        cAudioEditor1->ZoomSelection();
    } else if (key == QLatin1String("Restore")) {
        cAudioEditor1->ZoomRestore();
    } else if (key == QLatin1String("Save Selection")) {
        SaveSelection();
    } else if (key == QLatin1String("Abort")) {
        cAudioEditor1->AbortJob();
    }
}

void FrmAudioEditor::cmdSelectPath_Click()
{
    g_OpenFileName.lpstrFilter = kWavFilter;
    g_OpenFileName.lpstrTitle = QStringLiteral("Add audio files");
    const FileDialogResult r = ShowOpen(this, true);
    if (r.bCanceled)
        return;
    if (!r.sFiles.isEmpty() && !r.sFiles.at(0).isEmpty())
        txtWavFile->setText(r.sFiles.at(0));
    m_bFileInfo = false;
    cAudioEditor1->LoadWaveFile(txtWavFile->text());
}

QString FrmAudioEditor::SaveSelection()
{
    // Nothing to cut from before the file's format is known.
    if (!m_bFileInfo) {
        MsgBox(QStringLiteral("No WAV file is loaded."), vbInformation | vbOKOnly, QString(), this);
        return QString();
    }
    g_OpenFileName.lpstrFilter = kWavFilter;
    g_OpenFileName.lpstrTitle = QStringLiteral("Save Selection As");
    g_OpenFileName.lpstrDefExt = QStringLiteral("wav");
    const FileDialogResult r = ShowSave(this, QString(), true);
    if (r.bCanceled || r.sFiles.size() < 2)
        return QString();
    const QString path = r.sFiles.at(1);
    cAudioEditor1->SetInputFile(txtWavFile->text());
    cAudioEditor1->setOutputFile(path);
    long start = 0, end = 0;
    if (leadingNumber(lblTimeStart->text(), &start))
        cAudioEditor1->setRangeStart(start);
    if (leadingNumber(lblTimeEnd->text(), &end) && leadingNumber(lblTimeStart->text(), &start))
        cAudioEditor1->setRangeLength(end - start);
    // The frames shown beside the times, so that the file holds exactly them.
    long firstFrame = -1, endFrame = -1;
    if (!leadingNumber(lblSamplesStart->text(), &firstFrame) || !leadingNumber(lblSamplesEnd->text(), &endFrame))
        firstFrame = endFrame = -1;
    cAudioEditor1->setRangeFrames(firstFrame, endFrame);
    setSaveControlsEnabled(false);
    cAudioEditor1->SaveRange();
    return path;
}

void FrmAudioEditor::cmdAddSelection_Click()
{
    // The saved file joins the list once its save is done; a cancelled
    // dialog adds nothing.
    const QString path = SaveSelection();
    if (path.isEmpty())
        return;
    m_sAddPath = path;
}

void FrmAudioEditor::finishAddSelection()
{
    const QString path = m_sAddPath;
    m_sAddPath.clear();
    const QFileInfo fi(path);
    if (path.isEmpty() || !fi.exists()) {
        MsgBox("The file:" + path + " was not found.", vbInformation | vbOKOnly, QString(), this);
        return;
    }
    if (fi.size() < 65) {
        MsgBox("The file:" + path + " is empty.", vbInformation | vbOKOnly, QString(), this);
        return;
    }
    MainWindowServices* main = mainWindow();
    if (main && main->cGrid1) {
        g_frmStat()->AddFilesToList(QStringList{path}, main->cGrid1, main->Form(), false);
        UnloadStat();
        SaveGridToFile();
        DisplayGridInfoStatusBar();
    }
    close();
}

void FrmAudioEditor::cmdAbort_Click()
{
    cAudioEditor1->AbortJob();
}

void FrmAudioEditor::cmdExit_Click()
{
    cAudioEditor1->AbortJob();
    close();
}

void FrmAudioEditor::cAudioEditor1_EditorFileInfo(long sampleRate, long bits, long channels, long seconds,
                                                  long samples)
{
    m_bFileInfo = true;
    lblInfoSamples->setText(QString::number(sampleRate));
    lblInfoBits->setText(QString::number(bits));
    lblInfoChannels->setText(QString::number(channels));
    lblNumOfSamples->setText(QString::number(samples));
    lblLength->setText(SecondsToTimeText(int(seconds)));
    // The whole file to the millisecond, so that a save right after loading
    // keeps the part after the last whole second.
    const long endMs = sampleRate > 0 ? long((qint64(samples) * 1000 + sampleRate - 1) / sampleRate) : 0;
    lblSamplesStart->setText(QStringLiteral("0"));
    lblSamplesEnd->setText(QString::number(samples));
    lblTimeStart->setText(TimeCaption(0));
    lblTimeEnd->setText(TimeCaption(endMs));
    lblSelectedTime->setText(lblTimeEnd->text());
}

void FrmAudioEditor::cAudioEditor1_SelectionChanged(long startSample, long endSample, long startMs, long endMs)
{
    lblSamplesStart->setText(QString::number(startSample));
    lblSamplesEnd->setText(QString::number(endSample));
    lblTimeStart->setText(TimeCaption(startMs));
    lblTimeEnd->setText(TimeCaption(endMs));
    lblSelectedTime->setText(TimeCaption(endMs - startMs));
}

void FrmAudioEditor::cAudioEditor1_EditorProgress(long percent)
{
    prgCurrnet->setProgressValue(percent);
}

void FrmAudioEditor::cAudioEditor1_EditorSaveDone()
{
    setSaveControlsEnabled(true);
    if (!m_sAddPath.isEmpty())
        finishAddSelection();
}

void FrmAudioEditor::cAudioEditor1_EditorAborted()
{
    m_sAddPath.clear();
    tlbrList->setButtonEnabled(QStringLiteral("Play"), true);
    setSaveControlsEnabled(true);
}

void FrmAudioEditor::cAudioEditor1_EditorError(long code, const QString& text)
{
    m_sAddPath.clear();
    setSaveControlsEnabled(true);
    // A file that failed to load leaves no file shown: nothing of the one
    // before may pass for it.
    if (!cAudioEditor1->HasFile())
        showNoFile();
    MsgBox(text, vbExclamation | vbOKOnly, QString(), this);
}

void FrmAudioEditor::showNoFile()
{
    m_bFileInfo = false;
    for (QLabel* label : {lblInfoSamples, lblInfoChannels, lblInfoBits, lblLength, lblNumOfSamples, lblSamplesStart,
                          lblSamplesEnd, lblTimeStart, lblTimeEnd, lblSelectedTime})
        label->setText(label->property(kDesignedText).toString());
    setWindowTitle(kDesignedCaption);
}

void FrmAudioEditor::cAudioEditor1_EditorPlayEnded()
{
    tlbrList->setButtonEnabled(QStringLiteral("Play"), true);
}

FrmAudioEditor* g_frmAudioEditor()
{
    if (!windowRef() || windowRef()->Unloaded()) {
        windowRef() = new FrmAudioEditor(nullptr);
        windowRef()->Form_Load();
    }
    return windowRef();
}

bool g_frmAudioEditorLoaded()
{
    return windowRef() && !windowRef()->Unloaded();
}
