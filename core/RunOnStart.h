#pragma once
// Starting hidden in the tray when the user logs on: an XDG autostart entry
// ${XDG_CONFIG_HOME:-~/.config}/autostart/<product>.desktop. The entry is the
// setting; no copy is kept elsewhere.
#include <QString>

// True: writes the entry, returns 1 when written, 0 when not.
// False: removes it, returns 0 when removed, 2 when there was none, or
// another error number.
long SetRunOnStart(bool bRun);
// True when the entry exists and starts the program where it is now.
bool IsRunOnStart();

// The command the entry runs: the program in double quotes, then " -st".
QString RunOnStartCommand();
// The entry's file.
QString RunOnStartFile();
