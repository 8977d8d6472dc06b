#include "view/QtWindowLink.h"

#include <QMetaObject>
#include <QThread>

QtWindowLink::QtWindowLink(QObject* receiver, Handler handler)
    : m_receiver(receiver), m_handler(std::move(handler)) {}

std::intptr_t QtWindowLink::send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    QObject* receiver = m_receiver.data();
    if (receiver == nullptr) {
        return 0;
    }
    if (QThread::currentThread() == receiver->thread()) {
        return m_handler(message, wParam, lParam);
    }
    std::intptr_t result = 0;
    QMetaObject::invokeMethod(
        receiver, [this, message, wParam, lParam, &result] { result = m_handler(message, wParam, lParam); },
        Qt::BlockingQueuedConnection);
    return result;
}

void QtWindowLink::post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    QObject* receiver = m_receiver.data();
    if (receiver == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        receiver, [this, message, wParam, lParam] { m_handler(message, wParam, lParam); },
        Qt::QueuedConnection);
}
