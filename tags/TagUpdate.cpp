#include "tags/TagUpdate.h"

#include "tags/TagChange.h"
#include "tags/TagFileIo.h"
#include "tags/cMP3ID3v1.h"
#include "tags/cMP3ID3v2.h"

namespace tagio {

TagError updateTags(cMP3ID3v1* v1, cMP3ID3v2* v2)
{
    if (!v1 && !v2)
        return {};
    const QString path = v1 ? v1->MP3File() : v2->MP3File();
    const char* first = v1 ? "cMP3ID3v1" : "cMP3ID3v2";

    // A store that cannot be written fails before the file is opened.
    QByteArray image;
    if (v2 && !v2->BuildTagImage(image))
        return v2->LastError();
    // What a killed write left half done is put right before the file is read.
    recoverPendingWrites(path);
    File file;
    if (!file.openReadWrite(path))
        return tagerr::fromTagWriteOpen(file.error(), path, first);
    TagChange change;
    if (v1 && !v1->PlanUpdate(file, change))
        return v1->LastError();
    if (v2 && !v2->PlanUpdate(file, std::move(image), change))
        return v2->LastError();
    if (const int err = writeChange(file, path, change))
        return tagerr::fromErrno(err, path, v2 ? "cMP3ID3v2" : "cMP3ID3v1");
    return {};
}

} // namespace tagio
