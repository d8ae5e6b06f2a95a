#include "CTimeout.h"

#include "MFtpSupport.h"
#include "TimerService.h"

namespace {

quint32 secondsToMs(qint16 seconds) {
    // A negative time-out means nothing sensible; treat it like 0 (fire at once).
    return seconds > 0 ? quint32(seconds) * 1000u : 0u;
}

} // namespace

quint32 CTimeout::intervalMs() const {
    return ::secondsToMs(m_TimeoutValue);
}

CTimeout::~CTimeout() {
    const QList<quint32> ids = m_TimerIds;
    for (quint32 id : ids)
        StopTimer(id);
}

void CTimeout::StartTimer(quint32& lngIDEvent) {
    // The proposed identifier is a tick count. A nested wait started in the
    // same millisecond as the outer one would otherwise restart the outer
    // timer and later kill it, leaving the outer wait without a time-out.
    if (lngIDEvent != 0 && platform::TimerService::isRunning(lngIDEvent))
        lngIDEvent = 0;
    lngIDEvent = platform::TimerService::setTimer(lngIDEvent, secondsToMs(m_TimeoutValue),
                                                  &MFtpSupport::TimerProc);
    m_TimerIds.append(lngIDEvent);
}

void CTimeout::StopTimer(quint32 lngIDEvent) {
    platform::TimerService::killTimer(lngIDEvent);
    MFtpSupport::FiredTimerIds().removeAll(lngIDEvent);
    m_TimerIds.removeAll(lngIDEvent);
}

bool CTimeout::Timeout(quint32 lngIDEvent) const {
    return MFtpSupport::FiredTimerIds().contains(lngIDEvent);
}

void CTimeout::Reset() {
    // Only this connection's timers: another engine's in the same thread
    // keep their firings.
    for (quint32 id : std::as_const(m_TimerIds)) {
        platform::TimerService::setTimer(id, secondsToMs(m_TimeoutValue), &MFtpSupport::TimerProc);
        MFtpSupport::FiredTimerIds().removeAll(id);
    }
}
