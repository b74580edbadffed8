// The install step: lays out the program folder and creates the machine-wide
// settings key and its sub-keys where they are missing, writes the first-run
// values that are missing, and puts the desktop entry in place.
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
    parser.addOption({"share-dir", "Folder to put the desktop entry and icons under.", "folder"});
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
        } else if (!WriteFirstRunValues(parser.value("program-dir"))) {
            std::fprintf(stderr, "kelvane-setup: cannot write the first-run settings under %s\n",
                         qPrintable(platform::SettingsStore::rootFolder()));
            rc = 1;
        } else {
            std::printf("settings store: %s\n", qPrintable(platform::SettingsStore::rootFolder()));
        }
    }
    if (parser.isSet("share-dir")) {
        const QString programDir = parser.isSet("program-dir") ? parser.value("program-dir") : app.applicationDirPath();
        if (!InstallDesktopEntry(parser.value("share-dir"), programDir)) {
            std::fprintf(stderr, "kelvane-setup: cannot put the desktop entry under %s\n",
                         qPrintable(parser.value("share-dir")));
            rc = 1;
        }
    }
    return rc;
}
