#pragma once
// The output format, its settings and the tag texts that the converter, the
// joiner and the CD ripper write their next outputs with. Each stays in force
// until set again.
#include <QString>

#include "components/audio/AudioEncoder.h"
#include "components/audio/AudioFormatRecords.h"

class EncoderJobSettings {
public:
    // 1 WAV, 2 ACM WAV, 3 MP3, 4 WMA, 5 OGG, 6 APE.
    void setOutputFormat(int code) { m_settings.outputFormat = code; }
    int OutputFormat() const { return m_settings.outputFormat; }
    void SetWAVSettings(const WAVSettings& s) { m_settings.wav = s; }
    void SetMP3Settings(const MP3Settings& s) { m_settings.mp3 = s; }
    void SetWMASettings(const WMASettings& s) { m_settings.wma = s; }
    void SetOGGSettings(const OGGSettings& s) { m_settings.ogg = s; }
    void SetACMFormat(const QString& formatTag, const QString& format)
    {
        m_settings.acmTag = formatTag;
        m_settings.acmFormat = format;
    }
    void SetAPESettings(int level) { m_settings.apeLevel = level; }

    void setTagAlbum(const QString& s) { m_settings.tags.album = s; }
    void setTagArtist(const QString& s) { m_settings.tags.artist = s; }
    void setTagComment(const QString& s) { m_settings.tags.comment = s; }
    void setTagGenre(const QString& s) { m_settings.tags.genre = s; }
    void setTagTitle(const QString& s) { m_settings.tags.title = s; }
    void setTagTrack(const QString& s) { m_settings.tags.track = s; }
    void setTagYear(const QString& s) { m_settings.tags.year = s; }

protected:
    ~EncoderJobSettings() = default;

    kvaudio::EncoderSettings m_settings;
};
