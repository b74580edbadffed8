// A tag write killed at any moment: once the next open or start has put
// right what it left, the file holds its old tags or its new ones, whole,
// audio included, and no copy or journal stays behind.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "tags/TagChange.h"
#include "tests/tags/TagTestUtil.h"

using namespace tagtest;

namespace {

QString crashFolder()
{
    const QString dir = tempFolder() + "/crash";
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

QByteArray picture(int bytes)
{
    QByteArray p = QByteArray("\0image/jpeg\0\x03\0", 13);
    p.reserve(bytes + 13);
    quint32 x = 7;
    while (p.size() < bytes + 13) {
        x = x * 1103515245u + 12345u;
        p.append(char(x >> 16));
    }
    return p;
}

// The files the tag writes start from, and the change the probe makes.
struct Scenario {
    const char* name;
    QByteArray original;
    const char* change;
    bool rewrite; // the audio moves: the file is replaced by a copy in one rename
};

std::vector<Scenario> scenarios(int pictureBytes, int audioFrames)
{
    const QByteArray v1 = v1Block("Old v1 title", "artist", "", "2001", "", 17);
    const QByteArray withPicture =
        tag(3, frame(3, "TIT2", latin1Text("Old")) + frame(3, "APIC", picture(pictureBytes)), 4096);
    const QByteArray audio = mpegAudio(audioFrames, 5);
    return {
        {"both tags, the ID3v2 tag in place", withPicture + mpegAudio(20, 3) + v1, "titles", false},
        {"both tags, the ID3v2 tag grows", tag(3, frame(3, "TIT2", latin1Text("Old")), 100) + audio + v1, "grow",
         true},
        {"the ID3v2 tag alone, in place", withPicture + mpegAudio(20, 3) + v1, "v2", false},
        {"an ID3v1 block added", withPicture + mpegAudio(20, 3), "titles", false},
    };
}

QStringList leftovers(const QString& folder, const QString& keep)
{
    QStringList out = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    out.removeAll(keep);
    out += QDir(tagio::pendingWritesFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    return out;
}

// The probe, started on path; "writing" has been printed when this returns.
struct Probe {
    QProcess process;

    bool start(const QString& path, const char* change, long killAt)
    {
        process.start(QStringLiteral(KELVANE_TAG_WRITE_PROBE),
                      {path, QString::fromLatin1(change), QString::number(killAt)});
        if (!process.waitForStarted(60000))
            return false;
        while (!process.readAllStandardOutput().contains("writing") && process.state() == QProcess::Running)
            process.waitForReadyRead(1000);
        return true;
    }

    bool finish() { return process.waitForFinished(120000); }
    bool killed() const { return process.exitStatus() == QProcess::CrashExit; }
};

// The new file, from a write run to its end, and the number of its steps.
QByteArray writtenWhole(const QString& path, const Scenario& s, long* steps, qint64* nanoseconds = nullptr)
{
    writeFile(QStringLiteral("crash/song.mp3"), s.original);
    Probe p;
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(p.start(path, s.change, 0));
    EXPECT_TRUE(p.finish());
    if (nanoseconds)
        *nanoseconds = clock.nsecsElapsed();
    const QByteArray out = p.process.readAllStandardOutput();
    EXPECT_EQ(p.process.exitCode(), 0) << p.process.readAllStandardError().constData();
    *steps = out.mid(out.indexOf("steps ") + 6).trimmed().toLong();
    const QByteArray now = readFile(path);
    EXPECT_NE(now, s.original);
    return now;
}

enum class Outcome { Old, New, Mixed };

Outcome outcomeOf(const QByteArray& now, const Scenario& s, const QByteArray& written)
{
    return now == s.original ? Outcome::Old : now == written ? Outcome::New : Outcome::Mixed;
}

} // namespace

// The write is stopped by SIGKILL at each of its steps in turn: after the
// journal, after every piece written, after the flush, after the rename.
TEST(TagWriteCrash, KilledAtEachStepTheFileHoldsTheOldTagsOrTheNewOnes)
{
    for (const Scenario& s : scenarios(1'500'000, 3600)) {
        SCOPED_TRACE(s.name);
        const QString folder = crashFolder();
        const QString path = folder + "/song.mp3";
        long steps = 0;
        const QByteArray written = writtenWhole(path, s, &steps);
        ASSERT_GT(steps, 2);
        bool seen[2] = {false, false};
        for (long at = 1; at <= steps; ++at) {
            SCOPED_TRACE("killed at step " + std::to_string(at));
            writeFile(QStringLiteral("crash/song.mp3"), s.original);
            Probe p;
            ASSERT_TRUE(p.start(path, s.change, at));
            ASSERT_TRUE(p.finish());
            ASSERT_TRUE(p.killed());
            // A copy is renamed in one step: the file is whole even before the clean-up.
            if (s.rewrite) {
                EXPECT_NE(outcomeOf(readFile(path), s, written), Outcome::Mixed);
            }
            // The next start, or the next open of the file.
            if (at % 2)
                tagio::recoverPendingWrites();
            else
                tagio::recoverPendingWrites(path);
            const Outcome o = outcomeOf(readFile(path), s, written);
            ASSERT_NE(o, Outcome::Mixed);
            seen[o == Outcome::New] = true;
            EXPECT_EQ(leftovers(folder, "song.mp3"), QStringList());
        }
        EXPECT_TRUE(seen[0]);
        if (s.rewrite) {
            EXPECT_TRUE(seen[1]) << "a kill after the rename leaves the new file";
        }
    }
}

// Real kills at random moments of writes of a few megabytes. The moment of
// each kill is drawn at random over the write's length; what is checked after
// it does not depend on when it came.
TEST(TagWriteCrash, KilledAtRandomMomentsTheFileHoldsTheOldTagsOrTheNewOnes)
{
    const auto all = scenarios(4'000'000, 10000);
    for (const Scenario& s : {all[0], all[1]}) {
        SCOPED_TRACE(s.name);
        const QString folder = crashFolder();
        const QString path = folder + "/song.mp3";
        long steps = 0;
        qint64 length = 0;
        const QByteArray written = writtenWhole(path, s, &steps, &length);
        for (int round = 0; round < 5; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            writeFile(QStringLiteral("crash/song.mp3"), s.original);
            Probe p;
            ASSERT_TRUE(p.start(path, s.change, 0));
            const auto wait = QRandomGenerator::global()->bounded(length * 13 / 10 / 1000 + 1);
            ::usleep(useconds_t(wait));
            ::kill(pid_t(p.process.processId()), SIGKILL);
            ASSERT_TRUE(p.finish());
            if (round % 2)
                tagio::recoverPendingWrites();
            else
                tagio::recoverPendingWrites(path);
            ASSERT_NE(outcomeOf(readFile(path), s, written), Outcome::Mixed);
            EXPECT_EQ(leftovers(folder, "song.mp3"), QStringList());
        }
    }
}

// A journal whose file was replaced since is no longer about that file: the
// clean-up drops it without writing a byte into the new one.
TEST(TagWriteCrash, AJournalNeverWritesIntoAFileThatReplacedItsOwn)
{
    const Scenario s = scenarios(2'500'000, 100)[0];
    const QString folder = crashFolder();
    const QString path = folder + "/song.mp3";
    writeFile(QStringLiteral("crash/song.mp3"), s.original);
    Probe p;
    ASSERT_TRUE(p.start(path, s.change, 3)); // part of the tag written
    ASSERT_TRUE(p.finish());
    ASSERT_TRUE(p.killed());
    ASSERT_FALSE(QDir(tagio::pendingWritesFolder()).isEmpty());

    const QByteArray other = tag(3, frame(3, "TIT2", latin1Text("Someone else's")), 10) + mpegAudio(30, 9);
    writeFile(QStringLiteral("crash/other.mp3"), other);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::rename(folder + "/other.mp3", path));
    tagio::recoverPendingWrites(path);
    EXPECT_EQ(readFile(path), other);
    EXPECT_EQ(leftovers(folder, "song.mp3"), QStringList());
}

// The hidden copies of killed rewrites beside a file, and other files that
// only look like them: the clean-up at an open takes exactly the copies
// nobody is writing.
TEST(TagWriteCrash, AnOpenRemovesOnlyStaleCopiesOfOurOwn)
{
    const QString folder = crashFolder();
    const QString path = writeFile(QStringLiteral("crash/song.mp3"), mpegAudio(3));
    const struct {
        const char* name;
        bool removed;
    } cases[] = {
        {".song.mp3.kvtag-Ab12Cd", true},
        {".other song.mp3.kvtag-zZ09yY", true}, // another file's, in the same folder
        {".song.mp3.kvtag-Live01", false},     // a write under way holds it
        {".song.mp3.kvtag-Ab12", false},
        {".song.mp3.kvtag-Ab12Cd.bak", false},
        {"song.mp3.kvtag-Ab12Cd", false},
        {".song.mp3.kvtag-Ab12Cd~", false},
    };
    for (const auto& c : cases)
        writeFile(QStringLiteral("crash/") + c.name, "copy");
    const QString linked = folder + "/.link.mp3.kvtag-Ln12Ab";
    ASSERT_TRUE(QFile::link(path, linked));
    const int live = ::open(QFile::encodeName(folder + "/.song.mp3.kvtag-Live01").constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);

    tagio::recoverPendingWrites(path);
    ::close(live);

    for (const auto& c : cases)
        EXPECT_EQ(QFile::exists(folder + "/" + c.name), !c.removed) << c.name;
    EXPECT_TRUE(QFileInfo(linked).isSymLink()) << "a link is not a copy";
    EXPECT_EQ(readFile(path), mpegAudio(3));
}
