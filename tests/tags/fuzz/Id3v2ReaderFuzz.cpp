// libFuzzer target for the ID3v2 reader: any bytes as a file, read through
// both tag classes; a tag that was found must come out of the version 2.3
// writer's image with the same frames.
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

#include "tags/Id3v2Codec.h"
#include "tags/cMP3ID3v1.h"
#include "tags/cMP3ID3v2.h"

// The error source names the program; the harness has no application object.
namespace platform {
QString programName() { return QStringLiteral("fuzz"); }
} // namespace platform

namespace {

#define check(ok)                                                                  \
    do {                                                                           \
        if (!(ok)) {                                                               \
            std::fprintf(stderr, "check failed: %s (line %d)\n", #ok, __LINE__); \
            std::abort();                                                          \
        }                                                                          \
    } while (0)

// The store the class builds: frames grouped by identifier, first appearance first.
std::vector<id3v2::Frame> group(std::vector<id3v2::ReadFrame>& frames)
{
    std::vector<id3v2::Frame> store;
    for (auto& rf : frames) {
        id3v2::Frame* f = nullptr;
        for (auto& s : store)
            if (s.id == rf.id)
                f = &s;
        if (!f) {
            store.push_back(id3v2::Frame{rf.id, {}});
            f = &store.back();
        }
        f->tags.push_back(rf.entry);
    }
    return store;
}

void roundTrip(const uint8_t* data, size_t size)
{
    if (size < 10)
        return;
    const char* bytes = reinterpret_cast<const char*>(data);
    const auto header = id3v2::parseHeader(bytes, qint64(size));
    if (!header)
        return;
    std::vector<id3v2::ReadFrame> frames =
        id3v2::parseFrames(*header, QByteArray(bytes + 10, int(header->size)));
    const std::vector<id3v2::Frame> store = group(frames);

    QByteArray image;
    check(id3v2::buildImage(store, image) == 0);
    id3v2::writeSynchsafe(image.data() + 6, quint32(image.size() - 10));
    const auto again = id3v2::parseHeader(image.constData(), image.size());
    check(again && again->version == 3);
    const std::vector<id3v2::ReadFrame> reread = id3v2::parseFrames(*again, image.mid(10));

    size_t k = 0;
    for (const auto& f : store) {
        if (f.id.contains(QLatin1String("ID3")))
            continue;
        for (const auto& e : f.tags) {
            check(k < reread.size());
            const auto& r = reread[k++];
            check(r.id == f.id);
            check(r.entry.raw == e.raw);
            check(r.entry.flags == e.flags);
            check(r.entry.readable == e.readable);
            // Compressed texts of several values read as their first value in 2.3.
            if (!(e.flags & 0x0080)) {
                if (r.entry.text != e.text)
                    std::fprintf(stderr, "%s: [%s] became [%s]\n", qPrintable(f.id), qPrintable(e.text.toHtmlEscaped()),
                                 qPrintable(r.entry.text.toHtmlEscaped()));
                check(r.entry.text == e.text);
                check(r.entry.description == e.description);
            }
        }
    }
    check(k == reread.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int fd = memfd_create("id3v2-fuzz", 0);
    static const QString path = QStringLiteral("/proc/self/fd/%1").arg(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;

    cMP3ID3v2 v2;
    v2.setMP3File(path);
    QString all = v2.Title() + v2.Artist() + v2.Album() + v2.Year() + v2.Comment() + v2.Lyrics() + v2.Track() +
                  v2.LinkTo() + v2.PlayCounter() + v2.OtherGenreName() + v2.GenreName(v2.Genre());
    for (int i = 1; i <= v2.FrameCount(); ++i)
        check(v2.TagsInFrame(v2.Frame(i)) > 0);
    cMP3ID3v1 v1;
    v1.setMP3File(path);
    all += v1.Title() + v1.Comment();
    (void)all;

    roundTrip(data, size);
    return 0;
}
