#pragma once
// Reads an audio file through FFmpeg and hands out interleaved float samples
// at the rate and channel count the caller asks for. Opening checks the file
// thoroughly: it must exist, hold audio in the container its extension names,
// be complete, and decode.
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "components/audio/AudioTags.h"

namespace kvaudio {

// Results of AudioSource::open; 0 means the file can be read.
enum SourceStatus {
    SourceOk = 0,
    SourceMissing = 1,
    SourceUnreadable = 2,
    SourceNotAudio = 3,
    SourceMislabelled = 4,
    SourceTruncated = 5,
    SourceEmpty = 6,
};

struct SourceInfo {
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
    int64_t durationMs = 0;
    QString container; // demuxer name: wav, mp3, asf, ogg
    QString codec;
};

// For tests: runs at the start of every AudioSource::open, on the thread
// that opens, standing in for a file on a mount that stalls. Empty for none.
void setSourceOpenHook(std::function<void()> hook);
// Runs that hook: readers that open a user's audio file without an
// AudioSource call it at their open too.
void runSourceOpenHook();

class AudioSource {
public:
    AudioSource();
    ~AudioSource();
    AudioSource(const AudioSource&) = delete;
    AudioSource& operator=(const AudioSource&) = delete;

    // Returns a SourceStatus; errorText gets a sentence for the user.
    int open(const QString& path, QString* errorText = nullptr);
    void close();
    bool isOpen() const;
    // FFmpeg's waits inside open and read give up once *flag is set (a job's
    // abort). The flag outlives the source; nullptr for none.
    void setInterruptFlag(const std::atomic<bool>* flag);
    const SourceInfo& info() const;

    // Samples come out interleaved at this rate and channel count (default:
    // the file's own, with more than two channels mixed down to two).
    void setOutputFormat(int sampleRate, int channels);
    int outputRate() const;
    int outputChannels() const;

    // Positions the stream so that the next read starts exactly at ms.
    bool seekMs(int64_t ms);

    // Reads up to maxFrames frames into dst (maxFrames * outputChannels floats).
    // Returns the frames read, 0 at the end of the audio, -1 on an error
    // (errorText says why). A file that decodes to much less than its header
    // promised ends with an error, not a short success.
    int read(float* dst, int maxFrames, QString* errorText);

    // A playback stream's fill: whole frames of interleaved floats into up to
    // `bytes` bytes; returns the bytes written, 0 at the end of the audio or
    // where it cannot be decoded further (the stream plays what came).
    size_t readForStream(void* dst, size_t bytes);

    // Frames handed out since open or the last seek, at the output rate.
    int64_t framesRead() const;

    // The tag texts of a file, read from its container's metadata.
    static bool readTags(const QString& path, TagTexts* tags);

    // Text for an open result.
    static QString statusText(int status, const QString& path);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kvaudio
