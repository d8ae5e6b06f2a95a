#pragma once

namespace platform {

// Processes whatever is pending and returns at once.
void pumpEvents();

// Blocks until at least one event has been processed. The engine's waits use
// this: every condition they test changes only inside an event handler, so
// blocking until the next event misses nothing and an idle wait costs no CPU.
void waitForEvents();

// Called by every queued delivery of an event to the engine (Socket's events):
// a waitForEvents() that has delivered one returns instead of blocking.
void noteDelivery();

} // namespace platform
