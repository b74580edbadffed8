// Writing the store back as a version 2.3 tag: in place or by rewriting the
// file, frames the user did not edit kept byte for byte, and a file that is
// never damaged or lost.
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ProgramDir.h"
#include "tags/TagFileIo.h"
#include "tags/cMP3ID3v2.h"
#include "tests/tags/TagTestUtil.h"

using namespace tagtest;

namespace {
QString source() { return platform::programName() + ".cMP3ID3v2"; }

ino_t inodeOf(const QString& path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_ino;
}

// A version 2.3 tag as other programs write it: binary frames, UTF-16 texts,
// described comments, a frame with flags, and padding.
QByteArray richFrames()
{
    QByteArray picture;
    for (int i = 0; i < 700; ++i)
        picture.append(char(i * 7));
    return frame(3, "TIT2", latin1Text("Old title")) + frame(3, "TPE1", utf16Text(QString::fromUtf8("\xc3\x86r\xc3\xb8"))) +
           frame(3, "APIC", QByteArray("\0image/jpeg\0\x03" "cover\0", 19) + picture) +
           frame(3, "PRIV", QByteArray("WM/Provider\0A\0M\0G\0\0\0", 20)) +
           frame(3, "COMM", QByteArray("\0engiTunNORM\0 0000036C 000003E6", 31)) +
           frame(3, "COMM", QByteArray("\0eng\0My comment\0", 16)) +
           frame(3, "TXXX", QByteArray("\0replaygain_track_gain\0-1.02 dB", 31)) +
           frame(3, "WXXX", QByteArray("\0home\0http://example.com", 24)) + frame(3, "PCNT", QByteArray("\0\0\0\x2A", 4)) +
           frame(3, "TLEN", latin1Text("216000"), 0x4000) + frame(3, "TCON", latin1Text("(17)Hard"));
}

struct Fixture {
    QString path;
    QByteArray audio;
    QByteArray v1;
    QByteArray original;
};

Fixture makeFile(const QString& name, const QByteArray& tagBytes, int audioFrames = 8)
{
    Fixture f;
    f.audio = mpegAudio(audioFrames, 7);
    f.v1 = v1Block("v1 title", "v1 artist", "", "2000", "", 17);
    f.original = tagBytes + f.audio + f.v1;
    f.path = writeFile(name, f.original);
    return f;
}

// The file after the tag space: the audio and the ID3v1 block.
void expectAudioKept(const Fixture& f, const QByteArray& now, qint64 space)
{
    EXPECT_EQ(now.mid(int(space)), f.audio + f.v1) << "the audio bytes after the tag are unchanged";
}

void expectSameFramesExcept(const RawTag& before, const RawTag& after, const QByteArray& editedId)
{
    std::vector<RawFrame> a, b;
    for (const auto& f : before.frames)
        if (f.id != editedId)
            a.push_back(f);
    for (const auto& f : after.frames)
        if (f.id != editedId)
            b.push_back(f);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        EXPECT_TRUE(a[i] == b[i]) << "frame " << i << " " << a[i].id.constData() << " changed";
}

int failingRename(const char*, const char*)
{
    errno = EIO;
    return -1;
}
} // namespace

TEST(Id3v2Write, ANewTagTakesTwoKilobytesInFrontOfTheFile)
{
    const QByteArray audio = mpegAudio(5);
    const QString path = writeFile("new.mp3", audio);
    cMP3ID3v2 t;
    ASSERT_TRUE(t.setMP3File(path));
    t.AddTag("TIT2", "Song");
    ASSERT_TRUE(t.Update());
    EXPECT_FALSE(t.HasID3v2Tag()) << "Update does not re-read";

    const QByteArray bytes = readFile(path);
    ASSERT_EQ(bytes.size(), audio.size() + 2048);
    const QByteArray expected = QByteArray("ID3\x03\0\0\0\0\x0F\x76", 10) + "TIT2" + QByteArray("\0\0\0\x05\0\0\0", 7) + "Song";
    EXPECT_EQ(bytes.left(expected.size()), expected);
    EXPECT_EQ(bytes.mid(expected.size(), 2048 - expected.size()), QByteArray(2048 - expected.size(), '\0'));
    EXPECT_EQ(bytes.mid(2048), audio);

    cMP3ID3v2 r;
    ASSERT_TRUE(r.setMP3File(path));
    EXPECT_TRUE(r.HasID3v2Tag());
    EXPECT_EQ(r.ID3v2TagVersion(), 3);
    EXPECT_EQ(r.Title(), "Song");
    EXPECT_EQ(r.FrameCount(), 1);

    // An empty store still writes a header and the closing zero bytes.
    const QString emptyPath = writeFile("emptystore.mp3", audio);
    cMP3ID3v2 e;
    ASSERT_TRUE(e.setMP3File(emptyPath));
    ASSERT_TRUE(e.Update());
    const QByteArray eb = readFile(emptyPath);
    EXPECT_EQ(eb.left(10), QByteArray("ID3\x03\0\0\0\0\x0F\x76", 10));
    EXPECT_EQ(eb.mid(10, 2038), QByteArray(2038, '\0'));
}

TEST(Id3v2Write, SpaceChoice)
{
    // Images of 10 + (11 + n) + 4 bytes for one TIT2 of n characters.
    const struct {
        const char* name;
        int oldSpace;   // 0: no tag
        int textLength; // title characters
        int newSpace;   // expected space after writing
        bool inPlace;
    } cases[] = {
        {"fits into 4096", 4096, 2975, 4096, true},
        {"one byte short of the old space", 2048, 2022, 2048, true},
        {"exactly the old space does not fit", 2048, 2023, 4096, false},
        {"a small tag grows to 2048", 100, 200, 2048, false},
        {"a large image takes the next multiple of 2048", 2048, 5000, 6144, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray old;
        if (c.oldSpace) {
            const QByteArray stale = frame(3, "TXXX", QByteArray(c.oldSpace - 30, 'S'));
            old = tag(3, stale, c.oldSpace - 10 - stale.size());
        }
        const Fixture f = makeFile("space.mp3", old);
        const ino_t inode = inodeOf(f.path);
        cMP3ID3v2 t;
        ASSERT_TRUE(t.setMP3File(f.path));
        t.RemoveFrame("TXXX");
        t.setTitle(QString(c.textLength, 't'));
        ASSERT_TRUE(t.Update()) << t.LastError().Description.toStdString();

        const QByteArray now = readFile(f.path);
        const RawTag written = readV23(now);
        ASSERT_TRUE(written.found);
        EXPECT_EQ(written.space(), c.newSpace);
        EXPECT_EQ(now.size(), f.original.size() - c.oldSpace + c.newSpace);
        EXPECT_EQ(inodeOf(f.path) == inode, c.inPlace);
        expectAudioKept(f, now, c.newSpace);
        const int image = 10 + 11 + c.textLength;
        EXPECT_EQ(now.mid(image, c.newSpace - image), QByteArray(c.newSpace - image, '\0'))
            << "the rest of the space is zero padding, no stale bytes";
        ASSERT_EQ(written.frames.size(), 1u);
        EXPECT_EQ(written.frames[0].data.size(), c.textLength + 1);
    }
}

TEST(Id3v2Write, SizeBytesAndIdentifiers)
{
    const QByteArray audio = mpegAudio(2);
    {
        const QString path = writeFile("long.mp3", audio);
        cMP3ID3v2 t;
        ASSERT_TRUE(t.setMP3File(path));
        t.setTitle(QString(300, 'x'));
        t.AddTag("ID3X", "skipped");
        t.AddTag("TXXX", "one");
        t.AddTag("TXXX", "two");
        t.AddTag("TXXX", "three");
        ASSERT_TRUE(t.Update());
        const QByteArray bytes = readFile(path);
        EXPECT_EQ(bytes.mid(14, 4), QByteArray("\0\0\x01\x2D", 4)) << "content size 301";
        const RawTag written = readV23(bytes);
        ASSERT_EQ(written.frames.size(), 4u);
        EXPECT_EQ(framesWithId(written, "TXXX").size(), 3u);
        EXPECT_TRUE(framesWithId(written, "ID3X").empty());
    }
    for (const QString& bad : {QStringLiteral("XY"), QStringLiteral("abcd"), QStringLiteral("T T2")}) {
        SCOPED_TRACE(bad.toStdString());
        const QString path = writeFile("bad.mp3", audio);
        cMP3ID3v2 t;
        ASSERT_TRUE(t.setMP3File(path));
        t.AddTag(bad, "a");
        EXPECT_FALSE(t.Update());
        EXPECT_EQ(t.LastError().Number, 5);
        EXPECT_EQ(t.LastError().Source, source());
        EXPECT_EQ(readFile(path), audio);
    }
    {
        // A play counter must be a number.
        const QString path = writeFile("counter.mp3", audio);
        cMP3ID3v2 t;
        ASSERT_TRUE(t.setMP3File(path));
        t.setPlayCounter("lots");
        EXPECT_FALSE(t.Update());
        EXPECT_EQ(t.LastError().Number, 13);
        EXPECT_EQ(readFile(path), audio);
    }
}

// Frames the user did not edit keep their bytes and flags, whatever they hold.
TEST(Id3v2Write, UntouchedFramesAreWrittenBackByteForByte)
{
    const QByteArray original = tag(3, richFrames(), 600);
    const Fixture f = makeFile("rich.mp3", original);
    const RawTag before = readV23(f.original);
    ASSERT_EQ(before.frames.size(), 11u);

    cMP3ID3v2 t;
    ASSERT_TRUE(t.setMP3File(f.path));
    EXPECT_EQ(t.Comment(), "My comment");
    EXPECT_EQ(t.Artist(), QString::fromUtf8("\xc3\x86r\xc3\xb8"));
    EXPECT_EQ(t.LinkTo(), "") << "the only link has a description";
    EXPECT_EQ(t.PlayCounter(), "42");
    EXPECT_EQ(t.Genre(), 17);
    EXPECT_EQ(t.OtherGenreName(), "Hard");

    // Giving every field the value it holds changes nothing at all.
    t.setTitle(t.Title());
    t.setArtist(t.Artist());
    t.setAlbum(t.Album());
    t.setYear(t.Year());
    t.setComment(t.Comment());
    t.setTrack(t.Track());
    t.setOriginalArtist(t.OriginalArtist());
    t.setCopyright(t.Copyright());
    t.setEncodedBy(t.EncodedBy());
    t.setLinkTo(t.LinkTo());
    t.setLyrics(t.Lyrics());
    t.setGenre(t.Genre());
    t.setOtherGenreName(t.OtherGenreName());
    t.setPlayCounter(t.PlayCounter());
    ASSERT_TRUE(t.Update());
    EXPECT_EQ(readFile(f.path), f.original);

    // One field edited: only its frame changes.
    t.setTitle("New title");
    ASSERT_TRUE(t.Update());
    QByteArray now = readFile(f.path);
    RawTag after = readV23(now);
    EXPECT_EQ(after.space(), before.space());
    expectAudioKept(f, now, after.space());
    expectSameFramesExcept(before, after, "TIT2");
    ASSERT_EQ(framesWithId(after, "TIT2").size(), 1u);
    EXPECT_EQ(framesWithId(after, "TIT2")[0].data, QByteArray("\0New title", 10));

    // The comment edits the comment without a description and leaves iTunes data alone.
    const RawTag titled = after;
    cMP3ID3v2 c;
    ASSERT_TRUE(c.setMP3File(f.path));
    c.setComment("Changed");
    ASSERT_TRUE(c.Update());
    after = readV23(readFile(f.path));
    auto comments = framesWithId(after, "COMM");
    ASSERT_EQ(comments.size(), 2u);
    EXPECT_EQ(comments[0], framesWithId(before, "COMM")[0]);
    EXPECT_EQ(comments[1].data, QByteArray("\0eng\0Changed", 12));
    expectSameFramesExcept(titled, after, "COMM");

    // An empty value removes its frame; the described comment stays.
    cMP3ID3v2 e;
    ASSERT_TRUE(e.setMP3File(f.path));
    e.setComment("");
    e.setTitle("");
    ASSERT_TRUE(e.Update());
    after = readV23(readFile(f.path));
    comments = framesWithId(after, "COMM");
    ASSERT_EQ(comments.size(), 1u);
    EXPECT_EQ(comments[0], framesWithId(before, "COMM")[0]);
    EXPECT_TRUE(framesWithId(after, "TIT2").empty());
}

// Version 2.4 and 2.2 tags come out as version 2.3 tags that hold the same frames.
TEST(Id3v2Write, OtherVersionsAreWrittenAsVersion23)
{
    const QString title = QString::fromUtf8("T\xc3\xaftle \xe6\x9d\xb1");
    const QByteArray text = latin1Text("Compressed");
    const QByteArray z = qCompress(text).mid(4);
    QByteArray v24frames = frame(4, "TIT2", QByteArray(1, '\x03') + title.toUtf8()) +
                           frame(4, "TPE1", QByteArray("\x01\xFF\x00\xFE" "A\0", 6), 0x0002) + // unsynchronised
                           frame(4, "TALB", synchsafe(quint32(text.size())) + z, 0x0009) +        // compressed
                           frame(4, "TCON", latin1Text("13")) + frame(4, "TPE2", latin1Text(QByteArray("A\0B", 3))) +
                           frame(4, "COMM", QByteArray("\x03" "eng\0", 5) + title.toUtf8()) +
                           frame(4, "TSOP", latin1Text("Sort"), 0x4000);
    const QByteArray v24 = tag(4, v24frames, 200);
    const Fixture f = makeFile("v24.mp3", v24);

    cMP3ID3v2 t;
    ASSERT_TRUE(t.setMP3File(f.path));
    ASSERT_EQ(t.ID3v2TagVersion(), 4);
    EXPECT_EQ(t.Title(), title);
    EXPECT_EQ(t.Artist(), "A");
    EXPECT_EQ(t.Album(), "Compressed");
    EXPECT_EQ(t.Comment(), title);
    t.setYear("2001");
    ASSERT_TRUE(t.Update());

    const QByteArray now = readFile(f.path);
    const RawTag w = readV23(now);
    EXPECT_EQ(w.version, 3);
    EXPECT_EQ(w.space(), v24.size()) << "written in place";
    expectAudioKept(f, now, w.space());
    QByteArray utf16;
    for (const QChar ch : title)
        utf16.append(char(ch.unicode() & 0xFF)).append(char(ch.unicode() >> 8));
    const std::vector<std::pair<QByteArray, std::pair<quint16, QByteArray>>> expected = {
        {"TIT2", {0, QByteArray("\x01\xFF\xFE", 3) + utf16}},
        {"TPE1", {0, QByteArray("\x01\xFF\xFE" "A\0", 5)}},
        {"TALB", {0x0080, be32(quint32(text.size())) + z}},
        {"TCON", {0, latin1Text("13")}},
        {"TPE2", {0, latin1Text("A/B")}},
        {"COMM", {0, QByteArray("\x01" "eng\xFF\xFE\0\0", 8) + QByteArray("\xFF\xFE", 2) + utf16}},
        {"TSOP", {0x8000, latin1Text("Sort")}},
        {"TYER", {0, latin1Text("2001")}},
    };
    ASSERT_EQ(w.frames.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].first.constData());
        EXPECT_EQ(w.frames[i].id, expected[i].first);
        EXPECT_EQ(w.frames[i].flags, expected[i].second.first);
        EXPECT_EQ(w.frames[i].data, expected[i].second.second);
    }

    cMP3ID3v2 r;
    ASSERT_TRUE(r.setMP3File(f.path));
    EXPECT_EQ(r.Title(), title);
    EXPECT_EQ(r.Album(), "Compressed");
    EXPECT_EQ(r.Genre(), 13);

    // Version 2.2: a picture names its type as version 2.3 does.
    const QByteArray v22 = tag(2, frame(2, "TT2", latin1Text("T")) + frame(2, "PIC", QByteArray("\0JPG\x03\0\xFF\xD8", 8)) +
                                      frame(2, "CRM", "opaque"), 50);
    const Fixture g = makeFile("v22.mp3", v22);
    cMP3ID3v2 s;
    ASSERT_TRUE(s.setMP3File(g.path));
    s.setArtist("A");
    ASSERT_TRUE(s.Update());
    const RawTag w22 = readV23(readFile(g.path));
    ASSERT_EQ(w22.frames.size(), 4u);
    EXPECT_EQ(w22.frames[1].id, "APIC");
    EXPECT_EQ(w22.frames[1].data, QByteArray("\0image/jpeg\0\x03\0\xFF\xD8", 16));
    EXPECT_EQ(w22.frames[2].id, "XCRM");
    EXPECT_EQ(w22.frames[2].data, "opaque");
}

TEST(Id3v2Write, TheLettersID3InsideTheAudioAreNeverWrittenOver)
{
    const QByteArray fake = tag(3, frame(3, "TIT2", latin1Text("fake")), 10);
    const QByteArray audio = mpegAudio(3) + fake + mpegAudio(3, 5);
    const QString path = writeFile("fake.mp3", audio);
    cMP3ID3v2 t;
    ASSERT_TRUE(t.setMP3File(path));
    EXPECT_FALSE(t.HasID3v2Tag());
    t.setTitle("Real");
    ASSERT_TRUE(t.Update());
    const QByteArray now = readFile(path);
    EXPECT_EQ(now.mid(2048), audio);
}

TEST(Id3v2Write, GrowingKeepsPermissionsAndLeavesNoTemporaryFile)
{
    const Fixture f = makeFile("perm.mp3", tag(3, frame(3, "TIT2", latin1Text("T")), 100));
    ASSERT_EQ(::chmod(QFile::encodeName(f.path).constData(), 0640), 0);
    const QString link = tempFolder() + "/link.mp3";
    QFile::remove(link); // from an earlier run of this test in the same process
    ASSERT_EQ(::symlink(QFile::encodeName(f.path).constData(), QFile::encodeName(link).constData()), 0);
    const QStringList entriesBefore = folderEntries(tempFolder());

    cMP3ID3v2 t;
    ASSERT_TRUE(t.setMP3File(link));
    t.setTitle(QString(3000, 'L'));
    ASSERT_TRUE(t.Update());

    EXPECT_TRUE(QFileInfo(link).isSymLink()) << "the link still points at the file";
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(f.path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(folderEntries(tempFolder()), entriesBefore);
    const QByteArray now = readFile(f.path);
    EXPECT_EQ(readV23(now).space(), 4096);
    expectAudioKept(f, now, 4096);
}

TEST(Id3v2Write, AFailedRewriteLeavesTheOriginal)
{
    const Fixture f = makeFile("fail.mp3", tag(3, frame(3, "TIT2", latin1Text("T")), 100));
    const QStringList entriesBefore = folderEntries(tempFolder());

    // The rename that would put the new file in place fails.
    {
        cMP3ID3v2 t;
        ASSERT_TRUE(t.setMP3File(f.path));
        t.setTitle(QString(3000, 'x'));
        const auto previous = tagio::setRenameFunction(&failingRename);
        const bool ok = t.Update();
        tagio::setRenameFunction(previous);
        EXPECT_FALSE(ok);
        EXPECT_EQ(t.LastError().Number, 57);
        EXPECT_EQ(t.LastError().Source, source());
        EXPECT_EQ(t.LastError().Description, "Device I/O error");
        EXPECT_EQ(readFile(f.path), f.original);
        EXPECT_EQ(folderEntries(tempFolder()), entriesBefore);
    }
    // Writing the new file fails part way (the file size limit).
    {
        cMP3ID3v2 t;
        ASSERT_TRUE(t.setMP3File(f.path));
        t.setTitle(QString(3000, 'x'));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit limited = old;
        limited.rlim_cur = 4096 + 1000;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const bool ok = t.Update();
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_FALSE(ok);
        EXPECT_EQ(t.LastError().Number, 61);
        EXPECT_EQ(readFile(f.path), f.original);
        EXPECT_EQ(folderEntries(tempFolder()), entriesBefore);
    }
}

TEST(Id3v2Write, FilesThatCannotTakeATag)
{
    const QString missing = tempFolder() + "/missing.mp3";
    const QString empty = writeFile("empty.mp3", QByteArray());
    const struct {
        const char* name;
        QString path;
        qint32 number;
        QString description;
    } cases[] = {
        {"a missing file is not created", missing, -2147217407, missing + " is not a valid MP3 file."},
        {"an empty file gets no tag", empty, -2147217407, empty + " is not a valid MP3 file."},
        {"a folder", tempFolder(), 75, "Path/File access error"},
        {"no path", QString(), 52, "Bad file name or number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cMP3ID3v2 t;
        t.setMP3File(c.path);
        t.setTitle("x");
        EXPECT_FALSE(t.Update());
        EXPECT_EQ(t.LastError().Number, c.number);
        EXPECT_EQ(t.LastError().Source, source());
        EXPECT_EQ(t.LastError().Description, c.description);
    }
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_EQ(QFileInfo(empty).size(), 0);

    if (::geteuid() != 0) {
        const QString ro = writeFile("ro.mp3", mpegAudio(1));
        ::chmod(QFile::encodeName(ro).constData(), 0444);
        cMP3ID3v2 t;
        ASSERT_TRUE(t.setMP3File(ro));
        t.setTitle("x");
        EXPECT_FALSE(t.Update());
        EXPECT_EQ(t.LastError().Number, 70);
        EXPECT_EQ(t.LastError().Description, "Permission denied");
    }
}

// A version 2.4 tag with a footer: the footer's bytes belong to the space written over.
TEST(Id3v2Write, AFooterIsPartOfTheOldSpace)
{
    QByteArray v24 = tag(4, frame(4, "TIT2", latin1Text("Title")), 300, 0x10);
    v24 += "3DI" + v24.mid(3, 7);
    const Fixture f = makeFile("footer.mp3", v24);
    cMP3ID3v2 t;
    ASSERT_TRUE(t.setMP3File(f.path));
    ASSERT_EQ(t.Title(), "Title");
    t.setArtist("Artist");
    ASSERT_TRUE(t.Update());
    const QByteArray now = readFile(f.path);
    EXPECT_EQ(now.size(), f.original.size());
    const RawTag w = readV23(now);
    EXPECT_EQ(w.space(), v24.size());
    EXPECT_EQ(w.frames.size(), 2u);
    EXPECT_FALSE(now.left(int(w.space())).contains("3DI"));
    expectAudioKept(f, now, w.space());
}
