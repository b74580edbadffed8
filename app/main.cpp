#include <QApplication>

#include "core/Startup.h"
#include "mainwindow/frmMain.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "toolframe/ToolFrameInstall.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    InstallToolFrameServices();

    StartupWindows windows;
    windows.loadOptions = [] { frmOptions(); };
    windows.loadAudioProp = [] { g_frmAudioProp(); };
    windows.loadMain = [] { frmMain(); };
    windows.showMain = [] { frmMain()->show(); };
    windows.startMainInTray = [] {
        FrmMain* w = frmMain();
        w->show();
        w->GoSysTray();
    };

    QStringList args = app.arguments();
    args.removeFirst();
    if (!Main(args, windows))
        return 0;
    QObject::connect(frmMain(), &QObject::destroyed, &app, &QApplication::quit);
    return app.exec();
}
