// Conversions: every output format and its record, ranges, tags, and the
// event protocol of the converter component.
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "components/audio/AudioJobErrors.h"
#include "components/audio/AudioJobRunner.h"
#include "tests/components/audio/HeldWork.h"
#include "tests/components/audio/PostedEnds.h"
#include "tests/components/audio/StalledReads.h"
#include "components/audio/cAudioConverter.h"
#include "tests/components/audio/AudioFixtures.h"

namespace {

MP3Settings mp3Record()
{
    MP3Settings m{};
    m.Bitrate = 128;
    m.ABRBitrate = 96;
    m.Mode = 1;
    m.SampleRate = 44100;
    m.Quality = 5;
    m.VBRQuality = 5;
    m.MinBitrate = 9;
    m.MaxBitrate = 11;
    return m;
}

struct Events {
    explicit Events(cAudioConverter* c)
        : progress(c, &cAudioConverter::JobProgress), done(c, &cAudioConverter::JobDone),
          aborted(c, &cAudioConverter::JobAborted), error(c, &cAudioConverter::JobError)
    {
    }
    int ends() const { return int(done.count() + aborted.count() + error.count()); }
    // Waits for the unit's end, then a little longer so that a stray second event would show.
    bool waitEnd(int ms = 60000)
    {
        QElapsedTimer t;
        t.start();
        while (ends() == 0 && t.elapsed() < ms)
            QTest::qWait(10);
        QTest::qWait(150);
        return ends() > 0;
    }
    QString errorText() const { return error.isEmpty() ? QString() : error.first().at(1).toString(); }
    QSignalSpy progress, done, aborted, error;
};

class ConverterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        tone = fixtures::writeToneWav(path("tone.wav"), 3.0);
    }
    QString path(const QString& name) const { return dir.path() + "/" + name; }
    QStringList leftovers() const
    {
        return QDir(dir.path()).entryList(QStringList{"*.part"}, QDir::Files | QDir::Hidden);
    }
    void setTags(cAudioConverter& c)
    {
        c.setTagTitle("Title Ω");
        c.setTagArtist("Artist");
        c.setTagAlbum("Album");
        c.setTagGenre("Blues");
        c.setTagYear("2011");
        c.setTagTrack("4");
        c.setTagComment("Comment");
    }
    QTemporaryDir dir;
    QString tone;
};

struct FormatCase {
    const char* name;
    int code;
    std::function<void(cAudioConverter&)> configure;
    const char* codec;
    int rate, channels;
    bool tagged;
};

TEST_F(ConverterTest, EachOutputFormatWritesWhatItsRecordAsks)
{
    const QList<FormatCase> cases = {
        {"w8.wav", 1, [](cAudioConverter& c) { c.SetWAVSettings({22050, 1, 8}); }, "pcm_u8", 22050, 1, false},
        {"w16.wav", 1, [](cAudioConverter& c) { c.SetWAVSettings({44100, 2, 16}); }, "pcm_s16le", 44100, 2, false},
        {"pcm.wav", 2, [](cAudioConverter& c) { c.SetACMFormat("PCM", "16000 Hz, 16 bit, Mono"); }, "pcm_s16le", 16000, 1, false},
        {"msadpcm.wav", 2, [](cAudioConverter& c) { c.SetACMFormat("MS ADPCM", "22050 Hz, 4 bit, Stereo"); }, "adpcm_ms", 22050, 2, false},
        {"ima.wav", 2, [](cAudioConverter& c) { c.SetACMFormat("IMA ADPCM", "11025 Hz, 4 bit, Mono"); }, "adpcm_ima_wav", 11025, 1, false},
        {"gsm.wav", 2, [](cAudioConverter& c) { c.SetACMFormat("GSM 6.10", "8000 Hz, 0 bit, Mono"); }, "gsm_ms", 8000, 1, false},
        {"alaw.wav", 2, [](cAudioConverter& c) { c.SetACMFormat("A-Law", "8000 Hz, 8 bit, Stereo"); }, "pcm_alaw", 8000, 2, false},
        {"ulaw.wav", 2, [](cAudioConverter& c) { c.SetACMFormat("u-Law", "44100 Hz, 8 bit, Mono"); }, "pcm_mulaw", 44100, 1, false},
        {"cbr.mp3", 3, [](cAudioConverter& c) { c.SetMP3Settings(mp3Record()); }, "mp3", 44100, 2, true},
        {"mono.mp3", 3, [](cAudioConverter& c) { auto m = mp3Record(); m.Mode = 3; m.SampleRate = 22050; c.SetMP3Settings(m); }, "mp3", 22050, 1, true},
        {"v2.wma", 4, [](cAudioConverter& c) { c.SetWMASettings({0, 2}); }, "wmav2", 44100, 2, true},
        {"v1.wma", 4, [](cAudioConverter& c) { c.SetWMASettings({1, 12}); }, "wmav1", 22050, 1, true},
        {"q.ogg", 5, [](cAudioConverter& c) { c.SetOGGSettings({0, 0, 50}); }, "vorbis", 44100, 2, true},
        // 32 kbit/s is below what Vorbis serves for 44.1 kHz stereo: the nearest bitrate it serves is taken.
        {"nominal.ogg", 5, [](cAudioConverter& c) { c.SetOGGSettings({2, 32, 0}); }, "vorbis", 44100, 2, true},
    };
    for (const FormatCase& fc : cases) {
        SCOPED_TRACE(fc.name);
        for (bool ranged : {false, true}) {
            cAudioConverter conv;
            Events ev(&conv);
            conv.setOutputFormat(fc.code);
            fc.configure(conv);
            setTags(conv);
            conv.setInputFile(tone);
            const QString out = path((ranged ? "r-" : "") + QString(fc.name));
            if (ranged) {
                conv.setRangeStart(1);
                conv.setRangeLength(1);
            }
            conv.setOutputFile(out);
            conv.StartConvert();
            ASSERT_TRUE(ev.waitEnd());
            ASSERT_EQ(ev.done.count(), 1) << ev.errorText().toStdString();
            EXPECT_EQ(ev.ends(), 1);
            const fixtures::Probe p = fixtures::probe(out);
            ASSERT_TRUE(p.ok);
            EXPECT_EQ(p.codec, fc.codec);
            EXPECT_EQ(p.sampleRate, fc.rate);
            EXPECT_EQ(p.channels, fc.channels);
            EXPECT_NEAR(p.seconds, ranged ? 1.0 : 3.0, 0.15);
            if (fc.tagged && !ranged) {
                EXPECT_EQ(p.tags.value("title"), QString("Title Ω"));
                EXPECT_EQ(p.tags.value("artist"), "Artist");
                EXPECT_EQ(p.tags.value("album"), "Album");
                EXPECT_EQ(p.tags.value("genre"), "Blues");
                EXPECT_TRUE(p.tags.value("date").startsWith("2011"));
                EXPECT_EQ(p.tags.value("track"), "4");
                EXPECT_EQ(p.tags.value("comment"), "Comment");
            }
            ASSERT_FALSE(ev.progress.isEmpty());
            EXPECT_EQ(ev.progress.last().at(0).toInt(), 100);
        }
    }
    EXPECT_TRUE(leftovers().isEmpty());
}

} // namespace

namespace {

// The MPEG frame headers of a file, read past its ID3v2 tag.
struct FrameHeader {
    bool crc, copyright, original;
    int channelMode, kbps;
    int modeExtension; // joint stereo: 2 when the frame is mid/side
    QByteArray body; // the first bytes after the header
};

QList<FrameHeader> mpegFrames(const QByteArray& file)
{
    static const int l3v1[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int l3v2[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    QList<FrameHeader> out;
    const auto* b = reinterpret_cast<const unsigned char*>(file.constData());
    qint64 pos = 0;
    if (file.startsWith("ID3"))
        pos = 10 + ((b[6] << 21) | (b[7] << 14) | (b[8] << 7) | b[9]);
    while (pos + 4 <= file.size() && b[pos] == 0xFF && (b[pos + 1] & 0xE0) == 0xE0) {
        const bool v1 = ((b[pos + 1] >> 3) & 3) == 3;
        const int rates[3] = {44100, 48000, 32000};
        const int rate = rates[(b[pos + 2] >> 2) & 3] / (v1 ? 1 : 2);
        const int kbps = (v1 ? l3v1 : l3v2)[b[pos + 2] >> 4];
        const int pad = (b[pos + 2] >> 1) & 1;
        const int len = (v1 ? 144 : 72) * kbps * 1000 / rate + pad;
        out.push_back({(b[pos + 1] & 1) == 0, ((b[pos + 3] >> 3) & 1) == 1, ((b[pos + 3] >> 2) & 1) == 1,
                       (b[pos + 3] >> 6) & 3, kbps, (b[pos + 3] >> 4) & 3, file.mid(pos + 4, 40)});
        if (len <= 0)
            break;
        pos += len;
    }
    return out;
}

} // namespace

TEST_F(ConverterTest, Mp3RecordReachesTheStream)
{
    struct Case {
        const char* name;
        std::function<void(MP3Settings&)> edit;
        std::function<void(const QList<FrameHeader>&)> check;
    };
    auto audioFrames = [](const QList<FrameHeader>& f) { return f.mid(1, f.size() - 2); };
    const QList<Case> cases = {
        {"flags-on.mp3",
         [](MP3Settings& m) { m.Copyright = -1; m.Original = -1; m.ErrorProtection = -1; },
         [](const QList<FrameHeader>& f) {
             for (const FrameHeader& h : f) {
                 EXPECT_TRUE(h.crc);
                 EXPECT_TRUE(h.copyright);
                 EXPECT_TRUE(h.original);
             }
         }},
        {"flags-off.mp3", [](MP3Settings&) {},
         [](const QList<FrameHeader>& f) {
             for (const FrameHeader& h : f) {
                 EXPECT_FALSE(h.crc);
                 EXPECT_FALSE(h.copyright);
                 EXPECT_FALSE(h.original);
             }
             // A constant bitrate too starts with the Info frame, which tells
             // decoders the delay and padding to trim.
             EXPECT_TRUE(f.first().body.contains("Info"));
             for (const FrameHeader& h : f)
                 EXPECT_EQ(h.kbps, 128);
         }},
        {"vbr.mp3",
         [](MP3Settings& m) { m.VBRMode = 4; m.WriteVBRTag = -1; },
         [](const QList<FrameHeader>& f) { EXPECT_TRUE(f.first().body.contains("Xing")); }},
        {"vbr-hardmin.mp3",
         [](MP3Settings& m) { m.VBRMode = 4; m.WriteVBRTag = -1; m.MinBitrate = 15; m.MaxBitrate = 18; m.VBRForceMinBitrate = -1; },
         [&](const QList<FrameHeader>& f) {
             for (const FrameHeader& h : audioFrames(f))
                 EXPECT_GE(h.kbps, 192);
         }},
        {"vbr-max.mp3",
         [](MP3Settings& m) { m.VBRMode = 4; m.VBRQuality = 0; m.MinBitrate = 0; m.MaxBitrate = 7; },
         [&](const QList<FrameHeader>& f) {
             for (const FrameHeader& h : audioFrames(f))
                 EXPECT_LE(h.kbps, 64);
         }},
        {"mono.mp3", [](MP3Settings& m) { m.Mode = 3; },
         [](const QList<FrameHeader>& f) {
             for (const FrameHeader& h : f)
                 EXPECT_EQ(h.channelMode, 3);
         }},
        {"stereo.mp3", [](MP3Settings& m) { m.Mode = 0; },
         [](const QList<FrameHeader>& f) {
             for (const FrameHeader& h : f)
                 EXPECT_EQ(h.channelMode, 0);
         }},
        // The tone's channels differ, so only a forced joint stereo codes every frame mid/side.
        {"forced-joint.mp3", [](MP3Settings& m) { m.Mode = 5; },
         [](const QList<FrameHeader>& f) {
             for (const FrameHeader& h : f) {
                 EXPECT_EQ(h.channelMode, 1);
                 EXPECT_EQ(h.modeExtension & 2, 2);
             }
         }},
        {"dual.mp3", [](MP3Settings& m) { m.Mode = 2; },
         [](const QList<FrameHeader>& f) {
             for (const FrameHeader& h : f)
                 EXPECT_EQ(h.channelMode, 2);
         }},
        {"cbr-320.mp3", [](MP3Settings& m) { m.Bitrate = 320; },
         [](const QList<FrameHeader>& f) {
             for (const FrameHeader& h : f)
                 EXPECT_EQ(h.kbps, 320);
         }},
    };
    QMap<QString, qint64> sizes;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cAudioConverter conv;
        Events ev(&conv);
        MP3Settings m = mp3Record();
        c.edit(m);
        conv.setOutputFormat(3);
        conv.SetMP3Settings(m);
        conv.setInputFile(tone);
        conv.setOutputFile(path(c.name));
        conv.StartConvert();
        ASSERT_TRUE(ev.waitEnd());
        ASSERT_EQ(ev.done.count(), 1) << ev.errorText().toStdString();
        const QList<FrameHeader> frames = mpegFrames(fixtures::readAll(path(c.name)));
        ASSERT_GT(frames.size(), 100);
        c.check(frames);
    }
    // Average bitrate follows the record's ABR value.
    for (int abr : {64, 192}) {
        cAudioConverter conv;
        Events ev(&conv);
        MP3Settings m = mp3Record();
        m.VBRMode = 3;
        m.ABRBitrate = abr;
        m.MinBitrate = 0;
        m.MaxBitrate = 18;
        conv.setOutputFormat(3);
        conv.SetMP3Settings(m);
        conv.setInputFile(tone);
        conv.setOutputFile(path(QString("abr%1.mp3").arg(abr)));
        conv.StartConvert();
        ASSERT_TRUE(ev.waitEnd());
        ASSERT_EQ(ev.done.count(), 1);
        sizes[QString::number(abr)] = QFileInfo(path(QString("abr%1.mp3").arg(abr))).size();
    }
    EXPECT_LT(sizes["64"] * 2, sizes["192"]);
}

TEST_F(ConverterTest, FailuresComeAsOneQueuedErrorAndSpareExistingFiles)
{
    QDir().mkpath(path("sub"));
    const QString existing = fixtures::writeBytes(path("sub/existing.mp3"), "keep me");
    struct Case {
        const char* name;
        std::function<void(cAudioConverter&)> setup;
    };
    const QList<Case> cases = {
        {"missing input", [&](cAudioConverter& c) { c.setInputFile(path("nothing.wav")); }},
        {"empty input path", [&](cAudioConverter& c) { c.setInputFile(QString()); }},
        {"not audio", [&](cAudioConverter& c) { c.setInputFile(fixtures::writeBytes(path("text.wav"), "hello")); }},
        {"APE from a file that is not audio", [&](cAudioConverter& c) { c.setOutputFormat(6); c.SetAPESettings(2); c.setInputFile(fixtures::writeBytes(path("text2.wav"), "hello")); }},
        {"unknown ACM codec", [&](cAudioConverter& c) { c.setOutputFormat(2); c.SetACMFormat("Nope", "8000 Hz, 8 bit, Mono"); }},
        {"ACM format of another codec", [&](cAudioConverter& c) { c.setOutputFormat(2); c.SetACMFormat("GSM 6.10", "44100 Hz, 16 bit, Stereo"); }},
        {"empty ACM texts", [&](cAudioConverter& c) { c.setOutputFormat(2); c.SetACMFormat("", ""); }},
        {"WMA codec out of list", [&](cAudioConverter& c) { c.setOutputFormat(4); c.SetWMASettings({7, 0}); }},
        {"WMA format out of list", [&](cAudioConverter& c) { c.setOutputFormat(4); c.SetWMASettings({0, 99}); }},
        {"WAV 24 bit", [&](cAudioConverter& c) { c.SetWAVSettings({44100, 2, 24}); }},
        {"MP3 odd rate", [&](cAudioConverter& c) { auto m = mp3Record(); m.SampleRate = 44000; c.setOutputFormat(3); c.SetMP3Settings(m); }},
        {"range after the end", [&](cAudioConverter& c) { c.setRangeStart(5); c.setRangeLength(2); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cAudioConverter conv;
        Events ev(&conv);
        conv.setOutputFormat(1);
        conv.SetWAVSettings({44100, 2, 16});
        conv.setInputFile(tone);
        conv.setOutputFile(existing);
        c.setup(conv);
        conv.StartConvert();
        EXPECT_EQ(ev.ends(), 0) << "an event inside the start call";
        ASSERT_TRUE(ev.waitEnd(20000));
        EXPECT_EQ(ev.error.count(), 1);
        EXPECT_EQ(ev.ends(), 1);
        EXPECT_NE(ev.error.first().at(0).toInt(), 0);
        EXPECT_FALSE(ev.errorText().isEmpty());
        EXPECT_EQ(fixtures::readAll(existing), QByteArray("keep me"));
        EXPECT_TRUE(QDir(path("sub")).entryList(QDir::Files | QDir::Hidden).size() == 1);
    }
    // The output folder must exist; the component creates none.
    cAudioConverter conv;
    Events ev(&conv);
    conv.setInputFile(tone);
    conv.setOutputFile(path("no/such/folder/out.wav"));
    conv.StartConvert();
    ASSERT_TRUE(ev.waitEnd());
    EXPECT_EQ(ev.error.count(), 1);
    EXPECT_FALSE(QDir(path("no")).exists());
}

// What the job's error says of an input that is no file to read: a folder or
// a pipe exists, so it is never "missing".
TEST_F(ConverterTest, AnInputThatIsNoRegularFileIsNamedForWhatItIs)
{
    const QString pipe = path("pipe.wav");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QDir().mkpath(path("folder.wav"));
    const struct {
        const char* name;
        QString input;
        int code;
        const char* says;
    } cases[] = {
        {"pipe", pipe, kvaudio::ErrSourceUnreadable, "The file 'pipe.wav' cannot be read: it is not a regular file."},
        {"folder", path("folder.wav"), kvaudio::ErrSourceUnreadable,
         "The file 'folder.wav' cannot be read: it is not a regular file."},
        {"missing", path("gone.wav"), kvaudio::ErrSourceMissing, "The file 'gone.wav' does not exist."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cAudioConverter conv;
        Events ev(&conv);
        conv.setInputFile(c.input);
        conv.setOutputFile(path("out.wav"));
        conv.StartConvert();
        ASSERT_TRUE(ev.waitEnd());
        ASSERT_EQ(ev.error.count(), 1);
        EXPECT_EQ(ev.error.first().at(0).toInt(), c.code);
        EXPECT_EQ(ev.errorText().toStdString(), c.says);
        EXPECT_FALSE(QFile::exists(path("out.wav")));
    }
    QFile::remove(pipe);
}

TEST_F(ConverterTest, OutputOnTheInputIsRefusedAndTheInputKept)
{
    const QByteArray before = fixtures::readAll(tone);
    QFile::link(tone, path("link.wav"));
    for (const QString& out : {tone, path("./tone.wav"), path("link.wav")}) {
        cAudioConverter conv;
        Events ev(&conv);
        conv.setInputFile(tone);
        conv.setOutputFile(out);
        conv.StartConvert();
        ASSERT_TRUE(ev.waitEnd());
        EXPECT_EQ(ev.error.count(), 1) << out.toStdString();
        EXPECT_EQ(fixtures::readAll(tone), before);
    }
}

TEST_F(ConverterTest, AbortMidUnitGivesOnlyAbortedAndLeavesNothing)
{
    const QString longTone = fixtures::writeToneWav(path("long.wav"), 120.0);
    const QString out = fixtures::writeBytes(path("out.mp3"), "old contents");
    cAudioConverter conv;
    Events ev(&conv);
    conv.setOutputFormat(3);
    conv.SetMP3Settings(mp3Record());
    conv.setInputFile(longTone);
    conv.setOutputFile(out);
    HeldWork held;
    conv.StartConvert();
    ASSERT_TRUE(held.waitHeld());
    ASSERT_FALSE(ev.progress.isEmpty());
    conv.AbortJob();
    const int progressAtAbort = int(ev.progress.count());
    ASSERT_TRUE(ev.waitEnd());
    EXPECT_EQ(ev.aborted.count(), 1);
    EXPECT_EQ(ev.ends(), 1);
    EXPECT_EQ(ev.progress.count(), progressAtAbort) << "progress after the abort";
    EXPECT_EQ(fixtures::readAll(out), QByteArray("old contents"));
    EXPECT_TRUE(leftovers().isEmpty());

    // Aborting with nothing running raises nothing.
    conv.AbortJob();
    QTest::qWait(200);
    EXPECT_EQ(ev.ends(), 1);
}

// The worker has finished and posted its end, but the end has not been
// handled yet: an abort asked now still decides the outcome.
TEST_F(ConverterTest, AnAbortAskedBeforeTheEndEventWins)
{
    const QString shortTone = fixtures::writeToneWav(path("short.wav"), 0.2);
    const QString out = fixtures::writeBytes(path("out.wav"), "old contents");
    cAudioConverter conv;
    Events ev(&conv);
    conv.setOutputFormat(1);
    conv.SetWAVSettings({44100, 2, 16});
    conv.setInputFile(shortTone);
    conv.setOutputFile(out);
    PostedEnds ends;
    conv.StartConvert();
    // No event loop here: the finished unit's end stays queued.
    ASSERT_TRUE(ends.waitPosted());
    conv.AbortJob();
    ASSERT_TRUE(ev.waitEnd());
    EXPECT_EQ(ev.aborted.count(), 1);
    EXPECT_EQ(ev.ends(), 1);
    EXPECT_EQ(fixtures::readAll(out), QByteArray("old contents"));
    EXPECT_TRUE(leftovers().isEmpty());
}

// A start refused while a unit runs is reported even when the next unit
// starts (from the running one's end event) before the refusal arrives.
TEST_F(ConverterTest, ARefusedStartIsReportedAfterALaterStart)
{
    const QString shortTone = fixtures::writeToneWav(path("short.wav"), 0.2);
    cAudioConverter conv;
    Events ev(&conv);
    conv.setOutputFormat(1);
    conv.SetWAVSettings({44100, 2, 16});
    conv.setInputFile(shortTone);
    conv.setOutputFile(path("first.wav"));
    QObject::connect(&conv, &cAudioConverter::JobDone, [&] {
        if (ev.done.count() == 1) {
            conv.setOutputFile(path("third.wav"));
            conv.StartConvert();
        }
    });
    PostedEnds ends;
    conv.StartConvert();
    // The first unit has finished and queued its end: ask for another one.
    ASSERT_TRUE(ends.waitPosted());
    conv.setOutputFile(path("second.wav"));
    conv.StartConvert();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ev.ends() >= 3; }, 60000)) << ev.ends();
    QTest::qWait(150);
    EXPECT_EQ(ev.done.count(), 2);
    ASSERT_EQ(ev.error.count(), 1);
    EXPECT_EQ(ev.error.first().at(0).toInt(), kvaudio::ErrBusy);
    EXPECT_TRUE(QFile::exists(path("third.wav")));
    EXPECT_FALSE(QFile::exists(path("second.wav")));
}

// A worker stuck in a read that never returns (a dead mount; here a read on
// a pipe nobody writes to) holds neither an abort nor a release: each returns,
// and the abort's end comes, while the worker still waits behind the shut gate.
TEST_F(ConverterTest, AWorkerThatNeverReturnsIsLetGo)
{
    StalledReads jobs(kvaudio::setJobStartHook);
    ASSERT_TRUE(jobs.ready());

    for (const bool release : {false, true}) {
        SCOPED_TRACE(release ? "release" : "abort");
        const QString out = path(release ? "released.wav" : "aborted.wav");
        auto conv = std::make_unique<cAudioConverter>();
        Events ev(conv.get());
        conv->setOutputFormat(1);
        conv->SetWAVSettings({44100, 2, 16});
        conv->setInputFile(tone);
        conv->setOutputFile(out);
        const int before = jobs.stalled();
        conv->StartConvert();
        ASSERT_TRUE(QTest::qWaitFor([&] { return jobs.stalled() > before; }, 10000));
        const int stuck = jobs.waiting();
        if (release) {
            EXPECT_FALSE(jobs.callWaitedForThem([&] { conv->ReleaseComponent(); }));
            EXPECT_EQ(jobs.waiting(), stuck);
            QTest::qWait(200);
            EXPECT_EQ(ev.ends(), 0);
            EXPECT_FALSE(jobs.callWaitedForThem([&] { conv.reset(); })); // as a window that goes
            EXPECT_EQ(jobs.waiting(), stuck);
        } else {
            EXPECT_FALSE(jobs.callWaitedForThem([&] { conv->AbortJob(); }));
            ASSERT_TRUE(QTest::qWaitFor([&] { return ev.ends() > 0; }, 30000));
            EXPECT_EQ(jobs.waiting(), stuck) << "the end waited for the worker";
            QTest::qWait(150);
            EXPECT_EQ(ev.aborted.count(), 1);
            EXPECT_EQ(ev.ends(), 1);
            // Usable again at once.
            jobs.letThrough();
            conv->StartConvert();
            ASSERT_TRUE(QTest::qWaitFor([&] { return ev.ends() >= 2; }, 60000));
            EXPECT_EQ(ev.done.count(), 1) << ev.errorText().toStdString();
            EXPECT_TRUE(QFile::exists(out));
            jobs.stall();
        }
    }
    EXPECT_FALSE(QFile::exists(path("released.wav")));
}

TEST_F(ConverterTest, ReleaseStopsTheWorkerSilentlyAndRemovesPartialOutput)
{
    const QString longTone = fixtures::writeToneWav(path("long.wav"), 120.0);
    cAudioConverter conv;
    Events ev(&conv);
    conv.setOutputFormat(5);
    conv.SetOGGSettings({0, 0, 50});
    conv.setInputFile(longTone);
    conv.setOutputFile(path("out.ogg"));
    HeldWork held;
    conv.StartConvert();
    ASSERT_TRUE(held.waitHeld());
    conv.ReleaseComponent();
    held.letGo();
    EXPECT_TRUE(leftovers().isEmpty());
    QTest::qWait(300);
    EXPECT_EQ(ev.ends(), 0);
    EXPECT_FALSE(QFile::exists(path("out.ogg")));

    // Still usable afterwards.
    conv.setInputFile(tone);
    conv.StartConvert();
    ASSERT_TRUE(ev.waitEnd());
    EXPECT_EQ(ev.done.count(), 1);
}

TEST_F(ConverterTest, StartInsideDoneHandlerRunsWithSettingsKeptAndRangeForOneUnitOnly)
{
    cAudioConverter conv;
    Events ev(&conv);
    conv.setOutputFormat(3);
    conv.SetMP3Settings(mp3Record());
    setTags(conv);
    conv.setInputFile(tone);
    conv.setRangeStart(1);
    conv.setRangeLength(1);
    conv.setOutputFile(path("first.mp3"));
    int handled = 0;
    QObject::connect(&conv, &cAudioConverter::JobDone, [&] {
        ++handled;
        if (handled == 1) {
            conv.setOutputFile(path("second.mp3"));
            conv.StartConvert();
        } else if (handled == 2) {
            conv.setRangeStart(2);
            conv.setRangeLength(10); // reaches past the end: stops there
            conv.setOutputFile(path("third.mp3"));
            conv.StartConvert();
        }
    });
    conv.StartConvert();
    QElapsedTimer t;
    t.start();
    while (ev.done.count() < 3 && ev.error.isEmpty() && t.elapsed() < 60000)
        QTest::qWait(10);
    QTest::qWait(150);
    ASSERT_EQ(ev.done.count(), 3) << ev.errorText().toStdString();
    EXPECT_EQ(ev.ends(), 3);
    const double expected[] = {1.0, 3.0, 1.0};
    const char* names[] = {"first.mp3", "second.mp3", "third.mp3"};
    for (int i = 0; i < 3; ++i) {
        const fixtures::Probe p = fixtures::probe(path(names[i]));
        EXPECT_EQ(p.codec, "mp3") << names[i];
        EXPECT_NEAR(p.seconds, expected[i], 0.1) << names[i];
        EXPECT_EQ(p.tags.value("title"), QString("Title Ω")) << names[i];
    }
}

TEST_F(ConverterTest, AcmListsAreRaisedDuringTheCallAndEveryFormatConverts)
{
    cAudioConverter conv;
    QStringList tags, formats;
    QObject::connect(&conv, &cAudioConverter::ACMFormatTagFound, [&](const QString& n) { tags << n; });
    QObject::connect(&conv, &cAudioConverter::ACMFormatFound, [&](const QString& n) { formats << n; });

    conv.EnumACMFormatTags(1, 44100, 2, 16, 0);
    EXPECT_EQ(tags.count("PCM"), 1);
    EXPECT_GE(tags.size(), 6);
    // Converting without a change of shape: GSM takes 8 kHz mono only.
    struct ConvertCase {
        int rate, channels, bits;
        bool gsm;
    };
    for (const ConvertCase& c : {ConvertCase{44100, 2, 16, false}, ConvertCase{8000, 1, 16, true}}) {
        tags.clear();
        conv.EnumACMFormatTags(1, c.rate, c.channels, c.bits, 0x100000);
        EXPECT_TRUE(tags.contains("PCM"));
        EXPECT_EQ(tags.contains("GSM 6.10"), c.gsm) << c.rate;
    }
    tags.clear();
    conv.EnumACMFormatTags(85, 44100, 2, 16, 0); // not PCM: nothing converts from it
    EXPECT_TRUE(tags.isEmpty());
    conv.EnumACMFormats("No such codec");
    EXPECT_TRUE(formats.isEmpty());

    const QString shortTone = fixtures::writeToneWav(path("short.wav"), 0.5);
    conv.EnumACMFormatTags(1, 44100, 2, 16, 0);
    for (const QString& tag : QStringList(tags)) {
        formats.clear();
        conv.EnumACMFormats(tag);
        ASSERT_FALSE(formats.isEmpty()) << tag.toStdString();
        for (const QString& format : QStringList(formats)) {
            SCOPED_TRACE((tag + " / " + format).toStdString());
            Events ev(&conv);
            conv.setOutputFormat(2);
            conv.SetACMFormat(tag, format);
            conv.setInputFile(shortTone);
            conv.setOutputFile(path("acm.wav"));
            conv.StartConvert();
            ASSERT_TRUE(ev.waitEnd());
            ASSERT_EQ(ev.done.count(), 1) << ev.errorText().toStdString();
            const fixtures::Probe p = fixtures::probe(path("acm.wav"));
            const QStringList parts = format.split(", ");
            EXPECT_EQ(QString::number(p.sampleRate) + " Hz", parts.value(0));
            EXPECT_EQ(p.channels == 1 ? "Mono" : "Stereo", parts.value(2));
            EXPECT_NEAR(p.seconds, 0.5, 0.1);
        }
    }
}

TEST_F(ConverterTest, WmaListsNameCodecsAndFormatsThatAllConvert)
{
    cAudioConverter conv;
    ASSERT_GE(conv.WMACodecCount(), 2);
    EXPECT_TRUE(conv.WMACodecName(conv.WMACodecCount()).isEmpty());
    EXPECT_EQ(conv.WMAFormatCount(-1), 0);
    const QString shortTone = fixtures::writeToneWav(path("short.wav"), 0.5);
    const QStringList codecs = {"wmav2", "wmav1"};
    for (int c = 0; c < conv.WMACodecCount(); ++c) {
        EXPECT_FALSE(conv.WMACodecName(c).isEmpty());
        ASSERT_GT(conv.WMAFormatCount(c), 0);
        EXPECT_TRUE(conv.WMAFormatName(c, conv.WMAFormatCount(c)).isEmpty());
        for (int f = 0; f < conv.WMAFormatCount(c); ++f) {
            const QString name = conv.WMAFormatName(c, f);
            SCOPED_TRACE(name.toStdString());
            Events ev(&conv);
            conv.setOutputFormat(4);
            conv.SetWMASettings({c, f});
            conv.setInputFile(shortTone);
            conv.setOutputFile(path("out.wma"));
            conv.StartConvert();
            ASSERT_TRUE(ev.waitEnd());
            ASSERT_EQ(ev.done.count(), 1) << ev.errorText().toStdString();
            const fixtures::Probe p = fixtures::probe(path("out.wma"));
            EXPECT_EQ(p.codec, codecs.value(c));
            EXPECT_TRUE(name.contains(QString::number(p.sampleRate) + " Hz"));
            EXPECT_TRUE(name.endsWith(p.channels == 1 ? "Mono" : "Stereo"));
        }
    }
}
