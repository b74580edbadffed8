#pragma once
// The options: shared by every window, filled by frmOptions().GetOptions()
// from the settings store at start-up and after each OK or Cancel of the
// Options dialog. Only that dialog writes them, except g_sTargetFormat and
// g_sFileNameFormat, which the tools' "Set as default" links also set.
#include <QString>
#include <QtGlobal>

#include "core/CommonLook.h"

// "General"
extern int g_lDeviceIndex;            // always -1: the device list has no entries
extern QString g_sTargetFormat;       // entry text of the default destination format
extern QString g_sItemsListDir;       // lists folder, ends with "/"
extern bool g_bSelectTheLastItem;
extern bool g_bAutoFreeDB;
extern QString g_sFileNameFormat;     // default output-name template
extern bool g_bSaveLogWhenExit;
extern bool g_bDisplayMSGWhenExit;
extern bool g_bDisplayMSGWhenErase;
extern bool g_bGoToNextItem;
extern bool g_bDisplayPlayer;
extern bool g_bClearOnExit;
extern bool g_bDisplayAudioGraph;
extern bool g_bMenuXPStyle;
extern bool g_bDisplayGridHotTrack;
extern bool g_bDisplayTitle;
extern bool g_bDisplayGridLine;
// g_lAppColor and g_lTextColor ("Application Color", "Text Color") are part
// of every window's common look and live with it in the core (core/CommonLook.h).
extern bool g_bDisplayLiveUpdateWindow;
extern bool g_bAutoUpdate;

// "Events": the end-of-job defaults
extern bool g_bOpenDestFolder;
extern bool g_bTurnOffComputer;
extern bool g_bPlaySound;
extern QString g_sPlayAtEnd;          // full path of the end sound
extern bool g_bNoticeApp;
extern QString g_sAppNotice;          // command line, placeholders unexpanded

// "ID3 Tags": the default tags, placeholders unexpanded
extern bool g_bCopyID3FromSource;
extern QString g_sTagArtist;
extern QString g_sTagSong;            // the title tag
extern QString g_sTagAlbum;
extern QString g_sTagTrack;
extern QString g_sTagGenre;
extern QString g_sTagYear;
extern QString g_sTagComment;
