#pragma once

#include <QList>
#include <QtGlobal>

// The per-connection time-out timer. A waiting operation starts a timer,
// polls Timeout() for its identifier and stops the timer when the wait ends.
// Any arrival of data calls Reset(), which restarts every running interval:
// the limit is on inactivity, not on the total time.
class CTimeout {
public:
    CTimeout() = default;
    ~CTimeout();
    CTimeout(const CTimeout&) = delete;
    CTimeout& operator=(const CTimeout&) = delete;

    // lngIDEvent is the proposed identifier in, the service's identifier out.
    void StartTimer(quint32& lngIDEvent);
    void StopTimer(quint32 lngIDEvent);
    bool Timeout(quint32 lngIDEvent) const;
    void Reset();

    qint16 TimeoutValue() const { return m_TimeoutValue; }
    void setTimeoutValue(qint16 seconds) { m_TimeoutValue = seconds; }
    // The interval in milliseconds; a negative value counts as 0.
    quint32 intervalMs() const;
    void setWindowHandle(qint32 hwnd) { m_WindowHandle = hwnd; }

private:
    qint16 m_TimeoutValue = 0;
    QList<quint32> m_TimerIds; // started and not yet stopped, with repeats
    qint32 m_WindowHandle = 0;
};
