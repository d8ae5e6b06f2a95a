#include "EventPump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>

namespace platform {

namespace {

quint64 deliveries = 0;

// The innermost waitForEvents() in progress on the one thread.
struct Wait {
    bool active = false;
    quint64 deliveriesAtStart = 0;
};
Wait currentWait;

QPointer<QAbstractEventDispatcher> hookedDispatcher;

// The plain UNIX dispatcher delivers posted events first and then blocks for
// the next socket or timer event, even when a posted event already changed
// what the waiting code tests. Leaving before the block keeps the promise
// that one processed event ends the wait. (GLib's dispatcher runs posted
// events after this signal, so it never sees a delivery here.)
void hookDispatcher() {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher || dispatcher == hookedDispatcher)
        return;
    hookedDispatcher = dispatcher;
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, dispatcher, [dispatcher] {
        if (currentWait.active && deliveries != currentWait.deliveriesAtStart)
            dispatcher->interrupt();
    });
}

} // namespace

void noteDelivery() {
    ++deliveries;
}

void pumpEvents() {
    QCoreApplication::processEvents();
}

void waitForEvents() {
    hookDispatcher();
    const Wait outer = currentWait;
    currentWait = Wait{true, deliveries};
    // Returns at once when events are already pending; otherwise sleeps in the
    // event dispatcher until a socket, timer or posted event wakes it.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    currentWait = outer;
}

} // namespace platform
