#pragma once
// What the user does to the shown list in the main window's items grid:
// adding files, marking, moving, removing, dropping files, and opening an
// item's properties. Every change of the rows is written to the list file at
// once (SaveGridToFile, which writes nothing for a CD drive or a root).
#include <QString>
#include <QStringList>

// Asks for audio files in the open dialog and adds them to the shown list.
void AddFiles();

// The items grid's mouse-up (x and y in twips, relative to the grid): a right
// click shows the grid menu, a left click in the mark column flips the row's
// mark.
void cGrid1_GridMouseUp(int Button, int Shift, double x, double y);
// Flips one row's mark and saves the list; a CD data track keeps its mark.
void ToggleRowMark(int row);
// Files dropped on the grid (or on the empty-list picture) join the shown list.
void cGrid1_GridOLEDragDrop(const QStringList& Data, int Effect = 1, int Button = 1, int Shift = 0, double x = 0,
                            double y = 0);
// Opens the Item Properties dialog on the grid's current row (a CD data track is refused).
void ShowItemProperties(int row, int column);

// The deferred removal that "Remove Item" and "Clear the List" arm: runs
// RemoveItems for "Item" and ClearTheList for "All".
void RunPendingRemoval(const QString& sRemoveKind);
// Removes the selected rows, after the question when the options ask for it.
void RemoveItems();

bool IsAnyRowMarked();
// Marks (true) or unmarks every row, data tracks included.
void MarkAllRows(bool bMark);
// Exchanges the current row with the row lMove places below it (above when
// negative): the mark and type icons and every cell from the second column
// on. That row becomes current.
void ReplaceRow(long lMove);
