#pragma once
// The program's file, folder and colour dialogs over the dialog service.
#include <QString>
#include <QStringList>

class QWidget;

// The one open/save record both file dialogs share. Callers set the filter,
// the title and (for saving) the default extension right before a call; what
// a caller sets stays for later dialogs.
struct OPENFILENAME {
    QWidget* hwndOwner = nullptr;
    // Caption and pattern pairs, each part followed by a NUL, patterns
    // separated by ";" (see GetAudioFilesFilter).
    QString lpstrFilter;
    QString lpstrTitle;
    QString lpstrDefExt;
    QString lpstrFile;       // the last dialog's result
    QString lpstrInitialDir; // set by ShowOpen, reused by ShowSave
    quint32 Flags = 0;       // set by each dialog: 0x382204 open, 0x280006 save
};
extern OPENFILENAME g_OpenFileName;

constexpr quint32 OFN_OVERWRITEPROMPT = 0x2;
constexpr quint32 OFN_ALLOWMULTISELECT = 0x200;

struct FileDialogResult {
    int iFileCount = 0;
    // Names from index 1. ShowOpen: the chosen names without folder, and at
    // index 0 the full path when exactly one file was chosen (empty after
    // several). ShowSave: the full path at index 1.
    QStringList sFiles;
    // ShowOpen: the folder without a final "/" (the root stays "/").
    // ShowSave: the folder with its final "/". Empty when cancelled.
    QString sFolder;
    bool bCanceled = true;
};

// Open dialog (several files may be chosen, at most 1000 are returned). It
// starts in the last choice, kept in the per-user store under application
// "Pelmora", section "path", key "last_path".
FileDialogResult ShowOpen(QWidget* hWndOwner, bool bCenterOnOwner);
// Save dialog; asks before replacing an existing file. Stores nothing.
FileDialogResult ShowSave(QWidget* hWndOwner, const QString& sDefaultName, bool bCenterOnOwner);
// The chosen colour as 0x00BBGGRR, or -1 when cancelled. The dialog starts on
// white and offers sixteen custom colours that persist for the run.
qint64 ShowColor(QWidget* hWndOwner, bool bCenterOnOwner);
// The chosen folder without a final "/" (the root stays "/"), or "" on cancel.
// Every caller passes no root and no files; they are accepted and unused.
QString BrowseForFolder(const QString& sTitle, const QString& sStartFolder, QWidget* hWndOwner,
                        bool bStatusText = true, const QString& vRoot = QString(), bool bNewDialogStyle = true,
                        bool bIncludeFiles = false);

// The dialog service's filters for a NUL-separated filter text.
QStringList FileDialogFilters(const QString& lpstrFilter);
