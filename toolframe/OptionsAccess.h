#pragma once
// What the tool windows read and set on the two settings dialogs, which stay
// loaded for the whole run.
#include <QString>

// The Options dialog's default-format box: its text and selected index.
QString OptionsTargetFormatText();
int OptionsTargetFormatIndex();
// Sets the text of the Options dialog's format or template box, which selects
// the equal entry there.
void SetOptionsTargetFormatText(const QString& text);
void SetOptionsFileNameText(const QString& text);
// Shows the Options dialog modally on its Events page.
void ShowOptionsEventsPage();
// Shows the Audio Format dialog modally on the page of the format key
// ("WAV", "ACM", "MP3" ...).
void ShowAudioFormatDialogOn(const QString& key);
