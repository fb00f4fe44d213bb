// Counts what the calling thread does while counting is on: heap allocations (every malloc
// family call, operator new included), lock acquisitions and direct calls of the blocking or
// I/O system-call wrappers. The counters are interposed in the test executable, so they also
// see what the loaded module libraries call.
#pragma once

#include <cstdint>

namespace rtcount {

struct Counts {
    int64_t allocations = 0;
    int64_t locks = 0;
    int64_t systemCalls = 0;
    int64_t total() const { return allocations + locks + systemCalls; }
};

// Counting is per thread: only the thread that turned it on is counted.
void start();
Counts stop();

// Voluntary context switches of the calling thread so far (the thread blocked or slept).
int64_t voluntarySwitches();

} // namespace rtcount
