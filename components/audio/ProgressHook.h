#pragma once
// For tests: runs on a worker at each progress report it posts (the jobs'
// units, the CD ripper's rips, the editor's waveform and save; a speech file
// after each piece of its text), with the report and the work's abort flag,
// so that a test can hold the work mid-way. It must return once the flag is
// set. Empty for none, as outside tests. Internal to components/.
#include <atomic>
#include <functional>

namespace kvaudio {

using ProgressHook = std::function<void(int a, int b, const std::atomic<bool>& aborted)>;
void setProgressHook(ProgressHook hook);
void runProgressHook(int a, int b, const std::atomic<bool>& aborted);

} // namespace kvaudio
