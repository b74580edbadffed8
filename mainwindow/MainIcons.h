#pragma once
// The main window's pictures, drawn in code: the menu list (menus, toolbars,
// status panels, tree and tabs by position), the player buttons and the
// tools toolbar.
#include <QIcon>

class cImageList;

namespace mainicons {

// A picture of the menu list at a position; null for a position without one.
QIcon MenuIcon(int index);
QIcon PlayerIcon(int index);
QIcon ToolIcon(int index);

void FillMenuImages(cImageList* list);
void FillPlayerImages(cImageList* list);
void FillToolImages(cImageList* list);

} // namespace mainicons
