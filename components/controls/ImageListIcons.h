#pragma once
// The icon at a position of an image list; a null icon for a missing list,
// a negative position or one past its end.
#include <QIcon>

class cImageList;

QIcon imageListIcon(const cImageList* list, int index);
