#include "settings/AppState.h"

bool g_bAppClosing = false;
