#pragma once

#include <atomic>
#include <functional>
#include <thread>

// A worker thread slot: set from the start of its thread until its "done" message has been handled
// on the GUI thread, which clears it. The thread posts "done" as its last action, so the join in
// clear() waits at most for the thread's return.
class WorkerSlot {
public:
    WorkerSlot() = default;
    WorkerSlot(const WorkerSlot&) = delete;
    WorkerSlot& operator=(const WorkerSlot&) = delete;
    ~WorkerSlot() { clear(); }

    void start(std::function<void()> body) {
        clear();
        m_set.store(true);
        m_thread = std::thread(std::move(body));
    }
    void clear() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
        m_set.store(false);
    }
    bool isSet() const { return m_set.load(); }
    explicit operator bool() const { return isSet(); }

private:
    std::thread m_thread;
    std::atomic<bool> m_set{false};
};
