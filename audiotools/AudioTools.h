#pragma once
// Gives the tool windows of the frame their audio jobs. Run once before the
// first tool window opens (the main window does it as it loads); running it
// again changes nothing.
void InstallAudioTools();
