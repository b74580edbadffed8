#pragma once
#include <QCoreApplication>

// Yields to the event loop once, as the classic DoEvents did.
inline void DoEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
