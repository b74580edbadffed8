#include "core/Startup.h"

#include "core/Edition.h"
#include "core/RegistryRoutines.h"
#include "core/frmSplash.h"
#include "platform/MessageBox.h"

QString MachineKeyRoot()
{
    return "SOFTWARE\\" + g_sAppCompany + "\\" + g_sAppName;
}

void SetNoGPFaultErrorMode()
{
    // Nothing to switch off here: a crash is reported by the desktop, not by a box of ours.
}

bool Main(const QStringList& arguments, const StartupWindows& windows)
{
    SetAppModes();

    RegistryRoutines reg;
    reg.setHkey(HKEY_LOCAL_MACHINE);
    reg.setKeyRoot(MachineKeyRoot());
    reg.setSubkey(QStringLiteral("General"));
    if (!reg.KeyExists()) {
        MsgBox(QStringLiteral("This program cannot run, please reinstall the software or connect to the sofrware aurhor.") +
                   "\r\n\r\n" + QStringLiteral("The main reistry key doesn't existed."),
               vbInformation | vbOKOnly, g_sAppName);
        return false;
    }

    g_bSplashShown = true;
    FrmSplash* splash = g_frmSplash();
    splash->setWindowTitle(g_sAppName + " " + g_sAppVersion);
    splash->show();
    splash->repaint();
    splash->FadeIn();

    SetSplashStatus(QStringLiteral("Loading options..."));
    if (windows.loadOptions) windows.loadOptions();
    SetSplashStatus(QStringLiteral("Loading audio properties..."));
    if (windows.loadAudioProp) windows.loadAudioProp();
    SetSplashStatus(QStringLiteral("Loading GUI..."));
    if (windows.loadMain) windows.loadMain();

    if (g_bSplashShown)
        UnloadSplash();

    if (arguments.join(' ') != QStringLiteral("-st")) {
        if (windows.showMain) windows.showMain();
    } else {
        if (windows.startMainInTray) windows.startMainInTray();
    }
    return true;
}
