#pragma once
// Plays a sound file asynchronously, as the end-of-job and "Test" sounds do:
// the call returns at once, one sound plays at a time, and a file that cannot
// be played sounds the desktop's default beep instead. The playing itself is
// the handler's: the program installs the audio layer's player at its start
// (the layers above the platform own the sound device); tests install their
// own. Without one, a play only beeps.
#include <QString>
#include <functional>

namespace platform {

struct SoundRequest {
    enum Kind { Play, Stop };
    Kind kind = Play;
    QString file; // Play only
};

using SoundHandler = std::function<void(const SoundRequest&)>;
SoundHandler setSoundHandler(SoundHandler handler);

// Starts playing and returns at once; a sound still playing is replaced.
void playSoundAsync(const QString& file);
// Stops a sound still playing; nothing when none plays.
void stopSound();

} // namespace platform
