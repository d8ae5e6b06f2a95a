#pragma once

#include <QList>
#include <QtGlobal>

// Timer callback and the record of fired timers (one per thread, as the
// timers are). A timer that
// fires several times before its wait notices is recorded once per firing.
namespace MFtpSupport {

QList<quint32>& FiredTimerIds();
void TimerProc(quint32 timerId);

} // namespace MFtpSupport
