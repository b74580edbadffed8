#include "toolframe/NameMacros.h"

#include <QLocale>
#include <QProcess>
#include <QRegularExpression>

#include "components/controls/cImageList.h"
#include "components/controls/cGrid.h"
#include "core/Edition.h"
#include "core/MainWindowServices.h"
#include "core/PathNames.h"
#include "lists/ItemRow.h"
#include "settings/Options.h"

namespace {

// What a macro puts into a file name must not name another folder.
QString nameSafe(QString value)
{
    value.replace(QChar('/'), QChar('-'));
    value.replace(QChar(0), QChar('-'));
    return value;
}

} // namespace

QString DestExtensionOf(const QString& formatEntry)
{
    const int dash = formatEntry.indexOf(QLatin1String(" -"));
    if (dash < 0)
        return QString();
    const QString ext = formatEntry.left(dash).toLower();
    return ext.isNull() ? QString("") : ext;
}

QString ExpandFileNameTemplate(const FileNameTemplateInput& in)
{
    QString s = in.sTemplate;
    s.replace("[123]", QString::number(in.lRow));
    s.replace("[file_name]", nameSafe(RemoveExtension(GetFileNameFromPath(in.sSourcePath))));
    s.replace("[source_extension]", nameSafe(GetLastExtension(in.sItemName).toLower()));
    if (!in.sDestExtension.isNull()) {
        s.replace("[dest_extension]", nameSafe(in.sDestExtension));
        s.replace("[convert_extension]", nameSafe(in.sDestExtension));
    }
    s.replace("[time]", in.now.time().toString("HH:mm:ss").replace(':', '-'));
    s.replace("[date]", nameSafe(ShortDateText(in.now.date()).replace('/', '-')));
    s.replace("[item_name]", nameSafe(in.sItemName));
    return s;
}

QString OutputNameProblem(const QString& name)
{
    const QString shown = "\"" + name + "\"";
    if (name.isEmpty())
        return QStringLiteral("The file name template gives an empty name.");
    if (name.endsWith('/'))
        return "The file name template gives no file name: " + shown + ".";
    // A macro left in the name means a value was missing (no format chosen,
    // say): such a name is no file the user asked for.
    static const QRegularExpression macro(QStringLiteral("\\[(file_name|source_extension|dest_extension|convert_extension|123|date|time|"
                                                         "item_name)\\]"));
    const QRegularExpressionMatch m = macro.match(name);
    if (m.hasMatch())
        return "The file name " + shown + " still holds the macro " + m.captured(0) + ".";
    const QStringList steps = name.split('/');
    for (const QString& step : steps)
        if (step == QLatin1String(".") || step == QLatin1String(".."))
            return "The file name template gives a name outside the destination folder: " + shown + ".";
    return QString();
}

QString JoinFolderAndName(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return name;
    QString f = folder;
    while (f.size() > 1 && f.endsWith('/'))
        f.chop(1);
    QString n = name;
    while (n.startsWith('/'))
        n.remove(0, 1);
    return f == QLatin1String("/") ? f + n : f + "/" + n;
}

QString ShortDateText(const QDate& date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString TimeOfDayText(const QTime& time)
{
    // The long format names the time zone as well; a tag wants the time only.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+")));
    format = format.trimmed();
    if (!format.contains('s'))
        format = QStringLiteral("HH:mm:ss");
    return QLocale::system().toString(time, format);
}

QString ExpandTagMacros(const QString& sStr, const TagMacroValues& v)
{
    QString s = sStr;
    s.replace("[DATE]", ShortDateText(v.now.date()));
    s.replace("[TIME]", TimeOfDayText(v.now.time()));
    if (v.lTrackNum > 0)
        s.replace("[TRACK_NUM]", QString::number(v.lTrackNum));
    s.replace("[PROG_NAME]", g_sAppName);
    s.replace("[PROG_VERSION]", g_sAppVersion);
    if (v.bRowMacros && v.bRowKnown) {
        s.replace("[SOURCE_NAME]", v.sSourceName);
        s.replace("[ITEM_NAME]", v.sItemName);
        s.replace("[RANGE]", v.sRange);
    }
    s.replace("[YEAR]", QString::number(v.now.date().year()));
    return s;
}

QString ExpandNoticeMacros(const QString& text)
{
    QString s = text;
    s.replace("[PROG_NAME]", g_sAppName);
    s.replace("[PROG_VERSION]", g_sAppVersion);
    MainWindowServices* main = mainWindow();
    cGrid* grid = main ? main->cGrid1 : nullptr;
    const int row = grid ? grid->RowCount() : 0;
    const struct {
        const char* macro;
        const QString& key;
    } files[] = {
        {"[FILE_RECORDED]", COL_ITEM_NAME},
        {"[FILE_SIZE]", COL_SIZE},
        {"[FILE_TIME_LENGTH]", COL_TIME},
        {"[FILE_CREATED]", COL_CREATED},
    };
    for (const auto& f : files) {
        const int col = grid ? grid->ColumnIndex(f.key) : 0;
        if (row > 0 && col > 0)
            s.replace(QString::fromLatin1(f.macro), grid->CellText(row, col));
    }
    return s;
}

QString GetNoticAppParameters()
{
    return ExpandNoticeMacros(g_sAppNotice);
}

bool NoticeAppCommand(QString& program, QStringList& arguments)
{
    program.clear();
    arguments.clear();
    const QStringList parts = QProcess::splitCommand(g_sAppNotice);
    if (parts.isEmpty())
        return false;
    program = ExpandNoticeMacros(parts.first());
    for (int i = 1; i < parts.size(); ++i)
        arguments << ExpandNoticeMacros(parts[i]);
    return !program.isEmpty();
}

QString GetExt(const QString& sTargetFormat)
{
    const QString key = sTargetFormat.left(3).toUpper();
    if (key == QLatin1String("WAV") || key == QLatin1String("ACM"))
        return QStringLiteral("wav");
    if (key == QLatin1String("MP3") || key == QLatin1String("WMA") || key == QLatin1String("OGG") ||
        key == QLatin1String("APE"))
        return key.toLower();
    return QString("");
}

QString CreateFileName(const QString& sUnused, const QString& sTargetFormat, const QDateTime& now)
{
    Q_UNUSED(sUnused);
    return CleanFileName(now.time().toString("HH:mm:ss") + "_" + ShortDateText(now.date()) + "." +
                         GetExt(sTargetFormat));
}
