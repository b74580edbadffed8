// Tags written by other programs: the public sample files.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>

#include "tags/Id3v2Codec.h"
#include "tags/cMP3ID3v1.h"
#include "tags/cMP3ID3v2.h"
#include "tests/support/TestEnv.h"
#include "tests/tags/TagTestUtil.h"

using namespace tagtest;

namespace {
QStringList sampleFiles()
{
    const QString dir = testenv::testDataDir();
    if (dir.isEmpty())
        return {};
    QStringList out;
    for (const QString& name : QDir(dir + "/taglib").entryList({"*.mp3", "*.id3"}, QDir::Files, QDir::Name))
        out << dir + "/taglib/" + name;
    return out;
}

QString samplePath(const QString& name) { return testenv::testDataDir() + "/taglib/" + name; }

QMap<QString, int> frameCounts(cMP3ID3v2& t)
{
    QMap<QString, int> counts;
    for (int i = 1; i <= t.FrameCount(); ++i) {
        const QString id = t.Frame(i);
        counts[id] = t.TagsInFrame(id);
    }
    return counts;
}

// The space of a valid tag at the start of the bytes, else 0.
qint64 tagSpace(const QByteArray& bytes)
{
    if (bytes.size() < 10)
        return 0;
    const auto h = id3v2::parseHeader(bytes.constData(), bytes.size());
    return h ? h->space() : 0;
}
} // namespace

TEST(SampleFiles, ReadWhatTheFilesHold)
{
    if (testenv::testDataDir().isEmpty())
        GTEST_SKIP() << "no sample files";
    const struct {
        const char* file;
        int version;
        const char* title;
        const char* artist;
        const char* album;
        const char* year;
        const char* track;
        const char* comment;
        int genre;
        const char* otherGenre;
    } cases[] = {
        {"itunes10.mp3", 2, "iTunes10MP3", "Artist", "Album", "2011", "1/10", "Comments", 255, "Heavy Metal"},
        {"unsynch.id3", 3, "My babe just cares for me", "Nina Simone", "100% Jazz", "", "03", "", 255, ""},
        {"unsynch24.id3", 4, "Hi", "", "", "", "", "", 255, ""},
        {"extended-header.mp3", 4, "Druids", "Excelsis", "Vo Chrieger U Drache", "2013", "03", "", 255,
         "Folk/Power Metal"},
        {"005411.id3", 4, "Sunshine Superman", "Donovan", "Sunshine Superman", "1966", "1", "", 80, "Folk"},
        {"broken-tenc.id3", 4, "Take On Me", "A Ha", "1985", "1985", "1", "", 255, "80s"},
        {"duplicate_id3v2.mp3", 3, "TitleXXXX", "ArtistXXXX", "AlbumXXXX", "", "", "", 255, ""},
        {"rare_frames.mp3", 4, "", "", "", "", "", "A COMMENT", 13, "Pop"},
        {"id3v22-tda.mp3", 2, "", "", "", "2010", "1", "", 255, ""},
        // Tags whose size runs past the end of a cut-off file are no tags.
        {"w000.mp3", 0, "", "", "", "", "", "", 255, ""},
        {"excessive_alloc.mp3", 0, "", "", "", "", "", "", 255, ""},
        {"ape-id3v2.mp3", 4, "Title", "", "", "", "", "", 255, ""},
        {"xing.mp3", 0, "", "", "", "", "", "", 255, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        cMP3ID3v2 t;
        ASSERT_TRUE(t.setMP3File(samplePath(c.file))) << t.LastError().Description.toStdString();
        EXPECT_EQ(t.HasID3v2Tag(), c.version != 0);
        EXPECT_EQ(t.ID3v2TagVersion(), c.version);
        EXPECT_EQ(t.Title(), QString::fromUtf8(c.title));
        EXPECT_EQ(t.Artist(), QString::fromUtf8(c.artist));
        EXPECT_EQ(t.Album(), QString::fromUtf8(c.album));
        EXPECT_EQ(t.Year(), QString::fromUtf8(c.year));
        EXPECT_EQ(t.Track(), QString::fromUtf8(c.track));
        EXPECT_EQ(t.Comment(), QString::fromUtf8(c.comment));
        EXPECT_EQ(t.Genre(), c.genre);
        EXPECT_EQ(t.OtherGenreName(), QString::fromUtf8(c.otherGenre));
    }

    cMP3ID3v2 itunes;
    ASSERT_TRUE(itunes.setMP3File(samplePath("itunes10.mp3")));
    EXPECT_EQ(itunes.Lyrics(), "Lyrics");
    EXPECT_EQ(itunes.Composer(), "Composer");
    EXPECT_EQ(itunes.TagsInFrame("APIC"), 1);
    EXPECT_EQ(itunes.TagsInFrame("COMM"), 2);
    EXPECT_EQ(itunes.TagsInFrame("TSOT"), 1);

    cMP3ID3v2 amazon;
    ASSERT_TRUE(amazon.setMP3File(samplePath("005411.id3")));
    EXPECT_TRUE(amazon.BuyURL().startsWith("http://www.amazon.com/exec/obidos/ASIN/B0000024VP"));
    EXPECT_EQ(amazon.TagsInFrame("APIC"), 1) << "frames after a plain-sized picture are found";

    cMP3ID3v2 rare;
    ASSERT_TRUE(rare.setMP3File(samplePath("rare_frames.mp3")));
    EXPECT_EQ(rare.LinkTo(), "http://a.user.url/with/empty/description");
    EXPECT_EQ(rare.TagsInFrame("TXXX"), 2);
    EXPECT_EQ(rare.TagsInFrame("UFID"), 1);

    // This picture tag claims more bytes than the cut-off file holds.
    cMP3ID3v2 compressed;
    ASSERT_TRUE(compressed.setMP3File(samplePath("compressed_id3_frame.mp3")));
    EXPECT_FALSE(compressed.HasID3v2Tag());

    cMP3ID3v1 v1;
    ASSERT_TRUE(v1.setMP3File(samplePath("ape-id3v1.mp3")));
    EXPECT_TRUE(v1.HasID3v1Tag());
    EXPECT_EQ(v1.Title(), "Title");
}

TEST(SampleFiles, EveryFileReadsQuicklyAndSafely)
{
    const QStringList files = sampleFiles();
    if (files.isEmpty())
        GTEST_SKIP() << "no sample files";
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        QElapsedTimer clock;
        clock.start();
        cMP3ID3v1 v1;
        EXPECT_TRUE(v1.setMP3File(path));
        cMP3ID3v2 v2;
        EXPECT_TRUE(v2.setMP3File(path));
        for (int i = 1; i <= v2.FrameCount(); ++i)
            EXPECT_EQ(v2.Frame(i).size(), 4);
        EXPECT_LT(clock.elapsed(), 2000);
    }
}

// After one field is edited, the audio and every other frame are as they were.
TEST(SampleFiles, UpdatingOneFieldKeepsEverythingElse)
{
    const QStringList files = sampleFiles();
    if (files.isEmpty())
        GTEST_SKIP() << "no sample files";
    for (const QString& sample : files) {
        SCOPED_TRACE(sample.toStdString());
        const QByteArray original = readFile(sample);
        const QString path = writeFile(QStringLiteral("sample.mp3"), original);
        const qint64 oldSpace = tagSpace(original);

        cMP3ID3v2 t;
        ASSERT_TRUE(t.setMP3File(path));
        QMap<QString, int> counts = frameCounts(t);
        t.setTitle(QStringLiteral("Kelvane title"));
        ASSERT_TRUE(t.Update()) << t.LastError().Description.toStdString();

        const QByteArray first = readFile(path);
        const qint64 newSpace = tagSpace(first);
        ASSERT_GT(newSpace, 0);
        EXPECT_EQ(first.mid(int(newSpace)), original.mid(int(oldSpace))) << "audio after the tag";

        // The same frames, the title once.
        cMP3ID3v2 r;
        ASSERT_TRUE(r.setMP3File(path));
        EXPECT_EQ(r.Title(), "Kelvane title");
        counts["TIT2"] = 1;
        EXPECT_EQ(frameCounts(r), counts);

        // A tag of version 2.3 keeps its other frames byte for byte.
        const RawTag before = readV23(original);
        const RawTag after = readV23(first);
        if (oldSpace && before.version == 3 && !(before.flags & 0xC0)) {
            std::vector<RawFrame> a, b;
            for (const auto& f : before.frames)
                if (f.id != "TIT2")
                    a.push_back(f);
            for (const auto& f : after.frames)
                if (f.id != "TIT2")
                    b.push_back(f);
            EXPECT_TRUE(a == b);
        }

        // A second edit leaves every frame but its own as the first edit wrote it.
        r.setArtist(QStringLiteral("Kelvane artist"));
        ASSERT_TRUE(r.Update());
        const QByteArray second = readFile(path);
        EXPECT_EQ(second.mid(int(tagSpace(second))), original.mid(int(oldSpace)));
        std::vector<RawFrame> a, b;
        for (const auto& f : after.frames)
            if (f.id != "TPE1")
                a.push_back(f);
        for (const auto& f : readV23(second).frames)
            if (f.id != "TPE1")
                b.push_back(f);
        EXPECT_TRUE(a == b);

        // The ID3v1 block changes alone.
        cMP3ID3v1 v1;
        ASSERT_TRUE(v1.setMP3File(path));
        const bool had = v1.HasID3v1Tag();
        v1.setTitle(QStringLiteral("v1"));
        ASSERT_TRUE(v1.Update());
        const QByteArray third = readFile(path);
        const int kept = second.size() - (had ? 128 : 0);
        EXPECT_EQ(third.left(kept), second.left(kept));
        EXPECT_EQ(third.size(), kept + 128);
    }
}
