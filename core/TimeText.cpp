#include "core/TimeText.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <limits>

namespace {

// "0", "0.0", "0.00" patterns: nearest value, halves away from zero, the
// user's decimal separator, no grouping.
QString fixedText(double v, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    double r = std::round(v * scale) / scale;
    if (r == 0.0)
        r = 0.0; // no "-0.00"
    QLocale loc;
    loc.setNumberOptions(loc.numberOptions() | QLocale::OmitGroupSeparator);
    return loc.toString(r, 'f', decimals);
}

// Whole number, halves to even.
QString evenText(double v)
{
    QLocale loc;
    loc.setNumberOptions(loc.numberOptions() | QLocale::OmitGroupSeparator);
    double r = std::nearbyint(v);
    if (r == 0.0)
        r = 0.0;
    return loc.toString(r, 'f', 0);
}

QString twoDigits(qint64 v)
{
    return v < 0 ? "-" + QString::number(-v).rightJustified(2, '0') : QString::number(v).rightJustified(2, '0');
}

// A text that reads as a time of day becomes "HH:mm:ss"; anything else is
// returned unchanged (so "25:00:00" stays a duration).
QString normaliseTimeOfDay(const QString& text)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?\\s*([AaPp][Mm])?\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return text;
    int h = m.captured(1).toInt();
    const int min = m.captured(2).toInt();
    const int s = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    const QString ampm = m.captured(4).toUpper();
    if (!ampm.isEmpty()) {
        if (h < 1 || h > 12)
            return text;
        if (ampm == "AM" && h == 12) h = 0;
        if (ampm == "PM" && h != 12) h += 12;
    }
    if (h > 23 || min > 59 || s > 59)
        return text;
    return QStringLiteral("%1:%2:%3").arg(h, 2, 10, QChar('0')).arg(min, 2, 10, QChar('0')).arg(s, 2, 10, QChar('0'));
}

bool readNumber(const QString& field, double& out)
{
    const QString t = field.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    out = QLocale().toDouble(t, &ok);
    if (!ok)
        out = QLocale::c().toDouble(t, &ok);
    return ok && std::isfinite(out);
}

const QDateTime& fileTimeEpoch()
{
    static const QDateTime epoch(QDate(1601, 1, 1), QTime(0, 0), Qt::UTC);
    return epoch;
}

// Milliseconds since 1970 to a file time (100-ns ticks since 1601).
FILETIME fileTimeFromMSecs(qint64 msecs)
{
    const quint64 ticks = quint64(msecs + 11644473600000LL) * 10000ULL;
    FILETIME ft;
    ft.dwLowDateTime = quint32(ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = quint32(ticks >> 32);
    return ft;
}

} // namespace

QString SecondsToTimeText(int seconds)
{
    const qint64 s = seconds;
    const qint64 hours = qint64(std::floor(double(s) / 3600.0));
    const qint64 minutes = qint64(std::floor(double(s) / 60.0)) - 60 * hours;
    const qint64 secs = s % 60; // takes the sign of s
    return QString::number(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(secs);
}

int TimeTextToSeconds(const QString& text)
{
    const QStringList fields = normaliseTimeOfDay(text).split(':');
    if (fields.size() < 3)
        return 0;
    double h = 0, m = 0, s = 0;
    if (!readNumber(fields[0], h) || !readNumber(fields[1], m) || !readNumber(fields[2], s))
        return 0;
    const double total = std::nearbyint(h * 3600.0 + m * 60.0 + s);
    if (total > std::numeric_limits<int>::max() || total < std::numeric_limits<int>::min())
        return 0;
    return int(total);
}

QString FormatByteCount(double bytes)
{
    if (bytes < 0)
        return QString();
    if (bytes == 0)
        return QStringLiteral("0");
    static const char* const units[] = {"", " KB", " MB", " GB", " TB"};
    int i = 0;
    double v = bytes;
    while (v >= 1000.0 && i < 4) {
        ++i;
        v = bytes / std::pow(1024.0, i);
    }
    QString text;
    if (v < 10.0)
        text = fixedText(v, 2);
    else if (v < 100.0)
        text = fixedText(v, 1);
    else
        text = fixedText(v, 0);
    return text + units[i];
}

QString FormatSizeNumber(double value)
{
    if (value >= 100.0)
        return evenText(value);
    if (value >= 10.0)
        return fixedText(value, 1);
    return fixedText(value, 2);
}

QString FormatFileSize(double bytes)
{
    if (bytes <= 999.0)
        return fixedText(bytes, 0) + " bytes";
    static const char* const units[] = {"", " KB", " MB", " GB", " TB", " PB", " EB", " ZB", " YB"};
    for (int k = 1; k <= 7; ++k) {
        const double unit = std::pow(1024.0, k);
        if (bytes <= 999.0 * unit)
            return FormatSizeNumber(bytes / unit) + units[k];
    }
    return FormatSizeNumber(bytes / std::pow(1024.0, 8)) + units[8];
}

QDateTime ZeroDate()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
}

QDateTime FileTimeToDate(const FILETIME& fileTime)
{
    const double ticks = double(fileTime.dwHighDateTime) * 4294967296.0 + double(fileTime.dwLowDateTime);
    const double seconds = ticks / 10000000.0;
    const double hours = std::nearbyint(seconds / 3600.0);
    const double rest = std::nearbyint(seconds - 3600.0 * hours);
    return fileTimeEpoch().addSecs(qint64(hours) * 3600).addSecs(qint64(rest));
}

bool GetFileTimes(const QString& path, QDateTime& created, QDateTime& accessed, QDateTime& written, bool bLocalTime)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return true;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return true;
    f.close();
    const QDateTime lastWrite = info.lastModified();
    const QDateTime lastRead = info.lastRead();
    // Not every file system keeps a birth time; the last write is then the
    // best "created" there is.
    const QDateTime birth = info.birthTime().isValid() ? info.birthTime() : lastWrite;
    if (!lastWrite.isValid() || !lastRead.isValid())
        return true;
    auto convert = [bLocalTime](const QDateTime& t) {
        qint64 ms = t.toMSecsSinceEpoch();
        if (bLocalTime)
            ms += qint64(t.toLocalTime().offsetFromUtc()) * 1000;
        return FileTimeToDate(fileTimeFromMSecs(ms));
    };
    created = convert(birth);
    accessed = convert(lastRead);
    written = convert(lastWrite);
    return false;
}

QDateTime GetFileCreatedDate(const QString& path)
{
    QDateTime created = ZeroDate(), accessed = ZeroDate(), written = ZeroDate();
    GetFileTimes(path, created, accessed, written, true);
    return created;
}
