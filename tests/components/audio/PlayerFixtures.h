#pragma once
// Tones for the player's tests, and waiting on the event loop.
#include <QString>
#include <functional>

namespace playerfx {

// A 16-bit PCM WAV holding one sine tone of `hz` on every channel, at half scale.
QString writeSine(const QString& path, double seconds, double hz, int rate = 44100, int channels = 2);
// The same tone as an MP3 (through the ffmpeg command line); empty on failure.
QString writeSineMp3(const QString& path, double seconds, double hz);
// Runs the event loop until `done` holds or `timeoutMs` passes; returns done().
bool waitFor(const std::function<bool()>& done, int timeoutMs);
// Runs the event loop for `ms`.
void pump(int ms);
// Whether the sound system offers an output (the tests' null sink).
bool haveOutput();

} // namespace playerfx
