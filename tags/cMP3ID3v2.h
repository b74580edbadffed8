#pragma once
// The ID3v2 tag of one MP3 file, held as a store of frames, each with one or
// more tags. Setting MP3File reads the tag (versions 2.2 to 2.4); the field
// properties each stand for one frame; Update writes the whole store back as
// a version 2.3 tag, in place when it fits, otherwise by rewriting the file.
#include <QString>
#include <optional>
#include <vector>

#include "tags/Id3v2Codec.h"
#include "tags/TagError.h"

namespace tagio {
class File;
struct TagChange;
} // namespace tagio

class cMP3ID3v2 {
public:
    cMP3ID3v2();

    bool HasID3v2Tag() const { return m_lTagPos > 0; }
    quint8 ID3v2TagVersion() const { return m_bytVersion; }

    qint32 FrameCount() const { return qint32(m_store.size()); }
    // The identifier at 1-based position Index; "" and an error outside 1..FrameCount.
    QString Frame(qint32 Index);
    // Removes a frame with all its tags. False when the store has no such frame.
    bool RemoveFrame(const QString& Frame);
    // The number of tags of a frame, 0 when the store has none.
    qint32 TagsInFrame(const QString& Frame) const;
    void AddTag(const QString& sFrame, const QString& sTag);
    // Removes tag number tagIndex (from 1) of a frame. False when there is no such tag.
    bool RemoveTag(const QString& sFrame, qint32 tagIndex);

    QString ArtistURL() const { return m_fields[fArtistURL]; }
    void setArtistURL(const QString& v) { letText(fArtistURL, v); }
    QString BuyURL() const { return m_fields[fBuyURL]; }
    void setBuyURL(const QString& v) { letText(fBuyURL, v); }
    QString AudioURL() const { return m_fields[fAudioURL]; }
    void setAudioURL(const QString& v) { letText(fAudioURL, v); }
    QString Copyright() const { return m_fields[fCopyright]; }
    void setCopyright(const QString& v) { letText(fCopyright, v); }
    QString Composer() const { return m_fields[fComposer]; }
    void setComposer(const QString& v) { letText(fComposer, v); }
    QString OriginalArtist() const { return m_fields[fOriginalArtist]; }
    void setOriginalArtist(const QString& v) { letText(fOriginalArtist, v); }
    QString LinkTo() const { return m_fields[fLinkTo]; }
    void setLinkTo(const QString& v) { letText(fLinkTo, v); }
    QString PlayCounter() const { return m_fields[fPlayCounter]; }
    void setPlayCounter(const QString& v) { letText(fPlayCounter, v); }
    QString EncodedBy() const { return m_fields[fEncodedBy]; }
    void setEncodedBy(const QString& v) { letText(fEncodedBy, v); }
    QString Title() const { return m_fields[fTitle]; }
    void setTitle(const QString& v) { letText(fTitle, v); }
    QString Artist() const { return m_fields[fArtist]; }
    void setArtist(const QString& v) { letText(fArtist, v); }
    QString Album() const { return m_fields[fAlbum]; }
    void setAlbum(const QString& v) { letText(fAlbum, v); }
    QString Year() const { return m_fields[fYear]; }
    void setYear(const QString& v) { letText(fYear, v); }
    QString Comment() const { return m_fields[fComment]; }
    void setComment(const QString& v) { letText(fComment, v); }
    QString Lyrics() const { return m_fields[fLyrics]; }
    void setLyrics(const QString& v) { letText(fLyrics, v); }
    quint8 Genre() const { return m_bytGenre; }
    void setGenre(quint8 v);
    QString OtherGenreName() const { return m_fields[fOtherGenreName]; }
    void setOtherGenreName(const QString& v);
    QString Track() const { return m_fields[fTrack]; }
    void setTrack(const QString& v) { letText(fTrack, v); }

    // The name of a genre number, "" for a number without one.
    QString GenreName(quint8 Genre) const;

    QString MP3File() const { return m_sFile; }
    // Stores the path and reads its tag. False when the file cannot be read.
    bool setMP3File(const QString& sFile);

    quint8 TagVersion() const { return m_bytVersion; }

    // Writes the store into the file named by MP3File. False on any failure;
    // the file is then as it was.
    bool Update();
    // The two halves of Update, for a write of both tags as one change: the
    // version 2.3 image of the store, built before the file is opened; then
    // the tag the image makes, as the head of change, for the file open as
    // `file`. False (LastError set) on failure.
    bool BuildTagImage(QByteArray& image);
    bool PlanUpdate(tagio::File& file, QByteArray image, tagio::TagChange& change);

    // The failure of the last member that can fail (Number 0 after a success).
    const TagError& LastError() const { return m_err; }

private:
    enum Field {
        fArtistURL,
        fBuyURL,
        fAudioURL,
        fCopyright,
        fComposer,
        fOriginalArtist,
        fLinkTo,
        fPlayCounter,
        fEncodedBy,
        fTitle,
        fArtist,
        fAlbum,
        fYear,
        fComment,
        fLyrics,
        fTrack,
        fOtherGenreName,
        fFieldCount
    };

    void reset();
    // The tag at the start of the open file, when its header holds together.
    static std::optional<id3v2::Header> FindID3v2Tag(tagio::File& file);
    bool ReadID3v2Tag();
    void StoreFrame(id3v2::ReadFrame&& frame);
    void applyGenreText(const QString& text);

    void letText(Field f, const QString& value);
    void rewriteGenreFrame();
    id3v2::Frame* find(const QString& id);
    const id3v2::Frame* find(const QString& id) const;
    void addEntry(const QString& id, id3v2::TagEntry entry);
    void dropFrame(const QString& id);

    QString m_sFile;
    qint32 m_lTagPos = 0;
    quint8 m_bytVersion = 0;
    quint8 m_bytGenre = 0;
    QString m_fields[fFieldCount];
    bool m_bYearFromTYER = false;
    std::vector<id3v2::Frame> m_store;
    TagError m_err;
};
