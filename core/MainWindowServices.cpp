#include "core/MainWindowServices.h"

#include <QWidget>

#include "components/controls/cSysTray.h"

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

bool MainWindowServices::ExitWithoutAsking()
{
    QWidget* w = Form();
    return !w || w->close();
}

void MainWindowServices::ShowTrayBalloon(const QString& text, const QString& title, int icon, int time)
{
    if (cSysTray1)
        cSysTray1->ShowBalloon(text, title, icon, time);
}
