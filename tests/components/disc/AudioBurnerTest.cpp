// The audio CD burner against image writers: what a writer reports, what a
// burn writes (read back through libcdio, sample for sample), and how a burn
// ends when it is refused, fails or is aborted.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "components/disc/cAudioBurner.h"
#include "components/disc/cAudioCDRipper.h"
#include "tests/components/disc/BurnFixture.h"

namespace {

using namespace burnfixture;

struct Events {
    QStringList log;
    bool returned = false; // BurnToDrive has returned
    bool lateEvent = false; // an event after the return
    std::function<void(const QString&)> onEvent;

    void attach(cAudioBurner& b)
    {
        QObject::connect(&b, &cAudioBurner::TrackProgress, [this](int p, int t) { add(QStringLiteral("progress %1").arg(t), p); });
        QObject::connect(&b, &cAudioBurner::CurrentProgress, [this](int, int) { add("current"); });
        QObject::connect(&b, &cAudioBurner::ClosingSession, [this] { add("closing session"); });
        QObject::connect(&b, &cAudioBurner::ClosingTrack, [this](int) { add("closing track"); });
        QObject::connect(&b, &cAudioBurner::CachingTrack, [this] { add("caching"); });
        QObject::connect(&b, &cAudioBurner::WritingTrack, [this] { add("writing"); });
        QObject::connect(&b, &cAudioBurner::BurnFinished, [this] { add("finished"); });
        QObject::connect(&b, &cAudioBurner::BurnError,
                         [this](int code, const QString& text) { add(QStringLiteral("error %1 %2").arg(code).arg(text)); });
    }
    void add(const QString& e, int percent = -1)
    {
        if (returned)
            lateEvent = true;
        // Progress collapses to one entry per track, so the order reads plainly.
        if (!(e.startsWith("progress") && !log.isEmpty() && log.last() == e))
            log << e;
        if (onEvent)
            onEvent(e);
        Q_UNUSED(percent);
    }
    QStringList ends() const
    {
        QStringList out;
        for (const QString& e : log)
            if (e == "finished" || e.startsWith("error"))
                out << e;
        return out;
    }
};

QStringList filesIn(const QString& dir)
{
    QStringList files = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    files.sort();
    return files;
}

class AudioBurnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(dir.filePath("disc")));
        ASSERT_TRUE(QDir().mkpath(dir.filePath("items")));
        cue = dir.filePath("disc/out.cue");
        useWriters({cue});
    }
    void TearDown() override
    {
        qunsetenv("KELVANE_CD_WRITERS");
        qunsetenv("KELVANE_CD_IMAGES");
    }
    void useWriters(const QStringList& paths) { qputenv("KELVANE_CD_WRITERS", paths.join(':').toLocal8Bit()); }
    QString item(const QString& name) const { return dir.filePath("items/" + name); }
    // The letter of the image writer at the cue path.
    static QString letterOf(cAudioBurner& b, const QString& cuePath)
    {
        for (int i = 1; i <= b.DriveCount(); ++i)
            if (b.DriveName(i).mid(3) == QFileInfo(cuePath).fileName())
                return b.DriveName(i).left(1);
        return {};
    }

    QTemporaryDir dir;
    QString cue;
};

TEST_F(AudioBurnerTest, ImageWritersReportSpeedsCapacityAndState)
{
    const QString used = dir.filePath("disc/used.cue");
    const QString halfUsed = dir.filePath("disc/half.cue");
    const QString noFolder = dir.filePath("gone/x.cue");
    QFile(used).open(QIODevice::WriteOnly);
    QFile(dir.filePath("disc/half.bin")).open(QIODevice::WriteOnly);
    useWriters({cue, used, halfUsed, noFolder});
    cAudioBurner b;
    ASSERT_GE(b.DriveCount(), 4);

    struct Case {
        QString cue;
        QString state;
    } cases[] = {
        {cue, ""},
        {used, "The disc is not blank."},
        {halfUsed, "The disc is not blank."}, // a bin alone is a used disc too
        {noFolder, "No disc in the drive."},
    };
    for (const Case& c : cases) {
        const QString letter = letterOf(b, c.cue);
        ASSERT_FALSE(letter.isEmpty()) << c.cue.toStdString();
        EXPECT_EQ(b.DiscState(letter), c.state) << c.cue.toStdString();
        ASSERT_EQ(b.SpeedCount(letter), 3);
        EXPECT_EQ(b.SpeedKBs(1), 1764);
        EXPECT_EQ(b.SpeedKBs(3), 7056);
    }
    const QString blank = letterOf(b, cue);
    EXPECT_EQ(b.DiscCapacity(blank), 736968000);
    EXPECT_EQ(b.DiscSize(blank), 80LL * 60 * 75 * kSector);
    // Letters are unique and the names carry the image's file name.
    QStringList letters;
    for (int i = 1; i <= b.DriveCount(); ++i)
        letters << b.DriveName(i).left(1);
    letters.removeDuplicates();
    EXPECT_EQ(letters.size(), b.DriveCount());
    EXPECT_EQ(b.DiscState("?"), "No such drive.");
}

TEST_F(AudioBurnerTest, ThreeItemsOfThreeFormatsBecomeThreeTracksOfTheirDecodedAudio)
{
    const Item items[] = {makeItem(item("one.wav"), 5.3, 440), makeItem(item("two.mp3"), 4.7, 660),
                          makeItem(item("three.wma"), 6.1, 880)};
    for (const Item& i : items)
        ASSERT_FALSE(i.path.isEmpty()) << "the ffmpeg tool could not make the items";

    cAudioBurner b;
    Events ev;
    ev.attach(b);
    for (const Item& i : items)
        ASSERT_TRUE(b.AddTrack(i.path)) << i.path.toStdString();
    EXPECT_EQ(b.TrackCount(), 3);
    b.BurnOption = true;
    const long result = b.BurnToDrive(letterOf(b, cue), 65535);
    ev.returned = true;
    EXPECT_EQ(result, 0);
    // Every event, the end included, came during the call, in burn order.
    EXPECT_EQ(ev.log, QStringList({"writing", "progress 1", "closing track", "writing", "progress 2", "closing track",
                                   "writing", "progress 3", "closing track", "closing session", "current", "finished"}));
    QTest::qWait(50);
    EXPECT_FALSE(ev.lateEvent);

    const ReadBack rb = readImage(cue);
    ASSERT_TRUE(rb.ok) << rb.why.toStdString();
    ASSERT_EQ(rb.tracks.size(), 3u);
    for (int t = 0; t < 3; ++t) {
        const QByteArray expected = padToSectors(items[t].pcm);
        ASSERT_EQ(rb.tracks[size_t(t)].size(), expected.size()) << "track " << t + 1;
        EXPECT_TRUE(rb.tracks[size_t(t)] == expected) << "track " << t + 1 << " differs from its decoded item";
    }
    EXPECT_EQ(filesIn(dir.filePath("disc")), QStringList({"out.bin", "out.cue"}));

    // The track list a reader shows: the lengths of the items, in seconds.
    qputenv("KELVANE_CD_IMAGES", cue.toLocal8Bit());
    cAudioCDRipper reader;
    ASSERT_TRUE(reader.SelectDevice(reader.DeviceCount() - 1));
    ASSERT_TRUE(reader.IsAudioCD());
    ASSERT_EQ(reader.TrackCount(), 3);
    EXPECT_EQ(reader.TrackLength(1), 5);
    EXPECT_EQ(reader.TrackLength(2), 5);
    EXPECT_EQ(reader.TrackLength(3), 6);

    // The disc is used now: a second burn is refused and leaves it alone.
    EXPECT_EQ(b.DiscState(letterOf(b, cue)), "The disc is not blank.");
    b.ResetBurner();
    EXPECT_EQ(b.TrackCount(), 0);
}

TEST_F(AudioBurnerTest, ItemsThatCannotBeDecodedAreRefused)
{
    QFile text(item("notes.mp3"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("these are not audio frames, only text pretending to be them\n");
    text.close();
    QFile empty(item("empty.wav"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    const Item good = makeItem(item("good.wav"), 1.0);
    ASSERT_FALSE(good.path.isEmpty());

    cAudioBurner b;
    for (const QString& bad : {item("notes.mp3"), item("empty.wav"), item("missing.wav"), QString()})
        EXPECT_FALSE(b.AddTrack(bad)) << bad.toStdString();
    EXPECT_EQ(b.TrackCount(), 0);
    EXPECT_TRUE(b.AddTrack(good.path));
    EXPECT_EQ(b.TrackCount(), 1);
}

TEST_F(AudioBurnerTest, RefusedBurnsEndInAnErrorAndWriteNothing)
{
    const Item good = makeItem(item("good.wav"), 1.0);
    ASSERT_FALSE(good.path.isEmpty());
    // 81 minutes at the lowest rate: the header alone shows it does not fit.
    const Item tooLong = [&] {
        Item i;
        QProcess p;
        p.start("ffmpeg", {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                           "anullsrc=r=8000:cl=mono", "-t", "4860", "-c:a", "libmp3lame", "-b:a", "8k",
                           item("long.mp3")});
        if (p.waitForFinished(120000) && p.exitCode() == 0)
            i.path = item("long.mp3");
        return i;
    }();
    ASSERT_FALSE(tooLong.path.isEmpty());
    const QString used = dir.filePath("disc/used.cue");
    QFile u(used);
    ASSERT_TRUE(u.open(QIODevice::WriteOnly));
    u.write("keep me");
    u.close();
    useWriters({cue, used});

    struct Case {
        const char* name;
        QString writer;
        QStringList files;
        int code;
        QString text;
    } cases[] = {
        {"no tracks", cue, {}, cAudioBurner::ErrNoTracks, "Nothing to burn."},
        {"used disc", used, {good.path}, cAudioBurner::ErrNotBlank, "The disc is not blank."},
        {"too long", cue, {good.path, tooLong.path}, cAudioBurner::ErrTooBig, cAudioBurner::TooBigText()},
    };
    for (const Case& c : cases) {
        cAudioBurner b;
        Events ev;
        ev.attach(b);
        for (const QString& f : c.files)
            ASSERT_TRUE(b.AddTrack(f)) << c.name;
        const long result = b.BurnToDrive(letterOf(b, c.writer), 65535);
        EXPECT_EQ(result, cAudioBurner::ResultError) << c.name;
        EXPECT_EQ(ev.log, QStringList{QStringLiteral("error %1 %2").arg(c.code).arg(c.text)}) << c.name;
    }
    EXPECT_EQ(filesIn(dir.filePath("disc")), QStringList({"used.cue"}));
    QFile check(used);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), QByteArray("keep me"));

    // An unknown letter is an error too, not a silent success.
    cAudioBurner b;
    Events ev;
    ev.attach(b);
    ASSERT_TRUE(b.AddTrack(good.path));
    EXPECT_EQ(b.BurnToDrive("?", 65535), cAudioBurner::ResultError);
    EXPECT_EQ(ev.ends().size(), 1);
}

TEST_F(AudioBurnerTest, AnAbortedOrFailedBurnLeavesTheDiscBlankAndTheBurnerUsable)
{
    const Item a = makeItem(item("a.wav"), 8.0);
    const Item c = makeItem(item("c.wav"), 8.0, 550);
    ASSERT_FALSE(a.path.isEmpty());
    ASSERT_FALSE(c.path.isEmpty());
    const QString doomed = item("b.wav");
    ASSERT_TRUE(QFile::copy(c.path, doomed));

    cAudioBurner b;
    const QString letter = letterOf(b, cue);

    // Aborted from inside an event, as a window's Abort button does.
    {
        Events ev;
        ev.attach(b);
        ev.onEvent = [&](const QString& e) {
            if (e == "progress 1")
                b.AbortJob();
        };
        ASSERT_TRUE(b.AddTrack(a.path));
        ASSERT_TRUE(b.AddTrack(c.path));
        EXPECT_EQ(b.BurnToDrive(letter, 1764), cAudioBurner::ResultAborted);
        EXPECT_TRUE(ev.ends().isEmpty()) << ev.log.join(", ").toStdString();
        EXPECT_EQ(b.DiscState(letter), "");
        EXPECT_TRUE(filesIn(dir.filePath("disc")).isEmpty());
        b.ResetBurner();
        QObject::disconnect(&b, nullptr, nullptr, nullptr);
    }
    // An item that went away after it was added fails the burn midway.
    {
        Events ev;
        ev.attach(b);
        ASSERT_TRUE(b.AddTrack(a.path));
        ASSERT_TRUE(b.AddTrack(doomed));
        ASSERT_TRUE(QFile::remove(doomed));
        EXPECT_EQ(b.BurnToDrive(letter, 65535), cAudioBurner::ResultError);
        ASSERT_EQ(ev.ends().size(), 1);
        EXPECT_TRUE(ev.ends()[0].startsWith(QStringLiteral("error %1").arg(cAudioBurner::ErrDecode)));
        EXPECT_TRUE(filesIn(dir.filePath("disc")).isEmpty());
        b.ResetBurner();
        QObject::disconnect(&b, nullptr, nullptr, nullptr);
    }
    // The same burner then writes a whole disc.
    Events ev;
    ev.attach(b);
    ASSERT_TRUE(b.AddTrack(a.path));
    EXPECT_EQ(b.BurnToDrive(letter, 65535), 0);
    EXPECT_EQ(ev.ends(), QStringList{"finished"});
    const ReadBack rb = readImage(cue);
    ASSERT_TRUE(rb.ok) << rb.why.toStdString();
    ASSERT_EQ(rb.tracks.size(), 1u);
    EXPECT_TRUE(rb.tracks[0] == padToSectors(a.pcm));
}

} // namespace
