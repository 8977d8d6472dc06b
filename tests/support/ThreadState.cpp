#include "support/ThreadState.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace testing_support {

#ifdef _WIN32
long currentThreadId() {
    return static_cast<long>(GetCurrentThreadId());
}
#else
long currentThreadId() {
    return static_cast<long>(::syscall(SYS_gettid));
}

namespace {

// The state letter of /proc/self/task/<id>/stat: the field after the parenthesised name.
char threadState(long id) {
    std::ifstream in("/proc/self/task/" + std::to_string(id) + "/stat");
    std::string line;
    std::getline(in, line);
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
}

bool otherThreadsSleep() {
    const std::string self = std::to_string(currentThreadId());
    // A thread that ends meanwhile reads as not sleeping, and the caller looks again.
    std::error_code error;
    for (std::filesystem::directory_iterator task("/proc/self/task", error), end; !error && task != end;
         task.increment(error)) {
        const std::string id = task->path().filename().string();
        if (id != self && threadState(std::stol(id)) != 'S') {
            return false;
        }
    }
    return !error;
}

} // namespace

bool waitUntilOtherThreadsSleep(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!otherThreadsSleep()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

bool waitUntilThreadSleeps(long id, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (threadState(id) != 'S') {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

#endif

} // namespace testing_support
