#include "app/FrameLink.h"

#include <QMetaObject>
#include <QThread>

FrameLink::FrameLink(QObject& receiver, Handler handler)
    : m_receiver(&receiver), m_handler(handler), m_link(&receiver, std::move(handler)) {}

std::intptr_t FrameLink::send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    QObject* receiver = m_receiver.data();
    if (receiver != nullptr && message == UM_PROGRESS_SET && QThread::currentThread() != receiver->thread()) {
        queueProgress(wParam, lParam);
        return 0;
    }
    return m_link.send(message, wParam, lParam);
}

void FrameLink::post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    m_link.post(message, wParam, lParam);
}

void FrameLink::queueProgress(std::uintptr_t position, std::intptr_t rangeEnd) {
    if (rangeEnd != 0) {
        m_pendingRange.store(rangeEnd);
    }
    if (position != 0) {
        m_pendingPosition.store(position);
    }
    if (!m_updateQueued.exchange(true)) {
        QMetaObject::invokeMethod(
            m_receiver.data(), [this] { deliverProgress(); }, Qt::QueuedConnection);
    }
}

void FrameLink::deliverProgress() {
    // Clear the flag first: a value stored after this point queues an update of its own.
    m_updateQueued.store(false);
    const std::intptr_t rangeEnd = m_pendingRange.exchange(0);
    const std::uintptr_t position = m_pendingPosition.exchange(0);
    if (rangeEnd != 0 || position != 0) {
        m_handler(UM_PROGRESS_SET, position, rangeEnd);
    }
}
