#include "EventPump.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace platform {

void pumpEvents() {
    QCoreApplication::processEvents();
}

void waitForEvents() {
    // Returns at once when events are already pending; otherwise sleeps in the
    // event dispatcher until a socket, timer or posted event wakes it.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace platform
