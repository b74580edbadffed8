#include "tags/cMP3ID3v2.h"

#include <cstring>

#include "platform/ProgramDir.h"
#include "tags/Id3Genres.h"
#include "tags/TagChange.h"
#include "tags/TagFileIo.h"
#include "tags/TagUpdate.h"

using id3v2::TagEntry;

namespace {
constexpr const char* kClass = "cMP3ID3v2";

// The frame of each field, in the order of the field enumeration.
const char* const kFieldFrame[] = {"WOAR", "WCOM", "WOAF", "TCOP", "TCOM", "TOPE", "WXXX", "PCNT", "TENC",
                                   "TIT2", "TPE1", "TALB", "TYER", "COMM", "USLT", "TRCK", "TCON"};

TagEntry edited(const QString& text)
{
    TagEntry e;
    e.text = text;
    return e;
}

// The tag a described field stands for: the first readable one without a
// description. Others (iTunes data, other languages, named links) are left alone.
int firstUndescribed(const id3v2::Frame* f)
{
    if (!f)
        return -1;
    for (size_t i = 0; i < f->tags.size(); ++i)
        if (f->tags[i].readable && f->tags[i].description.isEmpty())
            return int(i);
    return -1;
}

bool isGenreNumber(const QString& s, int& n)
{
    if (s.isEmpty() || s.size() > 3)
        return false;
    for (const QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    n = s.toInt();
    return n <= 255;
}
} // namespace

cMP3ID3v2::cMP3ID3v2() = default;

QString cMP3ID3v2::GenreName(quint8 Genre) const { return id3genres::name(Genre); }

id3v2::Frame* cMP3ID3v2::find(const QString& id)
{
    for (auto& f : m_store)
        if (f.id == id)
            return &f;
    return nullptr;
}

const id3v2::Frame* cMP3ID3v2::find(const QString& id) const
{
    for (const auto& f : m_store)
        if (f.id == id)
            return &f;
    return nullptr;
}

void cMP3ID3v2::addEntry(const QString& id, TagEntry entry)
{
    if (id3v2::Frame* f = find(id)) {
        f->tags.push_back(std::move(entry));
        return;
    }
    id3v2::Frame f;
    f.id = id;
    f.tags.push_back(std::move(entry));
    m_store.push_back(std::move(f));
}

void cMP3ID3v2::dropFrame(const QString& id)
{
    for (auto it = m_store.begin(); it != m_store.end(); ++it)
        if (it->id == id) {
            m_store.erase(it);
            return;
        }
}

QString cMP3ID3v2::Frame(qint32 Index)
{
    m_err.clear();
    if (Index < 1 || Index > FrameCount()) {
        // The store's own failure, passed on as it is.
        m_err = TagError{tagerr::SubscriptOutOfRange, platform::programName(),
                         tagerr::description(tagerr::SubscriptOutOfRange)};
        return QString();
    }
    return m_store[size_t(Index - 1)].id;
}

bool cMP3ID3v2::RemoveFrame(const QString& Frame)
{
    m_err.clear();
    if (!find(Frame)) {
        m_err = tagerr::make(tagerr::InvalidProcedureCall, kClass);
        return false;
    }
    dropFrame(Frame);
    return true;
}

qint32 cMP3ID3v2::TagsInFrame(const QString& Frame) const
{
    const id3v2::Frame* f = find(Frame);
    return f ? qint32(f->tags.size()) : 0;
}

void cMP3ID3v2::AddTag(const QString& sFrame, const QString& sTag) { addEntry(sFrame, edited(sTag)); }

bool cMP3ID3v2::RemoveTag(const QString& sFrame, qint32 tagIndex)
{
    m_err.clear();
    id3v2::Frame* f = find(sFrame);
    if (!f || tagIndex < 1 || tagIndex > qint32(f->tags.size())) {
        m_err = tagerr::make(tagerr::InvalidProcedureCall, kClass);
        return false;
    }
    f->tags.erase(f->tags.begin() + (tagIndex - 1));
    if (f->tags.empty())
        dropFrame(sFrame);
    return true;
}

// A let that gives a field the value it already has changes nothing, so a
// frame the user did not edit keeps its bytes. Otherwise the field's frame is
// replaced; an empty value leaves it out.
void cMP3ID3v2::letText(Field f, const QString& value)
{
    const QString id = QLatin1String(kFieldFrame[f]);
    if (id3v2::hasDescription(id)) {
        id3v2::Frame* frame = find(id);
        const int at = firstUndescribed(frame);
        if (value == m_fields[f] && (at >= 0 || value.isEmpty()))
            return;
        m_fields[f] = value;
        if (at >= 0) {
            if (value.isEmpty()) {
                frame->tags.erase(frame->tags.begin() + at);
                if (frame->tags.empty())
                    dropFrame(id);
            } else {
                frame->tags[size_t(at)] = edited(value);
            }
        } else if (!value.isEmpty()) {
            addEntry(id, edited(value));
        }
        return;
    }
    const QString date = QStringLiteral("TDRC");
    const bool present = find(id) || (f == fYear && find(date));
    if (value == m_fields[f] && (present || value.isEmpty()))
        return;
    m_fields[f] = value;
    dropFrame(id);
    if (f == fYear)
        dropFrame(date); // the same field in version 2.4 tags
    if (!value.isEmpty())
        addEntry(id, edited(value));
}

void cMP3ID3v2::setGenre(quint8 v)
{
    const bool present = find(QStringLiteral("TCON"));
    if (v == m_bytGenre && (present || (v == 255 && m_fields[fOtherGenreName].isEmpty())))
        return;
    m_bytGenre = v;
    rewriteGenreFrame();
}

void cMP3ID3v2::setOtherGenreName(const QString& v)
{
    const bool present = find(QStringLiteral("TCON"));
    if (v == m_fields[fOtherGenreName] && (present || (m_bytGenre == 255 && v.isEmpty())))
        return;
    m_fields[fOtherGenreName] = v;
    rewriteGenreFrame();
}

// 255 is no genre: it is not written as a number.
void cMP3ID3v2::rewriteGenreFrame()
{
    const QString id = QStringLiteral("TCON");
    dropFrame(id);
    QString text = m_fields[fOtherGenreName];
    if (m_bytGenre != 255)
        text = QLatin1Char('(') + QString::number(m_bytGenre) + QLatin1Char(')') + text;
    if (!text.isEmpty())
        addEntry(id, edited(text));
}

bool cMP3ID3v2::setMP3File(const QString& sFile)
{
    m_sFile = sFile;
    return ReadID3v2Tag();
}

bool cMP3ID3v2::Update()
{
    m_err = tagio::updateTags(nullptr, this);
    return !m_err.isError();
}

void cMP3ID3v2::reset()
{
    m_store.clear();
    m_lTagPos = 0;
    m_bytVersion = 0;
    m_bytGenre = 255;
    for (QString& s : m_fields)
        s.clear();
    m_bYearFromTYER = false;
}

// A tag counts only at the start of the file, with a header that holds
// together: "ID3" further on is audio data.
std::optional<id3v2::Header> cMP3ID3v2::FindID3v2Tag(tagio::File& file)
{
    char head[id3v2::kHeaderSize];
    if (file.size() < id3v2::kHeaderSize || !file.readAt(0, head, id3v2::kHeaderSize))
        return std::nullopt;
    return id3v2::parseHeader(head, file.size());
}

bool cMP3ID3v2::ReadID3v2Tag()
{
    m_err.clear();
    reset();
    tagio::File file;
    if (!file.openRead(m_sFile)) {
        m_err = tagerr::fromErrno(file.error(), m_sFile, kClass);
        return false;
    }
    const auto header = FindID3v2Tag(file);
    if (!header) {
        if (file.error()) {
            m_err = tagerr::fromErrno(file.error(), m_sFile, kClass);
            return false;
        }
        return true;
    }
    QByteArray body(int(header->size), Qt::Uninitialized);
    if (!file.readAt(id3v2::kHeaderSize, body.data(), body.size())) {
        m_err = tagerr::fromErrno(file.error(), m_sFile, kClass);
        return false;
    }
    file.close();

    m_lTagPos = 4; // the 1-based position after "ID3"
    m_bytVersion = header->version;
    for (auto& frame : id3v2::parseFrames(*header, body))
        StoreFrame(std::move(frame));
    // Described fields show the first tag without a description.
    for (const Field f : {fComment, fLyrics, fLinkTo}) {
        const id3v2::Frame* frame = find(QLatin1String(kFieldFrame[f]));
        const int at = firstUndescribed(frame);
        m_fields[f] = at >= 0 ? frame->tags[size_t(at)].text : QString();
    }
    return true;
}

void cMP3ID3v2::StoreFrame(id3v2::ReadFrame&& frame)
{
    const QString text = frame.entry.text;
    const bool readable = frame.entry.readable;
    addEntry(frame.id, std::move(frame.entry));
    if (!readable)
        return;
    const QString& id = frame.id;
    if (id == QLatin1String("TCON")) {
        applyGenreText(text);
        return;
    }
    if (id == QLatin1String("TDRC")) {
        if (!m_bYearFromTYER)
            m_fields[fYear] = text;
        return;
    }
    for (int f = 0; f < fOtherGenreName; ++f) {
        if (id != QLatin1String(kFieldFrame[f]) || id3v2::hasDescription(id))
            continue;
        m_fields[f] = text;
        if (f == fYear)
            m_bYearFromTYER = true;
        return;
    }
}

void cMP3ID3v2::applyGenreText(const QString& text)
{
    QString& other = m_fields[fOtherGenreName];
    int n = 0;
    const int open = text.indexOf(QLatin1Char('('));
    const int close = text.indexOf(QLatin1Char(')'));
    if (open < 0 || close < 0) {
        // Version 2.4 writes the bare number.
        if (isGenreNumber(text, n)) {
            m_bytGenre = quint8(n);
            other = GenreName(quint8(n));
        } else {
            other = text;
        }
        return;
    }
    if (close < open || !isGenreNumber(text.mid(open + 1, close - open - 1), n)) {
        other = text;
        return;
    }
    m_bytGenre = quint8(n);
    const QString rest = text.mid(close + 1);
    other = rest.isEmpty() ? GenreName(quint8(n)) : rest;
}

bool cMP3ID3v2::BuildTagImage(QByteArray& image)
{
    m_err.clear();
    if (const qint32 failure = id3v2::buildImage(m_store, image)) {
        m_err = tagerr::make(failure, kClass);
        return false;
    }
    return true;
}

bool cMP3ID3v2::PlanUpdate(tagio::File& file, QByteArray image, tagio::TagChange& change)
{
    m_err.clear();
    if (file.size() == 0) {
        m_err = tagerr::notValidMP3(m_sFile, kClass);
        return false;
    }

    // Only a tag whose header holds together is written over.
    const auto header = FindID3v2Tag(file);
    if (!header && file.error()) {
        m_err = tagerr::fromErrno(file.error(), m_sFile, kClass);
        return false;
    }
    const qint64 oldSpace = header ? header->space() : 0;

    constexpr qint64 kMaxSize = 0x0FFFFFFF; // what the 28-bit size field holds
    const qint64 length = image.size();
    qint64 space = oldSpace;
    if (oldSpace == 0 || length >= oldSpace || oldSpace - id3v2::kHeaderSize > kMaxSize) {
        // The tag moves the audio: a new space of whole 2048-byte blocks.
        space = (length / 2048 + 1) * 2048;
        if (space - id3v2::kHeaderSize > kMaxSize) {
            m_err = tagerr::make(tagerr::Overflow, kClass);
            return false;
        }
    }
    // The rest of the space is zero padding.
    image.append(QByteArray(space - length, '\0'));
    id3v2::writeSynchsafe(image.data() + 6, quint32(space - id3v2::kHeaderSize));
    change.head = std::move(image);
    change.keepFrom = oldSpace;
    return true;
}
