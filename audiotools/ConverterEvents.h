#pragma once
// Hands the converter component's job events to the window's handlers of the
// same names, and the rows of a row job to the component.
#include <QObject>

#include "components/audio/cAudioConverter.h"
#include "toolframe/JobSteps.h"

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

// The converter's calls for one row of a row job; its errors go to the
// window's handler.
template <class Window>
RowComponentCalls ConverterRowCalls(cAudioConverter* converter, Window* window)
{
    RowComponentCalls calls = ComponentRowCalls(
        converter, [](cAudioConverter* c) { c->StartConvert(); },
        [window](int code, const QString& text) { window->cAudioConverter1_JobError(code, text); });
    calls.setInput = [converter](const QString& file) { converter->setInputFile(file); };
    return calls;
}
