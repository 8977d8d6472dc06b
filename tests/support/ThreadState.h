#pragma once

#include <chrono>

namespace testing_support {

// The kernel's id of the calling thread.
long currentThreadId();

// The thread states below are read from /proc.
#ifndef _WIN32
// Waits until thread `id` of this process sleeps (blocked on a lock or a condition), polling
// without sleeping; false when it has not within `timeout`.
bool waitUntilThreadSleeps(long id, std::chrono::milliseconds timeout);
// The same for every thread of this process but the calling one.
bool waitUntilOtherThreadsSleep(std::chrono::milliseconds timeout);

#endif

} // namespace testing_support
