#pragma once
// The install step: lays out the program folder and creates the machine-wide
// settings key with its sub-keys. Only the setup tool and tests call these;
// the program itself never creates the key.
#include <QString>
#include <QByteArray>
#include <QList>
#include <QStringList>

QStringList MachineSubKeys();
// Creates the missing keys; existing keys and values are left alone.
bool CreateMachineKeys();
// Main/, View/, SysIcon/systrayicon.ico and sound/notify.wav under the folder.
bool LayOutProgramFolder(const QString& folder);

// A value the install step writes on a first run.
struct FirstRunValue {
    QString subKey; // under the machine-wide key
    QString name;
    QString value;
};
// What a first run starts with: the options' own defaults, plus a shown title
// strip, player and audio graph, light text on a mid-blue strip, MP3 as the
// default format and the first template; and every format setting as the
// Audio Format dialog starts, with CD audio (44100 Hz, 16 bit, stereo) for
// WAV and ACM PCM. Values naming a file of the program folder are left out
// when the folder is not given.
QList<FirstRunValue> FirstRunValues(const QString& programDir = QString());
// Writes every first-run value that is missing; a value that is there, even
// an empty one, stays as it is. False when a write failed.
bool WriteFirstRunValues(const QString& programDir = QString());

// The desktop entry that starts the program in the folder: its Exec line
// quoted as the desktop entry format wants it.
QByteArray DesktopEntryText(const QString& programDir);
// share/applications/kelvane.desktop and the program's icon in share/icons/hicolor.
bool InstallDesktopEntry(const QString& shareDir, const QString& programDir);
