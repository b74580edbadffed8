// The encoder that the converter, the joiner and the CD ripper share: PCM in,
// a file out only on commit.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <lame/lame.h>
#include <vector>

#include "components/audio/AudioEncoder.h"
#include "components/audio/AudioFormatRecords.h"
#include "components/audio/LameEncoder.h"
#include "tests/components/audio/AudioFixtures.h"

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

// A killed job leaves its hidden partial file behind; the next job in that
// folder removes every such file that no living writer holds, of this
// process or another, and nothing that is not ours.
TEST(AudioEncoderTest, TheNextJobRemovesWhatKilledJobsLeftAndNothingElse)
{
    QTemporaryDir dir;
    auto at = [&](const QString& name) { return dir.path() + "/" + name; };
    const QStringList dead = {".kv0123456789abcdef.part", ".kvfedcba9876543210.part", ".kvape-Ab12Cd"};
    const QStringList foreign = {"song.part", ".kv0123.part", ".kv0123456789ABCDEF.part", ".kvape-toolong",
                                 "kv0123456789abcdef.part", ".kv0123456789abcdef.part.keep"};
    for (const QString& name : dead + foreign)
        fixtures::writeBytes(at(name), "partial");
    // Another process writing its partial file holds the lock on it (one
    // process: the shell becomes the sleep that keeps the locked descriptor).
    const QString otherJob = fixtures::writeBytes(at(".kv1111111111111111.part"), "being written");
    QProcess holder;
    holder.start("sh", {"-c", "exec 9>>\"$0\" && flock 9 && exec sleep 600", otherJob});
    ASSERT_TRUE(holder.waitForStarted());
    const auto lockedElsewhere = [&] {
        const int fd = ::open(QFile::encodeName(otherJob).constData(), O_RDONLY | O_CLOEXEC);
        const bool held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (fd >= 0)
            ::close(fd);
        return held;
    };
    for (int i = 0; i < 500 && !lockedElsewhere(); ++i)
        QThread::msleep(10);
    ASSERT_TRUE(lockedElsewhere());

    const EncoderSettings s; // WAV
    AudioEncoder running;
    ASSERT_TRUE(running.open(at("a.wav"), s, 44100, 2)) << running.errorText().toStdString();
    const QString live = QFileInfo(running.temporaryPath()).fileName();

    AudioEncoder next;
    ASSERT_TRUE(next.open(at("b.wav"), s, 44100, 2)) << next.errorText().toStdString();
    const auto sorted = [](QStringList l) {
        l.sort();
        return l;
    };
    EXPECT_EQ(sorted(filesIn(dir.path())),
              sorted(foreign + QStringList{".kv1111111111111111.part", live, QFileInfo(next.temporaryPath()).fileName()}));

    // The other process killed: its lock went with it.
    holder.kill();
    holder.waitForFinished();
    AudioEncoder third;
    ASSERT_TRUE(third.open(at("c.wav"), s, 44100, 2));
    EXPECT_FALSE(QFile::exists(otherJob));
    EXPECT_TRUE(QFile::exists(running.temporaryPath()));

    // The running job ends as if nothing happened.
    const std::vector<int16_t> pcm = cdTone(1);
    ASSERT_TRUE(running.writeS16(pcm.data(), int(pcm.size() / 2)));
    ASSERT_TRUE(running.finish());
    ASSERT_TRUE(running.commit()) << running.errorText().toStdString();
    EXPECT_NEAR(fixtures::probe(at("a.wav")).seconds, 1.0, 0.01);
    next.discard();
    third.discard();
    EXPECT_EQ(sorted(filesIn(dir.path())), sorted(foreign + QStringList{"a.wav"}));
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

// Replacing an existing output keeps who may read it.
TEST(AudioEncoderTest, ReplacingAFileKeepsItsPermissions)
{
    QTemporaryDir dir;
    const QString target = dir.path() + "/song.mp3";
    fixtures::writeBytes(target, "old rip");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    EncoderSettings s;
    s.outputFormat = 3;
    const std::vector<int16_t> pcm = cdTone(1);
    AudioEncoder enc;
    ASSERT_TRUE(enc.open(target, s, 44100, 2));
    ASSERT_TRUE(enc.writeS16(pcm.data(), 44100));
    ASSERT_TRUE(enc.finish());
    ASSERT_TRUE(enc.commit());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_NE(fixtures::readAll(target), QByteArray("old rip"));
}

} // namespace

// The record's fields that leave no mark a frame header shows, read back
// from the encoder the MP3 writer sets up.
TEST(AudioEncoderTest, Mp3RecordFieldsReachLame)
{
    struct Case {
        const char* name;
        std::function<void(MP3Settings&)> edit;
        int strictIso, quality, forceMs;
        MPEG_mode mode;
    };
    const Case cases[] = {
        {"defaults", [](MP3Settings&) {}, 0, 5, 0, JOINT_STEREO},
        {"strict ISO", [](MP3Settings& m) { m.StrictISO = -1; }, 1, 5, 0, JOINT_STEREO},
        {"best quality", [](MP3Settings& m) { m.Quality = 0; }, 0, 0, 0, JOINT_STEREO},
        {"fastest", [](MP3Settings& m) { m.Quality = 9; }, 0, 9, 0, JOINT_STEREO},
        {"forced joint stereo", [](MP3Settings& m) { m.Mode = 5; }, 0, 5, 1, JOINT_STEREO},
        {"stereo", [](MP3Settings& m) { m.Mode = 0; }, 0, 5, 0, STEREO},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MP3Settings m{};
        m.Bitrate = 128;
        m.Mode = 1;
        m.Quality = 5;
        c.edit(m);
        bool paramsOk = false;
        lame_global_flags* gf = kvaudio::newLameEncoder(m, 44100, 2, &paramsOk);
        ASSERT_NE(gf, nullptr);
        EXPECT_TRUE(paramsOk);
        EXPECT_EQ(lame_get_strict_ISO(gf) != 0, c.strictIso != 0);
        EXPECT_EQ(lame_get_quality(gf), c.quality);
        EXPECT_EQ(lame_get_force_ms(gf), c.forceMs);
        EXPECT_EQ(lame_get_mode(gf), c.mode);
        lame_close(gf);
    }
}
