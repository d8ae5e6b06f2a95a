#pragma once

namespace platform {

// Processes whatever is pending and returns at once.
void pumpEvents();

// Blocks until at least one event has been processed. The engine's waits use
// this: every condition they test changes only inside an event handler, so
// blocking until the next event misses nothing and an idle wait costs no CPU.
void waitForEvents();

} // namespace platform
