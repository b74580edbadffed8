#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "components/audio/NotifySound.h"
#include "core/Startup.h"
#include "mainwindow/frmMain.h"
#include "platform/SettingsStore.h"
#include "platform/SingleInstance.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "tags/TagChange.h"
#include "toolframe/ToolFrameInstall.h"

namespace {

int run(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    InstallToolFrameServices();
    // The end-of-job sound plays through the program's own sound layer.
    kvaudio::InstallNotifySound();

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

    // A second start brings the running program to the front and leaves.
    SingleInstance instance(platform::SettingsStore::rootFolder());
    if (!instance.claim())
        return 0;
    // Tag writes a crash cut short are rolled back, their copies deleted, beside the start.
    std::thread([] { tagio::recoverPendingWrites(); }).detach();
    QObject::connect(&instance, &SingleInstance::activationRequested, &app, [] {
        if (!frmMainLoaded())
            return;
        FrmMain* w = frmMain();
        if (w->m_bInTray)
            w->ToggleFromTray();
        w->showNormal();
        w->raise();
        w->activateWindow();
    });

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

} // namespace

int main(int argc, char** argv)
{
    const int rc = run(argc, argv);
    // Everything is saved by now. The library destructors that would run at
    // exit are skipped: the sound server's client library keeps its own
    // thread running to the end, and nothing it may still use is torn down
    // under it.
    std::fflush(nullptr);
    std::_Exit(rc);
}
