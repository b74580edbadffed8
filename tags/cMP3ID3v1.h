#pragma once
// The ID3v1 tag of one MP3 file: the 128-byte block at the end of the file
// that begins with "TAG". Setting MP3File reads it; Update writes the fields
// back, in place or as a new block appended to the file.
#include <QString>

#include "tags/TagError.h"

namespace tagio {
class File;
struct TagChange;
} // namespace tagio

class cMP3ID3v1 {
public:
    QString MP3File() const { return m_sFile; }
    // Stores the path and reads its block. False when the file cannot be read
    // (LastError says why); the fields then hold their reset values.
    bool setMP3File(const QString& sFile);

    // Writes the fields into the file named by MP3File. False on any failure;
    // the file is then as it was.
    bool Update();
    // The block Update writes, as the end of change, for the file open as
    // `file`. False (LastError set) when the file cannot take a block.
    bool PlanUpdate(tagio::File& file, tagio::TagChange& change);

    bool HasID3v1Tag() const { return m_bHasTag; }

    QString Title() const { return m_sTitle; }
    void setTitle(const QString& v) { m_sTitle = v; }
    QString Artist() const { return m_sArtist; }
    void setArtist(const QString& v) { m_sArtist = v; }
    QString Album() const { return m_sAlbum; }
    void setAlbum(const QString& v) { m_sAlbum = v; }
    QString Year() const { return m_sYear; }
    void setYear(const QString& v) { m_sYear = v; }
    quint8 Track() const { return m_bytTrack; }
    void setTrack(quint8 v) { m_bytTrack = v; }
    QString Comment() const { return m_sComment; }
    void setComment(const QString& v) { m_sComment = v; }
    quint8 Genre() const { return m_bytGenre; }
    void setGenre(quint8 v) { m_bytGenre = v; }

    // The name of a genre index, "" for an index without one.
    QString GenreName(quint8 Genre) const;

    // The failure of the last member that can fail (Number 0 after a success).
    const TagError& LastError() const { return m_err; }

private:
    bool ReadID3v1Block();
    static QString StripTagText(const QByteArray& field);

    QString m_sFile;
    bool m_bHasTag = false;
    QString m_sTitle, m_sArtist, m_sAlbum, m_sYear, m_sComment;
    quint8 m_bytGenre = 0;
    quint8 m_bytTrack = 0;
    TagError m_err;
};
