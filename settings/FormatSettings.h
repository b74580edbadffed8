#pragma once
// The format settings: the encoder parameters of each destination format,
// filled by g_frmAudioProp()->GetOptions() from the settings store at start-up
// and after each OK of the Audio Format dialog. Nothing else writes them; the
// tools build their components' settings records from them when a job starts.
// List choices are handed on as positions where noted, not as values.
#include <QString>
#include <QStringList>

// "Formats\WAV"
extern int g_lSamplesWAV;             // Hz
extern int g_lBitrateWAV;             // bits per sample
extern int g_lChannelsWAV;            // position: channel count - 1

// "Formats\ACM"
extern QString g_sACMTag;             // codec name
extern QString g_sACMFormat;          // format name

// "Formats\MP3"
extern int g_lMP3Bitrate;             // kbit/s
extern int g_lMP3Quality;             // 0..9
extern int g_lMP3Samplerate;          // Hz
extern int g_lMP3Mode;                // channel mode 0..5
extern bool g_bMP3ErrorProtect;
extern bool g_bMP3Original;
extern bool g_bMP3Copyright;
extern bool g_bMP3StrictISO;
extern int g_lMP3VBRQuality;          // position in the quality list (= 0..9)
extern int g_lMP3MinBitrate;          // position in the MP3 bitrate list, not kbit/s
extern int g_lMP3MaxBitrate;          // position in the MP3 bitrate list, not kbit/s
extern bool g_bMP3VBRTag;             // variable bitrate with the VBR tag
extern bool g_bMP3VBRForceMinBitrate;
extern bool g_bMP3ABR;                // average bitrate, wins over g_bMP3VBRTag
extern int g_lMP3ABRBitrate;          // kbit/s

// "Formats\WMA"
extern int g_lWMACodecs;              // position in the converter's codec list
extern int g_lWMAFormat;              // position in that codec's format list

// "Formats\OGG"
extern bool g_bQualityOGG;
extern int g_lOGGQuality;             // 0..100, used when g_bOGGBitrate is clear
extern bool g_bOGGBitrate;            // nominal-bitrate mode
extern int g_lOGGBitNom;              // kbit/s

// "Formats\APE"
extern int g_lAPELevel;               // 0 Fast .. 4 Slow

namespace formatlists {
// The entries of the dialog's lists, exactly as stored (blanks included).
QStringList mp3Bitrates();            // "8 ", "16", ... "320"
QStringList mp3Qualities();           // "0 " ... "9 "
QStringList mp3Samplerates();
QStringList mp3Modes();
QStringList wavSamples();
QStringList wavChannels();
QStringList oggNominalBitrates();
QStringList apeLevels();
} // namespace formatlists
