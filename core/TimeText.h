#pragma once
// Durations, byte counts and file dates as the grids and windows show them.
// Stateless; nothing here touches a window.
#include <QDateTime>
#include <QString>

// 3725 -> "1:02:05"; hours are not wrapped at 24.
QString SecondsToTimeText(int seconds);
// "0:03:25" -> 205, "12:30" -> 45000 (a time of day), "25:00:00" -> 90000;
// 0 when the text cannot be read.
int TimeTextToSeconds(const QString& text);

// The main window's total size: 5 -> "5.00", 1536 -> "1.50 KB", up to " TB".
QString FormatByteCount(double bytes);
// An item's "Size" cell: 999 -> "999 bytes", 1000 -> "0.98 KB", up to " YB".
QString FormatFileSize(double bytes);
QString FormatSizeNumber(double value);

// 100-ns intervals since 1 January 1601, low half first.
struct FILETIME {
    quint32 dwLowDateTime = 0;
    quint32 dwHighDateTime = 0;
};

// Dates are wall-clock values without a zone. They travel in a QDateTime
// whose time zone is UTC so that no conversion ever shifts them: format them, do
// not convert them.
QDateTime FileTimeToDate(const FILETIME& fileTime);
// 30 December 1899 00:00:00, the date of "no date".
QDateTime ZeroDate();

// Reads a file's creation, last-access and last-write times. Returns true when
// it FAILED (the out-parameters are then left alone), false on success.
bool GetFileTimes(const QString& path, QDateTime& created, QDateTime& accessed, QDateTime& written,
                  bool bLocalTime);
// The creation time in local time, or ZeroDate() when it cannot be read.
QDateTime GetFileCreatedDate(const QString& path);
