#pragma once
// The audio converter component: file facts (open, length, format, tags),
// ACM and WMA codec lists, and conversion jobs that run on a worker thread
// and report through queued events.
#include <QObject>
#include <QString>
#include <memory>

#include "components/audio/EncoderJobSettings.h"

class cAudioConverter : public QObject, public EncoderJobSettings {
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

    // ---- Tag texts: written into the next output (set through the shared
    // setters), filled by ReadTags
    QString TagAlbum() const;
    QString TagArtist() const;
    QString TagComment() const;
    QString TagGenre() const;
    QString TagTitle() const;
    QString TagTrack() const;
    QString TagYear() const;

    // ---- Conversion job; the output format and its settings are the shared
    // ones, kept for every later unit.
    void setInputFile(const QString& path);
    QString InputFile() const;
    void setOutputFile(const QString& path);
    QString OutputFile() const;
    // Whole seconds; a range applies to the next unit only.
    void setRangeStart(int seconds);
    void setRangeLength(int seconds);

    // Starts the unit and returns at once; its events follow.
    void StartConvert();
    // The running unit ends with JobAborted; nothing happens when none runs.
    void AbortJob();

    // ---- Codec lists. The enumerations raise their events before returning.
    void EnumACMFormatTags(int formatTag, int sampleRate, int channels, int bitsPerSample, int flags);
    void EnumACMFormats(const QString& formatTagName);
    int WMACodecCount() const;
    QString WMACodecName(int codecIndex) const;
    int WMAFormatCount(int codecIndex) const;
    QString WMAFormatName(int codecIndex, int formatIndex) const;

    // Frees what the component holds; a running job stops without events and
    // leaves no output. The component stays usable.
    void ReleaseComponent();

signals:
    void JobProgress(int percent);
    void JobDone();
    void JobAborted();
    void JobError(int code, const QString& text);
    void ACMFormatTagFound(const QString& name);
    void ACMFormatFound(const QString& name);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
