#pragma once
// The audio converter component: file facts (open, length, format, tags),
// ACM and WMA codec lists, and conversion jobs that run on a worker thread
// and report through queued events.
#include <QObject>
#include <QString>
#include <memory>

#include "components/AudioFormatRecords.h"

class cAudioConverter : public QObject {
    Q_OBJECT
public:
    explicit cAudioConverter(QObject* parent = nullptr);
    ~cAudioConverter() override;

    // ---- File facts
    // 0 when the file can be read; otherwise a non-zero reason.
    int OpenSourceFile(const QString& path);
    void CloseSourceFile();
    int DurationMs() const;
    int SampleRate() const;
    int Channels() const;
    int BitsPerSample() const;
    QString SecondsToTime(int seconds) const;
    // Reads the file's tags into the tag texts below.
    void ReadTags(const QString& path);

    // ---- Tag texts: written into the next output, filled by ReadTags
    QString TagAlbum() const;
    QString TagArtist() const;
    QString TagComment() const;
    QString TagGenre() const;
    QString TagTitle() const;
    QString TagTrack() const;
    QString TagYear() const;
    void setTagAlbum(const QString& s);
    void setTagArtist(const QString& s);
    void setTagComment(const QString& s);
    void setTagGenre(const QString& s);
    void setTagTitle(const QString& s);
    void setTagTrack(const QString& s);
    void setTagYear(const QString& s);

    // Frees what the component holds; a running job stops without events.
    void ReleaseComponent();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
