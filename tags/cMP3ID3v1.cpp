#include "tags/cMP3ID3v1.h"

#include <cstring>

#include "tags/Id3Genres.h"
#include "tags/TagChange.h"
#include "tags/TagFileIo.h"
#include "tags/TagUpdate.h"

namespace {
constexpr const char* kClass = "cMP3ID3v1";
constexpr int kBlock = 128;

// Latin-1 bytes of a text, '?' for what Latin-1 cannot hold; zero characters
// are left out because a read drops them anyway.
QByteArray toField(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() == 0)
            continue;
        out.append(c.unicode() < 256 ? char(c.unicode()) : '?');
    }
    return out;
}

// Left-aligned in width bytes, blank-padded or cut.
void putField(char* at, int width, const QByteArray& bytes)
{
    const int n = std::min<int>(width, bytes.size());
    std::memcpy(at, bytes.constData(), size_t(n));
    std::memset(at + n, ' ', size_t(width - n));
}
} // namespace

QString cMP3ID3v1::GenreName(quint8 Genre) const { return id3genres::name(Genre); }

bool cMP3ID3v1::setMP3File(const QString& sFile)
{
    m_sFile = sFile;
    return ReadID3v1Block();
}

bool cMP3ID3v1::Update()
{
    m_err = tagio::updateTags(this, nullptr);
    return !m_err.isError();
}

QString cMP3ID3v1::StripTagText(const QByteArray& field)
{
    QByteArray kept;
    kept.reserve(field.size());
    for (const char c : field)
        if (c != 0)
            kept.append(c);
    int b = 0, e = kept.size();
    while (b < e && kept.at(b) == ' ')
        ++b;
    while (e > b && kept.at(e - 1) == ' ')
        --e;
    return QString::fromLatin1(kept.constData() + b, e - b);
}

bool cMP3ID3v1::ReadID3v1Block()
{
    m_err.clear();
    m_bHasTag = false;
    m_sComment.clear();
    m_sArtist.clear();
    m_sAlbum.clear();
    m_sYear.clear();
    m_bytGenre = 255;
    m_sTitle.clear();
    m_bytTrack = 0;

    tagio::File file;
    if (!file.openRead(m_sFile)) {
        m_err = tagerr::fromErrno(file.error(), m_sFile, kClass);
        return false;
    }
    if (file.size() <= kBlock)
        return true;
    char block[kBlock];
    if (!file.readAt(file.size() - kBlock, block, kBlock)) {
        m_err = tagerr::fromErrno(file.error(), m_sFile, kClass);
        return false;
    }
    if (std::memcmp(block, "TAG", 3) != 0)
        return true;

    m_bHasTag = true;
    m_sTitle = StripTagText(QByteArray(block + 3, 30));
    m_sArtist = StripTagText(QByteArray(block + 33, 30));
    m_sAlbum = StripTagText(QByteArray(block + 63, 30));
    m_sYear = StripTagText(QByteArray(block + 93, 4));
    if (block[125] == 0) {
        // The layout with a track byte: a 28-byte comment.
        m_sComment = StripTagText(QByteArray(block + 97, 28));
        m_bytTrack = quint8(block[126]);
    } else {
        // The older layout: the comment runs over the whole 30 bytes.
        m_sComment = StripTagText(QByteArray(block + 97, 30));
        m_bytTrack = 0;
    }
    m_bytGenre = quint8(block[127]);
    return true;
}

bool cMP3ID3v1::PlanUpdate(tagio::File& file, tagio::TagChange& change)
{
    m_err.clear();
    // Nothing shorter than one block can be an MP3 file with a tag.
    if (file.size() <= kBlock) {
        m_err = tagerr::notValidMP3(m_sFile, kClass);
        return false;
    }

    const qint64 length = file.size();
    char marker[3];
    if (!file.readAt(length - kBlock, marker, 3)) {
        m_err = tagerr::fromErrno(file.error(), m_sFile, kClass);
        return false;
    }
    const bool inPlace = std::memcmp(marker, "TAG", 3) == 0;

    char block[kBlock];
    std::memcpy(block, "TAG", 3);
    putField(block + 3, 30, toField(m_sTitle));
    putField(block + 33, 30, toField(m_sArtist));
    putField(block + 63, 30, toField(m_sAlbum));
    putField(block + 93, 4, toField(m_sYear));
    const QByteArray comment = toField(m_sComment);
    if (m_bytTrack == 0 && comment.size() > 28) {
        // No track to store: keep the long comment in the older layout.
        putField(block + 97, 30, comment);
    } else {
        putField(block + 97, 28, comment);
        block[125] = 0;
        block[126] = char(m_bytTrack);
    }
    block[127] = char(m_bytGenre);

    change.tail = QByteArray(block, kBlock);
    change.tailFrom = inPlace ? length - kBlock : length;
    return true;
}
