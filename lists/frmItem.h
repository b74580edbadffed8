#pragma once
// "Item Properties": edits one row of the main items grid (its name, the
// range the tools process and the tag texts the outputs get) and shows facts
// about its audio file. It reads and writes the grid's cells directly, and an
// accepted apply rewrites the list file at once. Next and Back step through
// the list without saving.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTime;
class QWidget;
class LinkLabel;
class cAudioConverter;
class cDateTimePick;
class cTabControl;
struct SourceFormat;

class FrmItem : public QDialog {
    Q_OBJECT
public:
    explicit FrmItem(QWidget* parent = nullptr);

    // The main-grid row shown, and the row Next and Back step.
    long lItem = 0;
    long l_lGridRowNum = 0;

    // Fills the information page from the row and resets both pickers. The
    // file's format follows once it is read, away from the window's thread.
    void GetFileInfo();
    // True from GetFileInfo until the format of its file has been read.
    bool FileFormatPending() const { return m_bFormatPending; }
    void SetIDvTags();
    // Sets the range option and the pickers from the row's range cells.
    void GetRangeOptions();
    void cTabControl1_TabClick(int lTab);

    // 0 applied, -1 name refused, 1 range refused. A refused apply changes nothing.
    int ApplyItemChanges();

    void cmdNext_Click();
    void cmdBack_Click();
    void cmdOk_Click();
    void cmdApply_Click();
    void cmdExit_Click();
    void cmdGoTSoStart_Click();
    void cmdGoToEnd_Click();
    void lblFileName_Click();
    void lblPath_Click();
    void lblDefaultID3Tags_Click();
    void lblID3TagParameters_Click();

    QWidget* picTitle = nullptr;
    QLabel* lblTitle = nullptr;
    cTabControl* cTabControl1 = nullptr;
    QWidget* TabInfo = nullptr;
    QWidget* TabRange = nullptr;
    QWidget* TabTags = nullptr;

    QLineEdit* txtItemName = nullptr;
    LinkLabel* lblFileName = nullptr;
    LinkLabel* lblPath = nullptr;
    QLabel* lblTotalTime = nullptr;
    QLabel* lblTotalSize = nullptr;
    QLabel* lblCreated = nullptr;
    QLabel* lblFormat = nullptr;
    QLabel* lblSamples = nullptr;
    QLabel* lblBitrate = nullptr;
    QLabel* lblChannels = nullptr;

    QRadioButton* ptnAllFile = nullptr;
    QRadioButton* ptnConvertByTime = nullptr;
    QLabel* Label20 = nullptr;
    QLabel* Label21 = nullptr;
    cDateTimePick* dtStartAfter = nullptr;
    cDateTimePick* dtUntil = nullptr;
    QPushButton* cmdGoTSoStart = nullptr;
    QPushButton* cmdGoToEnd = nullptr;

    QLineEdit* txtTagArtist = nullptr;
    QLineEdit* txtTagSong = nullptr;
    QLineEdit* txtTagAlbum = nullptr;
    QLineEdit* txtTagGenre = nullptr;
    QLineEdit* txtTagTrack = nullptr;
    QLineEdit* txtTagYear = nullptr;
    QPlainTextEdit* txtTagComment = nullptr;
    LinkLabel* lblDefaultID3Tags = nullptr;
    LinkLabel* lblID3TagParameters = nullptr;

    QPushButton* cmdBack = nullptr;
    QPushButton* cmdNext = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdApply = nullptr;
    QPushButton* cmdExit = nullptr;

    cAudioConverter* cAudioConverter1 = nullptr;

    // Set once the dialog has closed; the next opening builds a new one.
    bool m_bUnloaded = false;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void ShowGridRow(long& row);
    void CheckRangeByTimeEna();
    void HideTabPages();
    void placePages();
    void pickerChanged(cDateTimePick* picker);
    void ReadFileFormat(const QString& path);
    void ShowFileFormat(const SourceFormat& format);
    QString cell(const QString& key) const;
    void setCell(const QString& key, const QString& text);

    quint64 m_formatRead = 0;
    bool m_bFormatPending = false;
};

// The dialog, created on first use (running its Form_Load on the grid's current row).
FrmItem* g_frmItem();
bool g_frmItemLoaded();
// Loads a fresh dialog on the grid's current row and shows it modally.
void ShowItemDialog();

// A "HH:MM:SS" text as a time of day; invalid for other texts and for 24 hours or more.
QTime TimeOfDayFromText(const QString& text);
