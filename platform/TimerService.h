#pragma once

#include <QtGlobal>
#include <functional>

namespace platform {

// Numbered repeating timers whose callback runs on the one thread while
// events are pumped, and the tick counter. Without an owner window the
// service picks the identifiers; setting a timer with the identifier of one
// that still runs restarts its interval.
namespace TimerService {

using Callback = std::function<void(quint32 timerId)>;

// Returns the identifier of the timer (the proposed one when it names a running timer).
quint32 setTimer(quint32 proposedId, quint32 intervalMs, Callback callback);
void killTimer(quint32 timerId);
bool isRunning(quint32 timerId);
int runningCount();

// Milliseconds since start, 32 bits (wraps after 49.7 days).
quint32 tickCount();

} // namespace TimerService
} // namespace platform
