// The notes window and its file.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QWindow>
#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "components/controls/cStatusBar.h"
#include "mainwindow/frmNotes.h"
#include "tests/mainwindow/PlayerWindowSupport.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"

using pwtest::ListWindow;

namespace {

using testenv::writeBytes;

class Notes : public ::testing::Test {
protected:
    void SetUp() override { pwtest::unloadNotes(); }
    void TearDown() override { pwtest::unloadNotes(); }
};

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Opens the notes window, gives it a text and closes it.
void editNotes(const QString& text)
{
    FrmNotes* notes = g_frmNotes();
    notes->show();
    notes->Text1->setPlainText(text);
    notes->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// No notes window of an earlier test is still about.
void noNotesWindow()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (g_frmNotesLoaded())
        delete g_frmNotes();
}

} // namespace

TEST_F(Notes, TextRoundTripsThroughTheFile)
{
    QFile::remove(NotesFilePath());
    ListWindow lw;
    struct Case {
        const char* name;
        QString text;
        QByteArray stored;
    };
    const Case cases[] = {
        {"one line", "buy milk", "buy milk\r\n"},
        {"two lines", "buy milk\ncall Ann", "buy milk\r\ncall Ann\r\n"},
        {"blanks only", "   ", "   \r\n"},
        {"ends with an empty line", "last\n", "last\r\n\r\n"},
        {"empty", "", "\r\n"},
        {"not only ASCII", QString::fromUtf8("Grüße, 東京"), QString::fromUtf8("Grüße, 東京\r\n").toUtf8()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        editNotes(c.text);
        EXPECT_FALSE(g_frmNotesLoaded()) << "closing unloads the window";
        EXPECT_EQ(fileBytes(NotesFilePath()), c.stored);
        EXPECT_EQ(g_frmNotes()->Text1->toPlainText(), c.text);
        g_frmNotes()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    UnloadMain();
}

TEST_F(Notes, ReadingAcceptsLineFeedsAndStripsOneFinalLineEnd)
{
    ListWindow lw;
    const std::pair<QByteArray, QString> files[] = {
        {"a\nb\n", "a\nb"},
        {"a\r\nb", "a\nb"},
        {"\r\n", ""},
        {"", ""},
        {"x\r\n\r\n\r\n", "x\n\n"},
    };
    for (const auto& [bytes, text] : files) {
        SCOPED_TRACE(bytes.toStdString());
        writeBytes(NotesFilePath(), bytes);
        FrmNotes* notes = g_frmNotes();
        EXPECT_EQ(notes->Text1->toPlainText(), text);
        delete notes;
    }
    UnloadMain();
}

TEST_F(Notes, OpeningCreatesTheFileAndClosingRefreshesThePanel)
{
    // No notes file yet, whatever ran before.
    noNotesWindow();
    QFile::remove(NotesFilePath());
    ListWindow lw;
    FrmMain* w = lw.w;
    EXPECT_EQ(w->cStatusBar1->PanelText("Notes"), "Notes [ Empty ]");

    // The command opens the window beside the main one, and creates the file.
    w->SendCommand("Notes");
    ASSERT_TRUE(g_frmNotesLoaded());
    EXPECT_TRUE(g_frmNotes()->isVisible());
    EXPECT_FALSE(g_frmNotes()->isModal());
    EXPECT_EQ(g_frmNotes()->windowTitle(), "Notes");
    EXPECT_TRUE(QFile::exists(NotesFilePath()));
    EXPECT_EQ(QFileInfo(NotesFilePath()).size(), 0);

    // The summary changes only once the window closes; a long note is shortened.
    const QString note = "Remember to rip the new discs\nand burn a copy for the car";
    g_frmNotes()->Text1->setPlainText(note);
    EXPECT_EQ(w->cStatusBar1->PanelText("Notes"), "Notes [ Empty ]");
    g_frmNotes()->close();
    EXPECT_EQ(w->cStatusBar1->PanelText("Notes"), "Notes [ Remember to rip the new discs and b... ]");

    editNotes("short");
    EXPECT_EQ(w->cStatusBar1->PanelText("Notes"), "Notes [ short ]");
    editNotes("");
    EXPECT_EQ(w->cStatusBar1->PanelText("Notes"), "Notes [ Empty ]");
    UnloadMain();
}

TEST_F(Notes, ANotesFileThatCannotBeReadIsNeverOverwritten)
{
    ListWindow lw;
    noNotesWindow();
    // Something that is not a readable file sits where the notes belong.
    QFile::remove(NotesFilePath());
    ASSERT_EQ(::mkfifo(NotesFilePath().toLocal8Bit().constData(), 0600), 0);
    FrmNotes* notes = g_frmNotes();
    EXPECT_FALSE(notes->LoadSucceeded());
    notes->Text1->setPlainText("typed after a failed load");
    notes->close();
    const QFileInfo after(NotesFilePath());
    EXPECT_TRUE(after.exists());
    EXPECT_FALSE(after.isFile()) << "the unreadable notes were replaced";
    UnloadMain();
    // A pipe left behind would block the next reader of the notes.
    QFile::remove(NotesFilePath());
}

// Notes that cannot be written are not lost: the user is told where and why,
// and the window stays open with the text until a save works.
TEST_F(Notes, NotesThatCannotBeSavedStayOpenWithTheText)
{
    ListWindow lw;
    noNotesWindow();
    FrmNotes* notes = g_frmNotes();
    notes->show();
    const QString text(5000, 'n');
    notes->Text1->setPlainText(text);
    testenv::ScriptedMessageBoxes boxes;
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool closed = notes->close();
    setrlimit(RLIMIT_FSIZE, &old);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    EXPECT_FALSE(closed);
    ASSERT_TRUE(g_frmNotesLoaded());
    EXPECT_TRUE(g_frmNotes()->isVisible());
    EXPECT_EQ(g_frmNotes()->Text1->toPlainText(), text);
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_TRUE(boxes.prompts()[0].contains(NotesFilePath())) << boxes.prompts()[0].toStdString();

    EXPECT_TRUE(g_frmNotes()->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(g_frmNotesLoaded());
    EXPECT_EQ(fileBytes(NotesFilePath()), (text + "\r\n").toUtf8());
    UnloadMain();
}

TEST_F(Notes, ANormalWindowOverTheMainOneThatSavesWhenTheWindowManagerClosesIt)
{
    ListWindow lw;
    FrmMain* w = lw.w;
    w->show();
    w->move(200, 150);
    QCoreApplication::processEvents();
    w->SendCommand("Notes");
    FrmNotes* notes = g_frmNotes();
    ASSERT_TRUE(notes->isVisible());

    // A window of its own with a title bar and a close button, kept above the main window.
    const Qt::WindowFlags flags = notes->windowFlags();
    EXPECT_TRUE(notes->isWindow());
    EXPECT_EQ(notes->windowType(), Qt::Window);
    for (Qt::WindowType hint : {Qt::WindowTitleHint, Qt::WindowCloseButtonHint, Qt::WindowSystemMenuHint})
        EXPECT_TRUE(flags.testFlag(hint)) << int(hint);
    EXPECT_FALSE(flags.testFlag(Qt::FramelessWindowHint));
    ASSERT_NE(notes->windowHandle(), nullptr);
    EXPECT_EQ(notes->windowHandle()->transientParent(), w->windowHandle());
    // Placed over the main window, not in the screen's corner.
    EXPECT_TRUE(w->frameGeometry().contains(notes->frameGeometry().center()));
    EXPECT_NE(notes->pos(), QPoint(0, 0));

    // The window manager's close saves the text as the window's own close does.
    notes->Text1->setPlainText("closed by the title bar");
    QCloseEvent close;
    QCoreApplication::sendEvent(notes->windowHandle(), &close);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(g_frmNotesLoaded());
    EXPECT_EQ(fileBytes(NotesFilePath()), "closed by the title bar\r\n");
    EXPECT_EQ(w->cStatusBar1->PanelText("Notes"), "Notes [ closed by the title bar ]");
    UnloadMain();
}
