#pragma once
// "Text To Speech": speaks the typed text with a chosen voice, output, rate
// and volume, highlighting the word being heard, and speaks it into a file
// that joins the shown items list ("Add to Items List") or is saved under a
// chosen name ("Save As..."). Shown modally; the speech format and voice are
// kept in the per-user store between runs.
#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class LinkLabel;
class cSlider;
class cWaveTTS;

class FrmWaveTTS : public QDialog {
    Q_OBJECT
public:
    explicit FrmWaveTTS(QWidget* parent = nullptr);
    ~FrmWaveTTS() override;

    void Form_Load();
    void Form_Unload();
    bool Unloaded() const { return m_bUnloaded; }

    void cmdSay_Click();
    void cmdStop_Click();
    void cmdSaveAs_Click();
    void cmdAdd_Click();
    void cmdEditTargetFormat_Click();
    void lblClearText_Click();
    void lblID3Tags_Click();
    void txtSpeak_Change();
    void sldRate_SliderChange();
    void sldVolume_SliderChange();
    void cWaveTTS1_SpeechFormatFound(QString& name, long& code);
    void cWaveTTS1_WordPosition(long start, long length);
    void cWaveTTS1_SpeakDone();

    QWidget* picTitle = nullptr;
    QLabel* lblTitle = nullptr;
    QPlainTextEdit* txtSpeak = nullptr;
    LinkLabel* lblClearText = nullptr;
    QComboBox* cboVoices = nullptr;
    QComboBox* cboAudioOutputs = nullptr;
    QComboBox* cboFormats = nullptr;
    cSlider* sldRate = nullptr;
    QLabel* lblRateVal = nullptr;
    cSlider* sldVolume = nullptr;
    QLabel* lblValumeVal = nullptr;
    QPushButton* cmdSay = nullptr;
    QPushButton* cmdStop = nullptr;
    QPushButton* cmdSaveAs = nullptr;
    QPushButton* cmdAdd = nullptr;
    QComboBox* cboTargetFormat = nullptr;
    QPushButton* cmdEditTargetFormat = nullptr;
    LinkLabel* lblID3Tags = nullptr;
    QLabel* cmdToolsIcon[4] = {}; // pictures without actions
    cWaveTTS* cWaveTTS1 = nullptr;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FillVoiceList();
    void FillOutputList();
    // Speaks the text into path with the file settings; false (the user told) on failure.
    bool SpeakToWaveFile(const QString& path);
    // Converts the temporary speech file into dest through the one-file conversion window.
    void ConvertSpeech(const QString& dest);
    QString targetExtension() const;

    bool m_bUnloaded = false;
    bool m_bLoaded = false;
    bool m_bSpeakingToFile = false;
    bool m_bCloseAfterFile = false;
};

FrmWaveTTS* g_frmWaveTTS();
bool g_frmWaveTTSLoaded();
