#pragma once

#include <QList>
#include <QtGlobal>

// Timer callback and the program-wide record of fired timers. A timer that
// fires several times before its wait notices is recorded once per firing.
namespace MFtpSupport {

QList<quint32>& FiredTimerIds();
void TimerProc(quint32 timerId);

} // namespace MFtpSupport
