#pragma once
// The encoder settings records a tool window hands to the audio components.
// Their byte layout is part of the interface and must not change: every
// record is built zeroed, Booleans are 16-bit -1/0, numbers 32-bit.
#include <cstddef>
#include <cstdint>

struct WAVSettings {
    int32_t SampleRate = 0;
    int16_t Channels = 0;
    int16_t BitsPerSample = 0;
};

struct MP3Settings {
    int32_t ABRBitrate = 0;          // kbit/s
    int32_t Bitrate = 0;             // kbit/s, constant bitrate
    int16_t Copyright = 0;
    int16_t ErrorProtection = 0;
    int32_t Mode = 0;                // 0 stereo, 1 joint, 2 dual channel, 3 mono, 4 not set, 5 forced joint
    int16_t Original = 0;
    int16_t pad18 = 0;
    int32_t SampleRate = 0;          // Hz
    int32_t Quality = 0;             // 0 best .. 9 fastest
    int16_t StrictISO = 0;
    int16_t pad30 = 0;
    int32_t VBRMode = 0;             // 0 constant, 3 average, 4 variable
    int16_t VBRForceMinBitrate = 0;
    int16_t pad38 = 0;
    int32_t MinBitrate = 0;          // index into kMP3BitrateList
    int32_t MaxBitrate = 0;          // index into kMP3BitrateList
    int32_t VBRQuality = 0;          // 0 .. 9
    int16_t WriteVBRTag = 0;
    int16_t pad54 = 0;
};

struct WMASettings {
    int32_t CodecIndex = 0;
    int32_t FormatIndex = 0;
};

struct OGGSettings {
    int32_t Mode = 0;                // 0 quality, 2 nominal bitrate
    int32_t NominalBitrate = 0;      // kbit/s
    int32_t Quality = 0;             // 0 .. 100
};

// The MP3 bitrates that MinBitrate and MaxBitrate index, in kbit/s.
inline constexpr int kMP3BitrateList[19] = {8,   16,  24,  32,  40,  48,  56,  64,  80, 96,
                                            112, 128, 144, 160, 176, 192, 224, 256, 320};

static_assert(sizeof(WAVSettings) == 8);
static_assert(offsetof(WAVSettings, SampleRate) == 0);
static_assert(offsetof(WAVSettings, Channels) == 4);
static_assert(offsetof(WAVSettings, BitsPerSample) == 6);

static_assert(sizeof(MP3Settings) == 56);
static_assert(offsetof(MP3Settings, ABRBitrate) == 0);
static_assert(offsetof(MP3Settings, Bitrate) == 4);
static_assert(offsetof(MP3Settings, Copyright) == 8);
static_assert(offsetof(MP3Settings, ErrorProtection) == 10);
static_assert(offsetof(MP3Settings, Mode) == 12);
static_assert(offsetof(MP3Settings, Original) == 16);
static_assert(offsetof(MP3Settings, SampleRate) == 20);
static_assert(offsetof(MP3Settings, Quality) == 24);
static_assert(offsetof(MP3Settings, StrictISO) == 28);
static_assert(offsetof(MP3Settings, VBRMode) == 32);
static_assert(offsetof(MP3Settings, VBRForceMinBitrate) == 36);
static_assert(offsetof(MP3Settings, MinBitrate) == 40);
static_assert(offsetof(MP3Settings, MaxBitrate) == 44);
static_assert(offsetof(MP3Settings, VBRQuality) == 48);
static_assert(offsetof(MP3Settings, WriteVBRTag) == 52);

static_assert(sizeof(WMASettings) == 8);
static_assert(offsetof(WMASettings, CodecIndex) == 0);
static_assert(offsetof(WMASettings, FormatIndex) == 4);

static_assert(sizeof(OGGSettings) == 12);
static_assert(offsetof(OGGSettings, Mode) == 0);
static_assert(offsetof(OGGSettings, NominalBitrate) == 4);
static_assert(offsetof(OGGSettings, Quality) == 8);
