// The install step: lays out the program folder and creates the machine-wide
// settings key and its sub-keys where they are missing.
#include <QCommandLineParser>
#include <QGuiApplication>
#include <cstdio>

#include "core/Edition.h"
#include "core/InstallStep.h"
#include "platform/SettingsStore.h"

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"program-dir", "Program folder to lay out.", "folder"});
    parser.addOption({"no-registry", "Do not create the settings keys."});
    parser.process(app);

    SetAppModes();
    int rc = 0;
    if (parser.isSet("program-dir")) {
        if (!LayOutProgramFolder(parser.value("program-dir"))) {
            std::fprintf(stderr, "kelvane-setup: cannot lay out %s\n", qPrintable(parser.value("program-dir")));
            rc = 1;
        }
    }
    if (!parser.isSet("no-registry")) {
        if (!CreateMachineKeys()) {
            std::fprintf(stderr, "kelvane-setup: cannot create the settings keys under %s\n",
                         qPrintable(platform::SettingsStore::rootFolder()));
            rc = 1;
        } else {
            std::printf("settings store: %s\n", qPrintable(platform::SettingsStore::rootFolder()));
        }
    }
    return rc;
}
