// The encoder that the converter, the joiner and the CD ripper share: PCM in,
// a file out only on commit.
#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

#include "components/AudioEncoder.h"
#include "tests/audiocomponents/AudioFixtures.h"

using kvaudio::AudioEncoder;
using kvaudio::EncoderSettings;

namespace {

std::vector<int16_t> cdTone(int seconds)
{
    std::vector<int16_t> pcm(size_t(seconds) * 44100 * 2);
    for (size_t i = 0; i < pcm.size() / 2; ++i) {
        pcm[2 * i] = int16_t(8000 * std::sin(2 * M_PI * 440 * double(i) / 44100));
        pcm[2 * i + 1] = int16_t(8000 * std::sin(2 * M_PI * 660 * double(i) / 44100));
    }
    return pcm;
}

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden);
}

TEST(AudioEncoderTest, CdAudioBecomesEachFormatOnlyWhenCommitted)
{
    QTemporaryDir dir;
    const std::vector<int16_t> pcm = cdTone(2);
    struct Case {
        int format;
        const char* name;
        const char* codec;
    };
    for (const Case& c : {Case{1, "t.wav", "pcm_s16le"}, Case{2, "t-acm.wav", "adpcm_ima_wav"}, Case{3, "t.mp3", "mp3"},
                          Case{4, "t.wma", "wmav2"}, Case{5, "t.ogg", "vorbis"}}) {
        SCOPED_TRACE(c.name);
        EncoderSettings s;
        s.outputFormat = c.format;
        s.acmTag = "IMA ADPCM";
        s.acmFormat = "44100 Hz, 4 bit, Stereo";
        s.wma = {0, 2};
        s.tags.title = "Track 3";
        const QString target = dir.path() + "/" + c.name;
        AudioEncoder enc;
        ASSERT_TRUE(enc.open(target, s, 44100, 2)) << enc.errorText().toStdString();
        // Fed in uneven pieces, as a disc reader delivers sectors.
        size_t pos = 0;
        for (int piece = 588; pos < pcm.size(); piece = piece == 588 ? 4704 : 588) {
            const int frames = int(std::min<size_t>(size_t(piece), (pcm.size() - pos) / 2));
            ASSERT_TRUE(enc.writeS16(pcm.data() + pos, frames));
            pos += size_t(frames) * 2;
        }
        ASSERT_TRUE(enc.finish()) << enc.errorText().toStdString();
        EXPECT_FALSE(QFile::exists(target));
        ASSERT_TRUE(enc.commit()) << enc.errorText().toStdString();
        const fixtures::Probe p = fixtures::probe(target);
        EXPECT_EQ(p.codec, c.codec);
        EXPECT_NEAR(p.seconds, 2.0, 0.1);
    }
    EXPECT_TRUE(QDir(dir.path()).entryList({"*.part"}, QDir::Files | QDir::Hidden).isEmpty());
}

TEST(AudioEncoderTest, UnfinishedOutputDisappearsAndSparesAnExistingFile)
{
    QTemporaryDir dir;
    const QString target = fixtures::writeBytes(dir.path() + "/song.mp3", "previous rip");
    const std::vector<int16_t> pcm = cdTone(1);
    EncoderSettings s;
    s.outputFormat = 3;
    {
        AudioEncoder enc;
        ASSERT_TRUE(enc.open(target, s, 44100, 2));
        ASSERT_TRUE(enc.writeS16(pcm.data(), 44100));
        EXPECT_EQ(filesIn(dir.path()).size(), 2); // the target and the temporary file
        // Destroyed without commit, as when a rip is aborted.
    }
    EXPECT_EQ(filesIn(dir.path()), QStringList{"song.mp3"});
    {
        AudioEncoder enc;
        ASSERT_TRUE(enc.open(target, s, 44100, 2));
        ASSERT_TRUE(enc.writeS16(pcm.data(), 44100));
        ASSERT_TRUE(enc.finish());
        enc.discard();
    }
    EXPECT_EQ(filesIn(dir.path()), QStringList{"song.mp3"});
    EXPECT_EQ(fixtures::readAll(target), QByteArray("previous rip"));

    AudioEncoder bad;
    s.outputFormat = 9;
    EXPECT_FALSE(bad.open(target, s, 44100, 2));
    EXPECT_NE(bad.errorCode(), 0);
    EXPECT_FALSE(bad.errorText().isEmpty());
    EXPECT_EQ(filesIn(dir.path()), QStringList{"song.mp3"});
}

} // namespace
