#include <QDateTime>
#include <gtest/gtest.h>

#include "core/Edition.h"
#include "core/PathNames.h"
#include "settings/Options.h"
#include "tests/toolframe/ToolFrameTestSupport.h"
#include "toolframe/NameMacros.h"

namespace {

const QString kMP3 = "MP3 - MPEG-1 Audio Layer 3 (*.mp3)";
const QString kACM = "ACM - Waveform ACM Codecs (*.wav)";
const QDateTime kNow(QDate(2010, 11, 10), QTime(9, 7, 5));

QString expand(const QString& tmpl, long row, const QString& source, const QString& item, const QString& format)
{
    FileNameTemplateInput in;
    in.sTemplate = tmpl;
    in.lRow = row;
    in.sSourcePath = source;
    in.sItemName = item;
    in.sDestExtension = DestExtensionOf(format);
    in.now = kNow;
    return ExpandFileNameTemplate(in);
}

} // namespace

TEST(FileNameTemplates, ExpandAsTheWorkedExamplesShow)
{
    const QString date = ShortDateText(kNow.date()).replace('/', '-');
    struct Case {
        QString tmpl;
        long row;
        QString source;
        QString item;
        QString format;
        QString expected;
    };
    const Case cases[] = {
        {"[file_name]_[123].[source_extension].[dest_extension]", 3, "/cd/Track03.cda", "Blue Sky.cda", kMP3,
         "Track03_3.cda.mp3"},
        {"[file_name].[dest_extension]", 1, "/Music/song.wav", "song.wav", kMP3, "song.mp3"},
        {"[file_name]_[123].[dest_extension]", 10, "/Music/song.wav", "song.wav", kMP3, "song_10.mp3"},
        {"[file_name]_[123].[dest_extension]", 1, "/Music/song.wav", "song.wav", kMP3, "song_1.mp3"},
        {"[123].[dest_extension]", 12, "/Music/song.wav", "song.wav", kMP3, "12.mp3"},
        {"[file_name].[source_extension].[dest_extension]", 1, "/Music/song.wav", "Track.WAV", kMP3, "song.wav.mp3"},
        {"[file_name].[source_extension].[dest_extension]", 1, "/Music/song.wav", "Track", kMP3, "song..mp3"},
        {"[file_name].[dest_extension]", 1, "/Music/song.wav", "song.wav", kACM, "song.acm"},
        {"[item_name]|[source_extension]", 1, "/m/a.mp3", "Song.MP3", kMP3, "Song.MP3|mp3"},
        {"[convert_extension]", 1, "/m/a.mp3", "a", "WMA - Windows Media Audio files (*.wma)", "wma"},
        // Inner dots of the source name stay; a name without a dot stays whole.
        {"[file_name].[dest_extension]", 1, "/m/Live.At.Home.wav", "x", kMP3, "Live.At.Home.mp3"},
        {"[file_name].[dest_extension]", 1, "/m/README", "x", kMP3, "README.mp3"},
        // Macros run in order over the text so far: a source named "[date]"
        // gets the date, an item name holding "[time]" keeps it.
        {"[file_name].[dest_extension]", 1, "/m/[date].wav", "x", kMP3, date + ".mp3"},
        {"[item_name].[dest_extension]", 1, "/m/a.wav", "x[time]", kMP3, "x[time].mp3"},
        {"[time]", 1, "/m/a.wav", "a", kMP3, "09-07-05"},
        {"[date]", 1, "/m/a.wav", "a", kMP3, date},
        // Only the exact letter case is a macro.
        {"[File_Name].[DEST_EXTENSION]", 1, "/m/a.wav", "a", kMP3, "[File_Name].[DEST_EXTENSION]"},
        // Without a chosen format the extension macros stay as written.
        {"[file_name].[dest_extension]", 1, "/m/a.wav", "a", "", "a.[dest_extension]"},
        // A value never brings a folder into the name.
        {"[item_name].[dest_extension]", 1, "/m/a.wav", "AC/DC", kMP3, "AC-DC.mp3"},
        {"[item_name]", 1, "/m/a.wav", QString("a") + QChar(0) + "b", kMP3, "a-b"},
        {"", 1, "/m/a.wav", "a", kMP3, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(expand(c.tmpl, c.row, c.source, c.item, c.format), c.expected) << qPrintable(c.tmpl);
    EXPECT_FALSE(date.contains('/'));
}

TEST(FileNameTemplates, UnusableNamesAreNamedAndFoldersJoinWithOneSeparator)
{
    for (const QString& bad : {QString(""), QString("."), QString(".."), QString("a/../b"), QString("sub/"),
                              QString("song.wav.[dest_extension]"), QString("[file_name].mp3"), QString("x_[123].ogg")})
        EXPECT_FALSE(OutputNameProblem(bad).isEmpty()) << qPrintable(bad);
    for (const QString& good : {QString("song.mp3"), QString("..mp3"), QString("song..mp3"), QString("sub/a.mp3"), QString("[live] take.mp3")})
        EXPECT_TRUE(OutputNameProblem(good).isEmpty()) << qPrintable(good);

    EXPECT_EQ(JoinFolderAndName("/out/", "a.mp3"), "/out/a.mp3");
    EXPECT_EQ(JoinFolderAndName("/out", "a.mp3"), "/out/a.mp3");
    EXPECT_EQ(JoinFolderAndName("/out//", "/a.mp3"), "/out/a.mp3");
    EXPECT_EQ(JoinFolderAndName("/", "a.mp3"), "/a.mp3");
    EXPECT_EQ(JoinFolderAndName("/out/sub/", "a.mp3"), "/out/sub/a.mp3");
}

TEST(TagMacros, ExpandInOrderAndOnlyInExactCase)
{
    SetAppModes();
    const QDateTime now(QDate(2010, 11, 10), QTime(14, 5, 33));
    TagMacroValues v;
    v.now = now;
    v.lTrackNum = 3;
    const QString date = ShortDateText(now.date());
    const QString time = TimeOfDayText(now.time());
    EXPECT_TRUE(time.contains("14") && time.contains("05") && time.contains("33")) << qPrintable(time);

    struct Case {
        QString in;
        QString out;
    };
    const Case cases[] = {
        {"[YEAR] and [YEAR]", "2010 and 2010"},
        {"[year] [Track_Num]", "[year] [Track_Num]"},
        {"#[TRACK_NUM] [PROG_NAME] [PROG_VERSION]", "#3 " + g_sAppName + " " + g_sAppVersion},
        {"[DATE] [TIME]", date + " " + time},
        {"[ITEM_NAME] [SOURCE_NAME] [RANGE]", "[ITEM_NAME] [SOURCE_NAME] [RANGE]"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpandTagMacros(c.in, v), c.out) << qPrintable(c.in);

    // No selected row: the track macro stays.
    v.lTrackNum = 0;
    EXPECT_EQ(ExpandTagMacros("[TRACK_NUM]", v), "[TRACK_NUM]");

    // The converter's row macros; "[YEAR]" comes after them and so expands
    // inside an item name, "[DATE]" comes before and does not.
    v.bRowMacros = true;
    v.bRowKnown = true;
    v.sSourceName = "song.wav";
    v.sItemName = "Best of [YEAR] [DATE]";
    v.sRange = "All";
    EXPECT_EQ(ExpandTagMacros("[SOURCE_NAME]/[ITEM_NAME]/[RANGE]", v), "song.wav/Best of 2010 [DATE]/All");
    v.bRowKnown = false;
    EXPECT_EQ(ExpandTagMacros("[ITEM_NAME]", v), "[ITEM_NAME]");
}

TEST(NoticeApp, MacrosReadTheLastRowOfTheMainGridAndArgumentsStayWhole)
{
    SetAppModes();
    tftest::FakeMain main;
    g_sAppNotice = "[PROG_NAME] [FILE_SIZE] [prog_name]";
    EXPECT_EQ(GetNoticAppParameters(), g_sAppName + " [FILE_SIZE] [prog_name]");

    main.addRow(true, {{"Item Name", "first.wav"}, {"Size", "1 KB"}});
    main.addRow(false, {{"Item Name", "My \"Song\" & more.mp3"},
                        {"Size", "2.50 MB"},
                        {"Time", "00:03:25"},
                        {"Created", "2010-11-10 14:05:33"}});
    g_sAppNotice = "[PROG_VERSION] [FILE_RECORDED] [FILE_SIZE] [FILE_TIME_LENGTH] [FILE_CREATED]";
    EXPECT_EQ(GetNoticAppParameters(),
              g_sAppVersion + " My \"Song\" & more.mp3 2.50 MB 00:03:25 2010-11-10 14:05:33");

    // Split first, then expand: a value with blanks and quotes is one argument.
    g_sAppNotice = "\"/opt/my tool/run\" --file [FILE_RECORDED] \"[PROG_NAME] [FILE_SIZE]\"";
    QString program;
    QStringList args;
    ASSERT_TRUE(NoticeAppCommand(program, args));
    EXPECT_EQ(program, "/opt/my tool/run");
    EXPECT_EQ(args, QStringList({"--file", "My \"Song\" & more.mp3", g_sAppName + " 2.50 MB"}));

    g_sAppNotice = "   ";
    EXPECT_FALSE(NoticeAppCommand(program, args));
    EXPECT_TRUE(program.isEmpty());
}

TEST(SpeechNames, ExtensionAndNameFollowTheFormatEntry)
{
    const struct {
        QString format;
        QString ext;
    } cases[] = {
        {"WAV - Waveform Audio Format (*.wav)", "wav"}, {"ACM - Waveform ACM Codecs (*.wav)", "wav"},
        {"mp3 - lower case", "mp3"},                    {"WMA - Windows Media Audio files (*.wma)", "wma"},
        {"OGG - Ogg Media Format (*.ogg)", "ogg"},      {"APE - Monkey 's Audio (*.ape)", "ape"},
        {"", ""},                                       {"FLAC", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetExt(c.format), c.ext) << qPrintable(c.format);

    const QDateTime at(QDate(2010, 11, 10), QTime(14, 5, 33));
    const QString name = CreateFileName("ignored", kMP3, at);
    EXPECT_EQ(name, "14-05-33_" + CleanFileName(ShortDateText(at.date())) + ".mp3");
    EXPECT_FALSE(name.contains('/') || name.contains(':') || name.contains(' '));
    EXPECT_TRUE(CreateFileName("x", kACM, at).endsWith(".wav"));
}
