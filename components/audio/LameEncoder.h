#pragma once
// How the MP3 record becomes LAME's settings. Internal to components/audio/.
struct lame_global_struct;
struct MP3Settings;

namespace kvaudio {

// A LAME encoder set up from the record for the rate and channels, with its
// parameters initialised; *paramsOk is false when LAME refuses them.
// nullptr when LAME cannot start. The caller frees it with lame_close.
lame_global_struct* newLameEncoder(const MP3Settings& settings, int rate, int channels, bool* paramsOk);

} // namespace kvaudio
