#pragma once
// The Audio Format dialog: the encoder settings of each destination format,
// and the home of the format settings store. Loaded at start-up and kept
// loaded, hidden, for the whole run: its controls are the working copy of the
// settings and its GetOptions fills the format variables (settings/FormatSettings.h).
#include <QDialog>
#include <vector>

#include "core/OffThreadWait.h"
#include "core/RegistryRoutines.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;
class LinkLabel;
class cAudioConverter;
class cTabControl;

class FrmAudioProp : public QDialog {
    Q_OBJECT
public:
    explicit FrmAudioProp(QWidget* parent = nullptr);
    ~FrmAudioProp() override;

    QWidget* picTitle = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblFormatDesc = nullptr;
    cTabControl* cTabControl1 = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdExit = nullptr;
    cAudioConverter* cAudioConverter1 = nullptr;

    // One page per destination format, all present in every edition.
    QFrame* froToWAV = nullptr;
    QFrame* froToACM = nullptr;
    QFrame* froToMP3 = nullptr;
    QFrame* froToWMA = nullptr;
    QFrame* froToOGG = nullptr;
    QFrame* froToAPE = nullptr;

    // WAV
    QComboBox* cboSamplesWAV = nullptr;
    QComboBox* cboBitrateWAV = nullptr;
    QComboBox* cboChannelsWAV = nullptr;
    // ACM
    QCheckBox* chkBestAccordToSource = nullptr;
    QComboBox* cboTags = nullptr; // kept in alphabetical order
    QComboBox* cboFormats = nullptr;
    // MP3
    QComboBox* cboMP3Bitrate = nullptr;
    QComboBox* cboMP3Quality = nullptr;
    QComboBox* cboMP3Samplerate = nullptr;
    QComboBox* cboMP3Mode = nullptr;
    LinkLabel* lblMP3Advanced = nullptr;
    QFrame* picMP3Advanced = nullptr;
    QCheckBox* chkMP3ErrorProtect = nullptr;
    QCheckBox* chkMP3Original = nullptr;
    QCheckBox* chkMP3Copyright = nullptr;
    QCheckBox* chkMP3StrictISO = nullptr;
    QCheckBox* chkMP3VBR = nullptr;
    QComboBox* cboMP3VBRQuality = nullptr;
    QComboBox* cboMP3MinBitrate = nullptr;
    QComboBox* cboMP3MaxBitrate = nullptr;
    QCheckBox* chkMP3VBRTag = nullptr;
    QCheckBox* chkMP3VBRForceMinBitrate = nullptr;
    QCheckBox* chkMP3ABR = nullptr;
    QComboBox* cboMP3ABRBitrate = nullptr;
    // WMA
    QComboBox* cboWMACodecs = nullptr;
    QComboBox* cboWMAFormat = nullptr;
    // OGG
    QRadioButton* ptnQualityOGG = nullptr;
    QLabel* lblSensitivityVal = nullptr;
    QScrollBar* sldOGG = nullptr;
    QRadioButton* optOggBit = nullptr;
    QComboBox* cboOggBitNom = nullptr;
    // APE
    QComboBox* cboAPELevel = nullptr;

    // Registry → controls → format variables.
    void GetOptions();
    // Shows the page, title and description of the selected tab (lTab is not used).
    void cTabControl1_TabClick(int lTab);

    void Form_Load();
    void cmdOk_Click();
    void cmdExit_Click();
    void lblMP3Advanced_Click();
    void cboTags_Click();
    void cboWMACodecs_Click();
    void chkBestAccordToSource_Click();

    // The tab keys in their fixed order.
    static QStringList formatKeys();

protected:
    void closeEvent(QCloseEvent* event) override;

public slots:
    void reject() override;

private:
    enum class Kind { EntryNumber, EntryText, EntryPosition, Position, Check, Choice, Number, Caption };
    struct Value {
        QString subkey;
        QWidget* control;
        Kind kind;
        void* variable; // int*, bool* or QString* as the kind says; null for the caption
    };

    void buildControls();
    void buildTable();
    void HideTabPages();
    void ToggleMP3Advanced();
    void FillWMACodecs();
    void FillWMAFormats();
    void listAllACMCodecs();
    void readValue(const Value& v);
    QString valueText(const Value& v) const;
    QFrame* pageForKey(const QString& key) const;

    RegistryRoutines m_reg;
    std::vector<Value> m_values;
    OffThreadWait m_sourceRead;
};

FrmAudioProp* g_frmAudioProp();
bool g_frmAudioPropLoaded();
void UnloadAudioProp();
