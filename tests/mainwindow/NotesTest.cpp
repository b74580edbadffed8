// The notes window and its file.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "components/cStatusBar.h"
#include "mainwindow/frmNotes.h"
#include "tests/mainwindow/PlayerWindowSupport.h"
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

} // namespace

TEST_F(Notes, TextRoundTripsThroughTheFile)
{
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
    ListWindow lw;
    FrmMain* w = lw.w;
    ASSERT_FALSE(QFile::exists(NotesFilePath()));
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
    // Something that is not a readable file sits where the notes belong.
    ASSERT_EQ(::mkfifo(NotesFilePath().toLocal8Bit().constData(), 0600), 0);
    FrmNotes* notes = g_frmNotes();
    EXPECT_FALSE(notes->LoadSucceeded());
    notes->Text1->setPlainText("typed after a failed load");
    notes->close();
    const QFileInfo after(NotesFilePath());
    EXPECT_TRUE(after.exists());
    EXPECT_FALSE(after.isFile()) << "the unreadable notes were replaced";
    UnloadMain();
}
