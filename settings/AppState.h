#pragma once
// Set true as the very first step of the main window's unload; the settings
// dialogs read it to tell a real unload from a close that only hides them.
extern bool g_bAppClosing;
