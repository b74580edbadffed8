#pragma once
// The install step: lays out the program folder and creates the machine-wide
// settings key with its sub-keys. Only the setup tool and tests call these;
// the program itself never creates the key.
#include <QString>
#include <QStringList>

QStringList MachineSubKeys();
// Creates the missing keys; existing keys and values are left alone.
bool CreateMachineKeys();
// Main/, View/, SysIcon/systrayicon.ico and sound/notify.wav under the folder.
bool LayOutProgramFolder(const QString& folder);
