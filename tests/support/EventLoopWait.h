#pragma once

#include <QApplication>

#include <chrono>
#include <thread>

namespace testing_support {

// Runs the event loop until `done` holds; false after a minute without it, so a test that waits on
// a thread or a timer fails instead of hanging.
template <typename Predicate> bool processEventsUntil(Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace testing_support
