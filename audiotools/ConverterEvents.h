#pragma once
// Hands the converter component's job events to the window's handlers of the
// same names.
#include <QObject>

#include "components/audio/cAudioConverter.h"

template <class Window>
void ConnectConverterEvents(cAudioConverter* converter, Window* window)
{
    QObject::connect(converter, &cAudioConverter::JobProgress, window,
                     [window](int percent) { window->cAudioConverter1_JobProgress(percent); });
    QObject::connect(converter, &cAudioConverter::JobDone, window, [window] { window->cAudioConverter1_JobDone(); });
    QObject::connect(converter, &cAudioConverter::JobAborted, window,
                     [window] { window->cAudioConverter1_JobAborted(); });
    QObject::connect(converter, &cAudioConverter::JobError, window,
                     [window](int code, const QString& text) { window->cAudioConverter1_JobError(code, text); });
}
