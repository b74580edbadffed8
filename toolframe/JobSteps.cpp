#include "toolframe/JobSteps.h"

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "core/TextFiles.h"
#include "platform/MessageBox.h"

void StartLogSection(QPlainTextEdit* log)
{
    if (log->document()->isEmpty())
        return;
    QTextCursor cursor(log->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\r\n"));
}

bool FileAtOutputPath(const QString& path)
{
    const QFileInfo fi(path);
    return (fi.exists() || fi.isSymLink()) && !fi.isDir();
}

int AskOverwrite(const QString& path, QPlainTextEdit* log, QWidget* owner)
{
    AddLogLine(QStringLiteral("File already exists."), log);
    const int answer = MsgBox("The file: '" + path + "' already exists.\r\n\r\nOverwrite it?",
                              vbYesNoCancel | vbInformation, QString(), owner);
    if (answer == vbYes) {
        AddLogLine(QStringLiteral("Overwrite it..."), log);
        return vbYes;
    }
    return answer == vbNo ? vbNo : vbCancel;
}

bool ConfirmAbort(QWidget* owner)
{
    return MsgBox("Abort operation?" + QString(38, QLatin1Char(' ')), vbYesNo | vbInformation, QString(), owner) ==
           vbYes;
}
