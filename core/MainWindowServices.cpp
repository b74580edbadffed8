#include "core/MainWindowServices.h"

namespace {
MainWindowServices* g_mainWindow = nullptr;
}

MainWindowServices::~MainWindowServices()
{
    if (g_mainWindow == this)
        g_mainWindow = nullptr;
}

MainWindowServices* mainWindow() { return g_mainWindow; }

void setMainWindow(MainWindowServices* window) { g_mainWindow = window; }
