// Files cut short anywhere, and tags cut short in memory: read without harm.
#include <QDir>
#include <cstdlib>
#include <gtest/gtest.h>

#include "tags/Id3v2Codec.h"
#include "tags/cMP3ID3v1.h"
#include "tags/cMP3ID3v2.h"
#include "tests/support/TestEnv.h"
#include "tests/tags/TagTestUtil.h"

using namespace tagtest;

TEST(Robustness, AFileCutAtEveryByteReadsSafely)
{
    QByteArray picture;
    for (int i = 0; i < 900; ++i)
        picture.append(char(255 - i % 256));
    const QByteArray frames = frame(3, "TIT2", latin1Text("Title")) + frame(3, "TPE1", utf16Text("Artist")) +
                              frame(3, "APIC", QByteArray("\0image/png\0\x03\0", 13) + picture) +
                              frame(3, "COMM", QByteArray("\0eng\0Comment", 12)) + frame(3, "TCON", latin1Text("(17)"));
    const QByteArray tagBytes = tag(3, frames, 100);
    const QByteArray whole = tagBytes + mpegAudio(3) + v1Block("v1", "", "", "", "", 1);
    const qint64 space = tagBytes.size();

    for (int cut = 0; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        const QByteArray prefix = whole.left(cut);
        const QString path = writeFile("cut.mp3", prefix);
        cMP3ID3v2 v2;
        ASSERT_TRUE(v2.setMP3File(path));
        const bool complete = cut >= space;
        ASSERT_EQ(v2.HasID3v2Tag(), complete);
        if (complete) {
            ASSERT_EQ(v2.Title(), "Title");
            ASSERT_EQ(v2.Artist(), "Artist");
            ASSERT_EQ(v2.Comment(), "Comment");
            ASSERT_EQ(v2.Genre(), 17);
            ASSERT_EQ(v2.FrameCount(), 5);
        }
        cMP3ID3v1 v1;
        ASSERT_TRUE(v1.setMP3File(path));
        ASSERT_EQ(v1.HasID3v1Tag(), cut == whole.size());

        // Writing flushes to disk; a sample of cuts, the tag's end among them.
        if (cut % 211 == 0 || std::abs(cut - int(space)) <= 1) {
            v2.setTitle("New");
            if (cut == 0) {
                EXPECT_FALSE(v2.Update());
                continue;
            }
            ASSERT_TRUE(v2.Update()) << v2.LastError().Description.toStdString();
            const QByteArray now = readFile(path);
            const RawTag t = readV23(now);
            ASSERT_TRUE(t.found);
            EXPECT_EQ(now.mid(int(t.space())), prefix.mid(complete ? int(space) : 0));
        }
    }
}

// Every sample tag, cut in memory at many points, parses without reading past its bytes.
TEST(Robustness, SampleTagsCutInMemory)
{
    const QString dir = testenv::testDataDir();
    if (dir.isEmpty())
        GTEST_SKIP() << "no sample files";
    int tags = 0;
    for (const QString& name : QDir(dir + "/taglib").entryList(QDir::Files, QDir::Name)) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = readFile(dir + "/taglib/" + name);
        if (bytes.size() < 10 || !bytes.startsWith("ID3"))
            continue;
        ++tags;
        // Whatever the header claims, the frames come from the bytes there are.
        id3v2::Header h;
        h.version = quint8(bytes[3]);
        h.flags = quint8(bytes[5]);
        h.size = id3v2::readSynchsafe(bytes.constData() + 6);
        if (h.version < 2 || h.version > 4)
            continue;
        const QByteArray body = bytes.mid(10, int(qMin<qint64>(h.size, bytes.size() - 10)));
        for (int cut = 0; cut <= body.size(); cut += (cut < 4096 ? 1 : 97)) {
            const auto frames = id3v2::parseFrames(h, body.left(cut));
            qint64 total = 0;
            for (const auto& f : frames)
                total += f.entry.raw.size();
            ASSERT_LE(total, qint64(cut) + 64 * qint64(frames.size())) << cut;
        }
    }
    EXPECT_GT(tags, 10);
}

// A version 2.4 frame compressed without its length stated is inflated only
// as far as a field may reach; a longer one is kept as it came, unread.
TEST(Robustness, ACompressedFrameWithoutItsLengthIsNeverInflatedPastTheFieldLimit)
{
    const QByteArray small = latin1Text("Small");
    const QByteArray huge = latin1Text(QByteArray(64 << 20, 'A'));
    const QByteArray picture = QByteArray("\0image/png\0\x03\0", 13) + QByteArray(3000, 'p');
    const struct {
        const char* name;
        QByteArray id, content;
        bool readable;
        QString text;
        quint32 length; // in the version 2.3 frame
    } cases[] = {
        {"short text", "TALB", small, true, "Small", quint32(small.size())},
        {"text past the limit", "TALB", huge, false, "", 0},
        {"picture", "APIC", picture, false, "", quint32(picture.size())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray z = qCompress(c.content).mid(4); // a zlib stream
        id3v2::Header header;
        header.version = 4;
        const std::vector<id3v2::ReadFrame> frames = id3v2::parseFrames(header, frame(4, c.id, z, 0x0008));
        ASSERT_EQ(frames.size(), 1u);
        const id3v2::TagEntry& e = frames[0].entry;
        EXPECT_EQ(e.readable, c.readable);
        EXPECT_EQ(e.text, c.text);
        EXPECT_EQ(e.flags, 0x0080);
        EXPECT_TRUE(e.raw == be32(c.length) + z) << "the compressed bytes are kept as read";
    }
}
