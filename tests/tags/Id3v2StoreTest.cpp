// The ID3v2 tag store in memory: frames, tags and the field properties.
#include <gtest/gtest.h>
#include <functional>

#include "platform/ProgramDir.h"
#include "tags/cMP3ID3v2.h"
#include "tests/tags/TagTestUtil.h"

using namespace tagtest;

namespace {
QStringList frameList(cMP3ID3v2& t)
{
    QStringList ids;
    for (int i = 1; i <= t.FrameCount(); ++i)
        ids << t.Frame(i);
    return ids;
}

// The store as a version 2.3 tag: written into a plain audio file and read back raw.
RawTag writeStore(const std::function<void(cMP3ID3v2&)>& fill)
{
    const QString path = writeFile("store.mp3", mpegAudio(1));
    cMP3ID3v2 t;
    EXPECT_TRUE(t.setMP3File(path));
    fill(t);
    EXPECT_TRUE(t.Update()) << t.LastError().Description.toStdString();
    return readV23(readFile(path));
}
} // namespace

TEST(Id3v2Store, FrameListAndTagCounts)
{
    cMP3ID3v2 t;
    ASSERT_TRUE(t.setMP3File(writeFile("none.mp3", mpegAudio(1))));
    EXPECT_FALSE(t.HasID3v2Tag());
    EXPECT_EQ(t.FrameCount(), 0);
    EXPECT_EQ(t.Genre(), 255);

    t.setTitle("A");
    EXPECT_EQ(frameList(t), QStringList({"TIT2"}));
    EXPECT_EQ(t.TagsInFrame("TIT2"), 1);
    t.setTitle("B");
    EXPECT_EQ(t.TagsInFrame("TIT2"), 1);
    EXPECT_EQ(t.Title(), "B");

    t.setArtist("Artist");
    t.setTitle("C");
    EXPECT_EQ(frameList(t), QStringList({"TPE1", "TIT2"})) << "a let moves its frame to the end";

    t.AddTag("COMM", "a");
    t.AddTag("COMM", "b");
    t.AddTag("COMM", "c");
    EXPECT_EQ(t.TagsInFrame("COMM"), 3);
    EXPECT_EQ(t.FrameCount(), 3);
    ASSERT_TRUE(t.RemoveTag("COMM", 1));
    EXPECT_EQ(t.TagsInFrame("COMM"), 2);
    EXPECT_EQ(t.TagsInFrame("TPE1"), 1);

    t.AddTag("TXXX", "only");
    EXPECT_EQ(t.FrameCount(), 4);
    ASSERT_TRUE(t.RemoveTag("TXXX", 1));
    EXPECT_EQ(t.FrameCount(), 3);
    EXPECT_EQ(t.TagsInFrame("TXXX"), 0);

    ASSERT_TRUE(t.RemoveFrame("TPE1"));
    EXPECT_EQ(frameList(t), QStringList({"TIT2", "COMM"}));
}

TEST(Id3v2Store, RemainingTagsKeepTheirOrder)
{
    const RawTag tag = writeStore([](cMP3ID3v2& t) {
        t.AddTag("COMM", "a");
        t.AddTag("COMM", "b");
        t.AddTag("COMM", "c");
        t.AddTag("TPE1", "x");
        ASSERT_TRUE(t.RemoveTag("COMM", 1));
    });
    const auto comments = framesWithId(tag, "COMM");
    ASSERT_EQ(comments.size(), 2u);
    EXPECT_TRUE(comments[0].data.endsWith("b"));
    EXPECT_TRUE(comments[1].data.endsWith("c"));
    ASSERT_EQ(tag.frames.size(), 3u);
    EXPECT_EQ(tag.frames[0].id, "COMM");
    EXPECT_EQ(tag.frames[2].id, "TPE1");
}

TEST(Id3v2Store, LookupFailuresRaiseAndChangeNothing)
{
    const QString source = platform::programName() + ".cMP3ID3v2";
    cMP3ID3v2 t;
    ASSERT_TRUE(t.setMP3File(writeFile("none.mp3", mpegAudio(1))));
    t.AddTag("TIT2", "x");

    EXPECT_FALSE(t.RemoveFrame("ZZZZ"));
    EXPECT_EQ(t.LastError().Number, 5);
    EXPECT_EQ(t.LastError().Source, source);
    EXPECT_EQ(t.LastError().Description, "Invalid procedure call or argument");
    EXPECT_EQ(t.TagsInFrame("ZZZZ"), 0);

    for (int bad : {0, 2, -1}) {
        EXPECT_FALSE(t.RemoveTag("TIT2", bad)) << bad;
        EXPECT_EQ(t.LastError().Number, 5);
        EXPECT_EQ(t.LastError().Source, source);
    }
    EXPECT_FALSE(t.RemoveTag("TPE1", 1));
    EXPECT_EQ(t.TagsInFrame("TIT2"), 1);

    for (int bad : {0, 2}) {
        EXPECT_EQ(t.Frame(bad), "");
        EXPECT_EQ(t.LastError().Number, 9);
        EXPECT_EQ(t.LastError().Description, "Subscript out of range");
        EXPECT_EQ(t.LastError().Source, platform::programName()) << "the store's own failure, without the class";
    }
    EXPECT_EQ(t.Frame(1), "TIT2");
    EXPECT_FALSE(t.LastError().isError());
}

TEST(Id3v2Store, PropertiesWriteTheirFrames)
{
    const RawTag tag = writeStore([](cMP3ID3v2& t) {
        t.setTitle("Title");
        t.setArtist("Artist");
        t.setAlbum("Album");
        t.setYear("1999");
        t.setTrack("3/12");
        t.setComposer("Composer");
        t.setCopyright("Copyright");
        t.setOriginalArtist("Original");
        t.setEncodedBy("Encoder");
        t.setArtistURL("http://artist");
        t.setBuyURL("http://buy");
        t.setAudioURL("http://audio");
        t.setLinkTo("http://link");
        t.setComment("ntx");
        t.setLyrics("La la");
        t.setPlayCounter("300");
        t.setGenre(17);
        EXPECT_EQ(t.Comment(), "ntx") << "a comment that begins with nt keeps its letters";
    });
    const std::vector<std::pair<QByteArray, QByteArray>> expected = {
        {"TIT2", QByteArray("\0Title", 6)},
        {"TPE1", QByteArray("\0Artist", 7)},
        {"TALB", QByteArray("\0Album", 6)},
        {"TYER", QByteArray("\0" "1999", 5)},
        {"TRCK", QByteArray("\0" "3/12", 5)},
        {"TCOM", QByteArray("\0Composer", 9)},
        {"TCOP", QByteArray("\0Copyright", 10)},
        {"TOPE", QByteArray("\0Original", 9)},
        {"TENC", QByteArray("\0Encoder", 8)},
        {"WOAR", "http://artist"},
        {"WCOM", "http://buy"},
        {"WOAF", "http://audio"},
        {"WXXX", QByteArray("\0\0http://link", 13)},
        {"COMM", QByteArray("\0eng\0ntx", 8)},
        {"USLT", QByteArray("\0eng\0La la", 10)},
        {"PCNT", QByteArray("\0\0\x01\x2C", 4)},
        {"TCON", QByteArray("\0(17)", 5)},
    };
    ASSERT_EQ(tag.frames.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(tag.frames[i].id, expected[i].first);
        EXPECT_EQ(tag.frames[i].data, expected[i].second) << expected[i].first.constData();
        EXPECT_EQ(tag.frames[i].flags, 0);
    }
}

TEST(Id3v2Store, GenreAndOtherGenreNameShareTheGenreFrame)
{
    struct Case {
        const char* name;
        std::function<void(cMP3ID3v2&)> lets;
        QByteArray text; // "" = no frame
    } cases[] = {
        {"a number", [](cMP3ID3v2& t) { t.setGenre(17); }, "(17)"},
        {"a number and a name", [](cMP3ID3v2& t) { t.setGenre(17); t.setOtherGenreName("Rock"); }, "(17)Rock"},
        {"a name without a number", [](cMP3ID3v2& t) { t.setOtherGenreName("Chiptune"); }, "Chiptune"},
        {"255 is no genre and no frame", [](cMP3ID3v2& t) { t.setGenre(17); t.setGenre(255); }, ""},
        {"a name after 255", [](cMP3ID3v2& t) { t.setGenre(255); t.setOtherGenreName("Rock"); }, "Rock"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RawTag tag = writeStore(c.lets);
        const auto tcon = framesWithId(tag, "TCON");
        if (c.text.isEmpty()) {
            EXPECT_TRUE(tcon.empty());
        } else {
            ASSERT_EQ(tcon.size(), 1u);
            EXPECT_EQ(tcon[0].data, QByteArray(1, '\0') + c.text);
        }
    }
}

TEST(Id3v2Store, TextsOutsideLatin1AreWrittenAsUtf16)
{
    const QString title = QString::fromUtf8("\xe6\x9d\xb1\xe4\xba\xac \xe2\x80\x94 Caf\xc3\xa9");
    const RawTag tag = writeStore([&](cMP3ID3v2& t) {
        t.setTitle(title);
        t.setArtist(QString::fromUtf8("Bj\xc3\xb6rk"));
        t.setComment(title);
        t.setLinkTo(QString::fromUtf8("http://x/\xe6\x9d\xb1"));
    });
    QByteArray utf16;
    for (const QChar c : title)
        utf16.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    EXPECT_EQ(framesWithId(tag, "TIT2").at(0).data, QByteArray("\x01\xFF\xFE", 3) + utf16);
    EXPECT_EQ(framesWithId(tag, "TPE1").at(0).data, QByteArray("\0Bj\xF6rk", 6)) << "Latin-1 when it fits";
    EXPECT_EQ(framesWithId(tag, "COMM").at(0).data,
              QByteArray("\x01" "eng\xFF\xFE\0\0\xFF\xFE", 10) + utf16);
    EXPECT_EQ(framesWithId(tag, "WXXX").at(0).data, QByteArray("\0\0http://x/%E6%9D%B1", 20));
}
