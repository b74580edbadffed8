#include "mainwindow/frmMP3TagsEditor.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>
#include <sys/stat.h>
#include <thread>

#include "components/audio/SourceCheck.h"
#include "components/controls/cTabControl.h"
#include "core/CommonLook.h"
#include "core/Dialogs.h"
#include "core/Edition.h"
#include "core/WindowHelpers.h"
#include "platform/MessageBox.h"
#include "tags/Id3v2Codec.h"
#include "tags/TagChange.h"
#include "tags/TagError.h"
#include "tags/TagFileIo.h"
#include "tags/TagUpdate.h"
#include "tags/cMP3ID3v1.h"
#include "tags/cMP3ID3v2.h"

namespace {

QPointer<FrmMP3TagsEditor>& windowRef()
{
    static QPointer<FrmMP3TagsEditor> p;
    return p;
}

template <class T> T* named(T* w, const char* name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

constexpr int kBlankGenre = 255;
constexpr int kV1Block = 128;

bool beyondLatin1(const QString& s)
{
    for (const QChar c : s)
        if (c.unicode() > 0xFF)
            return true;
    return false;
}

// Refuses, before anything is written, a file the tag classes would change
// although it is no MP3 (they would append or prepend a tag to anything) or
// one the user made read-only. An empty file is left to the classes, which
// refuse it themselves.
TagError checkTarget(const QString& path, const char* className)
{
    const QFileInfo fi(path);
    if (!fi.exists() || !fi.isFile() || fi.size() == 0)
        return {};
    // The mode bits, not access(): a user who may write anything still meant
    // a file without write permission to stay as it is.
    constexpr auto kWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    bool readOnly = !(fi.permissions() & kWrite);
    tagio::File f;
    if (!readOnly && !f.openReadWrite(path))
        readOnly = f.error() == EACCES || f.error() == EPERM || f.error() == EROFS;
    if (readOnly)
        return TagError{tagerr::PermissionDenied, tagerr::source(className),
                        path + QStringLiteral(" is read-only: its tags were not written.")};

    // A file that starts with a whole ID3v2 tag is taken as the MP3 it claims
    // to be, whatever its audio looks like.
    char head[id3v2::kHeaderSize];
    if ((f.isOpen() || f.openRead(path)) && f.size() >= id3v2::kHeaderSize &&
        f.readAt(0, head, id3v2::kHeaderSize) && id3v2::parseHeader(head, f.size()))
        return {};
    const kvaudio::SourceVerdict v = kvaudio::checkSourceStructure(path, QStringLiteral("mp3"));
    if (v == kvaudio::SourceVerdict::NotAudio || v == kvaudio::SourceVerdict::Empty)
        return tagerr::notValidMP3(path, className);
    return {};
}

TagEditorTexts textsOf(const cMP3ID3v1& t)
{
    TagEditorTexts x;
    x.title = t.Title();
    x.artist = t.Artist();
    x.album = t.Album();
    x.year = t.Year();
    x.comment = t.Comment();
    x.genre = t.Genre();
    return x;
}

TagEditorTexts textsOf(const cMP3ID3v2& t)
{
    TagEditorTexts x;
    x.title = t.Title();
    x.artist = t.Artist();
    x.album = t.Album();
    x.year = t.Year();
    x.comment = t.Comment();
    x.track = t.Track();
    x.originalArtist = t.OriginalArtist();
    x.url = t.LinkTo();
    x.encodedBy = t.EncodedBy();
    x.copyright = t.Copyright();
    x.lyrics = t.Lyrics();
    x.genreText = t.OtherGenreName();
    x.genre = t.Genre();
    x.hasGenreFrame = t.TagsInFrame(QStringLiteral("TCON")) > 0;
    return x;
}

bool sameGenre(const TagEditorTexts& a, const TagEditorTexts& b)
{
    return a.genre == b.genre && a.genreText == b.genreText && a.hasGenreFrame == b.hasGenreFrame;
}

// A digest of the audio between the ID3v2 tag and the ID3v1 block: what a
// tag editor may change is left out, so only a changed recording differs.
// Empty when the file cannot be read, or when abandoned() says the digest
// is no longer wanted.
QByteArray audioPrint(const QString& path, const std::function<bool()>& abandoned = {})
{
    tagio::File f;
    if (!f.openRead(path))
        return {};
    qint64 from = 0;
    qint64 to = f.size();
    char head[id3v2::kHeaderSize];
    if (to >= id3v2::kHeaderSize && f.readAt(0, head, id3v2::kHeaderSize))
        if (const auto h = id3v2::parseHeader(head, to))
            from = std::min<qint64>(h->space(), to);
    char marker[3];
    if (to - from >= kV1Block && f.readAt(to - kV1Block, marker, 3) && std::memcmp(marker, "TAG", 3) == 0)
        to -= kV1Block;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArray::number(to - from));
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (qint64 at = from; at < to;) {
        if (abandoned && abandoned())
            return {};
        const qint64 got = f.readUpTo(at, buffer.data(), std::min<qint64>(buffer.size(), to - at));
        if (got <= 0)
            return {};
        hash.addData(QByteArrayView(buffer.constData(), got));
        at += got;
    }
    return hash.result();
}

// A file's identity and last change: the same stamp before and after a read
// means no write came in between.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified {};
    timespec changed {};

    bool operator==(const FileStamp& o) const
    {
        return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec &&
               changed.tv_nsec == o.changed.tv_nsec;
    }
};

FileStamp stampOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

// A file that is gone at Apply is named as gone, not as no MP3 file.
TagError goneError(const QString& path, const char* className)
{
    if (QFileInfo::exists(path))
        return {};
    return TagError{tagerr::FileNotFound, tagerr::source(className),
                    path + QStringLiteral(" no longer exists: its tags were not written.")};
}

} // namespace

// How a load's worker reaches the window, if the window is still there.
struct TagEditorMailbox {
    std::mutex mutex;
    FrmMP3TagsEditor* owner = nullptr;
    // The load the window waits for; a worker of any other gives up.
    std::atomic<quint64> latest{0};
};

FrmMP3TagsEditor::FrmMP3TagsEditor(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("g_frmMP3TagsEditor"));
    m_mailbox = std::make_shared<TagEditorMailbox>();
    m_mailbox->owner = this;
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("MP3 Tags Editor"));
    const int width = TwipsToPixels(7200);
    const int height = TwipsToPixels(7500);
    setFixedSize(width, height);

    QLabel* stripLabel = nullptr;
    BuildTitleStrip(this, QStringLiteral("MP3 Tags Editor"), picTitle, stripLabel);
    lblTitleMain = named(stripLabel, "lblTitleMain");
    picTitle->setGeometry(0, 0, width, 30);

    Label1 = named(new QLabel(QStringLiteral("Version:"), this), "Label1");
    Label1->setGeometry(10, 42, 75, 22);
    cboID3 = named(new QComboBox(this), "cboID3");
    cboID3->setEditable(false);
    cboID3->setGeometry(90, 40, 140, 24);
    Label1->setBuddy(cboID3);
    cboID3->setAccessibleName(Label1->text());

    lblSourceFIle = named(new QLabel(QStringLiteral("Source File:"), this), "lblSourceFIle");
    lblSourceFIle->setGeometry(10, 72, 75, 22);
    sSourceFile = named(new QPlainTextEdit(this), "sSourceFile");
    sSourceFile->setReadOnly(true);
    // A long path wraps onto the second line rather than scrolling out of sight.
    sSourceFile->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    sSourceFile->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sSourceFile->setGeometry(90, 70, width - 90 - 50, 40);
    sSourceFile->setAccessibleName(lblSourceFIle->text());
    cmdSelectFile = named(new QPushButton(QStringLiteral("..."), this), "cmdSelectFile");
    cmdSelectFile->setGeometry(width - 44, 70, 34, 24);
    cmdSelectFile->setAccessibleName(cmdSelectFile->text());

    cTabControl1 = named(new cTabControl(this), "cTabControl1");
    cTabControl1->setGeometry(10, 120, width - 20, height - 120 - 50);

    froGeneral = named(new QWidget(this), "froGeneral");
    froAdvanced = named(new QWidget(this), "froAdvanced");
    froLyric = named(new QWidget(this), "froLyric");

    auto addRow = [](QGridLayout* g, int row, const QString& caption, QWidget* box) {
        auto* label = new QLabel(caption, box->parentWidget());
        label->setObjectName(QStringLiteral("lbl") + box->objectName().mid(3));
        label->setBuddy(box);
        box->setAccessibleName(caption);
        g->addWidget(label, row, 0, Qt::AlignTop);
        g->addWidget(box, row, 1);
    };
    auto line = [](QWidget* page, const char* name) { return named(new QLineEdit(page), name); };
    auto multi = [](QWidget* page, const char* name) {
        auto* t = named(new QPlainTextEdit(page), name);
        t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        return t;
    };

    auto* g = new QGridLayout(froGeneral);
    txtTitle = line(froGeneral, "txtTitle");
    txtArtist = line(froGeneral, "txtArtist");
    txtAlbum = line(froGeneral, "txtAlbum");
    txtYear = line(froGeneral, "txtYear");
    txtTrackNum = line(froGeneral, "txtTrackNum");
    cboGenre = named(new QComboBox(froGeneral), "cboGenre");
    cboGenre->setEditable(true);
    // What the user types stays as typed: it is matched against the names on Apply.
    cboGenre->setInsertPolicy(QComboBox::NoInsert);
    cboGenre->setCompleter(nullptr);
    txtDescription = multi(froGeneral, "txtDescription");
    addRow(g, 0, QStringLiteral("Title"), txtTitle);
    addRow(g, 1, QStringLiteral("Artist"), txtArtist);
    addRow(g, 2, QStringLiteral("Album"), txtAlbum);
    addRow(g, 3, QStringLiteral("Year"), txtYear);
    addRow(g, 4, QStringLiteral("Track Number"), txtTrackNum);
    addRow(g, 5, QStringLiteral("Genre"), cboGenre);
    addRow(g, 6, QStringLiteral("Comment"), txtDescription);
    g->setRowStretch(6, 1);

    auto* a = new QGridLayout(froAdvanced);
    txtOriginalArtist = line(froAdvanced, "txtOriginalArtist");
    txtURL = line(froAdvanced, "txtURL");
    txtEncodedBy = line(froAdvanced, "txtEncodedBy");
    txtCopyright = line(froAdvanced, "txtCopyright");
    addRow(a, 0, QStringLiteral("Original Artist"), txtOriginalArtist);
    addRow(a, 1, QStringLiteral("URL"), txtURL);
    addRow(a, 2, QStringLiteral("Encoded By"), txtEncodedBy);
    addRow(a, 3, QStringLiteral("Copyright"), txtCopyright);
    a->setRowStretch(4, 1);

    auto* l = new QGridLayout(froLyric);
    txtLyric = multi(froLyric, "txtLyric");
    addRow(l, 0, QStringLiteral("Lyrics"), txtLyric);

    cmdApply = named(new QPushButton(QStringLiteral("Apply"), this), "cmdApply");
    cmdApply->setGeometry(width - 190, height - 40, 85, 28);
    cmdApply->setAccessibleName(cmdApply->text());
    cmdClose = named(new QPushButton(QStringLiteral("Close"), this), "cmdClose");
    cmdClose->setGeometry(width - 95, height - 40, 85, 28);
    cmdClose->setAccessibleName(cmdClose->text());
    cmdApply->setEnabled(false);
    // Enter in a box edits text; it presses no button.
    for (QPushButton* b : {cmdSelectFile, cmdApply, cmdClose}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    connect(cboID3, &QComboBox::currentIndexChanged, this, [this] { cboID3_Click(); });
    connect(cTabControl1, &cTabControl::TabClick, this, &FrmMP3TagsEditor::cTabControl1_TabClick);
    connect(cmdSelectFile, &QPushButton::clicked, this, &FrmMP3TagsEditor::cmdSelectFile_Click);
    connect(cmdApply, &QPushButton::clicked, this, &FrmMP3TagsEditor::cmdApply_Click);
    connect(cmdClose, &QPushButton::clicked, this, &FrmMP3TagsEditor::cmdClose_Click);
    auto genreEdited = [this] {
        if (!m_bFilling)
            m_bGenreEdited = true;
    };
    connect(cboGenre, &QComboBox::editTextChanged, this, genreEdited);
    connect(cboGenre, &QComboBox::currentIndexChanged, this, genreEdited);

    Form_Load();
}

FrmMP3TagsEditor::~FrmMP3TagsEditor()
{
    std::lock_guard<std::mutex> lock(m_mailbox->mutex);
    m_mailbox->owner = nullptr;
    m_mailbox->latest = 0;
}

cMP3ID3v1& FrmMP3TagsEditor::id3v1()
{
    if (!m_cID3v1)
        m_cID3v1 = std::make_unique<cMP3ID3v1>();
    return *m_cID3v1;
}

cMP3ID3v2& FrmMP3TagsEditor::id3v2()
{
    if (!m_cID3v2)
        m_cID3v2 = std::make_unique<cMP3ID3v2>();
    return *m_cID3v2;
}

void FrmMP3TagsEditor::Form_Load()
{
    SetFormIcon(this, QStringLiteral("text_align_left"), true);
    ApplyCommonLook(this, picTitle, lblTitleMain);
    for (QWidget* page : {froGeneral, froAdvanced, froLyric}) {
        if (!g_sViewBackColor.isEmpty()) {
            bool ok = false;
            const qint64 bgr = g_sViewBackColor.toLongLong(&ok);
            if (ok)
                SetBackColor(page, quint32(bgr));
        }
        SetViewPicture(page, g_sViewFormPicture);
    }

    cboID3->blockSignals(true);
    cboID3->addItems({QStringLiteral("ID3 v1"), QStringLiteral("ID3 v2"), QStringLiteral("ID3 v1+v2")});
    cboID3->setCurrentIndex(-1);
    cboID3->blockSignals(false);
    cboID3->setCurrentIndex(2);

    id3v1();
    id3v2();

    m_bFilling = true;
    cboGenre->addItem(QString(), kBlankGenre);
    for (int i = 0; i <= 255; ++i)
        if (!id3v1().GenreName(quint8(i)).isEmpty())
            cboGenre->addItem(id3v2().GenreName(quint8(i)), i);
    cboGenre->setCurrentIndex(0);
    m_bFilling = false;

    placePages();
    froAdvanced->hide();
    froLyric->hide();
    froGeneral->show();
}

void FrmMP3TagsEditor::placePages()
{
    // The pages start 50 twips left of the client area and are as much wider,
    // so their right edge stays on the client area's.
    const QRect r(TwipsToPixels(cTabControl1->ClientLeft() - 50), TwipsToPixels(cTabControl1->ClientTop()),
                  TwipsToPixels(cTabControl1->ClientWidth() + 50), TwipsToPixels(cTabControl1->ClientHeight()));
    for (QWidget* page : {froGeneral, froAdvanced, froLyric}) {
        page->setGeometry(r);
        page->raise();
    }
}

void FrmMP3TagsEditor::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    placePages();
}

void FrmMP3TagsEditor::cboID3_Click()
{
    m_bReadV1 = m_bWriteV1 = m_bReadV2 = m_bWriteV2 = false;
    cTabControl1->ClearTabs();
    const int choice = cboID3->currentIndex();
    if (choice == 0 || choice == 2)
        m_bReadV1 = m_bWriteV1 = true;
    if (choice == 1 || choice == 2)
        m_bReadV2 = m_bWriteV2 = true;
    QStringList tabs{QStringLiteral("General")};
    if (m_bReadV2)
        tabs << QStringLiteral("Advanced") << QStringLiteral("Lyrics");
    for (const QString& t : tabs)
        cTabControl1->AddTab(t, -1, true, t);
    cTabControl1->SelectTab(QStringLiteral("General"));
    cTabControl1_TabClick(1);
    if (!sSourceFile->toPlainText().isEmpty())
        LoadTagsFromFile(sSourceFile->toPlainText());
}

void FrmMP3TagsEditor::cTabControl1_TabClick(int)
{
    froGeneral->hide();
    froAdvanced->hide();
    froLyric->hide();
    const QString key = cTabControl1->TabKey(cTabControl1->SelectedTab());
    if (key == QLatin1String("General"))
        froGeneral->show();
    else if (key == QLatin1String("Advanced"))
        froAdvanced->show();
    else if (key == QLatin1String("Lyrics"))
        froLyric->show();
}

void FrmMP3TagsEditor::cmdSelectFile_Click()
{
    g_OpenFileName.lpstrFilter = QStringLiteral("MP3 Audio Files (*.mp3)") + QChar(0) + QStringLiteral("*.mp3") + QChar(0);
    g_OpenFileName.lpstrTitle = QStringLiteral("Open MP3 audio file");
    const FileDialogResult r = ShowOpen(this, true);
    if (r.bCanceled)
        return;
    QString path = r.sFiles.value(0);
    if (path.isEmpty() && r.sFiles.size() > 1) {
        // Several files chosen: the editor works on the first of them.
        path = r.sFolder.endsWith(QLatin1Char('/')) ? r.sFolder + r.sFiles.at(1)
                                                     : r.sFolder + QLatin1Char('/') + r.sFiles.at(1);
    }
    if (path.isEmpty())
        return;
    sSourceFile->setPlainText(path);
    cmdApply->setEnabled(true);
    LoadTagsFromFile(path);
}

void FrmMP3TagsEditor::LoadTagsFromFile(const QString& path)
{
    m_bFilling = true;
    for (QLineEdit* box : {txtArtist, txtTitle, txtAlbum})
        box->clear();
    cboGenre->setCurrentIndex(0);
    cboGenre->setEditText(QString());
    for (QLineEdit* box : {txtYear, txtTrackNum, txtOriginalArtist, txtCopyright, txtEncodedBy, txtURL})
        box->clear();
    txtDescription->clear();
    txtLyric->clear();
    m_bFilling = false;

    // The file is read on a worker: a large file, a slow disk or a write
    // another process has under way never holds the window. The boxes take
    // no edits until the tags show.
    const quint64 load = ++m_loadGeneration;
    m_mailbox->latest = load;
    m_bLoading = true;
    for (QWidget* page : {froGeneral, froAdvanced, froLyric})
        page->setEnabled(false);
    const bool readV1 = m_bReadV1, readV2 = m_bReadV2;
    std::thread([mailbox = m_mailbox, load, path, readV1, readV2] {
        const auto abandoned = [&] { return mailbox->latest != load; };
        // What a killed write left half done is put right before the file is read.
        tagio::recoverPendingWrites(path);
        auto v1 = std::make_shared<cMP3ID3v1>();
        auto v2 = std::make_shared<cMP3ID3v2>();
        QByteArray audio;
        // The tags and the audio digest of one state of the file: a read that
        // another program's write overlapped is done again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            const FileStamp before = stampOf(path);
            *v1 = cMP3ID3v1();
            *v2 = cMP3ID3v2();
            if (readV1)
                v1->setMP3File(path); // a file that cannot be read shows the reset values
            if (readV2)
                v2->setMP3File(path);
            audio = audioPrint(path, abandoned);
            if (abandoned())
                return;
            if (stampOf(path) == before)
                break;
        }
        std::lock_guard<std::mutex> lock(mailbox->mutex);
        if (FrmMP3TagsEditor* w = mailbox->owner)
            QMetaObject::invokeMethod(
                w, [w, load, v1, v2, audio] { w->ShowLoadedTags(load, *v1, *v2, audio); }, Qt::QueuedConnection);
    }).detach();
}

void FrmMP3TagsEditor::ShowLoadedTags(quint64 load, const cMP3ID3v1& v1, const cMP3ID3v2& v2,
                                      const QByteArray& audio)
{
    if (load != m_loadGeneration)
        return;
    m_loadedAudio = audio;
    m_bLoading = false;
    for (QWidget* page : {froGeneral, froAdvanced, froLyric})
        page->setEnabled(true);

    m_bFilling = true;
    auto selectGenre = [this](int genre) {
        const int at = cboGenre->findData(genre);
        cboGenre->setCurrentIndex(at >= 0 ? at : 0);
        cboGenre->setEditText(cboGenre->itemText(cboGenre->currentIndex()));
    };
    selectGenre(kBlankGenre);

    if (m_bReadV1) {
        cMP3ID3v1& t = id3v1();
        t = v1;
        txtArtist->setText(t.Artist());
        txtTitle->setText(t.Title());
        txtAlbum->setText(t.Album());
        selectGenre(t.GenreName(t.Genre()).isEmpty() ? kBlankGenre : t.Genre());
        txtYear->setText(t.Year());
        txtDescription->setPlainText(t.Comment());
    }

    if (m_bReadV2) {
        cMP3ID3v2& t = id3v2();
        t = v2;
        auto over = [](QLineEdit* box, const QString& v) {
            if (!v.isEmpty())
                box->setText(v);
        };
        over(txtArtist, t.Artist());
        over(txtTitle, t.Title());
        over(txtAlbum, t.Album());
        if (!t.GenreName(t.Genre()).isEmpty()) {
            selectGenre(t.Genre());
        } else if (t.Genre() == kBlankGenre && !t.OtherGenreName().isEmpty()) {
            // A genre held as text only is shown as it stands.
            cboGenre->setEditText(t.OtherGenreName());
        }
        over(txtYear, t.Year());
        if (!t.Comment().isEmpty())
            txtDescription->setPlainText(t.Comment());
        over(txtTrackNum, t.Track());
        over(txtOriginalArtist, t.OriginalArtist());
        if (!t.Lyrics().isEmpty())
            txtLyric->setPlainText(t.Lyrics());
        over(txtCopyright, t.Copyright());
        over(txtEncodedBy, t.EncodedBy());
        over(txtURL, t.LinkTo());
    }
    m_bGenreEdited = false;
    m_bFilling = false;

    m_loadedBoxes = boxTexts();
    m_loadedV1 = m_bReadV1 ? textsOf(id3v1()) : TagEditorTexts();
    m_loadedV2 = m_bReadV2 ? textsOf(id3v2()) : TagEditorTexts();
    emit TagsShown();
}

TagEditorTexts FrmMP3TagsEditor::boxTexts() const
{
    TagEditorTexts x;
    x.title = txtTitle->text();
    x.artist = txtArtist->text();
    x.album = txtAlbum->text();
    x.year = txtYear->text();
    x.comment = txtDescription->toPlainText();
    x.track = txtTrackNum->text();
    x.originalArtist = txtOriginalArtist->text();
    x.url = txtURL->text();
    x.encodedBy = txtEncodedBy->text();
    x.copyright = txtCopyright->text();
    x.lyrics = txtLyric->toPlainText();
    x.genreText = cboGenre->currentText();
    return x;
}

int FrmMP3TagsEditor::matchGenre(const QString& text) const
{
    if (text.isEmpty())
        return 0;
    for (int i = 1; i < cboGenre->count(); ++i)
        if (cboGenre->itemText(i) == text)
            return i;
    for (int i = 1; i < cboGenre->count(); ++i)
        if (cboGenre->itemText(i).contains(text, Qt::CaseSensitive))
            return i;
    return -1;
}

void FrmMP3TagsEditor::cmdApply_Click()
{
    if (m_bWriting)
        return;
    if (m_bLoading) {
        // The boxes show the file's tags before anything is written from them.
        QEventLoop shown;
        connect(this, &FrmMP3TagsEditor::TagsShown, &shown, &QEventLoop::quit);
        m_bWriting = true;
        shown.exec(QEventLoop::ExcludeUserInputEvents);
        m_bWriting = false;
    }
    const QString path = sSourceFile->toPlainText();

    // The genre the user chose or typed: a list entry, or (-1) a text of its own.
    int entry = -1;
    QString genreText = cboGenre->currentText();
    if (m_bGenreEdited) {
        entry = matchGenre(genreText);
        if (entry >= 0) {
            m_bFilling = true;
            cboGenre->setCurrentIndex(entry);
            cboGenre->setEditText(cboGenre->itemText(entry));
            m_bFilling = false;
            genreText = cboGenre->itemText(entry);
        }
    }
    // An untouched combo that names a genre of the list.
    int shown = -1;
    if (!m_bGenreEdited && !genreText.isEmpty()) {
        const int i = cboGenre->findText(genreText, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (i > 0)
            shown = cboGenre->itemData(i).toInt();
    }
    const bool genreEdited = m_bGenreEdited;
    const int chosenGenre = entry >= 0 ? cboGenre->itemData(entry).toInt() : kBlankGenre;

    // The file is read again at Apply: what another program wrote since the
    // load stays, and only the boxes the user changed overwrite it. A box left
    // alone is written where its tag still holds what it held at the load.
    const TagEditorTexts boxes = boxTexts();
    const TagEditorTexts atLoad = m_loadedBoxes;
    const TagEditorTexts v1AtLoad = m_loadedV1;
    const TagEditorTexts v2AtLoad = m_loadedV2;
    const QByteArray audioAtLoad = m_loadedAudio;
    auto take = [](const QString& box, const QString& boxAtLoad, const QString& tagNow, const QString& tagAtLoad,
                   const auto& set) {
        if (box != boxAtLoad || tagNow == tagAtLoad)
            set(box);
    };

    const bool writeV1 = m_bWriteV1, writeV2 = m_bWriteV2;
    cMP3ID3v1* v1 = writeV1 ? &id3v1() : nullptr;
    cMP3ID3v2* v2 = writeV2 ? &id3v2() : nullptr;
    bool audioChanged = false;
    QStringList lossyBoxes;
    auto fill = [&] {
        if (v1) {
            cMP3ID3v1& t = *v1;
            t.setMP3File(path); // a file that cannot be read fails at Update
            const TagEditorTexts now = textsOf(t);
            take(boxes.artist, atLoad.artist, now.artist, v1AtLoad.artist, [&](const QString& v) { t.setArtist(v); });
            take(boxes.title, atLoad.title, now.title, v1AtLoad.title, [&](const QString& v) { t.setTitle(v); });
            take(boxes.album, atLoad.album, now.album, v1AtLoad.album, [&](const QString& v) { t.setAlbum(v); });
            take(boxes.year, atLoad.year, now.year, v1AtLoad.year, [&](const QString& v) { t.setYear(v); });
            take(boxes.comment, atLoad.comment, now.comment, v1AtLoad.comment,
                 [&](const QString& v) { t.setComment(v); });
            if (genreEdited) {
                t.setGenre(quint8(chosenGenre));
            } else if (now.genre == v1AtLoad.genre) {
                // A genre number without a name is kept: the combo could not show it.
                const bool unnamed = t.Genre() != kBlankGenre && t.GenreName(t.Genre()).isEmpty();
                if (!unnamed && shown >= 0)
                    t.setGenre(quint8(shown));
            }
            const std::pair<const char*, QString> texts[] = {{"Title", t.Title()},   {"Artist", t.Artist()},
                                                             {"Album", t.Album()},   {"Year", t.Year()},
                                                             {"Comment", t.Comment()}};
            for (const auto& [caption, text] : texts)
                if (beyondLatin1(text))
                    lossyBoxes << QLatin1String(caption);
        }
        if (v2) {
            cMP3ID3v2& t = *v2;
            t.setMP3File(path);
            const TagEditorTexts now = textsOf(t);
            const TagEditorTexts& was = v2AtLoad;
            take(boxes.artist, atLoad.artist, now.artist, was.artist, [&](const QString& v) { t.setArtist(v); });
            take(boxes.title, atLoad.title, now.title, was.title, [&](const QString& v) { t.setTitle(v); });
            take(boxes.album, atLoad.album, now.album, was.album, [&](const QString& v) { t.setAlbum(v); });
            take(boxes.year, atLoad.year, now.year, was.year, [&](const QString& v) { t.setYear(v); });
            take(boxes.comment, atLoad.comment, now.comment, was.comment, [&](const QString& v) { t.setComment(v); });
            if (genreEdited) {
                t.setGenre(quint8(chosenGenre));
                t.setOtherGenreName(genreText);
            } else if (sameGenre(now, was) && !now.hasGenreFrame && shown >= 0) {
                // The genre the combo shows from the ID3v1 tag joins the ID3v2 tag.
                t.setGenre(quint8(shown));
                t.setOtherGenreName(genreText);
            }
            take(boxes.track, atLoad.track, now.track, was.track, [&](const QString& v) { t.setTrack(v); });
            take(boxes.originalArtist, atLoad.originalArtist, now.originalArtist, was.originalArtist,
                 [&](const QString& v) { t.setOriginalArtist(v); });
            take(boxes.copyright, atLoad.copyright, now.copyright, was.copyright,
                 [&](const QString& v) { t.setCopyright(v); });
            take(boxes.encodedBy, atLoad.encodedBy, now.encodedBy, was.encodedBy,
                 [&](const QString& v) { t.setEncodedBy(v); });
            take(boxes.url, atLoad.url, now.url, was.url, [&](const QString& v) { t.setLinkTo(v); });
            take(boxes.lyrics, atLoad.lyrics, now.lyrics, was.lyrics, [&](const QString& v) { t.setLyrics(v); });
        }
    };

    // The file work (a rewrite copies the whole file) runs off the GUI thread;
    // the window keeps painting and takes no input meanwhile.
    auto write = [&]() -> TagError {
        const char* className = writeV1 ? "cMP3ID3v1" : "cMP3ID3v2";
        tagio::recoverPendingWrites(path);
        if (TagError e = goneError(path, className); e.isError())
            return e;
        if (TagError e = checkTarget(path, className); e.isError())
            return e;
        if (!audioAtLoad.isEmpty()) {
            const QByteArray audioNow = audioPrint(path);
            if (!audioNow.isEmpty() && audioNow != audioAtLoad) {
                audioChanged = true;
                return {};
            }
        }
        fill();
        // Both tags in one change: a crash leaves both old or both new.
        const TagError e = tagio::updateTags(v1, v2);
        if (e.isError())
            if (TagError gone = goneError(path, className); gone.isError())
                return gone;
        return e;
    };
    TagError failure;
    {
        const WaitCursor hourglass;
        m_bWriting = true;
        QEventLoop loop;
        std::thread worker([&] {
            failure = write();
            QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
        });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        worker.join();
        m_bWriting = false;
    }

    if (audioChanged) {
        MsgBox(QStringLiteral("The audio of ") + path +
                   QStringLiteral(" has changed since the file was opened: its tags were not written.\n\n"
                                  "Open the file again to edit its tags."),
               vbExclamation, QString(), this);
        return;
    }
    if (failure.isError()) {
        MsgBox(failure.Description + QLatin1Char('(') + QString::number(failure.Number) + QLatin1Char(')'),
               vbInformation, QString(), this);
        return;
    }
    // What is in the file now is the base of the next Apply.
    m_loadedBoxes = boxes;
    m_loadedBoxes.genreText = cboGenre->currentText();
    if (v1)
        m_loadedV1 = textsOf(*v1);
    if (v2)
        m_loadedV2 = textsOf(*v2);
    QString done = QStringLiteral("Done.");
    if (!lossyBoxes.isEmpty())
        done += QStringLiteral("\n\nID3 v1 cannot hold some characters of %1: it holds \"?\" in their place.")
                    .arg(lossyBoxes.join(QStringLiteral(", ")));
    MsgBox(done, vbInformation, g_sAppName + QLatin1Char(' ') + g_sAppVersion, this);
}

void FrmMP3TagsEditor::closeEvent(QCloseEvent* e)
{
    // Not while a write is under way: it works on this window's tag objects.
    if (m_bWriting) {
        e->ignore();
        return;
    }
    // Not QDialog's: that one would go through reject(), which closes.
    e->accept();
}

// Escape closes (and unloads) the window like its close box.
void FrmMP3TagsEditor::reject() { close(); }

void FrmMP3TagsEditor::cmdClose_Click() { close(); }

FrmMP3TagsEditor* g_frmMP3TagsEditor()
{
    if (!windowRef())
        windowRef() = new FrmMP3TagsEditor;
    return windowRef();
}

bool g_frmMP3TagsEditorLoaded() { return !windowRef().isNull(); }
