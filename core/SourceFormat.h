#pragma once
// The format of a user's audio file as the windows show it. Reading it opens
// the file: call it on a worker (OffThreadWait), never on the window's thread,
// where a file on a stalled mount would freeze the window.
#include <QString>

struct SourceFormat {
    int status = -1; // the audio reader's open result; 0 = read
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
    bool ok() const { return status == 0; }
};

// Safe on any thread: the reader is its own.
SourceFormat ReadSourceFormat(const QString& path);
