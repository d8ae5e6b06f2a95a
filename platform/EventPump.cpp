#include "EventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <deque>

namespace platform {

namespace {

struct Delivery {
    QPointer<QObject> context;
    std::function<void()> run;
};

// Socket events waiting for the loop. Handing each one through Qt's posted
// events would cost a wake-up of the dispatcher (two system calls) per event,
// which an upload pays on every block; the engine's waits run them directly,
// and a zero-interval timer (registered without any system call) brings the
// rest to whatever loop runs next.
// Per thread: each engine runs its waits in its own thread.
thread_local std::deque<Delivery> pending;

// Runs what was queued when it was called; what those handlers queue waits
// for the next pass, as with Qt's posted events. A nested wait inside a
// handler may take some of the same deliveries first.
void runPending() {
    for (std::size_t n = pending.size(); n > 0 && !pending.empty(); --n) {
        Delivery delivery = std::move(pending.front());
        pending.pop_front();
        if (!delivery.context)
            continue;
        delivery.run();
    }
}

QTimer* carrier() {
    // One per thread: a timer fires only in its own thread. A worker thread's
    // goes with the thread; the main thread's lives as long as the program.
    thread_local QTimer* timer = nullptr;
    if (timer)
        return timer;
    timer = new QTimer;
    QTimer* const t = timer;
    QObject::connect(t, &QTimer::timeout, t, [t] {
        // Whatever loop runs delivers: an engine wait's, or a question box's
        // opened inside one, so a transfer keeps moving while the box is up,
        // and the timer never spins on undelivered events.
        if (pending.empty()) {
            t->stop();
            return;
        }
        runPending();
    });
    if (QThread* thread = QThread::currentThread();
        thread != QCoreApplication::instance()->thread())
        QObject::connect(
            thread, &QThread::finished, t,
            [t] {
                timer = nullptr;
                delete t;
            },
            Qt::DirectConnection);
    return timer;
}

} // namespace

void queueDelivery(QObject* context, std::function<void()> run) {
    pending.push_back(Delivery{context, std::move(run)});
    QTimer* timer = carrier();
    if (!timer->isActive())
        timer->start(0);
}

void pumpEvents() {
    runPending();
    QCoreApplication::processEvents();
}

void waitForEvents() {
    if (!pending.empty()) {
        runPending();
        // Sockets, timers and Qt's posted events get their turn without
        // blocking: a steady stream of deliveries must not starve them.
        QCoreApplication::processEvents();
        return;
    }
    // Sleeps in the event dispatcher until a socket, timer or posted event
    // wakes it; a queued delivery keeps the carrier timer due, so the
    // dispatcher does not block past it.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace platform
