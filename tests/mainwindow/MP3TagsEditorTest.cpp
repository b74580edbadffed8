// The MP3 Tags Editor window: what it shows, and what Apply leaves in the file.
#include <QAccessible>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "components/controls/cTabControl.h"
#include "core/Edition.h"
#include "core/WindowHelpers.h"
#include "mainwindow/frmMP3TagsEditor.h"
#include "tags/Id3v2Codec.h"
#include "tags/TagChange.h"
#include "tags/TagFileIo.h"
#include "tags/cMP3ID3v2.h"
#include "tests/mainwindow/PlayerWindowSupport.h"
#include "tests/support/TestEnv.h"
#include "tests/tags/TagTestUtil.h"

using namespace tagtest;

namespace {

// Runs what loads a file into the editor, and waits until its tags show.
void untilShown(FrmMP3TagsEditor* e, const std::function<void()>& load)
{
    QSignalSpy shown(e, &FrmMP3TagsEditor::TagsShown);
    load();
    ASSERT_TRUE(shown.count() > 0 || shown.wait(60000)) << "the tags never showed";
}

// Every test starts without an editor and leaves none behind.
class MP3TagsEditor : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (g_frmMP3TagsEditorLoaded())
            delete g_frmMP3TagsEditor();
        tagio::setRenameFunction(nullptr);
    }

    // A fresh editor with the file chosen in its open dialog, on a version choice.
    FrmMP3TagsEditor* open(const QString& path, int version = 2)
    {
        if (g_frmMP3TagsEditorLoaded())
            delete g_frmMP3TagsEditor();
        FrmMP3TagsEditor* e = g_frmMP3TagsEditor();
        e->cboID3->setCurrentIndex(version);
        testenv::ScriptedDialogs dialogs;
        dialogs.choose({path});
        untilShown(e, [e] { e->cmdSelectFile->click(); });
        return e;
    }

    // Clicks Apply and returns the boxes it showed.
    QStringList apply(FrmMP3TagsEditor* e)
    {
        testenv::ScriptedMessageBoxes boxes;
        e->cmdApply->click();
        return boxes.prompts();
    }
};

QStringList tabCaptions(cTabControl* t)
{
    QStringList out;
    for (int i = 1; i <= t->TabCount(); ++i)
        out << t->TabCaption(i);
    return out;
}

QByteArray v1Of(const QByteArray& file) { return file.size() >= 128 ? file.right(128) : QByteArray(); }

QByteArray v1Field(const QByteArray& block, int offset, int width) { return block.mid(offset, width).trimmed(); }

std::vector<RawFrame> withoutId(const std::vector<RawFrame>& frames, const QByteArray& id)
{
    std::vector<RawFrame> out;
    for (const RawFrame& f : frames)
        if (f.id != id)
            out.push_back(f);
    return out;
}

// A file with both tags: an ID3v2.3 tag holding the given frames, audio, and an ID3v1 block.
QString bothTags(const QString& name, const QByteArray& frames, const QByteArray& v1)
{
    return writeFile(name, tag(3, frames, 64) + mpegAudio(12, 7) + v1);
}

QByteArray le32(quint32 v)
{
    QByteArray b = be32(v);
    std::reverse(b.begin(), b.end());
    return b;
}

QByteArray text3(const QByteArray& id, const QByteArray& text) { return frame(3, id, latin1Text(text)); }

// The longest time the window's thread spent away from its event loop: a
// timer ticks on it every 5 ms, and the longest gap between ticks is what a
// user would see as a frozen window.
class LoopWatch {
public:
    LoopWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_clock.start();
        m_timer.start();
    }

    qint64 longestMs()
    {
        tick();
        return m_longest;
    }

private:
    void tick()
    {
        const qint64 now = m_clock.elapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

} // namespace

TEST_F(MP3TagsEditor, OpensOnBothVersionsWithThreeTabsAndTheGenreList)
{
    FrmMP3TagsEditor* e = g_frmMP3TagsEditor();
    EXPECT_EQ(e->windowTitle(), "MP3 Tags Editor");
    EXPECT_EQ(e->lblTitleMain->text(), "MP3 Tags Editor");
    EXPECT_EQ(e->cboID3->currentText(), "ID3 v1+v2");
    EXPECT_EQ(e->cboID3->count(), 3);
    EXPECT_EQ(tabCaptions(e->cTabControl1), (QStringList{"General", "Advanced", "Lyrics"}));
    EXPECT_FALSE(e->cmdApply->isEnabled());
    EXPECT_TRUE(e->sSourceFile->toPlainText().isEmpty());

    QComboBox* g = e->cboGenre;
    ASSERT_EQ(g->count(), 148);
    EXPECT_EQ(g->itemText(0), "");
    EXPECT_EQ(g->itemData(0).toInt(), 255);
    EXPECT_EQ(g->itemText(1), "Blues");
    EXPECT_EQ(g->itemData(1).toInt(), 0);
    const int drumSolo = g->findText("Drum Solo");
    EXPECT_EQ(g->itemText(drumSolo + 1), "Euro - House");
    EXPECT_EQ(g->itemData(drumSolo + 1).toInt(), 124);
    EXPECT_EQ(g->itemText(147), "Synth Pop");
    EXPECT_EQ(g->itemData(147).toInt(), 147);

    // Every box carries the caption the user reads.
    const std::pair<QWidget*, const char*> named[] = {
        {e->txtTitle, "Title"},           {e->txtTrackNum, "Track Number"}, {e->cboGenre, "Genre"},
        {e->txtDescription, "Comment"},   {e->txtURL, "URL"},               {e->txtLyric, "Lyrics"},
        {e->cboID3, "Version:"},          {e->sSourceFile, "Source File:"}, {e->cmdApply, "Apply"},
    };
    for (const auto& [w, name] : named)
        EXPECT_EQ(w->accessibleName(), name);

    // Only the tab's own page shows.
    e->show();
    EXPECT_TRUE(e->froGeneral->isVisible());
    EXPECT_FALSE(e->froAdvanced->isVisible());
    e->cTabControl1->tabBar()->setCurrentIndex(2);
    EXPECT_TRUE(e->froLyric->isVisible());
    EXPECT_FALSE(e->froGeneral->isVisible());
}

TEST_F(MP3TagsEditor, TheCommandOpensTheEditorBesideAnOrdinaryMainWindow)
{
    pwtest::ListWindow lw([] { SetAllToolsOn(); }); // an edition with the editor
    FrmMain* w = lw.w;
    SetFormOnTop(w, true);
    w->SendCommand("MP3 Tags Editor");
    ASSERT_TRUE(g_frmMP3TagsEditorLoaded());
    EXPECT_TRUE(g_frmMP3TagsEditor()->isVisible());
    EXPECT_FALSE(g_frmMP3TagsEditor()->isModal());
    EXPECT_FALSE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
    // Beside the main window, inside the main window's screen.
    const QRect avail = w->screen()->availableGeometry();
    const QRect editor = g_frmMP3TagsEditor()->frameGeometry();
    EXPECT_TRUE(avail.contains(editor)) << editor.x() << "," << editor.y() << " " << editor.width() << "x"
                                        << editor.height() << " main " << w->frameGeometry().x() << ","
                                        << w->frameGeometry().y() << " " << w->frameGeometry().width() << "x"
                                        << w->frameGeometry().height();
    if (w->frameGeometry().right() + editor.width() < avail.right())
        EXPECT_EQ(editor.left(), w->frameGeometry().right() + 1);
    else
        EXPECT_FALSE(editor.contains(w->frameGeometry().topLeft()));

    // Closing unloads it; the next command loads a fresh one.
    g_frmMP3TagsEditor()->cmdClose->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(g_frmMP3TagsEditorLoaded());
    w->SendCommand("MP3 Tags Editor");
    EXPECT_TRUE(g_frmMP3TagsEditorLoaded());
    UnloadMain();
}

TEST_F(MP3TagsEditor, EachVersionChoiceFillsTheBoxesFromItsTags)
{
    // The ID3v2 tag has no title; the ID3v1 block has no track worth showing.
    const QByteArray frames = text3("TPE1", "V2 Artist") + text3("TRCK", "5") + text3("TOPE", "Orig") +
                              frame(3, "USLT", QByteArray("\0eng\0la la", 10)) + text3("TCON", "(9)");
    const QString path = bothTags("both.mp3", frames, v1Block("V1 Title", "V1 Artist", "V1 Album", "1999", "c", 17));
    struct Case {
        int version;
        QStringList tabs;
        QString title, artist, album, track, originalArtist, lyrics, genre;
    };
    const Case cases[] = {
        {0, {"General"}, "V1 Title", "V1 Artist", "V1 Album", "", "", "", "Rock"},
        {1, {"General", "Advanced", "Lyrics"}, "", "V2 Artist", "", "5", "Orig", "la la", "Metal"},
        {2, {"General", "Advanced", "Lyrics"}, "V1 Title", "V2 Artist", "V1 Album", "5", "Orig", "la la", "Metal"},
    };
    FrmMP3TagsEditor* e = open(path);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        // Changing the choice reloads the file; unsaved edits are dropped.
        e->txtAlbum->setText("edited");
        untilShown(e, [&] { e->cboID3->setCurrentIndex(c.version); });
        EXPECT_EQ(tabCaptions(e->cTabControl1), c.tabs);
        EXPECT_EQ(e->txtTitle->text(), c.title);
        EXPECT_EQ(e->txtArtist->text(), c.artist);
        EXPECT_EQ(e->txtAlbum->text(), c.album);
        EXPECT_EQ(e->txtTrackNum->text(), c.track);
        EXPECT_EQ(e->txtOriginalArtist->text(), c.originalArtist);
        EXPECT_EQ(e->txtLyric->toPlainText(), c.lyrics);
        EXPECT_EQ(e->cboGenre->currentText(), c.genre);
        EXPECT_EQ(e->txtYear->text(), c.version == 1 ? "" : "1999");
    }

    // Cancel in the open dialog changes nothing.
    testenv::ScriptedDialogs dialogs;
    dialogs.cancel();
    e->cmdSelectFile->click();
    EXPECT_EQ(e->sSourceFile->toPlainText(), path);
    EXPECT_EQ(e->txtArtist->text(), "V2 Artist");
    EXPECT_TRUE(e->cmdApply->isEnabled());
    ASSERT_EQ(dialogs.requests().size(), 1u);
    EXPECT_EQ(dialogs.requests()[0].title, "Open MP3 audio file");

    // Several files chosen: the editor takes the first of them.
    const QString other = bothTags("other.mp3", text3("TIT2", "Other"), QByteArray());
    dialogs.choose({other, path});
    untilShown(e, [&] { e->cmdSelectFile->click(); });
    EXPECT_EQ(e->sSourceFile->toPlainText(), other);
    EXPECT_EQ(e->txtTitle->text(), "Other");
}

TEST_F(MP3TagsEditor, VersionOneWritesOnlyTheBlockAndKeepsItsTrack)
{
    QByteArray block = v1Block("T", "A", "Al", "2001", "comment", 17);
    block[125] = 0;
    block[126] = 9; // track 9
    const QByteArray frames = text3("TIT2", "v2 title") + frame(3, "PRIV", "owner\0data");
    const QString path = bothTags("v1only.mp3", frames, block);
    const QByteArray before = readFile(path);

    FrmMP3TagsEditor* e = open(path, 0);
    e->txtTitle->setText("New");
    {
        testenv::ScriptedMessageBoxes boxes;
        e->cmdApply->click();
        ASSERT_EQ(boxes.prompts(), QStringList{"Done."});
        EXPECT_EQ(boxes.shown()[0].icon(), int(vbInformation));
        EXPECT_EQ(boxes.shown()[0].title, g_sAppName + " " + g_sAppVersion);
    }
    const QByteArray after = readFile(path);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(after.left(after.size() - 128), before.left(before.size() - 128)) << "the ID3v2 tag is not touched";
    const QByteArray v1 = v1Of(after);
    EXPECT_EQ(v1Field(v1, 3, 30), "New");
    EXPECT_EQ(quint8(v1[126]), 9);
    EXPECT_EQ(quint8(v1[127]), 17);
}

// Tags written by other programs: a new title leaves every other frame and
// every audio byte as it was, and the editor shows the new title afterwards.
TEST_F(MP3TagsEditor, ApplyingATitleToSampleFilesKeepsEveryOtherFrame)
{
    const QString dir = testenv::testDataDir();
    if (dir.isEmpty())
        GTEST_SKIP() << "no sample files";
    const QStringList samples = {"ape-id3v2.mp3", "duplicate_id3v2.mp3", "id3v22-tda.mp3",
                                 "itunes10.mp3",  "lame_cbr.mp3",        "lame_vbr.mp3",
                                 "rare_frames.mp3", "toc_many_children.mp3", "ape-id3v1.mp3"};
    // Frames the editor may add: a box filled from the ID3v1 block joins the ID3v2 tag.
    const QList<QByteArray> fromV1 = {"TPE1", "TALB", "TYER", "COMM", "TCON"};
    for (const QString& name : samples) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray original = readFile(dir + "/taglib/" + name);
        ASSERT_FALSE(original.isEmpty());
        const QString path = writeFile(name, original);

        // The frames the file holds, as version 2.3 frames: read as they stand
        // from a version 2.3 tag, else as the tag class converts them.
        std::vector<RawFrame> baseline;
        if (original.startsWith("ID3") && original[3] == 3) {
            baseline = readV23(original).frames;
        } else if (original.startsWith("ID3")) {
            const QString copy = writeFile("baseline-" + name, original);
            cMP3ID3v2 t;
            ASSERT_TRUE(t.setMP3File(copy));
            ASSERT_TRUE(t.Update());
            baseline = readV23(readFile(copy)).frames;
        }
        const auto header = id3v2::parseHeader(original.constData(), original.size());
        const qint64 oldSpace = header ? header->space() : 0;
        const bool hadV1 = original.size() >= 128 && original.right(128).startsWith("TAG");
        const QByteArray audio = original.mid(oldSpace, original.size() - oldSpace - (hadV1 ? 128 : 0));

        FrmMP3TagsEditor* e = open(path);
        e->txtTitle->setText("A New Title");
        ASSERT_EQ(apply(e), QStringList{"Done."});

        const QByteArray written = readFile(path);
        const RawTag after = readV23(written);
        ASSERT_TRUE(after.found);
        const auto titles = framesWithId(after, "TIT2");
        ASSERT_EQ(titles.size(), 1u);
        EXPECT_EQ(titles[0].data, latin1Text("A New Title"));

        // Every frame of the file but the title, in order and byte for byte.
        std::vector<RawFrame> kept;
        for (const RawFrame& f : withoutId(after.frames, "TIT2")) {
            const bool wasThere = std::any_of(baseline.begin(), baseline.end(), [&](const RawFrame& b) { return b.id == f.id; });
            if (!wasThere) {
                EXPECT_TRUE(fromV1.contains(f.id)) << "unexpected new frame " << f.id.toStdString();
                continue;
            }
            kept.push_back(f);
        }
        EXPECT_TRUE(kept == withoutId(baseline, "TIT2"));

        // The audio after the tag, and an ID3v1 block at the end.
        EXPECT_EQ(written.mid(after.space(), audio.size()), audio);
        EXPECT_EQ(written.size(), after.space() + audio.size() + 128);
        EXPECT_EQ(v1Field(v1Of(written), 3, 30), "A New Title");

        e = open(path);
        EXPECT_EQ(e->txtTitle->text(), "A New Title");
    }
}

TEST_F(MP3TagsEditor, FilesItMustNotWriteAreLeftAsTheyWere)
{
    const QString empty = writeFile("empty.mp3", QByteArray());
    const QString text = writeFile("notes.mp3", QByteArray("just some words, no audio at all\n").repeated(20));
    const QString tiny = writeFile("tiny.mp3", QByteArray(100, 'x'));
    const QString readOnly = bothTags("readonly.mp3", text3("TIT2", "t"), v1Block("t", "", "", "", "", 1));
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    // Deleted between the load and Apply.
    const QByteArray goneBytes = tag(3, text3("TIT2", "x"), 10) + mpegAudio(4) + v1Block("x", "", "", "", "", 1);
    const QString missing = tempFolder() + "/gone.mp3";
    // A WAV named as an MP3, with an ID3v1 block some program put at its end.
    QByteArray wav("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xAC\0\0\x88\x58\x01\0\x02\0\x10\0data", 40);
    wav += le32(2000) + QByteArray(2000, '\0');
    const QString wave = writeFile("wave.mp3", wav + v1Block("t", "a", "", "", "", 1));
    // A tag whose size runs past the end of the file: the start of a cut file.
    const QString cut = writeFile("cut.mp3", tag(3, text3("TIT2", "x"), 5000).left(400));

    struct Case {
        QString path;
        int version;
        QString message;
        bool removeFirst;
    };
    const QString notValid = " is not a valid MP3 file.(-2147217407)";
    const QString gone = " no longer exists: its tags were not written.(53)";
    const Case cases[] = {
        {empty, 2, empty + notValid, false},
        {empty, 1, empty + notValid, false},
        {text, 2, text + notValid, false},
        {tiny, 1, tiny + notValid, false},
        {missing, 2, missing + gone, true},
        {missing, 0, missing + gone, true},
        {missing, 1, missing + gone, true},
        {cut, 2, cut + notValid, false},
        {wave, 2, wave + notValid, false},
        {wave, 0, wave + notValid, false},
        {readOnly, 2, readOnly + " is read-only: its tags were not written.(70)", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString() + " version " + std::to_string(c.version));
        if (c.removeFirst)
            writeFile("gone.mp3", goneBytes);
        const QByteArray before = readFile(c.path);
        FrmMP3TagsEditor* e = open(c.path, c.version);
        e->txtTitle->setText("Changed");
        if (c.removeFirst)
            QFile::remove(c.path);
        EXPECT_EQ(apply(e), QStringList{c.message});
        if (c.removeFirst)
            EXPECT_FALSE(QFile::exists(c.path)) << "a missing file is not created";
        else
            EXPECT_EQ(readFile(c.path), before);
    }
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(MP3TagsEditor, AFailedTagWriteTakesTheNewBlockBack)
{
    // The ID3v2 tag must grow, so the file is rewritten; the rename fails.
    for (const bool hadV1 : {false, true}) {
        SCOPED_TRACE(hadV1);
        const QString path = writeFile("grow.mp3", tag(3, text3("TIT2", "t"), 0) + mpegAudio(6) +
                                                       (hadV1 ? v1Block("t", "", "", "", "", 3) : QByteArray()));
        const QByteArray before = readFile(path);
        FrmMP3TagsEditor* e = open(path);
        e->txtLyric->setPlainText(QString(3000, 'l'));
        tagio::setRenameFunction([](const char*, const char*) {
            errno = EACCES;
            return -1;
        });
        const QStringList shown = apply(e);
        tagio::setRenameFunction(nullptr);
        ASSERT_EQ(shown.size(), 1);
        EXPECT_TRUE(shown[0].endsWith("(70)")) << shown[0].toStdString();
        EXPECT_EQ(readFile(path), before);
    }
}

namespace {
std::atomic<bool> g_renamedOnGuiThread{true};
int recordingRename(const char* from, const char* to)
{
    g_renamedOnGuiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    return ::rename(from, to);
}
} // namespace

TEST_F(MP3TagsEditor, AFileIsRewrittenOffTheGuiThread)
{
    const QString path = writeFile("rewrite.mp3", tag(3, text3("TIT2", "t"), 0) + mpegAudio(6));
    FrmMP3TagsEditor* e = open(path, 1);
    e->txtLyric->setPlainText(QString(3000, 'l')); // the tag outgrows its space
    g_renamedOnGuiThread = true;
    tagio::setRenameFunction(&recordingRename);
    ASSERT_EQ(apply(e), QStringList{"Done."});
    EXPECT_FALSE(g_renamedOnGuiThread);
    EXPECT_EQ(open(path, 1)->txtLyric->toPlainText(), QString(3000, 'l'));
}

TEST_F(MP3TagsEditor, GenresAreWrittenAsChosenAndKeptWhenNotTouched)
{
    struct Case {
        const char* name;
        QByteArray tcon;   // the file's ID3v2 genre frame text, "" for none
        quint8 v1Genre;    // the file's ID3v1 genre
        const char* typed; // nullptr: the combo is not touched; a title is applied instead
        const char* shown;
        quint8 v1After;
        QByteArray tconAfter; // "" for no frame
    };
    const Case cases[] = {
        {"typed part of a name", "", 255, "Synth", "", 147, "(147)Synth Pop"},
        {"typed full name", "(17)", 17, "Folk", "Rock", 80, "(80)Folk"},
        {"typed text of its own", "", 255, "Chiptune", "", 255, "Chiptune"},
        {"emptied", "(17)", 17, "", "Rock", 255, ""},
        {"v1 genre without a name", "", 123, nullptr, "", 123, ""},
        {"v1 genre beyond the list", "", 200, nullptr, "", 200, ""},
        {"v2 free text", "Chiptune", 255, nullptr, "Chiptune", 255, "Chiptune"},
        {"v2 number without a name", "(123)", 255, nullptr, "", 255, "(123)"},
        {"v2 bare number", "17", 255, nullptr, "Rock", 17, "17"},
        {"v2 number with its own text", "(17)Hard", 17, nullptr, "Rock", 17, "(17)Hard"},
        {"v1 genre joins the v2 tag", "", 9, nullptr, "Metal", 9, "(9)Metal"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray frames = text3("TIT2", "t") + (c.tcon.isEmpty() ? QByteArray() : text3("TCON", c.tcon));
        const QString path = bothTags("genre.mp3", frames, v1Block("t", "", "", "", "", c.v1Genre));
        FrmMP3TagsEditor* e = open(path);
        EXPECT_EQ(e->cboGenre->currentText(), c.shown);
        if (c.typed)
            e->cboGenre->setEditText(c.typed);
        else
            e->txtTitle->setText("other");
        ASSERT_EQ(apply(e), QStringList{"Done."});
        const QByteArray written = readFile(path);
        EXPECT_EQ(quint8(v1Of(written)[127]), c.v1After);
        const auto tcon = framesWithId(readV23(written), "TCON");
        if (c.tconAfter.isEmpty()) {
            EXPECT_TRUE(tcon.empty());
        } else {
            ASSERT_EQ(tcon.size(), 1u);
            EXPECT_EQ(tcon[0].data, latin1Text(c.tconAfter));
        }
    }
}

TEST_F(MP3TagsEditor, OnlyTheShownCommentIsEditedAndOtherFramesKeepTheirBytes)
{
    const QByteArray kept = frame(3, "COMM", QByteArray("\0engiTunNORM\0 0000", 18)) +
                            frame(3, "TPE1", utf16Text(QString::fromUtf8("Zoë"))) +
                            frame(3, "APIC", QByteArray("\0image/png\0\x03\0\x89PNG", 16)) +
                            frame(3, "PRIV", QByteArray("owner\0\x01\x02", 8)) +
                            frame(3, "TXXX", QByteArray("\0key\0value", 10)) + frame(3, "WOAR", "http://a.example") +
                            frame(3, "PCNT", QByteArray("\0\0\0\x07", 4));
    const QByteArray shown = frame(3, "COMM", QByteArray("\0eng\0old comment", 16));
    const QString path = bothTags("frames.mp3", kept + shown + text3("TCOP", "(c) someone"), QByteArray());

    FrmMP3TagsEditor* e = open(path, 1);
    EXPECT_EQ(e->txtDescription->toPlainText(), "old comment");
    EXPECT_EQ(e->txtArtist->text(), QString::fromUtf8("Zoë"));
    e->txtDescription->setPlainText("new comment");
    e->txtCopyright->clear(); // an emptied box removes its frame
    ASSERT_EQ(apply(e), QStringList{"Done."});

    const RawTag after = readV23(readFile(path));
    const std::vector<RawFrame> before = readV23(tag(3, kept)).frames;
    std::vector<RawFrame> others;
    for (const RawFrame& f : after.frames)
        if (!(f.id == "COMM" && f.data.mid(4, 1) == QByteArray(1, '\0')))
            others.push_back(f);
    EXPECT_TRUE(others == before);
    EXPECT_TRUE(framesWithId(after, "TCOP").empty());
    const auto comments = framesWithId(after, "COMM");
    ASSERT_EQ(comments.size(), 2u);
    EXPECT_TRUE(comments[1].data.endsWith("new comment"));
}

TEST_F(MP3TagsEditor, TextBeyondLatin1IsKeptInVersionTwoAndMarkedInVersionOne)
{
    const QString path = bothTags("unicode.mp3", text3("TIT2", "t"), v1Block("t", "", "", "", "", 255));
    FrmMP3TagsEditor* e = open(path);
    const QString title = QString::fromUtf8("Ωmega 東京");
    e->txtTitle->setText(title);
    const QStringList shown = apply(e);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith("Done.\n\n"));
    EXPECT_TRUE(shown[0].contains("ID3 v1 cannot hold some characters of Title")) << shown[0].toStdString();

    const QByteArray written = readFile(path);
    EXPECT_EQ(v1Field(v1Of(written), 3, 30), "?mega ??");
    const auto titles = framesWithId(readV23(written), "TIT2");
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0].data, utf16Text(title));
    EXPECT_EQ(open(path)->txtTitle->text(), title);
}

// Another program writes the file between the load and Apply: its frames and
// its changes to boxes the user left alone stay; the user's edits win where
// the user edited. A hard-linked file is written in place, one inode for both names.
TEST_F(MP3TagsEditor, ApplyKeepsWhatAnotherProgramWroteSinceTheLoad)
{
    const QByteArray audio = mpegAudio(12, 7);
    const QByteArray ours = text3("TIT2", "t") + text3("TPE1", "artist") + text3("TALB", "album");
    const QString path = writeFile("shared.mp3", tag(3, ours, 600) + audio + v1Block("t", "artist", "album", "2000", "", 17));
    const QString link = path + ".link";
    QFile::remove(link);
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()), 0);

    FrmMP3TagsEditor* e = open(path);
    e->txtTitle->setText("Mine");

    // The other program's tag is larger, so the audio starts further on.
    const QByteArray theirs = text3("TIT2", "t") + text3("TPE1", "artist") + text3("TALB", "Their Album") +
                              text3("TBPM", "120") + text3("TKEY", "Am");
    {
        QFile f(path); // the same inode
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(tag(3, theirs, 900) + audio + v1Block("t", "artist", "Their Album", "2000", "", 17));
    }
    ASSERT_EQ(apply(e), QStringList{"Done."});

    const QByteArray written = readFile(path);
    const RawTag after = readV23(written);
    auto text = [&](const QByteArray& id) {
        const auto f = framesWithId(after, id);
        return f.size() == 1 ? f[0].data : QByteArray("<" + QByteArray::number(qulonglong(f.size())) + " frames>");
    };
    EXPECT_EQ(text("TBPM"), latin1Text("120"));
    EXPECT_EQ(text("TKEY"), latin1Text("Am"));
    EXPECT_EQ(text("TIT2"), latin1Text("Mine"));
    EXPECT_EQ(text("TALB"), latin1Text("Their Album"));
    EXPECT_EQ(v1Field(v1Of(written), 3, 30), "Mine");
    EXPECT_EQ(v1Field(v1Of(written), 63, 30), "Their Album");
    EXPECT_EQ(written.mid(after.space(), audio.size()), audio);

    struct stat a {}, b {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &a), 0);
    ASSERT_EQ(::stat(QFile::encodeName(link).constData(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino);
    EXPECT_EQ(a.st_nlink, 2u);
    EXPECT_EQ(readFile(link), written);
}

TEST_F(MP3TagsEditor, ApplyRefusesAFileWhoseAudioChangedSinceTheLoad)
{
    const QByteArray frames = text3("TIT2", "t");
    const QString path = writeFile("replaced.mp3", tag(3, frames, 200) + mpegAudio(12, 7));
    FrmMP3TagsEditor* e = open(path);
    e->txtTitle->setText("Mine");
    const QByteArray replaced = tag(3, frames, 200) + mpegAudio(12, 8);
    writeFile("replaced.mp3", replaced);

    testenv::ScriptedMessageBoxes boxes;
    e->cmdApply->click();
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_TRUE(boxes.prompts()[0].startsWith("The audio of " + path + " has changed since the file was opened"))
        << boxes.prompts()[0].toStdString();
    EXPECT_EQ(readFile(path), replaced);
}

TEST_F(MP3TagsEditor, IsADialogToAssistiveTechnology)
{
    FrmMP3TagsEditor* e = g_frmMP3TagsEditor();
    e->show();
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(e);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Dialog);
    EXPECT_EQ(a->text(QAccessible::Name), "MP3 Tags Editor");
    // Enter in a box presses no button; Escape closes and unloads it like its close box.
    testenv::ScriptedDialogs dialogs;
    QTest::keyClick(e->txtTitle, Qt::Key_Return);
    EXPECT_TRUE(dialogs.requests().empty());
    QTest::keyClick(e, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(g_frmMP3TagsEditorLoaded());
}

// A new window opens beside its owner, inside the screen that holds the owner.
TEST_F(MP3TagsEditor, OpensBesideItsOwnerInsideTheOwnersScreen)
{
    FrmMP3TagsEditor* e = g_frmMP3TagsEditor();
    QWidget owner;
    const QRect avail = owner.screen()->availableGeometry();
    const QSize size = e->frameGeometry().size();
    ASSERT_LT(size.width() + 300, avail.width());
    struct Case {
        const char* name;
        QRect owner;
        bool right;
    } cases[] = {
        {"room on the right", QRect(avail.topLeft() + QPoint(10, 10), QSize(150, 150)), true},
        {"near the bottom right corner",
         QRect(avail.bottomRight() - QPoint(199, 149), QSize(150, 150)), false},
        {"as wide as the screen", QRect(avail.topLeft() + QPoint(0, avail.height() - 80), QSize(avail.width(), 60)),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        owner.setGeometry(c.owner);
        PlaceBesideOwner(e, &owner);
        const QRect r(e->pos(), size);
        EXPECT_TRUE(avail.contains(r)) << r.x() << "," << r.y();
        if (c.right) {
            EXPECT_EQ(r.left(), owner.frameGeometry().right() + 1);
        } else if (r.width() <= owner.frameGeometry().left() - avail.left()) {
            EXPECT_LE(r.right(), owner.frameGeometry().left() - 1);
        }
    }
}

// A 200 MB file: its tags show at once, its audio is digested on a worker,
// and Apply waits for that digest without holding the window either.
TEST_F(MP3TagsEditor, ALargeFileNeverHoldsTheWindow)
{
    // Most of the file is a hole: quick to make, read in full by the digest.
    const QString path = writeFile("large.mp3", tag(3, text3("TIT2", "Large"), 2000) + mpegAudio(40, 3));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.resize((200 << 20) - 128));
        ASSERT_TRUE(f.seek(f.size()));
        f.write(v1Block("Large", "", "", "", "", 1));
    }
    FrmMP3TagsEditor* e = g_frmMP3TagsEditor();
    e->show();
    QCoreApplication::processEvents(); // the window's first paint is not part of the open
    LoopWatch watch;
    testenv::ScriptedDialogs dialogs;
    dialogs.choose({path});
    untilShown(e, [e] { e->cmdSelectFile->click(); });
    EXPECT_EQ(e->txtTitle->text(), "Large");
    e->txtTitle->setText("Still large");
    EXPECT_EQ(apply(e), QStringList{"Done."});
    EXPECT_LT(watch.longestMs(), 100);

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(framesWithId(readV23(f.read(2048)), "TIT2").at(0).data, latin1Text("Still large"));
    f.close();
    QFile::remove(path);
}

// A write killed half way through the tag of a hard-linked file (written in
// place under a journal, so that the link is kept): the next open rolls it
// back before reading, so the boxes show the old tags, and clears the copies
// of killed rewrites beside the file.
TEST_F(MP3TagsEditor, OpeningAFileAfterAKilledWriteShowsItsOldTagsAndLeavesNothingBehind)
{
    QByteArray picture("\0image/png\0\x03\0", 13);
    for (int i = 0; picture.size() < 3'000'000; ++i)
        picture.append(char(i * 31 + (i >> 9)));
    const QByteArray original = tag(3, text3("TIT2", "Old title") + frame(3, "APIC", picture), 1000) +
                                mpegAudio(20, 4) + v1Block("Old title", "", "", "", "", 1);
    const QString path = writeFile("killed.mp3", original);
    const QString link = path + ".link";
    QFile::remove(link);
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()), 0);
    // Killed with a part of the tag written.
    QProcess probe;
    probe.start(QStringLiteral(KELVANE_TAG_WRITE_PROBE), {path, "titles", "3"});
    ASSERT_TRUE(probe.waitForFinished(60000));
    ASSERT_EQ(probe.exitStatus(), QProcess::CrashExit);
    ASSERT_NE(readFile(path), original);
    const QString copy = writeFile(".killed.mp3.kvtag-Ab12Cd", "a rewrite's copy");

    FrmMP3TagsEditor* e = open(path);
    EXPECT_EQ(e->txtTitle->text(), "Old title");
    EXPECT_EQ(readFile(path), original);
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_TRUE(QDir(tagio::pendingWritesFolder()).isEmpty());
    EXPECT_EQ(readFile(link), original);
    QFile::remove(link);
}
