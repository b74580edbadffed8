#include "toolframe/JobParameters.h"

#include <QStringList>
#include <limits>

#include "core/Formats.h"
#include "settings/FormatSettings.h"

namespace {

int16_t flag(bool value) { return value ? -1 : 0; }

// A value that does not fit 16 bits leaves the field 0.
int16_t narrow(int value)
{
    if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
        return 0;
    return int16_t(value);
}

} // namespace

WAVSettings MakeWAVSettings()
{
    WAVSettings s{};
    s.SampleRate = g_lSamplesWAV;
    s.Channels = narrow(g_lChannelsWAV + 1);
    s.BitsPerSample = narrow(g_lBitrateWAV);
    return s;
}

MP3Settings MakeMP3Settings()
{
    MP3Settings s{};
    s.ABRBitrate = g_lMP3ABRBitrate;
    s.Bitrate = g_lMP3Bitrate;
    s.Copyright = flag(g_bMP3Copyright);
    s.ErrorProtection = flag(g_bMP3ErrorProtect);
    s.Mode = g_lMP3Mode;
    s.Original = flag(g_bMP3Original);
    s.SampleRate = g_lMP3Samplerate;
    s.Quality = g_lMP3Quality;
    s.StrictISO = flag(g_bMP3StrictISO);
    s.VBRMode = 0;
    if (g_bMP3VBRTag) {
        s.VBRMode = 4;
        s.WriteVBRTag = -1;
    }
    // Average bitrate wins over the variable one; the VBR tag stays as set.
    if (g_bMP3ABR)
        s.VBRMode = 3;
    s.VBRForceMinBitrate = flag(g_bMP3VBRForceMinBitrate);
    s.MinBitrate = g_lMP3MinBitrate;
    s.MaxBitrate = g_lMP3MaxBitrate;
    s.VBRQuality = g_lMP3VBRQuality;
    return s;
}

WMASettings MakeWMASettings()
{
    WMASettings s{};
    s.CodecIndex = g_lWMACodecs;
    s.FormatIndex = g_lWMAFormat;
    return s;
}

OGGSettings MakeOGGSettings()
{
    OGGSettings s{};
    if (g_bOGGBitrate) {
        s.Mode = 2;
        s.NominalBitrate = g_lOGGBitNom;
    } else {
        s.Quality = g_lOGGQuality;
    }
    return s;
}

void ApplyDestinationFormat(AudioJobTarget& target, int index)
{
    if (index < 0 || index > 5)
        index = 0;
    target.setOutputFormat(index + 1);
    switch (index) {
    case 1:
        target.SetACMFormat(g_sACMTag, g_sACMFormat);
        break;
    case 2:
        target.SetMP3Settings(MakeMP3Settings());
        break;
    case 3:
        target.SetWMASettings(MakeWMASettings());
        break;
    case 4:
        target.SetOGGSettings(MakeOGGSettings());
        break;
    case 5:
        target.SetAPESettings(g_lAPELevel);
        break;
    default:
        target.SetWAVSettings(MakeWAVSettings());
        break;
    }
}

QString DestinationFormatLogLine(int index)
{
    static const QStringList names = {"WAV", "ACM WAV", "MP3", "WMA", "OGG", "APE"};
    if (index < 0 || index >= names.size())
        index = 0;
    return QStringLiteral("Destination format: ") + names[index];
}

bool SetDestinationForTarget(AudioJobTarget& target, const QString& sTarget)
{
    static const QStringList keys = {"WAV", "ACM", "MP3", "WMA", "OGG", "APE"};
    const int index = keys.indexOf(sTarget.left(3).toUpper());
    if (index < 0)
        return false;
    ApplyDestinationFormat(target, index);
    return true;
}
