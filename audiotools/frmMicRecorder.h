#pragma once
// "Audio Recorder": records a sound input into a WAV file (at most 30
// seconds a take), plays the take back, and adds it to the shown items list.
// Shown modally; it unloads itself on Exit, on close and after Add.
#include <QDialog>
#include <QSet>
#include <QString>

#include "components/audio/cWave.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class LinkLabel;
class XP_ProgressBar;
class cSlider;
class cStatusBar;

class FrmMicRecorder : public QDialog {
    Q_OBJECT
public:
    explicit FrmMicRecorder(QWidget* parent = nullptr);
    ~FrmMicRecorder() override;

    void Form_Load();
    // Never refused: stops play-back and any recording (the take is kept), releases the component.
    void Form_Unload();
    bool Unloaded() const { return m_bUnloaded; }

    void cmdPath_Click();
    void cmdRecord_Click();
    void cmdStopRec_Click();
    void cmdPauseIn_Click();
    void cmdUnPauseIn_Click();
    void tmrRec_Timer();
    void cWave1_DoneRecord();
    void cWave1_MeterLevel(int level);
    void cmdAdd_Click();
    void cmdExit_Click();
    void lblNoticParameters_Click();

    void cmdPlay_Click();
    void cmdStop_Click();
    void cmdPauseOut_Click();
    void cmdUnPauseOut_Click();
    void tmSlider_Timer();
    void cWave1_DonePlay();

    // The format chosen in the three lists.
    WAVEFORMATEX RecordingFormat;
    long ElapsedSeconds = 0;

    QWidget* picTitle = nullptr;
    QLabel* lblTitle = nullptr;
    QComboBox* cboDevices = nullptr;
    QComboBox* cboBitPerSample = nullptr;
    QComboBox* cboSamplesPerSec = nullptr;
    QComboBox* cboChannels = nullptr;
    QLineEdit* txtAudioFile = nullptr;
    QPushButton* cmdPath = nullptr;
    QPushButton* cmdRecord = nullptr;
    QPushButton* cmdStopRec = nullptr;
    QPushButton* cmdPauseIn = nullptr;
    QPushButton* cmdUnPauseIn = nullptr;
    QLabel* lblRecTime = nullptr;
    QLabel* Label6 = nullptr;
    XP_ProgressBar* prgMeter = nullptr;
    QPushButton* cmdPlay = nullptr;
    QPushButton* cmdStop = nullptr;
    QPushButton* cmdPauseOut = nullptr;
    QPushButton* cmdUnPauseOut = nullptr;
    cSlider* cSlider1 = nullptr;
    QLabel* lblCurrentPositionSec = nullptr;
    QLabel* lbTotalLengthSec = nullptr;
    QPlainTextEdit* txtResults = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdExit = nullptr;
    cStatusBar* cStatusBar1 = nullptr;
    LinkLabel* lblNoticParameters = nullptr;
    QTimer* tmrRec = nullptr;
    QTimer* tmSlider = nullptr;
    cWave* cWave1 = nullptr;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void computeRecordingFormat();
    void log(const QString& literal);

    // Files this window may write over: chosen and confirmed in the save
    // dialog, or recorded here. Any other existing file is never replaced.
    QSet<QString> m_mayReplace;
    bool m_bUnloaded = false;
    bool m_bLoaded = false;
};

FrmMicRecorder* g_frmMicRecorder();
bool g_frmMicRecorderLoaded();
