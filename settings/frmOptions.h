#pragma once
// The Options dialog: the editor of the options store. Loaded at start-up and
// kept loaded, hidden, for the whole run: its controls hold the stored values
// and its GetOptions fills the shared option variables (settings/Options.h).
#include <QDialog>
#include <QStringList>

#include "core/RegistryRoutines.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class ColorBox;
class cTreeNode;
class cTreeView;
class cImageList;
class LinkLabel;

class FrmOptions : public QDialog {
    Q_OBJECT
public:
    explicit FrmOptions(QWidget* parent = nullptr);
    ~FrmOptions() override;

    // Title strip and page tree.
    QWidget* picTitle = nullptr;
    QLabel* lblTitle = nullptr;
    cTreeView* cTreeView1 = nullptr;
    cImageList* imgMenu = nullptr; // the page icons

    // The five pages, at most one visible.
    QFrame* froGeneral = nullptr;
    QFrame* froEvents = nullptr;
    QFrame* froView = nullptr;
    QFrame* froTags = nullptr;
    QFrame* froAdvanced = nullptr;

    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdOk = nullptr;

    // Hidden carriers of the device value.
    QComboBox* cboDevices = nullptr;
    QLabel* lblAudioDevice = nullptr;

    // General
    QComboBox* cboFileName = nullptr;
    LinkLabel* lblParameters = nullptr;
    QComboBox* cboTargetFormat = nullptr;
    QPushButton* cmdEditTargetFormat = nullptr;
    QCheckBox* chkGoToNextItem = nullptr;
    QCheckBox* chkClearOnExit = nullptr;
    QCheckBox* chkSelectTheLastItem = nullptr;
    QCheckBox* chkAutoFreeDB = nullptr;
    LinkLabel* lblMoreAdvancedOptions = nullptr;

    // Events
    QCheckBox* chkPlaySound = nullptr;
    QLineEdit* txtPlayAtEnd = nullptr; // shows the file name; its "Tag" property holds the full path
    QPushButton* cmdAddSound = nullptr;
    QPushButton* cmdTestSound = nullptr;
    QCheckBox* chkNoticeApp = nullptr;
    QPlainTextEdit* txtAppNotice = nullptr;
    LinkLabel* lblNoticParameters = nullptr;
    QPushButton* cmdTestApp = nullptr;
    QCheckBox* chkOpenDestFolder = nullptr;
    QCheckBox* chkTurnOffComputer = nullptr;

    // View
    QCheckBox* chkDisplayTitle = nullptr;
    QCheckBox* chkDisplayPlayer = nullptr;
    QCheckBox* chkDisplayAudioGraph = nullptr;
    QCheckBox* chkDisplayGridHotTrack = nullptr;
    QCheckBox* chkDisplayGridLine = nullptr;
    QCheckBox* chkMenuXPStyle = nullptr;
    QLabel* lblAppColor = nullptr;
    ColorBox* picColor = nullptr;
    QLabel* lblFontColor = nullptr;
    ColorBox* picTextColor = nullptr;

    // Default ID3 Tags
    QCheckBox* chkCopyID3FromSource = nullptr;
    LinkLabel* lblID3TagParameters = nullptr;
    QLabel* lblTagArtist = nullptr;
    QLineEdit* txtTagArtist = nullptr;
    QLabel* lblTagSong = nullptr;
    QLineEdit* txtTagSong = nullptr;
    QLabel* lblTagAlbum = nullptr;
    QLineEdit* txtTagAlbum = nullptr;
    QLabel* lblTagGenre = nullptr;
    QLineEdit* txtTagGenre = nullptr;
    QLabel* lblTagTrack = nullptr;
    QLineEdit* txtTagTrack = nullptr;
    QLabel* lblTagYear = nullptr;
    QLineEdit* txtTagYear = nullptr;
    QLabel* lblTagComment = nullptr;
    QPlainTextEdit* txtTagComment = nullptr;

    // Advanced
    QComboBox* txtToPath = nullptr; // editable, with the shared path history
    QPushButton* cmdSelectPath = nullptr;
    LinkLabel* lblOpenDestinationDestinationFolder = nullptr;
    QCheckBox* chkDisplayMSGWhenErase = nullptr;
    QCheckBox* chkDisplayMSGWhenExit = nullptr;
    QCheckBox* chkSaveLogWhenExit = nullptr;
    QCheckBox* chkRunWhenWinStarts = nullptr;
    QCheckBox* chkAutoUpdate = nullptr;
    QCheckBox* chkDisplayLiveUpdateWindow = nullptr;

    // Registry → controls → option variables.
    void GetOptions();
    // Shows the page of the node's key and names it in the title strip.
    void cTreeView1_NodeClick(cTreeNode node);
    // What a caller does before showing the dialog on one page: selects the
    // page node of `key` and shows its page.
    void ShowPage(const QString& key);

    void Form_Load();
    void Form_Resize();

    void cmdOk_Click();
    void cmdCancel_Click();
    void cmdAddSound_Click();
    void cmdTestSound_Click();
    void cmdTestApp_Click();
    void lblNoticParameters_Click();
    void lblParameters_Click();
    void lblID3TagParameters_Click();
    void lblMoreAdvancedOptions_Click();
    void cmdEditTargetFormat_Click();
    void cmdSelectPath_Click();
    void lblOpenDestinationDestinationFolder_Click();
    void picColor_Click();
    void picTextColor_Click();

    void EnablePlaySoundBoxes();
    void EnableNoticeAppBoxes();
    void EnableTagBoxes();

    // Fixed page keys of the page tree, in order.
    static QStringList pageKeys();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void SetOptionsTree();
    void HideOptionPages();
    void LoadFileNameFormats();
    void cTreeView1_NodeSelectionChange();
    QFrame* pageForKey(const QString& key) const;
    void setPlayAtEnd(const QString& path);
    // A stored text written under the current sub-key; a failure is noted for the one report.
    void storeValue(const QString& name, const QString& text);
    void reportFailedWrites();
    // A colour pick: the dialog's box and title, the "Display" value, the main window.
    void pickColor(ColorBox* box, bool textColor);
    // An empty lists folder becomes the program's "Main" folder, created when
    // missing and put at the top of the path history.
    void defaultListsFolder();

    RegistryRoutines m_reg;
    QStringList m_failedWrites;
};

FrmOptions* frmOptions();
bool frmOptionsLoaded();
void UnloadOptions();
