#pragma once
// Reading and writing plain WAV files without a decoder: the header (RIFF,
// or RF64 with its ds64 chunk for files over 4 GB), raw PCM 8/16/24/32-bit
// and float samples turned into floats, and a header for a new file in the
// same format. The audio editor reads its files this way so that it can
// seek to any frame and copy a range sample for sample.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

class QFile;

namespace kvaudio {

// Codes of the audio editor's EditorError events, beside the job error
// codes (AudioJobErrors.h), which it uses too.
enum EditorErrorCode {
    ErrNotWav = 60,           // not a RIFF/RF64 WAVE file
    ErrWavTruncated = 61,     // the file ends before its header or its data chunk does
    ErrWavChunkTooLarge = 62, // another chunk claims more bytes than the file holds
    ErrWavUnsupported = 63,   // a WAV the editor cannot read (compressed, >2 channels)
    ErrNoFileLoaded = 64,     // playing or zooming with no file shown
    ErrPlayDevice = 65,       // no output device, or it refused the format
    ErrWavTooManyChunks = 66, // more chunks before the sound than any WAV holds
};

// Chunks a WAV may hold: before its format and data chunks are both found
// (the editor stops there), and in the whole file (a demuxer walks them all).
constexpr int kMaxWavChunks = 1024;

// One chunk of a WAV as its header declares it.
struct WavChunk {
    QByteArray id;      // four characters
    int64_t offset = 0; // first byte of the body
    uint64_t size = 0;  // as declared; an RF64 data chunk's from its ds64 chunk
};

enum class WavWalkEnd {
    Stopped,       // the visitor asked to stop
    FileEnd,       // no further chunk header in the file
    NotWav,        // no RIFF, RIFX, RF64 or BW64 WAVE header
    CutShort,      // the file ends inside its RIFF header or its ds64 chunk
    TooManyChunks, // kMaxWavChunks chunks visited and another follows
};

// Visits the chunks of a WAV in file order from its start, seeking over every
// body: whatever the file holds, the walk reads at most kMaxWavChunks chunk
// headers. RIFX sizes are big-endian. *form gets the file's first four bytes
// before the first visit. The visitor may move the file's position.
WavWalkEnd WalkWavChunks(QFile& file, const std::function<bool(const WavChunk&)>& visit, QByteArray* form = nullptr);

struct WavFormat {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    int blockAlign = 0; // bytes per frame
    bool isFloat = false;
    int64_t dataOffset = 0; // first byte of the samples
    int64_t dataBytes = 0;  // whole frames only
    int64_t frames = 0;
    QByteArray fmtChunk; // the body of the fmt chunk as found, for copies in the same format
};

// Opens path for reading only when it is a regular file (a pipe or a device
// is refused without waiting for a writer). 0, ErrSourceMissing or
// ErrSourceUnreadable; text gets a sentence for the user, *notRegular whether
// the refusal was for a folder, pipe or device.
int OpenRegularFile(const QString& path, QFile* file, QString* text = nullptr, bool* notRegular = nullptr);

// Reads the header of path. Returns 0 or an error code (the EditorErrorCode
// values, ErrSourceMissing, ErrSourceUnreadable, ErrSourceEmpty); text gets
// a sentence for the user. It reads the file: callers keep it off the
// window's thread.
int ReadWavHeader(const QString& path, WavFormat* format, QString* text);

// Turns `frames` frames of raw samples into interleaved floats in -1..1.
void DecodeWavSamples(const char* src, int64_t frames, const WavFormat& format, float* dst);

// The header of a new WAV holding dataBytes of samples in the format's fmt
// chunk: RIFF, or RF64 with a ds64 chunk when the sizes pass 4 GB. The data
// follow the header at once.
QByteArray MakeWavHeader(const WavFormat& format, int64_t dataBytes);

} // namespace kvaudio
