#pragma once
// Files that must not hold the audio editor's window: a WAV whose sound lies
// behind millions of empty chunks (a named pipe is testenv::NamedPipe).
#include <QByteArray>

#include "tests/support/NamedPipe.h"

namespace editorfixtures {

// The WAV `wav` with `chunks` empty chunks put in before its first chunk.
inline QByteArray withManyChunks(QByteArray wav, int chunks)
{
    QByteArray junk;
    junk.reserve(qsizetype(chunks) * 8);
    for (int i = 0; i < chunks; ++i)
        junk.append("JUNK\0\0\0\0", 8);
    wav.insert(12, junk);
    const quint32 riff = quint32(wav.size() - 8);
    for (int i = 0; i < 4; ++i)
        wav[4 + i] = char((riff >> (8 * i)) & 0xFF);
    return wav;
}

} // namespace editorfixtures
