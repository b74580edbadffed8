// Opening files: length, format and tags of good files; refusals of bad ones.
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "components/audio/AudioSource.h"
#include "components/audio/cAudioConverter.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/support/TestEnv.h"

namespace {

class AudioSourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        tone = fixtures::writeToneWav(path("tone.wav"), 3.0);
        ASSERT_FALSE(tone.isEmpty());
    }
    QString path(const QString& name) const { return dir.path() + "/" + name; }
    QString encode(const QString& name, const QStringList& codecArgs)
    {
        const QString out = path(name);
        EXPECT_TRUE(fixtures::runFfmpeg(QStringList{"-i", tone} + codecArgs + QStringList{out})) << name.toStdString();
        return out;
    }
    QTemporaryDir dir;
    QString tone;
};

TEST_F(AudioSourceTest, OpensEveryReadableFormatWithItsLengthAndFormat)
{
    struct Case {
        QString name;
        QStringList args;
        int rate, channels, bits;
    };
    const QList<Case> cases = {
        {"pcm16.wav", {}, 44100, 2, 16},
        {"pcm8mono.wav", {"-ac", "1", "-c:a", "pcm_u8"}, 44100, 1, 8},
        {"float.wav", {"-c:a", "pcm_f32le"}, 44100, 2, 32},
        {"adpcm.wav", {"-ar", "22050", "-c:a", "adpcm_ms"}, 22050, 2, 16},
        {"alaw.acm", {"-ar", "8000", "-ac", "1", "-c:a", "pcm_alaw", "-f", "wav"}, 8000, 1, 16},
        {"song.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}, 44100, 2, 16},
        {"notag.mp3", {"-c:a", "libmp3lame", "-b:a", "64k", "-ac", "1", "-write_xing", "0"}, 44100, 1, 16},
        {"song.ogg", {"-c:a", "libvorbis", "-q:a", "3"}, 44100, 2, 16},
        {"song.wma", {"-c:a", "wmav2", "-b:a", "128k"}, 44100, 2, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString file = c.args.isEmpty() ? tone : encode(c.name, c.args);
        cAudioConverter conv;
        ASSERT_EQ(conv.OpenSourceFile(file), 0);
        EXPECT_NEAR(conv.DurationMs(), 3000, 120);
        EXPECT_EQ(conv.SampleRate(), c.rate);
        EXPECT_EQ(conv.Channels(), c.channels);
        EXPECT_EQ(conv.BitsPerSample(), c.bits);
        conv.CloseSourceFile();
        EXPECT_EQ(conv.DurationMs(), 0);
    }
}

TEST_F(AudioSourceTest, RefusesMissingEmptyTruncatedMislabelledAndNonAudioFiles)
{
    const QString mp3 = encode("full.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"});
    const QString rawMp3 = encode("raw.mp3", {"-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0"});
    const QString ogg = encode("full.ogg", {"-c:a", "libvorbis"});
    const QString wma = encode("full.wma", {"-c:a", "wmav2"});
    auto cut = [&](const QString& from, const QString& name, double share) {
        return fixtures::writeTruncated(from, path(name), qint64(QFileInfo(from).size() * share));
    };
    QByteArray noise(64 * 1024, 0);
    for (char& b : noise)
        b = char(QRandomGenerator::global()->bounded(256));
    QFile::copy(tone, path("tone-as.mp3"));
    QFile::copy(mp3, path("mp3-as.wav"));
    QFile::copy(ogg, path("ogg-as.wma"));

    const QStringList refused = {
        path("missing.wav"),
        fixtures::writeBytes(path("empty.mp3"), {}),
        fixtures::writeBytes(path("empty.wav"), {}),
        cut(tone, "half.wav", 0.5),
        cut(mp3, "half.mp3", 0.5),
        fixtures::writeTruncated(rawMp3, path("cutframe.mp3"), QFileInfo(rawMp3).size() - 100),
        cut(ogg, "half.ogg", 0.5),
        cut(wma, "half.wma", 0.5),
        cut(tone, "headeronly.wav", 0.0) /* no bytes at all */,
        fixtures::writeTruncated(tone, path("header44.wav"), 44),
        path("tone-as.mp3"),
        path("mp3-as.wav"),
        path("ogg-as.wma"),
        fixtures::writeBytes(path("text.mp3"), "this is not audio at all\r\n"),
        fixtures::writeBytes(path("noise.mp3"), noise),
        fixtures::writeBytes(path("noise.wav"), noise),
        fixtures::writeBytes(path("noise.ogg"), noise),
        fixtures::writeBytes(path("noise.wma"), noise),
        dir.path(),
    };
    for (const QString& f : refused) {
        SCOPED_TRACE(f.toStdString());
        cAudioConverter conv;
        EXPECT_NE(conv.OpenSourceFile(f), 0);
        EXPECT_EQ(conv.DurationMs(), 0);
        // Nothing opened: the format is the component's own default.
        EXPECT_EQ(conv.SampleRate(), 44100);
    }
}

// Files from the wild that once crashed or hung other readers. Each either
// opens with a sane length or is refused; which one is fixed per file.
TEST_F(AudioSourceTest, WildFilesOpenOrAreRefusedWithoutHarm)
{
    const QString data = testenv::testDataDir();
    if (data.isEmpty())
        GTEST_SKIP() << "public sample files not reachable";
    struct Case {
        const char* name;
        bool opens;
    };
    const Case cases[] = {
        {"invalid-frames1.mp3", true},   // bad frames among good ones
        {"invalid-frames2.mp3", true},
        {"infloop.wav", true},           // whole data chunk, then a bogus chunk
        {"bladeenc.mp3", true},
        {"alaw.wav", true},
        {"uint8we.wav", true},
        {"float64.wav", true},
        {"rf64.wav", true},
        {"pcm_with_fact_chunk.wav", true},
        {"duplicate_tags.wav", true},
        {"silence-1.wma", true},
        {"lossless.wma", true},
        {"duplicate_id3v2.mp3", true},
        {"empty.wav", true},             // the name notwithstanding, 3.7 s of samples
        {"real_example.wma", false},     // a header and no audio packets
        {"itunes10.mp3", false},         // two frames, all encoder delay: no samples
        {"ape.mp3", false},              // the last frame is cut
        {"ape-id3v1.mp3", false},
        {"ape-id3v2.mp3", false},
        {"id3v22-tda.mp3", false},
        {"toc_many_children.mp3", false}, // its header promises 500 frames, 3 are there
        {"excessive_alloc.mp3", false},  // no audio frames
        {"segfault.wav", false},         // not a wave file at all
        {"invalid-chunk.wav", false},
        {"zero-size-chunk.wav", false},  // an empty data chunk
        {"w000.mp3", false},
        {"extended-header.mp3", false},  // a tag and no audio
        {"compressed_id3_frame.mp3", false},
        {"garbage.mp3", false},          // junk, then a cut-out piece whose header promises 15 MB
        {"xing.mp3", false},             // the last frame is cut
        {"invalid-frames3.mp3", false},
        {"lame_cbr.mp3", false},         // headers promise 30 minutes, 4 KB are there
        {"lame_vbr.mp3", false},
        {"mpeg2.mp3", false},
        {"rare_frames.mp3", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cAudioConverter conv;
        const int r = conv.OpenSourceFile(data + "/taglib/" + c.name);
        if (c.opens) {
            EXPECT_EQ(r, 0);
            EXPECT_GT(conv.DurationMs(), 0);
            EXPECT_LT(conv.DurationMs(), 60 * 1000);
        } else {
            EXPECT_NE(r, 0);
        }
        // A conversion agrees with the open: done for the first kind, one error for the other.
        QSignalSpy done(&conv, &cAudioConverter::JobDone), error(&conv, &cAudioConverter::JobError);
        conv.setInputFile(data + "/taglib/" + c.name);
        conv.setOutputFile(path("out.wav"));
        conv.StartConvert();
        QElapsedTimer t;
        t.start();
        while (done.isEmpty() && error.isEmpty() && t.elapsed() < 30000)
            QTest::qWait(10);
        EXPECT_EQ(done.count(), c.opens ? 1 : 0);
        EXPECT_EQ(error.count(), c.opens ? 0 : 1);
        if (!error.isEmpty()) {
            EXPECT_FALSE(error.first().at(1).toString().isEmpty());
        }
        QFile::remove(path("out.wav"));
    }
}

// The demuxer walks every chunk header of a WAV and reads tag chunks whole:
// files that would hold it for long are refused before it sees them, at
// once; many chunks below the bound, and a large chunk every reader skips,
// still open. A folder or a pipe is named for what it is.
TEST_F(AudioSourceTest, FilesThatWouldHoldTheReaderAreRefusedAtOnceAndNamedForWhatTheyAre)
{
    using fixtures::WavHole;
    constexpr qint64 kHole = 100'000'000; // 12.5 million empty chunks
    const QString pipe = path("pipe.wav");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const struct {
        const char* name;
        QString file;
        int status;
        const char* says;
    } cases[] = {
        {"empty chunks before the sound", fixtures::writeWavWithHole(path("before.wav"), 1, kHole, WavHole::BeforeData),
         kvaudio::SourceNotAudio, "more than 1024 chunks"},
        {"empty chunks after the sound", fixtures::writeWavWithHole(path("after.wav"), 1, kHole, WavHole::AfterData),
         kvaudio::SourceNotAudio, "more than 1024 chunks"},
        {"a tag list of empty entries", fixtures::writeWavWithHole(path("list.wav"), 1, kHole, WavHole::InListChunk),
         kvaudio::SourceNotAudio, "more than 16 MB"},
        {"a thousand chunks", fixtures::writeWavWithHole(path("some.wav"), 1, 8 * 1000, WavHole::BeforeData),
         kvaudio::SourceOk, ""},
        {"a large chunk every reader skips",
         fixtures::writeWavWithHole(path("junk.wav"), 1, kHole, WavHole::InJunkChunk), kvaudio::SourceOk, ""},
        {"a named pipe", pipe, kvaudio::SourceUnreadable, "is not a regular file"},
        {"a folder", dir.path(), kvaudio::SourceUnreadable, "is not a regular file"},
        {"nothing", path("gone.wav"), kvaudio::SourceMissing, "does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.file.isEmpty());
        kvaudio::AudioSource source;
        QString text;
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(source.open(c.file, &text), c.status) << text.toStdString();
        EXPECT_LT(t.elapsed(), 1000);
        EXPECT_TRUE(text.contains(QLatin1String(c.says))) << text.toStdString();
        if (c.status == kvaudio::SourceOk) {
            EXPECT_NEAR(source.info().durationMs, 1000, 20);
        }
        // Tags are read through the same door.
        kvaudio::TagTexts tags;
        t.restart();
        EXPECT_EQ(kvaudio::AudioSource::readTags(c.file, &tags), c.status == kvaudio::SourceOk);
        EXPECT_LT(t.elapsed(), 1000);
    }
    QFile::remove(pipe);
}

TEST_F(AudioSourceTest, ReadsTagTextsOfEachContainer)
{
    const QStringList meta = {"-metadata", "title=Ünïcode Title", "-metadata", "artist=The Artist",
                              "-metadata", "album=An Album",      "-metadata", "genre=Jazz",
                              "-metadata", "date=2009",           "-metadata", "track=7",
                              "-metadata", "comment=Some words"};
    const QStringList files = {
        encode("tagged.mp3", QStringList{"-c:a", "libmp3lame", "-id3v2_version", "3"} + meta),
        encode("tagged.ogg", QStringList{"-c:a", "libvorbis"} + meta),
        encode("tagged.wma", QStringList{"-c:a", "wmav2"} + meta),
    };
    for (const QString& f : files) {
        SCOPED_TRACE(f.toStdString());
        cAudioConverter conv;
        conv.ReadTags(f);
        EXPECT_EQ(conv.TagTitle(), QString("Ünïcode Title"));
        EXPECT_EQ(conv.TagArtist(), "The Artist");
        EXPECT_EQ(conv.TagAlbum(), "An Album");
        EXPECT_EQ(conv.TagGenre(), "Jazz");
        EXPECT_EQ(conv.TagYear(), "2009");
        EXPECT_EQ(conv.TagTrack(), "7");
        EXPECT_EQ(conv.TagComment(), "Some words");
    }
    // A file without tags, and a missing one, leave every text empty.
    cAudioConverter conv;
    conv.setTagTitle("left over");
    for (const QString& f : {tone, path("missing.mp3")}) {
        conv.ReadTags(f);
        EXPECT_TRUE(conv.TagTitle().isEmpty());
        EXPECT_TRUE(conv.TagArtist().isEmpty());
    }
}

TEST_F(AudioSourceTest, SecondsToTimeGivesHoursMinutesSeconds)
{
    cAudioConverter conv;
    const std::pair<int, const char*> cases[] = {
        {0, "00:00:00"}, {59, "00:00:59"}, {61, "00:01:01"}, {3600, "01:00:00"}, {86399, "23:59:59"}, {-5, "00:00:00"}};
    for (auto [secs, text] : cases)
        EXPECT_EQ(conv.SecondsToTime(secs), QString(text)) << secs;
}

TEST_F(AudioSourceTest, ReopeningAfterReleaseStillWorks)
{
    cAudioConverter conv;
    ASSERT_EQ(conv.OpenSourceFile(tone), 0);
    conv.CloseSourceFile();
    conv.ReleaseComponent();
    ASSERT_EQ(conv.OpenSourceFile(tone), 0);
    EXPECT_NEAR(conv.DurationMs(), 3000, 5);
    // A failed open forgets the file opened before it.
    EXPECT_NE(conv.OpenSourceFile(path("nothing.wav")), 0);
    EXPECT_EQ(conv.DurationMs(), 0);
}

} // namespace
