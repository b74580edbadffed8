#pragma once
// Cheap structural checks of an audio file's container, made before decoding:
// they catch files cut short and files whose contents are no audio, which a
// forgiving demuxer would otherwise accept as a shorter or noisy stream.
#include <QString>

namespace kvaudio {

enum class SourceVerdict { Fine, Truncated, NotAudio, Empty };

// container is the demuxer's name: "wav", "mp3", "ogg" or "asf".
SourceVerdict checkSourceStructure(const QString& path, const QString& container);

} // namespace kvaudio
