#include "settings/FormatSettings.h"

int g_lSamplesWAV = 0;
int g_lBitrateWAV = 0;
int g_lChannelsWAV = 0;

QString g_sACMTag;
QString g_sACMFormat;

int g_lMP3Bitrate = 0;
int g_lMP3Quality = 0;
int g_lMP3Samplerate = 0;
int g_lMP3Mode = 0;
bool g_bMP3ErrorProtect = false;
bool g_bMP3Original = false;
bool g_bMP3Copyright = false;
bool g_bMP3StrictISO = false;
int g_lMP3VBRQuality = 0;
int g_lMP3MinBitrate = 0;
int g_lMP3MaxBitrate = 0;
bool g_bMP3VBRTag = false;
bool g_bMP3VBRForceMinBitrate = false;
bool g_bMP3ABR = false;
int g_lMP3ABRBitrate = 0;

int g_lWMACodecs = 0;
int g_lWMAFormat = 0;

bool g_bQualityOGG = false;
int g_lOGGQuality = 0;
bool g_bOGGBitrate = false;
int g_lOGGBitNom = 0;

int g_lAPELevel = 0;

namespace formatlists {

QStringList mp3Bitrates()
{
    return {"8 ", "16", "24", "32", "40", "48", "56", "64", "80", "96",
            "112", "128", "144", "160", "176", "192", "224", "256", "320"};
}

QStringList mp3Qualities()
{
    return {"0 ", "1 ", "2 ", "3 ", "4 ", "5 ", "6 ", "7 ", "8 ", "9 "};
}

QStringList mp3Samplerates()
{
    return {"8000", "11025", "12000", "16000", "22050", "24000", "32000", "44100", "48000"};
}

QStringList mp3Modes()
{
    return {"STEREO_MODE = 0",   "JOINT_STEREO_MODE = 1", "DUAL_CHANNEL_MODE = 2",
            "MONO_MODE = 3",     "NOT_SET_MODE = 4",      "FORCE_JOINT_STEREO_MODE = 5"};
}

QStringList wavSamples() { return {"44100", "22050", "11025", "8000"}; }
QStringList wavChannels() { return {"Mono", "Stereo"}; }
QStringList oggNominalBitrates() { return {"32", "40", "48", "64", "80", "96", "128", "160", "196", "256", "350"}; }
QStringList apeLevels() { return {"Fast", "Normal", "High", "Extra high", "Slow"}; }

} // namespace formatlists
