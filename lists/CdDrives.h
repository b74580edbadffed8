#pragma once
// The CD drive nodes of the tree: the tracks of a drive's disc as rows of the
// main grid, the disc polling that notices a disc arriving, leaving or being
// replaced, the start-up choice of the first drive with an audio CD, and the
// main window's answer to an error of its CD ripper. All of it works through
// the main window's cAudioCDRipper1.
#include <QString>

// Lists the disc of a drive ("D:") into the main grid, one row per track.
// Audio tracks come marked, data tracks unmarked with the data icon. A drive
// without an audio CD, or one that no device answers to, shows the empty-list
// picture with "Insert an Audio CD to the CD drive."; a disc image that is
// there but refused (its cue sheet too large, say) shows the reason instead.
void ShowCDTracks(QString drive);

// The device whose name begins with the drive (the last one when several
// do); -1 when no device does.
long GetCDDriveIndex(const QString& drive);

// One tick of the disc polling: reloads the shown drive when its disc has
// come, gone or been replaced since it was listed, and gives a drive whose
// disc left or changed its plain drive text back.
void tmrCDs_Timer();

// Loads the first drive node whose disc is an audio CD. Nothing happens
// without the "Audio CDs" root or without such a disc.
void SelectFirstAudioCD();

// The main window's handler of its CD ripper's JobError: "text (code)".
void cAudioCDRipper1_JobError(int code, const QString& text);
