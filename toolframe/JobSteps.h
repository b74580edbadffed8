#pragma once
// Steps the tool windows' jobs share: the log's section break, what lies at
// an output path, the overwrite and abort questions.
#include <QString>

#include "core/FileCopy.h" // SameFile: the output would replace a source

class QPlainTextEdit;
class QWidget;

// An empty line between this job and the last one (nothing for an empty log).
void StartLogSection(QPlainTextEdit* log);
// Anything but a folder at the path: a file, a hidden one, or a link even
// when it leads nowhere. Such a path is offered for overwriting.
bool FileAtOutputPath(const QString& path);
// Logs "File already exists.", asks whether to overwrite the file and logs
// "Overwrite it..." on Yes. Returns vbYes, vbNo or vbCancel (closing the box
// counts as Cancel).
int AskOverwrite(const QString& path, QPlainTextEdit* log, QWidget* owner);
// "Abort operation?"; true on Yes.
bool ConfirmAbort(QWidget* owner);
