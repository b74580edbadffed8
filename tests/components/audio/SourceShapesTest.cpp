// Sources of every rate, sample format, channel count and length, however
// short: what the converter and the joiner make of them keeps every frame,
// decodes, and mixes more than two channels down without clipping.
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "components/audio/AudioJobErrors.h"
#include "components/audio/SampleConverter.h"
#include "components/audio/cAudioConverter.h"
#include "components/audio/cAudioJoin.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/components/audio/UnitRuns.h"
#include "tests/components/audio/WavShapes.h"

namespace {

using shapes::Sample;
using shapes::WavShape;
using units::cbr128;
using units::convert;

// What a resampled stream of `frames` holds: every frame, at the new rate.
qint64 framesAt(qint64 frames, int fromRate, int toRate)
{
    return frames == 0 ? 0 : qMax<qint64>(1, std::llround(double(frames) * toRate / fromRate));
}

// The tables write a thousand small files, each synced before it takes its
// name: on a memory file system that costs nothing.
QString scratchTemplate()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return (shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath()) + QStringLiteral("/kelvane-shapes-XXXXXX");
}

class SourceShapesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.path() + "/" + name; }
    QTemporaryDir dir{scratchTemplate()};
};

// Every rate, width, channel count and length, plain and extensible headers
// alike, into a 44.1 kHz WAV and an MP3. The WAV holds exactly the frames the
// source lasted at the new rate. The MP3 is read back with its Info frame's
// delay and padding trimmed, which LAME records to the sample: it decodes to
// the same count.
TEST_F(SourceShapesTest, EveryShapeConvertsToEveryFrameAndDecodes)
{
    cAudioConverter toWav, toMp3;
    toWav.setOutputFormat(1);
    toWav.SetWAVSettings({44100, 2, 16});
    toMp3.setOutputFormat(3);
    toMp3.SetMP3Settings(cbr128());

    QStringList faults;
    int n = 0;
    for (int rate : {8000, 22050, 48000})
        for (int channels = 1; channels <= 6; ++channels)
            for (qint64 frames : {1, 9, 30, 60, 4410})
                for (Sample sample : {Sample::U8, Sample::S16, Sample::S24, Sample::S32, Sample::F32, Sample::MuLaw}) {
                    WavShape shape;
                    shape.rate = rate;
                    shape.channels = channels;
                    shape.frames = frames;
                    shape.sample = sample;
                    shape.extensible = ++n % 2 == 0;
                    const QString name = QStringLiteral("%1 Hz, %2 ch, %3 frames, %4%5")
                                             .arg(rate)
                                             .arg(channels)
                                             .arg(frames)
                                             .arg(shapes::sampleName(sample), shape.extensible ? ", extensible" : "");
                    const QString src = shapes::writeWav(path("src.wav"), shape);
                    ASSERT_FALSE(src.isEmpty()) << name.toStdString();
                    const qint64 want = framesAt(frames, rate, 44100);

                    QString err = QString::fromStdString(convert(toWav, src, path("out.wav")));
                    const fixtures::Pcm16 wav = fixtures::readPcm16(path("out.wav"));
                    if (!err.isEmpty())
                        faults << name + " to WAV: " + err;
                    else if (wav.channels != 2 || wav.frames() != want)
                        faults << QStringLiteral("%1 to WAV: %2 frames, not %3").arg(name).arg(wav.frames()).arg(want);

                    err = QString::fromStdString(convert(toMp3, src, path("out.mp3")));
                    const shapes::Decoded mp3 = shapes::decodeFile(path("out.mp3"));
                    if (!err.isEmpty())
                        faults << name + " to MP3: " + err;
                    else if (!mp3.ok)
                        faults << QStringLiteral("%1 to MP3: does not decode (%2)").arg(name, mp3.error);
                    else if (mp3.frames != want)
                        faults << QStringLiteral("%1 to MP3: %2 frames, not %3").arg(name).arg(mp3.frames).arg(want);
                }
    EXPECT_TRUE(faults.isEmpty()) << faults.size() << " faults, the first:\n"
                                  << faults.mid(0, 20).join("\n").toStdString();
}

qint64 clipped(const fixtures::Pcm16& p)
{
    qint64 n = 0;
    for (qint16 s : p.samples)
        n += s >= 32767 || s <= -32768;
    return n;
}

int peakOf(const fixtures::Pcm16& p)
{
    int peak = 0;
    for (qint16 s : p.samples)
        peak = qMax(peak, std::abs(int(s)));
    return peak;
}

// More than two channels at -3 dBFS, the same sine in each (the loudest
// they can sum to), mixed into stereo and mono: nothing clips, and the mix
// keeps the source's level as a normalised mix does.
TEST_F(SourceShapesTest, MixdownsOfMoreThanTwoChannelsNeverClipAndKeepTheLevel)
{
    const double minus3dB = std::pow(10.0, -3.0 / 20);
    const int sourcePeak = int(std::lround(minus3dB * 32767));
    for (int channels = 3; channels <= 6; ++channels)
        for (bool extensible : {false, true}) {
            WavShape shape;
            shape.channels = channels;
            shape.frames = 2 * 44100;
            shape.extensible = extensible;
            shape.peak = minus3dB;
            shape.sameInAll = true;
            const QString src = shapes::writeWav(path("src.wav"), shape);
            ASSERT_FALSE(src.isEmpty());
            for (int outChannels : {2, 1}) {
                SCOPED_TRACE(QStringLiteral("%1 channels%2 into %3")
                                 .arg(channels)
                                 .arg(extensible ? " (extensible)" : "")
                                 .arg(outChannels == 2 ? "stereo" : "mono")
                                 .toStdString());
                cAudioConverter conv;
                conv.setOutputFormat(1);
                conv.SetWAVSettings({44100, qint16(outChannels), 16});
                ASSERT_EQ(convert(conv, src, path("mix.wav")), "");
                const fixtures::Pcm16 mix = fixtures::readPcm16(path("mix.wav"));
                ASSERT_EQ(mix.channels, outChannels);
                ASSERT_EQ(mix.frames(), 2 * 44100);
                EXPECT_EQ(clipped(mix), 0) << "of " << mix.samples.size();
                EXPECT_NEAR(peakOf(mix), sourcePeak, 2);
            }
        }
}

// A join resamples each source to the first one's rate, then the whole to
// the output's: neither step drops the end of a short source.
TEST_F(SourceShapesTest, JoinsOfShortSourcesAtMixedRatesKeepEveryFrame)
{
    struct Source {
        int rate;
        qint64 frames;
    };
    const QVector<QVector<Source>> joins = {
        {{8000, 9}, {22050, 30}, {48000, 1}},
        {{48000, 60}, {8000, 1}, {22050, 4410}},
        {{22050, 1}, {8000, 9}},
    };
    int n = 0;
    for (const QVector<Source>& sources : joins) {
        SCOPED_TRACE(QStringLiteral("join %1").arg(++n).toStdString());
        cAudioJoin join;
        join.setOutputFormat(1);
        join.SetWAVSettings({44100, 2, 16});
        const int joinRate = sources.first().rate;
        qint64 atJoinRate = 0;
        for (int i = 0; i < sources.size(); ++i) {
            WavShape shape;
            shape.rate = sources[i].rate;
            shape.channels = 1 + i % 2;
            shape.frames = sources[i].frames;
            const QString src = shapes::writeWav(path(QStringLiteral("j%1-%2.wav").arg(n).arg(i)), shape);
            ASSERT_FALSE(src.isEmpty());
            join.AddJoinFile(src, -1, -1);
            atJoinRate += framesAt(sources[i].frames, sources[i].rate, joinRate);
        }
        join.setOutputFile(path("joined.wav"));
        ASSERT_EQ(units::run(join, [&] { join.StartJoin(); }).failure(), "");
        EXPECT_EQ(fixtures::readPcm16(path("joined.wav")).frames(), framesAt(atJoinRate, joinRate, 44100));
    }
}

// The parts of a split each end where their range does, the last one with
// the source, however little of it is left.
TEST_F(SourceShapesTest, PartsOfAResampledSourceKeepEveryFrame)
{
    WavShape shape;
    shape.rate = 8000;
    shape.channels = 1;
    shape.frames = 2 * 8000 + 9;
    const QString src = shapes::writeWav(path("src.wav"), shape);
    ASSERT_FALSE(src.isEmpty());
    cAudioConverter toWav, toMp3;
    toWav.setOutputFormat(1);
    toWav.SetWAVSettings({44100, 2, 16});
    toMp3.setOutputFormat(3);
    toMp3.SetMP3Settings(cbr128());
    for (int start : {0, 1, 2}) {
        SCOPED_TRACE(QStringLiteral("part from %1 s").arg(start).toStdString());
        const qint64 want = start < 2 ? 44100 : 50;
        ASSERT_EQ(convert(toWav, src, path("part.wav"), start, 1), "");
        EXPECT_EQ(fixtures::readPcm16(path("part.wav")).frames(), want);
        ASSERT_EQ(convert(toMp3, src, path("part.mp3"), start, 1), "");
        EXPECT_EQ(shapes::decodeFile(path("part.mp3")).frames, want);
    }
}

// The converter behind speech files: however short the stream, its end
// gives back every frame at the new rate.
TEST_F(SourceShapesTest, SampleConverterEndsEveryStreamWithEveryFrame)
{
    struct Case {
        int rate, channels;
        SampleConverter::Sample sample;
    };
    for (const Case& c : {Case{8000, 1, SampleConverter::U8}, Case{11025, 2, SampleConverter::S16},
                          Case{44100, 1, SampleConverter::S16}, Case{48000, 2, SampleConverter::Float}})
        for (int frames : {1, 9, 30, 4410}) {
            SCOPED_TRACE(QStringLiteral("%1 frames to %2 Hz, %3 ch").arg(frames).arg(c.rate).arg(c.channels).toStdString());
            std::vector<qint16> in(static_cast<size_t>(frames));
            for (int i = 0; i < frames; ++i)
                in[size_t(i)] = qint16(std::lround(16000 * std::sin(2 * M_PI * 440 * i / 22050.0)));
            SampleConverter conv;
            ASSERT_TRUE(conv.open(22050, 1, SampleConverter::S16, c.rate, c.channels, c.sample));
            QByteArray out;
            // In two pieces, as the speech engine hands them over.
            const int first = frames / 2;
            ASSERT_TRUE(conv.convert(reinterpret_cast<const char*>(in.data()), qint64(first) * 2, out));
            ASSERT_TRUE(conv.convert(reinterpret_cast<const char*>(in.data() + first), qint64(frames - first) * 2, out));
            ASSERT_TRUE(conv.flush(out));
            EXPECT_EQ(out.size() / (SampleConverter::bytesPerSample(c.sample) * c.channels), framesAt(frames, 22050, c.rate));
        }
}

} // namespace
