// The CD ripper component against generated cue/bin images: what it lists,
// what it rips (bit for bit), and its event contract.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <optional>

#include "components/audio/AudioEncoder.h"
#include "components/audio/AudioJobErrors.h"
#include "components/audio/AudioJobRunner.h"
#include "tests/components/audio/HeldWork.h"
#include "tests/components/audio/PostedEnds.h"
#include "tests/components/audio/StalledReads.h"
#include "components/disc/cAudioCDRipper.h"
#include "components/audio/cAudioConverter.h"
#include "tests/components/disc/CdImageFixture.h"
#include "tests/support/NamedPipe.h"

namespace {

using namespace cdimage;

// The events of one ripper, in order, and whether any came inside a call.
struct Events {
    QStringList log;
    bool inCall = false;
    bool firedInCall = false;
    std::function<void(const QString&)> onEvent;

    void attach(cAudioCDRipper& r)
    {
        QObject::connect(&r, &cAudioCDRipper::JobProgress, [this](int p) { add(QStringLiteral("progress %1").arg(p)); });
        QObject::connect(&r, &cAudioCDRipper::JobDone, [this] { add("done"); });
        QObject::connect(&r, &cAudioCDRipper::JobAborted, [this] { add("aborted"); });
        QObject::connect(&r, &cAudioCDRipper::JobError,
                         [this](int code, const QString&) { add(QStringLiteral("error %1").arg(code)); });
    }
    void add(const QString& e)
    {
        if (inCall)
            firedInCall = true;
        log << e;
        if (onEvent)
            onEvent(e);
    }
    QStringList ends() const
    {
        QStringList out;
        for (const QString& e : log)
            if (!e.startsWith("progress"))
                out << e;
        return out;
    }
    // Waits for n end events, then a little longer so that stray ones would show.
    bool waitEnds(int n = 1)
    {
        const bool ok = QTest::qWaitFor([&] { return ends().size() >= n; }, 30000);
        QTest::qWait(150);
        return ok;
    }
};

int deviceIndex(cAudioCDRipper& r, const QString& cueName)
{
    for (int i = 0; i < r.DeviceCount(); ++i)
        if (r.DeviceName(i).mid(3) == cueName)
            return i;
    return -1;
}

QStringList leftovers(const QString& dir)
{
    QStringList files = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    files.sort();
    return files;
}

class CdRipperTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override { kvaudio::setWrittenOutputHook({}); }
    void useImages(const QStringList& cues) { qputenv("KELVANE_CD_IMAGES", cues.join(':').toLocal8Bit()); }

    // Starts one rip and checks the parts of the contract every rip shares.
    void rip(cAudioCDRipper& r, Events& ev)
    {
        ev.inCall = true;
        r.StartRip();
        ev.inCall = false;
        EXPECT_TRUE(ev.log.isEmpty()) << "an event came inside StartRip";
    }

    QTemporaryDir dir;
};

TEST_F(CdRipperTest, ImageDriveListsTracksWithLengthsAndTypes)
{
    const Image a = writeImage(dir.path(), "album", {{3 * kSecond}, {5 * kSecond}, {2 * kSecond}, {2 * kSecond, false}}, 1);
    const Image d = writeImage(dir.path(), "data", {{4 * kSecond, false}}, 2);
    useImages({a.cue, d.cue, dir.path() + "/absent.cue"});
    cAudioCDRipper r;

    const int ia = deviceIndex(r, "album.cue"), id = deviceIndex(r, "data.cue"), ix = deviceIndex(r, "absent.cue");
    ASSERT_GE(ia, 0);
    ASSERT_GE(id, 0);
    ASSERT_GE(ix, 0);
    // Image drives take letters from Z down, in list order.
    EXPECT_EQ(r.DeviceName(ia).left(3), "Z: ");
    EXPECT_EQ(r.DeviceName(id).left(3), "Y: ");
    EXPECT_EQ(r.DeviceName(ix).left(3), "X: ");

    ASSERT_TRUE(r.SelectDevice(ia));
    EXPECT_TRUE(r.IsAudioCD());
    ASSERT_EQ(r.TrackCount(), 4);
    const int lengths[] = {3, 5, 2, 2};
    const int kinds[] = {1, 1, 1, 2};
    for (int t = 1; t <= 4; ++t) {
        EXPECT_TRUE(r.QueryTrack(t) == kinds[t - 1]) << "track " << t;
        EXPECT_EQ(r.TrackLength(t), lengths[t - 1]) << "track " << t;
    }
    EXPECT_EQ(r.QueryTrack(0), 0);
    EXPECT_EQ(r.QueryTrack(5), 0);
    EXPECT_EQ(r.TrackLength(5), 0);

    // A data disc is a disc, but not an audio CD.
    ASSERT_TRUE(r.SelectDevice(id));
    EXPECT_FALSE(r.IsAudioCD());
    EXPECT_EQ(r.TrackCount(), 1);
    EXPECT_EQ(r.QueryTrack(1), 2);

    // An image drive without its file is an empty drive.
    ASSERT_TRUE(r.SelectDevice(ix));
    EXPECT_FALSE(r.IsAudioCD());
    EXPECT_EQ(r.TrackCount(), 0);

    // A device nobody has shows nothing, never the drive selected before.
    ASSERT_TRUE(r.SelectDevice(ia));
    EXPECT_FALSE(r.SelectDevice(r.DeviceCount()));
    EXPECT_FALSE(r.IsAudioCD());
    EXPECT_EQ(r.TrackCount(), 0);
    EXPECT_EQ(r.TrackLength(1), 0);
    EXPECT_FALSE(r.SelectDevice(-1));
    EXPECT_EQ(r.TrackCount(), 0);
    EXPECT_EQ(r.DeviceName(r.DeviceCount()), "");
}

TEST_F(CdRipperTest, TrackStartsAtIndex01AndOwnsTheNextPregap)
{
    // Track 2 has a one-second INDEX 00 gap; the table of contents starts it at
    // INDEX 01, so the gap counts into track 1.
    const Image img = writeImage(dir.path(), "gaps", {{3 * kSecond}, {2 * kSecond, true, kSecond}, {kSecond}}, 3);
    useImages({img.cue});
    cAudioCDRipper r;
    ASSERT_TRUE(r.SelectDevice(deviceIndex(r, "gaps.cue")));
    ASSERT_EQ(r.TrackCount(), 3);
    EXPECT_EQ(r.TrackLength(1), 4);
    EXPECT_EQ(r.TrackLength(2), 2);

    Events ev;
    ev.attach(r);
    r.setRipDevice(deviceIndex(r, "gaps.cue"));
    r.setOutputFile(dir.path() + "/t2.wav");
    r.setRipTrack(2);
    rip(r, ev);
    ASSERT_TRUE(ev.waitEnds());
    ASSERT_EQ(ev.ends(), QStringList{"done"});
    EXPECT_TRUE(wavPcm(dir.path() + "/t2.wav") == img.sectors(img.starts[1], 2 * kSecond));
}

TEST_F(CdRipperTest, RipsTrackBitExactWithProgressAndOneEndEvent)
{
    const Image img = writeImage(dir.path(), "disc", {{3 * kSecond}, {5 * kSecond}, {2 * kSecond}}, 4);
    useImages({img.cue});
    cAudioCDRipper r;
    Events ev;
    ev.attach(r);
    r.setRipDevice(deviceIndex(r, "disc.cue"));
    r.setOutputFormat(1);
    r.SetWAVSettings(WAVSettings{44100, 2, 16});
    r.setTagTitle("Second");
    r.setRipTrack(2);
    r.setOutputFile(dir.path() + "/Track02.wav");
    rip(r, ev);
    ASSERT_TRUE(ev.waitEnds());

    ASSERT_EQ(ev.ends(), QStringList{"done"});
    EXPECT_EQ(ev.log.last(), "done");
    int previous = 0;
    for (const QString& e : ev.log.mid(0, ev.log.size() - 1)) {
        const int p = e.section(' ', 1).toInt();
        EXPECT_TRUE(p > previous && p <= 100) << e.toStdString();
        previous = p;
    }
    EXPECT_EQ(previous, 100);
    const QByteArray pcm = wavPcm(dir.path() + "/Track02.wav");
    EXPECT_EQ(pcm.size(), 5 * 176400);
    EXPECT_TRUE(pcm == img.track(2));
    EXPECT_EQ(leftovers(dir.path()), QStringList({"Track02.wav", "disc.bin", "disc.cue"}));
}

TEST_F(CdRipperTest, RipsIntoEveryFormatWithTheSharedEncoders)
{
    const Image img = writeImage(dir.path(), "disc", {{kSecond}, {4 * kSecond}}, 18);
    useImages({img.cue});
    cAudioCDRipper r;
    Events ev;
    ev.attach(r);
    r.setRipDevice(deviceIndex(r, "disc.cue"));
    r.setRipTrack(2);
    r.setTagTitle("Second Song");
    r.setTagArtist("The Band");

    MP3Settings mp3{};
    mp3.Bitrate = 128;
    mp3.SampleRate = 44100;
    mp3.Mode = 1;
    mp3.Quality = 5;
    struct Case {
        const char* file;
        int format;
        int rate, channels;
        bool tagsReadBack;
    };
    const Case cases[] = {
        {"a.wav", 1, 22050, 1, false}, // WAV other than the CD's own format
        {"b.wav", 2, 22050, 1, false}, // ACM WAV: IMA ADPCM
        {"c.mp3", 3, 44100, 2, true},
        {"d.wma", 4, 0, 0, true},
        {"e.ogg", 5, 44100, 2, true},
    };
    cAudioConverter probe;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        r.setOutputFormat(c.format);
        r.SetWAVSettings(WAVSettings{22050, 1, 8});
        r.SetACMFormat("IMA ADPCM", "22050 Hz, 4 bit, Mono");
        r.SetMP3Settings(mp3);
        r.SetWMASettings(WMASettings{0, 0});
        r.SetOGGSettings(OGGSettings{0, 0, 40});
        const QString out = dir.path() + "/" + c.file;
        r.setOutputFile(out);
        ev.log.clear();
        rip(r, ev);
        ASSERT_TRUE(ev.waitEnds());
        ASSERT_EQ(ev.ends(), QStringList{"done"});
        ASSERT_EQ(probe.OpenSourceFile(out), 0);
        EXPECT_NEAR(probe.DurationMs(), 4000, 120);
        if (c.rate) {
            EXPECT_EQ(probe.SampleRate(), c.rate);
            EXPECT_EQ(probe.Channels(), c.channels);
        }
        probe.CloseSourceFile();
        if (c.tagsReadBack) {
            probe.ReadTags(out);
            EXPECT_EQ(probe.TagTitle(), "Second Song");
            EXPECT_EQ(probe.TagArtist(), "The Band");
        }
    }
}

TEST_F(CdRipperTest, RangeRipsExactlyItsSecondsAndOnlyOnce)
{
    const Image img = writeImage(dir.path(), "disc", {{2 * kSecond}, {6 * kSecond}}, 5);
    useImages({img.cue});
    cAudioCDRipper r;
    Events ev;
    ev.attach(r);
    r.setRipDevice(deviceIndex(r, "disc.cue"));
    r.setRipTrack(2);

    struct Case {
        int start, length; // -1: not set
        int firstSecond, seconds;
    };
    const Case cases[] = {
        {1, 3, 1, 3},   // inside the track
        {0, 1, 0, 1},   // from the start
        {4, 10, 4, 2},  // past the end: ends with the track
        {-1, 2, 0, 2},  // only a length: from the start
        {5, -1, 5, 1},  // only a start: to the end
        {-1, -1, 0, 6}, // no range after ranged rips: the whole track
    };
    int n = 0;
    for (const Case& c : cases) {
        if (c.start >= 0)
            r.setRangeStart(c.start);
        if (c.length >= 0)
            r.setRangeLength(c.length);
        const QString out = dir.path() + QStringLiteral("/range%1.wav").arg(++n);
        r.setOutputFile(out);
        ev.log.clear();
        rip(r, ev);
        ASSERT_TRUE(ev.waitEnds()) << "case " << n;
        ASSERT_EQ(ev.ends(), QStringList{"done"}) << "case " << n;
        const QByteArray pcm = wavPcm(out);
        EXPECT_EQ(pcm.size(), c.seconds * 176400) << "case " << n;
        EXPECT_TRUE(pcm == img.sectors(img.starts[1] + c.firstSecond * kSecond, c.seconds * kSecond)) << "case " << n;
    }
}

TEST_F(CdRipperTest, FailuresEndInOneQueuedErrorAndLeaveNoFile)
{
    const Image img = writeImage(dir.path(), "disc", {{2 * kSecond}, {kSecond, false}}, 6);
    useImages({img.cue, dir.path() + "/gone.cue"});
    const QString out = dir.path() + "/out";
    ASSERT_TRUE(QDir().mkpath(out));

    struct Case {
        const char* what;
        int device; // 0 the image, 1 the absent image, 2 no such device
        int track;
        int rangeStart, rangeLength;
        int format;
        QString file;
        int code;
        bool damaged = false; // the written file is emptied before it is read back
    };
    const Case cases[] = {
        {"missing output folder", 0, 1, -1, -1, 1, out + "/no/such/folder/x.wav", cAudioCDRipper::ErrOutput},
        {"no output file", 0, 1, -1, -1, 1, "", cAudioCDRipper::ErrOutput},
        {"output is a folder", 0, 1, -1, -1, 1, out, cAudioCDRipper::ErrOutput},
        {"data track", 0, 2, -1, -1, 1, out + "/x.wav", cAudioCDRipper::ErrNoTrack},
        {"no such track", 0, 7, -1, -1, 1, out + "/x.wav", cAudioCDRipper::ErrNoTrack},
        {"range beyond track", 0, 1, 2, 1, 1, out + "/x.wav", cAudioCDRipper::ErrBadRange},
        {"empty range", 0, 1, 0, 0, 1, out + "/x.wav", cAudioCDRipper::ErrBadRange},
        {"no disc", 1, 1, -1, -1, 1, out + "/x.wav", cAudioCDRipper::ErrNoDisc},
        {"no device", 2, 1, -1, -1, 1, out + "/x.wav", cAudioCDRipper::ErrNoDevice},
        {"unknown format", 0, 1, -1, -1, 9, out + "/x.wav", kvaudio::ErrSettings},
        {"unknown output format", 0, 1, -1, -1, 9, out + "/x.ape", kvaudio::ErrSettings},
        {"writing over the image", 0, 1, -1, -1, 1, img.bin, cAudioCDRipper::ErrOwnInput},
        {"output that does not decode", 0, 1, -1, -1, 3, out + "/x.mp3", kvaudio::ErrWrite, true},
    };
    cAudioCDRipper r;
    Events ev;
    ev.attach(r);
    const int devices[] = {deviceIndex(r, "disc.cue"), deviceIndex(r, "gone.cue"), r.DeviceCount()};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        r.setRipDevice(devices[c.device]);
        r.setRipTrack(c.track);
        if (c.rangeStart >= 0)
            r.setRangeStart(c.rangeStart);
        if (c.rangeLength >= 0)
            r.setRangeLength(c.rangeLength);
        r.setOutputFormat(c.format);
        r.setOutputFile(c.file);
        kvaudio::setWrittenOutputHook(c.damaged ? [](const QString& p) { QFile::resize(p, 0); }
                                                : std::function<void(const QString&)>());
        ev.log.clear();
        rip(r, ev);
        ASSERT_TRUE(ev.waitEnds());
        // A file found wrong once written comes after the rip's progress.
        EXPECT_EQ(c.damaged ? ev.ends() : ev.log, QStringList{QStringLiteral("error %1").arg(c.code)});
        EXPECT_TRUE(leftovers(out).isEmpty()) << leftovers(out).join(' ').toStdString();
    }
    EXPECT_TRUE(readFile(img.bin) == img.data);
}

TEST_F(CdRipperTest, AbortGivesOnlyJobAbortedAndKeepsTheExistingFile)
{
    const Image img = writeImage(dir.path(), "long", {{90 * kSecond}}, 7);
    useImages({img.cue});
    const QString target = dir.path() + "/out/keep.wav";
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/out"));
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("previous contents");
    }
    cAudioCDRipper r;
    Events ev;
    ev.attach(r);
    r.setRipDevice(deviceIndex(r, "long.cue"));
    r.setRipTrack(1);
    r.setOutputFile(target);

    // At once, before any event, and again once progress has been seen.
    rip(r, ev);
    r.AbortJob();
    ASSERT_TRUE(ev.waitEnds());
    EXPECT_EQ(ev.log, QStringList{"aborted"});

    ev.log.clear();
    ev.onEvent = [&](const QString& e) {
        if (e.startsWith("progress"))
            r.AbortJob();
    };
    rip(r, ev);
    ASSERT_TRUE(ev.waitEnds());
    ASSERT_EQ(ev.ends(), QStringList{"aborted"});
    EXPECT_EQ(ev.log.size(), 2) << ev.log.join(", ").toStdString(); // one progress, then the end

    EXPECT_EQ(readFile(target), QByteArray("previous contents"));
    EXPECT_EQ(leftovers(dir.path() + "/out"), QStringList{"keep.wav"});

    // AbortJob with nothing running does nothing.
    ev.log.clear();
    r.AbortJob();
    QTest::qWait(100);
    EXPECT_TRUE(ev.log.isEmpty());
}

TEST_F(CdRipperTest, SuccessReplacesAnExistingFileAndNextRipMayStartFromTheEndEvent)
{
    const Image img = writeImage(dir.path(), "disc", {{kSecond}, {2 * kSecond}, {3 * kSecond}}, 8);
    useImages({img.cue});
    const QString first = dir.path() + "/one.wav";
    {
        QFile f(first);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    cAudioCDRipper r;
    Events ev;
    ev.attach(r);
    r.setRipDevice(deviceIndex(r, "disc.cue"));
    r.setRipTrack(1);
    r.setOutputFile(first);
    // As a job does it: the next track starts inside the handler of the last one's end.
    int next = 2;
    ev.onEvent = [&](const QString& e) {
        if ((e == "done" || e.startsWith("error")) && next <= 3) {
            r.setRipTrack(next);
            r.setOutputFile(dir.path() + QStringLiteral("/t%1.wav").arg(next));
            ++next;
            r.StartRip();
        }
    };
    rip(r, ev);
    ASSERT_TRUE(ev.waitEnds(3));
    EXPECT_EQ(ev.ends(), QStringList({"done", "done", "done"}));
    EXPECT_TRUE(wavPcm(first) == img.track(1));
    EXPECT_TRUE(wavPcm(dir.path() + "/t2.wav") == img.track(2));
    EXPECT_TRUE(wavPcm(dir.path() + "/t3.wav") == img.track(3));
}

TEST_F(CdRipperTest, SecondStartWhileRippingIsRefusedAndTheFirstStillEnds)
{
    const Image img = writeImage(dir.path(), "disc", {{20 * kSecond}}, 9);
    useImages({img.cue});
    cAudioCDRipper r;
    Events ev;
    ev.attach(r);
    r.setRipDevice(deviceIndex(r, "disc.cue"));
    r.setRipTrack(1);
    r.setOutputFile(dir.path() + "/a.wav");
    rip(r, ev);
    r.setOutputFile(dir.path() + "/b.wav");
    r.setRangeStart(2);
    r.setRangeLength(1);
    r.StartRip();
    ASSERT_TRUE(ev.waitEnds(2));
    EXPECT_EQ(ev.ends(), QStringList({QStringLiteral("error %1").arg(cAudioCDRipper::ErrBusy), "done"}));
    EXPECT_TRUE(wavPcm(dir.path() + "/a.wav") == img.track(1));
    EXPECT_FALSE(QFile::exists(dir.path() + "/b.wav"));

    // The range given to the refused start is kept for the next one.
    ev.log.clear();
    r.StartRip();
    ASSERT_TRUE(ev.waitEnds());
    ASSERT_EQ(ev.ends(), QStringList{"done"});
    EXPECT_TRUE(wavPcm(dir.path() + "/b.wav") == img.sectors(img.starts[0] + 2 * kSecond, kSecond));
}

TEST_F(CdRipperTest, ReleaseComponentStopsTheRipAndQueriesKeepWorking)
{
    const Image img = writeImage(dir.path(), "disc", {{60 * kSecond}, {kSecond}}, 10);
    useImages({img.cue});
    cAudioCDRipper r;
    Events ev;
    ev.attach(r);
    const int dev = deviceIndex(r, "disc.cue");
    r.setRipDevice(dev);
    r.setRipTrack(1);
    r.setOutputFile(dir.path() + "/a.wav");
    rip(r, ev);
    r.StartRip(); // refused; its error is still queued at the release
    r.ReleaseComponent();
    // Released means silent: neither the stopped rip nor the refusal posts
    // an event afterwards.
    QTest::qWait(300);
    EXPECT_TRUE(ev.log.isEmpty()) << ev.log.join(' ').toStdString();
    EXPECT_FALSE(QFile::exists(dir.path() + "/a.wav"));
    ASSERT_TRUE(r.SelectDevice(dev));
    EXPECT_TRUE(r.IsAudioCD());
    EXPECT_EQ(r.TrackCount(), 2);
}

// A rip stuck in a read that never returns (a dead drive; here a read on a
// pipe nobody writes to) holds neither an abort nor a release: each returns,
// and the abort's end comes, while the rip still waits behind the shut gate.
TEST_F(CdRipperTest, ARipThatNeverReturnsIsLetGo)
{
    const Image img = writeImage(dir.path(), "disc", {{kSecond}}, 11);
    useImages({img.cue});
    StalledReads jobs(kvaudio::setJobStartHook);
    ASSERT_TRUE(jobs.ready());

    for (const bool release : {false, true}) {
        SCOPED_TRACE(release ? "release" : "abort");
        auto r = std::make_unique<cAudioCDRipper>();
        Events ev;
        ev.attach(*r);
        r->setRipDevice(deviceIndex(*r, "disc.cue"));
        r->setRipTrack(1);
        r->setOutputFile(dir.path() + (release ? "/released.wav" : "/aborted.wav"));
        const int before = jobs.stalled();
        r->StartRip();
        ASSERT_TRUE(QTest::qWaitFor([&] { return jobs.stalled() > before; }, 10000));
        const int stuck = jobs.waiting();
        if (release) {
            EXPECT_FALSE(jobs.callWaitedForThem([&] { r->ReleaseComponent(); }));
            EXPECT_EQ(jobs.waiting(), stuck);
            QTest::qWait(200);
            EXPECT_TRUE(ev.log.isEmpty()) << ev.log.join(' ').toStdString();
            EXPECT_FALSE(jobs.callWaitedForThem([&] { r.reset(); }));
            EXPECT_EQ(jobs.waiting(), stuck);
        } else {
            EXPECT_FALSE(jobs.callWaitedForThem([&] { r->AbortJob(); }));
            ASSERT_TRUE(ev.waitEnds());
            EXPECT_EQ(jobs.waiting(), stuck) << "the end waited for the rip";
            EXPECT_EQ(ev.ends(), QStringList{"aborted"});
        }
    }
    EXPECT_TRUE(leftovers(dir.path()).filter(".wav").isEmpty()) << leftovers(dir.path()).join(' ').toStdString();
}

TEST_F(CdRipperTest, DestroyingTheComponentMidJobLeavesNoFile)
{
    const Image img = writeImage(dir.path(), "disc", {{kSecond}, {60 * kSecond}}, 17);
    useImages({img.cue});
    const QString out = dir.path() + "/out";
    ASSERT_TRUE(QDir().mkpath(out));
    for (int track : {1, 2}) {
        SCOPED_TRACE(track);
        auto r = std::make_unique<cAudioCDRipper>();
        r->setRipDevice(deviceIndex(*r, "disc.cue"));
        r->setRipTrack(track);
        r->setOutputFile(out + "/x.wav");
        // Track 1 is finished, its end event still queued; track 2 is held mid-read.
        PostedEnds ends;
        std::optional<HeldWork> held;
        if (track == 2)
            held.emplace();
        r->StartRip();
        ASSERT_TRUE(track == 1 ? ends.waitPosted() : held->waitHeld());
        r.reset();
        QTest::qWait(50);
        EXPECT_TRUE(leftovers(out).isEmpty()) << leftovers(out).join(' ').toStdString();
    }
}

TEST_F(CdRipperTest, ReplacedOrRemovedImageShowsAtTheNextQuery)
{
    const QString cue = dir.path() + "/swap.cue";
    writeImage(dir.path(), "swap", {{3 * kSecond}, {4 * kSecond}, {5 * kSecond}}, 11);
    useImages({cue});
    cAudioCDRipper r;
    const int dev = deviceIndex(r, "swap.cue");
    const QString name = r.DeviceName(dev);
    ASSERT_TRUE(r.SelectDevice(dev));
    ASSERT_EQ(r.TrackCount(), 3);

    // Replaced in place, same file names: the next query sees the new disc,
    // whether or not the device is selected again.
    writeImage(dir.path(), "swap", {{7 * kSecond}, {kSecond, false}}, 12);
    EXPECT_EQ(r.TrackCount(), 2);
    EXPECT_EQ(r.TrackLength(1), 7);
    EXPECT_EQ(r.QueryTrack(2), 2);

    // Replaced by another image moved over it.
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/new"));
    const Image other = writeImage(dir.path() + "/new", "swap", {{kSecond}}, 13);
    ASSERT_TRUE(QFile::remove(cue) && QFile::remove(dir.path() + "/swap.bin"));
    ASSERT_TRUE(QFile::rename(other.cue, cue) && QFile::rename(other.bin, dir.path() + "/swap.bin"));
    ASSERT_TRUE(r.SelectDevice(dev));
    EXPECT_EQ(r.TrackCount(), 1);
    EXPECT_EQ(r.TrackLength(1), 1);

    // Removed: an empty drive under the same name.
    ASSERT_TRUE(QFile::remove(cue));
    EXPECT_FALSE(r.IsAudioCD());
    EXPECT_EQ(r.TrackCount(), 0);
    EXPECT_TRUE(r.SelectDevice(dev));
    EXPECT_EQ(r.TrackCount(), 0);
    EXPECT_EQ(r.DeviceName(dev), name);

    // Back again.
    writeImage(dir.path(), "swap", {{2 * kSecond}, {2 * kSecond}}, 14);
    EXPECT_TRUE(r.IsAudioCD());
    EXPECT_EQ(r.TrackCount(), 2);
}

TEST_F(CdRipperTest, CueNamingAnotherBinIsReadFromThatBin)
{
    // Most cue sheets name their own bin; the image is read from the bin the
    // cue names, never from a stray file that happens to match the cue's name.
    const Image img = writeImage(dir.path(), "named", {{kSecond}, {2 * kSecond}}, 15, "Some Other Name.bin");
    writeImage(dir.path(), "decoy", {{9 * kSecond}}, 16, "named.bin");
    useImages({img.cue});
    cAudioCDRipper r;
    Events ev;
    ev.attach(r);
    const int dev = deviceIndex(r, "named.cue");
    ASSERT_TRUE(r.SelectDevice(dev));
    ASSERT_EQ(r.TrackCount(), 2);
    EXPECT_EQ(r.TrackLength(2), 2);
    r.setRipDevice(dev);
    r.setRipTrack(2);
    r.setOutputFile(dir.path() + "/t.wav");
    rip(r, ev);
    ASSERT_TRUE(ev.waitEnds());
    ASSERT_EQ(ev.ends(), QStringList{"done"});
    EXPECT_TRUE(wavPcm(dir.path() + "/t.wav") == img.track(2));

    // A cue over several files, or big-endian samples, is no disc we can read.
    QFile c(dir.path() + "/multi.cue");
    ASSERT_TRUE(c.open(QIODevice::WriteOnly));
    c.write("FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
            "FILE \"b.bin\" BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n");
    c.close();
    QFile m(dir.path() + "/motorola.cue");
    ASSERT_TRUE(m.open(QIODevice::WriteOnly));
    m.write("FILE \"named.bin\" MOTOROLA\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    m.close();
    useImages({dir.path() + "/multi.cue", dir.path() + "/motorola.cue"});
    cAudioCDRipper r2;
    for (const char* cueName : {"multi.cue", "motorola.cue"}) {
        ASSERT_TRUE(r2.SelectDevice(deviceIndex(r2, cueName))) << cueName;
        EXPECT_EQ(r2.TrackCount(), 0) << cueName;
    }
}

// A cue that is a FIFO is no disc and is never opened blocking; a cue over
// 1 MB is refused as too large rather than as missing. Either refusal says
// why; a missing image is simply no disc.
TEST_F(CdRipperTest, ACueThatIsAFifoOrTooLargeIsNoDiscAndNeverBlocks)
{
    testenv::NamedPipe pipe(dir.path() + "/pipe.cue");
    ASSERT_TRUE(pipe.ok());
    const QString fifo = pipe.path();
    const Image img = writeImage(dir.path(), "big", {{kSecond}}, 31);
    padCuePastOneMegabyte(img.cue);
    const QString absent = dir.path() + "/absent.cue";
    useImages({fifo, img.cue, absent});

    cAudioCDRipper r;
    Events ev;
    ev.attach(r);
    QStringList texts;
    QObject::connect(&r, &cAudioCDRipper::JobError, [&](int, const QString& t) { texts << t; });
    struct Case {
        const char* cueName;
        QString refusal;
    } cases[] = {
        {"pipe.cue", "The cue sheet " + fifo + " is not a regular file."},
        {"big.cue", "The cue sheet " + img.cue + " is too large (over 1 MB)."},
        {"absent.cue", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cueName);
        const int dev = deviceIndex(r, c.cueName);
        ASSERT_GE(dev, 0);
        EXPECT_TRUE(r.SelectDevice(dev));
        EXPECT_FALSE(r.IsAudioCD());
        EXPECT_EQ(r.TrackCount(), 0);
        EXPECT_EQ(r.DiscRefusal(), c.refusal);
        r.setRipDevice(dev);
        r.setRipTrack(1);
        r.setOutputFile(dir.path() + "/x.wav");
        ev.log.clear();
        rip(r, ev);
        ASSERT_TRUE(ev.waitEnds());
        EXPECT_EQ(ev.log, QStringList{QStringLiteral("error %1").arg(cAudioCDRipper::ErrNoDisc)});
    }
    // Nothing ever waited on the FIFO for a writer.
    EXPECT_FALSE(pipe.heldAReader());
    EXPECT_EQ(texts, QStringList({"The cue sheet " + fifo + " is not a regular file.",
                                  "The cue sheet " + img.cue + " is too large (over 1 MB).",
                                  "No disc image at " + absent + "."}));
    EXPECT_FALSE(QFile::exists(dir.path() + "/x.wav"));
}

TEST(CdRipperNames, TrackRowNamesGiveTheTrackNumber)
{
    struct Case {
        const char* name;
        int track;
        const char* drive;
    };
    const Case cases[] = {
        {"Z:/Track03.cda", 3, "Z:"},  {"Z:\\Track12.cda", 12, "Z:"}, {"track01.CDA", 1, ""},
        {"D:/Track99.cda", 99, "D:"}, {"D:/Track00.cda", 0, ""},     {"D:/Track03.wav", 0, ""},
        {"D:/MyTrack03.cda", 0, ""},  {"", 0, ""},
    };
    for (const Case& c : cases) {
        QString drive;
        EXPECT_EQ(cAudioCDRipper::TrackFromCdaName(c.name, &drive), c.track) << c.name;
        if (c.track) {
            EXPECT_EQ(drive, QString(c.drive)) << c.name;
        }
    }
}

} // namespace
