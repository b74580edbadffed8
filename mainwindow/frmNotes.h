#pragma once
// The notes window: one free text kept in the program folder's "Notes" file,
// edited beside the main window and saved when the window closes.
#include <QWidget>

class QPlainTextEdit;

class FrmNotes : public QWidget {
    Q_OBJECT
public:
    explicit FrmNotes(QWidget* parent = nullptr);

    QPlainTextEdit* Text1 = nullptr;

    void Form_Load();
    // Puts the window over the owner's window (and keeps it above it).
    void PlaceOver(QWidget* owner);
    void Form_Resize();
    // Saves the text; false (after telling the user why) when the file could
    // not be written: the window then stays open with the edits.
    bool Form_Unload();

    // Whether the load read the file (or found none); a load that failed
    // never overwrites the file it could not read.
    bool LoadSucceeded() const { return m_loaded; }

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    bool m_loaded = false;
};

// The notes window, created (and loaded) on first use; closing unloads it.
FrmNotes* g_frmNotes();
bool g_frmNotesLoaded();
// The notes file: the program folder's "Notes".
QString NotesFilePath();
