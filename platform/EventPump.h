#pragma once

#include <QObject>
#include <functional>

namespace platform {

// Processes whatever is pending and returns at once.
void pumpEvents();

// Blocks until at least one event has been processed. The engine's waits use
// this: every condition they test changes only inside an event handler, so
// blocking until the next event misses nothing and an idle wait costs no CPU.
void waitForEvents();

// Runs `run` later from the event loop (the next pump or wait, or Qt's own
// loop), in the order queued; dropped if `context` is destroyed first.
void queueDelivery(QObject* context, std::function<void()> run);

} // namespace platform
