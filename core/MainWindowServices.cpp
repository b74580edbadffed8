#include "core/MainWindowServices.h"

#include <QWidget>

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

void MainWindowServices::ExitWithoutAsking()
{
    if (QWidget* w = Form())
        w->close();
}
