// APE output: every level gives back the exact samples when FFmpeg decodes
// it, edge signals survive or fail cleanly, and the tags are readable.
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

#include "components/audio/AudioEncoder.h"
#include "components/audio/cAudioConverter.h"
#include "components/audio/cAudioJoin.h"
#include "tests/components/audio/AudioFixtures.h"

using kvaudio::AudioEncoder;
using kvaudio::EncoderSettings;

namespace {

// Deterministic noise, so that a failure can be reproduced.
struct Lcg {
    uint32_t s = 12345;
    int next(int amplitude)
    {
        s = s * 1664525u + 1013904223u;
        return int((s >> 8) % uint32_t(2 * amplitude + 1)) - amplitude;
    }
};

int16_t clip16(double v) { return int16_t(std::clamp(std::lround(v), -32768L, 32767L)); }

std::vector<int16_t> toneWithNoise(double seconds, int rate)
{
    const size_t n = size_t(seconds * rate);
    std::vector<int16_t> pcm(n * 2);
    Lcg noise;
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        pcm[2 * i] = clip16(9000 * std::sin(2 * M_PI * 440 * t) + 3000 * std::sin(2 * M_PI * 1870 * t) + noise.next(600));
        pcm[2 * i + 1] = clip16(7000 * std::sin(2 * M_PI * 554 * t + 0.3) + noise.next(900));
    }
    return pcm;
}

// Voiced stretches (a buzzy pitch under a moving envelope) between pauses
// and hiss, roughly like speech.
std::vector<int16_t> speechLike(double seconds, int rate)
{
    const size_t n = size_t(seconds * rate);
    std::vector<int16_t> pcm(n);
    Lcg noise;
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        const double syllable = std::fmod(t, 0.25);
        const double env = syllable < 0.18 ? std::sin(M_PI * syllable / 0.18) : 0.0;
        const double f0 = 120 + 30 * std::sin(2 * M_PI * 0.7 * t);
        double v = 0;
        for (int h = 1; h <= 8; ++h)
            v += std::sin(2 * M_PI * f0 * h * t) / h;
        pcm[i] = clip16(12000 * env * v + (env == 0.0 ? noise.next(400) : noise.next(50)));
    }
    return pcm;
}

QByteArray bytesOf(const std::vector<int16_t>& pcm)
{
    return QByteArray(reinterpret_cast<const char*>(pcm.data()), qsizetype(pcm.size() * sizeof(int16_t)));
}

bool encode(const QString& target, const std::vector<int16_t>& pcm, int rate, int channels, int level,
            const kvaudio::TagTexts& tags = {}, QString* error = nullptr)
{
    EncoderSettings s;
    s.outputFormat = 6;
    s.apeLevel = level;
    s.tags = tags;
    AudioEncoder enc;
    bool ok = enc.open(target, s, rate, channels);
    // Uneven pieces, as the converters deliver them.
    size_t pos = 0;
    const size_t frames = pcm.size() / size_t(channels);
    for (int piece = 1000; ok && pos < frames; piece = piece == 1000 ? 65536 : 1000) {
        const int n = int(std::min(size_t(piece), frames - pos));
        ok = enc.writeS16(pcm.data() + pos * channels, n);
        pos += size_t(n);
    }
    ok = ok && enc.finish() && enc.commit();
    if (!ok && error)
        *error = enc.errorText();
    return ok;
}

// FFmpeg's own decoding of the file, frame CRCs checked.
QByteArray decodeWithFfmpeg(const QString& ape, const QString& raw)
{
    if (!fixtures::runFfmpeg({"-v", "error", "-err_detect", "crccheck+explode", "-i", ape, "-f", "s16le", "-y", raw}))
        return {};
    return fixtures::readAll(raw);
}

QString md5(const QByteArray& b) { return QString::fromLatin1(QCryptographicHash::hash(b, QCryptographicHash::Md5).toHex()); }

class ApeEncoderTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
};

TEST_F(ApeEncoderTest, EveryLevelDecodesToTheExactInput)
{
    struct Signal {
        const char* name;
        std::vector<int16_t> pcm;
        int rate, channels;
    };
    const Signal inputs[] = {{"stereo tone and noise", toneWithNoise(10, 44100), 44100, 2},
                              {"mono speech-like", speechLike(5, 22050), 22050, 1}};
    for (const Signal& sig : inputs) {
        const QString inputMd5 = md5(bytesOf(sig.pcm));
        qint64 fastestSize = 0;
        for (int level = 0; level <= 4; ++level) {
            SCOPED_TRACE(std::string(sig.name) + ", level " + std::to_string(level));
            const QString out = path(QStringLiteral("l%1.ape").arg(level));
            QString error;
            ASSERT_TRUE(encode(out, sig.pcm, sig.rate, sig.channels, level, {}, &error)) << error.toStdString();
            const fixtures::Probe p = fixtures::probe(out);
            EXPECT_EQ(p.codec, "ape");
            EXPECT_EQ(p.sampleRate, sig.rate);
            EXPECT_EQ(p.channels, sig.channels);
            EXPECT_EQ(md5(decodeWithFfmpeg(out, path("out.raw"))), inputMd5);
            const qint64 size = QFileInfo(out).size();
            EXPECT_LT(size, qint64(sig.pcm.size() * 2)) << "no smaller than the PCM";
            if (level == 0)
                fastestSize = size;
            if (level == 4)
                EXPECT_LT(size, fastestSize) << "the slowest level is no smaller than the fastest";
        }
    }
}

TEST_F(ApeEncoderTest, EdgeSignalsRoundTripOrFailWithoutAFile)
{
    std::vector<int16_t> square(44100 * 2);
    for (size_t i = 0; i < square.size() / 2; ++i) {
        square[2 * i] = (i / 50) % 2 ? 32767 : -32768;
        square[2 * i + 1] = (i / 73) % 2 ? -32768 : 32767;
    }
    struct Case {
        const char* name;
        std::vector<int16_t> pcm;
        int channels;
    };
    const Case cases[] = {{"silence", std::vector<int16_t>(44100 * 2, 0), 2},
                          {"full-scale squares", square, 2},
                          {"one stereo sample", {-32768, 32767}, 2},
                          {"one mono sample", {1234}, 1},
                          {"a frame and one sample", toneWithNoise(73729.0 / 44100, 44100), 2}};
    for (const Case& c : cases)
        for (int level : {0, 4}) {
            SCOPED_TRACE(std::string(c.name) + ", level " + std::to_string(level));
            const QString out = path("edge.ape");
            QString error;
            ASSERT_TRUE(encode(out, c.pcm, 44100, c.channels, level, {}, &error)) << error.toStdString();
            EXPECT_EQ(decodeWithFfmpeg(out, path("edge.raw")), bytesOf(c.pcm));
        }

    QFile::remove(path("edge.ape"));
    QFile::remove(path("edge.raw"));
    QString error;
    EXPECT_FALSE(encode(path("empty.ape"), {}, 44100, 2, 0, {}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(files(), QStringList()) << "nothing is left of a file without samples";
}

TEST_F(ApeEncoderTest, TagsAreReadBackByFfmpeg)
{
    kvaudio::TagTexts tags;
    tags.title = QString::fromUtf8("Überschrift");
    tags.artist = "The Artist";
    tags.album = "An Album";
    tags.year = "2024";
    tags.comment = "first line";
    tags.track = "7";
    tags.genre = "Ambient";
    const QString out = path("tagged.ape");
    ASSERT_TRUE(encode(out, toneWithNoise(1, 44100), 44100, 2, 1, tags));
    const fixtures::Probe p = fixtures::probe(out);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.tags.value("title"), tags.title);
    EXPECT_EQ(p.tags.value("artist"), tags.artist);
    EXPECT_EQ(p.tags.value("album"), tags.album);
    EXPECT_EQ(p.tags.value("year"), tags.year);
    EXPECT_EQ(p.tags.value("comment"), tags.comment);
    EXPECT_EQ(p.tags.value("track"), tags.track);
    EXPECT_EQ(p.tags.value("genre"), tags.genre);
    // The tag does not disturb the last frame.
    EXPECT_EQ(decodeWithFfmpeg(out, path("t.raw")), bytesOf(toneWithNoise(1, 44100)));
}

TEST_F(ApeEncoderTest, ConverterJobsWriteApeAndFailOnceOnUnreadableInput)
{
    const QString wav = fixtures::writeToneWav(path("in.wav"), 3.0);
    {
        cAudioConverter conv;
        QSignalSpy done(&conv, &cAudioConverter::JobDone), error(&conv, &cAudioConverter::JobError);
        conv.setOutputFormat(6);
        conv.SetAPESettings(2);
        conv.setInputFile(wav);
        conv.setOutputFile(path("out.ape"));
        conv.StartConvert();
        ASSERT_TRUE(done.wait(60000)) << (error.isEmpty() ? std::string() : error.first().at(1).toString().toStdString());
        const fixtures::Probe p = fixtures::probe(path("out.ape"));
        EXPECT_EQ(p.codec, "ape");
        EXPECT_NEAR(p.seconds, 3.0, 0.01);
        ASSERT_TRUE(fixtures::runFfmpeg({"-v", "error", "-i", wav, "-f", "s16le", "-y", path("in.raw")}));
        EXPECT_EQ(decodeWithFfmpeg(path("out.ape"), path("out.raw")), fixtures::readAll(path("in.raw")));
    }
    {
        cAudioConverter conv;
        QSignalSpy done(&conv, &cAudioConverter::JobDone), error(&conv, &cAudioConverter::JobError),
            aborted(&conv, &cAudioConverter::JobAborted);
        conv.setOutputFormat(6);
        conv.setInputFile(fixtures::writeBytes(path("text.wav"), "not audio at all"));
        conv.setOutputFile(path("bad.ape"));
        conv.StartConvert();
        ASSERT_TRUE(error.wait(20000));
        QTest::qWait(100);
        EXPECT_EQ(error.count() + done.count() + aborted.count(), 1);
        EXPECT_FALSE(QFile::exists(path("bad.ape")));
        EXPECT_EQ(QDir(dir.path()).entryList({"*.part", ".kvape-*"}, QDir::Files | QDir::Hidden), QStringList());
    }
}

TEST_F(ApeEncoderTest, JoinerWritesOneApeFromRangesAndWholeFiles)
{
    const QString a = fixtures::writeToneWav(path("a.wav"), 2.0);
    const QString b = fixtures::writeToneWav(path("b.wav"), 5.0);
    cAudioJoin join;
    QSignalSpy done(&join, &cAudioJoin::JobDone), error(&join, &cAudioJoin::JobError);
    join.setOutputFormat(6);
    join.SetAPESettings(0);
    join.AddJoinFile(a, -1, -1);
    join.AddJoinFile(b, 1, 3);
    join.setOutputFile(path("joined.ape"));
    join.StartJoin();
    ASSERT_TRUE(done.wait(60000)) << (error.isEmpty() ? std::string() : error.first().at(1).toString().toStdString());
    const fixtures::Probe p = fixtures::probe(path("joined.ape"));
    EXPECT_EQ(p.codec, "ape");
    EXPECT_NEAR(p.seconds, 5.0, 0.01);
}

} // namespace
