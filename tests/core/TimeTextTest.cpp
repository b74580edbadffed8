#include <QLocale>
#include <QTemporaryDir>
#include <QFile>
#include <gtest/gtest.h>

#include "core/TimeText.h"

namespace {
struct UsLocale : ::testing::Test {
    void SetUp() override
    {
        m_previous = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    // Other tests of the process read times in the locale it started with.
    void TearDown() override { QLocale::setDefault(m_previous); }
    QLocale m_previous;
};
using TimeText = UsLocale;
using SizeText = UsLocale;
} // namespace

TEST_F(TimeText, SecondsToTextAndBack)
{
    const struct { int seconds; const char* text; } cases[] = {
        {0, "0:00:00"},      {59, "0:00:59"},     {205, "0:03:25"},       {3725, "1:02:05"},
        {86399, "23:59:59"}, {86400, "24:00:00"}, {90000, "25:00:00"},    {360000, "100:00:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SecondsToTimeText(c.seconds), c.text);
        // What the grid writes reads back to the same seconds, past 24 hours too.
        EXPECT_EQ(TimeTextToSeconds(c.text), c.seconds);
    }
}

TEST_F(TimeText, ReadsTimesOfDayDurationsAndRejectsTheRest)
{
    const struct { const char* text; int seconds; } cases[] = {
        {"01:00:00", 3600},
        {"12:30", 45000},    // a time of day without seconds
        {"1:2:3", 3723},
        {"1:00 PM", 46800},
        {"1:60:00", 7200},   // not a time of day: read as fields
        {"0:00:05.5", 6},    // halves to even
        {"0:00:04.5", 4},
        {"1:02:03:04", 3723}, // fields after the third are ignored
        {"", 0},
        {"letters", 0},
        {"12", 0},
        {"a:b:c", 0},
        {"999999:00:00", 0},  // overflows 32 bits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TimeTextToSeconds(c.text), c.seconds);
    }
}

TEST_F(SizeText, ByteCount)
{
    const double KB = 1024, MB = KB * 1024, TB = MB * MB;
    const struct { double n; const char* text; } cases[] = {
        {-1, ""},           {0, "0"},           {1, "1.00"},           {5, "5.00"},
        {12, "12.0"},       {999, "999"},       {1000, "0.98 KB"},     {1023, "1.00 KB"},
        {1536, "1.50 KB"},  {1048576, "1.00 MB"}, {150 * MB, "150 MB"}, {5 * TB, "5.00 TB"},
        {999 * TB, "999 TB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(FormatByteCount(c.n), c.text);
    }
}

TEST_F(SizeText, FileSize)
{
    const double Y = 1208925819614629174706176.0; // 1024^8
    const struct { double n; const char* text; } cases[] = {
        {0, "0 bytes"},          {999, "999 bytes"},        {1000, "0.98 KB"},
        {1024, "1.00 KB"},       {100 * 1024, "100 KB"},    {1022976, "999 KB"},
        {1022977, "0.98 MB"},    {2147483647, "2.00 GB"},   {10.5 * 1024 * 1024, "10.5 MB"},
        {2 * Y, "2.00 YB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(FormatFileSize(c.n), c.text);
    }
    // Whole numbers from 100 up round halves to even.
    EXPECT_EQ(FormatSizeNumber(100.5), "100");
    EXPECT_EQ(FormatSizeNumber(101.5), "102");
}

TEST(FileDates, FileTimeToDate)
{
    const QDateTime epoch(QDate(1601, 1, 1), QTime(0, 0), Qt::UTC);
    const struct { quint64 ticks; qint64 secondsAfter1601; } cases[] = {
        {0, 0},
        {10000000ULL * 3600 * 24, 86400},
        {15000000ULL, 2},     // 1.5 s rounds to even
        {25000000ULL, 2},
        {130000000000000000ULL, 13000000000}, // year 2012
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ticks);
        FILETIME ft;
        ft.dwLowDateTime = quint32(c.ticks & 0xFFFFFFFFu);
        ft.dwHighDateTime = quint32(c.ticks >> 32);
        EXPECT_EQ(FileTimeToDate(ft), epoch.addSecs(c.secondsAfter1601));
    }
}

TEST(FileDates, MissingFileKeepsDatesAndGivesTheZeroDate)
{
    const QDateTime mark(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    QDateTime a = mark, b = mark, c = mark;
    EXPECT_TRUE(GetFileTimes("/no/such/file.wav", a, b, c, true));
    EXPECT_EQ(a, mark);
    EXPECT_EQ(b, mark);
    EXPECT_EQ(c, mark);
    EXPECT_EQ(GetFileCreatedDate("/no/such/file.wav"), QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC));

    QTemporaryDir dir;
    EXPECT_TRUE(GetFileTimes(dir.path(), a, b, c, true)) << "a folder is no file";
}

TEST(FileDates, CreatedDateOfANewFileIsNowInLocalTime)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("new.wav");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    const QDateTime created = GetFileCreatedDate(path);
    const QDateTime asLocal(created.date(), created.time(), Qt::LocalTime);
    EXPECT_LE(std::abs(asLocal.secsTo(QDateTime::currentDateTime())), 60);

    QDateTime c, a, w;
    EXPECT_FALSE(GetFileTimes(path, c, a, w, false));
    const QDateTime asUtc(w.date(), w.time(), Qt::UTC);
    EXPECT_LE(std::abs(asUtc.secsTo(QDateTime::currentDateTimeUtc())), 60);
}
