#pragma once
#include <QString>

namespace platform {
// The program folder (the executable's folder, or $KELVANE_PROGRAM_DIR),
// without a trailing separator.
QString programDir();
// The executable's file name without its extension.
QString programName();
// Lets the entry point (or a test) name the program folder explicitly.
void setProgramDir(const QString& folder);
} // namespace platform

// The program folder as the classic App.Path: no trailing separator.
inline QString AppPath() { return platform::programDir(); }
