#include "core/Edition.h"

#include "platform/MessageBox.h"

QString g_sAppName;
QString g_sAppCompany;
QString g_sAppVersion;
QString g_sAppVersionFull;
QString g_sAppHomePage;
QString g_sAppWebRoot;
QString g_sAppSupportPage;
QString g_sAppDescription;

QString g_sViewBackColor;
QString g_sViewFormPicture;
QString g_sViewToolbarPicture;
QString g_sViewTitlePicture;

int g_lAppIncConverter = 0;
int g_lAppIncJoin = 0;
int g_lAppIncSplit = 0;
int g_lAppIncMicRec = 0;
int g_lAppIncEditor = 0;
int g_lAppIncAudioBurner = 0;
int g_lAppIncCDRipper = 0;
int g_lAppIncMP3TagsEditor = 0;
int g_lAppIncMP3Burner = 0;
int g_lAppIncWMABurner = 0;
int g_lAppIncACMConverter = 0;
int g_lAppIncItemsLists = 0;
int g_lAppIncTreeView = 0;
int g_lAppIncTTS = 0;
int g_lAppIncCDDuplicator = 0;

QString g_sAppModeKey;

QString SetAppModes()
{
    g_sAppCompany = QStringLiteral("Quorvex");
    g_sAppHomePage = QStringLiteral("https://www.quorvex.example");
    g_sAppName = QStringLiteral("Kelvane");
    g_sAppVersion = QStringLiteral("1.2");
    g_sAppVersionFull = QStringLiteral("1.2.0");

    g_sAppWebRoot = g_sAppHomePage + "/";
    g_sAppSupportPage = g_sAppWebRoot + "support.html";

    g_sAppDescription = QStringLiteral("Edit and convert WAV/WMA/WAV audio files, by a few mouse clicks.");

    platform::setApplicationTitle(g_sAppName + " " + g_sAppVersion);

    g_sViewBackColor = QStringLiteral("16777215");
    g_sViewFormPicture.clear();
    g_sViewToolbarPicture.clear();
    g_sViewTitlePicture.clear();

    SetDefaultEditionTools();

    g_sAppModeKey = QStringLiteral("lAppIncEditor");

#ifdef KELVANE_ALL_TOOLS
    SetAllToolsOn();
#endif
    return QString();
}

void SetDefaultEditionTools()
{
    g_lAppIncConverter = 1;
    g_lAppIncJoin = 1;
    g_lAppIncSplit = 1;
    g_lAppIncMicRec = 1;
    g_lAppIncEditor = 1;
    g_lAppIncAudioBurner = 0;
    g_lAppIncCDRipper = 0;
    g_lAppIncMP3TagsEditor = 1;
    g_lAppIncMP3Burner = 0;
    g_lAppIncWMABurner = 0;
    g_lAppIncACMConverter = 1;
    g_lAppIncTTS = 0;
    g_lAppIncCDDuplicator = 0;
    g_lAppIncItemsLists = 1;
    g_lAppIncTreeView = 1;
}

void SetAllToolsOn()
{
    for (int* flag : {&g_lAppIncConverter, &g_lAppIncJoin, &g_lAppIncSplit, &g_lAppIncMicRec, &g_lAppIncEditor,
                      &g_lAppIncAudioBurner, &g_lAppIncCDRipper, &g_lAppIncMP3TagsEditor, &g_lAppIncMP3Burner,
                      &g_lAppIncWMABurner, &g_lAppIncACMConverter, &g_lAppIncTTS, &g_lAppIncCDDuplicator,
                      &g_lAppIncItemsLists, &g_lAppIncTreeView})
        *flag = 1;
}
