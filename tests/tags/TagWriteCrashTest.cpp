// A tag write killed at any moment: right after the kill the file holds its
// old tags or its new ones, whole, audio included (where a journal stands in
// for a copy, once the next open or start has put right what it left), and
// after that no copy or journal stays behind.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tags/TagChange.h"
#include "tags/cMP3ID3v1.h"
#include "tags/cMP3ID3v2.h"
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

// How a change is written.
enum class Way {
    OnePage, // one write inside one page of the file
    Copy,    // a copy renamed over the file: whole at every moment
    Journal, // in place under an undo journal: whole once recovery ran
};

// The files the tag writes start from, and the change the probe makes.
struct Scenario {
    const char* name;
    QByteArray original;
    const char* change;
    Way way;
    QString file = QStringLiteral("song.mp3");
    bool hardLinked = false;
};

// The first three are the writes the random kills hit.
std::vector<Scenario> scenarios(int pictureBytes, int audioFrames)
{
    const QByteArray v1 = v1Block("Old v1 title", "artist", "", "2001", "", 17);
    const QByteArray withPicture =
        tag(3, frame(3, "TIT2", latin1Text("Old")) + frame(3, "APIC", picture(pictureBytes)), 4096);
    const QByteArray audio = mpegAudio(audioFrames, 5);
    return {
        {"both tags, the ID3v2 tag fits its space", withPicture + audio + v1, "titles", Way::Copy},
        {"the ID3v2 tag alone, pages of it rewritten in its space", withPicture + audio + v1, "v2", Way::Copy},
        {"both tags, the ID3v2 tag grows", tag(3, frame(3, "TIT2", latin1Text("Old")), 100) + audio + v1, "grow",
         Way::Copy},
        {"an ID3v1 block added", withPicture + mpegAudio(20, 3), "titles", Way::Copy},
        {"the ID3v1 block alone, inside one page", withPicture + mpegAudio(20, 3) + v1, "v1", Way::OnePage},
        {"a hard-linked file keeps its links", withPicture + mpegAudio(20, 3) + v1, "titles", Way::Journal,
         QStringLiteral("song.mp3"), true},
        // A copy's name ".<name>.kvtag-XXXXXX" would be longer than a name may be.
        {"a name too long for a copy beside it", withPicture + mpegAudio(20, 3) + v1, "titles", Way::Journal,
         QString(250, QLatin1Char('n')) + QStringLiteral(".mp3")},
    };
}

QString linkName(const Scenario& s) { return s.file + QStringLiteral(".link"); }

// The file as the write finds it: its old bytes, and its second name.
QString prepare(const Scenario& s)
{
    const QString path = writeFile(QStringLiteral("crash/") + s.file, s.original);
    if (s.hardLinked) {
        const QString link = QFileInfo(path).absolutePath() + "/" + linkName(s);
        QFile::remove(link);
        EXPECT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()), 0);
    }
    return path;
}

struct stat statOf(const QString& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st;
}

// Both names of a hard-linked file still name one file.
void expectLinked(const QString& path, const Scenario& s)
{
    const QString link = QFileInfo(path).absolutePath() + "/" + linkName(s);
    const struct stat a = statOf(path), b = statOf(link);
    EXPECT_EQ(a.st_ino, b.st_ino);
    EXPECT_EQ(a.st_nlink, 2u);
}

QStringList leftovers(const QString& folder, const Scenario& s)
{
    QStringList out = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    out.removeAll(s.file);
    out.removeAll(linkName(s));
    out += QDir(tagio::pendingWritesFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    return out;
}

// The tags as the program reads them back, and the picture as an independent
// reader finds it.
struct Tags {
    QString v1Title;
    QString v2Title;
    QByteArray picture;
};

QByteArray pictureOf(const QByteArray& file)
{
    const auto pictures = framesWithId(readV23(file), "APIC");
    return pictures.size() == 1 ? pictures[0].data : QByteArray();
}

Tags tagsOf(const QString& path)
{
    Tags t;
    cMP3ID3v1 v1;
    if (v1.setMP3File(path))
        t.v1Title = v1.Title();
    cMP3ID3v2 v2;
    if (v2.setMP3File(path))
        t.v2Title = v2.Title();
    t.picture = pictureOf(readFile(path));
    return t;
}

// What a file holds, for a failure message.
std::string describe(const QString& path, const Scenario& s)
{
    const Tags t = tagsOf(path);
    return "ID3v1 title \"" + t.v1Title.toStdString() + "\", ID3v2 title \"" + t.v2Title.toStdString() +
           "\", picture " + (t.picture == pictureOf(s.original) ? "intact" : "damaged or missing");
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

// The new file, from a write run to its end, the number of its steps and how
// long the write took. The write went the scenario's way and gave the new tags.
QByteArray writtenWhole(const Scenario& s, long* steps, qint64* nanoseconds = nullptr)
{
    const QString path = prepare(s);
    const Tags before = tagsOf(path);
    const ino_t inode = statOf(path).st_ino;
    Probe p;
    EXPECT_TRUE(p.start(path, s.change, 0));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(p.finish());
    if (nanoseconds)
        *nanoseconds = clock.nsecsElapsed();
    const QByteArray out = p.process.readAllStandardOutput();
    EXPECT_EQ(p.process.exitCode(), 0) << p.process.readAllStandardError().constData();
    *steps = out.mid(out.indexOf("steps ") + 6).trimmed().toLong();

    EXPECT_EQ(statOf(path).st_ino == inode, s.way != Way::Copy) << "the way the change was written";
    if (s.hardLinked)
        expectLinked(path, s);
    const Tags after = tagsOf(path);
    const bool v1 = std::strcmp(s.change, "v2") != 0, v2 = std::strcmp(s.change, "v1") != 0;
    EXPECT_EQ(after.v1Title, v1 ? QStringLiteral("New v1 title") : before.v1Title);
    EXPECT_EQ(after.v2Title, v2 ? QStringLiteral("New v2 title") : before.v2Title);
    EXPECT_EQ(after.picture, before.picture);
    const QByteArray now = readFile(path);
    EXPECT_NE(now, s.original);
    return now;
}

enum class Outcome { Old, New, Mixed };

Outcome outcomeOf(const QByteArray& now, const Scenario& s, const QByteArray& written)
{
    return now == s.original ? Outcome::Old : now == written ? Outcome::New : Outcome::Mixed;
}

// The next start, or the next open of the file.
void recover(const QString& path, int round)
{
    if (round % 2)
        tagio::recoverPendingWrites();
    else
        tagio::recoverPendingWrites(path);
}

} // namespace

// The write is stopped by SIGKILL at each of its steps in turn: after the
// journal, after every piece written, after the flush, after the rename. The
// file is looked at before anything is put right, and again after.
TEST(TagWriteCrash, KilledAtEachStepTheFileHoldsTheOldTagsOrTheNewOnes)
{
    for (const Scenario& s : scenarios(1'500'000, 3600)) {
        SCOPED_TRACE(s.name);
        const QString folder = crashFolder();
        long steps = 0;
        const QByteArray written = writtenWhole(s, &steps);
        ASSERT_GE(steps, 2);
        bool seen[2] = {false, false};
        for (long at = 1; at <= steps; ++at) {
            SCOPED_TRACE("killed at step " + std::to_string(at));
            const QString path = prepare(s);
            Probe p;
            ASSERT_TRUE(p.start(path, s.change, at));
            ASSERT_TRUE(p.finish());
            ASSERT_TRUE(p.killed());
            // Only the journal's way leaves a file that is whole once recovered.
            if (s.way != Way::Journal) {
                EXPECT_NE(outcomeOf(readFile(path), s, written), Outcome::Mixed)
                    << "right after the kill: " << describe(path, s);
            }
            recover(path, int(at));
            const Outcome o = outcomeOf(readFile(path), s, written);
            ASSERT_NE(o, Outcome::Mixed) << "after recovery: " << describe(path, s);
            seen[o == Outcome::New] = true;
            EXPECT_EQ(leftovers(folder, s), QStringList());
            if (s.hardLinked)
                expectLinked(path, s);
        }
        // A single write has no step before it to stop at.
        if (s.way != Way::OnePage) {
            EXPECT_TRUE(seen[0]);
        }
        if (s.way != Way::Journal) {
            EXPECT_TRUE(seen[1]) << "a kill after the last write leaves the new file";
        }
    }
}

// Real kills at random moments of writes of a few megabytes, looked at right
// after the kill, before anything is put right. The moment of each kill is
// drawn at random over the write's length; what is checked after it does not
// depend on when it came.
TEST(TagWriteCrash, KilledAtRandomMomentsTheFileHoldsTheOldTagsOrTheNewOnes)
{
    const auto all = scenarios(4'000'000, 10000);
    for (const Scenario& s : {all[0], all[1], all[2]}) {
        SCOPED_TRACE(s.name);
        const QString folder = crashFolder();
        long steps = 0;
        qint64 length = 0;
        const QByteArray written = writtenWhole(s, &steps, &length);
        int counts[3] = {0, 0, 0};
        for (int round = 0; round < 12; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            const QString path = prepare(s);
            Probe p;
            ASSERT_TRUE(p.start(path, s.change, 0));
            const auto wait = QRandomGenerator::global()->bounded(length * 13 / 10 / 1000 + 1);
            ::usleep(useconds_t(wait));
            ::kill(pid_t(p.process.processId()), SIGKILL);
            ASSERT_TRUE(p.finish());
            const Outcome o = outcomeOf(readFile(path), s, written);
            ++counts[int(o)];
            EXPECT_NE(o, Outcome::Mixed) << "right after the kill: " << describe(path, s);
            recover(path, round);
            ASSERT_NE(outcomeOf(readFile(path), s, written), Outcome::Mixed);
            EXPECT_EQ(leftovers(folder, s), QStringList());
        }
        std::printf("[ kills    ] %s: old %d, new %d, mixed %d\n", s.name, counts[0], counts[1], counts[2]);
        EXPECT_EQ(counts[int(Outcome::Mixed)], 0);
    }
}

// A journal whose file was replaced since is no longer about that file: the
// clean-up drops it without writing a byte into the new one.
TEST(TagWriteCrash, AJournalNeverWritesIntoAFileThatReplacedItsOwn)
{
    const Scenario s = scenarios(2'500'000, 100).back();
    ASSERT_EQ(s.way, Way::Journal);
    const QString folder = crashFolder();
    const QString path = prepare(s);
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
    EXPECT_EQ(leftovers(folder, s), QStringList());
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
