// The ID3v1 block at the end of a file: layout, texts, placement, errors.
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <csignal>

#include "platform/ProgramDir.h"
#include "tags/cMP3ID3v1.h"
#include "tests/tags/TagTestUtil.h"

using namespace tagtest;

namespace {
QString source() { return platform::programName() + ".cMP3ID3v1"; }
} // namespace

TEST(Id3v1, WritesTheTrackLayoutWithTextsCutOrBlankPadded)
{
    struct Case {
        const char* name;
        QString title, artist, album, year, comment;
        quint8 track, genre;
        QByteArray titleField, yearField, commentField; // as stored
        QString titleRead, commentRead;
    } cases[] = {
        {"short texts are blank padded", "AB", "Art", "Alb", "1999", "c", 7, 17, "AB" + QByteArray(28, ' '), "1999",
         "c" + QByteArray(27, ' '), "AB", "c"},
        {"long texts are cut", QString(35, 'T'), "a", "b", "20245", QString(40, 'C'), 1, 0, QByteArray(30, 'T'), "2024",
         QByteArray(28, 'C'), QString(30, 'T'), QString(28, 'C')},
        {"leading blanks do not survive a read", "  Lead", "", "", "", "  x  ", 0, 255,
         "  Lead" + QByteArray(24, ' '), "    ", "  x  " + QByteArray(23, ' '), "Lead", "x"},
        {"what Latin-1 cannot hold becomes ?", QString::fromUtf8("Caf\xc3\xa9 \xe6\x9d\xb1"), "", "", "", "", 2, 3,
         "Caf\xe9 ?" + QByteArray(24, ' '), "    ", QByteArray(28, ' '), QString::fromUtf8("Caf\xc3\xa9 ?"), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray audio = mpegAudio(3);
        const QString path = writeFile("v1.mp3", audio);
        cMP3ID3v1 w;
        ASSERT_TRUE(w.setMP3File(path));
        EXPECT_FALSE(w.HasID3v1Tag());
        w.setTitle(c.title);
        w.setArtist(c.artist);
        w.setAlbum(c.album);
        w.setYear(c.year);
        w.setComment(c.comment);
        w.setTrack(c.track);
        w.setGenre(c.genre);
        ASSERT_TRUE(w.Update()) << w.LastError().Description.toStdString();
        EXPECT_FALSE(w.HasID3v1Tag()) << "Update does not re-read";

        const QByteArray bytes = readFile(path);
        ASSERT_EQ(bytes.size(), audio.size() + 128);
        EXPECT_EQ(bytes.left(audio.size()), audio);
        const QByteArray block = bytes.right(128);
        EXPECT_EQ(block.left(3), "TAG");
        EXPECT_EQ(block.mid(3, 30), c.titleField);
        EXPECT_EQ(block.mid(93, 4), c.yearField);
        EXPECT_EQ(block.mid(97, 28), c.commentField);
        EXPECT_EQ(block[125], '\0');
        EXPECT_EQ(quint8(block[126]), c.track);
        EXPECT_EQ(quint8(block[127]), c.genre);

        cMP3ID3v1 r;
        ASSERT_TRUE(r.setMP3File(path));
        EXPECT_TRUE(r.HasID3v1Tag());
        EXPECT_EQ(r.Title(), c.titleRead);
        EXPECT_EQ(r.Comment(), c.commentRead);
        EXPECT_EQ(r.Track(), c.track);
        EXPECT_EQ(r.Genre(), c.genre);
    }
}

TEST(Id3v1, ReadsFieldsAndStripsZerosAndBlanks)
{
    QByteArray block = v1Block(QByteArray("AB\0CD", 5), "  Artist\t ", "Album", "2001", "Comment", 9);
    block[125] = 0;
    block[126] = 12;
    const QString path = writeFile("read.mp3", mpegAudio(2) + block);
    cMP3ID3v1 r;
    ASSERT_TRUE(r.setMP3File(path));
    EXPECT_TRUE(r.HasID3v1Tag());
    EXPECT_EQ(r.Title(), "ABCD");
    EXPECT_EQ(r.Artist(), "Artist\t") << "only blanks are trimmed";
    EXPECT_EQ(r.Album(), "Album");
    EXPECT_EQ(r.Year(), "2001");
    EXPECT_EQ(r.Comment(), "Comment");
    EXPECT_EQ(r.Track(), 12);
    EXPECT_EQ(r.Genre(), 9);
    EXPECT_EQ(r.MP3File(), path);
}

TEST(Id3v1, UpdatesAnExistingBlockInPlace)
{
    const QByteArray audio = mpegAudio(4);
    const QString path = writeFile("inplace.mp3", audio + v1Block("Old", "Old", "Old", "1900", "Old", 1));
    cMP3ID3v1 t;
    ASSERT_TRUE(t.setMP3File(path));
    t.setTitle("New");
    t.setTrack(5);
    ASSERT_TRUE(t.Update());
    const QByteArray bytes = readFile(path);
    ASSERT_EQ(bytes.size(), audio.size() + 128);
    EXPECT_EQ(bytes.left(audio.size()), audio);
    cMP3ID3v1 r;
    ASSERT_TRUE(r.setMP3File(path));
    EXPECT_EQ(r.Title(), "New");
    EXPECT_EQ(r.Artist(), "Old");
    EXPECT_EQ(r.Track(), 5);
    EXPECT_EQ(r.Genre(), 1);
}

// A block of the older layout holds a 30-character comment and no track.
TEST(Id3v1, KeepsTheThirtyCharacterCommentOfTheOlderLayout)
{
    const QByteArray comment30 = "123456789012345678901234567890";
    const QByteArray audio = mpegAudio(2);
    const QString path = writeFile("v10.mp3", audio + v1Block("T", "A", "B", "1999", comment30, 4));
    cMP3ID3v1 t;
    ASSERT_TRUE(t.setMP3File(path));
    EXPECT_EQ(t.Comment(), QString::fromLatin1(comment30));
    EXPECT_EQ(t.Track(), 0);

    t.setTitle("Changed");
    ASSERT_TRUE(t.Update());
    QByteArray block = readFile(path).right(128);
    EXPECT_EQ(block.mid(97, 30), comment30) << "the comment keeps all 30 characters while there is no track";
    cMP3ID3v1 r;
    ASSERT_TRUE(r.setMP3File(path));
    EXPECT_EQ(r.Comment(), QString::fromLatin1(comment30));
    EXPECT_EQ(r.Title(), "Changed");

    // Once a track is given the comment yields its last two bytes to it.
    r.setTrack(3);
    ASSERT_TRUE(r.Update());
    block = readFile(path).right(128);
    EXPECT_EQ(block.mid(97, 28), comment30.left(28));
    EXPECT_EQ(block[125], '\0');
    EXPECT_EQ(block[126], '\3');
}

TEST(Id3v1, FindsABlockOnlyAsTheLastBlockOfALongerFile)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        bool found;
    } cases[] = {
        {"lower-case letters are no tag", QByteArray(72, 'x') + "tag" + QByteArray(125, ' '), false},
        {"a file of exactly one block", v1Block("T", "", "", "", "", 1), false},
        {"a block one byte before the end", mpegAudio(1) + v1Block("T", "", "", "", "", 1) + "x", false},
        {"a block at the end", mpegAudio(1) + v1Block("T", "", "", "", "", 1), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cMP3ID3v1 t;
        ASSERT_TRUE(t.setMP3File(writeFile("find.mp3", c.bytes)));
        EXPECT_EQ(t.HasID3v1Tag(), c.found);
        EXPECT_EQ(t.Title(), c.found ? "T" : "");
        EXPECT_EQ(t.Genre(), c.found ? 1 : 255);
    }

    // The lower-case block is audio to the writer: a new block is appended.
    const QString path = writeFile("lower.mp3", QByteArray(72, 'x') + "tag" + QByteArray(125, ' '));
    cMP3ID3v1 t;
    ASSERT_TRUE(t.setMP3File(path));
    ASSERT_TRUE(t.Update());
    EXPECT_EQ(QFileInfo(path).size(), 328);
}

TEST(Id3v1, StateBeforeAndAfterReads)
{
    cMP3ID3v1 fresh;
    EXPECT_EQ(fresh.Genre(), 0);
    EXPECT_EQ(fresh.Track(), 0);
    EXPECT_FALSE(fresh.HasID3v1Tag());
    EXPECT_EQ(fresh.MP3File(), "");

    cMP3ID3v1 t;
    ASSERT_TRUE(t.setMP3File(writeFile("tagged.mp3", mpegAudio(1) + v1Block("T", "A", "B", "2000", "C", 5))));
    ASSERT_TRUE(t.setMP3File(writeFile("plain.mp3", mpegAudio(1))));
    EXPECT_FALSE(t.HasID3v1Tag());
    EXPECT_EQ(t.Genre(), 255);
    EXPECT_EQ(t.Track(), 0);
    EXPECT_EQ(t.Title() + t.Artist() + t.Album() + t.Year() + t.Comment(), "");
}

TEST(Id3v1, RaisesNumberedErrorsAndLeavesFilesAlone)
{
    const QString missing = tempFolder() + "/missing.mp3";
    const QString empty = writeFile("empty.mp3", QByteArray());
    const QString tiny = writeFile("tiny.mp3", v1Block("T", "", "", "", "", 1));

    cMP3ID3v1 t;
    t.setTitle("x");
    EXPECT_FALSE(t.setMP3File(missing));
    EXPECT_EQ(t.LastError().Number, 53);
    EXPECT_EQ(t.LastError().Source, source());
    EXPECT_EQ(t.LastError().Description, "File not found");
    EXPECT_EQ(t.Title(), "");
    EXPECT_EQ(t.Genre(), 255);
    EXPECT_FALSE(t.setMP3File(tempFolder() + "/no/such.mp3"));
    EXPECT_EQ(t.LastError().Number, 76);
    EXPECT_EQ(t.LastError().Description, "Path not found");

    struct Case {
        const char* name;
        QString path;
        qint32 number;
        QString description;
    } cases[] = {
        {"missing file: never created", missing, -2147217407, missing + " is not a valid MP3 file."},
        {"empty file", empty, -2147217407, empty + " is not a valid MP3 file."},
        {"a file no longer than one block", tiny, -2147217407, tiny + " is not a valid MP3 file."},
        {"a folder", tempFolder(), 75, "Path/File access error"},
        {"no path", QString(), 52, "Bad file name or number"},
        {"missing folder: never created", tempFolder() + "/no/such.mp3", -2147217407,
         tempFolder() + "/no/such.mp3 is not a valid MP3 file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cMP3ID3v1 w;
        w.setMP3File(c.path);
        w.setTitle("Title");
        const QByteArray before = readFile(c.path);
        EXPECT_FALSE(w.Update());
        EXPECT_EQ(w.LastError().Number, c.number);
        EXPECT_EQ(w.LastError().Source, source());
        EXPECT_EQ(w.LastError().Description, c.description);
        EXPECT_EQ(readFile(c.path), before);
    }
    EXPECT_FALSE(QFile::exists(missing));

    // A success clears the error.
    cMP3ID3v1 ok;
    ok.setMP3File(missing);
    ASSERT_TRUE(ok.LastError().isError());
    ASSERT_TRUE(ok.setMP3File(writeFile("ok.mp3", mpegAudio(1))));
    EXPECT_FALSE(ok.LastError().isError());
}

// A write the disk refuses is reported and leaves no half block.
TEST(Id3v1, AFailedAppendIsReportedAndUndone)
{
    const QByteArray audio = mpegAudio(2);
    const QString path = writeFile("limit.mp3", audio);
    cMP3ID3v1 t;
    ASSERT_TRUE(t.setMP3File(path));
    t.setTitle("Title");

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = rlim_t(audio.size() + 50);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool ok = t.Update();
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_FALSE(ok);
    EXPECT_EQ(t.LastError().Number, 61);
    EXPECT_EQ(t.LastError().Source, source());
    EXPECT_EQ(readFile(path), audio);
}
