#pragma once
// The start procedure. The windows it loads live above the core, so the
// entry point hands them in.
#include <QStringList>
#include <functional>

struct StartupWindows {
    std::function<void()> loadOptions;      // frmOptions: reads every option
    std::function<void()> loadAudioProp;    // g_frmAudioProp: reads every format setting
    std::function<void()> loadMain;         // frmMain: built, not shown
    std::function<void()> showMain;         // shown modeless
    std::function<void()> startMainInTray;  // "RC Open" reads "Show", minimized, hidden, marked in tray
};

// Returns false when the program must end (broken installation); the caller
// then leaves without running the event loop. `arguments` excludes the program name.
bool Main(const QStringList& arguments, const StartupWindows& windows);

void SetNoGPFaultErrorMode();

// "SOFTWARE\" & vendor & "\" & product
QString MachineKeyRoot();
