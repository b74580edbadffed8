#include "toolframe/TimeLeft.h"

#include <cfenv>
#include <cmath>

qint64 RoundHalfToEven(double value)
{
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    std::fesetround(previous);
    return qint64(r);
}

qint64 EstimateSecondsLeft(qint64 secsElapsed, qint64 itemSecsDone, qint64 doneItemsSecs, qint64 itemSecsTotal)
{
    if (itemSecsDone <= 0)
        return 0;
    const double done = double(itemSecsDone) + double(doneItemsSecs);
    if (done <= 0)
        return 0;
    const double estimate = double(secsElapsed) / done * (double(itemSecsTotal) - done);
    const qint64 seconds = RoundHalfToEven(estimate);
    return seconds < 0 ? 0 : seconds;
}

QString TimeLeftText(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    return QStringLiteral("Time Left: %1:%2:%3")
        .arg(seconds / 3600, 2, 10, QChar('0'))
        .arg((seconds / 60) % 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'));
}
