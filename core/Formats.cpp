#include "core/Formats.h"

#include <QComboBox>

int g_lDestWAV = 0;
int g_lDestACM = 0;
int g_lDestMP3 = 0;
int g_lDestWMA = 0;
int g_lDestOGG = 0;
int g_lDestAPE = 0;

namespace {
std::array<int, 6>& table()
{
#ifdef KELVANE_ALL_TOOLS
    static std::array<int, 6> t{1, 1, 1, 1, 1, 1};
#else
    static std::array<int, 6> t = DefaultEditionDestinations();
#endif
    return t;
}

std::array<int*, 6> switches()
{
    return {&g_lDestWAV, &g_lDestACM, &g_lDestMP3, &g_lDestWMA, &g_lDestOGG, &g_lDestAPE};
}
} // namespace

std::array<int, 6> DefaultEditionDestinations() { return {1, 1, 1, 1, 0, 0}; }

QString GetAudioFilesFilter()
{
    static const char* const parts[] = {
        "All supported audio files (*.acm;*.wav;*.mp3;*.wma)",         "*.acm;*.wav;*.mp3;*.wma",
        "Windows legacy audio components (*.acm;*.wav)",               "*.acm;*.wav",
        "MPEG-1 Audio Layer 3 (MP3) (*.mp3)",                          "*.mp3",
        "Waveform audio format (*.wav)",                               "*.wav",
        "Windows Media Audio files (*.wma)",                           "*.wma",
    };
    QString filter;
    for (const char* p : parts)
        filter += QString::fromLatin1(p) + QChar(0);
    return filter;
}

const QStringList& DestinationFormatTexts()
{
    static const QStringList texts = {
        QStringLiteral("WAV - Waveform Audio Format (*.wav)"),
        QStringLiteral("ACM - Waveform ACM Codecs (*.wav)"),
        QStringLiteral("MP3 - MPEG-1 Audio Layer 3 (*.mp3)"),
        QStringLiteral("WMA - Windows Media Audio files (*.wma)"),
        QStringLiteral("OGG - Ogg Media Format (*.ogg)"),
        QStringLiteral("APE - Monkey 's Audio (*.ape)"),
    };
    return texts;
}

const QStringList& DesignFileNameTemplates()
{
    static const QStringList templates = {
        QStringLiteral("[file_name].[dest_extension]"),
        QStringLiteral("[file_name].[source_extension].[dest_extension]"),
        QStringLiteral("[file_name]_[123].[dest_extension]"),
        QStringLiteral("[file_name]_[123].[source_extension].[dest_extension]"),
        QStringLiteral("[123].[dest_extension]"),
        QStringLiteral("[123].[source_extension].[dest_extension]"),
    };
    return templates;
}

QString SetSupportedDestinations()
{
    const auto s = switches();
    for (size_t i = 0; i < s.size(); ++i)
        *s[i] = table()[i];
    return QString();
}

void FillDestinationFormats(QComboBox* combo)
{
    SetSupportedDestinations();
    if (!combo)
        return;
    combo->clear();
    const auto s = switches();
    for (size_t i = 0; i < s.size(); ++i)
        if (*s[i] == 1)
            combo->addItem(DestinationFormatTexts()[int(i)]);
    combo->setCurrentIndex(-1);
}

int GetDestinationFormatIndex(const QString& text)
{
    static const QStringList keys = {"WAV", "ACM", "MP3", "WMA", "OGG", "APE"};
    const int i = keys.indexOf(text.left(3).toUpper());
    return i < 0 ? 0 : i;
}

void SetDestinationTable(const std::array<int, 6>& switches)
{
    table() = switches;
}

void SetAllDestinationsOn()
{
    table() = {1, 1, 1, 1, 1, 1};
}
