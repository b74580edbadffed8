// What the converting components put into their files, read back from
// outside: levels when the channel count changes, the length of block codecs
// and MP3s, and the item's tag texts in every format.
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

#include "components/audio/AudioEncoder.h"
#include "components/audio/AudioSource.h"
#include "components/audio/SampleConverter.h"
#include "components/audio/cAudioConverter.h"
#include "components/audio/cAudioJoin.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/components/audio/UnitRuns.h"
#include "tests/support/TestEnv.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

using units::cbr128;
using units::convert;

void setItemTags(EncoderJobSettings& c)
{
    c.setTagTitle("Title Ω");
    c.setTagArtist("Artist");
    c.setTagAlbum("Album");
    c.setTagGenre("Blues");
    c.setTagYear("2011");
    c.setTagTrack("4");
    c.setTagComment("Comment");
}

int peakOf(const fixtures::Pcm16& p)
{
    int peak = 0;
    for (qint16 s : p.samples)
        peak = qMax(peak, std::abs(int(s)));
    return peak;
}

qint64 clippedIn(const fixtures::Pcm16& p)
{
    qint64 n = 0;
    for (qint16 s : p.samples)
        n += s >= 32767 || s <= -32768;
    return n;
}

class OutputContentTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.path() + "/" + name; }
    QTemporaryDir dir;
};

// Stereo to mono is (L+R)/2, mono to stereo the same samples twice.
TEST_F(OutputContentTest, ChannelCountChangesKeepLevelAndSamples)
{
    const double minus1dB = std::pow(10.0, -1.0 / 20);
    const QString loud = fixtures::writeSineWav(path("loud.wav"), 3.0, 44100, 2, minus1dB);
    const QString differing = fixtures::writeToneWav(path("differing.wav"), 1.0); // 440 Hz left, 550 Hz right
    const QString mono = fixtures::writeSineWav(path("mono.wav"), 2.0, 44100, 1, 0.7, 330);
    const fixtures::Pcm16 loudIn = fixtures::readPcm16(loud), differingIn = fixtures::readPcm16(differing),
                          monoIn = fixtures::readPcm16(mono);
    ASSERT_EQ(loudIn.frames(), 132300);

    cAudioConverter conv;
    conv.setOutputFormat(1);
    conv.SetWAVSettings({44100, 1, 16});
    ASSERT_EQ(convert(conv, loud, path("loud-mono.wav")), "");
    const fixtures::Pcm16 loudOut = fixtures::readPcm16(path("loud-mono.wav"));
    ASSERT_EQ(loudOut.channels, 1);
    ASSERT_EQ(loudOut.frames(), 132300);
    EXPECT_EQ(clippedIn(loudOut), 0);
    EXPECT_NEAR(peakOf(loudOut), peakOf(loudIn), 1) << "peak of the source: " << peakOf(loudIn);

    ASSERT_EQ(convert(conv, differing, path("differing-mono.wav")), "");
    const fixtures::Pcm16 mixed = fixtures::readPcm16(path("differing-mono.wav"));
    ASSERT_EQ(mixed.frames(), differingIn.frames());
    for (qint64 i = 0; i < mixed.frames(); ++i)
        ASSERT_NEAR(mixed.samples[i], (differingIn.samples[2 * i] + differingIn.samples[2 * i + 1]) / 2.0, 1.0) << i;

    // Mono into a stereo file, by the converter and by a join with a stereo file.
    conv.SetWAVSettings({44100, 2, 16});
    ASSERT_EQ(convert(conv, mono, path("mono-stereo.wav")), "");
    cAudioJoin join;
    join.setOutputFormat(1);
    join.SetWAVSettings({44100, 2, 16});
    join.AddJoinFile(mono, -1, -1);
    join.AddJoinFile(differing, -1, -1);
    join.setOutputFile(path("joined.wav"));
    ASSERT_EQ(units::run(join, [&] { join.StartJoin(); }).failure(), "");
    for (const char* name : {"mono-stereo.wav", "joined.wav"}) {
        SCOPED_TRACE(name);
        const fixtures::Pcm16 out = fixtures::readPcm16(path(name));
        ASSERT_EQ(out.channels, 2);
        ASSERT_GE(out.frames(), monoIn.frames());
        for (qint64 i = 0; i < monoIn.frames(); ++i) {
            ASSERT_EQ(out.samples[2 * i], monoIn.samples[i]) << i;
            ASSERT_EQ(out.samples[2 * i + 1], monoIn.samples[i]) << i;
        }
    }
}

// The converter the recorder and the speech tool use mixes the same way.
TEST_F(OutputContentTest, SampleConverterMixesLikeTheJobs)
{
    struct Case {
        const char* name;
        int inChannels, outChannels;
        SampleConverter::Sample outSample;
    };
    for (const Case& c : {Case{"stereo to mono s16", 2, 1, SampleConverter::S16},
                          Case{"stereo to mono float", 2, 1, SampleConverter::Float},
                          Case{"mono to stereo s16", 1, 2, SampleConverter::S16},
                          Case{"mono to stereo float", 1, 2, SampleConverter::Float}}) {
        SCOPED_TRACE(c.name);
        std::vector<qint16> in;
        for (int i = 0; i < 4410; ++i) {
            const double l = 0.89 * std::sin(2 * M_PI * 1000 * i / 44100.0);
            const double r = c.inChannels == 2 && i % 2 ? -0.3 : l; // right differs on odd frames
            in.push_back(qint16(std::lround(l * 32767)));
            if (c.inChannels == 2)
                in.push_back(qint16(std::lround(r * 32767)));
        }
        SampleConverter conv;
        ASSERT_TRUE(conv.open(44100, c.inChannels, SampleConverter::S16, 44100, c.outChannels, c.outSample));
        QByteArray out;
        ASSERT_TRUE(conv.convert(reinterpret_cast<const char*>(in.data()), qint64(in.size()) * 2, out));
        ASSERT_TRUE(conv.flush(out));
        const int bytes = SampleConverter::bytesPerSample(c.outSample);
        const qint64 frames = out.size() / bytes / c.outChannels;
        ASSERT_EQ(frames, 4410);
        auto sampleAt = [&](qint64 i) {
            return c.outSample == SampleConverter::S16
                       ? reinterpret_cast<const qint16*>(out.constData())[i] / 32768.0
                       : double(reinterpret_cast<const float*>(out.constData())[i]);
        };
        for (qint64 f = 0; f < frames; ++f) {
            if (c.inChannels == 2) {
                const double want = (in[2 * f] + in[2 * f + 1]) / 2.0 / 32768.0;
                ASSERT_NEAR(sampleAt(f), want, 1.5 / 32768) << f;
            } else {
                ASSERT_NEAR(sampleAt(2 * f), in[f] / 32768.0, 0.5 / 32768) << f;
                ASSERT_NEAR(sampleAt(2 * f + 1), in[f] / 32768.0, 0.5 / 32768) << f;
            }
        }
    }
}

quint32 factSamples(const QString& path)
{
    const QByteArray fact = fixtures::riffChunk(path, "fact");
    if (fact.size() < 4)
        return 0;
    const auto* b = reinterpret_cast<const uchar*>(fact.constData());
    return quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
}

// A block codec fills its last block with silence; that silence is not audio.
TEST_F(OutputContentTest, BlockCodecFilesAreAsLongAsTheirSource)
{
    const QString tone = fixtures::writeToneWav(path("tone.wav"), 3.0);
    struct Case {
        const char* codec;
        const char* format;
        int rate;
    };
    for (const Case& c : {Case{"IMA ADPCM", "44100 Hz, 4 bit, Stereo", 44100},
                          Case{"IMA ADPCM", "11025 Hz, 4 bit, Mono", 11025},
                          Case{"MS ADPCM", "22050 Hz, 4 bit, Stereo", 22050},
                          Case{"MS ADPCM", "8000 Hz, 4 bit, Mono", 8000}}) {
        SCOPED_TRACE(std::string(c.codec) + ", " + c.format);
        cAudioConverter conv;
        conv.setOutputFormat(2);
        conv.SetACMFormat(c.codec, c.format);
        const QString out = path("block.wav");
        ASSERT_EQ(convert(conv, tone, out), "");
        const qint64 want = 3 * c.rate;
        EXPECT_NEAR(factSamples(out), want, 2);
        EXPECT_NEAR(fixtures::probe(out).seconds, 3.0, 2.0 / c.rate);
        // A range ends where it says too.
        ASSERT_EQ(convert(conv, tone, out, 1, 1), "");
        EXPECT_NEAR(factSamples(out), c.rate, 2);
    }
}

qint64 framesOurDecoderReads(const QString& path)
{
    kvaudio::AudioSource src;
    if (src.open(path) != kvaudio::SourceOk)
        return -1;
    std::vector<float> buf(size_t(4096) * src.outputChannels());
    qint64 total = 0;
    for (;;) {
        QString err;
        const int got = src.read(buf.data(), 4096, &err);
        if (got < 0)
            return -1;
        if (got == 0)
            return total;
        total += got;
    }
}

// The bytes of the first MPEG frame after a leading ID3v2 tag.
QByteArray firstMpegFrame(const QString& path)
{
    const QByteArray file = fixtures::readAll(path);
    const auto* b = reinterpret_cast<const uchar*>(file.constData());
    qint64 pos = 0;
    if (file.startsWith("ID3") && file.size() > 10)
        pos = 10 + ((b[6] << 21) | (b[7] << 14) | (b[8] << 7) | b[9]);
    if (pos + 4 > file.size() || b[pos] != 0xFF || (b[pos + 1] & 0xE0) != 0xE0)
        return QByteArray();
    return file.mid(pos, 417);
}

// Every MP3 carries the header that tells decoders the encoder's delay and
// padding, so that a part decodes to its own length.
TEST_F(OutputContentTest, Mp3PartsDecodeToTheirLengthInEveryMode)
{
    const QString tone = fixtures::writeToneWav(path("tone.wav"), 7.0);
    struct Mode {
        const char* name;
        std::function<void(MP3Settings&)> edit;
    };
    const Mode modes[] = {
        {"constant", [](MP3Settings&) {}},
        {"constant, error protection", [](MP3Settings& m) { m.ErrorProtection = -1; }},
        {"average", [](MP3Settings& m) { m.VBRMode = 3; }},
        {"variable", [](MP3Settings& m) { m.VBRMode = 4; m.WriteVBRTag = -1; }},
        {"mono 22050 Hz", [](MP3Settings& m) { m.Mode = 3; m.SampleRate = 22050; m.Bitrate = 64; }},
    };
    struct Part {
        int start, length;
    };
    for (const Mode& mode : modes) {
        for (bool tagged : {false, true}) {
            cAudioConverter conv;
            MP3Settings m = cbr128();
            mode.edit(m);
            conv.setOutputFormat(3);
            conv.SetMP3Settings(m);
            if (tagged)
                setItemTags(conv);
            for (const Part& p : {Part{0, 2}, Part{2, 2}, Part{4, 3}}) {
                SCOPED_TRACE(QStringLiteral("%1%2, part at %3 s").arg(mode.name, tagged ? ", tagged" : "").arg(p.start)
                                 .toStdString());
                const QString out = path(QStringLiteral("part%1.mp3").arg(p.start));
                ASSERT_EQ(convert(conv, tone, out, p.start, p.length), "");
                const QByteArray first = firstMpegFrame(out);
                EXPECT_TRUE(first.contains("Info") || first.contains("Xing")) << "the header is the first frame";
                const qint64 want = qint64(p.length) * m.SampleRate;
                EXPECT_NEAR(fixtures::ffmpegDecodedFrames(out), want, 1152);
                EXPECT_NEAR(framesOurDecoderReads(out), want, 1152);
            }
        }
    }
}

// The ripper's road: PCM straight into the encoder.
TEST_F(OutputContentTest, Mp3FromTheEncoderDecodesToItsLength)
{
    std::vector<int16_t> pcm(size_t(5) * 44100 * 2);
    for (size_t i = 0; i < pcm.size() / 2; ++i)
        pcm[2 * i] = pcm[2 * i + 1] = int16_t(8000 * std::sin(2 * M_PI * 440 * double(i) / 44100));
    kvaudio::EncoderSettings s;
    s.outputFormat = 3;
    s.tags.title = "Track 1";
    kvaudio::AudioEncoder enc;
    const QString out = path("rip.mp3");
    ASSERT_TRUE(enc.open(out, s, 44100, 2)) << enc.errorText().toStdString();
    for (size_t pos = 0; pos < pcm.size(); pos += 588 * 2)
        ASSERT_TRUE(enc.writeS16(pcm.data() + pos, int(std::min<size_t>(588, (pcm.size() - pos) / 2))));
    ASSERT_TRUE(enc.finish());
    ASSERT_TRUE(enc.commit());
    EXPECT_NEAR(fixtures::ffmpegDecodedFrames(out), 220500, 1152);
    EXPECT_NEAR(framesOurDecoderReads(out), 220500, 1152);
}

// mutagen's view of an MP3's ID3 frames: {"TIT2": "text", ...}.
QJsonObject mutagenId3(const QString& path, QString* why)
{
    const QString script = QStringLiteral(R"(
import json, sys
from mutagen.id3 import ID3
tags = ID3(sys.argv[1])
out = {}
for frame in tags.values():
    out[frame.FrameID] = str(frame.text[0]) if getattr(frame, "text", None) else ""
print(json.dumps(out))
)");
    QByteArray out;
    if (!testenv::runSystemPython(script, {path}, &out, why))
        return {};
    return QJsonDocument::fromJson(out).object();
}

// The seven texts land in every format that can hold them, where players
// look for them, and the audio stays as it was.
TEST_F(OutputContentTest, EveryOutputCarriesTheItemsTexts)
{
    const QString tone = fixtures::writeToneWav(path("tone.wav"), 2.0);
    struct Case {
        const char* name;
        int code;
        std::function<void(cAudioConverter&)> configure;
        bool riff;
    };
    const Case cases[] = {
        {"t.wav", 1, [](cAudioConverter& c) { c.SetWAVSettings({44100, 2, 16}); }, true},
        {"t8.wav", 1, [](cAudioConverter& c) { c.SetWAVSettings({22050, 1, 8}); }, true},
        {"pcm.wav", 2, [](cAudioConverter& c) { c.SetACMFormat("PCM", "22050 Hz, 16 bit, Stereo"); }, true},
        {"ima.wav", 2, [](cAudioConverter& c) { c.SetACMFormat("IMA ADPCM", "44100 Hz, 4 bit, Stereo"); }, true},
        {"gsm.wav", 2, [](cAudioConverter& c) { c.SetACMFormat("GSM 6.10", "8000 Hz, 0 bit, Mono"); }, true},
        {"t.mp3", 3, [](cAudioConverter& c) { c.SetMP3Settings(cbr128()); }, false},
        {"t.wma", 4, [](cAudioConverter& c) { c.SetWMASettings({0, 2}); }, false},
        {"t.ogg", 5, [](cAudioConverter& c) { c.SetOGGSettings({0, 0, 50}); }, false},
        {"t.ape", 6, [](cAudioConverter& c) { c.SetAPESettings(1); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cAudioConverter conv;
        conv.setOutputFormat(c.code);
        c.configure(conv);
        setItemTags(conv);
        const QString out = path(c.name);
        ASSERT_EQ(convert(conv, tone, out), "");

        const QMap<QString, QString> probed = fixtures::ffprobeTags(out);
        EXPECT_EQ(probed.value("title"), QString("Title Ω"));
        EXPECT_EQ(probed.value("artist"), "Artist");
        EXPECT_EQ(probed.value("album"), "Album");
        EXPECT_EQ(probed.value("genre"), "Blues");
        EXPECT_TRUE(probed.value("date").startsWith("2011") || probed.value("year") == "2011")
            << probed.value("date").toStdString();
        EXPECT_EQ(probed.value("track"), "4");
        EXPECT_EQ(probed.value("comment"), "Comment");

        if (c.riff) {
            const QMap<QString, QString> info = fixtures::riffInfo(out);
            EXPECT_EQ(info.value("INAM"), QString("Title Ω"));
            EXPECT_EQ(info.value("IART"), "Artist");
            EXPECT_EQ(info.value("IPRD"), "Album");
            EXPECT_EQ(info.value("ICRD"), "2011");
            EXPECT_EQ(info.value("ICMT"), "Comment");
            EXPECT_EQ(info.value("IGNR"), "Blues");
            EXPECT_EQ(info.value("IPRT", info.value("ITRK")), "4");
            // The same audio as an untagged file, and a header that still fits it.
            cAudioConverter plain;
            plain.setOutputFormat(c.code);
            c.configure(plain);
            const QString bare = path(QStringLiteral("bare-%1").arg(c.name));
            ASSERT_EQ(convert(plain, tone, bare), "");
            EXPECT_TRUE(fixtures::riffInfo(bare).isEmpty());
            const QByteArray data = fixtures::riffChunk(out, "data");
            EXPECT_FALSE(data.isEmpty());
            EXPECT_EQ(data, fixtures::riffChunk(bare, "data"));
            EXPECT_EQ(fixtures::riffChunk(out, "fact"), fixtures::riffChunk(bare, "fact"));
            EXPECT_NEAR(fixtures::probe(out).seconds, 2.0, 0.03);
        }
        if (c.code == 3) {
            QString why;
            const QJsonObject id3 = mutagenId3(out, &why);
            ASSERT_FALSE(id3.isEmpty()) << why.toStdString();
            EXPECT_EQ(id3.value("TIT2").toString(), QString("Title Ω"));
            EXPECT_EQ(id3.value("TPE1").toString(), "Artist");
            EXPECT_EQ(id3.value("TALB").toString(), "Album");
            EXPECT_EQ(id3.value("TCON").toString(), "Blues");
            EXPECT_EQ(id3.value("TDRC").toString(), "2011"); // the year as mutagen reads it
            EXPECT_EQ(id3.value("TRCK").toString(), "4");
            EXPECT_EQ(id3.value("COMM").toString(), "Comment");
        }
    }
}

} // namespace
