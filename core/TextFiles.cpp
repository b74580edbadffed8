#include "core/TextFiles.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTime>

#include "core/Dialogs.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"

namespace {

const int kHistoryLines = 16;

// Every line of the file; CR LF or LF ends a line, and a last line without an
// end still counts.
bool readLines(const QString& path, QStringList& lines)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = f.readAll();
    if (f.error() != QFile::NoError)
        return false;
    lines.clear();
    if (data.isEmpty())
        return true;
    QString text = QString::fromUtf8(data);
    if (text.endsWith('\n'))
        text.chop(1);
    for (QString line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        lines << line;
    }
    return true;
}

// Reads the history, creating the file empty when it is missing.
bool readHistory(QStringList& lines, QString* error = nullptr)
{
    const QString path = PathHistoryFile();
    if (!QFileInfo::exists(path)) {
        QFile create(path);
        if (!create.open(QIODevice::WriteOnly)) {
            if (error)
                *error = create.errorString();
            return false;
        }
        create.close();
    }
    if (readLines(path, lines))
        return true;
    if (error)
        *error = QStringLiteral("the file cannot be read");
    return false;
}

// One message per failing history: every folder choice and job start saves it.
bool g_bHistoryFailureReported = false;

bool historySaved(bool ok, const QString& error, QWidget* owner)
{
    if (ok) {
        g_bHistoryFailureReported = false;
        return true;
    }
    if (!g_bHistoryFailureReported) {
        g_bHistoryFailureReported = true;
        MsgBox(QStringLiteral("The folder history ") + PathHistoryFile() + QStringLiteral(" could not be saved: ") +
                   error,
               vbExclamation | vbOKOnly, QString(), owner);
    }
    return false;
}

} // namespace

bool WriteFileAtomically(const QString& path, const QByteArray& data, QString* error)
{
    QSaveFile f(path);
    auto failed = [&] {
        if (error)
            *error = f.errorString();
        return false;
    };
    // Unbuffered: a buffered save file reports a write cut short by a full
    // disk only as a successful commit of the truncated file.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failed();
    // A write cut short (a disk filling up) reports no error of its own: the
    // rest is written again, and that write names the cause.
    for (qint64 done = 0; done < data.size();) {
        const qint64 n = f.write(data.constData() + done, data.size() - done);
        if (n <= 0) {
            failed();
            f.cancelWriting();
            return false;
        }
        done += n;
    }
    return f.commit() || failed();
}

bool WriteTextFile(const QString& text, const QString& path, QString* error)
{
    return WriteFileAtomically(path, (text + "\r\n").toUtf8(), error);
}

QString ReadTextFile(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return QString();
    QStringList lines;
    if (!readLines(path, lines))
        return QString();
    QString result;
    for (const QString& line : lines)
        result += line + "\r\n";
    if (result.size() > 2)
        result.chop(2);
    return result;
}

namespace {

// The lines that hold more than blanks, as written.
QStringList nonBlankLines(const QString& path)
{
    // Lines end CR LF as written; a file edited elsewhere may end them LF.
    const QStringList parts = ReadTextFile(path).split(QRegularExpression(QStringLiteral("\r?\n")));
    QStringList lines;
    for (const QString& p : parts)
        if (!p.trimmed().isEmpty())
            lines << p;
    return lines;
}

} // namespace

void FillComboFromTextFile(const QString& path, QComboBox* combo)
{
    if (!combo)
        return;
    combo->clear();
    combo->addItems(nonBlankLines(path));
}

QString FileNameFormatsFile()
{
    return AppPath() + "/FileNameFormats.txt";
}

bool LoadFileNameTemplates(QComboBox* combo)
{
    if (!combo)
        return false;
    const QStringList templates = nonBlankLines(FileNameFormatsFile());
    if (templates.isEmpty())
        return false;
    combo->clear();
    combo->addItems(templates);
    return true;
}

QString PathHistoryFile()
{
    return AppPath() + "/PathHistory";
}

bool SavePathHistory(QComboBox* combo, QWidget* owner)
{
    if (!combo)
        return false;
    if (!owner)
        owner = combo->window();
    QStringList old;
    QString error;
    if (!readHistory(old, &error))
        return historySaved(false, error, owner);
    const QString text = combo->currentText();
    QStringList entries{text};
    // A hand-edited file may hold a line twice: keep its first place only, so
    // the history never gets stuck.
    for (const QString& line : old)
        if (!entries.contains(line))
            entries << line;
    while (entries.size() > kHistoryLines)
        entries.removeLast();
    QByteArray data;
    for (const QString& e : entries)
        data += (e + "\r\n").toUtf8();
    return historySaved(WriteFileAtomically(PathHistoryFile(), data, &error), error, owner);
}

void LoadPathHistory(QComboBox* combo)
{
    if (!combo)
        return;
    QStringList lines;
    {
        // Fill quietly; the selection handler runs once, on the finished list.
        const QSignalBlocker block(combo);
        combo->clear();
        if (readHistory(lines))
            combo->addItems(lines);
        combo->setCurrentIndex(-1);
        if (combo->isEditable())
            combo->setEditText(QString());
    }
    if (combo->count() > 0)
        combo->setCurrentIndex(0);
}

void ChoosePathHistoryFolder(QComboBox* combo, QWidget* owner)
{
    QString folder = BrowseForFolder(QStringLiteral("Select a new directory"), combo->currentText(), owner, true,
                                     QString(), true, false);
    if (folder.isEmpty())
        return;
    if (!folder.endsWith('/'))
        folder += '/';
    combo->setEditText(folder);
    SavePathHistory(combo, owner);
    LoadPathHistory(combo);
}

QString LogTimeText()
{
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    // The long format may carry the zone ("t"); the log wants the time alone.
    format.remove(QLatin1Char('t'));
    format = format.trimmed();
    return QLocale().toString(QTime::currentTime(), format);
}

void AddLogLine(const QString& message, QPlainTextEdit* logBox)
{
    if (!logBox)
        return;
    QTextCursor cursor(logBox->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(LogTimeText() + ":" + message + "\r\n");
    logBox->setTextCursor(cursor);
    logBox->ensureCursorVisible();
}
