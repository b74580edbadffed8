#pragma once
// Showing a tree node in the main grid, and clearing a list.
#include "components/controls/cImageList.h"
#include "components/controls/cTreeView.h"

class MainWindowServices;
class cGrid;

// Shows a node: a list's items (one row per record whose audio file opens,
// with its length, size and date read from the file), a CD drive's tracks
// (ShowCDTracks), nothing for a root.
// While a load runs, every further call returns at once. The list file is read
// and its records turned into rows on worker threads, which open each distinct
// audio file once; the window's thread never opens one, and keeps handling
// its events (all but clicks and keys) meanwhile. On return every row and
// cell is in place.
void cTreeView1_NodeClick(cTreeNode node);

// Asks, then clears the shown list (DoClearTheList).
void ClearTheList();
// Empties the selected list's file (written in place: a failed write keeps
// the file as it was) and shows the list again.
void DoClearTheList();

// The main grid after a load gave it rows: the empty-list picture hides, the
// grid redraws with its first row selected (the last one when the options say
// so) and the status reads "Ready.".
void ShowLoadedRows(MainWindowServices* w, cGrid* grid);
