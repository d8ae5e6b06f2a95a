// The wait timer: firings are recorded per firing and by whole identifier,
// stopping forgets them, and a nested wait never takes over an outer timer.

#include "CTimeout.h"
#include "MFtpSupport.h"
#include "TimerService.h"

#include <QCoreApplication>
#include <QTest>

class TestCTimeout : public QObject {
    Q_OBJECT
private slots:
    void init() { MFtpSupport::FiredTimerIds().clear(); }

    void repeatedFiringsAreAllRecordedAndStopRemovesThem() {
        CTimeout timeout; // value 0: the timer fires at every opportunity
        quint32 id = platform::TimerService::tickCount();
        timeout.StartTimer(id);
        QVERIFY(id != 0);
        QTRY_VERIFY(MFtpSupport::FiredTimerIds().count(id) >= 3);
        QVERIFY(timeout.Timeout(id));

        timeout.StopTimer(id);
        QVERIFY(!MFtpSupport::FiredTimerIds().contains(id));
        QVERIFY(!timeout.Timeout(id));
        QVERIFY(!platform::TimerService::isRunning(id));
    }

    void identifiersMatchWhole() {
        CTimeout timeout;
        MFtpSupport::FiredTimerIds() << 11 << 2;
        QVERIFY(!timeout.Timeout(1));
        QVERIFY(timeout.Timeout(11));
        QVERIFY(timeout.Timeout(2));
        // An identifier the service no longer knows still leaves the record.
        timeout.StopTimer(11);
        QCOMPARE(MFtpSupport::FiredTimerIds(), QList<quint32>{2});
    }

    void resetForgetsEveryFiring() {
        CTimeout idle;
        MFtpSupport::FiredTimerIds() << 7 << 7 << 9;
        idle.Reset(); // no timers of its own: another connection's firings stay
        QCOMPARE(MFtpSupport::FiredTimerIds(), (QList<quint32>{7, 7, 9}));
        MFtpSupport::FiredTimerIds().clear();

        CTimeout running;
        running.setTimeoutValue(3600);
        quint32 id = 0;
        running.StartTimer(id);
        MFtpSupport::TimerProc(id);
        QVERIFY(running.Timeout(id));
        running.Reset();
        QVERIFY(!running.Timeout(id));
        QVERIFY(platform::TimerService::isRunning(id)); // re-armed, not killed
        running.StopTimer(id);
    }

    void nestedWaitInTheSameTickGetsItsOwnTimer() {
        CTimeout timeout;
        timeout.setTimeoutValue(3600);
        const quint32 tick = platform::TimerService::tickCount() + 1000000;
        quint32 outer = tick;
        timeout.StartTimer(outer);
        quint32 inner = outer; // the same proposal, as two waits in one millisecond give
        timeout.StartTimer(inner);
        QVERIFY(inner != outer);
        timeout.StopTimer(inner);
        QVERIFY(platform::TimerService::isRunning(outer));
        timeout.StopTimer(outer);
    }

    void destructionStopsEveryTimer() {
        const int before = platform::TimerService::runningCount();
        quint32 a = 0, b = 0;
        {
            CTimeout timeout;
            timeout.setTimeoutValue(32767); // the largest interval must not wrap
            timeout.StartTimer(a);
            timeout.StartTimer(b);
            QCOMPARE(platform::TimerService::runningCount(), before + 2);
            QCoreApplication::processEvents();
            QVERIFY(!timeout.Timeout(a));
        }
        QCOMPARE(platform::TimerService::runningCount(), before);
    }
};

QTEST_GUILESS_MAIN(TestCTimeout)
#include "tst_ctimeout.moc"
