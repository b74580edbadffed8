#pragma once
// The CD devices the ripper sees: the machine's drives (through libcdio) and
// cue/bin images named in KELVANE_CD_IMAGES, which behave as drives whose disc
// is the image file. Kept out of cAudioCDRipper.h so libcdio stays private.
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

typedef struct _CdIo CdIo_t;
class QTemporaryDir;

namespace cddrives {

// One track of a disc's table of contents, in sectors (75 per second).
struct Track {
    int firstSector = 0;
    int lastSector = -1; // inclusive
    bool audio = false;
    int sectorCount() const { return lastSector >= firstSector ? lastSector - firstSector + 1 : 0; }
};

struct Disc {
    bool present = false;
    std::vector<Track> tracks; // track n is tracks[n - 1]
    // Why an image that is there could not be taken as a disc (a cue sheet
    // too large or no regular file, say); empty for a disc, an empty drive
    // or a missing image.
    QString refusal;
    bool hasAudio() const;
};

struct Device {
    enum Kind { Drive, Image };
    Kind kind = Drive;
    QString name;   // "D: /dev/sr0", "Z: disc.cue": the first two characters are the drive
    QString source; // device node or absolute cue path
};

// Real drives first (D:, E:, ... in device order), then the images of
// KELVANE_CD_IMAGES (Z:, Y:, ... in list order). Images take letters from the
// end so that their names do not move when a drive is plugged in.
std::vector<Device> enumerateDevices();

// A disc opened for reading. For an image whose bin file is not named like
// the cue (libcdio only ever opens "<cue base>.bin"), a private folder with a
// link under that name stands in; it lives as long as this object.
class OpenedDisc {
public:
    ~OpenedDisc();
    CdIo_t* cdio() const { return m_cdio; }
    const Disc& disc() const { return m_disc; }
    // The files the disc is read from (cue and bin of an image).
    const QStringList& sourceFiles() const { return m_files; }

    // Returns null and an explanation when the device holds no readable disc;
    // *refused tells whether an image was there but could not be taken.
    static std::unique_ptr<OpenedDisc> open(const Device& device, QString* why, bool* refused = nullptr);

private:
    OpenedDisc() = default;
    CdIo_t* m_cdio = nullptr;
    Disc m_disc;
    QStringList m_files;
    std::unique_ptr<QTemporaryDir> m_linkDir;
};

// Reads the disc of a device (no disc, or an unreadable one, gives present = false,
// with the refusal of an image that is there).
Disc readDisc(const Device& device);

// What an image's disc depends on: its cue file and the bin the cue names.
// Two equal signatures mean the image is unchanged.
QString imageSignature(const QString& cuePath);

// "D:/Track03.cda", "Track03.cda" (either separator, any letter case) → 3; 0 when
// the name is not of that form. The drive (the text before the last separator)
// goes to *drive when asked.
int cdaTrackNumber(const QString& path, QString* drive = nullptr);

// Silences libcdio's own warnings on stderr (once per process).
void quietLibraryLogs();

} // namespace cddrives
