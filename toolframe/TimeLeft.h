#pragma once
// The once-a-second estimate of a running job's time left.
#include <QString>
#include <QtGlobal>

// Whole numbers, halves to the even neighbour (2.5 gives 2, 3.5 gives 4).
qint64 RoundHalfToEven(double value);

// Seconds left from the ticks spent and the audio seconds done: elapsed /
// (itemDone + doneItems) x (total - itemDone - doneItems), rounded, never
// negative. 0 while the current row has no seconds done yet.
qint64 EstimateSecondsLeft(qint64 secsElapsed, qint64 itemSecsDone, qint64 doneItemsSecs, qint64 itemSecsTotal);

// "Time Left: " and the seconds as hours, minutes and seconds, two digits
// each; hours go on counting past 23 (90000 gives "25:00:00").
QString TimeLeftText(qint64 seconds);
