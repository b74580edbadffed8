#pragma once
// The edition block: the product's identity, pages, view defaults and tool
// switches. Filled once by SetAppModes at the very start.
#include <QString>

extern QString g_sAppName;
extern QString g_sAppCompany;
extern QString g_sAppVersion;
extern QString g_sAppVersionFull;
extern QString g_sAppHomePage;
extern QString g_sAppWebRoot;
extern QString g_sAppSupportPage;
extern QString g_sAppDescription;

extern QString g_sViewBackColor;
extern QString g_sViewFormPicture;
extern QString g_sViewToolbarPicture;
extern QString g_sViewTitlePicture;

extern int g_lAppIncConverter;
extern int g_lAppIncJoin;
extern int g_lAppIncSplit;
extern int g_lAppIncMicRec;
extern int g_lAppIncEditor;
extern int g_lAppIncAudioBurner;
extern int g_lAppIncCDRipper;
extern int g_lAppIncMP3TagsEditor;
extern int g_lAppIncMP3Burner;
extern int g_lAppIncWMABurner;
extern int g_lAppIncACMConverter;
extern int g_lAppIncItemsLists;
extern int g_lAppIncTreeView;
extern int g_lAppIncTTS;
extern int g_lAppIncCDDuplicator;

extern QString g_sAppModeKey;

QString SetAppModes();

// Sets the tool switches of the default edition, whichever edition this
// build is (SetAppModes, and tests that rely on those switches).
void SetDefaultEditionTools();
// Switches every tool on (the all-tools edition, and tests).
void SetAllToolsOn();
