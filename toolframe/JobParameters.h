#pragma once
// What a tool window hands its audio component before work starts: the
// output format with that format's encoder settings, and the tag texts of
// each unit. The records are built afresh from the format settings on every
// call. Every audio component (converter, joiner, CD ripper) takes the same
// calls, so the windows talk to them through one small interface.
#include <QString>

#include "components/audio/AudioFormatRecords.h"

// The calls a tool window makes on its audio component.
class AudioJobTarget {
public:
    virtual ~AudioJobTarget() = default;

    // 1 WAV, 2 ACM WAV, 3 MP3, 4 WMA, 5 OGG, 6 APE.
    virtual void setOutputFormat(int code) = 0;
    virtual void SetWAVSettings(const WAVSettings& s) = 0;
    virtual void SetACMFormat(const QString& formatTag, const QString& format) = 0;
    virtual void SetMP3Settings(const MP3Settings& s) = 0;
    virtual void SetWMASettings(const WMASettings& s) = 0;
    virtual void SetOGGSettings(const OGGSettings& s) = 0;
    virtual void SetAPESettings(int level) = 0;

    virtual void setTagAlbum(const QString& s) = 0;
    virtual void setTagArtist(const QString& s) = 0;
    virtual void setTagComment(const QString& s) = 0;
    virtual void setTagGenre(const QString& s) = 0;
    virtual void setTagTitle(const QString& s) = 0;
    virtual void setTagTrack(const QString& s) = 0;
    virtual void setTagYear(const QString& s) = 0;
};

// Forwards the calls to a component that offers them under the same names.
// A component already released (null) takes nothing.
template <class Component>
class ComponentJobTarget : public AudioJobTarget {
public:
    explicit ComponentJobTarget(Component* component = nullptr) : m_c(component) {}
    void setComponent(Component* component) { m_c = component; }
    Component* component() const { return m_c; }

    void setOutputFormat(int code) override { if (m_c) m_c->setOutputFormat(code); }
    void SetWAVSettings(const WAVSettings& s) override { if (m_c) m_c->SetWAVSettings(s); }
    void SetACMFormat(const QString& t, const QString& f) override { if (m_c) m_c->SetACMFormat(t, f); }
    void SetMP3Settings(const MP3Settings& s) override { if (m_c) m_c->SetMP3Settings(s); }
    void SetWMASettings(const WMASettings& s) override { if (m_c) m_c->SetWMASettings(s); }
    void SetOGGSettings(const OGGSettings& s) override { if (m_c) m_c->SetOGGSettings(s); }
    void SetAPESettings(int level) override { if (m_c) m_c->SetAPESettings(level); }

    void setTagAlbum(const QString& s) override { if (m_c) m_c->setTagAlbum(s); }
    void setTagArtist(const QString& s) override { if (m_c) m_c->setTagArtist(s); }
    void setTagComment(const QString& s) override { if (m_c) m_c->setTagComment(s); }
    void setTagGenre(const QString& s) override { if (m_c) m_c->setTagGenre(s); }
    void setTagTitle(const QString& s) override { if (m_c) m_c->setTagTitle(s); }
    void setTagTrack(const QString& s) override { if (m_c) m_c->setTagTrack(s); }
    void setTagYear(const QString& s) override { if (m_c) m_c->setTagYear(s); }

private:
    Component* m_c = nullptr;
};

// The records of the current format settings (settings/FormatSettings.h).
WAVSettings MakeWAVSettings();
MP3Settings MakeMP3Settings();
WMASettings MakeWMASettings();
OGGSettings MakeOGGSettings();

// Index 0 WAV .. 5 APE (GetDestinationFormatIndex): sets the output format
// code index + 1 and hands over that format's settings. An index outside
// 0..5 is taken as WAV.
void ApplyDestinationFormat(AudioJobTarget& target, int index);
// The log line of a format index: "Destination format: MP3" ...
QString DestinationFormatLogLine(int index);

// The one-file conversion's variant: by the first three letters of the
// target text, in capitals; a text naming no format sets nothing and
// returns false.
bool SetDestinationForTarget(AudioJobTarget& target, const QString& sTarget);
