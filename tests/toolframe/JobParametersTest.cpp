#include <QStringList>
#include <cstring>
#include <gtest/gtest.h>

#include "settings/FormatSettings.h"
#include "toolframe/JobParameters.h"

namespace {

// Records every call in order, with the records as handed over.
class RecordingTarget : public AudioJobTarget {
public:
    QStringList calls;
    WAVSettings wav{};
    MP3Settings mp3{};
    WMASettings wma{};
    OGGSettings ogg{};

    void setOutputFormat(int code) override { calls << "OutputFormat " + QString::number(code); }
    void SetWAVSettings(const WAVSettings& s) override { calls << "WAV"; wav = s; }
    void SetACMFormat(const QString& t, const QString& f) override { calls << "ACM " + t + "|" + f; }
    void SetMP3Settings(const MP3Settings& s) override { calls << "MP3"; mp3 = s; }
    void SetWMASettings(const WMASettings& s) override { calls << "WMA"; wma = s; }
    void SetOGGSettings(const OGGSettings& s) override { calls << "OGG"; ogg = s; }
    void SetAPESettings(int level) override { calls << "APE " + QString::number(level); }
    void setTagAlbum(const QString&) override {}
    void setTagArtist(const QString&) override {}
    void setTagComment(const QString&) override {}
    void setTagGenre(const QString&) override {}
    void setTagTitle(const QString&) override {}
    void setTagTrack(const QString&) override {}
    void setTagYear(const QString&) override {}
};

} // namespace

TEST(JobParameters, EachFormatGetsItsCodeItsSettingsCallAndItsLogLine)
{
    g_sACMTag = "IMA ADPCM";
    g_sACMFormat = "22,050 kHz; 4 Bit; Mono";
    g_lAPELevel = 3;
    const struct {
        int index;
        QStringList calls;
        QString log;
    } cases[] = {
        {0, {"OutputFormat 1", "WAV"}, "Destination format: WAV"},
        {1, {"OutputFormat 2", "ACM IMA ADPCM|22,050 kHz; 4 Bit; Mono"}, "Destination format: ACM WAV"},
        {2, {"OutputFormat 3", "MP3"}, "Destination format: MP3"},
        {3, {"OutputFormat 4", "WMA"}, "Destination format: WMA"},
        {4, {"OutputFormat 5", "OGG"}, "Destination format: OGG"},
        {5, {"OutputFormat 6", "APE 3"}, "Destination format: APE"},
        {9, {"OutputFormat 1", "WAV"}, "Destination format: WAV"},
    };
    for (const auto& c : cases) {
        RecordingTarget t;
        ApplyDestinationFormat(t, c.index);
        EXPECT_EQ(t.calls, c.calls) << c.index;
        EXPECT_EQ(DestinationFormatLogLine(c.index), c.log) << c.index;
    }

    // The one-file conversion names its target by text and has no fallback.
    RecordingTarget none;
    EXPECT_FALSE(SetDestinationForTarget(none, "FLAC - lossless"));
    EXPECT_FALSE(SetDestinationForTarget(none, ""));
    EXPECT_TRUE(none.calls.isEmpty());
    RecordingTarget mp3;
    EXPECT_TRUE(SetDestinationForTarget(mp3, "mp3 in lower case"));
    EXPECT_EQ(mp3.calls, QStringList({"OutputFormat 3", "MP3"}));
}

TEST(JobParameters, MP3RecordFollowsTheSettingsWithAverageBitrateWinning)
{
    g_lMP3ABRBitrate = 160;
    g_lMP3Bitrate = 192;
    g_bMP3Copyright = true;
    g_bMP3ErrorProtect = false;
    g_lMP3Mode = 1;
    g_bMP3Original = true;
    g_lMP3Samplerate = 44100;
    g_lMP3Quality = 2;
    g_bMP3StrictISO = true;
    g_bMP3VBRForceMinBitrate = true;
    g_lMP3MinBitrate = 3;
    g_lMP3MaxBitrate = 18;
    g_lMP3VBRQuality = 4;

    const struct {
        bool vbrTag, abr;
        int vbrMode;
        int writeTag;
    } modes[] = {{false, false, 0, 0}, {true, false, 4, -1}, {true, true, 3, -1}, {false, true, 3, 0}};
    for (const auto& m : modes) {
        g_bMP3VBRTag = m.vbrTag;
        g_bMP3ABR = m.abr;
        const MP3Settings s = MakeMP3Settings();
        EXPECT_EQ(s.VBRMode, m.vbrMode) << m.vbrTag << m.abr;
        EXPECT_EQ(s.WriteVBRTag, m.writeTag) << m.vbrTag << m.abr;
    }

    const MP3Settings s = MakeMP3Settings();
    EXPECT_EQ(s.ABRBitrate, 160);
    EXPECT_EQ(s.Bitrate, 192);
    EXPECT_EQ(s.Copyright, -1);
    EXPECT_EQ(s.ErrorProtection, 0);
    EXPECT_EQ(s.Mode, 1);
    EXPECT_EQ(s.Original, -1);
    EXPECT_EQ(s.SampleRate, 44100);
    EXPECT_EQ(s.Quality, 2);
    EXPECT_EQ(s.StrictISO, -1);
    EXPECT_EQ(s.VBRForceMinBitrate, -1);
    EXPECT_EQ(s.MinBitrate, 3);
    EXPECT_EQ(s.MaxBitrate, 18);
    EXPECT_EQ(s.VBRQuality, 4);
    unsigned char bytes[sizeof(MP3Settings)];
    std::memcpy(bytes, &s, sizeof s);
    for (int offset : {18, 19, 30, 31, 38, 39, 54, 55})
        EXPECT_EQ(bytes[offset], 0) << offset;
}

TEST(JobParameters, WavWmaAndOggRecords)
{
    g_lSamplesWAV = 22050;
    g_lBitrateWAV = 8;
    for (int channelIndex : {0, 1}) {
        g_lChannelsWAV = channelIndex;
        const WAVSettings w = MakeWAVSettings();
        EXPECT_EQ(w.SampleRate, 22050);
        EXPECT_EQ(w.Channels, channelIndex + 1);
        EXPECT_EQ(w.BitsPerSample, 8);
    }
    g_lBitrateWAV = 70000; // does not fit the 16-bit field
    EXPECT_EQ(MakeWAVSettings().BitsPerSample, 0);

    g_lWMACodecs = 2;
    g_lWMAFormat = 7;
    EXPECT_EQ(MakeWMASettings().CodecIndex, 2);
    EXPECT_EQ(MakeWMASettings().FormatIndex, 7);

    g_lOGGBitNom = 196;
    g_lOGGQuality = 60;
    g_bOGGBitrate = true;
    OGGSettings o = MakeOGGSettings();
    EXPECT_EQ(o.Mode, 2);
    EXPECT_EQ(o.NominalBitrate, 196);
    EXPECT_EQ(o.Quality, 0);
    g_bOGGBitrate = false;
    o = MakeOGGSettings();
    EXPECT_EQ(o.Mode, 0);
    EXPECT_EQ(o.NominalBitrate, 0);
    EXPECT_EQ(o.Quality, 60);
}
