#include "MFtpSupport.h"

namespace MFtpSupport {

QList<quint32>& FiredTimerIds() {
    thread_local QList<quint32> fired;
    return fired;
}

// Only records the firing: the timer keeps running until its wait stops it,
// and the wait decides what a firing means.
void TimerProc(quint32 timerId) {
    FiredTimerIds().append(timerId);
}

} // namespace MFtpSupport
