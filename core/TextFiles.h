#pragma once
// Small text files (UTF-8, lines ending CR LF; LF-only files read too), the
// shared path history of folder boxes, and the tool windows' log line.
#include <QString>
#include <QStringList>

class QComboBox;
class QPlainTextEdit;
class QWidget;

// Replaces the file's content by the data, or leaves the file as it was; a
// short write (a full disk) counts as a failure.
bool WriteFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);
// Writes the text and a final CR LF, replacing the file atomically; false
// (and why, in error) when the file could not be written.
bool WriteTextFile(const QString& text, const QString& path, QString* error = nullptr);
// The file's lines joined by CR LF; "" for a missing file.
QString ReadTextFile(const QString& path);
// Clears the box and adds every line of the file that holds more than
// blanks, as written.
void FillComboFromTextFile(const QString& path, QComboBox* combo);

// The program folder's "FileNameFormats.txt": the user's own output name
// templates, one a line.
QString FileNameFormatsFile();
// Puts the templates of FileNameFormatsFile in the box in place of its
// entries. Blank lines are no templates: a missing file, or one without a
// template, leaves the box's built-in list and gives false.
bool LoadFileNameTemplates(QComboBox* combo);

// The program folder's "PathHistory".
QString PathHistoryFile();
// Puts the box's text on top of the history (no duplicates, at most 16 lines).
// A history that cannot be written is told to the user once (until a save
// succeeds again), and false is returned.
bool SavePathHistory(QComboBox* combo, QWidget* owner = nullptr);
// Lists the history in the box and selects the first (most recent) entry.
void LoadPathHistory(QComboBox* combo);
// Lets the user choose a folder, starting at the box's text; the choice,
// ending in "/", becomes the box's text and the top of the history. A cancel
// changes nothing.
void ChoosePathHistoryFolder(QComboBox* combo, QWidget* owner);

// The time of day as the log shows it, e.g. "14:05:33".
QString LogTimeText();
// Appends "<time>:<message>" and a line end to the log box and scrolls to it.
void AddLogLine(const QString& message, QPlainTextEdit* logBox);

template <class Collection>
void ClearCollection(Collection& collection)
{
    collection.clear();
}
