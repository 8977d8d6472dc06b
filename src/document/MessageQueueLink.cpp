#include "document/MessageQueueLink.h"

void MessageQueueLink::setHandler(Handler handler) {
    const std::lock_guard<std::recursive_mutex> lock(m_handlerMutex);
    m_handler = std::move(handler);
}

std::intptr_t MessageQueueLink::runHandler(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    const std::lock_guard<std::recursive_mutex> lock(m_handlerMutex);
    return m_handler ? m_handler(message, wParam, lParam) : 0;
}

std::intptr_t MessageQueueLink::send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        Record record{message, wParam, lParam, {}, false};
        if (message == UM_OUTPUT_LOG && lParam != 0) {
            record.text = reinterpret_cast<const char*>(lParam);
        }
        m_records.push_back(std::move(record));
    }
    return runHandler(message, wParam, lParam);
}

void MessageQueueLink::post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_records.push_back(Record{message, wParam, lParam, {}, true});
        m_queue.push_back(Posted{message, wParam, lParam});
    }
    m_posted.notify_all();
}

bool MessageQueueLink::dispatchUntil(unsigned message, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        Posted next{};
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_posted.wait_until(lock, deadline, [this] { return !m_queue.empty(); })) {
                return false;
            }
            next = m_queue.front();
            m_queue.pop_front();
        }
        runHandler(next.message, next.wParam, next.lParam);
        if (next.message == message) {
            return true;
        }
    }
}

void MessageQueueLink::dispatchPending() {
    for (;;) {
        Posted next{};
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (m_queue.empty()) {
                return;
            }
            next = m_queue.front();
            m_queue.pop_front();
        }
        runHandler(next.message, next.wParam, next.lParam);
    }
}

std::vector<MessageQueueLink::Record> MessageQueueLink::records() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_records;
}

std::vector<std::string> MessageQueueLink::logLines() const {
    std::vector<std::string> lines;
    for (const Record& record : records()) {
        if (record.message == UM_OUTPUT_LOG) {
            lines.push_back(record.text);
        }
    }
    return lines;
}

std::vector<std::string> MessageQueueLink::logLines(LogLevel level) const {
    std::vector<std::string> lines;
    for (const Record& record : records()) {
        if (record.message == UM_OUTPUT_LOG && record.wParam == static_cast<std::uintptr_t>(level)) {
            lines.push_back(record.text);
        }
    }
    return lines;
}

void MessageQueueLink::clearRecords() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_records.clear();
}
