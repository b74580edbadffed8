#pragma once
// Reads back a file an encoder has just completed, before it takes its name:
// it must open as the container it was written as and decode at its start
// and at its end. Bounded work whatever the file's length: the head, then
// the last seconds after a seek. Internal to components/audio/.
#include <QString>

namespace kvaudio {

// demuxer: "wav", "mp3", "asf", "ogg" or "ape". Empty when the file decodes,
// else a short reason.
QString checkWrittenAudio(const QString& path, const char* demuxer);

} // namespace kvaudio
