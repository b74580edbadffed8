// Joining: lengths, ranges, progress order, the join list and the protocol.
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "components/audio/cAudioJoin.h"
#include "tests/components/audio/HeldWork.h"
#include "tests/components/audio/AudioFixtures.h"

namespace {

struct JoinEvents {
    explicit JoinEvents(cAudioJoin* j)
        : progress(j, &cAudioJoin::JobProgress), done(j, &cAudioJoin::JobDone), aborted(j, &cAudioJoin::JobAborted),
          error(j, &cAudioJoin::JobError)
    {
    }
    int ends() const { return int(done.count() + aborted.count() + error.count()); }
    // Waits for an end event beyond those already waited for.
    bool waitEnd(int ms = 60000)
    {
        QElapsedTimer t;
        t.start();
        while (ends() <= seen && t.elapsed() < ms)
            QTest::qWait(10);
        QTest::qWait(150);
        const bool ended = ends() > seen;
        seen = ends();
        return ended;
    }
    int seen = 0;
    QString errorText() const { return error.isEmpty() ? QString() : error.first().at(1).toString(); }
    QSignalSpy progress, done, aborted, error;
};

class JoinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        a = fixtures::writeToneWav(path("a.wav"), 3.0);
        b = fixtures::writeToneWav(path("b.wav"), 2.0, 22050, 1);
    }
    QString path(const QString& name) const { return dir.path() + "/" + name; }
    QTemporaryDir dir;
    QString a, b;
};

TEST_F(JoinTest, JoinsWholeFilesAndRangesIntoEachFormat)
{
    const QString mp3 = path("c.mp3");
    ASSERT_TRUE(fixtures::runFfmpeg({"-i", a, "-c:a", "libmp3lame", mp3}));
    struct Case {
        const char* out;
        int code;
        const char* codec;
    };
    for (const Case& c : {Case{"j.wav", 1, "pcm_s16le"}, Case{"j.mp3", 3, "mp3"}, Case{"j.ogg", 5, "vorbis"},
                          Case{"j.wma", 4, "wmav2"}}) {
        SCOPED_TRACE(c.out);
        cAudioJoin join;
        JoinEvents ev(&join);
        join.setOutputFormat(c.code);
        join.SetWAVSettings({44100, 2, 16});
        MP3Settings m{};
        m.Bitrate = 128;
        m.SampleRate = 44100;
        m.Mode = 1;
        m.Quality = 5;
        join.SetMP3Settings(m);
        join.SetOGGSettings({0, 0, 40});
        join.SetWMASettings({0, 2});
        join.setTagTitle("Joined");
        join.AddJoinFile(a, -1, -1);
        join.AddJoinFile(b, 1, 1);
        join.AddJoinFile(mp3, 2, 30); // past the end: to the end, about 1 s
        join.setOutputFile(path(c.out));
        join.StartJoin();
        EXPECT_EQ(ev.ends(), 0);
        ASSERT_TRUE(ev.waitEnd());
        ASSERT_EQ(ev.done.count(), 1) << ev.errorText().toStdString();
        EXPECT_EQ(ev.ends(), 1);
        const fixtures::Probe p = fixtures::probe(path(c.out));
        EXPECT_EQ(p.codec, c.codec);
        EXPECT_NEAR(p.seconds, 5.0, 0.2);
        if (c.code != 1) {
            EXPECT_EQ(p.tags.value("title"), "Joined");
        }
        // Progress names the files in order: all of 1, then 2, then 3.
        QList<int> order;
        for (const QList<QVariant>& args : ev.progress)
            if (order.isEmpty() || order.last() != args.at(0).toInt())
                order << args.at(0).toInt();
        EXPECT_EQ(order, (QList<int>{1, 2, 3}));
    }
}

TEST_F(JoinTest, JoinListKeepsEntriesInOrder)
{
    cAudioJoin join;
    EXPECT_EQ(join.JoinFileCount(), 0);
    join.AddJoinFile(a, -1, -1);
    join.AddJoinFile(b, 30, 15);
    join.AddJoinFile(path("x.mp3"), 0, 5);
    ASSERT_EQ(join.JoinFileCount(), 3);
    struct Entry {
        QString path;
        int start, length;
    };
    const Entry expected[] = {{a, -1, -1}, {b, 30, 15}, {path("x.mp3"), 0, 5}};
    for (int i = 1; i <= 3; ++i) {
        int s = 99, l = 99;
        EXPECT_EQ(join.JoinFileEntry(i, s, l), expected[i - 1].path);
        EXPECT_EQ(s, expected[i - 1].start);
        EXPECT_EQ(l, expected[i - 1].length);
    }
    int s = 7, l = 8;
    EXPECT_TRUE(join.JoinFileEntry(4, s, l).isEmpty());
    EXPECT_TRUE(join.JoinFileEntry(0, s, l).isEmpty());
    EXPECT_EQ(s, 7);
    join.RemoveJoinFile(1);
    EXPECT_EQ(join.JoinFileEntry(1, s, l), b);
    join.RemoveJoinFile(9);
    EXPECT_EQ(join.JoinFileCount(), 2);
    while (join.JoinFileCount() > 0)
        join.RemoveJoinFile(1);
    EXPECT_EQ(join.JoinFileCount(), 0);
}

TEST_F(JoinTest, BadJoinsEndInOneErrorWithoutOutput)
{
    const QString existing = fixtures::writeBytes(path("out.wav"), "old");
    struct Case {
        const char* name;
        std::function<void(cAudioJoin&)> setup;
    };
    const QList<Case> cases = {
        {"empty list", [](cAudioJoin&) {}},
        {"missing second file", [&](cAudioJoin& j) { j.AddJoinFile(a, -1, -1); j.AddJoinFile(path("gone.wav"), -1, -1); }},
        {"output is an input", [&](cAudioJoin& j) { j.AddJoinFile(a, -1, -1); j.AddJoinFile(existing, -1, -1); }},
        {"range after the end", [&](cAudioJoin& j) { j.AddJoinFile(a, -1, -1); j.AddJoinFile(b, 9, 1); }},
        {"APE with a missing second file", [&](cAudioJoin& j) { j.AddJoinFile(a, -1, -1); j.AddJoinFile(path("gone.wav"), -1, -1); j.setOutputFormat(6); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cAudioJoin join;
        JoinEvents ev(&join);
        c.setup(join);
        join.setOutputFile(existing);
        join.StartJoin();
        ASSERT_TRUE(ev.waitEnd());
        EXPECT_EQ(ev.error.count(), 1);
        EXPECT_EQ(ev.ends(), 1);
        EXPECT_FALSE(ev.errorText().isEmpty());
        EXPECT_EQ(fixtures::readAll(existing), QByteArray("old"));
        EXPECT_EQ(QDir(dir.path()).entryList({"*.part"}, QDir::Files | QDir::Hidden).size(), 0);
    }
}

TEST_F(JoinTest, AbortThenResetLeavesAReadyJoiner)
{
    const QString longTone = fixtures::writeToneWav(path("long.wav"), 120.0);
    cAudioJoin join;
    JoinEvents ev(&join);
    join.setOutputFormat(3);
    MP3Settings m{};
    m.Bitrate = 128;
    m.SampleRate = 44100;
    m.Quality = 5;
    join.SetMP3Settings(m);
    join.AddJoinFile(a, -1, -1);
    join.AddJoinFile(longTone, -1, -1);
    join.setOutputFile(path("out.mp3"));
    {
        // Held in the second part until the abort.
        HeldWork held(HeldWork::AtProgress, [](int part, int) { return part == 2; });
        join.StartJoin();
        ASSERT_TRUE(held.waitHeld());
        join.AbortJob();
    }
    join.ResetJoin();
    ASSERT_TRUE(ev.waitEnd());
    EXPECT_EQ(ev.aborted.count(), 1);
    EXPECT_EQ(ev.ends(), 1);
    EXPECT_FALSE(QFile::exists(path("out.mp3")));
    EXPECT_EQ(join.JoinFileCount(), 0);

    // A new join on the same component.
    join.AddJoinFile(a, 0, 1);
    join.AddJoinFile(b, -1, -1);
    join.StartJoin();
    ASSERT_TRUE(ev.waitEnd());
    EXPECT_EQ(ev.done.count(), 1) << ev.errorText().toStdString();
    EXPECT_NEAR(fixtures::probe(path("out.mp3")).seconds, 3.0, 0.15);
}

} // namespace
