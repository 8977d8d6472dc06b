#pragma once

#include "document/WindowLink.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// A window stand-in without a toolkit, for the command-line tool and the tests. `send` runs the
// handler at once on the calling thread (handlers are serialised); `post` queues the message until
// the owning thread dispatches it. Every message is recorded, log texts copied.
class MessageQueueLink final : public WindowLink {
public:
    using Handler = std::function<std::intptr_t(unsigned, std::uintptr_t, std::intptr_t)>;

    struct Record {
        unsigned message = 0;
        std::uintptr_t wParam = 0;
        std::intptr_t lParam = 0;
        std::string text; // the line of UM_OUTPUT_LOG
        bool posted = false;
    };

    void setHandler(Handler handler);

    std::intptr_t send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

    // Dispatches queued posts on the calling thread until `message` has been dispatched; false when
    // it did not come within `timeout`.
    bool dispatchUntil(unsigned message, std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // Dispatches whatever is queued now.
    void dispatchPending();

    std::vector<Record> records() const;
    // The texts of UM_OUTPUT_LOG in the order sent, optionally only those of one level.
    std::vector<std::string> logLines() const;
    std::vector<std::string> logLines(LogLevel level) const;
    void clearRecords();

private:
    struct Posted {
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    std::intptr_t runHandler(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    mutable std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<Posted> m_queue;
    std::vector<Record> m_records;
    std::recursive_mutex m_handlerMutex;
    Handler m_handler;
};
