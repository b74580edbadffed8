#pragma once
// Codes the audio components put in their JobError events.
namespace kvaudio {

enum JobErrorCode {
    ErrSourceMissing = 1,
    ErrSourceUnreadable = 2,
    ErrSourceNotAudio = 3,
    ErrSourceMislabelled = 4,
    ErrSourceTruncated = 5,
    ErrSourceEmpty = 6,
    ErrDecode = 10,
    ErrSettings = 20,
    ErrFormatUnavailable = 21,
    ErrOutputPath = 30,
    ErrOutputIsInput = 31,
    ErrWrite = 32,
    ErrRange = 40,
    ErrNoJoinFiles = 41,
    ErrBusy = 50,
};

} // namespace kvaudio
