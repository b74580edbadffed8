#include "components/controls/ImageListIcons.h"

#include "components/controls/cImageList.h"

QIcon imageListIcon(const cImageList* list, int index)
{
    if (!list || index < 0)
        return QIcon();
    return list->Image(index);
}
