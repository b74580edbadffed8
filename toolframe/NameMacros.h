#pragma once
// The bracketed macros of the texts the user writes: output file-name
// templates, ID3 tag texts and the external program's command line. Each
// replacement is exact in letter case, replaces every occurrence, and runs in
// a fixed order over the text the earlier ones left.
#include <QDateTime>
#include <QString>
#include <QStringList>

#include "core/Formats.h"

// ---- Output file-name templates

// The extension a destination format entry gives the output names: the text
// before its first " -", in lower case ("MP3 - MPEG-1 ..." gives "mp3", the
// ACM WAV entry "acm"). A null string when the text has no " -" (no format
// chosen): the extension macros then stay as written.
QString DestExtensionOf(const QString& formatEntry);

struct FileNameTemplateInput {
    QString sTemplate;
    long lRow = 0;          // 1-based row of the tool grid
    QString sSourcePath;    // the row's COL_FILE
    QString sItemName;      // the row's Item Name
    QString sDestExtension; // from DestExtensionOf, or fixed by the window
    QDateTime now = QDateTime::currentDateTime();
};
// The output name of one row, without folder. "[123]", "[file_name]",
// "[source_extension]", "[dest_extension]", "[convert_extension]", "[time]",
// "[date]" and "[item_name]" are replaced in this order. A value put in by a
// macro has "/" and NUL turned into "-", so no macro can move the file into
// another folder; "[file_name]" keeps the inner dots of the source name.
QString ExpandFileNameTemplate(const FileNameTemplateInput& in);

// Why an expanded name cannot be used as an output file name (empty, ".",
// "..", a "." or ".." step, or no name after a last "/"), or an empty text
// when it can.
QString OutputNameProblem(const QString& name);
// Folder and name joined by exactly one "/". An empty folder gives the name.
QString JoinFolderAndName(const QString& folder, const QString& name);

// ---- Tag texts

// Today's date in the system's short date format.
QString ShortDateText(const QDate& date);
// The time in the system's time format, with seconds.
QString TimeOfDayText(const QTime& time);

struct TagMacroValues {
    QDateTime now = QDateTime::currentDateTime();
    long lTrackNum = 0;      // the grid's selected row; 0 leaves "[TRACK_NUM]" as written
    bool bRowMacros = false; // the converter's "[SOURCE_NAME]", "[ITEM_NAME]" and "[RANGE]"
    bool bRowKnown = false;  // the row those three read exists
    QString sSourceName;
    QString sItemName;
    QString sRange;
};
// "[DATE]", "[TIME]", "[TRACK_NUM]", "[PROG_NAME]", "[PROG_VERSION]", then with
// bRowMacros "[SOURCE_NAME]", "[ITEM_NAME]", "[RANGE]", and last "[YEAR]".
QString ExpandTagMacros(const QString& sStr, const TagMacroValues& values);

// ---- The external program run at the end of a job

// The setting g_sAppNotice with "[PROG_NAME]", "[PROG_VERSION]" and the
// "[FILE_RECORDED]", "[FILE_SIZE]", "[FILE_TIME_LENGTH]" and "[FILE_CREATED]"
// texts of the last row of the main window's items grid replaced. Without a
// row (or a main window) the four file macros stay.
QString GetNoticAppParameters();
// The same macros in one text.
QString ExpandNoticeMacros(const QString& text);
// The command line split into program and arguments as written (quotes group
// words), then the macros expanded inside each part, so a value holding
// blanks or quotes stays one argument. False when no program is named.
bool NoticeAppCommand(QString& program, QStringList& arguments);

// ---- The speech tool's output name

// The output extension of a destination format entry: "wav" for WAV and ACM
// WAV, "mp3", "wma", "ogg", "ape"; "" for anything else.
QString GetExt(const QString& sTargetFormat);
// The time ("HH:MM:SS"), "_", the short date, "." and GetExt, cleaned like a
// file name: 14-05-33_11-10-2010.mp3. The first argument is not used.
QString CreateFileName(const QString& sUnused, const QString& sTargetFormat,
                       const QDateTime& now = QDateTime::currentDateTime());
