#pragma once
// The MP3 Tags Editor: one MP3 file's ID3v1 and ID3v2 texts, shown and
// written back through the two tag classes. It stays open beside the main
// window. What it has no box for is left in the file as it was.
#include <QByteArray>
#include <QDialog>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class cTabControl;
class cMP3ID3v1;
class cMP3ID3v2;
struct TagEditorMailbox;

// What the boxes showed, and what each tag held, when the file was loaded:
// Apply writes what the user changed over what the file holds by then.
struct TagEditorTexts {
    QString title, artist, album, year, comment, track, originalArtist, url, encodedBy, copyright, lyrics;
    QString genreText;
    quint8 genre = 255;
    bool hasGenreFrame = false;
};

class FrmMP3TagsEditor : public QDialog {
    Q_OBJECT
public:
    explicit FrmMP3TagsEditor(QWidget* parent = nullptr);
    ~FrmMP3TagsEditor() override;

    QWidget* picTitle = nullptr;
    QLabel* lblTitleMain = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cboID3 = nullptr;
    QLabel* lblSourceFIle = nullptr;
    QPlainTextEdit* sSourceFile = nullptr;
    QPushButton* cmdSelectFile = nullptr;
    cTabControl* cTabControl1 = nullptr;
    QWidget* froGeneral = nullptr;
    QWidget* froAdvanced = nullptr;
    QWidget* froLyric = nullptr;

    QLineEdit* txtTitle = nullptr;
    QLineEdit* txtArtist = nullptr;
    QLineEdit* txtAlbum = nullptr;
    QLineEdit* txtYear = nullptr;
    QPlainTextEdit* txtDescription = nullptr;
    QLineEdit* txtTrackNum = nullptr;
    QComboBox* cboGenre = nullptr;
    QLineEdit* txtOriginalArtist = nullptr;
    QLineEdit* txtURL = nullptr;
    QLineEdit* txtEncodedBy = nullptr;
    QLineEdit* txtCopyright = nullptr;
    QPlainTextEdit* txtLyric = nullptr;

    QPushButton* cmdApply = nullptr;
    QPushButton* cmdClose = nullptr;

    void Form_Load();
    void cboID3_Click();
    void cTabControl1_TabClick(int lTab);
    void cmdSelectFile_Click();
    void cmdApply_Click();
    void cmdClose_Click();

public slots:
    void reject() override;

signals:
    // The boxes show the tags of the file just chosen (or of the new version
    // choice): the file is read on a worker, and the boxes stay disabled until then.
    void TagsShown();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void LoadTagsFromFile(const QString& path);
    void ShowLoadedTags(quint64 load, const cMP3ID3v1& v1, const cMP3ID3v2& v2, const QByteArray& audio);
    void placePages();
    cMP3ID3v1& id3v1();
    cMP3ID3v2& id3v2();
    // The genre entry chosen for a text: exact name first, then the first
    // name that contains it; -1 when nothing matches (0, the blank entry, for "").
    int matchGenre(const QString& text) const;
    TagEditorTexts boxTexts() const;

    std::unique_ptr<cMP3ID3v1> m_cID3v1;
    std::unique_ptr<cMP3ID3v2> m_cID3v2;
    bool m_bReadV1 = false;
    bool m_bWriteV1 = false;
    bool m_bReadV2 = false;
    bool m_bWriteV2 = false;
    // Set while the window itself fills the boxes, so that only the user's
    // changes count as edits of the genre.
    bool m_bFilling = false;
    bool m_bGenreEdited = false;
    bool m_bWriting = false;
    // The load whose tags the boxes wait for; an older load's result is dropped.
    quint64 m_loadGeneration = 0;
    bool m_bLoading = false;
    std::shared_ptr<TagEditorMailbox> m_mailbox;

    TagEditorTexts m_loadedBoxes;
    TagEditorTexts m_loadedV1;
    TagEditorTexts m_loadedV2;
    // The audio between the tags at load; empty when the file could not be read.
    QByteArray m_loadedAudio;
};

// The editor, created (and loaded) on first use; closing unloads it.
FrmMP3TagsEditor* g_frmMP3TagsEditor();
bool g_frmMP3TagsEditorLoaded();
