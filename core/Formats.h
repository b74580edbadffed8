#pragma once
// The audio formats the program accepts, and the destination formats it can
// produce, each switched on or off at build time.
#include <QString>
#include <QStringList>
#include <array>

class QComboBox;

// 1 = offered, 0 = not offered; set by SetSupportedDestinations.
extern int g_lDestWAV;
extern int g_lDestACM;
extern int g_lDestMP3;
extern int g_lDestWMA;
extern int g_lDestOGG;
extern int g_lDestAPE;

// The open dialog's filter: caption and pattern pairs, each part followed by a NUL.
QString GetAudioFilesFilter();
// Sets the six switches from the build-time table.
QString SetSupportedDestinations();
// Clears the box and adds the entry text of every switched-on format, WAV first.
void FillDestinationFormats(QComboBox* combo);
// 0 WAV, 1 ACM, 2 MP3, 3 WMA, 4 OGG, 5 APE by the text's first three letters
// (any case); 0 for anything else.
int GetDestinationFormatIndex(const QString& text);

// The six combo entry texts, by format index. They are stored as settings, so
// they never change.
const QStringList& DestinationFormatTexts();

// The six output file-name templates a template box starts with, the
// first of them the one a first run chooses.
const QStringList& DesignFileNameTemplates();

// The default edition's table (WAV, ACM, MP3, WMA on; OGG, APE off),
// whichever edition this build is.
std::array<int, 6> DefaultEditionDestinations();

// Replaces the build-time table (WAV, ACM, MP3, WMA, OGG, APE), so that tests
// can offer formats this edition leaves out.
void SetDestinationTable(const std::array<int, 6>& switches);
void SetAllDestinationsOn();
