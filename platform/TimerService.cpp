#include "TimerService.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QTimer>
#include <algorithm>
#include <limits>

namespace platform::TimerService {

namespace {

struct Entry {
    QTimer* timer = nullptr;
    Callback callback;
    int interval = 0;
    qint64 dueAt = 0; // on the service's clock
};

struct Registry {
    QHash<quint32, Entry> timers;
    // Timers whose callback is running; they cannot be deleted synchronously.
    QSet<QTimer*> firing;
    quint32 lastId = 0;
};

// Per thread: a QTimer fires only in the thread that made it, and each
// engine waits in its own thread.
Registry& registry() {
    thread_local Registry r;
    return r;
}

QElapsedTimer& clock() {
    static QElapsedTimer c = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return c;
}

// Identifiers are picked by the service; 0 is never one. The search is
// bounded by the number of running timers plus one.
quint32 freshId() {
    Registry& r = registry();
    for (qsizetype i = 0; i <= r.timers.size(); ++i) {
        ++r.lastId;
        if (r.lastId == 0)
            ++r.lastId;
        if (!r.timers.contains(r.lastId))
            return r.lastId;
    }
    return ++r.lastId;
}

} // namespace

quint32 setTimer(quint32 proposedId, quint32 intervalMs, Callback callback) {
    clock();
    Registry& r = registry();
    const int interval =
        int(std::min<quint32>(intervalMs, quint32(std::numeric_limits<int>::max())));
    const qint64 now = clock().elapsed();
    auto it = r.timers.find(proposedId);
    if (proposedId != 0 && it != r.timers.end()) {
        // Restarting is frequent (every arrival restarts the wait's time-out),
        // and re-registering a timer with the event dispatcher on each costs
        // system calls. Moving the due time is enough: a firing before it only
        // re-arms for the rest. The timer is re-armed at once only when it
        // would otherwise fire late.
        it->callback = std::move(callback);
        it->interval = interval;
        it->dueAt = now + interval;
        if (!it->timer->isActive() || it->timer->remainingTime() > interval)
            it->timer->start(interval);
        return proposedId;
    }
    const quint32 id = freshId();
    auto* timer = new QTimer;
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, timer, [id, timer] {
        Registry& reg = registry();
        const auto found = reg.timers.find(id);
        if (found == reg.timers.end())
            return;
        const qint64 now = clock().elapsed();
        if (now < found->dueAt) {
            timer->start(int(found->dueAt - now));
            return;
        }
        found->dueAt = now + found->interval;
        if (timer->interval() != found->interval)
            timer->start(found->interval);
        // A copy: the callback may kill or replace its own timer.
        const Callback callback = found->callback;
        if (!callback)
            return;
        const bool outermost = !reg.firing.contains(timer);
        reg.firing.insert(timer);
        callback(id);
        if (outermost)
            reg.firing.remove(timer);
    });
    r.timers.insert(id, Entry{timer, std::move(callback), interval, now + interval});
    timer->start(interval);
    return id;
}

void killTimer(quint32 timerId) {
    Entry entry = registry().timers.take(timerId);
    if (!entry.timer)
        return;
    entry.timer->stop();
    // Deferred deletion would only happen once the outermost event loop
    // runs again, which a long nested wait may postpone indefinitely.
    if (registry().firing.contains(entry.timer))
        entry.timer->deleteLater();
    else
        delete entry.timer;
}

bool isRunning(quint32 timerId) {
    return registry().timers.contains(timerId);
}

int runningCount() {
    return int(registry().timers.size());
}

quint32 tickCount() {
    return quint32(quint64(clock().elapsed()));
}

} // namespace platform::TimerService
