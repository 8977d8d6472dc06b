#pragma once

#include "document/WindowLink.h"

#include <QObject>
#include <QPointer>

#include <functional>

// Delivers the core's messages to a Qt object's handler on that object's thread: `send` calls the
// handler directly on that thread and blocks a worker until the handler has run; `post` queues.
class QtWindowLink final : public WindowLink {
public:
    using Handler = std::function<std::intptr_t(unsigned, std::uintptr_t, std::intptr_t)>;

    QtWindowLink(QObject* receiver, Handler handler);

    std::intptr_t send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

private:
    QPointer<QObject> m_receiver;
    Handler m_handler;
};
