#pragma once

#include "document/WindowLink.h"
#include "view/QtWindowLink.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <cstdint>
#include <functional>

// The main frame's message link. On the GUI thread a message is handled at once. From a worker,
// `send` waits for the handler, except UM_PROGRESS_SET: a worker reports progress once per frame,
// so its values are merged and handed over by at most one queued update at a time, and the worker
// never waits for the GUI. A queued update stays in order with the worker's later messages.
class FrameLink final : public WindowLink {
public:
    using Handler = std::function<std::intptr_t(unsigned, std::uintptr_t, std::intptr_t)>;

    FrameLink(QObject& receiver, Handler handler);

    std::intptr_t send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

private:
    void queueProgress(std::uintptr_t position, std::intptr_t rangeEnd);
    void deliverProgress();

    QPointer<QObject> m_receiver;
    Handler m_handler;
    QtWindowLink m_link;
    // Zero means "no change", as in the message itself.
    std::atomic<std::uintptr_t> m_pendingPosition{0};
    std::atomic<std::intptr_t> m_pendingRange{0};
    std::atomic<bool> m_updateQueued{false};
};
