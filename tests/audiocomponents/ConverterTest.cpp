// Conversions: every output format and its record, ranges, tags, and the
// event protocol of the converter component.
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "components/cAudioConverter.h"
#include "tests/audiocomponents/AudioFixtures.h"

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
