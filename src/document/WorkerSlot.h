#pragma once

#include <atomic>
#include <functional>
#include <system_error>
#include <thread>

// Said at level 2 by every command whose thread the system refused.
inline constexpr const char* kNoWorkerThreadText = "could not start a worker thread";

// A worker thread slot: set from the start of its thread until its "done" message has been handled
// on the GUI thread, which clears it. The thread posts "done" as its last action, so the join in
// clear() waits at most for the thread's return.
class WorkerSlot {
public:
    WorkerSlot() = default;
    WorkerSlot(const WorkerSlot&) = delete;
    WorkerSlot& operator=(const WorkerSlot&) = delete;
    ~WorkerSlot() { clear(); }

    // False, with the slot left clear, when the system gives no thread (too many threads or
    // processes, no memory for a stack): the caller says so and leaves its state as it was.
    bool start(std::function<void()> body) {
        clear();
        m_set.store(true);
        try {
            if (takeRefusal()) {
                throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
            }
            m_thread = std::thread(std::move(body));
        } catch (const std::system_error&) {
            m_set.store(false);
            return false;
        }
        return true;
    }
    void clear() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
        m_set.store(false);
    }
    bool isSet() const { return m_set.load(); }
    explicit operator bool() const { return isSet(); }

    // Tests: the next `count` starts of any slot fail as a refused pthread_create does.
    static void refuseStartsForTesting(int count) { s_refusals.store(count); }

private:
    static bool takeRefusal() {
        int left = s_refusals.load();
        while (left > 0 && !s_refusals.compare_exchange_weak(left, left - 1)) {
        }
        return left > 0;
    }

    std::thread m_thread;
    std::atomic<bool> m_set{false};
    static inline std::atomic<int> s_refusals{0};
};
