#include <QApplication>
#include <QTimer>

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
    // The command line's own commands run once the window shows, from the message loop.
    const QString commandLine = args.join(' ');
    QTimer::singleShot(0, &app, [commandLine] {
        if (frmMainLoaded())
            frmMain()->ProcessCommandLine(commandLine);
    });
    return app.exec();
}
