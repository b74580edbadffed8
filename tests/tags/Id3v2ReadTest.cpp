// Reading ID3v2 tags of versions 2.2 to 2.4 into the store and the fields.
#include <gtest/gtest.h>

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

void readTag(cMP3ID3v2& t, const QByteArray& tagBytes, const QString& name = "read.mp3")
{
    ASSERT_TRUE(t.setMP3File(writeFile(name, tagBytes + mpegAudio(2))));
}
} // namespace

TEST(Id3v2Read, GenreTextsGiveNumberAndName)
{
    const struct {
        QByteArray text;
        int genre;
        QString other;
    } cases[] = {
        {"(17)", 17, "Rock"},    {"(17)Hard", 17, "Hard"}, {"(17)X", 17, "X"},        {"(9)", 9, "Metal"},
        {"Rock", 255, "Rock"},   {"(RX)", 255, "(RX)"},    {"(300)", 255, "(300)"},  {"(123)", 123, ""},
        {"13", 13, "Pop"},       {"123", 123, ""},         {")5(", 255, ")5("},      {"()", 255, "()"},
        {"256", 255, "256"},     {"(-1)", 255, "(-1)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.constData());
        cMP3ID3v2 t;
        readTag(t, tag(3, frame(3, "TCON", latin1Text(c.text)), 20));
        EXPECT_EQ(t.Genre(), c.genre);
        EXPECT_EQ(t.OtherGenreName(), c.other);
    }
}

TEST(Id3v2Read, TextEncodings)
{
    const QString text = QString::fromUtf8("Caf\xc3\xa9 \xe6\x9d\xb1");
    QByteArray utf16be(1, '\x02'), utf8(1, '\x03');
    for (const QChar c : text)
        utf16be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    utf8.append(text.toUtf8());
    const struct {
        const char* name;
        int version;
        QByteArray content;
        QString title;
    } cases[] = {
        {"Latin-1", 3, latin1Text("Caf\xE9"), QString::fromUtf8("Caf\xc3\xa9")},
        {"UTF-16, little-endian mark", 3, utf16Text(text), text},
        {"UTF-16, big-endian mark", 3, utf16Text(text, true), text},
        {"UTF-16 with terminator", 3, utf16Text(text) + QByteArray(2, '\0'), text},
        {"UTF-16BE", 4, utf16be, text},
        {"UTF-8", 4, utf8, text},
        {"terminated Latin-1 ignores what follows (2.3)", 3, latin1Text(QByteArray("A\0B", 3)), "A"},
        {"several values (2.4)", 4, latin1Text(QByteArray("A\0B\0", 4)), "A/B"},
        {"no encoding byte", 3, "Plain", "Plain"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cMP3ID3v2 t;
        readTag(t, tag(c.version, frame(c.version, "TIT2", c.content), 10));
        EXPECT_EQ(t.Title(), c.title);
    }
}

// Comment, lyrics and link show the first tag without a description, its text alone.
TEST(Id3v2Read, DescribedFramesShowTheirTextAlone)
{
    const QByteArray frames =
        frame(3, "COMM", QByteArray("\0engiTunNORM\0 00000A", 20)) + frame(3, "COMM", QByteArray("\0eng\0first", 10)) +
        frame(3, "COMM", QByteArray("\0deu\0second", 11)) + frame(3, "USLT", QByteArray("\0eng\0Words", 10)) +
        frame(3, "WXXX", QByteArray("\0named\0http://named", 19)) + frame(3, "WXXX", QByteArray("\0\0http://plain", 14)) +
        frame(3, "COMM", utf16Text("x").left(1) + "eng" + QByteArray("\xFF\xFE\0\0", 4) + utf16Text("wide").mid(1));
    cMP3ID3v2 t;
    readTag(t, tag(3, frames, 30));
    EXPECT_EQ(t.Comment(), "first");
    EXPECT_EQ(t.Lyrics(), "Words");
    EXPECT_EQ(t.LinkTo(), "http://plain");
    EXPECT_EQ(t.TagsInFrame("COMM"), 4);

    cMP3ID3v2 only;
    readTag(only, tag(3, frame(3, "COMM", QByteArray("\0engiTunNORM\0 00000A", 20)), 10));
    EXPECT_EQ(only.Comment(), "") << "a described comment is not the comment";

    cMP3ID3v2 bare;
    readTag(bare, tag(3, frame(3, "USLT", QByteArray("\0\0La la la", 10)), 10));
    EXPECT_EQ(bare.Lyrics(), "La la la") << "lyrics without language and description";

    cMP3ID3v2 wide;
    readTag(wide, tag(3, frame(3, "COMM", utf16Text("x").left(1) + "eng" + QByteArray("\xFF\xFE\0\0", 4) +
                                              utf16Text("wide").mid(1)), 10));
    EXPECT_EQ(wide.Comment(), "wide");
}

TEST(Id3v2Read, FieldsFromTheirFrames)
{
    const QByteArray frames =
        frame(3, "TIT2", latin1Text("First")) + frame(3, "TIT2", latin1Text("Second")) +
        frame(3, "TPE1", latin1Text("Artist")) + frame(3, "TALB", latin1Text("Album")) +
        frame(3, "TYER", latin1Text("1999")) + frame(3, "TRCK", latin1Text("4/9")) +
        frame(3, "TENC", latin1Text("Enc")) + frame(3, "TOPE", latin1Text("Orig")) +
        frame(3, "TCOM", latin1Text("Comp")) + frame(3, "TCOP", latin1Text("Copy")) +
        frame(3, "WOAF", "http://audio") + frame(3, "WOAR", QByteArray("http://artist\0", 14)) +
        frame(3, "WCOM", "http://buy") + frame(3, "PCNT", QByteArray("\0\0\x01\x00\x05", 5)) +
        frame(3, "PRIV", QByteArray("owner\0\x01\x02", 8));
    cMP3ID3v2 t;
    readTag(t, tag(3, frames, 0));
    EXPECT_TRUE(t.HasID3v2Tag());
    EXPECT_EQ(t.ID3v2TagVersion(), 3);
    EXPECT_EQ(t.TagVersion(), 3);
    EXPECT_EQ(t.TagsInFrame("TIT2"), 2);
    EXPECT_EQ(t.Title(), "Second") << "the last of several frames fills the field";
    EXPECT_EQ(t.Artist(), "Artist");
    EXPECT_EQ(t.Album(), "Album");
    EXPECT_EQ(t.Year(), "1999");
    EXPECT_EQ(t.Track(), "4/9");
    EXPECT_EQ(t.EncodedBy(), "Enc");
    EXPECT_EQ(t.OriginalArtist(), "Orig");
    EXPECT_EQ(t.Composer(), "Comp");
    EXPECT_EQ(t.Copyright(), "Copy");
    EXPECT_EQ(t.AudioURL(), "http://audio");
    EXPECT_EQ(t.ArtistURL(), "http://artist");
    EXPECT_EQ(t.BuyURL(), "http://buy");
    EXPECT_EQ(t.PlayCounter(), "65541");
    EXPECT_EQ(t.Genre(), 255);
    EXPECT_EQ(frameList(t), QStringList({"TIT2", "TPE1", "TALB", "TYER", "TRCK", "TENC", "TOPE", "TCOM", "TCOP",
                                         "WOAF", "WOAR", "WCOM", "PCNT", "PRIV"}))
        << "the last frame ends exactly at the tag size and is read";

    // A new file starts over.
    ASSERT_TRUE(t.setMP3File(writeFile("plain.mp3", mpegAudio(1))));
    EXPECT_FALSE(t.HasID3v2Tag());
    EXPECT_EQ(t.ID3v2TagVersion(), 0);
    EXPECT_EQ(t.FrameCount(), 0);
    EXPECT_EQ(t.Title() + t.Artist() + t.Lyrics() + t.OtherGenreName() + t.PlayCounter(), "");
    EXPECT_EQ(t.Genre(), 255);
}

TEST(Id3v2Read, Version22FramesTakeVersion23Identifiers)
{
    const QByteArray frames = frame(2, "TT2", latin1Text("Title")) + frame(2, "TP1", latin1Text("Artist")) +
                              frame(2, "TYE", latin1Text("2011")) + frame(2, "COM", QByteArray("\0eng\0Note", 9)) +
                              frame(2, "TP2", latin1Text("Band")) + frame(2, "PIC", QByteArray("\0PNG\x03\0\x89PNG", 10)) +
                              frame(2, "ZZZ", "kept") + frame(2, "TCO", latin1Text("(8)"));
    cMP3ID3v2 t;
    readTag(t, tag(2, frames, 12));
    EXPECT_EQ(t.ID3v2TagVersion(), 2);
    EXPECT_EQ(frameList(t), QStringList({"TIT2", "TPE1", "TYER", "COMM", "TPE2", "APIC", "XZZZ", "TCON"}));
    EXPECT_EQ(t.Title(), "Title");
    EXPECT_EQ(t.Artist(), "Artist");
    EXPECT_EQ(t.Year(), "2011");
    EXPECT_EQ(t.Comment(), "Note");
    EXPECT_EQ(t.Genre(), 8);
    EXPECT_EQ(t.OtherGenreName(), "Jazz");
}

TEST(Id3v2Read, Version24Frames)
{
    // 200 bytes of content, its size written synchsafe as 0, 0, 1, 72.
    const QByteArray longText = latin1Text(QByteArray(199, 'x'));
    QByteArray v24 = frame(4, "TIT2", longText);
    ASSERT_EQ(v24.mid(4, 4), QByteArray("\0\0\x01\x48", 4));
    // A plain (not synchsafe) size, as some writers put into 2.4 tags.
    const QByteArray picture(300, '\xAB');
    const QByteArray apicContent = QByteArray("\0image/png\0\x03\0", 13) + picture;
    const QByteArray apic = "APIC" + be32(quint32(apicContent.size())) + QByteArray(2, '\0') + apicContent;
    ASSERT_NE(apic.mid(4, 4), synchsafe(quint32(apicContent.size())));
    const QByteArray frames = v24 + apic + frame(4, "TPE1", latin1Text("After")) +
                              frame(4, "TDRC", latin1Text("2004-05-06")) + frame(4, "TCON", latin1Text("13"));
    cMP3ID3v2 t;
    readTag(t, tag(4, frames, 40));
    EXPECT_EQ(t.Title(), QString(199, 'x'));
    EXPECT_EQ(frameList(t), QStringList({"TIT2", "APIC", "TPE1", "TDRC", "TCON"}));
    EXPECT_EQ(t.Artist(), "After");
    EXPECT_EQ(t.Year(), "2004-05-06") << "version 2.4 keeps the year in its recording time";
    EXPECT_EQ(t.Genre(), 13);
    EXPECT_EQ(t.OtherGenreName(), "Pop");

    cMP3ID3v2 both;
    readTag(both, tag(4, frame(4, "TYER", latin1Text("1999")) + frame(4, "TDRC", latin1Text("2004")), 10));
    EXPECT_EQ(both.Year(), "1999");
}

// Unsynchronisation, extended headers and footers are undone before frames are read.
TEST(Id3v2Read, HeaderFlags)
{
    const QByteArray ffText = utf16Text(QString::fromUtf8("\xc3\xbf\xc3\xbf y"), false); // FF FE FF 00 FF 00 ...
    auto unsync = [](const QByteArray& in) {
        QByteArray out;
        for (int i = 0; i < in.size(); ++i) {
            out.append(in[i]);
            if (quint8(in[i]) == 0xFF && (i + 1 == in.size() || quint8(in[i + 1]) == 0 || quint8(in[i + 1]) >= 0xE0))
                out.append('\0');
        }
        return out;
    };
    const QString expected = QString::fromUtf8("\xc3\xbf\xc3\xbf y");
    const QByteArray plainFrames = frame(3, "TIT2", ffText) + frame(3, "TPE1", latin1Text("Artist"));

    const QByteArray ext23 = be32(6) + QByteArray(6, '\0');
    const QByteArray ext24 = synchsafe(6) + QByteArray("\x01\x00", 2);
    QByteArray v24unsyncFrame = frame(4, "TIT2", unsync(ffText), 0x0002);
    QByteArray v24footer = tag(4, frame(4, "TIT2", ffText) + frame(4, "TPE1", latin1Text("Artist")), 10, 0x10);
    v24footer += "3DI" + v24footer.mid(3, 7);

    const struct {
        const char* name;
        QByteArray tagBytes;
    } cases[] = {
        {"2.3, whole tag unsynchronised", tag(3, unsync(plainFrames + QByteArray(8, '\0')), 0, 0x80)},
        {"2.3, extended header", tag(3, ext23 + plainFrames, 10, 0x40)},
        {"2.3, unsynchronised extended header", tag(3, unsync(ext23 + plainFrames), 4, 0xC0)},
        {"2.4, frame unsynchronised", tag(4, v24unsyncFrame + frame(4, "TPE1", latin1Text("Artist")), 10)},
        {"2.4, tag unsynchronised",
         tag(4, frame(4, "TIT2", unsync(ffText)) + frame(4, "TPE1", latin1Text("Artist")), 10, 0x80)},
        {"2.4, extended header", tag(4, ext24 + frame(4, "TIT2", ffText) + frame(4, "TPE1", latin1Text("Artist")), 5, 0x40)},
        {"2.4, footer", v24footer},
        {"2.4, data length and group byte",
         tag(4, frame(4, "TIT2", QByteArray(1, '\x07') + synchsafe(quint32(ffText.size())) + ffText, 0x0041) +
                    frame(4, "TPE1", latin1Text("Artist")), 10)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cMP3ID3v2 t;
        readTag(t, c.tagBytes);
        EXPECT_TRUE(t.HasID3v2Tag());
        EXPECT_EQ(t.Title(), expected);
        EXPECT_EQ(t.Artist(), "Artist");
        EXPECT_EQ(frameList(t), QStringList({"TIT2", "TPE1"}));
    }
}

// A tag is taken only at the start of the file with a header that holds together.
TEST(Id3v2Read, OnlyAValidHeaderAtTheStartIsATag)
{
    const QByteArray good = tag(3, frame(3, "TIT2", latin1Text("T")), 10);
    QByteArray badSize = good;
    badSize[8] = char(0x80);
    QByteArray tooLong = tag(3, frame(3, "TIT2", latin1Text("T")), 10);
    tooLong.replace(6, 4, synchsafe(100000));
    QByteArray v5 = good;
    v5[3] = 5;
    QByteArray v1 = good;
    v1[3] = 1;
    const struct {
        const char* name;
        QByteArray bytes;
        bool found;
    } cases[] = {
        {"at the start", good + mpegAudio(2), true},
        {"after 20 other bytes", QByteArray(20, 'x') + good + mpegAudio(2), false},
        {"inside the audio, beyond the first 4096 bytes", mpegAudio(10) + good, false},
        {"across the end of the first 4096 bytes", mpegAudio(9).left(4094) + good, false},
        {"a size byte with its high bit", badSize + mpegAudio(2), false},
        {"a size past the end of the file", tooLong + mpegAudio(2), false},
        {"version 5", v5 + mpegAudio(2), false},
        {"version 1", v1 + mpegAudio(2), false},
        {"only the letters", QByteArray("ID3"), false},
        {"an empty file", QByteArray(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cMP3ID3v2 t;
        ASSERT_TRUE(t.setMP3File(writeFile("find.mp3", c.bytes)));
        EXPECT_EQ(t.HasID3v2Tag(), c.found);
        EXPECT_EQ(t.ID3v2TagVersion(), c.found ? 3 : 0);
        EXPECT_EQ(t.Title(), c.found ? "T" : "");
        EXPECT_EQ(t.FrameCount(), c.found ? 1 : 0);
    }
}

TEST(Id3v2Read, DamagedFramesEndTheReadingAndKeepWhatCameBefore)
{
    const QByteArray first = frame(3, "TIT2", latin1Text("T")) + frame(3, "TPE1", latin1Text("A"));
    QByteArray overrun = frame(3, "TALB", latin1Text("Album"));
    overrun.replace(4, 4, be32(5000));
    const struct {
        const char* name;
        QByteArray tagBytes;
    } cases[] = {
        {"a frame running past the tag", tag(3, first + overrun, 0)},
        {"bytes that are no frame identifier", tag(3, first + "t!x?" + QByteArray(20, '\x01'), 0)},
        {"zero padding", tag(3, first + QByteArray(100, '\0'), 0)},
        {"padding too short for a frame header", tag(3, first + "TAL", 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cMP3ID3v2 t;
        readTag(t, c.tagBytes);
        EXPECT_EQ(frameList(t), QStringList({"TIT2", "TPE1"}));
    }
}

TEST(Id3v2Read, CompressedAndEncryptedFrames)
{
    const QByteArray text = latin1Text("Compressed title");
    const QByteArray z = qCompress(text).mid(4); // a zlib stream
    const struct {
        const char* name;
        QByteArray tagBytes;
        QString title;
    } cases[] = {
        {"2.3 compressed", tag(3, frame(3, "TIT2", be32(quint32(text.size())) + z, 0x0080), 10), "Compressed title"},
        {"2.4 compressed", tag(4, frame(4, "TIT2", synchsafe(quint32(text.size())) + z, 0x0009), 10),
         "Compressed title"},
        {"2.3 encrypted", tag(3, frame(3, "TIT2", QByteArray(1, '\x80') + text, 0x0040), 10), ""},
        {"2.3 compressed, broken stream", tag(3, frame(3, "TIT2", be32(100) + "garbage", 0x0080), 10), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cMP3ID3v2 t;
        readTag(t, c.tagBytes);
        EXPECT_EQ(t.TagsInFrame("TIT2"), 1);
        EXPECT_EQ(t.Title(), c.title);
    }
}

TEST(Id3v2Read, AFileThatCannotBeReadRaisesAndResets)
{
    cMP3ID3v2 t;
    readTag(t, tag(3, frame(3, "USLT", QByteArray("\0eng\0Words", 10)) + frame(3, "TCON", latin1Text("(3)")), 10));
    ASSERT_EQ(t.Lyrics(), "Words");
    const QString missing = tempFolder() + "/missing.mp3";
    EXPECT_FALSE(t.setMP3File(missing));
    EXPECT_EQ(t.LastError().Number, 53);
    EXPECT_EQ(t.LastError().Description, "File not found");
    EXPECT_EQ(t.MP3File(), missing);
    EXPECT_EQ(t.FrameCount(), 0);
    EXPECT_EQ(t.Lyrics(), "");
    EXPECT_EQ(t.Genre(), 255);
    EXPECT_FALSE(t.HasID3v2Tag());

    EXPECT_FALSE(t.setMP3File(tempFolder()));
    EXPECT_EQ(t.LastError().Number, 75);
}
