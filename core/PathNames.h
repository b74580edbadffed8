#pragma once
// Taking paths apart, testing and creating files and folders, and the names
// that become file names. Paths use "/"; folder texts end with "/".
//
// None of these yields to the event loop: callers that walk many files
// (adding files, preparing job rows) yield once per file themselves.
#include <QString>

class QWidget;

// The last path element: "/a/b.wav" -> "b.wav"; "/a/" -> "".
QString GetFileNameFromPath(const QString& path);
// Every element but the last, each followed by "/": "/a/b.wav" -> "/a/",
// "b.wav" -> "". A leading "/" (the root) is kept, and an empty element
// ("/a//b.wav") is skipped rather than discarding what came before it.
QString GetFolderFromPath(const QString& path);
// The path without its file name: "/a/b.wav" -> "/a/"; "" for a path that
// ends in "/" or has no "/".
QString GetFolderOfFile(const QString& path);

// At most 12 characters after the last ".", "" without one.
QString GetExtension(const QString& name);
// Everything after the last ".", "" without one.
QString GetLastExtension(const QString& name);
// The name without its last extension: "song.wav" -> "song",
// "a.b.wav" -> "a.b"; a name without "." is returned unchanged.
QString RemoveExtension(const QString& name);

// Turns 37 characters that trouble file names and command lines into "-":
// "My List (2)" -> "My-List--2-".
QString CleanFileName(const QString& name);
// False when the name holds / \ : ? * < > " or |. The empty name is valid.
bool IsValidFileName(const QString& name);
// The key filter of name boxes: a refused character shows the illegal-name
// tip at the box and sets keyAscii to 0 so the box drops the key.
void FilterIllegalNameKey(QWidget* textBox, int& keyAscii);
// The tip's text.
QString IllegalNameTipText();

bool IsFolder(const QString& path);
// True when the literal path names an existing file (folders do not count).
bool FileExists(const QString& path);
// Deletes the one file the literal path names; true when it was deleted.
bool RemoveFile(const QString& path);
// Creates every missing folder of the path. 0 when all exist at the end,
// otherwise the system error number of the first failure (folders made
// before it stay).
int CreateFolderPath(const QString& folderPath);
// Opens a file, folder or web address with the desktop.
void ShellOpen(QWidget* owner, const QString& target);
// Opens the folder (ending in "/") with the desktop. A missing folder is
// offered for creation first, and declining opens nothing; a failed creation
// is reported and the open still tried. True when the folder was created just
// now. An empty title gives the message boxes the application's title.
bool OpenFolderOfferingToCreate(const QString& folder, const QString& title, QWidget* owner);
